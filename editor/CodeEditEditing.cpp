// The editor's text-changing commands: typing, deleting, line breaks, tabs, case changes, cut and
// paste, with every change recorded for undo; and undo and redo themselves.
#include <algorithm>
#include <climits>
#include <utility>

#include "editor/CodeEdit.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/ScopeExit.h"

namespace {

std::string U8(std::u32string_view s) {
  return Utf32ToUtf8(s);
}

// A text given as its lines holds something: more than one line, or one that is not empty.
bool HasText(const std::vector<std::u32string>& lines) {
  return lines.size() > 1 || (lines.size() == 1 && !lines[0].empty());
}

std::u32string TrimTrailing(std::u32string s) {
  while (!s.empty() && (s.back() == U' ' || s.back() == U'\t')) s.pop_back();
  return s;
}

bool IsBlank(char32_t c) {
  return c == U' ' || c == U'\t';
}

}  // namespace

// ------------------------------------------------------------------ shared rules

void TCustomCodeEdit::ProperSetLine(int index, std::u32string text) {
  if (TrimsTrailing()) text = TrimTrailing(std::move(text));
  lines_->PutU32(index, std::move(text));
}

int TCustomCodeEdit::LeftSpaces(std::u32string_view line, bool expandTabs) const {
  if (!options_.Contains(eoAutoIndent)) return 0;
  int n = 0;
  for (char32_t c : line) {
    if (c < 1 || c > 32) break;
    n += (c == U'\t' && expandTabs) ? tabWidth_ : 1;
  }
  return n;
}

std::u32string TCustomCodeEdit::GetLeftSpacing(int width, bool allowTabs) const {
  if (allowTabs && !options_.Contains(eoTabsToSpaces) && width >= tabWidth_)
    return std::u32string(static_cast<size_t>(width / tabWidth_), U'\t') +
           std::u32string(static_cast<size_t>(width % tabWidth_), U' ');
  return std::u32string(static_cast<size_t>(std::max(width, 0)), U' ');
}

void TCustomCodeEdit::PadLineRecorded(int line, int toChar) {
  std::u32string s = Line32(line);
  int len = static_cast<int>(s.size());
  if (len >= toChar - 1) return;
  s.append(static_cast<size_t>(toChar - 1 - len), U' ');
  lines_->PutU32(line - 1, s);
  undoList_->AddChange(ucWhiteSpaceAdd, {len + 1, line}, {toChar, line}, std::string(), smNormal);
}

void TCustomCodeEdit::EnsureLine() {
  if (lines_->Count() == 0) lines_->Add(std::string());
}

// ------------------------------------------------------------------ inserting text in a mode

void TCustomCodeEdit::DeleteSelectionPrimitive() {
  if (!SelAvail()) return;
  // the rows of the block paint again: a line the block covers past its end keeps its text
  InvalidateSelection();
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  switch (selectionMode_) {
    case smNormal: {
      std::u32string first = Line32(b.Line), last = Line32(e.Line);
      std::u32string head = first.substr(0, std::min(static_cast<size_t>(b.Char - 1), first.size()));
      std::u32string tail =
          static_cast<size_t>(e.Char - 1) < last.size() ? last.substr(static_cast<size_t>(e.Char - 1)) : U"";
      // the blanks that end the tail stay: they are not part of the removed text that an undo puts
      // back, so cutting them could not be undone
      std::u32string joined = head + tail;
      lines_->PutU32(b.Line - 1, joined);
      if (e.Line > b.Line) {
        lines_->DeleteLines(b.Line, e.Line - b.Line);
        DoLinesDeleted(b.Line + 1, e.Line - b.Line);
      }
      blockBegin_ = blockEnd_ = b;
      caretX_ = b.Char;
      caretY_ = b.Line;
      break;
    }
    case smLine: {
      int first = b.Line, last = std::min(e.Line, lines_->Count());
      if (last == lines_->Count()) {
        if (last > first) lines_->DeleteLines(first - 1, last - first);
        lines_->PutU32(first - 1, U"");
      } else {
        lines_->DeleteLines(first - 1, last - first + 1);
      }
      DoLinesDeleted(first, last - first + 1);
      blockBegin_ = blockEnd_ = {1, first};
      caretX_ = 1;
      caretY_ = std::min(first, std::max(lines_->Count(), 1));
      break;
    }
    case smColumn: {
      int lo = std::min(b.Char, e.Char), hi = std::max(b.Char, e.Char);
      for (int l = b.Line; l <= e.Line; ++l) {
        std::u32string s = Line32(l);
        if (static_cast<int>(s.size()) >= lo) {
          // what follows the block keeps its blanks, for the undo to find the line as it was
          s.erase(static_cast<size_t>(lo - 1), static_cast<size_t>(hi - lo));
          lines_->PutU32(l - 1, s);
        }
      }
      blockBegin_ = blockEnd_ = {lo, b.Line};
      caretX_ = lo;
      caretY_ = b.Line;
      break;
    }
  }
}

TBufferCoord TCustomCodeEdit::SetSelTextPrimitive(TCodeSelectionMode mode, std::u32string_view text,
                                                  bool recordPieces) {
  return SetSelLinesPrimitive(mode, SplitTextLines(text), recordPieces);
}

TBufferCoord TCustomCodeEdit::PutBackText(TCodeSelectionMode mode, const std::string& undoText) {
  return SetSelLinesPrimitive(mode, SplitUndoLines(undoText), false);
}

TBufferCoord TCustomCodeEdit::SetSelLinesPrimitive(TCodeSelectionMode mode, std::vector<std::u32string> parts,
                                                   bool recordPieces) {
  IncPaintLock();
  lines_->BeginUpdate();
  TScopeExit done{[this] {
    lines_->EndUpdate();
    DecPaintLock();
  }};
  DeleteSelectionPrimitive();
  if (HasText(parts)) {
    EnsureLine();
    int line = caretY_;
    int addedLines = 0;
    switch (mode) {
      case smNormal: {
        if (recordPieces) PadLineRecorded(line, caretX_);
        std::u32string s = Line32(line);
        if (static_cast<int>(s.size()) < caretX_ - 1)
          s.append(static_cast<size_t>(caretX_ - 1) - s.size(), U' ');
        std::u32string head = s.substr(0, static_cast<size_t>(caretX_ - 1));
        std::u32string tail = s.substr(static_cast<size_t>(caretX_ - 1));
        if (parts.size() == 1) {
          lines_->PutU32(line - 1, head + parts[0] + tail);
          caretX_ = static_cast<int>(head.size() + parts[0].size()) + 1;
        } else {
          // trailing blanks are cut from the inserted text only: the head and the tail were there
          // before, and the undo of an insertion puts back nothing but the inserted range
          lines_->PutU32(line - 1, head + (TrimsTrailing() ? TrimTrailing(parts[0]) : parts[0]));
          for (size_t i = 1; i + 1 < parts.size(); ++i)
            lines_->InsertU32(line - 1 + static_cast<int>(i), parts[i]);
          std::u32string last =
              tail.empty() && TrimsTrailing() ? TrimTrailing(parts.back()) : parts.back() + tail;
          lines_->InsertU32(line - 1 + static_cast<int>(parts.size()) - 1, last);
          addedLines = static_cast<int>(parts.size()) - 1;
          caretY_ = line + addedLines;
          caretX_ = static_cast<int>(parts.back().size()) + 1;
        }
        if (addedLines > 0) DoLinesInserted(line + 1, addedLines);
        break;
      }
      case smLine: {
        // whole lines, put in before the caret's line
        caretX_ = 1;
        bool endsWithBreak = parts.size() > 1 && parts.back().empty();
        if (endsWithBreak) parts.pop_back();
        // lines cut from the end of the text left their last line empty: the last piece goes back there
        bool intoEmptyLast = !endsWithBreak && line == lines_->Count() && Line32(line).empty();
        for (size_t i = 0; i < parts.size(); ++i) {
          std::u32string piece = TrimsTrailing() ? TrimTrailing(parts[i]) : parts[i];
          if (intoEmptyLast && i + 1 == parts.size()) {
            lines_->PutU32(line - 1 + static_cast<int>(i), piece);
            caretX_ = static_cast<int>(piece.size()) + 1;
          } else {
            lines_->InsertU32(line - 1 + static_cast<int>(i), piece);
            ++addedLines;
          }
        }
        caretY_ = line + static_cast<int>(parts.size()) - (intoEmptyLast ? 1 : 0);
        if (addedLines > 0) DoLinesInserted(line, addedLines);
        break;
      }
      case smColumn: {
        int col = caretX_;
        for (size_t i = 0; i < parts.size(); ++i) {
          int l = line + static_cast<int>(i);
          if (l > lines_->Count()) {
            int prev = lines_->Count();
            lines_->Add(std::string());
            ++addedLines;
            if (recordPieces)
              undoList_->AddChange(ucLineBreak, {LineLength(prev) + 1, prev}, {1, prev + 1}, std::string(),
                                   smNormal);
          }
          if (parts[i].empty()) {  // nothing goes in: the line is not padded either
            caretY_ = l;
            caretX_ = col;
            continue;
          }
          if (recordPieces) PadLineRecorded(l, col);
          std::u32string s = Line32(l);
          if (static_cast<int>(s.size()) < col - 1) s.append(static_cast<size_t>(col - 1) - s.size(), U' ');
          s.insert(static_cast<size_t>(col - 1), parts[i]);
          lines_->PutU32(l - 1, s);
          if (recordPieces)
            undoList_->AddChange(ucPaste, {col, l}, {col + static_cast<int>(parts[i].size()), l},
                                 std::string(), smColumn);
          caretY_ = l;
          caretX_ = col + static_cast<int>(parts[i].size());
        }
        if (addedLines > 0) DoLinesInserted(line + static_cast<int>(parts.size()) - addedLines, addedLines);
        break;
      }
    }
  }
  const TBufferCoord end = CaretXY();
  caretX_ = caretY_ = 0;  // force the setter to place and report it
  SetCaretXY(end);
  if (caretY_ < 1) SetCaretXY({caretX_, 1});
  blockBegin_ = blockEnd_ = CaretXY();
  statusChanges_ |= scSelection;
  return end;
}

