// The base grid's mouse: selecting (with the automatic scroll outside the cells), sizing columns and
// rows on their borders in the fixed cells, and moving columns and rows by their fixed cells.
#include <algorithm>
#include <cstdlib>

#include "platform/gui/Grids.h"

namespace {

constexpr int kSizingZone = 3;        // pixels either side of a border
constexpr int kMoveThreshold = 3;     // pixels the mouse travels before a press becomes a move
constexpr UINT kScrollInterval = 60;  // ms between the steps of the automatic scroll
constexpr int kMoveLineWidth = 3;

}  // namespace

void TCustomGrid::CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos, int& SizingOfs,
                                  TGridDrawInfo& FixedInfo) {
  State = gsNormal;
  Index = -1;
  CalcDrawInfo(FixedInfo);
  if (UseRightToLeftAlignment()) X = ClientWidth() - X;
  const int zone = std::max(kSizingZone, gridLineWidth_);
  // the border of each cell in view along an axis: the first within the zone wins
  auto find = [&](const TGridAxisDrawInfo& a, int pos, bool horizontal) {
    int edge = 0;
    auto test = [&](int i) {
      int ext = CellExtent(horizontal, i);
      if (ext <= 0) return false;
      edge += ext;
      if (std::abs(pos - edge) <= zone) {
        Index = i;
        SizingPos = edge;
        SizingOfs = pos - edge;
        return true;
      }
      edge += a.EffectiveLineWidth;
      return false;
    };
    for (int i = 0; i < a.FixedCellCount; ++i)
      if (test(i)) return true;
    for (int i = a.FirstGridCell; i < a.GridCellCount && edge <= a.GridExtent; ++i)
      if (test(i)) return true;
    return false;
  };
  if (options_.Contains(goColSizing) && Y >= 0 && Y < FixedInfo.Vert.FixedBoundary &&
      find(FixedInfo.Horz, X, true)) {
    State = gsColSizing;
    return;
  }
  if (options_.Contains(goRowSizing) && X >= 0 && X < FixedInfo.Horz.FixedBoundary &&
      find(FixedInfo.Vert, Y, false)) {
    State = gsRowSizing;
    return;
  }
}

void TCustomGrid::XorLine(int X1, int Y1, int X2, int Y2, int Width) {
  if (!HandleAllocated()) return;
  HDC dc = Canvas()->Handle();
  const bool rtl = UseRightToLeftAlignment();
  const int w = ClientWidth();
  if (X1 == X2) {
    int x = rtl ? w - X1 - Width : X1;
    PatBlt(dc, x, std::min(Y1, Y2), Width, std::abs(Y2 - Y1), DSTINVERT);
  } else {
    int left = std::min(X1, X2), right = std::max(X1, X2);
    if (rtl) {
      int l = w - right;
      right = w - left;
      left = l;
    }
    PatBlt(dc, left, Y1, right - left, Width, DSTINVERT);
  }
}

void TCustomGrid::DrawSizingLine(const TGridDrawInfo& DrawInfo) {
  const int width = std::max(1, gridLineWidth_);
  if (gridState_ == gsColSizing)
    XorLine(sizingPos_, 0, sizingPos_, DrawInfo.Vert.GridBoundary, width);
  else if (gridState_ == gsRowSizing)
    XorLine(0, sizingPos_, DrawInfo.Horz.GridBoundary, sizingPos_, width);
  else
    return;
  sizingLineShown_ = !sizingLineShown_;
}

// The place a moved column or row would go: a thick line on the border it would be put at.
void TCustomGrid::DrawMove() {
  if (moveIndex_ < 0 || movePos_ < 0) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (gridState_ == gsColMoving) {
    TRect r = MirrorRect(CellRect(movePos_, 0));
    if (r.IsEmpty()) return;
    int x = movePos_ > moveIndex_ ? r.Right : r.Left;
    XorLine(std::max(0, x - 1), 0, std::max(0, x - 1), info.Vert.GridBoundary, kMoveLineWidth);
  } else if (gridState_ == gsRowMoving) {
    TRect r = CellRect(0, movePos_);
    if (r.IsEmpty()) return;
    int y = movePos_ > moveIndex_ ? r.Bottom : r.Top;
    XorLine(0, std::max(0, y - 1), info.Horz.GridBoundary, std::max(0, y - 1), kMoveLineWidth);
  } else {
    return;
  }
  moveShown_ = !moveShown_;
}

