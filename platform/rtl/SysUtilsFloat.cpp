// Number formatting of SysUtils: floating point, Currency, FormatFloat and Format.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

// A decimal rendering of |value|: value = 0.d1d2d3... * 10^exponent; digits empty for zero.
struct TDecimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  bool IsZero() const { return digits.empty(); }
};

void StripTrailingZeros(TDecimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

// Rounds the digit string to `keep` digits, half away from zero.
void RoundDigits(TDecimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      d.exponent += 1;
    }
  }
  StripTrailingZeros(d);
}

// Rounds to `precision` significant digits and, when decimals >= 0, to that many decimals.
TDecimal ToDecimal(double value, int precision, int decimals) {
  TDecimal d;
  d.negative = std::signbit(value);
  value = std::fabs(value);
  if (value == 0) return d;
  char buf[64];
  // "d.dddddddddddddddde+xx", correctly rounded (as printf's %.16e writes it)
  *std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, 16).ptr = 0;
  d.digits.push_back(buf[0]);
  const char* p = buf + 2;
  while (*p >= '0' && *p <= '9') d.digits.push_back(*p++);
  d.exponent = std::atoi(p + 1) + 1;
  StripTrailingZeros(d);
  RoundDigits(d, std::clamp(precision, 1, 17));
  if (decimals >= 0 && !d.IsZero()) RoundDigits(d, d.exponent + decimals);
  return d;
}

std::string ExponentText(int e, int minDigits, bool alwaysSign) {
  std::string r;
  if (e < 0)
    r.push_back('-');
  else if (alwaysSign)
    r.push_back('+');
  std::string n = std::to_string(e < 0 ? -e : e);
  if (static_cast<int>(n.size()) < minDigits) r.append(minDigits - n.size(), '0');
  return r + n;
}

std::string SpecialValue(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// Integer part of a decimal, grouped by thousands when sep != 0.
std::string IntegerPart(const TDecimal& d, char sep) {
  std::string s;
  if (d.exponent <= 0) {
    s = "0";
  } else {
    for (int i = 0; i < d.exponent; ++i)
      s.push_back(i < static_cast<int>(d.digits.size()) ? d.digits[i] : '0');
  }
  if (sep == 0 || s.size() <= 3) return s;
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    r.push_back(s[i]);
    size_t rest = s.size() - 1 - i;
    if (rest > 0 && rest % 3 == 0) r.push_back(sep);
  }
  return r;
}

// `count` digits after the decimal point.
std::string FractionPart(const TDecimal& d, int count) {
  std::string r;
  for (int k = 0; k < count; ++k) {
    int idx = d.exponent + k;
    r.push_back(idx >= 0 && idx < static_cast<int>(d.digits.size()) ? d.digits[idx] : '0');
  }
  return r;
}

std::string GeneralText(const TDecimal& d, int precision, int expDigits, const TFormatSettings& fs) {
  if (d.IsZero()) return "0";
  std::string r = d.negative ? "-" : "";
  if (d.exponent > precision || d.exponent < -3) {
    r.push_back(d.digits[0]);
    if (d.digits.size() > 1) {
      r.push_back(fs.DecimalSeparator);
      r.append(d.digits, 1);
    }
    r.push_back('E');
    return r + ExponentText(d.exponent - 1, expDigits, false);
  }
  r += IntegerPart(d, 0);
  int frac = static_cast<int>(d.digits.size()) - d.exponent;
  if (frac > 0) {
    r.push_back(fs.DecimalSeparator);
    r += FractionPart(d, frac);
  }
  return r;
}

std::string CurrencyText(const std::string& number, bool negative, const TFormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 0:
        return c + number;
      case 1:
        return number + c;
      case 2:
        return c + " " + number;
      default:
        return number + " " + c;
    }
  }
  switch (fs.NegCurrFormat) {
    case 0:
      return "(" + c + number + ")";
    case 1:
      return "-" + c + number;
    case 2:
      return c + "-" + number;
    case 3:
      return c + number + "-";
    case 4:
      return "(" + number + c + ")";
    case 5:
      return "-" + number + c;
    case 6:
      return number + "-" + c;
    case 7:
      return number + c + "-";
    case 8:
      return "-" + number + " " + c;
    case 9:
      return "-" + c + " " + number;
    case 10:
      return number + " " + c + "-";
    case 11:
      return c + " " + number + "-";
    case 12:
      return c + " -" + number;
    case 13:
      return number + "- " + c;
    case 14:
      return "(" + c + " " + number + ")";
    default:
      return "(" + number + " " + c + ")";
  }
}

}  // namespace

