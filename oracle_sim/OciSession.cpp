// Servers, user sessions, service contexts, transactions and session pools.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "oracle_sim/OciInternal.h"
#include "oracle_sim/OciTns.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace oracle_sim::oci {

namespace {

std::mutex instanceLock;
std::map<std::string, std::weak_ptr<Instance>>& Instances() {
  static std::map<std::string, std::weak_ptr<Instance>> instances;
  return instances;
}

std::mutex poolLock;
std::map<std::string, OCISPool*>& Pools() {
  static std::map<std::string, OCISPool*> pools;
  return pools;
}
std::atomic<int> poolCounter{0};

bool IsPrivilegedUser(const std::string& user) {
  return user == "SYS" || user == "SYSTEM";
}

Session* RequireSession(OCISvcCtx* svc) {
  Session* s = svc ? svc->Engine() : nullptr;
  if (!s) throw MakeError(3114, "not connected to ORACLE");
  return s;
}

}  // namespace

std::shared_ptr<Instance> ResolveInstance(const std::string& connect) {
  const std::string path = Instance::RealPath(ResolveDatabaseFile(connect));  // throws ORA-12154
  std::lock_guard<std::mutex> g(instanceLock);
  auto& m = Instances();
  if (auto it = m.find(path); it != m.end()) {
    if (auto inst = it->second.lock()) return inst;
  }
  // A descriptor typed by the user reaches only an instance that is there; the files the home's
  // aliases name are made into instances on their first use.
  std::shared_ptr<Instance> inst =
      IsDescriptor(connect) ? Instance::OpenExisting(path) : Instance::Open(path);
  m[path] = inst;
  return inst;
}

void BeginSession(OCIServer* server, OCISession* session) {
  if (!server || !server->instance)
    throw MakeError(24327, "need explicit attach before authenticating a user");
  if (session->session) throw MakeError(24313, "user already authenticated");
  session->session = Session::LogOn(server->instance, session->userName, session->password);
}

}  // namespace oracle_sim::oci

OCISession::~OCISession() {
  End();
}

void OCISession::End() {
  if (!session) return;
  CloseStatementsOf(session.get());
  session.reset();
}

OCISvcCtx::~OCISvcCtx() {
  ownSession.reset();
  ownServer.reset();
}

OCISPool::~OCISPool() {
  {
    std::lock_guard<std::mutex> g(poolLock);
    auto& m = Pools();
    if (auto it = m.find(name); it != m.end() && it->second == this) m.erase(it);
  }
  idle.clear();
}

namespace {

// Ends a session the way a clean logoff does: what is pending is committed.
void EndSession(OCISession* usr) {
  if (!usr->session) return;
  Session* s = usr->session.get();
  FlushLobs(s);
  CloseStatementsOf(s);
  try {
    if (s->Connected()) s->Commit();
  } catch (const OraError&) {
    usr->session.reset();
    throw;
  }
  usr->session.reset();
}

// Logs a user on through a new server of its own (OCILogon, pooled sessions).
void LogOnOwn(OCISvcCtx* svc, const std::string& connect, const std::string& user,
              const std::string& password) {
  auto server = std::make_unique<OCIServer>(svc->env);
  server->instance = ResolveInstance(connect);
  server->dblink = connect;
  auto session = std::make_unique<OCISession>(svc->env);
  session->userName = user;
  session->password = password;
  BeginSession(server.get(), session.get());
  svc->ownServer = std::move(server);
  svc->ownSession = std::move(session);
  svc->server = svc->ownServer.get();
  svc->session = svc->ownSession.get();
}

std::string UserArg(const text* p, ub4 len, bool upper) {
  return LogonName(ArgText(p, static_cast<sb4>(len)), upper);
}

sword WarnIfAny(OCIError* err, Session* s) {
  if (s->LogonWarning() == 0) return OCI_SUCCESS;
  SetError(err, OraError(s->LogonWarning(), s->LogonWarningText()));
  return OCI_SUCCESS_WITH_INFO;
}

void ChangePassword(OCISvcCtx* svc, const std::string& user, const std::string& oldPassword,
                    const std::string& newPassword) {
  OCISession* usr = svc->session;
  std::shared_ptr<Instance> instance;
  if (usr->session) {
    instance = usr->session->GetInstance();
  } else if (svc->server && svc->server->instance) {
    instance = svc->server->instance;
  } else {
    throw MakeError(24327, "need explicit attach before authenticating a user");
  }
  std::unique_ptr<Session> changed = Session::LogOnWithNewPassword(instance, user, oldPassword, newPassword);
  // A session whose logon failed (its password had expired) is now logged on with the new one;
  // a live session keeps going and only learns the new password.
  if (!usr->session) {
    usr->userName = user;
    usr->session = std::move(changed);
  }
  usr->password = newPassword;
}

}  // namespace

