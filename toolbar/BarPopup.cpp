#include "toolbar/BarPopup.h"

#include <cassert>
#include <climits>

#include "platform/gui/Forms.h"
#include "toolbar/BarAccessibility.h"
#include "toolbar/BarAnimation.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kScrollBand = 19;
constexpr int kAnimationTime = 150;
constexpr int kViewTimerCount = 4;  // the loop routes the open, close and scroll timers
constexpr UINT WM_KEYF1 = 0x004D, WM_SYSTIMER = 0x0118;
constexpr UINT kShowFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW;
constexpr UINT kHideFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW;
constexpr char kHandlerWindowClass[] = "TBarModalHandlerWindow";

// The last mouse position the loop acted on; kInvalid in X means "read it again".
constexpr int kInvalid = INT_MIN;
TPoint LastMousePos(kInvalid, 0);

TBarMenuLoopIdleHook& IdleHook() {
  static TBarMenuLoopIdleHook hook;
  return hook;
}

struct MenuFontState {
  TFont* font = nullptr;
  int refs = 0;
};
MenuFontState& MenuFontRef() {
  static MenuFontState state;
  return state;
}

bool IsMouseMessage(UINT Msg) {
  return (Msg >= WM_MOUSEFIRST && Msg <= WM_MOUSELAST) ||
         (Msg >= WM_NCMOUSEMOVE && Msg <= WM_NCMBUTTONDBLCLK);
}

TPoint MessagePoint(const MSG& Msg) {
  return TPoint(Msg.pt.X, Msg.pt.Y);
}

// The views of the loop, from the root to the innermost open popup.
std::vector<TBarView*> Chain(TBarView* Root) {
  std::vector<TBarView*> chain;
  for (TBarView* v = Root; v; v = v->OpenView()) chain.push_back(v);
  return chain;
}

// Every view of the chain tracks the point, from the innermost up; a view holding the mouse tracks alone.
void TrackChain(TBarView* Root, const TPoint& P, bool AllowNewSelection) {
  std::vector<TBarView*> chain = Chain(Root);
  for (TBarView* v : chain)
    if (v->MouseCaptured()) {
      v->TrackMouse(&P, AllowNewSelection);
      return;
    }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    // tracking may close popups further down the chain
    std::vector<TBarView*> now = Chain(Root);
    if (std::find(now.begin(), now.end(), *it) == now.end()) continue;
    (*it)->TrackMouse(&P, AllowNewSelection);
  }
}

// Where mouse input goes: the selected viewer of the first view holding the mouse, else of the first
// view with a selection and the mouse over it. A popup under the mouse ends the search with no viewer
// (the mouse is on its frame or a scroll band): the input is the popup's own.
struct MouseTargetFound {
  TBarView* View = nullptr;
  TBarItemViewer* Viewer = nullptr;
};
MouseTargetFound FindMouseTarget(TBarView* Root) {
  std::vector<TBarView*> chain = Chain(Root);
  for (TBarView* v : chain)
    if (v->MouseCaptured()) return {v, v->Selected()};
  for (TBarView* v : chain) {
    if (v->Selected() && v->State().Contains(vsMouseInWindow)) return {v, v->Selected()};
    if (v->State().Contains(vsStopSearch)) return {v, nullptr};
  }
  return {};
}

TBarItemViewer* MouseTarget(TBarView* Root) {
  return FindMouseTarget(Root).Viewer;
}

TPoint InViewer(TBarItemViewer* Viewer, const TPoint& Screen) {
  const TPoint c = Viewer->View()->Window()->ScreenToClient(Screen);
  return TPoint(c.X - Viewer->BoundsRect.Left, c.Y - Viewer->BoundsRect.Top);
}

