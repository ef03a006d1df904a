// Refreshing the session list: without a connection, by hand and on the timer when the server fails
// (a cut line, the program's own session killed, a cut between two fetches), the list coming back
// after a new logon, the interval, watch mode and the kept position.
#include <gtest/gtest.h>

#include <map>

#include "SessionFormTestSupport.h"
#include "app/OptionF.h"
#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarToolbar.h"

namespace sessiontest {
namespace {

constexpr const char* kRefreshFailed = "Talvik: Ошибка обновления";

class RefreshTest : public SessionFormTest {
 protected:
  // Lets the timer's interval pass `Ticks` times, the message loop running.
  void Tick(int Ticks = 1) {
    for (int i = 0; i < Ticks; ++i) {
      guitest::FakeNow() += form->Timer->Interval();
      Application->ProcessMessages();
    }
  }
  // F5 on the grid, as the keyboard gives it: an error reaches the application's box.
  void F5() { KeyToGrid(VK_F5); }
  std::string CurrentSid() { return form->odsSession->FieldByName("SID")->AsString(); }
  std::string CurrentPair() {
    return CurrentSid() + "," + form->odsSession->FieldByName("SERIAL")->AsString();
  }
  int VisualRow() { return form->dbgSession->DataLink()->ActiveRecord(); }
  // A session of another program that took the SID of one gone: the same SID, another serial number.
  void AddStranger(int Sid, int Serial, const char* Status) {
    AddSession({Sid, "HR", Status, 1, 0, "stranger.exe", nullptr, "ws66", "hr", nullptr, nullptr,
                "SQL*Net message from client", 0, "oracle@dbsrv01 (TNS V1-V3)"});
    Sim("UPDATE sim$sessions SET serial = " + std::to_string(Serial) + " WHERE sid = " + std::to_string(Sid));
  }
};

TEST_F(RefreshTest, ClosedAndDisconnectedTellsToConnectAndStopsAutoRefresh) {
  Open();
  AutoRefreshOn();
  ASSERT_TRUE(form->Timer->Enabled());
  form->odsSession->Close();
  MainForm->OracleSession->LogOff();
  TakeBoxes();
  form->aRefresh->Execute();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"Talvik: Подключитесь к базе данных"});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
  EXPECT_FALSE(form->Timer->Enabled());
  EXPECT_FALSE(form->odsSession->Active());
}

TEST_F(RefreshTest, F5FailingShowsTheServersTextAndLeavesAutoRefreshOn) {
  Open();
  AutoRefreshOn();
  CutMonitor();
  TakeBoxes();
  F5();
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("ORA-03113"), std::string::npos) << shown[0];
  EXPECT_TRUE(form->aAutoRefresh->Checked());
  EXPECT_TRUE(form->Timer->Enabled());
}

// A refresh that fails after the rows it had were dropped leaves the grid nothing it cannot show: the
// list's paint (its cell colours ask for the row's number) raises no further box, the row number
// reads without an error.
TEST_F(RefreshTest, AFailedRefreshLeavesTheGridRowsItCanPaint) {
  AddFixtureSessions();
  MainForm->SetBounds(0, 0, 900, 600);
  MainForm->Show();
  Open();
  ASSERT_GT(form->odsSession->RecordCount(), 1);
  CutMonitor();
  TakeBoxes();
  F5();
  const auto failed = TakeBoxes();
  ASSERT_EQ(failed.size(), 1u) << ::testing::PrintToString(failed);
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(
      MainForm->Handle(), logontest::ScreenshotDir() + "/session-list-failed-refresh.png"));
  Application->ProcessMessages();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_NO_THROW(form->dbgSession->SumList()->GetRecNo());
}

TEST_F(RefreshTest, ATickFailingStopsAutoRefreshThenTellsOnceAndNoTickFollows) {
  AddFixtureSessions();
  Open();
  AutoRefreshOn();
  EXPECT_EQ(form->Timer->Interval(), 5000u);
  Tick();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  CutMonitor();
  Tick(3);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{kRefreshFailed});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
  EXPECT_FALSE(form->Timer->Enabled());
}

