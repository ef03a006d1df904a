#include "grid/DBGridEx.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "grid/DBGridExFilterEdit.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

// The base grid's options that follow the grid's own.
struct OptionMap {
  TDBGridOption From;
  TGridOptions To;
};
const OptionMap kOptionMap[] = {{dgColLines, {goFixedVertLine, goVertLine}},
                                {dgRowLines, {goFixedHorzLine, goHorzLine}},
                                {dgColumnResize, {goColSizing, goColMoving}},
                                {dgTabs, {goTabs}},
                                {dgEditing, {goEditing}},
                                {dgAlwaysShowEditor, {goAlwaysShowEditor}}};

// The options whose change needs a layout pass.
const TDBGridOptions kLayoutOptions{dgEditing,  dgAlwaysShowEditor, dgTitles,    dgIndicator,
                                    dgColLines, dgRowLines,         dgRowSelect, dgAlwaysShowSelection};

std::string NormalizeLineBreaks(const std::string& S) {
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == '\r') {
      out += "\r\n";
      if (i + 1 < S.size() && S[i + 1] == '\n') ++i;
    } else if (S[i] == '\n') {
      out += "\r\n";
    } else {
      out += S[i];
    }
  }
  return out;
}

bool AllKeyFieldsReadOnly(TField* F) {
  try {
    for (TField* k : GetFieldsArray(F->DataSet(), F->KeyFields()))
      if (!k->ReadOnly()) return false;
  } catch (const Exception&) {
  }
  return true;
}

int ScaleSize(int Size, int M, int D) {
  return MulDiv(Size, M, D);
}

}  // namespace

// ---------------------------------------------------------------- construction

TCustomDBGridEx::TCustomDBGridEx(TComponent* AOwner) : TCustomGrid(AOwner) {
  keepRowPictures_ = true;
  InitGridUnit();
  AcquireSharedDrawBitmap();
  style_ = DefaultGridStyle();
  if (style_) style_->AddGrid(this);
  acquireFocus_ = true;
  titleOffset_ = options_.Contains(dgTitles) ? 1 : 0;
  indicatorOffset_ = 1;
  SetDesignOptionsBoost({goColSizing});
  SetVirtualView(true);
  SetScrollBars(ssHorizontal);
  TCustomGrid::SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goColMoving,
                           goEditing, goTabs});
  columnDefValues_ = CreateColumnDefValues();
  columns_ = CreateColumns();
  SetRowCount(2);
  SetColCount(2);
  dataLink_ = std::make_unique<TGridDataLinkEx>(this);
  SetColor(clWindow);
  SetParentColor(false);
  titleFont_ = std::make_unique<TFont>();
  titleFont_->Assign(Font());
  titleFont_->OnChange = [this](TObject* s) { TitleFontChanged(s); };
  SetSaveCellExtents(false);
  selectedRows_ = std::make_unique<TBookmarkListEx>(this);
  sumList_ = std::make_unique<TDBGridExSumList>(this);
  sumList_->OnRecalcAll = [this](TObject* s) { InvokeEvent(OnSumListRecalcAll, s); };
  sumList_->OnAfterRecalcAll = [this](TObject* s) { InvokeEvent(OnSumListAfterRecalcAll, s); };
  sumList_->SumListChanged = [this](TObject*) { InvalidateFooter(); };
  horzScrollBar_ = CreateScrollBar(false);
  vertScrollBar_ = CreateScrollBar(true);
  selection_ = std::make_unique<TDBGridExSelection>(this);
  footerFont_ = std::make_unique<TFont>();
  footerFont_->Assign(Font());
  footerFont_->OnChange = [this](TObject* s) { FooterFontChanged(s); };
  colCellParams_ = std::make_unique<TColCellParamsEx>();
  stFilter_ = std::make_unique<TSTDBGridExFilter>(this);
  titleImagesLink_ = std::make_unique<TChangeLink>();
  titleImagesLink_->OnChange = [this](TObject*) { Invalidate(); };
  SetTabStop(true);
}

TCustomDBGridEx::~TCustomDBGridEx() {
  Destroying();
  memTable_ = nullptr;
  memTableDataSet_ = nullptr;
  if (style_) style_->RemoveGrid(this);
  style_ = nullptr;
  dataLink_->SetDataSource(nullptr);
  HideEditor();
  colCellParams_.reset();
  columns_.reset();  // the footers give their items back to the sum list, which is still here
  columnDefValues_.reset();
  dataLink_.reset();
  if (titleImages_) titleImages_->UnRegisterChanges(titleImagesLink_.get());
  ReleaseSharedDrawBitmap();
}

void TCustomDBGridEx::RecreateColumnParts() {
  editColumn_ = nullptr;
  columns_.reset();
  columnDefValues_ = CreateColumnDefValues();
  columns_ = CreateColumns();
}

std::unique_ptr<TDBGridExColumnDefValuesEx> TCustomDBGridEx::CreateColumnDefValues() {
  return std::make_unique<TDBGridExColumnDefValuesEx>(this);
}

std::unique_ptr<TDBGridColumnsEx> TCustomDBGridEx::CreateColumns() {
  return std::make_unique<TDBGridColumnsEx>(this, CollectionItemClass<TDBGridColumnEx>);
}

// ---------------------------------------------------------------- properties

void TCustomDBGridEx::SetOptions(TDBGridOptions Value) {
  if (Value == options_) return;
  TGridOptions base;
  if (rowSizingAllowed_) base.Include(goRowSizing);
  for (const OptionMap& m : kOptionMap)
    if (Value.Contains(m.From)) base += m.To;
  if (Value.Contains(dgRowSelect)) {
    base.Include(goRowSelect);
    Value.Exclude(dgEditing).Exclude(dgAlwaysShowEditor);
    base.Exclude(goEditing).Exclude(goAlwaysShowEditor);
  }
  TCustomGrid::SetOptions(base);
  if (options_.Contains(dgMultiSelect) && !Value.Contains(dgMultiSelect)) ClearSelection();
  const TDBGridOptions changed = (options_ - Value) + (Value - options_);
  options_ = Value;
  if (!(changed * kLayoutOptions).Empty()) LayoutChanged();
  if (EditorMode()) UpdateEditorState();
}

void TCustomDBGridEx::SetOptionsEx(TDBGridExOptions Value) {
  if (optionsEx_.Contains(dghMultiSortMarking) && !Value.Contains(dghMultiSortMarking)) {
    optionsEx_ = Value;
    // every sort-marked column but the first loses its marker
    TColumnsExList marked = sortMarkedColumns_;
    for (size_t i = 1; i < marked.size(); ++i) marked[i]->Title()->SetSortMarker(smNoneEx);
  }
  optionsEx_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetAutoFitColWidths(bool Value) {
  if (autoFitColWidths_ == Value) return;
  autoFitColWidths_ = Value;
  if (ComponentState().Contains(csLoading)) return;
  columns_->BeginUpdate();
  {
    TScopeExit end([this] { columns_->EndUpdate(); });
    for (int i = 0; i < columns_->Count(); ++i) {
      TColumnEx* c = columns_->Items(i);
      if (Value) {
        c->SetInitWidth(c->Width());
      } else {
        c->SetWidth(c->InitWidth());
      }
    }
  }
  SetScrollBars(Value ? ssNone : ssHorizontal);
  LayoutChanged();
}

void TCustomDBGridEx::SetDrawMemoText(bool Value) {
  drawMemoText_ = Value;
  Invalidate();
}

void TCustomDBGridEx::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  if (HandleAllocated()) RecreateWnd();
  LayoutChanged();
}

void TCustomDBGridEx::SetFooterColor(TColor Value) {
  if (!ComponentState().Contains(csLoading)) SetParentColor(false);
  footerColor_ = Value;
  if (footerRowCount_ >= 1) Invalidate();
}

void TCustomDBGridEx::SetFooterRowCount(int Value) {
  if (Value == footerRowCount_ || Value < 0) return;
  footerRowCount_ = Value;
  CheckMemTable();
  LayoutChanged();
}

