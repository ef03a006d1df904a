// Editing through messages: typing, deleting, line breaks and tabs, cut and paste in three modes,
// undo and redo groups, and a read-only editor that changes nothing.
#include <random>

#include "CodeEditTestSupport.h"
#include "platform/gui/StdActns.h"

using namespace edittest;

namespace {

class CodeEditEdit : public CodeEditTest {
 protected:
  void Type(const std::u32string& text) {
    for (char32_t c : text) {
      WORD vk = (c >= U'a' && c <= U'z') ? static_cast<WORD>(c - U'a' + 'A') : static_cast<WORD>('A');
      if (c == U' ') vk = VK_SPACE;
      talvik::gui::InjectKey(vk, true, c, {});
      talvik::gui::InjectKey(vk, false, 0, {});
    }
    Pump();
  }
  std::vector<uint8_t> UndoKinds() {
    std::vector<uint8_t> out;
    for (int i = 0; i < edit->UndoList()->ItemCount(); ++i)
      out.push_back(edit->UndoList()->Items(i)->ChangeReason);
    return out;
  }
  void PutClipboard(const std::string& text, const std::string* block) {
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, text);
    if (block) SetClipboardData(CodeEditClipboardFormat(), *block);
    CloseClipboard();
  }
};

TEST_F(CodeEditEdit, TypingLatinCyrillicOverwriteAndPastTheEnd) {
  ShowAndFocus();
  Type(U"select ");
  Type(U"привет");
  EXPECT_EQ(edit->Text(), "select привет");
  EXPECT_EQ(edit->CaretX(), 14);
  Key(VK_HOME);
  Key(VK_INSERT);  // overwrite
  EXPECT_FALSE(edit->InsertMode());
  Type(U"SEL");
  EXPECT_EQ(edit->Text(), "SELect привет");
  Key(VK_INSERT);
  // a character typed past the line's end pads the line up to the caret
  edit->SetCaretXY({17, 1});
  Type(U"x");
  EXPECT_EQ(edit->Text(), "SELect привет   x");
  EXPECT_TRUE(edit->Modified());
}

TEST_F(CodeEditEdit, TypingOnAnEmptyLinePadsWithTabsAndRecordsTheWhiteSpace) {
  edit->SetOptions(edit->Options() - eoTabsToSpaces);
  ShowAndFocus();
  edit->SetCaretXY({10, 1});
  Type(U"a");
  EXPECT_EQ(edit->Text(), "\t a");
  EXPECT_EQ(edit->CaretX(), 4);
  EXPECT_EQ(UndoKinds(), (std::vector<uint8_t>{ucWhiteSpaceAdd, ucInsert}));
  EXPECT_EQ(edit->UndoList()->Items(0)->ChangeNumber, edit->UndoList()->Items(1)->ChangeNumber);
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "");
}

TEST_F(CodeEditEdit, EnterWithAndWithoutAutoIndent) {
  edit->SetText("  abc");
  ShowAndFocus();
  edit->SetCaretXY({4, 1});
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "  a\r\n  bc");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{3, 2}));
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "  abc");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{4, 1}));
  edit->SetOptions(edit->Options() - eoAutoIndent);
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "  a\r\nbc");
  // at the end of a line and in column 1
  edit->SetText("x\ny");
  edit->SetCaretXY({2, 1});
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "x\r\n\r\ny");
  edit->SetCaretXY({1, 3});
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "x\r\n\r\n\r\ny");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{1, 4}));
  Key('Z', {.ctrl = true});
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "x\r\ny");
}

TEST_F(CodeEditEdit, TabBackspaceDeleteAndTheirUndo) {
  edit->SetText("ab\ncd");
  ShowAndFocus();
  edit->SetCaretXY({2, 1});
  Key(VK_TAB);
  EXPECT_EQ(edit->Text(), "a       b\r\ncd");  // to the next tab stop
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "a      b\r\ncd");
  edit->SetCaretXY({1, 2});
  Key(VK_BACK);  // joins the lines
  EXPECT_EQ(edit->Text(), "a      bcd");
  Key(VK_DELETE);
  EXPECT_EQ(edit->Text(), "a      bd");
  // back-space in column 1 of line 1 records nothing
  edit->SetCaretXY({1, 1});
  int items = edit->UndoList()->ItemCount();
  Key(VK_BACK);
  EXPECT_EQ(edit->UndoList()->ItemCount(), items);
  for (int i = 0; i < 4; ++i) Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "ab\r\ncd");
  for (int i = 0; i < 4; ++i) Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "a      bd");
}

TEST_F(CodeEditEdit, AltBackspaceUndoesAndTypesNothing) {
  ShowAndFocus();
  Type(U"abc");
  Key(VK_BACK, {.alt = true}, 8);
  EXPECT_EQ(edit->Text(), "");
  Key(VK_BACK, {.shift = true, .alt = true}, 8);
  EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(CodeEditEdit, DeleteLineWordAndLineParts) {
  edit->SetText("only");
  ShowAndFocus();
  edit->CommandProcessor(ecDeleteLine, 0, nullptr);
  EXPECT_EQ(edit->Lines()->Count(), 1);
  EXPECT_EQ(edit->Text(), "");
  edit->SetText("alpha beta gamma\nsecond");
  edit->SetCaretXY({7, 1});
  edit->CommandProcessor(ecDeleteWord, 0, nullptr);
  EXPECT_EQ(edit->Text(), "alpha gamma\r\nsecond");
  edit->CommandProcessor(ecDeleteEOL, 0, nullptr);
  EXPECT_EQ(edit->Text(), "alpha \r\nsecond");  // blanks before the deleted part stay
  edit->SetCaretXY({4, 2});
  edit->CommandProcessor(ecDeleteBOL, 0, nullptr);
  EXPECT_EQ(edit->Text(), "alpha \r\nond");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{1, 2}));
  edit->CommandProcessor(ecDeleteLine, 0, nullptr);
  EXPECT_EQ(edit->Text(), "alpha ");
  for (int i = 0; i < 4; ++i) edit->CommandProcessor(ecUndo, 0, nullptr);
  EXPECT_EQ(edit->Text(), "alpha beta gamma\r\nsecond");
}

