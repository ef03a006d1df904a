// The program on a desktop (openbox) losing and regaining activation: a floating toolbar hides while
// another program is active and comes back when the program is activated again.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;

// "Просмотр" floating clear of the main window (0, 0, 800 x 600), as a user left it.
constexpr const char* kFloatingView =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\ToolBarView]\n\"Rev\"=\"2000\"\n\"Visible\"=\"1\"\n"
    "\"DockedTo\"=\"+\"\n\"LastDock\"=\"TBDockTop\"\n\"DockRow\"=\"1\"\n\"DockPos\"=\"160\"\n"
    "\"FloatLeft\"=\"900\"\n\"FloatTop\"=\"100\"\n\"FloatRightX\"=\"0\"\n";

class Activation : public e2e::DesktopProgramTest {
 protected:
  void TearDown() override {
    childwait::End(other_, "the other program (xmessage)");
    e2e::DesktopProgramTest::TearDown();
  }
  // Another program's window, shown and activated by the window manager: its id.
  std::string OtherProgram() {
    char* argv[] = {const_cast<char*>("xmessage"), const_cast<char*>("-geometry"),
                    const_cast<char*>("+850+500"), const_cast<char*>("another program"), nullptr};
    if (posix_spawnp(&other_, "xmessage", nullptr, nullptr, argv, environ) != 0) return "";
    std::string id;
    WaitFor([&] {
      return !(id = Output("xdotool search --onlyvisible --class '^Xmessage$' 2>/dev/null")).empty();
    });
    id = id.substr(0, id.find('\n'));
    if (!id.empty()) Shell("wmctrl -i -a " + id);
    return id;
  }
  static bool Shows(const std::string& Name) { return !e2e::WindowNamed(Name).empty(); }
  static std::string ActiveWindow() { return Output("xdotool getactivewindow 2>/dev/null"); }

  pid_t other_ = 0;
};

TEST_F(Activation, AFloatingToolbarHidesWhileAnotherProgramIsActiveAndComesBack) {
  Prefill("SYSTEM", "SIM", kFloatingView);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return Shows("^Просмотр$"); })) << "the toolbar does not float";
  const std::string other = OtherProgram();
  ASSERT_FALSE(other.empty()) << "no other program (xmessage)";
  ASSERT_TRUE(WaitFor([&] { return ActiveWindow() == other; })) << ActiveWindow();
  EXPECT_TRUE(WaitFor([&] { return !Shows("^Просмотр$"); }))
      << "the toolbar stayed while another program is active";
  Picture("other-program-active");
  Shell("wmctrl -i -a " + main);
  ASSERT_TRUE(WaitFor([&] { return ActiveWindow() == main; })) << ActiveWindow();
  EXPECT_TRUE(WaitFor([&] { return Shows("^Просмотр$"); })) << "the toolbar did not come back";
  Picture("program-active-again");
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

}  // namespace

// The main window comes up after the logon with the session list taking the keys, with no Tab or
// click first: Down moves through the rows, and F7 opens the filter box under the column's title,
// which leaves the list empty until Escape closes it again.
TEST_F(Activation, AfterTheStartTheKeysReachTheSessionList) {
  // sessions of the test's own, listed beside the program's: rows below the current one show the
  // list's colours
  const e2e::SystemConnection others[3];
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return OddRowPixels(main) > 0; })) << "no session list in the main window";
  Keys(main, "Down F7");
  EXPECT_TRUE(WaitFor([&] { return OddRowPixels(main) == 0; }))
      << "Down and F7 after the start: the list stays (" << OddRowPixels(main) << " pixels of its rows)";
  Picture("filter-box-after-the-start");
  Keys(main, "Escape");
  EXPECT_TRUE(WaitFor([&] { return OddRowPixels(main) > 0; })) << "Escape: the list did not come back";
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}
