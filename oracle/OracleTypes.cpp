// Variables and field buffers of the queries.
#include "oracle/OracleTypes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oracle/Oracle.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/db/DB.h"

namespace {

uint8_t* AllocateZeroed(size_t Bytes) {
  void* p = std::calloc(Bytes == 0 ? 1 : Bytes, 1);
  if (!p) throw std::bad_alloc();
  return static_cast<uint8_t*>(p);
}

bool IsTextType(int Type) {
  return Type == otSubst || Type == otString || Type == otPLSQLString || Type == otChar;
}

bool ConvertsLineBreaks(TOracleSession* Session) {
  return !Session || Session->Preferences()->ConvertCRLF();
}

bool ZeroDateIsNull(TOracleSession* Session) {
  return !Session || Session->Preferences()->ZeroDateIsNull();
}

// A string variant as a date-time by the platform's text conversion, any other by the variant's.
TDateTime VariantDateTime(const TVariant& Value) {
  if (VarIsStr(Value)) return StrToDateTime(Value.AsString());
  return Value.AsDateTime();
}

bool IsReferenceVariant(const TVariant& Value) {
  return VarIsOrdinal(Value) || Value.VarType() == varObject;
}

}  // namespace

// ---- Type codes -------------------------------------------------------------------------------------

bool IsLOBType(int TypeCode) {
  return TypeCode == otCLOB || TypeCode == otBLOB || TypeCode == otBFile;
}

bool IsTimestampType(int TypeCode) {
  return TypeCode == otTimestamp || TypeCode == otTimestampTZ || TypeCode == otTimestampLTZ;
}

bool IsComplexType(int TypeCode) {
  return IsLOBType(TypeCode) || IsTimestampType(TypeCode) || TypeCode == otObject ||
         TypeCode == otReference || TypeCode == otCursor;
}

int VariableElementSize(int TypeCode) {
  switch (TypeCode) {
    case otSubst:
    case otLong:
    case otLongRaw:
      return 0;
    case otInteger:
      return 4;
    case otFloat:
      return 8;
    case otString:
    case otChar:
      return 4001;
    case otPLSQLString:
      return MaxPLSQLStringChars + 1;
    case otDate:
      return 7;
    default:
      return IsComplexType(TypeCode) ? 0 : -1;
  }
}

int VariableBindType(int TypeCode, bool HandleMode) {
  if (TypeCode == otPLSQLString) return otString;
  if (TypeCode == otCursor && !HandleMode) return SQLT_CUR;
  return TypeCode;
}

// ---- Text helpers -----------------------------------------------------------------------------------

std::string RemoveCarriageReturns(const std::string& Text, TOracleSession* Session) {
  if (!ConvertsLineBreaks(Session) || Text.find('\r') == std::string::npos) return Text;
  std::string result;
  result.reserve(Text.size());
  for (char c : Text)
    if (c != '\r') result += c;
  return result;
}

std::string ExpandLineBreaks(const std::string& Text, TOracleSession* Session) {
  if (!ConvertsLineBreaks(Session) ||
      (Text.find('\n') == std::string::npos && Text.find('\r') == std::string::npos))
    return Text;
  return AdjustLineBreaks(Text);
}

// ---- TVariableData ----------------------------------------------------------------------------------

TVariableData::TVariableData(TCollection* Collection) : TCollectionItem(Collection) {}

TVariableData::~TVariableData() {
  ReleaseBuffer();
  std::free(indicators);
}

void TVariableData::ReleaseBuffer() {
  if (ownsBuffer) std::free(buffer);
  buffer = nullptr;
  elementSize = 0;
}

void TVariableData::AllocateIndicators(int Count) {
  auto* fresh = static_cast<sb2*>(std::malloc(sizeof(sb2) * static_cast<size_t>(std::max(Count, 1))));
  if (!fresh) throw std::bad_alloc();
  std::memset(fresh, 0xFF, sizeof(sb2) * static_cast<size_t>(std::max(Count, 1)));
  std::free(indicators);
  indicators = fresh;
}

