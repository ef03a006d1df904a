// Push buttons, check boxes and radio buttons, painted in the classic look.
#include <algorithm>

#include "platform/gui/StdCtrls.h"

namespace {

constexpr int kCheckSize = 13;

// The rectangle of a check box or radio mark and of the caption beside it.
void SplitMark(const TRect& client, TAlignment alignment, TRect& mark, TRect& text) {
  int top = (client.Height() - kCheckSize) / 2;
  if (alignment == taLeftJustify) {
    mark = Rect(client.Right - kCheckSize, top, client.Right, top + kCheckSize);
    text = Rect(client.Left, client.Top, mark.Left - 4, client.Bottom);
  } else {
    mark = Rect(client.Left, top, client.Left + kCheckSize, top + kCheckSize);
    text = Rect(mark.Right + 4, client.Top, client.Right, client.Bottom);
  }
}

void PaintMarkAndCaption(TCustomControl* control, TCanvas* canvas, TAlignment alignment, UINT markState,
                         bool focused) {
  TRect client = control->ClientRect();
  canvas->Brush()->SetColor(control->Color());
  canvas->FillRect(client);
  TRect mark, text;
  SplitMark(client, alignment, mark, text);
  if (!control->Enabled()) markState |= DFCS_INACTIVE;
  RECT m = mark;
  DrawFrameControl(canvas->Handle(), m, DFC_BUTTON, markState);
  std::string caption = control->Caption();
  TRect calc = text;
  DrawControlCaption(canvas, caption, calc, DT_CALCRECT | DT_SINGLELINE, control->Enabled());
  int dy = (text.Height() - calc.Height()) / 2;
  TRect drawn = Rect(text.Left, text.Top + dy, std::min(text.Right, text.Left + calc.Width()),
                     text.Top + dy + calc.Height());
  if (alignment == taLeftJustify) OffsetRect(drawn, text.Right - drawn.Right, 0);
  DrawControlCaption(canvas, caption, drawn,
                     DT_SINGLELINE | DT_VCENTER | control->DrawTextBiDiModeFlagsReadingOnly(),
                     control->Enabled());
  if (focused) {
    TRect f = drawn;
    InflateRect(f, 1, 1);
    canvas->DrawFocusRect(f);
  }
}

}  // namespace

// ---------------------------------------------------------------- TButtonControl

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csSetCaption, csDoubleClicks, csClickEvents, csCaptureMouse};
  color_ = clBtnFace;
  parentColor_ = false;
  brush_.SetColor(clBtnFace);
  SetTabStop(true);
}

void TButtonControl::SetPressed(bool Value) {
  if (pressed_ == Value) return;
  pressed_ = Value;
  Invalidate();
}

void TButtonControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) SetPressed(true);
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButtonControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (controlState_.Contains(csLButtonDown)) SetPressed(PtInRect(ClientRect(), TPoint{X, Y}));
  TCustomControl::MouseMove(Shift, X, Y);
}

void TButtonControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) SetPressed(false);
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButtonControl::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE && Shift.Empty()) {
    spaceDown_ = true;
    SetPressed(true);
  }
}

void TButtonControl::KeyUp(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (Key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    SetPressed(false);
    Click();
  }
}

void TButtonControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_BUTTON;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // the focus moves first: moving it cancels any mouse mode, the press must come after
      if (Enabled() && CanFocus() && !Focused()) SetFocus();
      TCustomControl::Dispatch(m);
      return;
    case WM_KILLFOCUS:
      spaceDown_ = false;
      SetPressed(false);
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_SETFOCUS:
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      SetPressed(false);
      TCustomControl::Dispatch(m);
      return;
    case BM_CLICK:
      Click();
      return;
    case BM_GETCHECK:
      m.Result = Checked() ? BST_CHECKED : BST_UNCHECKED;
      return;
    case BM_SETCHECK:
      SetChecked(m.WParam == BST_CHECKED);
      return;
    case BM_GETSTATE:
      m.Result = (Checked() ? BST_CHECKED : 0) | (pressed_ ? BST_PUSHED : 0) | (Focused() ? BST_FOCUS : 0);
      return;
    case BM_SETSTATE:
      SetPressed(m.WParam != 0);
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(m.WParam), Caption()) && CanFocus()) {
        SetFocus();
        Click();
        m.Result = 1;
      }
      return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      TCustomControl::Dispatch(m);
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 75;
  height_ = 25;
}

void TButton::SetDefault(bool Value) {
  if (default_ == Value) return;
  default_ = Value;
  Invalidate();
}

