// The dock control: its properties, its lists of windows, bound lines, background and the relay of
// menu keys to floating menu bars.
#include "toolbar/BarDock.h"

#include <algorithm>
#include <cassert>

#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kDesignEmptyThickness = 9;
constexpr UINT kFrameChangedFlags =
    SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// TBarBasicBackground

TBarBasicBackground::~TBarBasicBackground() = default;

void TBarBasicBackground::RegisterChanges(TObject* User, std::function<void()> Proc) {
  UnregisterChanges(User);
  users_.emplace_back(User, std::move(Proc));
}

void TBarBasicBackground::UnregisterChanges(TObject* User) {
  users_.erase(std::remove_if(users_.begin(), users_.end(), [&](const auto& U) { return U.first == User; }),
               users_.end());
}

void TBarBasicBackground::Changed() {
  const auto users = users_;  // a user may unregister meanwhile
  for (const auto& U : users)
    if (U.second) U.second();
}

// ---------------------------------------------------------------------------------------------------
// TBarDock

TBarDock::TBarDock(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csAcceptsControls);
  style.Include(csMenuEvents);
  style.Exclude(csCaptureMouse);
  style.Exclude(csClickEvents);
  style.Exclude(csSetCaption);
  SetControlStyle(style);
  SetColor(clBtnFace);
  SetAlign(alTop);
}

TBarDock::~TBarDock() {
  if (background_) background_->UnregisterChanges(this);
  for (TBarCustomDockableWindow* W : dockList_) W->RemoveFreeNotification(this);
  dockList_.clear();
  visibleList_.clear();
}

void TBarDock::SetParent(TWinControl* AParent) {
  for (TWinControl* P = AParent; P; P = P->Parent())
    if (dynamic_cast<TBarCustomDockableWindow*>(P) || dynamic_cast<TBarDock*>(P))
      throw EInvalidOperation("A TBarDock control cannot be placed inside a tool window or another TBarDock");
  TCustomControl::SetParent(AParent);
}

void TBarDock::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // A size change arranges once the new bounds are in place, not from inside the move.
  DisableArrange();
  {
    TScopeExit enable([this] { --disableArrangeToolbars_; });
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  }
  if (disableArrangeToolbars_ == 0 && arrangeToolbarsNeeded_) ArrangeToolbars();
}

void TBarDock::SetPosition(TBarDockPosition Value) {
  if (Value == position_) return;
  if (ControlCount() > 0)
    throw EInvalidOperation("Cannot change Position of a TBarDock if it already contains controls");
  position_ = Value;
  static constexpr TAlign kAligns[] = {alTop, alBottom, alLeft, alRight};
  SetAlign(kAligns[Value]);
}

void TBarDock::SetAllowDrag(bool Value) {
  if (Value == allowDrag_) return;
  allowDrag_ = Value;
  for (int I = 0; I < ControlCount(); ++I)
    if (auto* W = dynamic_cast<TBarCustomDockableWindow*>(Controls(I))) W->FrameChanged();
}

void TBarDock::SetBoundLines(TBarDockBoundLines Value) {
  if (Value == boundLines_) return;
  boundLines_ = Value;
  nonClientWidth_ = (Value.Contains(blLeft) ? 1 : 0) + (Value.Contains(blRight) ? 1 : 0);
  nonClientHeight_ = (Value.Contains(blTop) ? 1 : 0) + (Value.Contains(blBottom) ? 1 : 0);
  FrameChanged();
}

void TBarDock::FrameChanged() {
  if (HandleAllocated()) SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kFrameChangedFlags);
  ArrangeToolbars();
}

void TBarDock::SetBackground(TBarBasicBackground* Value) {
  if (Value == background_) return;
  if (background_) {
    background_->UnregisterChanges(this);
    background_->RemoveFreeNotification(this);
  }
  background_ = Value;
  if (background_) {
    background_->FreeNotification(this);
    background_->RegisterChanges(this, [this] { BackgroundChanged(); });
  }
  BackgroundChanged();
}

