// The control hierarchy: geometry, visibility, colours and fonts, messages, mouse and painting.
#include "platform/gui/Controls.h"

#include <algorithm>
#include <cassert>
#include <set>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

TControl* g_captureControl = nullptr;  // a control holding the mouse (windowless ones through their parent)
TWinControl* g_creating = nullptr;     // the control whose window is being made
TWinControl* g_reparenting = nullptr;  // the control moving to another parent, keeping its window
const char* const kControlProp = "TalvikControl";
const char* const kDefProcProp = "TalvikDefWndProc";

}  // namespace

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(ssShift);
  if (keys & MK_CONTROL) s.Include(ssCtrl);
  if (keys & MK_LBUTTON) s.Include(ssLeft);
  if (keys & MK_RBUTTON) s.Include(ssRight);
  if (keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (keyData & (LPARAM(KF_ALTDOWN) << 16)) s.Include(ssAlt);
  return s;
}

TShiftState GetShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  if (GetKeyState(VK_LBUTTON) < 0) s.Include(ssLeft);
  if (GetKeyState(VK_RBUTTON) < 0) s.Include(ssRight);
  if (GetKeyState(VK_MBUTTON) < 0) s.Include(ssMiddle);
  return s;
}

namespace {

const char* const kUtilWindowClass = "TPUtilWindow";

// A utility window's method, shared with the calls running it: DeallocateHWnd from inside the
// method (a timer freed in its own OnTimer) frees the method only when the call has returned.
using TSharedWndMethod = std::shared_ptr<TWndMethod>;

LRESULT UtilWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* holder = reinterpret_cast<TSharedWndMethod*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
  if (!holder || !*holder || !**holder) return DefWindowProc(hwnd, msg, wParam, lParam);
  const TSharedWndMethod method = *holder;
  TMessage m = MakeMessage(msg, wParam, lParam);
  try {
    (*method)(m);
  } catch (...) {
    if (!Application) throw;
    Application->HandleException(nullptr);
  }
  return m.Result;
}

}  // namespace

HWND AllocateHWnd(TWndMethod Method) {
  WNDCLASS wc;
  if (!GetClassInfo(kUtilWindowClass, wc)) {
    wc.lpszClassName = kUtilWindowClass;
    wc.lpfnWndProc = UtilWindowProc;
    RegisterClass(wc);
  }
  HWND h = CreateWindowEx(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, 0, nullptr,
                          nullptr);
  if (!h) throw EOutOfResources("Error creating window");
  SetWindowLongPtr(
      h, GWLP_USERDATA,
      reinterpret_cast<std::intptr_t>(new TSharedWndMethod(std::make_shared<TWndMethod>(std::move(Method)))));
  return h;
}

void DeallocateHWnd(HWND Wnd) {
  if (!Wnd || !IsWindow(Wnd)) return;
  auto* holder = reinterpret_cast<TSharedWndMethod*>(SetWindowLongPtr(Wnd, GWLP_USERDATA, 0));
  DestroyWindow(Wnd);
  delete holder;
}

namespace talvik::gui::detail {

int ScrollBarTarget(HWND hwnd, int bar, WPARAM wParam, int current, int page, int count) {
  int top = current;
  switch (static_cast<short>(LOWORD(wParam))) {
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
    case SB_THUMBPOSITION:
      top = ScrollThumbPosition(hwnd, bar, wParam);
      break;
    case SB_TOP:
      top = 0;
      break;
    case SB_BOTTOM:
      top = count;
      break;
    default:
      break;
  }
  return std::clamp(top, 0, std::max(0, count - page));
}

}  // namespace talvik::gui::detail

int ScrollThumbPosition(HWND Wnd, int Bar, WPARAM WParam) {
  const int sent = HIWORD(WParam);
  SCROLLINFO si;
  si.fMask = SIF_TRACKPOS;
  if (Wnd && GetScrollInfo(Wnd, Bar, si) && (si.nTrackPos & 0xFFFF) == sent) return si.nTrackPos;
  return static_cast<short>(sent);
}

std::string GetShortHint(const std::string& Hint) {
  auto bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(0, bar);
}

std::string GetLongHint(const std::string& Hint) {
  auto bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(bar + 1);
}

HCURSOR CursorHandle(TCursor cursor) {
  if (Screen) return Screen->Cursors(cursor);
  return LoadCursor(nullptr, IDC_ARROW);
}

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
  Canvas->Pen()->SetWidth(1);
  --Rect.Bottom;
  --Rect.Right;
  for (int i = 0; i < Width; ++i) {
    Canvas->Pen()->SetColor(TopColor);
    Canvas->Polyline({{Rect.Left, Rect.Bottom}, {Rect.Left, Rect.Top}, {Rect.Right, Rect.Top}});
    Canvas->Pen()->SetColor(BottomColor);
    Canvas->Polyline({{Rect.Right, Rect.Top}, {Rect.Right, Rect.Bottom}, {Rect.Left - 1, Rect.Bottom}});
    InflateRect(Rect, -1, -1);
  }
  ++Rect.Bottom;
  ++Rect.Right;
}

// ---------------------------------------------------------------- TControlCanvas

TControlCanvas::~TControlCanvas() {
  FreeHandle();
}

void TControlCanvas::SetControl(TControl* Value) {
  if (control_ == Value) return;
  FreeHandle();
  control_ = Value;
}

void TControlCanvas::FreeHandle() {
  if (dc_) {
    SetHandle(nullptr);
    ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
  }
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  if (auto* w = dynamic_cast<TWinControl*>(control_)) {
    window_ = w->Handle();
    dc_ = GetDC(window_);
  } else if (control_->Parent()) {
    window_ = control_->Parent()->Handle();
    dc_ = GetDC(window_);
    SetViewportOrgEx(dc_, control_->Left(), control_->Top(), nullptr);
    IntersectClipRect(dc_, 0, 0, control_->Width(), control_->Height());
  }
  if (dc_) SetHandle(dc_);
}

// ---------------------------------------------------------------- TSizeConstraints

void TSizeConstraints::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TSizeConstraints*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  maxHeight_ = other->maxHeight_;
  maxWidth_ = other->maxWidth_;
  minHeight_ = other->minHeight_;
  minWidth_ = other->minWidth_;
  Change();
}

void TSizeConstraints::SetMaxHeight(int Value) {
  Value = std::max(0, Value);
  if (maxHeight_ == Value) return;
  maxHeight_ = Value;
  if (Value > 0 && Value < minHeight_) minHeight_ = Value;
  Change();
}

