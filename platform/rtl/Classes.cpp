// Objects, persistent objects, components, pointer lists and collections.
#include "platform/rtl/Classes.h"

#include <algorithm>

#include "platform/rtl/Lifetime.h"

// ---------------------------------------------------------------------------------------------------
std::string TObject::ClassParentName() const {
  const TClassInfo* parent = ClassType()->Parent;
  return parent ? parent->Name : "";
}

bool TObject::InheritsFrom(const TClassInfo* AClass) const {
  for (const TClassInfo* c = ClassType(); c; c = c->Parent)
    if (c == AClass) return true;
  return false;
}

bool TObject::InheritsFrom(std::string_view AClassName) const {
  for (const TClassInfo* c = ClassType(); c; c = c->Parent)
    if (SameText(c->Name, AClassName)) return true;
  return false;
}

bool TObject::ClassNameIs(std::string_view AName) const {
  return SameText(ClassType()->Name, AName);
}

// ---------------------------------------------------------------------------------------------------
void TPersistent::Assign(TPersistent* Source) {
  if (Source) {
    Source->AssignTo(this);
  } else {
    AssignError(nullptr);
  }
}

void TPersistent::AssignTo(TPersistent* Dest) {
  Dest->AssignError(this);
}

void TPersistent::DefineProperties(TFiler* /*Filer*/) {}

void TPersistent::AssignError(const TPersistent* Source) const {
  const std::string sourceName = Source ? Source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

// ---------------------------------------------------------------------------------------------------
namespace {

bool IsValidIdent(std::string_view s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(s[0])) return false;
  return std::all_of(s.begin() + 1, s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) TList::Error(SListIndexError, Index);
  return components_[Index];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetComponentIndex(int Value) {
  if (!owner_) return;
  auto& list = owner_->components_;
  const int cur = ComponentIndex();
  if (cur < 0) return;
  const int count = static_cast<int>(list.size());
  Value = std::clamp(Value, 0, count - 1);
  if (Value == cur) return;
  list.erase(list.begin() + cur);
  list.insert(list.begin() + Value, this);
}

void TComponent::SetName(const std::string& NewName) {
  if (name_ == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError("'" + NewName + "' is not a valid component name");
  if (owner_) {
    owner_->ValidateRename(this, name_, NewName);
  } else {
    ValidateRename(nullptr, name_, NewName);
  }
  name_ = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName) {
  if (AComponent && !SameText(CurName, NewName) && AComponent->owner_ == this && !NewName.empty()) {
    if (FindComponent(NewName)) throw EComponentError("A component named " + NewName + " already exists");
  }
}

void TComponent::ValidateContainer(TComponent* AComponent) {
  AComponent->ValidateInsert(this);
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, AName)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ == this) return;
  // Ownership must stay a tree: a component cannot come to own itself through others.
  for (const TComponent* c = this; c; c = c->owner_)
    if (c == AComponent) throw EComponentError("A component cannot own itself or its own owner");
  AComponent->ValidateContainer(this);
  ValidateRename(AComponent, "", AComponent->name_);
  if (!AComponent->name_.empty() && FindComponent(AComponent->name_))
    throw EComponentError("A component named " + AComponent->name_ + " already exists");
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  Insert(AComponent);
  if (state_.Contains(csDesigning)) AComponent->SetDesigning(true);
  if (state_.Contains(csLoading)) AComponent->BeginLoading();
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent) {
  components_.push_back(AComponent);
  AComponent->owner_ = this;
}

void TComponent::Remove(TComponent* AComponent) {
  auto it = std::find(components_.begin(), components_.end(), AComponent);
  if (it != components_.end()) components_.erase(it);
  AComponent->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* instance = components_.back();
    // A component with free-notification peers goes through RemoveComponent, so that the
    // components that still live (its siblings among them) forget it before it is gone.
    if (instance->state_.Contains(csFreeNotification)) {
      RemoveComponent(instance);
    } else {
      Remove(instance);
    }
    delete instance;
  }
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (!owner_ || AComponent->owner_ != owner_) {
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end()) {
      freeNotifies_.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent);
  if (it != freeNotifies_.end()) freeNotifies_.erase(it);
}

