// The registry store with 10,000 values: parsing and writing the hive file, and one value written
// through to disk or read back.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"

namespace {

using talvik::registry::FormatHiveText;
using talvik::registry::ParseHiveText;

// 100 keys of 100 values: strings, numbers and binary data.
std::unique_ptr<talvik::registry::TKeyNode> TenThousandValues() {
  auto root = std::make_unique<talvik::registry::TKeyNode>("HKEY_CURRENT_USER");
  auto* base = root->AddSubKey("Software")->AddSubKey("Talvik");
  for (int k = 0; k < 100; ++k) {
    auto* key = base->AddSubKey("Section" + std::to_string(k));
    for (int v = 0; v < 100; ++v) {
      std::string name = "Value" + std::to_string(v);
      if (v % 10 == 0)
        key->SetValue(name, REG_DWORD, std::string("\x01\x02\x03\x04", 4));
      else if (v % 10 == 1)
        key->SetValue(name, REG_BINARY, std::string("\x00\x10\x20\x30\x40\x50\x60\x70", 8));
      else
        key->SetValue(name, REG_SZ, "setting text number " + std::to_string(k * 100 + v) + " \"quoted\"");
    }
  }
  return root;
}

class ScratchConfig {
 public:
  ScratchConfig() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvik-bench-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    SetEnvironmentVariable("XDG_CONFIG_HOME", dir_);
    talvik::registry::ResetHives();
  }
  ~ScratchConfig() {
    talvik::registry::ResetHives();
    std::filesystem::remove_all(dir_);
  }
  std::string HkcuFile() const { return dir_ + "/talvik/HKCU.reg"; }

 private:
  std::string dir_;
};

void BM_RegistryParse10k(benchmark::State& state) {
  const std::string text = FormatHiveText(*TenThousandValues(), "HKEY_CURRENT_USER");
  for (auto _ : state) benchmark::DoNotOptimize(ParseHiveText(text, "HKEY_CURRENT_USER"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["values/s"] =
      benchmark::Counter(10000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegistryParse10k)->Unit(benchmark::kMillisecond);

// A hive of one binary value of 1 MiB (a file of about 3 MB): its bytes on one line when BytesALine
// is 0, otherwise wrapped over lines of that many bytes ending in a backslash, as registry exports
// wrap long values.
std::string HiveOfOneLongValue(size_t bytesALine) {
  constexpr size_t kBytes = 1024 * 1024;
  static const char digits[] = "0123456789abcdef";
  std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"Blob\"=hex:";
  for (size_t i = 0; i < kBytes; ++i) {
    if (i) text += bytesALine && i % bytesALine == 0 ? ",\\\n  " : ",";
    const auto b = static_cast<unsigned char>(i * 7);
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text + "\n";
}

void ParseOneLongValue(benchmark::State& state, size_t bytesALine) {
  const std::string text = HiveOfOneLongValue(bytesALine);
  for (auto _ : state) benchmark::DoNotOptimize(ParseHiveText(text, "HKEY_CURRENT_USER"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_RegistryParseLongValueOnOneLine(benchmark::State& state) {
  ParseOneLongValue(state, 0);
}
BENCHMARK(BM_RegistryParseLongValueOnOneLine)->Unit(benchmark::kMillisecond);

// The same value over 43,691 lines of 24 bytes: it should cost little more than on one line.
void BM_RegistryParseLongValueOverLines(benchmark::State& state) {
  ParseOneLongValue(state, 24);
}
BENCHMARK(BM_RegistryParseLongValueOverLines)->Unit(benchmark::kMillisecond);

void BM_RegistryLoadFile10k(benchmark::State& state) {
  ScratchConfig config;
  SaveFileAtomically(config.HkcuFile(), FormatHiveText(*TenThousandValues(), "HKEY_CURRENT_USER"));
  for (auto _ : state) {
    talvik::registry::ResetHives();  // the next open reads the file again
    TRegistry reg(KEY_READ);
    benchmark::DoNotOptimize(reg.OpenKey("Software\\Talvik\\Section50", false));
  }
}
BENCHMARK(BM_RegistryLoadFile10k)->Unit(benchmark::kMillisecond);

void BM_RegistryFormat10k(benchmark::State& state) {
  auto root = TenThousandValues();
  for (auto _ : state) benchmark::DoNotOptimize(FormatHiveText(*root, "HKEY_CURRENT_USER"));
}
BENCHMARK(BM_RegistryFormat10k)->Unit(benchmark::kMillisecond);

void BM_RegistrySaveFile10k(benchmark::State& state) {
  ScratchConfig config;
  auto root = TenThousandValues();
  for (auto _ : state) SaveFileAtomically(config.HkcuFile(), FormatHiveText(*root, "HKEY_CURRENT_USER"));
}
BENCHMARK(BM_RegistrySaveFile10k)->Unit(benchmark::kMillisecond);

// One WriteString into a hive of 10,000 values: the whole file is written through, atomically.
void BM_RegistryWriteOneOf10k(benchmark::State& state) {
  ScratchConfig config;
  SaveFileAtomically(config.HkcuFile(), FormatHiveText(*TenThousandValues(), "HKEY_CURRENT_USER"));
  TRegistry reg;
  reg.OpenKey("Software\\Talvik\\Section7", false);
  int n = 0;
  for (auto _ : state) reg.WriteString("Value5", std::to_string(n++));
}
BENCHMARK(BM_RegistryWriteOneOf10k)->Unit(benchmark::kMillisecond);

// One WriteString into a small settings hive, as the program's windows write theirs.
void BM_RegistryWriteOneOf20(benchmark::State& state) {
  ScratchConfig config;
  TRegIniFile ini("Software\\Talvik");
  for (int i = 0; i < 20; ++i) ini.WriteInteger("MainForm", "V" + std::to_string(i), i);
  int n = 0;
  for (auto _ : state) ini.WriteInteger("MainForm", "Left", n++);
}
BENCHMARK(BM_RegistryWriteOneOf20)->Unit(benchmark::kMicrosecond);

void BM_RegistryReadOneOf10k(benchmark::State& state) {
  ScratchConfig config;
  SaveFileAtomically(config.HkcuFile(), FormatHiveText(*TenThousandValues(), "HKEY_CURRENT_USER"));
  TRegIniFile ini("Software\\Talvik");
  for (auto _ : state) benchmark::DoNotOptimize(ini.ReadString("Section42", "Value33", ""));
}
BENCHMARK(BM_RegistryReadOneOf10k)->Unit(benchmark::kMicrosecond);

}  // namespace
