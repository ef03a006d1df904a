// The workload generator: with it running, every statement of the session window has rows to show;
// its sessions are killed like any other; the clock can be frozen and stepped; talvik-sim drives it.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <iterator>
#include <set>
#include <thread>

#include "MonitorStatements.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Workload.h"
#include "platform/rtl/ScopeExit.h"

namespace oracle_sim {

// Reaches what the workload keeps to itself for the tests that need it.
struct WorkloadSeam {
  // The lock chain's sessions fail to end their transactions (as a rollback that meets another
  // process's write with a break still pending does): their rows stay locked until they log off.
  static void FailChainRollbacks(Workload& w) {
    w.endChainTransaction_ = [](Session&) { throw OraError(54, "ORA-00054: resource busy"); };
  }
};

}  // namespace oracle_sim

namespace simtest {
namespace {

using oracle_sim::SimClock;
using oracle_sim::Workload;
using oracle_sim::WorkloadSeam;
using oracle_sim::WorkloadShape;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// How long a step or a cancel may take before it counts as waiting for good: far beyond what they
// take under a sanitizer on a loaded machine.
constexpr milliseconds kPatience{15000};

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

// A workload of the lock chain alone.
WorkloadShape ChainOnly() {
  WorkloadShape shape;
  shape.sessions = 0;
  shape.busyPercent = 0;
  shape.longActive = false;
  shape.logoffs = false;
  return shape;
}

class WorkloadTest : public SimTest {
 protected:
  // The sessions of Sids the instance lists as waiting for a row lock, and as listed at all.
  long Waiting(const std::vector<int>& sids) {
    long n = 0;
    for (int sid : sids)
      n += !Q("select 1 from v$session s, v$session_wait w where s.sid = w.sid and s.sid = :sid and "
              "w.event = 'enqueue' and s.status = 'ACTIVE'",
              sid)
                .empty();
    return n;
  }
  // Whether the lock chain of W (of the ChainOnly shape) stands: its two waiters wait. A chain that
  // stood down at a step (its holder's statement overdue on a loaded machine) is stood again.
  bool ChainStands(Workload& W) {
    return Await(
        [&] {
          if (W.Sids().empty()) W.Step();
          return Waiting(W.Sids()) == 2;
        },
        kPatience);
  }
  long Listed(const std::vector<int>& sids) {
    long n = 0;
    for (int sid : sids) n += !Q("select 1 from v$session where sid = :sid", sid).empty();
    return n;
  }