void TComponent::RemoveFreeNotifications() {
  while (!freeNotifies_.empty()) {
    TComponent* peer = freeNotifies_.back();
    peer->Notification(this, opRemove);
    // An override that does not call the inherited Notification leaves the link: drop it here.
    RemoveFreeNotification(peer);
  }
}

void TComponent::Loaded() {
  state_.Exclude(csLoading);
  state_.Exclude(csReading);
}

void TComponent::BeginLoading() {
  state_.Include(csLoading);
  state_.Include(csReading);
  for (TComponent* c : components_) c->BeginLoading();
}

namespace {
void CollectLoading(TComponent* c, std::vector<TComponent*>& out) {
  if (c->ComponentState().Contains(csLoading)) out.push_back(c);
  for (int i = 0; i < c->ComponentCount(); ++i) CollectLoading(c->Components(i), out);
}

}  // namespace

void TComponent::EndLoading() {
  std::vector<TComponent*> loading;
  CollectLoading(this, loading);
  for (TComponent* c : loading) c->ExcludeComponentState(csReading);
  for (TComponent* c : loading) {
    // A Loaded handler may free components: call only those still in the tree.
    if (c != this) {
      std::vector<TComponent*> alive;
      CollectLoading(this, alive);
      if (std::find(alive.begin(), alive.end(), c) == alive.end()) continue;
    }
    c->Loaded();
  }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // A notified component may free others: re-check the bounds at every step.
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    if (i >= ComponentCount()) continue;
    components_[i]->Notification(AComponent, Operation);
  }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value) {
    state_.Include(csDesigning);
  } else {
    state_.Exclude(csDesigning);
  }
  if (SetChildren)
    for (TComponent* c : components_) c->SetDesigning(Value, true);
}

void TComponent::SetInline(bool Value) {
  if (Value) {
    state_.Include(csInline);
  } else {
    state_.Exclude(csInline);
  }
}

void TComponent::SetDesignInstance(bool Value) {
  if (Value) {
    state_.Include(csDesignInstance);
  } else {
    state_.Exclude(csDesignInstance);
  }
}

void TComponent::SetAncestor(bool Value) {
  if (Value) {
    state_.Include(csAncestor);
  } else {
    state_.Exclude(csAncestor);
  }
  for (TComponent* c : components_) c->SetAncestor(Value);
}

// ---------------------------------------------------------------------------------------------------
TList::~TList() {
  items_.clear();
}

void TList::Error(const std::string& Msg, intptr_t Data) {
  throw EListError(Format(Msg, {Data}));
}

void TList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
}

