#include "editor/CodeEditMiscClasses.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/Lifetime.h"

void TCodeMethodChain::Add(const TCodeMethod& method) {
  if (!method.Code) throw ECodeMethodChain(Format(CodeEditStr::SYNS_MethodChainEntry, {ClassName()}));
  methods_.push_back(method);
}

void TCodeMethodChain::Remove(const TCodeMethod& method) {
  if (!method.Code) throw ECodeMethodChain(Format(CodeEditStr::SYNS_MethodChainRemove, {ClassName()}));
  for (size_t i = methods_.size(); i-- > 0;)
    if (methods_[i].Data == method.Data && methods_[i].Tag == method.Tag)
      methods_.erase(methods_.begin() + i);
}

void TCodeMethodChain::Fire() {
  // A handler may add or remove methods while the chain fires: walk a copy.
  std::vector<TCodeMethod> snapshot = methods_;
  for (const TCodeMethod& m : snapshot) {
    try {
      DoFire(m);
    } catch (const Exception& e) {
      if (!DoHandleException(e)) break;
    }
  }
}

bool TCodeMethodChain::DoHandleException(const std::exception& e) {
  if (!OnException) throw;
  bool doContinue = true;
  OnException(this, e, doContinue);
  return doContinue;
}

void TCodeNotifyEventChain::DoFire(const TCodeMethod& method) {
  method.Code(sender_);
}

TCodeEditFiler::TCodeEditFiler(std::string fileName, TCodeEditFileFormat format)
    : fileName_(std::move(fileName)), format_(format) {}

TCodeEditFiler::~TCodeEditFiler() {
  if (file_) std::fclose(file_);
}

const char* TCodeEditFiler::LineEnd() const {
  switch (format_) {
    case sffUnix:
      return "\n";
    case sffMac:
      return "\r";
    default:
      return "\r\n";
  }
}

TCodeEditFileWriter::TCodeEditFileWriter(const std::string& fileName, TCodeEditFileFormat format)
    : TCodeEditFiler(fileName, format) {
  file_ = std::fopen(fileName_.c_str(), "wb");
  if (!file_) throw EFCreateError("Cannot create file \"" + fileName_ + "\". " + std::strerror(errno));
  buffer_.resize(16384);
}

TCodeEditFileWriter::~TCodeEditFileWriter() {
  try {
    Close();
  } catch (const Exception&) {
    // A destructor cannot report; Close() is the checked path.
  }
}

void TCodeEditFileWriter::Write(const std::string& text) {
  if (!file_) throw EWriteError("Stream write error");
  if (used_ + text.size() > buffer_.size()) {
    Flush();
    if (text.size() > buffer_.size()) buffer_.resize(text.size());
  }
  std::memcpy(buffer_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void TCodeEditFileWriter::WriteLine(const std::string& text) {
  Write(text);
  Write(LineEnd());
}

void TCodeEditFileWriter::Flush() {
  if (used_ == 0 || !file_) return;
  size_t pending = used_;
  size_t written = std::fwrite(buffer_.data(), 1, pending, file_);
  used_ = 0;
  if (written != pending) throw EWriteError("Stream write error");
}

void TCodeEditFileWriter::Close() {
  if (!file_) return;
  size_t pending = used_;
  size_t written = pending ? std::fwrite(buffer_.data(), 1, pending, file_) : 0;
  used_ = 0;
  int rc = std::fclose(file_);
  file_ = nullptr;
  if (written != pending || rc != 0) throw EWriteError("Stream write error");
}

// ------------------------------------------------------------------ painting settings

void TCodeSelectedColor::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeSelectedColor*>(source);
  if (!src) return TPersistent::Assign(source);
  background_ = src->background_;
  foreground_ = src->foreground_;
  InvokeEvent(OnChange, this);
}

void TCodeSelectedColor::SetBackground(TColor value) {
  if (background_ == value) return;
  background_ = value;
  InvokeEvent(OnChange, this);
}

void TCodeSelectedColor::SetForeground(TColor value) {
  if (foreground_ == value) return;
  foreground_ = value;
  InvokeEvent(OnChange, this);
}

TCodeGutter::TCodeGutter() : font_(std::make_unique<TFont>()) {
  font_->SetName("Courier New");
  font_->SetSize(8);
  font_->SetStyle({});
  font_->OnChange = [this](TObject*) { Changed(); };
}

TCodeGutter::~TCodeGutter() = default;

void TCodeGutter::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeGutter*>(source);
  if (!src) return TPersistent::Assign(source);
  TNotifyEvent keep = std::move(OnChange);
  font_->Assign(src->font_.get());
  color_ = src->color_;
  width_ = src->width_;
  showLineNumbers_ = src->showLineNumbers_;
  digitCount_ = src->digitCount_;
  leadingZeros_ = src->leadingZeros_;
  zeroStart_ = src->zeroStart_;
  leftOffset_ = src->leftOffset_;
  rightOffset_ = src->rightOffset_;
  visible_ = src->visible_;
  useFontStyle_ = src->useFontStyle_;
  autoSize_ = src->autoSize_;
  autoSizeDigitCount_ = src->autoSizeDigitCount_;
  borderStyle_ = src->borderStyle_;
  OnChange = std::move(keep);
  Changed();
}

