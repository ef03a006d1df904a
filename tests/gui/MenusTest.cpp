// Menu items and popup menus: the item tree, radio groups, the popup window driven by keys and the
// mouse, submenus, the context-menu key, shortcuts, and a look at an open menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "GuiTestSupport.h"
#include "SampleMenu.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PaintFloor.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

class TPad : public TCustomControl {
 public:
  explicit TPad(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetBounds(10, 10, 200, 150);
  }
  int clicks = 0;

 protected:
  void MouseDown(TMouseButton, TShiftState, int, int) override { ++clicks; }
};

class Menus : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    hook = Application->HookMainWindow([this](TMessage& m) {
      if (m.Msg != WM_ENTERIDLE || !onIdle) return false;
      auto step = std::move(onIdle);
      onIdle = nullptr;
      step();
      return true;
    });
  }
  void TearDown() override {
    Application->UnhookMainWindow(hook);
    GuiTest::TearDown();
  }
  TMenuItem* Item(TComponent* owner, TMenuItem* parent, const std::string& caption) {
    auto* item = new TMenuItem(owner);
    item->SetCaption(caption);
    item->OnClick = [this, caption](TObject*) {
      clicked.push_back(caption);
      stillOpen = !OpenMenuWindows().empty();
    };
    parent->Add(item);
    return item;
  }
  static void Keys(std::initializer_list<WORD> keys) {
    for (WORD k : keys) {
      InjectKey(k, true, 0, {});
      InjectKey(k, false, 0, {});
    }
  }
  // A menu: Открыть, Снять (disabled), -, Вид > (Сетка, Дерево), Выход.
  TPopupMenu* Sample(TComponent* owner) {
    auto* menu = new TPopupMenu(owner);
    Item(owner, menu->Items(), "&Открыть");
    Item(owner, menu->Items(), "Снять")->SetEnabled(false);
    Item(owner, menu->Items(), "-");
    TMenuItem* view = Item(owner, menu->Items(), "&Вид");
    Item(owner, view, "Сетка");
    Item(owner, view, "Дерево");
    Item(owner, menu->Items(), "В&ыход");
    return menu;
  }
  int hook = 0;
  std::function<void()> onIdle;
  std::vector<std::string> clicked;
  bool stillOpen = true;
};

}  // namespace

TEST_F(Menus, TheItemTreeRefusesCyclesAndForgetsFreedItems) {
  TForm form(nullptr);
  auto* menu = new TPopupMenu(&form);
  TMenuItem* a = Item(&form, menu->Items(), "a");
  TMenuItem* b = Item(&form, a, "b");
  TMenuItem* c = Item(&form, menu->Items(), "c");
  EXPECT_THROW(b->Add(a), EMenuError);              // into itself
  EXPECT_THROW(menu->Items()->Add(b), EMenuError);  // inserted twice
  EXPECT_EQ(b->GetParentMenu(), menu);
  EXPECT_EQ(c->MenuIndex(), 1);
  delete a;  // with its subitem
  EXPECT_EQ(menu->Items()->Count(), 1);
  EXPECT_EQ(c->MenuIndex(), 0);
  menu->Items()->Insert(0, new TMenuItem(&form));
  EXPECT_EQ(c->MenuIndex(), 1);
  menu->Items()->Clear();
  EXPECT_EQ(menu->Items()->Count(), 0);
  EXPECT_EQ(form.ComponentCount(), 1);  // the menu alone is left
}

TEST_F(Menus, RadioItemsOfAGroupAndActionsKeepTheirItemsInStep) {
  TForm form(nullptr);
  auto* menu = new TPopupMenu(&form);
  TMenuItem* user = Item(&form, menu->Items(), "user");
  TMenuItem* sys = Item(&form, menu->Items(), "sys");
  TMenuItem* other = Item(&form, menu->Items(), "other");
  for (TMenuItem* i : {user, sys, other}) i->SetRadioItem(true);
  other->SetGroupIndex(2);
  user->SetChecked(true);
  other->SetChecked(true);
  sys->SetChecked(true);
  EXPECT_FALSE(user->Checked());
  EXPECT_TRUE(other->Checked());  // another group

  auto* list = new TActionList(&form);
  auto* sound = new TAction(&form);
  sound->SetActionList(list);
  sound->SetCaption("Звук");
  sound->SetAutoCheck(true);
  sound->SetShortCut(VK_F7);
  int runs = 0;
  sound->SetOnExecute([&](TObject*) { ++runs; });
  auto* item = new TMenuItem(&form);
  menu->Items()->Add(item);
  item->SetAction(sound);
  EXPECT_EQ(item->Caption(), "Звук");
  EXPECT_EQ(item->ShortCut(), VK_F7);
  item->Click();  // the action checks itself: toggled once, run once
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(sound->Checked());
  EXPECT_TRUE(item->Checked());
  sound->SetEnabled(false);
  EXPECT_FALSE(item->Enabled());
  delete sound;
  EXPECT_EQ(item->Action(), nullptr);
}

