// Shared helpers of the real-input tests (run through xvfb-run -a): bounded shell commands for xdotool,
// waiting on a state with a time-out while our messages are pumped, and the screenshot folder.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "rtl/TempDir.h"
#include "tests/ChildWait.h"

namespace x11test {

inline constexpr int kTimeoutMs = 8000;

// A shell command (xdotool, xwininfo, xprop) run to its end, bounded: one still running after Patience
// is killed with what it started, and fails the test. Whether it succeeded.
inline bool Shell(const std::string& command, std::chrono::milliseconds patience = childwait::kEndPatience) {
  return childwait::RunShell(command + " >/dev/null 2>&1", nullptr, patience) == 0;
}

// The display's keyboard back to the plain US layout with no options: a test that switched layouts
// or gave a key a layout's job (the menu key toggling groups) leaves the keys as the next test expects
// them. `setxkbmap us` alone would keep the options.
inline bool UsKeyboard() {
  return Shell("setxkbmap -layout us -variant '' -option ''");
}

// What a shell command prints to its standard output, bounded as Shell is ("" when it cannot run).
inline std::string Output(const std::string& command,
                          std::chrono::milliseconds patience = childwait::kEndPatience) {
  std::string out;
  childwait::RunShell(command, &out, patience);
  return out;
}

// Pumps our messages (unless Pump is false) until Done holds or the time-out passes.
inline bool WaitFor(const std::function<bool()>& Done, bool Pump = true) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (Pump) Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Our windows shown through the toolkit on the X server (the xcb platform), with the application made.
inline void StartToolkit() {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  talvik::gui::UseQtBackend();
  CreateApplication();
}

// Our messages handled a few rounds, for what the X server sent back to arrive.
inline void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

// Whether the top-level X window named Name shows on the screen (mapped, and under a window manager
// placed by it) with its top left corner where the window layer says Window's is: clicks aimed at
// the places the window layer tells then land there.
inline bool ShowsWhereItIsSaidToBe(const std::string& Name, HWND Window) {
  const std::string info = Output("xwininfo -name '" + Name + "' 2>/dev/null");
  const auto field = [&](const std::string& Label) {
    const auto at = info.find(Label);
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + Label.size());
  };
  RECT said;
  return GetWindowRect(Window, said) && info.find("Map State: IsViewable") != std::string::npos &&
         field("Absolute upper-left X:") == said.Left && field("Absolute upper-left Y:") == said.Top;
}

// A real click (Button 1 left, 3 right) at a point of the screen.
inline bool ClickAt(TPoint P, int Button = 1) {
  return Shell("xdotool mousemove " + std::to_string(P.X) + " " + std::to_string(P.Y) + " click " +
               std::to_string(Button));
}

// While it stands, a message loop still running after Patience (one that waits for a release that
// had come already) gets an Escape posted every half second, which ends the loops that take the mouse,
// so that the test goes on and sees it. How many were posted.
class LoopBreaker {
 public:
  explicit LoopBreaker(std::chrono::milliseconds Patience = std::chrono::milliseconds(3000))
      : thread_([this, Patience] {
          auto next = std::chrono::steady_clock::now() + Patience;
          while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (std::chrono::steady_clock::now() < next) continue;
            ++escapes_;
            PostMessage(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
            next += std::chrono::milliseconds(500);
          }
        }) {}
  ~LoopBreaker() {
    done_ = true;
    thread_.join();
  }
  LoopBreaker(const LoopBreaker&) = delete;
  LoopBreaker& operator=(const LoopBreaker&) = delete;
  int Escapes() const { return escapes_; }

 private:
  std::atomic<bool> done_{false};
  std::atomic<int> escapes_{0};
  std::thread thread_;
};

inline std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

// An X server and xdotool are there; under CI=true their absence is a failure, not a skip.
inline bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display && Shell("xdotool version");
}
inline bool InCi() {
  return std::getenv("CI") && std::string(std::getenv("CI")) == "true";
}

