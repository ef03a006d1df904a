// The client library as a loaded module: its exports, its handles and what it answers before any
// server is involved.
#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "OciLoader.h"
#include "OtherSession.h"
#include "oracle_sim/engine/Errors.h"

extern "C" size_t OciCdaSizeSeenFromC(void);

namespace {

class OciLibraryTest : public OciEnvironmentTest {};

}  // namespace

TEST_F(OciLibraryTest, ExportsEveryEntryPointAndNothingElse) {
  EXPECT_TRUE(oci.missing.empty()) << "missing: " << oci.missing.front();
  // Internal symbols stay inside: an engine class is not reachable by name.
  EXPECT_EQ(dlsym(oci.module,
                  "_ZN10oracle_sim8Instance4OpenERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
            nullptr);
  EXPECT_EQ(sizeof(Cda_Def), static_cast<size_t>(TALVIK_CDA_SIZE));
  EXPECT_EQ(OciCdaSizeSeenFromC(), sizeof(Cda_Def));  // the same layout seen from C
  EXPECT_EQ(sizeof(Lda_Def), static_cast<size_t>(TALVIK_LDA_SIZE));
  EXPECT_EQ(sizeof(OCINumber), 22u);
}

TEST_F(OciLibraryTest, UnimplementedCallsAnswerOra03001) {
  OCISvcCtx* svc = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(oci.OCIParamSet(svc, OCI_HTYPE_SVCCTX, err, nullptr, OCI_DTYPE_PARAM, 1), OCI_ERROR);
  auto [code, message] = ErrorOf(oci, err);
  EXPECT_EQ(code, 3001);
  EXPECT_EQ(message, "ORA-03001: unimplemented feature");
  EXPECT_EQ(oci.OCITransStart(svc, err, 60, OCI_TRANS_NEW), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 3001);
  EXPECT_EQ(oci.ociepmsg(err, 1, nullptr, 0), OCI_ERROR);
  Lda_Def lda{};
  EXPECT_EQ(oci.odessp(&lda, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            3001);
  EXPECT_EQ(lda.rc, 3001);
}

TEST_F(OciLibraryTest, HandlesAreCheckedAndFreedWithTheirEnvironment) {
  EXPECT_EQ(oci.OCIHandleAlloc(nullptr, nullptr, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
  dvoid* bad = nullptr;
  EXPECT_EQ(oci.OCIHandleAlloc(env, &bad, 999, 0, nullptr), OCI_INVALID_HANDLE);
  OCIStmt* stmt = nullptr;
  dvoid* extra = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&stmt), OCI_HTYPE_STMT, 16, &extra),
            OCI_SUCCESS);
  ASSERT_NE(extra, nullptr);
  std::memset(extra, 0x5a, 16);  // the user memory is the program's
  EXPECT_EQ(oci.OCIHandleFree(stmt, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);  // wrong type
  EXPECT_EQ(oci.OCIAttrGet(stmt, OCI_HTYPE_SVCCTX, nullptr, nullptr, OCI_ATTR_ROW_COUNT, err),
            OCI_INVALID_HANDLE);
  // A statement handle left allocated, a server and a ROWID descriptor go with the environment.
  OCIServer* srv = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr),
            OCI_SUCCESS);
  OCIRowid* rowid = nullptr;
  ASSERT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr),
            OCI_SUCCESS);
  OCILobLocator* lob = nullptr;
  ASSERT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&lob), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(oci.OCIDescriptorFree(lob, OCI_DTYPE_LOB), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIDescriptorAlloc(env, &bad, 999, 0, nullptr), OCI_INVALID_HANDLE);
}