TEST_F(CodeEditEdit, ClipboardRoundTripsInThreeModes) {
  edit->SetText("один два\nтри четыре\nab\nlast");
  ShowAndFocus();
  // normal
  edit->SetCaretAndSelection({4, 2}, {6, 1}, {4, 2});
  Key('X', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "один  четыре\r\nab\r\nlast");
  edit->SetCaretXY({3, 3});
  Key('V', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "один  четыре\r\nab\r\nlaдва\r\nтриst");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "один  четыре\r\nab\r\nlast");
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "один  четыре\r\nab\r\nlaдва\r\nтриst");
  // column: pieces padded in characters, pasted as a block
  edit->SetText("ab\nабвг\nxy");
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndSelection({4, 2}, {2, 1}, {4, 2});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "b \r\nбв");
  edit->SetSelectionMode(smNormal);
  edit->SetCaretAndClearSelection({3, 3});
  Key('V', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "ab\r\nабвг\r\nxyb \r\n  бв");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "ab\r\nабвг\r\nxy");
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "ab\r\nабвг\r\nxyb \r\n  бв");
  // line: whole lines go in before the caret's line
  edit->SetText("первая\nвторая\nтретья");
  edit->SetSelectionMode(smLine);
  edit->SetCaretAndSelection({1, 1}, {1, 1}, {1, 1});
  edit->SetCaretAndSelection({2, 1}, {2, 1}, {2, 1});
  edit->SetBlockEnd({3, 1});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "первая\r\n");
  edit->SetSelectionMode(smNormal);
  edit->SetCaretAndClearSelection({3, 3});
  Key('V', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "первая\r\nвторая\r\nпервая\r\nтретья");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "первая\r\nвторая\r\nтретья");
}

TEST_F(CodeEditEdit, TextFromElsewhereAndMalformedOwnBlocksPasteSafely) {
  edit->SetText("xy");
  ShowAndFocus();
  edit->SetCaretXY({2, 1});
  PutClipboard("AB", nullptr);  // another program: plain text only
  Key('V', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "xABy");
  struct Case {
    std::string block;
    std::string text;
    std::string expected;
  };
  std::string mode7 = std::string(1, '\x07') + "Q" + std::string(1, '\0');
  std::string noNul = std::string(1, '\0') + "NN";
  std::string broken = std::string(1, '\0') + "a\xFF" + "b" + std::string(1, '\0');
  const Case cases[] = {
      {std::string(), "plain", "plain"},  // an empty block counts as absent
      {mode7, "ignored", "Q"},            // an unknown mode pastes as normal text
      {noNul, "ignored", "NN"},           // the text ends with the block
      {broken, "ignored", "a\uFFFDb"},    // bad UTF-8 becomes the replacement character
  };
  for (const Case& c : cases) {
    edit->SetText("");
    PutClipboard(c.text, &c.block);
    Key('V', {.ctrl = true});
    EXPECT_EQ(edit->Text(), c.expected);
    EXPECT_TRUE(OpenClipboard(nullptr));  // closed after the paste
    CloseClipboard();
  }
  // a clipboard that does not open: the paste message, and nothing recorded
  int items = edit->UndoList()->ItemCount();
  ASSERT_TRUE(OpenClipboard(nullptr));
  bool raised = false;
  try {
    edit->PasteFromClipboard();
  } catch (const ECodeEditError& e) {
    raised = true;
    EXPECT_STREQ(e.what(), "Clipboard paste operation failed.");
  }
  CloseClipboard();
  if (!raised) GTEST_SKIP() << "the clipboard opens twice here";
  EXPECT_EQ(edit->UndoList()->ItemCount(), items);
}

