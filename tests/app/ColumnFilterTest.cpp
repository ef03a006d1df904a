// The column filter: the rewrite of a grid's statement for a typed pattern (over the statements of the
// session list, the statistics and the waits), and F7 / F8 / Esc on the grids of the session window
// against a scripted instance, each grid with a filter of its own.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "app/ComboBoxQuery.h"
#include "oracle/OracleTypes.h"
#include "rtl/UserLocale.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace sessiontest {
namespace {

// A statement as a dataset gives it back: its lines, each ended by CR LF.
std::string AsLines(const char* Sql) {
  TStringList lines;
  lines.SetText(Sql);
  return lines.Text();
}

const std::vector<std::string> kSessionFields = {
    "SID",        "SERVER_PID",    "SERIAL",         "ORACLE_USER",    "STATUS",        "MACHINE",
    "OS_USER",    "LOGICAL_READS", "COMMAND",        "CLIENT_PROGRAM", "ACTION",        "PHYSICAL_READS",
    "CPU_USAGE",  "LOGON_TIME",    "LAST_CALL_ET_S", "LAST_CALL_ET",   "BLOCK_CHANGES", "CONSISTENT_GETS",
    "BLOCK_GETS", "SQL_ADDRESS",   "SQL_HASH_VALUE", "WAIT_ID",        "WAIT_EVENT",    "WAIT_STATE",
    "PRNAME",     "TADDR",         "MODULE"};
const std::vector<std::string> kStatisticFields = {"STATISTIC#", "NAME", "VALUE", "NAME_RUS"};
const std::vector<std::string> kEventFields = {"EVENT",       "TOTAL_WAITS",  "TOTAL_TIMEOUTS",
                                               "TIME_WAITED", "AVERAGE_WAIT", "MAX_WAIT"};

const std::vector<std::string> kA = {"A"}, kAB = {"A", "B"}, kC1B = {"C1", "B"}, kXC = {"X", "C"},
                               kSerials = {"SERIAL_NO", "SERIAL"}, kFirstSecond = {"FIRST", "SECOND"};

// ---------------------------------------------------------------- the expression a field gives

struct ExpressionCase {
  const char* name;
  const char* sql;
  const std::vector<std::string>* fields;
  const char* field;
  const char* expected;
};

class FilterExpressionTest : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(FilterExpressionTest, IsTheSelectListsTextAsWritten) {
  const ExpressionCase& c = GetParam();
  EXPECT_EQ(FilterExpression(AsLines(c.sql), *c.fields, c.field), c.expected);
}

const ExpressionCase kExpressions[] = {
    {"SessionSidWithoutAlias", monitor_sql::kSessionList, &kSessionFields, "SID", "s.sid"},
    {"SessionServerPidByAlias", monitor_sql::kSessionList, &kSessionFields, "SERVER_PID", "p.spid"},
    {"SessionSerialAfterTwoBlanks", monitor_sql::kSessionList, &kSessionFields, "SERIAL", "s.serial#"},
    {"SessionOracleUserWholeExpression", monitor_sql::kSessionList, &kSessionFields, "ORACLE_USER",
     "NVL(DECODE(type, 'BACKGROUND', 'SYS (' || b.name || ')', s.username),SUBSTR(p.program, "
     "INSTR(p.program, "
     "'(')))"},
    {"SessionMachine", monitor_sql::kSessionList, &kSessionFields, "MACHINE", "s.machine"},
    {"SessionIdleTimeKeepsItsCyrillicLiterals", monitor_sql::kSessionList, &kSessionFields, "LAST_CALL_ET",
     "LPAD(TO_CHAR(TRUNC(s.last_call_et/3600)),2,'0')||' ч. "
     "'||LPAD(TO_CHAR(TRUNC(s.last_call_et/60)-trunc(s.last_call_et/3600)*60),2,'0')||' мин. '"},
    {"SessionWaitStateKeepsLowerCaseLiterals", monitor_sql::kSessionList, &kSessionFields, "WAIT_STATE",
     "DECODE(w.wait_time, 0, INITCAP(w.state)||' (' || TO_CHAR(w.seconds_in_wait) || ' s)',\r\n"
     "                          -2, INITCAP(w.state),\r\n"
     "                          -1, INITCAP(w.state),\r\n"
     "                         INITCAP(w.state)||' ( ' || TO_CHAR(w.wait_time*10) || ' ms )' )"},
    {"SessionTaddrWithoutAlias", monitor_sql::kSessionList, &kSessionFields, "TADDR", "s.taddr"},
    {"SessionModuleLastColumnIsTheFieldName", monitor_sql::kSessionList, &kSessionFields, "MODULE", "MODULE"},
    {"StatisticNumberAfterTheHint", monitor_sql::kStatistics, &kStatisticFields, "STATISTIC#",
     "s.statistic#"},
    {"StatisticValueLastColumnIsTheFieldName", monitor_sql::kStatistics, &kStatisticFields, "VALUE", "VALUE"},
    {"StatisticCalculatedFieldIsTheFieldName", monitor_sql::kStatistics, &kStatisticFields, "NAME_RUS",
     "NAME_RUS"},
    {"EventFirstColumn", monitor_sql::kEvents, &kEventFields, "EVENT", "event"},
    {"EventMiddleColumn", monitor_sql::kEvents, &kEventFields, "TIME_WAITED", "time_waited"},
    {"CommaInsideALiteralOrParenthesesIsNoColumnEnd", "SELECT NVL(a, 'x,y'), b FROM t", &kC1B, "C1",
     "NVL(a, 'x,y')"},
    {"AliasMustBeAWholeWord", "SELECT a serial_no, b serial FROM t", &kSerials, "SERIAL", "b"},
    {"AliasAfterAsKeyword", "SELECT x.a AS first, x.b AS second FROM x", &kFirstSecond, "SECOND", "x.b"},
    {"AliasWordInsideALiteralIsNotTheAlias", "SELECT 'a c', d c FROM t", &kXC, "C", "d"},
    {"NoSelectListGivesTheFieldName", "garbage", &kEventFields, "EVENT", "EVENT"},
    {"AFieldNameThatIsNoPlainNameIsQuoted", "SELECT a \"it's\" FROM t", &kA, "it's", "\"it's\""},
    // the comment remover reads the apostrophe in the quoted name as a literal's start and keeps the
    // comment: a column text that would swallow the condition stands for nothing
    {"AColumnTextEndingInACommentIsTheFieldName", "SELECT \"it's\" -- note\n, b FROM t", &kC1B, "C1", "C1"},
};

INSTANTIATE_TEST_SUITE_P(Statements, FilterExpressionTest, ::testing::ValuesIn(kExpressions),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the statement with the condition

struct StatementCase {
  const char* name;
  const char* sql;
  const std::vector<std::string>* fields;
  const char* field;
  const char* text;
  // the statement's text before which the condition stands ("" = at the end), and the condition
  const char* before;
  const char* inserted;
};

class FilterStatementTest : public ::testing::TestWithParam<StatementCase> {};

TEST_P(FilterStatementTest, PutsTheConditionInItsPlace) {
  const StatementCase& c = GetParam();
  const std::string sql = AsLines(c.sql);
  const TColumnFilterSql r = FilterStatement(sql, *c.fields, c.field, c.text);
  std::string expected = sql;
  if (*c.before)
    expected.insert(sql.find(c.before), c.inserted);
  else
    expected += c.inserted;
  EXPECT_EQ(r.Sql, expected);
}

const StatementCase kStatements[] = {
    {"SessionLikeBeforeOrderBy", monitor_sql::kSessionList, &kSessionFields, "MACHINE", "app%",
     "ORDER BY s.status", " AND  s.machine LIKE 'app%'  \r\n"},
    {"SessionApostropheDoubled", monitor_sql::kSessionList, &kSessionFields, "OS_USER", "o'brien",
     "ORDER BY s.status", " AND  NVL(s.osuser, '('||b.name||')') LIKE 'o''brien'  \r\n"},
    {"SessionIsNullInAnyCase", monitor_sql::kSessionList, &kSessionFields, "TADDR", " is null ",
     "ORDER BY s.status", " AND  s.taddr is null \r\n"},
    {"SessionIsNotNull", monitor_sql::kSessionList, &kSessionFields, "MODULE", "IS NOT NULL",
     "ORDER BY s.status", " AND  MODULE IS NOT NULL \r\n"},
    {"SessionIsNullWithMoreIsAPattern", monitor_sql::kSessionList, &kSessionFields, "SID", "IS NULL OR 1=1",
     "ORDER BY s.status", " AND  s.sid LIKE 'IS NULL OR 1=1'  \r\n"},
    {"SessionEmptyTextIsAnEmptyPattern", monitor_sql::kSessionList, &kSessionFields, "SERVER_PID", "",
     "ORDER BY s.status", " AND  p.spid LIKE ''  \r\n"},
    {"StatisticsBeforeOrderBy", monitor_sql::kStatistics, &kStatisticFields, "STATISTIC#", "1%", "ORDER BY 3",
     " AND  s.statistic# LIKE '1%'  \r\n"},
    {"EventsAppendedAfterWhere", monitor_sql::kEvents, &kEventFields, "EVENT", "db%", "",
     " AND  event LIKE 'db%' "},
    {"OrderByWithoutWhereGetsAWhereBeforeIt", "SELECT a, b FROM t\nORDER BY a", &kAB, "A", "x%", "ORDER BY a",
     " WHERE  a LIKE 'x%' \r\n"},
    {"NeitherWhereNorOrderByGetsAWhereAtTheEnd", "SELECT a FROM t", &kA, "A", "x", "", " WHERE  A LIKE 'x' "},
    {"KeywordsInLiteralsCommentsAndSubqueriesDoNotCount",
     "SELECT 'ORDER BY' a, (SELECT b FROM u WHERE c = 1 ORDER BY b) b /* WHERE */ FROM t -- ORDER BY\nORDER "
     "BY 1",
     &kAB, "A", "x", "ORDER BY 1", " WHERE  'ORDER BY' LIKE 'x' \r\n"},
};

INSTANTIATE_TEST_SUITE_P(Statements, FilterStatementTest, ::testing::ValuesIn(kStatements),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FilterStatement, AStatementEndingInALineCommentGetsTheConditionOnANewLine) {
  const TColumnFilterSql r = FilterStatement("SELECT a FROM t WHERE a > 1 -- the big ones", {"A"}, "A", "5%");
  EXPECT_EQ(r.Sql, "SELECT a FROM t WHERE a > 1 -- the big ones\r\n AND  A LIKE '5%' ");
  EXPECT_EQ(r.Condition, " A LIKE '5%' ");
}

// ---------------------------------------------------------------- F7, F8 and Esc on the grids

class ColumnFilterTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    AddFixtureSessions();
    MainForm->SetBounds(0, 0, 1000, 700);
    MainForm->Show();
    Open();
    Application->ProcessMessages();
  }
  void TearDown() override {
    delete statistics;
    statistics = nullptr;
    SessionFormTest::TearDown();
  }

