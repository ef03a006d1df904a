// The DBA commands of the session monitor on the simulated instance: killing sessions (in this
// process and in another one), SQL trace, restricted logins, client information, privileges and a
// cut connection.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "MonitorStatements.h"
#include "OtherSession.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/EngineState.h"
#include "platform/rtl/ScopeExit.h"

namespace simtest {
namespace {

using oracle_sim::Value;

class DbaCommands : public SimTest {
 protected:
  static std::string Pair(Session& s) {
    return std::to_string(s.SessionId()) + "," + std::to_string(s.State().serial);
  }
  std::string Kill(const std::string& pair) { return "ALTER SYSTEM KILL SESSION '" + pair + "'"; }
  std::string Status(int sid) {
    auto r = Query(*system_, "select status from v$session where sid = :sid",
                   {{"SID", Value::MakeText(std::to_string(sid))}});
    return r.empty() ? "<gone>" : r[0][0];
  }
};

TEST_F(DbaCommands, KillSessionErrors) {
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill(Pair(*system_))); }, &text), 27);
  EXPECT_EQ(text, "ORA-00027: cannot kill current session");
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill("1,1")); }, &text), 29);  // PMON
  EXPECT_EQ(text, "ORA-00029: session is not a user session");
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill("999,1")); }, &text), 30);
  EXPECT_EQ(text, "ORA-00030: User session ID does not exist.");
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill(std::to_string(scott_->SessionId()) + ",1")); }), 30);
  // a plain user may not
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, Kill(Pair(*system_))); }, &text), 1031);
  EXPECT_EQ(text, "ORA-01031: insufficient privileges");
  EXPECT_EQ(Status(scott_->SessionId()), "INACTIVE");
}

TEST_F(DbaCommands, KilledSessionFailsAtItsNextCallAndLeaves) {
  int sid = scott_->SessionId();
  // the statement arrives with the line end of a line list
  Exec(*system_, Kill(Pair(*scott_)) + "\r\n");
  EXPECT_EQ(Status(sid), "KILLED");
  auto t = Query(*system_, monitor_sql::kSessionList);
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill(Pair(*scott_))); }), 31);  // already marked
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dual"); }, &text), 28);
  EXPECT_EQ(text, "ORA-00028: your session has been killed");
  EXPECT_EQ(Status(sid), "<gone>");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dual"); }), 3114);
}

// A kill names a pair. Its session logs off and another one takes the SID just as the kill's write is
// about to begin: the kill finds no such pair, and the session that holds the SID now keeps its row
// and its row locks.
TEST_F(DbaCommands, AKillOfAPairWhoseSidWasTakenAgainMeanwhileIsRefused) {
  auto leaving = LogOn("SCOTT", "TIGER");
  const int sid = leaving->SessionId();
  const std::string pair = Pair(*leaving);
  Exec(*system_, "COMMIT");  // (the session's writes begin through one prepared statement from here on)
  struct Meanwhile {
    sqlite3_stmt* begin;
    std::function<void()> act;
    bool done = false;
    std::string failure;
  } meanwhile{system_->State().prepared.at("BEGIN IMMEDIATE"), {}, false, {}};
  std::unique_ptr<Session> taking;
  meanwhile.act = [&] {
    leaving.reset();
    taking = LogOn("SCOTT", "TIGER");
    Exec(*taking, "update scott.dept set loc = loc where deptno = 10");
  };
  sqlite3* db = system_->State().db;
  sqlite3_trace_v2(
      db, SQLITE_TRACE_STMT,
      [](unsigned, void* context, void* statement, void*) {
        auto& m = *static_cast<Meanwhile*>(context);
        if (statement != m.begin || m.done) return 0;
        m.done = true;
        try {
          m.act();
        } catch (const OraError& e) {
          m.failure = e.text;
        }
        return 0;
      },
      &meanwhile);
  TScopeExit untrace([&] { sqlite3_trace_v2(db, 0, nullptr, nullptr); });
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill(pair)); }, &text), 30) << text;
  ASSERT_TRUE(meanwhile.done);
  ASSERT_EQ(meanwhile.failure, "");
  ASSERT_EQ(taking->SessionId(), sid) << "the new session took the SID the old one left";
  EXPECT_EQ(Status(sid), "INACTIVE");
  EXPECT_EQ(
      Query(*system_, "select count(*) from v$lock where sid = " + std::to_string(sid) + " and type = 'TX'"),
      (Rows{{"1"}}));
  EXPECT_EQ(Query(*taking, "select count(*) from scott.dept"), (Rows{{"4"}}));
}

TEST_F(DbaCommands, KillingASessionInACallMarksItAndEndsItsWait) {
  Exec(*system_, "update scott.dept set loc = loc where deptno = 10");
  std::atomic<int> err{-1};
  std::thread th(
      [&] { err = ErrorOf([&] { Exec(*scott_, "update dept set loc = 'X' where deptno = 10"); }); });
  int sid = scott_->SessionId();
  for (int i = 0; i < 500 && Status(sid) != "ACTIVE"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(Status(sid), "ACTIVE");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, Kill(Pair(*scott_))); }, &text), 31);
  EXPECT_EQ(text, "ORA-00031: session marked for kill");
  th.join();
  EXPECT_EQ(err.load(), 28);
  EXPECT_EQ(Status(sid), "<gone>");
  system_->Rollback();
}

