#include <gtest/gtest.h>

#include "platform/rtl/Variants.h"
#include "rtl/MessageOf.h"

namespace {

class VariantTest : public ::testing::Test {
 protected:
  TFormatSettingsGuard english_{EnglishFormatSettings()};
};

}  // namespace

TEST_F(VariantTest, KindsFromConstructors) {
  EXPECT_EQ(VarType(TVariant()), varEmpty);
  EXPECT_EQ(VarType(Null()), varNull);
  EXPECT_EQ(VarType(TVariant(true)), varBoolean);
  EXPECT_EQ(VarType(TVariant(short(1))), varSmallint);
  EXPECT_EQ(VarType(TVariant(1)), varInteger);
  EXPECT_EQ(VarType(TVariant((signed char)1)), varShortInt);
  EXPECT_EQ(VarType(TVariant((unsigned char)1)), varByte);
  EXPECT_EQ(VarType(TVariant((unsigned short)1)), varWord);
  EXPECT_EQ(VarType(TVariant(1u)), varLongWord);
  EXPECT_EQ(VarType(TVariant(int64_t(1))), varInt64);
  EXPECT_EQ(VarType(TVariant(1.0f)), varSingle);
  EXPECT_EQ(VarType(TVariant(1.0)), varDouble);
  EXPECT_EQ(VarType(TVariant(Currency(1))), varCurrency);
  EXPECT_EQ(VarType(TVariant::FromDate(1.0)), varDate);
  EXPECT_EQ(VarType(TVariant("s")), varString);
  EXPECT_EQ(VarType(TVariant(std::string("s"))), varString);
  EXPECT_EQ(VarType(VarAsType(TVariant("s"), varOleStr)), varOleStr);
  EXPECT_THROW(TVariant(uint64_t(UINT64_MAX)), ERangeError);
  int object = 0;
  TVariant ref = TVariant::FromObject(&object);
  EXPECT_EQ(VarType(ref), varObject);
  EXPECT_EQ(ref.AsObject<int>(), &object);
  EXPECT_EQ(ref.AsInt64(), reinterpret_cast<intptr_t>(&object));
}

TEST_F(VariantTest, Predicates) {
  EXPECT_TRUE(VarIsNull(Null()));
  EXPECT_FALSE(VarIsNull(TVariant()));
  EXPECT_TRUE(VarIsEmpty(Unassigned()));
  EXPECT_TRUE(VarIsStr(TVariant("x")));
  EXPECT_TRUE(VarIsNumeric(TVariant(1)));
  EXPECT_TRUE(VarIsNumeric(TVariant(true)));
  EXPECT_TRUE(VarIsNumeric(TVariant(Currency(1))));
  EXPECT_FALSE(VarIsNumeric(TVariant::FromDate(1)));
  EXPECT_FALSE(VarIsNumeric(TVariant("1")));
  EXPECT_TRUE(VarIsArray(VarArrayOf({1, 2})));
  EXPECT_FALSE(VarIsArray(TVariant(1)));
}

TEST_F(VariantTest, CopyMoveAndReassignAcrossKinds) {
  TVariant a("a long enough string to leave the small buffer");
  TVariant b = a;
  EXPECT_EQ(b.AsString(), a.AsString());
  TVariant c = std::move(b);
  EXPECT_EQ(c.AsString(), a.AsString());
  c = 5;
  EXPECT_EQ(VarType(c), varInteger);
  c = VarArrayOf({"x", 2});
  TVariant d = c;
  d.SetElement(0, "changed");
  EXPECT_EQ(c.GetElement(0).AsString(), "x");  // arrays copy by value
  TVariant& alias = c;
  c = alias;
  EXPECT_EQ(c.GetElement(1).AsInteger(), 2);
  c = std::string("s");
  c = Null();
  EXPECT_TRUE(c.IsNull());
}