int TList::Add(void* Item) {
  items_.push_back(Item);
  if (Item) Notify(Item, lnAdded);
  return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
  items_.insert(items_.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
  CheckIndex(Index);
  void* item = items_[Index];
  items_.erase(items_.begin() + Index);
  if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* Item) {
  const int index = IndexOf(Item);
  if (index >= 0) Delete(index);
  return index;
}

int TList::IndexOf(void* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void* TList::Extract(void* Item) {
  const int index = IndexOf(Item);
  if (index < 0) return nullptr;
  void* result = items_[index];
  items_.erase(items_.begin() + index);
  Notify(result, lnExtracted);
  return result;
}

void TList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(items_[Index1], items_[Index2]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  void* item = items_[CurIndex];
  items_.erase(items_.begin() + CurIndex);
  items_.insert(items_.begin() + NewIndex, item);
}

void TList::Sort(const TListSortCompare& Compare) {
  // A merge sort stays within the list even when Compare is not a consistent order.
  std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Pack() {
  items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
}

void TList::Clear() {
  SetCount(0);
  items_.shrink_to_fit();
}

void TList::Assign(const TList* Source) {
  Clear();
  if (!Source) return;
  for (void* item : Source->items_) Add(item);
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0) Error(SListCountError, NewCount);
  if (NewCount > Count()) {
    items_.resize(NewCount, nullptr);
  } else {
    for (int i = Count() - 1; i >= NewCount; --i) Delete(i);
  }
}

void TList::SetCapacity(int NewCapacity) {
  if (NewCapacity < Count()) Error(SListCapacityError, NewCapacity);
  if (NewCapacity > Capacity()) {
    items_.reserve(NewCapacity);
  } else {
    items_.shrink_to_fit();
  }
}

void* TList::Items(int Index) const {
  CheckIndex(Index);
  return items_[Index];
}

void TList::SetItems(int Index, void* Item) {
  CheckIndex(Index);
  void* old = items_[Index];
  if (old == Item) return;
  items_[Index] = Item;
  if (old) Notify(old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

// ---------------------------------------------------------------------------------------------------
void TThreadList::Add(void* Item) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (duplicates_ == dupAccept || list_.IndexOf(Item) < 0) {
    list_.Add(Item);
  } else if (duplicates_ == dupError) {
    TList::Error(SDuplicateItem, reinterpret_cast<intptr_t>(Item));
  }
}

void TThreadList::Clear() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  list_.Clear();
}

void TThreadList::Remove(void* Item) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  list_.Remove(Item);
}

TList* TThreadList::LockList() {
  lock_.lock();
  return &list_;
}

void TThreadList::UnlockList() {
  lock_.unlock();
}

// ---------------------------------------------------------------------------------------------------
TCollectionItem::TCollectionItem(TCollection* Collection) {
  SetCollection(Collection);
}

TCollectionItem::~TCollectionItem() {
  SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection* Value) {
  if (collection_ == Value) return;
  if (collection_) collection_->RemoveItem(this);
  if (Value) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
  const int cur = Index();
  if (cur < 0 || cur == Value) return;
  auto& items = collection_->items_;
  if (Value < 0 || Value >= static_cast<int>(items.size())) TList::Error(SListIndexError, Value);
  items.erase(items.begin() + cur);
  items.insert(items.begin() + Value, this);
  Changed(true);
}

void TCollectionItem::SetDisplayName(const std::string& /*Value*/) {
  Changed(false);
}

TPersistent* TCollectionItem::GetOwner() const {
  return collection_;
}

std::string TCollectionItem::GetNamePath() const {
  if (!collection_) return ClassName();
  return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ && collection_->updateCount_ == 0 && collection_->constructing_ != this)
    collection_->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(TCollectionItemClass ItemClass) : itemClass_(ItemClass) {}

TCollection::~TCollection() {
  updateCount_ = 1;
  FreeItems();
}

void TCollection::FreeItems() {
  while (!items_.empty()) {
    TCollectionItem* item = items_.back();
    RemoveItem(item);
    delete item;
  }
}

std::string TCollection::GetNamePath() const {
  TPersistent* owner = GetOwner();
  if (!owner) return ClassName();
  return owner->GetNamePath() + "." + ClassName();
}

TCollectionItem* TCollection::Add() {
  if (!itemClass_) throw EInvalidOperation("Collection has no item class");
  // The item joins the collection in its constructor; the notifications wait until it is complete.
  const bool wasAdding = adding_;
  adding_ = true;
  TCollectionItem* item = nullptr;
  try {
    item = itemClass_(this);
  } catch (...) {
    adding_ = wasAdding;
    constructing_ = nullptr;
    throw;
  }
  adding_ = wasAdding;
  if (item && item == constructing_) {
    constructing_ = nullptr;
    FinishInsert(item);
  }
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  RemoveItem(item);
  delete item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  talvik_detail::UpdateScope update(this);
  // each item is told as it goes, the last first, as Delete tells it
  while (!items_.empty()) Delete(Count() - 1);
}

void TCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCollection*>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  talvik_detail::UpdateScope update(this);
  Clear();
  for (TCollectionItem* item : source->items_) Add()->Assign(item);
}

