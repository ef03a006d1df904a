// LOB throughput through TLOBLocator in 32 KB pieces: writing a temporary CLOB and BLOB, writing a
// stored one through a locked row (sent to the server at commit), and reading a stored one back
// from a query column.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/OracleBenchSession.h"
#include "oracle/Oracle.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleTypes.h"

namespace {

constexpr int64_t kPiece = 32 * 1024;
constexpr int64_t kSize = 8 * 1024 * 1024;

class LobBenchInstance {
 public:
  static LobBenchInstance& Get() {
    static LobBenchInstance instance;
    return instance;
  }
  TOracleSession* Session() { return session_; }

 private:
  LobBenchInstance() {
    TOracleQuery q(nullptr);
    q.SetSession(session_);
    q.SQL()->SetText("create table bench_lobs (id number, c clob, b blob)");
    q.Execute();
    std::string data(kSize, 'x');
    std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(session_, true, otCLOB));
    std::unique_ptr<TLOBLocator> b(TLOBLocator::CreateTemporary(session_, true, otBLOB));
    c->Write(data.data(), kSize);
    b->Write(data.data(), kSize);
    q.SQL()->SetText("insert into bench_lobs values (1, :c, :b)");
    q.DeclareVariable("c", otCLOB);
    q.DeclareVariable("b", otBLOB);
    q.SetComplexVariable("c", c.get());
    q.SetComplexVariable("b", b.get());
    q.Execute();
    session_->Commit();
  }

  TBenchScottSession scott_{"talvik_lob_bench_"};
  TOracleSession* session_ = scott_.Session();
};

void BM_LobWrite(benchmark::State& state) {
  TOracleSession* s = LobBenchInstance::Get().Session();
  int type = static_cast<int>(state.range(0));
  std::string piece(kPiece, 'y');
  for (auto _ : state) {
    std::unique_ptr<TLOBLocator> lob(TLOBLocator::CreateTemporary(s, true, type));
    for (int64_t done = 0; done < kSize; done += kPiece) lob->Write(piece.data(), kPiece);
    benchmark::DoNotOptimize(lob->Length());
  }
  state.SetBytesProcessed(state.iterations() * kSize);
  state.SetLabel(type == otCLOB ? "CLOB" : "BLOB");
}

// Writing a stored LOB through a locked row: the pieces and the value sent at commit.
void BM_LobWriteStored(benchmark::State& state) {
  TOracleSession* s = LobBenchInstance::Get().Session();
  int column = static_cast<int>(state.range(0));
  TOracleQuery q(nullptr);
  q.SetSession(s);
  q.SQL()->SetText("select c, b from bench_lobs for update");
  std::string piece(kPiece, 'z');
  for (auto _ : state) {
    q.Execute();
    auto* lob = static_cast<TLOBLocator*>(q.LOBField(column));
    lob->SetPosition(0);
    for (int64_t done = 0; done < kSize; done += kPiece) lob->Write(piece.data(), kPiece);
    s->Commit();
  }
  state.SetBytesProcessed(state.iterations() * kSize);
  state.SetLabel(column == 0 ? "CLOB" : "BLOB");
}

void BM_LobRead(benchmark::State& state) {
  TOracleSession* s = LobBenchInstance::Get().Session();
  int column = static_cast<int>(state.range(0));
  TOracleQuery q(nullptr);
  q.SetSession(s);
  q.SQL()->SetText("select c, b from bench_lobs");
  std::string piece(kPiece, '\0');
  for (auto _ : state) {
    q.Execute();
    auto* lob = static_cast<TLOBLocator*>(q.LOBField(column));
    int64_t total = 0;
    for (;;) {
      int64_t n = lob->Read(piece.data(), kPiece);
      if (n <= 0) break;
      total += n;
    }
    if (total != kSize) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * kSize);
  state.SetLabel(column == 0 ? "CLOB" : "BLOB");
}

BENCHMARK(BM_LobWrite)->Arg(otCLOB)->Arg(otBLOB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LobWriteStored)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LobRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
