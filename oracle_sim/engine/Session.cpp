// Sessions: logon, the per-session SQLite connection, transactions (undo log), savepoints and
// row locks shared through the instance file.
#include "oracle_sim/engine/Session.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <tuple>

#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Live.h"
#include "oracle_sim/engine/Objects.h"
#include "oracle_sim/engine/Views.h"

namespace oracle_sim {

namespace {

// A session of this process: its instance's path, its SID and serial number.
using LiveSession = std::tuple<std::string, int, int>;
std::mutex g_liveMu;
std::set<LiveSession> g_live;  // the sessions alive in this process

// How often the sessions of ended processes are looked for.
constexpr std::chrono::milliseconds kEndedProcessSweepGap{200};

int BusyHandler(void* arg, int count) {
  auto* s = static_cast<SessionState*>(arg);
  if (s && s->interrupted.load()) return 0;
  if (count > 6000) return 0;  // about a minute
  std::this_thread::sleep_for(std::chrono::milliseconds(count < 10 ? 1 : 10));
  return 1;
}

sqlite3* OpenConnection(const std::string& path, SessionState* owner) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : "cannot open";
    sqlite3_close(db);
    throw OraError(1034, "ORA-01034: ORACLE not available (" + msg + ")");
  }
  sqlite3_busy_handler(db, BusyHandler, owner);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db,
               "PRAGMA synchronous=NORMAL; PRAGMA case_sensitive_like=ON; PRAGMA foreign_keys=OFF; "
               "PRAGMA cache_size=-16000;",
               nullptr, nullptr, nullptr);
  return db;
}

// Runs `body` in a write transaction of a connection of its own.
void InTransaction(const std::string& path, const std::function<void(sqlite3*)>& body) {
  sqlite3* db = OpenConnection(path, nullptr);
  try {
    Exec(db, "BEGIN IMMEDIATE");
    body(db);
    Exec(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
}

std::string ColText(sqlite3_stmt* st, int i) {
  auto p = sqlite3_column_text(st, i);
  return p ? reinterpret_cast<const char*>(p) : "";
}

std::string UpperAscii(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Runs one statement with integer parameters and returns the first column of the first row (or dflt).
int64_t Scalar(sqlite3* db, const std::string& sql, std::initializer_list<int64_t> args, int64_t dflt = 0) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(db);
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
  int i = 1;
  for (auto a : args) sqlite3_bind_int64(st, i++, a);
  int64_t r = dflt;
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) r = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    OraError e;
    std::string msg = sqlite3_errmsg(db);
    if (ParseOraMessage(msg, e)) throw e;
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
  return r;
}

// Scripts run as SYS when a new instance is created.
const char* kSampleSchema[] = {
    "CREATE TABLE SCOTT.DEPT (DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(14), LOC "
    "VARCHAR2(13))",
    "CREATE TABLE SCOTT.EMP (EMPNO NUMBER(4) CONSTRAINT PK_EMP PRIMARY KEY, ENAME VARCHAR2(10), JOB "
    "VARCHAR2(9), "
    "MGR NUMBER(4), HIREDATE DATE, SAL NUMBER(7,2), COMM NUMBER(7,2), "
    "DEPTNO NUMBER(2) CONSTRAINT FK_DEPTNO REFERENCES SCOTT.DEPT)",
    "CREATE TABLE SCOTT.BONUS (ENAME VARCHAR2(10), JOB VARCHAR2(9), SAL NUMBER, COMM NUMBER)",
    "CREATE TABLE SCOTT.SALGRADE (GRADE NUMBER, LOSAL NUMBER, HISAL NUMBER)",
    "CREATE SEQUENCE SCOTT.EMP_SEQ START WITH 8000 INCREMENT BY 1 NOCACHE",
    "INSERT INTO SCOTT.DEPT VALUES (10, 'ACCOUNTING', 'NEW YORK')",
    "INSERT INTO SCOTT.DEPT VALUES (20, 'RESEARCH', 'DALLAS')",
    "INSERT INTO SCOTT.DEPT VALUES (30, 'SALES', 'CHICAGO')",
    "INSERT INTO SCOTT.DEPT VALUES (40, 'OPERATIONS', 'BOSTON')",
    "INSERT INTO SCOTT.EMP VALUES (7369, 'SMITH', 'CLERK', 7902, to_date('17-12-1980', 'dd-mm-yyyy'), 800, "
    "NULL, 20)",
    "INSERT INTO SCOTT.EMP VALUES (7499, 'ALLEN', 'SALESMAN', 7698, to_date('20-2-1981', 'dd-mm-yyyy'), "
    "1600, 300, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7521, 'WARD', 'SALESMAN', 7698, to_date('22-2-1981', 'dd-mm-yyyy'), 1250, "
    "500, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7566, 'JONES', 'MANAGER', 7839, to_date('2-4-1981', 'dd-mm-yyyy'), 2975, "
    "NULL, 20)",
    "INSERT INTO SCOTT.EMP VALUES (7654, 'MARTIN', 'SALESMAN', 7698, to_date('28-9-1981', 'dd-mm-yyyy'), "
    "1250, 1400, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7698, 'BLAKE', 'MANAGER', 7839, to_date('1-5-1981', 'dd-mm-yyyy'), 2850, "
    "NULL, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7782, 'CLARK', 'MANAGER', 7839, to_date('9-6-1981', 'dd-mm-yyyy'), 2450, "
    "NULL, 10)",
    "INSERT INTO SCOTT.EMP VALUES (7788, 'SCOTT', 'ANALYST', 7566, to_date('19-4-1987', 'dd-mm-yyyy'), 3000, "
    "NULL, 20)",
    "INSERT INTO SCOTT.EMP VALUES (7839, 'KING', 'PRESIDENT', NULL, to_date('17-11-1981', 'dd-mm-yyyy'), "
    "5000, NULL, 10)",
    "INSERT INTO SCOTT.EMP VALUES (7844, 'TURNER', 'SALESMAN', 7698, to_date('8-9-1981', 'dd-mm-yyyy'), "
    "1500, 0, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7876, 'ADAMS', 'CLERK', 7788, to_date('23-5-1987', 'dd-mm-yyyy'), 1100, "
    "NULL, 20)",
    "INSERT INTO SCOTT.EMP VALUES (7900, 'JAMES', 'CLERK', 7698, to_date('3-12-1981', 'dd-mm-yyyy'), 950, "
    "NULL, 30)",
    "INSERT INTO SCOTT.EMP VALUES (7902, 'FORD', 'ANALYST', 7566, to_date('3-12-1981', 'dd-mm-yyyy'), 3000, "
    "NULL, 20)",
    "INSERT INTO SCOTT.EMP VALUES (7934, 'MILLER', 'CLERK', 7782, to_date('23-1-1982', 'dd-mm-yyyy'), 1300, "
    "NULL, 10)",
    "INSERT INTO SCOTT.SALGRADE VALUES (1, 700, 1200)",
    "INSERT INTO SCOTT.SALGRADE VALUES (2, 1201, 1400)",
    "INSERT INTO SCOTT.SALGRADE VALUES (3, 1401, 2000)",
    "INSERT INTO SCOTT.SALGRADE VALUES (4, 2001, 3000)",
    "INSERT INTO SCOTT.SALGRADE VALUES (5, 3001, 9999)",
    "COMMIT",
};

}  // namespace