void TSizeConstraints::SetMaxWidth(int Value) {
  Value = std::max(0, Value);
  if (maxWidth_ == Value) return;
  maxWidth_ = Value;
  if (Value > 0 && Value < minWidth_) minWidth_ = Value;
  Change();
}

void TSizeConstraints::SetMinHeight(int Value) {
  Value = std::max(0, Value);
  if (minHeight_ == Value) return;
  minHeight_ = Value;
  if (maxHeight_ > 0 && Value > maxHeight_) maxHeight_ = Value;
  Change();
}

void TSizeConstraints::SetMinWidth(int Value) {
  Value = std::max(0, Value);
  if (minWidth_ == Value) return;
  minWidth_ = Value;
  if (maxWidth_ > 0 && Value > maxWidth_) maxWidth_ = Value;
  Change();
}

void TSizeConstraints::Constrain(int& Width, int& Height) const {
  if (maxWidth_ > 0) Width = std::min(Width, maxWidth_);
  if (maxHeight_ > 0) Height = std::min(Height, maxHeight_);
  Width = std::max(Width, minWidth_);
  Height = std::max(Height, minHeight_);
}

void TSizeConstraints::Scale(int M, int D) {
  if (M == D || D == 0) return;
  maxHeight_ = MulDiv(maxHeight_, M, D);
  maxWidth_ = MulDiv(maxWidth_, M, D);
  minHeight_ = MulDiv(minHeight_, M, D);
  minWidth_ = MulDiv(minWidth_, M, D);
}

void TSizeConstraints::Change() {
  InvokeEvent(OnChange, this);
  if (control_) control_->ConstraintsChanged();
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner),
      font_(std::make_unique<TFont>()),
      constraints_(std::make_unique<TSizeConstraints>(this)) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  talvik::gui::detail::DragControlDestroyed(this);
  if (g_captureControl == this) g_captureControl = nullptr;
  if (Application) Application->ControlDestroyed(this);
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
  if (parent_ == AParent) return;
  for (TWinControl* p = AParent; p; p = p->Parent())
    if (p == this) throw EInvalidOperation("Control '" + Name() + "' cannot have itself as parent");
  if (parent_) parent_->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  constraints_->Constrain(AWidth, AHeight);
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  InvalidateControl(Visible(), false);
  bool sized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  InvalidateControl(Visible(), false);
  RequestAlign();
  if (sized) Resize();
}

TRect TControl::ClientRect() {
  return Rect(0, 0, width_, height_);
}

void TControl::SetClientWidth(int Value) {
  SetWidth(width_ - ClientRect().Width() + Value);
}
void TControl::SetClientHeight(int Value) {
  SetHeight(height_ - ClientRect().Height() + Value);
}

TPoint TControl::ClientOrigin() {
  if (!parent_) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  TPoint p = parent_->ClientOrigin();
  return {p.X + left_, p.Y + top_};
}

void TControl::SetAlign(TAlign Value) {
  if (align_ == Value) return;
  align_ = Value;
  if (Value == alLeft || Value == alRight) anchors_ = {akLeft, akTop, akBottom};
  RequestAlign();
}

void TControl::SetVisible(bool Value) {
  if (visible_ == Value) return;
  VisibleChanging();
  InvalidateControl(true, false);
  visible_ = Value;
  Perform(CM_VISIBLECHANGED, Value);
  InvalidateControl(Value, false);
  RequestAlign();
}

void TControl::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
  if (parentColor_ == Value) return;
  parentColor_ = Value;
  if (Value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

TFont* TControl::ParentFontObject() {
  return parent_ ? parent_->Font() : nullptr;
}

void TControl::FontChanged() {
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool Value) {
  if (parentFont_ == Value) return;
  parentFont_ = Value;
  if (Value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::ConstraintsChanged() {
  SetBounds(left_, top_, width_, height_);
}

void TWinControl::ConstraintsChanged() {
  TControl::ConstraintsChanged();
  if (HandleAllocated() && !GetParent(handle_)) SizeLimitsChanged(handle_);
}

void TControl::ChangeScale(int M, int D) {
  if (M == D || D == 0) return;
  const int x = MulDiv(left_, M, D), y = MulDiv(top_, M, D);
  const int w = controlStyle_.Contains(csFixedWidth) ? width_ : MulDiv(left_ + width_, M, D) - x;
  const int h = controlStyle_.Contains(csFixedHeight) ? height_ : MulDiv(top_ + height_, M, D) - y;
  constraints_->Scale(M, D);
  SetBounds(x, y, w, h);
  if (!parentFont_) font_->SetSize(MulDiv(font_->Size(), M, D));
}

void TControl::SetBiDiMode(TBiDiMode Value) {
  parentBiDiMode_ = false;
  if (biDiMode_ == Value) return;
  biDiMode_ = Value;
  Perform(CM_BIDIMODECHANGED);
}

void TControl::SetParentBiDiMode(bool Value) {
  if (parentBiDiMode_ == Value) return;
  parentBiDiMode_ = Value;
  if (Value && parent_) Perform(CM_PARENTBIDIMODECHANGED);
}

UINT TControl::DrawTextBiDiModeFlags(UINT Flags) const {
  if (UseRightToLeftAlignment()) {
    if (Flags & DT_RIGHT)
      Flags &= ~static_cast<UINT>(DT_RIGHT);  // DT_LEFT is no bit
    else if (!(Flags & DT_CENTER))
      Flags |= DT_RIGHT;
  }
  return Flags | DrawTextBiDiModeFlagsReadingOnly();
}

TAlignment TControl::BiDiAlignment(TAlignment Value) const {
  if (!UseRightToLeftAlignment() || Value == taCenter) return Value;
  return Value == taLeftJustify ? taRightJustify : taLeftJustify;
}

void TControl::SetCtl3D(bool Value) {
  parentCtl3D_ = false;
  if (ctl3D_ == Value) return;
  ctl3D_ = Value;
  Perform(CM_CTL3DCHANGED);
}

void TControl::SetParentCtl3D(bool Value) {
  if (parentCtl3D_ == Value) return;
  parentCtl3D_ = Value;
  if (Value && parent_) Perform(CM_PARENTCTL3DCHANGED);
}

void TControl::SetShowHint(bool Value) {
  showHint_ = Value;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (popupMenu_ && popupMenu_ != Value) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == popupMenu_) popupMenu_ = nullptr;
  if (actionLink_ && AComponent == actionLink_->Action()) actionLink_.reset();
}

// ---------------------------------------------------------------- actions

TControlActionLink::TControlActionLink(TControl* AClient) : TActionLink(AClient), control_(AClient) {}

bool TControlActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && control_->Caption() == CustomAction()->Caption();
}
bool TControlActionLink::IsEnabledLinked() {
  return TActionLink::IsEnabledLinked() && control_->Enabled() == CustomAction()->Enabled();
}
bool TControlActionLink::IsHintLinked() {
  return TActionLink::IsHintLinked() && control_->Hint() == CustomAction()->Hint();
}
bool TControlActionLink::IsVisibleLinked() {
  return TActionLink::IsVisibleLinked() && control_->Visible() == CustomAction()->Visible();
}
bool TControlActionLink::IsHelpContextLinked() {
  return TActionLink::IsHelpContextLinked() && control_->HelpContext() == CustomAction()->HelpContext();
}
void TControlActionLink::SetCaption(const std::string& Value) {
  if (IsCaptionLinked()) control_->SetCaption(Value);
}
void TControlActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) control_->SetEnabled(Value);
}
void TControlActionLink::SetHint(const std::string& Value) {
  if (IsHintLinked()) control_->SetHint(Value);
}
void TControlActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) control_->SetVisible(Value);
}
void TControlActionLink::SetHelpContext(int Value) {
  if (IsHelpContextLinked()) control_->SetHelpContext(Value);
}

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() {
  return std::make_unique<TControlActionLink>(this);
}

