// Non-visual helper classes of the code editor: the method chains that carry notifications,
// and the buffered file writer the line buffer saves through.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TCustomImageList;

TALVIK_DECLARE_EXCEPTION(ECodeMethodChain, Exception);

// A method held by a chain: its code (the handler) and its data (the object it belongs to).
// Two methods are the same when both their data and their tag are equal.
struct TCodeMethod {
  std::function<void(TObject* sender)> Code;
  const void* Data = nullptr;
  uintptr_t Tag = 0;
};

class TCodeMethodChain : public TObject {
  TALVIK_CLASS(TCodeMethodChain, TObject)
  // The handler of an exception raised by a fired method; clearing `doContinue` stops firing.
  using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e, bool& doContinue)>;

  TCodeMethodChain() = default;

  void Add(const TCodeMethod& method);
  void Remove(const TCodeMethod& method);
  void Fire();
  int Count() const { return static_cast<int>(methods_.size()); }

  TExceptionEvent OnException;

 protected:
  virtual void DoFire(const TCodeMethod& method) = 0;
  // Answers whether firing goes on with the next method; raises again without a handler.
  virtual bool DoHandleException(const std::exception& e);

 private:
  std::vector<TCodeMethod> methods_;
};

class TCodeNotifyEventChain : public TCodeMethodChain {
  TALVIK_CLASS(TCodeNotifyEventChain, TCodeMethodChain)
  TCodeNotifyEventChain() = default;
  explicit TCodeNotifyEventChain(TObject* sender) : sender_(sender) {}
  static TCodeNotifyEventChain* CreateEx(TObject* sender) { return new TCodeNotifyEventChain(sender); }

  TObject* Sender() const { return sender_; }
  void SetSender(TObject* sender) { sender_ = sender; }

 protected:
  void DoFire(const TCodeMethod& method) override;

 private:
  TObject* sender_ = nullptr;
};

// Line-end conventions of a text file.
enum TCodeEditFileFormat : uint8_t { sffDos = 0, sffUnix = 1, sffMac = 2 };

// The base of the editor's file access: a file name and its line-end convention.
class TCodeEditFiler : public TObject {
 public:
  TCodeEditFiler(std::string fileName, TCodeEditFileFormat format);
  ~TCodeEditFiler() override;

  TCodeEditFileFormat FileFormat() const { return format_; }
  void SetFileFormat(TCodeEditFileFormat f) { format_ = f; }
  const char* LineEnd() const;

 protected:
  std::string fileName_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t used_ = 0;

 private:
  TCodeEditFileFormat format_;
};

// Writes a text file through a 16384-byte buffer; the file is created (emptied) by the
// constructor and flushed and closed by Close or the destructor.
class TCodeEditFileWriter : public TCodeEditFiler {
 public:
  TCodeEditFileWriter(const std::string& fileName, TCodeEditFileFormat format);
  ~TCodeEditFileWriter() override;

  void Write(const std::string& text);
  void WriteLine(const std::string& text);
  void Flush();
  // Flushes and closes; a failed write or close raises EWriteError.
  void Close();
};

// ------------------------------------------------------------------ painting settings

// The colours of the selection.
class TCodeSelectedColor : public TPersistent {
  TALVIK_CLASS(TCodeSelectedColor, TPersistent)
  TCodeSelectedColor() = default;
  void Assign(TPersistent* source) override;

  TColor Background() const { return background_; }
  void SetBackground(TColor value);
  TColor Foreground() const { return foreground_; }
  void SetForeground(TColor value);

  TNotifyEvent OnChange;

 private:
  TColor background_ = clHighlight;
  TColor foreground_ = clHighlightText;
};

enum TCodeGutterBorderStyle : uint8_t { gbsNone, gbsMiddle, gbsRight };

// The gutter left of the text: its look, its line numbers and its width.
class TCodeGutter : public TPersistent {
  TALVIK_CLASS(TCodeGutter, TPersistent)
  TCodeGutter();
  ~TCodeGutter() override;
  void Assign(TPersistent* source) override;

  // The automatic digit count follows the line count when line numbers auto-size.
  void AutoSizeDigitCount(int linesCount);
  std::string FormatLineNumber(int line) const;
  int RealGutterWidth(int charWidth) const;

