// Items: the tree, its notifications, effective options, radio groups, the link to actions, clicks,
// shortcut processing and the deferred-click queue.
#include "toolbar/BarItem.h"

#include <algorithm>
#include <cassert>

#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr char SToolbarItemIndexError[] = "Toolbar item index out of range";
constexpr char SToolbarItemAlreadyInserted[] = "Toolbar item already inserted";

// Options whose change needs a new layout; the hint options need neither layout nor repaint.
constexpr TBarItemOptions kLayoutOptions{tboDefault,   tboDropdownArrow, tboImageAboveCaption, tboNoRotation,
                                         tboSameWidth, tboToolbarStyle,  tboToolbarSize};

// How deep the shortcut search follows LinkSubitems, and how often it starts over at the root.
constexpr int kMaxLinkDepth = 25;
constexpr int kMaxShortCutRestarts = 25;

TBarItemOptions Normalized(TBarItemOptions Options) {
  if (!Options.Contains(tboToolbarStyle)) Options.Exclude(tboToolbarSize);
  return Options;
}

// ---- the thread's deferred-click state ----

enum class SlotKind { Empty, Item, Viewer, Destroyed };
struct Slot {
  SlotKind kind = SlotKind::Empty;
  void* object = nullptr;
};

struct ThreadState {
  int liveCount = 0;  // items and viewers of this thread
  HWND window = nullptr;
  std::vector<Slot> queue;
};
thread_local ThreadState threadState;

constexpr char kUtilityWindowClass[] = "TBarUtilityWindow";

void DeliverDeferredClick(WPARAM Flag, LPARAM Index) {
  auto& q = threadState.queue;
  Slot slot;
  if (Index >= 0 && static_cast<size_t>(Index) < q.size()) {
    slot = q[static_cast<size_t>(Index)];
    q[static_cast<size_t>(Index)] = Slot();
  }
  while (!q.empty() && q.back().kind == SlotKind::Empty) q.pop_back();
  switch (slot.kind) {
    case SlotKind::Item:
      static_cast<TBarCustomItem*>(slot.object)->Click();
      break;
    case SlotKind::Viewer:
      static_cast<TBarItemViewer*>(slot.object)->DeferredDefaultAction(Flag);
      break;
    case SlotKind::Empty:
    case SlotKind::Destroyed:
      break;
  }
}

LRESULT UtilityWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_BAR_DEFERRED_CLICK) return DefWindowProc(Wnd, Msg, WParam, LParam);
  try {
    DeliverDeferredClick(WParam, LParam);
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
  }
  return 0;
}

HWND UtilityWindow() {
  if (!threadState.window) {
    WNDCLASS wc;
    if (!GetClassInfo(kUtilityWindowClass, wc)) {
      wc.lpfnWndProc = UtilityWindowProc;
      wc.lpszClassName = kUtilityWindowClass;
      RegisterClass(wc);
    }
    threadState.window =
        CreateWindowEx(0, kUtilityWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr);
  }
  return threadState.window;
}

void Queue(SlotKind Kind, void* Object, WPARAM Flag) {
  HWND wnd = UtilityWindow();
  auto& q = threadState.queue;
  auto it = std::find_if(q.begin(), q.end(), [](const Slot& s) { return s.kind == SlotKind::Empty; });
  if (it == q.end()) it = q.insert(q.end(), Slot());
  *it = {Kind, Object};
  PostMessage(wnd, WM_BAR_DEFERRED_CLICK, Flag, static_cast<LPARAM>(it - q.begin()));
}

}  // namespace

// Every item and viewer counts itself here; the last one takes the hidden window and the queue along.
void BarObjectCreated() {
  ++threadState.liveCount;
}

void BarObjectDestroyed(void* Object) {
  for (Slot& s : threadState.queue)
    if (s.object == Object && (s.kind == SlotKind::Item || s.kind == SlotKind::Viewer))
      s = {SlotKind::Destroyed, nullptr};
  if (--threadState.liveCount == 0) {
    if (threadState.window) DestroyWindow(threadState.window);
    threadState.window = nullptr;
    threadState.queue.clear();
    threadState.queue.shrink_to_fit();
  }
}

