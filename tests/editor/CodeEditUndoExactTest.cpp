// Short input sequences, each on a fresh editor holding thousands of lines of SQL with Cyrillic
// comments, after which undoing everything must give back exactly the text of the start and redoing
// everything exactly the text before the undo; caret, top line and block stay inside the text after
// changes through Lines(), the options, word wrap and the window's size; small windows settle.
#include <functional>
#include <tuple>
#include <utility>

#include "CodeEditTestSupport.h"

using namespace edittest;

namespace {

class CodeEditUndoExact : public CodeEditTest {
 public:
  void SetUp() override {
    CodeEditTest::SetUp();
    // an error inside a message handler fails the test instead of opening an error box
    Application->OnException = [](TObject*, const Exception& e) {
      ADD_FAILURE() << "error box: " << e.what();
    };
  }
  using CodeEditTest::edit;
  using CodeEditTest::form;
  using CodeEditTest::Mouse;
  using CodeEditTest::Pump;
  void Key(WORD vk, ShiftState s = {}, char32_t ch = 0) { CodeEditTest::Key(vk, s, ch); }
  void Type(const std::u32string& text) {
    for (char32_t c : text) Key(c >= U'a' && c <= U'z' ? static_cast<WORD>(c - U'a' + 'A') : 'A', {}, c);
  }
  void Ime(const std::string& text) {
    std::string data = text;
    edit->CommandProcessor(ecImeStr, 0, &data);
  }
  void PutClipboardText(const std::string& text, TCodeSelectionMode mode = smNormal) {
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, text);
    SetClipboardData(CodeEditClipboardFormat(), std::string(1, static_cast<char>(mode)) + text + '\0');
    CloseClipboard();
  }
  void UndoAll() {
    for (int guard = 0; edit->UndoList()->CanUndo() && guard < 100000; ++guard) edit->Undo();
  }
  void RedoAll() {
    for (int guard = 0; edit->RedoList()->CanUndo() && guard < 100000; ++guard) edit->Redo();
  }
  // Undo all gives `before`, redo all gives what the text was when called.
  void ExpectExactRoundTrip(const std::string& before) {
    const std::string after = edit->Text();
    UndoAll();
    EXPECT_EQ(TextDiff(before, edit->Text()), "") << "after undo all";
    RedoAll();
    EXPECT_EQ(TextDiff(after, edit->Text()), "") << "after redo all";
  }
  // The same with the lines compared exactly: a CR or LF inside a line is not a line end.
  void ExpectExactLinesRoundTrip(const std::string& beforeLines) {
    const std::string after = ExactLines(edit->Lines());
    UndoAll();
    EXPECT_EQ(TextDiff(beforeLines, ExactLines(edit->Lines())), "") << "after undo all";
    RedoAll();
    EXPECT_EQ(TextDiff(after, ExactLines(edit->Lines())), "") << "after redo all";
    UndoAll();
    EXPECT_EQ(TextDiff(beforeLines, ExactLines(edit->Lines())), "") << "after a second undo all";
  }
  void ExpectInsideText() {
    const int count = edit->Lines()->Count();
    const int lines = std::max(count, 1);
    EXPECT_GE(edit->CaretY(), 1);
    EXPECT_LE(edit->CaretY(), lines);
    EXPECT_GE(edit->CaretX(), 1);
    EXPECT_GE(edit->TopLine(), 1);
    EXPECT_LE(edit->TopLine(), std::max(edit->DisplayLineCount(), 1));
    for (TBufferCoord p : {edit->RawBlockBegin(), edit->RawBlockEnd()}) {
      EXPECT_GE(p.Line, 1);
      EXPECT_LE(p.Line, lines);
      EXPECT_GE(p.Char, 1);
      if (edit->SelectionMode() == smNormal) {
        EXPECT_LE(p.Char, static_cast<int>(edit->Lines()->Line32(p.Line - 1).size()) + 1);
      }
    }
  }
  void Resize(int width, int height) {
    form->SetBounds(0, 0, width, height);
    edit->SetBounds(0, 0, width, height);
    Pump();
  }
  TPoint Cell(int column, int row) { return CellPoint(column, row); }
};

