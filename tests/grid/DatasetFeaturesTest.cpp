// Dataset features: the filter-row parser, the SQL and local conditions built from parsed filters, the
// ORDER BY and /*FILTER*/ rewriting of a statement, the registry, and sorting a grid's dataset by
// rewriting its statement and reopening it.
#include <gtest/gtest.h>

#include <memory>

#include "GridFeaturesSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DatasetFeatures.h"
#include "platform/rtl/ScopeExit.h"

namespace {

using namespace gridtest;

std::string OperandText(const TVariant& V) {
  if (V.IsEmpty()) return "";
  if (V.IsArray()) {
    std::string s = "[";
    for (int i = VarArrayLowBound(V, 1); i <= VarArrayHighBound(V, 1); ++i)
      s += (i > VarArrayLowBound(V, 1) ? "|" : "") + OperandText(VarArrayGet(V, {i}));
    return s + "]";
  }
  if (V.VarType() == varDouble) {
    TFormatSettings fs = FormatSettings;
    fs.DecimalSeparator = '.';
    return "#" + FloatToStr(V.AsDouble(), fs);
  }
  return V.AsString();
}

std::string Describe(const TSTFilterExpressionEx& E) {
  auto part = [](TSTFilterOperatorEx Op, const TVariant& V) {
    std::string s = STFilterOperatorsSQLStrEx[Op];
    const std::string o = OperandText(V);
    return o.empty() ? s : s + " " + o;
  };
  std::string s = part(E.Operator1, E.Operand1);
  if (E.Relation != foNon) s += std::string(" ") + STFilterOperatorsSQLStrEx[E.Relation];
  if (E.Operator2 != foNon) s += " " + part(E.Operator2, E.Operand2);
  return s;
}

struct ParseCase {
  const char* Name;
  TSTFilterValueTypeEx Type;
  const char* Text;
  const char* Expect;  // the parsed record, or the exception's message
  bool Second = false;
};

class FilterParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FilterParse, TextGivesRecordOrMessage) {
  const ParseCase& c = GetParam();
  TSTFilterExpressionEx e;
  e.ExpressionType = c.Type;
  try {
    const bool second = ParseSTFilterExpression(c.Text, e);
    EXPECT_EQ(Describe(e), c.Expect);
    EXPECT_EQ(second, c.Second);
    EXPECT_EQ(e.ExpressionType, c.Type);
  } catch (const Exception& ex) {
    EXPECT_EQ(std::string(ex.Message()), c.Expect);
  }
}

