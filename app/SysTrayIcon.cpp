#include "app/SysTrayIcon.h"

#include <cassert>
#include <map>

#include "app/SimpleTimer.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr UINT kShellRecordSize = 488;   // the record's size in the shell's 32-bit layout
constexpr unsigned kEnterExitPoll = 20;  // ms
constexpr int kHintLength = 255;         // characters, as the property holds them
// Messages the tray's window answers with 1 and takes no further.
constexpr UINT WM_QUERYENDSESSION_ = 0x0011, WM_ENDSESSION_ = 0x0016, WM_USERCHANGED_ = 0x0054;
constexpr UINT kSwallowed[] = {WM_DESTROY,     WM_CLOSE,     WM_QUERYENDSESSION_, WM_QUIT,
                               WM_ENDSESSION_, WM_NCDESTROY, WM_USERCHANGED_};

UINT TaskbarCreatedMessage() {
  // the shell announces its restart only from common controls 4.71 on
  static const UINT message =
      GetComCtlVersion() >= ComCtlVersionIE4 ? RegisterWindowMessage("TaskbarCreated") : 0;
  return message;
}

UINT TrayGoneMessage() {
  static const UINT message = RegisterWindowMessage(talvik::gui::kTrayGoneMessage);
  return message;
}

TShiftState KeysHeld(TShiftStateFlag button) {
  TShiftState s{button};
  if (GetAsyncKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetAsyncKeyState(VK_MENU) < 0) s.Include(ssAlt);
  if (GetAsyncKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  return s;
}

}  // namespace

// The hidden window all tray icons share: the shell's callback messages arrive here.
class TTrayIconHandler {
 public:
  TTrayIconHandler() {
    window_ = AllocateHWnd([this](TMessage& m) { WindowProc(m); });
  }
  ~TTrayIconHandler() { DeallocateHWnd(window_); }
  TTrayIconHandler(const TTrayIconHandler&) = delete;
  TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;

  HWND Window() const { return window_; }
  int users = 0;
  std::map<UINT, TSysTrayIcon*> icons;  // by their id in the notification area
  UINT nextId = 1;

 private:
  void WindowProc(TMessage& m) {
    if (m.Msg == WM_TRAYNOTIFY) {
      // an icon gone since the shell queued its message is not called
      auto it = icons.find(static_cast<UINT>(m.WParam));
      if (it != icons.end()) it->second->TrayMessage(m.LParam);
      return;
    }
    for (UINT s : kSwallowed) {
      if (m.Msg == s) {
        m.Result = 1;
        return;
      }
    }
    m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
  }

  HWND window_ = nullptr;
};

namespace {

std::unique_ptr<TTrayIconHandler>& Handler() {
  static std::unique_ptr<TTrayIconHandler> handler;
  return handler;
}

TTrayIconHandler& AcquireHandler() {
  if (!Handler()) Handler() = std::make_unique<TTrayIconHandler>();
  ++Handler()->users;
  return *Handler();
}

void ReleaseHandler() {
  if (!Handler()) return;
  assert(Handler()->users > 0);
  if (--Handler()->users <= 0) Handler().reset();
}

}  // namespace

int TrayIconHandlerUsers() {
  return Handler() ? Handler()->users : 0;
}

HWND TrayIconHandlerWindow() {
  return Handler() ? Handler()->Window() : nullptr;
}

// ---------------------------------------------------------------- TSysTrayIcon

TSysTrayIcon::TSysTrayIcon(TComponent* AOwner) : TComponent(AOwner), icon_(std::make_unique<TIcon>()) {
  TTrayIconHandler& handler = AcquireHandler();
  const UINT id = handler.nextId++;
  handler.icons[id] = this;
  icon_->OnChange = [this](TObject* Sender) { IconChanged(Sender); };
  iconData_ = NOTIFYICONDATA{};
  iconData_.cbSize = kShellRecordSize;
  iconData_.hWnd = handler.Window();
  iconData_.uID = id;
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  iconData_.uCallbackMessage = WM_TRAYNOTIFY;
  cycleTimer_ = std::make_unique<TSimpleTimer>(this, &TSysTrayIcon::CycleTimerProc);
  clickTimer_ = std::make_unique<TSimpleTimer>(this, &TSysTrayIcon::ClickTimerProc);
  enterExitTimer_ = std::make_unique<TSimpleTimer>(this, &TSysTrayIcon::EnterExitTimerProc);
  SetDesignPreview(designPreview_);
  if (Application) {
    Application->Handle();  // the application window must exist to hear the shell's broadcasts
    appHook_ = Application->HookMainWindow([this](TMessage& m) { return AppWindowProc(m); });
  }
  HookOwner();
}

