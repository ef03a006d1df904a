// Actions, their links to controls, action lists, the execute route, idle updates and shortcuts.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::ShiftKeys;

namespace {

// A focusable control that takes actions of one name as their target.
class TTarget : public TCustomControl {
 public:
  explicit TTarget(TComponent* owner, std::vector<std::string>* log) : TCustomControl(owner), log_(log) {
    SetTabStop(true);
    SetBounds(0, 0, 60, 20);
  }
  std::string takes;  // the name of the action this control handles
  bool ExecuteAction(TBasicAction* Action) override {
    if (Action->Name() != takes) return false;
    log_->push_back(Name() + ".execute");
    return true;
  }
  bool UpdateAction(TBasicAction* Action) override {
    if (Action->Name() != takes) return false;
    log_->push_back(Name() + ".update");
    return true;
  }

 private:
  std::vector<std::string>* log_;
};

class Actions : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
  }
  void TearDown() override {
    Application->OnActionExecute = nullptr;
    Application->OnActionUpdate = nullptr;
    Application->SetMainForm(nullptr);
    GuiTest::TearDown();
  }
  TAction* NewAction(TComponent* owner, TActionList* list, const std::string& name) {
    auto* a = new TAction(owner);
    a->SetName(name);
    a->SetActionList(list);
    return a;
  }
  std::vector<std::string> log;
};

}  // namespace

TEST_F(Actions, AControlFollowsItsActionOnlyWhileItShowsTheActionsValue) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  TAction* a = NewAction(&form, list, "aRefresh");
  a->SetCaption("Обновить");
  a->SetHint("Обновить список");
  auto* c = new TTarget(&form, &log);
  c->SetParent(&form);
  c->SetAction(a);
  EXPECT_EQ(c->Caption(), "Обновить");
  EXPECT_EQ(c->Hint(), "Обновить список");
  EXPECT_TRUE(c->ControlStyle().Contains(csActionClient));

  a->SetEnabled(false);
  EXPECT_FALSE(c->Enabled());
  c->SetCaption("Мой");  // the control goes its own way for the caption only
  a->SetCaption("Другое");
  a->SetEnabled(true);
  EXPECT_TRUE(c->Enabled());
  // the change handler copies everything again from the control's own action
  EXPECT_EQ(c->Caption(), "Другое");

  // a click runs the action; a handler of the control's own wins
  int runs = 0;
  a->SetOnExecute([&](TObject* s) {
    EXPECT_EQ(s, a);
    EXPECT_EQ(a->ActionComponent(), c);
    ++runs;
  });
  c->Click();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(a->ActionComponent(), nullptr);
  bool own = false;
  c->OnClick = [&](TObject*) { own = true; };
  c->Click();
  EXPECT_TRUE(own);
  EXPECT_EQ(runs, 1);

  // the action goes away before its client: the client forgets it
  delete a;
  EXPECT_EQ(c->Action(), nullptr);
  EXPECT_EQ(list->ActionCount(), 0);
  c->OnClick = nullptr;
  c->Click();  // nothing to run, nothing dangling
}

TEST_F(Actions, LoadingCopiesOnlyIntoDefaultsAndTheListForgetsFreedActions) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  TAction* a = NewAction(&form, list, "aKill");
  a->SetCaption("Снять");
  a->SetEnabled(false);
  a->IncludeComponentState(csLoading);
  auto* c = new TTarget(&form, &log);
  c->SetCaption("Своё");
  c->SetAction(a);
  EXPECT_EQ(c->Caption(), "Своё");  // not a default: kept
  EXPECT_FALSE(c->Enabled());       // the default (true) took the action's value
  a->ExcludeComponentState(csLoading);
  TAction* b = NewAction(&form, list, "aTrace");
  EXPECT_EQ(b->Index(), 1);
  delete list;
  EXPECT_EQ(a->ActionList(), nullptr);
  EXPECT_EQ(b->Index(), -1);
}

