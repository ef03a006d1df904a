// The main window's state as the desktop (openbox) gives it: maximised by its title bar or by the
// window manager, minimised and brought back, restored; closing keeps the state in the store with the
// last normal bounds, and the next start comes back as it was left.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::Stacking;
using e2e::WaitFor;

// The normal bounds a user left the main window at.
constexpr int kLeft = 60, kTop = 50, kWidth = 700, kHeight = 500;
const TRect kNormal(kLeft, kTop, kLeft + kWidth, kTop + kHeight);

// The store's "MainForm" section with those bounds and State.
std::string MainFormSection(int State) {
  return "\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"" + std::to_string(kLeft) +
         "\"\n\"Top\"=\"" + std::to_string(kTop) + "\"\n\"Width\"=\"" + std::to_string(kWidth) +
         "\"\n\"Height\"=\"" + std::to_string(kHeight) + "\"\n\"WindowState\"=\"" + std::to_string(State) +
         "\"\n";
}

std::string Text(const TRect& R) {
  return std::to_string(R.Left) + "," + std::to_string(R.Top) + " " + std::to_string(R.Width()) + "x" +
         std::to_string(R.Height());
}

// The screen's rectangle.
TRect Screen() {
  std::istringstream size(Output("xdotool getdisplaygeometry"));
  int width = 0, height = 0;
  size >> width >> height;
  return TRect(0, 0, width, height);
}

// The drag handle of "Просмотр" on the main window's top dock (client coordinates).
constexpr int kViewHandleX = 163, kViewHandleY = 34;

// The states the window manager gave a window (_NET_WM_STATE).
std::string DesktopState(const std::string& Window) {
  return Output("xprop -id " + Window + " _NET_WM_STATE 2>/dev/null");
}
bool Maximised(const std::string& Window) {
  const std::string state = DesktopState(Window);
  return state.find("_NET_WM_STATE_MAXIMIZED_VERT") != std::string::npos &&
         state.find("_NET_WM_STATE_MAXIMIZED_HORZ") != std::string::npos;
}

void SetMaximised(const std::string& Window, bool Maximise) {
  Shell("wmctrl -i -r " + Window + (Maximise ? " -b add" : " -b remove") + ",maximized_vert,maximized_horz");
}

// Where the title bar's minimise button of openbox's frame stands: left of the maximise and close
// buttons at the frame's top right.
constexpr int kMinimiseFromRight = 42, kButtonFromTop = 10;

class WindowState : public e2e::DesktopProgramTest {
 protected:
  // Logs on as SYSTEM (prefilled) with the main window stored in State: the main window's id.
  std::string Main(int State) {
    Prefill("SYSTEM", "SIM", MainFormSection(State));
    Start();
    return LogOn("manager");
  }
  // The main window is shown maximised by the window manager, its frame filling the screen.
  static bool ShownMaximised(const std::string& Main) {
    return Maximised(Main) && FrameOf(Main) == Screen() &&
           Output("xwininfo -id " + Main + " 2>/dev/null").find("IsViewable") != std::string::npos;
  }
  // A quick click on the title bar's minimise button, the pointer coming from the window's middle: a
  // pointer already there (from the click before) would not have entered the button.
  static void ClickMinimise(const std::string& Main) {
    const TRect frame = FrameOf(Main);
    Shell("xdotool mousemove " + std::to_string(frame.Left + frame.Width() / 2) + " " +
          std::to_string(frame.Top + frame.Height() / 2) + " mousemove " +
          std::to_string(frame.Right - kMinimiseFromRight) + " " +
          std::to_string(frame.Top + kButtonFromTop) + " click 1");
  }
  // The program closed by the window manager; the store then holds State and the normal bounds.
  void CloseAndExpectStored(const std::string& Main, const std::string& State) {
    Shell("wmctrl -i -c " + Main);
    ASSERT_EQ(Exit(), 0) << Said();
    std::string stored, expected;
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"WindowState", State},
                                      {"Left", std::to_string(kLeft)},
                                      {"Top", std::to_string(kTop)},
                                      {"Width", std::to_string(kWidth)},
                                      {"Height", std::to_string(kHeight)}}) {
      stored += " " + name + "=" + Stored(name);
      expected += " " + name + "=" + value;
    }
    EXPECT_EQ(stored, expected);
  }
};

// A double click on the title bar maximises the main window: closing then stores it as maximised and
// keeps the last normal bounds; the next start shows it maximised, on the screen.
TEST_F(WindowState, MaximisedByTheTitleBarItIsStoredSoAndTheNextStartMaximises) {
  std::string main = Main(0);
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return FrameOf(main) == kNormal; })) << Text(FrameOf(main));
  const TRect frame = FrameOf(main);
  const int titleY = frame.Top + 8;
  Shell("xdotool mousemove " + std::to_string(frame.Left + frame.Width() / 2) + " " + std::to_string(titleY) +
        " click --repeat 2 --delay 80 1");
  ASSERT_TRUE(WaitFor([&] { return ShownMaximised(main); }))
      << DesktopState(main) << " " << Text(FrameOf(main));
  Picture("maximised");
  ASSERT_NO_FATAL_FAILURE(CloseAndExpectStored(main, "2"));
  Start();
  main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  EXPECT_TRUE(WaitFor([&] { return ShownMaximised(main); }))
      << DesktopState(main) << " " << Text(FrameOf(main)) << " on a screen of " << Text(Screen());
  Picture("started-maximised");
  CloseAndExpectStored(main, "2");
}