TSysTrayIcon::~TSysTrayIcon() {
  SetIconVisible(false);
  SetDesignPreview(false);
  cycleTimer_.reset();
  clickTimer_.reset();
  enterExitTimer_.reset();
  icon_->OnChange = nullptr;
  if (Application && appHook_ >= 0) Application->UnhookMainWindow(appHook_);
  UnhookOwner();
  if (Handler()) Handler()->icons.erase(iconData_.uID);
  ReleaseHandler();
}

TWinControl* TSysTrayIcon::OwnerControl() const {
  return dynamic_cast<TWinControl*>(Owner());
}

void TSysTrayIcon::HookOwner() {
  TWinControl* owner = OwnerControl();
  if (!owner) return;
  hookedOwner_ = owner;
  savedOwnerProc_ = owner->WindowProc;
  owner->WindowProc = [this](TMessage& m) { ParentFormWindowProc(m); };
}

void TSysTrayIcon::UnhookOwner() {
  // an owner that is being destroyed has already lost its control part: nothing to give back
  if (!hookedOwner_ || hookedOwner_->ComponentState().Contains(csDestroying)) return;
  hookedOwner_->WindowProc = savedOwnerProc_;
  hookedOwner_ = nullptr;
}

bool TSysTrayIcon::PrepareIconData() {
  iconData_.hIcon = icon_->Empty() ? nullptr : reinterpret_cast<HICON>(icon_.get());
  std::fill(std::begin(iconData_.szTip), std::end(iconData_.szTip), '\0');
  if (!hint_.empty() && showHint_) {
    const std::string tip = Utf8Copy(hint_, 1, NOTIFYICON_TIPCHARS);
    assert(tip.size() < sizeof(iconData_.szTip));
    std::copy(tip.begin(), tip.end(), iconData_.szTip);
  }
  return true;
}

bool TSysTrayIcon::Notify(DWORD Message) {
  if (!PrepareIconData()) return false;
  return Shell_NotifyIcon(Message, &iconData_);
}

bool TSysTrayIcon::ShowIcon() {
  const bool ok = Notify(NIM_ADD);
  if (!previewing_) iconVisible_ = true;
  return ok;
}

bool TSysTrayIcon::HideIcon() {
  const bool ok = Notify(NIM_DELETE);
  if (!previewing_) iconVisible_ = false;
  return ok;
}

bool TSysTrayIcon::ModifyIcon() {
  return Notify(NIM_MODIFY);
}

void TSysTrayIcon::IconChanged(TObject*) {
  ModifyIcon();
}

void TSysTrayIcon::SetDesignPreview(bool Value) {
  designPreview_ = Value;
  previewing_ = true;
  SetIconVisible(Value);
  previewing_ = false;
}

void TSysTrayIcon::SetIconVisible(bool Value) {
  if (Value)
    ShowIcon();
  else
    HideIcon();
}

void TSysTrayIcon::SetIcon(TIcon* Value) {
  auto handler = std::move(icon_->OnChange);
  icon_->Assign(Value);
  icon_->OnChange = std::move(handler);
  ModifyIcon();
}

void TSysTrayIcon::SetIconList(TCustomImageList* Value) {
  if (iconList_) iconList_->RemoveFreeNotification(this);
  iconList_ = Value;
  if (iconList_) iconList_->FreeNotification(this);
  SetIconIndex(0);
}

