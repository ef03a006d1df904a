// The database session: logon and logoff in both call generations, transactions, settings sent to
// the server, and the preferences and lists that queries and datasets use.
#include "oracle/OracleSession.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>

#include "oracle/Oracle.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSessionPool.h"
#include "platform/rtl/Lifetime.h"

using namespace oracle_ui;

bool OracleSharedEnvironment = true;
bool OracleWideNumberBuffers = false;

namespace {

std::mutex sessionsLock;
std::vector<TOracleSession*> allSessions;
OCIEnv* sharedEnv = nullptr;

// The shared environment goes with the library that made it.
const bool sharedEnvHandler = [] {
  AddClientLibraryFreeHandler([] {
    if (sharedEnv && OCI.OCIHandleFree) OCI.OCIHandleFree(sharedEnv, OCI_HTYPE_ENV);
    sharedEnv = nullptr;
  });
  return true;
}();

// Unit finalisation: at a normal end of the program the sessions it left connected log off and the
// client library is freed, as a server expects of a client that ends. Registered at the first logon
// of each process, after the client library was loaded, so that it runs before the objects it uses
// are destroyed. Sessions that a forked process inherited belong to its parent and stay.
pid_t finalisingProcess = 0;

void FinaliseSessions() {
  if (::getpid() != finalisingProcess) return;
  bool inherited = false;
  for (TOracleSession* s : TOracleSession::Sessions()) {
    if (!s->Connected()) continue;
    if (!s->LoggedOnByThisProcess()) {
      inherited = true;
      continue;
    }
    try {
      s->LogOff();
    } catch (...) {
    }
  }
  if (!inherited) FreeClientLibrary();
}

void RegisterFinalisation() {
  std::lock_guard guard(sessionsLock);
  if (finalisingProcess == ::getpid()) return;
  finalisingProcess = ::getpid();
  std::atexit(FinaliseSessions);
}

bool AllocHandle(OCIEnv* env, void* handle, ub4 type) {
  return OCI.OCIHandleAlloc(env, static_cast<dvoid**>(handle), type, 0, nullptr) == OCI_SUCCESS;
}

template <typename T>
void FreeHandle(T*& handle, ub4 type) {
  if (handle && OCI.OCIHandleFree) OCI.OCIHandleFree(handle, type);
  handle = nullptr;
}

// The MTS service-get flags: no implicit enlistment, a server of its own.
constexpr ub4 kMTSNoImplicit = 1;
constexpr ub4 kMTSUniqueServer = 2;
// Buffers for an error text (the longest the server sends, with its terminator) and a version banner.
constexpr size_t kErrorTextBuffer = 4001;
constexpr size_t kBannerBuffer = 501;
// The longest text a string value holds, in bytes: handle-based calls and host calls.
constexpr int kMaxStringBytesHandleMode = 4000;
constexpr int kMaxStringBytesHostMode = 2000;
// Release numbers of the banner: the first that talks the handle-based generation, and a bound past
// which digits are no release number.
constexpr int kFirstHandleRelease = 8;
constexpr int kReleaseDigitsBound = 1000;

// The logon succeeded with a warning about the password (it expires soon, or is in its grace time).
bool PasswordWarning(int Code) {
  return Code == ORA_PASSWORD_WILL_EXPIRE || Code == ORA_PASSWORD_GRACE_LOGIN;
}

bool IsOwnerRemoteDataModule(TComponent* Owner) {
  return Owner && Pos("REMOTEDATAMODULE", UpperCase(Owner->ClassParentName())) > 0;
}

}  // namespace

// The banner names "ORACLE8", "ORACLE9" or "ORACLE1", or a " Release N." with N of 8 and more (the
// banners of release 10 and later read "Oracle Database ...").
bool HandleCapableBanner(const std::string& Banner) {
  std::string up = UpperCase(Banner);
  if (Pos("ORACLE8", up) > 0 || Pos("ORACLE9", up) > 0 || Pos("ORACLE1", up) > 0) return true;
  static const std::string kRelease = " RELEASE ";
  int p = Pos(kRelease, up);
  if (p == 0) return false;
  int major = 0;
  size_t i = static_cast<size_t>(p - 1) + kRelease.size();
  bool digits = false;
  while (i < up.size() && up[i] >= '0' && up[i] <= '9' && major < kReleaseDigitsBound) {
    major = major * 10 + (up[i] - '0');
    digits = true;
    ++i;
  }
  return digits && major >= kFirstHandleRelease;
}

TVariant NullVariant(TOracleSession* Session) {
  return Session && Session->NullValue() == nvNull ? Null() : Unassigned();
}

OCIEnv* SharedEnvironment() {
  return sharedEnv;
}

// ---- The lists of a session's clients ------------------------------------------------------------

class TOracleSession::TClientList {
 public:
  enum TKind { kQuery, kDataSet, kPackage, kOther, kLOB, kObject, kReference, kKinds };
  void Add(TKind kind, TOracleSessionClient* c) {
    std::lock_guard guard(lock_);
    auto& v = lists_[kind];
    if (std::find(v.begin(), v.end(), c) == v.end()) v.push_back(c);
  }
  void Remove(TKind kind, TOracleSessionClient* c) {
    std::lock_guard guard(lock_);
    auto& v = lists_[kind];
    v.erase(std::remove(v.begin(), v.end(), c), v.end());
  }
  std::vector<TOracleSessionClient*> Copy(TKind kind) const {
    std::lock_guard guard(lock_);
    return lists_[kind];
  }
  bool Contains(TKind kind, TOracleSessionClient* c) const {
    std::lock_guard guard(lock_);
    const auto& v = lists_[kind];
    return std::find(v.begin(), v.end(), c) != v.end();
  }
  int Count(TKind kind) const {
    std::lock_guard guard(lock_);
    return static_cast<int>(lists_[kind].size());
  }

 private:
  mutable std::recursive_mutex lock_;
  std::vector<TOracleSessionClient*> lists_[kKinds];
};

