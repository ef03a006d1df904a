// The class library's graphics objects: font, pen, brush, canvas and bitmap.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/gui/Graphics.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

using namespace talvik::gui::detail;

// ---------------------------------------------------------------- TGraphicsObject

TGraphicsObject::~TGraphicsObject() {
  FreeHandle();
}

void TGraphicsObject::Changed() {
  FreeHandle();
  InvokeEvent(OnChange, this);
}

void TGraphicsObject::FreeHandle() {
  if (handle_ && ownsHandle_) DeleteObject(handle_);
  handle_ = nullptr;
  ownsHandle_ = true;
}

// ---------------------------------------------------------------- TFont

TFont::TFont() = default;

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (handle_ && ownsHandle_ && name_ == f->name_ && height_ == f->height_ && style_ == f->style_ &&
        charset_ == f->charset_ && pitch_ == f->pitch_ && orientation_ == f->orientation_ &&
        pixelsPerInch_ == f->pixelsPerInch_) {
      // the same font: the handle (and what it keeps shaped) stays; only the colour may change
      color_ = f->color_;
      InvokeEvent(OnChange, this);
      return;
    }
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    orientation_ = f->orientation_;
    pixelsPerInch_ = f->pixelsPerInch_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

LOGFONT TFont::GetLogFont() const {
  LOGFONT lf;
  lf.lfHeight = height_;
  lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = style_.Contains(fsItalic);
  lf.lfUnderline = style_.Contains(fsUnderline);
  lf.lfStrikeOut = style_.Contains(fsStrikeOut);
  lf.lfCharSet = charset_;
  lf.lfEscapement = orientation_;
  lf.lfOrientation = orientation_;
  lf.lfPitchAndFamily = pitch_ == fpFixed      ? FIXED_PITCH
                        : pitch_ == fpVariable ? VARIABLE_PITCH
                                               : DEFAULT_PITCH;
  lf.lfFaceName = name_;
  return lf;
}

HFONT TFont::Handle() {
  if (!handle_) {
    handle_ = CreateFontIndirect(GetLogFont());
    ownsHandle_ = true;
  }
  return handle_;
}

void TFont::SetHandle(HFONT Value) {
  LOGFONT lf;
  if (!GetObject(Value, lf)) return;
  name_ = lf.lfFaceName;
  height_ = lf.lfHeight;
  TFontStyles st;
  if (lf.lfWeight >= 600) st.Include(fsBold);
  if (lf.lfItalic) st.Include(fsItalic);
  if (lf.lfUnderline) st.Include(fsUnderline);
  if (lf.lfStrikeOut) st.Include(fsStrikeOut);
  style_ = st;
  charset_ = lf.lfCharSet;
  orientation_ = lf.lfEscapement;
  Changed();
  handle_ = Value;
  ownsHandle_ = false;
}

#define SETTER(Class, Name, Type, field) \
  void Class::Set##Name(Type Value) {    \
    if (field == Value) return;          \
    field = Value;                       \
    Changed();                           \
  }
SETTER(TFont, Name, const std::string&, name_)
SETTER(TFont, Height, int, height_)
SETTER(TFont, Style, TFontStyles, style_)
SETTER(TFont, Charset, TFontCharset, charset_)
SETTER(TFont, Pitch, TFontPitch, pitch_)
SETTER(TFont, Orientation, int, orientation_)
SETTER(TPen, Color, TColor, color_)
SETTER(TPen, Style, TPenStyle, style_)
SETTER(TPen, Mode, TPenMode, mode_)
SETTER(TBrush, Color, TColor, color_)
#undef SETTER

void TFont::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  // the colour is not part of the font handle
  InvokeEvent(OnChange, this);
}

int TFont::Size() const {
  // points from pixels, rounded as MulDiv does
  int px = -height_;
  int sign = px < 0 ? -1 : 1;
  return sign * ((std::abs(px) * 72 + pixelsPerInch_ / 2) / pixelsPerInch_);
}

void TFont::SetSize(int Value) {
  int sign = Value < 0 ? -1 : 1;
  SetHeight(-sign * ((std::abs(Value) * pixelsPerInch_ + 36) / 72));
}

// ---------------------------------------------------------------- TPen

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TPen::SetWidth(int Value) {
  if (Value < 0 || width_ == Value) return;
  width_ = Value;
  Changed();
}

