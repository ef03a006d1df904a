// The grid's mouse: selecting records, cells and columns, title buttons with their sort markers,
// sizing columns from the title area, check-box and image cells, the automatic scrolling while the
// mouse selects outside the data, the wheel and the cursors.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

// The title-area sizing zone around a column's right border.
constexpr int kSizingZone = 7;
// A pressed title becomes a column drag past this many pixels sideways.
constexpr int kTitleDragThreshold = 3;
// The lowest pixels of a title cell that choose columns.
constexpr int kColumnSelectZone = 7;
constexpr int kColumnSelectTimer = 60;

}  // namespace

bool TCustomDBGridEx::HoldsButton(TShiftState Shift) {
  return Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
}

bool TCustomDBGridEx::ButtonHeld() {
  return GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0 || GetKeyState(VK_MBUTTON) < 0;
}

// ---------------------------------------------------------------- the auto-scroll timer

void TCustomDBGridEx::StartTimer(int Interval) {
  if (!HandleAllocated()) return;
  if (!autoScrollTimerOn_) {
    ::SetTimer(Handle(), kAutoScrollTimerId, static_cast<UINT>(Interval), nullptr);
    autoScrollTimerOn_ = true;
  } else if (Interval != autoScrollInterval_) {
    ::KillTimer(Handle(), kAutoScrollTimerId);
    ::SetTimer(Handle(), kAutoScrollTimerId, static_cast<UINT>(Interval), nullptr);
  }
  autoScrollInterval_ = Interval;
}

void TCustomDBGridEx::StopTimer() {
  if (autoScrollTimerOn_ && HandleAllocated()) ::KillTimer(Handle(), kAutoScrollTimerId);
  autoScrollTimerOn_ = false;
  autoScrollInterval_ = -1;
}

void TCustomDBGridEx::AutoScrollTick() {
  // every button went up where the grid did not see it: the gesture is over, and so is its scrolling
  if (!ButtonHeld()) {
    CancelMouseMode();
    return;
  }
  if ((tracking_ && (trackingRows_ || trackingCells_)) || mouseSelectMode_ == kMouseSelectingColumns)
    MouseAutoScroll();
}

TRect TCustomDBGridEx::DataBox() {
  const int lastRow = titleOffset_ + std::max(VisibleDataRowCount(), 1) - 1;
  TRect r = BoxRect(indicatorOffset_, titleOffset_, std::max(ColCount() - 1, indicatorOffset_), lastRow);
  return r;
}

bool TCustomDBGridEx::MoveRecordsBy(int Distance, bool Select) {
  if (!dataLink_->Active() || Distance == 0) return false;
  MoveBy(Select, Distance, false, false);
  return true;
}