void TCodeGutter::Changed() {
  InvokeEvent(OnChange, this);
}

void TCodeGutter::AutoSizeDigitCount(int linesCount) {
  if (visible_ && autoSize_ && showLineNumbers_) {
    if (zeroStart_) --linesCount;
    int digits = std::max(static_cast<int>(std::to_string(std::max(linesCount, 0)).size()), digitCount_);
    if (digits != autoSizeDigitCount_) {
      autoSizeDigitCount_ = digits;
      Changed();
    }
  } else {
    autoSizeDigitCount_ = digitCount_;
  }
}

std::string TCodeGutter::FormatLineNumber(int line) const {
  if (zeroStart_) --line;
  std::string digits = std::to_string(line);
  std::string out;
  if (static_cast<int>(digits.size()) < autoSizeDigitCount_)
    out.assign(static_cast<size_t>(autoSizeDigitCount_) - digits.size(), leadingZeros_ ? '0' : ' ');
  return out + digits;
}

int TCodeGutter::RealGutterWidth(int charWidth) const {
  if (!visible_) return 0;
  if (showLineNumbers_) return leftOffset_ + rightOffset_ + autoSizeDigitCount_ * charWidth + 2;
  return width_;
}

void TCodeGutter::SetColor(TColor value) {
  Store(color_, value);
}
void TCodeGutter::SetWidth(int value) {
  Store(width_, std::max(value, 0));
}
void TCodeGutter::SetShowLineNumbers(bool value) {
  Store(showLineNumbers_, value);
}
void TCodeGutter::SetDigitCount(int value) {
  value = std::clamp(value, 2, 12);
  if (digitCount_ == value) return;
  digitCount_ = value;
  autoSizeDigitCount_ = value;
  Changed();
}
void TCodeGutter::SetLeadingZeros(bool value) {
  Store(leadingZeros_, value);
}
void TCodeGutter::SetZeroStart(bool value) {
  Store(zeroStart_, value);
}
void TCodeGutter::SetLeftOffset(int value) {
  Store(leftOffset_, std::max(value, 0));
}
void TCodeGutter::SetRightOffset(int value) {
  Store(rightOffset_, std::max(value, 0));
}
void TCodeGutter::SetVisible(bool value) {
  Store(visible_, value);
}
void TCodeGutter::SetUseFontStyle(bool value) {
  Store(useFontStyle_, value);
}
void TCodeGutter::SetAutoSize(bool value) {
  Store(autoSize_, value);
}
void TCodeGutter::SetBorderStyle(TCodeGutterBorderStyle value) {
  Store(borderStyle_, value);
}