TEST_F(RefreshTest, TheProgramsOwnSessionKilledUnderAutoRefreshThenANewLogonBringsTheListBack) {
  AddFixtureSessions();
  Open();
  const int listed = form->odsSession->RecordCount();
  AutoRefreshOn();
  Exec("ALTER SYSTEM KILL SESSION '" + MonitorPair() + "'");
  Tick(2);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{kRefreshFailed});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
  // a new logon: the main window's connection is made again and the list reads it
  LogonWith("system", "manager");
  MainForm->aLogin->Execute();  // the main window tells the session window
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_EQ(form->odsSession->RecordCount(), listed);
  EXPECT_EQ(Field(101, "ORACLE_USER"), "SCOTT");
}

TEST_F(RefreshTest, ACutBetweenTwoFetchesLeavesNoCrashAndANewLogonListsEverySession) {
  Sim("WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i + 1 < 2500) "
      "INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, status, program, saddr, "
      "paddr, "
      "spid, pprogram) SELECT 1000 + i, 1, 'SCOTT', 59, 1, datetime('now'), 'INACTIVE', 'load.exe', "
      "CAST(printf('S%07d', i) AS BLOB), CAST(printf('P%07d', i) AS BLOB), CAST(30000 + i AS TEXT), "
      "'oracle@dbsrv01 (TNS V1-V3)' FROM k");
  Open();
  const int listed = form->odsSession->RecordCount();
  ASSERT_GE(listed, 2500);
  AutoRefreshOn();
  // the line goes while the rows of the second batch of a thousand come in
  int seen = 0;
  const auto previous = form->odsSession->OnFilterRecord;
  form->odsSession->OnFilterRecord = [&](TDataSet* d, bool& accept) {
    if (++seen == 1500) CutMonitor();
    previous(d, accept);
  };
  Tick();
  form->odsSession->OnFilterRecord = previous;
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{kRefreshFailed});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
  talvik::gui::UpdateAllWindows(form->Handle());  // the grid paints what it has
  LogonWith("system", "manager");
  MainForm->aLogin->Execute();
  EXPECT_EQ(form->odsSession->RecordCount(), listed);
}

// An interval of 0 (or below) gives a timer that is on but never fires: the list stays as it was.
TEST_F(RefreshTest, AStoredIntervalOfZeroOrBelowGivesATimerThatNeverFires) {
  AddFixtureSessions();
  Store("IntervalAutoRefresh", "0");
  Open();
  AutoRefreshOn();
  EXPECT_EQ(form->IntervalAutoRefresh(), 0);
  EXPECT_TRUE(form->Timer->Enabled());
  EXPECT_EQ(form->Timer->Interval(), 0u);
  const int listed = form->odsSession->RecordCount();
  RemoveSession(101);
  guitest::FakeNow() += 60000;  // a minute goes by: no tick
  Application->ProcessMessages();
  EXPECT_EQ(form->odsSession->RecordCount(), listed);
  form->SetIntervalAutoRefresh(-3);  // as the options dialog stores it
  form->aAutoRefresh->Execute();
  form->aAutoRefresh->Execute();  // off and on again: the timer takes the interval
  EXPECT_TRUE(form->Timer->Enabled());
  EXPECT_EQ(form->Timer->Interval(), 0u);
  guitest::FakeNow() += 60000;
  Application->ProcessMessages();
  EXPECT_EQ(form->odsSession->RecordCount(), listed);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
}

TEST_F(RefreshTest, WatchModeFollowsTheWatchedSessionUpAndDownTheList) {
  AddFixtureSessions();
  Open();
  form->aMonitor->Execute();
  ASSERT_TRUE(form->nMonitorSession->Checked());
  ASSERT_TRUE(GoTo(104));
  // rows come ordered by status: 104 going active moves it above every inactive row
  SetStatus(104, "ACTIVE", 0);
  form->aRefresh->Execute();
  EXPECT_EQ(CurrentSid(), "104");
  const int up = form->odsSession->RecNo();
  SetStatus(104, "INACTIVE", 0);
  form->aRefresh->Execute();
  EXPECT_EQ(CurrentSid(), "104");
  EXPECT_GT(form->odsSession->RecNo(), up);
  // the watched session gone: the list stays where the refresh left it
  RemoveSession(104);
  form->aRefresh->Execute();
  EXPECT_NE(CurrentSid(), "104");
}

