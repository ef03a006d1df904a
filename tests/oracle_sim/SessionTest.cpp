// Logon, transactions, savepoints, constraints, binds, row locks between sessions and processes.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "OtherSession.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/EngineState.h"
#include "platform/rtl/ScopeExit.h"

namespace simtest {
namespace {

using oracle_sim::ColumnDesc;
using oracle_sim::Ty;

class Sessions : public SimTest {
 protected:
  // Runs `Sql` in `S` on a thread of its own and breaks it off every `Every` until it returns (a
  // break that comes before its wait has begun does nothing); the Oracle error code it ended with.
  int BrokenOff(Session& S, const std::string& Sql, std::chrono::milliseconds Every) {
    std::atomic<int> code{0};
    std::atomic<bool> done{false};
    std::thread t([&] {
      code = ErrorOf([&] { Exec(S, Sql); });
      done = true;
    });
    for (int i = 0; i < 600 && !done; ++i) {
      std::this_thread::sleep_for(Every);
      S.Break();
    }
    t.join();
    return code.load();
  }
};

TEST_F(Sessions, LogonErrorsWarningsAndBanner) {
  std::string text;
  EXPECT_EQ(ErrorOf([&] { LogOn("scott", "wrong"); }, &text), 1017);
  EXPECT_EQ(text, "ORA-01017: invalid username/password; logon denied");
  EXPECT_EQ(ErrorOf([&] { LogOn("nobody", "x"); }), 1017);
  EXPECT_EQ(ErrorOf([&] { LogOn("expired", "expired"); }, &text), 28001);
  EXPECT_EQ(text, "ORA-28001: the password has expired");
  auto s = LogOn("expiring", "EXPIRING");
  EXPECT_EQ(s->LogonWarning(), 28002);
  EXPECT_EQ(s->LogonWarningText(), "ORA-28002: the password will expire within 7 days");
  EXPECT_EQ(scott_->LogonWarning(), 0);
  EXPECT_EQ(scott_->ServerVersion(), "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production");
  EXPECT_EQ(Instance::VersionText(), "9.2.0.8.0");
  EXPECT_NE(scott_->SessionId(), system_->SessionId());
  EXPECT_EQ(scott_->UserName(), "SCOTT");
}

TEST_F(Sessions, CommitRollbackAndVisibility) {
  EXPECT_EQ(Exec(*scott_, "update emp set sal = sal + 1 where deptno = 10"), 3);
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 7839")[0][0], "5001");
  scott_->Rollback();
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 7839")[0][0], "5000");
  EXPECT_EQ(Exec(*scott_, "insert into dept values (50, 'NEW', 'HERE')"), 1);
  EXPECT_EQ(Exec(*scott_, "delete from emp where deptno = 30"), 6);
  Exec(*scott_, "commit");
  EXPECT_EQ(Query(*system_, "select count(*) from scott.emp")[0][0], "8");
  EXPECT_EQ(Query(*system_, "select dname from scott.dept where deptno = 50")[0][0], "NEW");
  // a rolled back delete brings the rows back with their ROWIDs
  auto before = Query(*scott_, "select rowid, ename from emp where empno = 7369");
  Exec(*scott_, "delete from emp where empno = 7369");
  Exec(*scott_, "rollback");
  EXPECT_EQ(Query(*scott_, "select rowid, ename from emp where empno = 7369"), before);
}

TEST_F(Sessions, OthersSeeOnlyCommittedData) {
  auto other = LogOn("scott", "tiger");
  Exec(*scott_, "update emp set sal = 1, ename = 'CHANGED' where empno = 7369");
  Exec(*scott_, "insert into dept values (77, 'NEW', 'X')");
  Exec(*scott_, "delete from emp where empno = 7499");
  Exec(*scott_, "insert into emp (empno, ename, deptno) values (9000, 'FRESH', 77)");
  Exec(*scott_, "update emp set sal = 2 where empno = 9000");
  // the changing session sees its own work
  EXPECT_EQ(Query(*scott_, "select ename, sal from emp where empno = 7369"), (Rows{{"CHANGED", "1"}}));
  EXPECT_EQ(Query(*scott_, "select count(*) from emp")[0][0], "14");
  // another session sees the committed state, rowids and joins included
  EXPECT_EQ(Query(*other, "select ename, sal from emp where empno = 7369"), (Rows{{"SMITH", "800"}}));
  EXPECT_EQ(Query(*other, "select count(*) from emp")[0][0], "14");
  EXPECT_EQ(Query(*other, "select count(*) from emp where empno in (7499, 9000)")[0][0], "1");
  EXPECT_EQ(Query(*other, "select count(*) from dept where deptno = 77")[0][0], "0");
  EXPECT_EQ(Query(*other, "select d.dname from emp e, dept d where e.deptno = d.deptno and e.empno = 7499"),
            (Rows{{"SALES"}}));
  auto rid = Query(*scott_, "select rowid from emp where empno = 7369")[0][0];
  EXPECT_EQ(Query(*other, "select ename from emp where rowid = :r", {{"r", Value::MakeText(rid)}}),
            (Rows{{"SMITH"}}));
  // DDL waits for nobody: a table with another session's changes is busy
  EXPECT_EQ(ErrorOf([&] { Exec(*other, "alter table emp add (x number)"); }), 54);
  scott_->Commit();
  EXPECT_EQ(Query(*other, "select ename, sal from emp where empno = 7369"), (Rows{{"CHANGED", "1"}}));
  EXPECT_EQ(Query(*other, "select count(*) from emp where empno in (7499, 9000)")[0][0], "1");
  EXPECT_EQ(Query(*other, "select sal from emp where empno = 9000")[0][0], "2");
}

TEST_F(Sessions, SavepointsRollBackToThePoint) {
  Exec(*scott_, "insert into dept values (60, 'A', 'X')");
  Exec(*scott_, "savepoint RVL__LOCKPOINT");
  Exec(*scott_, "insert into dept values (61, 'B', 'X')");
  Exec(*scott_, "update dept set loc = 'Y' where deptno = 60");
  Exec(*scott_, "rollback to savepoint RVL__LOCKPOINT");
  EXPECT_EQ(Query(*scott_, "select deptno, loc from dept where deptno >= 60 order by 1"),
            (Rows{{"60", "X"}}));
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "rollback to nosuch"); }, &text), 1086);
  EXPECT_EQ(text, "ORA-01086: savepoint 'NOSUCH' never established");
  scott_->Commit();
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "rollback to RVL__LOCKPOINT"); }), 1086);
}