TEST_F(VariantTest, NumericConversions) {
  EXPECT_EQ(TVariant(2.5).AsInteger(), 2);  // half to even
  EXPECT_EQ(TVariant(3.5).AsInteger(), 4);
  EXPECT_EQ(TVariant(-2.6).AsInteger(), -3);
  EXPECT_EQ(TVariant(true).AsInteger(), -1);
  EXPECT_EQ(TVariant().AsInteger(), 0);
  EXPECT_EQ(TVariant(" 42").AsInteger(), 42);
  EXPECT_EQ(TVariant("2.5").AsInteger(), 2);
  EXPECT_EQ(TVariant(Currency::FromScaled(25000)).AsInteger(), 2);
  EXPECT_EQ(TVariant(Currency::FromScaled(35000)).AsInteger(), 4);
  EXPECT_EQ(TVariant(int64_t(5000000000LL)).AsInt64(), 5000000000LL);
  EXPECT_DOUBLE_EQ(TVariant("1.25").AsDouble(), 1.25);
  EXPECT_DOUBLE_EQ(TVariant(7).AsDouble(), 7);
  EXPECT_EQ(TVariant(1.23456).AsCurrency().Scaled(), 12346);
  EXPECT_EQ(TVariant("12.5").AsCurrency().Scaled(), 125000);
  TFormatSettingsGuard ru(RussianFormatSettings());
  EXPECT_DOUBLE_EQ(TVariant("1,25").AsDouble(), 1.25);
}

TEST_F(VariantTest, ImpossibleConversionsRaiseVariantErrors) {
  EXPECT_EQ(MessageOf<EVariantError>([] { Null().AsInteger(); }),
            "Could not convert variant of type (Null) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Null().AsDouble(); }),
            "Could not convert variant of type (Null) into type (Double)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Null().AsString(); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant("abc").AsInteger(); }),
            "Could not convert variant of type (String) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant("abc").AsDouble(); }),
            "Could not convert variant of type (String) into type (Double)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant("maybe").AsBoolean(); }),
            "Could not convert variant of type (String) into type (Boolean)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant("31.31.31").AsDateTime(); }),
            "Could not convert variant of type (String) into type (Date)");
  EXPECT_EQ(MessageOf<EVariantError>([] { VarArrayOf({1}).AsInteger(); }),
            "Could not convert variant of type (Array Variant) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant(3e9).AsInteger(); }),
            "Overflow while converting variant of type (Double) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { TVariant(int64_t(1) << 40).AsInteger(); }),
            "Overflow while converting variant of type (Int64) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { VarAsType(TVariant(300), varByte); }),
            "Overflow while converting variant of type (Integer) into type (Byte)");
  EXPECT_EQ(MessageOf<EVariantError>([] { VarAsType(Null(), varInteger); }),
            "Could not convert variant of type (Null) into type (Integer)");
}

TEST_F(VariantTest, StringsBooleansAndDates) {
  EXPECT_EQ(VarToStr(Null()), "");
  EXPECT_EQ(VarToStrDef(Null(), "n/a"), "n/a");
  EXPECT_EQ(VarToStrDef(TVariant(), "n/a"), "");
  EXPECT_EQ(VarToStr(TVariant(true)), "True");
  EXPECT_EQ(VarToStr(TVariant(1.5)), "1.5");
  EXPECT_EQ(VarToStr(TVariant(1.1f)), "1.1");
  EXPECT_EQ(VarToStr(TVariant(Currency::FromScaled(15000))), "1.5");
  EXPECT_EQ(VarToStr(TVariant(-7)), "-7");
  EXPECT_EQ(VarToStr(TVariant::FromDate(EncodeDateTime(2026, 3, 7, 14, 5, 9, 0))), "3/7/2026 2:05:09 PM");
  EXPECT_TRUE(TVariant("TRUE").AsBoolean());
  EXPECT_FALSE(TVariant("false").AsBoolean());
  EXPECT_TRUE(TVariant("-1").AsBoolean());
  EXPECT_TRUE(TVariant(0.5).AsBoolean());
  EXPECT_FALSE(TVariant().AsBoolean());
  TFormatSettingsGuard ru(RussianFormatSettings());
  TVariant date("06.12.2026 21:30");
  EXPECT_DOUBLE_EQ(date.AsDateTime(), EncodeDateTime(2026, 12, 6, 21, 30, 0, 0));
  EXPECT_EQ(VarType(VarAsType(date, varDate)), varDate);
  EXPECT_EQ(VarAsType(TVariant::FromDate(EncodeDate(2026, 12, 6)), varString).AsString(), "06.12.2026");
  EXPECT_EQ(VarToStr(TVariant(1.5)), "1,5");
}

