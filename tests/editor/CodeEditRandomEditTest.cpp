// Seeded random editing through messages, as a new user would: keys with modifiers, Latin and
// Cyrillic typing, input-method text, deletes, line breaks, tabs, the clipboard in three selection
// modes, mouse clicks and drags, overwrite mode, word wrap, option, font and size changes, and
// changes through Lines() between stretches of edits (input-method text and lines given through
// Lines() hold line ends and other control characters now and then). After every step caret, top
// line and block must lie inside the text; after every stretch undoing everything must give the
// stretch's first lines exactly and redoing everything its last. A failing seed prints the steps
// of its stretch.
//
// scripts/editor-random-edits runs more seeds and longer runs through the LongRun case. To look
// into a failure: TALVIK_EDIT_DUMP_STRETCH=n prints stretch n step by step with the text and both
// undo lists; TALVIK_EDIT_EACH_STEP=1 checks the round trip after every step (a different run).
#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#include "CodeEditTestSupport.h"
#include "RandomWalk.h"

using namespace edittest;

namespace {

constexpr int kStretch = 40;  // steps between two undo-all/redo-all checks

class CodeEditRandomEdits : public CodeEditTest {
 protected:
  void SetUp() override {
    CodeEditTest::SetUp();
    Application->OnException = [this](TObject*, const Exception& e) {
      errors_ += std::string("error box: ") + e.what() + "\n";
    };
  }

  // Runs `steps` steps of the seed on a text of `lines` lines; false (with the failure reported)
  // on the first broken rule.
  bool RunSeed(unsigned seed, int steps, int lines, bool longLines = false) {
    rng_.seed(seed);
    seed_ = seed;
    longLines_ = longLines;
    edit->SetAlign(alClient);
    edit->SetText(StartText(lines));
    ShowAndFocus();
    int stretch = 0;
    for (int done = 0; done < steps; ++stretch) {
      StartStretch();
      const std::string first = ExactLines(edit->Lines());
      const char* dumpAt = std::getenv("TALVIK_EDIT_DUMP_STRETCH");
      const bool dump = dumpAt && std::atoi(dumpAt) == stretch;
      if (dump) std::cerr << "START\n" << Describe();
      for (int i = 0; i < kStretch && done < steps; ++i, ++done) {
        const std::string before = ExactLines(edit->Lines());
        Step();
        if (dump)
          std::cerr << "STEP " << log_.size() << " " << (log_.empty() ? "" : log_.back()) << "\n"
                    << Describe() << "  undo: " << UndoItems(edit->UndoList())
                    << "\n  redo: " << UndoItems(edit->RedoList()) << "\n";
        if (!Check("after the step")) return Fail(stretch);
        if (std::getenv("TALVIK_EDIT_EACH_STEP") && !RoundTrip(first)) {
          std::cerr << "TEXT AT THE STRETCH'S START:\n" << first << "\nBEFORE THE STEP:\n" << before << "\n";
          DumpUndo();
          return Fail(stretch);
        }
      }
      // what the stretch undid itself is redone first: redo all ends there
      for (int guard = 0; edit->RedoList()->CanUndo(); ++guard) {
        if (guard > 100000) return Fail(stretch, "redo does not end");
        edit->CommandProcessor(ecRedo, 0, nullptr);
        if (!Check("during the first redo all")) return Fail(stretch);
      }
      const std::string last = ExactLines(edit->Lines());
      for (int guard = 0; edit->UndoList()->CanUndo(); ++guard) {
        if (guard > 100000) return Fail(stretch, "undo does not end");
        if (dump) std::cerr << "UNDO " << UndoItems(edit->UndoList()) << "\n";
        edit->CommandProcessor(ecUndo, 0, nullptr);
        if (dump) std::cerr << Describe();
        if (!Check("during undo all")) return Fail(stretch);
      }
      if (std::string d = TextDiff(first, ExactLines(edit->Lines())); !d.empty())
        return Fail(stretch, "undo all does not give the stretch's first text: " + d);
      if (edit->Modified()) return Fail(stretch, "modified after undo all");
      for (int guard = 0; edit->RedoList()->CanUndo(); ++guard) {
        if (guard > 100000) return Fail(stretch, "redo does not end");
        if (dump) std::cerr << "REDO " << UndoItems(edit->RedoList()) << "\n";
        edit->CommandProcessor(ecRedo, 0, nullptr);
        if (dump) std::cerr << Describe();
        if (!Check("during redo all")) return Fail(stretch);
      }
      if (std::string d = TextDiff(last, ExactLines(edit->Lines())); !d.empty())
        return Fail(stretch, "redo all does not give the stretch's last text: " + d);
      ChangeThroughLines();
      if (!Check("after a change through Lines()")) return Fail(stretch);
    }
    return true;
  }

