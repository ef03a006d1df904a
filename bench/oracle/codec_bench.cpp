// Compression and decompression speed on 10 MB of SQL text, next to zlib at level 6 on the same data.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "oracle/OracleCompress.h"
#include "platform/rtl/Classes.h"

namespace {

// Deterministic SQL of the kind a session monitor sees: statements from templates with varying names
// and numbers.
const std::string& SqlText() {
  static const std::string text = [] {
    const char* templates[] = {
        "SELECT s.sid, s.serial#, s.username, s.status, s.program FROM v$session s WHERE s.username = '%s' "
        "AND s.sid > %d ORDER BY s.sid;\r\n",
        "UPDATE orders SET status = 'SHIPPED', shipped_at = SYSDATE WHERE order_id = %d AND customer = "
        "'%s';\r\n",
        "INSERT INTO audit_log (id, who, what, at) VALUES (audit_seq.NEXTVAL, '%s', 'LOGON', SYSDATE); -- "
        "%d\r\n",
        "SELECT NVL(SUM(value), 0) FROM v$sesstat st, v$statname n WHERE st.statistic# = n.statistic# AND "
        "n.name = 'session logical reads' AND st.sid = %d /* %s */;\r\n",
        "BEGIN dbms_application_info.set_client_info('%s'); END; -- batch %d\r\n",
    };
    const char* names[] = {"SCOTT", "APP_USER", "REPORTS", "BATCH01", "HR", "FINANCE", "OPS$ORACLE"};
    std::string s;
    unsigned x = 1;
    char line[512];
    while (s.size() < 10 * 1024 * 1024) {
      x = x * 1103515245u + 12345u;
      const unsigned pick = (x >> 16) % 5;
      const char* name = names[(x >> 8) % 7];
      const int number = static_cast<int>((x >> 4) % 100000);
      if (pick == 1 || pick == 3) {
        std::snprintf(line, sizeof line, templates[pick], number, name);
      } else {
        std::snprintf(line, sizeof line, templates[pick], name, number);
      }
      s += line;
    }
    s.resize(10 * 1024 * 1024);
    return s;
  }();
  return text;
}

void BM_CodecCompress(benchmark::State& state) {
  const std::string& text = SqlText();
  TStringStream packed;
  for (auto _ : state) {
    TStringStream source(text);
    packed.SetSize(0);
    CompressStream(&source, &packed);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["ratio"] = static_cast<double>(packed.Size()) / static_cast<double>(text.size());
}
BENCHMARK(BM_CodecCompress)->Unit(benchmark::kMillisecond);

void BM_CodecDecompress(benchmark::State& state) {
  const std::string& text = SqlText();
  const std::string packed = oracle_codec::CompressBytes(text);
  TStringStream out;
  for (auto _ : state) {
    TStringStream source(packed);
    out.SetSize(0);
    DecompressStream(&source, &out);
  }
  if (out.DataString() != text) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CodecDecompress)->Unit(benchmark::kMillisecond);

void BM_ZlibCompressLevel6(benchmark::State& state) {
  const std::string& text = SqlText();
  std::string packed(compressBound(text.size()), '\0');
  uLongf size = 0;
  for (auto _ : state) {
    size = packed.size();
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              text.size(), 6);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(text.size());
}
BENCHMARK(BM_ZlibCompressLevel6)->Unit(benchmark::kMillisecond);

void BM_ZlibDecompress(benchmark::State& state) {
  const std::string& text = SqlText();
  std::string packed(compressBound(text.size()), '\0');
  uLongf size = packed.size();
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
            text.size(), 6);
  std::string out(text.size(), '\0');
  for (auto _ : state) {
    uLongf outSize = out.size();
    uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize, reinterpret_cast<const Bytef*>(packed.data()),
               size);
  }
  if (out != text) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ZlibDecompress)->Unit(benchmark::kMillisecond);

}  // namespace
