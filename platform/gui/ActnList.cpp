#include "platform/gui/ActnList.h"

#include <algorithm>

#include "platform/gui/Forms.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------- TContainedAction

TContainedAction::TContainedAction(TComponent* AOwner) : TBasicAction(AOwner) {}

TContainedAction::~TContainedAction() {
  SetActionList(nullptr);
}

void TContainedAction::SetActionList(TCustomActionList* Value) {
  if (Value == actionList_) return;
  if (actionList_) actionList_->RemoveAction(this);
  if (Value) Value->AddAction(this);
}

void TContainedAction::SetCategory(const std::string& Value) {
  if (Value == category_) return;
  category_ = Value;
  if (actionList_) actionList_->Change();
}

int TContainedAction::Index() const {
  if (!actionList_) return -1;
  auto& list = actionList_->actions_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

bool TContainedAction::Execute() {
  if (actionList_ && actionList_->ExecuteAction(this)) return true;
  if (Application && Application->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  return Application && Application->DispatchAction(CM_ACTIONEXECUTE, this);
}

bool TContainedAction::Update() {
  if (actionList_ && actionList_->UpdateAction(this)) return true;
  if (Application && Application->UpdateAction(this)) return true;
  if (TBasicAction::Update()) return true;
  return Application && Application->DispatchAction(CM_ACTIONUPDATE, this);
}

// ---------------------------------------------------------------- TCustomAction

TCustomAction::TCustomAction(TComponent* AOwner) : TContainedAction(AOwner) {}

namespace {

// Each setter tells the linked clients first (while they still show the old value, which is what
// makes them linked), then stores the value and announces the change.
template <typename T, typename IsLinked, typename Set>
bool Propagate(TBasicAction* action, T& field, const T& value, IsLinked isLinked, Set set) {
  if (field == value) return false;
  for (int i = 0; i < action->ClientCount(); ++i)
    if (auto* link = dynamic_cast<TActionLink*>(action->Clients(i)); link && (link->*isLinked)())
      (link->*set)(value);
  field = value;
  return true;
}

}  // namespace

#define TALVIK_ACTION_SETTER(Name, Type, field)                                                           \
  void TCustomAction::Set##Name(Type Value) {                                                             \
    if (Propagate(this, field, Value, &TActionLink::Is##Name##Linked, &TActionLink::Set##Name)) Change(); \
  }

TALVIK_ACTION_SETTER(Caption, const std::string&, caption_)
TALVIK_ACTION_SETTER(Enabled, bool, enabled_)
TALVIK_ACTION_SETTER(Visible, bool, visible_)
TALVIK_ACTION_SETTER(ShortCut, TShortCut, shortCut_)
TALVIK_ACTION_SETTER(ImageIndex, int, imageIndex_)
TALVIK_ACTION_SETTER(AutoCheck, bool, autoCheck_)
TALVIK_ACTION_SETTER(Hint, const std::string&, hint_)
TALVIK_ACTION_SETTER(HelpContext, int, helpContext_)
#undef TALVIK_ACTION_SETTER

void TCustomAction::SetChecked(bool Value) {
  if (checking_ || !Propagate(this, checked_, Value, &TActionLink::IsCheckedLinked, &TActionLink::SetChecked))
    return;
  checking_ = true;
  TScopeExit done([this] { checking_ = false; });
  if (Value && groupIndex_ > 0 && ActionList()) {
    TCustomActionList* list = ActionList();
    for (int i = 0; i < list->ActionCount(); ++i) {
      auto* other = dynamic_cast<TCustomAction*>(list->Actions(i));
      if (other && other != this && other->groupIndex_ == groupIndex_) other->SetChecked(false);
    }
  }
  Change();
}

void TCustomAction::SetGroupIndex(int Value) {
  if (!Propagate(this, groupIndex_, Value, &TActionLink::IsGroupIndexLinked, &TActionLink::SetGroupIndex))
    return;
  if (checked_ && groupIndex_ > 0 && ActionList()) {
    // Joining a group where another action is checked: the group keeps one checked action, this one.
    TCustomActionList* list = ActionList();
    for (int i = 0; i < list->ActionCount(); ++i) {
      auto* other = dynamic_cast<TCustomAction*>(list->Actions(i));
      if (other && other != this && other->groupIndex_ == groupIndex_) other->SetChecked(false);
    }
  }
  Change();
}

bool TCustomAction::Execute() {
  if (Suspended()) return false;
  Update();
  if (enabled_ && autoCheck_ && (!checked_ || groupIndex_ == 0)) SetChecked(!checked_);
  return enabled_ && TContainedAction::Execute();
}

bool TCustomAction::DoHint(std::string& HintStr) {
  bool canShow = true;
  InvokeEvent(OnHint, HintStr, canShow);
  return canShow;
}

// ---------------------------------------------------------------- TActionLink

TCustomAction* TActionLink::CustomAction() const {
  return dynamic_cast<TCustomAction*>(Action());
}

bool TActionLink::IsAutoCheckLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsCaptionLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsCheckedLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsEnabledLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsGroupIndexLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsHelpContextLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsHintLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsImageIndexLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsShortCutLinked() {
  return CustomAction() != nullptr;
}
bool TActionLink::IsVisibleLinked() {
  return CustomAction() != nullptr;
}

// ---------------------------------------------------------------- TCustomActionList

TCustomActionList::TCustomActionList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomActionList::~TCustomActionList() {
  while (!actions_.empty()) actions_.back()->SetActionList(nullptr);
  SetImages(nullptr);
}

void TCustomActionList::AddAction(TContainedAction* Action) {
  actions_.push_back(Action);
  Action->actionList_ = this;
  Change();
}

void TCustomActionList::RemoveAction(TContainedAction* Action) {
  auto it = std::find(actions_.begin(), actions_.end(), Action);
  if (it == actions_.end()) return;
  actions_.erase(it);
  Action->actionList_ = nullptr;
  if (!ComponentState().Contains(csDestroying)) Change();
}

void TCustomActionList::SetImages(TComponent* Value) {
  if (Value == images_) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = Value;
  if (images_) images_->FreeNotification(this);
  Change();
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

bool TCustomActionList::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  InvokeEvent(OnExecute, Action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  InvokeEvent(OnUpdate, Action, handled);
  return handled;
}

bool TCustomActionList::IsShortCut(TShortCut ShortCut) {
  if (ShortCut == 0) return false;
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    auto* action = dynamic_cast<TCustomAction*>(actions_[i]);
    if (action && action->ShortCut() == ShortCut) return action->HandleShortCut();
  }
  return false;
}

void TCustomActionList::UpdateActions() {
  // An update handler may add or remove actions: walk by index against the current size.
  for (std::size_t i = 0; i < actions_.size(); ++i) actions_[i]->Update();
}

void TCustomActionList::Change() {
  InvokeEvent(OnChange, this);
}

TShortCut ShortCutFromMessage(WORD Key, LPARAM KeyData) {
  constexpr TShortCut kShift = 0x2000, kCtrl = 0x4000, kAlt = 0x8000;
  TShiftState shift = KeyDataToShiftState(KeyData);
  TShortCut s = Key & 0xFF;
  if (shift.Contains(ssShift)) s |= kShift;
  if (shift.Contains(ssCtrl)) s |= kCtrl;
  if (shift.Contains(ssAlt)) s |= kAlt;
  return s;
}
