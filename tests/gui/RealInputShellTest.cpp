// The shell commands the real-input tests drive and read the X server with (X11TestSupport.h): one
// that hangs holds its test up no longer than its bound, fails it, and is killed with every program
// it started. No X server is needed.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "X11TestSupport.h"
#include "rtl/TempDir.h"
#include "tests/ChildWait.h"

namespace {

using namespace std::chrono_literals;

// A file of this process's own, for a command to leave a pid in.
std::string PidFile() {
  return (ProcessTempFolder() / "bounded_shell.pid").string();
}

// Whether Done holds within Patience.
template <typename Done>
bool Within(std::chrono::milliseconds patience, Done done) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The pid a command left in the PidFile (removed then); 0 when none came within 5 s.
pid_t LeftPid() {
  pid_t left = 0;
  Within(5s, [&] { return std::ifstream(PidFile()) >> left && left > 0; });
  std::filesystem::remove(PidFile());
  return left;
}

// Whether a process has gone (or only waits to be reaped by whoever took it over).
bool Gone(pid_t pid) {
  const char state = childwait::ProcessState(pid);
  return state == 0 || state == 'Z';
}

// A command whose program started in the background never ends: once the bound is over the command
// is killed with that program, the test fails naming the command, and what it printed so far comes
// back.
TEST(BoundedShell, ACommandThatHangsIsKilledWithWhatItStartedOnceItsBoundIsOver) {
  const std::string hangs = "echo partial; sleep 60 & echo $! > '" + PidFile() + "'; wait";
  for (bool output : {false, true}) {
    SCOPED_TRACE(output ? "its output read" : "run for its result");
    const auto start = std::chrono::steady_clock::now();
    if (output) {
      std::string out;
      EXPECT_NONFATAL_FAILURE(out = x11test::Output(hangs, 300ms), "' did not end within 300 ms");
      EXPECT_EQ(out, "partial\n");
    } else {
      bool succeeded = true;
      EXPECT_NONFATAL_FAILURE(succeeded = x11test::Shell(hangs, 300ms), "' did not end within 300 ms");
      EXPECT_FALSE(succeeded);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "held up beyond its bound";
    const pid_t sleeper = LeftPid();
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(Within(5s, [&] { return Gone(sleeper); })) << "the command's own sleep still runs";
  }
}

}  // namespace
