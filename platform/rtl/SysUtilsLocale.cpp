// Format settings read from the user's locale through the C library's locale data.
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The parts of the settings, each read from its own locale category.
enum class TLocalePart { Time, Numeric, Monetary };

struct TLocaleCategory {
  TLocalePart part;
  int mask;
  const char* variable;  // the environment variable that names the category's locale
};

constexpr TLocaleCategory kCategories[] = {
    {TLocalePart::Time, LC_TIME_MASK, "LC_TIME"},
    {TLocalePart::Numeric, LC_NUMERIC_MASK, "LC_NUMERIC"},
    {TLocalePart::Monetary, LC_MONETARY_MASK, "LC_MONETARY"},
};

// The C and POSIX locales (with any character set) keep the English settings.
bool IsClassicLocale(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

std::string Info(nl_item item, locale_t loc) {
  const char* s = nl_langinfo_l(item, loc);
  return s ? s : "";
}

// A numeric item of the monetary category: its first byte, CHAR_MAX when the locale leaves it open.
int NumericInfo(nl_item item, locale_t loc) {
  const char* s = nl_langinfo_l(item, loc);
  return s ? static_cast<unsigned char>(s[0]) : 127;
}

// A separator the settings hold in one byte: an ASCII character as it is, the locale's spaces (no-break,
// narrow no-break, thin) as a plain space; anything else keeps the fallback.
char OneByteSeparator(std::string_view s, char fallback) {
  if (s.size() == 1 && static_cast<unsigned char>(s[0]) < 0x80) return s[0];
  static constexpr std::string_view kSpaces[] = {"\xC2\xA0", "\xE2\x80\xAF", "\xE2\x80\x89"};
  for (std::string_view space : kSpaces)
    if (s == space) return ' ';
  return fallback;
}

// One piece of a strftime format: a conversion (its letter, the no-padding flag) or literal text.
struct TStrftimePiece {
  char conversion = 0;  // 0: literal
  bool unpadded = false;
  std::string text;
};

// Splits a strftime format, with its composite conversions spelled out.
void SplitStrftime(std::string_view f, locale_t loc, std::vector<TStrftimePiece>& out, int depth = 0) {
  struct TComposite {
    char conversion;
    const char* expansion;
  };
  static constexpr TComposite kComposites[] = {
      {'D', "%m/%d/%y"}, {'F', "%Y-%m-%d"}, {'T', "%H:%M:%S"}, {'R', "%H:%M"}};
  for (std::size_t i = 0; i < f.size();) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      if (out.empty() || out.back().conversion) out.emplace_back();
      out.back().text.push_back(f[i++]);
      continue;
    }
    ++i;
    bool unpadded = false;
    // flags, a width and the alternative-form modifiers
    while (i < f.size() && std::string_view("-_0^#EO123456789").find(f[i]) != std::string_view::npos) {
      unpadded = unpadded || f[i] == '-';
      ++i;
    }
    if (i >= f.size()) break;
    const char c = f[i++];
    if (c == '%') {
      if (out.empty() || out.back().conversion) out.emplace_back();
      out.back().text.push_back('%');
      continue;
    }
    if (depth < 2) {
      if (c == 'r') {
        SplitStrftime(Info(T_FMT_AMPM, loc), loc, out, depth + 1);
        continue;
      }
      bool expanded = false;
      for (const TComposite& k : kComposites)
        if (k.conversion == c) {
          SplitStrftime(k.expansion, loc, out, depth + 1);
          expanded = true;
        }
      if (expanded) continue;
    }
    out.push_back(TStrftimePiece{c, unpadded, {}});
  }
}

// The pieces as a format of FormatDateTime: letters of literal text go between quotes.
std::string ToDateTimeFormat(const std::vector<TStrftimePiece>& pieces) {
  struct TConversion {
    char conversion;
    const char* padded;
    const char* unpadded;
  };
  static constexpr TConversion kConversions[] = {
      {'d', "dd", "d"},      {'e', "d", "d"},       {'m', "MM", "M"},    {'y', "yy", "yy"},
      {'Y', "yyyy", "yyyy"}, {'b', "MMM", "MMM"},   {'h', "MMM", "MMM"}, {'B', "MMMM", "MMMM"},
      {'a', "ddd", "ddd"},   {'A', "dddd", "dddd"}, {'H', "HH", "H"},    {'k', "H", "H"},
      {'I', "hh", "h"},      {'l', "h", "h"},       {'M', "mm", "m"},    {'S', "ss", "s"},
      {'p', "AMPM", "AMPM"}, {'P', "AMPM", "AMPM"}, {'n', " ", " "},     {'t', " ", " "},
  };
  std::string out;
  for (const TStrftimePiece& p : pieces) {
    if (p.conversion) {
      for (const TConversion& k : kConversions)
        if (k.conversion == p.conversion) out += p.unpadded ? k.unpadded : k.padded;
      continue;
    }
    bool quoted = false;
    for (char c : p.text) {
      const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '\'' || c == '"';
      if (letter != quoted) {
        out.push_back('"');
        quoted = letter;
      }
      if (c != '"') out.push_back(c);
    }
    if (quoted) out.push_back('"');
  }
  return out;
}

// The first separator of literal text between two conversions (blanks aside).
char SeparatorOf(const std::vector<TStrftimePiece>& pieces, char fallback) {
  for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
    if (pieces[i].conversion) continue;
    for (char c : pieces[i].text)
      if (c != ' ' && static_cast<unsigned char>(c) < 0x80) return c;
  }
  return fallback;
}