void TCustomCodeEdit::SetSelText(const std::string& value) {
  ReplaceSelection(SplitTextLines(Utf8ToUtf32(value)));
}

void TCustomCodeEdit::ReplaceSelection(const std::vector<std::u32string>& lines) {
  if (ReadOnly()) return;
  TCodeSelectionMode mode = selectionMode_;
  IncPaintLock();
  undoList_->BeginBlock();
  TScopeExit end{[this] {
    undoList_->EndBlock();
    DecPaintLock();
  }};
  if (SelAvail()) undoList_->AddChange(ucDelete, BlockBegin(), BlockEnd(), UndoText(mode), mode);
  DeleteSelectionPrimitive();
  InsertTextRecorded(lines, ucInsert);
}

void TCustomCodeEdit::InsertTextRecorded(const std::vector<std::u32string>& lines, uint8_t kind) {
  TCodeSelectionMode mode = selectionMode_;
  TBufferCoord start = mode == smLine ? TBufferCoord{1, caretY_} : CaretXY();
  // the padding of a short line and the pieces of a block are recorded as they go in
  const TBufferCoord end = SetSelLinesPrimitive(mode, lines, true);
  if (HasText(lines)) RecordInserted(kind, start, end, mode);
}

// The record of a text inserted in normal or line mode from `start` to `end` (where it really
// ends, wherever the caret could follow); a column block recorded its pieces itself.
void TCustomCodeEdit::RecordInserted(uint8_t kind, const TBufferCoord& start, const TBufferCoord& end,
                                     TCodeSelectionMode mode) {
  if (mode == smNormal) {
    undoList_->AddChange(kind, start, end, std::string(), mode);
  } else if (mode == smLine) {
    // an end in column 1 stands on the line after the inserted ones
    TBufferCoord last = end.Char == 1 ? TBufferCoord{1, end.Line - 1} : end;
    undoList_->AddChange(kind, start, last, std::string(), mode);
  }
}

void TCustomCodeEdit::ClearSelection() {
  if (SelAvail()) SetSelText(std::string());
}

void TCustomCodeEdit::ClearAll() {
  lines_->Clear();
  while (markList_->Count() > 0) {
    TCodeEditMark* m = markList_->Items(0);
    markList_->Remove(m);
    for (auto& b : bookmarks_)
      if (b == m) b = nullptr;
    delete m;
  }
  undoList_->Clear();
  redoList_->Clear();
  SetModified(false);
}

// ------------------------------------------------------------------ clipboard

bool TCustomCodeEdit::CanPaste() {
  return !ReadOnly() &&
         (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CodeEditClipboardFormat()));
}

void TCustomCodeEdit::CutToClipboard() {
  if (ReadOnly() || !SelAvail()) return;
  CopyToClipboard();
  IncPaintLock();
  TScopeExit unlockPaint{[this] { DecPaintLock(); }};
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  std::string text = UndoText(selectionMode_);
  undoList_->Lock();
  redoList_->Lock();
  {
    TScopeExit unlock{[this] {
      undoList_->Unlock();
      redoList_->Unlock();
    }};
    SetSelTextPrimitive(selectionMode_, U"", false);
  }
  undoList_->AddChange(ucDelete, b, e, std::move(text), selectionMode_);
}

void TCustomCodeEdit::PasteFromClipboard() {
  if (ReadOnly()) return;
  DoOnPaintTransient(ttBefore);
  undoList_->BeginBlock();
  IncPaintLock();
  bool begun = false;
  TScopeExit end{[&] {
    if (begun) undoList_->AddChange(ucPasteEnd, CaretXY(), CaretXY(), std::string(), selectionMode_);
    DecPaintLock();
    undoList_->EndBlock();
  }};
  std::string block, text;
  TCodeSelectionMode mode = selectionMode_;
  bool own = false;
  if (!OpenClipboard(HandleAllocated() ? Handle() : nullptr))
    throw ECodeEditError("Clipboard paste operation failed.");
  {
    TScopeExit close{[] { CloseClipboard(); }};
    // the own block: a mode byte, then the text up to the first NUL or the end of the block
    if (GetClipboardData(CodeEditClipboardFormat(), block) && !block.empty()) {
      own = true;
      unsigned char m = static_cast<unsigned char>(block[0]);
      mode = m <= smColumn ? static_cast<TCodeSelectionMode>(m) : smNormal;
      size_t nul = block.find('\0', 1);
      text = block.substr(1, nul == std::string::npos ? std::string::npos : nul - 1);
    } else if (!GetClipboardData(CF_TEXT, text)) {
      return;
    }
  }
  (void)own;
  std::u32string utext = Utf8ToUtf32(text);
  undoList_->AddChange(ucPasteBegin, CaretXY(), CaretXY(), std::string(), mode);
  begun = true;
  if (SelAvail())
    undoList_->AddChange(ucDelete, BlockBegin(), BlockEnd(), UndoText(selectionMode_), selectionMode_);
  DeleteSelectionPrimitive();
  // ends in one column are no block, but they would be a selection in the mode of the paste
  blockBegin_ = blockEnd_ = CaretXY();
  TCodeSelectionMode keep = selectionMode_;
  selectionMode_ = mode;
  TScopeExit restore{[&] { selectionMode_ = keep; }};
  TBufferCoord start = mode == smLine ? TBufferCoord{1, caretY_} : CaretXY();
  RecordInserted(ucPaste, start, SetSelTextPrimitive(mode, utext, true), mode);
  // bars that come or go with the pasted text do so now, not when painting resumes
  if (options_.Contains(eoHideShowScrollbars)) UpdateScrollBarsNow();
  EnsureCursorPosVisible();
  StatusChanged(scSelection);
  DoOnPaintTransient(ttAfter);
}

// ------------------------------------------------------------------ typing

