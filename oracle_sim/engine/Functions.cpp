#include "oracle_sim/engine/Functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "oracle_sim/engine/Errors.h"

namespace oracle_sim {

// ---------------------------------------------------------------- dates
namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochShift = DaysFromCivil(1, 1, 1);

bool Leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysIn(int y, int m) {
  static const int n[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : n[m - 1];
}

const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                         "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

std::string CaseLike(const std::string& word, const std::string& mask) {
  // "MON" -> JAN, "Mon" -> Jan, "mon" -> jan
  std::string r = word;
  bool up0 = !mask.empty() && std::isupper(static_cast<unsigned char>(mask[0]));
  bool up1 = mask.size() > 1 && std::isupper(static_cast<unsigned char>(mask[1]));
  for (size_t i = 0; i < r.size(); ++i) {
    bool up = i == 0 ? up0 : up1;
    r[i] = static_cast<char>(up ? std::toupper(static_cast<unsigned char>(r[i]))
                                : std::tolower(static_cast<unsigned char>(r[i])));
  }
  return r;
}

struct FmtElem {
  std::string up;    // element, upper-cased ("YYYY", "MON", "\"lit\"", punctuation)
  std::string orig;  // as written
  bool literal = false;
};

std::vector<FmtElem> SplitFormat(const std::string& fmt) {
  static const char* elems[] = {"SSSSS", "YYYY", "RRRR", "MONTH", "HH24", "HH12", "A.M.", "P.M.", "YYY",
                                "MON",   "DDD",  "DAY",  "SYYYY", "YY",   "RR",   "MM",   "DD",   "DY",
                                "HH",    "MI",   "SS",   "AM",    "PM",   "FM",   "FX",   "CC",   "WW",
                                "IW",    "Y",    "D",    "J",     "Q",    "W",    "TH"};
  std::vector<FmtElem> out;
  size_t i = 0;
  while (i < fmt.size()) {
    if (fmt[i] == '"') {
      auto e = fmt.find('"', i + 1);
      if (e == std::string::npos) Raise(1821);
      FmtElem f;
      f.literal = true;
      f.orig = f.up = fmt.substr(i + 1, e - i - 1);
      out.push_back(f);
      i = e + 1;
      continue;
    }
    bool found = false;
    for (auto el : elems) {
      size_t n = std::strlen(el);
      if (i + n > fmt.size()) continue;
      bool eq = true;
      for (size_t k = 0; k < n; ++k)
        if (std::toupper(static_cast<unsigned char>(fmt[i + k])) != el[k]) eq = false;
      if (!eq) continue;
      FmtElem f;
      f.up = el;
      f.orig = fmt.substr(i, n);
      out.push_back(f);
      i += n;
      found = true;
      break;
    }
    if (found) continue;
    unsigned char c = fmt[i];
    if (std::isalnum(c)) Raise(1821);
    FmtElem f;
    f.literal = true;
    f.orig = f.up = std::string(1, static_cast<char>(c));
    out.push_back(f);
    ++i;
  }
  return out;
}

std::string Pad(int v, int width, bool fm) {
  char buf[32];
  std::snprintf(buf, sizeof buf, fm ? "%d" : "%0*d", fm ? v : width, v);
  if (fm) std::snprintf(buf, sizeof buf, "%d", v);
  return buf;
}

}  // namespace

std::string FormatIso(const DateTime& d) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                        d.minute, d.second);
  if (d.nanos > 0 && n > 0)
    n += std::snprintf(buf + n, sizeof buf - n, ".%09lld", static_cast<long long>(d.nanos));
  if (d.hasTz && n > 0) {
    int m = d.tzMinutes < 0 ? -d.tzMinutes : d.tzMinutes;
    std::snprintf(buf + n, sizeof buf - n, " %c%02d:%02d", d.tzMinutes < 0 ? '-' : '+', m / 60, m % 60);
  }
  return buf;
}

bool ParseIso(const std::string& s, DateTime& d) {
  if (s.size() < 19) return false;
  auto dig = [&](size_t i, size_t n) {
    int v = 0;
    for (size_t k = i; k < i + n; ++k) {
      if (k >= s.size() || s[k] < '0' || s[k] > '9') return -1;
      v = v * 10 + (s[k] - '0');
    }
    return v;
  };
  if (s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
  d.year = dig(0, 4);
  d.month = dig(5, 2);
  d.day = dig(8, 2);
  d.hour = dig(11, 2);
  d.minute = dig(14, 2);
  d.second = dig(17, 2);
  d.nanos = 0;
  d.hasTz = false;
  d.tzMinutes = 0;
  size_t p = 19;
  if (p < s.size() && s[p] == '.') {
    int64_t scale = 100000000;
    size_t digits = 0;
    for (++p; p < s.size() && s[p] >= '0' && s[p] <= '9'; ++p, ++digits) {
      if (digits < 9) d.nanos += (s[p] - '0') * scale;
      scale /= 10;
    }
    if (digits == 0) return false;
  }
  if (p < s.size()) {
    if (s.size() != p + 7 || s[p] != ' ' || (s[p + 1] != '+' && s[p + 1] != '-') || s[p + 4] != ':')
      return false;
    int h = dig(p + 2, 2), m = dig(p + 5, 2);
    if (h < 0 || h > 14 || m < 0 || m > 59) return false;
    d.hasTz = true;
    d.tzMinutes = (h * 60 + m) * (s[p + 1] == '-' ? -1 : 1);
  }
  return d.year > 0 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= DaysIn(d.year, d.month) &&
         d.hour >= 0 && d.hour < 24 && d.minute >= 0 && d.minute < 60 && d.second >= 0 && d.second < 60;
}

DateTime NowLocal() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = std::min(tm.tm_sec, 59);
  return d;
}

int64_t ToSeconds(const DateTime& d) {
  return (DaysFromCivil(d.year, d.month, d.day) - kEpochShift) * 86400 + d.hour * 3600 + d.minute * 60 +
         d.second;
}

DateTime FromSeconds(int64_t s) {
  int64_t days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
  int64_t rest = s - days * 86400;
  DateTime d;
  CivilFromDays(days + kEpochShift, d.year, d.month, d.day);
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  return d;
}

std::string FormatDate(const DateTime& d, const std::string& fmt) {
  auto elems = SplitFormat(fmt);
  std::string out;
  bool fm = false;
  int dow = static_cast<int>(((DaysFromCivil(d.year, d.month, d.day) % 7) + 11) % 7);  // 0 = Sunday
  int doy = static_cast<int>(DaysFromCivil(d.year, d.month, d.day) - DaysFromCivil(d.year, 1, 1)) + 1;
  for (auto& e : elems) {
    if (e.literal) {
      out += e.orig;
      continue;
    }
    const std::string& u = e.up;
    if (u == "FM")
      fm = !fm;
    else if (u == "FX" || u == "TH") {
    } else if (u == "YYYY" || u == "RRRR" || u == "SYYYY")
      out += Pad(d.year, 4, fm);
    else if (u == "YYY")
      out += Pad(d.year % 1000, 3, fm);
    else if (u == "YY" || u == "RR")
      out += Pad(d.year % 100, 2, fm);
    else if (u == "Y")
      out += Pad(d.year % 10, 1, fm);
    else if (u == "CC")
      out += Pad((d.year + 99) / 100, 2, fm);
    else if (u == "MM")
      out += Pad(d.month, 2, fm);
    else if (u == "MON")
      out += CaseLike(std::string(kMonths[d.month - 1]).substr(0, 3), e.orig);
    else if (u == "MONTH") {
      std::string m = CaseLike(kMonths[d.month - 1], e.orig);
      if (!fm) m.resize(9, ' ');
      out += m;
    } else if (u == "DD")
      out += Pad(d.day, 2, fm);
    else if (u == "DDD")
      out += Pad(doy, 3, fm);
    else if (u == "D")
      out += Pad(dow + 1, 1, fm);
    else if (u == "DY")
      out += CaseLike(std::string(kDays[dow]).substr(0, 3), e.orig);
    else if (u == "DAY") {
      std::string m = CaseLike(kDays[dow], e.orig);
      if (!fm) m.resize(9, ' ');
      out += m;
    } else if (u == "HH" || u == "HH12")
      out += Pad(d.hour % 12 == 0 ? 12 : d.hour % 12, 2, fm);
    else if (u == "HH24")
      out += Pad(d.hour, 2, fm);
    else if (u == "MI")
      out += Pad(d.minute, 2, fm);
    else if (u == "SS")
      out += Pad(d.second, 2, fm);
    else if (u == "SSSSS")
      out += Pad(d.hour * 3600 + d.minute * 60 + d.second, 5, fm);
    else if (u == "AM" || u == "PM")
      out += CaseLike(d.hour < 12 ? "AM" : "PM", e.orig);
    else if (u == "A.M." || u == "P.M.")
      out += CaseLike(d.hour < 12 ? "A.M." : "P.M.", e.orig);
    else if (u == "J")
      out += std::to_string(DaysFromCivil(d.year, d.month, d.day) - DaysFromCivil(-4712, 1, 1) + 1 - 38);
    else if (u == "Q")
      out += std::to_string((d.month - 1) / 3 + 1);
    else if (u == "WW")
      out += Pad((doy - 1) / 7 + 1, 2, fm);
    else if (u == "IW")
      out += Pad((doy - 1) / 7 + 1, 2, fm);
    else if (u == "W")
      out += std::to_string((d.day - 1) / 7 + 1);
  }
  return out;
}

