#include "platform/rtl/Variants.h"

#include <cmath>
#include <limits>

// Reaches the representation of a variant for the helpers of this unit.
class TVariantAccess {
 public:
  static TVariant WithType(TVariant v, TVarType type) {
    v.vt_ = type;
    return v;
  }
};

namespace {

[[noreturn]] void CastError(TVarType from, TVarType to) {
  throw EVariantError("Could not convert variant of type (" + VarTypeAsText(from) + ") into type (" +
                      VarTypeAsText(to) + ")");
}

[[noreturn]] void OverflowError(TVarType from, TVarType to) {
  throw EVariantError("Overflow while converting variant of type (" + VarTypeAsText(from) + ") into type (" +
                      VarTypeAsText(to) + ")");
}

[[noreturn]] void InvalidOperation() {
  throw EVariantError("Invalid variant operation");
}

[[noreturn]] void IndexError() {
  throw EVariantError("Variant or safe array index out of bounds");
}

bool IsIntegral(TVarType t) {
  switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varObject:
      return true;
    default:
      return false;
  }
}

bool IsStringType(TVarType t) {
  return t == varString || t == varOleStr;
}

// Rounds half to even and checks the range of the target.
int64_t RoundToInt64(double d, TVarType from, TVarType to) {
  if (!std::isfinite(d) || d >= 9223372036854775808.0 || d < -9223372036854775808.0) OverflowError(from, to);
  return static_cast<int64_t>(std::nearbyint(d));
}