TEST_F(RefreshTest, WithoutWatchModeTheCurrentSessionKeepsItsVisualRow) {
  AddFixtureSessions();
  AddLoad(30, 200, 5);  // enough rows to scroll
  MainForm->Show();
  Open();
  ASSERT_TRUE(GoTo(105));
  const int row = form->dbgSession->DataLink()->ActiveRecord();
  const int recNo = form->odsSession->RecNo();
  RemoveSession(107);  // below it, and a new one at the end
  AddSession({900, "SCOTT", "INACTIVE", 1, 0, "sqlplus.exe", nullptr, "ws09", "scott", nullptr, nullptr,
              "SQL*Net message from client", 0, "oracle@dbsrv01 (TNS V1-V3)"});
  form->aRefresh->Execute();
  EXPECT_EQ(CurrentSid(), "105");
  EXPECT_EQ(form->odsSession->RecNo(), recNo);
  EXPECT_EQ(form->dbgSession->DataLink()->ActiveRecord(), row);
}

// Sessions come and go above the clicked one (the list is ordered by status, the active first): F5 and
// the timer keep the clicked session current, on the screen row it had, as long as the instance lists
// it; once it is gone the list keeps the place on the screen.
TEST_F(RefreshTest, TheClickedSessionStaysCurrentAtItsRowThroughF5AndTheTimerWhileItLives) {
  AddFixtureSessions();
  AddLoad(30, 200, 5);
  MainForm->SetBounds(0, 0, 1000, 900);
  MainForm->Show();
  Open();
  ClickSession(105);
  const std::string pair = CurrentPair();
  const int row = VisualRow();
  ASSERT_GT(row, 0);
  AutoRefreshOn();
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    RemoveSession(200 + 2 * round);  // two active sessions above it leave, another comes
    RemoveSession(201 + 2 * round);
    AddLoad(1, 300 + round);
    if (round % 3 == 2) {
      Tick();
    } else {
      F5();
    }
    EXPECT_EQ(CurrentPair(), pair);
    EXPECT_EQ(VisualRow(), row);
    EXPECT_EQ(Panel(0), " Всего сеансов: " + std::to_string(form->odsSession->RecordCount()));
  }
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  // the detail panel shows the same session
  EXPECT_EQ(form->odsSession->FieldByName("SID")->AsString(), "105");
  const int recNo = form->odsSession->RecNo();
  RemoveSession(105);
  F5();
  EXPECT_EQ(form->odsSession->RecNo(), recNo);
  EXPECT_EQ(VisualRow(), row);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
}

// Watch mode follows SID and serial number together: a session that takes the watched one's SID once
// it has gone is not followed, and the list stays where the refresh left it.
TEST_F(RefreshTest, WatchModeFollowsSidAndSerialTogether) {
  AddFixtureSessions();
  Open();
  form->aMonitor->Execute();
  ASSERT_TRUE(GoTo(104));
  const std::string pair = CurrentPair();
  SetStatus(104, "ACTIVE", 0);
  form->aRefresh->Execute();
  EXPECT_EQ(CurrentPair(), pair);
  RemoveSession(104);
  AddStranger(104, 999, "INACTIVE");
  form->aRefresh->Execute();
  EXPECT_NE(CurrentPair(), "104,999");
  EXPECT_EQ(form->odsSession->RecNo(), 1);  // the refresh leaves the list on its first row
  answers = {IDNO};
  TakeBoxes();
  form->aKill->Execute();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"Warning: Уничтожить сеанс SID=" + CurrentSid() + " ?"});
  EXPECT_NE(CurrentSid(), "104");
}

