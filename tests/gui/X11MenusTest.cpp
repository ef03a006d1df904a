// Menus and shortcuts under a real X server (run through xvfb-run -a): a popup menu opened by the
// right button, walked with keys and closed by a click outside the application, and a shortcut that
// reaches its action once even when its keys are released before the program reads them. Keys and clicks come
// from xdotool on a thread of their own while the menu's loop runs on ours; every step waits on a state with
// a time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "SampleMenu.h"
#include "X11TestSupport.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"

using x11test::ClickAt;
using x11test::ScreenshotDir;
using x11test::Shell;
using x11test::WaitFor;

namespace {

// A focusable surface: keys from the X server go to the focused window.
class TPad : public TCustomControl {
 public:
  explicit TPad(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clWindow);
    Canvas()->FillRect(ClientRect());
  }
};

class X11Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 400, 260);
    form->SetCaption("TalvikX11Menus");
    Application->SetMainForm(form.get());
    idleHook = Application->HookMainWindow([this](TMessage& m) {
      if (m.Msg != WM_ENTERIDLE) return false;
      if (grabOnIdle && OpenMenuWindows().size() >= grabWindows) {
        grabOnIdle = false;
        // every open menu painted and on the server before the picture
        for (int i = 0; i < 5; ++i)
          for (HWND w : OpenMenuWindows()) talvik::gui::UpdateAllWindows(w);
        pictured = talvik::gui::GrabDisplayToPng(ScreenshotDir() + "/" + grabName);
      }
      menuIdle = true;
      return false;
    });
  }
  void TearDown() override {
    if (Application) Application->UnhookMainWindow(idleHook);
    if (Application) Application->SetMainForm(nullptr);
    form.reset();
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitFor([] { return Shell("xdotool search --name TalvikX11Menus"); }));
    Shell("xdotool search --name TalvikX11Menus windowfocus");
    Application->ProcessMessages();
  }
  TMenuItem* Item(TMenuItem* parent, const std::string& caption) {
    auto* item = new TMenuItem(form.get());
    item->SetCaption(caption);
    item->OnClick = [this, caption](TObject*) { clicked += caption + ";"; };
    parent->Add(item);
    return item;
  }
  // Runs xdotool commands once the menu loop idles, from a thread of their own.
  std::thread Driver(std::vector<std::string> commands) {
    menuIdle = false;
    return std::thread([this, commands] {
      for (const std::string& c : commands) {
        if (!WaitFor([this] { return menuIdle.load(); }, false)) return;
        menuIdle = false;
        Shell("xdotool " + c);
      }
    });
  }

  std::unique_ptr<TForm> form;
  std::atomic<bool> menuIdle{false};
  bool grabOnIdle = false;
  std::size_t grabWindows = 1;
  std::string grabName = "popup-menu-plain-display.png";
  bool pictured = false;
  int idleHook = -1;
  std::string clicked;
};

}  // namespace

TEST_F(X11Menus, RightClickOpensAPopupThatKeysWalkAndAClickOutsideCloses) {
  auto* pad = new TPad(form.get());
  pad->SetParent(form.get());
  pad->SetBounds(10, 10, 380, 240);
  auto* menu = new TPopupMenu(form.get());
  Item(menu->Items(), "&Обновить");
  Item(menu->Items(), "Снять")->SetEnabled(false);
  Item(menu->Items(), "-");
  TMenuItem* view = Item(menu->Items(), "&Вид");
  Item(view, "Сетка");
  Item(view, "Дерево");
  pad->SetPopupMenu(menu);
  ShowForm();
  pad->SetFocus();
  const TPoint at = pad->ClientToScreen({40, 40});
  // Down: Обновить, Down: Снять (disabled, still selectable), Down: Вид (the line is skipped), Right:
  // into it, Down, Return: Дерево
  std::thread keys = Driver({"key Down", "key Down", "key Down", "key Right", "key Down", "key Return"});
  ClickAt(at, 3);
  EXPECT_TRUE(WaitFor([&] { return !clicked.empty(); })) << "the menu never chose";
  keys.join();
  EXPECT_EQ(clicked, "Дерево;");
  EXPECT_TRUE(WaitFor([] { return OpenMenuWindows().empty(); }));

  // open again, take a picture of it, then click on the desktop: the menu closes and runs nothing
  clicked.clear();
  grabOnIdle = true;
  std::thread outside = Driver({"key Down", "mousemove 700 560 click 1"});
  ClickAt(at, 3);
  EXPECT_TRUE(WaitFor([&] { return pictured; }));
  outside.join();
  EXPECT_TRUE(WaitFor([] { return OpenMenuWindows().empty(); }));
  EXPECT_EQ(clicked, "");
}

