// The Oracle dataset against the simulated instance: type mapping, open/fetch/refresh, the record
// store, buffers and navigation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

// ---- Type mapping -------------------------------------------------------------------------------

TEST_F(OracleDataTest, TypeMappingFollowsColumnTypesAndPreferences) {
  Run(session.get(),
      "create table t (i number(9), small number(4), f number, s varchar2(30), big varchar2(4000), d date, "
      "l long)");
  Run(session.get(),
      "insert into t values (7, 3, 1.5, 'abc', 'x', to_date('2024-03-05','YYYY-MM-DD'), 'long')");
  auto ds = DataSet("select t.*, rowid from t");
  ds->Open();
  EXPECT_EQ(ds->FieldByName("I")->DataType(), ftInteger);
  EXPECT_EQ(ds->FieldByName("SMALL")->DataType(), ftInteger) << "SmallIntPrecision -1: never smallint";
  EXPECT_EQ(ds->FieldByName("F")->DataType(), ftFloat);
  EXPECT_EQ(ds->FieldByName("S")->DataType(), ftString);
  EXPECT_EQ(ds->FieldByName("S")->Size(), 30);
  EXPECT_EQ(ds->FieldByName("D")->DataType(), ftDateTime);
  EXPECT_EQ(ds->FieldByName("L")->DataType(), ftMemo);
  EXPECT_EQ(ds->FindField("ROWID"), nullptr) << "the ROWID column is not a field";
  EXPECT_TRUE(ds->HasRowId());
  EXPECT_EQ(ds->FieldByName("I")->AsInteger(), 7);
  EXPECT_DOUBLE_EQ(ds->FieldByName("F")->AsFloat(), 1.5);
  EXPECT_EQ(ds->FieldByName("S")->AsString(), "abc");
  EXPECT_EQ(ds->FieldByName("D")->AsDateTime(), EncodeDate(2024, 3, 5));
  EXPECT_EQ(ds->FieldByName("L")->AsString(), "long");
  EXPECT_FALSE(ds->RowId().empty());
  ds->Close();

  session->Preferences()->SetSmallIntPrecision(0);
  session->Preferences()->SetMaxStringFieldSize(255);
  ds->Open();
  EXPECT_EQ(ds->FieldByName("SMALL")->DataType(), ftSmallint) << "0 means precision 4";
  EXPECT_EQ(ds->FieldByName("I")->DataType(), ftInteger);
  EXPECT_EQ(ds->FieldByName("BIG")->DataType(), ftMemo);
  EXPECT_EQ(ds->FieldByName("BIG")->AsString(), "x");
  EXPECT_EQ(ds->FieldByName("SMALL")->AsInteger(), 3);
}

TEST_F(OracleDataTest, DuplicateColumnNamesAreMadeUnique) {
  Run(session.get(), "create table t (id number(9))");
  Run(session.get(), "insert into t values (1)");
  auto ds = DataSet("select id, id, id from t");
  ds->Open();
  EXPECT_NE(ds->FindField("ID"), nullptr);
  EXPECT_NE(ds->FindField("ID_1"), nullptr);
  EXPECT_NE(ds->FindField("ID_2"), nullptr);
  TOracleFieldInfoList list(ds.get());
  list.Add("A");
  EXPECT_EQ(list.Add("a")->Name, "a_1");
}

TEST_F(OracleDataTest, TrimStringFieldsAndEmptyTextIsNull) {
  Run(session.get(), "create table t (s varchar2(10), n number(9))");
  Run(session.get(), "insert into t values ('ab   ', 1)");
  Run(session.get(), "insert into t values (null, 2)");
  session->Preferences()->SetTrimStringFields(true);
  auto ds = DataSet("select s, n from t order by n");
  ds->Open();
  EXPECT_EQ(ds->FieldByName("S")->AsString(), "ab");
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("S")->IsNull());
}

