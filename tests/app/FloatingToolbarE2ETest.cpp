// The program's toolbars floating over its main window on a desktop with a window manager (openbox)
// under a real X server: a floating toolbar takes its own clicks, and stays above the main window
// when the program starts again with it floating; on the desktops users run, the main window is the
// active one after each trip to the tray, and the desktop's close of the toolbar's window is the main
// window's.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;
using e2e::WindowNamed;

// Where things stand in the main window's client area.
constexpr int kViewHandleX = 164, kToolbarRowY = 35;  // the drag handle of "Просмотр" on its dock
constexpr int kMiddleX = 400, kMiddleY = 300;         // the middle of the session list
constexpr int kFileMenuX = 20, kMenuBarY = 10;        // "Файл" on the menu bar
// Where the close button of a floating toolbar's window stands from its top right corner: the frame
// (4), the button's one pixel from the frame and half its size (7).
constexpr int kCloseFromRight = 12, kCloseFromTop = 12;

std::string At(int X, int Y) {
  return std::to_string(X) + " " + std::to_string(Y);
}

class FloatingToolbar : public e2e::DesktopProgramTest {
 protected:
  // The top left corner of a window's client area on the screen.
  static TPoint ClientOrigin(const std::string& Window) {
    std::istringstream g(
        Output("xwininfo -id " + Window + " | grep -E 'Absolute upper-left [XY]' | cut -d: -f2"));
    TPoint p;
    g >> p.X >> p.Y;
    return p;
  }
  // "Просмотр" dragged by its handle into the middle of the main window: its floating window's id.
  std::string FloatTheViewToolbar(const std::string& Main) {
    const TPoint origin = ClientOrigin(Main);
    const TPoint handle(origin.X + kViewHandleX, origin.Y + kToolbarRowY);
    Shell("xdotool mousemove " + At(handle.X, handle.Y) + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " +
          At(handle.X + 10, handle.Y + 60) + " sleep 0.1 mousemove " +
          At(origin.X + kMiddleX, origin.Y + kMiddleY) + " sleep 0.1 mouseup 1");
    return Await("^Просмотр$");
  }
  // A click on the close button of a floating toolbar's window: the press and release together, or
  // held a moment.
  static void ClickItsCloseButton(const std::string& Floating, bool Hold = false) {
    const int width = FrameOf(Floating).Width();
    Shell("xdotool mousemove --window " + Floating + " " + At(width - kCloseFromRight, kCloseFromTop) +
          (Hold ? " sleep 0.1 mousedown 1 sleep 0.1 mouseup 1" : " mousedown 1 mouseup 1"));
  }
  // The click after: "Файл" on the menu bar opens its menu (Escape closes it again).
  void FileMenuOpens(const std::string& Main) {
    Shell("xdotool mousemove --window " + Main + " " + At(kFileMenuX, kMenuBarY) + " mousedown 1 mouseup 1");
    EXPECT_TRUE(WaitFor([] { return OpenMenus() > 0; })) << "the click on \"Файл\" opened no menu";
    Keys(Main, "Escape");
    EXPECT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  }
};

// A toolbar dragged off its dock into the middle of the main window floats over the list there; its
// close button closes it: the click is the toolbar's, not the list's under it.
TEST_F(FloatingToolbar, AToolbarFloatingOverTheMainWindowTakesItsOwnClicks) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  const std::string floating = FloatTheViewToolbar(main);
  ASSERT_FALSE(floating.empty()) << "\"Просмотр\" did not float";
  const TRect frame = FrameOf(floating), mainFrame = FrameOf(main);
  TRect common;
  ASSERT_TRUE(IntersectRect(common, frame, mainFrame)) << "it floats clear of the main window";
  Picture("floating");
  // its caption drags it along, over the main window still
  const TPoint caption(frame.Left + frame.Width() / 2 - 10, frame.Top + kCloseFromTop);
  Shell("xdotool mousemove " + At(caption.X, caption.Y) + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " +
        At(caption.X + 20, caption.Y + 20) + " sleep 0.1 mousemove " + At(caption.X + 60, caption.Y + 40) +
        " sleep 0.1 mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return FrameOf(floating).Left == frame.Left + 60; }, 3000))
      << "the drag on its caption moved it to " << FrameOf(floating).Left << "," << FrameOf(floating).Top
      << " from " << frame.Left << "," << frame.Top;
  ClickItsCloseButton(floating);
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("^Просмотр$").empty(); }, 3000))
      << "the click on its close button left the toolbar floating";
  FileMenuOpens(main);
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The program closed with a toolbar floating over the main window and started again: the toolbar
// floats where it was, above the main window, and takes its clicks there.
TEST_F(FloatingToolbar, AToolbarFloatingAtTheEndFloatsAboveTheMainWindowAtTheNextStart) {
  std::string main = Main();
  ASSERT_FALSE(main.empty());
  ASSERT_FALSE(FloatTheViewToolbar(main).empty()) << "\"Просмотр\" did not float";
  Shell("wmctrl -i -c " + main);
  ASSERT_EQ(Exit(), 0) << Said();
  ASSERT_NE(Settings().find("\"DockedTo\"=\"+\""), std::string::npos) << Settings();
  Start();
  main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  const std::string floating = Await("^Просмотр$");
  ASSERT_FALSE(floating.empty()) << "\"Просмотр\" does not float";
  const auto above = [&] {
    const auto stack = e2e::Stacking();
    const auto at = [&](const std::string& Id) { return std::find(stack.begin(), stack.end(), Id); };
    return at(floating) != stack.end() && at(main) < at(floating);
  };
  const auto stacking = [&] {
    return Output("xprop -root _NET_CLIENT_LIST_STACKING") + "; the main window " + main + ", the toolbar " +
           floating;
  };
  EXPECT_TRUE(WaitFor(above, 3000)) << "at the start, stacked bottom first: " << stacking();
  // the window manager keeps it there when it raises the main window on its own
  Shell("xdotool windowraise " + main);
  EXPECT_FALSE(WaitFor([&] { return !above(); }, 1000))
      << "the main window raised, stacked bottom first: " << stacking();
  Picture("started-again");
  ClickItsCloseButton(floating, true);
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("^Просмотр$").empty(); }, 3000))
      << "the click on its close button (held) left the toolbar floating";
  FileMenuOpens(main);
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The toolbar "Сеансы" floating beside the main window, and the tray option on.
const std::string kFloatingSessionToolbar =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n"
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\ToolBarSession]\n\"Rev\"=\"2000\"\n\"Visible\"=\"1\"\n"
    "\"DockedTo\"=\"+\"\n\"LastDock\"=\"TBDockTop\"\n\"DockRow\"=\"1\"\n\"DockPos\"=\"215\"\n"
    "\"FloatLeft\"=\"700\"\n\"FloatTop\"=\"420\"\n\"FloatRightX\"=\"0\"\n";

