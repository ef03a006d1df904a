// TOracleQuery: the columns of the select list and the values of the current row.
#include <climits>
#include <cmath>
#include <cstring>

#include "oracle/Oracle.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace {

bool IsLongType(int Type) {
  return Type == SQLT_LNG || Type == SQLT_LBI;
}

int32_t CellInteger(const uint8_t* Cell) {
  int32_t v;
  std::memcpy(&v, Cell, sizeof v);
  return v;
}

double CellFloat(const uint8_t* Cell) {
  double v;
  std::memcpy(&v, Cell, sizeof v);
  return v;
}

std::string CellText(const TFieldData* F, int Row) {
  const char* cell = reinterpret_cast<const char*>(F->Cell(Row));
  size_t limit = static_cast<size_t>(F->rowSize);
  if (F->lengths && F->lengths[Row] < limit) limit = F->lengths[Row];
  return std::string(cell, strnlen(cell, limit));
}

// Rounds half to even; false beyond the range of a 32-bit integer.
bool RoundToInt(double Value, int& Result) {
  double r = std::nearbyint(Value);
  if (!(r >= static_cast<double>(INT_MIN) && r <= static_cast<double>(INT_MAX))) return false;
  Result = static_cast<int>(r);
  return true;
}

}  // namespace

// ---- Column descriptions ----------------------------------------------------------------------------

TFieldData* TOracleQuery::FieldData(int Index) const {
  return static_cast<TFieldData*>(fields_->Items(Index));
}

void TOracleQuery::CheckField(int Index) const {
  if (Index < 0 || Index >= fields_->Count()) throw Exception("Field " + IntToStr(Index) + " does not exist");
}

void TOracleQuery::CheckRow(int Index) const {
  CheckField(Index);
  if (eof_) throw Exception("You cannot access field data beyond Eof");
}

void TOracleQuery::ConvertError(int Index, const std::string& What) const {
  throw Exception("Cannot convert field " + FieldData(Index)->name + " to " + What);
}

int TOracleQuery::FieldCount() const {
  return fields_->Count();
}

std::string TOracleQuery::FieldName(int Index) const {
  CheckField(Index);
  return FieldData(Index)->name;
}

int TOracleQuery::FieldIndex(const std::string& Name) const {
  for (int i = 0; i < fields_->Count(); ++i)
    if (AnsiSameText(FieldData(i)->name, Name)) return i;
  return -1;
}

int TOracleQuery::FieldType(int Index) const {
  CheckField(Index);
  return FieldData(Index)->fetchType;
}

int TOracleQuery::FieldInternalType(int Index) const {
  CheckField(Index);
  return FieldData(Index)->dataType;
}

std::string TOracleQuery::FieldTypeName(int Index) const {
  CheckField(Index);
  TFieldData* f = FieldData(Index);
  return f->fetchType == SQLT_NTY || f->fetchType == SQLT_REF ? f->typeName : std::string();
}

int TOracleQuery::FieldPrecision(int Index) const {
  CheckField(Index);
  return FieldData(Index)->precision;
}

int TOracleQuery::FieldScale(int Index) const {
  CheckField(Index);
  return FieldData(Index)->scale;
}

bool TOracleQuery::FieldOptional(int Index) const {
  CheckField(Index);
  return FieldData(Index)->nullable != 0;
}

int TOracleQuery::FieldStringSize(int Index) const {
  CheckField(Index);
  TFieldData* f = FieldData(Index);
  return f->fetchType == SQLT_STR ? (f->rowSize - 1) / f->bytesPerChar : 0;
}

// ---- Row values -------------------------------------------------------------------------------------

bool TOracleQuery::FieldIsNull(int Index) const {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  if (f->fetchType == SQLT_NTY) {
    void* structure = f->nullStructures ? f->nullStructures[rowIndex_] : nullptr;
    return !structure || *static_cast<const sb2*>(structure) != 0;
  }
  return f->indicators[rowIndex_] == -1;
}

void* TOracleQuery::FieldAddress(int Index) const {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  return f->buffer ? f->Cell(rowIndex_) : nullptr;
}

