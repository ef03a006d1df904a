#include "oracle_sim/OciConvert.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace oracle_sim::oci {

namespace {

[[noreturn]] void Fail(int code, const char* text) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "ORA-%05d: ", code);
  throw OraError(code, std::string(buf) + text);
}

[[noreturn]] void InvalidNumber() {
  Fail(1722, "invalid number");
}

[[noreturn]] void InconsistentTypes() {
  Fail(932, "inconsistent datatypes");
}

// A decimal number as sign, significant digits (no leading or trailing zeros) and the position of
// the decimal point: value = 0.DIGITS x 10^point. Zero has no digits.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

// Parses "[+-]digits[.digits][e[+-]digits]" with surrounding blanks; false when it is not a number.
bool ParseDecimal(std::string_view text, Decimal& out) {
  size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  if (i == n) return false;
  out = Decimal();
  if (text[i] == '+' || text[i] == '-') {
    out.negative = text[i] == '-';
    ++i;
  }
  std::string all;
  int intDigits = 0;
  bool seenPoint = false, any = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      all += c;
      any = true;
      if (!seenPoint) ++intDigits;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
    if (i == n) return false;
    for (; i < n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negExp) exponent = -exponent;
  }
  if (i != n) return false;
  size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) {  // zero
    out.negative = false;
    return true;
  }
  size_t last = all.find_last_not_of('0');
  out.digits = all.substr(first, last - first + 1);
  out.point = intDigits - static_cast<int>(first) + static_cast<int>(exponent);
  return true;
}

Decimal ToDecimal(const Value& v) {
  Decimal d;
  switch (v.kind) {
    case Value::Int: {
      std::string s = std::to_string(v.i);
      ParseDecimal(s, d);
      return d;
    }
    case Value::Real: {
      if (!std::isfinite(v.d)) Fail(1426, "numeric overflow");
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, v.d);
      ParseDecimal(std::string_view(buf, r.ptr - buf), d);
      return d;
    }
    case Value::Text:
      if (!ParseDecimal(v.s, d)) InvalidNumber();
      return d;
    default:
      InconsistentTypes();
  }
}

// The value as a double (numbers and numeric text).
double ToDouble(const Value& v) {
  switch (v.kind) {
    case Value::Int:
      return static_cast<double>(v.i);
    case Value::Real:
      return v.d;
    case Value::Text: {
      Decimal d;
      if (!ParseDecimal(v.s, d)) InvalidNumber();
      return std::strtod(v.s.c_str(), nullptr);
    }
    default:
      InconsistentTypes();
  }
}

// The value as a whole number (numbers are rounded half away from zero).
bool ToInteger(const Value& v, long double& out) {
  if (v.kind == Value::Int) {
    out = static_cast<long double>(v.i);
    return true;
  }
  double d = ToDouble(v);
  if (!std::isfinite(d)) return false;
  out = std::round(static_cast<long double>(d));
  return true;
}

template <typename T>
void Store(void* buf, T v) {
  std::memcpy(buf, &v, sizeof v);
}

template <typename T>
T Load(const void* buf) {
  T v;
  std::memcpy(&v, buf, sizeof v);
  return v;
}

WriteOutcome CopyBytes(const std::string& data, char* dest, ub4 capacity) {
  WriteOutcome r;
  r.fullLength = static_cast<ub4>(data.size());
  r.length = std::min<ub4>(capacity, r.fullLength);
  if (r.length > 0) std::memcpy(dest, data.data(), r.length);
  if (r.length < r.fullLength) r.rcode = 1406;
  return r;
}

bool DaysValid(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  int max = kDays[month - 1];
  if (month == 2) {
    // Oracle's calendar is Julian before 1582 and Gregorian after.
    bool leap = year <= 1582 ? year % 4 == 0 : (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0));
    if (leap) max = 29;
  }
  return day <= max;
}

}  // namespace