void TCustomCodeEdit::InsertCharacter(char32_t ch) {
  if (ch < 32 || ch == 127) return;
  if (SelAvail()) {
    SetSelText(U8(std::u32string(1, ch)));
    return;
  }
  // past the widest column the caret could not follow the character: nothing goes in
  if (PastTypingWidth()) return;
  EnsureLine();
  bool pastEolWasOff = !options_.Contains(eoScrollPastEol);
  if (pastEolWasOff) options_ = options_ + eoScrollPastEol;
  TScopeExit back{[&] {
    if (pastEolWasOff) options_ = options_ - eoScrollPastEol;
  }};
  std::u32string s = Line32(caretY_);
  int len = static_cast<int>(s.size());
  undoList_->BeginBlock();
  TScopeExit end{[this] { undoList_->EndBlock(); }};
  if (len < caretX_ - 1) {
    std::u32string pad = len == 0 ? GetLeftSpacing(caretX_ - 1, true)
                                  : std::u32string(static_cast<size_t>(caretX_ - 1 - len), U' ');
    undoList_->AddChange(ucWhiteSpaceAdd, {len + 1, caretY_},
                         {len + 1 + static_cast<int>(pad.size()), caretY_}, std::string(), smNormal);
    s += pad;
    if (len == 0) caretX_ = static_cast<int>(pad.size()) + 1;
  }
  TBufferCoord start = CaretXY();
  if (insertMode_) {
    s.insert(static_cast<size_t>(caretX_ - 1), 1, ch);
    lines_->PutU32(caretY_ - 1, s);
    undoList_->AddChange(ucInsert, start, {start.Char + 1, start.Line}, std::string(), smNormal);
  } else {
    std::u32string old;
    if (caretX_ - 1 < static_cast<int>(s.size())) {
      old = s.substr(static_cast<size_t>(caretX_ - 1), 1);
      s[static_cast<size_t>(caretX_ - 1)] = ch;
    } else {
      s.push_back(ch);
    }
    lines_->PutU32(caretY_ - 1, s);
    undoList_->AddChange(ucInsert, start, {start.Char + 1, start.Line}, JoinUndoLines({old}), smNormal);
  }
  SetCaretXY({start.Char + 1, start.Line});
  SetBlockBegin(CaretXY());
  if (caretX_ >= leftChar_ + charsInWindow_)
    SetLeftChar(leftChar_ + std::min(25, std::max(charsInWindow_ - 1, 1)));
}

bool TCustomCodeEdit::PastTypingWidth() const {
  return !wordWrapPlugin_ && !options_.Contains(eoAutoSizeMaxScrollWidth) && caretX_ > maxScrollWidth_;
}

// An input-method string goes in as a plain-text paste in normal mode would: its CR, LF and CR LF
// end lines, every other character stays in the line. In overwrite mode as many characters as the
// string has are taken from the caret's line first.
void TCustomCodeEdit::InsertImeString(const std::u32string& text) {
  if (text.empty()) return;
  if (SelAvail()) {
    SetSelText(U8(text));
    InvalidateGutter();
    return;
  }
  if (PastTypingWidth()) return;
  EnsureLine();
  undoList_->BeginBlock();
  TScopeExit end{[this] { undoList_->EndBlock(); }};
  PadLineRecorded(caretY_, caretX_);
  std::u32string old;
  if (!insertMode_) {
    std::u32string s = Line32(caretY_);
    old = s.substr(static_cast<size_t>(caretX_ - 1), text.size());
    s.erase(static_cast<size_t>(caretX_ - 1), text.size());
    lines_->PutU32(caretY_ - 1, s);
  }
  const TBufferCoord start = CaretXY();
  blockBegin_ = blockEnd_ = start;
  const TBufferCoord last = SetSelLinesPrimitive(smNormal, SplitTextLines(text), false);
  undoList_->AddChange(ucInsert, start, last, JoinUndoLines({old}), smNormal);
  SetBlockBegin(CaretXY());
}

// ------------------------------------------------------------------ deleting

void TCustomCodeEdit::DeleteSelectionRecorded(bool backwardsKind) {
  uint8_t kind = backwardsKind ? ucDeleteAfterCursor : ucDelete;
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  std::string text = UndoText(selectionMode_);
  TCodeSelectionMode mode = selectionMode_;
  undoList_->Lock();
  {
    TScopeExit unlock{[this] { undoList_->Unlock(); }};
    SetSelTextPrimitive(mode, U"", false);
  }
  undoList_->AddChange(kind, b, e, std::move(text), mode);
}

// Removes [from, to) (from before to) in normal mode without recording; answers the removed text.
std::string TCustomCodeEdit::RemoveRange(const TBufferCoord& from, const TBufferCoord& to) {
  TCodeSelectionMode keep = selectionMode_;
  selectionMode_ = smNormal;
  TScopeExit back{[&] { selectionMode_ = keep; }};
  blockBegin_ = from;
  blockEnd_ = to;
  std::string text = UndoText(smNormal);
  SetSelTextPrimitive(smNormal, U"", false);
  return text;
}

void TCustomCodeEdit::DoBackspace() {
  DoOnPaintTransientEx(ttBefore, true);
  TScopeExit after{[this] { DoOnPaintTransientEx(ttAfter, true); }};
  if (SelAvail()) {
    DeleteSelectionRecorded(blockBegin_.Line > blockEnd_.Line ||
                            (blockBegin_.Line == blockEnd_.Line && blockBegin_.Char > blockEnd_.Char));
    return;
  }
  EnsureLine();
  const std::u32string s = Line32(caretY_);
  int len = static_cast<int>(s.size());
  if (caretX_ > len + 1) {
    // past the end: only the caret moves
    if (!options_.Contains(eoSmartTabDelete))
      SetCaretXY({caretX_ - 1, caretY_});
    else if (len > 0)
      SetCaretXY({len + 1, caretY_});
    else
      SetCaretXY({SmallerIndentAbove(caretY_, caretX_ - 1) + 1, caretY_});
    return;
  }
  if (caretX_ == 1) {
    if (caretY_ == 1) return;
    int prev = caretY_ - 1;
    const std::u32string& whole = Line32(prev);
    std::u32string head = TrimsTrailing() ? TrimTrailing(whole) : whole;
    // the blanks cut from the end of the previous line are removed text too
    std::string removed = JoinUndoLines({whole.substr(head.size()), U""});
    TBufferCoord join{static_cast<int>(head.size()) + 1, prev};
    int joined = caretY_;
    lines_->BeginUpdate();
    lines_->PutU32(prev - 1, head + s);
    lines_->Delete(joined - 1);
    lines_->EndUpdate();
    DoLinesDeleted(joined, 1);
    undoList_->AddChange(ucSilentDelete, join, {1, joined}, removed, smNormal);
    SetCaretXY(join);
    SetBlockBegin(join);
    EnsureCursorPosVisible();
    return;
  }
  // just after the leading white space: back to the indent of a line above, or to a tab stop
  size_t lead = 0;
  while (lead < s.size() && IsBlank(s[lead])) ++lead;
  if (static_cast<int>(lead) == caretX_ - 1) {
    const int from = UnindentTarget(s, lead);
    if (from < caretX_) {
      std::u32string t = s;
      std::u32string removed = t.substr(static_cast<size_t>(from - 1), lead + 1 - static_cast<size_t>(from));
      t.erase(static_cast<size_t>(from - 1), removed.size());
      lines_->PutU32(caretY_ - 1, t);
      undoList_->AddChange(ucSilentDelete, {from, caretY_}, CaretXY(), JoinUndoLines({removed}), smNormal);
      SetCaretXY({from, caretY_});
      SetBlockBegin(CaretXY());
      EnsureCursorPosVisible();
    }
    return;
  }
  TBufferCoord from{caretX_ - 1, caretY_};
  std::u32string t = s;
  std::u32string removed = t.substr(static_cast<size_t>(from.Char - 1), 1);
  t.erase(static_cast<size_t>(from.Char - 1), 1);
  lines_->PutU32(caretY_ - 1, t);
  undoList_->AddChange(ucSilentDelete, from, CaretXY(), JoinUndoLines({removed}), smNormal);
  SetCaretXY(from);
  SetBlockBegin(from);
  EnsureCursorPosVisible();
}

// The display width of a line's leading blanks and tabs.
int TCustomCodeEdit::IndentWidth(std::u32string_view line) const {
  int w = 0;
  for (char32_t c : line) {
    if (!IsBlank(c)) break;
    w += c == U'\t' ? tabWidth_ - w % tabWidth_ : 1;
  }
  return w;
}

// The indent of the nearest non-empty line above `line` whose indent is narrower than `width`; 0
// when there is none.
int TCustomCodeEdit::SmallerIndentAbove(int line, int width) const {
  for (int l = std::min(line, lines_->Count() + 1) - 1; l >= 1; --l) {
    const std::u32string& s = Line32(l);
    if (s.empty()) continue;
    int w = IndentWidth(s);
    if (w < width) return w;
  }
  return 0;
}

// Where back-space just after the `lead` leading blanks and tabs of `line` (the caret's) deletes
// from: with eoSmartTabDelete the line keeps as much of its indent as stays within the indent of the
// nearest line above with a smaller one; without it the blanks back to the previous tab stop go, or
// the one tab before the caret.
int TCustomCodeEdit::UnindentTarget(std::u32string_view line, size_t lead) const {
  if (!options_.Contains(eoSmartTabDelete)) {
    if (line[lead - 1] == U'\t') return static_cast<int>(lead);
    const int column = IndentWidth(line.substr(0, lead));  // the caret's display column less 1
    const int stop = (column - 1) / tabWidth_ * tabWidth_;
    size_t from = lead;
    for (int w = column; from > 0 && line[from - 1] == U' ' && w > stop; --w) --from;
    return static_cast<int>(from) + 1;
  }
  const int target = SmallerIndentAbove(caretY_, IndentWidth(line.substr(0, lead)));
  size_t keep = 0;
  for (int w = 0; keep < lead; ++keep) {
    w += line[keep] == U'\t' ? tabWidth_ - w % tabWidth_ : 1;
    if (w > target) break;
  }
  return static_cast<int>(keep) + 1;
}

