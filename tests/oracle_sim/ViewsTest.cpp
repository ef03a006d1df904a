// The dynamic performance views on a small scripted state: the session list, its detail statements
// (transactions, open cursors, locks and the sessions behind / in front, statistics, wait events,
// statement text) and the instance's restricted state.
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "MonitorStatements.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/Live.h"

namespace simtest {
namespace {

using oracle_sim::Value;

// Query results keyed by column name.
struct Table {
  std::vector<std::string> names;
  Rows rows;
  int Col(const std::string& n) const {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == n) return static_cast<int>(i);
    ADD_FAILURE() << "no column " << n;
    return 0;
  }
  // The row whose column `key` equals `value` (empty when none).
  std::vector<std::string> Row(const std::string& key, const std::string& value) const {
    int k = Col(key);
    for (auto& r : rows)
      if (r[k] == value) return r;
    return {};
  }
  std::string At(const std::string& key, const std::string& value, const std::string& col) const {
    auto r = Row(key, value);
    return r.empty() ? std::string("<none>") : r[Col(col)];
  }
};

class Views : public SimTest {
 protected:
  // Changes the instance's live state as another process would.
  void SqliteExec(const std::string& Sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  Table Run(Session& s, const std::string& sql, const Binds& binds = {}) {
    auto c = s.Prepare(sql);
    Table t;
    for (auto& d : c->Describe()) t.names.push_back(d.name);
    for (auto& [k, v] : binds) c->BindByName(k, v);
    c->Execute();
    std::vector<Value> row;
    while (c->Fetch(row)) {
      std::vector<std::string> r;
      for (auto& v : row) r.push_back(v.ToText());
      t.rows.push_back(r);
    }
    return t;
  }
  static Binds Sid(int sid) { return {{"SID", Value::MakeText(std::to_string(sid))}}; }
  std::string Me(const Session& s) const { return std::to_string(const_cast<Session&>(s).SessionId()); }
  void Clock(const std::function<void(sqlite3*)>& f) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    f(db);
    sqlite3_close(db);
  }
};

TEST_F(Views, SessionListShowsBackgroundProcessesAndUserSessions) {
  auto t = Run(*system_, monitor_sql::kSessionList);
  ASSERT_EQ(t.names.size(), 27u);
  EXPECT_EQ(t.names[0], "SID");
  EXPECT_EQ(t.names[3], "ORACLE_USER");
  EXPECT_EQ(t.names[26], "MODULE");
  EXPECT_EQ(t.rows.size(), 8u);  // six background processes, SYSTEM and SCOTT
  EXPECT_EQ(t.At("PRNAME", "PMON", "ORACLE_USER"), "SYS (PMON)");
  EXPECT_EQ(t.At("PRNAME", "SMON", "OS_USER"), "(SMON)");
  EXPECT_EQ(t.At("PRNAME", "LGWR", "WAIT_EVENT"), "rdbms ipc message");
  EXPECT_EQ(t.At("PRNAME", "DBW0", "STATUS"), "ACTIVE");
  // background processes have been up for five days: the idle time shows hours beyond 99 cut to two digits
  EXPECT_GE(std::stoll(t.At("PRNAME", "CKPT", "LAST_CALL_ET_S")), 5 * 86400);
  // the monitor's own session is in its call (running this very statement)
  std::string me = Me(*system_);
  EXPECT_EQ(t.At("SID", me, "STATUS"), "ACTIVE");
  EXPECT_EQ(t.At("SID", me, "COMMAND"), "SELECT");
  EXPECT_EQ(t.At("SID", me, "ORACLE_USER"), "SYSTEM");
  EXPECT_EQ(t.At("SID", me, "PRNAME"), "USER");
  EXPECT_EQ(t.At("SID", me, "SERVER_PID").empty(), false);
  std::string scott = Me(*scott_);
  EXPECT_EQ(t.At("SID", scott, "STATUS"), "INACTIVE");
  EXPECT_EQ(t.At("SID", scott, "WAIT_EVENT"), "SQL*Net message from client");
  EXPECT_EQ(t.At("SID", scott, "WAIT_STATE").rfind("Waiting (", 0), 0u);
  EXPECT_EQ(t.At("SID", scott, "TADDR"), "");
  // rows come ordered by status: ACTIVE first
  EXPECT_EQ(t.rows.front()[t.Col("STATUS")], "ACTIVE");
  EXPECT_EQ(t.rows.back()[t.Col("STATUS")], "INACTIVE");
  // the statement text of the own session, piece by piece, is the session-list statement
  auto text = Run(*system_, monitor_sql::kSqlText,
                  {{"SQL_ADDRESS", Value::MakeText(t.At("SID", me, "SQL_ADDRESS"))},
                   {"SQL_HASH_VALUE", Value::MakeText(t.At("SID", me, "SQL_HASH_VALUE"))}});
  std::string whole;
  for (auto& r : text.rows) {
    EXPECT_LE(r[0].size(), 64u);
    whole += r[0];
  }
  EXPECT_EQ(whole, monitor_sql::kSessionList);
  EXPECT_GT(text.rows.size(), 30u);
  // an idle session that ran nothing has no statement: no text
  auto none = Run(*system_, monitor_sql::kSqlText,
                  {{"SQL_ADDRESS", Value::MakeText("00")}, {"SQL_HASH_VALUE", Value::MakeText("0")}});
  EXPECT_TRUE(none.rows.empty());
}

// Polls `f` for up to five seconds.
bool Eventually(const std::function<bool()>& f) {
  for (int i = 0; i < 500; ++i) {
    if (f()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(Views, LockChainTransactionsAndQueues) {
  Exec(*scott_, "update emp set sal = sal + 1 where empno = 7369");
  auto waiter = LogOn("scott", "tiger");
  std::string holder = Me(*scott_), w = Me(*waiter);
  std::atomic<int> err{-1};
  std::thread th(
      [&] { err = ErrorOf([&] { Exec(*waiter, "update emp set sal = sal + 2 where empno = 7369"); }); });
  ASSERT_TRUE(Eventually([&] {
    return Run(*system_, "select event from v$session_wait where sid = :sid", Sid(std::stoi(w))).rows ==
           Rows{{"enqueue"}};
  }));
  auto t = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(t.At("SID", w, "STATUS"), "ACTIVE");
  EXPECT_EQ(t.At("SID", w, "COMMAND"), "UPDATE");
  EXPECT_EQ(t.At("SID", w, "WAIT_EVENT"), "enqueue");
  EXPECT_EQ(t.At("SID", w, "WAIT_STATE").rfind("Waiting (", 0), 0u);
  EXPECT_EQ(t.At("SID", holder, "STATUS"), "INACTIVE");
  EXPECT_EQ(t.At("SID", holder, "COMMAND"), "UPDATE");
  std::string taddr = t.At("SID", holder, "TADDR");
  ASSERT_EQ(taddr.size(), 16u);
  EXPECT_EQ(t.At("SID", w, "TADDR"), "");

  // the holder's transaction, in its undo segment, with the table it changed
  auto tx = Run(*system_, monitor_sql::kTransaction, {{"ADDR", Value::MakeText(taddr)}});
  ASSERT_EQ(tx.rows.size(), 1u);
  EXPECT_EQ(tx.rows[0][tx.Col("STATUS")], "ACTIVE");
  EXPECT_EQ(tx.rows[0][tx.Col("OWNER")], "SCOTT");
  EXPECT_EQ(tx.rows[0][tx.Col("OBJNAME")], "EMP");
  EXPECT_EQ(tx.rows[0][tx.Col("ROLLNAME")].rfind("_SYSSMU", 0), 0u);
  EXPECT_EQ(tx.rows[0][tx.Col("ROLL_STATUS")], "ONLINE");
  EXPECT_EQ(tx.rows[0][tx.Col("NOUNDO")], "NO");
  EXPECT_EQ(tx.rows[0][tx.Col("START_TIME")].size(), 17u);  // MM/DD/YY HH24:MI:SS

  // v$lock: the holder's TX blocks, the waiter requests it
  auto tl =
      Run(*system_, "select sid, id1, id2, lmode, request, block from v$lock where type = 'TX' order by sid");
  ASSERT_EQ(tl.rows.size(), 2u);
  auto hold = tl.Row("SID", holder), req = tl.Row("SID", w);
  ASSERT_FALSE(hold.empty());
  ASSERT_FALSE(req.empty());
  EXPECT_EQ(hold[3], "6");
  EXPECT_EQ(hold[4], "0");
  EXPECT_EQ(hold[5], "1");
  EXPECT_EQ(req[3], "0");
  EXPECT_EQ(req[4], "6");
  EXPECT_EQ(req[5], "0");
  EXPECT_EQ(req[1], hold[1]);
  EXPECT_EQ(req[2], hold[2]);
  // the session's locks through the monitor's statement: the DML lock on SCOTT.EMP
  auto locks = Run(*system_, monitor_sql::kLocks, Sid(std::stoi(holder)));
  auto emp = locks.Row("OBJECT_NAME", "SCOTT.EMP");
  ASSERT_FALSE(emp.empty());
  EXPECT_EQ(emp[locks.Col("LOCK_TYPE")], "TM");
  EXPECT_EQ(emp[locks.Col("LMODE")], "Row Exclusive");
  EXPECT_EQ(emp[locks.Col("REQUEST")], "NONE");
  EXPECT_EQ(emp[locks.Col("BLOCKING")], "Нет");
  EXPECT_EQ(emp[locks.Col("CTIME")].size(), 17u);
  // who blocks the waiter, and who waits behind the holder
  EXPECT_EQ(Run(*system_, monitor_sql::kLockForWhom, Sid(std::stoi(w))).rows, (Rows{{holder, "SCOTT"}}));
  EXPECT_EQ(Run(*system_, monitor_sql::kLockWho, Sid(std::stoi(holder))).rows, (Rows{{w, "SCOTT"}}));
  EXPECT_EQ(Run(*system_,
                "select count(*) from v$locked_object where session_id = :sid and object_id = "
                "(select object_id from dba_objects where owner = 'SCOTT' and object_name = 'EMP')",
                Sid(std::stoi(holder)))
                .rows[0][0],
            "1");

  scott_->Rollback();
  th.join();
  EXPECT_EQ(err.load(), 0);
  // the waiter now holds the row; the old holder has no transaction left
  t = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(t.At("SID", w, "STATUS"), "INACTIVE");
  EXPECT_EQ(t.At("SID", holder, "TADDR"), "");
  EXPECT_EQ(t.At("SID", w, "TADDR").size(), 16u);
  auto ev = Run(*system_, monitor_sql::kEvents, Sid(std::stoi(w)));
  EXPECT_EQ(ev.At("EVENT", "enqueue", "TOTAL_WAITS"), "1");
  waiter->Rollback();
  EXPECT_TRUE(Run(*system_, "select * from v$lock where type = 'TX'").rows.empty());
}

// Every call of a session is counted exactly once: in the shared pool (executions, parse calls of
// each cursor's first run), in the session's statistics, its open cursors and its waits for the
// client; a transaction shows from the call that begins it until the commit.
TEST_F(Views, EveryCallIsCountedOnceWhereverTheViewsShowIt) {
  const int sid = std::stoi(Me(*scott_));
  auto stat = [&](const char* name) {
    return std::stoll(Run(*system_, monitor_sql::kStatistics, Sid(sid)).At("NAME", name, "VALUE"));
  };
  auto toClient = [&] {
    return std::stoll(Run(*system_, monitor_sql::kEvents, Sid(sid))
                          .At("EVENT", "SQL*Net message to client", "TOTAL_WAITS"));
  };
  const std::string sql = "select count(*) from dept where deptno > :n";
  const long long calls = stat("user calls"), executes = stat("execute count"),
                  parses = stat("parse count (total)"), waits = toClient();
  auto first = scott_->Prepare(sql);
  auto second = scott_->Prepare(sql);
  std::vector<Value> row;
  for (int i = 0; i < 5; ++i) {
    first->BindByName("n", Value::MakeInt(i));
    first->Execute();
    first->Fetch(row);
  }
  second->BindByName("n", Value::MakeInt(0));
  second->Execute();
  second->Fetch(row);

  auto pool = Run(*system_, "select executions, parse_calls from v$sqlarea where sql_text = :t",
                  {{"T", Value::MakeText(sql)}});
  EXPECT_EQ(pool.rows, (Rows{{"6", "2"}}));
  EXPECT_EQ(stat("user calls") - calls, 6);
  EXPECT_EQ(stat("execute count") - executes, 6);
  EXPECT_EQ(stat("parse count (total)") - parses, 2);
  EXPECT_EQ(toClient() - waits, 6);
  auto open = Run(*system_, monitor_sql::kOpenCursors, Sid(sid));
  EXPECT_EQ(std::count_if(open.rows.begin(), open.rows.end(), [&](auto& r) { return r[0] == sql; }), 2);

  // a cursor given another statement shows that one
  auto more = scott_->Prepare("select count(*) from emp");
  more->Execute();
  more->Fetch(row);
  open = Run(*system_, monitor_sql::kOpenCursors, Sid(sid));
  EXPECT_EQ(open.rows.size(), 3u);

  // the transaction shows from the call that began it until the commit; the session waits idle
  Exec(*scott_, "update dept set loc = loc where deptno = 10");
  auto list = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(list.At("SID", Me(*scott_), "TADDR").size(), 16u);
  EXPECT_EQ(list.At("SID", Me(*scott_), "STATUS"), "INACTIVE");
  EXPECT_EQ(list.At("SID", Me(*scott_), "WAIT_EVENT"), "SQL*Net message from client");
  Exec(*scott_, "commit");
  list = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(list.At("SID", Me(*scott_), "TADDR"), "");
  EXPECT_EQ(list.At("SID", Me(*scott_), "COMMAND"), "COMMIT");
}

// Savepoints, rollbacks and commits never wait: each is still one call everywhere the views count
// calls, leaves the session idle and names itself as the session's last command.
TEST_F(Views, CallsThatNeverWaitAreCountedOnceAndLeaveTheSessionIdle) {
  const int sid = std::stoi(Me(*scott_));
  auto stat = [&](const char* name) {
    return std::stoll(Run(*system_, monitor_sql::kStatistics, Sid(sid)).At("NAME", name, "VALUE"));
  };
  auto toClient = [&] {
    return std::stoll(Run(*system_, monitor_sql::kEvents, Sid(sid))
                          .At("EVENT", "SQL*Net message to client", "TOTAL_WAITS"));
  };
  Exec(*scott_, "update dept set loc = loc where deptno = 20");
  const long long calls = stat("user calls"), executes = stat("execute count"), waits = toClient(),
                  commits = stat("user commits"), rollbacks = stat("user rollbacks");
  const struct {
    const char* sql;
    const char* command;
    bool inTransaction;
  } steps[] = {{"savepoint RVL__LOCKPOINT", "SAVEPOINT", true},
               {"rollback to savepoint RVL__LOCKPOINT", "ROLLBACK", true},
               {"commit", "COMMIT", false}};
  int n = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.sql);
    Exec(*scott_, step.sql);
    ++n;
    auto list = Run(*system_, monitor_sql::kSessionList);
    EXPECT_EQ(list.At("SID", Me(*scott_), "COMMAND"), step.command);
    EXPECT_EQ(list.At("SID", Me(*scott_), "STATUS"), "INACTIVE");
    EXPECT_EQ(list.At("SID", Me(*scott_), "WAIT_EVENT"), "SQL*Net message from client");
    EXPECT_EQ(list.At("SID", Me(*scott_), "TADDR").empty(), !step.inTransaction);
    EXPECT_EQ(stat("user calls") - calls, n);
    EXPECT_EQ(stat("execute count") - executes, n);
    EXPECT_EQ(toClient() - waits, n);
  }
  EXPECT_EQ(stat("user commits") - commits, 1);
  EXPECT_EQ(stat("user rollbacks") - rollbacks, 1);
  auto pool = Run(*system_, "select executions from v$sqlarea where sql_text = :t",
                  {{"T", Value::MakeText("savepoint RVL__LOCKPOINT")}});
  EXPECT_EQ(pool.rows, (Rows{{"1"}}));
}

// The calls of the sessions of one process are counted exactly once, also when a write they were
// recorded with is undone (a refused row lock, a constraint error) and when several sessions of the
// process interleave; the process reads all of it at once.
TEST_F(Views, CallsAreCountedOnceWhenTheWriteTheyRodeInIsUndone) {
  const int sid = std::stoi(Me(*scott_));
  auto stat = [&](const char* name) {
    return std::stoll(Run(*system_, monitor_sql::kStatistics, Sid(sid)).At("NAME", name, "VALUE"));
  };
  auto executions = [&](const std::string& sql) {
    auto t =
        Run(*system_, "select executions from v$sqlarea where sql_text = :t", {{"T", Value::MakeText(sql)}});
    return t.rows.empty() ? std::string("<none>") : t.rows[0][0];
  };
  const long long calls = stat("user calls"), executes = stat("execute count");
  auto other = LogOn("scott", "tiger");
  Exec(*other, "select * from dept where deptno = 30 for update");
  const struct {
    const char* sql;
    int error;
  } steps[] = {
      {"select count(*) from emp where sal > 1000", 0},
      {"select * from dept where deptno = 30 for update nowait", 54},  // its write is rolled back
      {"update dept set loc = loc where deptno = 20", 0},
      {"insert into dept values (10, 'TWICE', 'NOWHERE')", 1},
      {"select * from dept where deptno = 30 for update nowait", 54},
      {"savepoint RVL__LOCKPOINT", 0},
      {"update dept set loc = loc where deptno = 40", 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.sql);
    EXPECT_EQ(ErrorOf([&] {
                if (std::string(step.sql).rfind("select", 0) == 0)
                  Query(*scott_, step.sql);
                else
                  Exec(*scott_, step.sql);
              }),
              step.error);
    Exec(*other, "savepoint between");  // the other session's calls interleave with these
  }
  EXPECT_EQ(stat("user calls") - calls, 7);
  EXPECT_EQ(stat("execute count") - executes, 7);
  EXPECT_EQ(executions("select * from dept where deptno = 30 for update nowait"), "2");
  EXPECT_EQ(executions("update dept set loc = loc where deptno = 40"), "1");
  EXPECT_EQ(executions("insert into dept values (10, 'TWICE', 'NOWHERE')"), "1");
  EXPECT_EQ(executions("savepoint between"), "7");
  auto list = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(list.At("SID", Me(*scott_), "STATUS"), "INACTIVE");
  EXPECT_EQ(list.At("SID", Me(*scott_), "COMMAND"), "UPDATE");
  EXPECT_EQ(list.At("SID", Me(*scott_), "TADDR").size(), 16u);
  EXPECT_EQ(list.At("SID", Me(*other), "COMMAND"), "SAVEPOINT");
  other->Rollback();
  scott_->Rollback();
}

TEST_F(Views, OpenCursorsStatisticsEventsAndTheClock) {
  std::string sid = Me(*scott_);
  auto before = Run(*system_, monitor_sql::kStatistics, Sid(std::stoi(sid)));
  ASSERT_GE(before.rows.size(), 90u);
  EXPECT_EQ(before.At("STATISTIC#", "12", "NAME"), "CPU used by this session");
  for (size_t i = 1; i < before.rows.size(); ++i)
    EXPECT_GE(std::stod(before.rows[i - 1][2]), std::stod(before.rows[i][2]));  // ORDER BY 3 DESC

  const char* longSql =
      "select e.empno, e.ename, e.job, d.dname\nfrom emp e, dept d\nwhere e.deptno = d.deptno\n"
      "order by e.ename";
  auto open = scott_->Prepare(longSql);
  open->Execute();
  std::vector<Value> row;
  while (open->Fetch(row)) {
  }
  {
    auto gone = scott_->Prepare("select count(*) from dept");
    gone->Execute();
    gone->Fetch(row);
  }
  auto cur = Run(*system_, monitor_sql::kOpenCursors, Sid(std::stoi(sid)));
  ASSERT_EQ(cur.rows.size(), 1u);  // the closed cursor has left
  EXPECT_EQ(cur.rows[0][0], std::string(longSql).substr(0, 60));
  auto text = Run(*system_, monitor_sql::kSqlText,
                  {{"SQL_ADDRESS", Value::MakeText(cur.rows[0][2])},
                   {"SQL_HASH_VALUE", Value::MakeText(cur.rows[0][1])}});
  std::string whole;
  for (auto& r : text.rows) whole += r[0];
  EXPECT_EQ(whole, longSql);
  EXPECT_EQ(text.rows.size(), 2u);
  // v$sqltext shows the same pieces with the line breaks turned into blanks
  auto flat = Run(*system_, "select sql_text from v$sqltext where hash_value = :h order by piece",
                  {{"H", Value::MakeText(cur.rows[0][1])}});
  ASSERT_EQ(flat.rows.size(), 2u);
  EXPECT_EQ(flat.rows[0][0].find('\n'), std::string::npos);
  EXPECT_EQ(Run(*system_, "select executions from v$sqlarea where hash_value = :h",
                {{"H", Value::MakeText(cur.rows[0][1])}})
                .rows[0][0],
            "1");

  // the statistics grew with the work
  auto after = Run(*system_, monitor_sql::kStatistics, Sid(std::stoi(sid)));
  for (const char* name : {"consistent gets", "user calls", "execute count", "session logical reads"})
    EXPECT_GT(std::stoll(after.At("NAME", name, "VALUE")), std::stoll(before.At("NAME", name, "VALUE")))
        << name;
  EXPECT_EQ(after.At("NAME", "opened cursors current", "VALUE"), "1");
  Exec(*scott_, "update dept set loc = loc where deptno = 10");
  Exec(*scott_, "commit");
  auto io =
      Run(*system_, "select block_gets, block_changes from v$sess_io where sid = :sid", Sid(std::stoi(sid)));
  EXPECT_GT(std::stoll(io.rows[0][0]), 0);
  EXPECT_GT(std::stoll(io.rows[0][1]), 0);
  EXPECT_EQ(Run(*system_, monitor_sql::kStatistics, Sid(std::stoi(sid))).At("NAME", "user commits", "VALUE"),
            "1");

  // wait events of the session
  auto ev = Run(*system_, monitor_sql::kEvents, Sid(std::stoi(sid)));
  EXPECT_EQ(ev.names, (std::vector<std::string>{"EVENT", "TOTAL_WAITS", "TOTAL_TIMEOUTS", "TIME_WAITED",
                                                "AVERAGE_WAIT", "MAX_WAIT"}));
  EXPECT_GT(std::stoll(ev.At("EVENT", "SQL*Net message from client", "TOTAL_WAITS")), 3);
  EXPECT_GT(std::stoll(ev.At("EVENT", "SQL*Net message to client", "TOTAL_WAITS")), 3);

  // a frozen clock stepped by an hour and two minutes: the idle time follows it
  Clock([](sqlite3* db) { oracle_sim::live::ClockFreeze(db); });
  Clock([](sqlite3* db) { oracle_sim::live::ClockStep(db, 3725); });
  auto t = Run(*system_, monitor_sql::kSessionList);
  int64_t idle = std::stoll(t.At("SID", sid, "LAST_CALL_ET_S"));
  EXPECT_GE(idle, 3725);
  EXPECT_LE(idle, 3779);  // however slow the machine, within the same minute
  EXPECT_EQ(t.At("SID", sid, "LAST_CALL_ET"), "01 ч. 02 мин. ");
  EXPECT_EQ(t.At("SID", sid, "WAIT_STATE"), "Waiting (" + std::to_string(idle) + " s)");
  auto again = Run(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(again.At("SID", sid, "LAST_CALL_ET_S"), t.At("SID", sid, "LAST_CALL_ET_S"));  // frozen
  Clock([](sqlite3* db) { oracle_sim::live::ClockRun(db); });
}

TEST_F(Views, InstanceVersionParametersAndDictionary) {
  EXPECT_EQ(Run(*system_, monitor_sql::kRestricted).rows, (Rows{{""}}));
  EXPECT_EQ(Run(*system_, "select banner from v$version").rows[0][0],
            "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production");
  auto inst = Run(*system_, "select instance_name, version, status, logins from v$instance");
  EXPECT_EQ(inst.rows, (Rows{{"SIM", "9.2.0.8.0", "OPEN", "ALLOWED"}}));
  EXPECT_EQ(Run(*system_, "select value from v$parameter where name = 'db_block_size'").rows,
            (Rows{{"8192"}}));
  auto bg = Run(*system_, "select name from v$bgprocess where paddr <> '00' order by name");
  EXPECT_EQ(bg.rows, (Rows{{"CKPT"}, {"DBW0"}, {"LGWR"}, {"PMON"}, {"RECO"}, {"SMON"}}));
  EXPECT_EQ(
      Run(*system_, "select count(*) from v$process p, v$bgprocess b where p.addr = b.paddr").rows[0][0],
      "6");
  EXPECT_EQ(Run(*system_,
                "select u.name from sys.obj$ o, sys.user$ u where o.owner# = u.user# and o.name = "
                "'EMP'")
                .rows,
            (Rows{{"SCOTT"}}));
  EXPECT_EQ(Run(*system_, "select name from sys.user$ where user# = 1").rows, (Rows{{"PUBLIC"}}));
  // the monitor's columns have Oracle's types and sizes
  auto c = system_->Prepare("select sql_address, taddr, status, logon_time, sql_hash_value from v$session");
  auto& d = c->Describe();
  EXPECT_EQ(d[0].type, oracle_sim::Ty::Raw);
  EXPECT_EQ(d[0].size, 8);
  EXPECT_EQ(d[1].size, 16);
  EXPECT_EQ(d[2].size, 8);
  EXPECT_EQ(d[3].type, oracle_sim::Ty::Date);
  EXPECT_EQ(d[4].type, oracle_sim::Ty::Number);
  // a plain user does not see the performance views
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "select sid from v$session"); }), 942);
}

