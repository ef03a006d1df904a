// The session against the simulated instance, found and loaded by the discovery without arguments:
// logon and logoff in both call generations, logon errors and warnings, transactions, settings,
// the client information, connection loss and password changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "oracle/Oracle.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleSessionPool.h"
#include "tests/ChildProgram.h"
#include "tests/TemporaryFiles.h"
#include "tests/oracle/OracleTestSupport.h"

namespace {

// A fresh instance file for each test.
class SessionTest : public SimInstanceTest, public ::testing::WithParamInterface<bool> {
 protected:
  // A session in the generation of the test's parameter (true: host calls).
  std::unique_ptr<TOracleSession> Session(const std::string& user, const std::string& password) {
    auto s = std::make_unique<TOracleSession>(nullptr);
    s->Preferences()->SetUseOCI7(GetParam());
    s->SetLogonUsername(user);
    s->SetLogonPassword(password);
    s->SetLogonDatabase("SIM");
    return s;
  }
  // The first column of the first row as text ("<none>" without a row).
  static std::string Scalar(TOracleSession* s, const std::string& sql) {
    TOracleQuery query(nullptr);
    query.SetSession(s);
    query.SQL()->SetText(sql);
    query.Execute();
    return query.Eof() ? "<none>" : query.FieldAsString(0);
  }
  // Ends another session's connection: its next call sees ORA-03113. The serial number is found by
  // trying (the instance is fresh, so the numbers are small).
  static void Disconnect(TOracleSession* dba, TOracleSession* victim) {
    std::string sid = Scalar(victim, "select userenv('SID') from dual");
    for (int serial = 1; serial < 5000; ++serial) {
      try {
        dba->ExecInternal(
            "alter system disconnect session '" + sid + "," + std::to_string(serial) + "' immediate", false);
        return;
      } catch (const EOracleError& e) {
        ASSERT_EQ(e.ErrorCode(), 30) << e.Message();
      }
    }
    FAIL() << "no serial number found";
  }
  static int ErrorCode(const std::function<void()>& f) {
    try {
      f();
    } catch (const EOracleError& e) {
      return e.ErrorCode();
    }
    return 0;
  }
};

std::string Generation(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "HostCalls" : "HandleAPI";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Generations, SessionTest, ::testing::Values(false, true), Generation);

TEST_P(SessionTest, LogOnAndLogOff) {
  auto s = Session("scott/tiger@SIM", "");
  s->SetLogonDatabase("");
  int changes = 0, after = 0, before = 0;
  s->OnChange = [&](TOracleSession*) { ++changes; };
  s->AfterLogOn = [&](TOracleSession* x) {
    ++after;
    EXPECT_TRUE(x->Connected());
  };
  s->BeforeLogOn = [&](TOracleSession*) { ++before; };
  s->SetConnected(true);
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(s->HandleMode(), !GetParam());
  // The whole logon text typed as the user name ends split into the three properties.
  EXPECT_EQ(s->LogonUsername(), "scott");
  EXPECT_EQ(s->LogonPassword(), "tiger");
  EXPECT_EQ(s->LogonDatabase(), "SIM");
  EXPECT_EQ(s->LogonWarning(), "");
  EXPECT_EQ(Scalar(s.get(), "select user from dual"), "SCOTT");
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(changes, 1);
  if (GetParam()) {
    EXPECT_NE(s->ExternalLDA(), nullptr);
    EXPECT_THROW(s->ExternalSRV(), Exception);
  } else {
    text banner[501] = {};
    ASSERT_EQ(
        OCI.OCIServerVersion(s->ExternalSRV(), s->ErrorHandle(), banner, sizeof banner, OCI_HTYPE_SERVER),
        OCI_SUCCESS);
    EXPECT_NE(std::string(reinterpret_cast<char*>(banner)).find(" Release 9.2"), std::string::npos);
    try {
      s->ExternalLDA();
      FAIL();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "ExternalLDA only valid when connected through OCI7");
    }
  }
  s->LogOff();
  EXPECT_FALSE(s->Connected());
  EXPECT_EQ(changes, 2);
  s->LogOff();  // nothing to do
  EXPECT_EQ(changes, 2);
  s->LogOn();
  EXPECT_TRUE(s->Connected());
}

