// The base grid: geometry, focus and selection, scrolling, keys and the in-place editor protocol.
// Painting, mouse sizing and moving live in GridsMouse.cpp and GridsPaint.cpp.
#include "platform/gui/Grids.h"

#include <algorithm>
#include <cassert>

#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------- extents

int TCustomGrid::Extent(const std::map<int, int>& Sparse, int Index, int Default) const {
  if (Sparse.empty()) return Default;
  auto it = Sparse.find(Index);
  return it == Sparse.end() ? Default : it->second;
}

void TCustomGrid::SetExtent(std::map<int, int>& Sparse, int Index, int Value, int Default) {
  if (Value == Default)
    Sparse.erase(Index);
  else
    Sparse[Index] = Value;
}

// Moves the extent of cell From to To, the cells between shifting one place towards From.
void TCustomGrid::ShiftExtents(std::map<int, int>& Sparse, int From, int To, int Default) {
  if (From == To) return;
  int moved = Extent(Sparse, From, Default);
  int lo = std::min(From, To), hi = std::max(From, To);
  std::vector<std::pair<int, int>> inRange(Sparse.lower_bound(lo), Sparse.upper_bound(hi));
  Sparse.erase(Sparse.lower_bound(lo), Sparse.upper_bound(hi));
  int step = From < To ? -1 : 1;
  for (auto [index, value] : inRange)
    if (index != From) Sparse[index + step] = value;
  SetExtent(Sparse, To, moved, Default);
}

int TCustomGrid::ColWidths(int Index) const {
  return Extent(colWidths_, Index, defaultColWidth_);
}

int TCustomGrid::RowHeights(int Index) const {
  return Extent(rowHeights_, Index, defaultRowHeight_);
}

bool TCustomGrid::TabStops(int Index) const {
  return tabStops_.find(Index) == tabStops_.end();
}

void TCustomGrid::SetTabStops(int Index, bool Value) {
  if (Index < 0 || Index >= colCount_) return;
  if (Value)
    tabStops_.erase(Index);
  else
    tabStops_[Index] = false;
}

void TCustomGrid::SetColWidths(int Index, int Value) {
  if (Index < 0 || Index >= colCount_ || ColWidths(Index) == Value) return;
  SetExtent(colWidths_, Index, Value, defaultColWidth_);
  if (updatingEditor_ == 0) {
    UpdateScrollRange();
    InvalidateGrid();
    if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
  }
}

void TCustomGrid::SetRowHeights(int Index, int Value) {
  if (Index < 0 || Index >= rowCount_ || RowHeights(Index) == Value) return;
  SetExtent(rowHeights_, Index, Value, defaultRowHeight_);
  if (updatingEditor_ == 0) {
    UpdateScrollRange();
    InvalidateGrid();
    if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
  }
}

void TCustomGrid::SetDefaultColWidth(int Value) {
  if (Value == defaultColWidth_) return;
  defaultColWidth_ = Value;
  colWidths_.clear();
  UpdateScrollRange();
  InvalidateGrid();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
}

void TCustomGrid::SetDefaultRowHeight(int Value) {
  if (Value == defaultRowHeight_ && rowHeights_.empty()) return;
  defaultRowHeight_ = Value;
  rowHeights_.clear();
  UpdateScrollRange();
  InvalidateGrid();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
}

void TCustomGrid::SetGridLineWidth(int Value) {
  Value = std::max(0, Value);
  if (Value == gridLineWidth_) return;
  gridLineWidth_ = Value;
  UpdateScrollRange();
  InvalidateGrid();
}

int TCustomGrid::GridWidth() {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Horz.GridBoundary;
}

int TCustomGrid::GridHeight() {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Vert.GridBoundary;
}

// ---------------------------------------------------------------- construction

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csCaptureMouse, csOpaque, csDoubleClicks, csClickEvents};
  width_ = 320;
  height_ = 120;
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
}

TCustomGrid::~TCustomGrid() {
  // the editor is one of the grid's components; it must not call back while the grid goes
  if (inplaceEdit_) inplaceEdit_->grid_ = nullptr;
  inplaceEdit_ = nullptr;
}

void TCustomGrid::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_TABSTOP;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) Params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) Params.Style |= WS_HSCROLL;
  Params.WindowClass.style = CS_DBLCLKS;
  if (borderStyle_ == bsSingle) {
    if (ctl3D_)
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
}

void TCustomGrid::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollRange();
}

void TCustomGrid::Loaded() {
  TCustomControl::Loaded();
  UpdateScrollRange();
}

void TCustomGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == inplaceEdit_) {
    inplaceEdit_ = nullptr;
    inplaceCell_ = {-1, -1};
    editorLoaded_ = false;
  }
}

void TCustomGrid::SetOptions(TGridOptions Value) {
  if (options_ == Value) return;
  if (Value.Contains(goRowSelect)) Value.Exclude(goAlwaysShowEditor);
  options_ = Value;
  if (!options_.Contains(goEditing)) HideEditor();
  if (options_.Contains(goRowSelect)) {
    HideEditor();
    anchor_.Y = current_.Y;  // a row selection is the focused row
  }
  if (options_.Contains(goAlwaysShowEditor) && options_.Contains(goEditing)) {
    editorMode_ = true;
    UpdateEdit();
  }
  UpdateScrollRange();
  InvalidateGrid();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
  if (scrollBars_ == Value) return;
  scrollBars_ = Value;
  RecreateWnd();
}

void TCustomGrid::SetDefaultDrawing(bool Value) {
  if (defaultDrawing_ == Value) return;
  defaultDrawing_ = Value;
  Invalidate();
}

void TCustomGrid::SetFixedColor(TColor Value) {
  if (fixedColor_ == Value) return;
  fixedColor_ = Value;
  InvalidateGrid();
}

