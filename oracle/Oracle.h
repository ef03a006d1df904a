// Oracle access: the errors of the client library as exceptions, the SQL text scanners, logon
// strings, value conversions, and the database session (TOracleSession) with its preferences and
// server-package wrappers. Queries, variables and packages work through the session.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oracle/OracleCI.h"
#include "oracle/OracleTypes.h"
#include "oracle/OracleVisual.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

class TOracleSession;
class TOracleQuery;
class TOraclePackage;
class TOracleSessionPool;
class TLOBLocator;
class TOracleObject;
class TXMLType;
class TOracleReference;

// ================================================================================================
// Errors
// ================================================================================================

inline constexpr int MaxErrorMessageLength = 1023;

// An error the client library reported: the server's text, its code, and where it happened.
class EOracleError : public Exception {
 public:
  // Reads code and text from the error handle (without a session, or in handle mode), or takes the
  // code and asks the client for its text (host-call mode). Leaves the session lock once: the
  // caller entered it around the call that failed.
  EOracleError(TOracleSession* Session, TObject* Query, OCIError* ErrorHandle, int Code = 0);
  // An error whose code and text are known.
  EOracleError(const std::string& Message, int ErrorCode, TObject* Query = nullptr,
               TOracleSession* Session = nullptr);
  const char* ClassName() const noexcept override { return "EOracleError"; }

  int ErrorCode() const { return errorCode_; }
  // The query whose call failed, the session for its own calls, or nullptr.
  TObject* Query() const { return query_; }
  TOracleSession* Session() const { return session_; }

 private:
  int errorCode_ = 0;
  TObject* query_ = nullptr;
  TOracleSession* session_ = nullptr;
};

// The same error for a code listed in Warnings.
class EOracleWarning : public EOracleError {
 public:
  using EOracleError::EOracleError;
  const char* ClassName() const noexcept override { return "EOracleWarning"; }
};

// An error of the transaction server's companion library.
class EOracleMTSError : public Exception {
 public:
  EOracleMTSError(const std::string& FunctionName, int Status);
  const char* ClassName() const noexcept override { return "EOracleMTSError"; }
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// The text of a transaction-server status ("" for an unknown one).
std::string MTSErrorText(int Status);
void CheckMTSStatus(const std::string& FunctionName, int Status);

// Raises EOracleWarning for a code in Warnings, else EOracleError. The handle form is for handle
// mode (and for calls without a session); the code form for host-call mode.
[[noreturn]] void RaiseOracleError(TOracleSession* Session, OCIError* ErrorHandle, TObject* Query);
[[noreturn]] void RaiseOracleError(TOracleSession* Session, int Code, TObject* Query);

// Error codes raised as EOracleWarning. Filled once from HKEY_CURRENT_USER
// "SOFTWARE\Corvane Labs\RVL\Warnings" when a debugger is attached at start.
std::vector<int> Warnings();
void SetWarnings(const std::vector<int>& Codes);
// Reads the list from the registry (values "1", "2", ...; "*" passes a value over).
void ReadWarnings();

// ================================================================================================
// SQL text helpers
// ================================================================================================

// The ":name" bind variables of a statement, upper-cased, each with its 1-based character position
// as the item's object (an intptr_t). The caller owns the list.
TStringList* FindVariables(const std::string& SQL, bool AllowDuplicates);
// The position FindVariables stored with item Index.
int VariablePosition(TStrings* Variables, int Index);
// The text without its comments, trimmed. Line breaks stay where a "--" comment ends.
std::string RemoveSQLComments(const std::string& SQL);
// Name in double quotes when it holds a character that is not a name character or in AllowedChars.
std::string QuoteIfNeeded(const std::string& Name, const std::string& AllowedChars);

// ================================================================================================
// Logon strings
// ================================================================================================

enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };

void SplitConnectAs(std::string& Text, std::string& ConnectAs);
std::string ConnectAsToString(TConnectAsOption ConnectAs);
TConnectAsOption StringToConnectAs(const std::string& Text);
// Splits "user/password@database as role" (quotes group); with an empty LogonText builds it from the
// parts first. True when a password, database or role was found.
bool SplitLogonString(std::string LogonText, std::string& Username, std::string& Password,
                      std::string& Database, std::string& ConnectAs);