int64_t CheckRange(int64_t v, int64_t lo, int64_t hi, TVarType from, TVarType to) {
  if (v < lo || v > hi) OverflowError(from, to);
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Life cycle.

TVariant::TVariant(const TVariant& o) : vt_(o.vt_) {
  if (IsStringType(vt_))
    new (&u_.s) std::string(o.u_.s);
  else if (vt_ & varArray)
    u_.a = new ArrayData(*o.u_.a);
  else
    CopyScalar(o);
}

TVariant::TVariant(TVariant&& o) noexcept : vt_(varEmpty) {
  TakeFrom(o);
}

void TVariant::CopyScalar(const TVariant& o) noexcept {
  switch (o.vt_) {
    case varSingle:
    case varDouble:
    case varDate:
      u_.d = o.u_.d;
      break;
    case varBoolean:
      u_.b = o.u_.b;
      break;
    case varObject:
      u_.p = o.u_.p;
      break;
    default:
      if (o.vt_ & varArray)
        u_.a = o.u_.a;
      else
        u_.i = o.u_.i;
  }
}

void TVariant::TakeFrom(TVariant& o) noexcept {
  vt_ = o.vt_;
  if (IsStringType(vt_)) {
    new (&u_.s) std::string(std::move(o.u_.s));
    o.u_.s.~basic_string();
  } else {
    CopyScalar(o);  // an array changes owner
  }
  o.vt_ = varEmpty;
  o.u_.i = 0;
}

TVariant& TVariant::operator=(const TVariant& o) {
  if (this != &o) {
    TVariant copy(o);
    Clear();
    TakeFrom(copy);
  }
  return *this;
}

TVariant& TVariant::operator=(TVariant&& o) noexcept {
  if (this != &o) {
    Clear();
    TakeFrom(o);
  }
  return *this;
}

TVariant::TVariant(unsigned long v) : vt_(varInt64) {
  if (v > static_cast<unsigned long>(INT64_MAX)) throw ERangeError("Range check error");
  u_.i = static_cast<int64_t>(v);
}

TVariant::TVariant(unsigned long long v) : vt_(varInt64) {
  if (v > static_cast<unsigned long long>(INT64_MAX)) throw ERangeError("Range check error");
  u_.i = static_cast<int64_t>(v);
}

void TVariant::Clear() noexcept {
  if (IsStringType(vt_))
    u_.s.~basic_string();
  else if (vt_ & varArray)
    delete u_.a;
  vt_ = varEmpty;
  u_.i = 0;
}

TVariant TVariant::FromDate(TDateTime v) noexcept {
  TVariant r;
  r.vt_ = varDate;
  r.u_.d = v;
  return r;
}

TVariant TVariant::FromObject(const void* p) noexcept {
  TVariant r;
  r.vt_ = varObject;
  r.u_.p = p;
  return r;
}

TVariant TVariant::MakeNull() noexcept {
  TVariant r;
  r.vt_ = varNull;
  return r;
}

TVariant Null() {
  return TVariant::MakeNull();
}
TVariant Unassigned() {
  return TVariant();
}

// ---------------------------------------------------------------------------------------------
// Conversions.

int64_t TVariant::AsInt64() const {
  switch (vt_) {
    case varEmpty:
      return 0;
    case varBoolean:
      return u_.b ? -1 : 0;
    case varSingle:
    case varDouble:
    case varDate:
      return RoundToInt64(u_.d, vt_, varInt64);
    case varCurrency: {
      int64_t q = u_.i / Currency::Scale, r = u_.i % Currency::Scale;
      int64_t twice = 2 * (r < 0 ? -r : r);
      if (twice > Currency::Scale || (twice == Currency::Scale && (q % 2 != 0))) q += r < 0 ? -1 : 1;
      return q;
    }
    case varString:
    case varOleStr: {
      int64_t v;
      if (TryStrToInt64(u_.s, v)) return v;
      double d;
      if (TryStrToFloat(u_.s, d)) return RoundToInt64(d, vt_, varInt64);
      CastError(vt_, varInt64);
    }
    default:
      if (IsIntegral(vt_))
        return vt_ == varObject ? static_cast<int64_t>(reinterpret_cast<intptr_t>(u_.p)) : u_.i;
      CastError(vt_, varInt64);
  }
}

int TVariant::AsInteger() const {
  if (vt_ == varNull || (vt_ & varArray)) CastError(vt_, varInteger);
  int64_t v;
  try {
    v = AsInt64();
  } catch (const EVariantError&) {
    if (IsStringType(vt_)) CastError(vt_, varInteger);
    OverflowError(vt_, varInteger);
  }
  return static_cast<int>(CheckRange(v, INT32_MIN, INT32_MAX, vt_, varInteger));
}

double TVariant::AsDouble() const {
  switch (vt_) {
    case varEmpty:
      return 0;
    case varBoolean:
      return u_.b ? -1 : 0;
    case varSingle:
    case varDouble:
    case varDate:
      return u_.d;
    case varCurrency:
      return Currency::FromScaled(u_.i).ToDouble();
    case varString:
    case varOleStr: {
      double d;
      if (TryStrToFloat(u_.s, d)) return d;
      CastError(vt_, varDouble);
    }
    default:
      if (IsIntegral(vt_)) return static_cast<double>(AsInt64());
      CastError(vt_, varDouble);
  }
}

std::string TVariant::AsString() const {
  switch (vt_) {
    case varEmpty:
      return std::string();
    case varBoolean:
      return u_.b ? "True" : "False";
    case varSingle:
      return FloatToStrF(u_.d, ffGeneral, 7, 0);
    case varDouble:
      return FloatToStr(u_.d);
    case varDate:
      return DateTimeToStr(u_.d);
    case varCurrency:
      return CurrToStr(Currency::FromScaled(u_.i));
    case varString:
    case varOleStr:
      return u_.s;
    default:
      if (IsIntegral(vt_)) return IntToStr(AsInt64());
      CastError(vt_, varString);
  }
}

bool TVariant::AsBoolean() const {
  switch (vt_) {
    case varEmpty:
      return false;
    case varBoolean:
      return u_.b;
    case varSingle:
    case varDouble:
    case varDate:
      return u_.d != 0;
    case varString:
    case varOleStr: {
      bool b;
      if (TryStrToBool(u_.s, b)) return b;
      CastError(vt_, varBoolean);
    }
    default:
      if (IsIntegral(vt_) || vt_ == varCurrency) return u_.i != 0;
      CastError(vt_, varBoolean);
  }
}

TDateTime TVariant::AsDateTime() const {
  switch (vt_) {
    case varString:
    case varOleStr: {
      TDateTime d;
      if (TryStrToDateTime(u_.s, d)) return d;
      CastError(vt_, varDate);
    }
    case varNull:
      CastError(vt_, varDate);
    default:
      if (vt_ & varArray) CastError(vt_, varDate);
      return AsDouble();
  }
}

Currency TVariant::AsCurrency() const {
  switch (vt_) {
    case varCurrency:
      return Currency::FromScaled(u_.i);
    case varString:
    case varOleStr: {
      Currency c;
      if (TryStrToCurr(u_.s, c)) return c;
      CastError(vt_, varCurrency);
    }
    case varNull:
      CastError(vt_, varCurrency);
    default: {
      if (vt_ & varArray) CastError(vt_, varCurrency);
      if (IsIntegral(vt_) || vt_ == varBoolean || vt_ == varEmpty) {
        int64_t v = AsInt64();
        if (v > INT64_MAX / Currency::Scale || v < INT64_MIN / Currency::Scale)
          OverflowError(vt_, varCurrency);
        return Currency::FromScaled(v * Currency::Scale);
      }
      double d = u_.d;
      if (!std::isfinite(d) || std::fabs(d) > 922337203685477.0) OverflowError(vt_, varCurrency);
      return Currency::FromDouble(d);
    }
  }
}

void* TVariant::AsObject() const {
  if (vt_ == varObject) return const_cast<void*>(u_.p);
  if (vt_ == varEmpty || vt_ == varNull) return nullptr;
  if (IsIntegral(vt_)) return reinterpret_cast<void*>(static_cast<intptr_t>(u_.i));
  CastError(vt_, varObject);
}

std::string VarTypeAsText(TVarType type) {
  std::string prefix = (type & varArray) ? "Array " : "";
  switch (type & varTypeMask) {
    case varEmpty:
      return prefix + "Empty";
    case varNull:
      return prefix + "Null";
    case varSmallint:
      return prefix + "Smallint";
    case varInteger:
      return prefix + "Integer";
    case varSingle:
      return prefix + "Single";
    case varDouble:
      return prefix + "Double";
    case varCurrency:
      return prefix + "Currency";
    case varDate:
      return prefix + "Date";
    case varOleStr:
      return prefix + "OleStr";
    case varBoolean:
      return prefix + "Boolean";
    case varVariant:
      return prefix + "Variant";
    case varShortInt:
      return prefix + "ShortInt";
    case varByte:
      return prefix + "Byte";
    case varWord:
      return prefix + "Word";
    case varLongWord:
      return prefix + "LongWord";
    case varInt64:
      return prefix + "Int64";
    case varObject:
      return prefix + "Object";
    case varString:
      return prefix + "String";
    default:
      return prefix + "$" + IntToHex(type & varTypeMask, 4);
  }
}

TVarType VarType(const TVariant& v) {
  return v.VarType();
}
bool VarIsNull(const TVariant& v) {
  return v.IsNull();
}
bool VarIsEmpty(const TVariant& v) {
  return v.IsEmpty();
}
bool VarIsClear(const TVariant& v) {
  return v.IsEmpty();
}
bool VarIsArray(const TVariant& v) {
  return v.IsArray();
}
bool VarIsStr(const TVariant& v) {
  return IsStringType(v.VarType());
}
bool VarIsOrdinal(const TVariant& v) {
  return IsIntegral(v.VarType()) || v.VarType() == varBoolean;
}
bool VarIsFloat(const TVariant& v) {
  TVarType t = v.VarType();
  return t == varSingle || t == varDouble || t == varCurrency;
}
bool VarIsNumeric(const TVariant& v) {
  return VarIsOrdinal(v) || VarIsFloat(v);
}
bool VarIsType(const TVariant& v, TVarType type) {
  return v.VarType() == type;
}

std::string VarToStr(const TVariant& v) {
  return v.IsNull() ? std::string() : v.AsString();
}
std::string VarToStrDef(const TVariant& v, const std::string& defaultValue) {
  return v.IsNull() ? defaultValue : v.AsString();
}

TDateTime VarToDateTime(const TVariant& v) {
  return v.AsDateTime();
}
TVariant VarFromDateTime(TDateTime value) {
  return TVariant::FromDate(value);
}

TVariant VarAsType(const TVariant& v, TVarType type) {
  TVarType from = v.VarType();
  if (type == from) return v;
  if (type == varEmpty) return TVariant();
  if (type == varNull) return Null();
  if (from == varNull || v.IsArray()) CastError(from, type);
  switch (type) {
    case varSmallint:
      return TVariant(static_cast<short>(CheckRange(v.AsInt64(), INT16_MIN, INT16_MAX, from, type)));
    case varInteger:
      return TVariant(v.AsInteger());
    case varShortInt:
      return TVariant(static_cast<signed char>(CheckRange(v.AsInt64(), INT8_MIN, INT8_MAX, from, type)));
    case varByte:
      return TVariant(static_cast<unsigned char>(CheckRange(v.AsInt64(), 0, UINT8_MAX, from, type)));
    case varWord:
      return TVariant(static_cast<unsigned short>(CheckRange(v.AsInt64(), 0, UINT16_MAX, from, type)));
    case varLongWord:
      return TVariant(static_cast<unsigned>(CheckRange(v.AsInt64(), 0, UINT32_MAX, from, type)));
    case varInt64:
      return TVariant(static_cast<long long>(v.AsInt64()));
    case varSingle:
      return TVariant(static_cast<float>(v.AsDouble()));
    case varDouble:
      return TVariant(v.AsDouble());
    case varCurrency:
      return TVariant(v.AsCurrency());
    case varDate:
      return TVariant::FromDate(v.AsDateTime());
    case varBoolean:
      return TVariant(v.AsBoolean());
    case varString:
      return TVariant(v.AsString());
    case varOleStr:
      return TVariantAccess::WithType(TVariant(v.AsString()), varOleStr);
    case varObject:
      return TVariant::FromObject(v.AsObject());
    default:
      throw EVariantError("Invalid variant type conversion");
  }
}

// ---------------------------------------------------------------------------------------------
// Variant arrays.

const TVariant::ArrayData& TVariant::Array() const {
  if (!(vt_ & varArray)) throw EVariantError("Variant is not an array");
  return *u_.a;
}

TVariant::ArrayData& TVariant::Array() {
  if (!(vt_ & varArray)) throw EVariantError("Variant is not an array");
  return *u_.a;
}

size_t TVariant::ElementIndex(int index) const {
  const ArrayData& a = Array();
  int64_t k = static_cast<int64_t>(index) - a.lowBound;
  size_t count = a.elementType == varByte ? a.bytes.size() : a.items.size();
  if (k < 0 || static_cast<uint64_t>(k) >= count) IndexError();
  return static_cast<size_t>(k);
}

int TVariant::LowBound() const {
  return Array().lowBound;
}
int TVariant::HighBound() const {
  return Array().lowBound + ElementCount() - 1;
}
int TVariant::ElementCount() const {
  const ArrayData& a = Array();
  return static_cast<int>(a.elementType == varByte ? a.bytes.size() : a.items.size());
}

TVariant TVariant::GetElement(int index) const {
  size_t k = ElementIndex(index);
  const ArrayData& a = Array();
  if (a.elementType == varByte) return TVariant(static_cast<unsigned char>(a.bytes[k]));
  return a.items[k];
}

void TVariant::SetElement(int index, const TVariant& value) {
  size_t k = ElementIndex(index);
  ArrayData& a = Array();
  if (a.elementType == varByte)
    a.bytes[k] = static_cast<char>(VarAsType(value, varByte).AsInteger());
  else if (a.elementType == varVariant)
    a.items[k] = value;
  else
    a.items[k] = VarAsType(value, a.elementType);
}

std::string& TVariant::Bytes() {
  ArrayData& a = Array();
  if (a.elementType != varByte) throw EVariantError("Variant is not a byte array");
  return a.bytes;
}

const std::string& TVariant::Bytes() const {
  const ArrayData& a = Array();
  if (a.elementType != varByte) throw EVariantError("Variant is not a byte array");
  return a.bytes;
}

namespace {

TVariant EmptyElement(TVarType type) {
  if (type == varVariant) return TVariant();
  if (IsStringType(type)) return VarAsType(TVariant(""), type);
  return VarAsType(TVariant(0), type);
}

}  // namespace

TVariant VarArrayCreate(std::initializer_list<int> bounds, TVarType elementType) {
  if (bounds.size() != 2) throw EVariantError("Variant array bounds error");
  int low = bounds.begin()[0], high = bounds.begin()[1];
  if (high < low - 1) throw EVariantError("Variant array bounds error");
  if (elementType == varNull || elementType == varEmpty || (elementType & ~varTypeMask) ||
      VarTypeAsText(elementType)[0] == '$')
    throw EVariantError("Invalid variant type");
  TVariant r;
  auto* data = new TVariant::ArrayData{elementType, low, {}, {}};
  size_t count = static_cast<size_t>(static_cast<int64_t>(high) - low + 1);
  if (elementType == varByte)
    data->bytes.assign(count, '\0');
  else
    data->items.assign(count, EmptyElement(elementType));
  r.vt_ = static_cast<TVarType>(varArray | elementType);
  r.u_.a = data;
  return r;
}

void VarArrayRedim(TVariant& a, int highBound) {
  TVariant::ArrayData& d = a.Array();
  if (highBound < d.lowBound - 1) throw EVariantError("Variant array bounds error");
  size_t count = static_cast<size_t>(static_cast<int64_t>(highBound) - d.lowBound + 1);
  if (d.elementType == varByte)
    d.bytes.resize(count, '\0');
  else
    d.items.resize(count, EmptyElement(d.elementType));
}

TVariant VarArrayOf(std::initializer_list<TVariant> values) {
  TVariant r = VarArrayCreate({0, static_cast<int>(values.size()) - 1}, varVariant);
  int k = 0;
  for (const TVariant& v : values) r.SetElement(k++, v);
  return r;
}

int VarArrayDimCount(const TVariant& a) {
  return a.IsArray() ? 1 : 0;
}

int VarArrayLowBound(const TVariant& a, int dim) {
  if (dim != 1) throw EVariantError("Variant array bounds error");
  return a.LowBound();
}

int VarArrayHighBound(const TVariant& a, int dim) {
  if (dim != 1) throw EVariantError("Variant array bounds error");
  return a.HighBound();
}

TVariant VarArrayGet(const TVariant& a, std::initializer_list<int> indices) {
  if (indices.size() != 1) IndexError();
  return a.GetElement(*indices.begin());
}

void VarArrayPut(TVariant& a, const TVariant& value, std::initializer_list<int> indices) {
  if (indices.size() != 1) IndexError();
  a.SetElement(*indices.begin(), value);
}

// ---------------------------------------------------------------------------------------------
// Comparison.

namespace {

template <typename T>
TVariantRelationship Order(T x, T y) {
  return x < y ? vrLessThan : (y < x ? vrGreaterThan : vrEqual);
}

TVariant ZeroOf(TVarType t) {
  if (IsStringType(t)) return TVariant("");
  if (t == varBoolean) return TVariant(false);
  if (t == varDate) return TVariant::FromDate(0);
  return TVariant(0);
}

TVariantRelationship CompareNumbers(const TVariant& a, const TVariant& b) {
  TVarType ta = a.VarType(), tb = b.VarType();
  if (ta == varBoolean && tb == varBoolean) return Order(a.AsBoolean(), b.AsBoolean());
  bool ia = IsIntegral(ta) || ta == varBoolean, ib = IsIntegral(tb) || tb == varBoolean;
  if (ia && ib) return Order(a.AsInt64(), b.AsInt64());
  if ((ta == varCurrency || ia) && (tb == varCurrency || ib)) return Order(a.AsCurrency(), b.AsCurrency());
  double x = a.AsDouble(), y = b.AsDouble();
  if (std::isnan(x) || std::isnan(y)) return vrNotEqual;
  return Order(x, y);
}

}  // namespace

TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b) {
  if (a.IsArray() || b.IsArray()) InvalidOperation();
  TVarType ta = a.VarType(), tb = b.VarType();
  if (ta == varNull || tb == varNull) {
    if (ta == tb) return vrEqual;
    return ta == varNull ? vrLessThan : vrGreaterThan;
  }
  if (ta == varEmpty || tb == varEmpty) {
    if (ta == tb) return vrEqual;
    return ta == varEmpty ? VarCompareValue(ZeroOf(tb), b) : VarCompareValue(a, ZeroOf(ta));
  }
  bool sa = IsStringType(ta), sb = IsStringType(tb);
  if (sa && sb) return Order(AnsiCompareStr(a.AsString(), b.AsString()), 0);
  if (sa || sb) {
    const TVariant& other = sa ? b : a;
    TVariant converted;
    const TVariant& str = sa ? a : b;
    if (other.VarType() == varDate)
      converted = TVariant::FromDate(str.AsDateTime());
    else if (other.VarType() == varBoolean)
      converted = TVariant(str.AsBoolean());
    else if (VarIsNumeric(other))
      converted = TVariant(str.AsDouble());
    else
      CastError(str.VarType(), other.VarType());
    return sa ? VarCompareValue(converted, b) : VarCompareValue(a, converted);
  }
  if (ta == varObject || tb == varObject) {
    if (ta != tb) InvalidOperation();
    return a.AsObject() == b.AsObject() ? vrEqual : vrNotEqual;
  }
  return CompareNumbers(a, b);
}

