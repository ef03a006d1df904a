// The value calls of the object cache: strings, raws, numbers (with their text format models),
// REFs and their hexadecimal form, and collections.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "oracle_sim/OciObject.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

// ---- Numbers

// A NUMBER's exact decimal value: sign, significant digits and the decimal point's position
// (value = 0.DIGITS x 10^point); zero has no digits.
struct Digits {
  bool negative = false;
  std::string digits;
  int point = 0;
};

Digits DigitsOf(const OCINumber* n) {
  ub1 len = n->OCINumberPart[0];
  if (len == 0 || len > 21) throw MakeError(22060, "argument [2] is an invalid or uninitialized number");
  const ub1* b = n->OCINumberPart + 1;
  Digits d;
  if (b[0] == 0x80) return d;
  bool positive = (b[0] & 0x80) != 0;
  int exponent = positive ? b[0] - 0xC1 : 0x3E - b[0];
  std::string digits;
  for (ub1 i = 1; i < len; ++i) {
    int m = positive ? b[i] - 1 : (b[i] == 102 ? -1 : 101 - b[i]);
    if (m < 0 && !positive) break;
    if (m < 0 || m > 99) throw MakeError(22060, "argument [2] is an invalid or uninitialized number");
    digits += static_cast<char>('0' + m / 10);
    digits += static_cast<char>('0' + m % 10);
  }
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return d;
  size_t last = digits.find_last_not_of('0');
  d.negative = !positive;
  d.point = 2 * (exponent + 1) - static_cast<int>(first);
  d.digits = digits.substr(first, last - first + 1);
  return d;
}

void StoreNumber(const Value& v, OCINumber* n) {
  std::string bytes = EncodeNumber(v);
  std::memset(n->OCINumberPart, 0, sizeof n->OCINumberPart);
  n->OCINumberPart[0] = static_cast<ub1>(bytes.size());
  std::memcpy(n->OCINumberPart + 1, bytes.data(), bytes.size());
}

// A number format model of the kind "FM999D99": fill mode, digit positions before and after the
// decimal separator.
struct NumberModel {
  bool fillMode = false;
  int intDigits = 0;
  int fracDigits = 0;
  bool separator = false;
  bool leadingZero = false;  // a 0 among the integer positions
};

NumberModel ParseModel(const std::string& fmt) {
  NumberModel m;
  std::string f = UpperCase(fmt);
  size_t i = 0;
  if (f.compare(0, 2, "FM") == 0) {
    m.fillMode = true;
    i = 2;
  }
  for (; i < f.size(); ++i) {
    char c = f[i];
    if (c == '9' || c == '0') {
      if (m.separator) {
        ++m.fracDigits;
      } else {
        ++m.intDigits;
        if (c == '0') m.leadingZero = true;
      }
    } else if ((c == 'D' || c == '.') && !m.separator) {
      m.separator = true;
    } else {
      throw MakeError(1481, "invalid number format model");
    }
  }
  if (m.intDigits + m.fracDigits == 0) throw MakeError(1481, "invalid number format model");
  return m;
}

// The digits of |value| rounded (half away from zero) to `decimals` places: integer part (no leading
// zeros, "" for zero) and fraction (exactly `decimals` digits).
void Round(const Digits& d, int decimals, std::string& intPart, std::string& frac) {
  // All digits from the units position: value = D.DDD with `point` integer digits.
  std::string all = d.digits;
  int point = d.point;
  if (point < 0) {
    all.insert(0, static_cast<size_t>(-point), '0');
    point = 0;
  }
  if (static_cast<int>(all.size()) < point) all.append(static_cast<size_t>(point) - all.size(), '0');
  size_t keep = static_cast<size_t>(point + decimals);
  if (all.size() > keep) {
    bool up = all[keep] >= '5';
    all.resize(keep);
    for (size_t k = keep; up && k > 0; --k) {
      if (all[k - 1] == '9') {
        all[k - 1] = '0';
      } else {
        ++all[k - 1];
        up = false;
      }
    }
    if (up) {
      all.insert(all.begin(), '1');
      ++point;
    }
  } else {
    all.append(keep - all.size(), '0');
  }
  intPart = all.substr(0, static_cast<size_t>(point));
  frac = all.substr(static_cast<size_t>(point));
  size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? std::string() : intPart.substr(nz);
}

