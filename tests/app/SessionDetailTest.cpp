// The detail panel under the session list, driven through messages against a scripted instance:
// SCOTT (101) with an open transaction on EMP that HR (102) waits behind, and 108 waiting behind HR;
// a statement and cursors whose texts span several 64-character pieces with line breaks; wait events
// at the edges of every unit of the waits tab.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "SessionFormTestSupport.h"
#include "app/ComboBoxQuery.h"
#include "app/ZrDBText3D.h"
#include "app/ZrLabel3D.h"
#include "app/zrOraUtils.h"
#include "editor/CodeEdit.h"
#include "oracle/Oracle.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/DBCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "rtl/TempDir.h"

namespace sessiontest {
namespace {

// The statement SCOTT's session runs, and two more of its open cursors (as the client sent them).
const std::string kScottSql =
    "SELECT e.empno, e.ename, e.sal\r\n  FROM scott.emp e\r\n WHERE e.deptno = 10\r\n   AND e.sal > (SELECT "
    "AVG(s.sal) FROM scott.emp s WHERE s.deptno = e.deptno)\r\n ORDER BY e.ename";
const std::string kCursorSql =
    "UPDATE scott.emp SET sal = sal * 1.1\nWHERE empno IN (SELECT empno FROM scott.emp WHERE job = 'CLERK' "
    "AND hiredate < SYSDATE - 365)";
constexpr const char* kScottAddress = "0000000070A1B2C3";
constexpr const char* kCursorAddress = "0000000070A1C000";

// Wait times (hundredths) of SCOTT's events, one event each, and the text the waits tab shows: a plain
// number in milliseconds, as the tab's titles say, or seconds, minutes and hours with their unit.
struct WaitCase {
  int hundredths;
  const char* shown;
};
const WaitCase kWaitCases[] = {
    {12, "120"},          {50, "500"},        {100, "1000"},           {150, "1,5 сек."},
    {5999, "59,99 сек."}, {6000, "1 мин."},   {6001, "1 мин."},        {359999, "60 мин."},
    {360000, "1 час."},   {360001, "1 час."}, {21600000, "216000000"}, {21600001, "216000010"},
};

class DetailTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    guard_ = std::make_unique<TFormatSettingsGuard>(RussianFormatSettings());
  }
  void TearDown() override {
    guard_.reset();
    SessionFormTest::TearDown();
  }