TEST_F(Menus, KeysWalkTheMenuIntoASubmenuAndTheClickComesAfterTheMenuClosed) {
  TForm form(nullptr);
  TPopupMenu* menu = Sample(&form);
  form.Show();
  std::vector<HWND> seen;
  onIdle = [&] {
    seen = OpenMenuWindows();
    // Открыть, Снять, (the line is skipped) Вид, into it, Дерево
    Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  };
  menu->Popup(100, 100);
  EXPECT_EQ(clicked, std::vector<std::string>{"Дерево"});
  EXPECT_FALSE(stillOpen);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(IsWindow(seen[0]));

  // Enter on a disabled item does nothing; Escape closes the submenu, then the menu
  clicked.clear();
  std::size_t levels = 0;
  onIdle = [&] {
    Keys({VK_DOWN, VK_DOWN, VK_RETURN, VK_DOWN, VK_RIGHT});
    onIdle = [&] {
      levels = OpenMenuWindows().size();
      Keys({VK_ESCAPE});
      onIdle = [&] {
        levels = levels * 10 + OpenMenuWindows().size();
        Keys({VK_ESCAPE});
      };
    };
  };
  menu->Popup(100, 100);
  EXPECT_TRUE(clicked.empty());
  EXPECT_EQ(levels, 21u);  // two levels, then one, then none
}

TEST_F(Menus, EscapeLeftAndAcceleratorsCloseLevelsOrChoose) {
  TForm form(nullptr);
  TPopupMenu* menu = Sample(&form);
  form.Show();
  std::size_t levels = 0;
  onIdle = [&] {
    Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT});
    onIdle = [&] {
      levels = OpenMenuWindows().size();
      Keys({VK_LEFT, VK_ESCAPE});
    };
  };
  menu->Popup(50, 50);
  EXPECT_EQ(levels, 2u);
  EXPECT_TRUE(clicked.empty());
  // the letter keys of Latin accelerators choose, as the Cyrillic ones do (see below)
  Item(&form, menu->Items(), "&Logoff");
  onIdle = [&] {
    InjectKey('L', true, U'l', {});
    InjectKey('L', false, 0, {});
  };
  menu->Popup(50, 50);
  EXPECT_EQ(clicked, std::vector<std::string>{"&Logoff"});
}

namespace {

// A key typed in an open popup menu, and the item it chooses ("" for none).
struct AccelCase {
  const char* name;
  char32_t typed;
  const char* chosen;
};

const AccelCase kAccelCases[] = {
    {"CyrillicLowerCase", U'ы', "В&ыход"},      {"CyrillicUpperCase", U'Ы', "В&ыход"},
    {"CyrillicFirstLetter", U'о', "&Открыть"},  {"SubmenuOpensAndItsOwnAcceleratorChooses", U'в', "Сетка"},
    {"UnmarkedLetterChoosesNothing", U'с', ""},
};

void PrintTo(const AccelCase& c, std::ostream* os) {
  *os << c.name;
}

class MenuAccelerators : public Menus, public ::testing::WithParamInterface<AccelCase> {};

}  // namespace

TEST_P(MenuAccelerators, TypedCharacterChoosesTheMarkedItem) {
  TForm form(nullptr);
  TPopupMenu* menu = Sample(&form);
  menu->Items()->Items(3)->Items(0)->SetCaption("&Сетка");
  form.Show();
  const AccelCase& c = GetParam();
  onIdle = [&] {
    InjectKey('A', true, c.typed, {});
    InjectKey('A', false, 0, {});
    onIdle = [&] {
      // the submenu is open now: its own accelerator, then Esc twice for a menu still open
      InjectKey('C', true, U'с', {});
      InjectKey('C', false, 0, {});
      Keys({VK_ESCAPE, VK_ESCAPE});
    };
  };
  menu->Popup(50, 50);
  if (*c.chosen)
    EXPECT_EQ(clicked, std::vector<std::string>{c.chosen});
  else
    EXPECT_TRUE(clicked.empty());
}