// ---- TSessionPreferences -------------------------------------------------------------------------

TSessionPreferences::TSessionPreferences(TOracleSession* Session) : session_(Session) {}

void TSessionPreferences::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSessionPreferences*>(Source)) {
    s->AssignTo(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TSessionPreferences::AssignTo(TPersistent* Dest) {
  auto* d = dynamic_cast<TSessionPreferences*>(Dest);
  if (!d) {
    TPersistent::AssignTo(Dest);
    return;
  }
  d->convertCRLF_ = convertCRLF_;
  d->floatPrecision_ = floatPrecision_;
  d->integerPrecision_ = integerPrecision_;
  d->maxStringFieldSize_ = maxStringFieldSize_;
  d->smallIntPrecision_ = smallIntPrecision_;
  d->trimStringFields_ = trimStringFields_;
  d->useOCI7_ = useOCI7_;
  d->zeroDateIsNull_ = zeroDateIsNull_;
  d->nullLOBIsEmpty_ = nullLOBIsEmpty_;
  d->nullObjectIsEmpty_ = nullObjectIsEmpty_;
  d->temporaryLOB_ = temporaryLOB_;
  d->timestampAsString_ = timestampAsString_;
}

void TSessionPreferences::DesignChange() {
  if (!session_) return;
  TComponentState state = session_->ComponentState();
  if (state.Contains(csDesigning) && !state.Contains(csReading))
    session_->ForEachClient([this](TOracleSessionClient* c) { c->SessionPreferencesChanged(session_); },
                            true);
}

void TSessionPreferences::SetFloatPrecision(int Value) {
  floatPrecision_ = Value;
  DesignChange();
}

void TSessionPreferences::SetIntegerPrecision(int Value) {
  integerPrecision_ = Value;
  DesignChange();
}

void TSessionPreferences::SetSmallIntPrecision(int Value) {
  smallIntPrecision_ = Value;
  DesignChange();
}

void TSessionPreferences::SetMaxStringFieldSize(int Value) {
  maxStringFieldSize_ = Value;
  DesignChange();
}

void TSessionPreferences::SetTimestampAsString(bool Value) {
  timestampAsString_ = Value;
  DesignChange();
}

void TSessionPreferences::SetUseOCI7(bool Value) {
  if (Value == useOCI7_) return;
  if (session_ && session_->Connected())
    throw Exception("Cannot change UseOCI7 property when session is connected");
  useOCI7_ = Value;
}

// ---- Server packages -----------------------------------------------------------------------------

TDBMSPackage::TDBMSPackage(TOracleSession* Session, const std::string& Name)
    : session_(Session), name_(Name), package_(std::make_unique<TOraclePackage>(nullptr)) {
  package_->SetPackageName(FullName());
  package_->SetParameterMode(pmNamed);
}

TDBMSPackage::~TDBMSPackage() = default;

void TDBMSPackage::CallProcedure(const std::string& Procedure,
                                 const std::vector<std::pair<std::string, std::string>>& Parameters) {
  std::vector<TVariant> list;
  for (const auto& [name, value] : Parameters) {
    list.emplace_back(name);
    list.emplace_back(value);
  }
  if (package_->Session() != session_) package_->SetSession(session_);
  package_->CallProcedure(Procedure, list);
}

void TDBMS_Application_Info::Set_Client_Info(const std::string& Text) {
  CallProcedure("set_client_info", {{"client_info", Text}});
}

// ---- TOracleSession ------------------------------------------------------------------------------

TOracleSession::TOracleSession(TComponent* AOwner)
    : TComponent(AOwner),
      preferences_(std::make_unique<TSessionPreferences>(this)),
      clients_(std::make_unique<TClientList>()) {
  if (IsOwnerRemoteDataModule(AOwner)) preferences_->SetMaxStringFieldSize(255);
  {
    std::lock_guard guard(sessionsLock);
    allSessions.push_back(this);
  }
  monitorId_ = NextMonitorId();
  MonitorCreated(this);
}

TOracleSession::~TOracleSession() {
  destroying_ = true;
  Destroying();
  // A logoff from the destructor never throws: the connection may be long gone.
  try {
    DoLogOff(true);
  } catch (...) {
  }
  applicationInfo_.reset();
  internalQuery_.reset();
  for (auto kind : {TClientList::kReference, TClientList::kObject, TClientList::kLOB, TClientList::kOther,
                    TClientList::kPackage, TClientList::kDataSet, TClientList::kQuery}) {
    auto list = clients_->Copy(kind);
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      clients_->Remove(kind, *it);
      (*it)->SessionDestroying(this);
    }
  }
  FreeHandles();
  std::lock_guard guard(sessionsLock);
  allSessions.erase(std::remove(allSessions.begin(), allSessions.end(), this), allSessions.end());
}

bool TOracleSession::LoggedOnByThisProcess() const {
  return connected_ && logonProcess_ == ::getpid();
}

std::vector<TOracleSession*> TOracleSession::Sessions() {
  std::lock_guard guard(sessionsLock);
  return allSessions;
}

void TOracleSession::AddQuery(TOracleSessionClient* Query) {
  clients_->Add(TClientList::kQuery, Query);
}
void TOracleSession::RemoveQuery(TOracleSessionClient* Query) {
  clients_->Remove(TClientList::kQuery, Query);
}
void TOracleSession::AddDataSet(TOracleSessionClient* DataSet) {
  clients_->Add(TClientList::kDataSet, DataSet);
}
void TOracleSession::RemoveDataSet(TOracleSessionClient* DataSet) {
  clients_->Remove(TClientList::kDataSet, DataSet);
}
void TOracleSession::AddPackage(TOracleSessionClient* Package) {
  clients_->Add(TClientList::kPackage, Package);
}
void TOracleSession::RemovePackage(TOracleSessionClient* Package) {
  clients_->Remove(TClientList::kPackage, Package);
}
void TOracleSession::AddDependent(TOracleSessionClient* Dependent) {
  clients_->Add(TClientList::kOther, Dependent);
}
void TOracleSession::RemoveDependent(TOracleSessionClient* Dependent) {
  clients_->Remove(TClientList::kOther, Dependent);
}
void TOracleSession::AddLOB(TOracleSessionClient* LOB) {
  clients_->Add(TClientList::kLOB, LOB);
}
void TOracleSession::RemoveLOB(TOracleSessionClient* LOB) {
  clients_->Remove(TClientList::kLOB, LOB);
}
void TOracleSession::AddObject(TOracleSessionClient* Object) {
  clients_->Add(TClientList::kObject, Object);
}
void TOracleSession::RemoveObject(TOracleSessionClient* Object) {
  clients_->Remove(TClientList::kObject, Object);
}
void TOracleSession::AddReference(TOracleSessionClient* Reference) {
  clients_->Add(TClientList::kReference, Reference);
}
void TOracleSession::RemoveReference(TOracleSessionClient* Reference) {
  clients_->Remove(TClientList::kReference, Reference);
}
int TOracleSession::LOBCount() const {
  return clients_->Count(TClientList::kLOB);
}
int TOracleSession::ObjectCount() const {
  return clients_->Count(TClientList::kObject);
}
int TOracleSession::ReferenceCount() const {
  return clients_->Count(TClientList::kReference);
}
int TOracleSession::QueryCount() const {
  return clients_->Count(TClientList::kQuery);
}
int TOracleSession::DataSetCount() const {
  return clients_->Count(TClientList::kDataSet);
}

void TOracleSession::ForEachClient(const std::function<void(TOracleSessionClient*)>& Action, bool Datasets) {
  if (Datasets) {
    for (auto* c : clients_->Copy(TClientList::kDataSet)) Action(c);
    return;
  }
  for (auto kind : {TClientList::kQuery, TClientList::kDataSet, TClientList::kPackage, TClientList::kOther})
    for (auto* c : clients_->Copy(kind)) Action(c);
}

// ---- Properties ----------------------------------------------------------------------------------

namespace {
bool DesignConnectionApplies(const TOracleSession* s) {
  TComponentState state = s->ComponentState();
  return s->DesignConnection() && state.Contains(csReading) && !state.Contains(csDesigning);
}
}  // namespace

void TOracleSession::SetLogonUsername(const std::string& Value) {
  if (DesignConnectionApplies(this)) return;
  if (Value != logonUsername_) {
    // A whole logon text may end in " as <role>": the blanks of that part need no quotes.
    std::string text = Value, role;
    SplitConnectAs(text, role);
    logonUsername_ = role.empty() ? QuoteIfNeeded(Value, "./@") : QuoteIfNeeded(text, "./@") + " as " + role;
  }
  UpdateODBCFlags();
}

void TOracleSession::SetLogonPassword(const std::string& Value) {
  if (DesignConnectionApplies(this)) return;
  if (Value != logonPassword_) logonPassword_ = QuoteIfNeeded(Value, "");
  UpdateODBCFlags();
}

void TOracleSession::SetLogonDatabase(const std::string& Value) {
  if (DesignConnectionApplies(this)) return;
  logonDatabase_ = Value;
  UpdateODBCFlags();
}

void TOracleSession::UpdateODBCFlags() {
  odbc_ = Pos("ODBC:", UpperCase(logonDatabase_)) > 0 || Pos("ODBC:", UpperCase(logonUsername_)) > 0;
  odbcAdapter_ = odbc_ && !ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "OCA60").empty();
}