bool TButton::IsActive() {
  // the focused button answers Enter; with the focus elsewhere, the default button does
  TCustomForm* form = GetParentForm(this);
  TWinControl* focused = form ? form->ActiveControl() : nullptr;
  if (dynamic_cast<TButton*>(focused)) return focused == this;
  return default_;
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this); form && modalResult_ != mrNone)
    form->SetModalResult(modalResult_);
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_BUTTON | (IsActive() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
      return;
    case CM_DIALOGKEY: {
      WORD key = static_cast<WORD>(m.WParam);
      if (((key == VK_RETURN && IsActive()) || (key == VK_ESCAPE && cancel_)) &&
          KeyDataToShiftState(m.LParam).Empty() && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      return;
    }
    case CM_FOCUSCHANGED: {
      bool active = IsActive();
      if (active != active_) {
        active_ = active;
        Invalidate();
      }
      return;
    }
    default:
      TButtonControl::Dispatch(m);
  }
}

void TButton::Paint() {
  TCanvas* c = Canvas();
  RECT r = ClientRect();
  HDC dc = c->Handle();
  bool active = IsActive() && Enabled();
  if (active) {
    // the default button wears a dark outer frame
    c->Brush()->SetColor(clWindowFrame);
    c->FrameRect(r);
    InflateRect(r, -1, -1);
  }
  if (pressed_) {
    c->Brush()->SetColor(clBtnShadow);
    c->FrameRect(r);
    RECT inner = r;
    InflateRect(inner, -1, -1);
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(inner);
  } else {
    RECT face = r;
    DrawFrameControl(dc, face, DFC_BUTTON, DFCS_BUTTONPUSH | (Enabled() ? 0 : DFCS_INACTIVE));
  }
  TRect text = r;
  if (pressed_) OffsetRect(text, 1, 1);
  c->Font()->Assign(Font());
  DrawControlCaption(c, Caption(), text,
                     DT_CENTER | DT_VCENTER | DT_SINGLELINE | DrawTextBiDiModeFlagsReadingOnly(), Enabled());
  if (Focused()) {
    TRect f = r;
    InflateRect(f, -3, -3);
    c->DrawFocusRect(f);
  }
}

// ---------------------------------------------------------------- TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 97;
  height_ = 17;
}

void TCustomCheckBox::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  Invalidate();
  // a change made in code tells the handlers as a click does
  if (!clicking_) TButtonControl::Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked:
      state_ = allowGrayed_ ? cbGrayed : cbChecked;
      break;
    case cbChecked:
      state_ = cbUnchecked;
      break;
    case cbGrayed:
      state_ = cbChecked;
      break;
  }
  Invalidate();
}

void TCustomCheckBox::Click() {
  clicking_ = true;
  Toggle();
  clicking_ = false;
  TButtonControl::Click();
}

void TCustomCheckBox::Dispatch(TMessage& m) {
  if (m.Msg == BM_SETCHECK) {
    clicking_ = true;
    SetState(m.WParam == BST_CHECKED ? cbChecked : m.WParam == BST_INDETERMINATE ? cbGrayed : cbUnchecked);
    clicking_ = false;
    return;
  }
  if (m.Msg == BM_GETCHECK) {
    m.Result = state_ == cbChecked ? BST_CHECKED : state_ == cbGrayed ? BST_INDETERMINATE : BST_UNCHECKED;
    return;
  }
  TButtonControl::Dispatch(m);
}

void TCustomCheckBox::Paint() {
  UINT state = state_ == cbGrayed ? (DFCS_BUTTON3STATE | DFCS_CHECKED) : DFCS_BUTTONCHECK;
  if (state_ == cbChecked) state |= DFCS_CHECKED;
  if (pressed_) state |= DFCS_PUSHED;
  Canvas()->Font()->Assign(Font());
  PaintMarkAndCaption(this, Canvas(), BiDiAlignment(alignment_), state, Focused());
}

// ---------------------------------------------------------------- TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 113;
  height_ = 17;
}

void TRadioButton::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TRadioButton::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  SetTabStop(Value);
  Invalidate();
  if (!Value) return;
  // one checked button per parent
  if (Parent())
    for (int i = 0; i < Parent()->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); other && other != this)
        other->SetChecked(false);
  TButtonControl::Click();
}

void TRadioButton::Click() {
  if (!checked_)
    SetChecked(true);  // clicks through the change
  else
    TButtonControl::Click();
}

void TRadioButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_BUTTON | DLGC_RADIOBUTTON;
      return;
    case WM_SETFOCUS:
      // arrowing onto a radio button checks it
      TButtonControl::Dispatch(m);
      if (!controlState_.Contains(csLButtonDown) && GetKeyState(VK_LBUTTON) >= 0 && !checked_)
        SetChecked(true);
      return;
    default:
      TButtonControl::Dispatch(m);
  }
}

void TRadioButton::Paint() {
  UINT state = DFCS_BUTTONRADIO | (checked_ ? DFCS_CHECKED : 0) | (pressed_ ? DFCS_PUSHED : 0);
  Canvas()->Font()->Assign(Font());
  PaintMarkAndCaption(this, Canvas(), BiDiAlignment(alignment_), state, Focused());
}
