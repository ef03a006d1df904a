// Environments, handles, descriptors, attributes and error records.
#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <shared_mutex>
#include <unordered_map>
#include <unordered_set>

#include "oracle_sim/OciInternal.h"
#include "oracle_sim/engine/Errors.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace oracle_sim::oci {

namespace {

struct LiveObjects {
  std::shared_mutex lock;
  std::unordered_set<const void*> objects;
};

// Never destroyed: handles freed by other objects' destructors at exit still find it.
LiveObjects& Live() {
  static auto* live = new LiveObjects;
  return *live;
}

}  // namespace

void RegisterLive(const void* object) {
  LiveObjects& live = Live();
  std::unique_lock<std::shared_mutex> g(live.lock);
  [[maybe_unused]] bool added = live.objects.insert(object).second;
  assert(added && "an object registered twice: its address was not unregistered when it was freed");
}

void UnregisterLive(const void* object) {
  LiveObjects& live = Live();
  std::unique_lock<std::shared_mutex> g(live.lock);
  [[maybe_unused]] size_t removed = live.objects.erase(object);
  assert(removed == 1 && "an object unregistered that was never registered");
}

bool IsLive(const void* object) {
  LiveObjects& live = Live();
  std::shared_lock<std::shared_mutex> g(live.lock);
  return live.objects.count(object) != 0;
}

HandleBase::HandleBase(ub4 t, OCIEnv* e) : type(t), env(e) {
  RegisterLive(this);
}

HandleBase::~HandleBase() {
  magic = kFreedMagic;
  UnregisterLive(this);
}

namespace {

std::mutex messageLock;

// The texts the server has reported in this process, by code.
std::unordered_map<int, std::string>& Messages() {
  static std::unordered_map<int, std::string> messages;
  return messages;
}

}  // namespace

std::string MessageText(int code) {
  std::lock_guard<std::mutex> g(messageLock);
  auto& m = Messages();
  auto it = m.find(code);
  if (it != m.end()) return it->second;
  return OraClientText(code);
}

void RememberMessage(int code, const std::string& text) {
  if (code <= 0 || text.empty()) return;
  // Only single-line texts of the plain form: PL/SQL errors carry their details per call.
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
  if (text.rfind(prefix, 0) != 0 || text.find('\n') != std::string::npos) return;
  std::lock_guard<std::mutex> g(messageLock);
  Messages()[code] = text;
}

OraError MakeError(int code, const std::string& message) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
  return OraError(code, prefix + message);
}

bool IsHandle(const void* h, ub4 type) {
  if (h == nullptr || !IsLive(h)) return false;
  auto* b = static_cast<const HandleBase*>(h);
  return b->magic == kHandleMagic && b->type == type;
}

OCIRowid* AsRowid(const void* d) {
  auto* r = static_cast<OCIRowid*>(const_cast<void*>(d));
  return r && IsLive(r) && r->magic == kHandleMagic ? r : nullptr;
}

void SetError(OCIError* err, const OraError& e) {
  if (!err) return;
  err->records.clear();
  std::string text = e.text.empty() ? MessageText(e.code) : e.text;
  err->records.push_back(ErrorRecord{e.code, text});
  RememberMessage(e.code, text);
  if (e.offset > 0) err->parseErrorOffset = static_cast<ub2>(std::min(e.offset, 65535));
}

void SetError(OCIError* err, int code, const std::string& message) {
  SetError(err, MakeError(code, message));
}

void ClearError(OCIError* err) {
  if (!err) return;
  err->records.clear();
  err->parseErrorOffset = 0;
  err->dmlRowOffset = 0;
}

std::string UpperCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

std::string LogonName(const std::string& value, bool upper) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return upper ? UpperCase(value) : value;
}

std::string ArgText(const text* p, sb4 len) {
  if (!p) return std::string();
  if (len < 0) return std::string(reinterpret_cast<const char*>(p));
  return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(len));
}

}  // namespace oracle_sim::oci

// ------------------------------------------------------------------------------------------------
// Environment

OCIEnv::~OCIEnv() {
  ReleaseObjects(this);
  // Handles the program left allocated go with their environment: statements first (their cursors
  // belong to sessions), then service contexts, pools, sessions and servers.
  std::vector<HandleBase*> left(children.begin(), children.end());
  children.clear();
  auto rank = [](ub4 t) {
    switch (t) {
      case OCI_HTYPE_STMT:
        return 0;
      case OCI_HTYPE_SVCCTX:
        return 1;
      case OCI_HTYPE_SPOOL:
        return 2;
      case OCI_HTYPE_SESSION:
        return 3;
      case OCI_HTYPE_SERVER:
        return 4;
      default:
        return 5;
    }
  };
  std::stable_sort(left.begin(), left.end(),
                   [&](HandleBase* a, HandleBase* b) { return rank(a->type) < rank(b->type); });
  for (HandleBase* h : left) delete h;
  for (OCIRowid* r : rowids) delete r;
}

