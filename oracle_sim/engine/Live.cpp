// Live state of the instance's sessions: calls, the shared pool, open cursors, waits, transactions
// and statistics. A process keeps what its sessions' calls change in a journal and writes it in
// batches (see Live.h), through the connection of whichever session writes next, or through one
// connection of the process.
#include "oracle_sim/engine/Live.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Translator.h"

namespace oracle_sim::live {

const char* const kNowSql =
    "(SELECT coalesce((SELECT value FROM sim$meta WHERE key = 'clock_frozen'), unixepoch('now') + "
    "coalesce((SELECT value FROM sim$meta WHERE key = 'clock_offset'), 0)))";

namespace {

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Oracle's command codes of a commit and a rollback (the session's statistics count them).
constexpr int kCommitCommand = 44, kRollbackCommand = 45;

// What a call that ended adds: its time, gets and changes go to the session and the statement.
struct CallEnd {
  int64_t us = 1, rows = 0, bg = 0, cg = 2, pr = 0, bc = 0, cc = 0, redo = 0, sorts = 0;
  int fc = 0;
  uint64_t address = 0;
};

// One change of a session's live state, kept until it is written.
struct Op {
  enum Kind : uint8_t { kStart, kEnd, kClose };
  Kind kind = kStart;
  bool first = false;  // (start) the cursor's first call
  int sid = 0, serial = 0;
  int fc = 0;  // (start) the statement's command
  int64_t cursorId = 0;
  int64_t userId = 0;
  uint64_t address = 0;  // (start) the statement's shared-pool address
  uint32_t hash = 0;
  std::shared_ptr<const std::string> sql;  // (start) the statement's text
  CallEnd end;                             // (end)
};

using Ops = std::vector<Op>;

// One connection of this process to an instance file, with its prepared statements. The process's
// connection (one per instance) also holds the journal of its sessions' changes not written yet.
struct Conn {
  sqlite3* db = nullptr;
  bool owned = true;  // false: a session's own connection, closed by the session
  pid_t pid = 0;
  std::mutex mu;
  std::map<std::string, sqlite3_stmt*> stmts;
  // the journal
  std::mutex opsMu;
  Ops ops;
  int64_t opsSinceUs = 0;  // when the oldest change waiting was made

  ~Conn();

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

// ---- The thread that writes what waits too long, for every instance this process uses

struct Flusher {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<std::weak_ptr<Conn>> journals;
  std::thread* thread = nullptr;  // this process's thread (never destroyed: see the fork handler)
  bool stop = false;
  std::atomic<bool> idle{false};  // waiting without a deadline: a first change must wake it
  std::mutex gate;                // held while the thread writes; a fork waits for it
  Flusher* parent = nullptr;      // (a forked child's: the parent's, left as it was)
};

Flusher* g_flusher = new Flusher;  // replaced in a forked child (the parent's stays as it was)
std::once_flag g_processHooks;

void FlushAllJournals();
void FlushInstanceConn(Conn& j);

void FlusherMain(Flusher* f) {
  std::unique_lock<std::mutex> lock(f->mu);
  while (!f->stop) {
    f->idle = true;
    int64_t due = 0;  // the earliest moment a journal's oldest change is due, 0: none waits
    std::vector<std::shared_ptr<Conn>> ready;
    const int64_t now = SteadyUs();
    for (auto it = f->journals.begin(); it != f->journals.end();) {
      std::shared_ptr<Conn> j = it->lock();
      if (!j) {
        it = f->journals.erase(it);
        continue;
      }
      ++it;
      std::lock_guard<std::mutex> ops(j->opsMu);
      if (j->ops.empty()) continue;
      const int64_t at = j->opsSinceUs + kFlushDelayMs * 1000;
      if (at <= now)
        ready.push_back(j);
      else if (!due || at < due)
        due = at;
    }
    if (!ready.empty()) {
      f->idle = false;
      lock.unlock();
      {
        std::lock_guard<std::mutex> gate(f->gate);
        for (auto& j : ready) FlushInstanceConn(*j);
        ready.clear();  // (a connection whose instance is gone closes here)
      }
      lock.lock();
      continue;
    }
    if (due) {
      f->idle = false;
      f->cv.wait_for(lock, std::chrono::microseconds(due - now));
    } else {
      f->cv.wait(lock);
    }
  }
}

// At exit: the thread stops and what waits is written.
void StopFlusher() {
  Flusher* f = g_flusher;
  std::thread* t = nullptr;
  {
    std::lock_guard<std::mutex> lock(f->mu);
    f->stop = true;
    t = f->thread;
    f->cv.notify_all();
  }
  if (t && t->joinable()) t->join();
  FlushAllJournals();
}

void InstallProcessHooks() {
  // The library stays loaded once its thread runs (unloading it would pull the code from under it).
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&InstallProcessHooks), &info) && info.dli_fname)
    dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  // A fork waits until the thread is not writing; the child starts with no thread and no journal
  // (what the parent's sessions changed is the parent's to write).
  pthread_atfork(
      [] {
        g_flusher->mu.lock();
        g_flusher->gate.lock();
      },
      [] {
        g_flusher->gate.unlock();
        g_flusher->mu.unlock();
      },
      [] {
        auto* child = new Flusher;
        child->parent = g_flusher;
        g_flusher = child;
      });
  std::atexit(StopFlusher);
}