// Every value the dataset holds reads as the query's own accessors give it: dates either side of
// the day-0 date with their times, texts with line breaks with and without conversion, nulls.
TEST_F(OracleDataTest, FetchedValuesMatchTheQueryAccessors) {
  Run(session.get(), "create table t (n number(9), d date, s varchar2(20), f number)");
  const char* const dates[] = {"1850-06-01 13:45:30", "1899-12-29 06:00:00", "1899-12-30 23:59:59",
                               "1899-12-31 00:00:01", "2024-03-05 12:00:00", "0100-02-28 18:30:00",
                               "9999-12-31 23:59:59"};
  int n = 0;
  for (const char* d : dates) {
    ++n;
    Run(session.get(), "insert into t values (" + IntToStr(n) + ", to_date('" + d +
                           "', 'YYYY-MM-DD HH24:MI:SS'), 'a' || chr(13) || chr(10) || 'b' || chr(10) || 'c" +
                           IntToStr(n) + "', " + IntToStr(n) + ".25)");
  }
  Run(session.get(), "insert into t values (99, null, null, null)");
  const std::string sql = "select n, d, s, f from t order by n";
  for (const bool convert : {true, false}) {
    session->Preferences()->SetConvertCRLF(convert);
    auto q = Query(session.get(), sql);
    q->Execute();
    auto ds = DataSet(sql);
    ds->Open();
    int rows = 0;
    for (; !q->Eof(); q->Next(), ds->Next(), ++rows) {
      ASSERT_FALSE(ds->Eof());
      SCOPED_TRACE("row " + IntToStr(q->FieldAsInteger(0)) + (convert ? " converting" : ""));
      EXPECT_EQ(ds->FieldByName("N")->AsInteger(), q->FieldAsInteger(0));
      EXPECT_EQ(ds->FieldByName("D")->IsNull(), q->FieldIsNull(1));
      EXPECT_EQ(ds->FieldByName("D")->AsDateTime(), q->FieldAsDate(1));
      EXPECT_EQ(ds->FieldByName("S")->IsNull(), q->FieldIsNull(2));
      EXPECT_EQ(ds->FieldByName("S")->AsString(), q->FieldAsString(2));
      EXPECT_EQ(ds->FieldByName("F")->IsNull(), q->FieldIsNull(3));
      EXPECT_EQ(ds->FieldByName("F")->AsFloat(), q->FieldAsFloat(3));
    }
    EXPECT_EQ(rows, n + 1);
    EXPECT_TRUE(ds->Eof());
    ds->First();
    EXPECT_EQ(ds->FieldByName("S")->AsString(), convert ? "a\r\nb\r\nc1" : "a\r\nb\nc1");
    EXPECT_EQ(ds->FieldByName("D")->AsDateTime(), EncodeDateTime(1850, 6, 1, 13, 45, 30, 0));
  }
}

TEST_F(OracleDataTest, ValueExpressionOfLobColumns) {
  TOracleDataSet ds(nullptr);
  ds.SetSession(session.get());
  TOracleFieldInfo clob;
  clob.DataSet = &ds;
  clob.OracleType = otCLOB;
  EXPECT_EQ(clob.ValueExpression(true), "null");
  session->Preferences()->SetNullLOBIsEmpty(true);
  EXPECT_EQ(clob.ValueExpression(true), "empty_clob()");
  clob.OracleType = otBLOB;
  EXPECT_EQ(clob.ValueExpression(false), "empty_blob()");
  clob.IsXMLType = true;
  EXPECT_EQ(clob.ValueExpression(false), "null");
}

// ---- Open, fetch and refresh ---------------------------------------------------------------------

TEST_F(OracleDataTest, OpenFetchesEveryRowAndRefreshReexecutes) {
  MakeSessions(10);
  auto ds = DataSet("select * from sess order by sid");
  int before = 0, after = 0;
  ds->BeforeQuery = [&](TOracleDataSet*) { ++before; };
  ds->AfterQuery = [&](TOracleDataSet*) { ++after; };
  ds->Open();
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(ds->ExecutionCount(), 1);
  EXPECT_EQ(ds->RecordCount(), 10);
  EXPECT_EQ(ds->RecordStore()->Count(), 10);
  ds->MoveBy(4);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 5);
  Run(session.get(), "insert into sess (sid, prname) values (11, 'USER')");
  ds->Refresh();
  EXPECT_EQ(ds->ExecutionCount(), 2);
  EXPECT_EQ(before, 2);
  EXPECT_EQ(ds->RecordCount(), 11);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 1) << "refresh leaves the dataset on its first record";
}

TEST_F(OracleDataTest, RefreshKeepsThePositionByBookmark) {
  MakeSessions(20);
  auto ds = DataSet("select sid, status from sess order by sid");
  ds->Open();
  ds->MoveBy(11);
  const TBookmark bm = ds->GetBookmark();
  Run(session.get(), "update sess set status = 'KILLED' where sid = 12");
  ds->Refresh();
  ASSERT_TRUE(ds->BookmarkValid(bm));
  ds->GotoBookmark(bm);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 12);
  EXPECT_EQ(ds->FieldByName("STATUS")->AsString(), "KILLED");
}

