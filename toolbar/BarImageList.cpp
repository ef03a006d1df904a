#include "toolbar/BarImageList.h"

TBarCustomImageList::TBarCustomImageList(TComponent* AOwner)
    : TCustomImageList(AOwner), imagesBitmap_(std::make_unique<TBitmap>()) {}

TBarCustomImageList::~TBarCustomImageList() {
  SetCheckedImages(nullptr);
  SetDisabledImages(nullptr);
  SetHotImages(nullptr);
}

void TBarCustomImageList::SetCompanion(TCustomImageList*& Field, std::unique_ptr<TChangeLink>& Link,
                                       TCustomImageList* Value) {
  if (Value == this) Value = nullptr;
  if (Field == Value) return;
  TCustomImageList* old = Field;
  if (old) old->UnRegisterChanges(Link.get());
  Field = Value;
  // the same list may serve for more than one state
  if (old && old != checkedImages_ && old != disabledImages_ && old != hotImages_)
    old->RemoveFreeNotification(this);
  if (Value) {
    if (!Link) {
      Link = std::make_unique<TChangeLink>();
      // a change of a companion is a change of this list
      Link->OnChange = [this](TObject*) { Change(); };
    }
    Value->RegisterChanges(Link.get());
    Value->FreeNotification(this);
  }
  Change();
}

void TBarCustomImageList::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomImageList::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // the companion is going: its change link unregisters itself with it
  if (AComponent == checkedImages_) checkedImages_ = nullptr;
  if (AComponent == disabledImages_) disabledImages_ = nullptr;
  if (AComponent == hotImages_) hotImages_ = nullptr;
}

void TBarCustomImageList::DrawState(TCanvas* Canvas, int X, int Y, int Index, bool Enabled, bool Hot,
                                    bool Checked) {
  TCustomImageList* source = this;
  bool enabled = Enabled;
  if (!Enabled && disabledImages_) {
    source = disabledImages_;
    enabled = true;
  } else if (Checked && checkedImages_) {
    source = checkedImages_;
  } else if (Hot && hotImages_) {
    source = hotImages_;
  }
  if (Index < 0 || Index >= source->Count()) return;
  source->Draw(Canvas, X, Y, Index, enabled);
}

void TBarCustomImageList::SetImagesBitmap(TBitmap* Value) {
  if (Value)
    imagesBitmap_->Assign(Value);
  else
    imagesBitmap_ = std::make_unique<TBitmap>();
  LoadFromImagesBitmap();
}

void TBarCustomImageList::SetImagesBitmapMaskColor(TColor Value) {
  if (Value == imagesBitmapMaskColor_) return;
  imagesBitmapMaskColor_ = Value;
  LoadFromImagesBitmap();
}

void TBarCustomImageList::LoadFromImagesBitmap() {
  if (imagesBitmap_->Empty()) return;
  BeginUpdate();
  Clear();
  AddMasked(imagesBitmap_.get(), imagesBitmapMaskColor_);
  EndUpdate();
}