void TCustomDBGridEx::SetFrozenCols(int Value) {
  if (Value == frozenCols_ || Value < 0) return;
  frozenCols_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetMinAutoFitWidth(int Value) {
  minAutoFitWidth_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  Invalidate();
}

void TCustomDBGridEx::SetRowHeight(int Value) {
  if (Value == rowHeight_) return;
  rowHeight_ = std::max(Value, 0);
  LayoutChanged();
}

void TCustomDBGridEx::SetRowLines(int Value) {
  if (Value == rowLines_) return;
  rowLines_ = std::max(Value, 0);
  LayoutChanged();
}

void TCustomDBGridEx::SetRowSizingAllowed(bool Value) {
  if (rowSizingAllowed_ == Value) return;
  rowSizingAllowed_ = Value;
  TGridOptions base = TCustomGrid::Options();
  if (Value) {
    base.Include(goRowSizing);
  } else {
    base.Exclude(goRowSizing);
  }
  TCustomGrid::SetOptions(base);
}

void TCustomDBGridEx::SetTitleHeight(int Value) {
  titleHeight_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetTitleLines(int Value) {
  titleLines_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetTitleImages(TCustomImageList* Value) {
  if (titleImages_ == Value) return;
  if (titleImages_) titleImages_->UnRegisterChanges(titleImagesLink_.get());
  titleImages_ = Value;
  if (titleImages_) {
    titleImages_->RegisterChanges(titleImagesLink_.get());
    titleImages_->FreeNotification(this);
  }
  LayoutChanged();
}

void TCustomDBGridEx::SetUseMultiTitle(bool Value) {
  useMultiTitle_ = Value;
  LayoutChanged();  // also when unchanged
}

void TCustomDBGridEx::SetVTitleMargin(int Value) {
  vTitleMargin_ = Value;
  LayoutChanged();
}

void TCustomDBGridEx::SetStyle(TDBGridExStyle* Value) {
  if (!Value) Value = DefaultGridStyle();
  if (style_ != Value) {
    if (style_) style_->RemoveGrid(this);
    style_ = Value;
    if (style_) style_->AddGrid(this);
  }
  if (!ComponentState().Contains(csDestroying)) LayoutChanged();
}

void TCustomDBGridEx::TitleFontChanged(TObject* /*Sender*/) {
  if (!ComponentState().Contains(csLoading)) SetParentFont(false);
  for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->Title()->RefreshDefaultFont();
  if (TitlesShown()) LayoutChanged();
}

void TCustomDBGridEx::FooterFontChanged(TObject* /*Sender*/) {
  if (!ComponentState().Contains(csLoading)) SetParentFont(false);
  if (footerRowCount_ >= 1) LayoutChanged();
}

void TCustomDBGridEx::FontChanged() {
  TCustomGrid::FontChanged();
  if (ParentFont()) {
    if (titleFont_) {
      titleFont_->OnChange = nullptr;
      titleFont_->Assign(Font());
      titleFont_->OnChange = [this](TObject* s) { TitleFontChanged(s); };
    }
    if (footerFont_) {
      footerFont_->OnChange = nullptr;
      footerFont_->Assign(Font());
      footerFont_->OnChange = [this](TObject* s) { FooterFontChanged(s); };
    }
  }
  if (columns_) LayoutChanged();
}

TColor TCustomDBGridEx::LightenColor(TColor Color, int F) {
  const COLORREF c = ColorToRGB(Color);
  auto up = [F](int v) {
    return std::min(255, v + static_cast<int>(std::lround(static_cast<double>(v) / F)));
  };
  return static_cast<TColor>(RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c))));
}

// ---------------------------------------------------------------- the data source

void TCustomDBGridEx::SetDataSource(TDataSource* Value) {
  if (Value == dataLink_->DataSource()) return;
  ClearSelection();
  dataLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  LinkActive(dataLink_->Active());
  sumList_->SetDataSet(Value ? Value->DataSet() : nullptr);
}

void TCustomDBGridEx::CheckMemTable() {
  IMemTableEx* found = nullptr;
  TDataSet* ds = dataLink_ ? dataLink_->DataSet() : nullptr;
  // the rows of an open dataset only
  if (memTableMode_ && ds && dataLink_->Active() && footerRowCount_ == 0)
    found = dynamic_cast<IMemTableEx*>(ds);
  if (found == memTable_) return;
  memTable_ = found;
  memTableDataSet_ = found ? ds : nullptr;
  if (found) ds->FreeNotification(this);
  LayoutChanged();
}

void TCustomDBGridEx::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGrid::Notification(AComponent, Operation);
  if (Operation != opRemove || !columns_) return;
  // by now the component is only a TComponent (its own destructors ran): it is known by its address
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEx* c = columns_->Items(i);
    if (c->PopupMenu() == AComponent) c->SetPopupMenu(nullptr);
    if (c->ImageList() == AComponent) c->SetImageList(nullptr);
    if (c->DropDownBox()->ListSource() == AComponent) c->DropDownBox()->SetListSource(nullptr);
  }
  if (titleImages_ == AComponent) {
    titleImages_ = nullptr;
    LayoutChanged();
  }
  if (filterEditor_ == AComponent) {
    filterEditor_ = nullptr;
    filterEditorShown_ = false;
  }
  if (dataLink_ && DataSource() == AComponent) SetDataSource(nullptr);
  for (TDBGridExScrollBar* bar : {horzScrollBar_.get(), vertScrollBar_.get()})
    if (bar && bar->ExtScrollBar() == AComponent) bar->ExtScrollBarFreed();
  if (dataLink_ && IsCachedField(AComponent)) {
    // a field goes: no column may keep it, and the grid lays out again (now or later)
    ++updateLock_;
    columns_->BeginUpdate();
    ++layoutLock_;
    for (int i = 0; i < columns_->Count(); ++i)
      if (columns_->Items(i)->CachedField() == AComponent) columns_->Items(i)->ResetField();
    TDataSet* ds = dataLink_->DataSet();
    if (ds && !ds->ControlsDisabled() && !ds->ComponentState().Contains(csDestroying)) {
      EndLayout();
    } else {
      DeferLayout();
    }
  }
  if (memTable_ && memTableDataSet_ == AComponent) {
    memTable_ = nullptr;
    memTableDataSet_ = nullptr;
    LayoutChanged();
  }
}

// ---------------------------------------------------------------- the layout batch

bool TCustomDBGridEx::BeginLayout() {
  if (updateLock_ != 0 || layoutLock_ != 0) return false;
  if (layoutHeld_ > 0) {
    layoutOwed_ = true;
    return false;
  }
  ++updateLock_;
  columns_->BeginUpdate();
  ++layoutLock_;
  return true;
}

void TCustomDBGridEx::ClearLayoutLocks() {
  if (layoutLock_ == 1) columns_->EndUpdate();
  if (layoutLock_ > 0) --layoutLock_;
  EndUpdateLayout();
}

void TCustomDBGridEx::EndUpdateLayout() {
  if (updateLock_ > 0) --updateLock_;
  if (layoutOwed_ && updateLock_ == 0 && layoutLock_ == 0) {
    layoutOwed_ = false;
    PostDeferredLayout();
  }
}

void TCustomDBGridEx::PostDeferredLayout() {
  if (!HandleAllocated()) return;
  MSG m;
  if (!PeekMessage(m, Handle(), WM_DEFERLAYOUT, WM_DEFERLAYOUT, PM_NOREMOVE))
    PostMessage(Handle(), WM_DEFERLAYOUT, 0, 0);
}

void TCustomDBGridEx::DeferredLayoutArrived() {
  if (BeginLayout()) {
    EndLayout();
    return;
  }
  // a batch is running: the request comes again once the grid is unlocked
  layoutOwed_ = true;
}

void TCustomDBGridEx::EndLayout() {
  if (layoutLock_ == 0) return;
  // whatever the pass does, the locks are given back, so the grid lays out again next time
  TScopeExit done([this] {
    layoutRunning_ = false;
    ClearLayoutLocks();
  });
  if (layoutLock_ == 1) InternalLayoutPass();
}

void TCustomDBGridEx::CancelLayout() {
  if (layoutLock_ == 0) return;
  ClearLayoutLocks();
}

void TCustomDBGridEx::DeferLayout() {
  PostDeferredLayout();
  CancelLayout();
  EndUpdateLayout();
}