  static std::string Obj(const char* Name) {
    return std::string("(SELECT obj_id FROM sim$objects WHERE owner = 'SCOTT' AND name = '") + Name + "')";
  }
  // A statement in the shared pool, cut into 64-character pieces as the instance keeps it.
  void AddStatement(const std::string& Address, int Hash, const std::string& Text) {
    Sim("INSERT INTO sim$sqlarea(address, hash_value, sql_text, command_type) VALUES (x'" + Address + "', " +
        std::to_string(Hash) + ", '" + Replace(Text, "'", "''") + "', 3)");
    const std::u32string t = Utf8ToUtf32(Text);
    for (size_t i = 0, piece = 0; i < t.size(); i += 64, ++piece)
      Sim("INSERT INTO sim$sqltext VALUES (x'" + Address + "', " + std::to_string(Hash) + ", " +
          std::to_string(piece) + ", '" + Replace(Utf32ToUtf8(t.substr(i, 64)), "'", "''") + "')");
  }
  static std::string Replace(std::string S, const std::string& From, const std::string& To) {
    for (size_t p = 0; (p = S.find(From, p)) != std::string::npos; p += To.size())
      S.replace(p, From.size(), To);
    return S;
  }
  // The scripted state every test of this file starts from.
  void AddDetailState() {
    AddFixtureSessions();
    AddSession({108, "APP_USER", "ACTIVE", 15, 6, "JDBC Thin Client", nullptr, "appsrv02", "app", nullptr,
                nullptr, "enqueue", 0, "oracle@dbsrv01 (TNS V1-V3)"});
    // SCOTT: a transaction in rollback segment 3 holding a row of EMP
    Sim("UPDATE sim$sessions SET tx_usn = 3, tx_slot = 7, tx_seq = 1234, tx_start_text = '12/07/26 09:15:00' "
        "WHERE sid = 101");
    Sim("INSERT INTO sim$locks(obj_id, rid, sid) VALUES (" + Obj("EMP") + ", 1, 101)");
    Sim("INSERT INTO sim$undo(sid, obj_id, op, rid, vals) VALUES (101, " + Obj("EMP") + ", 'U', 1, NULL)");
    // HR holds another row of EMP and waits for SCOTT's; 108 holds a third and waits for HR's
    Sim("UPDATE sim$sessions SET tx_usn = 5, tx_slot = 2, tx_seq = 77, wait_blocker = 101, wait_obj = " +
        Obj("EMP") + " WHERE sid = 102");
    Sim("INSERT INTO sim$locks(obj_id, rid, sid) VALUES (" + Obj("EMP") + ", 2, 102)");
    Sim("UPDATE sim$sessions SET tx_usn = 6, tx_slot = 4, tx_seq = 88, wait_blocker = 102, wait_obj = " +
        Obj("EMP") + " WHERE sid = 108");
    Sim("INSERT INTO sim$locks(obj_id, rid, sid) VALUES (" + Obj("EMP") + ", 3, 108)");
    // a table-lock chain on DEPT: 109 took DEPT exclusively, 110 waits for it
    AddSession({109, "APP_USER", "INACTIVE", 300, 26, "JDBC Thin Client", nullptr, "appsrv01", "app", nullptr,
                nullptr, "SQL*Net message from client", 0, "oracle@dbsrv01 (TNS V1-V3)"});
    AddSession({110, "APP_USER", "ACTIVE", 20, 6, "JDBC Thin Client", nullptr, "appsrv01", "app", nullptr,
                nullptr, "enqueue", 0, "oracle@dbsrv01 (TNS V1-V3)"});
    Sim("INSERT INTO sim$tmlocks(sid, obj_id, lmode) VALUES (109, " + Obj("DEPT") + ", 6)");
    Sim("UPDATE sim$sessions SET wait_blocker = 109, wait_obj = " + Obj("DEPT") + " WHERE sid = 110");
    // SCOTT's statement and cursors
    AddStatement(kScottAddress, 1357911, kScottSql);
    AddStatement(kCursorAddress, 246810, kCursorSql);
    Sim(std::string("UPDATE sim$sessions SET sql_address = x'") + kScottAddress +
        "', sql_hash = 1357911 WHERE sid = 101");
    Sim(std::string("INSERT INTO sim$open_cursor VALUES (101, 1, x'") + kScottAddress + "', 1357911, '" +
        Replace(kScottSql.substr(0, 60), "'", "''") + "'), (101, 2, x'" + kCursorAddress + "', 246810, '" +
        Replace(kCursorSql.substr(0, 60), "'", "''") + "')");
    // SCOTT's waits
    Sim("DELETE FROM sim$sess_event WHERE sid = 101");
    int n = 0;
    for (const WaitCase& w : kWaitCases)
      Sim("INSERT INTO sim$sess_event VALUES (101, 'event " + std::to_string(++n) + "', 1, 0, " +
          std::to_string(w.hundredths) + ", " + std::to_string(w.hundredths) + ")");
  }

  void Show() {
    MainForm->SetBounds(0, 0, 1000, 720);
    MainForm->Show();
    Open();
    Application->ProcessMessages();
  }
  std::string SqlText() { return form->seSQLText->Lines()->Text(); }
  // The rows of a dataset, fields joined by "|".
  static std::vector<std::string> Rows(TDataSet* DataSet, std::initializer_list<const char*> Fields) {
    std::vector<std::string> rows;
    if (!DataSet->Active()) return rows;
    TBookmarkStr here = DataSet->Bookmark();
    for (DataSet->First(); !DataSet->Eof(); DataSet->Next()) {
      std::string row;
      for (const char* f : Fields) row += (row.empty() ? "" : "|") + DataSet->FieldByName(f)->DisplayText();
      rows.push_back(row);
    }
    if (!here.empty()) DataSet->SetBookmark(here);
    return rows;
  }
  void Shot(const std::string& Name) {
    talvik::gui::UpdateAllWindows(MainForm->Handle());
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(MainForm->Handle(), logontest::ScreenshotDir() + "/" + Name));
  }
  template <class T>
  T* Find(const char* Name) {
    return dynamic_cast<T*>(form->FindComponent(Name));
  }

  std::unique_ptr<TFormatSettingsGuard> guard_;
};

std::string WithoutCr(std::string S) {
  std::erase(S, '\r');
  return S;
}