  // Selects the column of Field in Grid and presses F7 there.
  TComboBoxQuery* OpenCombo(TDBGridEx* Grid, const std::string& Field) {
    for (int i = 0; i < Grid->Columns()->Count(); ++i)
      if (Grid->Columns()->Items(i)->FieldName() == Field) Grid->SetSelectedIndex(i);
    Grid->SetFocus();
    logontest::Key(VK_F7);
    Application->ProcessMessages();
    return GridQueryFilter(Grid)->Combo.Get();
  }
  // Types Text into the open combo of Grid and presses Key (F8 or Esc).
  void Finish(TDBGridEx* Grid, const std::string& Text, WORD Key) {
    TComboBoxQuery* combo = GridQueryFilter(Grid)->Combo.Get();
    ASSERT_NE(combo, nullptr);
    if (Text != "-") logontest::Type(combo->EditControl(), Text);
    logontest::Key(Key);
    Application->ProcessMessages();
  }
  // The listed SIDs, in ascending order.
  std::vector<std::string> Sids(TDataSet* Ds) {
    std::vector<std::string> sids;
    for (Ds->First(); !Ds->Eof(); Ds->Next()) sids.push_back(Ds->FieldByName("SID")->AsString());
    std::sort(sids.begin(), sids.end());
    return sids;
  }
  std::string SessionSql() { return form->odsSession->SQL()->Text(); }
  TColor ColumnColor(TDBGridEx* Grid, const std::string& Field) {
    for (int i = 0; i < Grid->Columns()->Count(); ++i)
      if (Grid->Columns()->Items(i)->FieldName() == Field) return Grid->Columns()->Items(i)->Color();
    return clNone;
  }
  // A statistics grid of session 101 beside the list, as the detail panel has one.
  void MakeStatisticsGrid() { MakeDetailGrid(monitor_sql::kStatistics, {"STATISTIC#", "NAME", "VALUE"}); }
  // A grid of session 101's details read by the statement, with columns for the fields.
  void MakeDetailGrid(const char* Sql, std::initializer_list<const char*> Fields) {
    statistics = new TForm(Application);
    statistics->SetBounds(0, 0, 500, 400);
    statisticsData = new TOracleDataSet(statistics);
    statisticsData->SetSession(MainForm->OracleSession);
    statisticsData->SQL()->SetText(Sql);
    statisticsData->DeclareVariable("SID", otString);
    statisticsData->SetVariable("SID", TVariant(std::string("101")));
    auto* source = new TDataSource(statistics);
    source->SetDataSet(statisticsData);
    statisticsGrid = new TDBGridEx(statistics);
    statisticsGrid->SetParent(statistics);
    statisticsGrid->SetAlign(alClient);
    statisticsGrid->SetReadOnly(true);
    for (const char* field : Fields) statisticsGrid->Columns()->Add()->SetFieldName(field);
    statisticsGrid->SetDataSource(source);
    statisticsGrid->OnKeyDown = [](TObject* s, WORD& k, TShiftState) { GridQueryKeyDown(s, k); };
    statisticsData->Open();
    statistics->Show();
    Application->ProcessMessages();
  }
  std::vector<std::string> StatisticNumbers() {
    std::vector<std::string> numbers;
    for (statisticsData->First(); !statisticsData->Eof(); statisticsData->Next())
      numbers.push_back(statisticsData->FieldByName("STATISTIC#")->AsString());
    return numbers;
  }

