// Speed buttons and spin edits.
#include "platform/gui/Buttons.h"

#include <algorithm>
#include <climits>

#include "platform/gui/ImgList.h"
#include "platform/gui/Spin.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  controlStyle_ = {csCaptureMouse, csDoubleClicks, csSetCaption, csClickEvents};
  width_ = 23;
  height_ = 22;
  parentFont_ = true;
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGlyph(TBitmap* Value) {
  if (Value)
    glyph_->Assign(Value);
  else
    glyph_ = std::make_unique<TBitmap>();
  if (glyph_->Width() > 0 && glyph_->Height() > 0 && glyph_->Width() % glyph_->Height() == 0)
    numGlyphs_ = std::clamp(glyph_->Width() / glyph_->Height(), 1, 4);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(TNumGlyphs Value) {
  numGlyphs_ = std::clamp(Value, 1, 4);
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
  layout_ = Value;
  Invalidate();
}

void TSpeedButton::SetMargin(int Value) {
  margin_ = Value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int Value) {
  spacing_ = Value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool Value) {
  flat_ = Value;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool Value) {
  transparent_ = Value;
  if (Value)
    controlStyle_.Exclude(csOpaque);
  else
    controlStyle_.Include(csOpaque);
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int Value) {
  groupIndex_ = Value;
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  allowAllUp_ = Value;
  UpdateExclusive();
}

void TSpeedButton::SetDown(bool Value) {
  if (groupIndex_ == 0) Value = false;
  if (Value == down_) return;
  if (down_ && !allowAllUp_ && groupIndex_ != 0) {
    // the last one down of a group that may not be all up stays down
    bool otherDown = false;
    if (Parent())
      for (int i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
            b && b != this && b->groupIndex_ == groupIndex_ && b->down_)
          otherDown = true;
    if (!otherDown) return;
  }
  down_ = Value;
  state_ = Value ? bsExclusive : bsUp;
  Invalidate();
  if (Value) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !Parent()) return;
  TMessage m =
      MakeMessage(CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this));
  Parent()->Broadcast(m);
}

void TSpeedButton::Click() {
  TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (!down_) {
    state_ = bsDown;
    Invalidate();
  }
  dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  TButtonState next = down_ ? bsExclusive : bsUp;
  if (PtInRect(ClientRect(), TPoint{X, Y})) next = down_ ? bsExclusive : bsDown;
  if (next != state_) {
    state_ = next;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (dragging_ && Button == mbLeft) {
    dragging_ = false;
    bool inside = PtInRect(ClientRect(), TPoint{X, Y});
    if (groupIndex_ == 0) {
      state_ = bsUp;
      mouseInControl_ = mouseInControl_ && inside;
    } else if (inside) {
      SetDown(!down_);
      state_ = down_ ? bsExclusive : bsUp;
    } else {
      state_ = down_ ? bsExclusive : bsUp;
    }
    Invalidate();
  }
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TSpeedButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_BUTTONPRESSED:
      if (static_cast<int>(m.WParam) == groupIndex_ && reinterpret_cast<TSpeedButton*>(m.LParam) != this &&
          down_) {
        down_ = false;
        state_ = bsUp;
        Invalidate();
      }
      return;
    case CM_MOUSEENTER:
      mouseInControl_ = true;
      if (flat_ && Enabled()) Invalidate();
      TGraphicControl::Dispatch(m);
      return;
    case CM_MOUSELEAVE:
      mouseInControl_ = false;
      if (flat_ && Enabled()) Invalidate();
      TGraphicControl::Dispatch(m);
      return;
    case CM_ENABLEDCHANGED:
      state_ = Enabled() ? (down_ ? bsExclusive : bsUp) : bsDisabled;
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(m.WParam), Caption()) && Enabled() && Visible() && Parent() &&
          Parent()->Showing()) {
        Click();
        m.Result = 1;
      }
      return;
    default:
      TGraphicControl::Dispatch(m);
  }
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  bool pressed = state_ == bsDown || state_ == bsExclusive;
  if (!transparent_ || !flat_) {
    c->Brush()->SetColor(Color() == clWindow ? clBtnFace : Color());
    c->FillRect(r);
  }
  if (state_ == bsExclusive && !flat_) {
    // held down: the dithered face of a latched button
    c->Brush()->SetColor(clBtnHighlight);
    TRect inner = r;
    InflateRect(inner, -1, -1);
    c->FillRect(inner);
  }
  RECT edge = r;
  if (!flat_)
    DrawEdge(c->Handle(), edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  else if (pressed)
    DrawEdge(c->Handle(), edge, BDR_SUNKENOUTER, BF_RECT);
  else if (mouseInControl_ && Enabled())
    DrawEdge(c->Handle(), edge, BDR_RAISEDINNER, BF_RECT);
  // glyph and caption, laid out as one block centred in the button
  int gw = 0, gh = 0;
  if (!glyph_->Empty()) {
    gw = glyph_->Width() / std::max(1, numGlyphs_);
    gh = glyph_->Height();
  }
  c->Font()->Assign(Font());
  std::string caption = Caption();
  TRect textCalc = Rect(0, 0, r.Width(), 0);
  if (!caption.empty()) DrawControlCaption(c, caption, textCalc, DT_CALCRECT | DT_SINGLELINE, true);
  int tw = caption.empty() ? 0 : textCalc.Width(), th = caption.empty() ? 0 : textCalc.Height();
  bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  int gap = gw && tw ? spacing_ : 0;
  int blockW = horizontal ? gw + gap + tw : std::max(gw, tw);
  int blockH = horizontal ? std::max(gh, th) : gh + gap + th;
  int bx = margin_ >= 0 && horizontal ? margin_ : (r.Width() - blockW) / 2;
  int by = margin_ >= 0 && !horizontal ? margin_ : (r.Height() - blockH) / 2;
  if (pressed) ++bx, ++by;
  TPoint glyphAt, textAt;
  switch (layout_) {
    case blGlyphLeft:
      glyphAt = {bx, by + (blockH - gh) / 2};
      textAt = {bx + gw + gap, by + (blockH - th) / 2};
      break;
    case blGlyphRight:
      textAt = {bx, by + (blockH - th) / 2};
      glyphAt = {bx + tw + gap, by + (blockH - gh) / 2};
      break;
    case blGlyphTop:
      glyphAt = {bx + (blockW - gw) / 2, by};
      textAt = {bx + (blockW - tw) / 2, by + gh + gap};
      break;
    case blGlyphBottom:
      textAt = {bx + (blockW - tw) / 2, by};
      glyphAt = {bx + (blockW - gw) / 2, by + th + gap};
      break;
  }
  if (gw > 0) {
    // the glyph of the state, or the up glyph embossed when the strip has no disabled one
    int slice = 0;
    bool emboss = false;
    if (state_ == bsDisabled) {
      if (numGlyphs_ > 1)
        slice = 1;
      else
        emboss = true;
    } else if (state_ == bsDown && numGlyphs_ > 2) {
      slice = 2;
    } else if (state_ == bsExclusive && numGlyphs_ > 3) {
      slice = 3;
    } else if (state_ == bsExclusive && numGlyphs_ > 2) {
      slice = 2;
    }
    TCustomImageList list(nullptr, gw, gh);
    list.AddMasked(glyph_.get(), clDefault);
    list.Draw(c, glyphAt.X, glyphAt.Y, std::min(slice, list.Count() - 1), !emboss);
  }
  if (tw > 0) {
    TRect text = Rect(textAt.X, textAt.Y, textAt.X + tw, textAt.Y + th);
    DrawControlCaption(c, caption, text, DT_SINGLELINE | DT_CENTER | DT_VCENTER, Enabled());
  }
}