std::string FormatNumber(const OCINumber* n, const std::string& fmt) {
  Digits d = DigitsOf(n);
  if (fmt.empty()) {  // the default conversion
    Value v = DecodeNumber(n->OCINumberPart + 1, n->OCINumberPart[0]);
    return ValueText(v);
  }
  NumberModel m = ParseModel(fmt);
  std::string intPart, frac;
  Round(d, m.fracDigits, intPart, frac);
  const bool zero = intPart.empty() && frac.find_first_not_of('0') == std::string::npos;
  const size_t width = 1 + static_cast<size_t>(m.intDigits) + (m.separator ? 1 + m.fracDigits : 0);
  if (static_cast<int>(intPart.size()) > m.intDigits) return std::string(width, '#');
  if (m.leadingZero) {
    intPart.insert(0, static_cast<size_t>(m.intDigits) - intPart.size(), '0');
  } else if (intPart.empty() && (zero || !m.separator || m.fracDigits == 0)) {
    intPart = "0";
  }
  if (m.fillMode) {
    size_t last = frac.find_last_not_of('0');
    frac = last == std::string::npos ? std::string() : frac.substr(0, last + 1);
  }
  std::string out = (d.negative && !zero ? "-" : "") + intPart;
  if (m.separator) out += "." + frac;
  if (!m.fillMode && out.size() < width) out.insert(0, width - out.size(), ' ');
  return out;
}

// ---- Strings and raws

// Sets the string or raw in the program's cell `lhs` (a new one when the cell is empty) to the
// `length` bytes at `rhs`; `Bytes` is the member holding them.
template <typename T, std::string T::*Bytes>
sword AssignBytes(OCIEnv* env, OCIError* err, const void* rhs, ub4 length, T** lhs, ub4 kind,
                  T* (*make)(OCIEnv*)) {
  if (!EnvArgs(env, err) || !lhs) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    void* old = LoadPtr(lhs);  // the program's cell may lie unaligned in an instance
    T* item = old ? FindItemAs<T>(old, kind) : make(env);
    if (!item) BadArgument(5);
    item->*Bytes = rhs ? std::string(static_cast<const char*>(rhs), length) : std::string();
    StorePtr(lhs, item);
    return OCI_SUCCESS;
  });
}

// ---- REF hex form

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string RefHex(const OCIRef* r) {
  if (r->bytes.empty()) return std::string();
  std::string out;
  out.reserve(2 * (r->bytes.size() + 1));
  auto put = [&](unsigned char b) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  };
  put(r->kind);
  for (char c : r->bytes) put(static_cast<unsigned char>(c));
  return out;
}

// ---- Collections

OCIColl* RequireColl(const void* p) {
  auto* c = FindItemAs<OCIColl>(p, kItemColl);
  if (!c) NotAnObject();
  return c;
}

std::string Bracket(long long v) {
  return "[" + std::to_string(v) + "]";
}

}  // namespace

extern "C" {

// ---- Strings and raws

text* OCIStringPtr(OCIEnv*, const OCIString* vs) {
  auto* s = FindItemAs<OCIString>(vs, kItemString);
  return s ? reinterpret_cast<text*>(s->text.data()) : nullptr;
}

ub4 OCIStringSize(OCIEnv*, const OCIString* vs) {
  auto* s = FindItemAs<OCIString>(vs, kItemString);
  return s ? static_cast<ub4>(s->text.size()) : 0;
}

sword OCIStringAssignText(OCIEnv* env, OCIError* err, const text* rhs, ub4 rhs_len, OCIString** lhs) {
  return AssignBytes<OCIString, &OCIString::text>(env, err, rhs, rhs_len, lhs, kItemString, NewString);
}

ub1* OCIRawPtr(OCIEnv*, const OCIRaw* raw) {
  auto* r = FindItemAs<OCIRaw>(raw, kItemRaw);
  return r ? reinterpret_cast<ub1*>(r->bytes.data()) : nullptr;
}

ub4 OCIRawSize(OCIEnv*, const OCIRaw* raw) {
  auto* r = FindItemAs<OCIRaw>(raw, kItemRaw);
  return r ? static_cast<ub4>(r->bytes.size()) : 0;
}

sword OCIRawAssignBytes(OCIEnv* env, OCIError* err, const ub1* rhs, ub4 rhs_len, OCIRaw** lhs) {
  return AssignBytes<OCIRaw, &OCIRaw::bytes>(env, err, rhs, rhs_len, lhs, kItemRaw, NewRaw);
}

// ---- Numbers

sword OCINumberFromInt(OCIError* err, const dvoid* inum, uword inum_length, uword inum_s_flag,
                       OCINumber* number) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!inum) BadArgument(2);
    if (!number) BadArgument(5);
    const bool isSigned = inum_s_flag == OCI_NUMBER_SIGNED;
    Value v;
    auto load = [&](auto type) {
      decltype(type) x;
      std::memcpy(&x, inum, sizeof x);
      return x;
    };
    switch (inum_length) {
      case 1:
        v = Value::MakeInt(isSigned ? load(int8_t{}) : load(uint8_t{}));
        break;
      case 2:
        v = Value::MakeInt(isSigned ? load(int16_t{}) : load(uint16_t{}));
        break;
      case 4:
        v = Value::MakeInt(isSigned ? load(int32_t{}) : load(uint32_t{}));
        break;
      case 8:
        if (isSigned) {
          v = Value::MakeInt(load(int64_t{}));
        } else {
          v = Value::MakeText(std::to_string(load(uint64_t{})));
        }
        break;
      default:
        BadArgument(3);
    }
    StoreNumber(v, number);
    return OCI_SUCCESS;
  });
}

