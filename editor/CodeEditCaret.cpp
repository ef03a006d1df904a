// The editor's caret, selection, coordinate conversions, scrolling, scroll bars and input.
#include <algorithm>
#include <climits>

#include "editor/CodeEdit.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

int MulDiv64(int64_t a, int64_t b, int64_t c) {
  return c == 0 ? 0 : static_cast<int>(a * b / c);
}

constexpr int kScaledMax = 32767;

THintWindow*& ScrollHint() {
  static THintWindow* hint = nullptr;
  return hint;
}

}  // namespace

int TCustomCodeEdit::liveEditors_ = 0;

void TCustomCodeEdit::FreeScrollHint() {
  delete ScrollHint();
  ScrollHint() = nullptr;
}

// ------------------------------------------------------------------ conversions

int TCustomCodeEdit::DisplayLineCount() const {
  if (wordWrapPlugin_) return wordWrapPlugin_->RowCount();
  return lines_->Count();
}

int TCustomCodeEdit::RowToLine(int row) const {
  if (!wordWrapPlugin_) return row;
  if (row >= 1) return wordWrapPlugin_->RowToLine(row);
  return DisplayToBufferPos({1, row}).Line;
}

int TCustomCodeEdit::LineToRow(int line) const {
  if (!wordWrapPlugin_) return line;
  if (line >= 1) return wordWrapPlugin_->LineToRow(line);
  return BufferToDisplayPos({1, line}).Row;
}

bool TCustomCodeEdit::LineWithoutTabs(int line) const {
  return !lines_->HasTabs(line - 1);
}

TDisplayCoord TCustomCodeEdit::BufferToDisplayPos(const TBufferCoord& p) const {
  TDisplayCoord r{p.Char, p.Line};
  if (p.Line >= 1 && p.Line <= lines_->Count() && !(p.Char >= 1 && LineWithoutTabs(p.Line))) {
    // without tabs a character's column is its index
    const std::u32string& s = Line32(p.Line);
    int64_t col = 0;
    int n = std::min(p.Char - 1, static_cast<int>(s.size()));
    for (int i = 0; i < n; ++i) {
      if (s[static_cast<size_t>(i)] == U'\t')
        col += tabWidth_ - col % tabWidth_;
      else
        ++col;
    }
    col += std::max(p.Char - 1 - n, 0);
    r.Column = static_cast<int>(std::min<int64_t>(col + 1, INT_MAX));
  }
  if (wordWrapPlugin_) r = wordWrapPlugin_->BufferToDisplayPos({r.Column, r.Row});
  return r;
}

TBufferCoord TCustomCodeEdit::DisplayToBufferPos(const TDisplayCoord& p) const {
  TBufferCoord r{p.Column, p.Row};
  if (wordWrapPlugin_) r = wordWrapPlugin_->DisplayToBufferPos(p);
  if (r.Line >= 1 && r.Line <= lines_->Count() && !(r.Char >= 1 && LineWithoutTabs(r.Line))) {
    const std::u32string& s = Line32(r.Line);
    int target = r.Char;
    int col = 0, i = 0;
    while (i < static_cast<int>(s.size())) {
      int next = s[static_cast<size_t>(i)] == U'\t' ? col + tabWidth_ - col % tabWidth_ : col + 1;
      if (next >= target) break;
      col = next;
      ++i;
    }
    if (i < static_cast<int>(s.size()))
      r.Char = i + 1;
    else
      r.Char = i + 1 + (target - 1 - col);
  }
  return r;
}

TDisplayCoord TCustomCodeEdit::PixelsToRowColumn(int x, int y) const {
  int cw = std::max(charWidth_, 1), lh = std::max(lineHeight_, 1);
  int64_t dx = static_cast<int64_t>(x) - gutterWidth_ - 2;
  int64_t col = leftChar_ + (dx >= 0 ? dx / cw : -((-dx + cw - 1) / cw));
  int64_t row = topLine_ + (y >= 0 ? y / lh : -((-y + lh - 1) / lh));
  return {static_cast<int>(std::clamp<int64_t>(col, 1, INT_MAX)),
          static_cast<int>(std::clamp<int64_t>(row, 1, INT_MAX))};
}

TDisplayCoord TCustomCodeEdit::PixelsToNearestRowColumn(int x, int y) const {
  int cw = std::max(charWidth_, 1);
  int ch = const_cast<TCustomCodeEdit*>(this)->ClientHeight();
  y = std::clamp(y, 0, std::max(ch - 1, 0));
  int64_t dx = static_cast<int64_t>(x) - gutterWidth_ - 2 + cw / 2;
  int64_t col = leftChar_ + (dx >= 0 ? dx / cw : -((-dx + cw - 1) / cw));
  int64_t row = topLine_ + y / std::max(lineHeight_, 1);
  return {static_cast<int>(std::clamp<int64_t>(col, 1, INT_MAX)),
          static_cast<int>(std::clamp<int64_t>(row, 1, INT_MAX))};
}

TPoint TCustomCodeEdit::RowColumnToPixels(const TDisplayCoord& p) const {
  int64_t x = static_cast<int64_t>(p.Column - 1) * charWidth_ + textOffset_;
  int64_t y = static_cast<int64_t>(p.Row - topLine_) * lineHeight_;
  return {static_cast<int>(std::clamp<int64_t>(x, INT_MIN / 2, INT_MAX / 2)),
          static_cast<int>(std::clamp<int64_t>(y, INT_MIN / 2, INT_MAX / 2))};
}

void TCustomCodeEdit::ComputeCaret(int x, int y) {
  TDisplayCoord vc = PixelsToNearestRowColumn(x, y);
  vc.Row = std::clamp(vc.Row, 1, std::max(DisplayLineCount(), 1));
  TBufferCoord bc = DisplayToBufferPos(vc);
  SetCaretXY(bc);
  if (wordWrapPlugin_ && BufferToDisplayPos(bc).Row != vc.Row) caretAtEndOfRow_ = true;
  lastCaretX_ = DisplayX();
}

