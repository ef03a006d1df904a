// The filter row's data side and the grid data service: a column filter written back as text, a
// choice from the filter cell's list, the list loaded from its dataset, the service's hooks receiving
// the grid, the sort-marked columns rebuilt from the titles' sort indexes, and the filter row as a
// title row.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"

using namespace gridtest;

namespace {

// A dataset class with features of its own that note what they were asked.
class TFeaturedDataSet : public TMemDataSet {
  TALVIK_CLASS(TFeaturedDataSet, TMemDataSet)
  using TMemDataSet::TMemDataSet;
};
class TDerivedFeaturedDataSet : public TFeaturedDataSet {
  TALVIK_CLASS(TDerivedFeaturedDataSet, TFeaturedDataSet)
  using TFeaturedDataSet::TFeaturedDataSet;
};

std::vector<std::string>& FeatureCalls() {
  static std::vector<std::string> calls;
  return calls;
}

class TNotingFeatures : public TDatasetFeaturesEx {
  TALVIK_CLASS(TNotingFeatures, TDatasetFeaturesEx)
  void ApplySorting(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) override {
    FeatureCalls().push_back(std::string("sort ") + Sender->ClassName() + " " + DataSet->ClassName() +
                             (IsReopenCall ? " reopen" : ""));
  }
  void ApplyFilter(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) override {
    FeatureCalls().push_back(std::string("filter ") + Sender->ClassName() + " " + DataSet->ClassName() +
                             (IsReopenCall ? " reopen" : ""));
  }
};

class FilterService : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("DEPT", ftInteger);
    ds.AddRow({1, "Анна", 10});
    ds.AddRow({2, "Борис", 20});
    source.SetDataSet(&ds);
    ds.Open();
    depts.FieldDefs()->Add("DEPT_ID", ftInteger);
    depts.FieldDefs()->Add("DNAME", ftString, 20);
    depts.AddRow({10, "Продажи"});
    depts.AddRow({20, "Склад"});
    depts.AddRow({30, "O'Brien & Co"});
    deptSource.SetDataSet(&depts);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 500, 300);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 480, 280);
    for (const char* name : {"ID", "NAME", "DEPT"}) grid->Columns()->Add()->SetFieldName(name);
    grid->SetDataSource(&source);
    form->Show();
  }
  void TearDown() override {
    DBGridExDataService()->ApplySortingHook = nullptr;
    DBGridExDataService()->ApplyFilterHook = nullptr;
    form.reset();
    GridGuiTest::TearDown();
  }
  TSTColumnFilterEx* Filter(int I) { return grid->Columns()->Items(I)->STFilter(); }
  TMemDataSet ds;
  TEnableFailingDataSet depts;
  TDataSource source{nullptr}, deptSource{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
};

// ---- an expression written back as filter-row text

struct TextCase {
  const char* name;
  TSTFilterValueTypeEx type;
  TSTFilterOperatorEx op1;
  TVariant operand1;
  TSTFilterOperatorEx relation;
  TSTFilterOperatorEx op2;
  TVariant operand2;
  const char* expected;
};

class FilterText : public FilterService, public ::testing::WithParamInterface<TextCase> {};

