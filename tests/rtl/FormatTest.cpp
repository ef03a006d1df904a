#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "rtl/MessageOf.h"

namespace {

class FormatTestBase : public ::testing::Test {
 protected:
  TFormatSettingsGuard english_{EnglishFormatSettings()};
};

}  // namespace

using FormatDirectives = FormatTestBase;

TEST_F(FormatDirectives, IntegersWidthPrecisionAndHex) {
  EXPECT_EQ(Format("%d items", {5}), "5 items");
  EXPECT_EQ(Format("%5d|%-5d|%.3d", {42, 42, 7}), "   42|42   |007");
  EXPECT_EQ(Format("%.3d", {-7}), "-007");
  EXPECT_EQ(Format("%d", {int64_t(-9000000000LL)}), "-9000000000");
  EXPECT_EQ(Format("%x|%.4x|%x", {255, 255, -1}), "FF|00FF|FFFFFFFF");
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("100%%", {}), "100%");
}

TEST_F(FormatDirectives, StringsIndexesAndStars) {
  EXPECT_EQ(Format("%s.%s", {std::string("TSessionForm"), "dbgSession"}), "TSessionForm.dbgSession");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
  EXPECT_EQ(Format("%*d|", {5, 42}), "   42|");
  EXPECT_EQ(Format("%-*.*f|", {8, 1, 3.14159}), "3.1     |");
  EXPECT_EQ(Format("%.3s", {"abcdef"}), "abc");
  EXPECT_EQ(Format("%.2s|%4s|", {"Жук", "Жук"}), "Жу| Жук|");  // characters, not bytes
  EXPECT_EQ(Format("%s", {'x'}), "x");
}

TEST_F(FormatDirectives, FloatsFollowTheSettings) {
  EXPECT_EQ(Format("%.2f", {3.14159}), "3.14");
  EXPECT_EQ(Format("%f", {2.5}), "2.50");
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {1234.5}), "1.23E+003");
  EXPECT_EQ(Format("%g", {1234.5}), "1234.5");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%m", {-1234.5}), "($1,234.50)");
  EXPECT_EQ(Format("%m", {Currency(5)}), "$5.00");
  TFormatSettingsGuard ru(RussianFormatSettings());
  EXPECT_EQ(Format("%n", {1234567.891}), "1 234 567,89");
  EXPECT_EQ(Format("%m", {-1234.5}), "-1 234,50 р.");
  EXPECT_EQ(Format("%.1f", {0.25}), "0,3");
}

TEST_F(FormatDirectives, MismatchesRaiseConvertErrors) {
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%d", {"x"}); }),
            "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%s", {1}); }),
            "Format '%s' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%d", {2.5}); }),
            "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%f", {2}); }),
            "Format '%f' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%d %d", {1}); }), "No argument for format '%d %d'");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("abc%", {1}); }),
            "Format 'abc%' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%q", {1}); }),
            "Format '%q' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%5", {1}); }),
            "Format '%5' invalid or incompatible with argument");
}

using FloatText = FormatTestBase;

TEST_F(FloatText, FloatToStrUsesFifteenDigitsAndSwitchesToExponent) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(-0.25), "-0.25");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1.23456789012345678e17), "1.23456789012346E17");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(-1.5e-10), "-1.5E-10");
  EXPECT_EQ(FloatToStr(std::nan("")), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FloatToStr(1.5, RussianFormatSettings()), "1,5");
}