// ------------------------------------------------------------------ caret

int TCustomCodeEdit::MaxCaretChar(int line) const {
  int maxChar = wordWrapPlugin_ ? INT_MAX : maxScrollWidth_ + 1;
  if (!options_.Contains(eoScrollPastEol)) {
    maxChar = lines_->Count() == 0 ? 1 : LineLength(line) + 1;
  }
  return maxChar;
}

void TCustomCodeEdit::SetCaretXYVirtual(const TBufferCoord& value) {
  MoveCaretTo(true, value);
}

void TCustomCodeEdit::MoveCaretTo(bool ensureVisible, const TBufferCoord& value) {
  caretAtEndOfRow_ = false;
  DoOnPaintTransient(ttBefore);
  TBufferCoord v = value;
  v.Line = std::clamp(v.Line, 1, std::max(lines_->Count(), 1));
  int maxChar = MaxCaretChar(v.Line);
  if (v.Char > maxChar &&
      !(options_.Contains(eoScrollPastEol) && options_.Contains(eoAutoSizeMaxScrollWidth)))
    v.Char = maxChar;
  v.Char = std::max(v.Char, 1);
  if (v.Char == caretX_ && v.Line == caretY_) {
    lastCaretX_ = DisplayX();
  } else {
    IncPaintLock();
    if (v.Char != caretX_) {
      caretX_ = v.Char;
      statusChanges_ |= scCaretX;
    }
    if (v.Line != caretY_) {
      if (activeLineColor_ != clNone) {
        InvalidateLine(v.Line);
        InvalidateLine(caretY_);
      }
      caretY_ = v.Line;
      statusChanges_ |= scCaretY;
    }
    lastCaretX_ = DisplayX();
    if (ensureVisible) EnsureCursorPosVisible();
    stateFlags_ |= sfCaretChanged | sfScrollbarChanged;
    DecPaintLock();
  }
  DoOnPaintTransient(ttAfter);
}

void TCustomCodeEdit::SetCaretAndClearSelection(const TBufferCoord& value) {
  IncPaintLock();
  statusChanges_ |= scSelection;
  SetCaretXY(value);
  if (SelAvail()) InvalidateSelection();
  blockBegin_ = blockEnd_ = ClampBlockPos(CaretXY());  // a caret past a line's end has its block at the end
  DecPaintLock();
}

void TCustomCodeEdit::EnsureCursorPosVisibleEx(bool forceToMiddle) {
  IncPaintLock();
  TDisplayCoord p = DisplayXY();
  if (p.Column < leftChar_)
    SetLeftChar(p.Column);
  else if (static_cast<int64_t>(p.Column) >= static_cast<int64_t>(leftChar_) + charsInWindow_)
    SetLeftChar(p.Column - charsInWindow_ + 1);
  int lines = std::max(linesInWindow_, 1);
  if (forceToMiddle) {
    if (p.Row < topLine_ - 1) {
      int t = p.Row - lines / 2;
      SetTopLine(t < 0 ? 1 : t + 1);
    } else if (p.Row > topLine_ + lines - 2) {
      SetTopLine(p.Row - (lines - 1) + lines / 2);
    }
  } else {
    if (p.Row < topLine_)
      SetTopLine(p.Row);
    else if (p.Row > topLine_ + lines - 1)
      SetTopLine(p.Row - (lines - 1));
  }
  DecPaintLock();
}

void TCustomCodeEdit::InitializeCaret() {
  if (!HandleAllocated()) return;
  TCodeEditCaretType type = insertMode_ ? insertCaret_ : overwriteCaret_;
  int w = 2, h = std::max(lineHeight_ - 2, 1);
  caretOffset_ = TPoint{-1, 0};
  switch (type) {
    case ctHorizontalLine:
      w = charWidth_;
      h = 2;
      caretOffset_ = TPoint{0, lineHeight_ - 2};
      break;
    case ctHalfBlock:
      w = charWidth_;
      h = (lineHeight_ - 2) / 2;
      caretOffset_ = TPoint{0, h};
      break;
    case ctBlock:
      w = charWidth_;
      caretOffset_ = TPoint{0, 0};
      break;
    default:
      break;
  }
  caretWidth_ = w;
  caretHeight_ = h;
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfCaretVisible);
  if (Focused()) {
    CreateCaret(Handle(), nullptr, w, h);
    UpdateCaret();
  }
}

void TCustomCodeEdit::HideCaretNow() {
  if (stateFlags_ & sfCaretVisible) {
    if (HideCaret(Handle())) stateFlags_ &= static_cast<TCodeStateFlags>(~sfCaretVisible);
  }
}

void TCustomCodeEdit::UpdateCaret() {
  if (paintLock_ > 0) {
    stateFlags_ |= sfCaretChanged;
    return;
  }
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfCaretChanged);
  if (!HandleAllocated() || !Focused()) return;
  TPoint p = RowColumnToPixels(DisplayXY());
  int x = p.X + caretOffset_.X;
  int y = p.Y + caretOffset_.Y + 1;
  SetCaretPos(x, y);
  bool inside = x >= gutterWidth_ && x < ClientWidth() && y >= 0 && y < ClientHeight();
  if (inside && !options_.Contains(eoNoCaret)) {
    if (!(stateFlags_ & sfCaretVisible) && ShowCaret(Handle())) stateFlags_ |= sfCaretVisible;
  } else {
    HideCaretNow();
  }
}

// ------------------------------------------------------------------ selection

