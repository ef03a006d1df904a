// Evaluations per second of parsed filters over an in-memory record source.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "oracle/OracleFilter.h"

namespace {

struct Row {
  std::string prname;
  std::string program;
  std::string machine;
  int32_t sid;
};

// The current row's column, as a dataset's column node reads its record.
class RowColumn : public TExpression {
 public:
  RowColumn(const Row* const* current, int column) : current_(current), column_(column) {}
  TExprType ExprType() const override { return column_ == 3 ? etInteger : etString; }
  std::string AsString() const override {
    const Row& r = **current_;
    switch (column_) {
      case 0:
        return r.prname;
      case 1:
        return r.program;
      case 2:
        return r.machine;
      default:
        return TExpression::AsString();
    }
  }
  int32_t AsInteger() const override { return column_ == 3 ? (*current_)->sid : TExpression::AsInteger(); }

 private:
  const Row* const* current_;
  int column_;
};

std::vector<Row> Rows() {
  const char* users[] = {"USER", "SYS", "SYSTEM", "APP_USER", "USER", "DBSNMP", "SCOTT", "USER"};
  const char* programs[] = {"sqlplus@dbhost (TNS V1-V3)", "JDBC Thin Client", "oracle@dbhost (PMON)",
                            "Toad.exe", "w3wp.exe"};
  std::vector<Row> rows;
  for (int i = 0; i < 1000; ++i) {
    rows.push_back({users[i % 8], programs[i % 5], "HOST" + std::to_string(i % 17), i});
  }
  return rows;
}

void Evaluate(benchmark::State& state, const char* text) {
  const std::vector<Row> rows = Rows();
  const Row* current = &rows[0];
  auto resolver = [&current](const std::string& name,
                             std::unique_ptr<TParameterList>) -> std::unique_ptr<TExpression> {
    const char* names[] = {"PRNAME", "PROGRAM", "MACHINE", "SID"};
    for (int i = 0; i < 4; ++i) {
      if (name == names[i]) return std::make_unique<RowColumn>(&current, i);
    }
    return nullptr;
  };
  auto e = ParseFilterExpression(text, {}, resolver);
  size_t i = 0;
  int64_t passed = 0;
  for (auto _ : state) {
    current = &rows[i];
    passed += e->AsBoolean();
    if (++i == rows.size()) i = 0;
  }
  benchmark::DoNotOptimize(passed);
  state.SetItemsProcessed(state.iterations());
}

void BM_FilterEquals(benchmark::State& state) {
  Evaluate(state, "prname = 'USER'");
}
BENCHMARK(BM_FilterEquals);

void BM_FilterNotEquals(benchmark::State& state) {
  Evaluate(state, "prname <> 'USER'");
}
BENCHMARK(BM_FilterNotEquals);

void BM_FilterAndOrWildcardFunction(benchmark::State& state) {
  Evaluate(state,
           "((prname = 'US*') OR (program = '*sqlplus*')) AND (UPPER(machine) <> 'HOST1?') AND (sid > 10)");
}
BENCHMARK(BM_FilterAndOrWildcardFunction);

void BM_FilterParse(benchmark::State& state) {
  auto resolver = [](const std::string&, std::unique_ptr<TParameterList>) -> std::unique_ptr<TExpression> {
    return std::make_unique<TStringLiteral>("x");
  };
  for (auto _ : state) {
    auto e = ParseFilterExpression(
        "((prname = 'US*') OR (program = '*sqlplus*')) AND (UPPER(machine) <> 'HOST1?') AND (sid > 10)", {},
        resolver);
    benchmark::DoNotOptimize(e);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FilterParse);

}  // namespace
