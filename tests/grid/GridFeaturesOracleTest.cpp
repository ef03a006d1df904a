// The SQL features against the simulated instance: the session monitor's statement sorted through its
// ORDER BY line and a statement filtered through its /*FILTER*/ line, with the rows as the server
// returns them.
#include <gtest/gtest.h>

#include <memory>

#include "GridOracleSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DatasetFeatures.h"
#include "grid/GridLibRVL.h"
#include "platform/rtl/ScopeExit.h"

namespace {

using namespace gridtest;

class FeaturesOnInstance : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    RegisterOracleDatasetFeatures();
    sim = std::make_unique<SimSessionList>();
    form = std::make_unique<TForm>(nullptr);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 680, 380);
    grid->SetOptionsEx(grid->OptionsEx() + dghMultiSortMarking);
    ds = sim->DataSet();
    sim->SetReadOnly(true);
    source.SetDataSet(ds);
    grid->SetDataSource(&source);
  }
  void TearDown() override {
    form.reset();
    sim.reset();
    ClearDatasetFeatures();
    GridGuiTest::TearDown();
  }
  TStrings* SQL() { return static_cast<TStrings*>(ds->FindObjectProperty("SQL")); }
  TColumnEx* Column(const char* Name) {
    for (int i = 0; i < grid->Columns()->Count(); ++i)
      if (grid->Columns()->Items(i)->FieldName() == Name) return grid->Columns()->Items(i);
    ADD_FAILURE() << Name;
    return nullptr;
  }
  // Columns of the grid's own (as the program's grids have), which live across a reopen.
  void OpenWithColumns() {
    ds->Open();
    grid->Columns()->Clear();
    for (int i = 0; i < ds->FieldCount(); ++i)
      grid->Columns()->Add()->SetFieldName(ds->Fields()->Fields(i)->FieldName());
  }
  void Sort() { GetDatasetFeaturesForDataSet(ds)->ApplySorting(grid, ds, true); }
  std::string LastLine() { return SQL()->Strings(SQL()->Count() - 1); }
  // The rows' values of two fields, as fetched.
  std::vector<std::pair<TVariant, TVariant>> Rows(const char* A, const char* B) {
    std::vector<std::pair<TVariant, TVariant>> rows;
    for (ds->First(); !ds->Eof(); ds->Next())
      rows.emplace_back(ds->FieldByName(A)->Value(), ds->FieldByName(B)->Value());
    return rows;
  }
  // Whether a precedes b (or equals) in an order with nulls last ascending and first descending.
  static int Compare(const TVariant& a, const TVariant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? 1 : -1);
    if (VarIsNumeric(a)) return a.AsDouble() < b.AsDouble() ? -1 : (a.AsDouble() > b.AsDouble() ? 1 : 0);
    return CompareStr(a.AsString(), b.AsString());
  }
  std::unique_ptr<SimSessionList> sim;
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  TDataSet* ds = nullptr;
  TDataSource source{nullptr};
};

TEST_F(FeaturesOnInstance, SessionStatementClickedToItsSelectListPositions) {
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 700, 400);
  form->Show();
  grid->SetOptionsEx(grid->OptionsEx() + dghAutoSortMarking);
  OpenWithColumns();
  for (int i = 0; i < grid->Columns()->Count(); ++i) {
    grid->Columns()->Items(i)->Title()->SetTitleButton(true);
    grid->Columns()->Items(i)->SetWidth(60);
  }
  grid->SetFocus();
  talvik::gui::ProcessPending();
  ASSERT_EQ(GetDatasetFeaturesForDataSet(ds)->ClassName(), "TSQLDatasetFeaturesEx");
  auto click = [&](int Column, bool Ctrl) {
    Advance(600);  // never a double click
    const TRect r = grid->CellRect(Column + grid->IndicatorOffset(), 0);
    const TPoint p = grid->ClientToScreen(TPoint{(r.Left + r.Right) / 2, r.Top + 3});
    const talvik::gui::ShiftKeys shift{false, Ctrl, false};
    if (Ctrl) talvik::gui::InjectKey(VK_CONTROL, true, 0, shift);
    talvik::gui::InjectMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y}, shift);
    talvik::gui::InjectMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, shift);
    if (Ctrl) talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
    talvik::gui::ProcessPending();
  };
  click(4, false);  // STATUS
  EXPECT_EQ(LastLine(), "ORDER BY 5");
  auto rows = Rows("STATUS", "SID");
  ASSERT_GT(rows.size(), 3u);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(Compare(rows[i - 1].first, rows[i].first), 0);

  click(4, false);
  EXPECT_EQ(LastLine(), "ORDER BY 5 DESC");
  click(0, true);  // SID, with Ctrl: applied when Ctrl goes up
  EXPECT_EQ(LastLine(), "ORDER BY 5 DESC, 1");
  rows = Rows("STATUS", "SID");
  for (size_t i = 1; i < rows.size(); ++i) {
    const int c = Compare(rows[i - 1].first, rows[i].first);
    EXPECT_GE(c, 0);
    if (c == 0) {
      EXPECT_LT(Compare(rows[i - 1].second, rows[i].second), 0);
    }
  }

  // both markers cycled away with Ctrl: no ORDER BY is left
  click(0, true);
  click(0, true);
  click(4, true);
  EXPECT_EQ(LastLine(), "");
  EXPECT_EQ(SQL()->Text().find("ORDER BY"), std::string::npos);
  EXPECT_TRUE(ds->Active());
}

