// The find dialog's search over 100,000 records of 10 columns, every column listed ("<All>") and the
// only match in the very last cell, beside a plain loop comparing the same upper-cased display texts.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBGridExFindDlg.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kColumns = 10;
constexpr char kPattern[] = "искомое";

struct FindFixture {
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  FindFixture() {
    StartHeadlessGui();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("CPU", ftFloat);
    for (int c = 3; c < kColumns; ++c) ds.FieldDefs()->Add("C" + std::to_string(c), ftString, 16);
    for (int i = 0; i < kRecords; ++i) {
      std::vector<TVariant> row{i, "Сессия " + std::to_string(i), i * 0.25};
      for (int c = 3; c < kColumns; ++c)
        row.emplace_back(i == kRecords - 1 && c == kColumns - 1 ? std::string("Искомое")
                                                                : "знач " + std::to_string(i % 1000));
      ds.AddRow(row);
    }
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 1280, 1024);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 1260, 1000);
    grid->SetDataSource(&source);
    ds.Open();
  }
};

FindFixture& Fixture() {
  static FindFixture* f = new FindFixture;  // lives to the end of the program
  return *f;
}

void BM_FindEngineAllColumnsLastCell(benchmark::State& state) {
  FindFixture& f = Fixture();
  TGridFindEngine engine;
  engine.SetGrid(f.grid);
  TColumnsExList columns(f.grid->VisibleColumns());
  TGridFindOptions options;  // anywhere in the text, all records, case ignored, as displayed
  for (auto _ : state) {
    f.ds.First();
    engine.SetColumns(columns, gfdAll);
    const TGridFindResult r = engine.FindNext(kPattern, options, false);
    if (r != gfrFound) state.SkipWithError("no match");
    benchmark::DoNotOptimize(r);
  }
}

// The same cells without the engine: each record's display texts upper-cased and searched.
void BM_FindPlainLoopAllColumnsLastCell(benchmark::State& state) {
  FindFixture& f = Fixture();
  const std::string upper = AnsiUpperCase(kPattern);
  TColumnsExList columns(f.grid->VisibleColumns());
  for (auto _ : state) {
    f.ds.First();
    f.ds.DisableControls();
    bool found = false;
    for (f.ds.First(); !f.ds.Eof() && !found; f.ds.Next())
      for (TColumnEx* c : columns)
        if (AnsiUpperCase(c->GetDisplayText()).find(upper) != std::string::npos) {
          found = true;
          break;
        }
    f.ds.EnableControls();
    if (!found) state.SkipWithError("no match");
    benchmark::DoNotOptimize(found);
  }
}

BENCHMARK(BM_FindEngineAllColumnsLastCell)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindPlainLoopAllColumnsLastCell)->Unit(benchmark::kMillisecond);

}  // namespace