  TForm* statistics = nullptr;
  TOracleDataSet* statisticsData = nullptr;
  TDBGridEx* statisticsGrid = nullptr;
};

TEST_F(ColumnFilterTest, F7OpensTheComboUnderTheTitleWithTheValueAndTheGridEmpty) {
  ASSERT_TRUE(GoTo(103));
  TDBGridEx* grid = form->dbgSession;
  TComboBoxQuery* combo = OpenCombo(grid, "MACHINE");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Text(), "appsrv01");
  ASSERT_EQ(combo->Items()->Count(), 2);
  EXPECT_EQ(combo->Items()->Strings(0), "IS NULL");
  EXPECT_EQ(combo->Items()->Strings(1), "IS NOT NULL");
  EXPECT_EQ(combo->Parent(), grid->Parent());
  const int index = grid->SelectedIndex();
  const TRect title = grid->CellRect(index + grid->IndicatorOffset(), 0);
  EXPECT_EQ(combo->Left(), grid->Left() + title.Left);
  EXPECT_EQ(combo->Top(), grid->Top() + title.Bottom + 1);
  EXPECT_EQ(combo->Width(), grid->Columns()->Items(index)->Width() + 20);
  EXPECT_EQ(grid->DataSource()->DataSet(), nullptr);
  EXPECT_TRUE(combo->EditControl()->Focused());

  combo->SetDroppedDown(true);
  talvik::gui::UpdateAllWindows(MainForm->Handle());
  RECT frame;
  GetWindowRect(MainForm->Handle(), frame);
  EXPECT_TRUE(talvik::gui::RenderScreenToPng(logontest::ScreenshotDir() + "/column-filter-combo.png", frame));
  combo->SetDroppedDown(false);
  Finish(grid, "-", VK_ESCAPE);
}