// Started maximised, the main window goes down to an icon and comes back maximised; restored by the
// window manager it stands at its last normal bounds, which closing then stores as normal.
TEST_F(WindowState, AMaximisedWindowMinimisedComesBackMaximisedAndRestoresToItsNormalBounds) {
  const std::string main = Main(2);
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return ShownMaximised(main); }))
      << DesktopState(main) << " " << Text(FrameOf(main));
  Shell("xdotool windowminimize --sync " + main);
  ASSERT_TRUE(WaitFor([&] { return DesktopState(main).find("_NET_WM_STATE_HIDDEN") != std::string::npos; }))
      << DesktopState(main);
  Shell("wmctrl -i -a " + main);
  EXPECT_TRUE(WaitFor([&] {
    return ShownMaximised(main) && DesktopState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  })) << DesktopState(main)
      << " " << Text(FrameOf(main));
  SetMaximised(main, false);
  EXPECT_TRUE(WaitFor([&] { return !Maximised(main) && FrameOf(main) == kNormal; }))
      << DesktopState(main) << " " << Text(FrameOf(main));
  Picture("restored");
  CloseAndExpectStored(main, "0");
}

// A toolbar floated beside the main window (a double click on its drag handle) stays above it, shown,
// when the desktop maximises the main window under it, and when it restores the window again.
TEST_F(WindowState, AToolbarFloatingBesideTheMainWindowStaysAboveItMaximised) {
  Prefill("SYSTEM", "SIM",
          MainFormSection(0) +
              "\n[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\ToolBarView]\n\"Rev\"=\"2000\"\n"
              "\"Visible\"=\"1\"\n\"DockedTo\"=\"TBDockTop\"\n\"LastDock\"=\"TBDockTop\"\n\"DockRow\"=\"1\"\n"
              "\"DockPos\"=\"160\"\n\"FloatLeft\"=\"900\"\n\"FloatTop\"=\"100\"\n\"FloatRightX\"=\"0\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string toolbar;
  Shell("xdotool mousemove --window " + main + " " + std::to_string(kViewHandleX) + " " +
        std::to_string(kViewHandleY) + " click --repeat 2 --delay 80 1");
  ASSERT_TRUE(WaitFor([&] { return !(toolbar = e2e::WindowNamed("^Просмотр$")).empty(); }))
      << "the toolbar does not float";
  // the toolbar above the main window in the desktop's stacking order, and shown
  const auto above = [&] {
    const std::vector<std::string> order = Stacking();
    const auto m = std::find(order.begin(), order.end(), main),
               t = std::find(order.begin(), order.end(), toolbar);
    return m != order.end() && t > m && !e2e::WindowNamed("^Просмотр$").empty();
  };
  EXPECT_TRUE(WaitFor(above)) << Output("xprop -root _NET_CLIENT_LIST_STACKING") << " toolbar " << toolbar;
  SetMaximised(main, true);
  ASSERT_TRUE(WaitFor([&] { return ShownMaximised(main); })) << DesktopState(main);
  EXPECT_TRUE(WaitFor(above)) << Output("xprop -root _NET_CLIENT_LIST_STACKING") << " toolbar " << toolbar;
  Picture("maximised-under-the-toolbar");
  SetMaximised(main, false);
  ASSERT_TRUE(WaitFor([&] { return FrameOf(main) == kNormal; })) << Text(FrameOf(main));
  EXPECT_TRUE(WaitFor(above)) << Output("xprop -root _NET_CLIENT_LIST_STACKING") << " toolbar " << toolbar;
  CloseAndExpectStored(main, "0");
}

// The screen's work area: what a window maximised fills (the screen less the desktop's panels).
TRect WorkArea() {
  std::string area = Output("xprop -root _NET_WORKAREA 2>/dev/null");
  std::replace(area.begin(), area.end(), ',', ' ');
  const auto eq = area.find('=');
  if (eq == std::string::npos) return Screen();
  std::istringstream values(area.substr(eq + 1));
  int x = 0, y = 0, width = 0, height = 0;
  values >> x >> y >> width >> height;
  return TRect(x, y, x + width, y + height);
}

// The main window on the desktops besides openbox.
constexpr int kTitleY = 8;  // a point of the title bar, below the frame's top
class WindowStateOnDesktops : public e2e::OnDesktops<WindowState> {
 protected:
  // The main window maximised by the desktop, its frame covering the work area (some desktops put a
  // maximised window's borders beyond its edges).
  static bool MaximisedThere(const std::string& Main) {
    TRect covered;
    return Maximised(Main) && IntersectRect(covered, FrameOf(Main), WorkArea()) && covered == WorkArea() &&
           Output("xwininfo -id " + Main + " 2>/dev/null").find("IsViewable") != std::string::npos;
  }
  // The main window stands in its normal state at its normal bounds, and stays there a while (the
  // program does not move it back afterwards).
  static bool StaysNormal(const std::string& Main) {
    constexpr int kStaysMs = 1500;
    const auto there = [&] { return !Maximised(Main) && FrameOf(Main) == kNormal; };
    return WaitFor(there) && !WaitFor([&] { return !there(); }, kStaysMs);
  }
};

// Maximised and restored by the desktop (a double click on the title bar, then another), twice, the
// main window comes back to its normal bounds each time and stays there; closing then stores them as
// the normal ones.
TEST_P(WindowStateOnDesktops, RestoredByTheDesktopItStandsAtItsNormalBoundsAndStoresThem) {
  const std::string main = Main(0);
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return FrameOf(main) == kNormal; })) << Text(FrameOf(main));
  const auto doubleClickTheTitle = [&] {
    const TRect frame = FrameOf(main);
    Shell("xdotool mousemove " + std::to_string(frame.Left + frame.Width() / 2) + " " +
          std::to_string(std::max(0, frame.Top) + kTitleY) + " click --repeat 2 --delay 80 1");
  };
  for (int time = 1; time <= 2; ++time) {
    doubleClickTheTitle();
    ASSERT_TRUE(WaitFor([&] { return MaximisedThere(main); }))
        << "maximised, time " << time << ": " << DesktopState(main) << " " << Text(FrameOf(main)) << " in "
        << Text(WorkArea());
    doubleClickTheTitle();
    ASSERT_TRUE(StaysNormal(main)) << "restored, time " << time << ": " << DesktopState(main) << " "
                                   << Text(FrameOf(main)) << ", not " << Text(kNormal);
  }
  Picture("restored");
  CloseAndExpectStored(main, "0");
}