TEST_F(Sessions, ConstraintErrorsWithOracleTexts) {
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into emp (empno, ename) values (7369, 'DUP')"); }, &text), 1);
  EXPECT_EQ(text, "ORA-00001: unique constraint (SCOTT.PK_EMP) violated");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into emp (ename) values ('NOKEY')"); }, &text), 1400);
  EXPECT_EQ(text, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"EMP\".\"EMPNO\")");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "update emp set empno = null where empno = 7369"); }, &text), 1407);
  EXPECT_EQ(text, "ORA-01407: cannot update (\"SCOTT\".\"EMP\".\"EMPNO\") to NULL");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into emp (empno, deptno) values (1, 99)"); }, &text), 2291);
  EXPECT_EQ(text, "ORA-02291: integrity constraint (SCOTT.FK_DEPTNO) violated - parent key not found");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "delete from dept where deptno = 10"); }, &text), 2292);
  EXPECT_EQ(text, "ORA-02292: integrity constraint (SCOTT.FK_DEPTNO) violated - child record found");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "update dept set deptno = 11 where deptno = 10"); }), 2292);
  EXPECT_EQ(Exec(*scott_, "delete from dept where deptno = 40"), 1);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into emp (empno, ename) values (1, 'TOO LONG NAME')"); }),
            1401);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into emp (empno, sal) values (1, 123456789)"); }), 1438);
  // a failed statement leaves the earlier work of the transaction alone
  EXPECT_EQ(Query(*scott_, "select count(*) from dept")[0][0], "3");
  // NUMBER(7,2) rounds to its scale
  Exec(*scott_, "insert into emp (empno, sal) values (2, 10.567)");
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 2")[0][0], "10.57");
}

