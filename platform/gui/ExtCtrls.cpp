// Timers and panels.
#include "platform/gui/ExtCtrls.h"

#include "platform/gui/Forms.h"

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  if (window_) KillTimer(window_, 1);
  if (!enabled_ || interval_ == 0 || !OnTimer) return;
  if (!window_)
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == WM_TIMER)
        Timer();
      else
        m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
    });
  SetTimer(window_, 1, interval_, nullptr);
}

void TTimer::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (interval_ == Value) return;
  interval_ = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  OnTimer = std::move(Value);
  UpdateTimer();
}

void TTimer::Timer() {
  if (enabled_ && OnTimer) OnTimer(this);
}

// ---------------------------------------------------------------- TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks};
  width_ = 185;
  height_ = 41;
  color_ = clBtnFace;
  parentColor_ = false;
  brush_.SetColor(color_);
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (borderStyle_ == bsSingle) {
    if (ctl3D_)
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

#define PANEL_SETTER(Name, Type, field, recreate) \
  void TCustomPanel::Set##Name(Type Value) {      \
    if (field == Value) return;                   \
    field = Value;                                \
    if (recreate) RecreateWnd();                  \
    Realign();                                    \
    Invalidate();                                 \
  }
PANEL_SETTER(BevelInner, TBevelCut, bevelInner_, false)
PANEL_SETTER(BevelOuter, TBevelCut, bevelOuter_, false)
PANEL_SETTER(BevelWidth, int, bevelWidth_, false)
PANEL_SETTER(BorderWidth, int, borderWidth_, false)
PANEL_SETTER(BorderStyle, TBorderStyle, borderStyle_, true)
PANEL_SETTER(Alignment, TAlignment, alignment_, false)
#undef PANEL_SETTER

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  int inset = borderWidth_;
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  InflateRect(Rect, -inset, -inset);
}

void TCustomPanel::Paint() {
  TRect r = ClientRect();
  auto colors = [](TBevelCut cut, TColor& top, TColor& bottom) {
    top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor top, bottom;
  if (bevelOuter_ != bvNone) {
    colors(bevelOuter_, top, bottom);
    Frame3D(&canvas_, r, top, bottom, bevelWidth_);
  }
  Frame3D(&canvas_, r, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    colors(bevelInner_, top, bottom);
    Frame3D(&canvas_, r, top, bottom, bevelWidth_);
  }
  canvas_.Brush()->SetColor(Color());
  canvas_.FillRect(r);
  std::string caption = Caption();
  if (caption.empty()) return;
  canvas_.Brush()->SetStyle(bsClear);
  canvas_.Font()->Assign(Font());
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS |
                (alignment_ == taCenter         ? DT_CENTER
                 : alignment_ == taRightJustify ? DT_RIGHT
                                                : DT_LEFT);
  if (!Enabled()) canvas_.Font()->SetColor(clGrayText);
  DrawText(canvas_.Handle(), caption, r, format);
}
