// The handles of the simulated client library and the helpers its entry points share.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "oracle/OracleCIApi.h"
#include "oracle_sim/OciConvert.h"
#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"

namespace oracle_sim::oci {

constexpr uint32_t kHandleMagic = 0x5441564bu;  // "TAVK"
constexpr uint32_t kFreedMagic = 0xdeadbeefu;

struct ErrorRecord {
  int code = 0;
  std::string text;  // "ORA-nnnnn: ..."
};

// The library's live handles and ROWID descriptors. An entry point checks that a pointer it is given
// is one of them before it reads a byte through it, so a freed or foreign pointer gives
// OCI_INVALID_HANDLE instead of a read of memory that is not a handle.
void RegisterLive(const void* object);
void UnregisterLive(const void* object);
bool IsLive(const void* object);

// Every handle starts with this base; descriptors other than ROWID too.
struct HandleBase {
  HandleBase(ub4 t, OCIEnv* e);
  virtual ~HandleBase();
  HandleBase(const HandleBase&) = delete;
  HandleBase& operator=(const HandleBase&) = delete;

  uint32_t magic = kHandleMagic;
  ub4 type;
  OCIEnv* env;                   // the environment the handle was allocated in (itself for an env)
  std::vector<char> userMemory;  // extra memory asked for at allocation
};

// Text "ORA-nnnnn: message" for a code: the texts the server has reported in this process, else the
// one message table of the library and the engine (engine/Errors.h).
std::string MessageText(int code);
void RememberMessage(int code, const std::string& text);
OraError MakeError(int code, const std::string& message);  // message without the "ORA-nnnnn: " prefix

}  // namespace oracle_sim::oci

struct OCIRowid;

struct OCIEnv : oracle_sim::oci::HandleBase {
  explicit OCIEnv(ub4 m) : HandleBase(OCI_HTYPE_ENV, this), mode(m) {}
  ~OCIEnv() override;

  ub4 mode;
  std::mutex lock;  // guards the child sets
  std::unordered_set<oracle_sim::oci::HandleBase*> children;
  std::unordered_set<OCIRowid*> rowids;
  std::vector<oracle_sim::oci::ErrorRecord> errors;  // OCIErrorGet on the environment
};

struct OCIError : oracle_sim::oci::HandleBase {
  explicit OCIError(OCIEnv* e) : HandleBase(OCI_HTYPE_ERROR, e) {}

  std::vector<oracle_sim::oci::ErrorRecord> records;
  ub2 parseErrorOffset = 0;
  ub4 dmlRowOffset = 0;
};

struct OCIServer : oracle_sim::oci::HandleBase {
  explicit OCIServer(OCIEnv* e) : HandleBase(OCI_HTYPE_SERVER, e) {}

  std::shared_ptr<oracle_sim::Instance> instance;  // set while attached
  std::string dblink;
};

// A user session; also the authentication-information handle of a session pool.
struct OCISession : oracle_sim::oci::HandleBase {
  explicit OCISession(OCIEnv* e) : HandleBase(OCI_HTYPE_SESSION, e) {}
  ~OCISession() override;  // ends the engine session (closing its statements' cursors first)
  void End();

  std::string userName;  // as set, quotes removed, unquoted names upper-cased
  std::string password;
  std::unique_ptr<oracle_sim::Session> session;  // while begun
};

struct OCISvcCtx : oracle_sim::oci::HandleBase {
  explicit OCISvcCtx(OCIEnv* e) : HandleBase(OCI_HTYPE_SVCCTX, e) {}
  ~OCISvcCtx() override;

  OCIServer* server = nullptr;
  OCISession* session = nullptr;
  ub4 stmtCacheSize = 0;
  // Handles the library made for the service context itself (OCILogon, OCISessionGet): freed with it.
  std::unique_ptr<OCIServer> ownServer;
  std::unique_ptr<OCISession> ownSession;
  OCISPool* pool = nullptr;  // the session pool a pooled session came from

  oracle_sim::Session* Engine() const { return session ? session->session.get() : nullptr; }
};

// A describe parameter: a select-list item, or (from OCIDescribeAny) a named type, the list of its
// attributes, one attribute or a collection's element.
struct OCIParam : oracle_sim::oci::HandleBase {
  enum class Kind { Column, Type, AttrList, Attr };
  OCIParam(OCIEnv* e, const oracle_sim::ColumnDesc& c, ub4 pos)
      : HandleBase(OCI_DTYPE_PARAM, e), column(c), position(pos) {}
  OCIParam(OCIEnv* e, Kind k, OCIType* t, int index)
      : HandleBase(OCI_DTYPE_PARAM, e), kind(k), type(t), attr(index) {}
  oracle_sim::ColumnDesc column;
  ub4 position = 0;
  OCISvcCtx* svc = nullptr;  // the service context the parameter was described on
  Kind kind = Kind::Column;
  OCIType* type = nullptr;  // Type, AttrList: the type; Attr: the type the attribute belongs to
  int attr = -1;            // Attr: index of the attribute; -1 for a collection's element
  std::vector<std::unique_ptr<OCIParam>> children;  // made on first use: list entries, list, element
};