DateTime ParseDate(const std::string& text, const std::string& fmt, const DateTime& now) {
  auto elems = SplitFormat(fmt);
  DateTime d;
  d.year = now.year;
  d.month = now.month;
  d.day = 1;
  bool pm = false, hasAmPm = false;
  size_t i = 0;
  auto skipSpace = [&]() {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  auto number = [&](int maxDigits) {
    skipSpace();
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
    size_t start = i;
    int v = 0;
    while (i < text.size() && i - start < static_cast<size_t>(maxDigits) &&
           std::isdigit(static_cast<unsigned char>(text[i])))
      v = v * 10 + (text[i++] - '0');
    if (i == start) {
      if (i >= text.size()) Raise(1840);
      Raise(1858);
    }
    return std::make_pair(neg ? -v : v, static_cast<int>(i - start));
  };
  auto word = [&](const char* const* list, int n, bool abbrev) {
    skipSpace();
    for (int k = 0; k < n; ++k) {
      std::string w = abbrev ? std::string(list[k]).substr(0, 3) : list[k];
      if (i + w.size() > text.size()) continue;
      bool eq = true;
      for (size_t j = 0; j < w.size(); ++j)
        if (std::toupper(static_cast<unsigned char>(text[i + j])) != w[j]) eq = false;
      if (eq) {
        i += w.size();
        return k;
      }
    }
    return -1;
  };
  for (auto& e : elems) {
    const std::string& u = e.up;
    if (e.literal) {
      skipSpace();
      if (std::isspace(static_cast<unsigned char>(e.orig[0]))) continue;
      if (i < text.size() && !std::isalnum(static_cast<unsigned char>(text[i]))) {
        ++i;
        continue;
      }
      if (i >= text.size()) break;
      Raise(1861);
    }
    if (i >= text.size() && u != "FM" && u != "FX") break;
    if (u == "FM" || u == "FX" || u == "TH") continue;
    if (u == "YYYY" || u == "SYYYY")
      d.year = number(4).first;
    else if (u == "RRRR") {
      auto [v, n] = number(4);
      d.year = n <= 2 ? (v < 50 ? 2000 + v : 1900 + v) : v;
    } else if (u == "YYY")
      d.year = now.year / 1000 * 1000 + number(3).first;
    else if (u == "YY")
      d.year = now.year / 100 * 100 + number(2).first;
    else if (u == "RR") {
      auto [v, n] = number(4);
      if (n <= 2) {
        int cur = now.year % 100, cent = now.year / 100;
        if (cur < 50)
          d.year = (v < 50 ? cent : cent - 1) * 100 + v;
        else
          d.year = (v < 50 ? cent + 1 : cent) * 100 + v;
      } else {
        d.year = v;
      }
    } else if (u == "Y")
      d.year = now.year / 10 * 10 + number(1).first;
    else if (u == "MM")
      d.month = number(2).first;
    else if (u == "MON" || u == "MONTH") {
      int k = word(kMonths, 12, false);
      if (k < 0) k = word(kMonths, 12, true);
      if (k < 0) Raise(1843);
      d.month = k + 1;
    } else if (u == "DD")
      d.day = number(2).first;
    else if (u == "DDD") {
      int v = number(3).first;
      DateTime t = FromSeconds(ToSeconds(DateTime{d.year, 1, 1, 0, 0, 0, 0}) + int64_t(v - 1) * 86400);
      d.month = t.month;
      d.day = t.day;
    } else if (u == "DY" || u == "DAY") {
      if (word(kDays, 7, false) < 0 && word(kDays, 7, true) < 0) Raise(1861);
    } else if (u == "D")
      number(1);
    else if (u == "HH" || u == "HH12") {
      d.hour = number(2).first;
      if (d.hour < 1 || d.hour > 12) Raise(1850);
    } else if (u == "HH24")
      d.hour = number(2).first;
    else if (u == "MI")
      d.minute = number(2).first;
    else if (u == "SS")
      d.second = number(2).first;
    else if (u == "SSSSS") {
      int v = number(5).first;
      d.hour = v / 3600;
      d.minute = v / 60 % 60;
      d.second = v % 60;
    } else if (u == "AM" || u == "PM" || u == "A.M." || u == "P.M.") {
      skipSpace();
      hasAmPm = true;
      std::string rest = text.substr(i, u.size());
      for (auto& c : rest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (rest.size() < 2 || (rest[0] != 'A' && rest[0] != 'P')) Raise(1861);
      pm = rest[0] == 'P';
      i += u.size();
    } else if (u == "J") {
      int v = number(7).first;
      DateTime t = FromSeconds((DaysFromCivil(-4712, 1, 1) - kEpochShift + v - 1 + 38) * int64_t(86400));
      d.year = t.year;
      d.month = t.month;
      d.day = t.day;
    } else {
      Raise(1821);
    }
  }
  skipSpace();
  if (i < text.size()) Raise(1830);
  if (hasAmPm) d.hour = d.hour % 12 + (pm ? 12 : 0);
  if (d.year == 0 || d.year < -4713 || d.year > 9999) Raise(1841);
  if (d.month < 1 || d.month > 12) Raise(1843);
  if (d.day < 1 || d.day > DaysIn(d.year, d.month)) Raise(1847);
  if (d.hour < 0 || d.hour > 23) Raise(1850);
  if (d.minute < 0 || d.minute > 59) Raise(1851);
  if (d.second < 0 || d.second > 59) Raise(1852);
  return d;
}

// ---------------------------------------------------------------- numbers
std::string NumberText(int64_t v) {
  return std::to_string(v);
}

std::string NumberText(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "~" : "-~";
  if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<int64_t>(v));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);  // 15 significant digits
  // mantissa digits and exponent
  std::string s = buf;
  bool neg = s[0] == '-';
  if (neg) s.erase(0, 1);
  auto epos = s.find('e');
  int exp = std::atoi(s.c_str() + epos + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exp >= 40 || exp <= -40) {
    out = digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") + "E" +
          (exp < 0 ? "-" : "+") + std::to_string(std::abs(exp));
  } else if (exp < 0) {
    out = "." + std::string(-exp - 1, '0') + digits;
  } else if (static_cast<int>(digits.size()) <= exp + 1) {
    out = digits + std::string(exp + 1 - digits.size(), '0');
  } else {
    out = digits.substr(0, exp + 1) + "." + digits.substr(exp + 1);
  }
  return neg ? "-" + out : out;
}