TEST_F(ColumnFilterTest, F8FiltersOnTheServerAndTintsEscGivesAllRowsAndTheColourBack) {
  TDBGridEx* grid = form->dbgSession;
  const std::string original = SessionSql();
  const std::vector<std::string> all = Sids(form->odsSession);
  const TColor before = ColumnColor(grid, "MACHINE");
  OpenCombo(grid, "MACHINE");
  Finish(grid, "appsrv%", VK_F8);
  EXPECT_EQ(GridQueryFilter(grid)->Combo.Get(), nullptr) << "the combo is gone";
  EXPECT_EQ(grid->DataSource()->DataSet(), form->odsSession);
  EXPECT_EQ(Sids(form->odsSession), (std::vector<std::string>{"103", "104"}));
  EXPECT_NE(SessionSql().find(" AND  s.machine LIKE 'appsrv%'  \r\nORDER BY s.status"), std::string::npos);
  EXPECT_EQ(ColumnColor(grid, "MACHINE"), clInfoBk);
  EXPECT_TRUE(grid->Focused());

  OpenCombo(grid, "MACHINE");
  Finish(grid, "-", VK_ESCAPE);
  EXPECT_EQ(SessionSql(), original);
  EXPECT_EQ(Sids(form->odsSession), all);
  EXPECT_EQ(ColumnColor(grid, "MACHINE"), before);
  EXPECT_TRUE(GridQueryFilter(grid)->FilterSql.empty());
  EXPECT_TRUE(GridQueryFilter(grid)->OriginalSql.empty());
}