namespace {

// Writes a decimal already rounded to `precision` significant digits.
std::string DecimalToText(TDecimal d, TFloatFormat format, int precision, int digits,
                          const TFormatSettings& fs) {
  switch (format) {
    case ffGeneral:
      return GeneralText(d, precision, std::clamp(digits, 0, 4), fs);
    case ffExponent: {
      std::string r = d.negative && !d.IsZero() ? "-" : "";
      std::string all = d.digits;
      all.resize(precision, '0');
      r.push_back(all[0]);
      if (precision > 1) {
        r.push_back(fs.DecimalSeparator);
        r.append(all, 1);
      }
      r.push_back('E');
      return r + ExponentText(d.IsZero() ? 0 : d.exponent - 1, std::clamp(digits, 0, 4), true);
    }
    default: {
      digits = std::clamp(digits, 0, 18);
      if (d.exponent > precision) return GeneralText(d, precision, 0, fs);
      if (!d.IsZero()) RoundDigits(d, d.exponent + digits);
      char sep = format == ffFixed ? 0 : fs.ThousandSeparator;
      std::string number = IntegerPart(d, sep);
      if (digits > 0) {
        number.push_back(fs.DecimalSeparator);
        number += FractionPart(d, digits);
      }
      bool negative = d.negative && !d.IsZero();
      if (format == ffCurrency) return CurrencyText(number, negative, fs);
      return negative ? "-" + number : number;
    }
  }
}

// The exact decimal of a Currency value.
TDecimal CurrencyDecimal(Currency value) {
  TDecimal d;
  int64_t v = value.Scaled();
  d.negative = v < 0;
  uint64_t a = d.negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  if (a == 0) return d;
  d.digits = std::to_string(a);
  d.exponent = static_cast<int>(d.digits.size()) - 4;
  StripTrailingZeros(d);
  return d;
}

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  if (!std::isfinite(value)) return SpecialValue(value);
  precision = std::clamp(precision, 1, 17);
  return DecimalToText(ToDecimal(value, precision, -1), format, precision, digits, fs);
}

std::string CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings& fs) {
  TDecimal d = CurrencyDecimal(value);
  if (format == ffExponent) RoundDigits(d, 19);
  return DecimalToText(d, format, 19, digits, fs);
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
  return FloatToStrF(value, ffGeneral, 15, 0, fs);
}

// ---------------------------------------------------------------------------------------------
// FormatFloat.

namespace {

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
      if (sections.size() == 2) break;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

struct TSectionInfo {
  int intPlaces = 0;   // placeholders before the decimal point
  int minInt = 0;      // placeholders from the first '0' to the decimal point
  int fracPlaces = 0;  // placeholders after the decimal point
  int minFrac = 0;     // up to the last '0' after the decimal point
  bool thousands = false;
  bool scientific = false;
};

TSectionInfo AnalyseSection(std::string_view f) {
  TSectionInfo info;
  bool afterPoint = false;
  bool seenZero = false;
  char quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '0' || c == '#') {
      if (afterPoint) {
        ++info.fracPlaces;
        if (c == '0') info.minFrac = info.fracPlaces;
      } else {
        ++info.intPlaces;
        if (c == '0') seenZero = true;
        if (seenZero) ++info.minInt;
      }
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
    } else if (c == ',') {
      info.thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-')) {
      info.scientific = true;
      break;
    }
  }
  return info;
}

