// Errors, SQL text scanners, logon strings and value conversions.
#include "oracle/Oracle.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "oracle/OracleSession.h"

namespace {

const char kCRLF[] = "\r\n";

std::mutex warningsLock;
std::vector<int> warningCodes;
std::once_flag warningsInit;

void InitWarnings() {
  std::call_once(warningsInit, [] {
    if (IsDebuggerPresent()) ReadWarnings();
  });
}

// The message text as the client gives it: at most MaxErrorMessageLength characters, up to the
// first zero byte.
std::string CutMessage(const char* buffer, size_t size) {
  std::string text(buffer, strnlen(buffer, size));
  if (Utf8Length(text) > MaxErrorMessageLength) text = Utf8Copy(text, 1, MaxErrorMessageLength);
  return text;
}

bool HostMode(TOracleSession* Session) {
  return Session && !Session->HandleMode();
}

// The code of an error without its text.
int ErrorCodeOf(TOracleSession* Session, OCIError* ErrorHandle, int Code) {
  if (HostMode(Session)) return Code;
  if (!OCI.OCIErrorGet || !ErrorHandle) return Code;
  char scratch[4001] = {};
  sb4 code = 0;
  OCI.OCIErrorGet(ErrorHandle, 1, nullptr, &code, reinterpret_cast<text*>(scratch), sizeof scratch,
                  OCI_HTYPE_ERROR);
  return code;
}

}  // namespace

// ---- EOracleError --------------------------------------------------------------------------------

EOracleError::EOracleError(TOracleSession* Session, TObject* Query, OCIError* ErrorHandle, int Code)
    : Exception(""), query_(Query), session_(Session) {
  char buffer[4001] = {};
  if (!HostMode(Session)) {
    sb4 code = 0;
    if (OCI.OCIErrorGet && ErrorHandle)
      OCI.OCIErrorGet(ErrorHandle, 1, nullptr, &code, reinterpret_cast<text*>(buffer), sizeof buffer,
                      OCI_HTYPE_ERROR);
    errorCode_ = code;
  } else {
    if (OCI.oerhms)
      OCI.oerhms(Session->LogonDataArea(), static_cast<sb2>(Code), reinterpret_cast<text*>(buffer),
                 static_cast<sword>(sizeof buffer));
    errorCode_ = Code;
  }
  if (Session) Session->LeaveLock(true);
  SetMessage(CutMessage(buffer, sizeof buffer));
  auto& hooks = OracleMonitorHooks();
  if (hooks.Error && !hooks.Disabled) hooks.Error(*this);
}

EOracleError::EOracleError(const std::string& Message, int ErrorCode, TObject* Query, TOracleSession* Session)
    : Exception(Message), errorCode_(ErrorCode), query_(Query), session_(Session) {}

void RaiseOracleError(TOracleSession* Session, OCIError* ErrorHandle, TObject* Query) {
  std::vector<int> list = Warnings();
  if (!list.empty()) {
    int code = ErrorCodeOf(Session, ErrorHandle, 0);
    if (std::find(list.begin(), list.end(), code) != list.end())
      throw EOracleWarning(Session, Query, ErrorHandle, 0);
  }
  throw EOracleError(Session, Query, ErrorHandle, 0);
}

void RaiseOracleError(TOracleSession* Session, int Code, TObject* Query) {
  std::vector<int> list = Warnings();
  OCIError* handle = Session && Session->HandleMode() ? Session->ErrorHandle() : nullptr;
  if (!list.empty() && std::find(list.begin(), list.end(), ErrorCodeOf(Session, handle, Code)) != list.end())
    throw EOracleWarning(Session, Query, handle, Code);
  throw EOracleError(Session, Query, handle, Code);
}

std::vector<int> Warnings() {
  InitWarnings();
  std::lock_guard guard(warningsLock);
  return warningCodes;
}

void SetWarnings(const std::vector<int>& Codes) {
  InitWarnings();
  std::lock_guard guard(warningsLock);
  warningCodes = Codes;
}