INSTANTIATE_TEST_SUITE_P(
    grid, FilterParse,
    ::testing::Values(
        ParseCase{"StringAloneIsLike", stfvtString, "ACT%", "LIKE ACT%"},
        ParseCase{"NumberAloneIsEqual", stfvtNumber, " 5 ", "= #5"},
        ParseCase{"ListAloneIsIn", stfvtNumber, "1, 2,3", "IN [#1|#2|#3]"},
        ParseCase{"BlanksInsideAValue", stfvtString, "New York", "LIKE New York"},
        ParseCase{"CyrillicValue", stfvtString, "=Иванов", "= Иванов"},
        ParseCase{"QuotedWithDoubledQuote", stfvtString, "'It''s'", "LIKE It's"},
        ParseCase{"QuotedKeepsOperatorsAndCommas", stfvtString, "='a, b OR c'", "= a, b OR c"},
        ParseCase{"Symbols", stfvtNumber, ">=1 & <=9", ">= #1 AND <= #9", true},
        ParseCase{"WordsInAnyCase", stfvtNumber, ">1 or < 0.5", "> #1 OR < #0.5", true},
        ParseCase{"BangEqualIsNotEqual", stfvtNumber, "!=3", "<> #3"},
        ParseCase{"TildeIsLike", stfvtString, "~ab_", "LIKE ab_"},
        ParseCase{"NotLikeSymbolic", stfvtString, "!~ab", "NOT LIKE ab"},
        ParseCase{"NotLikeWords", stfvtString, "not like ab", "NOT LIKE ab"},
        ParseCase{"InList", stfvtNumber, "in (1,2)", "IN [#1|#2]"},
        ParseCase{"InOneValueStaysSingle", stfvtString, "In('x')", "IN x"},
        ParseCase{"NotInSymbolic", stfvtString, "!In(a,b)", "NOT IN [a|b]"},
        ParseCase{"EqualsNullIsIsNull", stfvtString, "=Null", "IS NULL"},
        ParseCase{"NotEqualsNullIsIsNotNull", stfvtString, "<> NULL", "IS NOT NULL"},
        ParseCase{"BangEqualsNull", stfvtNumber, "!=null", "IS NOT NULL"},
        ParseCase{"JoinAtTheEndIsKept", stfvtString, "John and", "LIKE John AND"},
        ParseCase{"EmptyTextLeavesTheRecordEmpty", stfvtString, "   ", ""},
        ParseCase{"InWithoutParen", stfvtNumber, "in 1", "'(' expected: in 1"},
        ParseCase{"InWithoutClosingParen", stfvtNumber, "in (1,2", "')' expected: in (1,2"},
        ParseCase{"QuoteNeverClosed", stfvtString, "'abc", "Quote is absent: 'abc"},
        ParseCase{"NullAfterGreater", stfvtNumber, ">null", "Unexpected expression before Null: >null"},
        ParseCase{"NullAlone", stfvtString, "null", "Unexpected expression after operator: null"},
        ParseCase{"BangNull", stfvtString, "!Null", "Unexpected expression after operator: !Null"},
        ParseCase{"OperatorAlone", stfvtString, "=", "Unexpected expression after operator: ="},
        ParseCase{"OpeningParenthesis", stfvtString, "(a)", "Error in expression: (a)"},
        ParseCase{"StartsWithAnd", stfvtString, "and x", "Error in expression: and x"},
        ParseCase{"OperatorAfterCondition", stfvtString, "'a' =b", "Unexpected AND or OR: 'a' =b"},
        ParseCase{"TextAfterCondition", stfvtString, "'a' b", "Incorrect expression: 'a' b"},
        ParseCase{"ThirdCondition", stfvtNumber, "1 or 2 or 3", "Unexpected AND or OR: 1 or 2 or 3"}),
    [](const ::testing::TestParamInfo<ParseCase>& i) { return std::string(i.param.Name); });

TEST(FilterParse, DateAndLocaleNumbers) {
  const TFormatSettings saved = FormatSettings;
  TScopeExit restore([&] { FormatSettings = saved; });
  TSTFilterExpressionEx e;
  e.ExpressionType = stfvtDateTime;
  const TDateTime when = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0);
  ParseSTFilterExpression(">=" + DateTimeToStr(when), e);
  EXPECT_EQ(e.Operator1, foGreaterOrEqual);
  EXPECT_EQ(e.Operand1.VarType(), varDate);
  EXPECT_NEAR(e.Operand1.AsDateTime(), when, 1e-6);

  // with "," as the decimal separator a number column keeps commas in its values
  FormatSettings.DecimalSeparator = ',';
  e.ExpressionType = stfvtNumber;
  ParseSTFilterExpression("1,5", e);
  EXPECT_EQ(Describe(e), "= #1.5");
  ParseSTFilterExpression("in (1,5)", e);  // after IN commas always separate
  EXPECT_EQ(Describe(e), "IN [#1|#5]");
  e.ExpressionType = stfvtString;
  ParseSTFilterExpression("1,5", e);
  EXPECT_EQ(Describe(e), "IN [1|5]");

  e.ExpressionType = stfvtNumber;
  EXPECT_THROW(ParseSTFilterExpression("=abc", e), EConvertError);
}

// ---------------------------------------------------------------- conditions

TSTFilterExpressionEx Parsed(TSTFilterValueTypeEx Type, const std::string& Text) {
  TSTFilterExpressionEx e;
  e.ExpressionType = Type;
  ParseSTFilterExpression(Text, e);
  return e;
}

struct ConditionCase {
  const char* Name;
  TSTFilterValueTypeEx Type;
  const char* Text;
  const char* SQL;
  const char* Local;      // without local LIKE
  const char* LocalLike;  // with it
};

class FilterCondition : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(FilterCondition, SQLAndLocalText) {
  const ConditionCase& c = GetParam();
  const TFormatSettings saved = FormatSettings;
  TScopeExit restore([&] { FormatSettings = saved; });
  FormatSettings.DecimalSeparator = ',';  // SQL keeps ".", the local text follows the locale
  const TSTFilterExpressionEx e = Parsed(c.Type, c.Text);
  EXPECT_EQ(GetExpressionAsSQLCondition("C", e, nullptr, {}), c.SQL);
  // one column's text keeps the blank the joining of columns leaves
  EXPECT_EQ(BuildLocalFilterText({{"C", &e}}, false, nullptr, {}), c.Local + std::string(" "));
  EXPECT_EQ(BuildLocalFilterText({{"C", &e}}, true, nullptr, {}), c.LocalLike + std::string(" "));
}