void TOracleSession::SetThreadSafe(bool Value) {
  if (Value == threadSafe_) return;
  if (connected_) throw Exception("Cannot change ThreadSafe property when connected");
  threadSafe_ = Value;
}

void TOracleSession::SetPooling(TSessionPoolingOption Value) {
  if (Value == pooling_) return;
  if (connected_) throw Exception("Cannot change Pooling property when connected");
  pooling_ = Value;
  if (Value != spInternal) pool_ = nullptr;
}

void TOracleSession::SetPool(TOracleSessionPool* Value) {
  if (Value == pool_) return;
  if (connected_) throw Exception("Cannot change Pool property when connected");
  pool_ = Value;
  if (Value) pooling_ = spInternal;
  auto& hooks = OracleSessionPoolHooks();
  if (Value && hooks.AsComponent)
    if (TComponent* c = hooks.AsComponent(Value)) c->FreeNotification(this);
}

void TOracleSession::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  auto& hooks = OracleSessionPoolHooks();
  if (Operation == opRemove && pool_ && hooks.AsComponent && hooks.AsComponent(pool_) == AComponent)
    pool_ = nullptr;
}

void TOracleSession::SetMTSOptions(TMTSOptions Value) {
  if (Value == mtsOptions_) return;
  if (connected_) throw Exception("Cannot change MTSOptions property when connected");
  mtsOptions_ = Value;
}

void TOracleSession::SetStatementCache(bool Value) {
  if (Value == statementCache_) return;
  if (connected_) throw Exception("Cannot change StatementCache property when connected");
  statementCache_ = Value;
}

void TOracleSession::SetStatementCacheSize(int Value) {
  statementCacheSize_ = Value;
  if (connected_ && StatementCacheActive()) {
    ub4 size = static_cast<ub4>(Value);
    CheckStatus(OCI.OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, err2_), err2_);
  }
}

void TOracleSession::SetBytesPerCharacter(TBytesPerCharacterOption Value) {
  bytesPerCharacter_ = Value;
  bytesPerChar_ = 0;
}

void TOracleSession::SetSQLTrace(TSQLTraceOption Value) {
  sqlTrace_ = Value;
  if (connected_ && Value != stUnchanged)
    ExecInternal(std::string("alter session set sql_trace = ") + (Value == stTrue ? "true" : "false"), true);
}