void QueueClick(TBarCustomItem* Item, WPARAM Flag) {
  Queue(SlotKind::Item, Item, Flag);
}

void QueueClick(TBarItemViewer* Viewer, WPARAM Flag) {
  Queue(SlotKind::Viewer, Viewer, Flag);
}

HWND DeferredClickWindow() {
  return threadState.window;
}

int DeferredClickQueueSize() {
  return static_cast<int>(threadState.queue.size());
}

void DoneActionData(const TBarDoneActionData& Data) {
  switch (Data.DoneAction) {
    case tbdaClickItem:
      if (Data.Sound && NeedToPlaySound("MenuCommand")) PlayMenuSound("MenuCommand");
      if (Data.ClickItem) QueueClick(Data.ClickItem);
      break;
    case tbdaOpenSystemMenu:
      SendMessage(Data.Wnd, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(Data.Key));
      break;
    case tbdaHelpContext: {
      if (!Application) break;
      TCustomForm* form = Screen ? Screen->ActiveForm() : nullptr;
      if (form && form->HandleAllocated() && (GetWindowLong(form->Handle(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP))
        Application->HelpCommand(HELP_CONTEXTPOPUP, Data.ContextID);
      else
        Application->HelpContext(Data.ContextID);
      break;
    }
    case tbdaNone:
    case tbdaCancel:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// TBarCustomItem

TBarCustomItem::TBarCustomItem(TComponent* AOwner) : TComponent(AOwner) {
  BarObjectCreated();
}

TBarCustomItem::~TBarCustomItem() {
  Destroying();
  // Children first, from the last; they are owned by the form, not by this item.
  while (!items_.empty()) {
    TBarCustomItem* child = items_.back();
    Delete(Count() - 1);
    delete child;
  }
  if (parent_) parent_->Remove(this);
  for (TBarCustomItem* p : std::vector<TBarCustomItem*>(linkParents_))
    if (p->linkSubitems_ == this) p->SetLinkSubitems(nullptr);
  if (linkSubitems_) {
    auto& lp = linkSubitems_->linkParents_;
    lp.erase(std::remove(lp.begin(), lp.end(), this), lp.end());
  }
  actionLink_.reset();
  if (images_ && imagesChangeLink_) images_->UnRegisterChanges(imagesChangeLink_.get());
  if (subMenuImages_ && subMenuImagesChangeLink_)
    subMenuImages_->UnRegisterChanges(subMenuImagesChangeLink_.get());
  handlers_.clear();
  BarObjectDestroyed(this);
}

TBarCustomItem* TBarCustomItem::Items(int Index) const {
  CheckIndex(Index, Count() - 1);
  return items_[static_cast<size_t>(Index)];
}

void TBarCustomItem::CheckIndex(int Index, int Limit) const {
  if (Index < 0 || Index > Limit) throw ETBItemError(SToolbarItemIndexError);
}

int TBarCustomItem::IndexOf(const TBarCustomItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TBarCustomItem::Insert(int Index, TBarCustomItem* Item) {
  if (!Item) throw ETBItemError(SToolbarItemIndexError);
  if (Item->parent_) throw ETBItemError(SToolbarItemAlreadyInserted);
  CheckIndex(Index, Count());
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  Notify(tbicSubitemsBeginUpdate, -1, nullptr);
  TScopeExit endUpdate([this] { Notify(tbicSubitemsEndUpdate, -1, nullptr); });
  Notify(tbicInserted, Index, Item);
  Item->RecalcOptions();
}

void TBarCustomItem::Delete(int Index) {
  CheckIndex(Index, Count() - 1);
  TBarCustomItem* item = items_[static_cast<size_t>(Index)];
  Notify(tbicDeleted, Index, item);
  item->parent_ = nullptr;
  items_.erase(items_.begin() + Index);
}

void TBarCustomItem::Remove(TBarCustomItem* Item) {
  int i = IndexOf(Item);
  if (i >= 0) Delete(i);
}

void TBarCustomItem::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(NewIndex, Count() - 1);
  TBarCustomItem* item = Items(CurIndex);
  Notify(tbicSubitemsBeginUpdate, -1, nullptr);
  TScopeExit endUpdate([this] { Notify(tbicSubitemsEndUpdate, -1, nullptr); });
  Delete(CurIndex);
  Insert(NewIndex, item);
}

void TBarCustomItem::Subscribe(TBarItemNotifyHandler* Handler) {
  for (HandlerRecord& r : handlers_)
    if (r.handler == Handler) {
      ++r.refCount;
      return;
    }
  handlers_.push_back({Handler, 1});
}

void TBarCustomItem::Unsubscribe(TBarItemNotifyHandler* Handler) {
  for (size_t i = 0; i < handlers_.size(); ++i)
    if (handlers_[i].handler == Handler) {
      if (--handlers_[i].refCount == 0) {
        handlers_.erase(handlers_.begin() + static_cast<std::ptrdiff_t>(i));
        if (handlers_.empty()) handlers_.shrink_to_fit();
      }
      return;
    }
}

void TBarCustomItem::Notify(TBarItemChangedAction Action, int Index, TBarCustomItem* Item) {
  // A handler may unsubscribe itself while it runs: move on only when the record just called is
  // still where it was.
  size_t i = 0;
  while (i < handlers_.size()) {
    TBarItemNotifyHandler* h = handlers_[i].handler;
    h->ItemNotification(this, false, Action, Index, Item);
    if (i < handlers_.size() && handlers_[i].handler == h) ++i;
  }
}

void TBarCustomItem::Change(bool NeedResize) {
  if (parent_) parent_->Notify(NeedResize ? tbicInvalidateAndResize : tbicInvalidate, -1, this);
}

void TBarCustomItem::FirePopup(TBarCustomItem* Sender, bool FromLink) {
  InvokeEvent(OnPopup, Sender, FromLink);
  if (!itemStyle_.Contains(tisSplitButton)) Click();
}

void TBarCustomItem::AfterEnabledChange() {
  Change(false);
}

TBarItemViewerClass TBarCustomItem::ViewerClassFor(TBarView*) {
  return ViewerClassOf<TBarItemViewer>();
}

void TBarCustomItem::Click() {
  if (!enabled_) return;
  if (autoCheck_ && (!actionLink_ || !actionLink_->IsAutoCheckLinked())) SetChecked(!checked_);
  if (onClick_ && Action() && !onClickFromAction_) {
    InvokeEvent(onClick_, this);
  } else if (actionLink_ && !ComponentState().Contains(csDesigning)) {
    actionLink_->Execute(this);
  } else if (onClick_) {
    InvokeEvent(onClick_, this);
  }
}

void TBarCustomItem::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

// ---- effective options ----

void TBarCustomItem::RecalcOptions() {
  TBarItemOptions inherited;
  if (inheritOptions_ && parent_) inherited = parent_->effectiveOptions_ - tboDefault;
  TBarItemOptions next = Normalized((inherited - maskOptions_) + options_);
  if (next != effectiveOptions_) {
    TBarItemOptions changed = TBarItemOptions::FromBits(next.Bits() ^ effectiveOptions_.Bits());
    effectiveOptions_ = next;
    if (!(changed * kLayoutOptions).Empty()) Change(true);
  }
  for (TBarCustomItem* child : items_)
    if (child->inheritOptions_) child->RecalcOptions();
}

void TBarCustomItem::SetOptions(TBarItemOptions Value) {
  Value = Normalized(Value);
  if (Value == options_) return;
  options_ = Value;
  RecalcOptions();
}

void TBarCustomItem::SetMaskOptions(TBarItemOptions Value) {
  Value = Normalized(Value);
  if (Value == maskOptions_) return;
  maskOptions_ = Value;
  RecalcOptions();
}

void TBarCustomItem::SetInheritOptions(bool Value) {
  if (Value == inheritOptions_) return;
  inheritOptions_ = Value;
  RecalcOptions();
}

// ---- property writers ----

void TBarCustomItem::SetCaption(const std::string& Value) {
  if (Value == caption_) return;
  caption_ = Value;
  Change(true);
}

void TBarCustomItem::SetChecked(bool Value) {
  if (Value == checked_) return;
  checked_ = Value;
  Change(false);
  if (Value) UncheckGroupSiblings();
}

void TBarCustomItem::UncheckGroupSiblings() {
  if (groupIndex_ == 0 || !parent_) return;
  for (TBarCustomItem* sibling : parent_->items_)
    if (sibling != this && sibling->groupIndex_ == groupIndex_) sibling->SetChecked(false);
}

void TBarCustomItem::SetDisplayMode(TBarItemDisplayMode Value) {
  if (Value == displayMode_) return;
  displayMode_ = Value;
  Change(true);
}

void TBarCustomItem::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  AfterEnabledChange();
}

void TBarCustomItem::SetGroupIndex(int Value) {
  if (Value == groupIndex_) return;
  groupIndex_ = Value;
  if (checked_) UncheckGroupSiblings();
}

void TBarCustomItem::SetImageIndex(int Value) {
  if (Value == imageIndex_) return;
  const bool wasNone = imageIndex_ < 0;
  imageIndex_ = Value;
  Change(wasNone != (Value < 0));
}

void TBarCustomItem::SetImages(TCustomImageList* Value) {
  if (Value == images_) return;
  const int oldWidth = images_ ? images_->Width() : -1;
  const int oldHeight = images_ ? images_->Height() : -1;
  if (images_ && imagesChangeLink_) images_->UnRegisterChanges(imagesChangeLink_.get());
  images_ = Value;
  if (images_) {
    if (!imagesChangeLink_) {
      imagesChangeLink_ = std::make_unique<TBarImageChangeLink>();
      imagesChangeLink_->OnChange = [this](TObject* Sender) { ImageListChanged(Sender); };
    }
    imagesChangeLink_->LastWidth = images_->Width();
    imagesChangeLink_->LastHeight = images_->Height();
    images_->RegisterChanges(imagesChangeLink_.get());
    images_->FreeNotification(this);
    Change(images_->Width() != oldWidth || images_->Height() != oldHeight);
  } else {
    Change(true);
  }
}

void TBarCustomItem::ImageListChanged(TObject*) {
  if (!images_ || !imagesChangeLink_) return;
  const bool resized =
      images_->Width() != imagesChangeLink_->LastWidth || images_->Height() != imagesChangeLink_->LastHeight;
  imagesChangeLink_->LastWidth = images_->Width();
  imagesChangeLink_->LastHeight = images_->Height();
  Change(resized);
}

void TBarCustomItem::SetSubMenuImages(TCustomImageList* Value) {
  if (Value == subMenuImages_) return;
  if (subMenuImages_ && subMenuImagesChangeLink_)
    subMenuImages_->UnRegisterChanges(subMenuImagesChangeLink_.get());
  subMenuImages_ = Value;
  if (subMenuImages_) {
    if (!subMenuImagesChangeLink_) {
      subMenuImagesChangeLink_ = std::make_unique<TBarImageChangeLink>();
      subMenuImagesChangeLink_->OnChange = [this](TObject* Sender) { SubMenuImageListChanged(Sender); };
    }
    subMenuImagesChangeLink_->LastWidth = subMenuImages_->Width();
    subMenuImagesChangeLink_->LastHeight = subMenuImages_->Height();
    subMenuImages_->RegisterChanges(subMenuImagesChangeLink_.get());
    subMenuImages_->FreeNotification(this);
  }
  Notify(tbicSubMenuImagesChanged, -1, nullptr);
}

void TBarCustomItem::SubMenuImageListChanged(TObject*) {
  if (!subMenuImages_ || !subMenuImagesChangeLink_) return;
  subMenuImagesChangeLink_->LastWidth = subMenuImages_->Width();
  subMenuImagesChangeLink_->LastHeight = subMenuImages_->Height();
  Notify(tbicSubMenuImagesChanged, -1, nullptr);
}

void TBarCustomItem::SetLinkSubitems(TBarCustomItem* Value) {
  if (Value == this) Value = nullptr;
  if (Value == linkSubitems_) return;
  if (linkSubitems_) {
    auto& lp = linkSubitems_->linkParents_;
    lp.erase(std::remove(lp.begin(), lp.end(), this), lp.end());
  }
  linkSubitems_ = Value;
  if (Value) {
    Value->linkParents_.push_back(this);
    Value->FreeNotification(this);
  }
  Notify(tbicSubitemsChanged, -1, nullptr);
}

void TBarCustomItem::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  Change(true);
}

void TBarCustomItem::SetOnClick(TNotifyEvent Value) {
  onClick_ = std::move(Value);
  onClickFromAction_ = false;
}

void TBarCustomItem::SetOnClickFromAction(TNotifyEvent Value) {
  onClick_ = std::move(Value);
  onClickFromAction_ = true;
}

std::string TBarCustomItem::GetShortCutText() const {
  size_t tab = caption_.find('\t');
  if (tab != std::string::npos) return caption_.substr(tab + 1);
  return shortCut_ ? ShortCutToText(shortCut_) : std::string();
}

// ---- actions ----

TBasicAction* TBarCustomItem::Action() const {
  return actionLink_ ? actionLink_->Action() : nullptr;
}

void TBarCustomItem::SetAction(TBasicAction* Value) {
  if (!Value) {
    actionLink_.reset();
    // the handler taken from the action belongs to the action's owner, which may be on its way out
    if (onClickFromAction_) SetOnClick(nullptr);
    return;
  }
  if (!actionLink_) actionLink_ = std::make_unique<TBarCustomItemActionLink>(this);
  actionLink_->SetAction(Value);
  actionLink_->OnChange = [this](TObject* Sender) { DoActionChange(Sender); };
  ActionChange(Value, Value->ComponentState().Contains(csLoading));
  Value->FreeNotification(this);
}

void TBarCustomItem::DoActionChange(TObject* Sender) {
  if (Sender == Action()) ActionChange(Sender, false);
}

void TBarCustomItem::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(Sender);
  if (!a) return;
  CopyActionProperties(*this, *a, CheckDefaults);
  if (!CheckDefaults || !onClick_) SetOnClickFromAction(a->OnExecute());
}

// ---- streaming and components ----

void TBarCustomItem::GetChildren(const TGetChildProc& Proc, TComponent*) {
  for (TBarCustomItem* child : items_) Proc(child);
}

void TBarCustomItem::SetChildOrder(TComponent* Child, int Order) {
  int i = IndexOf(dynamic_cast<TBarCustomItem*>(Child));
  if (i >= 0) Move(i, Order);
}

TComponent* TBarCustomItem::GetParentComponent() const {
  if (parent_ && parent_->parentComponent_) return parent_->parentComponent_;
  return parent_;
}

void TBarCustomItem::SetParentComponent(TComponent* Value) {
  if (parent_) parent_->Remove(this);
  if (auto* item = dynamic_cast<TBarCustomItem*>(Value))
    item->Add(this);
  else if (auto* container = dynamic_cast<ITBItemContainer*>(Value))
    container->GetItems()->Add(this);
}

void TBarCustomItem::Loaded() {
  TComponent::Loaded();
  if (TBasicAction* a = Action()) ActionChange(a, true);
}

void TBarCustomItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  linkParents_.erase(std::remove(linkParents_.begin(), linkParents_.end(), AComponent), linkParents_.end());
  if (AComponent == Action()) SetAction(nullptr);
  // An image list on its way out is no longer asked anything (its links already let go of it).
  if (AComponent == images_) {
    images_ = nullptr;
    Change(true);
  }
  if (AComponent == subMenuImages_) {
    subMenuImages_ = nullptr;
    Notify(tbicSubMenuImagesChanged, -1, nullptr);
  }
  if (AComponent == linkSubitems_) SetLinkSubitems(nullptr);
}