INSTANTIATE_TEST_SUITE_P(WindowState, WindowStateOnDesktops,
                         ::testing::Values(&e2e::kIcewm, &e2e::kMetacityTint2, &e2e::kXfwm4Tint2),
                         e2e::DesktopName);

// The tray option on.
const std::string kTrayOption = "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n";
// The toolbar "Сеансы" floating at 700,420 beside the main window.
const std::string kSessionToolbarFloating =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\ToolBarSession]\n\"Rev\"=\"2000\"\n\"Visible\"=\"1\"\n"
    "\"DockedTo\"=\"+\"\n\"LastDock\"=\"TBDockTop\"\n\"DockRow\"=\"1\"\n\"DockPos\"=\"215\"\n"
    "\"FloatLeft\"=\"700\"\n\"FloatTop\"=\"420\"\n\"FloatRightX\"=\"0\"\n";
// The toolbar floating, and the tray option on.
const std::string kFloatingSessionToolbar = kTrayOption + kSessionToolbarFloating;
constexpr int kFloatLeft = 700, kFloatTop = 420;

bool Mapped(const std::string& Window) {
  return Output("xwininfo -id " + Window + " 2>/dev/null").find("IsViewable") != std::string::npos;
}
// Whether the program's window layer shows a window, as it tells the display (_TALVIK_SHOWN).
std::string LayerShown(const std::string& Window) {
  const std::string said = Output("xprop -id " + Window + " _TALVIK_SHOWN 2>/dev/null");
  const auto eq = said.find("= ");
  return eq == std::string::npos ? "?" : said.substr(eq + 2);
}
// The layer's visibility beside the display's mapping ("1/mapped", "0/unmapped").
std::string Showing(const std::string& Window) {
  return LayerShown(Window) + "/" + (Mapped(Window) ? "mapped" : "unmapped");
}
bool LayerAgrees(const std::string& Window) {
  return LayerShown(Window) == (Mapped(Window) ? "1" : "0");
}

// The menu bar's "Сеансы" (client coordinates of the main window), and where its menu drops: just
// under the menu bar, from the item's left.
constexpr int kSessionsX = 180, kMenuBarY = 10;
constexpr int kSessionsMenuLeftFrom = 140, kSessionsMenuLeftTo = 180, kMenuTopFrom = 15, kMenuTopTo = 30;

// The top left corner of a window's client area on the screen.
TPoint ClientOrigin(const std::string& Window) {
  std::istringstream g(
      Output("xwininfo -id " + Window + " | grep -E 'Absolute upper-left [XY]' | cut -d: -f2"));
  TPoint p;
  g >> p.X >> p.Y;
  return p;
}