void TBarDock::SetBackgroundOnToolbars(bool Value) {
  if (Value == backgroundOnToolbars_) return;
  backgroundOnToolbars_ = Value;
  BackgroundChanged();
}

void TBarDock::BackgroundChanged() {
  InvalidateBackgrounds();
}

void TBarDock::InvalidateBackgrounds() {
  if (!HandleAllocated()) return;
  constexpr UINT kFlags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_NOCHILDREN;
  RedrawWindow(Handle(), nullptr, nullptr, kFlags);
  for (TBarCustomDockableWindow* W : visibleList_)
    if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, kFlags);
}

bool TBarDock::UsingBackground() const {
  return background_ && background_->UsingBackground();
}

void TBarDock::DrawBackground(HDC DC, const TRect& DrawRect, TPoint WindowOrigin) {
  if (!UsingBackground()) return;
  POINT origin{0, 0};
  ::ClientToScreen(Handle(), origin);
  background_->Draw(DC, DrawRect, TPoint(origin.X - WindowOrigin.X, origin.Y - WindowOrigin.Y));
}

void TBarDock::SetFixAlign(bool Value) {
  fixAlign_ = Value;
  ArrangeToolbars();
}

void TBarDock::SetLimitToOneRow(bool Value) {
  limitToOneRow_ = Value;
  ArrangeToolbars();
}

void TBarDock::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == background_) {
    background_ = nullptr;
    BackgroundChanged();
  }
  if (AComponent == draggingWindow_) draggingWindow_ = nullptr;
  auto* W = static_cast<TBarCustomDockableWindow*>(nullptr);
  for (TBarCustomDockableWindow* D : dockList_)
    if (D == AComponent) W = D;
  if (W) {
    dockList_.erase(std::find(dockList_.begin(), dockList_.end(), W));
    auto V = std::find(visibleList_.begin(), visibleList_.end(), W);
    if (V != visibleList_.end()) visibleList_.erase(V);
  }
}

void TBarDock::ChangeDockList(bool Insert, TBarCustomDockableWindow* Bar) {
  auto It = std::find(dockList_.begin(), dockList_.end(), Bar);
  if (Insert) {
    if (It == dockList_.end()) {
      dockList_.push_back(Bar);
      Bar->FreeNotification(this);
    }
  } else if (It != dockList_.end()) {
    dockList_.erase(It);
    if (Bar != draggingWindow_) Bar->RemoveFreeNotification(this);
  }
  ChangeDockVisibleList();
}

void TBarDock::ChangeDockVisibleList() {
  const bool designing = ComponentState().Contains(csDesigning);
  std::vector<TBarCustomDockableWindow*> now;
  now.reserve(dockList_.size());
  for (TBarCustomDockableWindow* W : dockList_)
    if (W->Parent() == this && (W->Visible() || designing) && !W->ComponentState().Contains(csDestroying))
      now.push_back(W);
  TBarCustomDockableWindow* changed = nullptr;
  bool inserting = false;
  for (TBarCustomDockableWindow* W : now)
    if (std::find(visibleList_.begin(), visibleList_.end(), W) == visibleList_.end()) {
      changed = W;
      inserting = true;
    }
  if (!changed)
    for (TBarCustomDockableWindow* W : visibleList_)
      if (std::find(now.begin(), now.end(), W) == now.end()) changed = W;
  if (!changed && now.size() == visibleList_.size()) return;
  // Keep the old order for windows that stay; newcomers go at the end.
  std::vector<TBarCustomDockableWindow*> next;
  next.reserve(now.size());
  for (TBarCustomDockableWindow* W : visibleList_)
    if (std::find(now.begin(), now.end(), W) != now.end()) next.push_back(W);
  for (TBarCustomDockableWindow* W : now)
    if (std::find(next.begin(), next.end(), W) == next.end()) next.push_back(W);
  visibleList_ = std::move(next);
  ArrangeToolbars();
  if (OnInsertRemoveBar && changed) OnInsertRemoveBar(this, inserting, changed);
}

