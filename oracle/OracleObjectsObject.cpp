// TOracleReference, TObjectAttribute, TOracleObject and TXMLType.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

constexpr const char* kInvalidHandle = "TOracleObject: Invalid handle";
constexpr int kPointerSize = static_cast<int>(sizeof(void*));
constexpr int kTypeCodeOpaque = 58;
constexpr int kIntervalYM = 189;
constexpr int kIntervalDS = 190;

// Raises for a failed status of an object, reference or type call.
void CheckStatus(TOracleSession* Session, OCIError* Err, sword Status) {
  if (Status == OCI_INVALID_HANDLE) throw Exception(kInvalidHandle);
  if (Status == OCI_ERROR) RaiseOracleError(Session, Err, Session);
}

// Looks a type up by name: its REF (a new REF object) and the pinned type descriptor.
void LookupTypeByName(TOracleSession* Session, OCIError* Err, const std::string& Name, OCIRef*& TypeRef,
                      OCIType*& TypeDescriptor) {
  OCIEnv* env = Session->EnvironmentHandle();
  OCIDescribe* dsc = nullptr;
  CheckStatus(Session, Err,
              OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0, nullptr));
  std::string upper = UpperCase(Name);
  sword s = OCI.OCIDescribeAny(Session->ServiceContext(), Err, const_cast<char*>(upper.c_str()),
                               static_cast<ub4>(upper.size()), OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, dsc);
  OCIParam* param = nullptr;
  OCIRef* ref = nullptr;
  if (s == OCI_SUCCESS) s = OCI.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, Err);
  if (s == OCI_SUCCESS) s = OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &ref, nullptr, OCI_ATTR_REF_TDO, Err);
  if (s == OCI_SUCCESS && !TypeRef)
    s = OCI.OCIObjectNew(env, Err, Session->ServiceContext(), OCI_TYPECODE_REF, nullptr, nullptr,
                         OCI_DURATION_SESSION, 1, reinterpret_cast<dvoid**>(&TypeRef));
  if (s == OCI_SUCCESS) s = OCI.OCIRefAssign(env, Err, ref, &TypeRef);
  if (s == OCI_SUCCESS)
    s = OCI.OCIObjectPin(env, Err, TypeRef, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE,
                         reinterpret_cast<dvoid**>(&TypeDescriptor));
  if (s != OCI_SUCCESS) {
    std::exception_ptr error;
    try {
      CheckStatus(Session, Err, s);
    } catch (...) {
      error = std::current_exception();
    }
    OCI.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
    if (error) std::rethrow_exception(error);
    return;
  }
  OCI.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
}

// A copy of TypeRef (a new REF object) and the type it points at, pinned.
void PinTypeRef(TOracleSession* Session, OCIError* Err, OCIRef* Source, OCIRef*& TypeRef,
                OCIType*& TypeDescriptor) {
  OCIEnv* env = Session->EnvironmentHandle();
  if (!TypeRef)
    CheckStatus(Session, Err,
                OCI.OCIObjectNew(env, Err, Session->ServiceContext(), OCI_TYPECODE_REF, nullptr, nullptr,
                                 OCI_DURATION_SESSION, 1, reinterpret_cast<dvoid**>(&TypeRef)));
  CheckStatus(Session, Err, OCI.OCIRefAssign(env, Err, Source, &TypeRef));
  CheckStatus(Session, Err,
              OCI.OCIObjectPin(env, Err, TypeRef, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE,
                               reinterpret_cast<dvoid**>(&TypeDescriptor)));
}

OCIError* AllocError(TOracleSession* Session) {
  OCIError* err = nullptr;
  if (OCI.OCIHandleAlloc(Session->EnvironmentHandle(), reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0,
                         nullptr) != OCI_SUCCESS)
    throw Exception(kInvalidHandle);
  return err;
}

// The text of a model of N nines.
std::string Nines(int N) {
  return std::string(static_cast<size_t>(std::max(N, 0)), '9');
}

[[noreturn]] void AttributeTypeNotSupported(int Type) {
  throw Exception("Attribute type not supported (" + IntToStr(Type) + ").");
}

// The wrapper `Cache` keeps under `Key`; the first time, the one `Make` returns, which it keeps.
template <typename T, typename Make>
T* Cached(std::map<std::string, std::unique_ptr<T>>& Cache, const std::string& Key, Make&& MakeWrapper) {
  if (auto it = Cache.find(Key); it != Cache.end()) return it->second.get();
  std::unique_ptr<T> made = MakeWrapper();
  T* result = made.get();
  Cache[Key] = std::move(made);
  return result;
}

}  // namespace

