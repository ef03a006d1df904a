// A top-level window's state as the desktop (its window manager) holds it beside the layer's: the
// layer reads the desktop's state when told it may have changed, waits for what it told the desktop
// itself, and takes in what the desktop changed of its own, as the user's minimise, restore and
// maximise; an owned window goes down with its owner without a state of its own.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/ShellAPI.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"

using namespace guitest;
using talvik::gui::DesktopWindowState;

namespace {

// A desktop whose state of each window the test sets, and which records what the layer tells it.
class FakeDesktop : public talvik::gui::Backend {
 public:
  class WindowHost : public talvik::gui::Host {
   public:
    WindowHost(FakeDesktop& Desktop, HWND Window) : desktop_(Desktop), window_(Window) {}
    void GeometryChanged(const RECT&) override {}
    void VisibilityChanged(bool Visible) override { Tell(Visible ? "shown" : "hidden"); }
    void Dirty(const RECT&) override {}
    void CursorChanged(HCURSOR) override {}
    void GrabChanged(bool) override {}
    void Raise() override {}
    void Activate() override { ++desktop_.activated[window_]; }
    void TitleChanged(const std::string&) override {}
    void MinimizedChanged(bool Minimized) override { Tell(Minimized ? "minimised" : "restored"); }
    void MaximizedChanged(bool Maximized) override { Tell(Maximized ? "maximised" : "unmaximised"); }
    std::optional<DesktopWindowState> DesktopState() override {
      auto it = desktop_.states.find(window_);
      return it == desktop_.states.end() ? std::nullopt : std::optional<DesktopWindowState>(it->second);
    }

   private:
    void Tell(const std::string& What) { desktop_.told[window_].push_back(What); }
    FakeDesktop& desktop_;
    HWND window_;
  };
  std::unique_ptr<talvik::gui::Host> CreateHost(HWND Window) override {
    return std::make_unique<WindowHost>(*this, Window);
  }
  void Pump(bool, int) override {}
  void Wake() override {}
  std::vector<MONITORINFO> Screens() override { return {}; }
  POINT CursorPos() override { return {}; }
  void Beep() override {}

  std::map<HWND, DesktopWindowState> states;
  std::map<HWND, std::vector<std::string>> told;
  std::map<HWND, int> activated;  // how often the layer asked the desktop to activate each window
};

constexpr DesktopWindowState kShown{true, false, false}, kShownMaximised{true, false, true},
    kIconic{true, true, false}, kIconicMaximised{true, true, true};

class DesktopState : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    talvik::gui::SetBackend(&desktop_);
  }
  void TearDown() override {
    GuiTest::TearDown();
    talvik::gui::SetBackend(nullptr);
  }
  // A captioned window of the desktop's, shown, and the desktop showing it so.
  HWND Framed(HWND Owner = nullptr) {
    HWND h = Top(100, 100, 400, 300, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, "TestWindow", Owner);
    EXPECT_EQ(DesktopHolds(h, kShown), 0u);
    return h;
  }
  // The desktop holds State of the window now and says so: how long the layer waits for it.
  std::uint64_t DesktopHolds(HWND h, const DesktopWindowState& State) {
    desktop_.states[h] = State;
    return talvik::gui::detail::DesktopStateChanged(h);
  }
  // The desktop holds a State of its own, long enough for the layer to take it in.
  void Taken(HWND h, const DesktopWindowState& State) {
    EXPECT_EQ(DesktopHolds(h, State), talvik::gui::detail::kDesktopSteadyMs);
    FakeNow() += talvik::gui::detail::kDesktopSteadyMs;
    EXPECT_EQ(DesktopHolds(h, State), 0u);
  }
  static int Commands(HWND h, WPARAM Command) {
    int n = 0;
    for (const Logged& l : Messages(h, WM_SYSCOMMAND)) n += (l.wParam & 0xFFF0) == Command;
    return n;
  }
  FakeDesktop desktop_;
};