INSTANTIATE_TEST_SUITE_P(Cyrillic, MenuAccelerators, ::testing::ValuesIn(kAccelCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Menus, ItemsRebuiltByATimerWhileTheMenuIsOpenAreShownAndChosen) {
  TForm form(nullptr);
  TPopupMenu* menu = Sample(&form);
  form.Show();
  // a refresh that rebuilds the menu on a timer, as the session list does
  TTimer refresh(nullptr);
  bool rebuilt = false;
  refresh.SetInterval(100);
  refresh.SetOnTimer([&](TObject*) {
    refresh.SetEnabled(false);
    menu->Items()->Clear();
    Item(&form, menu->Items(), "&Обновить");
    Item(&form, menu->Items(), "&Завершить сессию");
    rebuilt = true;
  });
  int idles = 0;
  std::function<void()> step = [&] {
    if (!rebuilt && ++idles < 50) {
      FakeNow() += 100;
      onIdle = step;
      return;
    }
    Keys({VK_DOWN, VK_DOWN, VK_RETURN, VK_ESCAPE});  // the new items, as the window shows them now
  };
  onIdle = [&] {
    Keys({VK_DOWN, VK_DOWN});  // the selection and the window's items are about to go
    onIdle = step;
  };
  menu->Popup(50, 50);
  ASSERT_TRUE(rebuilt);
  EXPECT_EQ(clicked, std::vector<std::string>{"&Завершить сессию"});
}

TEST_F(Menus, MouseChoosesHoveredItemsAndAClickOutsideOnlyCloses) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 300);
  auto* pad = new TPad(&form);
  pad->SetParent(&form);
  TPopupMenu* menu = Sample(&form);
  form.Show();
  RECT first{};
  onIdle = [&] {
    HWND w = OpenMenuWindows().at(0);
    GetWindowRect(w, first);
    POINT p{first.Left + 20, first.Top + 3 + 19 / 2};  // over the first item
    InjectMouse(WM_MOUSEMOVE, p);
    InjectMouse(WM_LBUTTONDOWN, p);
    InjectMouse(WM_LBUTTONUP, p);
  };
  menu->Popup(300, 200);
  EXPECT_EQ(clicked, std::vector<std::string>{"&Открыть"});
  EXPECT_EQ(first.Left, 300);
  EXPECT_EQ(first.Top, 200);

  clicked.clear();
  onIdle = [&] {
    POINT inPad;
    GetWindowRect(pad->Handle(), reinterpret_cast<RECT&>(first));
    inPad = {first.Left + 5, first.Top + 5};
    InjectMouse(WM_LBUTTONDOWN, inPad);
    InjectMouse(WM_LBUTTONUP, inPad);
  };
  menu->Popup(300, 200);
  Application->ProcessMessages();
  EXPECT_TRUE(clicked.empty());
  EXPECT_EQ(pad->clicks, 0);  // the click that closed the menu went nowhere

  // hovering a submenu item opens its submenu; its items take clicks
  onIdle = [&] {
    HWND w = OpenMenuWindows().at(0);
    RECT r;
    GetWindowRect(w, r);
    POINT view{r.Left + 20, r.Top + 3 + 2 * 19 + 9 + 9};
    InjectMouse(WM_MOUSEMOVE, view);
    onIdle = [&] {
      auto windows = OpenMenuWindows();
      ASSERT_EQ(windows.size(), 2u);
      RECT s;
      GetWindowRect(windows[1], s);
      POINT grid{s.Left + 20, s.Top + 3 + 9};
      InjectMouse(WM_MOUSEMOVE, grid);
      InjectMouse(WM_LBUTTONUP, grid);
    };
  };
  menu->Popup(100, 100);
  EXPECT_EQ(clicked, std::vector<std::string>{"Сетка"});
}

TEST_F(Menus, TheMenuStaysOnTheWorkAreaAndAlignsToThePoint) {
  TForm form(nullptr);
  TPopupMenu* menu = Sample(&form);
  form.Show();  // the keys go to the focused window
  RECT r{};
  auto look = [&] {
    onIdle = [&] {
      GetWindowRect(OpenMenuWindows().at(0), r);
      Keys({VK_ESCAPE});
    };
  };
  look();
  menu->Popup(1020, 720);  // the work area ends at (1024, 728)
  EXPECT_LE(r.Right, 1024);
  EXPECT_LE(r.Bottom, 728);
  EXPECT_EQ(r.Bottom, 720);  // opened upwards from the point
  // a menu longer than the work area is high goes on in a second column
  for (int i = 0; i < 40; ++i) Item(&form, menu->Items(), "Сеанс " + std::to_string(i));
  look();
  menu->Popup(10, 10);
  EXPECT_LE(r.Bottom - r.Top, 728);
  EXPECT_GT(r.Right - r.Left, 2 * 60);
  look();
  menu->SetAlignment(paRight);
  menu->Popup(500, 100);
  EXPECT_EQ(r.Right, 500);
  look();
  menu->SetAlignment(paCenter);
  menu->Popup(500, 100);
  EXPECT_EQ((r.Left + r.Right) / 2, 500);
}

