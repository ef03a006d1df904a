#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <climits>

void Abort() {
  throw EAbort();
}

// ---------------------------------------------------------------------------------------------
// Trimming, searching, copying.

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

int Pos(std::string_view substr, std::string_view s) {
  return PosEx(substr, s, 1);
}

int PosEx(std::string_view substr, std::string_view s, int offset) {
  if (substr.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
  size_t p = s.find(substr, static_cast<size_t>(offset - 1));
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

std::string Copy(std::string_view s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || static_cast<size_t>(index) > s.size()) return std::string();
  return std::string(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

std::string StringOfChar(char c, int count) {
  return count > 0 ? std::string(count, c) : std::string();
}

// ---------------------------------------------------------------------------------------------
// Case mapping.

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

// Only mappings that keep the UTF-8 length are made, so positions found in a mapped text are
// positions in the original text as well.
char32_t UnicodeUpper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddPairs) return (c % 2 == 0) ? c - 1 : c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return (c % 2 == 1) ? c - 1 : c;
  if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 0) ? c - 1 : c;
  if (c == 0x4CF) return 0x4C0;
  return c;
}

char32_t UnicodeLower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddPairs) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return (c % 2 == 0) ? c + 1 : c;
  if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 1) ? c + 1 : c;
  if (c == 0x4C0) return 0x4CF;
  return c;
}

namespace {

template <typename Map>
std::string MapChars(std::string_view s, Map map) {
  std::string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      r.push_back(static_cast<char>(map(b)));
      ++i;
      continue;
    }
    size_t start = i;
    char32_t c = Utf8Next(s, i);
    if (c == 0xFFFD && i - start == 1) {
      r.push_back(s[start]);  // keep malformed bytes as they are
      continue;
    }
    Utf8Append(r, map(c));
  }
  return r;
}

// Primary weight of a character for the linguistic comparisons.
uint32_t PrimaryWeight(char32_t c) {
  char32_t u = UnicodeUpper(c);
  uint32_t w = static_cast<uint32_t>(u) * 2;
  if (u == 0x401) w = 0x415 * 2 + 1;  // Ё right after Е
  return w;
}

int Sign(int64_t v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

}  // namespace

std::string AnsiUpperCase(std::string_view s) {
  return MapChars(s, UnicodeUpper);
}
std::string AnsiLowerCase(std::string_view s) {
  return MapChars(s, UnicodeLower);
}

int CompareStr(std::string_view a, std::string_view b) {
  return Sign(a.compare(b));
}

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint32_t x = PrimaryWeight(Utf8Next(a, i)), y = PrimaryWeight(Utf8Next(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
  int r = AnsiCompareText(a, b);
  if (r != 0) return r;
  // Same letters: the first difference in case decides, lower case first.
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = Utf8Next(a, i), y = Utf8Next(b, j);
    if (x == y) continue;
    bool xLower = UnicodeUpper(x) != x, yLower = UnicodeUpper(y) != y;
    if (xLower != yLower) return xLower ? -1 : 1;
    return x < y ? -1 : 1;
  }
  return 0;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  return AnsiCompareText(a, b) == 0;
}
bool AnsiSameStr(std::string_view a, std::string_view b) {
  return a == b;
}
int AnsiPos(std::string_view substr, std::string_view s) {
  return Pos(substr, s);
}

// ---------------------------------------------------------------------------------------------
// Quoting, line breaks, replacing, delimiters.

std::string QuotedStr(std::string_view s) {
  return AnsiQuotedStr(s, '\'');
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
  std::string r;
  r.reserve(s.size() + 2);
  r.push_back(quote);
  for (char c : s) {
    r.push_back(c);
    if (c == quote) r.push_back(quote);
  }
  r.push_back(quote);
  return r;
}

std::string AnsiDequotedStr(std::string_view s, char quote) {
  if (s.empty() || s[0] != quote) return std::string(s);
  std::string r;
  size_t i = 1;
  while (i < s.size()) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        r.push_back(quote);
        i += 2;
        continue;
      }
      return r;
    }
    r.push_back(s[i++]);
  }
  return std::string(s);  // no closing quote
}