// Writes one section with the given digits. intDigits: the integer digits to place; frac: the
// fraction digits to show; expText: the exponent digits with sign for scientific sections.
std::string RenderSection(std::string_view f, const TSectionInfo& info, const std::string& intDigits,
                          const std::string& frac, int exponent, const TFormatSettings& fs) {
  std::string r;
  int len = static_cast<int>(intDigits.size());
  int placeIndex = 0;
  bool afterPoint = false;
  int fracIndex = 0;
  char quote = 0;
  bool exponentDone = false;  // after the exponent, placeholders are dropped and the rest is text
  auto emitIntDigit = [&](int j) {
    if (j < 0 || j >= len) return;
    r.push_back(intDigits[j]);
    int rest = len - 1 - j;
    if (info.thousands && !info.scientific && rest > 0 && rest % 3 == 0) r.push_back(fs.ThousandSeparator);
  };
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote)
        quote = 0;
      else
        r.push_back(c);
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (exponentDone) {
      if (c != '0' && c != '#') r.push_back(c);
    } else if (c == '0' || c == '#') {
      if (!afterPoint) {
        int first = placeIndex - (info.intPlaces - len);  // digit index for this placeholder
        if (placeIndex == 0)
          for (int j = 0; j < len - info.intPlaces; ++j) emitIntDigit(j);
        if (first >= 0) emitIntDigit(first);
        ++placeIndex;
      } else {
        if (fracIndex < static_cast<int>(frac.size())) r.push_back(frac[fracIndex]);
        ++fracIndex;
      }
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
      if (info.intPlaces == 0 && placeIndex == 0) {
        for (int j = 0; j < len; ++j) emitIntDigit(j);
        placeIndex = 1;
      }
      if (!frac.empty()) r.push_back(fs.DecimalSeparator);
    } else if (c == ',') {
      // the thousands flag; never written itself
    } else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-')) {
      bool alwaysSign = f[i + 1] == '+';
      size_t j = i + 2;
      int zeros = 0;
      while (j < f.size() && f[j] == '0') {
        ++zeros;
        ++j;
      }
      r.push_back(c);
      r += ExponentText(exponent, std::min(zeros, 4), alwaysSign);
      i = j - 1;
      exponentDone = true;
    } else {
      r.push_back(c);
    }
  }
  return r;
}

}  // namespace

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
  if (format.empty() || !std::isfinite(value)) return FloatToStr(value, fs);
  std::vector<std::string_view> sections = SplitSections(format);
  auto section = [&](size_t k) -> std::string_view {
    return k < sections.size() ? sections[k] : std::string_view();
  };

  bool negative = value < 0;
  std::string_view chosen = section(0);
  bool ownNegative = false;
  if (negative && !section(1).empty()) {
    chosen = section(1);
    ownNegative = true;
  }

  auto build = [&](std::string_view f, bool& isZero) {
    TSectionInfo info = AnalyseSection(f);
    std::string intDigits, frac;
    int exponent = 0;
    if (info.scientific) {
      int significant = std::max(1, info.intPlaces + info.fracPlaces);
      TDecimal d = ToDecimal(value, std::min(significant, 17), -1);
      isZero = d.IsZero();
      int intCount = std::max(info.intPlaces, 1);
      exponent = d.IsZero() ? 0 : d.exponent - intCount;
      std::string all = d.digits;
      if (static_cast<int>(all.size()) < intCount + info.fracPlaces)
        all.resize(intCount + info.fracPlaces, '0');
      intDigits = all.substr(0, intCount);
      if (info.intPlaces == 0) {
        exponent = d.IsZero() ? 0 : d.exponent;
        intDigits.clear();
        frac = all.substr(0, info.fracPlaces);
      } else {
        frac = all.substr(intCount, info.fracPlaces);
      }
    } else {
      TDecimal d = ToDecimal(value, 15, info.fracPlaces);
      isZero = d.IsZero();
      if (d.exponent > 0) intDigits = IntegerPart(d, 0);
      if (static_cast<int>(intDigits.size()) < info.minInt)
        intDigits.insert(0, info.minInt - intDigits.size(), '0');
      frac = FractionPart(d, info.fracPlaces);
    }
    while (static_cast<int>(frac.size()) > info.minFrac && !frac.empty() && frac.back() == '0')
      frac.pop_back();
    return RenderSection(f, info, intDigits, frac, exponent, fs);
  };

  bool isZero = false;
  std::string text = build(chosen, isZero);
  if (isZero) {
    // A value that rounds to zero shows the zero section, or the first section without a sign.
    std::string_view z = section(2);
    bool dummy;
    if (!z.empty()) return build(z, dummy);
    if (ownNegative) return build(section(0), dummy);
    return text;
  }
  if (negative && !ownNegative) return "-" + text;
  return text;
}

