// The record store's memory: large chunks give back their unused tail once the data has ended, the
// records stay where they are, and the store keeps working afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {

class OracleDataStoreTest : public OracleDataTest {
 protected:
  // WIDE: N 1..Count and a VARCHAR2(4000) text, so that a record takes about 4 KB and the chunks
  // are large.
  void MakeWide(int Count) {
    Run(session.get(), "create table wide (n number(9), t varchar2(4000))");
    auto ins = Query(session.get(), "insert into wide values (:n, :t)");
    ins->DeclareVariable("n", otInteger);
    ins->DeclareVariable("t", otString);
    for (int i = 1; i <= Count; ++i) {
      ins->SetVariable("n", i);
      ins->SetVariable("t", "text " + IntToStr(i));
      ins->Execute();
    }
  }

  static size_t Page() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

  // The records held, by N.
  static std::string Numbers(TOracleDataSet* ds) {
    std::string s;
    for (int i = 0; i < ds->RecordStore()->Count(); ++i) {
      const uint8_t* r = ds->RecordStore()->Get(i);
      s += (s.empty() ? "" : ",") + IntToStr(GetInt(r, HeaderSize + ds->FieldByName("N")->Offset() + 1));
    }
    return s;
  }
};

TEST_F(OracleDataStoreTest, LastChunkGivesBackItsTailWhenTheDataEnds) {
  MakeWide(300);
  auto ds = DataSet("select n, t from wide order by n");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  const size_t size = static_cast<size_t>(ds->RecordSize());
  ASSERT_GT(size, 4000u);
  ASSERT_EQ(store->Count(), 300);
  // The growth rule still decides every chunk but the last: 26, 26, 26, 39, 58, 87 hold 262.
  int held = 0;
  for (int i = 0; i + 1 < store->ChunkCount(); ++i) {
    EXPECT_EQ(store->ChunkCapacity(i), std::max(held / 2, 26)) << "chunk " << i;
    EXPECT_EQ(store->ChunkUsed(i), store->ChunkCapacity(i)) << "chunk " << i;
    held += store->ChunkCapacity(i);
  }
  // The last chunk was made for 131 records; it keeps the 38 it holds and one free slot (and what
  // else fits in its last page).
  const int last = store->ChunkCount() - 1;
  EXPECT_EQ(store->ChunkUsed(last), 300 - held);
  EXPECT_GE(store->ChunkCapacity(last), store->ChunkUsed(last) + 1);
  EXPECT_LE(static_cast<size_t>(store->ChunkCapacity(last)) * size,
            static_cast<size_t>(store->ChunkUsed(last) + 1) * size + Page());
  // Nothing beyond the records, their list and page rounding.
  EXPECT_LE(store->AllocatedBytes(),
            300 * (size + sizeof(void*)) + static_cast<size_t>(store->ChunkCount()) * (size + Page()) + 4096);
  EXPECT_GT(store->MappedBytes(), 0u);

  // The records did not move and read as fetched, before and after navigating past the end.
  std::string expected;
  for (int i = 1; i <= 300; ++i) expected += (i > 1 ? "," : "") + IntToStr(i);
  EXPECT_EQ(Numbers(ds.get()), expected);
  const int chunks = store->ChunkCount();
  ds->Last();
  ds->Next();
  ds->First();
  while (!ds->Eof()) ds->Next();
  EXPECT_EQ(store->ChunkCount(), chunks) << "reading past the end takes the spare slot, no new chunk";
  EXPECT_EQ(Numbers(ds.get()), expected);
  EXPECT_EQ(ds->FieldByName("T")->AsString(), "text 300");
}

TEST_F(OracleDataStoreTest, LazyFetchingGivesBackTheTailAtTheEnd) {
  MakeWide(200);
  auto ds = DataSet("select n, t from wide order by n");
  ds->SetQueryAllRecords(false);
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  EXPECT_LT(store->Count(), 200);
  for (int i = 0; i < 120; ++i) ds->Next();
  // Mid-way the last chunk still has its full capacity.
  const int last = store->ChunkCount() - 1;
  EXPECT_EQ(store->ChunkCapacity(last), std::max((store->Count() - store->ChunkUsed(last)) / 2, 26));
  ds->Last();
  EXPECT_EQ(store->Count(), 200);
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 200);
  const int end = store->ChunkCount() - 1;
  EXPECT_LE(static_cast<size_t>(store->ChunkCapacity(end) - store->ChunkUsed(end)) *
                static_cast<size_t>(ds->RecordSize()),
            static_cast<size_t>(ds->RecordSize()) + Page());
}

TEST_F(OracleDataStoreTest, RefreshAndCloseAfterTheTailWasGivenBack) {
  MakeWide(150);
  auto ds = DataSet("select n, t from wide order by n");
  ds->Open();
  ds->Last();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 150);
  Run(session.get(), "insert into wide values (151, 'text 151')");
  ds->Refresh();
  EXPECT_EQ(ds->RecordCount(), 151);
  ds->Last();
  EXPECT_EQ(ds->FieldByName("T")->AsString(), "text 151");
  ds->Close();
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 151);
}

TEST_F(OracleDataStoreTest, SmallChunksComeFromTheHeapAndKeepTheirCapacity) {
  MakeSessions(30);
  auto ds = DataSet("select sid from sess order by sid");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  EXPECT_EQ(store->MappedBytes(), 0u);
  ASSERT_EQ(store->ChunkCount(), 2);
  EXPECT_EQ(store->ChunkCapacity(0), 26);
  EXPECT_EQ(store->ChunkCapacity(1), 26);
  EXPECT_EQ(store->ChunkUsed(1), 4);
}

TEST_F(OracleDataStoreTest, UnidirectionalChunksKeepTheFirstCapacity) {
  MakeWide(100);
  auto ds = DataSet("select n, t from wide order by n");
  ds->SetUnidirectional(true);
  ds->SetReadBuffer(40);
  ds->Open();
  int n = 0;
  for (; !ds->Eof(); ds->Next()) ++n;
  EXPECT_EQ(n, 100);
  TRecordDataList* store = ds->RecordStore();
  EXPECT_EQ(store->ChunkCount(), 1);
  EXPECT_EQ(store->ChunkCapacity(0), 41);
}

}  // namespace