TEST_F(OciLibraryTest, FreedAndForeignPointersAreRejectedUnread) {
  // The library must not read through a pointer that is not one of its live handles: a freed handle
  // (heap memory given back) or a few bytes of the caller's would otherwise be read as a handle,
  // which the address checks of the test build report.
  OCIError* freed = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&freed), OCI_HTYPE_ERROR, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIHandleFree(freed, OCI_HTYPE_ERROR), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIHandleFree(freed, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
  sb4 code = 0;
  text buf[64];
  EXPECT_EQ(oci.OCIErrorGet(freed, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
  OCIRowid* rowid = nullptr;
  ASSERT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDescriptorFree(rowid, OCI_DTYPE_ROWID), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIDescriptorFree(rowid, OCI_DTYPE_ROWID), OCI_INVALID_HANDLE);

  char foreign[2] = {};
  dvoid* child = nullptr;
  EXPECT_EQ(oci.OCIHandleAlloc(foreign, &child, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIHandleFree(foreign, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIDescriptorFree(foreign, OCI_DTYPE_ROWID), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIAttrGet(foreign, OCI_HTYPE_STMT, nullptr, nullptr, OCI_ATTR_ROW_COUNT, err),
            OCI_INVALID_HANDLE);
  // The live handles still answer.
  OCIStmt* stmt = nullptr;
  EXPECT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&stmt), OCI_HTYPE_STMT, 0, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(oci.OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_SUCCESS);
}

TEST_F(OciLibraryTest, StatementAttributesBeforeExecution) {
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&stmt), OCI_HTYPE_STMT, 0, nullptr),
            OCI_SUCCESS);
  struct Case {
    const char* sql;
    ub2 type;
    ub2 fncode;
  } cases[] = {
      {"select * from dual", OCI_STMT_SELECT, TALVIK_FNCODE_SELECT},
      {"  /* hint */ (SELECT 1 FROM dual)", OCI_STMT_SELECT, TALVIK_FNCODE_SELECT},
      {"-- note\nupdate emp set sal = 1", OCI_STMT_UPDATE, TALVIK_FNCODE_UPDATE},
      {"DELETE FROM emp", OCI_STMT_DELETE, TALVIK_FNCODE_DELETE},
      {"insert into emp values (1)", OCI_STMT_INSERT, TALVIK_FNCODE_INSERT},
      {"begin null; end;", OCI_STMT_BEGIN, TALVIK_FNCODE_PLSQL},
      {"declare x number; begin null; end;", OCI_STMT_DECLARE, TALVIK_FNCODE_PLSQL},
      {"create table t (x number)", OCI_STMT_CREATE, 0},
      {"alter session set sql_trace = true", OCI_STMT_ALTER, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(oci.OCIStmtPrepare(stmt, err, reinterpret_cast<const text*>(c.sql),
                                 static_cast<ub4>(std::strlen(c.sql)), OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_SUCCESS);
    ub2 type = 99, fncode = 99;
    ub4 size = 0;
    ASSERT_EQ(oci.OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, &size, OCI_ATTR_STMT_TYPE, err), OCI_SUCCESS);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(type, c.type) << c.sql;
    ASSERT_EQ(oci.OCIAttrGet(stmt, OCI_HTYPE_STMT, &fncode, nullptr, OCI_ATTR_SQLFNCODE, err), OCI_SUCCESS);
    EXPECT_EQ(fncode, c.fncode) << c.sql;
  }
  ub4 prefetch = 0;
  EXPECT_EQ(oci.OCIAttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 0, OCI_ATTR_PREFETCH_ROWS, err), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIAttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 0, 9999, err), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 24315);
  // Describing or fetching a statement that has not run is refused.
  dvoid* param = nullptr;
  EXPECT_EQ(oci.OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 1), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 24338);
  EXPECT_EQ(oci.OCIStmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 1002);
}

TEST_F(OciLibraryTest, UnknownAliasIsOra12154) {
  OCIServer* srv = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr),
            OCI_SUCCESS);
  const char* alias = "NO_SUCH_DB";
  EXPECT_EQ(oci.OCIServerAttach(srv, err, reinterpret_cast<const text*>(alias), -1, OCI_DEFAULT), OCI_ERROR);
  auto [code, message] = ErrorOf(oci, err);
  EXPECT_EQ(code, 12154);
  EXPECT_EQ(message, "ORA-12154: TNS:could not resolve service name");
  // The host calls report it in the logon data area, and oerhms gives its text without a connection.
  Lda_Def lda;
  ub1 hda[TALVIK_HDA_SIZE];
  text logon[] = "system/manager@NO_SUCH_DB";
  EXPECT_EQ(oci.olog(&lda, hda, logon, -1, nullptr, -1, nullptr, -1, 0), 12154);
  EXPECT_EQ(lda.rc, 12154);
  Lda_Def zero{};
  text buf[2001];
  oci.oerhms(&zero, 12154, buf, sizeof buf);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "ORA-12154: TNS:could not resolve service name");
  oci.oerhms(&zero, 1403, buf, sizeof buf);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "ORA-01403: no data found");
  // Constraint messages keep the place of the constraint's name, which programs fill in. Once the server
  // has reported such an error in this process, oerhms gives the server's words for the code, name and
  // all, so the client's own wording is read from the message table here.
  EXPECT_EQ(oracle_sim::OraClientText(2290), "ORA-02290: check constraint (.) violated");
  oci.oerhms(&zero, 31999, buf, sizeof buf);
  EXPECT_STREQ(reinterpret_cast<char*>(buf),
               "ORA-31999: Message 31999 not found;  product=RDBMS; facility=ORA");
}

