// The main window and the session window through a logon made again while the program runs: one that
// fails and is given up, one that succeeds for a user who may not read the list, and refreshes that
// fail on a connection the server dropped. What the windows then name and count, and the boxes that
// stand meanwhile (time passing under each box as a user reads it).
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "oracle/OracleLogon.h"

namespace sessiontest {
namespace {

constexpr const char* kCaption = "Talvik for Oracle - ";
constexpr const char* kNoSessions = " Всего сеансов: 0";

class LogonAgainTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    if (HasFatalFailure()) return;
    // Each box stands while the timer's interval passes three times: whatever fires meanwhile and
    // shows a box of its own stacks it over this one.
    talvik::gui::SetMessageBoxHandler(
        [this](HWND, const std::string& text, const std::string& caption, UINT) {
          boxes.push_back({text, caption, 0});
          if (standing_ > 0) stacked_.push_back(caption + ": " + text);
          ++standing_;
          Tick(3);
          --standing_;
          return IDOK;
        });
  }
  void Tick(int Ticks) {
    for (int i = 0; i < Ticks; ++i) {
      guitest::FakeNow() += form ? form->Timer->Interval() : 1000;
      Application->ProcessMessages();
    }
  }
  // Opens the session window listing the fixture's sessions, with auto-refresh on; counts the list's
  // refreshes from then on.
  void OpenWithAutoRefresh() {
    AddFixtureSessions();
    Open();
    AutoRefreshOn();
    ASSERT_TRUE(form->Timer->Enabled());
    form->odsSession->AfterRefresh = [this](TDataSet*) { ++refreshes_; };
  }
  // The next logon dialog: time passes while it stands, then the user types and confirms.
  void LogonAfterAWhile(const std::string& User, const std::string& Password) {
    OnLogonForm([this, User, Password](TLogOnForm* f) {
      const int before = refreshes_;
      Tick(3);
      refreshedUnderTheDialog_ += refreshes_ - before;
      logontest::Type(f->UsernameEdit, User);
      logontest::Type(f->PasswordEdit, Password);
      logontest::Click(f->OKBtn);
    });
  }
  void CancelTheDialog() {
    OnLogonForm([](TLogOnForm* f) { logontest::Click(f->CancelBtn); });
  }
  std::string Count() { return Panel(0); }

  int refreshes_ = 0;
  int refreshedUnderTheDialog_ = 0;
  int standing_ = 0;
  std::vector<std::string> stacked_;
};

// "Подключиться ...", a wrong password, the server's refusal, Cancel: the connection the attempt
// logged off is named nowhere, the list counts nothing, and no refresh runs or tells of it.
TEST_F(LogonAgainTest, AFailedLogonGivenUpNamesNoConnectionAndCountsNothing) {
  OpenWithAutoRefresh();
  const std::string connected = MainForm->Caption();
  ASSERT_EQ(connected.rfind("Talvik for Oracle -  [SYSTEM@", 0), 0u) << connected;
  ASSERT_FALSE(MainForm->cbConnections->Text().empty());
  ASSERT_NE(Count(), kNoSessions);
  TakeBoxes();
  LogonAfterAWhile("system", "wrong");
  CancelTheDialog();
  MainForm->aLogin->Execute();
  EXPECT_FALSE(MainForm->OracleSession->Connected());
  const auto shown = TakeBoxes();
  EXPECT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_NE(shown.at(0).find("ORA-01017"), std::string::npos) << shown[0];
  EXPECT_EQ(stacked_, std::vector<std::string>{});
  EXPECT_EQ(refreshedUnderTheDialog_, 0);
  EXPECT_EQ(MainForm->Caption(), kCaption);
  EXPECT_EQ(MainForm->cbConnections->ItemIndex(), -1);
  EXPECT_EQ(MainForm->cbConnections->Text(), "");
  EXPECT_EQ(MainForm->cbConnections->Items()->Count(), 1);  // still there to be chosen again
  EXPECT_EQ(MainForm->SysTrayIcon->Hint(), kCaption);
  EXPECT_EQ(Count(), kNoSessions);
  EXPECT_FALSE(form->odsSession->Active());
  // no tick comes while nothing is connected
  Tick(5);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_EQ(Count(), kNoSessions);
  // a logon again names the connection and lists anew
  LogonWith("system", "manager");
  MainForm->aLogin->Execute();
  EXPECT_EQ(MainForm->Caption(), connected);
  EXPECT_EQ(Field(101, "ORACLE_USER"), "SCOTT");
  EXPECT_EQ(Count(), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount()));
}

