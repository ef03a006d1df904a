// Stored procedure calls through TOraclePackage, PL/SQL blocks with PL/SQL tables, and sessions
// lent by a TOracleSessionPool, against the simulated instance.
#include "OracleTestSupport.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSessionPool.h"

namespace {

class PackageTest : public BothModesTest {
 protected:
  // A connected session, or a skipped test while the instance runs no PL/SQL blocks.
  std::unique_ptr<TOracleSession> ConnectForPLSQL() {
    auto s = Connect();
    if (OracleCode([&] { Run(s.get(), "begin null; end;"); }) == 3001) return nullptr;
    return s;
  }
};

#define TALVIK_REQUIRE_PLSQL(s) \
  if (!(s)) GTEST_SKIP() << "the simulated instance runs no PL/SQL blocks"

TEST_P(PackageTest, NamedParametersBuildOneCallLine) {
  auto s = ConnectForPLSQL();
  TALVIK_REQUIRE_PLSQL(s);
  TOraclePackage p(nullptr);
  p.SetSession(s.get());
  p.SetPackageName("sys.dbms_application_info");
  p.SetParameterMode(pmNamed);
  p.CallProcedure("set_client_info", {"client_info", "talvik test"});
  EXPECT_EQ(p.Query()->SQL()->Text(),
            "begin\r\n  sys.dbms_application_info.set_client_info(client_info => :client_info);\r\nend;\r\n");
  // Read back through an output parameter of the Int64 kind.
  p.CallProcedure("read_client_info", {"client_info", TVariant(static_cast<long long>(otString))});
  EXPECT_EQ(p.Query()->GetVariable("client_info").AsString(), "talvik test");
  EXPECT_EQ(Raised([&] {
              p.CallProcedure("x", {"a", 1, "b"});
            }),
            "Even number of parameters required when ParameterMode = pmNamed");
  EXPECT_EQ(Raised([&] { p.CallProcedure("x", {1, 1}); }), "Parameter names must be strings");
  EXPECT_EQ(Raised([&] {
              p.CallProcedure("x", {"a", TVariant(static_cast<long long>(7))});
            }),
            "Int64 parameters can only be used for output parameter types");
  EXPECT_EQ(Raised([&] {
              p.CallProcedure("x", {"a", VarArrayOf({1})});
            }),
            "Type of parameter a not supported");
}

TEST_P(PackageTest, BooleanParametersGoThroughIntegers) {
  auto s = ConnectForPLSQL();
  TALVIK_REQUIRE_PLSQL(s);
  TOraclePackage p(nullptr);
  p.SetSession(s.get());
  p.SetPackageName("sys.dbms_session");
  p.CallProcedure("set_sql_trace", {true});
  EXPECT_EQ(p.Query()->SQL()->Text(),
            "declare\r\n  rvl__boolean1 boolean := sys.diutil.int_to_bool(:p1);\r\nbegin\r\n"
            "  sys.dbms_session.set_sql_trace(rvl__boolean1);\r\n  :p1 := "
            "sys.diutil.bool_to_int(rvl__boolean1);\r\n"
            "end;\r\n");
  EXPECT_EQ(p.Query()->VariableName(0), ":P1");
  EXPECT_EQ(p.Query()->GetVariable("p1").AsInteger(), 1);
  // The same signature declares nothing anew, another one re-declares.
  int parses = p.Query()->ParseCount();
  p.CallProcedure("set_sql_trace", {false});
  EXPECT_EQ(p.Query()->GetVariable("p1").AsInteger(), 0);
  EXPECT_EQ(p.Query()->ParseCount(), parses);
  p.SetParameterMode(pmNamed);
  p.CallProcedure("set_sql_trace", {"sql_trace", false});
  EXPECT_EQ(p.Query()->VariableName(0), ":SQL_TRACE");
  EXPECT_EQ(p.Query()->VariableCount(), 1);
}

TEST_P(PackageTest, PLSQLTablesComeBackFromABlock) {
  auto s = ConnectForPLSQL();
  TALVIK_REQUIRE_PLSQL(s);
  auto q = Query(s.get(),
                 "begin\n  dbms_output.enable(10000);\n  dbms_output.put_line('one');\n"
                 "  dbms_output.put_line('two');\n  dbms_output.put_line(rpad('x', 255, 'x'));\n"
                 "  dbms_output.get_lines(:lines, :n);\nend;");
  q->DeclareVariable("lines", otString);
  q->DeclareVariable("n", otInteger);
  // Entries declared longer than one string the server takes at once keep their stride.
  q->DimPLSQLTable("lines", 5, 5000);
  q->SetVariable("n", 5);
  q->Execute();
  EXPECT_EQ(q->GetVariable("n").AsInteger(), 3);
  TVariant lines = q->GetVariable("lines");
  ASSERT_TRUE(lines.IsArray());
  ASSERT_EQ(lines.ElementCount(), 3);
  EXPECT_EQ(lines.GetElement(0).AsString(), "one");
  EXPECT_EQ(lines.GetElement(1).AsString(), "two");
  EXPECT_EQ(lines.GetElement(2).AsString(), std::string(255, 'x'));
  // Run again: the table is rebound and filled anew.
  q->Execute();
  EXPECT_EQ(q->GetVariable("n").AsInteger(), 3);
}

INSTANTIATE_TEST_SUITE_P(Generations, PackageTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "HostCalls" : "Handles";
                         });