void TCustomGrid::SetBorderStyle(TBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCustomGrid::ChangeScale(int M, int D) {
  TCustomControl::ChangeScale(M, D);
  if (M == D || D == 0) return;
  defaultColWidth_ = MulDiv(defaultColWidth_, M, D);
  defaultRowHeight_ = MulDiv(defaultRowHeight_, M, D);
  for (auto& [index, value] : colWidths_)
    if (value > 0) value = MulDiv(value, M, D);
  for (auto& [index, value] : rowHeights_)
    if (value > 0) value = MulDiv(value, M, D);
  UpdateScrollRange();
  InvalidateGrid();
}

// ---------------------------------------------------------------- counts

void TCustomGrid::ChangeSize(int NewColCount, int NewRowCount) {
  NewColCount = std::max(1, NewColCount);
  NewRowCount = std::max(1, NewRowCount);
  if (NewColCount == colCount_ && NewRowCount == rowCount_) return;
  const int oldColCount = colCount_, oldRowCount = rowCount_, oldFixedCols = fixedCols_,
            oldFixedRows = fixedRows_;
  const TGridCoord oldTopLeft = topLeft_;
  // the editor writes back to the cell it came from while that cell still exists
  bool editorShown = inplaceEdit_ && inplaceEdit_->Visible();
  if (editorShown) HideEdit();
  colCount_ = NewColCount;
  rowCount_ = NewRowCount;
  fixedCols_ = std::min(fixedCols_, colCount_ - 1);
  fixedRows_ = std::min(fixedRows_, rowCount_ - 1);
  colWidths_.erase(colWidths_.lower_bound(colCount_), colWidths_.end());
  rowHeights_.erase(rowHeights_.lower_bound(rowCount_), rowHeights_.end());
  tabStops_.erase(tabStops_.lower_bound(colCount_), tabStops_.end());
  // the focus moves out of the cells that went
  auto clampCol = [&](int c) { return std::clamp(c, fixedCols_, colCount_ - 1); };
  auto clampRow = [&](int r) { return std::clamp(r, fixedRows_, rowCount_ - 1); };
  current_ = {clampCol(current_.X), clampRow(current_.Y)};
  anchor_ = {clampCol(anchor_.X), clampRow(anchor_.Y)};
  topLeft_ = {clampCol(topLeft_.X), clampRow(topLeft_.Y)};
  if (HandleAllocated()) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TGridCoord maxTopLeft = CalcMaxTopLeft({colCount_ - 1, rowCount_ - 1}, info);
    topLeft_ = {std::min(topLeft_.X, maxTopLeft.X), std::min(topLeft_.Y, maxTopLeft.Y)};
  }
  UpdateScrollRange();
  const int firstChanged = std::min(oldRowCount, rowCount_);
  rowPictures_.erase(rowPictures_.lower_bound(firstChanged), rowPictures_.end());
  if (oldColCount == colCount_ && oldFixedCols == fixedCols_ && oldFixedRows == fixedRows_ &&
      oldTopLeft == topLeft_)
    InvalidateRowsFrom(firstChanged);  // rows came or went at the end: the rows above stay
  else
    InvalidateGrid();
  if (editorShown || (editorMode_ && options_.Contains(goAlwaysShowEditor))) UpdateEdit();
}

void TCustomGrid::InvalidateRowsFrom(int ARow) {
  if (!HandleAllocated()) return;
  int top = 0;
  if (ARow > 0) {
    const TRect before = BoxRect(0, ARow - 1, colCount_ - 1, ARow - 1);
    if (!before.IsEmpty())
      top = before.Bottom;
    else if (ARow - 1 >= topLeft_.Y)
      return;  // below the view: nothing that shows changed
  }
  const RECT area = Rect(0, top, ClientWidth(), ClientHeight());
  if (!IsRectEmpty(area)) ::InvalidateRect(Handle(), &area, false);
}

void TCustomGrid::SetColCount(int Value) {
  ChangeSize(Value, rowCount_);
}

void TCustomGrid::SetRowCount(int Value) {
  ChangeSize(colCount_, Value);
}

void TCustomGrid::SetFixedCols(int Value) {
  Value = std::clamp(Value, 0, colCount_ - 1);
  if (Value == fixedCols_) return;
  HideEdit();
  fixedCols_ = Value;
  current_.X = std::max(current_.X, fixedCols_);
  anchor_.X = std::max(anchor_.X, fixedCols_);
  topLeft_.X = std::max(topLeft_.X, fixedCols_);
  UpdateScrollRange();
  InvalidateGrid();
}

void TCustomGrid::SetFixedRows(int Value) {
  Value = std::clamp(Value, 0, rowCount_ - 1);
  if (Value == fixedRows_) return;
  HideEdit();
  fixedRows_ = Value;
  current_.Y = std::max(current_.Y, fixedRows_);
  anchor_.Y = std::max(anchor_.Y, fixedRows_);
  topLeft_.Y = std::max(topLeft_.Y, fixedRows_);
  UpdateScrollRange();
  InvalidateGrid();
}

// ---------------------------------------------------------------- draw information

void TCustomGrid::CalcAxis(TGridAxisDrawInfo& Axis, int UseExtent, bool Horizontal) {
  const int count = Horizontal ? colCount_ : rowCount_;
  const int fixed = Horizontal ? fixedCols_ : fixedRows_;
  const bool lines = Horizontal ? (options_.Contains(goVertLine) || options_.Contains(goFixedVertLine))
                                : (options_.Contains(goHorzLine) || options_.Contains(goFixedHorzLine));
  Axis.EffectiveLineWidth = lines ? gridLineWidth_ : 0;
  Axis.GridExtent = UseExtent;
  Axis.FixedCellCount = fixed;
  Axis.GridCellCount = count;
  Axis.FirstGridCell = Horizontal ? topLeft_.X : topLeft_.Y;
  int pos = 0;
  for (int i = 0; i < fixed; ++i) {
    int ext = CellExtent(Horizontal, i);
    if (ext > 0) pos += ext + Axis.EffectiveLineWidth;
  }
  Axis.FixedBoundary = pos;
  Axis.FullVisBoundary = pos;
  Axis.LastFullVisibleCell = Axis.FirstGridCell - 1;
  for (int i = Axis.FirstGridCell; i < count && pos < UseExtent; ++i) {
    int ext = CellExtent(Horizontal, i);
    if (ext <= 0) {
      if (Axis.LastFullVisibleCell == i - 1) Axis.LastFullVisibleCell = i;
      continue;
    }
    if (pos + ext <= UseExtent) {
      Axis.LastFullVisibleCell = i;
      Axis.FullVisBoundary = pos + ext + Axis.EffectiveLineWidth;
    }
    pos += ext + Axis.EffectiveLineWidth;
  }
  // a cell wider than the window still counts as the one in view
  Axis.LastFullVisibleCell = std::max(Axis.LastFullVisibleCell, std::min(Axis.FirstGridCell, count - 1));
  Axis.GridBoundary = std::min(pos, UseExtent);
}