void TCustomDBGridEx::MouseAutoScroll() {
  const TRect box = DataBox();
  const TPoint p = lastMousePos_;
  if (mouseSelectMode_ == kMouseSelectingColumns) {
    const int lastVisibleCol = LeftCol() + VisibleColCount() - 1;
    // past the columns' end or before their start (mirrored when the grid reads from the right)
    const bool rtl = UseRightToLeftAlignment();
    const bool pastEnd = rtl ? p.X < box.Left : p.X >= box.Right;
    const bool beforeStart = rtl ? p.X >= box.Right : p.X < box.Left;
    const int endDistance = rtl ? box.Left - p.X : p.X - box.Right + 1;
    const int startDistance = rtl ? p.X - box.Right + 1 : box.Left - p.X;
    if (pastEnd) {
      if (lastVisibleCol < ColCount() - 1) SetLeftCol(LeftCol() + 1);
      if (TColumnEx* c = ColumnOfRaw(std::min(LeftCol() + VisibleColCount() - 1, ColCount() - 1)))
        Selection()->Columns()->SelectShift(c);
      StartTimer(std::max(0, 200 - 10 * endDistance));
    } else if (beforeStart) {
      if (LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      if (TColumnEx* c = ColumnOfRaw(LeftCol())) Selection()->Columns()->SelectShift(c);
      StartTimer(std::max(0, 200 - 10 * startDistance));
    }
    return;
  }
  int vert = 0, horz = 0, vertDistance = 0, horzDistance = 0;
  if (p.Y < box.Top) {
    vert = -1;
    vertDistance = box.Top - p.Y;
  } else if (p.Y >= box.Bottom) {
    vert = 1;
    vertDistance = p.Y - box.Bottom + 1;
  }
  if (p.X < box.Left) {
    horz = -1;
    horzDistance = box.Left - p.X;
  } else if (p.X >= box.Right) {
    horz = 1;
    horzDistance = p.X - box.Right + 1;
  }
  if (UseRightToLeftAlignment()) horz = -horz;  // the columns run from the right
  const int distance = std::max(vertDistance, horzDistance);
  if (vert == 0 && horz == 0) {
    StopTimer();
    return;
  }
  BeginUpdateLayout();
  {
    TScopeExit end([this] { EndUpdateLayout(); });
    const bool select = lastMoveShift_.Contains(ssLeft);
    // the first pixels past the edge move nothing yet; the pace still quickens with the distance
    const int records = std::min(distance / 6, 8);
    if (vert != 0 && mouseSelectMode_ != kMouseSelectingRect) MoveRecordsBy(vert * records, select);
    if (horz != 0 && trackingCells_) {
      const int target = Col() + horz;
      if (target >= indicatorOffset_ && target < ColCount()) {
        if (mouseSelectMode_ != kMouseSelectingRecords) MoveToColumn(target, horz);
      }
    }
    if (mouseSelectMode_ == kMouseSelectingRect) {
      if (vert != 0) MoveRecordsBy(vert * records, false);
      if (dataLink_->Active())
        Selection()->Rect()->Select(GetSelectedIndex(), dataLink_->DataSet()->Bookmark(), true);
    }
  }
  StartTimer(std::max(0, 200 - 15 * distance));
}

// ---------------------------------------------------------------- the sort-marking change

void TCustomDBGridEx::DoSortMarkingChanged() {
  // without sort marking no marker changed: the statement keeps its own order
  if (!optionsEx_.Contains(dghAutoSortMarking)) return;
  if (OnSortMarkingChanged) {
    auto handler = OnSortMarkingChanged;
    handler(this);
    return;
  }
  ApplySorting();
}

// ---------------------------------------------------------------- optimal column widths

int TCustomDBGridEx::OptimalColumnWidth(TColumnEx* Column) {
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Column->Title()->Font());
  int width = canvas->TextWidth(Column->Title()->Caption()) + 4;
  if (Column->Title()->SortMarker() != smNoneEx) width += SortMarkerWidth(Column) + 2;
  TDataSet* ds = dataLink_->DataSet();
  canvas->Font()->Assign(Column->Font());
  const int buttons = Column->AlwaysShowEditButton() ? Column->EditButtonsWidth() : 0;
  const TColumnEhType kind = Column->GetColumnType();
  for (ds->First(); !ds->Eof(); ds->Next()) {
    ++optimizeVisits_;
    int w;
    if (kind == ctCheckboxes)
      w = DefaultCheckBoxSize().cx + 4;
    else if (kind == ctKeyImageList && Column->ImageList())
      w = Column->ImageList()->Width() + 4;
    else
      w = canvas->TextWidth(Column->GetDisplayText()) + 4 + buttons;
    width = std::max(width, w);
  }
  canvas->Font()->Assign(FooterFont());
  for (int f = 0; f < FooterRowCount(); ++f)
    width = std::max(width, canvas->TextWidth(GetFooterValue(f, Column)) + 5);
  return width;
}

void TCustomDBGridEx::OptimizeColumnsWidth(const TColumnsExList& Columns) {
  if (!dataLink_->Active() || Columns.empty()) return;
  TDataSet* ds = dataLink_->DataSet();
  std::vector<int> widths;
  ds->DisableControls();
  SaveBookmark();
  {
    TScopeExit enable([ds] { ds->EnableControls(); });
    TScopeExit restore([this] { RestoreBookmark(); });
    for (TColumnEx* c : Columns) widths.push_back(OptimalColumnWidth(c));
  }
  if (!AutoFitColWidths()) BeginLayout();
  TScopeExit end([this] {
    if (!AutoFitColWidths()) EndLayout();
  });
  for (size_t i = 0; i < Columns.size(); ++i) Columns[i]->SetWidth(widths[i]);
}

// ---------------------------------------------------------------- hit tests

bool TCustomDBGridEx::InTitleSizingZone(int X, int Y, int& RawCol) {
  RawCol = -1;
  if (!TitlesShown() || !options_.Contains(dgColumnResize)) return false;
  if (Y < 0 || Y >= TitleRowHeight()) return false;
  const int zone = std::max(kSizingZone, GridLineWidth());
  const bool rtl = UseRightToLeftAlignment();
  for (int c = std::max(LeftCol(), indicatorOffset_); c < ColCount(); ++c) {
    const TRect r = CellRect(c, 0);
    if (r.Right <= r.Left) continue;
    // a column's end border: at its left on the screen when the grid reads from the right
    if (std::abs(X - (rtl ? r.Left : r.Right)) <= zone / 2) {
      RawCol = c;
      return true;
    }
  }
  return false;
}

bool TCustomDBGridEx::InColumnSelectZone(int X, int Y) {
  if (!TitlesShown() || options_.Contains(dgRowSelect) || !CanSelectType(gstColumns)) return false;
  const TGridCoord cell = MouseCoord(X, Y);
  if (cell.Y != 0 || cell.X < indicatorOffset_) return false;
  const TRect r = CellRect(cell.X, 0);
  return Y >= r.Bottom - kColumnSelectZone;
}

// ---------------------------------------------------------------- the sizing line

int TCustomDBGridEx::TitleSizingLineX(int Width) {
  const TRect r = CellRect(sizingCol_, 0);
  return UseRightToLeftAlignment() ? r.Right - Width : r.Left + Width;
}