void TVariableData::SetArraySize(int Count, int StringSize, TOracleSession* Session) {
  if (Count < 1) Count = 1;
  if (Count == elementCount && (StringSize < 1 || elementSize == StringSize + 1)) return;
  AllocateIndicators(Count);
  if (ownsBuffer && buffer) {
    int maxChars = Session ? Session->MaxStringChars() : 2000;
    std::free(buffer);
    buffer = nullptr;
    if ((varType == otString || varType == otChar) && elementSize > maxChars + 1) elementSize = maxChars + 1;
    if (StringSize > 0) elementSize = StringSize + 1;
    buffer = AllocateZeroed(static_cast<size_t>(elementSize) * static_cast<size_t>(Count));
  }
  elementCount = Count;
}

void TVariableData::StoreValue(int Index, const TVariant& Value, TOracleSession* Session) {
  if (Index < 0 || Index >= elementCount) throw EListError("Variable index out of bounds");
  if (Value.IsNull() || Value.IsEmpty()) {
    indicators[Index] = -1;
    if (isComplex) objectReference = nullptr;
    return;
  }
  if (IsTimestampType(varType)) {
    objectReference = nullptr;
    timestampValue = 0;
    if (IsReferenceVariant(Value)) {
      objectReference = Value.AsObject();
      indicators[0] = objectReference ? 0 : -1;
      return;
    }
    timestampValue = VariantDateTime(Value);
    indicators[Index] = (timestampValue == 0 && ZeroDateIsNull(Session)) ? -1 : 0;
    return;
  }
  switch (varType) {
    case otDate: {
      TDateTime dt = VariantDateTime(Value);
      if (dt == 0 && ZeroDateIsNull(Session)) {
        indicators[Index] = -1;
        return;
      }
      DateTimeToOracleDate(Element(Index), dt);
      indicators[Index] = 0;
      return;
    }
    case otLongRaw: {
      std::string bytes;
      if (VarIsStr(Value)) {
        bytes = Value.AsString();
      } else if (Value.VarType() == (varArray | varByte) && VarArrayDimCount(Value) == 1) {
        bytes = Value.Bytes();
      } else if (Value.IsArray() && VarArrayDimCount(Value) == 1) {
        for (int i = Value.LowBound(); i <= Value.HighBound(); ++i)
          bytes += static_cast<char>(Value.GetElement(i).AsInteger());
      } else {
        throw Exception("Only one-dimensional array of bytes allowed for " + name);
      }
      ReleaseBuffer();
      ownsBuffer = true;
      buffer = AllocateZeroed(bytes.size() + 1);
      std::memcpy(buffer, bytes.data(), bytes.size());
      dataLength = static_cast<int32_t>(bytes.size());
      // The bind passes the element size as the value size: it is the value's length.
      elementSize = dataLength;
      indicators[0] = 0;
      return;
    }
    case otSubst:
    case otLong: {
      ReleaseBuffer();
      std::string text = RemoveCarriageReturns(Value.AsString(), Session);
      ownsBuffer = true;
      buffer = AllocateZeroed(text.size() + 1);
      std::memcpy(buffer, text.data(), text.size());
      dataLength = static_cast<int32_t>(text.size());
      if (varType == otLong) elementSize = dataLength;
      indicators[0] = 0;
      return;
    }
    case otInteger: {
      int32_t v = Value.AsInteger();
      std::memcpy(Element(Index), &v, sizeof v);
      indicators[Index] = 0;
      return;
    }
    case otFloat: {
      double v = Value.AsDouble();
      std::memcpy(Element(Index), &v, sizeof v);
      indicators[Index] = 0;
      return;
    }
    case otString:
    case otPLSQLString:
    case otChar: {
      std::string text = RemoveCarriageReturns(Value.AsString(), Session);
      size_t n = std::min(text.size(), static_cast<size_t>(std::max(elementSize - 1, 0)));
      // A text longer than the element loses whole characters only.
      if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      uint8_t* cell = Element(Index);
      std::memcpy(cell, text.data(), n);
      cell[n] = 0;
      indicators[Index] = 0;
      return;
    }
    default:
      break;
  }
  if (isComplex) {
    if (!IsReferenceVariant(Value)) throw Exception("Pass LongInt(Object) to complex variable " + name);
    objectReference = Value.AsObject();
    indicators[0] = objectReference ? 0 : -1;
    return;
  }
  throw Exception("Unsupported variable type for " + name);
}

