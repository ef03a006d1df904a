// Forms, the application object and the screen.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
using TFormBorderStyle = TBorderStyle;
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO, mrAll = 8, mrNoToAll = 9,
                       mrYesToAll = 10;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TShortCutEvent = std::function<void(TMessage& Msg, bool& Handled)>;

class TCustomForm : public TWinControl {
  TALVIK_CLASS(TCustomForm, TWinControl)
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition Value) { position_ = Value; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle Value);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState Value);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool Value) { keyPreview_ = Value; }
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* Control);
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult Value) { modalResult_ = Value; }
  bool Active() const { return active_; }
  bool Modal() const { return modal_; }
  TCanvas* Canvas() { return &canvas_; }

  virtual TModalResult ShowModal();
  void Close();
  virtual bool CloseQuery();
  void Release();  // frees the form once the messages now queued are handled
  void Show();
  void Hide() { SetVisible(false); }
  void SetVisible(bool Value) override;
  void SetFocus() override;
  // Before the window is made: what the desktop's frame will leave of the form's bounds.
  TRect ClientRect() override;
  bool SetFocusedControl(TWinControl* Control);
  void FocusControl(TWinControl* Control);
  void DefocusControl(TWinControl* Control, bool Removing);
  void SendCancelMode(TControl* Sender);
  // OnShortCut, then the form's action lists.
  virtual bool IsShortCut(TMessage& Message);
  // Updates the actions of the form's action lists and of its visible action clients.
  virtual void UpdateActions();
  virtual void DoCreate();  // the application calls it once the form is built

  // MDI
  HWND ClientHandle() const { return clientHandle_; }
  int MDIChildCount() const { return static_cast<int>(mdiChildren_.size()); }
  TCustomForm* MDIChildren(int I) const { return mdiChildren_.at(static_cast<std::size_t>(I)); }
  TCustomForm* ActiveMDIChild() const { return activeMDIChild_; }
  void ActivateMDIChild(TCustomForm* Child);
  void Next();
  void Previous();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TShortCutEvent OnShortCut;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void AlignControls(TControl* AControl) override;
  void PaintWindow(HDC DC) override;
  virtual void Paint();
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  void CloseModal();
  void UpdateShowing() override;

 private:
  void ApplyPosition();
  TCustomForm* MDIFrame();
  // Gives the keyboard focus to the control the form chose (ActiveControl), else to the first of its
  // tab order, else to the form itself.
  void FocusChosenControl();

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  TWindowState windowState_ = wsNormal;
  bool keyPreview_ = false;
  TWinControl* activeControl_ = nullptr;
  TModalResult modalResult_ = mrNone;
  bool active_ = false;
  bool modal_ = false;
  bool positioned_ = false;
  bool created_ = false;
  TControlCanvas canvas_;
  HWND clientHandle_ = nullptr;
  std::vector<TCustomForm*> mdiChildren_;
  TCustomForm* activeMDIChild_ = nullptr;
  friend class TApplication;
};

class TForm : public TCustomForm {
  TALVIK_CLASS(TForm, TCustomForm)
  using TCustomForm::TCustomForm;
};

// A small window showing a hint text.
class THintWindow : public TCustomControl {
  TALVIK_CLASS(THintWindow, TCustomControl)
  explicit THintWindow(TComponent* AOwner);
  virtual TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData);
  virtual void ActivateHint(TRect Rect, const std::string& AHint);
  void ReleaseHandle() { DestroyHandle(); }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void Dispatch(TMessage& Message) override;
};

struct TMonitor {
  int MonitorNum = 0;
  TRect BoundsRect;
  TRect WorkareaRect;
  bool Primary = false;
  int Left() const { return BoundsRect.Left; }
  int Top() const { return BoundsRect.Top; }
  int Width() const { return BoundsRect.Width(); }
  int Height() const { return BoundsRect.Height(); }
};

class TScreen : public TComponent {
  TALVIK_CLASS(TScreen, TComponent)
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  HCURSOR Cursors(TCursor Index);
  void SetCursors(TCursor Index, HCURSOR Handle);
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int Index) const { return forms_.at(static_cast<std::size_t>(Index)); }
  TCustomForm* ActiveForm() const { return activeForm_; }
  TCustomForm* ActiveCustomForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeControl_; }
  int Width() const;
  int Height() const;
  int PixelsPerInch() const { return 96; }
  TRect WorkAreaRect() const;
  int MonitorCount() const;
  TMonitor Monitors(int Index) const;
  TMonitor MonitorFromRect(const TRect& R) const;
  TStrings* Fonts();
  TFont* HintFont() { return &hintFont_; }
  TFont* IconFont() { return &iconFont_; }
  // The menu font of the system settings (SPI_GETNONCLIENTMETRICS), read again on each call.
  TFont* MenuFont();
  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

 private:
  friend class TCustomForm;
  friend class TApplication;
  void SetActive(TCustomForm* Form, TWinControl* Control);
  TCursor cursor_ = crDefault;
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  std::map<TCursor, HCURSOR> cursors_;
  std::unique_ptr<TStringList> fonts_;
  TFont hintFont_;
  TFont iconFont_;
  TFont menuFont_;
};

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
using TWindowHook = std::function<bool(TMessage& Message)>;
using THelpContext = int;
// Answers whether the help request was handled; CallHelp false keeps the help system out of it.
using THelpEvent = std::function<bool(WORD Command, intptr_t Data, bool& CallHelp)>;
constexpr WORD HELP_CONTEXT = 0x0001, HELP_QUIT = 0x0002, HELP_CONTEXTPOPUP = 0x0008;
using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;

