// Query-by-example: translating typed criteria, the stored field settings, entering and leaving the
// mode, the statement with the criteria and the recolouring of bound controls.
#include <gtest/gtest.h>

#include "oracle/OracleVisual.h"
#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {
struct CriterionCase {
  const char* name;
  TFieldType type;
  const char* criterion;
  const char* expected;  // the condition text with column C
  bool allowOperators = true;
  bool partial = false, anyPosition = false, caseInsensitive = false, wholeDays = false;
};

std::string Translate(const CriterionCase& c, std::vector<std::pair<std::string, std::string>>& Binds) {
  TQBEOptions o;
  o.DataType = c.type;
  o.AllowOperators = c.allowOperators;
  o.PartialMatch = c.partial;
  o.AnyPosition = c.anyPosition;
  o.CaseInsensitive = c.caseInsensitive;
  o.WholeDays = c.wholeDays;
  return TranslateQBECriterion(c.criterion, "C", o, Binds).Text();
}

void PrintTo(const CriterionCase& c, std::ostream* os) {
  *os << c.name;
}

// Dates are read in the user's format: here the Russian one (dd.MM.yyyy).
class CriterionTranslation : public ::testing::TestWithParam<CriterionCase> {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings = RussianFormatSettings();
  }
  void TearDown() override { FormatSettings = saved_; }
  TFormatSettings saved_;
};

TEST_P(CriterionTranslation, GivesTheCondition) {
  std::vector<std::pair<std::string, std::string>> binds;
  EXPECT_EQ(Translate(GetParam(), binds), GetParam().expected);
}

const CriterionCase kCriteria[] = {
    {"PlainString", ftString, "ABC", "(C = 'ABC')"},
    {"PartialMatch", ftString, "ABC", "(C like 'ABC%')", false, true},
    {"AnyPosition", ftString, "ABC", "(C like '%ABC%')", false, false, true},
    {"CaseInsensitive", ftString, "sm", "(upper(C) like 'SM%')", false, true, false, true},
    {"QuotesDoubled", ftString, "O'Brien", "(C = 'O''Brien')", false},
    {"QuotedValueLosesItsQuotes", ftString, "'x y'", "(C = 'x y')"},
    {"FileWildCards", ftString, "A*B?", "(C like 'A%B_')"},
    {"NotWithOperators", ftString, "NOT ABC", "(not (C = 'ABC') or C is null)"},
    {"NotWithoutOperators", ftString, "NOT ABC", "(C = 'NOT ABC')", false},
    {"Null", ftString, "NULL", "(C is null)"},
    {"IsNull", ftString, "is null", "(C is null)"},
    {"NotNull", ftString, "NOT NULL", "not (C is null)"},
    {"IsNotNull", ftString, "IS NOT NULL", "not (C is null)"},
    {"Alternatives", ftString, "New York OR Boston", "(C = 'New York' or C = 'Boston')"},
    {"LeadingOperator", ftString, ">= M", "(C >= 'M')"},
    {"LoneEqualsTakesTheDefault", ftString, "= A%", "(C like 'A%')"},
    {"InList", ftString, "IN ('A', 'B')", "(C in ('A','B'))"},
    {"Like", ftString, "LIKE X_", "(C like 'X_')"},
    {"IntegerAlternatives", ftInteger, "1 2 3", "(C = 1 or C = 2 or C = 3)"},
    {"IntegerRange", ftInteger, "10..20", "(C between 10 and 20)"},
    {"IntegerRangeWithBlanks", ftInteger, "10 - 20", "(C between 10 and 20)"},
    {"IntegerOperator", ftInteger, ">=5", "(C >= 5)"},
    {"IntegerBetween", ftInteger, "BETWEEN 1 AND 9", "(C between 1 and 9)"},
    {"IntegerIn", ftInteger, "in (1,2)", "(C in (1,2))"},
    {"IntegerWildcard", ftInteger, "1%", "(C like '1%')"},
    {"FloatSeparators", ftFloat, "1.234,5", "(C = 1234.5)"},
    {"FloatPlain", ftFloat, "12.5", "(C = 12.5)"},
    {"DateWithTime", ftDateTime, "01.02.2003 10:11:12",
     "(C = to_date('01-02-2003 10:11:12', 'DD-MM-YYYY HH24:MI:SS'))"},
    {"DateAlone", ftDateTime, "01.02.2003", "(C = to_date('01-02-2003', 'DD-MM-YYYY'))"},
    {"WholeDay", ftDateTime, "01.02.2003",
     "(C >= to_date('01-02-2003', 'DD-MM-YYYY') and C < to_date('02-02-2003', 'DD-MM-YYYY'))", true, false,
     false, false, true},
    {"WholeDayKeepsAnOperator", ftDateTime, "> 01.02.2003", "(C > to_date('01-02-2003', 'DD-MM-YYYY'))", true,
     false, false, false, true},
    {"DateWildcardIsText", ftDateTime, "01.02.%", "(C like '01.02.%')"},
    {"Time", ftTime, "10:11:12", "(C = to_date('10:11:12', 'HH24:MI:SS'))"},
};