TVariant TVariableData::ElementValue(int Index, TOracleSession* Session) const {
  TVariant v;
  if (isComplex) return TVariant::FromObject(objectReference);
  if (!buffer) return v;
  switch (varType) {
    case otSubst:
    case otLong:
    case otLongRaw:
      OracleValueToVariant(buffer, varType, dataLength, v, Session);
      break;
    default:
      OracleValueToVariant(Element(Index), varType, elementSize, v, Session);
      break;
  }
  return v;
}

int TVariableData::StoredValueLength() const {
  if (IsNull() || (!buffer && !isComplex)) return 0;
  if (isComplex) return 0;
  if (varType == otSubst) return dataLength + 1;
  if (IsTextType(varType)) {
    size_t n = strnlen(reinterpret_cast<const char*>(buffer), static_cast<size_t>(elementSize));
    return static_cast<int>(std::min<size_t>(n + 1, static_cast<size_t>(elementSize)));
  }
  return elementSize;
}

// ---- TVariables -------------------------------------------------------------------------------------

TVariables::TVariables(TOracleQuery* Query)
    : query_(Query), items_(std::make_unique<TCollection>(CollectionItemClass<TVariableData>)) {}

TVariables::~TVariables() = default;

TVariableData* TVariables::Find(const std::string& Name) const {
  int i = IndexOf(Name);
  return i < 0 ? nullptr : Items(i);
}

int TVariables::IndexOf(const std::string& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->name == Name) return i;
  return -1;
}

void TVariables::Assign(TPersistent* Source) {
  auto* params = dynamic_cast<TParams*>(Source);
  if (!params) {
    TPersistent::Assign(Source);
    return;
  }
  items_->Clear();
  for (int i = 0; i < params->Count(); ++i) {
    TParam* p = params->Items(i);
    auto* v = static_cast<TVariableData*>(items_->Add());
    v->name = ":" + p->Name();
    v->elementCount = 0;
    v->SetArraySize(1, -1, nullptr);
    switch (p->Value().VarType()) {
      case varSmallint:
      case varInteger:
      case varBoolean:
      case varByte:
        v->varType = otInteger;
        break;
      case varSingle:
      case varDouble:
      case varCurrency:
        v->varType = otFloat;
        break;
      case varDate:
        v->varType = otDate;
        break;
      case varString:
      case varOleStr:
        v->varType = otString;
        break;
      default:
        items_->Delete(v->Index());
        throw Exception("Unsupported variable type");
    }
    v->elementSize = VariableElementSize(v->varType);
    v->buffer = AllocateZeroed(static_cast<size_t>(v->elementSize));
    v->isComplex = false;
    v->ownsBuffer = true;
    v->StoreValue(0, p->Value(), nullptr);
  }
  if (query_) query_->ForgetParsedText();
}

void TVariables::AssignTo(TPersistent* Dest) {
  if (auto* params = dynamic_cast<TParams*>(Dest)) {
    params->Clear();
    for (int i = 0; i < Count(); ++i) {
      TVariableData* v = Items(i);
      TParam* p = params->CreateParam(ftUnknown, v->name.substr(v->name[0] == ':' ? 1 : 0), ptUnknown);
      p->SetValue(v->IsNull() ? TVariant() : v->ElementValue(0, nullptr));
    }
    return;
  }
  auto* target = dynamic_cast<TVariables*>(Dest);
  if (!target) {
    TPersistent::AssignTo(Dest);
    return;
  }
  if (target == this) return;
  if (!query_ || !target->query_) throw EConvertError("Can only Assign TVariables owned by a TOracleQuery");
  TOracleQuery* dest = target->query_;
  dest->DeleteVariables();
  for (int i = 0; i < Count(); ++i) {
    TVariableData* v = Items(i);
    dest->DeclareVariable(v->name, v->varType);
    if (v->isPLSQLTable) {
      dest->DimPLSQLTable(v->name, v->elementCount, v->varType == otString ? v->elementSize - 1 : 0);
      TVariableData* d = target->Find(v->name);
      // The entries and their values come along.
      if (d && d->buffer && v->buffer && d->elementSize == v->elementSize) {
        std::memcpy(d->buffer, v->buffer, static_cast<size_t>(v->elementSize) * v->elementCount);
        std::memcpy(d->indicators, v->indicators, sizeof(sb2) * static_cast<size_t>(v->elementCount));
        d->tableEntries = v->tableEntries;
      }
    } else {
      dest->SetVariable(v->name, query_->GetVariable(v->name));
    }
  }
}