std::string EncodeNumber(const Value& v) {
  Decimal d = ToDecimal(v);
  if (d.digits.empty()) return std::string(1, static_cast<char>(0x80));
  std::string digits = d.digits;
  int point = d.point;
  if (point % 2 != 0) {  // align the point on a base-100 digit
    digits.insert(digits.begin(), '0');
    ++point;
  }
  if (digits.size() % 2 != 0) digits += '0';
  int exponent = point / 2 - 1;
  std::vector<int> mantissa;
  for (size_t i = 0; i < digits.size(); i += 2)
    mantissa.push_back((digits[i] - '0') * 10 + (digits[i + 1] - '0'));
  if (mantissa.size() > 20) {  // round to 20 base-100 digits (38 to 40 decimal digits)
    bool up = mantissa[20] >= 50;
    mantissa.resize(20);
    for (int i = 19; up && i >= 0; --i) {
      if (++mantissa[i] == 100) {
        mantissa[i] = 0;
      } else {
        up = false;
      }
    }
    if (up) {
      mantissa.insert(mantissa.begin(), 1);
      mantissa.resize(20);
      ++exponent;
    }
    while (!mantissa.empty() && mantissa.back() == 0) mantissa.pop_back();
  }
  if (exponent > 62) Fail(1426, "numeric overflow");
  if (exponent < -65) return std::string(1, static_cast<char>(0x80));  // underflows to zero
  std::string out;
  if (!d.negative) {
    out += static_cast<char>(0xC1 + exponent);
    for (int m : mantissa) out += static_cast<char>(m + 1);
  } else {
    out += static_cast<char>(0x3E - exponent);
    for (int m : mantissa) out += static_cast<char>(101 - m);
    if (mantissa.size() < 20) out += static_cast<char>(102);
  }
  return out;
}

Value DecodeNumber(const ub1* bytes, size_t length) {
  if (length == 0 || length > 21) InvalidNumber();
  ub1 head = bytes[0];
  if (head == 0x80) {
    if (length != 1) InvalidNumber();
    return Value::MakeInt(0);
  }
  bool positive = (head & 0x80) != 0;
  int exponent = positive ? head - 0xC1 : 0x3E - head;
  std::string digits;
  for (size_t i = 1; i < length; ++i) {
    int m;
    if (positive) {
      m = bytes[i] - 1;
    } else {
      if (bytes[i] == 102) break;
      m = 101 - bytes[i];
    }
    if (m < 0 || m > 99) InvalidNumber();
    digits += static_cast<char>('0' + m / 10);
    digits += static_cast<char>('0' + m % 10);
  }
  if (digits.empty()) InvalidNumber();
  int point = 2 * (exponent + 1);
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return Value::MakeInt(0);
  size_t last = digits.find_last_not_of('0');
  point -= static_cast<int>(first);
  digits = digits.substr(first, last - first + 1);
  int n = static_cast<int>(digits.size());
  if (point >= n && point <= 18) {
    int64_t value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    for (int i = n; i < point; ++i) value *= 10;
    return Value::MakeInt(positive ? value : -value);
  }
  std::string text = (positive ? "0." : "-0.") + digits + "e" + std::to_string(point);
  return Value::MakeReal(std::strtod(text.c_str(), nullptr));
}

void EncodeDate(const DateTime& dt, ub1 out[7]) {
  out[0] = static_cast<ub1>(dt.year / 100 + 100);
  out[1] = static_cast<ub1>(dt.year % 100 + 100);
  out[2] = static_cast<ub1>(dt.month);
  out[3] = static_cast<ub1>(dt.day);
  out[4] = static_cast<ub1>(dt.hour + 1);
  out[5] = static_cast<ub1>(dt.minute + 1);
  out[6] = static_cast<ub1>(dt.second + 1);
}

DateTime FromOCIDate(const OCIDate& d) {
  DateTime dt;
  dt.year = d.OCIDateYYYY;
  dt.month = d.OCIDateMM;
  dt.day = d.OCIDateDD;
  dt.hour = d.OCIDateTime.OCITimeHH;
  dt.minute = d.OCIDateTime.OCITimeMI;
  dt.second = d.OCIDateTime.OCITimeSS;
  return dt;
}