void UpdateCursorAndHint(TBarView* Root) {
  TrackChain(Root, LastMousePos, true);
  TBarView* inner = Root->InnermostView();
  TBarItemViewer* selected = inner->Selected();
  if (selected && inner->Window() && Application) {
    bool held = false;
    for (TBarView* v : Chain(Root)) held = held || v->MouseCaptured();
    if ((inner->Style().Contains(vsAlwaysShowHints) ||
         selected->Item()->EffectiveOptions().Contains(tboShowHint)) &&
        !held) {
      const TPoint c = inner->Window()->ScreenToClient(LastMousePos);
      TMessage move{WM_MOUSEMOVE, 0, MAKELPARAM(c.X, c.Y), 0};
      Application->HintMouseMessage(inner->Window(), move);
    } else {
      Application->CancelHint();
    }
  }
  HCURSOR cursor = nullptr;
  if (selected && inner->Window() && selected->GetCursor(InViewer(selected, LastMousePos), cursor) &&
      cursor) {
    SetCursor(cursor);
    return;
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

// The long hint of the deepest selected item.
std::string DeepestHint(TBarView* Root) {
  TBarItemViewer* deepest = nullptr;
  for (TBarView* v = Root; v && v->Selected(); v = v->OpenView()) deepest = v->Selected();
  return deepest ? GetLongHint(deepest->Item()->Hint()) : std::string();
}

bool InChain(TBarView* Root, TControl* Control) {
  auto* popup = dynamic_cast<TBarPopupWindow*>(Control);
  if (!popup) return false;
  for (TBarView* v : Chain(Root))
    if (v == popup->View()) return true;
  return false;
}

bool ButtonHeld(bool RightCounts) {
  return GetKeyState(VK_LBUTTON) < 0 || (RightCounts && GetKeyState(VK_RBUTTON) < 0);
}

LRESULT HandlerWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefWindowProc(Wnd, Msg, WParam, LParam);
}

}  // namespace

void SetMenuLoopIdleHook(TBarMenuLoopIdleHook Hook) {
  IdleHook() = std::move(Hook);
}

// ---------------------------------------------------------------------------------------------------
// TBarModalHandler

TBarModalHandler::TBarModalHandler(HWND Wnd) : wnd_(Wnd) {
  const DWORD pos = GetMessagePos();
  LastMousePos = TPoint(GET_X_LPARAM(static_cast<LPARAM>(pos)), GET_Y_LPARAM(static_cast<LPARAM>(pos)));
  if (!wnd_) {
    WNDCLASS wc;
    if (!GetClassInfo(kHandlerWindowClass, wc)) {
      wc.lpfnWndProc = HandlerWindowProc;
      wc.lpszClassName = kHandlerWindowClass;
      RegisterClass(wc);
    }
    wnd_ = CreateWindowEx(WS_EX_TOOLWINDOW, kHandlerWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, 0,
                          nullptr, nullptr);
    createdWnd_ = true;
  }
  SetCapture(wnd_);
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  BarNotifyWinEvent(EVENT_SYSTEM_MENUSTART, wnd_, OBJID_CLIENT, CHILDID_SELF);
  menuStartSent_ = true;
}

TBarModalHandler::~TBarModalHandler() {
  if (wnd_ && GetCapture() == wnd_) ReleaseCapture();
  if (menuStartSent_) BarNotifyWinEvent(EVENT_SYSTEM_MENUEND, wnd_, OBJID_CLIENT, CHILDID_SELF);
  if (createdWnd_ && wnd_) DestroyWindow(wnd_);
}