INSTANTIATE_TEST_SUITE_P(Criteria, CriterionTranslation, ::testing::ValuesIn(kCriteria),
                         [](const ::testing::TestParamInfo<CriterionCase>& i) {
                           return std::string(i.param.name);
                         });

using CriterionBinding = CriterionTranslation;

TEST_F(CriterionBinding, TextWhereANumberIsDueIsBoundNeverSpliced) {
  std::vector<std::pair<std::string, std::string>> binds;
  const CriterionCase attack{"", ftFloat, "1 or 1=1", ""};
  EXPECT_EQ(Translate(attack, binds), "(C = 1 or C = :RVL__QBE1)");
  ASSERT_EQ(binds.size(), 1u);
  EXPECT_EQ(binds[0].second, "1=1");
  const CriterionCase sub{"", ftInteger, "(select max(sal) from emp)", "", false};
  EXPECT_EQ(Translate(sub, binds), "(C = :RVL__QBE2)") << "numbering goes on across criteria";
  const CriterionCase quote{"", ftString, "x') or ('1'='1", "", false};
  EXPECT_EQ(Translate(quote, binds), "(C = 'x'') or (''1''=''1')");
  const CriterionCase date{"", ftDate, "not a date", "", false};
  EXPECT_THROW(Translate(date, binds), EConvertError);
}

// ---- The stored field settings -------------------------------------------------------------------

std::string Stored(int Version, const std::vector<std::pair<std::string, std::string>>& Items) {
  std::string out;
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  };
  put(Version);
  put(static_cast<int32_t>(Items.size()));
  for (const auto& [name, flags] : Items) {
    put(static_cast<int32_t>(name.size()));
    out += name + flags;
  }
  return out;
}

TEST(QBEFieldDefs, VersionsOneToThreeAndDamagedStreams) {
  TQBEDefinition def(nullptr);
  const std::string v1 = Stored(1, {{"ENAME", std::string("\1\1\1", 3)}});
  TStringStream s1(v1);
  def.ReadFieldDefs(&s1);
  ASSERT_EQ(def.Count(), 1);
  EXPECT_TRUE(def.Fields(0)->PartialMatch());
  EXPECT_TRUE(def.Fields(0)->CaseInsensitive());
  EXPECT_FALSE(def.Fields(0)->WholeDays()) << "version 1 has no WholeDays";
  EXPECT_FALSE(def.Fields(0)->AnyPosition());

  TStringStream s2(
      Stored(2, {{"HIREDATE", std::string("\1\0\0\1", 4)}, {"SAL", std::string("\0\0\0\0", 4)}}));
  def.ReadFieldDefs(&s2);
  ASSERT_EQ(def.Count(), 2);
  EXPECT_TRUE(def.Fields(0)->WholeDays());
  EXPECT_FALSE(def.Fields(0)->AnyPosition()) << "version 2 has no AnyPosition";
  EXPECT_FALSE(def.Fields(1)->StoredEnabled());

  const std::string v3 = Stored(3, {{"ENAME", std::string("\1\0\1\0\1", 5)}});
  TStringStream s3(v3);
  def.ReadFieldDefs(&s3);
  EXPECT_TRUE(def.Fields(0)->AnyPosition());
  TStringStream written("");
  def.WriteFieldDefs(&written);
  EXPECT_EQ(written.DataString(), v3) << "written back byte for byte";

  TStringStream newer(Stored(4, {}));
  try {
    def.ReadFieldDefs(&newer);
    ADD_FAILURE() << "a later version is refused";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Invalid version of QBEDefinition");
  }
  for (const std::string& bad :
       {v3.substr(0, v3.size() - 1), Stored(3, {{"X", ""}}), v1.substr(0, 9),
        std::string("\3\0\0\0\xff\xff\xff\x7f", 8), std::string("\3\0\0\0\1\0\0\0\xf0\xff\xff\xff", 12)}) {
    TStringStream damaged(bad);
    EXPECT_THROW(def.ReadFieldDefs(&damaged), EReadError);
    EXPECT_EQ(def.Count(), 0) << "a damaged stream leaves no items";
  }
}