TEST_F(CodeEditEdit, AReadOnlyEditorChangesNothing) {
  edit->SetText("one two\nthree");
  ShowAndFocus();
  Type(U"x");
  Key('Z', {.ctrl = true});  // leaves one redo item
  edit->SetReadOnly(true);
  edit->SetCaretAndSelection({5, 1}, {1, 1}, {5, 1});
  PutClipboard("pasted", nullptr);
  const TCodeEditorCommand commands[] = {
      ecChar,           ecImeStr,         ecDeleteLastChar, ecDeleteChar, ecDeleteWord,
      ecDeleteLastWord, ecDeleteBOL,      ecDeleteEOL,      ecDeleteLine, ecClearAll,
      ecLineBreak,      ecInsertLine,     ecUndo,           ecRedo,       ecCut,
      ecPaste,          ecBlockIndent,    ecBlockUnindent,  ecTab,        ecShiftTab,
      ecUpperCase,      ecLowerCase,      ecToggleCase,     ecTitleCase,  ecUpperCaseBlock,
      ecLowerCaseBlock, ecToggleCaseBlock};
  std::string ime = "ввод";
  for (TCodeEditorCommand c : commands) {
    edit->CommandProcessor(c, U'z', c == ecImeStr ? &ime : nullptr);
    EXPECT_EQ(edit->Text(), "one two\r\nthree") << EditorCommandToIdent(c);
    EXPECT_EQ(edit->UndoList()->ItemCount(), 0) << EditorCommandToIdent(c);
    EXPECT_EQ(edit->RedoList()->ItemCount(), 1) << EditorCommandToIdent(c);
  }
  for (UINT m : {WM_CLEAR, WM_CUT, WM_PASTE, WM_UNDO}) {
    edit->Perform(m);
    EXPECT_EQ(edit->Text(), "one two\r\nthree") << m;
  }
  Type(U"typed");
  talvik::gui::InjectText("ввод");  // an input-method commit
  Pump();
  EXPECT_EQ(edit->Text(), "one two\r\nthree");
  EXPECT_EQ(edit->UndoList()->ItemCount(), 0);
  EXPECT_EQ(edit->RedoList()->ItemCount(), 1);
  // copying and moving still work
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "one ");
}

TEST_F(CodeEditEdit, UndoGroups) {
  ShowAndFocus();
  Type(U"abc");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "");  // one step with eoGroupUndo
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetText("");
  edit->SetOptions(edit->Options() - eoGroupUndo);
  Type(U"abc");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "ab");
  edit->SetText("");
  edit->SetOptions(edit->Options() + eoGroupUndo);
  // a caret move between two runs splits them
  Type(U"ab");
  Key(VK_LEFT);
  Key(VK_RIGHT);
  Type(U"cd");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "ab");
  // after undo, typing clears the redo list; redoing does not
  EXPECT_EQ(edit->RedoList()->ItemCount() > 0, true);
  Type(U"x");
  EXPECT_EQ(edit->RedoList()->ItemCount(), 0);
  // a paste over a selection undoes in one step, the deleted selection included
  edit->SetText("keep this");
  edit->SetCaretAndSelection({10, 1}, {6, 1}, {10, 1});
  PutClipboard("that\nline", nullptr);
  Key('V', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "keep that\r\nline");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "keep this");
  // Modified follows the save point
  edit->SetText("");
  Type(U"q");
  edit->SetModified(false);
  Key('Z', {.ctrl = true});
  EXPECT_TRUE(edit->Modified());
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_FALSE(edit->Modified());
}

// A seeded run of edits (typing, deletes, line breaks, tabs, cuts and pastes in three modes,
// Cyrillic): undoing everything gives the first text back, redoing everything the last. The text
// keeps its trailing blanks here: with eoTrimTrailingSpaces edits drop them for good, and what a
// later edit does may depend on them.
TEST_F(CodeEditEdit, SeededEditsUndoAndRedoToTheEnds) {
  ShowAndFocus();
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    edit->SetText("select * from dual\n\tкурсор\nend;");
    constexpr bool trims = false;
    edit->SetOptions(edit->Options() - eoTrimTrailingSpaces);
    edit->SetTabWidth(seed % 2 ? 8 : 4);
    auto comparable = [&](const std::string& text) {
      if (!trims) return text;
      std::string out, line;
      for (char c : text + "\n") {
        if (c == '\r') continue;
        if (c != '\n') {
          line += c;
          continue;
        }
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        out += line + "\n";
        line.clear();
      }
      return out;
    };
    edit->ClearUndo();
    edit->SetModified(false);
    edit->SetMaxUndo(100000);
    const std::string first = comparable(edit->Text());
    const std::u32string alphabet = U"abcxyz привет;()' ";
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 60; ++step) {
      int lines = edit->Lines()->Count();
      int line = 1 + pick(std::max(lines, 1));
      edit->SetCaretXY({1 + pick(edit->Lines()->Line32(line - 1).size() + 2), line});
      switch (pick(9)) {
        case 8: {
          TCodeSelectionMode mode = static_cast<TCodeSelectionMode>(pick(3));
          std::string block = std::string(1, static_cast<char>(mode)) + "ёж\r\nxy" + std::string(1, '\0');
          PutClipboard("ёж\r\nxy", &block);
          edit->CommandProcessor(ecPaste, 0, nullptr);
          break;
        }
        case 0:
        case 1:
          edit->CommandProcessor(
              ecChar, alphabet[static_cast<size_t>(pick(static_cast<int>(alphabet.size())))], nullptr);
          break;
        case 2:
          edit->CommandProcessor(ecDeleteLastChar, 0, nullptr);
          break;
        case 3:
          edit->CommandProcessor(ecDeleteChar, 0, nullptr);
          break;
        case 4:
          edit->CommandProcessor(ecLineBreak, 0, nullptr);
          break;
        case 5: {
          int other = 1 + pick(std::max(edit->Lines()->Count(), 1));
          edit->SetSelectionMode(static_cast<TCodeSelectionMode>(pick(3)));
          edit->SetBlockEnd({1 + pick(4), other});
          edit->CommandProcessor(pick(2) ? ecCut : ecDeleteChar, 0, nullptr);
          edit->SetSelectionMode(smNormal);
          break;
        }
        case 6:
          edit->CommandProcessor(ecTab, 0, nullptr);
          break;
        default:
          edit->CommandProcessor(ecDeleteWord, 0, nullptr);
          break;
      }
    }
    const std::string last = comparable(edit->Text());
    int guard = 0;
    while (edit->UndoList()->CanUndo() && guard++ < 1000) edit->Undo();
    EXPECT_EQ(comparable(edit->Text()), first);
    EXPECT_FALSE(edit->Modified());
    guard = 0;
    while (edit->RedoList()->CanUndo() && guard++ < 1000) edit->Redo();
    EXPECT_EQ(comparable(edit->Text()), last);
  }
}

}  // namespace

