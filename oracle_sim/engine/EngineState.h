// Internal state behind the engine API: the instance, sessions and cursors.
#pragma once

#include <atomic>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "oracle_sim/engine/Catalog.h"
#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"
#include "oracle_sim/engine/Functions.h"
#include "oracle_sim/engine/Translator.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace oracle_sim {

// A row the statement needs is locked by another session (raised inside SQLite by the row triggers).
struct LockConflict {};

struct InstanceState {
  std::string path;
  // Guards catalog and cache. Lock order: a session's mutex (SessionState::mu) comes first, SQLite's
  // connection locks next, this one last; it is held only around reads and writes of the members
  // below, never while SQL runs (SQL functions such as DEREF take it from inside SQLite).
  std::mutex mu;
  std::shared_ptr<const Catalog> catalog;
  std::unordered_map<std::string, std::shared_ptr<Translation>> cache;  // "USER\x01sql"
  int64_t cacheVersion = -1;
  std::shared_ptr<void> live;  // Live.cpp: this process's connection for live-state writes
  // A counter every process of the instance shares (a small file beside it, mapped): it moves after
  // a session is killed and after the catalog changes, so a call reads its killed flag and the
  // catalog's version only when it has moved. Null when the file could not be mapped.
  std::atomic<uint64_t>* changes = nullptr;
  uint64_t Changes() const { return changes ? changes->load() : 0; }
  void Changed() {
    if (changes) changes->fetch_add(1);
  }
  ~InstanceState();
};

struct Savepoint {
  std::string name;
  int64_t undoSeq = 0;
  int64_t lockRow = 0;
};

struct SessionState {
  std::shared_ptr<Instance> instance;
  Session* self = nullptr;
  sqlite3* db = nullptr;
  FunctionEnv env;
  int sid = 0;
  int serial = 0;
  std::string user;
  int64_t userId = 0;
  bool dba = false;
  int warning = 0;
  std::string warningText;
  std::atomic<bool> interrupted{false};
  std::atomic<uint64_t> transactionsEnded{0};  // commits and rollbacks (also DDL's own commit)
  std::atomic<int> cut{0};                     // 0 connected, 1 cut (next call ORA-03113), 2 reported
  std::mutex mu;                               // one call at a time
  std::vector<Savepoint> savepoints;
  std::set<CursorState*> cursors;
  bool outputEnabled = false;
  std::deque<std::string> output;
  std::string outputLine;  // DBMS_OUTPUT.PUT text not yet ended
  sqlite3_stmt* versionStmt = nullptr;
  // the catalog's version as last read, at which count of the instance's changes; the count at
  // which the session last found itself not killed
  int64_t knownCatalogVersion = 0;
  uint64_t catalogKnownAt = 0, aliveKnownAt = 0;
  bool catalogKnown = false, aliveKnown = false;
  bool changedOnCommit = false;  // the open write kills a session or changes the catalog
  // the session's savepoint marks (its last undo entry and row lock), when known without a read
  int64_t knownUndoSeq = 0, knownLockRow = 0;
  bool marksKnown = false;
  void LearnMarks();  // reads them (in the open write transaction)
  sqlite3_stmt* killedStmt = nullptr;
  sqlite3_stmt* pendingStmt = nullptr;
  // statements the session runs on every call or transaction, prepared once (by their text)
  std::unordered_map<std::string, sqlite3_stmt*> prepared;
  // live state (Live.cpp): the running call, the row lock the session waits for
  std::shared_ptr<void> liveOwn;  // Live.cpp: the live writes through this session's own connection
  // Live.cpp: live state written in the session's open write transaction, given back to the
  // process's journal when that transaction is rolled back
  std::shared_ptr<void> liveTaken;
  int64_t liveCallUs = 0;
  int64_t liveWaitObject = 0;
  int liveWaitBlocker = 0;
  bool liveWaiting = false;