std::string TOracleQuery::LongFieldValue(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  if (!IsLongType(f->fetchType)) throw Exception("Field " + IntToStr(Index) + " is not a Long");
  std::string value;
  if (cursorHandleMode_) {
    value.reserve(static_cast<size_t>(f->LongLength()));
    if (f->pieces)
      for (int i = 0; i < f->pieces->Count(); ++i) {
        auto* p = static_cast<TLongPiece*>(f->pieces->Items(i));
        value.append(reinterpret_cast<const char*>(p->buffer),
                     std::min<size_t>(p->returnedLength, p->allocatedSize));
      }
    return value;
  }
  int chunk = 4096;
  for (;;) {
    std::string part(static_cast<size_t>(chunk), '\0');
    int got = GetLongField(Index, part.data(), chunk, static_cast<int>(value.size()));
    value.append(part.data(), static_cast<size_t>(std::max(got, 0)));
    if (got < chunk) break;
    if (chunk < 32768) chunk *= 2;
  }
  return value;
}

int TOracleQuery::GetLongField(int Index, void* Buffer, int Length, int Offset) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  if (!IsLongType(f->fetchType)) throw Exception("Field " + IntToStr(Index) + " is not a Long");
  if (Length <= 0 || Offset < 0) return 0;
  auto* out = static_cast<uint8_t*>(Buffer);
  if (cursorHandleMode_) {
    int copied = 0;
    int skip = Offset;
    if (!f->pieces) return 0;
    for (int i = 0; i < f->pieces->Count() && copied < Length; ++i) {
      auto* p = static_cast<TLongPiece*>(f->pieces->Items(i));
      int n = static_cast<int>(std::min<ub4>(p->returnedLength, static_cast<ub4>(p->allocatedSize)));
      if (skip >= n) {
        skip -= n;
        continue;
      }
      int take = std::min(n - skip, Length - copied);
      std::memcpy(out + copied, p->buffer + skip, static_cast<size_t>(take));
      copied += take;
      skip = 0;
    }
    return copied;
  }
  if (Length > 64000) {
    int total = 0;
    while (total < Length) {
      int ask = std::min(64000, Length - total);
      int got = GetLongField(Index, out + total, ask, Offset + total);
      total += got;
      if (got < 64000) break;
    }
    return total;
  }
  // The row holds the first part of the value; the rest comes from the client.
  int fetched = std::min<int>(f->lengths[rowIndex_], 4096);
  int taken = 0;
  if (Offset < fetched) {
    taken = std::min(fetched - Offset, Length);
    std::memcpy(out, f->Cell(rowIndex_) + Offset, static_cast<size_t>(taken));
  }
  if (taken < Length && fetched == 4096) {
    ub4 returned = 0;
    Cda_Def* c = CursorDataArea();
    ub4 keep = c->rpc;
    session_->EnterLock(true);
    sword s = OCI.oflng(c, Index + 1, out + taken, Length - taken, f->fetchType, &returned, Offset + taken);
    c->rpc = keep;
    if (s != 0 && c->rc != 0) {
      errorCode_ = c->rc;
      RaiseOracleError(session_, c->rc, this);
    }
    session_->LeaveLock(true);
    taken += static_cast<int>(returned);
  }
  return taken;
}

TVariant TOracleQuery::Field(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  if (f->indicators[rowIndex_] == -1 || f->fetchType == SQLT_RSET) return NullVariant(session_);
  if (f->fetchType == SQLT_LNG) return ExpandLineBreaks(LongFieldValue(Index), session_);
  if (f->fetchType == SQLT_LBI) {
    std::string bytes = LongFieldValue(Index);
    TVariant a = VarArrayCreate({0, static_cast<int>(bytes.size()) - 1}, varByte);
    a.Bytes() = bytes;
    return a;
  }
  if (IsLOBType(f->fetchType) || IsTimestampType(f->fetchType)) return ComplexFieldValue(f);
  if (f->fetchType == SQLT_NTY || f->fetchType == SQLT_REF) return ObjectFieldValue(f);
  TVariant v;
  OracleValueToVariant(f->Cell(rowIndex_), f->fetchType,
                       f->fetchType == SQLT_STR ? f->rowSize : f->lengths[rowIndex_], v, session_);
  return v;
}

TVariant TOracleQuery::FieldByName(const std::string& Name) {
  int i = FieldIndex(Name);
  if (i < 0) throw Exception("Field " + Name + " does not exist");
  return Field(i);
}