struct FaultCase {
  const char* name;
  std::function<void(CodeEditUndoExact&)> run;
};

// The first line, where the sequences that start at (1, 1) work.
constexpr const char* kFirstLine = "SELECT s.sid, s.serial#, s.username -- кто держит";

const FaultCase kFaults[] = {
    {"ImeTextInOverwriteModeRedoesAsAnOverwrite",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.Key(VK_INSERT);
       t.Ime("5Жß");
       EXPECT_EQ(t.edit->Lines()->Strings(0).substr(0, 8), "5ЖßECT");
       t.ExpectExactRoundTrip(before);
       EXPECT_EQ(t.edit->Lines()->Strings(0).substr(0, 8), "5ЖßECT");
     }},
    {"TypingInOverwriteModeRedoesAsAnOverwrite",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.Key(VK_INSERT);
       t.Type(U"ab");
       t.ExpectExactRoundTrip(before);
       EXPECT_EQ(t.edit->Lines()->Strings(0).substr(0, 6), "abLECT");
     }},
    {"TypingOverAColumnBlockDraggedAboveTheTextIsUndone",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.Key('C', {.shift = true, .ctrl = true});
       TPoint a = t.Cell(12, 3), b = t.Cell(5, 1);
       t.Mouse(WM_LBUTTONDOWN, a.X, a.Y);
       t.Mouse(WM_MOUSEMOVE, b.X, b.Y);
       t.Mouse(WM_MOUSEMOVE, b.X, -20);
       t.Mouse(WM_LBUTTONUP, b.X, -20);
       ASSERT_TRUE(t.edit->SelAvail());
       t.Type(U"7");
       t.ExpectExactRoundTrip(before);
     }},
    {"TypingOverALineSelectionIsUndoneWithEveryLine",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       const int count = t.edit->Lines()->Count();
       t.Key('L', {.shift = true, .ctrl = true});
       t.Key(VK_DOWN, {.shift = true});
       t.Key(VK_DOWN, {.shift = true});
       t.Type(U"ч");
       EXPECT_EQ(t.edit->Lines()->Count(), count - 2);
       t.ExpectExactRoundTrip(before);
     }},
    {"PaddingAddedBySelTextIsUndone",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({40, 2});
       t.edit->SetSelText("xyz");
       t.ExpectExactRoundTrip(before);
     }},
    {"ColumnTypingKeepsTheTrailingBlanksUndoRestores",
     [](CodeEditUndoExact& t) {
       // the last two lines end in blanks; the block crosses them
       t.edit->Lines()->Add("x := 1;   ");
       t.edit->Lines()->Add("y := 22;  ");
       t.edit->ClearUndo();
       const std::string before = t.edit->Text();
       const int last = t.edit->Lines()->Count();
       t.Key('C', {.shift = true, .ctrl = true});
       t.edit->SetCaretXY({3, last - 1});
       TPoint b = t.Cell(6, t.edit->LineToRow(last));
       t.Mouse(WM_LBUTTONDOWN, b.X, b.Y, {.shift = true, .alt = true});
       t.Mouse(WM_LBUTTONUP, b.X, b.Y, {.shift = true, .alt = true});
       ASSERT_EQ(t.edit->SelectionMode(), smColumn);
       ASSERT_TRUE(t.edit->SelAvail());
       t.Type(U"^");
       t.ExpectExactRoundTrip(before);
     }},
    {"AColumnPasteRecordedUnderWordWrapRedoesWhereItWent",
     [](CodeEditUndoExact& t) {
       // under word wrap the caret stands anywhere on a long line; without it the redo cannot put the
       // caret past the scroll width, and the column text still goes in where it went
       t.edit->SetText(std::string(1200, 'a') + "\n" + std::string(1200, 'b'));
       t.edit->ClearUndo();
       const std::string before = t.edit->Text();
       t.edit->SetWordWrap(true);
       t.edit->SetCaretXY({1100, 1});
       ASSERT_EQ(t.edit->CaretX(), 1100);
       t.PutClipboardText("XY\r\nZW", smColumn);
       t.edit->PasteFromClipboard();
       ASSERT_EQ(t.edit->Lines()->Strings(1).substr(1099, 2), "ZW");
       t.edit->SetWordWrap(false);
       t.ExpectExactRoundTrip(before);
       EXPECT_EQ(t.edit->Lines()->Strings(0).substr(1099, 2), "XY");
     }},
    {"DeletingTheLastLineAfterSelectAllRedoesToTheSameLineCount",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       const int count = t.edit->Lines()->Count();
       t.Key('A', {.ctrl = true});
       t.Key('Y', {.ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Count(), count - 1);
       t.ExpectExactRoundTrip(before);
       EXPECT_EQ(t.edit->Lines()->Count(), count - 1);
     }},
    {"CaretFollowsALastLineDeletedThroughLines",
     [](CodeEditUndoExact& t) {
       t.Key(VK_END, {.ctrl = true});
       t.edit->Lines()->Delete(t.edit->Lines()->Count() - 1);
       t.ExpectInsideText();
       t.edit->Lines()->Clear();
       t.ExpectInsideText();
     }},
    {"TopLineStaysOnTheRowsAfterAResizeWithScrollingPastTheEnd",
     [](CodeEditUndoExact& t) {
       t.edit->SetOptions(t.edit->Options() + eoScrollPastEof);
       t.Resize(261, 221);
       t.edit->SetWordWrap(true);
       t.Key(VK_END, {.ctrl = true});
       t.edit->SetTopLine(t.edit->DisplayLineCount());
       t.ExpectInsideText();
       t.Resize(713, 469);
       t.ExpectInsideText();
       t.edit->SetWordWrap(false);
       t.ExpectInsideText();
     }},
    {"ABlockEndPastItsLineIsClampedWhenColumnModeEnds",
     [](CodeEditUndoExact& t) {
       t.edit->SetText("short line of 18 c\nsecond");
       t.Key('C', {.shift = true, .ctrl = true});
       t.edit->SetBlockBegin({5, 1});
       t.edit->SetBlockEnd({60, 1});
       ASSERT_EQ(t.edit->RawBlockEnd(), (TBufferCoord{60, 1}));
       t.Key('N', {.shift = true, .ctrl = true});
       t.ExpectInsideText();
       EXPECT_EQ(t.edit->RawBlockEnd(), (TBufferCoord{19, 1}));
       EXPECT_EQ(t.edit->SelText(), "t line of 18 c");
     }},
    {"ATinyWindowSettlesWhenWordWrapIsToggled",
     [](CodeEditUndoExact& t) {
       // the editor fills the form; bars that are not needed hide, which gives the wrapped text
       // other rows, which may need the bar again
       t.edit->SetAlign(alClient);
       t.edit->SetOptions(t.edit->Options() + eoHideShowScrollbars);
       t.edit->SetWordWrap(true);
       t.edit->Font()->SetHeight(-17);
       for (int width : {40, 43, 46, 81})
         for (int height = 10; height <= 111; height += 3) {
           t.form->SetBounds(0, 0, width, height);
           t.Pump();
           t.Type(U"q");
           t.edit->SetWordWrap(false);
           t.edit->SetWordWrap(true);
           t.ExpectInsideText();
         }
     }},
    {"EndOnAClearedWrappedBufferMovesNowhere",
     [](CodeEditUndoExact& t) {
       t.edit->Lines()->Clear();
       t.edit->SetWordWrap(true);
       t.Key(VK_END);
       t.Key(VK_END, {.shift = true});
       t.Key(VK_NEXT, {.ctrl = true});
       t.ExpectInsideText();
       EXPECT_EQ(t.edit->CaretXY(), (TBufferCoord{1, 1}));
     }},
    {"PageBottomInAWrappedWindowShorterThanALine",
     [](CodeEditUndoExact& t) {
       t.edit->SetWordWrap(true);
       t.Resize(300, 10);
       ASSERT_EQ(t.edit->LinesInWindow(), 0);
       t.Key(VK_NEXT, {.ctrl = true});
       t.Key(VK_PRIOR, {.ctrl = true});
       t.Key(VK_NEXT);
       t.Key(VK_NEXT, {.shift = true, .ctrl = true});
       t.ExpectInsideText();
     }},
    // found by the random editing runs
    {"PastingOverABlockWhoseEndsShareAColumnRemovesNothing",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.Key('C', {.shift = true, .ctrl = true});
       t.edit->SetCaretAndSelection({2, 4}, {2, 2}, {2, 4});
       ASSERT_FALSE(t.edit->SelAvail());
       t.PutClipboardText(" := END;\r\n");
       t.Key('V', {.ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Count(), 3002);
       t.ExpectExactRoundTrip(before);
     }},
    {"ABlankTypedOverTheLastLinesInLineModeIsUndoneWithoutLosingALine",
     [](CodeEditUndoExact& t) {
       t.edit->SetText("first\nsecond\nthird");
       t.edit->ClearUndo();
       const std::string before = t.edit->Text();
       t.Key('L', {.shift = true, .ctrl = true});
       t.edit->SetCaretAndSelection({2, 3}, {1, 2}, {2, 3});
       t.Type(U" ");
       t.Type(U"x");
       t.ExpectExactRoundTrip(before);
     }},
    {"BackSpaceJoiningLinesGivesBackTheBlanksItCut",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({1, 5});  // the line above ends in three blanks
       t.Key(VK_BACK);
       EXPECT_EQ(t.edit->Lines()->Strings(3), "  FROM v$session s, v$process p WHERE s.paddr = p.addr(+)");
       t.ExpectExactRoundTrip(before);
     }},
    {"DeletingASelectionKeepsTheBlanksAfterIt",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretAndSelection({10, 4}, {3, 4}, {10, 4});  // the line ends in three blanks
       t.Key(VK_DELETE);
       t.ExpectExactRoundTrip(before);
     }},
    {"TabPaddingOnAnEmptyLineIsRedoneAsTabs",
     [](CodeEditUndoExact& t) {
       t.edit->SetOptions(t.edit->Options() - eoTabsToSpaces);
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({12, 8});  // an empty line
       t.Type(U"a");
       EXPECT_EQ(t.edit->Lines()->Strings(7), "\t   a");
       t.ExpectExactRoundTrip(before);
     }},
    {"ImeTextPastTheLineEndTakesItsPaddingAlongOnUndo",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({60, 9});
       t.Ime("ввод");
       t.ExpectExactRoundTrip(before);
     }},
    {"ALineBreakIsRedoneWithTheIndentItMade",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({8, 4});  // inside an indented line, after a blank
       t.Key(VK_RETURN);
       EXPECT_EQ(t.edit->Lines()->Strings(3), "  FROM");
       t.edit->SetOptions(t.edit->Options() - eoAutoIndent - eoTabsToSpaces);
       t.ExpectExactRoundTrip(before);
       EXPECT_EQ(t.edit->Lines()->Strings(4), "  v$session s, v$process p   ");
     }},
    {"TopLineInAWindowLowerThanALineStaysOnTheText",
     [](CodeEditUndoExact& t) {
       t.Resize(300, 10);
       ASSERT_EQ(t.edit->LinesInWindow(), 0);
       t.Key(VK_END, {.ctrl = true});
       t.edit->Lines()->Delete(t.edit->Lines()->Count() - 1);
       t.ExpectInsideText();
     }},
    // lines longer than the scroll width, where the caret stops at column 1025
    {"TypingPastTheScrollWidthIsNeverReversed",
     [](CodeEditUndoExact& t) {
       const std::string a1024(1024, 'a');
       t.edit->SetText(a1024);
       t.Key(VK_END);
       t.Type(U"xyz");
       EXPECT_EQ(t.edit->Lines()->Strings(0), a1024);
       t.edit->SetText(std::string(1020, 'a'));
       const std::string before = t.edit->Text();
       t.Key(VK_END);
       t.Type(U"abcdefghij");
       EXPECT_EQ(t.edit->Lines()->Strings(0), std::string(1020, 'a') + "abcd");
       EXPECT_EQ(t.edit->CaretX(), 1025);
       t.Key(VK_INSERT);  // overwrite mode stops there too
       t.Key(VK_LEFT);
       t.Type(U"pq");
       EXPECT_EQ(t.edit->Lines()->Strings(0), std::string(1020, 'a') + "abcp");
       t.Ime("ввод");
       EXPECT_EQ(t.edit->Lines()->Strings(0), std::string(1020, 'a') + "abcp");
       t.ExpectExactRoundTrip(before);
     }},
    {"UndoOfAPasteLongerThanTheScrollWidthGivesTheLineBack",
     [](CodeEditUndoExact& t) {
       t.edit->SetText("x");
       t.edit->ClearUndo();
       t.PutClipboardText(std::string(2000, 'b'));
       t.Key('V', {.ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Strings(0), std::string(2000, 'b') + "x");
       t.Key('Z', {.ctrl = true});
       EXPECT_EQ(t.edit->Text(), "x");
       t.Key('Z', {.shift = true, .ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Strings(0), std::string(2000, 'b') + "x");
       t.ExpectExactRoundTrip("x");
     }},
    {"UndoOfALongPasteAcrossLinesGivesTheTextBack",
     [](CodeEditUndoExact& t) {
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({7, 2});
       t.PutClipboardText("-- x\r\n" + std::string(1500, 'c'));
       t.Key('V', {.ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Strings(1), "-- Сеа-- x");
       EXPECT_EQ(t.edit->Lines()->Strings(2), std::string(1500, 'c') + "нсы, ждущие блокировку");
       t.Key('Z', {.ctrl = true});
       EXPECT_EQ(TextDiff(before, t.edit->Text()), "");
       t.Key('Z', {.shift = true, .ctrl = true});
       t.ExpectExactRoundTrip(before);
     }},
    {"SelTextEndingPastTheScrollWidthIsUndoneToTheLastCharacter",
     [](CodeEditUndoExact& t) {
       t.edit->Lines()->Put(78, std::string(1300, 'q'));
       t.edit->ClearUndo();
       const std::string before = t.edit->Text();
       t.edit->BeginUndoBlock();
       t.edit->SetCaretXY({1022, 79});
       t.edit->SetSelText("блок");
       t.edit->SetCaretXY({1162, 79});
       t.edit->SetSelText("второй");
       t.edit->EndUndoBlock();
       // the second text goes in where the caret stops, inside the first
       EXPECT_EQ(t.edit->Lines()->Line32(78).substr(1021, 10), U"бловторойк");
       t.ExpectExactRoundTrip(before);
     }},
    {"ALineOfFortyThousandCharactersEditsAndUndoesExactly",
     [](CodeEditUndoExact& t) {
       // past 32,767 columns, where the scroll bar is scaled, with the scroll width following the text
       t.edit->SetOptions(t.edit->Options() + eoAutoSizeMaxScrollWidth);
       t.edit->Lines()->Put(5, std::string(40000, 'w') + " -- долгая");
       t.edit->ClearUndo();
       const std::string before = t.edit->Text();
       t.edit->SetCaretXY({35001, 6});
       t.Type(U"xyz");
       t.Key(VK_END);
       t.Ime("ё");
       t.Key(VK_BACK);
       t.Key(VK_BACK);
       t.Key(VK_RETURN);
       t.PutClipboardText(std::string(33000, 'p'));
       t.Key('V', {.ctrl = true});
       EXPECT_EQ(t.edit->Lines()->Line32(5).substr(35000, 3), U"xyz");
       EXPECT_EQ(t.edit->Lines()->Line32(6).size(), 33000u);
       EXPECT_EQ(t.edit->CaretXY(), (TBufferCoord{33001, 7}));
       t.ExpectExactRoundTrip(before);
     }},
    {"TabWidthChangedUnderWordWrapKeepsTheTopLineOnTheRows",
     [](CodeEditUndoExact& t) {
       t.edit->SetOptions(t.edit->Options() + eoScrollPastEof);
       t.Resize(200, 200);
       t.edit->SetWordWrap(true);
       t.edit->SetTabWidth(64);
       t.edit->SetTopLine(t.edit->DisplayLineCount());
       t.edit->SetTabWidth(1);
       t.ExpectInsideText();
     }},
};

class UndoExactFaults : public CodeEditUndoExact, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UndoExactFaults, Sequence) {
  edit->SetText(kFirstLine + std::string("\n") + SqlText(3000));
  ShowAndFocus();
  edit->SetCaretXY({1, 1});
  GetParam().run(*this);
  ExpectInsideText();
}

INSTANTIATE_TEST_SUITE_P(Editor, UndoExactFaults, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// ---- control characters: input-method strings that hold line breaks, tabs and other control
// characters, and lines given such characters through Lines()

struct NamedText {
  const char* name;
  std::string text;
};

// An input-method string goes in as a paste of plain text in normal mode would: its lines end at
// CR, LF or CR LF; tabs and other control characters stay in the line.
const NamedText kImeTexts[] = {
    {"LetterAndLf", "x\n"},
    {"LetterAndCrLf", "x\r\n"},
    {"LfFirst", "\nx"},
    {"OnlyCrLf", "\r\n"},
    {"TwoLfs", "\n\n"},
    {"LoneCr", "a\rb"},
    {"CyrillicLinesAndTabs", "ЛЗё\nэЯЧ\tя\t/d"},
    {"Tabs", "\tя\t"},
    {"ControlCharacters", "a\x01\x1b;b\x7f"},
    {"ManyLines", "-- 1\r\nSELECT\n\t2\rEND;\n"},
};

enum class At { LineStart, Middle, LineEnd, PastEnd };
const std::pair<At, const char*> kPlaces[] = {
    {At::LineStart, "LineStart"}, {At::Middle, "Middle"}, {At::LineEnd, "LineEnd"}, {At::PastEnd, "PastEnd"}};

using ImeParam = std::tuple<NamedText, bool /*word wrap*/>;

class UndoExactInputMethod : public CodeEditUndoExact, public ::testing::WithParamInterface<ImeParam> {};

// At the start, inside, at the end and past the end of a line, in insert and overwrite mode.
TEST_P(UndoExactInputMethod, CommitIsUndoneAndRedoneExactly) {
  const auto& [ime, wrap] = GetParam();
  ShowAndFocus();
  Resize(260, 200);
  edit->SetWordWrap(wrap);
  edit->SetOptions(edit->Options() + eoScrollPastEol);
  // every line end of the string makes a line
  int breaks = 0;
  for (size_t i = 0; i < ime.text.size(); ++i)
    if (ime.text[i] == '\n' || (ime.text[i] == '\r' && (i + 1 == ime.text.size() || ime.text[i + 1] != '\n')))
      ++breaks;
  for (const auto& [place, placeName] : kPlaces)
    for (bool insert : {true, false}) {
      SCOPED_TRACE(std::string(placeName) + (insert ? ", insert mode" : ", overwrite mode"));
      edit->SetText(kFirstLine + std::string("\n") + SqlText(40));
      edit->SetInsertMode(insert);
      const int line = 2, length = static_cast<int>(edit->Lines()->Line32(line - 1).size());
      const int column = place == At::LineStart ? 1
                         : place == At::Middle  ? 5
                         : place == At::LineEnd ? length + 1
                                                : length + 4;
      edit->SetCaretXY({column, line});
      edit->ClearUndo();
      const std::string before = ExactLines(edit->Lines());
      const int count = edit->Lines()->Count();
      Ime(ime.text);
      EXPECT_EQ(edit->Lines()->Count(), count + breaks);
      for (int i = 0; i < edit->Lines()->Count(); ++i)
        ASSERT_EQ(edit->Lines()->Strings(i).find_first_of("\r\n"), std::string::npos) << "line " << i + 1;
      ExpectExactLinesRoundTrip(before);
      ExpectInsideText();
    }
}

INSTANTIATE_TEST_SUITE_P(Editor, UndoExactInputMethod,
                         ::testing::Combine(::testing::ValuesIn(kImeTexts), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<ImeParam>& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_Wrapped" : "_Unwrapped");
                         });

// A commit at (1, 1) followed by more editing.
TEST_F(CodeEditUndoExact, ImeLineBreakThenSelectAllAndTypingIsUndoneExactly) {
  edit->SetText(kFirstLine + std::string("\n") + SqlText(3000));
  ShowAndFocus();
  edit->SetCaretXY({1, 1});
  edit->ClearUndo();
  const std::string before = ExactLines(edit->Lines());
  const int count = edit->Lines()->Count();
  Ime("x\n");
  EXPECT_EQ(edit->Lines()->Strings(0), "x");
  EXPECT_EQ(edit->Lines()->Strings(1), kFirstLine);
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{1, 2}));
  Key('A', {.ctrl = true});
  Type(U"j");
  EXPECT_EQ(edit->Lines()->Count(), 1);
  ExpectExactLinesRoundTrip(before);
  EXPECT_EQ(edit->Lines()->Count(), count);
}

