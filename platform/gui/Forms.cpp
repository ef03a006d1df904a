// Forms (modal loops, closing, MDI), the hint window, the screen and the application object.
#include "platform/gui/Forms.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <climits>

#include "platform/gui/GuiPrivate.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

void CreateApplication() {
  if (!Screen) Screen = new TScreen(nullptr);
  if (!Application) Application = new TApplication(nullptr);
}

std::string ExceptionMessageText(const std::string& Message) {
  if (Message.empty()) return Message;
  // the last character, a whole UTF-8 sequence
  std::size_t i = Message.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(Message[i]) & 0xC0) == 0x80) --i;
  unsigned char lead = static_cast<unsigned char>(Message[i]);
  bool above = lead >= 0x80 || lead > '.';
  return above ? Message + "." : Message;
}

namespace {

const UINT CM_MDIACTIVATEDUMMY = 0;
constexpr std::uintptr_t kHintShowTimer = 1, kHintHideTimer = 2;

LRESULT MdiClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_MDIGETACTIVE) {
    HWND frame = GetAncestor(hwnd, GA_PARENT);
    auto* form = dynamic_cast<TCustomForm*>(TWinControl::FindControl(frame));
    if (form && form->ActiveMDIChild()) return reinterpret_cast<LRESULT>(form->ActiveMDIChild()->Handle());
    return 0;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------- TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  CreateApplication();
  visible_ = false;
  parentColor_ = false;
  parentFont_ = false;
  color_ = clBtnFace;
  brush_.SetColor(color_);
  width_ = 320;
  height_ = 240;
  canvas_.SetControl(this);
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  Screen->forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
  // From here on the form never becomes active again: the focus its controls give up on the way out
  // may reach it, and nothing may keep a pointer to it.
  Destroying();
  if (OnDestroy) {
    try {
      InvokeEvent(OnDestroy, this);
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  canvas_.FreeHandle();
  if (TCustomForm* frame = formStyle_ == fsMDIChild ? MDIFrame() : nullptr) {
    auto& l = frame->mdiChildren_;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    if (frame->activeMDIChild_ == this) {
      frame->activeMDIChild_ = nullptr;
      if (!l.empty()) frame->ActivateMDIChild(l.back());
    }
  }
  for (TCustomForm* child : std::vector<TCustomForm*>(mdiChildren_)) child->formStyle_ = fsNormal;
  if (Screen) {
    auto& f = Screen->forms_;
    f.erase(std::remove(f.begin(), f.end(), this), f.end());
    if (Screen->activeForm_ == this) Screen->SetActive(nullptr, nullptr);
  }
  if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
  DestroyHandle();
}

TCustomForm* TCustomForm::MDIFrame() {
  if (Application && Application->MainForm() && Application->MainForm()->FormStyle() == fsMDIForm)
    return Application->MainForm();
  return nullptr;
}

void TCustomForm::DoCreate() {
  if (created_) return;
  created_ = true;
  InvokeEvent(OnCreate, this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  borderIcons_ = Value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (formStyle_ == Value) return;
  TFormStyle old = formStyle_;
  formStyle_ = Value;
  if (old == fsMDIChild || Value == fsMDIChild) {
    DestroyHandle();
  } else {
    RecreateWnd();
  }
}

void TCustomForm::SetWindowState(TWindowState Value) {
  windowState_ = Value;
  if (!HandleAllocated() || !visible_) return;
  ShowWindow(Handle(), Value == wsMaximized   ? SW_SHOWMAXIMIZED
                       : Value == wsMinimized ? SW_MINIMIZE
                                              : SW_RESTORE);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style &= ~(WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP);
  Params.WindowClass.style = CS_DBLCLKS;
  if (formStyle_ == fsMDIChild) {
    TCustomForm* frame = MDIFrame();
    if (!frame) throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
    Params.Style |= WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU;
    Params.ExStyle |= WS_EX_MDICHILD;
    // a child made before its frame was ever shown: the frame's window, and with it its client
    // area below the frame's docks, come first
    frame->HandleNeeded();
    Params.WndParent = frame->ClientHandle() ? frame->ClientHandle() : frame->Handle();
    return;
  }
  switch (borderStyle_) {
    case bsNone:
      Params.Style |= WS_POPUP;
      break;
    case bsSingle:
      Params.Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsSizeable:
      Params.Style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION;
      Params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      Params.Style |= WS_CAPTION;
      Params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      Params.Style |= WS_CAPTION | WS_THICKFRAME;
      Params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (borderStyle_ != bsNone && borderIcons_.Contains(biSystemMenu)) Params.Style |= WS_SYSMENU;
  if (borderStyle_ == bsSizeable || borderStyle_ == bsSingle) {
    if (borderIcons_.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
    if (borderIcons_.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
  }
  if (formStyle_ == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
  // owned by the form that owns it, else by the application window
  Params.WndParent = nullptr;
  if (auto* ownerForm = dynamic_cast<TCustomForm*>(Owner()); ownerForm && ownerForm->HandleAllocated())
    Params.WndParent = ownerForm->Handle();
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (formStyle_ == fsMDIForm && !clientHandle_) {
    WNDCLASS wc;
    if (!GetClassInfo("MDIClient", wc)) {
      wc.lpszClassName = "MDIClient";
      wc.lpfnWndProc = MdiClientProc;
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
      RegisterClass(wc);
    }
    RECT r;
    GetClientRect(Handle(), r);
    clientHandle_ = CreateWindowEx(WS_EX_CLIENTEDGE, "MDIClient", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                   0, 0, r.Width(), r.Height(), Handle(), 0, nullptr, nullptr);
  }
  if (formStyle_ == fsMDIChild) {
    if (TCustomForm* frame = MDIFrame()) {
      auto& l = frame->mdiChildren_;
      if (std::find(l.begin(), l.end(), this) == l.end()) l.push_back(this);
    }
  }
}

void TCustomForm::DestroyWnd() {
  if (clientHandle_) {
    for (TCustomForm* c : std::vector<TCustomForm*>(mdiChildren_)) c->DestroyHandle();
    DestroyWindow(clientHandle_);
    clientHandle_ = nullptr;
  }
  TWinControl::DestroyWnd();
}

void TCustomForm::AlignControls(TControl* AControl) {
  TWinControl::AlignControls(AControl);
  if (clientHandle_) {
    // the MDI client fills what the aligned controls leave
    TRect r = ClientRect();
    for (TControl* c : std::vector<TControl*>(controls_)) {
      if (!c->Visible()) continue;
      switch (c->Align()) {
        case alTop:
          r.Top = std::max(r.Top, c->Top() + c->Height());
          break;
        case alBottom:
          r.Bottom = std::min(r.Bottom, c->Top());
          break;
        case alLeft:
          r.Left = std::max(r.Left, c->Left() + c->Width());
          break;
        case alRight:
          r.Right = std::min(r.Right, c->Left());
          break;
        default:
          break;
      }
    }
    MoveWindow(clientHandle_, r.Left, r.Top, r.Width(), r.Height(), true);
    for (TCustomForm* child : mdiChildren_)
      if (child->WindowState() == wsMaximized && child->HandleAllocated()) {
        RECT cr;
        GetClientRect(clientHandle_, cr);
        child->SetBounds(0, 0, cr.Width(), cr.Height());
      }
  }
}

void TCustomForm::ApplyPosition() {
  if (positioned_ || formStyle_ == fsMDIChild) return;
  positioned_ = true;
  TRect area = Screen->WorkAreaRect();
  TCustomForm* centreOn = nullptr;
  if (position_ == poMainFormCenter && Application->MainForm() != this) centreOn = Application->MainForm();
  if (position_ == poOwnerFormCenter) centreOn = dynamic_cast<TCustomForm*>(Owner());
  if (centreOn && centreOn->Visible()) area = centreOn->BoundsRect();
  if (position_ == poScreenCenter || position_ == poDesktopCenter || centreOn)
    SetBounds(area.Left + (area.Width() - width_) / 2, area.Top + (area.Height() - height_) / 2, width_,
              height_);
}

void TCustomForm::SetVisible(bool Value) {
  if (Value == visible_) return;
  if (Value) {
    HandleNeeded();
    ApplyPosition();
    // a maximised window is shown maximised at once: the desktop learns the state as it maps it
    if (windowState_ == wsMaximized && formStyle_ != fsMDIChild) ShowWindow(Handle(), SW_SHOWMAXIMIZED);
  }
  TWinControl::SetVisible(Value);
  if (Value && windowState_ != wsNormal) SetWindowState(windowState_);
  if (Value && formStyle_ == fsMDIChild)
    if (TCustomForm* frame = MDIFrame()) frame->ActivateMDIChild(this);
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated() && formStyle_ != fsMDIChild) {
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (IsWindowEnabled(Handle())) SetActiveWindow(Handle());
  }
}

void TCustomForm::UpdateShowing() {
  bool was = Showing();
  TWinControl::UpdateShowing();
  if (was != Showing()) {
    if (Showing())
      DoShow();
    else
      DoHide();
  }
}

void TCustomForm::DoShow() {
  InvokeEvent(OnShow, this);
}

void TCustomForm::DoHide() {
  InvokeEvent(OnHide, this);
}

TRect TCustomForm::ClientRect() {
  if (HandleAllocated() || Parent() || borderStyle_ == bsNone) return TWinControl::ClientRect();
  talvik::gui::Backend* backend = talvik::gui::CurrentBackend();
  const RECT frame = backend ? backend->DesktopFrame() : RECT{0, 0, 0, 0};
  return Rect(0, 0, std::max(0, Width() - frame.Left - frame.Right),
              std::max(0, Height() - frame.Top - frame.Bottom));
}

void TCustomForm::SetFocus() {
  if (!HandleAllocated() || !visible_) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  if (formStyle_ == fsMDIChild) {
    if (TCustomForm* frame = MDIFrame()) frame->ActivateMDIChild(this);
  }
  if (activeControl_ && activeControl_->CanFocus())
    ::SetFocus(activeControl_->Handle());
  else
    ::SetFocus(Handle());
}

void TCustomForm::FocusChosenControl() {
  // a form shown with no control chosen starts at the first one of its tab order
  TWinControl* first = !activeControl_ && !ComponentState().Contains(csDesigning)
                           ? FindNextControl(nullptr, true, true, false)
                           : nullptr;
  if (activeControl_ && activeControl_->CanFocus())
    ::SetFocus(activeControl_->Handle());
  else if (first && first->CanFocus())
    ::SetFocus(first->Handle());
  else
    ::SetFocus(Handle());
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (Control == activeControl_) return;
  if (Control && (!Control->CanFocus() || GetParentForm(Control) != this))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  if (Control && HandleAllocated() && active_)
    Control->SetFocus();
  else
    activeControl_ = Control;
}

void TCustomForm::FocusControl(TWinControl* Control) {
  if (!Control->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  HWND root = GetAncestor(Control->Handle(), GA_ROOT);
  bool formActive = GetActiveWindow() == root || formStyle_ == fsMDIChild;
  if (formStyle_ == fsMDIChild)
    if (TCustomForm* frame = MDIFrame()) frame->ActivateMDIChild(this);
  if (formActive || Visible())
    ::SetFocus(Control->Handle());
  else
    activeControl_ = Control;
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (ComponentState().Contains(csDestroying)) return false;
  if (Control == this) {
    Screen->SetActive(this, activeControl_);
    return true;
  }
  if (formStyle_ == fsMDIChild)
    if (TCustomForm* frame = MDIFrame(); frame && frame->activeMDIChild_ != this)
      frame->ActivateMDIChild(this);
  TWinControl* old = activeControl_;
  activeControl_ = Control;
  Screen->SetActive(this, Control);
  if (old == Control) return true;
  // CM_EXIT up from the old control to the common parent, CM_ENTER down to the new one
  std::vector<TWinControl*> oldChain, newChain;
  for (TWinControl* c = old; c && c != this; c = c->Parent()) oldChain.push_back(c);
  for (TWinControl* c = Control; c && c != this; c = c->Parent()) newChain.push_back(c);
  while (!oldChain.empty() && !newChain.empty() && oldChain.back() == newChain.back()) {
    oldChain.pop_back();
    newChain.pop_back();
  }
  for (TWinControl* c : oldChain) {
    c->Perform(CM_EXIT);
    if (activeControl_ != Control) return false;  // an OnExit moved the focus
  }
  for (auto it = newChain.rbegin(); it != newChain.rend(); ++it) {
    (*it)->Perform(CM_ENTER);
    if (activeControl_ != Control) return false;
  }
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
  return true;
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
  if (Removing && Control->ContainsControl(activeControl_)) activeControl_ = Control->Parent();
  if (activeControl_ && Control->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (Control->HandleAllocated() && (Control->Focused() || IsChild(Control->Handle(), GetFocus())) &&
      HandleAllocated())
    ::SetFocus(Handle());
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  if (activeControl_) activeControl_->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(Sender));
}

bool TCustomForm::IsShortCut(TMessage& Message) {
  bool handled = false;
  InvokeEvent(OnShortCut, Message, handled);
  if (handled) return true;
  // The form's action lists, in the order the form owns them; the first that runs the shortcut ends it.
  TShortCut shortCut = ShortCutFromMessage(static_cast<WORD>(Message.WParam), Message.LParam);
  // (told by the class chain: a form owns hundreds of components, and this runs on every key)
  for (int i = 0; i < ComponentCount(); ++i)
    if (TComponent* c = Components(i); c->InheritsFrom(TCustomActionList::StaticClass()) &&
                                       static_cast<TCustomActionList*>(c)->IsShortCut(shortCut))
      return true;
  return false;
}

namespace {

// Offers an action to Control and, when it declines, to every visible control inside it.
bool OfferAction(TControl* control, TBasicAction* action, bool execute, bool children) {
  if (!control) return false;
  if (execute ? control->ExecuteAction(action) : control->UpdateAction(action)) return true;
  if (TWinControl* w = control->AsWinControl(); w && children && w->Showing())
    for (int i = 0; i < w->ControlCount(); ++i)
      if (w->Controls(i)->Visible() && OfferAction(w->Controls(i), action, execute, true)) return true;
  return false;
}

// Lets every action client inside Container whose action is not in one of `form`'s lists update it.
void InitiateClientActions(TWinControl* container, TCustomForm* form) {
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (c->ControlStyle().Contains(csActionClient) && c->Visible()) {
      auto* action = dynamic_cast<TContainedAction*>(c->Action());
      if (!action || !action->ActionList() || action->ActionList()->Owner() != form) c->InitiateAction();
    }
    if (TWinControl* w = c->AsWinControl(); w && w->Showing()) InitiateClientActions(w, form);
  }
}

}  // namespace

void TCustomForm::UpdateActions() {
  if (ComponentState().Contains(csDesigning) || !Showing()) return;
  InitiateAction();
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* list = dynamic_cast<TCustomActionList*>(Components(i))) list->UpdateActions();
  InitiateClientActions(this, this);
}

void TCustomForm::Activate() {
  InvokeEvent(OnActivate, this);
}

void TCustomForm::Deactivate() {
  InvokeEvent(OnDeactivate, this);
}

void TCustomForm::ActivateMDIChild(TCustomForm* Child) {
  if (Child == activeMDIChild_ || !Child || Child->ComponentState().Contains(csDestroying)) return;
  TCustomForm* old = activeMDIChild_;
  activeMDIChild_ = Child;
  if (Child->HandleAllocated())
    SetWindowPos(Child->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HWND oldH = old && old->HandleAllocated() ? old->Handle() : nullptr;
  HWND newH = Child->Handle();
  if (old) {
    SendMessage(oldH, WM_NCACTIVATE, 0, 0);
    SendMessage(oldH, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(oldH), reinterpret_cast<LPARAM>(newH));
  }
  SendMessage(newH, WM_NCACTIVATE, 1, 0);
  SendMessage(newH, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(oldH), reinterpret_cast<LPARAM>(newH));
}

void TCustomForm::Next() {
  if (mdiChildren_.size() < 2 || !activeMDIChild_) return;
  auto it = std::find(mdiChildren_.begin(), mdiChildren_.end(), activeMDIChild_);
  std::size_t i = static_cast<std::size_t>(it - mdiChildren_.begin());
  TCustomForm* next = mdiChildren_[(i + 1) % mdiChildren_.size()];
  next->SetFocus();
}

void TCustomForm::Previous() {
  if (mdiChildren_.size() < 2 || !activeMDIChild_) return;
  auto it = std::find(mdiChildren_.begin(), mdiChildren_.end(), activeMDIChild_);
  std::size_t i = static_cast<std::size_t>(it - mdiChildren_.begin());
  TCustomForm* prev = mdiChildren_[(i + mdiChildren_.size() - 1) % mdiChildren_.size()];
  prev->SetFocus();
}

bool TCustomForm::CloseQuery() {
  if (formStyle_ == fsMDIForm)
    for (TCustomForm* c : std::vector<TCustomForm*>(mdiChildren_))
      if (!c->CloseQuery()) return false;
  bool canClose = true;
  InvokeEvent(OnCloseQuery, this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
  InvokeEvent(OnClose, this, Action);
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action =
      formStyle_ == fsMDIChild ? (borderIcons_.Contains(biMinimize) ? caMinimize : caNone) : caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      SetWindowState(wsMinimized);
      break;
    case caFree:
      Release();
      break;
    default:
      break;
  }
}

void TCustomForm::CloseModal() {
  if (!CloseQuery()) {
    modalResult_ = mrNone;
    return;
  }
  TCloseAction action = caHide;
  DoClose(action);
  switch (action) {
    case caNone:
      modalResult_ = mrNone;
      break;
    case caFree:
      Release();
      break;
    default:
      break;
  }
}

void TCustomForm::Release() {
  if (HandleAllocated())
    PostMessage(Handle(), CM_RELEASE);
  else
    delete this;
}

TModalResult TCustomForm::ShowModal() {
  if (visible_ || !enabled_ || modal_ || formStyle_ == fsMDIChild)
    throw EInvalidOperation("Cannot make a visible window modal");
  if (HWND c = GetCapture()) SendMessage(c, WM_CANCELMODE);
  ReleaseCapture();
  modal_ = true;
  const TModalLoopStanding standing;
  HWND previous = GetActiveWindow();
  // every other window of the application waits
  std::vector<HWND> disabled;
  HandleNeeded();
  for (HWND h : GetTopLevelWindows())
    if (h != Handle() && IsWindowVisible(h) && IsWindowEnabled(h)) {
      EnableWindow(h, false);
      disabled.push_back(h);
    }
  auto restore = [&] {
    for (HWND h : disabled)
      if (IsWindow(h)) EnableWindow(h, true);
    modal_ = false;
  };
  // A form without a window owner is owned, while it runs, by the window it was opened from: the
  // desktop keeps it above that window, and a press there brings it forward.
  const bool borrowsOwner = previous && IsWindowVisible(previous) && !GetWindow(Handle(), GW_OWNER);
  if (borrowsOwner) SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, reinterpret_cast<std::intptr_t>(previous));
  const TScopeExit giveOwnerBack([&] {
    if (borrowsOwner && HandleAllocated()) SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, 0);
  });
  modalResult_ = mrNone;
  TModalResult result = mrNone;
  try {
    Show();
    bool quit = false;
    for (;;) {
      Application->HandleMessage();
      if (Application->Terminated()) {
        modalResult_ = mrCancel;
        quit = true;
      } else if (modalResult_ != mrNone) {
        CloseModal();
      } else if (!HandleAllocated()) {
        modalResult_ = mrCancel;  // the window went with the window that owned it
      }
      if (modalResult_ != mrNone) break;
    }
    result = modalResult_;
    restore();
    if (HandleAllocated()) Hide();
    if (previous && IsWindow(previous) && IsWindowVisible(previous)) SetActiveWindow(previous);
    // the loop took WM_QUIT: the loops outside must see it too
    if (quit) PostQuitMessage(Application->quitCode_);
  } catch (...) {
    restore();
    throw;
  }
  return result;
}

void TCustomForm::Paint() {
  InvokeEvent(OnPaint, this);
}

void TCustomForm::PaintWindow(HDC DC) {
  canvas_.SetHandle(DC);
  try {
    canvas_.Font()->Assign(Font());
    canvas_.Brush()->SetColor(Color());
    Paint();
  } catch (...) {
    canvas_.SetHandle(nullptr);
    throw;
  }
  canvas_.SetHandle(nullptr);
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE && !ComponentState().Contains(csDestroying)) {
        active_ = true;
        Screen->SetActive(formStyle_ == fsMDIForm && activeMDIChild_ ? activeMDIChild_ : this,
                          activeControl_);
        (formStyle_ == fsMDIForm && activeMDIChild_ ? activeMDIChild_ : this)->FocusChosenControl();
        Activate();
        if (Application && !Application->mainForm_) InvokeEvent(Application->OnActivate, Application);
      } else {
        active_ = false;
        Deactivate();
      }
      m.Result = 0;
      return;
    case WM_MDIACTIVATE:
      if (reinterpret_cast<HWND>(m.LParam) == Handle() && !ComponentState().Contains(csDestroying)) {
        active_ = true;
        Screen->SetActive(this, activeControl_);
        // a child shown or brought forward in the active frame takes the keys at once, unless the focus
        // already went into it (to a control the user clicked, say)
        if (TCustomForm* frame = MDIFrame(); frame && frame->active_) {
          const HWND focus = GetFocus();
          if (focus != Handle() && !IsChild(Handle(), focus)) FocusChosenControl();
        }
        Activate();
      } else {
        active_ = false;
        Deactivate();
      }
      return;
    case WM_MOUSEACTIVATE:
      if (formStyle_ == fsMDIChild)
        if (TCustomForm* frame = MDIFrame()) frame->ActivateMDIChild(this);
      DefaultHandler(m);
      return;
    case WM_SETFOCUS:
      if (activeControl_ && activeControl_ != this && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return;
      }
      SetFocusedControl(this);
      DefaultHandler(m);
      return;
    case WM_CLOSE:
      Close();
      return;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_KEYMENU) {
        TMessage hook = MakeMessage(CM_APPSYSCOMMAND, 0, reinterpret_cast<LPARAM>(&m));
        if (Application && Application->CallMainWindowHooks(hook)) {
          m.Result = 1;
          return;
        }
      }
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
        Application->Minimize();
        return;
      }
      if ((m.WParam & 0xFFF0) == SC_RESTORE && Application && Application->MainForm() == this &&
          HandleAllocated() && IsIconic(Handle())) {
        Application->Restore();
        return;
      }
      DefaultHandler(m);
      return;
    case WM_SIZE:
      if (m.WParam == SIZE_MINIMIZED)
        windowState_ = wsMinimized;
      else if (m.WParam == SIZE_MAXIMIZED)
        windowState_ = wsMaximized;
      else if (windowState_ != wsNormal && HandleAllocated() && IsWindowVisible(Handle()) &&
               !IsIconic(Handle()) && !IsZoomed(Handle()))
        windowState_ = wsNormal;  // restored by the user; a window being made keeps the state asked for
      TWinControl::Dispatch(m);
      return;
    case CM_RELEASE:
      delete this;
      return;
    case CM_ACTIONEXECUTE:
    case CM_ACTIONUPDATE: {
      auto* action = reinterpret_cast<TBasicAction*>(m.LParam);
      bool execute = m.Msg == CM_ACTIONEXECUTE;
      m.Result =
          OfferAction(activeControl_, action, execute, false) || OfferAction(this, action, execute, true);
      return;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // controls that cache colours or settings hear of the change through the control tree
      Perform(m.Msg == WM_SYSCOLORCHANGE ? CM_SYSCOLORCHANGE : CM_WININICHANGE, m.WParam, m.LParam);
      DefaultHandler(m);
      return;
    case CM_DIALOGKEY: {
      if (GetKeyState(VK_MENU) >= 0) {
        bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
        switch (m.WParam) {
          case VK_TAB:
            if (!ctrl) {
              SelectNext(activeControl_, !shift, true);
              m.Result = 1;
              return;
            }
            break;
          case VK_LEFT:
          case VK_UP:
            if (activeControl_) SelectNext(activeControl_, false, false);
            m.Result = 1;
            return;
          case VK_RIGHT:
          case VK_DOWN:
            if (activeControl_) SelectNext(activeControl_, true, false);
            m.Result = 1;
            return;
          default:
            break;
        }
      }
      TWinControl::Dispatch(m);
      return;
    }
    default:
      TWinControl::Dispatch(m);
  }
  (void)CM_MDIACTIVATEDUMMY;
}

// ---------------------------------------------------------------- THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  color_ = clInfoBk;
  parentColor_ = false;
  parentFont_ = false;
  visible_ = false;
  font_->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS;
  Params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void*) {
  RECT r = Rect(0, 0, MaxWidth, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  DrawText(dc, AHint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(TRect Rect, const std::string& AHint) {
  SetText(AHint);
  TRect work = Screen->WorkAreaRect();
  if (Rect.Right > work.Right) OffsetRect(Rect, work.Right - Rect.Right, 0);
  if (Rect.Bottom > work.Bottom) OffsetRect(Rect, 0, work.Bottom - Rect.Bottom);
  HandleNeeded();
  SetWindowPos(Handle(), HWND_TOPMOST, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  visible_ = true;
  Invalidate();
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  canvas_.Brush()->SetColor(Color());
  canvas_.FillRect(r);
  r.Left += 2;
  r.Top += 1;
  std::string text = Caption();
  canvas_.Font()->SetColor(clInfoText);
  canvas_.Brush()->SetStyle(bsClear);
  DrawText(canvas_.Handle(), text, r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::Dispatch(TMessage& m) {
  if (m.Msg == WM_NCHITTEST) {
    m.Result = HTTRANSPARENT;
    return;
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {
  hintFont_.SetColor(clInfoText);
}

TScreen::~TScreen() = default;

TFont* TScreen::MenuFont() {
  NONCLIENTMETRICS m;
  if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) {
    menuFont_.SetName(m.lfMenuFont.lfFaceName);
    menuFont_.SetHeight(m.lfMenuFont.lfHeight);
    TFontStyles style;
    if (m.lfMenuFont.lfWeight >= FW_BOLD) style.Include(fsBold);
    if (m.lfMenuFont.lfItalic) style.Include(fsItalic);
    menuFont_.SetStyle(style);
    menuFont_.SetCharset(m.lfMenuFont.lfCharSet);
  }
  menuFont_.SetColor(clMenuText);
  return &menuFont_;
}

void TScreen::SetActive(TCustomForm* Form, TWinControl* Control) {
  assert(!Form || !Form->ComponentState().Contains(csDestroying));
  bool formChanged = Form != activeForm_;
  bool controlChanged = Control != activeControl_;
  activeForm_ = Form;
  activeControl_ = Control;
  if (formChanged) InvokeEvent(OnActiveFormChange, this);
  if (controlChanged) InvokeEvent(OnActiveControlChange, this);
}

void TScreen::SetCursor(TCursor Value) {
  cursor_ = Value;
  if (Value != crDefault) {
    ::SetCursor(Cursors(Value));
  } else {
    POINT p;
    GetCursorPos(p);
    if (HWND h = WindowFromPoint(p))
      SendMessage(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

HCURSOR TScreen::Cursors(TCursor Index) {
  auto it = cursors_.find(Index);
  if (it != cursors_.end()) return it->second;
  int id = IDC_ARROW;
  switch (Index) {
    case crCross:
      id = IDC_CROSS;
      break;
    case crIBeam:
      id = IDC_IBEAM;
      break;
    case crSizeNESW:
      id = IDC_SIZENESW;
      break;
    case crSizeNS:
    case crVSplit:
      id = IDC_SIZENS;
      break;
    case crSizeNWSE:
      id = IDC_SIZENWSE;
      break;
    case crSizeWE:
    case crHSplit:
      id = IDC_SIZEWE;
      break;
    case crUpArrow:
      id = IDC_UPARROW;
      break;
    case crHourGlass:
    case crSQLWait:
      id = IDC_WAIT;
      break;
    case crNo:
    case crNoDrop:
      id = IDC_NO;
      break;
    case crAppStart:
      id = IDC_APPSTARTING;
      break;
    case crHelp:
      id = IDC_HELP;
      break;
    case crHandPoint:
      id = IDC_HAND;
      break;
    case crSizeAll:
      id = IDC_SIZEALL;
      break;
    case crDrag:
    case crMultiDrag:
      id = IDC_ARROW;
      break;
    default:
      break;
  }
  return LoadCursor(nullptr, id);
}

void TScreen::SetCursors(TCursor Index, HCURSOR Handle) {
  if (Handle)
    cursors_[Index] = Handle;
  else
    cursors_.erase(Index);
}

int TScreen::Width() const {
  return GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
  return GetSystemMetrics(SM_CYSCREEN);
}

TRect TScreen::WorkAreaRect() const {
  RECT r;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

int TScreen::MonitorCount() const {
  return GetSystemMetrics(SM_CMONITORS);
}

TMonitor TScreen::Monitors(int Index) const {
  auto m = talvik::gui::Screens();
  if (Index < 0 || Index >= static_cast<int>(m.size()))
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  TMonitor t;
  t.MonitorNum = Index;
  t.BoundsRect = m[static_cast<std::size_t>(Index)].rcMonitor;
  t.WorkareaRect = m[static_cast<std::size_t>(Index)].rcWork;
  t.Primary = m[static_cast<std::size_t>(Index)].dwFlags & MONITORINFOF_PRIMARY;
  return t;
}

TMonitor TScreen::MonitorFromRect(const TRect& R) const {
  HMONITOR h = ::MonitorFromRect(R, MONITOR_DEFAULTTONEAREST);
  return Monitors(static_cast<int>(reinterpret_cast<std::uintptr_t>(h)) - 1);
}

TStrings* TScreen::Fonts() {
  if (!fonts_) {
    fonts_ = std::make_unique<TStringList>();
    for (const auto& f : InstalledFontNames()) fonts_->Add(f);
  }
  return fonts_.get();
}

// ---------------------------------------------------------------- TApplication

namespace {
std::string ProgramName() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "Talvik";
  std::string path(buf, static_cast<std::size_t>(n));
  std::string name = path.substr(path.find_last_of('/') + 1);
  return name.substr(0, name.find('.'));
}
}  // namespace

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner), title_(ProgramName()) {
  // threads that queue work for the main thread wake its message loop
  WakeMainThread = [] { PostMessage(nullptr, WM_NULL); };
}

TApplication::~TApplication() {
  // the forms go while the application is still whole: their destructors ask it about the main form
  Destroying();
  DestroyComponents();
  WakeMainThread = nullptr;
  hintWindow_.reset();
  if (handle_) DestroyWindow(handle_);
}

LRESULT TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!Application || Application->handle_ != hwnd) return DefWindowProc(hwnd, msg, wParam, lParam);
  TMessage m = MakeMessage(msg, wParam, lParam);
  try {
    Application->WndProc(m);
  } catch (...) {
    Application->HandleException(Application);
  }
  return m.Result;
}

HWND TApplication::Handle() {
  if (!handle_) {
    WNDCLASS wc;
    if (!GetClassInfo("TApplication", wc)) {
      wc.lpszClassName = "TApplication";
      wc.lpfnWndProc = AppWndProc;
      RegisterClass(wc);
    }
    handle_ = CreateWindowEx(WS_EX_TOOLWINDOW, "TApplication", title_, WS_POPUP, 0, 0, 0, 0, nullptr, 0,
                             nullptr, nullptr);
  }
  return handle_;
}

void TApplication::WndProc(TMessage& m) {
  if (CallMainWindowHooks(m)) return;
  switch (m.Msg) {
    case WM_TIMER:
      if (m.WParam == kHintShowTimer) {
        KillTimer(handle_, kHintShowTimer);
        POINT p;
        GetCursorPos(p);
        ActivateHint(p);
      } else if (m.WParam == kHintHideTimer) {
        CancelHint();
      }
      return;
    default:
      m.Result = DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
  }
}

int TApplication::HookMainWindow(TWindowHook Hook) {
  int id = nextHook_++;
  hooks_.insert(hooks_.begin(), {id, std::move(Hook)});
  return id;
}

void TApplication::UnhookMainWindow(int HookId) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [&](auto& h) { return h.first == HookId; }),
               hooks_.end());
}

bool TApplication::CallMainWindowHooks(TMessage& Message) {
  for (auto& h : std::vector<std::pair<int, TWindowHook>>(hooks_))
    if (h.second(Message)) return true;
  return false;
}

void TApplication::Run() {
  if (mainForm_ && showMainForm_) {
    if (mainForm_->WindowState() == wsMinimized) Minimize();
    mainForm_->Show();
  }
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  PostQuitMessage(0);
}

namespace {
int modalLoopsStanding = 0;
}  // namespace

TModalLoopStanding::TModalLoopStanding() {
  ++modalLoopsStanding;
}

TModalLoopStanding::~TModalLoopStanding() {
  assert(modalLoopsStanding > 0);
  --modalLoopsStanding;
}

int TModalLoopStanding::Level() {
  return modalLoopsStanding;
}

int TApplication::ModalLevel() const {
  return TModalLoopStanding::Level();
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle();
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessage(Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    terminated_ = true;
    quitCode_ = static_cast<int>(Msg.wParam);
    return true;
  }
  try {
    bool handled = false;
    InvokeEvent(OnMessage, Msg, handled);
    if (!handled && !talvik::gui::detail::DragInput(Msg) && !IsHintMsg(Msg) && !IsKeyMsg(Msg)) {
      TranslateMessage(Msg);
      DispatchMessage(Msg);
    }
    if (Msg.message == WM_NULL && !Msg.hwnd) CheckSynchronize();
    if (Msg.message >= WM_MOUSEFIRST && Msg.message <= WM_MOUSELAST) DoMouseIdle();
  } catch (...) {
    HandleException(this);
  }
  return true;
}

bool TApplication::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  InvokeEvent(OnActionExecute, Action, handled);
  return handled;
}

bool TApplication::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  InvokeEvent(OnActionUpdate, Action, handled);
  return handled;
}

bool TApplication::DispatchAction(UINT Msg, TBasicAction* Action) {
  bool execute = Msg == CM_ACTIONEXECUTE;
  TWinControl* focused = Screen ? Screen->ActiveControl() : nullptr;
  TCustomForm* form = Screen ? Screen->ActiveForm() : nullptr;
  bool handled =
      (focused && (execute ? focused->ExecuteAction(Action) : focused->UpdateAction(Action))) ||
      (form && form->Perform(Msg, 0, reinterpret_cast<LPARAM>(Action)) == 1) ||
      (mainForm_ && mainForm_ != form && mainForm_->Perform(Msg, 0, reinterpret_cast<LPARAM>(Action)) == 1);
  // Nobody updates it: an action that cannot run either is greyed.
  if (!handled && !execute)
    if (auto* custom = dynamic_cast<TCustomAction*>(Action);
        custom && custom->Enabled() && custom->DisableIfNoHandler())
      custom->SetEnabled(static_cast<bool>(custom->OnExecute()));
  return handled;
}

void TApplication::DoActionIdle() {
  if (!Screen) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form->HandleAllocated() && IsWindowVisible(form->Handle()) && IsWindowEnabled(form->Handle()))
      form->UpdateActions();
  }
}

