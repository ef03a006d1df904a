// The Oracle client library: finding the client installation, loading its call-interface library at
// run time, binding its entry points by name into one table, and the database aliases of the
// client's tnsnames.ora. Nothing of the client is linked at build time.
//
// On this system a home's client library is <home>/lib/libclntsh.so; the command-line parameter
// OCIDLL=<file> names any library instead. The registry (HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE), the
// environment (PATH, TNS_ADMIN) and library loading come from the run-time library.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "oracle/OracleCIApi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SyncObjs.h"

// A re-entrant lock with an entry counter. Leave without a matching Enter of the calling thread
// does nothing (it never releases a lock another thread holds).
class TOracleCriticalSection : public TObject {
  TALVIK_CLASS(TOracleCriticalSection, TObject)
  TOracleCriticalSection() = default;
  void Enter();
  void Leave();
  // Entries of all threads that are not yet left.
  int Count() const { return count_.load(); }
  // How often the calling thread holds the section.
  int EntryCount() const { return section_.EntryCount(); }

 private:
  TCriticalSection section_;
  std::atomic<int> count_{0};
};

// Holds a critical section for a scope.
class TOracleLockGuard {
 public:
  explicit TOracleLockGuard(TOracleCriticalSection& section) : section_(section) { section_.Enter(); }
  ~TOracleLockGuard() { section_.Leave(); }
  TOracleLockGuard(const TOracleLockGuard&) = delete;
  TOracleLockGuard& operator=(const TOracleLockGuard&) = delete;

 private:
  TOracleCriticalSection& section_;
};

// ---- The entry-point table --------------------------------------------------------------------------

// One function pointer per bound entry point of the client library (every name of the entry-point
// list except those the library exports for other programs); nullptr while not bound.
struct TOCIEntryPoints {
#define TALVIK_OCI_SLOT_HOST(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OLOG(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OPINIT(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OCI(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_ERRTEXT(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OCI81(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OCI90(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_OCI92(name) name##_fn name = nullptr;
#define TALVIK_OCI_SLOT_EXTRA(name)
#define TALVIK_OCI_SLOT(group, name, kind, ret, params, args) TALVIK_OCI_SLOT_##group(name)
  TALVIK_OCI_ENTRY_POINTS(TALVIK_OCI_SLOT)
#undef TALVIK_OCI_SLOT
};

// The groups of entry points, in binding order. Each group binds only while the group it starts
// from is present; one missing name switches its whole group off.
enum TOCIGroup {
  ogHostCalls,  // host-call generation (logon and cursor data areas)
  ogOlog,       // olog instead of orlon
  ogOpinit,     // process initialisation of the host-call generation
  ogHandleAPI,  // handle-based generation (UseOCI8)
  ogErrorText,  // bound only
  ogOCI81,      // OCIEnvCreate, temporary LOBs, timestamps
  ogOCI90,      // OCIStmtFetch2
  ogOCI92       // session pools and the statement cache
};
constexpr int OCIGroupCount = 8;

// The bound entry points. Written only under ClientLock while loading; read freely afterwards.
extern TOCIEntryPoints OCI;

// Whether a group is bound.
bool OCIGroupPresent(TOCIGroup group);
// The number of entry points the table binds and their names, in binding order (for tests).
int OCIEntryPointCount();
std::string OCIEntryPointName(int index);
TOCIGroup OCIEntryPointGroup(int index);

// ---- The companion library of the transaction server ------------------------------------------------

typedef sword (*OraMTSSvcGet_fn)(text* uid, text* psw, text* dbn, OCISvcCtx** svc, OCIEnv** env, ub4 flags);
typedef sword (*OraMTSSvcRel_fn)(OCISvcCtx* svc);
typedef sword (*OraMTSSvcEnlist_fn)(OCISvcCtx* svc, OCIError* err, void* transaction, ub4 flags);
typedef sword (*OraMTSSvcEnlistEx_fn)(OCISvcCtx* svc, OCIError* err, void* transaction, ub4 flags,
                                      text* dbName);