void TBarDock::CommitPositions() {
  for (TBarCustomDockableWindow* W : visibleList_) {
    W->dockRow_ = W->effectiveDockRow_;
    W->dockPos_ = W->effectiveDockPos_;
  }
}

void TBarDock::EnableArrange() {
  assert(disableArrangeToolbars_ > 0);
  if (--disableArrangeToolbars_ <= 0 && arrangeToolbarsNeeded_) ArrangeToolbars();
}

int TBarDock::InnerLength() {
  const int length = IsVertical() ? Height() - nonClientHeight_ : Width() - nonClientWidth_;
  return std::max(length, 0);
}

int TBarDock::GetRowOf(int Coord) const {
  int sum = 0;
  for (size_t I = 0; I < rowSizes_.size(); ++I) {
    sum += rowSizes_[I];
    if (Coord < sum) return static_cast<int>(I);
  }
  return static_cast<int>(rowSizes_.size());
}

void TBarDock::SetThickness(int Thickness) {
  const bool vertical = IsVertical();
  if ((vertical ? Width() : Height()) == Thickness) return;
  switch (position_) {
    case dpTop:
      SetBounds(Left(), Top(), Width(), Thickness);
      break;
    case dpBottom:
      SetBounds(Left(), Top() + Height() - Thickness, Width(), Thickness);
      break;
    case dpLeft:
      SetBounds(Left(), Top(), Thickness, Height());
      break;
    case dpRight:
      SetBounds(Left() + Width() - Thickness, Top(), Thickness, Height());
      break;
  }
}