void TCustomDBGridEx::LayoutChanged() {
  if (BeginLayout()) EndLayout();
}

void TCustomDBGridEx::EndLayoutPass() {
  if (layoutRunning_ || GridState() != gsNormal) return;
  if (BeginLayout()) EndLayout();
}

void TCustomDBGridEx::InternalLayout() {
  RebuildSortMarkedColumns();
  LayoutChanged();
}

void TCustomDBGridEx::LinkLayoutChanged() {
  inLinkLayout_ = true;
  const bool saved = layoutFromDataSet_;
  layoutFromDataSet_ = true;
  TScopeExit restore([this, saved] {
    layoutFromDataSet_ = saved;
    inLinkLayout_ = false;
  });
  LayoutChanged();
}

// ---------------------------------------------------------------- window and loading

void TCustomDBGridEx::CreateWnd() {
  ++updateLock_;
  {
    TScopeExit end([this] { EndUpdateLayout(); });
    TCustomGrid::CreateWnd();
  }
  cellButtonWidth_ = flat_ ? GetDefaultFlatButtonWidth() + 1 : GetSystemMetrics(SM_CXVSCROLL);
  shortRowButtonWidth_ = DefaultRowHeight() > static_cast<int>(std::lround(cellButtonWidth_ * 1.5))
                             ? cellButtonWidth_
                             : DefaultRowHeight();
  if (!autoFitColWidths_) {
    UpdateRowCount();
    RecordChanged();
  } else {
    LayoutChanged();
  }
  UpdateVertScrollBar();
}

void TCustomDBGridEx::CreateParams(TCreateParams& Params) {
  TCustomGrid::CreateParams(Params);
  if (flat_ && Ctl3D()) {
    Params.Style &= ~WS_BORDER;
    Params.ExStyle &= ~WS_EX_CLIENTEDGE;
  }
}

bool TCustomDBGridEx::FlatBorderShown() {
  return flat_ && Ctl3D() && BorderStyle() == bsSingle;
}

void TCustomDBGridEx::PaintFlatBorder() {
  HDC dc = GetWindowDC(Handle());
  if (!dc) return;
  TScopeExit release([&] { ReleaseDC(Handle(), dc); });
  RECT r;
  GetWindowRect(Handle(), r);
  OffsetRect(r, -r.Left, -r.Top);
  DrawEdge(dc, r, BDR_SUNKENINNER, BF_RECT);
}

void TCustomDBGridEx::Loaded() {
  TCustomGrid::Loaded();
  if (columns_->Count() > 0) SetColCount(columns_->Count());
  if (autoFitColWidths_ && !ComponentState().Contains(csDesigning)) {
    columns_->BeginUpdate();
    TScopeExit end([this] { columns_->EndUpdate(); });
    for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->SetInitWidth(columns_->Items(i)->Width());
    SetScrollBars(ssNone);
  }
  UpdateHorzScrollBar();
  if (DataSource() && sumList_->Active() && sumList_->DataSet()) sumList_->Loaded();
  RebuildSortMarkedColumns();
  LayoutChanged();
  DeferLayout();
}

void TCustomDBGridEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DEFERLAYOUT:
      DeferredLayoutArrived();
      return;
    case WM_NCCALCSIZE:
      TCustomGrid::Dispatch(Message);
      if (Message.LParam && FlatBorderShown())
        InflateRect(reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0], -1, -1);
      return;
    case WM_NCPAINT:
      TCustomGrid::Dispatch(Message);
      if (FlatBorderShown()) PaintFlatBorder();
      return;
    case CM_CTL3DCHANGED:
      TCustomGrid::Dispatch(Message);
      if (flat_ && HandleAllocated()) RecreateWnd();  // the frame is the window's own again, or not
      return;
    case CM_PARENTCOLORCHANGED:
      TCustomGrid::Dispatch(Message);
      if (ParentColor()) {
        footerColor_ = Color();
        Invalidate();
      }
      return;
    case WM_TIMER:
      if (Message.WParam == kAutoScrollTimerId) {
        // the base grid's own selection timer has the same number: this grid selects by itself
        AutoScrollTick();
        return;
      }
      if (Message.WParam == kIncSearchTimerId) {
        StopIncSearch();
        return;
      }
      break;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      CancelMouseMode();
      break;
    case WM_CAPTURECHANGED:
      // another window took the mouse (a list dropped down): the moves and the release of the grid's
      // gesture go there, and the gesture is over
      if (HandleAllocated() && Message.LParam && reinterpret_cast<HWND>(Message.LParam) != Handle())
        CancelMouseMode();
      break;
    case WM_MOUSEWHEEL:
    case CM_MOUSEWHEEL:
      if (WheelToEditors(Message)) return;
      break;
    case WM_RBUTTONDOWN:
      // a press on a filter cell edits that cell
      if (PressOnFilterCell(Message.Msg, Message.WParam, Message.LParam)) return;
      break;
    case WM_SETFOCUS:
      TCustomGrid::Dispatch(Message);
      FocusLookChanged(Handle());
      // the filter cell's editing goes on where the user left it
      if (filterEditing_ && filterEditorShown_ && filterEditor_ && !filterEditor_->Focused())
        PlaceFilterEditor(true);
      return;
    case WM_COMMAND:
      // the edit's own change handling (reflected to it), then the filter cell's text kept as typed
      TCustomGrid::Dispatch(Message);
      if (HIWORD(Message.WParam) == EN_CHANGE && filterEditor_ && filterEditor_->HandleAllocated() &&
          reinterpret_cast<HWND>(Message.LParam) == filterEditor_->Handle() && filterEditorShown_ &&
          !loadingFilterEditor_ && filterColumn_ >= 0 && filterColumn_ < columns_->Count() &&
          filterEditor_->Text() != columns_->Items(filterColumn_)->STFilter()->FilterText()) {
        try {
          StoreFilterText();
        } catch (const EAbort&) {
          throw;
        } catch (const Exception&) {
          // a condition typed halfway does not read yet: applying the filter tells what is wrong
        }
      }
      return;
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) == HTCLIENT && HandleAllocated()) {
        POINT p;
        ::GetCursorPos(p);
        ::ScreenToClient(Handle(), p);
        if (SetGridCursor(p.X, p.Y)) {
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // a press on a filter cell edits that cell
      if (Message.Msg == WM_LBUTTONDOWN && PressOnFilterCell(Message.Msg, Message.WParam, Message.LParam))
        return;
      if (options_.Contains(dgMultiSelect) && DragMode() == dmAutomatic) {
        // the press is the grid's: inside the selection it waits to become a drag (MouseMove)
        SetDragMode(dmManual);
        autoDragPress_ = true;
        TScopeExit automatic([this] {
          autoDragPress_ = false;
          SetDragMode(dmAutomatic);
        });
        TCustomGrid::Dispatch(Message);
        return;
      }
      break;
    case CM_HINTSHOW:
      if (ShowCellHint(*reinterpret_cast<THintInfo*>(Message.LParam))) {
        Message.Result = 0;
        return;
      }
      break;
    case CM_HINTSHOWPAUSE:
      HintShowPause(*reinterpret_cast<int*>(Message.LParam));
      return;
    case WM_GETDLGCODE:
      TCustomGrid::Dispatch(Message);
      if (optionsEx_.Contains(dghPreferIncSearch)) Message.Result |= DLGC_WANTCHARS;
      return;
    case WM_KILLFOCUS:
      TCustomGrid::Dispatch(Message);
      FocusLookChanged(reinterpret_cast<HWND>(Message.WParam));
      if (sortMarkingPending_) {
        sortMarkingPending_ = false;
        DoSortMarkingChanged();
      }
      return;
    case WM_SYSCOLORCHANGE:
    case CM_SYSCOLORCHANGE:
      ClearButtonsBitmapCache();  // the faces were painted in the old colours
      break;
    case WM_RBUTTONUP: {
      const TComponentRef<TCustomDBGridEx> alive(this);
      TCustomGrid::Dispatch(Message);
      // (the grid's menu ran its own loop: the form may have been freed meanwhile)
      if (!alive) return;
      // the column's own menu, when it has one that pops up by itself
      const TGridCoord cell = MouseCoord(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      TColumnEx* c = ColumnOfRaw(cell.X);
      if (c && cell.Y >= 0 && c->PopupMenu() && c->PopupMenu()->AutoPopup()) {
        SendCancelMode(this);
        c->PopupMenu()->SetPopupComponent(this);
        POINT p = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        ::ClientToScreen(Handle(), p);
        c->PopupMenu()->Popup(p.X, p.Y);
        Message.Result = 1;
      }
      return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (Message.LParam == 0) {
        const TWMScroll scroll(Message);
        int pos = scroll.Pos();
        if (scroll.ScrollCode() == SB_THUMBPOSITION || scroll.ScrollCode() == SB_THUMBTRACK) {
          // the whole 32-bit position: the message carries only 16 bits of it
          SCROLLINFO si;
          si.fMask = SIF_TRACKPOS;
          if (::GetScrollInfo(Handle(), Message.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, si) &&
              (si.nTrackPos & 0xFFFF) == (pos & 0xFFFF))
            pos = si.nTrackPos;
        }
        if (Message.Msg == WM_VSCROLL)
          VertScrollMessage(scroll.ScrollCode(), pos);
        else
          HorzScrollMessage(scroll.ScrollCode(), pos);
        return;
      }
      break;
    case WM_SIZE:
      // the client area changed (a scroll bar came or went): as many data rows as now fit, and
      // auto-fitted columns fitted to the new width; the filter editor over what shows of its cell
      TCustomGrid::Dispatch(Message);
      if (!layoutRunning_ && layoutLock_ == 0) {
        if (autoFitColWidths_ && !ComponentState().Contains(csDesigning))
          LayoutChanged();
        else
          UpdateRowCount();
        FollowFilterCell();
      }
      return;
    default:
      break;
  }
  TCustomGrid::Dispatch(Message);
}

// ---------------------------------------------------------------- columns and focus

bool TCustomDBGridEx::IsCachedField(const TComponent* AComponent) const {
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->CachedField() == AComponent) return true;
  return false;
}

TColumnEx* TCustomDBGridEx::ColumnOfRaw(int RawCol) const {
  const int i = RawCol - indicatorOffset_;
  return i >= 0 && i < columns_->Count() ? columns_->Items(i) : nullptr;
}

TColumnEx* TCustomDBGridEx::FocusedColumn() {
  return ColumnOfRaw(Col());
}

int TCustomDBGridEx::GetSelectedIndex() const {
  return Col() - indicatorOffset_;
}

void TCustomDBGridEx::SetSelectedIndexEx(int Value) {
  const int raw = Value + indicatorOffset_;
  if (raw >= 0 && raw < ColCount() && raw >= FixedCols()) MoveColRow(raw, Row(), true, true);
}

TField* TCustomDBGridEx::GetSelectedField() {
  TColumnEx* c = FocusedColumn();
  return c ? c->Field() : nullptr;
}

void TCustomDBGridEx::SetSelectedField(TField* Value) {
  if (!Value) return;
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->Field() == Value) {
      SetSelectedIndexEx(i);
      return;
    }
}