void TVariables::DefineProperties(TFiler* Filer) {
  bool hasData;
  if (auto* ancestor = dynamic_cast<TVariables*>(Filer->Ancestor()))
    hasData = Differs(ancestor);
  else
    hasData = Count() > 0;
  Filer->DefineBinaryProperty(
      "Data", [this](TStream* s) { ReadData(s); }, [this](TStream* s) { WriteData(s); }, hasData);
}

bool TVariables::Differs(const TVariables* Other) const {
  if (Count() != Other->Count()) return true;
  for (int i = 0; i < Count(); ++i) {
    const TVariableData* a = Items(i);
    const TVariableData* b = Other->Items(i);
    if (a->name != b->name || a->varType != b->varType) return true;
    if (a->IsNull() != b->IsNull()) return true;
    if (a->isPLSQLTable != b->isPLSQLTable) return true;
    if (a->isPLSQLTable && (a->elementCount != b->elementCount || a->elementSize != b->elementSize))
      return true;
    if (!a->IsNull()) {
      int n = a->StoredValueLength();
      if (n != b->StoredValueLength()) return true;
      if (n > 0 && std::memcmp(a->buffer, b->buffer, static_cast<size_t>(n)) != 0) return true;
    }
  }
  return false;
}

namespace {

void WriteInt32(TStream* Stream, int32_t Value) {
  uint8_t b[4] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                  static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  Stream->WriteBuffer(b, 4);
}

// Reads the "Data" stream from its bytes, checking every length against what is left.
class TDataReader {
 public:
  explicit TDataReader(std::string Bytes) : bytes_(std::move(Bytes)) {}
  int32_t Int32() {
    Need(4);
    auto* b = reinterpret_cast<const uint8_t*>(bytes_.data() + pos_);
    pos_ += 4;
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
  }
  std::string Bytes(int32_t Count) {
    if (Count < 0) Corrupt();
    Need(static_cast<size_t>(Count));
    std::string s = bytes_.substr(pos_, static_cast<size_t>(Count));
    pos_ += static_cast<size_t>(Count);
    return s;
  }
  [[noreturn]] static void Corrupt() { throw EReadError("Corrupt data of Query variables"); }

 private:
  void Need(size_t Count) {
    if (Count > bytes_.size() - pos_) Corrupt();
  }
  std::string bytes_;
  size_t pos_ = 0;
};

struct TStoredVariable {
  std::string name;
  int type = 0;
  bool hasValue = false;
  std::string value;
  bool table = false;
  int tableSize = 0;
  int stringSize = 0;
};

}  // namespace

void TVariables::ReadData(TStream* Stream) {
  std::string all;
  int64_t left = Stream->Size() - Stream->Position();
  if (left > 0) {
    all.resize(static_cast<size_t>(left));
    Stream->ReadBuffer(all.data(), left);
  }
  TDataReader r(std::move(all));
  int version = r.Int32();
  if (version > DataVersion()) throw Exception("Invalid version of Query variables");
  if (version < 1) TDataReader::Corrupt();
  int count = r.Int32();
  if (count < 0) TDataReader::Corrupt();
  // Everything is read and checked before the query's variables change.
  std::vector<TStoredVariable> stored;
  for (int i = 0; i < count; ++i) {
    TStoredVariable v;
    v.name = r.Bytes(r.Int32());
    v.type = r.Int32();
    int declaredSize = VariableElementSize(v.type);
    if (declaredSize < 0 || v.name.empty()) TDataReader::Corrupt();
    if (version >= 2) {
      int32_t length = r.Int32();
      // A value never exceeds the area its declaration allocates (types allocated by their value
      // take any length the stream holds).
      if (length < 0 || (declaredSize > 0 && length > declaredSize) || (IsComplexType(v.type) && length > 0))
        TDataReader::Corrupt();
      v.value = r.Bytes(length);
      v.hasValue = length > 0;
    }
    if (version >= 3) {
      int32_t flag = r.Int32();
      if (flag != 0 && flag != 1) TDataReader::Corrupt();
      v.table = flag == 1;
      if (v.table) {
        v.tableSize = r.Int32();
        v.stringSize = r.Int32();
        if (v.tableSize < 1 || v.tableSize > 65535 || v.stringSize < 0 || v.stringSize > MaxPLSQLStringChars)
          TDataReader::Corrupt();
      }
    }
    stored.push_back(std::move(v));
  }
  query_->DeleteVariables();
  for (auto& v : stored) {
    query_->DeclareVariable(v.name, v.type);
    TVariableData* d = Items(Count() - 1);
    if (v.hasValue) {
      size_t n = v.value.size();
      if (!d->buffer) {
        d->buffer = AllocateZeroed(n + 1);
        d->ownsBuffer = true;
        d->elementSize = static_cast<int32_t>(n);
        d->dataLength = static_cast<int32_t>(n);
      }
      std::memcpy(d->buffer, v.value.data(), n);
      if (IsTextType(d->varType) && d->varType != otSubst && d->elementSize > 0)
        d->buffer[std::min<size_t>(n, static_cast<size_t>(d->elementSize - 1))] = 0;
      if (d->varType == otSubst && n > 0)
        d->dataLength = static_cast<int32_t>(strnlen(reinterpret_cast<const char*>(d->buffer), n));
      d->indicators[0] = 0;
    }
    if (v.table) query_->DimPLSQLTable(d->name, v.tableSize, v.stringSize);
  }
}

