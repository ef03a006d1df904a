// One SQL statement or PL/SQL block run on a session (TOracleQuery), with its variables, its fetch
// buffer and the thread that runs it in the background.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "oracle/Oracle.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/Classes.h"

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
  void SetupCursorColumn(TFieldData* F);
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
