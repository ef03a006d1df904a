// Finding the client installation, loading and binding its library (with a fake loader), and the
// aliases of tnsnames.ora.
#include <gtest/gtest.h>

#include <set>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Files.h"
#include "rtl/TempDir.h"

namespace {

int opinitCalls = 0;
int initializeCalls = 0;
ub4 initializeMode = 0;

sword FakeOpinit(ub4) {
  ++opinitCalls;
  return 0;
}
sword FakeInitialize(ub4 mode, dvoid*, OCIMallocFn, OCIReallocFn, OCIFreeFn) {
  ++initializeCalls;
  initializeMode = mode;
  return 0;
}
sword FakeEntry() {
  return 0;
}

// Every bound name of the entry-point list, minus those given.
TFakeLibraryLoader::TSymbols ClientSymbols(const std::set<std::string>& without = {}) {
  TFakeLibraryLoader::TSymbols symbols;
  for (int i = 0; i < OCIEntryPointCount(); ++i) {
    std::string name = OCIEntryPointName(i);
    if (!without.count(name)) symbols[name] = reinterpret_cast<void*>(&FakeEntry);
  }
  if (!without.count("opinit")) symbols["opinit"] = reinterpret_cast<void*>(&FakeOpinit);
  if (!without.count("OCIInitialize")) symbols["OCIInitialize"] = reinterpret_cast<void*>(&FakeInitialize);
  return symbols;
}

std::set<std::string> GroupNames(TOCIGroup group) {
  std::set<std::string> names;
  for (int i = 0; i < OCIEntryPointCount(); ++i)
    if (OCIEntryPointGroup(i) == group) names.insert(OCIEntryPointName(i));
  return names;
}

// A machine of its own: a registry file for HKEY_LOCAL_MACHINE, homes below a temporary folder,
// the fake loader, and a command line and PATH the test sets.
class Discovery : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHklm_ = GetEnvironmentVariable("TALVIK_HKLM");
    savedPath_ = GetEnvironmentVariable("PATH");
    savedTns_ = GetEnvironmentVariable("TNS_ADMIN");
    SetEnvironmentVariable("TALVIK_HKLM", dir_.File("hklm.reg"));
    SetEnvironmentVariable("TNS_ADMIN", "");
    SetCommandLine(std::vector<std::string>{"talvik"});
    previousLoader_ = SetLibraryLoader(&loader_);
    ResetClientLibraryState();
    opinitCalls = initializeCalls = 0;
  }
  void TearDown() override {
    ResetClientLibraryState();
    SetLibraryLoader(previousLoader_ == &loader_ ? nullptr : previousLoader_);
    SetEnvironmentVariable("TALVIK_HKLM", savedHklm_);
    SetEnvironmentVariable("PATH", savedPath_);
    SetEnvironmentVariable("TNS_ADMIN", savedTns_);
    SetCommandLine(std::vector<std::string>{"talvik"});
  }

  std::string Home(const std::string& name) const { return dir_.File(name); }
  // A home folder with these files in its library folder.
  std::string MakeHome(const std::string& name, const std::vector<std::string>& libraries) {
    for (const auto& lib : libraries) dir_.Write(name + "/lib/" + lib, "");
    ForceDirectories(Home(name) + "/bin");
    return Home(name);
  }
  // HKLM with the homes given as (name, folder); the first is also the root key's home.
  void WriteRegistry(const std::vector<std::pair<std::string, std::string>>& homes,
                     const std::string& extra = "", bool counter = true) {
    std::string reg = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE]\n";
    if (!homes.empty()) reg += "\"ORACLE_HOME\"=\"" + homes[0].second + "\"\n";
    reg += extra + "\n";
    if (counter)
      reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\ALL_HOMES]\n\"HOME_COUNTER\"=\"" +
             std::to_string(homes.size()) + "\"\n\n";
    for (size_t i = 0; i < homes.size(); ++i)
      reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME" + std::to_string(i) + "]\n\"ORACLE_HOME\"=\"" +
             homes[i].second + "\"\n\"ORACLE_HOME_NAME\"=\"" + homes[i].first + "\"\n\n";
    dir_.Write("hklm.reg", reg);
  }
  std::string InitError() {
    try {
      InitClientLibrary();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }

  TempDir dir_;
  TFakeLibraryLoader loader_;
  ILibraryLoader* previousLoader_ = nullptr;
  std::string savedHklm_, savedPath_, savedTns_;
};

}  // namespace