// A window the layer maximised: while the desktop takes the window in, it shows it framed as before,
// or still down to an icon as it last was: that is the way there, not the desktop's own change. Once
// it showed it maximised, a state the desktop clears for a moment and sets again is none either; one
// that holds is the user's.
TEST_F(DesktopState, WhatTheLayerToldTheDesktopIsWaitedForAndAMomentsStateIsNotTakenAsTheDesktopsOwn) {
  HWND h = Framed();
  ShowWindow(h, SW_SHOWMAXIMIZED);
  EXPECT_GT(DesktopHolds(h, kShown), 0u);
  EXPECT_GT(DesktopHolds(h, kIconic), 0u);
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), 0u);
  EXPECT_EQ(DesktopHolds(h, kShown), talvik::gui::detail::kDesktopSteadyMs);
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), 0u);
  EXPECT_TRUE(IsZoomed(h));
  EXPECT_FALSE(IsIconic(h));
  EXPECT_EQ(Commands(h, SC_MINIMIZE), 0);
  Taken(h, kShown);
  EXPECT_FALSE(IsZoomed(h));
}

// A window restored by the layer from an icon that the desktop still shows down as an icon is not
// sent down again; the desktop's word stands only once the time it is given has passed.
TEST_F(DesktopState, ADesktopThatDoesNotShowWhatItWasToldHasItsWayOnceItsTimeHasPassed) {
  HWND h = Framed();
  ShowWindow(h, SW_MINIMIZE);
  EXPECT_EQ(DesktopHolds(h, kIconic), 0u);
  ShowWindow(h, SW_RESTORE);
  const std::uint64_t wait = DesktopHolds(h, kIconic);
  EXPECT_EQ(wait, talvik::gui::detail::kDesktopAnswerMs);
  FakeNow() += wait / 2;
  EXPECT_EQ(DesktopHolds(h, kIconic), wait - wait / 2);
  EXPECT_FALSE(IsIconic(h));
  FakeNow() += wait;
  EXPECT_EQ(DesktopHolds(h, kIconic), 0u);
  EXPECT_TRUE(IsIconic(h));
  EXPECT_EQ(Commands(h, SC_MINIMIZE), 1);
}

// The desktop's own minimise and restore (its title bar, its window list) reach the window as the
// frame's system commands; a window minimised from maximised comes back maximised. The desktop, which
// shows all that already, is asked nothing.
TEST_F(DesktopState, TheDesktopsOwnMinimiseAndRestoreReachTheWindowAsSystemCommands) {
  HWND h = Framed();
  ShowWindow(h, SW_SHOWMAXIMIZED);
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), 0u);
  desktop_.told.clear();
  Taken(h, kIconicMaximised);
  EXPECT_TRUE(IsIconic(h));
  EXPECT_EQ(Commands(h, SC_MINIMIZE), 1);
  Taken(h, kShownMaximised);
  EXPECT_FALSE(IsIconic(h));
  EXPECT_TRUE(IsZoomed(h));
  EXPECT_EQ(Commands(h, SC_RESTORE), 1);
  Taken(h, kShown);
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_TRUE(desktop_.told[h].empty());
}