// ================================================================================================
// Values
// ================================================================================================

// Oracle's 7-byte DATE: century + 100, year + 100, month, day, hour + 1, minute + 1, second + 1.
void DateTimeToOracleDate(uint8_t* Dest, TDateTime DateTime);
TDateTime OracleDateToDateTime(const uint8_t* Src);
TDateTime OCIDateToDateTime(const OCIDate& Src);
// Date and time of a timestamp descriptor; the first failing status, else 0.
sword OCIDateTimeToDateTime(TOracleSession* Session, OCIError* ErrorHandle, OCIDateTime* Descriptor,
                            TDateTime& DateTime);
// The descriptor type of a timestamp type code.
ub4 TimestampDescriptorType(int TypeCode);
// A value of the client's external type in a fetch or bind buffer as a variant.
void OracleValueToVariant(const void* Buffer, int TypeCode, int Length, TVariant& Value,
                          TOracleSession* Session);
std::string VariantBytesToString(const TVariant& Value);
// "1 record", "2 records".
std::string CountText(int N, const std::string& Word);

// ================================================================================================
// SQL monitor hooks (nothing installs them; every call is a no-op then)
// ================================================================================================

enum TMonitorKind { mkSession, mkQuery, mkPackage, mkLogon, mkOther };
struct TOracleMonitorHooks {
  std::function<void(bool Start, TMonitorKind Kind, int SessionId, int ObjectId, const std::string& Text)>
      Event;
  std::function<void(int ObjectId, const std::string& Details)> Call;
  std::function<bool()> WantsMessages;
  std::function<bool()> WantsDetails;
  std::function<void(const EOracleError& Error)> Error;
  std::function<void()> Finalize;
  std::function<void(TObject* Created)> Created;
  bool Disabled = false;
};
TOracleMonitorHooks& OracleMonitorHooks();
int NextMonitorId();
bool MonitorWantsMessages();
bool MonitorWantsDetails();
void MonitorEvent(bool Start, TMonitorKind Kind, int SessionId, int ObjectId, const std::string& Text);
void MonitorCall(int ObjectId, const std::string& Details);
void MonitorCreated(TObject* Created);

// ================================================================================================
// Session
// ================================================================================================

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

// ================================================================================================
// Query
// ================================================================================================

using TOracleQueryEvent = std::function<void(TOracleQuery* Sender)>;
using TArrayErrorEvent = std::function<void(TOracleQuery* Sender, int Index, int ErrorCode,
                                            const std::string& ErrorMessage, bool& Continue)>;
using TThreadErrorEvent =
    std::function<void(TOracleQuery* Sender, int ErrorCode, const std::string& ErrorMessage)>;

// Runs a threaded query: executes it, walks its rows and reports through the query's events.
class TQueryThread : public TThread {
  TALVIK_CLASS(TQueryThread, TThread)
  explicit TQueryThread(TOracleQuery* Query);
  ~TQueryThread() override;
  TOracleQuery* Query() const { return query_; }
  int ErrorCode() const { return errorCode_; }
  const std::string& ErrorMessage() const { return errorMessage_; }

 protected:
  void Execute() override;

 private:
  void Fire(const std::function<void()>& Event);
  TOracleQuery* query_;
  int errorCode_ = 0;
  std::string errorMessage_;
};

// One SQL statement or PL/SQL block run on a session, with its variables and its fetch buffer.
class TOracleQuery : public TComponent, public TOracleSessionClient {
  TALVIK_CLASS(TOracleQuery, TComponent)
  explicit TOracleQuery(TComponent* AOwner);
  ~TOracleQuery() override;