void TCustomCodeEdit::DoDeleteChar() {
  if (SelAvail()) {
    DeleteSelectionRecorded(false);
    return;
  }
  EnsureLine();
  std::u32string s = Line32(caretY_);
  int len = static_cast<int>(s.size());
  if (caretX_ > len) {
    if (caretY_ >= lines_->Count()) return;
    undoList_->BeginBlock();
    TScopeExit endBlock{[this] { undoList_->EndBlock(); }};
    PadLineRecorded(caretY_, caretX_);
    s = Line32(caretY_);
    lines_->BeginUpdate();
    lines_->PutU32(caretY_ - 1, s + Line32(caretY_ + 1));
    lines_->Delete(caretY_);
    lines_->EndUpdate();
    DoLinesDeleted(caretY_ + 1, 1);
    undoList_->AddChange(ucSilentDeleteAfterCursor, CaretXY(), {1, caretY_ + 1}, "\r\n", smNormal);
  } else {
    std::u32string removed = s.substr(static_cast<size_t>(caretX_ - 1), 1);
    s.erase(static_cast<size_t>(caretX_ - 1), 1);
    lines_->PutU32(caretY_ - 1, s);
    undoList_->AddChange(ucSilentDeleteAfterCursor, CaretXY(), {caretX_ + 1, caretY_},
                         JoinUndoLines({removed}), smNormal);
  }
  SetBlockBegin(CaretXY());
}

void TCustomCodeEdit::DoDeleteTo(TCodeEditorCommand command) {
  EnsureLine();
  TBufferCoord caret = CaretXY();
  int len = LineLength(caretY_);
  if (command == ecDeleteWord || command == ecDeleteEOL) {
    TBufferCoord target{len + 1, caretY_};
    if (command == ecDeleteWord) {
      target = WordEnd();
      const std::u32string& s = Line32(caretY_);
      if (target.Char <= caret.Char) {
        if (caret.Char <= len) {
          target = {caret.Char + 1, caretY_};
          target = WordEndEx(target);
        } else if (caretY_ < lines_->Count()) {
          target = {1, caretY_ + 1};
        }
      }
      if (target.Line == caretY_)
        while (target.Char <= static_cast<int>(s.size()) && IsBlank(s[static_cast<size_t>(target.Char - 1)]))
          ++target.Char;
    }
    TBufferCoord from = caret.Char > len + 1 ? TBufferCoord{len + 1, caretY_} : caret;
    if (target.Line == from.Line && target.Char <= from.Char) return;
    undoList_->BeginBlock();
    TScopeExit endBlock{[this] { undoList_->EndBlock(); }};
    std::string removed = RemoveRange(from, target);
    undoList_->AddChange(ucSilentDeleteAfterCursor, from, target, removed, smNormal);
    if (caret.Char > len + 1) PadLineRecorded(caretY_, caret.Char);
    SetCaretAndClearSelection(caret);
  } else {
    TBufferCoord target = command == ecDeleteLastWord ? PrevWordPos() : TBufferCoord{1, caretY_};
    if (target == caret) return;
    TBufferCoord from = target;
    TBufferCoord to{std::min(caret.Char, len + 1), caret.Line};
    if (from.Line == to.Line && from.Char >= to.Char) {
      SetCaretAndClearSelection(target);
      return;
    }
    std::string removed = RemoveRange(from, to);
    undoList_->AddChange(ucSilentDelete, from, to, removed, smNormal);
    SetCaretAndClearSelection(target);
  }
}

void TCustomCodeEdit::DoDeleteLine() {
  if (lines_->Count() == 0 || (lines_->Count() == 1 && Line32(1).empty())) return;
  SetBlockBegin(CaretXY());
  const int line = caretY_, count = lines_->Count();
  const std::u32string& s = Line32(line);
  // the removed range: the line and the break after it; the last line goes with the break before
  // it; the only line is emptied
  TBufferCoord from{1, line}, to{1, line + 1};
  std::string removed = JoinUndoLines({s, U""});
  if (count == 1) {
    to = {static_cast<int>(s.size()) + 1, line};
    removed = JoinUndoLines({s});
  } else if (line == count) {
    from = {LineLength(line - 1) + 1, line - 1};
    to = {static_cast<int>(s.size()) + 1, line};
    removed = JoinUndoLines({U"", s});
  }
  if (count == 1)
    lines_->PutU32(0, U"");
  else
    lines_->Delete(line - 1);
  undoList_->AddChange(ucSilentDeleteAfterCursor, from, to, removed, smNormal);
  DoLinesDeleted(line, 1);
  SetCaretAndClearSelection({1, std::min(caretY_, std::max(lines_->Count(), 1))});
}

// ------------------------------------------------------------------ line breaks and tabs

// A line break redone: the line is split as the break split it, the blanks it cut (start..end)
// giving way to a line end and the new line's indent; the record for the undo is the break's own.
void TCustomCodeEdit::RedoLineBreak(const TCodeEditUndoItem& item) {
  const TBufferCoord s = item.ChangeStartPos;
  blockBegin_ = s;
  blockEnd_ = item.ChangeEndPos;
  std::u32string cut = Utf8ToUtf32(SelTextEx(smNormal, true));
  caretX_ = s.Char;
  caretY_ = s.Line;
  const TBufferCoord end = PutBackText(smNormal, item.ChangeStr);
  std::u32string right = Line32(end.Line).substr(static_cast<size_t>(end.Char - 1));
  undoList_->AddChange(ucLineBreak, s, end, U8(cut + right), smNormal);
  SetCaretAndClearSelection(end);
}

void TCustomCodeEdit::DoLineBreak(bool moveCaret) {
  if (const TCodeEditUndoItem* redone = std::exchange(redoLineBreak_, nullptr)) {
    RedoLineBreak(*redone);
    return;
  }
  undoList_->BeginBlock();
  TScopeExit end{[this] { undoList_->EndBlock(); }};
  if (SelAvail()) DeleteSelectionRecorded(false);
  EnsureLine();
  std::u32string s = Line32(caretY_);
  int len = static_cast<int>(s.size());
  int line = caretY_;
  auto nearestIndentAbove = [&](int from) {
    for (int l = from; l >= 1; --l)
      if (!Line32(l).empty()) return Line32(l);
    return std::u32string();
  };
  TBufferCoord newCaret = CaretXY();
  int insertedAt = line;  // the line the marks are told about
  if (len == 0) {
    lines_->InsertU32(line - 1, U"");
    int indent = options_.Contains(eoAutoIndent) ? LeftSpaces(nearestIndentAbove(line - 1), true) : 0;
    undoList_->AddChange(ucLineBreak, CaretXY(), {1, line + 1}, std::string(), smNormal);
    newCaret = {indent + 1, line + 1};
    insertedAt = line;
  } else if (caretX_ > len) {
    std::u32string indentText;
    if (options_.Contains(eoAutoIndent)) {
      std::u32string src = nearestIndentAbove(line);
      size_t n = 0;
      while (n < src.size() && IsBlank(src[n])) ++n;
      indentText = src.substr(0, n);
    }
    lines_->InsertU32(line, indentText);
    undoList_->AddChange(ucLineBreak, CaretXY(), {static_cast<int>(indentText.size()) + 1, line + 1},
                         std::string(), smNormal);
    newCaret = {static_cast<int>(indentText.size()) + 1, line + 1};
    insertedAt = line + 1;
  } else if (caretX_ == 1) {
    lines_->InsertU32(line - 1, U"");
    undoList_->AddChange(ucLineBreak, {1, line}, {1, line + 1}, U8(s), smNormal);
    newCaret = {1, line + 1};
    insertedAt = line;
  } else {
    std::u32string left = s.substr(0, static_cast<size_t>(caretX_ - 1));
    std::u32string right = s.substr(static_cast<size_t>(caretX_ - 1));
    std::u32string indent = GetLeftSpacing(LeftSpaces(left, true), true);
    // what trimming cuts from the left part goes with the right part into the record, so that the
    // undo gives it back
    std::u32string kept = TrimsTrailing() ? TrimTrailing(left) : left;
    std::u32string cut = left.substr(kept.size());
    lines_->BeginUpdate();
    lines_->PutU32(line - 1, kept);
    lines_->InsertU32(line, indent + right);
    lines_->EndUpdate();
    undoList_->AddChange(ucLineBreak, {static_cast<int>(kept.size()) + 1, line},
                         {static_cast<int>(indent.size()) + 1, line + 1}, U8(cut + right), smNormal);
    newCaret = {static_cast<int>(indent.size()) + 1, line + 1};
    insertedAt = line + 1;
  }
  DoLinesInserted(insertedAt, 1);
  if (moveCaret)
    SetCaretAndClearSelection(newCaret);
  else
    SetCaretAndClearSelection(CaretXY());
  EnsureCursorPosVisible();
}

