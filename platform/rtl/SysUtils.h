// Exceptions of the run-time library and the helpers every unit of Talvik uses: strings (UTF-8 in
// std::string), number and date conversions, formatting and the locale's format settings.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// The root of every exception the system raises: a message text.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

#define TALVIK_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// Ends an operation silently: the application object shows no message for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  explicit EAbort(std::string message) : Exception(std::move(message)) {}
  const char* ClassName() const noexcept override { return "EAbort"; }
};

TALVIK_DECLARE_EXCEPTION(EConvertError, Exception);
TALVIK_DECLARE_EXCEPTION(EListError, Exception);
TALVIK_DECLARE_EXCEPTION(EStreamError, Exception);
TALVIK_DECLARE_EXCEPTION(EFilerError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EReadError, EFilerError);
TALVIK_DECLARE_EXCEPTION(EWriteError, EFilerError);
TALVIK_DECLARE_EXCEPTION(EFCreateError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EFOpenError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EOSError, Exception);
TALVIK_DECLARE_EXCEPTION(EInvalidOperation, Exception);
TALVIK_DECLARE_EXCEPTION(EInvalidPointer, Exception);
TALVIK_DECLARE_EXCEPTION(ERegistryException, Exception);
TALVIK_DECLARE_EXCEPTION(EVariantError, Exception);
TALVIK_DECLARE_EXCEPTION(EIntError, Exception);
TALVIK_DECLARE_EXCEPTION(EDivByZero, EIntError);
TALVIK_DECLARE_EXCEPTION(ERangeError, EIntError);
TALVIK_DECLARE_EXCEPTION(EIntOverflow, EIntError);
TALVIK_DECLARE_EXCEPTION(EMathError, Exception);
TALVIK_DECLARE_EXCEPTION(EZeroDivide, EMathError);
TALVIK_DECLARE_EXCEPTION(EOverflow, EMathError);
TALVIK_DECLARE_EXCEPTION(EInvalidCast, Exception);
TALVIK_DECLARE_EXCEPTION(EOutOfResources, Exception);
TALVIK_DECLARE_EXCEPTION(EThread, Exception);

// Raises EAbort.
[[noreturn]] void Abort();

// ---------------------------------------------------------------------------------------------
// Strings. Length, Pos, Copy and the comparisons work on bytes; the Utf8* helpers below count
// characters (code points) where a user-visible length matters.

std::string Trim(std::string_view s);  // removes every character <= ' ' at both ends
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
int Pos(std::string_view substr, std::string_view s);  // 1-based byte position, 0 when absent
int PosEx(std::string_view substr, std::string_view s, int offset);
// Count bytes from 1-based Index; an Index below 1 counts from 1, past the end gives "".
std::string Copy(std::string_view s, int index, int count);
inline int Length(std::string_view s) {
  return static_cast<int>(s.size());
}

std::string UpperCase(std::string_view s);  // ASCII letters only
std::string LowerCase(std::string_view s);
// Locale-aware case mapping (Latin-1, Latin Extended-A, Greek and Cyrillic included). A character
// and its mapped form always take the same number of UTF-8 bytes.
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
char32_t UnicodeUpper(char32_t c);
char32_t UnicodeLower(char32_t c);

int CompareStr(std::string_view a, std::string_view b);   // byte order
int CompareText(std::string_view a, std::string_view b);  // ASCII case-insensitive
bool SameText(std::string_view a, std::string_view b);
// Linguistic comparisons: case-insensitive (AnsiCompareText) and case-sensitive with lower case
// before upper case on ties (AnsiCompareStr); Ё sorts right after Е.
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);
int AnsiPos(std::string_view substr, std::string_view s);

std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Removes the quotes of a quoted text and undoubles inner quotes; a text that does not start with
// the quote or has no closing quote is returned unchanged.
std::string AnsiDequotedStr(std::string_view s, char quote);
// Line breaks (CR, LF, CR LF, LF CR) become CR LF.
std::string AdjustLineBreaks(std::string_view s);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
class TReplaceFlags {
 public:
  TReplaceFlags() = default;
  TReplaceFlags(std::initializer_list<TReplaceFlag> flags) {
    for (TReplaceFlag f : flags) bits_ |= f;
  }
  bool Contains(TReplaceFlag f) const { return (bits_ & f) != 0; }