void TOracleSession::SetOptimizerGoal(TOptimizerGoalOption Value) {
  optimizerGoal_ = Value;
  if (!connected_ || Value == ogUnchanged) return;
  static const char* const kGoals[] = {"", "choose", "first_rows", "all_rows", "rule"};
  ExecInternal(std::string("alter session set optimizer_goal = ") + kGoals[Value], true);
}

void TOracleSession::SetIsolationLevel(TIsolationLevelOption Value) {
  isolationLevel_ = Value;
  if (!connected_ || Value == ilUnchanged) return;
  ExecInternal(std::string("alter session set isolation_level = ") +
                   (Value == ilReadCommitted ? "read committed" : "serializable"),
               true);
}

void TOracleSession::SetAutoCommit(bool Value) {
  autoCommit_ = Value;
  if (!connected_ || handleMode_) return;
  EnterLock(true);
  sword status = Value ? OCI.ocon(LogonDataArea()) : OCI.ocof(LogonDataArea());
  if (status != 0) CheckHostStatus(status);
  LeaveLock(true);
}

void TOracleSession::SetConnected(bool Value) {
  TComponentState state = ComponentState();
  if (state.Contains(csReading) || state.Contains(csLoading)) {
    if (DesignConnectionApplies(this)) return;
    if (Value) pendingLogOn_ = true;
    return;
  }
  if (Value == connected_) return;
  if (Value)
    LogOn();
  else
    LogOff();
}

void TOracleSession::Loaded() {
  TComponent::Loaded();
  // A logon made here has told AfterLogOn and OnChange itself (the form is no longer being read).
  const bool logsOnHere = pendingLogOn_;
  ApplyPendingLogOn();
  if (connected_ && !logsOnHere) {
    if (AfterLogOn) AfterLogOn(this);
    InvokeEvent(OnChange, this);
  }
}

void TOracleSession::ApplyPendingLogOn() {
  if (!pendingLogOn_) return;
  pendingLogOn_ = false;
  LogOn();
}

// ---- Locks, cursor, status -----------------------------------------------------------------------

void TOracleSession::EnterLock(bool SkipInHandleMode) {
  if (threadSafe_ && !(SkipInHandleMode && handleMode_)) lock_.Enter();
}

void TOracleSession::LeaveLock(bool SkipInHandleMode) {
  if (threadSafe_ && !(SkipInHandleMode && handleMode_)) lock_.Leave();
}

void TOracleSession::ShowBusy() {
  if (cursor_ == crDefault) return;
  if (busyDepth_++ == 0) {
    savedCursor_ = GetScreenCursor();
    SetScreenCursor(cursor_);
  }
}

void TOracleSession::RestoreBusy() {
  if (cursor_ == crDefault || busyDepth_ == 0) return;
  if (--busyDepth_ == 0) SetScreenCursor(savedCursor_);
}

Lda_Def* TOracleSession::LogonDataArea() {
  return externalLDA_ ? externalLDA_ : reinterpret_cast<Lda_Def*>(lda_);
}

void TOracleSession::CheckStatus(sword Status, OCIError* ErrorHandle) {
  status_ = Status;
  if (Status != OCI_SUCCESS && Status != OCI_SUCCESS_WITH_INFO) RaiseOracleError(this, ErrorHandle, this);
}

void TOracleSession::CheckHostStatus(sword Status) {
  status_ = Status;
  if (Status != 0) RaiseOracleError(this, static_cast<int>(LogonDataArea()->rc), this);
}

void TOracleSession::FireChange() {
  InvokeEvent(OnChange, this);
}

// ---- Logon ---------------------------------------------------------------------------------------

std::string TOracleSession::ComposeLogonText() const {
  std::string text = logonUsername_;
  if (!logonPassword_.empty()) text += "/" + logonPassword_;
  if (!logonDatabase_.empty()) text += "@" + logonDatabase_;
  if (connectAs_ != caNormal) text += " as " + ConnectAsToString(connectAs_);
  return text;
}

void TOracleSession::NormaliseLogonString() {
  std::string user, password, database, role;
  SplitLogonString(ComposeLogonText(), user, password, database, role);
  logonUsername_ = user;
  logonPassword_ = password;
  logonDatabase_ = database;
  connectAs_ = StringToConnectAs(role);
  UpdateODBCFlags();
}

void TOracleSession::MakeEnvironment() {
  if (env_) return;
  if (OracleSharedEnvironment) {
    TOracleLockGuard guard(ClientLock());
    if (!sharedEnv) {
      if (OCIGroupPresent(ogOCI81))
        OCI.OCIEnvCreate(&sharedEnv, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0,
                         nullptr);
      else
        OCI.OCIEnvInit(&sharedEnv, OCI_DEFAULT, 0, nullptr);
    }
    env_ = sharedEnv;
    return;
  }
  if (OCIGroupPresent(ogOCI81))
    OCI.OCIEnvCreate(&env_, threadSafe_ ? OCI_THREADED | OCI_OBJECT : OCI_OBJECT, nullptr, nullptr, nullptr,
                     nullptr, 0, nullptr);
  else
    OCI.OCIEnvInit(&env_, threadSafe_ ? OCI_DEFAULT : OCI_ENV_NO_MUTEX, 0, nullptr);
}

void TOracleSession::Attach() {
  MakeEnvironment();
  if (!svc_) AllocHandle(env_, &svc_, OCI_HTYPE_SVCCTX);
  if (!srv_) AllocHandle(env_, &srv_, OCI_HTYPE_SERVER);
  if (!err_) AllocHandle(env_, &err_, OCI_HTYPE_ERROR);
  if (!err2_) AllocHandle(env_, &err2_, OCI_HTYPE_ERROR);
  if (!usr_) AllocHandle(env_, &usr_, OCI_HTYPE_SESSION);
  if (attached_) {
    OCI.OCIServerDetach(srv_, err2_, OCI_DEFAULT);
    attached_ = false;
  }
  CheckStatus(OCI.OCIServerAttach(srv_, err2_, reinterpret_cast<const text*>(logonDatabase_.c_str()),
                                  static_cast<sb4>(logonDatabase_.size()), OCI_DEFAULT),
              err2_);
  attached_ = true;
  OCI.OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, srv_, 0, OCI_ATTR_SERVER, err2_);
  OCI.OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, usr_, 0, OCI_ATTR_SESSION, err2_);
}