TEST_P(SessionTest, WrongPasswordRaisesTheServersError) {
  auto s = Session("scott", "wrong");
  int after = 0, changes = 0;
  std::vector<bool> connectedAfter;
  s->AfterLogOn = [&](TOracleSession* x) {
    ++after;
    connectedAfter.push_back(x->Connected());
  };
  s->OnChange = [&](TOracleSession*) { ++changes; };
  try {
    s->LogOn();
    FAIL();
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode(), 1017);
    EXPECT_EQ(e.Message(), "ORA-01017: invalid username/password; logon denied");
    EXPECT_EQ(e.Session(), s.get());
  }
  EXPECT_FALSE(s->Connected());
  EXPECT_EQ(after, 1);
  EXPECT_EQ(changes, 1);
  // An unknown alias.
  s->SetLogonDatabase("NOWHERE");
  s->SetLogonPassword("tiger");
  EXPECT_EQ(ErrorCode([&] { s->LogOn(); }), 12154);
  s->SetLogonDatabase("SIM");
  s->LogOn();
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(connectedAfter, (std::vector<bool>{false, false, true}));
  // A code in the warnings list comes as EOracleWarning.
  s->LogOff();
  s->SetLogonPassword("wrong");
  SetWarnings({1017});
  EXPECT_THROW(s->LogOn(), EOracleWarning);
  SetWarnings({});
}

TEST_P(SessionTest, PasswordAboutToExpireIsAWarning) {
  auto s = Session("expiring", "expiring");
  s->LogOn();
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(s->LogonWarning().rfind("ORA-28002: the password will expire within ", 0), 0u)
      << s->LogonWarning();
  EXPECT_EQ(s->ErrorText(28002).rfind("ORA-28002", 0), 0u);
}

TEST_P(SessionTest, CommitRollbackAndSettings) {
  auto s = Session("scott", "tiger");
  s->SetSQLTrace(stTrue);  // sent right after the logon
  s->Commit();             // nothing happens while disconnected
  s->LogOn();
  auto other = Session("system", "manager");
  other->LogOn();
  s->SetSQLTrace(stFalse);
  s->SetOptimizerGoal(ogFirstRows);
  s->SetIsolationLevel(ilReadCommitted);

  s->ExecInternal("create table t (n number)", false);
  s->ExecInternal("insert into t values (1)", true);
  EXPECT_EQ(Scalar(s.get(), "select count(*) from t"), "1");
  s->Rollback();
  EXPECT_EQ(Scalar(s.get(), "select count(*) from t"), "0");
  s->ExecInternal("insert into t values (2)", false);
  s->Commit();
  EXPECT_EQ(Scalar(other.get(), "select count(*) from scott.t"), "1");
  // Rolled back at logoff when asked.
  s->SetRollbackOnDisconnect(true);
  s->ExecInternal("insert into t values (3)", false);
  s->LogOff();
  EXPECT_EQ(Scalar(other.get(), "select count(*) from scott.t"), "1");
}

TEST_P(SessionTest, ClientInformation) {
  auto s = Session("scott", "tiger");
  s->LogOn();
  s->DBMS_Application_Info()->Set_Client_Info("Talvik");
  EXPECT_EQ(s->DBMS_Application_Info()->FullName(), "sys.dbms_application_info");
  EXPECT_EQ(Scalar(s.get(), "select userenv('CLIENT_INFO') from dual"), "Talvik");
  s->DBMS_Application_Info()->Set_Client_Info("");
  EXPECT_EQ(Scalar(s.get(), "select nvl(userenv('CLIENT_INFO'), '-') from dual"), "-");
}

TEST_P(SessionTest, ConnectionLossSurfacesAsOracleError) {
  auto s = Session("scott", "tiger");
  s->LogOn();
  auto dba = Session("system", "manager");
  dba->LogOn();
  Disconnect(dba.get(), s.get());
  EXPECT_EQ(ErrorCode([&] { s->Commit(); }), 3113);
  // The connection is found broken: without reconnecting the session is logged off.
  auto third = Session("scott", "tiger");
  third->LogOn();
  Disconnect(dba.get(), third.get());
  EXPECT_EQ(third->CheckConnection(false), 1);
  EXPECT_FALSE(third->Connected());
  // With reconnecting the session logs off and on again.
  EXPECT_EQ(s->CheckConnection(true), 2);
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(s->CheckConnection(false), 0);
  EXPECT_EQ(Scalar(s.get(), "select 1 from dual"), "1");

  // A session whose connection is gone is destroyed without an exception.
  Disconnect(dba.get(), s.get());
  s->SetRollbackOnDisconnect(true);
  EXPECT_NO_THROW(s.reset());
}

