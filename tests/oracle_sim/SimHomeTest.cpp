// The files the configure step generates for the simulated client library and its home: a second
// configure with nothing changed leaves every one of them as it was (a rewritten one, though equal,
// is newer than what the build made from it, and the library would be linked again); a changed input
// still writes what changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/rtl/Process.h"
#include "rtl/TempDir.h"
#include "tests/ChildProgram.h"
#include "tests/ChildWait.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;

class SimHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ProcessTempFolder() / ("talvik_simhome_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    api_ = dir_ / "OracleCIApi.h";
    fs::copy_file(fs::path(TALVIK_TEST_SOURCE_DIR) / "oracle" / "OracleCIApi.h", api_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Runs the generation as the configure step does; whether it succeeded.
  bool Generate() {
    const std::string command = std::string(TALVIK_TEST_CMAKE) + " -DTALVIK_OCI_API=" + api_.string() +
                                " -DTALVIK_OCI_MAP=" + Map().string() +
                                " -DTALVIK_SIM_HOME=" + Home().string() + " -P " + TALVIK_TEST_SOURCE_DIR +
                                "/oracle_sim/SimHome.cmake 2>&1";
    std::string out;
    const int code = childwait::RunShell(command, &out, ChildProgram::kPatience);
    EXPECT_EQ(code, 0) << out;
    return code == 0;
  }
  fs::path Map() const { return dir_ / "clntsh.map"; }
  fs::path Home() const { return dir_ / "home"; }
  std::vector<fs::path> Generated() const {
    return {Map(), Home() / "network" / "admin" / "tnsnames.ora", Home() / "hklm.reg"};
  }
  std::vector<fs::file_time_type> Times() const {
    std::vector<fs::file_time_type> times;
    for (const fs::path& p : Generated()) times.push_back(fs::last_write_time(p));
    return times;
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path dir_, api_;
};

TEST_F(SimHomeTest, ASecondConfigureRewritesNoGeneratedFileAndAChangedInputDoes) {
  ASSERT_TRUE(Generate());
  for (const fs::path& p : Generated()) ASSERT_TRUE(fs::exists(p)) << p;
  EXPECT_NE(Read(Map()).find("    OCIServerVersion;\n"), std::string::npos) << Read(Map());
  // as old as a build made long before
  const fs::file_time_type old = fs::last_write_time(Map()) - std::chrono::hours(1);
  for (const fs::path& p : Generated()) fs::last_write_time(p, old);
  const std::vector<fs::file_time_type> before = Times();
  ASSERT_TRUE(Generate());
  EXPECT_EQ(Times(), before) << "a generated file was written again with the same text";
  // an entry point more in the header: the version script follows it, the home stays
  {
    std::ofstream more(api_, std::ios::app);
    more << "\n#define TALVIK_SIM_HOME_TEST(X) X(TEST, OCIHomeTestEntry, (void))\n";
  }
  ASSERT_TRUE(Generate());
  EXPECT_GT(fs::last_write_time(Map()), old);
  EXPECT_NE(Read(Map()).find("    OCIHomeTestEntry;\n"), std::string::npos) << Read(Map());
  EXPECT_EQ(fs::last_write_time(Home() / "hklm.reg"), old);
}

}  // namespace
}  // namespace simtest