HPEN TPen::Handle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                 PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
  }
  return handle_;
}

// ---------------------------------------------------------------- TBrush

TBrush::~TBrush() = default;

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (style_ == Value) return;
  style_ = Value;
  if (Value != bsSolid && Value != bsClear) bitmap_ = nullptr;
  Changed();
}

void TBrush::SetBitmap(TBitmap* Value) {
  bitmap_ = Value;
  Changed();
}

void TBrush::SetHandle(HBRUSH Value) {
  FreeHandle();
  handle_ = Value;
  ownsHandle_ = false;
  InvokeEvent(OnChange, this);
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    if (bitmap_ && !bitmap_->Empty()) {
      handle_ = CreatePatternBrush(bitmap_->Handle());
    } else {
      switch (style_) {
        case bsSolid:
          handle_ = CreateSolidBrush(ColorToRGB(color_));
          break;
        case bsClear: {
          handle_ = GetStockObject(NULL_BRUSH);
          ownsHandle_ = false;
          break;
        }
        default: {
          static const int hatches[] = {
              0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
          handle_ = CreateHatchBrush(hatches[style_], ColorToRGB(color_));
        }
      }
    }
  }
  return handle_;
}

// ---------------------------------------------------------------- TCanvas

TCanvas::TCanvas() {
  auto onObject = [this](TObject* Sender) {
    if (!handle_) return;
    if (Sender == &font_) state_.Exclude(csFontValid);
    if (Sender == &pen_) state_.Exclude(csPenValid);
    if (Sender == &brush_) state_.Exclude(csBrushValid);
  };
  font_.OnChange = onObject;
  pen_.OnChange = onObject;
  brush_.OnChange = onObject;
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
}

void TCanvas::DeselectHandles() {
  if (handle_ &&
      (state_.Contains(csFontValid) || state_.Contains(csPenValid) || state_.Contains(csBrushValid))) {
    SelectObject(handle_, GetStockObject(BLACK_PEN));
    SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
    SelectObject(handle_, GetStockObject(SYSTEM_FONT));
    state_ = state_ - TCanvasState{csFontValid, csPenValid, csBrushValid};
  }
}

void TCanvas::SetHandle(HDC Value) {
  if (handle_ == Value) return;
  if (handle_) {
    DeselectHandles();
    state_.Exclude(csHandleValid);
  }
  handle_ = Value;
  if (handle_) state_.Include(csHandleValid);
}

HDC TCanvas::Handle() {
  Changing();
  RequiredState({csHandleValid});
  return handle_;
}

void TCanvas::Refresh() {
  DeselectHandles();
}

void TCanvas::RequiredState(TCanvasState State) {
  TCanvasState needed = State - state_;
  if (needed.Empty()) return;
  if (needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!handle_) throw EInvalidOperation("Canvas does not allow drawing");
    state_.Include(csHandleValid);
  }
  if (needed.Contains(csFontValid)) {
    SelectObject(handle_, font_.Handle());
    SetTextColor(handle_, ColorToRGB(font_.Color()));
    state_.Include(csFontValid);
  }
  if (needed.Contains(csPenValid)) {
    SelectObject(handle_, pen_.Handle());
    static const int modes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                                R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                                R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    SetROP2(handle_, modes[pen_.Mode()]);
    state_.Include(csPenValid);
  }
  if (needed.Contains(csBrushValid)) {
    SelectObject(handle_, brush_.Handle());
    SetBkColor(handle_, ColorToRGB(brush_.Color()));
    SetBkMode(handle_, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
    state_.Include(csBrushValid);
  }
}

void TCanvas::Changed() {
  InvokeEvent(OnChange, this);
}

void TCanvas::Changing() {
  InvokeEvent(OnChanging, this);
}

TPoint TCanvas::PenPos() {
  RequiredState({csHandleValid});
  POINT p;
  GetCurrentPositionEx(handle_, &p);
  return p;
}

TRect TCanvas::ClipRect() {
  RequiredState({csHandleValid});
  RECT r;
  GetClipBox(handle_, r);
  return r;
}

TColor TCanvas::Pixels(int X, int Y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(handle_, X, Y));
}

