// Dockable windows: properties, the docking transition, arrangement, the docked frame with its drag
// handle and close button, and their messages.
#include <algorithm>
#include <cassert>

#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr UINT kFrameChangedFlags =
    SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

// Drag handle length by style (dhDouble, dhNone, dhSingle), and with a docked close button.
constexpr int kHandleSizes[] = {9, 0, 6};
constexpr int kHandleSizeWithClose = 14;
// Grip offset inside the handle by style, without and with a close button.
constexpr int kGripOffsets[] = {2, 0, 1};
constexpr int kGripOffsetsWithClose[] = {3, 0, 5};
// The close glyph, 8 x 8, one byte a row (the high bit is the left pixel).
constexpr unsigned char kCloseGlyph[8] = {0x00, 0xCC, 0x78, 0x30, 0x78, 0xCC, 0x00, 0x00};

std::vector<TBarCustomDockableWindow*>& FloatingList() {
  static std::vector<TBarCustomDockableWindow*> list;
  return list;
}

}  // namespace

const std::vector<TBarCustomDockableWindow*>& FloatingToolWindows() {
  return FloatingList();
}

// Draws the close glyph with its top left at (X, Y) in Color.
void DrawCloseGlyph(HDC DC, int X, int Y, COLORREF Color) {
  for (int row = 0; row < 8; ++row)
    for (int col = 0; col < 8; ++col)
      if (kCloseGlyph[row] & (0x80 >> col)) SetPixel(DC, X + col, Y + row, Color);
}

TBarCustomDockableWindow::TBarCustomDockableWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csAcceptsControls);
  style.Include(csClickEvents);
  style.Include(csSetCaption);
  style.Include(csDoubleClicks);
  style.Exclude(csCaptureMouse);
  style.Exclude(csOpaque);
  SetControlStyle(style);
  SetColor(clBtnFace);
  InstallHookProc(&TBarCustomDockableWindow::HookProc,
                  {hpSendActivateApp, hpSendWindowPosChanged, hpPreDestroy},
                  ComponentState().Contains(csDesigning));
  InitTrackMouseEvent();
}

TBarCustomDockableWindow::~TBarCustomDockableWindow() {
  UninstallHookProc(&TBarCustomDockableWindow::HookProc);
  auto& floating = FloatingList();
  floating.erase(std::remove(floating.begin(), floating.end(), this), floating.end());
  for (TCustomForm* F : dockForms_) F->RemoveFreeNotification(this);
  dockForms_.clear();
  // Leave the floating parent before it goes, and the docks' lists.
  TBarDock* oldDock = currentDock_;
  if (Parent()) TCustomControl::SetParent(nullptr);
  if (oldDock) oldDock->ChangeDockList(false, this);
  if (lastDock_ && lastDock_ != oldDock) lastDock_->ChangeDockList(false, this);
  delete keptFloatingParent_;
  keptFloatingParent_ = nullptr;
}

// ---- properties ----

void TBarCustomDockableWindow::SetAutoResize(bool Value) {
  if (Value == autoResize_) return;
  autoResize_ = Value;
  if (Value) Arrange();
}