TEST_F(Sessions, DdlWithConstraintsAndOracleTypes) {
  Exec(*scott_,
       "create table t$x (id# number(6) constraint pk_tx primary key, code varchar2(5) not null, "
       "\"Mixed\" char(3), amount number(7,2) default 0 constraint amount_pos check (amount >= 0), "
       "created date default sysdate, raw_id raw(8), note long, "
       "constraint uk_tx unique (code), constraint fk_tx foreign key (id#) references dept (deptno) "
       "on delete cascade)");
  std::string text;
  EXPECT_EQ(
      ErrorOf([&] { Exec(*scott_, "insert into t$x (id#, code, amount) values (10, 'A', -1)"); }, &text),
      2290);
  EXPECT_EQ(text, "ORA-02290: check constraint (SCOTT.AMOUNT_POS) violated");
  EXPECT_EQ(Exec(*scott_, "insert into t$x (id#, code, \"Mixed\", raw_id) values (10, 'A', 'x', 'ABCD')"), 1);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into t$x (id#, code) values (20, 'A')"); }, &text), 1);
  EXPECT_EQ(text, "ORA-00001: unique constraint (SCOTT.UK_TX) violated");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into t$x (id#, code) values (99, 'B')"); }), 2291);
  auto rows = Query(*scott_, "select id#, \"Mixed\", amount, raw_id, length(\"Mixed\") from t$x");
  EXPECT_EQ(rows, (Rows{{"10", "x  ", "0", "ABCD", "3"}}));
  EXPECT_EQ(Query(*scott_, "select count(*) from t$x where raw_id = 'abcd' and created <= sysdate")[0][0],
            "1");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "alter table t$x add (cnt number not null)"); }), 1758);
  Exec(*scott_, "alter table t$x add (extra varchar2(10) default 'dflt', cnt number default 1 not null)");
  EXPECT_EQ(Query(*scott_, "select extra, cnt from t$x"), (Rows{{"dflt", "1"}}));
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into t$x (id#, code, cnt) values (20, 'Z', null)"); }), 1400);
  Exec(*scott_, "alter table t$x add constraint cnt_small check (cnt < 100)");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "update t$x set cnt = 100"); }), 2290);
  Exec(*scott_, "insert into t$x (id#, code, cnt) values (20, 'Z', 1)");
  EXPECT_EQ(Query(*scott_, "select extra from t$x where id# = 20")[0][0], "dflt");
  // cascading delete from the parent
  Exec(*scott_, "delete from dept where deptno = 20 and not exists (select 1 from emp where deptno = 20)");
  Exec(*scott_, "delete from emp where deptno = 20");
  Exec(*scott_, "delete from dept where deptno = 20");
  EXPECT_EQ(Query(*scott_, "select count(*) from t$x")[0][0], "1");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create table t$x (a number)"); }), 955);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create table system.t (a number)"); }), 1031);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "drop table dept"); }), 2449);
  Exec(*scott_, "drop table t$x");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from t$x"); }), 942);
}

