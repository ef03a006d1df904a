// Cached changes merged into every fetch and undone, the value tests of the columns, activation
// while loading, cursor-variable datasets and whether a dataset can be modified.
#include <gtest/gtest.h>

#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {
class ChangeLogTest : public OracleDataTest {
 protected:
  void SetUp() override {
    OracleDataTest::SetUp();
    Run(session.get(), "create table t (id number(9), name varchar2(20))");
    for (const char* row : {"1, 'a'", "2, 'b'", "3, 'c'", "4, 'd'", "5, 'e'"})
      Run(session.get(), std::string("insert into t values (") + row + ")");
    ds = DataSet("select t.*, rowid from t order by id");
    ds->SetCachedUpdates(true);
    ds->Open();
  }
  void TearDown() override {
    ds.reset();
    OracleDataTest::TearDown();
  }

  // The store record with that ID value (the cursor moves there), and its whole image.
  uint8_t* StoreRecord(int Id) {
    EXPECT_TRUE(ds->SearchRecord("ID", Id, srFromBeginning));
    return ds->RecordStore()->VisibleRecord(ds->CurrentIndex());
  }
  uint8_t* Record(int Id) {
    image.resize(static_cast<size_t>(ds->RecordSize()));
    ds->RecordStore()->Load(StoreRecord(Id), image.data());
    return image.data();
  }

  // An entry for a changed copy of record Id (the edit buffer with NAME set) or a new record.
  TChangeLogItem* LogUpdate(int Id, const std::string& Name) {
    TChangeLogItem* item = ds->ChangeLog()->Add();
    item->Action = 'U';
    item->SetOldRecord(Record(Id));
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString(Name);
    item->SetNewRecord(ds->ActiveBuffer());
    ds->Cancel();
    return item;
  }
  TChangeLogItem* LogInsert(int Id, const std::string& Name, int Index) {
    TChangeLogItem* item = ds->ChangeLog()->Add();
    item->Action = 'I';
    item->Index = Index;
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(Id);
    ds->FieldByName("NAME")->SetAsString(Name);
    item->SetNewRecord(ds->ActiveBuffer());
    ds->Cancel();
    return item;
  }
  TChangeLogItem* LogDelete(int Id) {
    TChangeLogItem* item = ds->ChangeLog()->Add();
    item->Action = 'D';
    item->SetOldRecord(Record(Id));
    item->Index = ds->RecordStore()->IndexOf(StoreRecord(Id));
    return item;
  }

  std::unique_ptr<TOracleDataSet> ds;
  std::vector<uint8_t> image;
};
}  // namespace

TEST_F(ChangeLogTest, CachedChangesAreMergedIntoEveryFetch) {
  // The store holds a heap copy per record when ROWIDs are long.
  const int rowIdsBefore = RowIdAllocations() - (ds->RowId().size() >= 18 ? ds->RecordCount() : 0);
  TChangeLogItem* update = LogUpdate(2, "changed");
  TChangeLogItem* removed = LogDelete(4);
  TChangeLogItem* early = LogInsert(10, "ins1", 1);
  TChangeLogItem* late = LogInsert(11, "ins2", -1);
  EXPECT_EQ(update->RecordId(), 2);
  EXPECT_NE(update->OldRecord, Record(2)) << "the entry holds its own copy";

  Run(session.get(), "update t set name = 'server' where id = 3");
  ds->Refresh();
  EXPECT_EQ(Column(ds.get(), "NAME"), "a,ins1,changed,server,e,ins2")
      << "inserts at their logged position or after the last row, updates over the server's row, "
         "deleted rows left out";
  EXPECT_EQ(ds->RecordCount(), 6);
  for (TChangeLogItem* item : {update, removed, early, late}) EXPECT_TRUE(item->Placed);
  EXPECT_EQ(early->Index, 1);
  EXPECT_EQ(late->Index, 5);

  ASSERT_TRUE(ds->SearchRecord("NAME", "changed", srFromBeginning));
  EXPECT_EQ(ds->UpdateStatus(), usModified);
  EXPECT_EQ(ds->FieldByName("NAME")->OldValue().AsString(), "b") << "old values come from the log";
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "changed");
  ASSERT_TRUE(ds->SearchRecord("NAME", "ins2", srFromBeginning));
  EXPECT_EQ(ds->UpdateStatus(), usInserted);
  EXPECT_EQ(GetInt(ds->ActiveBuffer(), RecIdOffset), late->RecordId());

  // A filter sees the merged records like fetched ones.
  ds->SetFilter("name <> 'ins1'");
  ds->SetFiltered(true);
  EXPECT_EQ(Column(ds.get(), "NAME"), "a,changed,server,e,ins2");
  ds->SetFiltered(false);

  ds->Close();
  EXPECT_EQ(ds->ChangeLog()->Count(), 0) << "closing clears the log";
  EXPECT_EQ(RowIdAllocations(), rowIdsBefore) << "the copies gave back their ROWIDs";
}

