// The instance's file: one instance under every name that reaches the file (links, a link to a link,
// a linked folder, relative and ".." forms), and a file that only looks like an instance left as it
// is, byte for byte, when a logon to it fails.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
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

// The journal mode a database file declares in its header, read without opening it as a database.
std::string JournalModeOf(const fs::path& file) {
  constexpr std::streamoff kReadVersionAt = 19;
  constexpr char kWriteAheadLog = 2;
  std::ifstream in(file, std::ios::binary);
  in.seekg(kReadVersionAt);
  char version = 0;
  in.get(version);
  return !in ? "none" : version == kWriteAheadLog ? "wal" : "rollback";
}

// Runs Sql on the database file at Path through a connection of the test's own.
void ExecOn(const fs::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
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
    cwd_ = fs::current_path();
    fs::create_directory(scratch_ / "home2");
    PlaceInstance(file_);
    fs::create_symlink("home2/sim.db", scratch_ / "link.db");
    fs::create_symlink(file_, scratch_ / "absolute.db");
    fs::create_symlink("link.db", scratch_ / "link2.db");
    fs::create_directory_symlink("home2", scratch_ / "homelink");
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

// A link to a file not made yet makes the instance where it points, and the instance made is known by
// that file's own name from the first.
TEST(InstanceMadeThroughALink, IsMadeWhereTheLinkPoints) {
  TempDir folder;
  const fs::path scratch = folder.Path();
  const fs::path file = scratch / "home3" / "new.db";
  fs::create_directory(scratch / "home3");
  fs::create_symlink("home3/new.db", scratch / "new.db");
  auto instance = Instance::Open((scratch / "new.db").string());
  EXPECT_TRUE(fs::is_regular_file(file));
  EXPECT_EQ(Names(FolderContents(scratch)), " home3 new.db");
  auto scott = Session::LogOn(instance, "SCOTT", "TIGER");
  scott->Prepare("select dummy from dual")->Execute();
  std::string out;
  ASSERT_EQ(RunTool(file.string() + " kill " + std::to_string(scott->SessionId()) + " " +
                        std::to_string(scott->State().serial),
                    &out),
            0)
      << out;
  try {
    scott->Prepare("select dummy from dual")->Execute();
    ADD_FAILURE() << "the killed session's next call ran";
  } catch (const OraError& e) {
    EXPECT_EQ(e.text, "ORA-00028: your session has been killed");
  }
}

// Two names of one file (a hard link) reach one instance: a session through either is in the status
// talvik-sim gives through the other, each has a SID of its own, and the side files (the database's
// log and index, the lock, the change counter) are those of one name only.
TEST(InstanceThroughAHardLink, IsOneInstanceWithOneSetOfSideFiles) {
  TempDir folder;
  const fs::path scratch = folder.Path();
  const fs::path first = scratch / "hl.db";
  const fs::path second = scratch / "hl2.db";
  PlaceInstance(first);
  fs::create_hard_link(first, second);
  auto scott = Session::LogOn(Instance::Open(first.string()), "SCOTT", "TIGER");
  auto other = Session::LogOn(Instance::Open(second.string()), "SCOTT", "TIGER");
  EXPECT_NE(scott->SessionId(), other->SessionId());
  EXPECT_EQ(scott->GetInstance()->Path(), other->GetInstance()->Path());
  const auto listed = [](const std::string& status, Session& s) {
    const std::string row =
        "\n" + std::to_string(s.SessionId()) + "\t" + std::to_string(s.State().serial) + "\t";
    return status.find(row) != std::string::npos;
  };
  for (const fs::path& name : {first, second}) {
    SCOPED_TRACE(name.filename().string());
    std::string status;
    ASSERT_EQ(RunTool(name.string() + " status", &status), 0) << status;
    EXPECT_TRUE(listed(status, *scott)) << status;
    EXPECT_TRUE(listed(status, *other)) << status;
  }
  EXPECT_EQ(Names(FolderContents(scratch)), " hl.db hl.db-shm hl.db-wal hl.db.changes hl.db.lock hl2.db");
}

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
    // (the connection's own session, whatever other sessions the instance has)
    const int sid = conn.Scalar("select sid from v$mystat where rownum = 1");
    const int serial =
        conn.Scalar("select serial# from v$session where sid = (select sid from v$mystat where rownum = 1)");
    ASSERT_GT(sid, 0);
    std::string out;
    ASSERT_EQ(RunTool(file.string() + " kill " + std::to_string(sid) + " " + std::to_string(serial), &out), 0)
        << out;
    EXPECT_EQ(conn.Run("select dummy from dual"), OCI_ERROR);
    EXPECT_EQ(conn.Message(), "ORA-00028: your session has been killed");
    conn.LogOff();
  }
}

// ------------------------------------------------------------------ files that only look like one

// A file that holds some of an instance's tables, but not a whole instance.
struct Lookalike {
  const char* label;
  bool fromInstance;  // made from a whole instance (else from an empty database)
  const char* sql;    // what then makes it a lookalike
};

std::ostream& operator<<(std::ostream& os, const Lookalike& l) {
  return os << l.label;
}

const Lookalike kLookalikes[] = {
    {"MetaTableAlone", false, "CREATE TABLE sim$meta(key TEXT PRIMARY KEY, value)"},
    {"ReadyMetaTableAlone", false,
     "CREATE TABLE sim$meta(key TEXT PRIMARY KEY, value); INSERT INTO sim$meta VALUES ('ready', 1)"},
    {"MetaTableOfOtherColumns", false, "CREATE TABLE sim$meta(name TEXT, note TEXT)"},
    {"CatalogWithoutSessions", true, "DROP TABLE sim$sessions"},
    {"CatalogWithoutUsers", true, "DROP TABLE sim$users"},
    {"CatalogNeverReady", true, "DELETE FROM sim$meta WHERE key = 'ready'"},
};