bool ParseNumber(const std::string& text, int64_t& i, double& d, bool& isInt) {
  size_t a = 0, b = text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
  if (a == b) return false;
  std::string s = text.substr(a, b - a);
  size_t k = 0;
  if (s[k] == '+' || s[k] == '-') ++k;
  bool digits = false, dot = false, exp = false;
  for (; k < s.size(); ++k) {
    char c = s[k];
    if (std::isdigit(static_cast<unsigned char>(c)))
      digits = true;
    else if (c == '.' && !dot && !exp)
      dot = true;
    else if ((c == 'e' || c == 'E') && digits && !exp) {
      exp = true;
      if (k + 1 < s.size() && (s[k + 1] == '+' || s[k + 1] == '-')) ++k;
      if (k + 1 >= s.size()) return false;
    } else
      return false;
  }
  if (!digits) return false;
  d = std::strtod(s.c_str(), nullptr);
  isInt = false;
  if (!dot && !exp && s.size() < 19) {
    i = std::strtoll(s.c_str(), nullptr, 10);
    isInt = true;
  } else if (d == std::floor(d) && std::fabs(d) < 9e15) {
    i = static_cast<int64_t>(d);
    isInt = true;
  }
  return true;
}

int64_t ClampToInt64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(std::trunc(v));
}

int64_t ParseIntClamped(const std::string& text, int64_t lo, int64_t hi) {
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) return 0;
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

// ---------------------------------------------------------------- ROWID
namespace {
const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
void B64(std::string& out, uint64_t v, int n) {
  for (int k = n - 1; k >= 0; --k) out += kB64[(v >> (6 * k)) & 63];
}
}  // namespace

std::string RowidText(int64_t objectId, int64_t rowid) {
  std::string s;
  s.reserve(18);
  B64(s, static_cast<uint64_t>(objectId), 6);
  B64(s, 4, 3);
  B64(s, static_cast<uint64_t>(rowid) >> 8, 6);
  B64(s, static_cast<uint64_t>(rowid) & 0xFF, 3);
  return s;
}

bool RowidDecode(const std::string& text, int64_t& objectId, int64_t& rowid) {
  if (text.size() != 18) return false;
  uint64_t parts[4] = {0, 0, 0, 0};
  const int widths[4] = {6, 3, 6, 3};
  size_t p = 0;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < widths[k]; ++j) {
      const char* f = std::strchr(kB64, text[p++]);
      if (!f || !*f) return false;
      parts[k] = (parts[k] << 6) | static_cast<uint64_t>(f - kB64);
    }
  }
  objectId = static_cast<int64_t>(parts[0]);
  rowid = static_cast<int64_t>((parts[2] << 8) | (parts[3] & 0xFF));
  return true;
}

// ---------------------------------------------------------------- SQLite glue
namespace {

FunctionEnv* Env(sqlite3_context* c) {
  return static_cast<FunctionEnv*>(sqlite3_user_data(c));
}

void Fail(sqlite3_context* c, const OraError& e) {
  sqlite3_result_error(c, e.text.c_str(), -1);
}
void Fail(sqlite3_context* c, int code, const std::string& arg = "") {
  Fail(c, MakeError(code, arg));
}

bool AnyNull(int n, sqlite3_value** v) {
  for (int i = 0; i < n; ++i)
    if (sqlite3_value_type(v[i]) == SQLITE_NULL) return true;
  return false;
}

void ResultText(sqlite3_context* c, const std::string& s) {
  if (s.empty())
    sqlite3_result_null(c);
  else
    sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void ResultNumber(sqlite3_context* c, double v) {
  if (std::isnan(v) || std::isinf(v)) {
    Fail(c, 1722);
    return;
  }
  if (v == std::floor(v) && std::fabs(v) < 9.2e18)
    sqlite3_result_int64(c, static_cast<int64_t>(v));
  else
    sqlite3_result_double(c, v);
}

std::string HexOf(const void* p, int n) {
  static const char* h = "0123456789ABCDEF";
  std::string s;
  auto b = static_cast<const unsigned char*>(p);
  for (int i = 0; i < n; ++i) {
    s += h[b[i] >> 4];
    s += h[b[i] & 15];
  }
  return s;
}

// A value as Oracle's implicit conversion to text gives it.
std::string TextOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return NumberText(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
      return NumberText(sqlite3_value_double(v));
    case SQLITE_BLOB:
      return HexOf(sqlite3_value_blob(v), sqlite3_value_bytes(v));
    default:
      return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
  }
}

// A value as a number; throws ORA-01722.
double NumOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return sqlite3_value_double(v);
    default: {
      int64_t i;
      double d;
      bool isInt;
      if (!ParseNumber(TextOf(v), i, d, isInt)) Raise(1722);
      return d;
    }
  }
}

// UTF-8
std::vector<uint32_t> Decode(const std::string& s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    uint32_t cp;
    int n;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if ((c >> 5) == 6) {
      cp = c & 0x1F;
      n = 2;
    } else if ((c >> 4) == 14) {
      cp = c & 0x0F;
      n = 3;
    } else if ((c >> 3) == 30) {
      cp = c & 0x07;
      n = 4;
    } else {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + n > s.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k < n; ++k) {
      unsigned char cc = s[i + k];
      if ((cc >> 6) != 2) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += n;
  }
  return out;
}

std::string Encode(const std::vector<uint32_t>& cps, size_t from = 0, size_t to = std::string::npos) {
  std::string s;
  to = std::min(to, cps.size());
  for (size_t i = from; i < to; ++i) {
    uint32_t cp = cps[i];
    if (cp < 0x80)
      s += static_cast<char>(cp);
    else if (cp < 0x800) {
      s += static_cast<char>(0xC0 | (cp >> 6));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      s += static_cast<char>(0xE0 | (cp >> 12));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (cp >> 18));
      s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return s;
}

uint32_t ToUpperCp(uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  return c;
}
uint32_t ToLowerCp(uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  return c;
}
bool IsAlnumCp(uint32_t c) {
  return (c < 0x80 && std::isalnum(static_cast<int>(c))) || c >= 0xC0;
}

double DecimalRound(double x, int d, bool trunc) {
  if (x == 0 || std::isnan(x) || std::isinf(x)) return x;
  if (d > 30) return x;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15e", x);
  std::string s = buf;
  bool neg = s[0] == '-';
  if (neg) s.erase(0, 1);
  auto epos = s.find('e');
  int exp = std::atoi(s.c_str() + epos + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);
  int keep = exp + 1 + d;  // digits before the cut
  if (keep < 0) return 0;
  if (keep >= static_cast<int>(digits.size())) return x;
  bool up = !trunc && digits[keep] >= '5';
  std::string kept = digits.substr(0, keep);
  if (kept.empty()) kept = "0";
  // increment
  if (up) {
    int k = static_cast<int>(kept.size()) - 1;
    if (keep == 0) {
      kept = "1";
      ++exp;
      keep = 1;
    } else {
      while (k >= 0) {
        if (kept[k] == '9') {
          kept[k] = '0';
          --k;
        } else {
          ++kept[k];
          break;
        }
      }
      if (k < 0) {
        kept = "1" + kept;
        ++exp;
        ++keep;
      }
    }
  }
  std::string num = kept + "e" + std::to_string(exp + 1 - keep);
  double r = std::strtod(num.c_str(), nullptr);
  return neg ? -r : r;
}

// Wraps a function body: OraError becomes the SQLite error text.
template <typename F>
void Guard(sqlite3_context* c, F&& f) {
  try {
    f();
  } catch (const OraError& e) {
    Fail(c, e);
  } catch (const std::exception& e) {
    sqlite3_result_error(c, e.what(), -1);
  }
}

#define ORA_FN(name) void name(sqlite3_context* c, int n, sqlite3_value** v)

ORA_FN(FnConcat) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (sqlite3_value_type(v[i]) == SQLITE_TEXT)  // appended in place, without a copy of its own
      s.append(reinterpret_cast<const char*>(sqlite3_value_text(v[i])), sqlite3_value_bytes(v[i]));
    else
      s += TextOf(v[i]);
  }
  ResultText(c, s);
}

