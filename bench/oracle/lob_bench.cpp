// LOB throughput through TLOBLocator in 32 KB pieces: writing a temporary CLOB and BLOB, writing a
// stored one through a locked row (sent to the server at commit), and reading a stored one back
// from a query column; the same for a CLOB of multi-byte text (pieces cut at character boundaries).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/OracleBenchSession.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"

namespace {

constexpr int64_t kPiece = 32 * 1024;
constexpr int64_t kSize = 8 * 1024 * 1024;

// About kSize bytes of Cyrillic text with three- and four-byte characters among it.
const std::string& MultiByteText() {
  static const std::string text = [] {
    const char* words[] = {"съешь ", "же ", "ещё ", "этих ", "€uro ", "😀 ", "мягких\n"};
    std::string t;
    for (size_t i = 0; t.size() < static_cast<size_t>(kSize); ++i) t += words[(i * 7 + i / 3) % 7];
    return t;
  }();
  return text;
}

// Writes `text` in pieces of at most kPiece bytes, each ending on a whole character.
void WriteWholeCharacters(TLOBLocator* lob, const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    size_t n = std::min<size_t>(kPiece, text.size() - at);
    while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) --n;
    lob->Write(text.data() + at, static_cast<int64_t>(n));
    at += n;
  }
}

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
    q.DeleteVariables();
    q.SQL()->SetText("create table bench_text (c clob)");
    q.Execute();
    std::unique_ptr<TLOBLocator> t(TLOBLocator::CreateTemporary(session_, true, otCLOB));
    WriteWholeCharacters(t.get(), MultiByteText());
    q.SQL()->SetText("insert into bench_text values (:c)");
    q.DeclareVariable("c", otCLOB);
    q.SetComplexVariable("c", t.get());
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

// Reads a stored LOB of `size` bytes from column `column` of the query's row in kPiece pieces.
void ReadStored(benchmark::State& state, const char* sql, int column, int64_t size) {
  TOracleSession* s = LobBenchInstance::Get().Session();
  TOracleQuery q(nullptr);
  q.SetSession(s);
  q.SQL()->SetText(sql);
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
    if (total != size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * size);
}

void BM_LobRead(benchmark::State& state) {
  int column = static_cast<int>(state.range(0));
  ReadStored(state, "select c, b from bench_lobs", column, kSize);
  state.SetLabel(column == 0 ? "CLOB" : "BLOB");
}

void BM_ClobWriteMultiByte(benchmark::State& state) {
  TOracleSession* s = LobBenchInstance::Get().Session();
  const std::string& text = MultiByteText();
  for (auto _ : state) {
    std::unique_ptr<TLOBLocator> lob(TLOBLocator::CreateTemporary(s, true, otCLOB));
    WriteWholeCharacters(lob.get(), text);
    benchmark::DoNotOptimize(lob->Length());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_ClobReadMultiByte(benchmark::State& state) {
  ReadStored(state, "select c from bench_text", 0, static_cast<int64_t>(MultiByteText().size()));
}

BENCHMARK(BM_LobWrite)->Arg(otCLOB)->Arg(otBLOB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LobWriteStored)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LobRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClobWriteMultiByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClobReadMultiByte)->Unit(benchmark::kMillisecond);

}  // namespace