TEST_P(FilterText, WritesOperatorsAndValuesByTheirTypes) {
  const TextCase& c = GetParam();
  TSTFilterExpressionEx& e = Filter(1)->Expression();
  e.ExpressionType = c.type;
  e.Operator1 = c.op1;
  e.Operand1 = c.operand1;
  e.Relation = c.relation;
  e.Operator2 = c.op2;
  e.Operand2 = c.operand2;
  EXPECT_EQ(Filter(1)->GetFilterText(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterText,
    ::testing::Values(
        TextCase{"IsNull", stfvtString, foNull, {}, foNon, foNon, {}, "=Null"},
        TextCase{"IsNotNull", stfvtString, foNotNull, {}, foNon, foNon, {}, "<>Null"},
        TextCase{"InList", stfvtString, foIn, VarArrayOf({"a", "b"}), foNon, foNon, {}, "In ('a','b')"},
        TextCase{
            "NotInNumbers", stfvtNumber, foNotIn, VarArrayOf({1.5, 2.0}), foNon, foNon, {}, "!In (1.5,2)"},
        TextCase{"LikeQuotedWithItsQuoteDoubled", stfvtString, foLike, "O'B*", foNon, foNon, {}, "~ 'O''B*'"},
        // an operator before a list (as "~ses, ," reads) writes the list as the parser reads it back
        TextCase{
            "LikeAList", stfvtString, foLike, VarArrayOf({"ses", "", ""}), foNon, foNon, {}, "~ 'ses','',''"},
        TextCase{"GreaterThanAList", stfvtNumber, foGreaterThan, VarArrayOf({1.0, 2.5}), foOR, foEqual,
                 VarArrayOf({3.0}), "> 1,2.5 OR = 3"},
        TextCase{"AndRange", stfvtNumber, foGreaterOrEqual, 10.0, foAND, foLessThan, 20.0, ">= 10 AND < 20"},
        TextCase{"OrWithNull", stfvtString, foEqual, "x", foOR, foNull, {}, "= 'x' OR =Null"},
        TextCase{"JoinWithoutSecondCondition", stfvtNumber, foEqual, 1.0, foAND, foNon, {}, "= 1 AND "},
        TextCase{"NoKindNoText", stfvtUnknown, foEqual, 1.0, foNon, foNon, {}, ""},
        TextCase{"NoOperatorNoText", stfvtString, foNon, "x", foNon, foNon, {}, ""}),
    [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(FilterService, WithAListSourceTheTextIsTheChosenValues) {
  Filter(2)->SetListSource(&deptSource);
  TSTFilterExpressionEx& e = Filter(2)->Expression();
  e.ExpressionType = stfvtString;
  e.Operator1 = foIn;
  e.Operand1 = VarArrayOf({"Продажи", "Склад"});
  EXPECT_EQ(Filter(2)->GetFilterText(), "'Продажи','Склад'");
  e.Operand1 = "Склад";
  EXPECT_EQ(Filter(2)->GetFilterText(), "Склад");
  EXPECT_EQ(Filter(2)->GetDataField(), "");  // no data field of its own beside a list
  Filter(2)->SetDataField("DEPT");
  EXPECT_EQ(Filter(2)->GetField(), ds.FieldByName("DEPT"));
}

TEST_F(FilterService, AChoiceFromTheListFiltersInItsTextAndAnEmptyKeyClears) {
  TSTColumnFilterEx* f = Filter(2);
  f->SetListSource(&deptSource);
  f->SetValue("Склад", 20);
  EXPECT_EQ(f->Expression().ExpressionType, stfvtString);
  EXPECT_EQ(f->Expression().Operator1, foIn);
  EXPECT_EQ(f->Operand1().AsString(), "Склад");
  EXPECT_EQ(f->FilterText(), "Склад");
  EXPECT_EQ(f->KeyValue().AsInteger(), 20);
  f->SetValue("", TVariant());
  EXPECT_EQ(f->Expression().Operator1, foNon);
  EXPECT_EQ(f->FilterText(), "");
  EXPECT_TRUE(f->KeyValue().IsEmpty());
}

TEST_F(FilterService, TheListLoadsFromItsDatasetAndLeavesItOnTheFirstRecord) {
  TSTColumnFilterEx* f = Filter(2);
  f->SetKeyField("DEPT_ID");
  f->SetListField("DNAME");
  f->SetListSource(&deptSource);
  EXPECT_EQ(f->KeyValues()->Count(), 0);  // the list dataset is closed
  depts.Open();                           // its data change loads the list
  ASSERT_EQ(f->KeyValues()->Count(), 3);
  EXPECT_EQ(f->KeyValues()->Strings(2), "30");
  EXPECT_EQ(f->ListValues()->Strings(0), "Продажи");
  EXPECT_EQ(depts.FieldByName("DEPT_ID")->AsInteger(), 10);
  EXPECT_FALSE(depts.ControlsDisabled());
}

TEST_F(FilterService, ALoadThatFailsGivesTheListsControlsBack) {
  TSTColumnFilterEx* f = Filter(2);
  f->SetListSource(&deptSource);
  depts.Open();
  f->SetKeyField("DEPT_ID");
  EXPECT_THROW(f->SetListField("NO_SUCH_FIELD"), Exception);
  EXPECT_FALSE(depts.ControlsDisabled());
}

// Giving the list's controls back fails after the load: the list still follows its dataset later.
TEST_F(FilterService, AListWhoseControlsFailToComeBackLoadsAgainLater) {
  TSTColumnFilterEx* f = Filter(2);
  f->SetKeyField("DEPT_ID");
  f->SetListSource(&deptSource);
  depts.Open();
  depts.failNextEnable = true;
  EXPECT_THROW(f->SetListField("DNAME"), EDatabaseError);
  EXPECT_FALSE(depts.ControlsDisabled());
  depts.Close();
  EXPECT_EQ(f->KeyValues()->Count(), 0) << "the list empties with its dataset";
  depts.Open();
  EXPECT_EQ(f->KeyValues()->Count(), 3) << "and loads when it opens again";
}

TEST_F(FilterService, AssignCopiesTheSettingsButNotTheFilter) {
  TSTColumnFilterEx* from = Filter(1);
  from->SetDataField("NAME");
  from->SetVisible(false);
  from->SetListSource(&deptSource);
  from->SetValue("Склад", 20);
  Filter(2)->Assign(from);
  EXPECT_EQ(Filter(2)->DataField(), "NAME");
  EXPECT_FALSE(Filter(2)->Visible());
  EXPECT_EQ(Filter(2)->ListSource(), &deptSource);
  EXPECT_EQ(Filter(2)->FilterText(), "");
}

// ---- the service

TEST_F(FilterService, TheHooksReceiveTheGridAndTheFilterMarkIsOnMeanwhile) {
  std::vector<std::string> calls;
  DBGridExDataService()->ApplySortingHook = [&](TCustomDBGridEx* G) {
    EXPECT_EQ(G, grid);
    calls.push_back("sort");
  };
  DBGridExDataService()->ApplyFilterHook = [&](TCustomDBGridEx* G) {
    EXPECT_TRUE(G->ApplyingFilter());
    calls.push_back("filter");
  };
  grid->ApplySorting();
  grid->ApplyFilter();
  EXPECT_FALSE(grid->ApplyingFilter());
  EXPECT_EQ(calls, (std::vector<std::string>{"sort", "filter"}));
  DBGridExDataService()->ApplyFilterHook = [](TCustomDBGridEx*) { throw Exception("server gone"); };
  EXPECT_THROW(grid->ApplyFilter(), Exception);
  EXPECT_FALSE(grid->ApplyingFilter());
}

TEST_F(FilterService, TheSortListIsRebuiltInTheOrderOfTheSortIndexes) {
  grid->SetOptionsEx(grid->OptionsEx() + dghMultiSortMarking);
  TDBGridColumnsEx* cols = grid->Columns();
  cols->Items(2)->Title()->SetSortMarker(smDownEx);
  cols->Items(0)->Title()->SetSortMarker(smUpEx);
  cols->Items(1)->Title()->SetSortMarker(smDownEx);
  cols->Items(1)->Title()->SetSortIndex(1);  // swaps with the column holding 1
  grid->RebuildSortMarkedColumns();
  EXPECT_EQ(grid->SortMarkedColumns(), (TColumnsExList{cols->Items(1), cols->Items(0), cols->Items(2)}));
  cols->Add()->SetFieldName("ID");  // a change of the collection rebuilds it
  cols->Items(0)->Title()->SetSortMarker(smNoneEx);
  grid->Columns()->BeginUpdate();
  grid->Columns()->EndUpdate();
  EXPECT_EQ(grid->SortMarkedColumns(), (TColumnsExList{cols->Items(1), cols->Items(2)}));
}

TEST_F(FilterService, WithoutHooksTheFeaturesOfTheDatasetsNearestClassDoTheWork) {
  RegisterDatasetFeatures(FeaturesClass<TNotingFeatures>(), TFeaturedDataSet::StaticClass());
  FeatureCalls().clear();
  grid->ApplySorting();  // a plain in-memory dataset has no features: nothing happens
  EXPECT_TRUE(FeatureCalls().empty());
  TDerivedFeaturedDataSet featured;
  featured.FieldDefs()->Add("ID", ftInteger);
  featured.Open();
  TDataSource featuredSource(nullptr);
  featuredSource.SetDataSet(&featured);
  grid->SetDataSource(&featuredSource);
  grid->ApplySorting();
  grid->ApplyFilter();
  EXPECT_EQ(FeatureCalls(), (std::vector<std::string>{"sort TDBGridEx TDerivedFeaturedDataSet reopen",
                                                      "filter TDBGridEx TDerivedFeaturedDataSet reopen"}));
  grid->SetDataSource(nullptr);
}

// ---- filter text parsed and written back

struct ParseCase {
  const char* name;
  int column;
  const char* text;
  const char* written;
};

class ColumnFilterRoundTrip : public FilterService, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(ColumnFilterRoundTrip, TextReadIntoTheExpressionIsWrittenBackTheSameWay) {
  const ParseCase& c = GetParam();
  Filter(c.column)->SetFilterText(c.text);
  EXPECT_EQ(Filter(c.column)->FilterText(), c.text);
  EXPECT_EQ(Filter(c.column)->GetFilterText(), c.written);
}

INSTANTIATE_TEST_SUITE_P(Table, ColumnFilterRoundTrip,
                         ::testing::Values(ParseCase{"NumberRange", 2, ">=10 and <20", ">= 10 AND < 20"},
                                           ParseCase{"NumberList", 0, "1,2", "In (1,2)"},
                                           ParseCase{"TextAloneIsLike", 1, "Ан*", "~ 'Ан*'"},
                                           ParseCase{"IsNull", 1, "=null", "=Null"},
                                           ParseCase{"IsNotNullOrValue", 1, "<>Null or 'x'",
                                                     "<>Null OR ~ 'x'"}),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(FilterService, AMalformedTextLeavesTheFilterAsItWas) {
  Filter(2)->SetFilterText(">5");
  EXPECT_THROW(Filter(2)->SetFilterText("in 5"), Exception);
  EXPECT_EQ(Filter(2)->FilterText(), ">5");
  EXPECT_EQ(Filter(2)->GetFilterText(), "> 5");
}

// ---- the filter row as a title row

TEST_F(FilterService, TheFilterRowIsOneMoreFixedRow) {
  const int rows = grid->RowCount();
  EXPECT_EQ(grid->TitleOffset(), 1);
  grid->STFilter()->SetVisible(true);
  EXPECT_TRUE(grid->FilterRowShown());
  EXPECT_EQ(grid->TitleOffset(), 2);
  EXPECT_EQ(grid->FixedRows(), 2);
  EXPECT_EQ(grid->RowCount(), rows + 1);
  grid->STFilter()->SetVisible(false);
  EXPECT_EQ(grid->TitleOffset(), 1);
}

}  // namespace
