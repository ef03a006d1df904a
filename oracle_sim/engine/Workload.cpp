// The workload generator and the simulation clock.
#include "oracle_sim/engine/Workload.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <deque>

#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Live.h"
#include "platform/rtl/ScopeExit.h"

namespace oracle_sim {

namespace {

// A short-lived connection of its own to the instance file.
struct Db {
  sqlite3* db = nullptr;
  explicit Db(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      db = nullptr;
      throw OraError(1034, "ORA-01034: ORACLE not available");
    }
    sqlite3_busy_timeout(db, 60000);
  }
  ~Db() { sqlite3_close(db); }
};

const char* kQueries[] = {
    "SELECT ename, job, sal FROM scott.emp WHERE deptno = 20 ORDER BY sal DESC",
    "SELECT d.dname, COUNT(*) FROM scott.emp e, scott.dept d WHERE e.deptno = d.deptno GROUP BY d.dname",
    "SELECT * FROM scott.dept",
    "SELECT grade, losal, hisal FROM scott.salgrade WHERE 1500 BETWEEN losal AND hisal",
    "SELECT e.empno, e.ename, e.job, e.mgr, e.hiredate, e.sal, e.comm, d.dname, d.loc\n"
    "FROM scott.emp e, scott.dept d\n"
    "WHERE e.deptno = d.deptno\n"
    "  AND e.sal > 1000\n"
    "ORDER BY e.ename",
    "SELECT COUNT(*) FROM scott.bonus",
};

struct Looks {
  const char* program;  // nullptr: no program, the client information names it
  const char* machine;
  const char* osuser;
};
const Looks kLooks[] = {
    {"sqlplus.exe", "WORKGROUP\\PC-ACCT01", "ivanov"},
    {"JDBC Thin Client", "appsrv01", "appuser"},
    {"OrderEntry.exe", "WORKGROUP\\PC-SALES07", "petrova"},
    {"TOAD.exe", "WORKGROUP\\PC-DBA02", "sidorov"},
    {nullptr, "repsrv01", "reports"},
    {"JDBC Thin Client", "appsrv02", "appuser"},
};

struct Event {
  const char* name;
  int waitTime;  // 0 waiting, -1 short, -2 unknown, > 0 hundredths waited
};
// How often the calls under way are looked at: a cancel reaches a waiting session within it.
constexpr std::chrono::milliseconds kWatchGap{20};
// How long the lock chain waits for a row another process holds (another workload's chain) before
// it stands down for the step.
constexpr std::chrono::milliseconds kChainLockPatience{500};

const Event kEvents[] = {
    {"db file sequential read", 3}, {"db file scattered read", 0}, {"latch free", -1},
    {"direct path read", -2},       {"log file sync", 12},         {"buffer busy waits", 0}};

}  // namespace

// ------------------------------------------------------------------ SimClock
int64_t SimClock::Now(Instance& instance) {
  Db d(instance.Path());
  return live::ClockNow(d.db);
}
void SimClock::Freeze(Instance& instance) {
  Db d(instance.Path());
  live::ClockFreeze(d.db);
}
void SimClock::Step(Instance& instance, int64_t seconds) {
  Db d(instance.Path());
  live::ClockStep(d.db, seconds);
}
void SimClock::Run(Instance& instance) {
  Db d(instance.Path());
  live::ClockRun(d.db);
}

// ------------------------------------------------------------------ Workload
struct Workload::Sim {
  std::unique_ptr<Session> session;
  std::deque<std::unique_ptr<Cursor>> cursors;  // kept open: the session's open cursors
  int idx = 0;
  int sid = 0;
  int serial = 0;
  int command = 0;
  bool inTx = false;
  std::atomic<bool> dead{false};

  ~Sim() {
    cursors.clear();
    session.reset();
  }
};

struct Workload::Chain {
  std::unique_ptr<Sim> holder, first, second;
  std::thread t1, t2;
  // Set as the chain stands down: the waits of t1 and t2 are broken off, whatever the sessions ahead
  // of them do.
  std::atomic<bool> ending{false};
};