TEST_F(Views, TruncOfQuotientsAsTheIdleTimeComputesThem) {
  EXPECT_EQ(
      Query(*system_,
            "select trunc(7199/3600), trunc(-7199/3600), trunc(3725/60), trunc(1000000.5), trunc(0.1*3*10), "
            "trunc(2.5, 0), trunc(7200/3600), trunc(1/3), trunc(-0.5) from dual"),
      (Rows{{"1", "-1", "62", "1000000", "3", "2", "2", "0", "0"}}));
}

// Statement text that is not UTF-8 (a run of continuation bytes longer than a piece) is still
// split into pieces of v$sqltext: running it used to hang the session.
TEST_F(Views, TextThatIsNotUtf8IsSplitIntoPieces) {
  std::string junk(70, '\x80');
  std::string sql = "select '" + junk + "' x from dual";
  auto c = scott_->Prepare(sql);
  c->Execute();
  std::vector<Value> row;
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].s, junk);
  std::string whole;
  for (auto& r : Run(*system_,
                     "select t.sql_text from v$sqltext t, v$sqlarea a where t.hash_value = a.hash_value and "
                     "a.sql_text like 'select ''%' order by t.piece")
                     .rows)
    whole += r[0];
  EXPECT_EQ(whole, sql);
}

// An instance file written before the performance views existed gets them when it is opened.
TEST_F(Views, AnInstanceFileOfAnEarlierEngineGetsTheViews) {
  std::string path = FreshInstancePath();
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::vector<std::string> views;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        db,
        "SELECT sqlite_name FROM sim$objects WHERE system_view = 1 AND (name LIKE 'V$%' OR name "
        "IN ('OBJ$', 'USER$'))",
        -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      views.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    ASSERT_GT(views.size(), 20u);
    std::string sql;
    for (auto& v : views) sql += "DROP VIEW \"" + v + "\";";
    sql +=
        "DELETE FROM sim$columns WHERE obj_id IN (SELECT obj_id FROM sim$objects WHERE system_view = 1 AND "
        "(name "
        "LIKE 'V$%' OR name IN ('OBJ$', 'USER$')));"
        "DELETE FROM sim$synonyms WHERE synonym_name LIKE 'V$%' OR synonym_name IN ('OBJ$', 'USER$');"
        "DELETE FROM sim$objects WHERE system_view = 1 AND (name LIKE 'V$%' OR name IN ('OBJ$', 'USER$'));"
        "DROP INDEX sim$sessions_paddr; DROP INDEX sim$sessions_blocker;";
    // the session table as it was: without the columns of live state
    sql +=
        "DROP TABLE sim$sessions; CREATE TABLE sim$sessions(sid INTEGER PRIMARY KEY, serial INTEGER NOT "
        "NULL, "
        "username TEXT, user_id INTEGER, pid INTEGER NOT NULL, logon_time TEXT NOT NULL, status TEXT NOT "
        "NULL "
        "DEFAULT 'INACTIVE', client_info TEXT, module TEXT, action TEXT, program TEXT, machine TEXT, osuser "
        "TEXT, "
        "sql_trace INTEGER NOT NULL DEFAULT 0, killed INTEGER NOT NULL DEFAULT 0, waiting_for INTEGER);";
    for (const char* t : {"sim$statname", "sim$bgprocess", "sim$sqlarea", "sim$sqltext", "sim$open_cursor",
                          "sim$sess_event", "sim$bglocks", "sim$rollseg", "sim$parameter"})
      sql += std::string("DROP TABLE ") + t + ";";
    char* err = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_close(db);
  }
  auto inst = Instance::Open(path);
  auto monitor = Session::LogOn(inst, "system", "manager");
  auto t = Run(*monitor, monitor_sql::kSessionList);
  EXPECT_EQ(t.rows.size(), 7u);  // the background processes and the monitor
  EXPECT_EQ(t.At("SID", Me(*monitor), "STATUS"), "ACTIVE");
  monitor.reset();
  inst.reset();
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ec);
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

