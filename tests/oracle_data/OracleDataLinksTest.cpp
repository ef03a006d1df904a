// The Oracle dataset's filtering, calculated fields, master/detail links, searching, SQL analysis
// and message translation.
#include <gtest/gtest.h>

#include "tests/oracle_data/DataSetTestSupport.h"

// ---- Filtering -----------------------------------------------------------------------------------

TEST_F(OracleDataTest, SessionListFilters) {
  MakeSessions(12);
  auto ds = DataSet("select sid, status, prname from sess order by sid");
  ds->SetFilter("prname = 'USER'");
  ds->SetFiltered(true);
  int active = 0, tested = 0;
  ds->OnFilterRecord = [&](TDataSet* d, bool& Accept) {
    ++tested;
    EXPECT_EQ(d->State(), dsFilter);
    if (d->FieldByName("prname")->AsString() == "USER" && d->FieldByName("status")->AsString() == "ACTIVE")
      ++active;
    Accept = true;
  };
  ds->Open();
  EXPECT_EQ(tested, 12);
  EXPECT_EQ(active, 6);
  EXPECT_EQ(ds->RecordCount(), 9);
  EXPECT_EQ(Column(ds.get(), "SID"), "1,2,3,5,6,7,9,10,11");

  tested = active = 0;
  ds->SetFilter("prname <> 'USER'");
  EXPECT_EQ(tested, 12) << "setting the text re-filters at once";
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(Column(ds.get(), "SID"), "4,8,12");

  ds->SetFilter("1 <> 1");
  EXPECT_EQ(ds->RecordCount(), 0);
  EXPECT_TRUE(ds->IsEmpty());

  ds->SetFilter("");
  EXPECT_EQ(ds->RecordCount(), 12);

  ds->SetFilter("prname = 'USER'");
  tested = active = 0;
  ds->Refresh();
  EXPECT_EQ(tested, 12) << "refresh tests every row again";
  EXPECT_EQ(active, 6);
  EXPECT_EQ(ds->RecordCount(), 9);
}

TEST_F(OracleDataTest, HandlerRunsBeforeTheExpressionAndCanVeto) {
  MakeSessions(8);
  auto ds = DataSet("select sid, prname from sess order by sid");
  ds->SetFilter("prname = 'USER'");
  ds->SetFiltered(true);
  ds->OnFilterRecord = [](TDataSet* d, bool& Accept) { Accept = d->FieldByName("SID")->AsInteger() > 2; };
  ds->Open();
  EXPECT_EQ(Column(ds.get(), "SID"), "3,5,6,7");
}

TEST_F(OracleDataTest, FilteredWithoutConditionsStillUsesTheVisibleList) {
  MakeSessions(5);
  auto ds = DataSet("select sid from sess order by sid");
  ds->SetFiltered(true);
  ds->Open();
  EXPECT_TRUE(ds->FilterActive());
  EXPECT_EQ(ds->RecordCount(), 5);
  ds->MoveBy(3);
  ds->SetFiltered(false);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 1) << "switching Filtered goes to the first record";
  ds->MoveBy(3);
  ds->SetFiltered(true);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 1);
}

TEST_F(OracleDataTest, AFilterThatFailsToParseLeavesThePreviousFilter) {
  MakeSessions(8);
  auto ds = DataSet("select sid, prname from sess order by sid");
  ds->SetFilter("prname <> 'USER'");
  ds->SetFiltered(true);
  ds->Open();
  ASSERT_EQ(ds->RecordCount(), 2);
  EXPECT_NE(Raised([&] { ds->SetFilter("prname = = 'USER'"); }), "");
  EXPECT_EQ(ds->Filter(), "prname <> 'USER'");
  EXPECT_EQ(ds->RecordCount(), 2);
  ds->Refresh();
  EXPECT_EQ(ds->RecordCount(), 2) << "new rows see the old filter, not none";
  EXPECT_EQ(Column(ds.get(), "SID"), "4,8");
}

