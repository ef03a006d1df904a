// Process services of the run-time library: command line, environment, current directory, clock,
// dynamic library loading, debugger detection and the pseudo-random generator.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// ---- Command line ----------------------------------------------------------------------------------

// Called once from main(); ParamStr(1..ParamCount) are argv[1..argc-1].
void SetCommandLine(int argc, const char* const* argv);
void SetCommandLine(const std::vector<std::string>& args);  // args[0] is the program, as argv
// The number of parameters after the program name.
int ParamCount();
// ParamStr(0) is the full path of the running program; 1..ParamCount the parameters; else empty.
std::string ParamStr(int index);

// ---- Environment and current directory -------------------------------------------------------------

// Empty when the variable is not set.
std::string GetEnvironmentVariable(const std::string& name);
// An empty value removes the variable. False when the name is not valid (empty or holding '=').
bool SetEnvironmentVariable(const std::string& name, const std::string& value);

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);

// ---- Clock -----------------------------------------------------------------------------------------

// Milliseconds of a monotonic clock; the 32-bit form wraps around like the system tick count.
uint32_t GetTickCount();
uint64_t GetTickCount64();
void Sleep(uint32_t milliseconds);

// ---- Dynamic libraries -----------------------------------------------------------------------------

// A loaded module; 0 means "not loaded".
using HMODULE = std::uintptr_t;

// How libraries are loaded: the system loader by default, a fake one in tests.
class ILibraryLoader {
 public:
  virtual ~ILibraryLoader() = default;
  // 0 on failure; LastError() then tells why.
  virtual HMODULE Load(const std::string& fileName) = 0;
  // nullptr when the module has no such symbol.
  virtual void* GetProc(HMODULE module, const std::string& name) = 0;
  virtual bool Free(HMODULE module) = 0;
  virtual std::string LastError() const = 0;
};

// The system's loader (dlopen/dlsym/dlclose).
class TSystemLibraryLoader : public ILibraryLoader {
 public:
  HMODULE Load(const std::string& fileName) override;
  void* GetProc(HMODULE module, const std::string& name) override;
  bool Free(HMODULE module) override;
  std::string LastError() const override;

 private:
  mutable std::mutex lock_;
  std::string lastError_;
};

// A loader for tests: libraries are maps of symbol names to addresses. A library is found by its
// full name as registered or, failing that, by its file name alone.
class TFakeLibraryLoader : public ILibraryLoader {
 public:
  using TSymbols = std::map<std::string, void*>;

  void AddLibrary(const std::string& fileName, TSymbols symbols);
  void RemoveLibrary(const std::string& fileName);

  HMODULE Load(const std::string& fileName) override;
  void* GetProc(HMODULE module, const std::string& name) override;
  bool Free(HMODULE module) override;
  std::string LastError() const override;

  // How often the library is loaded now (loads minus frees).
  int LoadCount(const std::string& fileName) const;
  // Every name passed to Load, in order (successful or not).
  std::vector<std::string> LoadRequests() const;

 private:
  struct TLibrary {
    TSymbols symbols;
    HMODULE handle = 0;
    int loads = 0;
  };
  TLibrary* Find(const std::string& fileName);
  const TLibrary* Find(const std::string& fileName) const;

  mutable std::mutex lock_;
  std::map<std::string, TLibrary> libraries_;
  std::vector<std::string> requests_;
  std::string lastError_;
  HMODULE nextHandle_ = 0x1000;
};

// The loader in use. SetLibraryLoader(nullptr) restores the system loader; the caller keeps
// ownership of the loader it installs. Returns the loader that was in use.
ILibraryLoader* SetLibraryLoader(ILibraryLoader* loader);
ILibraryLoader& GetLibraryLoader();

HMODULE LoadLibrary(const std::string& fileName);
void* GetProcAddress(HMODULE module, const std::string& name);
bool FreeLibrary(HMODULE module);
// Why the last LoadLibrary failed (the loader's text).
std::string GetLastLoadError();

// ---- Debugger --------------------------------------------------------------------------------------

// True while a debugger (any tracer) is attached to the process.
bool IsDebuggerPresent();
// Tests fix the answer; std::nullopt asks the system again.
void SetDebuggerPresentOverride(std::optional<bool> present);

// ---- Pseudo-random numbers -------------------------------------------------------------------------

// The generator's state: a 32-bit linear congruential sequence.
uint32_t RandSeed();
void SetRandSeed(uint32_t seed);
// Seeds the generator from the clock, or from the source a test installed.
void Randomize();
// Tests install a fixed seed source; an empty function restores the clock.
void SetRandomizeSource(std::function<uint32_t()> source);
// 0 <= result < range (0 when range <= 0).
int Random(int range);
// 0 <= result < 1.
double Random();