namespace {

OCIEnv* NewEnv(ub4 mode, size_t xtramem, dvoid** usrmempp) {
  auto* env = new OCIEnv(mode);
  if (xtramem > 0) {
    env->userMemory.assign(xtramem, 0);
    if (usrmempp) *usrmempp = env->userMemory.data();
  }
  return env;
}

OCIEnv* EnvOf(const void* parent) {
  if (!parent || !IsLive(parent)) return nullptr;
  auto* b = static_cast<const HandleBase*>(parent);
  if (b->magic != kHandleMagic) return nullptr;
  return b->env;
}

void Adopt(OCIEnv* env, HandleBase* h) {
  std::lock_guard<std::mutex> g(env->lock);
  [[maybe_unused]] bool added = env->children.insert(h).second;
  assert(added && "a handle adopted twice by its environment");
}

bool Disown(OCIEnv* env, HandleBase* h) {
  std::lock_guard<std::mutex> g(env->lock);
  return env->children.erase(h) > 0;
}

template <typename T>
T ReadAttr(const dvoid* attributep) {
  T v{};
  if (attributep) std::memcpy(&v, attributep, sizeof v);
  return v;
}

sword IllegalAttribute(OCIError* err) {
  SetError(err, 24315, "illegal attribute type");
  return OCI_ERROR;
}

}  // namespace

extern "C" {

sword OCIInitialize(ub4, dvoid*, OCIMallocFn, OCIReallocFn, OCIFreeFn) {
  return OCI_SUCCESS;
}

sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp) {
  if (!envp) return OCI_INVALID_HANDLE;
  try {
    *envp = NewEnv(mode, xtramem_sz, usrmempp);
    return OCI_SUCCESS;
  } catch (...) {
    *envp = nullptr;
    return OCI_ERROR;
  }
}

sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, dvoid*, OCIMallocFn, OCIReallocFn, OCIFreeFn, size_t xtramem_sz,
                   dvoid** usrmempp) {
  return OCIEnvInit(envhpp, mode, xtramem_sz, usrmempp);
}

sword OCIHandleAlloc(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp) {
  if (!hndlpp) return OCI_INVALID_HANDLE;
  *hndlpp = nullptr;
  OCIEnv* env = EnvOf(parenth);
  if (!env) return OCI_INVALID_HANDLE;
  HandleBase* h = nullptr;
  try {
    switch (type) {
      case OCI_HTYPE_ERROR:
        h = new OCIError(env);
        break;
      case OCI_HTYPE_SVCCTX:
        h = new OCISvcCtx(env);
        break;
      case OCI_HTYPE_STMT:
        h = new OCIStmt(env);
        break;
      case OCI_HTYPE_DESCRIBE:
        h = new OCIDescribe(env);
        break;
      case OCI_HTYPE_SERVER:
        h = new OCIServer(env);
        break;
      case OCI_HTYPE_SESSION:
        h = new OCISession(env);
        break;
      case OCI_HTYPE_SPOOL:
        h = new OCISPool(env);
        break;
      case OCI_HTYPE_TRANS:
      case OCI_HTYPE_COMPLEXOBJECT:
      case OCI_HTYPE_SECURITY:
      case OCI_HTYPE_SUBSCRIPTION:
      case OCI_HTYPE_DIRPATH_CTX:
      case OCI_HTYPE_DIRPATH_COLUMN_ARRAY:
      case OCI_HTYPE_DIRPATH_STREAM:
      case OCI_HTYPE_PROC:
        h = new OCIOpaqueDescriptor(type, env);
        break;
      default:
        return OCI_INVALID_HANDLE;
    }
    if (xtramem_sz > 0) {
      h->userMemory.assign(xtramem_sz, 0);
      if (usrmempp) *usrmempp = h->userMemory.data();
    }
    Adopt(env, h);
  } catch (...) {
    delete h;
    return OCI_ERROR;
  }
  *hndlpp = h;
  return OCI_SUCCESS;
}