bool TCustomDBGridEx::ContainsFocus() {
  if (TCustomForm* form = GetParentForm(this)) return form->ActiveControl() == this;
  HWND focus = GetFocus();
  return HandleAllocated() && focus && (focus == Handle() || IsChild(Handle(), focus));
}

bool TCustomDBGridEx::HasFocus() {
  if (!HandleAllocated()) return false;
  HWND focus = GetFocus();
  return focus && (focus == Handle() || (InplaceEditor() && InplaceEditor()->HandleAllocated() &&
                                         focus == InplaceEditor()->Handle()));
}

bool TCustomDBGridEx::AcquireFocus() {
  bool result = true;
  if (acquireFocus_ && CanFocus() && !ComponentState().Contains(csDesigning)) {
    SetFocus();
    result = HasFocus();
    // an MDI child that is not active yet: the window system gives the focus directly
    if (!result && Screen && Screen->ActiveForm() && Screen->ActiveForm()->FormStyle() == fsMDIChild) {
      ::SetFocus(Handle());
      result = HasFocus();
    }
  }
  // filter editing keeps the focus in the filter row's editor
  if (!result && filterEditor_ && filterEditor_->Focused()) result = true;
  return result;
}

bool TCustomDBGridEx::HighlightDataCell(int ACol, int ARow, TGridDrawState State, TColor& AColor,
                                        TFont* AFont, bool InSelection) {
  THighlightDataCellState s;
  s.InSelection = InSelection;
  s.StateSelected = State.Contains(gdSelected);
  s.HighlightFocusOption = optionsEx_.Contains(dghHighlightFocus);
  s.GridWindowFocused = HandleAllocated() && GetFocus() == Handle();
  s.RowHighlightOption = optionsEx_.Contains(dghRowHighlight);
  s.InCurrentRow = ARow == Row();
  s.InCurrentColumn = ACol == Col();
  s.RowSelect = options_.Contains(dgRowSelect);
  s.AlwaysShowSelection = options_.Contains(dgAlwaysShowSelection);
  s.EditorMode = EditorMode();
  s.HasFocus = HasFocus();
  TColor font = AFont->Color();
  const bool lit = style_ ? style_->HighlightDataCell(s, AColor, font)
                          : HighlightDataCellDecision(s, false, false, AColor, font);
  if (font != AFont->Color()) AFont->SetColor(font);
  return lit;
}

bool TCustomDBGridEx::HighlightNoDataCell(int HorzKind, int VertKind, bool Selected, TColor& AColor,
                                          TFont* AFont) {
  TColor font = AFont->Color();
  const bool lit =
      style_
          ? style_->HighlightNoDataCell(HorzKind, VertKind, Selected, HasFocus(), AColor, font)
          : HighlightNoDataCellDecision(HorzKind, VertKind, Selected, HasFocus(), false, false, AColor, font);
  if (font != AFont->Color()) AFont->SetColor(font);
  return lit;
}

bool TCustomDBGridEx::FocusedRowHighlighted() {
  return options_.Contains(dgRowSelect) && HasFocus();
}

void TCustomDBGridEx::ColEnter() {
  InvokeEvent(OnColEnter, this);
}

void TCustomDBGridEx::ColExit() {
  InvokeEvent(OnColExit, this);
}

void TCustomDBGridEx::ClearSelection() {
  if (!selection_) return;  // not built yet
  if (options_.Contains(dgMultiSelect) && optionsEx_.Contains(dghClearSelection)) selectedRows_->Clear();
  multiSelectAnchorSet_ = false;
  if (selection_->SelectionType() != gstNon && optionsEx_.Contains(dghClearSelection)) {
    selection_->Clear();
    InvalidateGrid();
    UpdateEditorState();
  }
}

void TCustomDBGridEx::SelectColumn(int RawCol, int Direction, bool Select) {
  // with Select the rectangle grows from the focused cell (where one starts unless it exists)
  const bool rect = Select && CanSelectType(gstRectangle) && dataLink_->Active();
  if (rect && selection_->SelectionType() != gstRectangle)
    selection_->Rect()->Select(GetSelectedIndex(), dataLink_->DataSet()->Bookmark(), false);
  MoveToColumn(RawCol, Direction);
  if (rect && dataLink_->Active())
    selection_->Rect()->Select(GetSelectedIndex(), dataLink_->DataSet()->Bookmark(), true);
}

void TCustomDBGridEx::MoveToColumn(int RawCol, int Direction) {
  dataLink_->UpdateData();
  const int first = indicatorOffset_, last = ColCount() - 1;
  RawCol = std::clamp(RawCol, first, std::max(first, last));
  if (Direction != 0) {
    while (RawCol >= first && RawCol <= last && ColWidths(RawCol) <= 0) RawCol += Direction;
    if (RawCol < first || RawCol > last) return;
  }
  if (RawCol == Col()) return;
  if (!inColExit_) {
    inColExit_ = true;
    TScopeExit done([this] { inColExit_ = false; });
    const int before = Col();
    ColExit();
    if (Col() != before) return;
  }
  if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
  if (!options_.Contains(dgRowSelect)) MoveColRow(RawCol, Row(), true, true);
  TColumnEx* c = ColumnOfRaw(RawCol);
  if (c && c->GetColumnType() != ctKeyImageList && c->GetColumnType() != ctCheckboxes &&
      options_.Contains(dgAlwaysShowEditor))
    ShowEditor();
  ColEnter();
}