TEST_F(OracleDataTest, UnknownFieldInFilterRaisesWhenTested) {
  MakeSessions(2);
  auto ds = DataSet("select sid from sess");
  ds->SetFilter("nosuch = 1");
  ds->SetFiltered(true);
  EXPECT_EQ(Raised([&] { ds->Open(); }), "Field 'NOSUCH' not found");
  EXPECT_FALSE(ds->Active());
}

TEST_F(OracleDataTest, FilterOnDatesAndNumbers) {
  MakeSessions(10);
  auto ds = DataSet("select sid, cpu, logon_time from sess order by sid");
  ds->SetFilter("(cpu >= 2.5) and (sid < 9)");
  ds->SetFiltered(true);
  ds->Open();
  EXPECT_EQ(Column(ds.get(), "SID"), "5,6,7,8");
  ds->SetFilter("cpu = NULL");
  EXPECT_EQ(ds->RecordCount(), 0) << "NULL is a null value: no session has a null cpu";
  ds->SetFilter("logon_time > '" + DateTimeToStr(EncodeDate(2024, 1, 1) + 5.5 / 1440) + "'");
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST_F(OracleDataTest, CalculatedFields) {
  MakeSessions(6);
  auto ds = DataSet("select sid, serial from sess order by sid");
  auto* sid = new TIntegerField(ds.get());
  sid->SetFieldName("SID");
  sid->SetDataSet(ds.get());
  auto* serial = new TIntegerField(ds.get());
  serial->SetFieldName("SERIAL");
  serial->SetDataSet(ds.get());
  auto* label = new TStringField(ds.get());
  label->SetFieldName("LABEL");
  label->SetSize(20);
  label->SetFieldKind(fkCalculated);
  label->SetDataSet(ds.get());
  ds->OnCalcFields = [](TDataSet* d) {
    d->FieldByName("LABEL")->SetAsString(d->FieldByName("SID")->AsString() + "," +
                                         d->FieldByName("SERIAL")->AsString());
  };
  int nullInFilter = 0;
  ds->OnFilterRecord = [&](TDataSet* d, bool& Accept) {
    nullInFilter += d->FieldByName("LABEL")->IsNull() ? 1 : 0;
    Accept = d->FieldByName("SID")->AsInteger() % 2 == 0;
  };
  ds->SetFiltered(true);
  ds->Open();
  EXPECT_EQ(nullInFilter, 6) << "calculated fields are null while the filter looks at a record";
  EXPECT_EQ(Column(ds.get(), "LABEL"), "2,102,4,104,6,106");
  EXPECT_TRUE(ds->Locate("LABEL", TVariant("4,104"), {}));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 4);
  EXPECT_EQ(ds->Lookup("SID", TVariant(6), "LABEL").AsString(), "6,106");
}

// ---- Master/detail -------------------------------------------------------------------------------

class MasterDetailTest : public OracleDataTest {
 protected:
  void SetUp() override {
    OracleDataTest::SetUp();
    MakeSessions(5);
    Run(session.get(), "create table waits (sid number(9), serial number(9), event varchar2(30))");
    Run(session.get(), "create table locks (addr varchar2(16), kind varchar2(8))");
    for (int i = 1; i <= 5; ++i) {
      for (int j = 0; j < i; ++j)
        Run(session.get(), "insert into waits values (" + IntToStr(i) + ", " + IntToStr(100 + i) + ", 'ev" +
                               IntToStr(j) + "')");
      Run(session.get(), "insert into locks values ('A" + IntToStr(i) + "', 'TX')");
    }
    master = DataSet("select sid, serial, taddr from sess order by sid");
    detail = DataSet("select event from waits where sid = :sid and serial = :serial");
    detail->DeclareVariable("SERIAL", otString);
    detail->DeclareVariable("SID", otString);
    detail->SetMaster(master.get());
    detail->SetMasterFields("SERIAL;SID;");
    detail->SetDetailFields("SERIAL;SID;");
    detail->BeforeQuery = [this](TOracleDataSet*) { ++executions; };
  }
  void TearDown() override {
    detail.reset();
    master.reset();
    OracleDataTest::TearDown();
  }
  std::unique_ptr<TOracleDataSet> master, detail;
  int executions = 0;
};