void ReadTimePart(locale_t loc, TFormatSettings& fs) {
  std::vector<TStrftimePiece> date, time;
  SplitStrftime(Info(D_FMT, loc), loc, date);
  SplitStrftime(Info(T_FMT, loc), loc, time);
  if (date.empty() || time.empty()) return;
  fs.DateSeparator = SeparatorOf(date, fs.DateSeparator);
  fs.TimeSeparator = SeparatorOf(time, fs.TimeSeparator);
  fs.ShortDateFormat = ToDateTimeFormat(date);
  fs.LongTimeFormat = ToDateTimeFormat(time);
  // the short time is the long one without its seconds and the separator before them
  std::vector<TStrftimePiece> shortTime;
  for (const TStrftimePiece& p : time) {
    if (p.conversion == 'S') {
      if (!shortTime.empty() && !shortTime.back().conversion) shortTime.pop_back();
      continue;
    }
    shortTime.push_back(p);
  }
  fs.ShortTimeFormat = ToDateTimeFormat(shortTime);
  // the long date in the order of the short one: day, month or year first
  char first = 'm';
  for (const TStrftimePiece& p : date)
    if (p.conversion) {
      first = p.conversion;
      break;
    }
  fs.LongDateFormat = first == 'd' || first == 'e'   ? "d MMMM yyyy"
                      : first == 'Y' || first == 'y' ? "yyyy MMMM d"
                                                     : "dddd, MMMM d, yyyy";
  fs.TimeAMString = Info(AM_STR, loc);
  fs.TimePMString = Info(PM_STR, loc);
  for (int i = 0; i < 12; ++i) {
    // the names as they stand alone, where the locale has such a form
    const std::string alone = Info(ALTMON_1 + i, loc), shortAlone = Info(_NL_ABALTMON_1 + i, loc);
    fs.LongMonthNames[i] = alone.empty() ? Info(MON_1 + i, loc) : alone;
    fs.ShortMonthNames[i] = shortAlone.empty() ? Info(ABMON_1 + i, loc) : shortAlone;
  }
  for (int i = 0; i < 7; ++i) {
    fs.LongDayNames[i] = Info(DAY_1 + i, loc);
    fs.ShortDayNames[i] = Info(ABDAY_1 + i, loc);
  }
}

void ReadNumericPart(locale_t loc, TFormatSettings& fs) {
  fs.DecimalSeparator = OneByteSeparator(Info(RADIXCHAR, loc), '.');
  const std::string thousands = Info(THOUSEP, loc);
  fs.ThousandSeparator = thousands.empty() ? ' ' : OneByteSeparator(thousands, ' ');
  if (fs.ThousandSeparator == fs.DecimalSeparator) fs.ThousandSeparator = ' ';
  fs.ListSeparator = fs.DecimalSeparator == ',' ? ';' : ',';
}

void ReadMonetaryPart(locale_t loc, TFormatSettings& fs) {
  const std::string symbol = Info(CURRENCY_SYMBOL, loc);
  if (symbol.empty()) return;
  fs.CurrencyString = symbol;
  const int decimals = NumericInfo(FRAC_DIGITS, loc);
  if (decimals <= 18) fs.CurrencyDecimals = static_cast<uint8_t>(decimals);
  const bool precedes = NumericInfo(P_CS_PRECEDES, loc) == 1, spaced = NumericInfo(P_SEP_BY_SPACE, loc) == 1;
  fs.CurrencyFormat = static_cast<uint8_t>(precedes ? (spaced ? 2 : 0) : (spaced ? 3 : 1));
  // negative amounts: in parentheses or with a leading minus, the symbol before or after
  const bool negPrecedes = NumericInfo(N_CS_PRECEDES, loc) == 1,
             negSpaced = NumericInfo(N_SEP_BY_SPACE, loc) == 1;
  const bool parentheses = NumericInfo(N_SIGN_POSN, loc) == 0;
  static constexpr uint8_t kNegative[2][2][2] = {
      // [parentheses][symbol first][spaced]
      {{5, 8}, {1, 9}},
      {{4, 15}, {0, 14}},
  };
  fs.NegCurrFormat = kNegative[parentheses][negPrecedes][negSpaced];
}

// The locale named for a category by the environment, as the C library chooses it.
std::string LocaleNameFor(const char* variable) {
  for (const char* v : {"LC_ALL", variable, "LANG"}) {
    const char* value = std::getenv(v);
    if (value && *value) return value;
  }
  return "C";
}

// Reads one part of the settings from the named locale; false when the C library does not know it.
bool ReadPart(TLocalePart part, int mask, const std::string& name, TFormatSettings& fs) {
  if (IsClassicLocale(name)) return true;
  locale_t loc = newlocale(mask, name.c_str(), static_cast<locale_t>(nullptr));
  if (!loc) return false;
  const TScopeExit release([loc] { freelocale(loc); });
  switch (part) {
    case TLocalePart::Time:
      ReadTimePart(loc, fs);
      break;
    case TLocalePart::Numeric:
      ReadNumericPart(loc, fs);
      break;
    case TLocalePart::Monetary:
      ReadMonetaryPart(loc, fs);
      break;
  }
  return true;
}

}  // namespace

bool TryLocaleFormatSettings(const std::string& localeName, TFormatSettings& fs) {
  TFormatSettings read = EnglishFormatSettings();
  for (const TLocaleCategory& c : kCategories)
    if (!ReadPart(c.part, c.mask, localeName, read)) return false;
  fs = read;
  return true;
}

TFormatSettings UserFormatSettings() {
  TFormatSettings fs = EnglishFormatSettings();
  // a locale the C library does not know leaves its part English, as the C library itself does
  for (const TLocaleCategory& c : kCategories) ReadPart(c.part, c.mask, LocaleNameFor(c.variable), fs);
  return fs;
}
