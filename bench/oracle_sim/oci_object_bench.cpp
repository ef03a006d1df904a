// Fetching 10,000 rows whose one column is an object (three scalar attributes and an embedded
// object of two) through the client library, at 100 and 1000 rows per OCIStmtFetch2: every row's
// instance is filled from the engine's object value.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "OciBenchSession.h"

namespace {

constexpr int kRows = 10000;

// One session on an instance file of its own holding table OB of kRows rows.
struct ObjectFixture : OciBenchSession {
  OCIType* type = nullptr;

  ObjectFixture() : OciBenchSession("oci_object_bench", "scott", "tiger") {
    Run("create type bench_addr_t as object (street varchar2(30), no number(5))");
    Run("create type bench_t as object (id number(9), name varchar2(30), amount number(10,2), addr "
        "bench_addr_t)");
    Run("create table ob (id number(9), item bench_t)");
    Fill();
    Check(OCITypeByName(env, err, svc, nullptr, 0, T("BENCH_T"), 7, nullptr, 0, OCI_DURATION_SESSION,
                        OCI_TYPEGET_ALL, &type),
          err, "type");
  }

  void Fill() {
    const char* sql = "insert into ob values (:id, bench_t(:id, :name, :amount, bench_addr_t(:street, :no)))";
    OCIStmt* st = Prepare(sql);
    constexpr int kBatch = 1000;
    std::vector<int> ids(kBatch), nos(kBatch);
    std::vector<double> amounts(kBatch);
    std::vector<char> names(kBatch * 31), streets(kBatch * 31);
    Bind(st, ":id", ids.data(), sizeof(int), SQLT_INT);
    Bind(st, ":name", names.data(), 31, SQLT_STR);
    Bind(st, ":amount", amounts.data(), sizeof(double), SQLT_FLT);
    Bind(st, ":street", streets.data(), 31, SQLT_STR);
    Bind(st, ":no", nos.data(), sizeof(int), SQLT_INT);
    InsertInBatches(st, kRows, kBatch, [&](int i, int n) {
      ids[i] = n;
      nos[i] = n % 1000;
      amounts[i] = n * 0.25;
      std::snprintf(&names[i * 31], 31, "person %06d", n);
      std::snprintf(&streets[i * 31], 31, "street %04d", n % 5000);
    });
  }
};

ObjectFixture& SharedObjects() {
  static ObjectFixture f;
  return f;
}

void BM_OciFetchObjects(benchmark::State& state) {
  ObjectFixture& f = SharedObjects();
  const ub4 arraySize = static_cast<ub4>(state.range(0));
  std::vector<void*> values(arraySize), nulls(arraySize);
  std::vector<sb2> ind(arraySize);
  int64_t total = 0;
  for (auto _ : state) {
    OCIStmt* st = f.Prepare("select item from ob");
    Check(OCIStmtExecute(f.svc, st, f.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), f.err, "select");
    OCIDefine* d = nullptr;
    OCIDefineByPos(st, &d, f.err, 1, values.data(), sizeof(void*), SQLT_NTY, ind.data(), nullptr, nullptr,
                   OCI_DEFAULT);
    Check(OCIDefineObject(d, f.err, f.type, values.data(), nullptr, nulls.data(), nullptr), f.err, "define");
    int64_t rows = f.FetchToEnd(st, arraySize);
    if (rows != kRows) state.SkipWithError("wrong row count");
    total += rows;
    OCIHandleFree(st, OCI_HTYPE_STMT);
  }
  for (void* v : values)
    if (v) OCIObjectFree(f.env, f.err, v, 0);
  state.SetItemsProcessed(total);
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OciFetchObjects)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