void TCustomGrid::CalcDrawInfoXY(TGridDrawInfo& DrawInfo, int UseWidth, int UseHeight) {
  CalcAxis(DrawInfo.Horz, UseWidth, true);
  CalcAxis(DrawInfo.Vert, UseHeight, false);
}

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& DrawInfo) {
  TRect client = ClientRect();
  CalcDrawInfoXY(DrawInfo, client.Width(), client.Height());
}

void TCustomGrid::CalcFixedInfo(TGridDrawInfo& DrawInfo) {
  CalcDrawInfo(DrawInfo);
}

int TCustomGrid::VisibleColCount() {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return std::max(1, info.Horz.LastFullVisibleCell - topLeft_.X + 1);
}

int TCustomGrid::VisibleRowCount() {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return std::max(1, info.Vert.LastFullVisibleCell - topLeft_.Y + 1);
}

TGridCoord TCustomGrid::CalcMaxTopLeft(const TGridCoord& Coord, const TGridDrawInfo& DrawInfo) {
  auto axis = [&](const TGridAxisDrawInfo& a, int last, bool horizontal) {
    int room = a.GridExtent - a.FixedBoundary;
    int result = last;
    int used = 0;
    for (int i = last; i >= a.FixedCellCount; --i) {
      int ext = CellExtent(horizontal, i);
      if (ext <= 0) {
        result = i;
        continue;
      }
      used += ext;
      if (used > room) break;
      result = i;
      used += a.EffectiveLineWidth;
    }
    return std::max(result, a.FixedCellCount);
  };
  return {axis(DrawInfo.Horz, Coord.X, true), axis(DrawInfo.Vert, Coord.Y, false)};
}

// ---------------------------------------------------------------- cells on screen

TRect TCustomGrid::MirrorRect(TRect R) {
  if (!UseRightToLeftAlignment() || R.IsEmpty()) return R;
  int w = ClientWidth();
  return Rect(w - R.Right, R.Top, w - R.Left, R.Bottom);
}

TRect TCustomGrid::BoxRect(int ALeft, int ATop, int ARight, int ABottom) {
  if (ALeft > ARight) std::swap(ALeft, ARight);
  if (ATop > ABottom) std::swap(ATop, ABottom);
  TGridDrawInfo info;
  CalcDrawInfo(info);
  // the pixel span of cells [first, last] of one axis, clipped to the view; false when none shows
  auto span = [&](const TGridAxisDrawInfo& a, int first, int last, bool horizontal, int& lo, int& hi) {
    if (last < 0 || first >= a.GridCellCount) return false;
    first = std::max(first, 0);
    last = std::min(last, a.GridCellCount - 1);
    // the scrolled-out cells between the fixed ones and the first in view do not show
    if (first >= a.FixedCellCount && first < a.FirstGridCell) first = a.FirstGridCell;
    if (last >= a.FixedCellCount && last < a.FirstGridCell) last = a.FixedCellCount - 1;
    if (first > last) return false;
    int pos = 0;
    lo = hi = -1;
    auto visit = [&](int i) {
      int ext = CellExtent(horizontal, i);
      if (i == first) lo = pos;
      if (i >= first && i <= last) hi = pos + std::max(ext, 0);
      if (ext > 0) pos += ext + a.EffectiveLineWidth;
    };
    for (int i = 0; i < a.FixedCellCount; ++i) visit(i);
    for (int i = a.FirstGridCell; i <= last && pos < a.GridExtent; ++i) visit(i);
    if (lo < 0 || hi < 0) return false;  // begins past the window's end
    hi = std::min(hi, a.GridExtent);
    return lo < a.GridExtent && lo <= hi;
  };
  int left = 0, right = 0, top = 0, bottom = 0;
  if (!span(info.Horz, ALeft, ARight, true, left, right) ||
      !span(info.Vert, ATop, ABottom, false, top, bottom))
    return TRect{};
  return MirrorRect(Rect(left, top, right, bottom));
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) {
  if (UseRightToLeftAlignment()) X = ClientWidth() - X;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  auto cellAt = [&](const TGridAxisDrawInfo& a, int pos, bool horizontal) {
    if (pos < 0 || pos >= a.GridBoundary) return -1;
    int start = 0;
    auto within = [&](int i) {
      int ext = CellExtent(horizontal, i);
      if (ext <= 0) return false;
      int end = start + ext + a.EffectiveLineWidth;
      bool hit = pos < end;
      start = end;
      return hit;
    };
    for (int i = 0; i < a.FixedCellCount; ++i)
      if (within(i)) return i;
    for (int i = a.FirstGridCell; i < a.GridCellCount && start < a.GridExtent; ++i)
      if (within(i)) return i;
    return -1;
  };
  int c = cellAt(info.Horz, X, true), r = cellAt(info.Vert, Y, false);
  if (c < 0 || r < 0) return {-1, -1};
  return {c, r};
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) {
  TGridCoord c = MouseCoord(X, Y);
  ACol = c.X;
  ARow = c.Y;
}