struct Workload::InCall {
  Session* session;
  Clock::time_point deadline;
  const std::atomic<bool>* ends;  // broken off once it is set (nullptr: no such flag)
};

Workload::Workload(std::shared_ptr<Instance> instance, uint32_t seed)
    : instance_(std::move(instance)), rng_(seed) {
  Db d(instance_->Path());
  db_ = d.db;
  d.db = nullptr;
  watcher_ = std::thread([this] { WatchCalls(); });
}

Workload::~Workload() {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mu_);
    BreakChain();  // (the watcher still breaks off the waits of a cancelled chain)
    longActive_.reset();
    sims_.clear();
  }
  {
    std::lock_guard<std::mutex> lock(callsMu_);
    assert(calls_.empty());
    watching_ = false;
  }
  watchEnds_.notify_all();
  watcher_.join();
  sqlite3_close(db_);
}

void Workload::CancelWhen(const std::atomic<bool>& flag) {
  cancelFlag_ = &flag;
}

bool Workload::Cancelled() const {
  const std::atomic<bool>* flag = cancelFlag_.load();
  return flag && flag->load();
}

void Workload::WatchCalls() {
  std::unique_lock<std::mutex> lock(callsMu_);
  while (watching_) {
    watchEnds_.wait_for(lock, kWatchGap);
    const bool cancelled = Cancelled();
    const auto now = Clock::now();
    // (a break that comes before the call's statement starts is lost: the next round breaks again)
    for (const InCall* call : calls_)
      if (cancelled || now >= call->deadline || (call->ends && call->ends->load())) call->session->Break();
  }
}

void Workload::Shape(const WorkloadShape& shape) {
  std::lock_guard<std::mutex> lock(mu_);
  shape_ = shape;
  if (shape_.sessions < 0) shape_.sessions = 0;
  shape_.busyPercent = std::clamp(shape_.busyPercent, 0, 100);
}

WorkloadShape Workload::CurrentShape() const {
  std::lock_guard<std::mutex> lock(mu_);
  return shape_;
}

std::vector<int> Workload::Sids() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<int> r;
  for (auto& s : sims_) r.push_back(s->sid);
  if (longActive_) r.push_back(longActive_->sid);
  if (chain_)
    for (auto* s : {chain_->holder.get(), chain_->first.get(), chain_->second.get()})
      if (s) r.push_back(s->sid);
  return r;
}

int Workload::KilledCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return killed_;
}

void Workload::Step() {
  std::lock_guard<std::mutex> lock(mu_);
  StepLocked();
}

void Workload::Start(int periodMs) {
  std::lock_guard<std::mutex> s(stopMu_);
  if (running_) return;
  running_ = true;
  thread_ = std::thread([this, periodMs] {
    for (;;) {
      {
        std::lock_guard<std::mutex> s2(stopMu_);
        if (!running_) return;
      }
      Step();
      for (int waited = 0; waited < periodMs; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::lock_guard<std::mutex> s2(stopMu_);
        if (!running_) return;
      }
    }
  });
}

void Workload::Stop() {
  {
    std::lock_guard<std::mutex> s(stopMu_);
    running_ = false;
  }
  if (thread_.joinable()) thread_.join();
}

bool Workload::Call(Sim& s, const std::string& sql, bool fetch, Clock::time_point deadline,
                    const std::atomic<bool>* ends) {
  if (s.dead || Cancelled()) return false;
  const InCall call{s.session.get(), deadline, ends};
  {
    std::lock_guard<std::mutex> lock(callsMu_);
    calls_.push_back(&call);
  }
  TScopeExit leave([&] {
    std::lock_guard<std::mutex> lock(callsMu_);
    calls_.erase(std::find(calls_.begin(), calls_.end(), &call));
  });
  try {
    auto c = s.session->Prepare(sql);
    c->Execute();
    if (fetch) {
      std::vector<Value> row;
      while (c->Fetch(row)) {
      }
    }
    s.command = c->FunctionCode();
    s.cursors.push_back(std::move(c));
    while (s.cursors.size() > 4) s.cursors.pop_front();
    return true;
  } catch (const OraError& e) {
    if (e.code == ORA_SESSION_KILLED || e.code == ORA_END_OF_CHANNEL || e.code == ORA_NOT_CONNECTED ||
        e.code == ORA_NOT_LOGGED_ON)
      s.dead = true;
    return false;
  }
}

