// TOracleSessionPool: connected sessions lent to sessions whose Pooling is spInternal, from the
// pool's own list of logged-on sessions or from a session pool of the client library.
#include "oracle/OracleSessionPool.h"

#include <chrono>
#include <thread>

#include "oracle/Oracle.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Lifetime.h"

namespace {

TOracleSessionPool* PoolOrDefault(TOracleSessionPool* Pool) {
  return Pool ? Pool : DefaultSessionPool();
}

// The session reaches its pool through these hooks.
TOracleSessionPoolHooks PoolHooks() {
  TOracleSessionPoolHooks hooks;
  hooks.GetSession = [](TOracleSessionPool* Pool, TOracleSession* Session) {
    PoolOrDefault(Pool)->GetSession(Session);
  };
  hooks.AfterReserve = [](TOracleSessionPool* Pool, TOracleSession* Session) {
    TOracleSessionPool* pool = PoolOrDefault(Pool);
    if (pool->AfterReserve) pool->AfterReserve(pool, Session);
  };
  hooks.BeforeRelease = [](TOracleSessionPool* Pool, TOracleSession* Session) {
    TOracleSessionPool* pool = PoolOrDefault(Pool);
    if (pool->BeforeRelease) pool->BeforeRelease(pool, Session);
  };
  hooks.ReleaseSession = [](TOracleSessionPool* Pool, TOracleSession* Session) {
    PoolOrDefault(Pool)->ReleaseSession(Session);
  };
  hooks.DefaultPool = [] { return DefaultSessionPool(); };
  hooks.AsComponent = [](TOracleSessionPool* Pool) -> TComponent* { return Pool; };
  return hooks;
}

std::string Text(const OraText* P, ub4 Length) {
  return P ? std::string(reinterpret_cast<const char*>(P), Length) : std::string();
}

}  // namespace

// Defined here, so that every program whose sessions reach for a pool links the pool.
TOracleSessionPoolHooks& OracleSessionPoolHooks() {
  static TOracleSessionPoolHooks hooks = PoolHooks();
  return hooks;
}

TOracleSessionPool* DefaultSessionPool() {
  static TOracleSessionPool pool(nullptr);
  return &pool;
}

// ---- Entries ----------------------------------------------------------------------------------------

TOracleSessionPoolEntry::~TOracleSessionPoolEntry() {
  try {
    Release();
  } catch (...) {
  }
  if (!session_) return;
  OCISvcCtx* svc = nullptr;
  if (pool_->EffectivePoolType() == ptOracle && session_->Connected() && session_->HandleMode())
    svc = session_->ServiceContext();
  try {
    session_->LogOff();
  } catch (...) {
    // A pooled connection that cannot be ended goes with the pool.
  }
  session_.reset();
  if (svc && OCI.OCISessionRelease)
    OCI.OCISessionRelease(svc, pool_->ErrorHandle(), nullptr, 0, OCI_SESSRLS_DROP);
}

void TOracleSessionPoolEntry::Reserve(TOracleSession* Session) {
  if (reservedBy_) throw Exception("Pool entry already reserved");
  if (session_ && session_->CheckConnection(false) == 1) {
    OCISvcCtx* svc = pool_->EffectivePoolType() == ptOracle ? session_->ExternalSVC() : nullptr;
    try {
      session_->LogOff();
    } catch (...) {
    }
    session_.reset();
    if (svc && OCI.OCISessionRelease)
      OCI.OCISessionRelease(svc, pool_->ErrorHandle(), nullptr, 0, OCI_SESSRLS_DROP);
  }
  if (!session_) {
    auto s = std::make_unique<TOracleSession>(nullptr);
    s->SetLogonUsername(Session->LogonUsername());
    s->SetLogonPassword(Session->LogonPassword());
    s->SetLogonDatabase(Session->LogonDatabase());
    s->SetConnectAs(Session->ConnectAs());
    s->SetBytesPerCharacter(Session->BytesPerCharacter());
    s->SetIsolationLevel(Session->IsolationLevel());
    s->SetOptimizerGoal(Session->OptimizerGoal());
    s->Preferences()->Assign(Session->Preferences());
    s->SetSQLTrace(Session->SQLTrace());
    s->SetThreadSafe(Session->ThreadSafe());
    if (pool_->EffectivePoolType() == ptOracle) {
      OCIAuthInfo* auth = pool_->AuthInfo();
      std::string user = Session->LogonUsername(), password = Session->LogonPassword();
      pool_->CheckStatus(OCI.OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, user.data(), static_cast<ub4>(user.size()),
                                        OCI_ATTR_USERNAME, pool_->ErrorHandle()));
      pool_->CheckStatus(OCI.OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, password.data(),
                                        static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD,
                                        pool_->ErrorHandle()));
      OCISvcCtx* svc = nullptr;
      std::string name = pool_->PoolName();
      pool_->CheckStatus(OCI.OCISessionGet(
          pool_->Environment(), pool_->ErrorHandle(), &svc, auth, reinterpret_cast<OraText*>(name.data()),
          static_cast<ub4>(name.size()), nullptr, 0, nullptr, nullptr, nullptr, OCI_SESSGET_SPOOL));
      try {
        s->SetExternalSVC(svc);
      } catch (...) {
        OCI.OCISessionRelease(svc, pool_->ErrorHandle(), nullptr, 0, OCI_SESSRLS_DROP);
        throw;
      }
    } else {
      s->LogOn();
    }
    session_ = std::move(s);
  }
  session_->Share(Session);
  reservedBy_ = Session;
}

