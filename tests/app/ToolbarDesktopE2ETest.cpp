// The main window's menu bar and toolbars on a desktop with a window manager (openbox) under a real X
// server, driven with xdotool: a menu closed by Escape leaves the menu bar on its dock, and a toolbar
// dragged off its dock and back leaves no floating window behind.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;
using e2e::WindowNamed;

// Where things stand in the main window (relative to its top left corner).
constexpr int kFileMenuX = 20, kMenuBarY = 10;        // "Файл" on the menu bar
constexpr int kFirstRowY = 141;                       // the session list's first row
constexpr int kViewHandleX = 163, kToolbarRowY = 35;  // the drag handle of "Просмотр" on row 1
constexpr char kMenuBarTitle[] = "^Главное меню$";
constexpr char kViewTitle[] = "^Просмотр$";

std::string At(int X, int Y) {
  return std::to_string(X) + " " + std::to_string(Y);
}

class ToolbarDesktop : public e2e::DesktopProgramTest {
 protected:
  // Logs on as SYSTEM (prefilled): the main window's id.
  std::string Main() {
    Prefill("SYSTEM", "SIM");
    Start();
    return LogOn("manager");
  }
  // A click at (X, Y) of Window.
  static void Click(const std::string& Window, int X, int Y) {
    Shell("xdotool mousemove --window " + Window + " " + At(X, Y) + " click 1");
  }
};

// "Файл" opened by a click and closed by Escape; then a click on the session list: the list takes
// it, and the menu bar stays on its dock (no floating window of its shows).
TEST_F(ToolbarDesktop, AMenuClosedByEscapeLeavesTheMenuBarOnItsDock) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  Click(main, kFileMenuX, kMenuBarY);
  ASSERT_TRUE(WaitFor([] { return OpenMenus() > 0; })) << "the menu did not open";
  Keys(main, "Escape");
  ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; })) << "Escape left the menu open";
  Click(main, 150, kFirstRowY + 20);
  EXPECT_FALSE(WaitFor([] { return !WindowNamed(kMenuBarTitle).empty(); }, 1500))
      << "the menu bar floats after a click on the session list";
  Picture("after-the-click");
  // the menu bar still opens its menus where it stood
  Click(main, kFileMenuX, kMenuBarY);
  EXPECT_TRUE(WaitFor([] { return OpenMenus() > 0; })) << "the menu bar did not open its menu";
  Keys(main, "Escape");
}

// "Просмотр" dragged by its handle off the dock, clear of the main window, floats in a window of its
// own; dragged by that window's caption back onto row 1 it docks there, and its floating window
// leaves the screen: the window manager no longer lists it.
TEST_F(ToolbarDesktop, AToolbarDockedAgainLeavesNoFloatingWindowOnTheScreen) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  Shell("xdotool mousemove --window " + main + " " + At(kViewHandleX, kToolbarRowY) +
        " sleep 0.1 mousedown 1 sleep 0.1 mousemove_relative 10 60 sleep 0.1 mousemove 1000 700"
        " sleep 0.1 mouseup 1");
  std::string floating;
  ASSERT_TRUE(WaitFor([&] { return !(floating = WindowNamed(kViewTitle)).empty(); })) << "it did not float";
  // it followed the mouse beyond the main window, where the pointer is on no window of the program's
  TRect frame;
  ASSERT_TRUE(WaitFor([&] { return (frame = FrameOf(floating)).Left > FrameOf(main).Right; }))
      << "the floating toolbar stopped at " << frame.Left << "," << frame.Top;
  const auto listed = [&floating] {
    return Output("xprop -root _NET_CLIENT_LIST").find(Output("printf 0x%x " + floating)) !=
           std::string::npos;
  };
  EXPECT_TRUE(listed()) << "the window manager does not list the floating window";
  Picture("floating");
  Shell("xdotool mousemove " + At(frame.Left + 8, frame.Top + 8) +
        " sleep 0.1 mousedown 1 sleep 0.1 mousemove_relative 0 -30 sleep 0.1 mousemove --window " + main +
        " " + At(300, kToolbarRowY) + " sleep 0.1 mouseup 1");
  EXPECT_TRUE(WaitFor([] { return WindowNamed(kViewTitle).empty(); }))
      << "the floating window stays on the screen";
  EXPECT_FALSE(listed()) << "the window manager still lists the floating window";
  Picture("docked-again");
  // docked, as the store says once the program ends
  Shell("wmctrl -i -c " + main);
  ASSERT_EQ(Exit(), 0) << Said();
  const std::string settings = Settings();
  const auto section = settings.find("\\Toolbars\\ToolBarView]");
  ASSERT_NE(section, std::string::npos) << settings;
  const std::string docked = "\"DockedTo\"=\"TBDockTop\"";
  const auto dockedTo = settings.find("\"DockedTo\"", section);
  ASSERT_NE(dockedTo, std::string::npos) << settings;
  EXPECT_EQ(settings.substr(dockedTo, docked.size()), docked) << settings.substr(section, 200);
}

}  // namespace