// Registers a process connection's journal with the thread (started on first use in a process).
void WatchJournal(const std::shared_ptr<Conn>& j) {
  std::call_once(g_processHooks, InstallProcessHooks);
  Flusher* f = g_flusher;
  std::lock_guard<std::mutex> lock(f->mu);
  if (f->stop) return;
  f->journals.push_back(j);
  if (!f->thread) f->thread = new std::thread(FlusherMain, f);
}

// A first change waits in a journal: the thread, when idle, takes up its deadline.
void WakeFlusher() {
  Flusher* f = g_flusher;
  if (!f->idle.load()) return;
  std::lock_guard<std::mutex> lock(f->mu);
  f->cv.notify_one();
}

// ---- Connections

std::shared_ptr<Conn> ProcessConn(InstanceState& is) {
  std::shared_ptr<Conn> c;
  {
    std::lock_guard<std::mutex> lock(is.mu);
    auto have = std::static_pointer_cast<Conn>(is.live);
    if (have && have->pid == ::getpid()) return have;
    c = std::make_shared<Conn>();
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
  }
  WatchJournal(c);
  return c;
}

Conn& ConnFor(SessionState& s) {
  InstanceState& is = s.instance->State();
  {
    std::lock_guard<std::mutex> lock(is.mu);
    auto* have = static_cast<Conn*>(is.live.get());
    if (have && have->pid == ::getpid()) return *have;
  }
  return *ProcessConn(is);
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

// ---- The journal

// Takes what waits in a journal (to be written in a transaction the caller holds).
Ops Take(Conn& j) {
  Ops taken;
  std::lock_guard<std::mutex> lock(j.opsMu);
  taken.swap(j.ops);
  j.opsSinceUs = 0;
  return taken;
}

// Gives back changes whose transaction did not commit: they go before anything added meanwhile.
// (Called while the transaction still holds the instance's write lock, so no later change of this
// process can have been written before them.)
void PutBack(Conn& j, Ops&& ops) {
  if (ops.empty()) return;
  bool first;
  {
    std::lock_guard<std::mutex> lock(j.opsMu);
    first = j.ops.empty();
    ops.insert(ops.end(), std::make_move_iterator(j.ops.begin()), std::make_move_iterator(j.ops.end()));
    j.ops.swap(ops);
    if (first || !j.opsSinceUs) j.opsSinceUs = SteadyUs();
  }
  WakeFlusher();
}

void Queue(SessionState& s, Op&& a, Op* b = nullptr) {
  Conn& j = ConnFor(s);
  bool first;
  {
    std::lock_guard<std::mutex> lock(j.opsMu);
    first = j.ops.empty();
    if (first) j.opsSinceUs = SteadyUs();
    j.ops.push_back(std::move(a));
    if (b) j.ops.push_back(std::move(*b));
  }
  if (first) WakeFlusher();
}

bool Pending(Conn& j) {
  std::lock_guard<std::mutex> lock(j.opsMu);
  return !j.ops.empty();
}

void Apply(Conn& conn, const Ops& ops);

// Runs `f` in one write transaction of `c`, after writing what waits in the journal `j`. A failure
// of the bookkeeping never fails the user's call: the state is left as it was.
// False when the transaction could not begin (nothing was done).
template <typename F>
bool Write(Conn& c, Conn& j, F&& f) {
  std::lock_guard<std::mutex> lock(c.mu);
  try {
    if (!Control(c, "BEGIN IMMEDIATE")) return false;
  } catch (...) {
    return false;
  }
  Ops taken = Take(j);
  try {
    Apply(c, taken);
    f();
    if (Control(c, "COMMIT")) return true;
  } catch (...) {
  }
  PutBack(j, std::move(taken));
  try {
    Control(c, "ROLLBACK");
  } catch (...) {
  }
  return true;
}

// The session's own connection for live writes (its prepared statements kept beside the session's).
Conn& OwnConn(SessionState& s) {
  auto* own = static_cast<Conn*>(s.liveOwn.get());
  if (!own) {
    auto c = std::make_shared<Conn>();
    c->db = s.db;
    c->owned = false;
    c->pid = ::getpid();
    s.liveOwn = c;
    own = c.get();
  }
  return *own;
}

// The session's own connection when it is free: no statement of it running and no transaction
// open. Writing there leaves the connection's page cache valid (a commit through another connection
// makes the next read of this one drop all it has cached).
Conn* OwnWhenFree(SessionState& s) {
  if (!s.db || !sqlite3_get_autocommit(s.db)) return nullptr;
  for (sqlite3_stmt* st = sqlite3_next_stmt(s.db, nullptr); st; st = sqlite3_next_stmt(s.db, st))
    if (sqlite3_stmt_busy(st)) return nullptr;
  return &OwnConn(s);
}

// Runs `f` (given the connection) in one write transaction, after what waits in the journal:
// through the session's own connection when it is free, else through the process's connection.
template <typename F>
void WriteFor(SessionState& s, F&& f) {
  Conn& j = ConnFor(s);
  if (Conn* own = OwnWhenFree(s))
    if (Write(*own, j, [&] { f(*own); })) return;
  Write(j, j, [&] { f(j); });
}

Conn::~Conn() {
  // what the process's sessions changed last is written as the instance closes in this process
  if (owned && db && pid == ::getpid() && !ops.empty()) {
    try {
      Write(*this, *this, [] {});
    } catch (...) {
    }
  }
  for (auto& [k, st] : stmts) sqlite3_finalize(st);
  if (db && owned) sqlite3_close_v2(db);
}

void FlushInstanceConn(Conn& j) {
  if (Pending(j)) Write(j, j, [] {});
}

void FlushAllJournals() {
  std::vector<std::shared_ptr<Conn>> all;
  {
    Flusher* f = g_flusher;
    std::lock_guard<std::mutex> lock(f->mu);
    for (auto& w : f->journals)
      if (auto j = w.lock()) all.push_back(j);
  }
  for (auto& j : all)
    if (j->pid == ::getpid()) FlushInstanceConn(*j);
}

// ---- Writing the journal

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

void Register(Conn& c, const std::string& sql, int command, int64_t userId);

const char* const kIdleEvent = "SQL*Net message from client";

// What a session's calls in one batch add up to. Waits are followed as the calls made them: the
// batch starts from the wait the instance file shows; every call that starts ends the wait it was
// in, every call that ends starts the idle wait (all at the batch's clock reading).
struct SessionBatch {
  int sid = 0, serial = 0;
  std::vector<const Op*> ops;
};

struct EventTotal {
  std::string event;
  int64_t waits = 0, waited = 0, maxWait = 0;
};

void WriteSession(Conn& conn, const SessionBatch& b, int64_t now) {
  const int sid = b.sid;
  // a session that has left writes nothing more (its SID may be another session's by now)
  if (!Scalar(conn, "SELECT EXISTS (SELECT 1 FROM sim$sessions WHERE sid = ? AND serial = ?)", 0, sid,
              b.serial))
    return;
  WaitNow w = ReadWait(conn, sid, now);
  std::vector<EventTotal> events;
  auto complete = [&] {
    if (w.waitTime != 0 || w.event.empty()) return int64_t{0};
    auto it =
        std::find_if(events.begin(), events.end(), [&](const EventTotal& e) { return e.event == w.event; });
    if (it == events.end()) it = events.insert(events.end(), EventTotal{w.event});
    ++it->waits;
    it->waited += w.waited;
    it->maxWait = std::max(it->maxWait, w.waited);
    return w.waited;
  };
  int64_t seq = 0, seqAtLastEnd = 0, toClient = 0, calls = 0, parses = 0;
  CallEnd sum;
  sum.us = sum.cg = 0;
  int64_t commits = 0, rollbacks = 0;
  const Op* lastStart = nullptr;
  const Op* prevStart = nullptr;
  bool anyEnd = false, lastIsEnd = false;
  for (const Op* op : b.ops) {
    if (op->kind == Op::kStart) {
      const int64_t waited = complete();
      w.waitTime = waited > 0 ? waited : -1;
      w.waited = 0;
      ++toClient;
      ++calls;
      if (op->first) ++parses;
      prevStart = lastStart;
      lastStart = op;
      lastIsEnd = false;
      ++seq;
    } else if (op->kind == Op::kEnd) {
      complete();
      w.event = kIdleEvent;
      w.waitTime = 0;
      w.waited = 0;
      const CallEnd& e = op->end;
      sum.us += e.us;
      sum.bg += e.bg;
      sum.cg += e.cg;
      sum.pr += e.pr;
      sum.bc += e.bc;
      sum.cc += e.cc;
      sum.redo += e.redo;
      sum.sorts += e.sorts;
      commits += e.fc == kCommitCommand;
      rollbacks += e.fc == kRollbackCommand;
      seqAtLastEnd = seq;
      anyEnd = lastIsEnd = true;
      ++seq;
    }
  }
  for (const EventTotal& e : events)
    Run(conn,
        "INSERT INTO sim$sess_event(sid, event, total_waits, total_timeouts, time_waited, max_wait) VALUES "
        "(?1, ?2, ?3, 0, ?4, ?5) ON CONFLICT(sid, event) DO UPDATE SET total_waits = total_waits + "
        "excluded.total_waits, time_waited = time_waited + excluded.time_waited, max_wait = max(max_wait, "
        "excluded.max_wait)",
        sid, e.event, e.waits, e.waited, e.maxWait);
  if (toClient)
    Run(conn,
        "UPDATE sim$sess_event SET total_waits = total_waits + ? WHERE sid = ? AND event = 'SQL*Net message "
        "to client'",
        toClient, sid);
  if (!seq) return;
  const bool tx = InTransaction(conn, sid);
  // ?5 any call ended: the idle wait and its parameters, the transaction's numbers if one began;
  // ?4 the last call ended (else it runs: wait_time ?13); ?6 a call started: its statement and
  // command, the one before as the previous statement (?10: that one started in this batch too)
  sqlite3_stmt* st = conn.Stmt(
      "UPDATE sim$sessions SET wait_seq = wait_seq + ?3, event = CASE WHEN ?5 THEN 'SQL*Net message from "
      "client' ELSE event END, wait_time = CASE WHEN ?4 THEN 0 ELSE ?13 END, wait_since = ?14, last_call = "
      "?14, status = CASE WHEN status = 'KILLED' THEN status WHEN ?4 THEN 'INACTIVE' ELSE 'ACTIVE' END, "
      "command = CASE WHEN ?6 THEN ?7 ELSE command END, prev_address = CASE WHEN NOT ?6 THEN prev_address "
      "WHEN ?10 THEN ?11 ELSE sql_address END, prev_hash = CASE WHEN NOT ?6 THEN prev_hash WHEN ?10 THEN "
      "?12 ELSE sql_hash END, sql_address = CASE WHEN ?6 THEN ?8 ELSE sql_address END, sql_hash = CASE "
      "WHEN ?6 THEN ?9 ELSE sql_hash END, p1 = CASE WHEN ?5 THEN 1650815232 ELSE p1 END, p2 = CASE WHEN "
      "?5 THEN 1 ELSE p2 END, p3 = CASE WHEN ?5 THEN 0 ELSE p3 END, user_calls = user_calls + ?15, "
      "execute_count = execute_count + ?15, parse_count = parse_count + ?16, opened_cursors = "
      "opened_cursors + ?16, cpu_us = cpu_us + ?17, block_gets = block_gets + ?18, consistent_gets = "
      "consistent_gets + ?19, physical_reads = physical_reads + ?20, block_changes = block_changes + ?21, "
      "consistent_changes = consistent_changes + ?22, redo_size = redo_size + ?23, sorts = sorts + ?24, "
      "commits = commits + ?25, rollbacks = rollbacks + ?26, "
      "tx_usn = CASE WHEN NOT ?27 THEN NULL WHEN ?5 THEN coalesce(tx_usn, 1 + (sid + wait_seq + ?28 + 1) % "
      "10) ELSE tx_usn END, "
      "tx_slot = CASE WHEN NOT ?27 THEN NULL WHEN ?5 THEN coalesce(tx_slot, (sid * 7 + wait_seq + ?28 + 1) "
      "% 48) ELSE tx_slot END, "
      "tx_seq = CASE WHEN NOT ?27 THEN NULL WHEN ?5 THEN coalesce(tx_seq, 100 + (wait_seq + ?28 + 1) * 3) "
      "ELSE tx_seq END, "
      "tx_start = CASE WHEN NOT ?27 THEN NULL WHEN ?5 THEN coalesce(tx_start, ?14) ELSE tx_start END, "
      "tx_start_text = CASE WHEN NOT ?27 THEN NULL WHEN ?5 THEN coalesce(tx_start_text, strftime('%m/%d/', "
      "?14, 'unixepoch', 'localtime') || substr(strftime('%Y %H:%M:%S', ?14, 'unixepoch', 'localtime'), "
      "3)) ELSE tx_start_text END WHERE sid = ?1 AND serial = ?2");
  BindAllArgs(st, 1, sid, b.serial, seq, lastIsEnd ? 1 : 0, anyEnd ? 1 : 0, lastStart ? 1 : 0,
              lastStart ? lastStart->fc : 0);
  BindBlob(st, 8, RawAddress(lastStart ? lastStart->address : 0));
  BindAllArgs(st, 9, lastStart ? lastStart->hash : 0, prevStart ? 1 : 0);
  BindBlob(st, 11, RawAddress(prevStart ? prevStart->address : 0));
  BindAllArgs(st, 12, prevStart ? prevStart->hash : 0, w.waitTime, now, calls, parses, sum.us, sum.bg, sum.cg,
              sum.pr, sum.bc, sum.cc, sum.redo, sum.sorts, commits, rollbacks, tx ? 1 : 0, seqAtLastEnd);
  Step(conn, st);
  // (a separate statement: assigning the blocker, even NULL to NULL, rewrites its index entry)
  if (anyEnd)
    Run(conn,
        "UPDATE sim$sessions SET wait_obj = NULL, wait_blocker = NULL WHERE sid = ? AND (wait_obj IS NOT "
        "NULL OR wait_blocker IS NOT NULL)",
        sid);
}

// What the calls in one batch add to one statement of the shared pool.
struct PoolTotal {
  uint64_t address = 0;
  const Op* start = nullptr;  // a call that ran it (to register a statement new to the pool)
  int64_t executions = 0, parses = 0, gets = 0, reads = 0, rows = 0;
};

void WritePool(Conn& conn, const PoolTotal& p) {
  const std::string addr = RawAddress(p.address);
  auto count = [&] {
    sqlite3_stmt* st = conn.Stmt(
        "UPDATE sim$sqlarea SET executions = executions + ?2, parse_calls = parse_calls + ?3, buffer_gets = "
        "buffer_gets + ?4, disk_reads = disk_reads + ?5, rows_processed = rows_processed + ?6 WHERE address "
        "= ?1");
    BindBlob(st, 1, addr);
    BindAllArgs(st, 2, p.executions, p.parses, p.gets, p.reads, p.rows);
    Step(conn, st);
    return sqlite3_changes(conn.db) > 0;
  };
  // a statement new to the shared pool is registered first (its text is not built into a row for
  // every call of one that is there)
  if (!count() && p.start && p.start->sql) {
    Register(conn, *p.start->sql, p.start->fc, p.start->userId);
    count();
  }
}

// The open cursor a batch leaves: the statement of its last call, or none when it closed last.
void WriteCursor(Conn& conn, const Op& last) {
  if (last.kind == Op::kClose) {
    Run(conn, "DELETE FROM sim$open_cursor WHERE sid = ? AND cursor_id = ?", last.sid, last.cursorId);
    return;
  }
  // (an upsert that changes nothing when the cursor runs its statement again writes no page; a
  // session that has left opens none)
  sqlite3_stmt* st = conn.Stmt(
      "INSERT INTO sim$open_cursor SELECT ?1, ?2, ?3, ?4, substr(?5, 1, 60) WHERE EXISTS (SELECT 1 FROM "
      "sim$sessions WHERE sid = ?1 AND serial = ?6) ON CONFLICT(sid, cursor_id) "
      "DO UPDATE SET address = excluded.address, hash_value = excluded.hash_value, sql_text = "
      "excluded.sql_text WHERE address IS NOT excluded.address OR hash_value IS NOT excluded.hash_value OR "
      "sql_text IS NOT excluded.sql_text");
  BindAllArgs(st, 1, last.sid, last.cursorId);
  BindBlob(st, 3, RawAddress(last.address));
  BindAllArgs(st, 4, last.hash, last.sql ? *last.sql : std::string(), last.serial);
  Step(conn, st);
}

// Writes a batch of changes in the caller's transaction: per session, per statement of the shared
// pool and per cursor what they add up to.
void Apply(Conn& conn, const Ops& ops) {
  if (ops.empty()) return;
  std::vector<SessionBatch> sessions;
  std::vector<PoolTotal> pool;
  std::vector<const Op*> cursors;  // the last change of each cursor
  for (const Op& op : ops) {
    auto s = std::find_if(sessions.begin(), sessions.end(),
                          [&](const SessionBatch& b) { return b.sid == op.sid && b.serial == op.serial; });
    if (s == sessions.end()) s = sessions.insert(sessions.end(), SessionBatch{op.sid, op.serial, {}});
    s->ops.push_back(&op);
    if (op.kind != Op::kEnd) {
      auto c = std::find_if(cursors.begin(), cursors.end(),
                            [&](const Op* o) { return o->sid == op.sid && o->cursorId == op.cursorId; });
      if (c == cursors.end())
        cursors.push_back(&op);
      else
        *c = &op;
    }
    if (op.kind == Op::kClose) continue;
    const uint64_t address = op.kind == Op::kStart ? op.address : op.end.address;
    auto p = std::find_if(pool.begin(), pool.end(), [&](const PoolTotal& t) { return t.address == address; });
    if (p == pool.end()) p = pool.insert(pool.end(), PoolTotal{address});
    if (op.kind == Op::kStart) {
      if (!p->start) p->start = &op;
      ++p->executions;
      if (op.first) ++p->parses;
    } else {
      p->gets += op.end.bg + op.end.cg;
      p->reads += op.end.pr;
      p->rows += op.end.rows;
    }
  }
  const int64_t now = Now(conn);
  for (const SessionBatch& b : sessions) WriteSession(conn, b, now);
  for (const PoolTotal& p : pool) WritePool(conn, p);
  for (const Op* c : cursors) WriteCursor(conn, *c);
}

// ---- The calls

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
  e.address = c.liveAddress;
  s.liveWaiting = false;
  return e;
}