// ---- The mode on a dataset -----------------------------------------------------------------------

// A data-aware control of the test's own: a component bound to a data source and field.
class TTestControl : public TComponent, public IDataAwareControl {
  TALVIK_CLASS(TTestControl, TComponent)
  using TComponent::TComponent;
  TDataSource* Source = nullptr;
  std::string FieldName;
  bool Caption = false;
  int32_t Color = data_aware_colors::Window, FontColor = data_aware_colors::WindowText;
  TDataSource* ControlDataSource() const override { return Source; }
  std::string ControlDataField() const override { return FieldName; }
  bool ControlHasCaption() const override { return Caption; }
  int32_t ControlColor() const override { return Color; }
  void SetControlColor(int32_t Value) override { Color = Value; }
  int32_t ControlFontColor() const override { return FontColor; }
  void SetControlFontColor(int32_t Value) override { FontColor = Value; }
};

class QBETest : public OracleDataTest {
 protected:
  std::unique_ptr<TOracleDataSet> Emp() {
    auto ds = DataSet("select e.*, e.rowid\nfrom emp e\nwhere e.deptno = :deptno\norder by ename");
    ds->DeclareVariable("deptno", otInteger);
    ds->SetVariable("deptno", 20);
    return ds;
  }
};
}  // namespace

TEST_F(QBETest, CriteriaBecomeTheConditionAndLeaveWithTheirMarker) {
  auto ds = Emp();
  ds->Open();
  TQBEField* ename = ds->QBEDefinition()->FindField("ENAME");
  ASSERT_NE(ename, nullptr) << "an item for every field";
  ename->SetPartialMatch(true);
  ename->SetCaseInsensitive(true);
  int before = 0, after = 0;
  ds->BeforeQBE = [&](TOracleDataSet*) { ++before; };
  ds->AfterQBE = [&](TOracleDataSet*) { ++after; };
  ds->SetQBEMode(true);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(ds->State(), dsInsert) << "one criteria record";
  EXPECT_EQ(Raised([&] { ds->Post(); }), "Operation not allowed in QBE mode");
  ds->FieldByName("ENAME")->SetAsString("sm");
  EXPECT_EQ(ds->RecordCount(), 1) << "counting applies the criteria";
  EXPECT_EQ(ds->SQL()->Text(),
            "select e.*, e.rowid\r\nfrom emp e\r\nwhere (e.deptno = :deptno)\r\nand\r\n"
            "((upper(ENAME) like 'SM%'))\r\norder by ename\r\n/* Modified for QBE */\r\n");
  ds->ExecuteQBE();
  EXPECT_FALSE(ds->QBEMode());
  EXPECT_EQ(after, 1);
  EXPECT_EQ(Column(ds.get(), "ENAME"), "SMITH");

  // Criteria come back on the next entry; cancel shows every row again.
  ds->SetQBEMode(true);
  EXPECT_EQ(ds->FieldByName("ENAME")->AsString(), "sm");
  ds->FieldByName("ENAME")->Clear();
  ds->SetQBEMode(false);
  EXPECT_EQ(Column(ds.get(), "ENAME"), "ADAMS,FORD,JONES,SCOTT,SMITH");
  ds->Close();
  EXPECT_EQ(ds->SQL()->Text(),
            "select e.*, e.rowid\r\nfrom emp e\r\nwhere e.deptno = :deptno\r\norder by ename\r\n")
      << "closing restores the statement";
}

TEST_F(QBETest, OperatorsOnNumbersAreBoundAndHandlersComeBack) {
  auto ds = Emp();
  ds->QBEDefinition()->SetAllowOperators(true);
  int changes = 0;
  ds->Open();
  TField* sal = ds->FieldByName("SAL");
  sal->OnChange = [&](TField*) { ++changes; };
  ds->SetQBEMode(true);
  EXPECT_TRUE(sal->ValidChars().Contains(U'>')) << "any character may be typed";
  sal->SetText("1 or 1=1");
  EXPECT_EQ(sal->Text(), "1 or 1=1") << "the criterion is shown";
  std::string rows;
  try {
    ds->ExecuteQBE();
    rows = Column(ds.get(), "ENAME");
  } catch (const EOracleError& e) {
    rows = IntToStr(e.ErrorCode());
  }
  EXPECT_TRUE(rows.empty() || rows == "1722") << rows;
  EXPECT_EQ(ds->VariableIndex("RVL__QBE1") >= 0, true) << "the text went in as a bound value";

  ds->SetQBEMode(true);
  sal->SetText(">=3000");
  ds->ExecuteQBE();
  EXPECT_EQ(Column(ds.get(), "ENAME"), "FORD,SCOTT");
  EXPECT_LT(ds->VariableIndex("RVL__QBE1"), 0) << "the bound values went with the old criteria";
  changes = 0;
  ds->Edit();
  sal->SetAsFloat(1);
  ds->Cancel();
  EXPECT_EQ(changes, 1) << "the field's own handler is back";
}

