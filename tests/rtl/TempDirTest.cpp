// The test process's own folder: what every test program's files and settings stand on.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/Process.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"
#include "tests/ChildProgram.h"
#include "tests/ChildWait.h"

namespace {

namespace fs = std::filesystem;

// The per-user settings of a test program are its process's own from its start (no test here points
// them elsewhere).
TEST(ProcessTempFolder, HoldsTheSettingsOfTheProcess) {
  EXPECT_EQ(GetEnvironmentVariable("XDG_CONFIG_HOME"), (ProcessTempFolder() / "config").string());
}

// The folder is named by its process's pid and start time: the sweep of another process tells by them
// whether its process still runs.
TEST(ProcessTempFolder, IsNamedByItsProcessAndItsStart) {
  const pid_t self = ::getpid();
  EXPECT_EQ(ProcessTempFolder().filename().string().rfind(
                ProcessFolderPrefix(self, ProcessStartTime(self).value()), 0),
            0u)
      << ProcessTempFolder();
}

// A child forked from a test (a death test of the fast style) that ends through exit() runs the
// static ends of its parent's copy: the folder stays for the parent and its later tests.
TEST(ProcessTempFolder, AForkedChildThatExitsLeavesItToItsParent) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  TScopeExit restore([&] { GTEST_FLAG_SET(death_test_style, style); });
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  dir.Write("kept.txt", "kept");
  EXPECT_EXIT(std::exit(0), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir.Read("kept.txt"), "kept");
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  return Sorted(names);
}

// A process of this program killed by a signal (a death test that dies so) leaves its folder; the
// next test program to start in that temporary directory removes it, and leaves nothing of its own.
TEST(ProcessTempFolder, AFolderLeftByAKilledProcessGoesAtTheNextRun) {
  TempDir tmp;
  const std::string style = GTEST_FLAG_GET(death_test_style);
  const std::string oldTmp = GetEnvironmentVariable("TMPDIR");
  TScopeExit restore([&] {
    GTEST_FLAG_SET(death_test_style, style);
    ::setenv("TMPDIR", oldTmp.c_str(), 1);
    if (oldTmp.empty()) ::unsetenv("TMPDIR");
  });
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, with a folder of its own
  ::setenv("TMPDIR", tmp.Path().c_str(), 1);
  EXPECT_EXIT(::raise(SIGKILL), ::testing::KilledBySignal(SIGKILL), "");
  ASSERT_EQ(Names(tmp.Path()).size(), 1u) << "the killed process's folder";

  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string command =
      "'" + self.string() + "' --gtest_filter=ProcessTempFolder.HoldsTheSettingsOfTheProcess >/dev/null 2>&1";
  ASSERT_EQ(childwait::RunShell(command, nullptr, ChildProgram::kPatience), 0);
  const auto left = Names(tmp.Path());
  EXPECT_TRUE(left.empty()) << left.size() << " left, the first " << left.front();
}

// What a sweep takes: only folders of this user's test processes that have ended. A live process's
// folder stays, whoever else has had its pid before; a folder named by a pid that a later process
// has now goes; another user's folder and what is no process folder stay.
TEST(ProcessTempFolder, ASweepTakesOnlyTheFoldersOfEndedProcesses) {
  TempDir tmp;
  const auto make = [&](const std::string& name) {
    fs::create_directory(fs::path(tmp.Path()) / name);
    return name;
  };
  const pid_t self = ::getpid();
  const std::string ours = make(ProcessFolderPrefix(self, ProcessStartTime(self).value()) + "aaaaaa");
  const std::string oursBefore = make(std::string(kProcessFolderPrefix) + std::to_string(self) + "-bbbbbb");
  const std::string otherKind = make("talvik-testing-1-2-cccccc");
  tmp.Write("talvik-test-1-2-file", "a file, not a folder");

  ChildProgram sleeper("/bin/sleep", {"60"});
  const pid_t live = sleeper.Pid();
  const unsigned long long liveStart = ProcessStartTime(live).value();
  const std::string liveFolder = make(ProcessFolderPrefix(live, liveStart) + "dddddd");
  // the same pid, given earlier to a process that has ended
  const std::string reused = make(ProcessFolderPrefix(live, liveStart - 1) + "eeeeee");
  // named as older checkouts name them: by pid alone
  const std::string liveBefore = make(std::string(kProcessFolderPrefix) + std::to_string(live) + "-gggggg");

  SweepLeftProcessFolders(tmp.Path());
  EXPECT_EQ(Names(tmp.Path()),
            Sorted({liveFolder, ours, liveBefore, oursBefore, "talvik-test-1-2-file", otherKind}));

  ::kill(live, SIGKILL);
  EXPECT_EQ(sleeper.Wait(), 128 + SIGKILL);
  std::vector<std::string> kept = {ours, oursBefore, "talvik-test-1-2-file", otherKind};
  if (::geteuid() == 0) {  // only root can give a folder away
    // another user's folder, of a process that has ended too, stays
    constexpr uid_t kNobody = 65534;
    const std::string otherUser = make(ProcessFolderPrefix(live, liveStart) + "ffffff");
    ASSERT_EQ(::chown((fs::path(tmp.Path()) / otherUser).c_str(), kNobody, kNobody), 0);
    kept.push_back(otherUser);
  }
  SweepLeftProcessFolders(tmp.Path());
  EXPECT_EQ(Names(tmp.Path()), Sorted(kept));
}

}  // namespace