ORA_FN(FnDiv) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER && sqlite3_value_type(v[1]) == SQLITE_INTEGER) {
      int64_t a = sqlite3_value_int64(v[0]), b = sqlite3_value_int64(v[1]);
      if (b == 0) Raise(1476);
      if (!(a == INT64_MIN && b == -1) && a % b == 0) return sqlite3_result_int64(c, a / b);
    }
    double b = NumOf(v[1]);
    if (b == 0) Raise(1476);
    ResultNumber(c, NumOf(v[0]) / b);
  });
}

// Oracle's comparison of two values for DECODE: NULL matches NULL.
bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) return ta == tb;
  bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT, nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
  if (na && nb) {
    if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    return sqlite3_value_double(a) == sqlite3_value_double(b);
  }
  if (na || nb) {
    try {
      return NumOf(a) == NumOf(b);
    } catch (const OraError&) {
      return false;
    }
  }
  return TextOf(a) == TextOf(b);
}

// The whole of DECODE in one call; statements stored in instance files written earlier still use it.
ORA_FN(FnDecode) {
  int i = 1;
  for (; i + 1 < n; i += 2) {
    if (SameValue(v[0], v[i])) return sqlite3_result_value(c, v[i + 1]);
  }
  if (i < n) return sqlite3_result_value(c, v[i]);
  sqlite3_result_null(c);
}

// DECODE's matching alone: ora_decode_pick(x, s1, ..., sn) is the position (1..n) of the first search
// value that matches x, 0 when none does. A CASE on it then computes only the chosen result.
ORA_FN(FnDecodePick) {
  for (int i = 1; i < n; ++i) {
    if (SameValue(v[0], v[i])) return sqlite3_result_int(c, i);
  }
  sqlite3_result_int(c, 0);
}

ORA_FN(FnSubstr) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    auto cps = Decode(TextOf(v[0]));
    int64_t len = static_cast<int64_t>(cps.size());
    int64_t pos = ClampToInt64(NumOf(v[1]));
    if (pos == 0) pos = 1;
    if (pos < 0) pos = len + pos + 1;
    if (pos < 1 || pos > len) return sqlite3_result_null(c);
    int64_t count = len - pos + 1;
    if (n > 2) {
      double l = std::trunc(NumOf(v[2]));
      if (l < 1) return sqlite3_result_null(c);
      if (l < static_cast<double>(count)) count = ClampToInt64(l);
    }
    ResultText(c, Encode(cps, pos - 1, pos - 1 + count));
  });
}

ORA_FN(FnInstr) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    auto s = Decode(TextOf(v[0]));
    auto t = Decode(TextOf(v[1]));
    int64_t pos = n > 2 ? ClampToInt64(NumOf(v[2])) : 1;
    int64_t occ = n > 3 ? ClampToInt64(NumOf(v[3])) : 1;
    if (pos == 0 || occ < 1) {
      if (occ < 1) Raise(1428, std::to_string(occ));
      return sqlite3_result_int64(c, 0);
    }
    int64_t ls = static_cast<int64_t>(s.size()), lt = static_cast<int64_t>(t.size());
    auto matchAt = [&](int64_t i) {
      if (i < 0 || i + lt > ls) return false;
      for (int64_t k = 0; k < lt; ++k)
        if (s[i + k] != t[k]) return false;
      return true;
    };
    if (pos > 0) {
      for (int64_t i = pos - 1; i + lt <= ls; ++i)
        if (matchAt(i) && --occ == 0) return sqlite3_result_int64(c, i + 1);
    } else {
      for (int64_t i = ls + pos + 1 - lt; i >= 0; --i)
        if (matchAt(i) && --occ == 0) return sqlite3_result_int64(c, i + 1);
    }
    sqlite3_result_int64(c, 0);
  });
}

ORA_FN(FnLength) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  if (sqlite3_value_type(v[0]) == SQLITE_BLOB) return sqlite3_result_int64(c, sqlite3_value_bytes(v[0]));
  sqlite3_result_int64(c, static_cast<int64_t>(Decode(TextOf(v[0])).size()));
}

ORA_FN(FnLengthB) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  if (sqlite3_value_type(v[0]) == SQLITE_BLOB) return sqlite3_result_int64(c, sqlite3_value_bytes(v[0]));
  sqlite3_result_int64(c, static_cast<int64_t>(TextOf(v[0]).size()));
}

void Pad(sqlite3_context* c, int n, sqlite3_value** v, bool left) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    double w = std::trunc(NumOf(v[1]));
    if (w < 1) return sqlite3_result_null(c);
    if (w > 32767) w = 32767;
    size_t width = static_cast<size_t>(w);
    std::string text = TextOf(v[0]);
    std::string padText = n > 2 ? TextOf(v[2]) : std::string(" ");
    if (padText.empty()) return sqlite3_result_null(c);  // '' is NULL
    auto ascii = [](const std::string& t) {
      return std::all_of(t.begin(), t.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
    };
    if (ascii(text) && ascii(padText)) {  // one byte per character
      if (text.size() >= width) return ResultText(c, text.substr(0, width));
      std::string fill;
      for (size_t i = 0; i < width - text.size(); ++i) fill += padText[i % padText.size()];
      return ResultText(c, left ? fill + text : text + fill);
    }
    auto s = Decode(text);
    auto pad = Decode(padText);
    if (s.size() >= width) return ResultText(c, Encode(s, 0, width));
    std::vector<uint32_t> fill;
    size_t need = width - s.size();
    for (size_t i = 0; i < need; ++i) fill.push_back(pad[i % pad.size()]);
    if (left) {
      fill.insert(fill.end(), s.begin(), s.end());
      ResultText(c, Encode(fill));
    } else {
      s.insert(s.end(), fill.begin(), fill.end());
      ResultText(c, Encode(s));
    }
  });
}
ORA_FN(FnLpad) {
  Pad(c, n, v, true);
}
ORA_FN(FnRpad) {
  Pad(c, n, v, false);
}

ORA_FN(FnUpper) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  for (auto& ch : s) ch = ToUpperCp(ch);
  ResultText(c, Encode(s));
}
ORA_FN(FnLower) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  for (auto& ch : s) ch = ToLowerCp(ch);
  ResultText(c, Encode(s));
}
ORA_FN(FnInitcap) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  bool start = true;
  for (auto& ch : s) {
    ch = start ? ToUpperCp(ch) : ToLowerCp(ch);
    start = !IsAlnumCp(ch);
  }
  ResultText(c, Encode(s));
}

ORA_FN(FnTrim) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL || sqlite3_value_type(v[1]) == SQLITE_NULL)
    return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  auto set = Decode(TextOf(v[1]));
  std::string mode = TextOf(v[2]);
  auto in = [&](uint32_t ch) { return std::find(set.begin(), set.end(), ch) != set.end(); };
  size_t a = 0, b = s.size();
  if (mode != "TRAILING")
    while (a < b && in(s[a])) ++a;
  if (mode != "LEADING")
    while (b > a && in(s[b - 1])) --b;
  ResultText(c, Encode(s, a, b));
}

ORA_FN(FnReplace) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  std::string s = TextOf(v[0]), from = TextOf(v[1]), to = TextOf(v[2]);
  if (from.empty()) return ResultText(c, s);
  std::string out;
  size_t p = 0;
  for (;;) {
    size_t q = s.find(from, p);
    if (q == std::string::npos) break;
    out += s.substr(p, q - p) + to;
    p = q + from.size();
  }
  out += s.substr(p);
  ResultText(c, out);
}

ORA_FN(FnTranslate) {
  if (AnyNull(n, v)) return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  auto from = Decode(TextOf(v[1]));
  auto to = Decode(TextOf(v[2]));
  std::vector<uint32_t> out;
  for (auto ch : s) {
    auto it = std::find(from.begin(), from.end(), ch);
    if (it == from.end()) {
      out.push_back(ch);
      continue;
    }
    size_t k = static_cast<size_t>(it - from.begin());
    if (k < to.size()) out.push_back(to[k]);
  }
  ResultText(c, Encode(out));
}