void TCustomDBGridEx::DrawTitleSizingLine(int X) {
  if (!HandleAllocated()) return;
  // straight onto the window, outside painting: the window shows it when the context is given back
  HDC dc = GetDC(Handle());
  HPEN pen = CreatePen(PS_DOT, 1, ColorToRGB(clBlack));
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const int oldMode = SetROP2(dc, R2_NOT);
  TScopeExit release([&] {
    SetROP2(dc, oldMode);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    ReleaseDC(Handle(), dc);
  });
  MoveToEx(dc, X, 0, nullptr);
  LineTo(dc, X, ClientHeight());
  sizingLineX_ = sizingLineX_ < 0 ? X : -1;
}

void TCustomDBGridEx::HideTitleSizingLine() {
  if (sizingLineX_ >= 0) DrawTitleSizingLine(sizingLineX_);
  sizingLineX_ = -1;
}

// ---------------------------------------------------------------- edit buttons in the cells

bool TCustomDBGridEx::OnShownEditButton(int RawCol, int X, int Y) {
  TColumnEx* c = ColumnOfRaw(RawCol);
  if (!c || !c->AlwaysShowEditButton()) return false;
  const int width = c->EditButtonsWidth();
  const TGridCoord cell = MouseCoord(X, Y);
  if (width <= 0 || cell.X != RawCol) return false;
  const TRect r = CellRect(RawCol, cell.Y);
  return UseRightToLeftAlignment() ? X < r.Left + width : X >= r.Right - width;
}

void TCustomDBGridEx::PressEditorButton(int X, int Y) {
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  if (!editor || !editor->Visible()) return;
  const TPoint at = editor->ScreenToClient(ClientToScreen(TPoint{X, Y}));
  for (int i = 0; i < editor->ButtonCount(); ++i) {
    TControl* button = editor->ButtonControl(i);
    if (!button || !button->Visible() || !PtInRect(button->BoundsRect(), at)) continue;
    // the grid lets the mouse go: the button holds it until the release
    CancelMouseMode();
    button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.X - button->Left(), at.Y - button->Top()));
    return;
  }
}

// ---------------------------------------------------------------- buttons

void TCustomDBGridEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  pressedCell_ = {-1, -1};
  mouseDownPos_ = {X, Y};
  lastMousePos_ = {X, Y};
  if (!CanFocus() && !ComponentState().Contains(csDesigning)) return;
  if (!GridFocused() && CanFocus()) SetFocus();
  const TGridCoord cell = MouseCoord(X, Y);
  const bool inTitle = TitlesShown() && cell.Y >= 0 && cell.Y < titleOffset_;
  const bool dataRow = cell.Y >= titleOffset_ && cell.Y < titleOffset_ + std::max(VisibleDataRowCount(), 0);
  lastDownScreen_ = ClientToScreen(TPoint(X, Y));
  lastDownTime_ = talvik::gui::Ticks();
  // a click in the data ends the filter row's editing
  if (dataRow && filterEditorShown_) HideFilterEditor();

  // double click
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    int border = -1;
    if (optionsEx_.Contains(dghDblClickOptimizeColWidth) && InTitleSizingZone(X, Y, border)) {
      TColumnsExList cols;
      TColumnEx* clicked = ColumnOfRaw(border);
      if (Selection()->SelectionType() == gstColumns) {
        cols.assign(Selection()->Columns()->begin(), Selection()->Columns()->end());
        if (clicked && std::find(cols.begin(), cols.end(), clicked) == cols.end()) cols.push_back(clicked);
      } else if (Selection()->SelectionType() == gstAll) {
        for (int i = 0; i < columns_->Count(); ++i) cols.push_back(columns_->Items(i));
      } else if (clicked) {
        cols.push_back(clicked);
      }
      OptimizeColumnsWidth(cols);
    } else if (dataRow) {
      TColumnEx* c = ColumnOfRaw(cell.X);
      if (c && c->DblClickNextVal() &&
          (c->GetColumnType() == ctKeyImageList || c->GetColumnType() == ctCheckboxes) && c->CanModify(true))
        c->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
    }
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }

  // sizing from the title area
  int border = -1;
  if (Button == mbLeft && InTitleSizingZone(X, Y, border)) {
    mouseSelectMode_ = kMouseSizingTitle;
    sizingCol_ = border;
    sizingStartX_ = X;
    sizingStartWidth_ = ColWidths(border);
    if (EditorMode()) dataLink_->UpdateData();
    if (!optionsEx_.Contains(dghTraceColSizing)) DrawTitleSizingLine(TitleSizingLineX(sizingStartWidth_));
    return;
  }

  // choosing columns by the lower edge of their titles
  if (Button == mbLeft && InColumnSelectZone(X, Y)) {
    TColumnEx* c = ColumnOfRaw(cell.X);
    if (c) {
      InvalidateCol(cell.X);
      mouseSelectMode_ = kMouseSelectingColumns;
      StartTimer(kColumnSelectTimer);
      if (Shift.Contains(ssShift) && Selection()->SelectionType() == gstColumns)
        Selection()->Columns()->SelectShift(c);
      else if (Shift.Contains(ssCtrl))
        Selection()->Columns()->InvertSelect(c);
      else {
        InvalidateGrid();
        Selection()->Columns()->Select(c, false);
      }
      return;
    }
  }

  // a row's border in the fixed columns: the class library sizes the row
  if (Button == mbLeft && options_.Contains(dgIndicator) && TCustomGrid::Options().Contains(goRowSizing)) {
    TGridState state = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    TGridDrawInfo info;
    CalcSizingState(X, Y, state, index, pos, ofs, info);
    if (state == gsRowSizing) {
      if (EditorMode()) dataLink_->UpdateData();
      TCustomGrid::MouseDown(Button, Shift, X, Y);
      return;
    }
  }

  // title buttons
  if (inTitle && cell.X >= indicatorOffset_ && (Button == mbLeft || Button == mbRight)) {
    TColumnEx* c = ColumnOfRaw(cell.X);
    if (Button == mbLeft && c && !ComponentState().Contains(csDesigning) && OnTitleLeaf(cell.X, X, Y)) {
      bool enabled = c->Title()->TitleButton();
      if (OnCheckButton) {
        auto handler = OnCheckButton;
        handler(this, cell.X - indicatorOffset_, c, enabled);
      }
      if (enabled) {
        SetMouseCapture(true);
        tracking_ = true;
        pressedTitleCol_ = cell.X;
        titlePressed_ = true;
        InvalidateRow(0);  // the bands of multi-level titles span several cells
        return;
      }
    }
    if (Button == mbRight && options_.Contains(dgColumnResize)) {
      rightButtonAsLeft_ = true;
      TCustomGrid::MouseDown(mbLeft, Shift, X, Y);
      return;
    }
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }

  // the indicator's title: everything, or nothing
  if (inTitle && cell.X == 0 && indicatorOffset_ > 0) {
    if (Button == mbLeft && CanSelectType(gstAll)) {
      if (Selection()->SelectionType() != gstNon)
        Selection()->Clear();
      else
        Selection()->SelectAll();
    }
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }

  if (!dataRow || !dataLink_->Active()) {
    InvokeEvent(OnMouseDown, this, Button, Shift, X, Y);  // only OnMouseDown
    return;
  }

  // data cells and the indicator
  TDataSet* ds = dataLink_->DataSet();
  BeginUpdateLayout();
  TScopeExit endLayout([this] { EndUpdateLayout(); });
  if (EditorMode()) dataLink_->UpdateData();
  if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
  const bool wasFocusedCell = cell.X == Col() && cell.Y == Row();
  const int previousCol = GetSelectedIndex();
  const TBookmarkStr previousRecord = ds->Bookmark();
  const bool recordExtend = Shift.Contains(ssShift) && CanSelectType(gstRecordBookmarks) &&
                            (cell.X < indicatorOffset_ || options_.Contains(dgRowSelect));
  const int delta = cell.Y - titleOffset_ - dataLink_->ActiveRecord();
  if (!recordExtend && delta != 0) ds->MoveBy(delta);
  if (cell.X >= indicatorOffset_) MoveToColumn(cell.X, 0);
  InvokeEvent(OnMouseDown, this, Button, Shift, X, Y);

  const bool inBox = cell.X >= indicatorOffset_;
  const bool multi = options_.Contains(dgMultiSelect);
  const bool ctrl = Shift.Contains(ssCtrl), shift = Shift.Contains(ssShift);
  // a press inside the selection waits: moving drags the selection, releasing is a click
  if (multi && (DragMode() == dmAutomatic || autoDragPress_) && Button == mbLeft && !shift && inBox &&
      Selection()->DataCellSelected(cell.X - indicatorOffset_, ds->Bookmark())) {
    dragPending_ = true;
    return;
  }
  if (inBox && !(multi && options_.Contains(dgRowSelect))) {
    // cells and rectangles
    SetMouseCapture(true);
    tracking_ = true;
    trackingCells_ = true;
    const bool insideSelection = Selection()->DataCellSelected(cell.X - indicatorOffset_, ds->Bookmark());
    if (!ctrl && !shift && optionsEx_.Contains(dghClearSelection) && !(Button == mbRight && insideSelection))
      Selection()->Clear();
    if (Button == mbLeft && CanSelectType(gstRectangle) && !ds->IsEmpty()) {
      if (shift) {
        if (Selection()->SelectionType() != gstRectangle)
          Selection()->Rect()->Select(previousCol, previousRecord, false);
        Selection()->Rect()->Select(GetSelectedIndex(), ds->Bookmark(), true);
      } else {
        Selection()->Rect()->Select(GetSelectedIndex(), ds->Bookmark(), false);
      }
      mouseSelectMode_ = kMouseSelectingRect;
    }
  } else if (CanSelectType(gstRecordBookmarks)) {
    if (shift && delta != 0) {
      SelectRecordsTo(delta);
    } else if (Button == mbLeft) {
      if (ctrl || !optionsEx_.Contains(dghClearSelection)) {
        SelectedRows()->SetCurrentRowSelected(!SelectedRows()->CurrentRowSelected());
      } else {
        if (optionsEx_.Contains(dghClearSelection)) Selection()->Clear();
        SelectedRows()->SetCurrentRowSelected(true);
      }
    }
    if (cell.X < indicatorOffset_ || options_.Contains(dgRowSelect)) {
      SetMouseCapture(true);
      tracking_ = true;
      trackingRows_ = true;
      SetKeepSelection(ctrl || !optionsEx_.Contains(dghClearSelection));
      mouseSelectMode_ = kMouseSelectingRecords;
    }
  }
  if (Button == mbLeft) {
    if (OnShownEditButton(cell.X, X, Y)) {
      // a press on the edit buttons a cell always shows: the editor opens and its button takes the press
      ShowEditor();
      PressEditorButton(X, Y);
    } else if (CanEditShow() && (wasFocusedCell || options_.Contains(dgAlwaysShowEditor))) {
      ShowEditor();
    }
    TColumnEx* c = ColumnOfRaw(cell.X);
    if (c && (c->GetColumnType() == ctKeyImageList || c->GetColumnType() == ctCheckboxes))
      pressedCell_ = cell;
  }
}