void TControl::SetAction(TBasicAction* Value) {
  if (Value == Action()) return;
  if (TBasicAction* old = Action()) old->RemoveFreeNotification(this);
  if (!Value) {
    actionLink_.reset();
    controlStyle_.Exclude(csActionClient);
    return;
  }
  if (!actionLink_) {
    actionLink_ = CreateActionLink();
    actionLink_->OnChange = [this](TObject* Sender) {
      if (Sender && Sender == Action()) ActionChange(Sender, false);
    };
  }
  actionLink_->SetAction(Value);
  ActionChange(Value, Value->ComponentState().Contains(csLoading));
  Value->FreeNotification(this);
  controlStyle_.Include(csActionClient);
}

void TControl::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(Sender);
  if (!action) return;
  if (!CheckDefaults || Caption().empty()) SetCaption(action->Caption());
  if (!CheckDefaults || Enabled()) SetEnabled(action->Enabled());
  if (!CheckDefaults || Hint().empty()) SetHint(action->Hint());
  if (!CheckDefaults || Visible()) SetVisible(action->Visible());
  if (!CheckDefaults || HelpContext() == 0) SetHelpContext(action->HelpContext());
}

void TControl::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

void TControl::SetCursor(TCursor Value) {
  if (cursor_ == Value) return;
  cursor_ = Value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetText(const std::string& Value) {
  if (GetText() == Value) return;
  SetTextInternal(Value);
  Perform(CM_TEXTCHANGED);
}

bool TControl::MouseCapture() {
  return g_captureControl == this;
}

void TControl::SetMouseCapture(bool Value) {
  if (MouseCapture() == Value) return;
  if (Value) {
    g_captureControl = this;
    TWinControl* w = dynamic_cast<TWinControl*>(this);
    if (!w) w = parent_;
    if (w) SetCapture(w->Handle());
  } else {
    g_captureControl = nullptr;
    ReleaseCapture();
  }
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m = MakeMessage(Msg, WParam, LParam);
  WindowProc(m);
  return m.Result;
}

bool TControl::IsShowingForPaint() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::InvalidateControl(bool IsVisible, bool) {
  if (!IsVisible || !parent_ || !parent_->HandleAllocated() || dynamic_cast<TWinControl*>(this)) return;
  RECT r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, true);
}