// ---- TOracleReference -------------------------------------------------------------------------------

TOracleReference::TOracleReference(TOracleSession* Session, const std::string& Name, int MonitorId,
                                   const std::string& TypeName, OCIRef* TypeRef)
    : session_(Session), typeName_(TypeName), monitorId_(MonitorId), name_(Name) {
  if (!Session || !Session->Connected()) throw Exception("Not logged on");
  Session->AddReference(this);
  try {
    err_ = AllocError(Session);
    Check(OCI.OCIObjectNew(Session->EnvironmentHandle(), err_, Session->ServiceContext(), OCI_TYPECODE_REF,
                           nullptr, nullptr, OCI_DURATION_SESSION, 1, reinterpret_cast<dvoid**>(&ref_)));
    if (TypeRef)
      PinTypeRef(Session, err_, TypeRef, typeRef_, tdo_);
    else if (!TypeName.empty())
      LookupTypeByName(Session, err_, TypeName, typeRef_, tdo_);
  } catch (...) {
    ReleaseHandles();
    Session->RemoveReference(this);
    throw;
  }
}

TOracleReference::~TOracleReference() {
  if (session_) {
    ReleaseHandles();
    session_->RemoveReference(this);
  }
}

void TOracleReference::ReleaseHandles() {
  if (!session_) return;
  OCIEnv* env = session_->EnvironmentHandle();
  if (OCI.OCIObjectFree && env) {
    if (ref_) OCI.OCIObjectFree(env, err_, ref_, 0);
    if (tdo_) OCI.OCIObjectUnpin(env, err_, tdo_);
    if (typeRef_) OCI.OCIObjectFree(env, err_, typeRef_, 0);
  }
  ref_ = nullptr;
  tdo_ = nullptr;
  typeRef_ = nullptr;
  if (refAddress_ != &ref_) refAddress_ = &ref_;
  indicator_ = nullptr;
  if (err_ && OCI.OCIHandleFree) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
  err_ = nullptr;
}

void TOracleReference::SessionLoggingOff(TOracleSession* /*Session*/) {
  ReleaseHandles();
}

void TOracleReference::SessionDestroying(TOracleSession* /*Session*/) {
  ReleaseHandles();
  session_ = nullptr;
}

void TOracleReference::Check(sword Status) {
  CheckStatus(session_, err_, Status);
}

void TOracleReference::CheckAlive() const {
  if (!session_ || !err_ || !session_->Connected()) throw Exception("Not logged on");
}

void TOracleReference::SetOwner(TOracleObject* Object, TObjectAttribute* Attribute) {
  ownerObject_ = Object;
  ownerAttribute_ = Attribute;
}

bool TOracleReference::IsNull() {
  CheckAlive();
  if (!Ref() && ownerObject_)
    Check(OCI.OCIObjectNew(session_->EnvironmentHandle(), err_, session_->ServiceContext(), OCI_TYPECODE_REF,
                           nullptr, nullptr, OCI_DURATION_SESSION, 1,
                           reinterpret_cast<dvoid**>(refAddress_)));
  if (indicator_) return *indicator_ != 0;
  return !Ref() || OCI.OCIRefIsNull(session_->EnvironmentHandle(), Ref()) != 0;
}

void TOracleReference::Clear() {
  CheckAlive();
  if (Ref()) OCI.OCIRefClear(session_->EnvironmentHandle(), Ref());
  // The owner clears the indicators on the attribute's path; this one is null again after it.
  if (ownerObject_) ownerObject_->AttributeChanged(ownerAttribute_);
  if (indicator_) *indicator_ = -1;
}

void TOracleReference::Changed() {
  if (indicator_ && Ref() && session_)
    *indicator_ = OCI.OCIRefIsNull(session_->EnvironmentHandle(), Ref()) ? -1 : 0;
  if (ownerObject_) ownerObject_->AttributeChanged(ownerAttribute_);
}

std::string TOracleReference::AsHex() {
  CheckAlive();
  OCIRef* ref = Ref();
  if (!ref) return {};
  OCIEnv* env = session_->EnvironmentHandle();
  ub4 size = OCI.OCIRefHexSize(env, ref);
  if (size == 0) return {};
  std::string hex(size, '\0');
  ub4 length = size;
  Check(OCI.OCIRefToHex(env, err_, ref, reinterpret_cast<text*>(hex.data()), &length));
  hex.resize(std::min(length, size));
  return hex;
}

// ---- TObjectAttribute -------------------------------------------------------------------------------

