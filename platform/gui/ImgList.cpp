// Image lists: each image is kept as its colours plus a coverage mask and drawn through the painter
// of the target device context.
#include "platform/gui/ImgList.h"

#include <algorithm>
#include <cassert>

#include "platform/gui/GraphicsQt.h"
#include "platform/rtl/Lifetime.h"

using namespace talvik::gui::detail;

namespace {

// The pixels of a bitmap (its logical size) as RGB32.
QImage PixelsOf(TBitmap* bitmap) {
  auto* obj = dynamic_cast<BitmapObj*>(Obj(bitmap->Handle()));
  if (!obj) return {};
  return obj->image.copy(0, 0, bitmap->Width(), bitmap->Height()).convertToFormat(QImage::Format_RGB32);
}

void SetPixelsOf(TBitmap* bitmap, const QImage& image) {
  bitmap->SetSize(image.width(), image.height());
  auto* obj = dynamic_cast<BitmapObj*>(Obj(bitmap->Handle()));
  if (!obj) return;
  if (obj->selectedIn) obj->selectedIn->EndPainter();
  QPainter p(&obj->image);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(0, 0, image.convertToFormat(QImage::Format_RGB32));
}

QRgb Blend(QRgb a, QRgb b, int percentB) {
  auto mix = [&](int x, int y) { return (x * (100 - percentB) + y * percentB) / 100; };
  return qRgba(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)), qAlpha(a));
}

}  // namespace

struct TCustomImageList::Image {
  QImage argb;  // alpha 0 where the mask is clear, 255 where the image shows
};

// ---------------------------------------------------------------- TChangeLink

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  InvokeEvent(OnChange, sender_);
}

// ---------------------------------------------------------------- TCustomImageList

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight) : TComponent(AOwner) {
  SetSize(AWidth, AHeight);
}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : links_) link->SetSender(nullptr);
}

void TCustomImageList::SetSize(int AWidth, int AHeight) {
  if (AWidth <= 0 || AHeight <= 0) throw EInvalidOperation("Invalid image size");
  if (AWidth == width_ && AHeight == height_) return;
  width_ = AWidth;
  height_ = AHeight;
  images_.clear();
  Change();
}

void TCustomImageList::SetBkColor(TColor Value) {
  if (bkColor_ == Value) return;
  bkColor_ = Value;
  Change();
}

void TCustomImageList::SetBlendColor(TColor Value) {
  if (blendColor_ == Value) return;
  blendColor_ = Value;
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
  if (drawingStyle_ == Value) return;
  drawingStyle_ = Value;
  Change();
}

void TCustomImageList::SetMasked(bool Value) {
  if (masked_ == Value) return;
  masked_ = Value;
  Change();
}

void TCustomImageList::CheckIndex(int Index, bool AllowEnd) const {
  if (Index < 0 || Index > Count() || (!AllowEnd && Index == Count()))
    throw EInvalidOperation("Invalid image list index " + std::to_string(Index));
}

std::vector<std::shared_ptr<TCustomImageList::Image>> TCustomImageList::Split(TBitmap* Strip, TBitmap* Mask,
                                                                              TColor MaskColor,
                                                                              bool UseColor) {
  if (!Strip || Strip->Empty()) throw EInvalidOperation("Invalid image");
  QImage colours = PixelsOf(Strip);
  QImage mask = Mask && !Mask->Empty() ? PixelsOf(Mask) : QImage();
  QRgb key = 0;
  if (UseColor) {
    if (MaskColor == clDefault)
      key = colours.pixel(0, colours.height() - 1) & 0xFFFFFF;
    else
      key = QCol(ColorToRGB(MaskColor)).rgb() & 0xFFFFFF;
  }
  int n = std::max(1, Strip->Width() / width_);
  std::vector<std::shared_ptr<Image>> out;
  for (int i = 0; i < n; ++i) {
    auto img = std::make_shared<Image>();
    img->argb = QImage(width_, height_, QImage::Format_ARGB32);
    img->argb.fill(Qt::transparent);
    for (int y = 0; y < height_ && y < colours.height(); ++y)
      for (int x = 0; x < width_ && i * width_ + x < colours.width(); ++x) {
        int sx = i * width_ + x;
        QRgb c = colours.pixel(sx, y) & 0xFFFFFF;
        bool shows = true;
        if (UseColor)
          shows = c != key;
        else if (!mask.isNull() && sx < mask.width() && y < mask.height())
          shows = (mask.pixel(sx, y) & 0xFFFFFF) == 0;  // black shows the image
        img->argb.setPixel(x, y, shows ? (c | 0xFF000000u) : c);
      }
    out.push_back(std::move(img));
  }
  return out;
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
  int first = Count();
  auto added = Split(Image, Mask, clNone, false);
  images_.insert(images_.end(), added.begin(), added.end());
  Change();
  return first;
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  int first = Count();
  auto added = Split(Image, nullptr, MaskColor, true);
  images_.insert(images_.end(), added.begin(), added.end());
  Change();
  return first;
}