TEST_F(DetailTest, ThePanelIsHiddenUntilTheFirstClickWhichShowsTheDetailTabWithTheRowsStatement) {
  AddDetailState();
  Show();
  EXPECT_FALSE(form->PanelSession->Visible());
  ClickSession(101);
  ASSERT_TRUE(form->PanelSession->Visible());
  EXPECT_EQ(form->pcSession->ActivePage(), form->tsDetail);
  EXPECT_EQ(WithoutCr(SqlText()), WithoutCr(kScottSql));
  // every caption and value of the tab, values from the current row
  struct Expect {
    const char* name;
    std::string text;
  };
  for (const Expect& e :
       {Expect{"zdSID", "101"}, Expect{"zdSERIAL", "304"}, Expect{"zdORACLE_USER", "SCOTT"},
        Expect{"zdOS_USER", "scott"}, Expect{"zdSTATUS", "INACTIVE"}, Expect{"zdSERVER_PID", "30101"},
        Expect{"zdCOMMAND", "NONE"}, Expect{"zdCLIENT_PROGRAM", "sqlplus.exe"},
        Expect{"zdWAIT_EVENT", "SQL*Net message from client"}, Expect{"zdWAIT_STATE", "Waiting (2400 s)"},
        Expect{"zdHeaderOracleUser", "SCOTT"}, Expect{"zdHeaderSid", "101"}}) {
    auto* t = Find<TZrDBText3D>(e.name);
    ASSERT_NE(t, nullptr) << e.name;
    EXPECT_EQ(t->FieldText(), e.text) << e.name;
    EXPECT_EQ(t->Bevel(), blShadow) << e.name;
  }
  std::vector<std::string> captions;
  int labels = 0, texts = 0;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    if (auto* l = dynamic_cast<TZrLabel3D*>(form->Components(i))) {
      ++labels;
      captions.push_back(l->Caption());
      EXPECT_EQ(l->Bevel(), blShadow);
    }
    if (dynamic_cast<TZrDBText3D*>(form->Components(i))) ++texts;
  }
  EXPECT_EQ(labels, 25);
  EXPECT_EQ(texts, 21);
  for (const char* c : {"SID:", "Serial#:", "Oracle User:", "Os user:", "Статус сеанса:", "Server PID:",
                        "Прочитано блоков:", "Физических чтений:", "Целостных чтений:", "Время CPU (ms):",
                        "Изменено блоков:", "Команда:", "Программа:", "Модуль:", "Действие:", "Статус/время:",
                        "Событие:", "  SQL текст текущего курсора:", "Информация о сеансе   "})
    EXPECT_NE(std::find(captions.begin(), captions.end(), c), captions.end()) << c;
  Shot("session-detail.png");
}

TEST_F(DetailTest, EachTabOpensItsDataSetsOnlyWhileItShows) {
  AddDetailState();
  Show();
  ClickSession(101);
  struct TabCase {
    TTabSheet* tab;
    std::vector<TOracleDataSet*> open;
  };
  std::vector<TOracleDataSet*> all = {form->odsTransaction, form->odsLock,    form->odsLockForWhom,
                                      form->odsLockWho,     form->odsCursors, form->odsStatistics,
                                      form->odsEvent};
  const std::vector<TabCase> cases = {
      {form->tsDetail, {}},
      {form->tsTransaction, {form->odsTransaction}},
      {form->tsLock, {form->odsLock, form->odsLockForWhom, form->odsLockWho}},
      {form->tsCursors, {form->odsCursors}},
      {form->tsStatistics, {form->odsStatistics}},
      {form->tsEvent, {form->odsEvent}},
  };
  for (const TabCase& c : cases) {
    SCOPED_TRACE(c.tab->Caption());
    ShowTab(c.tab);
    for (TOracleDataSet* ds : all)
      EXPECT_EQ(ds->Active(), std::find(c.open.begin(), c.open.end(), ds) != c.open.end()) << ds->Name();
  }
  // hiding the panel closes what its tab had open
  form->sbCloseSessionPanel->Click();
  Application->ProcessMessages();
  EXPECT_FALSE(form->PanelSession->Visible());
  EXPECT_FALSE(form->odsEvent->Active());
}

TEST_F(DetailTest, TheTransactionTabListsTheRollbackSegmentTheLockedTableAndTheSwitches) {
  AddDetailState();
  Show();
  ClickSession(101);
  ShowTab(form->tsTransaction);
  EXPECT_EQ(Rows(form->odsTransaction,
                 {"XIDSQN", "STATUS", "ROLLNAME", "OWNER", "OBJNAME", "SPACE", "NOUNDO", "PTX"}),
            (std::vector<std::string>{"1234|ACTIVE|_SYSSMU3$|SCOTT|EMP|NO|NO|NO"}));
  Shot("session-detail-transactions.png");
  // a session without a transaction has none listed
  ClickSession(103);
  EXPECT_TRUE(Rows(form->odsTransaction, {"XIDSQN"}).empty());
}