bool TObjectAttribute::Embedded() const {
  return dataType_ == otObject && !isCollection_ && !notFinal_ && objectTypeCode_ != kTypeCodeOpaque &&
         typeName_ != "SYS.XMLTYPE";
}

bool TObjectAttribute::PointerCell() const {
  switch (dataType_) {
    case otInteger:
    case otFloat:
    case otDate:
      return false;
    case otObject:
      return !Embedded();
    default:
      return true;
  }
}

bool TObjectAttribute::IsNull() const {
  if (!object_) return true;
  sb2* ind = object_->IndicatorAddress(const_cast<TObjectAttribute*>(this));
  return !ind || *ind != 0;
}

TVariant TObjectAttribute::Value() const {
  if (!object_) return Unassigned();
  return object_->GetAttr(name_);
}

// ---- TOracleObject ----------------------------------------------------------------------------------

TOracleObject::TOracleObject(TOracleSession* Session, const std::string& TypeName,
                             const std::string& TableName)
    : session_(Session) {
  if (!Session || !Session->Connected()) throw Exception("Not logged on");
  if (TypeName.empty()) throw Exception("You must supply an object type");
  Init(Session);
  try {
    OCIEnv* env = Session->EnvironmentHandle();
    if (!TableName.empty()) {
      std::string table = UpperCase(TableName), schema;
      if (auto dot = table.find('.'); dot != std::string::npos) {
        schema = table.substr(0, dot);
        table = table.substr(dot + 1);
      }
      Check(OCI.OCIObjectPinTable(env, err_, Session->ServiceContext(),
                                  schema.empty() ? nullptr : reinterpret_cast<const text*>(schema.c_str()),
                                  static_cast<ub4>(schema.size()),
                                  reinterpret_cast<const text*>(table.c_str()),
                                  static_cast<ub4>(table.size()), nullptr, OCI_DURATION_SESSION, &table_));
    }
    typeName_ = UpperCase(TypeName);
    LookupTypeByName(Session, err_, TypeName, typeRef_, tdo_);
    typeCode_ = Session->DescribeTypeCode(tdo_);
    Check(OCI.OCIObjectNew(env, err_, Session->ServiceContext(), static_cast<OCITypeCode>(typeCode_), tdo_,
                           table_, OCI_DURATION_SESSION, table_ ? 0 : 1, &instance_));
    Check(OCI.OCIObjectGetInd(env, err_, instance_, &null_));
    if (null_) *static_cast<sb2*>(null_) = -1;
    knownInstance_ = instance_;
    BuildAttributes();
  } catch (...) {
    ReleaseHandles();
    Session->RemoveObject(this);
    throw;
  }
}

TOracleObject::TOracleObject(TOracleSession* Session, TForColumn) : session_(Session) {
  if (!Session || !Session->Connected()) throw Exception("Not logged on");
  Init(Session);
  ownsInstance_ = false;
}

std::unique_ptr<TOracleObject> TOracleObject::CreateForColumn(TOracleSession* Session) {
  return std::unique_ptr<TOracleObject>(new TOracleObject(Session, TForColumn{}));
}

void TOracleObject::Init(TOracleSession* Session) {
  Session->AddObject(this);
  try {
    err_ = AllocError(Session);
  } catch (...) {
    Session->RemoveObject(this);
    throw;
  }
}

TOracleObject::~TOracleObject() {
  DropChildren();
  query_.reset();
  if (session_) {
    ReleaseHandles();
    session_->RemoveObject(this);
  }
}

void TOracleObject::DropChildren() {
  objects_.clear();
  lobs_.clear();
  references_.clear();
  timestamps_.clear();
}

void TOracleObject::ReleaseHandles() {
  if (!session_) return;
  OCIEnv* env = session_->EnvironmentHandle();
  if (env && OCI.OCIObjectFree) {
    if (instance_ && ownsInstance_) {
      if (table_)
        OCI.OCIObjectUnpin(env, err_, instance_);
      else
        OCI.OCIObjectFree(env, err_, instance_, 0);
    }
    if (table_) OCI.OCIObjectUnpin(env, err_, table_);
    if (tdo_) OCI.OCIObjectUnpin(env, err_, tdo_);
    if (typeRef_) OCI.OCIObjectFree(env, err_, typeRef_, 0);
  }
  if (ownsInstance_) {
    instance_ = nullptr;
    null_ = nullptr;
  }
  table_ = nullptr;
  tdo_ = nullptr;
  typeRef_ = nullptr;
  if (OCI.OCIHandleFree) {
    for (auto* d : describes_) OCI.OCIHandleFree(d, OCI_HTYPE_DESCRIBE);
    if (err_) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
  }
  describes_.clear();
  err_ = nullptr;
}