// ------------------------------------------------------------------ Instance
Instance::Instance() : state_(std::make_unique<InstanceState>()) {}

InstanceState::~InstanceState() {
  if (changes) ::munmap(static_cast<void*>(changes), sizeof(std::atomic<uint64_t>));
}

namespace {
// Maps the instance's change counter (see InstanceState::changes).
std::atomic<uint64_t>* MapChanges(const std::string& path) {
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
  const int fd = ::open((path + ".changes").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  void* at = MAP_FAILED;
  struct stat st {};
  if (::fstat(fd, &st) == 0 &&
      (st.st_size >= static_cast<off_t>(sizeof(uint64_t)) || ::ftruncate(fd, sizeof(uint64_t)) == 0))
    at = ::mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  return at == MAP_FAILED ? nullptr : static_cast<std::atomic<uint64_t>*>(at);
}
}  // namespace
Instance::~Instance() = default;
const std::string& Instance::Path() const {
  return state_->path;
}
std::string Instance::Banner() {
  return "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production";
}
std::string Instance::VersionText() {
  return "9.2.0.8.0";
}
uint32_t Instance::ReleaseNumber() {
  return 0x09200800u;
}

namespace {

// What a file holds, as read without changing it.
enum class FileHolds {
  kNoInstance,  // nothing there, no database, or a database without the instance's own table
  kPart,        // the instance's own table, but not every table of a whole instance, or not made to its end
  kInstance,    // a whole instance
  kUnread,      // a database that could not be read now
};

// The count Sql gives; nothing when it fails.
std::optional<int64_t> Count(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* query = nullptr;
  std::optional<int64_t> count;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_step(query) == SQLITE_ROW)
    count = sqlite3_column_int64(query, 0);
  sqlite3_finalize(query);
  return count;
}

// What an open database holds (see WhatFileHolds).
FileHolds ReadWhatDatabaseHolds(sqlite3* db) {
  const auto tables = [&](const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "'" : ", '") + name + "'";
    return Count(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (" + list + ")");
  };
  const auto meta = tables({"sim$meta"});
  if (!meta) return FileHolds::kUnread;
  if (*meta == 0) return FileHolds::kNoInstance;
  const auto first = tables(FirstInstanceTables());
  const auto metaColumns =
      Count(db, "SELECT count(*) FROM pragma_table_info('sim$meta') WHERE name IN ('key', 'value')");
  if (!first || !metaColumns) return FileHolds::kUnread;
  if (*first != static_cast<int64_t>(FirstInstanceTables().size()) || *metaColumns != 2)
    return FileHolds::kPart;
  const auto ready = Count(db, "SELECT count(*) FROM sim$meta WHERE key = 'ready' AND value = 1");
  if (!ready) return FileHolds::kUnread;
  return *ready == 1 ? FileHolds::kInstance : FileHolds::kPart;
}

// Reads the first Size bytes of the file at Path (a full path) into Into: whether it has that many;
// nothing when it cannot be read. The file is read through SQLite's own file layer, so that the locks
// this process's connections hold on the file stay (closing a descriptor of one's own would release
// them all, and another process would take the database for one no connection uses).
std::optional<bool> ReadHeader(const std::string& path, char* into, int size) {
  sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  if (!vfs) return std::nullopt;
  std::vector<sqlite3_int64> space((vfs->szOsFile + sizeof(sqlite3_int64) - 1) / sizeof(sqlite3_int64));
  auto* file = reinterpret_cast<sqlite3_file*>(space.data());
  int flags = 0;
  const int opened = vfs->xOpen(vfs, path.c_str(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags);
  if (opened != SQLITE_OK) {
    if (file->pMethods) file->pMethods->xClose(file);
    return std::nullopt;
  }
  const int rc = file->pMethods->xRead(file, into, size, 0);
  file->pMethods->xClose(file);
  if (rc == SQLITE_IOERR_SHORT_READ) return false;
  if (rc != SQLITE_OK) return std::nullopt;
  return true;
}

// What the file at Path holds: an instance is an SQLite database with the instance's own table, every
// table an instance has had from the first, and the mark of an instance made to its end. Looking
// writes nothing and makes no file beside it. A database in write-ahead-log mode that no connection
// has open (its log and index files are gone with the last one) is read as it lies on disk, since a
// reader would make both files; one in use is read through the files its users keep.
FileHolds WhatFileHolds(const std::string& path) {
  constexpr char kMagic[] = "SQLite format 3";  // with its zero, the first 16 bytes of a database
  constexpr size_t kHeaderSize = 100;
  constexpr size_t kReadVersionAt = 19;
  constexpr char kWriteAheadLog = 2;     // (the read version of a database in write-ahead-log mode)
  constexpr int kBusyPatienceMs = 5000;  // for a writer of the instance to let a reader in
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileHolds::kNoInstance;
  char header[kHeaderSize] = {};
  const std::optional<bool> read = ReadHeader(path, header, sizeof header);
  if (!read) return FileHolds::kUnread;
  if (!*read || std::memcmp(header, kMagic, sizeof kMagic) != 0) return FileHolds::kNoInstance;
  const auto exists = [](const std::string& file) { return ::access(file.c_str(), F_OK) == 0; };
  const bool inUse = exists(path + "-wal") && exists(path + "-shm");
  const bool asOnDisk = header[kReadVersionAt] == kWriteAheadLog && !inUse;
  // (the path as a file URI: an absolute path with its reserved characters escaped)
  std::error_code error;
  const std::string absolute = std::filesystem::absolute(path, error).string();
  if (error) return FileHolds::kUnread;
  std::string uri = "file://";
  for (const char c : absolute) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  uri += asOnDisk ? "?immutable=1" : "?mode=ro";
  sqlite3* db = nullptr;
  FileHolds holds = FileHolds::kUnread;
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyPatienceMs);
    holds = ReadWhatDatabaseHolds(db);
  }
  sqlite3_close(db);
  return holds;
}