extern "C" {

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const text* dblink, sb4 dblink_len, ub4) {
  if (!IsHandle(srvhp, OCI_HTYPE_SERVER) || !IsHandle(errhp, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (srvhp->instance) throw MakeError(24309, "already connected to a server");
    std::string link = ArgText(dblink, dblink_len);
    srvhp->instance = ResolveInstance(link);
    srvhp->dblink = link;
    return OCI_SUCCESS;
  });
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4) {
  if (!IsHandle(srvhp, OCI_HTYPE_SERVER)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!srvhp->instance) throw MakeError(3114, "not connected to ORACLE");
    srvhp->instance.reset();
    return OCI_SUCCESS;
  });
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !IsHandle(usrhp, OCI_HTYPE_SESSION)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!svchp->server) throw MakeError(24324, "service handle not initialized");
    if (credt == OCI_CRED_EXT) throw MakeError(1017, "invalid username/password; logon denied");
    if ((mode & (OCI_SYSDBA | OCI_SYSOPER)) && !IsPrivilegedUser(usrhp->userName))
      throw MakeError(1031, "insufficient privileges");
    svchp->session = usrhp;
    BeginSession(svchp->server, usrhp);
    return WarnIfAny(errhp, usrhp->session.get());
  });
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
  if (!usrhp) usrhp = svchp->session;
  if (!IsHandle(usrhp, OCI_HTYPE_SESSION)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!usrhp->session) throw MakeError(1012, "not logged on");
    EndSession(usrhp);
    return OCI_SUCCESS;
  });
}

sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const text* username, ub4 uname_len,
               const text* password, ub4 passwd_len, const text* dbname, ub4 dbname_len) {
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !svchp) return OCI_INVALID_HANDLE;
  *svchp = nullptr;
  auto svc = std::make_unique<OCISvcCtx>(envhp);
  sword rc = Guard(errhp, [&]() -> sword {
    LogOnOwn(svc.get(), ArgText(dbname, static_cast<sb4>(dbname_len)), UserArg(username, uname_len, true),
             UserArg(password, passwd_len, false));
    return WarnIfAny(errhp, svc->Engine());
  });
  if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) {
    std::lock_guard<std::mutex> g(envhp->lock);
    envhp->children.insert(svc.get());
    *svchp = svc.release();
  }
  return rc;
}

sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
  sword rc = Guard(errhp, [&]() -> sword {
    if (svchp->session) EndSession(svchp->session);
    return OCI_SUCCESS;
  });
  if (svchp->ownSession) {  // made by OCILogon: the service context goes too
    {
      std::lock_guard<std::mutex> g(svchp->env->lock);
      svchp->env->children.erase(svchp);
    }
    delete svchp;
  }
  return rc;
}

sword OCIPasswordChange(OCISvcCtx* svchp, OCIError* errhp, const text* user_name, ub4 usernm_len,
                        const text* opasswd, ub4 opasswd_len, const text* npasswd, ub4 npasswd_len, ub4) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!svchp->session) throw MakeError(24324, "service handle not initialized");
    ChangePassword(svchp, UserArg(user_name, usernm_len, true), UserArg(opasswd, opasswd_len, false),
                   UserArg(npasswd, npasswd_len, false));
    return OCI_SUCCESS;
  });
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    FlushLobs(RequireSession(svchp));
    RequireSession(svchp)->Commit();
    ReleaseObjectLocks(svchp);
    return OCI_SUCCESS;
  });
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    FlushLobs(RequireSession(svchp));
    RequireSession(svchp)->Rollback();
    ReleaseObjectLocks(svchp);
    return OCI_SUCCESS;
  });
}