void TOracleObject::SessionLoggingOff(TOracleSession* /*Session*/) {
  query_.reset();
  ReleaseHandles();
  if (!ownsInstance_) {
    instance_ = nullptr;
    null_ = nullptr;
  }
}

void TOracleObject::SessionDestroying(TOracleSession* Session) {
  SessionLoggingOff(Session);
  session_ = nullptr;
}

void TOracleObject::Check(sword Status) {
  CheckStatus(session_, err_, Status);
}

void TOracleObject::CheckAlive() const {
  if (!session_ || !err_ || !session_->Connected()) throw Exception("Not logged on");
}

void TOracleObject::CheckInstance() const {
  CheckAlive();
  if (!instance_ || !null_) throw Exception(kInvalidHandle);
}

void TOracleObject::Attach(void* Instance, void* NullStruct, const std::string& TypeName, OCIRef* TypeRef) {
  CheckAlive();
  DropChildren();
  instance_ = Instance;
  knownInstance_ = Instance;
  null_ = NullStruct;
  if (instance_ && !null_) Check(OCI.OCIObjectGetInd(session_->EnvironmentHandle(), err_, instance_, &null_));
  if (!tdo_ || (TypeName != typeName_ && UpperCase(TypeName) != typeName_)) {
    if (tdo_) {
      OCI.OCIObjectUnpin(session_->EnvironmentHandle(), err_, tdo_);
      tdo_ = nullptr;
      attributes_.reset();
      elementAttribute_ = nullptr;
    }
    typeName_ = UpperCase(TypeName);
    if (TypeRef)
      PinTypeRef(session_, err_, TypeRef, typeRef_, tdo_);
    else
      LookupTypeByName(session_, err_, TypeName, typeRef_, tdo_);
    typeCode_ = session_->DescribeTypeCode(tdo_);
  }
  BuildAttributes();
}

void TOracleObject::InstanceChanged() {
  if (instance_ == knownInstance_ && null_) return;
  // The client gave a new instance: children over the old one go.
  DropChildren();
  knownInstance_ = instance_;
  if (instance_ && session_ && err_)
    Check(OCI.OCIObjectGetInd(session_->EnvironmentHandle(), err_, instance_, &null_));
}

bool TOracleObject::IsNull() const {
  if (!null_) return true;
  return *static_cast<const sb2*>(null_) != 0;
}

// ---- Attributes -------------------------------------------------------------------------------------

void TOracleObject::BuildAttributes() {
  if (attributes_) return;
  CheckAlive();
  if (!tdo_) throw Exception(kInvalidHandle);
  auto list = std::make_unique<TCollection>(CollectionItemClass<TObjectAttribute>);
  attributes_ = std::move(list);
  try {
    OCIDescribe* dsc = nullptr;
    Check(OCI.OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<dvoid**>(&dsc),
                             OCI_HTYPE_DESCRIBE, 0, nullptr));
    describes_.push_back(dsc);
    Check(
        OCI.OCIDescribeAny(session_->ServiceContext(), err_, tdo_, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, dsc));
    OCIParam* param = nullptr;
    Check(OCI.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, err_));
    ub2 typeCode = 0;
    Check(OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &typeCode, nullptr, OCI_ATTR_TYPECODE, err_));
    typeCode_ = typeCode;
    int valueOffset = 0, nullOffset = 2;
    if (typeCode_ == OCI_TYPECODE_NAMEDCOLLECTION) {
      ub2 collectionCode = 0;
      Check(OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &collectionCode, nullptr, OCI_ATTR_COLLECTION_TYPECODE,
                           err_));
      elementTypeCode_ = collectionCode;
      OCIParam* element = nullptr;
      Check(OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &element, nullptr, OCI_ATTR_COLLECTION_ELEMENT, err_));
      elementAttribute_ = AddAttribute(element, "", true, 0, valueOffset, nullOffset);
    } else {
      DescribeAttributes(param, "", 0, valueOffset, nullOffset);
    }
  } catch (...) {
    attributes_.reset();
    elementAttribute_ = nullptr;
    throw;
  }
}

