// The test helpers themselves: a test process that makes instances leaves nothing behind in the
// temporary directory (CI runs hundreds of such processes), and a program a test starts cannot hold
// the test up.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SimTestUtil.h"
#include "tests/ChildProgram.h"
#include "tests/ChildWait.h"

namespace {

namespace fs = std::filesystem;

TEST(SimTestUtil, ATestProcessLeavesNothingInTheTemporaryDirectory) {
  const fs::path tmp = fs::temp_directory_path() / ("talvik-leftovers-" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  fs::create_directories(tmp);
  const fs::path self = fs::read_symlink("/proc/self/exe");
  // one test through the fixture, one that takes a fresh instance file of its own
  const std::string command = "TMPDIR='" + tmp.string() + "' '" + self.string() +
                              "' --gtest_filter='Sessions.LogonErrorsWarningsAndBanner:ObjectsUpgrade.*'"
                              " >/dev/null 2>&1";
  ASSERT_EQ(childwait::RunShell(command, nullptr, ChildProgram::kPatience), 0);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(tmp)) left.push_back(e.path().filename().string());
  EXPECT_TRUE(left.empty()) << left.size() << " left, the first " << left.front();
  fs::remove_all(tmp);
}

// Waiting for an answer or for the end of a program that hangs: it is killed at the time-out, and
// the test fails.
TEST(ChildProgram, AProgramThatHangsIsKilledAndFailsTheTest) {
  const std::chrono::milliseconds patience(100);
  for (bool forAnswer : {true, false}) {
    SCOPED_TRACE(forAnswer ? "waiting for an answer" : "waiting for the end");
    ChildProgram sleeper("/bin/sleep", {"60"}, patience);
    const pid_t pid = sleeper.Pid();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NONFATAL_FAILURE(
        {
          try {
            if (forAnswer)
              sleeper.ReadLine();
            else
              sleeper.Wait();
          } catch (const std::runtime_error&) {
          }
        },
        forAnswer ? "wrote no answer within 100 ms" : "did not end within 100 ms");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(kill(pid, 0), -1) << "killed and waited for";
    EXPECT_EQ(errno, ESRCH);
  }
}

}  // namespace