// Whether a window manager manages the display's screen: it names itself on the root window through a
// window of its own, which goes with it (the name it left on the root window stays, naming none).
inline bool WindowManagerRuns() {
  return Shell("wmctrl -m");
}

// While it stands, a window manager (openbox) manages the display, as on a user's desktop: it places,
// frames and focuses our windows and takes the clicks it binds before passing them on. One is started
// when none runs, and waited on until it has taken in the windows already there: it names itself on
// the root window before that, and a window mapped in between is never managed, so the wait is for
// its start-up command. On the end the one started is stopped and waited on until the display has
// none, so that the tests after meet the bare X server again.
class WindowManager {
 public:
  WindowManager() {
    if (WindowManagerRuns()) {
      running_ = true;
      return;
    }
    const std::string started = folder_.File("started");
    pid_ =
        childwait::StartShell("exec openbox --sm-disable --startup 'touch " + started + "' >/dev/null 2>&1");
    // (one that cannot start ends at once)
    running_ =
        pid_ > 0 &&
        WaitFor([&] { return std::filesystem::exists(started) || childwait::ProcessState(pid_) == 'Z'; },
                false) &&
        std::filesystem::exists(started);
  }
  ~WindowManager() {
    if (pid_ <= 0) return;
    childwait::End(pid_, "the window manager (openbox)");
    EXPECT_TRUE(WaitFor([] { return !WindowManagerRuns(); }, false))
        << "the display still has a window manager after openbox ended";
  }
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  // Whether a window manager manages the screen.
  bool Running() const { return running_; }

 private:
  TempDir folder_;
  pid_t pid_ = 0;
  bool running_ = false;
};

// The desktops a real-input test runs on: the bare X server, where our windows stand where we put them
// and every click reaches them directly, and one with a window manager (above).
enum class Desktop { kNoWindowManager, kOpenbox };
inline constexpr Desktop kDesktops[] = {Desktop::kNoWindowManager, Desktop::kOpenbox};
// A test's name for its desktop (a parameterized test's name generator).
inline std::string DesktopName(const ::testing::TestParamInfo<Desktop>& Info) {
  return Info.param == Desktop::kOpenbox ? "Openbox" : "NoWindowManager";
}

}  // namespace x11test

// In a fixture's SetUp: skips the test without an X server, fails it under CI.
#define X11TEST_REQUIRE_DISPLAY()                                                                      \
  do {                                                                                                 \
    if (!x11test::HaveDisplay()) {                                                                     \
      if (x11test::InCi()) FAIL() << "no X server or no xdotool: run these tests through xvfb-run -a"; \
      GTEST_SKIP() << "no X server (run through xvfb-run -a)";                                         \
    }                                                                                                  \
  } while (0)

// In a fixture's SetUp or at a test's start: the X server required (above), then the toolkit started on it.
#define X11TEST_START_TOOLKIT() \
  do {                          \
    X11TEST_REQUIRE_DISPLAY();  \
    x11test::StartToolkit();    \
  } while (0)

// In a fixture's SetUp, before its windows show: on Where = Desktop::kOpenbox a window manager manages
// the display while Manager (a std::optional<x11test::WindowManager>) holds it; without one the test skips,
// and under CI fails.
#define X11TEST_START_DESKTOP(Where, Manager)                                                  \
  do {                                                                                         \
    if ((Where) != x11test::Desktop::kOpenbox) break;                                          \
    (Manager).emplace();                                                                       \
    if ((Manager)->Running()) break;                                                           \
    if (x11test::InCi()) FAIL() << "no window manager: openbox did not start on the X server"; \
    GTEST_SKIP() << "no window manager (openbox)";                                             \
  } while (0)

namespace x11test {

// The fixture of a real-input test: the X server required and the toolkit started on it.
class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override { X11TEST_START_TOOLKIT(); }
};

}  // namespace x11test
