#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/CodeEditKbdHandler.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeEditWordWrap.h"

namespace {

struct Binding {
  TCodeEditorCommand command;
  uint16_t key;
  TShiftState shift;
};

const TShiftState kNone;
const TShiftState kSh{ssShift};
const TShiftState kCt{ssCtrl};
const TShiftState kShCt{ssShift, ssCtrl};
const TShiftState kAl{ssAlt};
const TShiftState kShAl{ssShift, ssAlt};

std::vector<Binding> ExpectedDefaults() {
  std::vector<Binding> b = {
      {ecUp, VK_UP, kNone},
      {ecSelUp, VK_UP, kSh},
      {ecScrollUp, VK_UP, kCt},
      {ecDown, VK_DOWN, kNone},
      {ecSelDown, VK_DOWN, kSh},
      {ecScrollDown, VK_DOWN, kCt},
      {ecLeft, VK_LEFT, kNone},
      {ecSelLeft, VK_LEFT, kSh},
      {ecWordLeft, VK_LEFT, kCt},
      {ecSelWordLeft, VK_LEFT, kShCt},
      {ecRight, VK_RIGHT, kNone},
      {ecSelRight, VK_RIGHT, kSh},
      {ecWordRight, VK_RIGHT, kCt},
      {ecSelWordRight, VK_RIGHT, kShCt},
      {ecPageDown, VK_NEXT, kNone},
      {ecSelPageDown, VK_NEXT, kSh},
      {ecPageBottom, VK_NEXT, kCt},
      {ecSelPageBottom, VK_NEXT, kShCt},
      {ecPageUp, VK_PRIOR, kNone},
      {ecSelPageUp, VK_PRIOR, kSh},
      {ecPageTop, VK_PRIOR, kCt},
      {ecSelPageTop, VK_PRIOR, kShCt},
      {ecLineStart, VK_HOME, kNone},
      {ecSelLineStart, VK_HOME, kSh},
      {ecEditorTop, VK_HOME, kCt},
      {ecSelEditorTop, VK_HOME, kShCt},
      {ecLineEnd, VK_END, kNone},
      {ecSelLineEnd, VK_END, kSh},
      {ecEditorBottom, VK_END, kCt},
      {ecSelEditorBottom, VK_END, kShCt},
      {ecToggleMode, VK_INSERT, kNone},
      {ecCopy, VK_INSERT, kCt},
      {ecCut, VK_DELETE, kSh},
      {ecPaste, VK_INSERT, kSh},
      {ecDeleteChar, VK_DELETE, kNone},
      {ecDeleteLastChar, VK_BACK, kNone},
      {ecDeleteLastChar, VK_BACK, kSh},
      {ecDeleteLastWord, VK_BACK, kCt},
      {ecUndo, VK_BACK, kAl},
      {ecRedo, VK_BACK, kShAl},
      {ecLineBreak, VK_RETURN, kNone},
      {ecLineBreak, VK_RETURN, kSh},
      {ecTab, VK_TAB, kNone},
      {ecShiftTab, VK_TAB, kSh},
      {ecContextHelp, VK_F1, kNone},
      {ecSelectAll, 'A', kCt},
      {ecCopy, 'C', kCt},
      {ecPaste, 'V', kCt},
      {ecCut, 'X', kCt},
      {ecBlockIndent, 'I', kShCt},
      {ecBlockUnindent, 'U', kShCt},
      {ecLineBreak, 'M', kCt},
      {ecInsertLine, 'N', kCt},
      {ecDeleteWord, 'T', kCt},
      {ecDeleteLine, 'Y', kCt},
      {ecDeleteEOL, 'Y', kShCt},
      {ecUndo, 'Z', kCt},
      {ecRedo, 'Z', kShCt},
  };
  for (int i = 0; i <= 9; ++i)
    b.push_back({static_cast<TCodeEditorCommand>(301 + i), uint16_t('0' + i), kCt});
  for (int i = 0; i <= 9; ++i)
    b.push_back({static_cast<TCodeEditorCommand>(351 + i), uint16_t('0' + i), kShCt});
  b.push_back({ecNormalSelect, 'N', kShCt});
  b.push_back({ecColumnSelect, 'C', kShCt});
  b.push_back({ecLineSelect, 'L', kShCt});
  b.push_back({ecMatchBracket, 'B', kShCt});
  return b;
}

TEST(CodeEditKeyStrokes, DefaultMapHoldsEveryBindingInOrder) {
  TCodeEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  auto expected = ExpectedDefaults();
  ASSERT_EQ(keys.Count(), 82);
  ASSERT_EQ(expected.size(), 82u);
  for (int i = 0; i < 82; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(keys.Items(i)->Command(), expected[i].command);
    EXPECT_EQ(keys.Items(i)->Key(), expected[i].key);
    EXPECT_EQ(keys.Items(i)->Shift(), expected[i].shift);
    EXPECT_EQ(keys.Items(i)->Key2(), 0);
  }
  EXPECT_EQ(keys.Items(keys.FindKeycode(VK_BACK, kNone))->Command(), ecDeleteLastChar);
  EXPECT_EQ(keys.Items(keys.FindKeycode(VK_BACK, kAl))->Command(), ecUndo);
  EXPECT_EQ(keys.FindKeycode(VK_F1, kCt), -1);
}

TEST(CodeEditKeyStrokes, ShortcutsDuplicatesAndSecondKeystroke) {
  TCodeEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  TCodeEditKeyStroke* help = keys.Items(keys.FindCommand(ecContextHelp));
  EXPECT_EQ(help->ShortCut(), VK_F1);
  EXPECT_THROW(help->SetShortCut(ShortCut('C', kCt)), ECodeKeyError);
  EXPECT_EQ(help->Key(), VK_F1);
  EXPECT_NO_THROW(help->SetShortCut(VK_F1));
  help->SetShortCut(ShortCut(VK_F1, kCt));  // the session window's editors move help to Ctrl+F1
  EXPECT_EQ(keys.FindKeycode(VK_F1, kCt), keys.FindCommand(ecContextHelp));
  EXPECT_EQ(help->DisplayName(), "ecContextHelp - Ctrl+F1 ");

  TCodeEditKeyStroke* seq = keys.Add();
  seq->SetCommand(ecUserFirst);
  seq->SetShortCut(ShortCut('K', kCt));
  seq->SetShortCut2(ShortCut('B', kNone));
  EXPECT_EQ(keys.FindKeycode2('K', kCt, 'B', kNone), keys.Count() - 1);
  EXPECT_EQ(keys.FindShortcut2(ShortCut('K', kCt), 'B'), keys.Count() - 1);
  EXPECT_EQ(keys.FindKeycode('K', kCt), -1);

  TCodeEditKeyStrokes copy(nullptr);
  copy.Assign(&keys);
  EXPECT_EQ(copy.Count(), keys.Count());
  EXPECT_EQ(copy.Items(copy.Count() - 1)->Key2(), 'B');
}

TEST(CodeEditKeyStrokes, CommandNames) {
  int count = 0;
  EditorCommandNames(count);
  EXPECT_EQ(count, 100);
  EXPECT_EQ(EditorCommandToIdent(2000), "2000");
  EXPECT_EQ(EditorCommandToIdent(480), "480");
  EXPECT_EQ(EditorCommandToIdent(ecSelEditorBottom), "ecSelEditorBottom");
  EXPECT_EQ(EditorCommandToIdent(ecUserFirst), "ecUserFirst");
  TCodeEditorCommand c = 0;
  EXPECT_TRUE(IdentToEditorCommand("ecpaste", c));
  EXPECT_EQ(c, ecPaste);
  EXPECT_TRUE(IdentToEditorCommand("1234", c));
  EXPECT_EQ(c, 1234);
  EXPECT_FALSE(IdentToEditorCommand("ecNoSuch", c));
  EXPECT_FALSE(IdentToEditorCommand("70000", c));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, kShAl)), "Shift+Alt+BkSp");
}

