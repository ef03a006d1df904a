// The session window's list on a scripted instance: its columns and the texts the instance gives
// them, the refresh paths, position keeping and watch mode, the user/background filter with the
// session count, the status bar and the column chooser.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "platform/rtl/Process.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace sessiontest {
namespace {

TEST_F(SessionFormTest, TheGridHasItsColumnsInOrderWithTitlesWidthsAndVisibility) {
  Open();
  struct Expected {
    const char* field;
    const char* title;
    bool visible;
    int width;  // 0: not fixed by the layout
  };
  const Expected expected[] = {
      {"SID", "SID", true, 46},
      {"SERVER_PID", "SPID", false, 46},
      {"SERIAL", "Serial#", false, 49},
      {"STATUS", "Статус", true, 62},
      {"ORACLE_USER", "Oracle user", true, 80},
      {"OS_USER", "OS user", true, 59},
      {"MACHINE", "Компьютер", true, 78},
      {"COMMAND", "Команда", true, 61},
      {"CLIENT_PROGRAM", "Программа", true, 110},
      {"ACTION", "Действие", false, 153},
      {"CPU_USAGE", "CPU", true, 60},
      {"LOGICAL_READS", "Логич. чтений", true, 0},
      {"PHYSICAL_READS", "Физич. чтений", true, 54},
      {"BLOCK_CHANGES", "Изменено блоков", false, 0},
      {"CONSISTENT_GETS", "Целостных чтений", false, 66},
      {"BLOCK_GETS", "Прочитано блоков", false, 66},
      {"WAIT_ID", "Ожидание|SEQ#", false, 46},
      {"WAIT_STATE", "Ожидание|\x43татус (время)", false, 109},  // a Latin C
      {"WAIT_EVENT", "Ожидание|Событие", false, 114},
      {"LOGON_TIME", "Время соединения", true, 108},
      {"LAST_CALL_ET", "Время простоя", true, 74},
  };
  TDBGridColumnsEx* columns = form->dbgSession->Columns();
  ASSERT_EQ(columns->Count(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < columns->Count(); ++i) {
    SCOPED_TRACE(expected[i].field);
    TColumnEx* c = columns->Items(i);
    EXPECT_EQ(c->FieldName(), expected[i].field);
    EXPECT_EQ(c->Title()->Caption(), expected[i].title);
    EXPECT_EQ(c->Title()->Hint(), expected[i].field);
    EXPECT_EQ(c->Visible(), expected[i].visible);
    if (expected[i].width) {
      EXPECT_EQ(c->Width(), expected[i].width);
    }
  }
  EXPECT_TRUE(form->odsSession->ReadOnly());
  EXPECT_EQ(form->odsSession->ReadBuffer(), 1000);
  EXPECT_EQ(form->odsSession->Filter(), "prname = 'USER'");
  EXPECT_TRUE(form->odsSession->Filtered());
}

TEST_F(SessionFormTest, TheListIsReadWithTheStoredStatementLineByLineButForTheIdleHours) {
  Open();
  std::string expected = monitor_sql::kSessionList;
  const std::string hours = "LPAD(TO_CHAR(TRUNC(s.last_call_et/3600)),2,'0')";
  expected.replace(expected.find(hours), hours.size(), "TO_CHAR(TRUNC(s.last_call_et/3600),'FM999999900')");
  for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
    expected.insert(at, "\r");
  EXPECT_EQ(form->odsSession->SQL()->Text(), expected);
}

TEST_F(SessionFormTest, EachColumnShowsTheInstancesTextForTheFixturesRows) {
  AddFixtureSessions();
  Open();
  form->aSystemSession->Execute();  // background processes too
  struct Cell {
    int sid;
    const char* field;
    const char* text;
  };
  const Cell cells[] = {
      {101, "STATUS", "INACTIVE"},
      {101, "ORACLE_USER", "SCOTT"},
      {101, "LAST_CALL_ET", "00 ч. 40 мин."},  // string fields come trimmed
      {101, "LAST_CALL_ET_S", "2400"},
      {101, "WAIT_STATE", "Waiting (2400 s)"},
      {101, "WAIT_EVENT", "SQL*Net message from client"},
      {101, "COMMAND", "NONE"},
      {101, "CLIENT_PROGRAM", "sqlplus.exe"},
      {101, "SERIAL", "304"},
      {101, "PRNAME", "USER"},
      {102, "COMMAND", "UPDATE"},
      {102, "STATUS", "ACTIVE"},
      {102, "LAST_CALL_ET", "00 ч. 07 мин."},
      {103, "WAIT_STATE", "Waited Known Time ( 30 ms )"},
      {103, "MACHINE", "appsrv01"},
      {103, "OS_USER", "app"},
      {103, "ACTION", "Checkout"},
      {103, "COMMAND", "SELECT"},
      {104, "COMMAND", "UNKNOWN"},
      {104, "WAIT_STATE", "Waited Short Time"},
      {105, "CLIENT_PROGRAM", "Report Server"},
      {105, "WAIT_STATE", "Waited Unknown Time"},
      {106, "ORACLE_USER", "(J000)"},
      {107, "LAST_CALL_ET", "123 ч. 05 мин."},  // the hours keep every digit
      {1, "ORACLE_USER", "SYS (PMON)"},
      {1, "PRNAME", "PMON"},
  };
  for (const Cell& c : cells) EXPECT_EQ(Field(c.sid, c.field), c.text) << c.sid << " " << c.field;
}

TEST_F(SessionFormTest, TheUserAndBackgroundSwitchesPickTheFilterAndTheCountFollows) {
  AddFixtureSessions();
  Open();
  struct Case {
    bool user, system;
    const char* filter;
  };
  const Case cases[] = {
      {true, true, ""},
      {false, true, "prname <> 'USER'"},
      {false, false, "1 <> 1"},
      {true, false, "prname = 'USER'"},
  };
  for (const Case& c : cases) {
    if (form->aUserSession->Checked() != c.user) form->aUserSession->Execute();
    if (form->aSystemSession->Checked() != c.system) form->aSystemSession->Execute();
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(form->odsSession->Filter(), c.filter);
    EXPECT_EQ(Panel(0), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount()));
    for (const std::string& sid : ListedSids()) {
      const bool background = Field(std::stoi(sid), "PRNAME") != "USER";
      EXPECT_TRUE(background ? c.system : c.user) << sid;
    }
  }
  EXPECT_EQ(Panel(0), " Всего сеансов: 8");  // the seven and the monitor
}

}  // namespace
}  // namespace sessiontest

namespace sessiontest {
namespace {

TEST_F(SessionFormTest, AFirstRefreshFailingAtShowGoesToTheErrorBoxAndTheOtherStepsStillRun) {
  // a user who may not read the dynamic performance views
  LogonWith("scott", "tiger");
  MainForm->aLogin->Execute();
  TakeBoxes();
  Open();
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 2u);  // the list, then the restricted-logins note
  for (const std::string& box : shown) EXPECT_NE(box.find("ORA-00942"), std::string::npos) << box;
  EXPECT_EQ(form->PopupMenuTitle->Items()->Count(), 21);
  EXPECT_EQ(Panel(2), " Oracle " + OracleVersion);
  EXPECT_TRUE(form->Visible());
}

}  // namespace
}  // namespace sessiontest