bool TCustomDBGridEx::OnTitleLeaf(int RawCol, int X, int Y) {
  if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight()) return false;
  const TGridCoord cell = MouseCoord(X, Y);
  if (cell.X != RawCol || cell.Y < 0 || cell.Y >= titleOffset_) return false;
  TColumnEx* c = ColumnOfRaw(RawCol);
  return c && Y >= CellRect(RawCol, cell.Y).Top + TitleLeafTop(c);
}

void TCustomDBGridEx::UpdateTitleButtonLook(int X, int Y) {
  if (!tracking_ || pressedTitleCol_ < 0) return;
  const bool over = OnTitleLeaf(pressedTitleCol_, X, Y);
  if (over == titlePressed_) return;
  titlePressed_ = over;
  InvalidateRow(0);
}

void TCustomDBGridEx::SelectRecordsTo(int Delta) {
  // every record from the current one to the clicked one takes the mark
  TDataSet* ds = dataLink_->DataSet();
  if (ds->State() == dsInsert) {
    // a record being inserted has no bookmark yet: it is posted (or dropped) first, and the clicked
    // row is reached from wherever that leaves the current record
    const int clickedRow = dataLink_->ActiveRecord() + Delta;
    ds->CheckBrowseMode();
    Delta = clickedRow - dataLink_->ActiveRecord();
  }
  const int step = Delta < 0 ? -1 : 1;
  SelectedRows()->SetCurrentRowSelected(true);
  for (int i = 0; i != Delta; i += step) {
    if (ds->MoveBy(step) == 0) break;
    SelectedRows()->SetCurrentRowSelected(true);
  }
}

