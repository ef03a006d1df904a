// The editor's command processor and the commands a read-only editor runs; the selected text and
// the clipboard copy; the word model, bracket matching, token look-up, marks and bookmarks.
#include <algorithm>
#include <cassert>
#include <climits>

#include "editor/CodeEdit.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/Lifetime.h"

namespace {

constexpr char32_t kBrackets[] = U"()[]{}<>";

std::string Utf8Of(std::u32string_view s) {
  return Utf32ToUtf8(s);
}

// Closes the clipboard when the scope ends.
struct TClipboardCloser {
  ~TClipboardCloser() { CloseClipboard(); }
};

}  // namespace

// ------------------------------------------------------------------ command processor

void TCustomCodeEdit::NotifyHookedCommandHandlers(bool afterProcessing, TCodeEditorCommand& command,
                                                  char32_t& aChar, void* data) {
  bool handled = false;
  // a copy: a handler may unregister itself
  std::vector<THookEntry> hooks = hookedCommandHandlers_;
  for (auto& h : hooks) {
    bool each = false;
    h.Event(this, afterProcessing, each, command, aChar, data, h.Data);
    handled = handled || each;
  }
  if (handled) command = ecNone;
}

void TCustomCodeEdit::CommandProcessor(TCodeEditorCommand command, char32_t aChar, void* data) {
  DoOnProcessCommand(command, aChar, data);
  if (command != ecNone && !hookedCommandHandlers_.empty())
    NotifyHookedCommandHandlers(false, command, aChar, data);
  if (command != ecNone && command < ecUserFirst) ExecuteCommand(command, aChar, data);
  if (command != ecNone && !hookedCommandHandlers_.empty())
    NotifyHookedCommandHandlers(true, command, aChar, data);
  DoOnCommandProcessed(command, aChar, data);
}

void TCustomCodeEdit::DoHomeKey(bool selection) {
  TBufferCoord to{1, caretY_};
  if (wordWrapPlugin_) {
    TDisplayCoord d = DisplayXY();
    to = DisplayToBufferPos({1, d.Row});
  }
  if (options_.Contains(eoEnhanceHomeKey) && LineToRow(caretY_) == DisplayY()) {
    const std::u32string& s = Line32(caretY_);
    int first = 0;
    while (first < static_cast<int>(s.size()) &&
           (s[static_cast<size_t>(first)] == U' ' || s[static_cast<size_t>(first)] == U'\t'))
      ++first;
    int target = first + 1;
    if (caretX_ > target || caretX_ == 1)
      to = {target, caretY_};
    else
      to = {1, caretY_};
  }
  MoveCaretAndSelection(blockBegin_ == blockEnd_ ? CaretXY() : blockBegin_, to, selection);
}

void TCustomCodeEdit::DoEndKey(bool selection) {
  TBufferCoord to{LineLength(caretY_) + 1, caretY_};
  if (wordWrapPlugin_ && DisplayY() <= wordWrapPlugin_->RowCount()) {  // a cleared buffer has no rows
    TDisplayCoord d = DisplayXY();
    int rowEnd = std::min(wordWrapPlugin_->GetRowLength(d.Row) + 1, charsInWindow_ + 1);
    to = DisplayToBufferPos({rowEnd, d.Row});
    if (to.Line != caretY_ || RowToLine(d.Row + 1) != caretY_) to = {LineLength(caretY_) + 1, caretY_};
  }
  MoveCaretAndSelection(blockBegin_ == blockEnd_ ? CaretXY() : blockBegin_, to, selection);
  if (wordWrapPlugin_ && BufferToDisplayPos(to).Row != DisplayY()) caretAtEndOfRow_ = true;
}

void TCustomCodeEdit::DoScrollUpDown(int delta) {
  int row = DisplayY();
  if (row < topLine_ || row >= topLine_ + linesInWindow_) return;
  SetTopLine(topLine_ + delta);
  int last = topLine_ + linesInWindow_ - 1;
  if (row > last)
    MoveCaretVert(last - row, false);
  else if (row < topLine_)
    MoveCaretVert(topLine_ - row, false);
  EnsureCursorPosVisible();
}