  Rows Q(const std::string& sql, int sid) {
    return Query(*system_, sql, {{"SID", Value::MakeText(std::to_string(sid))}});
  }
  // "sid,serial" of the workload's sessions as the instance lists them.
  std::set<std::string> Pairs(const Workload& W) {
    std::set<std::string> pairs;
    for (int sid : W.Sids())
      for (const auto& r : Q("select sid || ',' || serial# from v$session where sid = :sid", sid))
        pairs.insert(r[0]);
    return pairs;
  }
};

TEST_F(WorkloadTest, EveryTabHasRowsWhileTheWorkloadRuns) {
  Workload w(instance_, 7);
  WorkloadShape shape;
  shape.sessions = 10;
  shape.busyPercent = 50;
  w.Shape(shape);
  for (int i = 0; i < 6; ++i) w.Step();
  auto list = Query(*system_, monitor_sql::kSessionList);
  // SID 1, STATUS 5, WAIT_EVENT 23, WAIT_STATE 24, PRNAME 25, TADDR 26, SQL_ADDRESS 20, SQL_HASH 21
  int users = 0, active = 0, inactive = 0, enqueue = 0, known = 0, withTx = 0;
  std::vector<int> txSids;
  for (auto& r : list) {
    if (r[24] != "USER") continue;
    ++users;
    active += r[4] == "ACTIVE";
    inactive += r[4] == "INACTIVE";
    enqueue += r[22] == "enqueue";
    known += r[23].find(" ms )") != std::string::npos;
    if (!r[25].empty()) {
      ++withTx;
      txSids.push_back(std::stoi(r[0]));
    }
  }
  EXPECT_GE(users, 10 + 3 + 1 + 1);  // generated, the lock chain, the long call, the monitor
  EXPECT_GT(active, 2);
  EXPECT_GT(inactive, 0);
  EXPECT_EQ(enqueue, 2);  // two sessions queued in the chain
  EXPECT_GT(known, 0);    // sessions past a wait say how long it took
  EXPECT_GE(withTx, 2);
  // the chain: a holder with a waiter behind it, and that waiter's own waiter behind it
  int blockers = 0;
  for (int sid : w.Sids()) {
    auto who = Q(monitor_sql::kLockWho, sid);
    if (!who.empty()) ++blockers;
  }
  EXPECT_EQ(blockers, 2);
  bool anyTx = false, anyCursor = false, anyText = false, anyLock = false;
  for (int sid : w.Sids()) {
    for (auto& r : list) {
      if (r[0] != std::to_string(sid)) continue;
      if (!r[25].empty() &&
          !Query(*system_, monitor_sql::kTransaction, {{"ADDR", Value::MakeText(r[25])}}).empty())
        anyTx = true;
      if (r[19] != "00" &&
          !Query(*system_, monitor_sql::kSqlText,
                 {{"SQL_ADDRESS", Value::MakeText(r[19])}, {"SQL_HASH_VALUE", Value::MakeText(r[20])}})
               .empty())
        anyText = true;
    }
    anyCursor = anyCursor || !Q(monitor_sql::kOpenCursors, sid).empty();
    anyLock = anyLock || !Q(monitor_sql::kLocks, sid).empty();
    EXPECT_GE(Q(monitor_sql::kStatistics, sid).size(), 90u);
    EXPECT_FALSE(Q(monitor_sql::kEvents, sid).empty());
  }
  EXPECT_TRUE(anyTx);
  EXPECT_TRUE(anyCursor);
  EXPECT_TRUE(anyText);
  EXPECT_TRUE(anyLock);
}

TEST_F(WorkloadTest, KilledSessionsAreReplacedAndTheShapeFollows) {
  Workload w(instance_, 3);
  WorkloadShape shape;
  shape.sessions = 4;
  shape.lockChain = false;
  shape.longActive = true;
  w.Shape(shape);
  w.Step();
  auto sids = w.Sids();
  ASSERT_EQ(sids.size(), 5u);
  // kill an ordinary workload session and the long-active one
  for (int sid : {sids[0], sids.back()}) {
    auto serial = Query(*system_, "select serial# from v$session where sid = :sid",
                        {{"SID", Value::MakeText(std::to_string(sid))}});
    ASSERT_EQ(serial.size(), 1u);
    int err = ErrorOf([&] {
      Exec(*system_, "ALTER SYSTEM KILL SESSION '" + std::to_string(sid) + "," + serial[0][0] + "'");
    });
    EXPECT_TRUE(err == 0 || err == 31) << err;
  }
  for (int i = 0; i < 3; ++i) w.Step();
  EXPECT_GE(w.KilledCount(), 1);
  EXPECT_EQ(w.Sids().size(), 5u);
  // the long call has lasted seven minutes; a frozen clock stepped by an hour shows it an hour longer
  SimClock::Freeze(*instance_);
  int64_t t0 = SimClock::Now(*instance_);
  SimClock::Step(*instance_, 3600);
  EXPECT_EQ(SimClock::Now(*instance_), t0 + 3600);
  auto longest =
      Query(*system_, "select max(last_call_et) from v$session where type = 'USER' and status = 'ACTIVE'");
  EXPECT_GE(std::stoll(longest[0][0]), 3600 + 420);
  SimClock::Run(*instance_);
  shape.sessions = 1;
  shape.longActive = false;
  w.Shape(shape);
  w.Step();
  EXPECT_EQ(w.Sids().size(), 1u);
}

// Users leaving on their own replace sessions now and then; without that churn a session stays until
// it is killed, and its user learns of the kill at the next step whatever he does in it.
TEST_F(WorkloadTest, WithoutLogoffsSessionsStayUntilKilledAndLeaveAtTheNextStep) {
  for (bool logoffs : {true, false}) {
    SCOPED_TRACE(logoffs ? "with logoffs" : "without logoffs");
    Workload w(instance_, 11);
    WorkloadShape shape;
    shape.sessions = 6;
    shape.busyPercent = 0;
    shape.lockChain = false;
    shape.longActive = false;
    shape.logoffs = logoffs;
    w.Shape(shape);
    w.Step();
    const std::set<std::string> first = Pairs(w);
    ASSERT_EQ(first.size(), 6u);
    for (int i = 0; i < 40; ++i) w.Step();
    const std::set<std::string> later = Pairs(w);
    if (logoffs) {
      EXPECT_NE(later, first);  // the churn this shape switches off
      continue;
    }
    ASSERT_EQ(later, first);
    const std::string victim = *std::next(first.begin(), 2);
    Exec(*system_, "ALTER SYSTEM KILL SESSION '" + victim + "'");
    w.Step();
    EXPECT_TRUE(
        Query(*system_, "select 1 from v$session where sid || ',' || serial# = '" + victim + "'").empty());
    std::set<std::string> rest = first;
    rest.erase(victim);
    EXPECT_EQ(Pairs(w), rest);
    EXPECT_EQ(w.KilledCount(), 1);
    w.Step();  // another user takes the victim's place
    EXPECT_EQ(Pairs(w).size(), 6u);
  }
}

// A cancel breaks off the calls under way while the workload stands, the waits of its lock chain
// included: the waiters give up long before anything ends the chain.
TEST_F(WorkloadTest, ACancelBreaksOffTheCallsUnderWay) {
  std::atomic<bool> cancel{false};
  Workload w(instance_, 5);
  w.CancelWhen(cancel);
  w.Shape(ChainOnly());
  ASSERT_TRUE(ChainStands(w)) << "the lock chain does not stand";
  const std::vector<int> chain = w.Sids();
  const auto sent = Clock::now();
  cancel = true;
  const bool ended = Await([&] { return Waiting(chain) == 0; }, kPatience);
  std::printf("the chain's waits %s %ld ms after the cancel\n", ended ? "ended" : "went on", ElapsedMs(sent));
  EXPECT_TRUE(ended) << "the chain's sessions still wait for their rows";
}

// The lock chain waits only a short while for rows another session holds (another workload's chain):
// the step goes on without it, and a later step stands it once the rows are free.
class ChainRowsHeld : public WorkloadTest, public ::testing::WithParamInterface<int> {};

TEST_P(ChainRowsHeld, TheLockChainStandsDownUntilTheRowsAreFree) {
  Exec(*scott_, "update dept set loc = loc where deptno = " + std::to_string(GetParam()));
  Workload w(instance_, 5);
  w.Shape(ChainOnly());
  auto step = std::async(std::launch::async, [&] { w.Step(); });
  const auto started = Clock::now();
  if (step.wait_for(kPatience) != std::future_status::ready) {
    scott_->Rollback();  // the chain gets its rows, and the step ends
    step.get();
    FAIL() << "the step waited for the rows of dept " << GetParam() << " for good";
  }
  step.get();
  std::printf("the step took %ld ms\n", ElapsedMs(started));
  EXPECT_TRUE(w.Sids().empty()) << "the chain stands beside rows another session holds";
  scott_->Rollback();
  EXPECT_TRUE(ChainStands(w)) << "the lock chain does not stand once the rows are free";
}

INSTANTIATE_TEST_SUITE_P(Dept, ChainRowsHeld, ::testing::Values(10, 20));

// The lock chain stands down within a bound whatever its sessions' rollbacks do: a holder whose
// rollback fails keeps its row, and the waiters behind it are broken off all the same; the sessions
// then log off, which frees the rows.
TEST_F(WorkloadTest, TheLockChainStandsDownWhenItsRollbacksFail) {
  std::atomic<bool> cancel{false};
  Workload w(instance_, 5);
  w.CancelWhen(cancel);
  const TScopeExit unblock([&] { cancel = true; });  // (an end of the workload that waits for good)
  WorkloadSeam::FailChainRollbacks(w);
  WorkloadShape shape = ChainOnly();
  w.Shape(shape);
  ASSERT_TRUE(ChainStands(w)) << "the lock chain does not stand";
  const std::vector<int> chain = w.Sids();
  shape.lockChain = false;
  w.Shape(shape);
  auto step = std::async(std::launch::async, [&] { w.Step(); });
  const auto started = Clock::now();
  if (step.wait_for(kPatience) != std::future_status::ready) {
    cancel = true;  // breaks off the waits the step waits for
    step.get();
    FAIL() << "the step waited for the chain's waiters for good";
  }
  step.get();
  std::printf("the chain stood down in %ld ms\n", ElapsedMs(started));
  EXPECT_TRUE(w.Sids().empty());
  EXPECT_EQ(Listed(chain), 0) << "sessions of the chain are left";
  shape.lockChain = true;
  w.Shape(shape);
  EXPECT_TRUE(ChainStands(w)) << "the chain's rows are not free again";
}

// A shape setting as `shape` left it in the instance file for a running workload (-1: none).
long StoredShapeOf(const std::string& Path, const std::string& Key) {
  sqlite3* db = nullptr;
  long value = -1;
  if (sqlite3_open_v2(Path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT value FROM sim$meta WHERE key = ?", -1, &st, nullptr);
    const std::string key = "workload_" + Key;
    sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW) value = static_cast<long>(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

TEST_F(WorkloadTest, CommandLineTool) {
  std::string out;
  EXPECT_EQ(RunTool(path_ + " run --sessions 3 --seconds 1 --period 100 --seed 5", &out), 0) << out;
  EXPECT_NE(out.find("workload stopped"), std::string::npos);
  EXPECT_EQ(RunTool(path_ + " status", &out), 0) << out;
  EXPECT_NE(out.find("ALLOWED"), std::string::npos);
  EXPECT_NE(out.find("PMON"), std::string::npos);
  EXPECT_EQ(RunTool(path_ + " restrict on"), 0);
  EXPECT_EQ(Query(*system_, "select logins from v$instance"), (Rows{{"RESTRICTED"}}));
  EXPECT_EQ(RunTool(path_ + " restrict off"), 0);
  EXPECT_EQ(RunTool(path_ + " clock freeze"), 0);
  int64_t t0 = SimClock::Now(*instance_);
  EXPECT_EQ(RunTool(path_ + " clock step 90"), 0);
  EXPECT_EQ(SimClock::Now(*instance_), t0 + 90);
  EXPECT_EQ(RunTool(path_ + " clock run"), 0);
  EXPECT_EQ(RunTool(path_ + " kill " + std::to_string(scott_->SessionId()) + " " +
                    std::to_string(scott_->State().serial)),
            0);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dual"); }), 28);
  EXPECT_EQ(RunTool(path_ + " kill 1 1", &out), 1);
  EXPECT_NE(out.find("ORA-00029"), std::string::npos);
  EXPECT_EQ(RunTool(path_ + " shape --logoffs off --lock-chain on"), 0);
  EXPECT_EQ(StoredShapeOf(path_, "logoffs"), 0);
  EXPECT_EQ(StoredShapeOf(path_, "lock_chain"), 1);
  EXPECT_EQ(RunTool(path_ + " run --no-logoffs --sessions 1 --seconds 1 --period 100", &out), 0) << out;
  EXPECT_EQ(RunTool(path_ + " shape --logoffs maybe"), 2);
  EXPECT_EQ(RunTool(path_ + " shape --sessions x"), 2);
  EXPECT_EQ(RunTool(path_ + " bogus"), 2);
  EXPECT_EQ(RunTool(path_ + " stop"), 1);  // nothing running
}

}  // namespace
}  // namespace simtest
