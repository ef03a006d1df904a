// The DBA commands on a scripted instance: the questions asked, what a No or Cancel leaves, what Yes
// sends and what the instance then shows, kill-all's handling of the server's refusals, SQL trace and
// restricted logins with the status panels.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "oracle/Oracle.h"
#include "oracle_sim/engine/EngineState.h"

namespace sessiontest {
namespace {

class CommandsTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    AddFixtureSessions();
    Open();
    TakeBoxes();
  }
  // The question boxes shown since the last call, with their kind.
  std::vector<std::string> Questions() {
    std::vector<std::string> q;
    for (const Box& b : boxes) {
      EXPECT_EQ(b.type & 0xF, static_cast<UINT>(MB_YESNOCANCEL)) << b.text;
      EXPECT_EQ(b.type & 0xF0, static_cast<UINT>(MB_ICONWARNING)) << b.text;
      q.push_back(b.caption + ": " + b.text);
    }
    boxes.clear();
    return q;
  }
  std::string Trace(int Sid) {
    const auto rows = Query("select sql_trace from v$session where sid = " + std::to_string(Sid));
    return rows.empty() ? "<gone>" : rows[0];
  }
};

TEST_F(CommandsTest, NoOrCancelSendsNothingAndLeavesTheCommandPanel) {
  const int answers[] = {IDNO, IDCANCEL};
  for (int answer : answers) {
    ASSERT_TRUE(GoTo(101));
    this->answers = {answer};
    form->aKill->Execute();
    this->answers = {answer};
    form->aTrace->Execute();
    this->answers = {answer};
    form->aRestrictedEnable->Execute();
    EXPECT_EQ(Questions(), (std::vector<std::string>{"Warning: Уничтожить сеанс SID=101 ?",
                                                     "Warning: Трассировать сеанс SID=101 ?",
                                                     "Warning: Включить режим ограничения сеансов?"}));
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(InstanceStatus(101), "INACTIVE");
    EXPECT_EQ(Trace(101), "DISABLED");
    EXPECT_EQ(Query("select logins from v$instance"), std::vector<std::string>{"ALLOWED"});
  }
  // the statement was put into the command query all the same
  EXPECT_EQ(form->oqDDLcommand->SQL()->Text(), "ALTER SYSTEM ENABLE RESTRICTED SESSION\r\n");
}

TEST_F(CommandsTest, KillMarksTheSessionKilledAndTheRowStaysUntilTheNextRefresh) {
  // a real client's session: killed, it learns so at its next call and leaves
  auto scott = oracle_sim::Session::LogOn(instance_, "SCOTT", "TIGER");
  const int sid = scott->SessionId();
  form->aRefresh->Execute();
  ASSERT_TRUE(GoTo(sid));
  const std::string serial = form->odsSession->FieldByName("SERIAL")->AsString();
  answers = {IDYES};
  form->aKill->Execute();
  EXPECT_EQ(Questions(),
            std::vector<std::string>{"Warning: Уничтожить сеанс SID=" + std::to_string(sid) + " ?"});
  EXPECT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '" + std::to_string(sid) + "," + serial + "'\r\n");
  EXPECT_EQ(InstanceStatus(sid), "KILLED");
  EXPECT_EQ(Field(sid, "STATUS"), "INACTIVE");  // not refreshed
  EXPECT_THROW(scott->Prepare("select * from dual")->Execute(), oracle_sim::OraError);
  form->aRefresh->Execute();
  EXPECT_EQ(Field(sid, "STATUS"), "<not listed>");
}

// The panel names the command from the moment it is sent: a kill the server refuses or only marks
// (an active session) shows its own command there, not the one sent before it.
TEST_F(CommandsTest, AKillTheServerRefusesOrMarksStillNamesItsCommandInThePanel) {
  ASSERT_TRUE(GoTo(101));
  answers = {IDYES};
  form->aKill->Execute();
  ASSERT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '101,304'\r\n");
  ASSERT_TRUE(GoTo(102));  // active: the server marks it for kill and says so
  answers = {IDYES};
  try {
    form->aKill->Execute();
    ADD_FAILURE() << "the server said nothing";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode(), 31);
  }
  EXPECT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '102,307'\r\n");
  EXPECT_EQ(InstanceStatus(102), "KILLED");
  ASSERT_TRUE(GoTo(std::stoi(MonitorSid())));
  answers = {IDYES};
  try {
    form->aKill->Execute();
    ADD_FAILURE() << "the kill went through";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode(), 27);
    EXPECT_EQ(e.Message(), "ORA-00027: cannot kill current session");
  }
  EXPECT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '" + MonitorPair() + "'\r\n");
}

TEST_F(CommandsTest, TraceAndKillWantACurrentRow) {
  form->aUserSession->Execute();  // nothing listed
  form->aTrace->Update();
  form->aKill->Update();
  EXPECT_FALSE(form->aTrace->Enabled());
  EXPECT_FALSE(form->aKill->Enabled());
  form->aKill->Execute();
  EXPECT_EQ(Questions(), std::vector<std::string>{});
  form->aUserSession->Execute();
  form->aKill->Update();
  EXPECT_TRUE(form->aKill->Enabled());
}