void TControl::Invalidate() {
  InvalidateControl(visible_, controlStyle_.Contains(csOpaque));
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  if (visible_ && parent_ && parent_->HandleAllocated()) {
    Invalidate();
    parent_->Update();
  }
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::Click() {
  // A handler of the control's own wins over its action.
  if (OnClick)
    InvokeEvent(OnClick, this);
  else if (actionLink_ && !ComponentState().Contains(csDesigning))
    actionLink_->Execute(this);
}

void TControl::DblClick() {
  InvokeEvent(OnDblClick, this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseDown, this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseMove, this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  InvokeEvent(OnMouseUp, this, Button, Shift, X, Y);
}

void TControl::Resize() {
  InvokeEvent(OnResize, this);
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControls(this);
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
  InvokeEvent(OnContextPopup, this, MousePos, Handled);
}

void TControl::SendCancelMode(TControl* Sender) {
  for (TControl* c = this; c; c = c->parent_)
    if (auto* f = dynamic_cast<TCustomForm*>(c)) {
      f->SendCancelMode(Sender);
      return;
    }
}

void TControl::HandleMouse(TMessage& m) {
  TWMMouse mm(m);
  TShiftState shift = KeysToShiftState(m.WParam);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SendCancelMode(this);
      if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
      if (controlStyle_.Contains(csClickEvents)) controlState_.Include(csClicked);
      if (m.Msg == WM_LBUTTONDBLCLK) {
        shift.Include(ssDouble);
        if (controlStyle_.Contains(csDoubleClicks)) DblClick();
      }
      controlState_.Include(csLButtonDown);
      MouseDown(mbLeft, shift, mm.XPos(), mm.YPos());
      if (dragMode_ == dmAutomatic && m.Msg == WM_LBUTTONDOWN) BeginDrag(false);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      SendCancelMode(this);
      if (m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK) shift.Include(ssDouble);
      MouseDown((m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK) ? mbRight : mbMiddle, shift, mm.XPos(),
                mm.YPos());
      break;
    case WM_LBUTTONUP: {
      bool clicked = controlState_.Contains(csClicked);
      controlState_.Exclude(csLButtonDown);
      controlState_.Exclude(csClicked);
      if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
      if (clicked && PtInRect(ClientRect(), mm.Pos())) Click();
      MouseUp(mbLeft, shift, mm.XPos(), mm.YPos());
      break;
    }
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      MouseUp(m.Msg == WM_RBUTTONUP ? mbRight : mbMiddle, shift, mm.XPos(), mm.YPos());
      break;
    case WM_MOUSEMOVE:
      MouseMove(shift, mm.XPos(), mm.YPos());
      break;
    default:
      break;
  }
}

void TControl::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL) {
    if (Application) Application->HintMouseMessage(this, Message);
  }
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
      HandleMouse(m);
      DefaultHandler(m);
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      if (MouseCapture()) {
        SetMouseCapture(false);
        if (controlState_.Contains(csLButtonDown)) {
          controlState_.Exclude(csLButtonDown);
          controlState_.Exclude(csClicked);
        }
      }
      if (m.Msg == WM_CANCELMODE) DefaultHandler(m);
      return;
    case WM_CONTEXTMENU: {
      TPoint pos{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      TPoint client = pos.X == -1 && pos.Y == -1 ? TPoint{-1, -1} : ScreenToClient(pos);
      bool handled = false;
      DoContextPopup(client, handled);
      if (handled) {
        m.Result = 1;
        return;
      }
      if (popupMenu_ && popupMenu_->AutoPopup()) {
        if (pos.X == -1 && pos.Y == -1) pos = ClientToScreen({0, 0});
        popupMenu_->SetPopupComponent(this);
        popupMenu_->Popup(pos.X, pos.Y);
        m.Result = 1;
        return;
      }
      DefaultHandler(m);
      return;
    }
    case CM_PARENTCOLORCHANGED:
      if (parentColor_ && parent_) {
        color_ = parent_->Color();
        parentColor_ = true;
        Invalidate();
      }
      return;
    case CM_PARENTFONTCHANGED:
      if (parentFont_ && parent_) {
        font_->OnChange = nullptr;
        font_->Assign(parent_->Font());
        font_->OnChange = [this](TObject*) { FontChanged(); };
        Perform(CM_FONTCHANGED);
        parentFont_ = true;
      }
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_) showHint_ = parent_->ShowHint();
      return;
    case CM_PARENTCTL3DCHANGED:
      if (parentCtl3D_ && parent_ && ctl3D_ != parent_->Ctl3D()) {
        ctl3D_ = parent_->Ctl3D();
        Perform(CM_CTL3DCHANGED);
      }
      return;
    case CM_PARENTBIDIMODECHANGED:
      if (parentBiDiMode_ && parent_ && biDiMode_ != parent_->BiDiMode()) {
        biDiMode_ = parent_->BiDiMode();
        Perform(CM_BIDIMODECHANGED);
      }
      return;
    case CM_BIDIMODECHANGED:
      Invalidate();
      return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
    case CM_VISIBLECHANGED:
      Invalidate();
      return;
    case CM_MOUSEENTER:
      InvokeEvent(OnMouseEnter, this);
      if (parent_) parent_->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
      return;
    case CM_MOUSELEAVE:
      InvokeEvent(OnMouseLeave, this);
      if (parent_) parent_->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
      return;
    case CM_HITTEST:
      m.Result = 1;
      return;  // HTCLIENT
    case CM_DRAG: {
      auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
      if (m.WParam == dmDragCancel) {
        // the drag of this source ended; LParam is the control it dropped on, if any
        auto* target = reinterpret_cast<TControl*>(m.LParam);
        POINT p;
        GetCursorPos(p);
        TPoint local = target ? target->ScreenToClient(p) : TPoint{0, 0};
        DoEndDrag(target, local.X, local.Y);
        return;
      }
      if (!rec) return;
      TPoint p = ScreenToClient(rec->Pos);
      static constexpr TDragState kStates[] = {dsDragEnter, dsDragLeave, dsDragMove};
      if (m.WParam <= dmDragMove) {
        bool accept = false;
        DragOver(rec->Source, p.X, p.Y, kStates[m.WParam], accept);
        rec->Accepted = accept;
        m.Result = accept ? 1 : 0;
      } else if (m.WParam == dmDragDrop) {
        DragDrop(rec->Source, p.X, p.Y);
      }
      return;
    }
    case WM_SIZE:
      Resize();
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_GETTEXT:
      if (m.LParam) *reinterpret_cast<std::string*>(m.LParam) = GetText();
      m.Result = static_cast<LRESULT>(GetText().size());
      return;
    case WM_GETTEXTLENGTH:
      m.Result = static_cast<LRESULT>(GetText().size());
      return;
    case WM_SETTEXT:
      SetTextInternal(m.LParam ? reinterpret_cast<const char*>(m.LParam) : "");
      m.Result = 1;
      return;
    default:
      return;
  }
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  winControl_ = this;
  brush_.SetColor(color_);
  controlStyle_.Include(csAcceptsControls);
}

TWinControl::~TWinControl() {
  // a drag ends while this is still a windowed control, before its window (and capture) goes
  talvik::gui::detail::DragControlDestroyed(this);
  // leave the parent while this is still a windowed control: its tab list must forget it
  if (parent_) parent_->RemoveControl(this);
  // children owned elsewhere stay alive but lose their parent
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  DestroyHandle();
  winControl_ = nullptr;  // what is left is a plain control, as a dynamic_cast would find
}

TWinControl* TWinControl::FindControl(HWND Handle) {
  if (!Handle) return nullptr;
  return static_cast<TWinControl*>(GetProp(Handle, kControlProp));
}

LRESULT TWinControl::InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* c = FindControl(hwnd);
  if (!c && g_creating) {
    c = g_creating;
    c->handle_ = hwnd;
    SetProp(hwnd, kControlProp, c);
  }
  if (!c) {
    // a window its control has let go of: the procedure of its class still frees what it holds
    if (void* proc = GetProp(hwnd, kDefProcProp))
      return CallWindowProc(reinterpret_cast<WNDPROC>(proc), hwnd, msg, wParam, lParam);
    return DefWindowProc(hwnd, msg, wParam, lParam);
  }
  TMessage m = MakeMessage(msg, wParam, lParam);
  c->MainWndProc(m);
  return m.Result;
}

void TWinControl::MainWndProc(TMessage& Message) {
  // an exception must not cross the window manager: the application shows it
  try {
    WindowProc(Message);
  } catch (...) {
    if (Application)
      Application->HandleException(this);
    else
      throw;
  }
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params = TCreateParams{};
  Params.Caption = text_;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (controlStyle_.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
  if (!enabled_) Params.Style |= WS_DISABLED;
  if (tabStop_) Params.Style |= WS_TABSTOP;
  Params.X = left_;
  Params.Y = top_;
  Params.Width = width_;
  Params.Height = height_;
  if (parent_)
    Params.WndParent = parent_->Handle();
  else
    Params.WndParent = parentWindow_;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WindowClass.lpfnWndProc = InitWndProc;
  Params.WindowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  Params.WinClassName = ClassName();
  AddBiDiModeExStyle(Params.ExStyle);
}

void TWinControl::AddBiDiModeExStyle(DWORD& ExStyle) {
  if (UseRightToLeftReading()) ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftScrollBar()) ExStyle |= WS_EX_LEFTSCROLLBAR;
  if (UseRightToLeftAlignment()) {
    // the text's own alignment mirrored: left-aligned text stands at the right
    if (GetControlsAlignment() == taLeftJustify)
      ExStyle |= WS_EX_RIGHT;
    else
      ExStyle &= ~static_cast<DWORD>(WS_EX_RIGHT);
  }
}