bool Mapped(const std::string& Window) {
  return Output("xwininfo -id " + Window + " 2>/dev/null").find("IsViewable") != std::string::npos;
}
// The window the desktop holds active ("" for none).
std::string ActiveWindow() {
  const auto ids = e2e::WindowIds(Output("xprop -root _NET_ACTIVE_WINDOW 2>/dev/null"));
  return ids.empty() ? "" : ids.front();
}

class FloatingToolbarOnDesktops : public e2e::OnDesktops<FloatingToolbar> {};

// The main window sent to the tray and brought back by its icon, twelve times: each time the main
// window is the active one, never its floating toolbar, which the taskbar does not list. The desktop's
// close of the toolbar's window (as Alt+F4 on it) then closes the main window, and the toolbar is stored
// floating and shown.
TEST_P(FloatingToolbarOnDesktops, TheMainWindowIsActiveAfterTheTrayAndTheToolbarsCloseIsItsOwn) {
  constexpr int kCycles = 12, kStaysMs = 700;
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName();
  const std::string main = Main(kFloatingSessionToolbar);
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  const std::string toolbar = Await("^Сеансы$");
  ASSERT_FALSE(toolbar.empty()) << "the toolbar does not float";
  const std::string states = Output("xprop -id " + toolbar + " _NET_WM_STATE 2>/dev/null");
  EXPECT_NE(states.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << states;
  const auto saw = [&] {
    return "active " + ActiveWindow() + " (the main window " + main + ", the toolbar " + toolbar + ")";
  };
  int toolbarActive = 0;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    Shell("xdotool windowminimize " + main);
    ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && !Mapped(toolbar); }))
        << "cycle " << cycle << ": not in the tray";
    ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); }))
        << "cycle " << cycle << ": no icon";
    // the pointer comes to the icon from elsewhere, as a hand brings it
    Shell("xdotool mousemove 10 10 sleep 0.1 mousemove --window " + icon + " 5 5 sleep 0.1 click 1");
    ASSERT_TRUE(WaitFor([&] { return Mapped(main) && Mapped(toolbar); }))
        << "cycle " << cycle << ": not back from the tray: the main window "
        << (Mapped(main) ? "mapped" : "unmapped") << " ["
        << Output("xprop -id " + main + " WM_STATE _TALVIK_SHOWN 2>&1") << "], the toolbar "
        << (Mapped(toolbar) ? "mapped" : "unmapped");
    EXPECT_TRUE(WaitFor([&] { return ActiveWindow() == main; }, 3000)) << "cycle " << cycle << ": " << saw();
    if (WaitFor([&] { return ActiveWindow() == toolbar; }, kStaysMs)) {
      ++toolbarActive;
      ADD_FAILURE() << "cycle " << cycle << ": the toolbar took the activation: " << saw();
    }
  }
  EXPECT_EQ(toolbarActive, 0);
  Picture("back-from-the-tray");
  Shell("wmctrl -i -c " + toolbar);
  EXPECT_EQ(Exit(), 0) << "the desktop's close of the toolbar left the program running; the toolbar "
                       << (Mapped(toolbar) ? "shown" : "hidden");
  const std::string store = Settings();
  const std::string section = "[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\ToolBarSession]\n";
  const auto at = store.find(section);
  ASSERT_NE(at, std::string::npos) << store;
  const std::string stored = store.substr(at, store.find("\n[", at + 1) - at);
  EXPECT_NE(stored.find("\"Visible\"=\"1\""), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"DockedTo\"=\"+\""), std::string::npos) << stored;
}

INSTANTIATE_TEST_SUITE_P(FloatingToolbar, FloatingToolbarOnDesktops,
                         ::testing::Values(&e2e::kFluxbox, &e2e::kIcewm, &e2e::kOpenbox), e2e::DesktopName);

}  // namespace
