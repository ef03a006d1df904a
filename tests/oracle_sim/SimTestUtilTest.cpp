// The test helpers themselves: a test process that makes instances leaves nothing behind in the
// temporary directory (CI runs hundreds of such processes).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SimTestUtil.h"

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
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(tmp)) left.push_back(e.path().filename().string());
  EXPECT_TRUE(left.empty()) << left.size() << " left, the first " << left.front();
  fs::remove_all(tmp);
}

}  // namespace