void TBarModalHandler::Loop(TBarView* RootView, TBarMenuLoopOptions Options, const bool* RootGone) {
  assert(RootView);
  TBarView* const root = RootView;
  auto gone = [RootGone] { return RootGone && *RootGone; };
  const bool rightCounts = Options.Contains(mloRightButtonCounts);
  bool pressedOnMenu = false;
  root->DoneActionData() = TBarDoneActionData();
  root->ValidatePositions();

  auto finish = [&] {
    if (!gone())
      for (TBarView* v : Chain(root)) v->SetMouseCaptured(false);
    LastMousePos = TPoint(kInvalid, 0);
    if (Application) Application->SetHint("");
    RemoveMessages(WM_CHAR, WM_DEADCHAR);
    RemoveMessages(WM_SYSCHAR, WM_SYSDEADCHAR);
    RemoveMessages(WM_KEYF1, WM_KEYF1);
  };
  struct Finisher {
    decltype(finish)& f;
    ~Finisher() { f(); }
  } finisher{finish};
  auto decided = [&] { return gone() || root->DoneActionData().Decided(); };

  // Entering: the press that opened the loop, or the selected item carried out or opened at once.
  if (Options.Contains(mloExecuteSelected)) {
    root->ActivateSelected(true);
    if (decided()) return;
  }
  if (Options.Contains(mloMousePress)) {
    if (TBarItemViewer* selected = root->Selected()) {
      const TPoint p = InViewer(selected, LastMousePos);
      selected->MouseDown(TShiftState(), p.X, p.Y, pressedOnMenu);
      if (decided()) return;
    }
  } else if (Options.Contains(mloOpenSelected)) {
    root->ShowChildPopup(!Options.Contains(mloNoFirstItem));
    if (decided()) return;
  }

  bool firstPass = true;
  while (GetCapture() == wnd_) {
    if (!firstPass) {
      MSG peek;
      if (!PeekMessage(peek, nullptr, 0, 0, PM_NOREMOVE)) {
        if (const TBarMenuLoopIdleHook& hook = IdleHook()) hook();
        if (gone()) return;
        if (GetCapture() != wnd_ || decided()) break;
        WaitMessage();
      }
    }
    firstPass = false;
    MSG msg;
    while (GetCapture() == wnd_ && PeekMessage(msg, nullptr, 0, 0, PM_NOREMOVE)) {
      // a. a press is looked at before it leaves the queue: outside the menu it ends the loop and
      // stays for whatever lies under it
      if (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN) {
        const TPoint p = MessagePoint(msg);
        TControl* under = FindDragTarget(p, true);
        if (!InChain(root, under)) {
          TWinControl* own = root->Window();
          bool outside = root->Customizing() || under != own;
          if (!outside) {
            const TPoint c = own->ScreenToClient(p);
            outside = !own->ClientRect().Contains(c);
          }
          if (outside) {
            root->EndModal();
            return;
          }
          if (msg.message == WM_LBUTTONDOWN) {
            TrackChain(root, p, true);
            TBarItemViewer* selected = root->Selected();
            if (!selected || !root->State().Contains(vsMouseInWindow) ||
                selected->Item()->ItemStyle().Contains(tisSeparator)) {
              root->EndModal();
              return;
            }
          }
        }
      }

      // b. the message leaves the queue and is acted on
      if (!PeekMessage(msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) break;
      const UINT m = msg.message;
      if (m == WM_QUIT) {
        // the loop that called us ends too
        PostQuitMessage(static_cast<int>(msg.wParam));
        root->EndModal();
        root->DoneActionData() = TBarDoneActionData();
        return;
      }
      if (m == WM_TIMER) {
        auto* popup = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(msg.hwnd));
        if (popup && msg.wParam >= kBarViewTimerBase && msg.wParam < kBarViewTimerBase + kViewTimerCount)
          popup->View()->TimerAction(static_cast<int>(msg.wParam - kBarViewTimerBase));
        else
          DispatchMessage(msg);
      } else if (m == WM_KEYF1 || m == WM_CONTEXTMENU || m == WM_SYSTIMER) {
        // swallowed
      } else if (m >= WM_KEYDOWN && m <= WM_SYSDEADCHAR) {
        if (Application) Application->CancelHint();
        const bool held = ButtonHeld(rightCounts);
        if ((m == WM_CHAR || m == WM_SYSCHAR) && !held) {
          TBarView* inner = root->InnermostView();
          const char32_t ch = static_cast<char32_t>(msg.wParam);
          bool unique = false;
          if (TBarItemViewer* found = inner->FindViewerByAccel(ch, inner->Selected(), false, unique)) {
            inner->SelectViewer(found);
            inner->ScrollIntoView(found);
            // a disabled item is only shown: there is nothing to carry out
            if (unique && found->Item()->Enabled()) {
              if (found->Item()->ItemStyle().Contains(tisHasSubmenu))
                inner->ShowChildPopup(true);
              else
                inner->ActivateSelected(true);
            }
          } else if ((ch == ' ' || ch == '-') && inner == root && !root->Customizing() && GetActiveWindow()) {
            root->EndModalWithSystemMenu(GetActiveWindow(), ch);
          } else {
            MessageBeep(0);
          }
        } else if ((m == WM_KEYDOWN || m == WM_SYSKEYDOWN) && (!held || msg.wParam == VK_F1)) {
          const TShiftState shift = KeyDataToShiftState(msg.lParam);
          WORD key = static_cast<WORD>(msg.wParam);
          TBarView* inner = root->InnermostView();
          if (TBarItemViewer* selected = inner->Selected()) selected->KeyDown(key, shift);
          if (key != 0 && !decided()) inner->KeyDown(key, shift);
          if (decided()) return;
          if (key != 0) TranslateMessage(msg);
        }
      } else if (m == WM_MOUSEMOVE) {
        const TPoint p = MessagePoint(msg);
        if (!PointsEqual(p, LastMousePos)) {
          LastMousePos = p;
          UpdateCursorAndHint(root);
        }
        if (TBarItemViewer* target = MouseTarget(root)) {
          const TPoint v = InViewer(target, p);
          target->MouseMove(v.X, v.Y);
        }
      } else if (m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK || (rightCounts && m == WM_RBUTTONDOWN)) {
        if (Application) Application->CancelHint();
        pressedOnMenu = false;
        const TPoint p = MessagePoint(msg);
        TrackChain(root, p, true);
        if (TBarItemViewer* target = MouseTarget(root)) {
          const TPoint v = InViewer(target, p);
          TShiftState shift;
          if (m == WM_LBUTTONDBLCLK) shift.Include(ssDouble);
          target->MouseDown(shift, v.X, v.Y, pressedOnMenu);
        }
        LastMousePos = p;
      } else if (m == WM_LBUTTONUP || (rightCounts && m == WM_RBUTTONUP)) {
        const TPoint p = MessagePoint(msg);
        TrackChain(root, p, false);
        const MouseTargetFound found = FindMouseTarget(root);
        if (found.Viewer) {
          const TPoint v = InViewer(found.Viewer, p);
          found.Viewer->MouseUp(v.X, v.Y, pressedOnMenu);
        } else if (!found.View || (found.View == root && root->IsToolbar())) {
          // released over none of the menu's popups
          root->EndModal();
        }
      } else if (m == WM_MOUSEWHEEL) {
        if (TBarItemViewer* target = MouseTarget(root))
          target->MouseWheel(GET_WHEEL_DELTA_WPARAM(msg.wParam));
      } else if (IsMouseMessage(m)) {
        // swallowed
      } else {
        DispatchMessage(msg);
      }

      // c. after every message (whose handlers may have taken the menu away)
      if (decided()) return;
      if (LastMousePos.X == kInvalid) {
        const DWORD pos = GetMessagePos();
        LastMousePos = TPoint(GET_X_LPARAM(static_cast<LPARAM>(pos)), GET_Y_LPARAM(static_cast<LPARAM>(pos)));
        UpdateCursorAndHint(root);
      }
      if (Application) Application->SetHint(DeepestHint(root));
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// TBarPopupView

TFont* TBarPopupView::GetFont() {
  return Window() ? Window()->Font() : TBarView::GetFont();
}

void TBarPopupView::FitWindow(int AWidth, int AHeight) {
  if (TWinControl* w = Window())
    w->SetBounds(w->Left(), w->Top(), AWidth + 2 * kBarPopupFrame, AHeight + 2 * kBarPopupFrame);
}

// ---------------------------------------------------------------------------------------------------
// TBarPopupWindow

TBarPopupWindow::TBarPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                                 bool ACustomizing)
    : TCustomControl(AOwner) {
  visible_ = false;
  SetBounds(0, 0, 320, 240);
  controlStyle_.Exclude(csCaptureMouse);
  SetShowHint(true);
  SetColor(clMenu);
  view_ = std::make_unique<TBarPopupView>(nullptr, AParentView, AItem, this, false, ACustomizing, false);
  if (AParentView) {
    Font()->Assign(AParentView->GetFont());
    TBarViewStyle style = view_->Style();
    if (AParentView->Style().Contains(vsUseHiddenAccels)) style.Include(vsUseHiddenAccels);
    view_->SetStyle(style);
  } else {
    menuFontRef_ = AcquireMenuFont();
    Font()->Assign(menuFontRef_);
    view_->SetStyle(view_->Style() + vsUseHiddenAccels);
  }
}

TBarPopupWindow::~TBarPopupWindow() {
  view_->StopAllTimers();
  if (HandleAllocated()) {
    EndMenuAnimation(Handle());
    view_->HideChildPopups();
    BarNotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, Handle(), OBJID_CLIENT, CHILDID_SELF);
  }
  view_.reset();
  if (menuFontRef_) ReleaseMenuFont();
}

void TBarPopupWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = (Params.Style & ~(WS_CHILD | WS_GROUP | WS_TABSTOP)) | WS_POPUP;
  Params.ExStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  Params.WindowClass.style |= CS_SAVEBITS;
  CreateApplication();
  Params.WndParent = Application->Handle();
}