void TOracleObject::DescribeAttributes(OCIParam* TypeParam, const std::string& Prefix, int Base,
                                       int& ValueOffset, int& NullOffset) {
  ub2 count = 0;
  Check(OCI.OCIAttrGet(TypeParam, OCI_DTYPE_PARAM, &count, nullptr, OCI_ATTR_NUM_TYPE_ATTRS, err_));
  OCIParam* list = nullptr;
  Check(OCI.OCIAttrGet(TypeParam, OCI_DTYPE_PARAM, &list, nullptr, OCI_ATTR_LIST_TYPE_ATTRS, err_));
  for (ub4 i = 1; i <= count; ++i) {
    OCIParam* p = nullptr;
    Check(OCI.OCIParamGet(list, OCI_DTYPE_PARAM, err_, reinterpret_cast<dvoid**>(&p), i));
    AddAttribute(p, Prefix, false, Base, ValueOffset, NullOffset);
  }
}

TObjectAttribute* TOracleObject::AddAttribute(OCIParam* Param, const std::string& Prefix, bool Element,
                                              int Base, int& ValueOffset, int& NullOffset) {
  auto* a = static_cast<TObjectAttribute*>(attributes_->Add());
  a->object_ = this;
  sword s = OCI_SUCCESS;
  if (!Element) {
    a->name_ = ParamText(Param, OCI_ATTR_NAME, err_, s);
    Check(s);
    if (a->name_.size() > 30) a->name_.resize(30);
  }
  ub2 described = 0;
  Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &described, nullptr, OCI_ATTR_DATA_TYPE, err_));
  a->describedType_ = described;
  a->dataType_ = described;
  switch (described) {
    case SQLT_CHR:
    case SQLT_VCS:
    case SQLT_AFC:
      a->dataType_ = otString;
      break;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
      if (session_->Preferences()->TimestampAsString()) {
        a->dataType_ = otString;
        a->asString_ = true;
      }
      break;
    case kIntervalYM:
    case kIntervalDS:
      a->dataType_ = otString;
      a->asString_ = true;
      break;
    case SQLT_NTY:
    case SQLT_REF: {
      std::string type = ParamText(Param, OCI_ATTR_TYPE_NAME, err_, s);
      Check(s);
      std::string schema = ParamText(Param, OCI_ATTR_SCHEMA_NAME, err_, s);
      Check(s);
      a->typeName_ = schema + "." + type;
      Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &a->typeRef_, nullptr, OCI_ATTR_REF_TDO, err_));
      if (described == SQLT_NTY) {
        a->dataType_ = otObject;
        ub1 isFinal = 1;
        Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &isFinal, nullptr, OCI_ATTR_IS_FINAL_TYPE, err_));
        a->notFinal_ = !isFinal;
        ub2 code = 0;
        Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err_));
        a->objectTypeCode_ = code;
        a->isCollection_ = code == OCI_TYPECODE_NAMEDCOLLECTION;
      } else {
        a->dataType_ = otReference;
      }
      break;
    }
    case SQLT_NUM: {
      ub1 precision = 0;
      sb1 scale = 0;
      Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, err_));
      Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err_));
      a->precision_ = precision;
      a->scale_ = scale;
      a->dataType_ = scale <= 0 && precision <= 9 && !(precision == 0 && scale == 0) ? otInteger : otFloat;
      break;
    }
    default:
      break;
  }
  ub2 size = 0;
  Check(OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err_));
  a->dataSize_ = size;
  a->name_ = Prefix + a->name_;
  a->nullOffset_ = NullOffset;
  NullOffset += 2;
  int cell = a->dataType_ == otInteger || a->dataType_ == otFloat ? OCI_NUMBER_SIZE
             : a->dataType_ == otDate                             ? static_cast<int>(sizeof(OCIDate))
             : a->Embedded()                                      ? 0
                                                                  : kPointerSize;
  if (cell == kPointerSize) {
    // Aligned from the start of the (embedded) object the cell lies in.
    int misalign = (ValueOffset - Base) % kPointerSize;
    if (misalign != 0) {
      int aligned = ValueOffset + kPointerSize - misalign;
      // Embedded objects that began here begin where their first cell now lies.
      for (int i = 0; i < attributes_->Count(); ++i) {
        auto* other = static_cast<TObjectAttribute*>(attributes_->Items(i));
        if (other != a && other->valueOffset_ == ValueOffset && other->Embedded())
          other->valueOffset_ = aligned;
      }
      ValueOffset = aligned;
    }
  }
  a->valueOffset_ = ValueOffset;
  ValueOffset += cell;
  if (a->Embedded()) {
    OCIDescribe* dsc = nullptr;
    Check(OCI.OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<dvoid**>(&dsc),
                             OCI_HTYPE_DESCRIBE, 0, nullptr));
    describes_.push_back(dsc);
    std::string name = a->typeName_;
    Check(OCI.OCIDescribeAny(session_->ServiceContext(), err_, const_cast<char*>(name.c_str()),
                             static_cast<ub4>(name.size()), OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, dsc));
    OCIParam* typeParam = nullptr;
    Check(OCI.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &typeParam, nullptr, OCI_ATTR_PARAM, err_));
    DescribeAttributes(typeParam, a->name_ + ".", a->valueOffset_, ValueOffset, NullOffset);
  }
  return a;
}