void TApplication::Idle() {
  try {
    DoMouseIdle();
    bool done = true;
    InvokeEvent(OnIdle, this, done);
    if (done) DoActionIdle();
    if (CheckSynchronize()) done = false;
    if (done) WaitMessage();
  } catch (...) {
    HandleException(this);
  }
}

bool TApplication::IsHintMsg(MSG& Msg) {
  if (!((Msg.message >= WM_KEYFIRST && Msg.message <= WM_KEYLAST) || Msg.message == WM_LBUTTONDOWN ||
        Msg.message == WM_RBUTTONDOWN || Msg.message == WM_MBUTTONDOWN || Msg.message == WM_NCLBUTTONDOWN))
    return false;
  // a key or a press takes the hint away, and a hint still waiting for its pause with it
  if (hintActive_)
    CancelHint();
  else if (handle_)
    KillTimer(handle_, kHintShowTimer);
  return false;
}

bool TApplication::IsKeyMsg(MSG& Msg) {
  if (Msg.message < WM_KEYFIRST || Msg.message > WM_KEYLAST || !Msg.hwnd) return false;
  TWinControl* target = nullptr;
  for (HWND h = Msg.hwnd; h && !target; h = GetAncestor(h, GA_PARENT)) target = TWinControl::FindControl(h);
  if (!target) return false;
  if (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN) {
    if (target->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0) return true;
    TMessage key = MakeMessage(Msg.message, Msg.wParam, Msg.lParam);
    TCustomForm* form = GetParentForm(target);
    if (form && form->IsShortCut(key)) return true;
    if (mainForm_ && mainForm_ != form && mainForm_->IsShortCut(key)) return true;
    TMessage app = MakeMessage(CM_APPKEYDOWN, 0, reinterpret_cast<LPARAM>(&key));
    if (CallMainWindowHooks(app)) return true;
  } else if (Msg.message == WM_CHAR || Msg.message == WM_SYSCHAR) {
    if (target->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0) return true;
  }
  return false;
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr ep = std::current_exception();
  if (!ep) return;
  try {
    std::rethrow_exception(ep);
  } catch (const EAbort&) {
    // silent by design
  } catch (const Exception& e) {
    if (OnException)
      InvokeEvent(OnException, Sender, e);
    else
      ShowException(e);
  } catch (const std::exception& e) {
    Exception wrapped(e.what());
    if (OnException)
      InvokeEvent(OnException, Sender, wrapped);
    else
      ShowException(wrapped);
  } catch (...) {
    Exception wrapped("Unknown exception");
    if (OnException)
      InvokeEvent(OnException, Sender, wrapped);
    else
      ShowException(wrapped);
  }
}

