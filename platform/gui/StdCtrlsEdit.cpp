// The layer's edit window ("EDIT"): single- and multi-line text with a caret, a selection, one level
// of undo, clipboard commands, a length limit, a password mask and case folding. Positions count
// characters (code points); in a multi-line edit a line break is one position, and the text it
// hands out separates lines with CR LF.
#include <QChar>
#include <algorithm>
#include <cassert>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/Clipbrd.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/GraphicsQt.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace talvik::gui::detail {

namespace {

const char* const kEditState = "TalvikEditState";
constexpr int kDefaultMargin = 2;

// The text with a gap where it was last changed: typing in a long text moves only the characters
// between one change and the next.
class GapText {
 public:
  GapText& operator=(std::u32string s) {
    chars_ = std::move(s);
    start_ = chars_.size();
    gap_ = 0;
    return *this;
  }
  std::size_t size() const { return chars_.size() - gap_; }
  char32_t operator[](std::size_t i) const { return chars_[i < start_ ? i : i + gap_]; }
  std::u32string substr(std::size_t from, std::size_t n) const {
    assert(from + n <= size());
    std::u32string out;
    out.reserve(n);
    std::size_t before = from < start_ ? std::min(n, start_ - from) : 0;
    out.append(chars_, from, before);
    out.append(chars_, from + before + gap_, n - before);
    return out;
  }
  void replace(std::size_t pos, std::size_t n, std::u32string_view s) {
    assert(pos + n <= size());
    MoveGap(pos);
    gap_ += n;
    if (gap_ < s.size()) Widen(s.size());
    std::copy(s.begin(), s.end(), chars_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ += s.size();
    gap_ -= s.size();
  }

 private:
  void MoveGap(std::size_t pos) {
    char32_t* c = chars_.data();
    if (pos < start_)
      std::char_traits<char32_t>::move(c + pos + gap_, c + pos, start_ - pos);
    else if (pos > start_)
      std::char_traits<char32_t>::move(c + start_, c + start_ + gap_, pos - start_);
    start_ = pos;
  }
  void Widen(std::size_t needed) {
    std::size_t more = std::max(needed - gap_, size() / 8 + 64);
    chars_.insert(start_, more, U'\0');
    gap_ += more;
  }
  std::u32string chars_;
  std::size_t start_ = 0;  // where the gap begins
  std::size_t gap_ = 0;    // its length
};

struct EditState {
  HWND hwnd = nullptr;
  GapText text;
  std::vector<int> lineStarts{0};
  bool reflowed = false;  // the last change moved words to other rows
  int anchor = 0, caret = 0;
  // The caret stands at the end of the row before rather than at the start of its own: the caret
  // position where a row was full is one place for both (End, a click past a row's end), told apart
  // by this (-1: the caret starts its row).
  int caretTrailsAt = -1;
  DWORD style = 0;
  DWORD exStyle = 0;  // WS_EX_RIGHT: the text stands at the right (right-to-left alignment)
  char32_t passwordChar = 0;
  int limit = 0;  // 0: none
  bool modified = false;
  bool canUndo = false;
  bool typingRun = false;  // consecutive typed characters undo together
  // The one level of undo: the text before the last undoable change differs from the text now in
  // one stretch, `undoRemoved` having stood where the `undoLength` characters at `undoPos` stand.
  int undoPos = 0, undoLength = 0;
  std::u32string undoRemoved;
  int undoAnchor = 0, undoCaret = 0;
  HFONT font = nullptr;
  HDC measure = nullptr;
  int lineHeight = 13;
  bool userRect = false;
  RECT formatRect;
  int leftMargin = kDefaultMargin, rightMargin = kDefaultMargin;
  int scrollX = 0;
  int topLine = 0;
  bool focused = false;
  bool dragging = false;
  // The calls of the window procedure running on this state. A parent's handler of a notification
  // sent from one of them (EN_CHANGE, EN_SETFOCUS) may destroy the edit: the state then outlives the
  // window until the outermost call returns.
  int calls = 0;
  bool destroyed = false;