 private:
  unsigned bits_ = 0;
};
std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags);

bool IsDelimiter(std::string_view delimiters, std::string_view s, int index);  // 1-based index
int LastDelimiter(std::string_view delimiters, std::string_view s);            // 1-based, 0 if none
std::string StringOfChar(char c, int count);

// UTF-8 helpers. A malformed byte decodes as U+FFFD and advances one byte.
// The most bytes one character takes in UTF-8.
inline constexpr int Utf8MaxCharBytes = 4;
char32_t Utf8Next(std::string_view s, size_t& pos);
void Utf8Append(std::string& out, char32_t c);
int Utf8Length(std::string_view s);
// Byte offset of the character with the 0-based index charIndex (s.size() when past the end).
size_t Utf8Offset(std::string_view s, int charIndex);
// Copy in characters, 1-based as Copy.
std::string Utf8Copy(std::string_view s, int index, int count);
int Utf8Pos(std::string_view substr, std::string_view s);  // 1-based character position, 0 if absent
std::u32string Utf8ToUtf32(std::string_view s);
std::string Utf32ToUtf8(std::u32string_view s);
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
// Windows-1251: characters without a 1251 code become '?'.
std::string Utf8ToCp1251(std::string_view s);
std::string Cp1251ToUtf8(std::string_view s);

// Iterates the code points of a UTF-8 text: for (char32_t c : Utf8Chars(s)).
class Utf8Chars {
 public:
  explicit Utf8Chars(std::string_view s) : s_(s) {}
  class iterator {
   public:
    iterator(std::string_view s, size_t pos) : s_(s), pos_(pos) {}
    char32_t operator*() const {
      size_t p = pos_;
      return Utf8Next(s_, p);
    }
    iterator& operator++() {
      Utf8Next(s_, pos_);
      return *this;
    }
    bool operator!=(const iterator& o) const { return pos_ != o.pos_; }
    size_t Offset() const { return pos_; }

   private:
    std::string_view s_;
    size_t pos_;
  };
  iterator begin() const { return iterator(s_, 0); }
  iterator end() const { return iterator(s_, s_.size()); }

 private:
  std::string_view s_;
};

// ---------------------------------------------------------------------------------------------
// Integers.

std::string IntToStr(int value);
std::string IntToStr(int64_t value);
// Every other integer type (unsigned, size_t, long long, short).
template <typename T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>) std::string
    IntToStr(T value) {
  return std::to_string(value);
}
std::string IntToHex(int64_t value, int digits);
int StrToInt(std::string_view s);  // EConvertError "'s' is not a valid integer value"
int StrToIntDef(std::string_view s, int defaultValue);
bool TryStrToInt(std::string_view s, int& value);
int64_t StrToInt64(std::string_view s);
int64_t StrToInt64Def(std::string_view s, int64_t defaultValue);
bool TryStrToInt64(std::string_view s, int64_t& value);
std::string BoolToStr(bool b, bool useBoolStrs = false);  // "-1"/"0" or "True"/"False"
bool StrToBool(std::string_view s);
bool TryStrToBool(std::string_view s, bool& value);

// ---------------------------------------------------------------------------------------------
// Format settings of the locale.

struct TFormatSettings {
  char DecimalSeparator = '.';
  // A plain space (0x20) in the Russian settings: it reads back the same in UTF-8 and in 1251.
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char ListSeparator = ',';
  std::string ShortDateFormat;
  std::string LongDateFormat;
  std::string ShortTimeFormat;
  std::string LongTimeFormat;
  std::string TimeAMString;
  std::string TimePMString;
  std::string CurrencyString;
  uint8_t CurrencyFormat = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t CurrencyDecimals = 2;
  uint8_t NegCurrFormat = 0;  // 0..15 as the class library numbers them
  int TwoDigitYearCenturyWindow = 50;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;  // Sunday first
  std::array<std::string, 7> LongDayNames;
};

TFormatSettings RussianFormatSettings();
TFormatSettings EnglishFormatSettings();