TBufferCoord TCustomCodeEdit::BlockBegin() const {
  if (blockEnd_.Line < blockBegin_.Line ||
      (blockEnd_.Line == blockBegin_.Line && blockEnd_.Char < blockBegin_.Char))
    return blockEnd_;
  return blockBegin_;
}

TBufferCoord TCustomCodeEdit::BlockEnd() const {
  if (blockEnd_.Line < blockBegin_.Line ||
      (blockEnd_.Line == blockBegin_.Line && blockEnd_.Char < blockBegin_.Char))
    return blockBegin_;
  return blockEnd_;
}

bool TCustomCodeEdit::SelAvail() const {
  if (blockBegin_ == blockEnd_) return false;
  if (selectionMode_ == smColumn) return blockBegin_.Char != blockEnd_.Char;
  return true;
}

TBufferCoord TCustomCodeEdit::ClampBlockPos(TBufferCoord value) const {
  value.Char = std::max(value.Char, 1);
  if (options_.Contains(eoScrollPastEol) && !wordWrapPlugin_)
    value.Char = std::min(value.Char, maxScrollWidth_ + 1);
  value.Line = std::clamp(value.Line, 1, std::max(lines_->Count(), 1));
  if (selectionMode_ == smNormal) value.Char = std::min(value.Char, LineLength(value.Line) + 1);
  return value;
}

void TCustomCodeEdit::SetBlockBegin(TBufferCoord value) {
  value = ClampBlockPos(value);
  bool had = SelAvail();
  if (blockBegin_ == value && blockEnd_ == value) return;
  if (had) {
    InvalidateLines(std::min({blockBegin_.Line, blockEnd_.Line, value.Line}),
                    std::max({blockBegin_.Line, blockEnd_.Line, value.Line}));
  }
  blockBegin_ = blockEnd_ = value;
  StatusChanged(scSelection);
}

void TCustomCodeEdit::SetBlockEnd(TBufferCoord value) {
  if (options_.Contains(eoNoSelection)) return;
  value = ClampBlockPos(value);
  if (value == blockEnd_) return;
  if (selectionMode_ == smColumn && value.Char != blockEnd_.Char) {
    InvalidateLines(std::min({blockBegin_.Line, blockEnd_.Line, value.Line}),
                    std::max({blockBegin_.Line, blockEnd_.Line, value.Line}));
  } else if (!(selectionMode_ == smColumn && blockBegin_.Char == value.Char)) {
    InvalidateLines(std::min(blockEnd_.Line, value.Line), std::max(blockEnd_.Line, value.Line));
  }
  blockEnd_ = value;
  StatusChanged(scSelection);
}

void TCustomCodeEdit::SetCaretAndSelection(const TBufferCoord& caret, const TBufferCoord& blockBegin,
                                           const TBufferCoord& blockEnd) {
  IncPaintLock();
  SetCaretXY(caret);
  SetBlockBegin(blockBegin);
  SetBlockEnd(blockEnd);
  DecPaintLock();
}

bool TCustomCodeEdit::IsPointInSelection(const TBufferCoord& value) const {
  if (!SelAvail()) return false;
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  if (value.Line < b.Line || value.Line > e.Line) return false;
  switch (selectionMode_) {
    case smLine:
      return true;
    case smColumn: {
      int lo = std::min(b.Char, e.Char), hi = std::max(b.Char, e.Char);
      return value.Char >= lo && value.Char < hi;
    }
    default:
      if (value.Line == b.Line && value.Char < b.Char) return false;
      if (value.Line == e.Line && value.Char >= e.Char) return false;
      return true;
  }
}

void TCustomCodeEdit::MoveCaretAndSelection(const TBufferCoord& from, const TBufferCoord& to,
                                            bool selectionCommand) {
  if (options_.Contains(eoGroupUndo) && undoList_->CanUndo()) undoList_->AddGroupBreak();
  IncPaintLock();
  if (selectionCommand) {
    if (!SelAvail()) SetBlockBegin(from);
    TBufferCoord end = to;
    if (selectionMode_ == smColumn && from.Char == to.Char) end.Char = to.Char + 1;
    SetBlockEnd(end);
  } else {
    SetBlockBegin(to);
  }
  SetCaretXY(to);
  DecPaintLock();
}

void TCustomCodeEdit::MoveCaretHorz(int dx, bool selectionCommand) {
  TBufferCoord from = CaretXY();
  TBufferCoord to = from;
  int len = LineLength(from.Line);
  if (!options_.Contains(eoScrollPastEol) && dx == -1 && from.Char == 1 && from.Line > 1) {
    to = {LineLength(from.Line - 1) + 1, from.Line - 1};
  } else if (!options_.Contains(eoScrollPastEol) && dx == 1 && from.Char > len &&
             from.Line < lines_->Count()) {
    to = {1, from.Line + 1};
  } else {
    int64_t c = static_cast<int64_t>(from.Char) + dx;
    c = std::max<int64_t>(c, 1);
    if (!options_.Contains(eoScrollPastEol)) c = std::min<int64_t>(c, len + 1);
    to.Char = static_cast<int>(std::min<int64_t>(c, INT_MAX));
  }
  if (wordWrapPlugin_) {
    if (dx > 0 && caretAtEndOfRow_) {
      caretAtEndOfRow_ = false;
      InvalidateLine(caretY_);
      UpdateCaret();
      return;
    }
    TDisplayCoord d = BufferToDisplayPos(from);
    if (dx < 0 && d.Column == 1 && LineToRow(from.Line) != d.Row) {
      caretAtEndOfRow_ = true;
      UpdateCaret();
      return;
    }
  }
  TBufferCoord from2 = SelAvail() ? blockBegin_ : from;
  (void)from2;
  MoveCaretAndSelection(blockBegin_ == blockEnd_ ? from : blockBegin_, to, selectionCommand);
}