// What the file at Path holds once no process is making an instance there: a file that holds part of
// an instance may be one a process is making (it holds the side lock of Open meanwhile), which is
// waited for. Waiting makes no lock file where there is none.
FileHolds WhatFileHoldsMade(const std::string& path) {
  const FileHolds holds = WhatFileHolds(path);
  if (holds != FileHolds::kPart) return holds;
  const int fd = ::open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return holds;
  ::flock(fd, LOCK_SH);
  ::close(fd);
  return WhatFileHolds(path);
}

// ---- One name for every name of a file
//
// Hard links and bind mounts give one file several real names. SQLite names a database's log and
// index after the name it is opened by, and so do the instance's own side files: every process opens a
// file by one name, its home name. The first name a file is opened by is recorded, in a folder of the
// user's, under the file's device and inode number; a recorded name that no longer reaches that file
// (it was removed, or names another file now) gives way to the next name the file is opened by.

// A file as the system knows it, whatever its names.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// The folder of the recorded home names (made, private to the user, when missing); "" when it cannot be
// used.
std::string HomeNamesFolder() {
  const std::string folder = "/tmp/talvik-sim-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
  return folder;
}

// The name recorded under Entry when it still reaches the file Id.
std::optional<std::string> RecordedHome(const std::string& entry, const FileId& id) {
  std::error_code error;
  const std::string target = std::filesystem::read_symlink(entry, error).string();
  if (error || IdOf(target) != id) return std::nullopt;
  return target;
}

// Removes the records of Folder that reach no file of theirs any more.
void PruneHomeNames(const std::string& folder) {
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(folder, error)) {
    const std::string key = e.path().filename().string();
    unsigned long long device = 0, inode = 0;
    char rest = 0;
    if (std::sscanf(key.c_str(), "%llu-%llu%c", &device, &inode, &rest) != 2) continue;
    if (!RecordedHome(e.path().string(), FileId{static_cast<dev_t>(device), static_cast<ino_t>(inode)}))
      ::unlink(e.path().c_str());
  }
}

// The home name of the file Real names (a real path); Real itself for a file not there yet, or when
// no record can be kept.
std::string HomeName(const std::string& real) {
  const std::optional<FileId> id = IdOf(real);
  if (!id) return real;
  const std::string folder = HomeNamesFolder();
  if (folder.empty()) return real;
  const std::string key = std::to_string(id->device) + "-" + std::to_string(id->inode);
  const std::string entry = folder + "/" + key;
  if (auto home = RecordedHome(entry, *id)) return *home;
  // one process at a time records a name
  const int fd = ::open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return real;
  struct Unlock {
    int fd;
    ~Unlock() {
      ::flock(fd, LOCK_UN);
      ::close(fd);
    }
  } unlock{fd};
  ::flock(fd, LOCK_EX);
  if (auto home = RecordedHome(entry, *id)) return *home;
  const std::string fresh = folder + "/." + key + "." + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(real.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), entry.c_str()) != 0) {
    ::unlink(fresh.c_str());
    return real;
  }
  PruneHomeNames(folder);
  return real;
}

}  // namespace

std::string Instance::RealPath(const std::string& path) {
  namespace fs = std::filesystem;
  constexpr int kMostLinksFollowed = 40;  // as many as the system follows in one name
  std::error_code error;
  fs::path name = fs::absolute(path, error);
  if (error) return path;
  // A link whose file is not there yet is not followed by resolving the name: follow it by hand.
  for (int link = 0; link < kMostLinksFollowed && fs::is_symlink(fs::symlink_status(name, error)); ++link) {
    const fs::path target = fs::read_symlink(name, error);
    if (error) break;
    name = target.is_absolute() ? target : name.parent_path() / target;
  }
  const fs::path real = fs::weakly_canonical(name, error);
  return HomeName((error ? name.lexically_normal() : real).string());
}

std::shared_ptr<Instance> Instance::OpenExisting(const std::string& path) {
  const std::string real = RealPath(path);
  if (WhatFileHoldsMade(real) != FileHolds::kInstance) Raise(1034);
  return OpenAt(real);
}

std::shared_ptr<Instance> Instance::Open(const std::string& path) {
  const std::string real = RealPath(path);
  if (WhatFileHoldsMade(real) == FileHolds::kPart) Raise(1034);
  return OpenAt(real);
}