ORA_FN(FnChr) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    double d = NumOf(v[0]);
    if (d < 0 || d > 4294967295.0) Raise(1722);
    uint64_t code = static_cast<uint64_t>(d);
    std::string bytes;
    if (code == 0) bytes.push_back('\0');
    for (int k = 3; k >= 0; --k) {
      unsigned char b = static_cast<unsigned char>(code >> (8 * k));
      if (b || !bytes.empty()) bytes.push_back(static_cast<char>(b));
    }
    auto cps = Decode(bytes);
    bool valid =
        bytes.find('\0') == std::string::npos && Encode(cps) == bytes &&
        std::all_of(cps.begin(), cps.end(), [](uint32_t x) { return x < 0x80 || x >= 0xA0; }) &&
        (bytes.size() == 1 || static_cast<unsigned char>(bytes[0]) >= 0xC0 || cps.size() == bytes.size());
    if (valid)
      sqlite3_result_text(c, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    else
      sqlite3_result_blob(c, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  });
}

ORA_FN(FnAscii) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  auto s = Decode(TextOf(v[0]));
  sqlite3_result_int64(c, s.empty() ? 0 : s[0]);
}

// TO_CHAR(number, format)
std::string FormatNumber(double x, const std::string& fmtIn) {
  std::string fmt;
  for (char ch : fmtIn) fmt += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  bool fm = false;
  if (fmt.rfind("FM", 0) == 0) {
    fm = true;
    fmt.erase(0, 2);
  }
  if (fmt.empty()) Raise(1481);
  // hexadecimal
  if (fmt.find('X') != std::string::npos) {
    if (x < 0 || x != std::floor(x)) Raise(1722);
    char buf[32];
    if (x >= 1.8e19) return std::string(fmtIn.size() + 1, '#');
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(x));
    std::string h = buf;
    size_t width = fmt.size();
    if (h.size() > width) return std::string(width + 1, '#');
    if (fmt[0] == '0')
      h = std::string(width - h.size(), '0') + h;
    else if (!fm)
      h = std::string(width - h.size(), ' ') + h;
    return h;
  }
  bool sLead = false, sTrail = false, mi = false, dollar = false;
  if (fmt[0] == 'S') {
    sLead = true;
    fmt.erase(0, 1);
  }
  if (fmt.size() >= 2 && fmt.substr(fmt.size() - 2) == "MI") {
    mi = true;
    fmt.resize(fmt.size() - 2);
  } else if (!fmt.empty() && fmt.back() == 'S') {
    sTrail = true;
    fmt.pop_back();
  }
  auto dpos = fmt.find('$');
  if (dpos != std::string::npos) {
    dollar = true;
    fmt.erase(dpos, 1);
  }
  for (auto& ch : fmt) {
    if (ch == 'D') ch = '.';
    if (ch == 'G') ch = ',';
  }
  for (char ch : fmt)
    if (ch != '9' && ch != '0' && ch != ',' && ch != '.') Raise(1481);
  auto dot = fmt.find('.');
  std::string ip = dot == std::string::npos ? fmt : fmt.substr(0, dot);
  std::string fp = dot == std::string::npos ? "" : fmt.substr(dot + 1);
  int fracDigits = static_cast<int>(fp.size());
  bool neg = x < 0;
  double ax = DecimalRound(std::fabs(x), fracDigits, false);
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", fracDigits, ax);
  std::string num = buf;
  auto ndot = num.find('.');
  std::string idig = ndot == std::string::npos ? num : num.substr(0, ndot);
  std::string fdig = ndot == std::string::npos ? "" : num.substr(ndot + 1);
  if (idig == "0") idig.clear();
  int slots = 0;
  for (char ch : ip)
    if (ch == '9' || ch == '0') ++slots;
  if (static_cast<int>(idig.size()) > slots) return std::string(fmtIn.size() + 1, '#');
  // integer part, right to left
  std::string out;
  int di = static_cast<int>(idig.size()) - 1;
  int firstZero = static_cast<int>(ip.find('0'));
  for (int k = static_cast<int>(ip.size()) - 1; k >= 0; --k) {
    char m = ip[k];
    if (m == ',') {
      bool more = di >= 0 || (firstZero >= 0 && firstZero < k);
      out.insert(out.begin(), more ? ',' : ' ');
      continue;
    }
    if (di >= 0)
      out.insert(out.begin(), idig[di--]);
    else if (firstZero >= 0 && k >= firstZero)
      out.insert(out.begin(), '0');
    else
      out.insert(out.begin(), ' ');
  }
  if (idig.empty() && fp.empty() && out.find('0') == std::string::npos) {
    // a zero needs one digit
    if (!out.empty()) out.back() = '0';
  }
  if (dot != std::string::npos) {
    std::string f = fdig;
    if (fm) {
      // trailing zeros in 9 positions go
      int k = static_cast<int>(f.size()) - 1;
      while (k >= 0 && f[k] == '0' && fp[k] == '9') --k;
      f.resize(k + 1);
    }
    out += "." + f;
  }
  std::string sign = neg ? "-" : (sLead || sTrail ? "+" : "");
  // place sign/dollar immediately left of the first significant character
  size_t firstNon = out.find_first_not_of(' ');
  if (firstNon == std::string::npos) firstNon = out.size();
  std::string lead = out.substr(0, firstNon), body = out.substr(firstNon);
  if (dollar) body = "$" + body;
  if (mi) {
    body += neg ? "-" : (fm ? "" : " ");
    sign.clear();
  } else if (sTrail) {
    body += sign;
    sign.clear();
  } else if (!sLead && !neg) {
    sign = fm ? "" : " ";
  }
  std::string r = lead + sign + body;
  if (fm) {
    size_t a = r.find_first_not_of(' ');
    r = a == std::string::npos ? "" : r.substr(a);
  }
  return r;
}

ORA_FN(FnToCharNum) {
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    if (n < 2 || sqlite3_value_type(v[1]) == SQLITE_NULL) {
      if (sqlite3_value_type(v[0]) == SQLITE_TEXT) return sqlite3_result_value(c, v[0]);
      return ResultText(c, TextOf(v[0]));
    }
    ResultText(c, FormatNumber(NumOf(v[0]), TextOf(v[1])));
  });
}

double ParseNumberFormat(const std::string& text, const std::string& fmtIn) {
  std::string fmt;
  for (char ch : fmtIn) fmt += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (fmt.rfind("FM", 0) == 0) fmt.erase(0, 2);
  if (fmt.find('X') != std::string::npos) {
    uint64_t v = 0;
    std::string t = text;
    while (!t.empty() && t[0] == ' ') t.erase(0, 1);
    if (t.empty()) Raise(1722);
    for (char ch : t) {
      int d = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
              : (std::toupper(static_cast<unsigned char>(ch)) >= 'A' &&
                 std::toupper(static_cast<unsigned char>(ch)) <= 'F')
                  ? std::toupper(static_cast<unsigned char>(ch)) - 'A' + 10
                  : -1;
      if (d < 0) Raise(1722);
      v = v * 16 + static_cast<uint64_t>(d);
    }
    return static_cast<double>(v);
  }
  std::string t;
  for (char ch : text)
    if (ch != ',' && ch != '$' && ch != ' ') t += ch;
  if (!t.empty() && t.back() == '-') t = "-" + t.substr(0, t.size() - 1);
  int64_t i;
  double d;
  bool isInt;
  if (!ParseNumber(t, i, d, isInt)) Raise(1722);
  return d;
}

ORA_FN(FnToNumber) {
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    int t = sqlite3_value_type(v[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(c, v[0]);
    if (n > 1 && sqlite3_value_type(v[1]) != SQLITE_NULL)
      return ResultNumber(c, ParseNumberFormat(TextOf(v[0]), TextOf(v[1])));
    int64_t i;
    double d;
    bool isInt;
    if (!ParseNumber(TextOf(v[0]), i, d, isInt)) Raise(1722);
    if (isInt)
      sqlite3_result_int64(c, i);
    else
      sqlite3_result_double(c, d);
  });
}

DateTime DateArg(sqlite3_value* v) {
  DateTime d;
  if (!ParseIso(TextOf(v), d)) Raise(1861);
  return d;
}

