// Live state of the instance's sessions: calls, the shared pool, open cursors, waits, transactions
// and statistics, written through one connection per process so that a session's own statements
// and the readers in other processes see the same state.
#include "oracle_sim/engine/Live.h"

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>

#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"

namespace oracle_sim::live {

const char* const kNowSql =
    "(SELECT coalesce((SELECT value FROM sim$meta WHERE key = 'clock_frozen'), unixepoch('now') + "
    "coalesce((SELECT value FROM sim$meta WHERE key = 'clock_offset'), 0)))";

namespace {

// One connection of this process to an instance file, with its prepared statements.
struct Conn {
  sqlite3* db = nullptr;
  bool owned = true;  // false: a session's own connection, closed by the session
  pid_t pid = 0;
  std::mutex mu;
  std::map<std::string, sqlite3_stmt*> stmts;

  ~Conn() {
    for (auto& [k, st] : stmts) sqlite3_finalize(st);
    if (db && owned) sqlite3_close_v2(db);
  }

  sqlite3_stmt* Stmt(const std::string& sql) {
    auto it = stmts.find(sql);
    if (it != stmts.end()) {
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
    stmts[sql] = st;
    return st;
  }
};

Conn& ConnFor(SessionState& s) {
  InstanceState& is = s.instance->State();
  std::lock_guard<std::mutex> lock(is.mu);
  auto* have = static_cast<Conn*>(is.live.get());
  if (have && have->pid == ::getpid()) return *have;
  auto c = std::make_shared<Conn>();
  c->pid = ::getpid();
  if (sqlite3_open_v2(is.path.c_str(), &c->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(c->db);
    c->db = nullptr;
    Raise(3114);
  }
  sqlite3_busy_timeout(c->db, 60000);
  sqlite3_exec(c->db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (have) new std::shared_ptr<void>(is.live);  // a connection inherited through fork is never touched
  is.live = c;
  return *c;
}

inline void BindAllArgs(sqlite3_stmt*, int) {}
template <typename T, typename... A>
void BindAllArgs(sqlite3_stmt* st, int i, const T& v, const A&... rest) {
  if constexpr (std::is_same_v<T, std::string>) {
    sqlite3_bind_text(st, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  } else if constexpr (std::is_same_v<T, const char*>) {
    sqlite3_bind_text(st, i, v, -1, SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_int64(st, i, static_cast<int64_t>(v));
  }
  BindAllArgs(st, i + 1, rest...);
}

void BindBlob(sqlite3_stmt* st, int i, const std::string& b) {
  sqlite3_bind_blob(st, i, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

void Step(Conn& c, sqlite3_stmt* st) {
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::string msg = sqlite3_errmsg(c.db);
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
}

template <typename... A>
void Run(Conn& c, const std::string& sql, const A&... args) {
  sqlite3_stmt* st = c.Stmt(sql);
  BindAllArgs(st, 1, args...);
  Step(c, st);
}

template <typename... A>
int64_t Scalar(Conn& c, const std::string& sql, int64_t dflt, const A&... args) {
  sqlite3_stmt* st = c.Stmt(sql);
  BindAllArgs(st, 1, args...);
  int64_t r = dflt;
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
    r = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  return r;
}

// Steps a statement without results (BEGIN, COMMIT, ROLLBACK) prepared once; true when it ran.
bool Control(Conn& c, const char* sql) {
  sqlite3_stmt* st = c.Stmt(sql);
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE;
}

// Runs `f` in one write transaction of the live connection. A failure of the bookkeeping never fails
// the user's call: the state is left as it was.
// False when the transaction could not begin (nothing was done).
template <typename F>
bool Write(Conn& c, F&& f) {
  std::lock_guard<std::mutex> lock(c.mu);
  try {
    if (!Control(c, "BEGIN IMMEDIATE")) return false;
  } catch (...) {
    return false;
  }
  try {
    f();
    if (!Control(c, "COMMIT")) Control(c, "ROLLBACK");
  } catch (...) {
    try {
      Control(c, "ROLLBACK");
    } catch (...) {
    }
  }
  return true;
}

// The session's own connection for its live writes, when it is free: no statement of it running and
// no transaction open. Writing there leaves the connection's page cache valid (a commit through
// another connection makes the next read of this one drop all it has cached).
Conn* OwnWhenFree(SessionState& s) {
  if (!s.db || !sqlite3_get_autocommit(s.db)) return nullptr;
  for (sqlite3_stmt* st = sqlite3_next_stmt(s.db, nullptr); st; st = sqlite3_next_stmt(s.db, st))
    if (sqlite3_stmt_busy(st)) return nullptr;
  auto* own = static_cast<Conn*>(s.liveOwn.get());
  if (!own) {
    auto c = std::make_shared<Conn>();
    c->db = s.db;
    c->owned = false;
    c->pid = ::getpid();
    s.liveOwn = c;
    own = c.get();
  }
  return own;
}

// Runs `f` (given the connection) in one write transaction: through the session's own connection when
// it is free, else through the process's live connection.
template <typename F>
void WriteFor(SessionState& s, F&& f) {
  if (Conn* own = OwnWhenFree(s))
    if (Write(*own, [&] { f(*own); })) return;
  Conn& c = ConnFor(s);
  Write(c, [&] { f(c); });
}

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string HostName() {
  char host[256] = "localhost";
  ::gethostname(host, sizeof host - 1);
  return host;
}

bool ContainsNoCase(const std::string& s, const char* what) {
  size_t n = std::strlen(what);
  for (size_t i = 0; i + n <= s.size(); ++i)
    if (strncasecmp(s.data() + i, what, n) == 0) return true;
  return false;
}

// The simulation clock's reading (see kNowSql), taken once for the statements of one write.
int64_t Now(Conn& c) {
  return Scalar(c, std::string("SELECT ") + kNowSql, 0);
}

// The wait a session is in: its event, its wait_time (0 while waiting) and how long it has been in
// it, in hundredths of a second.
struct WaitNow {
  std::string event;
  int64_t waitTime = -1;
  int64_t waited = 0;
};

WaitNow ReadWait(Conn& c, int sid, int64_t now) {
  sqlite3_stmt* st = c.Stmt(
      "SELECT event, wait_time, ?2 - coalesce(wait_since, last_call, ?2) FROM sim$sessions WHERE sid = ?1");
  sqlite3_bind_int(st, 1, sid);
  sqlite3_bind_int64(st, 2, now);
  WaitNow w;
  if (sqlite3_step(st) == SQLITE_ROW) {
    auto p = sqlite3_column_text(st, 0);
    w.event = p ? reinterpret_cast<const char*>(p) : "";
    w.waitTime = sqlite3_column_int64(st, 1);
    w.waited = sqlite3_column_int64(st, 2) * 100;
  }
  sqlite3_reset(st);
  return w;
}

// Completes the wait `w` (its time goes to the session's events); the wait_time the session's next
// state takes: 0 for a wait that starts (`waitTime` 0), else the time just waited, or `waitTime`
// when there was none.
int64_t CompleteWait(Conn& c, int sid, const WaitNow& w, int waitTime, bool timedOut) {
  const bool waiting = w.waitTime == 0 && !w.event.empty();
  if (waiting) {
    Run(c, "INSERT OR IGNORE INTO sim$sess_event(sid, event) VALUES (?, ?)", sid, w.event);
    Run(c,
        "UPDATE sim$sess_event SET total_waits = total_waits + 1, total_timeouts = total_timeouts + ?, "
        "time_waited = time_waited + ?, max_wait = max(max_wait, ?) WHERE sid = ? AND event = ?",
        timedOut ? 1 : 0, w.waited, w.waited, sid, w.event);
  }
  const int64_t waited = w.waitTime == 0 ? w.waited : 0;
  if (waitTime == 0) return 0;
  return waited > 0 ? waited : waitTime;
}

// Completes the wait the session is in (its time goes to the session's events) and starts `event`.
void SwitchWait(Conn& c, int sid, const std::string& next, int waitTime, bool timedOut = false) {
  const int64_t newWaitTime = CompleteWait(c, sid, ReadWait(c, sid, Now(c)), waitTime, timedOut);
  Run(c,
      std::string("UPDATE sim$sessions SET wait_seq = wait_seq + 1, event = coalesce(nullif(?, ''), event), "
                  "wait_time = ?, wait_since = ") +
          kNowSql + " WHERE sid = ?",
      next, newWaitTime, sid);
}

// Whether the session holds a transaction (changed rows or row locks).
bool InTransaction(Conn& c, int sid) {
  return Scalar(c,
                "SELECT EXISTS (SELECT 1 FROM sim$undo u WHERE u.sid = ?1) OR EXISTS (SELECT 1 FROM "
                "sim$locks k WHERE k.sid = ?1)",
                0, sid) != 0;
}

int64_t CursorId(const CursorState& c) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(&c) & 0x7FFFFFFFFFFF);
}

// What a call that ended writes: its time, gets and changes go to the session and the statement, and
// the idle wait for the client's next call starts.
struct CallEnd {
  int64_t us = 1, rows = 0, bg = 0, cg = 2, pr = 0, bc = 0, cc = 0, redo = 0, sorts = 0;
  int fc = 0;
  std::string addr;
};

CallEnd MeasureCallEnd(SessionState& s, CursorState& c) {
  CallEnd e;
  e.us = std::max<int64_t>(1, SteadyUs() - s.liveCallUs);
  e.rows = c.rowCount;
  StmtKind kind = c.tr ? c.tr->kind : StmtKind::Other;
  switch (kind) {
    case StmtKind::Select: {
      int64_t vm = c.stmt ? sqlite3_stmt_status(c.stmt, SQLITE_STMTSTATUS_VM_STEP, 0) : 0;
      e.cg = 3 + vm / 200 + e.rows;
      e.pr = vm / 5000;
      if (ContainsNoCase(c.sql, "ORDER BY")) e.sorts = 1;
      break;
    }
    case StmtKind::Insert:
    case StmtKind::Update:
    case StmtKind::Delete:
      e.bg = 2 + e.rows * 3;
      e.cg = 2 + e.rows;
      e.pr = 1;
      e.bc = 1 + e.rows * 2;
      e.cc = e.rows > 0 ? 1 : 0;
      e.redo = 120 + e.rows * 260;
      break;
    case StmtKind::PlSql:
      e.cg = 6;
      e.bg = 1;
      break;
    default:
      break;
  }
  e.fc = c.tr ? c.tr->functionCode : 0;
  e.addr = RawAddress(SqlAddress(c.sql));
  s.liveWaiting = false;
  return e;
}

void WriteCallEnd(Conn& conn, int sid, const CallEnd& e) {
  {
    // the call's wait ends and the idle wait for the client's next call starts; a transaction that
    // began in this call gets its undo segment, slot and start time
    const int64_t now = Now(conn);
    CompleteWait(conn, sid, ReadWait(conn, sid, now), 0, false);
    const bool tx = InTransaction(conn, sid);
    Run(conn,
        "UPDATE sim$sessions SET wait_seq = wait_seq + 1, event = 'SQL*Net message from client', "
        "wait_time = 0, wait_since = ?12, status = CASE WHEN status = 'KILLED' THEN status ELSE 'INACTIVE' "
        "END, last_call = ?12, p1 = 1650815232, p2 = 1, p3 = 0, cpu_us = cpu_us + ?2, "
        "block_gets = block_gets + ?3, consistent_gets = consistent_gets + ?4, physical_reads = "
        "physical_reads + ?5, block_changes = block_changes + ?6, consistent_changes = "
        "consistent_changes + ?7, redo_size = redo_size + ?8, sorts = sorts + ?9, commits = commits + "
        "(?10 = 44), rollbacks = rollbacks + (?10 = 45), "
        "tx_usn = CASE WHEN ?11 THEN coalesce(tx_usn, 1 + (sid + wait_seq + 1) % 10) END, "
        "tx_slot = CASE WHEN ?11 THEN coalesce(tx_slot, (sid * 7 + wait_seq + 1) % 48) END, "
        "tx_seq = CASE WHEN ?11 THEN coalesce(tx_seq, 100 + (wait_seq + 1) * 3) END, "
        "tx_start = CASE WHEN ?11 THEN coalesce(tx_start, ?12) END, tx_start_text = CASE WHEN ?11 THEN "
        "coalesce(tx_start_text, strftime('%m/%d/', ?12, 'unixepoch', 'localtime') || "
        "substr(strftime('%Y %H:%M:%S', ?12, 'unixepoch', 'localtime'), 3)) END WHERE sid = ?1",
        sid, e.us, e.bg, e.cg, e.pr, e.bc, e.cc, e.redo, e.sorts, e.fc, tx ? 1 : 0, now);
    // (a separate statement: assigning the blocker, even NULL to NULL, rewrites its index entry)
    Run(conn,
        "UPDATE sim$sessions SET wait_obj = NULL, wait_blocker = NULL WHERE sid = ? AND (wait_obj IS NOT "
        "NULL OR wait_blocker IS NOT NULL)",
        sid);
    sqlite3_stmt* st = conn.Stmt(
        "UPDATE sim$sqlarea SET buffer_gets = buffer_gets + ?2, disk_reads = disk_reads + ?3, rows_processed "
        "= rows_processed + ?4 WHERE address = ?1");
    BindBlob(st, 1, e.addr);
    BindAllArgs(st, 2, e.bg + e.cg, e.pr, e.rows);
    Step(conn, st);
  }
}

void WriteCallStart(Conn& conn, SessionState& s, CursorState& c, bool first);

void EndCall(SessionState& s, CursorState& c) {
  const CallEnd e = MeasureCallEnd(s, c);
  WriteFor(s, [&](Conn& conn) {
    if (c.liveQuick) WriteCallStart(conn, s, c, c.liveFirst);
    WriteCallEnd(conn, s.sid, e);
  });
  c.liveQuick = false;
}

}  // namespace

std::string RawAddress(uint64_t v) {
  std::string r(8, '\0');
  for (int i = 7; i >= 0; --i) {
    r[i] = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
  return r;
}

namespace {
// FNV-1a over the statement text.
template <typename T>
T Fnv(const std::string& text, T basis, T prime) {
  T h = basis;
  for (unsigned char ch : text) {
    h ^= ch;
    h *= prime;
  }
  return h;
}
}  // namespace

uint32_t HashValue(const std::string& sql) {
  return Fnv<uint32_t>(sql, 2166136261u, 16777619u);
}

uint64_t SqlAddress(const std::string& sql) {
  uint64_t h = Fnv<uint64_t>(sql, 1469598103934665603ull, 1099511628211ull);
  return 0x67000000ull + (h % 0xFFFFFFull) * 16 + 16;
}

namespace {

void Register(Conn& c, const std::string& sql, int command, int64_t userId) {
  std::string addr = RawAddress(SqlAddress(sql));
  uint32_t hash = HashValue(sql);
  sqlite3_stmt* st = c.Stmt(
      "INSERT OR IGNORE INTO sim$sqlarea(address, hash_value, sql_text, command_type, first_load_time, "
      "parsing_user) VALUES (?, ?, ?, ?, strftime('%Y-%m-%d/%H:%M:%S', 'now', 'localtime'), ?)");
  BindBlob(st, 1, addr);
  BindAllArgs(st, 2, hash, sql, command, userId);
  Step(c, st);
  if (sqlite3_changes(c.db) > 0) {
    // pieces of at most 64 bytes, never splitting a character
    sqlite3_stmt* ins = c.Stmt("INSERT OR REPLACE INTO sim$sqltext VALUES (?, ?, ?, ?)");
    size_t p = 0;
    int piece = 0;
    while (p < sql.size()) {
      size_t end = std::min(sql.size(), p + 64);
      while (end < sql.size() && end > p && (static_cast<unsigned char>(sql[end]) & 0xC0) == 0x80) --end;
      if (end == p) end = std::min(sql.size(), p + 64);  // not UTF-8: a piece of 64 bytes all the same
      sqlite3_reset(ins);
      BindBlob(ins, 1, addr);
      BindAllArgs(ins, 2, hash, piece++, sql.substr(p, end - p));
      Step(c, ins);
      p = end;
    }
  }
}

}  // namespace

void CheckLogonAllowed(sqlite3* db, bool privileged) {
  if (privileged) return;
  sqlite3_stmt* st = nullptr;
  bool restricted = false;
  if (sqlite3_prepare_v2(db, "SELECT value FROM sim$meta WHERE key = 'restricted'", -1, &st, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    restricted = sqlite3_column_int(st, 0) == 1;
  sqlite3_finalize(st);
  if (restricted) Raise(1035);
}

void OnLogon(SessionState& s) {
  Conn& c = ConnFor(s);
  int sid = s.sid;
  std::string saddr = RawAddress(0x6A000000ull + static_cast<uint64_t>(sid) * 0x1000);
  std::string paddr = RawAddress(0x6B000000ull + static_cast<uint64_t>(sid) * 0x100 + (s.serial % 16));
  std::string spid = std::to_string(20000 + (sid * 131 + s.serial) % 40000);
  std::string program = "oracle@" + HostName() + " (TNS V1-V3)";
  Write(c, [&] {
    Run(c, "DELETE FROM sim$open_cursor WHERE sid = ?", sid);
    Run(c, "DELETE FROM sim$sess_event WHERE sid = ?", sid);
    sqlite3_stmt* st =
        c.Stmt(std::string("UPDATE sim$sessions SET saddr = ?2, paddr = ?3, spid = ?4, pprogram = "
                           "?5, last_call = ") +
               kNowSql + ", wait_since = " + kNowSql + ", p1 = 1650815232, p2 = 1 WHERE sid = ?1");
    BindAllArgs(st, 1, sid);
    BindBlob(st, 2, saddr);
    BindBlob(st, 3, paddr);
    BindAllArgs(st, 4, spid, program);
    Step(c, st);
    Run(c,
        "INSERT INTO sim$sess_event(sid, event, total_waits, total_timeouts, time_waited, max_wait) VALUES "
        "(?1, 'SQL*Net message to client', 1, 0, 0, 0), (?1, 'SQL*Net message from client', 1, 0, 0, 0)",
        sid);
  });
}

namespace {

// Oracle's command codes of the calls that never wait: their start and end are written together.
constexpr int kCommitCommand = 44, kRollbackCommand = 45, kSavepointCommand = 46;

bool Quick(const CursorState& c) {
  if (!c.tr || c.tr->kind != StmtKind::Other) return false;
  const int fc = c.tr->functionCode;
  return fc == kCommitCommand || fc == kRollbackCommand || fc == kSavepointCommand;
}

// The rows a call's start changes: the statement's executions in the shared pool (registering a new
// one), the cursor among the session's open ones, the idle wait's end and the session's state.
void WriteCallStart(Conn& conn, SessionState& s, CursorState& c, bool first) {
  const int fc = c.tr ? c.tr->functionCode : 0;
  const std::string addr = RawAddress(SqlAddress(c.sql));
  const uint32_t hash = HashValue(c.sql);
  const int sid = s.sid;
  // a statement new to the shared pool is registered first (its text is not built into a row
  // for every call of one that is there)
  auto count = [&] {
    sqlite3_stmt* st = conn.Stmt(
        "UPDATE sim$sqlarea SET executions = executions + 1, parse_calls = parse_calls + ?2 WHERE address "
        "= ?1");
    BindBlob(st, 1, addr);
    BindAllArgs(st, 2, first ? 1 : 0);
    Step(conn, st);
    return sqlite3_changes(conn.db) > 0;
  };
  if (!count()) {
    Register(conn, c.sql, fc, s.userId);
    count();
  }
  sqlite3_stmt* st = nullptr;
  // (an upsert that changes nothing when the cursor runs its statement again writes no page)
  st = conn.Stmt(
      "INSERT INTO sim$open_cursor VALUES (?1, ?2, ?3, ?4, substr(?5, 1, 60)) ON CONFLICT(sid, cursor_id) "
      "DO UPDATE SET address = excluded.address, hash_value = excluded.hash_value, sql_text = "
      "excluded.sql_text WHERE address IS NOT excluded.address OR hash_value IS NOT excluded.hash_value OR "
      "sql_text IS NOT excluded.sql_text");
  BindAllArgs(st, 1, sid, CursorId(c));
  BindBlob(st, 3, addr);
  BindAllArgs(st, 4, hash, c.sql);
  Step(conn, st);
  // the idle wait ends: its time goes to the session's events
  const int64_t now = Now(conn);
  const int64_t waitTime = CompleteWait(conn, sid, ReadWait(conn, sid, now), -1, false);
  Run(conn,
      "UPDATE sim$sess_event SET total_waits = total_waits + 1 WHERE sid = ? AND event = 'SQL*Net message "
      "to client'",
      sid);
  const bool tx = InTransaction(conn, sid);
  st = conn.Stmt(
      "UPDATE sim$sessions SET wait_seq = wait_seq + 1, wait_time = ?6, wait_since = ?8, status = CASE "
      "WHEN "
      "status = 'KILLED' THEN status ELSE 'ACTIVE' END, command = ?2, prev_address = sql_address, "
      "prev_hash "
      "= sql_hash, sql_address = ?3, sql_hash = ?4, last_call = ?8, user_calls = user_calls + 1, "
      "execute_count = execute_count + 1, parse_count = "
      "parse_count + ?5, opened_cursors = opened_cursors + ?5, tx_usn = CASE WHEN ?7 THEN tx_usn END, "
      "tx_slot = CASE WHEN ?7 THEN tx_slot END, tx_seq = CASE WHEN ?7 THEN tx_seq END, tx_start = CASE "
      "WHEN ?7 THEN tx_start END, tx_start_text = CASE WHEN ?7 THEN tx_start_text END WHERE sid = ?1");
  BindAllArgs(st, 1, sid, fc);
  BindBlob(st, 3, addr);
  BindAllArgs(st, 4, hash, first ? 1 : 0, waitTime, tx ? 1 : 0, now);
  Step(conn, st);
}

}  // namespace

void OnCallStart(SessionState& s, CursorState& c) {
  s.liveCallUs = SteadyUs();
  s.liveWaiting = false;
  s.liveWaitObject = 0;
  if (c.tr) {
    s.liveWaitObject = c.tr->targetObject;
    if (!s.liveWaitObject && !c.tr->lockObjects.empty()) s.liveWaitObject = c.tr->lockObjects[0];
  }
  c.liveFirst = !c.liveOpened;
  c.liveOpened = true;
  c.liveQuick = Quick(c);
  if (c.liveQuick) return;  // written with the call's end
  WriteFor(s, [&](Conn& conn) { WriteCallStart(conn, s, c, c.liveFirst); });
}

void OnCallEnd(SessionState& s, CursorState& c, bool failed) {
  if (!failed && c.tr && c.tr->kind == StmtKind::Select) {
    c.livePending = true;  // the query's first fetch ends the call
    return;
  }
  c.livePending = false;
  EndCall(s, c);
}

void OnFetch(SessionState& s, CursorState& c, bool gotRow) {
  (void)gotRow;
  if (!c.livePending) return;
  c.livePending = false;
  EndCall(s, c);
}

void OnCursorClose(SessionState& s, CursorState& c) {
  if (s.sid == 0 || s.cut.load() != 0) return;
  if (c.livePending) {
    c.livePending = false;
    try {
      EndCall(s, c);
    } catch (...) {
    }
  }
  if (!c.liveOpened) return;
  try {
    WriteFor(s, [&](Conn& conn) {
      Run(conn, "DELETE FROM sim$open_cursor WHERE sid = ? AND cursor_id = ?", s.sid, CursorId(c));
    });
  } catch (...) {
  }
}

void OnLockWait(SessionState& s, int holder) {
  Conn& conn = ConnFor(s);
  int sid = s.sid;
  int64_t killed;
  int blocker;
  {
    std::lock_guard<std::mutex> lock(conn.mu);
    killed = Scalar(conn, "SELECT killed FROM sim$sessions WHERE sid = ? AND serial = ?", -1, sid, s.serial);
    blocker =
        holder
            ? holder
            : static_cast<int>(Scalar(conn,
                                      "SELECT sid FROM sim$locks WHERE obj_id = ? AND sid <> ? ORDER BY sid "
                                      "LIMIT 1",
                                      0, s.liveWaitObject, sid));
  }
  if (killed != 0) {
    s.cut = 2;
    OnKilled(s);
    Raise(killed == 2 ? 3113 : 28);
  }
  if (s.liveWaiting && blocker == s.liveWaitBlocker) return;
  bool first = !s.liveWaiting;
  s.liveWaiting = true;
  s.liveWaitBlocker = blocker;
  Write(conn, [&] {
    if (first) {
      SwitchWait(conn, sid, "enqueue", 0);
      Run(conn, "UPDATE sim$sessions SET enqueue_waits = enqueue_waits + 1 WHERE sid = ?", sid);
    }
    Run(conn,
        "UPDATE sim$sessions SET p1 = 1415053318, p2 = coalesce((SELECT coalesce(b.tx_usn, 1 + b.sid % 10) * "
        "65536 + coalesce(b.tx_slot, b.sid % 48) FROM sim$sessions b WHERE b.sid = ?3), 0), p3 = "
        "coalesce((SELECT coalesce(b.tx_seq, 1) FROM sim$sessions b WHERE b.sid = ?3), 0), wait_obj = "
        "nullif(?2, 0), wait_blocker = nullif(?3, 0) WHERE sid = ?1",
        sid, s.liveWaitObject, blocker);
  });
}

int KilledState(SessionState& s) {
  Conn& conn = ConnFor(s);
  std::lock_guard<std::mutex> lock(conn.mu);
  return static_cast<int>(
      Scalar(conn, "SELECT killed FROM sim$sessions WHERE sid = ? AND serial = ?", 0, s.sid, s.serial));
}

void OnKilled(SessionState& s) {
  Conn& conn = ConnFor(s);
  try {
    Write(conn, [&] {
      Run(conn, "DELETE FROM sim$open_cursor WHERE sid = ?", s.sid);
      Run(conn, "DELETE FROM sim$sess_event WHERE sid = ?", s.sid);
      Run(conn, "DELETE FROM sim$sessions WHERE sid = ? AND serial = ?", s.sid, s.serial);
    });
  } catch (...) {
  }
}

bool CheckKillTarget(sqlite3* db, int sid, int serial) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT type, status, killed FROM sim$sessions WHERE sid = ? AND serial = ?", -1,
                     &st, nullptr);
  sqlite3_bind_int(st, 1, sid);
  sqlite3_bind_int(st, 2, serial);
  bool found = sqlite3_step(st) == SQLITE_ROW;
  std::string type, status;
  int killed = 0;
  if (found) {
    auto t = sqlite3_column_text(st, 0);
    auto u = sqlite3_column_text(st, 1);
    type = t ? reinterpret_cast<const char*>(t) : "";
    status = u ? reinterpret_cast<const char*>(u) : "";
    killed = sqlite3_column_int(st, 2);
  }
  sqlite3_finalize(st);
  if (!found) Raise(30);
  if (type == "BACKGROUND") Raise(29);
  if (killed) Raise(31);
  return status == "ACTIVE";
}

int64_t ClockNow(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, (std::string("SELECT ") + kNowSql).c_str(), -1, &st, nullptr);
  int64_t r = 0;
  if (sqlite3_step(st) == SQLITE_ROW) r = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return r;
}

void ClockFreeze(sqlite3* db) {
  Exec(db, std::string("INSERT OR REPLACE INTO sim$meta VALUES ('clock_frozen', ") + kNowSql + ")");
}

void ClockStep(sqlite3* db, int64_t seconds) {
  std::string n = std::to_string(seconds);
  Exec(db, "UPDATE sim$meta SET value = value + " + n + " WHERE key = 'clock_frozen'");
  Exec(db, "INSERT OR IGNORE INTO sim$meta VALUES ('clock_offset', 0)");
  Exec(db, "UPDATE sim$meta SET value = value + " + n + " WHERE key = 'clock_offset'");
}

void ClockRun(sqlite3* db) {
  Exec(db,
       "INSERT OR REPLACE INTO sim$meta SELECT 'clock_offset', value - unixepoch('now') FROM sim$meta WHERE "
       "key "
       "= 'clock_frozen'");
  Exec(db, "DELETE FROM sim$meta WHERE key = 'clock_frozen'");
}

}  // namespace oracle_sim::live