// The ROWID descriptor: its first 13 bytes are the row address (kind byte, data object number,
// relative file, block and slot, big-endian), read directly by programs.
struct OCIRowid {
  OCIRowid() { oracle_sim::oci::RegisterLive(this); }
  ~OCIRowid() { oracle_sim::oci::UnregisterLive(this); }
  OCIRowid(const OCIRowid&) = delete;
  OCIRowid& operator=(const OCIRowid&) = delete;

  ub1 bytes[16] = {};
  std::string text;  // the 18-character form
  uint32_t magic = oracle_sim::oci::kHandleMagic;
  OCIEnv* env = nullptr;
};

// Descriptors the library hands out but whose operations come with a later release (LOB locators,
// files, timestamps, intervals, snapshots).
struct OCIOpaqueDescriptor : oracle_sim::oci::HandleBase {
  using HandleBase::HandleBase;
};

// A TIMESTAMP, TIMESTAMP WITH TIME ZONE or WITH LOCAL TIME ZONE descriptor.
struct OCIDateTime : oracle_sim::oci::HandleBase {
  using HandleBase::HandleBase;
  oracle_sim::DateTime value;  // year 1, January 1 until constructed
};

// A LOB locator (CLOB, BLOB) or a file locator (BFILE). The value read through the locator is
// kept with it; a persistent LOB remembers the row it was selected from (FOR UPDATE) and sends
// what is written to the server before the session's next statement, commit or rollback (at once
// when the program flushes the buffer).
struct OCILobLocator : oracle_sim::oci::HandleBase {
  using HandleBase::HandleBase;
  ~OCILobLocator() override;

  bool init = false;       // the locator points at a LOB
  ub1 lobType = 0;         // SQLT_CLOB, SQLT_BLOB or SQLT_BFILEE
  bool temporary = false;  // made by OCILobCreateTemporary
  std::string data;        // the value (a CLOB's text in UTF-8)
  // A CLOB counts characters: its length in characters, valid while data.size() == charsFor, and
  // one known (character, byte) position pair that sequential reads and writes start from.
  size_t chars = 0, charsFor = 0;
  size_t markChar = 0, markByte = 0;
  // Persistent LOBs: where the value lives.
  std::string owner, table, column;
  std::vector<std::string> rowids;         // ROWIDs of the locked row the locator was fetched from
  oracle_sim::Session* session = nullptr;  // the session that owes the server a write
  uint64_t transaction = 0;                // the session's transaction that locked the row
  bool dirty = false;                      // written since the last send
  bool buffering = false;                  // OCILobEnableBuffering: writes wait for a flush
  bool inObject = false;                   // the cell of an object attribute: written with its object
  // Piecewise writing (OCI_FIRST_PIECE ... OCI_LAST_PIECE): where the next piece goes (0-based).
  bool pieceActive = false;
  size_t pieceOffset = 0;
  std::string pieceTail;  // a CLOB's character cut at the end of a piece, finished by the next
  // BFILE
  std::string directory, fileName;
  bool fileOpen = false;
};

struct OCIDescribe : oracle_sim::oci::HandleBase {
  explicit OCIDescribe(OCIEnv* e) : HandleBase(OCI_HTYPE_DESCRIBE, e) {}
  std::unique_ptr<OCIParam> param;  // the described object (OCI_ATTR_PARAM)
};

struct OCIBind : oracle_sim::oci::HandleBase {
  OCIBind(OCIEnv* e, OCIStmt* s) : HandleBase(OCI_HTYPE_BIND, e), stmt(s) {}

  OCIStmt* stmt;
  std::string name;  // upper-case, without ':'; empty when bound by position
  ub4 position = 0;
  dvoid* valuep = nullptr;
  sb4 valueSize = 0;
  ub2 dty = 0;
  dvoid* indp = nullptr;
  ub2* alenp = nullptr;
  ub2* rcodep = nullptr;
  ub4 maxarrLen = 0;
  ub4* curelep = nullptr;
  ub4 mode = 0;
  ub4 valueSkip = 0, indSkip = 0, alenSkip = 0, rcodeSkip = 0;  // 0: the natural stride
  dvoid* inContext = nullptr;
  OCICallbackInBind inCallback = nullptr;
  dvoid* outContext = nullptr;
  OCICallbackOutBind outCallback = nullptr;
  // OCIBindObject: the type, where the instance (or REF) pointer is and where its null structure goes.
  const OCIType* objType = nullptr;
  dvoid** objValue = nullptr;
  dvoid** objNulls = nullptr;