std::string FormatCurr(std::string_view format, Currency value, const TFormatSettings& fs) {
  return FormatFloat(format, value.ToDouble(), fs);
}

// ---------------------------------------------------------------------------------------------
// Reading numbers.

namespace {

// Checks the shape [sign] digits [sep digits] [E [sign] digits] (blanks around allowed) and
// returns the text with '.' as the separator.
bool NormaliseNumber(std::string_view s, char decimalSeparator, std::string& out) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  out.clear();
  size_t i = b;
  if (i < e && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') out.push_back('-');
    ++i;
  }
  int mantissaDigits = 0;
  while (i < e && s[i] >= '0' && s[i] <= '9') {
    out.push_back(s[i++]);
    ++mantissaDigits;
  }
  if (i < e && s[i] == decimalSeparator) {
    out.push_back('.');
    ++i;
    while (i < e && s[i] >= '0' && s[i] <= '9') {
      out.push_back(s[i++]);
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    out.push_back('e');
    ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) out.push_back(s[i++]);
    int expDigits = 0;
    while (i < e && s[i] >= '0' && s[i] <= '9') {
      out.push_back(s[i++]);
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  return i == e;
}

}  // namespace

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs) {
  std::string text;
  if (!NormaliseNumber(s, fs.DecimalSeparator, text)) return false;
  double v = 0;
  const char* first = text.data();
  if (*first == '-') ++first;  // from_chars takes no plus sign; the minus is handled here too
  auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size()) {
    if (ec != std::errc::result_out_of_range) return false;
    // Out of range: too small reads as zero, too large is an error.
    size_t e = text.find('e');
    // The exponent saturates (strtol) and is bounded, so adding the mantissa's digits cannot overflow.
    long magnitude = e == std::string::npos ? 0 : std::strtol(text.c_str() + e + 1, nullptr, 10);
    magnitude = std::clamp(magnitude, -1000000L, 1000000L);
    std::string_view mantissa(first, (e == std::string::npos ? text.size() : e) - (first - text.data()));
    size_t point = mantissa.find('.');
    if (point == std::string_view::npos) point = mantissa.size();
    size_t nonZero = mantissa.find_first_of("123456789");
    if (nonZero != std::string_view::npos)
      magnitude +=
          nonZero < point ? static_cast<long>(point - nonZero) - 1 : -static_cast<long>(nonZero - point);
    if (magnitude > 0) return false;
    value = 0;
    return true;
  }
  value = text[0] == '-' ? -v : v;
  return true;
}

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
  double v;
  if (!TryStrToFloat(s, v, fs))
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(std::string_view s, double defaultValue, const TFormatSettings& fs) {
  double v;
  return TryStrToFloat(s, v, fs) ? v : defaultValue;
}

// ---------------------------------------------------------------------------------------------
// Currency.

namespace {

constexpr double kCurrencyLimit = 922337203685477.5807;

[[noreturn]] void CurrencyOverflow() {
  throw EOverflow("Floating point overflow");
}

Currency FromWide(__int128 v) {
  if (v > INT64_MAX || v < INT64_MIN) CurrencyOverflow();
  return Currency::FromScaled(static_cast<int64_t>(v));
}

// Division rounding half away from zero.
__int128 RoundedDiv(__int128 a, __int128 b) {
  __int128 q = a / b, r = a % b;
  __int128 absR = r < 0 ? -r : r, absB = b < 0 ? -b : b;
  if (absR * 2 >= absB) q += ((a < 0) == (b < 0)) ? 1 : -1;
  return q;
}

}  // namespace

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kCurrencyLimit) CurrencyOverflow();
  return FromScaled(static_cast<int64_t>(std::nearbyint(value * Scale)));
}