TEST_F(MasterDetailTest, DetailFollowsMasterScrollAndRefresh) {
  master->Open();
  detail->Open();
  EXPECT_EQ(executions, 1);
  EXPECT_EQ(detail->RecordCount(), 1);
  master->Next();
  EXPECT_EQ(executions, 2);
  EXPECT_EQ(detail->RecordCount(), 2);
  master->Next();
  EXPECT_EQ(executions, 3);
  EXPECT_EQ(detail->RecordCount(), 3);
  master->Resync({});
  EXPECT_EQ(executions, 3) << "the same master record does not re-execute the detail";
  master->Refresh();
  EXPECT_EQ(executions, 4) << "a master refresh re-executes the detail once";
  EXPECT_EQ(detail->RecordCount(), 1);
  master->Last();
  EXPECT_EQ(executions, 5);
  EXPECT_EQ(detail->RecordCount(), 5);
  EXPECT_EQ(detail->GetVariable("SID").AsString(), "5");
  EXPECT_EQ(detail->GetVariable("SERIAL").AsString(), "105");
}

TEST_F(MasterDetailTest, DetailOfAnEmptyMasterRunsNothing) {
  master->SQL()->SetText("select sid, serial, taddr from sess where sid > 100");
  master->Open();
  detail->Open();
  EXPECT_EQ(executions, 0);
  EXPECT_TRUE(detail->IsEmpty());
  EXPECT_TRUE(detail->MasterInactive());
}

TEST_F(MasterDetailTest, StringVariableNamedAfterTheMasterField) {
  auto locks = DataSet("select kind, addr from locks where addr = :addr");
  locks->DeclareVariable("ADDR", otString);
  locks->SetMaster(master.get());
  locks->SetMasterFields("TADDR");
  locks->SetDetailFields("ADDR");
  master->Open();
  locks->Open();
  EXPECT_EQ(locks->FieldByName("ADDR")->AsString(), "A1");
  master->MoveBy(2);
  EXPECT_EQ(locks->FieldByName("ADDR")->AsString(), "A3");
  locks.reset();
  EXPECT_EQ(master->DetailCount(), 1);
}

TEST_F(MasterDetailTest, CircularLinksAreRefused) {
  EXPECT_EQ(Raised([&] { master->SetMaster(detail.get()); }),
            "Circular master/detail dependency not allowed");
  EXPECT_EQ(Raised([&] { detail->SetMaster(detail.get()); }),
            "Circular master/detail dependency not allowed");
  detail->SetMaster(nullptr);
  EXPECT_EQ(master->DetailCount(), 0);
}

TEST_F(MasterDetailTest, DestroyingTheMasterUnlinksDetails) {
  master->Open();
  detail->Open();
  master.reset();
  EXPECT_EQ(detail->Master(), nullptr);
  EXPECT_FALSE(detail->Active());
}

// ---- Searching -----------------------------------------------------------------------------------