namespace {

TEST_F(CodeEditEdit, BookmarkKeysSetToggleMoveAndGo) {
  std::string text;
  for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\n";
  edit->SetText(text);
  ShowAndFocus();
  int x = 0, y = 0;
  edit->SetCaretXY({3, 5});
  Key('3', {.shift = true, .ctrl = true});
  ASSERT_TRUE(edit->GetBookMark(3, x, y));
  EXPECT_EQ(y, 5);
  Key('3', {.shift = true, .ctrl = true});  // the same line: off again
  EXPECT_FALSE(edit->IsBookmark(3));
  Key('3', {.shift = true, .ctrl = true});
  edit->SetCaretXY({2, 150});
  Key('3', {.shift = true, .ctrl = true});  // another line: moved
  ASSERT_TRUE(edit->GetBookMark(3, x, y));
  EXPECT_EQ(y, 150);
  EXPECT_EQ(edit->Marks()->Count(), 1);
  Key(VK_HOME, {.ctrl = true});
  Key('3', {.ctrl = true});  // go, with the line in the middle of the window
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{2, 150}));
  EXPECT_GT(edit->TopLine(), 150 - edit->LinesInWindow());
  EXPECT_LT(edit->TopLine(), 150);
  // typing a line break above moves the mark with its line
  Key(VK_HOME, {.ctrl = true});
  Key(VK_RETURN);
  edit->GetBookMark(3, x, y);
  EXPECT_EQ(y, 151);
  edit->BookMarkOptions()->SetEnableKeys(false);
  Key('3', {.shift = true, .ctrl = true});
  EXPECT_TRUE(edit->IsBookmark(3));
}

}  // namespace

namespace {

// The form's copy, paste and select-all actions (the session window's popup menu) act on the
// focused editor and are enabled by what it holds; the other edit actions stay the platform's.
TEST_F(CodeEditEdit, EditActionsActOnTheFocusedEditor) {
  edit->SetText("SELECT 1\nFROM dual -- двойная");
  ShowAndFocus();
  TEditCopy copy(form.get());
  TEditPaste paste(form.get());
  TEditSelectAll selectAll(form.get());
  TEditCut cut(form.get());
  copy.Update();
  EXPECT_FALSE(copy.Enabled());  // nothing selected
  selectAll.Update();
  EXPECT_TRUE(selectAll.Enabled());
  EXPECT_TRUE(selectAll.Execute());
  EXPECT_EQ(edit->SelText(), "SELECT 1\r\nFROM dual -- двойная");
  copy.Update();
  EXPECT_TRUE(copy.Enabled());
  EXPECT_TRUE(copy.Execute());
  EXPECT_EQ(ClipboardText(), "SELECT 1\r\nFROM dual -- двойная");
  edit->SetCaretAndClearSelection({9, 1});
  PutClipboard(" + 2", nullptr);
  paste.Update();
  EXPECT_TRUE(paste.Enabled());
  EXPECT_TRUE(paste.Execute());
  EXPECT_EQ(edit->LineText(), "SELECT 1 + 2");
  // a read-only editor offers no paste
  edit->SetReadOnly(true);
  paste.Update();
  EXPECT_FALSE(paste.Enabled());
  // cut is not the editor's: nothing is cut
  edit->SetReadOnly(false);
  edit->SelectAll();
  cut.Execute();
  EXPECT_EQ(edit->Text(), "SELECT 1 + 2\r\nFROM dual -- двойная");
}

}  // namespace