void TVariables::WriteData(TStream* Stream) const {
  WriteInt32(Stream, DataVersion());
  WriteInt32(Stream, Count());
  for (int i = 0; i < Count(); ++i) {
    const TVariableData* v = Items(i);
    WriteInt32(Stream, static_cast<int32_t>(v->name.size()));
    Stream->WriteBuffer(v->name.data(), static_cast<int64_t>(v->name.size()));
    WriteInt32(Stream, v->varType);
    int n = v->StoredValueLength();
    WriteInt32(Stream, n);
    if (n > 0) Stream->WriteBuffer(v->buffer, n);
    WriteInt32(Stream, v->isPLSQLTable ? 1 : 0);
    if (v->isPLSQLTable) {
      WriteInt32(Stream, v->elementCount);
      WriteInt32(Stream, IsTextType(v->varType) ? v->elementSize - 1 : 0);
    }
  }
}

std::string VariableDisplayText(TVariableData* Variable, TOracleQuery* Query) {
  if (Variable->isPLSQLTable) return "(PL/SQL Table)";
  if (Variable->elementCount > 1) return "(Array)";
  switch (Variable->varType) {
    case otBLOB:
      return "(BLOB)";
    case otBFile:
      return "(BFile)";
    case otCursor:
      return "(Cursor)";
    case otCLOB:
      return "(CLOB)";
    case otLong:
      return "(Long)";
    case otLongRaw:
      return "(Long Raw)";
    case otObject:
      return "(Object)";
    case otReference:
      return "(Reference)";
    default:
      break;
  }
  TVariant v = Query->GetVariable(Variable->name);
  if (v.IsNull() || v.IsEmpty()) return "Null";
  return VarToStr(v);
}

// ---- Columns ----------------------------------------------------------------------------------------

TLongPiece::~TLongPiece() {
  std::free(buffer);
}

void TLongPiece::Allocate(int Size) {
  std::free(buffer);
  buffer = nullptr;
  allocatedSize = Size;
  if (Size >= 1) buffer = AllocateZeroed(static_cast<size_t>(Size));
}