TEST_F(Menus, TheContextMenuKeyPopsTheMenuAtTheControlAndShortcutsRunOnce) {
  TForm form(nullptr);
  form.SetBounds(100, 100, 400, 300);
  auto* pad = new TPad(&form);
  pad->SetParent(&form);
  TPopupMenu* menu = Sample(&form);
  pad->SetPopupMenu(menu);
  form.Show();
  pad->SetFocus();
  Application->ProcessMessages();
  RECT r{};
  onIdle = [&] {
    GetWindowRect(OpenMenuWindows().at(0), r);
    Keys({VK_ESCAPE});
  };
  SendMessage(pad->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pad->Handle()), MAKELPARAM(-1, -1));
  TPoint origin = pad->ClientToScreen({0, 0});
  EXPECT_EQ(r.Left, origin.X);
  EXPECT_EQ(r.Top, origin.Y);
  EXPECT_EQ(menu->PopupComponent(), pad);

  // the same shortcut on a menu item and on an action of the form's list: the menu's item runs, once
  auto* list = new TActionList(&form);
  auto* refresh = new TAction(&form);
  refresh->SetActionList(list);
  refresh->SetShortCut(VK_F5);
  int actionRuns = 0;
  refresh->SetOnExecute([&](TObject*) { ++actionRuns; });
  menu->Items()->Items(0)->SetShortCut(VK_F5);
  InjectKey(VK_F5, true, 0, {});
  InjectKey(VK_F5, false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(clicked, std::vector<std::string>{"&Открыть"});
  EXPECT_EQ(actionRuns, 0);
  // a disabled item leaves the key to the action list
  menu->Items()->Items(0)->SetEnabled(false);
  InjectKey(VK_F5, true, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(clicked.size(), 1u);
  EXPECT_EQ(actionRuns, 1);
  // freeing the menu leaves the control without one
  delete menu;
  EXPECT_EQ(pad->PopupMenu(), nullptr);
}

// ---- a menu opened again ----

// A change made between two openings of a menu.
struct PictureCase {
  const char* name;
  std::function<void(TPopupMenu* menu, TComponent* owner)> change;
  bool changesPixels;
};

void PrintTo(const PictureCase& c, std::ostream* os) {
  *os << c.name;
}

class MenuOpenedAgain : public Menus, public ::testing::WithParamInterface<PictureCase> {
 protected:
  // Opens the menu, paints its window and hands it to `look`, then closes it.
  void OpenAndLook(TPopupMenu* menu, const std::function<void(HWND)>& look) {
    onIdle = [&] {
      auto windows = OpenMenuWindows();
      ASSERT_EQ(windows.size(), 1u);
      UpdateWindow(windows[0]);
      look(windows[0]);
      Keys({VK_ESCAPE});
    };
    menu->Popup(10, 10);
  }
  static RECT Area(HWND w) {
    RECT r;
    GetWindowRect(w, r);
    return Rect(0, 0, r.Width(), r.Height());
  }
};

// An opening after a change shows what a fresh paint of the changed menu shows, pixel for pixel:
// the picture kept from the openings before is put into place only when nothing it shows has
// changed.
TEST_P(MenuOpenedAgain, ShowsWhatAFreshPaintShows) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  form.Show();
  auto* menu = new TPopupMenu(&form);
  for (int i = 0; i < 12; ++i) {
    TMenuItem* item = Item(&form, menu->Items(), i == 9 ? "-" : "Пункт номер " + std::to_string(i));
    item->SetChecked(i % 3 == 0);
    item->SetShortCut(i < 4 ? static_cast<TShortCut>(VK_F1 + i) : 0);
  }
  talvik::gui::SetMenuPictures(true);
  const COLORREF menuColour = GetSysColor(COLOR_MENU);
  TScopeExit restore([menuColour] {
    talvik::gui::SetMenuPictures(true);
    const int index = COLOR_MENU;
    SetSysColors(1, &index, &menuColour);
  });
  talvik::gui::TPaintFloor first(1, 1, 0), shown(1, 1, 0);
  // (the second paint of a menu that looks the same keeps its picture)
  OpenAndLook(menu, [&](HWND) {});
  OpenAndLook(menu, [&](HWND w) { first.Capture(w); });
  EXPECT_EQ(talvik::gui::MenuPicturesShown(), 0u);

  GetParam().change(menu, &form);
  OpenAndLook(menu, [&](HWND w) { shown.Capture(w); });
  EXPECT_EQ(talvik::gui::MenuPicturesShown(), GetParam().changesPixels ? 0u : 1u);

  talvik::gui::SetMenuPictures(false);
  OpenAndLook(menu, [&](HWND w) {
    EXPECT_EQ(shown.DifferingPixels(w, Area(w), {0, 0}), 0);
    if (GetParam().changesPixels) {
      EXPECT_GT(first.DifferingPixels(w, Area(w), {0, 0}), 0);
    }
  });
  EXPECT_EQ(talvik::gui::MenuPicturesShown(), 0u);
}