TEST_F(Sessions, UsersSynonymsViewsAndGrants) {
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create user bob identified by pw"); }), 1031);
  Exec(*system_, "create user bob identified by pw");
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, "create user bob identified by pw"); }), 1920);
  auto bob = LogOn("BOB", "pw");
  EXPECT_EQ(ErrorOf([&] { Query(*bob, "select * from scott.emp"); }), 942);
  Exec(*system_, "grant dba to bob");
  auto bob2 = LogOn("bob", "PW");
  EXPECT_EQ(Query(*bob2, "select count(*) from scott.emp")[0][0], "14");
  Exec(*bob2, "alter user bob identified by newpw");
  EXPECT_EQ(ErrorOf([&] { LogOn("bob", "pw"); }), 1017);
  LogOn("bob", "newpw");
  Exec(*system_, "alter user bob password expire");
  EXPECT_EQ(ErrorOf([&] { LogOn("bob", "newpw"); }), 28001);
  // a public synonym made by a DBA serves every user
  Exec(*system_, "create public synonym staff for scott.emp");
  EXPECT_EQ(Query(*scott_, "select count(*) from staff")[0][0], "14");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create public synonym x for emp"); }), 1031);
  Exec(*system_, "drop public synonym staff");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select count(*) from staff"); }), 942);
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, "drop public synonym staff"); }), 1432);
  // views: OR REPLACE, describe from the query, dropping
  Exec(*scott_, "create view rich as select ename, sal from emp where sal > 2900");
  EXPECT_EQ(Query(*scott_, "select count(*) from rich")[0][0], "4");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create view rich as select 1 x from dual"); }), 955);
  Exec(*scott_, "create or replace view rich as select ename n from emp where sal >= 5000");
  EXPECT_EQ(Query(*scott_, "select n from rich"), (Rows{{"KING"}}));
  EXPECT_EQ(Query(*scott_, "select column_name from user_tab_columns where table_name = 'RICH'"),
            (Rows{{"N"}}));
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "update rich set n = 'x'"); }), 1732);
  Exec(*scott_, "drop view rich");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from rich"); }), 942);
  // TRUNCATE empties at once and is not undone
  Exec(*scott_, "truncate table bonus");
  EXPECT_EQ(Query(*scott_, "select count(*) from bonus")[0][0], "0");
}

TEST_F(Sessions, SavepointsReleaseLaterLocksAndForUpdateOfLocksOneTable) {
  auto other = LogOn("scott", "tiger");
  Exec(*scott_, "update emp set sal = sal where empno = 7369");
  Exec(*scott_, "savepoint a");
  Exec(*scott_, "update emp set sal = sal where empno = 7499");
  Exec(*scott_, "rollback to a");
  EXPECT_EQ(Query(*other, "select ename from emp where empno = 7499 for update nowait")[0][0], "ALLEN");
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select * from emp where empno = 7369 for update nowait"); }), 54);
  scott_->Rollback();
  other->Rollback();
  // FOR UPDATE OF a column locks the rows of that column's table only
  Query(*scott_,
        "select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno and e.empno = 7369 "
        "for update of e.sal nowait");
  EXPECT_EQ(Query(*other, "select dname from dept where deptno = 20 for update nowait")[0][0], "RESEARCH");
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select * from emp where empno = 7369 for update nowait"); }), 54);
}

TEST_F(Sessions, CursorExpressionsInTheSelectList) {
  auto c = scott_->Prepare("select dname, cursor(select ename from emp where deptno = 30) from dept");
  const auto& d = c->Describe();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[1].type, Ty::Cursor);
  EXPECT_EQ(d[1].cursorQuery, "select ename from emp where deptno = 30") << "the query as written";
  EXPECT_EQ(ErrorOf([&] { scott_->Prepare("select cursor(select nothing from emp) from dept")->Describe(); }),
            904);
  // The cursor's query is a statement of its own: names of the outer query are unknown to it.
  EXPECT_EQ(ErrorOf([&] {
              scott_->Prepare("select cursor(select ename from emp e where e.deptno = d.deptno) from dept d")
                  ->Describe();
            }),
            904);
}

