// The footers' aggregates and the record selection on 100,000 rows: the sum list's full pass beside a
// plain loop adding the same fields, one edit kept up without a pass (at 1,000 and 100,000 rows), and
// the selected-records lookups a paint makes beside a plain binary search over the same bookmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBSums.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kRows = 100000;

// Rows never inserted in between: the row ids (the bookmarks' four bytes) run in row order, so
// bookmarks compare in constant time as a real cursor's positions do (the test dataset's own
// comparison looks both rows up one by one).
class TSessionRows : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override {
    if (Bookmark1.size() != 4 || Bookmark2.size() != 4)
      return TMemDataSet::CompareBookmarks(Bookmark1, Bookmark2);
    std::int32_t a = 0, b = 0;
    std::memcpy(&a, Bookmark1.data(), 4);
    std::memcpy(&b, Bookmark2.data(), 4);
    return a < b ? -1 : (a > b ? 1 : 0);
  }
};

// Sessions with a CPU figure (every tenth unknown) and a count of waits.
std::unique_ptr<TMemDataSet> Sessions(int Rows) {
  auto ds = std::make_unique<TSessionRows>(nullptr);
  ds->FieldDefs()->Add("SID", ftInteger);
  ds->FieldDefs()->Add("CPU", ftFloat);
  ds->FieldDefs()->Add("WAITS", ftInteger);
  for (int i = 0; i < Rows; ++i) ds->AddRow({i + 1, i % 10 == 9 ? Null() : TVariant(i * 0.25), i % 7});
  ds->Open();
  return ds;
}

TMemDataSet* Shared() {
  static TMemDataSet* ds = Sessions(kRows).release();  // lives to the end of the program
  return ds;
}

// CPU sum, CPU average, waits sum and the record count: the footers of a session grid.
std::unique_ptr<TDBSumListProducer> Footers(TComponent* Owner, TDataSet* DataSet) {
  auto sums = std::make_unique<TDBSumListProducer>(Owner);
  const std::pair<TGroupOperation, const char*> items[] = {
      {goSum, "CPU"}, {goAvg, "CPU"}, {goSum, "WAITS"}, {goCount, ""}};
  for (const auto& [op, field] : items) {
    TDBSum* s = sums->SumCollection()->Add();
    s->SetGroupOperation(op);
    s->SetFieldName(field);
  }
  sums->SetDataSet(DataSet);
  sums->SetActive(true);
  return sums;
}

void BM_SumListRecalcAll(benchmark::State& state) {
  TMemDataSet* ds = Shared();
  TComponent owner(nullptr);
  auto sums = Footers(&owner, ds);
  for (auto _ : state) sums->RecalcAll();
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["count"] = sums->SumCollection()->Items(3)->Value.ToDouble();
}

// The same four figures by hand: one walk with controls off, the same field reads and conversions.
void BM_SumPlainLoop(benchmark::State& state) {
  TMemDataSet* ds = Shared();
  TField* cpu = ds->FieldByName("CPU");
  TField* waits = ds->FieldByName("WAITS");
  for (auto _ : state) {
    Currency cpuSum, waitSum, avgSum, count;
    int avgCount = 0;
    ds->DisableControls();
    for (ds->First(); !ds->Eof(); ds->Next()) {
      if (!cpu->IsNull()) {
        cpuSum += FieldValueToCurrency(cpu);
        avgSum += FieldValueToCurrency(cpu);
        ++avgCount;
      }
      if (!waits->IsNull()) waitSum += FieldValueToCurrency(waits);
      count += Currency(1);
    }
    ds->First();
    ds->EnableControls();
    benchmark::DoNotOptimize(cpuSum);
    benchmark::DoNotOptimize(waitSum);
    benchmark::DoNotOptimize(avgSum);
    benchmark::DoNotOptimize(count);
    benchmark::DoNotOptimize(avgCount);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

// One edit and post of the current record: the aggregates follow in constant time, whatever the
// number of rows.
void BM_SumListEditPost(benchmark::State& state) {
  auto ds = Sessions(static_cast<int>(state.range(0)));
  TComponent owner(nullptr);
  auto sums = Footers(&owner, ds.get());
  ds->MoveBy(static_cast<int>(state.range(0)) / 2);
  TField* cpu = ds->FieldByName("CPU");
  double v = 0;
  for (auto _ : state) {
    ds->Edit();
    cpu->SetAsFloat(v += 0.5);
    ds->Post();
  }
  state.counters["rows"] = static_cast<double>(state.range(0));
}

// A record selection of every other row; each pass asks for every row whether it is selected, as the
// indicator and the data cells do while painting.
struct TSelected {
  TForm form{nullptr};
  TDataSource source{nullptr};
  TDBGridEx* grid = nullptr;
  std::vector<TBookmarkStr> all;
  explicit TSelected(TMemDataSet* ds) {
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 640, 400);
    grid = new TDBGridEx(&form);
    grid->SetParent(&form);
    grid->SetBounds(0, 0, 620, 380);
    grid->SetOptions(grid->Options() + dgMultiSelect);
    source.SetDataSet(ds);
    grid->SetDataSource(&source);
    ds->DisableControls();
    int i = 0;
    for (ds->First(); !ds->Eof(); ds->Next(), ++i) {
      all.push_back(ds->Bookmark());
      if (i % 2 == 0) grid->SelectedRows()->SetCurrentRowSelected(true);
    }
    ds->First();
    ds->EnableControls();
  }
  ~TSelected() { grid->SetDataSource(nullptr); }
};

void BM_SelectedRowsFind(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet* ds = Shared();
  TSelected s(ds);
  TBookmarkListEx* list = s.grid->SelectedRows();
  for (auto _ : state) {
    int found = 0, index = 0;
    for (const TBookmarkStr& b : s.all) found += list->Find(b, index) ? 1 : 0;
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["selected"] = list->Count();
}

// The same questions as a binary search over the same sorted bookmarks with the dataset's comparison.
void BM_SelectedRowsPlainSearch(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet* ds = Shared();
  TSelected s(ds);
  const std::vector<TBookmarkStr> sorted = s.grid->SelectedRows()->List();
  for (auto _ : state) {
    int found = 0;
    for (const TBookmarkStr& b : s.all) {
      auto it = std::lower_bound(
          sorted.begin(), sorted.end(), b,
          [ds](const TBookmarkStr& x, const TBookmarkStr& y) { return ds->CompareBookmarks(x, y) < 0; });
      found += it != sorted.end() && ds->CompareBookmarks(*it, b) == 0 ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_SumListRecalcAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumPlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumListEditPost)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectedRowsFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectedRowsPlainSearch)->Unit(benchmark::kMillisecond);
