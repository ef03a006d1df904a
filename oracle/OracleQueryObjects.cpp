// TOracleQuery: object and REF variables (bound to the application's TOracleObject and
// TOracleReference) and columns (one instance or REF pointer per row, and one TOracleObject,
// TXMLType or TOracleReference repointed at the current row).
#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

sword TOracleQuery::DescribeObjectColumn(TFieldData* F, OCIParam* Param) {
  sword s = OCI_SUCCESS;
  std::string type = ParamText(Param, OCI_ATTR_TYPE_NAME, err_, s);
  if (s != OCI_SUCCESS) return s;
  std::string schema = ParamText(Param, OCI_ATTR_SCHEMA_NAME, err_, s);
  if (s != OCI_SUCCESS) return s;
  F->typeName = schema + "." + type;
  OCIRef* ref = nullptr;
  s = OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &ref, nullptr, OCI_ATTR_REF_TDO, err_);
  if (s != OCI_SUCCESS || !ref) return s;
  // The column keeps its own copy of the type REF and the pinned type while it lives.
  // The column has its own error handle: its row objects may outlive the cursor's handles.
  OCIEnv* env = session_->EnvironmentHandle();
  OCIError* err = nullptr;
  s = OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
  if (s != OCI_SUCCESS) return s;
  OCIRef* copy = nullptr;
  OCIType* tdo = nullptr;
  s = OCI.OCIObjectNew(env, err_, session_->ServiceContext(), OCI_TYPECODE_REF, nullptr, nullptr,
                       OCI_DURATION_SESSION, 1, reinterpret_cast<dvoid**>(&copy));
  if (s == OCI_SUCCESS) s = OCI.OCIRefAssign(env, err_, ref, &copy);
  if (s == OCI_SUCCESS && F->dataType == SQLT_NTY)
    s = OCI.OCIObjectPin(env, err_, copy, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE,
                         reinterpret_cast<dvoid**>(&tdo));
  F->SetObjectInfo(tdo, copy, env, err);
  return s;
}

void TOracleQuery::SetupObjectColumn(TFieldData* F) {
  if (!F->errorHandle) {
    F->environment = session_->EnvironmentHandle();
    if (OCI.OCIHandleAlloc(F->environment, reinterpret_cast<dvoid**>(&F->errorHandle), OCI_HTYPE_ERROR, 0,
                           nullptr) != OCI_SUCCESS)
      throw Exception("Unsupported type of column " + F->name);
  }
  if (F->fetchType == SQLT_NTY) {
    F->typeCode = F->typeDescriptor ? session_->DescribeTypeCode(F->typeDescriptor) : OCI_TYPECODE_OBJECT;
    std::free(F->nullStructures);
    F->nullStructures =
        static_cast<void**>(std::calloc(static_cast<size_t>(std::max(F->rowCount, 1)), sizeof(void*)));
    std::unique_ptr<TOracleObject> object;
    if (F->typeName == "SYS.XMLTYPE")
      object = TXMLType::CreateForColumn(session_);
    else
      object = TOracleObject::CreateForColumn(session_);
    object->SetName(F->name);
    object->SetMonitorId(monitorId_);
    F->columnObject = std::move(object);
  } else {
    F->columnObject =
        std::make_unique<TOracleReference>(session_, F->name, monitorId_, F->typeName, F->typeReference);
  }
}

