// Statements: prepare, bind, define, execute, fetch, describe and piecewise data.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "oracle_sim/OciConvert.h"
#include "oracle_sim/OciInternal.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

std::mutex statementLock;
const Value kNullValue;
std::unordered_set<OCIStmt*>& Statements() {
  static std::unordered_set<OCIStmt*> statements;
  return statements;
}

// The first keyword of a statement, past blanks, comments and opening parentheses.
std::string FirstKeyword(const std::string& sql) {
  size_t i = 0, n = sql.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isspace(c) || c == '(') {
      ++i;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      i = sql.find('\n', i);
      if (i == std::string::npos) return std::string();
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      i = sql.find("*/", i + 2);
      if (i == std::string::npos) return std::string();
      i += 2;
    } else {
      break;
    }
  }
  size_t start = i;
  while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_')) ++i;
  return UpperCase(sql.substr(start, i - start));
}

ub2 StatementType(const std::string& sql) {
  std::string k = FirstKeyword(sql);
  if (k == "SELECT" || k == "WITH") return OCI_STMT_SELECT;
  if (k == "UPDATE") return OCI_STMT_UPDATE;
  if (k == "DELETE") return OCI_STMT_DELETE;
  if (k == "INSERT") return OCI_STMT_INSERT;
  if (k == "CREATE") return OCI_STMT_CREATE;
  if (k == "DROP") return OCI_STMT_DROP;
  if (k == "ALTER") return OCI_STMT_ALTER;
  if (k == "BEGIN") return OCI_STMT_BEGIN;
  if (k == "DECLARE") return OCI_STMT_DECLARE;
  return 0;
}

std::string BindName(const std::string& placeholder) {
  std::string n = placeholder;
  if (!n.empty() && n[0] == ':') n.erase(0, 1);
  if (n.size() >= 2 && n.front() == '"' && n.back() == '"') return n.substr(1, n.size() - 2);
  return UpperCase(n);
}

template <typename T>
T* At(dvoid* base, ub4 skip, ub4 index) {
  return base ? reinterpret_cast<T*>(static_cast<char*>(base) + static_cast<size_t>(skip) * index) : nullptr;
}

ub4 Stride(ub4 skip, size_t natural) {
  return skip ? skip : static_cast<ub4>(natural);
}

// The external types whose buffer holds a descriptor address (timestamps, LOBs) and the others.
Value ReadValue(ub2 dty, const void* buf, ub4 length, bool given) {
  if (dty == SQLT_RSET || dty == SQLT_CUR) return Value();  // a cursor variable brings no value in
  if (dty == SQLT_TIMESTAMP || dty == SQLT_TIMESTAMP_TZ || dty == SQLT_TIMESTAMP_LTZ)
    return ReadDateTimeDescriptor(dty, buf, length);
  if (IsLobType(dty)) return ReadLobLocator(dty, buf, length);
  return ReadExternal(dty, buf, length, given);
}

WriteOutcome WriteValue(ub2 dty, const Value& v, void* buf, ub4 size) {
  if (dty == SQLT_RSET || dty == SQLT_CUR) return WriteOutcome{size, size, 0};  // see OpenCursorVariables
  if (dty == SQLT_TIMESTAMP || dty == SQLT_TIMESTAMP_TZ || dty == SQLT_TIMESTAMP_LTZ)
    return WriteDateTimeDescriptor(dty, v, buf, size);
  if (IsLobType(dty)) return WriteLobLocator(dty, v, buf, size);
  return WriteExternal(dty, v, buf, size);
}

// The value of element `i` of a bind, read from the program's buffers (or its callback).
Value ReadBindElement(OCIStmt* st, OCIBind* b, ub4 i) {
  if (b->AtExec()) {
    if (b->inCallback) {
      std::string data;
      bool isNull = false;
      for (;;) {
        dvoid* buf = nullptr;
        ub4 alen = 0;
        ub1 piece = OCI_FIRST_PIECE;
        dvoid* ind = nullptr;
        sb4 rc = b->inCallback(b->inContext, b, i, 0, &buf, &alen, &piece, &ind);
        if (rc != OCI_CONTINUE) throw MakeError(24343, "user defined callback error");
        if (ind && *static_cast<sb2*>(ind) == -1) isNull = true;
        if (buf && alen > 0) data.append(static_cast<const char*>(buf), alen);
        if (piece == OCI_ONE_PIECE || piece == OCI_LAST_PIECE || piece > OCI_LAST_PIECE) break;
      }
      if (isNull) return Value();
      return ReadExternal(b->dty, data.data(), static_cast<ub4>(data.size()), true);
    }
    auto it = st->pieces.values.find(b);
    return it == st->pieces.values.end() ? Value() : it->second;
  }
  sb2* ind = b->indp ? At<sb2>(b->indp, Stride(b->indSkip, sizeof(sb2)), i) : nullptr;
  if (ind && *ind <= -1) return Value();
  if (IsObjectType(b->dty)) return ReadObjectBind(st, b, i);
  if (!b->valuep) return Value();
  ub4 stride = Stride(b->valueSkip, static_cast<size_t>(std::max<sb4>(b->valueSize, 0)));
  ub4 length = static_cast<ub4>(std::max<sb4>(b->valueSize, 0));
  bool given = false;
  if (b->alenp) {
    length = *At<ub2>(b->alenp, Stride(b->alenSkip, sizeof(ub2)), i);
    given = true;
  }
  return ReadValue(b->dty, At<char>(b->valuep, stride, i), length, given);
}

