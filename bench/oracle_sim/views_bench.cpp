// The session list (the monitor's main statement) over 100, 1,000 and 10,000 sessions: one execution
// and the fetch of every row.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/oracle_sim/SimSessionsFill.h"
#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace {

using namespace oracle_sim;

void BM_SessionList(benchmark::State& state) {
  auto dir =
      std::filesystem::temp_directory_path() / ("talvik-views-bench-" + std::to_string(state.range(0)));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string path = (dir / "sim.db").string();
  {
    auto inst = Instance::Open(path);
    simbench::AddSessions(path,
                          static_cast<int>(state.range(0)) - 8);  // six background, the monitor and one more
    auto monitor = Session::LogOn(inst, "SYSTEM", "MANAGER");
    auto other = Session::LogOn(inst, "SCOTT", "TIGER");
    auto c = monitor->Prepare(monitor_sql::kSessionList);
    std::vector<Value> row;
    int64_t rows = 0;
    for (auto _ : state) {
      c->Execute();
      while (c->Fetch(row)) ++rows;
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows) / state.iterations());
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SessionList)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