void Workload::Cosmetics(Sim& s) {
  const Looks& l = kLooks[s.idx % (sizeof kLooks / sizeof kLooks[0])];
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(
      db_,
      "UPDATE sim$sessions SET program = ?, machine = ?, osuser = ?, client_info = CASE WHEN ? "
      "IS NULL THEN 'Report Server' ELSE client_info END WHERE sid = ? AND serial = ?",
      -1, &st, nullptr);
  if (l.program)
    sqlite3_bind_text(st, 1, l.program, -1, SQLITE_STATIC);
  else
    sqlite3_bind_null(st, 1);
  sqlite3_bind_text(st, 2, l.machine, -1, SQLITE_STATIC);
  sqlite3_bind_text(st, 3, l.osuser, -1, SQLITE_STATIC);
  if (l.program)
    sqlite3_bind_text(st, 4, l.program, -1, SQLITE_STATIC);
  else
    sqlite3_bind_null(st, 4);
  sqlite3_bind_int(st, 5, s.sid);
  sqlite3_bind_int(st, 6, s.serial);
  sqlite3_step(st);
  sqlite3_finalize(st);
}

namespace {
std::unique_ptr<Session> LogOnAs(const std::shared_ptr<Instance>& inst, int idx) {
  if (idx % 5 == 3) return Session::LogOn(inst, "SYSTEM", "MANAGER");
  return Session::LogOn(inst, "SCOTT", "TIGER");
}
}  // namespace

void Workload::Fill() {
  while (static_cast<int>(sims_.size()) < shape_.sessions) {
    auto s = std::make_unique<Sim>();
    s->idx = next_++;
    try {
      s->session = LogOnAs(instance_, s->idx);
    } catch (const OraError&) {
      return;  // logins restricted, or the instance is gone: try again at the next step
    }
    s->sid = s->session->SessionId();
    s->serial = s->session->State().serial;
    Cosmetics(*s);
    sims_.push_back(std::move(s));
  }
  while (static_cast<int>(sims_.size()) > shape_.sessions) sims_.pop_back();
}

void Workload::MarkBusy(Sim& s) {
  // the session's own calls are in the file before its row is made busy
  live::FlushInstance(instance_->State());
  const Event& e = kEvents[rng_() % (sizeof kEvents / sizeof kEvents[0])];
  int since = static_cast<int>(rng_() % 30);
  int gets = 50 + static_cast<int>(rng_() % 5000);
  std::string sql =
      std::string(
          "UPDATE sim$sessions SET status = 'ACTIVE', command = CASE WHEN ?1 = 0 THEN 3 "
          "ELSE ?1 END, last_call = ") +
      live::kNowSql +
      " - ?2, wait_seq = wait_seq + 1, event = ?3, wait_time = ?4, wait_since = " + live::kNowSql +
      " - ?2, p1 = 4, p2 = 1000 + ?5 % 9000, p3 = 1, consistent_gets = consistent_gets + ?5, "
      "physical_reads = physical_reads + ?5 / 20, block_gets = block_gets + ?5 / 10, block_changes "
      "= block_changes + ?5 / 40, cpu_us = cpu_us + ?5 * 40 WHERE sid = ?6 AND serial = ?7 AND "
      "killed = 0";
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
  sqlite3_bind_int(st, 1, s.command == 44 || s.command == 45 ? 3 : s.command);
  sqlite3_bind_int(st, 2, since);
  sqlite3_bind_text(st, 3, e.name, -1, SQLITE_STATIC);
  sqlite3_bind_int(st, 4, e.waitTime);
  sqlite3_bind_int(st, 5, gets);
  sqlite3_bind_int(st, 6, s.sid);
  sqlite3_bind_int(st, 7, s.serial);
  sqlite3_step(st);
  sqlite3_finalize(st);
  sqlite3_prepare_v2(
      db_,
      "INSERT INTO sim$sess_event(sid, event, total_waits, total_timeouts, time_waited, max_wait) "
      "VALUES (?1, ?2, 1, 0, ?3, ?3) ON CONFLICT(sid, event) DO UPDATE SET total_waits = "
      "total_waits + 1, time_waited = time_waited + ?3, max_wait = max(max_wait, ?3)",
      -1, &st, nullptr);
  sqlite3_bind_int(st, 1, s.sid);
  sqlite3_bind_text(st, 2, e.name, -1, SQLITE_STATIC);
  sqlite3_bind_int(st, 3, e.waitTime > 0 ? e.waitTime : static_cast<int>(rng_() % 200));
  sqlite3_step(st);
  sqlite3_finalize(st);
}