  bool Multi() const { return style & ES_MULTILINE; }
  // A multi-line edit that does not scroll sideways wraps its lines at the text rectangle's width:
  // its rows are the lines broken after the last blank that fits (or inside a word longer than a row).
  bool Wraps() const { return Multi() && !(style & ES_AUTOHSCROLL); }
  bool ReadOnly() const { return style & ES_READONLY; }
  int Length() const { return static_cast<int>(text.size()); }
  int SelMin() const { return std::min(anchor, caret); }
  int SelMax() const { return std::max(anchor, caret); }
  int LineCount() const { return static_cast<int>(lineStarts.size()); }
  int LineOf(int pos) const {
    auto it = std::upper_bound(lineStarts.begin(), lineStarts.end(), pos);
    return static_cast<int>(it - lineStarts.begin()) - 1;
  }
  int LineStart(int line) const { return lineStarts[static_cast<std::size_t>(line)]; }
  // Whether the line (row) ends at a line feed rather than where the row was full.
  bool HardBreakAfter(int line) const {
    return line + 1 < LineCount() && text[static_cast<std::size_t>(LineStart(line + 1)) - 1] == U'\n';
  }
  // Whether a row ends where the next one starts, the row having been full.
  bool SoftBreakAfter(int line) const { return line + 1 < LineCount() && !HardBreakAfter(line); }
  // The row the caret shows on.
  int CaretLine() const {
    const int line = LineOf(caret);
    return caret == caretTrailsAt && line > 0 && caret == LineStart(line) && SoftBreakAfter(line - 1)
               ? line - 1
               : line;
  }
  int LineEnd(int line) const {
    if (line + 1 >= LineCount()) return Length();
    const int next = LineStart(line + 1);
    return HardBreakAfter(line) ? next - 1 : next;
  }
  void RebuildLines() {
    lineStarts.assign(1, 0);
    if (!Multi()) return;
    WrapParagraphs(0, Length(), lineStarts);
  }
  // The row starts after `from` of the paragraphs in [from, to) (`to` is the text's end or a line
  // feed), each row of a wrapping edit as wide as fits.
  void WrapParagraphs(int from, int to, std::vector<int>& starts) const {
    int paragraph = from;
    for (int i = from; i <= to; ++i) {
      if (i < to && text[static_cast<std::size_t>(i)] != U'\n') continue;
      if (Wraps()) WrapParagraph(paragraph, i, starts);
      if (i < to) starts.push_back(i + 1);
      paragraph = i + 1;
    }
  }
  void WrapParagraph(int from, int to, std::vector<int>& starts) const {
    const int room = std::max(1, TextRect().Width());
    auto blank = [&](int i) {
      const char32_t c = text[static_cast<std::size_t>(i)];
      return c == U' ' || c == U'\t';
    };
    if (Width(from, to) <= room) return;  // most lines fit whole: one measure
    int row = from;
    while (row < to) {
      int end = row, used = 0;
      while (end < to) {
        const int w = Width(end, end + 1);
        if (end > row && used + w > room) break;
        used += w;
        ++end;
      }
      while (end < to && blank(end)) ++end;  // blanks hang past the edge
      if (end >= to) return;
      int cut = end;
      while (cut > row && !blank(cut - 1)) --cut;
      if (cut == row) cut = end;  // a word longer than the row is cut where the row is full
      starts.push_back(cut);
      row = cut;
    }
  }
  // The line starts after `removed` characters at `start` gave way to `inserted` (the text already
  // changed): only the breaks in the changed stretch are looked at, the later starts move along.
  // The first line whose start or content may have changed.
  int LinesReplaced(int start, int removed, const std::u32string& inserted) {
    reflowed = false;
    if (!Multi()) return 0;
    if (Wraps()) return RowsReplaced(start, removed, static_cast<int>(inserted.size()));
    auto first = std::upper_bound(lineStarts.begin(), lineStarts.end(), start);
    auto last = std::upper_bound(first, lineStarts.end(), start + removed);
    const int delta = static_cast<int>(inserted.size()) - removed;
    for (auto it = last; it != lineStarts.end(); ++it) *it += delta;
    std::vector<int> added;
    for (std::size_t i = 0; i < inserted.size(); ++i)
      if (inserted[i] == U'\n') added.push_back(start + static_cast<int>(i) + 1);
    auto at = lineStarts.erase(first, last);
    lineStarts.insert(at, added.begin(), added.end());
    return LineOf(start);
  }
  // The same for a wrapping edit: the rows of the paragraphs the change touches are wrapped again.
  int RowsReplaced(int start, int removed, int inserted) {
    const int delta = inserted - removed;
    // the first row of the paragraph holding the change (the text before `start` did not change)
    int first =
        static_cast<int>(std::upper_bound(lineStarts.begin(), lineStarts.end(), start) - lineStarts.begin()) -
        1;
    while (first > 0 && text[static_cast<std::size_t>(LineStart(first)) - 1] != U'\n') --first;
    // the first row after the change that begins a paragraph (read in the changed text)
    auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), start + removed);
    while (next != lineStarts.end() && text[static_cast<std::size_t>(*next + delta) - 1] != U'\n') ++next;
    const int from = LineStart(first);
    const int to = next == lineStarts.end() ? Length() : *next + delta - 1;
    std::vector<int> rows;
    WrapParagraphs(from, to, rows);
    // the rows stay as they were (moved past the change) unless the words flowed to other rows
    auto old = lineStarts.begin() + first + 1;
    reflowed = static_cast<std::ptrdiff_t>(rows.size()) != next - old;
    for (std::size_t k = 0; !reflowed && k < rows.size(); ++k) {
      const int was = old[static_cast<std::ptrdiff_t>(k)];
      reflowed = rows[k] != (was <= start ? was : was + delta);
    }
    for (auto it = next; it != lineStarts.end(); ++it) *it += delta;
    auto at = lineStarts.erase(old, next);
    lineStarts.insert(at, rows.begin(), rows.end());
    return reflowed ? first : LineOf(start);
  }
  // Characters as they show: the password character stands for each one.
  std::u32string Shown(int from, int to) const {
    if (passwordChar) return std::u32string(static_cast<std::size_t>(to - from), passwordChar);
    return text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  }
  int Width(int from, int to) const {
    if (to <= from) return 0;
    SIZE sz;
    GetTextExtentPoint32(measure, Utf32ToUtf8(Shown(from, to)), sz);
    return sz.cx;
  }
  RECT TextRect() const {
    if (userRect) return formatRect;
    RECT r;
    GetClientRect(hwnd, r);
    r.Left += leftMargin;
    r.Right -= rightMargin;
    if (!Multi()) {
      // one line, centred in the height
      int h = r.Height();
      r.Top += std::max(0, (h - lineHeight) / 2);
      r.Bottom = r.Top + lineHeight;
    } else {
      r.Top += 1;
    }
    return r;
  }
  int VisibleLines() const { return std::max(1, TextRect().Height() / std::max(1, lineHeight)); }
  bool RightAligned() const {
    return (style & ES_RIGHT) || ((exStyle & WS_EX_RIGHT) && !(style & ES_CENTER));
  }
  int AlignOffset(int line) const {
    if (Multi() && !(style & ES_CENTER) && !RightAligned()) return 0;
    RECT r = TextRect();
    // read right to left, the row is as wide as it shows in that order
    const int width = ReadsRightToLeft(line) ? Geometry(line).width : Width(LineStart(line), LineEnd(line));
    int free = r.Width() - width;
    if (free <= 0) return 0;
    if (RightAligned()) return free;
    if (style & ES_CENTER) return free / 2;
    return 0;
  }
  // Whether the row shows otherwise than left to right: the window reads right to left and the
  // row's text does not read alike both ways.
  bool ReadsRightToLeft(int line) const {
    if (!(exStyle & WS_EX_RTLREADING)) return false;
    return !detail::ReadsAlikeEitherWay(Utf32ToUtf8(Shown(LineStart(line), LineEnd(line))));
  }
  detail::ReadingGeometry Geometry(int line) const {
    return detail::RightToLeftGeometry(measure, Shown(LineStart(line), LineEnd(line)));
  }
  // Where the caret stands at `pos` of `line`, from the row's left edge.
  int XInLine(int line, int pos) const {
    if (ReadsRightToLeft(line)) return Geometry(line).caretX[static_cast<std::size_t>(pos - LineStart(line))];
    return Width(LineStart(line), pos);
  }
  // Client position of the left edge of character `pos`; on `line` when given (the end of a full
  // row is its last character's right edge there).
  POINT PosOf(int pos, int line = -1) const {
    if (line < 0) line = LineOf(pos);
    RECT r = TextRect();
    return {r.Left - scrollX + AlignOffset(line) + XInLine(line, pos), r.Top + (line - topLine) * lineHeight};
  }
  // `rowEnd` (when given) tells whether the place is the end of a full row rather than the start of
  // the next one.
  int CharFromPoint(int x, int y, bool* rowEnd = nullptr) const {
    if (rowEnd) *rowEnd = false;
    RECT r = TextRect();
    int line = Multi() ? topLine + (y - r.Top) / std::max(1, lineHeight) : 0;
    if (y < r.Top && Multi()) line = topLine - 1;
    line = std::clamp(line, 0, LineCount() - 1);
    int from = LineStart(line), to = LineEnd(line);
    int cx = x - (r.Left - scrollX + AlignOffset(line));
    if (ReadsRightToLeft(line)) {
      // the place whose caret stands nearest
      const std::vector<int> places = Geometry(line).caretX;
      int best = 0;
      for (std::size_t k = 1; k < places.size(); ++k)
        if (std::abs(places[k] - cx) < std::abs(places[static_cast<std::size_t>(best)] - cx))
          best = static_cast<int>(k);
      if (rowEnd && from + best == to) *rowEnd = SoftBreakAfter(line);
      return from + best;
    }
    int acc = 0;
    for (int i = from; i < to; ++i) {
      int w = Width(i, i + 1);
      if (cx < acc + w / 2) return i;
      acc += w;
    }
    if (rowEnd) *rowEnd = SoftBreakAfter(line);
    return to;
  }
};