void TCustomImageList::AddImages(TCustomImageList* Value) {
  if (!Value || Value == this) return;
  if (Value->width_ != width_ || Value->height_ != height_) throw EInvalidOperation("Invalid image size");
  images_.insert(images_.end(), Value->images_.begin(), Value->images_.end());
  Change();
}

void TCustomImageList::Insert(int Index, TBitmap* Image, TBitmap* Mask) {
  CheckIndex(Index, true);
  auto added = Split(Image, Mask, clNone, false);
  images_.insert(images_.begin() + Index, added.begin(), added.end());
  Change();
}

void TCustomImageList::InsertMasked(int Index, TBitmap* Image, TColor MaskColor) {
  CheckIndex(Index, true);
  auto added = Split(Image, nullptr, MaskColor, true);
  images_.insert(images_.begin() + Index, added.begin(), added.end());
  Change();
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
  CheckIndex(Index, false);
  images_[static_cast<std::size_t>(Index)] = Split(Image, Mask, clNone, false).front();
  Change();
}

void TCustomImageList::ReplaceMasked(int Index, TBitmap* NewImage, TColor MaskColor) {
  CheckIndex(Index, false);
  images_[static_cast<std::size_t>(Index)] = Split(NewImage, nullptr, MaskColor, true).front();
  Change();
}

void TCustomImageList::Delete(int Index) {
  if (Index == -1) {
    images_.clear();
  } else {
    CheckIndex(Index, false);
    images_.erase(images_.begin() + Index);
  }
  Change();
}

void TCustomImageList::Move(int CurIndex, int NewIndex) {
  CheckIndex(CurIndex, false);
  CheckIndex(NewIndex, false);
  auto item = images_[static_cast<std::size_t>(CurIndex)];
  images_.erase(images_.begin() + CurIndex);
  images_.insert(images_.begin() + NewIndex, item);
  Change();
}

void TCustomImageList::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TCustomImageList*>(Source);
  if (!other) {
    TComponent::Assign(Source);
    return;
  }
  width_ = other->width_;
  height_ = other->height_;
  bkColor_ = other->bkColor_;
  blendColor_ = other->blendColor_;
  drawingStyle_ = other->drawingStyle_;
  masked_ = other->masked_;
  images_ = other->images_;  // images are never changed in place, so sharing them is safe
  Change();
}

bool TCustomImageList::PixelShows(int Index, int X, int Y) const {
  CheckIndex(Index, false);
  const QImage& img = images_[static_cast<std::size_t>(Index)]->argb;
  if (X < 0 || Y < 0 || X >= img.width() || Y >= img.height()) return false;
  return qAlpha(img.pixel(X, Y)) != 0;
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  Draw(Canvas, X, Y, Index, drawingStyle_, itImage, Enabled);
}

