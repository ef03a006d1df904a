#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "editor/CodeEditKbdHandler.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeEditWordWrap.h"

namespace {

const TShiftState kNone;
const TShiftState kSh{ssShift};
const TShiftState kCt{ssCtrl};
const TShiftState kShCt{ssShift, ssCtrl};
const TShiftState kAl{ssAlt};
const TShiftState kShAl{ssShift, ssAlt};

// What the user's keys do in a fresh editor: each combination bound once, every move with a
// selection-extending Shift twin, both clipboard families, undo and redo, the ten bookmarks.
TEST(CodeEditKeyStrokes, DefaultMapAnswersTheEditingKeys) {
  TCodeEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  auto command = [&](uint16_t key, TShiftState shift) {
    const int i = keys.FindKeycode(key, shift);
    return i < 0 ? ecNone : keys.Items(i)->Command();
  };
  ASSERT_GT(keys.Count(), 0);
  std::set<TShortCut> seen;
  for (int i = 0; i < keys.Count(); ++i) {
    const TCodeEditKeyStroke* k = keys.Items(i);
    SCOPED_TRACE(k->DisplayName());
    // a combination bound twice would leave the later binding dead
    EXPECT_TRUE(seen.insert(k->ShortCut()).second);
    EXPECT_EQ(k->Key2(), 0);
    EXPECT_EQ(EditorCommandToIdent(k->Command()).rfind("ec", 0), 0u) << "bound to a command without a name";
    // a move (plain or with Ctrl) extends the selection with Shift added
    const std::string selected = EditorCommandToIdent(k->Command() + ecSelection);
    if (!k->Shift().Contains(ssShift) && !k->Shift().Contains(ssAlt) && selected.rfind("ecSel", 0) == 0) {
      EXPECT_EQ(command(k->Key(), k->Shift() + ssShift), k->Command() + ecSelection) << selected;
    }
  }
  EXPECT_EQ(command(VK_LEFT, kNone), ecLeft);
  EXPECT_EQ(command(VK_END, kShCt), ecSelEditorBottom);
  // the clipboard answers both the letter keys and the Insert/Delete family
  EXPECT_EQ(command('C', kCt), ecCopy);
  EXPECT_EQ(command(VK_INSERT, kCt), ecCopy);
  EXPECT_EQ(command('X', kCt), ecCut);
  EXPECT_EQ(command(VK_DELETE, kSh), ecCut);
  EXPECT_EQ(command('V', kCt), ecPaste);
  EXPECT_EQ(command(VK_INSERT, kSh), ecPaste);
  EXPECT_EQ(command(VK_INSERT, kNone), ecToggleMode);
  EXPECT_EQ(command(VK_BACK, kNone), ecDeleteLastChar);
  EXPECT_EQ(command(VK_BACK, kSh), ecDeleteLastChar);
  EXPECT_EQ(command(VK_BACK, kCt), ecDeleteLastWord);
  EXPECT_EQ(command('Z', kCt), ecUndo);
  EXPECT_EQ(command(VK_BACK, kAl), ecUndo);
  EXPECT_EQ(command('Z', kShCt), ecRedo);
  EXPECT_EQ(command(VK_BACK, kShAl), ecRedo);
  EXPECT_EQ(command(VK_RETURN, kNone), ecLineBreak);
  EXPECT_EQ(command(VK_TAB, kSh), ecShiftTab);
  for (int d = 0; d <= 9; ++d) {
    EXPECT_EQ(command(static_cast<uint16_t>('0' + d), kCt), ecGotoMarker0 + d);
    EXPECT_EQ(command(static_cast<uint16_t>('0' + d), kShCt), ecSetMarker0 + d);
  }
  EXPECT_EQ(command(VK_F1, kNone), ecContextHelp);
  EXPECT_EQ(command(VK_F1, kCt), ecNone);

  // resetting throws away the user's changes and gives the same map as a fresh editor
  keys.Items(keys.FindCommand(ecContextHelp))->SetShortCut(ShortCut(VK_F1, kCt));
  keys.Add()->SetCommand(ecUserFirst);
  keys.ResetDefaults();
  TCodeEditKeyStrokes fresh(nullptr);
  fresh.ResetDefaults();
  ASSERT_EQ(keys.Count(), fresh.Count());
  for (int i = 0; i < keys.Count(); ++i) {
    EXPECT_EQ(keys.Items(i)->Command(), fresh.Items(i)->Command());
    EXPECT_EQ(keys.Items(i)->ShortCut(), fresh.Items(i)->ShortCut());
  }
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
  explicit FakeEditor(int chars) : chars(chars) {}
  int CharsInWindow() const override { return chars; }
  TCodeCharSet IdentChars() const override {
    TCodeCharSet s = TCodeCharSet::Range(U'a', U'z');
    s.IncludeRange(U'A', U'Z');
    s.IncludeRange(U'0', U'9');
    s.Include(U'_');
    s.SetHighLetters(true);
    return s;
  }
  TCodeEditStringList* Lines() const override { return &lines; }
  int chars;
  mutable TCodeEditStringList lines;
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
    ed.lines.Add(r.line);
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
  ed.lines.Add(std::string(30, 'a'));
  ed.lines.Add("x");
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
  for (int i = 0; i < 5; ++i) ed.lines.Add(std::string(45, 'a'));  // three rows each
  TCodeWordWrapPlugin w(&ed);
  EXPECT_EQ(w.RowCount(), 15);
  ed.lines.DeleteLines(1, 2);
  EXPECT_EQ(w.LinesDeleted(1, 2), 6);
  EXPECT_EQ(w.RowCount(), 9);
  ed.lines.Insert(1, "short");
  ed.lines.Insert(1, std::string(70, 'b'));
  EXPECT_EQ(w.LinesInserted(1, 2), 5);
  ed.lines.Put(0, "");
  EXPECT_EQ(w.LinesPutted(0, 1), -2);
  FakeEditor fresh(20);
  for (int i = 0; i < ed.lines.Count(); ++i) fresh.lines.Add(ed.lines.Strings(i));
  TCodeWordWrapPlugin full(&fresh);
  EXPECT_EQ(Rows(w), Rows(full));
  EXPECT_EQ(w.LineToRow(3), full.LineToRow(3));
  ed.chars = 10;
  w.DisplayChanged();
  EXPECT_EQ(w.MaxRowLength(), 10);
  ed.chars = 0;
  w.Reset();
  EXPECT_EQ(w.RowCount(), 0);
  EXPECT_EQ(w.LinesInserted(0, 1), 0);
}

}  // namespace

