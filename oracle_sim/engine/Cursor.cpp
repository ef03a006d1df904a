// Cursors: binds, execution of queries and DML (with row locks and array iterations), fetching.
#include "oracle_sim/engine/Cursor.h"

#include <sqlite3.h>

#include <algorithm>

#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Live.h"
#include "oracle_sim/engine/Objects.h"
#include "oracle_sim/engine/Parser.h"

namespace oracle_sim {

namespace {

std::string BindKey(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n[0] == ':') n.erase(0, 1);
  for (auto& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return n;
}

// The bind's key; ORA-01036 when the statement has no such bind.
std::string KnownBind(const CursorState& c, const std::string& name) {
  std::string k = BindKey(name);
  if (std::find(c.tr->bindNames.begin(), c.tr->bindNames.end(), k) == c.tr->bindNames.end()) Raise(1036);
  return k;
}

SessionState& Live(CursorState& c) {
  if (!c.session) Raise(3114);
  return *c.session;
}

}  // namespace

// ------------------------------------------------------------------ CursorState
void CursorState::Prepare() {
  // a query reads around other sessions' uncommitted changes only while there are any
  const std::string& text =
      !tr->sqliteConsistent.empty() && session->OthersPending() ? tr->sqliteConsistent : tr->sqlite;
  if (stmt && sqlite3_sql(stmt) && text == sqlite3_sql(stmt)) return;
  if (stmt) sqlite3_finalize(stmt);
  stmt = nullptr;
  int rc = sqlite3_prepare_v2(session->db, text.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
    session->RaiseSqlite(rc);
  }
}

const Value* CursorState::InValue(const std::string& name, int iteration) const {
  auto a = arrays.find(name);
  if (a != arrays.end()) {
    if (iteration < static_cast<int>(a->second.size())) return &a->second[iteration];
    return nullptr;
  }
  auto b = binds.find(name);
  if (b != binds.end()) return &b->second;
  return nullptr;
}

void CursorState::BindAll(int iteration) {
  sqlite3_clear_bindings(stmt);
  int n = sqlite3_bind_parameter_count(stmt);
  for (int i = 1; i <= n; ++i) {
    if (!sqlite3_bind_parameter_name(stmt, i)) continue;
    if (i > static_cast<int>(tr->bindNames.size())) Raise(1008);
    const Value* v = InValue(tr->bindNames[i - 1], iteration);
    if (!v) Raise(1008);
    BindValue(stmt, i, *v);
  }
}

void CursorState::Reset() {
  if (stmt) sqlite3_reset(stmt);
  rowsOpen = false;
  buffered = false;
  buffer.clear();
  bufferRowids.clear();
  lastRowids.clear();
}

bool CursorState::StepRow(std::vector<Value>& row) {
  if (buffered) {
    if (buffer.empty()) return false;
    row = std::move(buffer.front());
    buffer.pop_front();
    lastRowids.clear();
    if (!bufferRowids.empty()) {
      lastRowids = std::move(bufferRowids.front());
      bufferRowids.pop_front();
    }
    ++rowCount;
    return true;
  }
  if (!rowsOpen) return false;
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    size_t n = tr->columns.size();
    row.resize(n);
    for (size_t i = 0; i < n; ++i) row[i] = FromSqlite(stmt, static_cast<int>(i), tr->columnTypes[i]);
    ++rowCount;
    return true;
  }
  rowsOpen = false;
  if (rc == SQLITE_DONE) {
    sqlite3_reset(stmt);
    return false;
  }
  try {
    session->RaiseSqlite(rc);
  } catch (...) {
    sqlite3_reset(stmt);
    throw;
  }
}

void CursorState::Drain() {
  if (!rowsOpen) return;
  std::deque<std::vector<Value>> rows;
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) break;
    std::vector<Value> row(tr->columns.size());
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = FromSqlite(stmt, static_cast<int>(i), tr->columnTypes[i]);
    rows.push_back(std::move(row));
  }
  sqlite3_reset(stmt);
  rowsOpen = false;
  buffered = true;
  buffer = std::move(rows);
}

// ------------------------------------------------------------------ Session::Prepare
std::unique_ptr<Cursor> Session::Prepare(const std::string& sqlIn) {
  SessionState& s = *state_;
  std::lock_guard<std::mutex> lock(s.mu);
  s.CheckConnected();
  std::string sql;
  sql.reserve(sqlIn.size());
  for (size_t i = 0; i < sqlIn.size(); ++i)
    if (!(sqlIn[i] == '\r' && i + 1 < sqlIn.size() && sqlIn[i + 1] == '\n')) sql += sqlIn[i];
  auto tr = s.TranslateCached(sql);
  std::unique_ptr<Cursor> c(new Cursor());
  c->state_->session = &s;
  c->state_->sql = sql;
  c->state_->tr = tr;
  s.cursors.insert(c->state_.get());
  return c;
}