TEST_F(OciLibraryTest, TnsNamesOfTheSimulatedHome) {
  std::string home = OciLibrary::BinaryDir() + "/oracle_home";
  std::ifstream tns(home + "/network/admin/tnsnames.ora");
  ASSERT_TRUE(tns.good());
  std::string text((std::istreambuf_iterator<char>(tns)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("SIM ="), std::string::npos);
  EXPECT_NE(text.find(home + "/oradata/sim.db"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(home + "/Network/Admin/tnsnames.ora"));
  std::ifstream reg(home + "/hklm.reg");
  std::string r((std::istreambuf_iterator<char>(reg)), std::istreambuf_iterator<char>());
  EXPECT_EQ(r.rfind("REGEDIT4\n", 0), 0u);
  EXPECT_NE(r.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME0]"), std::string::npos);
  EXPECT_NE(r.find("\"ORACLE_HOME\"=\"" + home + "\""), std::string::npos);
}

TEST_F(OciLibraryTest, AliasesOfTnsNamesWithIncludesAndDomains) {
  ScratchInstance scratch;
  unsetenv("TALVIK_SIM_DB");
  auto dir = scratch.Dir();
  {
    std::ofstream main(dir / "tnsnames.ora");
    main << "# aliases\n"
            "PROD.WORLD, BACKUP =\n"
            "  (DESCRIPTION =\n"
            "    (ADDRESS = (PROTOCOL = BEQ)(PATH = prod.db))\n"
            "  )\n"
            "ifile =\n"
            "  more.ora\n";
    std::ofstream more(dir / "more.ora");
    more << "IFILE = tnsnames.ora\n"  // an include cycle is read once
            "TEST = (DESCRIPTION = (ADDRESS = (PATH = "
         << (dir / "test.db").string() << ")))\n";
  }
  setenv("TNS_ADMIN", dir.c_str(), 1);
  auto attach = [&](const char* alias) {
    OCIServer* srv = nullptr;
    EXPECT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr),
              OCI_SUCCESS);
    sword rc = oci.OCIServerAttach(srv, err, reinterpret_cast<const text*>(alias), -1, OCI_DEFAULT);
    int code = rc == OCI_SUCCESS ? 0 : ErrorOf(oci, err).first;
    if (rc == OCI_SUCCESS) oci.OCIServerDetach(srv, err, OCI_DEFAULT);
    oci.OCIHandleFree(srv, OCI_HTYPE_SERVER);
    return code;
  };
  // Each alias reaches the database file its entry names, relative to the file that names it: the
  // first attach to a file creates the instance there.
  EXPECT_EQ(attach("prod"), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "prod.db"));
  EXPECT_FALSE(std::filesystem::exists(dir / "test.db"));
  EXPECT_EQ(attach("PROD.WORLD"), 0);
  EXPECT_EQ(attach("backup"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "test.db"));
  EXPECT_EQ(attach("test"), 0);  // from the included file
  EXPECT_TRUE(std::filesystem::exists(dir / "test.db"));
  EXPECT_EQ(attach("SIM"), 12154);  // only the first tnsnames.ora found counts
  EXPECT_EQ(attach("ifile"), 12154);
  unsetenv("TNS_ADMIN");
}

namespace {

// Every file in Folder with its bytes.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    files[e.path().filename().string()] = bytes.str();
  }
  return files;
}

// A database of another program at Path: one table of one row, in the journal mode given.
void MakeForeignDatabase(const std::filesystem::path& path, const char* journalMode) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string sql = std::string("PRAGMA journal_mode=") + journalMode +
                          "; CREATE TABLE accounts(id INTEGER PRIMARY KEY, owner TEXT);"
                          " INSERT INTO accounts VALUES (1, 'kept');";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

}  // namespace