int TOracleObject::AttrCount() {
  BuildAttributes();
  return attributes_->Count();
}

TObjectAttribute* TOracleObject::Attributes(int Index) {
  BuildAttributes();
  return static_cast<TObjectAttribute*>(attributes_->Items(Index));
}

TObjectAttribute* TOracleObject::FindAttribute(const std::string& Name, bool RaiseError) {
  BuildAttributes();
  for (int i = 0; i < attributes_->Count(); ++i) {
    auto* a = static_cast<TObjectAttribute*>(attributes_->Items(i));
    if (SameText(a->name_, Name)) return a;
  }
  if (RaiseError) throw Exception("Unknown attribute: " + Name);
  return nullptr;
}

uint8_t* TOracleObject::ValueAddress(TObjectAttribute* Attribute) const {
  uint8_t* cell = static_cast<uint8_t*>(instance_) + Attribute->valueOffset_;
  return cell;
}

sb2* TOracleObject::IndicatorAddress(TObjectAttribute* Attribute) {
  if (!null_) return nullptr;
  if (Attribute->notFinal_ && instance_) {
    void* embedded = ReadCell<void>(ValueAddress(Attribute));
    void* structure = nullptr;
    if (embedded && err_ &&
        OCI.OCIObjectGetInd(session_->EnvironmentHandle(), err_, embedded, &structure) == OCI_SUCCESS &&
        structure)
      return static_cast<sb2*>(structure);
  }
  return reinterpret_cast<sb2*>(static_cast<uint8_t*>(null_) + Attribute->nullOffset_);
}

TVariant TOracleObject::NumberValue(TObjectAttribute* Attribute, const OCINumber* Number) {
  int type = 0, size = 0;
  session_->NumberBuffer(Attribute->precision_, Attribute->scale_, false, type, size);
  if (type == otInteger) {
    int32_t value = 0;
    Check(OCI.OCINumberToInt(err_, Number, sizeof value, OCI_NUMBER_SIGNED, &value));
    return TVariant(value);
  }
  if (type == otFloat) {
    double value = 0;
    Check(OCI.OCINumberToReal(err_, Number, sizeof value, &value));
    return TVariant(value);
  }
  auto convert = [&](const std::string& model) {
    char buffer[128] = {};
    ub4 length = sizeof buffer - 1;
    Check(OCI.OCINumberToText(err_, Number, reinterpret_cast<const text*>(model.c_str()),
                              static_cast<ub4>(model.size()), nullptr, 0, &length,
                              reinterpret_cast<text*>(buffer)));
    return std::string(buffer, std::min<ub4>(length, sizeof buffer - 1));
  };
  std::string text = convert("FM" + Nines(38));
  int digits =
      static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }));
  if (digits < 38) text = convert("FM" + Nines(digits) + "D" + Nines(38 - digits));
  while (!text.empty() && !(text.back() >= '0' && text.back() <= '9')) text.pop_back();
  return TVariant(text);
}