 private:
  int Pick(int n) { return n <= 1 ? 0 : static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  template <typename T>
  const T& OneOf(const std::vector<T>& v) {
    return v[static_cast<size_t>(Pick(static_cast<int>(v.size())))];
  }
  void Log(const std::string& s) { log_.push_back(s); }

  static std::string Repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  }

  // The text of `lines` lines; with long lines, some of them hold more than the 1,024 columns the
  // caret may reach, and one more than 32,767.
  std::string StartText(int lines) {
    std::string text = SqlText(lines);
    if (!longLines_) return text;
    std::string out;
    int line = 0;
    for (size_t at = 0; at <= text.size(); ++line) {
      size_t end = std::min(text.find('\n', at), text.size());
      out += text.substr(at, end - at);
      if (line % 5 == 2) out += " -- " + Repeated("ы", 1100 + 37 * line % 400);
      if (line % 23 == 7) out += " " + std::string(33000, 'z');
      if (end < text.size()) out += '\n';
      at = end + 1;
    }
    return out;
  }

  void StartStretch() {
    log_.clear();
    edit->ClearUndo();
    edit->SetModified(false);
  }

  // Debugging aids (TALVIK_EDIT_DUMP_STRETCH=n prints stretch n step by step).
  static std::string Escaped(const std::string& t) {
    std::string out;
    for (char c : t)
      out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
  }
  static std::string UndoItems(const TCodeEditUndoList* list) {
    std::string out;
    for (int i = 0; i < list->ItemCount(); ++i) {
      const TCodeEditUndoItem* u = list->Items(i);
      out += std::to_string(u->ChangeReason) + "#" + std::to_string(u->ChangeNumber) + "(" +
             std::to_string(u->ChangeStartPos.Char) + "," + std::to_string(u->ChangeStartPos.Line) + ")-(" +
             std::to_string(u->ChangeEndPos.Char) + "," + std::to_string(u->ChangeEndPos.Line) + ")\"" +
             Escaped(u->ChangeStr) + "\"m" + std::to_string(u->ChangeSelMode) + " ";
    }
    return out;
  }
  std::string Describe() {
    std::ostringstream out;
    out << "  caret (" << edit->CaretX() << "," << edit->CaretY() << ") block (" << edit->RawBlockBegin().Char
        << "," << edit->RawBlockBegin().Line << ")-(" << edit->RawBlockEnd().Char << ","
        << edit->RawBlockEnd().Line << ") mode " << edit->SelectionMode()
        << (edit->InsertMode() ? " insert" : " overwrite") << "\n";
    for (int i = 0; i < edit->Lines()->Count(); ++i)
      out << "  |" << Escaped(edit->Lines()->Strings(i)) << "|\n";
    return out.str();
  }