// A connect descriptor typed as the connect string reaches an instance that is there already, and
// nothing else: a database of another program, a file that is no database, an empty one and a path
// where there is nothing all stay as they are, byte for byte, with nothing made beside them, and the
// logon answers that no instance is there, before any password is looked at.
TEST_F(OciLibraryTest, ADescriptorReachesOnlyAnInstanceThatIsThere) {
  ScratchInstance scratch;
  const auto dir = scratch.Dir() / "files";
  std::filesystem::create_directory(dir);
  MakeForeignDatabase(dir / "victim.sqlite", "DELETE");
  MakeForeignDatabase(dir / "logged.sqlite", "WAL");
  std::ofstream(dir / "notes.txt") << "no database";
  std::ofstream(dir / "empty.db").flush();
  const auto before = FolderContents(dir);
  ASSERT_EQ(before.size(), 4u);

  // Oracle's error code of a logon as Scott through Connect (0 when it logs on), and its text
  const auto logOnTo = [&](const std::string& connect, const char* password) {
    OCISvcCtx* svc = nullptr;
    const sword rc =
        oci.OCILogon(env, err, &svc, reinterpret_cast<const text*>("scott"), 5,
                     reinterpret_cast<const text*>(password), static_cast<ub4>(std::strlen(password)),
                     reinterpret_cast<const text*>(connect.data()), static_cast<ub4>(connect.size()));
    if (rc != OCI_SUCCESS) return ErrorOf(oci, err);
    EXPECT_EQ(oci.OCILogoff(svc, err), OCI_SUCCESS);
    return std::pair<int, std::string>();
  };
  const auto logOn = [&](const std::filesystem::path& file, const char* password) {
    return logOnTo("(DESCRIPTION=(ADDRESS=(PROTOCOL=BEQ)(PATH=" + file.string() + ")))", password);
  };
  for (const char* name : {"victim.sqlite", "logged.sqlite", "notes.txt", "empty.db", "missing.db"}) {
    SCOPED_TRACE(name);
    for (const char* password : {"wrong", "tiger"}) {
      const auto [code, message] = logOn(dir / name, password);
      EXPECT_EQ(code, 1034);
      EXPECT_EQ(message, "ORA-01034: ORACLE not available");
    }
  }
  const auto after = FolderContents(dir);
  std::string names;
  for (const auto& [name, bytes] : after) names += " " + name;
  EXPECT_EQ(after.size(), before.size()) << "there now:" << names;
  for (const auto& [name, bytes] : before)
    EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " was changed";

  // An instance is reached through a descriptor whether a process has it open or not; the instance
  // the home names is made on its first use as before.
  const auto instance = scratch.Dir() / "sim.db";
  EXPECT_EQ(logOn(instance, "tiger").first, 1034);
  EXPECT_FALSE(std::filesystem::exists(instance));
  ASSERT_EQ(logOnTo("SIM", "tiger").first, 0);
  EXPECT_EQ(logOn(instance, "tiger").first, 0);
  EXPECT_EQ(logOn(instance, "wrong").first, 1017);
  OtherSession other(instance.string(), "scott", "tiger");
  EXPECT_EQ(logOn(instance, "tiger").first, 0);
  other.LogOff();
}

TEST_F(OciLibraryTest, BadArgumentsGiveStatusesNotCrashes) {
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&stmt), OCI_HTYPE_STMT, 0, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(oci.OCIStmtPrepare(nullptr, err, nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIStmtPrepare(stmt, err, nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT),
            OCI_SUCCESS);  // an empty text
  OCIBind* bind = nullptr;
  EXPECT_EQ(oci.OCIBindByName(stmt, &bind, err, nullptr, -1, nullptr, 0, SQLT_INT, nullptr, nullptr, nullptr,
                              0, nullptr, OCI_DEFAULT),
            OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 1036);
  EXPECT_EQ(oci.OCIBindByPos(stmt, &bind, err, 0, nullptr, 0, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                             OCI_DEFAULT),
            OCI_ERROR);
  OCIDefine* def = nullptr;
  EXPECT_EQ(
      oci.OCIDefineByPos(stmt, &def, err, 0, nullptr, 0, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
      OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 1007);
  EXPECT_EQ(oci.OCIStmtExecute(nullptr, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIAttrGet(stmt, OCI_HTYPE_STMT, nullptr, nullptr, OCI_ATTR_ROW_COUNT, err),
            OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIErrorGet(err, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIErrorGet(err, 2, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR), OCI_NO_DATA);
  EXPECT_EQ(oci.OCIErrorGet(nullptr, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIEnvCreate(nullptr, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
            OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIDescriptorFree(nullptr, OCI_DTYPE_ROWID), OCI_INVALID_HANDLE);
  // A piece given when none is asked for is refused.
  EXPECT_EQ(oci.OCIStmtGetPieceInfo(stmt, err, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            OCI_ERROR);
  // The host calls refuse areas that were never opened.
  Cda_Def cda{};
  Lda_Def lda{};
  EXPECT_EQ(oci.oparse(&cda, nullptr, -1, 0, 2), 1001);
  EXPECT_EQ(oci.oexec(&cda), 1001);
  EXPECT_EQ(oci.ocom(&lda), 1012);
  EXPECT_EQ(oci.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 1012);
  EXPECT_EQ(oci.ologof(nullptr), 1012);
}