void TBarCustomItem::SetName(const std::string& NewName) {
  if (NewName == Name()) return;
  TComponent::SetName(NewName);
  if (parent_) parent_->Notify(tbicNameChanged, -1, this);
}

// ---- shortcuts ----

namespace {

// Depth-first search for the shortcut under Item; Ancestor is the child of Item through which a hit
// deeper down was found (nullptr for a direct hit).
TBarCustomItem* FindShortCut(TBarCustomItem* Item, TShortCut Key, TBarCustomItem*& Ancestor, int LinkDepth) {
  Ancestor = nullptr;
  TBarCustomItem* source = Item;
  if (Item->LinkSubitems()) {
    if (++LinkDepth > kMaxLinkDepth) return nullptr;
    source = Item->LinkSubitems();
  }
  for (int i = 0; i < source->Count(); ++i) {
    TBarCustomItem* child = source->Items(i);
    if (child->ShortCut() == Key) return child;
  }
  for (int i = 0; i < source->Count(); ++i) {
    TBarCustomItem* child = source->Items(i);
    TBarCustomItem* deeper = nullptr;
    if (TBarCustomItem* hit = FindShortCut(child, Key, deeper, LinkDepth)) {
      Ancestor = child;
      return hit;
    }
  }
  return nullptr;
}

}  // namespace