TEST_F(VariantTest, VarAsTypeToEveryScalarKind) {
  TVariant v("12");
  for (TVarType t : {varSmallint, varInteger, varShortInt, varByte, varWord, varLongWord, varInt64, varSingle,
                     varDouble, varCurrency, varString, varOleStr}) {
    TVariant r = VarAsType(v, t);
    EXPECT_EQ(VarType(r), t);
    EXPECT_EQ(r.AsInteger(), 12) << VarTypeAsText(t);
  }
  EXPECT_EQ(VarType(VarAsType(v, varBoolean)), varBoolean);
  EXPECT_TRUE(VarAsType(TVariant(5), varNull).IsNull());
  EXPECT_THROW(VarAsType(v, 0x0FFF), EVariantError);
}

TEST_F(VariantTest, ArraysWithArbitraryLowBound) {
  TVariant a = VarArrayCreate({5, 7}, varVariant);
  EXPECT_EQ(VarType(a), varArray | varVariant);
  EXPECT_EQ(VarArrayDimCount(a), 1);
  EXPECT_EQ(VarArrayLowBound(a, 1), 5);
  EXPECT_EQ(VarArrayHighBound(a, 1), 7);
  EXPECT_TRUE(VarIsEmpty(VarArrayGet(a, {6})));
  VarArrayPut(a, "six", {6});
  EXPECT_EQ(VarArrayGet(a, {6}).AsString(), "six");
  EXPECT_EQ(MessageOf<EVariantError>([&] { a.GetElement(4); }), "Variant or safe array index out of bounds");
  EXPECT_EQ(MessageOf<EVariantError>([&] { a.SetElement(8, 1); }),
            "Variant or safe array index out of bounds");
  EXPECT_THROW(VarArrayLowBound(a, 2), EVariantError);
  VarArrayRedim(a, 9);
  EXPECT_EQ(a.HighBound(), 9);
  EXPECT_EQ(VarArrayGet(a, {6}).AsString(), "six");

  TVariant bytes = VarArrayCreate({0, 2}, varByte);
  EXPECT_EQ(VarType(bytes), varArray | varByte);
  bytes.SetElement(0, 255);
  bytes.SetElement(1, "7");
  EXPECT_EQ(VarType(bytes.GetElement(0)), varByte);
  EXPECT_EQ(bytes.GetElement(0).AsInteger(), 255);
  EXPECT_EQ(bytes.Bytes(), std::string("\xFF\x07\x00", 3));
  EXPECT_THROW(bytes.SetElement(2, 256), EVariantError);
  bytes.Bytes() = "abcd";
  EXPECT_EQ(bytes.HighBound(), 3);

  TVariant empty = VarArrayCreate({0, -1}, varVariant);
  EXPECT_EQ(empty.ElementCount(), 0);
  EXPECT_THROW(VarArrayCreate({3, 1}, varVariant), EVariantError);
  EXPECT_THROW(VarArrayCreate({0, 1, 0, 1}, varVariant), EVariantError);
  EXPECT_THROW(TVariant(1).LowBound(), EVariantError);

  TVariant of = VarArrayOf({1, "two", Null()});
  EXPECT_EQ(of.LowBound(), 0);
  EXPECT_EQ(of.HighBound(), 2);
  EXPECT_TRUE(of.GetElement(2).IsNull());

  TVariant typed = VarArrayCreate({1, 2}, varInteger);
  EXPECT_EQ(VarType(typed.GetElement(1)), varInteger);
  typed.SetElement(2, "5");
  EXPECT_EQ(VarType(typed.GetElement(2)), varInteger);
}