void TCustomCodeEdit::MoveCaretVert(int dy, bool selectionCommand) {
  TDisplayCoord d = DisplayXY();
  int64_t row = static_cast<int64_t>(d.Row) + dy;
  TDisplayCoord dest{d.Column,
                     static_cast<int>(std::clamp<int64_t>(row, 1, std::max(DisplayLineCount(), 1)))};
  if (dest.Row != d.Row && options_.Contains(eoKeepCaretX)) dest.Column = lastCaretX_;
  TBufferCoord to = DisplayToBufferPos(dest);
  int saveLast = lastCaretX_;
  MoveCaretAndSelection(blockBegin_ == blockEnd_ ? CaretXY() : blockBegin_, to, selectionCommand);
  if (wordWrapPlugin_ && BufferToDisplayPos(to).Row != dest.Row) caretAtEndOfRow_ = true;
  lastCaretX_ = saveLast;
}

// ------------------------------------------------------------------ invalidation

void TCustomCodeEdit::InvalidateRect(const TRect& rect, bool erase) {
  if (!HandleAllocated()) return;
  RECT r = rect;
  ::InvalidateRect(Handle(), &r, erase);
}

void TCustomCodeEdit::AddInvalidRect(const TRect& r) {
  constexpr size_t kMaxRects = 8;  // past so many, one rectangle bounds them all
  for (const TRect& kept : invalidateRects_)
    if (kept.Left <= r.Left && kept.Top <= r.Top && kept.Right >= r.Right && kept.Bottom >= r.Bottom) return;
  if (invalidateRects_.size() < kMaxRects) {
    invalidateRects_.push_back(r);
    return;
  }
  TRect all = r;
  for (const TRect& kept : invalidateRects_) UnionRect(all, all, kept);
  invalidateRects_.assign(1, all);
}

void TCustomCodeEdit::InvalidateLines(int firstLine, int lastLine) {
  if (!HandleAllocated() || !Visible() || lineHeight_ <= 0) return;
  if (firstLine == -1 && lastLine == -1) {
    TRect r = ClientRect();
    r.Left = gutterWidth_;
    if (stateFlags_ & sfLinesChanging)
      AddInvalidRect(r);
    else
      InvalidateRect(r, false);
    return;
  }
  if (lastLine < firstLine) std::swap(firstLine, lastLine);
  int firstRow = LineToRow(std::max(firstLine, 1));
  int lastRow =
      lastLine >= INT_MAX / 2 ? INT_MAX / 2 : (wordWrapPlugin_ ? LineToRow(lastLine + 1) - 1 : lastLine);
  firstRow = std::max(firstRow, topLine_);
  lastRow = std::min(lastRow, topLine_ + linesInWindow_);
  if (lastRow < firstRow) return;
  TRect r(gutterWidth_, (firstRow - topLine_) * lineHeight_, ClientWidth(),
          (lastRow - topLine_ + 1) * lineHeight_);
  if (stateFlags_ & sfLinesChanging)
    AddInvalidRect(r);
  else
    InvalidateRect(r, false);
}

void TCustomCodeEdit::InvalidateLine(int line) {
  if (line < 1) return;
  InvalidateLines(line, line);
}

void TCustomCodeEdit::InvalidateGutter() {
  InvalidateGutterLines(-1, -1);
}

void TCustomCodeEdit::InvalidateGutterLines(int firstLine, int lastLine) {
  if (!HandleAllocated() || !Visible() || lineHeight_ <= 0) return;
  TRect r;
  if (firstLine == -1 && lastLine == -1) {
    r = TRect(0, 0, gutterWidth_, ClientHeight());
  } else {
    if (lastLine < firstLine) std::swap(firstLine, lastLine);
    int firstRow = std::max(LineToRow(std::max(firstLine, 1)), topLine_);
    int lastRow = lastLine >= INT_MAX / 2 ? topLine_ + linesInWindow_
                                          : std::min(wordWrapPlugin_ ? LineToRow(lastLine + 1) - 1 : lastLine,
                                                     topLine_ + linesInWindow_);
    if (lastRow < firstRow) return;
    r = TRect(0, (firstRow - topLine_) * lineHeight_, gutterWidth_, (lastRow - topLine_ + 1) * lineHeight_);
  }
  if (stateFlags_ & sfLinesChanging)
    AddInvalidRect(r);
  else
    InvalidateRect(r, false);
}

void TCustomCodeEdit::InvalidateSelection() {
  InvalidateLines(std::min(blockBegin_.Line, blockEnd_.Line), std::max(blockBegin_.Line, blockEnd_.Line));
}

// ------------------------------------------------------------------ TopLine, LeftChar, scroll bars

void TCustomCodeEdit::SetTopLine(int value) {
  // a window lower than one row still shows its top row: the top line stays on the text
  int maxTop = options_.Contains(eoScrollPastEof) ? DisplayLineCount()
                                                  : DisplayLineCount() - std::max(linesInWindow_, 1) + 1;
  value = std::max(std::min(value, maxTop), 1);
  if (value == topLine_) return;
  int delta = topLine_ - value;
  topLine_ = value;
  if (HandleAllocated()) {
    if (std::abs(delta) < linesInWindow_ && !(stateFlags_ & sfLinesChanging)) {
      ScrollWindow(Handle(), 0, lineHeight_ * delta, nullptr, nullptr);
    } else {
      Invalidate();
    }
  }
  UpdateScrollBars();
  StatusChanged(scTopLine);
}