bool TBarCustomItem::IsShortCut(TMessage& Message) {
  const TShortCut key = ::ShortCut(static_cast<WORD>(Message.WParam), KeyDataToShiftState(Message.LParam));
  if (key == 0) return false;
  TBarCustomItem* ancestor = nullptr;
  if (!FindShortCut(this, key, ancestor, 0)) return false;
  const bool designing = ComponentState().Contains(csDesigning);
  for (int restart = 0; restart <= kMaxShortCutRestarts; ++restart) {
    TBarCustomItem* current = this;
    TBarCustomItem* hit = nullptr;
    bool startOver = false;
    while (!hit && !startOver) {
      if (!current->Enabled()) return false;
      TBarCustomItem* source = current->ItemsSource();
      if (!designing)
        for (int i = 0; i < source->Count(); ++i) source->Items(i)->InitiateAction();
      if (source != current) source->FirePopup(current, true);
      current->FirePopup(current, false);
      TBarCustomItem* found = FindShortCut(current, key, ancestor, 0);
      if (!found)
        startOver = true;
      else if (ancestor)
        current = ancestor;
      else
        hit = found;
    }
    if (hit) {
      if (!hit->Enabled()) return false;
      hit->Click();
      return true;
    }
    // The popup handlers changed the tree: the search starts over at the root.
    if (!FindShortCut(this, key, ancestor, 0)) return false;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Item classes

TBarSubmenuItem::TBarSubmenuItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  itemStyle_.Include(tisHasSubmenu);
}

void TBarSubmenuItem::SetDropdownCombo(bool Value) {
  if (Value == DropdownCombo()) return;
  if (Value)
    itemStyle_.Include(tisSplitButton);
  else
    itemStyle_.Exclude(tisSplitButton);
  Change(true);
}

TBarSeparatorItem::TBarSeparatorItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  itemStyle_ = (itemStyle_ - TBarItemStyle{tisSelectable, tisRepaintOnSelect, tisRepaintOnSplitPart}) +
               TBarItemStyle{tisSeparator, tisNoClick};
}

