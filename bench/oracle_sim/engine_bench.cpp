// The engine's hot paths: translating a statement (cold and cached) and fetching a large result.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "EngineBenchInstance.h"
#include "oracle_sim/engine/EngineState.h"

using namespace oracle_sim;

namespace {

const char* kStatement =
    "SELECT /*+ ORDERED */ e.empno, e.ename, NVL(DECODE(e.job, 'CLERK', 'C', 'MANAGER', 'M', e.job), '?') "
    "job,\n"
    "  d.dname, LPAD(TO_CHAR(TRUNC(e.sal / 12)), 8, '0') || ' / ' || TO_CHAR(e.hiredate, 'DD.MM.YY "
    "HH24:MI:SS') "
    "info,\n  m.ename manager, INITCAP(d.loc) loc, SUBSTR(e.ename, INSTR(e.ename, 'A')) tail\n"
    "FROM emp e, dept d, emp m\n"
    "WHERE d.deptno(+) = e.deptno AND e.mgr = m.empno(+) AND e.sal > :minsal\n"
    "  AND e.deptno IN (SELECT deptno FROM dept WHERE loc LIKE 'N%' OR loc IS NULL)\n"
    "ORDER BY 4 DESC, 2";

struct Fixture : EngineBenchInstance {
  Fixture() : EngineBenchInstance("talvik-sim-bench") {
    s->Prepare(
         "create table big (id number(9) primary key, name varchar2(30), amount number(10,2), created date, "
         "flag char(1), code varchar2(10), qty number, note varchar2(50), ratio number, status varchar2(8))")
        ->Execute();
    const int n = 100000;
    std::vector<Value> id, name, amount, created, code, qty, note, ratio;
    DateTime base{2024, 1, 1, 0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
      id.push_back(Value::MakeInt(i + 1));
      name.push_back(Value::MakeText("Name " + std::to_string(i)));
      amount.push_back(Value::MakeReal(i * 1.25));
      DateTime d = base;
      d.day = 1 + i % 28;
      d.second = i % 60;
      created.push_back(Value::MakeDate(d));
      code.push_back(Value::MakeText("C" + std::to_string(i % 1000)));
      qty.push_back(Value::MakeInt(i % 97));
      note.push_back(i % 3 ? Value::MakeText("a note about row " + std::to_string(i)) : Value());
      ratio.push_back(Value::MakeReal(i / 7.0));
    }
    auto c = s->Prepare(
        "insert into big values (:id, :name, :amount, :created, 'Y', :code, :qty, :note, :ratio, 'ACTIVE')");
    c->BindArray("id", id);
    c->BindArray("name", name);
    c->BindArray("amount", amount);
    c->BindArray("created", created);
    c->BindArray("code", code);
    c->BindArray("qty", qty);
    c->BindArray("note", note);
    c->BindArray("ratio", ratio);
    auto t0 = std::chrono::steady_clock::now();
    c->Execute(n);
    s->Commit();
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "array insert of %d rows (10 columns) and commit: %lld ms\n", n,
                 static_cast<long long>(ms));
  }
};

Fixture& Get() {
  static Fixture f;
  return f;
}

void BM_TranslateCold(benchmark::State& state) {
  Fixture& f = Get();
  TranslateContext ctx = f.s->State().Context();
  for (auto _ : state) {
    auto tr = Translate(ctx, kStatement);
    benchmark::DoNotOptimize(tr);
  }
}
BENCHMARK(BM_TranslateCold);

void BM_TranslateCached(benchmark::State& state) {
  Fixture& f = Get();
  for (auto _ : state) {
    auto c = f.s->Prepare(kStatement);
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_TranslateCached);

void BM_Fetch100kRows10Columns(benchmark::State& state) {
  Fixture& f = Get();
  auto c = f.s->Prepare("select * from big");
  int64_t rows = 0;
  for (auto _ : state) rows += FetchToEnd(*c);
  state.SetItemsProcessed(rows);
  state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Fetch100kRows10Columns)->Unit(benchmark::kMillisecond);

// The same fetch while another session holds uncommitted changes of the table: the query reads
// around them through the undo log.
void BM_Fetch100kRowsAroundUncommittedChanges(benchmark::State& state) {
  Fixture& f = Get();
  auto other = Session::LogOn(f.inst, "SCOTT", "TIGER");
  other->Prepare("update big set qty = qty + 1 where id <= 100")->Execute();
  auto c = f.s->Prepare("select * from big");
  int64_t rows = 0;
  for (auto _ : state) rows += FetchToEnd(*c);
  other->Rollback();
  state.SetItemsProcessed(rows);
  state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Fetch100kRowsAroundUncommittedChanges)->Unit(benchmark::kMillisecond);

}  // namespace