// The settings of a locale the C library knows ("ru_RU.UTF-8"): dates, times and month and day names,
// the decimal and thousand separators, the currency. C and POSIX give the English set. False, with
// `fs` untouched, when the C library does not know the locale.
bool TryLocaleFormatSettings(const std::string& localeName, TFormatSettings& fs);
// The settings of the user's locale as the environment names it: LC_ALL, else LC_TIME, LC_NUMERIC
// and LC_MONETARY for their parts, else LANG. A part whose locale the C library does not know, or
// that is C or POSIX, stays English.
TFormatSettings UserFormatSettings();

// The process-wide settings every conversion without an explicit settings argument uses: the user's
// locale, read once at start.
extern TFormatSettings FormatSettings;

// Pins the global settings for a scope (tests) and restores the previous ones afterwards.
class TFormatSettingsGuard {
 public:
  explicit TFormatSettingsGuard(const TFormatSettings& settings);
  ~TFormatSettingsGuard();
  TFormatSettingsGuard(const TFormatSettingsGuard&) = delete;
  TFormatSettingsGuard& operator=(const TFormatSettingsGuard&) = delete;

 private:
  TFormatSettings saved_;
};

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// ---------------------------------------------------------------------------------------------
// Currency: a fixed-point number with four decimals, held as a scaled 64-bit integer.

class Currency {
 public:
  static constexpr int64_t Scale = 10000;
  constexpr Currency() = default;
  constexpr Currency(int value) : v_(int64_t(value) * Scale) {}
  static constexpr Currency FromScaled(int64_t scaled) {
    Currency c;
    c.v_ = scaled;
    return c;
  }
  static Currency FromDouble(double value);  // rounds half to even; EOverflow when out of range
  static Currency FromInt64(int64_t value);
  constexpr int64_t Scaled() const { return v_; }
  double ToDouble() const { return static_cast<double>(v_) / Scale; }

  Currency operator-() const { return FromScaled(-v_); }
  Currency operator+(Currency o) const;
  Currency operator-(Currency o) const;
  Currency operator*(Currency o) const;
  Currency operator/(Currency o) const;
  Currency& operator+=(Currency o) { return *this = *this + o; }
  Currency& operator-=(Currency o) { return *this = *this - o; }
  auto operator<=>(const Currency&) const = default;

 private:
  int64_t v_ = 0;
};

std::string CurrToStr(Currency value, const TFormatSettings& fs = FormatSettings);
// Formats the exact value (all 19 digits) as FloatToStrF does.
std::string CurrToStrF(Currency value, TFloatFormat format, int digits,
                       const TFormatSettings& fs = FormatSettings);
Currency StrToCurr(std::string_view s, const TFormatSettings& fs = FormatSettings);
bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs = FormatSettings);
Currency StrToCurrDef(std::string_view s, Currency defaultValue);
Currency FloatToCurr(double value);

// ---------------------------------------------------------------------------------------------
// Floating point.

std::string FloatToStr(double value, const TFormatSettings& fs = FormatSettings);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings);
// Section syntax: 0 # . , E+ E- e+ e- 'text' "text", up to three ';'-separated sections for
// positive, negative and zero values.
std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs = FormatSettings);
std::string FormatCurr(std::string_view format, Currency value, const TFormatSettings& fs = FormatSettings);
double StrToFloat(std::string_view s, const TFormatSettings& fs = FormatSettings);
double StrToFloatDef(std::string_view s, double defaultValue, const TFormatSettings& fs = FormatSettings);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs = FormatSettings);

// ---------------------------------------------------------------------------------------------
// Format: printf-like directives "%" [index ":"] ["-"] [width] ["." precision] type with the types
// d u x e f g n m p s and "%%"; index, width and precision may be "*" (taken from the arguments).