TVariant TOracleObject::GetAttr(const std::string& Name) {
  CheckInstance();
  if (IsCollection()) AttributeTypeNotSupported(typeCode_);
  TObjectAttribute* a = FindAttribute(Name, true);
  sb2* ind = IndicatorAddress(a);
  if (!ind || *ind != 0) return NullVariant(session_);
  uint8_t* cell = ValueAddress(a);
  OCIEnv* env = session_->EnvironmentHandle();
  switch (a->dataType_) {
    case otInteger:
    case otFloat: {
      OCINumber number;
      std::memcpy(&number, cell, sizeof number);
      return NumberValue(a, &number);
    }
    case otString: {
      if (a->asString_) {
        // A timestamp or interval descriptor as text.
        char buffer[128] = {};
        ub4 length = sizeof buffer - 1;
        Check(OCI.OCIDateTimeToText(env, err_, ReadCell<OCIDateTime>(cell), nullptr, 0, 6, nullptr, 0,
                                    &length, reinterpret_cast<text*>(buffer)));
        return TVariant(std::string(buffer, std::min<ub4>(length, sizeof buffer - 1)));
      }
      OCIString* string = ReadCell<OCIString>(cell);
      const text* p = string ? OCI.OCIStringPtr(env, string) : nullptr;
      return TVariant(
          ExpandLineBreaks(p ? std::string(reinterpret_cast<const char*>(p)) : std::string(), session_));
    }
    case otDate: {
      OCIDate date;
      std::memcpy(&date, cell, sizeof date);
      return TVariant::FromDate(OCIDateToDateTime(date));
    }
    case SQLT_BIN: {
      OCIRaw* raw = ReadCell<OCIRaw>(cell);
      if (!raw) return TVariant(std::string());
      const ub1* bytes = OCI.OCIRawPtr(env, raw);
      ub4 size = OCI.OCIRawSize(env, raw);
      static const char digits[] = "0123456789ABCDEF";
      std::string hex;
      hex.reserve(size * 2);
      for (ub4 i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
      }
      return TVariant(hex);
    }
    case otCLOB:
    case otBLOB:
    case otBFile:
      return LOBVariant(LOBAttr(Name));
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ:
      return TVariant::FromDate(TimestampAttr(Name)->AsDateTime());
    case otObject:
    case otReference:
      return NullVariant(session_);
    default:
      AttributeTypeNotSupported(a->dataType_);
  }
}

// ---- Child objects ----------------------------------------------------------------------------------

TObjectAttribute* TOracleObject::ObjectAttribute(const std::string& Name) {
  TObjectAttribute* a = FindAttribute(Name, true);
  if (a->dataType_ != otObject) throw Exception("Attribute " + Name + " is not an object");
  return a;
}

TOracleObject* TOracleObject::ObjAttr(const std::string& Name) {
  CheckInstance();
  TObjectAttribute* a = ObjectAttribute(Name);
  return Cached(objects_, UpperCase(a->name_), [&] {
    std::unique_ptr<TOracleObject> child;
    if (a->typeName_ == "SYS.XMLTYPE")
      child = TXMLType::CreateForColumn(session_);
    else
      child = CreateForColumn(session_);
    child->parent_ = this;
    child->parentAttribute_ = a;
    child->monitorId_ = monitorId_;
    child->name_ = a->name_;
    uint8_t* cell = ValueAddress(a);
    void* instance = a->Embedded() ? static_cast<void*>(cell) : ReadCell<void>(cell);
    void* structure = nullptr;
    if (a->Embedded()) structure = static_cast<uint8_t*>(null_) + a->nullOffset_;
    if (!instance) {
      // An empty cell gets a new (null) instance of the attribute's type.
      child->Attach(nullptr, nullptr, a->typeName_, a->typeRef_);
      Check(OCI.OCIObjectNew(session_->EnvironmentHandle(), err_, session_->ServiceContext(),
                             static_cast<OCITypeCode>(child->typeCode_), child->tdo_, nullptr,
                             OCI_DURATION_SESSION, 1, &instance));
      WriteCell(cell, instance);
      Check(OCI.OCIObjectGetInd(session_->EnvironmentHandle(), err_, instance, &structure));
      if (structure) *static_cast<sb2*>(structure) = -1;
    }
    if (!a->Embedded() && !a->notFinal_ && !a->isCollection_ && !structure)
      Check(OCI.OCIObjectGetInd(session_->EnvironmentHandle(), err_, instance, &structure));
    if (a->isCollection_) structure = static_cast<uint8_t*>(null_) + a->nullOffset_;
    child->Attach(instance, structure, a->typeName_, a->typeRef_);
    return child;
  });
}

TXMLType* TOracleObject::XMLAttr(const std::string& Name) {
  TOracleObject* o = ObjAttr(Name);
  auto* xml = dynamic_cast<TXMLType*>(o);
  if (!xml) throw Exception("Attribute " + Name + " is not an object");
  return xml;
}

TLOBLocator* TOracleObject::LOBAttr(const std::string& Name) {
  CheckInstance();
  TObjectAttribute* a = FindAttribute(Name, true);
  if (!IsLOBType(a->dataType_)) AttributeTypeNotSupported(a->dataType_);
  return Cached(lobs_, UpperCase(a->name_), [&] {
    auto lob = std::make_unique<TLOBLocator>(session_, a->dataType_);
    lob->SetName(a->name_);
    lob->SetMonitorId(monitorId_);
    lob->PointAt(reinterpret_cast<OCILobLocator**>(ValueAddress(a)));
    lob->SetIndicator(IndicatorAddress(a));
    lob->SetOwner(this, a);
    return lob;
  });
}

