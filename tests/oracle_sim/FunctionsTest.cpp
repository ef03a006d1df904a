// Value conversions shared by the SQL functions and the engine: dates, numbers, ROWIDs.
#include <gtest/gtest.h>

#include <functional>

#include "oracle_sim/engine/Engine.h"
#include "oracle_sim/engine/Functions.h"

namespace {

using oracle_sim::DateTime;
using oracle_sim::OraError;
using oracle_sim::Value;

int ErrorCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const OraError& e) {
    return e.code;
  }
  return 0;
}

TEST(DateFormats, FormatsEveryElement) {
  DateTime d{2024, 3, 5, 14, 7, 9, 0};
  using oracle_sim::FormatDate;
  EXPECT_EQ(FormatDate(d, "YYYY-MM-DD HH24:MI:SS"), "2024-03-05 14:07:09");
  EXPECT_EQ(FormatDate(d, "DD.MM.YY HH:MI:SS AM"), "05.03.24 02:07:09 PM");
  EXPECT_EQ(FormatDate(d, "DD-MON-RR"), "05-MAR-24");
  EXPECT_EQ(FormatDate(d, "Dy, fmDD Month YYYY"), "Tue, 5 March 2024");
  EXPECT_EQ(FormatDate(d, "DAY"), "TUESDAY  ");
  EXPECT_EQ(FormatDate(d, "DDD Q WW D"), "065 1 10 3");
  EXPECT_EQ(FormatDate(d, "\"Day\" DD \"of\" MM"), "Day 05 of 03");
  EXPECT_EQ(FormatDate(d, "SSSSS"), "50829");
  EXPECT_EQ(ErrorCode([&] { FormatDate(d, "QQQX"); }), 1821);
}

TEST(DateFormats, ParsesWithOracleRules) {
  DateTime now{2026, 7, 15, 0, 0, 0, 0};
  using oracle_sim::ParseDate;
  EXPECT_EQ(ParseDate("17-DEC-80", "DD-MON-RR", now), (DateTime{1980, 12, 17, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDate("17-dec-1980", "DD-MON-YYYY", now), (DateTime{1980, 12, 17, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDate("1-February-2001", "DD-MONTH-YYYY", now), (DateTime{2001, 2, 1, 0, 0, 0, 0}));
  // missing parts: first day of the current month
  EXPECT_EQ(ParseDate("10:11:12", "HH24:MI:SS", now), (DateTime{2026, 7, 1, 10, 11, 12, 0}));
  // any separator matches any separator; RR picks the century around the current year
  EXPECT_EQ(ParseDate("05/03/49", "DD.MM.RR", now), (DateTime{2049, 3, 5, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDate("05/03/50", "DD.MM.RR", now), (DateTime{1950, 3, 5, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDate("12:30 AM", "HH:MI AM", now).hour, 0);
  EXPECT_EQ(ErrorCode([&] { ParseDate("29-02-2023", "DD-MM-YYYY", now); }), 1847);
  EXPECT_EQ(ErrorCode([&] { ParseDate("01-01-2023 extra", "DD-MM-YYYY", now); }), 1830);
  EXPECT_EQ(ErrorCode([&] { ParseDate("01-XYZ-2023", "DD-MON-YYYY", now); }), 1843);
  EXPECT_EQ(ErrorCode([&] { ParseDate("25:00", "HH24:MI", now); }), 1850);
}

TEST(DateFormats, SecondsRoundTripAcrossCenturies) {
  for (DateTime d : {DateTime{1, 1, 1, 0, 0, 0, 0}, DateTime{1600, 2, 29, 23, 59, 59, 0},
                     DateTime{1999, 12, 31, 12, 0, 0, 0}, DateTime{9999, 12, 31, 23, 59, 59, 0}}) {
    EXPECT_EQ(oracle_sim::FromSeconds(oracle_sim::ToSeconds(d)), d);
    DateTime back;
    ASSERT_TRUE(oracle_sim::ParseIso(oracle_sim::FormatIso(d), back));
    EXPECT_EQ(back, d);
  }
  DateTime bad;
  EXPECT_FALSE(oracle_sim::ParseIso("2023-02-29 00:00:00", bad));
  EXPECT_FALSE(oracle_sim::ParseIso("2023-02-2800:00:00", bad));
}

TEST(Numbers, TextAsOracleShowsIt) {
  using oracle_sim::NumberText;
  EXPECT_EQ(NumberText(0.5), ".5");
  EXPECT_EQ(NumberText(-0.25), "-.25");
  EXPECT_EQ(NumberText(1234.5), "1234.5");
  EXPECT_EQ(NumberText(1e20), "100000000000000000000");
  EXPECT_EQ(NumberText(0.0001), ".0001");
  EXPECT_EQ(NumberText(1e45), "1E+45");
  EXPECT_EQ(NumberText(static_cast<int64_t>(-42)), "-42");
  EXPECT_EQ(NumberText(0.1 + 0.2), ".3");
  int64_t i;
  double d;
  bool isInt;
  EXPECT_TRUE(oracle_sim::ParseNumber(" 12 ", i, d, isInt));
  EXPECT_TRUE(isInt);
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(oracle_sim::ParseNumber("-1.5e2", i, d, isInt));
  EXPECT_EQ(d, -150);
  EXPECT_FALSE(oracle_sim::ParseNumber("1.2.3", i, d, isInt));
  EXPECT_FALSE(oracle_sim::ParseNumber("", i, d, isInt));
  EXPECT_FALSE(oracle_sim::ParseNumber("e5", i, d, isInt));
  EXPECT_EQ(oracle_sim::ClampToInt64(1e300), INT64_MAX);
  EXPECT_EQ(oracle_sim::ClampToInt64(-2.9), -2);
  EXPECT_EQ(oracle_sim::ParseIntClamped("99999999999999999999", 0, 100), 100);
}

TEST(Rowids, EighteenCharactersThatDecodeBack) {
  std::string r = oracle_sim::RowidText(30001, 12345);
  EXPECT_EQ(r.size(), 18u);
  int64_t obj, rid;
  ASSERT_TRUE(oracle_sim::RowidDecode(r, obj, rid));
  EXPECT_EQ(obj, 30001);
  EXPECT_EQ(rid, 12345);
  EXPECT_NE(oracle_sim::RowidText(30001, 1), oracle_sim::RowidText(30002, 1));
  EXPECT_FALSE(oracle_sim::RowidDecode("short", obj, rid));
  EXPECT_FALSE(oracle_sim::RowidDecode("AAAHUxAAEAAAAA!AAA", obj, rid));
}

TEST(Values, DefaultTextConversion) {
  EXPECT_EQ(Value::MakeText("").kind, Value::Null);
  EXPECT_EQ(Value::MakeBytes(std::string("\x01\xAB", 2)).ToText(), "01AB");
  EXPECT_EQ(Value::MakeDate(DateTime{1981, 2, 20, 0, 0, 0, 0}).ToText(), "20-FEB-81");
  EXPECT_EQ(Value::MakeReal(2.5).ToText(), "2.5");
  EXPECT_EQ(Value().ToText(), "");
}

}  // namespace