const COLORREF kOtherMenuColour = RGB(200, 230, 200);

INSTANTIATE_TEST_SUITE_P(
    Changes, MenuOpenedAgain,
    ::testing::Values(
        PictureCase{"Nothing", [](TPopupMenu*, TComponent*) {}, false},
        PictureCase{"Caption", [](TPopupMenu* m, TComponent*) { m->Items()->Items(2)->SetCaption("Другой"); },
                    true},
        PictureCase{"Unchecked", [](TPopupMenu* m, TComponent*) { m->Items()->Items(0)->SetChecked(false); },
                    true},
        PictureCase{"Disabled", [](TPopupMenu* m, TComponent*) { m->Items()->Items(1)->SetEnabled(false); },
                    true},
        PictureCase{"MadeDefault", [](TPopupMenu* m, TComponent*) { m->Items()->Items(4)->SetDefault(true); },
                    true},
        PictureCase{"RadioItem", [](TPopupMenu* m, TComponent*) { m->Items()->Items(3)->SetRadioItem(true); },
                    true},
        PictureCase{"ShortCut", [](TPopupMenu* m, TComponent*) { m->Items()->Items(5)->SetShortCut(VK_F9); },
                    true},
        PictureCase{"SubmenuAdded",
                    [](TPopupMenu* m, TComponent* owner) { m->Items()->Items(6)->Add(new TMenuItem(owner)); },
                    true},
        PictureCase{"Hidden", [](TPopupMenu* m, TComponent*) { m->Items()->Items(7)->SetVisible(false); },
                    true},
        PictureCase{"Freed", [](TPopupMenu* m, TComponent*) { delete m->Items()->Items(8); }, true},
        PictureCase{"OwnPicture",
                    [](TPopupMenu* m, TComponent*) {
                      TBitmap* b = m->Items()->Items(10)->Bitmap();
                      b->SetSize(16, 16);
                      b->Canvas()->Brush()->SetColor(clRed);
                      b->Canvas()->FillRect(Rect(0, 0, 16, 16));
                    },
                    true},
        PictureCase{"SystemColour",
                    [](TPopupMenu*, TComponent*) {
                      const int index = COLOR_MENU;
                      SetSysColors(1, &index, &kOtherMenuColour);
                    },
                    true}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST_F(Menus, AnOpenMenuWithImagesChecksASubmenuAndShortcutsLooksRight) {
  CreateApplication();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 460, 300);
  form.SetColor(clAppWorkSpace);
  TPopupMenu* menu = menutest::BuildSampleMenu(
      &form, [&](TMenuItem* parent, const std::string& caption) { return Item(&form, parent, caption); });
  form.Show();

  std::string dir =
      std::string(std::getenv("TALVIK_BINARY_DIR") ? std::getenv("TALVIK_BINARY_DIR") : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  onIdle = [&] {
    Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT});
    onIdle = [&] {
      auto windows = OpenMenuWindows();
      ASSERT_EQ(windows.size(), 2u);
      for (HWND w : windows) UpdateWindow(w);
      EXPECT_TRUE(talvik::gui::RenderScreenToPng(dir + "/popup-menu.png", Rect(0, 0, 460, 300)));
      Keys({VK_ESCAPE, VK_ESCAPE});
    };
  };
  menu->Popup(20, 20);
  EXPECT_TRUE(std::filesystem::exists(dir + "/popup-menu.png"));
}