  // Undo all, then redo all (a debugging aid: this checks every step, and changes the run).
  bool RoundTrip(const std::string& first) {
    while (edit->RedoList()->CanUndo()) edit->CommandProcessor(ecRedo, 0, nullptr);
    const std::string last = ExactLines(edit->Lines());
    std::string undoKinds;
    for (int i = 0; i < edit->UndoList()->ItemCount(); ++i) {
      const TCodeEditUndoItem* u = edit->UndoList()->Items(i);
      undoKinds += std::to_string(u->ChangeReason) + "#" + std::to_string(u->ChangeNumber) + "(" +
                   std::to_string(u->ChangeStartPos.Char) + "," + std::to_string(u->ChangeStartPos.Line) +
                   ")-(" + std::to_string(u->ChangeEndPos.Char) + "," + std::to_string(u->ChangeEndPos.Line) +
                   ")\"" + u->ChangeStr + "\"m" + std::to_string(u->ChangeSelMode) + " ";
    }
    while (edit->UndoList()->CanUndo()) edit->CommandProcessor(ecUndo, 0, nullptr);
    if (std::string d = TextDiff(first, ExactLines(edit->Lines())); !d.empty()) {
      failure_ = "undo all: " + d + "\nundo items: " + undoKinds;
      return false;
    }
    while (edit->RedoList()->CanUndo()) edit->CommandProcessor(ecRedo, 0, nullptr);
    if (std::string d = TextDiff(last, ExactLines(edit->Lines())); !d.empty()) {
      failure_ = "redo all: " + d + "\nundo items: " + undoKinds;
      return false;
    }
    return true;
  }
  void DumpUndo() {}

  // ---- the rules checked after every step

  bool Check(const char* when) {
    std::string broken = errors_;
    errors_.clear();
    const int count = edit->Lines()->Count(), lines = std::max(count, 1);
    auto length = [&](int line) {
      return line >= 1 && line <= count ? static_cast<int>(edit->Lines()->Line32(line - 1).size()) : 0;
    };
    auto bad = [&](const std::string& what) { broken += what + "\n"; };
    TBufferCoord c = edit->CaretXY();
    if (c.Line < 1 || c.Line > lines)
      bad("caret line " + std::to_string(c.Line) + " of " + std::to_string(count));
    if (c.Char < 1) bad("caret char " + std::to_string(c.Char));
    if (!edit->Options().Contains(eoScrollPastEol) && c.Char > length(c.Line) + 1)
      bad("caret char " + std::to_string(c.Char) + " past the line's end " +
          std::to_string(length(c.Line) + 1));
    if (edit->Options().Contains(eoScrollPastEol) && !edit->WordWrap() &&
        !edit->Options().Contains(eoAutoSizeMaxScrollWidth) && c.Char > edit->MaxScrollWidth() + 1)
      bad("caret char " + std::to_string(c.Char) + " past the scroll width");
    if (edit->TopLine() < 1 || edit->TopLine() > std::max(edit->DisplayLineCount(), 1))
      bad("top line " + std::to_string(edit->TopLine()) + " of " + std::to_string(edit->DisplayLineCount()) +
          " rows");
    if (edit->LeftChar() < 1) bad("left char " + std::to_string(edit->LeftChar()));
    for (TBufferCoord p : {edit->RawBlockBegin(), edit->RawBlockEnd()}) {
      std::string at = "(" + std::to_string(p.Char) + ", " + std::to_string(p.Line) + ")";
      if (p.Line < 1 || p.Line > lines || p.Char < 1) bad("block end " + at + " outside the text");
      if (edit->SelectionMode() == smNormal && p.Char > length(p.Line) + 1)
        bad("block end " + at + " past its line in normal mode");
    }
    if (broken.empty()) return true;
    failure_ = std::string(when) + ": " + broken;
    return false;
  }

  bool Fail(int stretch, const std::string& what = std::string()) {
    std::ostringstream out;
    out << "seed " << seed_ << ", stretch " << stretch << ": " << (what.empty() ? failure_ : what)
        << "\nsteps of the stretch:\n";
    for (size_t i = 0; i < log_.size(); ++i) out << "  " << i + 1 << ". " << log_[i] << "\n";
    ADD_FAILURE() << out.str();
    return false;
  }

  // ---- input

