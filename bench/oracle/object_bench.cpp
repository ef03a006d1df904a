// Object columns: a fetch of 10,000 rows whose object column is read attribute by attribute
// through GetAttr (numbers, strings, a date, a nested object's attributes and a RAW).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/OracleBenchSession.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"

namespace {

constexpr int kRows = 10000;

class ObjectBenchInstance {
 public:
  static ObjectBenchInstance& Get() {
    static ObjectBenchInstance instance;
    return instance;
  }
  TOracleSession* Session() { return session_; }

 private:
  ObjectBenchInstance() {
    TOracleQuery q(nullptr);
    q.SetSession(session_);
    for (const char* sql :
         {"create type bench_addr_t as object (street varchar2(30), house number(5))",
          "create type bench_person_t as object (id number(9), name varchar2(30), born date, "
          "addr bench_addr_t, salary number(10,2), photo raw(8))",
          "create table bench_people (p bench_person_t)"}) {
      q.SQL()->SetText(sql);
      q.Execute();
    }
    q.SQL()->SetText(
        "insert into bench_people values (bench_person_t(:id, 'Person ' || :id, sysdate, "
        "bench_addr_t('Main St', :id), :id * 1.5, hextoraw('0A0B0C')))");
    q.DeclareVariable("id", otInteger);
    for (int i = 1; i <= kRows; ++i) {
      q.SetVariable("id", TVariant(i));
      q.Execute();
    }
    session_->Commit();
  }

  TBenchScottSession scott_{"talvik_object_bench_"};
  TOracleSession* session_ = scott_.Session();
};

void BM_ObjectColumnGetAttr(benchmark::State& state) {
  TOracleSession* s = ObjectBenchInstance::Get().Session();
  int64_t rows = 0;
  for (auto _ : state) {
    TOracleQuery q(nullptr);
    q.SetSession(s);
    q.SetReadBuffer(100);
    q.SQL()->SetText("select p from bench_people");
    q.Execute();
    while (!q.Eof()) {
      TOracleObject* p = q.ObjField(0);
      for (int i = 0; i < p->AttrCount(); ++i) benchmark::DoNotOptimize(p->GetAttr(p->Attributes(i)->Name()));
      ++rows;
      q.Next();
    }
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ObjectColumnGetAttr)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