void TCustomGrid::InvalidateRect(const TGridRect& ARect) {
  if (!HandleAllocated()) return;
  TRect r = BoxRect(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  if (r.IsEmpty()) return;
  // the grid line after the block belongs to its look as well
  r.Right += gridLineWidth_;
  r.Bottom += gridLineWidth_;
  if (UseRightToLeftAlignment()) r.Left -= gridLineWidth_;
  ::InvalidateRect(Handle(), &r, false);
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) {
  InvalidateRect({ACol, ARow, ACol, ARow});
}

void TCustomGrid::InvalidateCol(int ACol) {
  InvalidateRect({ACol, 0, ACol, rowCount_ - 1});
}

void TCustomGrid::InvalidateRow(int ARow) {
  InvalidateRect({0, ARow, colCount_ - 1, ARow});
}

void TCustomGrid::InvalidateGrid() {
  Invalidate();
}

void TCustomGrid::InvalidateEditor() {
  inplaceCell_ = {-1, -1};
  editorLoaded_ = false;
  if (inplaceEdit_ && inplaceEdit_->Visible()) UpdateEdit();
}

// ---------------------------------------------------------------- focus and selection

TGridRect TCustomGrid::Selection() const {
  TGridRect r{std::min(current_.X, anchor_.X), std::min(current_.Y, anchor_.Y),
              std::max(current_.X, anchor_.X), std::max(current_.Y, anchor_.Y)};
  if (options_.Contains(goRowSelect)) {
    r.Left = fixedCols_;
    r.Right = colCount_ - 1;
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& Value) {
  TGridRect old = Selection();
  current_ = {std::clamp(Value.Left, fixedCols_, colCount_ - 1),
              std::clamp(Value.Top, fixedRows_, rowCount_ - 1)};
  anchor_ = {std::clamp(Value.Right, fixedCols_, colCount_ - 1),
             std::clamp(Value.Bottom, fixedRows_, rowCount_ - 1)};
  SelectionMoved(old);
  if (inplaceEdit_ && inplaceEdit_->Visible()) UpdateEdit();
}

bool TCustomGrid::IsSelected(int ACol, int ARow) const {
  return Selection().Contains(ACol, ARow);
}

void TCustomGrid::SelectionMoved(const TGridRect& OldSel) {
  if (!HandleAllocated()) return;
  TGridRect now = Selection();
  if (now == OldSel) {
    InvalidateCell(current_.X, current_.Y);
    return;
  }
  InvalidateRect(OldSel);
  InvalidateRect(now);
}

void TCustomGrid::MoveAnchor(const TGridCoord& NewAnchor) {
  if (!options_.Contains(goRangeSelect)) {
    MoveCurrent(NewAnchor.X, NewAnchor.Y, true, true);
    return;
  }
  TGridRect old = Selection();
  anchor_ = NewAnchor;
  if (options_.Contains(goRowSelect)) anchor_.X = colCount_ - 1;
  ClampInView(NewAnchor);
  SelectionMoved(old);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show) {
  if (ACol < 0 || ARow < 0 || ACol >= colCount_ || ARow >= rowCount_) return;
  if (!SelectCell(ACol, ARow)) return;
  TGridRect old = Selection();
  bool moved = current_.X != ACol || current_.Y != ARow;
  if (moved && EditorShown()) {
    // what was typed goes to the cell it was typed in
    if (options_.Contains(goAlwaysShowEditor))
      HideEdit();
    else
      HideEditor();
  }
  current_ = {ACol, ARow};
  if (MoveAnchor || !options_.Contains(goRangeSelect)) anchor_ = current_;
  if (options_.Contains(goRowSelect)) anchor_.X = colCount_ - 1;
  if (Show) ClampInView(current_);
  SelectionMoved(old);
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show) {
  MoveCurrent(ACol, ARow, MoveAnchor, Show);
  if (editorMode_ || options_.Contains(goAlwaysShowEditor)) UpdateEdit();
  Click();
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor) {
  MoveColRow(ACol, ARow, MoveAnchor, true);
}

void TCustomGrid::SetCol(int Value) {
  if (Value != current_.X) FocusCell(Value, current_.Y, true);
}

void TCustomGrid::SetRow(int Value) {
  if (Value != current_.Y) FocusCell(current_.X, Value, true);
}

bool TCustomGrid::SelectCell(int /*ACol*/, int /*ARow*/) {
  return true;
}

void TCustomGrid::ClampInView(const TGridCoord& Coord) {
  if (!HandleAllocated()) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord maxTopLeft = CalcMaxTopLeft(Coord, info);
  TGridCoord newTopLeft = topLeft_;
  if (Coord.X >= fixedCols_) {
    if (Coord.X < topLeft_.X)
      newTopLeft.X = Coord.X;
    else if (Coord.X > info.Horz.LastFullVisibleCell)
      newTopLeft.X = maxTopLeft.X;
  }
  if (Coord.Y >= fixedRows_) {
    if (Coord.Y < topLeft_.Y)
      newTopLeft.Y = Coord.Y;
    else if (Coord.Y > info.Vert.LastFullVisibleCell)
      newTopLeft.Y = maxTopLeft.Y;
  }
  MoveTopLeft(newTopLeft.X, newTopLeft.Y);
}

// ---------------------------------------------------------------- scrolling

void TCustomGrid::MoveTopLeft(int ALeft, int ATop) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord maxTopLeft = CalcMaxTopLeft({colCount_ - 1, rowCount_ - 1}, info);
  ALeft = std::clamp(ALeft, fixedCols_, std::max(fixedCols_, maxTopLeft.X));
  ATop = std::clamp(ATop, fixedRows_, std::max(fixedRows_, maxTopLeft.Y));
  if (ALeft == topLeft_.X && ATop == topLeft_.Y) return;
  TGridCoord old = topLeft_;
  topLeft_ = {ALeft, ATop};
  TopLeftMoved(old);
}

void TCustomGrid::SetLeftCol(int Value) {
  MoveTopLeft(Value, topLeft_.Y);
}

void TCustomGrid::SetTopRow(int Value) {
  MoveTopLeft(topLeft_.X, Value);
}

// Moves the image of the scrolled cells by the pixels between the old and the new first cell, so that
// only what came into view paints.
void TCustomGrid::ScrollData(int DX, int DY) {
  if (!HandleAllocated()) return;
  if (DX != 0 || DY != 0) ForgetRowPictures();
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TRect client = ClientRect();
  if (DX != 0) {
    TRect area = Rect(info.Horz.FixedBoundary, 0, client.Right, client.Bottom);
    area =
        UseRightToLeftAlignment() ? Rect(0, 0, client.Right - info.Horz.FixedBoundary, client.Bottom) : area;
    int dx = UseRightToLeftAlignment() ? DX : -DX;
    if (std::abs(DX) >= area.Width())
      ::InvalidateRect(Handle(), &area, false);
    else
      ScrollWindowEx(Handle(), dx, 0, &area, &area, nullptr, nullptr, SW_INVALIDATE);
  }
  if (DY != 0) {
    TRect area = Rect(0, info.Vert.FixedBoundary, client.Right, client.Bottom);
    if (std::abs(DY) >= area.Height())
      ::InvalidateRect(Handle(), &area, false);
    else
      ScrollWindowEx(Handle(), 0, -DY, &area, &area, nullptr, nullptr, SW_INVALIDATE);
  }
}

void TCustomGrid::TopLeftMoved(const TGridCoord& OldTopLeft) {
  UpdateScrollPos();
  if (HandleAllocated()) {
    // the pixels between the old and the new first cell, when few enough to move the image
    auto distance = [&](int from, int to, bool horizontal, int limit) {
      int lo = std::min(from, to), hi = std::max(from, to), px = 0;
      int line = horizontal ? (options_.Contains(goVertLine) || options_.Contains(goFixedVertLine))
                            : (options_.Contains(goHorzLine) || options_.Contains(goFixedHorzLine));
      line = line ? gridLineWidth_ : 0;
      for (int i = lo; i < hi && px <= limit; ++i) {
        int ext = CellExtent(horizontal, i);
        if (ext > 0) px += ext + line;
      }
      return from < to ? px : -px;
    };
    TRect client = ClientRect();
    int dx = distance(OldTopLeft.X, topLeft_.X, true, client.Width());
    int dy = distance(OldTopLeft.Y, topLeft_.Y, false, client.Height());
    ScrollData(dx, dy);
  }
  if (inplaceEdit_ && inplaceEdit_->Visible()) {
    TRect r = CellRect(current_.X, current_.Y);
    if (r.IsEmpty())
      HideEdit();
    else
      inplaceEdit_->UpdateLoc(r);
  } else if (editorMode_ && inplaceEdit_ && !CellRect(current_.X, current_.Y).IsEmpty()) {
    UpdateEdit();
  }
  TopLeftChanged();
}

void TCustomGrid::TopLeftChanged() {}

void TCustomGrid::UpdateScrollRange() {
  if (!HandleAllocated()) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord maxTopLeft = CalcMaxTopLeft({colCount_ - 1, rowCount_ - 1}, info);
  if (topLeft_.X > maxTopLeft.X || topLeft_.Y > maxTopLeft.Y) {
    TGridCoord old = topLeft_;
    topLeft_ = {std::max(fixedCols_, std::min(topLeft_.X, maxTopLeft.X)),
                std::max(fixedRows_, std::min(topLeft_.Y, maxTopLeft.Y))};
    if (!(old == topLeft_)) {
      Invalidate();
      TopLeftChanged();
    }
  }
  // positions count cells past the fixed ones; the page is what shows at the end
  auto apply = [&](int bar, int count, int fixed, int maxFirst, int first) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, count - fixed - 1);
    si.nPage = static_cast<UINT>(std::max(1, count - maxFirst));
    si.nPos = first - fixed;
    SetScrollInfo(Handle(), bar, si, true);
  };
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    apply(SB_HORZ, colCount_, fixedCols_, maxTopLeft.X, topLeft_.X);
  UpdateVertScrollBar();
}

