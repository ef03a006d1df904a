// The session window's refresh on the timer, from the tick to the repainted grid, at 1,000 and 10,000
// sessions (and at 1,000 with the current row on a session whose place in the list moves at each
// refresh, beside one whose place stays), beside the raw prepare, execute and fetch of the same
// statement through the client library's call interface (1,000 rows per fetch) on the same instance;
// and the memory the list takes per session against the text of the values fetched.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "bench/app/AppBench.h"
#include "bench/oracle_sim/OciBenchSession.h"
#include "bench/oracle_sim/SimSessionsFill.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"

namespace {

// The memory the process holds: its resident pages (the heap and the blocks the dataset maps for its
// records on its own, which the allocator's statistics do not see), once the allocator has handed
// back the pages it only keeps free. Those are mostly what the simulated instance, running in this
// process, sorted the list in: a server's memory, not the program's.
std::size_t MemoryInUse() {
  malloc_trim(0);
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// One instance file with `sessions` sessions listed by the session window of a main window.
struct Stage : appbench::TStage {
  std::filesystem::path dir;
  std::string path;
  TSessionForm* form = nullptr;
  std::size_t memoryWith8 = 0;  // the list of a nearly empty instance

  explicit Stage(int sessions) {
    dir = std::filesystem::temp_directory_path() /
          ("talvik_session_bench_" + std::to_string(sessions) + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = (dir / "sim.db").string();
    form = appbench::StartProgram(path);
    form->aRefresh->Execute();
    memoryWith8 = MemoryInUse();
    const int listed = form->odsSession->RecordCount();
    simbench::AddSessions(path, sessions - listed);
    form->aRefresh->Execute();
  }
  ~Stage() override {
    delete form;
    delete MainForm;
    MainForm = nullptr;
    std::filesystem::remove_all(dir);
  }
  void TickAndPaint() {
    form->TimerTimer(form->Timer);
    talvik::gui::UpdateAllWindows(MainForm->Handle());
  }
};

Stage& StageOf(int sessions) {
  return appbench::TakeStage<Stage>(sessions, sessions);
}

void BM_TimerTickToRepaintedGrid(benchmark::State& state) {
  Stage& s = StageOf(static_cast<int>(state.range(0)));
  for (auto _ : state) s.TickAndPaint();
  state.counters["rows"] = s.form->odsSession->RecordCount();
}

// The same statement as the window sends, straight through the call interface: every column as text,
// a thousand rows per fetch.
void BM_RawSessionListFetch(benchmark::State& state) {
  Stage& s = StageOf(static_cast<int>(state.range(0)));
  const std::string sql = s.form->odsSession->SQL()->Text();
  appbench::RawFetchEveryRow(state, sql);
}

// A session goes active (and so above every idle one) or idle again, as another program would make it:
// the list's last session (Last) or the first idle one of the sessions added.
void ToggleSession(const std::string& Path, bool Last) {
  sqlite3* db = nullptr;
  sqlite3_open(Path.c_str(), &db);
  sqlite3_busy_timeout(db, 10000);
  const std::string sql = std::string(
                              "UPDATE sim$sessions SET status = CASE status WHEN 'ACTIVE' THEN 'INACTIVE' "
                              "ELSE 'ACTIVE' END WHERE sid = ") +
                          (Last ? "(SELECT max(sid) FROM sim$sessions)" : "1001");
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// The timer's refresh of 1,000 sessions with the current row on an idle session near the end of the
// list while one session changes its status at each refresh: one listed after it (Moving = 1), so that
// its place moves by one each time and the refresh finds it again by SID and serial number; or one
// listed before it either way (Moving = 0), so that its place stays and nothing is searched.
void BM_TimerTickWithTheCurrentRowFollowed(benchmark::State& state) {
  Stage& s = StageOf(1000);
  TDataSet* ds = s.form->odsSession;
  const bool moving = state.range(0) != 0;
  ds->Last();
  ds->MoveBy(-ds->RecordCount() / 10);
  while (ds->FieldByName("STATUS")->AsString() != "INACTIVE") ds->MoveBy(-1);
  const auto session = [ds] {
    return ds->FieldByName("SID")->AsString() + "," + ds->FieldByName("SERIAL")->AsString();
  };
  const std::string followed = session();
  const int recNo = ds->RecNo();
  bool moved = false;
  for (auto _ : state) {
    state.PauseTiming();
    ToggleSession(s.path, moving);
    state.ResumeTiming();
    s.TickAndPaint();
    moved = moved || ds->RecNo() != recNo;
  }
  if (session() != followed) state.SkipWithError("the current row left its session");
  if (moving != moved) state.SkipWithError(moving ? "the current session kept its place" : "it moved");
  state.counters["rows"] = ds->RecordCount();
}

// Memory taken by the list of 10,000 sessions beyond that of 8, per session, against the text of the
// values the list fetched for a session.
void BM_ListMemoryPerSession(benchmark::State& state) {
  Stage& s = StageOf(10000);
  for (auto _ : state) benchmark::DoNotOptimize(MemoryInUse());
  TDataSet* ds = s.form->odsSession;
  const int listed = ds->RecordCount();
  const double perSession =
      (static_cast<double>(MemoryInUse()) - static_cast<double>(s.memoryWith8)) / (listed - 8);
  std::size_t text = 0;
  ds->DisableControls();
  for (ds->First(); !ds->Eof(); ds->Next())
    for (int f = 0; f < ds->FieldCount(); ++f) text += ds->Fields()->Fields(f)->AsString().size();
  ds->EnableControls();
  state.counters["bytes/session"] = perSession;
  state.counters["text/session"] = static_cast<double>(text) / listed;
  state.counters["ratio"] = perSession / (static_cast<double>(text) / listed);
}

BENCHMARK(BM_RawSessionListFetch)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerTickToRepaintedGrid)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerTickWithTheCurrentRowFollowed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSessionListFetch)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerTickToRepaintedGrid)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListMemoryPerSession)->Iterations(1);

}  // namespace