void TBarDock::ArrangeToolbars() {
  if (disableArrangeToolbars_ > 0 || ComponentState().Contains(csLoading)) {
    arrangeToolbarsNeeded_ = true;
    return;
  }
  ++disableArrangeToolbars_;
  TScopeExit done([this] {
    --disableArrangeToolbars_;
    arrangeToolbarsNeeded_ = false;
    commitNewPositions_ = false;
  });
  const bool vertical = IsVertical();
  const bool designing = ComponentState().Contains(csDesigning);

  // Windows being destroyed leave both lists.
  auto dying = [](TBarCustomDockableWindow* W) { return W->ComponentState().Contains(csDestroying); };
  dockList_.erase(std::remove_if(dockList_.begin(), dockList_.end(), dying), dockList_.end());
  visibleList_.erase(std::remove_if(visibleList_.begin(), visibleList_.end(), dying), visibleList_.end());

  if (visibleList_.empty()) {
    rowSizes_.clear();
    crowded_ = false;
    SetThickness(designing ? kDesignEmptyThickness : (fixAlign_ ? 1 : 0));
    return;
  }

  // The slots follow the dock list; hidden windows and those docked elsewhere are not visible here.
  std::vector<TBarDockSlot> slots(dockList_.size());
  int dragged = -1;
  for (size_t I = 0; I < dockList_.size(); ++I) {
    TBarCustomDockableWindow* W = dockList_[I];
    TBarDockSlot& S = slots[I];
    S.DockRow = W->dockRow_;
    S.DockPos = W->dockPos_;
    S.Visible = std::find(visibleList_.begin(), visibleList_.end(), W) != visibleList_.end();
    if (W == draggingWindow_) dragged = static_cast<int>(I);
    if (!S.Visible) continue;
    const TSize base = W->GetBaseSize();
    const TSize nc = W->GetDockedNCAreaSize();
    S.BaseLength = vertical ? base.cy : base.cx;
    S.NonClientLength = vertical ? nc.cy : nc.cx;
    S.MinimumLength = W->GetMinRowSize();
    S.ShrinkMode = W->GetShrinkMode();
    S.FullSize = W->fullSize_;
    S.Stretch = W->stretch_;
    S.NewRow = W->insertRowBefore_;
  }
  TBarDockArrangeParams params;
  params.InnerLength = InnerLength();
  params.LimitToOneRow = limitToOneRow_;
  params.Dragged = dragged;
  params.RowLocked = rowLocked_;
  const TBarDockArrangeResult result = ArrangeDockSlots(slots, params);
  if (result.Crowded) crowded_ = true;

  const std::vector<TBarCustomDockableWindow*> slotWindow = dockList_;
  for (size_t I = 0; I < slotWindow.size(); ++I) {
    TBarCustomDockableWindow* W = slotWindow[I];
    const TBarDockSlot& S = slots[I];
    if (limitToOneRow_) W->dockRow_ = 0;
    if (!S.Visible) continue;
    W->effectiveDockRow_ = S.EffectiveRow;
    W->effectiveDockPos_ = S.EffectivePos;
    if (commitNewPositions_) {
      W->dockRow_ = S.EffectiveRow;
      W->dockPos_ = S.EffectivePos;
    }
  }
  if (commitNewPositions_) {
    std::vector<TBarCustomDockableWindow*> sorted;
    sorted.reserve(dockList_.size());
    for (size_t Index : result.Order) sorted.push_back(slotWindow[Index]);
    dockList_ = std::move(sorted);
    std::vector<TBarCustomDockableWindow*> visibleSorted;
    for (TBarCustomDockableWindow* W : dockList_)
      if (std::find(visibleList_.begin(), visibleList_.end(), W) != visibleList_.end())
        visibleSorted.push_back(W);
    visibleList_ = std::move(visibleSorted);
  }

  // Rows: lengths given, thickness, placement.
  rowSizes_.assign(static_cast<size_t>(result.RowCount), 0);
  std::vector<TBarCustomDockableWindow*> rearrange;
  for (size_t I = 0; I < slots.size(); ++I) {
    const TBarDockSlot& S = slots[I];
    if (!S.Visible) continue;
    TBarCustomDockableWindow* W = slotWindow[I];
    if (S.GivenLength != W->dockedLength_) {
      W->dockedLength_ = S.GivenLength;
      if (S.ShrinkMode != tbsmNone) rearrange.push_back(W);
    }
  }
  // A shrinking window whose length changed sizes itself again for this dock before rows are measured.
  for (TBarCustomDockableWindow* W : rearrange) W->CalcSizeForDockType(DockType());
  for (size_t I = 0; I < slots.size(); ++I) {
    const TBarDockSlot& S = slots[I];
    if (!S.Visible) continue;
    TBarCustomDockableWindow* W = slotWindow[I];
    const TSize base = W->GetBaseSize();
    int across = vertical ? base.cx : base.cy;
    if (S.ShrinkMode == tbsmWrap && S.GivenLength != 0) {
      const TSize nc = W->GetDockedNCAreaSize();
      across = vertical ? W->Width() - nc.cx : W->Height() - nc.cy;
    }
    int& row = rowSizes_[static_cast<size_t>(S.EffectiveRow)];
    row = std::max(row, across + DockRowExtraThickness);
  }
  std::vector<int> rowOffsets(rowSizes_.size(), 0);
  int total = 0;
  for (size_t R = 0; R < rowSizes_.size(); ++R) {
    rowOffsets[R] = total;
    total += rowSizes_[R];
  }
  for (size_t I = 0; I < slots.size(); ++I) {
    const TBarDockSlot& S = slots[I];
    if (!S.Visible) continue;
    TBarCustomDockableWindow* W = slotWindow[I];
    const int row = S.EffectiveRow;
    W->dockRowSize_ = rowSizes_[static_cast<size_t>(row)];
    ++W->updatingBounds_;
    TScopeExit bounds([W] { --W->updatingBounds_; });
    if (vertical)
      W->SetBounds(rowOffsets[static_cast<size_t>(row)], S.EffectivePos, W->dockRowSize_, S.Length);
    else
      W->SetBounds(S.EffectivePos, rowOffsets[static_cast<size_t>(row)], S.Length, W->dockRowSize_);
  }
  for (TBarCustomDockableWindow* W : rearrange) W->Arrange();
  SetThickness((vertical ? nonClientWidth_ : nonClientHeight_) + total);
}

void TBarDock::Loaded() {
  TCustomControl::Loaded();
  ArrangeToolbars();
}