void TCustomGrid::UpdateVertScrollBar() {
  if (!HandleAllocated() || (scrollBars_ != ssVertical && scrollBars_ != ssBoth)) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord maxTopLeft = CalcMaxTopLeft({colCount_ - 1, rowCount_ - 1}, info);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, rowCount_ - fixedRows_ - 1);
  si.nPage = static_cast<UINT>(std::max(1, rowCount_ - maxTopLeft.Y));
  si.nPos = topLeft_.Y - fixedRows_;
  SetScrollInfo(Handle(), SB_VERT, si, true);
}

void TCustomGrid::UpdateScrollPos() {
  if (!HandleAllocated()) return;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    SetScrollPos(Handle(), SB_HORZ, topLeft_.X - fixedCols_, true);
  UpdateVertScrollBar();
}

void TCustomGrid::ModifyScrollBar(int ScrollBar, int ScrollCode) {
  const bool vert = ScrollBar == SB_VERT;
  const int fixed = vert ? fixedRows_ : fixedCols_;
  const int first = vert ? topLeft_.Y : topLeft_.X;
  const int page = vert ? VisibleRowCount() : VisibleColCount();
  int target = first;
  switch (ScrollCode) {
    case SB_LINEUP:
      target = first - 1;
      break;
    case SB_LINEDOWN:
      target = first + 1;
      break;
    case SB_PAGEUP:
      target = first - page;
      break;
    case SB_PAGEDOWN:
      target = first + page;
      break;
    case SB_THUMBTRACK:
      if (!options_.Contains(goThumbTracking)) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      // the whole 32-bit position: the message carries only 16 bits of it
      SCROLLINFO si;
      si.fMask = SIF_TRACKPOS;
      if (!GetScrollInfo(Handle(), ScrollBar, si)) return;
      target = fixed + si.nTrackPos;
      break;
    }
    case SB_TOP:
      target = fixed;
      break;
    case SB_BOTTOM:
      target = vert ? rowCount_ - 1 : colCount_ - 1;
      break;
    default:
      return;
  }
  if (vert)
    MoveTopLeft(topLeft_.X, target);
  else
    MoveTopLeft(target, topLeft_.Y);
}

