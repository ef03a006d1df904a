// Actions with their visible properties, the links that keep clients in step with them, and action
// lists. An action runs through the list's OnExecute, the application's OnActionExecute, its own
// OnExecute and last the focused control and the forms, whichever handles it first; at idle time the
// application updates every action of every visible form the same way.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/gui/Windows.h"
#include "platform/rtl/Classes.h"

// A key code with the Shift (0x2000), Ctrl (0x4000) and Alt (0x8000) bits added; 0 is no shortcut.
// The named bits and the conversions to and from text live with the menus.
using TShortCut = std::uint16_t;

class TCustomActionList;
class TCustomAction;

using THintEvent = std::function<void(std::string& HintStr, bool& CanShow)>;
using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;

// An action that belongs to an action list.
class TContainedAction : public TBasicAction {
  TALVIK_CLASS(TContainedAction, TBasicAction)
  explicit TContainedAction(TComponent* AOwner);
  ~TContainedAction() override;

  TCustomActionList* ActionList() const { return actionList_; }
  void SetActionList(TCustomActionList* Value);
  const std::string& Category() const { return category_; }
  void SetCategory(const std::string& Value);
  int Index() const;  // in the list, -1 without one

  // The list, the application, OnExecute, then the focused control and the forms.
  bool Execute() override;
  bool Update() override;

 private:
  friend class TCustomActionList;
  TCustomActionList* actionList_ = nullptr;
  std::string category_;
};

class TCustomAction : public TContainedAction {
  TALVIK_CLASS(TCustomAction, TContainedAction)
  explicit TCustomAction(TComponent* AOwner);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return checked_; }
  // Checking an action of a group (GroupIndex > 0) unchecks the others of its list's group.
  void SetChecked(bool Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int Value);
  // An action whose update nobody handles gets Enabled = (OnExecute is assigned).
  bool DisableIfNoHandler() const { return disableIfNoHandler_; }
  void SetDisableIfNoHandler(bool Value) { disableIfNoHandler_ = Value; }
  // While suspended, Execute does nothing.
  bool Suspended() const { return suspended_ > 0; }
  void Suspend() { ++suspended_; }
  void Resume() {
    if (suspended_ > 0) --suspended_;
  }

  // Updates the action, then runs it only when it is enabled; a self-checking action toggles first
  // (a checked member of a group stays checked).
  bool Execute() override;
  // The action's own hint handling: OnHint may change the text or forbid the hint.
  virtual bool DoHint(std::string& HintStr);

  THintEvent OnHint;

 private:
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TShortCut shortCut_ = 0;
  int imageIndex_ = -1;
  int groupIndex_ = 0;
  bool autoCheck_ = false;
  std::string hint_;
  int helpContext_ = 0;
  bool disableIfNoHandler_ = true;
  int suspended_ = 0;
  bool checking_ = false;
};

// Takes an action's properties into a client that shows them (a menu item, a toolbar item). With
// CheckDefaults a property follows the action only while the client still holds its default.
template <class Client>
void CopyActionProperties(Client& c, const TCustomAction& a, bool CheckDefaults) {
  if (!CheckDefaults || !c.AutoCheck()) c.SetAutoCheck(a.AutoCheck());
  if (!CheckDefaults || c.Caption().empty()) c.SetCaption(a.Caption());
  if (!CheckDefaults || !c.Checked()) c.SetChecked(a.Checked());
  if (!CheckDefaults || c.Enabled()) c.SetEnabled(a.Enabled());
  if (!CheckDefaults || c.HelpContext() == 0) c.SetHelpContext(a.HelpContext());
  if (!CheckDefaults || c.Hint().empty()) c.SetHint(a.Hint());
  if (!CheckDefaults || c.ImageIndex() == -1) c.SetImageIndex(a.ImageIndex());
  if (!CheckDefaults || c.ShortCut() == 0) c.SetShortCut(a.ShortCut());
  if (!CheckDefaults || c.Visible()) c.SetVisible(a.Visible());
}

class TAction : public TCustomAction {
  TALVIK_CLASS(TAction, TCustomAction)
  using TCustomAction::TCustomAction;
};