TOracleReference* TOracleObject::RefAttr(const std::string& Name) {
  CheckInstance();
  TObjectAttribute* a = FindAttribute(Name, true);
  if (a->dataType_ != otReference) AttributeTypeNotSupported(a->dataType_);
  return Cached(references_, UpperCase(a->name_), [&] {
    auto ref = std::make_unique<TOracleReference>(session_, a->name_, monitorId_, a->typeName_, a->typeRef_);
    ref->PointAt(reinterpret_cast<OCIRef**>(ValueAddress(a)));
    ref->SetIndicator(IndicatorAddress(a));
    ref->SetOwner(this, a);
    return ref;
  });
}

TOracleTimestamp* TOracleObject::TimestampAttr(const std::string& Name) {
  CheckInstance();
  TObjectAttribute* a = FindAttribute(Name, true);
  if (!IsTimestampType(a->describedType_) || a->asString_) AttributeTypeNotSupported(a->dataType_);
  return Cached(timestamps_, UpperCase(a->name_), [&] {
    auto ts = std::make_unique<TOracleTimestamp>(session_, a->describedType_);
    uint8_t* cell = ValueAddress(a);
    OCIDateTime* descriptor = ReadCell<OCIDateTime>(cell);
    if (!descriptor) {
      // An empty cell gets a descriptor the instance keeps.
      if (OCI.OCIDescriptorAlloc(session_->EnvironmentHandle(), reinterpret_cast<dvoid**>(&descriptor),
                                 TimestampDescriptorType(a->describedType_), 0, nullptr) != OCI_SUCCESS)
        throw Exception(kInvalidHandle);
      WriteCell(cell, descriptor);
    }
    sb2* ind = IndicatorAddress(a);
    ts->Attach(descriptor, false, !ind || *ind != 0, a->describedType_);
    ts->SetIndicator(ind);
    ts->SetOwner(this, a);
    return ts;
  });
}

// ---- Changes ----------------------------------------------------------------------------------------

void TOracleObject::AttributeChanged(TObjectAttribute* Attribute) {
  MarkUpdate(true);
  if (Attribute && null_) {
    const std::string& name = Attribute->name_;
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1)) {
      if (TObjectAttribute* enclosing = FindAttribute(name.substr(0, dot), false))
        if (sb2* ind = IndicatorAddress(enclosing)) *ind = 0;
    }
  }
  if (null_) *static_cast<sb2*>(null_) = 0;
  if (parent_) parent_->AttributeChanged(parentAttribute_);
}

void TOracleObject::MarkUpdate(bool Update) {
  CheckInstance();
  if (Persistent()) {
    OCIEnv* env = session_->EnvironmentHandle();
    Check(Update ? OCI.OCIObjectMarkUpdate(env, err_, instance_) : OCI.OCIObjectUnmark(env, err_, instance_));
    if (parent_) parent_->MarkUpdate(Update);
  } else if (parent_) {
    parent_->MarkUpdate(Update);
  }
}

TOracleQuery* TOracleObject::InternalQuery() {
  if (!query_) {
    query_ = std::make_unique<TOracleQuery>(nullptr);
    query_->SetName("Query");
    query_->SetSession(session_);
  }
  return query_.get();
}

// ---- TXMLType ---------------------------------------------------------------------------------------

std::unique_ptr<TXMLType> TXMLType::CreateForColumn(TOracleSession* Session) {
  return std::unique_ptr<TXMLType>(new TXMLType(Session, TForColumn{}));
}

std::string TXMLType::GetXMLData() {
  if (IsNull()) return {};
  CheckInstance();
  std::unique_ptr<TLOBLocator> lob(TLOBLocator::CreateTemporary(session_, true, otCLOB));
  lob->SetName("XMLData");
  TOracleQuery* q = InternalQuery();
  q->Clear();
  q->DeclareVariable("rvl_object", otObject);
  q->SetComplexVariable("rvl_object", this);
  q->DeclareVariable("xmldata", otCLOB);
  q->SetComplexVariable("xmldata", lob.get());
  for (const char* line :
       {"declare", "  rvl_object sys.xmltype;", "  xmldata clob;", "begin", "  rvl_object := :rvl_object;",
        "  xmldata := rvl_object.getclobval();", "  sys.dbms_lob.trim(:xmldata, 0);",
        "  sys.dbms_lob.append(:xmldata, xmldata);", "end;"})
    q->SQL()->Add(line);
  q->Execute();
  q->Close();
  std::string text = lob->AsString();
  q->Clear();
  return text;
}