ORA_FN(FnToDate) {
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    std::string s = TextOf(v[0]);
    DateTime d;
    if (n < 2 || sqlite3_value_type(v[1]) == SQLITE_NULL) {
      if (ParseIso(s, d)) return ResultText(c, s);
      d = ParseDate(s, Env(c)->nlsDateFormat, Env(c)->now);
    } else {
      try {
        d = ParseDate(s, TextOf(v[1]), Env(c)->now);
      } catch (const OraError&) {
        if (!ParseIso(s, d)) throw;
      }
    }
    ResultText(c, FormatIso(d));
  });
}

ORA_FN(FnToCharDate) {
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    DateTime d = DateArg(v[0]);
    std::string fmt = n > 1 ? TextOf(v[1]) : Env(c)->nlsDateFormat;
    if (n > 1 && sqlite3_value_type(v[1]) == SQLITE_NULL) return sqlite3_result_null(c);
    ResultText(c, FormatDate(d, fmt));
  });
}

ORA_FN(FnDateText) {
  (void)n;
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    DateTime d;
    std::string s = TextOf(v[0]);
    if (!ParseIso(s, d)) return ResultText(c, s);
    ResultText(c, FormatDate(d, Env(c)->nlsDateFormat));
  });
}

ORA_FN(FnSysdate) {
  (void)n;
  (void)v;
  ResultText(c, FormatIso(Env(c)->now));
}

ORA_FN(FnDateAdd) {
  (void)n;
  Guard(c, [&] {
    if (AnyNull(2, v)) return sqlite3_result_null(c);
    DateTime d = DateArg(v[0]);
    double days = NumOf(v[1]);
    if (!(std::fabs(days) < 4.0e6)) Raise(1841);
    int64_t s = ToSeconds(d) + static_cast<int64_t>(std::llround(days * 86400.0));
    DateTime r = FromSeconds(s);
    if (r.year < 1 || r.year > 9999) Raise(1841);
    ResultText(c, FormatIso(r));
  });
}

ORA_FN(FnDateDiff) {
  (void)n;
  Guard(c, [&] {
    if (AnyNull(2, v)) return sqlite3_result_null(c);
    int64_t s = ToSeconds(DateArg(v[0])) - ToSeconds(DateArg(v[1]));
    if (s % 86400 == 0) return sqlite3_result_int64(c, s / 86400);
    sqlite3_result_double(c, static_cast<double>(s) / 86400.0);
  });
}

DateTime TruncDate(DateTime d, const std::string& fmtIn) {
  std::string f;
  for (char ch : fmtIn) f += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (f == "DD" || f == "DDD" || f == "J") {
    d.hour = d.minute = d.second = 0;
  } else if (f == "MM" || f == "MON" || f == "MONTH" || f == "RM") {
    d.day = 1;
    d.hour = d.minute = d.second = 0;
  } else if (f == "YYYY" || f == "YEAR" || f == "YY" || f == "RR" || f == "RRRR" || f == "Y" ||
             f == "SYYYY" || f == "YYY" || f == "SYEAR") {
    d.month = d.day = 1;
    d.hour = d.minute = d.second = 0;
  } else if (f == "Q") {
    d.month = (d.month - 1) / 3 * 3 + 1;
    d.day = 1;
    d.hour = d.minute = d.second = 0;
  } else if (f == "HH" || f == "HH12" || f == "HH24") {
    d.minute = d.second = 0;
  } else if (f == "MI") {
    d.second = 0;
  } else if (f == "D" || f == "DY" || f == "DAY") {
    int dow = static_cast<int>(((DaysFromCivil(d.year, d.month, d.day) % 7) + 11) % 7);
    d.hour = d.minute = d.second = 0;
    d = FromSeconds(ToSeconds(d) - int64_t(dow) * 86400);
  } else if (f == "CC" || f == "SCC") {
    d.year = (d.year - 1) / 100 * 100 + 1;
    d.month = d.day = 1;
    d.hour = d.minute = d.second = 0;
  } else {
    Raise(1821);
  }
  return d;
}

ORA_FN(FnTruncDate) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    ResultText(c, FormatIso(TruncDate(DateArg(v[0]), n > 1 ? TextOf(v[1]) : "DD")));
  });
}

ORA_FN(FnRoundDate) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    DateTime d = DateArg(v[0]);
    std::string f = n > 1 ? TextOf(v[1]) : "DD";
    for (auto& ch : f) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    DateTime t = TruncDate(d, f);
    int64_t s = ToSeconds(d), ts = ToSeconds(t);
    int64_t half;
    DateTime next = t;
    if (f == "DD" || f == "DDD" || f == "J")
      next = FromSeconds(ts + 86400);
    else if (f == "HH" || f == "HH24" || f == "HH12")
      next = FromSeconds(ts + 3600);
    else if (f == "MI")
      next = FromSeconds(ts + 60);
    else if (f == "MM" || f == "MON" || f == "MONTH") {
      next.month = t.month % 12 + 1;
      next.year = t.month == 12 ? t.year + 1 : t.year;
      half = ToSeconds(DateTime{t.year, t.month, 16, 0, 0, 0, 0});
      return ResultText(c, FormatIso(s >= half ? next : t));
    } else {
      next.year = t.year + 1;
      half = ToSeconds(DateTime{t.year, 7, 1, 0, 0, 0, 0});
      return ResultText(c, FormatIso(s >= half ? next : t));
    }
    half = ts + (ToSeconds(next) - ts) / 2;
    ResultText(c, FormatIso(s >= half ? next : t));
  });
}

ORA_FN(FnAddMonths) {
  (void)n;
  Guard(c, [&] {
    if (AnyNull(2, v)) return sqlite3_result_null(c);
    DateTime d = DateArg(v[0]);
    int64_t m = ClampToInt64(NumOf(v[1]));
    if (m > 120000 || m < -120000) Raise(1841);
    bool last = d.day == DaysIn(d.year, d.month);
    int64_t total = int64_t(d.year) * 12 + (d.month - 1) + m;
    d.year = static_cast<int>(total / 12);
    d.month = static_cast<int>(total % 12) + 1;
    if (d.year < 1 || d.year > 9999) Raise(1841);
    int dim = DaysIn(d.year, d.month);
    if (last || d.day > dim) d.day = dim;
    ResultText(c, FormatIso(d));
  });
}

ORA_FN(FnMonthsBetween) {
  (void)n;
  Guard(c, [&] {
    if (AnyNull(2, v)) return sqlite3_result_null(c);
    DateTime a = DateArg(v[0]), b = DateArg(v[1]);
    double months = (a.year - b.year) * 12.0 + (a.month - b.month);
    bool lastA = a.day == DaysIn(a.year, a.month), lastB = b.day == DaysIn(b.year, b.month);
    if (a.day == b.day || (lastA && lastB)) return ResultNumber(c, months);
    double secA = a.day * 86400.0 + a.hour * 3600 + a.minute * 60 + a.second;
    double secB = b.day * 86400.0 + b.hour * 3600 + b.minute * 60 + b.second;
    ResultNumber(c, months + (secA - secB) / (31.0 * 86400));
  });
}

ORA_FN(FnLastDay) {
  (void)n;
  Guard(c, [&] {
    if (AnyNull(1, v)) return sqlite3_result_null(c);
    DateTime d = DateArg(v[0]);
    d.day = DaysIn(d.year, d.month);
    ResultText(c, FormatIso(d));
  });
}

void RoundNum(sqlite3_context* c, int n, sqlite3_value** v, bool trunc) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    int d = n > 1
                ? static_cast<int>(std::max<int64_t>(-400, std::min<int64_t>(400, ClampToInt64(NumOf(v[1])))))
                : 0;
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER && d >= 0) return sqlite3_result_value(c, v[0]);
    double x = NumOf(v[0]);
    // fast path: a moderate value well away from an integer truncates alike in binary and decimal
    double frac = x - std::floor(x);
    if (trunc && d == 0 && std::fabs(x) < 1e6 && frac > 1e-6 && frac < 1 - 1e-6)
      return ResultNumber(c, std::trunc(x));
    ResultNumber(c, DecimalRound(x, d, trunc));
  });
}
ORA_FN(FnRoundNum) {
  RoundNum(c, n, v, false);
}
ORA_FN(FnTruncNum) {
  RoundNum(c, n, v, true);
}