void TSysTrayIcon::SetIconIndex(int Value) {
  if (iconList_) {
    iconIndex_ = std::min(Value, iconList_->Count() - 1);
    if (iconIndex_ >= 0) {
      auto handler = std::move(icon_->OnChange);
      iconList_->GetBitmap(iconIndex_, icon_->Bitmap());
      icon_->OnChange = std::move(handler);
    }
  } else {
    iconIndex_ = 0;
  }
  ModifyIcon();
}

void TSysTrayIcon::SetHint(const std::string& Value) {
  hint_ = Utf8Copy(Value, 1, kHintLength);
  ModifyIcon();
}

void TSysTrayIcon::SetShowHint(bool Value) {
  showHint_ = Value;
  ModifyIcon();
}

void TSysTrayIcon::SetCycleIcons(bool Value) {
  cycleIcons_ = Value;
  if (Value) {
    SetIconIndex(0);
    cycleTimer_->Start(cycleInterval_);
  } else {
    cycleTimer_->Stop();
  }
}

void TSysTrayIcon::SetCycleInterval(unsigned Value) {
  cycleInterval_ = Value;
  SetCycleIcons(cycleIcons_);
}

void TSysTrayIcon::SetWantEnterExitEvents(bool Value) {
  wantEnterExitEvents_ = Value;
  if (Value)
    enterExitTimer_->Start(kEnterExitPoll);
  else
    enterExitTimer_->Stop();
}

void TSysTrayIcon::SetPopupMenu(TPopupMenu* Value) {
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = Value;
  if (popupMenu_) popupMenu_->FreeNotification(this);
}

void TSysTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == iconList_) iconList_ = nullptr;
  if (AComponent == popupMenu_) popupMenu_ = nullptr;
  if (AComponent == hookedOwner_) hookedOwner_ = nullptr;
}

void TSysTrayIcon::Loaded() {
  TComponent::Loaded();
  if (OwnerControl()) {
    bool show = true;
    InvokeEvent(OnStartup, this, show);
    if (!show) {
      if (Application) Application->SetShowMainForm(false);
      HideMainForm();
    }
  }
  ModifyIcon();
  SetIconVisible(iconVisible_);
  SetCycleIcons(cycleIcons_);
  SetWantEnterExitEvents(wantEnterExitEvents_);
}

void TSysTrayIcon::ShowMainForm() {
  if (!OwnerControl() || !Application || !Application->MainForm()) return;
  TCustomForm* form = Application->MainForm();
  hiddenInTray_ = false;
  ShowWindow(Application->Handle(), SW_RESTORE);
  form->SetVisible(true);
  if (form->WindowState() == wsMinimized) form->SetWindowState(wsNormal);
  SetForegroundWindow(Application->Handle());
}

void TSysTrayIcon::HideMainForm() {
  if (!OwnerControl() || !Application || !Application->MainForm()) return;
  hiddenInTray_ = true;
  Application->MainForm()->SetVisible(false);
  ShowWindow(Application->Handle(), SW_HIDE);
}

void TSysTrayIcon::TrayGone() {
  if (!hiddenInTray_ || !Application || !Application->MainForm()) return;
  // Nothing is left to bring the window back from: it stays minimised where the desktop keeps
  // minimised windows, as with no notification area at all. Whichever way it went to the area (its
  // own minimise, or "Скрыть" from a normal or maximised state), it shows down to an icon from the
  // start and is not activated.
  hiddenInTray_ = false;
  TCustomForm* form = Application->MainForm();
  if (form->HandleAllocated()) ShowWindow(form->Handle(), SW_SHOWMINNOACTIVE);
  form->SetWindowState(wsMinimized);
  form->SetVisible(true);
}

// ---- events

void TSysTrayIcon::Click() {
  InvokeEvent(OnClick, this);
}

void TSysTrayIcon::DblClick() {
  InvokeEvent(OnDblClick, this);
}

void TSysTrayIcon::DoCycle(int NextIndex) {
  InvokeEvent(OnCycle, this, NextIndex);
}

void TSysTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseDown, this, Button, Shift, X, Y);
}

void TSysTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseUp, this, Button, Shift, X, Y);
}