void TOracleSession::FreeHandles() {
  FreeHandle(srv_, OCI_HTYPE_SERVER);
  FreeHandle(svc_, OCI_HTYPE_SVCCTX);
  FreeHandle(err_, OCI_HTYPE_ERROR);
  FreeHandle(err2_, OCI_HTYPE_ERROR);
  FreeHandle(usr_, OCI_HTYPE_SESSION);
  if (env_ && env_ != sharedEnv) FreeHandle(env_, OCI_HTYPE_ENV);
  env_ = nullptr;
}

void TOracleSession::LogOn() {
  auto& poolHooks = OracleSessionPoolHooks();
  if ((connected_ || !Shared()) && pooling_ != spNone) {
    LogOff();
    if (pooling_ == spInternal) {
      TOracleSessionPool* pool = pool_ ? pool_ : (poolHooks.DefaultPool ? poolHooks.DefaultPool() : nullptr);
      if (!poolHooks.GetSession) throw Exception("Session pool not available");
      poolHooks.GetSession(pool, this);
      try {
        if (poolHooks.AfterReserve) poolHooks.AfterReserve(pool, this);
      } catch (...) {
      }
    } else {
      InitMTSLibrary();
      ub4 flags = 0;
      if (!mtsOptions_.Contains(moImplicit)) flags |= kMTSNoImplicit;
      if (mtsOptions_.Contains(moUniqueServer)) flags |= kMTSUniqueServer;
      OCISvcCtx* svc = nullptr;
      OCIEnv* env = nullptr;
      CheckMTSStatus("OraMTSSvcGet",
                     MTS.OraMTSSvcGet(reinterpret_cast<text*>(logonUsername_.data()),
                                      reinterpret_cast<text*>(logonPassword_.data()),
                                      reinterpret_cast<text*>(logonDatabase_.data()), &svc, &env, flags));
      mtsControlled_ = mtsOptions_.Contains(moImplicit);
      SetExternalSVC(svc);
    }
    return;
  }

  if (BeforeLogOn) BeforeLogOn(this);
  std::exception_ptr failure;
  {
    std::optional<TOracleLockGuard> clientLock;
    if (threadSafe_) clientLock.emplace(ClientLock());
    try {
      if (odbc_ && !odbcAdapter_ && OCIDLL.empty()) OCIDLL = ODBCLibraryName;
      ShowBusy();
      try {
        InitClientLibrary();
      } catch (...) {
        RestoreBusy();
        throw;
      }
      RestoreBusy();
      RegisterFinalisation();
      LogOff();
      handleMode_ = !preferences_->UseOCI7() && UseOCI8 && !ForceOCI7 && !odbc_ && !externalLDA_;
      ldaFromSvc_ = false;
      if (!Shared()) {
        NormaliseLogonString();
        std::memset(hda_, 0, sizeof hda_);
        std::memset(lda_, 0, sizeof lda_);
        ShowBusy();
        int code = 0;
        try {
          if (handleMode_) {
            ub4 mode = connectAs_ == caSYSDBA    ? OCI_SYSDBA
                       : connectAs_ == caSYSOPER ? OCI_SYSOPER
                                                 : OCI_DEFAULT;
            if (StatementCacheActive()) mode |= OCI_STMT_CACHE;
            Attach();
            if (logonUsername_.empty() && logonPassword_.empty()) {
              status_ = OCI.OCISessionBegin(svc_, err_, usr_, OCI_CRED_EXT, mode);
            } else {
              OCI.OCIAttrSet(usr_, OCI_HTYPE_SESSION, logonUsername_.data(),
                             static_cast<ub4>(logonUsername_.size()), OCI_ATTR_USERNAME, err2_);
              OCI.OCIAttrSet(usr_, OCI_HTYPE_SESSION, logonPassword_.data(),
                             static_cast<ub4>(logonPassword_.size()), OCI_ATTR_PASSWORD, err2_);
              status_ = OCI.OCISessionBegin(svc_, err_, usr_, OCI_CRED_RDBMS, mode);
            }
            if (status_ == OCI_ERROR || status_ == OCI_SUCCESS_WITH_INFO) {
              sb4 c = 0;
              char scratch[kErrorTextBuffer] = {};
              OCI.OCIErrorGet(err_, 1, nullptr, &c, reinterpret_cast<text*>(scratch), sizeof scratch,
                              OCI_HTYPE_ERROR);
              code = c;
              if (PasswordWarning(code)) logonWarning_ = scratch;
            }
            if (status_ == OCI_SUCCESS || status_ == OCI_SUCCESS_WITH_INFO) {
              char banner[kBannerBuffer] = {};
              OCI.OCIServerVersion(srv_, err2_, reinterpret_cast<text*>(banner), sizeof banner,
                                   OCI_HTYPE_SERVER);
              if (!HandleCapableBanner(banner)) {
                OCI.OCISvcCtxToLda(svc_, err2_, reinterpret_cast<Lda_Def*>(lda_));
                ldaFromSvc_ = true;
                handleMode_ = false;
              }
            }
          } else {
            std::string logonText = ComposeLogonText();
            auto* t = reinterpret_cast<text*>(logonText.data());
            if (OCIGroupPresent(ogOlog))
              status_ = OCI.olog(LogonDataArea(), hda_, t, -1, nullptr, -1, nullptr, -1, 0);
            else
              status_ = OCI.orlon(LogonDataArea(), hda_, t, -1, nullptr, -1, 0);
            code = LogonDataArea()->rc;
            if (PasswordWarning(code)) logonWarning_ = ErrorText(code);
          }
        } catch (...) {
          RestoreBusy();
          throw;
        }
        RestoreBusy();
        if (PasswordWarning(code)) {
          status_ = 0;
        } else {
          logonWarning_.clear();
          if (handleMode_ || ldaFromSvc_) {
            if (status_ != OCI_SUCCESS && status_ != OCI_SUCCESS_WITH_INFO)
              RaiseOracleError(this, err_, this);
          } else if (status_ != 0) {
            RaiseOracleError(this, code, this);
          }
        }
      }
      if (externalSVC_) {
        handleMode_ = true;
        svc_ = externalSVC_;
        OCIEnv* tmpEnv = nullptr;
        OCIError* tmpErr = nullptr;
        OCI.OCIEnvInit(&tmpEnv, OCI_DEFAULT, 0, nullptr);
        AllocHandle(tmpEnv, &tmpErr, OCI_HTYPE_ERROR);
        OCI.OCIAttrGet(svc_, OCI_HTYPE_SVCCTX, &env_, nullptr, OCI_ATTR_ENV, tmpErr);
        FreeHandle(tmpErr, OCI_HTYPE_ERROR);
        FreeHandle(tmpEnv, OCI_HTYPE_ENV);
        AllocHandle(env_, &err_, OCI_HTYPE_ERROR);
        AllocHandle(env_, &err2_, OCI_HTYPE_ERROR);
        OCI.OCIAttrGet(svc_, OCI_HTYPE_SVCCTX, &srv_, nullptr, OCI_ATTR_SERVER, err2_);
        OCI.OCIAttrGet(svc_, OCI_HTYPE_SVCCTX, &usr_, nullptr, OCI_ATTR_SESSION, err2_);
      }
      if (StatementCacheActive()) {
        ub4 size = static_cast<ub4>(statementCacheSize_);
        OCI.OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, err2_);
      }
      connected_ = true;
      logonProcess_ = ::getpid();
      if (!Shared()) ApplySettings();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  RestoreCurrentDir();
  if (!ComponentState().Contains(csReading)) {
    if (AfterLogOn) AfterLogOn(this);
    FireChange();
  }
  if (failure) std::rethrow_exception(failure);
}

void TOracleSession::ApplySettings() {
  if (autoCommit_) {
    autoCommit_ = false;
    SetAutoCommit(true);
  }
  if (sqlTrace_ != stUnchanged) {
    TSQLTraceOption v = sqlTrace_;
    sqlTrace_ = stUnchanged;
    SetSQLTrace(v);
  }
  if (optimizerGoal_ != ogUnchanged) {
    TOptimizerGoalOption v = optimizerGoal_;
    optimizerGoal_ = ogUnchanged;
    SetOptimizerGoal(v);
  }
  if (isolationLevel_ != ilUnchanged) {
    TIsolationLevelOption v = isolationLevel_;
    isolationLevel_ = ilUnchanged;
    SetIsolationLevel(v);
  }
}

// ---- Logoff --------------------------------------------------------------------------------------

void TOracleSession::LogOff() {
  DoLogOff(false);
}

void TOracleSession::DoLogOff(bool Destroying) {
  auto& poolHooks = OracleSessionPoolHooks();
  std::exception_ptr detachError;
  if (connected_) {
    if (Shared() && pooling_ == spInternal && poolHooks.BeforeRelease) {
      try {
        poolHooks.BeforeRelease(pool_, this);
      } catch (...) {
      }
    }
    if (rollbackOnDisconnect_ && !Shared()) {
      try {
        Rollback();
      } catch (...) {
      }
    }
    // A client closing may free others (a query its column objects): each is asked only while it
    // is still listed.
    for (auto kind : {TClientList::kQuery, TClientList::kDataSet, TClientList::kPackage, TClientList::kOther,
                      TClientList::kLOB, TClientList::kObject, TClientList::kReference})
      for (auto* c : clients_->Copy(kind)) {
        if (!clients_->Contains(kind, c)) continue;
        try {
          c->SessionLoggingOff(this);
        } catch (...) {
          if (!Destroying) throw;
        }
      }
    connected_ = false;
    sessionIdText_.clear();
    dateFormatLength_ = -1;
    bytesPerChar_ = 0;
    ShowBusy();
    std::exception_ptr releaseError;
    {
      std::optional<TOracleLockGuard> clientLock;
      if (threadSafe_) clientLock.emplace(ClientLock());
      try {
        if (Shared()) {
          OCISvcCtx* svc = svc_;
          externalLDA_ = nullptr;
          externalSVC_ = nullptr;
          if (handleMode_) {
            FreeHandle(err_, OCI_HTYPE_ERROR);
            FreeHandle(err2_, OCI_HTYPE_ERROR);
          }
          env_ = nullptr;
          svc_ = nullptr;
          srv_ = nullptr;
          usr_ = nullptr;
          if (pooling_ == spInternal) {
            if (poolHooks.ReleaseSession) poolHooks.ReleaseSession(pool_, this);
          } else if (pooling_ == spMTS) {
            mtsControlled_ = false;
            CheckMTSStatus("OraMTSSvcRel", MTS.OraMTSSvcRel ? MTS.OraMTSSvcRel(svc) : 0);
          }
        } else {
          try {
            if (!handleMode_ && ldaFromSvc_) {
              OCI.OCILdaToSvcCtx(&svc_, err_, reinterpret_cast<Lda_Def*>(lda_));
              ldaFromSvc_ = false;
              handleMode_ = true;
            }
            if (handleMode_)
              CheckStatus(OCI.OCISessionEnd(svc_, err_, usr_, OCI_DEFAULT), err_);
            else
              CheckHostStatus(OCI.ologof(LogonDataArea()));
          } catch (const Exception&) {
            // A logoff never fails on the session end.
          }
        }
      } catch (...) {
        releaseError = std::current_exception();
      }
    }
    RestoreBusy();
    if (!Destroying) FireChange();
    if (releaseError && !Destroying) detachError = releaseError;
  }
  if (attached_) {
    attached_ = false;
    sword status = OCI.OCIServerDetach(srv_, err2_, OCI_DEFAULT);
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO && !detachError) {
      status_ = status;
      try {
        RaiseOracleError(this, err2_, this);
      } catch (...) {
        detachError = std::current_exception();
      }
    }
  }
  // Every handle goes, whatever the detach answered.
  FreeHandles();
  for (auto* c : clients_->Copy(TClientList::kDataSet)) {
    try {
      c->SessionLoggedOff(this);
    } catch (...) {
      if (!Destroying && !detachError) detachError = std::current_exception();
    }
  }
  if (detachError && !Destroying) std::rethrow_exception(detachError);
}