// ---------------------------------------------------------------- rows and columns moved

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
  if (FromIndex == ToIndex || FromIndex < 0 || ToIndex < 0 || FromIndex >= colCount_ || ToIndex >= colCount_)
    return;
  HideEdit();
  ShiftExtents(colWidths_, FromIndex, ToIndex, defaultColWidth_);
  // tab stops travel with their column
  std::map<int, int> stops;
  for (auto [index, value] : tabStops_) stops[index] = value ? 1 : 0;
  ShiftExtents(stops, FromIndex, ToIndex, 1);
  tabStops_.clear();
  for (auto [index, value] : stops) tabStops_[index] = value != 0;
  // the focused cell goes with its column before ColumnMoved: whatever that lays out (the editor
  // shown again among it) finds the focus on the column it was on
  if (current_.X == FromIndex)
    current_.X = ToIndex;
  else if (FromIndex < ToIndex && current_.X > FromIndex && current_.X <= ToIndex)
    --current_.X;
  else if (FromIndex > ToIndex && current_.X >= ToIndex && current_.X < FromIndex)
    ++current_.X;
  anchor_.X = options_.Contains(goRowSelect) ? colCount_ - 1 : current_.X;
  ColumnMoved(FromIndex, ToIndex);
  // ColumnMoved may have laid the grid out again with fewer columns
  current_.X = std::clamp(current_.X, std::min(fixedCols_, colCount_ - 1), std::max(colCount_ - 1, 0));
  anchor_.X = options_.Contains(goRowSelect) ? colCount_ - 1 : current_.X;
  InvalidateGrid();
  if (editorMode_ || options_.Contains(goAlwaysShowEditor)) UpdateEdit();
}

void TCustomGrid::MoveRow(int FromIndex, int ToIndex) {
  if (FromIndex == ToIndex || FromIndex < 0 || ToIndex < 0 || FromIndex >= rowCount_ || ToIndex >= rowCount_)
    return;
  HideEdit();
  ShiftExtents(rowHeights_, FromIndex, ToIndex, defaultRowHeight_);
  RowMoved(FromIndex, ToIndex);
  if (current_.Y == FromIndex)
    current_.Y = ToIndex;
  else if (FromIndex < ToIndex && current_.Y > FromIndex && current_.Y <= ToIndex)
    --current_.Y;
  else if (FromIndex > ToIndex && current_.Y >= ToIndex && current_.Y < FromIndex)
    ++current_.Y;
  anchor_.Y = current_.Y;
  InvalidateGrid();
  if (editorMode_ || options_.Contains(goAlwaysShowEditor)) UpdateEdit();
}

void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::RowMoved(int, int) {}
void TCustomGrid::ColWidthsChanged() {
  UpdateScrollRange();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
}
void TCustomGrid::RowHeightsChanged() {
  UpdateScrollRange();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
}

bool TCustomGrid::BeginColumnDrag(int&, int&, const TPoint&) {
  return true;
}
bool TCustomGrid::CheckColumnDrag(int&, int&, const TPoint&) {
  return true;
}
bool TCustomGrid::EndColumnDrag(int&, int&, const TPoint&) {
  return true;
}

// ---------------------------------------------------------------- the editor

TInplaceEdit* TCustomGrid::CreateEditor() {
  return new TInplaceEdit(this);
}

bool TCustomGrid::CanEditShow() {
  return options_.Contains(goEditing) && (editorMode_ || options_.Contains(goAlwaysShowEditor)) &&
         !options_.Contains(goRowSelect) && !ComponentState().Contains(csDesigning) && HandleAllocated() &&
         current_.X >= fixedCols_ && current_.Y >= fixedRows_;
}

bool TCustomGrid::CanEditAcceptKey(char32_t) {
  return true;
}
bool TCustomGrid::CanEditModify() {
  return true;
}
std::string TCustomGrid::GetEditText(int, int) {
  return {};
}
void TCustomGrid::SetEditText(int, int, const std::string&) {}
int TCustomGrid::GetEditLimit() {
  return 0;
}
std::string TCustomGrid::GetEditMask(int, int) {
  return {};
}

bool TCustomGrid::GridFocused() {
  if (!HandleAllocated()) return false;
  HWND focus = GetFocus();
  return focus == Handle() ||
         (inplaceEdit_ && inplaceEdit_->HandleAllocated() && focus == inplaceEdit_->Handle());
}

bool TCustomGrid::IsActiveControl() {
  TCustomForm* form = GetParentForm(this);
  if (form && form->ActiveControl() == this) return true;
  return GridFocused();
}

void TCustomGrid::UpdateEditor(bool SelectAll) {
  assert(inplaceEdit_);
  ++updatingEditor_;
  TScopeExit done([this] { --updatingEditor_; });
  inplaceCell_ = current_;
  editorLoaded_ = false;
  inplaceEdit_->UpdateContents();
  editorLoaded_ = true;
  TRect r = CellRect(current_.X, current_.Y);
  if (r.IsEmpty()) {
    inplaceEdit_->Hide();
    return;
  }
  inplaceEdit_->Move(r);
  if (SelectAll)
    inplaceEdit_->SelectAll();
  else
    inplaceEdit_->Deselect();
}

void TCustomGrid::UpdateEdit() {
  if (!CanEditShow()) return;
  bool created = false;
  if (!inplaceEdit_) {
    inplaceEdit_ = CreateEditor();
    assert(inplaceEdit_);
    inplaceEdit_->SetGrid(this);
    created = true;
  }
  if (created || !(inplaceCell_ == current_) || !editorLoaded_ || !inplaceEdit_->Visible())
    UpdateEditor(true);
}