void TBarCustomDockableWindow::SetDockPos(int Value) {
  if (Value == dockPos_) return;
  dockPos_ = Value;
  if (docked_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetDockRow(int Value) {
  if (Value == dockRow_) return;
  dockRow_ = Value;
  if (docked_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetFullSize(bool Value) {
  if (Value == fullSize_) return;
  fullSize_ = Value;
  if (docked_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetStretch(bool Value) {
  if (Value == stretch_) return;
  stretch_ = Value;
  if (docked_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetShowCaption(bool Value) {
  if (Value == showCaption_) return;
  showCaption_ = Value;
  if (floating_) {
    if (TBarFloatingWindowParent* P = FloatingParent(); P && P->HandleAllocated())
      SetWindowPos(P->Handle(), nullptr, 0, 0, 0, 0, kFrameChangedFlags);
    Arrange();
  }
}

void TBarCustomDockableWindow::SetBorderStyle(TBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  if (docked_) FrameChanged();
}

void TBarCustomDockableWindow::SetDragHandleStyle(TBarDragHandleStyle Value) {
  if (Value == dragHandleStyle_) return;
  dragHandleStyle_ = Value;
  if (docked_) FrameChanged();
}

void TBarCustomDockableWindow::SetCloseButtonWhenDocked(bool Value) {
  if (Value == closeButtonWhenDocked_) return;
  closeButtonWhenDocked_ = Value;
  if (docked_) FrameChanged();
}

void TBarCustomDockableWindow::SetCloseButton(bool Value) {
  if (Value == closeButton_) return;
  closeButton_ = Value;
  if (TBarFloatingWindowParent* P = FloatingParent()) P->RedrawCaption();
}

void TBarCustomDockableWindow::SetResizable(bool Value) {
  if (Value == resizable_) return;
  resizable_ = Value;
  if (TBarFloatingWindowParent* P = FloatingParent(); P && P->HandleAllocated()) P->RecreateWnd();
}

void TBarCustomDockableWindow::SetHideWhenInactive(bool Value) {
  if (Value == hideWhenInactive_) return;
  hideWhenInactive_ = Value;
  UpdateVisibility();
}

void TBarCustomDockableWindow::SetFloatingMode(TBarFloatingMode Value) {
  if (Value == floatingMode_) return;
  floatingMode_ = Value;
  if (TBarFloatingWindowParent* P = FloatingParent()) P->UpdateOwnerAndTopmost();
  UpdateVisibility();
}

void TBarCustomDockableWindow::SetCurrentDock(TBarDock* Value) {
  if (Value == currentDock_ && docked_) return;
  if (Value)
    SetParent(Value);
  else
    SetParent(OwnerForm());
}

void TBarCustomDockableWindow::SetDefaultDock(TBarDock* Value) {
  if (Value == defaultDock_) return;
  if (defaultDock_ && defaultDock_ != lastDock_ && defaultDock_ != currentDock_)
    defaultDock_->RemoveFreeNotification(this);
  defaultDock_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TBarCustomDockableWindow::SetLastDock(TBarDock* Value) {
  TBarDock* next = useLastDock_ && docked_ ? currentDock_ : Value;
  if (next == lastDock_) return;
  if (lastDock_ && lastDock_ != Parent()) lastDock_->ChangeDockList(false, this);
  lastDock_ = next;
  if (next) {
    useLastDock_ = true;
    next->FreeNotification(this);
    next->ChangeDockList(true, this);
  }
}

void TBarCustomDockableWindow::SetUseLastDock(bool Value) {
  if (Value == useLastDock_) return;
  useLastDock_ = Value;
  if (Value) {
    SetLastDock(currentDock_);
  } else {
    if (lastDock_ && lastDock_ != currentDock_) lastDock_->ChangeDockList(false, this);
    lastDock_ = nullptr;
  }
}

void TBarCustomDockableWindow::SetFloatingPosition(TPoint Value) {
  floatingPosition_ = Value;
  if (TBarFloatingWindowParent* P = FloatingParent()) P->SetBounds(Value.X, Value.Y, P->Width(), P->Height());
}

TBarFloatingWindowParent* TBarCustomDockableWindow::FloatingParent() const {
  return floating_ ? dynamic_cast<TBarFloatingWindowParent*>(Parent()) : nullptr;
}

TBarDockType TBarCustomDockableWindow::GetDockTypeOf() const {
  if (docked_) return currentDock_->DockType();
  return floating_ ? dtFloating : dtNotDocked;
}

TCustomForm* TBarCustomDockableWindow::OwnerForm() {
  if (TBarFloatingWindowParent* P = FloatingParent()) return P->ParentForm();
  return GetParentForm(this);
}

void TBarCustomDockableWindow::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == defaultDock_) defaultDock_ = nullptr;
  if (AComponent == lastDock_) lastDock_ = nullptr;
  if (AComponent == currentDock_) {
    currentDock_ = nullptr;
    docked_ = false;
  }
  dockForms_.erase(std::remove(dockForms_.begin(), dockForms_.end(), AComponent), dockForms_.end());
  if (keptFloatingParent_ && keptFloatingParent_->ParentForm() == AComponent) {
    // the form goes: its floating parent cannot be reused
  }
}

void TBarCustomDockableWindow::AddDockForm(TCustomForm* Form) {
  if (std::find(dockForms_.begin(), dockForms_.end(), Form) != dockForms_.end()) return;
  dockForms_.push_back(Form);
  Form->FreeNotification(this);
}

void TBarCustomDockableWindow::RemoveDockForm(TCustomForm* Form) {
  auto It = std::find(dockForms_.begin(), dockForms_.end(), Form);
  if (It == dockForms_.end()) return;
  dockForms_.erase(It);
  Form->RemoveFreeNotification(this);
}

// ---- the docked frame ----

bool TBarCustomDockableWindow::CanDrag() const {
  return docked_ ? currentDock_->AllowDrag() : floating_;
}

int HandleSizeFor(TBarDragHandleStyle Style, bool CloseButtonWhenDocked) {
  return CloseButtonWhenDocked ? kHandleSizeWithClose : kHandleSizes[Style];
}

int TBarCustomDockableWindow::DragHandleSize() const {
  if (!docked_ || !currentDock_->AllowDrag()) return 0;
  return HandleSizeFor(dragHandleStyle_, closeButtonWhenDocked_);
}

int TBarCustomDockableWindow::DragHandleOffset() const {
  return closeButtonWhenDocked_ ? kGripOffsetsWithClose[dragHandleStyle_] : kGripOffsets[dragHandleStyle_];
}

TSize TBarCustomDockableWindow::GetDockedNCAreaSize() {
  if (!docked_) return TSize(0, 0);
  const int frame = DockedBorderSize * 2;
  const int handle = DragHandleSize();
  return currentDock_->IsVertical() ? TSize(frame, frame + handle) : TSize(frame + handle, frame);
}

bool TBarCustomDockableWindow::DragStartAllowed(TPoint ClientPoint) {
  // a press beyond the client area came only because the window held the mouse: it is not the
  // window's to drag
  if (!ClientRect().Contains(ClientPoint)) return false;
  TControl* child = ControlAtPos(ClientPoint, true, true);
  return child == nullptr;
}

void TBarCustomDockableWindow::GetFloatingNCAreaSize(TPoint& Border, int& CaptionHeight) {
  if (resizable_)
    Border = TPoint(GetSystemMetrics(SM_CXSIZEFRAME), GetSystemMetrics(SM_CYSIZEFRAME));
  else
    Border = TPoint(GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME));
  CaptionHeight = showCaption_ ? GetSystemMetrics(SM_CYSMCAPTION) : 0;
}

TRect TBarCustomDockableWindow::GetDockedCloseButtonRect(bool LeftRight) {
  const int size = DragHandleSize() - 3;
  if (LeftRight) {
    const int x = ClientWidth() + DockedBorderSize - size;
    return Bounds(x, 3, size, size);
  }
  return Bounds(3, DockedBorderSize, size, size);
}

TRect TBarCustomDockableWindow::CloseButtonRectInWindow() {
  return GetDockedCloseButtonRect(docked_ && currentDock_->IsVertical());
}

void TBarCustomDockableWindow::FrameChanged() {
  if (HandleAllocated()) SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kFrameChangedFlags);
  Arrange();
}

void TBarCustomDockableWindow::DrawDockedNCArea(HDC DC, bool /*DrawToDC*/) {
  RECT r;
  GetWindowRect(Handle(), r);
  r = Rect(0, 0, r.Width(), r.Height());
  // Everything but the client area.
  RECT client;
  GetClientRect(Handle(), client);
  POINT origin{0, 0};
  ::ClientToScreen(Handle(), origin);
  RECT window;
  GetWindowRect(Handle(), window);
  OffsetRect(client, origin.X - window.Left, origin.Y - window.Top);
  const int saved = SaveDC(DC);
  TScopeExit restore([&] { RestoreDC(DC, saved); });
  ExcludeClipRect(DC, client.Left, client.Top, client.Right, client.Bottom);

  const bool background =
      currentDock_ && currentDock_->UsingBackground() && currentDock_->BackgroundOnToolbars();
  if (background) {
    currentDock_->DrawBackground(DC, r, TPoint(window.Left, window.Top));
  } else {
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(DC, r, face);
    DeleteObject(face);
  }
  if (borderStyle_ == bsSingle) DrawEdge(DC, r, BDR_RAISEDINNER, BF_RECT);
  if (!currentDock_ || !currentDock_->AllowDrag()) return;

  const bool vertical = currentDock_->IsVertical();
  const int handle = DragHandleSize();
  if (dragHandleStyle_ != dhNone) {
    const int grips = dragHandleStyle_ == dhDouble ? 2 : 1;
    const int inset = dragHandleStyle_ == dhSingle ? 1 : 0;
    for (int g = 0; g < grips; ++g) {
      const int at = DockedBorderSize + DragHandleOffset() + g * 3;
      RECT grip = vertical ? Rect(DockedBorderSize + inset, at, r.Right - DockedBorderSize - inset, at + 3)
                           : Rect(at, DockedBorderSize + inset, at + 3, r.Bottom - DockedBorderSize - inset);
      if (closeButtonWhenDocked_) {
        // the grip leaves room for the button
        if (vertical)
          grip.Right -= handle - 1;
        else
          grip.Top += handle - 1;
      }
      DrawEdge(DC, grip, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
      SetPixel(DC, grip.Right - 1, grip.Bottom - 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    }
  }
  if (closeButtonWhenDocked_) {
    RECT button = CloseButtonRectInWindow();
    if (closeButtonDown_)
      DrawEdge(DC, button, BDR_SUNKENOUTER, BF_RECT);
    else if (closeButtonHover_)
      DrawEdge(DC, button, BDR_RAISEDINNER, BF_RECT);
    const int shift = closeButtonDown_ ? 1 : 0;
    DrawCloseGlyph(DC, button.Left + (button.Width() - 8) / 2 + shift,
                   button.Top + (button.Height() - 8) / 2 + shift, GetSysColor(COLOR_BTNTEXT));
  }
}

void TBarCustomDockableWindow::PaintNCProc(HWND /*Wnd*/, HDC DC, void* AppData) {
  auto* self = static_cast<TBarCustomDockableWindow*>(AppData);
  if (self->docked_) self->DrawDockedNCArea(DC, true);
}

void TBarCustomDockableWindow::ClearHover() {
  if (!closeButtonHover_) return;
  closeButtonHover_ = false;
  if (docked_ && HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
}

// ---- arrangement ----

void TBarCustomDockableWindow::EnableArrange() {
  assert(disableArrange_ > 0);
  if (--disableArrange_ <= 0 && arrangeNeeded_) Arrange();
}

void TBarCustomDockableWindow::Arrange() {
  if (disableArrange_ > 0 || ComponentState().Contains(csLoading) || !Parent()) {
    arrangeNeeded_ = true;
    return;
  }
  arrangeNeeded_ = false;
  const TSize size = CalcSizeForDockType(GetDockTypeOf());
  if (!autoResize_ && !docked_ && !floating_) return;
  if (docked_) {
    currentDock_->ArrangeToolbars();
    return;
  }
  const TSize nc = GetDockedNCAreaSize();
  int width = size.cx + nc.cx, height = size.cy + nc.cy;
  if (!floating_) {
    if (Anchors().Contains(akLeft) && Anchors().Contains(akRight)) width = Width();
    if (Anchors().Contains(akTop) && Anchors().Contains(akBottom)) height = Height();
  }
  ++updatingBounds_;
  TScopeExit done([this] { --updatingBounds_; });
  SetBounds(Left(), Top(), width, height);
}

void TBarCustomDockableWindow::SetDockedArrangement(int Row, int Pos, int Length, int RowSize) {
  effectiveDockRow_ = Row;
  effectiveDockPos_ = Pos;
  dockedLength_ = Length;
  dockRowSize_ = RowSize;
}

void TBarCustomDockableWindow::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool sized = AWidth != Width() || AHeight != Height();
  if (floating_ && updatingBounds_ == 0) {
    // a floating window always sits at the floating parent's client origin
    ALeft = 0;
    ATop = 0;
  }
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (TBarFloatingWindowParent* P = FloatingParent()) {
    TPoint border;
    int caption = 0;
    P->GetFrameSize(border, caption);
    P->SetBounds(P->Left(), P->Top(), AWidth + border.X * 2, AHeight + border.Y * 2 + caption);
  }
  if (sized) SizeChanged();
  if (ComponentState().Contains(csDesigning) && docked_ && updatingBounds_ == 0) {
    const bool vertical = currentDock_->IsVertical();
    dockRow_ = currentDock_->GetRowOf(vertical ? ALeft + AWidth / 2 : ATop + AHeight / 2);
    dockPos_ = vertical ? ATop : ALeft;
    currentDock_->ArrangeToolbars();
  }
}

void TBarCustomDockableWindow::Loaded() {
  TCustomControl::Loaded();
  Arrange();
}

// ---- the docking transition ----

void TBarCustomDockableWindow::SetParent(TWinControl* AParent) {
  if (AParent == Parent()) return;
  const bool destroying = ComponentState().Contains(csDestroying);
  auto* newDock = dynamic_cast<TBarDock*>(AParent);
  auto* newFloatingParent = dynamic_cast<TBarFloatingWindowParent*>(AParent);
  if (!destroying && AParent) {
    InvokeEvent(OnDockChanging, this, newFloatingParent != nullptr, newDock);
    InvokeEvent(OnRecreating, this);
  }
  TBarDock* oldDock = currentDock_;
  TBarFloatingWindowParent* oldFloatingParent = FloatingParent();
  ++dockChangingCount_;
  ++disableOnMove_;
  ++disableArrange_;
  if (oldDock) oldDock->DisableArrange();
  if (newDock && newDock != oldDock) newDock->DisableArrange();
  auto countersDown = [&] {
    --disableArrange_;
    --disableOnMove_;
    --dockChangingCount_;
    if (newDock && newDock != oldDock) newDock->EnableArrange();
    if (oldDock) oldDock->EnableArrange();
  };
  TScopeExit restore(countersDown);
  if (AParent && OnDockChangingHidden) OnDockChangingHidden(this, newFloatingParent != nullptr, newDock);

  // Off the old dock.
  if (oldDock && !(useLastDock_ && lastDock_ == oldDock)) oldDock->ChangeDockList(false, this);

  // The window keeps its handle: the parent window switches and the frame is computed again.
  TCustomControl::SetParent(AParent);
  currentDock_ = newDock;
  docked_ = newDock != nullptr;
  floating_ = newFloatingParent != nullptr;
  effectiveDockRow_ = -1;
  dockedLength_ = 0;
  if (oldDock) oldDock->ChangeDockVisibleList();
  if (HandleAllocated() && AParent) SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kFrameChangedFlags);
  if (oldFloatingParent && oldFloatingParent != keptFloatingParent_ && !inDrag_)
    delete oldFloatingParent;
  else if (oldFloatingParent)
    oldFloatingParent->SetShouldShow(false);  // kept (or freed after the drag): empty, it leaves the screen

  // On the new dock.
  if (newDock) {
    newDock->FreeNotification(this);
    if (useLastDock_ && !inDrag_) SetLastDock(newDock);
    newDock->ChangeDockList(true, this);
  }

  auto& floating = FloatingList();
  floating.erase(std::remove(floating.begin(), floating.end(), this), floating.end());
  if (floating_) floating.push_back(this);

  Arrange();
  restore.Dismiss();
  countersDown();  // the docks arrange here when they were asked to meanwhile
  if (arrangeNeeded_) Arrange();
  if (destroying || !AParent) return;
  if (OnMove && disableOnMove_ == 0) OnMove(this);
  InvokeEvent(OnRecreated, this);
  InvokeEvent(OnDockChanged, this);
}

void TBarCustomDockableWindow::DockTo(TBarDock* Dock) {
  if (Dock)
    SetParent(Dock);
  else
    SetFloating(true);
}

void TBarCustomDockableWindow::Close() {
  bool canClose = true;
  InvokeEvent(OnCloseQuery, this, canClose);
  if (!canClose) return;
  Hide();
  InvokeEvent(OnClose, this);
}

// ---- messages ----

void TBarCustomDockableWindow::TrackDockedCloseButton() {
  closeButtonDown_ = true;
  SendMessage(Handle(), WM_NCPAINT, 1, 0);
  SetCapture(Handle());
  TScopeExit release([this] {
    if (GetCapture() == Handle()) ReleaseCapture();
  });
  bool inside = true, accepted = false;
  MSG msg;
  while (GetCapture() == Handle()) {
    if (!GetMessage(msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_MOUSEMOVE) {
      POINT p = msg.pt;
      RECT window;
      GetWindowRect(Handle(), window);
      RECT button = CloseButtonRectInWindow();
      OffsetRect(button, window.Left, window.Top);
      const bool now = PtInRect(button, p);
      if (now != inside) {
        inside = now;
        closeButtonDown_ = now;
        SendMessage(Handle(), WM_NCPAINT, 1, 0);
      }
    } else if (msg.message == WM_LBUTTONUP) {
      accepted = inside;
      break;
    } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      break;
    } else if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
      // other buttons are swallowed
    } else {
      TranslateMessage(msg);
      DispatchMessage(msg);
    }
  }
  closeButtonDown_ = false;
  if (HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
  if (accepted) Close();
}

void TBarCustomDockableWindow::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !CanDrag() || !DragStartAllowed(TPoint(X, Y))) return;
  if (Shift.Contains(ssDouble)) {
    ToggleDockFloat();
    return;
  }
  BeginMoving(ClientToScreen(TPoint(X, Y)));
  MouseUp(mbLeft, {}, -1, -1);
}

void TBarCustomDockableWindow::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      if (docked_) {
        if (Message.LParam) {
          RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
          InflateRect(r, -DockedBorderSize, -DockedBorderSize);
          if (currentDock_->IsVertical())
            r.Top += DragHandleSize();
          else
            r.Left += DragHandleSize();
          if (r.Right < r.Left) r.Right = r.Left;
          if (r.Bottom < r.Top) r.Bottom = r.Top;
        }
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCHITTEST:
      if (docked_) {
        const POINT p{static_cast<int>(static_cast<short>(LOWORD(Message.LParam))),
                      static_cast<int>(static_cast<short>(HIWORD(Message.LParam)))};
        RECT client;
        GetClientRect(Handle(), client);
        POINT origin{0, 0};
        ::ClientToScreen(Handle(), origin);
        OffsetRect(client, origin.X, origin.Y);
        if (PtInRect(client, p)) break;
        if (closeButtonWhenDocked_ && currentDock_->AllowDrag()) {
          RECT window;
          GetWindowRect(Handle(), window);
          RECT button = CloseButtonRectInWindow();
          OffsetRect(button, window.Left, window.Top);
          if (PtInRect(button, p)) {
            Message.Result = HT_BAR_CLOSE;
            return;
          }
        }
        Message.Result = HT_BAR_DRAGHANDLE;
        return;
      }
      break;
    case WM_SETCURSOR:
      if (docked_ && currentDock_->AllowDrag() && dragHandleStyle_ != dhNone &&
          static_cast<HWND>(reinterpret_cast<void*>(Message.WParam)) == Handle()) {
        POINT p;
        GetCursorPos(p);
        RECT window;
        GetWindowRect(Handle(), window);
        const int along = currentDock_->IsVertical() ? p.Y - window.Top : p.X - window.Left;
        const int hit = static_cast<int>(static_cast<short>(LOWORD(Message.LParam)));
        if (hit == HT_BAR_DRAGHANDLE && along < DragHandleSize() + DockedBorderSize) {
          ::SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_NCPAINT:
      if (docked_) {
        HDC dc = GetWindowDC(Handle());
        DrawDockedNCArea(dc, false);
        ReleaseDC(Handle(), dc);
        Message.Result = 0;
        return;
      }
      break;
    case WM_PRINT:
      Message.Result = HandleWMPrint(Handle(), Message, &TBarCustomDockableWindow::PaintNCProc, this);
      return;
    case WM_ERASEBKGND:
      if (docked_ && currentDock_->UsingBackground() && currentDock_->BackgroundOnToolbars()) {
        RECT r;
        GetClientRect(Handle(), r);
        POINT origin{0, 0};
        ::ClientToScreen(Handle(), origin);
        currentDock_->DrawBackground(reinterpret_cast<HDC>(Message.WParam), r, origin);
        Message.Result = 1;
        return;
      }
      break;
    case WM_MOVE:
      TCustomControl::WndProc(Message);
      if (docked_ && currentDock_->UsingBackground()) Invalidate();
      if (OnMove && disableOnMove_ == 0) OnMove(this);
      return;
    case WM_NCLBUTTONDOWN:
      if (Message.WParam == static_cast<WPARAM>(HT_BAR_DRAGHANDLE)) {
        if (CanDrag()) {
          POINT p{static_cast<int>(static_cast<short>(LOWORD(Message.LParam))),
                  static_cast<int>(static_cast<short>(HIWORD(Message.LParam)))};
          BeginMoving(p);
        }
        Message.Result = 0;
        return;
      }
      if (Message.WParam == static_cast<WPARAM>(HT_BAR_CLOSE)) {
        TrackDockedCloseButton();
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (Message.WParam == static_cast<WPARAM>(HT_BAR_DRAGHANDLE)) {
        ToggleDockFloat();
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCMOUSEMOVE:
      CallTrackMouseEvent(Handle(), TME_LEAVE | TME_NONCLIENT);
      if (docked_ && closeButtonWhenDocked_) {
        const bool hover = Message.WParam == static_cast<WPARAM>(HT_BAR_CLOSE);
        if (hover != closeButtonHover_) {
          closeButtonHover_ = hover;
          SendMessage(Handle(), WM_NCPAINT, 1, 0);
        }
      }
      break;
    case WM_NCMOUSELEAVE:
    case WM_MOUSELEAVE:
    case WM_MOUSEMOVE:
      ClearHover();
      break;
    case WM_NCRBUTTONUP:
      SendMessage(Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), Message.LParam);
      Message.Result = 0;
      return;
    case WM_ENABLE:
      TCustomControl::WndProc(Message);
      if (floatingMode_ == fmOnTopOfAllForms)
        if (TBarFloatingWindowParent* P = FloatingParent()) P->UpdateOwnerAndTopmost();
      return;
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
      TCustomControl::WndProc(Message);
      Invalidate();
      if (docked_ && HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
      if (TBarFloatingWindowParent* P = FloatingParent()) P->SetCaption(Caption());
      return;
    case CM_VISIBLECHANGED:
      TCustomControl::WndProc(Message);
      if (currentDock_) currentDock_->ChangeDockVisibleList();
      UpdateVisibility();
      InvokeEvent(OnVisibleChanged, this);
      return;
    default:
      break;
  }
  TCustomControl::WndProc(Message);
}