TEST_F(DetailTest, TheLockTabShowsTheBlockingTransactionItsWaitersAndBlockers) {
  AddDetailState();
  Show();
  ClickSession(101);
  ShowTab(form->tsLock);
  const auto locks =
      Rows(form->odsLock, {"LOCK_TYPE", "LMODE", "REQUEST", "BLOCKING", "OBJECT_NAME", "LOCK_NAME"});
  EXPECT_NE(std::find(locks.begin(), locks.end(), "TX|Exclusive|NONE|Блокирует|| Блокировка транзакции"),
            locks.end())
      << ::testing::PrintToString(locks);
  EXPECT_NE(std::find(locks.begin(), locks.end(), "TM|Row Exclusive|NONE|Нет|SCOTT.EMP| Блокировка DML"),
            locks.end())
      << ::testing::PrintToString(locks);
  EXPECT_EQ(Rows(form->odsLockWho, {"SID", "USERNAME"}), (std::vector<std::string>{"102|HR"}));
  EXPECT_TRUE(Rows(form->odsLockForWhom, {"SID"}).empty());
  Shot("session-detail-locks.png");
  // the middle of the chain: behind SCOTT, ahead of 108
  ClickSession(102);
  EXPECT_EQ(Rows(form->odsLockForWhom, {"SID", "USERNAME"}), (std::vector<std::string>{"101|SCOTT"}));
  EXPECT_EQ(Rows(form->odsLockWho, {"SID", "USERNAME"}), (std::vector<std::string>{"108|APP_USER"}));
}

TEST_F(DetailTest, ATableLockChainShowsTheTableLockAsBlockingAndItsWaiterRequestingIt) {
  AddDetailState();
  Show();
  ClickSession(109);
  ShowTab(form->tsLock);
  EXPECT_EQ(Rows(form->odsLock, {"LOCK_TYPE", "LMODE", "REQUEST", "BLOCKING", "OBJECT_NAME"}),
            (std::vector<std::string>{"TM|Exclusive|NONE|Блокирует|SCOTT.DEPT"}));
  EXPECT_EQ(Rows(form->odsLockWho, {"SID", "USERNAME"}), (std::vector<std::string>{"110|APP_USER"}));
  ClickSession(110);
  EXPECT_EQ(Rows(form->odsLock, {"LOCK_TYPE", "LMODE", "REQUEST", "BLOCKING", "OBJECT_NAME"}),
            (std::vector<std::string>{"TM|NONE|Row Exclusive|Нет|SCOTT.DEPT"}));
  EXPECT_EQ(Rows(form->odsLockForWhom, {"SID", "USERNAME"}), (std::vector<std::string>{"109|APP_USER"}));
  EXPECT_TRUE(Rows(form->odsLockWho, {"SID"}).empty());
}

TEST_F(DetailTest, TheLockTabFetchesTheRowsItShowsAndNamesEachRowOnlyWhenFetched) {
  AddDetailState();
  // a session holding many table locks: more than the grid shows at once
  constexpr int kLocks = 300;
  std::string values;
  for (int i = 0; i < kLocks; ++i)
    values += (i ? ", (109, " : "(109, ") + std::to_string(900000 + i) + ", 3)";
  Sim("INSERT INTO sim$tmlocks(sid, obj_id, lmode) VALUES " + values);
  Show();
  int named = 0;
  const auto calcFields = form->odsLock->OnCalcFields;
  form->odsLock->OnCalcFields = [&](TDataSet* d) {
    ++named;
    calcFields(d);
  };
  ClickSession(109);
  ShowTab(form->tsLock);
  EXPECT_FALSE(form->odsLock->AutoCalcFields());
  const int fetched = form->odsLock->RecordCount();
  EXPECT_GT(fetched, 0);
  EXPECT_LT(fetched, kLocks) << "rows come as the grid asks for them";
  EXPECT_GT(named, 0);
  EXPECT_LE(named, fetched) << "a row not fetched yet is not named";
  form->odsLock->Last();
  EXPECT_EQ(form->odsLock->RecordCount(), kLocks + 1);  // with the table lock of the chain
  EXPECT_EQ(form->odsLock->FieldByName("LOCK_NAME")->AsString(), " Блокировка DML");
  EXPECT_LE(named, kLocks + 1) << "each row is named once";
  form->odsLock->OnCalcFields = calcFields;
}

TEST_F(DetailTest, DoubleClickingAQueueMovesTheListToThatSessionAndAnEmptyQueueDoesNothing) {
  AddDetailState();
  Show();
  ClickSession(102);
  ShowTab(form->tsLock);
  struct JumpCase {
    const char* grid;
    const char* to;
  };
  for (const JumpCase& c : {JumpCase{"dbgLockForWhom", "101"}, JumpCase{"dbgLockWho", "108"}}) {
    auto* grid = Find<TWinControl>(c.grid);
    ASSERT_NE(grid, nullptr);
    SCOPED_TRACE(c.grid);
    ClickSession(102);
    SendMessage(grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 30));
    Application->ProcessMessages();
    EXPECT_EQ(form->odsSession->FieldByName("SID")->AsString(), c.to);
  }
  // 108 has nobody behind it: its waiter grid is empty and a double click keeps the row
  ClickSession(108);
  SendMessage(Find<TWinControl>("dbgLockWho")->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 30));
  Application->ProcessMessages();
  EXPECT_EQ(form->odsSession->FieldByName("SID")->AsString(), "108");
}