void TApplication::ShowException(const Exception& E) {
  MessageBox(ExceptionMessageText(E.Message()), title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
  HWND owner = GetActiveWindow();
  return ::MessageBox(owner, Text, Caption, Flags);
}

void TApplication::Minimize() {
  CancelHint();
  if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->Handle(), SW_MINIMIZE);
  // the application's own window goes down with it: its hooks hear it as minimised
  SendMessage(Handle(), WM_SIZE, SIZE_MINIMIZED, 0);
  InvokeEvent(OnMinimize, this);
}

void TApplication::Restore() {
  if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->Handle(), SW_RESTORE);
  InvokeEvent(OnRestore, this);
}

void TApplication::BringToFront() {
  if (mainForm_ && mainForm_->HandleAllocated()) SetActiveWindow(mainForm_->Handle());
}

// ---- hints

void TApplication::SetShowHint(bool Value) {
  showHint_ = Value;
  if (!Value) CancelHint();
}

void TApplication::SetHint(const std::string& Value) {
  if (hint_ == Value) return;
  hint_ = Value;
  InvokeEvent(OnHint, this);
}

void TApplication::StartHintTimer(int Ms, std::uintptr_t Id) {
  SetTimer(Handle(), Id, static_cast<UINT>(Ms), nullptr);
}