  // ---- Published properties ----
  TStrings* SQL() const { return sql_.get(); }
  void SetSQL(TStrings* Value);
  TOracleSession* Session() const { return session_; }
  void SetSession(TOracleSession* Value);
  int ReadBuffer() const { return readBuffer_; }
  void SetReadBuffer(int Value) { readBuffer_ = Value < 1 ? 1 : Value; }
  bool Optimize() const { return optimize_; }
  void SetOptimize(bool Value) { optimize_ = Value; }
  bool Debug() const { return debug_; }
  void SetDebug(bool Value) { debug_ = Value; }
  TVariables* Variables() const { return variables_.get(); }
  void SetVariables(TVariables* Value) { variables_->Assign(Value); }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value) { cursor_ = Value; }
  bool StringFieldsOnly() const { return stringFieldsOnly_; }
  void SetStringFieldsOnly(bool Value);
  bool Threaded() const { return threaded_; }
  void SetThreaded(bool Value) { threaded_ = Value; }
  bool ThreadSynchronized() const { return threadSynchronized_; }
  void SetThreadSynchronized(bool Value) { threadSynchronized_ = Value; }
  bool Scrollable() const { return scrollable_; }
  void SetScrollable(bool Value) { scrollable_ = Value; }
  TOracleQueryEvent BeforeQuery;
  TOracleQueryEvent AfterQuery;
  TArrayErrorEvent OnArrayError;
  TOracleQueryEvent OnThreadExecuted;
  TOracleQueryEvent OnThreadRecord;
  TOracleQueryEvent OnThreadFinished;
  TThreadErrorEvent OnThreadError;

  // ---- Running ----
  void Execute();
  // Runs the statement for Count array elements from Index (-1, -1: all); the rows processed.
  int ExecuteArray(int Index, int Count);
  void Describe();
  void Next();
  bool Eof() const { return eof_; }
  void SetEof(bool Value) { eof_ = Value; }
  void Close();
  void Clear();
  std::string FinalSQL() const;
  int RowsProcessed() const { return rowsProcessed_; }
  const std::string& RowId() const { return rowId_; }
  int ErrorCode() const { return errorCode_; }
  // The array element an array DML error stopped at (-1 when unknown).
  int FailedIteration() const { return failedIteration_; }
  int WarningFlags() const { return warningFlags_; }
  int FunctionType() const { return kind_; }
  int ErrorLine() const { return errorLine_; }
  int ErrorPosition() const { return errorColumn_; }
  TQueryThread* Thread() const { return thread_.get(); }
  bool ThreadRunning() const {
    return thread_ && thread_->Started() && !thread_->Suspended() && !thread_->Finished();
  }

  // ---- Variables ----
  void DeclareVariable(const std::string& Name, int Type);
  void DimPLSQLTable(const std::string& Name, int TableSize, int StringSize);
  void DeleteVariable(const std::string& Name);
  void DeleteVariables();
  void SetVariable(const std::string& Name, const TVariant& Value);
  TVariant GetVariable(const std::string& Name);
  void SetComplexVariable(const std::string& Name, TObject* Object);
  int VariableCount() const;
  std::string VariableName(int Index) const;
  int VariableType(int Index) const;
  int VariableIndex(const std::string& Name) const;

  // ---- Fields of the current row ----
  int FieldCount() const;
  std::string FieldName(int Index) const;
  int FieldIndex(const std::string& Name) const;
  int FieldType(int Index) const;
  int FieldInternalType(int Index) const;
  std::string FieldTypeName(int Index) const;
  int FieldPrecision(int Index) const;
  int FieldScale(int Index) const;
  bool FieldOptional(int Index) const;
  int FieldStringSize(int Index) const;
  TVariant Field(int Index);
  TVariant FieldByName(const std::string& Name);
  bool FieldIsNull(int Index) const;
  std::string FieldAsString(int Index);
  int FieldAsInteger(int Index);
  double FieldAsFloat(int Index);
  TDateTime FieldAsDate(int Index);
  void* FieldAddress(int Index) const;
  // Copies up to Length bytes of a LONG or LONG RAW value from byte Offset; the bytes copied.
  int GetLongField(int Index, void* Buffer, int Length, int Offset);
  // The whole LONG or LONG RAW value of the current row.
  std::string LongFieldValue(int Index);
  TLOBLocator* LOBField(int Index) const;
  TOracleObject* ObjField(int Index) const;
  TXMLType* XMLField(int Index) const;
  TOracleReference* RefField(int Index) const;

  // ---- For the variables, the datasets and the objects of this subsystem ----
  TCollection* FieldList() const { return fields_.get(); }
  TFieldData* FieldData(int Index) const;
  int RowIndex() const { return rowIndex_; }
  int RowsInBuffer() const { return rowsInBuffer_; }
  int RowsPerExchange() const { return rowsPerExchange_; }
  // Forgets the parsed text so that the next execution parses again.
  void ForgetParsedText();
  // The number of times the statement text was handed to the client to be parsed.
  int ParseCount() const { return parseCount_; }
  // The number of fetch exchanges since the last execution.
  int FetchCount() const { return fetchCount_; }
  OCIStmt* StatementHandle() const { return stmt_; }
  Cda_Def* CursorDataArea() { return reinterpret_cast<Cda_Def*>(cda_); }
  bool CursorVariableTarget() const { return cursorVariable_; }
  void SetCursorVariableTarget(bool Value) { cursorVariable_ = Value; }
  // The monitor id given at the first execution (0 before).
  int MonitorId() const { return monitorId_; }

  // TOracleSessionClient
  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 private:
  friend class TQueryThread;
  friend class TVariables;

  bool HandleMode() const;
  void CheckSession() const;
  void CheckNotRunning() const;
  TVariableData* FindVariable(const std::string& Name) const;
  void VariablesChanged();
  void SetBusyCursor();
  void RestoreCursor();
  void FireAfterQueryPending();

  // Statement steps.
  void OpenCursor();
  void CloseCursor();
  void Parse();
  void BindVariables();
  void BindVariable(TVariableData* Variable);
  void ExecuteCore(bool DescribeOnly, int Start, int End);
  void ExecuteSelect(bool DescribeOnly, sword Mode);
  void ExecuteOther(bool DescribeOnly, sword Mode, int Start, int End);
  void DescribeColumns();
  void DescribeColumnsHandle();
  void DescribeColumnsHost();
  void ChooseFetchType(TFieldData* Field);
  void DefineColumns();
  void PrepareFetch();
  // Fetches the next batch; returns the rows it brought.
  int FetchBatch(bool First);
  void PrepareRowObjects();
  void StoreResults();
  // LOB and timestamp variables and columns (OracleQueryComplex.cpp).
  void BindComplexVariable(TVariableData* Variable);
  void SetupComplexColumn(TFieldData* Field);
  void PointComplexColumns();
  // Object and REF columns (OracleQueryObjects.cpp).
  sword DescribeObjectColumn(TFieldData* Field, OCIParam* Param);
  void SetupObjectColumn(TFieldData* Field);
  void PointObjectColumns();
  void BindObjectVariable(TVariableData* Variable, void*& Address);
  void BindObjectDetails(TVariableData* Variable);
  void ObjectVariablesExecuted(TVariableData* Variable);
  TVariant ObjectFieldValue(TFieldData* Field);
  std::string ObjectFieldText(TFieldData* Field, int Index);
  void ComplexVariablesExecuted();
  TVariant ComplexFieldValue(TFieldData* Field);
  std::string ComplexFieldText(TFieldData* Field);
  void CloseIfDone();
  int RowCountNow();
  std::string ReadRowId();

  // Errors.
  int StatusCode(sword Status);
  void ComputeErrorPosition();
  [[noreturn]] void RaiseError();
  // For a failed status of execute or fetch: unless it is 1403 or 1406, computes the position,
  // forgets the text and raises (the session lock is held and is left by the error).
  void CheckExecStatus(sword Status, bool ForgetText);
  void CheckCallStatus(sword Status);

  // Fields.
  void CheckField(int Index) const;
  void CheckRow(int Index) const;
  [[noreturn]] void ConvertError(int Index, const std::string& What) const;

  std::unique_ptr<TStringList> sql_;
  TOracleSession* session_ = nullptr;
  int readBuffer_ = 25;
  bool optimize_ = true;
  bool debug_ = false;
  std::unique_ptr<TVariables> variables_;
  TCursor cursor_ = 0;
  bool stringFieldsOnly_ = false;
  bool threaded_ = false;
  bool threadSynchronized_ = true;
  bool scrollable_ = false;

  OCIError* err_ = nullptr;
  OCIError* err2_ = nullptr;
  OCIStmt* stmt_ = nullptr;
  OCIRowid* rowidDescriptor_ = nullptr;
  sword status_ = 0;
  OCIDefine* define_ = nullptr;
  alignas(8) uint8_t cda_[TALVIK_CDA_SIZE] = {};
  int kind_ = 0;
  TCursor savedCursor_ = 0;
  bool cursorSet_ = false;
  std::unique_ptr<TCollection> fields_;
  std::unique_ptr<TQueryThread> thread_;
  int rowsPerExchange_ = 25;
  int rowIndex_ = 0;
  int rowsInBuffer_ = 0;
  int lastRowCount_ = 0;
  bool cursorOpen_ = false;
  bool described_ = false;
  bool cursorHandleMode_ = false;
  std::string lastParsed_;
  bool afterQueryPending_ = false;
  int errorColumn_ = 0;
  int errorLine_ = 0;
  bool cursorVariable_ = false;
  int arrayDMLSize_ = 0;
  int executing_ = 0;
  int monitorId_ = 0;
  bool eof_ = true;
  bool scrollableInUse_ = false;
  bool hasLongColumn_ = false;
  int rowsProcessed_ = 0;
  int warningFlags_ = 0;
  std::string rowId_;
  int errorCode_ = 0;
  int failedIteration_ = -1;
  int parseCount_ = 0;
  int fetchCount_ = 0;
};

