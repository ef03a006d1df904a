// Dates and times of SysUtils: encoding, decoding, the clock, formatting and reading.
#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/rtl/SysUtils.h"

namespace {

constexpr int64_t kUnixEpochSerial = 25569;  // 1970-01-01 as a serial day

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// Splits a date-time value into its serial day and the milliseconds of its time of day, rounding
// to the millisecond (a time that rounds up to midnight moves to the next calendar day).
void SplitDateTime(TDateTime value, int64_t& days, int64_t& msOfDay) {
  if (!std::isfinite(value) || std::fabs(value) > 1e8) throw EConvertError("Invalid date/time value");
  double whole;
  double frac = std::modf(value, &whole);
  days = static_cast<int64_t>(whole);
  msOfDay = std::llround(std::fabs(frac) * static_cast<double>(MSecsPerDay));
  if (msOfDay >= MSecsPerDay) {
    msOfDay -= MSecsPerDay;
    days += 1;
  }
}

TDateTime SystemNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  int64_t ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&secs, &local);
  int64_t localMs = (static_cast<int64_t>(secs) + local.tm_gmtoff) * 1000 + ms % 1000;
  int64_t days = localMs / MSecsPerDay;
  int64_t rest = localMs % MSecsPerDay;
  if (rest < 0) {
    rest += MSecsPerDay;
    --days;
  }
  return static_cast<double>(days + kUnixEpochSerial) + static_cast<double>(rest) / MSecsPerDay;
}

TClockFunction& Clock() {
  static TClockFunction clock = SystemNow;
  return clock;
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochSerial);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
    return false;
  time = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - std::fabs(time) : date + std::fabs(time);
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value) {
  TDateTime d, t;
  if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t)) return false;
  value = ComposeDateTime(d, t);
  return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
  return ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, min, sec, msec));
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec) {
  int64_t days, ms;
  SplitDateTime(value, days, ms);
  CivilFromDays(days - kUnixEpochSerial, year, month, day);
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  sec = static_cast<int>(ms % 60);
  ms /= 60;
  min = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  int h, n, s, z;
  DecodeDateTime(date, year, month, day, h, n, s, z);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
  int y, m, d;
  DecodeDateTime(time, y, m, d, hour, min, sec, msec);
}

int DayOfWeek(TDateTime date) {
  int64_t days, ms;
  SplitDateTime(date, days, ms);
  return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;  // 1899-12-30 was a Saturday
}

bool DecodeDateFully(TDateTime date, int& year, int& month, int& day, int& dow) {
  DecodeDate(date, year, month, day);
  dow = DayOfWeek(date);
  return IsLeapYear(year);
}

TDateTime DateOf(TDateTime value) {
  int64_t days, ms;
  SplitDateTime(value, days, ms);
  return static_cast<double>(days);
}

TDateTime TimeOf(TDateTime value) {
  int64_t days, ms;
  SplitDateTime(value, days, ms);
  return static_cast<double>(ms) / MSecsPerDay;
}

TDateTime IncMonth(TDateTime date, int months) {
  int y, m, d, h, n, s, z;
  DecodeDateTime(date, y, m, d, h, n, s, z);
  int64_t total = static_cast<int64_t>(y) * 12 + (m - 1) + months;
  y = static_cast<int>(total / 12);
  m = static_cast<int>(total % 12) + 1;
  d = std::min(d, DaysInMonth(y, m));
  return EncodeDateTime(y, m, d, h, n, s, z);
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  int64_t days, ms;
  SplitDateTime(value, days, ms);
  return TTimeStamp{static_cast<int>(ms), static_cast<int>(days + DateDelta)};
}

TDateTime TimeStampToDateTime(const TTimeStamp& ts) {
  if (ts.Time < 0 || ts.Time >= MSecsPerDay || ts.Date <= 0)
    throw EConvertError("'" + std::to_string(ts.Date) + "." + std::to_string(ts.Time) +
                        "' is not a valid timestamp");
  return ComposeDateTime(static_cast<double>(ts.Date - DateDelta),
                         static_cast<double>(ts.Time) / MSecsPerDay);
}

double TimeStampToMSecs(const TTimeStamp& ts) {
  return static_cast<double>(ts.Date) * MSecsPerDay + ts.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
  if (!std::isfinite(msecs) || msecs < 0 || msecs > 1e15) throw EConvertError("Invalid time stamp value");
  int64_t ms = std::llround(msecs);
  return TTimeStamp{static_cast<int>(ms % MSecsPerDay), static_cast<int>(ms / MSecsPerDay)};
}

TDateTime Now() {
  return Clock()();
}
TDateTime Date() {
  return DateOf(Now());
}
TDateTime Time() {
  return TimeOf(Now());
}

TClockGuard::TClockGuard(TClockFunction clock) : saved_(Clock()) {
  Clock() = std::move(clock);
}
TClockGuard::TClockGuard(TDateTime fixed) : TClockGuard(TClockFunction([fixed] { return fixed; })) {}
TClockGuard::~TClockGuard() {
  Clock() = std::move(saved_);
}

// ---------------------------------------------------------------------------------------------
// FormatDateTime.