void TCanvas::SetPixels(int X, int Y, TColor Value) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  SetPixel(handle_, X, Y, ColorToRGB(Value));
  Changed();
}

void TCanvas::Arc(int X1, int Y1, int X2, int Y2, int, int, int, int) {
  // an outline of the whole ellipse stands in for the arc
  Changing();
  RequiredState({csHandleValid, csPenValid});
  HGDIOBJ old = SelectObject(handle_, GetStockObject(NULL_BRUSH));
  ::Ellipse(handle_, X1, Y1, X2, Y2);
  SelectObject(handle_, old);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  HDC src = Canvas->Handle();
  StretchBlt(handle_, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), src, Source.Left, Source.Top,
             Source.Width(), Source.Height(), copyMode_);
  Changed();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState({csHandleValid});
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState({csHandleValid});
  Graphic->Draw(this, R);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::DrawFocusRect(handle_, R);
  Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Ellipse(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::FillRect(handle_, R, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  ::FrameRect(handle_, R, brush_.Handle());
  Changed();
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::LineTo(handle_, X, Y);
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  RequiredState({csHandleValid});
  MoveToEx(handle_, X, Y, nullptr);
}

void TCanvas::Polygon(const std::vector<TPoint>& Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polygon(handle_, Points.data(), static_cast<int>(Points.size()));
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polyline(handle_, Points.data(), static_cast<int>(Points.size()));
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Rectangle(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::RoundRect(handle_, X1, Y1, X2, Y2, X3, Y3);
  Changed();
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  ExtTextOut(handle_, X, Y, static_cast<UINT>(textFlags_), nullptr, Text);
  SIZE s;
  GetTextExtentPoint32(handle_, Text, s);
  MoveToEx(handle_, X + s.cx, Y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const std::string& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT options = ETO_CLIPPED | static_cast<UINT>(textFlags_);
  if (brush_.Style() != bsClear) options |= ETO_OPAQUE;
  ExtTextOut(handle_, X, Y, options, &Rect, Text);
  Changed();
}

void TCanvas::TextRect(TRect& Rect, std::string& Text, TTextFormat TextFormat) {
  static const std::pair<TTextFormats, UINT> map[] = {{tfBottom, DT_BOTTOM},
                                                      {tfCalcRect, DT_CALCRECT},
                                                      {tfCenter, DT_CENTER},
                                                      {tfEditControl, DT_EDITCONTROL},
                                                      {tfEndEllipsis, DT_END_ELLIPSIS},
                                                      {tfPathEllipsis, DT_PATH_ELLIPSIS},
                                                      {tfExpandTabs, DT_EXPANDTABS},
                                                      {tfExternalLeading, DT_EXTERNALLEADING},
                                                      {tfNoClip, DT_NOCLIP},
                                                      {tfNoPrefix, DT_NOPREFIX},
                                                      {tfRight, DT_RIGHT},
                                                      {tfRtlReading, DT_RTLREADING},
                                                      {tfSingleLine, DT_SINGLELINE},
                                                      {tfVerticalCenter, DT_VCENTER},
                                                      {tfWordBreak, DT_WORDBREAK}};
  UINT format = 0;
  for (auto& [f, v] : map)
    if (TextFormat.Contains(f)) format |= v;
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  DrawText(handle_, Text, Rect, format);
  Changed();
}

TSize TCanvas::TextExtent(const std::string& Text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE s;
  GetTextExtentPoint32(handle_, Text, s);
  return s;
}

// ---------------------------------------------------------------- TGraphic, TBitmap

void TGraphic::SetTransparent(bool Value) {
  if (transparent_ == Value) return;
  transparent_ = Value;
  Changed();
}

void TGraphic::Changed() {
  InvokeEvent(OnChange, this);
}

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* owner) : owner_(owner) {}

 protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(nullptr);
    owner_->oldBitmap_ = SelectObject(dc, owner_->Handle());
    owner_->dc_ = dc;
    SetHandle(dc);
  }

 private:
  TBitmap* owner_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  FreeContext();
  if (handle_) DeleteObject(handle_);
}

void TBitmap::FreeContext() {
  if (canvas_) canvas_->SetHandle(nullptr);
  if (dc_) {
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
    dc_ = nullptr;
    oldBitmap_ = nullptr;
  }
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(this);
  return canvas_.get();
}