INSTANTIATE_TEST_SUITE_P(
    grid, FilterCondition,
    ::testing::Values(
        ConditionCase{"Like", stfvtString, "ACT%", " C LIKE 'ACT%'", " [C] = 'ACT%'", " [C] Like 'ACT%'"},
        ConditionCase{"NotLike", stfvtString, "!~A*", " C NOT LIKE 'A*'", " [C] <> 'A*'",
                      " [C] Not Like 'A*'"},
        ConditionCase{"QuoteDoubled", stfvtString, "='x'' OR ''1''=''1'", " C = 'x'' OR ''1''=''1'",
                      " [C] = 'x'' OR ''1''=''1'", " [C] = 'x'' OR ''1''=''1'"},
        ConditionCase{"FloatWithPointInSQL", stfvtNumber, "<2,5", " C < 2.5", " [C] < 2,5", " [C] < 2,5"},
        ConditionCase{"InList", stfvtNumber, "in (1, 2)", "C IN (1,2)", " ([C] = 1 OR [C] = 2)",
                      " ([C] = 1 OR [C] = 2)"},
        ConditionCase{"IsNull", stfvtString, "=null", " C IS NULL", " [C] IS NULL", " [C] IS NULL"},
        ConditionCase{"IsNotNull", stfvtString, "<>null", " C IS NOT NULL", " [C] IS NOT NULL",
                      " [C] IS NOT NULL"},
        ConditionCase{"NotIn", stfvtString, "!in (a, b)", "C NOT IN ('a','b')",
                      " NOT ([C] = 'a' OR [C] = 'b')", " NOT ([C] = 'a' OR [C] = 'b')"},
        ConditionCase{"AndJoin", stfvtString, ">=a and <b", " C >= 'a' AND C < 'b'",
                      " [C] >= 'a' AND [C] < 'b'", " [C] >= 'a' AND [C] < 'b'"},
        ConditionCase{"OrJoinInParentheses", stfvtString, "a or =null", "( C LIKE 'a' OR C IS NULL)",
                      "( [C] = 'a' OR [C] IS NULL)", "( [C] Like 'a' OR [C] IS NULL)"}),
    [](const ::testing::TestParamInfo<ConditionCase>& i) { return std::string(i.param.Name); });

TEST(FilterCondition, ColumnsJoinAndDates) {
  const TSTFilterExpressionEx status = Parsed(stfvtString, "ACT%");
  const TSTFilterExpressionEx sid = Parsed(stfvtNumber, "1,2");
  const TSTFilterExpressionEx none;
  EXPECT_EQ(BuildSQLFilterCondition({{"STATUS", &status}, {"X", &none}, {"SID", &sid}}, nullptr, {}),
            " STATUS LIKE 'ACT%' AND SID IN (1,2) ");
  EXPECT_EQ(BuildSQLFilterCondition({{"X", &none}}, nullptr, {}), "1=1");
  EXPECT_EQ(BuildLocalFilterText({}, true, nullptr, {}), "");

  TSTFilterExpressionEx d;
  d.ExpressionType = stfvtDateTime;
  d.Operator1 = foGreaterThan;
  d.Operand1 = TVariant::FromDate(EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0));
  EXPECT_EQ(GetExpressionAsSQLCondition("LOGON_TIME", d, nullptr, {}),
            " LOGON_TIME > TO_DATE('2024-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(GetExpressionAsSQLCondition("LOGON_TIME", d, nullptr,
                                        [](TDataSet*, const TVariant&) { return std::string(":D"); }),
            " LOGON_TIME > :D");
}

// ---------------------------------------------------------------- statement rewriting

std::string Lines(std::initializer_list<const char*> L) {
  std::string s;
  for (const char* l : L) s += std::string(l) + "\r\n";
  return s;
}

struct OrderByCase {
  const char* Name;
  std::string SQL;
  std::string OrderBy;
  std::string Expect;
};

class OrderByRewrite : public ::testing::TestWithParam<OrderByCase> {};

TEST_P(OrderByRewrite, OneLineChanges) {
  EXPECT_EQ(ReplaceOrderByLine(GetParam().SQL, GetParam().OrderBy), GetParam().Expect);
}

