// TOracleQuery: parsing, binding, execution, describing, batched fetching and the threaded path.
#include "oracle/OracleQuery.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "oracle/Oracle.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleSession.h"

namespace {

// Statement kinds that stay parsed between executions while Optimize is on.
bool KeepsParse(int Kind) {
  switch (Kind) {
    case 3:
    case 4:
    case 5:
    case 9:
    case 33:
    case 34:
    case 35:
    case 54:
    case 55:
    case 56:
      return true;
    default:
      return false;
  }
}

int KindOfStatementType(ub2 Type) {
  switch (Type) {
    case OCI_STMT_SELECT:
      return 4;
    case OCI_STMT_UPDATE:
      return 5;
    case OCI_STMT_DELETE:
      return 9;
    case OCI_STMT_INSERT:
      return 3;
    case OCI_STMT_BEGIN:
    case OCI_STMT_DECLARE:
      return 34;
    default:
      return -1;
  }
}

const char RowIdAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendBase64(std::string& Text, uint32_t Value, int Digits) {
  for (int i = Digits - 1; i >= 0; --i) Text += RowIdAlphabet[(Value >> (6 * i)) & 63];
}

std::string FormatRowId(uint32_t Object, uint32_t File, uint32_t Block, uint32_t Slot) {
  if (Object != 0) {
    std::string text;
    AppendBase64(text, Object, 6);
    AppendBase64(text, File, 3);
    AppendBase64(text, Block, 6);
    AppendBase64(text, Slot, 3);
    return text;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%8.8x.%4.4x.%4.4x", Block, Slot, File);
  return buf;
}

// The byte offset of the character at a 0-based character index of UTF-8 text.
size_t ByteOffset(const std::string& Text, int Index) {
  size_t i = 0;
  for (int n = 0; n < Index && i < Text.size(); ++n) {
    ++i;
    while (i < Text.size() && (static_cast<unsigned char>(Text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

uint32_t BigEndian(const ub1* Bytes, int Count) {
  uint32_t v = 0;
  for (int i = 0; i < Count; ++i) v = (v << 8) | Bytes[i];
  return v;
}

}  // namespace

// ---- Construction -----------------------------------------------------------------------------------

TOracleQuery::TOracleQuery(TComponent* AOwner)
    : TComponent(AOwner),
      sql_(std::make_unique<TStringList>()),
      variables_(std::make_unique<TVariables>(this)),
      fields_(std::make_unique<TCollection>(CollectionItemClass<TFieldData>)) {}

TOracleQuery::~TOracleQuery() {
  if (thread_) {
    // The worker may be just about to suspend itself: wake it until it has ended.
    thread_->Terminate();
    while (thread_->Started() && !thread_->Finished()) {
      if (thread_->Suspended()) thread_->Resume();
      if (GetCurrentThreadId() == MainThreadID)
        CheckSynchronize(1);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.reset();
  }
  if (cursorOpen_ && session_ && session_->Connected()) {
    try {
      CloseCursor();
    } catch (...) {
      // A cursor that cannot be closed goes with its session.
    }
  }
  fields_->Clear();
  if (session_) session_->RemoveQuery(this);
  session_ = nullptr;
}

void TOracleQuery::SetSQL(TStrings* Value) {
  sql_->BeginUpdate();
  sql_->Assign(Value);
  sql_->EndUpdate();
  lastParsed_.clear();
}

void TOracleQuery::SetSession(TOracleSession* Value) {
  if (Value == session_) return;
  if (session_) {
    if (cursorOpen_ && session_->Connected()) CloseCursor();
    session_->RemoveQuery(this);
  }
  cursorOpen_ = false;
  stmt_ = nullptr;
  err_ = err2_ = nullptr;
  rowidDescriptor_ = nullptr;
  lastParsed_.clear();
  described_ = false;
  monitorId_ = 0;
  session_ = Value;
  if (session_) session_->AddQuery(this);
}

void TOracleQuery::SetStringFieldsOnly(bool Value) {
  if (Value == stringFieldsOnly_) return;
  stringFieldsOnly_ = Value;
  ForgetParsedText();
}

void TOracleQuery::SessionLoggingOff(TOracleSession* /*Session*/) {
  if (thread_ && ThreadRunning()) thread_->Terminate();
  if (cursorOpen_) {
    fields_->Clear();
    CloseCursor();
  }
}

void TOracleQuery::SessionDestroying(TOracleSession* /*Session*/) {
  cursorOpen_ = false;
  stmt_ = nullptr;
  err_ = err2_ = nullptr;
  rowidDescriptor_ = nullptr;
  lastParsed_.clear();
  described_ = false;
  eof_ = true;
  session_ = nullptr;
}

bool TOracleQuery::HandleMode() const {
  return session_ && session_->HandleMode();
}

void TOracleQuery::CheckSession() const {
  if (!session_) throw Exception("Session undefined");
}

void TOracleQuery::CheckNotRunning() const {
  if (ThreadRunning() && TThread::CurrentThread() != thread_.get())
    throw Exception("Query thread is still in progress");
}

void TOracleQuery::ForgetParsedText() {
  lastParsed_.clear();
}

void TOracleQuery::SetBusyCursor() {
  if (cursor_ == 0 || cursorSet_) return;
  savedCursor_ = GetScreenCursor();
  SetScreenCursor(cursor_);
  cursorSet_ = true;
}

void TOracleQuery::RestoreCursor() {
  if (!cursorSet_) return;
  cursorSet_ = false;
  SetScreenCursor(savedCursor_);
}

void TOracleQuery::FireAfterQueryPending() {
  if (!afterQueryPending_) return;
  afterQueryPending_ = false;
  if (AfterQuery) AfterQuery(this);
}

// ---- The final text ---------------------------------------------------------------------------------

std::string TOracleQuery::FinalSQL() const {
  std::string text = sql_->Text();
  // The lines are joined without a break after the last one.
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
    text.resize(text.size() - 2);
  else if (!text.empty() && text.back() == '\n')
    text.pop_back();
  bool hasSubst = false;
  for (int i = 0; i < variables_->Count(); ++i)
    if (variables_->Items(i)->varType == otSubst) hasSubst = true;
  if (!hasSubst) return text;
  std::unique_ptr<TStringList> found(FindVariables(text, true));
  for (int i = found->Count() - 1; i >= 0; --i) {
    TVariableData* v = variables_->Find(":" + found->Strings(i));
    if (!v || v->varType != otSubst) continue;
    size_t colon = ByteOffset(text, VariablePosition(found.get(), i) - 1);
    size_t length = found->Strings(i).size() + 1;
    if (colon >= text.size()) continue;
    std::string value;
    if (!v->IsNull() && v->buffer) value.assign(reinterpret_cast<const char*>(v->buffer), v->dataLength);
    text.replace(colon, std::min(length, text.size() - colon), value);
  }
  return text;
}

// ---- Cursor -----------------------------------------------------------------------------------------

void TOracleQuery::OpenCursor() {
  if (cursorOpen_) return;
  cursorHandleMode_ = HandleMode();
  session_->EnterLock(true);
  if (cursorHandleMode_) {
    OCIEnv* env = session_->EnvironmentHandle();
    sword s = OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err_), OCI_HTYPE_ERROR, 0, nullptr);
    if (s == OCI_SUCCESS)
      s = OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err2_), OCI_HTYPE_ERROR, 0, nullptr);
    if (s == OCI_SUCCESS)
      s = OCI.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&rowidDescriptor_), OCI_DTYPE_ROWID, 0,
                                 nullptr);
    if (s != OCI_SUCCESS) {
      session_->LeaveLock(true);
      throw Exception("TOracleQuery: Invalid handle");
    }
  } else if (!cursorVariable_) {
    std::memset(cda_, 0, sizeof cda_);
    sword s = OCI.oopen(CursorDataArea(), session_->LogonDataArea(), nullptr, -1, -1, nullptr, -1);
    if (s != 0) RaiseOracleError(session_, CursorDataArea()->rc, this);
  }
  session_->LeaveLock(true);
  cursorOpen_ = true;
}

void TOracleQuery::CloseCursor() {
  cursorOpen_ = false;
  described_ = false;
  lastParsed_.clear();
  eof_ = true;
  if (!session_) return;
  session_->EnterLock(true);
  if (cursorHandleMode_) {
    if (stmt_) {
      if (session_->StatementCacheActive())
        OCI.OCIStmtRelease(stmt_, err_, nullptr, 0, OCI_DEFAULT);
      else
        OCI.OCIHandleFree(stmt_, OCI_HTYPE_STMT);
    }
    if (err_) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
    if (err2_) OCI.OCIHandleFree(err2_, OCI_HTYPE_ERROR);
    if (rowidDescriptor_) OCI.OCIDescriptorFree(rowidDescriptor_, OCI_DTYPE_ROWID);
  } else if (OCI.oclose) {
    OCI.oclose(CursorDataArea());
  }
  session_->LeaveLock(true);
  stmt_ = nullptr;
  err_ = err2_ = nullptr;
  rowidDescriptor_ = nullptr;
  define_ = nullptr;
  std::memset(cda_, 0, sizeof cda_);
  for (int i = 0; i < variables_->Count(); ++i) {
    TVariableData* v = variables_->Items(i);
    v->bindHandle = nullptr;
    v->boundAddress = nullptr;
    v->boundIndicators = nullptr;
    v->boundSize = -1;
  }
}

void TOracleQuery::Close() {
  if (session_ && session_->Connected() && cursorOpen_) {
    fields_->Clear();
    CloseCursor();
  }
}

void TOracleQuery::Clear() {
  DeleteVariables();
  sql_->Clear();
  lastParsed_.clear();
  described_ = false;
  cursorVariable_ = false;
}

// ---- Errors -----------------------------------------------------------------------------------------

int TOracleQuery::StatusCode(sword Status) {
  if (!cursorHandleMode_) return CursorDataArea()->rc;
  switch (Status) {
    case OCI_SUCCESS:
    case OCI_SUCCESS_WITH_INFO:
    case OCI_NEED_DATA:
      return 0;
    case OCI_NO_DATA:
      return 1403;
    case OCI_ERROR:
    case OCI_INVALID_HANDLE: {
      sb4 code = 0;
      text buf[512];
      if (err_) OCI.OCIErrorGet(err_, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
      return code;
    }
    default:
      return Status;
  }
}

void TOracleQuery::ComputeErrorPosition() {
  int offset = 0;
  if (cursorHandleMode_) {
    ub4 attr = OCIGroupPresent(ogOCI81) ? OCI_ATTR_PARSE_ERROR_OFFSET : TALVIK_ATTR_PARSE_ERROR_OFFSET_V80;
    ub2 a = 0, b = 0;
    if (err_) OCI.OCIAttrGet(err_, OCI_HTYPE_ERROR, &a, nullptr, attr, err2_);
    if (stmt_) OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &b, nullptr, attr, err2_);
    offset = std::max(a, b);
  } else {
    offset = CursorDataArea()->peo;
  }
  errorLine_ = 1;
  errorColumn_ = 1;
  if (offset < 1) return;
  // The offset counts bytes of the text; the column counts the characters a user sees.
  int line = 0, column = 0;
  const std::string& text = lastParsed_;
  for (int i = 0; i < offset && i < static_cast<int>(text.size()); ++i) {
    const auto c = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
    if (c == '\n') {
      column = 0;
      ++line;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  errorLine_ = line + 1;
  errorColumn_ = column + 1;
}

void TOracleQuery::RaiseError() {
  RestoreCursor();
  FireAfterQueryPending();
  if (cursorHandleMode_) RaiseOracleError(session_, err_, this);
  RaiseOracleError(session_, CursorDataArea()->rc, this);
}

void TOracleQuery::CheckExecStatus(sword Status, bool ForgetText) {
  status_ = Status;
  if (cursorHandleMode_ ? Status == OCI_SUCCESS : CursorDataArea()->rc == 0) return;
  int code = StatusCode(Status);
  if (code == 0 || code == ORA_NO_DATA_FOUND || code == ORA_VALUE_TRUNCATED) return;
  errorCode_ = code;
  failedIteration_ = -1;
  if (cursorHandleMode_ && err_) {
    ub4 row = 0;
    if (OCI.OCIAttrGet(err_, OCI_HTYPE_ERROR, &row, nullptr, OCI_ATTR_DML_ROW_OFFSET, err2_) == OCI_SUCCESS)
      failedIteration_ = static_cast<int>(row);
  }
  ComputeErrorPosition();
  if (ForgetText) lastParsed_.clear();
  RaiseError();
}

void TOracleQuery::CheckCallStatus(sword Status) {
  status_ = Status;
  bool failed = cursorHandleMode_ ? (Status != OCI_SUCCESS && Status != OCI_SUCCESS_WITH_INFO)
                                  : (Status != 0 && CursorDataArea()->rc != 0);
  if (!failed) return;
  errorCode_ = StatusCode(Status);
  RaiseError();
}

// ---- Parsing and binding ----------------------------------------------------------------------------

void TOracleQuery::Parse() {
  OpenCursor();
  if (cursorVariable_) {
    kind_ = 4;
    described_ = false;
    return;
  }
  std::string sqlText = FinalSQL();
  sqlText.erase(std::remove(sqlText.begin(), sqlText.end(), '\r'), sqlText.end());
  if (sqlText.empty()) sqlText = " ";
  if (cursorHandleMode_) {
    for (int i = 0; i < variables_->Count(); ++i) {
      TVariableData* v = variables_->Items(i);
      if (v->varType == otLong || v->varType == otLongRaw || v->isPLSQLTable || v->elementCount > 1)
        lastParsed_.clear();
    }
    if (arrayDMLSize_ >= 2) lastParsed_.clear();
  }
  if (optimize_ && sqlText == lastParsed_ && KeepsParse(kind_)) return;
  fields_->Clear();
  lastParsed_ = sqlText;
  kind_ = 0;
  described_ = false;
  ++parseCount_;
  session_->EnterLock(true);
  if (cursorHandleMode_) {
    sword s;
    if (session_->StatementCacheActive()) {
      if (stmt_) OCI.OCIStmtRelease(stmt_, err_, nullptr, 0, OCI_DEFAULT);
      stmt_ = nullptr;
      s = OCI.OCIStmtPrepare2(session_->ServiceContext(), &stmt_, err_,
                              reinterpret_cast<const OraText*>(sqlText.data()),
                              static_cast<ub4>(sqlText.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT);
    } else {
      if (stmt_) OCI.OCIHandleFree(stmt_, OCI_HTYPE_STMT);
      stmt_ = nullptr;
      s = OCI.OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<dvoid**>(&stmt_), OCI_HTYPE_STMT,
                             0, nullptr);
      if (s == OCI_SUCCESS)
        s = OCI.OCIStmtPrepare(stmt_, err_, reinterpret_cast<const text*>(sqlText.data()),
                               static_cast<ub4>(sqlText.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    }
    for (int i = 0; i < variables_->Count(); ++i) {
      TVariableData* v = variables_->Items(i);
      v->bindHandle = nullptr;
      v->boundAddress = nullptr;
      v->boundIndicators = nullptr;
      v->boundSize = -1;
    }
    if (s != OCI_SUCCESS) {
      status_ = s;
      errorCode_ = StatusCode(s);
      ComputeErrorPosition();
      lastParsed_.clear();
      RaiseError();
    }
    ub4 zero = 0;
    OCI.OCIAttrSet(stmt_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, err2_);
    OCI.OCIAttrSet(stmt_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_MEMORY, err2_);
    ub2 type = 0;
    OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err2_);
    kind_ = KindOfStatementType(type);
  } else {
    sword s = OCI.oparse(CursorDataArea(), reinterpret_cast<text*>(sqlText.data()), -1, 0, 2);
    if (s != 0) {
      errorCode_ = CursorDataArea()->rc;
      ComputeErrorPosition();
      lastParsed_.clear();
      RaiseError();
    }
    kind_ = CursorDataArea()->ft;
  }
  session_->LeaveLock(true);
}

void TOracleQuery::BindVariables() {
  arrayDMLSize_ = 0;
  for (int i = 0; i < variables_->Count(); ++i) {
    TVariableData* v = variables_->Items(i);
    if (v->varType == otSubst) continue;
    BindVariable(v);
  }
}

void TOracleQuery::BindVariable(TVariableData* Variable) {
  TVariableData* v = Variable;
  if (v->isComplex) {
    BindComplexVariable(v);
    return;
  }
  void* address = v->buffer;
  int bindType = VariableBindType(v->varType, cursorHandleMode_);
  ub2* lengthAddress = nullptr;
  if ((v->varType == otLong || v->varType == otLongRaw) && v->elementSize <= 65535) {
    v->boundLength = static_cast<ub2>(v->dataLength);
    lengthAddress = &v->boundLength;
  }
  ub4 maxArray = 0;
  ub4* current = nullptr;
  if (v->isPLSQLTable) {
    arrayDMLSize_ = 1;
    maxArray = static_cast<ub4>(v->elementCount);
    current = &v->tableEntries;
  } else if (arrayDMLSize_ == 0) {
    arrayDMLSize_ = v->elementCount;
  } else if (arrayDMLSize_ != v->elementCount) {
    throw Exception("All arrays must be of equal size for Array DML");
  }
  int32_t size = v->elementSize;
  // A single string is bound at most as long as the server takes one; an array keeps the stride
  // of its elements.
  if ((bindType == SQLT_STR || bindType == SQLT_AVC) && v->varType != otPLSQLString && !v->isPLSQLTable &&
      v->elementCount == 1)
    size = std::min(size, session_->MaxStringChars() + 1);
  if (cursorHandleMode_) {
    if (v->bindHandle && address == v->boundAddress && v->indicators == v->boundIndicators &&
        size == v->boundSize)
      return;
    session_->EnterLock(true);
    sword s = OCI.OCIBindByName(stmt_, &v->bindHandle, err_, reinterpret_cast<const text*>(v->name.c_str()),
                                -1, address, size, static_cast<ub2>(bindType), v->indicators, lengthAddress,
                                nullptr, maxArray, current, OCI_DEFAULT);
    if (s != OCI_SUCCESS) CheckCallStatus(s);
    session_->LeaveLock(true);
    v->boundAddress = address;
    v->boundIndicators = v->indicators;
    v->boundSize = size;
  } else {
    session_->EnterLock(true);
    sword s = OCI.obndra(CursorDataArea(), reinterpret_cast<text*>(const_cast<char*>(v->name.c_str())), -1,
                         static_cast<ub1*>(address), size, bindType, -1, v->indicators, lengthAddress,
                         nullptr, maxArray, current, nullptr, -1, -1);
    if (s != 0) CheckCallStatus(s);
    session_->LeaveLock(true);
  }
}

// ---- Describing and defining ------------------------------------------------------------------------

void TOracleQuery::ChooseFetchType(TFieldData* F) {
  bool handle = cursorHandleMode_;
  switch (F->dataType) {
    case 2: {  // NUMBER
      int type = 0, size = 0;
      session_->NumberBuffer(F->precision, F->scale, stringFieldsOnly_, type, size);
      F->fetchType = static_cast<int16_t>(type);
      F->rowSize = size;
      break;
    }
    case SQLT_LNG:
    case SQLT_LBI:
      F->fetchType = F->dataType;
      F->rowSize = handle ? 0 : 4096;
      hasLongColumn_ = true;
      break;
    case SQLT_RID:
    case SQLT_RDD:
      F->fetchType = SQLT_STR;
      F->rowSize = std::max(F->size + 1, 19);
      break;
    case SQLT_DAT:
      if (stringFieldsOnly_) {
        F->fetchType = SQLT_STR;
        F->rowSize = session_->DateFormatLength() + 1;
      } else {
        F->fetchType = SQLT_DAT;
        F->rowSize = 7;
      }
      break;
    case SQLT_BIN:
      F->fetchType = SQLT_STR;
      F->rowSize = 2 * F->size + 1;
      break;
    case SQLT_OSL:
      F->fetchType = SQLT_STR;
      F->rowSize = 255;
      break;
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
      F->fetchType = SQLT_STR;
      F->rowSize = session_->BytesPerChar() * 20;
      break;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
      if (session_->Preferences()->TimestampAsString()) {
        F->fetchType = SQLT_STR;
        F->rowSize = session_->BytesPerChar() * 50;
        break;
      }
      [[fallthrough]];
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
      // One descriptor per row (see SetupComplexColumn).
      F->fetchType = F->dataType;
      F->rowSize = sizeof(void*);
      break;
    case SQLT_NTY:
    case SQLT_REF:
      // One instance (or REF) pointer per row (see SetupComplexColumn).
      if (!handle) throw Exception("Unsupported type of column " + F->name);
      F->fetchType = F->dataType;
      F->rowSize = sizeof(void*);
      break;
    case SQLT_RSET:
      // One statement handle per row (see SetupComplexColumn).
      if (!handle) throw Exception("Unsupported type of column " + F->name);
      F->fetchType = F->dataType;
      F->rowSize = sizeof(void*);
      break;
    default:
      // Character columns: the described size counts characters, and the client's text is UTF-8.
      F->fetchType = SQLT_STR;
      F->bytesPerChar = Utf8MaxCharBytes;
      F->rowSize = F->size * F->bytesPerChar + 1;
      break;
  }
}

void TOracleQuery::DescribeColumnsHandle() {
  ub4 count = 0;
  session_->EnterLock(true);
  sword s = OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err_);
  for (ub4 pos = 1; s == OCI_SUCCESS && pos <= count; ++pos) {
    OCIParam* param = nullptr;
    s = OCI.OCIParamGet(stmt_, OCI_HTYPE_STMT, err_, reinterpret_cast<dvoid**>(&param), pos);
    if (s != OCI_SUCCESS) break;
    ub2 size = 0, type = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 isNull = 0;
    text* name = nullptr;
    ub4 nameLength = 0;
    s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err_);
    if (s == OCI_SUCCESS)
      s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err_);
    if (s == OCI_SUCCESS) s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, err_);
    if (s == OCI_SUCCESS)
      s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, err_);
    if (s == OCI_SUCCESS) s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err_);
    if (s == OCI_SUCCESS)
      s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &isNull, nullptr, OCI_ATTR_IS_NULL, err_);
    if (s != OCI_SUCCESS) break;
    auto* f = static_cast<TFieldData*>(fields_->Add());
    f->size = size;
    f->dataType = static_cast<int16_t>(type);
    f->name.assign(reinterpret_cast<const char*>(name), std::min<ub4>(nameLength, 30));
    f->precision = precision;
    f->scale = scale;
    f->nullable = isNull;
    if (type == SQLT_NTY || type == SQLT_REF) {
      s = DescribeObjectColumn(f, param);
      if (s != OCI_SUCCESS) break;
    }
  }
  if (s != OCI_SUCCESS) {
    fields_->Clear();
    status_ = s;
    errorCode_ = StatusCode(s);
    ComputeErrorPosition();
    lastParsed_.clear();
    RaiseError();
  }
  session_->LeaveLock(true);
}

