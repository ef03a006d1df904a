// The host-call generation: logon data areas and cursor data areas over the same handles and
// statement core as the handle API.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "oracle_sim/OciInternal.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

constexpr ub1 kOpenMark = 0xAC;

// What a logon data area stands for.
struct HostConnection {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  bool ownsEnv = false;  // made by olog/orlon (else wrapped around a service context)
  bool autoCommit = false;
  ErrorRecord lastError;
};

// What a cursor data area stands for.
struct HostCursor {
  HostConnection* conn = nullptr;
  OCIStmt* stmt = nullptr;
};

// The last error a host call of this thread reported, for oerhms without a connection. Plain data:
// a thread-local object with a destructor would tie the library to the threads that used it.
thread_local int lastHostCode = 0;
thread_local char lastHostText[2048];

HostConnection* ConnectionOf(Lda_Def* lda) {
  if (!lda || lda->chk != kOpenMark || !lda->handle) return nullptr;
  return static_cast<HostConnection*>(lda->handle);
}

HostCursor* CursorOf(Cda_Def* cda) {
  if (!cda || cda->chk != kOpenMark || !cda->handle) return nullptr;
  return static_cast<HostCursor*>(cda->handle);
}

void Record(HostConnection* conn, const OraError& e) {
  ErrorRecord r{e.code, e.text.empty() ? MessageText(e.code) : e.text};
  RememberMessage(r.code, r.text);
  if (conn) conn->lastError = r;
  lastHostCode = r.code;
  std::snprintf(lastHostText, sizeof lastHostText, "%s", r.text.c_str());
}

// The status of a handle call as an Oracle code for the data area, recording its text.
int CodeOf(sword status, OCIError* err, HostConnection* conn) {
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
    if (status == OCI_SUCCESS_WITH_INFO && err && !err->records.empty()) {
      Record(conn, OraError(err->records[0].code, err->records[0].text));
      return err->records[0].code;
    }
    return 0;
  }
  if (status == OCI_NO_DATA) {
    Record(conn, MakeError(1403, "no data found"));
    return 1403;
  }
  if (status == OCI_INVALID_HANDLE) {
    Record(conn, MakeError(1001, "invalid cursor"));
    return 1001;
  }
  if (err && !err->records.empty()) {
    Record(conn, OraError(err->records[0].code, err->records[0].text));
    return err->records[0].code;
  }
  Record(conn, MakeError(600, "internal error code, arguments: []"));
  return 600;
}

sword Finish(Cda_Def* area, int code) {
  area->rc = static_cast<ub2>(code);
  area->v2_rc = static_cast<sb2>(code == 0 ? 0 : -1);
  return code;
}

sword NotOpen(Cda_Def* area) {
  OraError e = MakeError(1001, "invalid cursor");
  Record(nullptr, e);
  if (area) Finish(area, 1001);
  return 1001;
}

sword NotLoggedOn(Lda_Def* lda) {
  OraError e = MakeError(1012, "not logged on");
  Record(nullptr, e);
  if (lda) Finish(lda, 1012);
  return 1012;
}

void FreeConnection(HostConnection* conn) {
  if (conn->ownsEnv) {
    OCIHandleFree(conn->env, OCI_HTYPE_ENV);
  } else if (conn->err) {
    OCIHandleFree(conn->err, OCI_HTYPE_ERROR);
  }
  delete conn;
}

// Splits "user/password@database [as sysdba]" (double quotes group).
void SplitLogon(const std::string& text, std::string& user, std::string& password, std::string& db,
                ub4& mode) {
  std::string t = text;
  std::string up = UpperCase(t);
  for (char& c : up)
    if (c == '\t') c = ' ';
  size_t as = up.rfind(" AS ");
  mode = OCI_DEFAULT;
  if (as != std::string::npos) {
    std::string role = up.substr(as + 4);
    role.erase(0, role.find_first_not_of(' '));
    role.erase(role.find_last_not_of(' ') + 1);
    if (role == "SYSDBA") mode = OCI_SYSDBA;
    if (role == "SYSOPER") mode = OCI_SYSOPER;
    if (mode != OCI_DEFAULT) t = t.substr(0, as);
  }
  std::string* part = &user;
  bool quoted = false;
  for (char c : t) {
    if (c == '"') {
      quoted = !quoted;
      *part += c;
    } else if (!quoted && c == '/' && part == &user) {
      part = &password;
    } else if (!quoted && c == '@' && part != &db) {
      part = &db;
    } else {
      *part += c;
    }
  }
  auto trim = [](std::string& s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
  };
  trim(user);
  trim(password);
  trim(db);
}