void TCustomCodeEdit::DoTab() {
  undoList_->BeginBlock();
  TScopeExit end{[this] { undoList_->EndBlock(); }};
  if (SelAvail()) DeleteSelectionRecorded(false);
  std::u32string text;
  const int col = DisplayX();
  const int target = SmartTabColumn(col);
  if (options_.Contains(eoTabsToSpaces)) {
    // to the smart target, else to the next tab stop from the caret's display column
    int width = target > col ? target - col : tabWidth_ - (col - 1) % tabWidth_;
    text.assign(static_cast<size_t>(width), U' ');
  } else {
    text = U"\t";
    const std::u32string& line = Line32(std::max(caretY_, 1));
    bool onlyBlanks = std::all_of(line.begin(), line.begin() + std::min<size_t>(line.size(), caretX_ - 1),
                                  [](char32_t c) { return c == U' ' || c == U'\t'; });
    // before the caret only blanks, or the caret past the end of a short line: the target itself
    // is reached, by tabs to the tab stops it passes, then blanks
    bool pastEnd = caretX_ > static_cast<int>(line.size()) + 1;
    if (target > col && (onlyBlanks || pastEnd)) {
      text.clear();
      int at = col;
      for (int stop = (at - 1) / tabWidth_ * tabWidth_ + tabWidth_ + 1; stop <= target; stop += tabWidth_) {
        text += U'\t';
        at = stop;
      }
      text.append(static_cast<size_t>(target - at), U' ');
    }
  }
  bool pastEolWasOff = !options_.Contains(eoScrollPastEol);
  if (pastEolWasOff) options_ = options_ + eoScrollPastEol;
  TScopeExit back{[&] {
    if (pastEolWasOff) options_ = options_ - eoScrollPastEol;
  }};
  EnsureLine();
  PadLineRecorded(caretY_, caretX_);
  std::u32string s = Line32(caretY_);
  TBufferCoord start = CaretXY();
  s.insert(static_cast<size_t>(caretX_ - 1), text);
  lines_->PutU32(caretY_ - 1, s);
  undoList_->AddChange(ucInsert, start, {start.Char + static_cast<int>(text.size()), start.Line},
                       std::string(), smNormal);
  SetCaretAndClearSelection({start.Char + static_cast<int>(text.size()), start.Line});
  EnsureCursorPosVisible();
}

// With eoSmartTabs: the display column a Tab at display column `col` goes to, taken from the
// nearest line above that reaches that column (past its word there and the blanks after it); 0
// when there is none.
int TCustomCodeEdit::SmartTabColumn(int col) const {
  if (!options_.Contains(eoSmartTabs) || caretY_ <= 1) return 0;
  for (int l = std::min(caretY_, lines_->Count() + 1) - 1; l >= 1; --l) {
    const std::u32string expanded = lines_->ExpandedStrings(l - 1);
    if (static_cast<int>(expanded.size()) < col) continue;
    size_t i = static_cast<size_t>(col - 1);
    auto blank = [&](size_t k) { return expanded[k] == U' ' || expanded[k] == U'\t'; };
    while (i < expanded.size() && !blank(i)) ++i;
    while (i < expanded.size() && blank(i)) ++i;
    return static_cast<int>(i) + 1;
  }
  return 0;
}

// With eoSmartTabs: the display column a Shift+Tab at display column `col` goes back to: the start
// of the word before that column in the nearest line above that reaches it; 0 when there is none.
int TCustomCodeEdit::SmartBackTabColumn(int col) const {
  if (!options_.Contains(eoSmartTabs) || caretY_ <= 1 || col <= 1) return 0;
  for (int l = std::min(caretY_, lines_->Count() + 1) - 1; l >= 1; --l) {
    const std::u32string expanded = lines_->ExpandedStrings(l - 1);
    if (static_cast<int>(expanded.size()) < col - 1) continue;
    size_t i = static_cast<size_t>(col - 1);  // the cells before the caret's column: [0, i)
    auto blank = [&](size_t k) { return expanded[k] == U' ' || expanded[k] == U'\t'; };
    while (i > 0 && blank(i - 1)) --i;
    while (i > 0 && !blank(i - 1)) --i;
    return static_cast<int>(i) + 1;
  }
  return 0;
}

// ------------------------------------------------------------------ block indent and back-tab

// A selection Tab and Shift+Tab indent as a block: one over several lines...
bool TCustomCodeEdit::SelIsTabBlock() const {
  return SelAvail() && BlockBegin().Line != BlockEnd().Line;
}

// ...or one that holds a whole line: from its indent (or before) to its end (or past it).
bool TCustomCodeEdit::SelIsWholeLine() const {
  if (!SelAvail() || selectionMode_ == smColumn) return false;
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  if (b.Line != e.Line || b.Line > lines_->Count()) return false;
  const std::u32string& s = Line32(b.Line);
  if (s.empty() || e.Char <= static_cast<int>(s.size())) return false;
  for (int i = 1; i < b.Char && i <= static_cast<int>(s.size()); ++i)
    if (!IsBlank(s[static_cast<size_t>(i - 1)])) return false;
  return true;
}

// The lines a block command works on: the selected ones, less a last line the selection ends in
// column 1 of; and the column their indent starts in.
void TCustomCodeEdit::BlockLines(int& first, int& last, int& column) const {
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  first = b.Line;
  last = std::min(e.Line, std::max(lines_->Count(), 1));
  if (selectionMode_ == smNormal && e.Char == 1 && last > first) --last;
  column = selectionMode_ == smColumn ? std::min(b.Char, e.Char) : 1;
}

// Each line's indent is its own recorded insertion or deletion, between two marks of the selection
// (before and after) that undo and redo put back.
void TCustomCodeEdit::DoBlockIndent(bool indent, bool widenToColumn1) {
  if (!SelAvail()) return;
  int first = 0, last = 0, column = 1;
  BlockLines(first, last, column);
  const std::u32string unit =
      options_.Contains(eoTabsToSpaces) ? std::u32string(static_cast<size_t>(tabWidth_), U' ') : U"\t";
  auto leading = [&](const std::u32string& line) {
    size_t at = static_cast<size_t>(column - 1), n = 0;
    if (at < line.size() && line[at] == U'\t') return size_t{1};
    // up to a tab width of blanks, and a tab that follows them within that width
    while (at + n < line.size() && line[at + n] == U' ' && static_cast<int>(n) < tabWidth_) ++n;
    if (at + n < line.size() && line[at + n] == U'\t' && static_cast<int>(n) < tabWidth_) ++n;
    return n;
  };
  if (!indent) {
    bool any = false;
    for (int l = first; l <= last && !any; ++l) any = leading(Line32(l)) > 0;
    if (!any) return;
  }
  TBufferCoord oldBegin = blockBegin_, oldEnd = blockEnd_;
  IncPaintLock();
  undoList_->BeginBlock();
  TScopeExit end{[this] {
    undoList_->EndBlock();
    DecPaintLock();
  }};
  if (!indent) {
    // one record holds what every line lost, a line of text per line
    std::u32string removed;
    for (int l = first; l <= last; ++l) {
      const std::u32string& line = Line32(l);
      if (l > first) removed += U"\r\n";
      if (size_t n = leading(line); n > 0) removed += line.substr(static_cast<size_t>(column - 1), n);
    }
    undoList_->AddChange(ucUnindent, oldBegin, oldEnd, U8(removed), selectionMode_);
    ApplyUnindent(oldBegin, oldEnd, removed, true);
    Invalidate();
    return;
  }
  undoList_->AddChange(ucIndent, oldBegin, oldEnd, std::string(), selectionMode_);
  std::vector<int> shift(static_cast<size_t>(last - first + 1), 0);  // characters added per line
  for (int l = first; l <= last; ++l) {
    if (column > 1) PadLineRecorded(l, column);
    std::u32string line = Line32(l);
    line.insert(static_cast<size_t>(column - 1), unit);
    lines_->PutU32(l - 1, line);
    undoList_->AddChange(ucInsert, {column, l}, {column + static_cast<int>(unit.size()), l}, std::string(),
                         smNormal);
    shift[static_cast<size_t>(l - first)] = static_cast<int>(unit.size());
  }
  TBufferCoord newBegin = MovedByIndent(oldBegin, first, column, shift),
               newEnd = MovedByIndent(oldEnd, first, column, shift);
  if (widenToColumn1) {
    bool beginFirst =
        newBegin.Line < newEnd.Line || (newBegin.Line == newEnd.Line && newBegin.Char < newEnd.Char);
    (beginFirst ? newBegin : newEnd).Char = 1;
  }
  undoList_->AddChange(ucIndent, newBegin, newEnd, std::string(), selectionMode_);
  SetCaretAndSelection(newEnd, newBegin, newEnd);
  Invalidate();
}

