// The external data types of the client library: Oracle NUMBER and DATE formats, and reading and
// writing program buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "oracle_sim/OciConvert.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> v;
  for (unsigned char c : s) v.push_back(c);
  return v;
}

Value RoundTrip(const Value& v) {
  std::string n = EncodeNumber(v);
  return DecodeNumber(reinterpret_cast<const ub1*>(n.data()), n.size());
}

int ErrorCode(auto&& f) {
  try {
    f();
  } catch (const OraError& e) {
    return e.code;
  }
  return 0;
}

}  // namespace

TEST(OciNumber, EncodesOraclesInternalForm) {
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(0))), (std::vector<int>{0x80}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(1))), (std::vector<int>{0xC1, 2}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(100))), (std::vector<int>{0xC2, 2}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(123))), (std::vector<int>{0xC2, 2, 24}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeReal(123.45))), (std::vector<int>{0xC2, 2, 24, 46}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeReal(0.5))), (std::vector<int>{0xC0, 51}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(-1))), (std::vector<int>{0x3E, 100, 102}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeInt(-123))), (std::vector<int>{0x3D, 100, 78, 102}));
  EXPECT_EQ(Bytes(EncodeNumber(Value::MakeText("1e10"))), (std::vector<int>{0xC6, 2}));
}

TEST(OciNumber, RoundTripsIntegersDecimalsAndExtremes) {
  for (int64_t i : {int64_t{0}, int64_t{7}, int64_t{-7}, int64_t{99}, int64_t{100}, int64_t{101},
                    int64_t{-100}, int64_t{123456789}, int64_t{-987654321012}, int64_t{999999999999999999}}) {
    Value v = RoundTrip(Value::MakeInt(i));
    ASSERT_EQ(v.kind, Value::Int) << i;
    EXPECT_EQ(v.i, i);
  }
  for (double d : {0.5, -0.5, 123.45, -123.45, 1e-100, -1e-100, 1.5e120, 3.14159265358979, 0.001}) {
    Value v = RoundTrip(Value::MakeReal(d));
    ASSERT_EQ(v.kind, Value::Real) << d;
    EXPECT_DOUBLE_EQ(v.d, d);
  }
  Value big = RoundTrip(Value::MakeReal(1e30));  // beyond int64: stays a real number
  EXPECT_EQ(big.kind, Value::Real);
  EXPECT_DOUBLE_EQ(big.d, 1e30);
  EXPECT_EQ(RoundTrip(Value::MakeText(" -42.50 ")).d, -42.5);
}

TEST(OciNumber, RefusesWhatIsNotANumber) {
  EXPECT_EQ(ErrorCode([] { EncodeNumber(Value::MakeText("12a")); }), 1722);
  EXPECT_EQ(ErrorCode([] { EncodeNumber(Value::MakeDate(DateTime{})); }), 932);
  EXPECT_EQ(ErrorCode([] { EncodeNumber(Value::MakeReal(1e300 * 1e300)); }), 1426);
  const ub1 bad[] = {0xC1, 0xFF};
  EXPECT_EQ(ErrorCode([&] { DecodeNumber(bad, 2); }), 1722);
  EXPECT_EQ(ErrorCode([&] { DecodeNumber(bad, 0); }), 1722);
}

TEST(OciDate, SevenByteForm) {
  DateTime dt{2026, 12, 6, 21, 5, 9, 0};
  ub1 raw[7];
  EncodeDate(dt, raw);
  EXPECT_EQ(std::vector<int>(raw, raw + 7), (std::vector<int>{120, 126, 12, 6, 22, 6, 10}));
  EXPECT_EQ(DecodeDate(raw), dt);
  DateTime bc{-4712, 1, 1, 0, 0, 0, 0};
  EncodeDate(bc, raw);
  EXPECT_EQ(raw[0], 53);
  EXPECT_EQ(raw[1], 88);
  EXPECT_EQ(DecodeDate(raw), bc);
  const ub1 badMonth[7] = {120, 126, 13, 1, 1, 1, 1};
  EXPECT_EQ(ErrorCode([&] { DecodeDate(badMonth); }), 1843);
  const ub1 feb30[7] = {120, 124, 2, 30, 1, 1, 1};
  EXPECT_EQ(ErrorCode([&] { DecodeDate(feb30); }), 1839);
}