TEST_F(FloatText, FloatToStrFFormats) {
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 15, 2), "1234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffNumber, 15, 2), "1,234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffExponent, 5, 2), "1.2346E+03");
  EXPECT_EQ(FloatToStrF(0.00012, ffExponent, 3, 0), "1.20E-4");
  EXPECT_EQ(FloatToStrF(0, ffExponent, 4, 2), "0.000E+00");
  EXPECT_EQ(FloatToStrF(1234.5678, ffGeneral, 3, 0), "1.23E3");
  EXPECT_EQ(FloatToStrF(1234.5678, ffCurrency, 15, 2), "$1,234.57");
  EXPECT_EQ(FloatToStrF(-1234.5678, ffCurrency, 15, 2), "($1,234.57)");
  EXPECT_EQ(FloatToStrF(0.5, ffFixed, 15, 0), "1");
  EXPECT_EQ(FloatToStrF(2.5, ffFixed, 15, 0), "3");
  EXPECT_EQ(FloatToStrF(-0.4, ffFixed, 15, 0), "0");
  EXPECT_EQ(FloatToStrF(1.23456789, ffFixed, 4, 6), "1.235000");
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), "1E20");
  TFormatSettings ru = RussianFormatSettings();
  EXPECT_EQ(FloatToStrF(1234.5678, ffCurrency, 15, 2, ru), "1 234,57 р.");
  EXPECT_EQ(FloatToStrF(-1234.5678, ffCurrency, 15, 2, ru), "-1 234,57 р.");
}

TEST_F(FloatText, CurrencyNegativeFormats) {
  TFormatSettings fs = EnglishFormatSettings();
  const char* expected[16] = {"($1.00)", "-$1.00",  "$-1.00",   "$1.00-",  "(1.00$)", "-1.00$",
                              "1.00-$",  "1.00$-",  "-1.00 $",  "-$ 1.00", "1.00 $-", "$ 1.00-",
                              "$ -1.00", "1.00- $", "($ 1.00)", "(1.00 $)"};
  for (int k = 0; k < 16; ++k) {
    fs.NegCurrFormat = static_cast<uint8_t>(k);
    EXPECT_EQ(FloatToStrF(-1, ffCurrency, 15, 2, fs), expected[k]) << k;
  }
  const char* positive[4] = {"$1.00", "1.00$", "$ 1.00", "1.00 $"};
  for (int k = 0; k < 4; ++k) {
    fs.CurrencyFormat = static_cast<uint8_t>(k);
    EXPECT_EQ(FloatToStrF(1, ffCurrency, 15, 2, fs), positive[k]) << k;
  }
}

TEST_F(FloatText, StrToFloatWithTheLocaleSeparator) {
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -2.5e3 "), -2500);
  EXPECT_DOUBLE_EQ(StrToFloat("+3"), 3);
  EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("5."), 5);
  EXPECT_DOUBLE_EQ(StrToFloat("1E-2"), 0.01);
  EXPECT_EQ(MessageOf<EConvertError>([] { StrToFloat("1,5"); }), "'1,5' is not a valid floating point value");
  double v;
  for (const char* bad :
       {"", " ", "e5", "1e", "1e+", "--1", "1.5.2", "1e400", "-1e400", "0x10", "1 000", "abc"})
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  EXPECT_DOUBLE_EQ(StrToFloatDef("bad", 7.5), 7.5);
  EXPECT_EQ(StrToFloat("1e-400"), 0.0);
  EXPECT_EQ(StrToFloat("1e-99999999999999999999999"), 0.0);
  EXPECT_FALSE(TryStrToFloat("1e99999999999999999999999", v));
  EXPECT_EQ(StrToFloat("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_FALSE(TryStrToFloat("1" + std::string(400, '0'), v));
  // Exponents beyond any integer type saturate instead of overflowing.
  EXPECT_FALSE(TryStrToFloat("1e99999999999999999999999", v));
  EXPECT_FALSE(TryStrToFloat("333333333e3333333333333333333333", v));
  EXPECT_EQ(StrToFloat("1e-99999999999999999999999"), 0.0);
  EXPECT_EQ(StrToFloat("123e-99999999999999999999999"), 0.0);
  TFormatSettingsGuard ru(RussianFormatSettings());
  EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
  EXPECT_FALSE(TryStrToFloat("1.5", v));
}

TEST_F(FloatText, FloatTextRoundTrips) {
  for (double d : {0.1, 1.0 / 3, 123.456, -98765.4321, 1e-7, 6.02214076e23, 1234567890.12345}) {
    double back = StrToFloat(FloatToStr(d));
    EXPECT_NEAR(back, d, std::fabs(d) * 1e-14) << d;
  }
}

// Seventeen significant digits are the value's correctly rounded digits (those printf's "%.16E" writes)
// for values of every magnitude: normal, subnormal, the largest, and ones that round up across a power
// of ten.
TEST_F(FloatText, SeventeenDigitsAreTheCorrectlyRoundedDigits) {
  std::vector<double> values{5e-324,
                             2.2250738585072014e-308,
                             1.7976931348623157e308,
                             0.1,
                             1.0 / 3,
                             9.9999999999999995e22,
                             99999999999999999.0,
                             0.30000000000000004,
                             1234.5,
                             -2.5e-7};
  uint64_t bits = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 3000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d) && d != 0) values.push_back(d);
  }
  for (double d : values) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16E", std::fabs(d));
    const char* e = std::strchr(buf, 'E');
    const int exponent = std::atoi(e + 1);
    const std::string expected = (d < 0 ? "-" : "") + std::string(buf, static_cast<size_t>(e - buf)) + "E" +
                                 (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
    ASSERT_EQ(FloatToStrF(d, ffExponent, 17, 0), expected) << buf;
  }
}

