// Labels that draw their text raised, lowered or with a drop shadow, over a solid or two-colour
// gradient background, inside an optional three-dimensional border. TZrLabel3D shows its caption;
// the data-aware twin (ZrDBText3D.h) shows a field's display text through the same drawing.
#pragma once

#include <string>

#include "platform/gui/StdCtrls.h"

enum TZrLabel3DBevel { blNone, blLowered, blRaised, blShadow };
enum TGradientOrientation { goHorizontal, goVertical };
enum TZrLabel3DBorderStyle { lbNone, lbNormal, lbLowered, lbRaised, lbInn, lbOut };

// What the 3D drawing adds to a label, with the values a new control has.
struct TZr3DLook {
  TColor HighLightColor = clBtnHighlight;
  TColor ShadowColor = clBtnHighlight;  // a stored layout's default is clBtnShadow; a new control's is not
  TZrLabel3DBevel Bevel = blShadow;
  unsigned char ShadowSize = 1;
  TColor FirstColor = clWhite;
  TColor LastColor = clTeal;
  bool FillGradient = false;
  TGradientOrientation GradientOrientation = goHorizontal;
  TColor BorderColor = clBlack;
  int BorderWidth = 1;
  TZrLabel3DBorderStyle BorderStyle = lbNone;
};

// The control-side facts the drawing needs besides the look.
struct TZr3DText {
  std::string Text;
  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool ShowAccelChar = true;
  bool Transparent = false;
  bool Enabled = true;
  TColor Color = clBtnFace;
  TFont* Font = nullptr;
};

// Colours of a lowered (top-left shadow) or raised (top-left highlight) cut.
void GetBevelColors(TZrLabel3DBevel Cut, TColor& TopLeft, TColor& BottomRight);
// n + 1 one-pixel strips from C1 to C2 across R (rows when Vertical), n = height or width − 1.
void PaintGradient(TCanvas* Canvas, const TRect& R, TColor C1, bool Vertical, TColor C2);
// Draws (or, with DT_CALCRECT, measures into Rect) the text with the look's 3D effect.
void DrawLabelText3D(TCanvas* Canvas, const TZr3DLook& Look, const TZr3DText& Text, TRect& Rect, UINT Flags);
// The whole control: border, background, text placed by its layout.
void PaintLabel3D(TCanvas* Canvas, const TRect& ClientRect, const TZr3DLook& Look, const TZr3DText& Text);

// The properties and the painting both 3D text controls share, over their own label base.
template <class TBase>
class TZr3DTextControl : public TBase {
 public:
  using TBase::TBase;

  TColor HighLightColor() const { return look_.HighLightColor; }
  void SetHighLightColor(TColor Value) { Store(look_.HighLightColor, Value); }
  TColor ShadowColor() const { return look_.ShadowColor; }
  void SetShadowColor(TColor Value) { Store(look_.ShadowColor, Value); }
  TZrLabel3DBevel Bevel() const { return look_.Bevel; }
  void SetBevel(TZrLabel3DBevel Value) { Store(look_.Bevel, Value); }
  unsigned char ShadowSize() const { return look_.ShadowSize; }
  void SetShadowSize(unsigned char Value) { Store(look_.ShadowSize, Value); }
  TColor FirstColor() const { return look_.FirstColor; }
  void SetFirstColor(TColor Value) { Store(look_.FirstColor, Value); }
  TColor LastColor() const { return look_.LastColor; }
  void SetLastColor(TColor Value) { Store(look_.LastColor, Value); }
  bool FillGradient() const { return look_.FillGradient; }
  void SetFillGradient(bool Value) { Store(look_.FillGradient, Value); }
  TGradientOrientation GradientOrientation() const { return look_.GradientOrientation; }
  void SetGradientOrientation(TGradientOrientation Value) { Store(look_.GradientOrientation, Value); }
  TColor BorderColor() const { return look_.BorderColor; }
  void SetBorderColor(TColor Value) { Store(look_.BorderColor, Value); }
  int BorderWidth() const { return look_.BorderWidth; }
  void SetBorderWidth(int Value) { Store(look_.BorderWidth, Value); }
  TZrLabel3DBorderStyle BorderStyle() const { return look_.BorderStyle; }
  void SetBorderStyle(TZrLabel3DBorderStyle Value) { Store(look_.BorderStyle, Value); }

 protected:
  void Paint() override { PaintLabel3D(this->Canvas(), this->ClientRect(), look_, TextFacts()); }
  void DoDrawText(TRect& Rect, UINT Flags) override {
    DrawLabelText3D(this->Canvas(), look_, TextFacts(), Rect, Flags);
  }

 private:
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = value;
    this->Invalidate();
  }
  TZr3DText TextFacts() {
    TZr3DText t;
    t.Text = this->GetLabelText();
    t.Alignment = this->Alignment();
    t.Layout = this->Layout();
    t.ShowAccelChar = this->ShowAccelChar();
    t.Transparent = this->Transparent();
    t.Enabled = this->Enabled();
    t.Color = this->Color();
    t.Font = this->Font();
    return t;
  }

  TZr3DLook look_;
};

class TZrLabel3D : public TZr3DTextControl<TLabel> {
  TALVIK_CLASS(TZrLabel3D, TLabel)
  explicit TZrLabel3D(TComponent* AOwner);
};
