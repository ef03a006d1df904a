// A simulated instance with a table shaped like the session list, and datasets on it.
#pragma once

#include <memory>
#include <string>

#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "tests/oracle/OracleTestSupport.h"

class OracleDataTest : public SimInstanceTest {
 protected:
  void SetUp() override {
    SimInstanceTest::SetUp();
    session = Connect(false);
  }
  void TearDown() override {
    session.reset();
    SimInstanceTest::TearDown();
  }

  // SESS: SID 1..Count, SERIAL 100 + SID, ORACLE_USER "U<sid>", STATUS ACTIVE for odd SIDs, PRNAME
  // "USER" except every fourth session (a background process "P<sid>"), TADDR "A<sid>", LOGON_TIME.
  void MakeSessions(int Count) {
    Run(session.get(),
        "create table sess (sid number(9), serial number(9), oracle_user varchar2(30), status varchar2(8), "
        "prname varchar2(8), taddr varchar2(16), logon_time date, cpu number)");
    auto ins = Query(session.get(), "insert into sess values (:sid, :serial, :u, :st, :p, :a, :d, :c)");
    ins->DeclareVariable("sid", otInteger);
    ins->DeclareVariable("serial", otInteger);
    ins->DeclareVariable("u", otString);
    ins->DeclareVariable("st", otString);
    ins->DeclareVariable("p", otString);
    ins->DeclareVariable("a", otString);
    ins->DeclareVariable("d", otDate);
    ins->DeclareVariable("c", otFloat);
    for (int i = 1; i <= Count; ++i) {
      ins->SetVariable("sid", i);
      ins->SetVariable("serial", 100 + i);
      ins->SetVariable("u", "U" + IntToStr(i));
      ins->SetVariable("st", i % 2 ? "ACTIVE" : "INACTIVE");
      ins->SetVariable("p", i % 4 == 0 ? "P" + IntToStr(i) : std::string("USER"));
      ins->SetVariable("a", "A" + IntToStr(i));
      ins->SetVariable("d", TVariant::FromDate(EncodeDate(2024, 1, 1) + i / 1440.0));
      ins->SetVariable("c", i * 0.5);
      ins->Execute();
    }
  }

  std::unique_ptr<TOracleDataSet> DataSet(const std::string& SQL) {
    auto ds = std::make_unique<TOracleDataSet>(nullptr);
    ds->SetSession(session.get());
    ds->SQL()->SetText(SQL);
    return ds;
  }

  // DEPT (the rows of DeptSQL) as the master of its employees in EMP, linked by DEPTNO.
  struct TDeptAndEmployees {
    std::unique_ptr<TOracleDataSet> master, detail;
  };
  TDeptAndEmployees DeptAndEmployees(
      const std::string& DeptSQL = "select d.*, d.rowid from dept d order by deptno") {
    TDeptAndEmployees d{DataSet(DeptSQL), DataSet("select e.*, e.rowid from emp e where deptno = :deptno")};
    d.detail->DeclareVariable("deptno", otInteger);
    d.detail->SetMaster(d.master.get());
    d.detail->SetMasterFields("DEPTNO");
    return d;
  }

  // The values of Field over the visible records, from the first.
  static std::string Column(TOracleDataSet* ds, const std::string& Field) {
    std::string s;
    for (ds->First(); !ds->Eof(); ds->Next())
      s += (s.empty() ? "" : ",") + ds->FieldByName(Field)->AsString();
    return s;
  }

  std::unique_ptr<TOracleSession> session;
};