// A modal loop (a modal form, a message box, a file dialog, an open menu) stands while one of these
// lives. The count
// is the process's, not an object's: a loop may outlive the application object or the window it began
// with, and its end reaches neither.
class TModalLoopStanding {
 public:
  TModalLoopStanding();
  ~TModalLoopStanding();
  TModalLoopStanding(const TModalLoopStanding&) = delete;
  TModalLoopStanding& operator=(const TModalLoopStanding&) = delete;
  static int Level();
};

class TApplication : public TComponent {
  TALVIK_CLASS(TApplication, TComponent)
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  HWND Handle();  // the application's own hidden window
  // The program's icon (the forms' and the tray's unless they have their own).
  TIcon* Icon() { return &icon_; }
  void SetIcon(TIcon* Value) { icon_.Assign(Value); }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& Value) { title_ = Value; }
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* Form) { mainForm_ = Form; }
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool Value) { showMainForm_ = Value; }
  bool Terminated() const { return terminated_; }
  void Initialize() {}
  void Run();
  void ProcessMessages();
  void HandleMessage();
  void Terminate();
  void Minimize();
  void Restore();
  void BringToFront();
  // The modal loops standing: a modal form, a message box, a file dialog or an open menu counts from
  // its start to its end, nested ones each (see TModalLoopStanding).
  int ModalLevel() const;
  template <typename T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    if (!mainForm_) mainForm_ = Reference;
    Reference->DoCreate();
  }
  // Shows what went wrong, unless it is EAbort; call inside a catch block.
  void HandleException(TObject* Sender);
  void ShowException(const Exception& E);
  int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags = MB_OK);
  // Hooks that see the messages of the application window (CM_APPKEYDOWN, CM_APPSYSCOMMAND...).
  int HookMainWindow(TWindowHook Hook);
  void UnhookMainWindow(int HookId);
  // Asks the hooks; true when one of them took the message.
  bool CallMainWindowHooks(TMessage& Message);

  // actions: OnActionExecute / OnActionUpdate; then the focused control, the active form and the
  // main form (CM_ACTIONEXECUTE / CM_ACTIONUPDATE); true when one of them handled the action
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;
  bool DispatchAction(UINT Msg, TBasicAction* Action);
  // Updates the actions of every visible, enabled form.
  void DoActionIdle();
  TActionEvent OnActionExecute;
  TActionEvent OnActionUpdate;

  // hints
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool Value);
  int HintPause() const { return hintPause_; }
  void SetHintPause(int Value) { hintPause_ = Value; }
  int HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int Value) { hintHidePause_ = Value; }
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor Value) { hintColor_ = Value; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  void CancelHint();
  void ActivateHint(TPoint CursorPos);
  THintWindow* HintWindow() const { return hintWindow_.get(); }
  // Whether hints of commands add their shortcut ("Hint (Ctrl+S)").
  bool HintShortCuts() const { return hintShortCuts_; }
  void SetHintShortCuts(bool Value) { hintShortCuts_ = Value; }
  // Help requests: there is no help system, so these only reach OnHelp (false when nobody answers).
  bool HelpContext(THelpContext Context);
  bool HelpCommand(WORD Command, intptr_t Data);
  void HintMouseMessage(TControl* Control, TMessage& Message);
  void ControlDestroyed(TControl* Control);
  TControl* MouseControl() const { return mouseControl_; }
  void DoMouseIdle();

  TIdleEvent OnIdle;
  TExceptionEvent OnException;
  TMessageEvent OnMessage;
  TNotifyEvent OnHint;
  TShowHintEvent OnShowHint;
  THelpEvent OnHelp;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

 private:
  bool ProcessMessage(MSG& Msg);
  void Idle();
  bool IsKeyMsg(MSG& Msg);
  bool IsHintMsg(MSG& Msg);
  static LRESULT AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void WndProc(TMessage& Message);
  void StartHintTimer(int Ms, std::uintptr_t Id);

  friend class TCustomForm;
  HWND handle_ = nullptr;
  TIcon icon_;
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  int quitCode_ = 0;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHook_ = 1;
  bool showHint_ = true;
  int hintPause_ = 500;
  int hintHidePause_ = 2500;
  TColor hintColor_ = clInfoBk;
  std::string hint_;
  std::unique_ptr<THintWindow> hintWindow_;
  TControl* hintControl_ = nullptr;
  TRect hintCursorRect_;  // in hintControl_'s client coordinates, while a hint stays valid
  bool hintCursorRectSet_ = false;
  TControl* mouseControl_ = nullptr;
  bool hintActive_ = false;
  bool hintShortCuts_ = true;
};

extern TApplication* Application;
extern TScreen* Screen;
// Makes Application and Screen (forms do it themselves when they are first made).
void CreateApplication();
// The text of an exception as the error box shows it: a full stop is added when the last character
// sorts above it.
std::string ExceptionMessageText(const std::string& Message);
