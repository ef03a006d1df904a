#include "platform/rtl/Process.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/rtl/Files.h"

namespace {

std::mutex commandLineLock;
std::vector<std::string> commandLine;

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) return std::string(buffer, static_cast<size_t>(n));
  std::lock_guard guard(commandLineLock);
  return commandLine.empty() ? std::string() : ExpandFileName(commandLine[0]);
}

}  // namespace

// ---- Command line ----------------------------------------------------------------------------------

void SetCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  SetCommandLine(args);
}

void SetCommandLine(const std::vector<std::string>& args) {
  std::lock_guard guard(commandLineLock);
  commandLine = args;
}

int ParamCount() {
  std::lock_guard guard(commandLineLock);
  return commandLine.empty() ? 0 : static_cast<int>(commandLine.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) return ProgramPath();
  std::lock_guard guard(commandLineLock);
  if (index < 0 || index >= static_cast<int>(commandLine.size())) return {};
  return commandLine[static_cast<size_t>(index)];
}

// ---- Environment and current directory -------------------------------------------------------------

std::string GetEnvironmentVariable(const std::string& name) {
  if (name.empty()) return {};
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos)
    return false;
  if (value.empty()) return unsetenv(name.c_str()) == 0;
  if (value.find('\0') != std::string::npos) return false;
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string GetCurrentDir() {
  std::string buffer(256, '\0');
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) return std::string(buffer.c_str());
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool SetCurrentDir(const std::string& dir) {
  return !dir.empty() && chdir(dir.c_str()) == 0;
}

// ---- Clock -----------------------------------------------------------------------------------------

uint64_t GetTickCount64() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t GetTickCount() {
  return static_cast<uint32_t>(GetTickCount64());
}

void Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Dynamic libraries -----------------------------------------------------------------------------

HMODULE TSystemLibraryLoader::Load(const std::string& fileName) {
  std::lock_guard guard(lock_);
  if (fileName.empty()) {
    lastError_ = "empty library name";
    return 0;
  }
  dlerror();
  void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    lastError_ = error ? error : "cannot load " + fileName;
    return 0;
  }
  lastError_.clear();
  return reinterpret_cast<HMODULE>(handle);
}

void* TSystemLibraryLoader::GetProc(HMODULE module, const std::string& name) {
  if (module == 0 || name.empty()) return nullptr;
  return dlsym(reinterpret_cast<void*>(module), name.c_str());
}

bool TSystemLibraryLoader::Free(HMODULE module) {
  if (module == 0) return false;
  return dlclose(reinterpret_cast<void*>(module)) == 0;
}

std::string TSystemLibraryLoader::LastError() const {
  std::lock_guard guard(lock_);
  return lastError_;
}

TFakeLibraryLoader::TLibrary* TFakeLibraryLoader::Find(const std::string& fileName) {
  auto it = libraries_.find(fileName);
  if (it == libraries_.end()) it = libraries_.find(ExtractFileName(fileName));
  return it == libraries_.end() ? nullptr : &it->second;
}

const TFakeLibraryLoader::TLibrary* TFakeLibraryLoader::Find(const std::string& fileName) const {
  return const_cast<TFakeLibraryLoader*>(this)->Find(fileName);
}

void TFakeLibraryLoader::AddLibrary(const std::string& fileName, TSymbols symbols) {
  std::lock_guard guard(lock_);
  TLibrary& library = libraries_[fileName];
  library.symbols = std::move(symbols);
  if (library.handle == 0) library.handle = nextHandle_++;
}

void TFakeLibraryLoader::RemoveLibrary(const std::string& fileName) {
  std::lock_guard guard(lock_);
  libraries_.erase(fileName);
}

HMODULE TFakeLibraryLoader::Load(const std::string& fileName) {
  std::lock_guard guard(lock_);
  requests_.push_back(fileName);
  TLibrary* library = Find(fileName);
  if (!library) {
    lastError_ = fileName + ": cannot open shared object file: No such file or directory";
    return 0;
  }
  ++library->loads;
  lastError_.clear();
  return library->handle;
}