void TCustomDBGridEx::ShowEditor() {
  if (filterEditorShown_) HideFilterEditor();
  TCustomGrid::ShowEditor();
}

void TCustomDBGridEx::UpdateEditorState() {
  if (EditorMode()) {
    if (CanEditShow()) {
      InvalidateEditor();
    } else {
      HideEditor();
    }
  } else {
    // not while the filter row is edited, from wherever this runs (a column's destructor among them)
    const bool show = EditorMayComeBack();
    if (!CanEditShow()) {
      // an editor the grid showed on its own goes from a cell it cannot edit now (another column's
      // moved under it, say)
      HideEdit();
    } else if (EditorShown()) {
      // an editor the grid showed on its own (always shown, beside the filter editor too) may hold
      // the text of a record or a column changed since: it shows what its cell holds now
      InvalidateEditor();
      if (show) ShowEditor();
    } else if (show) {
      ShowEditor();
    }
  }
  // the filter editor as well: hidden over a cell it cannot edit now (a selection stands, its filter
  // cell hid), back with the text it holds once it can
  if (filterEditorShown_ && HandleAllocated()) PlaceFilterEditor(true);
}

void TCustomDBGridEx::UpdateTabStops() {
  const bool active = dataLink_->Active();
  for (int i = 0; i < columns_->Count(); ++i) {
    const int raw = DataToRawColumn(i);
    if (raw >= ColCount()) break;
    TColumnEx* c = columns_->Items(i);
    TField* f = active ? c->Field() : nullptr;
    const bool stop = c->Visible() && !c->ReadOnly() && active && f && f->FieldKind() != fkCalculated &&
                      !(f->Lookup() && AllKeyFieldsReadOnly(f));
    SetTabStops(raw, stop);
    SetColWidths(raw, c->Visible() ? c->Width() : (options_.Contains(dgColLines) ? -1 : 0));
  }
  if (options_.Contains(dgIndicator) && ColCount() > 0) SetColWidths(0, kIndicatorWidth);
}

bool TCustomDBGridEx::AllowedOperationsCheck() {
  return CanEditCurrentRecord();
}

// ---------------------------------------------------------------- the data link's calls

void TCustomDBGridEx::LinkActive(bool Value) {
  if (!Value) HideEditor();
  selection_->LinkActive(Value);
  sumList_->SetDataSet(DataSource() ? DataSource()->DataSet() : nullptr);
  // a closing dataset's memory table is dropped before the layout: a dataset may close from its own
  // destructor, when its memory-table part is gone already
  if (!Value) CheckMemTable();
  LayoutChanged();
  if (Value && EditorMayComeBack()) ShowEditor();
  UpdateVertScrollBar();
  CheckMemTable();
}

void TCustomDBGridEx::DataChanged() {
  if (!HandleAllocated() || inSumRecalc_) return;
  UpdateRowCount();
  UpdateVertScrollBar();
  RecordChanged();
  UpdateEditorState();
  // records read again: only the rows that show something else are painted
  InvalidateChangedRows();
}

void TCustomDBGridEx::EditingChanged() {
  if (options_.Contains(dgIndicator)) InvalidateCell(0, Row());
}

void TCustomDBGridEx::RecordChanged() {
  if (!dataLink_->Active() || !HandleAllocated() || ComponentState().Contains(csLoading)) return;
  if (memTable_) {
    MemTableScrolled();
  } else if (const int target = dataLink_->ActiveRecord() + titleOffset_;
             target != Row() && target < RowCount()) {
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    MoveColRow(Col(), target, false, false);
    UpdateEditorState();
  }
  // (a memory table's record may change with its row staying: an insert given up, the last rows
  // fetched) the field's text matters only to an editor that shows (or shows whenever it can)
  if (!EditorMode() && !options_.Contains(dgAlwaysShowEditor)) return;
  TField* f = GetSelectedField();
  if (f && f->Text() != editText_) UpdateEditorState();
}

void TCustomDBGridEx::RecordChanged(TField* Field) {
  if (!HandleAllocated()) return;
  if (Field) {
    for (int i = 0; i < columns_->Count(); ++i)
      if (columns_->Items(i)->CachedField() == Field) InvalidateCell(DataToRawColumn(i), Row());
  } else {
    Invalidate();
  }
  TField* selected = GetSelectedField();
  if ((!Field || Field == selected) && selected) {
    TColumnEx* c = FocusedColumn();
    std::string text;
    if (selected->DataType() == ftMemo && drawMemoText_) {
      text = NormalizeLineBreaks(selected->AsString());
    } else if (c && c->HasKeyList()) {
      text = c->GetDisplayText();
    } else {
      text = selected->Text();
    }
    if (text != editText_) {
      InvalidateEditor();
      UpdateEditorState();
    }
  }
}

void TCustomDBGridEx::UpdateData() {
  // what was typed goes to the column it was typed in
  TColumnEx* c = editColumn_;
  if (!c) return;
  TField* f = c->Field();
  const std::string text = editText_;
  switch (c->GetColumnType()) {
    case ctPickList: {
      if (c->OnNotInList && c->PickList()->IndexOf(text) < 0) {
        bool recheck = false;
        auto handler = c->OnNotInList;
        handler(c, text, recheck);
      }
      c->UpdateData(text, TVariant(text), true);
      return;
    }
    case ctKeyPickList: {
      auto keyOf = [c](const std::string& t) -> TVariant {
        const int i = c->PickList()->IndexOf(t);
        if (i >= 0 && i < c->KeyList()->Count()) return TVariant(c->KeyList()->Strings(i));
        return Null();
      };
      TVariant key = keyOf(text);
      if (key.IsNull() && !text.empty() && c->OnNotInList) {
        bool recheck = false;
        auto handler = c->OnNotInList;
        handler(c, text, recheck);
        if (recheck) key = keyOf(text);
      }
      c->UpdateData(text, key, false);
      return;
    }
    case ctLookupField: {
      if (!f || f->KeyFields().empty()) break;
      TDataSet* lds = c->LookupDataSet();
      TVariant key = editKeyValue_;
      auto locate = [&]() -> bool {
        if (!lds) return false;
        if (text.empty()) {
          key = Null();
          return true;
        }
        if (!lds->Locate(f->LookupResultField(), TVariant(text), {loCaseInsensitive})) return false;
        key = lds->FieldValues(f->LookupKeyFields());
        return true;
      };
      if (editKeyValue_.IsEmpty() && !locate() && c->OnNotInList) {
        bool recheck = false;
        auto handler = c->OnNotInList;
        handler(c, text, recheck);
        if (recheck && !locate()) return;
        if (!recheck) return;
      }
      std::vector<TField*> keys;
      try {
        keys = GetFieldsArray(f->DataSet(), f->KeyFields());
      } catch (const Exception&) {
        return;
      }
      if (!AllFieldsCanModify(keys)) return;
      f->DataSet()->Edit();
      SetFieldsValues(f->DataSet(), f->KeyFields(), key);
      return;
    }
    default:
      break;
  }
  c->UpdateData(text, TVariant(text), true);
}

bool TCustomDBGridEx::CanModifyCell() {
  TColumnEx* c = FocusedColumn();
  TField* f = c ? c->Field() : nullptr;
  // only the cell editor asks, which never shows on a column that does not take keys (CanEditShow)
  if (readOnly_ || !dataLink_->Active() || dataLink_->ReadOnly() || !c || c->ReadOnly() || !f) return false;
  TField* check = f;
  if (f->Lookup()) {
    try {
      auto keys = GetFieldsArray(f->DataSet(), f->KeyFields());
      if (keys.empty() || !AllFieldsCanModify(keys)) return false;
      check = keys.front();
    } catch (const Exception&) {
      return false;
    }
  }
  if (!check->CanModify()) return false;
  if (f->IsBlob() && !(f->DataType() == ftMemo && drawMemoText_)) return false;
  if (!c->CanModify(false)) return false;
  dataLink_->Edit();
  const bool editing = dataLink_->Editing();
  if (editing) dataLink_->MarkModified();
  return editing;
}

// ---------------------------------------------------------------- the in-place editor's slots