std::shared_ptr<Instance> Instance::OpenAt(const std::string& path) {
  assert(std::filesystem::path(path).is_absolute());
  std::shared_ptr<Instance> inst(new Instance());
  inst->state_->path = path;
  // One process at a time creates a new instance; the others wait on the side lock.
  std::string lockPath = path + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) ::flock(fd, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
      }
    }
  } unlock{fd};
  bool ready = false;
  InTransaction(path, [&](sqlite3* db) {
    ready = Scalar(db, "SELECT count(*) FROM sqlite_master WHERE name = 'sim$meta'", {}) > 0 &&
            Scalar(db, "SELECT value FROM sim$meta WHERE key = 'ready'", {}) == 1;
    if (!ready && Scalar(db, "SELECT count(*) FROM sqlite_master WHERE name = 'sim$meta'", {}) == 0)
      BootstrapInstance(db);
    // files written by earlier versions of the engine get what they lack
    if (Scalar(db, "SELECT value FROM sim$meta WHERE key = 'schema_version'", {}, 1) < 2) {
      if (Scalar(db, "SELECT count(*) FROM pragma_table_info('sim$sessions') WHERE name = 'waiting_for'",
                 {}) == 0)
        Exec(db, "ALTER TABLE sim$sessions ADD COLUMN waiting_for INTEGER");
      Exec(db, "INSERT OR REPLACE INTO sim$meta VALUES ('schema_version', 2)");
    }
    if (Scalar(db, "SELECT count(*) FROM sqlite_master WHERE name = 'sim$types'", {}) == 0) {
      UpgradeObjectTypes(db);
      Exec(db, "UPDATE sim$meta SET value = value + 1 WHERE key = 'catalog_version'");
    }
    if (Scalar(db, "SELECT count(*) FROM sqlite_master WHERE name = 'sim$directories'", {}) == 0) {
      InstallDirectories(db);
      Exec(db, "UPDATE sim$meta SET value = value + 1 WHERE key = 'catalog_version'");
    }
    if (Scalar(db, "SELECT count(*) FROM sqlite_master WHERE name = 'sim$statname'", {}) == 0) {
      InstallPerformanceViews(db);
      Exec(db, "UPDATE sim$meta SET value = value + 1 WHERE key = 'catalog_version'");
    }
    // table locks (LOCK TABLE) came later: an older file records them from now on
    Exec(
        db,
        "CREATE TABLE IF NOT EXISTS sim$tmlocks(sid INTEGER NOT NULL, obj_id INTEGER NOT NULL, lmode INTEGER "
        "NOT NULL, PRIMARY KEY(sid, obj_id))");
  });
  // (a file made here is known by this name from now on, under whatever other name it is opened)
  HomeName(path);
  inst->state_->changes = MapChanges(path);
  inst->state_->Changed();  // (opening may have brought the file's catalog up to date)
  if (!ready) {
    {
      auto sys = Session::LogOn(inst, "SYS", "CHANGE_ON_INSTALL");
      for (const char* sql : kSampleSchema) sys->Prepare(sql)->Execute();
    }
    InTransaction(path, [](sqlite3* db) { Exec(db, "INSERT OR REPLACE INTO sim$meta VALUES ('ready', 1)"); });
  }
  return inst;
}

// ------------------------------------------------------------------ SessionState
void SessionState::CheckConnected() {
  int c = cut.load();
  if (c == 1) {
    cut = 2;
    Raise(3113);
  }
  if (c == 2) Raise(3114);
  // nothing was killed since the session last found itself alive
  const uint64_t changes = instance->State().Changes();
  if (aliveKnown && aliveKnownAt == changes && instance->State().changes) return;
  int killed = live::KilledState(*this, changes);
  if (killed == 0) {
    aliveKnown = true;
    aliveKnownAt = changes;
  }
  if (killed == 1) {
    cut = 2;
    live::OnKilled(*this);
    Raise(28);
  }
  if (killed == 2) {
    cut = 2;
    Raise(3113);
  }
}

bool SessionState::OthersPending() {
  if (!pendingStmt)
    sqlite3_prepare_v2(db, "SELECT 1 FROM sim$undo WHERE sid < ?1 OR sid > ?1 LIMIT 1", -1, &pendingStmt,
                       nullptr);
  if (!pendingStmt) return true;
  sqlite3_bind_int(pendingStmt, 1, sid);
  bool any = sqlite3_step(pendingStmt) == SQLITE_ROW;
  sqlite3_reset(pendingStmt);
  return any;
}

TranslateContext SessionState::Context() {
  TranslateContext ctx;
  ctx.catalog = CurrentCatalog().get();
  ctx.user = user;
  ctx.dba = dba;
  return ctx;
}

sqlite3_stmt* SessionState::Prepared(const std::string& sql) {
  auto it = prepared.find(sql);
  if (it != prepared.end()) {
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    return it->second;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
  prepared.emplace(sql, st);
  return st;
}

int64_t SessionState::PreparedScalar(const std::string& sql, std::initializer_list<int64_t> args,
                                     int64_t dflt) {
  sqlite3_stmt* st = Prepared(sql);
  int i = 1;
  for (auto a : args) sqlite3_bind_int64(st, i++, a);
  int64_t r = dflt;
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) r = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    OraError e;
    std::string msg = sqlite3_errmsg(db);
    if (ParseOraMessage(msg, e)) throw e;
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
  return r;
}

