// The database session (TOracleSession): logon and logoff, transactions, the client handles its
// queries, datasets and packages work through, its preferences and server-package wrappers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleVisual.h"
#include "platform/rtl/Classes.h"

using TOracleSessionEvent = std::function<void(TOracleSession* Sender)>;
enum TSessionPoolingOption { spNone, spInternal, spMTS };
enum TMTSOption { moImplicit, moUniqueServer };
using TMTSOptions = TSet<TMTSOption>;
enum TNullValueOption { nvUnAssigned, nvNull };
enum TSQLTraceOption { stUnchanged, stTrue, stFalse };
enum TOptimizerGoalOption { ogUnchanged, ogChoose, ogFirstRows, ogAllRows, ogRule };
enum TIsolationLevelOption { ilUnchanged, ilReadCommitted, ilSerializable };
enum TBytesPerCharacterOption { bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes };
enum TTemporaryLOBOption { tlNone, tlCache, tlNoCache };

// What a session tells the objects that work through it (queries, datasets, packages and others).
class TOracleSessionClient {
 public:
  virtual ~TOracleSessionClient() = default;
  // The session logs off: close cursors, release client handles (a dataset that is not
  // Detachable closes itself).
  virtual void SessionLoggingOff(TOracleSession* Session) = 0;
  // The session has logged off (a dataset left Detached tells its controls).
  virtual void SessionLoggedOff(TOracleSession* /*Session*/) {}
  // The session is being destroyed: the object's session becomes none.
  virtual void SessionDestroying(TOracleSession* Session) = 0;
  // Design-time preference changes: close and reset, and reopen when it was active.
  virtual void SessionPreferencesChanged(TOracleSession* /*Session*/) {}
};

class TSessionPreferences : public TPersistent {
  TALVIK_CLASS(TSessionPreferences, TPersistent)
  explicit TSessionPreferences(TOracleSession* Session);
  void Assign(TPersistent* Source) override;

  int FloatPrecision() const { return floatPrecision_; }
  void SetFloatPrecision(int Value);
  int IntegerPrecision() const { return integerPrecision_; }
  void SetIntegerPrecision(int Value);
  int SmallIntPrecision() const { return smallIntPrecision_; }
  void SetSmallIntPrecision(int Value);
  bool UseOCI7() const { return useOCI7_; }
  // "Cannot change UseOCI7 property when session is connected".
  void SetUseOCI7(bool Value);
  bool ConvertCRLF() const { return convertCRLF_; }
  void SetConvertCRLF(bool Value) { convertCRLF_ = Value; }
  bool TrimStringFields() const { return trimStringFields_; }
  void SetTrimStringFields(bool Value) { trimStringFields_ = Value; }
  int MaxStringFieldSize() const { return maxStringFieldSize_; }
  void SetMaxStringFieldSize(int Value);
  bool ZeroDateIsNull() const { return zeroDateIsNull_; }
  void SetZeroDateIsNull(bool Value) { zeroDateIsNull_ = Value; }
  bool NullLOBIsEmpty() const { return nullLOBIsEmpty_; }
  void SetNullLOBIsEmpty(bool Value) { nullLOBIsEmpty_ = Value; }
  bool NullObjectIsEmpty() const { return nullObjectIsEmpty_; }
  void SetNullObjectIsEmpty(bool Value) { nullObjectIsEmpty_ = Value; }
  TTemporaryLOBOption TemporaryLOB() const { return temporaryLOB_; }
  void SetTemporaryLOB(TTemporaryLOBOption Value) { temporaryLOB_ = Value; }
  bool TimestampAsString() const { return timestampAsString_; }
  void SetTimestampAsString(bool Value);

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  void DesignChange();
  TOracleSession* session_;
  int floatPrecision_ = 0;
  int integerPrecision_ = 0;
  int smallIntPrecision_ = -1;
  bool useOCI7_ = false;
  bool convertCRLF_ = true;
  bool trimStringFields_ = true;
  int maxStringFieldSize_ = 0;
  bool zeroDateIsNull_ = true;
  bool nullLOBIsEmpty_ = false;
  bool nullObjectIsEmpty_ = false;
  TTemporaryLOBOption temporaryLOB_ = tlCache;
  bool timestampAsString_ = false;
};