EditState* StateOf(HWND hwnd) {
  return static_cast<EditState*>(GetProp(hwnd, kEditState));
}

bool IsWordChar(char32_t c) {
  return c == U'_' || QChar::isLetterOrNumber(static_cast<char32_t>(c));
}

std::u32string Normalised(const std::u32string& s, bool multi) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c == U'\r') {
      if (!multi) break;
      if (i + 1 < s.size() && s[i + 1] == U'\n') ++i;
      out.push_back(U'\n');
    } else if (c == U'\n') {
      if (!multi) break;
      out.push_back(U'\n');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// A text given whole (set into the window, or the one it is made with): a multi-line edit takes its
// line breaks as its own; a single line keeps what it was given, line breaks too, so that nothing of
// it is lost (only typing and pasting keep to one line).
std::u32string GivenText(const char* utf8, bool multi) {
  std::u32string text = Utf8ToUtf32(utf8 ? utf8 : "");
  return multi ? Normalised(text, true) : text;
}

std::string Outgoing(const EditState& st, int from, int to) {
  std::u32string part = st.text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  if (!st.Multi()) return Utf32ToUtf8(part);
  std::u32string crlf;
  crlf.reserve(part.size());
  for (char32_t c : part) {
    if (c == U'\n') crlf.push_back(U'\r');
    crlf.push_back(c);
  }
  return Utf32ToUtf8(crlf);
}

void Notify(EditState& st, WORD code) {
  HWND parent = GetParent(st.hwnd);
  if (!parent || (GetWindowLongPtr(st.hwnd, GWL_STYLE) & WS_CHILD) == 0) return;
  SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(st.hwnd), code), reinterpret_cast<LPARAM>(st.hwnd));
}

void UpdateScrollBars(EditState& st) {
  DWORD ws = static_cast<DWORD>(GetWindowLongPtr(st.hwnd, GWL_STYLE));
  if (ws & WS_VSCROLL) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;  // shown, greyed when not needed
    si.nMin = 0;
    si.nMax = st.LineCount() - 1;
    si.nPage = static_cast<UINT>(st.VisibleLines());
    si.nPos = st.topLine;
    SetScrollInfo(st.hwnd, SB_VERT, si, true);
  }
}

void PlaceCaret(EditState& st) {
  if (!st.focused) return;
  POINT p = st.PosOf(st.caret, st.CaretLine());
  SetCaretPos(p.X, p.Y);
}

// Scrolls so that the caret shows, and repaints: all of it after a scroll, else `damaged` when given.
void ScrollCaret(EditState& st, const RECT* damaged = nullptr) {
  const int topLine = st.topLine, scrollX = st.scrollX;
  RECT r = st.TextRect();
  int line = st.CaretLine();
  if (st.Multi()) {
    int visible = st.VisibleLines();
    if (line < st.topLine) st.topLine = line;
    if (line >= st.topLine + visible) st.topLine = line - visible + 1;
  }
  int x = st.AlignOffset(line) + st.XInLine(line, st.caret);
  int width = r.Width();
  if (x - st.scrollX < 0) st.scrollX = std::max(0, x - width / 3);
  if (x - st.scrollX > width - 1) st.scrollX = x - width + std::max(1, width / 3);
  if (st.scrollX < 0 || st.Wraps()) st.scrollX = 0;
  UpdateScrollBars(st);
  const bool scrolled = st.topLine != topLine || st.scrollX != scrollX;
  InvalidateRect(st.hwnd, scrolled ? nullptr : damaged, false);
  PlaceCaret(st);
}