sword LogOn(Lda_Def* lda, ub1* hda, const std::string& user, const std::string& password,
            const std::string& db, ub4 mode) {
  if (!lda) return OCI_INVALID_HANDLE;
  std::memset(lda, 0, sizeof *lda);
  if (hda) std::memset(hda, 0, TALVIK_HDA_SIZE);
  auto* conn = new HostConnection();
  conn->ownsEnv = true;
  OCIServer* srv = nullptr;
  OCISession* usr = nullptr;
  sword status = OCIEnvCreate(&conn->env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
  if (status == OCI_SUCCESS)
    status = OCIHandleAlloc(conn->env, reinterpret_cast<dvoid**>(&conn->err), OCI_HTYPE_ERROR, 0, nullptr);
  if (status == OCI_SUCCESS)
    status = OCIHandleAlloc(conn->env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
  if (status == OCI_SUCCESS)
    status = OCIHandleAlloc(conn->env, reinterpret_cast<dvoid**>(&conn->svc), OCI_HTYPE_SVCCTX, 0, nullptr);
  if (status == OCI_SUCCESS)
    status = OCIHandleAlloc(conn->env, reinterpret_cast<dvoid**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
  if (status == OCI_SUCCESS)
    status = OCIServerAttach(srv, conn->err, reinterpret_cast<const text*>(db.c_str()),
                             static_cast<sb4>(db.size()), 0);
  if (status == OCI_SUCCESS) {
    OCIAttrSet(conn->svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, conn->err);
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()), static_cast<ub4>(user.size()),
               OCI_ATTR_USERNAME, conn->err);
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(password.c_str()), static_cast<ub4>(password.size()),
               OCI_ATTR_PASSWORD, conn->err);
    status = OCISessionBegin(conn->svc, conn->err, usr, OCI_CRED_RDBMS, mode);
  }
  int code = CodeOf(status, conn->err, conn);
  if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) {
    FreeConnection(conn);
    return Finish(lda, code);
  }
  lda->handle = conn;
  lda->chk = kOpenMark;
  return Finish(lda, code);
}

// Runs a statement call of a cursor and fills the area's results.
template <typename F>
sword CursorCall(Cda_Def* cda, F&& call) {
  HostCursor* cur = CursorOf(cda);
  if (!cur) return NotOpen(cda);
  OCIError* err = cur->conn->err;
  ClearError(err);
  sword status = call(cur, err);
  int code = CodeOf(status, err, cur->conn);
  OCIStmt* st = cur->stmt;
  cda->rpc = st->rowCount;
  cda->ft = FunctionCode(st);
  cda->peo = code != 0 && code != ORA_NO_DATA_FOUND && code != ORA_VALUE_TRUNCATED
                 ? std::max(err->parseErrorOffset, st->parseErrorOffset)
                 : 0;
  cda->wrn = status == OCI_SUCCESS_WITH_INFO ? 1 : 0;
  const ub1* rid = st->lastRowid.bytes;
  cda->rid_obj = (ub4{rid[1]} << 24) | (ub4{rid[2]} << 16) | (ub4{rid[3]} << 8) | rid[4];
  cda->rid_file = static_cast<ub2>((rid[5] << 8) | rid[6]);
  cda->rid_block = (ub4{rid[7]} << 24) | (ub4{rid[8]} << 16) | (ub4{rid[9]} << 8) | rid[10];
  cda->rid_slot = static_cast<ub2>((rid[11] << 8) | rid[12]);
  return Finish(cda, code);
}

