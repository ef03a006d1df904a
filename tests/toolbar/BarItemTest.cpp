#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarItem.h"
#include "toolbar/ToolbarTestSupport.h"

namespace {

using toolbartest::PrivateRegistry;

// Records every notification of the items it watches.
struct Recorder : TBarItemNotifyHandler {
  struct Entry {
    TBarItemChangedAction action;
    int index;
    TBarCustomItem* item;
  };
  std::vector<Entry> log;
  std::function<void()> onCall;
  void ItemNotification(TBarCustomItem*, bool, TBarItemChangedAction Action, int Index,
                        TBarCustomItem* Item) override {
    log.push_back({Action, Index, Item});
    if (onCall) onCall();
  }
  std::vector<TBarItemChangedAction> Actions() const {
    std::vector<TBarItemChangedAction> a;
    for (auto& e : log) a.push_back(e.action);
    return a;
  }
};

// A form-like owner of the items of one test.
class BarItemTest : public ::testing::Test {
 protected:
  TComponent owner_{nullptr};
  TBarRootItem* root_ = new TBarRootItem(&owner_);

  template <typename T = TBarItem>
  T* Make(const std::string& caption = {}) {
    T* item = new T(&owner_);
    item->SetCaption(caption);
    return item;
  }
  template <typename T = TBarItem>
  T* AddTo(TBarCustomItem* parent, const std::string& caption = {}) {
    T* item = Make<T>(caption);
    parent->Add(item);
    return item;
  }
  std::vector<std::string> Captions(TBarCustomItem* parent) {
    std::vector<std::string> c;
    for (int i = 0; i < parent->Count(); ++i) c.push_back(parent->Items(i)->Caption());
    return c;
  }
};

// ---- the tree ----

TEST_F(BarItemTest, IndexErrorsLeaveTheTreeUnchanged) {
  AddTo(root_, "a");
  AddTo(root_, "b");
  TBarItem* other = Make("c");
  TBarItem* inserted = AddTo(Make<TBarSubmenuItem>(), "x");
  const std::vector<std::string> before = Captions(root_);
  struct {
    const char* what;
    std::function<void()> op;
    const char* message;
  } cases[] = {
      {"Items(-1)", [&] { root_->Items(-1); }, "Toolbar item index out of range"},
      {"Items(Count)", [&] { root_->Items(2); }, "Toolbar item index out of range"},
      {"Insert(Count + 1)", [&] { root_->Insert(3, other); }, "Toolbar item index out of range"},
      {"Insert(-1)", [&] { root_->Insert(-1, other); }, "Toolbar item index out of range"},
      {"Delete(Count)", [&] { root_->Delete(2); }, "Toolbar item index out of range"},
      {"Move to Count", [&] { root_->Move(0, 2); }, "Toolbar item index out of range"},
      {"Move from -1", [&] { root_->Move(-1, 0); }, "Toolbar item index out of range"},
      {"Insert a child of another item", [&] { root_->Insert(0, inserted); },
       "Toolbar item already inserted"},
  };
  for (auto& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.what << " raised nothing";
    } catch (const ETBItemError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
    EXPECT_EQ(Captions(root_), before) << c.what;
    EXPECT_EQ(other->Parent(), nullptr) << c.what;
    EXPECT_NE(inserted->Parent(), root_) << c.what;
  }
  root_->Insert(2, other);  // at Count: appended
  EXPECT_EQ(Captions(root_), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(BarItemTest, NotificationsComeInOrderAndSurviveAHandlerLeavingMidWalk) {
  Recorder first, second, third;
  root_->Subscribe(&first);
  root_->Subscribe(&second);
  root_->Subscribe(&second);  // counted: one unsubscription keeps it
  root_->Subscribe(&third);
  second.onCall = [&] {
    if (second.log.back().action == tbicInserted) root_->Unsubscribe(&second);
  };
  TBarItem* a = AddTo(root_, "a");
  const std::vector<TBarItemChangedAction> insert{tbicSubitemsBeginUpdate, tbicInserted,
                                                  tbicSubitemsEndUpdate};
  EXPECT_EQ(first.Actions(), insert);
  EXPECT_EQ(second.Actions(), insert) << "still subscribed once more after leaving mid-walk";
  EXPECT_EQ(third.Actions(), insert) << "the handler after the one that left is not skipped";
  second.onCall = [&] { root_->Unsubscribe(&second); };
  first.log.clear();
  second.log.clear();
  third.log.clear();
  AddTo(root_, "b");
  EXPECT_EQ(first.Actions(), insert);
  EXPECT_EQ(second.Actions(), std::vector<TBarItemChangedAction>{tbicSubitemsBeginUpdate});
  EXPECT_EQ(third.Actions(), insert);

  first.log.clear();
  root_->Move(0, 1);
  EXPECT_EQ(first.Actions(),
            (std::vector<TBarItemChangedAction>{tbicSubitemsBeginUpdate, tbicDeleted, tbicSubitemsBeginUpdate,
                                                tbicInserted, tbicSubitemsEndUpdate, tbicSubitemsEndUpdate}));
  EXPECT_EQ(first.log[3].index, 1);
  EXPECT_EQ(first.log[3].item, a);

  first.log.clear();
  a->SetCaption("A");    // lay out again
  a->SetChecked(true);   // repaint
  a->SetImageIndex(3);   // from none to an image: lay out again
  a->SetImageIndex(4);   // another image: repaint
  a->SetEnabled(false);  // repaint
  a->SetName("itemA");   // name
  a->SetCaption("A");    // unchanged: nothing
  EXPECT_EQ(first.Actions(), (std::vector<TBarItemChangedAction>{tbicInvalidateAndResize, tbicInvalidate,
                                                                 tbicInvalidateAndResize, tbicInvalidate,
                                                                 tbicInvalidate, tbicNameChanged}));
  root_->Unsubscribe(&first);
  root_->Unsubscribe(&third);
}

TEST_F(BarItemTest, OptionsPropagateDepthFirstAndOnlyLayoutOptionsRelayout) {
  auto* menu = AddTo<TBarSubmenuItem>(root_, "menu");
  TBarItem* leaf = AddTo(menu, "leaf");
  auto* own = AddTo<TBarSubmenuItem>(menu, "own");
  TBarItem* deep = AddTo(own, "deep");
  own->SetInheritOptions(false);
  Recorder onRoot, onMenu;
  root_->Subscribe(&onRoot);
  menu->Subscribe(&onMenu);

  root_->SetOptions({tboDefault, tboImageAboveCaption});
  EXPECT_TRUE(menu->EffectiveOptions().Contains(tboImageAboveCaption));
  EXPECT_FALSE(menu->EffectiveOptions().Contains(tboDefault)) << "tboDefault is not inherited";
  EXPECT_TRUE(leaf->EffectiveOptions().Contains(tboImageAboveCaption)) << "depth first, down to the leaves";
  EXPECT_TRUE(own->EffectiveOptions().Empty()) << "an item that does not inherit keeps its own";
  EXPECT_TRUE(deep->EffectiveOptions().Empty()) << "nor do items below it";
  EXPECT_EQ(onRoot.Actions(), std::vector<TBarItemChangedAction>{tbicInvalidateAndResize});
  EXPECT_EQ(onMenu.Actions(), std::vector<TBarItemChangedAction>{tbicInvalidateAndResize});

  menu->SetMaskOptions({tboImageAboveCaption});
  EXPECT_FALSE(leaf->EffectiveOptions().Contains(tboImageAboveCaption)) << "masked below the menu";

  // The hint options change nothing visible: neither layout nor repaint.
  onRoot.log.clear();
  onMenu.log.clear();
  root_->SetOptions(root_->Options() + TBarItemOptions{tboShowHint, tboNoAutoHint, tboLongHintInMenuOnly});
  EXPECT_TRUE(leaf->EffectiveOptions().Contains(tboNoAutoHint));
  EXPECT_TRUE(onRoot.log.empty());
  EXPECT_TRUE(onMenu.log.empty());

  // tboToolbarSize is only kept with tboToolbarStyle.
  leaf->SetOptions({tboToolbarSize});
  EXPECT_FALSE(leaf->Options().Contains(tboToolbarSize));
  EXPECT_FALSE(leaf->EffectiveOptions().Contains(tboToolbarSize));
  leaf->SetOptions({tboToolbarStyle, tboToolbarSize});
  EXPECT_TRUE(leaf->EffectiveOptions().Contains(tboToolbarSize));
  root_->Unsubscribe(&onRoot);
  menu->Unsubscribe(&onMenu);
}

TEST_F(BarItemTest, RadioGroupsUncheckTheirSiblingsOnly) {
  TBarItem* a = AddTo(root_, "a");
  TBarItem* b = AddTo(root_, "b");
  TBarItem* c = AddTo(root_, "c");
  TBarItem* zero1 = AddTo(root_, "z1");
  TBarItem* zero2 = AddTo(root_, "z2");
  for (TBarItem* i : {a, b, c}) i->SetGroupIndex(3);
  zero1->SetChecked(true);
  zero2->SetChecked(true);
  EXPECT_TRUE(zero1->Checked()) << "group 0 is no group";
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(zero1->Checked());
  EXPECT_TRUE(zero2->Checked());
  // Moving a checked item into the group unchecks the others there.
  zero1->SetGroupIndex(3);
  EXPECT_FALSE(b->Checked());
  EXPECT_TRUE(zero1->Checked());
}

TEST_F(BarItemTest, LinkSubitemsToItselfIsNone) {
  auto* menu = AddTo<TBarSubmenuItem>(root_, "menu");
  Recorder r;
  menu->Subscribe(&r);
  menu->SetLinkSubitems(menu);
  EXPECT_EQ(menu->LinkSubitems(), nullptr);
  EXPECT_TRUE(r.log.empty());
  auto* shared = Make<TBarSubmenuItem>("shared");
  menu->SetLinkSubitems(shared);
  EXPECT_EQ(menu->ItemsSource(), shared);
  EXPECT_EQ(r.Actions(), std::vector<TBarItemChangedAction>{tbicSubitemsChanged});
  delete shared;  // the link goes with it
  EXPECT_EQ(menu->LinkSubitems(), nullptr);
  menu->Unsubscribe(&r);
}

// ---- actions ----

TEST_F(BarItemTest, ActionPropertiesCopyAllOrOnlyDefaults) {
  TAction action(&owner_);
  action.SetCaption("&Открыть");
  action.SetHint("Открыть файл");
  action.SetImageIndex(5);
  action.SetShortCut(scCtrl | 'O');
  action.SetEnabled(false);
  action.SetOnExecute([](TObject*) {});

  TBarItem* all = AddTo(root_, "mine");
  all->SetAction(&action);
  EXPECT_EQ(all->Caption(), "&Открыть");
  EXPECT_EQ(all->ImageIndex(), 5);
  EXPECT_EQ(all->ShortCut(), scCtrl | 'O');
  EXPECT_FALSE(all->Enabled());
  EXPECT_TRUE(all->OnClickIsActionExecute());

  // While the action is loading only the item's defaults are replaced.
  TBarItem* defaults = AddTo(root_, "mine");
  defaults->SetImageIndex(2);
  int clicks = 0;
  defaults->SetOnClick([&](TObject*) { ++clicks; });
  action.IncludeComponentState(csLoading);
  defaults->SetAction(&action);
  action.ExcludeComponentState(csLoading);
  EXPECT_EQ(defaults->Caption(), "mine");
  EXPECT_EQ(defaults->ImageIndex(), 2);
  EXPECT_EQ(defaults->Hint(), "Открыть файл") << "an empty hint is a default";
  EXPECT_FALSE(defaults->Enabled()) << "enabled is the default";
  EXPECT_FALSE(defaults->OnClickIsActionExecute()) << "an own OnClick stays";

  // A property is linked only while the item still shows the action's value.
  auto* link = all->ActionLink();
  EXPECT_TRUE(link->IsCaptionLinked());
  EXPECT_TRUE(link->IsImageIndexLinked());
  all->SetImageIndex(7);
  EXPECT_FALSE(link->IsImageIndexLinked());
  EXPECT_TRUE(link->IsOnExecuteLinked());
  all->SetOnClick([](TObject*) {});
  EXPECT_FALSE(link->IsOnExecuteLinked());
  action.SetCaption("&Закрыть");
  EXPECT_EQ(all->Caption(), "&Закрыть") << "a linked caption follows the action";

  // GroupIndex is never linked; an action that goes clears Action.
  all->SetGroupIndex(4);
  EXPECT_EQ(action.GroupIndex(), 0);
  TBarItem* gone = AddTo(root_, "gone");
  {
    TAction temporary(&owner_);
    gone->SetAction(&temporary);
  }
  EXPECT_EQ(gone->Action(), nullptr);
}

// The OnClick an item took from its action belongs to the action's owner: once the item lets go of
// the action (set to none, or the action freed with its form), a click or shortcut runs none of it.
TEST_F(BarItemTest, AnItemThatLetsGoOfItsActionRunsNoneOfItsHandler) {
  int executed = 0, own = 0;
  TAction action(&owner_);
  action.SetShortCut(scCtrl | 'K');
  action.SetOnExecute([&](TObject*) { ++executed; });

  TBarItem* unset = AddTo(root_, "unset");
  unset->SetAction(&action);
  unset->SetAction(nullptr);
  unset->Click();
  EXPECT_EQ(executed, 0) << "an item set to no action";
  EXPECT_FALSE(unset->OnClick());

  TBarItem* freed = AddTo(root_, "freed");
  {
    TAction temporary(&owner_);
    temporary.SetOnExecute([&](TObject*) { ++executed; });
    freed->SetAction(&temporary);
  }
  freed->Click();
  EXPECT_EQ(executed, 0) << "an item whose action was freed";

  TBarItem* mine = AddTo(root_, "mine");
  mine->SetOnClick([&](TObject*) { ++own; });
  action.IncludeComponentState(csLoading);  // defaults only: the own OnClick is kept
  mine->SetAction(&action);
  action.ExcludeComponentState(csLoading);
  mine->SetAction(nullptr);
  mine->Click();
  EXPECT_EQ(own, 1) << "an item's own OnClick stays when the action goes";
  EXPECT_EQ(executed, 0);
}

TEST_F(BarItemTest, ClickPrecedenceAndAutoCheck) {
  std::vector<std::string> calls;
  TAction action(&owner_);
  action.SetOnExecute([&](TObject*) {
    calls.push_back("execute by " + (action.ActionComponent() ? action.ActionComponent()->Name() : "none"));
  });

  TBarItem* linked = AddTo(root_, "linked");
  linked->SetName("linked");
  linked->SetAction(&action);
  linked->Click();
  EXPECT_EQ(calls, std::vector<std::string>{"execute by linked"})
      << "the action runs with the item as component";

  calls.clear();
  linked->SetOnClick([&](TObject*) { calls.push_back("own"); });
  linked->Click();
  EXPECT_EQ(calls, std::vector<std::string>{"own"}) << "an own OnClick wins, and nothing else runs";

  calls.clear();
  TBarItem* plain = AddTo(root_, "plain");
  plain->SetOnClick([&](TObject*) { calls.push_back("plain"); });
  plain->SetAutoCheck(true);
  plain->Click();
  EXPECT_TRUE(plain->Checked());
  plain->Click();
  EXPECT_FALSE(plain->Checked());
  EXPECT_EQ(calls.size(), 2u);

  calls.clear();
  plain->SetEnabled(false);
  plain->Click();
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(plain->Checked()) << "a disabled item does not even check itself";

  // An action whose auto-check is linked checks itself; the item does not toggle on its own.
  TAction checking(&owner_);
  checking.SetAutoCheck(true);
  checking.SetOnExecute([](TObject*) {});
  TBarItem* viaAction = AddTo(root_, "viaAction");
  viaAction->SetAction(&checking);
  viaAction->Click();
  EXPECT_TRUE(checking.Checked());
  EXPECT_TRUE(viaAction->Checked()) << "once, through the action";
}

// ---- shortcuts ----

TMessage KeyMessage(WORD key) {
  TMessage m;
  m.Msg = WM_KEYDOWN;
  m.WParam = key;
  return m;
}

TEST_F(BarItemTest, ShortCutsAreFoundThroughLinksAndStopAtDisabledSubmenus) {
  std::vector<std::string> log;
  auto* file = AddTo<TBarSubmenuItem>(root_, "file");
  auto* shared = Make<TBarSubmenuItem>("shared");
  TBarItem* save = AddTo(shared, "save");
  save->SetShortCut(VK_F2);
  save->SetOnClick([&](TObject*) { log.push_back("save"); });
  file->SetLinkSubitems(shared);
  file->OnPopup = [&](TBarCustomItem*, bool fromLink) {
    log.push_back(fromLink ? "file popup (link)" : "file popup");
  };
  shared->OnPopup = [&](TBarCustomItem*, bool fromLink) {
    log.push_back(fromLink ? "shared popup (link)" : "shared popup");
  };
  TMessage f2 = KeyMessage(VK_F2);
  EXPECT_TRUE(root_->IsShortCut(f2));
  EXPECT_EQ(log, (std::vector<std::string>{"shared popup (link)", "file popup", "save"}));

  log.clear();
  file->SetEnabled(false);
  EXPECT_FALSE(root_->IsShortCut(f2)) << "under a disabled submenu nothing runs";
  EXPECT_EQ(std::count(log.begin(), log.end(), "save"), 0);

  file->SetEnabled(true);
  save->SetEnabled(false);
  EXPECT_FALSE(root_->IsShortCut(f2)) << "a disabled hit answers False";
  TMessage f3 = KeyMessage(VK_F3);
  EXPECT_FALSE(root_->IsShortCut(f3));
  delete shared;
}

TEST_F(BarItemTest, ShortCutSearchHasLimits) {
  // 30 items each linking to the next: the search gives up beyond 25 links.
  std::vector<TBarSubmenuItem*> chain;
  for (int i = 0; i < 30; ++i) chain.push_back(Make<TBarSubmenuItem>("link" + std::to_string(i)));
  for (int i = 0; i + 1 < 30; ++i)
    AddTo<TBarSubmenuItem>(chain[static_cast<size_t>(i)], "step")
        ->SetLinkSubitems(chain[static_cast<size_t>(i + 1)]);
  int clicks = 0;
  TBarItem* far = AddTo(chain.back(), "far");
  far->SetShortCut(VK_F5);
  far->SetOnClick([&](TObject*) { ++clicks; });
  root_->Add(Make<TBarSubmenuItem>("entry"));
  static_cast<TBarSubmenuItem*>(root_->Items(0))->SetLinkSubitems(chain[0]);
  TMessage f5 = KeyMessage(VK_F5);
  EXPECT_FALSE(root_->IsShortCut(f5));
  EXPECT_EQ(clicks, 0);

  // Two submenus that hand the shortcut to each other when opened would restart the walk forever.
  auto* first = AddTo<TBarSubmenuItem>(root_, "first");
  auto* second = AddTo<TBarSubmenuItem>(root_, "second");
  TBarItem* target = AddTo(first, "target");
  target->SetShortCut(VK_F6);
  int popups = 0;
  auto handOver = [&](TBarSubmenuItem* to) {
    return [&, to](TBarCustomItem*, bool) {
      ++popups;
      target->Parent()->Remove(target);
      to->Add(target);
    };
  };
  first->OnPopup = handOver(second);
  second->OnPopup = handOver(first);
  TMessage f6 = KeyMessage(VK_F6);
  EXPECT_FALSE(root_->IsShortCut(f6));
  EXPECT_GE(popups, 20);
  EXPECT_LE(popups, 30) << "the walk starts over a limited number of times";
  for (auto* c : chain) delete c;
}

// ---- submenus and deferred clicks ----

TEST_F(BarItemTest, OpeningASubmenuFiresOnPopupThenClicksUnlessSplit) {
  std::vector<std::string> log;
  auto* menu = AddTo<TBarSubmenuItem>(root_, "menu");
  menu->OnPopup = [&](TBarCustomItem*, bool) { log.push_back("popup"); };
  menu->SetOnClick([&](TObject*) { log.push_back("click"); });
  menu->FirePopup(menu, false);
  EXPECT_EQ(log, (std::vector<std::string>{"popup", "click"}));
  log.clear();
  menu->SetDropdownCombo(true);
  menu->FirePopup(menu, false);
  EXPECT_EQ(log, std::vector<std::string>{"popup"});
}

TEST_F(BarItemTest, DeferredClicksSkipDestroyedItemsReuseSlotsAndTrimTheQueue) {
  std::vector<std::string> clicks;
  TBarItem* a = AddTo(root_, "a");
  TBarItem* b = AddTo(root_, "b");
  TBarItem* c = AddTo(root_, "c");
  for (TBarItem* i : {a, b, c}) i->SetOnClick([&clicks, i](TObject*) { clicks.push_back(i->Caption()); });
  QueueClick(a);
  QueueClick(b);
  QueueClick(c);
  ASSERT_NE(DeferredClickWindow(), nullptr);
  EXPECT_EQ(DeferredClickQueueSize(), 3);
  delete b;  // destroyed before its message arrives
  talvik::gui::ProcessPending();
  EXPECT_EQ(clicks, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(DeferredClickQueueSize(), 0) << "trailing empty slots are removed";

  // Slots are reused: an empty slot before a busy one takes the next click.
  QueueClick(a);
  QueueClick(c);
  MSG msg;
  ASSERT_TRUE(
      PeekMessage(msg, DeferredClickWindow(), WM_BAR_DEFERRED_CLICK, WM_BAR_DEFERRED_CLICK, PM_REMOVE));
  DispatchMessage(msg);  // slot 0 delivered, slot 1 still queued
  EXPECT_EQ(DeferredClickQueueSize(), 2);
  QueueClick(a);
  EXPECT_EQ(DeferredClickQueueSize(), 2) << "the empty first slot was reused";
  talvik::gui::ProcessPending();
  EXPECT_EQ(clicks, (std::vector<std::string>{"a", "c", "a", "c", "a"}));
  EXPECT_EQ(DeferredClickQueueSize(), 0);

  // A message with a slot outside the queue does nothing.
  SendMessage(DeferredClickWindow(), WM_BAR_DEFERRED_CLICK, 0, 7);
  EXPECT_EQ(clicks.size(), 5u);
}

TEST_F(BarItemTest, TheCommandSoundPlaysOnlyForCommandsFromPopups) {
  PrivateRegistry registry;
  PrivateRegistry::Put("AppEvents\\Schemes\\Apps\\.Default\\MenuCommand\\.Current", "", REG_SZ, "click.wav");
  std::vector<std::string> sounds;
  talvik::gui::SetSoundSink([&](const std::string& alias, DWORD flags) {
    sounds.push_back(alias);
    EXPECT_EQ(flags, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
  });
  int clicks = 0;
  TBarItem* item = AddTo(root_, "item");
  item->SetOnClick([&](TObject*) { ++clicks; });
  TBarDoneActionData d;
  d.DoneAction = tbdaClickItem;
  d.ClickItem = item;
  d.Sound = false;
  DoneActionData(d);
  EXPECT_TRUE(sounds.empty());
  d.Sound = true;
  DoneActionData(d);
  EXPECT_EQ(sounds, std::vector<std::string>{"MenuCommand"});
  EXPECT_EQ(clicks, 0) << "the click waits until the menu loop has ended";
  talvik::gui::ProcessPending();
  EXPECT_EQ(clicks, 2);
  talvik::gui::SetSoundSink(nullptr);
}

}  // namespace