TEST_P(SessionTest, ChangePasswordQuotesTheNewPassword) {
  auto dba = Session("system", "manager");
  dba->LogOn();
  dba->ExecInternal("create user pwuser identified by first", false);
  auto s = Session("pwuser", "first");
  s->LogOn();
  // A password with a blank and words that would change the statement's meaning unquoted.
  s->ChangePassword("new pw account lock");
  EXPECT_EQ(s->LogonPassword(), "\"new pw account lock\"");
  s->LogOff();
  s->LogOn();
  EXPECT_TRUE(s->Connected());
  auto again = Session("pwuser", "new pw account lock");
  again->LogOn();
  EXPECT_TRUE(again->Connected());
}

TEST_P(SessionTest, AnExpiredPasswordIsChangedOnTheFailedLogonsConnection) {
  auto s = Session("expired", "expired");
  EXPECT_EQ(ErrorCode([&] { s->LogOn(); }), 28001);
  EXPECT_FALSE(s->Connected());
  if (GetParam()) {
    // Host calls change a password with a statement, which needs a connection.
    EXPECT_THROW(s->ChangePassword("renewed"), Exception);
    return;
  }
  s->ChangePassword("renewed");
  EXPECT_EQ(s->LogonPassword(), "renewed");
  s->LogOn();
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(s->LogonWarning(), "");
}

TEST_P(SessionTest, DetectionsAndBuffers) {
  auto s = Session("scott", "tiger");
  EXPECT_EQ(s->DateFormatLength(), 40);  // not connected
  s->LogOn();
  EXPECT_GT(s->DateFormatLength(), 0);
  EXPECT_EQ(s->BytesPerChar(), 1);
  s->SetBytesPerCharacter(bc2Bytes);
  EXPECT_EQ(s->BytesPerChar(), 2);
  EXPECT_EQ(s->MaxStringChars(), (GetParam() ? 2000 : 4000) / 2);
  s->SetBytesPerCharacter(bcAutoDetect);
  EXPECT_GE(s->BytesPerChar(), 1);
  int type = 0, size = 0;
  s->NumberBuffer(9, 0, false, type, size);
  EXPECT_EQ(type, SQLT_INT);
  EXPECT_EQ(size, 4);
  s->NumberBuffer(10, 0, false, type, size);
  EXPECT_EQ(type, SQLT_FLT);
  s->NumberBuffer(0, -127, true, type, size);
  EXPECT_EQ(type, SQLT_STR);
  EXPECT_EQ(size, 38 + 2 + 132);
  s->NumberBuffer(12, 2, true, type, size);
  EXPECT_EQ(size, 15);
  s->Preferences()->SetFloatPrecision(15);
  s->NumberBuffer(20, 0, false, type, size);
  EXPECT_EQ(type, SQLT_STR);
  EXPECT_EQ(size, 22);
}

TEST_P(SessionTest, PropertiesThatCannotChangeWhileConnected) {
  auto s = Session("scott", "tiger");
  s->LogOn();
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string();
  };
  EXPECT_EQ(message([&] { s->SetThreadSafe(true); }), "Cannot change ThreadSafe property when connected");
  EXPECT_EQ(message([&] { s->SetPooling(spMTS); }), "Cannot change Pooling property when connected");
  EXPECT_EQ(message([&] { s->SetStatementCache(true); }),
            "Cannot change StatementCache property when connected");
  EXPECT_EQ(message([&] { s->SetMTSOptions({}); }), "Cannot change MTSOptions property when connected");
  int pool = 0;
  EXPECT_EQ(message([&] { s->SetPool(reinterpret_cast<TOracleSessionPool*>(&pool)); }),
            "Cannot change Pool property when connected");
  EXPECT_EQ(message([&] { s->Preferences()->SetUseOCI7(!GetParam()); }),
            "Cannot change UseOCI7 property when session is connected");
  if (GetParam()) {
    EXPECT_EQ(message([&] { s->ExternalSVC(); }), "ExternalSVC only valid when connected through OCI8");
    EXPECT_EQ(message([&] { s->ExternalSRV(); }), "ExternalSRV only valid when connected through OCI8");
  }
  s->LogOff();
  EXPECT_EQ(message([&] { s->ExternalLDA(); }), "ExternalLDA only valid when connected through OCI7");
  if (GetParam()) {
    EXPECT_EQ(message([&] { s->SetExternalSVC(nullptr); }), "ExternalSVC only valid with OCI8");
  }
  s->SetThreadSafe(true);
  s->LogOn();
  EXPECT_TRUE(s->Connected());
}