TEST_F(Discovery, TheEntryPointTableComesFromTheSharedList) {
  EXPECT_EQ(OCIEntryPointName(0), "orlon");
  EXPECT_EQ(GroupNames(ogOlog), std::set<std::string>{"olog"});
  EXPECT_EQ(GroupNames(ogOCI90), std::set<std::string>{"OCIStmtFetch2"});
  EXPECT_EQ(GroupNames(ogErrorText), (std::set<std::string>{"ociepgoe", "ociepmsg"}));
  EXPECT_EQ(GroupNames(ogHostCalls).size(), 20u);
  EXPECT_EQ(GroupNames(ogOCI92).size(), 6u);
  // Names the library exports for other programs are not bound.
  EXPECT_EQ(GroupNames(ogHostCalls).count("obndrv"), 0u);
}

TEST_F(Discovery, HomeChoiceByNameByPathAndLast) {
  std::string a = MakeHome("a", {ClientLibraryName});
  std::string b = MakeHome("b", {ClientLibraryName});
  std::string c = MakeHome("c", {ClientLibraryName});
  WriteRegistry({{"HomeA", a}, {"HomeB", b}, {"HomeC", c}});

  // None on PATH: the last home of the walk.
  SetEnvironmentVariable("PATH", "/usr/bin:/bin");
  FindOracleHomeKey();
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\HOME2");
  EXPECT_EQ(OracleHomeDir, c);
  EXPECT_EQ(OracleHomeName, "HomeC");
  ResetClientLibraryState();

  // The home whose bin folder comes first in PATH.
  SetEnvironmentVariable("PATH", "/usr/bin:" + b + "/bin:" + a + "/bin");
  FindOracleHomeKey();
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\HOME1");
  EXPECT_EQ(OracleHomeName, "HomeB");
  EXPECT_EQ(HomeList()->Count(), 3);
  ResetClientLibraryState();

  // A home named on the command line wins even when it is not on PATH (the name in any case).
  SetCommandLine(std::vector<std::string>{"talvik", "oraclehome=homec"});
  FindOracleHomeKey();
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\HOME2");
  ResetClientLibraryState();
  SetCommandLine(std::vector<std::string>{"talvik"});

  // A name set by the application chooses too.
  OracleHomeName = "HomeA";
  FindOracleHomeKey();
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\HOME0");
  FreeClientLibrary();
  EXPECT_EQ(OracleHomeName, "HomeA");
}

TEST_F(Discovery, WithoutHomeCounterTheRootKeyIsUsed) {
  std::string a = MakeHome("a", {ClientLibraryName});
  WriteRegistry({{"HomeA", a}}, "", false);
  FindOracleHomeKey();
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE");
  EXPECT_EQ(OracleHomeDir, a);
}

TEST_F(Discovery, MissingInstallationAndLibraryMessages) {
  WriteRegistry({});
  EXPECT_EQ(InitError(),
            "Initialization error\r\nSQL*Net not properly installed\r\n\r\n"
            "OracleHomeKey: SOFTWARE\\ORACLE\r\nOracleHomeDir: ");
  EXPECT_FALSE(ClientLoaded());

  std::string a = MakeHome("a", {});
  WriteRegistry({{"HomeA", a}});
  EXPECT_EQ(InitError(),
            "Initialization error\r\nCould not locate OCI dll\r\n\r\n"
            "OracleHomeKey: SOFTWARE\\ORACLE\\HOME0\r\nOracleHomeDir: " +
                a);

  // Found but not loadable (the fake loader knows no such library).
  MakeHome("a", {ClientLibraryName});
  std::string lib = a + "/lib/" + ClientLibraryName;
  EXPECT_EQ(InitError(), "Initialization error\r\nCould not load \"" + lib +
                             "\"\r\n\r\nOracleHomeKey: SOFTWARE\\ORACLE\\HOME0\r\nOracleHomeDir: " + a +
                             "\r\nFound: libclntsh.so\r\nUsing: " + lib + "\r\nLoadLibrary(" + lib +
                             ") returned 0");
  // A failed load forgets what the search filled; the second attempt ran in the library's folder.
  EXPECT_EQ(OCIDLL, "");
  EXPECT_EQ(loader_.LoadRequests(), (std::vector<std::string>{lib, lib}));
  EXPECT_EQ(GetCurrentDir(), a + "/lib");
  EXPECT_FALSE(SavedCurrentDir.empty());
}