sword OCIHandleFree(dvoid* hndlp, ub4 type) {
  if (!IsHandle(hndlp, type)) return OCI_INVALID_HANDLE;
  auto* h = static_cast<HandleBase*>(hndlp);
  if (type == OCI_HTYPE_ENV) {
    delete static_cast<OCIEnv*>(h);
    return OCI_SUCCESS;
  }
  if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) return OCI_SUCCESS;  // owned by their statement
  if (!Disown(h->env, h)) return OCI_INVALID_HANDLE;
  delete h;
  return OCI_SUCCESS;
}

sword OCIDescriptorAlloc(const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz,
                         dvoid** usrmempp) {
  if (!descpp) return OCI_INVALID_HANDLE;
  *descpp = nullptr;
  OCIEnv* env = EnvOf(parenth);
  if (!env) return OCI_INVALID_HANDLE;
  try {
    if (type == OCI_DTYPE_ROWID) {
      auto* r = new OCIRowid();
      r->env = env;
      {
        std::lock_guard<std::mutex> g(env->lock);
        [[maybe_unused]] bool added = env->rowids.insert(r).second;
        assert(added && "a ROWID descriptor listed twice by its environment");
      }
      *descpp = r;
      return OCI_SUCCESS;
    }
    switch (type) {
      case OCI_DTYPE_LOB:
      case OCI_DTYPE_SNAP:
      case OCI_DTYPE_RSET:
      case OCI_DTYPE_COMPLEXOBJECTCOMP:
      case OCI_DTYPE_FILE:
      case OCI_DTYPE_INTERVAL_YM:
      case OCI_DTYPE_INTERVAL_DS:
      case OCI_DTYPE_DATE:
      case OCI_DTYPE_TIME:
      case OCI_DTYPE_TIME_TZ:
      case OCI_DTYPE_TIMESTAMP:
      case OCI_DTYPE_TIMESTAMP_TZ:
      case OCI_DTYPE_TIMESTAMP_LTZ:
        break;
      default:
        return OCI_INVALID_HANDLE;
    }
    HandleBase* d =
        type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE
            ? static_cast<HandleBase*>(new OCILobLocator(type, env))
        : type == OCI_DTYPE_TIMESTAMP || type == OCI_DTYPE_TIMESTAMP_TZ || type == OCI_DTYPE_TIMESTAMP_LTZ
            ? static_cast<HandleBase*>(new OCIDateTime(type, env))
            : static_cast<HandleBase*>(new OCIOpaqueDescriptor(type, env));
    if (xtramem_sz > 0) {
      d->userMemory.assign(xtramem_sz, 0);
      if (usrmempp) *usrmempp = d->userMemory.data();
    }
    Adopt(env, d);
    *descpp = d;
    return OCI_SUCCESS;
  } catch (...) {
    return OCI_ERROR;
  }
}

sword OCIDescriptorFree(dvoid* descp, ub4 type) {
  if (!descp) return OCI_INVALID_HANDLE;
  if (type == OCI_DTYPE_ROWID) {
    OCIRowid* r = AsRowid(descp);
    if (!r || !r->env) return OCI_INVALID_HANDLE;
    {
      std::lock_guard<std::mutex> g(r->env->lock);
      if (r->env->rowids.erase(r) == 0) return OCI_INVALID_HANDLE;
    }
    r->magic = kFreedMagic;
    delete r;
    return OCI_SUCCESS;
  }
  if (type == OCI_DTYPE_PARAM)
    return IsHandle(descp, type) ? OCI_SUCCESS : OCI_INVALID_HANDLE;  // owned by its statement
  if (!IsHandle(descp, type)) return OCI_INVALID_HANDLE;
  auto* d = static_cast<HandleBase*>(descp);
  if (!Disown(d->env, d)) return OCI_INVALID_HANDLE;
  delete d;
  return OCI_SUCCESS;
}

sword OCIErrorGet(dvoid* hndlp, ub4 recordno, text*, sb4* errcodep, text* bufp, ub4 bufsiz, ub4 type) {
  const std::vector<ErrorRecord>* records = nullptr;
  if (type == OCI_HTYPE_ERROR && IsHandle(hndlp, OCI_HTYPE_ERROR)) {
    records = &static_cast<OCIError*>(hndlp)->records;
  } else if (type == OCI_HTYPE_ENV && IsHandle(hndlp, OCI_HTYPE_ENV)) {
    records = &static_cast<OCIEnv*>(hndlp)->errors;
  } else {
    return OCI_INVALID_HANDLE;
  }
  if (recordno < 1 || recordno > records->size()) return OCI_NO_DATA;
  const ErrorRecord& r = (*records)[recordno - 1];
  if (errcodep) *errcodep = r.code;
  if (bufp && bufsiz > 0) {
    size_t n = std::min<size_t>(r.text.size(), bufsiz - 1);
    std::memcpy(bufp, r.text.data(), n);
    bufp[n] = '\0';
  }
  return OCI_SUCCESS;
}