  bool IsPlsqlTable() const { return maxarrLen > 0 && curelep != nullptr; }
  bool AtExec() const { return (mode & OCI_DATA_AT_EXEC) != 0; }
};

struct OCIDefine : oracle_sim::oci::HandleBase {
  OCIDefine(OCIEnv* e, OCIStmt* s) : HandleBase(OCI_HTYPE_DEFINE, e), stmt(s) {}

  OCIStmt* stmt;
  ub4 position = 0;
  dvoid* valuep = nullptr;
  sb4 valueSize = 0;
  ub2 dty = 0;
  dvoid* indp = nullptr;
  ub2* rlenp = nullptr;
  ub2* rcodep = nullptr;
  ub4 mode = 0;
  ub4 valueSkip = 0, indSkip = 0, rlenSkip = 0, rcodeSkip = 0;
  dvoid* context = nullptr;
  OCICallbackDefine callback = nullptr;
  // OCIDefineObject: the type, the rows' instance (or REF) pointers and null-structure pointers.
  const OCIType* objType = nullptr;
  dvoid** objValues = nullptr;
  dvoid** objNulls = nullptr;
};

struct OCIStmt : oracle_sim::oci::HandleBase {
  explicit OCIStmt(OCIEnv* e);  // joins the list of live statements
  ~OCIStmt() override;

  std::string sql;
  bool prepared = false;
  ub2 stmtType = 0;                                     // OCI_STMT_*
  OCISvcCtx* svc = nullptr;                             // the service context it was parsed on
  std::atomic<oracle_sim::Session*> parsedOn{nullptr};  // read by other threads ending sessions
  std::unique_ptr<oracle_sim::Cursor> cursor;
  std::vector<std::unique_ptr<OCIBind>> binds;
  std::vector<std::unique_ptr<OCIDefine>> defines;  // by position - 1 (null when not defined)
  std::vector<std::unique_ptr<OCIParam>> params;
  bool executed = false;  // a select's row source is open
  bool endOfFetch = false;
  bool fetchedSinceExecute = false;  // a fetch call after the execution went to the server
  ub4 rowCount = 0;                  // rows processed (DML) or fetched so far (select)
  ub4 rowsFetched = 0;               // rows of the last fetch
  ub2 parseErrorOffset = 0;
  std::vector<oracle_sim::Value> lastRow;  // the last row fetched (for reading LONG columns in parts)
  OCIRowid lastRowid;

  // Piecewise input of binds in OCI_DATA_AT_EXEC mode without callbacks.
  struct PieceState {
    bool active = false;
    std::vector<OCIBind*> pending;  // binds waiting for their data, in order
    size_t current = 0;
    std::string data;  // pieces gathered for the current bind
    bool isNull = false;
    bool complete = false;  // the last piece of the current bind has been given
    ub1 nextPiece = OCI_FIRST_PIECE;
    std::map<OCIBind*, oracle_sim::Value> values;  // gathered values by bind
    ub4 iters = 0, rowoff = 0, mode = 0;
  } pieces;

  // Statements that came from OCIStmtPrepare2 are freed by OCIStmtRelease.
  bool fromPrepare2 = false;
};

struct OCISPool : oracle_sim::oci::HandleBase {
  explicit OCISPool(OCIEnv* e) : HandleBase(OCI_HTYPE_SPOOL, e) {}
  ~OCISPool() override;

  std::string name;
  std::string connect;
  std::string user, password;
  bool homogeneous = false;
  bool created = false;
  std::mutex lock;
  std::vector<std::unique_ptr<OCISession>> idle;  // sessions given back, still logged on
  ub4 busy = 0;
};

