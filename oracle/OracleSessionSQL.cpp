#include "oracle/OracleSessionSQL.h"

#include <cstring>
#include <exception>

#include "oracle/Oracle.h"

namespace {

constexpr int kValueSize = 4001;

// The text as the server gets it: without CR characters.
std::string ServerText(TOracleSession* Session, const std::string& SQL) {
  if (!Session->Preferences()->ConvertCRLF()) return SQL;
  std::string s;
  s.reserve(SQL.size());
  for (char c : SQL)
    if (c != '\r') s += c;
  return s.empty() ? " " : s;
}

struct TBuffers {
  explicit TBuffers(size_t n) : values(n * kValueSize, '\0'), indicators(n, 0), lengths(n, 0) {}
  char* Value(size_t i) { return values.data() + i * kValueSize; }
  std::string Text(size_t i) { return indicators[i] == -1 ? std::string() : std::string(Value(i)); }
  std::vector<char> values;
  std::vector<sb2> indicators;
  std::vector<ub2> lengths;
};

void RunHandleMode(TOracleSession* s, const std::string& sql, const std::vector<TInternalBind>& binds,
                   std::vector<std::vector<std::string>>* rows) {
  OCIStmt* st = nullptr;
  OCIError* err = s->ErrorHandle();
  if (OCI.OCIHandleAlloc(s->EnvironmentHandle(), reinterpret_cast<dvoid**>(&st), OCI_HTYPE_STMT, 0,
                         nullptr) != OCI_SUCCESS)
    throw EOracleError("Cannot allocate a statement handle", 0, s, s);
  TBuffers in(binds.size());
  std::unique_ptr<TBuffers> out;
  auto fail = [&](sword status) {
    s->SetLastStatus(status);
    std::exception_ptr error;
    try {
      RaiseOracleError(s, err, s);
    } catch (...) {
      error = std::current_exception();
    }
    OCI.OCIHandleFree(st, OCI_HTYPE_STMT);
    std::rethrow_exception(error);
  };
  auto ok = [](sword status) { return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO; };
  sword status = OCI.OCIStmtPrepare(st, err, reinterpret_cast<const text*>(sql.data()),
                                    static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
  if (!ok(status)) fail(status);
  for (size_t i = 0; i < binds.size(); ++i) {
    std::string value = binds[i].Value.substr(0, kValueSize - 1);
    std::memcpy(in.Value(i), value.c_str(), value.size() + 1);
    std::string name = ":" + binds[i].Name;
    OCIBind* bind = nullptr;
    status =
        OCI.OCIBindByName(st, &bind, err, reinterpret_cast<const text*>(name.c_str()), -1, in.Value(i),
                          kValueSize, SQLT_STR, &in.indicators[i], nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    if (!ok(status)) fail(status);
  }
  ub2 type = 0;
  OCI.OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
  if (type != OCI_STMT_SELECT) {
    ub4 mode = s->AutoCommit() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
    status = OCI.OCIStmtExecute(s->ServiceContext(), st, err, 1, 0, nullptr, nullptr, mode);
    if (!ok(status)) fail(status);
    OCI.OCIHandleFree(st, OCI_HTYPE_STMT);
    return;
  }
  status = OCI.OCIStmtExecute(s->ServiceContext(), st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
  if (!ok(status)) fail(status);
  ub4 count = 0;
  OCI.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
  out = std::make_unique<TBuffers>(count);
  for (ub4 i = 0; i < count; ++i) {
    OCIDefine* def = nullptr;
    status = OCI.OCIDefineByPos(st, &def, err, i + 1, out->Value(i), kValueSize, SQLT_STR,
                                &out->indicators[i], &out->lengths[i], nullptr, OCI_DEFAULT);
    if (!ok(status)) fail(status);
  }
  for (;;) {
    status = OCIGroupPresent(ogOCI90) ? OCI.OCIStmtFetch2(st, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)
                                      : OCI.OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    if (status == OCI_NO_DATA) break;
    if (!ok(status)) fail(status);
    if (rows) {
      std::vector<std::string> row;
      for (ub4 i = 0; i < count; ++i) row.push_back(out->Text(i));
      rows->push_back(std::move(row));
    }
  }
  OCI.OCIHandleFree(st, OCI_HTYPE_STMT);
}

void RunHostMode(TOracleSession* s, const std::string& sql, const std::vector<TInternalBind>& binds,
                 std::vector<std::vector<std::string>>* rows) {
  alignas(8) uint8_t area[TALVIK_CDA_SIZE] = {};
  auto* cda = reinterpret_cast<Cda_Def*>(area);
  TBuffers in(binds.size());
  std::unique_ptr<TBuffers> out;
  bool open = false;
  auto fail = [&]() {
    int code = cda->rc;
    s->SetLastStatus(code);
    std::exception_ptr error;
    try {
      RaiseOracleError(s, code, s);
    } catch (...) {
      error = std::current_exception();
    }
    if (open) OCI.oclose(cda);
    std::rethrow_exception(error);
  };
  if (OCI.oopen(cda, s->LogonDataArea(), nullptr, -1, -1, nullptr, -1) != 0) fail();
  open = true;
  std::string statement = sql;
  if (OCI.oparse(cda, reinterpret_cast<text*>(statement.data()), -1, 0, 2) != 0) fail();
  for (size_t i = 0; i < binds.size(); ++i) {
    std::string value = binds[i].Value.substr(0, kValueSize - 1);
    std::memcpy(in.Value(i), value.c_str(), value.size() + 1);
    std::string name = ":" + binds[i].Name;
    if (OCI.obndra(cda, reinterpret_cast<text*>(name.data()), -1, reinterpret_cast<ub1*>(in.Value(i)),
                   kValueSize, SQLT_STR, -1, &in.indicators[i], nullptr, nullptr, 0, nullptr, nullptr, -1,
                   -1) != 0)
      fail();
  }
  if (cda->ft != TALVIK_FNCODE_SELECT) {
    if (OCI.oexn(cda, 1, 0) != 0) fail();
    OCI.oclose(cda);
    return;
  }
  int count = 0;
  for (;; ++count) {
    sb4 dbsize = 0, cbufl = 30, dsize = 0;
    sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
    sb1 name[31] = {};
    if (OCI.odescr(cda, count + 1, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok) != 0) {
      if (cda->rc == 1007) break;
      fail();
    }
  }
  out = std::make_unique<TBuffers>(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    if (OCI.odefin(cda, i + 1, reinterpret_cast<ub1*>(out->Value(static_cast<size_t>(i))), kValueSize,
                   SQLT_STR, -1, &out->indicators[static_cast<size_t>(i)], nullptr, -1, -1,
                   &out->lengths[static_cast<size_t>(i)], nullptr) != 0)
      fail();
  sword rc = OCI.oexfet(cda, 1, 0, 0);
  while (rc == 0) {
    if (rows) {
      std::vector<std::string> row;
      for (int i = 0; i < count; ++i) row.push_back(out->Text(static_cast<size_t>(i)));
      rows->push_back(std::move(row));
    }
    rc = OCI.ofen(cda, 1);
  }
  if (cda->rc != 1403) fail();
  OCI.oclose(cda);
}

}  // namespace

void RunInternalStatement(TOracleSession* Session, const std::string& SQL,
                          const std::vector<TInternalBind>& Binds,
                          std::vector<std::vector<std::string>>* Rows) {
  if (!Session->Connected()) throw Exception("Not logged on");
  std::string sql = ServerText(Session, SQL);
  Session->EnterLock(true);
  try {
    if (Session->HandleMode())
      RunHandleMode(Session, sql, Binds, Rows);
    else
      RunHostMode(Session, sql, Binds, Rows);
  } catch (const EOracleError&) {
    // The error has left the lock already.
    throw;
  } catch (...) {
    Session->LeaveLock(true);
    throw;
  }
  Session->LeaveLock(true);
}