TEST_F(CodeEditUndoExact, ImeTextOnAReadOnlyToggledSmallFormThenDraggedSelectionTypedOver) {
  edit->SetText(kFirstLine + std::string("\n") + SqlText(3000));
  ShowAndFocus();
  edit->SetReadOnly(true);
  edit->SetReadOnly(false);
  Resize(631, 150);
  edit->ClearUndo();
  const std::string before = ExactLines(edit->Lines());
  Key(VK_END, {.ctrl = true});
  Ime("ЛЗё\nэЯЧ\tя\t/d");
  const int top = edit->TopLine();
  TPoint a = Cell(3, top), b = Cell(9, top + 2);
  Mouse(WM_LBUTTONDOWN, a.X, a.Y);
  Mouse(WM_MOUSEMOVE, b.X, b.Y);
  Mouse(WM_LBUTTONUP, b.X, b.Y);
  ASSERT_TRUE(edit->SelAvail());
  Type(U"s");
  ExpectExactLinesRoundTrip(before);
}

// Lines() keeps what it is given, line ends inside a line too; edits across such a line undo and
// redo to the exact lines.
const NamedText kLineTexts[] = {
    {"Lf", "ё€е\nR+ёцёMш—~"},
    {"CrLf", "ab\r\ncd"},
    {"LoneCr", "ab\rcd"},
    {"LfAtBothEnds", "\nmid\n"},
    {"TabsAndControls", "a\tb\x01;c\x1b"},
    {"Nul", std::string("p\0q", 3)},
};