TEST_F(DbaCommands, TraceClientInformationModuleAndAction) {
  int sid = scott_->SessionId();
  auto c = scott_->Prepare(
      "begin\n  sys.dbms_application_info.set_client_info(client_info => :client_info);\nend;");
  c->BindByName(":client_info", Value::MakeText("Talvik"));
  c->Execute();
  Exec(*scott_, "begin dbms_application_info.set_module('OrderEntry', 'Checkout'); end;");
  auto sidBind = Binds{{"SID", Value::MakeText(std::to_string(sid))}};
  EXPECT_EQ(Query(*system_, "select client_info, module, action, sql_trace from v$session where sid = :sid",
                  sidBind),
            (Rows{{"Talvik", "OrderEntry", "Checkout", "DISABLED"}}));
  Exec(*scott_, "begin dbms_application_info.set_action('Pay'); end;");
  EXPECT_EQ(Query(*system_, "select action from v$session where sid = :sid", sidBind), (Rows{{"Pay"}}));
  Exec(*system_, "BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(" + Pair(*scott_) + ",TRUE); END;");
  EXPECT_EQ(Query(*system_, "select sql_trace from v$session where sid = :sid", sidBind),
            (Rows{{"ENABLED"}}));
  // the session list shows the module and the action; the program falls back to the client information
  Exec(*system_, "begin dbms_application_info.set_client_info('Report Server'); end;");
  EXPECT_EQ(ErrorOf([&] {
              Exec(*scott_,
                   "BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(" + Pair(*system_) + ",TRUE); END;");
            }),
            6550);
}

TEST_F(DbaCommands, RestrictedSessionRefusesPlainLogons) {
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "ALTER SYSTEM ENABLE RESTRICTED SESSION"); }), 1031);
  Exec(*system_, "ALTER SYSTEM ENABLE RESTRICTED SESSION");
  EXPECT_EQ(Query(*system_, monitor_sql::kRestricted), (Rows{{"Ограничение подключений"}}));
  EXPECT_EQ(Query(*system_, "select logins from v$instance"), (Rows{{"RESTRICTED"}}));
  EXPECT_EQ(ErrorOf([&] { LogOn("scott", "tiger"); }, &text), 1035);
  EXPECT_EQ(text, "ORA-01035: ORACLE only available to users with RESTRICTED SESSION privilege");
  EXPECT_NO_THROW(LogOn("system", "manager"));
  Query(*scott_, "select * from dual");  // sessions already in stay
  Exec(*system_, "ALTER SYSTEM DISABLE RESTRICTED SESSION");
  EXPECT_EQ(Query(*system_, "select logins from v$instance"), (Rows{{"ALLOWED"}}));
  EXPECT_NO_THROW(LogOn("scott", "tiger"));
}

TEST_F(DbaCommands, CutConnectionEndsTheSession) {
  int sid = scott_->SessionId();
  Exec(*scott_, "update dept set loc = loc where deptno = 10");
  scott_->CutConnection();
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dual"); }), 3113);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dual"); }), 3114);
  EXPECT_EQ(Status(sid), "<gone>");
  EXPECT_TRUE(Query(*system_, "select * from v$lock where sid = :sid",
                    {{"SID", Value::MakeText(std::to_string(sid))}})
                  .empty());
  // the other process' way: ALTER SYSTEM DISCONNECT SESSION
  auto other = LogOn("scott", "tiger");
  Exec(*system_, "ALTER SYSTEM DISCONNECT SESSION '" + Pair(*other) + "'");
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select * from dual"); }), 3113);
}

// A session of another process appears in this one's views, and this one's in the other's; killing
// it from here ends it there.
TEST_F(DbaCommands, SessionsAreSharedBetweenProcesses) {
  OtherSession other(path_, "system", "manager");
  other.Run("begin dbms_application_info.set_client_info('from the child'); end;");
  EXPECT_EQ(other.Run("select count(*) from v$session where sid = " + std::to_string(system_->SessionId()) +
                      " and username = 'SYSTEM'"),
            "1")
      << "the other process sees this one's session";
  const int sid = other.Sid();
  // another process's calls show with a short delay: the other session turns idle after its query
  Rows rows;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  do {
    rows = Query(*system_, "select status, client_info, process from v$session where sid = :sid",
                 {{"SID", Value::MakeText(std::to_string(sid))}});
    if (!rows.empty() && rows[0][0] == "INACTIVE") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < giveUp);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "INACTIVE");
  EXPECT_EQ(rows[0][1], "from the child");
  EXPECT_EQ(rows[0][2], std::to_string(other.Pid()));
  Exec(*system_, Kill(std::to_string(sid) + "," + std::to_string(other.Serial())));
  EXPECT_EQ(other.Execute("select * from dual").error, 28);
  other.Die();
  EXPECT_EQ(Status(sid), "<gone>");
}

}  // namespace
}  // namespace simtest
