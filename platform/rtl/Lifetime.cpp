// Weak component references: a free-notification peer that forgets its target.
#include "platform/rtl/Lifetime.h"

TFreeWatch::~TFreeWatch() {
  SetTarget(nullptr);
}

void TFreeWatch::SetTarget(TComponent* Value) {
  if (Value == target_) return;
  if (target_) target_->RemoveFreeNotification(this);
  target_ = Value;
  if (target_) target_->FreeNotification(this);
}

void TFreeWatch::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == target_) target_ = nullptr;
}