sword OCINumberToInt(OCIError* err, const OCINumber* number, uword rsl_length, uword rsl_flag, dvoid* rsl) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!number) BadArgument(2);
    if (!rsl) BadArgument(5);
    if (rsl_length != 1 && rsl_length != 2 && rsl_length != 4 && rsl_length != 8) BadArgument(3);
    std::string intPart, frac;
    Digits d = DigitsOf(number);
    Round(d, 0, intPart, frac);
    const bool isSigned = rsl_flag == OCI_NUMBER_SIGNED;
    // Magnitude limits of the result type.
    const unsigned bits = rsl_length * 8;
    const unsigned long long maxPos = isSigned
                                          ? (bits == 64 ? 0x7FFFFFFFFFFFFFFFull : (1ull << (bits - 1)) - 1)
                                          : (bits == 64 ? ~0ull : (1ull << bits) - 1);
    const unsigned long long maxNeg = isSigned ? maxPos + 1 : 0;
    unsigned long long mag = 0;
    bool overflow = intPart.size() > 20;
    for (char c : intPart) {
      if (overflow) break;
      unsigned digit = static_cast<unsigned>(c - '0');
      if (mag > (~0ull - digit) / 10) {
        overflow = true;
        break;
      }
      mag = mag * 10 + digit;
    }
    const bool negative = d.negative && mag != 0;
    if (overflow || (negative ? mag > maxNeg : mag > maxPos)) throw MakeError(22053, "overflow error");
    unsigned long long bitsOut = negative ? (~mag + 1) : mag;  // two's complement of the value
    std::memcpy(rsl, &bitsOut, rsl_length);                    // little-endian: the low bytes
    return OCI_SUCCESS;
  });
}

sword OCINumberFromReal(OCIError* err, const dvoid* rnum, uword rnum_length, OCINumber* number) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!rnum) BadArgument(2);
    if (!number) BadArgument(4);
    double v = 0;
    if (rnum_length == sizeof(float)) {
      float f;
      std::memcpy(&f, rnum, sizeof f);
      v = f;
    } else if (rnum_length == sizeof(double)) {
      std::memcpy(&v, rnum, sizeof v);
    } else {
      BadArgument(3);
    }
    if (!std::isfinite(v))
      throw MakeError(22065, "number to text translation for the given format causes overflow");
    StoreNumber(Value::MakeReal(v), number);
    return OCI_SUCCESS;
  });
}

sword OCINumberToReal(OCIError* err, const OCINumber* number, uword rsl_length, dvoid* rsl) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!number) BadArgument(2);
    if (!rsl) BadArgument(4);
    DigitsOf(number);  // validates
    Value v = DecodeNumber(number->OCINumberPart + 1, number->OCINumberPart[0]);
    double d = v.kind == Value::Int ? static_cast<double>(v.i) : v.d;
    if (rsl_length == sizeof(float)) {
      auto f = static_cast<float>(d);
      std::memcpy(rsl, &f, sizeof f);
    } else if (rsl_length == sizeof(double)) {
      std::memcpy(rsl, &d, sizeof d);
    } else {
      BadArgument(3);
    }
    return OCI_SUCCESS;
  });
}

