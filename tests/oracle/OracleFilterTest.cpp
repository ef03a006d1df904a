#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "oracle/FilterTestSupport.h"
#include "oracle/OracleFilter.h"
#include "platform/rtl/SysUtils.h"

using namespace filter_test;

namespace {

class Filter : public ::testing::Test {
 protected:
  Filter() : settings_(EnglishFormatSettings()) {
    record.columns = {
        {"PRNAME", Str("USER")},  {"X", Int(5)},          {"F", Flt(2.5)},       {"D", Dat(45352)},
        {"B", Bool(true)},        {"N", Null(etInteger)}, {"RU", Str("Привет")}, {"E", Str("")},
        {"MIXED CASE", Str("m")}, {"DN", Dat(-1.5)},
    };
  }

  std::unique_ptr<TExpression> Parse(const std::string& text, TFilterOptions options = {}) {
    return ParseFilterExpression(text, options, record.Resolver());
  }

  // Parse errors as "message", or "" when the text parses.
  std::string ParseError(const std::string& text, TFilterOptions options = {}) {
    try {
      Parse(text, options);
    } catch (const EExpression& e) {
      return e.Message();
    }
    return "";
  }

  Record record;

 private:
  TFormatSettingsGuard settings_;
};

std::string Evaluate(const TExpression& e, char accessor) {
  switch (accessor) {
    case 'B':
      return e.AsBoolean() ? "TRUE" : "FALSE";
    case 'I':
      return IntToStr(e.AsInteger());
    case 'F':
      return FloatToStr(e.AsFloat());
    case 'D':
      return FloatToStr(e.AsDate());
    default:
      return e.AsString();
  }
}

}  // namespace