TEST(CodeEditKbdHandler, KeyChainsRunLastFirstAndStopOnZero) {
  TCodeEditKbdHandler h;
  std::vector<int> order;
  int a = 0, b = 0, c = 0;
  h.AddKeyDownHandler([&](TObject*, uint16_t&, TShiftState) { order.push_back(1); }, &a);
  h.AddKeyDownHandler(
      [&](TObject*, uint16_t& key, TShiftState) {
        order.push_back(2);
        key = 0;
      },
      &b);
  h.AddKeyDownHandler([&](TObject*, uint16_t&, TShiftState) { order.push_back(3); }, &c);
  uint16_t key = VK_RETURN;
  h.ExecuteKeyDown(nullptr, key, kNone);
  EXPECT_EQ(order, (std::vector<int>{3, 2}));
  EXPECT_EQ(key, 0);
  h.RemoveKeyDownHandler(&b);
  order.clear();
  key = VK_RETURN;
  h.ExecuteKeyDown(nullptr, key, kNone);
  EXPECT_EQ(order, (std::vector<int>{3, 1}));

  char32_t ch = U'x';
  h.AddKeyPressHandler([&](TObject*, char32_t& k) { k = 0; }, &a);
  h.AddKeyPressHandler([&](TObject*, char32_t&) { order.push_back(9); }, &b);
  h.ExecuteKeyPress(nullptr, ch);
  EXPECT_EQ(ch, 0u);
}