// Puts a column condition on a grid's statement as F8 does, keeping the grid's filter state.
void FilterGrid(TDBGridEx* Grid, TOracleDataSet* DataSet, const std::string& Field, const std::string& Text) {
  std::vector<std::string> names;
  for (int i = 0; i < DataSet->FieldCount(); ++i) names.push_back(DataSet->Fields()->Fields(i)->FieldName());
  TGridQueryFilter* filter = GridQueryFilter(Grid);
  filter->OriginalSql = DataSet->SQL()->Text();
  const TColumnFilterSql filtered = FilterStatement(filter->OriginalSql, names, Field, Text);
  filter->FilterSql = filtered.Condition;
  filter->FilterFieldName = Field;
  DataSet->Close();
  DataSet->SQL()->SetText(filtered.Sql);
  DataSet->Open();
}

TEST_F(DetailTest, AJumpFromTheQueueDropsTheSessionListsFilterAndLeavesTheStatisticsFilter) {
  AddDetailState();
  Show();
  ClickSession(102);
  ShowTab(form->tsStatistics);
  FilterGrid(form->dbgStatistics, form->odsStatistics, "NAME", "session%");
  const std::string statisticsSql = form->odsStatistics->SQL()->Text();
  // the list shows HR only: SCOTT, whom HR waits behind, is hidden by the filter
  FilterGrid(form->dbgSession, form->odsSession, "ORACLE_USER", "HR");
  ASSERT_EQ(ListedSids(), (std::vector<std::string>{"102"}));
  ShowTab(form->tsLock);
  SendMessage(Find<TWinControl>("dbgLockForWhom")->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON,
              MAKELPARAM(40, 30));
  Application->ProcessMessages();
  EXPECT_EQ(form->odsSession->FieldByName("SID")->AsString(), "101");
  EXPECT_TRUE(GridQueryFilter(form->dbgSession)->FilterSql.empty());
  EXPECT_GT(ListedSids().size(), 1u);
  EXPECT_EQ(form->odsStatistics->SQL()->Text(), statisticsSql);
  EXPECT_FALSE(GridQueryFilter(form->dbgStatistics)->FilterSql.empty());
}

TEST_F(DetailTest, ACursorsTextIsReadWholeAcrossItsPiecesWhenItBecomesCurrent) {
  AddDetailState();
  Show();
  ClickSession(101);
  ShowTab(form->tsCursors);
  ASSERT_EQ(form->odsCursors->RecordCount(), 2);
  EXPECT_EQ(WithoutCr(form->seSQLTextCursor->Lines()->Text()), WithoutCr(kScottSql));
  form->odsCursors->Next();
  Application->ProcessMessages();
  EXPECT_EQ(WithoutCr(form->seSQLTextCursor->Lines()->Text()), WithoutCr(kCursorSql));
  Shot("session-detail-cursors.png");
}

TEST_F(DetailTest, StatisticsComeLargestFirstWithTheirRussianDescription) {
  AddDetailState();
  Show();
  ClickSession(101);
  ShowTab(form->tsStatistics);
  double previous = 1e300;
  bool described = false;
  for (form->odsStatistics->First(); !form->odsStatistics->Eof(); form->odsStatistics->Next()) {
    const double v = form->odsStatistics->FieldByName("VALUE")->AsFloat();
    EXPECT_LE(v, previous);
    previous = v;
    if (form->odsStatistics->FieldByName("NAME")->AsString() == "session logical reads") {
      EXPECT_EQ(form->odsStatistics->FieldByName("NAME_RUS")->AsString(), " Логические чтения сеанса");
      described = true;
    }
  }
  EXPECT_TRUE(described);
  form->odsStatistics->First();
  Shot("session-detail-statistics.png");
}

TEST_F(DetailTest, WaitTimesReadInMillisecondsSecondsMinutesAndHoursWithTheRussianDecimalComma) {
  AddDetailState();
  Show();
  ClickSession(101);
  ShowTab(form->tsEvent);
  std::map<std::string, std::string> shown;
  for (const std::string& row : Rows(form->odsEvent, {"EVENT", "TIME_WAITED", "MAX_WAIT"}))
    shown[row.substr(0, row.find('|'))] = row.substr(row.find('|') + 1);
  int n = 0;
  for (const WaitCase& w : kWaitCases) {
    const std::string key = "event " + std::to_string(++n);
    EXPECT_EQ(shown[key], std::string(w.shown) + "|" + w.shown) << w.hundredths;
  }
  Shot("session-detail-waits.png");
}