namespace {

struct IndentCase {
  const char* name;
  const char* text;
  TCodeSelectionMode mode;
  TBufferCoord begin, end;  // the selection; equal ends: the caret alone
  bool tabsToSpaces;
  WORD key;
  ShiftState shift;
  const char* expected;
  TBufferCoord caret;
};

// Block indent and unindent by their keys, Shift+Tab, and Tab over lines with eoTabIndent; each
// undone and redone in one step to the exact text.
const IndentCase kIndents[] = {
    {"IndentWithBlanks",
     "select\n  from dual\nwhere",
     smNormal,
     {3, 1},
     {4, 2},
     true,
     'I',
     {.shift = true, .ctrl = true},
     "        select\r\n          from dual\r\nwhere",
     {12, 2}},
    {"IndentWithATabLeavesALastLineEndingInColumnOne",
     "select\nfrom\nwhere",
     smNormal,
     {1, 1},
     {1, 3},
     false,
     'I',
     {.shift = true, .ctrl = true},
     "\tselect\r\n\tfrom\r\nwhere",
     {1, 3}},
    {"IndentOfAColumnBlockAtItsLeftColumn",
     "abcdef\nab\nабвгде",
     smColumn,
     {3, 1},
     {5, 3},
     true,
     'I',
     {.shift = true, .ctrl = true},
     "ab        cdef\r\nab        \r\nаб        вгде",
     {13, 3}},
    {"UnindentTakesBlanksTabsOrBothUpToATabWidth",
     "\tone\n   two\n          three\n  \tfour",
     smLine,
     {1, 1},
     {1, 4},
     true,
     'U',
     {.shift = true, .ctrl = true},
     "one\r\ntwo\r\n  three\r\nfour",
     {1, 4}},
    {"UnindentOfLinesWithoutIndentChangesNothing",
     "один\nдва",
     smNormal,
     {1, 1},
     {3, 2},
     true,
     'U',
     {.shift = true, .ctrl = true},
     "один\r\nдва",
     {3, 2}},
    {"ShiftTabBackToThePreviousStop",
     "x := 1;        -- комм",
     smNormal,
     {16, 1},
     {16, 1},
     true,
     VK_TAB,
     {.shift = true},
     "x := 1; -- комм",
     {9, 1}},
    {"ShiftTabStopsAtTheFirstNonBlank",
     "abcdefghij  k",
     smNormal,
     {13, 1},
     {13, 1},
     true,
     VK_TAB,
     {.shift = true},
     "abcdefghijk",
     {11, 1}},
    {"ShiftTabOverATab", "ab\tcd", smNormal, {4, 1}, {4, 1}, true, VK_TAB, {.shift = true}, "abcd", {3, 1}},
    {"TabOverLinesWithTabIndentIndentsThem",
     "a\nb",
     smNormal,
     {1, 1},
     {2, 2},
     true,
     VK_TAB,
     {},
     "        a\r\n        b",
     {10, 2}},
    {"TabGoesUnderTheNextWordOfTheLineAbove",
     "SELECT a,   b\nx",
     smNormal,
     {2, 2},
     {2, 2},
     true,
     VK_TAB,
     {},
     "SELECT a,   b\r\nx      ",
     {8, 2}},
    {"TabReachesTheWordAboveWithTabsThenBlanks",
     "SELECT      b\n\nz",
     smNormal,
     {1, 2},
     {1, 2},
     false,
     VK_TAB,
     {},
     "SELECT      b\r\n\t    \r\nz",
     {6, 2}},
    {"TabPastAShortLineEndReachesTheWordAbove",
     "SELECT      b\nab",
     smNormal,
     {5, 2},
     {5, 2},
     false,
     VK_TAB,
     {},
     "SELECT      b\r\nab  \t    ",
     {10, 2}},
    {"ShiftTabGoesBackUnderTheWordStartAbove",
     "SELECT a,   b\nx           y",
     smNormal,
     {13, 2},
     {13, 2},
     true,
     VK_TAB,
     {.shift = true},
     "SELECT a,   b\r\nx      y",
     {8, 2}},
    {"ShiftTabUnderAWordAboveTakesOnlyBlanks",
     "SELECT a,   b\nxyzxyzxyz   y",
     smNormal,
     {13, 2},
     {13, 2},
     true,
     VK_TAB,
     {.shift = true},
     "SELECT a,   b\r\nxyzxyzxyzy",
     {10, 2}},
    {"TabOverAWholeLineIndentsIt",
     "  select\nfrom",
     smNormal,
     {3, 1},
     {9, 1},
     true,
     VK_TAB,
     {},
     "          select\r\nfrom",
     {17, 1}},
    {"ShiftTabOverAWholeLineUnindentsIt",
     "\tselect\nfrom",
     smNormal,
     {1, 1},
     {8, 1},
     true,
     VK_TAB,
     {.shift = true},
     "select\r\nfrom",
     {7, 1}},
    {"TabOverPartOfALineReplacesIt",
     "  select\nfrom",
     smNormal,
     {5, 1},
     {9, 1},
     true,
     VK_TAB,
     {},
     "  se    \r\nfrom",
     {9, 1}},
};

class BlockIndents : public CodeEditEdit, public ::testing::WithParamInterface<IndentCase> {};

TEST_P(BlockIndents, ChangeTheLinesAndUndoExactly) {
  const IndentCase& c = GetParam();
  edit->SetText(c.text);
  edit->SetTabWidth(8);
  TCodeEditorOptions options = edit->Options() + eoTabIndent;
  edit->SetOptions(c.tabsToSpaces ? options + eoTabsToSpaces : options - eoTabsToSpaces);
  ShowAndFocus();
  edit->SetSelectionMode(c.mode);
  edit->SetCaretAndSelection(c.end, c.begin, c.end);
  const std::string before = edit->Text();
  Key(c.key, c.shift);
  EXPECT_EQ(edit->Text(), c.expected);
  EXPECT_EQ(edit->CaretXY(), c.caret);
  const std::string after = edit->Text();
  const int selectedBefore = edit->SelLength();
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), before);
  if (c.begin != c.end) {
    EXPECT_EQ(edit->RawBlockBegin(), c.begin);
    EXPECT_EQ(edit->RawBlockEnd(), c.end);
  }
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), after);
  EXPECT_EQ(edit->SelLength(), selectedBefore);
}

INSTANTIATE_TEST_SUITE_P(Editor, BlockIndents, ::testing::ValuesIn(kIndents),
                         [](const ::testing::TestParamInfo<IndentCase>& info) { return info.param.name; });