TEST_F(Discovery, CandidatesOfAHome) {
  std::string a = MakeHome("a", {"ora73.dll", "ora805.dll", "ora81.dll", "oraxyz.dll", ClientLibraryName});
  WriteRegistry({{"HomeA", a}});
  loader_.AddLibrary(a + "/lib/" + ClientLibraryName, ClientSymbols());
  InitClientLibrary();
  EXPECT_EQ(OCIDLL, a + "/lib/" + ClientLibraryName);
  EXPECT_NE(DiscoveryLog.find("Found: ora81.dll"), std::string::npos);
  EXPECT_EQ(DiscoveryLog.find("oraxyz"), std::string::npos);
  ResetClientLibraryState();

  // Without the client library the highest version wins; NT infixes are read past.
  std::string b = MakeHome("b", {"ora73.dll", "oraNT805.dll", "ora81.dll", "ora8x.dll"});
  WriteRegistry({{"HomeB", b}});
  loader_.AddLibrary(b + "/lib/ora81.dll", ClientSymbols());
  InitClientLibrary();
  EXPECT_EQ(OCIDLL, b + "/lib/ora81.dll");
  ResetClientLibraryState();

  // Excluded names are passed over in the first round only.
  loader_.AddLibrary(b + "/lib/oraNT805.dll", ClientSymbols());
  ExcludedLibraries = "\"ora81.dll\"";
  InitClientLibrary();
  EXPECT_EQ(OCIDLL, b + "/lib/oraNT805.dll");
  ResetClientLibraryState();
  ExcludedLibraries = "\"ora81.dll\" \"oraNT805.dll\" \"ora73.dll\"";
  loader_.AddLibrary(b + "/lib/ora73.dll", ClientSymbols());
  InitClientLibrary();
  EXPECT_EQ(OCIDLL, b + "/lib/ora81.dll");
}

TEST_F(Discovery, CommandLineNamesTheLibrary) {
  WriteRegistry({});
  loader_.AddLibrary("/opt/client/libx.so", ClientSymbols());
  SetCommandLine(std::vector<std::string>{"talvik", "OciDll=/opt/client/libx.so"});
  InitClientLibrary();
  EXPECT_TRUE(ClientLoaded());
  EXPECT_EQ(OCIDLL, "/opt/client/libx.so");
  EXPECT_EQ(DiscoveryLog, "OCIDLL forced to /opt/client/libx.so");
  ResetClientLibraryState();
  // The value is what follows "OCIDLL=" wherever the name stands.
  SetCommandLine(std::vector<std::string>{"talvik", "-ocidll=/opt/client/libx.so"});
  EXPECT_EQ(GetParamValue("OCIDLL"), "/opt/client/libx.so");
  InitClientLibrary();
  EXPECT_EQ(OCIDLL, "/opt/client/libx.so");
}