TInplaceEdit* TCustomDBGridEx::CreateEditor() {
  return new TDBGridInplaceEdit(this);
}

bool TCustomDBGridEx::CanEditShow() {
  // a grid on its way out shows no editor: unlinking its data clears the selection
  bool result = layoutLock_ == 0 && !ComponentState().Contains(csDestroying) && TCustomGrid::CanEditShow();
  TColumnEx* c = FocusedColumn();
  if (result &&
      (!ColumnTakesKeys(c) || c->GetColumnType() == ctKeyImageList || c->GetColumnType() == ctCheckboxes))
    result = false;
  if (editorBlocked_) result = false;
  if (selection_ && selection_->SelectionType() != gstNon && optionsEx_.Contains(dghClearSelection) &&
      allowedSelections_.Contains(gstRectangle))
    result = false;
  if (!result && EditorMode()) HideEditor();
  return result;
}

bool TCustomDBGridEx::CanEditAcceptKey(char32_t Key) {
  TColumnEx* c = FocusedColumn();
  TField* f = c && dataLink_->Active() ? c->Field() : nullptr;
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  const bool listOpen = editor && editor->ListVisible();
  if (!f) return listOpen && editor && !editor->ReadOnly();
  bool answer = listOpen ? !editor->ReadOnly() : true;
  if (c->HasKeyList()) return answer;
  return answer && f->IsValidChar(Key);
}

bool TCustomDBGridEx::CanEditModify() {
  TColumnEx* c = FocusedColumn();
  if (!c || c->GetColumnType() == ctCheckboxes || editorBlocked_) return false;
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  if (editor && editor->ParamsReadOnly()) {
    if (editor->ReadOnly()) return false;
    dataLink_->Edit();
    if (dataLink_->Editing()) dataLink_->MarkModified();
    return dataLink_->Editing();
  }
  return CanModifyCell();
}

TField* TCustomDBGridEx::EditedField() {
  return editColumn_ ? editColumn_->Field() : nullptr;
}

std::string TCustomDBGridEx::GetEditText(int ACol, int /*ARow*/) {
  TColumnEx* c = ColumnOfRaw(ACol);
  // what was typed and is still to be written stays the cell's text: an editor brought back by a
  // layout (a title dragged, a width set) shows it again, not the field's text
  if (c && c == editColumn_ && dataLink_->Modified()) return editText_;
  // what was typed into another column (the program moved the columns under the editor) goes into
  // that column's field before the editor takes this one's text
  if (c != editColumn_ && editColumn_ && dataLink_->Modified()) {
    SettleEditText();
    c = ColumnOfRaw(ACol);  // the write's handlers may have freed or moved the columns
  }
  editKeyValue_ = Unassigned();
  editColumn_ = c;
  TField* f = c && dataLink_->Active() ? c->Field() : nullptr;
  std::string text;
  if (f) {
    if (c->HasKeyList()) {
      const int i = c->KeyList()->IndexOf(f->Text());
      text = i >= 0 && c->PickListExists() && i < c->PickList()->Count() ? c->PickList()->Strings(i)
                                                                         : std::string();
    } else if (f->DataType() == ftMemo && drawMemoText_) {
      text = NormalizeLineBreaks(f->AsString());
    } else {
      text = f->Text();
    }
    if (f->Lookup()) editKeyValue_ = f->DataSet()->FieldValues(f->KeyFields());
    TColCellParamsEx params;
    c->FillColCellParams(&params);
    params.Text = text;
    params.Font = Canvas()->Font();
    params.State = 2;
    c->GetColCellParams(true, &params);
    text = params.Text;
  }
  editText_ = text;
  return text;
}

void TCustomDBGridEx::SetEditText(int /*ACol*/, int /*ARow*/, const std::string& Value) {
  editText_ = Value;
}

int TCustomDBGridEx::GetEditLimit() {
  TColumnEx* c = FocusedColumn();
  if (!c || c->HasKeyList()) return 0;
  TField* f = c->Field();
  return f && (f->DataType() == ftString || f->DataType() == ftWideString) ? f->Size() : 0;
}

std::string TCustomDBGridEx::GetEditMask(int ACol, int /*ARow*/) {
  TColumnEx* c = ColumnOfRaw(ACol);
  if (!c) return {};
  if (!c->EditMask().empty()) return c->EditMask();
  if (c->HasKeyList()) return {};
  TField* f = c->Field();
  return f ? f->EditMask() : std::string();
}

void TCustomDBGridEx::ColumnMoved(int FromIndex, int ToIndex) {
  const int from = RawToDataColumn(FromIndex), to = RawToDataColumn(ToIndex);
  {
    // the filter editor stays where it is until the move is done
    stFilter_->BeginUpdate();
    TScopeExit end([this] { stFilter_->EndUpdate(); });
    if (from >= 0 && from < columns_->Count() && to >= 0 && to < columns_->Count()) {
      columns_->Items(from)->SetIndex(to);
      InvokeEvent(OnColumnMoved, this, from, to);
    }
  }
  // the filter row is edited at the focused column, which the base grid has moved along with its column
  const TColumnEx* edited = filterEdited_;
  filterColumn_ = RawToDataColumn(Col());
  filterEdited_ =
      filterColumn_ >= 0 && filterColumn_ < columns_->Count() ? columns_->Items(filterColumn_) : nullptr;
  if (!filterEditorShown_) return;
  // the move may have laid the columns out anew (a column the program added goes then): where no
  // filter cell shows for the current column, its editing ends
  if (!ColumnTakesFilter(filterColumn_)) {
    DropFilterEditing();
    return;
  }
  // the editor holds the text of the cell it edited before; over the same cell it goes on with what
  // was typed there, the caret where the user left it
  const bool same = filterEdited_ == edited;
  if (filterEdited_ && !same) LoadFilterEditor();
  PlaceFilterEditor(same);
}

void TCustomDBGridEx::SpreadOverRightPart(int Index, int Change) {
  // the visible auto-fit columns right of Index give up (or take) the change in proportion
  int total = 0;
  for (int n = Index + 1; n < columns_->Count(); ++n) {
    TColumnEx* c = columns_->Items(n);
    if (c->Visible() && c->AutoFitColWidth()) total += c->Width();
  }
  if (total <= 0) return;
  for (int n = Index + 1; n < columns_->Count(); ++n) {
    TColumnEx* c = columns_->Items(n);
    if (c->Visible() && c->AutoFitColWidth())
      c->SetInitWidth(std::max(1, MulDiv(total - Change, c->InitWidth(), total)));
  }
}

void TCustomDBGridEx::ColWidthsChanged() {
  if (!BeginLayout()) {
    TCustomGrid::ColWidthsChanged();
    return;
  }
  {
    stFilter_->BeginUpdate();
    TScopeExit end([this] {
      EndLayout();
      stFilter_->EndUpdate();
    });
    TCustomGrid::ColWidthsChanged();
    for (int i = 0; i < columns_->Count(); ++i) {
      const int raw = DataToRawColumn(i);
      TColumnEx* c = columns_->Items(i);
      if (raw >= ColCount() || !c->Visible() || ColWidths(raw) == c->Width()) continue;
      const int rawWidth = ColWidths(raw);
      if (!autoFitColWidths_ || ComponentState().Contains(csDesigning) || !c->AutoFitColWidth()) {
        const int before = c->Width();
        c->SetWidth(rawWidth);
        if (autoFitColWidths_ && optionsEx_.Contains(dghResizeWholeRightPart))
          SpreadOverRightPart(i, c->Width() - before);
        continue;
      }
      const int old = c->InitWidth();
      const int before = c->Width();
      c->SetInitWidth(MulDiv(old, rawWidth, std::max(1, before)));
      if (optionsEx_.Contains(dghResizeWholeRightPart)) {
        SpreadOverRightPart(i, rawWidth - before);
        continue;
      }
      for (int n = i + 1; n < columns_->Count(); ++n)
        if (columns_->Items(n)->Visible()) {
          TColumnEx* next = columns_->Items(n);
          next->SetInitWidth(std::max(0, next->InitWidth() + old - c->InitWidth()));
          break;
        }
    }
  }
  UpdateEditorState();
  InvokeEvent(OnColWidthsChanged, this);
  if (filterEditorShown_) PlaceFilterEditor(true);
}