TEST_F(CodeEditEdit, TabOverAWholeLineSelectsItFromColumnOne) {
  edit->SetText("  select 1\nfrom dual");
  edit->SetOptions(edit->Options() + eoTabIndent);
  ShowAndFocus();
  edit->SetCaretAndSelection({11, 1}, {2, 1}, {11, 1});
  Key(VK_TAB);
  EXPECT_EQ(edit->Lines()->Strings(0), "          select 1");
  EXPECT_EQ(edit->BlockBegin(), (TBufferCoord{1, 1}));
  EXPECT_EQ(edit->BlockEnd(), (TBufferCoord{19, 1}));
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->BlockBegin(), (TBufferCoord{2, 1}));
  // a selection from inside the word is typed over
  edit->SetCaretAndSelection({11, 1}, {4, 1}, {11, 1});
  Key(VK_TAB);
  EXPECT_EQ(edit->Lines()->Strings(0), "  s     ");
}

// With eoTrimTrailingSpaces a blank or a tab on an otherwise blank line leaves the caret after the
// line's expanded width, where the blanks would end.
TEST_F(CodeEditEdit, BlanksOnABlankLineLeaveTheCaretAfterItsExpandedWidth) {
  edit->SetText("\t\nselect");
  edit->SetTabWidth(8);
  edit->SetOptions(edit->Options() + eoTrimTrailingSpaces - eoSmartTabs);
  ShowAndFocus();
  edit->SetCaretXY({2, 1});
  Type(U" ");
  EXPECT_EQ(edit->DisplayX(), 10);
  Key(VK_TAB);
  EXPECT_EQ(edit->DisplayX(), 17);
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Lines()->Strings(0), "\t");
}

// A handler may drop or replace itself while it runs (a form unhooking the editor it watches): what
// it captured stays alive until it returns, for the editor's own events as for the layer's.
TEST_F(CodeEditEdit, HandlersThatDropThemselvesFinishTheirCall) {
  ShowAndFocus();
  auto text = std::make_shared<std::string>("изменено");
  std::string changed, status, command;
  edit->OnChange = [this, &changed, text](TObject*) {
    edit->OnChange = nullptr;
    changed = *text;
  };
  edit->OnStatusChange = [this, &status, text](TObject*, TCodeStatusChanges) {
    edit->OnStatusChange = nullptr;
    status = *text;
  };
  edit->OnCommandProcessed = [this, &command, text](TObject*, TCodeEditorCommand&, char32_t&, void*) {
    edit->OnCommandProcessed = nullptr;
    command = *text;
  };
  text.reset();
  Type(U"x");
  EXPECT_EQ(changed, "изменено");
  EXPECT_EQ(status, "изменено");
  EXPECT_EQ(command, "изменено");
  EXPECT_EQ(edit->Lines()->Strings(0), "x");
}

// Back-space just after a line's leading white space: with eoSmartTabDelete the line goes back to
// the indent of the nearest line above with a smaller one, without it the blanks back to the
// previous tab stop go (a tab alone); elsewhere one character. Each undone and redone exactly.
struct BackSpaceCase {
  const char* name;
  const char* text;
  TBufferCoord caret;
  bool smart;
  const char* expected;
  TBufferCoord caretAfter;
};

const BackSpaceCase kBackSpaces[] = {
    {"SmartUnindentsToTheSmallerIndentAbove", "    abc\n        x", {9, 2}, true, "    abc\r\n    x", {5, 2}},
    {"SmartSkipsEmptyLinesAndWiderIndents",
     "  a\n\n          b\n        x",
     {9, 4},
     true,
     "  a\r\n\r\n          b\r\n  x",
     {3, 4}},
    {"SmartWithoutASmallerIndentGoesToColumnOne", "        x", {9, 1}, true, "x", {1, 1}},
    {"SmartOnABlankLineUnindentsItToo", "  a\n      ", {7, 2}, true, "  a\r\n  ", {3, 2}},
    {"SmartKeepsTheTabsWithinTheIndentAbove", "\ta\n\t\tx", {3, 2}, true, "\ta\r\n\tx", {2, 2}},
    {"BlanksBackToThePreviousTabStop", "          x", {11, 1}, false, "        x", {9, 1}},
    {"BlanksOfAWholeTabWidthGoToColumnOne", "        x", {9, 1}, false, "x", {1, 1}},
    {"ATabBeforeTheCaretGoesAlone", "\t\tx", {3, 1}, false, "\tx", {2, 1}},
    {"BlanksAfterATabStopAtTheTab", "\t   x", {5, 1}, false, "\tx", {2, 1}},
    {"InsideTheIndentOneCharacter", "    abc\n        x", {5, 2}, true, "    abc\r\n       x", {4, 2}},
    {"AfterTextOneCharacter", "    abc\n  x  y", {5, 2}, true, "    abc\r\n  x y", {4, 2}},
};

class BackSpaces : public CodeEditEdit, public ::testing::WithParamInterface<BackSpaceCase> {};

TEST_P(BackSpaces, AfterTheIndentUnindentAndUndoExactly) {
  const BackSpaceCase& c = GetParam();
  edit->SetOptions((c.smart ? edit->Options() + eoSmartTabDelete : edit->Options() - eoSmartTabDelete) -
                   eoTrimTrailingSpaces);
  edit->SetText(c.text);
  ShowAndFocus();
  edit->SetCaretXY(c.caret);
  const std::string before = edit->Text();
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), c.expected);
  EXPECT_EQ(edit->CaretXY(), c.caretAfter);
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), before);
  EXPECT_EQ(edit->CaretXY(), c.caret);
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Editor, BackSpaces, ::testing::ValuesIn(kBackSpaces),
                         [](const ::testing::TestParamInfo<BackSpaceCase>& info) { return info.param.name; });