TEST_F(Discovery, MissingNamesSwitchTheirGroupsOff) {
  WriteRegistry({});
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/full.so"});
  loader_.AddLibrary("/c/full.so", ClientSymbols());
  InitClientLibrary();
  for (int g = 0; g < OCIGroupCount; ++g) EXPECT_TRUE(OCIGroupPresent(static_cast<TOCIGroup>(g))) << g;
  EXPECT_TRUE(UseOCI8);
  EXPECT_NE(OCI.OCIStmtFetch2, nullptr);
  // With the 8.1 calls the environment comes from OCIEnvCreate: no OCIInitialize, no opinit.
  EXPECT_EQ(initializeCalls, 0);
  EXPECT_EQ(opinitCalls, 0);
  ResetClientLibraryState();

  // One missing name of the 9.0 group switches off 9.0 and 9.2.
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/no90.so"});
  loader_.AddLibrary("/c/no90.so", ClientSymbols({"OCIStmtFetch2"}));
  InitClientLibrary();
  EXPECT_TRUE(OCIGroupPresent(ogOCI81));
  EXPECT_FALSE(OCIGroupPresent(ogOCI90));
  EXPECT_FALSE(OCIGroupPresent(ogOCI92));
  EXPECT_EQ(OCI.OCISessionPoolCreate, nullptr);
  ResetClientLibraryState();

  // Without OCIEnvCreate the library is initialised with OCIInitialize (threaded, object).
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/no81.so"});
  loader_.AddLibrary("/c/no81.so", ClientSymbols({"OCIEnvCreate"}));
  InitClientLibrary();
  EXPECT_TRUE(UseOCI8);
  EXPECT_FALSE(OCIGroupPresent(ogOCI81));
  EXPECT_EQ(initializeCalls, 1);
  EXPECT_EQ(initializeMode, static_cast<ub4>(OCI_THREADED | OCI_OBJECT));
  ResetClientLibraryState();

  // A host-call client without a handle-based name: host-call mode, olog missing takes opinit too.
  auto hostOnly = GroupNames(ogHandleAPI);
  hostOnly.insert("olog");
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/host.so"});
  loader_.AddLibrary("/c/host.so", ClientSymbols({"OCIErrorGet"}));
  InitClientLibrary();
  EXPECT_FALSE(UseOCI8);
  EXPECT_FALSE(OCIGroupPresent(ogOCI81));
  EXPECT_TRUE(OCIGroupPresent(ogOpinit));
  EXPECT_EQ(opinitCalls, 1);
  ResetClientLibraryState();
  loader_.AddLibrary("/c/host2.so", ClientSymbols(hostOnly));
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/host2.so"});
  InitClientLibrary();
  EXPECT_TRUE(OCIGroupPresent(ogHostCalls));
  EXPECT_FALSE(OCIGroupPresent(ogOlog));
  EXPECT_FALSE(OCIGroupPresent(ogOpinit));
  ResetClientLibraryState();

  // Neither generation: the library is freed again.
  auto none = GroupNames(ogHandleAPI);
  none.insert("ocom");
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/none.so"});
  loader_.AddLibrary("/c/none.so", ClientSymbols(none));
  EXPECT_EQ(InitError(),
            "Initialization error\r\nCould not initialize \"/c/none.so\"\r\n\r\nOCIDLL forced to "
            "/c/none.so");
  EXPECT_FALSE(ClientLoaded());
  EXPECT_EQ(loader_.LoadCount("/c/none.so"), 0);
  ResetClientLibraryState();

  // ForceOCI7 binds every generation the client has; only the sessions keep to the host calls.
  ForceOCI7 = true;
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=/c/full.so"});
  InitClientLibrary();
  EXPECT_FALSE(UseOCI8);
  EXPECT_TRUE(OCIGroupPresent(ogHandleAPI));
  for (TOCIGroup g : {ogOCI81, ogOCI90, ogOCI92}) EXPECT_TRUE(OCIGroupPresent(g)) << g;
  EXPECT_NE(OCI.OCIStmtExecute, nullptr);
  EXPECT_EQ(opinitCalls, 2);
}

TEST_F(Discovery, PathGetsTheClientFolderFirstOnce) {
  std::string a = MakeHome("a", {ClientLibraryName});
  WriteRegistry({{"HomeA", a}});
  loader_.AddLibrary(a + "/lib/" + ClientLibraryName, ClientSymbols());
  SetEnvironmentVariable("PATH", "/usr/bin:" + a + "/lib:/bin");
  InitClientLibrary();
  EXPECT_EQ(GetEnvironmentVariable("PATH"), a + "/lib:/usr/bin:/bin");
  EXPECT_EQ(SavedPath, "/usr/bin:" + a + "/lib:/bin");
  ResetClientLibraryState();
  EXPECT_EQ(GetEnvironmentVariable("PATH"), "/usr/bin:" + a + "/lib:/bin");
  PrependClientPath = false;
  InitClientLibrary();
  EXPECT_EQ(GetEnvironmentVariable("PATH"), "/usr/bin:" + a + "/lib:/bin");
}

TEST_F(Discovery, CompanionLibraryOfTheTransactionServer) {
  std::string a = MakeHome("a", {ClientLibraryName});
  WriteRegistry({{"HomeA", a}});
  loader_.AddLibrary(a + "/lib/" + ClientLibraryName, ClientSymbols());
  std::string mts = a + "/lib/oramts.dll";
  try {
    InitMTSLibrary();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Initialization error\r\nCould not locate \"" + mts + "\"");
  }
  dir_.Write("a/lib/oramts.dll", "");
  try {
    InitMTSLibrary();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Initialization error\r\nCould not load \"" + mts + "\"");
  }
  void* f = reinterpret_cast<void*>(&FakeEntry);
  loader_.AddLibrary(mts, {{"OraMTSSvcGet", f}, {"OraMTSSvcRel", f}, {"OraMTSSvcEnlist", f}});
  try {
    InitMTSLibrary();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Initialization error\r\nCould not initialize \"" + mts + "\"");
  }
  EXPECT_FALSE(MTSLoaded());
  EXPECT_EQ(MTSDLL, "");
  loader_.AddLibrary(mts, {{"OraMTSSvcGet", f},
                           {"OraMTSSvcRel", f},
                           {"OraMTSSvcEnlist", f},
                           {"OraMTSSvcEnlistEx", f},
                           {"OraMTSTransTest", f}});
  InitMTSLibrary();
  EXPECT_TRUE(MTSLoaded());
  EXPECT_NE(MTS.OraMTSTransTest, nullptr);
}