// ------------------------------------------------------------------ Cursor
Cursor::Cursor() : state_(std::make_unique<CursorState>()) {}

Cursor::~Cursor() {
  CursorState& c = *state_;
  if (c.session) {
    std::lock_guard<std::mutex> lock(c.session->mu);
    live::OnCursorClose(*c.session, c);
    c.session->cursors.erase(&c);
    if (c.stmt) sqlite3_finalize(c.stmt);
  }
}

StmtKind Cursor::Kind() const {
  return state_->tr->kind;
}
const std::string& Cursor::Sql() const {
  return state_->sql;
}
int Cursor::FunctionCode() const {
  return state_->tr->functionCode;
}
std::vector<std::string> Cursor::BindNames() const {
  return state_->tr->bindNames;
}

std::vector<std::string> Cursor::OutBindNames() const {
  const CursorState& c = *state_;
  if (c.tr->kind != StmtKind::PlSql) return c.tr->outBinds;
  // a PL/SQL block writes the binds it assigns and those passed to OUT parameters
  std::vector<std::string> out;
  auto toks = Tokenize(c.sql);
  for (size_t i = 0; i + 1 < toks.size(); ++i) {
    if (toks[i].kind != Tok::Bind) continue;
    bool assigned = toks[i + 1].Is(":=");
    bool into = false;
    for (size_t j = i; j > 0; --j) {
      if (toks[j - 1].Is(",") || toks[j - 1].kind == Tok::Bind) continue;
      into = toks[j - 1].Is("INTO");
      break;
    }
    bool arg = i > 0 && (toks[i - 1].Is("(") || toks[i - 1].Is(",") || toks[i - 1].Is("=>"));
    if ((assigned || into || arg) && std::find(out.begin(), out.end(), toks[i].text) == out.end())
      out.push_back(toks[i].text);
  }
  return out;
}

void Cursor::BindByName(const std::string& name, const Value& v) {
  CursorState& c = *state_;
  std::string k = KnownBind(c, name);
  c.binds[k] = v.kind == Value::Object ? CheckBoundObject(Live(c), v) : v;
  c.arrays.erase(k);
  c.tables.erase(k);
}

void Cursor::BindByPos(int pos, const Value& v) {
  CursorState& c = *state_;
  if (pos < 1 || pos > static_cast<int>(c.tr->bindNames.size())) Raise(1036);
  BindByName(c.tr->bindNames[pos - 1], v);
}

void Cursor::BindArray(const std::string& name, std::vector<Value> values) {
  CursorState& c = *state_;
  std::string k = KnownBind(c, name);
  for (auto& v : values)
    if (v.kind == Value::Object) v = CheckBoundObject(Live(c), v);
  c.binds.erase(k);
  c.tables.erase(k);
  c.arrays[k] = std::move(values);
}

void Cursor::BindTable(const std::string& name, std::vector<Value> values) {
  CursorState& c = *state_;
  std::string k = KnownBind(c, name);
  c.binds.erase(k);
  c.arrays.erase(k);
  c.tables[k] = std::move(values);
}

const std::vector<ColumnDesc>& Cursor::Describe() {
  return state_->tr->columns;
}

namespace {

// Clears the session's "waiting for" mark when a statement ends, however it ends.
struct WaitScope {
  SessionState& s;
  ~WaitScope() { s.StopWaiting(); }
};

bool LockRow(SessionState& s, int64_t obj, int64_t rid) {
  sqlite3_stmt* st = s.Prepared("INSERT OR IGNORE INTO sim$locks(obj_id, rid, sid) VALUES (?, ?, ?)");
  sqlite3_bind_int64(st, 1, obj);
  sqlite3_bind_int64(st, 2, rid);
  sqlite3_bind_int(st, 3, s.sid);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) s.RaiseSqlite(rc);
  st = s.Prepared("SELECT sid FROM sim$locks WHERE obj_id = ? AND rid = ?");
  sqlite3_bind_int64(st, 1, obj);
  sqlite3_bind_int64(st, 2, rid);
  int holder = s.sid;
  if (sqlite3_step(st) == SQLITE_ROW) holder = sqlite3_column_int(st, 0);
  sqlite3_reset(st);
  if (holder != s.sid) s.env.lockHolder = holder;
  return holder == s.sid;
}