typedef sword (*OraMTSTransTest_fn)(void* transaction);

struct TMTSEntryPoints {
  OraMTSSvcGet_fn OraMTSSvcGet = nullptr;
  OraMTSSvcRel_fn OraMTSSvcRel = nullptr;
  OraMTSSvcEnlist_fn OraMTSSvcEnlist = nullptr;
  OraMTSSvcEnlistEx_fn OraMTSSvcEnlistEx = nullptr;
  OraMTSTransTest_fn OraMTSTransTest = nullptr;
};
extern TMTSEntryPoints MTS;

// ---- Unit state ---------------------------------------------------------------------------------------

// The file name of the client library in a home's library folder, and that folder.
inline constexpr char ClientLibraryName[] = "libclntsh.so";
inline constexpr char ClientLibraryFolder[] = "lib";
// The companion library of the transaction server (there is none on this system: loading it fails
// with "Could not locate ...").
inline constexpr char MTSLibraryName[] = "oramts.dll";
// The library ODBC logons ask for when none is named (none on this system either).
inline constexpr char ODBCLibraryName[] = "ora73.dll";

// Full path of the client library; set it before the first load, or the search fills it.
extern std::string OCIDLL;
// Registry key (below HKEY_LOCAL_MACHINE) and directory of the chosen Oracle home, and its name.
extern std::string OracleHomeKey;
extern std::string OracleHomeDir;
extern std::string OracleHomeName;
extern std::string MTSDLL;
// Library file names, each in double quotes, passed over in the first round of the search.
extern std::string ExcludedLibraries;
// Put the library's folder in front of PATH before loading (default true).
extern bool PrependClientPath;
// Use the host-call generation even when the handle-based one is present (default false).
extern bool ForceOCI7;
// The handle-based generation is bound and in use.
extern bool UseOCI8;
extern HMODULE ClientHandle;
extern HMODULE MTSHandle;
// The lines of the last search, joined by CR LF.
extern std::string DiscoveryLog;
extern std::string SavedCurrentDir;
extern std::string SavedPath;
extern std::string TNSNamesFile;
// Database aliases (sorted, duplicates ignored) and Oracle home names (sorted, each with its home
// number as the item's object).
TStringList* AliasList();
TStringList* HomeList();
// Serialises loading and binding of the libraries (and whole logons of thread-safe sessions). Made on
// first use, so that other units' start-up code may take it whatever order the program links them in.
TOracleCriticalSection& ClientLock();

// ---- Operations ---------------------------------------------------------------------------------------

// Loads and binds the client library unless it is loaded; raises Exception "Initialization error"
// with the reason and the discovery log on failure.
void InitClientLibrary();
// Frees both libraries and forgets what the search found.
void FreeClientLibrary();
bool ClientLoaded();
bool MTSLoaded();
void InitMTSLibrary();
// The database aliases of tnsnames.ora, read on first use.
TStringList* GetAliases();
void LoadAliases();
// After a logon: back to the directory saved before the second load attempt.
void RestoreCurrentDir();
// A string value below a root key; empty when the key or the value is missing.
std::string ReadRegString(HKEY root, const std::string& subKey, const std::string& valueName);
// The value of a command-line parameter "name=value" (the name matched without regard to case
// anywhere in the parameter); empty when none matches. At most 255 characters.
std::string GetParamValue(const std::string& name);

// Works out the Oracle home key (once) into OracleHomeKey and OracleHomeDir.
void FindOracleHomeKey();
// Works out TNSNamesFile (once); loads the client library first.
std::string FindTNSNamesFile();
// Reads the aliases of one tnsnames.ora file (following includes) into List.
void ReadTNSNames(const std::string& FileName, TStrings* List);

// Runs before FreeClientLibrary unloads the library (what was made through it goes first).
void AddClientLibraryFreeHandler(std::function<void()> Handler);

// Forgets every result of earlier searches and restores the defaults (tests).
void ResetClientLibraryState();