void TCustomGrid::UpdateText() {
  if (!inplaceEdit_ || !editorLoaded_ || updatingEditor_ > 0) return;
  if (inplaceCell_.X < 0 || inplaceCell_.X >= colCount_ || inplaceCell_.Y < 0 || inplaceCell_.Y >= rowCount_)
    return;
  SetEditText(inplaceCell_.X, inplaceCell_.Y, inplaceEdit_->Text());
}

bool TCustomGrid::EditorShown() const {
  return inplaceEdit_ && inplaceEdit_->TControl::Visible();
}

bool TCustomGrid::EditorMayShow() {
  // placing the editor (UpdateEditor) the grid has asked already
  if (updatingEditor_ > 0) return true;
  return inplaceCell_ == current_ && CanEditShow() && !CellRect(current_.X, current_.Y).IsEmpty();
}

void TCustomGrid::HideEdit() {
  // an editor without a window is hidden all the same, or its window comes back shown
  if (!EditorShown()) return;
  UpdateText();
  inplaceCell_ = {-1, -1};
  editorLoaded_ = false;
  ++updatingEditor_;
  TScopeExit done([this] { --updatingEditor_; });
  inplaceEdit_->Hide();
}

void TCustomGrid::ShowEditor() {
  editorMode_ = true;
  UpdateEdit();
}

void TCustomGrid::HideEditor() {
  editorMode_ = false;
  HideEdit();
}

void TCustomGrid::SetEditorMode(bool Value) {
  if (!Value) {
    HideEditor();
    return;
  }
  ShowEditor();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->Deselect();
}

void TCustomGrid::ShowEditorChar(char32_t Ch) {
  ShowEditor();
  if (inplaceEdit_ && inplaceEdit_->Visible()) {
    inplaceEdit_->SelectAll();
    inplaceEdit_->Perform(WM_CHAR, Ch);
  }
}

// ---------------------------------------------------------------- keys

void TCustomGrid::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0) return;
  const bool ctrl = Shift.Contains(ssCtrl);
  const bool rowSelect = options_.Contains(goRowSelect);
  TGridCoord newCurrent = current_;
  TGridCoord newTopLeft = topLeft_;
  const int pageHeight = VisibleRowCount();
  const int pageWidth = VisibleColCount();
  // the next visible cell of an axis from `from` in steps of `step`, or `from` when none
  auto nextVisible = [&](int from, int step, bool horizontal) {
    const int count = horizontal ? colCount_ : rowCount_;
    const int fixed = horizontal ? fixedCols_ : fixedRows_;
    for (int i = from + step; i >= fixed && i < count; i += step)
      if (CellExtent(horizontal, i) > 0) return i;
    return from;
  };
  bool handled = true;
  switch (Key) {
    case VK_UP:
      if (ctrl)
        newTopLeft.Y = topLeft_.Y - 1;
      else
        newCurrent.Y = nextVisible(current_.Y, -1, false);
      break;
    case VK_DOWN:
      if (ctrl)
        newTopLeft.Y = topLeft_.Y + 1;
      else
        newCurrent.Y = nextVisible(current_.Y, 1, false);
      break;
    case VK_LEFT:
      if (rowSelect || ctrl) newTopLeft.X = ctrl && !rowSelect ? topLeft_.X - pageWidth : topLeft_.X - 1;
      if (!rowSelect)
        newCurrent.X =
            ctrl ? std::max(fixedCols_, current_.X - pageWidth) : nextVisible(current_.X, -1, true);
      break;
    case VK_RIGHT:
      if (rowSelect || ctrl) newTopLeft.X = ctrl && !rowSelect ? topLeft_.X + pageWidth : topLeft_.X + 1;
      if (!rowSelect)
        newCurrent.X =
            ctrl ? std::min(colCount_ - 1, current_.X + pageWidth) : nextVisible(current_.X, 1, true);
      break;
    case VK_PRIOR:
      if (ctrl) {
        newCurrent.Y = topLeft_.Y;
      } else {
        newCurrent.Y = current_.Y - pageHeight;
        newTopLeft.Y = topLeft_.Y - pageHeight;
      }
      break;
    case VK_NEXT:
      if (ctrl) {
        newCurrent.Y = topLeft_.Y + pageHeight - 1;
      } else {
        newCurrent.Y = current_.Y + pageHeight;
        newTopLeft.Y = topLeft_.Y + pageHeight;
      }
      break;
    case VK_HOME:
      if (ctrl || rowSelect) newCurrent.Y = fixedRows_;
      if (!rowSelect) newCurrent.X = fixedCols_;
      break;
    case VK_END:
      if (ctrl || rowSelect) newCurrent.Y = rowCount_ - 1;
      if (!rowSelect) newCurrent.X = colCount_ - 1;
      break;
    case VK_TAB: {
      if (!options_.Contains(goTabs) || Shift.Contains(ssAlt)) {
        handled = false;
        break;
      }
      const int step = Shift.Contains(ssShift) ? -1 : 1;
      int c = current_.X, r = current_.Y;
      for (int guard = 0; guard < colCount_ * 2 + 2; ++guard) {
        c += step;
        if (c >= colCount_) {
          if (r + 1 >= rowCount_) break;
          c = fixedCols_;
          ++r;
        } else if (c < fixedCols_) {
          if (r - 1 < fixedRows_) break;
          c = colCount_ - 1;
          --r;
        }
        if (TabStops(c) && ColWidths(c) > 0) {
          newCurrent = {c, r};
          break;
        }
        if (c == current_.X && r == current_.Y) break;
      }
      break;
    }
    case VK_F2:
      if (options_.Contains(goEditing)) SetEditorMode(true);
      break;
    case VK_ESCAPE:
      if (gridState_ != gsNormal) {
        Perform(WM_CANCELMODE);
      } else if (inplaceEdit_ && inplaceEdit_->Visible()) {
        inplaceEdit_->Reset();
        if (!options_.Contains(goAlwaysShowEditor))
          HideEditor();
        else
          inplaceEdit_->SelectAll();
      } else {
        handled = false;
      }
      break;
    default:
      handled = false;
      break;
  }
  if (!handled) return;
  // keep the new cell and the new first cell inside the grid
  newCurrent.X = std::clamp(newCurrent.X, fixedCols_, colCount_ - 1);
  newCurrent.Y = std::clamp(newCurrent.Y, fixedRows_, rowCount_ - 1);
  if (!(newTopLeft == topLeft_)) MoveTopLeft(newTopLeft.X, newTopLeft.Y);
  if (!(newCurrent == current_))
    FocusCell(newCurrent.X, newCurrent.Y, !(Shift.Contains(ssShift) && Key != VK_TAB));
}

