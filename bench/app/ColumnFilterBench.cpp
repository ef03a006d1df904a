// The column filter's F8 on the session grid of 1,000 sessions (the statement rewritten, the dataset
// reopened on the server, the grid re-attached and repainted), beside the raw prepare, execute and
// fetch of the rewritten statement through the client library's call interface on the same instance;
// and the rewrite alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ComboBoxQuery.h"
#include "app/MainF.h"
#include "app/SessionF.h"
#include "bench/app/AppBench.h"
#include "bench/oracle_sim/OciBenchSession.h"
#include "bench/oracle_sim/SimSessionsFill.h"
#include "grid/DBGridEx.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"

namespace {

constexpr int kSessions = 1000;
constexpr const char* kPattern = "appsrv0%";  // every session the fill adds

// The session window over an instance of 1,000 sessions, its grid on the MACHINE column.
struct FilterStage : appbench::TStage {
  std::filesystem::path dir;
  TSessionForm* form = nullptr;
  std::string unfiltered;

  FilterStage() {
    dir = std::filesystem::temp_directory_path() / ("talvik_filter_bench_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "sim.db").string();
    form = appbench::StartProgram(path);
    form->aRefresh->Execute();
    simbench::AddSessions(path, kSessions - form->odsSession->RecordCount());
    form->aRefresh->Execute();
    unfiltered = form->odsSession->SQL()->Text();
    TDBGridEx* grid = form->dbgSession;
    for (int i = 0; i < grid->Columns()->Count(); ++i)
      if (grid->Columns()->Items(i)->FieldName() == "MACHINE") grid->SetSelectedIndex(i);
  }
  ~FilterStage() override {
    delete form;
    delete MainForm;
    MainForm = nullptr;
    std::filesystem::remove_all(dir);
  }
  TComboBoxQuery* OpenCombo() {
    GridQueryKeyDown(form->dbgSession, kFilterOpenKey);
    TComboBoxQuery* combo = GridQueryFilter(form->dbgSession)->Combo.Get();
    combo->SetText(kPattern);
    return combo;
  }
  static void Press(TComboBoxQuery* Combo, WORD Key) {
    Combo->Perform(WM_KEYDOWN, Key, 0);
    Application->ProcessMessages();  // the combo frees itself once the key is handled
  }
};

FilterStage& Stage() {
  return appbench::TakeStage<FilterStage>(0);
}

// F8 in the combo: the rewritten statement run and the rows listed and painted.
void BM_FilterF8ToRepaintedGrid(benchmark::State& state) {
  FilterStage& s = Stage();
  for (auto _ : state) {
    state.PauseTiming();
    TComboBoxQuery* combo = s.OpenCombo();
    state.ResumeTiming();
    FilterStage::Press(combo, kFilterApplyKey);
    talvik::gui::UpdateAllWindows(MainForm->Handle());
  }
  state.counters["rows"] = s.form->odsSession->RecordCount();
  FilterStage::Press(s.OpenCombo(), kFilterCancelKey);
}

// The rewritten statement straight through the call interface: every column as text, a thousand rows
// per fetch.
void BM_RawFilteredFetch(benchmark::State& state) {
  FilterStage& s = Stage();
  std::vector<std::string> fields;
  for (int i = 0; i < s.form->odsSession->FieldCount(); ++i)
    fields.push_back(s.form->odsSession->Fields()->Fields(i)->FieldName());
  const std::string sql = FilterStatement(s.unfiltered, fields, "MACHINE", kPattern).Sql;
  appbench::RawFetchEveryRow(state, sql);
}

// Where F8's time goes: the dataset's close and open of the rewritten statement with the grid
// detached, and the grid's re-attach and repaint over the open dataset.
void BM_DatasetReopenOfRewritten(benchmark::State& state) {
  FilterStage& s = Stage();
  FilterStage::Press(s.OpenCombo(), kFilterApplyKey);
  TOracleDataSet* ds = s.form->odsSession;
  s.form->dsSession->SetDataSet(nullptr);
  const std::string sql = ds->SQL()->Text();
  for (auto _ : state) {
    ds->Close();
    if (state.range(0)) ds->SQL()->SetText(sql);  // /1: as a new statement (described, fields made anew)
    ds->Open();
  }
  state.counters["rows"] = ds->RecordCount();
  s.form->dsSession->SetDataSet(ds);
  FilterStage::Press(s.OpenCombo(), kFilterCancelKey);
}

void BM_GridReattachAndPaint(benchmark::State& state) {
  FilterStage& s = Stage();
  for (auto _ : state) {
    s.form->dsSession->SetDataSet(nullptr);
    s.form->dsSession->SetDataSet(s.form->odsSession);
    talvik::gui::UpdateAllWindows(MainForm->Handle());
  }
}

// The rewrite alone, on the session list's statement.
void BM_FilterRewrite(benchmark::State& state) {
  FilterStage& s = Stage();
  std::vector<std::string> fields;
  for (int i = 0; i < s.form->odsSession->FieldCount(); ++i)
    fields.push_back(s.form->odsSession->Fields()->Fields(i)->FieldName());
  for (auto _ : state)
    benchmark::DoNotOptimize(FilterStatement(s.unfiltered, fields, "WAIT_STATE", kPattern));
}

BENCHMARK(BM_RawFilteredFetch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterF8ToRepaintedGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatasetReopenOfRewritten)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridReattachAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterRewrite)->Unit(benchmark::kMicrosecond);

}  // namespace
