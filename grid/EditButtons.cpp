#include "grid/EditButtons.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr unsigned kRepeatDelayMs = 400;
constexpr unsigned kRepeatIntervalMs = 100;
constexpr int kControlWidth = 10;
constexpr int kControlHeight = 17;

// Fills a rectangle with a colour through a brush of its own.
void FillColor(HDC DC, const TRect& R, TColor Color) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
  FillRect(DC, R, brush);
  DeleteObject(brush);
}

void FrameColor(HDC DC, const TRect& R, TColor Color) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
  FrameRect(DC, R, brush);
  DeleteObject(brush);
}

TRect Shrunk(TRect R, int By) {
  InflateRect(R, -By, -By);
  return R;
}

// The face of an ellipsis or plus/minus button: filled flat, or edged raised or sunken. Answers the
// rectangle inside the edge.
TRect PaintPlainFace(HDC DC, TRect R, bool Pressed, bool Flat) {
  if (Flat) {
    FillColor(DC, R, clBtnFace);
    return Shrunk(R, 1);
  }
  DrawEdge(DC, R, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  return Shrunk(R, 2);
}

// A sign drawn as rectangles: the button-text colour, or embossed when disabled.
void PaintSign(HDC DC, const std::vector<TRect>& Parts, bool Enabled) {
  if (Enabled) {
    for (const TRect& p : Parts) FillColor(DC, p, clBtnText);
    return;
  }
  for (TRect p : Parts) {
    OffsetRect(p, 1, 1);
    FillColor(DC, p, clBtnHighlight);
  }
  for (const TRect& p : Parts) FillColor(DC, p, clBtnShadow);
}

// Runs Paint on the face rectangle of a flat or 3-D button: a flat face is enlarged so that the 3-D
// border of the frame control falls outside, and an active flat face gets a thin edge of its own.
template <typename PaintFn>
void WithFlatLook(HDC DC, TRect R, bool Pressed, bool Active, bool Flat, PaintFn Paint) {
  if (!Flat) {
    Paint(R);
    return;
  }
  if (!Active) {
    Paint(Shrunk(R, -2));
    return;
  }
  const int saved = SaveDC(DC);
  {
    TScopeExit restore([&] { RestoreDC(DC, saved); });
    const TRect inner = Shrunk(R, 1);
    IntersectClipRect(DC, inner.Left, inner.Top, inner.Right, inner.Bottom);
    Paint(Shrunk(R, -1));
  }
  TRect edge = R;
  DrawEdge(DC, edge, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

UINT FrameState(bool Pressed, bool Flat, bool Enabled) {
  return (Pressed ? DFCS_PUSHED : 0) | (Flat ? DFCS_FLAT : 0) | (Enabled ? 0 : DFCS_INACTIVE);
}

struct CacheEntry {
  TButtonsBitmapCacheKey Key;
  std::unique_ptr<TBitmap> Bitmap;
};

struct ButtonsCache {
  std::vector<CacheEntry> Entries;
  bool Enabled = true;
};

ButtonsCache& Cache() {
  static ButtonsCache* cache = new ButtonsCache;  // lives to the end of the program
  return *cache;
}

TButtonsBitmapCacheKey MakeKey(const TRect& R, TDrawButtonControlStyleEx Style, bool Flat, bool Pressed,
                               bool Active, bool Enabled, int Half, TCheckBoxState State) {
  TButtonsBitmapCacheKey k;
  k.Width = std::max(0, R.Width());
  k.Height = std::max(0, R.Height());
  k.Style = static_cast<std::uint8_t>(Style);
  k.Flat = Flat;
  k.Pressed = Pressed;
  k.Active = Active;
  k.Enabled = Enabled;
  k.Half = static_cast<std::uint8_t>(Half);
  k.CheckState = static_cast<std::uint8_t>(State);
  return k;
}

void BlitFace(HDC DC, const TRect& R, const TButtonsBitmapCacheKey& Key) {
  if (R.IsEmpty()) return;
  TBitmap* face = GetCachedButtonFace(Key);
  StretchBlt(DC, R.Left, R.Top, R.Width(), R.Height(), face->Canvas()->Handle(), 0, 0, Key.Width, Key.Height,
             SRCCOPY);
}

// Paints the face of Key at R: through the cache, or directly when the cache is off.
void DrawFace(HDC DC, const TRect& R, const TButtonsBitmapCacheKey& Key) {
  if (Cache().Enabled) {
    BlitFace(DC, R, Key);
    return;
  }
  const int saved = SaveDC(DC);
  TScopeExit restore([&] { RestoreDC(DC, saved); });
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  PaintButtonFace(DC, static_cast<TDrawButtonControlStyleEx>(Key.Style), R, Key.Half == 1, Key.Pressed,
                  Key.Active, Key.Flat, Key.Enabled, static_cast<TCheckBoxState>(Key.CheckState));
}

}  // namespace

TDrawButtonControlStyleEx EditButtonStyleToDrawStyle(TEditButtonStyleEx Style) {
  static constexpr TDrawButtonControlStyleEx kMap[] = {bcsDropDownEx, bcsEllipsisEx, bcsUpDownEx,
                                                       bcsUpDownEx,   bcsPlusEx,     bcsMinusEx};
  return kMap[Style];
}

// ---------------------------------------------------------------- direct painting

void DrawDropDownButton(HDC DC, TRect R, bool Pressed, bool Active, bool Flat, bool Enabled) {
  WithFlatLook(DC, R, Pressed, Active, Flat, [&](TRect f) {
    DrawFrameControl(DC, f, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | FrameState(Pressed, Flat, Enabled));
  });
}

void DrawUpDownButton(HDC DC, TRect R, bool IsLowerArrow, bool Pressed, bool Active, bool Flat,
                      bool Enabled) {
  WithFlatLook(DC, R, Pressed, Active, Flat, [&](TRect f) {
    DrawFrameControl(DC, f, DFC_SCROLL,
                     (IsLowerArrow ? DFCS_SCROLLDOWN : DFCS_SCROLLUP) | FrameState(Pressed, Flat, Enabled));
  });
}

void DrawEllipsisButton(HDC DC, TRect R, bool Pressed, bool Active, bool Flat, bool Enabled) {
  WithFlatLook(DC, R, Pressed, Active, Flat, [&](TRect f) {
    const TRect face = PaintPlainFace(DC, f, Pressed, Flat);
    const int d = face.Width() < 8 ? 1 : 2;
    const int g = face.Width() < 12 ? 1 : 2;
    const int total = 3 * d + 2 * g;
    int x = face.Left + (face.Width() - total) / 2;
    int y = face.Top + (face.Height() - d) / 2;
    if (Pressed) {
      ++x;
      ++y;
    }
    std::vector<TRect> dots;
    for (int i = 0; i < 3; ++i) dots.push_back(Bounds(x + i * (d + g), y, d, d));
    PaintSign(DC, dots, Enabled);
  });
}

void DrawPlusMinusButton(HDC DC, TRect R, bool IsPlus, bool Pressed, bool Active, bool Flat, bool Enabled) {
  WithFlatLook(DC, R, Pressed, Active, Flat, [&](TRect f) {
    const TRect face = PaintPlainFace(DC, f, Pressed, Flat);
    const int s = std::min(face.Width(), face.Height());
    int len = std::max(1, s * 4 / 7);
    const int thick = std::max(1, len / 3);
    if (Flat) --len;
    if (len % 2 != s % 2) ++len;
    if (IsPlus && len % 2 != thick % 2) len += s < 12 ? 1 : -1;
    const int dx = Pressed ? 1 : 0;
    std::vector<TRect> bars{Bounds(face.Left + (face.Width() - len) / 2 + dx,
                                   face.Top + (face.Height() - thick) / 2 + dx, len, thick)};
    if (IsPlus)
      bars.push_back(Bounds(face.Left + (face.Width() - thick) / 2 + dx,
                            face.Top + (face.Height() - len) / 2 + dx, thick, len));
    PaintSign(DC, bars, Enabled);
  });
}

void DrawCheck(HDC DC, TRect R, TCheckBoxState State, bool Active, bool Pressed, bool Flat, bool Enabled) {
  static constexpr UINT kStateFlags[] = {0, DFCS_CHECKED, DFCS_CHECKED | DFCS_BUTTON3STATE};
  const UINT flags =
      DFCS_BUTTONCHECK | kStateFlags[State] | (Enabled ? 0 : DFCS_INACTIVE) | (Pressed ? DFCS_PUSHED : 0);
  // the system box has its own size: centred in R, the rest of R in the window colour
  const TSize size = DefaultCheckBoxSize();
  const int side = std::min({size.cx, R.Width(), R.Height()});
  TRect box = Bounds(R.Left + (R.Width() - side) / 2, R.Top + (R.Height() - side) / 2, side, side);
  if (!Flat) {
    FillColor(DC, R, clWindow);
    DrawFrameControl(DC, box, DFC_BUTTON, flags);
    return;
  }
  const TRect inner = Shrunk(R, 1);
  {
    const int saved = SaveDC(DC);
    TScopeExit restore([&] { RestoreDC(DC, saved); });
    IntersectClipRect(DC, inner.Left, inner.Top, inner.Right, inner.Bottom);
    FillColor(DC, R, clWindow);
    DrawFrameControl(DC, box, DFC_BUTTON, flags);
  }
  FrameColor(DC, R, Active ? clBtnFace : clBtnShadow);
}

void PaintButtonFace(HDC DC, TDrawButtonControlStyleEx Style, TRect R, bool IsLowerArrow, bool Pressed,
                     bool Active, bool Flat, bool Enabled, TCheckBoxState State) {
  switch (Style) {
    case bcsDropDownEx:
      DrawDropDownButton(DC, R, Pressed, Active, Flat, Enabled);
      break;
    case bcsEllipsisEx:
      DrawEllipsisButton(DC, R, Pressed, Active, Flat, Enabled);
      break;
    case bcsUpDownEx:
      DrawUpDownButton(DC, R, IsLowerArrow, Pressed, Active, Flat, Enabled);
      break;
    case bcsCheckboxEx:
      DrawCheck(DC, R, State, Active, Pressed, Flat, Enabled);
      break;
    case bcsPlusEx:
    case bcsMinusEx:
      DrawPlusMinusButton(DC, R, Style == bcsPlusEx, Pressed, Active, Flat, Enabled);
      break;
  }
}

// ---------------------------------------------------------------- the cache

void ClearButtonsBitmapCache() {
  Cache().Entries.clear();
}

int ButtonsBitmapCacheCount() {
  return static_cast<int>(Cache().Entries.size());
}

bool ButtonsBitmapCacheEnabled() {
  return Cache().Enabled;
}

void SetButtonsBitmapCacheEnabled(bool Value) {
  Cache().Enabled = Value;
}

TBitmap* GetCachedButtonFace(const TButtonsBitmapCacheKey& Key) {
  auto& entries = Cache().Entries;
  for (auto& e : entries)
    if (e.Key == Key) return e.Bitmap.get();
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(Key.Width, Key.Height);
  PaintButtonFace(bitmap->Canvas()->Handle(), static_cast<TDrawButtonControlStyleEx>(Key.Style),
                  Rect(0, 0, Key.Width, Key.Height), Key.Half == 1, Key.Pressed, Key.Active, Key.Flat,
                  Key.Enabled, static_cast<TCheckBoxState>(Key.CheckState));
  entries.push_back({Key, std::move(bitmap)});
  return entries.back().Bitmap.get();
}

void DrawEditButton(HDC DC, TRect ARect, TColor Color, TDrawButtonControlStyleEx Style, int DownButton,
                    bool Flat, bool Active, bool Enabled, TCheckBoxState State) {
  if (Style == bcsCheckboxEx) {
    TRect sq = ARect;
    const int w = sq.Width(), h = sq.Height();
    if (w > h) {
      sq.Left += (w - h) / 2;
      sq.Right = sq.Left + h;
    } else if (h > w) {
      sq.Top += (h - w) / 2;
      sq.Bottom = sq.Top + w;
    }
    const TRect face = Flat ? Shrunk(sq, 1) : sq;
    DrawFace(DC, face, MakeKey(face, Style, Flat, DownButton != 0, Active, Enabled, 0, State));
    if (Flat) {
      if (Active) {
        TRect edge = sq;
        DrawEdge(DC, edge, BDR_SUNKENOUTER, BF_RECT);
      } else {
        FrameColor(DC, sq, Color);
      }
    }
    return;
  }
  const bool thinFrame = Flat && !Active && !ThemesEnabled();
  const TRect r = thinFrame ? Shrunk(ARect, 1) : ARect;
  if (Style == bcsUpDownEx) {
    const int half = r.Height() / 2;
    const TRect upper(r.Left, r.Top, r.Right, r.Top + half);
    const TRect lower(r.Left, r.Bottom - half, r.Right, r.Bottom);
    DrawFace(DC, upper, MakeKey(upper, Style, Flat, DownButton == 1, Active, Enabled, 0, State));
    DrawFace(DC, lower, MakeKey(lower, Style, Flat, DownButton == 2, Active, Enabled, 1, State));
    if (r.Height() % 2 == 1 || (Flat && !Active))
      FillColor(DC, TRect(r.Left, upper.Bottom, r.Right, lower.Top), Color);
  } else {
    DrawFace(DC, r, MakeKey(r, Style, Flat, DownButton != 0, Active, Enabled, 0, State));
  }
  if (thinFrame) FrameColor(DC, ARect, Color);
}

// ---------------------------------------------------------------- small helpers

int GetDefaultFlatButtonWidth() {
  static const int width = [] {
    TBitmap screen;  // a canvas with the default font
    screen.SetSize(1, 1);
    TEXTMETRIC tm;
    GetTextMetrics(screen.Canvas()->Handle(), tm);
    int w = (tm.tmHeight * 2 + 1) / 3;
    if (w % 2 == 0) --w;
    return std::min(w, GetSystemMetrics(SM_CXVSCROLL));
  }();
  return width;
}

TSize DefaultCheckBoxSize() {
  return {13, 13};
}

TRect GetCheckBoxRect(const TRect& ARect, TAlignment Alignment, TTextLayout Layout) {
  const TSize box = DefaultCheckBoxSize();
  const int w = std::min(box.cx, ARect.Width());
  const int h = std::min(box.cy, ARect.Height());
  int x = ARect.Left;
  if (Alignment == taRightJustify) x = ARect.Right - w;
  if (Alignment == taCenter) x = ARect.Left + (ARect.Width() - w) / 2;
  int y = ARect.Top;
  if (Layout == tlBottom) y = ARect.Bottom - h;
  if (Layout == tlCenter) y = ARect.Top + (ARect.Height() - h) / 2;
  return Bounds(x, y, w, h);
}

bool IsDoubleClick(TPoint P1, TPoint P2, unsigned Elapsed) {
  return Elapsed <= GetDoubleClickTime() && std::abs(P1.X - P2.X) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(P1.Y - P2.Y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

void DrawClippedImage(HDC DC, const TRect& ARect, TCustomImageList* Images, int ImageIndex, bool Enabled) {
  if (!Images || ImageIndex < 0 || ImageIndex >= Images->Count()) return;
  const int x = ARect.Left + (ARect.Width() - Images->Width()) / 2;
  const int y = ARect.Top + (ARect.Height() - Images->Height()) / 2;
  const bool clip = Images->Width() > ARect.Width() || Images->Height() > ARect.Height();
  const int saved = clip ? SaveDC(DC) : 0;
  TScopeExit restore([&] {
    if (clip) RestoreDC(DC, saved);
  });
  if (clip) IntersectClipRect(DC, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  Images->DrawOn(DC, x, y, ImageIndex, Enabled);
}

// ---------------------------------------------------------------- TEditButtonControlEx

TEditButtonControlEx::TEditButtonControlEx(TComponent* AOwner) : TSpeedButton(AOwner) {
  SetBounds(0, 0, kControlWidth, kControlHeight);
}

TEditButtonControlEx::~TEditButtonControlEx() = default;

void TEditButtonControlEx::SetStyle(TEditButtonStyleEx Value) {
  if (style_ == Value) return;
  style_ = Value;
  Invalidate();
}

void TEditButtonControlEx::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  if (Flat()) Invalidate();
}

void TEditButtonControlEx::SetAlwaysDown(bool Value) {
  if (alwaysDown_ == Value) return;
  alwaysDown_ = Value;
  if (Value) {
    SetGroupIndex(1);
    SetDown(true);
    SetAllowAllUp(false);
    buttonNum_ = 1;
  } else {
    SetAllowAllUp(true);
    SetDown(false);
    SetGroupIndex(0);
  }
  Invalidate();
}

bool TEditButtonControlEx::ShownPressed() const {
  return (State() == bsDown || State() == bsExclusive) && !halfLeft_;
}

int TEditButtonControlEx::PartAt(int Y) const {
  if (style_ != ebsUpDownEx) return 1;
  const int half = Height() / 2;
  if (Y < half) return 1;
  if (Y > Height() - half) return 2;
  return 0;
}

void TEditButtonControlEx::EditButtonDown(bool TopButton, bool& AutoRepeat, bool& Handled) {
  if (OnDown) {
    auto handler = OnDown;  // the handler may replace itself
    handler(this, TopButton, AutoRepeat, Handled);
  }
}

void TEditButtonControlEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  halfLeft_ = false;
  noClick_ = false;
  if (Button == mbLeft && Enabled()) {
    buttonNum_ = PartAt(Y);
    if (buttonNum_ != 0) {
      bool autoRepeat = style_ == ebsUpDownEx, handled = false;
      EditButtonDown(buttonNum_ == 1, autoRepeat, handled);
      if (autoRepeat) {
        if (!timer_) {
          timer_ = new TTimer(this);
          timer_->SetEnabled(false);
          timer_->OnTimer = [this](TObject* s) { TimerTick(s); };
        }
        timer_->SetInterval(kRepeatDelayMs);
        timer_->SetEnabled(true);
      }
    }
  }
  TSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TEditButtonControlEx::TimerTick(TObject* /*Sender*/) {
  assert(timer_);
  if (timer_->Interval() == kRepeatDelayMs) timer_->SetInterval(kRepeatIntervalMs);
  if (!ShownPressed() || buttonNum_ == 0) return;
  bool autoRepeat = true, handled = false;
  EditButtonDown(buttonNum_ == 1, autoRepeat, handled);
  if (!autoRepeat) StopTimer();
}

void TEditButtonControlEx::StopTimer() {
  if (timer_) timer_->SetEnabled(false);
}

void TEditButtonControlEx::MouseMove(TShiftState Shift, int X, int Y) {
  TSpeedButton::MouseMove(Shift, X, Y);
  if (style_ != ebsUpDownEx || buttonNum_ == 0 || !Shift.Contains(ssLeft)) return;
  const int half = Height() / 2;
  const bool left = (buttonNum_ == 1 && Y > Height() - half) || (buttonNum_ == 2 && Y < half);
  if (left != halfLeft_) {
    halfLeft_ = left;
    Invalidate();
  }
}

void TEditButtonControlEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (style_ == ebsUpDownEx && !ShownPressed()) noClick_ = true;
    const int part = alwaysDown_ ? 1 : 0;
    if (part != buttonNum_) {
      buttonNum_ = part;
      Invalidate();
    }
    halfLeft_ = false;
    StopTimer();
  }
  TSpeedButton::MouseUp(Button, Shift, X, Y);
}

void TEditButtonControlEx::Click() {
  // the release that ends an up/down press outside its half clicks nothing
  if (noClick_ || (style_ == ebsUpDownEx && halfLeft_)) {
    noClick_ = false;
    return;
  }
  TSpeedButton::Click();
}

void TEditButtonControlEx::Paint() {
  if (style_ == ebsGlyphEx) {
    if (!Flat()) {
      TSpeedButton::Paint();
      return;
    }
    HDC dc = Canvas()->Handle();
    const TRect r = ClientRect();
    {
      const int saved = SaveDC(dc);
      TScopeExit restore([&] { RestoreDC(dc, saved); });
      const TRect inner = Shrunk(r, 1);
      IntersectClipRect(dc, inner.Left, inner.Top, inner.Right, inner.Bottom);
      TSpeedButton::Paint();
    }
    if (active_) {
      TRect e = r;
      DrawEdge(dc, e, ShownPressed() ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    } else {
      FrameColor(dc, r, Parent() ? Parent()->Color() : clBtnFace);
    }
    return;
  }
  const int down = ShownPressed() ? std::max(buttonNum_, 1) : 0;
  DrawEditButton(Canvas()->Handle(), ClientRect(), Parent() ? Parent()->Color() : clBtnFace,
                 EditButtonStyleToDrawStyle(style_), down, Flat(), active_, Enabled(), cbUnchecked);
}

// ---------------------------------------------------------------- the button controls of an edit

void ResizeEditButtonPairs(TEditButtonPairsEx& Pairs, int Count, TWinControl* Edit,
                           IEditButtonsOwnerEx* Owner) {
  assert(Count >= 0);
  while (static_cast<int>(Pairs.size()) > Count) {
    const TEditButtonPairEx pair = Pairs.back();
    Pairs.pop_back();
    delete pair.Button;
    delete pair.Separator;
  }
  while (static_cast<int>(Pairs.size()) < Count) {
    TEditButtonPairEx pair;
    pair.Separator = new TShape(Edit);
    pair.Separator->SetParent(Edit);
    pair.Button = Owner->CreateEditButtonControl();
    pair.Button->OnClick = [Owner](TObject* s) { Owner->EditButtonClick(s); };
    pair.Button->OnDown = [Owner](TObject* s, bool top, bool& repeat, bool& handled) {
      Owner->EditButtonDown(s, top, repeat, handled);
    };
    pair.Button->OnMouseMove = [Owner](TObject* s, TShiftState sh, int x, int y) {
      Owner->EditButtonMouseMove(s, sh, x, y);
    };
    pair.Button->OnMouseUp = [Owner](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
      Owner->EditButtonMouseUp(s, b, sh, x, y);
    };
    Pairs.push_back(pair);
  }
}

int EditButtonWidth(int Width, bool Flat) {
  if (Width >= 1) return Width;
  return Flat ? GetDefaultFlatButtonWidth() : GetSystemMetrics(SM_CXVSCROLL);
}

int EditButtonHeight(int Width, int ClientHeight) {
  return ClientHeight > static_cast<int>(std::lround(1.5 * Width)) ? Width : ClientHeight;
}

int PlaceEditButtonPairs(const TEditButtonPairsEx& Pairs, const std::vector<int>& Widths,
                         const std::vector<int>& Heights, TSize Client, bool Flat, bool RightToLeft,
                         bool LastAtEdge) {
  assert(Widths.size() == Pairs.size() && Heights.size() == Pairs.size());
  int edge = RightToLeft ? 0 : Client.cx;
  int taken = 0;
  for (size_t k = 0; k < Pairs.size(); ++k) {
    const size_t i = LastAtEdge ? Pairs.size() - 1 - k : k;
    TEditButtonControlEx* b = Pairs[i].Button;
    TShape* sep = Pairs[i].Separator;
    const int width = Widths[i];
    const int sw = Flat && width > 0 ? 1 : 0;
    if (RightToLeft) {
      b->SetBounds(edge, 0, width, Heights[i]);
      edge += width;
      sep->SetBounds(edge, 0, sw, Client.cy);
      edge += sw;
    } else {
      edge -= width;
      b->SetBounds(edge, 0, width, Heights[i]);
      edge -= sw;
      sep->SetBounds(edge, 0, sw, Client.cy);
    }
    sep->SetVisible(sw > 0);
    taken += width + sw;
  }
  return taken;
}

// ---------------------------------------------------------------- button definitions

TEditButtonEx::TEditButtonEx(TCollection* Collection) : TEditButtonEx(nullptr, Collection) {}

TEditButtonEx::TEditButtonEx(TWinControl* EditControl, TCollection* Collection)
    : TCollectionItem(Collection), glyph_(std::make_unique<TBitmap>()), editControl_(EditControl) {
  if (auto* buttons = dynamic_cast<TEditButtonsEx*>(Collection); buttons && !editControl_)
    editControl_ = buttons->EditControl();
}

TEditButtonEx::~TEditButtonEx() = default;

void TEditButtonEx::NotifyChanged() {
  if (OnChange) {
    InvokeEvent(OnChange, this);
  } else {
    Changed(false);
  }
}

void TEditButtonEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TEditButtonEx*>(Source);
  if (!src) {
    TCollectionItem::Assign(Source);
    return;
  }
  dropdownMenu_ = src->dropdownMenu_;
  glyph_->Assign(src->glyph_.get());
  hint_ = src->hint_;
  numGlyphs_ = src->numGlyphs_;
  shortCut_ = src->shortCut_;
  style_ = src->style_;
  visible_ = src->visible_;
  width_ = src->width_;
  OnClick = src->OnClick;
  OnDown = src->OnDown;
  NotifyChanged();
}

void TEditButtonEx::SetDropdownMenu(TPopupMenu* Value) {
  if (dropdownMenu_ == Value) return;
  dropdownMenu_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetGlyph(TBitmap* Value) {
  glyph_->Assign(Value);
  NotifyChanged();
}

void TEditButtonEx::SetHint(const std::string& Value) {
  if (hint_ == Value) return;
  hint_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (numGlyphs_ == Value) return;
  numGlyphs_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetShortCut(TShortCut Value) {
  if (shortCut_ == Value) return;
  shortCut_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetStyle(TEditButtonStyleEx Value) {
  if (style_ == Value) return;
  style_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  NotifyChanged();
}

void TEditButtonEx::SetWidth(int Value) {
  if (width_ == Value) return;
  width_ = Value;
  NotifyChanged();
}

TEditButtonControlEx* TEditButtonEx::CreateEditButtonControl() {
  auto* control = new TEditButtonControlEx(editControl_);
  control->SetBounds(0, 0, kControlWidth, kControlHeight);
  control->SetTransparent(false);
  control->SetControlStyle(control->ControlStyle() + csReplicatable);
  control->SetParent(editControl_);
  return control;
}

TVisibleEditButtonEx::TVisibleEditButtonEx(TCollection* Collection)
    : TVisibleEditButtonEx(nullptr, Collection) {}

TVisibleEditButtonEx::TVisibleEditButtonEx(TWinControl* EditControl, TCollection* Collection)
    : TEditButtonEx(EditControl, Collection) {
  shortCut_ = kAltDownShortCut;
  visible_ = true;
}

TEditButtonsEx::TEditButtonsEx(TWinControl* EditControl, TCollectionItemClass ItemClass)
    : TCollection(ItemClass), editControl_(EditControl) {}

void TEditButtonsEx::Update(TCollectionItem* /*Item*/) {
  InvokeEvent(OnChanged, this);
}
