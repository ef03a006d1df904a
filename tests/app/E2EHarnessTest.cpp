// The end-to-end harness itself, without the program or an X server: a child the harness started that
// will not end holds up neither the test nor the ones after it.
#include <gtest/gtest-spi.h>

#include <algorithm>
#include <fstream>

#include "E2EHarness.h"

namespace {

using e2e::WaitFor;
using namespace std::chrono_literals;

// Whether a process has gone (or only waits to be reaped by whoever took it over).
bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  // "pid (command) state ...": the state follows the command's closing parenthesis
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.substr(close + 2, 1) == "Z";
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
  const std::string started =
      std::filesystem::temp_directory_path() / ("talvik_e2e_harness_" + std::to_string(getpid()) + ".pid");
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
  pid_t workload = childwait::StartShell("sleep 60; true");
  ASSERT_GT(workload, 0);
  const pid_t started = workload;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NONFATAL_FAILURE(childwait::End(workload, "the workload, told to stop,", 0, 300ms),
                          "the workload, told to stop, did not end within 300 ms");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(workload, 0);
  EXPECT_EQ(waitpid(started, nullptr, WNOHANG), -1);
}

// The shell commands the tests ask the X server through: their output comes back whole, and one that
// hangs is killed with what it started once the patience is over, failing the test.
TEST_F(Harness, AShellCommandThatHangsIsKilledAndFailsTheTest) {
  std::string out;
  EXPECT_EQ(childwait::RunShell("seq 1 20000; exit 3", &out), 3);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 20000);
  EXPECT_TRUE(out.ends_with("19999\n20000\n"));

  const auto start = std::chrono::steady_clock::now();
  int code = 0;
  EXPECT_NONFATAL_FAILURE(code = childwait::RunShell("echo partial; sleep 60", &out, 300ms),
                          "the command 'echo partial; sleep 60' did not end within 300 ms");
  EXPECT_EQ(code, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}
}  // namespace