// A selection end after the lines from `first` on gained (lost) `shift` characters at `column`: it
// moves with its line's text; an end in the first column of an indent stays there.
TBufferCoord TCustomCodeEdit::MovedByIndent(TBufferCoord p, int first, int column,
                                            const std::vector<int>& shift) const {
  if (p.Line < first || p.Line - first >= static_cast<int>(shift.size())) return p;
  int d = shift[static_cast<size_t>(p.Line - first)];
  if (d > 0 && (selectionMode_ == smColumn ? p.Char >= column : p.Char > 1)) p.Char += d;
  if (d < 0 && p.Char > column) p.Char = std::max(column, p.Char + d);
  return p;
}

// Takes the leading texts of an unindent (one per line of `texts`) off the selected lines again, or
// puts them back, and selects what was selected after, or before, the unindent.
void TCustomCodeEdit::ApplyUnindent(const TBufferCoord& begin, const TBufferCoord& end,
                                    std::u32string_view texts, bool remove) {
  const int first = std::min(begin.Line, end.Line);
  const int column = selectionMode_ == smColumn ? std::min(begin.Char, end.Char) : 1;
  const std::vector<std::u32string> pieces = SplitTextLines(texts);
  std::vector<int> shift(pieces.size(), 0);
  {
    // the end of the update collapses the selection: it is made after
    lines_->BeginUpdate();
    TScopeExit endUpdate{[this] { lines_->EndUpdate(); }};
    for (size_t i = 0; i < pieces.size() && first + static_cast<int>(i) <= lines_->Count(); ++i) {
      const int l = first + static_cast<int>(i);
      std::u32string line = Line32(l);
      const size_t at = std::min(static_cast<size_t>(column - 1), line.size());
      const size_t n = pieces[i].size();
      if (n == 0) continue;
      if (remove)
        line.erase(at, n);
      else
        line.insert(at, pieces[i]);
      lines_->PutU32(l - 1, line);
      shift[i] = remove ? -static_cast<int>(n) : 0;
    }
  }
  const TBufferCoord b = MovedByIndent(begin, first, column, shift),
                     e = MovedByIndent(end, first, column, shift);
  SetCaretAndSelection(e, b, e);
}

void TCustomCodeEdit::DoShiftTab() {
  if (options_.Contains(eoTabIndent) && (SelIsTabBlock() || SelIsWholeLine())) {
    DoBlockIndent(false);
    return;
  }
  EnsureLine();
  const std::u32string& s = Line32(caretY_);
  const int x = caretX_, len = static_cast<int>(s.size());
  if (x <= 1) return;
  // back to the previous tab stop (with smart tabs, to the start of the word above), over blanks
  // only; a tab just before the caret is the stop
  int stop = (x - 2) / tabWidth_ * tabWidth_ + 1;
  int target = x;
  const int smart = SmartBackTabColumn(DisplayX());
  if (smart > 0) {
    while (target > 1 && (target - 2 >= len || IsBlank(s[static_cast<size_t>(target - 2)])) &&
           BufferToDisplayPos({target - 1, caretY_}).Column >= smart)
      --target;
  } else if (x - 2 < len && s[static_cast<size_t>(x - 2)] == U'\t') {
    target = x - 1;
  } else {
    while (target > stop && (target - 2 >= len || s[static_cast<size_t>(target - 2)] == U' ')) --target;
  }
  if (target == x) return;
  TBufferCoord from{target, caretY_}, to{std::min(x, len + 1), caretY_};
  if (from.Char < to.Char) {
    undoList_->BeginBlock();
    TScopeExit end{[this] { undoList_->EndBlock(); }};
    std::string removed = RemoveRange(from, to);
    undoList_->AddChange(ucDeleteAfterCursor, from, to, removed, smNormal);
  }
  SetCaretAndClearSelection(from);
}

// ------------------------------------------------------------------ case

void TCustomCodeEdit::DoCaseChange(TCodeEditorCommand command) {
  bool word = command >= ecUpperCase && command <= ecTitleCase;
  TBufferCoord caret = CaretXY();
  TBufferCoord oldBegin = blockBegin_, oldEnd = blockEnd_;
  if (word) {
    TBufferCoord b = WordStart(), e = WordEnd();
    if (b == e) {
      b = WordStartEx(PrevWordPos());
      e = WordEndEx(PrevWordPos());
    }
    if (b == e) return;
    blockBegin_ = b;
    blockEnd_ = e;
  } else if (!SelAvail()) {
    if (caretX_ > LineLength(caretY_) && caretY_ < lines_->Count()) SetCaretXY({1, caretY_ + 1});
    if (caretX_ > LineLength(caretY_)) return;
    blockBegin_ = CaretXY();
    blockEnd_ = {caretX_ + 1, caretY_};
  }
  // line by line, so that a line end inside a line stays there
  std::vector<std::u32string> text = SelectedLines(selectionMode_, true);
  bool first = true;
  for (std::u32string& line : text)
    for (char32_t& c : line) {
      switch (command) {
        case ecUpperCase:
        case ecUpperCaseBlock:
          c = UnicodeUpper(c);
          break;
        case ecLowerCase:
        case ecLowerCaseBlock:
          c = UnicodeLower(c);
          break;
        case ecToggleCase:
        case ecToggleCaseBlock:
          c = UnicodeUpper(c) == c ? UnicodeLower(c) : UnicodeUpper(c);
          break;
        case ecTitleCase:
          c = first ? UnicodeUpper(c) : UnicodeLower(c);
          break;
        default:
          break;
      }
      first = false;
    }
  TBufferCoord b = blockBegin_, e = blockEnd_;
  undoList_->BeginBlock();
  TScopeExit end{[this] { undoList_->EndBlock(); }};
  undoList_->AddChange(ucCaret, caret, caret, std::string(), selectionMode_);
  undoList_->AddChange(ucSelection, oldBegin, oldEnd, std::string(), selectionMode_);
  ReplaceSelection(text);
  if (word) {
    SetCaretAndClearSelection(caret);
  } else if (oldBegin != oldEnd) {
    SetCaretAndSelection(e, b, e);
  }
}

// ------------------------------------------------------------------ the editing commands

bool TCustomCodeEdit::ExecuteEditingCommand(TCodeEditorCommand command, char32_t aChar, void* data) {
  switch (command) {
    case ecUndo:
      Undo();
      return true;
    case ecRedo:
      Redo();
      return true;
    default:
      break;
  }
  bool editing = (command >= ecEditCommandFirst && command <= ecEditCommandLast);
  if (!editing) return false;
  if (ReadOnly()) return true;
  switch (command) {
    case ecChar:
      InsertCharacter(aChar);
      break;
    case ecImeStr:
      if (data) InsertImeString(Utf8ToUtf32(*static_cast<const std::string*>(data)));
      break;
    case ecDeleteLastChar:
      DoBackspace();
      break;
    case ecDeleteChar:
      DoDeleteChar();
      break;
    case ecDeleteWord:
    case ecDeleteEOL:
    case ecDeleteLastWord:
    case ecDeleteBOL:
      if (SelAvail()) SetBlockBegin(CaretXY());
      DoDeleteTo(command);
      break;
    case ecDeleteLine:
      DoDeleteLine();
      break;
    case ecClearAll:
      ClearAll();
      break;
    case ecLineBreak:
      DoLineBreak(true);
      break;
    case ecInsertLine:
      DoLineBreak(false);
      break;
    case ecCut:
      if (SelAvail()) CutToClipboard();
      break;
    case ecPaste:
      PasteFromClipboard();
      break;
    case ecTab:
      if (options_.Contains(eoTabIndent) && SelIsTabBlock())
        DoBlockIndent(true);
      else if (options_.Contains(eoTabIndent) && SelIsWholeLine())
        DoBlockIndent(true, true);
      else
        DoTab();
      break;
    case ecShiftTab:
      DoShiftTab();
      break;
    case ecBlockIndent:
      DoBlockIndent(true);
      break;
    case ecBlockUnindent:
      DoBlockIndent(false);
      break;
    case ecUpperCase:
    case ecLowerCase:
    case ecToggleCase:
    case ecTitleCase:
    case ecUpperCaseBlock:
    case ecLowerCaseBlock:
    case ecToggleCaseBlock:
      DoCaseChange(command);
      break;
    default:
      break;
  }
  return true;
}

