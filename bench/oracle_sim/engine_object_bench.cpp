// The engine's object paths: 10,000 rows of an object table read as objects (VALUE) and through
// attribute paths, pinning rows by REF, and the stored form of an object written and read back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "EngineBenchInstance.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Objects.h"

using namespace oracle_sim;

namespace {

constexpr int kRows = 10000;

Value Person(int i) {
  ObjectValue addr;
  addr.typeSchema = "SCOTT";
  addr.typeName = "BA_ADDR_T";
  addr.items = {Value::MakeText("Street " + std::to_string(i)), Value::MakeInt(i % 500)};
  ObjectValue phones;
  phones.typeSchema = "SCOTT";
  phones.typeName = "BA_PHONES_T";
  phones.items = {Value::MakeText("555-" + std::to_string(i)), Value::MakeText("556-" + std::to_string(i))};
  ObjectValue p;
  p.typeSchema = "SCOTT";
  p.typeName = "BA_PERSON_T";
  p.items = {Value::MakeText("Name " + std::to_string(i)), Value::MakeReal(i * 1.5),
             Value::MakeObject(std::move(addr)), Value::MakeObject(std::move(phones))};
  return Value::MakeObject(std::move(p));
}

struct Fixture : EngineBenchInstance {
  std::vector<std::string> refs;
  Fixture() : EngineBenchInstance("talvik-obj-bench") {
    for (const char* sql :
         {"create type ba_addr_t as object (street varchar2(30), no number(5))",
          "create type ba_phones_t as varray(4) of varchar2(12)",
          "create type ba_person_t as object (name varchar2(30), amount number, addr ba_addr_t, "
          "phones ba_phones_t)",
          "create table ba_people of ba_person_t"})
      s->Prepare(sql)->Execute();
    for (int i = 0; i < kRows; ++i) refs.push_back(s->InsertObject("", "BA_PEOPLE", Person(i)));
    s->Commit();
  }
};

Fixture& Get() {
  static Fixture f;
  return f;
}

void FetchAll(benchmark::State& state, const char* sql) {
  Fixture& f = Get();
  auto c = f.s->Prepare(sql);
  int64_t rows = 0;
  for (auto _ : state) rows += FetchToEnd(*c);
  state.SetItemsProcessed(rows);
}

void BM_FetchValueOf10kObjects(benchmark::State& state) {
  FetchAll(state, "select value(p) from ba_people p");
}
BENCHMARK(BM_FetchValueOf10kObjects)->Unit(benchmark::kMillisecond);

void BM_FetchAttributePaths10kRows(benchmark::State& state) {
  FetchAll(state, "select p.name, p.addr.street, p.addr.no from ba_people p");
}
BENCHMARK(BM_FetchAttributePaths10kRows)->Unit(benchmark::kMillisecond);

void BM_PinByRef(benchmark::State& state) {
  Fixture& f = Get();
  size_t i = 0;
  for (auto _ : state) {
    Value v = f.s->PinObject(f.refs[i++ % f.refs.size()], false);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PinByRef)->Unit(benchmark::kMicrosecond);

void BM_EncodeDecodeObject(benchmark::State& state) {
  Value v = Person(42);
  for (auto _ : state) {
    std::string b = EncodeObject(*v.obj);
    ObjectValue o;
    benchmark::DoNotOptimize(DecodeObject(b.data(), static_cast<int>(b.size()), o));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeDecodeObject);

}  // namespace