// ================================================================================================
// Packages
// ================================================================================================

enum TParameterModeOption { pmNamed, pmPositional };

// A parameter of the last call of a package.
class TPackageParameter : public TCollectionItem {
  TALVIK_CLASS(TPackageParameter, TCollectionItem)
  explicit TPackageParameter(TCollection* Collection) : TCollectionItem(Collection) {}
  std::string Name;
  std::string LocalName;  // Boolean parameters: the local variable of the block
  int ParamType = 0;      // 0 null, 252 Boolean, else a variable type code
  TVariant Value;
};

inline constexpr int ptBoolean = 252;

// Calls a stored procedure through a generated PL/SQL block.
class TOraclePackage : public TComponent, public TOracleSessionClient {
  TALVIK_CLASS(TOraclePackage, TComponent)
  explicit TOraclePackage(TComponent* AOwner);
  ~TOraclePackage() override;

  TOracleSession* Session() const { return session_; }
  void SetSession(TOracleSession* Value);
  bool Debug() const { return debug_; }
  void SetDebug(bool Value) { debug_ = Value; }
  const std::string& PackageName() const { return packageName_; }
  void SetPackageName(const std::string& Value) { packageName_ = Value; }
  TParameterModeOption ParameterMode() const { return parameterMode_; }
  void SetParameterMode(TParameterModeOption Value) { parameterMode_ = Value; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value) { cursor_ = Value; }
  bool Optimize() const { return optimize_; }
  void SetOptimize(bool Value) { optimize_ = Value; }

