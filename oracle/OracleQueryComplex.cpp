// TOracleQuery: LOB and timestamp variables (bound to the application's objects) and columns (one
// descriptor per row and one helper object repointed at the current row).
#include <algorithm>
#include <cstring>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

template <typename T>
T** CellAddress(TFieldData* F, int Row) {
  return reinterpret_cast<T**>(F->Cell(Row));
}

}  // namespace

void TOracleQuery::BindComplexVariable(TVariableData* v) {
  void* address = nullptr;
  if (IsTimestampType(v->varType)) {
    auto* ts = static_cast<TOracleTimestamp*>(v->objectReference);
    if (!ts) {
      v->internalTimestamp = std::make_unique<TOracleTimestamp>(session_, v->varType);
      ts = static_cast<TOracleTimestamp*>(v->internalTimestamp.get());
      if (v->indicators[0] == -1)
        ts->SetNull();
      else
        ts->SetAsDateTime(v->timestampValue);
    }
    address = ts->DescriptorAddress();
    v->indicators[0] = ts->IsNull() ? -1 : 0;
  } else if (IsLOBType(v->varType)) {
    auto* lob = static_cast<TLOBLocator*>(v->objectReference);
    if (!lob) throw Exception("LOB variable " + v->name + " cannot be nil");
    address = lob->LocatorAddress();
    v->indicators[0] = lob->IsNull() ? -1 : 0;
  } else if ((v->varType == otObject || v->varType == otReference) && cursorHandleMode_) {
    BindObjectVariable(v, address);
  } else if (v->varType == otCursor) {
    auto* target = static_cast<TOracleQuery*>(v->objectReference);
    if (!target) throw Exception("Cursor variable " + v->name + " cannot be nil");
    target->Close();
    target->Clear();
    if (!target->session_) target->SetSession(session_);
    target->cursorVariable_ = true;
    target->OpenCursor();
    if (cursorHandleMode_) {
      session_->EnterLock(true);
      if (target->stmt_) OCI.OCIHandleFree(target->stmt_, OCI_HTYPE_STMT);
      target->stmt_ = nullptr;
      sword s = OCI.OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<dvoid**>(&target->stmt_),
                                   OCI_HTYPE_STMT, 0, nullptr);
      ub4 zero = 0;
      if (s == OCI_SUCCESS)
        s = OCI.OCIAttrSet(target->stmt_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, err_);
      if (s == OCI_SUCCESS)
        s = OCI.OCIAttrSet(target->stmt_, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_MEMORY, err_);
      session_->LeaveLock(true);
      if (s != OCI_SUCCESS) CheckCallStatus(s);
      address = &target->stmt_;
      v->boundAddress = nullptr;  // a new statement handle each time
    } else {
      // Host calls: the target's cursor data area is bound; the server opens the query in it.
      address = target->CursorDataArea();
    }
    v->indicators[0] = 0;
  } else {
    throw Exception("Unsupported variable type for " + v->name);
  }
  if (arrayDMLSize_ == 0) arrayDMLSize_ = 1;
  if (!cursorHandleMode_) {
    // Host calls bind the locator, descriptor or cursor data area with obndra at each execution.
    bool cursor = v->varType == otCursor;
    session_->EnterLock(true);
    sword s =
        OCI.obndra(CursorDataArea(), reinterpret_cast<text*>(const_cast<char*>(v->name.c_str())), -1,
                   static_cast<ub1*>(address), cursor ? static_cast<sword>(sizeof(Cda_Def)) : sizeof(void*),
                   VariableBindType(v->varType, false), -1, v->indicators, nullptr, nullptr, 0, nullptr,
                   nullptr, -1, -1);
    session_->LeaveLock(true);
    if (s != 0) CheckCallStatus(s);
    return;
  }
  if (v->bindHandle && address == v->boundAddress && v->indicators == v->boundIndicators) return;
  session_->EnterLock(true);
  sword s = OCI.OCIBindByName(stmt_, &v->bindHandle, err_, reinterpret_cast<const text*>(v->name.c_str()), -1,
                              address, static_cast<sb4>(sizeof(void*)), static_cast<ub2>(v->varType),
                              v->indicators, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  if (s != OCI_SUCCESS) CheckCallStatus(s);
  session_->LeaveLock(true);
  BindObjectDetails(v);
  v->boundAddress = address;
  v->boundIndicators = v->indicators;
  v->boundSize = static_cast<int32_t>(sizeof(void*));
}