// A logon from the connections box that fails: the same, before the application's box shows the error.
TEST_F(LogonAgainTest, AFailedLogonFromTheConnectionsBoxNamesNoConnectionUnderItsBox) {
  OpenWithAutoRefresh();
  LogonHistory()->Clear();
  AddHistory(LogonHistory(), "NOBODY", "x", true, "", "");
  MainForm->cbConnections->Items()->Add("NOBODY");
  MainForm->cbConnections->SetItemIndex(1);
  try {
    MainForm->cbConnectionsCloseUp(MainForm->cbConnections);
    ADD_FAILURE() << "the logon did not fail";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode(), 1017);
    EXPECT_EQ(MainForm->Caption(), kCaption);
    EXPECT_EQ(MainForm->cbConnections->ItemIndex(), -1);
    EXPECT_EQ(Count(), kNoSessions);
    EXPECT_FALSE(form->Timer->Enabled());
  }
}

// A logon as a user without access to the session views: the server's refusal in the logon's box,
// with no refresh box over it or after it, and a count of what the (empty) list shows.
TEST_F(LogonAgainTest, ALogonThatCannotListShowsOneBoxAndCountsNothing) {
  OpenWithAutoRefresh();
  TakeBoxes();
  LogonAfterAWhile("scott", "tiger");
  MainForm->aLogin->Execute();
  ASSERT_TRUE(MainForm->OracleSession->Connected());
  EXPECT_EQ(MainForm->Caption().rfind("Talvik for Oracle -  [SCOTT@", 0), 0u) << MainForm->Caption();
  const auto shown = TakeBoxes();
  EXPECT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_NE(shown.at(0).find("ORA-00942"), std::string::npos) << shown[0];
  EXPECT_EQ(stacked_, std::vector<std::string>{});
  EXPECT_EQ(refreshedUnderTheDialog_, 0);
  EXPECT_EQ(Count(), kNoSessions);
  Tick(5);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
}

// The program's own session killed from outside, then F5 twice: each failure shows its box, and the
// count follows the list the failure left.
TEST_F(LogonAgainTest, AFailedRefreshCountsWhatTheListShows) {
  AddFixtureSessions();
  Open();
  ASSERT_NE(Count(), kNoSessions);
  Exec("ALTER SYSTEM KILL SESSION '" + MonitorPair() + "'");
  TakeBoxes();
  for (const char* error : {"ORA-00028", "ORA-03114"}) {
    KeyToGrid(VK_F5);
    const auto shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
    EXPECT_NE(shown[0].find(error), std::string::npos) << shown[0];
    EXPECT_EQ(Count(), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount())) << error;
    EXPECT_EQ(Count(), kNoSessions) << error;
  }
}

// The instance's session table gone, then F5: the server's error in one box, and the count follows.
TEST_F(LogonAgainTest, ARefreshOnADamagedInstanceCountsWhatTheListShows) {
  AddFixtureSessions();
  Open();
  ASSERT_NE(Count(), kNoSessions);
  Sim("DROP TABLE sim$sessions");
  TakeBoxes();
  KeyToGrid(VK_F5);
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_NE(shown[0].find("ORA-"), std::string::npos) << shown[0];
  EXPECT_EQ(Count(), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount()));
}

// The program's own session killed from outside, F5, and another program's session takes the SID it
// left; then "Подключиться ..." again, and the other session logs off: the list shows the program's
// own new session, and the session finds itself.
TEST_F(LogonAgainTest, ALogonAgainAfterTheProgramSessionWasKilledListsTheProgramSession) {
  AddFixtureSessions();
  Open();
  const std::string killed = MonitorSid();
  ASSERT_NE(killed, "");
  Exec("ALTER SYSTEM KILL SESSION '" + MonitorPair() + "'");
  TakeBoxes();
  KeyToGrid(VK_F5);
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_NE(shown[0].find("ORA-00028"), std::string::npos) << shown[0];
  TOracleSession other(nullptr);
  LogOnAsSystem(other);
  // "sid,serial" of the session the query runs on, as the instance knows it
  TOracleQuery own(nullptr);
  own.SQL()->SetText(
      "select sid || ',' || serial# from v$session where sid = (select sid from v$mystat where rownum = 1)");
  own.SetSession(&other);
  own.Execute();
  const std::string otherPair = own.Field(0).AsString();
  ASSERT_EQ(otherPair.substr(0, otherPair.find(',')), killed)
      << "the other session takes the SID the killed one left";
  LogonWith("system", "manager");
  MainForm->aLogin->Execute();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  own.Execute();
  EXPECT_EQ(own.Field(0).AsString(), otherPair) << "the killed session's logoff ended the other session";
  other.LogOff();
  KeyToGrid(VK_F5);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  own.SetSession(MainForm->OracleSession);
  own.Execute();
  ASSERT_FALSE(own.Eof()) << "the program's session is not in the instance";
  const std::string pair = own.Field(0).AsString();
  EXPECT_EQ(MonitorPair(), pair);
  const std::string sid = pair.substr(0, pair.find(','));
  EXPECT_EQ(Field(std::stoi(sid), "SERIAL"), pair.substr(pair.find(',') + 1)) << "listed";
}

}  // namespace
}  // namespace sessiontest