ORA_FN(FnMod) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER && sqlite3_value_type(v[1]) == SQLITE_INTEGER) {
      int64_t a = sqlite3_value_int64(v[0]), b = sqlite3_value_int64(v[1]);
      if (b == 0) return sqlite3_result_int64(c, a);
      if (b == -1) return sqlite3_result_int64(c, 0);
      return sqlite3_result_int64(c, a % b);
    }
    double a = NumOf(v[0]), b = NumOf(v[1]);
    if (b == 0) return ResultNumber(c, a);
    ResultNumber(c, a - b * std::trunc(a / b));
  });
}

template <double (*F)(double)>
void Unary(sqlite3_context* c, int n, sqlite3_value** v) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER &&
        (F == static_cast<double (*)(double)>(std::ceil) || F == static_cast<double (*)(double)>(std::floor)))
      return sqlite3_result_value(c, v[0]);
    ResultNumber(c, F(NumOf(v[0])));
  });
}
double SignOf(double x) {
  return x > 0 ? 1 : x < 0 ? -1 : 0;
}
double AbsOf(double x) {
  return std::fabs(x);
}
double CeilOf(double x) {
  return std::ceil(x);
}
double FloorOf(double x) {
  return std::floor(x);
}
double ExpOf(double x) {
  return std::exp(x);
}
double SqrtOf(double x) {
  if (x < 0) Raise(1428, NumberText(x));
  return std::sqrt(x);
}
double LnOf(double x) {
  if (x <= 0) Raise(1428, NumberText(x));
  return std::log(x);
}

ORA_FN(FnAbs) {
  if (n == 1 && sqlite3_value_type(v[0]) == SQLITE_INTEGER && sqlite3_value_int64(v[0]) != INT64_MIN)
    return sqlite3_result_int64(c, std::llabs(sqlite3_value_int64(v[0])));
  Unary<AbsOf>(c, n, v);
}

ORA_FN(FnPower) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    ResultNumber(c, std::pow(NumOf(v[0]), NumOf(v[1])));
  });
}
ORA_FN(FnLog) {
  Guard(c, [&] {
    if (AnyNull(n, v)) return sqlite3_result_null(c);
    double b = NumOf(v[0]), x = NumOf(v[1]);
    if (b <= 0 || b == 1 || x <= 0) Raise(1428, NumberText(x));
    ResultNumber(c, std::log(x) / std::log(b));
  });
}

ORA_FN(FnHexToRaw) {
  (void)n;
  Guard(c, [&] {
    int t = sqlite3_value_type(v[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(c);
    if (t == SQLITE_BLOB) return sqlite3_result_value(c, v[0]);
    std::string s = TextOf(v[0]);
    if (s.size() % 2) s = "0" + s;
    std::string out;
    for (size_t i = 0; i < s.size(); i += 2) {
      auto hv = [](char ch) {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        return -1;
      };
      int hi = hv(s[i]), lo = hv(s[i + 1]);
      if (hi < 0 || lo < 0) Raise(1465);
      out += static_cast<char>(hi * 16 + lo);
    }
    if (out.empty()) return sqlite3_result_null(c);
    sqlite3_result_blob(c, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
  });
}

ORA_FN(FnRawToHex) {
  (void)n;
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  if (sqlite3_value_type(v[0]) == SQLITE_BLOB) return ResultText(c, TextOf(v[0]));
  std::string s = TextOf(v[0]);
  ResultText(c, HexOf(s.data(), static_cast<int>(s.size())));
}

ORA_FN(FnRowid) {
  (void)n;
  if (sqlite3_value_type(v[1]) == SQLITE_NULL) return sqlite3_result_null(c);
  ResultText(c, RowidText(sqlite3_value_int64(v[0]), sqlite3_value_int64(v[1])));
}

ORA_FN(FnRowidNum) {
  (void)n;
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    int64_t obj, rid;
    if (!RowidDecode(TextOf(v[0]), obj, rid)) Raise(1410);
    if (obj != sqlite3_value_int64(v[1])) return sqlite3_result_int64(c, -1);
    sqlite3_result_int64(c, rid);
  });
}

ORA_FN(FnNumCol) {
  (void)n;
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    int p = sqlite3_value_int(v[1]), s = sqlite3_value_int(v[2]);
    double x = NumOf(v[0]);
    if (s != -127) x = DecimalRound(x, s, false);
    if (p > 0) {
      double limit = std::pow(10.0, p - (s == -127 ? 0 : s));
      if (std::fabs(x) >= limit) Raise(1438);
    }
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER && s >= 0) return sqlite3_result_value(c, v[0]);
    ResultNumber(c, x);
  });
}

ORA_FN(FnStrCol) {
  (void)n;
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    int width = sqlite3_value_int(v[1]);
    std::string s = TextOf(v[0]);
    if (width > 0 && static_cast<int>(s.size()) > width && static_cast<int>(Decode(s).size()) > width)
      Raise(1401);
    ResultText(c, s);
  });
}

ORA_FN(FnCharCol) {
  (void)n;
  Guard(c, [&] {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    int width = sqlite3_value_int(v[1]);
    std::string s = TextOf(v[0]);
    auto cps = Decode(s);
    if (static_cast<int>(cps.size()) > width) {
      while (!cps.empty() && cps.back() == ' ' && static_cast<int>(cps.size()) > width) cps.pop_back();
      if (static_cast<int>(cps.size()) > width) Raise(1401);
    }
    while (static_cast<int>(cps.size()) < width) cps.push_back(' ');
    ResultText(c, Encode(cps));
  });
}

ORA_FN(FnNextval) {
  (void)n;
  Guard(c, [&] {
    FunctionEnv* env = Env(c);
    int64_t id = sqlite3_value_int64(v[0]);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(env->db,
                       "SELECT next_value, increment_by, min_value, max_value, cycle_flag, owner, name FROM "
                       "sim$sequences WHERE obj_id = ?",
                       -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, id);
    if (sqlite3_step(st) != SQLITE_ROW) {
      sqlite3_finalize(st);
      Raise(2289);
    }
    int64_t next = sqlite3_column_int64(st, 0), inc = sqlite3_column_int64(st, 1);
    int64_t mn = sqlite3_column_int64(st, 2), mx = sqlite3_column_int64(st, 3);
    bool cycle = sqlite3_column_int(st, 4) != 0;
    std::string name = std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 5))) + "." +
                       reinterpret_cast<const char*>(sqlite3_column_text(st, 6));
    sqlite3_finalize(st);
    if ((inc > 0 && next > mx) || (inc < 0 && next < mn)) {
      if (!cycle) Raise(8004, name);
      next = inc > 0 ? mn : mx;
    }
    sqlite3_prepare_v2(env->db, "UPDATE sim$sequences SET next_value = ? WHERE obj_id = ?", -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, next + inc);
    sqlite3_bind_int64(st, 2, id);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) throw OraError(3001, "ORA-03001: unimplemented feature");
    env->currval[id] = next;
    sqlite3_result_int64(c, next);
  });
}

ORA_FN(FnCurrval) {
  (void)n;
  Guard(c, [&] {
    FunctionEnv* env = Env(c);
    int64_t id = sqlite3_value_int64(v[0]);
    auto it = env->currval.find(id);
    if (it == env->currval.end()) {
      sqlite3_stmt* st = nullptr;
      std::string name = "?";
      sqlite3_prepare_v2(env->db, "SELECT owner || '.' || name FROM sim$sequences WHERE obj_id = ?", -1, &st,
                         nullptr);
      sqlite3_bind_int64(st, 1, id);
      if (sqlite3_step(st) == SQLITE_ROW) name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      sqlite3_finalize(st);
      Raise(8002, name);
    }
    sqlite3_result_int64(c, it->second);
  });
}

ORA_FN(FnSid) {
  (void)n;
  (void)v;
  sqlite3_result_int(c, Env(c)->sid);
}
ORA_FN(FnUser) {
  (void)n;
  (void)v;
  ResultText(c, Env(c)->user);
}
ORA_FN(FnIsDba) {
  (void)n;
  (void)v;
  sqlite3_result_int(c, Env(c)->dba ? 1 : 0);
}
ORA_FN(FnUndoing) {
  (void)n;
  (void)v;
  sqlite3_result_int(c, Env(c)->undoing ? 1 : 0);
}