void TOracleQuery::DescribeColumnsHost() {
  session_->EnterLock(true);
  for (sword pos = 1;; ++pos) {
    sb4 dbSize = 0, displaySize = 0;
    sb2 dbType = 0, precision = 0, scale = 0, nullOk = 0;
    sb1 name[64] = {};
    sb4 nameLength = sizeof name;
    sword s = OCI.odescr(CursorDataArea(), pos, &dbSize, &dbType, name, &nameLength, &displaySize, &precision,
                         &scale, &nullOk);
    if (s != 0) {
      if (CursorDataArea()->rc == ORA_VARIABLE_NOT_IN_SELECT_LIST) break;
      fields_->Clear();
      errorCode_ = CursorDataArea()->rc;
      ComputeErrorPosition();
      lastParsed_.clear();
      RaiseError();
    }
    auto* f = static_cast<TFieldData*>(fields_->Add());
    f->size = dbSize;
    f->dataType = dbType;
    f->name.assign(reinterpret_cast<const char*>(name),
                   static_cast<size_t>(std::clamp<sb4>(nameLength, 0, 30)));
    f->precision = precision;
    f->scale = scale;
    f->nullable = nullOk;
  }
  session_->LeaveLock(true);
}

void TOracleQuery::DescribeColumns() {
  rowsPerExchange_ = readBuffer_;
  fields_->Clear();
  hasLongColumn_ = false;
  if (cursorHandleMode_)
    DescribeColumnsHandle();
  else
    DescribeColumnsHost();
  try {
    for (int i = 0; i < fields_->Count(); ++i) ChooseFetchType(FieldData(i));
  } catch (...) {
    fields_->Clear();
    throw;
  }
  if (hasLongColumn_) rowsPerExchange_ = 1;
  for (int i = 0; i < fields_->Count(); ++i) {
    FieldData(i)->AllocateRows(rowsPerExchange_);
    SetupComplexColumn(FieldData(i));
  }
  DefineColumns();
  described_ = true;
}