void TSysTrayIcon::MouseMove(TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseMove, this, Shift, X, Y);
}

void TSysTrayIcon::MouseEnter() {
  InvokeEvent(OnMouseEnter, this);
}

void TSysTrayIcon::MouseExit() {
  InvokeEvent(OnMouseExit, this);
}

void TSysTrayIcon::DoMinimizeToTray() {
  // On a desktop with no notification area the window stays minimised where the desktop keeps
  // minimised windows: hidden, nothing could bring it back. The icon still comes once an area does.
  if (NotificationAreaPresent()) HideMainForm();
  SetIconVisible(true);
}

bool TSysTrayIcon::NotificationAreaPresent() {
  talvik::gui::TrayShell* shell = talvik::gui::CurrentTrayShell();
  return shell && shell->Available();
}

// ---- the shell's messages

void TSysTrayIcon::TrayMessage(LPARAM What) {
  // every handler may free this icon: each step checks before it goes on
  const TComponentRef<TSysTrayIcon> alive(this);
  POINT p{};
  switch (static_cast<UINT>(What)) {
    case NIN_BALLOONHIDE:
      InvokeEvent(OnBalloonHintHide, this);
      return;
    case NIN_BALLOONTIMEOUT:
      InvokeEvent(OnBalloonHintTimeout, this);
      return;
    case NIN_BALLOONUSERCLICK:
      InvokeEvent(OnBalloonHintClick, this);
      return;
    default:
      break;
  }
  if (!enabled_) return;
  GetCursorPos(p);
  switch (static_cast<UINT>(What)) {
    case WM_MOUSEMOVE:
      if (wantEnterExitEvents_ && cursorOutside_) {
        cursorOutside_ = false;
        MouseEnter();
        if (!alive) return;
      }
      lastPosition_ = p;
      MouseMove(KeysHeld(ssLeft) - TShiftState{ssLeft}, p.X, p.Y);
      break;
    case WM_LBUTTONDOWN:
      if (OnDblClick) clickTimer_->Start(GetDoubleClickTime());
      clickPending_ = true;
      MouseDown(mbLeft, KeysHeld(ssLeft), p.X, p.Y);
      if (alive && leftPopup_) ShowPopupMenu();
      break;
    case WM_LBUTTONUP: {
      const bool click = clickPending_ && !clickTimer_->Active();
      if (clickPending_) clickReady_ = !click;
      clickPending_ = false;
      if (click) {
        Click();
        if (!alive) return;
      }
      MouseUp(mbLeft, KeysHeld(ssLeft), p.X, p.Y);
      break;
    }
    case WM_LBUTTONDBLCLK:
      clickReady_ = false;
      doubleClickSeen_ = true;
      DblClick();
      if (alive) ClickDefaultItem();
      break;
    case WM_RBUTTONDOWN:
      MouseDown(mbRight, KeysHeld(ssRight), p.X, p.Y);
      if (alive) ShowPopupMenu();
      break;
    case WM_RBUTTONUP:
      MouseUp(mbRight, KeysHeld(ssRight), p.X, p.Y);
      break;
    case WM_MBUTTONDOWN:
      MouseDown(mbMiddle, KeysHeld(ssMiddle), p.X, p.Y);
      break;
    case WM_MBUTTONUP:
      MouseUp(mbMiddle, KeysHeld(ssMiddle), p.X, p.Y);
      break;
    default:
      break;
  }
}

void TSysTrayIcon::ClickDefaultItem() {
  if (!popupMenu_ || !popupMenu_->AutoPopup() || leftPopup_) return;
  TMenuItem* items = popupMenu_->Items();
  TMenuItem* chosen = nullptr;
  for (int i = items->Count() - 1; i >= 0; --i)
    if (items->Items(i)->Default()) chosen = items->Items(i);
  if (chosen) chosen->Click();
}