// The desktop's maximise, taken in once it holds, keeps the bounds the window had before as its
// normal ones, though the desktop put the window at its maximised bounds meanwhile.
TEST_F(DesktopState, TheDesktopsMaximiseKeepsTheBoundsFromBeforeItAsTheNormalOnes) {
  HWND h = Framed();
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), talvik::gui::detail::kDesktopSteadyMs);
  SetWindowPos(h, nullptr, 0, 0, 1024, 728, SWP_NOZORDER | SWP_NOACTIVATE);
  FakeNow() += talvik::gui::detail::kDesktopSteadyMs;
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), 0u);
  EXPECT_TRUE(IsZoomed(h));
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(h, p));
  EXPECT_EQ(p.rcNormalPosition, Rect(100, 100, 500, 400));
  // restored by the desktop, which put it at those bounds first: the window hears it restored
  SetWindowPos(h, nullptr, 100, 100, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  Log().clear();
  Taken(h, kShown);
  EXPECT_FALSE(IsZoomed(h));
  const std::vector<Logged> sized = Messages(h, WM_SIZE);
  ASSERT_FALSE(sized.empty());
  EXPECT_EQ(sized.back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
}

// A desktop that puts the window at its maximised bounds before it says it maximised it: the bounds
// from before that move are the normal ones, and restored the same way (moved back first) the window
// stays at them. A move of the desktop's well before its maximise (the user's drag) is the window's
// new place, and the normal bounds then.
TEST_F(DesktopState, TheDesktopsMaximiseAfterItsMoveKeepsTheBoundsFromBeforeTheMoveAsTheNormalOnes) {
  constexpr std::uint64_t kAMomentMs = 2, kLater = 1000;
  HWND h = Framed();
  talvik::gui::detail::HostMoved(h, Rect(0, 0, 1024, 600));
  FakeNow() += kAMomentMs;
  talvik::gui::detail::HostMoved(h, Rect(-5, -5, 1029, 733));
  FakeNow() += kAMomentMs;
  Taken(h, kShownMaximised);
  EXPECT_TRUE(IsZoomed(h));
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(h, p));
  EXPECT_EQ(p.rcNormalPosition, Rect(100, 100, 500, 400));
  talvik::gui::detail::HostMoved(h, Rect(100, 100, 500, 400));
  FakeNow() += kAMomentMs;
  Taken(h, kShown);
  EXPECT_FALSE(IsZoomed(h));
  RECT r;
  GetWindowRect(h, r);
  EXPECT_EQ(r, Rect(100, 100, 500, 400));

  FakeNow() += kLater;
  talvik::gui::detail::HostMoved(h, Rect(150, 120, 550, 420));
  FakeNow() += kLater;
  talvik::gui::detail::HostMoved(h, Rect(0, 0, 1024, 728));
  Taken(h, kShownMaximised);
  ASSERT_TRUE(GetWindowPlacement(h, p));
  EXPECT_EQ(p.rcNormalPosition, Rect(150, 120, 550, 420));
}

// On a loaded machine the desktop's steps reach the program further apart: the window moved to the
// corner, then sized to the screen, then the word that it is maximised, a few hundred milliseconds
// after each other. Its normal bounds are still those from before the first move.
TEST_F(DesktopState, TheDesktopsMaximiseHeardLateOnALoadedMachineKeepsTheBoundsFromBeforeItsMoves) {
  constexpr std::uint64_t kLoadedMs = 300;
  HWND h = Framed();
  talvik::gui::detail::HostMoved(h, Rect(0, 0, 400, 300));
  FakeNow() += kLoadedMs;
  talvik::gui::detail::HostMoved(h, Rect(0, 0, 1024, 728));
  FakeNow() += kLoadedMs;
  Taken(h, kShownMaximised);
  EXPECT_TRUE(IsZoomed(h));
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(h, p));
  EXPECT_EQ(p.rcNormalPosition, Rect(100, 100, 500, 400));
}