void TWinControl::ChangeScale(int M, int D) {
  DisableAlign();
  TScopeExit enable([this] { EnableAlign(); });
  ScaleControls(M, D);
  TControl::ChangeScale(M, D);
}

void TWinControl::ScaleControls(int M, int D) {
  for (TControl* c : std::vector<TControl*>(controls_)) c->ChangeScale(M, D);
}

void TWinControl::ScaleBy(int M, int D) {
  const int left = left_, top = top_;
  ChangeScale(M, D);
  SetBounds(left, top, width_, height_);
}

void TWinControl::CreateSubClass(TCreateParams& Params, const std::string& ControlClassName) {
  WNDCLASS base;
  if (!GetClassInfo(ControlClassName, base))
    throw EInvalidOperation("Window class '" + ControlClassName + "' is not registered");
  Params.DefWndProc = base.lpfnWndProc;
  Params.WindowClass.style = base.style;
  Params.WindowClass.hCursor = base.hCursor;
  Params.WindowClass.hbrBackground = base.hbrBackground;
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
  handle_ = CreateWindowEx(Params.ExStyle, Params.WinClassName, Params.Caption, Params.Style, Params.X,
                           Params.Y, Params.Width, Params.Height, Params.WndParent, 0, nullptr, Params.Param);
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_CHILD) && !params.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  params.WindowClass.lpszClassName = params.WinClassName;
  params.WindowClass.lpfnWndProc = InitWndProc;
  WNDCLASS existing;
  if (!GetClassInfo(params.WinClassName, existing)) RegisterClass(params.WindowClass);
  defWndProc_ = params.DefWndProc ? params.DefWndProc : DefWindowProc;
  TWinControl* saved = g_creating;
  g_creating = this;
  try {
    CreateWindowHandle(params);
  } catch (...) {
    g_creating = saved;
    throw;
  }
  g_creating = saved;
  if (!handle_) throw EOutOfResources("Error creating window for '" + Name() + "'");
  SetProp(handle_, kControlProp, this);
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  // children get their windows when they are shown
  for (TWinControl* c : tabList_)
    if (c->Visible() && !c->HandleAllocated()) c->CreateHandle();
  UpdateShowing();
  AlignControls(nullptr);
}

HWND TWinControl::Handle() {
  if (!handle_) {
    if (parent_) parent_->HandleNeeded();
    if (!handle_) CreateHandle();
  }
  return handle_;
}

void TWinControl::DestroyWindowHandle() {
  HWND h = handle_;
  controlState_.Include(csDestroyingHandle);
  if (h) {
    RemoveProp(h, kControlProp);
    if (defWndProc_ && defWndProc_ != DefWindowProc)
      SetProp(h, kDefProcProp, reinterpret_cast<void*>(defWndProc_));
    DestroyWindow(h);
  }
  handle_ = nullptr;
  controlState_.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyWnd() {
  text_ = GetText();
  DestroyWindowHandle();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TWinControl* c : tabList_) c->DestroyHandle();
  DestroyWnd();
  showing_ = false;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  bool focused = Focused();
  recreating_ = true;
  DestroyHandle();
  recreating_ = false;
  HandleNeeded();
  if (focused && CanFocus()) ::SetFocus(handle_);
}

void TWinControl::InsertControl(TControl* AControl) {
  AControl->parent_ = this;
  controls_.push_back(AControl);
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    tabList_.push_back(w);
    if (handle_ && w->Visible()) w->HandleNeeded();
  }
  if (AControl->parentColor_) AControl->Perform(CM_PARENTCOLORCHANGED);
  if (AControl->parentFont_) AControl->Perform(CM_PARENTFONTCHANGED);
  if (AControl->parentShowHint_) AControl->Perform(CM_PARENTSHOWHINTCHANGED);
  if (AControl->parentBiDiMode_) AControl->Perform(CM_PARENTBIDIMODECHANGED);
  if (AControl->parentCtl3D_) AControl->Perform(CM_PARENTCTL3DCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) w->UpdateShowing();
  AControl->Invalidate();
  AlignControls(AControl);
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (g_captureControl == AControl) g_captureControl = nullptr;
  if (AControl->parent_ != this) return;
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
  AControl->Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    if (TCustomForm* f = GetParentForm(this)) f->DefocusControl(w, true);
    if (w != g_reparenting) w->DestroyHandle();
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
  }
  controls_.erase(std::remove(controls_.begin(), controls_.end(), AControl), controls_.end());
  AControl->parent_ = nullptr;
  AlignControls(nullptr);
}

bool TWinControl::ContainsControl(TControl* Control) const {
  for (TControl* c = Control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    bool win = dynamic_cast<TWinControl*>(c) != nullptr;
    if (win && !AllowWinControls) continue;
    if (!c->Visible() || (!c->Enabled() && !AllowDisabled)) continue;
    if (PtInRect(c->BoundsRect(), Pos)) return c;
  }
  return nullptr;
}

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  auto& l = parent_->tabList_;
  auto it = std::find(l.begin(), l.end(), this);
  return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (!parent_) return;
  auto& l = parent_->tabList_;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
  Value = std::clamp(Value, 0, static_cast<int>(l.size()));
  l.insert(l.begin() + Value, this);
}

void TWinControl::SetTabStop(bool Value) {
  tabStop_ = Value;
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* c : tabList_) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  int n = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[i] == CurControl) start = i;
  if (start < 0) start = GoForward ? n - 1 : 0;
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[i];
    if (c == CurControl) break;
    if ((!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop);
  if (next) next->SetFocus();
}

bool TWinControl::CanFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  // the form itself may still be hidden: a control on it can take the focus once it shows
  for (TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() {
  return handle_ && GetFocus() == handle_;
}

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (form)
    form->FocusControl(this);
  else if (CanFocus() || !parent_)
    ::SetFocus(Handle());
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) AlignControls(nullptr);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  constraints_->Constrain(AWidth, AHeight);
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  if (handle_) {
    SetWindowPos(handle_, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    // WM_WINDOWPOSCHANGED brought the new bounds in
    if (left_ != ALeft || top_ != ATop || width_ != AWidth || height_ != AHeight) {
      left_ = ALeft;
      top_ = ATop;
      width_ = AWidth;
      height_ = AHeight;
    }
    RequestAlign();
    return;
  }
  bool sized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  RequestAlign();
  if (sized) {
    AlignControls(nullptr);
    Resize();
  }
}