using FormatFloatTest = FormatTestBase;

TEST_F(FormatFloatTest, DigitsRoundingAndThousands) {
  EXPECT_EQ(FormatFloat("0.00", 2.675), "2.68");
  EXPECT_EQ(FormatFloat("0", 0.5), "1");
  EXPECT_EQ(FormatFloat("0", 1.5), "2");
  EXPECT_EQ(FormatFloat("0", 2.5), "3");
  EXPECT_EQ(FormatFloat("0.0", 0.05), "0.1");
  EXPECT_EQ(FormatFloat("0.0", -0.05), "-0.1");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatFloat("#,##0", 999.5), "1,000");
  EXPECT_EQ(FormatFloat("#,##0", 12), "12");
  EXPECT_EQ(FormatFloat("#.##", 0.5), ".5");
  EXPECT_EQ(FormatFloat("0.##", 0.5), "0.5");
  EXPECT_EQ(FormatFloat("0.##", 2), "2");
  EXPECT_EQ(FormatFloat("0.0#", 2), "2.0");
  EXPECT_EQ(FormatFloat("0.##", 1e-10), "0");
  EXPECT_EQ(FormatFloat("000", 7), "007");
  EXPECT_EQ(FormatFloat("00-00", 1234), "12-34");
  EXPECT_EQ(FormatFloat("00-00", 123456), "1234-56");
  EXPECT_EQ(FormatFloat("0", 1e20), "100000000000000000000");
  EXPECT_EQ(FormatFloat("####0.00", 3.14159), "3.14");
  EXPECT_EQ(FormatFloat("", 1.5), "1.5");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, RussianFormatSettings()), "1 234 567,89");
}

TEST_F(FormatFloatTest, SectionsForNegativeAndZero) {
  const char* f = "0.00;(0.00);'zero'";
  EXPECT_EQ(FormatFloat(f, 5), "5.00");
  EXPECT_EQ(FormatFloat(f, -5), "(5.00)");
  EXPECT_EQ(FormatFloat(f, 0), "zero");
  EXPECT_EQ(FormatFloat(f, 0.001), "zero");
  EXPECT_EQ(FormatFloat(f, -0.001), "zero");
  EXPECT_EQ(FormatFloat("0.00;;'zero'", -1), "-1.00");
  EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
  EXPECT_EQ(FormatFloat("0.00;(0.00)", -0.001), "0.00");
  EXPECT_EQ(FormatFloat("0.00;'minus'", -3), "minus");
  EXPECT_EQ(FormatFloat("'a;b' 0", 3), "a;b 3");
}

