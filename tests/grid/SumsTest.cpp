// Footer aggregates over an in-memory dataset: sums, averages and counts with nulls, the incremental
// upkeep after edits, inserts and deletes, the full pass (where it leaves the dataset, when it runs
// again), the dataset's handlers chained and given back, the master's scrolling, and the record
// numbers kept for a dataset without its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/MemDataSet.h"
#include "grid/DBSums.h"

namespace {

// A dataset that numbers no records and may name a master data source.
class TDetailDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  bool IsSequenced() override { return sequenced; }
  TDataSource* GetDataSource() const override { return master; }
  bool sequenced = true;
  TDataSource* master = nullptr;
};

struct Sums : ::testing::Test {
  TComponent owner{nullptr};
  TDetailDataSet ds;
  std::unique_ptr<TDBSumListProducer> sums;
  int recalcs = 0;

  void SetUp() override {
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("AMOUNT", ftFloat);
    ds.FieldDefs()->Add("NOTE", ftString, 10);
    for (int i = 0; i < ds.FieldDefs()->Count(); ++i) ds.FieldDefs()->Items(i)->CreateField(&ds);
  }
  void Start(std::vector<std::vector<TVariant>> Rows) {
    for (auto& r : Rows) ds.AddRow(r);
    ds.Open();
    sums = std::make_unique<TDBSumListProducer>(&owner);
    sums->OnRecalcAll = [this](TObject*) { ++recalcs; };
  }
  TDBSum* Add(TGroupOperation Op, const std::string& Field) {
    TDBSum* s = sums->SumCollection()->Add();
    s->SetGroupOperation(Op);
    s->SetFieldName(Field);
    return s;
  }
  void Bind() { sums->SetDataSet(&ds); }
  static double V(const TDBSum* S) { return S->Value.ToDouble(); }
  void EditAmount(const TVariant& Value) {
    ds.Edit();
    ds.FieldByName("AMOUNT")->SetValue(Value);
    ds.Post();
  }
};

// ---- the one pass, value by value

struct PassCase {
  const char* name;
  std::vector<TVariant> amounts;
  double sum, avg, countAll, countAmount;
};

class SumsPass : public Sums, public ::testing::WithParamInterface<PassCase> {};