TEST(CodeEditKbdHandler, MouseChainsRunAllAndAreNotReentered) {
  TCodeEditKbdHandler h;
  int runs = 0;
  int tag = 0;
  h.AddMouseDownHandler(
      [&](TObject*, TMouseButton, TShiftState, int, int) {
        ++runs;
        h.ExecuteMouseDown(nullptr, mbLeft, kNone, 0, 0);  // re-entry is ignored
      },
      &tag);
  h.AddMouseDownHandler([&](TObject*, TMouseButton, TShiftState, int x, int) { runs += x; }, &tag, 1);
  h.ExecuteMouseDown(nullptr, mbLeft, kNone, 10, 0);
  EXPECT_EQ(runs, 11);
  TCursor cursor = 0;
  h.AddMouseCursorHandler(
      [](TObject*, const TBufferCoord& p, TCursor& cur) { cur = static_cast<TCursor>(p.Line); }, &tag);
  h.ExecuteMouseCursor(nullptr, TBufferCoord{1, 7}, cursor);
  EXPECT_EQ(cursor, 7);
}

class FakeEditor : public ICodeEditWrapHost {
 public:
  explicit FakeEditor(int chars) : chars_(chars) {}
  int CharsInWindow() const override { return chars_; }
  TCodeCharSet IdentChars() const override {
    TCodeCharSet s = TCodeCharSet::Range(U'a', U'z');
    s.IncludeRange(U'A', U'Z');
    s.IncludeRange(U'0', U'9');
    s.Include(U'_');
    s.SetHighLetters(true);
    return s;
  }
  TCodeEditStringList* Lines() const override { return &lines_; }
  int chars_;
  mutable TCodeEditStringList lines_;
};

std::vector<int> Rows(const TCodeWordWrapPlugin& w) {
  std::vector<int> r;
  for (int i = 1; i <= w.RowCount(); ++i) r.push_back(w.GetRowLength(i));
  return r;
}

TEST(CodeWordWrap, BreakRules) {
  struct Row {
    int chars;
    std::string line;
    std::vector<int> rows;
  };
  const Row rows[] = {
      {20, std::string(30, 'a'), {20, 10}},
      {20, "aaaaaaaa bbbbbbbb cccccccc", {18, 8}},
      {20, "", {0}},
      {20, "short", {5}},
      {10, "aaaaaaaaa     bbb", {14, 3}},   // blanks at the cut stay on the row
      {10, "aaaaaaa,bbbbbbbbbb", {10, 8}},  // a break too far back is not taken
      {10, "aaaaaaaa,bbbbbbbbb", {9, 9}},
      {1, "abc", {1, 1, 1}},
      {300, std::string(600, 'x'), {255, 255, 90}},
  };
  for (const auto& r : rows) {
    FakeEditor ed(r.chars);
    ed.lines_.Add(r.line);
    TCodeWordWrapPlugin w(&ed);
    EXPECT_EQ(Rows(w), r.rows) << r.line;
  }
  FakeEditor ed(20);
  TCodeWordWrapPlugin w(&ed);
  EXPECT_EQ(w.MinRowLength(), 14);
  EXPECT_THROW(TCodeWordWrapPlugin(nullptr), Exception);
}

TEST(CodeWordWrap, PositionsBothWays) {
  FakeEditor ed(20);
  ed.lines_.Add(std::string(30, 'a'));
  ed.lines_.Add("x");
  TCodeWordWrapPlugin w(&ed);
  EXPECT_EQ(w.BufferToDisplayPos({25, 1}), (TDisplayCoord{5, 2}));
  EXPECT_EQ(w.BufferToDisplayPos({20, 1}), (TDisplayCoord{20, 1}));
  EXPECT_EQ(w.BufferToDisplayPos({21, 1}), (TDisplayCoord{1, 2}));
  EXPECT_EQ(w.BufferToDisplayPos({40, 1}), (TDisplayCoord{20, 2}));
  EXPECT_EQ(w.BufferToDisplayPos({2, 2}), (TDisplayCoord{2, 3}));
  EXPECT_EQ(w.BufferToDisplayPos({4, 5}), (TDisplayCoord{4, 6}));
  EXPECT_EQ(w.DisplayToBufferPos({5, 2}), (TBufferCoord{25, 1}));
  EXPECT_EQ(w.DisplayToBufferPos({30, 1}), (TBufferCoord{21, 1}));
  EXPECT_EQ(w.DisplayToBufferPos({1, 3}), (TBufferCoord{1, 2}));
  EXPECT_EQ(w.DisplayToBufferPos({3, 9}), (TBufferCoord{3, 8}));
  for (int c = 1; c <= 30; ++c)
    EXPECT_EQ(w.DisplayToBufferPos(w.BufferToDisplayPos({c, 1})), (TBufferCoord{c, 1}));
  EXPECT_THROW(w.GetRowLength(4), EListError);
  EXPECT_THROW(w.BufferToDisplayPos({0, 1}), Exception);
}