void TCustomCodeEdit::ExecuteCommand(TCodeEditorCommand command, char32_t aChar, void* data) {
  IncPaintLock();
  struct TUnlock {
    TCustomCodeEdit* e;
    ~TUnlock() { e->DecPaintLock(); }
  } unlock{this};
  bool sel = command >= ecSelLeft && command <= ecSelGotoXY;
  TCodeEditorCommand move = sel ? static_cast<TCodeEditorCommand>(command - ecSelection) : command;
  auto from = [&] { return blockBegin_ == blockEnd_ ? CaretXY() : blockBegin_; };
  if (move >= ecLeft && move <= ecGotoXY) {
    switch (move) {
      case ecLeft:
        MoveCaretHorz(-1, sel);
        break;
      case ecRight:
        MoveCaretHorz(1, sel);
        break;
      case ecUp:
        MoveCaretVert(-1, sel);
        Update();
        break;
      case ecDown:
        MoveCaretVert(1, sel);
        Update();
        break;
      case ecWordLeft:
        MoveCaretAndSelection(from(), PrevWordPos(), sel);
        break;
      case ecWordRight:
        MoveCaretAndSelection(from(), NextWordPos(), sel);
        break;
      case ecLineStart:
        DoHomeKey(sel);
        break;
      case ecLineEnd:
        DoEndKey(sel);
        break;
      case ecPageUp:
      case ecPageDown: {
        int n = linesInWindow_;
        if (options_.Contains(eoHalfPageScroll)) n /= 2;
        if (options_.Contains(eoScrollByOneLess)) --n;
        if (move == ecPageUp) n = -n;
        SetTopLine(topLine_ + n);
        MoveCaretVert(n, sel);
        break;
      }
      case ecPageLeft:
        MoveCaretHorz(-charsInWindow_, sel);
        break;
      case ecPageRight:
        MoveCaretHorz(charsInWindow_, sel);
        break;
      case ecPageTop:
        MoveCaretAndSelection(from(), DisplayToBufferPos({DisplayX(), topLine_}), sel);
        break;
      case ecPageBottom: {
        // a window lower than one row still has its top row as the page's last
        int row = std::min(topLine_ + std::max(linesInWindow_, 1) - 1, std::max(DisplayLineCount(), 1));
        MoveCaretAndSelection(from(), DisplayToBufferPos({DisplayX(), std::max(row, 1)}), sel);
        break;
      }
      case ecEditorTop:
        MoveCaretAndSelection(from(), {1, 1}, sel);
        break;
      case ecEditorBottom: {
        int last = std::max(lines_->Count(), 1);
        MoveCaretAndSelection(from(), {LineLength(last) + 1, last}, sel);
        break;
      }
      case ecGotoXY:
        if (data) MoveCaretAndSelection(from(), *static_cast<TBufferCoord*>(data), sel);
        break;
      default:
        break;
    }
    return;
  }
  if (ExecuteEditingCommand(command, aChar, data)) return;
  switch (command) {
    case ecSelectAll:
      SelectAll();
      break;
    case ecCopy:
      CopyToClipboard();
      break;
    case ecScrollUp:
      DoScrollUpDown(-1);
      break;
    case ecScrollDown:
      DoScrollUpDown(1);
      break;
    case ecScrollLeft:
      SetLeftChar(leftChar_ - 1);
      Update();
      break;
    case ecScrollRight:
      SetLeftChar(leftChar_ + 1);
      Update();
      break;
    case ecInsertMode:
      SetInsertMode(true);
      break;
    case ecOverwriteMode:
      SetInsertMode(false);
      break;
    case ecToggleMode:
      SetInsertMode(!insertMode_);
      break;
    case ecNormalSelect:
      SetSelectionMode(smNormal);
      break;
    case ecColumnSelect:
      SetSelectionMode(smColumn);
      break;
    case ecLineSelect:
      SetSelectionMode(smLine);
      break;
    case ecMatchBracket:
      FindMatchingBracket();
      break;
    case ecContextHelp:
      InvokeEvent(OnContextHelp, this, GetWordAtCursor());
      break;
    default:
      if (command >= ecGotoMarker0 && command <= ecGotoMarker9) {
        if (bookMarkOpt_->EnableKeys()) GotoBookMark(command - ecGotoMarker0);
      } else if (command >= ecSetMarker0 && command <= ecSetMarker9) {
        if (bookMarkOpt_->EnableKeys()) {
          int n = command - ecSetMarker0;
          TBufferCoord at = data ? *static_cast<TBufferCoord*>(data) : CaretXY();
          if (bookmarks_[static_cast<size_t>(n)]) {
            bool sameLine = bookmarks_[static_cast<size_t>(n)]->Line() == at.Line;
            ClearBookMark(n);
            if (!sameLine) SetBookMark(n, at.Char, at.Line);
          } else {
            SetBookMark(n, at.Char, at.Line);
          }
        }
      }
      // the editing commands change text and come with the editing part of the control; the
      // others (focus, comment block, string, auto-completion) have no effect here
      break;
  }
}