TEST_F(Sessions, DescribeGivesOracleTypes) {
  auto c = scott_->Prepare(
      "select e.*, e.rowid, count(*) over_cnt_dummy from emp e where 1 = 0 group by e.empno, e.ename, e.job, "
      "e.mgr, "
      "e.hiredate, e.sal, e.comm, e.deptno, e.rowid");
  const auto& d = c->Describe();
  ASSERT_EQ(d.size(), 10u);
  EXPECT_EQ(d[0].name, "EMPNO");
  EXPECT_EQ(d[0].type, Ty::Number);
  EXPECT_EQ(d[0].precision, 4);
  EXPECT_EQ(d[0].scale, 0);
  EXPECT_FALSE(d[0].nullable);
  EXPECT_EQ(d[1].name, "ENAME");
  EXPECT_EQ(d[1].type, Ty::Varchar2);
  EXPECT_EQ(d[1].size, 10);
  EXPECT_TRUE(d[1].nullable);
  EXPECT_EQ(d[4].type, Ty::Date);
  EXPECT_EQ(d[4].size, 7);
  EXPECT_EQ(d[5].precision, 7);
  EXPECT_EQ(d[5].scale, 2);
  EXPECT_EQ(d[8].name, "ROWID");
  EXPECT_EQ(d[8].type, Ty::Rowid);
  EXPECT_EQ(d[9].name, "OVER_CNT_DUMMY");
  EXPECT_EQ(d[9].type, Ty::Number);
  EXPECT_EQ(d[9].scale, -127);

  auto e = scott_->Prepare(
      "select count(*), to_char(sysdate, 'DD'), sysdate, sysdate - 1, nvl(ename, 'x'), 'abc', 1 + 1, "
      "decode(1, 1, 'a', 'bcd') x, substr(ename, 1, 3), ename || job from emp");
  const auto& f = e->Describe();
  ASSERT_EQ(f.size(), 10u);
  EXPECT_EQ(f[0].name, "COUNT(*)");
  EXPECT_EQ(f[0].type, Ty::Number);
  EXPECT_EQ(f[1].name, "TO_CHAR(SYSDATE,'DD')");
  EXPECT_EQ(f[1].type, Ty::Varchar2);
  EXPECT_EQ(f[2].type, Ty::Date);
  EXPECT_EQ(f[3].type, Ty::Date);
  EXPECT_EQ(f[4].type, Ty::Varchar2);
  EXPECT_EQ(f[4].size, 10);
  EXPECT_EQ(f[5].type, Ty::Char);
  EXPECT_EQ(f[5].size, 3);
  EXPECT_EQ(f[6].name, "1+1");
  EXPECT_EQ(f[7].name, "X");
  EXPECT_EQ(f[7].type, Ty::Varchar2);
  EXPECT_EQ(f[7].size, 3);
  EXPECT_EQ(f[8].size, 3);
  EXPECT_EQ(f[9].size, 19);
  // describe needs no execution and no binds
  auto g = scott_->Prepare("select * from dept where deptno = :d");
  EXPECT_EQ(g->Describe().size(), 3u);
  EXPECT_EQ(g->BindNames(), std::vector<std::string>{"D"});
}

TEST_F(Sessions, BindsByNameWithImplicitConversions) {
  auto c = scott_->Prepare("select ename from emp where empno = :Empno or ename = :ENAME or empno = :empno");
  EXPECT_EQ(c->BindNames(), (std::vector<std::string>{"EMPNO", "ENAME"}));
  c->BindByName(":eMpNo", Value::MakeText("7369"));
  EXPECT_EQ(ErrorOf([&] { c->Execute(); }), 1008);
  c->BindByName("ename", Value());
  c->Execute();
  std::vector<Value> row;
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].s, "SMITH");
  EXPECT_FALSE(c->Fetch(row));
  EXPECT_EQ(c->RowCount(), 1);
  EXPECT_EQ(ErrorOf([&] { c->BindByName("nosuch", Value::MakeInt(1)); }), 1036);
  c->BindByPos(1, Value::MakeText("junk"));
  EXPECT_EQ(ErrorOf([&] {
              c->Execute();
              c->Fetch(row);
            }),
            1722);
  // re-executing with new values sees them
  c->BindByPos(1, Value::MakeInt(7499));
  c->Execute();
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].s, "ALLEN");
  // a date bind compared with a DATE column, a number bind inserted into a VARCHAR2 column
  oracle_sim::DateTime dt;
  dt.year = 1980;
  dt.month = 12;
  dt.day = 17;
  EXPECT_EQ(Query(*scott_, "select ename from emp where hiredate = :d", {{"d", Value::MakeDate(dt)}}),
            (Rows{{"SMITH"}}));
  Exec(*scott_, "insert into dept (deptno, dname) values (:n, :name)",
       {{"n", Value::MakeText("55")}, {"name", Value::MakeReal(1.5)}});
  EXPECT_EQ(Query(*scott_, "select dname from dept where deptno = 55"), (Rows{{"1.5"}}));
  auto d = scott_->Prepare("select hiredate from emp where empno = 7369");
  d->Execute();
  ASSERT_TRUE(d->Fetch(row));
  EXPECT_EQ(row[0].kind, Value::Date);
  EXPECT_EQ(row[0].dt, dt);
}