void TOracleSessionPoolEntry::Release() {
  if (!reservedBy_) return;
  TOracleSession* session = reservedBy_;
  reservedBy_ = nullptr;
  lastRelease_ = Now();
  session->LogOff();
}

// ---- The pool ---------------------------------------------------------------------------------------

TOracleSessionPool::TOracleSessionPool(TComponent* AOwner) : TComponent(AOwner) {}

TOracleSessionPool::~TOracleSessionPool() {
  std::vector<TOracleSessionPoolEntry*> entries;
  {
    std::lock_guard<std::recursive_mutex> guard(listLock_);
    entries.swap(entries_);
  }
  for (auto* e : entries) delete e;
  try {
    Close();
  } catch (...) {
  }
}

void TOracleSessionPool::CheckStatus(sword Status) {
  if (Status == OCI_SUCCESS || Status == OCI_SUCCESS_WITH_INFO) return;
  if (Status == OCI_INVALID_HANDLE) throw Exception("TOracleSessionPool: Invalid handle");
  RaiseOracleError(nullptr, err_, this);
}

void TOracleSessionPool::Open() {
  std::lock_guard<std::recursive_mutex> guard(listLock_);
  if (active_) return;
  effectiveType_ = poolType_;
  effectiveHomogeneous_ = homogeneous_;
  effectiveStatementCache_ = statementCache_;
  if (effectiveType_ == ptOracle) {
    InitClientLibrary();
    if (!OCIGroupPresent(ogOCI92)) {
      effectiveType_ = ptDefault;
    } else {
      env_ = SharedEnvironment();
      ownEnv_ = env_ == nullptr;
      if (ownEnv_)
        CheckStatus(OCI.OCIEnvCreate(&env_, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0,
                                     nullptr));
      CheckStatus(OCI.OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&err_), OCI_HTYPE_ERROR, 0, nullptr));
      CheckStatus(OCI.OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&spool_), OCI_HTYPE_SPOOL, 0, nullptr));
      CheckStatus(
          OCI.OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&auth_), OCI_HTYPE_AUTHINFO, 0, nullptr));
      OraText* name = nullptr;
      ub4 nameLength = 0;
      ub4 mode = (effectiveHomogeneous_ ? OCI_SPC_HOMOGENEOUS : 0) |
                 (effectiveStatementCache_ ? OCI_SPC_STMTCACHE : 0);
      std::string user = logonUsername_, password = logonPassword_;
      CheckStatus(OCI.OCISessionPoolCreate(
          env_, err_, spool_, &name, &nameLength, reinterpret_cast<const OraText*>(logonDatabase_.data()),
          static_cast<ub4>(logonDatabase_.size()), 0, 2147483647, 1, reinterpret_cast<OraText*>(user.data()),
          static_cast<ub4>(user.size()), reinterpret_cast<OraText*>(password.data()),
          static_cast<ub4>(password.size()), mode));
      poolName_ = Text(name, nameLength);
    }
  }
  active_ = true;
  InvokeEvent(OnOpen, this);
}

