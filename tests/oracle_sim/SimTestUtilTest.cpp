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
#include "tests/TemporaryFiles.h"

namespace {

namespace fs = std::filesystem;

// What a test program makes in the temporary directory while it runs is its process's folder alone,
// and nothing of it stays.
TEST(SimTestUtil, ATestProcessMakesOnlyItsOwnFolderInTheTemporaryDirectoryAndLeavesNothing) {
  // one test through the fixture, one that takes a fresh instance file of its own, one through the
  // client library's scratch instance
  ExpectOnlyTheProcessFolderMade(
      "Sessions.LogonErrorsWarningsAndBanner:ObjectsUpgrade.*:OciLibraryTest."
      "AliasesOfTnsNamesWithIncludesAndDomains");
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
