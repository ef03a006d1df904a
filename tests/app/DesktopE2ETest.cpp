// The program on a desktop with a window manager (openbox) under a real X server: its windows closed
// by the user or the window manager while something else runs, and the main window's frame standing
// where its Left and Top say.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::WaitFor;
using e2e::WindowNamed;
using x11test::Shell;

// Where things stand in the main window (relative to its top left corner).
constexpr int kSessionCloseX = 783, kSessionCloseY = 63;  // the session window's close button
constexpr int kConnectionsX = 90, kConnectionsY = 35;     // the connections box on "Соединения"
constexpr int kFirstRowY = 141;                           // the session list's first row
constexpr int kPopupSnapshot = 10;                        // "Снимок ..." in the list's popup menu

class Desktop : public e2e::DesktopProgramTest {
 protected:
  // Logs on as SYSTEM (prefilled): the main window's id.
  std::string Main(const std::string& Extra = "") {
    Prefill("SYSTEM", "SIM", Extra);
    Start();
    return LogOn("manager");
  }
  // Whether the program still runs (it has not crashed).
  bool Running() {
    int status = 0;
    return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
  }
  // The pixels of the main window that show the session window's list rows (-1 without a display
  // to read).
  static int ListPixels(const std::string& Main) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // (as for a picture: this process reads the display)
    std::vector<COLORREF> pixels;
    int width = 0, height = 0;
    if (!talvik::gui::GrabDisplayPixels(pixels, width, height)) return -1;
    const TRect frame = FrameOf(Main);
    int n = 0;
    for (int y = std::max(0, frame.Top); y < std::min(height, frame.Bottom); ++y)
      for (int x = std::max(0, frame.Left); x < std::min(width, frame.Right); ++x) {
        const COLORREF c = pixels[static_cast<std::size_t>(y) * width + x];
        n += c == e2e::kOddRow || c == e2e::kEvenRow;
      }
    return n;
  }
  // A click on the connections box of "Соединения": its list drops down.
  void DropTheConnectionsList(const std::string& Main) {
    ASSERT_FALSE(Main.empty());
    Shell("xdotool mousemove --window " + Main + " " + std::to_string(kConnectionsX) + " " +
          std::to_string(kConnectionsY) + " click 1");
    ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "the list did not drop";
  }
};

// Closes a top-level window as the window manager's close button does (its close request).
void CloseByWindowManager(const std::string& Window) {
  Shell("wmctrl -i -c " + Window);
}