Currency Currency::FromInt64(int64_t value) {
  return FromWide(static_cast<__int128>(value) * Scale);
}

Currency Currency::operator+(Currency o) const {
  return FromWide(static_cast<__int128>(v_) + o.v_);
}
Currency Currency::operator-(Currency o) const {
  return FromWide(static_cast<__int128>(v_) - o.v_);
}
Currency Currency::operator*(Currency o) const {
  return FromWide(RoundedDiv(static_cast<__int128>(v_) * o.v_, Scale));
}
Currency Currency::operator/(Currency o) const {
  if (o.v_ == 0) throw EZeroDivide("Floating point division by zero");
  return FromWide(RoundedDiv(static_cast<__int128>(v_) * Scale, o.v_));
}

Currency FloatToCurr(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kCurrencyLimit)
    throw EConvertError(FloatToStr(value) +
                        " is not within the valid range of -922337203685477.5808..922337203685477.5807");
  return Currency::FromDouble(value);
}

std::string CurrToStr(Currency value, const TFormatSettings& fs) {
  return CurrToStrF(value, ffGeneral, 0, fs);
}

bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs) {
  std::string text;
  if (!NormaliseNumber(s, fs.DecimalSeparator, text)) return false;
  if (text.find('e') != std::string::npos) {
    double d;
    if (!TryStrToFloat(s, d, fs) || std::fabs(d) > kCurrencyLimit) return false;
    value = Currency::FromDouble(d);
    return true;
  }
  bool neg = text[0] == '-';
  __int128 v = 0;
  int decimals = -1;
  bool roundUp = false;
  for (char c : text) {
    if (c == '-') continue;
    if (c == '.') {
      decimals = 0;
      continue;
    }
    if (decimals >= 4) {
      if (decimals == 4) roundUp = c >= '5';
      ++decimals;
      continue;
    }
    v = v * 10 + (c - '0');
    if (v > static_cast<__int128>(INT64_MAX) * 10) return false;
    if (decimals >= 0) ++decimals;
  }
  if (decimals < 0) decimals = 0;
  for (int k = std::min(decimals, 4); k < 4; ++k) v *= 10;
  if (roundUp) v += 1;
  if (neg) v = -v;
  if (v > INT64_MAX || v < INT64_MIN) return false;
  value = Currency::FromScaled(static_cast<int64_t>(v));
  return true;
}

Currency StrToCurr(std::string_view s, const TFormatSettings& fs) {
  Currency c;
  if (!TryStrToCurr(s, c, fs))
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  return c;
}

Currency StrToCurrDef(std::string_view s, Currency defaultValue) {
  Currency c;
  return TryStrToCurr(s, c) ? c : defaultValue;
}

// ---------------------------------------------------------------------------------------------
// Format.