void ReadWarnings() {
  std::vector<int> codes;
  for (int n = 1;; ++n) {
    std::string value =
        ReadRegString(HKEY_CURRENT_USER, "SOFTWARE\\Corvane Labs\\RVL\\Warnings", IntToStr(n));
    if (value.empty()) break;
    if (value[0] == '*') continue;
    codes.push_back(StrToInt(value));
  }
  std::lock_guard guard(warningsLock);
  warningCodes = std::move(codes);
}

// ---- EOracleMTSError -----------------------------------------------------------------------------

std::string MTSErrorText(int Status) {
  struct TEntry {
    int status;
    const char* text;
  };
  static const TEntry kTexts[] = {
      {1001, "no MTXDM.DLL available"},   {1002, "failure to create dispen"},
      {1003, "exceeded max sessions"},    {1004, "invalid OCI Svc ctx"},
      {1005, "can't create new dbiden"},  {2001, "unable to alloc a server"},
      {3001, "invalid server object"},    {3002, "failed attach to Oracle"},
      {3003, "failed detach from db"},    {3004, "failed to start trans."},
      {3005, "OCI set attrib failed"},    {3006, "conn to Oracle broken"},
      {3007, "not attached to Oracle"},   {3008, "alrdy attached to Oracle"},
      {4001, "invalid session object"},   {4002, "failed logon to Oracle"},
      {4003, "failed logoff from db"},    {4004, "no transaction beneath"},
      {4005, "already logged on to db"},  {4006, "not logged on to Oracle"},
      {5001, "RPC context is invalid"},   {5002, "generic communic. error"},
      {5003, "endpoint already connect"}, {5004, "endpoint not connected"},
      {5005, "protocol violation"},       {5006, "timeout accepting conn."},
      {5007, "invalid RPC opcode"},       {5008, "mismatched incarnation#"},
      {5009, "client connect timeout"},   {5010, "synch. send timeout"},
      {5011, "synch. receive timedout"},  {5012, "connection reset by peer"},
      {6001, "invalid args to function"}, {6002, "an object was invalid"},
      {6003, "illegal operation"},        {6004, "memory allocation error"},
      {6005, "synchr. object error"},     {6006, "no Oracle Proxy server"},
      {6007, "session already enlisted"}, {6008, "session is not enlisted"},
      {6009, "illeg on manuenlst sess"},  {6010, "illeg on autoenlst sess"},
      {6011, "error detaching trans."},   {6012, "OCI handle alloc error"},
      {6013, "OCI handle dealloc error"}, {6014, "error exporting trans."},
  };
  for (const TEntry& e : kTexts)
    if (e.status == Status) return e.text;
  return {};
}

EOracleMTSError::EOracleMTSError(const std::string& FunctionName, int Status)
    : Exception(Status == 0 ? FunctionName
                            : "MTS error " + IntToStr(Status) + ": " + MTSErrorText(Status) + kCRLF +
                                  "in function " + FunctionName),
      errorCode_(Status) {}

void CheckMTSStatus(const std::string& FunctionName, int Status) {
  if (Status != 0) throw EOracleMTSError(FunctionName, Status);
}

// ---- SQL text helpers ----------------------------------------------------------------------------

namespace {

bool IsNameChar(char32_t c) {
  return c > 255 || c == '#' || c == '$' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' ||
         (c >= 'a' && c <= 'z') || (c >= 128 && c <= 255);
}

}  // namespace

TStringList* FindVariables(const std::string& SQL, bool AllowDuplicates) {
  auto result = std::make_unique<TStringList>();
  std::u32string s = Utf8ToUtf32(SQL);
  s += U"\r\n";
  enum { sSQL, sQuote, sBlock, sLine, sVariable } state = sSQL;
  std::u32string name;
  int position = 0;
  auto endVariable = [&] {
    std::string n = AnsiUpperCase(Utf32ToUtf8(name));
    if (!n.empty() && (AllowDuplicates || result->IndexOf(n) < 0))
      result->AddObject(n, reinterpret_cast<TObject*>(static_cast<intptr_t>(position)));
    name.clear();
  };
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t c = s[i];
    char32_t next = i + 1 < n ? s[i + 1] : 0;
    if (state == sVariable) {
      if (IsNameChar(c)) {
        name += c;
        continue;
      }
      // The character that ends a variable is scanned as SQL: it may open a string, a comment or
      // the next variable.
      endVariable();
      state = sSQL;
    }
    switch (state) {
      case sSQL:
        if (c == ':') {
          state = sVariable;
          position = static_cast<int>(i) + 1;
        } else if (c == '\'') {
          state = sQuote;
        } else if (c == '/' && next == '*') {
          state = sBlock;
          ++i;
        } else if (c == '-' && next == '-') {
          state = sLine;
          ++i;
        }
        break;
      case sQuote:
        if (c == '\'') state = sSQL;
        break;
      case sBlock:
        if (c == '*' && next == '/') state = sSQL;
        break;
      case sLine:
        // A "--" comment ends at the line break (CR LF, or LF alone in text written here).
        if ((c == '\r' && next == '\n') || c == '\n') state = sSQL;
        break;
      case sVariable:
        break;
    }
  }
  if (state == sVariable) endVariable();
  return result.release();
}