namespace oracle_sim::oci {

// Handle checks: null, freed or of another type gives false.
bool IsHandle(const void* h, ub4 type);
OCIRowid* AsRowid(const void* d);
// LOB external types (112, 113, 114): the buffer holds the address of a locator.
oracle_sim::Value ReadLobLocator(ub2 dty, const void* buf, ub4 length);
WriteOutcome WriteLobLocator(ub2 dty, const oracle_sim::Value& v, void* buf, ub4 size);
bool IsLobType(ub2 dty);

// Timestamp external types (187, 188, 232): the buffer holds the address of a descriptor.
oracle_sim::Value ReadDateTimeDescriptor(ub2 dty, const void* buf, ub4 length);
WriteOutcome WriteDateTimeDescriptor(ub2 dty, const oracle_sim::Value& v, void* buf, ub4 size);
// A LOB or BFILE locator, else nullptr.
OCILobLocator* AsLob(const void* d);
// Sends the writes of the session's persistent LOBs (before a statement, commit or rollback), and
// forgets them when the session ends.
void FlushLobs(oracle_sim::Session* session);
void ForgetLobs(oracle_sim::Session* session);
// After a fetched row was stored: ties the LOB locator of a column to the row it came from.
void AttachLobRow(OCIStmt* st, OCIDefine* d, ub4 row, const oracle_sim::Value& v, size_t column);
// After a DML statement returned a LOB column INTO a bind: ties the locator in the bind's `cell` to
// the row the statement wrote, so that writing through it changes that row.
void AttachReturnedLob(OCIStmt* st, const void* cell, const std::string& name);
// A timestamp descriptor of any of the three kinds, else nullptr.
OCIDateTime* AsDateTime(const void* d);

// Writes an attribute's value for OCIAttrGet (and its size when asked).
template <typename T>
sword WriteAttr(dvoid* attributep, ub4* sizep, T value) {
  if (!attributep) return OCI_INVALID_HANDLE;
  std::memcpy(attributep, &value, sizeof value);
  if (sizep) *sizep = sizeof value;
  return OCI_SUCCESS;
}

// Records an error on an error handle (or an environment handle), replacing earlier records.
void SetError(OCIError* err, const OraError& e);
void SetError(OCIError* err, int code, const std::string& message);
void ClearError(OCIError* err);

// Runs an entry point's body: OraError becomes OCI_ERROR with its record on `err`, any other
// exception becomes ORA-00600 rather than leaving the library.
template <typename F>
sword Guard(OCIError* err, F&& body) {
  try {
    if (err) ClearError(err);
    return body();
  } catch (const OraError& e) {
    SetError(err, e);
    return OCI_ERROR;
  } catch (const std::bad_alloc&) {
    SetError(err, MakeError(4030, "out of process memory when trying to allocate memory"));
    return OCI_ERROR;
  } catch (const std::exception& e) {
    SetError(err, MakeError(600, std::string("internal error code, arguments: [") + e.what() + "]"));
    return OCI_ERROR;
  } catch (...) {
    SetError(err, MakeError(600, "internal error code, arguments: []"));
    return OCI_ERROR;
  }
}

// Text of a (pointer, length) argument; a negative length or -1 means NUL-terminated.
std::string ArgText(const text* p, sb4 len);
std::string UpperCase(std::string s);
// A user name or password as given at logon: one pair of enclosing double quotes is removed and
// keeps the text as it is; otherwise the text is upper-cased when `upper` is set.
std::string LogonName(const std::string& value, bool upper);

// The instance a connect string names: an alias of tnsnames.ora (ORA-12154 when unknown).
std::shared_ptr<Instance> ResolveInstance(const std::string& connect);

// The 18-character ROWID text of a row address and back.
void FillRowid(OCIRowid& rowid, const std::string& text);

// Statement core, shared by the handle API and the host calls.
void PrepareStatement(OCIStmt* stmt, const std::string& sql);
void ParseNow(OCIStmt* stmt, OCISvcCtx* svc);  // parses on the engine now (errors carry the offset)
sword ExecuteStatement(OCISvcCtx* svc, OCIStmt* stmt, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode);
sword FetchRows(OCIStmt* stmt, OCIError* err, ub4 nrows);
void ReleaseCursor(OCIStmt* stmt);
// The statement of an open cursor data area of the host calls, else nullptr.
OCIStmt* HostCursorStatement(const void* area);
// Logs on a new engine session for the user session on the server's instance.
void BeginSession(OCIServer* server, OCISession* session);
void CloseStatementsOf(oracle_sim::Session* session);

// Function codes of the statement kinds.
ub2 FunctionCode(const OCIStmt* stmt);

// Objects and REFs (external types 108 and 110) in binds and defines.
bool IsObjectType(ub2 dty);
oracle_sim::Value ReadObjectBind(OCIStmt* stmt, OCIBind* bind, ub4 index);
void WriteObjectBind(OCIStmt* stmt, OCIBind* bind, const oracle_sim::Value& v, ub4 index);
void WriteObjectDefine(OCIStmt* stmt, OCIDefine* define, ub4 row, const oracle_sim::Value& v, size_t column);
// Describe attributes of a type parameter (OCIDescribeAny) and the type attributes of a select-list
// item of an object or REF column.
sword TypeParamAttr(OCIParam* param, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err);
sword ColumnTypeAttr(OCIParam* param, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err);
sword TypeParamGet(OCIParam* param, OCIError* err, dvoid** parmdpp, ub4 pos);
// The end of a transaction releases the row locks of the persistent objects pinned through `svc`.
void ReleaseObjectLocks(OCISvcCtx* svc);
// Frees the object cache of an environment (its instances, strings, REFs, types ...).
void ReleaseObjects(OCIEnv* env);

}  // namespace oracle_sim::oci