  TFont* Font() { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  bool ShowLineNumbers() const { return showLineNumbers_; }
  void SetShowLineNumbers(bool value);
  int DigitCount() const { return digitCount_; }
  void SetDigitCount(int value);
  int AutoSizeDigits() const { return autoSizeDigitCount_; }
  bool LeadingZeros() const { return leadingZeros_; }
  void SetLeadingZeros(bool value);
  bool ZeroStart() const { return zeroStart_; }
  void SetZeroStart(bool value);
  int LeftOffset() const { return leftOffset_; }
  void SetLeftOffset(int value);
  int RightOffset() const { return rightOffset_; }
  void SetRightOffset(int value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool UseFontStyle() const { return useFontStyle_; }
  void SetUseFontStyle(bool value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TCodeGutterBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TCodeGutterBorderStyle value);

  TNotifyEvent OnChange;

 private:
  void Changed();
  template <typename T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }

  std::unique_ptr<TFont> font_;
  TColor color_ = clBtnFace;
  int width_ = 30;
  bool showLineNumbers_ = false;
  int digitCount_ = 4;
  bool leadingZeros_ = false;
  bool zeroStart_ = false;
  int leftOffset_ = 16;
  int rightOffset_ = 2;
  bool visible_ = true;
  bool useFontStyle_ = true;
  bool autoSize_ = false;
  int autoSizeDigitCount_ = 4;
  TCodeGutterBorderStyle borderStyle_ = gbsMiddle;
};

// Bookmark options; the image list is held with free notification by the editor.
class TCodeBookMarkOpt : public TPersistent {
  TALVIK_CLASS(TCodeBookMarkOpt, TPersistent)
  explicit TCodeBookMarkOpt(TComponent* owner) : owner_(owner) {}
  void Assign(TPersistent* source) override;

  // The images of bookmarks that are not drawn from the editor's own strip.
  TCustomImageList* BookmarkImages() const { return bookmarkImages_; }
  void SetBookmarkImages(TCustomImageList* value);
  bool DrawBookmarksFirst() const { return drawBookmarksFirst_; }
  void SetDrawBookmarksFirst(bool value);
  bool EnableKeys() const { return enableKeys_; }
  void SetEnableKeys(bool value);
  bool GlyphsVisible() const { return glyphsVisible_; }
  void SetGlyphsVisible(bool value);
  int LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(int value);
  int Xoffset() const { return xOffset_; }
  void SetXoffset(int value);

  TNotifyEvent OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  TComponent* owner_;
  TCustomImageList* bookmarkImages_ = nullptr;
  bool drawBookmarksFirst_ = true;
  bool enableKeys_ = true;
  bool glyphsVisible_ = true;
  int leftMargin_ = 2;
  int xOffset_ = 12;
};

// Fills `bitmap` with one of the editor's own pictures ("CodeEditWrapped", "CodeEditInternalImages");
// false for another name.
bool LoadCodeEditBitmap(const std::string& name, TBitmap* bitmap);

// A small picture drawn in the gutter: the user's glyph, else an internal one.
class TCodeGlyph : public TPersistent {
  TALVIK_CLASS(TCodeGlyph, TPersistent)
  TCodeGlyph(const std::string& resourceName, TColor resourceMaskColor);
  ~TCodeGlyph() override;
  void Assign(TPersistent* source) override;

  void Draw(TCanvas* canvas, int x, int y, int lineHeight);
  int Width() const;
  TBitmap* Glyph() { return glyph_.get(); }
  void SetGlyph(TBitmap* value);
  TColor MaskColor() const { return maskColor_; }
  void SetMaskColor(TColor value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  TNotifyEvent OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  bool visible_ = true;
  std::unique_ptr<TBitmap> internalGlyph_;
  TColor internalMaskColor_ = clNone;
  std::unique_ptr<TBitmap> glyph_;
  TColor maskColor_ = clNone;
};

// A strip of equal-width images shared by name among its users.
class TCodeInternalImage : public TObject {
  TALVIK_CLASS(TCodeInternalImage, TObject)
  TCodeInternalImage(const std::string& name, int count);
  ~TCodeInternalImage() override;

  void DrawMark(TCanvas* canvas, int number, int x, int y, int lineHeight);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // How many strips are alive (for tests of the sharing).
  static int SharedCount();

  struct TShared;

 private:
  TShared* shared_ = nullptr;
  int count_ = 0;
  int width_ = 0;
  int height_ = 0;
};
