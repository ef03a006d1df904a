#include "app/ZrLabel3D.h"

#include <cassert>

namespace {

// Draws Text into R with the canvas's font in Color; with DT_CALCRECT R receives the measure.
void DrawIn(TCanvas* canvas, const std::string& text, TRect& r, UINT flags, TColor color) {
  canvas->Font()->SetColor(color);
  HDC dc = canvas->Handle();
  SelectObject(dc, canvas->Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(color));
  RECT rect = r;
  DrawText(dc, text, rect, flags);
  if (flags & DT_CALCRECT) r = rect;
}

void Frame(TCanvas* canvas, TRect& r, TZrLabel3DBevel cut, int width) {
  TColor topLeft, bottomRight;
  GetBevelColors(cut, topLeft, bottomRight);
  Frame3D(canvas, r, topLeft, bottomRight, width);
}

}  // namespace

void GetBevelColors(TZrLabel3DBevel Cut, TColor& TopLeft, TColor& BottomRight) {
  assert(Cut == blLowered || Cut == blRaised);
  TopLeft = Cut == blLowered ? clBtnShadow : clBtnHighlight;
  BottomRight = Cut == blLowered ? clBtnHighlight : clBtnShadow;
}

void PaintGradient(TCanvas* Canvas, const TRect& R, TColor C1, bool Vertical, TColor C2) {
  const COLORREF a = ColorToRGB(C1), b = ColorToRGB(C2);
  const int n = (Vertical ? R.Height() : R.Width()) - 1;
  if (n < 1) return;
  auto mix = [n](int x, int y, int i) { return (x * (n - i) + y * i) / n; };
  Canvas->Brush()->SetStyle(bsSolid);
  for (int i = 0; i <= n; ++i) {
    Canvas->Brush()->SetColor(
        static_cast<TColor>(RGB(mix(GetRValue(a), GetRValue(b), i), mix(GetGValue(a), GetGValue(b), i),
                                mix(GetBValue(a), GetBValue(b), i))));
    Canvas->FillRect(Vertical ? TRect(R.Left, R.Top + i, R.Right, R.Top + i + 1)
                              : TRect(R.Left + i, R.Top, R.Left + i + 1, R.Bottom));
  }
}

void DrawLabelText3D(TCanvas* Canvas, const TZr3DLook& Look, const TZr3DText& Text, TRect& Rect, UINT Flags) {
  std::string text = Text.Text;
  if ((Flags & DT_CALCRECT) && (text.empty() || (Text.ShowAccelChar && text == "&"))) text += " ";
  if (!Text.ShowAccelChar) Flags |= DT_NOPREFIX;
  assert(Text.Font);
  Canvas->Font()->Assign(Text.Font);
  if (Look.Bevel == blNone) {
    DrawIn(Canvas, text, Rect, Flags, Text.Font->Color());
    return;
  }
  // the light and dark copies under the text: blRaised light up-left, dark down-right; blLowered the
  // reverse; blShadow only the copy down-right
  const TColor first = Look.Bevel == blLowered ? Look.ShadowColor : Look.HighLightColor;
  const TColor second = Look.Bevel == blRaised    ? Look.ShadowColor
                        : Look.Bevel == blLowered ? Look.HighLightColor
                                                  : Look.ShadowColor;
  const int d = Look.ShadowSize;
  if (Look.Bevel != blShadow && Text.Enabled) {
    TRect up = Rect;
    OffsetRect(up, -d, -d);
    DrawIn(Canvas, text, up, Flags, first);
  }
  TRect down = Rect;
  OffsetRect(down, d, d);
  DrawIn(Canvas, text, down, Flags, second);
  Canvas->Font()->Assign(Text.Font);
  DrawIn(Canvas, text, Rect, Flags, Text.Enabled ? Text.Font->Color() : clGrayText);
}

void PaintLabel3D(TCanvas* Canvas, const TRect& ClientRect, const TZr3DLook& Look, const TZr3DText& Text) {
  TRect r = ClientRect;
  switch (Look.BorderStyle) {
    case lbNone:
      break;
    case lbNormal:
      Frame3D(Canvas, r, Look.BorderColor, Look.BorderColor, Look.BorderWidth);
      break;
    case lbLowered:
    case lbRaised:
      Frame(Canvas, r, Look.BorderStyle == lbLowered ? blLowered : blRaised, Look.BorderWidth);
      break;
    case lbInn:
    case lbOut: {
      const bool inn = Look.BorderStyle == lbInn;
      Frame(Canvas, r, inn ? blLowered : blRaised, Look.BorderWidth);
      Frame(Canvas, r, inn ? blRaised : blLowered, Look.BorderWidth);
      break;
    }
  }
  if (Look.FillGradient) {
    PaintGradient(Canvas, r, Look.FirstColor, Look.GradientOrientation == goVertical, Look.LastColor);
  } else if (!Text.Transparent) {
    Canvas->Brush()->SetColor(Text.Color);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->FillRect(r);
  }
  Canvas->Brush()->SetStyle(bsClear);
  static constexpr UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  const UINT flags = kAlign[Text.Alignment] | DT_EXPANDTABS | DT_WORDBREAK;
  if (Text.Layout != tlTop) {
    TRect calc = r;
    DrawLabelText3D(Canvas, Look, Text, calc, flags | DT_CALCRECT);
    const int d = r.Height() - calc.Height();
    if (d > 0) OffsetRect(r, 0, Text.Layout == tlCenter ? d / 2 : d);
  }
  DrawLabelText3D(Canvas, Look, Text, r, flags);
}

TZrLabel3D::TZrLabel3D(TComponent* AOwner) : TZr3DTextControl<TLabel>(AOwner) {
  SetAutoSize(true);
}