  void Press(WORD vk, ShiftState s, const std::string& name, char32_t ch = 0) {
    Log(name);
    Key(vk, s, ch);
  }
  TPoint RandomPoint(bool outside) {
    int w = std::max(edit->ClientWidth(), 1), h = std::max(edit->ClientHeight(), 1);
    int margin = outside ? 30 : 0;
    return TPoint{Pick(w + 2 * margin) - margin, Pick(h + 2 * margin) - margin};
  }
  static std::string At(const TPoint& p) {
    return "(" + std::to_string(p.X) + ", " + std::to_string(p.Y) + ")";
  }
  std::string Mods(const ShiftState& s) {
    return std::string(s.shift ? "Shift+" : "") + (s.ctrl ? "Ctrl+" : "") + (s.alt ? "Alt+" : "");
  }
  void Advance(int ms) {
    guitest::FakeNow() += static_cast<uint64_t>(ms);
    Pump();
  }
  void PutClipboard(const std::string& text, TCodeSelectionMode mode, bool own) {
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, text);
    if (own)
      SetClipboardData(CodeEditClipboardFormat(), std::string(1, static_cast<char>(mode)) + text + '\0');
    CloseClipboard();
  }

  std::string RandomText() {
    static const std::vector<std::string> pieces = {
        "x",       "SELECT", "ж", "ёлка", "  ",   "\t",   "'строка'", ";",  "(",      ")",
        "-- комм", "ß",      "5", "Ю",    " := ", "1   ", "\r\n",     "\n", "\r\n  ", "END;",
    };
    std::string out;
    for (int i = 1 + Pick(4); i > 0; --i) out += OneOf(pieces);
    if (longLines_ && Chance(25)) out += Repeated(Chance(50) ? "b" : "ю", 1000 + Pick(1200));
    return out;
  }

  // The caret put far to the right of a line, by End or by the program, now and then followed by
  // text the program puts in the selection's place.
  void FarRight() {
    const int count = edit->Lines()->Count();
    if (count == 0) return;
    const int line = 1 + Pick(count);
    const int length = static_cast<int>(edit->Lines()->Line32(line - 1).size());
    if (Chance(30)) {
      Log("caret to line " + std::to_string(line) + ", End");
      edit->SetCaretXY({1, line});
      Press(VK_END, {}, "End");
    } else {
      const int column = 900 + Pick(std::max(length - 900, 300));
      Log("SetCaretXY(" + std::to_string(column) + ", " + std::to_string(line) + ")");
      edit->SetCaretXY({column, line});
    }
    if (Chance(50)) {
      const std::string text = Chance(50) ? std::string("второй") : RandomText();
      Log("SetSelText(\"" + text.substr(0, 40) + "\")");
      edit->SetSelText(text);
    }
    Pump();
  }

  void TypeCharacter() {
    static const std::u32string alphabet = U"abcxyzABCабвгдеёжЖЯ 0123456789;:=()'\"-_.,ß€\t";
    char32_t c = alphabet[static_cast<size_t>(Pick(static_cast<int>(alphabet.size())))];
    ShiftState s{.shift = Chance(20)};
    WORD vk = c == U' '                  ? VK_SPACE
              : c == U'\t'               ? VK_TAB
              : (c >= U'a' && c <= U'z') ? static_cast<WORD>(c - U'a' + 'A')
                                         : 'A';
    if (c == U'\t') {
      Press(VK_TAB, s, Mods(s) + "Tab");
      return;
    }
    std::string name = "type \"" + Utf32ToUtf8(std::u32string(1, c)) + "\"";
    Press(vk, s, Mods(s) + name, c);
  }

  void ImeText() {
    // now and then with line ends, tabs and other control characters at the start, inside or at
    // the end
    static const std::vector<std::string> texts = {
        "5Жß",  "ввод", "日本語", "x",     "  ёж  ",          "Ω≈",          "x\n",           "x\r\n",
        "\nёж", "\r\n", "a\rb",   "\tя\t", "ЛЗё\nэЯЧ\tя\t/d", "a\x01\x1b;b", "-- 1\r\n\t2\n", "\x7f",
    };
    std::string text = OneOf(texts);
    Log("input-method text \"" + Escaped(text) + "\"");
    edit->CommandProcessor(ecImeStr, 0, &text);
    Pump();
  }