TFieldData::~TFieldData() {
  columnObject.reset();
  if (buffer && OCI.OCIDescriptorFree) {
    ub4 descriptorType = 0;
    switch (fetchType) {
      case otCLOB:
      case otBLOB:
        descriptorType = OCI_DTYPE_LOB;
        break;
      case otBFile:
        descriptorType = OCI_DTYPE_FILE;
        break;
      case otTimestamp:
      case otTimestampTZ:
      case otTimestampLTZ:
        descriptorType = TimestampDescriptorType(fetchType);
        break;
      default:
        break;
    }
    bool handles = descriptorType != 0 || fetchType == otCursor;
    for (int row = 0; handles && rowSize >= static_cast<int>(sizeof(void*)) && row < rowCount; ++row) {
      void* handle = nullptr;
      std::memcpy(&handle, Cell(row), sizeof handle);
      if (!handle) continue;
      if (descriptorType != 0)
        OCI.OCIDescriptorFree(handle, descriptorType);
      else if (fetchType == otCursor && OCI.OCIHandleFree)
        OCI.OCIHandleFree(handle, OCI_HTYPE_STMT);
    }
  }
  if (typeDescriptor && OCI.OCIObjectUnpin) OCI.OCIObjectUnpin(environment, errorHandle, typeDescriptor);
  if (typeReference && OCI.OCIObjectFree) OCI.OCIObjectFree(environment, errorHandle, typeReference, 0);
  FreeObjects();
  // Object and REF columns have an error handle of their own.
  if (errorHandle && OCI.OCIHandleFree) OCI.OCIHandleFree(errorHandle, OCI_HTYPE_ERROR);
  std::free(buffer);
  std::free(indicators);
  std::free(lengths);
  std::free(nullStructures);
}

void TFieldData::SetObjectInfo(OCIType* TypeDescriptor, OCIRef* TypeReference, OCIEnv* Environment,
                               OCIError* ErrorHandle) {
  typeDescriptor = TypeDescriptor;
  typeReference = TypeReference;
  environment = Environment;
  errorHandle = ErrorHandle;
}

void TFieldData::FreeObjects() {
  if ((fetchType != otObject && fetchType != otReference) || !buffer ||
      rowSize < static_cast<int>(sizeof(void*)))
    return;
  for (int row = 0; row < rowCount; ++row) {
    void* instance = nullptr;
    std::memcpy(&instance, Cell(row), sizeof instance);
    if (instance && OCI.OCIObjectFree) OCI.OCIObjectFree(environment, errorHandle, instance, 0);
  }
  std::memset(buffer, 0, static_cast<size_t>(rowSize) * static_cast<size_t>(rowCount));
  if (nullStructures) std::memset(nullStructures, 0, sizeof(void*) * static_cast<size_t>(rowCount));
}

int TFieldData::LongLength() const {
  if (!pieces) return 0;
  int64_t n = 0;
  for (int i = 0; i < pieces->Count(); ++i) n += static_cast<TLongPiece*>(pieces->Items(i))->returnedLength;
  return static_cast<int>(std::min<int64_t>(n, std::numeric_limits<int>::max()));
}

void TFieldData::AllocateRows(int Rows) {
  std::free(buffer);
  std::free(indicators);
  std::free(lengths);
  buffer = nullptr;
  rowCount = Rows;
  if (rowSize >= 1) buffer = AllocateZeroed(static_cast<size_t>(rowSize) * static_cast<size_t>(Rows));
  indicators = reinterpret_cast<sb2*>(AllocateZeroed(sizeof(sb2) * static_cast<size_t>(Rows)));
  lengths = reinterpret_cast<ub2*>(AllocateZeroed(sizeof(ub2) * static_cast<size_t>(Rows)));
}

void TFieldData::ResetPieces() {
  if (!pieces)
    pieces = std::make_unique<TCollection>(CollectionItemClass<TLongPiece>);
  else
    pieces->Clear();
}

sb4 LongPieceCallback(dvoid* Context, OCIDefine* /*Define*/, ub4 Iteration, dvoid** Buffer, ub4** Length,
                      ub1* /*Piece*/, dvoid** Indicator, ub2** ReturnCode) {
  auto* field = static_cast<TFieldData*>(Context);
  if (!field->pieces) field->ResetPieces();
  int size = 4096;
  int count = field->pieces->Count();
  if (count > 0) {
    int previous = static_cast<TLongPiece*>(field->pieces->Items(count - 1))->allocatedSize;
    size = previous < 32768 ? previous * 2 : previous;
  }
  auto* piece = static_cast<TLongPiece*>(field->pieces->Add());
  piece->Allocate(size);
  // The client learns the room of the piece from its length.
  piece->returnedLength = static_cast<ub4>(size);
  *Buffer = piece->buffer;
  *Length = &piece->returnedLength;
  int row = field->rowCount > 0
                ? static_cast<int>(std::min<ub4>(Iteration, static_cast<ub4>(field->rowCount - 1)))
                : 0;
  *Indicator = field->indicators ? &field->indicators[row] : nullptr;
  *ReturnCode = nullptr;
  return OCI_CONTINUE;
}