TEST_F(DetailTest, TheStatementFollowsTheRowMovedByTheKeyboard) {
  AddDetailState();
  Show();
  ClickSession(101);
  ASSERT_EQ(WithoutCr(SqlText()), WithoutCr(kScottSql));
  KeyToGrid(VK_DOWN);
  Application->ProcessMessages();
  EXPECT_NE(form->odsSession->FieldByName("SID")->AsString(), "101");
  EXPECT_EQ(SqlText(), "");
  KeyToGrid(VK_UP);
  Application->ProcessMessages();
  EXPECT_EQ(form->odsSession->FieldByName("SID")->AsString(), "101");
  EXPECT_EQ(WithoutCr(SqlText()), WithoutCr(kScottSql));
}

TEST_F(DetailTest, CustomQueryPerAliasFeedsItsVariablesFromTheListAndShowsInfo) {
  AddDetailState();
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL",
                    "SELECT 'Машина: ' || :MACHINE || ' / ' || :SID info FROM dual");
  }
  Show();
  ClickSession(101);
  EXPECT_TRUE(form->tsCustomInfo->TabVisible());
  EXPECT_EQ(form->odsCustomInfo->MasterFields(), "SID;MACHINE;");
  EXPECT_EQ(form->odsCustomInfo->DetailFields(), "SID;MACHINE;");
  ShowTab(form->tsCustomInfo);
  EXPECT_EQ(form->DBRichEdit->Text(), "Машина: ws01 / 101");
  Shot("session-detail-custom.png");
  ClickSession(103);
  EXPECT_EQ(form->DBRichEdit->Text(), "Машина: appsrv01 / 103");
}

struct BadQueryCase {
  const char* name;
  const char* sql;
};
class CustomQueryErrorTest : public DetailTest, public ::testing::WithParamInterface<BadQueryCase> {};

TEST_P(CustomQueryErrorTest, ShowsTheMessageOnceAndHidesTheTab) {
  AddDetailState();
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL", GetParam().sql);
  }
  Show();
  TakeBoxes();
  ClickSession(101);
  EXPECT_EQ(TakeBoxes(),
            (std::vector<std::string>{
                "Talvik: Ошибка в SQL запросе на закладке \"Дополнительная\". Страница будет выключена."}));
  EXPECT_FALSE(form->tsCustomInfo->TabVisible());
  ClickSession(103);
  EXPECT_TRUE(TakeBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Custom, CustomQueryErrorTest,
                         ::testing::Values(BadQueryCase{"SyntaxError", "SELECT info FROM WHERE"},
                                           BadQueryCase{"VariableNamingNoListField",
                                                        "SELECT :FOO info FROM dual"}),
                         [](const auto& i) { return std::string(i.param.name); });

// A query without an INFO column is no error: the tab stays and shows nothing.
TEST_F(DetailTest, ACustomQueryWithoutAnInfoColumnShowsNothingAndTheTabStays) {
  AddDetailState();
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL", "select sysdate from dual");
  }
  Show();
  TakeBoxes();
  ClickSession(101);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_TRUE(form->tsCustomInfo->TabVisible());
  ShowTab(form->tsCustomInfo);
  EXPECT_EQ(form->DBRichEdit->Text(), "");
  ClickSession(103);
  EXPECT_EQ(form->DBRichEdit->Text(), "");
  form->aRefresh->Execute();
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{});
  EXPECT_TRUE(form->tsCustomInfo->TabVisible());
}

struct NotAQueryCase {
  const char* name;
  const char* sql;
};
class CustomStatementNotAQueryTest : public DetailTest,
                                     public ::testing::WithParamInterface<NotAQueryCase> {};

// A statement that is not a query is refused each time the panel opens, before anything of it runs:
// the instance stays as it was.
TEST_P(CustomStatementNotAQueryTest, IsRefusedUnrunEachTimeThePanelOpens) {
  AddDetailState();
  Exec("CREATE TABLE H2PROBE (X NUMBER)");
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL", GetParam().sql);
  }
  Show();
  TakeBoxes();
  for (int open = 0; open < 2; ++open) {
    SCOPED_TRACE(open);
    ClickSession(101);
    EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string("Talvik: ") + kCustomInfoNotAQuery});
    EXPECT_FALSE(form->tsCustomInfo->TabVisible());
    form->sbCloseSessionPanel->Click();
  }
  // (asked on the program's own connection, which sees what it did and has not committed)
  TOracleQuery rows(nullptr);
  rows.SetSession(MainForm->OracleSession);
  rows.SQL()->SetText("select count(*) from H2PROBE");
  rows.Execute();
  EXPECT_EQ(rows.Field(0).AsString(), "0");
  EXPECT_THROW(Query("select count(*) from H2PROBE2"), EOracleError);
}