struct LineEdit {
  const char* name;
  std::function<void(CodeEditUndoExact&, int line)> run;  // `line`: the given line, from 1
};

const LineEdit kLineEdits[] = {
    {"SelectToTheStartAndType",
     [](CodeEditUndoExact& t, int) {
       t.Key(VK_HOME, {.shift = true, .ctrl = true});
       t.Type(U"r");
     }},
    {"SelectAcrossAndDelete",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretAndSelection({3, line + 1}, {2, line - 1}, {3, line + 1});
       t.Key(VK_DELETE);
     }},
    {"DeleteEveryCharacterOfTheLine",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretXY({1, line});
       for (int i = 0; i < 14; ++i) t.Key(VK_DELETE);
     }},
    {"BackSpaceOverTheLine",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretXY({1, line + 1});
       for (int i = 0; i < 14; ++i) t.Key(VK_BACK);
     }},
    {"OverwriteTheLine",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretXY({1, line});
       t.Key(VK_INSERT);
       t.Type(U"zzzzzzzzzzzzzz");
       t.Ime("йцукенгшщ");
     }},
    {"DeleteWordsAndTheLine",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretXY({1, line});
       t.Key('T', {.ctrl = true});
       t.Key('T', {.ctrl = true});
       t.Key('Y', {.shift = true, .ctrl = true});
       t.Key(VK_END);
       t.Key(VK_BACK, {.ctrl = true});
       t.Key('Y', {.ctrl = true});
     }},
    {"CaseOfABlockAcross",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretAndSelection({3, line + 1}, {2, line - 1}, {3, line + 1});
       t.edit->CommandProcessor(ecUpperCaseBlock, 0, nullptr);
       t.edit->CommandProcessor(ecToggleCaseBlock, 0, nullptr);
     }},
    {"ColumnBlockTypedOver",
     [](CodeEditUndoExact& t, int line) {
       t.Key('C', {.shift = true, .ctrl = true});
       t.edit->SetCaretAndSelection({5, line + 1}, {2, line - 1}, {5, line + 1});
       t.Type(U"ж");
     }},
    {"LineBlockTypedOver",
     [](CodeEditUndoExact& t, int line) {
       t.Key('L', {.shift = true, .ctrl = true});
       t.edit->SetCaretAndSelection({2, line + 1}, {2, line - 1}, {2, line + 1});
       t.Type(U"ж");
     }},
    {"CutAndPasteBack",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretAndSelection({3, line + 1}, {2, line - 1}, {3, line + 1});
       t.Key('X', {.ctrl = true});
       t.Key('V', {.ctrl = true});
     }},
    {"LineBreaksInTheLine",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretXY({3, line});
       t.Key(VK_RETURN);
       t.Key(VK_END);
       t.Key(VK_RETURN);
       t.Key(VK_UP);
       t.Key(VK_DELETE);
     }},
    {"IndentAndUnindent",
     [](CodeEditUndoExact& t, int line) {
       t.edit->SetCaretAndSelection({3, line + 1}, {2, line - 1}, {3, line + 1});
       t.Key('I', {.shift = true, .ctrl = true});
       t.Key('U', {.shift = true, .ctrl = true});
       t.Key('U', {.shift = true, .ctrl = true});
     }},
};