// A desktop that drops the window's borders as it maximises it moves the window in its new frame: first
// to the corner at the size it had, then to the screen, the word that it is maximised heard last.
// Those moves are the desktop's as much as its plain ones: the normal bounds are those from before
// them, and restored (framed as before again) the window stands at them.
TEST_F(DesktopState, TheDesktopsMaximiseThatFramesTheWindowAnewKeepsTheBoundsFromBeforeItsMoves) {
  constexpr std::uint64_t kAMomentMs = 2, kLoadedMs = 300;
  const RECT normal = Rect(100, 100, 500, 400), maximised = Rect(0, 0, 1024, 728);
  struct Steps {
    const char* name;
    std::vector<RECT> moves;  // framed anew at the first, moved plainly to the rest
  };
  for (const Steps& steps :
       {Steps{"framed anew at the screen's size", {maximised}},
        Steps{"framed anew in the corner, then sized", {Rect(0, 0, 390, 290), maximised}}}) {
    SCOPED_TRACE(steps.name);
    HWND h = Framed();
    talvik::gui::detail::HostFrameChanged(h, steps.moves.front());
    for (std::size_t i = 1; i < steps.moves.size(); ++i) {
      FakeNow() += kAMomentMs;
      talvik::gui::detail::HostMoved(h, steps.moves[i]);
    }
    FakeNow() += kLoadedMs;
    Taken(h, kShownMaximised);
    EXPECT_TRUE(IsZoomed(h));
    WINDOWPLACEMENT p;
    ASSERT_TRUE(GetWindowPlacement(h, p));
    EXPECT_EQ(p.rcNormalPosition, normal);
    talvik::gui::detail::HostFrameChanged(h, normal);
    FakeNow() += kLoadedMs;
    Taken(h, kShown);
    EXPECT_FALSE(IsZoomed(h));
    RECT r;
    GetWindowRect(h, r);
    EXPECT_EQ(r, normal);
    DestroyWindow(h);
  }
}

// A window closed by the desktop just after the desktop changed its state closes in that state, though
// it has not held long: the desktop is read at once.
TEST_F(DesktopState, AWindowClosingTakesTheDesktopsStateAtOnce) {
  HWND h = Framed();
  EXPECT_EQ(DesktopHolds(h, kShownMaximised), talvik::gui::detail::kDesktopSteadyMs);
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_EQ(talvik::gui::detail::DesktopStateChanged(h, talvik::gui::detail::DesktopRead::kAtOnce), 0u);
  EXPECT_TRUE(IsZoomed(h));
}

// A window that has an owner (a floating toolbar over its form) goes down to an icon with its owner
// and comes back with it: it gets no minimise of its own, and the desktop is told nothing of one.
TEST_F(DesktopState, AnOwnedWindowGoingDownWithItsOwnerKeepsItsOwnState) {
  HWND owner = Framed();
  HWND owned = Framed(owner);
  desktop_.told.clear();
  EXPECT_EQ(DesktopHolds(owned, kIconic), 0u);
  FakeNow() += talvik::gui::detail::kDesktopSteadyMs;
  EXPECT_EQ(DesktopHolds(owned, kIconic), 0u);
  EXPECT_FALSE(IsIconic(owned));
  EXPECT_EQ(Commands(owned, SC_MINIMIZE), 0);
  EXPECT_EQ(DesktopHolds(owned, kShown), 0u);
  EXPECT_TRUE(desktop_.told[owned].empty());
}

// A window that refuses the desktop's minimise keeps its state, and the desktop is told it again.
TEST_F(DesktopState, AWindowThatRefusesTheDesktopsMinimiseTellsTheDesktopItsOwnStateAgain) {
  HWND h = Framed();
  Handlers()[h] = [](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
    return m == WM_SYSCOMMAND && (w & 0xFFF0) == SC_MINIMIZE;
  };
  desktop_.told.clear();
  EXPECT_EQ(DesktopHolds(h, kIconic), talvik::gui::detail::kDesktopSteadyMs);
  FakeNow() += talvik::gui::detail::kDesktopSteadyMs;
  EXPECT_EQ(DesktopHolds(h, kIconic), talvik::gui::detail::kDesktopAnswerMs);
  EXPECT_FALSE(IsIconic(h));
  EXPECT_EQ(desktop_.told[h], std::vector<std::string>{"restored"});
  EXPECT_EQ(DesktopHolds(h, kShown), 0u);
}