HBITMAP TBitmap::Handle() {
  if (!handle_) handle_ = CreateBitmap(width_, height_, 1, monochrome_ ? 1 : 32, nullptr);
  return handle_;
}

void TBitmap::SetHandle(HBITMAP Value) {
  FreeContext();
  if (handle_ && handle_ != Value) DeleteObject(handle_);
  handle_ = Value;
  BITMAP bm;
  if (Value && GetObject(Value, bm)) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
    monochrome_ = bm.bmBitsPixel == 1;
  } else {
    width_ = height_ = 0;
  }
  Changed();
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0) throw EInvalidOperation("Bitmap size cannot be negative");
  if (AWidth == width_ && AHeight == height_) return;
  FreeContext();
  HBITMAP next = CreateBitmap(AWidth, AHeight, 1, monochrome_ ? 1 : 32, nullptr);
  // new pixels are white; the old picture is kept where it fits
  HDC dst = CreateCompatibleDC(nullptr);
  HGDIOBJ oldDst = SelectObject(dst, next);
  PatBlt(dst, 0, 0, AWidth, AHeight, WHITENESS);
  if (handle_) {
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSrc = SelectObject(src, handle_);
    BitBlt(dst, 0, 0, std::min(AWidth, width_), std::min(AHeight, height_), src, 0, 0, SRCCOPY);
    SelectObject(src, oldSrc);
    DeleteDC(src);
    DeleteObject(handle_);
  }
  SelectObject(dst, oldDst);
  DeleteDC(dst);
  handle_ = next;
  width_ = AWidth;
  height_ = AHeight;
  Changed();
}