OCIDate ToOCIDate(const DateTime& dt) {
  OCIDate d{};
  d.OCIDateYYYY = static_cast<sb2>(dt.year);
  d.OCIDateMM = static_cast<ub1>(dt.month);
  d.OCIDateDD = static_cast<ub1>(dt.day);
  d.OCIDateTime.OCITimeHH = static_cast<ub1>(dt.hour);
  d.OCIDateTime.OCITimeMI = static_cast<ub1>(dt.minute);
  d.OCIDateTime.OCITimeSS = static_cast<ub1>(dt.second);
  return d;
}

DateTime DecodeDate(const ub1 in[7]) {
  DateTime dt;
  dt.year = (in[0] - 100) * 100 + (in[1] - 100);
  dt.month = in[2];
  dt.day = in[3];
  dt.hour = in[4] - 1;
  dt.minute = in[5] - 1;
  dt.second = in[6] - 1;
  if (dt.year < -4712 || dt.year > 9999 || dt.year == 0)
    Fail(1841, "(full) year must be between -4713 and +9999, and not be 0");
  if (dt.month < 1 || dt.month > 12) Fail(1843, "not a valid month");
  if (!DaysValid(dt.year, dt.month, dt.day)) Fail(1839, "date not valid for month specified");
  if (dt.hour < 0 || dt.hour > 23) Fail(1850, "hour must be between 0 and 23");
  if (dt.minute < 0 || dt.minute > 59) Fail(1851, "minutes must be between 0 and 59");
  if (dt.second < 0 || dt.second > 59) Fail(1852, "seconds must be between 0 and 59");
  return dt;
}

bool IsLongType(ub2 dty) {
  return dty == SQLT_LNG || dty == SQLT_LBI;
}

std::string ValueText(const Value& v) {
  return v.ToText();
}

const std::string& Payload(const Value& v, std::string& scratch) {
  if (v.kind == Value::Text || v.kind == Value::Bytes) return v.s;
  scratch = ValueText(v);
  return scratch;
}

namespace {

// A value written as characters: a RAW value is its bytes in upper-case hex, as the server converts it.
const std::string& CharPayload(const Value& v, std::string& scratch) {
  if (v.kind != Value::Bytes) return Payload(v, scratch);
  static constexpr char kHex[] = "0123456789ABCDEF";
  scratch.clear();
  scratch.reserve(v.s.size() * 2);
  for (unsigned char c : v.s) {
    scratch += kHex[c >> 4];
    scratch += kHex[c & 15];
  }
  return scratch;
}

}  // namespace