void* TFakeLibraryLoader::GetProc(HMODULE module, const std::string& name) {
  std::lock_guard guard(lock_);
  for (auto& [fileName, library] : libraries_) {
    if (library.handle != module) continue;
    if (library.loads <= 0) return nullptr;
    auto symbol = library.symbols.find(name);
    return symbol == library.symbols.end() ? nullptr : symbol->second;
  }
  return nullptr;
}

bool TFakeLibraryLoader::Free(HMODULE module) {
  std::lock_guard guard(lock_);
  for (auto& [fileName, library] : libraries_) {
    if (library.handle == module && library.loads > 0) {
      --library.loads;
      return true;
    }
  }
  return false;
}

std::string TFakeLibraryLoader::LastError() const {
  std::lock_guard guard(lock_);
  return lastError_;
}

int TFakeLibraryLoader::LoadCount(const std::string& fileName) const {
  std::lock_guard guard(lock_);
  const TLibrary* library = Find(fileName);
  return library ? library->loads : 0;
}

std::vector<std::string> TFakeLibraryLoader::LoadRequests() const {
  std::lock_guard guard(lock_);
  return requests_;
}

namespace {

std::mutex loaderLock;
ILibraryLoader* installedLoader = nullptr;

TSystemLibraryLoader& SystemLoader() {
  static TSystemLibraryLoader loader;
  return loader;
}

}  // namespace

ILibraryLoader* SetLibraryLoader(ILibraryLoader* loader) {
  std::lock_guard guard(loaderLock);
  ILibraryLoader* previous = installedLoader ? installedLoader : &SystemLoader();
  installedLoader = loader;
  return previous;
}

ILibraryLoader& GetLibraryLoader() {
  std::lock_guard guard(loaderLock);
  return installedLoader ? *installedLoader : SystemLoader();
}

HMODULE LoadLibrary(const std::string& fileName) {
  return GetLibraryLoader().Load(fileName);
}

void* GetProcAddress(HMODULE module, const std::string& name) {
  return GetLibraryLoader().GetProc(module, name);
}

bool FreeLibrary(HMODULE module) {
  return GetLibraryLoader().Free(module);
}

std::string GetLastLoadError() {
  return GetLibraryLoader().LastError();
}

// ---- Debugger --------------------------------------------------------------------------------------

namespace {
std::mutex debuggerLock;
std::optional<bool> debuggerOverride;
}  // namespace

bool IsDebuggerPresent() {
  {
    std::lock_guard guard(debuggerLock);
    if (debuggerOverride) return *debuggerOverride;
  }
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
  }
  return false;
}

void SetDebuggerPresentOverride(std::optional<bool> present) {
  std::lock_guard guard(debuggerLock);
  debuggerOverride = present;
}

// ---- Pseudo-random numbers -------------------------------------------------------------------------

namespace {
std::mutex randomLock;
uint32_t randSeed = 0;
std::function<uint32_t()> randomizeSource;

uint32_t NextRandom() {
  randSeed = randSeed * 134775813u + 1u;
  return randSeed;
}
}  // namespace

uint32_t RandSeed() {
  std::lock_guard guard(randomLock);
  return randSeed;
}

void SetRandSeed(uint32_t seed) {
  std::lock_guard guard(randomLock);
  randSeed = seed;
}

void Randomize() {
  std::lock_guard guard(randomLock);
  if (randomizeSource) {
    randSeed = randomizeSource();
    return;
  }
  using namespace std::chrono;
  auto ticks = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  randSeed = static_cast<uint32_t>(ticks) ^ static_cast<uint32_t>(static_cast<uint64_t>(ticks) >> 32);
}

void SetRandomizeSource(std::function<uint32_t()> source) {
  std::lock_guard guard(randomLock);
  randomizeSource = std::move(source);
}

int Random(int range) {
  if (range <= 0) return 0;
  std::lock_guard guard(randomLock);
  return static_cast<int>((static_cast<uint64_t>(NextRandom()) * static_cast<uint64_t>(range)) >> 32);
}

double Random() {
  std::lock_guard guard(randomLock);
  return static_cast<double>(NextRandom()) / 4294967296.0;
}
