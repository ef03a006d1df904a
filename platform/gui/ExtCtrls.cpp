// Timers and panels.
#include "platform/gui/ExtCtrls.h"

#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"

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
  if (enabled_) InvokeEvent(OnTimer, this);
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
  UINT format = DrawTextBiDiModeFlags(DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS |
                                      (alignment_ == taCenter         ? DT_CENTER
                                       : alignment_ == taRightJustify ? DT_RIGHT
                                                                      : DT_LEFT));
  if (!Enabled()) canvas_.Font()->SetColor(clGrayText);
  DrawText(canvas_.Handle(), caption, r, format);
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  controlStyle_ = {csReplicatable};
  width_ = 50;
  height_ = 50;
}

void TBevel::SetShape(TBevelShape Value) {
  shape_ = Value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
  style_ = Value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  int w = Width(), h = Height();
  auto line = [&](TColor colour, int x1, int y1, int x2, int y2) {
    c->Pen()->SetColor(colour);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  TRect r = ClientRect();
  switch (shape_) {
    case bsBox:
      Frame3D(c, r, first, second, 1);
      break;
    case bsFrame: {
      TRect outer = Rect(0, 0, w - 1, h - 1);
      Frame3D(c, outer, first, first, 1);
      TRect inner = Rect(1, 1, w, h);
      Frame3D(c, inner, second, second, 1);
      break;
    }
    case bsTopLine:
      line(first, 0, 0, w, 0);
      line(second, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(first, 0, h - 2, w, h - 2);
      line(second, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(first, 0, 0, 0, h);
      line(second, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(first, w - 2, 0, w - 2, h);
      line(second, w - 1, 0, w - 1, h);
      break;
    case bsSpacer:
      break;
  }
}

// ---------------------------------------------------------------- TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
  controlStyle_.Include(csReplicatable);
  width_ = 65;
  height_ = 65;
  pen_.OnChange = [this](TObject*) { Invalidate(); };
  brush_.OnChange = [this](TObject*) { Invalidate(); };
}

void TShape::SetShape(TShapeType Value) {
  shape_ = Value;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->Assign(&pen_);
  c->Brush()->Assign(&brush_);
  int pw = pen_.Width();
  int half = pw / 2;
  int x = half, y = half, w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    int side = std::min(w, h);
    x += (w - side) / 2;
    y += (h - side) / 2;
    w = h = side;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare:
      c->Rectangle(x, y, x + w, y + h);
      break;
    case stRoundRect:
    case stRoundSquare:
      c->RoundRect(x, y, x + w, y + h, std::min(w, h) / 4, std::min(w, h) / 4);
      break;
    case stEllipse:
    case stCircle:
      c->Ellipse(x, y, x + w, y + h);
      break;
  }
}

// ---------------------------------------------------------------- TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  align_ = alLeft;
  width_ = 3;
  height_ = 100;
  cursor_ = crHSplit;
  controlStyle_ = {csCaptureMouse};
}

void TSplitter::SetBeveled(bool Value) {
  beveled_ = Value;
  Invalidate();
}

TControl* TSplitter::FindControl() {
  if (!Parent()) return nullptr;
  // the aligned control whose edge touches the splitter's near side
  TPoint p;
  switch (Align()) {
    case alLeft:
      p = {Left() - 1, Top()};
      break;
    case alRight:
      p = {Left() + Width(), Top()};
      break;
    case alTop:
      p = {Left(), Top() - 1};
      break;
    case alBottom:
      p = {Left(), Top() + Height()};
      break;
    default:
      return nullptr;
  }
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    TRect r = c->BoundsRect();
    if (Align() == alLeft || Align() == alRight) {
      if (p.X >= r.Left && p.X < r.Right) return c;
    } else if (p.Y >= r.Top && p.Y < r.Bottom) {
      return c;
    }
  }
  return nullptr;
}

void TSplitter::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  if (beveled_) {
    TRect r = ClientRect();
    Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
  }
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  control_ = FindControl();
  down_ = ClientToScreen({X, Y});
  bool horizontal = Align() == alLeft || Align() == alRight;
  startSize_ = control_ ? (horizontal ? control_->Width() : control_->Height()) : 0;
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!control_ || !controlState_.Contains(csLButtonDown)) return;
  TPoint now = ClientToScreen({X, Y});
  int delta = 0;
  switch (Align()) {
    case alLeft:
      delta = now.X - down_.X;
      break;
    case alRight:
      delta = down_.X - now.X;
      break;
    case alTop:
      delta = now.Y - down_.Y;
      break;
    case alBottom:
      delta = down_.Y - now.Y;
      break;
    default:
      break;
  }
  // the other side keeps at least MinSize too
  TRect client = Parent()->ClientRect();
  bool horizontal = Align() == alLeft || Align() == alRight;
  int total = horizontal ? client.Width() : client.Height();
  int others = 0;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c != control_ && c->Visible() && c->Align() != alClient && c->Align() != alNone &&
        (horizontal ? (c->Align() == alLeft || c->Align() == alRight)
                    : (c->Align() == alTop || c->Align() == alBottom)))
      others += horizontal ? c->Width() : c->Height();
  }
  int size = std::clamp(startSize_ + delta, minSize_, std::max(minSize_, total - others - minSize_));
  if (horizontal)
    control_->SetWidth(size);
  else
    control_->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  bool moved = control_ != nullptr && Button == mbLeft;
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) control_ = nullptr;
  if (moved) InvokeEvent(OnMoved, this);
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
  controlStyle_.Include(csReplicatable);
  width_ = 105;
  height_ = 105;
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() {
  picture_->OnChange = nullptr;
}

void TImage::SetPicture(TPicture* Value) {
  picture_->Assign(Value);
}

void TImage::SetStretch(bool Value) {
  stretch_ = Value;
  Invalidate();
}

void TImage::SetCenter(bool Value) {
  center_ = Value;
  Invalidate();
}

void TImage::SetTransparent(bool Value) {
  transparent_ = Value;
  if (TGraphic* g = picture_->Graphic()) g->SetTransparent(Value);
  Invalidate();
}

void TImage::SetAutoSize(bool Value) {
  autoSize_ = Value;
  PictureChanged();
}

TCanvas* TImage::Canvas() {
  TBitmap* b = picture_->Bitmap();
  if (b->Empty()) b->SetSize(Width(), Height());
  return b->Canvas();
}

void TImage::PictureChanged() {
  if (TGraphic* g = picture_->Graphic(); g && transparent_ && !g->Transparent()) g->SetTransparent(true);
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  Invalidate();
}

void TImage::Paint() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  TCanvas* c = TGraphicControl::Canvas();
  TRect r = ClientRect();
  if (!stretch_) {
    int x = center_ ? (r.Width() - g->Width()) / 2 : 0;
    int y = center_ ? (r.Height() - g->Height()) / 2 : 0;
    r = Bounds(x, y, g->Width(), g->Height());
  }
  g->Draw(c, r);
}
