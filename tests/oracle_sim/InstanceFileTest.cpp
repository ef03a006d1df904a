// The instance's file: one instance under every name that reaches the file (links, a link to a link,
// a linked folder, relative and ".." forms).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "OciConnection.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/EngineState.h"
#include "platform/rtl/ScopeExit.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;

// Every entry of Folder (not its subfolders' entries) with its bytes ("" for a folder or a link).
std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::directory_iterator(folder)) {
    std::string bytes;
    if (!e.is_symlink() && e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream read;
      read << in.rdbuf();
      bytes = read.str();
    }
    entries[e.path().filename().string()] = bytes;
  }
  return entries;
}

std::string Names(const std::map<std::string, std::string>& entries) {
  std::string names;
  for (const auto& [name, bytes] : entries) names += " " + name;
  return names;
}

// A whole instance of its own at File (moved there from a fresh copy), in the journal mode it had.
void PlaceInstance(const fs::path& file) {
  const fs::path fresh = FreshInstancePath();
  fs::rename(fresh, file);
  fs::remove(fresh.parent_path());
}

// ------------------------------------------------------------------ one instance, every name

// A name of the instance <scratch>/home2/sim.db, given as the test's working folder is <scratch>.
struct InstanceName {
  const char* label;
  const char* name;  // relative to <scratch>
  bool absolute;     // given as <scratch>/name rather than as it stands
};

std::ostream& operator<<(std::ostream& os, const InstanceName& n) {
  return os << n.name << (n.absolute ? " (absolute)" : " (relative)");
}

const InstanceName kInstanceNames[] = {
    {"OwnName", "home2/sim.db", true},          {"Link", "link.db", true},
    {"AbsoluteLink", "absolute.db", true},      {"LinkToLink", "link2.db", true},
    {"LinkedFolder", "homelink/sim.db", true},  {"DotDot", "home2/../home2/sim.db", true},
    {"RelativeOwnName", "home2/sim.db", false}, {"RelativeLinkToLinkAfterDotDot", "home2/../link2.db", false},
};

// <scratch>/home2/sim.db holds an instance; beside home2 stand link.db -> home2/sim.db,
// absolute.db -> <scratch>/home2/sim.db, link2.db -> link.db and homelink -> home2. The test runs in
// <scratch>.
class InstanceNames : public ::testing::TestWithParam<InstanceName> {
 protected:
  void SetUp() override {
    fs::create_directory(scratch_ / "home2");
    PlaceInstance(file_);
    fs::create_symlink("home2/sim.db", scratch_ / "link.db");
    fs::create_symlink(file_, scratch_ / "absolute.db");
    fs::create_symlink("link.db", scratch_ / "link2.db");
    fs::create_directory_symlink("home2", scratch_ / "homelink");
    cwd_ = fs::current_path();
    fs::current_path(scratch_);
  }
  void TearDown() override { fs::current_path(cwd_); }

  std::string Name() const {
    const InstanceName& n = GetParam();
    return n.absolute ? (scratch_ / n.name).string() : n.name;
  }
  // The first value of Sql's first row through S.
  static std::string First(Session& s, const std::string& sql) {
    auto c = s.Prepare(sql);
    c->Execute();
    std::vector<Value> row;
    return c->Fetch(row) && !row.empty() ? row[0].ToText() : std::string();
  }

  TempDir folder_;
  const fs::path scratch_ = folder_.Path();
  const fs::path file_ = scratch_ / "home2" / "sim.db";
  fs::path cwd_;
};

// A session of the instance under any of its names learns at its next call that another process
// killed it through the file's own name.
TEST_P(InstanceNames, AKillThroughTheFileOwnNameReachesTheSession) {
  auto instance = Instance::Open(Name());
  auto scott = Session::LogOn(instance, "SCOTT", "TIGER");
  ASSERT_EQ(First(*scott, "select dummy from dual"), "X");
  std::string out;
  ASSERT_EQ(RunTool(file_.string() + " kill " + std::to_string(scott->SessionId()) + " " +
                        std::to_string(scott->State().serial),
                    &out),
            0)
      << out;
  try {
    First(*scott, "select dummy from dual");
    ADD_FAILURE() << "the killed session's next call ran";
  } catch (const OraError& e) {
    EXPECT_EQ(e.code, 28) << e.text;
    EXPECT_EQ(e.text, "ORA-00028: your session has been killed");
  }
}