void TCollection::BeginUpdate() {
  ++updateCount_;
}

void TCollection::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  Changed();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (TCollectionItem* item : items_)
    if (item->id_ == ID) return item;
  return nullptr;
}

TCollectionItem* TCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) TList::Error(SListIndexError, Index);
  return items_[Index];
}

void TCollection::SetItems(int Index, TCollectionItem* Value) {
  Items(Index)->Assign(Value);
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* Item) {
  items_.push_back(Item);
  Item->collection_ = this;
  Item->id_ = nextId_++;
  if (adding_ && !constructing_) {
    constructing_ = Item;
  } else {
    FinishInsert(Item);
  }
}

void TCollection::FinishInsert(TCollectionItem* Item) {
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  if (Item == constructing_) constructing_ = nullptr;
  Notify(Item, cnExtracting);
  auto it = std::find(items_.begin(), items_.end(), Item);
  if (it != items_.end()) items_.erase(it);
  Item->collection_ = nullptr;
  Changed();
}

// ---------------------------------------------------------------------------------------------------
// Actions

bool TComponent::ExecuteAction(TBasicAction* Action) {
  if (!Action || !Action->HandlesTarget(this)) return false;
  Action->ExecuteTarget(this);
  return true;
}

bool TComponent::UpdateAction(TBasicAction* Action) {
  if (!Action || !Action->HandlesTarget(this)) return false;
  Action->UpdateTarget(this);
  return true;
}

TBasicActionLink::TBasicActionLink(TObject* AClient) : client_(AClient) {}

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* Value) {
  if (Value == action_) return;
  if (action_) action_->UnRegisterChanges(this);
  action_ = Value;
  if (action_) action_->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* AComponent) {
  if (!action_) return false;
  TBasicAction* action = action_;
  action->SetActionComponent(AComponent);
  struct Reset {
    TBasicAction* a;
    ~Reset() { a->SetActionComponent(nullptr); }
  } reset{action};
  return action->Execute();
}

bool TBasicActionLink::Update() {
  return action_ && action_->Update();
}

void TBasicActionLink::Change() {
  InvokeEvent(OnChange, action_);
}

TBasicAction::TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}

TBasicAction::~TBasicAction() {
  // The clients keep their links; each loses its action.
  while (!clients_.empty()) {
    TBasicActionLink* link = clients_.back();
    clients_.pop_back();
    link->action_ = nullptr;
    link->Change();
  }
  SetActionComponent(nullptr);
}

bool TBasicAction::Execute() {
  if (!onExecute_) return false;
  onExecute_(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::SetActionComponent(TComponent* Value) {
  if (Value == actionComponent_) return;
  if (actionComponent_) actionComponent_->RemoveFreeNotification(this);
  actionComponent_ = Value;
  if (actionComponent_) actionComponent_->FreeNotification(this);
}

void TBasicAction::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == actionComponent_) actionComponent_ = nullptr;
}

void TBasicAction::SetOnExecute(TNotifyEvent Value) {
  onExecute_ = std::move(Value);
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(clients_))
    if (link->IsOnExecuteLinked()) link->SetOnExecute(onExecute_);
  Change();
}

void TBasicAction::RegisterChanges(TBasicActionLink* Value) {
  if (std::find(clients_.begin(), clients_.end(), Value) != clients_.end()) return;
  Value->action_ = this;
  clients_.push_back(Value);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* Value) {
  auto it = std::find(clients_.begin(), clients_.end(), Value);
  if (it == clients_.end()) return;
  clients_.erase(it);
  Value->action_ = nullptr;
}

void TBasicAction::Change() {
  InvokeEvent(OnChange, this);
  // A client may let go of the action while it hears of the change.
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(clients_))
    if (std::find(clients_.begin(), clients_.end(), link) != clients_.end()) link->Change();
}