TEST_F(Discovery, TNSNamesLocation) {
  std::string a = MakeHome("a", {ClientLibraryName});
  loader_.AddLibrary(a + "/lib/" + ClientLibraryName, ClientSymbols());
  WriteRegistry({{"HomeA", a}});
  EXPECT_EQ(FindTNSNamesFile(), a + "/network/admin/tnsnames.ora");
  ResetClientLibraryState();
  // A client with the handle API but not the 8.1 calls keeps its files in net80/admin.
  loader_.AddLibrary(a + "/lib/" + ClientLibraryName, ClientSymbols({"OCIEnvCreate"}));
  EXPECT_EQ(FindTNSNamesFile(), a + "/net80/admin/tnsnames.ora");
  ResetClientLibraryState();
  // The layout is the client's whatever generation the sessions use.
  ForceOCI7 = true;
  EXPECT_EQ(FindTNSNamesFile(), a + "/net80/admin/tnsnames.ora");
  ResetClientLibraryState();
  // NET80 of the home, TNS_ADMIN of the root key, TNS_ADMIN of the environment: each wins over the last.
  WriteRegistry({{"HomeA", a}}, "\"TNS_ADMIN\"=\"/etc/root\"\n");
  EXPECT_EQ(FindTNSNamesFile(), "/etc/root/tnsnames.ora");
  ResetClientLibraryState();
  SetEnvironmentVariable("TNS_ADMIN", "/etc/env/");
  EXPECT_EQ(FindTNSNamesFile(), "/etc/env/tnsnames.ora");
}

TEST_F(Discovery, TNSNamesParsing) {
  dir_.Write("net/tnsnames.ora",
             "# a comment line with NOPE = (x)\n"
             "PROD.WORLD =\n"
             "  (DESCRIPTION =\n"
             "    (ADDRESS = (PROTOCOL = TCP)(HOST = h)(PORT = 1521))\n"
             "    (CONNECT_DATA = (SID = PROD))\n"
             "  )\n"
             "A, B = (DESCRIPTION = (ADDRESS = (HOST = x)))\n"
             "prod.world = (DESCRIPTION = (INNER = (X = 1)))\n"
             "ifile =\n"
             "  " +
                 dir_.File("net/extra.ora") +
                 "\n"
                 "Z=(D=(E=1)) # trailing comment\n"
                 "\"Q R\" = (x)\n"
                 "ifile = " +
                 dir_.File("net/cycle.ora") + "\n");
  dir_.Write("net/extra.ora", "EXTRA = (DESCRIPTION = (ADDRESS = (HOST = e)))\n");
  // An include cycle: each file is read once.
  dir_.Write("net/cycle.ora", "CYCLE = (x)\nifile = " + dir_.File("net/cycle2.ora") + "\n");
  dir_.Write("net/cycle2.ora", "CYCLE2 = (x)\nifile = " + dir_.File("net/cycle.ora") +
                                   "\nifile = " + dir_.File("net/tnsnames.ora") + "\n");
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupIgnore);
  ReadTNSNames(dir_.File("net/tnsnames.ora"), &list);
  EXPECT_EQ(list.CommaText(), "A,B,CYCLE,CYCLE2,EXTRA,PROD,\"Q R\",Z");

  // A stray ")" does not lose the entries after it.
  TStringList stray;
  dir_.Write("net/stray.ora", "ONE = (x))\nTWO = (y)\n");
  ReadTNSNames(dir_.File("net/stray.ora"), &stray);
  EXPECT_EQ(stray.CommaText(), "ONE,TWO");

  // Missing files give nothing, and so do includes of what is not a plain file.
  TStringList device;
  dir_.Write("net/device.ora",
             "DEV = (x)\nifile = /dev/zero\nifile = " + dir_.File("net") + "\nAFTER = (y)\n");
  ReadTNSNames(dir_.File("net/device.ora"), &device);
  EXPECT_EQ(device.CommaText(), "DEV,AFTER");
  TStringList none;
  ReadTNSNames(dir_.File("net/missing.ora"), &none);
  EXPECT_EQ(none.Count(), 0);
}

