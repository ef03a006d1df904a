#include "oracle/OracleCI.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/rtl/Files.h"

// ---- TOracleCriticalSection ----------------------------------------------------------------------

void TOracleCriticalSection::Enter() {
  section_.Enter();
  ++count_;
}

void TOracleCriticalSection::Leave() {
  // Only a thread that holds the section may leave it; for any other Leave is a no-op.
  if (count_.load() <= 0 || section_.EntryCount() <= 0) return;
  --count_;
  section_.Leave();
}

// ---- Unit state ----------------------------------------------------------------------------------

TOCIEntryPoints OCI;
TMTSEntryPoints MTS;

std::string OCIDLL;
std::string OracleHomeKey;
std::string OracleHomeDir;
std::string OracleHomeName;
std::string MTSDLL;
std::string ExcludedLibraries;
bool PrependClientPath = true;
bool ForceOCI7 = false;
bool UseOCI8 = false;
HMODULE ClientHandle = 0;
HMODULE MTSHandle = 0;
std::string DiscoveryLog;
std::string SavedCurrentDir;
std::string SavedPath;
std::string TNSNamesFile;

TOracleCriticalSection& ClientLock() {
  static TOracleCriticalSection lock;
  return lock;
}

namespace {

const char kCRLF[] = "\r\n";
const char kOracleKey[] = "SOFTWARE\\ORACLE";

bool ociDllBySearch = true;           // the search filled OCIDLL
bool homeNameBySearch = true;         // the search chose OracleHomeName
bool groupFlags[OCIGroupCount] = {};  // bound groups
bool mtsFlag = false;
bool savedPathSet = false;

TStringList* MakeSortedList() {
  auto* list = new TStringList();
  list->SetSorted(true);
  list->SetDuplicates(dupIgnore);
  return list;
}

std::unique_ptr<TStringList> aliasList(MakeSortedList());
std::unique_ptr<TStringList> homeList(MakeSortedList());
bool aliasesLoaded = false;

void Log(const std::string& line) {
  if (!DiscoveryLog.empty()) DiscoveryLog += kCRLF;
  DiscoveryLog += line;
}

// Joins a folder and a name with one delimiter.
std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == PathDelim) return folder + name;
  return folder + PathDelim + name;
}

// The table of bound names: group, name and how to store the address found.
struct TEntryPoint {
  TOCIGroup group;
  const char* name;
  void (*store)(void* address);
};

