#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"
#include "rtl/MessageOf.h"

namespace {

struct Parts {
  int y, m, d, h, n, s, z;
};

Parts Decode(TDateTime v) {
  Parts p;
  DecodeDateTime(v, p.y, p.m, p.d, p.h, p.n, p.s, p.z);
  return p;
}

}  // namespace

TEST(DateEncoding, SerialNumbersAndEdges) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_EQ(EncodeDate(2024, 2, 29) - EncodeDate(2024, 2, 28), 1.0);
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeDate(2023, 2, 29); }), "Invalid argument to date encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeDate(0, 1, 1); }), "Invalid argument to date encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeDate(10000, 1, 1); }), "Invalid argument to date encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeDate(2000, 13, 1); }), "Invalid argument to date encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeTime(24, 0, 0, 0); }), "Invalid argument to time encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeTime(1, 60, 0, 0); }), "Invalid argument to time encode");
  EXPECT_EQ(MessageOf<EConvertError>([] { EncodeTime(1, 0, 0, 1000); }), "Invalid argument to time encode");
  TDateTime d;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));  // 1900 was no leap year
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
}

TEST(DateEncoding, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST(DateEncoding, DecodeRoundTripsEveryDayOfSomeYears) {
  for (int y : {1, 1600, 1899, 1900, 2000, 2024, 9999}) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= DaysInMonth(y, m); ++d) {
        Parts p = Decode(EncodeDate(y, m, d));
        ASSERT_EQ(p.y, y);
        ASSERT_EQ(p.m, m);
        ASSERT_EQ(p.d, d);
      }
    }
  }
}

TEST(DateEncoding, NegativeDatesSubtractTheTime) {
  TDateTime v = EncodeDateTime(1899, 12, 29, 6, 0, 0, 0);
  EXPECT_DOUBLE_EQ(v, -1.25);
  Parts p = Decode(v);
  EXPECT_EQ(p.y, 1899);
  EXPECT_EQ(p.m, 12);
  EXPECT_EQ(p.d, 29);
  EXPECT_EQ(p.h, 6);
  p = Decode(EncodeDateTime(1800, 3, 1, 23, 59, 59, 999));
  EXPECT_EQ(p.y, 1800);
  EXPECT_EQ(p.d, 1);
  EXPECT_EQ(p.h, 23);
  EXPECT_EQ(p.z, 999);
  EXPECT_DOUBLE_EQ(ComposeDateTime(-2, 0.5), -2.5);
  EXPECT_DOUBLE_EQ(ComposeDateTime(2, 0.5), 2.5);
}

TEST(DateEncoding, TimeRoundsToMillisecondsAndCarriesMidnight) {
  Parts p = Decode(EncodeTime(13, 45, 30, 123));
  EXPECT_EQ(p.h, 13);
  EXPECT_EQ(p.n, 45);
  EXPECT_EQ(p.s, 30);
  EXPECT_EQ(p.z, 123);
  p = Decode(EncodeDate(2024, 12, 31) + 0.9999999999);
  EXPECT_EQ(p.y, 2025);
  EXPECT_EQ(p.m, 1);
  EXPECT_EQ(p.d, 1);
  EXPECT_EQ(p.h, 0);
  // Every millisecond of a day survives encode and decode.
  for (int ms = 0; ms < 86400000; ms += 997) {
    TDateTime t = EncodeDateTime(2026, 12, 6, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    Parts q = Decode(t);
    ASSERT_EQ(((q.h * 60 + q.n) * 60 + q.s) * 1000 + q.z, ms);
  }
  EXPECT_THROW(Decode(1e300), EConvertError);
}

TEST(DateEncoding, DayOfWeekIncMonthAndParts) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);   // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1800, 1, 1)), 4);    // Wednesday
  EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31), 1), EncodeDate(2024, 2, 29));
  EXPECT_EQ(IncMonth(EncodeDate(2024, 3, 31), -13), EncodeDate(2023, 2, 28));
  EXPECT_EQ(IncMonth(EncodeDate(2024, 12, 15), 1), EncodeDate(2025, 1, 15));
  EXPECT_DOUBLE_EQ(IncMonth(EncodeDateTime(2024, 5, 5, 12, 0, 0, 0)),
                   EncodeDateTime(2024, 6, 5, 12, 0, 0, 0));
  EXPECT_DOUBLE_EQ(DateOf(45000.75), 45000);
  EXPECT_DOUBLE_EQ(TimeOf(45000.75), 0.75);
  int y, m, d, dow;
  EXPECT_TRUE(DecodeDateFully(EncodeDate(2024, 2, 29), y, m, d, dow));
  EXPECT_EQ(dow, 5);
}

TEST(Clock, InjectableForTests) {
  TDateTime fixed = EncodeDateTime(2026, 12, 6, 21, 30, 15, 0);
  {
    TClockGuard clock(fixed);
    EXPECT_EQ(Now(), fixed);
    EXPECT_EQ(Date(), EncodeDate(2026, 12, 6));
    EXPECT_DOUBLE_EQ(Time(), EncodeTime(21, 30, 15, 0));
  }
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}