// A server package reached through the session ("sys." + name).
class TDBMSPackage : public TObject {
  TALVIK_CLASS(TDBMSPackage, TObject)
  TDBMSPackage(TOracleSession* Session, const std::string& Name);
  ~TDBMSPackage() override;
  const std::string& Name() const { return name_; }
  std::string FullName() const { return "sys." + name_; }
  TOracleSession* Session() const { return session_; }

 protected:
  // Calls procedure Procedure of the package with named string parameters.
  void CallProcedure(const std::string& Procedure,
                     const std::vector<std::pair<std::string, std::string>>& Parameters);

 private:
  TOracleSession* session_;
  std::string name_;
  std::unique_ptr<TOraclePackage> package_;  // named "sys." + name
};

class TDBMS_Application_Info : public TDBMSPackage {
  TALVIK_CLASS(TDBMS_Application_Info, TDBMSPackage)
  explicit TDBMS_Application_Info(TOracleSession* Session) : TDBMSPackage(Session, "dbms_application_info") {}
  void Set_Client_Info(const std::string& Text);
};

class TOracleSession : public TComponent {
  TALVIK_CLASS(TOracleSession, TComponent)
  explicit TOracleSession(TComponent* AOwner);
  ~TOracleSession() override;

  // ---- Published properties ----
  TOracleSessionEvent OnChange;
  TOracleSessionEvent BeforeLogOn;
  TOracleSessionEvent AfterLogOn;
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value) { cursor_ = Value; }
  bool DesignConnection() const { return designConnection_; }
  void SetDesignConnection(bool Value) { designConnection_ = Value; }
  const std::string& LogonUsername() const { return logonUsername_; }
  void SetLogonUsername(const std::string& Value);
  const std::string& LogonPassword() const { return logonPassword_; }
  void SetLogonPassword(const std::string& Value);
  const std::string& LogonDatabase() const { return logonDatabase_; }
  void SetLogonDatabase(const std::string& Value);
  TConnectAsOption ConnectAs() const { return connectAs_; }
  void SetConnectAs(TConnectAsOption Value) { connectAs_ = Value; }
  bool ThreadSafe() const { return threadSafe_; }
  void SetThreadSafe(bool Value);
  TSessionPreferences* Preferences() const { return preferences_.get(); }
  void SetPreferences(TSessionPreferences* Value) { preferences_->Assign(Value); }
  TSessionPoolingOption Pooling() const { return pooling_; }
  void SetPooling(TSessionPoolingOption Value);
  TOracleSessionPool* Pool() const { return pool_; }
  void SetPool(TOracleSessionPool* Value);
  TMTSOptions MTSOptions() const { return mtsOptions_; }
  void SetMTSOptions(TMTSOptions Value);
  bool RollbackOnDisconnect() const { return rollbackOnDisconnect_; }
  void SetRollbackOnDisconnect(bool Value) { rollbackOnDisconnect_ = Value; }
  TNullValueOption NullValue() const { return nullValue_; }
  void SetNullValue(TNullValueOption Value) { nullValue_ = Value; }
  TSQLTraceOption SQLTrace() const { return sqlTrace_; }
  void SetSQLTrace(TSQLTraceOption Value);
  TOptimizerGoalOption OptimizerGoal() const { return optimizerGoal_; }
  void SetOptimizerGoal(TOptimizerGoalOption Value);
  TIsolationLevelOption IsolationLevel() const { return isolationLevel_; }
  void SetIsolationLevel(TIsolationLevelOption Value);
  TBytesPerCharacterOption BytesPerCharacter() const { return bytesPerCharacter_; }
  void SetBytesPerCharacter(TBytesPerCharacterOption Value);
  const std::string& MessageTable() const { return messageTable_; }
  void SetMessageTable(const std::string& Value) { messageTable_ = Value; }
  bool Shared() const { return externalLDA_ != nullptr || externalSVC_ != nullptr; }
  bool StatementCache() const { return statementCache_; }
  void SetStatementCache(bool Value);
  int StatementCacheSize() const { return statementCacheSize_; }
  void SetStatementCacheSize(int Value);
  bool Connected() const { return connected_; }
  // Connected by this process (not a connection a forked process inherited).
  bool LoggedOnByThisProcess() const;
  void SetConnected(bool Value);

  // ---- Connection ----
  void LogOn();
  void LogOff();
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // If a logon is pending from loading, clears the mark and logs on.
  void ApplyPendingLogOn();
  void Commit();
  void Rollback();
  // 0 connection fine, 1 broken (or not connected), 2 connected again.
  int CheckConnection(bool Reconnect);
  void ChangePassword(const std::string& NewPassword);
  std::string ErrorText(int Code);
  // The text of the password-expiry warning of the last logon ("" when none).
  const std::string& LogonWarning() const { return logonWarning_; }
  bool AutoCommit() const { return autoCommit_; }
  void SetAutoCommit(bool Value);

  // ---- Conversions the queries use ----
  int MaxStringChars();
  int BytesPerChar();
  int DateFormatLength();
  void NumberBuffer(int Precision, int Scale, bool ForceString, int& TypeCode, int& Size);
  int DescribeTypeCode(void* ObjectPointer);

  // ---- Sharing a connection ----
  Lda_Def* ExternalLDA() const;
  void SetExternalLDA(Lda_Def* Value);
  OCISvcCtx* ExternalSVC() const;
  void SetExternalSVC(OCISvcCtx* Value);
  OCIServer* ExternalSRV() const;
  void Share(TOracleSession* Target);

  TDBMS_Application_Info* DBMS_Application_Info();

  // ---- For queries, packages and the other objects of this subsystem ----
  void EnterLock(bool SkipInHandleMode);
  void LeaveLock(bool SkipInHandleMode);
  // Runs a statement on the session's own connection, with the busy cursor when asked.
  void ExecInternal(const std::string& SQL, bool ShowBusy);
  // Shows the session's busy cursor (saving the screen's) and puts the saved one back.
  void ShowBusy();
  void RestoreBusy();

  // Handle mode (the handle-based generation) or host-call mode.
  bool HandleMode() const { return handleMode_; }
  OCIEnv* EnvironmentHandle() const { return env_; }
  // The error handle of general calls, and the one of attach, detach and attribute calls.
  OCIError* ErrorHandle() const { return err_; }
  OCIError* AttrErrorHandle() const { return err2_; }
  OCISvcCtx* ServiceContext() const { return svc_; }
  OCIServer* ServerHandle() const { return srv_; }
  OCISession* SessionHandle() const { return usr_; }
  // The logon data area of host-call mode (the external one when shared).
  Lda_Def* LogonDataArea();
  bool StatementCacheActive() const { return statementCache_ && OCIGroupPresent(ogOCI92) && handleMode_; }
  bool ODBCMode() const { return odbc_; }
  bool ODBCAdapter() const { return odbcAdapter_; }
  sword LastStatus() const { return status_; }
  void SetLastStatus(sword Value) { status_ = Value; }
  int MonitorId() const { return monitorId_; }
  bool MTSControlled() const { return mtsControlled_; }

  // The lists of the objects that work through this session (thread-safe).
  void AddQuery(TOracleSessionClient* Query);
  void RemoveQuery(TOracleSessionClient* Query);
  void AddDataSet(TOracleSessionClient* DataSet);
  void RemoveDataSet(TOracleSessionClient* DataSet);
  void AddPackage(TOracleSessionClient* Package);
  void RemovePackage(TOracleSessionClient* Package);
  void AddDependent(TOracleSessionClient* Dependent);
  void RemoveDependent(TOracleSessionClient* Dependent);
  // LOB locators, objects and references: their client handles go when the session logs off.
  void AddLOB(TOracleSessionClient* LOB);
  void RemoveLOB(TOracleSessionClient* LOB);
  void AddObject(TOracleSessionClient* Object);
  void RemoveObject(TOracleSessionClient* Object);
  void AddReference(TOracleSessionClient* Reference);
  void RemoveReference(TOracleSessionClient* Reference);
  int QueryCount() const;
  int DataSetCount() const;
  int LOBCount() const;
  int ObjectCount() const;
  int ReferenceCount() const;

  // Every session of the process.
  static std::vector<TOracleSession*> Sessions();

 private:
  friend class TSessionPreferences;
  class TClientList;

  void NormaliseLogonString();
  std::string ComposeLogonText() const;
  void UpdateODBCFlags();
  void CheckStatus(sword Status, OCIError* ErrorHandle);
  void CheckHostStatus(sword Status);
  void MakeEnvironment();
  void Attach();
  void FreeHandles();
  void ApplySettings();
  void SendSetting(const std::string& SQL);
  void DoLogOff(bool Destroying);
  void ForEachClient(const std::function<void(TOracleSessionClient*)>& Action, bool Datasets);
  void FireChange();

  TCursor cursor_ = oracle_ui::crHourGlass;
  bool designConnection_ = false;
  std::string logonUsername_;
  std::string logonPassword_;
  std::string logonDatabase_;
  TConnectAsOption connectAs_ = caNormal;
  bool threadSafe_ = false;
  std::unique_ptr<TSessionPreferences> preferences_;
  TSessionPoolingOption pooling_ = spNone;
  TOracleSessionPool* pool_ = nullptr;
  TMTSOptions mtsOptions_{moImplicit, moUniqueServer};
  bool rollbackOnDisconnect_ = false;
  TNullValueOption nullValue_ = nvUnAssigned;
  TSQLTraceOption sqlTrace_ = stUnchanged;
  TOptimizerGoalOption optimizerGoal_ = ogUnchanged;
  TIsolationLevelOption isolationLevel_ = ilUnchanged;
  TBytesPerCharacterOption bytesPerCharacter_ = bc1Byte;
  std::string messageTable_;
  bool statementCache_ = false;
  int statementCacheSize_ = 20;
  bool connected_ = false;
  // The process that logged the session on (a forked child must not end its parent's connection).
  int64_t logonProcess_ = 0;

  sword status_ = 0;
  bool attached_ = false;
  bool handleMode_ = false;
  bool ldaFromSvc_ = false;
  alignas(8) uint8_t lda_[TALVIK_LDA_SIZE] = {};
  alignas(8) uint8_t hda_[TALVIK_HDA_SIZE] = {};
  Lda_Def* externalLDA_ = nullptr;
  OCISvcCtx* externalSVC_ = nullptr;
  OCIEnv* env_ = nullptr;
  OCIError* err_ = nullptr;
  OCIError* err2_ = nullptr;
  OCISvcCtx* svc_ = nullptr;
  OCISession* usr_ = nullptr;
  OCIServer* srv_ = nullptr;
  std::string logonWarning_;
  bool autoCommit_ = false;
  int bytesPerChar_ = 0;
  int dateFormatLength_ = -1;
  std::string sessionIdText_;
  bool odbc_ = false;
  bool odbcAdapter_ = false;
  bool mtsControlled_ = false;
  bool pendingLogOn_ = false;
  bool destroying_ = false;
  TCursor savedCursor_ = 0;
  int busyDepth_ = 0;
  int monitorId_ = 0;
  TOracleCriticalSection lock_;
  std::unique_ptr<TClientList> clients_;
  std::unique_ptr<TDBMS_Application_Info> applicationInfo_;
  std::unique_ptr<TOracleQuery> internalQuery_;  // "Query", for ExecInternal
};