void TBarSeparatorItem::SetBlank(bool Value) {
  if (Value == blank_) return;
  blank_ = Value;
  Change(false);
}

TBarItemViewerClass TBarSeparatorItem::ViewerClassFor(TBarView*) {
  return ViewerClassOf<TBarSeparatorItemViewer>();
}

TBarControlItem::TBarControlItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  itemStyle_ = (itemStyle_ - tisSelectable) + tisNoClick;
}

TBarControlItem* TBarControlItem::CreateControlItem(TComponent* AOwner, TControl* AControl) {
  auto* item = new TBarControlItem(AOwner);
  if (AControl) AControl->FreeNotification(item);
  item->SetControl(AControl);
  return item;
}

TBarControlItem::~TBarControlItem() {
  if (control_ && !dontFreeControl_ && !control_->ComponentState().Contains(csDestroying)) {
    TControl* c = control_;
    control_ = nullptr;
    delete c;
  }
}

void TBarControlItem::SetControl(TControl* Value) {
  if (Value == control_) return;
  control_ = Value;
  if (Value) Value->FreeNotification(this);
  Change(true);
}

void TBarControlItem::Notification(TComponent* AComponent, TOperation Operation) {
  TBarCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == control_) SetControl(nullptr);
}

// ---------------------------------------------------------------------------------------------------
// TBarCustomItemActionLink

bool TBarCustomItemActionLink::IsOnExecuteLinked() {
  return TActionLink::IsOnExecuteLinked() && (Client()->OnClickIsActionExecute() || !Client()->OnClick());
}

void TBarCustomItemActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) Client()->SetOnClickFromAction(Value);
}