// The link of a client to a TCustomAction. A client class derives from it and overrides the setters
// of the properties it shows; each setter is called only while its property is linked.
class TActionLink : public TBasicActionLink {
  TALVIK_CLASS(TActionLink, TBasicActionLink)
  using TBasicActionLink::TBasicActionLink;

  // The base answers: linked whenever the action is a TCustomAction.
  virtual bool IsAutoCheckLinked();
  virtual bool IsCaptionLinked();
  virtual bool IsCheckedLinked();
  virtual bool IsEnabledLinked();
  virtual bool IsGroupIndexLinked();
  virtual bool IsHelpContextLinked();
  virtual bool IsHintLinked();
  virtual bool IsImageIndexLinked();
  virtual bool IsShortCutLinked();
  virtual bool IsVisibleLinked();

  virtual void SetAutoCheck(bool /*Value*/) {}
  virtual void SetCaption(const std::string& /*Value*/) {}
  virtual void SetChecked(bool /*Value*/) {}
  virtual void SetEnabled(bool /*Value*/) {}
  virtual void SetGroupIndex(int /*Value*/) {}
  virtual void SetHelpContext(int /*Value*/) {}
  virtual void SetHint(const std::string& /*Value*/) {}
  virtual void SetImageIndex(int /*Value*/) {}
  virtual void SetShortCut(TShortCut /*Value*/) {}
  virtual void SetVisible(bool /*Value*/) {}

 protected:
  TCustomAction* CustomAction() const;
};

// The action link of a client that shows a command (a menu item, a toolbar item): a property
// follows the action only while the client still shows the action's value. TClient has the
// getters and setters of the properties the action carries.
template <class TClient>
class TCommandActionLink : public TActionLink {
 public:
  explicit TCommandActionLink(TClient* AClient) : TActionLink(AClient), client_(AClient) {}

#define TALVIK_COMMAND_LINK(Name, Type)                                          \
  bool Is##Name##Linked() override {                                             \
    TCustomAction* a = CustomAction();                                           \
    return TActionLink::Is##Name##Linked() && a && client_->Name() == a->Name(); \
  }                                                                              \
  void Set##Name(Type Value) override {                                          \
    if (Is##Name##Linked()) client_->Set##Name(Value);                           \
  }
  TALVIK_COMMAND_LINK(AutoCheck, bool)
  TALVIK_COMMAND_LINK(Caption, const std::string&)
  TALVIK_COMMAND_LINK(Checked, bool)
  TALVIK_COMMAND_LINK(Enabled, bool)
  TALVIK_COMMAND_LINK(HelpContext, int)
  TALVIK_COMMAND_LINK(Hint, const std::string&)
  TALVIK_COMMAND_LINK(ImageIndex, int)
  TALVIK_COMMAND_LINK(ShortCut, TShortCut)
  TALVIK_COMMAND_LINK(Visible, bool)
#undef TALVIK_COMMAND_LINK

 protected:
  TClient* Client() const {
    return client_;
  }

 private:
  TClient* client_;
};

class TCustomActionList : public TComponent {
  TALVIK_CLASS(TCustomActionList, TComponent)
  explicit TCustomActionList(TComponent* AOwner);
  ~TCustomActionList() override;

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int Index) const { return actions_.at(static_cast<std::size_t>(Index)); }
  // Images of the actions' ImageIndex (an image list; kept as a component here).
  TComponent* Images() const { return images_; }
  void SetImages(TComponent* Value);

  // Fire OnExecute / OnUpdate: true when the handler set Handled.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;
  // Runs the first action whose shortcut is ShortCut; true when it ran.
  virtual bool IsShortCut(TShortCut ShortCut);
  // Updates every action of the list.
  void UpdateActions();
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TActionEvent OnExecute;
  TActionEvent OnUpdate;
  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  friend class TContainedAction;
  void AddAction(TContainedAction* Action);
  void RemoveAction(TContainedAction* Action);
  std::vector<TContainedAction*> actions_;
  TComponent* images_ = nullptr;
};

class TActionList : public TCustomActionList {
  TALVIK_CLASS(TActionList, TCustomActionList)
  using TCustomActionList::TCustomActionList;
};

// The shortcut of a key message's key and the shift keys down now.
TShortCut ShortCutFromMessage(WORD Key, LPARAM KeyData);