// Watch mode ends with the session it watched, gone after F5 and after a tick alike: its check mark
// goes from the popup menu, the menu bar and the toolbar, the list stays where the refresh left it, and
// the refreshes after it watch nothing until the user chooses again. A kill then names and reaches the
// session of the current row, and only it.
TEST_F(RefreshTest, WatchModeEndsWithTheWatchedSessionAndAKillAfterReachesTheCurrentRowOnly) {
  AddFixtureSessions();
  MainForm->Show();
  Open();
  AutoRefreshOn();
  const auto watching = [this] {
    const auto* menuBar = dynamic_cast<TBarItem*>(MainForm->ToolBarMainMenu->Items()->Items(3)->Items(0));
    const auto* toolbar = dynamic_cast<TBarItem*>(MainForm->ToolBarSession->Items()->Items(0));
    EXPECT_TRUE(menuBar && toolbar && menuBar->Action() == form->aMonitor &&
                toolbar->Action() == form->aMonitor);
    return std::to_string(form->aMonitor->Checked()) + std::to_string(form->nMonitorSession->Checked()) +
           std::to_string(menuBar && menuBar->Checked()) + std::to_string(toolbar && toolbar->Checked());
  };
  for (const bool byTimer : {false, true}) {
    SCOPED_TRACE(byTimer ? "by the timer" : "by F5");
    const int sid = byTimer ? 105 : 104;
    ASSERT_TRUE(GoTo(sid));
    if (!form->aMonitor->Checked()) form->aMonitor->Execute();
    ASSERT_EQ(watching(), "1111");
    RemoveSession(sid);
    AddStranger(sid, 999, "INACTIVE");  // a newcomer with its SID
    byTimer ? Tick() : F5();
    EXPECT_EQ(watching(), "0000") << "still watching " << CurrentPair();
    EXPECT_EQ(form->odsSession->RecNo(), 1);  // where the refresh left the list
    EXPECT_NE(CurrentPair(), std::to_string(sid) + ",999");
    // the refreshes after it watch nothing, the current row's session moving or not
    SetStatus(101, "ACTIVE", 0);
    F5();
    Tick();
    EXPECT_EQ(watching(), "0000");
  }
  // the session the user is on
  ASSERT_TRUE(GoTo(107));
  const std::string pair = CurrentPair();
  F5();
  ASSERT_EQ(CurrentPair(), pair);
  TakeBoxes();
  answers = {IDYES};
  form->aKill->Execute();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"Warning: Уничтожить сеанс SID=107 ?"});
  EXPECT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '" + pair + "'\r\n");
  EXPECT_EQ(Query("select sid || ',' || serial# from v$session where status = 'KILLED'"),
            std::vector<std::string>{pair});
}

// Every box and dialog stands while the timer's interval passes three times, as a user reads it: a
// refresh meanwhile is counted, and a box shown meanwhile stands over the first.
class BoxStandsTest : public RefreshTest {
 protected:
  void SetUp() override {
    RefreshTest::SetUp();
    if (HasFatalFailure()) return;
    talvik::gui::SetMessageBoxHandler(
        [this](HWND, const std::string& text, const std::string& caption, UINT) {
          boxes.push_back({text, caption, 0});
          Stand(caption + ": " + text);
          return caption == "Warning" ? IDNO : IDOK;
        });
  }
  void Stand(const std::string& What) {
    if (!standing_.empty()) stacked_.push_back(What + " over " + standing_.back());
    standing_.push_back(What);
    const int before = refreshes_;
    if (form) Tick(3);
    refreshedUnder_[What] += refreshes_ - before;
    standing_.pop_back();
  }
  void OpenWithAutoRefresh() {
    AddFixtureSessions();
    Open();
    AutoRefreshOn();
    ASSERT_TRUE(form->Timer->Enabled());
    form->odsSession->AfterRefresh = [this](TDataSet*) { ++refreshes_; };
  }

  int refreshes_ = 0;
  std::vector<std::string> standing_, stacked_;
  std::map<std::string, int> refreshedUnder_;
};

// The program's own session killed from outside, auto-refresh on, F5: the server's error in one box and
// no tick under it; the tick after it fails as ticks do, in a box of its own, and no tick follows.
TEST_F(BoxStandsTest, AFailedF5WithAutoRefreshOnShowsOneBoxAtATime) {
  OpenWithAutoRefresh();
  Exec("ALTER SYSTEM KILL SESSION '" + MonitorPair() + "'");
  TakeBoxes();
  F5();
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_NE(shown[0].find("ORA-00028"), std::string::npos) << shown[0];
  EXPECT_EQ(stacked_, std::vector<std::string>{});
  EXPECT_TRUE(form->aAutoRefresh->Checked());
  Tick();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{kRefreshFailed});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
  EXPECT_FALSE(form->Timer->Enabled());
  Tick(3);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_EQ(stacked_, std::vector<std::string>{});
}