TEST_F(OracleDataTest, SearchRecordOptions) {
  MakeSessions(10);
  auto ds = DataSet("select sid, oracle_user, status from sess order by sid");
  ds->Open();
  ds->MoveBy(4);  // SID 5
  EXPECT_FALSE(ds->SearchRecord("SID", TVariant(5), 0)) << "the current record is not tested";
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 5) << "no match: the current record stays";
  EXPECT_TRUE(ds->SearchRecord("SID", TVariant(5), srFromBeginning));
  EXPECT_EQ(ds->RecNo(), 5);
  EXPECT_TRUE(ds->SearchRecord("SID", TVariant(7), 0));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 7);
  EXPECT_TRUE(ds->SearchRecord("SID", TVariant(3), srBackward));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 3);
  EXPECT_TRUE(ds->SearchRecord("STATUS", TVariant("ACTIVE"), srFromEnd));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 9);
  EXPECT_TRUE(ds->SearchRecord("ORACLE_USER", TVariant("u1?"), srFromBeginning | srWildcards | srIgnoreCase));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 10);
  EXPECT_TRUE(ds->SearchRecord("SID;STATUS", VarArrayOf({4, "INACTIVE"}), srFromBeginning | srNoMove));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 10);

  const std::string invalid = ds->Name() + ".SearchRecord options invalid";
  for (int bad : {8 | 16, 4 | 8, 4 | 16, 1 | 2, 1 | 16, 2 | 8})
    EXPECT_EQ(Raised([&] { ds->SearchRecord("SID", TVariant(1), bad); }), invalid) << bad;
  EXPECT_EQ(Raised([&] { ds->SearchRecord("SID;STATUS", TVariant(1), 8); }),
            ds->Name() + ".SearchRecord: number of fields and values do not match");
  EXPECT_EQ(Raised([&] { ds->SearchRecord("ROWID", TVariant("x"), 8); }),
            "You cannot search a rowid if it is not included in the select list");
  EXPECT_EQ(Raised([&] { ds->SearchRecord("NOSUCH", TVariant(1), 8); }), "Field 'NOSUCH' not found");
}

TEST_F(OracleDataTest, SearchFetchesLazilyAndFindsNulls) {
  MakeSessions(60);
  Run(session.get(), "update sess set oracle_user = null where sid = 44");
  auto ds = DataSet("select sid, oracle_user, rowid from sess order by sid");
  ds->SetQueryAllRecords(false);
  ds->Open();
  EXPECT_TRUE(ds->SearchRecord("ORACLE_USER", TVariant::MakeNull(), srFromBeginning));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 44);
  const std::string rowid = ds->RowId();
  ds->First();
  EXPECT_TRUE(ds->SearchRecord("rowid", TVariant(rowid), srFromBeginning));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 44);
}

TEST_F(OracleDataTest, LocateAndLookup) {
  Run(session.get(), "create table t (k varchar2(10), v number(9))");
  Run(session.get(), "insert into t values ('ABCXYZ', 1)");
  Run(session.get(), "insert into t values ('abd', 2)");
  auto ds = DataSet("select k, v from t order by v");
  ds->Open();
  ds->Next();
  EXPECT_TRUE(ds->Locate("K", TVariant("ABC"), {loPartialKey}));
  EXPECT_EQ(ds->FieldByName("V")->AsInteger(), 1);
  EXPECT_FALSE(ds->Locate("K", TVariant("ABD"), {}));
  EXPECT_TRUE(ds->Locate("K", TVariant("ABD"), {loCaseInsensitive}));
  EXPECT_EQ(ds->FieldByName("V")->AsInteger(), 2);
  const TVariant both = ds->Lookup("V", TVariant(1), "K;V");
  EXPECT_EQ(both.GetElement(0).AsString(), "ABCXYZ");
  EXPECT_EQ(both.GetElement(1).AsInteger(), 1);
  EXPECT_EQ(ds->FieldByName("V")->AsInteger(), 2) << "Lookup leaves the current record";
  EXPECT_TRUE(ds->Lookup("V", TVariant(3), "K").IsNull());
}

// ---- SQL analysis --------------------------------------------------------------------------------