TEST_P(SessionTest, SharingAConnection) {
  auto s = Session("scott", "tiger");
  s->LogOn();
  TOracleSession shared(nullptr);
  s->Share(&shared);
  EXPECT_TRUE(shared.Connected());
  EXPECT_TRUE(shared.Shared());
  EXPECT_EQ(shared.LogonUsername(), "scott");
  EXPECT_EQ(Scalar(&shared, "select user from dual"), "SCOTT");
  shared.LogOff();
  EXPECT_FALSE(shared.Shared());
  // The owner's connection stays.
  EXPECT_EQ(Scalar(s.get(), "select user from dual"), "SCOTT");
}

namespace {
// Statements the session prepares, recorded by a wrapper around the client's prepare call.
std::vector<std::string> prepared;
OCIStmtPrepare_fn realPrepare = nullptr;
sword RecordingPrepare(OCIStmt* st, OCIError* err, const text* sql, ub4 len, ub4 language, ub4 mode) {
  prepared.emplace_back(reinterpret_cast<const char*>(sql), len);
  return realPrepare(st, err, sql, len, language, mode);
}
}  // namespace

TEST_P(SessionTest, PendingSettingsAreSentRightAfterTheLogOn) {
  if (GetParam()) GTEST_SKIP() << "recorded through the handle-based prepare call";
  realPrepare = OCI.OCIStmtPrepare;
  OCI.OCIStmtPrepare = &RecordingPrepare;
  prepared.clear();
  auto s = Session("scott", "tiger");
  s->LogOn();
  EXPECT_TRUE(prepared.empty());  // nothing for unchanged settings
  s->LogOff();
  s->SetSQLTrace(stTrue);
  s->SetOptimizerGoal(ogAllRows);
  s->SetIsolationLevel(ilSerializable);
  EXPECT_TRUE(prepared.empty());  // only stored while disconnected
  s->LogOn();
  EXPECT_EQ(prepared, (std::vector<std::string>{"alter session set sql_trace = true",
                                                "alter session set optimizer_goal = all_rows",
                                                "alter session set isolation_level = serializable"}));
  prepared.clear();
  s->SetSQLTrace(stFalse);
  EXPECT_EQ(prepared, std::vector<std::string>{"alter session set sql_trace = false"});
  EXPECT_EQ(s->CheckConnection(false), 0);
  EXPECT_EQ(prepared.back(), "select 'x' from dual");
  OCI.OCIStmtPrepare = realPrepare;
}

namespace {
OCIServerVersion_fn realVersion = nullptr;
sword Oracle7Banner(dvoid*, OCIError*, text* buf, ub4 size, ub1) {
  std::snprintf(reinterpret_cast<char*>(buf), size, "Oracle7 Server Release 7.3.4.0.0 - Production");
  return OCI_SUCCESS;
}
}  // namespace

TEST_P(SessionTest, AnOracle7ServerLeavesTheSessionInHostCallMode) {
  if (GetParam()) GTEST_SKIP() << "a handle-mode logon reads the banner";
  realVersion = OCI.OCIServerVersion;
  OCI.OCIServerVersion = &Oracle7Banner;
  auto s = Session("scott", "tiger");
  s->LogOn();
  OCI.OCIServerVersion = realVersion;
  EXPECT_TRUE(s->Connected());
  EXPECT_FALSE(s->HandleMode());
  EXPECT_NE(s->ExternalLDA(), nullptr);
  EXPECT_EQ(Scalar(s.get(), "select user from dual"), "SCOTT");
  s->ExecInternal("create table t7 (n number)", false);
  s->ExecInternal("insert into t7 values (7)", false);
  s->Commit();
  s->LogOff();
  EXPECT_FALSE(s->Connected());
  s->LogOn();
  EXPECT_TRUE(s->HandleMode());
  EXPECT_EQ(Scalar(s.get(), "select n from t7"), "7");
}

