#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"

TEST(Exceptions, CarryMessageAndClassName) {
  try {
    throw EConvertError("'x' is not a valid integer value");
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
  EAbort abort;
  EXPECT_STREQ(abort.ClassName(), "EAbort");
  EXPECT_THROW(Abort(), EAbort);
}

TEST(Strings, TrimRemovesControlCharactersAndBlanksOnly) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01\x1f "), "abc");
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(" \xC2\xA0x\xC2\xA0 "), "\xC2\xA0x\xC2\xA0");  // multi-byte characters are kept whole
}

TEST(Strings, PosAndCopyAreOneBased) {
  EXPECT_EQ(Pos("lo", "hello"), 4);
  EXPECT_EQ(Pos("x", "hello"), 0);
  EXPECT_EQ(Pos("", "hello"), 0);
  EXPECT_EQ(PosEx("l", "hello", 4), 4);
  EXPECT_EQ(PosEx("l", "hello", 6), 0);
  EXPECT_EQ(Copy("hello", 2, 3), "ell");
  EXPECT_EQ(Copy("hello", 0, 2), "he");
  EXPECT_EQ(Copy("hello", 4, 100), "lo");
  EXPECT_EQ(Copy("hello", 6, 1), "");
  EXPECT_EQ(Copy("hello", 2, -1), "");
}

TEST(Strings, CaseMappingAsciiAndUnicode) {
  EXPECT_EQ(UpperCase("abc xyz Привет"), "ABC XYZ Привет");
  EXPECT_EQ(LowerCase("ABC Привет"), "abc Привет");
  EXPECT_EQ(AnsiUpperCase("привет, ёжик! straße äöü"), "ПРИВЕТ, ЁЖИК! STRAßE ÄÖÜ");
  EXPECT_EQ(AnsiLowerCase("ПРИВЕТ ЁЖИК ÄÖÜ ΑΒΓ"), "привет ёжик äöü αβγ");
  EXPECT_EQ(AnsiUpperCase("їґєў"), "ЇҐЄЎ");
  // Malformed bytes pass through untouched.
  EXPECT_EQ(AnsiUpperCase("a\xFF"
                          "b"),
            "A\xFF"
            "B");
  // Every mapping keeps the byte length.
  for (char32_t c = 0x80; c < 0x600; ++c) {
    std::string s, u, l;
    Utf8Append(s, c);
    Utf8Append(u, UnicodeUpper(c));
    Utf8Append(l, UnicodeLower(c));
    ASSERT_EQ(s.size(), u.size()) << static_cast<int>(c);
    ASSERT_EQ(s.size(), l.size()) << static_cast<int>(c);
  }
}

TEST(Strings, Comparisons) {
  EXPECT_LT(CompareStr("A", "a"), 0);
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareText("abc", "abd"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_TRUE(SameText("Hello", "hELLO"));
  EXPECT_FALSE(SameText("Привет", "ПРИВЕТ"));  // ASCII only
  EXPECT_TRUE(AnsiSameText("Привет", "ПРИВЕТ"));
  EXPECT_EQ(AnsiCompareText("ёлка", "ЁЛКА"), 0);
  // Ё sorts between Е and Ж, not before А as its code does.
  EXPECT_LT(AnsiCompareText("Е", "Ё"), 0);
  EXPECT_LT(AnsiCompareText("Ё", "Ж"), 0);
  EXPECT_LT(AnsiCompareText("ель", "ёж"), 0);
  // Case-sensitive linguistic order: letters first, then lower before upper.
  EXPECT_LT(AnsiCompareStr("a", "B"), 0);
  EXPECT_LT(AnsiCompareStr("a", "A"), 0);
  EXPECT_GT(AnsiCompareStr("Б", "б"), 0);
  EXPECT_EQ(AnsiCompareStr("Яя", "Яя"), 0);
}

TEST(Strings, QuotingAndDequoting) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");
  EXPECT_EQ(AnsiDequotedStr("'it''s'", '\''), "it's");
  EXPECT_EQ(AnsiDequotedStr("'abc' tail", '\''), "abc");
  EXPECT_EQ(AnsiDequotedStr("'unterminated", '\''), "'unterminated");
  EXPECT_EQ(AnsiDequotedStr("plain", '\''), "plain");
  EXPECT_EQ(AnsiDequotedStr("''", '\''), "");
}