void Workload::Act(Sim& s) {
  // a killed session's user learns of it at his next round, whatever he was about to do
  if (!Alive(s)) {
    s.dead = true;
    return;
  }
  int r = static_cast<int>(rng_() % 100);
  std::string me = "'W" + std::to_string(s.idx) + "'";
  if (s.inTx && r < 30) {
    Call(s, rng_() % 3 ? "COMMIT" : "ROLLBACK");
    s.inTx = false;
  } else if (r < 45) {
    Call(s, kQueries[rng_() % (sizeof kQueries / sizeof kQueries[0])], true);
  } else if (r < 65) {
    int k = static_cast<int>(rng_() % 3);
    std::string sql =
        k == 0   ? "INSERT INTO scott.bonus (ename, job, sal, comm) VALUES (" + me + ", 'CLERK', 1000, 0)"
        : k == 1 ? "UPDATE scott.bonus SET sal = sal + 10 WHERE ename = " + me
                 : "DELETE FROM scott.bonus WHERE ename = " + me;
    if (Call(s, sql)) s.inTx = true;
  } else if (r < 73) {
    static const char* modules[][2] = {
        {"OrderEntry", "Checkout"}, {"OrderEntry", "Search"}, {"Billing", "Invoice run"}, {"HR", "Payroll"}};
    auto& m = modules[rng_() % 4];
    Call(s, std::string("BEGIN DBMS_APPLICATION_INFO.SET_MODULE('") + m[0] + "', '" + m[1] + "'); END;");
  } else if (r < 76 && shape_.logoffs) {
    // the user leaves; another one comes at the next step
    s.dead = true;
    s.cursors.clear();
    s.session.reset();
    --killed_;  // not a kill
    return;
  }
  if (static_cast<int>(rng_() % 100) < shape_.busyPercent) MarkBusy(s);
}

bool Workload::LogOnChainSession(std::unique_ptr<Sim>& slot) {
  auto s = std::make_unique<Sim>();
  s->idx = next_++;
  try {
    s->session = Session::LogOn(instance_, "SCOTT", "TIGER");
  } catch (const OraError&) {
    return false;
  }
  s->sid = s->session->SessionId();
  s->serial = s->session->State().serial;
  Cosmetics(*s);
  slot = std::move(s);
  return true;
}