void ExecuteLockingSelect(CursorState& c) {
  SessionState& s = *c.session;
  const Translation& tr = *c.tr;
  size_t visible = tr.columns.size();
  WaitScope waiting{s};
  for (;;) {
    s.BeginWrite();
    try {
      c.Prepare();
      c.BindAll(0);
      std::deque<std::vector<Value>> rows;
      std::vector<std::pair<int64_t, int64_t>> locks;
      std::deque<std::vector<std::string>> rowids;
      for (;;) {
        int rc = sqlite3_step(c.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) s.RaiseSqlite(rc);
        std::vector<Value> row(visible);
        for (size_t i = 0; i < visible; ++i)
          row[i] = FromSqlite(c.stmt, static_cast<int>(i), tr.columnTypes[i]);
        size_t before = locks.size();
        for (size_t k = 0; k < tr.lockObjects.size(); ++k) {
          int col = static_cast<int>(visible + k);
          if (tr.lockObjects[k] && sqlite3_column_type(c.stmt, col) != SQLITE_NULL)
            locks.emplace_back(tr.lockObjects[k], sqlite3_column_int64(c.stmt, col));
        }
        rowids.emplace_back();
        for (size_t k = before; k < locks.size(); ++k)
          rowids.back().push_back(RowidText(locks[k].first, locks[k].second));
        rows.push_back(std::move(row));
      }
      sqlite3_reset(c.stmt);
      for (auto& [obj, rid] : locks)
        if (!LockRow(s, obj, rid)) throw LockConflict();
      s.LearnMarks();
      s.CommitWrite();
      c.buffer = std::move(rows);
      c.bufferRowids = std::move(rowids);
      c.buffered = true;
      return;
    } catch (const LockConflict&) {
      if (c.stmt) sqlite3_reset(c.stmt);
      s.RollbackWrite();
      s.WaitForLock(tr.nowait);
    } catch (...) {
      if (c.stmt) sqlite3_reset(c.stmt);
      s.RollbackWrite();
      throw;
    }
  }
}

void ExecuteDml(CursorState& c, int iterations) {
  SessionState& s = *c.session;
  const Translation& tr = *c.tr;
  c.Prepare();
  int64_t done = 0;
  WaitScope waiting{s};
  s.BeginWrite();
  for (int it = 0; it < iterations;) {
    try {
      sqlite3_reset(c.stmt);
      c.BindAll(it);
      for (;;) {
        int rc = sqlite3_step(c.stmt);
        if (rc == SQLITE_ROW) {
          for (size_t k = 0; k < tr.outBinds.size(); ++k)
            c.outs[tr.outBinds[k]].push_back(FromSqlite(c.stmt, static_cast<int>(k), tr.returningTypes[k]));
          c.returnedRowids.push_back(
              RowidText(tr.targetObject, sqlite3_column_int64(c.stmt, static_cast<int>(tr.outBinds.size()))));
          continue;
        }
        if (rc == SQLITE_DONE) break;
        s.RaiseSqlite(rc);
      }
      int changed = sqlite3_changes(s.db);
      done += changed;
      if (tr.kind == StmtKind::Insert && changed > 0)
        c.lastRowid = RowidText(tr.targetObject, sqlite3_last_insert_rowid(s.db));
      else if (changed > 0 && !c.returnedRowids.empty())
        c.lastRowid = c.returnedRowids.back();
      sqlite3_reset(c.stmt);
      ++it;
    } catch (const LockConflict&) {
      sqlite3_reset(c.stmt);  // (RETURNING rows come only from a completed statement)
      s.CommitWrite();
      try {
        s.WaitForLock(false);
      } catch (...) {
        c.rowCount = done;
        throw;
      }
      s.BeginWrite();
    } catch (...) {
      sqlite3_reset(c.stmt);
      c.rowCount = done;
      s.CommitWrite();
      throw;
    }
  }
  s.LearnMarks();
  s.CommitWrite();
  c.rowCount = done;
}

}  // namespace

void Cursor::Execute(int iterations) {
  CursorState& c = *state_;
  SessionState& s = Live(c);
  std::lock_guard<std::mutex> lock(s.mu);
  s.CheckConnected();
  s.StatementStart();
  c.tr = s.TranslateCached(c.sql);
  live::OnCallStart(s, c);
  try {
    if (c.tr->readsLive) {
      // The statement reads the instance's sessions: those whose program has ended are gone.
      s.DropSessionsOfEndedProcesses();
      live::Flush(s);  // and what this process's sessions did
    }
    RunCursor(c, iterations);
  } catch (...) {
    if (s.cut.load() == 0) live::OnCallEnd(s, c, true);
    throw;
  }
  live::OnCallEnd(s, c, false);
}