void TCustomCodeEdit::SetLeftChar(int value) {
  if (wordWrapPlugin_) value = 1;
  int64_t maxLeft;
  if (options_.Contains(eoScrollPastEol)) {
    if (options_.Contains(eoAutoSizeMaxScrollWidth))
      maxLeft = static_cast<int64_t>(INT_MAX) - charsInWindow_;
    else
      maxLeft = static_cast<int64_t>(maxScrollWidth_) - charsInWindow_ + 1;
  } else {
    int longest = lines_->LengthOfLongestLine();
    maxLeft = longest > charsInWindow_ ? longest - charsInWindow_ + 1 : 1;
  }
  value = static_cast<int>(std::clamp<int64_t>(value, 1, std::max<int64_t>(maxLeft, 1)));
  if (value == leftChar_) return;
  int delta = leftChar_ - value;
  leftChar_ = value;
  textOffset_ = gutterWidth_ + 2 - static_cast<int64_t>(leftChar_ - 1) * charWidth_;
  if (HandleAllocated()) {
    if (std::abs(delta) < charsInWindow_) {
      const int left = gutterWidth_ + 2, right = ClientWidth(), bottom = ClientHeight(),
                shift = delta * charWidth_;
      RECT r = TRect(left, 0, right, bottom);
      ScrollWindow(Handle(), shift, 0, &r, &r);
      // A glyph may reach a pixel into the next cell. The edge columns may hold such pixels of glyphs
      // that went out of view, and the column beside the ones that came into view lacks those of its
      // new neighbour: they paint again.
      InvalidateRect(TRect(left, 0, left + charWidth_, bottom), false);
      InvalidateRect(TRect(right - charWidth_, 0, right, bottom), false);
      if (shift > 0)
        InvalidateRect(TRect(left + shift, 0, left + shift + charWidth_, bottom), false);
      else
        InvalidateRect(TRect(right + shift - charWidth_, 0, right + shift, bottom), false);
    } else {
      InvalidateLines(-1, -1);
    }
  }
  if (options_.Contains(eoAutoSizeMaxScrollWidth) && options_.Contains(eoScrollPastEol) &&
      static_cast<int64_t>(leftChar_) + charsInWindow_ > maxScrollWidth_)
    SetMaxScrollWidth(leftChar_ + charsInWindow_);
  else
    UpdateScrollBars();
  StatusChanged(scLeftChar);
}

bool TCustomCodeEdit::SetScrollBar(int bar, int64_t maxValue, int page, int position, bool hideWhenFits) {
  const unsigned pass = scrollBarPass_;
  SCROLLINFO si;
  si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;  // whether the bar shows is decided here
  bool show = true;
  if (maxValue > kScaledMax) {
    si.nMin = 0;
    si.nMax = kScaledMax;
    si.nPage = static_cast<UINT>(MulDiv64(kScaledMax, page, maxValue));
    si.nPos = MulDiv64(kScaledMax, position, maxValue);
  } else {
    si.nMin = 1;
    si.nMax = static_cast<int>(maxValue);
    si.nPage = static_cast<UINT>(std::max(page, 0));
    si.nPos = position;
    if (hideWhenFits && maxValue <= page) show = false;
  }
  // showing or hiding a bar resizes the client area, and the pass that size started has set the
  // bars for it: what this pass computed is out of date
  ShowScrollBar(Handle(), bar, show);
  if (scrollBarPass_ != pass) return false;
  if (!show) return true;
  SetScrollInfo(Handle(), bar, si, true);
  if (!options_.Contains(eoDisableScrollArrows) && maxValue > page) {
    EnableScrollBar(Handle(), static_cast<UINT>(bar), ESB_ENABLE_BOTH);
  } else {
    UINT arrows = ESB_ENABLE_BOTH;
    bool atStart = position <= 1;
    bool atEnd = static_cast<int64_t>(position) + page > maxValue;
    if (atStart && atEnd)
      arrows = ESB_DISABLE_BOTH;
    else if (atStart)
      arrows = ESB_DISABLE_LEFT;
    else if (atEnd)
      arrows = ESB_DISABLE_RIGHT;
    EnableScrollBar(Handle(), static_cast<UINT>(bar), arrows);
  }
  return scrollBarPass_ == pass;
}

void TCustomCodeEdit::UpdateScrollBars() {
  if (paintLock_ > 0) {
    stateFlags_ |= sfScrollbarChanged;
    return;
  }
  UpdateScrollBarsNow();
}

void TCustomCodeEdit::UpdateScrollBarsNow() {
  if (!HandleAllocated()) {
    stateFlags_ |= sfScrollbarChanged;
    return;
  }
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfScrollbarChanged);
  // A bar shown or hidden resizes the client area, whose layout comes back here. In a window too small
  // for its bars each pass could undo the one before it: a third nested pass leaves the bars alone.
  if (scrollBarDepth_ >= 2) return;
  ++scrollBarDepth_;
  TScopeExit leave{[this] { --scrollBarDepth_; }};
  ++scrollBarPass_;
  bool hideFits = options_.Contains(eoHideShowScrollbars);
  if (scrollBars_ == ssNone) {
    ShowScrollBar(Handle(), SB_HORZ, false);
    ShowScrollBar(Handle(), SB_VERT, false);
    return;
  }
  const unsigned pass = scrollBarPass_;
  if ((scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && !wordWrapPlugin_) {
    int64_t maxScroll =
        options_.Contains(eoScrollPastEol) ? maxScrollWidth_ : std::max(lines_->LengthOfLongestLine(), 1);
    if (!SetScrollBar(SB_HORZ, maxScroll, charsInWindow_, leftChar_, hideFits)) return;
  } else {
    ShowScrollBar(Handle(), SB_HORZ, false);
    if (scrollBarPass_ != pass) return;
  }
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) {
    int64_t maxScroll = DisplayLineCount();
    if (options_.Contains(eoScrollPastEof)) maxScroll += linesInWindow_ - 1;
    maxScroll = std::max<int64_t>(maxScroll, 1);
    SetScrollBar(SB_VERT, maxScroll, linesInWindow_, topLine_, hideFits);
  } else {
    ShowScrollBar(Handle(), SB_VERT, false);
  }
}