TEST_F(OracleDataTest, AfterScrollFiresWhenRefreshChangesTheCurrentRecord) {
  MakeSessions(5);
  auto ds = DataSet("select sid, status from sess order by sid");
  ds->Open();
  int scrolls = 0;
  ds->AfterScroll = [&](TDataSet*) { ++scrolls; };
  ds->Refresh();
  EXPECT_EQ(scrolls, 0) << "same first record, same values";
  ds->Next();
  scrolls = 0;
  ds->Refresh();
  EXPECT_EQ(scrolls, 1) << "moved from the second record to the first";
  scrolls = 0;
  Run(session.get(), "update sess set status = 'X' where sid = 1");
  ds->Refresh();
  EXPECT_EQ(scrolls, 1) << "the first record's values changed";
}

TEST_F(OracleDataTest, LazyFetchingWithQueryAllRecordsOff) {
  MakeSessions(100);
  auto ds = DataSet("select sid from sess order by sid");
  ds->SetQueryAllRecords(false);
  ds->SetReadBuffer(10);
  ds->Open();
  const int opened = ds->RecordCount();
  EXPECT_GE(opened, 1);
  EXPECT_LT(opened, 100);
  ds->MoveBy(30);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 31);
  EXPECT_GE(ds->RecordCount(), 31);
  EXPECT_LT(ds->RecordCount(), 100);
  ds->Last();
  EXPECT_EQ(ds->RecordCount(), 100);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 100);
}

TEST_F(OracleDataTest, AfterFetchRecordActions) {
  MakeSessions(10);
  auto ds = DataSet("select sid from sess order by sid");
  ds->AfterFetchRecord = [](TOracleDataSet*, bool, TAfterFetchRecordAction& a) { a = afCancel; };
  ds->Open();
  EXPECT_TRUE(ds->IsEmpty());
  ds->Close();
  int n = 0;
  ds->AfterFetchRecord = [&](TOracleDataSet*, bool, TAfterFetchRecordAction& a) {
    if (++n == 3) a = afPause;
  };
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 3) << "the bulk fetch stops after the third row";
  ds->Last();
  EXPECT_EQ(ds->RecordCount(), 10) << "navigation fetches the rest";
  ds->Close();
  ds->AfterFetchRecord = [](TOracleDataSet*, bool, TAfterFetchRecordAction& a) { a = afStop; };
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 1);
}

TEST_F(OracleDataTest, SqlSetterReopensOnlyAnActiveDataSet) {
  MakeSessions(3);
  auto ds = DataSet("select sid from sess");
  ds->Open();
  TStringList sql;
  sql.SetText("select sid, serial from sess");
  ds->SetSQL(&sql);
  EXPECT_TRUE(ds->Active());
  EXPECT_NE(ds->FindField("SERIAL"), nullptr);
  EXPECT_EQ(ds->ExecutionCount(), 2);
  ds->Close();
  sql.SetText("select sid from sess");
  ds->SetSQL(&sql);
  EXPECT_FALSE(ds->Active());
  ds->Open();
  EXPECT_EQ(ds->ExecutionCount(), 3) << "a caller that closes first runs the statement once";

  // Editing the lines is setting the statement: the open dataset shows the new one at once, never
  // the old fields over the new statement's rows.
  ds->SQL()->SetText("select oracle_user from sess order by sid");
  EXPECT_TRUE(ds->Active());
  EXPECT_EQ(ds->ExecutionCount(), 4);
  EXPECT_EQ(ds->FindField("SID"), nullptr);
  ds->Refresh();
  EXPECT_EQ(Column(ds.get(), "ORACLE_USER"), "U1,U2,U3");
  ds->Close();
  ds->SQL()->Clear();
  ds->SQL()->Add("select serial");
  ds->SQL()->Add("from sess where sid = 2");
  EXPECT_FALSE(ds->Active());
  ds->Open();
  EXPECT_EQ(Column(ds.get(), "SERIAL"), "102");
}