// ------------------------------------------------------------------ selected text and copy

void TCustomCodeEdit::SelectAll() {
  int last = std::max(lines_->Count(), 1);
  TBufferCoord end{LineLength(last) + 1, last};
  SetCaretAndSelection(end, {1, 1}, end);
}

std::string TCustomCodeEdit::SelText() const {
  return SelTextEx(selectionMode_, options_.Contains(eoTrimTrailingSpaces));
}

std::string TCustomCodeEdit::SelTextEx(TCodeSelectionMode mode, bool trimTrailing) const {
  std::u32string out;
  const std::vector<std::u32string> lines = SelectedLines(mode, trimTrailing);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += U"\r\n";
    out += lines[i];
  }
  return Utf8Of(out);
}

std::string TCustomCodeEdit::UndoText(TCodeSelectionMode mode) const {
  // the pieces go into the text as JoinUndoLines puts lines, straight from the buffer
  size_t size = 0;
  ForEachSelectedPiece(mode, true, [&](std::u32string_view text, size_t) { size += text.size() + 2; });
  std::string out;
  out.reserve(size);
  bool first = true;
  ForEachSelectedPiece(mode, true, [&](std::u32string_view text, size_t padding) {
    assert(padding == 0);  // trimmed: a column block's pieces are not padded
    (void)padding;
    if (!first) out += "\r\n";
    first = false;
    AppendUndoLine(out, text);
  });
  return out;
}

namespace {

// The characters `from` to `to` (0-based, `to` excluded) of a line, cut to the line.
std::u32string_view Slice(std::u32string_view line, int from, int to) {
  const int size = static_cast<int>(line.size());
  from = std::clamp(from, 0, size);
  to = std::clamp(to, 0, size);
  return to > from ? line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from))
                   : std::u32string_view();
}

}  // namespace

template <typename F>
void TCustomCodeEdit::ForEachSelectedPiece(TCodeSelectionMode mode, bool trimTrailing, F&& piece) const {
  if (!SelAvail()) return;
  const TBufferCoord b = BlockBegin(), e = BlockEnd();
  const int count = lines_->Count();
  switch (mode) {
    case smNormal:
      if (b.Line == e.Line) {
        piece(Slice(Line32(b.Line), b.Char - 1, e.Char - 1), 0);
      } else {
        const std::u32string& first = Line32(b.Line);
        piece(Slice(first, b.Char - 1, static_cast<int>(first.size())), 0);
        for (int l = b.Line + 1; l < e.Line; ++l) piece(std::u32string_view(Line32(l)), 0);
        piece(Slice(Line32(e.Line), 0, e.Char - 1), 0);
      }
      break;
    case smLine: {
      const int last = std::min(e.Line, count);
      for (int l = b.Line; l <= last; ++l) piece(std::u32string_view(Line32(l)), 0);
      // a line end follows the last selected line unless it is the buffer's last
      if (b.Line <= last && (last < e.Line || last < count)) piece(std::u32string_view(), 0);
      break;
    }
    case smColumn: {
      const int lo = std::min(b.Char, e.Char), hi = std::max(b.Char, e.Char);
      for (int l = b.Line; l <= e.Line; ++l) {
        const std::u32string_view s = Slice(Line32(l), lo - 1, hi - 1);
        // a piece that ends short of the block's right edge is padded to it
        const size_t padding = trimTrailing ? 0 : static_cast<size_t>(hi - lo) - s.size();
        piece(s, padding);
      }
      break;
    }
  }
}

// The selected text as lines, each as the buffer holds it: in line mode an empty last piece stands
// for the line end after the last selected line.
std::vector<std::u32string> TCustomCodeEdit::SelectedLines(TCodeSelectionMode mode, bool trimTrailing) const {
  std::vector<std::u32string> out;
  ForEachSelectedPiece(mode, trimTrailing, [&](std::u32string_view text, size_t padding) {
    std::u32string& line = out.emplace_back();
    line.reserve(text.size() + padding);
    line.append(text);
    line.append(padding, U' ');
  });
  return out;
}