std::string AdjustLineBreaks(std::string_view s) {
  std::string r;
  r.reserve(s.size() + s.size() / 16);
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r' || c == '\n') {
      char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < s.size() && s[i + 1] == other) ++i;
      r += "\r\n";
    } else {
      r.push_back(c);
    }
  }
  return r;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags) {
  if (oldPattern.empty()) return std::string(s);
  std::string upperS, upperOld;
  std::string_view hay = s, needle = oldPattern;
  if (flags.Contains(rfIgnoreCase)) {
    upperS = AnsiUpperCase(s);
    upperOld = AnsiUpperCase(oldPattern);
    hay = upperS;
    needle = upperOld;
  }
  std::string r;
  size_t from = 0;
  while (true) {
    size_t p = hay.find(needle, from);
    if (p == std::string_view::npos) break;
    r.append(s.substr(from, p - from));
    r.append(newPattern);
    from = p + needle.size();
    if (!flags.Contains(rfReplaceAll)) break;
  }
  r.append(s.substr(from));
  return r;
}

bool IsDelimiter(std::string_view delimiters, std::string_view s, int index) {
  if (index < 1 || static_cast<size_t>(index) > s.size()) return false;
  return delimiters.find(s[index - 1]) != std::string_view::npos;
}

int LastDelimiter(std::string_view delimiters, std::string_view s) {
  size_t p = s.find_last_of(delimiters);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

// ---------------------------------------------------------------------------------------------
// UTF-8.

char32_t Utf8Next(std::string_view s, size_t& pos) {
  unsigned char b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (len == 0 || b0 > 0xF4 || pos + len > s.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t c = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char b = static_cast<unsigned char>(s[pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += len;
  return c;
}

void Utf8Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    Utf8Append(out, 0xFFFD);
  }
}

int Utf8Length(std::string_view s) {
  int n = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80)
      ++i;
    else
      Utf8Next(s, i);
    ++n;
  }
  return n;
}

size_t Utf8Offset(std::string_view s, int charIndex) {
  size_t i = 0;
  for (int n = 0; n < charIndex && i < s.size(); ++n) Utf8Next(s, i);
  return i;
}

std::string Utf8Copy(std::string_view s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0) return std::string();
  size_t b = Utf8Offset(s, index - 1);
  size_t e = b;
  for (int n = 0; n < count && e < s.size(); ++n) Utf8Next(s, e);
  return std::string(s.substr(b, e - b));
}

int Utf8Pos(std::string_view substr, std::string_view s) {
  int p = Pos(substr, s);
  if (p == 0) return 0;
  return Utf8Length(s.substr(0, static_cast<size_t>(p - 1))) + 1;
}

std::u32string Utf8ToUtf32(std::string_view s) {
  std::u32string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) r.push_back(Utf8Next(s, i));
  return r;
}

std::string Utf32ToUtf8(std::u32string_view s) {
  std::string r;
  r.reserve(s.size());
  for (char32_t c : s) Utf8Append(r, c);
  return r;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t c = Utf8Next(s, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      r.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      r.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      r.push_back(static_cast<char16_t>(c));
    }
  }
  return r;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    Utf8Append(r, c);
  }
  return r;
}

namespace {

// Code points of the bytes 0x80..0xBF of Windows-1251; 0xC0..0xFF are U+0410..U+044F. The
// unassigned byte 0x98 maps to U+0098 so that every byte survives a round trip.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char Cp1251FromCodePoint(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  if (c >= 0x410 && c <= 0x44F) return static_cast<char>(0xC0 + (c - 0x410));
  for (int k = 0; k < 64; ++k)
    if (kCp1251High[k] == c) return static_cast<char>(0x80 + k);
  return '?';
}

}  // namespace

std::string Utf8ToCp1251(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) r.push_back(Cp1251FromCodePoint(Utf8Next(s, i)));
  return r;
}

std::string Cp1251ToUtf8(std::string_view s) {
  std::string r;
  r.reserve(s.size() * 2);
  for (char ch : s) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (b < 0x80)
      r.push_back(ch);
    else if (b >= 0xC0)
      Utf8Append(r, 0x410 + (b - 0xC0));
    else
      Utf8Append(r, kCp1251High[b - 0x80]);
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// Integers.

std::string IntToStr(int value) {
  return std::to_string(value);
}
std::string IntToStr(int64_t value) {
  return std::to_string(value);
}

std::string IntToHex(int64_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  uint64_t v = static_cast<uint64_t>(value);
  std::string r;
  do {
    r.push_back(kHex[v & 15]);
    v >>= 4;
  } while (v != 0);
  while (static_cast<int>(r.size()) < digits) r.push_back('0');
  std::reverse(r.begin(), r.end());
  return r;
}

namespace {

// Leading blanks, a sign, decimal digits or a hexadecimal number after "$", "0x" or "x"; nothing
// may follow.
bool ParseInt64(std::string_view s, int64_t& out, bool* hexadecimal = nullptr) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  }
  if (i >= s.size()) return false;
  if (hexadecimal) *hexadecimal = base == 16;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    if (v > (UINT64_MAX - d) / base) return false;
    v = v * base + d;
  }
  if (base == 16) {
    // Hexadecimal numbers give the bit pattern.
    out = neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
  }
  if (neg) {
    if (v > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    out = static_cast<int64_t>(0 - v);
  } else {
    if (v > static_cast<uint64_t>(INT64_MAX)) return false;
    out = static_cast<int64_t>(v);
  }
  return true;
}