TEST_F(OracleDataTest, UpdatingTableAndQualifier) {
  struct Case {
    const char* sql;
    const char* table;
    const char* qualifier;
  } cases[] = {
      {"select e.* from emp e where e.x = 1", "EMP", "e"},
      {"select * from scott.emp", "SCOTT.EMP", "SCOTT.EMP"},
      {"select * from \"Emp\" x order by 1", "EMP", "x"},
      {"select a from emp where b = 1", "EMP", "EMP"},
      {"select t.* from table(select m.lines from orders m where m.id = :id) t",
       "table(select m.lines from orders m where m.id = :id)",
       "table(select m.lines from orders m where m.id = :id)"},
      {"select 1 from dual -- from nothing", "DUAL", "DUAL"},
      {"select sysdate", "", ""},
  };
  for (const Case& c : cases) {
    auto ds = DataSet(c.sql);
    std::string table, qualifier;
    ds->DetermineUpdatingTable(table);
    EXPECT_EQ(table, c.table) << c.sql;
    ds->UpdatingTableQualifier(qualifier);
    EXPECT_EQ(qualifier, c.qualifier) << c.sql;
  }
  auto ds = DataSet("select * from emp");
  ds->SetUpdatingTable("dept");
  std::string table;
  ds->DetermineUpdatingTable(table);
  EXPECT_EQ(table, "dept");
}

// ---- Message translation -------------------------------------------------------------------------

TEST_F(OracleDataTest, TranslateMessage) {
  auto ds = DataSet("select 1 from dual");
  std::string msg;
  ds->TranslateMessage('U', 20001, msg, "ORA-20001: Too late\nORA-06512: at line 3");
  EXPECT_EQ(msg, "ORA-20001: Too late");
  ds->TranslateMessage('U', 20001, msg, "ORA-06512: at line 3");
  EXPECT_EQ(msg, "") << "a stack at the very start leaves nothing, never a negative length";
  ds->TranslateMessage('U', 1, msg, "ORA-00001: unique constraint (SCOTT.PK_EMP) violated");
  EXPECT_EQ(msg, "ORA-00001: unique constraint (SCOTT.PK_EMP) violated");
  EXPECT_EQ(
      ConstraintNameOf("ORA-02291: integrity constraint (HR.FK_EMP_DEPT) violated - parent key not found"),
      "FK_EMP_DEPT");
  EXPECT_EQ(ConstraintNameOf("no (name) here (A.B)"), "B");
  EXPECT_EQ(ConstraintNameOf("nothing"), "");

  Run(session.get(),
      "create table msgs (constraint_name varchar2(40), actions varchar2(8), parent_child varchar2(1), "
      "error_message varchar2(100))");
  Run(session.get(), "insert into msgs values ('FK_EMP_DEPT', 'IU', 'C', 'No such department')");
  Run(session.get(), "insert into msgs values ('FK_EMP_DEPT', 'D', 'P', 'Department has employees')");
  Run(session.get(), "insert into msgs values ('O''X', '*', '*', 'quoted')");
  session->SetMessageTable("msgs");
  ds->OracleDictionary()->SetUseMessageTable(true);
  const std::string fk = "ORA-02291: integrity constraint (HR.FK_EMP_DEPT) violated - parent key not found";
  ds->TranslateMessage('I', 2291, msg, fk);
  EXPECT_EQ(msg, "No such department");
  ds->TranslateMessage('D', 2291, msg, fk);
  EXPECT_EQ(msg, fk) << "the 'P' row is for 2292";
  ds->TranslateMessage('U', 1, msg, "ORA-00001: unique constraint (S.O'X) violated");
  EXPECT_EQ(msg, "quoted") << "a quote in the constraint name is bound, not spliced";
  int code = 0;
  ds->OnTranslateMessage = [&](TOracleDataSet*, int ErrorCode, const std::string& Name, char Action,
                               std::string& Msg) {
    code = ErrorCode;
    Msg = Name + ":" + Action;
  };
  ds->TranslateMessage('I', 2291, msg, fk);
  EXPECT_EQ(code, 2291);
  EXPECT_EQ(msg, "FK_EMP_DEPT:I");
}

