// What one short call costs the instance: a savepoint, a one-row update by ROWID followed by a
// commit, and a one-row select by ROWID, each a call the way a client makes it (execute, fetch).
// The instance keeps its live state (sessions, calls, statistics) on every one of them.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "EngineBenchInstance.h"

using namespace oracle_sim;

namespace {

constexpr int kRows = 1000;

struct CallFixture : EngineBenchInstance {
  std::vector<std::string> rowids;

  CallFixture() : EngineBenchInstance("talvik-sim-call-bench") {
    s->Prepare("create table calls (id number(9), a number(9), b varchar2(20))")->Execute();
    std::vector<Value> id, a, b;
    for (int i = 0; i < kRows; ++i) {
      id.push_back(Value::MakeInt(i));
      a.push_back(Value::MakeInt(i));
      b.push_back(Value::MakeText("text" + std::to_string(i)));
    }
    auto ins = s->Prepare("insert into calls values (:id, :a, :b)");
    ins->BindArray("id", id);
    ins->BindArray("a", a);
    ins->BindArray("b", b);
    ins->Execute(kRows);
    s->Commit();
    auto q = s->Prepare("select rowid from calls order by id");
    q->Execute();
    std::vector<Value> row;
    while (q->Fetch(row)) rowids.push_back(row[0].s);
  }
};

CallFixture& Get() {
  static CallFixture f;
  return f;
}

void BM_CallSavepoint(benchmark::State& state) {
  CallFixture& f = Get();
  auto c = f.s->Prepare("savepoint bench_sp");
  for (auto _ : state) c->Execute();
  f.s->Commit();
}
BENCHMARK(BM_CallSavepoint)->Unit(benchmark::kMicrosecond);

void BM_CallUpdateOneRowAndCommit(benchmark::State& state) {
  CallFixture& f = Get();
  auto c = f.s->Prepare("update calls set a = :a, b = :b where rowid = :r");
  int64_t n = 0;
  for (auto _ : state) {
    const std::string& rowid = f.rowids[static_cast<size_t>(n % kRows)];
    c->BindByName("a", Value::MakeInt(n));
    c->BindByName("b", Value::MakeText("v" + std::to_string(n)));
    c->BindByName("r", Value::MakeText(rowid));
    c->Execute();
    f.s->Commit();
    ++n;
  }
}
BENCHMARK(BM_CallUpdateOneRowAndCommit)->Unit(benchmark::kMicrosecond);

void BM_CallSelectOneRow(benchmark::State& state) {
  CallFixture& f = Get();
  auto c = f.s->Prepare("select id, a, b from calls where rowid = :r");
  std::vector<Value> row;
  int64_t n = 0;
  for (auto _ : state) {
    c->BindByName("r", Value::MakeText(f.rowids[static_cast<size_t>(n++ % kRows)]));
    c->Execute();
    while (c->Fetch(row)) benchmark::DoNotOptimize(row);
  }
}
BENCHMARK(BM_CallSelectOneRow)->Unit(benchmark::kMicrosecond);

}  // namespace