bool TApplication::HelpContext(THelpContext Context) {
  return HelpCommand(HELP_CONTEXT, Context);
}

bool TApplication::HelpCommand(WORD Command, intptr_t Data) {
  bool callHelp = true;
  return InvokeEvent(OnHelp, Command, Data, callHelp);
}

void TApplication::CancelHint() {
  if (handle_) {
    KillTimer(handle_, kHintShowTimer);
    KillTimer(handle_, kHintHideTimer);
  }
  if (hintWindow_ && hintWindow_->HandleAllocated()) ShowWindow(hintWindow_->Handle(), SW_HIDE);
  hintActive_ = false;
}

static bool EffectiveShowHint(TControl* c) {
  for (; c; c = c->Parent())
    if (!c->ParentShowHint() || !c->Parent()) return c->ShowHint();
  return false;
}

void TApplication::HintMouseMessage(TControl* Control, TMessage& Message) {
  if (Message.Msg != WM_MOUSEMOVE) return;
  TControl* target = Control;
  if (auto* w = dynamic_cast<TWinControl*>(Control))
    if (TControl* c = w->ControlAtPos({GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)}, false))
      target = c;
  if (target == hintControl_) {
    // the same control: asked again only when the pointer leaves the part its hint was shown for
    if (!target || !hintCursorRectSet_) return;
    const TPoint p = target->ScreenToClient(
        Control->ClientToScreen(TPoint{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)}));
    if (PtInRect(hintCursorRect_, p)) return;
  }
  hintControl_ = target;
  hintCursorRectSet_ = false;
  SetHint(target ? GetLongHint(target->Hint()) : std::string());
  bool wasActive = hintActive_;
  CancelHint();
  if (showHint_ && target && EffectiveShowHint(target)) {
    // a control without a hint text of its own may still answer CM_HINTSHOW with one (grid cells)
    int pause = wasActive ? 50 : hintPause_;
    target->Perform(CM_HINTSHOWPAUSE, wasActive ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
    StartHintTimer(std::max(0, pause), kHintShowTimer);
  }
}