void TOracleQuery::DefineColumns() {
  for (int i = 0; i < fields_->Count(); ++i) {
    TFieldData* f = FieldData(i);
    ub2 defineType = static_cast<ub2>(f->dataType == SQLT_OSL ? SQLT_OSL : f->fetchType);
    bool isLong = f->fetchType == SQLT_LNG || f->fetchType == SQLT_LBI;
    session_->EnterLock(true);
    if (cursorHandleMode_) {
      sword s;
      if (isLong) {
        s = OCI.OCIDefineByPos(stmt_, &define_, err_, static_cast<ub4>(i + 1), nullptr, 2147483647,
                               defineType, f->indicators, f->lengths, nullptr, OCI_DYNAMIC_FETCH);
        if (s == OCI_SUCCESS) s = OCI.OCIDefineDynamic(define_, err_, f, LongPieceCallback);
      } else {
        s = OCI.OCIDefineByPos(stmt_, &define_, err_, static_cast<ub4>(i + 1), f->buffer, f->rowSize,
                               defineType, f->indicators, f->lengths, nullptr, OCI_DEFAULT);
        if (s == OCI_SUCCESS && f->fetchType == SQLT_NTY)
          s = OCI.OCIDefineObject(define_, err_, f->typeDescriptor, reinterpret_cast<dvoid**>(f->buffer),
                                  nullptr, f->nullStructures, nullptr);
        else if (s == OCI_SUCCESS && f->fetchType == SQLT_REF)
          s = OCI.OCIDefineObject(define_, err_, nullptr, reinterpret_cast<dvoid**>(f->buffer), nullptr,
                                  nullptr, nullptr);
      }
      if (s != OCI_SUCCESS) {
        fields_->Clear();
        CheckCallStatus(s);
      }
    } else {
      sword s = OCI.odefin(CursorDataArea(), i + 1, f->buffer, f->rowSize, defineType, -1, f->indicators,
                           nullptr, -1, -1, f->lengths, nullptr);
      if (s != 0) {
        fields_->Clear();
        CheckCallStatus(s);
      }
    }
    session_->LeaveLock(true);
  }
}