TRect TWinControl::ClientRect() {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, r);
    return r;
  }
  return Rect(0, 0, width_, height_);
}

TPoint TWinControl::ClientOrigin() {
  POINT p{0, 0};
  ::ClientToScreen(Handle(), p);
  return p;
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, !controlStyle_.Contains(csOpaque));
}

void TWinControl::Update() {
  if (handle_) RedrawWindow(handle_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (parent_ == AParent) return;
  if (handle_ && !AParent && !dynamic_cast<TCustomForm*>(this)) DestroyHandle();
  // Moving to another parent keeps the window: the old parent leaves the handle alone.
  TWinControl* const saved = g_reparenting;
  g_reparenting = AParent ? this : nullptr;
  TScopeExit restore([saved] { g_reparenting = saved; });
  TControl::SetParent(AParent);
  if (handle_ && AParent) {
    ::SetParent(handle_, AParent->Handle());
    UpdateShowing();
  }
}

void TWinControl::SetVisible(bool Value) {
  if (visible_ == Value) return;
  TControl::SetVisible(Value);
  // a window without a parent (a popup) is made when it is first shown
  if (Value && (parent_ ? parent_->HandleAllocated() : true)) HandleNeeded();
  UpdateShowing();
}

void TWinControl::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  TControl::SetEnabled(Value);
  if (handle_) EnableWindow(handle_, Value);
}

void TWinControl::UpdateShowing() {
  bool showing = visible_ && handle_ && (parent_ ? parent_->Showing() : true);
  if (handle_) {
    bool windowVisible = IsWindowVisible(handle_) || (GetWindowLongPtr(handle_, GWL_STYLE) & WS_VISIBLE);
    if (visible_ && !windowVisible)
      ShowWindow(handle_, parent_ ? SW_SHOWNA : SW_SHOW);
    else if (!visible_ && windowVisible)
      ShowWindow(handle_, SW_HIDE);
  }
  if (showing != showing_) {
    showing_ = showing;
    Perform(CM_SHOWINGCHANGED);
    for (TWinControl* c : tabList_) c->UpdateShowing();
  }
}

void TWinControl::UpdateControlState() {
  UpdateShowing();
}

void TWinControl::RequestAlign() {
  TControl::RequestAlign();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
}

void TWinControl::NotifyControls(UINT Msg) {
  if (Msg == 0) return;
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(Msg);
}

void TWinControl::SetTextInternal(const std::string& Value) {
  text_ = Value;
  if (handle_) ::SetWindowText(handle_, Value);
}

std::string TWinControl::GetText() const {
  return text_;
}

void TWinControl::Loaded() {
  TControl::Loaded();
  AlignControls(nullptr);
}

void TWinControl::ApplyAnchors(int oldWidth, int oldHeight) {
  TRect cr = ClientRect();
  int dw = cr.Width() - oldWidth, dh = cr.Height() - oldHeight;
  if (dw == 0 && dh == 0) return;
  for (TControl* c : controls_) {
    if (c->Align() != alNone) continue;
    TAnchors a = c->Anchors();
    int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
    if (a.Contains(akRight)) {
      if (a.Contains(akLeft))
        w += dw;
      else
        l += dw;
    } else if (!a.Contains(akLeft)) {
      l += dw / 2;
    }
    if (a.Contains(akBottom)) {
      if (a.Contains(akTop))
        h += dh;
      else
        t += dh;
    } else if (!a.Contains(akTop)) {
      t += dh / 2;
    }
    c->SetBounds(l, t, w, h);
  }
}

void TWinControl::AlignControls(TControl*) {
  if (alignDisabled_ > 0) return;
  ++alignDisabled_;  // children moving must not realign us again
  TRect r = ClientRect();
  if (lastClientWidth_ >= 0) ApplyAnchors(lastClientWidth_, lastClientHeight_);
  lastClientWidth_ = r.Width();
  lastClientHeight_ = r.Height();
  AdjustClientRect(r);
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : controls_) {
      if (c->Align() != a || !c->Visible()) continue;
      int w = c->Width(), h = c->Height();
      switch (a) {
        case alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), h);
          r.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - h, r.Width(), h);
          r.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, w, r.Height());
          r.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(r.Right - w, r.Top, w, r.Height());
          r.Right -= c->Width();
          break;
        case alClient:
          c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
          break;
        default:
          break;
      }
    }
  }
  --alignDisabled_;
}

void TWinControl::Broadcast(TMessage& Message) {
  for (TControl* c : std::vector<TControl*>(controls_)) {
    c->WindowProc(Message);
    if (Message.Result != 0) return;
  }
}

void TWinControl::PaintWindow(HDC DC) {
  TMessage m = MakeMessage(WM_PAINT, reinterpret_cast<WPARAM>(DC));
  DefaultHandler(m);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
  bool started = First == nullptr;
  for (TControl* c : controls_) {
    if (!started) {
      started = c == First;
      if (!started) continue;
    }
    if (c->AsWinControl() || !c->Visible()) continue;
    RECT r = c->BoundsRect();
    if (!RectVisible(DC, r)) continue;
    int saved = SaveDC(DC);
    OffsetViewportOrgEx(DC, c->Left(), c->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC));
    RestoreDC(DC, saved);
  }
}

void TWinControl::PaintHandler(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  PAINTSTRUCT ps;
  if (!dc) dc = BeginPaint(handle_, ps);
  int saved = SaveDC(dc);
  // graphic children are painted after, so the window does not paint under them
  for (TControl* c : controls_)
    if (!c->AsWinControl() && c->Visible() && c->ControlStyle().Contains(csOpaque)) {
      RECT r = c->BoundsRect();
      ExcludeClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
    }
  PaintWindow(dc);
  RestoreDC(dc, saved);
  PaintControls(dc, nullptr);
  if (!Message.WParam) EndPaint(handle_, ps);
}

bool TWinControl::IsControlMouseMsg(TMessage& m) {
  TControl* target = nullptr;
  if (g_captureControl && g_captureControl->Parent() == this && !dynamic_cast<TWinControl*>(g_captureControl))
    target = g_captureControl;
  else if (!g_captureControl || g_captureControl == this)
    target = ControlAtPos({GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)}, false);
  if (!target) return false;
  TPoint p{GET_X_LPARAM(m.LParam) - target->Left(), GET_Y_LPARAM(m.LParam) - target->Top()};
  m.Result = target->Perform(m.Msg, m.WParam, MAKELPARAM(p.X, p.Y));
  return true;
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
  InvokeEvent(OnKeyDown, this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift) {
  InvokeEvent(OnKeyUp, this, Key, Shift);
}

