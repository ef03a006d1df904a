// The accessibility objects of views and viewers, asked as a client would, and the events of a menu.
#include <gtest/gtest.h>

#include "toolbar/BarAccessibility.h"
#include "toolbar/BarMenuTestSupport.h"

namespace {

using toolbartest::BarMenuTest;

class BarAccessibility : public BarMenuTest {
 protected:
  void SetUp() override {
    BarMenuTest::SetUp();
    file = Add<TBarSubmenuItem>(root_, "&Файл");
    open = Command(file, "&Открыть\tCtrl+O");
    save = Command(file, "Сохранить");
    save->SetChecked(true);
    paste = Command(file, "Вставить");
    paste->SetEnabled(false);
    refresh = Command(root_, "Обновить");
    ShowHost();
    Application->ProcessMessages();
  }
  TBarItemViewer* Viewer(TBarView* View, TBarCustomItem* Item) { return View->Find(Item); }
  // Opens Файл's popup outside any loop.
  TBarView* OpenFile() {
    View()->SelectViewer(Viewer(View(), file));
    View()->ShowChildPopup(false);
    return View()->OpenView();
  }
  TBarSubmenuItem* file = nullptr;
  TBarItem *open = nullptr, *save = nullptr, *paste = nullptr, *refresh = nullptr;
};

TEST_F(BarAccessibility, ViewObjectAnswers) {
  auto bar = View()->GetAccObject();
  EXPECT_EQ(View()->GetAccObject(), bar) << "one object while it is held";
  int count = 0;
  EXPECT_EQ(bar->get_accChildCount(count), S_OK);
  EXPECT_EQ(count, 2);
  struct ChildCase {
    TAccChild child;
    HRESULT result;
  };
  for (const ChildCase& c : {ChildCase{{0, true}, S_OK}, ChildCase{{1, true}, S_OK},
                             ChildCase{{2, true}, S_OK}, ChildCase{{3, true}, E_INVALIDARG},
                             ChildCase{{-1, true}, E_INVALIDARG}, ChildCase{{0, false}, E_INVALIDARG}}) {
    TAccObjectRef object;
    EXPECT_EQ(bar->get_accChild(c.child, object), c.result) << c.child.Id << " " << c.child.IsInteger;
  }
  TAccObjectRef first;
  bar->get_accChild({1, true}, first);
  EXPECT_EQ(first, Viewer(View(), file)->GetAccObject());

  int role = 0;
  bar->get_accRole({}, role);
  EXPECT_EQ(role, ROLE_SYSTEM_TOOLBAR);
  View()->SetStyle(View()->Style() + vsMenuBar);
  bar->get_accRole({}, role);
  EXPECT_EQ(role, ROLE_SYSTEM_MENUBAR);
  std::string text;
  EXPECT_EQ(bar->get_accKeyboardShortcut({}, text), S_OK);
  EXPECT_EQ(text, "Alt");
  bar->get_accRole({2, true}, role);
  EXPECT_EQ(role, 12) << "a child's question goes to the child: a menu item on a menu bar";

  TRect where;
  EXPECT_EQ(bar->accLocation(where, {}), S_OK);
  RECT window;
  GetWindowRect(host_->Handle(), window);
  EXPECT_EQ(where, Rect(window.Left, window.Top, window.Width(), window.Height()));

  TAccResult hit;
  const TPoint onFile = Centre(View(), file);
  EXPECT_EQ(bar->accHitTest(onFile.X, onFile.Y, hit), S_OK);
  EXPECT_EQ(hit.Object, Viewer(View(), file)->GetAccObject());
  EXPECT_EQ(bar->accHitTest(window.Right - 2, window.Top + 2, hit), S_OK);
  EXPECT_EQ(hit.Object, nullptr) << "the view itself";
  EXPECT_EQ(bar->accHitTest(5, 5, hit), S_FALSE);

  TAccResult nav;
  EXPECT_EQ(bar->accNavigate(NAVDIR_LASTCHILD, {}, nav), S_OK);
  EXPECT_EQ(nav.Object, Viewer(View(), refresh)->GetAccObject());
  EXPECT_EQ(bar->accNavigate(NAVDIR_NEXT, {}, nav), S_FALSE);
  EXPECT_EQ(bar->accSelect(SELFLAG_TAKEFOCUS, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(bar->get_accValue({}, text), S_FALSE);
  EXPECT_EQ(bar->get_accDefaultAction({}, text), S_FALSE);
  // a bar that no view opened hangs under its window's object
  TAccObjectRef parent, windowObject;
  EXPECT_EQ(bar->get_accParent(parent), S_OK);
  ASSERT_EQ(AccessibleObjectFromWindow(host_->Handle(), OBJID_WINDOW, windowObject), S_OK);
  EXPECT_EQ(parent, windowObject);
  parent->get_accRole({}, role);
  EXPECT_EQ(role, ROLE_SYSTEM_WINDOW);
  EXPECT_EQ(bar->Invoke(), E_NOTIMPL);
}

TEST_F(BarAccessibility, APopupIsNamedAfterItsItemAndHangsUnderIt) {
  TBarView* popup = OpenFile();
  ASSERT_TRUE(popup);
  auto object = popup->GetAccObject();
  std::string name;
  object->get_accName({}, name);
  EXPECT_EQ(name, "Файл");
  int role = 0;
  object->get_accRole({}, role);
  EXPECT_EQ(role, ROLE_SYSTEM_MENUPOPUP);
  TAccObjectRef parent;
  EXPECT_EQ(object->get_accParent(parent), S_OK);
  EXPECT_EQ(parent, Viewer(View(), file)->GetAccObject());
  // the opener has the popup as its one child
  auto opener = Viewer(View(), file)->GetAccObject();
  int count = 0;
  opener->get_accChildCount(count);
  EXPECT_EQ(count, 1);
  TAccObjectRef child;
  EXPECT_EQ(opener->get_accChild({1, true}, child), S_OK);
  EXPECT_EQ(child, object);
  EXPECT_EQ(opener->get_accChild({2, true}, child), E_INVALIDARG);
}

TEST_F(BarAccessibility, ViewerObjectAnswersInTheMenuLoop) {
  struct Case {
    const char* name;
    bool inPopup;
    TBarCustomItem* item;
    std::string accName;
    std::string shortcut;  // "" for S_FALSE
    unsigned state;
    std::string action;  // "" for S_FALSE
  };
  const unsigned usable = STATE_SYSTEM_FOCUSABLE, hot = STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_FOCUSED;
  const Case cases[] = {
      {"the opener", false, file, "Файл", "Alt+ф", hot | STATE_SYSTEM_HASPOPUP | usable, "Close"},
      {"a button", false, refresh, "Обновить", "", usable, "Press"},
      {"a selected menu line with shortcut text", true, open, "Открыть\tCtrl+O", "о", hot | usable,
       "Execute"},
      {"checked", true, save, "Сохранить", "", STATE_SYSTEM_CHECKED | usable, "Execute"},
      {"disabled", true, paste, "Вставить", "", STATE_SYSTEM_UNAVAILABLE | usable, ""},
  };
  bool looked = false;
  Drive({[] { Key(VK_DOWN); },
         [&] {
           looked = true;
           TBarView* popup = View()->OpenView();
           ASSERT_TRUE(popup);
           for (const Case& c : cases) {
             SCOPED_TRACE(c.name);
             auto object = Viewer(c.inPopup ? popup : View(), c.item)->GetAccObject();
             std::string text;
             object->get_accName({}, text);
             EXPECT_EQ(text, c.accName);
             EXPECT_EQ(object->get_accKeyboardShortcut({}, text), c.shortcut.empty() ? S_FALSE : S_OK);
             EXPECT_EQ(text, c.shortcut);
             unsigned state = 0;
             object->get_accState({}, state);
             EXPECT_EQ(state, c.state);
             EXPECT_EQ(object->get_accDefaultAction({}, text), c.action.empty() ? S_FALSE : S_OK);
             EXPECT_EQ(text, c.action);
             EXPECT_EQ(object->get_accName({1, true}, text), E_INVALIDARG);
           }
           auto first = Viewer(popup, open)->GetAccObject();
           TAccResult nav;
           EXPECT_EQ(first->get_accFocus(nav), S_OK);
           EXPECT_EQ(first->accNavigate(NAVDIR_DOWN, {}, nav), S_OK);
           EXPECT_EQ(nav.Object, Viewer(popup, save)->GetAccObject());
           EXPECT_EQ(first->accNavigate(NAVDIR_UP, {}, nav), S_FALSE);
           TRect where;
           first->accLocation(where, {});
           TAccResult hit;
           EXPECT_EQ(first->accHitTest(where.Left + 1, where.Top + 1, hit), S_OK);
           EXPECT_EQ(first->accHitTest(where.Left - 1, where.Top, hit), S_FALSE);
           EXPECT_EQ(first->accSelect(2, {}), E_INVALIDARG);
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  EnterByKeyboard(file);
  EXPECT_TRUE(looked);
  EXPECT_FALSE(LeftOpen);
}

TEST_F(BarAccessibility, AnObjectWhoseOwnerWentFails) {
  auto object = Viewer(View(), refresh)->GetAccObject();
  TBarView* popup = OpenFile();
  auto popupObject = popup->GetAccObject();
  const int views = TBarViewAccObject::LiveCount();
  View()->CloseDropDown();
  delete refresh;
  std::string text;
  int role = 0;
  TAccObjectRef parent;
  EXPECT_EQ(object->get_accName({}, text), E_FAIL);
  EXPECT_EQ(object->get_accRole({}, role), E_FAIL);
  EXPECT_EQ(object->get_accParent(parent), E_FAIL);
  EXPECT_EQ(object->accDoDefaultAction({}), E_FAIL);
  EXPECT_EQ(popupObject->get_accChildCount(role), E_FAIL);
  popupObject.reset();
  EXPECT_EQ(TBarViewAccObject::LiveCount(), views - 1);
}

TEST_F(BarAccessibility, TheDefaultActionPressesAButtonOnceAfterItsMenuLoop) {
  auto object = Viewer(View(), refresh)->GetAccObject();
  EXPECT_EQ(object->accDoDefaultAction({}), S_OK);
  EXPECT_TRUE(Clicks.empty()) << "deferred";
  talvik::gui::ProcessPending();
  talvik::gui::ProcessPending();
  EXPECT_EQ(Clicks, std::vector<std::string>{"Обновить"});
  EXPECT_FALSE(ClickedInsideLoop);
}

TEST_F(BarAccessibility, MenuEventsInOrder) {
  std::vector<std::pair<DWORD, int>> events;
  SetBarWinEventSink([&](DWORD Event, HWND, int, int Child) { events.emplace_back(Event, Child); });
  Drive({[] { Key(VK_DOWN); }, [] { Key(VK_DOWN); }, [] { Key(VK_ESCAPE); }, [] { Key(VK_ESCAPE); }});
  EnterByKeyboard(file);
  SetBarWinEventSink(nullptr);
  const std::vector<std::pair<DWORD, int>> want = {
      {EVENT_SYSTEM_MENUSTART, CHILDID_SELF},      {EVENT_OBJECT_FOCUS, 1},  // Файл on the bar
      {EVENT_SYSTEM_MENUPOPUPSTART, CHILDID_SELF}, {EVENT_OBJECT_FOCUS, 2},  // Сохранить
      {EVENT_SYSTEM_MENUPOPUPEND, CHILDID_SELF},   {EVENT_OBJECT_FOCUS, 1},  // back on Файл
      {EVENT_SYSTEM_MENUEND, CHILDID_SELF}};
  EXPECT_EQ(events, want);
}

TEST_F(BarAccessibility, TheFocusGoesBackToTheBarWhenThePopupLosesItsSelectionOrCloses) {
  struct Focus {
    HWND wnd;
    int child;
    bool operator==(const Focus&) const = default;
  };
  std::vector<Focus> focus;
  SetBarWinEventSink([&](DWORD Event, HWND Wnd, int, int Child) {
    if (Event == EVENT_OBJECT_FOCUS) focus.push_back({Wnd, Child});
  });
  HWND bar = host_->Handle(), popup = nullptr;
  std::vector<Focus> onItem, offItems;
  Drive({[] { Key(VK_DOWN); },
         [&] {
           popup = View()->OpenWindow()->Handle();
           Move(Centre(View()->OpenView(), save));
         },
         [&] {
           onItem = focus;
           focus.clear();
           Move(TPoint(900, 600));  // off every menu: the popup selects nothing
         },
         [&] {
           offItems = focus;
           focus.clear();
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  EnterByKeyboard(file);
  SetBarWinEventSink(nullptr);
  ASSERT_FALSE(onItem.empty());
  EXPECT_EQ(onItem.back(), (Focus{popup, 2})) << "Сохранить under the mouse";
  const std::vector<Focus> onTheBar = {{bar, 1}};  // Файл
  EXPECT_EQ(offItems, onTheBar) << "the popup selects nothing";
  EXPECT_EQ(focus, onTheBar) << "the popup closed";
}

TEST_F(BarAccessibility, MovingAlongTheBarFromAnOpenPopupFocusesOnlyTheNewItem) {
  std::vector<std::pair<HWND, int>> focus;
  Drive({[] { Key(VK_DOWN); },
         [&] {
           focus.clear();
           Key(VK_RIGHT);  // closes Файл's popup and goes on to Обновить
         },
         [] { Key(VK_ESCAPE); }});
  SetBarWinEventSink([&](DWORD Event, HWND Wnd, int, int Child) {
    if (Event == EVENT_OBJECT_FOCUS) focus.emplace_back(Wnd, Child);
  });
  EnterByKeyboard(file);
  SetBarWinEventSink(nullptr);
  const std::vector<std::pair<HWND, int>> want = {{host_->Handle(), 2}};
  EXPECT_EQ(focus, want);
}
}  // namespace