  // Calls the procedure. A single variant array stands for its elements; a single Int64 0 means
  // no parameters. An Int64 value (3, 4, 5, 12 or 252) marks an output parameter of that type.
  void CallProcedure(const std::string& Name, const std::vector<TVariant>& Parameters);
  TOracleQuery* Query() const { return query_.get(); }
  TCollection* Parameters() const { return parameters_.get(); }

  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 private:
  std::unique_ptr<TCollection> PrepareParameters(const std::vector<TVariant>& Parameters);

  TOracleSession* session_ = nullptr;
  bool debug_ = false;
  std::string packageName_;
  TParameterModeOption parameterMode_ = pmPositional;
  TCursor cursor_ = 0;
  bool optimize_ = true;
  std::unique_ptr<TOracleQuery> query_;
  std::unique_ptr<TCollection> parameters_;
  bool redeclare_ = true;
  bool firstCall_ = true;
};

// ================================================================================================
// Session pool
// ================================================================================================

enum TSessionPoolType { ptDefault, ptOracle };
using TSessionPoolEvent = std::function<void(TOracleSessionPool* Sender)>;
using TSessionPoolSessionEvent = std::function<void(TOracleSessionPool* Sender, TOracleSession* Session)>;

class TOracleSessionPoolEntry : public TObject {
  TALVIK_CLASS(TOracleSessionPoolEntry, TObject)
  explicit TOracleSessionPoolEntry(TOracleSessionPool* Pool) : pool_(Pool) {}
  ~TOracleSessionPoolEntry() override;
  void Reserve(TOracleSession* Session);
  void Release();
  bool Reserved() const { return reservedBy_ != nullptr; }
  TOracleSession* PooledSession() const { return session_.get(); }
  TOracleSession* ReservedBy() const { return reservedBy_; }
  TDateTime LastRelease() const { return lastRelease_; }
  void SetLastRelease(TDateTime Value) { lastRelease_ = Value; }