TEST_F(ColumnFilterTest, ASecondConditionReplacesTheFirstAndMovesTheTint) {
  TDBGridEx* grid = form->dbgSession;
  const TColor plain = ColumnColor(grid, "MACHINE");
  OpenCombo(grid, "MACHINE");
  Finish(grid, "ws%", VK_F8);
  EXPECT_EQ(Sids(form->odsSession), (std::vector<std::string>{"101", "102", "107"}));
  OpenCombo(grid, "ORACLE_USER");
  EXPECT_EQ(ColumnColor(grid, "MACHINE"), plain) << "the earlier tint comes off when a combo opens";
  Finish(grid, "HR", VK_F8);
  EXPECT_EQ(SessionSql().find("machine LIKE"), std::string::npos);
  EXPECT_NE(SessionSql().find("s.username),SUBSTR(p.program, INSTR(p.program, '('))) LIKE 'HR'"),
            std::string::npos);
  EXPECT_EQ(Sids(form->odsSession), (std::vector<std::string>{"102"}));
  EXPECT_EQ(ColumnColor(grid, "ORACLE_USER"), clInfoBk);
}

TEST_F(ColumnFilterTest, IsNullAndAnApostropheGiveStatementsTheServerRuns) {
  TDBGridEx* grid = form->dbgSession;
  OpenCombo(grid, "MACHINE");
  Finish(grid, "it's%", VK_F8);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_TRUE(Sids(form->odsSession).empty());
  EXPECT_TRUE(form->odsSession->Active());

  form->aSystemSession->Execute();  // background processes too: their module is null like most
  OpenCombo(grid, "STATUS");
  Finish(grid, "is not null", VK_F8);
  const size_t everyone = Sids(form->odsSession).size();
  OpenCombo(grid, "CLIENT_PROGRAM");
  Finish(grid, "IS NULL", VK_F8);
  EXPECT_TRUE(Sids(form->odsSession).empty());
  OpenCombo(grid, "WAIT_STATE");  // the waits' own literals keep their case
  Finish(grid, "Waiting (% s)", VK_F8);
  const std::vector<std::string> waiting = Sids(form->odsSession);
  EXPECT_GT(waiting.size(), 0u);
  EXPECT_LT(waiting.size(), everyone);
  for (const char* sid : {"101", "102", "106", "107"})
    EXPECT_NE(std::find(waiting.begin(), waiting.end(), sid), waiting.end()) << sid;
}