void TWinControl::KeyPress(char32_t& Key) {
  InvokeEvent(OnKeyPress, this, Key);
}

bool TWinControl::DoKeyDown(TMessage& m) {
  TShiftState shift = KeyDataToShiftState(m.LParam);
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyDown(m)) return true;
  WORD key = static_cast<WORD>(m.WParam);
  if (!controlStyle_.Contains(csNoStdEvents)) {
    KeyDown(key, shift);
    m.WParam = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyUp(TMessage& m) {
  TShiftState shift = KeyDataToShiftState(m.LParam);
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyUp(m)) return true;
  WORD key = static_cast<WORD>(m.WParam);
  if (!controlStyle_.Contains(csNoStdEvents)) {
    KeyUp(key, shift);
    m.WParam = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyPress(TMessage& m) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyPress(m)) return true;
  char32_t key = static_cast<char32_t>(m.WParam);
  if (!controlStyle_.Contains(csNoStdEvents)) {
    KeyPress(key);
    m.WParam = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  InvokeEvent(OnMouseWheel, this, Shift, WheelDelta, MousePos, handled);
  if (!handled && WheelDelta != 0)
    handled = WheelDelta < 0 ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
  return handled;
}

bool TWinControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  InvokeEvent(OnMouseWheelDown, this, Shift, MousePos, handled);
  return handled;
}

bool TWinControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  InvokeEvent(OnMouseWheelUp, this, Shift, MousePos, handled);
  return handled;
}

void TWinControl::DoEnter() {
  InvokeEvent(OnEnter, this);
}

void TWinControl::DoExit() {
  InvokeEvent(OnExit, this);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      if (TCustomForm* form = GetParentForm(this)) {
        if (!form->SetFocusedControl(this)) return;
      }
      break;
    case WM_KILLFOCUS:
      if (controlState_.Contains(csFocusing)) return;
      break;
    case WM_CAPTURECHANGED:
      if (handle_ && reinterpret_cast<HWND>(m.LParam) != handle_)
        talvik::gui::detail::DragCaptureLost(handle_);
      break;
    case WM_NCHITTEST:
      DefaultHandler(m);
      return;
    case WM_MOUSEMOVE:
      if (Application) Application->HintMouseMessage(this, m);
      [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (IsControlMouseMsg(m)) {
        // a windowless child took it; the window still answers WM_SETCURSOR and the like
        if (m.Msg != WM_MOUSEMOVE) return;
        return;
      }
      break;
    default:
      break;
  }
  Dispatch(m);
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      PaintHandler(m);
      return;
    case WM_PRINTCLIENT: {
      TMessage paint = MakeMessage(WM_PAINT, m.WParam);
      PaintHandler(paint);
      return;
    }
    case WM_ERASEBKGND: {
      if (!controlStyle_.Contains(csOpaque)) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        brush_.SetColor(color_);
        FillRect(dc, ClientRect(), brush_.Handle());
      }
      m.Result = 1;
      return;
    }
    case WM_GETMINMAXINFO: {
      DefaultHandler(m);
      // the desktop sizes a top-level window within the control's limits
      auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam);
      if (!mm) return;
      if (constraints_->MinWidth() > 0) mm->ptMinTrackSize.X = constraints_->MinWidth();
      if (constraints_->MinHeight() > 0) mm->ptMinTrackSize.Y = constraints_->MinHeight();
      if (constraints_->MaxWidth() > 0) mm->ptMaxTrackSize.X = constraints_->MaxWidth();
      if (constraints_->MaxHeight() > 0) mm->ptMaxTrackSize.Y = constraints_->MaxHeight();
      return;
    }
    case WM_WINDOWPOSCHANGING: {
      // a size asked for from outside (the window manager resizing a form) keeps the limits too
      auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (pos && !(pos->flags & SWP_NOSIZE)) constraints_->Constrain(pos->cx, pos->cy);
      DefaultHandler(m);
      return;
    }
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (pos) {
        bool sized = !(pos->flags & SWP_NOSIZE);
        if (!(pos->flags & SWP_NOMOVE) || sized) {
          RECT r;
          GetWindowRect(handle_, r);
          POINT p{r.Left, r.Top};
          if (HWND ph = GetAncestor(handle_, GA_PARENT)) ::ScreenToClient(ph, p);
          left_ = p.X;
          top_ = p.Y;
          width_ = r.Width();
          height_ = r.Height();
        }
        if (sized) AlignControls(nullptr);
      }
      DefaultHandler(m);  // sends WM_SIZE and WM_MOVE
      return;
    }
    case WM_SIZE:
      DefaultHandler(m);  // the window class of a control built on one (an edit re-wraps its lines)
      Resize();
      return;
    case WM_SETCURSOR: {
      if (LOWORD(static_cast<std::uintptr_t>(m.LParam)) == HTCLIENT) {
        TCursor cursor = Screen ? Screen->Cursor() : crDefault;
        if (cursor == crDefault) {
          POINT p;
          GetCursorPos(p);
          TControl* c = ControlAtPos(ScreenToClient(p), false);
          cursor = c ? c->Cursor() : crDefault;
          if (cursor == crDefault) cursor = cursor_;
        }
        if (cursor != crDefault) {
          ::SetCursor(CursorHandle(cursor));
          m.Result = 1;
          return;
        }
      }
      DefaultHandler(m);
      return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(m)) DefaultHandler(m);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(m)) DefaultHandler(m);
      return;
    case WM_CHAR:
      if (!DoKeyPress(m)) DefaultHandler(m);
      return;
    case WM_MOUSEWHEEL: {
      TPoint pos{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), GET_WHEEL_DELTA_WPARAM(m.WParam), pos)) {
        m.Result = 1;
        return;
      }
      // the wheel goes up the control tree, not the window tree
      if (parent_) {
        m.Result = parent_->Perform(CM_MOUSEWHEEL, m.WParam, m.LParam);
        return;
      }
      return;
    }
    case CM_MOUSEWHEEL: {
      TPoint pos{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), GET_WHEEL_DELTA_WPARAM(m.WParam), pos))
        m.Result = 1;
      else if (parent_)
        m.Result = parent_->Perform(CM_MOUSEWHEEL, m.WParam, m.LParam);
      return;
    }
    case WM_GETDLGCODE:
      DefaultHandler(m);
      return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
      m.Result = 1;
      WORD key = static_cast<WORD>(m.WParam);
      // The popup menus of this control and of its parents see a shortcut first.
      TMessage keyMsg = MakeMessage(m.Msg - CN_BASE, m.WParam, m.LParam);
      for (TControl* c = this; c; c = c->Parent())
        if (c->PopupMenu() && c->PopupMenu()->IsShortCut(keyMsg)) return;
      if (Perform(CM_CHILDKEY, key, reinterpret_cast<LPARAM>(this)) != 0) return;
      LRESULT mask = 0;
      switch (key) {
        case VK_TAB:
          mask = DLGC_WANTTAB;
          break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
          mask = DLGC_WANTARROWS;
          break;
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_CANCEL:
          mask = DLGC_WANTALLKEYS;
          break;
        default:
          break;
      }
      if (mask && Perform(CM_WANTSPECIALKEY, key) == 0 && !(Perform(WM_GETDLGCODE) & mask)) {
        TCustomForm* form = GetParentForm(this);
        if (form && form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
      }
      m.Result = 0;
      return;
    }
    case CN_CHAR:
    case CN_SYSCHAR: {
      // a character the control does not want may be an accelerator of another control; with Alt
      // held it is one whatever the control wants
      m.Result = 1;
      TCustomForm* form = GetParentForm(this);
      if ((m.Msg == CN_SYSCHAR || !(Perform(WM_GETDLGCODE) & DLGC_WANTCHARS)) && form &&
          form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0)
        return;
      m.Result = 0;
      return;
    }
    case CM_CHILDKEY:
      if (parent_) m.Result = parent_->Perform(CM_CHILDKEY, m.WParam, m.LParam);
      return;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      // a notification from a child control goes back to that control
      TWinControl* child = FindControl(reinterpret_cast<HWND>(m.LParam));
      if (child && child != this) {
        m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
        return;
      }
      DefaultHandler(m);
      return;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(font_->Color()));
      brush_.SetColor(color_);
      SetBkColor(dc, ColorToRGB(color_));
      m.Result = reinterpret_cast<LRESULT>(brush_.Handle());
      return;
    }
    case CM_SYSCOLORCHANGE:
    case CM_WININICHANGE:
    case CM_FOCUSCHANGED:
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(m.Msg, m.WParam, m.LParam);
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      Broadcast(m);
      return;
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_COLORCHANGED:
      brush_.SetColor(color_);
      NotifyControls(CM_PARENTCOLORCHANGED);
      Invalidate();
      return;
    case CM_FONTCHANGED:
      NotifyControls(CM_PARENTFONTCHANGED);
      Invalidate();
      return;
    case CM_ENABLEDCHANGED:
      if (!enabled_ && parent_) {
        if (TCustomForm* f = GetParentForm(this)) f->DefocusControl(this, false);
      }
      if (handle_) EnableWindow(handle_, enabled_);
      Invalidate();
      return;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return;
    case CM_CTL3DCHANGED:
      NotifyControls(CM_PARENTCTL3DCHANGED);
      DefaultHandler(m);
      return;
    case CM_BIDIMODECHANGED:
      // the window's extended styles follow the mode
      RecreateWnd();
      NotifyControls(CM_PARENTBIDIMODECHANGED);
      Invalidate();
      return;
    case CM_RECREATEWND:
      RecreateWnd();
      return;
    case CM_VISIBLECHANGED:
      Invalidate();
      return;
    case WM_DESTROY:
      DefaultHandler(m);
      return;
    case WM_NCDESTROY:
      DefaultHandler(m);
      if (!controlState_.Contains(csDestroyingHandle)) handle_ = nullptr;
      return;
    default:
      TControl::Dispatch(m);
  }
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) {
    TControl::DefaultHandler(m);
    return;
  }
  switch (m.Msg) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
      if (defWndProc_ && defWndProc_ != DefWindowProc) break;  // the window of its class keeps the text
      if (m.Msg == WM_SETTEXT) {
        text_ = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
        m.Result = CallWindowProc(DefWindowProc, handle_, m.Msg, m.WParam, m.LParam);
        return;
      }
      TControl::DefaultHandler(m);
      return;
    case WM_PAINT:
      if (m.WParam) return;  // painting into a given DC: nothing by default
      break;
    case WM_CONTEXTMENU:
      // the control tree decides, not the window tree
      if (parent_) {
        m.Result = parent_->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
        return;
      }
      return;
    default:
      break;
  }
  m.Result = CallWindowProc(defWndProc_ ? defWndProc_ : DefWindowProc, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
  int saved = SaveDC(DC);
  OffsetViewportOrgEx(DC, X, Y, nullptr);
  IntersectClipRect(DC, 0, 0, width_, height_);
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC));
  Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC));
  for (TWinControl* c : tabList_)
    if (c->Visible()) c->PaintTo(DC, c->Left(), c->Top());
  RestoreDC(DC, saved);
}

