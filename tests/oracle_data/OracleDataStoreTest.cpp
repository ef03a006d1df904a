// The record store's memory: a record costs what its values take, large blocks give back their
// unused tail once the data has ended, the records stay where they are, and the store keeps working
// afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

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
      std::vector<uint8_t> r(static_cast<size_t>(ds->RecordSize()));
      ds->RecordStore()->Load(ds->RecordStore()->Get(i), r.data());
      s += (s.empty() ? "" : ",") +
           IntToStr(GetInt(r.data(), HeaderSize + ds->FieldByName("N")->Offset() + 1));
    }
    return s;
  }
};

TEST_F(OracleDataStoreTest, ARecordCostsItsValuesNotTheWidthOfItsFields) {
  MakeWide(300);
  auto ds = DataSet("select n, t from wide order by n");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  ASSERT_GT(ds->RecordSize(), 16000) << "4,000 characters of up to 4 bytes";
  ASSERT_EQ(store->Count(), 300);
  // The growth rule decides every chunk but the last: 26, 26, 26, 39, 58, 87 hold 262.
  int held = 0;
  for (int i = 0; i + 1 < store->ChunkCount(); ++i) {
    EXPECT_EQ(store->ChunkCapacity(i), std::max(held / 2, 26)) << "chunk " << i;
    EXPECT_EQ(store->ChunkUsed(i), store->ChunkCapacity(i)) << "chunk " << i;
    held += store->ChunkCapacity(i);
  }
  EXPECT_EQ(store->ChunkUsed(store->ChunkCount() - 1), 300 - held);
  // "text 300" and a number: a few dozen bytes of packed data per record.
  EXPECT_LE(store->PackedBytes(), 300u * 32);
  EXPECT_LE(store->AllocatedBytes(), 300u * 2 * (StoredRecordSize + sizeof(void*)) + 16 * 1024 + 4096);

  // The records read as fetched, before and after navigating past the end.
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

TEST_F(OracleDataStoreTest, AValueThatGrowsMovesAndTheOtherRecordsStayAsTheyWere) {
  MakeWide(30);
  auto ds = DataSet("select w.n, w.t, w.rowid from wide w order by n");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  const size_t packed = store->PackedBytes();
  const std::string longer(3000, 'x');
  ds->MoveBy(1);
  ds->Edit();
  ds->FieldByName("T")->SetAsString(longer);
  ds->Post();
  EXPECT_GE(store->PackedBytes(), packed + longer.size()) << "written anew at the end";
  // The shorter value after it fits in the place the longer one took.
  const size_t grown = store->PackedBytes();
  ds->Edit();
  ds->FieldByName("T")->SetAsString("short");
  ds->Post();
  EXPECT_EQ(store->PackedBytes(), grown);
  std::string expected;
  for (int i = 1; i <= 30; ++i) expected += (i > 1 ? "," : "") + IntToStr(i);
  EXPECT_EQ(Numbers(ds.get()), expected);
  std::string texts;
  for (ds->First(); !ds->Eof(); ds->Next()) texts += ds->FieldByName("T")->AsString() + ";";
  EXPECT_EQ(texts.substr(0, 21), "text 1;short;text 3;t");
  // The server holds what the store shows; a refresh reads it back the same.
  ds->Refresh();
  ds->First();
  ds->Next();
  EXPECT_EQ(ds->FieldByName("T")->AsString(), "short");
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 2);
}

TEST_F(OracleDataStoreTest, LargeBlocksGiveBackTheirTailsWhenTheDataEnds) {
  MakeWide(100);
  // 10,000 records: the last chunk and the last block of packed data are mapped from the system.
  auto ds = DataSet("select a.n * 100 + b.n n, a.t || b.t t from wide a, wide b order by 1");
  ds->Open();
  TRecordDataList* store = ds->RecordStore();
  ASSERT_EQ(store->Count(), 10000);
  const size_t size = StoredRecordSize;
  const int last = store->ChunkCount() - 1;
  EXPECT_GE(store->ChunkCapacity(last), store->ChunkUsed(last) + 1);
  EXPECT_LE(static_cast<size_t>(store->ChunkCapacity(last)) * size,
            static_cast<size_t>(store->ChunkUsed(last) + 1) * size + Page());
  EXPECT_GT(store->MappedBytes(), 0u);
  // Every block but the tail of the last one is filled; the last keeps one more record's room.
  EXPECT_LE(store->AllocatedBytes(), 10000 * (size + sizeof(void*)) + store->PackedBytes() +
                                         static_cast<size_t>(ds->RecordSize()) + 20 * Page());
  ds->Last();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 10100);
  EXPECT_EQ(ds->FieldByName("T")->AsString(), "text 100text 100");
  ds->First();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 101);
  EXPECT_EQ(ds->FieldByName("T")->AsString(), "text 1text 1");
}