TEST_F(MasterDetailTest, LinkFieldsAreReadOnlyWhileTheDetailHoldsRecords) {
  master->Open();
  detail->Open();
  EXPECT_TRUE(master->FieldByName("SID")->ReadOnly());
  EXPECT_TRUE(master->FieldByName("SERIAL")->ReadOnly());
  EXPECT_FALSE(master->FieldByName("TADDR")->ReadOnly());
  Run(session.get(), "delete from waits where sid = 2");
  master->Next();
  EXPECT_TRUE(detail->IsEmpty());
  EXPECT_FALSE(master->FieldByName("SID")->ReadOnly()) << "editable again when the detail is empty";
  master->Next();
  EXPECT_TRUE(master->FieldByName("SID")->ReadOnly());
  detail->Close();
  EXPECT_FALSE(master->FieldByName("SID")->ReadOnly());
}

namespace {
class TLayoutCounter : public TDataLink {
 public:
  int Layouts = 0;

 protected:
  void LayoutChanged() override { ++Layouts; }
};
}  // namespace

TEST_F(MasterDetailTest, MasterControlsHearOfALayoutChangeOnlyWhenALinkFieldLocksOrUnlocks) {
  master->Open();
  detail->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  TLayoutCounter link;
  link.SetDataSource(&source);
  const int before = link.Layouts;
  master->Next();  // the detail re-queried, rows before and after
  master->Next();
  EXPECT_EQ(link.Layouts, before) << "link fields locked before and after";
  EXPECT_TRUE(master->FieldByName("SID")->ReadOnly());
  Run(session.get(), "delete from waits where sid = 4");
  master->Next();
  EXPECT_TRUE(detail->IsEmpty());
  EXPECT_FALSE(master->FieldByName("SID")->ReadOnly());
  EXPECT_GT(link.Layouts, before) << "the unlock is a layout change";
  const int unlocked = link.Layouts;
  master->Next();
  EXPECT_TRUE(master->FieldByName("SID")->ReadOnly());
  EXPECT_GT(link.Layouts, unlocked) << "and so is the lock again";
  link.SetDataSource(nullptr);
}

// Each move of the master re-queries the detail with the new master values: it shows the new rows
// (never the last ones), keeps its field objects, runs one query, and tells its own followers of a
// scroll exactly when its current record came out other than before (its id or any value: the link
// field the detail carries differs on every move; a refresh for the same master record keeps it).
struct FollowCase {
  const char* name;
  const char* columns;  // the detail's select list
  const char* order;    // of the detail's rows
  int scrollsPerMove;   // AfterScroll calls of the detail per master move
};