int VariablePosition(TStrings* Variables, int Index) {
  return static_cast<int>(reinterpret_cast<intptr_t>(Variables->Objects(Index)));
}

std::string RemoveSQLComments(const std::string& SQL) {
  enum { sNormal, sQuoted, sBlock, sLine } state = sNormal;
  std::string out;
  out.reserve(SQL.size());
  const size_t n = SQL.size();
  for (size_t i = 0; i < n; ++i) {
    char c = SQL[i];
    char next = i + 1 < n ? SQL[i + 1] : '\0';
    if (c == '\'') {
      if (state == sNormal) {
        state = sQuoted;
        out += c;
        continue;
      }
      if (state == sQuoted) state = sNormal;
    }
    switch (state) {
      case sQuoted:
        out += c;
        break;
      case sNormal:
        if (c == '/' && next == '*') {
          state = sBlock;
          ++i;
        } else if (c == '-' && next == '-') {
          state = sLine;
          ++i;
        } else {
          out += c;
        }
        break;
      case sBlock:
        if (c == '*' && next == '/') {
          state = sNormal;
          ++i;
        }
        break;
      case sLine:
        // The comment goes; its line break stays, so the next line's first word is not glued to
        // the text before the comment.
        if (c == '\r' && next == '\n') {
          state = sNormal;
          out += "\r\n";
          ++i;
        } else if (c == '\n') {
          state = sNormal;
          out += '\n';
        }
        break;
    }
  }
  return Trim(out);
}

std::string QuoteIfNeeded(const std::string& Name, const std::string& AllowedChars) {
  std::u32string allowed = Utf8ToUtf32(AllowedChars);
  bool quoted = false;
  for (char32_t c : Utf8Chars(Name)) {
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted || IsNameChar(c) || allowed.find(c) != std::u32string::npos) continue;
    return "\"" + Name + "\"";
  }
  return Name;
}

// ---- Logon strings -------------------------------------------------------------------------------

void SplitConnectAs(std::string& Text, std::string& ConnectAs) {
  std::string up = UpperCase(Text);
  std::replace(up.begin(), up.end(), '\t', ' ');
  // " AS " inside double quotes belongs to a quoted name or password.
  static constexpr std::string_view kAs = " AS ";
  size_t at = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < up.size(); ++i) {
    if (up[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && up.compare(i, kAs.size(), kAs) == 0) {
      at = i;
      break;
    }
  }
  if (at == std::string::npos) {
    ConnectAs.clear();
    return;
  }
  // Upper-casing keeps the byte positions of ASCII text, and " AS " is ASCII.
  ConnectAs = Trim(up.substr(at + kAs.size()));
  Text = Trim(Text.substr(0, at));
}

std::string ConnectAsToString(TConnectAsOption ConnectAs) {
  switch (ConnectAs) {
    case caSYSDBA:
      return "SYSDBA";
    case caSYSOPER:
      return "SYSOPER";
    default:
      return "";
  }
}

TConnectAsOption StringToConnectAs(const std::string& Text) {
  std::string up = UpperCase(Text);
  if (up == "SYSDBA") return caSYSDBA;
  if (up == "SYSOPER") return caSYSOPER;
  return caNormal;
}