int SessionState::Control(const char* sql) {
  sqlite3_stmt* st = Prepared(sql);
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

std::shared_ptr<const Catalog> SessionState::CurrentCatalog() {
  if (!versionStmt)
    sqlite3_prepare_v2(db, "SELECT value FROM sim$meta WHERE key = 'catalog_version'", -1, &versionStmt,
                       nullptr);
  int64_t v = 0;
  const uint64_t changes = instance->State().Changes();
  if (catalogKnown && catalogKnownAt == changes && instance->State().changes) {
    v = knownCatalogVersion;
  } else if (versionStmt) {
    if (sqlite3_step(versionStmt) == SQLITE_ROW) v = sqlite3_column_int64(versionStmt, 0);
    sqlite3_reset(versionStmt);
    knownCatalogVersion = v;
    catalogKnownAt = changes;
    catalogKnown = true;
  }
  InstanceState& is = instance->State();
  {
    std::lock_guard<std::mutex> lock(is.mu);
    if (is.catalog && is.catalog->version == v) return is.catalog;
  }
  // Loading runs SQL, so it happens outside the instance lock (see InstanceState::mu); two sessions
  // that find the catalog stale at once both load it, and the newer one stays.
  auto loaded = LoadCatalog(db, v);
  std::lock_guard<std::mutex> lock(is.mu);
  if (!is.catalog || is.catalog->version < v) {
    is.catalog = loaded;
    is.cache.clear();
  }
  return loaded;
}

std::shared_ptr<Translation> SessionState::TranslateCached(const std::string& sql) {
  auto cat = CurrentCatalog();
  InstanceState& is = instance->State();
  std::string key = user + (dba ? "\x01" : "\x02") + sql;
  {
    std::lock_guard<std::mutex> lock(is.mu);
    if (is.catalog == cat) {
      auto it = is.cache.find(key);
      if (it != is.cache.end()) return it->second;
    }
  }
  TranslateContext ctx;
  ctx.catalog = cat.get();
  ctx.user = user;
  ctx.dba = dba;
  auto tr = Translate(ctx, sql);
  tr->readsLive = live::ReadsLiveState(*tr);
  std::lock_guard<std::mutex> lock(is.mu);
  if (is.catalog == cat) {
    if (is.cache.size() > 2000) is.cache.clear();
    is.cache[key] = tr;
  }
  return tr;
}

void SessionState::StatementStart() {
  interrupted = false;
  env.now = NowLocal();
}

void SessionState::RaiseSqlite(int rc) {
  std::string msg = sqlite3_errmsg(db);
  if (msg.find("SIM-LOCK") != std::string::npos) throw LockConflict();
  OraError e;
  if (ParseOraMessage(msg, e)) throw e;
  if ((rc & 0xFF) == SQLITE_INTERRUPT || interrupted.load()) Raise(1013);
  if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED) Raise(54);
  // what SQLite refuses that the server refuses as well, by a fragment of SQLite's message
  static const struct {
    const char* fragment;
    int code;
  } kRefusals[] = {
      // expressions nested deeper than the instance can take (the parser's own limit is the same)
      {"parser stack overflow", 3001},
      // a group function in WHERE, GROUP BY, a join condition, or nested in another
      {"misuse of aggregate", 934},
      {"aggregate functions are not allowed", 934},
  };
  for (const auto& r : kRefusals)
    if (msg.find(r.fragment) != std::string::npos) Raise(r.code);
  const char* uniq = "UNIQUE constraint failed: ";
  if (msg.rfind(uniq, 0) == 0) {
    // "SCOTT.EMP.EMPNO, SCOTT.EMP.ENAME" -> the catalog's constraint on those columns
    std::string rest = msg.substr(std::strlen(uniq));
    std::vector<std::string> cols;
    std::string table;
    size_t p = 0;
    while (p < rest.size()) {
      size_t q = rest.find(", ", p);
      std::string item = rest.substr(p, q == std::string::npos ? std::string::npos : q - p);
      auto dot = item.rfind('.');
      if (dot != std::string::npos) {
        table = item.substr(0, dot);
        cols.push_back(item.substr(dot + 1));
      }
      if (q == std::string::npos) break;
      p = q + 2;
    }
    auto cat = instance->State().catalog;
    if (cat) {
      for (auto& [key, obj] : cat->objects) {
        if (obj.sqliteName != table) continue;
        auto it = cat->constraints.find(key);
        if (it == cat->constraints.end()) break;
        for (auto& c : it->second) {
          if (c.type != 'P' && c.type != 'U') continue;
          auto a = c.columns, b = cols;
          std::sort(a.begin(), a.end());
          std::sort(b.begin(), b.end());
          if (a == b) Raise(1, c.owner + "." + c.name);
        }
      }
    }
    Raise(1, table);
  }
  throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
}

void SessionState::DrainCursors(CursorState* except) {
  for (auto* c : cursors)
    if (c != except && c->rowsOpen) c->Drain();
}

void SessionState::BeginWrite() {
  DrainCursors();
  int rc = Control("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) RaiseSqlite(rc);
  marksKnown = false;
  live::OnWriteBegin(*this);
}

void SessionState::CommitWrite() {
  int rc = Control("COMMIT");
  if (rc != SQLITE_OK) {
    live::OnWriteEnd(*this, false);
    Control("ROLLBACK");
    marksKnown = false;
    if (changedOnCommit) instance->State().Changed();
    changedOnCommit = false;
    RaiseSqlite(rc);
  }
  live::OnWriteEnd(*this, true);
  // the other sessions of the instance learn of a kill or a new catalog from here on
  if (changedOnCommit) instance->State().Changed();
  changedOnCommit = false;
}

void SessionState::RollbackWrite() {
  live::OnWriteEnd(*this, false);
  if (!sqlite3_get_autocommit(db)) Control("ROLLBACK");
  marksKnown = false;
  if (changedOnCommit) instance->State().Changed();
  changedOnCommit = false;
}

void SessionState::LearnMarks() {
  sqlite3_stmt* st = Prepared(
      "SELECT coalesce((SELECT max(seq) FROM sim$undo WHERE sid = ?1), 0), coalesce((SELECT max(rowid) FROM "
      "sim$locks WHERE sid = ?1), 0)");
  sqlite3_bind_int(st, 1, sid);
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    knownUndoSeq = sqlite3_column_int64(st, 0);
    knownLockRow = sqlite3_column_int64(st, 1);
  }
  sqlite3_reset(st);
  if (rc != SQLITE_ROW) RaiseSqlite(rc);
  marksKnown = true;
}