TEST(FormatDateTimeTest, DirectivesUnderEnglishSettings) {
  TFormatSettings en = EnglishFormatSettings();
  TDateTime v = EncodeDateTime(2026, 3, 7, 14, 5, 9, 42);
  EXPECT_EQ(FormatDateTime("d dd ddd dddd", v, en), "7 07 Sat Saturday");
  EXPECT_EQ(FormatDateTime("m mm mmm mmmm", v, en), "3 03 Mar March");
  EXPECT_EQ(FormatDateTime("yy yyyy", v, en), "26 2026");
  EXPECT_EQ(FormatDateTime("h hh n nn s ss z zzz", v, en), "14 14 5 05 9 09 42 042");
  EXPECT_EQ(FormatDateTime("hh:mm", v, en), "14:05");  // m after h is the minute
  EXPECT_EQ(FormatDateTime("h:nn am/pm", v, en), "2:05 pm");
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", v, en), "2:05 PM");
  EXPECT_EQ(FormatDateTime("h a/p", v, en), "2 p");
  EXPECT_EQ(FormatDateTime("hh ampm", EncodeTime(0, 30, 0, 0), en), "12 AM");
  EXPECT_EQ(FormatDateTime("ddddd", v, en), "3/7/2026");
  EXPECT_EQ(FormatDateTime("dddddd", v, en), "Saturday, March 7, 2026");
  EXPECT_EQ(FormatDateTime("t", v, en), "2:05 PM");
  EXPECT_EQ(FormatDateTime("tt", v, en), "2:05:09 PM");
  EXPECT_EQ(FormatDateTime("c", v, en), "3/7/2026 2:05:09 PM");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2026, 3, 7), en), "3/7/2026");
  EXPECT_EQ(FormatDateTime("", EncodeDate(2026, 3, 7), en), "3/7/2026");
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd", v, en), "2026/03/07");
  EXPECT_EQ(FormatDateTime("'day' d \"of\" mmmm", v, en), "day 7 of March");
  EXPECT_EQ(FormatDateTime("'unterminated", v, en), "unterminated");
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy @", v, en), "07-03-2026 @");
}

TEST(FormatDateTimeTest, DirectivesUnderRussianSettings) {
  TFormatSettings ru = RussianFormatSettings();
  TDateTime v = EncodeDateTime(2026, 12, 6, 9, 7, 5, 0);
  EXPECT_EQ(FormatDateTime("ddddd", v, ru), "06.12.2026");
  EXPECT_EQ(FormatDateTime("ddddd tt", v, ru), "06.12.2026 9:07:05");
  EXPECT_EQ(FormatDateTime("c", v, ru), "06.12.2026 9:07:05");
  EXPECT_EQ(FormatDateTime("dddd, d mmmm yyyy", v, ru), "воскресенье, 6 Декабрь 2026");
  EXPECT_EQ(FormatDateTime("ddd mmm", v, ru), "Вс дек");
  EXPECT_EQ(FormatDateTime("dd/mm/yy hh:nn", v, ru), "06.12.26 09:07");
  EXPECT_EQ(FormatDateTime("dddddd", v, ru), "6 Декабрь 2026 г.");
  EXPECT_EQ(FormatDateTime("h:nn ampm", EncodeTime(15, 0, 0, 0), ru), "3:00 ");
  TFormatSettingsGuard g(ru);
  EXPECT_EQ(DateToStr(v), "06.12.2026");
  EXPECT_EQ(TimeToStr(v), "9:07:05");
  EXPECT_EQ(DateTimeToStr(v), "06.12.2026 9:07:05");
  EXPECT_EQ(DateTimeToStr(EncodeDate(1899, 12, 30)), "30.12.1899");
  EXPECT_EQ(DateTimeToStr(-1.25), "29.12.1899 6:00:00");
}

TEST(StrToDateTest, DayMonthYearOrder) {
  TFormatSettings ru = RussianFormatSettings();
  TClockGuard clock(EncodeDate(2026, 12, 6));
  EXPECT_EQ(StrToDate("06.12.2026", ru), EncodeDate(2026, 12, 6));
  EXPECT_EQ(StrToDate(" 6.1.2026 ", ru), EncodeDate(2026, 1, 6));
  EXPECT_EQ(StrToDate("6.1", ru), EncodeDate(2026, 1, 6));
  EXPECT_EQ(StrToDate("6.1.26", ru), EncodeDate(2026, 1, 6));
  EXPECT_EQ(StrToDate("6.1.80", ru), EncodeDate(1980, 1, 6));
  EXPECT_EQ(StrToDate("6.1.76", ru), EncodeDate(1976, 1, 6));
  EXPECT_EQ(StrToDate("6.1.75", ru), EncodeDate(2075, 1, 6));
  EXPECT_EQ(StrToDate("6.1.77", ru), EncodeDate(1977, 1, 6));
  EXPECT_EQ(StrToDate("6.1.0026", ru), EncodeDate(26, 1, 6));
  EXPECT_EQ(StrToDate("31.12.9999", ru), EncodeDate(9999, 12, 31));
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToDate("31.02.2026", ru); }),
            "'31.02.2026' is not a valid date");
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToDate("12/06/2026", ru); }),
            "'12/06/2026' is not a valid date");
  TDateTime d;
  EXPECT_FALSE(TryStrToDate("06.12.2026 x", d, ru));
  EXPECT_FALSE(TryStrToDate("", d, ru));
  EXPECT_FALSE(TryStrToDate("06.", d, ru));
  EXPECT_EQ(StrToDateDef("bad", -7, ru), -7);
}