void TCodeBookMarkOpt::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeBookMarkOpt*>(source);
  if (!src) return TPersistent::Assign(source);
  bookmarkImages_ = src->bookmarkImages_;
  drawBookmarksFirst_ = src->drawBookmarksFirst_;
  enableKeys_ = src->enableKeys_;
  glyphsVisible_ = src->glyphsVisible_;
  leftMargin_ = src->leftMargin_;
  xOffset_ = src->xOffset_;
  Changed();
}

void TCodeBookMarkOpt::SetBookmarkImages(TCustomImageList* value) {
  if (bookmarkImages_ == value) return;
  bookmarkImages_ = value;
  if (value && owner_) value->FreeNotification(owner_);
  Changed();
}

void TCodeBookMarkOpt::SetDrawBookmarksFirst(bool value) {
  if (drawBookmarksFirst_ == value) return;
  drawBookmarksFirst_ = value;
  Changed();
}
void TCodeBookMarkOpt::SetEnableKeys(bool value) {
  enableKeys_ = value;
}
void TCodeBookMarkOpt::SetGlyphsVisible(bool value) {
  if (glyphsVisible_ == value) return;
  glyphsVisible_ = value;
  Changed();
}
void TCodeBookMarkOpt::SetLeftMargin(int value) {
  if (leftMargin_ == value) return;
  leftMargin_ = value;
  Changed();
}
void TCodeBookMarkOpt::SetXoffset(int value) {
  if (xOffset_ == value) return;
  xOffset_ = value;
  Changed();
}

namespace {

constexpr int kMarkImageSize = 12;
constexpr int kInternalImageCount = 10;

// The wrapped-row mark: a bent arrow pointing back to the left, on the lime mask colour.
void DrawWrappedGlyph(TBitmap* b) {
  b->SetSize(9, 11);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(0, 0, 9, 11));
  c->Pen()->SetColor(clNavy);
  c->MoveTo(7, 1);
  c->LineTo(7, 8);
  c->LineTo(1, 8);
  for (int i = 1; i <= 3; ++i) {
    c->MoveTo(1 + i, 8 - i);
    c->LineTo(1 + i, 9 + i);
  }
}

// Ten bookmark flags with their digits side by side.
void DrawInternalImages(TBitmap* b) {
  b->SetSize(kMarkImageSize * kInternalImageCount, kMarkImageSize);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clFuchsia);
  c->FillRect(Rect(0, 0, b->Width(), b->Height()));
  c->Font()->SetName("Courier New");
  c->Font()->SetHeight(-10);
  c->Font()->SetStyle({fsBold});
  for (int i = 0; i < kInternalImageCount; ++i) {
    int x = i * kMarkImageSize;
    c->Brush()->SetColor(clTeal);
    c->Pen()->SetColor(clBlack);
    c->Rectangle(x + 1, 0, x + kMarkImageSize - 1, kMarkImageSize);
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clWhite);
    TRect r = Rect(x + 1, 0, x + kMarkImageSize - 1, kMarkImageSize);
    std::string digit(1, static_cast<char>('0' + i));
    c->TextRect(r, digit, {tfCenter, tfVerticalCenter, tfSingleLine});
    c->Brush()->SetStyle(bsSolid);
  }
}

// Copies part of `source` with its mask colour left out, centred in a line of `lineHeight`.
void DrawTransparentPart(TCanvas* canvas, TBitmap* source, int srcX, int width, TColor mask, int x, int y,
                         int lineHeight) {
  int height = source->Height();
  int srcY = 0;
  if (height > lineHeight) {
    srcY = (height - lineHeight) / 2;
    height = lineHeight;
  } else {
    y += (lineHeight - height) / 2;
  }
  HDC src = source->Canvas()->Handle();
  if (mask == clNone)
    BitBlt(canvas->Handle(), x, y, width, height, src, srcX, srcY, SRCCOPY);
  else
    TransparentBlt(canvas->Handle(), x, y, width, height, src, srcX, srcY, width, height, ColorToRGB(mask));
}

}  // namespace