namespace {

TEST(CodeWordWrap, BreaksAfterPunctuationAboveLatin1) {
  FakeEditor ed(10);
  ed.lines.Add(
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
  for (int i = 0; i < 30; ++i) ed.lines.Add(randomLine());
  TCodeWordWrapPlugin w(&ed);
  for (int step = 0; step < 300; ++step) {
    int n = ed.lines.Count();
    int op = next(3);
    if (op == 0 || n < 3) {
      int at = next(n + 1), count = 1 + next(3);
      for (int k = 0; k < count; ++k) ed.lines.Insert(at, randomLine());
      w.LinesInserted(at, count);
    } else if (op == 1) {
      int at = next(n), count = 1 + next(std::min(3, n - at));
      ed.lines.DeleteLines(at, count);
      w.LinesDeleted(at, count);
    } else {
      int at = next(n);
      ed.lines.Put(at, randomLine());
      w.LinesPutted(at, 1);
    }
  }
  FakeEditor fresh(17);
  for (int i = 0; i < ed.lines.Count(); ++i) fresh.lines.Add(ed.lines.Strings(i));
  TCodeWordWrapPlugin full(&fresh);
  ASSERT_EQ(Rows(w), Rows(full));
  for (int line = 1; line <= ed.lines.Count(); ++line) {
    EXPECT_EQ(w.LineToRow(line), full.LineToRow(line));
    int len = ed.lines.ExpandedStringLength(line - 1);
    for (int c = 1; c <= len + 1; ++c)
      ASSERT_EQ(w.DisplayToBufferPos(w.BufferToDisplayPos({c, line})), (TBufferCoord{c, line}))
          << line << ":" << c;
  }
}

}  // namespace