TEST(Strings, AdjustLineBreaksMakesCrLf) {
  EXPECT_EQ(AdjustLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_EQ(AdjustLineBreaks("a\n\nb"), "a\r\n\r\nb");
  EXPECT_EQ(AdjustLineBreaks("\r\r"), "\r\n\r\n");
}

TEST(Strings, StringReplaceFlags) {
  EXPECT_EQ(StringReplace("aXbXc", "X", "--", {}), "a--bXc");
  EXPECT_EQ(StringReplace("aXbXc", "X", "--", {rfReplaceAll}), "a--b--c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "_", {rfReplaceAll, rfIgnoreCase}), "a_b_c");
  EXPECT_EQ(StringReplace("Мир мир МИР", "мир", "world", {rfReplaceAll, rfIgnoreCase}), "world world world");
  EXPECT_EQ(StringReplace("aaa", "a", "aa", {rfReplaceAll}), "aaaaaa");
  EXPECT_EQ(StringReplace("abc", "", "x", {rfReplaceAll}), "abc");
}

TEST(Strings, Delimiters) {
  EXPECT_TRUE(IsDelimiter(".\\", "a.b", 2));
  EXPECT_FALSE(IsDelimiter(".\\", "a.b", 1));
  EXPECT_FALSE(IsDelimiter(".", "a.b", 4));
  EXPECT_EQ(LastDelimiter("./", "dir/file.name.ext"), 14);
  EXPECT_EQ(LastDelimiter(";", "abc"), 0);
  EXPECT_EQ(StringOfChar('-', 3), "---");
}

TEST(Utf8, CountsIndexesAndIterates) {
  std::string s = "Жук на ёлке: 🐞";
  EXPECT_EQ(Utf8Length(s), 14);
  EXPECT_EQ(Utf8Copy(s, 1, 3), "Жук");
  EXPECT_EQ(Utf8Copy(s, 8, 4), "ёлке");
  EXPECT_EQ(Utf8Copy(s, 14, 5), "🐞");
  EXPECT_EQ(Utf8Pos("ёлке", s), 8);
  EXPECT_EQ(Utf8Pos("нет", s), 0);
  EXPECT_EQ(Utf8Offset(s, 1), 2u);
  EXPECT_EQ(Utf8Offset(s, 100), s.size());
  std::u32string cps;
  for (char32_t c : Utf8Chars(s)) cps.push_back(c);
  EXPECT_EQ(cps, Utf8ToUtf32(s));
  EXPECT_EQ(Utf32ToUtf8(cps), s);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("🐞").size(), 2u);
}

TEST(Utf8, MalformedInputNeverOverreads) {
  std::string bad = "a\xC3";  // truncated sequence
  EXPECT_EQ(Utf8Length(bad), 2);
  EXPECT_EQ(Utf8ToUtf32(bad), std::u32string({U'a', 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf32("\xC0\x80"), std::u32string({0xFFFD, 0xFFFD}));  // overlong
  EXPECT_EQ(Utf8ToUtf32("\xED\xA0\x80").size(), 3u);                     // surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Cp1251, RoundTripsEveryByteAndTheCyrillicRange) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
  for (char32_t c = 0x410; c <= 0x44F; ++c) {
    std::string u;
    Utf8Append(u, c);
    std::string b = Utf8ToCp1251(u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 0xC0 + (c - 0x410));
    EXPECT_EQ(Cp1251ToUtf8(b), u);
  }
  EXPECT_EQ(Utf8ToCp1251("Ёё№€"), "\xA8\xB8\xB9\x88");
  EXPECT_EQ(Cp1251ToUtf8("\xAB\xBB\x96\x97"), "«»–—");
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
}

TEST(Integers, ConvertAndReportBadInput) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(int64_t(9223372036854775807LL)), "9223372036854775807");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(StrToInt(" -17"), -17);
  EXPECT_EQ(StrToInt("+5"), 5);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_EQ(StrToInt64Def("99999999999999999999", -1), -1);
  int v = 0;
  EXPECT_FALSE(TryStrToInt("2147483648", v));
  EXPECT_FALSE(TryStrToInt("12 ", v));
  EXPECT_FALSE(TryStrToInt("", v));
  EXPECT_FALSE(TryStrToInt("-", v));
  EXPECT_FALSE(TryStrToInt("1.5", v));
  try {
    StrToInt("12a");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
  }
}

TEST(Integers, Booleans) {
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false, true), "False");
  EXPECT_TRUE(StrToBool("true"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_TRUE(StrToBool("2"));
  EXPECT_THROW(StrToBool("yes"), EConvertError);
}

TEST(FormatSettingsTest, GuardRestoresThePreviousSettings) {
  char before = FormatSettings.DecimalSeparator;
  {
    TFormatSettingsGuard g(RussianFormatSettings());
    EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
    EXPECT_EQ(FormatSettings.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(FormatSettings.LongMonthNames[11], "Декабрь");
    {
      TFormatSettingsGuard g2(EnglishFormatSettings());
      EXPECT_EQ(FormatSettings.DecimalSeparator, '.');
    }
    EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  }
  EXPECT_EQ(FormatSettings.DecimalSeparator, before);
}

TEST(Integers, IntToStrTakesEveryIntegerType) {
  EXPECT_EQ(IntToStr(size_t(18446744073709551615ULL)), "18446744073709551615");
  EXPECT_EQ(IntToStr(static_cast<short>(-3)), "-3");
  EXPECT_EQ(IntToStr(4000000000u), "4000000000");
  EXPECT_EQ(IntToStr(-5LL), "-5");
}