void RunCursor(CursorState& c, int iterations) {
  SessionState& s = *c.session;
  c.Reset();
  c.outs.clear();
  c.rowCount = 0;
  c.lastRowid.clear();
  c.returnedRowids.clear();
  c.returnedRows.clear();
  c.executed = true;
  if (iterations < 1) iterations = 1;
  switch (c.tr->kind) {
    case StmtKind::Select:
      if (c.tr->writes) {
        ExecuteLockingSelect(c);
      } else {
        c.Prepare();
        c.BindAll(0);
        c.rowsOpen = true;
      }
      break;
    case StmtKind::Insert:
    case StmtKind::Update:
    case StmtKind::Delete:
      ExecuteDml(c, iterations);
      break;
    case StmtKind::PlSql:
      s.ExecutePlSql(c);
      break;
    case StmtKind::Ddl:
      s.ExecuteDdl(*c.tr->statement);
      break;
    case StmtKind::Other:
      s.ExecuteOther(*c.tr->statement);
      break;
  }
}

bool Cursor::Fetch(std::vector<Value>& row) {
  CursorState& c = *state_;
  SessionState& s = Live(c);
  std::lock_guard<std::mutex> lock(s.mu);
  if (s.cut.load() != 0) s.CheckConnected();
  if (!c.executed || c.tr->kind != StmtKind::Select) Raise(1002);
  bool got = c.StepRow(row);
  if (c.livePending) live::OnFetch(s, c, got);
  return got;
}

int64_t Cursor::RowCount() const {
  return state_->rowCount;
}

bool Cursor::RefCursor(const std::string& name, std::string& sql, std::map<std::string, Value>& binds) const {
  auto it = state_->refCursors.find(BindKey(name));
  if (it == state_->refCursors.end()) return false;
  sql = it->second.first;
  binds = it->second.second;
  return true;
}

const std::vector<std::string>& Cursor::LockedRowids() const {
  return state_->lastRowids;
}

bool ReturnedRowOf(const CursorState& c, const std::string& k, ColumnDesc& column, std::string& rowid) {
  auto in = c.returnedRows.find(k);
  if (in != c.returnedRows.end()) {
    column = in->second.first;
    rowid = in->second.second;
    return true;
  }
  if (!c.tr || c.returnedRowids.empty()) return false;
  const Translation& tr = *c.tr;
  for (size_t i = 0; i < tr.outBinds.size() && i < tr.returningColumns.size(); ++i) {
    if (tr.outBinds[i] != k || tr.returningColumns[i].empty()) continue;
    size_t dot = tr.targetKey.find('.');
    column = ColumnDesc();
    column.name = tr.returningColumns[i];
    column.schema = tr.targetKey.substr(0, dot);
    column.table = tr.targetKey.substr(dot + 1);
    rowid = c.returnedRowids.back();
    return true;
  }
  return false;
}

bool Cursor::ReturnedRow(const std::string& name, ColumnDesc& column, std::string& rowid) const {
  return ReturnedRowOf(*state_, BindKey(name), column, rowid);
}

const std::string& Cursor::LastRowid() const {
  return state_->lastRowid;
}

void Cursor::CheckConnected() {
  CursorState& c = *state_;
  if (!c.session) return;
  std::lock_guard<std::mutex> lock(c.session->mu);
  c.session->CheckConnected();
}

void Cursor::CloseRows() {
  CursorState& c = *state_;
  if (!c.session) return;
  std::lock_guard<std::mutex> lock(c.session->mu);
  c.Reset();
}

Value Cursor::OutValue(const std::string& name) const {
  const CursorState& c = *state_;
  std::string k = BindKey(name);
  auto it = c.outs.find(k);
  if (it != c.outs.end() && !it->second.empty()) return it->second.back();
  if (std::find(c.tr->bindNames.begin(), c.tr->bindNames.end(), k) == c.tr->bindNames.end()) Raise(1036);
  if (it != c.outs.end()) return Value();
  auto b = c.binds.find(k);
  return b == c.binds.end() ? Value() : b->second;
}

std::vector<Value> Cursor::OutArray(const std::string& name) const {
  const CursorState& c = *state_;
  std::string k = BindKey(name);
  auto it = c.outs.find(k);
  if (it != c.outs.end()) return it->second;
  if (std::find(c.tr->bindNames.begin(), c.tr->bindNames.end(), k) == c.tr->bindNames.end()) Raise(1036);
  auto t = c.tables.find(k);
  return t == c.tables.end() ? std::vector<Value>() : t->second;
}

}  // namespace oracle_sim