TEST_F(FormatFloatTest, ScientificAndLiterals) {
  EXPECT_EQ(FormatFloat("0.00E+00", 1234.5), "1.23E+03");
  EXPECT_EQ(FormatFloat("0.00E-00", 1234.5), "1.23E03");
  EXPECT_EQ(FormatFloat("0.00E+00", 0.000123), "1.23E-04");
  EXPECT_EQ(FormatFloat("0.00e-0", 0.000123), "1.23e-4");
  EXPECT_EQ(FormatFloat("0.###E+0", 1500), "1.5E+3");
  EXPECT_EQ(FormatFloat("0.00E+00", -1234.5), "-1.23E+03");
  EXPECT_EQ(FormatFloat("0.00E+00", 0), "0.00E+00");
  EXPECT_EQ(FormatFloat("'$'#,##0.00", 1234.5), "$1,234.50");
  EXPECT_EQ(FormatFloat("0.0 \"kg\"", 2.25), "2.3 kg");
  // Placeholders after the exponent are dropped, never read past the digits.
  EXPECT_EQ(FormatFloat("0.0E+0#0 x", 1234.5), "1.2E+3 x");
  EXPECT_EQ(FormatFloat("#E+0E+0########", 5), "5E+0E+");
}

TEST(CurrencyType, ArithmeticAndText) {
  TFormatSettingsGuard english(EnglishFormatSettings());
  Currency a = Currency::FromDouble(1.5), b = Currency::FromDouble(2.25);
  EXPECT_EQ((a * b).Scaled(), 33750);
  EXPECT_EQ((a + b).Scaled(), 37500);
  EXPECT_EQ((a - b).Scaled(), -7500);
  EXPECT_EQ((Currency(10) / Currency(3)).Scaled(), 33333);
  EXPECT_EQ((Currency(20) / Currency(3)).Scaled(), 66667);
  EXPECT_LT(a, b);
  EXPECT_EQ(CurrToStr(Currency::FromScaled(12345)), "1.2345");
  EXPECT_EQ(CurrToStr(Currency(5)), "5");
  EXPECT_EQ(CurrToStr(-a), "-1.5");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(INT64_MIN)), "-922337203685477.5808");
  EXPECT_EQ(StrToCurr("1.23456").Scaled(), 12346);
  EXPECT_EQ(StrToCurr("-922337203685477.5807").Scaled(), -INT64_MAX);
  EXPECT_EQ(StrToCurr("1e3").Scaled(), 10000000);
  Currency c;
  EXPECT_FALSE(TryStrToCurr("922337203685478", c));
  EXPECT_FALSE(TryStrToCurr("1,5", c));
  EXPECT_EQ(StrToCurr("1,5", RussianFormatSettings()).Scaled(), 15000);
  EXPECT_THROW(Currency::FromScaled(INT64_MAX) + Currency(1), EOverflow);
  EXPECT_THROW(Currency::FromScaled(INT64_MAX / 2) * Currency(3), EOverflow);
  EXPECT_THROW(a / Currency(), EZeroDivide);
  EXPECT_THROW(FloatToCurr(1e300), EConvertError);
  EXPECT_EQ(FormatCurr("#,##0.00", Currency(1234)), "1,234.00");
  // CurrToStrF keeps all nineteen digits, which a double cannot.
  Currency big = Currency::FromScaled(12345678901234567);
  EXPECT_EQ(CurrToStrF(big, ffFixed, 4), "1234567890123.4567");
  EXPECT_EQ(CurrToStrF(big, ffNumber, 2), "1,234,567,890,123.46");
  EXPECT_EQ(CurrToStrF(-big, ffCurrency, 2), "($1,234,567,890,123.46)");
  EXPECT_EQ(CurrToStrF(Currency::FromScaled(5), ffGeneral, 0), "0.0005");
  EXPECT_EQ(CurrToStrF(Currency(), ffFixed, 2), "0.00");
  EXPECT_EQ(CurrToStrF(Currency(), ffExponent, 2), "0.000000000000000000E+00");
}