  // ---- Session.cpp
  void CheckConnected();
  bool OthersPending();  // another session has uncommitted changes
  // The statement `sql` of the session's connection, prepared once and reset for a new run.
  sqlite3_stmt* Prepared(const std::string& sql);
  // Runs one of those statements with integer parameters: the first column of its first row, or dflt.
  int64_t PreparedScalar(const std::string& sql, std::initializer_list<int64_t> args, int64_t dflt = 0);
  // Steps a prepared BEGIN, COMMIT or ROLLBACK; SQLite's result code.
  int Control(const char* sql);
  std::shared_ptr<const Catalog> CurrentCatalog();
  std::shared_ptr<Translation> TranslateCached(const std::string& sql);
  TranslateContext Context();
  void BeginWrite();
  void CommitWrite();
  void RollbackWrite();
  void DrainCursors(CursorState* except = nullptr);
  void EndTransaction(bool commit);
  void RollbackUndo(int sid, int64_t afterSeq);
  void SetSavepoint(const std::string& name);
  void RollbackTo(const std::string& name);
  // Whether the session at SID `sid` lives; `serial` gets its serial number (0: no session there).
  bool SessionAlive(int sid, int& serial);
  void CleanupDeadHolders(int64_t objId);
  // Whether session (who, whoSerial) holds its SID now (in the open write transaction); whoSerial 0
  // asks whether no session holds it. A SID a session left may be another session's by now.
  bool HoldsSid(int who, int whoSerial);
  // In the open write transaction, ends session (who, whoSerial) as the instance would, while it still
  // holds its SID: its transaction rolled back, its locks, cursors and events dropped, its row removed.
  void EndSessionAt(int who, int whoSerial);
  // Ends a session whose process is gone (see EndSessionAt).
  void DropSession(int other, int otherSerial);
  // The session's own logoff (see EndSessionAt): what it left pending is written with it.
  void LogOffWrite();
  // Drops the sessions of processes that no longer exist (at most a few times a second). Only a
  // process the system reports as absent counts: sessions of this process and of any process that
  // still exists stay.
  void DropSessionsOfEndedProcesses();
  void WaitForLock(bool nowait);
  void StopWaiting() noexcept;
  int waitingFor = 0;  // the session whose lock this one waits for (0: none)
  void StatementStart();
  [[noreturn]] void RaiseSqlite(int rc);

  // ---- Ddl.cpp
  void ExecuteDdl(const Statement& st);
  void ExecuteOther(const Statement& st);
  // LOCK TABLE: the table lock is kept until the transaction ends.
  void LockTable(const Statement& st);

  // ---- PlSql.cpp
  void ExecutePlSql(CursorState& cur);
};

struct CursorState {
  SessionState* session = nullptr;
  std::string sql;
  std::shared_ptr<Translation> tr;
  sqlite3_stmt* stmt = nullptr;
  std::map<std::string, Value> binds;
  std::map<std::string, std::vector<Value>> arrays;
  std::map<std::string, std::vector<Value>> tables;
  std::map<std::string, std::vector<Value>> outs;
  bool rowsOpen = false;  // stmt is positioned inside a result
  bool buffered = false;  // rows come from `buffer`
  std::deque<std::vector<Value>> buffer;
  // SELECT ... FOR UPDATE: the ROWIDs of the locked rows, per buffered row and for the last fetched.
  std::deque<std::vector<std::string>> bufferRowids;
  std::vector<std::string> lastRowids;
  // A PL/SQL block's "OPEN :c FOR <query>": the query and its bind values, by bind name.
  std::map<std::string, std::pair<std::string, std::map<std::string, Value>>> refCursors;
  int64_t rowCount = 0;
  std::string lastRowid;                    // ROWID of the last row an INSERT made
  std::vector<std::string> returnedRowids;  // DML with RETURNING: the ROWID of each returned row
  // A PL/SQL block: the column and ROWID the value of a bind came from (DML ... RETURNING INTO).
  std::map<std::string, std::pair<ColumnDesc, std::string>> returnedRows;
  bool executed = false;
  bool liveOpened = false;   // registered as an open cursor of the session
  bool livePending = false;  // a query whose first fetch ends the call that opened it
  bool liveFirst = false;    // the running call is the cursor's first
  // the statement text, its shared-pool address and hash, as the live state records them
  std::shared_ptr<const std::string> liveSql;
  uint64_t liveAddress = 0;
  uint32_t liveHash = 0;

  void Prepare();
  void BindAll(int iteration);
  bool StepRow(std::vector<Value>& row);
  void Drain();
  void Reset();
  const Value* InValue(const std::string& name, int iteration) const;
};

// The table column and ROWID the RETURNING value of bind `key` came from (see Cursor::ReturnedRow).
bool ReturnedRowOf(const CursorState& c, const std::string& key, ColumnDesc& column, std::string& rowid);

// Runs a cursor whose translation is set (no locking: the caller holds the session).
void RunCursor(CursorState& c, int iterations);

// Converts a value fetched from SQLite according to the Oracle type of its column.
Value FromSqlite(sqlite3_stmt* st, int i, const SqlType& type);
Value FromSqliteValue(sqlite3_value* v, const SqlType& type);
// Binds one engine value as SQLite parameter `idx`.
void BindValue(sqlite3_stmt* st, int idx, const Value& v);

}  // namespace oracle_sim