void TBarDock::AlignControls(TControl* /*AControl*/) {
  ArrangeToolbars();
}

void TBarDock::Paint() {
  if (!ComponentState().Contains(csDesigning)) return;
  TCanvas* c = Canvas();
  c->Pen()->SetStyle(psDot);
  c->Pen()->SetColor(clBtnShadow);
  c->Brush()->SetStyle(bsClear);
  TRect r = ClientRect();
  c->Rectangle(r.Left, r.Top, r.Right, r.Bottom);
}

void TBarDock::DrawNCArea(HDC DC) {
  if (boundLines_.Empty() || (visibleList_.empty() && !ComponentState().Contains(csDesigning))) return;
  RECT r;
  GetWindowRect(Handle(), r);
  r = Rect(0, 0, r.Width(), r.Height());
  HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HGDIOBJ old = SelectObject(DC, shadow);
  auto line = [&](int X1, int Y1, int X2, int Y2) {
    MoveToEx(DC, X1, Y1, nullptr);
    LineTo(DC, X2, Y2);
  };
  if (boundLines_.Contains(blTop)) {
    line(r.Left, r.Top, r.Right, r.Top);
    ++r.Top;
  }
  if (boundLines_.Contains(blLeft)) {
    line(r.Left, r.Top, r.Left, r.Bottom);
    ++r.Left;
  }
  SelectObject(DC, light);
  if (boundLines_.Contains(blBottom)) {
    line(r.Left, r.Bottom - 1, r.Right, r.Bottom - 1);
    --r.Bottom;
  }
  if (boundLines_.Contains(blRight)) {
    line(r.Right - 1, r.Top, r.Right - 1, r.Bottom);
    --r.Right;
  }
  SelectObject(DC, old);
  DeleteObject(shadow);
  DeleteObject(light);
  // The rest of the non-client area (none when the lines are all there is) is the dock's colour.
  (void)r;
}

void TBarDock::PaintNCProc(HWND /*Wnd*/, HDC DC, void* AppData) {
  static_cast<TBarDock*>(AppData)->DrawNCArea(DC);
}

bool TBarDock::RelayToFloating(TMessage& Message) {
  const auto list = dockList_;
  for (TBarCustomDockableWindow* W : list) {
    if (!W->ControlStyle().Contains(csMenuEvents) || !W->Floating() || !W->Showing() || !W->Enabled())
      continue;
    Message.Result = W->Perform(Message.Msg, Message.WParam, Message.LParam);
    if (Message.Result != 0) return true;
  }
  return false;
}

void TBarDock::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      if (Message.LParam) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        if (boundLines_.Contains(blTop)) ++r.Top;
        if (boundLines_.Contains(blBottom)) --r.Bottom;
        if (boundLines_.Contains(blLeft)) ++r.Left;
        if (boundLines_.Contains(blRight)) --r.Right;
      }
      Message.Result = 0;
      return;
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(Handle());
      DrawNCArea(dc);
      ReleaseDC(Handle(), dc);
      Message.Result = 0;
      return;
    }
    case WM_PRINT:
      Message.Result = HandleWMPrint(Handle(), Message, &TBarDock::PaintNCProc, this);
      return;
    case WM_ERASEBKGND:
      if (UsingBackground()) {
        RECT r;
        GetClientRect(Handle(), r);
        POINT origin{0, 0};
        ::ClientToScreen(Handle(), origin);
        DrawBackground(reinterpret_cast<HDC>(Message.WParam), r, origin);
        Message.Result = 1;
        return;
      }
      break;
    case WM_MOVE:
      TCustomControl::WndProc(Message);
      if (UsingBackground()) InvalidateBackgrounds();
      return;
    case CM_SYSCOLORCHANGE:
      TCustomControl::WndProc(Message);
      if (background_) background_->SysColorChanged();
      return;
    case WM_SYSCOMMAND:
      if (RelayToFloating(Message)) return;
      break;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      if (RelayToFloating(Message)) return;
      break;
    default:
      break;
  }
  TCustomControl::WndProc(Message);
}
