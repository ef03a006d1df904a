// Variables without a server: declaring, storing and reading values, arrays and PL/SQL tables, and
// the "Data" stream in which a query's variables are stored with its form.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "oracle/OracleQuery.h"
#include "platform/db/DB.h"

namespace {

std::string Raised(const std::function<void()>& F) {
  try {
    F();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::string Int32(int32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

std::string StreamBytes(TVariables* Variables) {
  TMemoryStream m;
  Variables->WriteData(&m);
  std::string s(static_cast<size_t>(m.Size()), '\0');
  m.SetPosition(0);
  m.ReadBuffer(s.data(), m.Size());
  return s;
}

void Load(TOracleQuery& Query, const std::string& Bytes) {
  TMemoryStream m;
  m.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  m.SetPosition(0);
  Query.Variables()->ReadData(&m);
}

TEST(OracleVariables, DeclaringNormalisesNamesAndChecksTypes) {
  TOracleQuery q(nullptr);
  q.DeclareVariable("a", otString);
  q.DeclareVariable(":B", otInteger);
  q.DeclareVariable("c", otDate);
  EXPECT_EQ(q.VariableCount(), 3);
  EXPECT_EQ(q.VariableName(0), ":A");
  EXPECT_EQ(q.VariableIndex("b"), 1);
  EXPECT_EQ(q.VariableIndex(":C"), 2);
  // A second declaration replaces the first in its place.
  q.DeclareVariable("A", otFloat);
  EXPECT_EQ(q.VariableType(0), otFloat);
  EXPECT_EQ(q.VariableCount(), 3);
  EXPECT_TRUE(q.GetVariable("a").IsEmpty());

  EXPECT_EQ(Raised([&] { q.DeclareVariable("", otString); }),
            "You cannot declare a variable with an empty name");
  EXPECT_EQ(Raised([&] { q.DeclareVariable("x", 2); }), "Unsupported variable type");
  EXPECT_EQ(Raised([&] { q.SetVariable("zz", 1); }), "Variable zz not declared");
  EXPECT_EQ(Raised([&] { q.GetVariable("zz"); }), "Unknown variable: zz");
  EXPECT_EQ(Raised([&] { q.DeleteVariable("zz"); }), "Variable zz not declared");
  EXPECT_EQ(Raised([&] { q.VariableName(3); }), "Variable 3 does not exist");
  EXPECT_EQ(Raised([&] { q.VariableType(-1); }), "Variable -1 does not exist");
  EXPECT_EQ(Raised([&] { q.SetComplexVariable("a", nullptr); }), ":A is not a complex variable");
  q.DeclareVariable("cur", otCursor);
  TOracleQuery other(nullptr);
  q.SetComplexVariable("cur", &other);
  EXPECT_EQ(q.GetVariable("cur").AsObject(), &other);
  TStringList notAQuery;
  EXPECT_EQ(Raised([&] { q.SetComplexVariable("cur", &notAQuery); }),
            "Assign TOracleQuery instance to variable :CUR");
  EXPECT_EQ(Raised([&] { q.SetVariable("cur", VarArrayOf({1})); }),
            ":CUR is a complex variable and cannot be an array");
  EXPECT_EQ(Raised([&] { q.SetVariable("cur", "text"); }), "Pass LongInt(Object) to complex variable :CUR");
  q.DeleteVariable("b");
  EXPECT_EQ(q.VariableCount(), 3);
  q.DeleteVariables();
  EXPECT_EQ(q.VariableCount(), 0);
}

TEST(OracleVariables, ValuesAreStoredAsTheClientReadsThem) {
  TOracleQuery q(nullptr);
  q.DeclareVariable("s", otString);
  q.DeclareVariable("p", otPLSQLString);
  q.DeclareVariable("d", otDate);
  q.DeclareVariable("i", otInteger);
  q.DeclareVariable("raw", otLongRaw);
  q.DeclareVariable("lng", otLong);
  q.SetVariable("s", std::string(5000, 'x'));
  EXPECT_EQ(q.GetVariable("s").AsString().size(), 4000u);
  q.SetVariable("p", std::string(40000, 'y'));
  EXPECT_EQ(q.GetVariable("p").AsString().size(), 32512u);
  // Without a session CR characters are dropped going out and line breaks made CR LF coming back.
  q.SetVariable("lng", std::string("a\r\nb"));
  TVariableData* lng = q.Variables()->Items(5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(lng->buffer), lng->dataLength), "a\nb");
  EXPECT_EQ(lng->elementSize, 3) << "a LONG is bound with the length of its value";
  EXPECT_EQ(q.GetVariable("lng").AsString(), "a\r\nb");
  // A zero date is null.
  q.SetVariable("d", TVariant::FromDate(0));
  EXPECT_TRUE(q.GetVariable("d").IsEmpty());
  q.SetVariable("d", TVariant::FromDate(EncodeDate(1999, 12, 31)));
  EXPECT_DOUBLE_EQ(q.GetVariable("d").AsDateTime(), EncodeDate(1999, 12, 31));
  q.SetVariable("i", 12);
  EXPECT_EQ(q.GetVariable("i").AsInteger(), 12);
  q.SetVariable("i", TVariant());
  EXPECT_TRUE(q.GetVariable("i").IsEmpty());
  // Bytes for LONG RAW.
  TVariant bytes = VarArrayCreate({0, 2}, varByte);
  bytes.Bytes() = std::string("\x01\x00\x02", 3);
  q.SetVariable("raw", bytes);
  TVariant back = q.GetVariable("raw");
  EXPECT_EQ(back.Bytes(), std::string("\x01\x00\x02", 3));
  EXPECT_EQ(Raised([&] { q.SetVariable("raw", 3.5); }),
            "Only one-dimensional array of bytes allowed for :RAW");
  // Arrays keep their low bound.
  q.SetVariable("i", VarArrayOf({1, TVariant(), 3}));
  TVariant a = q.GetVariable("i");
  ASSERT_TRUE(a.IsArray());
  EXPECT_EQ(a.LowBound(), 0);
  EXPECT_EQ(a.HighBound(), 2);
  EXPECT_TRUE(a.GetElement(1).IsEmpty());
  EXPECT_EQ(a.GetElement(2).AsInteger(), 3);
  TVariant shifted = VarArrayCreate({5, 6}, varVariant);
  shifted.SetElement(5, 50);
  shifted.SetElement(6, 60);
  q.SetVariable("i", shifted);
  EXPECT_EQ(q.GetVariable("i").LowBound(), 5);
  EXPECT_EQ(VariableDisplayText(q.Variables()->Items(3), &q), "(Array)");
  EXPECT_EQ(VariableDisplayText(q.Variables()->Items(4), &q), "(Long Raw)");
  q.SetVariable("s", TVariant());
  EXPECT_EQ(VariableDisplayText(q.Variables()->Items(0), &q), "Null");
  q.SetVariable("s", "v");
  EXPECT_EQ(VariableDisplayText(q.Variables()->Items(0), &q), "v");
}

TEST(OracleVariables, PLSQLTablesAreDimensionedAndFilled) {
  TOracleQuery q(nullptr);
  q.DeclareVariable("t", otString);
  q.DeclareVariable("n", otInteger);
  q.DeclareVariable("l", otLong);
  EXPECT_EQ(Raised([&] { q.DimPLSQLTable("x", 5, 0); }), "Variable x not declared");
  EXPECT_EQ(Raised([&] { q.DimPLSQLTable("l", 5, 0); }),
            "Only PL/SQL Tables of strings, integers, floats and dates supported");
  EXPECT_EQ(Raised([&] { q.DimPLSQLTable("t", 5, 0); }),
            "You must specify a string size for a PL/SQL Table of strings");
  EXPECT_EQ(Raised([&] { q.DimPLSQLTable("n", 5, 10); }),
            "You can only specify a string size for a PL/SQL Table of strings");
  EXPECT_EQ(Raised([&] { q.DimPLSQLTable("n", 0, 0); }), "You must specify the size of the PL/SQL Table");
  q.DimPLSQLTable("t", 3, 10);
  EXPECT_EQ(q.Variables()->Items(0)->elementSize, 11);
  EXPECT_TRUE(q.GetVariable("t").IsEmpty());
  q.SetVariable("t", VarArrayOf({"a", "b"}));
  EXPECT_EQ(q.GetVariable("t").ElementCount(), 2);
  EXPECT_EQ(Raised([&] {
              q.SetVariable("t", VarArrayOf({"a", "b", "c", "d"}));
            }),
            "Array is larger than PL/SQL Table (4 > 3)");
  EXPECT_EQ(Raised([&] { q.SetVariable("t", "a"); }), ":T is a PL/SQL Table, assign a variant array to it");
  EXPECT_EQ(VariableDisplayText(q.Variables()->Items(0), &q), "(PL/SQL Table)");
  // The same dimensions keep the values, other ones empty them.
  q.DimPLSQLTable("t", 3, 10);
  EXPECT_EQ(q.GetVariable("t").GetElement(1).AsString(), "b");
  q.DimPLSQLTable("t", 3, 20);
  EXPECT_TRUE(q.GetVariable("t").IsEmpty());
  q.SetVariable("t", TVariant());
  EXPECT_TRUE(q.GetVariable("t").IsEmpty());
}

TEST(OracleVariables, DataStreamRoundTrip) {
  TOracleQuery q(nullptr);
  q.DeclareVariable("s", otString);
  q.DeclareVariable("i", otInteger);
  q.DeclareVariable("f", otFloat);
  q.DeclareVariable("d", otDate);
  q.DeclareVariable("sub", otSubst);
  q.DeclareVariable("empty", otString);
  q.DeclareVariable("tab", otInteger);
  q.DeclareVariable("names", otString);
  q.SetVariable("s", "hello");
  q.SetVariable("i", -7);
  q.SetVariable("f", 0.25);
  q.SetVariable("d", TVariant::FromDate(EncodeDateTime(2001, 2, 3, 4, 5, 6, 0)));
  q.SetVariable("sub", "emp");
  q.DimPLSQLTable("tab", 10, 0);
  q.DimPLSQLTable("names", 4, 30);
  std::string bytes = StreamBytes(q.Variables());
  // version 3, 8 variables, then ":S" with type 5 and "hello" + NUL
  EXPECT_EQ(bytes.substr(0, 8), Int32(3) + Int32(8));
  EXPECT_EQ(bytes.substr(8, 4 + 2 + 4 + 4 + 6 + 4),
            Int32(2) + ":S" + Int32(5) + Int32(6) + std::string("hello\0", 6) + Int32(0));

  TOracleQuery r(nullptr);
  r.DeclareVariable("stale", otString);
  Load(r, bytes);
  ASSERT_EQ(r.VariableCount(), 8);
  EXPECT_EQ(r.GetVariable("s").AsString(), "hello");
  EXPECT_EQ(r.GetVariable("i").AsInteger(), -7);
  EXPECT_DOUBLE_EQ(r.GetVariable("f").AsDouble(), 0.25);
  EXPECT_DOUBLE_EQ(r.GetVariable("d").AsDateTime(), EncodeDateTime(2001, 2, 3, 4, 5, 6, 0));
  EXPECT_EQ(r.FinalSQL(), "");
  r.SQL()->SetText("select * from :sub");
  EXPECT_EQ(r.FinalSQL(), "select * from emp");
  EXPECT_TRUE(r.GetVariable("empty").IsEmpty());
  EXPECT_TRUE(r.Variables()->Items(6)->isPLSQLTable);
  EXPECT_EQ(r.Variables()->Items(6)->elementCount, 10);
  EXPECT_EQ(r.Variables()->Items(7)->elementSize, 31);
  EXPECT_FALSE(r.Variables()->Differs(q.Variables()));
  EXPECT_EQ(StreamBytes(r.Variables()), bytes);
  r.SetVariable("i", -8);
  EXPECT_TRUE(r.Variables()->Differs(q.Variables()));

  // Through the filer: the property is written when there are variables, and assigning copies.
  TMemoryStream m;
  {
    TWriter w(&m);
    w.WriteProperties(q.Variables());
  }
  EXPECT_GT(m.Size(), static_cast<int64_t>(bytes.size()));
  TOracleQuery c(nullptr);
  c.Variables()->Assign(q.Variables());
  EXPECT_FALSE(c.Variables()->Differs(q.Variables()));
  TVariables orphan(nullptr);
  EXPECT_EQ(Raised([&] { orphan.Assign(q.Variables()); }),
            "Can only Assign TVariables owned by a TOracleQuery");
}

TEST(OracleVariables, OlderStreamsLoadAndBadOnesAreRefused) {
  TOracleQuery q(nullptr);
  // Version 1: declarations only.
  Load(q, Int32(1) + Int32(1) + Int32(2) + ":X" + Int32(3));
  ASSERT_EQ(q.VariableCount(), 1);
  EXPECT_TRUE(q.GetVariable("x").IsEmpty());
  // Version 2: with values.
  Load(q, Int32(2) + Int32(1) + Int32(2) + ":X" + Int32(3) + Int32(4) + Int32(99));
  EXPECT_EQ(q.GetVariable("x").AsInteger(), 99);
  EXPECT_EQ(Raised([&] { Load(q, Int32(4) + Int32(0)); }), "Invalid version of Query variables");

  // Untrusted input: every length is checked before anything changes.
  const std::string bad[] = {
      Int32(3) + Int32(1) + Int32(1000) + ":X",                                  // name past the end
      Int32(3) + Int32(1) + Int32(2) + ":X" + Int32(3) + Int32(400) + Int32(1),  // value longer than its area
      Int32(3) + Int32(1) + Int32(2) + ":X" + Int32(3) + Int32(4),               // value missing
      Int32(3) + Int32(1) + Int32(2) + ":X" + Int32(77) + Int32(0) + Int32(0),   // unknown type
      Int32(3) + Int32(1) + Int32(2) + ":X" + Int32(3) + Int32(0) + Int32(1) + Int32(-5) +
          Int32(0),                                                            // table size
      Int32(3) + Int32(-1),                                                    // count
      Int32(3) + Int32(2) + Int32(2) + ":X" + Int32(3) + Int32(0) + Int32(0),  // second variable missing
      Int32(3) + Int32(1) + Int32(-4) + ":X",                                  // negative name length
  };
  for (const auto& b : bad) {
    EXPECT_EQ(Raised([&] { Load(q, b); }), "Corrupt data of Query variables");
    ASSERT_EQ(q.VariableCount(), 1);
    EXPECT_EQ(q.GetVariable("x").AsInteger(), 99);
  }
  // A text without its terminating NUL stays within its area.
  q.DeclareVariable("s", otString);
  std::string full(4001, 'q');
  Load(q, Int32(3) + Int32(1) + Int32(2) + ":S" + Int32(5) + Int32(4001) + full + Int32(0));
  EXPECT_EQ(q.GetVariable("s").AsString().size(), 4000u);
}

TEST(OracleVariables, ParameterListsGoBothWays) {
  TParams params;
  params.CreateParam(ftUnknown, "Num", ptInput)->SetValue(5);
  params.CreateParam(ftUnknown, "Txt", ptInput)->SetValue(std::string("abc"));
  params.CreateParam(ftUnknown, "When", ptInput)->SetValue(TVariant::FromDate(EncodeDate(2000, 1, 2)));
  params.CreateParam(ftUnknown, "Real", ptInput)->SetValue(1.5);
  TOracleQuery q(nullptr);
  q.Variables()->Assign(&params);
  ASSERT_EQ(q.VariableCount(), 4);
  EXPECT_EQ(q.VariableName(0), ":Num") << "names from a parameter list keep their case";
  EXPECT_EQ(q.VariableType(0), otInteger);
  EXPECT_EQ(q.VariableType(1), otString);
  EXPECT_EQ(q.VariableType(2), otDate);
  EXPECT_EQ(q.VariableType(3), otFloat);
  EXPECT_EQ(q.Variables()->Items(1)->elementSize, 4001);
  TParams back;
  back.Assign(q.Variables());
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Items(0)->Name(), "Num");
  EXPECT_EQ(back.Items(0)->Value().AsInteger(), 5);
  EXPECT_EQ(back.Items(1)->Value().AsString(), "abc");
  EXPECT_DOUBLE_EQ(back.Items(2)->Value().AsDateTime(), EncodeDate(2000, 1, 2));
  TParams odd;
  odd.CreateParam(ftUnknown, "X", ptInput)->SetValue(VarArrayOf({1}));
  EXPECT_EQ(Raised([&] { q.Variables()->Assign(&odd); }), "Unsupported variable type");
  EXPECT_EQ(q.VariableCount(), 0);
}

}  // namespace