INSTANTIATE_TEST_SUITE_P(
    Custom, CustomStatementNotAQueryTest,
    ::testing::Values(NotAQueryCase{"CreateTable", "CREATE TABLE H2PROBE2 (X NUMBER)"},
                      NotAQueryCase{"Insert", "INSERT INTO H2PROBE VALUES (1)"},
                      NotAQueryCase{"InsertWithAVariable", "INSERT INTO H2PROBE VALUES (:SID)"},
                      NotAQueryCase{"Block", "BEGIN INSERT INTO H2PROBE VALUES (2); END;"}),
    [](const auto& i) { return std::string(i.param.name); });

class CustomQueryThatLocksTest : public DetailTest, public ::testing::WithParamInterface<LockingQuery> {
 protected:
  // The rows of DEPT that another session can take for an update at once (none while a session holds
  // them: the instance refuses a lock that would wait).
  static int DeptRowsFree() {
    TOracleSession other(nullptr);
    LogOnAsSystem(other);
    TOracleQuery q(nullptr);
    q.SetSession(&other);
    q.SQL()->SetText("SELECT deptno FROM scott.dept WHERE deptno = :D FOR UPDATE NOWAIT");
    q.DeclareVariable("D", otInteger);
    int free = 0;
    for (int deptno : {10, 20, 30, 40}) {
      q.SetVariable("D", deptno);
      try {
        q.Execute();
        free += !q.Eof();
      } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 54) << e.Message();
      }
    }
    other.Rollback();
    return free;
  }
};

// The instance's own parser takes each spelling as a query that locks every row it reads.
TEST_P(CustomQueryThatLocksTest, TheInstanceLocksTheRowsItReads) {
  AddDetailState();
  TOracleSession other(nullptr);
  LogOnAsSystem(other);
  TOracleQuery q(nullptr);
  q.SetSession(&other);
  q.SQL()->SetText(GetParam().sql);
  std::unique_ptr<TStringList> names(FindVariables(GetParam().sql, false));
  for (int i = 0; i < names->Count(); ++i) q.DeclareVariable(names->Strings(i), otString);
  q.Execute();
  const std::string sid = [&] {
    TOracleQuery me(nullptr);
    me.SetSession(&other);
    me.SQL()->SetText("select sid from v$mystat where rownum = 1");
    me.Execute();
    return me.Field(0).AsString();
  }();
  EXPECT_GT(RowLocksOf(sid), 0);
  EXPECT_EQ(DeptRowsFree(), 0);
  other.Rollback();
  EXPECT_EQ(RowLocksOf(sid), 0);
}

// A custom query that locks the rows it reads is refused each time the panel opens, and never sent to
// the instance: the program's session holds no lock, and another session updates every row at once.
TEST_P(CustomQueryThatLocksTest, IsRefusedUnsentEachTimeThePanelOpens) {
  AddDetailState();
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL", GetParam().sql);
  }
  Show();
  TakeBoxes();
  for (int open = 0; open < 2; ++open) {
    SCOPED_TRACE(open);
    ClickSession(101);
    EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string("Talvik: ") + kCustomInfoLocksRows});
    EXPECT_FALSE(form->tsCustomInfo->TabVisible());
    EXPECT_FALSE(form->odsCustomInfo->Active());
    form->aRefresh->Execute();
    EXPECT_EQ(RowLocksOf(MonitorSid()), 0);
    form->sbCloseSessionPanel->Click();
  }
  EXPECT_FALSE(InSharedPool(GetParam().sql));
  EXPECT_EQ(DeptRowsFree(), 4);
}

// What the text of a query tells of its locking, read as the server reads it: FOR UPDATE counts as two
// words of the statement, not inside a literal, a quoted name or a comment, nor as parts of other words.
TEST(CustomQueryText, LocksRowsWhereTheServerReadsForUpdateAndNowhereElse) {
  for (const LockingQuery& q : LockingQueries()) EXPECT_TRUE(LocksRows(q.sql)) << q.name;
  const std::pair<const char*, bool> cases[] = {
      {"SELECT dname info FROM scott.dept", false},
      {"SELECT 'FOR UPDATE' info FROM dual", false},
      {"SELECT 'it''s FOR UPDATE' info FROM dual", false},
      {"SELECT 'it''s' || dname info FROM scott.dept FOR UPDATE", true},
      {"SELECT dname \"FOR UPDATE\" FROM scott.dept", false},
      {"SELECT dname info FROM scott.dept FOR \"UPDATE\"", false},
      {"SELECT dname info FROM scott.dept -- FOR UPDATE", false},
      {"SELECT dname info FROM scott.dept --\nFOR UPDATE", true},
      {"SELECT dname info FROM scott.dept /* FOR UPDATE */", false},
      {"SELECT dname info FROM scott.dept /* FOR UPDATE", false},
      {"SELECT for_update info FROM t", false},
      {"SELECT dname info FROM scott.dept WHERE :FOR = :UPDATE", false},
      {"SELECT dname info FROM scott.dept WHERE deptno > 1.5e1FOR UPDATE", true},
      {"SELECT dname info FROM scott.dept WHERE deptno > 1eFOR UPDATE", false},
      {"SELECT dname info FROM scott.dept FOR UPDATE_X", false},
  };
  for (const auto& [sql, locks] : cases) EXPECT_EQ(LocksRows(sql), locks) << sql;
}

