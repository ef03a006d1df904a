// The Oracle dataset's object columns: the attribute entries and field definitions of an object
// column, and reading attribute, XMLTYPE, REF and BFILE values into records. Also the field type
// each Oracle type gets, and the slot writers the fetch shares.
#include <algorithm>
#include <cstring>

#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
bool IsDateTimeType(int OracleType) {
  return OracleType == otDate || OracleType == otTimestamp || OracleType == otTimestampTZ ||
         OracleType == otTimestampLTZ;
}

bool IsXMLTypeName(const std::string& TypeName) {
  return SameText(TypeName, "SYS.XMLTYPE");
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// Slot writers

void oracle_data::PutSlotInteger(uint8_t* Slot, int32_t Value) {
  std::memcpy(Slot + 1, &Value, sizeof Value);
  Slot[0] = 0;
}

void oracle_data::PutSlotFloat(uint8_t* Slot, double Value) {
  std::memcpy(Slot + 1, &Value, sizeof Value);
  Slot[0] = 0;
}

void oracle_data::PutSlotDateTime(uint8_t* Slot, double Value) {
  const double ms = TimeStampToMSecs(DateTimeToTimeStamp(Value));
  std::memcpy(Slot + 1, &ms, sizeof ms);
  Slot[0] = 0;
}

void oracle_data::PutSlotText(uint8_t* Slot, int Size, int Chars, std::string_view Text) {
  if (Text.empty() || Size <= 0) return;
  size_t n = Text.size();
  // A text of no more bytes than the field has characters fits whatever its characters are.
  if (n > static_cast<size_t>(std::max(Chars, 0))) n = Utf8Offset(Text, Chars);
  if (n > static_cast<size_t>(Size - 1)) {
    n = static_cast<size_t>(Size - 1);
    // Never split a character: step back over continuation bytes.
    while (n > 0 && (static_cast<unsigned char>(Text[n]) & 0xC0) == 0x80) --n;
  }
  if (n == 0) return;
  std::memcpy(Slot + 1, Text.data(), n);
  // Readers take the text up to its first zero byte: one ends it, the rest of the slot is never read
  // (a wide slot would otherwise cost a write of its whole width for every row fetched).
  Slot[1 + n] = 0;
  Slot[0] = 0;
}

// ---------------------------------------------------------------------------------------------------
// Field definitions

void TOracleDataSet::AddFieldDefFor(TOracleFieldInfo* Info) {
  TSessionPreferences* prefs = Session() ? Session()->Preferences() : nullptr;
  TFieldType type = ftUnknown;
  int size = 0;
  switch (Info->OracleType) {
    case otInteger: {
      int p = prefs ? prefs->SmallIntPrecision() : -1;
      if (p == 0) p = 4;
      type = (p > 0 && Info->Precision <= p) ? ftSmallint : ftInteger;
      break;
    }
    case otFloat:
      type = ftFloat;
      break;
    case otString: {
      const int max = prefs ? prefs->MaxStringFieldSize() : 0;
      if (max != 0 && max < Info->Size) {
        type = ftMemo;
      } else {
        type = ftString;
        size = std::max(Info->Size, 1);
      }
      break;
    }
    case otLong:
      type = ftMemo;
      break;
    case otLongRaw:
      type = ftBlob;
      break;
    case otReference:
      type = ftString;
      size = 256;
      break;
    case otCLOB:
      type = ftOraClob;
      break;
    case otBLOB:
    case otBFile:
      type = ftOraBlob;
      break;
    default:
      if (IsDateTimeType(Info->OracleType)) type = ftDateTime;
      break;
  }
  if (type == ftUnknown) return;
  TFieldDef* def = FieldDefs()->Add(Info->Name, type, size, dictionary_.RequiredFields() && Info->Required);
  def->SetFieldNo(fieldInfo_.Count() - 1);
}

void TOracleDataSet::AddObjectAttributes(TOracleFieldInfo* Column) {
  // The type is described through a (transient, null) object of it.
  TOracleObject type(Session(), Column->TypeName);
  Column->IsCollection = type.IsCollection();
  if (Column->IsCollection) return;
  for (int i = 0; i < type.AttrCount(); ++i) {
    TObjectAttribute* a = type.Attributes(i);
    TOracleFieldInfo* info = fieldInfo_.Add(Column->Name + "." + a->Name());
    info->Kind = 2;
    info->ColumnName = Column->ColumnName;
    info->AttributeName = a->Name();
    info->OracleType = a->DataType();
    info->TypeName = a->TypeName();
    info->Size = a->DataSize();
    info->Scale = a->Scale();
    info->Precision = a->Precision();
    info->ColumnIndex = Column->ColumnIndex;
    info->AttributeIndex = i;
    info->IsCollection = a->IsCollection();
    if (IsXMLTypeName(info->TypeName)) {
      info->OracleType = otCLOB;
      info->IsXMLType = true;
    }
    if (info->OracleType != otObject) AddFieldDefFor(info);
  }
}

// ---------------------------------------------------------------------------------------------------
// Reading values

std::string TOracleDataSet::ReadComplexColumn(TOracleFieldInfo* Info) {
  TOracleQuery* q = cursorQuery_;
  if (Info->IsXMLType) return q->XMLField(Info->ColumnIndex)->GetXMLData();
  TLOBLocator* lob = q->LOBField(Info->ColumnIndex);
  return lob->IsNull() ? std::string() : lob->AsString();
}

void TOracleDataSet::ReadAttribute(TField* Field, TOracleFieldInfo* Info, uint8_t* Record, bool Trim) {
  uint8_t* slot = Record + HeaderSize + Field->Offset();
  slot[0] = 1;
  TOracleBlob* blob = Field->IsBlob() ? EnsureBlobList(Record)->Add(Field) : nullptr;
  TOracleQuery* q = cursorQuery_;
  if (q->FieldIsNull(Info->ColumnIndex)) return;
  TOracleObject* object = q->ObjField(Info->ColumnIndex);
  TObjectAttribute* attribute = object->FindAttribute(Info->AttributeName, false);
  if (!attribute || attribute->IsNull()) return;
  // An attribute of a null embedded object is null whatever its own indicator says.
  for (const TOracleFieldInfo* p = Info->Parent; p && p->Kind == 2; p = p->Parent)
    if (TObjectAttribute* outer = object->FindAttribute(p->AttributeName, false); !outer || outer->IsNull())
      return;
  const std::string& name = Info->AttributeName;
  if (blob) {
    std::string bytes;
    if (Info->IsXMLType) {
      bytes = object->XMLAttr(name)->GetXMLData();
    } else if (Info->OracleType == otString) {
      bytes = object->GetAttr(name).AsString();
      if (Trim) bytes = TrimRight(bytes);
    } else {
      const TVariant v = object->GetAttr(name);
      if (v.IsNull() || v.IsEmpty()) return;
      bytes = Info->OracleType == otCLOB ? v.AsString() : v.Bytes();
    }
    Decompress(Field, bytes);
    blob->SetData(std::move(bytes));
    return;
  }
  switch (Info->OracleType) {
    case otReference: {
      TOracleReference* ref = object->RefAttr(name);
      if (!ref->IsNull()) PutSlotText(slot, Field->DataSize(), Field->Size(), ref->AsHex());
      return;
    }
    case otString: {
      std::string s = object->GetAttr(name).AsString();
      PutSlotText(slot, Field->DataSize(), Field->Size(), Trim ? TrimRight(s) : s);
      return;
    }
    default:
      break;
  }
  const TVariant v = object->GetAttr(name);
  if (v.IsNull() || v.IsEmpty()) return;
  if (Info->OracleType == otInteger || Field->DataType() == ftInteger || Field->DataType() == ftSmallint)
    PutSlotInteger(slot, v.AsInteger());
  else if (Info->OracleType == otFloat)
    PutSlotFloat(slot, v.AsDouble());
  else if (IsDateTimeType(Info->OracleType))
    PutSlotDateTime(slot, v.AsDateTime());
  else
    DatabaseError("Unexpected datatype: " + Field->FieldName(), this);
}

TVariant TOracleFieldInfo::ReadAttributeValue(TOracleQuery* Query) const {
  const int index = Query->FieldIndex(ColumnName);
  if (index < 0 || Query->FieldType(index) != otObject || Query->FieldIsNull(index)) return TVariant();
  TOracleObject* object = Query->ObjField(index);
  if (object->IsCollection() || AttributeIndex < 0 || AttributeIndex >= object->AttrCount())
    return TVariant();
  TObjectAttribute* a = object->Attributes(AttributeIndex);
  if (IsXMLType) {
    if (!IsXMLTypeName(a->TypeName())) return TVariant();
    return a->IsNull() ? TVariant() : TVariant(object->XMLAttr(a->Name())->GetXMLData());
  }
  if (a->DataType() != OracleType) return TVariant();
  if (OracleType == otReference)
    return a->IsNull() ? TVariant() : TVariant(object->RefAttr(a->Name())->AsHex());
  return a->Value();
}