// `rowEnd`: a place where a row was full is the end of that row, not the start of the next.
void MoveCaret(EditState& st, int pos, bool extend, bool rowEnd = false) {
  st.caret = std::clamp(pos, 0, st.Length());
  st.caretTrailsAt = rowEnd ? st.caret : -1;
  if (!extend) st.anchor = st.caret;
  st.typingRun = false;
  ScrollCaret(st);
}

// A change of `removed` characters at `start` into `inserted` ones is about to be made: it becomes
// the step that undo takes back.
void SaveUndo(EditState& st, int start, int removed, int inserted) {
  st.undoPos = start;
  st.undoRemoved = st.text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(removed));
  st.undoLength = inserted;
  st.undoAnchor = st.anchor;
  st.undoCaret = st.caret;
  st.canUndo = true;
}

// A change that undo takes back together with the last step (typing on, or a change that cannot be
// undone by itself): the step grows to cover both, so that undo still brings back the text before it.
void JoinUndo(EditState& st, int start, int removed, int inserted) {
  const int stepEnd = st.undoPos + st.undoLength;
  const int lo = std::min(st.undoPos, start), hi = std::max(stepEnd, start + removed);
  if (lo < st.undoPos || hi > stepEnd) {
    auto at = [&](int from, int to) {
      return st.text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    };
    st.undoRemoved = at(lo, st.undoPos) + st.undoRemoved + at(stepEnd, hi);
    st.undoPos = lo;
  }
  st.undoLength = hi - lo + inserted - removed;
}

// The text changed: `damaged` is what needs painting again (nullptr: everything).
void Changed(EditState& st, const RECT* damaged = nullptr) {
  if (!damaged) st.RebuildLines();
  st.caretTrailsAt = -1;
  st.modified = true;
  ScrollCaret(st, damaged);
  Notify(st, EN_UPDATE);
  Notify(st, EN_CHANGE);
}

// Replaces the selection; answers false when nothing could change.
bool ReplaceSel(EditState& st, std::u32string s, bool canUndo, bool typing) {
  if (st.ReadOnly()) return false;
  s = Normalised(s, st.Multi());
  int selLen = st.SelMax() - st.SelMin();
  if (st.limit > 0) {
    int room = std::max(0, st.limit - (st.Length() - selLen));
    if (static_cast<int>(s.size()) > room) {
      s.resize(static_cast<std::size_t>(room));
      Notify(st, EN_MAXTEXT);
      if (s.empty()) {
        MessageBeep(0);
        return false;
      }
    }
  }
  if (s.empty() && selLen == 0) return false;
  int start = st.SelMin();
  if (canUndo && !(typing && st.typingRun))
    SaveUndo(st, start, selLen, static_cast<int>(s.size()));
  else if (st.canUndo)
    JoinUndo(st, start, selLen, static_cast<int>(s.size()));
  st.typingRun = typing;
  const int lines = st.LineCount();
  st.text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(selLen), s);
  const int firstLine = st.LinesReplaced(start, selLen, s);
  st.caret = st.anchor = start + static_cast<int>(s.size());
  // what changed: the line of the change, or every line from it down when lines came or went
  RECT damaged;
  GetClientRect(st.hwnd, damaged);
  if (st.Multi()) {
    int top = st.TextRect().Top + (firstLine - st.topLine) * st.lineHeight;
    damaged.Top = std::max(damaged.Top, top);
    if (st.LineCount() == lines && !st.reflowed)
      damaged.Bottom = std::min(damaged.Bottom, top + st.lineHeight);
  }
  Changed(st, &damaged);
  return true;
}

void DeleteRange(EditState& st, int from, int to) {
  st.anchor = std::clamp(from, 0, st.Length());
  st.caret = std::clamp(to, 0, st.Length());
  if (st.anchor != st.caret) ReplaceSel(st, std::u32string(), true, false);
}

int WordLeft(const EditState& st, int pos) {
  while (pos > 0 && !IsWordChar(st.text[static_cast<std::size_t>(pos) - 1]) && st.text[pos - 1] != U'\n')
    --pos;
  if (pos > 0 && st.text[static_cast<std::size_t>(pos) - 1] == U'\n') return pos - 1;
  while (pos > 0 && IsWordChar(st.text[static_cast<std::size_t>(pos) - 1])) --pos;
  return pos;
}

int WordRight(const EditState& st, int pos) {
  int n = st.Length();
  if (pos < n && st.text[static_cast<std::size_t>(pos)] == U'\n') return pos + 1;
  while (pos < n && IsWordChar(st.text[static_cast<std::size_t>(pos)])) ++pos;
  while (pos < n && !IsWordChar(st.text[static_cast<std::size_t>(pos)]) && st.text[pos] != U'\n') ++pos;
  return pos;
}

void Copy(EditState& st) {
  // a password never leaves the edit
  if (st.passwordChar || st.anchor == st.caret) return;
  Clipboard()->SetAsText(Outgoing(st, st.SelMin(), st.SelMax()));
}

void Paste(EditState& st) {
  std::string text = Clipboard()->AsText();
  if (text.empty()) return;
  std::u32string s = Utf8ToUtf32(text);
  if ((st.style & ES_NUMBER) &&
      std::any_of(s.begin(), s.end(), [](char32_t c) { return c < '0' || c > '9'; })) {
    MessageBeep(0);
    return;
  }
  ReplaceSel(st, s, true, false);
}