// ------------------------------------------------------------------ undo and redo

void TCustomCodeEdit::UpdateModified() {
  bool modified = !undoList_->IsTopMarkedAsUnmodified();
  if (modified_ != modified) {
    modified_ = modified;
    StatusChanged(scModified);
  }
}

void TCustomCodeEdit::UndoRedoAdded(TObject* sender) {
  UpdateModified();
  auto* list = static_cast<TCodeEditUndoList*>(sender);
  if (list == undoList_ && !(stateFlags_ & sfInsideRedo) && undoList_->LastChangeReason() != ucGroupBreak)
    redoList_->Clear();
  if (list->BlockCount() == 0) DoChange();
}

bool TCustomCodeEdit::CanUndo() const {
  return !ReadOnly() && undoList_->CanUndo();
}
bool TCustomCodeEdit::CanRedo() const {
  return !ReadOnly() && redoList_->CanUndo();
}

void TCustomCodeEdit::ClearUndo() {
  undoList_->Clear();
  redoList_->Clear();
}

void TCustomCodeEdit::BeginUndoBlock() {
  undoList_->BeginBlock();
}
void TCustomCodeEdit::EndUndoBlock() {
  undoList_->EndBlock();
}

namespace {
bool IsMarker(uint8_t k) {
  return k >= ucAutoCompleteBegin && k <= ucSpecial2End;
}
uint8_t MatchingBegin(uint8_t end) {
  return static_cast<uint8_t>(end - 1);
}
bool IsEndMarker(uint8_t k) {
  return IsMarker(k) && (k - ucAutoCompleteBegin) % 2 == 1;
}
bool IsBeginMarker(uint8_t k) {
  return IsMarker(k) && (k - ucAutoCompleteBegin) % 2 == 0;
}
}  // namespace

void TCustomCodeEdit::Undo() {
  if (ReadOnly()) return;
  IncPaintLock();
  TScopeExit unlock{[this] { DecPaintLock(); }};
  if (undoList_->LastChangeReason() == ucGroupBreak) {
    auto brk = undoList_->PopItem();
    redoList_->PushItem(std::move(brk));
  }
  TCodeEditUndoItem* top = undoList_->PeekItem();
  if (!top) return;
  uint8_t k = top->ChangeReason;
  int n = top->ChangeNumber;
  int keepBlock = redoList_->BlockChangeNumber();
  redoList_->SetBlockChangeNumber(n);
  TScopeExit restore{[&] { redoList_->SetBlockChangeNumber(keepBlock); }};
  for (;;) {
    uint8_t done = undoList_->PeekItem()->ChangeReason;
    UndoItem();
    TCodeEditUndoItem* next = undoList_->PeekItem();
    if (!next) break;
    if (IsEndMarker(k)) {
      if (next->ChangeReason == MatchingBegin(k)) {
        UndoItem();
        break;
      }
      continue;
    }
    bool sameNumber = next->ChangeNumber == n;
    bool sameKind = options_.Contains(eoGroupUndo) && next->ChangeReason == done && done != ucIndent &&
                    done != ucUnindent && !IsMarker(done);
    if (!sameNumber && !sameKind) break;
  }
  UpdateModified();
}

void TCustomCodeEdit::Redo() {
  if (ReadOnly()) return;
  IncPaintLock();
  TScopeExit unlock{[this] { DecPaintLock(); }};
  std::unique_ptr<TCodeEditUndoItem> groupBreak;
  if (redoList_->LastChangeReason() == ucGroupBreak) groupBreak = redoList_->PopItem();
  TCodeEditUndoItem* top = redoList_->PeekItem();
  if (top) {
    uint8_t k = top->ChangeReason;
    int n = top->ChangeNumber;
    int keepBlock = undoList_->BlockChangeNumber();
    undoList_->SetBlockChangeNumber(n);
    TScopeExit restore{[&] { undoList_->SetBlockChangeNumber(keepBlock); }};
    for (;;) {
      uint8_t done = redoList_->PeekItem()->ChangeReason;
      RedoItem();
      TCodeEditUndoItem* next = redoList_->PeekItem();
      if (!next) break;
      if (IsBeginMarker(k)) {
        if (next->ChangeReason == k + 1) {
          RedoItem();
          break;
        }
        continue;
      }
      bool sameNumber = next->ChangeNumber == n;
      bool sameKind = options_.Contains(eoGroupUndo) && next->ChangeReason == done && done != ucIndent &&
                      done != ucUnindent && !IsMarker(done);
      if (!sameNumber && !sameKind) break;
    }
  }
  // a group break the undo put on the redo list goes back once the step it separated is redone
  if (!groupBreak && redoList_->LastChangeReason() == ucGroupBreak) groupBreak = redoList_->PopItem();
  if (groupBreak) {
    stateFlags_ |= sfInsideRedo;
    undoList_->PushItem(std::move(groupBreak));
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfInsideRedo);
  }
  UpdateModified();
}