void TBitmap::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    FreeContext();
    monochrome_ = b->monochrome_;
    HBITMAP copy = CreateBitmap(b->width_, b->height_, 1, monochrome_ ? 1 : 32, nullptr);
    if (b->handle_) {
      b->FreeContext();
      HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
      HGDIOBJ os = SelectObject(src, b->handle_), od = SelectObject(dst, copy);
      BitBlt(dst, 0, 0, b->width_, b->height_, src, 0, 0, SRCCOPY);
      SelectObject(src, os);
      SelectObject(dst, od);
      DeleteDC(src);
      DeleteDC(dst);
    }
    if (handle_) DeleteObject(handle_);
    handle_ = copy;
    width_ = b->width_;
    height_ = b->height_;
    transparent_ = b->transparent_;
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    Changed();
    return;
  }
  if (!Source) {
    SetSize(0, 0);
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::SetMonochrome(bool Value) {
  if (monochrome_ == Value) return;
  if (Empty()) {
    monochrome_ = Value;
    if (handle_) {
      DeleteObject(handle_);
      handle_ = nullptr;
    }
    return;
  }
  FreeContext();
  HBITMAP next = CreateBitmap(width_, height_, 1, Value ? 1 : 32, nullptr);
  HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
  HGDIOBJ os = SelectObject(src, Handle()), od = SelectObject(dst, next);
  SetBkColor(src, RGB(255, 255, 255));
  BitBlt(dst, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
  SelectObject(src, os);
  SelectObject(dst, od);
  DeleteDC(src);
  DeleteDC(dst);
  DeleteObject(handle_);
  handle_ = next;
  monochrome_ = Value;
  Changed();
}

TColor TBitmap::TransparentColor() {
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  // the bottom-left pixel
  return Canvas()->Pixels(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor Value) {
  transparentColor_ = Value;
  transparentMode_ = Value == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  transparentMode_ = Value;
  if (Value == tmAuto) transparentColor_ = clDefault;
  Changed();
}

void TBitmap::Mask(TColor TransparentColor) {
  if (Empty()) return;
  FreeContext();
  HBITMAP mask = CreateBitmap(width_, height_, 1, 1, nullptr);
  HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
  HGDIOBJ os = SelectObject(src, Handle()), od = SelectObject(dst, mask);
  SetBkColor(src, ColorToRGB(TransparentColor));
  BitBlt(dst, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
  SelectObject(src, os);
  SelectObject(dst, od);
  DeleteDC(src);
  DeleteDC(dst);
  DeleteObject(handle_);
  handle_ = mask;
  monochrome_ = true;
  Changed();
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (Empty()) return;
  HDC dest = ACanvas->Handle();
  TColor key = transparent_ ? TransparentColor() : clNone;
  HDC src = Canvas()->Handle();
  if (transparent_ && key != clDefault && key != clNone)
    TransparentBlt(dest, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, width_, height_,
                   ColorToRGB(key));
  else
    StretchBlt(dest, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, width_, height_,
               ACanvas->CopyMode());
}

void TBitmap::LoadFromFile(const std::string& FileName) {
  HBITMAP h = LoadBitmapFile(FileName);
  if (!h) throw EInvalidOperation("Bitmap image is not valid: " + FileName);
  monochrome_ = false;
  SetHandle(h);
}

void TBitmap::SaveToFile(const std::string& FileName) {
  FreeContext();
  if (!SaveBitmapFile(Handle(), FileName)) throw EFCreateError("Cannot create file \"" + FileName + "\"");
}

// ---------------------------------------------------------------- TIcon

TIcon::TIcon() : image_(std::make_unique<TBitmap>()) {
  image_->OnChange = [this](TObject*) { Changed(); };
}

TIcon::~TIcon() {
  image_->OnChange = nullptr;
}

void TIcon::Assign(TPersistent* Source) {
  if (auto* icon = dynamic_cast<TIcon*>(Source)) {
    image_->Assign(icon->image_.get());
    transparentColor_ = icon->transparentColor_;
    Changed();
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    image_->Assign(bitmap);
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TIcon::SetTransparentColor(TColor Value) {
  transparentColor_ = Value;
  Changed();
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (Empty()) return;
  TColor key = transparentColor_ == clDefault ? image_->Canvas()->Pixels(0, Height() - 1) : transparentColor_;
  TransparentBlt(ACanvas->Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
                 image_->Canvas()->Handle(), 0, 0, Width(), Height(), ColorToRGB(key));
}

void TIcon::SetHandle(HICON Value) {
  auto* rec = reinterpret_cast<talvik::gui::detail::CursorRec*>(Value);
  if (!rec || !rec->image) {
    image_->SetSize(0, 0);
    return;
  }
  image_->SetSize(rec->width, rec->height);
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, rec->image);
  BitBlt(image_->Canvas()->Handle(), 0, 0, rec->width, rec->height, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  transparentColor_ = static_cast<TColor>(rec->clear);
  Changed();
}

void TIcon::LoadFromFile(const std::string& FileName) {
  image_->LoadFromFile(FileName);
}

void TIcon::SaveToFile(const std::string& FileName) {
  image_->SaveToFile(FileName);
}

// ---------------------------------------------------------------- TPicture

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (graphic_) graphic_->OnChange = nullptr;
}

void TPicture::Changed(TObject*) {
  InvokeEvent(OnChange, this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  std::unique_ptr<TGraphic> copy;
  if (dynamic_cast<TIcon*>(Value))
    copy = std::make_unique<TIcon>();
  else if (Value)
    copy = std::make_unique<TBitmap>();
  if (copy) copy->Assign(Value);
  if (graphic_) graphic_->OnChange = nullptr;
  graphic_ = std::move(copy);
  if (graphic_) graphic_->OnChange = [this](TObject* s) { Changed(s); };
  Changed(this);
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) {
    if (graphic_) graphic_->OnChange = nullptr;
    graphic_ = std::make_unique<TBitmap>();
    graphic_->OnChange = [this](TObject* s) { Changed(s); };
    Changed(this);
  }
  return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon() {
  if (!dynamic_cast<TIcon*>(graphic_.get())) {
    if (graphic_) graphic_->OnChange = nullptr;
    graphic_ = std::make_unique<TIcon>();
    graphic_->OnChange = [this](TObject* s) { Changed(s); };
    Changed(this);
  }
  return static_cast<TIcon*>(graphic_.get());
}

void TPicture::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(p->graphic_.get());
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
    return;
  }
  if (!Source) {
    SetGraphic(nullptr);
    return;
  }
  TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  std::string lower = FileName;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  bool icon = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".ico") == 0;
  if (icon)
    Icon()->LoadFromFile(FileName);
  else
    Bitmap()->LoadFromFile(FileName);
  Changed(this);
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (graphic_) graphic_->SaveToFile(FileName);
}
