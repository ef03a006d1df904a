// The main window's menu bar and toolbars on a desktop with a window manager (openbox) under a real X
// server, driven with xdotool: a menu closed by Escape leaves the menu bar on its dock.
#include "E2EHarness.h"

namespace {

using e2e::Shell;
using e2e::WaitFor;
using e2e::WindowNamed;

// Where things stand in the main window (relative to its top left corner).
constexpr int kFileMenuX = 20, kMenuBarY = 10;  // "Файл" on the menu bar
constexpr int kFirstRowY = 141;                 // the session list's first row
constexpr char kMenuBarTitle[] = "^Главное меню$";

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

}  // namespace