void Workload::BuildChain() {
  // The holder and the first waiter take their rows before the next session logs on: rows another
  // process holds are waited for a short while, then the chain stands down (its sessions log off)
  // until the next step.
  auto c = std::make_unique<Chain>();
  if (!LogOnChainSession(c->holder) ||
      !Call(*c->holder, "UPDATE scott.dept SET loc = loc WHERE deptno = 10", false,
            Clock::now() + kChainLockPatience) ||
      !LogOnChainSession(c->first) ||
      !Call(*c->first, "UPDATE scott.dept SET loc = loc WHERE deptno = 20", false,
            Clock::now() + kChainLockPatience) ||
      !LogOnChainSession(c->second))
    return;
  Sim* first = c->first.get();
  Sim* second = c->second.get();
  const std::atomic<bool>* ending = &c->ending;
  c->t1 = std::thread([this, first, ending] {
    if (!Call(*first, "UPDATE scott.dept SET loc = loc WHERE deptno = 10", false, Clock::time_point::max(),
              ending))
      first->dead = true;
  });
  // the second waiter queues only once the first one holds its row and waits
  for (int i = 0; i < 200 && !Cancelled(); ++i) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "SELECT event FROM sim$sessions WHERE sid = ?", -1, &st, nullptr);
    sqlite3_bind_int(st, 1, first->sid);
    bool waiting = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0) &&
                   std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "enqueue";
    sqlite3_finalize(st);
    if (waiting) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  c->t2 = std::thread([this, second, ending] {
    if (!Call(*second, "UPDATE scott.dept SET loc = loc WHERE deptno = 20", false, Clock::time_point::max(),
              ending))
      second->dead = true;
  });
  chain_ = std::move(c);
}

void Workload::BreakChain() {
  if (!chain_) return;
  // The waiters give up within a round of the watcher even when a rollback ahead of them fails (its
  // session keeps its row until it logs off below).
  chain_->ending = true;
  auto end = [this](Sim* s) {
    if (!s || !s->session) return;
    try {
      endChainTransaction_(*s->session);
    } catch (const OraError&) {
    }
  };
  end(chain_->holder.get());
  if (chain_->t1.joinable()) chain_->t1.join();
  end(chain_->first.get());
  if (chain_->t2.joinable()) chain_->t2.join();
  end(chain_->second.get());
  chain_.reset();
}

bool Workload::Alive(const Sim& s) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, "SELECT killed FROM sim$sessions WHERE sid = ? AND serial = ?", -1, &st, nullptr);
  sqlite3_bind_int(st, 1, s.sid);
  sqlite3_bind_int(st, 2, s.serial);
  bool alive = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 0;
  sqlite3_finalize(st);
  return alive;
}

void Workload::StepLocked() {
  if (Cancelled()) return;
  Fill();
  // the lock chain stands while the shape asks for it and its holder lives
  if (chain_) {
    if (!Alive(*chain_->holder) || chain_->first->dead || chain_->second->dead) {
      ++killed_;
      BreakChain();
    } else if (!shape_.lockChain) {
      BreakChain();
    }
  } else if (shape_.lockChain) {
    BuildChain();
  }
  if (Cancelled()) return;
  // sessions that make no calls of their own learn of a kill from their row
  if (longActive_ && !Alive(*longActive_)) {
    ++killed_;
    longActive_.reset();
  }
  if (shape_.longActive && !longActive_) {
    auto s = std::make_unique<Sim>();
    s->idx = next_++;
    try {
      s->session = Session::LogOn(instance_, "SCOTT", "TIGER");
      s->sid = s->session->SessionId();
      s->serial = s->session->State().serial;
      Cosmetics(*s);
      Call(*s, "UPDATE scott.bonus SET comm = comm WHERE ename = 'NOBODY'");
      std::string sql =
          std::string("UPDATE sim$sessions SET status = 'ACTIVE', command = 6, last_call = ") +
          live::kNowSql +
          " - 420, event = 'db file sequential read', wait_time = 0, wait_since = " + live::kNowSql +
          " - 2, wait_seq = wait_seq + 1 WHERE sid = " + std::to_string(s->sid);
      live::FlushInstance(instance_->State());
      Exec(db_, sql);
      longActive_ = std::move(s);
    } catch (const OraError&) {
    }
  } else if (!shape_.longActive && longActive_) {
    longActive_.reset();
  }
  for (auto& s : sims_)
    if (!Cancelled()) Act(*s);
  for (auto it = sims_.begin(); it != sims_.end();) {
    if ((*it)->dead) {
      ++killed_;
      it = sims_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace oracle_sim