TEST(CodeWordWrap, IncrementalChangesEqualAFullRewrap) {
  FakeEditor ed(20);
  for (int i = 0; i < 5; ++i) ed.lines_.Add(std::string(45, 'a'));  // three rows each
  TCodeWordWrapPlugin w(&ed);
  EXPECT_EQ(w.RowCount(), 15);
  ed.lines_.DeleteLines(1, 2);
  EXPECT_EQ(w.LinesDeleted(1, 2), 6);
  EXPECT_EQ(w.RowCount(), 9);
  ed.lines_.Insert(1, "short");
  ed.lines_.Insert(1, std::string(70, 'b'));
  EXPECT_EQ(w.LinesInserted(1, 2), 5);
  ed.lines_.Put(0, "");
  EXPECT_EQ(w.LinesPutted(0, 1), -2);
  FakeEditor fresh(20);
  for (int i = 0; i < ed.lines_.Count(); ++i) fresh.lines_.Add(ed.lines_.Strings(i));
  TCodeWordWrapPlugin full(&fresh);
  EXPECT_EQ(Rows(w), Rows(full));
  EXPECT_EQ(w.LineToRow(3), full.LineToRow(3));
  ed.chars_ = 10;
  w.DisplayChanged();
  EXPECT_EQ(w.MaxRowLength(), 10);
  ed.chars_ = 0;
  w.Reset();
  EXPECT_EQ(w.RowCount(), 0);
  EXPECT_EQ(w.LinesInserted(0, 1), 0);
}

}  // namespace

namespace {

TEST(CodeWordWrap, BreaksAfterPunctuationAboveLatin1) {
  FakeEditor ed(10);
  ed.lines_.Add(
      "\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xD0\xB0\xE2\x80\x94\xD0\xB1\xD0\xB1\xD0"
      "\xB1\xD0\xB1\xD0\xB1");  // eight Cyrillic letters, an em dash, five letters
  TCodeWordWrapPlugin w(&ed);
  EXPECT_EQ(Rows(w), (std::vector<int>{9, 5}));
  TCodeCharSet letters;
  letters.SetHighLetters(true);
  EXPECT_TRUE(letters.Contains(U'ж'));
  EXPECT_FALSE(letters.Complement().Contains(U'ж'));
  EXPECT_TRUE(letters.Complement().Contains(U'—'));
  EXPECT_TRUE(TCodeCharSet().Complement().Contains(U'ж'));
}

// Random edits applied to the buffer and told to the plug-in leave the same map as wrapping the
// final text from scratch, and every position survives the round trip through display positions.
TEST(CodeWordWrap, RandomEditsMatchAFullRewrap) {
  uint32_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  auto randomLine = [&] {
    std::string s;
    int len = next(70);
    for (int i = 0; i < len; ++i) {
      int k = next(10);
      s += k < 6 ? static_cast<char>('a' + next(26)) : (k < 8 ? ' ' : (k < 9 ? '\t' : ','));
    }
    return s;
  };
  FakeEditor ed(17);
  for (int i = 0; i < 30; ++i) ed.lines_.Add(randomLine());
  TCodeWordWrapPlugin w(&ed);
  for (int step = 0; step < 300; ++step) {
    int n = ed.lines_.Count();
    int op = next(3);
    if (op == 0 || n < 3) {
      int at = next(n + 1), count = 1 + next(3);
      for (int k = 0; k < count; ++k) ed.lines_.Insert(at, randomLine());
      w.LinesInserted(at, count);
    } else if (op == 1) {
      int at = next(n), count = 1 + next(std::min(3, n - at));
      ed.lines_.DeleteLines(at, count);
      w.LinesDeleted(at, count);
    } else {
      int at = next(n);
      ed.lines_.Put(at, randomLine());
      w.LinesPutted(at, 1);
    }
  }
  FakeEditor fresh(17);
  for (int i = 0; i < ed.lines_.Count(); ++i) fresh.lines_.Add(ed.lines_.Strings(i));
  TCodeWordWrapPlugin full(&fresh);
  ASSERT_EQ(Rows(w), Rows(full));
  for (int line = 1; line <= ed.lines_.Count(); ++line) {
    EXPECT_EQ(w.LineToRow(line), full.LineToRow(line));
    int len = ed.lines_.ExpandedStringLength(line - 1);
    for (int c = 1; c <= len + 1; ++c)
      ASSERT_EQ(w.DisplayToBufferPos(w.BufferToDisplayPos({c, line})), (TBufferCoord{c, line}))
          << line << ":" << c;
  }
}

}  // namespace