std::string TOracleQuery::FieldAsString(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  int type = f->fetchType;
  if (f->indicators[rowIndex_] == -1) return "";  // a null column of any type
  if (IsLOBType(type) || IsTimestampType(type)) return ComplexFieldText(f);
  if (type == SQLT_NTY || type == SQLT_REF) return ObjectFieldText(f, Index);
  const uint8_t* cell = f->buffer ? f->Cell(rowIndex_) : nullptr;
  switch (type) {
    case SQLT_INT:
      return IntToStr(CellInteger(cell));
    case SQLT_FLT:
      return FloatToStr(CellFloat(cell));
    case SQLT_STR:
      return ExpandLineBreaks(CellText(f, rowIndex_), session_);
    case SQLT_LNG:
      return ExpandLineBreaks(LongFieldValue(Index), session_);
    case SQLT_LBI:
      return LongFieldValue(Index);
    case SQLT_DAT: {
      TDateTime dt = OracleDateToDateTime(cell);
      return FormatDateTime(dt - std::trunc(dt) != 0 ? "ddddd tt" : "ddddd", dt);
    }
    default:
      ConvertError(Index, "a String");
  }
}

int TOracleQuery::FieldAsInteger(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  int type = f->fetchType;
  if (f->indicators[rowIndex_] == -1) return 0;
  if (type != SQLT_INT && type != SQLT_FLT && type != SQLT_STR && type != SQLT_DAT)
    ConvertError(Index, "an Integer");
  const uint8_t* cell = f->Cell(rowIndex_);
  int result = 0;
  switch (type) {
    case SQLT_INT:
      return CellInteger(cell);
    case SQLT_FLT:
      if (!RoundToInt(CellFloat(cell), result)) ConvertError(Index, "an Integer");
      return result;
    case SQLT_STR:
      return StrToInt(CellText(f, rowIndex_));
    default:
      if (!RoundToInt(OracleDateToDateTime(cell), result)) ConvertError(Index, "an Integer");
      return result;
  }
}

double TOracleQuery::FieldAsFloat(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  int type = f->fetchType;
  if (f->indicators[rowIndex_] == -1) return 0.0;
  if (type != SQLT_INT && type != SQLT_FLT && type != SQLT_STR && type != SQLT_DAT)
    ConvertError(Index, "a Float");
  const uint8_t* cell = f->Cell(rowIndex_);
  switch (type) {
    case SQLT_INT:
      return CellInteger(cell);
    case SQLT_FLT:
      return CellFloat(cell);
    case SQLT_STR:
      return StrToFloat(CellText(f, rowIndex_));
    default:
      return OracleDateToDateTime(cell);
  }
}

TDateTime TOracleQuery::FieldAsDate(int Index) {
  CheckRow(Index);
  TFieldData* f = FieldData(Index);
  int type = f->fetchType;
  if (f->indicators[rowIndex_] == -1) return 0.0;
  if (IsTimestampType(type) && f->columnObject)
    return static_cast<TOracleTimestamp*>(f->columnObject.get())->AsDateTime();
  if (type != SQLT_INT && type != SQLT_FLT && type != SQLT_STR && type != SQLT_DAT)
    ConvertError(Index, "a Date");
  const uint8_t* cell = f->Cell(rowIndex_);
  switch (type) {
    case SQLT_INT:
      return CellInteger(cell);
    case SQLT_FLT:
      return CellFloat(cell);
    case SQLT_STR:
      return StrToDateTime(CellText(f, rowIndex_));
    default:
      return OracleDateToDateTime(cell);
  }
}

TLOBLocator* TOracleQuery::LOBField(int Index) const {
  CheckField(Index);
  TFieldData* f = FieldData(Index);
  if (!IsLOBType(f->fetchType) || !f->columnObject) throw Exception("Field " + f->name + " is not a LOB");
  return static_cast<TLOBLocator*>(f->columnObject.get());
}

TOracleObject* TOracleQuery::ObjField(int Index) const {
  CheckField(Index);
  TFieldData* f = FieldData(Index);
  if (f->fetchType != SQLT_NTY || !f->columnObject) throw Exception("Field " + f->name + " is not an Object");
  return static_cast<TOracleObject*>(f->columnObject.get());
}

TXMLType* TOracleQuery::XMLField(int Index) const {
  return dynamic_cast<TXMLType*>(ObjField(Index));
}

TOracleReference* TOracleQuery::RefField(int Index) const {
  CheckField(Index);
  TFieldData* f = FieldData(Index);
  if (f->fetchType != SQLT_REF || !f->columnObject)
    throw Exception("Field " + f->name + " is not a Reference");
  return static_cast<TOracleReference*>(f->columnObject.get());
}