TEST_F(OracleDataTest, OracleErrorsPassThroughAndLeaveTheDataSetClosed) {
  auto ds = DataSet("select nosuch from nowhere");
  EXPECT_NE(OracleCode([&] { ds->Open(); }), 0);
  EXPECT_FALSE(ds->Active());
  ds->SetCachedUpdates(true);
  MakeSessions(1);
  ds->SQL()->SetText("select sid from sess");
  EXPECT_EQ(Raised([&] { ds->Open(); }), "CachedUpdates requires a rowid!");
  EXPECT_FALSE(ds->Active());
}

TEST_F(OracleDataTest, CountQueryHitsAsksTheServer) {
  MakeSessions(12);
  auto ds = DataSet("select sid from sess where status = :st order by sid");
  ds->DeclareVariable("st", otString);
  ds->SetVariable("st", "ACTIVE");
  EXPECT_EQ(ds->CountQueryHits(), 6);
  ds->SetCountAllRecords(true);
  ds->SetQueryAllRecords(false);
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 6);
}

TEST_F(OracleDataTest, DetachableDataSetStaysOpenWithoutSession) {
  MakeSessions(3);
  auto ds = DataSet("select sid from sess");
  ds->SetDetachable(true);
  ds->Open();
  ds->SetSession(nullptr);
  EXPECT_TRUE(ds->Active());
  EXPECT_TRUE(ds->Detached());
  EXPECT_EQ(ds->RecordCount(), 3);
}

// ---- Record store: growth, unidirectional window, handles ----------------------------------------

TEST_F(OracleDataTest, StoreGrowsByHalfItsCount) {
  MakeSessions(300);
  auto ds = DataSet("select sid from sess order by sid");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  ASSERT_GE(store->ChunkCount(), 2);
  EXPECT_EQ(store->ChunkCapacity(0), 26) << "ReadBuffer 25 + 1";
  int held = 0;
  for (int i = 0; i < store->ChunkCount(); ++i) {
    const int expected = std::max(held / 2, 26);
    EXPECT_EQ(store->ChunkCapacity(i), expected) << "chunk " << i;
    held += store->ChunkCapacity(i);
  }
  EXPECT_EQ(store->Count(), 300);
  // Record ids start at 1 and follow the fetch order.
  EXPECT_EQ(GetInt(store->Get(0), RecIdOffset), 1);
  EXPECT_EQ(GetInt(store->Get(299), RecIdOffset), 300);
}

TEST_F(OracleDataTest, UnidirectionalKeepsOneChunk) {
  MakeSessions(60);
  auto ds = DataSet("select sid from sess order by sid");
  ds->SetUnidirectional(true);
  ds->Open();
  for (int i = 0; i < 26; ++i) ds->Next();
  TRecordDataList* store = ds->RecordStore();
  EXPECT_EQ(store->Count(), 27);
  EXPECT_EQ(store->BaseOffset(), 26);
  EXPECT_EQ(GetInt(store->Get(26), RecIdOffset), 27);
  EXPECT_EQ(Raised([&] { store->Get(0); }), ds->Name() + ": Record 0 not accessible in Unidirectional mode");
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 27);
  int n = 27;
  while (!ds->Eof()) {
    ds->Next();
    if (!ds->Eof()) ++n;
  }
  EXPECT_EQ(n, 60);
  EXPECT_EQ(store->ChunkCount(), 1);

  // A new execution starts a new window: nothing before it is forgotten yet.
  ds->Refresh();
  EXPECT_EQ(ds->RecordStore()->BaseOffset(), 0);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 1);
  ds->Next();
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 2);
  EXPECT_TRUE(ds->SearchRecord("SID", 40, 0)) << "searching forward past the window fetches on";
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 40);
}

TEST(HandleTable, StaleHandlesFindNothing) {
  THandleTable<std::string> table;
  const uint32_t a = table.Add(std::make_unique<std::string>("a"));
  ASSERT_NE(table.Get(a), nullptr);
  table.Free(a);
  EXPECT_EQ(table.Get(a), nullptr);
  EXPECT_EQ(table.Get(0), nullptr);
  EXPECT_EQ(table.Get(0xFFFFFFFFu), nullptr);
  // Churn through many slots: a stale handle never sees a later value.
  for (int i = 0; i < 1000; ++i) table.Free(table.Add(std::make_unique<std::string>("x")));
  EXPECT_EQ(table.Get(a), nullptr);
  EXPECT_EQ(table.Live(), 0);
  table.Free(a);
  EXPECT_EQ(table.Live(), 0) << "freeing a stale handle frees nothing";
}