TEST_F(Sessions, ArrayDmlAndReturning) {
  auto c = scott_->Prepare("insert into dept (deptno, dname) values (:d, :n) returning rowid into :rid");
  EXPECT_EQ(c->OutBindNames(), std::vector<std::string>{"RID"});
  c->BindArray("d", {Value::MakeInt(71), Value::MakeInt(72), Value::MakeInt(71), Value::MakeInt(73)});
  c->BindByName("n", Value::MakeText("ARR"));
  std::string text;
  EXPECT_EQ(ErrorOf([&] { c->Execute(4); }, &text), 1);
  EXPECT_EQ(c->RowCount(), 2);
  EXPECT_EQ(c->OutArray("rid").size(), 2u);
  EXPECT_EQ(Query(*scott_, "select count(*) from dept where dname = 'ARR'")[0][0], "2");
  std::string rid = c->OutValue("RID").s;
  EXPECT_EQ(Query(*scott_, "select deptno from dept where rowid = :r", {{"r", Value::MakeText(rid)}})[0][0],
            "72");

  auto u = scott_->Prepare("update emp set sal = sal * 2 where deptno = :d returning ename, sal into :n, :s");
  u->BindByName("d", Value::MakeInt(10));
  u->Execute();
  EXPECT_EQ(u->RowCount(), 3);
  EXPECT_EQ(u->OutArray("s").size(), 3u);
  // ":rvl__rowid" both as input and as RETURNING target
  auto w = scott_->Prepare(
      "update emp set ename = null where rowid = :rvl__rowid returning rowid into :rvl__rowid");
  auto r0 = Query(*scott_, "select rowid from emp where empno = 7900")[0][0];
  w->BindByName("rvl__rowid", Value::MakeText(r0));
  w->Execute();
  EXPECT_EQ(w->RowCount(), 1);
  EXPECT_EQ(w->OutValue("rvl__rowid").s, r0);
}

TEST_F(Sessions, SequencesAcrossSessions) {
  Exec(*scott_, "create sequence s1 start with 10 increment by 5");
  EXPECT_EQ(Query(*scott_, "select s1.nextval from dual")[0][0], "10");
  EXPECT_EQ(Query(*system_, "select scott.s1.nextval from dual")[0][0], "15");
  EXPECT_EQ(Query(*scott_, "select s1.currval from dual")[0][0], "10");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Query(*system_, "select scott.emp_seq.currval from dual"); }, &text), 8002);
  EXPECT_EQ(text, "ORA-08002: sequence SCOTT.EMP_SEQ.CURRVAL is not yet defined in this session");
  Exec(*scott_, "insert into emp (empno, ename) values (emp_seq.nextval, 'SEQ')");
  EXPECT_EQ(Query(*scott_, "select empno from emp where ename = 'SEQ'")[0][0], "8000");
  // rollback does not give the number back
  scott_->Rollback();
  EXPECT_EQ(Query(*scott_, "select emp_seq.nextval from dual")[0][0], "8001");
  Exec(*scott_, "drop sequence s1");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select s1.nextval from dual"); }), 942);
}

TEST_F(Sessions, RowLocksBetweenSessionsWaitAndNowait) {
  auto other = LogOn("scott", "tiger");
  auto c = scott_->Prepare("select * from emp where empno = 7369 for update");
  c->Execute();
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select * from emp where empno = 7369 for update nowait"); }, &text),
            54);
  EXPECT_EQ(text, "ORA-00054: resource busy and acquire with NOWAIT specified");
  EXPECT_EQ(
      ErrorOf([&] { Query(*other, "select * from emp e where empno = 7369 for update of e.sal nowait"); }),
      54);
  // other rows are free; a plain read is never blocked
  EXPECT_EQ(Query(*other, "select ename from emp where empno = 7499 for update nowait")[0][0], "ALLEN");
  EXPECT_EQ(Query(*other, "select ename from emp where empno = 7369")[0][0], "SMITH");
  // an update of the locked row waits until the holder commits
  std::atomic<bool> done{false};
  int64_t count = -1;
  std::thread t([&] {
    count = Exec(*other, "update emp set sal = 1 where empno = 7369");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done.load());
  Exec(*scott_, "update emp set sal = 2 where empno = 7369");
  scott_->Commit();
  t.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(count, 1);
  other->Commit();
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 7369")[0][0], "1");
  // rows a session updated stay locked until it ends its transaction
  Exec(*other, "update emp set sal = 3 where empno = 7369");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from emp where empno = 7369 for update nowait"); }), 54);
  other->Rollback();
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 7369 for update nowait")[0][0], "1");
}