sword OCIBreak(dvoid* hndlp, OCIError* errhp) {
  if (IsHandle(hndlp, OCI_HTYPE_SVCCTX)) {
    return Guard(errhp, [&]() -> sword {
      RequireSession(static_cast<OCISvcCtx*>(hndlp))->Break();
      return OCI_SUCCESS;
    });
  }
  if (IsHandle(hndlp, OCI_HTYPE_SERVER)) return OCI_SUCCESS;  // nothing runs on a bare server
  return OCI_INVALID_HANDLE;
}

sword OCIServerVersion(dvoid* hndlp, OCIError* errhp, text* bufp, ub4 bufsz, ub1 hndltype) {
  if (!IsHandle(hndlp, hndltype)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    bool attached = false;
    if (hndltype == OCI_HTYPE_SERVER) {
      attached = static_cast<OCIServer*>(hndlp)->instance != nullptr;
    } else if (hndltype == OCI_HTYPE_SVCCTX) {
      OCIServer* s = static_cast<OCISvcCtx*>(hndlp)->server;
      attached = s && s->instance;
    } else {
      throw MakeError(24315, "illegal attribute type");
    }
    if (!attached) throw MakeError(3114, "not connected to ORACLE");
    std::string banner = Instance::Banner();
    if (bufp && bufsz > 0) {
      size_t n = std::min<size_t>(banner.size(), bufsz - 1);
      std::memcpy(bufp, banner.data(), n);
      bufp[n] = '\0';
    }
    return OCI_SUCCESS;
  });
}

// ------------------------------------------------------------------------------------------------
// Session pools

sword OCISessionPoolCreate(OCIEnv* envhp, OCIError* errhp, OCISPool* spoolhp, OraText** poolName,
                           ub4* poolNameLen, const OraText* connStr, ub4 connStrLen, ub4, ub4, ub4,
                           OraText* userid, ub4 useridLen, OraText* password, ub4 passwordLen, ub4 mode) {
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !IsHandle(spoolhp, OCI_HTYPE_SPOOL)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    std::string connect = ArgText(connStr, static_cast<sb4>(connStrLen));
    ResolveInstance(connect);  // an unknown alias fails here
    std::lock_guard<std::mutex> g(spoolhp->lock);
    if (!spoolhp->created) {
      spoolhp->connect = connect;
      spoolhp->user = UserArg(userid, useridLen, true);
      spoolhp->password = UserArg(password, passwordLen, false);
      spoolhp->homogeneous = (mode & OCI_SPC_HOMOGENEOUS) != 0;
      spoolhp->name = "TALVIK_SPOOL_" + std::to_string(++poolCounter);
      spoolhp->created = true;
      std::lock_guard<std::mutex> pg(poolLock);
      Pools()[spoolhp->name] = spoolhp;
    }
    if (poolName) *poolName = reinterpret_cast<OraText*>(spoolhp->name.data());
    if (poolNameLen) *poolNameLen = static_cast<ub4>(spoolhp->name.size());
    return OCI_SUCCESS;
  });
}

sword OCISessionPoolDestroy(OCISPool* spoolhp, OCIError* errhp, ub4) {
  if (!IsHandle(spoolhp, OCI_HTYPE_SPOOL)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    {
      std::lock_guard<std::mutex> pg(poolLock);
      auto& m = Pools();
      if (auto it = m.find(spoolhp->name); it != m.end() && it->second == spoolhp) m.erase(it);
    }
    std::lock_guard<std::mutex> g(spoolhp->lock);
    spoolhp->idle.clear();
    spoolhp->created = false;
    return OCI_SUCCESS;
  });
}