void TCustomCodeEdit::UndoItem() {
  std::unique_ptr<TCodeEditUndoItem> item = undoList_->PopItem();
  if (!item) return;
  // the item sets the block itself: the rows of the one shown so far paint again
  if (SelAvail()) InvalidateSelection();
  TCodeSelectionMode keepMode = selectionMode_;
  bool pastEolWasOff = !options_.Contains(eoScrollPastEol);
  selectionMode_ = item->ChangeSelMode;
  if (pastEolWasOff) options_ = options_ + eoScrollPastEol;
  replaying_ = true;
  IncPaintLock();
  TScopeExit back{[&] {
    selectionMode_ = keepMode;
    if (pastEolWasOff) options_ = options_ - eoScrollPastEol;
    replaying_ = false;
    insideTextPending_ = true;  // the caret may stand past a line end eoScrollPastEol allowed
    DecPaintLock();
  }};
  TBufferCoord s = item->ChangeStartPos, e = item->ChangeEndPos;
  uint8_t k = item->ChangeReason;
  switch (k) {
    case ucInsert:
    case ucPaste:
    case ucDragDropInsert:
    case ucWhiteSpaceAdd: {
      if (item->ChangeSelMode == smLine && k != ucWhiteSpaceAdd) {
        // whole lines s.Line..e.Line went in before line s (none when e.Line is above s.Line); an
        // end past column 1 means the last of them went into the empty last line, which stays
        int last = std::min(e.Line, lines_->Count());
        bool keptLast = e.Char > 1;
        std::vector<std::u32string> removed;
        for (int l = s.Line; l <= last; ++l) removed.push_back(Line32(l));
        if (!keptLast && !removed.empty()) removed.emplace_back();
        redoList_->AddChange(k, s, e, JoinUndoLines(removed), smLine);
        int count = last - s.Line + (keptLast ? 0 : 1);
        if (keptLast && last >= s.Line) lines_->PutU32(last - 1, U"");
        // (never through Clear: clearing the buffer clears the undo lists too)
        if (count > 0 && count >= lines_->Count()) {
          if (lines_->Count() > 1) lines_->DeleteLines(1, lines_->Count() - 1);
          lines_->PutU32(0, U"");
        } else if (count > 0) {
          lines_->DeleteLines(s.Line - 1, count);
        }
        if (count > 0) DoLinesDeleted(s.Line, count);
        SetCaretAndClearSelection({1, s.Line});
        break;
      }
      blockBegin_ = s;
      blockEnd_ = e;
      std::string removed = UndoText(selectionMode_);
      const TBufferCoord back = PutBackText(item->ChangeSelMode, item->ChangeStr);
      // In normal mode the redo item holds the range the text it puts back replaces: the
      // characters an overwrite took, which are back now; nothing after an insert.
      TBufferCoord redoEnd = item->ChangeSelMode == smNormal ? (item->ChangeStr.empty() ? s : back) : e;
      redoList_->AddChange(k, s, redoEnd, std::move(removed), item->ChangeSelMode);
      SetCaretAndClearSelection(s);
      break;
    }
    case ucDeleteAfterCursor:
    case ucDelete:
    case ucSilentDelete:
    case ucSilentDeleteAfterCursor:
    case ucDeleteAll: {
      TBufferCoord at = (s.Line < e.Line || (s.Line == e.Line && s.Char <= e.Char)) ? s : e;
      if (item->ChangeSelMode == smColumn) at = {std::min(s.Char, e.Char), std::min(s.Line, e.Line)};
      blockBegin_ = blockEnd_ = at;
      caretX_ = at.Char;
      caretY_ = at.Line;
      PutBackText(item->ChangeSelMode, item->ChangeStr);
      TBufferCoord target = (k == ucDelete || k == ucSilentDelete) ? e : s;
      if (k == ucSilentDelete || k == ucSilentDeleteAfterCursor || k == ucDeleteAll)
        SetCaretAndClearSelection(target);
      else
        SetCaretAndSelection(target, s, e);
      redoList_->AddChange(k, s, e, std::string(), item->ChangeSelMode);
      EnsureCursorPosVisible();
      break;
    }
    case ucLineBreak: {
      SetCaretAndClearSelection(s);
      std::u32string line = Line32(s.Line);
      std::u32string tail = Utf8ToUtf32(item->ChangeStr);
      if (static_cast<int>(line.size()) < s.Char - 1 && !tail.empty() && !IsBlank(tail[0]))
        line.append(static_cast<size_t>(s.Char - 1) - line.size(), U' ');
      // The new line is the indent and what is left of the tail once the blanks the break cut
      // from the end of the line are taken off: the redo item replaces those blanks, from the end
      // of the line, by a line end and that indent.
      const std::u32string created = Line32(e.Line);
      size_t indent = std::min(static_cast<size_t>(std::max(e.Char - 1, 0)), created.size());
      size_t right = created.size() - indent;
      size_t cut = tail.size() >= right ? tail.size() - right : 0;
      TBufferCoord at{static_cast<int>(line.size()) + 1, s.Line};
      lines_->BeginUpdate();
      lines_->PutU32(s.Line - 1, line + tail);
      if (e.Line <= lines_->Count()) lines_->Delete(e.Line - 1);
      lines_->EndUpdate();
      DoLinesDeleted(e.Line, 1);
      redoList_->AddChange(k, at, {at.Char + static_cast<int>(cut), at.Line},
                           U8(U"\r\n" + created.substr(0, indent)), smNormal);
      SetCaretAndClearSelection(s);
      break;
    }
    case ucUnindent:
      redoList_->AddChange(k, s, e, item->ChangeStr, item->ChangeSelMode);
      ApplyUnindent(s, e, Utf8ToUtf32(item->ChangeStr), false);
      break;
    default:
      ReplayPlainItem(*item, redoList_);
      break;
  }
}

void TCustomCodeEdit::RedoItem() {
  std::unique_ptr<TCodeEditUndoItem> item = redoList_->PopItem();
  if (!item) return;
  // the item sets the block itself: the rows of the one shown so far paint again
  if (SelAvail()) InvalidateSelection();
  TCodeSelectionMode keepMode = selectionMode_;
  bool pastEolWasOff = !options_.Contains(eoScrollPastEol);
  selectionMode_ = item->ChangeSelMode;
  if (pastEolWasOff) options_ = options_ + eoScrollPastEol;
  stateFlags_ |= sfInsideRedo;
  replaying_ = true;
  IncPaintLock();
  TScopeExit back{[&] {
    selectionMode_ = keepMode;
    if (pastEolWasOff) options_ = options_ - eoScrollPastEol;
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfInsideRedo);
    replaying_ = false;
    insideTextPending_ = true;  // the caret may stand past a line end eoScrollPastEol allowed
    DecPaintLock();
  }};
  TBufferCoord s = item->ChangeStartPos, e = item->ChangeEndPos;
  uint8_t k = item->ChangeReason;
  switch (k) {
    case ucInsert:
    case ucPaste:
    case ucDragDropInsert: {
      if (item->ChangeSelMode == smNormal) {
        // the text replaces what the change had replaced (nothing after a plain insert)
        blockBegin_ = s;
        blockEnd_ = e;
        std::string overwritten = UndoText(smNormal);
        caretX_ = s.Char;
        caretY_ = s.Line;
        const TBufferCoord end = PutBackText(smNormal, item->ChangeStr);
        undoList_->AddChange(k, s, end, overwritten, smNormal);
        if (k == ucDragDropInsert)
          SetCaretAndSelection(end, s, end);
        else
          SetCaretAndClearSelection(end);
        break;
      }
      // (the text goes in at the start as recorded, even where the caret could not stand now)
      SetCaretAndClearSelection(s);
      blockBegin_ = blockEnd_ = s;
      caretX_ = s.Char;
      caretY_ = s.Line;
      PutBackText(item->ChangeSelMode, item->ChangeStr);
      SetCaretAndClearSelection(e);
      undoList_->AddChange(k, s, e, std::string(), item->ChangeSelMode);
      if (k == ucDragDropInsert) SetCaretAndSelection(e, s, e);
      break;
    }
    case ucDeleteAfterCursor:
    case ucSilentDeleteAfterCursor:
    case ucDelete:
    case ucSilentDelete:
    case ucDeleteAll: {
      blockBegin_ = s;
      blockEnd_ = e;
      std::string removed = UndoText(selectionMode_);
      undoList_->AddChange(k, s, e, std::move(removed), item->ChangeSelMode);
      PutBackText(item->ChangeSelMode, item->ChangeStr);
      SetCaretAndClearSelection(s);
      break;
    }
    case ucLineBreak: {
      // the break runs as a command again, where hooks and handlers see it, and makes the lines
      // the break made the first time
      blockBegin_ = blockEnd_ = s;
      caretX_ = s.Char;
      caretY_ = s.Line;
      redoLineBreak_ = item.get();
      TScopeExit done{[this] { redoLineBreak_ = nullptr; }};
      CommandProcessor(ecLineBreak, U'\r', nullptr);
      break;
    }
    case ucWhiteSpaceAdd: {
      // the same blanks or tabs as before
      blockBegin_ = blockEnd_ = s;
      caretX_ = s.Char;
      caretY_ = s.Line;
      std::u32string pad = Utf8ToUtf32(item->ChangeStr);
      std::u32string line = Line32(s.Line);
      if (static_cast<int>(line.size()) < s.Char - 1)
        line.append(static_cast<size_t>(s.Char - 1) - line.size(), U' ');
      if (pad.empty() && static_cast<int>(line.size()) < e.Char - 1)
        pad.assign(e.Char - 1 - line.size(), U' ');
      line.insert(static_cast<size_t>(s.Char - 1), pad);
      lines_->PutU32(s.Line - 1, line);
      undoList_->AddChange(k, s, {s.Char + static_cast<int>(pad.size()), s.Line}, std::string(),
                           item->ChangeSelMode);
      SetCaretAndClearSelection(s);
      break;
    }
    case ucUnindent:
      undoList_->AddChange(k, s, e, item->ChangeStr, item->ChangeSelMode);
      ApplyUnindent(s, e, Utf8ToUtf32(item->ChangeStr), true);
      break;
    default:
      ReplayPlainItem(*item, undoList_);
      break;
  }
}

// The caret, the selection and the markers replay alike in both directions; the inverse goes to
// `other`.
void TCustomCodeEdit::ReplayPlainItem(const TCodeEditUndoItem& item, TCodeEditUndoList* other) {
  const TBufferCoord s = item.ChangeStartPos, e = item.ChangeEndPos;
  switch (item.ChangeReason) {
    case ucCaret:
      other->AddChange(item.ChangeReason, CaretXY(), CaretXY(), std::string(), selectionMode_);
      SetCaretXY(s);
      break;
    case ucSelection:
      other->AddChange(item.ChangeReason, blockBegin_, blockEnd_, std::string(), selectionMode_);
      SetCaretAndSelection(CaretXY(), s, e);
      break;
    case ucIndent:
      // the selection of a block indent, before or after it (the indents are items of their own)
      other->AddChange(item.ChangeReason, blockBegin_, blockEnd_, std::string(), item.ChangeSelMode);
      SetCaretAndSelection(e, s, e);
      break;
    default:
      other->AddChange(item.ChangeReason, s, e, item.ChangeStr, item.ChangeSelMode);
      break;
  }
}
