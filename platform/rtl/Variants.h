// TVariant: the dynamically typed value of the class library (field values, bind values, lookup
// keys), with its conversions, comparisons, arithmetic and one-dimensional variant arrays.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/SysUtils.h"

using TVarType = uint16_t;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
// An object reference (a pointer-sized integer); reads as an integer.
constexpr TVarType varObject = 0x0049;
constexpr TVarType varString = 0x0100;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;

class TVariant {
 public:
  TVariant() noexcept : vt_(varEmpty) { u_.i = 0; }
  TVariant(const TVariant& o);
  TVariant(TVariant&& o) noexcept;
  TVariant& operator=(const TVariant& o);
  TVariant& operator=(TVariant&& o) noexcept;
  ~TVariant() { Clear(); }

  TVariant(bool v) noexcept : vt_(varBoolean) { u_.b = v; }
  TVariant(signed char v) noexcept : vt_(varShortInt) { u_.i = v; }
  TVariant(unsigned char v) noexcept : vt_(varByte) { u_.i = v; }
  TVariant(short v) noexcept : vt_(varSmallint) { u_.i = v; }
  TVariant(unsigned short v) noexcept : vt_(varWord) { u_.i = v; }
  TVariant(int v) noexcept : vt_(varInteger) { u_.i = v; }
  TVariant(unsigned v) noexcept : vt_(varLongWord) { u_.i = v; }
  TVariant(long v) noexcept : vt_(varInt64) { u_.i = v; }
  TVariant(long long v) noexcept : vt_(varInt64) { u_.i = v; }
  TVariant(unsigned long v);  // ERangeError above the Int64 range
  TVariant(unsigned long long v);
  TVariant(float v) noexcept : vt_(varSingle) { u_.d = v; }
  TVariant(double v) noexcept : vt_(varDouble) { u_.d = v; }
  TVariant(Currency v) noexcept : vt_(varCurrency) { u_.i = v.Scaled(); }
  TVariant(const char* v) : vt_(varString) { new (&u_.s) std::string(v ? v : ""); }
  TVariant(std::string_view v) : vt_(varString) { new (&u_.s) std::string(v); }
  TVariant(const std::string& v) : vt_(varString) { new (&u_.s) std::string(v); }
  TVariant(std::string&& v) noexcept : vt_(varString) { new (&u_.s) std::string(std::move(v)); }
  TVariant(char* v) : TVariant(static_cast<const char*>(v)) {}
  TVariant(char v) : vt_(varString) { new (&u_.s) std::string(1, v); }
  // Other pointers would silently become Booleans: use FromObject.
  template <typename T>
  TVariant(T*) = delete;

  static TVariant FromDate(TDateTime v) noexcept;
  static TVariant FromObject(const void* p) noexcept;
  static TVariant MakeNull() noexcept;

  TVarType VarType() const noexcept { return vt_; }
  bool IsEmpty() const noexcept { return vt_ == varEmpty; }
  bool IsNull() const noexcept { return vt_ == varNull; }
  bool IsArray() const noexcept { return (vt_ & varArray) != 0; }
  void Clear() noexcept;

  // Conversions; EVariantError "Could not convert variant of type (A) into type (B)" when impossible.
  int AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  std::string AsString() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  Currency AsCurrency() const;
  void* AsObject() const;
  template <typename T>
  T* AsObject() const {
    return static_cast<T*>(AsObject());
  }

  // Variant arrays (one dimension).
  int LowBound() const;
  int HighBound() const;
  int ElementCount() const;
  TVariant GetElement(int index) const;
  void SetElement(int index, const TVariant& value);
  // The bytes of a varArray|varByte array, read and written in place.
  std::string& Bytes();
  const std::string& Bytes() const;

  TVariant operator-() const;

 private:
  struct ArrayData {
    TVarType elementType;
    int lowBound;
    std::vector<TVariant> items;  // varVariant and other element types
    std::string bytes;            // varByte elements
  };
  friend TVariant VarArrayCreate(std::initializer_list<int> bounds, TVarType elementType);
  friend void VarArrayRedim(TVariant& a, int highBound);
  friend class TVariantAccess;

  void TakeFrom(TVariant& o) noexcept;  // o is left empty
  void CopyScalar(const TVariant& o) noexcept;
  const ArrayData& Array() const;
  ArrayData& Array();
  size_t ElementIndex(int index) const;

  TVarType vt_;
  union U {
    U() noexcept : i(0) {}
    ~U() {}
    int64_t i;
    double d;
    bool b;
    const void* p;
    std::string s;
    ArrayData* a;
  } u_;
};

using Variant = TVariant;

TVariant Null();
TVariant Unassigned();

TVarType VarType(const TVariant& v);
bool VarIsNull(const TVariant& v);
bool VarIsEmpty(const TVariant& v);
bool VarIsClear(const TVariant& v);
bool VarIsArray(const TVariant& v);
bool VarIsStr(const TVariant& v);
bool VarIsNumeric(const TVariant& v);  // ordinal (boolean included) or floating point
bool VarIsOrdinal(const TVariant& v);
bool VarIsFloat(const TVariant& v);  // single, double, currency
bool VarIsType(const TVariant& v, TVarType type);
std::string VarTypeAsText(TVarType type);
std::string VarToStr(const TVariant& v);  // Null gives ""
std::string VarToStrDef(const TVariant& v, const std::string& defaultValue);
TVariant VarAsType(const TVariant& v, TVarType type);
TDateTime VarToDateTime(const TVariant& v);
TVariant VarFromDateTime(TDateTime value);

// Arrays: VarArrayCreate({low, high}, varVariant) or ({low, high}, varByte).
TVariant VarArrayCreate(std::initializer_list<int> bounds, TVarType elementType);
TVariant VarArrayOf(std::initializer_list<TVariant> values);
int VarArrayDimCount(const TVariant& a);
int VarArrayLowBound(const TVariant& a, int dim);
int VarArrayHighBound(const TVariant& a, int dim);
TVariant VarArrayGet(const TVariant& a, std::initializer_list<int> indices);
void VarArrayPut(TVariant& a, const TVariant& value, std::initializer_list<int> indices);
void VarArrayRedim(TVariant& a, int highBound);

// Comparisons: numbers numerically, strings as strings, a string against a number or a date by
// converting the string; Null equals only Null and sorts below everything; Empty likewise.
enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b);

bool operator==(const TVariant& a, const TVariant& b);
bool operator!=(const TVariant& a, const TVariant& b);
bool operator<(const TVariant& a, const TVariant& b);
bool operator<=(const TVariant& a, const TVariant& b);
bool operator>(const TVariant& a, const TVariant& b);
bool operator>=(const TVariant& a, const TVariant& b);

// Arithmetic: Null in, Null out; two strings concatenate with +.
TVariant operator+(const TVariant& a, const TVariant& b);
TVariant operator-(const TVariant& a, const TVariant& b);
TVariant operator*(const TVariant& a, const TVariant& b);
TVariant operator/(const TVariant& a, const TVariant& b);