ORA_FN(FnUserenv) {
  (void)n;
  FunctionEnv* env = Env(c);
  std::string k = TextOf(v[0]);
  for (auto& ch : k) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (k == "SESSIONID" || k == "SID") return sqlite3_result_int(c, env->sid);
  if (k == "SESSION_USER" || k == "CURRENT_USER" || k == "CURRENT_SCHEMA") return ResultText(c, env->user);
  if (k == "LANGUAGE") return ResultText(c, "AMERICAN_AMERICA.AL32UTF8");
  if (k == "LANG") return ResultText(c, "US");
  if (k == "TERMINAL") return ResultText(c, "unknown");
  if (k == "INSTANCE") return sqlite3_result_int(c, 1);
  if (k == "DB_NAME" || k == "INSTANCE_NAME") return ResultText(c, "SIM");
  if (k == "CLIENT_INFO") return ResultText(c, env->clientInfo);
  if (k == "MODULE") return ResultText(c, env->module);
  if (k == "ACTION") return ResultText(c, env->action);
  if (k == "ISDBA") return ResultText(c, env->dba ? "TRUE" : "FALSE");
  sqlite3_result_null(c);
}

// Called by the row triggers when another session holds the row: notes the holder, fails the statement.
ORA_FN(FnLockConflict) {
  (void)n;
  Env(c)->lockHolder = sqlite3_value_int(v[0]);
  sqlite3_result_error(c, "SIM-LOCK", -1);
}

// Packs row values for the undo log: per value a type byte, then the payload.
ORA_FN(FnPack) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    int t = sqlite3_value_type(v[i]);
    out += static_cast<char>(t);
    if (t == SQLITE_INTEGER) {
      int64_t x = sqlite3_value_int64(v[i]);
      out.append(reinterpret_cast<const char*>(&x), 8);
    } else if (t == SQLITE_FLOAT) {
      double x = sqlite3_value_double(v[i]);
      out.append(reinterpret_cast<const char*>(&x), 8);
    } else if (t != SQLITE_NULL) {
      uint32_t len = static_cast<uint32_t>(sqlite3_value_bytes(v[i]));
      const void* p =
          t == SQLITE_BLOB ? sqlite3_value_blob(v[i]) : static_cast<const void*>(sqlite3_value_text(v[i]));
      out.append(reinterpret_cast<const char*>(&len), 4);
      out.append(static_cast<const char*>(p), len);
    }
  }
  sqlite3_result_blob(c, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// The i-th value packed by ora_pack.
ORA_FN(FnUnpack) {
  (void)n;
  if (sqlite3_value_type(v[0]) != SQLITE_BLOB) return sqlite3_result_null(c);
  auto b = static_cast<const unsigned char*>(sqlite3_value_blob(v[0]));
  size_t size = static_cast<size_t>(sqlite3_value_bytes(v[0]));
  int want = sqlite3_value_int(v[1]);
  size_t p = 0;
  for (int i = 0; p < size; ++i) {
    int t = b[p++];
    size_t len = 0;
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
      len = 8;
    } else if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
      if (p + 4 > size) break;
      uint32_t l;
      std::memcpy(&l, b + p, 4);
      p += 4;
      len = l;
    }
    if (p + len > size) break;
    if (i == want) {
      if (t == SQLITE_INTEGER) {
        int64_t x;
        std::memcpy(&x, b + p, 8);
        return sqlite3_result_int64(c, x);
      }
      if (t == SQLITE_FLOAT) {
        double x;
        std::memcpy(&x, b + p, 8);
        return sqlite3_result_double(c, x);
      }
      if (t == SQLITE_TEXT)
        return sqlite3_result_text(c, reinterpret_cast<const char*>(b + p), static_cast<int>(len),
                                   SQLITE_TRANSIENT);
      if (t == SQLITE_BLOB) return sqlite3_result_blob(c, b + p, static_cast<int>(len), SQLITE_TRANSIENT);
      return sqlite3_result_null(c);
    }
    p += len;
  }
  sqlite3_result_null(c);
}

struct FnDef {
  const char* name;
  int args;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic;
};

}  // namespace

void RegisterFunctions(sqlite3* db, FunctionEnv* env) {
  static const FnDef defs[] = {
      {"ora_concat", -1, FnConcat, true},
      {"ora_div", 2, FnDiv, true},
      {"ora_decode", -1, FnDecode, true},
      {"ora_decode_pick", -1, FnDecodePick, true},
      {"ora_substr", 2, FnSubstr, true},
      {"ora_substr", 3, FnSubstr, true},
      {"ora_instr", -1, FnInstr, true},
      {"ora_length", 1, FnLength, true},
      {"ora_lengthb", 1, FnLengthB, true},
      {"ora_lpad", -1, FnLpad, true},
      {"ora_rpad", -1, FnRpad, true},
      {"ora_upper", 1, FnUpper, true},
      {"ora_lower", 1, FnLower, true},
      {"ora_initcap", 1, FnInitcap, true},
      {"ora_trim", 3, FnTrim, true},
      {"ora_replace", 3, FnReplace, true},
      {"ora_translate", 3, FnTranslate, true},
      {"ora_chr", 1, FnChr, true},
      {"ora_ascii", 1, FnAscii, true},
      {"ora_to_char_num", -1, FnToCharNum, true},
      {"ora_to_number", -1, FnToNumber, true},
      {"ora_to_date", -1, FnToDate, true},
      {"ora_to_char_date", -1, FnToCharDate, true},
      {"ora_date_text", 1, FnDateText, true},
      {"ora_sysdate", 0, FnSysdate, false},
      {"ora_date_add", 2, FnDateAdd, true},
      {"ora_date_diff", 2, FnDateDiff, true},
      {"ora_trunc_date", -1, FnTruncDate, true},
      {"ora_round_date", -1, FnRoundDate, true},
      {"ora_add_months", 2, FnAddMonths, true},
      {"ora_months_between", 2, FnMonthsBetween, true},
      {"ora_last_day", 1, FnLastDay, true},
      {"ora_round_num", -1, FnRoundNum, true},
      {"ora_trunc_num", -1, FnTruncNum, true},
      {"ora_mod", 2, FnMod, true},
      {"ora_abs", 1, FnAbs, true},
      {"ora_sign", 1, Unary<SignOf>, true},
      {"ora_ceil", 1, Unary<CeilOf>, true},
      {"ora_floor", 1, Unary<FloorOf>, true},
      {"ora_sqrt", 1, Unary<SqrtOf>, true},
      {"ora_exp", 1, Unary<ExpOf>, true},
      {"ora_ln", 1, Unary<LnOf>, true},
      {"ora_power", 2, FnPower, true},
      {"ora_log", 2, FnLog, true},
      {"ora_hextoraw", 1, FnHexToRaw, true},
      {"ora_rawtohex", 1, FnRawToHex, true},
      {"ora_rowid", 2, FnRowid, true},
      {"ora_rowid_num", 2, FnRowidNum, true},
      {"ora_num_col", 3, FnNumCol, true},
      {"ora_str_col", 2, FnStrCol, true},
      {"ora_char_col", 2, FnCharCol, true},
      {"ora_nextval", 1, FnNextval, false},
      {"ora_currval", 1, FnCurrval, false},
      {"ora_sid", 0, FnSid, false},
      {"ora_user", 0, FnUser, false},
      {"ora_is_dba", 0, FnIsDba, false},
      {"ora_undoing", 0, FnUndoing, false},
      {"ora_userenv", 1, FnUserenv, false},
      {"ora_pack", -1, FnPack, true},
      {"ora_lock_conflict", 1, FnLockConflict, false},
      {"ora_unpack", 2, FnUnpack, true},
  };
  for (auto& d : defs) {
    int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, d.name, d.args, flags, env, d.fn, nullptr, nullptr, nullptr);
  }
}

}  // namespace oracle_sim