// A click on the session window's close button: the window goes (its list no longer shows), the
// program runs on and ends well.
TEST_F(Desktop, ClosingTheSessionWindowLeavesTheProgramRunning) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return ListPixels(main) > 0; })) << "no session list in the main window";
  Shell("xdotool mousemove --window " + main + " " + std::to_string(kSessionCloseX) + " " +
        std::to_string(kSessionCloseY) + " click 1");
  EXPECT_TRUE(WaitFor([&] { return ListPixels(main) == 0; })) << "the session window stayed";
  // the idle updates of the actions run a few times meanwhile
  EXPECT_FALSE(WaitFor([&] { return !Running(); }, 2000)) << Said();
  Picture("closed");
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The main window closed by the window manager while the file dialog of the list's snapshot is up:
// the close waits for the dialog; the program runs on, and ends well once the dialog is gone.
TEST_F(Desktop, ClosingTheMainWindowWhileAFileDialogRunsWaitsForIt) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  Shell("xdotool mousemove --window " + main + " 150 " + std::to_string(kFirstRowY) + " click 3");
  std::string keys;
  for (int i = 0; i < kPopupSnapshot; ++i) keys += " Down";
  Shell("xdotool key --delay 80" + keys + " Return");
  const std::string dialog = Await("^Save As$");
  ASSERT_FALSE(dialog.empty()) << "no file dialog";
  CloseByWindowManager(main);
  EXPECT_FALSE(WaitFor([&] { return !Running(); }, 2000)) << Said();
  Picture("closed-under-dialog");
  Keys(dialog, "Escape");
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("^Save As$").empty(); })) << "the dialog stayed";
  EXPECT_TRUE(Running()) << Said();
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The program closed by the window manager while the connections list is dropped down: the list
// goes with it, and its close-up handler is not run on the main window being destroyed.
TEST_F(Desktop, ClosingTheProgramWithTheConnectionsListDownEndsItWell) {
  const std::string main = Main();
  ASSERT_NO_FATAL_FAILURE(DropTheConnectionsList(main));
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The main window minimised while the connections list is down, the mouse resting on it: the list
// and the hint go with the window rather than stay on the desktop where no click reaches them.
TEST_F(Desktop, MinimisingTheMainWindowTakesTheDroppedListAndTheHintWithIt) {
  const std::string main = Main();
  ASSERT_NO_FATAL_FAILURE(DropTheConnectionsList(main));
  Shell("xdotool mousemove_relative 0 30");  // over the list, where a hint may come up
  Shell("xdotool windowminimize --sync " + main);
  EXPECT_TRUE(WaitFor([&] { return OpenMenus() == 0; })) << OpenMenus() << " popups stayed on screen";
  Picture("minimised-with-list-down");
  Shell("wmctrl -i -a " + main);
  ASSERT_TRUE(WaitFor([&] {
    return !Output("xdotool search --onlyvisible --name '^Talvik for Oracle' 2>/dev/null").empty();
  }));
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// With the tray icon on, the desktop's minimise sends the main window to the tray as the program's
// own does; a click on the icon brings it back on screen, not as an icon.
TEST_F(Desktop, TheDesktopsMinimiseSendsTheMainWindowToTheTrayAndTheIconBringsItBack) {
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  const std::string main = Main("\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  Shell("xdotool windowminimize --sync " + main);
  // in the tray the window is withdrawn from the desktop, not an icon on it
  const auto state = [&] { return Output("xprop -id " + main + " WM_STATE 2>/dev/null"); };
  const auto mapped = [&] { return Output("xwininfo -id " + main + " 2>/dev/null | grep 'Map State'"); };
  EXPECT_TRUE(WaitFor([&] {
    return state().find("Iconic") == std::string::npos && mapped().find("IsUnMapped") != std::string::npos;
  })) << state()
      << mapped();
  Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
  EXPECT_TRUE(WaitFor([&] { return !WindowNamed("^Talvik for Oracle").empty(); }))
      << "the window did not come back on screen";
  Picture("back-from-the-tray");
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The first start (no stored bounds: 0, 0, 800 x 600) puts the main window's frame, title bar and all,
// at the screen's top left corner; a stored place is the frame's too, and a restart keeps it.
TEST_F(Desktop, TheMainWindowsFrameStandsWhereItsLeftAndTopSay) {
  std::string main = Main();
  ASSERT_FALSE(main.empty());
  TRect frame;
  ASSERT_TRUE(WaitFor([&] {
    frame = FrameOf(main);
    return frame.Top == 0 && frame.Left == 0;
  })) << frame.Left
      << "," << frame.Top;
  EXPECT_EQ(frame.Right, 800);
  EXPECT_EQ(frame.Bottom, 600);
  Picture("first-start");
  // moved by the user to (50, 40), then the program ends and starts again
  Shell("xdotool windowmove " + main + " 50 40");
  ASSERT_TRUE(WaitFor([&] { return FrameOf(main).Left > 0; }));
  frame = FrameOf(main);
  CloseByWindowManager(main);
  ASSERT_EQ(Exit(), 0) << Said();
  EXPECT_NE(Settings().find("\"Left\"=\"" + std::to_string(frame.Left) + "\""), std::string::npos)
      << Settings();
  EXPECT_NE(Settings().find("\"Top\"=\"" + std::to_string(frame.Top) + "\""), std::string::npos)
      << Settings();
  Start();
  main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  TRect again;
  EXPECT_TRUE(WaitFor([&] { return (again = FrameOf(main)) == frame; }))
      << again.Left << "," << again.Top << " " << again.Width() << "x" << again.Height() << " against "
      << frame.Left << "," << frame.Top << " " << frame.Width() << "x" << frame.Height();
}

}  // namespace