// Opens a cursor data area on a connection; the status of the handle call.
sword OpenArea(Cda_Def* cursor, HostConnection* conn) {
  auto* cur = new HostCursor();
  cur->conn = conn;
  sword status = OCIHandleAlloc(conn->env, reinterpret_cast<dvoid**>(&cur->stmt), OCI_HTYPE_STMT, 0, nullptr);
  if (status != OCI_SUCCESS) {
    delete cur;
    return status;
  }
  cursor->handle = cur;
  cursor->chk = kOpenMark;
  return OCI_SUCCESS;
}

sword BindHost(Cda_Def* cursor, const std::string& name, ub1* progv, sword progvl, sword ftype, sb2* indp,
               ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    if (ftype == SQLT_CUR) {
      // A cursor variable: the query a block opens for it comes into this cursor data area, which
      // is opened on the same connection when it is not open yet.
      auto* target = reinterpret_cast<Cda_Def*>(progv);
      if (!target || progvl < static_cast<sword>(sizeof(Cda_Def)) || target == cursor) {
        SetError(err, 1001, "invalid cursor");
        return OCI_ERROR;
      }
      if (!CursorOf(target)) {
        std::memset(target, 0, sizeof *target);
        sword status = OpenArea(target, cur->conn);
        if (status != OCI_SUCCESS) return status;
      }
      OCIBind* bind = nullptr;
      return OCIBindByName(cur->stmt, &bind, err, reinterpret_cast<const text*>(name.c_str()),
                           static_cast<sb4>(name.size()), progv, progvl, SQLT_CUR, indp, nullptr, nullptr, 0,
                           nullptr, OCI_DEFAULT);
    }
    OCIBind* bind = nullptr;
    return OCIBindByName(cur->stmt, &bind, err, reinterpret_cast<const text*>(name.c_str()),
                         static_cast<sb4>(name.size()), progv, progvl, static_cast<ub2>(ftype), indp, alen,
                         arcode, maxsiz, cursiz, OCI_DEFAULT);
  });
}

}  // namespace

namespace oracle_sim::oci {

OCIStmt* HostCursorStatement(const void* area) {
  HostCursor* cur = CursorOf(static_cast<Cda_Def*>(const_cast<void*>(area)));
  return cur ? cur->stmt : nullptr;
}

}  // namespace oracle_sim::oci

extern "C" {

sword opinit(ub4) {
  return 0;
}

sword olog(Lda_Def* lda, ub1* hda, text* uid, sword uidl, text* pswd, sword pswdl, text* conn, sword connl,
           ub4) {
  std::string user, password, db;
  ub4 mode = OCI_DEFAULT;
  SplitLogon(ArgText(uid, uidl), user, password, db, mode);
  if (pswd) {
    std::string p = ArgText(pswd, pswdl);
    if (!p.empty()) password = p;
  }
  if (conn) {
    std::string c = ArgText(conn, connl);
    if (!c.empty()) db = c;
  }
  return LogOn(lda, hda, user, password, db, mode);
}

sword orlon(Lda_Def* lda, ub1* hda, text* uid, sword uidl, text* pswd, sword pswdl, sword) {
  return olog(lda, hda, uid, uidl, pswd, pswdl, nullptr, -1, 0);
}

sword ologof(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  sword status = OCI_SUCCESS;
  if (conn->svc && conn->svc->session)
    status = OCISessionEnd(conn->svc, conn->err, conn->svc->session, OCI_DEFAULT);
  int code = CodeOf(status, conn->err, conn);
  FreeConnection(conn);
  std::memset(lda, 0, sizeof *lda);
  return Finish(lda, code);
}

sword oerhms(Lda_Def* lda, sb2 rcode, text* buf, sword bufsiz) {
  int code = rcode < 0 ? -rcode : rcode;
  std::string message;
  HostConnection* conn = ConnectionOf(lda);
  if (conn && conn->lastError.code == code) {
    message = conn->lastError.text;
  } else if (lastHostCode == code && lastHostText[0] != '\0') {
    message = lastHostText;
  } else {
    message = MessageText(code);
  }
  if (!buf || bufsiz <= 0) return 0;
  size_t n = std::min<size_t>(message.size(), static_cast<size_t>(bufsiz - 1));
  std::memcpy(buf, message.data(), n);
  buf[n] = '\0';
  return static_cast<sword>(n);
}

sword ocom(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  return Finish(lda, CodeOf(OCITransCommit(conn->svc, conn->err, OCI_DEFAULT), conn->err, conn));
}

sword orol(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  return Finish(lda, CodeOf(OCITransRollback(conn->svc, conn->err, OCI_DEFAULT), conn->err, conn));
}

sword ocon(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  conn->autoCommit = true;
  return Finish(lda, 0);
}

sword ocof(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  conn->autoCommit = false;
  return Finish(lda, 0);
}

sword obreak(Lda_Def* lda) {
  HostConnection* conn = ConnectionOf(lda);
  if (!conn) return NotLoggedOn(lda);
  return Finish(lda, CodeOf(OCIBreak(conn->svc, conn->err), conn->err, conn));
}

sword oopen(Cda_Def* cursor, Lda_Def* lda, text*, sword, sword, text*, sword) {
  if (!cursor) return OCI_INVALID_HANDLE;
  HostConnection* conn = ConnectionOf(lda);
  std::memset(cursor, 0, sizeof *cursor);
  if (!conn) return Finish(cursor, NotLoggedOn(lda));
  sword status = OpenArea(cursor, conn);
  return Finish(cursor, status == OCI_SUCCESS ? 0 : CodeOf(status, conn->err, conn));
}

sword oclose(Cda_Def* cursor) {
  HostCursor* cur = CursorOf(cursor);
  if (!cur) return NotOpen(cursor);
  OCIHandleFree(cur->stmt, OCI_HTYPE_STMT);
  delete cur;
  std::memset(cursor, 0, sizeof *cursor);
  return 0;
}

sword oparse(Cda_Def* cursor, text* sqlstm, sb4 sqllen, sword, ub4) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    std::string sql = ArgText(sqlstm, sqllen);
    sword status = OCIStmtPrepare(cur->stmt, err, reinterpret_cast<const text*>(sql.c_str()),
                                  static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    if (status != OCI_SUCCESS) return status;
    return Guard(err, [&]() -> sword {
      ParseNow(cur->stmt, cur->conn->svc);
      return OCI_SUCCESS;
    });
  });
}

