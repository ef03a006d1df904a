// Floating: the floating window parent (frame, caption, close button, hit codes), floating and docking
// back, keeping floating frames on screen, and which floating windows show.
#include <algorithm>
#include <cassert>
#include <cstdio>

#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarUtils.h"

void DrawCloseGlyph(HDC DC, int X, int Y, COLORREF Color);

namespace {

constexpr int kMaxTrack = 32767;
constexpr UINT kSpiGetGradientCaptions = 0x1008;
constexpr UINT kShowFlags = SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

// The eight hex digits of each floating parent's name: a counter, so that names never collide.
unsigned NextFloatingParentNumber() {
  static unsigned counter = 0;
  return ++counter;
}

TPoint PointFromLParam(LPARAM LParam) {
  return TPoint(static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// TBarFloatingWindowParent

TBarFloatingWindowParent::TBarFloatingWindowParent(TBarCustomDockableWindow* Window, TCustomForm* ParentForm)
    : TCustomForm(nullptr), dockableWindow_(Window), parentForm_(ParentForm) {
  SetBorderStyle(bsToolWindow);
  SetShowHint(true);
  SetColor(clBtnFace);
  // The form may go first (its owned windows go after the form part of it is gone): forget it then.
  if (parentForm_) parentForm_->FreeNotification(this);
}

TBarFloatingWindowParent::~TBarFloatingWindowParent() {
  if (parentForm_) parentForm_->RemoveFreeNotification(this);
}

void TBarFloatingWindowParent::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomForm::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == parentForm_) parentForm_ = nullptr;
}

void TBarFloatingWindowParent::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  Params.Style =
      (Params.Style & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_CHILD)) | WS_POPUP | WS_BORDER;
  if (dockableWindow_->Resizable()) Params.Style |= WS_THICKFRAME;
  Params.ExStyle = (Params.ExStyle & ~WS_EX_TOPMOST) | WS_EX_TOOLWINDOW | talvik::gui::WS_EX_MANAGEDTOOL;
  Params.WndParent = OwnerWindow();
}

HWND TBarFloatingWindowParent::OwnerWindow() {
  CreateApplication();
  if (dockableWindow_->FloatingMode() == fmOnTopOfAllForms || !parentForm_) return Application->Handle();
  TCustomForm* owner = parentForm_;
  if (owner->FormStyle() == fsMDIChild && Application->MainForm()) owner = Application->MainForm();
  return owner->Handle();
}