struct CellOutcome {
  bool truncated = false;
};

// Stores one value into element `i` of a program's buffers (value, indicator, length, return code).
CellOutcome WriteElement(ub2 dty, const Value& v, dvoid* valuep, sb4 valueSize, ub4 valueStride, dvoid* indp,
                         ub4 indStride, ub2* lenp, ub4 lenStride, ub2* rcodep, ub4 rcodeStride, ub4 i) {
  sb2* ind = indp ? At<sb2>(indp, indStride, i) : nullptr;
  ub2* len = lenp ? At<ub2>(lenp, lenStride, i) : nullptr;
  ub2* rcode = rcodep ? At<ub2>(rcodep, rcodeStride, i) : nullptr;
  if (v.IsNull()) {
    if (!ind) throw MakeError(1405, "fetched column value is NULL");
    *ind = -1;
    if (len) *len = 0;
    if (rcode) *rcode = 1405;
    return {};
  }
  if (!valuep) return {};
  WriteOutcome o =
      WriteValue(dty, v, At<char>(valuep, valueStride, i), static_cast<ub4>(std::max<sb4>(valueSize, 0)));
  if (ind) *ind = o.rcode ? static_cast<sb2>(o.fullLength <= 32767 ? o.fullLength : -2) : 0;
  if (len) *len = static_cast<ub2>(std::min<ub4>(o.length, 65535));
  if (rcode) *rcode = static_cast<ub2>(o.rcode);
  return CellOutcome{o.rcode != 0};
}

// A LONG or LONG RAW value handed to the program's define callback piece by piece.
void WritePieces(OCIDefine* d, ub4 row, const Value& v) {
  std::string scratch;
  const std::string* data = &scratch;
  if (!v.IsNull()) {
    if (v.kind == Value::Text || v.kind == Value::Bytes) {
      data = &v.s;
    } else {
      scratch = ValueText(v);
    }
  }
  size_t done = 0;
  ub1 piece = OCI_FIRST_PIECE;
  for (;;) {
    dvoid* buf = nullptr;
    ub4* alen = nullptr;
    dvoid* ind = nullptr;
    ub2* rcode = nullptr;
    sb4 rc = d->callback(d->context, d, row, &buf, &alen, &piece, &ind, &rcode);
    if (rc != OCI_CONTINUE) throw MakeError(24343, "user defined callback error");
    if (v.IsNull()) {
      if (ind) *static_cast<sb2*>(ind) = -1;
      if (alen) *alen = 0;
      if (rcode) *rcode = 1405;
      return;
    }
    ub4 capacity = alen ? *alen : 0;
    size_t n = std::min<size_t>(capacity, data->size() - done);
    if (buf && n > 0) std::memcpy(buf, data->data() + done, n);
    if (alen) *alen = static_cast<ub4>(n);
    if (ind) *static_cast<sb2*>(ind) = 0;
    if (rcode) *rcode = 0;
    done += n;
    if (done >= data->size() || n == 0) return;
    piece = OCI_NEXT_PIECE;
  }
}