Value ReadExternal(ub2 dty, const void* buf, ub4 length, bool lengthGiven) {
  const char* p = static_cast<const char*>(buf);
  switch (dty) {
    case SQLT_STR:
    case SQLT_AVC: {
      size_t n = length > 0 ? strnlen(p, length) : 0;
      return Value::MakeText(std::string(p, n));
    }
    case SQLT_CHR:
    case SQLT_AFC:
    case SQLT_RID:
      return Value::MakeText(std::string(p, length));
    case SQLT_LNG: {
      size_t n = lengthGiven ? length : strnlen(p, length);
      return Value::MakeText(std::string(p, n));
    }
    case SQLT_VCS: {
      if (length < 2) return Value();
      sb2 n = Load<sb2>(p);
      if (n < 0 || static_cast<ub4>(n) > length - 2) n = static_cast<sb2>(length - 2);
      return Value::MakeText(std::string(p + 2, n));
    }
    case SQLT_LVC:
    case SQLT_LVB: {
      if (length < 4) return Value();
      sb4 n = Load<sb4>(p);
      if (n < 0 || static_cast<ub4>(n) > length - 4) n = static_cast<sb4>(length - 4);
      std::string s(p + 4, n);
      return dty == SQLT_LVC ? Value::MakeText(std::move(s)) : Value::MakeBytes(std::move(s));
    }
    case SQLT_BIN:
    case SQLT_LBI:
      return Value::MakeBytes(std::string(p, length));
    case SQLT_INT:
    case SQLT_BOL:
      switch (length) {
        case 1:
          return Value::MakeInt(Load<int8_t>(p));
        case 2:
          return Value::MakeInt(Load<int16_t>(p));
        case 4:
          return Value::MakeInt(Load<int32_t>(p));
        case 8:
          return Value::MakeInt(Load<int64_t>(p));
      }
      Fail(1458, "invalid length inside variable character string");
    case SQLT_UIN:
      switch (length) {
        case 1:
          return Value::MakeInt(Load<uint8_t>(p));
        case 2:
          return Value::MakeInt(Load<uint16_t>(p));
        case 4:
          return Value::MakeInt(Load<uint32_t>(p));
        case 8: {
          uint64_t u = Load<uint64_t>(p);
          if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return Value::MakeReal(static_cast<double>(u));
          return Value::MakeInt(static_cast<int64_t>(u));
        }
      }
      Fail(1458, "invalid length inside variable character string");
    case SQLT_FLT: {
      double d;
      if (length == 4) {
        d = Load<float>(p);
      } else if (length == 8) {
        d = Load<double>(p);
      } else {
        Fail(1458, "invalid length inside variable character string");
      }
      if (!std::isfinite(d)) Fail(1426, "numeric overflow");
      // NUMBER has no separate integer type: a whole float is the same number as an integer.
      if (d == std::trunc(d) && std::fabs(d) < 9.0e18) return Value::MakeInt(static_cast<int64_t>(d));
      return Value::MakeReal(d);
    }
    case SQLT_NUM:
      return DecodeNumber(reinterpret_cast<const ub1*>(p), length);
    case SQLT_VNU: {
      if (length < 1) InvalidNumber();
      ub1 n = static_cast<ub1>(p[0]);
      if (n == 0) return Value();
      if (static_cast<ub4>(n) + 1 > length) InvalidNumber();
      return DecodeNumber(reinterpret_cast<const ub1*>(p) + 1, n);
    }
    case SQLT_DAT: {
      if (length < 7) Fail(1858, "a non-numeric character was found where a numeric was expected");
      return Value::MakeDate(DecodeDate(reinterpret_cast<const ub1*>(p)));
    }
    case SQLT_ODT: {
      if (length < sizeof(OCIDate))
        Fail(1858, "a non-numeric character was found where a numeric was expected");
      ub1 raw[7];
      EncodeDate(FromOCIDate(Load<OCIDate>(p)), raw);
      return Value::MakeDate(DecodeDate(raw));
    }
    default:
      Fail(3001, "unimplemented feature");
  }
}