bool LoadCodeEditBitmap(const std::string& name, TBitmap* bitmap) {
  if (SameText(name, "CodeEditWrapped")) {
    DrawWrappedGlyph(bitmap);
    return true;
  }
  if (SameText(name, "CodeEditInternalImages")) {
    DrawInternalImages(bitmap);
    return true;
  }
  return false;
}

TCodeGlyph::TCodeGlyph(const std::string& resourceName, TColor resourceMaskColor)
    : glyph_(std::make_unique<TBitmap>()) {
  if (!resourceName.empty()) {
    internalGlyph_ = std::make_unique<TBitmap>();
    if (!LoadCodeEditBitmap(resourceName, internalGlyph_.get())) internalGlyph_.reset();
    internalMaskColor_ = resourceMaskColor;
  }
  glyph_->OnChange = [this](TObject*) { Changed(); };
}

TCodeGlyph::~TCodeGlyph() = default;

void TCodeGlyph::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeGlyph*>(source);
  if (!src) return TPersistent::Assign(source);
  if (src->internalGlyph_) {
    if (!internalGlyph_) internalGlyph_ = std::make_unique<TBitmap>();
    internalGlyph_->Assign(src->internalGlyph_.get());
  } else {
    internalGlyph_.reset();
  }
  internalMaskColor_ = src->internalMaskColor_;
  visible_ = src->visible_;
  glyph_->Assign(src->glyph_.get());
  maskColor_ = src->maskColor_;
  Changed();
}

int TCodeGlyph::Width() const {
  if (!glyph_->Empty()) return glyph_->Width();
  if (internalGlyph_) return internalGlyph_->Width();
  return 0;
}

void TCodeGlyph::Draw(TCanvas* canvas, int x, int y, int lineHeight) {
  if (!glyph_->Empty())
    DrawTransparentPart(canvas, glyph_.get(), 0, glyph_->Width(), maskColor_, x, y, lineHeight);
  else if (internalGlyph_)
    DrawTransparentPart(canvas, internalGlyph_.get(), 0, internalGlyph_->Width(), internalMaskColor_, x, y,
                        lineHeight);
}

void TCodeGlyph::SetGlyph(TBitmap* value) {
  glyph_->Assign(value);
}

void TCodeGlyph::SetMaskColor(TColor value) {
  if (maskColor_ == value) return;
  maskColor_ = value;
  Changed();
}

void TCodeGlyph::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Changed();
}

struct TCodeInternalImage::TShared {
  std::string name;
  TBitmap bitmap;
  int refCount = 0;
};

namespace {
std::vector<TCodeInternalImage::TShared*>*& SharedImages() {
  static std::vector<TCodeInternalImage::TShared*>* list = nullptr;
  return list;
}
}  // namespace

TCodeInternalImage::TCodeInternalImage(const std::string& name, int count) : count_(count) {
  std::string key = UpperCase(name);
  auto*& list = SharedImages();
  if (!list) list = new std::vector<TShared*>();
  for (TShared* s : *list)
    if (s->name == key) shared_ = s;
  if (!shared_) {
    shared_ = new TShared();
    shared_->name = key;
    LoadCodeEditBitmap(name, &shared_->bitmap);
    list->push_back(shared_);
  }
  ++shared_->refCount;
  width_ = count_ > 0 ? (shared_->bitmap.Width() + count_ / 2) / count_ : 0;
  height_ = shared_->bitmap.Height();
}

TCodeInternalImage::~TCodeInternalImage() {
  if (--shared_->refCount > 0) return;
  auto*& list = SharedImages();
  std::erase(*list, shared_);
  delete shared_;
  if (list->empty()) {
    delete list;
    list = nullptr;
  }
}

int TCodeInternalImage::SharedCount() {
  return SharedImages() ? static_cast<int>(SharedImages()->size()) : 0;
}

void TCodeInternalImage::DrawMark(TCanvas* canvas, int number, int x, int y, int lineHeight) {
  if (number < 0 || number >= count_ || width_ <= 0) return;
  DrawTransparentPart(canvas, &shared_->bitmap, number * width_, width_, clFuchsia, x, y, lineHeight);
}