// Each text parses to a root of the given class and type; AsString gives the value.
TEST_F(Filter, ParsesAndEvaluatesOperatorsFunctionsAndTypeRules) {
  const struct {
    const char* text;
    const char* rootClass;
    const char* type;
    const char* value;
  } rows[] = {
      // Literals.
      {"1", "TIntegerLiteral", "Integer", "1"},
      {"2147483647", "TIntegerLiteral", "Integer", "2147483647"},
      {"2147483648", "TFloatLiteral", "Float", "2147483648"},
      {"00000000000000000000000000", "TIntegerLiteral", "Integer", "0"},
      {"1.5", "TFloatLiteral", "Float", "1.5"},
      {"1.", "TFloatLiteral", "Float", "1"},
      {"1e5", "TFloatLiteral", "Float", "100000"},
      {"1E-5 * 100000", "TBinaryOp", "Float", "1"},
      {"'it''s'", "TStringLiteral", "String", "it's"},
      {"''", "TStringLiteral", "String", ""},
      {"true", "TBooleanLiteral", "Boolean", "TRUE"},
      {"FaLsE", "TBooleanLiteral", "Boolean", "FALSE"},
      // Unary operators.
      {"-5", "TUnaryOp", "Integer", "-5"},
      {"+5", "TUnaryOp", "Integer", "5"},
      {"- -5", "TUnaryOp", "Integer", "5"},
      {"-1.5", "TUnaryOp", "Float", "-1.5"},
      {"NOT 5", "TUnaryOp", "Integer", "-6"},
      {"NOT TRUE", "TUnaryOp", "Boolean", "FALSE"},
      {"not(1 = 2)", "TUnaryOp", "Boolean", "TRUE"},
      {"-(-2147483647 - 1)", "TUnaryOp", "Integer", "-2147483648"},
      // Integer arithmetic: 32 bits, wrapping; shifts by the count modulo 32.
      {"7 * 6", "TBinaryOp", "Integer", "42"},
      {"7 DIV 2", "TBinaryOp", "Integer", "3"},
      {"-7 DIV 2", "TBinaryOp", "Integer", "-3"},
      {"7 MOD 3", "TBinaryOp", "Integer", "1"},
      {"-7 mod 3", "TBinaryOp", "Integer", "-1"},
      {"12 AND 10", "TBinaryOp", "Integer", "8"},
      {"12 OR 10", "TBinaryOp", "Integer", "14"},
      {"12 XOR 10", "TBinaryOp", "Integer", "6"},
      {"1 SHL 4", "TBinaryOp", "Integer", "16"},
      {"-1 SHR 28", "TBinaryOp", "Integer", "15"},
      {"1 SHL 33", "TBinaryOp", "Integer", "2"},
      {"256 SHR 36", "TBinaryOp", "Integer", "16"},
      {"1 SHL 31", "TBinaryOp", "Integer", "-2147483648"},
      {"2147483647 + 1", "TBinaryOp", "Integer", "-2147483648"},
      {"-2147483647 - 2", "TBinaryOp", "Integer", "2147483647"},
      {"65536 * 65536", "TBinaryOp", "Integer", "0"},
      {"2147483647 * 2", "TBinaryOp", "Integer", "-2"},
      {"2 + 3 * 4", "TBinaryOp", "Integer", "14"},
      {"(2 + 3) * 4", "TBinaryOp", "Integer", "20"},
      {"10 - 2 - 3", "TBinaryOp", "Integer", "5"},
      {"TRUE + 1", "TBinaryOp", "Integer", "2"},
      {"7 / 2", "TBinaryOp", "Float", "3.5"},
      // Float arithmetic.
      {"1.5 * 2", "TBinaryOp", "Float", "3"},
      {"1.5 + 1", "TBinaryOp", "Float", "2.5"},
      {"1.5 - 2", "TBinaryOp", "Float", "-0.5"},
      {"1 / 4", "TBinaryOp", "Float", "0.25"},
      {"1 / 0", "TBinaryOp", "Float", "INF"},
      // Strings.
      {"'ab' + 'cd'", "TBinaryOp", "String", "abcd"},
      {"'a' + 1", "TBinaryOp", "String", "a1"},
      {"'a' + 1.5", "TBinaryOp", "String", "a1.5"},
      {"'x' + TRUE", "TBinaryOp", "String", "xTRUE"},
      // Booleans; AND and OR decide on the left operand when they can.
      {"TRUE AND FALSE", "TBinaryOp", "Boolean", "FALSE"},
      {"TRUE OR FALSE", "TBinaryOp", "Boolean", "TRUE"},
      {"TRUE XOR TRUE", "TBinaryOp", "Boolean", "FALSE"},
      {"(1 = 2) AND (1 DIV 0 = 1)", "TBinaryOp", "Boolean", "FALSE"},
      {"(1 = 1) OR (1 DIV 0 = 1)", "TBinaryOp", "Boolean", "TRUE"},
      // Comparisons and their common type.
      {"1 <> 1", "TRelationalOp", "Boolean", "FALSE"},
      {"1 < 1.5", "TRelationalOp", "Boolean", "TRUE"},
      {"'10' < '9'", "TRelationalOp", "Boolean", "TRUE"},
      {"'ab' < 'abc'", "TRelationalOp", "Boolean", "TRUE"},
      {"1 + 2 = 3", "TRelationalOp", "Boolean", "TRUE"},
      {"3 = 1 + 2", "TRelationalOp", "Boolean", "TRUE"},
      {"2 >= 2", "TRelationalOp", "Boolean", "TRUE"},
      {"2 <= 1", "TRelationalOp", "Boolean", "FALSE"},
      {"2 > 1", "TRelationalOp", "Boolean", "TRUE"},
      {"TRUE = FALSE", "TRelationalOp", "Boolean", "FALSE"},
      {"TRUE <> FALSE", "TRelationalOp", "Boolean", "TRUE"},
      {"'5' = 5", "TRelationalOp", "Boolean", "TRUE"},
      {"'Z' > 'Я'", "TRelationalOp", "Boolean", "FALSE"},
      // Dates.
      {"d", "TTestColumn", "Date", "3/1/2024"},
      {"d + 1", "TBinaryOp", "Date", "3/2/2024"},
      {"d - 0.5", "TBinaryOp", "Date", "2/29/2024 12:00:00 PM"},
      {"d > 45000", "TRelationalOp", "Boolean", "TRUE"},
      {"d = 45352", "TRelationalOp", "Boolean", "TRUE"},
      {"d = '3/1/2024'", "TRelationalOp", "Boolean", "TRUE"},
      // Columns through the resolver.
      {"prname = 'USER'", "TRelationalOp", "Boolean", "TRUE"},
      {"[prname] = 'USER'", "TRelationalOp", "Boolean", "TRUE"},
      {"[Mixed Case] + x", "TBinaryOp", "String", "m5"},
      {"x * f", "TBinaryOp", "Float", "12.5"},
      {"NOT b", "TUnaryOp", "Boolean", "FALSE"},
      // Functions.
      {"UPPER('ab')", "TStringExpression", "String", "AB"},
      {"LOWER('AbC')", "TStringExpression", "String", "abc"},
      {"UPPER(1.5)", "TStringExpression", "String", "1.5"},
      {"UPPER('привет')", "TStringExpression", "String", "привет"},
      {"COPY('abcdef', 2, 3)", "TStringExpression", "String", "bcd"},
      {"COPY('abc', 2, 10)", "TStringExpression", "String", "bc"},
      {"COPY('abc', 5, 1)", "TStringExpression", "String", ""},
      {"COPY('привет', 2, 3)", "TStringExpression", "String", "рив"},
      {"POS('c', 'abc')", "TStringExpression", "Integer", "3"},
      {"POS('z', 'abc')", "TStringExpression", "Integer", "0"},
      {"POS('в', ru)", "TStringExpression", "Integer", "4"},
      {"LENGTH(ru)", "TStringExpression", "Integer", "6"},
      {"LENGTH(12345)", "TStringExpression", "Integer", "5"},
      {"LENGTH(e)", "TStringExpression", "Integer", "0"},
      {"TRUNC(-1.7)", "TMathExpression", "Integer", "-1"},
      {"TRUNC(1.7)", "TMathExpression", "Integer", "1"},
      {"ROUND(2.5)", "TMathExpression", "Integer", "2"},
      {"ROUND(3.5)", "TMathExpression", "Integer", "4"},
      {"ROUND(-2.5)", "TMathExpression", "Integer", "-2"},
      {"ROUND(2.6)", "TMathExpression", "Integer", "3"},
      {"ABS(-3)", "TMathExpression", "Float", "3"},
      {"ABS(-2.5)", "TMathExpression", "Float", "2.5"},
      {"INTEGER(ABS(-3))", "TTypeCast", "Integer", "3"},
      {"ARCTAN(0)", "TMathExpression", "Float", "0"},
      {"COS(0)", "TMathExpression", "Float", "1"},
      {"EXP(0)", "TMathExpression", "Float", "1"},
      {"FRAC(2.75)", "TMathExpression", "Float", "0.75"},
      {"FRAC(-2.75)", "TMathExpression", "Float", "-0.75"},
      {"INT(-2.75)", "TMathExpression", "Float", "-2"},
      {"LN(1)", "TMathExpression", "Float", "0"},
      {"(PI > 3.14159) AND (PI() < 3.1416)", "TBinaryOp", "Boolean", "TRUE"},
      {"SIN(0)", "TMathExpression", "Float", "0"},
      {"SQR(3)", "TMathExpression", "Float", "9"},
      {"SQRT(16)", "TMathExpression", "Float", "4"},
      {"POWER(2, 10)", "TMathExpression", "Float", "1024"},
      {"IF(1 = 1, 'y', 'n')", "TConditional", "String", "y"},
      {"IF(1 = 2, 'y', 'n')", "TConditional", "String", "n"},
      {"IF(TRUE, 1, 'n')", "TConditional", "Integer", "1"},
      {"IF(FALSE, 1, 'n')", "TConditional", "String", "n"},
      {"DATE(45352)", "TTypeCast", "Date", "45352"},
      {"STRING(12)", "TTypeCast", "String", "12"},
      {"STRING(1) + STRING(2)", "TBinaryOp", "String", "12"},
      {"FLOAT(3)", "TTypeCast", "Float", "3"},
      {"INTEGER(TRUE)", "TTypeCast", "Integer", "TRUE"},
      {"INTEGER(1.5 + 1)", "TTypeCast", "Integer", "2.5"},
      {"BOOLEAN(1 = 1)", "TTypeCast", "Boolean", "TRUE"},
      // Blanks are characters 1 to 32.
      {"\t1\r\n+\x01 2 ", "TBinaryOp", "Integer", "3"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    std::unique_ptr<TExpression> e;
    ASSERT_NO_THROW(e = Parse(row.text));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ClassName(), row.rootClass);
    EXPECT_STREQ(ExprTypeName(e->ExprType()), row.type);
    EXPECT_EQ(e->AsString(), row.value);
  }
}