TEST_F(Sessions, DeadlockIsDetectedInsteadOfWaitingForever) {
  auto other = LogOn("scott", "tiger");
  Exec(*scott_, "update emp set sal = 1 where empno = 7369");
  Exec(*other, "update emp set sal = 2 where empno = 7499");
  std::atomic<int> first{-1};
  std::thread t(
      [&] { first = ErrorOf([&] { Exec(*scott_, "update emp set sal = 1 where empno = 7499"); }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::string text;
  int second = ErrorOf([&] { Query(*other, "select * from emp where empno = 7369 for update"); }, &text);
  EXPECT_EQ(second, 60);
  EXPECT_EQ(text, "ORA-00060: deadlock detected while waiting for resource");
  // the victim's statement gave way; its transaction still holds its own row until it ends
  other->Rollback();
  t.join();
  EXPECT_EQ(first.load(), 0);
  scott_->Commit();
  EXPECT_EQ(Query(*other, "select sal from emp where empno in (7369, 7499) order by empno"),
            (Rows{{"1"}, {"1"}}));
}

TEST_F(Sessions, BreakInterruptsALockWait) {
  auto other = LogOn("scott", "tiger");
  Exec(*scott_, "update emp set sal = 2 where empno = 7369");
  EXPECT_EQ(BrokenOff(*other, "update emp set sal = 1 where empno = 7369", std::chrono::milliseconds(100)),
            1013);
  // the session is usable afterwards
  EXPECT_EQ(Query(*other, "select count(*) from dept")[0][0], "4");
}

// A session whose call was broken off still logs off when another connection writes to the instance
// as it ends: its logoff waits its turn like any write, and takes its session and locks out.
TEST_F(Sessions, ABrokenSessionLogsOffWhileAnotherConnectionWrites) {
  auto other = LogOn("scott", "tiger");
  const int sid = other->SessionId();
  Exec(*other, "update dept set loc = loc where deptno = 10");
  Exec(*scott_, "update emp set sal = 2 where empno = 7369");
  ASSERT_EQ(BrokenOff(*other, "update emp set sal = 1 where empno = 7369", std::chrono::milliseconds(20)),
            1013);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  const TScopeExit close([&] { sqlite3_close(db); });
  sqlite3_busy_timeout(db, 60000);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  // the other connection's write ends while the session logs off
  std::thread writer([db] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  });
  other.reset();
  writer.join();
  // read from the file itself: no statement of a session has swept a session left behind
  auto count = [&](const char* table) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT COUNT(*) FROM ") + table + " WHERE sid = ?").c_str(), -1, &st,
                       nullptr);
    sqlite3_bind_int(st, 1, sid);
    const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
  };
  EXPECT_EQ(count("sim$sessions"), 0) << "the broken session did not log off";
  EXPECT_EQ(count("sim$locks"), 0) << "the broken session's row locks are left";
  scott_->Rollback();
}