void TCustomGrid::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == 0 || !options_.Contains(goEditing)) return;
  if (Key == U'\r') {
    if (inplaceEdit_ && inplaceEdit_->Visible()) {
      if (options_.Contains(goAlwaysShowEditor)) {
        UpdateText();
        inplaceEdit_->SelectAll();
      } else {
        HideEditor();
      }
    } else {
      ShowEditor();
    }
    Key = 0;
    return;
  }
  if (Key >= 32 && !(inplaceEdit_ && inplaceEdit_->Visible())) {
    bool wasMode = editorMode_;
    editorMode_ = true;
    bool canShow = CanEditShow();
    editorMode_ = wasMode;
    if (canShow && CanEditAcceptKey(Key)) {
      ShowEditorChar(Key);
      Key = 0;
    }
  }
}

void TCustomGrid::KeyUp(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
}

bool TCustomGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelDown(Shift, MousePos)) return true;
  if (current_.Y < rowCount_ - 1) FocusCell(current_.X, current_.Y + 1, true);
  return true;
}

bool TCustomGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelUp(Shift, MousePos)) return true;
  if (current_.Y > fixedRows_) FocusCell(current_.X, current_.Y - 1, true);
  return true;
}

void TCustomGrid::DoExit() {
  TCustomControl::DoExit();
  if (!options_.Contains(goAlwaysShowEditor)) HideEditor();
}

void TCustomGrid::Resize() {
  UpdateScrollRange();
  if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
  TCustomControl::Resize();
}

// ---------------------------------------------------------------- messages

void TCustomGrid::WndProc(TMessage& Message) {
  TCustomControl::WndProc(Message);
}

void TCustomGrid::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_BIDIMODECHANGED:
      TCustomControl::Dispatch(m);
      // the editor stands over the mirrored cell
      if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->UpdateLoc(CellRect(Col(), Row()));
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      if (options_.Contains(goRowSelect)) return;
      if (options_.Contains(goTabs)) m.Result |= DLGC_WANTTAB;
      if (options_.Contains(goEditing)) m.Result |= DLGC_WANTCHARS;
      return;
    case WM_HSCROLL:
      if (m.LParam == 0) {
        ModifyScrollBar(SB_HORZ, TWMScroll(m).ScrollCode());
        return;
      }
      break;
    case WM_VSCROLL:
      if (m.LParam == 0) {
        ModifyScrollBar(SB_VERT, TWMScroll(m).ScrollCode());
        return;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      InvalidateRect(Selection());
      InvalidateCell(current_.X, current_.Y);
      if (m.Msg != WM_SETFOCUS || updatingEditor_ > 0 || !HandleAllocated() || GetFocus() != Handle()) return;
      // an editor that is always shown comes back with the focus
      if (options_.Contains(goAlwaysShowEditor) && options_.Contains(goEditing)) {
        editorMode_ = true;
        UpdateEdit();
      }
      if (inplaceEdit_ && inplaceEdit_->Visible()) inplaceEdit_->SetFocus();
      return;
    case WM_TIMER:
      if (m.WParam == kScrollTimer) {
        HandleTimer();
        return;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<std::uintptr_t>(m.LParam)) == HTCLIENT && gridState_ == gsNormal) {
        POINT p;
        GetCursorPos(p);
        TPoint client = ScreenToClient(p);
        TGridState state = gsNormal;
        int index = 0, pos = 0, ofs = 0;
        TGridDrawInfo info;
        CalcSizingState(client.X, client.Y, state, index, pos, ofs, info);
        if (state == gsColSizing || state == gsRowSizing) {
          ::SetCursor(CursorHandle(state == gsColSizing ? crHSplit : crVSplit));
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      if (gridState_ != gsNormal) {
        KillTimer(Handle(), kScrollTimer);
        if (sizingLineShown_) DrawSizingLine(sizingInfo_);
        if (moveShown_) DrawMove();
        gridState_ = gsNormal;
        moving_ = false;
      }
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TDrawGrid

void TDrawGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
  InvokeEvent(OnDrawCell, this, ACol, ARow, ARect, AState);
}

bool TDrawGrid::SelectCell(int ACol, int ARow) {
  bool can = true;
  InvokeEvent(OnSelectCell, this, ACol, ARow, can);
  return can;
}

std::string TDrawGrid::GetEditText(int ACol, int ARow) {
  std::string value;
  InvokeEvent(OnGetEditText, this, ACol, ARow, value);
  return value;
}

std::string TDrawGrid::GetEditMask(int ACol, int ARow) {
  std::string value;
  InvokeEvent(OnGetEditMask, this, ACol, ARow, value);
  return value;
}

void TDrawGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
  InvokeEvent(OnSetEditText, this, ACol, ARow, Value);
}

void TDrawGrid::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  InvokeEvent(OnTopLeftChanged, this);
}

void TDrawGrid::ColumnMoved(int FromIndex, int ToIndex) {
  TCustomGrid::ColumnMoved(FromIndex, ToIndex);
  InvokeEvent(OnColumnMoved, this, FromIndex, ToIndex);
}

void TDrawGrid::RowMoved(int FromIndex, int ToIndex) {
  TCustomGrid::RowMoved(FromIndex, ToIndex);
  InvokeEvent(OnRowMoved, this, FromIndex, ToIndex);
}