// OUT values of a bind after an execution, element `i`.
CellOutcome WriteBindElement(OCIStmt* st, OCIBind* b, const Value& v, ub4 i) {
  if (IsObjectType(b->dty)) {
    WriteObjectBind(st, b, v, i);
    return {};
  }
  if (b->outCallback) {
    std::string text =
        v.IsNull() ? std::string() : (v.kind == Value::Text || v.kind == Value::Bytes ? v.s : ValueText(v));
    size_t done = 0;
    ub1 piece = OCI_ONE_PIECE;
    for (;;) {
      dvoid* buf = nullptr;
      ub4* alen = nullptr;
      dvoid* ind = nullptr;
      ub2* rcode = nullptr;
      sb4 rc = b->outCallback(b->outContext, b, i, 0, &buf, &alen, &piece, &ind, &rcode);
      if (rc != OCI_CONTINUE) throw MakeError(24343, "user defined callback error");
      if (v.IsNull()) {
        if (ind) *static_cast<sb2*>(ind) = -1;
        if (alen) *alen = 0;
        return {};
      }
      ub4 capacity = alen ? *alen : 0;
      if (!IsLongType(b->dty) && b->dty != SQLT_CHR && b->dty != SQLT_BIN) {
        // Fixed-form types are written whole into the piece buffer.
        CellOutcome o =
            WriteElement(b->dty, v, buf, static_cast<sb4>(capacity), 0, ind, 0, nullptr, 0, rcode, 0, 0);
        if (alen) *alen = capacity;
        return o;
      }
      size_t n = std::min<size_t>(capacity, text.size() - done);
      if (buf && n > 0) std::memcpy(buf, text.data() + done, n);
      if (alen) *alen = static_cast<ub4>(n);
      if (ind) *static_cast<sb2*>(ind) = 0;
      done += n;
      if (done >= text.size() || n == 0) return {};
      piece = OCI_NEXT_PIECE;
    }
  }
  ub4 stride = Stride(b->valueSkip, static_cast<size_t>(std::max<sb4>(b->valueSize, 0)));
  return WriteElement(b->dty, v, b->valuep, b->valueSize, stride, b->indp, Stride(b->indSkip, sizeof(sb2)),
                      b->alenp, Stride(b->alenSkip, sizeof(ub2)), b->rcodep,
                      Stride(b->rcodeSkip, sizeof(ub2)), i);
}

void SendScalar(Cursor& c, OCIBind* b, const Value& v) {
  if (b->name.empty()) {
    c.BindByPos(static_cast<int>(b->position), v);
  } else {
    c.BindByName(b->name, v);
  }
}

std::string EngineName(Cursor& c, OCIBind* b) {
  if (!b->name.empty()) return b->name;
  std::vector<std::string> names = c.BindNames();
  if (b->position < 1 || b->position > names.size()) throw MakeError(1036, "illegal variable name/number");
  return names[b->position - 1];
}

bool IsOut(const std::vector<std::string>& outs, const std::string& name) {
  return std::find(outs.begin(), outs.end(), name) != outs.end();
}

// Sends the binds of one iteration (PL/SQL tables whole) to the engine.
void SendBinds(OCIStmt* st, ub4 iteration) {
  Cursor& c = *st->cursor;
  for (auto& b : st->binds) {
    if (b->IsPlsqlTable()) {
      std::vector<Value> values;
      ub4 n = std::min(*b->curelep, b->maxarrLen);
      values.reserve(n);
      for (ub4 k = 0; k < n; ++k) values.push_back(ReadBindElement(st, b.get(), k));
      c.BindTable(EngineName(c, b.get()), std::move(values));
    } else {
      SendScalar(c, b.get(), ReadBindElement(st, b.get(), iteration));
    }
  }
}

// Writes OUT binds back after iteration `iteration`; true when a value was truncated.
bool ReceiveBinds(OCIStmt* st, ub4 iteration) {
  Cursor& c = *st->cursor;
  std::vector<std::string> outs = c.OutBindNames();
  if (outs.empty()) return false;
  bool truncated = false;
  for (auto& b : st->binds) {
    std::string name = EngineName(c, b.get());
    if (!IsOut(outs, name)) continue;
    if (b->IsPlsqlTable()) {
      std::vector<Value> values = c.OutArray(name);
      ub4 n = std::min<ub4>(static_cast<ub4>(values.size()), b->maxarrLen);
      for (ub4 k = 0; k < n; ++k) truncated |= WriteBindElement(st, b.get(), values[k], k).truncated;
      *b->curelep = n;
    } else {
      Value v = c.OutValue(name);
      truncated |= WriteBindElement(st, b.get(), v, iteration).truncated;
      if (IsLobType(b->dty) && !v.IsNull() && b->valuep && !b->outCallback)
        AttachReturnedLob(
            st,
            At<char>(b->valuep, Stride(b->valueSkip, static_cast<size_t>(std::max<sb4>(b->valueSize, 0))),
                     iteration),
            name);
    }
  }
  return truncated;
}

