// A pool of connected sessions lent to sessions whose Pooling is spInternal (TOracleSessionPool).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Classes.h"

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
