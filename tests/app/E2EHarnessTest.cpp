// The end-to-end harness itself, without the program or an X server: a child the harness started that
// will not end holds up neither the test nor the ones after it, and a picture of the display that
// could not be taken compares with nothing.
#include <gtest/gtest-spi.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <fstream>

#include "E2EHarness.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"

namespace {

using e2e::WaitFor;
using namespace std::chrono_literals;

// Whether a process has gone (or only waits to be reaped by whoever took it over).
bool Gone(pid_t pid) {
  const char state = childwait::ProcessState(pid);
  return state == 0 || state == 'Z';
}

// A file of the test's own, for a command to leave a pid in.
std::string PidFile() {
  return ProcessTempFolder() / ("talvik_e2e_harness_" + std::to_string(getpid()) + ".pid");
}
// The pid a command left in the PidFile (removed then); 0 when none came within 5 s.
pid_t LeftPid() {
  pid_t left = 0;
  WaitFor([&] { return std::ifstream(PidFile()) >> left && left > 0; }, 5000);
  std::filesystem::remove(PidFile());
  return left;
}

// Only the harness's own children: no display and no instance.
class Harness : public e2e::ProgramTest {
 protected:
  void SetUp() override {}
};

// A notification area that ignores SIGTERM, and a program it started (which ignores it too): both are
// killed once the harness's patience is over, the test fails naming it, and the window manager beside
// it still gets its SIGTERM.
TEST_F(Harness, AChildThatIgnoresSigtermIsKilledAndFailsTheTest) {
  const std::string started = PidFile();
  trayHost_ = childwait::StartShell("trap '' TERM; sleep 60 & echo $! > '" + started + "'; wait");
  windowManager_ = childwait::StartShell("exec sleep 60");
  ASSERT_GT(trayHost_, 0);
  ASSERT_GT(windowManager_, 0);
  const pid_t host = trayHost_, manager = windowManager_;
  pid_t sleeper = 0;
  ASSERT_TRUE(WaitFor([&] { return std::ifstream(started) >> sleeper && sleeper > 0; }));
  std::filesystem::remove(started);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NONFATAL_FAILURE(Stop(300ms), "the notification area (trayer) did not end within 300 ms of SIGTERM");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(trayHost_, 0);
  EXPECT_EQ(windowManager_, 0);
  // the host and the window manager are reaped: no child of this process is left with their numbers
  EXPECT_EQ(waitpid(host, nullptr, WNOHANG), -1);
  EXPECT_EQ(waitpid(manager, nullptr, WNOHANG), -1);
  EXPECT_TRUE(WaitFor([&] { return Gone(sleeper); }, 5000)) << "the host's own program still runs";
}

// A workload told to stop that does not end: killed once the patience is over, and the test fails.
TEST_F(Harness, AWorkloadThatDoesNotStopIsKilledAndFailsTheTest) {
  pid_t workload = childwait::StartShell("sleep 60 & echo $! > '" + PidFile() + "'; wait; true");
  ASSERT_GT(workload, 0);
  const pid_t started = workload;
  const pid_t sleeper = LeftPid();
  ASSERT_GT(sleeper, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NONFATAL_FAILURE(childwait::End(workload, "the workload, told to stop,", 0, 300ms),
                          "the workload, told to stop, did not end within 300 ms");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(workload, 0);
  EXPECT_EQ(waitpid(started, nullptr, WNOHANG), -1);
  EXPECT_TRUE(WaitFor([&] { return Gone(sleeper); }, 5000)) << "the workload's own sleep still runs";
}

// The shell commands the tests ask the X server through: their output comes back whole, and one that
// hangs is killed with what it started once the patience is over, failing the test.
TEST_F(Harness, AShellCommandThatHangsIsKilledAndFailsTheTest) {
  std::string out;
  EXPECT_EQ(childwait::RunShell("seq 1 20000; exit 3", &out), 3);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 20000);
  EXPECT_TRUE(out.ends_with("19999\n20000\n"));

  out.clear();
  const auto start = std::chrono::steady_clock::now();
  int code = 0;
  const std::string hangs = "echo partial; sleep 60 & echo $! > '" + PidFile() + "'; wait";
  EXPECT_NONFATAL_FAILURE(code = childwait::RunShell(hangs, &out, 300ms),
                          "the command '" + hangs + "' did not end within 300 ms");
  EXPECT_EQ(code, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(out, "partial\n");
  const pid_t sleeper = LeftPid();
  ASSERT_GT(sleeper, 0);
  EXPECT_TRUE(WaitFor([&] { return Gone(sleeper); }, 5000)) << "the command's own sleep still runs";
}

// A command that leaves a program running in the background, holding its output: its output comes
// back as soon as it ends, not when the program lets go of the output, and the program is killed.
TEST_F(Harness, AShellCommandsBackgroundProgramIsKilledWhenItEnds) {
  std::string out;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(childwait::RunShell("echo hi; sleep 30 & echo $! > '" + PidFile() + "'", &out), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(out, "hi\n");
  const pid_t sleeper = LeftPid();
  ASSERT_GT(sleeper, 0);
  EXPECT_TRUE(WaitFor([&] { return Gone(sleeper); }, 5000)) << "the command's background sleep still runs";
}

// Which signals wait, blocked, on a process (the system's "ShdPnd" and "SigPnd" masks, a bit per
// signal from bit 0 for signal 1); 0 when there is no such process.
unsigned long long PendingSignals(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  unsigned long long pending = 0;
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("ShdPnd:") || line.starts_with("SigPnd:"))
      pending |= std::stoull(line.substr(line.find(':') + 1), nullptr, 16);
  return pending;
}

// A shell in a process group of its own, with every signal that can be blocked blocked (its programs
// inherit that): a signal sent to one of its programs waits there, for the test to see. Its pid.
pid_t StartBlockingShell(const std::string& command) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  TScopeExit destroy([&] { posix_spawnattr_destroy(&attributes); });
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  std::string shell = "/bin/sh", option = "-c", text = command;
  char* argv[] = {shell.data(), option.data(), text.data(), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, shell.c_str(), nullptr, &attributes, argv, environ) == 0 ? pid : 0;
}

// A child reaped already (the program found ended by a look at it): ending it again fails the test
// naming it, and signals nothing, its pid being perhaps another program's by now. That other program
// is played by a live process that is no child of this one (a program of a shell this test started),
// which keeps whatever reaches it waiting, blocked, where the test can see it.
TEST_F(Harness, EndingAChildReapedAlreadyFailsTheTestAndSignalsNothing) {
  pid_t child = childwait::StartShell("exit 0");
  ASSERT_GT(child, 0);
  const pid_t started = child;
  ASSERT_EQ(childwait::WaitFor(child, 5000ms), std::optional<int>(0));
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(childwait::End(child, "the child")),
                          "pid " + std::to_string(started) + " is no child");
  EXPECT_EQ(child, 0);