TEST_P(SessionTest, RolesAndExternalCredentials) {
  auto s = Session("system/manager@SIM as sysdba", "");
  s->SetLogonDatabase("");
  s->LogOn();
  EXPECT_EQ(s->ConnectAs(), caSYSDBA);
  EXPECT_EQ(s->LogonUsername(), "system");
  EXPECT_EQ(s->LogonPassword(), "manager");
  EXPECT_EQ(s->LogonDatabase(), "SIM");
  s->LogOff();
  // A user without the privilege.
  auto scott = Session("scott", "tiger");
  scott->SetConnectAs(caSYSDBA);
  EXPECT_EQ(ErrorCode([&] { scott->LogOn(); }), 1031);
  // Without user name and password the logon asks for external credentials, which this instance
  // refuses.
  auto external = Session("", "");
  EXPECT_EQ(ErrorCode([&] { external->LogOn(); }), 1017);
  EXPECT_FALSE(external->Connected());
}

TEST_P(SessionTest, AThreadSafeSessionIsFreeAgainAfterAnError) {
  auto s = Session("scott", "tiger");
  s->SetThreadSafe(true);
  s->LogOn();
  EXPECT_EQ(ErrorCode([&] { s->ExecInternal("select * from no_such_table", false); }), 942);
  // The error gave the session's lock back: another thread gets through.
  std::string user;
  std::thread([&] { user = Scalar(s.get(), "select user from dual"); }).join();
  EXPECT_EQ(user, "SCOTT");
  s->LogOff();
}

TEST_P(SessionTest, AConnectionStoredWithTheFormIsAnnouncedOnce) {
  auto s = Session("scott", "tiger");
  int afterLogOn = 0, changes = 0;
  s->AfterLogOn = [&](TOracleSession*) { ++afterLogOn; };
  s->OnChange = [&](TOracleSession*) { ++changes; };
  s->BeginLoading();
  s->SetConnected(true);
  EXPECT_FALSE(s->Connected()) << "only marked while the form is read";
  s->EndLoading();
  EXPECT_TRUE(s->Connected());
  EXPECT_EQ(afterLogOn, 1);
  EXPECT_EQ(changes, 1);
}

TEST_P(SessionTest, AProgramThatEndsNormallyLogsItsSessionsOff) {
  ChildProgram program(TALVIK_ORACLE_EXIT_PROGRAM, {GetParam() ? "host" : "handle"});
  EXPECT_EQ(program.ReadLine(), "y") << "logged off and the client library freed at the end";
  EXPECT_EQ(program.Wait(), 0);
  auto dba = Session("system", "manager");
  dba->LogOn();
  EXPECT_EQ(Scalar(dba.get(), "select count(*) from v$session where username = 'SCOTT'"), "0");
}

TEST(SessionBanner, ReleasesOfTheHandleGeneration) {
  EXPECT_TRUE(HandleCapableBanner("Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production"));
  EXPECT_TRUE(HandleCapableBanner("Oracle8i Release 8.1.7.0.0 - Production"));
  // Release 10 and later banners read "Oracle Database ..."; they stay in handle mode.
  EXPECT_TRUE(
      HandleCapableBanner("Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production"));
  EXPECT_TRUE(HandleCapableBanner("Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"));
  EXPECT_FALSE(HandleCapableBanner("Oracle7 Server Release 7.3.4.0.0 - Production"));
  EXPECT_FALSE(HandleCapableBanner("Personal Oracle7 Release 7.3.4.0.0"));
}

TEST(SessionStates, PendingLogOnAndDesignConnection) {
  SetCommandLine(std::vector<std::string>{"talvik"});
  TOracleSession s(nullptr);
  s.BeginLoading();
  s.SetConnected(true);  // only marked while the form is read
  EXPECT_FALSE(s.Connected());
  s.SetDesignConnection(true);
  s.SetLogonUsername("ignored");
  EXPECT_EQ(s.LogonUsername(), "");
  s.SetDesignConnection(false);
  s.SetLogonUsername("my user");
  EXPECT_EQ(s.LogonUsername(), "\"my user\"");
  s.SetLogonDatabase("odbc:x");
  EXPECT_TRUE(s.ODBCMode());
}

// A test's instance lives in its process's own folder: nothing else is made in the temporary
// directory, and nothing stays.
TEST(SimInstanceFolder, IsInTheProcessFolder) {
  ExpectOnlyTheProcessFolderMade("Generations/SessionTest.DetectionsAndBuffers/HandleAPI");
}