void TCustomDBGridEx::RowHeightsChanged() {
  // the first data row (above the footers' separator) whose height the user changed
  const int last = titleOffset_ + DataRowCount();
  for (int r = titleOffset_; r < std::min(last, RowCount()); ++r) {
    if (RowHeights(r) == DefaultRowHeight()) continue;
    const int height = RowHeights(r);
    const bool began = BeginLayout();
    {
      TScopeExit end([this, began] {
        if (began) EndLayout();
      });
      SetRowLines(0);
      SetRowHeight(height);
    }
    UpdateVertScrollBar();
    break;
  }
  TCustomGrid::RowHeightsChanged();
}

void TCustomDBGridEx::TimedScroll(TGridScrollDirections Direction) {
  if (dataLink_->Active()) {
    if (Direction.Contains(sdUp)) {
      dataLink_->MoveBy(-dataLink_->ActiveRecord() - 1);
      Direction.Exclude(sdUp);
    }
    if (Direction.Contains(sdDown)) {
      dataLink_->MoveBy(dataLink_->RecordCount() - dataLink_->ActiveRecord());
      Direction.Exclude(sdDown);
    }
  }
  if (!Direction.Empty()) TCustomGrid::TimedScroll(Direction);
}

void TCustomDBGridEx::DoExit() {
  if (dataLink_->Active()) {
    TDataSet* ds = dataLink_->DataSet();
    if (options_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() &&
        !dataLink_->Modified()) {
      ds->Cancel();
    } else {
      dataLink_->UpdateData();
    }
  }
  TCustomGrid::DoExit();
}

void TCustomDBGridEx::ChangeScale(int M, int D) {
  if (M != D) {
    if (!ParentFont()) {
      titleFont_->SetSize(ScaleSize(titleFont_->Size(), M, D));
      footerFont_->SetSize(ScaleSize(footerFont_->Size(), M, D));
    }
    columns_->BeginUpdate();
    TScopeExit end([this] { columns_->EndUpdate(); });
    int sum = 0;
    for (int i = 0; i < columns_->Count(); ++i) {
      TColumnEx* c = columns_->Items(i);
      if (c->IsAssigned(cvFont)) c->Font()->SetSize(ScaleSize(c->Font()->Size(), M, D));
      if (c->IsAssigned(cvTitleFont))
        c->Title()->Font()->SetSize(ScaleSize(c->Title()->Font()->Size(), M, D));
      for (int f = -1; f < c->Footers()->Count(); ++f) {
        TColumnFooterEx* footer = f < 0 ? c->Footer() : c->Footers()->Items(f);
        if (footer->AssignedValues().Contains(cfvFont))
          footer->Font()->SetSize(ScaleSize(footer->Font()->Size(), M, D));
      }
      const int w = c->Width();
      c->SetWidth(MulDiv(sum + w, M, D) - MulDiv(sum, M, D));
      sum += w;
    }
  }
  TCustomGrid::ChangeScale(M, D);
}

// ---------------------------------------------------------------- keyboard routines

void TCustomDBGridEx::MoveBy(bool Select, int Distance, bool RecordMode, bool ToEnd) {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  if (!RecordMode && !options_.Contains(dgRowSelect)) {
    const bool rect = Select && CanSelectType(gstRectangle);
    if (rect && selection_->SelectionType() != gstRectangle)
      selection_->Rect()->Select(GetSelectedIndex(), ds->Bookmark(), false);
    if (ToEnd) {
      if (Distance == 1) {
        ds->Last();
      } else {
        ds->First();
      }
    } else {
      ds->MoveBy(Distance);
    }
    if (rect) selection_->Rect()->Select(GetSelectedIndex(), ds->Bookmark(), true);
  } else {
    const int visible = std::max(1, RowCount() - titleOffset_);
    const bool disable = std::abs(Distance) > visible || ToEnd;
    if (disable) ds->DisableControls();
    TScopeExit enable([&] {
      if (disable) ds->EnableControls();
    });
    const int step = Distance < 0 ? -1 : 1;
    for (int i = 0; ToEnd || i < std::abs(Distance); ++i)
      if (!MoveRecordStep(Select, step)) break;
  }
  if (updateLock_ == 0 && HandleAllocated()) Update();
}

bool TCustomDBGridEx::MoveRecordStep(bool Select, int Step) {
  TDataSet* ds = dataLink_->DataSet();
  const bool marking = options_.Contains(dgMultiSelect) && dataLink_->Active();
  if (!marking) return ds->MoveBy(Step) != 0;
  if (!Select) {
    ClearSelection();
    return ds->MoveBy(Step) != 0;
  }
  // a record being inserted has no bookmark yet: it is posted (or dropped) before it is marked
  if (ds->State() == dsInsert) ds->CheckBrowseMode();
  // the records between the anchor and the current one take the mark: selected, or in toggle mode
  // the opposite of the anchor's state before the gesture
  if (!multiSelectAnchorSet_) {
    multiSelectAnchor_ = ds->Bookmark();
    multiSelectAnchorSelected_ = selectedRows_->CurrentRowSelected();
    multiSelectAnchorSet_ = true;
  }
  const bool mark = keepSelection_ ? !multiSelectAnchorSelected_ : true;
  if (ds->CompareBookmarks(ds->Bookmark(), multiSelectAnchor_) == 0)
    selectedRows_->SetCurrentRowSelected(mark);
  const int side = ds->CompareBookmarks(ds->Bookmark(), multiSelectAnchor_);
  const bool towards = (side > 0 && Step < 0) || (side < 0 && Step > 0);
  if (towards) selectedRows_->SetCurrentRowSelected(keepSelection_ ? multiSelectAnchorSelected_ : false);
  if (ds->MoveBy(Step) == 0) return false;
  if (!towards) selectedRows_->SetCurrentRowSelected(mark);
  return true;
}

void TCustomDBGridEx::SetAllowedSelections(TDBGridExAllowedSelections Value) {
  allowedSelections_ = Value;
  const TDBGridExSelectionType held = selection_->SelectionType();
  if (held != gstNon && !Value.Contains(held)) selection_->Clear();
}

bool TCustomDBGridEx::CanSelectType(TDBGridExSelectionType Value) const {
  if (Value == gstNon) return true;
  if (!options_.Contains(dgMultiSelect) || !allowedSelections_.Contains(Value)) return false;
  return !((Value == gstRectangle || Value == gstColumns) && options_.Contains(dgRowSelect));
}

void TCustomDBGridEx::SelectionChanged() {
  if (HandleAllocated()) {
    if (selection_->SelectionType() == gstAll) {
      InvalidateGrid();
    } else if (const TGridRect r = selection_->SelectionToGridRect(); r.Left >= 0) {
      InvalidateRect(r);
    }
    InvalidateRow(Row());
  }
  selectionHadFocus_ = HasFocus();
}

void TCustomDBGridEx::FocusLookChanged(HWND FocusTo) {
  if (!HandleAllocated()) return;
  if (options_.Contains(dgRowSelect)) InvalidateRow(Row());
  const bool focused =
      FocusTo && (FocusTo == Handle() || (InplaceEditor() && InplaceEditor()->HandleAllocated() &&
                                          FocusTo == InplaceEditor()->Handle()));
  if (focused == selectionHadFocus_) return;
  SelectionChanged();
  selectionHadFocus_ = focused;  // the focus goes there once the message is through
}

bool TCustomDBGridEx::SelectCell(int ACol, int ARow) {
  if (incSearchRunning_ && ACol != Col()) StopIncSearch();
  return TCustomGrid::SelectCell(ACol, ARow);
}

void TCustomDBGridEx::SaveBookmark() {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  const int count = dataLink_->RecordCount();
  // the current record's offset from the middle row (the upper middle one for an even count)
  if (count == 0) {  // an empty dataset: nothing to come back to
    savedBookmark_.clear();
    savedRecordOffset_ = 0;
    return;
  }
  const int active = dataLink_->ActiveRecord();
  const int offset = active - count / 2 + (count + 1) % 2;
  // the middle row is in the link's buffer: its bookmark is read there, without scrolling the dataset
  assert(active - offset >= 0 && active - offset < count);
  dataLink_->SetActiveRecord(active - offset);
  {
    TScopeExit back([this, active] { dataLink_->SetActiveRecord(active); });
    savedBookmark_ = ds->Bookmark();
  }
  savedRecordOffset_ = offset;
}