void TBarPopupWindow::CreateWnd() {
  TCustomControl::CreateWnd();
  if (view_->ParentView() || accelsInitialized_) return;
  // A menu of its own: underlines show as the window's keyboard-cue state says.
  accelsInitialized_ = true;
  SendMessage(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  const LRESULT state = SendMessage(Handle(), WM_QUERYUISTATE, 0, 0);
  if (!(state & UISF_HIDEACCEL)) view_->UpdateAccelVisibility(true);
}

void TBarPopupWindow::DestroyWnd() {
  if (HandleAllocated() && view_) {
    EndMenuAnimation(Handle());
    view_->HideChildPopups();
    BarNotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, Handle(), OBJID_CLIENT, CHILDID_SELF);
  }
  TCustomControl::DestroyWnd();
}

void TBarPopupWindow::UpdateShowing() {
  const bool showing = Visible() && HandleAllocated();
  if (showing == shown_) return;
  shown_ = showing;
  if (showing) {
    ShowNow();
  } else {
    EndMenuAnimation(Handle());
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kHideFlags);
  }
}

void TBarPopupWindow::ShowNow() {
  bool animate = false, fade = false;
  SystemParametersInfo(SPI_GETMENUANIMATION, 0, &animate, 0);
  SystemParametersInfo(SPI_GETMENUFADE, 0, &fade, 0);
  if (!view_->Selected() && animate && (fade || animationDirection_ != 0))
    StartMenuAnimation(Handle(), kAnimationTime, fade, animationDirection_);
  else
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kShowFlags);
}

