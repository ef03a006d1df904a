// Fetching 100,000 rows of a 10-column table through the client library's handle API, at array
// sizes 1, 100 and 1000 (rows per OCIStmtFetch2).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "OciBenchSession.h"

namespace {

constexpr int kRows = 100000;
constexpr int kColumns = 10;
constexpr int kTextSize = 31;

// One logged-on session on an instance file of its own holding table B of kRows rows.
struct Fixture : OciBenchSession {
  Fixture() : OciBenchSession("oci_bench", "system", "manager") {
    Run("create table b (c1 number(9), c2 varchar2(30), c3 number(10,2), c4 date, c5 varchar2(10), "
        "c6 number, c7 varchar2(30), c8 number(5), c9 date, c10 varchar2(20))");
    Fill();
  }

  void Fill() {
    const char* sql = "insert into b values (:c1, :c2, :c3, :c4, :c5, :c6, :c7, :c8, :c9, :c10)";
    OCIStmt* st = Prepare(sql);
    constexpr int kBatch = 1000;
    std::vector<int> ints(kBatch);
    std::vector<double> reals(kBatch);
    std::vector<char> texts(kBatch * kTextSize);
    std::vector<ub1> dates(kBatch * 7);
    Bind(st, ":c1", ints.data(), sizeof(int), SQLT_INT);
    Bind(st, ":c2", texts.data(), kTextSize, SQLT_STR);
    Bind(st, ":c3", reals.data(), sizeof(double), SQLT_FLT);
    Bind(st, ":c4", dates.data(), 7, SQLT_DAT);
    Bind(st, ":c5", texts.data(), 10, SQLT_CHR);
    Bind(st, ":c6", reals.data(), sizeof(double), SQLT_FLT);
    Bind(st, ":c7", texts.data(), kTextSize, SQLT_STR);
    Bind(st, ":c8", ints.data(), sizeof(int), SQLT_INT);
    Bind(st, ":c9", dates.data(), 7, SQLT_DAT);
    Bind(st, ":c10", texts.data(), 20, SQLT_CHR);
    InsertInBatches(st, kRows, kBatch, [&](int i, int n) {
      ints[i] = n % 30000;
      reals[i] = n * 0.25;
      std::snprintf(&texts[i * kTextSize], kTextSize, "row %08d of the table", n);
      ub1 d[7] = {120, 124, static_cast<ub1>(n % 12 + 1), static_cast<ub1>(n % 28 + 1), 13, 31, 1};
      std::memcpy(&dates[i * 7], d, 7);
    });
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void BM_OciFetch(benchmark::State& state) {
  Fixture& f = Shared();
  const ub4 arraySize = static_cast<ub4>(state.range(0));
  std::vector<int> c1(arraySize), c8(arraySize);
  std::vector<double> c3(arraySize), c6(arraySize);
  std::vector<char> c2(arraySize * kTextSize), c5(arraySize * 11), c7(arraySize * kTextSize),
      c10(arraySize * 21);
  std::vector<ub1> c4(arraySize * 7), c9(arraySize * 7);
  std::vector<sb2> ind(arraySize * kColumns);
  std::vector<ub2> len(arraySize * kColumns);
  int64_t total = 0;
  for (auto _ : state) {
    OCIStmt* st = f.Prepare("select c1, c2, c3, c4, c5, c6, c7, c8, c9, c10 from b");
    Check(OCIStmtExecute(f.svc, st, f.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), f.err, "select");
    OCIDefine* d = nullptr;
    int col = 0;
    auto define = [&](void* p, sb4 size, ub2 type) {
      OCIDefineByPos(st, &d, f.err, static_cast<ub4>(col + 1), p, size, type, &ind[col * arraySize],
                     &len[col * arraySize], nullptr, OCI_DEFAULT);
      ++col;
    };
    define(c1.data(), sizeof(int), SQLT_INT);
    define(c2.data(), kTextSize, SQLT_STR);
    define(c3.data(), sizeof(double), SQLT_FLT);
    define(c4.data(), 7, SQLT_DAT);
    define(c5.data(), 11, SQLT_STR);
    define(c6.data(), sizeof(double), SQLT_FLT);
    define(c7.data(), kTextSize, SQLT_STR);
    define(c8.data(), sizeof(int), SQLT_INT);
    define(c9.data(), 7, SQLT_DAT);
    define(c10.data(), 21, SQLT_STR);
    int64_t rows = f.FetchToEnd(st, arraySize);
    if (rows != kRows) state.SkipWithError("wrong row count");
    total += rows;
    OCIHandleFree(st, OCI_HTYPE_STMT);
  }
  state.SetItemsProcessed(total);
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OciFetch)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