class TFormatArg {
 public:
  enum Kind { kInt, kInt64, kUInt64, kDouble, kCurrency, kString, kPointer, kChar };
  TFormatArg(int v) : kind_(kInt), i_(v) {}
  TFormatArg(unsigned v) : kind_(kInt64), i_(v) {}
  TFormatArg(long v) : kind_(kInt64), i_(v) {}
  TFormatArg(long long v) : kind_(kInt64), i_(v) {}
  TFormatArg(unsigned long v) : kind_(kUInt64), i_(static_cast<int64_t>(v)) {}
  TFormatArg(unsigned long long v) : kind_(kUInt64), i_(static_cast<int64_t>(v)) {}
  TFormatArg(short v) : kind_(kInt), i_(v) {}
  TFormatArg(unsigned short v) : kind_(kInt), i_(v) {}
  TFormatArg(double v) : kind_(kDouble), d_(v) {}
  TFormatArg(float v) : kind_(kDouble), d_(v) {}
  TFormatArg(Currency v) : kind_(kCurrency), i_(v.Scaled()) {}
  TFormatArg(char v) : kind_(kChar), s_(&c_, 1), c_(v) {}
  TFormatArg(const char* v) : kind_(kString), s_(v ? v : "") {}
  TFormatArg(const std::string& v) : kind_(kString), s_(v) {}
  TFormatArg(std::string_view v) : kind_(kString), s_(v) {}
  TFormatArg(const void* v) : kind_(kPointer), p_(v) {}
  TFormatArg(const TFormatArg& o) : kind_(o.kind_), i_(o.i_), d_(o.d_), s_(o.s_), p_(o.p_), c_(o.c_) {
    if (kind_ == kChar) s_ = std::string_view(&c_, 1);
  }
  TFormatArg& operator=(const TFormatArg&) = delete;

  Kind ArgKind() const { return kind_; }
  int64_t AsInt() const { return i_; }
  double AsDouble() const { return d_; }
  std::string_view AsString() const { return s_; }
  const void* AsPointer() const { return p_; }

 private:
  Kind kind_;
  int64_t i_ = 0;
  double d_ = 0;
  std::string_view s_;
  const void* p_ = nullptr;
  char c_ = 0;
};

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args);
std::string Format(std::string_view format, std::initializer_list<TFormatArg> args,
                   const TFormatSettings& fs);

// ---------------------------------------------------------------------------------------------
// Dates and times: days since 1899-12-30; the fraction is the time of day. For dates before
// 1899-12-30 the time is subtracted from the (negative) day number.

using TDateTime = double;

constexpr double HoursPerDay = 24;
constexpr double MinsPerDay = 24 * 60;
constexpr double SecsPerDay = 24 * 60 * 60;
constexpr int64_t MSecsPerDay = 24LL * 60 * 60 * 1000;
constexpr int DateDelta = 693594;                 // days between 0001-01-01 and 1899-12-30
constexpr double MinDateTime = -657434.0;         // 0100-01-01
constexpr double MaxDateTime = 2958465.99999999;  // 9999-12-31 23:59:59.999

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);                // 0 for an invalid month
TDateTime EncodeDate(int year, int month, int day);  // EConvertError "Invalid argument to date encode"
TDateTime EncodeTime(int hour, int min, int sec, int msec);  // "Invalid argument to time encode"
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value);
// Combines a date and a time as the sign of the date requires.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec);
bool DecodeDateFully(TDateTime date, int& year, int& month, int& day, int& dow);  // true in a leap year
int DayOfWeek(TDateTime date);  // 1 = Sunday .. 7 = Saturday
TDateTime IncMonth(TDateTime date, int months = 1);
TDateTime DateOf(TDateTime value);  // the date part
TDateTime TimeOf(TDateTime value);  // the time of day, 0 <= t < 1

// The class library's time stamp: milliseconds since midnight and days since 0001-01-01 plus one.
struct TTimeStamp {
  int Time;
  int Date;
};
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& ts);  // EConvertError for an invalid time stamp
double TimeStampToMSecs(const TTimeStamp& ts);
TTimeStamp MSecsToTimeStamp(double msecs);

// The clock behind Now, Date and Time; tests replace it with TClockGuard.
using TClockFunction = std::function<TDateTime()>;
TDateTime Now();
TDateTime Date();
TDateTime Time();
class TClockGuard {
 public:
  explicit TClockGuard(TClockFunction clock);
  explicit TClockGuard(TDateTime fixed);
  ~TClockGuard();
  TClockGuard(const TClockGuard&) = delete;
  TClockGuard& operator=(const TClockGuard&) = delete;

 private:
  TClockFunction saved_;
};

std::string FormatDateTime(std::string_view format, TDateTime value,
                           const TFormatSettings& fs = FormatSettings);
std::string DateToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);
std::string TimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs = FormatSettings);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateDef(std::string_view s, TDateTime defaultValue,
                       const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateTimeDef(std::string_view s, TDateTime defaultValue,
                           const TFormatSettings& fs = FormatSettings);
