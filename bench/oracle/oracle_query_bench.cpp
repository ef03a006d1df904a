// Opening, executing and fetching 100,000 rows of 10 columns through TOracleQuery with several
// ReadBuffer sizes, next to the same fetch done directly on the client library's calls.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/OracleBenchSession.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace {

constexpr int kRows = 100000;
const char* const kSelect = "select n, i2, i3, f1, f2, s1, s2, s3, d1, d2 from bench_rows";

// One instance file with the table, made once for the whole program.
class BenchInstance {
 public:
  static BenchInstance& Get() {
    static BenchInstance instance;
    return instance;
  }
  TOracleSession* Session() { return session_; }

 private:
  BenchInstance() {
    TOracleQuery q(nullptr);
    q.SetSession(session_);
    q.SQL()->SetText(
        "create table bench_rows (n number(9), i2 number(9), i3 number(9), f1 number, f2 number, "
        "s1 varchar2(20), s2 varchar2(20), s3 varchar2(30), d1 date, d2 date)");
    q.Execute();
    q.SQL()->SetText("insert into bench_rows values (:n, :i2, :i3, :f1, :f2, :s1, :s2, :s3, :d1, :d2)");
    const char* names[] = {"n", "i2", "i3", "f1", "f2", "s1", "s2", "s3", "d1", "d2"};
    const int types[] = {otInteger, otInteger, otInteger, otFloat, otFloat,
                         otString,  otString,  otString,  otDate,  otDate};
    for (int c = 0; c < 10; ++c) q.DeclareVariable(names[c], types[c]);
    constexpr int kBatch = 1000;
    for (int start = 0; start < kRows; start += kBatch) {
      TVariant cols[10];
      for (auto& c : cols) c = VarArrayCreate({0, kBatch - 1}, varVariant);
      for (int i = 0; i < kBatch; ++i) {
        int n = start + i;
        cols[0].SetElement(i, n);
        cols[1].SetElement(i, n * 2);
        cols[2].SetElement(i, n % 97);
        cols[3].SetElement(i, n * 0.5);
        cols[4].SetElement(i, n / 3.0);
        cols[5].SetElement(i, "name" + std::to_string(n));
        cols[6].SetElement(i, "dept" + std::to_string(n % 10));
        cols[7].SetElement(i, "a longer text " + std::to_string(n));
        cols[8].SetElement(i, TVariant::FromDate(36526 + n % 1000));
        cols[9].SetElement(i, TVariant::FromDate(40000.5 + n % 500));
      }
      for (int c = 0; c < 10; ++c) q.SetVariable(names[c], cols[c]);
      q.Execute();
    }
    session_->Commit();
  }
  TBenchScottSession scott_{"talvik_query_bench_"};
  TOracleSession* session_ = scott_.Session();
};

void BM_QueryFetch(benchmark::State& state) {
  TOracleSession* session = BenchInstance::Get().Session();
  int64_t checksum = 0;
  for (auto _ : state) {
    TOracleQuery q(nullptr);
    q.SetSession(session);
    q.SetReadBuffer(static_cast<int>(state.range(0)));
    q.SQL()->SetText(kSelect);
    q.Execute();
    int rows = 0;
    while (!q.Eof()) {
      checksum += q.FieldAsInteger(0);
      ++rows;
      q.Next();
    }
    if (rows != kRows) throw std::runtime_error("wrong row count");
  }
  benchmark::DoNotOptimize(checksum);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryFetch)->Arg(25)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same work on the client library's calls: dlopen, log on, prepare, define ten columns with the
// same external types and sizes, execute and fetch 100 rows per call.
struct DirectClient {
  void* lib = nullptr;
#define TALVIK_BENCH_FN(name) name##_fn name = nullptr;
  TALVIK_BENCH_FN(OCIEnvCreate)
  TALVIK_BENCH_FN(OCIHandleAlloc)
  TALVIK_BENCH_FN(OCIHandleFree)
  TALVIK_BENCH_FN(OCIServerAttach)
  TALVIK_BENCH_FN(OCIAttrSet)
  TALVIK_BENCH_FN(OCIAttrGet)
  TALVIK_BENCH_FN(OCISessionBegin)
  TALVIK_BENCH_FN(OCIStmtPrepare)
  TALVIK_BENCH_FN(OCIDefineByPos)
  TALVIK_BENCH_FN(OCIStmtExecute)
  TALVIK_BENCH_FN(OCIStmtFetch2)
#undef TALVIK_BENCH_FN
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCIServer* srv = nullptr;
  OCISvcCtx* svc = nullptr;
  OCISession* usr = nullptr;