  void EditKey() {
    struct K {
      WORD vk;
      ShiftState s;
      const char* name;
    };
    static const std::vector<K> keys = {
        {VK_BACK, {}, "Back-space"},
        {VK_BACK, {}, "Back-space"},
        {VK_DELETE, {}, "Delete"},
        {VK_DELETE, {}, "Delete"},
        {VK_BACK, {.ctrl = true}, "Ctrl+Back-space"},
        {'T', {.ctrl = true}, "Ctrl+T"},
        {'Y', {.ctrl = true}, "Ctrl+Y"},
        {'Y', {.shift = true, .ctrl = true}, "Shift+Ctrl+Y"},
        {VK_RETURN, {}, "Enter"},
        {VK_RETURN, {}, "Enter"},
        {VK_RETURN, {.shift = true}, "Shift+Enter"},
        {'N', {.ctrl = true}, "Ctrl+N"},
        {'M', {.ctrl = true}, "Ctrl+M"},
        {VK_TAB, {}, "Tab"},
        {VK_TAB, {.shift = true}, "Shift+Tab"},
        {VK_INSERT, {}, "Insert"},
        {'Z', {.ctrl = true}, "Ctrl+Z"},
        {'Z', {.shift = true, .ctrl = true}, "Shift+Ctrl+Z"},
        {VK_BACK, {.alt = true}, "Alt+Back-space"},
        {'I', {.shift = true, .ctrl = true}, "Shift+Ctrl+I"},
        {'U', {.shift = true, .ctrl = true}, "Shift+Ctrl+U"},
    };
    const K& k = OneOf(keys);
    Press(k.vk, k.s, k.name, k.vk == VK_BACK && k.s.alt ? 8 : 0);
  }