TEST(StrToDateTest, MonthDayYearAndYearMonthDayOrders) {
  TFormatSettings en = EnglishFormatSettings();
  TClockGuard clock(EncodeDate(2026, 12, 6));
  EXPECT_EQ(StrToDate("12/6/2026", en), EncodeDate(2026, 12, 6));
  EXPECT_EQ(StrToDate("2/29/2024", en), EncodeDate(2024, 2, 29));
  EXPECT_EQ(StrToDate("3/7", en), EncodeDate(2026, 3, 7));
  TDateTime d;
  EXPECT_FALSE(TryStrToDate("13/1/2026", d, en));
  TFormatSettings iso = en;
  iso.ShortDateFormat = "yyyy-MM-dd";
  iso.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2026-12-06", iso), EncodeDate(2026, 12, 6));
  EXPECT_EQ(StrToDate("12-06", iso), EncodeDate(2026, 12, 6));
}

TEST(StrToDateTest, TimesAndDateTimes) {
  TFormatSettings ru = RussianFormatSettings();
  TFormatSettings en = EnglishFormatSettings();
  EXPECT_DOUBLE_EQ(StrToTime("9:07:05", ru), EncodeTime(9, 7, 5, 0));
  EXPECT_DOUBLE_EQ(StrToTime("9:07", ru), EncodeTime(9, 7, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("9", ru), EncodeTime(9, 0, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("9:07:05,250", ru), EncodeTime(9, 7, 5, 250));
  EXPECT_DOUBLE_EQ(StrToTime("2:05 PM", en), EncodeTime(14, 5, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("12:30 am", en), EncodeTime(0, 30, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("PM 1:00", en), EncodeTime(13, 0, 0, 0));
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToTime("25:00", ru); }), "'25:00' is not a valid time");
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToTime("13:00 PM", en); }), "'13:00 PM' is not a valid time");
  EXPECT_DOUBLE_EQ(StrToDateTime("06.12.2026 21:30:15", ru), EncodeDateTime(2026, 12, 6, 21, 30, 15, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("06.12.2026", ru), EncodeDate(2026, 12, 6));
  EXPECT_DOUBLE_EQ(StrToDateTime("21:30", ru), EncodeTime(21, 30, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("29.12.1899 6:00", ru), -1.25);
  EXPECT_DOUBLE_EQ(StrToDateTime("3/7/2026 2:05:09 PM", en), EncodeDateTime(2026, 3, 7, 14, 5, 9, 0));
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToDateTime("06.12.2026 x", ru); }),
            "'06.12.2026 x' is not a valid date and time");
  // What DateTimeToStr writes, StrToDateTime reads back.
  for (TDateTime v : {EncodeDateTime(2026, 12, 6, 21, 30, 15, 0), EncodeDate(1999, 1, 31), -1.25}) {
    EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(v, ru), ru), v);
    EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(v, en), en), v);
  }
}

TEST(TimeStamps, RoundTripToTheMillisecond) {
  TTimeStamp ts = DateTimeToTimeStamp(EncodeDate(1, 1, 1));
  EXPECT_EQ(ts.Date, 1);
  EXPECT_EQ(ts.Time, 0);
  ts = DateTimeToTimeStamp(EncodeDateTime(1899, 12, 30, 12, 0, 0, 1));
  EXPECT_EQ(ts.Date, DateDelta);
  EXPECT_EQ(ts.Time, 43200001);
  for (TDateTime v : {EncodeDateTime(2026, 12, 6, 23, 59, 59, 999), EncodeDateTime(1700, 6, 1, 0, 0, 0, 1),
                      EncodeDateTime(9999, 12, 31, 23, 59, 59, 999), -1.25}) {
    TDateTime back = TimeStampToDateTime(MSecsToTimeStamp(TimeStampToMSecs(DateTimeToTimeStamp(v))));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", back), FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v));
    EXPECT_NEAR(back, v, 1e-9);
  }
  EXPECT_THROW(TimeStampToDateTime(TTimeStamp{0, 0}), EConvertError);
  EXPECT_THROW(TimeStampToDateTime(TTimeStamp{-1, 5}), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(-1), EConvertError);
}