TEST_F(QBETest, EntryIsRefusedWithPendingUpdatesOrWithoutAMasterRecord) {
  auto ds = Emp();
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->Edit();
  ds->FieldByName("SAL")->SetAsFloat(1);
  ds->Post();
  EXPECT_EQ(Raised([&] { ds->SetQBEMode(true); }), "QBE mode not allowed with pending updates");
  ds->CancelUpdates();
  ds->SetQBEMode(true);
  EXPECT_TRUE(ds->QBEMode());
  ds->SetQBEMode(false);

  auto [master, detail] = DeptAndEmployees("select d.*, d.rowid from dept d where deptno = 99");
  master->Open();
  detail->Open();
  auto& employees = detail;  // clang 14 cannot capture a structured binding in a lambda
  EXPECT_EQ(Raised([&] { employees->SetQBEMode(true); }), "QBE mode not allowed without a master record");

  auto closed = Emp();
  closed->SetQBEMode(true);
  EXPECT_TRUE(closed->QBEMode()) << "a closed dataset only keeps the flag";
  closed->Open();
  EXPECT_EQ(closed->State(), dsInsert) << "and enters the mode when opened";
  EXPECT_TRUE(closed->FieldByName("EMPNO")->CanModify());
}

TEST_F(QBETest, BoundControlsAreRecolouredWhileInTheMode) {
  Run(session.get(), "create table notes (id number(4), body clob)");
  auto ds = DataSet("select n.*, rowid from notes n");
  ds->QBEDefinition()->SetQBEBackgroundColor(0x00FFFF);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  TComponent form(nullptr);
  auto* id = new TTestControl(&form);
  id->Source = &source;
  id->FieldName = "ID";
  auto* body = new TTestControl(&form);
  body->Source = &source;
  body->FieldName = "BODY";
  auto* label = new TTestControl(&form);
  label->Source = &source;
  label->Caption = true;
  auto* coloured = new TTestControl(&form);
  coloured->Source = &source;
  coloured->Color = 0x123456;
  HeadlessOracleUserInterface().AddApplicationComponent(&form);
  ds->Open();
  ds->SetQBEMode(true);
  EXPECT_EQ(id->Color, 0x00FFFF);
  EXPECT_EQ(id->FontColor, data_aware_colors::WindowText) << "the font colour stays at its default";
  EXPECT_EQ(body->Color, data_aware_colors::Window) << "a LOB field takes no criteria";
  EXPECT_TRUE(ds->FieldByName("BODY")->ReadOnly());
  EXPECT_EQ(label->Color, data_aware_colors::Window) << "controls with a caption are left alone";
  EXPECT_EQ(coloured->Color, 0x123456) << "a colour of its own is kept";
  ds->SetQBEMode(false);
  EXPECT_EQ(id->Color, data_aware_colors::Window);
  EXPECT_FALSE(ds->FieldByName("BODY")->ReadOnly());
  HeadlessOracleUserInterface().ClearApplicationComponents();
  source.SetDataSet(nullptr);
}

TEST_F(QBETest, AControlFreedWhileInTheModeIsNotRecolouredOnLeaving) {
  auto ds = Emp();
  ds->QBEDefinition()->SetQBEFontColor(0x0000FF);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  TComponent form(nullptr);
  auto* kept = new TTestControl(&form);
  kept->Source = &source;
  kept->FieldName = "ENAME";
  auto* freed = new TTestControl(&form);
  freed->Source = &source;
  freed->FieldName = "JOB";
  HeadlessOracleUserInterface().AddApplicationComponent(&form);
  ds->Open();
  ds->SetQBEMode(true);
  EXPECT_EQ(freed->FontColor, 0x0000FF);
  delete freed;  // the window that showed it closed
  ds->SetQBEMode(false);
  EXPECT_EQ(kept->FontColor, data_aware_colors::WindowText);
  HeadlessOracleUserInterface().ClearApplicationComponents();
  source.SetDataSet(nullptr);
}

