// The program on a desktop with a window manager (openbox) under a real X server: its windows closed
// by the user or the window manager while something else runs, the main window's frame standing
// where its Left and Top say, and its dialogs kept above the window they block, framed as their
// border asks.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;
using e2e::WindowNamed;

// Where things stand in the main window (relative to its top left corner).
constexpr int kSessionCloseX = 783, kSessionCloseY = 63;  // the session window's close button
constexpr int kConnectionsX = 90, kConnectionsY = 35;     // the connections box on "Соединения"
constexpr int kFirstRowY = 141;                           // the session list's first row
constexpr int kPopupSnapshot = 10;                        // "Снимок ..." in the list's popup menu
constexpr int kPopupKill = 9;                    // "Уничтожить сеанс" in the list's popup menu
constexpr int kHelpMenuX = 233, kMenuBarY = 10;  // "Помощь" on the menu bar

// The window a dialog is transient for ("" for none).
std::string TransientFor(const std::string& Window) {
  const auto ids = e2e::WindowIds(Output("xprop -id " + Window + " WM_TRANSIENT_FOR 2>/dev/null"));
  return ids.empty() ? "" : ids.front();
}
// The managed window the window manager stacks on top of the others.
std::string TopWindow() {
  const auto ids = e2e::Stacking();
  return ids.empty() ? "" : ids.back();
}
std::string ActiveWindow() {
  return Output("xdotool getactivewindow 2>/dev/null");
}

class Desktop : public e2e::DesktopProgramTest {
 protected:
  // Whether the program still runs (it has not crashed); one that ended is reaped, and forgotten.
  bool Running() {
    if (pid_ <= 0) return false;
    if (!childwait::WaitFor(pid_, std::chrono::milliseconds(0))) return true;
    pid_ = 0;
    return false;
  }
  // A click on the connections box of "Соединения": its list drops down.
  void DropTheConnectionsList(const std::string& Main) {
    ASSERT_FALSE(Main.empty());
    Shell("xdotool mousemove --window " + Main + " " + std::to_string(kConnectionsX) + " " +
          std::to_string(kConnectionsY) + " click 1");
    ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "the list did not drop";
  }
  // Clicks on the main window's session list (and on its menu bar) while the modal Dialog is up: the
  // dialog stays the top window and the active one, or comes back there within a second, and the main
  // window takes neither click.
  static void ClickingTheBlockedWindowKeepsTheDialogOnTop(const std::string& Main,
                                                          const std::string& Dialog) {
    for (const auto& [x, y] : {std::pair{150, kFirstRowY}, std::pair{kHelpMenuX, kMenuBarY}}) {
      Shell("xdotool mousemove --window " + Main + " " + std::to_string(x) + " " + std::to_string(y) +
            " click 1");
      EXPECT_TRUE(WaitFor([&] { return TopWindow() == Dialog && ActiveWindow() == Dialog; }, 1000))
          << "after a click at " << x << "," << y << ": on top " << TopWindow() << ", active "
          << ActiveWindow() << ", the dialog " << Dialog;
    }
    EXPECT_EQ(OpenMenus(), 0) << "the main window's menu opened under the dialog";
  }