// The value a thumb position stands for, scaled back when the bar was scaled.
int TCustomCodeEdit::ThumbToValue(int thumb, int64_t maxValue) const {
  if (maxValue > kScaledMax) return MulDiv64(maxValue, thumb, kScaledMax);
  return thumb;
}

void TCustomCodeEdit::WMHScroll(TMessage& message) {
  int code = LOWORD(message.WParam);
  int64_t maxScroll =
      options_.Contains(eoScrollPastEol) ? maxScrollWidth_ : std::max(lines_->LengthOfLongestLine(), 1);
  int page = options_.Contains(eoScrollByOneLess) ? charsInWindow_ - 1 : charsInWindow_;
  switch (code) {
    case SB_LINELEFT:
      SetLeftChar(leftChar_ - 1);
      break;
    case SB_LINERIGHT:
      SetLeftChar(leftChar_ + 1);
      break;
    case SB_PAGELEFT:
      SetLeftChar(leftChar_ - page);
      break;
    case SB_PAGERIGHT:
      SetLeftChar(leftChar_ + page);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      isScrolling_ = true;
      SetLeftChar(ThumbToValue(static_cast<int16_t>(HIWORD(message.WParam)) & 0xFFFF, maxScroll));
      break;
    case SB_LEFT:
      SetLeftChar(1);
      break;
    case SB_RIGHT:
      SetLeftChar(options_.Contains(eoScrollPastEol) ? maxScrollWidth_ - charsInWindow_ + 1
                                                     : lines_->LengthOfLongestLine());
      break;
    case SB_ENDSCROLL:
      isScrolling_ = false;
      break;
    default:
      break;
  }
  message.Result = 0;
  InvokeEvent(OnScroll, this, sbHorizontal);
}

void TCustomCodeEdit::WMVScroll(TMessage& message) {
  int code = LOWORD(message.WParam);
  int64_t maxScroll = DisplayLineCount();
  if (options_.Contains(eoScrollPastEof)) maxScroll += linesInWindow_ - 1;
  int page = options_.Contains(eoScrollByOneLess) ? linesInWindow_ - 1 : linesInWindow_;
  switch (code) {
    case SB_LINEUP:
      SetTopLine(topLine_ - 1);
      break;
    case SB_LINEDOWN:
      SetTopLine(topLine_ + 1);
      break;
    case SB_PAGEUP:
      SetTopLine(topLine_ - page);
      break;
    case SB_PAGEDOWN:
      SetTopLine(topLine_ + page);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      isScrolling_ = true;
      int thumb = HIWORD(message.WParam);
      SetTopLine(ThumbToValue(thumb, maxScroll));
      if (options_.Contains(eoShowScrollHint)) ShowScrollHint(thumb);
      break;
    }
    case SB_TOP:
      SetTopLine(1);
      break;
    case SB_BOTTOM:
      SetTopLine(DisplayLineCount());
      break;
    case SB_ENDSCROLL:
      isScrolling_ = false;
      HideScrollHint();
      break;
    default:
      break;
  }
  Update();
  message.Result = 0;
  InvokeEvent(OnScroll, this, sbVertical);
}

void TCustomCodeEdit::ShowScrollHint(int thumb) {
  THintWindow*& hint = ScrollHint();
  if (!hint) {
    hint = new THintWindow(nullptr);
    hint->SetVisible(false);
  }
  hint->SetColor(scrollHintColor_);
  std::string text;
  if (scrollHintFormat_ == shfTopToBottom)
    text =
        std::to_string(RowToLine(topLine_)) + " - " +
        std::to_string(RowToLine(std::min(topLine_ + linesInWindow_ - 1, std::max(DisplayLineCount(), 1))));
  else
    text = "Top Line: " + std::to_string(RowToLine(topLine_));
  TRect r = hint->CalcHintRect(200, text, nullptr);
  TPoint p;
  if (options_.Contains(eoScrollHintFollows)) {
    int arrow = GetSystemMetrics(SM_CYVSCROLL);
    int64_t range = std::max<int64_t>(
        DisplayLineCount() + (options_.Contains(eoScrollPastEof) ? linesInWindow_ - 1 : 0), 1);
    if (range > kScaledMax) range = kScaledMax;
    int y = arrow + static_cast<int>((static_cast<int64_t>(ClientHeight()) - 2 * arrow) * thumb / range) +
            r.Height() / 2;
    p = ClientToScreen(TPoint{ClientWidth() - r.Width() - 4, y});
  } else {
    p = ClientToScreen(TPoint{ClientWidth() - r.Width() - 4, 10});
  }
  r = TRect(p.X, p.Y, p.X + r.Width(), p.Y + r.Height());
  hint->ActivateHint(r, text);
  hint->Update();
}

void TCustomCodeEdit::HideScrollHint() {
  THintWindow* hint = ScrollHint();
  if (hint && hint->HandleAllocated()) ShowWindow(hint->Handle(), SW_HIDE);
}

void TCustomCodeEdit::ScrollByWheel(int delta, TShiftState shift) {
  if (delta == 0) return;
  int lines;
  if (shift.Contains(ssCtrl)) {
    lines = linesInWindow_;
    if (options_.Contains(eoHalfPageScroll)) lines /= 2;
  } else {
    UINT setting = 3;
    SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &setting, 0);
    lines = static_cast<int>(setting);
    if (setting == UINT_MAX || lines < 0 || lines > linesInWindow_) lines = linesInWindow_;
  }
  wheelAccumulator_ += delta;
  while (wheelAccumulator_ >= WHEEL_DELTA) {
    wheelAccumulator_ -= WHEEL_DELTA;
    SetTopLine(topLine_ - lines);
  }
  while (wheelAccumulator_ <= -WHEEL_DELTA) {
    wheelAccumulator_ += WHEEL_DELTA;
    SetTopLine(topLine_ + lines);
  }
  Update();
  InvokeEvent(OnScroll, this, sbVertical);
}