// The main window on metacity (with a tint2 panel), which keeps a window it maps on the screen and
// frames it where it stood when it went.
class WindowPlace : public e2e::OnDesktops<WindowState> {
 protected:
  // "Сеансы" clicked on the menu bar: where its menu drops, from the main window's client area's
  // corner ("" when none drops).
  std::string SessionsMenuDrops(const std::string& Main) {
    Shell("xdotool mousemove --window " + Main + " " + std::to_string(kSessionsX) + " " +
          std::to_string(kMenuBarY) + " click 1");
    std::string menu;
    WaitFor([&] { return !(menu = OpenMenu()).empty(); });
    TPoint at = ClientOrigin(menu), origin = ClientOrigin(Main);
    Keys(Main, "Escape");
    EXPECT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
    return menu.empty() ? "" : std::to_string(at.X - origin.X) + "," + std::to_string(at.Y - origin.Y);
  }
  static bool UnderTheMenuBar(const std::string& Drop) {
    std::istringstream at(Drop);
    int x = 0, y = 0;
    char comma = 0;
    return at >> x >> comma >> y && x >= kSessionsMenuLeftFrom && x <= kSessionsMenuLeftTo &&
           y >= kMenuTopFrom && y <= kMenuTopTo;
  }
  // The program's open menu: an unmanaged window of its own, larger than an icon ("" when none).
  static std::string OpenMenu() {
    std::istringstream ids(Output("xdotool search --onlyvisible --classname '^talvik$' 2>/dev/null"));
    for (std::string id; std::getline(ids, id);)
      if (!Output("xwininfo -id " + id + " 2>/dev/null | grep 'Override Redirect State: yes'").empty() &&
          FrameOf(id).Width() > kLargestTrayIcon && FrameOf(id).Height() > kLargestTrayIcon)
        return id;
    return "";
  }
};

// A main window stored partly off the screen, which the desktop moves onto it as it maps it: the
// program takes the place the desktop gave, and its menus drop under its menu bar there; five trips to
// the tray (the desktop's minimise, one click on the icon) leave it where it stood, its menus dropping
// there still.
TEST_P(WindowPlace, TheMainWindowStandsWhereTheDesktopPutItThroughTripsToTheTrayWithItsMenusUnderItsMenuBar) {
  constexpr int kTrips = 5, kStaysMs = 1000;
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName();
  Prefill("SYSTEM", "SIM",
          "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n"
          "\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"900\"\n\"Top\"=\"700\"\n"
          "\"Width\"=\"800\"\n\"Height\"=\"600\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  TRect inside;
  ASSERT_TRUE(WaitFor([&] {
    return Mapped(main) && IntersectRect(inside, FrameOf(main), WorkArea()) && inside == FrameOf(main);
  })) << "the desktop left the main window at "
      << Text(FrameOf(main));
  const TRect place = FrameOf(main);
  std::string drop = SessionsMenuDrops(main);
  EXPECT_TRUE(UnderTheMenuBar(drop)) << "\"Сеансы\" drops at " << drop
                                     << " from the client area of the main window at " << Text(place);
  for (int trip = 1; trip <= kTrips; ++trip) {
    Shell("xdotool windowminimize " + main);
    ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && LayerShown(main) == "0"; }))
        << "trip " << trip << ": not in the tray";
    ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); }))
        << "trip " << trip << ": no icon";
    Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
    ASSERT_TRUE(WaitFor([&] { return Mapped(main) && LayerShown(main) == "1"; }))
        << "trip " << trip << ": not back";
    // it comes back where it stood, and nothing moves it meanwhile
    TRect moved;
    EXPECT_FALSE(WaitFor([&] { return (moved = FrameOf(main)) != place; }, kStaysMs))
        << "trip " << trip << ": the main window at " << Text(moved) << ", not " << Text(place);
  }
  drop = SessionsMenuDrops(main);
  EXPECT_TRUE(UnderTheMenuBar(drop)) << "after the trips, \"Сеансы\" drops at " << drop
                                     << " from the client area of the main window at " << Text(FrameOf(main));
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

INSTANTIATE_TEST_SUITE_P(WindowState, WindowPlace, ::testing::Values(&e2e::kMetacityTint2), e2e::DesktopName);

// The notification area ended and started again (with the window manager, where that holds it) while
// the main window, maximised, is hidden in it: one click on the new area's icon brings it back
// maximised, and closing stores it so.
class TrayRestarts : public WindowStateOnDesktops {};

TEST_P(TrayRestarts, AMaximisedWindowHiddenInTheTrayComesBackMaximisedByOneClickOnTheNewAreasIcon) {
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName();
  Prefill("SYSTEM", "SIM", MainFormSection(2) + kTrayOption);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  ASSERT_TRUE(WaitFor([&] { return MaximisedThere(main); }))
      << DesktopState(main) << " " << Text(FrameOf(main));
  Shell("xdotool windowminimize " + main);
  ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && LayerShown(main) == "0"; })) << "not in the tray";
  ASSERT_TRUE(EndTrayHost()) << TrayHostName() << " does not end";
  // the program finds the area gone, and leaves its window down to an icon (there is nothing to bring
  // it back from) before the new area starts
  ASSERT_TRUE(WaitFor([&] { return LayerShown(main) == "1"; }))
      << "the area gone, the main window " << Showing(main) << " [" << DesktopState(main) << "]";
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName() << " the second time";
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the new tray";
  ASSERT_TRUE(WaitFor([&] { return DesktopState(main).find("_NET_WM_STATE_HIDDEN") != std::string::npos; }))
      << "the main window " << Showing(main) << " [" << DesktopState(main) << "] at " << Text(FrameOf(main));
  Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
  EXPECT_TRUE(WaitFor([&] {
    return MaximisedThere(main) && DesktopState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos &&
           LayerShown(main) == "1";
  })) << "one click on the new icon: the main window "
      << Showing(main) << " [" << DesktopState(main) << "] at " << Text(FrameOf(main)) << ", "
      << Output("xprop -id " + main + " WM_STATE 2>&1");
  Shell("wmctrl -i -c " + main);
  ASSERT_EQ(Exit(), 0) << Said();
  EXPECT_EQ(Stored("WindowState"), "2");
}