// A row one session locks through one name stays locked for a session of the same process that
// reaches the file through another: the holder is known to be alive, and keeps its change.
TEST_P(InstanceNames, ARowLockedUnderOneNameStaysLockedUnderAnother) {
  auto named = Instance::Open(Name());
  auto own = Instance::Open(file_.string());
  auto holder = Session::LogOn(named, "SCOTT", "TIGER");
  holder->Prepare("update scott.emp set sal = 801 where empno = 7369")->Execute();
  auto other = Session::LogOn(own, "SCOTT", "TIGER");
  try {
    other->Prepare("select sal from scott.emp where empno = 7369 for update nowait")->Execute();
    ADD_FAILURE() << "the row was locked again while its holder lives";
  } catch (const OraError& e) {
    EXPECT_EQ(e.code, 54) << e.text;
  }
  std::string sal;
  try {
    sal = First(*holder, "select sal from scott.emp where empno = 7369");
  } catch (const OraError& e) {
    sal = e.text;
  }
  EXPECT_EQ(sal, "801") << "the holder's change is gone";
}

// Opening the instance and logging on through any name makes nothing beside that name: the side
// files are the file's own.
TEST_P(InstanceNames, NothingIsMadeBesideTheNameUsed) {
  const auto before = FolderContents(scratch_);
  {
    auto instance = Instance::Open(Name());
    auto scott = Session::LogOn(instance, "SCOTT", "TIGER");
    EXPECT_EQ(First(*scott, "select count(*) from scott.dept"), "4");
  }
  const auto after = FolderContents(scratch_);
  EXPECT_EQ(Names(after), Names(before));
}

INSTANTIATE_TEST_SUITE_P(Names, InstanceNames, ::testing::ValuesIn(kInstanceNames),
                         [](const ::testing::TestParamInfo<InstanceName>& info) { return info.param.label; });

// The client library: a program's session through a link to the instance (as a descriptor names it,
// and as the home's alias does) is killed by talvik-sim through the file's own name.
class InstanceThroughALink : public OciEnvironmentTest {};

TEST_F(InstanceThroughALink, ASessionThroughTheLinkIsKilledThroughTheFileOwnName) {
  TempDir folder;
  const fs::path scratch = folder.Path();
  const fs::path file = scratch / "home2" / "sim.db";
  fs::create_directory(scratch / "home2");
  PlaceInstance(file);
  fs::create_symlink("home2/sim.db", scratch / "link.db");
  const char* kept = std::getenv("TALVIK_SIM_DB");
  const std::optional<std::string> before = kept ? std::optional<std::string>(kept) : std::nullopt;
  TScopeExit restore([&] {
    if (before)
      setenv("TALVIK_SIM_DB", before->c_str(), 1);
    else
      unsetenv("TALVIK_SIM_DB");
  });
  setenv("TALVIK_SIM_DB", (scratch / "link.db").c_str(), 1);
  const std::string descriptor =
      "(DESCRIPTION=(ADDRESS=(PROTOCOL=BEQ)(PATH=" + (scratch / "link.db").string() + ")))";
  for (const std::string& connect : {std::string("SIM"), descriptor}) {
    SCOPED_TRACE(connect);
    Connection conn(oci, env);
    ASSERT_EQ(conn.LogOn("system", "manager", connect.c_str()), OCI_SUCCESS) << conn.Message();
    const int sid = conn.Scalar("select sid from v$session where username = 'SYSTEM' and status <> 'KILLED'");
    const int serial =
        conn.Scalar("select serial# from v$session where username = 'SYSTEM' and status <> 'KILLED'");
    ASSERT_GT(sid, 0);
    std::string out;
    ASSERT_EQ(RunTool(file.string() + " kill " + std::to_string(sid) + " " + std::to_string(serial), &out), 0)
        << out;
    EXPECT_EQ(conn.Run("select dummy from dual"), OCI_ERROR);
    EXPECT_EQ(conn.Message(), "ORA-00028: your session has been killed");
    conn.LogOff();
  }
}

}  // namespace
}  // namespace simtest