TEST_F(Actions, AutoCheckTogglesAndAGroupKeepsOneChecked) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  TAction* user = NewAction(&form, list, "aUserSession");
  TAction* sys = NewAction(&form, list, "aSystemSession");
  TAction* sound = NewAction(&form, list, "aSound");
  for (TAction* a : {user, sys, sound}) {
    a->SetAutoCheck(true);
    a->SetOnExecute([](TObject*) {});
  }
  user->SetGroupIndex(1);
  sys->SetGroupIndex(1);

  EXPECT_TRUE(user->Execute());
  EXPECT_TRUE(user->Checked());
  EXPECT_TRUE(sys->Execute());
  EXPECT_TRUE(sys->Checked());
  EXPECT_FALSE(user->Checked());
  EXPECT_TRUE(sys->Execute());  // the checked member of a group stays checked
  EXPECT_TRUE(sys->Checked());

  EXPECT_TRUE(sound->Execute());  // outside a group: a toggle
  EXPECT_TRUE(sound->Checked());
  EXPECT_TRUE(sound->Execute());
  EXPECT_FALSE(sound->Checked());

  // a disabled action neither toggles nor runs; nor does a suspended one
  sound->SetEnabled(false);
  sound->OnUpdate = [](TObject*) {};  // keeps the idle route from re-enabling it
  EXPECT_FALSE(sound->Execute());
  EXPECT_FALSE(sound->Checked());
  sound->SetEnabled(true);
  sound->Suspend();
  EXPECT_FALSE(sound->Execute());
  sound->Resume();

  // joining a group with a checked action unchecks the one checked before
  sound->SetChecked(true);
  sound->SetGroupIndex(1);
  EXPECT_TRUE(sound->Checked());
  EXPECT_FALSE(sys->Checked());
}

TEST_F(Actions, ExecuteGoesListApplicationActionFocusedControlFormInTurn) {
  TForm main(nullptr);
  main.SetBounds(0, 0, 300, 200);
  Application->SetMainForm(&main);
  auto* mainTarget = new TTarget(&main, &log);
  mainTarget->SetName("mainTarget");
  mainTarget->SetParent(&main);
  TForm form(nullptr);
  form.SetBounds(320, 0, 300, 200);
  auto* list = new TActionList(&form);
  TAction* a = NewAction(&form, list, "aCopy");
  auto* focused = new TTarget(&form, &log);
  focused->SetName("focused");
  focused->SetParent(&form);
  auto* other = new TTarget(&form, &log);
  other->SetName("other");
  other->SetParent(&form);
  other->SetLeft(70);
  main.Show();
  form.Show();
  focused->SetFocus();
  Application->ProcessMessages();
  ASSERT_EQ(Screen->ActiveControl(), focused);

  bool listTakes = true, appTakes = true;
  list->OnExecute = [&](TBasicAction* act, bool& handled) {
    EXPECT_EQ(act, a);
    log.push_back("list");
    handled = listTakes;
  };
  Application->OnActionExecute = [&](TBasicAction*, bool& handled) {
    log.push_back("app");
    handled = appTakes;
  };
  a->SetOnExecute([&](TObject*) { log.push_back("action"); });
  // what ran (Execute updates the action first: those steps are left out)
  auto run = [&] {
    log.clear();
    bool r = a->Execute();
    std::vector<std::string> ran;
    for (auto& s : log)
      if (!s.ends_with(".update")) ran.push_back(s);
    return std::make_pair(r, ran);
  };
  using L = std::vector<std::string>;
  EXPECT_EQ(run(), std::make_pair(true, L{"list"}));
  listTakes = false;
  EXPECT_EQ(run(), std::make_pair(true, L{"list", "app"}));
  appTakes = false;
  EXPECT_EQ(run(), std::make_pair(true, L{"list", "app", "action"}));
  a->SetOnExecute(nullptr);
  focused->takes = "aCopy";
  EXPECT_EQ(run(), std::make_pair(true, L{"list", "app", "focused.execute"}));
  // not the focused control: the form offers it to its controls
  focused->takes.clear();
  other->takes = "aCopy";
  EXPECT_EQ(run(), std::make_pair(true, L{"list", "app", "other.execute"}));
  // nobody on the active form: the main form
  other->takes.clear();
  mainTarget->takes = "aCopy";
  EXPECT_EQ(run(), std::make_pair(true, L{"list", "app", "mainTarget.execute"}));
  // nobody at all: the update greys the action, and a grey action does not run
  mainTarget->takes.clear();
  EXPECT_EQ(run(), std::make_pair(false, L{}));
  EXPECT_FALSE(a->Enabled());
}

