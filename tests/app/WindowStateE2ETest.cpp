// The main window's state as the desktop (openbox) gives it: maximised by its title bar or by the
// window manager, minimised and brought back, restored; closing keeps the state in the store with the
// last normal bounds, and the next start comes back as it was left.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
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

class WindowState : public e2e::DesktopProgramTest {
 protected:
  // Logs on as SYSTEM (prefilled) with the main window stored in State: the main window's id.
  std::string Main(int State) {
    Prefill("SYSTEM", "SIM", MainFormSection(State));
    Start();
    return LogOn("manager");
  }
  // A value of the store's "MainForm" section ("<none>" when it holds none).
  std::string Stored(const std::string& Name) {
    const std::string store = Settings();
    const std::string header = "[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n";
    const auto section = store.find(header);
    if (section == std::string::npos) return "<none>";
    const auto end = store.find("\n[", section + header.size());
    const std::string body = store.substr(section + header.size(), end - section - header.size());
    const std::string key = "\"" + Name + "\"=\"";
    const auto at = ("\n" + body).find("\n" + key);
    if (at == std::string::npos) return "<none>";
    const auto value = at + key.size();
    return body.substr(value, body.find('"', value) - value);
  }
  // The main window is shown maximised by the window manager, its frame filling the screen.
  static bool ShownMaximised(const std::string& Main) {
    return Maximised(Main) && FrameOf(Main) == Screen() &&
           Output("xwininfo -id " + Main + " 2>/dev/null").find("IsViewable") != std::string::npos;
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

}  // namespace
