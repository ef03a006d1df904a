// The SQL text scanners the datasets run on every statement, and the DATE codec of every fetched
// date value.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "oracle/Oracle.h"

namespace {

// A statement of the size the session window sends: a join with comments, strings and binds.
std::string Statement() {
  std::string sql;
  for (int i = 0; i < 20; ++i) {
    sql += "select s.sid, s.serial#, decode(s.status, 'ACTIVE', 'Активен', 'Ждёт') st -- status text\r\n";
    sql += "  from v$session s, v$process p /* the process of the session */\r\n";
    sql +=
        " where s.paddr = p.addr(+) and s.sid = :sid" + std::to_string(i) + " and s.username like :user\r\n";
  }
  return sql;
}

void BM_FindVariables(benchmark::State& state) {
  const std::string sql = Statement();
  for (auto _ : state) {
    std::unique_ptr<TStringList> list(FindVariables(sql, false));
    benchmark::DoNotOptimize(list->Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sql.size()));
}
BENCHMARK(BM_FindVariables);

void BM_RemoveSQLComments(benchmark::State& state) {
  const std::string sql = Statement();
  for (auto _ : state) benchmark::DoNotOptimize(RemoveSQLComments(sql));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sql.size()));
}
BENCHMARK(BM_RemoveSQLComments);

void BM_OracleDateRoundTrip(benchmark::State& state) {
  uint8_t d[7];
  TDateTime t = EncodeDateTime(2024, 5, 17, 13, 45, 12, 0);
  for (auto _ : state) {
    DateTimeToOracleDate(d, t);
    benchmark::DoNotOptimize(t = OracleDateToDateTime(d));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OracleDateRoundTrip);

}  // namespace
