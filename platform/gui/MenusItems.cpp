// Menu items, their action links, menus and shortcut dispatch.
#include <algorithm>

#include "platform/gui/Graphics.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Lifetime.h"

// ---------------------------------------------------------------- TMenuActionLink

bool TMenuActionLink::IsGroupIndexLinked() {
  TCustomAction* a = CustomAction();
  return TActionLink::IsGroupIndexLinked() && a && Client()->GroupIndex() == a->GroupIndex();
}

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {
  Changed();
}

TMenuItem::~TMenuItem() {
  Clear();
  if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  return items_[static_cast<std::size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
  Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->parent_) throw EMenuError("Menu inserted twice");
  for (TMenuItem* p = this; p; p = p->parent_)
    if (p == Item) throw EMenuError("Menu inserted into itself");
  Index = std::clamp(Index, 0, Count());
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  Item->FreeNotification(this);
  Changed();
}

void TMenuItem::Delete(int Index) {
  TMenuItem* item = Items(Index);
  items_.erase(items_.begin() + Index);
  item->parent_ = nullptr;
  item->RemoveFreeNotification(this);
  Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
  int i = IndexOf(Item);
  if (i < 0) throw EMenuError("Menu item not found");
  Delete(i);
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();  // each leaves this item as it goes
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::Changed() {
  ++changeCount_;
}

void TMenuItem::SetCaption(const std::string& Value) {
  caption_ = Value;
  Changed();
}

void TMenuItem::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  if (Value && radioItem_) TurnSiblingsOff();
  Changed();
}

void TMenuItem::SetEnabled(bool Value) {
  enabled_ = Value;
  Changed();
}

void TMenuItem::SetVisible(bool Value) {
  visible_ = Value;
  Changed();
}

void TMenuItem::SetDefault(bool Value) {
  if (default_ == Value) return;
  // one default item per menu level
  if (Value && parent_)
    for (TMenuItem* sibling : parent_->items_) sibling->default_ = false;
  default_ = Value;
  Changed();
}

void TMenuItem::SetRadioItem(bool Value) {
  radioItem_ = Value;
  if (Value && checked_) TurnSiblingsOff();
  Changed();
}

void TMenuItem::SetGroupIndex(int Value) {
  groupIndex_ = Value;
  if (radioItem_ && checked_) TurnSiblingsOff();
  Changed();
}

void TMenuItem::TurnSiblingsOff() {
  if (!parent_) return;
  for (TMenuItem* sibling : parent_->items_)
    if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) {
      if (sibling->actionLink_ && sibling->actionLink_->IsCheckedLinked()) {
        if (auto* action = dynamic_cast<TCustomAction*>(sibling->Action())) action->SetChecked(false);
      }
      sibling->checked_ = false;
    }
}

void TMenuItem::SetImageIndex(int Value) {
  imageIndex_ = Value;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut Value) {
  shortCut_ = Value;
  Changed();
}

TBitmap* TMenuItem::Bitmap() {
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    Changed();
  }
  return bitmap_.get();
}

void TMenuItem::SetAction(TBasicAction* Value) {
  if (Value == Action()) return;
  if (TBasicAction* old = Action()) old->RemoveFreeNotification(this);
  if (!Value) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) {
    actionLink_ = std::make_unique<TMenuActionLink>(this);
    actionLink_->OnChange = [this](TObject* Sender) {
      if (Sender && Sender == Action()) ActionChange(Sender, false);
    };
  }
  actionLink_->SetAction(Value);
  ActionChange(Value, Value->ComponentState().Contains(csLoading));
  Value->FreeNotification(this);
}

void TMenuItem::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(Sender);
  if (!a) return;
  CopyActionProperties(*this, *a, CheckDefaults);
}

void TMenuItem::Click() {
  if (!enabled_) return;
  // An item whose action checks itself leaves the toggling to the action.
  bool actionChecks = actionLink_ && actionLink_->IsAutoCheckLinked();
  if (autoCheck_ && !actionChecks) SetChecked(!checked_);
  if (OnClick)
    InvokeEvent(OnClick, this);
  else if (actionLink_ && !ComponentState().Contains(csDesigning))
    actionLink_->Execute(this);
}

void TMenuItem::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

TMenuItem* TMenuItem::FindShortCut(TShortCut Value) {
  if (Value == 0) return nullptr;
  for (TMenuItem* item : items_) {
    if (!item->visible_) continue;
    item->InitiateAction();
    if (item->shortCut_ == Value) return item;
    if (TMenuItem* inner = item->FindShortCut(Value)) return inner;
  }
  return nullptr;
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (actionLink_ && AComponent == actionLink_->Action()) actionLink_.reset();
  if (auto* item = dynamic_cast<TMenuItem*>(AComponent); item && item->parent_ == this) {
    items_.erase(std::find(items_.begin(), items_.end(), item));
    item->parent_ = nullptr;
  }
}

// ---------------------------------------------------------------- TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(std::make_unique<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  SetImages(nullptr);
  // The subitems belong to the form; the tree lets go of them first so that each can go alone.
  while (items_->Count() > 0) items_->Delete(items_->Count() - 1);
}

void TMenu::SetImages(TCustomImageList* Value) {
  if (Value == images_) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = Value;
  if (images_) images_->FreeNotification(this);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

bool TMenu::IsShortCut(TMessage& Message) {
  TMenuItem* item =
      items_->FindShortCut(ShortCutFromMessage(static_cast<WORD>(Message.WParam), Message.LParam));
  if (!item || !item->Enabled()) return false;
  for (TMenuItem* p = item->Parent(); p; p = p->Parent())
    if (!p->Enabled() || !p->Visible()) return false;
  item->Click();
  return true;
}

// ---------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
  if (popupComponent_ == Value) return;
  if (popupComponent_) popupComponent_->RemoveFreeNotification(this);
  popupComponent_ = Value;
  if (popupComponent_) popupComponent_->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popupComponent_) popupComponent_ = nullptr;
}