TEST_F(Filter, ConvertsValuesBetweenTypes) {
  const struct {
    const char* text;
    char accessor;
    const char* value;
  } rows[] = {
      {"TRUE", 'I', "1"},
      {"TRUE", 'F', "1"},
      {"FALSE", 'D', "0"},
      {"1 = 1", 'I', "1"},
      {"1 = 2", 'F', "0"},
      {"5", 'F', "5"},
      {"5", 'D', "5"},
      {"1.5", 'D', "1.5"},
      {"d", 'F', "45352"},
      {"d + 0.5", 'I', "0"},
      {"d", 'I', "45352"},
      {"dn", 'I', "-1"},
      {"'3/1/2024'", 'D', "45352"},
      {"FLOAT(d)", 'S', "3/1/2024"},
      {"INTEGER(1.5 + 1)", 'I', "0"},
      {"7 / 2", 'I', "0"},
      {"'a' + 'b'", 'F', "0"},
      {"1.5 + 1", 'I', "0"},
      {"1.5 + 1", 'D', "2.5"},
      {"TRUE AND TRUE", 'I', "1"},
      {"TRUE XOR FALSE", 'F', "1"},
      {"TRUE OR FALSE", 'D', "1"},
      {"'1/2/2000' + ''", 'D', "36527"},
      {"1 + 1", 'D', "2"},
      {"1 + 1", 'F', "2"},
      {"NOT 0", 'F', "-1"},
      {"NOT TRUE", 'I', "0"},
      {"-TRUE", 'I', "-1"},
      {"ABS(-2147483647 - 1)", 'I', "-2147483648"},
      {"TRUNC(-2.5)", 'F', "-2"},
      {"LENGTH('abc')", 'F', "3"},
      {"IF(TRUE, 2, 3)", 'F', "2"},
      {"DATE('3/1/2024')", 'D', "45352"},
      {"BOOLEAN(TRUE)", 'B', "TRUE"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    auto e = Parse(row.text);
    ASSERT_TRUE(e);
    EXPECT_EQ(Evaluate(*e, row.accessor), row.value);
  }
}

TEST_F(Filter, ComparesTextsWithWildcardsNullsAndCaseFolding) {
  const TFilterOptions none;
  const TFilterOptions exact{foNoPartialCompare};
  const TFilterOptions folded{foCaseInsensitive};
  const struct {
    const char* text;
    TFilterOptions options;
    bool result;
  } rows[] = {
      {"prname = 'USER'", none, true},
      {"prname = 'US*'", none, true},
      {"prname = 'U?ER'", none, true},
      {"prname = '*'", none, true},
      {"prname = 'USER?'", none, false},
      {"prname <> 'US*'", none, false},
      {"prname <> 'X*'", none, true},
      {"prname = 'user'", none, false},
      {"'US*' = prname", none, false},  // the right operand is the pattern
      {"prname = 'US*'", exact, false},
      {"prname = 'USER'", exact, true},
      {"prname <> 'US*'", exact, true},
      {"prname > 'US*'", none, true},  // ordering never uses wildcards
      {"prname < 'USES'", none, true},
      {"prname >= 'USER'", none, true},
      {"prname = 'user'", folded, true},
      {"prname = 'us*'", folded, true},
      {"ru = 'привет'", folded, true},
      {"ru = 'ПРИ*'", folded, true},
      {"ru = 'привет'", none, false},
      {"ru <> 'привет'", folded, false},
      {"'ёж' = 'ЁЖ'", folded, true},
      {"prname < 'user'", folded, false},
      // Nulls.
      {"n = NULL", none, true},
      {"n <> NULL", none, false},
      {"x <> NULL", none, true},
      {"x = NULL", none, false},
      {"NULL = NULL", none, true},
      {"n < NULL", none, false},
      {"n < 1", none, false},
      {"n > 1", none, false},
      {"n >= 1", none, false},
      {"n = 1", none, false},
      {"n <> 1", none, true},
      {"1 <> n", none, true},
      {"e = NULL", none, false},
      {"e = ''", none, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    auto e = Parse(row.text, row.options);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->AsBoolean(), row.result);
  }
}

TEST_F(Filter, TreesKeepTheOptionsTheyWereParsedWith) {
  // Every tree is parsed before any is evaluated: a later parse must not change an earlier tree.
  auto folded = Parse("prname = 'us*'", {foCaseInsensitive});
  auto exact = Parse("prname = 'us*'");
  auto foldedWhole = Parse("prname = 'user'", {foCaseInsensitive, foNoPartialCompare});
  auto literal = Parse("prname = 'US*'", {foNoPartialCompare});
  EXPECT_TRUE(folded->AsBoolean());
  EXPECT_FALSE(exact->AsBoolean());
  EXPECT_TRUE(foldedWhole->AsBoolean());
  EXPECT_FALSE(literal->AsBoolean());
}

TEST(FilterThreads, TreesParsedOnSeveralThreadsAtOnceKeepTheirOwnOptions) {
  // Each thread parses with options of its own and checks what its trees answer; with options
  // shared between parses one thread's trees would answer with another's.
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &wrong] {
      Record record;
      record.columns = {{"PRNAME", Str("USER")}};
      const bool fold = t % 2 == 0;
      const TFilterOptions options = fold ? TFilterOptions{foCaseInsensitive} : TFilterOptions{};
      for (int i = 0; i < kRounds; ++i) {
        auto e = ParseFilterExpression("prname = 'us*'", options, record.Resolver());
        if (e->AsBoolean() != fold) ++wrong;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Filter, EvaluatesEachRecordAfresh) {
  auto e = Parse("(prname = 'US*') AND (x > 3)");
  EXPECT_TRUE(e->AsBoolean());
  record.columns["PRNAME"] = Str("SYS");
  EXPECT_FALSE(e->AsBoolean());
  record.columns["PRNAME"] = Str("USR");
  record.columns["X"] = Int(3);
  EXPECT_FALSE(e->AsBoolean());
  record.columns["X"] = Int(4);
  EXPECT_TRUE(e->AsBoolean());
}

TEST_F(Filter, EquivalentTextsGiveEquivalentTrees) {
  const char* pairs[][2] = {
      {"NOT(x = 1)", "NOT (x = 1)"},
      {"x=5", "  x   =   5  "},
      {"(x = 5) AND (prname = 'USER')", "((x = 5)) and ((prname = 'USER'))"},
      {"X = 5", "[X] = 5"},
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(p[0]);
    auto a = Parse(p[0]);
    auto b = Parse(p[1]);
    for (int x : {1, 5}) {
      record.columns["X"] = Int(x);
      EXPECT_EQ(a->ClassName(), b->ClassName());
      EXPECT_EQ(a->AsBoolean(), b->AsBoolean());
    }
  }
}

TEST_F(Filter, EmptyTextGivesNoTree) {
  EXPECT_EQ(Parse(""), nullptr);
  EXPECT_EQ(Parse(" \t\r\n"), nullptr);
}

TEST_F(Filter, ResolverGetsNamesAndArgumentLists) {
  record.columns["COL"] = Int(1);
  record.keepParams = true;
  auto e = Parse("(col(1, 'a') = 1) AND ([col] = col()) AND (col = 1)");
  ASSERT_EQ(record.calls.size(), 4u);
  EXPECT_EQ(record.calls[0].name, "COL");
  EXPECT_EQ(record.calls[0].params, 2);
  EXPECT_EQ(record.calls[1].name, "col");
  EXPECT_EQ(record.calls[1].params, -1);
  EXPECT_EQ(record.calls[2].params, 0);
  EXPECT_EQ(record.calls[3].params, -1);
  EXPECT_TRUE(e->AsBoolean());
  // Function words are not reserved for bracketed names.
  record.columns["UPPER"] = Str("u");
  EXPECT_EQ(Parse("[UPPER]")->AsString(), "u");
  // A function node answers for missing arguments with an error, not a crash.
  auto pi = Parse("PI");
  auto& function = dynamic_cast<TFunction&>(*pi);
  EXPECT_EQ(function.ParameterCount(), 0);
  EXPECT_THROW(function.Param(0), EListError);
  EXPECT_THROW(dynamic_cast<TFunction&>(*Parse("PI()")).Param(0), EListError);
  EXPECT_EQ(dynamic_cast<TFunction&>(*Parse("UPPER('a', 1)")).Param(1)->AsString(), "1");
  // Without a resolver every name is unknown; an unused argument list is freed.
  EXPECT_THROW(ParseFilterExpression("foo(1, 2)", {}, nullptr), EExpression);
}

// Every message of the engine, reached by a text; P: while parsing, else on evaluation through the
// accessor named (B, S, I, F, D).
TEST_F(Filter, ReportsEveryErrorWithItsMessage) {
  const std::string s256(256, 'x');
  const std::string s257(257, 'x');
  std::string r257;
  for (int i = 0; i < 257; ++i) r257 += "ж";
  const struct {
    std::string text;
    char when;
    std::string message;
  } rows[] = {
      {"1e+5", 'P', "Bad numeric format"},
      {"1.2.3", 'P', "Bad numeric format"},
      {"1e", 'P', "Bad numeric format"},
      {"1e-", 'P', "Bad numeric format"},
      {"1e5.5", 'P', "Bad numeric format"},
      {"12345678901234567890123456789", 'P', "Bad numeric format"},
      {"'abc", 'P', "Unterminated string"},
      {"'it''", 'P', "Unterminated string"},
      {"'" + s257 + "'", 'P', "String too long"},
      {"'" + r257 + "'", 'P', "String too long"},
      {"[abc", 'P', "Unterminated fieldname"},
      {"[" + s257 + "]", 'P', "Fieldname too long"},
      {"()", 'P', "invalid sub-expression"},
      {"( )", 'P', "invalid sub-expression"},
      {"(1", 'P', " ) expected"},
      {"(1, 2)", 'P', " ) expected"},
      {"AND 1", 'P', "opAnd not allowed here"},
      {"1 = DIV", 'P', "opDiv not allowed here"},
      {"1 * OR", 'P', "opOr not allowed here"},
      {"UPPER('a'", 'P', "Incorrectly formed parameters"},
      {"UPPER('a',)", 'P', "Incorrectly formed parameters"},
      {"COPY('a',,1)", 'P', "Incorrectly formed parameters"},
      {"UPPER(,'a')", 'P', "Incorrectly formed parameters"},
      {"foo = 1", 'P', "Unknown Identifier FOO"},
      {"[nope] = 1", 'P', "Unknown Identifier nope"},
      {"bar(1, 2)", 'P', "Unknown Identifier BAR"},
      {"1 = ", 'P', "Unexpected end of factor"},
      {"-", 'P', "Unexpected end of factor"},
      {"NOT", 'P', "Unexpected end of factor"},
      {"(1 +)", 'P', "Unexpected end of factor"},
      {"x = 1 AND f = 2", 'P', "Syntax error"},
      {"1 = 1 = 1", 'P', "Syntax error"},
      {"1 = *", 'P', "Syntax error"},
      {"#", 'P', "Syntax error"},
      {"x = 1 f = 2", 'P', "Identifier F not allowed here"},
      {"1 TRUE", 'P', "Boolean literal not allowed here"},
      {"1 (2)", 'P', "char ( in input stream"},
      {"1 'a'", 'P', "char ' in input stream"},
      {"1 2", 'P', "char 2 in input stream"},
      {"1 ё", 'P', "char ё in input stream"},
      {"1 << 2", 'P', "<< not a valid operator"},
      {"1 == 1", 'P', "== not a valid operator"},
      {"1 =< 1", 'P', "=< not a valid operator"},
      {"1 => 1", 'P', "=> not a valid operator"},
      {"1 >< 1", 'P', ">< not a valid operator"},
      {"1 >> 1", 'P', ">> not a valid operator"},
      {"x = 1 NOT f", 'P', "N not appropriate"},
      {")", 'P', ") not appropriate"},
      {"1, 2", 'P', ", not appropriate"},
      {"'a' * 2 + 1", 'P', "Operator opMult incompatible with String"},
      {"-('a' * 2)", 'P', "Operator opMult incompatible with String"},
      {"(TRUE - FALSE) + 1", 'P', "Operator opMinus incompatible with Boolean"},
      {"'a' * 2 = 1", 'B', "Operator opMult incompatible with String"},
      {"d * 2", 'S', "Operator opMult incompatible with Date"},
      {"1.5 DIV 2", 'F', "Operator opDiv incompatible with Float"},
      {"NOT 1.5", 'S', "Operator opNot incompatible with Float"},
      {"-'a'", 'S', "Operator opMinus incompatible with String"},
      {"'a' - 'b'", 'S', "Operator opMinus incompatible with String"},
      {"TRUE - FALSE", 'S', "Operator opMinus incompatible with Boolean"},
      {"TRUE - FALSE", 'B', "Internal parser error. Code 13"},
      {"TRUE < FALSE", 'B', "cannot apply opLT to boolean operands"},
      {"b >= TRUE", 'B', "cannot apply opGTE to boolean operands"},
      {"1 = 1", 'D', "Cannot read Boolean as Date"},
      {"-d", 'D', "Cannot read Date as Date"},
      {"+'a'", 'S', "Cannot read String as String"},
      {"'a'", 'F', "Cannot read String as Float"},
      {"1.5", 'I', "Cannot read Float as integer"},
      {"1", 'B', "Cannot read Integer as boolean"},
      {"1 AND 2", 'B', "Cannot read Integer as boolean"},
      {"UPPER('a', 'b')", 'S', "Invalid parameter to UPPER"},
      {"UPPER()", 'S', "Invalid parameter to UPPER"},
      {"UPPER", 'S', "Invalid parameter to UPPER"},
      {"LOWER(d)", 'S', "Invalid parameter to LOWER"},
      {"COPY('a', 'b', 1)", 'S', "Invalid parameter to COPY"},
      {"COPY('a', 1)", 'S', "Invalid parameter to COPY"},
      {"POS('a')", 'I', "Invalid parameter to POS"},
      {"LENGTH(d)", 'I', "Invalid parameter to LENGTH"},
      {"SQRT('a')", 'F', "Invalid parameter to SQRT"},
      {"TRUNC(d)", 'I', "Invalid parameter to TRUNC"},
      {"ROUND()", 'I', "Invalid parameter to ROUND"},
      {"ABS('x')", 'I', "Invalid parameter to ABS"},
      {"POWER(2)", 'F', "Invalid parameter to POWER"},
      {"POWER(2, 'a')", 'F', "Invalid parameter to POWER"},
      {"INTEGER()", 'I', "Invalid parameter to INTEGER"},
      {"DATE", 'D', "Invalid parameter to DATE"},
      {"STRING()", 'S', "Invalid parameter to STRING"},
      {"IF(1, 'y', 'n')", 'S', "Invalid parameters to If"},
      {"IF(TRUE, 1)", 'S', "Invalid parameters to If"},
      {"IF(TRUE, 1, 2, 3)", 'I', "Invalid parameters to If"},
      {"IF", 'B', "Invalid parameters to If"},
      {"INTEGER(NOT 'a')", 'I', "Internal parser error. Code 6"},
      {"1 + 2", 'B', "Internal parser error. Code 13"},
      {"(-2147483647 - 1) DIV -1", 'I', "Integer overflow"},
      {"(-2147483647 - 1) MOD -1", 'I', "Integer overflow"},
      {"TRUNC(1e300)", 'I', "Integer overflow"},
      {"ROUND(0 / 0)", 'I', "Integer overflow"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    if (row.when == 'P') {
      EXPECT_EQ(ParseError(row.text), row.message);
      continue;
    }
    std::unique_ptr<TExpression> e;
    ASSERT_NO_THROW(e = Parse(row.text));
    ASSERT_TRUE(e);
    try {
      Evaluate(*e, row.when);
      ADD_FAILURE() << "no error";
    } catch (const EExpression& err) {
      EXPECT_EQ(err.Message(), row.message);
    }
    // The tree stays usable after an evaluation error.
    EXPECT_THROW(Evaluate(*e, row.when), EExpression);
  }
  // A literal of exactly 256 characters is accepted.
  EXPECT_EQ(Parse("'" + s256 + "'")->AsString(), s256);
  EXPECT_EQ(ParseError("[" + s256 + "]"), "Unknown Identifier " + s256);
}

TEST_F(Filter, PlatformErrorsPassUnchanged) {
  EXPECT_THROW(Parse("1 DIV 0")->AsInteger(), EDivByZero);
  EXPECT_THROW(Parse("1 MOD 0")->AsString(), EDivByZero);
  EXPECT_THROW(Parse("(1 = 1) XOR (1 DIV 0 = 1)")->AsBoolean(), EDivByZero);
  EXPECT_THROW(Parse("DATE('abc')")->AsDate(), EConvertError);
  EXPECT_THROW(Parse("d = 'abc'")->AsBoolean(), EConvertError);
  EXPECT_THROW(Parse("1e999"), EConvertError);
  // Found by fuzzing: exponents too large for any integer.
  EXPECT_THROW(Parse("1e99999999999999999999999"), EConvertError);
  EXPECT_EQ(Parse("1e-9999999999999999999999")->AsFloat(), 0.0);
}

TEST_F(Filter, OperatorNodesRejectOperatorsOfAnotherKind) {
  auto one = [] { return std::make_unique<TIntegerLiteral>(1); };
  auto message = [](auto build) -> std::string {
    try {
      build();
    } catch (const EExpression& e) {
      return e.Message();
    }
    return "";
  };
  EXPECT_EQ(message([&] { TUnaryOp(opMult, one()); }), "opMult is not simple unary operator");
  EXPECT_EQ(message([&] { TBinaryOp(opEq, one(), one()); }), "opEq is not a simple binary operator");
  EXPECT_EQ(message([&] { TBinaryOp(opNot, one(), one()); }), "opNot is not a simple binary operator");
  EXPECT_EQ(message([&] { TRelationalOp(opPlus, one(), one()); }), "opPlus is not relational operator");
}

TEST_F(Filter, TypeRulesTable) {
  // The operators each type allows, by operator number; '-' marks an incompatible pair.
  const struct {
    TExprType type;
    const char* results;  // one letter per operator opNot..opGTE: D S F I B or '-'
  } rows[] = {
      {etDate, "--------DD--BBBBBB"},    {etString, "--------S---BBBBBB"},  {etFloat, "-FF-----FF--BBBBBB"},
      {etInteger, "IIFIIIIIIIIIBBBBBB"}, {etBoolean, "B----B----BBBB----"},
  };
  for (const auto& row : rows) {
    for (int op = opNot; op <= opGTE; ++op) {
      SCOPED_TRACE(std::string(ExprTypeName(row.type)) + " " + OperatorName(static_cast<TOperator>(op)));
      const char want = row.results[op];
      if (want == '-') {
        EXPECT_THROW(ResultType(static_cast<TOperator>(op), row.type), EExpression);
      } else {
        EXPECT_EQ(ExprTypeName(ResultType(static_cast<TOperator>(op), row.type))[0], want);
      }
    }
  }
  EXPECT_EQ(CommonType(etInteger, etFloat), etFloat);
  EXPECT_EQ(CommonType(etBoolean, etString), etString);
  EXPECT_EQ(CommonType(etString, etDate), etDate);
}

TEST_F(Filter, NumbersFollowTheLocaleDecimalSeparator) {
  TFormatSettingsGuard russian(RussianFormatSettings());
  EXPECT_EQ(Parse("1,5 * 2")->AsString(), "3");
  EXPECT_EQ(ParseError("1.5"), "char . in input stream");
  EXPECT_EQ(ParseError("1,5,5"), "Bad numeric format");
}

TEST_F(Filter, DeepNestingIsAnErrorNotACrash) {
  const std::string deepParens = std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(ParseError(deepParens), "Expression too complex");
  EXPECT_EQ(ParseError(std::string(5000, '-') + "1"), "Expression too complex");
  EXPECT_EQ(ParseError(std::string(5000, 'U') + "1"), "Unknown Identifier " + std::string(5000, 'U') + "1");
  std::string longSum = "1";
  for (int i = 0; i < 5000; ++i) longSum += "+1";
  EXPECT_EQ(ParseError(longSum), "Expression too complex");
  std::string deepCalls;
  for (int i = 0; i < 300; ++i) deepCalls += "UPPER(";
  deepCalls += "'a'" + std::string(300, ')');
  EXPECT_EQ(ParseError(deepCalls), "Expression too complex");
  // Ordinary sizes stay well within the limits.
  std::string wide = "(x = 0)";
  for (int i = 1; i < 300; ++i) wide += " OR (x = " + std::to_string(i) + ")";
  EXPECT_TRUE(Parse(wide)->AsBoolean());
}

TEST(Wildcard, MatchesStarsAndQuestionMarks) {
  const struct {
    const char* pattern;
    const char* value;
    bool match;
  } rows[] = {
      {"a?c", "abc", true},
      {"a*", "a", true},
      {"a**", "a", false},
      {"a**", "ab", true},
      {"", "", true},
      {"*", "", true},
      {"**", "", false},
      {"**", "x", true},
      {"", "a", false},
      {"a", "", false},
      {"*a", "a", true},
      {"*a", "ba", true},
      {"*a", "b", false},
      {"*a", "ab", false},
      {"a*b", "ab", true},
      {"a*b", "a", false},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbYcZ", false},
      {"a*b*c*", "aXbYcZ", true},
      {"?", "", false},
      {"??", "ab", true},
      {"?", "ab", false},
      {"US*", "USER", true},
      {"US*", "us", false},
      {"USER", "USER", true},
      {"USER", "USERS", false},
      {"п?ивет", "привет", true},
      {"?", "ж", true},
      {"??", "ж", false},
      {"*т", "привет", true},
      {"*Т", "привет", false},
      {"?", "\xff", true},
      {"\xff", "\xfe", false},
      {"?\xff", "a\xff", true},
      {"?\xd0", "a\xd1", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " / " + row.value);
    EXPECT_EQ(MatchWildcard(row.pattern, row.value), row.match);
  }
  // Many stars against a long value stay fast.
  EXPECT_FALSE(MatchWildcard("*a*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
  EXPECT_TRUE(MatchWildcard("*a*a*a*a*a*a*a*a*a*a*", std::string(5000, 'a')));
}

namespace {

// The matching rule word for word, on ASCII: a "*" tries the current value position and every later
// one up to the value's last character, and is true at once when it ends the pattern.
bool ReferenceMatch(const std::string& p, size_t pi, const std::string& v, size_t vi) {
  for (; pi < p.size(); ++pi, ++vi) {
    if (p[pi] == '*') {
      if (pi + 1 == p.size()) return true;
      for (size_t k = vi; k < v.size(); ++k) {
        if (ReferenceMatch(p, pi + 1, v, k)) return true;
      }
      return false;
    }
    if (vi >= v.size()) return false;
    if (p[pi] != '?' && p[pi] != v[vi]) return false;
  }
  return vi == v.size();
}

}  // namespace

TEST(Wildcard, AgreesWithTheRuleOnRandomPatterns) {
  std::mt19937 gen(42);
  const char patternChars[] = "ab*?";
  for (int round = 0; round < 20000; ++round) {
    std::string p;
    std::string v;
    for (int i = gen() % 7; i > 0; --i) p += patternChars[gen() % 4];
    for (int i = gen() % 7; i > 0; --i) v += "ab*?"[gen() % 4];
    ASSERT_EQ(MatchWildcard(p, v), ReferenceMatch(p, 0, v, 0)) << "pattern " << p << " value " << v;
  }
}