TEST_F(Sessions, BreakStopsALongQuery) {
  std::atomic<int> code{0};
  std::thread t([&] {
    code = ErrorOf([&] {
      Query(*scott_,
            "select count(*) from emp a, emp b, emp c, emp d, emp e, emp f, emp g where a.sal + g.sal > 0");
    });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  scott_->Break();
  t.join();
  EXPECT_EQ(code.load(), 1013);
  EXPECT_EQ(Query(*scott_, "select count(*) from dept")[0][0], "4");
}

TEST_F(Sessions, SessionsWorkInParallelThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int k = 0; k < 4; ++k) {
    threads.emplace_back([&, k] {
      try {
        auto s = LogOn("scott", "tiger");
        for (int i = 0; i < 20; ++i) {
          int dept = 50 + k;
          if (i == 0) Exec(*s, "insert into dept (deptno, dname) values (" + std::to_string(dept) + ", 'T')");
          Exec(*s,
               "update dept set loc = 'L" + std::to_string(i) + "' where deptno = " + std::to_string(dept));
          if (Query(*s, "select loc from dept where deptno = " + std::to_string(dept))[0][0] !=
              "L" + std::to_string(i))
            ++failures;
          if (Query(*s, "select count(*) from emp")[0][0] != "14") ++failures;
          if (i % 5 == 4) s->Commit();
        }
      } catch (const OraError& e) {
        ADD_FAILURE() << e.text;
        ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Query(*system_, "select count(*) from scott.dept where loc = 'L19'")[0][0], "4");
}

TEST_F(Sessions, CutConnectionGivesEndOfFileThenNotConnected) {
  auto other = LogOn("scott", "tiger");
  Exec(*other, "update emp set sal = 2 where empno = 7369");
  other->CutConnection();
  EXPECT_FALSE(other->Connected());
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select 1 from dual"); }), 3113);
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select 1 from dual"); }), 3114);
  EXPECT_EQ(ErrorOf([&] { other->Commit(); }), 3114);
  // the cut session's transaction is gone and its locks with it
  EXPECT_EQ(Query(*scott_, "select sal from emp where empno = 7369 for update nowait")[0][0], "800");
}

TEST_F(Sessions, AlterSessionTakesValuesOfSeveralWords) {
  Exec(*scott_, "alter session set isolation_level = read committed");
  Exec(*scott_, "alter session set optimizer_goal = first_rows");
  EXPECT_EQ(Query(*scott_, "select count(*) from dept")[0][0], "4");
}

TEST_F(Sessions, DisconnectedSessionSeesEndOfFile) {
  auto other = LogOn("scott", "tiger");
  std::string serial = std::to_string(other->State().serial);
  Exec(*system_, "alter system disconnect session '" + std::to_string(other->SessionId()) + "," + serial +
                     "' immediate");
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select 1 from dual"); }), 3113);
  EXPECT_EQ(ErrorOf([&] { Query(*other, "select 1 from dual"); }), 3114);
}

TEST_F(Sessions, LocksAreVisibleAcrossProcesses) {
  OtherSession other(path_, "scott", "tiger");
  EXPECT_EQ(other.Run("select empno from emp where empno = 7369 for update"), "7369");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from emp where empno = 7369 for update nowait"); }), 54);
  other.Die();  // holding the lock, without commit or rollback
  // the holder's process is gone: a NOWAIT request gets the row at once, and so does a waiting one
  EXPECT_EQ(Query(*scott_, "select ename from emp where empno = 7369 for update nowait")[0][0], "SMITH");
  Exec(*scott_, "rollback");
  EXPECT_EQ(Query(*scott_, "select ename from emp where empno = 7369 for update")[0][0], "SMITH");
}

// A server drops the session of a client that is gone, with its work; sessions of processes that
// still run stay.
TEST_F(Sessions, SessionsOfEndedProcessesAreDropped) {
  OtherSession staying(path_, "scott", "tiger"), ending(path_, "scott", "tiger");
  staying.Run("insert into dept values (71, 'GONE', 'NOWHERE')");
  ending.Run("insert into dept values (72, 'GONE', 'NOWHERE')");
  auto listed = [&](int sid) {
    return !Query(*system_, "select sid from v$session where sid = " + std::to_string(sid)).empty();
  };
  ASSERT_TRUE(listed(ending.Sid()));
  ending.Die();  // with its session open, without logging off or ending its transaction
  // Looked for a few times a second: wait for it, with a time-out.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (listed(ending.Sid()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(listed(ending.Sid())) << "the ended program's session is gone";
  EXPECT_TRUE(listed(staying.Sid())) << "a live program's session stays";
  EXPECT_TRUE(listed(scott_->SessionId())) << "and this program's";
  staying.Die();
}

}  // namespace
}  // namespace simtest