  pid_t holder = StartBlockingShell("sleep 60 & echo $! > '" + PidFile() + "'; wait");
  ASSERT_GT(holder, 0);
  TScopeExit endHolder([&] { childwait::End(holder, "the shell of the other program", SIGKILL); });
  const pid_t other = LeftPid();
  ASSERT_GT(other, 0);
  ASSERT_EQ(PendingSignals(other), 0u);
  for (int signal : {SIGTERM, SIGKILL, 0}) {
    SCOPED_TRACE(signal ? sigabbrev_np(signal) : "no signal");
    pid_t stale = other;
    EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(childwait::End(stale, "the child", signal)),
                            "pid " + std::to_string(other) + " is no child");
    EXPECT_EQ(stale, 0);
    EXPECT_FALSE(Gone(other)) << "the other program was killed";
    EXPECT_EQ(PendingSignals(other), 0u) << "the other program was sent a signal";
  }
}

// A picture of `width` x `height` pixels of one colour.
guitest::Picture Plain(int width, int height, COLORREF colour) {
  return guitest::Picture{width, height, std::vector<COLORREF>(static_cast<size_t>(width * height), colour)};
}

// A grab of the display that fails, at once or after grabs that worked, fails the test naming the
// picture; grabs that work give the picture once two in a row agree.
TEST_F(Harness, AFailedGrabOfTheDisplayFailsTheTestSayingSo) {
  const guitest::Picture shown = Plain(4, 3, RGB(1, 2, 3));
  for (int working : {0, 1, 3}) {
    SCOPED_TRACE(std::to_string(working) + " grabs worked first");
    int grabs = 0;
    guitest::Picture got = shown;
    EXPECT_NONFATAL_FAILURE(got = e2e::SettledPicture(
                                [&](guitest::Picture& p) {
                                  if (grabs++ >= working) return false;
                                  p = Plain(4, 3, RGB(grabs, 0, 0));  // the display still changes
                                  return true;
                                },
                                "clicked"),
                            "the display could not be grabbed for the picture \"clicked\"");
    EXPECT_EQ(got.width, 0);
  }
  int grabs = 0;
  const guitest::Picture settled = e2e::SettledPicture(
      [&](guitest::Picture& p) {
        p = ++grabs < 3 ? Plain(4, 3, RGB(grabs, 0, 0)) : shown;
        return true;
      },
      "settled");
  EXPECT_EQ(settled, shown);
  EXPECT_EQ(grabs, 4);
}

