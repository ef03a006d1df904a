// Closing the program: the main window's close handler writing what a session leaves (the session
// window's alarm settings and column layout, the last logon, the toolbar positions, the main window's
// place), with the usual settings file of a few kilobytes and with a valid one of 20 MB. Each close
// writes the file once (counter "saves"); with the large file the close is set against reading that
// file (the store's read: the file's text, then its keys and values) in the same run: counters
// "read ms" and "x read" (the close's time over the read's).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "bench/app/AppBench.h"
#include "platform/gui/Windows.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "rtl/FileSaves.h"

namespace {

using Clock = std::chrono::steady_clock;

// The size of the large settings file.
constexpr std::size_t kLargeFile = 20u << 20;

// A valid settings file of about Bytes bytes: another program's keys of a hundred text values each
// beside the program's own.
std::string SettingsFileOf(std::size_t Bytes) {
  auto root = std::make_unique<talvik::registry::TKeyNode>("HKEY_CURRENT_USER");
  root->AddSubKey("Software")->AddSubKey("Talvik");
  talvik::registry::TKeyNode* other = root->AddSubKey("Software")->AddSubKey("Other");
  std::size_t size = 0;
  for (int k = 0; size < Bytes; ++k) {
    talvik::registry::TKeyNode* key = other->AddSubKey("Section" + std::to_string(k));
    for (int v = 0; v < 100; ++v) {
      std::string text = "setting text number " + std::to_string(k * 100 + v) + " of another program";
      size += text.size() + 16;
      key->SetValue("Value" + std::to_string(v), REG_SZ, std::move(text));
    }
  }
  return talvik::registry::FormatHiveText(*root, "HKEY_CURRENT_USER");
}

// The program on an instance of its own, its settings in a folder of their own, with a settings file
// of FileBytes (none: the program writes its first).
struct Stage : appbench::TStage {
  std::filesystem::path dir;
  std::string savedConfig;
  std::string settingsFile;
  TSessionForm* form = nullptr;

  explicit Stage(std::size_t FileBytes) {
    dir = std::filesystem::temp_directory_path() /
          ("talvik_close_bench_" + std::to_string(FileBytes) + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    savedConfig = GetEnvironmentVariable("XDG_CONFIG_HOME");
    SetEnvironmentVariable("XDG_CONFIG_HOME", (dir / "config").string());
    talvik::registry::ResetHives();
    settingsFile = talvik::registry::UserConfigDir() + "/HKCU.reg";
    if (FileBytes) SaveFileAtomically(settingsFile, SettingsFileOf(FileBytes), 0600);
    form = appbench::StartProgram((dir / "sim.db").string());
  }
  ~Stage() override {
    delete form;
    delete MainForm;
    MainForm = nullptr;
    RegIni.reset();
    SetEnvironmentVariable("XDG_CONFIG_HOME", savedConfig);
    talvik::registry::ResetHives();
    std::filesystem::remove_all(dir);
  }

  // The program as a close finds it: the store open, the session window shown, something moved.
  void BeforeClose(int Round) {
    if (!RegIni) RegIni = std::make_unique<TRegIniFile>(kSettingsKey);
    if (!form) Application->CreateForm(form);
    MainForm->SetBounds(Round % 50, 10, 1024, 768);
    form->seActiveCount->SetValue(10 + Round % 50);
  }
  void Close() {
    TCloseAction action = caFree;
    MainForm->FormClose(MainForm, action);
    form = nullptr;  // the close closed it: its release waits in the queue
    MSG m;
    while (PeekMessage(m, nullptr, CM_RELEASE, CM_RELEASE, PM_REMOVE)) DispatchMessage(m);
  }
  // The least time of a few reads of the settings file as the store reads it, in milliseconds.
  double ReadMs() const {
    double least = 0;
    for (int i = 0; i < 5; ++i) {
      const Clock::time_point start = Clock::now();
      const auto text = ReadFileContent(settingsFile);
      benchmark::DoNotOptimize(talvik::registry::ParseHiveText(text.value_or(""), "HKEY_CURRENT_USER"));
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      least = i == 0 ? ms : std::min(least, ms);
    }
    return least;
  }
};

void BM_CloseWithTheSettingsOfASession(benchmark::State& state, std::size_t FileBytes) {
  Stage& s = appbench::TakeStage<Stage>(static_cast<int>(FileBytes >> 20), FileBytes);
  TFileSaveCounter saves(s.settingsFile);
  double closeMs = 0;
  int closeSaves = 0, round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.BeforeClose(++round);
    saves.Take();  // a first start's store makes its key
    state.ResumeTiming();
    const Clock::time_point start = Clock::now();
    s.Close();
    closeMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    closeSaves += saves.Take();
  }
  const auto closes = static_cast<double>(state.iterations());
  state.counters["saves"] = closeSaves / closes;
  if (FileBytes == 0) return;
  const double readMs = s.ReadMs();
  state.counters["read ms"] = readMs;
  state.counters["x read"] = closeMs / closes / readMs;
}
BENCHMARK_CAPTURE(BM_CloseWithTheSettingsOfASession, TheUsualFile, 0)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CloseWithTheSettingsOfASession, A20MBFile, kLargeFile)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