class SessionPoolTest : public SimInstanceTest, public ::testing::WithParamInterface<TSessionPoolType> {
 protected:
  static std::unique_ptr<TOracleSession> Pooled(TOracleSessionPool* Pool) {
    auto s = std::make_unique<TOracleSession>(nullptr);
    s->SetPool(Pool);
    s->SetLogonUsername("scott");
    s->SetLogonPassword("tiger");
    s->SetLogonDatabase("SIM");
    return s;
  }
  static int Value(TOracleSession* S, const std::string& SQL) {
    auto q = Query(S, SQL);
    q->Execute();
    return q->FieldAsInteger(0);
  }
};

TEST_P(SessionPoolTest, SessionsBorrowAndReturnConnections) {
  TOracleSessionPool pool(nullptr);
  pool.SetPoolType(GetParam());
  int opened = 0, reserved = 0, released = 0;
  pool.OnOpen = [&](TOracleSessionPool*) { ++opened; };
  pool.AfterReserve = [&](TOracleSessionPool*, TOracleSession*) { ++reserved; };
  pool.BeforeRelease = [&](TOracleSessionPool*, TOracleSession*) { ++released; };
  auto a = Pooled(&pool);
  EXPECT_EQ(a->Pooling(), spInternal);
  a->LogOn();
  EXPECT_TRUE(a->Connected());
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_TRUE(pool.Entries(0)->Reserved());
  EXPECT_EQ(Value(a.get(), "select 41 + 1 from dual"), 42);
  int sid = Value(a.get(), "select userenv('SID') from dual");
  a->LogOff();
  EXPECT_FALSE(a->Connected());
  EXPECT_FALSE(pool.Entries(0)->Reserved());
  // The next session gets the same connection.
  auto b = Pooled(&pool);
  b->LogOn();
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_EQ(Value(b.get(), "select userenv('SID') from dual"), sid);
  // A full pool makes the next reservation wait, and not without end.
  pool.SetMax(1);
  pool.SetWaitTimeOut(50);
  auto c = Pooled(&pool);
  EXPECT_EQ(Raised([&] { c->LogOn(); }), "TOracleSessionPool: no session available");
  EXPECT_FALSE(c->Connected());
  b->LogOff();
  c->LogOn();
  EXPECT_TRUE(c->Connected());
  c->LogOff();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(reserved, 3);
  EXPECT_EQ(released, 3);
  EXPECT_EQ(pool.PoolName().empty(), GetParam() == ptDefault);
}

TEST_P(SessionPoolTest, IdleEntriesArePurgedDownToMin) {
  TOracleSessionPool pool(nullptr);
  pool.SetPoolType(GetParam());
  std::vector<std::unique_ptr<TOracleSession>> sessions;
  for (int i = 0; i < 3; ++i) {
    sessions.push_back(Pooled(&pool));
    sessions.back()->LogOn();
  }
  EXPECT_EQ(pool.Count(), 3);
  for (auto& s : sessions) s->LogOff();
  EXPECT_EQ(pool.Count(), 3);
  pool.SetTimeOut(60);
  pool.SetMin(1);
  for (int i = 0; i < 3; ++i) pool.Entries(i)->SetLastRelease(Now() - 2.0 / 24 / 60);
  sessions[0]->LogOn();
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_TRUE(pool.Entries(0)->Reserved());
}

TEST_F(SimInstanceTest, SessionsWithoutAPoolUseTheDefaultOne) {
  TOracleSessionPool* pool = DefaultSessionPool();
  auto s = std::make_unique<TOracleSession>(nullptr);
  s->SetPooling(spInternal);
  s->SetLogonUsername("scott");
  s->SetLogonPassword("tiger");
  s->SetLogonDatabase("SIM");
  s->LogOn();
  EXPECT_EQ(pool->Count(), 1);
  auto q = Query(s.get(), "select 3 from dual");
  q->Execute();
  EXPECT_EQ(q->FieldAsInteger(0), 3);
  s->LogOff();
  // Empty the default pool again before the instance goes.
  pool->Entries(0)->SetLastRelease(0);
  pool->SetTimeOut(1);
  pool->Purge();
  pool->SetTimeOut(0);
  EXPECT_EQ(pool->Count(), 0);
  pool->Close();
}

INSTANTIATE_TEST_SUITE_P(Types, SessionPoolTest, ::testing::Values(ptDefault, ptOracle),
                         [](const ::testing::TestParamInfo<TSessionPoolType>& p) {
                           return p.param == ptDefault ? "Default" : "Oracle";
                         });

}  // namespace