TEST_F(VariantTest, ComparisonRules) {
  EXPECT_TRUE(TVariant(1) == TVariant(1.0));
  EXPECT_TRUE(TVariant(int64_t(5000000000LL)) > TVariant(1));
  EXPECT_TRUE(TVariant(2) < TVariant(2.5));
  EXPECT_TRUE(TVariant("abc") < TVariant("abd"));
  EXPECT_TRUE(TVariant("abc") != TVariant("ABC"));  // strings compare with case
  EXPECT_TRUE(TVariant("10") == TVariant(10));      // the string is converted
  EXPECT_TRUE(TVariant("9") < TVariant(10));        // numerically, not as text
  EXPECT_TRUE(TVariant("9") > TVariant("10"));      // two strings compare as text
  EXPECT_TRUE(TVariant(Currency::FromScaled(15000)) == TVariant(1.5));
  EXPECT_TRUE(TVariant::FromDate(EncodeDate(2026, 1, 1)) < TVariant::FromDate(EncodeDate(2026, 1, 2)));
  EXPECT_TRUE(TVariant(true) == TVariant(true));
  EXPECT_TRUE(TVariant(false) < TVariant(true));
  // Null equals only Null and sorts first; Unassigned reads as the other side's zero.
  EXPECT_TRUE(Null() == Null());
  EXPECT_FALSE(Null() == TVariant(0));
  EXPECT_TRUE(Null() < TVariant(-100));
  EXPECT_FALSE(Null() == TVariant());
  EXPECT_TRUE(TVariant() == TVariant());
  EXPECT_TRUE(TVariant() == TVariant(0));
  EXPECT_TRUE(TVariant() == TVariant(""));
  EXPECT_TRUE(TVariant() < TVariant(1));
  EXPECT_EQ(MessageOf<EVariantError>([] { (void)(TVariant("abc") == TVariant(1)); }),
            "Could not convert variant of type (String) into type (Double)");
  EXPECT_EQ(MessageOf<EVariantError>([] { (void)(VarArrayOf({1}) == TVariant(1)); }),
            "Invalid variant operation");
  TFormatSettingsGuard ru(RussianFormatSettings());
  EXPECT_TRUE(TVariant("06.12.2026") == TVariant::FromDate(EncodeDate(2026, 12, 6)));
  EXPECT_TRUE(TVariant("1,5") == TVariant(1.5));
}

TEST_F(VariantTest, Arithmetic) {
  EXPECT_EQ(VarType(TVariant(2) + TVariant(3)), varInteger);
  EXPECT_EQ((TVariant(2) + TVariant(3)).AsInteger(), 5);
  EXPECT_EQ(VarType(TVariant(INT32_MAX) + TVariant(1)), varInt64);
  EXPECT_EQ((TVariant(INT32_MAX) + TVariant(1)).AsInt64(), 2147483648LL);
  EXPECT_EQ(VarType(TVariant(INT64_MAX) + TVariant(1)), varDouble);
  EXPECT_DOUBLE_EQ((TVariant(1) + TVariant(0.5)).AsDouble(), 1.5);
  EXPECT_EQ((TVariant("ab") + TVariant("cd")).AsString(), "abcd");
  EXPECT_EQ((TVariant("2") + TVariant(3)).AsInteger(), 5);
  EXPECT_TRUE((Null() + TVariant(1)).IsNull());
  EXPECT_EQ((TVariant() + TVariant(4)).AsInteger(), 4);
  EXPECT_DOUBLE_EQ((TVariant(7) / TVariant(2)).AsDouble(), 3.5);
  EXPECT_THROW(TVariant(1) / TVariant(0), EZeroDivide);
  EXPECT_EQ(VarType(TVariant(Currency(1)) * TVariant(3)), varCurrency);
  EXPECT_EQ((TVariant(Currency(1)) * TVariant(3)).AsCurrency().Scaled(), 30000);
  TVariant day = TVariant::FromDate(EncodeDate(2026, 12, 6)) + TVariant(1);
  EXPECT_EQ(VarType(day), varDate);
  EXPECT_DOUBLE_EQ(day.AsDateTime(), EncodeDate(2026, 12, 7));
  EXPECT_EQ(VarType(day - TVariant::FromDate(EncodeDate(2026, 12, 6))), varDouble);
  EXPECT_EQ((-TVariant(5)).AsInteger(), -5);
  EXPECT_TRUE((-Null()).IsNull());
  EXPECT_THROW(VarArrayOf({1}) + TVariant(1), EVariantError);
}