INSTANTIATE_TEST_SUITE_P(WindowState, TrayRestarts,
                         ::testing::Values(&e2e::kIcewm, &e2e::kMetacityTint2, &e2e::kXfwm4Tint2),
                         e2e::DesktopName);

// A value of a toolbar's stored section ("<none>" when it holds none).
std::string StoredOf(const std::string& Store, const std::string& Toolbar, const std::string& Name) {
  const std::string header = "[HKEY_CURRENT_USER\\Software\\Talvik\\Toolbars\\" + Toolbar + "]\n";
  const auto section = Store.find(header);
  if (section == std::string::npos) return "<none>";
  const std::string body = Store.substr(section + header.size(), Store.find("\n[", section + 1) - section);
  const std::string key = "\n\"" + Name + "\"=\"";
  const auto at = ("\n" + body).find(key);
  if (at == std::string::npos) return "<none>";
  const auto value = at + key.size() - 1;
  return body.substr(value, body.find('"', value) - value);
}

// The main window (stored maximised or normal) sent to the tray by a quick click on its title bar's
// minimise button and brought back by one quick click on the icon, fifty times: each time it comes
// back mapped in the state it had, the floating toolbar with it where it stood, whole, and the
// window layer shows what the display maps; closing then stores what stood.
class TrayCycles : public WindowState, public ::testing::WithParamInterface<int> {};

TEST_P(TrayCycles, TheMainWindowAndItsFloatingToolbarComeBackFromTheTrayAsTheyWereEveryTime) {
  constexpr int kCycles = 50;
  const int state = GetParam();
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  Prefill("SYSTEM", "SIM", MainFormSection(state) + kFloatingSessionToolbar);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string icon, toolbar;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  const auto inState = [&] {
    return state == 2 ? ShownMaximised(main) : Mapped(main) && FrameOf(main) == kNormal;
  };
  ASSERT_TRUE(WaitFor(inState)) << DesktopState(main) << " " << Text(FrameOf(main));
  ASSERT_TRUE(WaitFor([&] { return !(toolbar = e2e::WindowNamed("^Сеансы$")).empty(); }))
      << "the toolbar does not float";
  ASSERT_TRUE(WaitFor([&] {
    return FrameOf(toolbar).Left == kFloatLeft && FrameOf(toolbar).Top == kFloatTop;
  })) << Text(FrameOf(toolbar));
  const TRect toolbarFrame = FrameOf(toolbar);
  const auto whole = [&] {
    return Mapped(main) && inState() &&
           DesktopState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos && Mapped(toolbar) &&
           FrameOf(toolbar) == toolbarFrame && LayerAgrees(main) && LayerAgrees(toolbar);
  };
  const auto saw = [&] {
    return "the main window " + Showing(main) + " [" + DesktopState(main) + "] at " + Text(FrameOf(main)) +
           ", the toolbar " + Showing(toolbar) + " at " + Text(FrameOf(toolbar)) + " (it stood at " +
           Text(toolbarFrame) + ")";
  };
  // the map and unmap events and the states of the cycle of both windows, as the server told them
  e2e::WindowEvents mainEvents, toolbarEvents;
  const auto sawOfToolbar = [&] {
    return saw() + "; the toolbar's WM_STATE " + Output("xprop -id " + toolbar + " WM_STATE 2>&1") +
           ", its events this cycle: " + toolbarEvents.Told() + "; the main window's: " + mainEvents.Told();
  };
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    mainEvents.Watch(std::stoul(main));
    toolbarEvents.Watch(std::stoul(toolbar));
    ClickMinimise(main);
    ASSERT_TRUE(WaitFor([&] { return !Mapped(main); }))
        << "cycle " << cycle << ": the title bar's minimise button left " << saw();
    ASSERT_TRUE(WaitFor([&] { return LayerAgrees(main) && LayerAgrees(toolbar); }))
        << "cycle " << cycle << ", in the tray: " << sawOfToolbar();
    ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); }))
        << "cycle " << cycle << ": no icon in the tray";
    Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
    ASSERT_TRUE(WaitFor(whole)) << "cycle " << cycle << ", one click on the icon (" << icon
                                << "): " << sawOfToolbar();
  }
  Picture("after-the-cycles");
  Shell("wmctrl -i -c " + main);
  ASSERT_EQ(Exit(), 0) << Said();
  const std::string store = Settings();
  std::string stored;
  for (const char* name : {"WindowState", "Left", "Top", "Width", "Height"}) stored += " " + Stored(name);
  for (const char* name : {"Visible", "DockedTo", "FloatLeft", "FloatTop"})
    stored += " " + StoredOf(store, "ToolBarSession", name);
  EXPECT_EQ(stored, " " + std::to_string(state) + " " + std::to_string(kLeft) + " " + std::to_string(kTop) +
                        " " + std::to_string(kWidth) + " " + std::to_string(kHeight) + " 1 + " +
                        std::to_string(kFloatLeft) + " " + std::to_string(kFloatTop));
}