  void MoveKey() {
    static const std::vector<std::pair<WORD, const char*>> keys = {
        {VK_LEFT, "Left"}, {VK_RIGHT, "Right"}, {VK_UP, "Up"},     {VK_DOWN, "Down"},   {VK_HOME, "Home"},
        {VK_END, "End"},   {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"}, {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},
    };
    const auto& k = OneOf(keys);
    ShiftState s{.shift = Chance(45), .ctrl = Chance(20)};
    Press(k.first, s, Mods(s) + k.second);
  }

  void ModeKey() {
    static const std::vector<std::pair<WORD, const char*>> keys = {
        {'N', "Shift+Ctrl+N"}, {'C', "Shift+Ctrl+C"}, {'L', "Shift+Ctrl+L"}};
    const auto& k = OneOf(keys);
    Press(k.first, {.shift = true, .ctrl = true}, k.second);
  }

  void Clipboard() {
    switch (Pick(7)) {
      case 0:
        Press('C', {.ctrl = true}, "Ctrl+C");
        break;
      case 1:
        Press('X', {.ctrl = true}, "Ctrl+X");
        break;
      case 2:
        Press(VK_DELETE, {.shift = true}, "Shift+Delete");
        break;
      case 3:
        Press(VK_INSERT, {.shift = true}, "Shift+Insert");
        break;
      case 4: {
        std::string text = RandomText();
        TCodeSelectionMode mode = static_cast<TCodeSelectionMode>(Pick(3));
        bool own = Chance(60);
        std::ostringstream name;
        name << "clipboard \"" << text << "\""
             << (own ? " in mode " + std::to_string(mode) : " as plain text");
        Log(name.str());
        PutClipboard(text, mode, own);
        [[fallthrough]];
      }
      default:
        Press('V', {.ctrl = true}, "Ctrl+V");
        break;
    }
  }

  void MouseAction() {
    // a press must land in the client area: the scroll bars track the mouse in a loop of their own
    if (edit->ClientWidth() < 1 || edit->ClientHeight() < 1) return;
    TPoint a = RandomPoint(false);
    ShiftState s{.shift = Chance(15), .alt = Chance(20)};
    switch (Pick(4)) {
      case 0:
      case 1:
        Log(Mods(s) + "click at " + At(a));
        Mouse(WM_LBUTTONDOWN, a.X, a.Y, s);
        Mouse(WM_LBUTTONUP, a.X, a.Y, s);
        break;
      case 2: {
        TPoint b = RandomPoint(true);
        int ticks = Pick(3);
        Log(Mods(s) + "drag from " + At(a) + " to " + At(b) + " for " + std::to_string(ticks) + " ticks");
        Mouse(WM_LBUTTONDOWN, a.X, a.Y, s);
        Mouse(WM_MOUSEMOVE, (a.X + b.X) / 2, (a.Y + b.Y) / 2, s);
        Mouse(WM_MOUSEMOVE, b.X, b.Y, s);
        for (int i = 0; i < ticks; ++i) Advance(100);
        Mouse(WM_LBUTTONUP, b.X, b.Y, s);
        break;
      }
      default:
        Log("double click at " + At(a));
        Mouse(WM_LBUTTONDOWN, a.X, a.Y);
        Mouse(WM_LBUTTONUP, a.X, a.Y);
        Mouse(WM_LBUTTONDOWN, a.X, a.Y);
        Mouse(WM_LBUTTONUP, a.X, a.Y);
        break;
    }
    Advance(600);  // the next click is no double click
  }

  // Selected text dragged by the mouse through the application's loop (which runs the drag) and
  // dropped as a move or, with Ctrl, a copy; now and then below or beside the window, scrolling.
  void DragSelection() {
    if (edit->SelectionMode() != smNormal) Press('N', {.shift = true, .ctrl = true}, "Shift+Ctrl+N");
    for (int i = Pick(3); i >= 0 && !edit->SelAvail(); --i)
      Press(VK_RIGHT, {.shift = true, .ctrl = true}, "Shift+Ctrl+Right");
    if (!edit->SelAvail()) return;
    TPoint a = edit->RowColumnToPixels(edit->BufferToDisplayPos(edit->BlockBegin()));
    a = TPoint{a.X + 1, a.Y + edit->LineHeight() / 2};
    if (a.X <= edit->GutterWidth() || a.X >= edit->ClientWidth() || a.Y < 0 || a.Y >= edit->ClientHeight())
      return;
    ShiftState s{.ctrl = Chance(40)};
    TPoint b = RandomPoint(Chance(20));
    int ticks = Pick(3);
    Log(Mods(s) + "drop of the selection at " + At(b) + " after " + std::to_string(ticks) + " ticks");
    auto mouse = [&](UINT msg, TPoint p, ShiftState keys) {
      talvik::gui::InjectMouse(msg, ScreenOf(p.X, p.Y), {keys.shift, keys.ctrl, keys.alt});
      Application->ProcessMessages();
    };
    mouse(WM_LBUTTONDOWN, a, {});
    mouse(WM_MOUSEMOVE, TPoint{a.X, a.Y + 8}, {});
    mouse(WM_MOUSEMOVE, b, s);
    for (int i = 0; i < ticks; ++i) {
      guitest::FakeNow() += 100;
      Application->ProcessMessages();
    }
    mouse(WM_LBUTTONUP, b, s);
    CancelDrag();
    Advance(600);  // the next click is no double click
  }

  void CaseCommand() {
    static const std::vector<std::pair<TCodeEditorCommand, const char*>> commands = {
        {ecUpperCase, "ecUpperCase"},
        {ecLowerCase, "ecLowerCase"},
        {ecToggleCase, "ecToggleCase"},
        {ecTitleCase, "ecTitleCase"},
        {ecUpperCaseBlock, "ecUpperCaseBlock"},
        {ecLowerCaseBlock, "ecLowerCaseBlock"},
        {ecToggleCaseBlock, "ecToggleCaseBlock"}};
    const auto& c = OneOf(commands);
    Log(c.second);
    edit->CommandProcessor(c.first, 0, nullptr);
    Pump();
  }

  void OptionChange() {
    static const std::vector<std::pair<TCodeEditorOption, const char*>> options = {
        {eoTrimTrailingSpaces, "eoTrimTrailingSpaces"},
        {eoAutoIndent, "eoAutoIndent"},
        {eoTabsToSpaces, "eoTabsToSpaces"},
        {eoScrollPastEol, "eoScrollPastEol"},
        {eoScrollPastEof, "eoScrollPastEof"},
        {eoSmartTabDelete, "eoSmartTabDelete"},
        {eoSmartTabs, "eoSmartTabs"},
        {eoGroupUndo, "eoGroupUndo"},
        {eoHideShowScrollbars, "eoHideShowScrollbars"},
        {eoKeepCaretX, "eoKeepCaretX"},
        {eoAltSetsColumnMode, "eoAltSetsColumnMode"},
        {eoEnhanceHomeKey, "eoEnhanceHomeKey"},
        {eoTabIndent, "eoTabIndent"},
    };
    const auto& o = OneOf(options);
    bool on = !edit->Options().Contains(o.first);
    Log(std::string(on ? "option on: " : "option off: ") + o.second);
    edit->SetOptions(on ? edit->Options() + o.first : edit->Options() - o.first);
    Pump();
  }

  void ViewChange() {
    switch (Pick(5)) {
      case 0:
      case 1: {
        bool tiny = Chance(25);
        int w = tiny ? 20 + Pick(80) : 150 + Pick(600), h = tiny ? 10 + Pick(100) : 60 + Pick(400);
        Log("form resized to " + std::to_string(w) + "x" + std::to_string(h));
        form->SetBounds(0, 0, w, h);
        break;
      }
      case 2:
        Log(std::string("word wrap ") + (edit->WordWrap() ? "off" : "on"));
        edit->SetWordWrap(!edit->WordWrap());
        break;
      case 3: {
        int height = -(9 + Pick(14));
        Log("font height " + std::to_string(height));
        edit->Font()->SetHeight(height);
        break;
      }
      default: {
        int width = 1 + Pick(9);
        Log("tab width " + std::to_string(width));
        edit->SetTabWidth(width);
        break;
      }
    }
    Pump();
  }

  void Scroll() {
    if (Chance(50)) {
      int delta = (Chance(50) ? 1 : -1) * 120 * (1 + Pick(3));
      if (edit->ClientWidth() < 1 || edit->ClientHeight() < 1) return;
      TPoint p = RandomPoint(false);
      Log("wheel " + std::to_string(delta) + " at " + At(p));
      talvik::gui::InjectMouse(WM_MOUSEWHEEL, ScreenOf(p.X, p.Y), {}, delta);
      Pump();
    } else {
      Press(Chance(50) ? VK_UP : VK_DOWN, {.ctrl = true}, "Ctrl+Up/Down");
    }
  }

  void Step() {
    struct Action {
      int weight;
      void (CodeEditRandomEdits::*run)();
    };
    static const std::vector<Action> actions = {
        {30, &CodeEditRandomEdits::TypeCharacter}, {4, &CodeEditRandomEdits::ImeText},
        {22, &CodeEditRandomEdits::EditKey},       {16, &CodeEditRandomEdits::MoveKey},
        {3, &CodeEditRandomEdits::ModeKey},        {8, &CodeEditRandomEdits::Clipboard},
        {8, &CodeEditRandomEdits::MouseAction},    {2, &CodeEditRandomEdits::CaseCommand},
        {2, &CodeEditRandomEdits::OptionChange},   {2, &CodeEditRandomEdits::ViewChange},
        {3, &CodeEditRandomEdits::Scroll},         {4, &CodeEditRandomEdits::DragSelection},
        {4, &CodeEditRandomEdits::FarRight},
    };
    int total = 0;
    for (const Action& a : actions) total += a.weight;
    int r = Pick(total);
    for (const Action& a : actions) {
      if (r < a.weight) {
        (this->*a.run)();
        return;
      }
      r -= a.weight;
    }
  }

  // The program changes the text itself: no undo item, the lists start over.
  void ChangeThroughLines() {
    TCodeEditStringList* lines = edit->Lines();
    int count = lines->Count();
    switch (Pick(8)) {
      case 0:
        if (count > 0) {
          int i = Pick(count);
          Log("Lines()->Delete(" + std::to_string(i) + ")");
          lines->Delete(i);
        }
        break;
      case 1:
        if (count > 0) {
          Log("Lines()->Delete(last)");
          lines->Delete(count - 1);
        }
        break;
      case 2: {
        // the line list keeps what it is given, line ends and control characters too
        static const std::vector<std::string> texts = {
            "-- вставлено", "ё€е\nR+ёцёMш—~", "ab\r\ncd", "\rx\r", "a\tb\x01;c", std::string("p\0q", 3), "\n",
        };
        int i = Pick(count + 1);
        const std::string& text = OneOf(texts);
        Log("Lines()->Insert(" + std::to_string(i) + ", \"" + Escaped(text) + "\")");
        lines->Insert(i, text);
        break;
      }
      case 3:
        Log("Lines()->Add");
        lines->Add("x := 2;   ");
        break;
      case 4:
        if (count > 0) {
          int i = Pick(count);
          const std::string text = Chance(70) ? std::string("y") : std::string("y\nz\t");
          Log("Lines()->Put(" + std::to_string(i) + ", \"" + Escaped(text) + "\")");
          lines->Put(i, text);
        }
        break;
      case 5:
        if (Chance(20)) {
          Log("Lines()->Clear()");
          lines->Clear();
        }
        break;
      case 6:
        if (Chance(20)) {
          Log("Text set");
          edit->SetText(StartText(1 + Pick(60)));
        }
        break;
      default:
        break;
    }
    Pump();
  }

  std::mt19937 rng_;
  unsigned seed_ = 0;
  bool longLines_ = false;
  std::vector<std::string> log_;
  std::string failure_;
  std::string errors_;
};

struct RunCase {
  unsigned seed;
  int steps;
  int lines;
  bool longLines = false;
};

class RandomEdits : public CodeEditRandomEdits, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RandomEdits, StayExactAndInsideTheText) {
  const RunCase& r = GetParam();
  RunSeed(r.seed, r.steps, r.lines, r.longLines);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEdits,
                         ::testing::Values(RunCase{1, 3000, 120}, RunCase{2, 3000, 40},
                                           RunCase{3, 3000, 3000}, RunCase{4, 3000, 8},
                                           RunCase{5, 2000, 60, true}, RunCase{6, 2000, 12, true}),
                         [](const ::testing::TestParamInfo<RunCase>& info) {
                           return "Seed" + std::to_string(info.param.seed) +
                                  (info.param.longLines ? "LongLines" : "");
                         });

// Seeds and steps from the environment: TALVIK_EDIT_SEEDS="first-last" (or one seed),
// TALVIK_EDIT_STEPS, TALVIK_EDIT_LINES, and TALVIK_EDIT_LONG_LINES for lines past the scroll width.
// Skipped without them.
TEST_F(CodeEditRandomEdits, LongRun) {
  unsigned first = 0, last = 0;
  if (!randomwalk::SeedsFromEnv("TALVIK_EDIT_SEEDS", first, last))
    GTEST_SKIP() << "TALVIK_EDIT_SEEDS is not set";
  const char* steps = std::getenv("TALVIK_EDIT_STEPS");
  const char* lines = std::getenv("TALVIK_EDIT_LINES");
  for (unsigned seed = first; seed <= last; ++seed) {
    TearDown();
    SetUp();
    if (!RunSeed(seed, steps ? std::atoi(steps) : 20000, lines ? std::atoi(lines) : 200,
                 std::getenv("TALVIK_EDIT_LONG_LINES") != nullptr))
      return;
  }
}

}  // namespace