 private:
  TOracleSessionPool* pool_;
  std::unique_ptr<TOracleSession> session_;
  TOracleSession* reservedBy_ = nullptr;
  TDateTime lastRelease_ = 0;
};

// Lends connected sessions to sessions whose Pooling is spInternal.
class TOracleSessionPool : public TComponent {
  TALVIK_CLASS(TOracleSessionPool, TComponent)
  explicit TOracleSessionPool(TComponent* AOwner);
  ~TOracleSessionPool() override;

  int Max() const { return max_; }
  void SetMax(int Value) { max_ = Value; }
  int Min() const { return min_; }
  void SetMin(int Value) { min_ = Value; }
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int Value) { timeOut_ = Value; }
  TSessionPoolType PoolType() const { return poolType_; }
  void SetPoolType(TSessionPoolType Value) { poolType_ = Value; }
  const std::string& LogonUsername() const { return logonUsername_; }
  void SetLogonUsername(const std::string& Value) { logonUsername_ = Value; }
  const std::string& LogonPassword() const { return logonPassword_; }
  void SetLogonPassword(const std::string& Value) { logonPassword_ = Value; }
  const std::string& LogonDatabase() const { return logonDatabase_; }
  void SetLogonDatabase(const std::string& Value) { logonDatabase_ = Value; }
  const std::string& PoolName() const { return poolName_; }
  bool Homogeneous() const { return homogeneous_; }
  void SetHomogeneous(bool Value) { homogeneous_ = Value; }
  bool StatementCache() const { return statementCache_; }
  void SetStatementCache(bool Value) { statementCache_ = Value; }
  // How long a reservation waits for a free slot while Max is reached, in milliseconds; then it
  // raises "TOracleSessionPool: no session available". 0 waits without end.
  int WaitTimeOut() const { return waitTimeOut_; }
  void SetWaitTimeOut(int Value) { waitTimeOut_ = Value; }
  TSessionPoolEvent OnOpen;
  TSessionPoolEvent OnClose;
  TSessionPoolSessionEvent AfterReserve;
  TSessionPoolSessionEvent BeforeRelease;

  void Open();
  void Close();
  bool Active() const { return active_; }
  void GetSession(TOracleSession* Session);
  bool ReleaseSession(TOracleSession* Session);
  int Count();
  int Available();
  TOracleSessionPoolEntry* Entries(int Index);
  // Frees the free entries idle longer than TimeOut while more than Min are left.
  void Purge();

  TSessionPoolType EffectivePoolType() const { return effectiveType_; }
  OCIEnv* Environment() const { return env_; }
  OCIError* ErrorHandle() const { return err_; }
  OCIAuthInfo* AuthInfo() const { return auth_; }
  void CheckStatus(sword Status);

 private:
  int max_ = 0;
  int min_ = 0;
  int timeOut_ = 0;
  TSessionPoolType poolType_ = ptDefault;
  std::string logonUsername_;
  std::string logonPassword_;
  std::string logonDatabase_;
  std::string poolName_;
  bool homogeneous_ = false;
  bool statementCache_ = false;
  int waitTimeOut_ = 30000;
  std::recursive_mutex listLock_;
  std::vector<TOracleSessionPoolEntry*> entries_;
  bool active_ = false;
  TSessionPoolType effectiveType_ = ptDefault;
  bool effectiveHomogeneous_ = false;
  bool effectiveStatementCache_ = false;
  TOracleCriticalSection reserveLock_;
  OCIEnv* env_ = nullptr;
  bool ownEnv_ = false;
  OCIError* err_ = nullptr;
  OCISPool* spool_ = nullptr;
  OCIAuthInfo* auth_ = nullptr;
};

// The pool sessions use when their Pooling is spInternal and they name no pool.
TOracleSessionPool* DefaultSessionPool();