void TCustomDBGridEx::MouseMove(TShiftState Shift, int X, int Y) {
  lastMousePos_ = {X, Y};
  lastMoveShift_ = Shift;
  // A move with no button held during a gesture: its release went to another window, one that came up
  // under the pointer before the grid read the press (the cell editor, shown as the press focused the
  // grid), and the gesture is over. The move is a plain one. A press inside the selection that waits to
  // become a drag holds the mouse only by the press itself, and lets it go here.
  if ((tracking_ || mouseSelectMode_ != kMouseSelectNone || dragPending_) && !HoldsButton(Shift)) {
    const bool waitedForDrag = dragPending_;
    CancelMouseMode();
    if (waitedForDrag && MouseCapture()) SetMouseCapture(false);
  }
  if (dragPending_) {
    if (std::abs(X - mouseDownPos_.X) >= GetSystemMetrics(SM_CXDRAG) ||
        std::abs(Y - mouseDownPos_.Y) >= GetSystemMetrics(SM_CYDRAG)) {
      dragPending_ = false;
      BeginDrag(true);
    }
    return;
  }
  if (tracking_ && pressedTitleCol_ >= 0) {
    UpdateTitleButtonLook(X, Y);
    if (options_.Contains(dgColumnResize) && std::abs(X - mouseDownPos_.X) > kTitleDragThreshold) {
      // the press becomes a column drag
      const int col = pressedTitleCol_;
      StopTracking();
      InvalidateCell(col, 0);
      TCustomGrid::MouseDown(mbLeft, TShiftState{ssLeft}, mouseDownPos_.X, mouseDownPos_.Y);
      columnDragStarted_ = true;
      TCustomGrid::MouseMove(Shift, X, Y);
    }
    return;
  }
  switch (mouseSelectMode_) {
    case kMouseSizingTitle: {
      if (sizingCol_ >= 0) {
        const int moved = UseRightToLeftAlignment() ? sizingStartX_ - X : X - sizingStartX_;
        const int width = std::max(1, sizingStartWidth_ + moved);
        if (optionsEx_.Contains(dghTraceColSizing)) {
          if (TColumnEx* c = ColumnOfRaw(sizingCol_)) c->SetWidth(width);
        } else {
          HideTitleSizingLine();
          DrawTitleSizingLine(TitleSizingLineX(width));
        }
        sizingWidth_ = width;
      }
      return;
    }
    case kMouseSelectingColumns: {
      const TRect box = DataBox();
      if (X >= box.Left && X < box.Right) {
        const TGridCoord cell = MouseCoord(X, std::max(0, TitleRowHeight() - 1));
        if (TColumnEx* c = ColumnOfRaw(cell.X)) Selection()->Columns()->SelectShift(c);
      } else {
        MouseAutoScroll();
      }
      return;
    }
    default:
      break;
  }
  if (tracking_ && (trackingRows_ || trackingCells_) && dataLink_->Active()) {
    const TRect box = DataBox();
    const int cx = std::clamp(X, 0, std::max(0, ClientWidth() - 1));
    const int cy = std::clamp(Y, 0, std::max(0, ClientHeight() - 1));
    if (cy >= box.Top && cy < box.Bottom) {
      const TGridCoord cell = MouseCoord(std::max(cx, box.Left), cy);
      const int delta = cell.Y - titleOffset_ - dataLink_->ActiveRecord();
      if (cell.Y >= titleOffset_ && delta != 0) {
        if (mouseSelectMode_ == kMouseSelectingRecords)
          MoveBy(true, delta, true, false);
        else
          dataLink_->DataSet()->MoveBy(delta);
      }
      if (trackingCells_ && cell.X >= indicatorOffset_ && cell.X != Col() && cx >= box.Left && cx < box.Right)
        MoveToColumn(cell.X, 0);
      if (mouseSelectMode_ == kMouseSelectingRect)
        Selection()->Rect()->Select(GetSelectedIndex(), dataLink_->DataSet()->Bookmark(), true);
    }
    MouseAutoScroll();
    return;
  }
  if (columnDragStarted_) {
    TCustomGrid::MouseMove(Shift, X, Y);
    return;
  }
  TCustomGrid::MouseMove(Shift, X, Y);
}

void TCustomDBGridEx::StopTracking() {
  if (titlePressed_ && pressedTitleCol_ >= 0) InvalidateRow(0);
  // the grid lets go of the mouse it holds; a window that took the mouse from it keeps it
  const HWND capture = ::GetCapture();
  if (tracking_ && (!capture || (HandleAllocated() && capture == Handle()))) SetMouseCapture(false);
  tracking_ = trackingRows_ = trackingCells_ = false;
  pressedTitleCol_ = -1;
  titlePressed_ = false;
}

void TCustomDBGridEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const TGridCoord cell = MouseCoord(X, Y);
  const int mode = mouseSelectMode_;
  if (mode == kMouseSizingTitle) {
    HideTitleSizingLine();
    if (!optionsEx_.Contains(dghTraceColSizing) && sizingCol_ >= 0 && sizingWidth_ > 0)
      if (TColumnEx* c = ColumnOfRaw(sizingCol_)) c->SetWidth(sizingWidth_);
    sizingCol_ = -1;
    sizingWidth_ = 0;
    mouseSelectMode_ = kMouseSelectNone;
    return;
  }
  mouseSelectMode_ = kMouseSelectNone;
  if (dragPending_) {
    // the press never became a drag: a click inside the selection
    dragPending_ = false;
    if (Shift.Contains(ssCtrl) && options_.Contains(dgRowSelect))
      SelectedRows()->SetCurrentRowSelected(!SelectedRows()->CurrentRowSelected());
    else if (optionsEx_.Contains(dghClearSelection))
      Selection()->Clear();
  }
  if (pressedTitleCol_ >= 0 && tracking_) {
    const int col = pressedTitleCol_;
    const bool over = titlePressed_;
    StopTracking();
    InvalidateCell(col, 0);
    TColumnEx* c = ColumnOfRaw(col);
    if (over && c) {
      if (OnTitleBtnClick) {
        auto handler = OnTitleBtnClick;
        handler(this, col - indicatorOffset_, c);
      }
      const bool ctrl = Shift.Contains(ssCtrl);
      sortMarkingPending_ = ctrl;
      if (optionsEx_.Contains(dghAutoSortMarking))
        c->Title()->SetNextSortMarkerValue(ctrl && optionsEx_.Contains(dghMultiSortMarking));
      if (!ctrl) DoSortMarkingChanged();
    }
  } else {
    StopTracking();
  }
  // the automatic scrolling ends with the gesture (cell tracking runs it too, without a mode)
  if (autoScrollTimerOn_) StopTimer();
  const bool dragged = columnDragStarted_ || rightButtonAsLeft_;
  columnDragStarted_ = false;
  rightButtonAsLeft_ = false;
  TCustomGrid::MouseUp(dragged ? mbLeft : Button, Shift, X, Y);
  if (Button != mbLeft || dragged) return;
  if (cell.Y >= 0 && cell.Y < titleOffset_ && cell.X >= indicatorOffset_) {
    if (OnTitleClick) {
      auto handler = OnTitleClick;
      handler(ColumnOfRaw(cell.X));
    }
  } else if (cell.Y >= titleOffset_ && cell.X >= indicatorOffset_) {
    if (OnCellClick) {
      auto handler = OnCellClick;
      handler(ColumnOfRaw(cell.X));
    }
    if (cell == pressedCell_ && !Shift.Contains(ssDouble)) {
      TColumnEx* c = ColumnOfRaw(cell.X);
      if (c && !c->DblClickNextVal() && c->CanModify(true))
        c->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
    }
  }
  pressedCell_ = {-1, -1};
}