TGridScrollDirections TCustomGrid::ScrollDirectionsAt(TPoint Pos) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (UseRightToLeftAlignment()) Pos.X = ClientWidth() - Pos.X;
  TGridScrollDirections dirs;
  if (Pos.X < info.Horz.FixedBoundary) dirs.Include(sdLeft);
  if (Pos.X >= info.Horz.FullVisBoundary && Pos.X >= info.Horz.GridExtent - 1) dirs.Include(sdRight);
  if (Pos.Y < info.Vert.FixedBoundary) dirs.Include(sdUp);
  if (Pos.Y >= info.Vert.FullVisBoundary && Pos.Y >= info.Vert.GridExtent - 1) dirs.Include(sdDown);
  return dirs;
}

void TCustomGrid::TimedScroll(TGridScrollDirections Direction) {
  TGridCoord target = current_;
  if (Direction.Contains(sdLeft)) target.X = std::max(fixedCols_, current_.X - 1);
  if (Direction.Contains(sdRight)) target.X = std::min(colCount_ - 1, current_.X + 1);
  if (Direction.Contains(sdUp)) target.Y = std::max(fixedRows_, current_.Y - 1);
  if (Direction.Contains(sdDown)) target.Y = std::min(rowCount_ - 1, current_.Y + 1);
  if (!(target == current_)) MoveCurrent(target.X, target.Y, false, true);
}