TEST_F(OracleDataTest, HeapRowIdsAreFreedAndBuffersNeverSeeFreedOnes) {
  MakeSessions(5);
  const int before = RowIdAllocations();
  auto ds = DataSet("select sid, rowid from sess order by sid");
  ds->Open();
  const std::string first = ds->RowId();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RowIdAllocations() - before, first.size() >= 18 ? 5 : 0);
  ds->Next();
  EXPECT_NE(ds->RowId(), first);
  ds->Refresh();
  EXPECT_EQ(ds->RowId(), first);
  ds->Close();
  EXPECT_EQ(RowIdAllocations(), before);
}

TEST_F(OracleDataTest, VisibleListKeepsStoreOrderAndRejectsDuplicates) {
  MakeSessions(6);
  auto ds = DataSet("select sid from sess order by sid");
  ds->SetFilter("sid > 100");
  ds->SetFiltered(true);
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  EXPECT_EQ(store->VisibleCount(), 0);
  store->AddVisible(store->Get(4), false);
  store->AddVisible(store->Get(1), false);
  store->AddVisible(store->Get(3), false);
  EXPECT_EQ(store->VisibleToAll(0), 1);
  EXPECT_EQ(store->VisibleToAll(1), 3);
  EXPECT_EQ(store->VisibleToAll(2), 4);
  EXPECT_EQ(store->VisibleToAll(3), store->Count());
  EXPECT_EQ(store->VisiblePosition(3), 1);
  EXPECT_EQ(store->VisiblePosition(2), -1);
  EXPECT_EQ(Raised([&] { store->AddVisible(store->Get(3), false); }),
            "BUG: Duplicate record in filtered list (1)");
}

// ---- Buffers and navigation ----------------------------------------------------------------------

TEST_F(OracleDataTest, RecNoAndEmptyDataSets) {
  MakeSessions(3);
  auto ds = DataSet("select sid from sess where sid > 100");
  ds->Open();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_EQ(ds->RecNo(), 0);
  EXPECT_EQ(ds->RecordCount(), 0);
  EXPECT_TRUE(ds->FieldByName("SID")->IsNull());
  ds->Close();
  ds->SQL()->SetText("select sid from sess order by sid");
  ds->Open();
  EXPECT_EQ(ds->RecNo(), 1);
  ds->Last();
  EXPECT_EQ(ds->RecNo(), 3);
  ds->SetRecNo(2);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 2);
  ds->SetBlockReadSize(10);
  EXPECT_EQ(ds->BlockReadSize(), -1);
}

TEST_F(OracleDataTest, BookmarksOfHiddenRecordsAreInvalid) {
  MakeSessions(8);
  auto ds = DataSet("select sid, prname from sess order by sid");
  ds->Open();
  ds->MoveBy(3);  // SID 4, a background process
  const TBookmark bm = ds->GetBookmark();
  ds->First();
  const TBookmark firstBm = ds->GetBookmark();
  EXPECT_EQ(ds->CompareBookmarks(firstBm, bm), -1);
  EXPECT_EQ(ds->CompareBookmarks(bm, firstBm), 1);
  EXPECT_EQ(ds->CompareBookmarks(TBookmark(), bm), 1);
  EXPECT_EQ(ds->CompareBookmarks(TBookmark(), TBookmark()), 0);
  ds->SetFilter("prname = 'USER'");
  ds->SetFiltered(true);
  EXPECT_FALSE(ds->BookmarkValid(bm));
  EXPECT_EQ(Raised([&] { ds->GotoBookmark(bm); }), "Bookmark not found (4)");
  EXPECT_TRUE(ds->BookmarkValid(firstBm));
}

TEST_F(OracleDataTest, NavigationBackAndForth) {
  MakeSessions(50);
  auto ds = DataSet("select sid from sess order by sid");
  ds->SetQueryAllRecords(false);
  ds->Open();
  ds->Last();
  EXPECT_TRUE(ds->Eof() || ds->FieldByName("SID")->AsInteger() == 50);
  ds->MoveBy(-49);
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 1);
  ds->Prior();
  EXPECT_TRUE(ds->Bof());
  std::string s;
  for (ds->Last(); !ds->Bof(); ds->Prior()) s = ds->FieldByName("SID")->AsString();
  EXPECT_EQ(s, "1");
}

// ---- LOB values ----------------------------------------------------------------------------------

