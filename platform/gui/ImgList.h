// Image lists: equal-sized images with masks, drawn enabled or greyed, and the links that hear of
// their changes.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Controls.h"

class TCustomImageList;

// Tells its owner that an image list changed; unregisters itself when it goes.
class TChangeLink : public TObject {
  TALVIK_CLASS(TChangeLink, TObject)
  TChangeLink() = default;
  ~TChangeLink() override;
  TCustomImageList* Sender() const { return sender_; }
  void SetSender(TCustomImageList* Value) { sender_ = Value; }
  virtual void Change();
  TNotifyEvent OnChange;

 private:
  TCustomImageList* sender_ = nullptr;
};

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

class TCustomImageList : public TComponent {
  TALVIK_CLASS(TCustomImageList, TComponent)
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TCustomImageList() override;
  static TCustomImageList* CreateSize(int AWidth, int AHeight) {
    return new TCustomImageList(nullptr, AWidth, AHeight);
  }

  int Width() const { return width_; }
  void SetWidth(int Value) { SetSize(Value, height_); }
  int Height() const { return height_; }
  void SetHeight(int Value) { SetSize(width_, Value); }
  void SetSize(int AWidth, int AHeight);  // clears the list when the size changes
  int Count() const { return static_cast<int>(images_.size()); }
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor Value);
  TColor BlendColor() const { return blendColor_; }
  void SetBlendColor(TColor Value);
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle Value);
  bool Masked() const { return masked_; }
  void SetMasked(bool Value);
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int Value) { allocBy_ = Value; }

  // Adds the images of a strip (as many as fit in its width); Mask is monochrome, black where the
  // image shows (nullptr: every pixel shows). Answers the index of the first one.
  int Add(TBitmap* Image, TBitmap* Mask);
  // Adds the images of a strip; pixels of MaskColor (clDefault: of the bottom-left pixel) are clear.
  int AddMasked(TBitmap* Image, TColor MaskColor);
  void AddImages(TCustomImageList* Value);
  void Insert(int Index, TBitmap* Image, TBitmap* Mask);
  void InsertMasked(int Index, TBitmap* Image, TColor MaskColor);
  void Replace(int Index, TBitmap* Image, TBitmap* Mask);
  void ReplaceMasked(int Index, TBitmap* NewImage, TColor MaskColor);
  void Delete(int Index);  // -1 deletes all
  void Clear() { Delete(-1); }
  void Move(int CurIndex, int NewIndex);
  void Assign(TPersistent* Source) override;

  // Draws image Index at (X, Y); a disabled image is drawn embossed in the 3-D colours.
  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
  void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle, TImageType AImageType,
            bool Enabled = true);
  void DrawOn(HDC DC, int X, int Y, int Index, bool Enabled = true);
  // The image on a bitmap of the list's size; clear pixels take BkColor (clNone: the image's own).
  void GetBitmap(int Index, TBitmap* Image);
  // The mask: black where the image shows, white where it is clear.
  void GetMask(int Index, TBitmap* Mask);
  // Adds the strip of a named bitmap resource of Module, split at AWidth (0: the list's width) and
  // masked by MaskColor; false when there is no such resource.
  bool GetResource(HINSTANCE Module, const std::string& Name, int AWidth, TColor MaskColor);
  // Whether pixel (X, Y) of image Index shows (for tests and hit testing).
  bool PixelShows(int Index, int X, int Y) const;

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  struct Image;
  std::vector<std::shared_ptr<Image>> Split(TBitmap* Strip, TBitmap* Mask, TColor MaskColor, bool UseColor);
  void CheckIndex(int Index, bool AllowEnd) const;
  int width_ = 16;
  int height_ = 16;
  TColor bkColor_ = clNone;
  TColor blendColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  bool masked_ = true;
  int allocBy_ = 4;
  int updateCount_ = 0;
  bool changedInUpdate_ = false;
  std::vector<std::shared_ptr<Image>> images_;
  std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
  TALVIK_CLASS(TImageList, TCustomImageList)
  using TCustomImageList::TCustomImageList;
};

// A control's hold on an image list, shared by the controls that show one: points `Field` at
// `Value` for `Holder`, moving the change link and the free notification with it. The list left is
// told nothing when it is being destroyed.
void SetImageListOf(TComponent* Holder, TCustomImageList*& Field, TChangeLink& Link, TCustomImageList* Value);
// For the holder's Notification: lets go of `Field` when it is the component going, without a call
// to it (its links already let go of it). True when it was.
bool ForgetImageListOf(TCustomImageList*& Field, TComponent* AComponent, TOperation Operation);