TEST_F(CodeEditEdit, APasteShowsOrHidesTheScrollBarsAtOnce) {
  edit->SetOptions(edit->Options() + eoHideShowScrollbars);
  edit->SetText("select 1 from dual");
  ShowAndFocus();
  auto vertical = [&] { return (GetWindowLong(edit->Handle(), GWL_STYLE) & WS_VSCROLL) != 0; };
  ASSERT_FALSE(vertical());
  std::string many;
  for (int i = 0; i < 100; ++i) many += "union select " + std::to_string(i) + " from dual\r\n";
  PutClipboard(many, nullptr);
  edit->IncPaintLock();  // as inside a command of a caller that locks painting
  edit->PasteFromClipboard();
  EXPECT_TRUE(vertical());
  edit->DecPaintLock();
  EXPECT_TRUE(vertical());
}

// An editor that keeps each rectangle it invalidates, as it asks for it.
class TInvalidationsEdit : public TCodeEdit {
 public:
  using TCodeEdit::TCodeEdit;
  void InvalidateRect(const TRect& rect, bool erase) override {
    Invalidated.push_back(rect);
    TCodeEdit::InvalidateRect(rect, erase);
  }
  std::vector<TRect> Invalidated;
};

// Whether every pixel of `area` lies in one of `parts` or another.
bool Covered(const std::vector<TRect>& parts, const TRect& area) {
  HRGN all = CreateRectRgn(0, 0, 0, 0);
  for (const TRect& r : parts) {
    HRGN one = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    CombineRgn(all, all, one, RGN_OR);
    DeleteObject(one);
  }
  HRGN want = CreateRectRgn(area.Left, area.Top, area.Right, area.Bottom);
  HRGN missing = CreateRectRgn(0, 0, 0, 0);
  const bool covered = CombineRgn(missing, want, all, RGN_DIFF) == NULLREGION;
  DeleteObject(missing);
  DeleteObject(want);
  DeleteObject(all);
  return covered;
}

// With word wrap, a typed character repaints the rows of its line only, as long as the line keeps
// its number of rows; a line that gains a row repaints everything below it too, which moved down:
// its text and its gutter, each asked for in its own right.
TEST_F(CodeEditEdit, TypingUnderWordWrapRepaintsTheLineAndBelowOnlyWhenItsRowsChangeInNumber) {
  delete edit;
  auto* recording = new TInvalidationsEdit(form.get());
  edit = recording;
  edit->SetParent(form.get());
  edit->SetBounds(0, 0, 480, 260);
  highlighter = SessionHighlighter();
  CustomSetup(edit, highlighter.get());
  edit->SetWordWrap(true);
  ShowAndFocus();
  const int width = edit->CharsInWindow(), lh = edit->LineHeight();
  ASSERT_GT(width, 20);
  // line 2 wraps into three rows, the last of them short; line 3 fills exactly one row
  std::string wrapped;
  while (static_cast<int>(wrapped.size()) < width * 2 + width / 2) wrapped += "s.sid, ";
  std::string text = "select\n" + wrapped + "\n" + std::string(static_cast<size_t>(width), 'q');
  for (int i = 0; i < 40; ++i) text += "\nfrom dual";
  edit->SetText(text);
  ASSERT_EQ(edit->LineToRow(3) - edit->LineToRow(2), 3);
  ASSERT_EQ(edit->LineToRow(4) - edit->LineToRow(3), 1);
  // the rectangles one typed character invalidates, and their bounds
  auto typeAtEndOf = [&](int line) {
    edit->SetCaretXY({static_cast<int>(edit->Lines()->Strings(line - 1).size()) + 1, line});
    talvik::gui::UpdateAllWindows(form->Handle());
    RECT update;
    EXPECT_FALSE(GetUpdateRect(edit->Handle(), &update, false));
    recording->Invalidated.clear();
    edit->Perform(WM_KEYDOWN, 'X', 0);
    edit->Perform(WM_CHAR, 'x', 0);
    GetUpdateRect(edit->Handle(), &update, false);
    return update;
  };
  const int rowsBefore = edit->DisplayLineCount();
  RECT same = typeAtEndOf(2);
  EXPECT_EQ(edit->DisplayLineCount(), rowsBefore);
  EXPECT_EQ(same.Top, (edit->LineToRow(2) - 1) * lh);
  EXPECT_EQ(same.Bottom, (edit->LineToRow(3) - 1) * lh);
  // the next character makes line 3 two rows long: the rows below move and are repainted
  RECT grown = typeAtEndOf(3);
  EXPECT_EQ(edit->DisplayLineCount(), rowsBefore + 1);
  EXPECT_EQ(grown.Top, (edit->LineToRow(3) - 1) * lh);
  EXPECT_GE(grown.Bottom, edit->LinesInWindow() * lh);
  const int gutter = edit->GutterWidth(), below = (edit->LineToRow(3) - 1) * lh;
  EXPECT_TRUE(
      Covered(recording->Invalidated, TRect(gutter, below, edit->ClientWidth(), edit->ClientHeight())))
      << "the text from line 3 down";
  EXPECT_TRUE(Covered(recording->Invalidated, TRect(0, below, gutter, edit->ClientHeight())))
      << "the gutter from line 3 down";
}