sword OCINumberToText(OCIError* err, const OCINumber* number, const text* fmt, ub4 fmt_length, const text*,
                      ub4, ub4* buf_size, text* buf) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!number) BadArgument(2);
    if (!buf_size || !buf) BadArgument(7);
    std::string out = FormatNumber(number, ArgText(fmt, fmt ? static_cast<sb4>(fmt_length) : 0));
    if (out.size() > *buf_size)
      throw MakeError(22065, "number to text translation for the given format causes overflow");
    std::memcpy(buf, out.data(), out.size());
    if (out.size() < *buf_size) buf[out.size()] = '\0';
    *buf_size = static_cast<ub4>(out.size());
    return OCI_SUCCESS;
  });
}

sword OCINumberFromText(OCIError* err, const text* str, ub4 str_length, const text* fmt, ub4 fmt_length,
                        const text*, ub4, OCINumber* number) {
  if (!IsHandle(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (!str) BadArgument(2);
    if (!number) BadArgument(8);
    std::string f = ArgText(fmt, fmt ? static_cast<sb4>(fmt_length) : 0);
    if (!f.empty()) ParseModel(f);
    std::string s = ArgText(str, static_cast<sb4>(str_length));
    if (s.find_first_not_of(" \t") == std::string::npos) throw MakeError(1722, "invalid number");
    StoreNumber(Value::MakeText(s), number);
    return OCI_SUCCESS;
  });
}

// ---- REFs

sword OCIRefAssign(OCIEnv* env, OCIError* err, const OCIRef* source, OCIRef** target) {
  if (!EnvArgs(env, err) || !target) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    auto* src = FindItemAs<OCIRef>(source, kItemRef);
    if (!src) BadArgument(3);
    void* old = LoadPtr(target);
    OCIRef* dst = old ? FindItemAs<OCIRef>(old, kItemRef) : NewRef(env);
    if (!dst) BadArgument(4);
    dst->kind = src->kind;
    dst->bytes = src->bytes;
    dst->svc = src->svc;
    StorePtr(target, dst);
    return OCI_SUCCESS;
  });
}

void OCIRefClear(OCIEnv*, OCIRef* ref) {
  if (auto* r = FindItemAs<OCIRef>(ref, kItemRef)) r->bytes.clear();
}

boolean OCIRefIsNull(OCIEnv*, const OCIRef* ref) {
  auto* r = FindItemAs<OCIRef>(ref, kItemRef);
  return !r || r->bytes.empty() ? TRUE : FALSE;
}

ub4 OCIRefHexSize(OCIEnv*, const OCIRef* ref) {
  auto* r = FindItemAs<OCIRef>(ref, kItemRef);
  return r && !r->bytes.empty() ? static_cast<ub4>(2 * (r->bytes.size() + 1)) : 0;
}

sword OCIRefToHex(OCIEnv* env, OCIError* err, const OCIRef* ref, text* hex, ub4* hex_length) {
  if (!EnvArgs(env, err) || !hex_length) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    auto* r = FindItemAs<OCIRef>(ref, kItemRef);
    if (!r) BadArgument(3);
    std::string out = RefHex(r);
    if (out.size() > *hex_length || (!hex && !out.empty())) BadArgument(5);
    if (!out.empty()) std::memcpy(hex, out.data(), out.size());
    *hex_length = static_cast<ub4>(out.size());
    return OCI_SUCCESS;
  });
}

sword OCIRefFromHex(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* hex, ub4 length,
                    OCIRef** ref) {
  if (!EnvArgs(env, err) || !ref) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    std::string h = ArgText(hex, hex ? static_cast<sb4>(length) : 0);
    if (h.size() % 2 != 0 || h.size() == 2 || h.size() > 2 * 80) throw MakeError(1465, "invalid hex number");
    std::string bytes;
    for (size_t i = 0; i < h.size(); i += 2) {
      int hi = HexDigit(h[i]), lo = HexDigit(h[i + 1]);
      if (hi < 0 || lo < 0) throw MakeError(1465, "invalid hex number");
      bytes += static_cast<char>(hi * 16 + lo);
    }
    ub1 kind = bytes.empty() ? kRefToRow : static_cast<ub1>(bytes[0]);
    if (kind != kRefToRow && kind != kRefToType) throw MakeError(1465, "invalid hex number");
    void* old = LoadPtr(ref);
    OCIRef* r = old ? FindItemAs<OCIRef>(old, kItemRef) : NewRef(env);
    if (!r) BadArgument(6);
    r->kind = kind;
    r->bytes = bytes.empty() ? std::string() : bytes.substr(1);
    r->svc = IsHandle(svc, OCI_HTYPE_SVCCTX) ? const_cast<OCISvcCtx*>(svc) : r->svc;
    StorePtr(ref, r);
    return OCI_SUCCESS;
  });
}