// How a logon reaches the file.
enum class Way {
  kHomeAlias,        // as a name of the home's (and talvik-sim) does, an instance made on first use
  kDescriptor,       // as a descriptor does, only an instance that is there
  kClientDescriptor  // a descriptor through the client library, as a program logs on
};

std::ostream& operator<<(std::ostream& os, Way w) {
  return os << (w == Way::kHomeAlias    ? "HomeAlias"
                : w == Way::kDescriptor ? "Descriptor"
                                        : "ClientDescriptor");
}

// The lookalike, in a rollback journal or a write-ahead log, reached one way.
using LookalikeCase = std::tuple<Lookalike, std::string, Way>;

class LookalikeFiles : public OciEnvironmentTest, public ::testing::WithParamInterface<LookalikeCase> {
 protected:
  void SetUp() override {
    OciEnvironmentTest::SetUp();
    const auto& [lookalike, journal, way] = GetParam();
    if (lookalike.fromInstance) PlaceInstance(file_);
    ExecOn(file_, "PRAGMA journal_mode=" + journal + "; " + lookalike.sql);
  }

  // Oracle's error code of a logon as Scott to the file, the way the case reaches it, and its text.
  std::pair<int, std::string> LogOn() {
    const std::string descriptor = "(DESCRIPTION=(ADDRESS=(PROTOCOL=BEQ)(PATH=" + file_.string() + ")))";
    try {
      switch (std::get<Way>(GetParam())) {
        case Way::kHomeAlias:
          Session::LogOn(Instance::Open(file_.string()), "SCOTT", "TIGER");
          return {};
        case Way::kDescriptor:
          Session::LogOn(Instance::OpenExisting(file_.string()), "SCOTT", "TIGER");
          return {};
        case Way::kClientDescriptor: {
          OCISvcCtx* svc = nullptr;
          if (oci.OCILogon(env, err, &svc, T("scott"), 5, T("tiger"), 5, T(descriptor.c_str()),
                           static_cast<ub4>(descriptor.size())) != OCI_SUCCESS)
            return ErrorOf(oci, err);
          oci.OCILogoff(svc, err);
          return {};
        }
      }
    } catch (const OraError& e) {
      return {e.code, e.text};
    }
    return {};
  }

  TempDir folder_;
  const fs::path file_ = fs::path(folder_.Path()) / "sim.db";
};

// The logon fails as for a path where there is no instance, and the file is left as it was: its
// bytes, its journal mode, and nothing made beside it.
TEST_P(LookalikeFiles, ALogonFailsAndLeavesTheFileAsItWas) {
  const auto before = FolderContents(folder_.Path());
  ASSERT_EQ(before.size(), 1u) << Names(before);
  const std::string mode = JournalModeOf(file_);
  ASSERT_EQ(mode, std::get<1>(GetParam()) == "WAL" ? "wal" : "rollback");

  const auto [code, message] = LogOn();
  EXPECT_EQ(code, 1034);
  EXPECT_EQ(message, "ORA-01034: ORACLE not available");

  const auto after = FolderContents(folder_.Path());
  EXPECT_EQ(Names(after), Names(before));
  EXPECT_TRUE(after.count("sim.db") && after.at("sim.db") == before.at("sim.db"))
      << "the file's bytes changed";
  EXPECT_EQ(JournalModeOf(file_), mode);
}

INSTANTIATE_TEST_SUITE_P(Files, LookalikeFiles,
                         ::testing::Combine(::testing::ValuesIn(kLookalikes),
                                            ::testing::Values(std::string("DELETE"), std::string("WAL")),
                                            ::testing::Values(Way::kHomeAlias, Way::kDescriptor,
                                                              Way::kClientDescriptor)),
                         [](const ::testing::TestParamInfo<LookalikeCase>& info) {
                           std::ostringstream name;
                           name << std::get<0>(info.param).label << "_" << std::get<1>(info.param) << "_"
                                << std::get<2>(info.param);
                           return name.str();
                         });

// A process that opens an instance while another is still making it waits for the maker, and opens
// the whole instance it made: a file made but not yet ready is no lookalike while its maker holds
// the side lock.
TEST(InstanceBeingMade, AnOpenWaitsForTheMakerAndFindsTheWholeInstance) {
  TempDir folder;
  const fs::path file = fs::path(folder.Path()) / "sim.db";
  const fs::path made = fs::path(folder.Path()) / "made.db";
  PlaceInstance(made);
  ExecOn(file, "CREATE TABLE sim$meta(key TEXT PRIMARY KEY, value)");
  const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(lock, 0);
  TScopeExit closeLock([&] { ::close(lock); });
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  auto opened = std::async(std::launch::async, [&] {
    auto instance = Instance::Open(file.string());
    auto scott = Session::LogOn(instance, "SCOTT", "TIGER");
    auto c = scott->Prepare("select count(*) from scott.emp");
    c->Execute();
    std::vector<Value> row;
    return c->Fetch(row) ? row[0].ToText() : std::string();
  });
  EXPECT_EQ(opened.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
      << "the open did not wait for the maker";
  fs::rename(made, file);  // the maker's work done
  ::flock(lock, LOCK_UN);
  ASSERT_EQ(opened.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  std::string count;
  try {
    count = opened.get();
  } catch (const OraError& e) {
    count = e.text;
  }
  EXPECT_EQ(count, "14");
}

}  // namespace
}  // namespace simtest
