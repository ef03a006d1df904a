// The session window on a scripted simulated instance: a fresh instance with its clock frozen, the
// main window logged on as SYSTEM, and sessions of other programs put into the instance with known
// users, programs, modules, waits and idle times. Message boxes are answered by the test; the speech
// control records what it says into a file.
#pragma once

#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "app/SysTrayIcon.h"
#include "grid/DBGridEx.h"
#include "oracle/OracleLogonTestSupport.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "oracle_sim/engine/Session.h"
#include "oracle_sim/engine/Workload.h"
#include "platform/rtl/Registry.h"
#include "platform/speech/Speech.h"
#include "rtl/TempDir.h"

namespace sessiontest {

// Logs a connection of a test's own on to the simulated instance as SYSTEM.
inline void LogOnAsSystem(TOracleSession& Session) {
  Session.SetLogonUsername("system");
  Session.SetLogonPassword("manager");
  Session.SetLogonDatabase("SIM");
  Session.LogOn();
}

// A session of another program, as the fixture puts it into the instance.
struct SimSession {
  int sid;
  const char* user;  // nullptr: no user name
  const char* status;
  int idleSeconds;  // since the last call began
  int command;
  const char* program;  // nullptr: none (the client information then names it)
  const char* clientInfo;
  const char* machine;
  const char* osUser;
  const char* module;
  const char* action;
  const char* event;
  int waitTime;  // 0 waiting, -1 short, -2 unknown, > 0 hundredths
  const char* processProgram;
};

// The fixture's sessions besides the background processes and the monitor's own.
inline const std::vector<SimSession>& FixtureSessions() {
  static const std::vector<SimSession> s = {
      {101, "SCOTT", "INACTIVE", 2400, 0, "sqlplus.exe", nullptr, "ws01", "scott", nullptr, nullptr,
       "SQL*Net message from client", 0, "oracle@dbsrv01 (TNS V1-V3)"},
      {102, "HR", "ACTIVE", 420, 6, "sqlplus.exe", nullptr, "ws02", "hr", nullptr, nullptr, "enqueue", 0,
       "oracle@dbsrv01 (TNS V1-V3)"},
      {103, "APP_USER", "ACTIVE", 10, 3, "JDBC Thin Client", nullptr, "appsrv01", "app", "OrderEntry",
       "Checkout", "db file sequential read", 3, "oracle@dbsrv01 (TNS V1-V3)"},
      {104, "APP_USER", "INACTIVE", 30, 47, "JDBC Thin Client", nullptr, "appsrv01", "app", nullptr, nullptr,
       "SQL*Net message from client", -1, "oracle@dbsrv01 (TNS V1-V3)"},
      {105, "SCOTT", "INACTIVE", 60, 0, nullptr, "Report Server", "repsrv", "rep", nullptr, nullptr,
       "SQL*Net message from client", -2, "oracle@dbsrv01 (TNS V1-V3)"},
      {106, nullptr, "INACTIVE", 5, 0, "oracle@dbsrv01 (J000)", nullptr, "dbsrv01", "oracle", nullptr,
       nullptr, "jobq slave wait", 0, "oracle@dbsrv01 (J000)"},
      {107, "SCOTT", "INACTIVE", 123 * 3600 + 5 * 60, 0, "sqlplus.exe", nullptr, "ws03", "scott", nullptr,
       nullptr, "SQL*Net message from client", 0, "oracle@dbsrv01 (TNS V1-V3)"},
  };
  return s;
}

// Custom queries that lock the rows they read, written as the instance's parser takes them (both
// words in any case, blanks, line breaks or comments between them, the clause's options after them).
struct LockingQuery {
  const char* name;
  const char* sql;
};
inline void PrintTo(const LockingQuery& Query, std::ostream* Out) {
  *Out << Query.name;
}
inline const std::vector<LockingQuery>& LockingQueries() {
  static const std::vector<LockingQuery> q = {
      {"AsWritten", "SELECT dname info FROM scott.dept FOR UPDATE"},
      {"LowerCase", "select dname info from scott.dept for update"},
      {"MixedCaseOnLinesOfTheirOwn", "Select dname info\r\nFrom scott.dept\r\nFor\r\n  Update"},
      {"BlockCommentBetween", "SELECT dname info FROM scott.dept FOR/* every row */UPDATE"},
      {"LineCommentBetween", "SELECT dname info FROM scott.dept FOR -- every row\nUPDATE"},
      {"OfAColumnNoWait", "SELECT dname info FROM scott.dept FOR UPDATE OF dname NOWAIT"},
      {"WithAVariableAndAWait",
       "SELECT dname || :SID info FROM scott.dept WHERE deptno > 0 FOR UPDATE WAIT 5"},
      {"AfterANumberAndAHint", "SELECT /*+ FULL(d) */ 1 info FROM scott.dept d ORDER BY 1FOR UPDATE"},
  };
  return q;
}

class SessionFormTest : public logontest::LogonDialogTest {
 protected:
  void SetUp() override {
    LogonDialogTest::SetUp();
    talvik::gui::SetTrayShell(&shell);
    speechLog_ = (ProcessTempFolder() /
                  ("talvik_speech_" + std::to_string(getpid()) + "_" + std::to_string(++counter_) + ".log"))
                     .string();
    std::filesystem::remove(speechLog_);
    setenv("TALVIK_SPEECH_LOG", speechLog_.c_str(), 1);
    RegisterSpeechControl();
    Application->SetTitle("Talvik");
    LogonWith("system", "manager");
    Application->CreateForm(MainForm);
    instance_ = oracle_sim::Instance::Open(getenv("TALVIK_SIM_DB"));
    oracle_sim::SimClock::Freeze(*instance_);
  }
  void TearDown() override {
    FreeReleasedForms();
    delete form;
    form = nullptr;
    delete MainForm;
    MainForm = nullptr;
    ExpectNoFormLeft();
    RegIni.reset();
    UserName.clear();
    DataBase.clear();
    OracleVersion.clear();
    instance_.reset();
    unsetenv("TALVIK_SPEECH_LOG");
    std::filesystem::remove(speechLog_);
    talvik::gui::SetTrayShell(nullptr);
    LogonDialogTest::TearDown();
  }

