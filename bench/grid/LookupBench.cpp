// The look-up grid's incremental search over a list of 100,000 records whose only match is the last
// one, beside the list dataset's own Locate of the same text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBLookupGridEx.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kRecords = 100000;

struct LookupList {
  std::unique_ptr<TForm> form;
  TMemDataSet list;
  TDataSource source{nullptr};
  TDBLookupGridEx* grid = nullptr;
  LookupList() {
    StartHeadlessGui();
    list.FieldDefs()->Add("ID", ftInteger);
    list.FieldDefs()->Add("DNAME", ftString, 30);
    char buf[40];
    for (int i = 0; i < kRecords; ++i) {
      std::snprintf(buf, sizeof buf, "%s %06d", i == kRecords - 1 ? "Склад" : "Отдел", i);
      list.AddRow({i, std::string(buf)});
    }
    list.Open();
    source.SetDataSet(&list);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    grid = new TDBLookupGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 250, 150);
    grid->SetListSource(&source);
    grid->SetKeyField("ID");
    grid->SetListField("DNAME");
    grid->SetRowCount(7);
  }
};

LookupList& List() {
  static LookupList list;
  return list;
}

void BM_LookupGridSearchToLastRecord(benchmark::State& state) {
  LookupList& l = List();
  for (auto _ : state) {
    state.PauseTiming();
    l.grid->ClearSearchText();
    l.grid->SetLockPosition(true);
    l.grid->SetKeyValue(0);
    l.grid->SetLockPosition(false);
    l.list.First();
    state.ResumeTiming();
    l.grid->ProcessSearchKey(U'с');
  }
  if (l.grid->KeyValue().AsInteger() != kRecords - 1)
    state.SkipWithError("the search did not reach the last record");
}

void BM_ListLocateOfTheSameText(benchmark::State& state) {
  LookupList& l = List();
  for (auto _ : state) {
    state.PauseTiming();
    l.list.First();
    state.ResumeTiming();
    const bool found = l.list.Locate("DNAME", TVariant(std::string("с")), {loCaseInsensitive, loPartialKey});
    benchmark::DoNotOptimize(found);
  }
  if (l.list.FieldByName("ID")->AsInteger() != kRecords - 1)
    state.SkipWithError("Locate did not reach the last record");
}

BENCHMARK(BM_LookupGridSearchToLastRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLocateOfTheSameText)->Unit(benchmark::kMillisecond);

}  // namespace