// Target (a statement handle of the program) runs Sql with Values bound, ready to be fetched.
void OpenCursorInto(OCIStmt* target, OCISvcCtx* svc, const std::string& sql,
                    const std::map<std::string, Value>& values) {
  if (!IsHandle(target, OCI_HTYPE_STMT)) throw MakeError(1001, "invalid cursor");
  PrepareStatement(target, sql);
  ParseNow(target, svc);
  for (auto& [name, v] : values) target->cursor->BindByName(name, v);
  target->cursor->Execute(1);
  target->executed = true;
  target->endOfFetch = false;
  target->rowCount = 0;
  target->rowsFetched = 0;
  target->lastRow.clear();
}

// The statement handles bound as cursor variables get the queries the block opened for them.
void OpenCursorVariables(OCISvcCtx* svc, OCIStmt* st) {
  Cursor& c = *st->cursor;
  if (c.Kind() != StmtKind::PlSql) return;
  for (auto& b : st->binds) {
    if ((b->dty != SQLT_RSET && b->dty != SQLT_CUR) || !b->valuep) continue;
    std::string sql;
    std::map<std::string, Value> values;
    if (!c.RefCursor(EngineName(c, b.get()), sql, values)) continue;
    // A statement handle (handle API) or a cursor data area (host calls) receives the query.
    OCIStmt* target = nullptr;
    if (b->dty == SQLT_CUR)
      target = HostCursorStatement(b->valuep);
    else
      std::memcpy(&target, b->valuep, sizeof target);
    OpenCursorInto(target, svc, sql, values);
    if (b->indp) *static_cast<sb2*>(b->indp) = 0;
  }
}

// A cursor column: the row's statement handle (the program's) runs the column's query.
void OpenRowCursor(OCIStmt* st, OCIDefine* d, ub4 row, size_t col) {
  const ColumnDesc& column = st->cursor->Describe()[col];
  OCIStmt* target = nullptr;
  std::memcpy(&target, static_cast<const char*>(d->valuep) + row * Stride(d->valueSkip, sizeof target),
              sizeof target);
  OpenCursorInto(target, st->svc, column.cursorQuery, {});
  if (d->indp)
    *reinterpret_cast<sb2*>(static_cast<char*>(d->indp) + row * Stride(d->indSkip, sizeof(sb2))) = 0;
}

bool HasLongColumn(OCIStmt* st) {
  for (const ColumnDesc& d : st->cursor->Describe())
    if (d.type == Ty::Long || d.type == Ty::LongRaw) return true;
  return false;
}