TEST_F(X11Menus, AShortcutReachesItsActionOnce) {
  auto* list = new TActionList(form.get());
  auto* refresh = new TAction(form.get());
  refresh->SetActionList(list);
  refresh->SetShortCut(ShortCut('R', {ssCtrl}));
  int runs = 0;
  refresh->SetOnExecute([&](TObject*) { ++runs; });
  // the same command on a menu item too: still one run
  auto* menu = new TPopupMenu(form.get());
  auto* item = new TMenuItem(form.get());
  item->SetAction(refresh);
  menu->Items()->Add(item);
  form->SetPopupMenu(menu);
  auto* pad = new TPad(form.get());
  pad->SetParent(form.get());
  pad->SetBounds(10, 10, 100, 100);
  ShowForm();
  pad->SetFocus();
  Shell("xdotool key ctrl+r");
  EXPECT_TRUE(WaitFor([&] { return runs > 0; }));
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
  EXPECT_EQ(runs, 1);
}

// Shift+F10 from the keyboard opens the focused control's popup menu (xdotool lets Shift go before
// F10, as a quick hand does); F10 alone asks the form for its menu.
TEST_F(X11Menus, ShiftF10OpensTheFocusedControlsPopupAndF10AloneAsksForTheMenu) {
  auto* pad = new TPad(form.get());
  pad->SetParent(form.get());
  pad->SetBounds(10, 10, 380, 240);
  auto* menu = new TPopupMenu(form.get());
  Item(menu->Items(), "&Обновить");
  int popups = 0;
  menu->OnPopup = [&](TObject*) { ++popups; };
  pad->SetPopupMenu(menu);
  int menuAsks = 0;
  const int asks = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg == CM_APPSYSCOMMAND) ++menuAsks;
    return false;
  });
  TScopeExit unhook([asks] { Application->UnhookMainWindow(asks); });
  ShowForm();
  pad->SetFocus();
  std::thread escape = Driver({"key Escape"});
  Shell("xdotool key shift+F10");
  EXPECT_TRUE(WaitFor([&] { return popups == 1; })) << "no popup menu";
  escape.join();
  EXPECT_TRUE(WaitFor([] { return OpenMenuWindows().empty(); }));
  EXPECT_EQ(menuAsks, 0) << "Shift+F10 asked for the form's menu";
  Shell("xdotool key F10");
  EXPECT_TRUE(WaitFor([&] { return menuAsks == 1; })) << "F10 alone did not ask for the form's menu";
  EXPECT_EQ(popups, 1);
}

TEST_F(X11Menus, APopupWithImagesChecksShortcutsAndAnOpenSubmenuIsPictured) {
  auto* pad = new TPad(form.get());
  pad->SetParent(form.get());
  pad->SetBounds(10, 10, 380, 240);
  TPopupMenu* menu = menutest::BuildSampleMenu(
      form.get(), [this](TMenuItem* parent, const std::string& caption) { return Item(parent, caption); });
  pad->SetPopupMenu(menu);
  ShowForm();
  pad->SetFocus();
  const TPoint at = pad->ClientToScreen({20, 20});
  grabOnIdle = true;
  grabWindows = 2;
  grabName = "popup-menu-display.png";
  // down to "Фильтр" (the line is skipped), into the submenu; once both are pictured, close all
  std::thread keys =
      Driver({"key Down", "key Down", "key Down", "key Down", "key Right", "key Escape", "key Escape"});
  ClickAt(at, 3);
  EXPECT_TRUE(WaitFor([&] { return pictured; }));
  keys.join();
  EXPECT_TRUE(WaitFor([] { return OpenMenuWindows().empty(); }));
  EXPECT_EQ(clicked, "");
}