// ------------------------------------------------------------------ keyboard

void TCustomCodeEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  kbdHandler_->ExecuteKeyDown(this, key, shift);
  if (key == 0) return;
  TCodeEditorCommand command = ecNone;
  TShiftState keyShift = shift * TShiftState{ssShift, ssCtrl, ssAlt};
  if (lastKey_ != 0) {
    int i = keystrokes_->FindKeycode2(lastKey_, lastShiftState_, key, keyShift);
    if (i >= 0) command = keystrokes_->Items(i)->Command();
  }
  if (command == ecNone) {
    int i = keystrokes_->FindKeycode(key, keyShift);
    if (i >= 0) {
      command = keystrokes_->Items(i)->Command();
    }
  }
  if (command == ecNone && key >= 30 && key <= 145) {
    // a key that may begin a two-stroke binding
    bool firstOfTwo = false;
    for (int i = 0; i < keystrokes_->Count(); ++i) {
      TCodeEditKeyStroke* k = keystrokes_->Items(i);
      if (k->Key2() != 0 && k->Key() == key && k->Shift() == keyShift) firstOfTwo = true;
    }
    lastKey_ = firstOfTwo ? key : 0;
    lastShiftState_ = keyShift;
  } else {
    lastKey_ = 0;
    lastShiftState_ = {};
  }
  if (command != ecNone) {
    key = 0;
    stateFlags_ |= sfIgnoreNextChar;
    CommandProcessor(command, 0, nullptr);
  } else {
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfIgnoreNextChar);
  }
}

void TCustomCodeEdit::KeyUp(WORD& key, TShiftState shift) {
  TCustomControl::KeyUp(key, shift);
  kbdHandler_->ExecuteKeyUp(this, key, shift);
}

void TCustomCodeEdit::KeyPress(char32_t& key) {
  if (imeCount_ > 0) {
    --imeCount_;
    key = 0;
    return;
  }
  if (stateFlags_ & sfIgnoreNextChar) {
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfIgnoreNextChar);
    key = 0;
    return;
  }
  TCustomControl::KeyPress(key);
  kbdHandler_->ExecuteKeyPress(this, key);
  if (key != 0) CommandProcessor(ecChar, key, nullptr);
}

// ------------------------------------------------------------------ mouse

void TCustomCodeEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  bool hadSelection = SelAvail();
  TBufferCoord oldBegin = blockBegin_, oldEnd = blockEnd_;
  if (button == mbLeft && hadSelection) {
    mouseDownX_ = x;
    mouseDownY_ = y;
  }
  TCustomControl::MouseDown(button, shift, x, y);
  if (button == mbLeft && shift.Contains(ssDouble)) return;
  kbdHandler_->ExecuteMouseDown(this, button, shift, x, y);
  if (button == mbRight) {
    if (options_.Contains(eoRightMouseMovesCursor)) {
      TBufferCoord p = DisplayToBufferPos(PixelsToRowColumn(x, y));
      if (!IsPointInSelection(p)) {
        InvalidateSelection();
        ComputeCaret(x, y);
        SetBlockBegin(CaretXY());
      }
    }
  }
  if (button == mbLeft) {
    ComputeCaret(x, y);
    blockBegin_ = oldBegin;
    blockEnd_ = oldEnd;
    SetMouseCapture(true);
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfWaitForDragging);
    if (hadSelection && options_.Contains(eoDragDropEditing) && x > gutterWidth_ &&
        selectionMode_ == smNormal && IsPointInSelection(CaretXY())) {
      stateFlags_ |= sfWaitForDragging;
    } else if (!(stateFlags_ & sfDblClicked)) {
      if (shift.Contains(ssShift)) {
        SetBlockEnd(CaretXY());
      } else {
        if (options_.Contains(eoAltSetsColumnMode) && selectionMode_ != smLine)
          SetSelectionMode(shift.Contains(ssAlt) ? smColumn : smNormal);
        InvalidateSelection();
        SetBlockBegin(CaretXY());
      }
    }
  }
  if (x < gutterWidth_) {
    stateFlags_ |= sfPossibleGutterClick;
    if (button == mbRight) DoOnGutterClick(button, x, y);
  }
  if (CanFocus() && !Focused()) SetFocus();
}

void TCustomCodeEdit::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (MouseCapture() && (stateFlags_ & sfWaitForDragging)) {
    if (std::abs(mouseDownX_ - x) >= GetSystemMetrics(SM_CXDRAG) ||
        std::abs(mouseDownY_ - y) >= GetSystemMetrics(SM_CYDRAG)) {
      stateFlags_ &= static_cast<TCodeStateFlags>(~sfWaitForDragging);
      // the text under the press is dragged from where the press put the caret
      dragStartCaret_ = CaretXY();
      BeginDrag(true);
    }
    return;
  }
  if (shift.Contains(ssLeft) && MouseCapture()) {
    ComputeScroll(x, y);
    TDisplayCoord p = PixelsToNearestRowColumn(x, y);
    p.Row = std::clamp(p.Row, 1, std::max(DisplayLineCount(), 1));
    if (scrollDeltaX_ != 0) p.Column = DisplayX();
    if (scrollDeltaY_ != 0) p.Row = DisplayY();
    TBufferCoord b = DisplayToBufferPos(p);
    IncPaintLock();
    SetCaretXY(b);
    SetBlockEnd(b);
    if ((stateFlags_ & sfPossibleGutterClick) && blockBegin_.Line != caretY_) stateFlags_ |= sfGutterDragging;
    DecPaintLock();
  }
}

void TCustomCodeEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  kbdHandler_->ExecuteMouseUp(this, button, shift, x, y);
  scrollTimer_->SetEnabled(false);
  if (button == mbRight && shift.Contains(ssRight) && PopupMenu()) return;
  SetMouseCapture(false);
  if ((stateFlags_ & sfPossibleGutterClick) && x < gutterWidth_ && button != mbRight) {
    DoOnGutterClick(button, x, y);
  } else if ((stateFlags_ & sfWaitForDragging) && !(stateFlags_ & sfDblClicked)) {
    ComputeCaret(x, y);
    if (!shift.Contains(ssShift)) SetBlockBegin(CaretXY());
    SetBlockEnd(CaretXY());
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfWaitForDragging);
  }
  stateFlags_ &= static_cast<TCodeStateFlags>(~(sfDblClicked | sfPossibleGutterClick | sfGutterDragging));
}

void TCustomCodeEdit::DblClick() {
  POINT p;
  GetCursorPos(p);
  TPoint c = ScreenToClient(TPoint{p.X, p.Y});
  if (c.X >= gutterWidth_) {
    if (!options_.Contains(eoNoSelection)) SetWordBlock(CaretXY());
    TCustomControl::DblClick();
    stateFlags_ |= sfDblClicked;
    SetMouseCapture(false);
  } else {
    TCustomControl::DblClick();
  }
}

void TCustomCodeEdit::DoOnGutterClick(TMouseButton button, int x, int y) {
  int line = RowToLine(PixelsToRowColumn(x, y).Row);
  if (line > lines_->Count()) return;
  TCodeEditMarks marks;
  markList_->GetMarksForLine(line, marks);
  int offset = bookMarkOpt_->LeftMargin();
  TCodeEditMark* mark = nullptr;
  for (TCodeEditMark* m : marks) {
    if (!m) break;
    offset += bookMarkOpt_->Xoffset();
    if (x < offset) {
      mark = m;
      break;
    }
  }
  InvokeEvent(OnGutterClick, this, button, x, y, line, mark);
}

void TCustomCodeEdit::WMSetCursor(TMessage& message) {
  if (LOWORD(message.LParam) != HTCLIENT) {
    TCustomControl::Dispatch(message);
    return;
  }
  UpdateMouseCursor();
  message.Result = 1;
}

void TCustomCodeEdit::UpdateMouseCursor() {
  POINT sp;
  GetCursorPos(sp);
  TPoint p = ScreenToClient(TPoint{sp.X, sp.Y});
  TCursor cursor;
  if (p.X < gutterWidth_) {
    cursor = crDefault;
  } else {
    TBufferCoord pos = DisplayToBufferPos(PixelsToRowColumn(p.X, p.Y));
    cursor = Cursor();
    if (options_.Contains(eoDragDropEditing) && !MouseCapture() && IsPointInSelection(pos)) cursor = crArrow;
    InvokeEvent(OnMouseCursor, this, pos, cursor);
    kbdHandler_->ExecuteMouseCursor(this, pos, cursor);
  }
  ::SetCursor(CursorHandle(cursor));
}

// ------------------------------------------------------------------ auto-scroll

void TCustomCodeEdit::ComputeScroll(int x, int y) {
  if (!MouseCapture() && !Dragging()) {
    scrollTimer_->SetEnabled(false);
    return;
  }
  TRect bounds(gutterWidth_, 0, gutterWidth_ + charsInWindow_ * charWidth_, linesInWindow_ * lineHeight_);
  if (borderStyle_ == bsNone)
    bounds = TRect(bounds.Left + 2, bounds.Top + 2, bounds.Right - 2, bounds.Bottom - 2);
  int cw = std::max(charWidth_, 1), lh = std::max(lineHeight_, 1);
  if (x < bounds.Left)
    scrollDeltaX_ = (x - bounds.Left) / cw - 1;
  else if (x >= bounds.Right)
    scrollDeltaX_ = (x - bounds.Right) / cw + 1;
  else
    scrollDeltaX_ = 0;
  if (y < bounds.Top)
    scrollDeltaY_ = (y - bounds.Top) / lh - 1;
  else if (y >= bounds.Bottom)
    scrollDeltaY_ = (y - bounds.Bottom) / lh + 1;
  else
    scrollDeltaY_ = 0;
  scrollTimer_->SetEnabled(scrollDeltaX_ != 0 || scrollDeltaY_ != 0);
}

void TCustomCodeEdit::ScrollTimerHandler() {
  IncPaintLock();
  POINT sp;
  GetCursorPos(sp);
  TPoint p = ScreenToClient(TPoint{sp.X, sp.Y});
  TDisplayCoord c = PixelsToRowColumn(p.X, p.Y);
  c.Row = std::clamp(c.Row, 1, std::max(DisplayLineCount(), 1));
  if (scrollDeltaX_ != 0) {
    SetLeftChar(leftChar_ + scrollDeltaX_);
    c.Column = scrollDeltaX_ > 0 ? leftChar_ + charsInWindow_ : leftChar_;
  }
  if (scrollDeltaY_ != 0) {
    int delta = scrollDeltaY_;
    if (GetKeyState(VK_SHIFT) < 0) delta *= linesInWindow_;
    SetTopLine(topLine_ + delta);
    c.Row =
        scrollDeltaY_ > 0 ? std::min(topLine_ + linesInWindow_, std::max(DisplayLineCount(), 1)) : topLine_;
  }
  TBufferCoord b = DisplayToBufferPos(c);
  MoveCaretTo(false, b);
  // a selection follows the mouse; dragged text keeps its own
  if (MouseCapture() && !Dragging()) SetBlockEnd(CaretXY());
  DecPaintLock();
  ComputeScroll(p.X, p.Y);
}
