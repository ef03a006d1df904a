// Image lists of the toolbar library: a list that draws its images from companion lists for checked,
// disabled and hot states, and can take its images from one bitmap strip.
#pragma once

#include <memory>

#include "platform/gui/ImgList.h"

class TBarCustomImageList : public TCustomImageList {
  TALVIK_CLASS(TBarCustomImageList, TCustomImageList)
  explicit TBarCustomImageList(TComponent* AOwner);
  ~TBarCustomImageList() override;

  // Draws image Index in the state given: from DisabledImages (drawn as enabled) for a disabled
  // image, else from CheckedImages for a checked one, else from HotImages for a hot one, else from
  // the list itself; a companion that is not set leaves the choice to the next.
  void DrawState(TCanvas* Canvas, int X, int Y, int Index, bool Enabled, bool Hot, bool Checked);

  TCustomImageList* CheckedImages() const { return checkedImages_; }
  void SetCheckedImages(TCustomImageList* Value) { SetCompanion(checkedImages_, checkedLink_, Value); }
  TCustomImageList* DisabledImages() const { return disabledImages_; }
  void SetDisabledImages(TCustomImageList* Value) { SetCompanion(disabledImages_, disabledLink_, Value); }
  TCustomImageList* HotImages() const { return hotImages_; }
  void SetHotImages(TCustomImageList* Value) { SetCompanion(hotImages_, hotLink_, Value); }
  // When not empty, the images come from this strip, cut at the list's width.
  TBitmap* ImagesBitmap() const { return imagesBitmap_.get(); }
  void SetImagesBitmap(TBitmap* Value);
  TColor ImagesBitmapMaskColor() const { return imagesBitmapMaskColor_; }
  void SetImagesBitmapMaskColor(TColor Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void SetCompanion(TCustomImageList*& Field, std::unique_ptr<TChangeLink>& Link, TCustomImageList* Value);
  void LoadFromImagesBitmap();

  TCustomImageList* checkedImages_ = nullptr;
  TCustomImageList* disabledImages_ = nullptr;
  TCustomImageList* hotImages_ = nullptr;
  std::unique_ptr<TChangeLink> checkedLink_, disabledLink_, hotLink_;
  std::unique_ptr<TBitmap> imagesBitmap_;
  TColor imagesBitmapMaskColor_ = clFuchsia;
};

class TBarImageList : public TBarCustomImageList {
  TALVIK_CLASS(TBarImageList, TBarCustomImageList)
  using TBarCustomImageList::TBarCustomImageList;
};