INSTANTIATE_TEST_SUITE_P(WindowState, TrayCycles, ::testing::Values(2, 0),
                         [](const ::testing::TestParamInfo<int>& Info) {
                           return std::string(Info.param == 2 ? "Maximised" : "Normal");
                         });

// Whether the window manager shows its window menu (openbox's menus: windows of its own, without a
// name or class, mapped over the root window).
bool WindowMenuOpen() {
  std::istringstream children(Output("xwininfo -root -children 2>/dev/null"));
  for (std::string line; std::getline(children, line);) {
    if (line.find("(has no name): ()") == std::string::npos || line.find(" 1x1+") != std::string::npos)
      continue;
    std::istringstream id(line);
    std::string window;
    id >> window;
    if (Mapped(window)) return true;
  }
  return false;
}

// The main window minimised through the window manager's window menu, by its keys as a user gives
// them (Alt+Space, then the underlined letter of "Iconify" and Return), with a toolbar floating beside
// it, the tray option on (a notification area there) or off, the window maximised or normal: it stays
// down (in the tray, or as the desktop's icon), and the program activates none of its windows.
struct WindowMenuCase {
  bool tray;
  int state;
};

class WindowMenuMinimise : public WindowState, public ::testing::WithParamInterface<WindowMenuCase> {};

TEST_P(WindowMenuMinimise, TheWindowMenusIconifyHolds) {
  constexpr int kHoldsMs = 2000;
  const WindowMenuCase c = GetParam();
  if (c.tray) {
    ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  }
  Prefill("SYSTEM", "SIM",
          MainFormSection(c.state) + (c.tray ? kTrayOption : std::string()) + kSessionToolbarFloating);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string toolbar;
  if (c.tray) {
    ASSERT_TRUE(WaitFor([&] { return !TrayIconWindow().empty(); })) << "no icon in the tray";
  }
  ASSERT_TRUE(WaitFor([&] {
    return c.state == 2 ? ShownMaximised(main) : Mapped(main) && FrameOf(main) == kNormal;
  })) << DesktopState(main)
      << " " << Text(FrameOf(main));
  ASSERT_TRUE(WaitFor([&] { return !(toolbar = e2e::WindowNamed("^Сеансы$")).empty(); }))
      << "the toolbar does not float";
  Keys(main, "alt+space");
  ASSERT_TRUE(WaitFor(WindowMenuOpen)) << "Alt+Space opened no window menu";
  // the user reads the menu: the program, no longer active, has hidden its floating toolbar meanwhile
  // (and shows it again as the menu hands the focus back, just before the manager iconifies)
  constexpr int kReadingMs = 3000;
  WaitFor([&] { return !Mapped(toolbar); }, kReadingMs);
  Shell("xdotool key --delay 100 n Return");
  const auto down = [&] {
    const std::string wmState = Output("xprop -id " + main + " WM_STATE 2>/dev/null");
    return !Mapped(main) && (c.tray || wmState.find("Iconic") != std::string::npos);
  };
  const auto saw = [&] {
    return "the main window " + Showing(main) + " [" + Output("xprop -id " + main + " WM_STATE 2>&1") + " " +
           DesktopState(main) + "], the toolbar " + Showing(toolbar) + ", the active window " +
           Output("xprop -root _NET_ACTIVE_WINDOW 2>&1") + " (the main window " + main + ")";
  };
  ASSERT_TRUE(WaitFor(down)) << "the window menu's Iconify left " << saw();
  EXPECT_FALSE(WaitFor([&] { return !down(); }, kHoldsMs)) << "it came back: " << saw();
  EXPECT_NE(e2e::WindowIds(Output("xprop -root _NET_ACTIVE_WINDOW 2>/dev/null")),
            std::vector<std::string>{main})
      << saw();
  Picture("iconified");
  // brought back by the user (a click on the icon, the window manager's activation), it closes
  if (c.tray)
    Shell("xdotool mousemove --window " + TrayIconWindow() + " 10 10 click 1");
  else
    Shell("wmctrl -i -a " + main);
  ASSERT_TRUE(WaitFor([&] { return Mapped(main); })) << "not brought back: " << saw();
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

INSTANTIATE_TEST_SUITE_P(WindowState, WindowMenuMinimise,
                         ::testing::Values(WindowMenuCase{true, 2}, WindowMenuCase{true, 0},
                                           WindowMenuCase{false, 2}, WindowMenuCase{false, 0}),
                         [](const ::testing::TestParamInfo<WindowMenuCase>& Info) {
                           return std::string(Info.param.tray ? "TrayOn" : "TrayOff") +
                                  (Info.param.state == 2 ? "Maximised" : "Normal");
                         });

// With the tray option on and no notification area, the main window minimised by its title bar goes
// down to an icon of the desktop; brought back by the window manager's activation (its window list),
// its floating toolbar shows again with it, each of twenty times.
TEST_F(WindowState, AFloatingToolbarShowsAgainWithTheMainWindowRestoredByTheWindowManager) {
  constexpr int kCycles = 20, kActivationMs = 500;
  ASSERT_TRUE(WaitFor([] { return e2e::ScreenSelectionOwner(e2e::kTraySelection) == 0; }))
      << "a notification area is still there";
  Prefill("SYSTEM", "SIM", MainFormSection(0) + kFloatingSessionToolbar);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string toolbar;
  ASSERT_TRUE(WaitFor([&] { return Mapped(main) && FrameOf(main) == kNormal; })) << Text(FrameOf(main));
  ASSERT_TRUE(WaitFor([&] { return !(toolbar = e2e::WindowNamed("^Сеансы$")).empty(); }))
      << "the toolbar does not float";
  ASSERT_TRUE(WaitFor([&] {
    return FrameOf(toolbar).Left == kFloatLeft && FrameOf(toolbar).Top == kFloatTop;
  })) << Text(FrameOf(toolbar));
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    ClickMinimise(main);
    ASSERT_TRUE(WaitFor([&] { return DesktopState(main).find("_NET_WM_STATE_HIDDEN") != std::string::npos; }))
        << "cycle " << cycle << ": not minimised: " << DesktopState(main);
    ASSERT_TRUE(WaitFor([&] { return !Mapped(toolbar); }))
        << "cycle " << cycle << ": the toolbar stays shown";
    Shell("wmctrl -i -a " + main);
    ASSERT_TRUE(WaitFor([&] { return Mapped(main) && Mapped(toolbar) && LayerAgrees(toolbar); }))
        << "cycle " << cycle << ", activated by the window manager: the main window " << Showing(main) << " ["
        << DesktopState(main) << "], the toolbar " << Showing(toolbar);
    // the program activates its window as it comes back: a minimise given before that activation
    // reached the window manager would be undone by it
    std::this_thread::sleep_for(std::chrono::milliseconds(kActivationMs));
  }
  CloseAndExpectStored(main, "0");
}