int TCustomCodeEdit::SelStart() const {
  TBufferCoord b = BlockBegin();
  int64_t pos = 0;
  for (int l = 1; l < b.Line && l <= lines_->Count(); ++l) pos += LineLength(l) + 2;
  return static_cast<int>(pos + b.Char);
}

int TCustomCodeEdit::SelLength() const {
  // counted as SelText would come out (pieces joined by CR LF), without building it: a line's code
  // point is one character of the text
  int64_t length = 0;
  int64_t pieces = 0;
  ForEachSelectedPiece(selectionMode_, options_.Contains(eoTrimTrailingSpaces),
                       [&](std::u32string_view text, size_t padding) {
                         length += static_cast<int64_t>(text.size() + padding);
                         ++pieces;
                       });
  if (pieces > 1) length += 2 * (pieces - 1);
  return static_cast<int>(std::min<int64_t>(length, INT_MAX));
}

void TCustomCodeEdit::CopyToClipboard() {
  if (!SelAvail()) return;
  std::string text =
      SelTextEx(selectionMode_, selectionMode_ == smColumn ? false : options_.Contains(eoTrimTrailingSpaces));
  if (text.empty()) return;
  bool ok = false;
  if (OpenClipboard(HandleAllocated() ? Handle() : nullptr)) {
    TClipboardCloser closer;
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, text)) {
      std::string block;
      block.reserve(text.size() + 2);
      block.push_back(static_cast<char>(selectionMode_));
      block += text;
      block.push_back('\0');
      ok = SetClipboardData(CodeEditClipboardFormat(), block);
    }
  }
  if (!ok) throw ECodeEditError("Clipboard copy operation failed");
}

// ------------------------------------------------------------------ words

TCodeCharSet TCustomCodeEdit::IdentChars() const {
  if (highlighter_) return highlighter_->GetIdentChars();
  TCodeCharSet s = TCodeCharSet::Range(33, 255);
  s.SetHighChars(TCodeCharSet::hcLetters);
  return s;
}

bool TCustomCodeEdit::IsIdentChar(char32_t c) const {
  return IdentChars().Contains(c);
}