TEST_F(CodeEditEdit, RedoOfALineBreakRunsTheCommandWhereHandlersSeeIt) {
  edit->SetText("  ab");
  ShowAndFocus();
  std::vector<TCodeEditorCommand> seen, processed;
  edit->OnProcessCommand = [&](TObject*, TCodeEditorCommand& command, char32_t&, void*) {
    seen.push_back(command);
  };
  edit->OnCommandProcessed = [&](TObject*, TCodeEditorCommand& command, char32_t&, void*) {
    processed.push_back(command);
  };
  edit->SetCaretXY({4, 1});
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "  a\r\n  b");
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "  ab");
  seen.clear();
  processed.clear();
  edit->SetOptions(edit->Options() - eoAutoIndent);  // the redo makes the break made the first time
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "  a\r\n  b");
  EXPECT_EQ(seen, (std::vector<TCodeEditorCommand>{ecRedo, ecLineBreak}));
  EXPECT_EQ(processed, (std::vector<TCodeEditorCommand>{ecLineBreak, ecRedo}));
  // and a handler that cancels it stops the break
  Key('Z', {.ctrl = true});
  edit->OnProcessCommand = [&](TObject*, TCodeEditorCommand& command, char32_t&, void*) {
    if (command == ecLineBreak) command = ecNone;
  };
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "  ab");
}

TEST_F(CodeEditEdit, BlockUnindentRecordsTheRemovedTexts) {
  edit->SetText("    select\n\tfrom\ndual\n  where");
  ShowAndFocus();
  edit->SetCaretAndSelection({3, 4}, {2, 1}, {3, 4});
  const std::string before = edit->Text();
  edit->ClearUndo();
  Key('U', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "select\r\nfrom\r\ndual\r\nwhere");
  ASSERT_EQ(edit->UndoList()->ItemCount(), 1);
  const TCodeEditUndoItem* item = edit->UndoList()->Items(0);
  EXPECT_EQ(item->ChangeReason, ucUnindent);
  EXPECT_EQ(item->ChangeStr, "    \r\n\t\r\n\r\n  ");
  EXPECT_EQ(edit->RawBlockBegin(), (TBufferCoord{1, 1}));
  EXPECT_EQ(edit->RawBlockEnd(), (TBufferCoord{1, 4}));
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), before);
  EXPECT_EQ(edit->RawBlockBegin(), (TBufferCoord{2, 1}));
  EXPECT_EQ(edit->RawBlockEnd(), (TBufferCoord{3, 4}));
  Key('Z', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->Text(), "select\r\nfrom\r\ndual\r\nwhere");
  EXPECT_EQ(edit->RawBlockEnd(), (TBufferCoord{1, 4}));
}

// A handler of OnClearBookmark may hand back another mark to clear in its place, or none.
TEST_F(CodeEditEdit, ClearingABookmarkHonoursTheMarkTheHandlerHandsBack) {
  edit->SetText("a\nb\nc\nd");
  ShowAndFocus();
  edit->SetBookMark(1, 1, 1);
  edit->SetBookMark(2, 1, 2);
  TCodeEditMark* first = edit->Marks()->Items(0);
  TCodeEditMark* second = edit->Marks()->Items(1);
  // none: the bookmark is no more, its mark stays in the list
  edit->OnClearBookmark = [](TObject*, TCodeEditMark*& mark) { mark = nullptr; };
  edit->ClearBookMark(1);
  EXPECT_FALSE(edit->IsBookmark(1));
  EXPECT_TRUE(edit->Marks()->Contains(first));
  // another: bookmark 2's mark goes, and the mark handed back with it
  auto* other = new TCodeEditMark(edit);
  edit->Marks()->Add(other);
  edit->OnClearBookmark = [&](TObject*, TCodeEditMark*& mark) { mark = other; };
  edit->ClearBookMark(2);
  EXPECT_FALSE(edit->IsBookmark(2));
  EXPECT_FALSE(edit->Marks()->Contains(other));
  EXPECT_TRUE(edit->Marks()->Contains(second));
  // a bookmark handed back is no bookmark afterwards
  edit->SetBookMark(3, 1, 3);
  edit->SetBookMark(4, 1, 4);
  TCodeEditMark* third = nullptr;
  for (int i = 0; i < edit->Marks()->Count(); ++i)
    if (edit->Marks()->Items(i)->BookmarkNumber() == 3) third = edit->Marks()->Items(i);
  ASSERT_NE(third, nullptr);
  edit->OnClearBookmark = [&](TObject*, TCodeEditMark*& mark) { mark = third; };
  edit->ClearBookMark(4);
  EXPECT_FALSE(edit->IsBookmark(3));
  EXPECT_FALSE(edit->IsBookmark(4));
  EXPECT_FALSE(edit->Marks()->Contains(third));
}

}  // namespace

namespace {

// With eoAutoSizeMaxScrollWidth the scroll width follows the longest line of lines given whole,
// wherever that line stands, and typing goes on past 1,024 columns.
TEST_F(CodeEditEdit, AnAutoSizedScrollWidthFollowsTheLongestLineOfLinesGivenWhole) {
  edit->SetOptions(edit->Options() + eoAutoSizeMaxScrollWidth);
  ShowAndFocus();
  TStringList given;
  given.SetText("select\n  x,\n  " + std::string(3000, 'y') + "\nfrom dual");
  edit->SetLines(&given);
  EXPECT_GE(edit->MaxScrollWidth(), 3002);
  edit->SetCaretXY({1, 3});
  Key(VK_END);
  EXPECT_EQ(edit->CaretX(), 3003);
  Type(U"z");
  EXPECT_EQ(edit->Lines()->Strings(2), "  " + std::string(3000, 'y') + "z");
}

}  // namespace
