// The value calls of the client library's object cache that need no server: numbers and their
// text format models, strings, raws and REFs with their hexadecimal form, and bad arguments.
#include <cctype>

#include "OciConnection.h"

namespace {

class OciValueTest : public OciEnvironmentTest {
 protected:
  OciValueTest() : OciEnvironmentTest(OCI_OBJECT) {}

  OCINumber FromInt(long long v) {
    OCINumber n{};
    EXPECT_EQ(oci.OCINumberFromInt(err, &v, sizeof v, OCI_NUMBER_SIGNED, &n), OCI_SUCCESS);
    return n;
  }
  OCINumber FromText(const std::string& s) {
    OCINumber n{};
    EXPECT_EQ(
        oci.OCINumberFromText(err, T(s.c_str()), static_cast<ub4>(s.size()), nullptr, 0, nullptr, 0, &n),
        OCI_SUCCESS)
        << ErrorOf(oci, err).second;
    return n;
  }
  std::string ToText(const OCINumber& n, const std::string& fmt) {
    text buf[128] = {};
    ub4 size = sizeof buf;
    if (oci.OCINumberToText(err, &n, T(fmt.c_str()), static_cast<ub4>(fmt.size()), nullptr, 0, &size, buf) !=
        OCI_SUCCESS)
      return "error " + std::to_string(ErrorOf(oci, err).first);
    return std::string(reinterpret_cast<char*>(buf), size);
  }
  // The text of a number as an object attribute's reader makes it: a first conversion with 38 nines
  // gives the digits before the separator, a second one the decimals; a separator without
  // decimals is then cut off.
  std::string AttributeText(const OCINumber& n) {
    std::string nines(38, '9');
    std::string first = ToText(n, "FM" + nines);
    size_t digits = first.size() - (first[0] == '-' ? 1 : 0);
    std::string text = first;
    if (digits < 38) text = ToText(n, "FM" + std::string(digits, '9') + "D" + std::string(38 - digits, '9'));
    while (!text.empty() && !std::isdigit(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
  }
};

TEST_F(OciValueTest, NumbersRoundTripThroughIntegersAndReals) {
  for (long long v :
       {0LL, 1LL, -1LL, 99LL, 100LL, -12345LL, 2147483647LL, -2147483648LL, 9007199254740993LL}) {
    OCINumber n = FromInt(v);
    long long back = 0;
    ASSERT_EQ(oci.OCINumberToInt(err, &n, sizeof back, OCI_NUMBER_SIGNED, &back), OCI_SUCCESS);
    EXPECT_EQ(back, v);
  }
  // Limits of the result type: overflow is an error, not a wrapped value.
  OCINumber big = FromInt(2147483648LL);
  int i32 = 7;
  EXPECT_EQ(oci.OCINumberToInt(err, &big, sizeof i32, OCI_NUMBER_SIGNED, &i32), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 22053);
  EXPECT_EQ(i32, 7);
  OCINumber minus = FromInt(-1);
  unsigned u32 = 0;
  EXPECT_EQ(oci.OCINumberToInt(err, &minus, sizeof u32, OCI_NUMBER_UNSIGNED, &u32), OCI_ERROR);
  unsigned short u16 = 0;
  OCINumber n65535 = FromInt(65535);
  ASSERT_EQ(oci.OCINumberToInt(err, &n65535, sizeof u16, OCI_NUMBER_UNSIGNED, &u16), OCI_SUCCESS);
  EXPECT_EQ(u16, 65535);
  // Fractions round half away from zero.
  OCINumber half = FromText("-2.5");
  ASSERT_EQ(oci.OCINumberToInt(err, &half, sizeof i32, OCI_NUMBER_SIGNED, &i32), OCI_SUCCESS);
  EXPECT_EQ(i32, -3);

  for (double d : {0.0, 0.1, -1.5, 1e-30, 123456.789, 6.02214076e23}) {
    OCINumber n{};
    ASSERT_EQ(oci.OCINumberFromReal(err, &d, sizeof d, &n), OCI_SUCCESS);
    double back = 0;
    ASSERT_EQ(oci.OCINumberToReal(err, &n, sizeof back, &back), OCI_SUCCESS);
    EXPECT_DOUBLE_EQ(back, d);
  }
  float f = 0;
  OCINumber q = FromText("0.25");
  ASSERT_EQ(oci.OCINumberToReal(err, &q, sizeof f, &f), OCI_SUCCESS);
  EXPECT_EQ(f, 0.25f);
  EXPECT_EQ(oci.OCINumberToReal(err, &q, 3, &f), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 21560);
}

TEST_F(OciValueTest, NumberTextFollowsTheFormatModel) {
  EXPECT_EQ(AttributeText(FromText("123.45")), "123.45");
  EXPECT_EQ(AttributeText(FromText("100")), "100");
  EXPECT_EQ(AttributeText(FromText("-7")), "-7");
  EXPECT_EQ(AttributeText(FromText("0.5")), ".5");
  EXPECT_EQ(AttributeText(FromText("-0.001")), "-.001");
  EXPECT_EQ(AttributeText(FromText("0")), "0");
  EXPECT_EQ(AttributeText(FromText("12345678901234567890.123456789")), "12345678901234567890.123456789");

  OCINumber n = FromText("1.5");
  EXPECT_EQ(ToText(n, "FM999D999"), "1.5");
  EXPECT_EQ(ToText(n, "999D999"), "   1.500");  // blank sign position and padding without FM
  EXPECT_EQ(ToText(n, "FM9"), "2");             // rounded half away from zero
  EXPECT_EQ(ToText(FromText("-1.5"), "FM9"), "-2");
  EXPECT_EQ(ToText(FromText("1"), "FM999D99"), "1.");
  EXPECT_EQ(ToText(FromText("0"), "FM999D99"), "0.");
  EXPECT_EQ(ToText(FromText("0.996"), "FM9D99"), "1.");
  EXPECT_EQ(ToText(FromText("7"), "FM000"), "007");
  EXPECT_EQ(ToText(FromText("1000"), "999"), "####");  // too many digits for the model
  EXPECT_EQ(ToText(FromText("1000"), "FM999"), "####");
  EXPECT_EQ(ToText(n, "FM99X9"), "error 1481");

  // The buffer must take the whole text.
  text small[3] = {};
  ub4 size = sizeof small;
  OCINumber big = FromText("12345");
  EXPECT_EQ(oci.OCINumberToText(err, &big, T("FM99999"), 7, nullptr, 0, &size, small), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 22065);

  OCINumber out{};
  EXPECT_EQ(oci.OCINumberFromText(err, T("12abc"), 5, nullptr, 0, nullptr, 0, &out), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 1722);
  EXPECT_EQ(oci.OCINumberFromText(err, T("  "), 2, nullptr, 0, nullptr, 0, &out), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 1722);
  // An uninitialised number is refused, not read.
  OCINumber zeroed{};
  long long v = 0;
  EXPECT_EQ(oci.OCINumberToInt(err, &zeroed, sizeof v, OCI_NUMBER_SIGNED, &v), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 22060);
}

TEST_F(OciValueTest, StringsAndRawsAreAllocatedAndReassigned) {
  OCIString* s = nullptr;
  ASSERT_EQ(oci.OCIStringAssignText(env, err, T("hello"), 5, &s), OCI_SUCCESS);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(reinterpret_cast<char*>(oci.OCIStringPtr(env, s)), "hello");
  EXPECT_EQ(oci.OCIStringSize(env, s), 5u);
  OCIString* same = s;
  ASSERT_EQ(oci.OCIStringAssignText(env, err, T("a\0b"), 3, &s), OCI_SUCCESS);
  EXPECT_EQ(s, same);  // the existing string takes the new text
  EXPECT_EQ(oci.OCIStringSize(env, s), 3u);
  EXPECT_EQ(oci.OCIStringPtr(env, reinterpret_cast<OCIString*>(&same)), nullptr);
  EXPECT_EQ(oci.OCIObjectFree(env, err, s, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIStringPtr(env, s), nullptr);  // freed: no longer a string of the cache

  OCIRaw* r = nullptr;
  const ub1 bytes[] = {0, 1, 0xFF};
  ASSERT_EQ(oci.OCIRawAssignBytes(env, err, bytes, 3, &r), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIRawSize(env, r), 3u);
  EXPECT_EQ(std::memcmp(oci.OCIRawPtr(env, r), bytes, 3), 0);
  int notRaw = 0;
  OCIRaw* bogus = reinterpret_cast<OCIRaw*>(&notRaw);
  EXPECT_EQ(oci.OCIRawAssignBytes(env, err, bytes, 3, &bogus), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 21560);
  EXPECT_EQ(oci.OCIRawAssignBytes(nullptr, err, bytes, 3, &r), OCI_INVALID_HANDLE);
}

TEST_F(OciValueTest, RefsRoundTripThroughHex) {
  OCIRef* ref = nullptr;
  ASSERT_EQ(oci.OCIObjectNew(env, err, nullptr, OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION,
                             TRUE, reinterpret_cast<dvoid**>(&ref)),
            OCI_SUCCESS);
  EXPECT_TRUE(oci.OCIRefIsNull(env, ref));
  EXPECT_EQ(oci.OCIRefHexSize(env, ref), 0u);

  const char* hex = "01A0B1C2D3E4F5";
  ASSERT_EQ(oci.OCIRefFromHex(env, err, nullptr, T(hex), 14, &ref), OCI_SUCCESS);
  EXPECT_FALSE(oci.OCIRefIsNull(env, ref));
  ASSERT_EQ(oci.OCIRefHexSize(env, ref), 14u);
  text buf[64] = {};
  ub4 len = sizeof buf;
  ASSERT_EQ(oci.OCIRefToHex(env, err, ref, buf, &len), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), len), hex);
  ub4 tooShort = 10;
  EXPECT_EQ(oci.OCIRefToHex(env, err, ref, buf, &tooShort), OCI_ERROR);

  OCIRef* copy = nullptr;
  ASSERT_EQ(oci.OCIRefAssign(env, err, ref, &copy), OCI_SUCCESS);
  ASSERT_NE(copy, ref);
  len = sizeof buf;
  ASSERT_EQ(oci.OCIRefToHex(env, err, copy, buf, &len), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), len), hex);
  oci.OCIRefClear(env, copy);
  EXPECT_TRUE(oci.OCIRefIsNull(env, copy));
  EXPECT_FALSE(oci.OCIRefIsNull(env, ref));