TEST_F(OracleDataStoreTest, LazyFetchingKeepsTheGrowthRule) {
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
  EXPECT_EQ(Numbers(ds.get()).substr(0, 8), "1,2,3,4,");
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

// A re-query writes its rows into the blocks the last execution's rows took: whatever the number of
// rows before and after, the records read back as fetched, and once the data has ended the store
// holds what a store freshly filled with the same rows holds.
struct RefillCase {
  const char* name;
  std::vector<int> sides;  // the rows of each execution: side × side
};

class StoreRefill : public OracleDataStoreTest, public ::testing::WithParamInterface<RefillCase> {};

TEST_P(StoreRefill, RecordsReadAsFetchedAndTheStoreHoldsWhatAFreshOneHolds) {
  MakeWide(100);
  const std::string sql =
      "select a.n * 1000 + b.n n, a.t || '/' || b.t t from wide a, wide b "
      "where a.n <= :side and b.n <= :side order by 1";
  auto ds = DataSet(sql);
  ds->DeclareVariable("side", otInteger);
  ds->SetVariable("side", GetParam().sides.front());
  ds->Open();
  for (const int side : GetParam().sides) {
    ds->SetVariable("side", side);
    ds->Refresh();
    SCOPED_TRACE("side " + IntToStr(side));
    ASSERT_EQ(ds->RecordCount(), side * side);
    // every record, in the order fetched (the first that differ are reported)
    int a = 1, b = 1, wrong = 0;
    for (ds->First(); !ds->Eof() && wrong < 3; ds->Next()) {
      const std::string t = "text " + IntToStr(a) + "/text " + IntToStr(b);
      if (ds->FieldByName("N")->AsInteger() != a * 1000 + b || ds->FieldByName("T")->AsString() != t) {
        ADD_FAILURE() << "record " << ds->RecNo() << ": " << ds->FieldByName("N")->AsString() << " "
                      << ds->FieldByName("T")->AsString() << ", fetched " << a * 1000 + b << " " << t;
        ++wrong;
      }
      if (++b > side) b = 1, ++a;
    }
    auto fresh = DataSet(sql);
    fresh->DeclareVariable("side", otInteger);
    fresh->SetVariable("side", side);
    fresh->Open();
    TRecordDataList* store = ds->RecordStore();
    EXPECT_EQ(store->ChunkCount(), fresh->RecordStore()->ChunkCount());
    for (int i = 0; i + 1 < store->ChunkCount(); ++i)
      EXPECT_EQ(store->ChunkCapacity(i), fresh->RecordStore()->ChunkCapacity(i)) << "chunk " << i;
    EXPECT_LE(store->AllocatedBytes(), fresh->RecordStore()->AllocatedBytes() + 2 * Page());
    EXPECT_EQ(store->PackedBytes(), fresh->RecordStore()->PackedBytes());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, StoreRefill,
    ::testing::Values(RefillCase{"SameRowsAgain", {30, 30, 30}}, RefillCase{"LargeThenSmall", {100, 5, 1}},
                      RefillCase{"SmallThenLarge", {2, 60, 100}}, RefillCase{"EmptyBetween", {40, 0, 40, 0}},
                      RefillCase{"UpAndDown", {10, 100, 3, 70, 20}}),
    [](const ::testing::TestParamInfo<RefillCase>& i) { return std::string(i.param.name); });

TEST_F(OracleDataStoreTest, ARefillStoppedBeforeTheEndHoldsAtMostTheBudgetBesideItsRows) {
  MakeWide(100);
  auto ds = DataSet("select a.n * 1000 + b.n n, a.t t from wide a, wide b order by 1");
  ds->Open();
  ASSERT_EQ(ds->RecordCount(), 10000);
  const size_t full = ds->RecordStore()->AllocatedBytes();
  ds->SetQueryAllRecords(false);
  ds->Refresh();
  TRecordDataList* store = ds->RecordStore();
  EXPECT_LT(store->Count(), 10000);
  EXPECT_LE(store->AllocatedBytes(), std::min(full, TRecordDataList::SpareBudget) + 64 * Page());
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 1001);
  ds->Last();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 100100);
  EXPECT_LE(store->AllocatedBytes(), full + 2 * Page()) << "the kept blocks went back when the data ended";
  ds->First();
  ds->Next();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 1002);
}