void TOracleQuery::ComplexVariablesExecuted() {
  if (!cursorHandleMode_) return;
  for (int i = 0; i < variables_->Count(); ++i) {
    TVariableData* v = variables_->Items(i);
    if (!v->isComplex || !v->indicators) continue;
    bool null = v->indicators[0] == -1;
    if (IsTimestampType(v->varType)) {
      if (auto* ts = static_cast<TOracleTimestamp*>(v->objectReference)) {
        if (null)
          ts->SetNull();
        else
          ts->MarkNotNull();
      } else if (v->internalTimestamp) {
        auto* ts = static_cast<TOracleTimestamp*>(v->internalTimestamp.get());
        if (null)
          ts->SetNull();
        else
          ts->MarkNotNull();
        v->timestampValue = ts->AsDateTime();
        v->internalTimestamp.reset();
        v->boundAddress = nullptr;  // the descriptor is gone: bind again next time
      }
    } else if (IsLOBType(v->varType)) {
      auto* lob = static_cast<TLOBLocator*>(v->objectReference);
      if (lob && null) {
        lob->Clear();
        v->indicators[0] = 0;
      }
    } else {
      ObjectVariablesExecuted(v);
    }
  }
}

void TOracleQuery::SetupComplexColumn(TFieldData* F) {
  ub4 type = 0;
  if (IsLOBType(F->fetchType))
    type = F->fetchType == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
  else if (IsTimestampType(F->fetchType))
    type = TimestampDescriptorType(F->fetchType);
  else if (F->fetchType == otObject || F->fetchType == otReference)
    return SetupObjectColumn(F);
  else if (F->fetchType == otCursor)
    return SetupCursorColumn(F);
  else
    return;
  if (!F->buffer) return;
  OCIEnv* env = session_->EnvironmentHandle();
  for (int row = 0; row < F->rowCount; ++row) {
    sword s = OCI.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(F->Cell(row)), type, 0, nullptr);
    if (s != OCI_SUCCESS) throw Exception("Unsupported type of column " + F->name);
  }
  if (type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE) {
    auto lob = std::make_unique<TLOBLocator>(session_, F->fetchType);
    lob->SetName(F->name);
    lob->SetMonitorId(monitorId_);
    F->columnObject = std::move(lob);
  } else {
    F->columnObject = std::make_unique<TOracleTimestamp>(session_, F->fetchType);
  }
}

void TOracleQuery::SetupCursorColumn(TFieldData* F) {
  // Each row's cursor comes in a statement handle of its own, freed with the column.
  if (!F->buffer) return;
  OCIEnv* env = session_->EnvironmentHandle();
  for (int row = 0; row < F->rowCount; ++row)
    if (OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(F->Cell(row)), OCI_HTYPE_STMT, 0, nullptr) !=
        OCI_SUCCESS)
      throw Exception("Unsupported type of column " + F->name);
}

void TOracleQuery::PointComplexColumns() {
  for (int i = 0; i < fields_->Count(); ++i) {
    TFieldData* f = FieldData(i);
    if (!f->columnObject || !f->buffer || rowIndex_ >= f->rowCount) continue;
    if (IsLOBType(f->fetchType)) {
      auto* lob = static_cast<TLOBLocator*>(f->columnObject.get());
      if (lob->LocatorAddress() != CellAddress<OCILobLocator>(f, rowIndex_) && lob->FileIsOpen())
        lob->CloseFile();
      lob->PointAt(CellAddress<OCILobLocator>(f, rowIndex_));
      lob->SetIndicator(&f->indicators[rowIndex_]);
      lob->SetPosition(0);
    } else if (IsTimestampType(f->fetchType)) {
      auto* ts = static_cast<TOracleTimestamp*>(f->columnObject.get());
      ts->Attach(*CellAddress<OCIDateTime>(f, rowIndex_), false, f->indicators[rowIndex_] == -1,
                 f->fetchType);
      ts->SetIndicator(&f->indicators[rowIndex_]);
    }
  }
}

TVariant TOracleQuery::ComplexFieldValue(TFieldData* F) {
  if (!F->columnObject) return NullVariant(session_);
  if (IsTimestampType(F->fetchType))
    return TVariant::FromDate(static_cast<TOracleTimestamp*>(F->columnObject.get())->AsDateTime());
  return LOBVariant(static_cast<TLOBLocator*>(F->columnObject.get()));
}

std::string TOracleQuery::ComplexFieldText(TFieldData* F) {
  if (!F->columnObject) return {};
  if (IsTimestampType(F->fetchType))
    return FormatDateTime("ddddd tt", static_cast<TOracleTimestamp*>(F->columnObject.get())->AsDateTime());
  auto* lob = static_cast<TLOBLocator*>(F->columnObject.get());
  if (F->fetchType == otCLOB) return lob->AsString();
  std::string bytes(static_cast<size_t>(std::max<int64_t>(lob->Size(), 0)), '\0');
  lob->SetPosition(0);
  bytes.resize(
      static_cast<size_t>(std::max<int64_t>(lob->Read(bytes.data(), static_cast<int64_t>(bytes.size())), 0)));
  return bytes;
}