// ---------------------------------------------------------------- TSpinButton

TSpinButton::TSpinButton(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csCaptureMouse, csOpaque};
  color_ = clBtnFace;
  parentColor_ = false;
  width_ = 15;
  height_ = 20;
}

namespace {

constexpr int kSpinEdge = 2;  // the raised edge around each button's face

// The rows of the arrows of a spin button Width by Height: the same in both buttons, as many as the
// lower one leaves room for. (A scroll bar's glyph, sized by the shorter side of its square, would
// be a dot in a button this flat.)
int SpinArrowRows(int Width, int Height) {
  const int faceWidth = Width - 2 * kSpinEdge, faceHeight = Height / 2 - 2 * kSpinEdge;
  return std::max(1, std::min(faceHeight - 1, (faceWidth + 1) / 3));
}

// One button of a spin button in R: its face, raised, or flat and framed while pressed, and its arrow
// of Rows rows (the base 2 * Rows - 1 pixels wide) pointing up or down; in the shadow colour over
// its highlight when disabled.
void PaintSpinButton(HDC Dc, RECT R, bool Up, bool Pressed, bool Enabled, int Rows) {
  RECT face = R;
  InflateRect(face, -kSpinEdge, -kSpinEdge);
  if (Pressed) {
    FrameRect(Dc, R, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(R, -1, -1);
    FillRect(Dc, R, GetSysColorBrush(COLOR_BTNFACE));
    OffsetRect(face, 1, 1);
  } else {
    DrawEdge(Dc, R, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  }
  const int tipX = face.Left + (face.Right - face.Left - 1) / 2;
  const int top = face.Top + (face.Bottom - face.Top - Rows) / 2;
  auto arrow = [&](int Color, int Shift) {
    for (int i = 0; i < Rows; ++i) {
      const int half = Up ? i : Rows - 1 - i;  // the tip row is one pixel wide
      FillRect(Dc, Rect(tipX - half + Shift, top + i + Shift, tipX + half + 1 + Shift, top + i + 1 + Shift),
               GetSysColorBrush(Color));
    }
  };
  if (Enabled) {
    arrow(COLOR_BTNTEXT, 0);
  } else {
    arrow(COLOR_BTNHIGHLIGHT, 1);
    arrow(COLOR_BTNSHADOW, 0);
  }
}

}  // namespace

void TSpinButton::Paint() {
  const HDC dc = Canvas()->Handle();
  const int h = ClientHeight() / 2, rows = SpinArrowRows(ClientWidth(), ClientHeight());
  PaintSpinButton(dc, Rect(0, 0, ClientWidth(), h), true, pressed_ == 1, Enabled(), rows);
  PaintSpinButton(dc, Rect(0, h, ClientWidth(), ClientHeight()), false, pressed_ == 2, Enabled(), rows);
}

void TSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  pressed_ = Y < ClientHeight() / 2 ? 1 : 2;
  Invalidate();
  if (pressed_ == 1) InvokeEvent(OnUpClick, this);
  if (pressed_ == 2) InvokeEvent(OnDownClick, this);
}

void TSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  pressed_ = 0;
  Invalidate();
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TSpinButton::Dispatch(TMessage& m) {
  if (m.Msg == WM_MOUSEACTIVATE) {
    m.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TSpinEdit

TSpinEdit::TSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  width_ = 121;
  button_ = new TSpinButton(this);
  button_->SetParent(this);
  button_->OnUpClick = [this](TObject*) { UpClick(); };
  button_->OnDownClick = [this](TObject*) { DownClick(); };
  text_ = "0";
}

int TSpinEdit::Clamped(long long Value) const {
  // The minimum is tested first: while a form sets its bounds one at a time the minimum may stand
  // above the maximum for a moment, and a value below it then rises to it.
  if (Bounded()) {
    if (Value < minValue_) return minValue_;
    if (Value > maxValue_) return maxValue_;
    return static_cast<int>(Value);
  }
  return static_cast<int>(std::clamp<long long>(Value, INT_MIN, INT_MAX));
}

void TSpinEdit::SetMinValue(int Value) {
  minValue_ = Value;
  if (Bounded() && HandleAllocated()) SetValue(this->Value());
}

void TSpinEdit::SetMaxValue(int Value) {
  maxValue_ = Value;
  if (Bounded() && HandleAllocated()) SetValue(this->Value());
}

int TSpinEdit::Value() {
  std::string t = Trim(Text());
  try {
    std::size_t used = 0;
    long long v = std::stoll(t, &used);
    if (used != t.size()) return Bounded() ? minValue_ : 0;
    return Clamped(v);
  } catch (const std::exception&) {
    return Bounded() ? minValue_ : 0;
  }
}

void TSpinEdit::SetValue(int Value) {
  SetText(std::to_string(Clamped(Value)));
}

void TSpinEdit::UpClick() {
  if (ReadOnly()) {
    MessageBeep(0);
    return;
  }
  SetValue(static_cast<int>(Clamped(static_cast<long long>(Value()) + increment_)));
}

void TSpinEdit::DownClick() {
  if (ReadOnly()) {
    MessageBeep(0);
    return;
  }
  SetValue(static_cast<int>(Clamped(static_cast<long long>(Value()) - increment_)));
}

void TSpinEdit::SetEditRect() {
  if (!HandleAllocated()) return;
  TRect c = ClientRect();
  int w = GetSystemMetrics(SM_CXVSCROLL) - 2;
  button_->SetBounds(c.Right - w, 0, w, c.Height());
  // the text stops short of the buttons
  RECT r = Rect(2, 1, c.Right - w - 2, c.Bottom - 1);
  SendMessage(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TSpinEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  SetEditRect();
}

void TSpinEdit::KeyDown(WORD& Key, TShiftState Shift) {
  if (Key == VK_UP) {
    UpClick();
    Key = 0;
  } else if (Key == VK_DOWN) {
    DownClick();
    Key = 0;
  }
  TCustomEdit::KeyDown(Key, Shift);
}

void TSpinEdit::KeyPress(char32_t& Key) {
  // digits, a minus sign and the editing keys; nothing at all when the editor is off
  bool editing = Key < 32;
  bool valid = (Key >= U'0' && Key <= U'9') || Key == U'-' || Key == U'+';
  if (!editorEnabled_ || (!editing && !valid)) {
    Key = 0;
    MessageBeep(0);
  }
  if (Key) TCustomEdit::KeyPress(Key);
}

void TSpinEdit::DoExit() {
  // a text that is no number in range becomes the nearest one
  std::string shown = Text();
  std::string wanted = std::to_string(Value());
  if (shown != wanted) SetText(wanted);
  TCustomEdit::DoExit();
}

void TSpinEdit::Dispatch(TMessage& m) {
  if (m.Msg == WM_SIZE) {
    TCustomEdit::Dispatch(m);
    SetEditRect();
    return;
  }
  if (m.Msg == WM_PASTE && !editorEnabled_) return;
  TCustomEdit::Dispatch(m);
}