// ---------------------------------------------------------------- TCustomControl, TGraphicControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  canvas_.SetControl(this);
}

TCustomControl::~TCustomControl() {
  canvas_.FreeHandle();
}

void TCustomControl::PaintWindow(HDC DC) {
  canvas_.Lock();
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
  canvas_.Unlock();
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
  canvas_.SetControl(this);
}

TGraphicControl::~TGraphicControl() {
  canvas_.FreeHandle();
}

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    canvas_.SetHandle(reinterpret_cast<HDC>(m.WParam));
    try {
      canvas_.Font()->Assign(Font());
      Paint();
    } catch (...) {
      canvas_.SetHandle(nullptr);
      throw;
    }
    canvas_.SetHandle(nullptr);
    return;
  }
  TControl::Dispatch(m);
}

// ---------------------------------------------------------------- lookups

TCustomForm* GetParentForm(TControl* Control) {
  // the class chain, not a dynamic_cast per level: a grid asks for every row it checks, and a cast
  // that fails searches the control's whole class hierarchy
  for (TControl* c = Control; c; c = c->Parent())
    if (c->InheritsFrom(TCustomForm::StaticClass())) {
      auto* form = dynamic_cast<TCustomForm*>(c);
      assert(form);
      return form;
    }
  return nullptr;
}

TWinControl* FindVCLWindow(TPoint Pos) {
  HWND h = WindowFromPoint(Pos);
  while (h) {
    if (TWinControl* c = TWinControl::FindControl(h)) return c;
    h = GetAncestor(h, GA_PARENT);
  }
  return nullptr;
}

TControl* FindDragTarget(TPoint Pos, bool AllowDisabled) {
  TWinControl* w = FindVCLWindow(Pos);
  if (!w) return nullptr;
  TControl* c = w->ControlAtPos(w->ScreenToClient(Pos), AllowDisabled);
  return c ? c : w;
}