void TCustomImageList::DrawOn(HDC DC, int X, int Y, int Index, bool Enabled) {
  if (Index < 0 || Index >= Count()) return;
  DcObj* d = Dc(DC);
  if (!d || !d->Prepare() || d->clipEmpty) return;
  QImage img = images_[static_cast<std::size_t>(Index)]->argb;
  if (!masked_ || bkColor_ != clNone) {
    // the clear pixels take the background colour (or show their own when the list is unmasked)
    QRgb bk = bkColor_ != clNone ? (QCol(ColorToRGB(bkColor_)).rgb() | 0xFF000000u) : 0;
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if (qAlpha(line[x]) == 0) line[x] = bk ? bk : (line[x] | 0xFF000000u);
    }
  }
  if (!Enabled) {
    // embossed: the shape in the highlight colour one pixel down-right, then in the shadow colour
    QRgb hi = QCol(ColorToRGB(clBtnHighlight)).rgb(), sh = QCol(ColorToRGB(clBtnShadow)).rgb();
    QImage shape(img.size(), QImage::Format_ARGB32), shadow(img.size(), QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        QRgb c = img.pixel(x, y);
        // dark pixels of the image make the shape; light ones vanish into the face
        bool solid = qAlpha(c) != 0 && qGray(c) < 192;
        shape.setPixel(x, y, solid ? (hi | 0xFF000000u) : 0);
        shadow.setPixel(x, y, solid ? (sh | 0xFF000000u) : 0);
      }
    d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    d->painter.drawImage(QPoint(X + 1, Y + 1), shape);
    d->painter.drawImage(QPoint(X, Y), shadow);
    return;
  }
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  d->painter.drawImage(QPoint(X, Y), img);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
  if (!Canvas || Index < 0 || Index >= Count()) return;
  HDC dc = Canvas->Handle();
  if (AImageType == itMask) {
    TBitmap mask;
    GetMask(Index, &mask);
    BitBlt(dc, X, Y, width_, height_, mask.Canvas()->Handle(), 0, 0, SRCCOPY);
    return;
  }
  if (Enabled && (ADrawingStyle == dsFocus || ADrawingStyle == dsSelected)) {
    // blended towards the blend colour: a quarter for focus, a half for selection
    TColor blendWith = blendColor_ == clNone || blendColor_ == clDefault ? clHighlight : blendColor_;
    QRgb with = QCol(ColorToRGB(blendWith)).rgb();
    auto saved = images_[static_cast<std::size_t>(Index)];
    auto blended = std::make_shared<Image>(*saved);
    for (int y = 0; y < blended->argb.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(blended->argb.scanLine(y));
      for (int x = 0; x < blended->argb.width(); ++x)
        if (qAlpha(line[x])) line[x] = Blend(line[x], with, ADrawingStyle == dsFocus ? 25 : 50);
    }
    images_[static_cast<std::size_t>(Index)] = blended;
    DrawOn(dc, X, Y, Index, true);
    images_[static_cast<std::size_t>(Index)] = saved;
    return;
  }
  DrawOn(dc, X, Y, Index, Enabled);
}

void TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
  CheckIndex(Index, false);
  if (!Image) return;
  QImage img = images_[static_cast<std::size_t>(Index)]->argb;
  QRgb bk = bkColor_ != clNone ? QCol(ColorToRGB(bkColor_)).rgb() : 0;
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (qAlpha(line[x]) == 0) line[x] = bkColor_ != clNone ? bk : line[x];
  }
  SetPixelsOf(Image, img);
}

void TCustomImageList::GetMask(int Index, TBitmap* Mask) {
  CheckIndex(Index, false);
  if (!Mask) return;
  const QImage& img = images_[static_cast<std::size_t>(Index)]->argb;
  QImage mono(img.size(), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      mono.setPixel(x, y, qAlpha(img.pixel(x, y)) ? 0xFF000000u : 0xFFFFFFFFu);
  SetPixelsOf(Mask, mono);
}

bool TCustomImageList::GetResource(HINSTANCE Module, const std::string& Name, int AWidth, TColor MaskColor) {
  HBITMAP h = LoadBitmap(Module, Name);
  if (!h) return false;
  TBitmap strip;
  strip.SetHandle(h);
  if (AWidth > 0 && AWidth != width_) SetSize(AWidth, strip.Height());
  AddMasked(&strip, MaskColor);
  return true;
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value) return;
  if (Value->Sender() && Value->Sender() != this) Value->Sender()->UnRegisterChanges(Value);
  Value->SetSender(this);
  if (std::find(links_.begin(), links_.end(), Value) == links_.end()) links_.push_back(Value);
  assert(std::count(links_.begin(), links_.end(), Value) == 1 && "an image list link is registered twice");
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  links_.erase(std::remove(links_.begin(), links_.end(), Value), links_.end());
  if (Value && Value->Sender() == this) Value->SetSender(nullptr);
}

void TCustomImageList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && changedInUpdate_) {
    changedInUpdate_ = false;
    Change();
  }
}

void TCustomImageList::Change() {
  if (updateCount_ > 0) {
    changedInUpdate_ = true;
    return;
  }
  // A link's handler may free other links (or register new ones): each is told only while it is
  // still registered.
  for (TChangeLink* link : std::vector<TChangeLink*>(links_))
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->Change();
  InvokeEvent(OnChange, this);
}

// ---------------------------------------------------------------- holding an image list

void SetImageListOf(TComponent* Holder, TCustomImageList*& Field, TChangeLink& Link,
                    TCustomImageList* Value) {
  if (Field == Value) return;
  if (Field && !Field->ComponentState().Contains(csDestroying)) {
    Field->UnRegisterChanges(&Link);
    Field->RemoveFreeNotification(Holder);
  }
  Field = Value;
  if (Value) {
    Value->RegisterChanges(&Link);
    Value->FreeNotification(Holder);
  }
}

bool ForgetImageListOf(TCustomImageList*& Field, TComponent* AComponent, TOperation Operation) {
  if (Operation != opRemove || !Field || AComponent != Field) return false;
  Field = nullptr;
  return true;
}
