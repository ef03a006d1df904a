// The grid's scroll bars: their settings, the vertical bar by records (or by rows in memory-table
// mode), the horizontal bar of an external scroll-bar control, the scroll messages and the external
// bars' subclassing.
#include <algorithm>
#include <cassert>
#include <map>

#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "platform/rtl/ScopeExit.h"

namespace {

// The external scroll bars attached to a grid: a bar serves one grid only.
std::map<TScrollBar*, TDBGridExScrollBar*>& AttachedBars() {
  static std::map<TScrollBar*, TDBGridExScrollBar*> bars;
  return bars;
}

constexpr int kHorzExtRange = 127;  // the external horizontal bar's positions
constexpr int kVertPositions = 4;   // without record numbers: 0 first, 2 middle, 4 last

}  // namespace

// ---------------------------------------------------------------- settings

TDBGridExScrollBar::TDBGridExScrollBar(TCustomDBGridEx* AGrid, TScrollBarKind AKind)
    : grid_(AGrid), kind_(AKind) {}

TDBGridExScrollBar::~TDBGridExScrollBar() {
  Detach();
}

void TDBGridExScrollBar::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TDBGridExScrollBar*>(Source)) {
    SetVisible(s->Visible());
    SetTracking(s->Tracking());
    SetExtScrollBar(s->ExtScrollBar());
    return;
  }
  TPersistent::Assign(Source);
}

void TDBGridExScrollBar::Detach() {
  if (!extScrollBar_) return;
  AttachedBars().erase(extScrollBar_);
  extScrollBar_->WindowProc = savedWindowProc_;
  savedWindowProc_ = nullptr;
  extScrollBar_ = nullptr;
}

void TDBGridExScrollBar::ExtScrollBarFreed() {
  AttachedBars().erase(extScrollBar_);
  savedWindowProc_ = nullptr;
  extScrollBar_ = nullptr;
}

void TDBGridExScrollBar::SetExtScrollBar(TScrollBar* Value) {
  if (Value == extScrollBar_) return;
  if (Value) {
    auto it = AttachedBars().find(Value);
    if (it != AttachedBars().end() && it->second != this && !grid_->ComponentState().Contains(csDesigning))
      throw Exception("Possible " + Value->Name() + " already attached to the other control.");
  }
  Detach();
  extScrollBar_ = Value;
  if (Value) {
    Value->FreeNotification(grid_);
    AttachedBars()[Value] = this;
    savedWindowProc_ = Value->WindowProc;
    // the bar's notifications reach the grid as its own scroll messages, then the bar handles them
    Value->WindowProc = [this](TMessage& m) {
      if ((m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL || m.Msg == WM_HSCROLL || m.Msg == WM_VSCROLL) &&
          grid_->HandleAllocated()) {
        const TWMScroll scroll(m);
        if (kind_ == sbVertical)
          grid_->VertScrollMessage(scroll.ScrollCode(), scroll.Pos());
        else
          grid_->HorzScrollMessage(scroll.ScrollCode(), scroll.Pos());
      }
      TWndMethod own = savedWindowProc_;
      if (own) own(m);
    };
    Value->SetVisible(Visible());
  }
  grid_->LayoutChanged();
}

void TDBGridExScrollBar::SetVisible(bool Value) {
  SetVisibleMode(Value ? sbAutoShowEx : sbNeverShowEx);
}

void TDBGridExScrollBar::SetVisibleMode(TScrollBarVisibleModeEx Value) {
  if (visibleMode_ == Value) return;
  visibleMode_ = Value;
  if (extScrollBar_) extScrollBar_->SetVisible(Visible());
  if (kind_ == sbVertical) grid_->UpdateVertScrollBar();
  grid_->LayoutChanged();
}