void TOracleSessionPool::Close() {
  std::lock_guard<std::recursive_mutex> guard(listLock_);
  if (!active_) return;
  InvokeEvent(OnClose, this);
  if (effectiveType_ == ptOracle) {
    if (spool_) OCI.OCISessionPoolDestroy(spool_, err_, OCI_SPD_FORCE);
    if (spool_) OCI.OCIHandleFree(spool_, OCI_HTYPE_SPOOL);
    if (auth_) OCI.OCIHandleFree(auth_, OCI_HTYPE_AUTHINFO);
    if (err_) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
    if (env_ && ownEnv_) OCI.OCIHandleFree(env_, OCI_HTYPE_ENV);
  }
  spool_ = nullptr;
  auth_ = nullptr;
  err_ = nullptr;
  env_ = nullptr;
  ownEnv_ = false;
  poolName_.clear();
  active_ = false;
}

int TOracleSessionPool::Count() {
  std::lock_guard<std::recursive_mutex> guard(listLock_);
  return static_cast<int>(entries_.size());
}

int TOracleSessionPool::Available() {
  std::lock_guard<std::recursive_mutex> guard(listLock_);
  int free = 0;
  for (auto* e : entries_)
    if (!e->Reserved()) ++free;
  return max_ - static_cast<int>(entries_.size()) + free;
}

TOracleSessionPoolEntry* TOracleSessionPool::Entries(int Index) {
  std::lock_guard<std::recursive_mutex> guard(listLock_);
  return entries_.at(static_cast<size_t>(Index));
}

void TOracleSessionPool::GetSession(TOracleSession* Session) {
  TOracleLockGuard reserving(reserveLock_);
  if (poolType_ == ptOracle && !homogeneous_ && !active_ && logonDatabase_.empty())
    logonDatabase_ = Session->LogonDatabase();
  Open();
  // A full pool waits for a release by another thread, but not without end.
  auto started = std::chrono::steady_clock::now();
  while (max_ > 0 && Available() <= 0) {
    if (waitTimeOut_ > 0 &&
        std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(waitTimeOut_))
      throw Exception("TOracleSessionPool: no session available");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (effectiveHomogeneous_) {
    Session->SetLogonUsername(logonUsername_);
    Session->SetLogonPassword(logonPassword_);
    Session->SetLogonDatabase(logonDatabase_);
  }
  TOracleSessionPoolEntry* entry = nullptr;
  bool added = false;
  {
    std::lock_guard<std::recursive_mutex> guard(listLock_);
    for (auto* e : entries_) {
      if (e->Reserved()) continue;
      if (effectiveType_ == ptOracle ||
          (e->PooledSession() && SameText(e->PooledSession()->LogonUsername(), Session->LogonUsername()) &&
           SameText(e->PooledSession()->LogonDatabase(), Session->LogonDatabase()))) {
        entry = e;
        break;
      }
    }
    if (!entry) {
      entry = new TOracleSessionPoolEntry(this);
      entries_.push_back(entry);
      added = true;
    }
    try {
      entry->Reserve(Session);
    } catch (...) {
      if (added) {
        entries_.pop_back();
        delete entry;
      }
      throw;
    }
  }
  Purge();
}

bool TOracleSessionPool::ReleaseSession(TOracleSession* Session) {
  bool found = false;
  std::vector<TOracleSessionPoolEntry*> drop;
  {
    std::lock_guard<std::recursive_mutex> guard(listLock_);
    for (int i = static_cast<int>(entries_.size()) - 1; i >= 0; --i) {
      TOracleSessionPoolEntry* e = entries_[static_cast<size_t>(i)];
      if (e->ReservedBy() != Session) continue;
      found = true;
      e->Release();
      if (timeOut_ < 1 && min_ > 0 && min_ < static_cast<int>(entries_.size())) {
        entries_.erase(entries_.begin() + i);
        drop.push_back(e);
      }
    }
  }
  for (auto* e : drop) delete e;
  Purge();
  return found;
}

void TOracleSessionPool::Purge() {
  if (timeOut_ <= 0) return;
  std::vector<TOracleSessionPoolEntry*> drop;
  {
    std::lock_guard<std::recursive_mutex> guard(listLock_);
    TDateTime limit = Now() - timeOut_ / 86400.0;
    for (size_t i = 0; i < entries_.size() && static_cast<int>(entries_.size()) > min_;) {
      TOracleSessionPoolEntry* e = entries_[i];
      if (!e->Reserved() && e->LastRelease() < limit) {
        entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(i));
        drop.push_back(e);
      } else {
        ++i;
      }
    }
  }
  for (auto* e : drop) delete e;
}