bool TCustomCodeEdit::IsWordChar(char32_t c) const {
  if (highlighter_)
    return highlighter_->GetIdentChars().Contains(c) && !highlighter_->WordBreakChars().Contains(c);
  // digits, Latin and Unicode letters and the underscore, less the word breaks
  static const TCodeCharSet breaks(U"!\"'()*+,-./:;=?[\\]^{|}");
  if (c < 256) {
    bool ident = (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || c == U'_' ||
                 (c >= U'a' && c <= U'z') || (c >= 192 && c != 215 && c != 247);
    return ident && !breaks.Contains(c);
  }
  return IsUnicodeWordChar(c);
}

TBufferCoord TCustomCodeEdit::NextWordPosEx(const TBufferCoord& xy) const {
  if (xy.Line < 1 || xy.Line > lines_->Count()) return xy;
  const std::u32string& s = Line32(xy.Line);
  int len = static_cast<int>(s.size());
  int cx = xy.Char;
  if (cx <= len) {
    int i = cx - 1;
    if (IsWordChar(s[static_cast<size_t>(i)]))
      while (i < len && IsWordChar(s[static_cast<size_t>(i)])) ++i;
    while (i < len && !IsWordChar(s[static_cast<size_t>(i)])) ++i;
    return {i + 1, xy.Line};
  }
  if (xy.Line < lines_->Count()) {
    const std::u32string& n = Line32(xy.Line + 1);
    int i = 0;
    while (i < static_cast<int>(n.size()) && !IsWordChar(n[static_cast<size_t>(i)])) ++i;
    return {i + 1, xy.Line + 1};
  }
  return xy;
}

TBufferCoord TCustomCodeEdit::WordStartEx(const TBufferCoord& xy) const {
  if (xy.Line < 1 || xy.Line > lines_->Count()) return xy;
  const std::u32string& s = Line32(xy.Line);
  int cx = std::min(xy.Char, static_cast<int>(s.size()) + 1);
  if (cx > 1 && IsWordChar(s[static_cast<size_t>(cx - 2)])) {
    int i = cx - 2;
    while (i > 0 && IsWordChar(s[static_cast<size_t>(i - 1)])) --i;
    cx = i + 1;
  }
  return {cx, xy.Line};
}

TBufferCoord TCustomCodeEdit::WordEndEx(const TBufferCoord& xy) const {
  if (xy.Line < 1 || xy.Line > lines_->Count()) return xy;
  const std::u32string& s = Line32(xy.Line);
  int i = std::max(xy.Char - 1, 0);
  while (i < static_cast<int>(s.size()) && IsWordChar(s[static_cast<size_t>(i)])) ++i;
  return {std::min(i, static_cast<int>(s.size())) + 1, xy.Line};
}

TBufferCoord TCustomCodeEdit::PrevWordPosEx(const TBufferCoord& xy) const {
  if (xy.Line < 1 || xy.Line > lines_->Count()) return xy;
  const std::u32string& s = Line32(xy.Line);
  int cx = std::min(xy.Char, static_cast<int>(s.size()) + 1);
  if (cx > 1) {
    int i = cx - 1;  // characters before the position: [0, i)
    if (!IsWordChar(s[static_cast<size_t>(i - 1)]))
      while (i > 0 && !IsWordChar(s[static_cast<size_t>(i - 1)])) --i;
    if (i == 0) {
      if (xy.Line > 1) return {LineLength(xy.Line - 1) + 1, xy.Line - 1};
      return {1, xy.Line};
    }
    while (i > 0 && IsWordChar(s[static_cast<size_t>(i - 1)])) --i;
    return {i + 1, xy.Line};
  }
  if (xy.Line > 1) return {LineLength(xy.Line - 1) + 1, xy.Line - 1};
  return xy;
}

std::string TCustomCodeEdit::GetWordAtCursor() const {
  return GetWordAtRowCol(CaretXY());
}

std::string TCustomCodeEdit::GetWordAtRowCol(const TBufferCoord& xy) const {
  TBufferCoord a = WordStartEx(xy), b = WordEndEx(xy);
  if (a.Line != b.Line || b.Char <= a.Char || xy.Line < 1 || xy.Line > lines_->Count()) return std::string();
  const std::u32string& s = Line32(xy.Line);
  return Utf8Of(
      std::u32string_view(s).substr(static_cast<size_t>(a.Char - 1), static_cast<size_t>(b.Char - a.Char)));
}

void TCustomCodeEdit::SetWordBlock(TBufferCoord value) {
  value.Line = std::clamp(value.Line, 1, std::max(lines_->Count(), 1));
  value.Char = std::max(value.Char, 1);
  const std::u32string& s = Line32(value.Line);
  int len = static_cast<int>(s.size());
  if (value.Char > len) {
    SetCaretXY({len + 1, value.Line});
    return;
  }
  // the word around the position: letters and digits while they are identifier characters, other
  // kinds while their kind is the starting character's
  TCodeCharSet ident = IdentChars();
  auto kind = [&](char32_t c) { return CharClassFromType3(GetCharType3(c)); };
  auto isLetterKind = [&](char32_t c) {
    return IsUnicodeWordChar(c) || (c < 128 && std::isalnum(static_cast<int>(c)));
  };
  char32_t start = s[static_cast<size_t>(value.Char - 1)];
  bool letters = isLetterKind(start) && ident.Contains(start);
  int startKind = kind(start);
  auto extends = [&](char32_t c) {
    if (letters) return isLetterKind(c) && ident.Contains(c);
    return !isLetterKind(c) && kind(c) == startKind;
  };
  int a = value.Char - 1, b = value.Char - 1;
  while (a > 0 && extends(s[static_cast<size_t>(a - 1)])) --a;
  while (b < len && extends(s[static_cast<size_t>(b)])) ++b;
  TBufferCoord begin{a + 1, value.Line}, end{b + 1, value.Line};
  SetCaretAndSelection(end, begin, end);
  InvalidateLine(value.Line);
  StatusChanged(scSelection);
}

// ------------------------------------------------------------------ tokens and brackets

bool TCustomCodeEdit::GetHighlighterAttriAtRowCol(const TBufferCoord& xy, std::string& token,
                                                  TCodeHighlighterAttributes*& attri) {
  int kind = 0, start = 0;
  return GetHighlighterAttriAtRowColEx(xy, token, kind, start, attri);
}

bool TCustomCodeEdit::GetHighlighterAttriAtRowColEx(const TBufferCoord& xy, std::string& token,
                                                    int& tokenType, int& start,
                                                    TCodeHighlighterAttributes*& attri) {
  token.clear();
  attri = nullptr;
  tokenType = 0;
  start = 0;
  if (!highlighter_ || xy.Line < 1 || xy.Line > lines_->Count()) return false;
  if (xy.Line == 1)
    highlighter_->ResetRange();
  else
    highlighter_->SetRange(lines_->Ranges(xy.Line - 2));
  const std::u32string& s = Line32(xy.Line);
  highlighter_->SetLine(s, xy.Line - 1);
  while (!highlighter_->GetEol()) {
    int pos = highlighter_->GetTokenPos() + 1;
    int len = highlighter_->GetTokenLen();
    if (xy.Char >= pos && xy.Char < pos + len) {
      token = highlighter_->GetToken();
      tokenType = highlighter_->GetTokenKind();
      start = pos;
      attri = highlighter_->GetTokenAttribute();
      return true;
    }
    highlighter_->Next();
  }
  return false;
}

TBufferCoord TCustomCodeEdit::GetMatchingBracketEx(const TBufferCoord& pos) {
  if (pos.Line < 1 || pos.Line > lines_->Count()) return {0, 0};
  const std::u32string& line = Line32(pos.Line);
  if (pos.Char < 1 || pos.Char > static_cast<int>(line.size())) return {0, 0};
  char32_t c = line[static_cast<size_t>(pos.Char - 1)];
  int index = -1;
  for (int i = 0; i < 8; ++i)
    if (kBrackets[i] == c) index = i;
  if (index < 0) return {0, 0};
  char32_t partner = kBrackets[index ^ 1];
  bool forward = (index % 2) == 0;
  TCodeHighlighterAttributes* stringAttr = highlighter_ ? highlighter_->GetDefaultAttribute(3) : nullptr;
  TCodeHighlighterAttributes* commentAttr = highlighter_ ? highlighter_->GetDefaultAttribute(0) : nullptr;
  // the token spans of one line at a time, so each bracket's token costs no rescan
  int cachedLine = 0;
  std::vector<std::pair<int, TCodeHighlighterAttributes*>>
      spans;  // token end (exclusive, 1-based), attribute
  auto counts = [&](int line, int ch) {
    if (!highlighter_) return true;
    if (line != cachedLine) {
      cachedLine = line;
      spans.clear();
      if (line == 1)
        highlighter_->ResetRange();
      else
        highlighter_->SetRange(lines_->Ranges(line - 2));
      highlighter_->SetLine(Line32(line), line - 1);
      while (!highlighter_->GetEol()) {
        spans.emplace_back(highlighter_->GetTokenPos() + 1 + highlighter_->GetTokenLen(),
                           highlighter_->GetTokenAttribute());
        highlighter_->Next();
      }
    }
    auto it = std::upper_bound(spans.begin(), spans.end(), ch,
                               [](int v, const auto& span) { return v < span.first; });
    if (it == spans.end()) return true;
    return it->second != stringAttr && it->second != commentAttr;
  };
  int level = 1;
  int l = pos.Line, ch = pos.Char;
  for (;;) {
    if (forward) {
      ++ch;
      while (l <= lines_->Count() && ch > LineLength(l)) {
        ++l;
        ch = 1;
      }
      if (l > lines_->Count()) break;
    } else {
      --ch;
      while (l >= 1 && ch < 1) {
        --l;
        if (l >= 1) ch = LineLength(l);
      }
      if (l < 1) break;
    }
    char32_t x = Line32(l)[static_cast<size_t>(ch - 1)];
    if (x != c && x != partner) continue;
    if (!counts(l, ch)) continue;
    level += x == c ? 1 : -1;
    if (level == 0) return {ch, l};
  }
  return {0, 0};
}

void TCustomCodeEdit::FindMatchingBracket() {
  TBufferCoord p = GetMatchingBracket();
  // without a match the caret stays where the user left it
  if (p.Char > 0 && p.Line > 0) SetCaretXY(p);
}

// ------------------------------------------------------------------ marks and bookmarks

TCodeEditMark::TCodeEditMark(TCustomCodeEdit* owner) : edit_(owner) {}

TCustomCodeEdit* TCodeEditMark::GetEdit() {
  if (edit_ && !edit_->Marks()->Contains(this)) edit_ = nullptr;
  return edit_;
}

void TCodeEditMark::RepaintLine(int line) {
  if (visible_ && edit_ && line > 0) edit_->InvalidateGutterLines(line, line);
}

void TCodeEditMark::SetLine(int value) {
  if (visible_ && edit_) {
    RepaintLine(line_);
    line_ = value;
    RepaintLine(line_);
  } else {
    line_ = value;
  }
}

void TCodeEditMark::SetImageIndex(int value) {
  imageIndex_ = value;
  RepaintLine(line_);
}

void TCodeEditMark::SetInternalImage(bool value) {
  internalImage_ = value;
  RepaintLine(line_);
}

void TCodeEditMark::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  if (edit_) edit_->InvalidateGutterLines(line_, line_);
}

