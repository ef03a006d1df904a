// An icon in the desktop's notification area: the shell's callback messages become component events
// (click, double click, mouse down/up/move, enter and exit, balloon events); a popup menu opens at the
// cursor; icons can cycle from an image list; minimising can hide the main window (minimise to tray).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gui/Controls.h"
#include "platform/gui/ShellAPI.h"

class TCustomImageList;
class TPopupMenu;
class TIcon;
class TSimpleTimer;

using TCycleEvent = std::function<void(TObject* Sender, int NextIndex)>;
using TStartupEvent = std::function<void(TObject* Sender, bool& ShowMainForm)>;

// The callback message the shell sends to the tray's window.
constexpr UINT WM_TRAYNOTIFY = 0x800;
// Balloon notifications that arrive in the callback's lParam.
constexpr UINT NIN_BALLOONHIDE = 0x403, NIN_BALLOONTIMEOUT = 0x404, NIN_BALLOONUSERCLICK = 0x405;

class TSysTrayIcon : public TComponent {
  TALVIK_CLASS(TSysTrayIcon, TComponent)
  explicit TSysTrayIcon(TComponent* AOwner);
  ~TSysTrayIcon() override;

  bool DesignPreview() const { return designPreview_; }
  void SetDesignPreview(bool Value);
  TCustomImageList* IconList() const { return iconList_; }
  void SetIconList(TCustomImageList* Value);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool Value);
  unsigned CycleInterval() const { return cycleInterval_; }
  void SetCycleInterval(unsigned Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool Value);
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(TIcon* Value);
  bool IconVisible() const { return iconVisible_; }
  void SetIconVisible(bool Value);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int Value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* Value);
  bool LeftPopup() const { return leftPopup_; }
  void SetLeftPopup(bool Value) { leftPopup_ = Value; }
  bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
  void SetWantEnterExitEvents(bool Value);
  bool MinimizeToTray() const { return minimizeToTray_; }
  void SetMinimizeToTray(bool Value) { minimizeToTray_ = Value; }

  virtual bool AllowDefaultIcon() { return true; }
  virtual bool ShowIcon();
  virtual bool HideIcon();
  virtual bool ModifyIcon();
  void ShowMainForm();
  void HideMainForm();

  // The shell record as the next shell call sends it.
  const NOTIFYICONDATA& IconData() const { return iconData_; }
  // The id the icon has in the notification area.
  UINT IconId() const { return iconData_.uID; }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;
  TCycleEvent OnCycle;
  TNotifyEvent OnBalloonHintClick;
  TNotifyEvent OnBalloonHintHide;
  TNotifyEvent OnBalloonHintTimeout;
  TStartupEvent OnStartup;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  virtual void Click();
  virtual void DblClick();
  virtual void DoCycle(int NextIndex);
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseEnter();
  virtual void MouseExit();
  virtual void DoMinimizeToTray();

 private:
  friend class TTrayIconHandler;
  bool PrepareIconData();
  // Whether the desktop has a notification area to show the icon in.
  static bool NotificationAreaPresent();
  // The notification area went away: a main window hidden in it is shown again, minimised.
  void TrayGone();
  bool Notify(DWORD Message);
  void TrayMessage(LPARAM What);
  void ShowPopupMenu();
  void ClickDefaultItem();
  bool AppWindowProc(TMessage& Message);
  void ParentFormWindowProc(TMessage& Message);
  void HookOwner();
  void UnhookOwner();
  TWinControl* OwnerControl() const;
  static void CycleTimerProc(void* Data);
  static void ClickTimerProc(void* Data);
  static void EnterExitTimerProc(void* Data);
  void IconChanged(TObject* Sender);

  bool designPreview_ = false;
  TCustomImageList* iconList_ = nullptr;
  bool cycleIcons_ = false;
  unsigned cycleInterval_ = 0;
  bool enabled_ = true;
  std::string hint_;
  bool showHint_ = true;
  std::unique_ptr<TIcon> icon_;
  bool iconVisible_ = false;
  int iconIndex_ = 0;
  TPopupMenu* popupMenu_ = nullptr;
  bool leftPopup_ = false;
  bool wantEnterExitEvents_ = false;
  bool minimizeToTray_ = false;

  bool clickPending_ = false;
  bool clickReady_ = false;
  std::unique_ptr<TSimpleTimer> cycleTimer_;
  std::unique_ptr<TSimpleTimer> clickTimer_;
  std::unique_ptr<TSimpleTimer> enterExitTimer_;
  POINT lastPosition_{};
  bool cursorOutside_ = true;
  bool doubleClickSeen_ = false;
  bool previewing_ = false;
  bool startupPending_ = true;
  bool hiddenInTray_ = false;  // the main window is hidden in the notification area (HideMainForm)
  int appHook_ = -1;
  TWinControl* hookedOwner_ = nullptr;
  TWndMethod savedOwnerProc_;
  NOTIFYICONDATA iconData_;
};

// The shared hidden window's use count and handle (for tests): 0 and nullptr when no icon exists.
int TrayIconHandlerUsers();
HWND TrayIconHandlerWindow();