// The main window hidden in the notification area, by its title bar's minimise (maximised or normal)
// or by the tray menu's "Скрыть" (a maximised window covers the panel), shows again the same way when the
// area goes away: mapped down to an icon from the start (an iconic initial state, which window managers
// honour), not activated, and it stays so; the window manager's activation then brings it back in the state
// it had.
struct TrayGoneCase {
  bool titleBar;
  int state;
};

class TrayGoes : public WindowState, public ::testing::WithParamInterface<TrayGoneCase> {};

TEST_P(TrayGoes, TheWindowHiddenInTheTrayShowsAgainMinimisedWhicheverWayItWentThere) {
  constexpr int kHoldsMs = 2000;
  const TrayGoneCase c = GetParam();
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  Prefill("SYSTEM", "SIM", MainFormSection(c.state) + kTrayOption);
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  const auto inState = [&] {
    return (c.state == 2 ? ShownMaximised(main) : Mapped(main) && FrameOf(main) == kNormal) &&
           DesktopState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  };
  ASSERT_TRUE(WaitFor(inState)) << DesktopState(main) << " " << Text(FrameOf(main));
  if (c.titleBar) {
    ClickMinimise(main);
  } else {
    // the tray menu: "Показать", "Скрыть", a line, "Выход"
    Shell("xdotool mousemove --window " + icon + " 10 10 click 3");
    ASSERT_TRUE(WaitFor([] { return OpenMenus() > 0; })) << "no tray menu";
    Shell("xdotool key --delay 50 Down Down Return");
  }
  ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && LayerShown(main) == "0"; }))
      << "not in the tray: the main window " << Showing(main);
  const std::string activeInTray = Output("xprop -root _NET_ACTIVE_WINDOW 2>&1");
  childwait::End(trayHost_, "the notification area (trayer)", SIGTERM, childwait::kEndPatience);
  const auto wmState = [&] { return Output("xprop -id " + main + " WM_STATE 2>&1"); };
  const auto iconic = [&] {
    return LayerShown(main) == "1" && !Mapped(main) && wmState().find("Iconic") != std::string::npos;
  };
  const auto saw = [&] {
    return "the main window " + Showing(main) + " [" + wmState() + " " + DesktopState(main) +
           "], the active window " + Output("xprop -root _NET_ACTIVE_WINDOW 2>&1") + " (the main window " +
           main + "; in the tray " + activeInTray + ")";
  };
  EXPECT_TRUE(WaitFor(iconic)) << "the notification area gone: " << saw();
  EXPECT_NE(Output("xprop -id " + main + " WM_HINTS 2>&1").find("Initial state is Iconic State"),
            std::string::npos)
      << "it was mapped with " << Output("xprop -id " + main + " WM_HINTS 2>&1");
  EXPECT_FALSE(WaitFor([&] { return !iconic(); }, kHoldsMs)) << "it did not stay down: " << saw();
  // (the window manager may still name the window it last had active, hidden since)
  const std::string active = Output("xprop -root _NET_ACTIVE_WINDOW 2>&1");
  EXPECT_TRUE(active == activeInTray || e2e::WindowIds(active) != std::vector<std::string>{main})
      << "activated: " << saw();
  Picture("tray-gone");
  Shell("wmctrl -i -a " + main);
  EXPECT_TRUE(WaitFor(inState)) << "activated by the window manager: " << saw() << " at "
                                << Text(FrameOf(main));
  CloseAndExpectStored(main, std::to_string(c.state));
}