TEST(OciExternal, ReadsBoundBuffers) {
  const char str[8] = "abc\0xyz";
  EXPECT_EQ(ReadExternal(SQLT_STR, str, 8, false).s, "abc");
  EXPECT_TRUE(ReadExternal(SQLT_STR, "", 1, false).IsNull());  // '' is NULL
  EXPECT_EQ(ReadExternal(SQLT_CHR, "ab  ", 4, true).s, "ab  ");
  int32_t i = -5;
  EXPECT_EQ(ReadExternal(SQLT_INT, &i, 4, false).i, -5);
  uint16_t u = 65535;
  EXPECT_EQ(ReadExternal(SQLT_UIN, &u, 2, false).i, 65535);
  double d = 2.25;
  EXPECT_EQ(ReadExternal(SQLT_FLT, &d, 8, false).d, 2.25);
  float f = 3.0f;
  Value whole = ReadExternal(SQLT_FLT, &f, 4, false);
  EXPECT_EQ(whole.kind, Value::Int);
  EXPECT_EQ(whole.i, 3);
  char vcs[6] = {3, 0, 'x', 'y', 'z', '!'};
  EXPECT_EQ(ReadExternal(SQLT_VCS, vcs, 6, false).s, "xyz");
  ub1 vnu[22] = {3, 0xC2, 2, 24};
  EXPECT_EQ(ReadExternal(SQLT_VNU, vnu, 22, false).i, 123);
  ub1 date[7] = {119, 100, 1, 2, 4, 5, 6};
  Value dv = ReadExternal(SQLT_DAT, date, 7, false);
  EXPECT_EQ(dv.dt, (DateTime{1900, 1, 2, 3, 4, 5, 0}));
  EXPECT_EQ(ReadExternal(SQLT_BIN, "\x01\x02", 2, true).s, std::string("\x01\x02", 2));
  EXPECT_EQ(ErrorCode([] { ReadExternal(SQLT_CLOB, "", 0, false); }), 3001);
}

TEST(OciExternal, WritesFetchedValuesWithTruncation) {
  char buf[8];
  WriteOutcome o = WriteExternal(SQLT_STR, Value::MakeText("hello"), buf, 8);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(o.length, 5u);
  EXPECT_EQ(o.rcode, 0);
  o = WriteExternal(SQLT_STR, Value::MakeText("truncated"), buf, 4);
  EXPECT_STREQ(buf, "tru");
  EXPECT_EQ(o.rcode, 1406);
  EXPECT_EQ(o.fullLength, 9u);
  o = WriteExternal(SQLT_AFC, Value::MakeText("ab"), buf, 5);
  EXPECT_EQ(std::string(buf, 5), "ab   ");
  int32_t i = 0;
  WriteExternal(SQLT_INT, Value::MakeReal(2.5), &i, 4);
  EXPECT_EQ(i, 3);
  WriteExternal(SQLT_INT, Value::MakeText("-17"), &i, 4);
  EXPECT_EQ(i, -17);
  EXPECT_EQ(ErrorCode([&] { WriteExternal(SQLT_INT, Value::MakeInt(int64_t{1} << 40), &i, 4); }), 1455);
  EXPECT_EQ(ErrorCode([&] { WriteExternal(SQLT_UIN, Value::MakeInt(-1), &i, 4); }), 1455);
  EXPECT_EQ(ErrorCode([&] { WriteExternal(SQLT_INT, Value::MakeText("x"), &i, 4); }), 1722);
  double d = 0;
  WriteExternal(SQLT_FLT, Value::MakeInt(12), &d, 8);
  EXPECT_EQ(d, 12.0);
  ub1 num[22] = {};
  o = WriteExternal(SQLT_VNU, Value::MakeInt(-123), num, 22);
  EXPECT_EQ(o.length, 5u);
  EXPECT_EQ(std::vector<int>(num, num + 5), (std::vector<int>{4, 0x3D, 100, 78, 102}));
  ub1 date[7];
  WriteExternal(SQLT_DAT, Value::MakeDate(DateTime{1999, 12, 31, 23, 59, 58, 0}), date, 7);
  EXPECT_EQ(std::vector<int>(date, date + 7), (std::vector<int>{119, 199, 12, 31, 24, 60, 59}));
  EXPECT_EQ(ErrorCode([&] { WriteExternal(SQLT_DAT, Value::MakeInt(1), date, 7); }), 932);
  char lvc[8];
  o = WriteExternal(SQLT_LVC, Value::MakeText("abcdef"), lvc, 8);
  int32_t n;
  std::memcpy(&n, lvc, 4);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(o.rcode, 1406);
}