TEST_P(SumsPass, SumAverageAndCountOverNulls) {
  std::vector<std::vector<TVariant>> rows;
  int id = 1;
  for (const TVariant& a : GetParam().amounts) rows.push_back({id++, a, "x"});
  Start(rows);
  TDBSum* sum = Add(goSum, "AMOUNT");
  TDBSum* avg = Add(goAvg, "amount");  // field names without regard to case
  TDBSum* all = Add(goCount, "");
  TDBSum* named = Add(goCount, "AMOUNT");
  Bind();
  EXPECT_DOUBLE_EQ(V(sum), GetParam().sum);
  EXPECT_DOUBLE_EQ(V(avg), GetParam().avg);
  EXPECT_DOUBLE_EQ(V(all), GetParam().countAll);
  EXPECT_DOUBLE_EQ(V(named), GetParam().countAmount);
  EXPECT_EQ(sums->SumCollection()->FindSum("Amount", goAvg), avg);
  EXPECT_EQ(sums->SumCollection()->FindSum("AMOUNT", goCount), named);
  EXPECT_EQ(sums->SumCollection()->FindSum("NOTE", goSum), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SumsPass,
    ::testing::Values(PassCase{"AverageRoundedToFourDecimals", {1.5, 2.5, 4.0}, 8.0, 2.6667, 3, 3},
                      PassCase{"WithNulls", {Null(), 2.0, Null(), 4.0}, 6.0, 3.0, 4, 2},
                      PassCase{"AllNullAverageIsZero", {Null(), Null()}, 0, 0, 2, 0},
                      PassCase{"FourDecimalsRounded", {1.23456}, 1.2346, 1.2346, 1, 1},
                      PassCase{"Empty", {}, 0, 0, 0, 0}),
    [](const auto& Info) { return std::string(Info.param.name); });

// ---- upkeep record by record

TEST_F(Sums, EditsInsertsAndDeletesAdjustWithoutAnotherPass) {
  Start({{1, 10.0, "a"}, {2, Null(), "b"}, {3, 5.0, "c"}});
  TDBSum* sum = Add(goSum, "AMOUNT");
  TDBSum* avg = Add(goAvg, "AMOUNT");
  TDBSum* named = Add(goCount, "AMOUNT");
  TDBSum* all = Add(goCount, "");
  Bind();
  const int passes = recalcs;
  ds.First();
  EditAmount(Null());  // 10 -> null
  EXPECT_DOUBLE_EQ(V(sum), 5);
  EXPECT_DOUBLE_EQ(V(avg), 5);
  EXPECT_DOUBLE_EQ(V(named), 1);
  ds.Next();
  EditAmount(7.0);  // null -> 7
  EXPECT_DOUBLE_EQ(V(sum), 12);
  EXPECT_DOUBLE_EQ(V(avg), 6);
  EXPECT_DOUBLE_EQ(V(named), 2);
  ds.Append();
  ds.FieldByName("ID")->SetAsInteger(4);
  ds.FieldByName("AMOUNT")->SetAsFloat(3.0);
  ds.Post();
  EXPECT_DOUBLE_EQ(V(sum), 15);
  EXPECT_DOUBLE_EQ(V(avg), 5);
  EXPECT_DOUBLE_EQ(V(all), 4);
  ds.Delete();
  EXPECT_DOUBLE_EQ(V(sum), 12);
  EXPECT_DOUBLE_EQ(V(all), 3);
  EXPECT_EQ(recalcs, passes);
}

TEST_F(Sums, DeletingTheOnlyRecordBringsTheSumBackToZero) {
  Start({{1, 2.75, "a"}});
  TDBSum* sum = Add(goSum, "AMOUNT");
  TDBSum* avg = Add(goAvg, "AMOUNT");
  Bind();
  EXPECT_DOUBLE_EQ(V(sum), 2.75);
  ds.Delete();
  EXPECT_DOUBLE_EQ(V(sum), 0);
  EXPECT_DOUBLE_EQ(V(avg), 0);
}

// ---- the full pass

TEST_F(Sums, APassLeavesTheDatasetOnItsFirstRecordWithItsControlsBack) {
  Start({{1, 1.0, "a"}, {2, 2.0, "b"}, {3, 3.0, "c"}});
  Add(goSum, "AMOUNT");
  Bind();
  ds.Last();
  sums->RecalcAll();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(Sums, APassThatFailsGivesTheControlsBack) {
  Start({{1, 1.0, "1"}, {2, 2.0, "two"}});
  TDBSum* s = Add(goSum, "NOTE");  // "two" is no number
  EXPECT_THROW(Bind(), Exception);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_FALSE(sums->Recalculating());
  s->SetFieldName("AMOUNT");  // a change of the items runs the pass again
  EXPECT_DOUBLE_EQ(V(s), 3);
}

TEST_F(Sums, AFilterChangeSeenAtAScrollRecomputesAPlainScrollDoesNot) {
  Start({{1, 1.0, "a"}, {2, 2.0, "b"}, {3, 4.0, "c"}});
  TDBSum* sum = Add(goSum, "AMOUNT");
  ds.OnFilterRecord = [](TDataSet* D, bool& Accept) { Accept = D->FieldByName("AMOUNT")->AsFloat() > 1.5; };
  Bind();
  const int passes = recalcs;
  ds.Next();
  ds.Next();
  EXPECT_EQ(recalcs, passes);
  ds.SetFiltered(true);  // goes to the first record: the scroll sees the change
  EXPECT_EQ(recalcs, passes + 1);
  EXPECT_DOUBLE_EQ(V(sum), 6);
  ds.Next();
  EXPECT_EQ(recalcs, passes + 1);
}

TEST_F(Sums, TheMastersScrollRecomputes) {
  TMemDataSet master;
  master.FieldDefs()->Add("ID", ftInteger);
  master.AddRow({1});
  master.AddRow({2});
  master.Open();
  int masterScrolls = 0;
  master.AfterScroll = [&](TDataSet*) { ++masterScrolls; };
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  ds.master = &source;
  Start({{1, 1.0, "a"}});
  Add(goSum, "AMOUNT");
  Bind();
  ASSERT_EQ(sums->MasterDataSet(), &master);
  const int passes = recalcs;
  master.Next();
  EXPECT_EQ(recalcs, passes + 1);
  EXPECT_EQ(masterScrolls, 1);  // the master's own handler still runs
  sums->SetActive(false);
  master.First();
  EXPECT_EQ(recalcs, passes + 1);
  EXPECT_EQ(masterScrolls, 2);  // and is the master's alone again
  ds.master = nullptr;
}

TEST_F(Sums, TheDatasetsHandlersRunFirstAndComeBackWhenUnhooked) {
  std::vector<std::string> seen;
  ds.AfterPost = [&](TDataSet*) { seen.push_back("post"); };
  ds.BeforeDelete = [&](TDataSet*) { seen.push_back("delete"); };
  Start({{1, 1.0, "a"}, {2, 2.0, "b"}});
  TDBSum* sum = Add(goSum, "AMOUNT");
  Bind();
  EditAmount(5.0);
  EXPECT_DOUBLE_EQ(V(sum), 7);
  ds.Delete();
  EXPECT_DOUBLE_EQ(V(sum), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"post", "delete"}));
  sums->SetDataSet(nullptr);
  EXPECT_DOUBLE_EQ(V(sum), 0);
  EditAmount(9.0);
  EXPECT_DOUBLE_EQ(V(sum), 0);  // no longer hooked
  EXPECT_EQ(seen.back(), "post");
  ASSERT_TRUE(ds.AfterScroll == nullptr);
}

TEST_F(Sums, ADatasetFreedFirstIsForgotten) {
  auto own = std::make_unique<TMemDataSet>();
  own->FieldDefs()->Add("AMOUNT", ftFloat);
  own->AddRow({1.0});
  own->Open();
  sums = std::make_unique<TDBSumListProducer>(&owner);
  Add(goSum, "AMOUNT");
  sums->SetDataSet(own.get());
  own.reset();
  EXPECT_EQ(sums->DataSet(), nullptr);
  sums.reset();  // nothing of the freed dataset is touched
}

// ---- record numbers of a dataset that keeps none

TEST_F(Sums, VirtualRecordsNumberAnUnsequencedDataset) {
  ds.sequenced = false;
  Start({{1, 1.0, "a"}, {2, 2.0, "b"}, {3, 3.0, "c"}});
  sums->SetVirtualRecords(true);
  Bind();
  EXPECT_TRUE(sums->IsSequenced());
  EXPECT_EQ(sums->RecordCount(), 3);
  ds.Last();
  EXPECT_EQ(sums->GetRecNo(), 3);
  sums->SetRecNo(2);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(sums->GetRecNo(), 2);
  ds.Append();
  ds.FieldByName("ID")->SetAsInteger(4);
  ds.Post();
  EXPECT_EQ(sums->RecordCount(), 4);
  EXPECT_EQ(sums->GetRecNo(), 4);
  ds.First();
  ds.Delete();
  EXPECT_EQ(sums->RecordCount(), 3);
  EXPECT_EQ(sums->GetRecNo(), 1);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
  sums->SetVirtualRecords(false);
  EXPECT_FALSE(sums->IsSequenced());
}

}  // namespace