[[noreturn]] void InvalidInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

}  // namespace

bool TryStrToInt64(std::string_view s, int64_t& value) {
  return ParseInt64(s, value);
}

bool TryStrToInt(std::string_view s, int& value) {
  int64_t v;
  bool hex = false;
  if (!ParseInt64(s, v, &hex)) return false;
  if (hex && v >= 0 && v <= static_cast<int64_t>(UINT32_MAX))
    v = static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(std::string_view s) {
  int v;
  if (!TryStrToInt(s, v)) InvalidInteger(s);
  return v;
}

int StrToIntDef(std::string_view s, int defaultValue) {
  int v;
  return TryStrToInt(s, v) ? v : defaultValue;
}

int64_t StrToInt64(std::string_view s) {
  int64_t v;
  if (!ParseInt64(s, v)) InvalidInteger(s);
  return v;
}

int64_t StrToInt64Def(std::string_view s, int64_t defaultValue) {
  int64_t v;
  return ParseInt64(s, v) ? v : defaultValue;
}

std::string BoolToStr(bool b, bool useBoolStrs) {
  if (useBoolStrs) return b ? "True" : "False";
  return b ? "-1" : "0";
}

bool TryStrToBool(std::string_view s, bool& value) {
  if (SameText(s, "True")) {
    value = true;
    return true;
  }
  if (SameText(s, "False")) {
    value = false;
    return true;
  }
  double d;
  if (TryStrToFloat(s, d)) {
    value = d != 0;
    return true;
  }
  return false;
}

bool StrToBool(std::string_view s) {
  bool b;
  if (!TryStrToBool(s, b)) throw EConvertError("'" + std::string(s) + "' is not a valid boolean value");
  return b;
}

// ---------------------------------------------------------------------------------------------
// Format settings.

TFormatSettings FormatSettings = UserFormatSettings();

TFormatSettings EnglishFormatSettings() {
  TFormatSettings fs;
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  fs.DateSeparator = '/';
  fs.TimeSeparator = ':';
  fs.ListSeparator = ',';
  fs.ShortDateFormat = "M/d/yyyy";
  fs.LongDateFormat = "dddd, MMMM d, yyyy";
  fs.ShortTimeFormat = "h:mm AMPM";
  fs.LongTimeFormat = "h:mm:ss AMPM";
  fs.TimeAMString = "AM";
  fs.TimePMString = "PM";
  fs.CurrencyString = "$";
  fs.CurrencyFormat = 0;
  fs.NegCurrFormat = 0;
  fs.CurrencyDecimals = 2;
  fs.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  fs.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                       "July",    "August",   "September", "October", "November", "December"};
  fs.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  fs.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return fs;
}

TFormatSettings RussianFormatSettings() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = ' ';
  fs.DateSeparator = '.';
  fs.TimeSeparator = ':';
  fs.ListSeparator = ';';
  fs.ShortDateFormat = "dd.MM.yyyy";
  fs.LongDateFormat = "d MMMM yyyy 'г.'";
  fs.ShortTimeFormat = "H:mm";
  fs.LongTimeFormat = "H:mm:ss";
  fs.TimeAMString = "";
  fs.TimePMString = "";
  fs.CurrencyString = "р.";
  fs.CurrencyFormat = 3;
  fs.NegCurrFormat = 8;
  fs.CurrencyDecimals = 2;
  fs.ShortMonthNames = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
  fs.LongMonthNames = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                       "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
  fs.ShortDayNames = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
  fs.LongDayNames = {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"};
  return fs;
}

TFormatSettingsGuard::TFormatSettingsGuard(const TFormatSettings& settings) : saved_(FormatSettings) {
  FormatSettings = settings;
}

TFormatSettingsGuard::~TFormatSettingsGuard() {
  FormatSettings = saved_;
}