TEST_F(ColumnFilterTest, AStatementTheServerRefusesLeavesTheComboOpenAndEscRecovers) {
  MakeStatisticsGrid();
  const std::vector<std::string> all = StatisticNumbers();
  // the column of a field the statement does not select: the server knows no such column
  OpenCombo(statisticsGrid, "VALUE");
  GridQueryFilter(statisticsGrid)->FilterFieldName = "NAME_RUS";
  Finish(statisticsGrid, "x", VK_F8);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("ORA-00904"), std::string::npos) << boxes[0].text;
  boxes.clear();
  EXPECT_NE(GridQueryFilter(statisticsGrid)->Combo.Get(), nullptr);
  EXPECT_EQ(statisticsGrid->DataSource()->DataSet(), nullptr);
  Finish(statisticsGrid, "-", VK_ESCAPE);
  EXPECT_EQ(statisticsGrid->DataSource()->DataSet(), statisticsData);
  EXPECT_EQ(StatisticNumbers(), all);
}

TEST_F(ColumnFilterTest, F7OnAGridWithItsComboOpenFocusesThatCombo) {
  TDBGridEx* grid = form->dbgSession;
  TComboBoxQuery* first = OpenCombo(grid, "MACHINE");
  grid->SetFocus();
  logontest::Key(VK_F7);
  Application->ProcessMessages();
  EXPECT_EQ(GridQueryFilter(grid)->Combo.Get(), first);
  EXPECT_TRUE(first->EditControl()->Focused());
  int combos = 0;
  for (int i = 0; i < grid->ComponentCount(); ++i)
    combos += dynamic_cast<TComboBoxQuery*>(grid->Components(i)) != nullptr;
  EXPECT_EQ(combos, 1);
  Finish(grid, "-", VK_ESCAPE);
}

TEST_F(ColumnFilterTest, EachGridKeepsItsOwnFilter) {
  MakeStatisticsGrid();
  TDBGridEx* sessions = form->dbgSession;
  const std::string sessionSql = SessionSql();
  const std::string statisticsSql = statisticsData->SQL()->Text();
  OpenCombo(sessions, "MACHINE");
  Finish(sessions, "ws%", VK_F8);
  OpenCombo(statisticsGrid, "STATISTIC#");
  Finish(statisticsGrid, "12", VK_F8);
  EXPECT_EQ(StatisticNumbers(), (std::vector<std::string>{"12"}));
  EXPECT_EQ(ColumnColor(sessions, "MACHINE"), clInfoBk) << "a filter elsewhere leaves this tint";
  EXPECT_EQ(Sids(form->odsSession).size(), 3u);

  // Esc on the session grid gives only its own statement back
  OpenCombo(sessions, "MACHINE");
  Finish(sessions, "-", VK_ESCAPE);
  EXPECT_EQ(SessionSql(), sessionSql);
  EXPECT_EQ(StatisticNumbers(), (std::vector<std::string>{"12"}));

  // the queue jump's clearing touches only the grid it names
  OpenCombo(sessions, "MACHINE");
  Finish(sessions, "ws%", VK_F8);
  EXPECT_TRUE(ClearGridFilter(sessions));
  EXPECT_FALSE(ClearGridFilter(sessions));
  EXPECT_EQ(SessionSql(), sessionSql);
  EXPECT_EQ(ColumnColor(sessions, "MACHINE"), ColumnColor(sessions, "OS_USER"));
  EXPECT_EQ(StatisticNumbers(), (std::vector<std::string>{"12"}));
  OpenCombo(statisticsGrid, "STATISTIC#");
  Finish(statisticsGrid, "-", VK_ESCAPE);
  EXPECT_EQ(statisticsData->SQL()->Text(), AsLines(statisticsSql.c_str()));
  EXPECT_GT(StatisticNumbers().size(), 1u);
}