TEST_F(ChangeLogTest, RevertUndoesEachActionInTheStore) {
  TChangeLogItem* update = LogUpdate(2, "changed");
  TChangeLogItem* removed = LogDelete(4);
  TChangeLogItem* inserted = LogInsert(9, "new", -1);
  ds->Refresh();
  ASSERT_EQ(Column(ds.get(), "NAME"), "a,changed,c,e,new");

  inserted->Revert();
  removed->Revert();
  EXPECT_EQ(removed->OldRecord, nullptr) << "the store took the old copy over";
  update->Revert();
  EXPECT_EQ(update->OldRecord, nullptr);
  EXPECT_EQ(Column(ds.get(), "NAME"), "a,b,c,d,e");
  ds->Last();
  EXPECT_FALSE(ds->RowId().empty()) << "the restored record owns the ROWID it had";
  ds->ChangeLog()->Clear();  // entries whose copies moved to the store free nothing twice

  // An entry that was not merged in this fetch is left alone.
  TChangeLogItem* unplaced = ds->ChangeLog()->Add();
  unplaced->Action = 'D';
  unplaced->Placed = false;
  unplaced->SetOldRecord(Record(1));
  unplaced->Revert();
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST_F(ChangeLogTest, ADeletedRecordComesBackIntoTheFilteredList) {
  LogDelete(2);
  ds->Refresh();
  ds->SetFilter("id >= 2");
  ds->SetFiltered(true);
  ASSERT_EQ(Column(ds.get(), "ID"), "3,4,5");
  ds->ChangeLog()->Items(0)->Revert();
  EXPECT_EQ(Column(ds.get(), "ID"), "2,3,4,5") << "in store order";
}

TEST_F(ChangeLogTest, AMasterOnACachedInsertShowsNoDetailRows) {
  LogInsert(6, "cached", -1);
  ds->Refresh();
  auto detail = DataSet("select name from t where id = :id");
  detail->DeclareVariable("ID", otInteger);
  detail->SetMaster(ds.get());
  detail->SetMasterFields("ID");
  int executions = 0;
  detail->BeforeQuery = [&](TOracleDataSet*) { ++executions; };
  detail->Open();
  EXPECT_EQ(Column(detail.get(), "NAME"), "a");
  ds->Last();
  ASSERT_EQ(ds->FieldByName("NAME")->AsString(), "cached");
  const int before = executions;
  detail->Refresh();
  EXPECT_TRUE(detail->IsEmpty()) << "an inserted master record that is not posted has no details";
  EXPECT_EQ(executions, before) << "and nothing is asked of the server";
  ds->Prior();
  EXPECT_EQ(Column(detail.get(), "NAME"), "e");
  detail->SetMaster(nullptr);
}

TEST_F(ChangeLogTest, DetailWithCachedChangesRefusesRefresh) {
  auto master = DataSet("select id from t order by id");
  auto detail = DataSet("select t.*, rowid from t where id = :id");
  detail->DeclareVariable("ID", otInteger);
  detail->SetMaster(master.get());
  detail->SetMasterFields("ID");
  detail->SetCachedUpdates(true);
  master->Open();
  detail->Open();
  ASSERT_EQ(detail->RecordCount(), 1);
  TChangeLogItem* item = detail->ChangeLog()->Add();
  item->Action = 'U';
  item->SetOldRecord(detail->ActiveBuffer());
  try {
    detail->Refresh();
    FAIL() << "refresh was allowed";
  } catch (const Exception& e) {
    EXPECT_EQ(
        e.Message(),
        "Refresh not allowed: detail records have cached updates.\r\nYou have to apply the updates first");
  }
  detail->ChangeLog()->Clear();
  master->Next();
  EXPECT_EQ(detail->FieldByName("ID")->AsInteger(), 2);
}

// ---- Values of the columns -------------------------------------------------------------------

TEST_F(ChangeLogTest, ValueTestsOfTheColumns) {
  session->Preferences()->SetTrimStringFields(true);
  TOracleFieldInfo* name = ds->FieldInfo()->FindByName("NAME");
  TOracleFieldInfo* id = ds->FieldInfo()->FindByName("ID");
  ASSERT_TRUE(name && id);
  ds->First();
  ds->Edit();
  EXPECT_FALSE(name->IsChanged());
  ds->FieldByName("NAME")->SetAsString("a  ");
  EXPECT_FALSE(name->IsChanged()) << "trailing blanks do not count with TrimStringFields";
  ds->FieldByName("NAME")->SetAsString("z");
  EXPECT_TRUE(name->IsChanged());
  EXPECT_FALSE(name->IsNullOld());
  ds->FieldByName("NAME")->Clear();
  EXPECT_TRUE(name->IsNullNew());
  EXPECT_TRUE(name->IsChanged());
  ds->FieldByName("ID")->SetAsInteger(1);
  EXPECT_FALSE(id->IsChanged()) << "the same number";
  ds->FieldByName("ID")->SetAsInteger(7);
  EXPECT_TRUE(id->IsChanged());
  ds->Cancel();

  TOracleFieldInfo missing;
  missing.DataSet = ds.get();
  EXPECT_TRUE(missing.IsNullOld()) << "a column without a field counts as null";

  auto q = Query(session.get(), "select name, id from t where id = 3");
  q->Execute();
  EXPECT_EQ(name->ReadColumnValue(q.get()).AsString(), "c");
  EXPECT_EQ(id->ReadColumnValue(q.get()).AsInteger(), 3);
  auto other = Query(session.get(), "select id name from t where id = 3");
  other->Execute();
  EXPECT_TRUE(name->ReadColumnValue(other.get()).IsEmpty()) << "a column of another type is not read";

  EXPECT_FALSE(ds->AnyDefaultExpression());
  ds->FieldByName("NAME")->SetDefaultExpression("'x'");
  EXPECT_TRUE(ds->AnyDefaultExpression());
  EXPECT_EQ(name->DefaultExpression(), "'x'");
  EXPECT_EQ(id->DefaultExpression(), "");
  ds->SequenceField()->SetField("id");
  ds->SequenceField()->SetSequence("t_seq");
  ds->SequenceField()->SetApplyMoment(amOnServer);
  EXPECT_EQ(id->DefaultExpression(), "t_seq.nextval") << "a sequence drawn by the server";
  ds->SequenceField()->SetApplyMoment(amOnPost);
  EXPECT_EQ(id->DefaultExpression(), "");

  EXPECT_EQ(name->TemporaryLOBsAvailable(), OCIGroupPresent(ogOCI81));
  session->Preferences()->SetTemporaryLOB(tlNone);
  EXPECT_FALSE(name->TemporaryLOBsAvailable());
}

// ---- Activation ----------------------------------------------------------------------------------

TEST_F(OracleDataTest, ActivationWhileLoading) {
  MakeSessions(3);
  auto ds = DataSet("select sid from sess");
  ds->BeginLoading();
  ds->SetActive(true);
  EXPECT_FALSE(ds->Active()) << "a streamed activation waits for the end of loading";
  ds->EndLoading();
  EXPECT_TRUE(ds->Active());
  EXPECT_EQ(ds->RecordCount(), 3);

  auto ignored = DataSet("select sid from sess");
  ignored->SetDesignActivation(true);
  ignored->BeginLoading();
  ignored->SetActive(true);
  ignored->EndLoading();
  EXPECT_FALSE(ignored->Active()) << "DesignActivation: a streamed Active is ignored at run time";
  ignored->Open();
  EXPECT_TRUE(ignored->Active()) << "opening in code still works";

  TOracleSession offline(nullptr);
  auto waiting = DataSet("select sid from sess");
  waiting->SetSession(&offline);
  waiting->BeginLoading();
  waiting->SetActive(true);
  EXPECT_NO_THROW(waiting->EndLoading()) << "no connection: the streamed activation is dropped";
  EXPECT_FALSE(waiting->Active());
  waiting->SetSession(nullptr);

  TOracleDataSet designed(nullptr);
  designed.SQL()->SetText("select sid from sess");
  designed.SetDesigning(true);
  designed.SetActive(true);
  EXPECT_FALSE(designed.Active()) << "at design time without a session the activation waits";
  designed.SetSession(session.get());
  EXPECT_TRUE(designed.Active()) << "giving the session performs it";
  EXPECT_EQ(designed.RecordCount(), 3);
}

// ---- Cursor variables ----------------------------------------------------------------------------

TEST_F(OracleDataTest, DataSetOverACursorVariable) {
  MakeSessions(6);
  auto ds =
      DataSet("begin\n  open :c for select sid, oracle_user from sess where sid <= :n order by sid;\nend;");
  ds->DeclareVariable("c", otCursor);
  ds->DeclareVariable("n", otInteger);
  ds->SetVariable("n", 4);
  ds->Open();
  EXPECT_EQ(Column(ds.get(), "ORACLE_USER"), "U1,U2,U3,U4");
  EXPECT_EQ(ds->FieldByName("SID")->DataType(), ftInteger);
  EXPECT_EQ(ds->MainQuery()->Name(), "MainQuery");

  ds->SetVariable("n", 2);
  ds->Refresh();
  EXPECT_EQ(Column(ds.get(), "SID"), "1,2") << "refresh runs the block again and reads the new cursor";

  EXPECT_EQ(Raised([&] { ds->CountQueryHits(); }), "Cannot count query hits for cursor dataset");
  std::string table;
  EXPECT_EQ(Raised([&] { ds->DetermineUpdatingTable(table); }),
            "UpdatingTable property required for cursor dataset");
  ds->SetUpdatingTable("sess");
  ds->DetermineUpdatingTable(table);
  EXPECT_EQ(table, "sess");

  ds->Close();
  ds->SetQueryAllRecords(false);
  ds->SetVariable("n", 6);
  ds->Open();
  EXPECT_EQ(ds->RecordStore()->Count(), 1) << "lazy fetching from the cursor";
  ds->Last();
  EXPECT_EQ(ds->RecordCount(), 6);
}

// ---- Whether records can be changed ----------------------------------------------------------------

TEST_F(OracleDataTest, CanModifyNeedsARowIdOrAnApplyHandler) {
  MakeSessions(2);
  auto ds = DataSet("select sid from sess");
  EXPECT_FALSE(ds->CanModify()) << "closed";
  ds->Open();
  EXPECT_FALSE(ds->CanModify()) << "no ROWID";
  ds->OnApplyRecord = [](TOracleDataSet*, char, bool& Applied, std::string&) { Applied = true; };
  EXPECT_TRUE(ds->CanModify()) << "the application applies the changes itself";
  ds->SetReadOnly(true);
  EXPECT_FALSE(ds->CanModify());
  ds->SetReadOnly(false);

  auto master = DataSet("select sid from sess where 1 = 0");
  auto detail = DataSet("select sid, rowid from sess where sid = :sid");
  detail->DeclareVariable("SID", otInteger);
  detail->SetMaster(master.get());
  detail->SetMasterFields("SID");
  master->Open();
  detail->Open();
  EXPECT_FALSE(detail->CanModify()) << "an empty master";
  master->SetSQLText("select sid from sess");
  EXPECT_TRUE(master->Active());
  EXPECT_TRUE(detail->CanModify());
}

TEST_F(OracleDataTest, ChangeLogCopiesOutlivingTheOpenDataSetAreFreedSafely) {
  auto ds = DataSet("select sid from sess");
  uint8_t record[HeaderSize] = {};
  std::memset(record + RowIdOffset, 'A', RowIdInlineSize);  // 19 characters: the copy keeps them on the heap
  const int before = RowIdAllocations();
  ds->ChangeLog()->Add()->SetOldRecord(record);
  EXPECT_EQ(RowIdAllocations(), before + 1);
  ds.reset();
  EXPECT_EQ(RowIdAllocations(), before);
}

// ---- What the session tells its datasets ---------------------------------------------------------

namespace {
class TChangeCounter : public TDataLink {
 public:
  int Changes = 0;

 protected:
  void DataSetChanged() override { ++Changes; }
};
}  // namespace

TEST_F(OracleDataTest, LogOffLeavesADetachableDataSetDetachedAndTellsItsControls) {
  MakeSessions(3);
  auto ds = DataSet("select sid from sess");
  ds->SetDetachable(true);
  auto closing = DataSet("select sid from sess");
  ds->Open();
  closing->Open();
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  TChangeCounter link;
  link.SetDataSource(&source);
  const int before = link.Changes;
  session->LogOff();
  EXPECT_TRUE(ds->Active());
  EXPECT_TRUE(ds->Detached());
  EXPECT_GT(link.Changes, before) << "the controls hear of it";
  EXPECT_EQ(ds->RecordCount(), 3) << "the records stay";
  EXPECT_FALSE(closing->Active()) << "a dataset that is not Detachable closes";
  link.SetDataSource(nullptr);
}

TEST_F(OracleDataTest, PreferenceChangeAtDesignTimeReopensWithTheNewFieldTypes) {
  Run(session.get(), "create table small (n number(4))");
  Run(session.get(), "insert into small values (12)");
  auto ds = DataSet("select n from small");
  auto closed = DataSet("select n from small");
  ds->Open();
  ASSERT_EQ(ds->FieldByName("N")->DataType(), ftInteger);
  session->SetDesigning(true);
  session->Preferences()->SetSmallIntPrecision(4);
  EXPECT_TRUE(ds->Active());
  EXPECT_EQ(ds->FieldByName("N")->DataType(), ftSmallint);
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 12);
  EXPECT_FALSE(closed->Active()) << "a closed dataset stays closed";
  session->SetDesigning(false);
}