sword OCISessionGet(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, OCIAuthInfo* authhp, OraText* poolName,
                    ub4 poolName_len, const OraText*, ub4, OraText** retTagInfo, ub4* retTagInfo_len,
                    boolean* found, ub4 mode) {
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !svchp) return OCI_INVALID_HANDLE;
  if (authhp && !IsHandle(authhp, OCI_HTYPE_AUTHINFO)) return OCI_INVALID_HANDLE;
  *svchp = nullptr;
  if (retTagInfo) *retTagInfo = nullptr;
  if (retTagInfo_len) *retTagInfo_len = 0;
  if (found) *found = FALSE;
  auto svc = std::make_unique<OCISvcCtx>(envhp);
  sword rc = Guard(errhp, [&]() -> sword {
    std::string name = ArgText(poolName, static_cast<sb4>(poolName_len));
    if (!(mode & OCI_SESSGET_SPOOL)) {
      if (!authhp) throw MakeError(1017, "invalid username/password; logon denied");
      LogOnOwn(svc.get(), name, authhp->userName, authhp->password);
      return WarnIfAny(errhp, svc->Engine());
    }
    OCISPool* pool = nullptr;
    {
      std::lock_guard<std::mutex> pg(poolLock);
      auto& m = Pools();
      if (auto it = m.find(name); it != m.end()) pool = it->second;
    }
    if (!pool) throw MakeError(24418, "Cannot open further sessions.");
    std::string user = pool->user, password = pool->password;
    if (!pool->homogeneous && authhp && !authhp->userName.empty()) {
      user = authhp->userName;
      password = authhp->password;
    }
    std::unique_ptr<OCISession> reused;
    {
      std::lock_guard<std::mutex> g(pool->lock);
      for (auto it = pool->idle.begin(); it != pool->idle.end(); ++it) {
        if ((*it)->userName == user && (*it)->password == password && (*it)->session &&
            (*it)->session->Connected()) {
          reused = std::move(*it);
          pool->idle.erase(it);
          break;
        }
      }
    }
    if (reused) {
      auto server = std::make_unique<OCIServer>(envhp);
      server->instance = reused->session->GetInstance();
      server->dblink = pool->connect;
      svc->ownServer = std::move(server);
      svc->server = svc->ownServer.get();
      reused->env = envhp;
      svc->ownSession = std::move(reused);
      svc->session = svc->ownSession.get();
      if (found) *found = TRUE;
    } else {
      LogOnOwn(svc.get(), pool->connect, user, password);
    }
    svc->pool = pool;
    std::lock_guard<std::mutex> g(pool->lock);
    ++pool->busy;
    return WarnIfAny(errhp, svc->Engine());
  });
  if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) {
    std::lock_guard<std::mutex> g(envhp->lock);
    envhp->children.insert(svc.get());
    *svchp = svc.release();
  }
  return rc;
}

sword OCISessionRelease(OCISvcCtx* svchp, OCIError* errhp, OraText*, ub4, ub4 mode) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !svchp->ownSession) return OCI_INVALID_HANDLE;
  sword rc = Guard(errhp, [&]() -> sword {
    OCISPool* pool = nullptr;
    if (svchp->pool) {
      std::lock_guard<std::mutex> pg(poolLock);
      for (auto& [name, p] : Pools())
        if (p == svchp->pool) pool = p;
    }
    Session* s = svchp->Engine();
    if (s) CloseStatementsOf(s);
    if (pool) {
      std::lock_guard<std::mutex> g(pool->lock);
      if (pool->busy > 0) --pool->busy;
      if (!(mode & OCI_SESSRLS_DROP) && s && s->Connected()) {
        s->Rollback();  // a session goes back to the pool without a transaction
        pool->idle.push_back(std::move(svchp->ownSession));
      }
    }
    return OCI_SUCCESS;
  });
  {
    std::lock_guard<std::mutex> g(svchp->env->lock);
    svchp->env->children.erase(svchp);
  }
  delete svchp;
  return rc;
}

}  // extern "C"