class UndoExactGivenLines : public CodeEditUndoExact, public ::testing::WithParamInterface<LineEdit> {};

TEST_P(UndoExactGivenLines, EditAcrossTheLineIsUndoneAndRedoneExactly) {
  ShowAndFocus();
  for (const NamedText& given : kLineTexts) {
    SCOPED_TRACE(given.name);
    edit->SetText(kFirstLine + std::string("\n") + SqlText(300));
    edit->SetInsertMode(true);
    edit->SetSelectionMode(smNormal);
    edit->SetCaretXY({1, 1});
    Key(VK_END, {.shift = true, .ctrl = true});
    const int count = edit->Lines()->Count();
    edit->Lines()->Insert(211, given.text);
    EXPECT_EQ(edit->Lines()->Count(), count + 1);
    EXPECT_EQ(edit->Lines()->Strings(211), given.text);
    edit->ClearUndo();
    const std::string before = ExactLines(edit->Lines());
    GetParam().run(*this, 212);
    ExpectExactLinesRoundTrip(before);
    ExpectInsideText();
  }
}

INSTANTIATE_TEST_SUITE_P(Editor, UndoExactGivenLines, ::testing::ValuesIn(kLineEdits),
                         [](const ::testing::TestParamInfo<LineEdit>& info) { return info.param.name; });

// A line that holds a line end keeps it when it is edited beside it: deleting the character before
// the LF, or the LF itself, leaves one line.
TEST_F(CodeEditUndoExact, DeletingALineEndInsideALineRemovesOneCharacter) {
  edit->SetText("first\nab\ncd\nlast");
  ShowAndFocus();
  edit->Lines()->Put(1, "ab\ncd");
  edit->Lines()->Delete(2);
  edit->ClearUndo();
  const std::string before = ExactLines(edit->Lines());
  edit->SetCaretXY({3, 2});
  Key(VK_DELETE);
  EXPECT_EQ(edit->Lines()->Count(), 3);
  EXPECT_EQ(edit->Lines()->Strings(1), "abcd");
  Key(VK_UP);  // a group break
  ExpectExactLinesRoundTrip(before);
  EXPECT_EQ(edit->Lines()->Strings(1), "ab\ncd");
}

}  // namespace