INSTANTIATE_TEST_SUITE_P(WindowState, TrayGoes,
                         ::testing::Values(TrayGoneCase{true, 2}, TrayGoneCase{true, 0},
                                           TrayGoneCase{false, 0}),
                         [](const ::testing::TestParamInfo<TrayGoneCase>& Info) {
                           return std::string(Info.param.titleBar ? "TitleBar" : "TrayMenu") +
                                  (Info.param.state == 2 ? "Maximised" : "Normal");
                         });

// The notification area going away while the main window is hidden in it: the window shows again, the
// window manager lists it, and its icon comes back with the next area.
TEST_F(WindowState, TheMainWindowHiddenInTheTrayShowsAgainWhenTheTrayGoes) {
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  Prefill("SYSTEM", "SIM",
          MainFormSection(0) + "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(WaitFor([&] { return !TrayIconWindow().empty(); })) << "no icon in the tray";
  ASSERT_TRUE(WaitFor([&] { return Mapped(main) && FrameOf(main) == kNormal; })) << Text(FrameOf(main));
  Shell("xdotool windowminimize " + main);
  ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && LayerShown(main) == "0"; })) << "not in the tray";
  childwait::End(trayHost_, "the notification area (trayer)", SIGTERM, childwait::kEndPatience);
  // (the window manager manages it: it gave it a state, shown or down to an icon in its list)
  const auto listed = [&] {
    return Output("xprop -id " + main + " WM_STATE 2>/dev/null").find("window state:") != std::string::npos;
  };
  EXPECT_TRUE(WaitFor([&] { return listed() && LayerShown(main) == "1"; }))
      << "the window manager's state of the main window: " << Output("xprop -id " + main + " WM_STATE 2>&1")
      << "; the main window " << Showing(main);
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer) the second time";
  EXPECT_TRUE(WaitFor([&] { return !TrayIconWindow().empty(); })) << "no icon in the next tray";
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

// The tray menu's "Скрыть", then the notification area goes away: the window comes back down to an
// icon of the desktop and, restored, its session list shows its rows again, as after "Показать".
TEST_F(WindowState, AWindowHiddenByTheTrayMenuComesBackWithItsSessionsWhenTheTrayGoes) {
  // sessions of the test's own, listed beside the program's: rows below the current one show the
  // list's colours
  const e2e::SystemConnection others[3];
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  Prefill("SYSTEM", "SIM",
          MainFormSection(0) + "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty());
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  ASSERT_TRUE(WaitFor([&] { return Mapped(main) && OddRowPixels(main) > 0; })) << "no session list";
  // "Показать", "Скрыть", a line, "Выход"
  Shell("xdotool mousemove --window " + icon + " 10 10 click 3");
  ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "no tray menu";
  Shell("xdotool key --delay 50 Down Down Return");
  ASSERT_TRUE(WaitFor([&] { return !Mapped(main) && LayerShown(main) == "0"; }))
      << "\"Скрыть\" left the main window " << Showing(main);
  childwait::End(trayHost_, "the notification area (trayer)", SIGTERM, childwait::kEndPatience);
  ASSERT_TRUE(WaitFor([&] { return LayerShown(main) == "1"; }))
      << "the tray went: the main window " << Showing(main) << " [" << DesktopState(main) << "]";
  Shell("wmctrl -i -a " + main);
  ASSERT_TRUE(WaitFor([&] {
    return Mapped(main) && DesktopState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  })) << "not restored: the main window "
      << Showing(main) << " [" << DesktopState(main) << "]";
  EXPECT_TRUE(WaitFor([&] { return OddRowPixels(main) > 0; })) << "restored, the list shows its titles only";
  Picture("restored-after-the-tray-went");
  Shell("wmctrl -i -c " + main);
  EXPECT_EQ(Exit(), 0) << Said();
}

}  // namespace