void TCustomDBGridEx::CancelMouseMode() {
  HideTitleSizingLine();
  dragPending_ = false;
  StopTracking();
  StopTimer();
  sizingCol_ = -1;
  mouseSelectMode_ = kMouseSelectNone;
}

// ---------------------------------------------------------------- the wheel and the cursor

bool TCustomDBGridEx::WheelToEditors(TMessage& Message) {
  if (wheelToEditor_) return false;  // coming back up from the editor it went to
  wheelToEditor_ = true;
  TScopeExit done([this] { wheelToEditor_ = false; });
  auto* edit = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  if (edit && edit->Visible() && edit->ActiveList()) {
    Message.Result = edit->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
    if (Message.Result != 0) return true;
  }
  const bool filterOpen = filterEditing_ && filterEditorShown_ && filterEditor_ &&
                          filterEditor_->HandleAllocated() && IsWindowVisible(filterEditor_->Handle());
  if (!filterOpen) return false;
  // a wheel that came up from the focused filter editor has had its turn there
  if (!filterEditor_->Focused()) filterEditor_->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
  Message.Result = 1;
  return true;
}

bool TCustomDBGridEx::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  InvokeEvent(OnMouseWheelDown, this, Shift, MousePos, handled);
  if (handled) return true;
  if (!dataLink_->Active()) return true;
  if (memTable_)
    MemTableWheel(Shift, 1);
  else
    dataLink_->DataSet()->Next();
  return true;
}

bool TCustomDBGridEx::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  InvokeEvent(OnMouseWheelUp, this, Shift, MousePos, handled);
  if (handled) return true;
  if (!dataLink_->Active()) return true;
  if (memTable_)
    MemTableWheel(Shift, -1);
  else
    dataLink_->DataSet()->Prior();
  return true;
}

void TCustomDBGridEx::MemTableWheel(TShiftState Shift, int Direction) {
  const bool page = Shift.Contains(ssCtrl);
  if (!Shift.Contains(ssShift)) {
    // the rows in view move; the current record stays
    const int code =
        page ? (Direction > 0 ? SB_PAGEDOWN : SB_PAGEUP) : (Direction > 0 ? SB_LINEDOWN : SB_LINEUP);
    MemTableScrollMessage(code, 0);
    return;
  }
  const int step = page ? std::max(1, VisibleRowCount()) : 1;
  dataLink_->DataSet()->MoveBy(Direction * step);
}