TEST_F(QBETest, ALazilyFetchedDataSetShowsOnlyTheCriteriaRecord) {
  auto ds = DataSet("select e.*, e.rowid from emp e order by empno");
  ds->SetQueryAllRecords(false);
  ds->SetReadBuffer(2);
  ds->Open();
  ds->SetQBEMode(true);
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_TRUE(ds->FieldByName("EMPNO")->IsNull()) << "no fetched row came back into the mode";
  ds->FieldByName("EMPNO")->SetAsInteger(7900);
  ds->ExecuteQBE();
  EXPECT_EQ(Column(ds.get(), "ENAME"), "JAMES");
}

// ---- Who may take criteria -----------------------------------------------------------------------

TEST_F(QBETest, AReadOnlyDataSetTakesCriteria) {
  auto ds = Emp();
  ds->SetReadOnly(true);
  ds->Open();
  EXPECT_FALSE(ds->CanModify());
  EXPECT_EQ(Raised([&] { ds->SetQBEMode(true); }), "");
  EXPECT_TRUE(ds->QBEMode());
  EXPECT_TRUE(ds->CanModify()) << "criteria are typed into any dataset";
  ds->FieldByName("ENAME")->SetAsString("SMITH");
  ds->ExecuteQBE();
  EXPECT_EQ(Column(ds.get(), "ENAME"), "SMITH");
  EXPECT_FALSE(ds->CanModify()) << "read-only again after the mode";
}

TEST_F(QBETest, AMastersLinkFieldsKeepWhatTheModeGaveThem) {
  auto [master, detail] = DeptAndEmployees();
  master->Open();
  detail->Open();
  ASSERT_TRUE(master->FieldByName("DEPTNO")->ReadOnly()) << "the detail holds employees of ACCOUNTING";
  master->QBEDefinition()->FindField("DEPTNO")->SetEnabled(false);
  master->QBEDefinition()->FindField("DNAME")->SetEnabled(true);
  master->SetQBEMode(true);
  EXPECT_TRUE(master->FieldByName("DEPTNO")->ReadOnly()) << "a disabled criterion field";
  EXPECT_FALSE(master->FieldByName("DNAME")->ReadOnly());
  EXPECT_FALSE(detail->CanModify()) << "no detail rows while the master takes criteria";
  master->SetQBEMode(false);
  EXPECT_TRUE(master->FieldByName("DEPTNO")->ReadOnly()) << "locked again for the detail's rows";
  EXPECT_TRUE(detail->CanModify());

  master->QBEDefinition()->FindField("DEPTNO")->SetEnabled(true);
  master->SetQBEMode(true);
  EXPECT_FALSE(master->FieldByName("DEPTNO")->ReadOnly()) << "an enabled link field takes criteria";
  master->SetQBEMode(false);
}

TEST_F(QBETest, CountingTheHitsAppliesTheCriteriaTypedSoFar) {
  auto ds = Emp();
  ds->Open();
  ds->SetQBEMode(true);
  ds->FieldByName("JOB")->SetAsString("ANALYST");
  EXPECT_EQ(ds->CountQueryHits(), 2) << "FORD and SCOTT";
  ds->SetQBEMode(false);
}

TEST_F(QBETest, CriteriaWithOperatorsOutgrowTheColumn) {
  Run(session.get(), "create table codes (code varchar2(2), name varchar2(20))");
  for (const char* c : {"AB", "CD", "EF"})
    Run(session.get(), std::string("insert into codes values ('") + c + "', 'x')");
  auto ds = DataSet("select c.*, rowid from codes c order by code");
  ds->QBEDefinition()->SetAllowOperators(true);
  ds->Open();
  TField* code = ds->FieldByName("CODE");
  ds->SetQBEMode(true);
  EXPECT_EQ(code->Size(), 999) << "controls take a criterion longer than the column";
  EXPECT_EQ(code->DisplayWidth(), 2);
  code->SetText("IN ('AB','CD')");
  EXPECT_EQ(code->Text(), "IN ('AB','CD')");
  EXPECT_EQ(Raised([&] { code->SetAsString("ABC"); }), "Field 'CODE' cannot hold 3 characters: its size is 2")
      << "a value still fits the column";
  ds->ExecuteQBE();
  EXPECT_EQ(code->Size(), 2) << "the column's size again";
  EXPECT_EQ(Column(ds.get(), "CODE"), "AB,CD");
}