INSTANTIATE_TEST_SUITE_P(
    grid, OrderByRewrite,
    ::testing::Values(OrderByCase{"ReplacesTheLine", Lines({"select a", "from t", "ORDER BY s.status"}),
                                  "ORDER BY 5", Lines({"select a", "from t", "ORDER BY 5"})},
                      OrderByCase{"LowerCaseFound", Lines({"select a", "order by 2"}), "ORDER BY 1",
                                  Lines({"select a", "ORDER BY 1"})},
                      OrderByCase{"LeadingBlanksNotFound", Lines({"select a", "  ORDER BY 2"}), "ORDER BY 1",
                                  Lines({"select a", "  ORDER BY 2", "ORDER BY 1"})},
                      OrderByCase{"AppendedWhenMissing", Lines({"select a", "from t"}), "ORDER BY 3 DESC, 1",
                                  Lines({"select a", "from t", "ORDER BY 3 DESC, 1"})},
                      OrderByCase{"NoMarkerEmptiesTheLine", Lines({"select a", "ORDER BY 2"}), "",
                                  Lines({"select a", ""})},
                      OrderByCase{"FirstOfTwo", Lines({"ORDER BY 1", "ORDER BY 2"}), "ORDER BY 3",
                                  Lines({"ORDER BY 3", "ORDER BY 2"})}),
    [](const ::testing::TestParamInfo<OrderByCase>& i) { return std::string(i.param.Name); });

TEST(OrderByRewrite, TermsAndMarkers) {
  EXPECT_EQ(BuildOrderByLine({{"3", true}, {"1", false}}), "ORDER BY 3 DESC, 1");
  EXPECT_EQ(BuildOrderByLine({}), "");
  std::string sql = Lines({"select a from t", "WHERE s.type = 'USER' AND", "/*filter*/ old", "ORDER BY 1"});
  EXPECT_TRUE(ReplaceFilterLine(sql, "1=1"));
  EXPECT_EQ(sql, Lines({"select a from t", "WHERE s.type = 'USER' AND", "/*FILTER*/ (1=1)", "ORDER BY 1"}));
  std::string plain = Lines({"select a from t"});
  EXPECT_FALSE(ReplaceFilterLine(plain, "1=1"));
  EXPECT_EQ(plain, Lines({"select a from t"}));
}

// ---------------------------------------------------------------- registry

class OtherFeatures : public TDatasetFeaturesEx {
  TALVIK_CLASS(OtherFeatures, TDatasetFeaturesEx)
};

int& FeaturesAlive() {
  static int n = 0;
  return n;
}

class CountedFeatures : public TSQLDatasetFeaturesEx {
  TALVIK_CLASS(CountedFeatures, TSQLDatasetFeaturesEx)
  CountedFeatures() { ++FeaturesAlive(); }
  ~CountedFeatures() override { --FeaturesAlive(); }
};

TEST(FeaturesRegistry, NearestAncestorWinsAndReRegisteringFrees) {
  ClearDatasetFeatures();
  TScopeExit clear([] { ClearDatasetFeatures(); });
  TSqlMemDataSetChild child;
  TSqlMemDataSet parent;
  TMemDataSet plain;
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&child), nullptr);

  RegisterDatasetFeatures(FeaturesClass<OtherFeatures>(), TDataSet::StaticClass());
  RegisterDatasetFeatures(FeaturesClass<CountedFeatures>(), TSqlMemDataSet::StaticClass());
  TDatasetFeaturesEx* f = GetDatasetFeaturesForDataSet(&child);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->ClassNameIs("CountedFeatures"));
  EXPECT_EQ(f->DataSetClass, TSqlMemDataSet::StaticClass());
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&parent), f);
  EXPECT_TRUE(GetDatasetFeaturesForDataSet(&plain)->ClassNameIs("OtherFeatures"));

  RegisterDatasetFeatures(FeaturesClass<CountedFeatures>(), TSqlMemDataSet::StaticClass());
  EXPECT_EQ(FeaturesAlive(), 1);  // the earlier object went
  RegisterDatasetFeatures(FeaturesClass<CountedFeatures>(), nullptr);
  EXPECT_EQ(FeaturesAlive(), 1);  // nothing filed, nothing kept
  ClearDatasetFeatures();
  EXPECT_EQ(FeaturesAlive(), 0);
}

// ---------------------------------------------------------------- a grid's dataset sorted by its statement