  // A form closed with "free on close" is freed by the message loop's next turn, which never comes
  // after the test: the releases still waiting in the queue are handled here.
  static void FreeReleasedForms() {
    MSG m;
    while (PeekMessage(m, nullptr, CM_RELEASE, CM_RELEASE, PM_REMOVE)) DispatchMessage(m);
  }
  // Every form the test or the program made is gone by now: one still there was never freed (closed
  // with "free on close" but never released, say). It fails the test, and goes, so that the next test
  // in this process starts without it.
  static void ExpectNoFormLeft() {
    for (bool found = true; found;) {  // a form may free others with it: look again after each
      found = false;
      for (int i = Application->ComponentCount() - 1; i >= 0 && !found; --i)
        if (auto* f = dynamic_cast<TCustomForm*>(Application->Components(i))) {
          ADD_FAILURE() << "form " << f->ClassName() << " \"" << f->Name() << "\" was never freed";
          delete f;
          found = true;
        }
    }
  }

  // Runs SQL on the instance file as another program would (no cursor of the monitor sees it).
  void Sim(const std::string& Sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(getenv("TALVIK_SIM_DB"), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << Sql;
    sqlite3_free(error);
    sqlite3_close(db);
  }
  static std::string Text(const char* Value) { return Value ? "'" + std::string(Value) + "'" : "NULL"; }
  void AddSession(const SimSession& s) {
    const std::string now = "(SELECT value FROM sim$meta WHERE key = 'clock_frozen')";
    const std::string id = std::to_string(s.sid);
    Sim("INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, status, program, "
        "client_info, "
        "machine, osuser, module, action, saddr, paddr, spid, pprogram, last_call, wait_since, event, "
        "wait_time, command, consistent_gets, block_gets, physical_reads, cpu_us) VALUES (" +
        id + ", " + std::to_string(s.sid * 3 + 1) + ", " + Text(s.user) + ", 59, 1, datetime(" + now +
        " - 86400, 'unixepoch', 'localtime'), " + Text(s.status) + ", " + Text(s.program) + ", " +
        Text(s.clientInfo) + ", " + Text(s.machine) + ", " + Text(s.osUser) + ", " + Text(s.module) + ", " +
        Text(s.action) + ", CAST('S" + id + "' AS BLOB), CAST('P" + id + "' AS BLOB), '" +
        std::to_string(30000 + s.sid) + "', " + Text(s.processProgram) + ", " + now + " - " +
        std::to_string(s.idleSeconds) + ", " + now + " - " + std::to_string(s.idleSeconds) + ", " +
        Text(s.event) + ", " + std::to_string(s.waitTime) + ", " + std::to_string(s.command) + ", " +
        std::to_string(s.sid * 10) + ", " + std::to_string(s.sid) + ", 7, " + std::to_string(s.sid * 1000) +
        ")");
  }
  void AddFixtureSessions() {
    for (const SimSession& s : FixtureSessions()) AddSession(s);
  }
  // `Count` active user sessions of a load program, SIDs from `FirstSid` on.
  void AddLoad(int Count, int FirstSid = 500, int IdleSeconds = 1) {
    for (int i = 0; i < Count; ++i)
      AddSession({FirstSid + i, "LOAD", "ACTIVE", IdleSeconds, 3, "load.exe", nullptr, "loadsrv", "load",
                  nullptr, nullptr, "db file sequential read", 1, "oracle@dbsrv01 (TNS V1-V3)"});
  }
  void SetStatus(int Sid, const char* Status, int IdleSeconds) {
    Sim("UPDATE sim$sessions SET status = '" + std::string(Status) +
        "', last_call = (SELECT value FROM sim$meta WHERE key = 'clock_frozen') - " +
        std::to_string(IdleSeconds) + " WHERE sid = " + std::to_string(Sid));
  }
  void RemoveSession(int Sid) { Sim("DELETE FROM sim$sessions WHERE sid = " + std::to_string(Sid)); }
  // The first column of the first row of SQL run on the instance file as another program would ("" when
  // there is none).
  static std::string SimValue(const std::string& Sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(getenv("TALVIK_SIM_DB"), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* st = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, Sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
      value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    else
      EXPECT_TRUE(st) << sqlite3_errmsg(db) << "\n" << Sql;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
  }
  // Whether the instance ever took the statement (its shared pool holds it, as the client sent it).
  static bool InSharedPool(std::string Sql) {
    std::erase(Sql, '\r');
    for (std::size_t p = 0; (p = Sql.find('\'', p)) != std::string::npos; p += 2) Sql.insert(p, 1, '\'');
    return SimValue("SELECT count(*) FROM sim$sqlarea WHERE sql_text = '" + Sql + "'") != "0";
  }
  // The row locks a session holds in the instance.
  static int RowLocksOf(const std::string& Sid) {
    return std::stoi(SimValue("SELECT count(*) FROM sim$locks WHERE sid = " + Sid));
  }

  // Stores a setting of the program before the window reads it.
  static void Store(const std::string& Name, const std::string& Value) {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("", Name, Value);
  }
  static std::string Stored(const std::string& Section, const std::string& Name) {
    TRegIniFile ini(kSettingsKey);
    return ini.ReadString(Section, Name, "<none>");
  }

  // Creates and shows the session window as the start-up routine does.
  void Open() {
    TSessionForm* f = nullptr;
    Application->CreateForm(f);
    form = f;
  }

  // The record of the list with that SID made current; false when it is not listed.
  bool GoTo(int Sid) {
    TDataSet* ds = form->odsSession;
    ds->First();
    while (!ds->Eof()) {
      if (ds->FieldByName("SID")->AsString() == std::to_string(Sid)) return true;
      ds->Next();
    }
    return false;
  }
  // A click on the SID cell of the session's row, as the mouse gives it.
  void ClickSession(int Sid) {
    ASSERT_TRUE(GoTo(Sid)) << Sid;
    Application->ProcessMessages();
    TDBGridEx* g = form->dbgSession;
    const int row = g->DataLink()->ActiveRecord() + g->TitleOffset();
    const TRect r = g->CellRect(g->IndicatorOffset(), row);
    logontest::Click(g, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    Application->ProcessMessages();
    ASSERT_EQ(form->odsSession->FieldByName("SID")->AsString(), std::to_string(Sid));
  }
  void ShowTab(TTabSheet* Tab) {
    form->pcSession->SetActivePage(Tab);
    Application->ProcessMessages();
  }
  // A field of the listed session with that SID ("<not listed>" when it is not).
  std::string Field(int Sid, const std::string& Name) {
    return GoTo(Sid) ? form->odsSession->FieldByName(Name)->AsString() : "<not listed>";
  }
  std::vector<std::string> ListedSids() {
    std::vector<std::string> sids;
    TDataSet* ds = form->odsSession;
    ds->First();
    while (!ds->Eof()) {
      sids.push_back(ds->FieldByName("SID")->AsString());
      ds->Next();
    }
    return sids;
  }
  std::string Panel(int Index) { return form->StatusBar->Panels()->Items(Index)->Text(); }
  // "message|variables" of each alarm row, top first.
  std::vector<std::string> Alarms() {
    std::vector<std::string> rows;
    TListItems* items = form->lvAlarm->Items();
    for (int i = 0; i < items->Count(); ++i)
      rows.push_back(items->Item(i)->SubItems()->Strings(2) + "|" + items->Item(i)->SubItems()->Strings(3));
    return rows;
  }
  std::vector<std::string> Spoken() {
    std::vector<std::string> lines;
    std::ifstream in(speechLog_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The texts of the boxes shown since the last call.
  std::vector<std::string> TakeBoxes() {
    std::vector<std::string> texts;
    for (const Box& b : boxes) texts.push_back(b.caption + ": " + b.text);
    boxes.clear();
    return texts;
  }
  // A statement's rows as text, run on a connection of its own.
  std::vector<std::string> Query(const std::string& Sql) {
    TOracleSession other(nullptr);
    LogOnAsSystem(other);
    TOracleQuery q(nullptr);
    q.SetSession(&other);
    q.SQL()->SetText(Sql);
    q.Execute();
    std::vector<std::string> rows;
    for (; !q.Eof(); q.Next()) rows.push_back(q.Field(0).AsString());
    return rows;
  }
  void AutoRefreshOn() {
    if (!form->aAutoRefresh->Checked()) form->aAutoRefresh->Execute();
  }
  // Runs a statement on a connection of its own as SYSTEM.
  void Exec(const std::string& Sql) {
    TOracleSession other(nullptr);
    LogOnAsSystem(other);
    TOracleQuery q(nullptr);
    q.SetSession(&other);
    q.SQL()->SetText(Sql);
    q.Execute();
  }
  // "sid,serial" of the monitor's own session.
  std::string MonitorPair() {
    const auto rows = Query("select sid || ',' || serial# from v$session where client_info = 'Talvik'");
    return rows.empty() ? "" : rows[0];
  }
  std::string MonitorSid() {
    const std::string pair = MonitorPair();
    return pair.substr(0, pair.find(','));
  }
  // The monitor's connection ends as a cut line would end it: its next call fails with ORA-03113.
  void CutMonitor() { Exec("ALTER SYSTEM DISCONNECT SESSION '" + MonitorPair() + "'"); }
  // A status of v$session ("<gone>" when the session is not there).
  std::string InstanceStatus(int Sid) {
    const auto rows = Query("select status from v$session where sid = " + std::to_string(Sid));
    return rows.empty() ? "<gone>" : rows[0];
  }
  // Sends a key to the grid as the keyboard would.
  void KeyToGrid(WORD Vk) {
    form->dbgSession->SetFocus();
    logontest::Key(Vk);
    Application->ProcessMessages();
  }

  TSessionForm* form = nullptr;
  talvik::gui::FakeTrayShell shell;
  std::shared_ptr<oracle_sim::Instance> instance_;

 private:
  std::string speechLog_;
  static inline int counter_ = 0;
};

}  // namespace sessiontest