TEST_F(OracleDataTest, CompressedLobValues) {
  TOracleDataSet ds(nullptr);
  std::string data(5000, 'a');
  EXPECT_FALSE(ds.Compress(nullptr, data)) << "CompressBLOBs is off";
  ds.SetCompressBLOBs(true);
  ASSERT_TRUE(ds.Compress(nullptr, data));
  ASSERT_GE(data.size(), 8u);
  EXPECT_EQ(std::memcmp(data.data(), CompressedBlobSignature, 8), 0);
  EXPECT_LT(data.size(), 5000u);
  EXPECT_DOUBLE_EQ(ds.UncompressedBytes(), 5000);
  ds.SetCompressBLOBs(false);
  ASSERT_TRUE(ds.Decompress(nullptr, data)) << "a signed value is restored whatever CompressBLOBs says";
  EXPECT_EQ(data, std::string(5000, 'a'));

  std::string corrupt(reinterpret_cast<const char*>(CompressedBlobSignature), 8);
  corrupt += "\xff\xff\xff\xff garbage";
  const std::string stored = corrupt;
  EXPECT_FALSE(ds.Decompress(nullptr, corrupt));
  EXPECT_EQ(corrupt, stored) << "a value that does not decode is kept as stored";

  ds.SetCompressBLOBs(true);
  ds.OnCompressBLOB = [](TOracleDataSet*, TField*, TStream* In, TStream* Out) {
    std::string s(static_cast<size_t>(In->Size()), '\0');
    In->Read(s.data(), In->Size());
    std::reverse(s.begin(), s.end());
    Out->Write(s.data(), static_cast<int64_t>(s.size()));
  };
  std::string value = "abc";
  ASSERT_TRUE(ds.Compress(nullptr, value));
  EXPECT_EQ(value, "cba") << "a handler's output carries no signature";
  ds.SetCompressBLOBs(false);
  EXPECT_FALSE(ds.Decompress(nullptr, value));
  ds.SetCompressBLOBs(true);
  ds.OnDecompressBLOB = ds.OnCompressBLOB;
  ASSERT_TRUE(ds.Decompress(nullptr, value));
  EXPECT_EQ(value, "abc");
}

TEST_F(OracleDataTest, LobStreamReadsTheRecordsValueWithinBounds) {
  Run(session.get(), "create table t (id number(9), txt long)");
  Run(session.get(), "insert into t values (1, 'hello world')");
  Run(session.get(), "insert into t values (2, null)");
  auto ds = DataSet("select id, txt from t order by id");
  ds->Open();
  TField* txt = ds->FieldByName("TXT");
  EXPECT_EQ(txt->AsString(), "hello world");
  auto stream = ds->CreateBlobStream(txt, bmRead);
  EXPECT_EQ(stream->Size(), 11);
  char buf[32] = {};
  stream->Seek(6, soFromBeginning);
  EXPECT_EQ(stream->Read(buf, 32), 5);
  EXPECT_STREQ(buf, "world");
  stream->Seek(100, soFromBeginning);
  EXPECT_EQ(stream->Read(buf, 32), 0) << "past the end reads nothing";
  EXPECT_THROW(stream->Seek(-1, soFromBeginning), EStreamError);
  EXPECT_EQ(Raised([&] { ds->CreateBlobStream(txt, bmWrite); }), "Dataset not in edit or insert mode");
  stream.reset();
  ds->Next();
  EXPECT_TRUE(txt->IsNull()) << "a LOB value of size 0 reads as null";
}

TEST_F(OracleDataTest, ClobAndBlobColumnsReadThroughFields) {
  Run(session.get(), "create table docs (id number(9), body clob, data blob)");
  Run(session.get(), "insert into docs values (1, 'a clob text', hextoraw('00FF10'))");
  Run(session.get(), "insert into docs values (2, null, null)");
  auto ds = DataSet("select id, body, data from docs order by id");
  ds->Open();
  EXPECT_EQ(ds->FieldByName("BODY")->DataType(), ftOraClob);
  EXPECT_EQ(ds->FieldByName("DATA")->DataType(), ftOraBlob);
  EXPECT_EQ(ds->FieldByName("BODY")->AsString(), "a clob text");
  EXPECT_EQ(ds->FieldByName("DATA")->AsString(), std::string("\x00\xff\x10", 3));
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("BODY")->IsNull());
  EXPECT_TRUE(ds->FieldByName("DATA")->IsNull());
  ds->SetFilter("body = 'a clob text'");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->RecordCount(), 1);
}