bool SplitLogonString(std::string LogonText, std::string& Username, std::string& Password,
                      std::string& Database, std::string& ConnectAs) {
  if (LogonText.empty()) {
    LogonText = Username;
    if (!Password.empty()) LogonText += "/" + Password;
    if (!Database.empty()) LogonText += "@" + Database;
    if (!ConnectAs.empty()) LogonText += " as " + ConnectAs;
  }
  Username.clear();
  Password.clear();
  Database.clear();
  SplitConnectAs(LogonText, ConnectAs);
  std::string* part = &Username;
  bool quoted = false;
  for (char c : LogonText) {
    if (c == '"') {
      quoted = !quoted;
      *part += c;
    } else if (!quoted && c == '/') {
      if (part == &Username) part = &Password;
    } else if (!quoted && c == '@') {
      if (part != &Database) part = &Database;
    } else {
      *part += c;
    }
  }
  return !Password.empty() || !Database.empty() || !ConnectAs.empty();
}

// ---- Values --------------------------------------------------------------------------------------

void DateTimeToOracleDate(uint8_t* Dest, TDateTime DateTime) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(DateTime, y, mo, d, h, mi, s, ms);
  Dest[0] = static_cast<uint8_t>(y / 100 + 100);
  Dest[1] = static_cast<uint8_t>(y % 100 + 100);
  Dest[2] = static_cast<uint8_t>(mo);
  Dest[3] = static_cast<uint8_t>(d);
  Dest[4] = static_cast<uint8_t>(h + 1);
  Dest[5] = static_cast<uint8_t>(mi + 1);
  Dest[6] = static_cast<uint8_t>(s + 1);
}

namespace {

TDateTime CombineDate(int year, int month, int day, int hour, int minute, int second) {
  TDateTime date = -DateDelta;
  if (year > 0) {
    TDateTime d;
    if (TryEncodeDate(year, month, day, d)) date = d;
  }
  TDateTime time = 0;
  if (!TryEncodeTime(hour, minute, second, 0, time)) time = 0;
  return date >= 0 ? date + time : date - time;
}

}  // namespace

TDateTime OracleDateToDateTime(const uint8_t* Src) {
  int year = (Src[0] - 100) * 100 + Src[1] - 100;
  return CombineDate(year, Src[2], Src[3], Src[4] - 1, Src[5] - 1, Src[6] - 1);
}

TDateTime OCIDateToDateTime(const OCIDate& Src) {
  return CombineDate(Src.OCIDateYYYY, Src.OCIDateMM, Src.OCIDateDD, Src.OCIDateTime.OCITimeHH,
                     Src.OCIDateTime.OCITimeMI, Src.OCIDateTime.OCITimeSS);
}

sword OCIDateTimeToDateTime(TOracleSession* Session, OCIError* ErrorHandle, OCIDateTime* Descriptor,
                            TDateTime& DateTime) {
  if (!OCI.OCIDateTimeGetDate || !OCI.OCIDateTimeGetTime) return OCI_INVALID_HANDLE;
  void* env = Session ? Session->EnvironmentHandle() : nullptr;
  sb2 year = 0;
  ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
  ub4 fraction = 0;
  sword status = OCI.OCIDateTimeGetDate(env, ErrorHandle, Descriptor, &year, &month, &day);
  if (status != OCI_SUCCESS) return status;
  status = OCI.OCIDateTimeGetTime(env, ErrorHandle, Descriptor, &hour, &minute, &second, &fraction);
  if (status != OCI_SUCCESS) return status;
  TDateTime date = CombineDate(year, month, day, 0, 0, 0);
  // Milliseconds rounded to the nearest; a fraction of .9995 s and more carries into the seconds.
  double ms = std::round(fraction / 1000000.0);
  TDateTime time = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + ms) / MSecsPerDay;
  DateTime = date >= 0 ? date + time : date - time;
  return OCI_SUCCESS;
}

ub4 TimestampDescriptorType(int TypeCode) {
  switch (TypeCode) {
    case SQLT_TIMESTAMP_TZ:
      return OCI_DTYPE_TIMESTAMP_TZ;
    case SQLT_TIMESTAMP_LTZ:
      return OCI_DTYPE_TIMESTAMP_LTZ;
    default:
      return OCI_DTYPE_TIMESTAMP;
  }
}