void TApplication::ActivateHint(TPoint CursorPos) {
  TControl* c = hintControl_;
  if (!c || !showHint_) return;
  // no hint for a control whose window went down to an icon meanwhile
  if (TCustomForm* form = GetParentForm(c);
      form && form->HandleAllocated() && IsIconic(GetAncestor(form->Handle(), GA_ROOT)))
    return;
  THintInfo info;
  info.HintControl = c;
  info.CursorPos = c->ScreenToClient(CursorPos);
  info.HintPos = {CursorPos.X, CursorPos.Y + 20};
  info.HintMaxWidth = Screen->Width();
  info.HintColor = hintColor_;
  info.CursorRect = c->ClientRect();
  info.HintStr = GetShortHint(c->Hint());
  info.HideTimeout = hintHidePause_;
  bool canShow = c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  if (canShow) InvokeEvent(OnShowHint, info.HintStr, canShow, info);
  hintCursorRect_ = info.CursorRect;
  hintCursorRectSet_ = true;
  if (!canShow || info.HintStr.empty()) return;
  if (info.HintWindowClass) {
    if (hintWindow_ && hintWindow_->HandleAllocated()) ShowWindow(hintWindow_->Handle(), SW_HIDE);
    hintWindow_ = info.HintWindowClass();
  } else if (!hintWindow_ || hintWindow_->ClassType() != THintWindow::StaticClass()) {
    hintWindow_ = std::make_unique<THintWindow>(nullptr);
  }
  hintWindow_->SetColor(info.HintColor);
  TRect r = hintWindow_->CalcHintRect(std::min(info.HintMaxWidth, 300), info.HintStr, info.HintData);
  OffsetRect(r, info.HintPos.X, info.HintPos.Y);
  hintWindow_->ActivateHint(r, info.HintStr);
  hintActive_ = true;
  if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, kHintHideTimer);
}

void TApplication::ControlDestroyed(TControl* Control) {
  if (hintControl_ == Control) {
    hintControl_ = nullptr;
    CancelHint();
  }
  if (mouseControl_ == Control) mouseControl_ = nullptr;
  if (Screen && Screen->activeControl_ == Control) Screen->activeControl_ = nullptr;
  for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->activeControl_ == Control) f->activeControl_ = nullptr;
  }
}

void TApplication::DoMouseIdle() {
  POINT p;
  GetCursorPos(p);
  TControl* c = GetCapture() ? mouseControl_ : FindDragTarget(p, true);
  if (c == mouseControl_) return;
  TControl* old = mouseControl_;
  mouseControl_ = c;
  if (old) old->Perform(CM_MOUSELEAVE);
  if (c && c == mouseControl_) c->Perform(CM_MOUSEENTER);
}

void talvik::gui::detail::HandleToolkitException() {
  if (Application) Application->HandleException(Application);
}