// ---- Execution --------------------------------------------------------------------------------------

void TOracleQuery::PrepareFetch() {
  for (int i = 0; i < fields_->Count(); ++i) {
    TFieldData* f = FieldData(i);
    if (f->fetchType == SQLT_LNG || f->fetchType == SQLT_LBI) f->ResetPieces();
    f->FreeObjects();
    // The column's object lets go of the freed instance until the next row points it again.
    if (f->fetchType == SQLT_NTY && f->columnObject)
      static_cast<TOracleObject*>(f->columnObject.get())
          ->Attach(nullptr, nullptr, f->typeName, f->typeReference);
  }
}

void TOracleQuery::PrepareRowObjects() {
  PointObjectColumns();
  PointComplexColumns();
}

int TOracleQuery::RowCountNow() {
  if (!cursorHandleMode_) return static_cast<int>(CursorDataArea()->rpc);
  ub4 count = 0;
  if (stmt_) OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err2_);
  return static_cast<int>(count);
}

int TOracleQuery::FetchBatch(bool First) {
  PrepareFetch();
  session_->EnterLock(true);
  sword s;
  ub4 rows = static_cast<ub4>(rowsPerExchange_);
  if (cursorHandleMode_) {
    if (OCIGroupPresent(ogOCI90))
      s = OCI.OCIStmtFetch2(stmt_, err_, rows, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
    else
      s = OCI.OCIStmtFetch(stmt_, err_, rows, OCI_FETCH_NEXT, OCI_DEFAULT);
  } else if (First && !cursorVariable_) {
    s = OCI.oexfet(CursorDataArea(), rows, 0, 0);
  } else {
    s = OCI.ofen(CursorDataArea(), static_cast<sword>(rows));
  }
  CheckExecStatus(s, First);
  session_->LeaveLock(true);
  ++fetchCount_;
  int now = RowCountNow();
  int n = std::max(now - lastRowCount_, 0);
  lastRowCount_ = now;
  return n;
}

void TOracleQuery::ExecuteSelect(bool DescribeOnly, sword Mode) {
  BindVariables();
  bool fetched = false;
  fetchCount_ = 0;
  if (cursorHandleMode_ && !cursorVariable_ && !(described_ && DescribeOnly)) {
    ub4 iterations = 0;
    if (described_ && !DescribeOnly) {
      iterations = static_cast<ub4>(rowsPerExchange_);
      PrepareFetch();
      fetched = true;
    }
    ub4 mode = static_cast<ub4>(Mode == OCI_COMMIT_ON_SUCCESS ? 0 : Mode);
    if (scrollableInUse_) mode |= OCI_STMT_SCROLLABLE_READONLY;
    session_->EnterLock(true);
    sword s =
        OCI.OCIStmtExecute(session_->ServiceContext(), stmt_, err_, iterations, 0, nullptr, nullptr, mode);
    CheckExecStatus(s, true);
    session_->LeaveLock(true);
  }
  lastRowCount_ = 0;
  if (!described_) DescribeColumns();
  if (DescribeOnly) {
    RestoreCursor();
    rowIndex_ = 0;
    rowsInBuffer_ = 0;
    eof_ = true;
    return;
  }
  int rows;
  if (fetched) {
    fetchCount_ = 1;
    rows = RowCountNow();
    lastRowCount_ = rows;
  } else {
    rows = FetchBatch(true);
  }
  cursorVariable_ = false;
  rowIndex_ = 0;
  rowsInBuffer_ = rows;
  eof_ = rows == 0;
  if (!eof_) PrepareRowObjects();
}

void TOracleQuery::ExecuteOther(bool DescribeOnly, sword Mode, int Start, int End) {
  BindVariables();
  ub4 iterations = 1, offset = 0;
  if (arrayDMLSize_ > 1) {
    if (End <= 0) {
      iterations = static_cast<ub4>(arrayDMLSize_);
    } else {
      iterations = static_cast<ub4>(std::min(End, arrayDMLSize_));
      offset = static_cast<ub4>(Start);
    }
  }
  if (DescribeOnly) return;
  session_->EnterLock(true);
  if (cursorHandleMode_) {
    sword s = OCI.OCIStmtExecute(session_->ServiceContext(), stmt_, err_, iterations, offset, nullptr,
                                 nullptr, static_cast<ub4>(Mode));
    // A statement that touched no row reports "no data"; that is no error.
    if (s != OCI_NO_DATA) {
      status_ = s;
      if (s != OCI_SUCCESS && s != OCI_SUCCESS_WITH_INFO) {
        errorCode_ = StatusCode(s);
        failedIteration_ = -1;
        ub4 row = 0;
        if (OCI.OCIAttrGet(err_, OCI_HTYPE_ERROR, &row, nullptr, OCI_ATTR_DML_ROW_OFFSET, err2_) ==
            OCI_SUCCESS)
          failedIteration_ = static_cast<int>(row);
        ComputeErrorPosition();
        lastParsed_.clear();
        RaiseError();
      }
    } else {
      status_ = OCI_SUCCESS;
    }
    ub2 code = 0;
    OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, err2_);
    kind_ = code;
  } else {
    sword s = OCI.oexn(CursorDataArea(), static_cast<sword>(iterations), static_cast<sword>(offset));
    if (s != 0 && CursorDataArea()->rc != 0) {
      errorCode_ = CursorDataArea()->rc;
      failedIteration_ = -1;
      ComputeErrorPosition();
      lastParsed_.clear();
      RaiseError();
    }
    kind_ = CursorDataArea()->ft;
  }
  session_->LeaveLock(true);
}