void TSysTrayIcon::ShowPopupMenu() {
  if (!popupMenu_ || !popupMenu_->AutoPopup()) return;
  POINT p{};
  if (!GetCursorPos(p)) return;
  const TComponentRef<TSysTrayIcon> alive(this);
  if (Application) {
    SetForegroundWindow(Application->Handle());
    Application->ProcessMessages();
  }
  if (!alive || !popupMenu_) return;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(p.X, p.Y);
  if (!alive) return;
  if (TWinControl* owner = OwnerControl(); owner && owner->HandleAllocated())
    PostMessage(owner->Handle(), WM_NULL, 0, 0);
}

bool TSysTrayIcon::AppWindowProc(TMessage& Message) {
  if (Message.Msg == WM_SIZE && Message.WParam == SIZE_MINIMIZED) {
    if (minimizeToTray_) DoMinimizeToTray();
  } else if (Message.Msg == WM_WINDOWPOSCHANGED && startupPending_) {
    if (Application && Application->MainForm()) {
      if (Application->MainForm()->FormStyle() == fsMDIForm) {
        bool show = true;
        InvokeEvent(OnStartup, this, show);
        if (!show) ShowWindow(Application->Handle(), SW_HIDE);
      }
      startupPending_ = false;
    }
  } else if (TaskbarCreatedMessage() != 0 && Message.Msg == TaskbarCreatedMessage()) {
    if (iconVisible_) ShowIcon();
  } else if (Message.Msg == TrayGoneMessage()) {
    TrayGone();
  }
  return false;  // every message goes on to the application window
}

void TSysTrayIcon::ParentFormWindowProc(TMessage& Message) {
  if (Message.Msg == WM_ACTIVATE &&
      (LOWORD(Message.WParam) == WA_ACTIVE || LOWORD(Message.WParam) == WA_CLICKACTIVE) && Screen &&
      Screen->ActiveControl()) {
    TWinControl* active = Screen->ActiveControl();
    TWinControl* outer = active->Parent() ? active->Parent() : active;
    const HWND deactivated = reinterpret_cast<HWND>(Message.LParam);
    // A control in the window that just handed the activation over (a floating toolbar's box, at any
    // depth) keeps it there: taking the focus back would activate that window again, which hands the
    // activation back here, and so on without end.
    if (outer->Handle() != deactivated && GetAncestor(active->Handle(), GA_ROOT) != deactivated)
      SetFocus(active->Handle());
  } else if (Message.Msg == WM_SHOWWINDOW && Message.WParam == 1 && Message.LParam == 0 && Application) {
    ShowWindow(Application->Handle(), SW_RESTORE);
    SetForegroundWindow(Application->Handle());
    if (hookedOwner_) SetForegroundWindow(hookedOwner_->Handle());
  }
  TWndMethod saved = savedOwnerProc_;  // the call may unhook this icon
  if (saved) saved(Message);
}

// ---- timers

void TSysTrayIcon::CycleTimerProc(void* Data) {
  auto* self = static_cast<TSysTrayIcon*>(Data);
  if (!self->iconList_) return;
  self->SetIconIndex(self->iconIndex_);
  const int count = self->iconList_->Count();
  const TComponentRef<TSysTrayIcon> alive(self);
  self->DoCycle(count > self->iconIndex_ ? self->iconIndex_ + 1 : 0);
  if (!alive || !self->iconList_) return;
  self->iconIndex_ = self->iconIndex_ >= self->iconList_->Count() - 1 ? 0 : self->iconIndex_ + 1;
}

void TSysTrayIcon::ClickTimerProc(void* Data) {
  auto* self = static_cast<TSysTrayIcon*>(Data);
  self->clickTimer_->Stop();
  const bool click = !self->doubleClickSeen_ && self->clickReady_;
  self->doubleClickSeen_ = false;
  if (click) {
    self->clickReady_ = false;
    self->Click();
  }
}

void TSysTrayIcon::EnterExitTimerProc(void* Data) {
  auto* self = static_cast<TSysTrayIcon*>(Data);
  POINT p{};
  if (self->cursorOutside_ || !GetCursorPos(p)) return;
  if (p.X != self->lastPosition_.X || p.Y != self->lastPosition_.Y) {
    self->cursorOutside_ = true;
    self->MouseExit();
  }
}