TEST_F(Actions, IdleUpdatesTheActionsOfVisibleEnabledFormsOnly) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  TAction* withUpdate = NewAction(&form, list, "aRefresh");
  TAction* runsOnly = NewAction(&form, list, "aKill");
  TAction* nothing = NewAction(&form, list, "aNothing");
  TAction* targeted = NewAction(&form, list, "aCopy");
  int updates = 0;
  withUpdate->OnUpdate = [&](TObject*) { ++updates; };
  runsOnly->SetOnExecute([](TObject*) {});
  auto* t = new TTarget(&form, &log);
  t->SetName("t");
  t->SetParent(&form);
  t->takes = "aCopy";
  TForm hidden(nullptr);
  auto* hiddenList = new TActionList(&hidden);
  TAction* hiddenAction = NewAction(&hidden, hiddenList, "aHidden");
  int hiddenUpdates = 0;
  hiddenAction->OnUpdate = [&](TObject*) { ++hiddenUpdates; };

  form.Show();
  Application->DoActionIdle();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(hiddenUpdates, 0);
  EXPECT_TRUE(runsOnly->Enabled());  // no update handler, but it can run
  EXPECT_FALSE(nothing->Enabled());  // nothing can run it: greyed
  EXPECT_EQ(log, std::vector<std::string>{"t.update"});
  EXPECT_TRUE(targeted->Enabled());

  // the list's update handler may take every update
  list->OnUpdate = [](TBasicAction*, bool& handled) { handled = true; };
  Application->DoActionIdle();
  EXPECT_EQ(updates, 1);
  list->OnUpdate = nullptr;

  // a client of an action on another, hidden form updates that action through the client
  auto* client = new TTarget(&form, &log);
  client->SetParent(&form);
  client->SetAction(hiddenAction);
  Application->DoActionIdle();
  EXPECT_EQ(hiddenUpdates, 1);
  EXPECT_EQ(updates, 2);

  // a form under a modal dialog is not updated
  EnableWindow(form.Handle(), false);
  Application->DoActionIdle();
  EXPECT_EQ(updates, 2);
}

TEST_F(Actions, AShortcutRunsItsActionOnceFromTheChildFormFirst) {
  TForm main(nullptr);
  main.SetFormStyle(fsMDIForm);
  main.SetBounds(0, 0, 500, 400);
  Application->SetMainForm(&main);
  auto* mainList = new TActionList(&main);
  TAction* mainRefresh = NewAction(&main, mainList, "aMainRefresh");
  TAction* exitAction = NewAction(&main, mainList, "aExit");
  auto* child = new TForm(&main);
  child->SetFormStyle(fsMDIChild);
  auto* childList = new TActionList(child);
  TAction* refresh = NewAction(child, childList, "aRefresh");
  auto* t = new TTarget(child, &log);
  t->SetParent(child);
  main.Show();
  child->Show();
  t->SetFocus();
  Application->ProcessMessages();
  ASSERT_TRUE(t->Focused());

  int childRuns = 0, mainRuns = 0, exits = 0;
  refresh->SetShortCut(VK_F5);
  refresh->SetOnExecute([&](TObject*) { ++childRuns; });
  mainRefresh->SetShortCut(VK_F5);
  mainRefresh->SetOnExecute([&](TObject*) { ++mainRuns; });
  exitAction->SetShortCut(0x8000 | 'X');  // Alt+X
  exitAction->SetOnExecute([&](TObject*) { ++exits; });
  std::vector<char32_t> chars;
  t->OnKeyPress = [&](TObject*, char32_t& k) { chars.push_back(k); };

  InjectKey(VK_F5, true, 0, {});
  InjectKey(VK_F5, false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(childRuns, 1);
  EXPECT_EQ(mainRuns, 0);

  // the child's action is disabled: the key goes on to the main form's
  refresh->SetEnabled(false);
  refresh->OnUpdate = [](TObject*) {};
  InjectKey(VK_F5, true, 0, {});
  InjectKey(VK_F5, false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(childRuns, 1);
  EXPECT_EQ(mainRuns, 1);

  // Alt+X reaches the main form's list and types nothing
  guitest::TypeKey('X', U'x', ShiftKeys{false, false, true});
  Application->ProcessMessages();
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(chars.empty());
  // Ctrl+X is another shortcut: no action has it, so the control gets it
  guitest::TypeKey('X', 24, ShiftKeys{false, true, false});
  Application->ProcessMessages();
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(chars, std::vector<char32_t>{24});
}

TEST_F(Actions, TheActionsHintHandlerMayRewriteOrForbidTheHint) {
  TAction a(nullptr);
  std::string hint = "Снять сеанс";
  EXPECT_TRUE(a.DoHint(hint));
  a.OnHint = [](std::string& s, bool& show) {
    s += " (F8)";
    show = s.size() < 40;
  };
  EXPECT_TRUE(a.DoHint(hint));
  EXPECT_EQ(hint, "Снять сеанс (F8)");
  hint = std::string(50, 'x');
  EXPECT_FALSE(a.DoHint(hint));
}