  DirectClient() {
    lib = dlopen(TALVIK_SIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!lib) throw std::runtime_error(dlerror());
#define TALVIK_BENCH_BIND(name) name = reinterpret_cast<name##_fn>(dlsym(lib, #name));
    TALVIK_BENCH_BIND(OCIEnvCreate)
    TALVIK_BENCH_BIND(OCIHandleAlloc)
    TALVIK_BENCH_BIND(OCIHandleFree)
    TALVIK_BENCH_BIND(OCIServerAttach)
    TALVIK_BENCH_BIND(OCIAttrSet)
    TALVIK_BENCH_BIND(OCIAttrGet)
    TALVIK_BENCH_BIND(OCISessionBegin)
    TALVIK_BENCH_BIND(OCIStmtPrepare)
    TALVIK_BENCH_BIND(OCIDefineByPos)
    TALVIK_BENCH_BIND(OCIStmtExecute)
    TALVIK_BENCH_BIND(OCIStmtFetch2)
#undef TALVIK_BENCH_BIND
    OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
    if (OCIServerAttach(srv, err, reinterpret_cast<const text*>("SIM"), 3, 0) != OCI_SUCCESS)
      throw std::runtime_error("attach");
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>("scott"), 5, OCI_ATTR_USERNAME, err);
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>("tiger"), 5, OCI_ATTR_PASSWORD, err);
    if (OCISessionBegin(svc, err, usr, OCI_CRED_RDBMS, OCI_DEFAULT) != OCI_SUCCESS)
      throw std::runtime_error("logon");
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, usr, 0, OCI_ATTR_SESSION, err);
  }
};

void BM_DirectFetch(benchmark::State& state) {
  BenchInstance::Get();
  static DirectClient c;
  const ub4 rowsPerFetch = 100;
  // Buffers as the query defines them: int32, doubles, strings of size + 1, 7-byte dates.
  const int sizes[10] = {4, 4, 4, 8, 8, 21, 21, 31, 7, 7};
  const ub2 types[10] = {SQLT_INT, SQLT_INT, SQLT_INT, SQLT_FLT, SQLT_FLT,
                         SQLT_STR, SQLT_STR, SQLT_STR, SQLT_DAT, SQLT_DAT};
  std::vector<std::vector<uint8_t>> values(10);
  std::vector<std::vector<sb2>> indicators(10, std::vector<sb2>(rowsPerFetch));
  std::vector<std::vector<ub2>> lengths(10, std::vector<ub2>(rowsPerFetch));
  for (int i = 0; i < 10; ++i) values[i].resize(static_cast<size_t>(sizes[i]) * rowsPerFetch);
  int64_t checksum = 0;
  for (auto _ : state) {
    OCIStmt* stmt = nullptr;
    c.OCIHandleAlloc(c.env, reinterpret_cast<dvoid**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    c.OCIStmtPrepare(stmt, c.err, reinterpret_cast<const text*>(kSelect), static_cast<ub4>(strlen(kSelect)),
                     OCI_NTV_SYNTAX, OCI_DEFAULT);
    c.OCIStmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
    for (int i = 0; i < 10; ++i) {
      OCIDefine* def = nullptr;
      c.OCIDefineByPos(stmt, &def, c.err, static_cast<ub4>(i + 1), values[i].data(), sizes[i], types[i],
                       indicators[i].data(), lengths[i].data(), nullptr, OCI_DEFAULT);
    }
    int rows = 0;
    ub4 before = 0;
    for (;;) {
      sword s = c.OCIStmtFetch2(stmt, c.err, rowsPerFetch, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      ub4 count = 0;
      c.OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, c.err);
      for (ub4 r = 0; r < count - before; ++r) {
        int32_t v;
        std::memcpy(&v, values[0].data() + 4 * r, 4);
        checksum += v;
      }
      rows += static_cast<int>(count - before);
      before = count;
      if (s != OCI_SUCCESS) break;
    }
    c.OCIHandleFree(stmt, OCI_HTYPE_STMT);
    if (rows != kRows) throw std::runtime_error("wrong row count");
  }
  benchmark::DoNotOptimize(checksum);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DirectFetch)->Unit(benchmark::kMillisecond);

}  // namespace