INSTANTIATE_TEST_SUITE_P(Custom, CustomQueryThatLocksTest, ::testing::ValuesIn(LockingQueries()),
                         [](const auto& i) { return std::string(i.param.name); });

// A stored custom query whose line comment ends in a line end of any kind, FOR UPDATE on the next line:
// the line end ends the comment for the check as it does in the text sent, so the query is refused and
// never sent. The program's session holds no lock, and another session updates the row at once.
struct LineEnd {
  const char* name;
  const char* text;
};
inline void PrintTo(const LineEnd& End, std::ostream* Out) {
  *Out << End.name;
}
class StoredQueryLineEndTest : public DetailTest, public ::testing::WithParamInterface<LineEnd> {};

TEST_P(StoredQueryLineEndTest, EndsTheCommentAndTheQueryThatLocksIsRefusedUnsent) {
  AddFixtureSessions();
  const std::string sql =
      std::string("select ename info from scott.emp -- note") + GetParam().text + "for update";
  {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + DataBase, "SQL", sql);
  }
  Show();
  TakeBoxes();
  ClickSession(101);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string("Talvik: ") + kCustomInfoLocksRows});
  EXPECT_FALSE(form->tsCustomInfo->TabVisible());
  EXPECT_FALSE(form->odsCustomInfo->Active());
  EXPECT_EQ(RowLocksOf(MonitorSid()), 0);
  EXPECT_EQ(SimValue("SELECT count(*) FROM sim$sqlarea WHERE sql_text LIKE '%scott.emp -- note%'"), "0");
  TOracleSession other(nullptr);
  LogOnAsSystem(other);
  TOracleQuery update(nullptr);
  update.SetSession(&other);
  update.SQL()->SetText("SELECT empno FROM scott.emp WHERE empno = 7369 FOR UPDATE NOWAIT");
  EXPECT_NO_THROW(update.Execute());  // ORA-00054 when the row is held
  other.Rollback();
}

INSTANTIATE_TEST_SUITE_P(Custom, StoredQueryLineEndTest,
                         ::testing::Values(LineEnd{"LoneCR", "\r"}, LineEnd{"CRLF", "\r\n"},
                                           LineEnd{"LF", "\n"}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(DetailTest, WithoutACustomQueryTheTabIsAbsent) {
  AddDetailState();
  Show();
  ClickSession(101);
  EXPECT_FALSE(form->tsCustomInfo->TabVisible());
}

TEST_F(DetailTest, TheStatementsMenuSelectsAllAndCopiesTheReadOnlyText) {
  SetClipboardBackend(MakeMemoryClipboard());
  AddDetailState();
  Show();
  ClickSession(101);
  std::vector<std::string> items;
  for (int i = 0; i < form->PopupMenuSql->Items()->Count(); ++i)
    items.push_back(form->PopupMenuSql->Items()->Items(i)->Caption());
  EXPECT_EQ(items, (std::vector<std::string>{"Копировать", "Выделить всё", "-", "Сохранить SQL как ..."}));
  Find<TWinControl>("seSQLText")->SetFocus();
  Application->ProcessMessages();
  form->EditSelectAll->Execute();
  form->EditCopy->Execute();
  EXPECT_EQ(WithoutCr(Clipboard()->AsText()), WithoutCr(kScottSql));
  EXPECT_EQ(WithoutCr(SqlText()), WithoutCr(kScottSql));  // read-only: the text stays
  SetClipboardBackend(nullptr);
}

TEST_F(DetailTest, TheStatementIsSavedWithCrLfLineEnds) {
  AddDetailState();
  Show();
  ClickSession(101);
  const std::string file =
      (ProcessTempFolder() / ("talvik_sql_" + std::to_string(getpid()) + ".sql")).string();
  form->aSaveSqlAs->Dialog()->SetFileName(file);
  form->aSaveSqlAsAccept(form->aSaveSqlAs);
  std::ifstream in(file, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string expected;
  for (char c : WithoutCr(kScottSql)) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(all.str(), expected + "\r\n");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace sessiontest