void SessionState::RollbackUndo(int who, int64_t afterSeq) {
  struct Entry {
    int64_t seq, obj, rid;
    std::string op, vals;
  };
  std::vector<Entry> entries;
  {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT seq, obj_id, op, rid, vals FROM sim$undo WHERE sid = ? AND seq > ? ORDER BY seq DESC", -1,
        &st, nullptr);
    sqlite3_bind_int(st, 1, who);
    sqlite3_bind_int64(st, 2, afterSeq);
    while (sqlite3_step(st) == SQLITE_ROW) {
      Entry e;
      e.seq = sqlite3_column_int64(st, 0);
      e.obj = sqlite3_column_int64(st, 1);
      e.op = ColText(st, 2);
      e.rid = sqlite3_column_int64(st, 3);
      if (sqlite3_column_type(st, 4) == SQLITE_BLOB)
        e.vals.assign(static_cast<const char*>(sqlite3_column_blob(st, 4)), sqlite3_column_bytes(st, 4));
      entries.push_back(std::move(e));
    }
    sqlite3_finalize(st);
  }
  if (entries.empty()) return;
  auto cat = CurrentCatalog();
  std::map<int64_t, const CatObject*> byId;
  for (auto& [k, o] : cat->objects) byId[o.id] = &o;
  env.undoing = true;
  struct Restore {
    FunctionEnv& env;
    ~Restore() { env.undoing = false; }
  } restore{env};
  for (auto& e : entries) {
    auto it = byId.find(e.obj);
    if (it == byId.end()) continue;
    const CatObject& t = *it->second;
    std::string tbl = QuoteIdent(t.sqliteName);
    std::string sql;
    if (e.op == "I") {
      sql = "DELETE FROM " + tbl + " WHERE rowid = ?1";
    } else if (e.op == "U") {
      sql = "UPDATE " + tbl + " SET ";
      for (size_t i = 0; i < t.columns.size(); ++i)
        sql += (i ? ", " : "") + QuoteIdent(t.columns[i].name) + " = ?" + std::to_string(i + 2);
      sql += " WHERE rowid = ?1";
    } else {
      sql = "INSERT INTO " + tbl + " (rowid";
      for (auto& c : t.columns) sql += ", " + QuoteIdent(c.name);
      sql += ") VALUES (?1";
      for (size_t i = 0; i < t.columns.size(); ++i) sql += ", ?" + std::to_string(i + 2);
      sql += ")";
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      continue;
    }
    sqlite3_bind_int64(st, 1, e.rid);
    // unpack values
    size_t p = 0;
    int idx = 2;
    const std::string& b = e.vals;
    while (p < b.size() && idx <= static_cast<int>(t.columns.size()) + 1) {
      int type = static_cast<unsigned char>(b[p++]);
      if (type == SQLITE_INTEGER && p + 8 <= b.size()) {
        int64_t x;
        std::memcpy(&x, b.data() + p, 8);
        p += 8;
        sqlite3_bind_int64(st, idx, x);
      } else if (type == SQLITE_FLOAT && p + 8 <= b.size()) {
        double x;
        std::memcpy(&x, b.data() + p, 8);
        p += 8;
        sqlite3_bind_double(st, idx, x);
      } else if ((type == SQLITE_TEXT || type == SQLITE_BLOB) && p + 4 <= b.size()) {
        uint32_t len;
        std::memcpy(&len, b.data() + p, 4);
        p += 4;
        if (p + len > b.size()) break;
        if (type == SQLITE_TEXT)
          sqlite3_bind_text(st, idx, b.data() + p, static_cast<int>(len), SQLITE_TRANSIENT);
        else
          sqlite3_bind_blob(st, idx, b.data() + p, static_cast<int>(len), SQLITE_TRANSIENT);
        p += len;
      } else {
        sqlite3_bind_null(st, idx);
      }
      ++idx;
    }
    sqlite3_step(st);
    sqlite3_finalize(st);
  }
  sqlite3_stmt* del = nullptr;
  sqlite3_prepare_v2(db, "DELETE FROM sim$undo WHERE sid = ? AND seq > ?", -1, &del, nullptr);
  sqlite3_bind_int(del, 1, who);
  sqlite3_bind_int64(del, 2, afterSeq);
  sqlite3_step(del);
  sqlite3_finalize(del);
}

void SessionState::EndTransaction(bool commit) {
  BeginWrite();
  try {
    if (!commit) RollbackUndo(sid, 0);
    PreparedScalar("DELETE FROM sim$undo WHERE sid = ?", {sid});
    PreparedScalar("DELETE FROM sim$locks WHERE sid = ?", {sid});
    PreparedScalar("DELETE FROM sim$tmlocks WHERE sid = ?", {sid});
  } catch (...) {
    RollbackWrite();
    throw;
  }
  CommitWrite();
  savepoints.clear();
  ++transactionsEnded;
  knownUndoSeq = knownLockRow = 0;
  marksKnown = true;
}

void SessionState::SetSavepoint(const std::string& name) {
  Savepoint sp;
  sp.name = name;
  // (the marks are known without a read after the session's own writes and transaction ends)
  if (!marksKnown) LearnMarks();
  sp.undoSeq = knownUndoSeq;
  sp.lockRow = knownLockRow;
  for (auto it = savepoints.begin(); it != savepoints.end(); ++it) {
    if (it->name == name) {
      savepoints.erase(it);
      break;
    }
  }
  savepoints.push_back(sp);
}

void SessionState::RollbackTo(const std::string& name) {
  auto it =
      std::find_if(savepoints.begin(), savepoints.end(), [&](const Savepoint& s) { return s.name == name; });
  if (it == savepoints.end()) Raise(1086, name);
  Savepoint sp = *it;
  savepoints.erase(it + 1, savepoints.end());
  BeginWrite();
  try {
    RollbackUndo(sid, sp.undoSeq);
    Scalar(db, "DELETE FROM sim$locks WHERE sid = ? AND rowid > ?", {sid, sp.lockRow});
  } catch (...) {
    RollbackWrite();
    throw;
  }
  CommitWrite();
}

bool SessionState::SessionAlive(int other, int& otherSerial) {
  sqlite3_stmt* st = Prepared("SELECT pid, serial FROM sim$sessions WHERE sid = ?");
  sqlite3_bind_int(st, 1, other);
  const bool found = sqlite3_step(st) == SQLITE_ROW;
  const int64_t pid = found ? sqlite3_column_int64(st, 0) : -1;
  otherSerial = found ? sqlite3_column_int(st, 1) : 0;
  sqlite3_reset(st);
  if (pid < 0) return false;
  if (pid == ::getpid()) {
    std::lock_guard<std::mutex> lock(g_liveMu);
    return g_live.count({instance->Path(), other, otherSerial}) > 0;
  }
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void SessionState::CleanupDeadHolders(int64_t objId) {
  std::vector<int> holders;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     objId ? "SELECT DISTINCT sid FROM sim$locks WHERE obj_id = ? AND sid <> ?"
                           : "SELECT DISTINCT sid FROM sim$locks WHERE ? = 0 AND sid <> ?",
                     -1, &st, nullptr);
  sqlite3_bind_int64(st, 1, objId);
  sqlite3_bind_int(st, 2, sid);
  while (sqlite3_step(st) == SQLITE_ROW) holders.push_back(sqlite3_column_int(st, 0));
  sqlite3_finalize(st);
  for (int h : holders) {
    int serial = 0;
    if (!SessionAlive(h, serial)) DropSession(h, serial);
  }
}

bool SessionState::HoldsSid(int who, int whoSerial) {
  return PreparedScalar("SELECT coalesce((SELECT serial FROM sim$sessions WHERE sid = ?1), 0)", {who}) ==
         whoSerial;
}