// LOCK TABLE keeps a table lock of its mode until the transaction ends: v$lock shows it, another
// session's conflicting NOWAIT request is refused, and a session queued for the table requests it.
TEST_F(Views, ATableLockShowsInItsModeBlocksItsQueueAndEndsWithTheTransaction) {
  Exec(*scott_, "LOCK TABLE dept IN EXCLUSIVE MODE");
  const std::string holder = Me(*scott_);
  const std::string dept =
      Run(*system_, "select object_id from dba_objects where owner = 'SCOTT' and object_name = 'DEPT'")
          .rows[0][0];
  auto tm = [&] {
    return Run(*system_, "select sid, lmode, request, block from v$lock where type = 'TM' and id1 = " + dept +
                             " order by sid")
        .rows;
  };
  EXPECT_EQ(tm(), (Rows{{holder, "6", "0", "0"}}));
  auto other = LogOn("scott", "tiger");
  EXPECT_EQ(ErrorOf([&] { Exec(*other, "LOCK TABLE dept IN SHARE MODE NOWAIT"); }), 54);
  EXPECT_EQ(ErrorOf([&] { Exec(*other, "LOCK TABLE dept IN SOME MODE"); }), 905);
  // a session queued for the table: the holder blocks, the waiter requests row exclusive
  const std::string waiter = Me(*other);
  SqliteExec("UPDATE sim$sessions SET wait_blocker = " + holder + ", wait_obj = " + dept +
             " WHERE sid = " + waiter);
  EXPECT_EQ(tm(), (Rows{{holder, "6", "0", "1"}, {waiter, "0", "3", "0"}}));
  EXPECT_TRUE(Run(*system_, "select * from v$lock where type = 'TX'").rows.empty());
  SqliteExec("UPDATE sim$sessions SET wait_blocker = NULL, wait_obj = NULL WHERE sid = " + waiter);
  scott_->Commit();
  EXPECT_TRUE(tm().empty());
}

}  // namespace
}  // namespace simtest