void TOracleQuery::PointObjectColumns() {
  OCIEnv* env = session_ ? session_->EnvironmentHandle() : nullptr;
  for (int i = 0; i < fields_->Count(); ++i) {
    TFieldData* f = FieldData(i);
    if ((f->fetchType != SQLT_NTY && f->fetchType != SQLT_REF) || !f->columnObject || !f->buffer ||
        rowIndex_ >= f->rowCount)
      continue;
    void** cell = reinterpret_cast<void**>(f->Cell(rowIndex_));
    if (f->fetchType == SQLT_NTY) {
      if (!*cell) {
        sword s =
            OCI.OCIObjectNew(env, err_, session_->ServiceContext(), static_cast<OCITypeCode>(f->typeCode),
                             f->typeDescriptor, nullptr, OCI_DURATION_SESSION, 1, cell);
        if (s == OCI_SUCCESS) s = OCI.OCIObjectGetInd(env, err_, *cell, &f->nullStructures[rowIndex_]);
        if (s != OCI_SUCCESS) {
          session_->EnterLock(true);
          CheckCallStatus(s);
        }
        if (f->nullStructures[rowIndex_]) *static_cast<sb2*>(f->nullStructures[rowIndex_]) = -1;
      }
      static_cast<TOracleObject*>(f->columnObject.get())
          ->Attach(*cell, f->nullStructures[rowIndex_], f->typeName, f->typeReference);
    } else {
      if (!*cell) {
        sword s = OCI.OCIObjectNew(env, err_, session_->ServiceContext(), OCI_TYPECODE_REF, nullptr, nullptr,
                                   OCI_DURATION_SESSION, 1, cell);
        if (s != OCI_SUCCESS) {
          session_->EnterLock(true);
          CheckCallStatus(s);
        }
      }
      auto* ref = static_cast<TOracleReference*>(f->columnObject.get());
      ref->PointAt(reinterpret_cast<OCIRef**>(cell));
      ref->SetIndicator(&f->indicators[rowIndex_]);
    }
  }
}

void TOracleQuery::BindObjectVariable(TVariableData* v, void*& Address) {
  if (v->varType == otObject) {
    auto* object = static_cast<TOracleObject*>(v->objectReference);
    if (!object) throw Exception("Object variable " + v->name + " cannot be nil");
    Address = object->InstanceAddress();
    v->indicators[0] = object->IsNull() ? -1 : 0;
  } else {
    auto* ref = static_cast<TOracleReference*>(v->objectReference);
    if (!ref) throw Exception("Reference variable " + v->name + " cannot be nil");
    Address = ref->RefAddress();
    v->indicators[0] = ref->IsNull() ? -1 : 0;
  }
}

void TOracleQuery::BindObjectDetails(TVariableData* v) {
  sword s = OCI_SUCCESS;
  if (v->varType == otObject) {
    auto* object = static_cast<TOracleObject*>(v->objectReference);
    s = OCI.OCIBindObject(v->bindHandle, err_, object->TypeDescriptor(), object->InstanceAddress(), nullptr,
                          object->NullStructAddress(), nullptr);
  } else if (v->varType == otReference) {
    auto* ref = static_cast<TOracleReference*>(v->objectReference);
    s = OCI.OCIBindObject(v->bindHandle, err_, ref->TypeDescriptor(),
                          reinterpret_cast<dvoid**>(ref->RefAddress()), nullptr, nullptr, nullptr);
  } else {
    return;
  }
  if (s != OCI_SUCCESS) {
    session_->EnterLock(true);
    CheckCallStatus(s);
  }
}

void TOracleQuery::ObjectVariablesExecuted(TVariableData* v) {
  bool null = v->indicators[0] == -1;
  if (v->varType == otReference) {
    auto* ref = static_cast<TOracleReference*>(v->objectReference);
    if (!ref) return;
    if (null) {
      ref->Clear();
      v->indicators[0] = 0;
    } else {
      ref->Changed();
    }
  } else if (v->varType == otObject) {
    if (auto* object = static_cast<TOracleObject*>(v->objectReference)) object->InstanceChanged();
  }
}

TVariant TOracleQuery::ObjectFieldValue(TFieldData* F) {
  if (F->fetchType == SQLT_REF)
    return TVariant(static_cast<TOracleReference*>(F->columnObject.get())->AsHex());
  if (auto* xml = dynamic_cast<TXMLType*>(F->columnObject.get())) return TVariant(xml->GetXMLData());
  return NullVariant(session_);
}

std::string TOracleQuery::ObjectFieldText(TFieldData* F, int Index) {
  if (F->fetchType == SQLT_REF) return static_cast<TOracleReference*>(F->columnObject.get())->AsHex();
  if (auto* xml = dynamic_cast<TXMLType*>(F->columnObject.get())) return xml->GetXMLData();
  ConvertError(Index, "a String");
}