// ---- Transactions and checks ---------------------------------------------------------------------

void TOracleSession::Commit() {
  if (!connected_) return;
  if (mtsControlled_) throw Exception("Cannot commit an MTS Controlled Transaction");
  EnterLock(true);
  if (handleMode_) {
    status_ = OCI.OCITransCommit(svc_, err_, OCI_DEFAULT);
    if (status_ != OCI_SUCCESS && status_ != OCI_SUCCESS_WITH_INFO) RaiseOracleError(this, err_, this);
  } else {
    status_ = OCI.ocom(LogonDataArea());
    if (status_ != 0) RaiseOracleError(this, static_cast<int>(LogonDataArea()->rc), this);
  }
  LeaveLock(true);
}

void TOracleSession::Rollback() {
  if (!connected_) return;
  if (mtsControlled_) throw Exception("Cannot rollback an MTS Controlled Transaction");
  EnterLock(true);
  if (handleMode_) {
    status_ = OCI.OCITransRollback(svc_, err_, OCI_DEFAULT);
    if (status_ != OCI_SUCCESS && status_ != OCI_SUCCESS_WITH_INFO) RaiseOracleError(this, err_, this);
  } else {
    status_ = OCI.orol(LogonDataArea());
    if (status_ != 0) RaiseOracleError(this, static_cast<int>(LogonDataArea()->rc), this);
  }
  LeaveLock(true);
}

