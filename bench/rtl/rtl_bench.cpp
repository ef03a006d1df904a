// Hot paths of the class library: sorted string lists, streams and the filer.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

namespace {

std::vector<std::string> MakeNames(int n) {
  std::mt19937 rng(12345);
  std::vector<std::string> names;
  names.reserve(n);
  for (int i = 0; i < n; ++i) {
    std::string s = (i % 3 == 0) ? "Сессия_" : (i % 3 == 1) ? "SESSION_" : "query_";
    s += std::to_string(rng());
    names.push_back(std::move(s));
  }
  return names;
}

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = MakeNames(100000);
  return names;
}

void BM_StringListSortedInsert(benchmark::State& state) {
  const auto& names = Names();
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(dupAccept);
    for (int i = 0; i < n; ++i) list.Add(names[i]);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StringListSortedInsert)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_StringListFind(benchmark::State& state) {
  const auto& names = Names();
  const int n = static_cast<int>(state.range(0));
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  for (int i = 0; i < n; ++i) list.Add(names[i]);
  for (auto _ : state) {
    int found = 0;
    for (int i = 0; i < n; ++i) {
      int index;
      found += list.Find(names[i], index);
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StringListFind)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_StringListAppendAndSort(benchmark::State& state) {
  const auto& names = Names();
  for (auto _ : state) {
    TStringList list;
    for (const auto& s : names) list.Add(s);
    list.Sort();
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_StringListAppendAndSort)->Unit(benchmark::kMillisecond);

void BM_StringListText(benchmark::State& state) {
  const auto& names = Names();
  TStringList list;
  for (const auto& s : names) list.Add(s);
  const std::string text = list.Text();
  for (auto _ : state) {
    TStringList other;
    other.SetText(text);
    benchmark::DoNotOptimize(other.Text().size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_StringListText)->Unit(benchmark::kMillisecond);

void BM_MemoryStreamByteWrites(benchmark::State& state) {
  for (auto _ : state) {
    TMemoryStream stream;
    for (int i = 0; i < 1 << 20; ++i) {
      const uint8_t b = static_cast<uint8_t>(i);
      stream.Write(&b, 1);
    }
    benchmark::DoNotOptimize(stream.Size());
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_MemoryStreamByteWrites)->Unit(benchmark::kMillisecond);

void BM_FilerBinaryPropertyRoundTrip(benchmark::State& state) {
  const std::string block(64 * 1024, 'v');
  for (auto _ : state) {
    TMemoryStream stream;
    TWriter writer(&stream);
    writer.WriteBinary(block.data(), static_cast<int64_t>(block.size()));
    stream.SetPosition(0);
    TReader reader(&stream);
    benchmark::DoNotOptimize(reader.ReadBinary().size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_FilerBinaryPropertyRoundTrip);

}  // namespace
