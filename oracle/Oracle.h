// Oracle access, what its units share: the errors of the client library as exceptions, the SQL text
// scanners, logon strings, value conversions and the monitor hooks. The session, query, package and
// session-pool classes have their own units (OracleSession.h, OracleQuery.h, OraclePackage.h,
// OracleSessionPool.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oracle/OracleCI.h"
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
