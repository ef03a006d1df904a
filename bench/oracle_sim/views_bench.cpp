// The session list (the monitor's main statement) over 100, 1,000 and 10,000 sessions: one execution
// and the fetch of every row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace {

using namespace oracle_sim;

// Adds `n` idle user sessions to the instance file, as other processes' sessions would be.
void AddSessions(const std::string& path, int n) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string sql =
      "WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i + 1 < " + std::to_string(n) +
      ") INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, status, program, machine, "
      "osuser, saddr, paddr, spid, pprogram, last_call, wait_since, consistent_gets, block_gets, "
      "physical_reads, "
      "cpu_us, command, module, action) SELECT 1000 + i, 1 + i % 5000, 'SCOTT', 59, 1, datetime('now', "
      "'localtime', '-1 hour'), CASE WHEN i % 7 = 0 THEN 'ACTIVE' ELSE 'INACTIVE' END, 'JDBC Thin Client', "
      "'appsrv0' || (i % 9), 'appuser', CAST(printf('S%07d', i) AS BLOB), CAST(printf('P%07d', i) AS BLOB), "
      "CAST(30000 + i AS TEXT), 'oracle@dbsrv01 (TNS V1-V3)', unixepoch('now') - i % 5000, unixepoch('now') "
      "- i "
      "% 300, i * 13, i * 3, i, i * 1000, i % 50, 'OrderEntry', 'Checkout' FROM k";
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

void BM_SessionList(benchmark::State& state) {
  auto dir =
      std::filesystem::temp_directory_path() / ("talvik-views-bench-" + std::to_string(state.range(0)));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string path = (dir / "sim.db").string();
  {
    auto inst = Instance::Open(path);
    AddSessions(path, static_cast<int>(state.range(0)) - 8);  // six background, the monitor and one more
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