  for (const char* bad : {"01A", "01ZZ", "09AB", "01"}) {
    EXPECT_EQ(oci.OCIRefFromHex(env, err, nullptr, T(bad), static_cast<ub4>(std::strlen(bad)), &copy),
              OCI_ERROR)
        << bad;
    EXPECT_EQ(ErrorOf(oci, err).first, 1465);
  }
  EXPECT_EQ(oci.OCIObjectFree(env, err, ref, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIObjectFree(env, err, copy, 0), OCI_SUCCESS);
}

TEST_F(OciValueTest, BadHandlesAndForeignAddresses) {
  void* p = nullptr;
  EXPECT_EQ(oci.OCIObjectNew(nullptr, err, nullptr, OCI_TYPECODE_REF, nullptr, nullptr, 10, TRUE, &p),
            OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCIObjectNew(env, nullptr, nullptr, OCI_TYPECODE_REF, nullptr, nullptr, 10, TRUE, &p),
            OCI_INVALID_HANDLE);
  EXPECT_EQ(oci.OCINumberToInt(nullptr, nullptr, 4, OCI_NUMBER_SIGNED, &p), OCI_INVALID_HANDLE);
  // Addresses the cache never handed out are refused with an error, never read.
  char notAnObject[64] = {};
  dvoid* ind = nullptr;
  EXPECT_EQ(oci.OCIObjectGetInd(env, err, notAnObject, &ind), OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 21710);
  EXPECT_EQ(oci.OCIObjectFree(env, err, notAnObject, 0), OCI_ERROR);
  EXPECT_EQ(oci.OCIObjectMarkUpdate(env, err, notAnObject), OCI_ERROR);
  EXPECT_EQ(oci.OCIObjectFlush(env, err, notAnObject), OCI_ERROR);
  sb4 size = 0;
  EXPECT_EQ(oci.OCICollSize(env, err, reinterpret_cast<OCIColl*>(notAnObject), &size), OCI_ERROR);
  EXPECT_EQ(oci.OCICollMax(env, reinterpret_cast<OCIColl*>(notAnObject)), 0);
  EXPECT_EQ(oci.OCIObjectNew(env, err, nullptr, OCI_TYPECODE_OBJECT, nullptr, nullptr, 10, TRUE, &p),
            OCI_ERROR);
  EXPECT_EQ(ErrorOf(oci, err).first, 21560);
  EXPECT_EQ(oci.OCIObjectNew(env, err, nullptr, 9999, nullptr, nullptr, 10, TRUE, &p), OCI_ERROR);
  OCIRef* ref = nullptr;
  ASSERT_EQ(oci.OCIObjectNew(env, err, nullptr, OCI_TYPECODE_REF, nullptr, nullptr, 10, TRUE,
                             reinterpret_cast<dvoid**>(&ref)),
            OCI_SUCCESS);
  EXPECT_EQ(oci.OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &p),
            OCI_ERROR);  // null REF
  // Describe needs a describe handle and a service context.
  EXPECT_EQ(
      oci.OCIDescribeAny(nullptr, err, const_cast<char*>("X"), 1, OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, nullptr),
      OCI_INVALID_HANDLE);
}

}  // namespace