void TBarFloatingWindowParent::UpdateOwnerAndTopmost() {
  if (!HandleAllocated()) return;
  HWND owner = OwnerWindow();
  if (GetWindow(Handle(), GW_OWNER) != owner)
    SetWindowLongPtr(Handle(), GWL_HWNDPARENT, reinterpret_cast<std::intptr_t>(owner));
  bool topmost = false;
  if (dockableWindow_->FloatingMode() == fmOnTopOfAllForms)
    topmost = dockableWindow_->Enabled();
  else
    topmost = (GetWindowLongPtr(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  SetWindowPos(Handle(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TBarFloatingWindowParent::SetShouldShow(bool Value) {
  shouldShow_ = Value;
  if (Value == Visible()) return;
  if (!Value && HandleAllocated() && GetActiveWindow() == Handle()) ActivateAnotherWindow(false);
  SetVisible(Value);
  if (Value && HandleAllocated()) {
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kShowFlags);
    UpdateOwnerAndTopmost();
  }
}

void TBarFloatingWindowParent::ActivateAnotherWindow(bool SkipFloating) {
  HWND next = nullptr, topmost = nullptr;
  for (HWND W : GetTopLevelWindows()) {
    if (W == Handle() || !IsWindowVisible(W) || !IsWindowEnabled(W)) continue;
    if (SkipFloating && dynamic_cast<TBarFloatingWindowParent*>(FindControl(W))) continue;
    if (GetWindowLongPtr(W, GWL_EXSTYLE) & WS_EX_TOPMOST) {
      if (!topmost) topmost = W;
    } else if (!next) {
      next = W;
    }
  }
  if (next || topmost) SetActiveWindow(next ? next : topmost);
}

void TBarFloatingWindowParent::GetFrameSize(TPoint& Border, int& CaptionHeight) {
  dockableWindow_->GetFloatingNCAreaSize(Border, CaptionHeight);
}

TRect TBarFloatingWindowParent::CloseButtonRect() {
  TPoint border;
  int caption = 0;
  GetFrameSize(border, caption);
  if (!dockableWindow_->CloseButton() || caption == 0) return TRect();
  const int size = caption - 2;
  const int right = Width() - border.X - 1;
  return Rect(right - size, border.Y + 1, right, border.Y + 1 + size);
}

void TBarFloatingWindowParent::RedrawCaption() {
  if (HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
}

void TBarFloatingWindowParent::SetInactiveCaption(bool Value) {
  if (Value == inactiveCaption_) return;
  inactiveCaption_ = Value;
  RedrawCaption();
}

void TBarFloatingWindowParent::DrawFrame(HDC DC) {
  RECT r = Rect(0, 0, Width(), Height());
  TPoint border;
  int caption = 0;
  GetFrameSize(border, caption);
  const int saved = SaveDC(DC);
  TScopeExit restore([&] { RestoreDC(DC, saved); });
  ExcludeClipRect(DC, border.X, border.Y + caption, r.Right - border.X, r.Bottom - border.Y);
  DrawEdge(DC, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  FillRect(DC, r, GetSysColorBrush(COLOR_BTNFACE));
  if (caption == 0) return;
  bool gradient = false;
  SystemParametersInfo(kSpiGetGradientCaptions, 0, &gradient, 0);
  RECT bar = Rect(border.X, border.Y, Width() - border.X, border.Y + caption - 1);
  UINT flags = DC_SMALLCAP | DC_TEXT;
  if (!inactiveCaption_) flags |= DC_ACTIVE;
  if (gradient) flags |= DC_GRADIENT;
  RECT text = bar;
  const TRect close = CloseButtonRect();
  if (!close.IsEmpty()) {
    text.Right = close.Left - 2;
    // the button's part of the caption in the caption colour
    const int colour = inactiveCaption_ ? (gradient ? COLOR_GRADIENTINACTIVECAPTION : COLOR_INACTIVECAPTION)
                                        : (gradient ? COLOR_GRADIENTACTIVECAPTION : COLOR_ACTIVECAPTION);
    RECT rest = Rect(text.Right, bar.Top, bar.Right, bar.Bottom);
    FillRect(DC, rest, GetSysColorBrush(colour));
  }
  DrawCaption(Handle(), DC, text, flags);
  // the line under the caption
  RECT line = Rect(bar.Left, bar.Bottom, bar.Right, bar.Bottom + 1);
  FillRect(DC, line, GetSysColorBrush(COLOR_BTNFACE));
  if (!close.IsEmpty()) {
    RECT button = close;
    DrawFrameControl(DC, button, DFC_CAPTION, DFCS_CAPTIONCLOSE | (closeButtonDown_ ? DFCS_PUSHED : 0));
  }
}

void TBarFloatingWindowParent::PaintNCProc(HWND /*Wnd*/, HDC DC, void* AppData) {
  static_cast<TBarFloatingWindowParent*>(AppData)->DrawFrame(DC);
}

LRESULT TBarFloatingWindowParent::HitTest(TPoint Screen) {
  RECT window;
  GetWindowRect(Handle(), window);
  const TPoint p(Screen.X - window.Left, Screen.Y - window.Top);
  TPoint border;
  int caption = 0;
  GetFrameSize(border, caption);
  const int w = Width(), h = Height();
  if (p.X < 0 || p.Y < 0 || p.X >= w || p.Y >= h) return HTNOWHERE;
  const TRect close = CloseButtonRect();
  if (!close.IsEmpty() && PtInRect(close, p)) return HT_BAR_CLOSE;
  const TRect captionRect = Rect(border.X, border.Y, w - border.X, border.Y + caption);
  if (PtInRect(captionRect, p)) return HT_BAR_CAPTION;
  const TRect client = Rect(border.X, border.Y + caption, w - border.X, h - border.Y);
  if (PtInRect(client, p)) return HTCLIENT;
  if (!dockableWindow_->Resizable()) return HTBORDER;
  if (dockableWindow_->CornerSizing()) {
    const int corner = std::max(caption, border.X);
    const bool left = p.X < corner, right = p.X >= w - corner, top = p.Y < corner, bottom = p.Y >= h - corner;
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (bottom && right) return HTBOTTOMRIGHT;
  }
  if (p.X < border.X) return HTLEFT;
  if (p.X >= w - border.X) return HTRIGHT;
  if (p.Y < border.Y) return HTTOP;
  return HTBOTTOM;
}

void TBarFloatingWindowParent::TrackCloseButton() {
  closeButtonDown_ = true;
  RedrawCaption();
  SetCapture(Handle());
  bool inside = true, accepted = false;
  {
    TScopeExit release([this] {
      if (GetCapture() == Handle()) ReleaseCapture();
    });
    MSG msg;
    while (GetCapture() == Handle()) {
      if (!GetMessage(msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (msg.message == WM_MOUSEMOVE) {
        RECT window;
        GetWindowRect(Handle(), window);
        TRect button = CloseButtonRect();
        OffsetRect(button, window.Left, window.Top);
        const bool now = PtInRect(button, msg.pt);
        if (now != inside) {
          inside = now;
          closeButtonDown_ = now;
          RedrawCaption();
        }
      } else if (msg.message == WM_LBUTTONUP) {
        accepted = inside;
        break;
      } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        break;
      } else if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
        // swallowed
      } else {
        TranslateMessage(msg);
        DispatchMessage(msg);
      }
    }
  }
  closeButtonDown_ = false;
  RedrawCaption();
  if (accepted) dockableWindow_->Close();
}

void TBarFloatingWindowParent::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE: {
      if (Message.LParam) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        TPoint border;
        int caption = 0;
        GetFrameSize(border, caption);
        r.Left += border.X;
        r.Right -= border.X;
        r.Top += border.Y + caption;
        r.Bottom -= border.Y;
        if (r.Right < r.Left) r.Right = r.Left;
        if (r.Bottom < r.Top) r.Bottom = r.Top;
      }
      Message.Result = 0;
      return;
    }
    case WM_NCHITTEST:
      Message.Result = HitTest(PointFromLParam(Message.LParam));
      return;
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(Handle());
      DrawFrame(dc);
      ReleaseDC(Handle(), dc);
      Message.Result = 0;
      return;
    }
    case WM_PRINT:
      Message.Result = HandleWMPrint(Handle(), Message, &TBarFloatingWindowParent::PaintNCProc, this);
      return;
    case WM_NCACTIVATE:
      // the caption's look follows the application, not this window's activation
      Message.Result = 1;
      return;
    case WM_NCLBUTTONDOWN:
      switch (static_cast<LRESULT>(Message.WParam)) {
        case HTLEFT:
        case HTRIGHT:
        case HTTOP:
        case HTBOTTOM:
        case HTTOPLEFT:
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
        case HTBOTTOMRIGHT:
          dockableWindow_->BeginSizing(static_cast<int>(Message.WParam));
          Message.Result = 0;
          return;
        case HT_BAR_CLOSE:
          TrackCloseButton();
          Message.Result = 0;
          return;
        case HT_BAR_CAPTION:
          dockableWindow_->BeginMoving(PointFromLParam(Message.LParam));
          Message.Result = 0;
          return;
        default:
          break;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (static_cast<LRESULT>(Message.WParam) == HT_BAR_CAPTION) {
        dockableWindow_->ToggleDockFloat();
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCRBUTTONUP:
      if (dockableWindow_->HandleAllocated())
        SendMessage(dockableWindow_->Handle(), WM_CONTEXTMENU,
                    reinterpret_cast<WPARAM>(dockableWindow_->Handle()), Message.LParam);
      Message.Result = 0;
      return;
    case CM_DIALOGKEY:
      if (Message.WParam == VK_ESCAPE && GetShiftState().Empty() && parentForm_ &&
          parentForm_->HandleAllocated()) {
        SetActiveWindow(parentForm_->Handle());
        Message.Result = 1;
        return;
      }
      break;
    case WM_ACTIVATE:
      if (parentForm_ && parentForm_->HandleAllocated()) {
        SendMessage(parentForm_->Handle(), WM_NCACTIVATE, 1, 0);
        if (LOWORD(Message.WParam) != WA_INACTIVE) {
          if (IsWindowVisible(parentForm_->Handle()))
            SetActiveWindow(parentForm_->Handle());
          else
            ActivateAnotherWindow(true);
        }
      }
      Message.Result = 0;
      return;
    case WM_MOUSEACTIVATE:
      SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      if (dockableWindow_->FloatingMode() == fmOnTopOfParentForm && dockableWindow_->ActivateParent() &&
          parentForm_ && parentForm_->HandleAllocated() && IsWindowVisible(parentForm_->Handle()))
        SetActiveWindow(parentForm_->Handle());
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
      info->ptMinTrackSize = POINT{1, 1};
      info->ptMaxTrackSize = POINT{kMaxTrack, kMaxTrack};
      Message.Result = 0;
      return;
    }
    case WM_CLOSE:
      dockableWindow_->Close();
      Message.Result = 0;
      return;
    case WM_SYSCOMMAND:
      if ((Message.WParam & 0xFFF0) == SC_CLOSE) {
        // The desktop's close (Alt+F4 where it took this window for the active one): as the activation,
        // it is the owner form's. The window's own close stays its close button's.
        if (parentForm_ && parentForm_->HandleAllocated())
          PostMessage(parentForm_->Handle(), WM_SYSCOMMAND, SC_CLOSE, Message.LParam);
        Message.Result = 0;
        return;
      }
      break;
    case WM_MOVE:
      TCustomForm::WndProc(Message);
      dockableWindow_->floatingPosition_ = TPoint(Left(), Top());
      if (dockableWindow_->OnMove) dockableWindow_->OnMove(dockableWindow_);
      return;
    case CM_TEXTCHANGED:
      TCustomForm::WndProc(Message);
      RedrawCaption();
      return;
    default:
      break;
  }
  TCustomForm::WndProc(Message);
}

// ---------------------------------------------------------------------------------------------------
// Floating and docking back

void TBarCustomDockableWindow::SetFloating(bool Value) {
  if (Value == floating_) return;
  if (!Value) {
    SetParent(OwnerForm());
    return;
  }
  if (ComponentState().Contains(csDesigning)) return;
  TCustomForm* form = OwnerForm();
  if (!form) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  TBarFloatingWindowParent* P = keptFloatingParent_;
  if (!P || P->ParentForm() != form) {
    if (P && P != Parent()) delete P;
    char name[64];
    std::snprintf(name, sizeof name, "QXFloatingWindowParent_%.8x", NextFloatingParentNumber());
    P = new TBarFloatingWindowParent(this, form);
    P->SetName(name);
    keptFloatingParent_ = P;
  }
  P->SetCaption(Caption());
  TPoint border;
  int caption = 0;
  GetFloatingNCAreaSize(border, caption);
  const TRect client = ClientRect();
  P->SetBounds(floatingPosition_.X, floatingPosition_.Y, client.Width() + border.X * 2,
               client.Height() + border.Y * 2 + caption);
  SetParent(P);
  ++updatingBounds_;
  {
    TScopeExit done([this] { --updatingBounds_; });
    const TSize size = CalcSizeForDockType(dtFloating);
    SetBounds(0, 0, size.cx, size.cy);
  }
  UpdateVisibility();
}

void TBarCustomDockableWindow::ToggleDockFloat() {
  if (floating_) {
    if (lastDock_) {
      SetParent(lastDock_);
    } else if (defaultDock_) {
      dockRow_ = 0;
      dockPos_ = -8;
      SetParent(defaultDock_);
    }
    return;
  }
  if (docked_ && dockMode_ == dmCanFloat) {
    SetFloating(true);
    MoveOnScreen(true);
  }
}

void TBarCustomDockableWindow::MoveOnScreen(bool OnlyIfFullyOffscreen) {
  TBarFloatingWindowParent* P = FloatingParent();
  if (!P) return;
  TRect r = P->BoundsRect();
  TRect work;
  GetRectOfMonitorContainingRect(r, true, work);
  if (OnlyIfFullyOffscreen) {
    TRect common;
    if (IntersectRect(common, r, work)) return;
  }
  if (r.Right > work.Right) OffsetRect(r, work.Right - r.Right, 0);
  if (r.Bottom > work.Bottom) OffsetRect(r, 0, work.Bottom - r.Bottom);
  if (r.Left < work.Left) OffsetRect(r, work.Left - r.Left, 0);
  if (r.Top < work.Top) OffsetRect(r, 0, work.Top - r.Top);
  P->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  floatingPosition_ = TPoint(r.Left, r.Top);
}

// ---------------------------------------------------------------------------------------------------
// Which floating windows show

void TBarCustomDockableWindow::UpdateVisibility() {
  TBarFloatingWindowParent* P = FloatingParent();
  if (!P) return;
  bool show = Visible();
  const bool active = ApplicationIsActive();
  if (show && floatingMode_ == fmOnTopOfParentForm) {
    TCustomForm* form = P->ParentForm();
    show = form && form->HandleAllocated() && form->Visible() && !IsIconic(form->Handle());
    if (show && form->FormStyle() == fsMDIChild && Application && Application->MainForm()) {
      TCustomForm* frame = Application->MainForm();
      show = frame->HandleAllocated() && frame->Visible() && !IsIconic(frame->Handle());
    }
    CreateApplication();
    if (show && IsIconic(Application->Handle())) show = false;
  }
  if (show && hideWhenInactive_ && !active) show = false;
  P->SetInactiveCaption(!hideWhenInactive_ && !active);
  P->SetShouldShow(show);
}

void TBarCustomDockableWindow::HookProc(THookProcCode Code, HWND Wnd, WPARAM /*WParam*/, LPARAM /*LParam*/) {
  const auto list = FloatingToolWindows();  // showing may change the list
  switch (Code) {
    case hpSendActivateApp:
      for (TBarCustomDockableWindow* W : list)
        if (std::find(FloatingToolWindows().begin(), FloatingToolWindows().end(), W) !=
            FloatingToolWindows().end())
          W->UpdateVisibility();
      break;
    case hpSendWindowPosChanged:
      for (TBarCustomDockableWindow* W : list) {
        if (std::find(FloatingToolWindows().begin(), FloatingToolWindows().end(), W) ==
            FloatingToolWindows().end())
          continue;
        TBarFloatingWindowParent* P = W->FloatingParent();
        if (P && P->ParentForm() && P->ParentForm()->HandleAllocated() && P->ParentForm()->Handle() == Wnd)
          W->UpdateVisibility();
      }
      break;
    case hpPreDestroy:
      // floating parents owned by a window that goes are handed to the application window
      for (TBarCustomDockableWindow* W : list) {
        TBarFloatingWindowParent* P = W->FloatingParent();
        if (P && P->HandleAllocated() && GetWindow(P->Handle(), GW_OWNER) == Wnd) {
          CreateApplication();
          SetWindowLongPtr(P->Handle(), GWL_HWNDPARENT,
                           reinterpret_cast<std::intptr_t>(Application->Handle()));
        }
      }
      break;
    case hpGetMessage:
      break;
  }
}