// No tick refreshes while a question or a dialog of the program stands (the kill question, the options
// dialog); the first tick after it does.
TEST_F(BoxStandsTest, NoTickRefreshesUnderAQuestionOrADialogAndTheTickAfterDoes) {
  OpenWithAutoRefresh();
  ASSERT_TRUE(GoTo(101));
  TakeBoxes();
  form->aKill->Execute();
  Then("TOptionsForm", [this](TCustomForm* f) {
    Stand(f->Caption());
    f->SetModalResult(mrCancel);
  });
  MainForm->aOptions->Execute();
  EXPECT_EQ(refreshedUnder_,
            (std::map<std::string, int>{{"Warning: Уничтожить сеанс SID=101 ?", 0}, {"Настройка", 0}}));
  const int before = refreshes_;
  Tick();
  EXPECT_EQ(refreshes_, before + 1);
  EXPECT_EQ(stacked_, std::vector<std::string>{});
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"Warning: Уничтожить сеанс SID=101 ?"});
}

// A menu of the program stands (the list's own menu, its column menu, a menu of the menu bar) while
// the instance changes under it and the timer's interval passes three times, as a user reads it.
class MenuStandsTest : public RefreshTest {
 protected:
  void SetUp() override {
    RefreshTest::SetUp();
    if (HasFatalFailure()) return;
    AddFixtureSessions();
    MainForm->SetBounds(0, 0, 1000, 700);
    MainForm->Show();
    Open();
    AutoRefreshOn();
    ASSERT_TRUE(form->Timer->Enabled());
    form->odsSession->AfterRefresh = [this](TDataSet*) { ++refreshes_; };
    // both kinds of menu loop tell when they wait: the next step runs then
    const auto step = [this] {
      if (next_ < steps_.size()) steps_[next_++]();
      PostMessage(Application->Handle(), WM_NULL);  // the loop wakes up whatever the step did
    };
    hook_ = Application->HookMainWindow([step](TMessage& m) {
      if (m.Msg != WM_ENTERIDLE) return false;
      step();
      return true;
    });
    SetMenuLoopIdleHook(step);
  }
  void TearDown() override {
    SetMenuLoopIdleHook(nullptr);
    if (hook_ >= 0) Application->UnhookMainWindow(hook_);
    RefreshTest::TearDown();
  }
  // The steps the menu's loop runs one by one, each when it has nothing left to do.
  void Drive(std::vector<std::function<void()>> Steps) {
    steps_ = std::move(Steps);
    next_ = 0;
  }
  bool AllStepsRan() const { return next_ == steps_.size(); }
  // The session the user is on ends and a newcomer takes its SID, active, at the top of the list;
  // meanwhile the timer's interval passes three times.
  std::function<void()> InstanceChanges(int Sid) {
    return [this, Sid] {
      RemoveSession(Sid);
      AddStranger(Sid, 999, "ACTIVE");
      guitest::FakeNow() += 3 * form->Timer->Interval();
    };
  }
  // Notes, while the menu stands, the refreshes under it and the session of the current row.
  std::function<void()> Look() {
    return [this] {
      refreshedUnder_ = refreshes_;
      pairUnder_ = CurrentPair();
    };
  }
  void RightClick(int Row) {
    TDBGridEx* g = form->dbgSession;
    const TRect r = g->CellRect(g->IndicatorOffset(), Row);
    const LPARAM at = MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    SendMessage(g->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    SendMessage(g->Handle(), WM_RBUTTONUP, 0, at);
  }
  int RowOf(int Sid) {
    EXPECT_TRUE(GoTo(Sid)) << Sid;
    Application->ProcessMessages();
    return form->dbgSession->DataLink()->ActiveRecord() + form->dbgSession->TitleOffset();
  }
  std::vector<std::string> Killed() {
    return Query("select sid || ',' || serial# from v$session where status = 'KILLED'");
  }

  int refreshes_ = 0;
  int refreshedUnder_ = -1;
  std::string pairUnder_;

 private:
  int hook_ = -1;
  std::vector<std::function<void()>> steps_;
  std::size_t next_ = 0;
};

// The user right-clicks a session and chooses "Уничтожить сеанс" from the list's menu; meanwhile that
// session ends and another takes its SID. No tick refreshes under the menu: the row stays, the question
// names the session chosen, and the kill sent names it alone (the newcomer and every other session of
// the instance live on). The tick after the menu refreshes.
TEST_F(MenuStandsTest, AKillChosenFromTheListsMenuNamesAndReachesTheSessionItWasOpenedOn) {
  ClickSession(104);
  const std::string pair = CurrentPair();
  const int row = RowOf(104);
  TakeBoxes();
  answers = {IDYES};
  // "Уничтожить сеанс" is the last item but one
  Drive({InstanceChanges(104), Look(), [] {
           for (WORD k : {VK_END, VK_UP, VK_RETURN}) logontest::Key(k);
         }});
  RightClick(row);
  ASSERT_TRUE(AllStepsRan()) << "the right click opened no menu";
  EXPECT_EQ(form->dbgSession->PopupMenu(), form->PopupMenuGrid);
  EXPECT_EQ(refreshedUnder_, 0);
  EXPECT_EQ(pairUnder_, pair);
  const auto boxes = TakeBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0], "Warning: Уничтожить сеанс SID=104 ?");
  EXPECT_EQ(Panel(1), " ALTER SYSTEM KILL SESSION '" + pair + "'\r\n");
  // what the instance was given: the one kill, of the session chosen
  EXPECT_TRUE(InSharedPool("ALTER SYSTEM KILL SESSION '" + pair + "'"));
  EXPECT_EQ(SimValue("SELECT count(*) FROM sim$sqlarea WHERE sql_text LIKE 'ALTER SYSTEM KILL SESSION%'"),
            "1");
  EXPECT_EQ(Killed(), std::vector<std::string>{});
  EXPECT_EQ(InstanceStatus(104), "ACTIVE");  // the newcomer
  Tick();
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
}