namespace {

[[noreturn]] void InvalidFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string PadTo(std::string text, int width, bool left) {
  int n = Utf8Length(text);
  if (width <= n) return text;
  std::string pad(width - n, ' ');
  return left ? text + pad : pad + text;
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args) {
  return Format(format, args, FormatSettings);
}

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args,
                   const TFormatSettings& fs) {
  std::string r;
  r.reserve(format.size() + 16);
  const TFormatArg* argv = args.begin();
  int argc = static_cast<int>(args.size());
  int next = 0;
  size_t i = 0;
  auto takeArg = [&]() -> const TFormatArg& {
    if (next >= argc) throw EConvertError("No argument for format '" + std::string(format) + "'");
    return argv[next++];
  };
  // A number of the directive or "*" (taken from the arguments); -1 when absent.
  auto readNumber = [&]() -> int {
    if (i < format.size() && format[i] == '*') {
      ++i;
      const TFormatArg& a = takeArg();
      if (a.ArgKind() != TFormatArg::kInt && a.ArgKind() != TFormatArg::kInt64) InvalidFormat(format);
      return static_cast<int>(a.AsInt());
    }
    if (i >= format.size() || format[i] < '0' || format[i] > '9') return -1;
    int n = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      n = n * 10 + (format[i++] - '0');
      if (n > 100000) InvalidFormat(format);
    }
    return n;
  };
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      r.push_back(c);
      ++i;
      continue;
    }
    ++i;
    if (i >= format.size()) InvalidFormat(format);
    if (format[i] == '%') {
      r.push_back('%');
      ++i;
      continue;
    }
    // "[index:]": digits or "*" followed by a colon.
    size_t j = i;
    if (j < format.size() && format[j] == '*')
      ++j;
    else
      while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
    if (j > i && j < format.size() && format[j] == ':') {
      next = std::max(readNumber(), 0);
      ++i;  // the colon
    }
    bool left = false;
    if (i < format.size() && format[i] == '-') {
      left = true;
      ++i;
    }
    int width = readNumber();
    int prec = -1;
    if (i < format.size() && format[i] == '.') {
      ++i;
      prec = readNumber();
      if (prec < 0) prec = 0;
    }
    if (i >= format.size()) InvalidFormat(format);
    char type = static_cast<char>(format[i] | 0x20);
    ++i;
    const TFormatArg& a = takeArg();
    bool isInt = a.ArgKind() == TFormatArg::kInt || a.ArgKind() == TFormatArg::kInt64 ||
                 a.ArgKind() == TFormatArg::kUInt64;
    bool isFloat = a.ArgKind() == TFormatArg::kDouble || a.ArgKind() == TFormatArg::kCurrency;
    double fv =
        a.ArgKind() == TFormatArg::kCurrency ? Currency::FromScaled(a.AsInt()).ToDouble() : a.AsDouble();
    std::string text;
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (!isInt) InvalidFormat(format);
        int64_t v = a.AsInt();
        bool neg = false;
        std::string digits;
        if (type == 'x') {
          uint64_t u = a.ArgKind() == TFormatArg::kInt ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
          digits = IntToHex(static_cast<int64_t>(u), 1);
        } else if (type == 'u' || a.ArgKind() == TFormatArg::kUInt64) {
          uint64_t u = a.ArgKind() == TFormatArg::kInt ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
          digits = std::to_string(u);
        } else {
          neg = v < 0;
          digits = std::to_string(v);
          if (neg) digits.erase(0, 1);
        }
        if (prec > 0 && static_cast<int>(digits.size()) < prec) digits.insert(0, prec - digits.size(), '0');
        text = neg ? "-" + digits : digits;
        break;
      }
      case 'e':
        if (!isFloat) InvalidFormat(format);
        text = FloatToStrF(fv, ffExponent, prec < 0 ? 15 : std::min(prec, 17), 3, fs);
        break;
      case 'f':
        if (!isFloat) InvalidFormat(format);
        text = FloatToStrF(fv, ffFixed, 15, prec < 0 ? 2 : prec, fs);
        break;
      case 'g':
        if (!isFloat) InvalidFormat(format);
        text = FloatToStrF(fv, ffGeneral, prec < 0 ? 15 : std::clamp(prec, 1, 17), 3, fs);
        break;
      case 'n':
        if (!isFloat) InvalidFormat(format);
        text = FloatToStrF(fv, ffNumber, 15, prec < 0 ? 2 : prec, fs);
        break;
      case 'm':
        if (!isFloat) InvalidFormat(format);
        text = FloatToStrF(fv, ffCurrency, 15, prec < 0 ? fs.CurrencyDecimals : prec, fs);
        break;
      case 'p': {
        if (a.ArgKind() != TFormatArg::kPointer) InvalidFormat(format);
        text = IntToHex(static_cast<int64_t>(reinterpret_cast<uintptr_t>(a.AsPointer())), sizeof(void*) * 2);
        break;
      }
      case 's': {
        if (a.ArgKind() != TFormatArg::kString && a.ArgKind() != TFormatArg::kChar) InvalidFormat(format);
        std::string_view s = a.AsString();
        text = prec >= 0 ? Utf8Copy(s, 1, prec) : std::string(s);
        break;
      }
      default:
        InvalidFormat(format);
    }
    r += PadTo(std::move(text), width, left);
  }
  return r;
}