sword RunStatement(OCISvcCtx* svc, OCIStmt* st, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode) {
  Session* es = svc->Engine();
  Cursor& c = *st->cursor;
  FlushLobs(es);
  if (c.Kind() == StmtKind::Select) {
    SendBinds(st, 0);
    st->executed = false;
    st->endOfFetch = false;
    st->fetchedSinceExecute = false;
    st->rowCount = 0;
    st->rowsFetched = 0;
    st->lastRow.clear();
    c.Execute(1);
    st->executed = true;
    if (iters > 0) return FetchRows(st, err, iters);
    return OCI_SUCCESS;
  }
  if (iters == 0) throw MakeError(24333, "zero iteration count");
  if (rowoff >= iters) throw MakeError(24333, "zero iteration count");  // runs iters - rowoff times
  st->executed = false;
  st->rowCount = 0;
  std::memset(st->lastRowid.bytes, 0, sizeof st->lastRowid.bytes);
  st->lastRowid.text.clear();
  bool truncated = false;
  for (ub4 i = rowoff; i < iters; ++i) {
    SendBinds(st, i);
    try {
      c.Execute(1);
    } catch (OraError& e) {
      st->rowCount += static_cast<ub4>(std::max<int64_t>(c.RowCount(), 0));
      if (err) err->dmlRowOffset = i;
      throw;
    }
    st->rowCount += static_cast<ub4>(std::max<int64_t>(c.RowCount(), 0));
    if (!c.LastRowid().empty()) FillRowid(st->lastRowid, c.LastRowid());
    truncated |= ReceiveBinds(st, i);
    OpenCursorVariables(svc, st);
    if (c.Kind() == StmtKind::Ddl || c.Kind() == StmtKind::Other) break;  // runs once whatever the count
  }
  if (mode & OCI_COMMIT_ON_SUCCESS) {
    es->Commit();
    ReleaseObjectLocks(svc);
  }
  if (truncated) {
    SetError(err, 1406, "fetched column value was truncated");
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

}  // namespace

OCIStmt::OCIStmt(OCIEnv* e) : HandleBase(OCI_HTYPE_STMT, e) {
  std::lock_guard<std::mutex> g(statementLock);
  Statements().insert(this);
}

OCIStmt::~OCIStmt() {
  {
    std::lock_guard<std::mutex> g(statementLock);
    Statements().erase(this);
  }
  cursor.reset();
}

namespace oracle_sim::oci {

void CloseStatementsOf(Session* session) {
  ForgetLobs(session);
  std::lock_guard<std::mutex> g(statementLock);
  for (OCIStmt* st : Statements())
    if (st->parsedOn == session) ReleaseCursor(st);
}

void ReleaseCursor(OCIStmt* st) {
  st->cursor.reset();
  st->parsedOn = nullptr;
  st->executed = false;
  st->params.clear();
}

ub2 FunctionCode(const OCIStmt* st) {
  if (st->cursor) {
    switch (st->cursor->Kind()) {
      case StmtKind::Select:
        return TALVIK_FNCODE_SELECT;
      case StmtKind::Insert:
        return TALVIK_FNCODE_INSERT;
      case StmtKind::Update:
        return TALVIK_FNCODE_UPDATE;
      case StmtKind::Delete:
        return TALVIK_FNCODE_DELETE;
      case StmtKind::PlSql:
        return TALVIK_FNCODE_PLSQL;
      default:
        return 0;
    }
  }
  switch (st->stmtType) {
    case OCI_STMT_SELECT:
      return TALVIK_FNCODE_SELECT;
    case OCI_STMT_INSERT:
      return TALVIK_FNCODE_INSERT;
    case OCI_STMT_UPDATE:
      return TALVIK_FNCODE_UPDATE;
    case OCI_STMT_DELETE:
      return TALVIK_FNCODE_DELETE;
    case OCI_STMT_BEGIN:
    case OCI_STMT_DECLARE:
      return TALVIK_FNCODE_PLSQL;
    default:
      return 0;
  }
}

void PrepareStatement(OCIStmt* st, const std::string& sql) {
  ReleaseCursor(st);
  st->sql = sql;
  st->prepared = true;
  st->stmtType = StatementType(sql);
  st->binds.clear();
  st->defines.clear();
  st->pieces = OCIStmt::PieceState();
  st->rowCount = 0;
  st->rowsFetched = 0;
  st->parseErrorOffset = 0;
  st->endOfFetch = false;
  st->lastRow.clear();
}

void ParseNow(OCIStmt* st, OCISvcCtx* svc) {
  if (!st->prepared) throw MakeError(24337, "statement handle not prepared");
  Session* es = svc ? svc->Engine() : nullptr;
  if (!es) throw MakeError(1012, "not logged on");
  st->svc = svc;
  if (st->cursor && st->parsedOn == es) return;
  ReleaseCursor(st);
  st->parseErrorOffset = 0;
  try {
    st->cursor = es->Prepare(st->sql);
  } catch (const OraError& e) {
    st->parseErrorOffset = static_cast<ub2>(std::clamp(e.offset, 0, 65535));
    throw;
  }
  st->parsedOn = es;
}

sword ExecuteStatement(OCISvcCtx* svc, OCIStmt* st, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode) {
  OCIStmt::PieceState& ps = st->pieces;
  if (ps.active) {
    // Another call of a piecewise execution: take the piece just given.
    if (ps.complete) {
      OCIBind* b = ps.pending[ps.current];
      ps.values[b] =
          ps.isNull ? Value() : ReadExternal(b->dty, ps.data.data(), static_cast<ub4>(ps.data.size()), true);
      ps.data.clear();
      ps.isNull = false;
      ps.complete = false;
      ps.nextPiece = OCI_FIRST_PIECE;
      ++ps.current;
    } else {
      ps.nextPiece = OCI_NEXT_PIECE;
    }
    if (ps.current < ps.pending.size()) return OCI_NEED_DATA;
    iters = ps.iters;
    rowoff = ps.rowoff;
    mode = ps.mode;
    ps.active = false;
    sword rc = OCI_SUCCESS;
    try {
      rc = RunStatement(svc, st, err, iters, rowoff, mode);
    } catch (...) {
      ps.values.clear();
      throw;
    }
    ps.values.clear();
    return rc;
  }
  ParseNow(st, svc);
  if (mode & OCI_DESCRIBE_ONLY) {
    st->cursor->Describe();
    st->executed = false;
    return OCI_SUCCESS;
  }
  std::vector<OCIBind*> pending;
  for (auto& b : st->binds)
    if (b->AtExec() && !b->inCallback) pending.push_back(b.get());
  if (!pending.empty()) {
    if (st->cursor->Kind() != StmtKind::Select && iters > 1) throw MakeError(3001, "unimplemented feature");
    ps = OCIStmt::PieceState();
    ps.active = true;
    ps.pending = std::move(pending);
    ps.iters = iters;
    ps.rowoff = rowoff;
    ps.mode = mode;
    return OCI_NEED_DATA;
  }
  return RunStatement(svc, st, err, iters, rowoff, mode);
}

sword FetchRows(OCIStmt* st, OCIError* err, ub4 nrows) {
  if (!st->cursor || !st->executed) throw MakeError(1002, "fetch out of sequence");
  st->rowsFetched = 0;
  if (nrows == 0) {  // cancels the cursor
    st->cursor->CloseRows();
    st->endOfFetch = true;
    return OCI_SUCCESS;
  }
  Cursor& c = *st->cursor;
  // each further fetch call is a round trip: a line cut since the last one fails it
  if (st->fetchedSinceExecute && !st->endOfFetch) c.CheckConnected();
  st->fetchedSinceExecute = true;
  const size_t columns = c.Describe().size();
  const bool keepRow = HasLongColumn(st);
  bool truncated = false;
  std::vector<Value>& row = st->lastRow;
  std::vector<Value> scratch;
  ub4 r = 0;
  for (; r < nrows && !st->endOfFetch; ++r) {
    std::vector<Value>& target = keepRow ? row : scratch;
    if (!c.Fetch(target)) {
      st->endOfFetch = true;
      break;
    }
    for (size_t col = 0; col < columns && col < st->defines.size(); ++col) {
      OCIDefine* d = st->defines[col].get();
      if (!d) continue;
      const Value& v = col < target.size() ? target[col] : kNullValue;
      try {
        if ((d->mode & OCI_DYNAMIC_FETCH) && d->callback) {
          WritePieces(d, r, v);
        } else if (IsObjectType(d->dty)) {
          WriteObjectDefine(st, d, r, v, col);
        } else if (d->dty == SQLT_RSET) {
          OpenRowCursor(st, d, r, col);
        } else {
          ub4 stride = Stride(d->valueSkip, static_cast<size_t>(std::max<sb4>(d->valueSize, 0)));
          truncated |=
              WriteElement(d->dty, v, d->valuep, d->valueSize, stride, d->indp,
                           Stride(d->indSkip, sizeof(sb2)), d->rlenp, Stride(d->rlenSkip, sizeof(ub2)),
                           d->rcodep, Stride(d->rcodeSkip, sizeof(ub2)), r)
                  .truncated;
          if (IsLobType(d->dty)) AttachLobRow(st, d, r, v, col);
        }
      } catch (const OraError&) {
        st->rowsFetched = r;
        st->rowCount += r;
        throw;
      }
    }
  }
  st->rowsFetched = r;
  st->rowCount += r;
  if (r < nrows) {
    SetError(err, 1403, "no data found");
    return OCI_NO_DATA;
  }
  if (truncated) {
    SetError(err, 1406, "fetched column value was truncated");
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

}  // namespace oracle_sim::oci

// ------------------------------------------------------------------------------------------------
// Entry points

namespace {

OCIBind* FindOrAddBind(OCIStmt* st, const std::string& name, ub4 position) {
  for (auto& b : st->binds) {
    if (!name.empty() ? b->name == name : (b->name.empty() && b->position == position)) return b.get();
  }
  st->binds.push_back(std::make_unique<OCIBind>(st->env, st));
  OCIBind* b = st->binds.back().get();
  b->name = name;
  b->position = position;
  return b;
}

sword Bind(OCIStmt* st, OCIBind** bindp, OCIError* err, const std::string& name, ub4 position, dvoid* valuep,
           sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep,
           ub4 mode) {
  return Guard(err, [&]() -> sword {
    if (!st->prepared) throw MakeError(24337, "statement handle not prepared");
    if (name.empty() && position == 0) throw MakeError(1036, "illegal variable name/number");
    OCIBind* b = FindOrAddBind(st, name, position);
    b->valueSkip = b->indSkip = b->alenSkip = b->rcodeSkip = 0;
    b->inContext = b->outContext = nullptr;
    b->inCallback = nullptr;
    b->outCallback = nullptr;
    b->valuep = valuep;
    b->valueSize = value_sz;
    b->dty = dty;
    b->indp = indp;
    b->alenp = alenp;
    b->rcodep = rcodep;
    b->maxarrLen = maxarr_len;
    b->curelep = curelep;
    b->mode = mode;
    if (bindp) *bindp = b;
    return OCI_SUCCESS;
  });
}

}  // namespace

extern "C" {

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const text* stmt, ub4 stmt_len, ub4, ub4) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    PrepareStatement(stmtp, ArgText(stmt, static_cast<sb4>(stmt_len)));
    return OCI_SUCCESS;
  });
}

sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmthp, OCIError* errhp, const OraText* stmttext,
                      ub4 stmt_len, const OraText*, ub4, ub4, ub4) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !stmthp) return OCI_INVALID_HANDLE;
  *stmthp = nullptr;
  auto st = std::make_unique<OCIStmt>(svchp->env);
  sword rc = Guard(errhp, [&]() -> sword {
    PrepareStatement(st.get(), ArgText(stmttext, static_cast<sb4>(stmt_len)));
    st->svc = svchp;
    st->fromPrepare2 = true;
    return OCI_SUCCESS;
  });
  if (rc == OCI_SUCCESS) {
    std::lock_guard<std::mutex> g(svchp->env->lock);
    svchp->env->children.insert(st.get());
    *stmthp = st.release();
  }
  return rc;
}

sword OCIStmtRelease(OCIStmt* stmtp, OCIError*, const OraText*, ub4, ub4) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  {
    std::lock_guard<std::mutex> g(stmtp->env->lock);
    stmtp->env->children.erase(stmtp);
  }
  delete stmtp;
  return OCI_SUCCESS;
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const text* placeholder, sb4 placeh_len,
                    dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep,
                    ub4 maxarr_len, ub4* curelep, ub4 mode) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  std::string name = BindName(ArgText(placeholder, placeh_len));
  if (name.empty()) {
    SetError(errhp, 1036, "illegal variable name/number");
    return OCI_ERROR;
  }
  return Bind(stmtp, bindp, errhp, name, 0, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, curelep,
              mode);
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, dvoid* valuep,
                   sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep,
                   ub4 mode) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  return Bind(stmtp, bindp, errhp, std::string(), position, valuep, value_sz, dty, indp, alenp, rcodep,
              maxarr_len, curelep, mode);
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, dvoid* ictxp, OCICallbackInBind icbfp, dvoid* octxp,
                     OCICallbackOutBind ocbfp) {
  if (!IsHandle(bindp, OCI_HTYPE_BIND)) return OCI_INVALID_HANDLE;
  if (!bindp->AtExec()) {
    SetError(errhp, 3001, "unimplemented feature");
    return OCI_ERROR;
  }
  bindp->inContext = ictxp;
  bindp->inCallback = icbfp;
  bindp->outContext = octxp;
  bindp->outCallback = ocbfp;
  return OCI_SUCCESS;
}

sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError*, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip) {
  if (!IsHandle(bindp, OCI_HTYPE_BIND)) return OCI_INVALID_HANDLE;
  bindp->valueSkip = pvskip;
  bindp->indSkip = indskip;
  bindp->alenSkip = alskip;
  bindp->rcodeSkip = rcskip;
  return OCI_SUCCESS;
}

sword OCIStmtGetPieceInfo(OCIStmt* stmtp, OCIError* errhp, dvoid** hndlpp, ub4* typep, ub1* in_outp,
                          ub4* iterp, ub4* idxp, ub1* piecep) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  OCIStmt::PieceState& ps = stmtp->pieces;
  if (!ps.active || ps.current >= ps.pending.size()) {
    SetError(errhp, 1002, "fetch out of sequence");
    return OCI_ERROR;
  }
  if (hndlpp) *hndlpp = ps.pending[ps.current];
  if (typep) *typep = OCI_HTYPE_BIND;
  if (in_outp) *in_outp = OCI_PARAM_IN;
  if (iterp) *iterp = 0;
  if (idxp) *idxp = 0;
  if (piecep) *piecep = ps.nextPiece;
  return OCI_SUCCESS;
}

sword OCIStmtSetPieceInfo(dvoid* hndlp, ub4 type, OCIError* errhp, const dvoid* bufp, ub4* alenp, ub1 piece,
                          const dvoid* indp, ub2*) {
  if (type != OCI_HTYPE_BIND || !IsHandle(hndlp, OCI_HTYPE_BIND)) return OCI_INVALID_HANDLE;
  auto* b = static_cast<OCIBind*>(hndlp);
  OCIStmt::PieceState& ps = b->stmt->pieces;
  if (!ps.active || ps.current >= ps.pending.size() || ps.pending[ps.current] != b) {
    SetError(errhp, 1002, "fetch out of sequence");
    return OCI_ERROR;
  }
  if (indp && *static_cast<const sb2*>(indp) == -1) ps.isNull = true;
  if (bufp && alenp && *alenp > 0) ps.data.append(static_cast<const char*>(bufp), *alenp);
  ps.complete = piece == OCI_ONE_PIECE || piece == OCI_LAST_PIECE;
  return OCI_SUCCESS;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot*, OCISnapshot*, ub4 mode) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword { return ExecuteStatement(svchp, stmtp, errhp, iters, rowoff, mode); });
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, dvoid* valuep,
                     sb4 value_sz, ub2 dty, dvoid* indp, ub2* rlenp, ub2* rcodep, ub4 mode) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (position == 0 || position > 1000) throw MakeError(1007, "variable not in select list");
    if (stmtp->defines.size() < position) stmtp->defines.resize(position);
    auto& slot = stmtp->defines[position - 1];
    slot = std::make_unique<OCIDefine>(stmtp->env, stmtp);
    OCIDefine* d = slot.get();
    d->position = position;
    d->valuep = valuep;
    d->valueSize = value_sz;
    d->dty = dty;
    d->indp = indp;
    d->rlenp = rlenp;
    d->rcodep = rcodep;
    d->mode = mode;
    if (defnp) *defnp = d;
    return OCI_SUCCESS;
  });
}