void SessionState::EndSessionAt(int who, int whoSerial) {
  if (!HoldsSid(who, whoSerial)) return;
  RollbackUndo(who, 0);
  for (const char* table : {"sim$undo", "sim$locks", "sim$tmlocks", "sim$open_cursor", "sim$sess_event"})
    PreparedScalar(std::string("DELETE FROM ") + table + " WHERE sid = ?", {who});
  PreparedScalar("DELETE FROM sim$sessions WHERE sid = ? AND serial = ?", {who, whoSerial});
}

void SessionState::DropSession(int other, int otherSerial) {
  BeginWrite();
  try {
    EndSessionAt(other, otherSerial);
  } catch (...) {
    RollbackWrite();
    throw;
  }
  CommitWrite();
}

void SessionState::LogOffWrite() {
  BeginWrite();
  try {
    EndSessionAt(sid, serial);
  } catch (...) {
    RollbackWrite();
    throw;
  }
  CommitWrite();
}

void SessionState::DropSessionsOfEndedProcesses() {
  using Clock = std::chrono::steady_clock;
  static std::atomic<Clock::rep> lastSweep{0};
  const Clock::rep now = Clock::now().time_since_epoch().count();
  const Clock::rep gap = std::chrono::duration_cast<Clock::duration>(kEndedProcessSweepGap).count();
  Clock::rep last = lastSweep.load();
  if (last && now - last < gap) return;
  if (!lastSweep.compare_exchange_strong(last, now)) return;  // another thread sweeps
  std::vector<std::pair<int, int>> ended;                     // SID and serial number
  sqlite3_stmt* st = Prepared("SELECT sid, pid, serial FROM sim$sessions WHERE pid > 0 AND pid <> ?");
  sqlite3_bind_int64(st, 1, ::getpid());
  while (sqlite3_step(st) == SQLITE_ROW) {
    const auto pid = static_cast<pid_t>(sqlite3_column_int64(st, 1));
    if (::kill(pid, 0) != 0 && errno == ESRCH)
      ended.emplace_back(sqlite3_column_int(st, 0), sqlite3_column_int(st, 2));
  }
  sqlite3_reset(st);
  for (const auto& [h, serial] : ended) DropSession(h, serial);
}