// The column menu (a right click on the titles) and a menu of the menu bar stand alike: no tick under
// them, the current row stays; the first tick after refreshes. A tick that fails shows its box only
// after the menus.
TEST_F(MenuStandsTest, NoTickRefreshesUnderTheColumnMenuOrTheMenuBarAndTheTickAfterDoes) {
  const auto escape = [] { logontest::Key(VK_ESCAPE); };
  struct Menu {
    const char* name;
    int sid;
    std::function<void()> open;
    std::vector<std::function<void()>> close;
  };
  const Menu menus[] = {
      {"the column menu", 104, [this] { RightClick(0); }, {escape}},
      {"the menu bar",
       105,
       [] {
         TBarToolbarView* bar = MainForm->ToolBarMainMenu->View();
         bar->SelectViewer(bar->Find(MainForm->ToolBarMainMenu->Items()->Items(3)));  // "Сеансы"
         bar->RunMenuLoop(TBarMenuLoopOptions{mloKeyboardEntry, mloOpenSelected});
       },
       {escape, escape}},
  };
  for (const Menu& menu : menus) {
    SCOPED_TRACE(menu.name);
    ClickSession(menu.sid);
    const std::string pair = CurrentPair();
    const int before = refreshes_;
    std::vector<std::function<void()>> steps{InstanceChanges(menu.sid), Look()};
    steps.insert(steps.end(), menu.close.begin(), menu.close.end());
    Drive(steps);
    TakeBoxes();
    menu.open();
    ASSERT_TRUE(AllStepsRan()) << "no menu stood";
    EXPECT_EQ(refreshedUnder_, before);
    EXPECT_EQ(pairUnder_, pair);
    EXPECT_EQ(CurrentPair(), pair);
    EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
    Tick();
    EXPECT_EQ(refreshes_, before + 1);
  }
  // the line cut while the menus stand, the list's own and the menu bar's: no box over them; the tick
  // after them fails, in a box of its own
  ClickSession(101);
  const int row = RowOf(101);
  CutMonitor();
  const auto due = [this] { guitest::FakeNow() += 3 * form->Timer->Interval(); };
  TakeBoxes();
  Drive({due, escape});
  RightClick(row);
  ASSERT_TRUE(AllStepsRan());
  Drive({due, escape, escape});
  menus[1].open();
  ASSERT_TRUE(AllStepsRan());
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_TRUE(form->aAutoRefresh->Checked());
  Tick();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{kRefreshFailed});
  EXPECT_FALSE(form->aAutoRefresh->Checked());
}

}  // namespace
}  // namespace sessiontest