// Pictures compared over an area: only equal pixels of pictures of one size are no difference; an
// empty picture, one of another size or an area reaching out of the pictures differs in every such
// pixel.
TEST_F(Harness, PicturesThatAreEmptyOrOfAnotherSizeDifferInEveryPixel) {
  const TRect area(1, 1, 3, 3);
  const guitest::Picture white = Plain(4, 4, RGB(255, 255, 255));
  guitest::Picture dotted = white;
  dotted.pixels[static_cast<size_t>(2 * 4 + 1)] = RGB(0, 0, 0);
  EXPECT_EQ(e2e::Differing(white, white, area), 0);
  EXPECT_EQ(e2e::Differing(white, dotted, area), 1);
  EXPECT_EQ(e2e::Differing(guitest::Picture{}, guitest::Picture{}, area), 4);
  EXPECT_EQ(e2e::Differing(white, guitest::Picture{}, area), 4);
  EXPECT_EQ(e2e::Differing(white, Plain(5, 4, RGB(255, 255, 255)), area), 4);
  EXPECT_EQ(e2e::Differing(white, white, TRect(2, 2, 6, 3)), 2);
}

// A picture of the display reads it through the X server, and leaves the process's own platform
// setting as it found it: the tests after it in the process draw where they did.
TEST_F(Harness, APictureOfTheDisplayLeavesTheProcessPlatformAsItWas) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  const char* was = std::getenv("QT_QPA_PLATFORM");
  const std::string before = was ? was : "";
  TScopeExit back([&] {
    if (was)
      setenv("QT_QPA_PLATFORM", before.c_str(), 1);
    else
      unsetenv("QT_QPA_PLATFORM");
  });
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const guitest::Picture shown = Picture("platform");
  EXPECT_GT(shown.width, 0);
  const char* now = std::getenv("QT_QPA_PLATFORM");
  EXPECT_STREQ(now ? now : "(unset)", "offscreen");
}

// Each desktop comes up quickly on the display, from its own files: its window manager manages
// windows and its notification area takes icons; the area ended comes back when asked for, and the
// window manager ended goes from the display with whatever it started.
class DesktopComes : public e2e::OnDesktops<e2e::DesktopProgramTest> {};

TEST_P(DesktopComes, ItsWindowManagerAndNotificationAreaComeAndGoQuickly) {
  constexpr auto kQuickly = 5s;
  using e2e::kTraySelection;
  using e2e::ScreenSelectionOwner;
  EXPECT_TRUE(e2e::WindowManagerRuns());
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickly);
  for (const auto& [name, text] : desktop_->files)
    EXPECT_TRUE(std::filesystem::exists(dir_ / "desktop" / name));
  ASSERT_TRUE(EndTrayHost()) << TrayHostName() << " does not end";
  EXPECT_EQ(e2e::WindowManagerRuns(), desktop_->tray == e2e::Desktop::Tray::kPanel);
  start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartTrayHost()) << "no " << TrayHostName() << " the second time";
  EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickly);
  EXPECT_TRUE(e2e::WindowManagerRuns());
  EXPECT_NE(ScreenSelectionOwner(kTraySelection), 0u);
  Stop();
  EXPECT_TRUE(WaitFor([] { return !e2e::WindowManagerRuns() && ScreenSelectionOwner(kTraySelection) == 0; }))
      << "the desktop stays on the display";
}

INSTANTIATE_TEST_SUITE_P(Harness, DesktopComes,
                         ::testing::Values(&e2e::kOpenbox, &e2e::kIcewm, &e2e::kMetacityTint2,
                                           &e2e::kXfwm4Tint2, &e2e::kFluxbox),
                         e2e::DesktopName);

}  // namespace