TEST_F(ColumnFilterTest, F8RunsTheRewrittenStatementOnceOnTheServer) {
  MakeStatisticsGrid();
  OpenCombo(statisticsGrid, "STATISTIC#");
  Finish(statisticsGrid, "1_", VK_F8);
  EXPECT_EQ(Query("select sum(executions) from v$sqlarea where sql_text like '%statistic# LIKE ''1\\_''%' "
                  "escape '\\'"),
            (std::vector<std::string>{"1"}));
  EXPECT_EQ(StatisticNumbers().size(), 10u);
}

TEST_F(ColumnFilterTest, UnderTheRussianLocaleF7ShowsNumbersAndDatesSoAndF8SendsThePatternAsTyped) {
  localetest::UserLocaleGuard locale("ru_RU.UTF-8");
  Sim("UPDATE sim$sessions SET logon_time = '2025-03-05 09:05:00' WHERE sid = 103");
  Sim("DELETE FROM sim$sess_event WHERE sid = 101");
  Sim("INSERT INTO sim$sess_event VALUES (101, 'log file sync', 2, 0, 3, 2), (101, 'enqueue', 4, 0, 10, 3)");
  form->aRefresh->Execute();

  // a date column: the locale's date and time in the combo; a pattern matches the server's own text
  TDBGridEx* grid = form->dbgSession;
  ASSERT_TRUE(GoTo(103));
  TComboBoxQuery* combo = OpenCombo(grid, "LOGON_TIME");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Text(), "05.03.2025 09:05:00");
  Finish(grid, "-", VK_F8);
  EXPECT_NE(SessionSql().find(" s.logon_time LIKE '05.03.2025 09:05:00' "), std::string::npos);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_EQ(grid->DataSource()->DataSet(), form->odsSession);
  EXPECT_TRUE(Sids(form->odsSession).empty()) << "the server writes its dates in its own format";
  OpenCombo(grid, "LOGON_TIME");
  Finish(grid, "05-MAR-25%", VK_F8);
  EXPECT_EQ(Sids(form->odsSession), (std::vector<std::string>{"103"}));
  EXPECT_EQ(DateTimeToStr(form->odsSession->FieldByName("LOGON_TIME")->AsDateTime()), "05.03.2025 09:05:00");
  OpenCombo(grid, "LOGON_TIME");
  Finish(grid, "-", VK_ESCAPE);

  // a number column: the decimal comma in the combo; the pattern goes to the server as typed
  MakeDetailGrid(monitor_sql::kEvents, {"EVENT", "TOTAL_WAITS", "AVERAGE_WAIT"});
  ASSERT_TRUE(statisticsData->Locate("EVENT", TVariant(std::string("log file sync")), {}));
  combo = OpenCombo(statisticsGrid, "AVERAGE_WAIT");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Text(), "1,5");
  Finish(statisticsGrid, "2,5", VK_F8);
  EXPECT_NE(statisticsData->SQL()->Text().find(" average_wait LIKE '2,5' "), std::string::npos);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_EQ(statisticsData->RecordCount(), 0) << "the server writes its numbers with a point";
  OpenCombo(statisticsGrid, "AVERAGE_WAIT");
  Finish(statisticsGrid, "2%", VK_F8);
  ASSERT_EQ(statisticsData->RecordCount(), 1);
  EXPECT_EQ(statisticsData->FieldByName("EVENT")->AsString(), "enqueue");
  EXPECT_EQ(statisticsData->FieldByName("AVERAGE_WAIT")->AsString(), "2,5");
  OpenCombo(statisticsGrid, "AVERAGE_WAIT");
  Finish(statisticsGrid, "-", VK_ESCAPE);
  EXPECT_EQ(statisticsData->RecordCount(), 2);
}

TEST(ComboBoxQuery, AnOwnerThatIsNoDataGridIsAnInvalidCast) {
  TComponent owner(nullptr);
  EXPECT_THROW(TComboBoxQuery combo(&owner), EInvalidCast);
  EXPECT_EQ(owner.ComponentCount(), 0);
}

}  // namespace
}  // namespace sessiontest