namespace {

struct TDateParts {
  int year, month, day, hour, min, sec, msec, dow;
};

void AppendNumber(std::string& out, int value, int width) {
  std::string n = std::to_string(value);
  if (static_cast<int>(n.size()) < width) out.append(width - n.size(), '0');
  out += n;
}

bool StartsWithNoCase(std::string_view s, size_t i, std::string_view word) {
  return s.size() - i >= word.size() && SameText(s.substr(i, word.size()), word);
}

// Whether the format holds an am/pm directive outside quotes: the hours then count to 12.
bool Uses12HourClock(std::string_view f) {
  char quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") ||
               StartsWithNoCase(f, i, "ampm")) {
      return true;
    }
  }
  return false;
}

void AppendFormat(std::string& out, std::string_view f, const TDateParts& p, const TFormatSettings& fs,
                  int depth) {
  if (depth > 2) return;
  bool twelve = Uses12HourClock(f);
  char lastToken = ' ';
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char token = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    size_t count = 1;
    auto countRun = [&](char ch) {
      while (i + count < f.size() && (f[i + count] | 0x20) == (ch | 0x20)) ++count;
    };
    switch (token) {
      case 'Y': {
        countRun('y');
        if (count <= 2)
          AppendNumber(out, p.year % 100, 2);
        else
          AppendNumber(out, p.year, 4);
        i += count;
        break;
      }
      case 'M': {
        countRun('m');
        if (count <= 2)
          AppendNumber(out, p.month, static_cast<int>(count));
        else if (count == 3)
          out += fs.ShortMonthNames[p.month - 1];
        else
          out += fs.LongMonthNames[p.month - 1];
        i += count;
        break;
      }
      case 'D': {
        countRun('d');
        if (count <= 2)
          AppendNumber(out, p.day, static_cast<int>(count));
        else if (count == 3)
          out += fs.ShortDayNames[p.dow - 1];
        else if (count == 4)
          out += fs.LongDayNames[p.dow - 1];
        else if (count == 5)
          AppendFormat(out, fs.ShortDateFormat, p, fs, depth + 1);
        else
          AppendFormat(out, fs.LongDateFormat, p, fs, depth + 1);
        i += count;
        break;
      }
      case 'H': {
        countRun('h');
        int h = p.hour;
        if (twelve) {
          h %= 12;
          if (h == 0) h = 12;
        }
        AppendNumber(out, h, count >= 2 ? 2 : 1);
        i += count;
        break;
      }
      case 'N': {
        countRun(c);  // an 'm' after an hour, or 'n'
        AppendNumber(out, p.min, count >= 2 ? 2 : 1);
        i += count;
        break;
      }
      case 'S': {
        countRun('s');
        AppendNumber(out, p.sec, count >= 2 ? 2 : 1);
        i += count;
        break;
      }
      case 'Z': {
        countRun('z');
        AppendNumber(out, p.msec, count >= 2 ? 3 : 1);
        i += count;
        break;
      }
      case 'T': {
        countRun('t');
        AppendFormat(out, count == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
        i += count;
        break;
      }
      case 'C': {
        countRun('c');
        AppendFormat(out, fs.ShortDateFormat, p, fs, depth + 1);
        if (p.hour != 0 || p.min != 0 || p.sec != 0) {
          out.push_back(' ');
          AppendFormat(out, fs.LongTimeFormat, p, fs, depth + 1);
        }
        i += count;
        break;
      }
      case 'A': {
        bool pm = p.hour >= 12;
        if (StartsWithNoCase(f, i, "am/pm")) {
          out.append(f.substr(pm ? i + 3 : i, 2));
          i += 5;
        } else if (StartsWithNoCase(f, i, "a/p")) {
          out.push_back(f[pm ? i + 2 : i]);
          i += 3;
        } else if (StartsWithNoCase(f, i, "ampm")) {
          out += pm ? fs.TimePMString : fs.TimeAMString;
          i += 4;
        } else {
          out.push_back(c);
          ++i;
        }
        break;
      }
      case '/':
        out.push_back(fs.DateSeparator);
        ++i;
        break;
      case ':':
        out.push_back(fs.TimeSeparator);
        ++i;
        break;
      case '\'':
      case '"': {
        size_t close = f.find(c, i + 1);
        if (close == std::string_view::npos) close = f.size();
        out.append(f.substr(i + 1, close - i - 1));
        i = close + 1;
        break;
      }
      default:
        out.push_back(c);
        ++i;
        break;
    }
  }
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs) {
  TDateParts p;
  DecodeDateTime(value, p.year, p.month, p.day, p.hour, p.min, p.sec, p.msec);
  p.dow = DayOfWeek(value);
  std::string out;
  AppendFormat(out, format.empty() ? std::string_view("c") : format, p, fs, 0);
  return out;
}

std::string DateToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("ddddd", value, fs);
}
std::string TimeToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("tt", value, fs);
}
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("c", value, fs);
}

// ---------------------------------------------------------------------------------------------
// Reading dates and times.