bool TDBGridExScrollBar::IsScrollBarShowing() {
  if (extScrollBar_) return extScrollBar_->Visible();
  if (!Visible() || !grid_->HandleAllocated()) return false;
  const DWORD style = static_cast<DWORD>(GetWindowLong(grid_->Handle(), GWL_STYLE));
  return (style & (kind_ == sbVertical ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

bool TDBGridExScrollBar::GetScrollInfo(SCROLLINFO& ScrollInfo) {
  if (extScrollBar_) {
    if (ScrollInfo.fMask & SIF_RANGE) {
      ScrollInfo.nMin = extScrollBar_->Min();
      ScrollInfo.nMax = extScrollBar_->Max();
    }
    if (ScrollInfo.fMask & SIF_PAGE) ScrollInfo.nPage = static_cast<UINT>(extScrollBar_->PageSize());
    if (ScrollInfo.fMask & SIF_POS) ScrollInfo.nPos = extScrollBar_->Position();
    if (ScrollInfo.fMask & SIF_TRACKPOS) ScrollInfo.nTrackPos = extScrollBar_->Position();
    return true;
  }
  if (!grid_->HandleAllocated()) return false;
  return ::GetScrollInfo(grid_->Handle(), kind_ == sbVertical ? SB_VERT : SB_HORZ, ScrollInfo);
}

std::unique_ptr<TDBGridExScrollBar> TCustomDBGridEx::CreateScrollBar(bool Vertical) {
  if (Vertical) return std::make_unique<TVertDBGridExScrollBar>(this);
  return std::make_unique<TDBGridExScrollBar>(this, sbHorizontal);
}

// ---------------------------------------------------------------- record numbers

// Through the sum list: it numbers the records of a dataset that keeps no numbers (virtual records).
bool TCustomDBGridEx::RecordNumbersKnown() {
  return dataLink_->Active() && sumList_->DataSet() && sumList_->IsSequenced();
}

int TCustomDBGridEx::CurrentRecNo() {
  return sumList_->GetRecNo();
}

int TCustomDBGridEx::DataRecordCount() {
  return sumList_->RecordCount();
}

void TCustomDBGridEx::GoToRecNo(int Value) {
  dataLink_->MoveBy(Value - CurrentRecNo());
}

// ---------------------------------------------------------------- the vertical bar

void TCustomDBGridEx::UpdateVertScrollBar() {
  if (!dataLink_ || !vertScrollBar_ || !HandleAllocated()) return;
  TDBGridExScrollBar* bar = vertScrollBar_.get();
  const TScrollBarVisibleModeEx mode = bar->VisibleMode();
  SCROLLINFO old;
  old.fMask = SIF_ALL;
  ::GetScrollInfo(Handle(), SB_VERT, old);
  int min = 0, max = 1, page = 2, pos = 0;
  if (memTable_) {
    min = 1;
    max = std::max(1, RowCount() - FixedRows());
    page = VisibleRowCount();
    pos = TopRow() - FixedRows() + 1;
  } else if (!dataLink_->Active()) {
    // nothing to scroll
  } else if (RecordNumbersKnown()) {
    min = 1;
    page = VisibleDataRowCount();
    max = DataRecordCount() + page - 1;
    pos = dataLink_->DataSet()->State() == dsBrowse ? CurrentRecNo() : old.nPos;
  } else {
    TDataSet* ds = dataLink_->DataSet();
    min = 0;
    page = 0;
    max = kVertPositions;
    pos = ds->Bof() ? 0 : ds->Eof() ? kVertPositions : kVertPositions / 2;
  }
  const bool external = bar->ExtScrollBar() != nullptr;
  const bool scrollable = max > min && max - min > page;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = min;
  si.nMax = max;
  si.nPage = static_cast<UINT>(std::max(0, page));
  si.nPos = pos;
  extVertMax_ = max;
  // the window's own bar shows nothing to scroll when hidden, replaced or (auto) not needed
  if (!bar->Visible() || external || (mode != sbAlwaysShowEx && !scrollable)) si.nMax = min;
  const bool changed = old.nMin != si.nMin || old.nMax != si.nMax || old.nPage != si.nPage ||
                       old.nPos != si.nPos || shownVertMode_ != mode;
  if (changed) {
    if (mode == sbAlwaysShowEx && !external) {
      si.fMask |= SIF_DISABLENOSCROLL;
      ::SetScrollInfo(Handle(), SB_VERT, si, true);
      ShowScrollBar(Handle(), SB_VERT, true);
      EnableScrollBar(Handle(), SB_VERT, scrollable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    } else {
      ::SetScrollInfo(Handle(), SB_VERT, si, true);
      EnableScrollBar(Handle(), SB_VERT, ESB_ENABLE_BOTH);
      if (si.nMax <= si.nMin) ShowScrollBar(Handle(), SB_VERT, false);
    }
    shownVertMode_ = mode;
  }
  if (TScrollBar* ext = bar->ExtScrollBar()) {
    ext->SetPageSize(0);
    ext->SetParams(std::clamp(pos, std::min(min, extVertMax_), extVertMax_), std::min(min, extVertMax_),
                   extVertMax_);
    ext->SetPageSize(std::max(0, page));
  }
}

// ---------------------------------------------------------------- the horizontal bar

void TCustomDBGridEx::UpdateHorzScrollBar() {
  if (!horzScrollBar_ || !HandleAllocated()) return;
  TScrollBar* ext = horzScrollBar_->ExtScrollBar();
  if (!ext) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const int fixed = FixedCols();
  const int lastLeft = CalcMaxTopLeft({ColCount() - 1, RowCount() - 1}, info).X;
  const int max = lastLeft > fixed ? kHorzExtRange : 0;
  // nothing to scroll gives position 0
  const int pos = lastLeft > fixed ? MulDiv(LeftCol() - fixed, kHorzExtRange, lastLeft - fixed) : 0;
  if (ext->Min() == 0 && ext->Max() == max && ext->Position() == pos) return;
  ext->SetPageSize(0);
  ext->SetParams(std::clamp(pos, 0, max), 0, max);
}

// ---------------------------------------------------------------- scroll messages

void TCustomDBGridEx::VertScrollMessage(int Code, int Pos) {
  if (!AcquireFocus() || !dataLink_->Active()) return;
  if (memTable_) {
    MemTableScrollMessage(Code, Pos);
    return;
  }
  TDataSet* ds = dataLink_->DataSet();
  const int page = VisibleDataRowCount();
  switch (Code) {
    case SB_LINEUP:
      dataLink_->MoveBy(-dataLink_->ActiveRecord() - 1);
      break;
    case SB_LINEDOWN:
      dataLink_->MoveBy(dataLink_->RecordCount() - dataLink_->ActiveRecord());
      break;
    case SB_PAGEUP:
      dataLink_->MoveBy(-page);
      break;
    case SB_PAGEDOWN:
      dataLink_->MoveBy(page);
      break;
    case SB_TOP:
      ds->First();
      break;
    case SB_BOTTOM:
      ds->Last();
      break;
    case SB_THUMBTRACK:
      if (!vertScrollBar_->Tracking() || !RecordNumbersKnown()) break;
      dataLink_->MoveBy(Pos - CurrentRecNo());
      ignoreThumbPosition_ = true;
      break;
    case SB_THUMBPOSITION:
      if (ignoreThumbPosition_) {
        ignoreThumbPosition_ = false;
        break;
      }
      if (RecordNumbersKnown()) {
        if (Pos <= 1)
          ds->First();
        else if (Pos < DataRecordCount())
          GoToRecNo(Pos);
        else
          ds->Last();
        break;
      }
      switch (Pos) {
        case 0:
          ds->First();
          break;
        case 1:
          dataLink_->MoveBy(-page);
          break;
        case 3:
          dataLink_->MoveBy(page);
          break;
        case kVertPositions:
          ds->Last();
          break;
        default:
          break;  // the middle stays where it is
      }
      break;
    default:
      break;
  }
}

void TCustomDBGridEx::HorzScrollMessage(int Code, int Pos) {
  if (Code == SB_THUMBTRACK && horzScrollBar_->Tracking()) Code = SB_THUMBPOSITION;
  const int fixed = FixedCols();
  const bool wasAtStart = LeftCol() == fixed;
  if (horzScrollBar_->ExtScrollBar() && (Code == SB_THUMBPOSITION || Code == SB_THUMBTRACK)) {
    if (Code == SB_THUMBPOSITION) {
      TGridDrawInfo info;
      CalcDrawInfo(info);
      const int lastLeft = CalcMaxTopLeft({ColCount() - 1, RowCount() - 1}, info).X;
      const int target = lastLeft > fixed ? fixed + MulDiv(Pos, lastLeft - fixed, kHorzExtRange) : fixed;
      SetLeftCol(std::clamp(target, fixed, std::max(fixed, lastLeft)));
    }
  } else {
    TMessage m = MakeMessage(WM_HSCROLL, MAKEWPARAM(Code, Pos), 0);
    TCustomGrid::Dispatch(m);
  }
  UpdateHorzScrollBar();
  if (wasAtStart != (LeftCol() == fixed))
    for (int r = 0; r < titleOffset_; ++r) InvalidateRow(r);
  if (filterEditorShown_) PlaceFilterEditor(true);
}

void TCustomDBGridEx::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  // the base grid moves its own cell editor only
  FollowFilterCell();
}

void TCustomDBGridEx::FollowFilterCell() {
  // the filter editor stands over its cell where that is now, and hides while the cell is out of
  // view, keeping what was typed (a layout places it once it is through)
  if (!filterEditorShown_ || layoutRunning_ || !HandleAllocated() || ComponentState().Contains(csDestroying))
    return;
  PlaceFilterEditor(true);
}

void TCustomDBGridEx::ScrollFilterCellIntoView() {
  if (!FilterEditorMayShow() || !HandleAllocated()) return;
  const bool focused = Focused();
  // the first column moves as far as the cell needs (the filter row is a title row, which does not
  // scroll): the editor follows it there
  ClampInView({DataToRawColumn(filterColumn_), 0});
  // the focus the grid held for the hidden editor goes back to it, not to an always shown cell
  // editor that came back into view on the way and took it
  if (focused && filterEditor_->Visible() && !filterEditor_->Focused() && filterEditor_->CanFocus())
    filterEditor_->SetFocus();
}

// ---------------------------------------------------------------- memory-table mode

void TCustomDBGridEx::UpdateMemTableRows() {
  assert(memTable_);
  SetRowCount(titleOffset_ + std::max(1, memTable_->MemTableRecordCount()));
  MemTableScrolled();
}

void TCustomDBGridEx::MemTableScrolled() {
  if (!memTable_ || !HandleAllocated()) return;
  const int target = std::min(RowCount() - 1, titleOffset_ + std::max(0, memTable_->MemTableRecordIndex()));
  if (target != Row()) {
    Invalidate();
    int col = Col();
    if (col < FixedCols()) col = std::min(ColCount() - 1, FixedCols());
    MoveColRow(col, target, true, true);
    UpdateEditorState();
  }
  // rows in view past those fetched ask for more
  const int fetched = memTable_->MemTableRecordCount();
  const int lastShown = TopRow() + VisibleRowCount() - 1 - titleOffset_;
  const int missing = lastShown + 1 - fetched;
  if (missing > 0)
    memTable_->MemTableFetchRecords(missing + 1);
  else if (missing == 0)
    memTable_->MemTableFetchRecords(1);
  UpdateVertScrollBar();
}

void TCustomDBGridEx::MemTableScrollMessage(int Code, int Pos) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const int fixed = FixedRows();
  const int lastTop = CalcMaxTopLeft({ColCount() - 1, RowCount() - 1}, info).Y;
  const int page = std::max(1, info.Vert.LastFullVisibleCell - TopRow() + 1);
  int top = TopRow();
  switch (Code) {
    case SB_LINEUP:
      --top;
      break;
    case SB_LINEDOWN:
      ++top;
      break;
    case SB_PAGEUP:
      top -= page;
      break;
    case SB_PAGEDOWN:
      top += page;
      break;
    case SB_THUMBTRACK:
      if (!vertScrollBar_->Tracking()) return;
      top = fixed + Pos - 1;
      break;
    case SB_THUMBPOSITION:
      top = fixed + Pos - 1;
      break;
    case SB_TOP:
      top = fixed;
      break;
    case SB_BOTTOM:
      top = RowCount() - 1;
      break;
    default:
      return;
  }
  SetTopRow(std::clamp(top, fixed, std::max(fixed, lastTop)));
  UpdateVertScrollBar();
}