int TOracleSession::CheckConnection(bool Reconnect) {
  if (!connected_) {
    if (!Reconnect) return 1;
    try {
      LogOn();
      return 2;
    } catch (const Exception&) {
      return 1;
    }
  }
  try {
    TOracleQuery query(nullptr);
    query.SetSession(this);
    query.SQL()->SetText("select 'x' from dual");
    query.Execute();
    return 0;
  } catch (const EOracleError& e) {
    if (e.ErrorCode() == ORA_MAX_OPEN_CURSORS || e.ErrorCode() == ORA_TABLE_NOT_FOUND) return 0;
  }
  try {
    LogOff();
  } catch (const Exception&) {
  }
  if (!Reconnect) return 1;
  try {
    LogOn();
    return 2;
  } catch (const Exception&) {
    return 1;
  }
}

namespace {
// The new password as a quoted identifier: a text already wholly in double quotes stays as it is,
// any other is put in double quotes (inner quotes doubled) so it can never end the statement.
std::string QuotePassword(const std::string& Password) {
  if (Password.size() >= 2 && Password.front() == '"' && Password.back() == '"' &&
      Password.find('"', 1) == Password.size() - 1)
    return Password;
  return "\"" + StringReplace(Password, "\"", "\"\"", {rfReplaceAll}) + "\"";
}
}  // namespace

void TOracleSession::ChangePassword(const std::string& NewPassword) {
  if (odbc_ && !odbcAdapter_ && OCIDLL.empty()) OCIDLL = ODBCLibraryName;
  ShowBusy();
  try {
    InitClientLibrary();
  } catch (...) {
    RestoreBusy();
    throw;
  }
  RestoreBusy();
  bool handle =
      connected_ ? handleMode_ : !preferences_->UseOCI7() && UseOCI8 && !ForceOCI7 && !odbc_ && !externalLDA_;
  if (handle) {
    if (!attached_) {
      NormaliseLogonString();
      Attach();
    }
    handleMode_ = true;
    status_ = OCI.OCIPasswordChange(
        svc_, err_, reinterpret_cast<const text*>(logonUsername_.data()),
        static_cast<ub4>(logonUsername_.size()), reinterpret_cast<const text*>(logonPassword_.data()),
        static_cast<ub4>(logonPassword_.size()), reinterpret_cast<const text*>(NewPassword.data()),
        static_cast<ub4>(NewPassword.size()), OCI_DEFAULT);
    if (status_ != OCI_SUCCESS && status_ != OCI_SUCCESS_WITH_INFO) RaiseOracleError(this, err_, this);
  } else {
    ExecInternal("alter user " + logonUsername_ + " identified by " + QuotePassword(NewPassword), true);
  }
  logonPassword_.clear();
  SetLogonPassword(NewPassword);
}

