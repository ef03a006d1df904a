// The format settings read from the user's locale: dates, times, month and day names, separators and
// the currency of the C library's locale data; the environment variables that name the locale, each
// for its part.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "platform/rtl/SysUtils.h"
#include "rtl/UserLocale.h"

using localetest::UserLocaleGuard;

namespace {

struct LocaleCase {
  const char* locale;
  const char* dateTime;  // 7 December 2026, 22:44:27
  const char* morning;   // 5 March 2026, 09:05:00
  char decimal;
  const char* number;  // 1234.5 in the fixed format with two decimals
  const char* december;
  const char* sunday;
  const char* money;      // 1234.5 in the currency format
  const char* shortTime;  // 22:44 in the short time format
};

void PrintTo(const LocaleCase& c, std::ostream* os) {
  *os << c.locale;
}

const LocaleCase kCases[] = {
    {"C", "12/7/2026 10:44:27 PM", "3/5/2026 9:05:00 AM", '.', "1234.50", "December", "Sunday", "$1,234.50",
     "10:44 PM"},
    {"ru_RU.UTF-8", "07.12.2026 22:44:27", "05.03.2026 09:05:00", ',', "1234,50", "Декабрь", "Воскресенье",
     "1 234,50 ₽", "22:44"},
    {"de_DE.UTF-8", "07.12.2026 22:44:27", "05.03.2026 09:05:00", ',', "1234,50", "Dezember", "Sonntag",
     "1.234,50 €", "22:44"},
};

class LocaleFormat : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleFormat, ConversionsFollowTheLocaleBothWays) {
  const LocaleCase& c = GetParam();
  UserLocaleGuard locale(c.locale);
  const TDateTime evening = EncodeDateTime(2026, 12, 7, 22, 44, 27, 0);
  const TDateTime morning = EncodeDateTime(2026, 3, 5, 9, 5, 0, 0);
  EXPECT_EQ(DateTimeToStr(evening), c.dateTime);
  EXPECT_EQ(DateTimeToStr(morning), c.morning);
  EXPECT_EQ(StrToDateTime(c.dateTime), evening);
  EXPECT_EQ(StrToDateTime(c.morning), morning);
  EXPECT_EQ(StrToDate(DateToStr(evening)), DateOf(evening));
  EXPECT_EQ(FormatSettings.DecimalSeparator, c.decimal);
  EXPECT_EQ(FloatToStrF(1234.5, ffFixed, 15, 2), c.number);
  EXPECT_EQ(StrToFloat(FloatToStr(0.25)), 0.25);
  EXPECT_EQ(FormatDateTime("mmmm", evening), c.december);
  EXPECT_EQ(FormatDateTime("dddd", evening - 1), c.sunday);
  EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, FormatSettings.CurrencyDecimals), c.money);
  EXPECT_EQ(FormatDateTime("t", evening), c.shortTime);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleFormat, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                           return localetest::LocaleTestName(info.param.locale);
                         });

TEST(UserLocale, EachPartFollowsItsCategoryLcAllOverridesAndLangStandsIn) {
  localetest::EnvironmentGuard env;
  env.Set("LC_ALL", nullptr);
  env.Set("LC_MONETARY", nullptr);
  env.Set("LANG", "C.UTF-8");
  env.Set("LC_TIME", "ru_RU.UTF-8");
  env.Set("LC_NUMERIC", "de_DE.UTF-8");
  TFormatSettings fs = UserFormatSettings();
  EXPECT_EQ(fs.ShortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(fs.LongMonthNames[0], "Январь");
  EXPECT_EQ(fs.DecimalSeparator, ',');
  EXPECT_EQ(fs.ThousandSeparator, '.');
  EXPECT_EQ(fs.CurrencyString, "$");  // LANG's, the C locale's

  env.Set("LANG", "ru_RU.UTF-8");
  env.Set("LC_TIME", nullptr);
  fs = UserFormatSettings();
  EXPECT_EQ(fs.LongMonthNames[0], "Январь");
  EXPECT_EQ(fs.ThousandSeparator, '.');
  EXPECT_EQ(fs.CurrencyString, "₽");

  env.Set("LC_ALL", "C");
  fs = UserFormatSettings();
  EXPECT_EQ(DateTimeToStr(EncodeDateTime(2026, 12, 7, 22, 44, 27, 0), fs), "12/7/2026 10:44:27 PM");
  EXPECT_EQ(fs.DecimalSeparator, '.');

  // a locale the C library does not know leaves the English settings
  env.Set("LC_ALL", "xx_XX.UTF-8");
  fs = UserFormatSettings();
  EXPECT_EQ(fs.ShortDateFormat, EnglishFormatSettings().ShortDateFormat);
  EXPECT_EQ(fs.DecimalSeparator, '.');
  TFormatSettings untouched = RussianFormatSettings();
  EXPECT_FALSE(TryLocaleFormatSettings("xx_XX.UTF-8", untouched));
  EXPECT_EQ(untouched.DecimalSeparator, ',');
}

TEST(UserLocale, TheCLocaleInAnyCharacterSetAndPosixGiveTheEnglishSettings) {
  for (const char* name : {"C", "C.UTF-8", "POSIX"}) {
    TFormatSettings fs;
    ASSERT_TRUE(TryLocaleFormatSettings(name, fs)) << name;
    const TFormatSettings en = EnglishFormatSettings();
    EXPECT_EQ(fs.ShortDateFormat, en.ShortDateFormat) << name;
    EXPECT_EQ(fs.LongTimeFormat, en.LongTimeFormat) << name;
    EXPECT_EQ(fs.DecimalSeparator, en.DecimalSeparator) << name;
    EXPECT_EQ(fs.LongMonthNames, en.LongMonthNames) << name;
  }
}

// Run by the test below in a process of its own: the settings that process started with.
TEST(UserLocale, DISABLED_TellsTheSettingsTheProcessStartedWith) {
  std::printf("started with: %s %c\n", DateTimeToStr(EncodeDateTime(2026, 12, 7, 22, 44, 27, 0)).c_str(),
              FormatSettings.DecimalSeparator);
}

TEST(UserLocale, AProcessStartsWithTheSettingsOfTheLocaleItsEnvironmentNames) {
  for (const auto& [environment, expected] : {std::pair{"LC_ALL=ru_RU.UTF-8", "07.12.2026 22:44:27 ,"},
                                              std::pair{"LANG=de_DE.UTF-8", "07.12.2026 22:44:27 ,"},
                                              std::pair{"LC_ALL=C", "12/7/2026 10:44:27 PM ."}}) {
    const std::string output = localetest::RunTestInOwnProcess(
        environment, "UserLocale.DISABLED_TellsTheSettingsTheProcessStartedWith");
    EXPECT_NE(output.find(std::string("started with: ") + expected + "\n"), std::string::npos)
        << environment << "\n"
        << output;
  }
}

}  // namespace