TEST(DiscoveryOfTheSimulatedHome, FindsLoadsAndListsAliasesWithoutArguments) {
  ResetClientLibraryState();
  SetCommandLine(std::vector<std::string>{"talvik"});
  InitClientLibrary();
  EXPECT_TRUE(ClientLoaded());
  EXPECT_TRUE(UseOCI8);
  EXPECT_TRUE(OCIGroupPresent(ogOCI92));
  EXPECT_TRUE(OCIGroupPresent(ogOpinit));
  EXPECT_NE(OCIDLL.find("/oracle_home/lib/libclntsh.so"), std::string::npos) << DiscoveryLog;
  EXPECT_NE(DiscoveryLog.find("Found: libclntsh.so"), std::string::npos);
  EXPECT_GE(GetAliases()->IndexOf("SIM"), 0);
}

TEST(OracleCriticalSection, ReentrantAndUnmatchedLeaveDoesNothing) {
  TOracleCriticalSection cs;
  cs.Leave();
  EXPECT_EQ(cs.Count(), 0);
  cs.Enter();
  cs.Enter();
  EXPECT_EQ(cs.Count(), 2);
  // Another thread's Leave does not release this thread's hold.
  std::thread([&] { cs.Leave(); }).join();
  EXPECT_EQ(cs.Count(), 2);
  cs.Leave();
  cs.Leave();
  cs.Leave();
  EXPECT_EQ(cs.Count(), 0);
  bool entered = false;
  std::thread([&] {
    cs.Enter();
    entered = true;
    cs.Leave();
  }).join();
  EXPECT_TRUE(entered);
}

namespace {
int mtsStatus = 0;
int mtsReleases = 0;
sword FakeSvcGet(text*, text*, text*, OCISvcCtx** svc, OCIEnv** env, ub4) {
  static int context = 0;
  *svc = reinterpret_cast<OCISvcCtx*>(&context);
  *env = nullptr;
  return mtsStatus;
}
sword FakeSvcRel(OCISvcCtx*) {
  ++mtsReleases;
  return mtsStatus;
}
}  // namespace

// Sessions pooled through the transaction server: only a fake companion library can answer here.
TEST_F(Discovery, SessionsOfTheTransactionServer) {
  WriteRegistry({});
  SetCommandLine(std::vector<std::string>{"talvik", "OCIDLL=" + dir_.File("client.so")});
  loader_.AddLibrary(dir_.File("client.so"), ClientSymbols());
  dir_.Write("oramts.dll", "");
  void* f = reinterpret_cast<void*>(&FakeEntry);
  loader_.AddLibrary(dir_.File("oramts.dll"), {{"OraMTSSvcGet", reinterpret_cast<void*>(&FakeSvcGet)},
                                               {"OraMTSSvcRel", reinterpret_cast<void*>(&FakeSvcRel)},
                                               {"OraMTSSvcEnlist", f},
                                               {"OraMTSSvcEnlistEx", f},
                                               {"OraMTSTransTest", f}});
  TOracleSession session(nullptr);
  session.SetLogonUsername("scott");
  session.SetLogonPassword("tiger");
  session.SetPooling(spMTS);
  mtsStatus = 4002;
  try {
    session.LogOn();
    FAIL();
  } catch (const EOracleMTSError& e) {
    EXPECT_EQ(e.Message(), "MTS error 4002: failed logon to Oracle\r\nin function OraMTSSvcGet");
  }
  mtsStatus = 0;
  session.LogOn();
  EXPECT_TRUE(session.Connected());
  EXPECT_TRUE(session.Shared());
  EXPECT_TRUE(session.MTSControlled());
  try {
    session.Commit();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot commit an MTS Controlled Transaction");
  }
  try {
    session.Rollback();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot rollback an MTS Controlled Transaction");
  }
  mtsStatus = 6003;
  try {
    session.LogOff();
    FAIL();
  } catch (const EOracleMTSError& e) {
    EXPECT_EQ(e.Message(), "MTS error 6003: illegal operation\r\nin function OraMTSSvcRel");
  }
  EXPECT_EQ(mtsReleases, 1);
  EXPECT_FALSE(session.Connected());
  EXPECT_FALSE(session.MTSControlled());
  mtsStatus = 0;
}