void TBarPopupWindow::PaintFrame(HWND Wnd, HDC DC, void* AppData) {
  auto* self = static_cast<TBarPopupWindow*>(AppData);
  RECT r;
  GetWindowRect(Wnd, r);
  r = Rect(0, 0, r.Width(), r.Height());
  if (AreFlatMenusEnabled()) {
    HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
    HBRUSH face = CreateSolidBrush(ColorToRGB(self->Color()));
    FrameRect(DC, r, shadow);
    InflateRect(r, -1, -1);
    FrameRect(DC, r, face);
    InflateRect(r, -1, -1);
    FrameRect(DC, r, face);
    DeleteObject(face);
  } else {
    DrawEdge(DC, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameRect(DC, r, GetSysColorBrush(COLOR_BTNFACE));
  }
}

void TBarPopupWindow::Paint() {
  view_->DrawSubitems(Canvas());
  PaintScrollArrows();
}

void TBarPopupWindow::PaintScrollArrows() {
  TCanvas* c = Canvas();
  const int width = ClientWidth();
  const int height = view_->MaxHeight();
  c->Pen()->SetColor(clMenuText);
  c->Brush()->SetColor(clMenuText);
  c->Brush()->SetStyle(bsSolid);
  auto triangle = [&](int bandTop, bool up) {
    const int x = width / 2, y = bandTop + kScrollBand / 2;
    c->Polygon({TPoint(x - 3, y), TPoint(x + 3, y), TPoint(x, up ? y - 3 : y + 3)});
  };
  if (view_->ShowUpArrow()) triangle(0, true);
  if (view_->ShowDownArrow()) triangle(height - kScrollBand, false);
}

void TBarPopupWindow::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      if (Message.LParam) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(r, -kBarPopupFrame, -kBarPopupFrame);
      }
      Message.Result = 0;
      return;
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(Handle());
      PaintFrame(Handle(), dc, this);
      ReleaseDC(Handle(), dc);
      Message.Result = 0;
      return;
    }
    case WM_PRINT:
      Message.Result = HandleWMPrint(Handle(), Message, &TBarPopupWindow::PaintFrame, this);
      return;
    case WM_PRINTCLIENT:
      HandleWMPrintClient(this, Message);
      return;
    case WM_ERASEBKGND:
    case WM_PAINT:
      EndMenuAnimation(Handle());
      break;
    case WM_BAR_ANIMATION_STEP:
      ProcessAnimationStep(Message);
      return;
    case WM_CLOSE:
      return;
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_GETOBJECT:
      if (static_cast<int>(Message.LParam) == OBJID_CLIENT)
        if (auto object = view_->GetAccObject()) {
          Message.Result = LresultFromObject(object);
          return;
        }
      break;
    case WM_TIMER:
      if (Message.WParam >= kBarViewTimerBase && Message.WParam < kBarViewTimerBase + kViewTimerCount) {
        view_->TimerAction(static_cast<int>(Message.WParam - kBarViewTimerBase));
        return;
      }
      break;
    case CM_HINTSHOW:
      if (TBarItemViewer* selected = view_->Selected()) {
        auto* info = reinterpret_cast<THintInfo*>(Message.LParam);
        info->CursorRect = selected->BoundsRect;
        info->HintStr = selected->GetHintText();
      }
      Message.Result = 0;
      return;
    default:
      break;
  }
  TCustomControl::WndProc(Message);
}

// ---------------------------------------------------------------------------------------------------
// The menu font

TFont* AcquireMenuFont() {
  MenuFontState& s = MenuFontRef();
  if (s.refs++ == 0) {
    s.font = new TFont;
    InitMenuFont();
  }
  return s.font;
}

void ReleaseMenuFont() {
  MenuFontState& s = MenuFontRef();
  assert(s.refs > 0);
  if (--s.refs == 0) {
    delete s.font;
    s.font = nullptr;
  }
}

void InitMenuFont() {
  MenuFontState& s = MenuFontRef();
  if (!s.font) return;
  NONCLIENTMETRICS metrics;
  if (!SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return;
  HFONT font = CreateFontIndirect(metrics.lfMenuFont);
  s.font->SetHandle(font);
  DeleteObject(font);
}