sword OCIAttrGet(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep, ub4 attrtype,
                 OCIError* errhp) {
  if (!IsHandle(trgthndlp, trghndltyp)) return OCI_INVALID_HANDLE;
  auto* base = static_cast<HandleBase*>(const_cast<dvoid*>(trgthndlp));
  // The environment of the handles that live in one (attribute numbers are per handle type).
  if (attrtype == OCI_ATTR_ENV && (trghndltyp == OCI_HTYPE_SVCCTX || trghndltyp == OCI_HTYPE_STMT ||
                                   trghndltyp == OCI_HTYPE_SERVER || trghndltyp == OCI_HTYPE_SESSION))
    return WriteAttr<OCIEnv*>(attributep, sizep, base->env);
  switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
      auto* svc = static_cast<OCISvcCtx*>(base);
      switch (attrtype) {
        case OCI_ATTR_SERVER:
          return WriteAttr<OCIServer*>(attributep, sizep, svc->server);
        case OCI_ATTR_SESSION:
          return WriteAttr<OCISession*>(attributep, sizep, svc->session);
        case OCI_ATTR_STMTCACHESIZE:
          return WriteAttr<ub4>(attributep, sizep, svc->stmtCacheSize);
      }
      break;
    }
    case OCI_HTYPE_SERVER: {
      auto* srv = static_cast<OCIServer*>(base);
      if (attrtype == OCI_ATTR_SERVER_STATUS)
        return WriteAttr<ub4>(attributep, sizep, srv->instance ? 1u : 0u);
      break;
    }
    case OCI_HTYPE_SESSION: {
      auto* s = static_cast<OCISession*>(base);
      if (attrtype == OCI_ATTR_USERNAME) {
        if (sizep) *sizep = static_cast<ub4>(s->userName.size());
        return WriteAttr<const char*>(attributep, nullptr, s->userName.c_str());
      }
      break;
    }
    case OCI_HTYPE_ERROR: {
      auto* e = static_cast<OCIError*>(base);
      if (attrtype == OCI_ATTR_PARSE_ERROR_OFFSET || attrtype == TALVIK_ATTR_PARSE_ERROR_OFFSET_V80)
        return WriteAttr<ub2>(attributep, sizep, e->parseErrorOffset);
      if (attrtype == OCI_ATTR_DML_ROW_OFFSET) return WriteAttr<ub4>(attributep, sizep, e->dmlRowOffset);
      break;
    }
    case OCI_HTYPE_STMT: {
      auto* st = static_cast<OCIStmt*>(base);
      switch (attrtype) {
        case OCI_ATTR_ROW_COUNT:
          return WriteAttr<ub4>(attributep, sizep, st->rowCount);
        case OCI_ATTR_ROWS_FETCHED:
          return WriteAttr<ub4>(attributep, sizep, st->rowsFetched);
        case OCI_ATTR_STMT_TYPE:
          if (!st->prepared) break;
          return WriteAttr<ub2>(attributep, sizep, st->stmtType);
        case OCI_ATTR_SQLFNCODE:
          return WriteAttr<ub2>(attributep, sizep, FunctionCode(st));
        case OCI_ATTR_PARSE_ERROR_OFFSET:
        case TALVIK_ATTR_PARSE_ERROR_OFFSET_V80:
          return WriteAttr<ub2>(attributep, sizep, st->parseErrorOffset);
        case OCI_ATTR_PREFETCH_ROWS:
        case OCI_ATTR_PREFETCH_MEMORY:
          return WriteAttr<ub4>(attributep, sizep, 0u);
        case OCI_ATTR_PARAM_COUNT:
          return Guard(errhp, [&]() -> sword {
            if (!st->cursor) throw oci::MakeError(24338, "statement handle not executed");
            return WriteAttr<ub4>(attributep, sizep, static_cast<ub4>(st->cursor->Describe().size()));
          });
        case OCI_ATTR_ROWID: {
          OCIRowid* dest = AsRowid(attributep);
          if (!dest) return OCI_INVALID_HANDLE;
          std::memcpy(dest->bytes, st->lastRowid.bytes, sizeof dest->bytes);
          dest->text = st->lastRowid.text;
          return OCI_SUCCESS;
        }
      }
      break;
    }
    case OCI_HTYPE_DESCRIBE: {
      auto* d = static_cast<OCIDescribe*>(base);
      if (attrtype == OCI_ATTR_PARAM) {
        if (!d->param) {
          SetError(errhp, 24338, "statement handle not executed");
          return OCI_ERROR;
        }
        return WriteAttr<OCIParam*>(attributep, sizep, d->param.get());
      }
      break;
    }
    case OCI_DTYPE_PARAM: {
      auto* param = static_cast<OCIParam*>(base);
      if (param->kind != OCIParam::Kind::Column)
        return TypeParamAttr(param, attributep, sizep, attrtype, errhp);
      const ColumnDesc& c = param->column;
      switch (attrtype) {
        case OCI_ATTR_DATA_SIZE:
          return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(std::clamp(c.size, 0, 65535)));
        case OCI_ATTR_DATA_TYPE:
          return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(c.type));
        case OCI_ATTR_NAME:
          if (sizep) *sizep = static_cast<ub4>(c.name.size());
          return WriteAttr<const char*>(attributep, nullptr, c.name.c_str());
        case OCI_ATTR_PRECISION:
          return WriteAttr<sb2>(attributep, sizep, static_cast<sb2>(c.precision));
        case OCI_ATTR_SCALE:
          return WriteAttr<sb1>(attributep, sizep, static_cast<sb1>(c.scale));
        case OCI_ATTR_IS_NULL:
          return WriteAttr<ub1>(attributep, sizep, c.nullable ? 1 : 0);
        case OCI_ATTR_TYPE_NAME:
        case OCI_ATTR_SCHEMA_NAME:
        case OCI_ATTR_REF_TDO:
          return ColumnTypeAttr(param, attributep, sizep, attrtype, errhp);
        case OCI_ATTR_POSITION:
          return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(static_cast<OCIParam*>(base)->position));
      }
      break;
    }
    case OCI_HTYPE_SPOOL: {
      auto* p = static_cast<OCISPool*>(base);
      std::lock_guard<std::mutex> g(p->lock);
      if (attrtype == OCI_ATTR_SPOOL_BUSY_COUNT) return WriteAttr<ub4>(attributep, sizep, p->busy);
      if (attrtype == OCI_ATTR_SPOOL_OPEN_COUNT)
        return WriteAttr<ub4>(attributep, sizep, p->busy + static_cast<ub4>(p->idle.size()));
      break;
    }
  }
  return IllegalAttribute(errhp);
}