sword obndra(Cda_Def* cursor, text* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword,
             sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz, text*, sword, sword) {
  return BindHost(cursor, ArgText(sqlvar, sqlvl), progv, progvl, ftype, indp, alen, arcode, maxsiz, cursiz);
}

sword obndrv(Cda_Def* cursor, text* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword,
             sb2* indp, text*, sword, sword) {
  return BindHost(cursor, ArgText(sqlvar, sqlvl), progv, progvl, ftype, indp, nullptr, nullptr, 0, nullptr);
}

sword obndrn(Cda_Def* cursor, sword sqlvn, ub1* progv, sword progvl, sword ftype, sword, sb2* indp, text*,
             sword, sword) {
  char name[16];
  std::snprintf(name, sizeof name, ":%d", static_cast<int>(sqlvn));
  return BindHost(cursor, name, progv, progvl, ftype, indp, nullptr, nullptr, 0, nullptr);
}

sword odefin(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword, sb2* indp, text*, sword,
             sword, ub2* rlen, ub2* rcode) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    OCIDefine* def = nullptr;
    return OCIDefineByPos(cur->stmt, &def, err, static_cast<ub4>(pos), buf, bufl, static_cast<ub2>(ftype),
                          indp, rlen, rcode, OCI_DEFAULT);
  });
}

sword odescr(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize,
             sb2* prec, sb2* scale, sb2* nullok) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    return Guard(err, [&]() -> sword {
      OCIStmt* st = cur->stmt;
      if (!st->cursor) throw MakeError(1003, "no statement parsed");
      const std::vector<ColumnDesc>& cols = st->cursor->Describe();
      if (pos < 1 || static_cast<size_t>(pos) > cols.size())
        throw MakeError(1007, "variable not in select list");
      const ColumnDesc& c = cols[pos - 1];
      if (dbsize) *dbsize = c.size;
      if (dbtype) *dbtype = static_cast<sb2>(c.type);
      if (cbuf && cbufl) {
        size_t n = std::min<size_t>(c.name.size(), static_cast<size_t>(std::max<sb4>(*cbufl, 0)));
        std::memcpy(cbuf, c.name.data(), n);
        *cbufl = static_cast<sb4>(n);
      } else if (cbufl) {
        *cbufl = static_cast<sb4>(c.name.size());
      }
      if (dsize) *dsize = c.type == Ty::Number ? 40 : (c.type == Ty::Date ? 9 : c.size);
      if (prec) *prec = static_cast<sb2>(c.precision);
      if (scale) *scale = static_cast<sb2>(c.scale);
      if (nullok) *nullok = c.nullable ? 1 : 0;
      return OCI_SUCCESS;
    });
  });
}