namespace {

class TDateScanner {
 public:
  TDateScanner(std::string_view s, const TFormatSettings& fs) : s_(s), fs_(fs) {}

  bool AtEnd() {
    Blanks();
    return pos_ >= s_.size();
  }
  size_t Position() const { return pos_; }

  bool Date(TDateTime& date) {
    int n1, n2, n3, l1, l2, l3;
    if (!Number(n1, l1) || !Char(fs_.DateSeparator) || !Number(n2, l2)) return false;
    int y, m, d;
    char order = DateOrder();
    if (Char(fs_.DateSeparator)) {
      if (!Number(n3, l3)) return false;
      int yearLen;
      if (order == 'Y') {
        y = n1, m = n2, d = n3, yearLen = l1;
      } else if (order == 'D') {
        y = n3, m = n2, d = n1, yearLen = l3;
      } else {
        y = n3, m = n1, d = n2, yearLen = l3;
      }
      if (yearLen <= 2) {
        int y0, m0, d0;
        DecodeDate(Now(), y0, m0, d0);
        int pivot = y0 - fs_.TwoDigitYearCenturyWindow;
        y += pivot / 100 * 100;
        if (fs_.TwoDigitYearCenturyWindow > 0 && y < pivot) y += 100;
      }
    } else {
      int m0, d0;
      DecodeDate(Now(), y, m0, d0);
      if (order == 'D')
        d = n1, m = n2;
      else
        m = n1, d = n2;
    }
    Char('.');  // a closing dot as some locales write it
    return TryEncodeDate(y, m, d, date);
  }

  bool Time(TDateTime& time) {
    int baseHour = AmPm();
    int hour, min = 0, sec = 0, msec = 0, len;
    if (!Number(hour, len)) return false;
    if (Char(fs_.TimeSeparator)) {
      if (!Number(min, len)) return false;
      if (Char(fs_.TimeSeparator)) {
        if (!Number(sec, len)) return false;
        if (Char(fs_.DecimalSeparator) && !Number(msec, len)) return false;
      }
    }
    if (baseHour < 0) baseHour = AmPm();
    if (baseHour >= 0) {
      if (hour == 0 || hour > 12) return false;
      if (hour == 12) hour = 0;
      hour += baseHour;
    }
    return TryEncodeTime(hour, min, sec, msec, time);
  }

 private:
  void Blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  bool Number(int& n, int& len) {
    Blanks();
    size_t i = pos_;
    n = 0;
    while (i < s_.size() && s_[i] >= '0' && s_[i] <= '9' && n < 1000) n = n * 10 + (s_[i++] - '0');
    if (i == pos_) return false;
    len = static_cast<int>(i - pos_);
    pos_ = i;
    return true;
  }
  bool Char(char c) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    Blanks();
    if (w.empty() || !StartsWithNoCase(s_, pos_, w)) return false;
    pos_ += w.size();
    return true;
  }
  int AmPm() {
    if (Word(fs_.TimeAMString) || Word("AM")) return 0;
    if (Word(fs_.TimePMString) || Word("PM")) return 12;
    return -1;
  }
  char DateOrder() const {
    for (char c : fs_.ShortDateFormat) {
      char u = static_cast<char>(c & ~0x20);
      if (u == 'Y' || u == 'M' || u == 'D') return u;
    }
    return 'M';
  }

  std::string_view s_;
  const TFormatSettings& fs_;
  size_t pos_ = 0;
};

}  // namespace

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  TDateScanner sc(s, fs);
  TDateTime d;
  if (!sc.Date(d) || !sc.AtEnd()) return false;
  value = d;
  return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  TDateScanner sc(s, fs);
  TDateTime t;
  if (!sc.Time(t) || !sc.AtEnd()) return false;
  value = t;
  return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  TDateScanner sc(s, fs);
  TDateTime d, t = 0;
  if (sc.Date(d) && (sc.AtEnd() || (sc.Time(t) && sc.AtEnd()))) {
    value = ComposeDateTime(d, t);
    return true;
  }
  return TryStrToTime(s, value, fs);
}

TDateTime StrToDate(std::string_view s, const TFormatSettings& fs) {
  TDateTime v;
  if (!TryStrToDate(s, v, fs)) throw EConvertError("'" + std::string(s) + "' is not a valid date");
  return v;
}

TDateTime StrToTime(std::string_view s, const TFormatSettings& fs) {
  TDateTime v;
  if (!TryStrToTime(s, v, fs)) throw EConvertError("'" + std::string(s) + "' is not a valid time");
  return v;
}

TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs) {
  TDateTime v;
  if (!TryStrToDateTime(s, v, fs))
    throw EConvertError("'" + std::string(s) + "' is not a valid date and time");
  return v;
}

TDateTime StrToDateDef(std::string_view s, TDateTime defaultValue, const TFormatSettings& fs) {
  TDateTime v;
  return TryStrToDate(s, v, fs) ? v : defaultValue;
}

TDateTime StrToDateTimeDef(std::string_view s, TDateTime defaultValue, const TFormatSettings& fs) {
  TDateTime v;
  return TryStrToDateTime(s, v, fs) ? v : defaultValue;
}