void OracleValueToVariant(const void* Buffer, int TypeCode, int Length, TVariant& Value,
                          TOracleSession* Session) {
  const char* buf = static_cast<const char*>(Buffer);
  switch (TypeCode) {
    case 1:
    case SQLT_STR:
    case 10:
    case SQLT_AVC: {
      std::string s(buf, Length > 0 ? strnlen(buf, static_cast<size_t>(Length)) : std::strlen(buf));
      if (!Session || Session->Preferences()->ConvertCRLF()) s = AdjustLineBreaks(s);
      Value = std::move(s);
      break;
    }
    case SQLT_INT: {
      int32_t v;
      std::memcpy(&v, buf, sizeof v);
      Value = static_cast<int>(v);
      break;
    }
    case SQLT_NTY:
    case SQLT_REF:
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
    case SQLT_RSET: {
      // Handles are pointer-sized.
      void* p;
      std::memcpy(&p, buf, sizeof p);
      Value = TVariant::FromObject(p);
      break;
    }
    case SQLT_FLT: {
      double d;
      std::memcpy(&d, buf, sizeof d);
      Value = d;
      break;
    }
    case SQLT_LNG:
      Value = std::string(buf, static_cast<size_t>(std::max(Length, 0)));
      break;
    case SQLT_DAT:
      Value = TVariant::FromDate(OracleDateToDateTime(reinterpret_cast<const uint8_t*>(buf)));
      break;
    case SQLT_LBI: {
      int n = std::max(Length, 0);
      TVariant a = VarArrayCreate({0, n - 1}, varByte);
      if (n > 0) a.Bytes().assign(buf, static_cast<size_t>(n));
      Value = std::move(a);
      break;
    }
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
      OCIDateTime* d;
      std::memcpy(&d, buf, sizeof d);
      TDateTime dt = 0;
      OCIDateTimeToDateTime(Session, Session ? Session->ErrorHandle() : nullptr, d, dt);
      Value = TVariant::FromDate(dt);
      break;
    }
    default:
      Value = TVariant();
      break;
  }
}

std::string VariantBytesToString(const TVariant& Value) {
  if (!VarIsArray(Value) || VarArrayDimCount(Value) != 1 || (Value.VarType() & varTypeMask) != varByte)
    return {};
  return Value.Bytes();
}

std::string CountText(int N, const std::string& Word) {
  return IntToStr(N) + " " + Word + (N == 1 ? "" : "s");
}

// ---- SQL monitor ---------------------------------------------------------------------------------

TOracleMonitorHooks& OracleMonitorHooks() {
  static TOracleMonitorHooks hooks;
  return hooks;
}

namespace {
TOracleCriticalSection monitorLock;
int monitorCounter = 0;
}  // namespace

int NextMonitorId() {
  auto& hooks = OracleMonitorHooks();
  if (!hooks.Event || hooks.Disabled) return 0;
  TOracleLockGuard guard(monitorLock);
  return ++monitorCounter;
}

bool MonitorWantsMessages() {
  auto& hooks = OracleMonitorHooks();
  return !hooks.Disabled && hooks.WantsMessages && hooks.WantsMessages();
}

bool MonitorWantsDetails() {
  auto& hooks = OracleMonitorHooks();
  return !hooks.Disabled && hooks.WantsDetails && hooks.WantsDetails();
}

void MonitorEvent(bool Start, TMonitorKind Kind, int SessionId, int ObjectId, const std::string& Text) {
  auto& hooks = OracleMonitorHooks();
  if (hooks.Disabled || !hooks.Event) return;
  hooks.Event(Start, Kind, Start ? SessionId : 0, Start ? ObjectId : -ObjectId, Text);
}

void MonitorCall(int ObjectId, const std::string& Details) {
  auto& hooks = OracleMonitorHooks();
  if (!hooks.Disabled && hooks.Call && MonitorWantsDetails()) hooks.Call(ObjectId, Details);
}

void MonitorCreated(TObject* Created) {
  auto& hooks = OracleMonitorHooks();
  if (!hooks.Disabled && hooks.Created) hooks.Created(Created);
}