#define TALVIK_OCI_ENTRY_IN(group, name) \
  {group, #name, [](void* p) { OCI.name = reinterpret_cast<name##_fn>(p); }},
#define TALVIK_OCI_ENTRY_HOST(name) TALVIK_OCI_ENTRY_IN(ogHostCalls, name)
#define TALVIK_OCI_ENTRY_OLOG(name) TALVIK_OCI_ENTRY_IN(ogOlog, name)
#define TALVIK_OCI_ENTRY_OPINIT(name) TALVIK_OCI_ENTRY_IN(ogOpinit, name)
#define TALVIK_OCI_ENTRY_OCI(name) TALVIK_OCI_ENTRY_IN(ogHandleAPI, name)
#define TALVIK_OCI_ENTRY_ERRTEXT(name) TALVIK_OCI_ENTRY_IN(ogErrorText, name)
#define TALVIK_OCI_ENTRY_OCI81(name) TALVIK_OCI_ENTRY_IN(ogOCI81, name)
#define TALVIK_OCI_ENTRY_OCI90(name) TALVIK_OCI_ENTRY_IN(ogOCI90, name)
#define TALVIK_OCI_ENTRY_OCI92(name) TALVIK_OCI_ENTRY_IN(ogOCI92, name)
#define TALVIK_OCI_ENTRY_EXTRA(name)
#define TALVIK_OCI_ENTRY(group, name, kind, ret, params, args) TALVIK_OCI_ENTRY_##group(name)
const TEntryPoint kEntryPoints[] = {TALVIK_OCI_ENTRY_POINTS(TALVIK_OCI_ENTRY)};
#undef TALVIK_OCI_ENTRY

// The flag a group starts with: the flag of the group it builds on.
bool StartFlag(TOCIGroup group) {
  switch (group) {
    case ogHostCalls:
      return true;
    case ogOlog:
      return groupFlags[ogHostCalls];
    case ogOpinit:
      return groupFlags[ogOlog];
    case ogHandleAPI:
      return true;  // bound whatever ForceOCI7 says: it only decides whether the sessions use it
    case ogErrorText:
    case ogOCI81:
      return groupFlags[ogHandleAPI];
    case ogOCI90:
      return groupFlags[ogOCI81];
    case ogOCI92:
      return groupFlags[ogOCI90];
  }
  return false;
}

void BindEntryPoints() {
  for (int g = 0; g < OCIGroupCount; ++g) {
    auto group = static_cast<TOCIGroup>(g);
    bool& flag = groupFlags[g];
    flag = StartFlag(group);
    for (const TEntryPoint& e : kEntryPoints) {
      if (e.group != group) continue;
      void* address = flag ? GetProcAddress(ClientHandle, e.name) : nullptr;
      if (!address) flag = false;
      e.store(address);
    }
  }
  UseOCI8 = !ForceOCI7 && groupFlags[ogHandleAPI];
}

// The version value of an ora*.dll file name: "0." + the digits after "ora" (or "oraNT"), up to
// the first "."; -1 when that is not a number.
double LibraryVersion(const std::string& fileName) {
  std::string up = UpperCase(fileName);
  int start = Copy(up, 4, 2) == "NT" ? 6 : 4;
  std::string rest = Copy(fileName, start, Length(fileName));
  int dot = Pos(".", rest);
  std::string version = dot > 0 ? Copy(rest, 1, dot - 1) : rest;
  double value = 0;
  if (version.empty()) return -1;
  for (char c : version)
    if (c < '0' || c > '9') return -1;
  if (!TryStrToFloat("0." + version, value, EnglishFormatSettings())) return -1;
  return value;
}

// Works out OCIDLL; 0 when found, 1 when no library was found, 3 without an Oracle home.
int LocateLibrary() {
  ociDllBySearch = false;
  ExcludedLibraries = UpperCase(ExcludedLibraries);
  std::string forced = GetParamValue("OCIDLL");
  if (!forced.empty()) OCIDLL = forced;
  if (!OCIDLL.empty()) {
    Log("OCIDLL forced to " + OCIDLL);
    return 0;
  }
  FindOracleHomeKey();
  Log("OracleHomeKey: " + OracleHomeKey);
  Log("OracleHomeDir: " + OracleHomeDir);
  if (OracleHomeDir.empty()) return 3;

  struct TCandidate {
    std::string name;
    double version;
  };
  std::vector<TCandidate> candidates;
  std::string folder = IncludeTrailingPathDelimiter(JoinPath(OracleHomeDir, ClientLibraryFolder));
  if (FileExists(folder + ClientLibraryName)) {
    candidates.push_back({ClientLibraryName, 0});
    Log(std::string("Found: ") + ClientLibraryName);
  }
  TSearchRec rec;
  if (FindFirst(folder + "ora*.dll", faAnyFile, rec) == 0) {
    do {
      double v = LibraryVersion(rec.Name);
      if (v > 0) {
        candidates.push_back({rec.Name, v});
        Log("Found: " + rec.Name);
      }
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }

  const std::string clientName = UpperCase(ClientLibraryName);
  const TCandidate* taken = nullptr;
  for (int round = 1; round <= 2 && !taken; ++round) {
    double best = 0;
    for (const TCandidate& c : candidates) {
      std::string up = UpperCase(c.name);
      if (round == 1 && Pos("\"" + up + "\"", ExcludedLibraries) > 0) continue;
      if (up == clientName) {
        taken = &c;
        break;
      }
      if (c.version > best) {
        best = c.version;
        taken = &c;
      }
    }
  }
  if (!taken) return 1;
  OCIDLL = folder + taken->name;
  ociDllBySearch = true;
  Log("Using: " + OCIDLL);
  return 0;
}

void PrependPath(const std::string& folder) {
  if (!PrependClientPath) return;
  if (!savedPathSet) {
    SavedPath = GetEnvironmentVariable("PATH");
    savedPathSet = true;
  }
  std::string rest = SavedPath;
  std::string entry = UpperCase(folder) + PathSep;
  std::string upRest = UpperCase(rest) + PathSep;
  // Drop an existing entry equal to the folder.
  std::string kept;
  size_t start = 0;
  while (start < upRest.size()) {
    size_t end = upRest.find(PathSep, start);
    std::string part = upRest.substr(start, end - start + 1);
    if (part != entry) kept += (rest + PathSep).substr(start, end - start + 1);
    start = end + 1;
  }
  if (!kept.empty() && kept.back() == PathSep) kept.pop_back();
  SetEnvironmentVariable("PATH", kept.empty() ? folder : folder + PathSep + kept);
}

// Loads and binds; 0 on success, 1 when the library cannot be loaded, 2 when it has neither
// generation, else the code of the search.
int LoadAndBind() {
  if (ClientLoaded()) return 0;
  DiscoveryLog.clear();
  int code = LocateLibrary();
  if (code != 0) return code;
  std::string folder = ExcludeTrailingPathDelimiter(ExtractFilePath(OCIDLL));
  if (!folder.empty()) PrependPath(folder);
  ClientHandle = LoadLibrary(OCIDLL);
  if (!ClientHandle && !folder.empty()) {
    SavedCurrentDir = GetCurrentDir();
    SetCurrentDir(folder);
    PrependPath(folder);
    ClientHandle = LoadLibrary(OCIDLL);
  }
  if (!ClientHandle) {
    Log("LoadLibrary(" + OCIDLL + ") returned " + IntToStr(static_cast<int64_t>(ClientHandle)));
    return 1;
  }
  BindEntryPoints();
  if (!groupFlags[ogHostCalls] && !UseOCI8) return 2;
  return 0;
}

void ClearTable() {
  OCI = TOCIEntryPoints();
  for (bool& f : groupFlags) f = false;
  UseOCI8 = false;
}

}  // namespace

// ---- Operations ----------------------------------------------------------------------------------

TStringList* AliasList() {
  return aliasList.get();
}

TStringList* HomeList() {
  return homeList.get();
}

bool OCIGroupPresent(TOCIGroup group) {
  return groupFlags[group];
}

int OCIEntryPointCount() {
  return static_cast<int>(std::size(kEntryPoints));
}

std::string OCIEntryPointName(int index) {
  return kEntryPoints[index].name;
}

TOCIGroup OCIEntryPointGroup(int index) {
  return kEntryPoints[index].group;
}

bool ClientLoaded() {
  return ClientHandle != 0;
}

bool MTSLoaded() {
  return MTSHandle != 0;
}

std::string ReadRegString(HKEY root, const std::string& subKey, const std::string& valueName) {
  HKEY key = 0;
  if (RegOpenKeyEx(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char buffer[1024] = {};
  uint32_t size = sizeof buffer;
  uint32_t type = 0;
  int rc = RegQueryValueEx(key, valueName, &type, buffer, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  size = std::min<uint32_t>(size, sizeof buffer);
  return std::string(buffer, strnlen(buffer, size));
}

std::string GetParamValue(const std::string& name) {
  std::string wanted = UpperCase(name) + "=";
  for (int i = 1; i <= ParamCount(); ++i) {
    std::string param = ParamStr(i);
    int p = Pos(wanted, UpperCase(param));
    // The value is what follows "name=" wherever the name stands in the parameter.
    if (p > 0) return Copy(param, p + Length(wanted), 255);
  }
  return {};
}

void FindOracleHomeKey() {
  if (!OracleHomeKey.empty()) return;
  homeList->Clear();
  int count = 0;
  bool listed =
      TryStrToInt(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER"), count);
  if (listed) {
    if (count < 2) count = 1;
    for (int n = 0; n < 1000 && count > 0; ++n) {
      std::string name =
          ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME" + IntToStr(n), "ORACLE_HOME_NAME");
      if (name.empty()) continue;
      homeList->AddObject(name, reinterpret_cast<TObject*>(static_cast<intptr_t>(n)));
      --count;
    }
  }
  std::string key = kOracleKey;
  if (homeList->Count() > 0) {
    std::string wanted = UpperCase(GetParamValue("ORACLEHOME"));
    if (wanted.empty()) wanted = OracleHomeName;
    std::string path = UpperCase(Copy(GetEnvironmentVariable("PATH"), 1, 10000));
    int best = Length(path);
    int takenIndex = -1;
    std::string candidate;
    for (int i = 0; i < homeList->Count(); ++i) {
      auto n = static_cast<int>(reinterpret_cast<intptr_t>(homeList->Objects(i)));
      candidate = "SOFTWARE\\ORACLE\\HOME" + IntToStr(n);
      if (!wanted.empty() && UpperCase(homeList->Strings(i)) == UpperCase(wanted)) {
        key = candidate;
        takenIndex = i;
        break;
      }
      std::string home = ReadRegString(HKEY_LOCAL_MACHINE, candidate, "ORACLE_HOME");
      if (home.empty()) continue;
      int p = Pos(UpperCase(JoinPath(home, "bin")), path);
      if (p >= 1 && p < best) {
        key = candidate;
        takenIndex = i;
        best = p;
      }
    }
    if (takenIndex < 0) {
      key = candidate;
      takenIndex = homeList->Count() - 1;
    }
    if (OracleHomeName.empty()) {
      OracleHomeName = homeList->Strings(takenIndex);
      homeNameBySearch = true;
    } else if (GetParamValue("ORACLEHOME").empty()) {
      homeNameBySearch = false;  // the application's own choice stays after a FreeClientLibrary
    }
  }
  if (ReadRegString(HKEY_LOCAL_MACHINE, key, "ORACLE_HOME").empty()) key = kOracleKey;
  OracleHomeKey = key;
  OracleHomeDir = ReadRegString(HKEY_LOCAL_MACHINE, key, "ORACLE_HOME");
}

void InitClientLibrary() {
  TOracleLockGuard guard(ClientLock());
  if (ClientLoaded()) return;
  int code = LoadAndBind();
  if (code != 0) {
    std::string reason;
    switch (code) {
      case 1:
        reason = OCIDLL.empty() ? "Could not locate OCI dll" : "Could not load \"" + OCIDLL + "\"";
        break;
      case 2:
        reason = "Could not initialize \"" + OCIDLL + "\"";
        break;
      default:
        reason = "SQL*Net not properly installed";
        break;
    }
    std::string log = DiscoveryLog;
    FreeClientLibrary();
    throw Exception("Initialization error" + std::string(kCRLF) + reason + kCRLF + kCRLF + log);
  }
  if (groupFlags[ogOpinit] && !UseOCI8) OCI.opinit(0);
  if (UseOCI8 && !groupFlags[ogOCI81])
    OCI.OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
}

namespace {
std::vector<std::function<void()>>& FreeHandlers() {
  static std::vector<std::function<void()>> handlers;
  return handlers;
}
}  // namespace

void AddClientLibraryFreeHandler(std::function<void()> Handler) {
  TOracleLockGuard guard(ClientLock());
  FreeHandlers().push_back(std::move(Handler));
}

void FreeClientLibrary() {
  TOracleLockGuard guard(ClientLock());
  if (ClientHandle)
    for (auto& handler : FreeHandlers()) handler();
  if (MTSHandle) FreeLibrary(MTSHandle);
  if (ClientHandle) FreeLibrary(ClientHandle);
  ClientHandle = 0;
  MTSHandle = 0;
  MTS = TMTSEntryPoints();
  mtsFlag = false;
  if (ociDllBySearch) OCIDLL.clear();
  if (homeNameBySearch) OracleHomeName.clear();
  ClearTable();
  OracleHomeKey.clear();
  OracleHomeDir.clear();
  MTSDLL.clear();
}

void InitMTSLibrary() {
  TOracleLockGuard guard(ClientLock());
  if (MTSLoaded()) return;
  mtsFlag = false;
  InitClientLibrary();
  if (MTSDLL.empty()) MTSDLL = ExtractFilePath(OCIDLL) + MTSLibraryName;
  std::string reason;
  if (!FileExists(MTSDLL)) {
    reason = "Could not locate \"" + MTSDLL + "\"";
  } else {
    MTSHandle = LoadLibrary(MTSDLL);
    if (!MTSHandle) {
      reason = "Could not load \"" + MTSDLL + "\"";
    } else {
      mtsFlag = true;
      auto bind = [&](auto& slot, const char* name) {
        void* address = mtsFlag ? GetProcAddress(MTSHandle, name) : nullptr;
        if (!address) mtsFlag = false;
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(address);
      };
      bind(MTS.OraMTSSvcGet, "OraMTSSvcGet");
      bind(MTS.OraMTSSvcRel, "OraMTSSvcRel");
      bind(MTS.OraMTSSvcEnlist, "OraMTSSvcEnlist");
      bind(MTS.OraMTSSvcEnlistEx, "OraMTSSvcEnlistEx");
      bind(MTS.OraMTSTransTest, "OraMTSTransTest");
      if (!mtsFlag) {
        reason = "Could not initialize \"" + MTSDLL + "\"";
        FreeLibrary(MTSHandle);
        MTSHandle = 0;
        MTS = TMTSEntryPoints();
        MTSDLL.clear();
      }
    }
  }
  if (!reason.empty()) throw Exception("Initialization error" + std::string(kCRLF) + reason);
}

void RestoreCurrentDir() {
  if (!SavedCurrentDir.empty() && GetCurrentDir() == ExcludeTrailingPathDelimiter(ExtractFilePath(OCIDLL)))
    SetCurrentDir(SavedCurrentDir);
  SavedCurrentDir.clear();
}

void ResetClientLibraryState() {
  TOracleLockGuard guard(ClientLock());
  ociDllBySearch = true;
  homeNameBySearch = true;
  FreeClientLibrary();
  OCIDLL.clear();
  OracleHomeName.clear();
  ExcludedLibraries.clear();
  PrependClientPath = true;
  ForceOCI7 = false;
  DiscoveryLog.clear();
  if (!SavedCurrentDir.empty()) SetCurrentDir(SavedCurrentDir);
  SavedCurrentDir.clear();
  if (savedPathSet) SetEnvironmentVariable("PATH", SavedPath);
  SavedPath.clear();
  savedPathSet = false;
  TNSNamesFile.clear();
  aliasList->Clear();
  aliasesLoaded = false;
  homeList->Clear();
}

// ---- tnsnames.ora --------------------------------------------------------------------------------

std::string FindTNSNamesFile() {
  if (!TNSNamesFile.empty()) return TNSNamesFile;
  FindOracleHomeKey();
  InitClientLibrary();
  std::string folder = Copy(GetEnvironmentVariable("TNS_ADMIN"), 1, 1000);
  if (folder.empty()) folder = ReadRegString(HKEY_LOCAL_MACHINE, OracleHomeKey, "TNS_ADMIN");
  if (folder.empty() && !SameText(OracleHomeKey, kOracleKey))
    folder = ReadRegString(HKEY_LOCAL_MACHINE, kOracleKey, "TNS_ADMIN");
  if (folder.empty()) {
    // The client's layout follows the generations it has, not the one the sessions use.
    const bool handleAPI = groupFlags[ogHandleAPI];
    std::string net = ReadRegString(HKEY_LOCAL_MACHINE, OracleHomeKey, handleAPI ? "NET80" : "NET20");
    if (!net.empty()) {
      folder = JoinPath(net, "admin");
    } else {
      std::string home = ReadRegString(HKEY_LOCAL_MACHINE, OracleHomeKey, "ORACLE_HOME");
      // The client's own layout: net80/admin for handle-API clients without the 8.1 calls.
      folder = JoinPath(home, handleAPI && !groupFlags[ogOCI81] ? "net80/admin" : "network/admin");
    }
  }
  TNSNamesFile = JoinPath(folder, "tnsnames.ora");
  return TNSNamesFile;
}

namespace {

void ReadTNSFile(std::string fileName, TStrings* list, std::vector<std::string>& read) {
  while (fileName.rfind("\\\\\\", 0) == 0) fileName.erase(0, 1);
  // Only plain files: an include naming a device or a pipe would never end.
  std::error_code ec;
  if (!FileExists(fileName) || !std::filesystem::is_regular_file(fileName, ec)) return;
  // A file is read once: includes that come back to a file already read end there.
  std::string id = ExpandFileName(fileName);
  for (const std::string& r : read)
    if (r == id) return;
  read.push_back(id);
  auto content = ReadFileContent(fileName);
  if (!content) return;
  auto lines = std::make_unique<TStringList>();
  lines->SetText(*content);
  int depth = 0;
  bool includePending = false;
  for (int i = 0; i < lines->Count(); ++i) {
    const std::string line = lines->Strings(i);
    std::string clean;
    for (char c : line) {
      if (c == '#') break;
      if (c == '(') ++depth;
      if (depth == 0 && static_cast<unsigned char>(c) >= 32) clean += c;
      // A stray ")" does not take the depth below 0 (the entries after it would be lost).
      if (c == ')' && depth > 0) --depth;
    }
    clean = Trim(clean);
    if (clean.empty()) continue;
    int eq = Pos("=", clean);
    if (eq == 0) {
      if (includePending) {
        includePending = false;
        ReadTNSFile(clean, list, read);
      }
      continue;
    }
    std::string name = Trim(Copy(clean, 1, eq - 1));
    std::string value = Trim(Copy(clean, eq + 1, Length(clean)));
    int world = Pos(".WORLD", UpperCase(name));
    if (world > 0) name = Copy(name, 1, world - 1);
    if (LowerCase(name) == "ifile") {
      includePending = false;
      if (!value.empty())
        ReadTNSFile(value, list, read);
      else
        includePending = true;
      continue;
    }
    auto names = std::make_unique<TStringList>();
    names->SetCommaText(name);
    for (int k = 0; k < names->Count(); ++k) list->Add(names->Strings(k));
  }
}

}  // namespace

void ReadTNSNames(const std::string& FileName, TStrings* List) {
  std::vector<std::string> read;
  ReadTNSFile(FileName, List, read);
}

void LoadAliases() {
  aliasList->Clear();
  aliasesLoaded = true;
  ReadTNSNames(FindTNSNamesFile(), aliasList.get());
}

TStringList* GetAliases() {
  if (!aliasesLoaded) LoadAliases();
  return aliasList.get();
}