void EndCall(SessionState& s, CursorState& c) {
  Op end;
  end.kind = Op::kEnd;
  end.sid = s.sid;
  end.serial = s.serial;
  end.cursorId = CursorId(c);
  end.end = MeasureCallEnd(s, c);
  Queue(s, std::move(end));
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
  Write(c, c, [&] {
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
  if (!c.liveSql || *c.liveSql != c.sql) {
    c.liveSql = std::make_shared<const std::string>(c.sql);
    c.liveAddress = SqlAddress(c.sql);
    c.liveHash = HashValue(c.sql);
  }
  Op start;
  start.kind = Op::kStart;
  start.first = c.liveFirst;
  start.sid = s.sid;
  start.serial = s.serial;
  start.fc = c.tr ? c.tr->functionCode : 0;
  start.cursorId = CursorId(c);
  start.userId = s.userId;
  start.address = c.liveAddress;
  start.hash = c.liveHash;
  start.sql = c.liveSql;
  Queue(s, std::move(start));
}

void OnCallEnd(SessionState& s, CursorState& c, bool failed) {
  if (!failed && c.tr && c.tr->kind == StmtKind::Select) {
    c.livePending = true;  // the query's first fetch ends the call
    return;
  }
  c.livePending = false;
  EndCall(s, c);
  // a call that failed is written at once (failures are rare, and what follows one may read it)
  if (failed) Flush(s);
}

void OnFetch(SessionState& s, CursorState& c, bool gotRow) {
  (void)gotRow;
  if (!c.livePending) return;
  c.livePending = false;
  EndCall(s, c);
}

void OnCursorClose(SessionState& s, CursorState& c) {
  if (s.sid == 0 || s.cut.load() != 0) return;
  try {
    if (c.livePending) {
      c.livePending = false;
      EndCall(s, c);
    }
    if (!c.liveOpened) return;
    Op close;
    close.kind = Op::kClose;
    close.sid = s.sid;
    close.serial = s.serial;
    close.cursorId = CursorId(c);
    Queue(s, std::move(close));
  } catch (...) {
  }
}

void OnWriteBegin(SessionState& s) {
  s.liveTaken.reset();
  Conn& j = ConnFor(s);
  auto taken = std::make_shared<Ops>(Take(j));
  if (taken->empty()) return;
  try {
    Apply(OwnConn(s), *taken);
  } catch (...) {
    return;  // (the bookkeeping is lost, the user's statement goes on)
  }
  s.liveTaken = taken;
}

void OnWriteEnd(SessionState& s, bool committed) {
  if (!s.liveTaken) return;
  auto taken = std::static_pointer_cast<Ops>(s.liveTaken);
  s.liveTaken.reset();
  if (!committed) PutBack(ConnFor(s), std::move(*taken));
}

void Flush(SessionState& s) {
  if (s.sid == 0 || !Pending(ConnFor(s))) return;
  WriteFor(s, [](Conn&) {});
}

void FlushInstance(InstanceState& is) {
  std::shared_ptr<Conn> j;
  {
    std::lock_guard<std::mutex> lock(is.mu);
    j = std::static_pointer_cast<Conn>(is.live);
  }
  if (j && j->pid == ::getpid()) FlushInstanceConn(*j);
}

bool ReadsLiveState(const Translation& tr) {
  switch (tr.kind) {
    case StmtKind::PlSql:
    case StmtKind::Ddl:
      return true;
    case StmtKind::Other:
      return tr.statement &&
             (tr.statement->kind == Statement::AlterSystem || tr.statement->kind == Statement::AlterSession);
    default: {
      auto reads = [](const std::string& sql) {
        for (const char* table : {"\"SYS.V$", "\"SYS.GV$", "sim$sessions", "sim$open_cursor", "sim$sqlarea",
                                  "sim$sqltext", "sim$sess_event"})
          if (sql.find(table) != std::string::npos) return true;
        return false;
      };
      return reads(tr.sqlite) || reads(tr.sqliteConsistent);
    }
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
  Write(conn, conn, [&] {
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

int KilledState(SessionState& s, uint64_t changes) {
  static const std::string kKilled = "SELECT killed FROM sim$sessions WHERE sid = ? AND serial = ?";
  // The session's own connection when no statement of it is open (it reads the newest state then,
  // and keeps its page cache), with the catalog's version for the call's statement in the same read;
  // else the process's live connection.
  if (Conn* own = OwnWhenFree(s)) {
    sqlite3_stmt* st = own->Stmt(
        "SELECT (SELECT killed FROM sim$sessions WHERE sid = ?1 AND serial = ?2), (SELECT value FROM "
        "sim$meta "
        "WHERE key = 'catalog_version')");
    BindAllArgs(st, 1, s.sid, s.serial);
    int killed = 0;
    if (sqlite3_step(st) == SQLITE_ROW) {
      killed = sqlite3_column_int(st, 0);
      s.knownCatalogVersion = sqlite3_column_int64(st, 1);
      s.catalogKnownAt = changes;
      s.catalogKnown = true;
    }
    sqlite3_reset(st);
    return killed;
  }
  Conn& conn = ConnFor(s);
  std::lock_guard<std::mutex> lock(conn.mu);
  return static_cast<int>(Scalar(conn, kKilled, 0, s.sid, s.serial));
}

void OnKilled(SessionState& s) {
  Conn& conn = ConnFor(s);
  try {
    // (only while the SID is still the session's: once its row is gone, another session may hold it)
    Write(conn, conn, [&] {
      for (const char* table : {"sim$open_cursor", "sim$sess_event"})
        Run(conn,
            std::string("DELETE FROM ") + table +
                " WHERE sid = ?1 AND EXISTS (SELECT 1 FROM sim$sessions WHERE sid = ?1 AND serial = ?2)",
            s.sid, s.serial);
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

// (what this process's sessions did before the clock moves is stamped with the clock as it was)
void ClockFreeze(sqlite3* db) {
  FlushAllJournals();
  Exec(db, std::string("INSERT OR REPLACE INTO sim$meta VALUES ('clock_frozen', ") + kNowSql + ")");
}

void ClockStep(sqlite3* db, int64_t seconds) {
  FlushAllJournals();
  std::string n = std::to_string(seconds);
  Exec(db, "UPDATE sim$meta SET value = value + " + n + " WHERE key = 'clock_frozen'");
  Exec(db, "INSERT OR IGNORE INTO sim$meta VALUES ('clock_offset', 0)");
  Exec(db, "UPDATE sim$meta SET value = value + " + n + " WHERE key = 'clock_offset'");
}

void ClockRun(sqlite3* db) {
  FlushAllJournals();
  Exec(db,
       "INSERT OR REPLACE INTO sim$meta SELECT 'clock_offset', value - unixepoch('now') FROM sim$meta WHERE "
       "key "
       "= 'clock_frozen'");
  Exec(db, "DELETE FROM sim$meta WHERE key = 'clock_frozen'");
}

}  // namespace oracle_sim::live
