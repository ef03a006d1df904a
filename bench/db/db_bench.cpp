// The dataset framework's hot paths: scrolling a large dataset through a data link with a grid-sized
// window and reading every cell of the window (what painting a grid does), and field access.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "tests/db/MemDataSet.h"

namespace {

constexpr int kRows = 100000;
constexpr int kWindow = 30;

// 10 columns of the kinds a session list shows.
std::unique_ptr<TMemDataSet> MakeDataSet() {
  auto ds = std::make_unique<TMemDataSet>();
  TFieldDefs* defs = ds->FieldDefs();
  defs->Add("SID", ftInteger);
  defs->Add("SERIAL", ftInteger);
  defs->Add("USERNAME", ftString, 30);
  defs->Add("STATUS", ftString, 8);
  defs->Add("OSUSER", ftString, 30);
  defs->Add("MACHINE", ftString, 64);
  defs->Add("CPU", ftFloat);
  defs->Add("READS", ftFloat);
  defs->Add("LOGON_TIME", ftDateTime);
  defs->Add("IDLE", ftFloat);
  const TDateTime base = EncodeDate(2026, 12, 1);
  for (int i = 0; i < kRows; ++i) {
    ds->AddRow({i, i * 7 % 65536, "USER_" + std::to_string(i % 500), i % 3 ? "INACTIVE" : "ACTIVE",
                "osuser" + std::to_string(i % 50), "host-" + std::to_string(i % 200) + ".example.org",
                i * 0.25, static_cast<double>(i) * 13, TVariant::FromDate(base + i / 1440.0),
                (i % 600) / 60.0});
  }
  return ds;
}

struct Grid {
  Grid(TMemDataSet* ds) {
    source.SetDataSet(ds);
    link.SetDataSource(&source);
    link.SetBufferCount(kWindow);
  }
  // Reads the display text of every cell of the rows [From, To) of the window.
  size_t Paint(TDataSet* ds, int From, int To) {
    size_t bytes = 0;
    const int saved = link.ActiveRecord();
    for (int r = From; r < To; ++r) {
      link.SetActiveRecord(r);
      for (TField* f : ds->Fields()->List()) bytes += f->DisplayText().size();
    }
    link.SetActiveRecord(saved);
    return bytes;
  }
  TDataSource source{nullptr};
  TDataLink link;
};

const std::unique_ptr<TMemDataSet>& Data() {
  static const std::unique_ptr<TMemDataSet> ds = [] {
    auto d = MakeDataSet();
    d->Open();
    return d;
  }();
  return ds;
}

void BM_OpenLoad100k(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto ds = MakeDataSet();
    state.ResumeTiming();
    ds->Open();
    benchmark::DoNotOptimize(ds->RecordCount());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_OpenLoad100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Next through every row; the link only hears the scroll.
void BM_Scroll100k(benchmark::State& state) {
  TMemDataSet* ds = Data().get();
  Grid grid(ds);
  for (auto _ : state) {
    ds->First();
    while (!ds->Eof()) ds->Next();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Scroll100k)->Unit(benchmark::kMillisecond);

// Next through every row, painting the row that scrolled in (a grid that scrolls its image).
void BM_ScrollPaintNewRow100k(benchmark::State& state) {
  TMemDataSet* ds = Data().get();
  Grid grid(ds);
  size_t bytes = 0;
  for (auto _ : state) {
    ds->First();
    bytes += grid.Paint(ds, 0, grid.link.RecordCount());
    while (!ds->Eof()) {
      ds->Next();
      const int row = grid.link.ActiveRecord();
      bytes += grid.Paint(ds, row, row + 1);
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ScrollPaintNewRow100k)->Unit(benchmark::kMillisecond);

// Next through every row, painting the whole 30-row window each time (10 columns: 300 cells).
void BM_ScrollPaintWindow100k(benchmark::State& state) {
  TMemDataSet* ds = Data().get();
  Grid grid(ds);
  size_t bytes = 0;
  for (auto _ : state) {
    ds->First();
    while (!ds->Eof()) {
      bytes += grid.Paint(ds, 0, grid.link.RecordCount());
      ds->Next();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRows * kWindow * 10);
}
BENCHMARK(BM_ScrollPaintWindow100k)->Unit(benchmark::kMillisecond)->Iterations(1);

// Typed reads of one record's fields.
void BM_FieldReads(benchmark::State& state) {
  TMemDataSet* ds = Data().get();
  ds->First();
  TField* sid = ds->FieldByName("SID");
  TField* user = ds->FieldByName("USERNAME");
  TField* cpu = ds->FieldByName("CPU");
  TField* logon = ds->FieldByName("LOGON_TIME");
  for (auto _ : state) {
    benchmark::DoNotOptimize(sid->AsInteger());
    benchmark::DoNotOptimize(user->AsString());
    benchmark::DoNotOptimize(cpu->AsFloat());
    benchmark::DoNotOptimize(logon->AsDateTime());
  }
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_FieldReads);

void BM_FieldByName(benchmark::State& state) {
  TMemDataSet* ds = Data().get();
  for (auto _ : state) benchmark::DoNotOptimize(ds->FieldByName("logon_time"));
}
BENCHMARK(BM_FieldByName);

}  // namespace