class SqlSorting : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ds.SetName("odsPeople");
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("DEPT", ftInteger);
    ds.AddRow({1, "Ann", 2});
    ds.AddRow({2, "Bob", 1});
    for (int i = 0; i < ds.FieldDefs()->Count(); ++i) ds.FieldDefs()->Items(i)->CreateField(&ds);
    auto* calc = new TStringField(&ds);
    calc->SetFieldName("CALC");
    calc->SetFieldKind(fkCalculated);
    calc->SetDataSet(&ds);
    ds.SQL.SetText(Lines({"SELECT id, name, dept", "FROM people", "ORDER BY name"}));
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetOptionsEx(grid->OptionsEx() + dghMultiSortMarking);
    grid->SetDataSource(&source);
    ds.Open();
    for (const char* n : {"ID", "NAME", "DEPT", "CALC"}) grid->Columns()->Add()->SetFieldName(n);
    ds.Opens = ds.Closes = 0;
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  TColumnEx* Col(int i) { return grid->Columns()->Items(i); }
  std::string LastLine() {
    TStringList l;
    l.SetText(ds.SQL.Text());
    return l.Count() ? l.Strings(l.Count() - 1) : "";
  }
  TSqlMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  TSQLDatasetFeaturesEx features;
};

TEST_F(SqlSorting, MarkedColumnsInSortOrderThenReopen) {
  Col(2)->Title()->SetSortMarker(smUpEx);
  Col(0)->Title()->SetSortMarker(smDownEx);
  Col(3)->Title()->SetSortMarker(smDownEx);  // a calculated column: not in the statement, left out
  features.ApplySorting(grid, &ds, true);
  EXPECT_EQ(LastLine(), "ORDER BY 3 DESC, 1");
  EXPECT_EQ(ds.Closes, 1);
  EXPECT_EQ(ds.Opens, 1);
  EXPECT_FALSE(ds.ControlsDisabled());

  features.SortUsingFieldName = true;
  features.ApplySorting(grid, &ds, false);
  EXPECT_EQ(LastLine(), "ORDER BY DEPT DESC, ID");
  EXPECT_FALSE(ds.Active());  // no reopen asked

  for (int i = 0; i < 4; ++i) Col(i)->Title()->SetSortMarker(smNoneEx);
  features.ApplySorting(grid, &ds, true);
  EXPECT_EQ(LastLine(), "");
  EXPECT_TRUE(ds.Active());
}

TEST_F(SqlSorting, RefusalsAndAFailedReopen) {
  features.ApplySorting(&ds, &ds, true);  // not a grid: nothing
  EXPECT_EQ(ds.Opens + ds.Closes, 0);

  grid->SetSortLocal(true);
  try {
    features.ApplySorting(grid, &ds, true);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.Message()),
              "TSQLDatasetFeaturesEx can not sort data in dataset \"odsPeople\" in local mode");
  }
  grid->SetSortLocal(false);

  TMemDataSet plain;
  try {
    features.ApplySorting(grid, &plain, true);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.Message()), "TMemDataSet is not SQL based dataset");
  }

  Col(1)->Title()->SetSortMarker(smDownEx);
  ds.FailOn = "ORDER BY 2";
  EXPECT_THROW(features.ApplySorting(grid, &ds, true), Exception);
  EXPECT_FALSE(ds.Active());  // closed, with the new text
  EXPECT_EQ(LastLine(), "ORDER BY 2");
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(SqlSorting, FilterLineRewrittenWhileClosedToo) {
  ds.SQL.SetText(Lines({"SELECT id, name", "FROM people WHERE dept > 0 AND", "/*FILTER*/", "ORDER BY 1"}));
  const TSTFilterExpressionEx name = Parsed(stfvtString, "A%");
  ds.Close();
  ApplyFilterForSQLDataSet(&ds, {{"NAME", &name}}, true, "SQL", {});
  EXPECT_EQ(ds.SQL.Strings(2), "/*FILTER*/ ( NAME LIKE 'A%' )");
  EXPECT_TRUE(ds.Active());
  ds.SQL.SetText(Lines({"SELECT id FROM people"}));
  ds.Opens = ds.Closes = 0;
  ApplyFilterForSQLDataSet(&ds, {{"NAME", &name}}, true, "SQL", {});
  EXPECT_EQ(ds.Opens + ds.Closes, 0);  // no marker: nothing changes
}

}  // namespace
