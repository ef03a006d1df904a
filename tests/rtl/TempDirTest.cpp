// The test process's own folder: what every test program's files and settings stand on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/rtl/Process.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The per-user settings of a test program are its process's own from its start (no test here points
// them elsewhere).
TEST(ProcessTempFolder, HoldsTheSettingsOfTheProcess) {
  EXPECT_EQ(GetEnvironmentVariable("XDG_CONFIG_HOME"), (ProcessTempFolder() / "config").string());
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

}  // namespace