void TOracleQuery::ExecuteCore(bool DescribeOnly, int Start, int End) {
  CheckSession();
  scrollableInUse_ = scrollable_ && OCIGroupPresent(ogOCI90) && session_->HandleMode();
  sword mode =
      DescribeOnly ? OCI_DESCRIBE_ONLY : (session_->AutoCommit() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
  eof_ = true;
  if (!ClientLoaded()) {
    if (session_->ODBCMode() && !session_->ODBCAdapter() && OCIDLL.empty()) OCIDLL = ODBCLibraryName;
    SetBusyCursor();
    try {
      InitClientLibrary();
    } catch (...) {
      RestoreCursor();
      throw;
    }
    RestoreCursor();
  }
  if (!session_->Connected()) throw Exception("Not logged on");
  if (debug_ && !DescribeOnly && !cursorVariable_) {
    std::string message = FinalSQL();
    for (int i = 0; i < variables_->Count(); ++i) {
      TVariableData* v = variables_->Items(i);
      message += "\r" + v->name + " = " + VariableDisplayText(v, this);
    }
    OracleShowMessage(message);
  }
  SetBusyCursor();
  try {
    Parse();
    if (kind_ == 4)
      ExecuteSelect(DescribeOnly, mode);
    else
      ExecuteOther(DescribeOnly, mode, Start, End);
    ComplexVariablesExecuted();
    StoreResults();
    CloseIfDone();
  } catch (...) {
    RestoreCursor();
    throw;
  }
  RestoreCursor();
}

void TOracleQuery::StoreResults() {
  rowsProcessed_ = RowCountNow();
  errorCode_ = cursorHandleMode_
                   ? (status_ == OCI_SUCCESS_WITH_INFO || status_ == OCI_SUCCESS ? 0 : StatusCode(status_))
                   : CursorDataArea()->rc;
  if (errorCode_ == ORA_NO_DATA_FOUND || errorCode_ == ORA_VALUE_TRUNCATED) errorCode_ = 0;
  warningFlags_ = cursorHandleMode_ ? (status_ == OCI_SUCCESS_WITH_INFO ? 33 : 0) : CursorDataArea()->wrn;
  rowId_ = ReadRowId();
}

std::string TOracleQuery::ReadRowId() {
  if (kind_ != 3 && kind_ != 4 && kind_ != 5 && kind_ != 9) return "";
  if (cursorHandleMode_) {
    if (!stmt_ || !rowidDescriptor_) return "";
    if (OCI.OCIAttrGet(stmt_, OCI_HTYPE_STMT, rowidDescriptor_, nullptr, OCI_ATTR_ROWID, err2_) !=
        OCI_SUCCESS)
      return "";
    const ub1* b = reinterpret_cast<const ub1*>(rowidDescriptor_);
    if (OCIGroupPresent(ogOCI81))
      return FormatRowId(BigEndian(b + 1, 4), BigEndian(b + 5, 2), BigEndian(b + 7, 4), BigEndian(b + 11, 2));
    uint32_t w[4];
    std::memcpy(w, b, sizeof w);
    return FormatRowId(w[0], w[1], w[2], w[3]);
  }
  Cda_Def* c = CursorDataArea();
  if (c->rid_obj == 0 && c->rid_block == 0 && c->rid_file == 0 && c->rid_slot == 0) return "";
  return FormatRowId(c->rid_obj, c->rid_file, c->rid_block, c->rid_slot);
}

void TOracleQuery::CloseIfDone() {
  if (!cursorOpen_) return;
  bool keep = (!session_->StatementCacheActive() && optimize_) || (kind_ == 4 && (!eof_ || scrollableInUse_));
  if (!keep) CloseCursor();
}

int TOracleQuery::ExecuteArray(int Index, int Count) {
  if (Count == 0) return 0;
  executing_ = 1;
  struct Idle {
    int& state;
    ~Idle() { state = 0; }
  } idle{executing_};
  if (BeforeQuery) BeforeQuery(this);
  afterQueryPending_ = true;
  bool all = Index == -1 && Count == -1;
  int start = all ? 0 : Index;
  int end = all ? 0 : Index + Count;
  int total = 0;
  for (;;) {
    try {
      ExecuteCore(false, start, end);
      total += rowsProcessed_;
      break;
    } catch (EOracleError& e) {
      int done = RowCountNow();
      // The element that failed: as the client reports it, else after the rows processed.
      int failed = failedIteration_ >= start ? failedIteration_ : start + done;
      total += done;
      start = failed + 1;
      if (!OnArrayError || arrayDMLSize_ <= 1) throw;
      bool more = true;
      OnArrayError(this, start - 1, e.ErrorCode(), e.Message(), more);
      int limit = all ? arrayDMLSize_ : std::min(Index + Count, arrayDMLSize_);
      if (!more || start >= limit) break;
      end = limit;
    }
  }
  if (eof_) FireAfterQueryPending();
  return total;
}

void TOracleQuery::Execute() {
  if (!threaded_) {
    ExecuteArray(-1, -1);
    return;
  }
  if (!thread_) {
    thread_ = std::make_unique<TQueryThread>(this);
    thread_->Resume();
    return;
  }
  if (!thread_->Suspended()) throw Exception("Query thread is still in progress");
  thread_->Resume();
}

void TOracleQuery::Describe() {
  CheckNotRunning();
  ExecuteCore(true, 0, 0);
}

void TOracleQuery::Next() {
  if (eof_) return;
  CheckSession();
  if (!session_->Connected()) throw Exception("Not logged on");
  executing_ = 2;
  struct Idle {
    int& state;
    ~Idle() { state = 0; }
  } idle{executing_};
  ++rowIndex_;
  if (rowIndex_ >= rowsInBuffer_) {
    if (rowsInBuffer_ >= rowsPerExchange_) {
      SetBusyCursor();
      int rows;
      try {
        rows = FetchBatch(false);
      } catch (...) {
        RestoreCursor();
        throw;
      }
      RestoreCursor();
      rowIndex_ = 0;
      rowsInBuffer_ = rows;
      eof_ = rows == 0;
      StoreResults();
    } else {
      eof_ = true;
    }
  }
  if (!eof_)
    PrepareRowObjects();
  else
    FireAfterQueryPending();
  if (eof_) CloseIfDone();
}

// ---- Threads ----------------------------------------------------------------------------------------

TQueryThread::TQueryThread(TOracleQuery* Query) : TThread(true), query_(Query) {}

TQueryThread::~TQueryThread() {
  StopAndWait();
}

void TQueryThread::Fire(const std::function<void()>& Event) {
  if (query_->ThreadSynchronized())
    Synchronize(Event);
  else
    Event();
}

void TQueryThread::Execute() {
  while (!Terminated()) {
    try {
      query_->ExecuteArray(-1, -1);
      Fire([this] {
        if (query_->OnThreadExecuted) query_->OnThreadExecuted(query_);
      });
      while (!query_->Eof() && !Terminated()) {
        Fire([this] {
          if (query_->OnThreadRecord) query_->OnThreadRecord(query_);
        });
        query_->Next();
      }
    } catch (const EOracleError& e) {
      errorCode_ = e.ErrorCode();
      errorMessage_ = e.Message();
      Fire([this] {
        if (query_->OnThreadError) query_->OnThreadError(query_, errorCode_, errorMessage_);
      });
    } catch (const std::exception& e) {
      errorCode_ = 0;
      errorMessage_ = e.what();
      Fire([this] {
        if (query_->OnThreadError) query_->OnThreadError(query_, errorCode_, errorMessage_);
      });
    }
    if (Terminated()) break;
    Fire([this] {
      if (query_->OnThreadFinished) query_->OnThreadFinished(query_);
    });
    Suspend();
  }
}