// ---- Collections

sword OCICollSize(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4* size) {
  if (!EnvArgs(env, err) || !size) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    *size = static_cast<sb4>(RequireColl(coll)->elems.size());
    return OCI_SUCCESS;
  });
}

sb4 OCICollMax(OCIEnv*, const OCIColl* coll) {
  auto* c = FindItemAs<OCIColl>(coll, kItemColl);
  return c && c->type->desc.kind == TypeDesc::Kind::VArray ? static_cast<sb4>(c->type->desc.maxElements) : 0;
}

sword OCICollGetElem(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4 index, boolean* exists,
                     dvoid** elem, dvoid** elemind) {
  if (!EnvArgs(env, err) || !exists || !elem) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIColl* c = RequireColl(coll);
    *exists = FALSE;
    *elem = nullptr;
    if (elemind) *elemind = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= c->elems.size() || !c->elems[index].exists)
      return OCI_SUCCESS;
    OCIColl::Elem& e = c->elems[index];
    *exists = TRUE;
    *elem = e.cell.get();
    if (elemind) *elemind = e.nulls.data();
    return OCI_SUCCESS;
  });
}

sword OCICollAssignElem(OCIEnv* env, OCIError* err, sb4 index, const dvoid* elem, const dvoid* elemind,
                        OCIColl* coll) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIColl* c = RequireColl(coll);
    if (index < 0 || static_cast<size_t>(index) >= c->elems.size())
      throw MakeError(22165, "given index " + Bracket(index) + " must be in the range of [0] to " +
                                 Bracket(static_cast<long long>(c->elems.size()) - 1));
    Value v = PassedValue(env, c->type->element, elem, elemind);
    OCIColl::Elem& e = c->elems[index];
    FillSlot(ObjectContext{env, nullptr}, c->type->element, e.cell.get(), e.nulls.data(), v);
    e.exists = true;
    return OCI_SUCCESS;
  });
}

sword OCICollAppend(OCIEnv* env, OCIError* err, const dvoid* elem, const dvoid* elemind, OCIColl* coll) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIColl* c = RequireColl(coll);
    if (c->type->desc.kind == TypeDesc::Kind::VArray &&
        static_cast<int64_t>(c->elems.size()) >= c->type->desc.maxElements)
      throw MakeError(22909, "exceeded maximum VARRAY limit");
    Value v = PassedValue(env, c->type->element, elem, elemind);
    OCIColl::Elem e = NewElement(env, c->type);
    try {
      FillSlot(ObjectContext{env, nullptr}, c->type->element, e.cell.get(), e.nulls.data(), v);
    } catch (...) {
      FreeElement(c, e);
      throw;
    }
    c->elems.push_back(std::move(e));
    c->nulls[0] = OCI_IND_NOTNULL;
    return OCI_SUCCESS;
  });
}

sword OCICollTrim(OCIEnv* env, OCIError* err, sb4 trim_num, OCIColl* coll) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIColl* c = RequireColl(coll);
    if (trim_num < 0 || static_cast<size_t>(trim_num) > c->elems.size())
      throw MakeError(22167, "given trim size " + Bracket(trim_num) + " must be less than or equal to " +
                                 Bracket(static_cast<long long>(c->elems.size())));
    for (sb4 k = 0; k < trim_num; ++k) {
      FreeElement(c, c->elems.back());
      c->elems.pop_back();
    }
    return OCI_SUCCESS;
  });
}

sword OCITableDelete(OCIEnv* env, OCIError* err, sb4 index, OCITable* tbl) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIColl* c = RequireColl(tbl);
    if (c->type->desc.kind != TypeDesc::Kind::NestedTable) BadArgument(4);
    if (index < 0 || static_cast<size_t>(index) >= c->elems.size() || !c->elems[index].exists)
      throw MakeError(22160, "element at index " + Bracket(index) + " does not exist");
    OCIColl::Elem& e = c->elems[index];
    e.exists = false;
    std::fill(e.nulls.begin(), e.nulls.end(), OCI_IND_NULL);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