TEST_F(FeaturesOnInstance, NullsLastAscendingFirstDescending) {
  // background sessions have no user number
  SQL()->SetText(
      "SELECT s.sid, DECODE(s.type, 'BACKGROUND', NULL, s.sid) user_sid\n"
      "FROM v$session s\n"
      "ORDER BY 1\n");
  OpenWithColumns();
  TColumnEx* user = Column("USER_SID");
  user->Title()->SetSortMarker(smDownEx);
  Sort();
  EXPECT_EQ(LastLine(), "ORDER BY 2");
  auto rows = Rows("USER_SID", "SID");
  ASSERT_GT(rows.size(), 2u);
  ASSERT_FALSE(rows.front().first.IsNull());
  EXPECT_TRUE(rows.back().first.IsNull());
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(Compare(rows[i - 1].first, rows[i].first), 0);
  user->Title()->SetSortMarker(smUpEx);
  Sort();
  EXPECT_EQ(LastLine(), "ORDER BY 2 DESC");
  rows = Rows("USER_SID", "SID");
  EXPECT_TRUE(rows.front().first.IsNull());
  EXPECT_FALSE(rows.back().first.IsNull());
}

constexpr const char* kFiltered =
    "SELECT s.sid, s.status, s.machine, s.username oracle_user, s.logon_time, s.action\n"
    "FROM v$session s\n"
    "WHERE s.sid > 0 AND\n"
    "/*FILTER*/ (1=1)\n"
    "ORDER BY 1\n";

TEST_F(FeaturesOnInstance, FilterLineConditionsAsTheServerReadsThem) {
  SQL()->SetText(kFiltered);
  ds->Open();
  const int all = ds->RecordCount();
  ASSERT_GT(all, 1);
  ds->First();
  const int firstSid = ds->FieldByName("SID")->AsInteger();

  auto apply = [&](std::vector<std::pair<const char*, TSTFilterExpressionEx>> Filters) {
    std::vector<TSTColumnFilterItem> items;
    for (auto& f : Filters) items.push_back({f.first, &f.second});
    ApplyFilterForSQLDataSet(ds, items, true, "SQL", {});
    int n = 0;
    for (ds->First(); !ds->Eof(); ds->Next()) ++n;
    return n;
  };
  auto parsed = [](TSTFilterValueTypeEx T, const std::string& Text) {
    TSTFilterExpressionEx e;
    e.ExpressionType = T;
    ParseSTFilterExpression(Text, e);
    return e;
  };
  EXPECT_EQ(apply({{"STATUS", parsed(stfvtString, "%")}}), all);
  EXPECT_EQ(SQL()->Strings(3), "/*FILTER*/ ( STATUS LIKE '%' )");
  EXPECT_EQ(apply({{"SID", parsed(stfvtNumber, "in (" + IntToStr(firstSid) + ", -1)")}}), 1);
  EXPECT_EQ(
      apply({{"SID", parsed(stfvtNumber, IntToStr(firstSid))}, {"STATUS", parsed(stfvtString, "=null")}}), 0);
  EXPECT_EQ(apply({{"MACHINE", parsed(stfvtString, "='x'' OR ''1''=''1'")}}), 0);  // one literal
  TSTFilterExpressionEx since;
  since.ExpressionType = stfvtDateTime;
  since.Operator1 = foGreaterThan;
  since.Operand1 = TVariant::FromDate(EncodeDate(1990, 1, 1));
  EXPECT_EQ(apply({{"LOGON_TIME", since}}), all);
  EXPECT_EQ(apply({}), all);
  EXPECT_EQ(SQL()->Strings(3), "/*FILTER*/ (1=1)");

  // a select-list alias is no column of the table: the server refuses it
  try {
    apply({{"ORACLE_USER", parsed(stfvtString, "SYS%")}});
    FAIL() << "the alias was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.Message()).find("ORA-00904"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(ds->ControlsDisabled());
}

}  // namespace