sword OCIDefineDynamic(OCIDefine* defnp, OCIError*, dvoid* octxp, OCICallbackDefine ocbfp) {
  if (!IsHandle(defnp, OCI_HTYPE_DEFINE)) return OCI_INVALID_HANDLE;
  defnp->context = octxp;
  defnp->callback = ocbfp;
  return OCI_SUCCESS;
}

sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError*, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip) {
  if (!IsHandle(defnp, OCI_HTYPE_DEFINE)) return OCI_INVALID_HANDLE;
  defnp->valueSkip = pvskip;
  defnp->indSkip = indskip;
  defnp->rlenSkip = rlskip;
  defnp->rcodeSkip = rcskip;
  return OCI_SUCCESS;
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4) {
  if (!IsHandle(stmtp, OCI_HTYPE_STMT)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT)
      throw MakeError(3001, "unimplemented feature");
    return FetchRows(stmtp, errhp, nrows);
  });
}

sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4, ub4 mode) {
  return OCIStmtFetch(stmtp, errhp, nrows, orientation, mode);
}

sword OCIParamGet(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos) {
  if (htype == OCI_DTYPE_PARAM && IsHandle(hndlp, OCI_DTYPE_PARAM) && parmdpp)
    return TypeParamGet(static_cast<OCIParam*>(const_cast<dvoid*>(hndlp)), errhp, parmdpp, pos);
  if (htype != OCI_HTYPE_STMT || !IsHandle(hndlp, OCI_HTYPE_STMT) || !parmdpp) return OCI_INVALID_HANDLE;
  auto* st = static_cast<OCIStmt*>(const_cast<dvoid*>(hndlp));
  return Guard(errhp, [&]() -> sword {
    if (!st->cursor) throw MakeError(24338, "statement handle not executed");
    const std::vector<ColumnDesc>& cols = st->cursor->Describe();
    if (pos < 1 || pos > cols.size()) throw MakeError(24334, "no descriptor for this position");
    if (st->params.size() != cols.size()) {
      st->params.clear();
      for (ub4 i = 0; i < cols.size(); ++i) {
        st->params.push_back(std::make_unique<OCIParam>(st->env, cols[i], i + 1));
        st->params.back()->svc = st->svc;
      }
    }
    *parmdpp = st->params[pos - 1].get();
    return OCI_SUCCESS;
  });
}

}  // extern "C"

namespace oracle_sim::oci {

void FillRowid(OCIRowid& rowid, const std::string& text) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::memset(rowid.bytes, 0, sizeof rowid.bytes);
  rowid.text = text;
  if (text.size() != 18) return;
  uint64_t parts[4] = {};
  const int widths[4] = {6, 3, 6, 3};  // data object, relative file, block, slot
  size_t at = 0;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < widths[k]; ++j) {
      const char* f = std::strchr(kDigits, text[at++]);
      if (!f || !*f) {
        std::memset(rowid.bytes, 0, sizeof rowid.bytes);
        return;
      }
      parts[k] = (parts[k] << 6) | static_cast<uint64_t>(f - kDigits);
    }
  }
  auto put = [&](int offset, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8) rowid.bytes[offset + i] = static_cast<ub1>(v & 0xFF);
  };
  rowid.bytes[0] = 1;  // an extended row address
  put(1, parts[0], 4);
  put(5, parts[1], 2);
  put(7, parts[2], 4);
  put(11, parts[3], 2);
}

}  // namespace oracle_sim::oci