// A hidden window's state is the layer's alone: the desktop's word on it (withdrawn, or left down as
// an icon) changes nothing.
TEST_F(DesktopState, AHiddenWindowHearsNothingFromTheDesktop) {
  HWND h = Framed();
  ShowWindow(h, SW_HIDE);
  EXPECT_EQ(DesktopHolds(h, kIconic), 0u);
  FakeNow() += talvik::gui::detail::kDesktopSteadyMs;
  EXPECT_EQ(DesktopHolds(h, kIconic), 0u);
  EXPECT_FALSE(IsIconic(h));
  EXPECT_EQ(Commands(h, SC_MINIMIZE), 0);
}

// The user clicks the window's tray icon just after the desktop sent the window down to an icon, before
// that state held long enough for the layer to take it in: the window hears its minimise before the
// click, so that the click's restore brings it back and stays.
TEST_F(DesktopState, AClickOnATrayIconComesAfterTheDesktopsMinimiseThatCameBeforeIt) {
  constexpr UINT kIconId = 1, kTrayMessage = WM_APP + 1;
  talvik::gui::FakeTrayShell tray;
  talvik::gui::SetTrayShell(&tray);
  const TScopeExit noTray([] { talvik::gui::SetTrayShell(nullptr); });
  HWND h = Framed();
  NOTIFYICONDATA icon;
  icon.hWnd = h;
  icon.uID = kIconId;
  icon.uFlags = NIF_MESSAGE;
  icon.uCallbackMessage = kTrayMessage;
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &icon));
  Handlers()[h] = [](HWND Window, UINT m, WPARAM, LPARAM l, LRESULT*) {
    if (m == kTrayMessage && l == WM_LBUTTONUP) ShowWindow(Window, SW_RESTORE);
    return false;
  };
  desktop_.told.clear();
  EXPECT_EQ(DesktopHolds(h, kIconic), talvik::gui::detail::kDesktopSteadyMs);
  talvik::gui::TrayIconInput(h, kIconId, WM_LBUTTONDOWN);
  talvik::gui::TrayIconInput(h, kIconId, WM_LBUTTONUP);
  Pump();
  const int minimised = IndexOf(h, WM_SYSCOMMAND), clicked = IndexOf(h, kTrayMessage);
  ASSERT_GE(clicked, 0);
  EXPECT_TRUE(minimised >= 0 && minimised < clicked) << "the minimise came at " << minimised;
  EXPECT_FALSE(IsIconic(h));
  EXPECT_EQ(desktop_.told[h], std::vector<std::string>{"restored"});
}

// The desktop activated a window (the user gave it the focus there): what the layer does on it, a
// floating window shown with its owner that hands the activation back to it, reaches the desktop as
// no activation of either. The desktop gave it already; a request of the program's own would come
// after whatever the user did next there, a minimise from the window menu, and undo it.
TEST_F(DesktopState, AnActivationTheDesktopGaveAsksTheDesktopToActivateNothing) {
  HWND owner = Framed();
  HWND floating = Top(600, 100, 80, 40, WS_POPUP, 0, "TestWindow", owner);
  Handlers()[owner] = [floating](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
    if (m == WM_ACTIVATEAPP && w) ShowWindow(floating, SW_SHOW);  // shown, and so activated
    return false;
  };
  Handlers()[floating] = [owner](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
    if (m != WM_ACTIVATE || LOWORD(w) == WA_INACTIVE) return false;
    SetActiveWindow(owner);  // back to its owner
    return true;
  };
  SetActiveWindow(nullptr);
  desktop_.activated.clear();
  talvik::gui::detail::DesktopActivated(owner);
  EXPECT_EQ(GetActiveWindow(), owner);
  EXPECT_TRUE(IsWindowVisible(floating));
  EXPECT_EQ(desktop_.activated, (std::map<HWND, int>{}));
  // the program's own activation afterwards is asked of the desktop
  SetActiveWindow(floating);
  EXPECT_EQ(desktop_.activated[floating], 1);
}

}  // namespace