bool TCustomDBGridEx::SetGridCursor(int X, int Y) {
  const TGridCoord cell = MouseCoord(X, Y);
  int border = -1;
  if (cell.X == 0 && indicatorOffset_ > 0 && cell.Y >= titleOffset_ && options_.Contains(dgMultiSelect) &&
      allowedSelections_.Contains(gstRecordBookmarks)) {
    ::SetCursor(UseRightToLeftAlignment() ? DBGridExLeftCursor : DBGridExRightCursor);
    return true;
  }
  if (InTitleSizingZone(X, Y, border)) {
    ::SetCursor(Screen->Cursors(crHSplit));
    return true;
  }
  if (InColumnSelectZone(X, Y) && !options_.Contains(dgRowSelect)) {
    ::SetCursor(DBGridExDownCursor);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------- tooltips of clipped text

TCustomDBGridEx::TToolTipKind TCustomDBGridEx::ToolTipAt(int X, int Y, TGridCoord& Cell) {
  Cell = MouseCoord(X, Y);
  TColumnEx* c = Cell.X >= indicatorOffset_ ? ColumnOfRaw(Cell.X) : nullptr;
  if (!c || Cell.Y < 0) return kTipNone;
  const TCellTypeEx type = GetCellType(Cell.X, Cell.Y);
  if (type.RowArea == kAreaTitle) {
    if (!OnTitleLeaf(Cell.X, X, Y)) return kTipNone;
    if (!c->Title()->Hint().empty()) return kTipTitleHint;
    return c->Title()->ToolTips() ? kTipTitleText : kTipNone;
  }
  const bool shownRecord = memTable_ || type.DataRow < dataLink_->RecordCount();
  if (type.RowArea == kAreaDataRow && c->ToolTips() && dataLink_->Active() && shownRecord)
    return kTipCellText;
  return kTipNone;
}

bool TCustomDBGridEx::ShowCellHint(THintInfo& Info) {
  if (::GetCapture() || GetKeyState(VK_CONTROL) < 0) return false;
  TGridCoord cell;
  const TToolTipKind kind = ToolTipAt(Info.CursorPos.X, Info.CursorPos.Y, cell);
  if (cell.X < 0 || cell.Y < 0) return false;
  // the hint holds while the pointer stays in this cell
  const TRect cellRect = CellRect(cell.X, cell.Y);
  Info.CursorRect = cellRect;
  if (kind == kTipNone) return false;
  TColumnEx* column = ColumnOfRaw(cell.X);
  TColumnTitleEx* title = column->Title();
  if (kind == kTipTitleHint) {
    Info.HintStr = GetShortHint(title->Hint());
    return true;
  }
  TCanvas* canvas = Canvas();
  std::string text;
  bool clipped = false;
  TRect room = cellRect;
  if (Is3DCell(cell.X, cell.Y, {})) InflateRect(room, -1, -1);
  if (kind == kTipTitleText) {
    THeadTreeNode* leaf = useMultiTitle_ ? LeafOf(column) : nullptr;
    text = leaf ? leaf->Text : title->Caption();
    room.Top = std::min(room.Bottom, cellRect.Top + TitleLeafTop(column));
    if (title->SortMarker() != smNoneEx)
      room.Right = std::max(room.Left, room.Right - std::max(SortMarkerWidth(column), kSortMarkerArea));
    canvas->Font()->Assign(title->Font());
    if (title->Orientation() == tohVertical) {
      const int length =
          WriteTextVerticalEx(canvas, room, false, 2, 2, text, title->Alignment(), tlCenter, false, true);
      clipped = length > room.Height() - 4;
    } else {
      const bool wrap = titleHeight_ != 0 || titleLines_ != 0 || useMultiTitle_;
      int w = 0, h = 0;
      clipped = IsTextClipped(canvas, UseRightToLeftAlignment(), 2, 2, wrap, room, text, w, h);
    }
  } else {
    // the record of the row, and its text as drawing prepares it
    const int dataRow = cell.Y - titleOffset_;
    const int savedRecord = memTable_ ? memTable_->MemTableActiveRow() : dataLink_->ActiveRecord();
    if (memTable_)
      memTable_->MemTableSetActiveRow(dataRow);
    else
      dataLink_->SetActiveRecord(dataRow);
    TScopeExit restore([this, savedRecord] {
      if (memTable_)
        memTable_->MemTableSetActiveRow(savedRecord);
      else
        dataLink_->SetActiveRecord(savedRecord);
    });
    const TColumnEhType type = column->GetColumnType();
    if (type == ctKeyImageList || type == ctCheckboxes) {
      // the pick list's entry for the image or the check state, whatever its width
      const int index = type == ctCheckboxes
                            ? static_cast<int>(column->GetCheckboxState())
                            : (column->Field() ? column->KeyList()->IndexOf(column->Field()->Text()) : -1);
      if (index < 0 || index >= column->PickList()->Count()) return true;
      canvas->Font()->Assign(column->Font());
      text = column->PickList()->Strings(index);
      clipped = true;
    } else {
      PrepareCellParams(column, canvas->Font(), {});
      text = colCellParams_->Text;
      if (column->AlwaysShowEditButton() && column->EditButtonsWidth() > 0)
        room.Right = std::max(room.Left, room.Right - column->EditButtonsWidth());
      int w = 0, h = 0;
      clipped = IsTextClipped(canvas, UseRightToLeftAlignment(), 2, 2, column->WordWrap() && multiLineRows_,
                              room, text, w, h);
    }
  }
  if (!clipped || text.empty()) {
    Info.HintStr.clear();
    return true;
  }
  // the whole text in a tooltip window over the cell, in the cell's font
  toolTipFont_->Assign(canvas->Font());
  Info.HintStr = text;
  Info.HintData = toolTipFont_.get();
  Info.HintWindowClass = [] { return std::make_unique<TToolTipsWindow>(nullptr); };
  Info.HintPos = ClientToScreen(TPoint{cellRect.Left, cellRect.Top});
  Info.HintMaxWidth = Screen ? Screen->Width() : Info.HintMaxWidth;
  return true;
}

void TCustomDBGridEx::HintShowPause(int& Pause) {
  if (!HandleAllocated()) return;
  POINT p;
  ::GetCursorPos(p);
  ::ScreenToClient(Handle(), p);
  TGridCoord cell;
  const TToolTipKind kind = ToolTipAt(p.X, p.Y, cell);
  // tooltips of clipped text come at once
  if (kind == kTipCellText || kind == kTipTitleText) Pause = 0;
}