void Undo(EditState& st) {
  if (!st.canUndo || st.ReadOnly()) return;
  std::u32string now =
      st.text.substr(static_cast<std::size_t>(st.undoPos), static_cast<std::size_t>(st.undoLength));
  st.text.replace(static_cast<std::size_t>(st.undoPos), static_cast<std::size_t>(st.undoLength),
                  st.undoRemoved);
  st.undoLength = static_cast<int>(st.undoRemoved.size());
  st.undoRemoved = std::move(now);
  int a = st.anchor, c = st.caret;
  st.anchor = std::clamp(st.undoAnchor, 0, st.Length());
  st.caret = std::clamp(st.undoCaret, 0, st.Length());
  st.undoAnchor = a;
  st.undoCaret = c;
  st.typingRun = false;
  Changed(st);
}

char32_t Folded(const EditState& st, char32_t c) {
  if (st.style & ES_UPPERCASE) return QChar::toUpper(c);
  if (st.style & ES_LOWERCASE) return QChar::toLower(c);
  return c;
}

void SetFont(EditState& st, HFONT font) {
  st.font = font;
  SelectObject(st.measure, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRIC tm;
  GetTextMetrics(st.measure, tm);
  st.lineHeight = std::max(1, tm.tmHeight);
  if (st.Wraps()) st.RebuildLines();
  if (st.focused) {
    DestroyCaret();
    CreateCaret(st.hwnd, nullptr, 1, st.lineHeight);
    ShowCaret(st.hwnd);
  }
  ScrollCaret(st);
}

// A row read right to left: the selected characters may stand apart, each is marked where it shows.
void PaintRightToLeftRow(EditState& st, HDC dc, int line, int x, int y, bool showSel) {
  const int from = st.LineStart(line), to = st.LineEnd(line);
  const std::string row = Utf32ToUtf8(st.Shown(from, to));
  ExtTextOut(dc, x, y, ETO_RTLREADING, nullptr, row);
  if (!showSel) return;
  const detail::ReadingGeometry g = st.Geometry(line);
  // the selected columns, joined where they touch
  std::vector<std::pair<int, int>> marked;
  for (int i = std::max(from, st.SelMin()); i < std::min(to, st.SelMax()); ++i) {
    const auto& span = g.spans[static_cast<std::size_t>(i - from)];
    marked.emplace_back(span.left, span.right);
  }
  if (st.HardBreakAfter(line) && st.SelMax() > to && st.SelMin() <= to) {
    marked.emplace_back(g.width, g.width + 4);
  }
  std::sort(marked.begin(), marked.end());
  std::vector<std::pair<int, int>> joined;
  for (const auto& m : marked)
    if (!joined.empty() && m.first <= joined.back().second)
      joined.back().second = std::max(joined.back().second, m.second);
    else
      joined.push_back(m);
  SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
  for (const auto& [left, right] : joined) {
    const RECT cell = Rect(x + left, y, x + right, y + st.lineHeight);
    FillRect(dc, cell, GetSysColorBrush(COLOR_HIGHLIGHT));
    ExtTextOut(dc, x, y, ETO_RTLREADING | ETO_CLIPPED, &cell, row);
  }
}

void Paint(EditState& st, HDC given) {
  PAINTSTRUCT ps;
  HDC dc = given ? given : BeginPaint(st.hwnd, ps);
  int saved = SaveDC(dc);
  bool enabled = IsWindowEnabled(st.hwnd);
  HWND parent = GetParent(st.hwnd);
  UINT colourMsg = (!enabled || st.ReadOnly()) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  HBRUSH brush = nullptr;
  if (parent && (GetWindowLongPtr(st.hwnd, GWL_STYLE) & WS_CHILD))
    brush = reinterpret_cast<HBRUSH>(
        SendMessage(parent, colourMsg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(st.hwnd)));
  if (!brush) brush = GetSysColorBrush(COLOR_WINDOW);
  COLORREF textColour = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
  RECT client;
  GetClientRect(st.hwnd, client);
  FillRect(dc, client, brush);
  SelectObject(dc, st.font ? st.font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT tr = st.TextRect();
  IntersectClipRect(dc, tr.Left, st.Multi() ? tr.Top : client.Top, tr.Right,
                    st.Multi() ? tr.Bottom : client.Bottom);
  bool showSel = st.anchor != st.caret && (st.focused || (st.style & ES_NOHIDESEL));
  int first = st.Multi() ? st.topLine : 0;
  int last = std::min(st.LineCount(), st.topLine + st.VisibleLines() + 1);
  RECT shown;
  if (st.Multi() && GetClipBox(dc, shown) != NULLREGION) {
    // the lines outside what is being painted are left alone
    first = std::max(first, st.topLine + (shown.Top - tr.Top) / std::max(1, st.lineHeight));
    last =
        std::min(last, st.topLine + (shown.Bottom - tr.Top + st.lineHeight - 1) / std::max(1, st.lineHeight));
  }
  for (int line = first; line < last; ++line) {
    int from = st.LineStart(line), to = st.LineEnd(line);
    int x = tr.Left - st.scrollX + st.AlignOffset(line);
    int y = tr.Top + (line - st.topLine) * st.lineHeight;
    SetTextColor(dc, textColour);
    if (st.ReadsRightToLeft(line)) {
      PaintRightToLeftRow(st, dc, line, x, y, showSel);
      continue;
    }
    if (to > from) TextOut(dc, x, y, Utf32ToUtf8(st.Shown(from, to)));
    if (showSel) {
      int s = std::max(from, st.SelMin()), e = std::min(to, st.SelMax());
      bool breakSelected = st.HardBreakAfter(line) && st.SelMax() > to && st.SelMin() <= to;
      if (s < e || breakSelected) {
        int sx = x + st.Width(from, std::max(s, from));
        int ex = sx + st.Width(s, std::max(s, e)) + (breakSelected ? 4 : 0);
        FillRect(dc, Rect(sx, y, ex, y + st.lineHeight), GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        if (e > s) TextOut(dc, sx, y, Utf32ToUtf8(st.Shown(s, e)));
      }
    }
  }
  RestoreDC(dc, saved);
  if (!given) EndPaint(st.hwnd, ps);
  PlaceCaret(st);
}

void KeyDown(EditState& st, WORD key) {
  bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  int line = st.CaretLine();
  auto collapseOr = [&](int edge, int moved) {
    if (st.anchor != st.caret && !shift)
      MoveCaret(st, edge, false);
    else
      MoveCaret(st, moved, shift);
  };
  auto verticalTo = [&](int targetLine) {
    targetLine = std::clamp(targetLine, 0, st.LineCount() - 1);
    POINT p = st.PosOf(st.caret, line);
    RECT r = st.TextRect();
    int y = r.Top + (targetLine - st.topLine) * st.lineHeight;
    if (targetLine < st.topLine) st.topLine = targetLine;
    int visible = st.VisibleLines();
    if (targetLine >= st.topLine + visible) st.topLine = targetLine - visible + 1;
    y = r.Top + (targetLine - st.topLine) * st.lineHeight;
    bool rowEnd = false;
    const int pos = st.CharFromPoint(p.X, y + 1, &rowEnd);
    MoveCaret(st, pos, shift, rowEnd);
  };
  switch (key) {
    case VK_LEFT:
      collapseOr(st.SelMin(), ctrl ? WordLeft(st, st.caret) : st.caret - 1);
      break;
    case VK_RIGHT:
      collapseOr(st.SelMax(), ctrl ? WordRight(st, st.caret) : st.caret + 1);
      break;
    case VK_HOME:
      MoveCaret(st, ctrl ? 0 : st.LineStart(line), shift);
      break;
    case VK_END:
      MoveCaret(st, ctrl ? st.Length() : st.LineEnd(line), shift, !ctrl);
      break;
    case VK_UP:
      if (st.Multi())
        verticalTo(line - 1);
      else
        collapseOr(st.SelMin(), st.caret - 1);
      break;
    case VK_DOWN:
      if (st.Multi())
        verticalTo(line + 1);
      else
        collapseOr(st.SelMax(), st.caret + 1);
      break;
    case VK_PRIOR:
      if (st.Multi()) verticalTo(line - st.VisibleLines());
      break;
    case VK_NEXT:
      if (st.Multi()) verticalTo(line + st.VisibleLines());
      break;
    case VK_DELETE:
      if (shift) {
        Copy(st);
        if (!st.passwordChar) ReplaceSel(st, std::u32string(), true, false);
      } else if (st.anchor != st.caret) {
        ReplaceSel(st, std::u32string(), true, false);
      } else if (st.caret < st.Length()) {
        DeleteRange(st, st.caret, ctrl ? WordRight(st, st.caret) : st.caret + 1);
      }
      break;
    case VK_INSERT:
      if (ctrl)
        Copy(st);
      else if (shift)
        Paste(st);
      break;
    default:
      break;
  }
}

void Char(EditState& st, char32_t ch) {
  switch (ch) {
    case 1:  // Ctrl+A
      st.anchor = 0;
      MoveCaret(st, st.Length(), true);
      return;
    case 3:  // Ctrl+C
      Copy(st);
      return;
    case 22:  // Ctrl+V
      Paste(st);
      return;
    case 24:  // Ctrl+X
      Copy(st);
      if (!st.passwordChar) ReplaceSel(st, std::u32string(), true, false);
      return;
    case 26:  // Ctrl+Z
      Undo(st);
      return;
    case 8:    // Backspace
    case 127:  // Ctrl+Backspace
      if (st.ReadOnly()) {
        MessageBeep(0);
      } else if (st.anchor != st.caret) {
        ReplaceSel(st, std::u32string(), true, false);
      } else if (st.caret > 0) {
        DeleteRange(st, ch == 127 ? WordLeft(st, st.caret) : st.caret - 1, st.caret);
      }
      return;
    case 13:
    case 10:
      if (st.Multi()) ReplaceSel(st, U"\n", true, false);
      return;
    case 9:
      if (st.Multi()) ReplaceSel(st, U"\t", true, true);
      return;
    default:
      break;
  }
  if (ch < 32) return;
  if ((st.style & ES_NUMBER) && (ch < '0' || ch > '9')) {
    MessageBeep(0);
    return;
  }
  if (st.ReadOnly()) {
    MessageBeep(0);
    return;
  }
  ReplaceSel(st, std::u32string(1, Folded(st, ch)), true, true);
}

// What the rows in view show, top first.
std::vector<std::u32string> RowsInView(const EditState& st) {
  std::vector<std::u32string> rows;
  const int last = std::min(st.LineCount(), st.topLine + st.VisibleLines() + 1);
  for (int line = st.topLine; line < last; ++line)
    rows.push_back(st.Shown(st.LineStart(line), st.LineEnd(line)));
  return rows;
}

// The band of rows from the first to the last whose text differs between two views from the top,
// across the client area; empty when every row shows the same.
RECT ChangedRows(const EditState& st, const std::vector<std::u32string>& before,
                 const std::vector<std::u32string>& after) {
  int first = -1, last = -1;
  for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
    if (i < before.size() && i < after.size() && before[i] == after[i]) continue;
    if (first < 0) first = static_cast<int>(i);
    last = static_cast<int>(i);
  }
  if (first < 0) return RECT{};
  RECT client;
  GetClientRect(st.hwnd, client);
  const RECT tr = st.TextRect();
  return Rect(client.Left, tr.Top + first * st.lineHeight, client.Right, tr.Top + (last + 1) * st.lineHeight);
}

void SetText(EditState& st, const char* utf8) {
  // A multi-line edit shown from its start, with the caret there and nothing selected, shows the new
  // text the same way: only the rows whose text changes paint anew.
  const bool fromStart = st.Multi() && st.topLine == 0 && st.scrollX == 0 && st.anchor == 0 && st.caret == 0;
  std::vector<std::u32string> before;
  if (fromStart) before = RowsInView(st);
  st.text = GivenText(utf8, st.Multi());
  st.anchor = st.caret = 0;
  st.scrollX = 0;
  st.topLine = 0;
  st.canUndo = false;
  st.typingRun = false;
  st.RebuildLines();
  st.modified = false;
  if (fromStart) {
    const RECT changed = ChangedRows(st, before, RowsInView(st));
    ScrollCaret(st, &changed);
  } else {
    ScrollCaret(st);
  }
  Notify(st, EN_UPDATE);
  Notify(st, EN_CHANGE);
}

int LineArg(const EditState& st, WPARAM w) {
  int line = static_cast<int>(static_cast<std::intptr_t>(w));
  return line < 0 ? st.CaretLine() : line;
}

LRESULT EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCT*>(lParam);
    auto* st = new EditState;
    st->hwnd = hwnd;
    st->style = cs ? cs->style : static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
    st->exStyle = cs ? cs->dwExStyle : static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    st->measure = CreateCompatibleDC(nullptr);
    SelectObject(st->measure, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRIC tm;
    GetTextMetrics(st->measure, tm);
    st->lineHeight = std::max(1, tm.tmHeight);
    if (cs) st->text = GivenText(cs->lpszName.c_str(), st->Multi());
    st->RebuildLines();
    SetProp(hwnd, kEditState, st);
    return DefWindowProc(hwnd, msg, wParam, lParam);
  }
  EditState* stp = StateOf(hwnd);
  if (!stp) return DefWindowProc(hwnd, msg, wParam, lParam);
  ++stp->calls;
  TScopeExit release([stp] {
    if (--stp->calls > 0 || !stp->destroyed) return;
    DeleteDC(stp->measure);
    delete stp;
  });
  EditState& st = *stp;
  switch (msg) {
    case WM_NCDESTROY:
      RemoveProp(hwnd, kEditState);
      st.destroyed = true;
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_STYLECHANGED:
      st.style = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
      st.exStyle = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
      st.RebuildLines();
      InvalidateRect(hwnd, nullptr, false);
      return 0;
    case WM_PAINT:
      Paint(st, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_PRINTCLIENT:
      Paint(st, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      SetFont(st, reinterpret_cast<HFONT>(wParam));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st.font);
    case WM_SIZE:
      if (st.Wraps()) st.RebuildLines();
      ScrollCaret(st);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, false);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (st.Multi() ? DLGC_WANTALLKEYS : 0);
    case WM_SETFOCUS:
      st.focused = true;
      CreateCaret(hwnd, nullptr, 1, st.lineHeight);
      PlaceCaret(st);
      ShowCaret(hwnd);
      InvalidateRect(hwnd, nullptr, false);
      Notify(st, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      st.focused = false;
      st.typingRun = false;
      DestroyCaret();
      InvalidateRect(hwnd, nullptr, false);
      Notify(st, EN_KILLFOCUS);
      return 0;
    case WM_KEYDOWN:
      KeyDown(st, static_cast<WORD>(wParam));
      return 0;
    case WM_CHAR:
      Char(st, static_cast<char32_t>(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      bool rowEnd = false;
      int pos = st.CharFromPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &rowEnd);
      MoveCaret(st, pos, (wParam & MK_SHIFT) != 0, rowEnd);
      st.dragging = true;
      SetCapture(hwnd);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      int pos = st.CharFromPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      int from = pos, to = pos;
      while (from > 0 && IsWordChar(st.text[static_cast<std::size_t>(from) - 1])) --from;
      while (to < st.Length() && IsWordChar(st.text[static_cast<std::size_t>(to)])) ++to;
      st.anchor = from;
      MoveCaret(st, to, true);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (st.dragging) {
        bool rowEnd = false;
        const int pos = st.CharFromPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &rowEnd);
        MoveCaret(st, pos, true, rowEnd);
      }
      return 0;
    case WM_LBUTTONUP:
      if (st.dragging) {
        st.dragging = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      st.dragging = false;
      return 0;
    case WM_MOUSEWHEEL:
      if (!st.Multi()) return DefWindowProc(hwnd, msg, wParam, lParam);
      st.topLine = std::clamp(st.topLine - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3, 0,
                              std::max(0, st.LineCount() - st.VisibleLines()));
      UpdateScrollBars(st);
      InvalidateRect(hwnd, nullptr, false);
      PlaceCaret(st);
      return 0;
    case WM_VSCROLL: {
      st.topLine = ScrollBarTarget(hwnd, SB_VERT, wParam, st.topLine, st.VisibleLines(), st.LineCount());
      UpdateScrollBars(st);
      InvalidateRect(hwnd, nullptr, false);
      PlaceCaret(st);
      return 0;
    }
    case WM_SETTEXT:
      SetText(st, reinterpret_cast<const char*>(lParam));
      return 1;
    case WM_GETTEXT: {
      std::string out = Outgoing(st, 0, st.Length());
      if (lParam) *reinterpret_cast<std::string*>(lParam) = out;
      return static_cast<LRESULT>(out.size());
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(Outgoing(st, 0, st.Length()).size());
    case WM_COPY:
      Copy(st);
      return 0;
    case WM_CUT:
      if (st.passwordChar) return 0;
      Copy(st);
      ReplaceSel(st, std::u32string(), true, false);
      return 0;
    case WM_PASTE:
      Paste(st);
      return 0;
    case WM_CLEAR:
      ReplaceSel(st, std::u32string(), true, false);
      return 0;
    case WM_UNDO:
    case EM_UNDO:
      Undo(st);
      return st.canUndo ? 1 : 0;
    case EM_CANUNDO:
      return st.canUndo ? 1 : 0;
    case EM_EMPTYUNDOBUFFER:
      st.canUndo = false;
      st.typingRun = false;
      return 0;
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(st.SelMin());
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(st.SelMax());
      return MAKELPARAM(std::min(st.SelMin(), 0xFFFF), std::min(st.SelMax(), 0xFFFF));
    case EM_SETSEL: {
      int from = static_cast<int>(static_cast<std::intptr_t>(wParam));
      int to = static_cast<int>(lParam);
      if (from < 0) {
        st.anchor = st.caret;
      } else {
        if (to < 0) to = st.Length();
        st.anchor = std::clamp(from, 0, st.Length());
        st.caret = std::clamp(to, 0, st.Length());
      }
      st.caretTrailsAt = -1;
      st.typingRun = false;
      ScrollCaret(st);
      return 1;
    }
    case EM_REPLACESEL:
      ReplaceSel(st, Utf8ToUtf32(lParam ? reinterpret_cast<const char*>(lParam) : ""), wParam != 0, false);
      return 0;
    case EM_GETMODIFY:
      return st.modified ? 1 : 0;
    case EM_SETMODIFY:
      st.modified = wParam != 0;
      return 0;
    case EM_LIMITTEXT:
      st.limit = static_cast<int>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return st.limit;
    case EM_SETREADONLY: {
      DWORD ws = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
      ws = wParam ? (ws | ES_READONLY) : (ws & ~ES_READONLY);
      SetWindowLongPtr(hwnd, GWL_STYLE, static_cast<std::intptr_t>(ws));
      st.style = ws;
      InvalidateRect(hwnd, nullptr, false);
      return 1;
    }
    case EM_SETPASSWORDCHAR:
      st.passwordChar = st.Multi() ? 0 : static_cast<char32_t>(wParam);
      ScrollCaret(st);
      return 0;
    case EM_GETPASSWORDCHAR:
      return static_cast<LRESULT>(st.passwordChar);
    case EM_GETLINECOUNT:
      return st.LineCount();
    case EM_LINEINDEX: {
      int line = LineArg(st, wParam);
      return line < st.LineCount() ? st.LineStart(line) : -1;
    }
    case EM_LINELENGTH: {
      int pos = static_cast<int>(static_cast<std::intptr_t>(wParam));
      if (pos < 0)
        return st.SelMin() - st.LineStart(st.LineOf(st.SelMin())) + st.LineEnd(st.LineOf(st.SelMax())) -
               st.SelMax();
      if (pos > st.Length()) return 0;
      int line = st.LineOf(pos);
      return st.LineEnd(line) - st.LineStart(line);
    }
    case EM_LINEFROMCHAR: {
      int pos = static_cast<int>(static_cast<std::intptr_t>(wParam));
      return pos < 0 ? st.CaretLine() : st.LineOf(std::min(pos, st.Length()));
    }
    case EM_GETLINE: {
      int line = static_cast<int>(wParam);
      if (line < 0 || line >= st.LineCount()) return 0;
      std::string out =
          Utf32ToUtf8(st.text.substr(static_cast<std::size_t>(st.LineStart(line)),
                                     static_cast<std::size_t>(st.LineEnd(line) - st.LineStart(line))));
      if (lParam) *reinterpret_cast<std::string*>(lParam) = out;
      return st.LineEnd(line) - st.LineStart(line);
    }
    case EM_GETFIRSTVISIBLELINE:
      return st.topLine;
    case EM_LINESCROLL:
      st.scrollX = std::max(0, st.scrollX + static_cast<int>(static_cast<std::intptr_t>(wParam)) * 6);
      if (st.Multi())
        st.topLine = std::clamp(st.topLine + static_cast<int>(lParam), 0, std::max(0, st.LineCount() - 1));
      UpdateScrollBars(st);
      InvalidateRect(hwnd, nullptr, false);
      PlaceCaret(st);
      return 1;
    case EM_SCROLLCARET:
      ScrollCaret(st);
      return 1;
    case EM_GETRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = st.TextRect();
      return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
      st.userRect = lParam != 0;
      if (lParam) st.formatRect = *reinterpret_cast<const RECT*>(lParam);
      if (st.Wraps()) st.RebuildLines();
      if (msg == EM_SETRECT) ScrollCaret(st);
      return 0;
    case EM_SETMARGINS:
      if (wParam & EC_LEFTMARGIN) st.leftMargin = LOWORD(static_cast<std::uintptr_t>(lParam));
      if (wParam & EC_RIGHTMARGIN) st.rightMargin = HIWORD(static_cast<std::uintptr_t>(lParam));
      if (st.Wraps()) st.RebuildLines();
      ScrollCaret(st);
      return 0;
    case EM_POSFROMCHAR: {
      POINT p = st.PosOf(std::clamp(static_cast<int>(wParam), 0, st.Length()));
      return MAKELPARAM(p.X, p.Y);
    }
    case EM_CHARFROMPOS: {
      int pos = st.CharFromPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return MAKELPARAM(pos, st.LineOf(pos));
    }
    default:
      return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

void RegisterEditClass() {
  WNDCLASS wc;
  if (GetClassInfo("EDIT", wc)) return;
  wc.lpszClassName = "EDIT";
  wc.lpfnWndProc = EditWndProc;
  wc.style = CS_DBLCLKS | CS_PARENTDC;
  wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
  RegisterClass(wc);
}

}  // namespace talvik::gui::detail