TEST_F(CommandsTest, TraceSwitchesSqlTraceOnForTheSession) {
  ASSERT_TRUE(GoTo(101));
  answers = {IDYES};
  form->aTrace->Execute();
  EXPECT_EQ(Questions(), std::vector<std::string>{"Warning: Трассировать сеанс SID=101 ?"});
  EXPECT_EQ(Panel(1), " BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(101,304,TRUE); END;\r\n");
  EXPECT_EQ(Trace(101), "ENABLED");
}

TEST_F(CommandsTest, RestrictedLoginsTurnOnAndOffWithTheStatusPanel) {
  EXPECT_EQ(Panel(3), "");
  answers = {IDYES};
  form->aRestrictedEnable->Execute();
  EXPECT_EQ(Questions(), std::vector<std::string>{"Warning: Включить режим ограничения сеансов?"});
  EXPECT_EQ(Panel(3), "Ограничение подключений");
  EXPECT_EQ(Panel(1), " ALTER SYSTEM ENABLE RESTRICTED SESSION\r\n");
  EXPECT_EQ(Query("select logins from v$instance"), std::vector<std::string>{"RESTRICTED"});
  try {
    oracle_sim::Session::LogOn(instance_, "SCOTT", "TIGER");
    ADD_FAILURE() << "a plain user logged on";
  } catch (const oracle_sim::OraError& e) {
    EXPECT_EQ(e.code, 1035);
  }
  answers = {IDYES};
  form->aRestrictedDisable->Execute();
  EXPECT_EQ(Questions(), std::vector<std::string>{"Warning: Выключить режим ограничения сеансов?"});
  EXPECT_EQ(Panel(3), "");
  EXPECT_EQ(Query("select logins from v$instance"), std::vector<std::string>{"ALLOWED"});
}

TEST_F(CommandsTest, KillAllAsksTwiceKeepsSilentOnKilledSessionsAndShowsOtherRefusals) {
  auto scott = oracle_sim::Session::LogOn(instance_, "SCOTT", "TIGER");
  Exec("ALTER SYSTEM KILL SESSION '" + std::to_string(scott->SessionId()) + "," +
       std::to_string(scott->State().serial) + "'");  // marked: the server answers 31 to a second kill
  AutoRefreshOn();
  form->aRefresh->Execute();
  // each box stands while the timer's interval passes three times: no tick refreshes the list under it
  int refreshes = 0, refreshedUnderBoxes = 0;
  form->odsSession->AfterRefresh = [&refreshes](TDataSet*) { ++refreshes; };
  talvik::gui::SetMessageBoxHandler(
      [&](HWND, const std::string& text, const std::string& caption, UINT type) {
        boxes.push_back({text, caption, type});
        const int before = refreshes;
        for (int tick = 0; tick < 3; ++tick) {
          guitest::FakeNow() += form->Timer->Interval();
          Application->ProcessMessages();
        }
        refreshedUnderBoxes += refreshes - before;
        return IDYES;
      });
  form->aKillAll->Execute();
  ASSERT_GE(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Уничтожить все сеансы ?");
  EXPECT_EQ(boxes[1].text, "Вы точно уверены, что надо уничтожить все сеансы ?");
  // the one refusal shown: the program's own session
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text, "ORA-00027: cannot kill current session");
  EXPECT_EQ(boxes[2].caption, "Talvik");
  EXPECT_EQ(refreshedUnderBoxes, 0);
  EXPECT_TRUE(form->Timer->Enabled());
  for (const SimSession& s : FixtureSessions()) EXPECT_EQ(InstanceStatus(s.sid), "KILLED") << s.sid;
  // the list was read again and the count follows it
  EXPECT_EQ(Panel(0), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount()));
  EXPECT_EQ(Field(101, "STATUS"), "KILLED");
}

TEST_F(CommandsTest, KillAllOverAnEmptyListOnlyAsksAndAnotherErrorEndsTheWalk) {
  form->aUserSession->Execute();
  answers = {IDYES, IDYES};
  form->aKillAll->Execute();
  EXPECT_EQ(Questions().size(), 2u);
  EXPECT_EQ(Panel(1), "");
  // an error that is not the server's ends the walk and reaches the caller; the timer runs on
  form->aUserSession->Execute();
  AutoRefreshOn();
  form->odsSession->AfterScroll = [](TDataSet*) { throw Exception("stop"); };
  answers = {IDYES, IDYES};
  EXPECT_THROW(form->aKillAll->Execute(), Exception);
  form->odsSession->AfterScroll = nullptr;
  EXPECT_TRUE(form->Timer->Enabled());
  int killed = 0;
  for (const SimSession& s : FixtureSessions()) killed += InstanceStatus(s.sid) == "KILLED";
  EXPECT_LE(killed, 1);
}

}  // namespace
}  // namespace sessiontest

namespace sessiontest {
namespace {

TEST_F(CommandsTest, ANewLogonReadsTheRestrictedNoteAndTheReleaseAgain) {
  Exec("ALTER SYSTEM ENABLE RESTRICTED SESSION");  // from another program: the panel does not know yet
  EXPECT_EQ(Panel(3), "");
  form->StatusBar->Panels()->Items(2)->SetText("");
  LogonWith("system", "manager");
  MainForm->aLogin->Execute();
  EXPECT_EQ(Panel(3), "Ограничение подключений");
  EXPECT_EQ(Panel(2), " Oracle 9.2.0.8.0");
  Exec("ALTER SYSTEM DISABLE RESTRICTED SESSION");
}

}  // namespace
}  // namespace sessiontest