void TCustomDBGridEx::RestoreBookmark() {
  if (!dataLink_->Active() || savedBookmark_.empty()) return;
  TDataSet* ds = dataLink_->DataSet();
  ds->GotoBookmark(savedBookmark_);
  ds->MoveBy(savedRecordOffset_);
}

void TCustomDBGridEx::ApplySorting() {
  if (!dataLink_->Active()) return;  // a closed dataset, or a disabled data source
  DBGridExDataService()->ApplySorting(this);
}

void TCustomDBGridEx::ApplyFilter() {
  applyingFilter_ = true;
  TScopeExit done([this] { applyingFilter_ = false; });
  DBGridExDataService()->ApplyFilter(this);
}

void TCustomDBGridEx::RebuildSortMarkedColumns() {
  if (!columns_) return;
  TColumnsExList& list = sortMarkedColumns_;
  list.clear();
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEx* c = columns_->Items(i);
    const int at = c->Title()->SortIndex() - 1;
    if (at < 0) continue;
    if (static_cast<int>(list.size()) <= at) list.resize(at + 1, nullptr);
    // two columns claiming one place keep both, in column order
    if (list[at]) {
      list.insert(list.begin() + at + 1, c);
    } else {
      list[at] = c;
    }
  }
  // places never claimed leave no holes for the ORDER BY terms
  std::erase(list, nullptr);
}

void TCustomDBGridEx::ColumnDestroying(TColumnEx* Column) {
  if (FindDialogColumnProc) FindDialogColumnProc(Column);
  if (selection_) selection_->Columns()->Forget(Column);
  if (auto* editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor())) editor->ColumnGoing(Column);
  // the filter row's text goes with its column, unread; a column to the left shifts it by one
  if (filterEdited_ && filterEdited_->Index() != filterColumn_) filterColumn_ = filterEdited_->Index();
  const int index = Column->Index();
  if (index == filterColumn_) {
    // the editing ends before the editor hides: the focus it hands back to the grid would place it again
    filterEditorShown_ = false;
    filterEditing_ = false;
    filterColumn_ = -1;
    filterEdited_ = nullptr;
    if (filterEditor_) filterEditor_->InplaceHide();
  } else if (index >= 0 && index < filterColumn_) {
    --filterColumn_;
  }
  // its text goes with it, unwritten; only now, as the focus the filter editor handed back brings the
  // cell editor back over the column, which is still in place
  if (Column == editColumn_) editColumn_ = nullptr;
}

void TCustomDBGridEx::ColumnHiding(TColumnEx* Column) {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) return;
  if (filterEditing_ && Column->Index() == filterColumn_) DropFilterEditing();
  // nothing is written into the column once it is hidden
  if (Column != editColumn_ || !SettleEditText()) return;
  if (options_.Contains(dgAlwaysShowEditor))
    HideEdit();
  else
    HideEditor();
}

void TCustomDBGridEx::ColumnFieldChanging(TColumnEx* Column) {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) return;
  // the text goes to the field it was typed for, never to the one the column shows next
  if (Column == editColumn_) SettleEditText();
}

bool TCustomDBGridEx::SettleEditText() {
  const bool shown = EditorShown();
  if (!shown && !dataLink_->Modified()) return false;
  if (shown) UpdateText();
  try {
    dataLink_->UpdateData();
  } catch (const EAbort&) {  // NOLINT(bugprone-empty-catch): silent by design
  } catch (const Exception&) {
    Application->HandleException(this);
  }
  return shown;
}

void TCustomDBGridEx::ColumnChanged(TColumnEx* Column, const std::function<void()>& Notify) {
  if (!LayoutFreesColumn(Column)) return Notify();
  // the pass would free the column inside its own change (and the item its caller is adding to
  // it): the pass comes from the message queue once the change is over
  ++layoutHeld_;
  TScopeExit release([this] {
    if (--layoutHeld_ > 0 || !layoutOwed_ || updateLock_ != 0 || layoutLock_ != 0) return;
    layoutOwed_ = false;
    PostDeferredLayout();
  });
  Notify();
}

bool TCustomDBGridEx::FieldShown(TField* Field) {
  for (int k = 0; Field && k < dataLink_->FieldCount(); ++k)
    if (dataLink_->GetMappedField(k) == Field) return true;
  return false;
}

bool TCustomDBGridEx::LayoutFreesColumn(TColumnEx* Column) {
  if (Column->Persistent() || layoutRunning_) return false;
  // the collection never mixes customised and default columns: a customised one after it frees it
  for (int i = Column->Index() + 1; i < columns_->Count(); ++i)
    if (columns_->Items(i)->Persistent()) return true;
  if (columns_->State() == csCustomized) return false;
  TDataSet* ds = dataLink_->DataSet();
  if (!dataLink_->Active() && (!ds || ds->DefaultFields())) return true;
  return !FieldShown(Column->Field());
}

void TCustomDBGridEx::NextRow(bool Select) {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  if (ds->State() == dsInsert && !ds->Modified() && !dataLink_->Modified()) {
    if (ds->Eof()) return;
    ds->Cancel();
  } else if (Select) {
    // without rectangles the records themselves take the marks
    MoveBy(true, 1, !CanSelectType(gstRectangle), false);
  } else {
    MoveBy(false, 1, true, false);
  }
  if (ds->Eof() && ds->CanModify() && !readOnly_ && options_.Contains(dgEditing) &&
      allowedOperations_.Contains(alopAppendEx))
    ds->Append();
}

void TCustomDBGridEx::PriorRow(bool Select) {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  if (ds->State() == dsInsert && !ds->Modified() && !dataLink_->Modified()) {
    ds->Cancel();
  } else if (Select) {
    MoveBy(true, -1, !CanSelectType(gstRectangle), false);
  } else {
    MoveBy(false, -1, true, false);
  }
}

void TCustomDBGridEx::Tab(bool GoForward) {
  ClearSelection();
  BeginUpdateLayout();
  TScopeExit end([this] { EndUpdateLayout(); });
  const int start = Col();
  int c = start;
  const int last = ColCount() - 1;
  for (int guard = 0; guard <= 2 * ColCount() + 2; ++guard) {
    c += GoForward ? 1 : -1;
    if (c > last) {
      NextRow(false);
      c = indicatorOffset_;
    } else if (c < indicatorOffset_) {
      PriorRow(false);
      c = last;
    }
    if (c == start) return;
    if (TabStops(c)) {
      MoveColRow(c, Row(), true, true);
      return;
    }
  }
}

bool TCustomDBGridEx::ConfirmDelete(int SelectedCount) {
  if (!options_.Contains(dgConfirmDelete)) return true;
  const std::string question = SelectedCount < 2 ? "Delete record?" : "Delete all selected records?";
  return MessageDlg(question, mtConfirmation, {mbOK, mbCancel}) == mrOk;
}

// ---------------------------------------------------------------- drawing (the plain look until the
// drawing of the grid's own cells comes)

// ---------------------------------------------------------------- streaming the columns

bool TCustomDBGridEx::ColumnsStored(TFiler* Filer) const {
  if (auto* ancestor = dynamic_cast<TCustomDBGridEx*>(Filer->Ancestor()))
    return ancestor->columns_->State() != columns_->State() || columns_->State() == csCustomized;
  return columns_->State() == csCustomized;
}

void TCustomDBGridEx::ReadColumns(TReader* Reader) {
  columns_->Clear();
  Reader->ReadCollection(columns_.get());
}

void TCustomDBGridEx::WriteColumns(TWriter* Writer) {
  Writer->WriteCollection(columns_.get());
}

void TCustomDBGridEx::DefineProperties(TFiler* Filer) {
  TCustomGrid::DefineProperties(Filer);
  Filer->DefineProperty(
      "Columns", [this](TReader* r) { ReadColumns(r); }, [this](TWriter* w) { WriteColumns(w); },
      ColumnsStored(Filer));
}

// ---------------------------------------------------------------- keys of the editor