std::string TOracleSession::ErrorText(int Code) {
  char buffer[2001] = {};
  alignas(8) uint8_t zeroed[TALVIK_LDA_SIZE] = {};
  Lda_Def* lda = handleMode_ ? reinterpret_cast<Lda_Def*>(zeroed) : LogonDataArea();
  EnterLock(true);
  if (OCI.oerhms)
    OCI.oerhms(lda, static_cast<sb2>(Code), reinterpret_cast<text*>(buffer),
               static_cast<sword>(sizeof buffer));
  LeaveLock(true);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

// ---- Conversions ---------------------------------------------------------------------------------

int TOracleSession::MaxStringChars() {
  return (handleMode_ ? kMaxStringBytesHandleMode : kMaxStringBytesHostMode) / BytesPerChar();
}

int TOracleSession::BytesPerChar() {
  if (bytesPerChar_ == 0) {
    int result = 1;
    if (bytesPerCharacter_ == bcAutoDetect && connected_) {
      // One byte per character while the detection itself runs.
      bytesPerChar_ = 1;
      TOracleQuery query(nullptr);
      query.SetName("BytesPerCharacterQuery");
      query.SetSession(this);
      query.SQL()->SetText(
          "select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2 from dual");
      try {
        query.Execute();
      } catch (...) {
        bytesPerChar_ = 0;
        throw;
      }
      if (!query.Eof()) {
        result = query.FieldAsInteger(0);
        if (result == 1) result = query.FieldAsInteger(1);
        if (result == 1) result = query.FieldAsInteger(2);
      }
    } else {
      switch (bytesPerCharacter_) {
        case bc2Bytes:
          result = 2;
          break;
        case bc3Bytes:
          result = 3;
          break;
        case bc4Bytes:
          result = 4;
          break;
        default:
          result = 1;
          break;
      }
    }
    bytesPerChar_ = result <= 0 ? 1 : result;
  }
  return bytesPerChar_;
}

int TOracleSession::DateFormatLength() {
  if (dateFormatLength_ < 0 || !connected_) {
    int longest = 0;
    if (connected_) {
      std::string sql;
      for (int month = 1; month <= 12; ++month) {
        if (month > 1) sql += "\r\nunion all\r\n";
        sql += Format("select to_char(to_date('10-%d-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual",
                      {month});
      }
      TOracleQuery query(nullptr);
      query.SetName("DateFormatLengthQuery");
      query.SetSession(this);
      query.SQL()->SetText(sql);
      query.Execute();
      for (; !query.Eof(); query.Next()) longest = std::max(longest, Utf8Length(query.FieldAsString(0)));
    }
    int result = longest > 0 ? longest : 40;
    if (!connected_) return result;
    dateFormatLength_ = result;
  }
  return dateFormatLength_;
}

void TOracleSession::NumberBuffer(int Precision, int Scale, bool ForceString, int& TypeCode, int& Size) {
  bool floating = Scale == -127;
  if (floating) Precision = 38;
  if (Precision == 0 && Scale == 0) Precision = 38;
  int integerLimit = preferences_->IntegerPrecision();
  if (integerLimit == 0) integerLimit = odbc_ ? 10 : 9;
  int floatLimit = preferences_->FloatPrecision();
  if (Scale < 1 && Precision <= integerLimit && !ForceString) {
    TypeCode = SQLT_INT;
    Size = 4;
  } else if ((floatLimit == 0 || Precision <= floatLimit) && !ForceString) {
    TypeCode = SQLT_FLT;
    Size = 8;
  } else {
    TypeCode = SQLT_STR;
    Size = Scale < 1 ? Precision + 2 : Precision + 3;
    if (floating) Size += 132;
    if (OracleWideNumberBuffers) Size *= BytesPerChar() * 4;
  }
}

int TOracleSession::DescribeTypeCode(void* ObjectPointer) {
  if (!handleMode_) return 0;
  OCIDescribe* dsc = nullptr;
  CheckStatus(OCI.OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0, nullptr),
              err_);
  ub2 typeCode = 0;
  sword status = OCI.OCIDescribeAny(svc_, err_, ObjectPointer, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, dsc);
  OCIParam* param = nullptr;
  if (status == OCI_SUCCESS)
    status = OCI.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, err_);
  if (status == OCI_SUCCESS)
    status = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &typeCode, nullptr, OCI_ATTR_TYPECODE, err_);
  if (status != OCI_SUCCESS) {
    std::exception_ptr error;
    try {
      CheckStatus(status, err_);
    } catch (...) {
      error = std::current_exception();
    }
    FreeHandle(dsc, OCI_HTYPE_DESCRIBE);
    std::rethrow_exception(error);
  }
  FreeHandle(dsc, OCI_HTYPE_DESCRIBE);
  return typeCode;
}

// ---- Sharing -------------------------------------------------------------------------------------

Lda_Def* TOracleSession::ExternalLDA() const {
  if (!connected_ || handleMode_) throw Exception("ExternalLDA only valid when connected through OCI7");
  return externalLDA_ ? externalLDA_ : const_cast<Lda_Def*>(reinterpret_cast<const Lda_Def*>(lda_));
}

void TOracleSession::SetExternalLDA(Lda_Def* Value) {
  LogOff();
  if (Value) {
    externalLDA_ = Value;
    LogOn();
  }
}

OCISvcCtx* TOracleSession::ExternalSVC() const {
  if (!connected_ || !handleMode_) throw Exception("ExternalSVC only valid when connected through OCI8");
  return svc_;
}

void TOracleSession::SetExternalSVC(OCISvcCtx* Value) {
  InitClientLibrary();
  if (!UseOCI8 || preferences_->UseOCI7() || ForceOCI7) throw Exception("ExternalSVC only valid with OCI8");
  LogOff();
  if (Value) {
    externalSVC_ = Value;
    LogOn();
  }
}

OCIServer* TOracleSession::ExternalSRV() const {
  if (!connected_ || !handleMode_) throw Exception("ExternalSRV only valid when connected through OCI8");
  return srv_;
}

void TOracleSession::Share(TOracleSession* Target) {
  Target->SetLogonUsername(logonUsername_);
  Target->SetLogonPassword(logonPassword_);
  Target->SetLogonDatabase(logonDatabase_);
  if (handleMode_)
    Target->SetExternalSVC(svc_);
  else
    Target->SetExternalLDA(LogonDataArea());
}

TDBMS_Application_Info* TOracleSession::DBMS_Application_Info() {
  if (!applicationInfo_) applicationInfo_ = std::make_unique<TDBMS_Application_Info>(this);
  return applicationInfo_.get();
}

void TOracleSession::ExecInternal(const std::string& SQL, bool ShowBusyCursor) {
  if (ShowBusyCursor) ShowBusy();
  try {
    if (!internalQuery_) {
      internalQuery_ = std::make_unique<TOracleQuery>(nullptr);
      internalQuery_->SetName("Query");
      internalQuery_->SetSession(this);
    }
    internalQuery_->Clear();
    internalQuery_->SQL()->SetText(SQL);
    internalQuery_->Execute();
  } catch (...) {
    if (ShowBusyCursor) RestoreBusy();
    throw;
  }
  if (ShowBusyCursor) RestoreBusy();
}