bool operator==(const TVariant& a, const TVariant& b) {
  return VarCompareValue(a, b) == vrEqual;
}
bool operator!=(const TVariant& a, const TVariant& b) {
  return VarCompareValue(a, b) != vrEqual;
}
bool operator<(const TVariant& a, const TVariant& b) {
  return VarCompareValue(a, b) == vrLessThan;
}
bool operator>(const TVariant& a, const TVariant& b) {
  return VarCompareValue(a, b) == vrGreaterThan;
}
bool operator<=(const TVariant& a, const TVariant& b) {
  TVariantRelationship r = VarCompareValue(a, b);
  return r == vrLessThan || r == vrEqual;
}
bool operator>=(const TVariant& a, const TVariant& b) {
  TVariantRelationship r = VarCompareValue(a, b);
  return r == vrGreaterThan || r == vrEqual;
}

// ---------------------------------------------------------------------------------------------
// Arithmetic.

namespace {

enum class TArithKind { kInteger, kCurrency, kDate, kDouble };

bool IsSmallIntegral(TVarType t) {
  return IsIntegral(t) && t != varInt64 && t != varLongWord && t != varObject;
}

TVariant Arithmetic(char op, const TVariant& a0, const TVariant& b0) {
  if (a0.IsArray() || b0.IsArray()) InvalidOperation();
  if (a0.IsNull() || b0.IsNull()) return Null();
  if (a0.VarType() == varObject || b0.VarType() == varObject) InvalidOperation();
  if (op == '+' && (VarIsStr(a0) || a0.IsEmpty()) && (VarIsStr(b0) || b0.IsEmpty()) &&
      !(a0.IsEmpty() && b0.IsEmpty()))
    return TVariant(a0.AsString() + b0.AsString());
  // Strings take part as numbers.
  TVariant a = VarIsStr(a0) ? TVariant(a0.AsDouble()) : (a0.IsEmpty() ? TVariant(0) : a0);
  TVariant b = VarIsStr(b0) ? TVariant(b0.AsDouble()) : (b0.IsEmpty() ? TVariant(0) : b0);
  TVarType ta = a.VarType(), tb = b.VarType();
  auto ordinal = [](TVarType t) { return IsIntegral(t) || t == varBoolean; };
  if (op == '/') {
    if (ta == varCurrency && tb == varCurrency) return TVariant(a.AsCurrency() / b.AsCurrency());
    double y = b.AsDouble();
    if (y == 0) throw EZeroDivide("Floating point division by zero");
    return TVariant(a.AsDouble() / y);
  }
  TArithKind kind = TArithKind::kDouble;
  if (ordinal(ta) && ordinal(tb))
    kind = TArithKind::kInteger;
  else if ((ta == varCurrency || ordinal(ta)) && (tb == varCurrency || ordinal(tb)))
    kind = TArithKind::kCurrency;
  else if ((ta == varDate || tb == varDate) && op != '*' && !(op == '-' && ta == varDate && tb == varDate) &&
           !(op == '-' && tb == varDate))
    kind = TArithKind::kDate;
  switch (kind) {
    case TArithKind::kInteger: {
      int64_t x = a.AsInt64(), y = b.AsInt64(), r;
      bool overflow = op == '+'   ? __builtin_add_overflow(x, y, &r)
                      : op == '-' ? __builtin_sub_overflow(x, y, &r)
                                  : __builtin_mul_overflow(x, y, &r);
      if (overflow) {
        double dx = static_cast<double>(x), dy = static_cast<double>(y);
        return TVariant(op == '+' ? dx + dy : op == '-' ? dx - dy : dx * dy);
      }
      if (IsSmallIntegral(ta) && IsSmallIntegral(tb) && r >= INT32_MIN && r <= INT32_MAX)
        return TVariant(static_cast<int>(r));
      return TVariant(static_cast<long long>(r));
    }
    case TArithKind::kCurrency: {
      Currency x = a.AsCurrency(), y = b.AsCurrency();
      return TVariant(op == '+' ? x + y : op == '-' ? x - y : x * y);
    }
    default: {
      double x = a.AsDouble(), y = b.AsDouble();
      double r = op == '+' ? x + y : op == '-' ? x - y : x * y;
      return kind == TArithKind::kDate ? TVariant::FromDate(r) : TVariant(r);
    }
  }
}

}  // namespace

TVariant operator+(const TVariant& a, const TVariant& b) {
  return Arithmetic('+', a, b);
}
TVariant operator-(const TVariant& a, const TVariant& b) {
  return Arithmetic('-', a, b);
}
TVariant operator*(const TVariant& a, const TVariant& b) {
  return Arithmetic('*', a, b);
}
TVariant operator/(const TVariant& a, const TVariant& b) {
  return Arithmetic('/', a, b);
}

TVariant TVariant::operator-() const {
  switch (vt_) {
    case varNull:
      return *this;
    case varEmpty:
      return TVariant(0);
    case varCurrency:
      return TVariant(-AsCurrency());
    case varSingle:
    case varDouble:
      return TVariant(-u_.d);
    case varDate:
      return FromDate(-u_.d);
    case varString:
    case varOleStr:
      return TVariant(-AsDouble());
    default:
      if (vt_ == varObject || (vt_ & varArray)) InvalidOperation();
      return Arithmetic('-', TVariant(0), *this);
  }
}