void SessionState::WaitForLock(bool nowait) {
  if (nowait) {
    // A holder whose process died inside its transaction holds nothing: its work is rolled back
    // and the request is tried again.
    const int dead = env.lockHolder;
    env.lockHolder = 0;
    int deadSerial = 0;
    if (dead && dead != sid && !SessionAlive(dead, deadSerial)) {
      CleanupDeadHolders(0);
      return;
    }
    Raise(54);
  }
  int holder = env.lockHolder;
  env.lockHolder = 0;
  if (holder && holder != sid) {
    if (waitingFor != holder) {
      Scalar(db, "UPDATE sim$sessions SET waiting_for = ? WHERE sid = ?", {holder, sid});
      waitingFor = holder;
    }
    // a chain of waits that comes back to this session is a deadlock: this statement gives way
    int64_t h = holder;
    for (int step = 0; step < 64 && h; ++step) {
      h = Scalar(db, "SELECT waiting_for FROM sim$sessions WHERE sid = ?", {h}, 0);
      if (h == sid) {
        StopWaiting();
        throw OraError(60, "ORA-00060: deadlock detected while waiting for resource");
      }
    }
  }
  live::OnLockWait(*this, holder);
  for (int i = 0; i < 20; ++i) {
    if (interrupted.load()) Raise(1013);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  CleanupDeadHolders(0);
}

void SessionState::StopWaiting() noexcept {
  if (!waitingFor) return;
  waitingFor = 0;
  try {
    Scalar(db, "UPDATE sim$sessions SET waiting_for = NULL WHERE sid = ?", {sid});
  } catch (...) {
  }
}

// ------------------------------------------------------------------ Session
Session::Session() : state_(std::make_unique<SessionState>()) {}

std::unique_ptr<Session> Session::LogOn(std::shared_ptr<Instance> instance, const std::string& user,
                                        const std::string& password) {
  if (!instance) Raise(3114);
  std::unique_ptr<Session> s(new Session());
  SessionState& st = *s->state_;
  st.self = s.get();
  st.instance = instance;
  st.db = OpenConnection(instance->Path(), &st);
  st.env.db = st.db;
  RegisterFunctions(st.db, &st.env);
  RegisterObjectFunctions(st.db, &st.env);
  st.env.deref = [&st](const std::string& ref) { return DerefObject(st, ref); };
  std::string u = UpperAscii(user);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(st.db,
                     "SELECT user_id, password, dba, account_status, "
                     "CAST(julianday(expiry_date) - julianday('now', 'localtime') AS REAL) FROM sim$users "
                     "WHERE username = ?",
                     -1, &q, nullptr);
  sqlite3_bind_text(q, 1, u.c_str(), -1, SQLITE_TRANSIENT);
  bool found = sqlite3_step(q) == SQLITE_ROW;
  std::string pw, status;
  double daysLeft = 0;
  if (found) {
    st.userId = sqlite3_column_int64(q, 0);
    pw = ColText(q, 1);
    st.dba = sqlite3_column_int(q, 2) != 0;
    status = ColText(q, 3);
    daysLeft = sqlite3_column_double(q, 4);
  }
  sqlite3_finalize(q);
  if (!found || UpperAscii(pw) != UpperAscii(password)) Raise(1017);
  if (status == "EXPIRED") Raise(28001);
  if (status == "LOCKED") Raise(28000);
  if (status == "EXPIRED(GRACE)") {
    st.warning = 28002;
    st.warningText = OraText(28002, std::to_string(std::max(1, static_cast<int>(std::ceil(daysLeft)))));
  }
  st.user = u;
  st.env.user = u;
  st.env.userId = st.userId;
  st.env.dba = st.dba;
  live::CheckLogonAllowed(st.db, st.dba);
  // a SID of its own: the smallest free one from 10 up
  Exec(st.db, "BEGIN IMMEDIATE");
  try {
    st.sid = static_cast<int>(
        Scalar(st.db,
               "SELECT min(s) FROM (SELECT 10 AS s UNION ALL SELECT sid + 1 FROM sim$sessions) "
               "WHERE s >= 10 AND s NOT IN (SELECT sid FROM sim$sessions)",
               {}, 10));
    int64_t serial = Scalar(st.db, "SELECT value FROM sim$meta WHERE key = 'serial'", {}, 100) + 1;
    Scalar(st.db, "INSERT OR REPLACE INTO sim$meta VALUES ('serial', ?)", {serial});
    st.serial = static_cast<int>(serial % 60000 + 1);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(
        st.db,
        "INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, program, machine, "
        "osuser) VALUES (?, ?, ?, ?, ?, datetime('now', 'localtime'), ?, ?, ?)",
        -1, &ins, nullptr);
    char host[256] = "localhost";
    ::gethostname(host, sizeof host - 1);
    const char* osuser = std::getenv("USER");
    std::string program = "talvik";
    if (FILE* f = std::fopen("/proc/self/comm", "r")) {
      char buf[64] = {0};
      if (std::fgets(buf, sizeof buf, f)) {
        program = buf;
        while (!program.empty() && (program.back() == '\n' || program.back() == '\r')) program.pop_back();
      }
      std::fclose(f);
    }
    sqlite3_bind_int(ins, 1, st.sid);
    sqlite3_bind_int(ins, 2, st.serial);
    sqlite3_bind_text(ins, 3, u.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(ins, 4, st.userId);
    sqlite3_bind_int64(ins, 5, ::getpid());
    sqlite3_bind_text(ins, 6, program.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 7, host, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 8, osuser ? osuser : "oracle", -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(ins);
    sqlite3_finalize(ins);
    if (rc != SQLITE_DONE) st.RaiseSqlite(rc);
    Exec(st.db, "COMMIT");
  } catch (...) {
    sqlite3_exec(st.db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  st.env.sid = st.sid;
  {
    std::lock_guard<std::mutex> lock(g_liveMu);
    g_live.insert({instance->Path(), st.sid, st.serial});
  }
  live::OnLogon(st);
  return s;
}

std::unique_ptr<Session> Session::LogOnWithNewPassword(std::shared_ptr<Instance> instance,
                                                       const std::string& user,
                                                       const std::string& oldPassword,
                                                       const std::string& newPassword) {
  if (newPassword.empty()) throw OraError(988, "ORA-00988: missing or invalid password(s)");
  InTransaction(instance->Path(), [&](sqlite3* db) {
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, "SELECT password FROM sim$users WHERE username = ?", -1, &q, nullptr);
    std::string u = UpperAscii(user);
    sqlite3_bind_text(q, 1, u.c_str(), -1, SQLITE_TRANSIENT);
    bool found = sqlite3_step(q) == SQLITE_ROW;
    std::string pw = found ? ColText(q, 0) : std::string();
    sqlite3_finalize(q);
    if (!found || UpperAscii(pw) != UpperAscii(oldPassword)) Raise(1017);
    sqlite3_stmt* up = nullptr;
    sqlite3_prepare_v2(db,
                       "UPDATE sim$users SET password = ?, account_status = 'OPEN', expiry_date = NULL "
                       "WHERE username = ?",
                       -1, &up, nullptr);
    sqlite3_bind_text(up, 1, newPassword.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 2, u.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(up);
    sqlite3_finalize(up);
    if (rc != SQLITE_DONE)
      throw OraError(600, "ORA-00600: internal error code, arguments: [password change]");
  });
  return LogOn(std::move(instance), user, newPassword);
}

Session::~Session() {
  SessionState& st = *state_;
  for (auto* c : st.cursors) {
    if (c->stmt) sqlite3_finalize(c->stmt);
    c->stmt = nullptr;
    c->session = nullptr;
  }
  st.cursors.clear();
  if (st.db) {
    if (st.sid) {
      st.interrupted = false;  // a cancel ends the call it reached, never the logoff after it
      try {
        st.LogOffWrite();
      } catch (...) {
      }
      std::lock_guard<std::mutex> lock(g_liveMu);
      g_live.erase({st.instance->Path(), st.sid, st.serial});
    }
    st.liveOwn.reset();  // its statements go before the connection
    for (auto& [sql, prepared] : st.prepared) sqlite3_finalize(prepared);
    st.prepared.clear();
    sqlite3_finalize(st.versionStmt);
    sqlite3_finalize(st.killedStmt);
    sqlite3_finalize(st.pendingStmt);
    sqlite3_close_v2(st.db);
  }
}

int Session::LogonWarning() const {
  return state_->warning;
}
const std::string& Session::LogonWarningText() const {
  return state_->warningText;
}
const std::string& Session::UserName() const {
  return state_->user;
}
int Session::SessionId() const {
  return state_->sid;
}
const std::shared_ptr<Instance>& Session::GetInstance() const {
  return state_->instance;
}

void Session::Commit() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->CheckConnected();
  state_->EndTransaction(true);
}

void Session::Rollback() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->CheckConnected();
  state_->EndTransaction(false);
}

void Session::Break() {
  state_->interrupted = true;
  if (state_->db) sqlite3_interrupt(state_->db);
}

void Session::CutConnection() {
  std::lock_guard<std::mutex> lock(state_->mu);
  if (state_->cut.load() != 0) return;
  try {
    state_->LogOffWrite();
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> l(g_liveMu);
    g_live.erase({state_->instance->Path(), state_->sid, state_->serial});
  }
  state_->cut = 1;
}

bool Session::Connected() const {
  return state_->cut.load() == 0;
}

uint64_t Session::TransactionNumber() const {
  return state_->transactionsEnded.load();
}

bool Session::DirectoryPath(const std::string& name, std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->CheckConnected();
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(state_->db, "SELECT path FROM sim$directories WHERE name = ?", -1, &st, nullptr) !=
      SQLITE_OK)
    return false;
  sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  bool found = sqlite3_step(st) == SQLITE_ROW;
  if (found)
    path.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
  sqlite3_finalize(st);
  return found;
}

std::vector<std::string> Session::PendingOutput() const {
  return std::vector<std::string>(state_->output.begin(), state_->output.end());
}

}  // namespace oracle_sim