class MasterMoves : public MasterDetailTest, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(MasterMoves, TheDetailShowsTheNewMasterRowsWithTheSameFieldsAndEvents) {
  detail->SQL()->SetText(
      std::string("select event, sid from waits where sid = :sid and serial = :serial order by ") +
      GetParam().order);
  int scrolls = 0, afterQueries = 0;
  detail->AfterScroll = [&](TDataSet*) { ++scrolls; };
  detail->AfterQuery = [&](TOracleDataSet*) { ++afterQueries; };
  master->Open();
  detail->Open();
  const std::vector<TField*> fields = detail->Fields()->List();
  const bool withSid = detail->FindField("SID") != nullptr;
  const int sids[] = {2, 3, 4, 5, 4, 3, 2, 1, 2};
  for (const int sid : sids) {
    SCOPED_TRACE("sid " + IntToStr(sid));
    const int queries = executions, scrolled = scrolls, after = afterQueries;
    if (sid > master->FieldByName("SID")->AsInteger())
      master->Next();
    else
      master->Prior();
    ASSERT_EQ(master->FieldByName("SID")->AsInteger(), sid);
    EXPECT_EQ(executions, queries + 1);
    EXPECT_EQ(afterQueries, after + 1);
    EXPECT_EQ(scrolls, scrolled + GetParam().scrollsPerMove);
    EXPECT_EQ(detail->Fields()->List(), fields) << "the same field objects";
    EXPECT_EQ(detail->FieldByName("EVENT"), fields[0]);
    std::string expected;
    for (int j = 0; j < sid; ++j) expected += (j ? "," : "") + std::string("ev") + IntToStr(j);
    if (std::string(GetParam().order) == "event desc")
      expected = [&] {
        std::string r;
        for (int j = sid - 1; j >= 0; --j) r += (r.empty() ? "" : ",") + std::string("ev") + IntToStr(j);
        return r;
      }();
    EXPECT_EQ(Column(detail.get(), "EVENT"), expected);
    if (withSid) {
      EXPECT_EQ(detail->FieldByName("SID")->AsInteger(), sid);
    }
    detail->First();
    // read again for the same master record: the same current record, no scroll
    const int before = scrolls;
    detail->Refresh();
    EXPECT_EQ(scrolls, before) << "the same current record";
    EXPECT_EQ(detail->FieldByName("EVENT")->AsString(), expected.substr(0, 3));
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, MasterMoves,
                         ::testing::Values(FollowCase{"FirstRowWithTheMasterValue", "event, sid", "event", 1},
                                           FollowCase{"FirstRowOtherEachTime", "event", "event desc", 1}),
                         [](const ::testing::TestParamInfo<FollowCase>& i) {
                           return std::string(i.param.name);
                         });

TEST_F(MasterDetailTest, NewDetailRecordTakesTheMasterValues) {
  detail->SQL()->SetText("select sid, serial, event, rowid from waits where sid = :sid and serial = :serial");
  master->Open();
  master->MoveBy(2);
  detail->Open();
  detail->Insert();
  EXPECT_EQ(detail->FieldByName("SID")->AsInteger(), 3);
  EXPECT_EQ(detail->FieldByName("SERIAL")->AsInteger(), 103);
  EXPECT_TRUE(detail->FieldByName("EVENT")->IsNull());
  detail->Cancel();
  EXPECT_EQ(detail->RecordCount(), 3);
  EXPECT_TRUE(detail->IsNestedTableDetail() == false);
}

TEST_F(OracleDataTest, TableNamesKeysAndRowIdByKey) {
  Run(session.get(), "create table staff (empno number(9) primary key, ename varchar2(20), dept number(9))");
  Run(session.get(), "insert into staff values (1, 'KING', 10)");
  Run(session.get(), "insert into staff values (2, 'FORD', 10)");
  Run(session.get(), "insert into staff values (3, null, 20)");
  auto ds = DataSet("select e.*, rowid from staff e order by empno");
  std::string owner, table;
  ds->ResolveTableName("scott.staff", owner, table);
  EXPECT_EQ(owner + "/" + table, "SCOTT/STAFF");
  ds->ResolveTableName("staff", owner, table);
  EXPECT_EQ(owner + "/" + table, "SCOTT/STAFF");
  ds->ResolveTableName("nosuch", owner, table);
  EXPECT_EQ(owner + "/" + table, "/");

  ds->Open();
  ds->DetermineUniqueFields();
  ASSERT_EQ(ds->UniqueFieldList(), std::vector<std::string>{"EMPNO"});
  ds->Next();
  EXPECT_EQ(ds->RowIdByKey(false), ds->RowId());
  ds->Close();

  ds->SetUniqueFields("DEPT;ENAME");
  ds->Open();
  EXPECT_EQ(ds->UniqueFieldList(), (std::vector<std::string>{"DEPT", "ENAME"}));
  ds->Last();
  EXPECT_EQ(ds->RowIdByKey(false), ds->RowId()) << "a null key value is searched with 'is null'";
  ds->Close();
  ds->SetUniqueFields("DEPT");
  ds->Open();
  EXPECT_EQ(Raised([&] { ds->RowIdByKey(false); }), "Error determining ROWID: more than one record found");
  Run(session.get(), "delete from staff where dept = 10");
  EXPECT_EQ(Raised([&] { ds->RowIdByKey(false); }), "Error determining ROWID: no record found");
  ds->Close();

  ds->SetUniqueFields("");
  ds->SQL()->SetText("select ename, rowid from staff");
  ds->Open();
  EXPECT_EQ(Raised([&] { ds->DetermineUniqueFields(); }), "Primary or Unique key columns must be included");
}