// ---- Packed data areas ----------------------------------------------------------------------------

struct PackCase {
  const char* name;
  std::vector<uint8_t> data;
  int packedSize;  // -1: not checked
};

std::vector<uint8_t> Bytes(std::initializer_list<std::pair<int, uint8_t>> Runs) {
  std::vector<uint8_t> v;
  for (const auto& [count, byte] : Runs) v.insert(v.end(), static_cast<size_t>(count), byte);
  return v;
}

// A string slot as the fetch fills it: null flag 0, the text, zeros to the slot's width.
std::vector<uint8_t> TextSlot(const std::string& Text, int Width) {
  std::vector<uint8_t> v(1 + static_cast<size_t>(Width), 0);
  std::memcpy(v.data() + 1, Text.data(), Text.size());
  return v;
}

std::vector<uint8_t> Concat(std::vector<std::vector<uint8_t>> Parts) {
  std::vector<uint8_t> v;
  for (const auto& p : Parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

class PackedDataArea : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackedDataArea, UnpacksToTheSameBytes) {
  const PackCase& c = GetParam();
  const int size = static_cast<int>(c.data.size());
  std::string packed;
  PackDataArea(c.data.data(), size, packed);
  EXPECT_LE(static_cast<int>(packed.size()), MaxPackedSize(size));
  if (c.packedSize >= 0) {
    EXPECT_EQ(static_cast<int>(packed.size()), c.packedSize);
  }
  // Unpacking overwrites whatever the target held.
  std::vector<uint8_t> back(c.data.size(), 0xCD);
  UnpackDataArea(reinterpret_cast<const uint8_t*>(packed.data()), back.data(), size);
  EXPECT_EQ(back, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackedDataArea,
    ::testing::Values(PackCase{"Empty", {}, 0}, PackCase{"AllZeros", Bytes({{2000, 0}}), 1},
                      PackCase{"NoZeros", Bytes({{300, 'x'}}), 303},
                      PackCase{"ShortZeroRunsStayInTheLiteral", {'a', 0, 'b', 0, 0, 'c'}, 7},
                      PackCase{"TrailingShortZeros", {'a', 'b', 0, 0}, 4},
                      PackCase{"LeadingZerosThenAByte", Bytes({{10, 0}, {1, 7}}), 3},
                      PackCase{"RunOf64", Bytes({{1, 1}, {64, 0}, {1, 2}}), 5},
                      PackCase{"RunOf65", Bytes({{1, 1}, {65, 0}, {1, 2}}), 6},
                      PackCase{"LongestRun", Bytes({{1, 1}, {16192, 0}, {1, 2}}), 6},
                      PackCase{"RunLongerThanOneToken", Bytes({{1, 1}, {40000, 0}, {1, 2}}), -1},
                      PackCase{"ByteAtTheVeryEnd", Bytes({{16193, 0}, {1, 9}}), -1},
                      PackCase{"TextSlotsAndNumbers",
                               Concat({TextSlot("SYSTEM", 120),
                                       TextSlot("Waited Short Time", 268),
                                       {0, 0, 0, 0, 0, 0, 0, 0x24, 0x40},
                                       {1},
                                       Bytes({{8, 0}}),
                                       TextSlot("", 64)}),
                               -1},
                      PackCase{"NullFlagsWithStaleValueBytes",
                               Concat({{1, 'o', 'l', 'd'}, Bytes({{30, 0}}), {1}}), -1}),
    [](const ::testing::TestParamInfo<PackCase>& Info) { return std::string(Info.param.name); });

}  // namespace