sword OCIAttrSet(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype,
                 OCIError* errhp) {
  if (!IsHandle(trgthndlp, trghndltyp)) return OCI_INVALID_HANDLE;
  auto* base = static_cast<HandleBase*>(trgthndlp);
  switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
      auto* svc = static_cast<OCISvcCtx*>(base);
      switch (attrtype) {
        case OCI_ATTR_SERVER:
          if (attributep && !IsHandle(attributep, OCI_HTYPE_SERVER)) return OCI_INVALID_HANDLE;
          svc->server = static_cast<OCIServer*>(attributep);
          return OCI_SUCCESS;
        case OCI_ATTR_SESSION:
          if (attributep && !IsHandle(attributep, OCI_HTYPE_SESSION)) return OCI_INVALID_HANDLE;
          svc->session = static_cast<OCISession*>(attributep);
          return OCI_SUCCESS;
        case OCI_ATTR_STMTCACHESIZE:
          svc->stmtCacheSize = ReadAttr<ub4>(attributep);
          return OCI_SUCCESS;
      }
      break;
    }
    case OCI_HTYPE_SESSION: {
      auto* s = static_cast<OCISession*>(base);
      if (attrtype == OCI_ATTR_USERNAME || attrtype == OCI_ATTR_PASSWORD) {
        std::string v = attributep ? std::string(static_cast<const char*>(attributep), size) : std::string();
        if (attrtype == OCI_ATTR_USERNAME) {
          s->userName = LogonName(v, true);
        } else {
          s->password = LogonName(v, false);
        }
        return OCI_SUCCESS;
      }
      break;
    }
    case OCI_HTYPE_STMT:
      if (attrtype == OCI_ATTR_PREFETCH_ROWS || attrtype == OCI_ATTR_PREFETCH_MEMORY) return OCI_SUCCESS;
      break;
    case OCI_HTYPE_SPOOL:
      if (attrtype == OCI_ATTR_SPOOL_TIMEOUT || attrtype == OCI_ATTR_SPOOL_GETMODE) return OCI_SUCCESS;
      break;
  }
  return IllegalAttribute(errhp);
}

}  // extern "C"