void TCustomGrid::HandleTimer() {
  if (gridState_ != gsSelecting) {
    if (HandleAllocated()) KillTimer(Handle(), kScrollTimer);
    return;
  }
  TGridScrollDirections dirs = ScrollDirectionsAt(lastMouse_);
  if (!dirs.Empty()) TimedScroll(dirs);
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!ComponentState().Contains(csDesigning) && CanFocus() && !GridFocused()) {
    SetFocus();
    // an editor of the grid's own may keep the focus it gives back (a data grid's filter row): the
    // press is the grid's all the same; only a focus that went elsewhere refuses it
    const HWND focus = GetFocus();
    if (!GridFocused() && !(focus && IsChild(Handle(), focus))) {
      SetMouseCapture(false);
      return;
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  lastMouse_ = {X, Y};
  if (Shift.Contains(ssDouble)) {
    TGridCoord cell = MouseCoord(X, Y);
    if (options_.Contains(goEditing) && cell == current_ && cell.X >= fixedCols_ && cell.Y >= fixedRows_)
      SetEditorMode(true);
    return;
  }
  TGridState state = gsNormal;
  int index = -1, pos = 0, ofs = 0;
  CalcSizingState(X, Y, state, index, pos, ofs, sizingInfo_);
  if (state == gsColSizing || state == gsRowSizing) {
    gridState_ = state;
    sizingIndex_ = index;
    sizingPos_ = pos;
    sizingOfs_ = ofs;
    sizingStart_ = pos - (state == gsColSizing ? ColWidths(index) : RowHeights(index));
    DrawSizingLine(sizingInfo_);
    return;
  }
  TGridCoord cell = MouseCoord(X, Y);
  if (cell.X < 0 || cell.Y < 0) return;
  if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) {
    if (options_.Contains(goEditing) && cell == current_ && !Shift.Contains(ssShift) &&
        !(inplaceEdit_ && inplaceEdit_->Visible())) {
      ShowEditor();
      return;
    }
    gridState_ = gsSelecting;
    if (HandleAllocated()) SetTimer(Handle(), kScrollTimer, kScrollInterval, nullptr);
    MoveCurrent(cell.X, cell.Y, !Shift.Contains(ssShift), true);
    if (editorMode_ || options_.Contains(goAlwaysShowEditor)) UpdateEdit();
    return;
  }
  hitTest_ = {X, Y};
  moving_ = false;
  if (options_.Contains(goColMoving) && cell.Y < fixedRows_ && cell.X >= fixedCols_) {
    moveIndex_ = movePos_ = cell.X;
    if (BeginColumnDrag(moveIndex_, movePos_, hitTest_)) gridState_ = gsColMoving;
  } else if (options_.Contains(goRowMoving) && cell.X < fixedCols_ && cell.Y >= fixedRows_) {
    moveIndex_ = movePos_ = cell.Y;
    gridState_ = gsRowMoving;
  }
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  lastMouse_ = {X, Y};
  switch (gridState_) {
    case gsSelecting: {
      TGridCoord cell = MouseCoord(X, Y);
      if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && !(cell == current_))
        MoveCurrent(cell.X, cell.Y, false, false);
      break;
    }
    case gsColSizing:
    case gsRowSizing: {
      int pos = gridState_ == gsColSizing ? (UseRightToLeftAlignment() ? ClientWidth() - X : X) : Y;
      int newPos = std::max(sizingStart_ + 1, pos - sizingOfs_);
      if (newPos != sizingPos_) {
        if (sizingLineShown_) DrawSizingLine(sizingInfo_);
        sizingPos_ = newPos;
        DrawSizingLine(sizingInfo_);
      }
      break;
    }
    case gsColMoving:
    case gsRowMoving: {
      const bool cols = gridState_ == gsColMoving;
      if (!moving_ && std::abs(cols ? X - hitTest_.X : Y - hitTest_.Y) > kMoveThreshold) moving_ = true;
      if (!moving_) break;
      TGridDrawInfo info;
      CalcDrawInfo(info);
      // the cell under the mouse along the moving axis, kept inside the scrolled cells
      int cx = cols ? std::clamp(X, 0, std::max(0, ClientWidth() - 1)) : 0;
      int cy = cols ? 0 : std::clamp(Y, 0, std::max(0, info.Vert.GridBoundary - 1));
      TGridCoord cell = MouseCoord(cx, cy);
      int target = cols ? cell.X : cell.Y;
      int fixed = cols ? fixedCols_ : fixedRows_;
      if (target < fixed) break;
      int origin = moveIndex_;
      if (target != movePos_ && (!cols || CheckColumnDrag(origin, target, TPoint{X, Y}))) {
        if (moveShown_) DrawMove();
        movePos_ = target;
        DrawMove();
      }
      break;
    }
    default:
      break;
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridState state = gridState_;
  switch (state) {
    case gsSelecting:
      MouseMove(Shift, X, Y);
      gridState_ = gsNormal;
      if (HandleAllocated()) KillTimer(Handle(), kScrollTimer);
      if (editorMode_ || options_.Contains(goAlwaysShowEditor)) UpdateEdit();
      break;
    case gsColSizing:
    case gsRowSizing: {
      if (sizingLineShown_) DrawSizingLine(sizingInfo_);
      gridState_ = gsNormal;
      int size = std::max(1, sizingPos_ - sizingStart_);
      if (state == gsColSizing && size != ColWidths(sizingIndex_)) {
        SetColWidths(sizingIndex_, size);
        ColWidthsChanged();
      } else if (state == gsRowSizing && size != RowHeights(sizingIndex_)) {
        SetRowHeights(sizingIndex_, size);
        RowHeightsChanged();
      }
      break;
    }
    case gsColMoving:
    case gsRowMoving: {
      if (moveShown_) DrawMove();
      gridState_ = gsNormal;
      int from = moveIndex_, to = movePos_;
      moveIndex_ = movePos_ = -1;
      if (moving_ && from >= 0 && to >= 0 && from != to) {
        if (state == gsColMoving) {
          if (EndColumnDrag(from, to, TPoint{X, Y})) MoveColumn(from, to);
        } else {
          MoveRow(from, to);
        }
      }
      moving_ = false;
      break;
    }
    default:
      break;
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}