TCodeEditMarkList::~TCodeEditMarkList() {
  for (TCodeEditMark* m : items_) delete m;
}

void TCodeEditMarkList::Add(TCodeEditMark* item) {
  items_.push_back(item);
  InvokeEvent(OnChange, this);
}

void TCodeEditMarkList::Remove(TCodeEditMark* item) {
  std::erase(items_, item);
  InvokeEvent(OnChange, this);
}

bool TCodeEditMarkList::Contains(const TCodeEditMark* item) const {
  return std::find(items_.begin(), items_.end(), item) != items_.end();
}

void TCodeEditMarkList::GetMarksForLine(int line, TCodeEditMarks& marks) const {
  marks.fill(nullptr);
  size_t n = 0;
  for (TCodeEditMark* m : items_) {
    if (m->Line() != line) continue;
    marks[n++] = m;
    if (n == marks.size()) break;
  }
}

void TCustomCodeEdit::SetBookMark(int bookmark, int x, int y) {
  if (bookmark < 0 || bookmark > 9) return;
  if (y < 1 || y > std::max(1, lines_->Count())) return;
  auto* mark = new TCodeEditMark(this);
  mark->SetLine(y);
  mark->SetColumn(x);
  mark->SetImageIndex(bookmark);
  mark->SetBookmarkNumber(bookmark);
  mark->SetVisible(true);
  mark->SetInternalImage(bookMarkOpt_->BookmarkImages() == nullptr);
  TCodeEditMark* placed = mark;
  DoOnPlaceBookmark(placed);
  if (placed != mark) delete mark;
  if (!placed) return;
  if (bookmarks_[static_cast<size_t>(bookmark)]) ClearBookMark(bookmark);
  bookmarks_[static_cast<size_t>(bookmark)] = placed;
  markList_->Add(placed);
}