WriteOutcome WriteExternal(ub2 dty, const Value& v, void* buf, ub4 size) {
  char* p = static_cast<char*>(buf);
  std::string scratch;
  switch (dty) {
    case SQLT_STR: {
      if (size == 0) return WriteOutcome{0, static_cast<ub4>(CharPayload(v, scratch).size()), 1406};
      WriteOutcome r = CopyBytes(CharPayload(v, scratch), p, size - 1);
      p[r.length] = '\0';
      return r;
    }
    case SQLT_AVC: {
      if (size == 0) return WriteOutcome{0, static_cast<ub4>(CharPayload(v, scratch).size()), 1406};
      WriteOutcome r = CopyBytes(CharPayload(v, scratch), p, size - 1);
      std::memset(p + r.length, ' ', size - 1 - r.length);
      p[size - 1] = '\0';
      r.length = size - 1;
      return r;
    }
    case SQLT_AFC: {
      WriteOutcome r = CopyBytes(CharPayload(v, scratch), p, size);
      std::memset(p + r.length, ' ', size - r.length);
      r.length = size;
      return r;
    }
    case SQLT_CHR:
    case SQLT_RID:
    case SQLT_LNG:
      if (v.kind == Value::Bytes && dty == SQLT_LNG) return CopyBytes(v.s, p, size);
      return CopyBytes(CharPayload(v, scratch), p, size);
    case SQLT_BIN:
    case SQLT_LBI:
      if (v.kind != Value::Bytes && v.kind != Value::Text) InconsistentTypes();
      return CopyBytes(v.s, p, size);
    case SQLT_VCS: {
      if (size < 2) return WriteOutcome{0, 0, 1406};
      WriteOutcome r = CopyBytes(Payload(v, scratch), p + 2, size - 2);
      Store<sb2>(p, static_cast<sb2>(r.length));
      r.length += 2;
      r.fullLength += 2;
      return r;
    }
    case SQLT_LVC:
    case SQLT_LVB: {
      if (size < 4) return WriteOutcome{0, 0, 1406};
      if (dty == SQLT_LVB && v.kind != Value::Bytes && v.kind != Value::Text) InconsistentTypes();
      WriteOutcome r = CopyBytes(dty == SQLT_LVB ? v.s : CharPayload(v, scratch), p + 4, size - 4);
      Store<sb4>(p, static_cast<sb4>(r.length));
      r.length += 4;
      r.fullLength += 4;
      return r;
    }
    case SQLT_INT:
    case SQLT_UIN: {
      long double x;
      if (!ToInteger(v, x)) Fail(1455, "converting column overflows integer datatype");
      bool ok = true;
      if (dty == SQLT_INT) {
        switch (size) {
          case 1:
            ok = x >= INT8_MIN && x <= INT8_MAX;
            if (ok) Store<int8_t>(p, static_cast<int8_t>(x));
            break;
          case 2:
            ok = x >= INT16_MIN && x <= INT16_MAX;
            if (ok) Store<int16_t>(p, static_cast<int16_t>(x));
            break;
          case 4:
            ok = x >= INT32_MIN && x <= INT32_MAX;
            if (ok) Store<int32_t>(p, static_cast<int32_t>(x));
            break;
          case 8:
            ok = x >= static_cast<long double>(INT64_MIN) && x <= static_cast<long double>(INT64_MAX);
            if (ok) Store<int64_t>(p, v.kind == Value::Int ? v.i : static_cast<int64_t>(x));
            break;
          default:
            Fail(1458, "invalid length inside variable character string");
        }
      } else {
        ok = x >= 0;
        switch (size) {
          case 1:
            ok = ok && x <= UINT8_MAX;
            if (ok) Store<uint8_t>(p, static_cast<uint8_t>(x));
            break;
          case 2:
            ok = ok && x <= UINT16_MAX;
            if (ok) Store<uint16_t>(p, static_cast<uint16_t>(x));
            break;
          case 4:
            ok = ok && x <= UINT32_MAX;
            if (ok) Store<uint32_t>(p, static_cast<uint32_t>(x));
            break;
          case 8:
            ok = ok && x <= static_cast<long double>(UINT64_MAX);
            if (ok) Store<uint64_t>(p, static_cast<uint64_t>(x));
            break;
          default:
            Fail(1458, "invalid length inside variable character string");
        }
      }
      if (!ok) Fail(1455, "converting column overflows integer datatype");
      return WriteOutcome{size, size, 0};
    }
    case SQLT_FLT: {
      double d = ToDouble(v);
      if (size == 4) {
        Store<float>(p, static_cast<float>(d));
      } else if (size == 8) {
        Store<double>(p, d);
      } else {
        Fail(1458, "invalid length inside variable character string");
      }
      return WriteOutcome{size, size, 0};
    }
    case SQLT_NUM: {
      std::string n = EncodeNumber(v);
      if (n.size() > size) Fail(1406, "fetched column value was truncated");
      std::memcpy(p, n.data(), n.size());
      ub4 len = static_cast<ub4>(n.size());
      return WriteOutcome{len, len, 0};
    }
    case SQLT_VNU: {
      std::string n = EncodeNumber(v);
      if (n.size() + 1 > size) Fail(1406, "fetched column value was truncated");
      p[0] = static_cast<char>(n.size());
      std::memcpy(p + 1, n.data(), n.size());
      ub4 len = static_cast<ub4>(n.size() + 1);
      return WriteOutcome{len, len, 0};
    }
    case SQLT_DAT: {
      if (v.kind != Value::Date) InconsistentTypes();
      if (size < 7) Fail(1406, "fetched column value was truncated");
      EncodeDate(v.dt, reinterpret_cast<ub1*>(p));
      return WriteOutcome{7, 7, 0};
    }
    case SQLT_ODT: {
      if (v.kind != Value::Date) InconsistentTypes();
      if (size < sizeof(OCIDate)) Fail(1406, "fetched column value was truncated");
      Store<OCIDate>(p, ToOCIDate(v.dt));
      return WriteOutcome{sizeof(OCIDate), sizeof(OCIDate), 0};
    }
    default:
      Fail(3001, "unimplemented feature");
  }
}

}  // namespace oracle_sim::oci