// The session pool's hooks the session calls (the pool unit installs them): take a connection for
// the session, fire the pool's events, give the connection back.
struct TOracleSessionPoolHooks {
  std::function<void(TOracleSessionPool* Pool, TOracleSession* Session)> GetSession;
  std::function<void(TOracleSessionPool* Pool, TOracleSession* Session)> AfterReserve;
  std::function<void(TOracleSessionPool* Pool, TOracleSession* Session)> BeforeRelease;
  std::function<void(TOracleSessionPool* Pool, TOracleSession* Session)> ReleaseSession;
  std::function<TOracleSessionPool*()> DefaultPool;
  // The pool as a component (for its free notification).
  std::function<TComponent*(TOracleSessionPool* Pool)> AsComponent;
};
TOracleSessionPoolHooks& OracleSessionPoolHooks();

// What a null value reads as: null under the session's nvNull, else unassigned (also without a
// session).
TVariant NullVariant(TOracleSession* Session);

// Whether a server banner names a release that talks the handle-based generation.
bool HandleCapableBanner(const std::string& Banner);

// Unit switches: all sessions share one client environment (default true); wide number buffers
// (default false).
extern bool OracleSharedEnvironment;
extern bool OracleWideNumberBuffers;
// The shared environment (nullptr until the first logon makes it).
OCIEnv* SharedEnvironment();