void TCustomCodeEdit::ClearBookMark(int bookmark) {
  if (bookmark < 0 || bookmark > 9) return;
  TCodeEditMark* mark = bookmarks_[static_cast<size_t>(bookmark)];
  if (!mark) return;
  // the handler may hand back another mark to take out and free in its place, or none: the mark
  // then stays in the mark list (which owns it), no longer as bookmark n
  TCodeEditMark* passed = mark;
  DoOnClearBookmark(passed);
  bookmarks_[static_cast<size_t>(bookmark)] = nullptr;
  if (!passed) return;
  for (auto& b : bookmarks_)
    if (b == passed) b = nullptr;
  markList_->Remove(passed);
  delete passed;
}

void TCustomCodeEdit::GotoBookMark(int bookmark) {
  if (bookmark < 0 || bookmark > 9) return;
  TCodeEditMark* mark = bookmarks_[static_cast<size_t>(bookmark)];
  if (!mark || mark->Line() > lines_->Count()) return;
  IncPaintLock();
  MoveCaretTo(false, {mark->Column(), mark->Line()});
  EnsureCursorPosVisibleEx(true);
  if (SelAvail()) InvalidateSelection();
  blockBegin_ = blockEnd_ = CaretXY();
  DecPaintLock();
}

bool TCustomCodeEdit::GetBookMark(int bookmark, int& x, int& y) const {
  if (bookmark < 0 || bookmark > 9 || !bookmarks_[static_cast<size_t>(bookmark)]) return false;
  x = bookmarks_[static_cast<size_t>(bookmark)]->Column();
  y = bookmarks_[static_cast<size_t>(bookmark)]->Line();
  return true;
}

bool TCustomCodeEdit::IsBookmark(int bookmark) const {
  return bookmark >= 0 && bookmark <= 9 && bookmarks_[static_cast<size_t>(bookmark)] != nullptr;
}