  // What the window manager is told of a dialog's frame: no minimise, no maximise, one fixed size, the
  // dialog type; and what it then lets the user do with it.
  static void FramedAsADialog(const std::string& Dialog) {
    // "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = flags, functions, decorations, ..."
    const std::string motif = Output("xprop -id " + Dialog + " _MOTIF_WM_HINTS 2>/dev/null");
    std::vector<unsigned long> fields;
    if (const auto eq = motif.find('='); eq != std::string::npos) {
      std::istringstream list(motif.substr(eq + 1));
      for (std::string f; std::getline(list, f, ',');) fields.push_back(std::stoul(f, nullptr, 16));
    }
    constexpr unsigned long kFuncMinimize = 0x8, kFuncMaximize = 0x10, kDecorMinimize = 0x20,
                            kDecorMaximize = 0x40;
    ASSERT_GE(fields.size(), 3u) << motif;
    EXPECT_EQ(fields[1] & (kFuncMinimize | kFuncMaximize), 0u) << motif;
    EXPECT_EQ(fields[2] & (kDecorMinimize | kDecorMaximize), 0u) << motif;
    const std::string size = Output("xprop -id " + Dialog + " WM_NORMAL_HINTS 2>/dev/null");
    const auto line = [&](const std::string& Name) {
      const auto at = size.find(Name);
      return at == std::string::npos ? std::string()
                                     : size.substr(at + Name.size(), size.find('\n', at) - at - Name.size());
    };
    EXPECT_FALSE(line("minimum size: ").empty()) << size;
    EXPECT_EQ(line("minimum size: "), line("maximum size: ")) << size;
    EXPECT_NE(
        Output("xprop -id " + Dialog + " _NET_WM_WINDOW_TYPE 2>/dev/null").find("_NET_WM_WINDOW_TYPE_DIALOG"),
        std::string::npos);
    // (openbox keeps minimise in its window menu whatever a window asks; its button goes)
    const std::string allowed = Output("xprop -id " + Dialog + " _NET_WM_ALLOWED_ACTIONS 2>/dev/null");
    for (const char* action : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_RESIZE"})
      EXPECT_EQ(allowed.find(action), std::string::npos) << allowed;
    EXPECT_NE(allowed.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << allowed;
    // the desktop's maximise and a size asked of it are refused: the frame stays as it is
    const TRect frame = FrameOf(Dialog);
    Shell("wmctrl -i -r " + Dialog + " -b add,maximized_vert,maximized_horz");
    Shell("xdotool windowsize " + Dialog + " 600 500");
    EXPECT_FALSE(WaitFor([&] { return FrameOf(Dialog) != frame; }, 500))
        << FrameOf(Dialog).Width() << "x" << FrameOf(Dialog).Height();
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
  EXPECT_EQ(TransientFor(dialog), main);
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

// With the tray icon on and no notification area on the desktop, the desktop's minimise leaves the
// main window minimised where the window manager keeps it (listed, and brought back by it); once a
// notification area starts, the icon comes there, and minimising then sends the window to the tray,
// whose icon brings it back.
TEST_F(Desktop, WithoutANotificationAreaTheTrayIconsWindowMinimisesAsAnyAndTheIconComesWithAnArea) {
  const std::string main = Main("\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  ASSERT_FALSE(main.empty());
  const auto state = [&] { return Output("xprop -id " + main + " WM_STATE 2>/dev/null"); };
  const auto mapped = [&] { return Output("xwininfo -id " + main + " 2>/dev/null | grep 'Map State'"); };
  // (xprop writes the ids in hexadecimal)
  const auto listed = [&] {
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", std::stoul(main));
    const std::string clients = Output("xprop -root _NET_CLIENT_LIST 2>/dev/null") + ",";
    return clients.find(std::string(id) + ",") != std::string::npos;
  };
  Shell("xdotool windowminimize --sync " + main);
  EXPECT_TRUE(WaitFor([&] { return state().find("Iconic") != std::string::npos; })) << state() << mapped();
  EXPECT_TRUE(listed()) << "the window manager lists no such window";
  Picture("minimised-without-tray");
  Shell("wmctrl -i -a " + main);
  ASSERT_TRUE(WaitFor([&] { return !WindowNamed("^Talvik for Oracle").empty(); }))
      << "the window manager could not bring the window back: " << state() << mapped();
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  Shell("xdotool windowminimize --sync " + main);
  EXPECT_TRUE(WaitFor([&] {
    return state().find("Iconic") == std::string::npos && mapped().find("IsUnMapped") != std::string::npos;
  })) << state()
      << mapped();
  // A click on the icon the notification area shows (which, started after the program, may dock it
  // anew meanwhile, in a window of its own).
  bool back = false;
  for (int attempt = 0; attempt < 3 && !back; ++attempt) {
    ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
    Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
    back = WaitFor([&] { return !WindowNamed("^Talvik for Oracle").empty(); }, 5000);
  }
  EXPECT_TRUE(back) << "the window did not come back on screen";
  Picture("back-from-the-tray");
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The About box stays above the main window it blocks, as its dialog: a click on the main window
// leaves it on top and active; the desktop frames it with a close button only, at one size.
TEST_F(Desktop, TheAboutBoxStaysAboveTheMainWindowAndIsFramedAsADialog) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  Shell("xdotool mousemove --window " + main + " " + std::to_string(kHelpMenuX) + " " +
        std::to_string(kMenuBarY) + " click 1");
  Keys(main, "Down Return");
  const std::string about = Await("О программе");
  ASSERT_FALSE(about.empty()) << "no About box";
  EXPECT_EQ(TransientFor(about), main);
  FramedAsADialog(about);
  ClickingTheBlockedWindowKeepsTheDialogOnTop(main, about);
  Picture("about-box");
  Keys(about, "Return");
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("О программе").empty(); })) << "the box stayed";
  CloseByWindowManager(main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// A message box asked from the session window (the kill warning) stays above the main window too.
TEST_F(Desktop, AMessageBoxStaysAboveTheMainWindowAndIsFramedAsADialog) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty());
  Shell("xdotool mousemove --window " + main + " 150 " + std::to_string(kFirstRowY) + " click 3");
  std::string keys;
  for (int i = 0; i < kPopupKill; ++i) keys += " Down";
  Shell("xdotool key --delay 80" + keys + " Return");
  const std::string warning = Await("^Warning$");
  ASSERT_FALSE(warning.empty()) << "no warning";
  EXPECT_EQ(TransientFor(warning), main);
  FramedAsADialog(warning);
  ClickingTheBlockedWindowKeepsTheDialogOnTop(main, warning);
  Picture("message-box");
  Keys(warning, "Escape");
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("^Warning$").empty(); })) << "the box stayed";
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