sword oexn(Cda_Def* cursor, sword iters, sword rowoff) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    ub4 mode = cur->conn->autoCommit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
    return OCIStmtExecute(cur->conn->svc, cur->stmt, err, static_cast<ub4>(std::max(iters, 0)),
                          static_cast<ub4>(std::max(rowoff, 0)), nullptr, nullptr, mode);
  });
}

sword oexec(Cda_Def* cursor) {
  return oexn(cursor, 1, 0);
}

sword oexfet(Cda_Def* cursor, ub4 nrows, sword, sword) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    return OCIStmtExecute(cur->conn->svc, cur->stmt, err, nrows, 0, nullptr, nullptr, OCI_DEFAULT);
  });
}

sword ofen(Cda_Def* cursor, sword nrows) {
  return CursorCall(cursor, [&](HostCursor* cur, OCIError* err) -> sword {
    return OCIStmtFetch(cur->stmt, err, static_cast<ub4>(std::max(nrows, 1)), OCI_FETCH_NEXT, OCI_DEFAULT);
  });
}

sword ofetch(Cda_Def* cursor) {
  return ofen(cursor, 1);
}

sword oflng(Cda_Def* cursor, sword pos, ub1* buf, sb4 bufl, sword, ub4* retl, sb4 offset) {
  HostCursor* cur = CursorOf(cursor);
  if (!cur) return NotOpen(cursor);
  ub4 rpc = cursor->rpc;
  sword rc = CursorCall(cursor, [&](HostCursor* c, OCIError* err) -> sword {
    return Guard(err, [&]() -> sword {
      const std::vector<Value>& row = c->stmt->lastRow;
      if (pos < 1 || static_cast<size_t>(pos) > row.size())
        throw MakeError(1007, "variable not in select list");
      const Value& v = row[pos - 1];
      const std::string& data = v.s;
      size_t from = static_cast<size_t>(std::max<sb4>(offset, 0));
      size_t n = 0;
      if (!v.IsNull() && from < data.size())
        n = std::min<size_t>(data.size() - from, static_cast<size_t>(std::max<sb4>(bufl, 0)));
      if (buf && n > 0) std::memcpy(buf, data.data() + from, n);
      if (retl) *retl = static_cast<ub4>(n);
      return OCI_SUCCESS;
    });
  });
  cursor->rpc = rpc;  // reading a LONG in parts leaves the processed-row count alone
  return rc;
}

sword OCISvcCtxToLda(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !ldap) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!svchp->Engine()) throw MakeError(1012, "not logged on");
    auto* conn = new HostConnection();
    conn->env = svchp->env;
    conn->svc = svchp;
    if (OCIHandleAlloc(svchp->env, reinterpret_cast<dvoid**>(&conn->err), OCI_HTYPE_ERROR, 0, nullptr) !=
        OCI_SUCCESS) {
      delete conn;
      throw MakeError(4030, "out of process memory when trying to allocate memory");
    }
    std::memset(ldap, 0, sizeof *ldap);
    ldap->handle = conn;
    ldap->chk = kOpenMark;
    return OCI_SUCCESS;
  });
}

sword OCILdaToSvcCtx(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap) {
  if (!svchpp) return OCI_INVALID_HANDLE;
  HostConnection* conn = ConnectionOf(ldap);
  if (!conn || conn->ownsEnv) {
    SetError(errhp, 1012, "not logged on");
    return OCI_ERROR;
  }
  *svchpp = conn->svc;
  FreeConnection(conn);
  std::memset(ldap, 0, sizeof *ldap);
  return OCI_SUCCESS;
}

}  // extern "C"
