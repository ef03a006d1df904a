#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "editor/CodeHighlighterHashEntries.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/rtl/SysUtils.h"

namespace {

struct Tok {
  int kind;
  std::string text;
  bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << t.kind << ", \"" << t.text << "\"}";
}

// Scans the lines in order, carrying the range state from one to the next, as the editor does.
std::vector<std::vector<Tok>> Scan(TCodeSQLHighlighter& hl, const std::vector<std::string>& lines) {
  std::vector<std::vector<Tok>> out;
  hl.ResetRange();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::vector<Tok> toks;
    hl.SetLine(lines[i], static_cast<int>(i));
    while (!hl.GetEol()) {
      toks.push_back({hl.GetTokenKind(), hl.GetToken()});
      hl.Next();
    }
    out.push_back(toks);
  }
  return out;
}

std::vector<Tok> ScanLine(TSQLDialect dialect, const std::string& line) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(dialect);
  return Scan(hl, {line})[0];
}

struct Case {
  TSQLDialect dialect;
  std::string line;
  std::vector<Tok> tokens;
};

class SqlTokenTable : public ::testing::TestWithParam<Case> {};

TEST_P(SqlTokenTable, TokensAndKinds) {
  const Case& c = GetParam();
  EXPECT_EQ(ScanLine(c.dialect, c.line), c.tokens) << "line: " << c.line;
}

const Case kCases[] = {
    // Comments of each kind.
    {sqlOracle, "x -- note", {{stkIdentifier, "x"}, {stkSpace, " "}, {stkComment, "-- note"}}},
    {sqlOracle, "a/*b*/c", {{stkIdentifier, "a"}, {stkComment, "/*b*/"}, {stkIdentifier, "c"}}},
    {sqlOracle, "REM any text here", {{stkComment, "REM any text here"}}},
    {sqlOracle, "remark x", {{stkComment, "remark x"}}},
    {sqlOracle, "REMARKS", {{stkIdentifier, "REMARKS"}}},
    {sqlMySQL, "a # note", {{stkIdentifier, "a"}, {stkSpace, " "}, {stkComment, "# note"}}},
    {sqlOracle, "#", {{stkUnknown, "#"}}},
    // Strings and their escapes.
    {sqlOracle, "'it''s'", {{stkString, "'it'"}, {stkString, "'s'"}}},
    {sqlOracle, "\"a\"\"b\" x", {{stkString, "\"a\"\"b\""}, {stkSpace, " "}, {stkIdentifier, "x"}}},
    {sqlOracle, "\"a\\\"b\"", {{stkString, "\"a\\\"b\""}}},
    {sqlOracle, "\"open", {{stkString, "\"open"}}},
    {sqlMySQL, "'a\\'b' c", {{stkString, "'a\\'b'"}, {stkSpace, " "}, {stkIdentifier, "c"}}},
    {sqlMySQL, "''", {{stkString, "''"}}},
    // Numbers.
    {sqlOracle, "1..10", {{stkNumber, "1"}, {stkSymbol, "."}, {stkSymbol, "."}, {stkNumber, "10"}}},
    {sqlOracle, "2024-01-31", {{stkNumber, "2024-01-31"}}},
    {sqlOracle, "3.14", {{stkNumber, "3.14"}}},
    // Identifiers with $ and #, delimited identifiers, keywords.
    {sqlOracle, "v$session", {{stkIdentifier, "v$session"}}},
    {sqlOracle, "x#1", {{stkIdentifier, "x#1"}}},
    {sqlOracle, "$x", {{stkUnknown, "$"}, {stkIdentifier, "x"}}},
    {sqlOracle, "AQ$_AGENT", {{stkSQLPlus, "AQ$_AGENT"}}},
    {sqlOracle, "SeLeCt", {{stkKeyword, "SeLeCt"}}},
    {sqlOracle,
     "VARCHAR2 VARCHAR3",
     {{stkDataType, "VARCHAR2"}, {stkSpace, " "}, {stkIdentifier, "VARCHAR3"}}},
    {sqlOracle, "xmltype", {{stkDataType, "xmltype"}}},
    {sqlOracle, "NO_DATA_FOUND", {{stkException, "NO_DATA_FOUND"}}},
    {sqlOracle, "to_char", {{stkFunction, "to_char"}}},
    {sqlOracle, "dbms_output", {{stkDefaultPackage, "dbms_output"}}},
    {sqlOracle, "begin", {{stkPLSQL, "begin"}}},
    {sqlOracle, "prompt", {{stkSQLPlus, "prompt"}}},
    {sqlStandard, "end-exec", {{stkKeyword, "end"}, {stkSymbol, "-"}, {stkKeyword, "exec"}}},
    {sqlInterbase6, "GEN_ID blob", {{stkFunction, "GEN_ID"}, {stkSpace, " "}, {stkDataType, "blob"}}},
    // Variables.
    {sqlOracle, ":sid@x", {{stkVariable, ":sid"}, {stkSymbol, "@"}, {stkIdentifier, "x"}}},
    {sqlStandard, ":a @b", {{stkSymbol, ":"}, {stkIdentifier, "a"}, {stkSpace, " "}, {stkVariable, "@b"}}},
    {sqlIngres, ":h @g", {{stkVariable, ":h"}, {stkSpace, " "}, {stkVariable, "@g"}}},
    {sqlIngres, "int4 squeeze", {{stkDataType, "int4"}, {stkSpace, " "}, {stkFunction, "squeeze"}}},
    {sqlSybase,
     "SELECT @a:b",
     {{stkKeyword, "SELECT"}, {stkSpace, " "}, {stkVariable, "@a"}, {stkSymbol, ":"}, {stkIdentifier, "b"}}},
    {sqlSybase,
     "'a''b' # x",
     {{stkString, "'a'"},
      {stkString, "'b'"},
      {stkSpace, " "},
      {stkUnknown, "#"},
      {stkSpace, " "},
      {stkIdentifier, "x"}}},
    {sqlMySQL,
     "varchar now :x",
     {{stkDataType, "varchar"},
      {stkSpace, " "},
      {stkFunction, "now"},
      {stkSpace, " "},
      {stkSymbol, ":"},
      {stkIdentifier, "x"}}},
    {sqlMSSQL2K,
     "nvarchar getutcdate",
     {{stkDataType, "nvarchar"}, {stkSpace, " "}, {stkFunction, "getutcdate"}}},
    {sqlMSSQL7, "a@b", {{stkIdentifier, "a@b"}}},
    {sqlMySQL, "@v", {{stkSymbol, "@"}, {stkIdentifier, "v"}}},
    {sqlMSSQL7, "@@ROWCOUNT @p", {{stkFunction, "@@ROWCOUNT"}, {stkSpace, " "}, {stkVariable, "@p"}}},
    {sqlMSSQL2K, "@@version", {{stkFunction, "@@version"}}},
    // Symbols.
    {sqlOracle, "<<=<=<<<", {{stkSymbol, "<<="}, {stkSymbol, "<="}, {stkSymbol, "<<"}, {stkSymbol, "<"}}},
    {sqlOracle, "==>=>>", {{stkSymbol, "=="}, {stkSymbol, ">="}, {stkSymbol, ">>"}}},
    {sqlOracle,
     "=>+++=&&&=",
     {{stkSymbol, "=>"}, {stkSymbol, "++"}, {stkSymbol, "+="}, {stkSymbol, "&&"}, {stkSymbol, "&="}}},
    {sqlOracle, "|||=|", {{stkSymbol, "||"}, {stkSymbol, "|="}, {stkSymbol, "|"}}},
    {sqlOracle, "!=%*=^", {{stkSymbol, "!="}, {stkSymbol, "%"}, {stkSymbol, "*="}, {stkSymbol, "^"}}},
    {sqlOracle,
     "/=/(),;?[]{}~.",
     {{stkSymbol, "/="},
      {stkSymbol, "/"},
      {stkSymbol, "("},
      {stkSymbol, ")"},
      {stkSymbol, ","},
      {stkSymbol, ";"},
      {stkSymbol, "?"},
      {stkSymbol, "["},
      {stkSymbol, "]"},
      {stkSymbol, "{"},
      {stkSymbol, "}"},
      {stkSymbol, "~"},
      {stkSymbol, "."}}},
    {sqlOracle, "a-b", {{stkIdentifier, "a"}, {stkSymbol, "-"}, {stkIdentifier, "b"}}},
    // Spaces and control characters; characters that start no token.
    {sqlOracle, " \t\x01x", {{stkSpace, " \t\x01"}, {stkIdentifier, "x"}}},
    {sqlOracle,
     "a\r\nb\nc",
     {{stkIdentifier, "a"},
      {stkSpace, "\r\n"},
      {stkIdentifier, "b"},
      {stkSpace, "\n"},
      {stkIdentifier, "c"}}},
    {sqlOracle, "\\`\xC3\xA9", {{stkUnknown, "\\"}, {stkUnknown, "`"}, {stkUnknown, "\xC3\xA9"}}},
    {sqlOracle, "\xD0\xB8\xD1\x8F", {{stkUnknown, "\xD0\xB8"}, {stkUnknown, "\xD1\x8F"}}},
    {sqlOracle, "", {}},
};

INSTANTIATE_TEST_SUITE_P(Dialects, SqlTokenTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "Row" + std::to_string(info.index);
                         });

TEST(SqlHighlighterRanges, BlockCommentCarriesOverLines) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  auto out = Scan(hl, {"a /* open", "still", "end */ b", ""});
  EXPECT_EQ(out[0], (std::vector<Tok>{{stkIdentifier, "a"}, {stkSpace, " "}, {stkComment, "/* open"}}));
  EXPECT_EQ(out[1], (std::vector<Tok>{{stkComment, "still"}}));
  EXPECT_EQ(out[2], (std::vector<Tok>{{stkComment, "end */"}, {stkSpace, " "}, {stkIdentifier, "b"}}));
  EXPECT_TRUE(out[3].empty());
  EXPECT_EQ(hl.GetRange(), srsUnknown);
}

TEST(SqlHighlighterRanges, StringCarriesOverLinesAndRangeIsStored) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  hl.SetLine(std::string("x := 'abc"), 0);
  hl.NextToEol();
  EXPECT_EQ(hl.GetRange(), srsString);
  auto out = Scan(hl, {"x := 'abc", "def' || y", "'"});
  EXPECT_EQ(
      out[1],
      (std::vector<Tok>{
          {stkString, "def'"}, {stkSpace, " "}, {stkSymbol, "||"}, {stkSpace, " "}, {stkIdentifier, "y"}}));
  // A quote at the very start of a continuation line closes the string by itself.
  TCodeSQLHighlighter h2;
  h2.SetSQLDialect(sqlOracle);
  h2.SetRange(srsString);
  h2.SetLine(std::string("'x"), 1);
  EXPECT_EQ(h2.GetToken(), "'");
  EXPECT_EQ(h2.GetTokenKind(), stkString);
  h2.Next();
  EXPECT_EQ(h2.GetTokenKind(), stkIdentifier);
}

TEST(SqlHighlighterRanges, RescanAfterEditChangesFollowingLines) {
  // An edit that closes a comment changes the range after the line; the next line scans differently.
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  auto before = Scan(hl, {"/* a", "select 1"});
  EXPECT_EQ(before[1][0].kind, stkComment);
  auto after = Scan(hl, {"/* a */", "select 1"});
  EXPECT_EQ(after[1][0], (Tok{stkKeyword, "select"}));
  EXPECT_EQ(hl.GetRange(), srsUnknown);
}

TEST(SqlHighlighterRanges, MySqlOpenStringBeforeALineEndMovesOn) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlMySQL);
  auto out = Scan(hl, {"'ab\ncd' x"});
  EXPECT_EQ(
      out[0],
      (std::vector<Tok>{
          {stkString, "'ab"}, {stkSpace, "\n"}, {stkString, "cd'"}, {stkSpace, " "}, {stkIdentifier, "x"}}));
}

TEST(SqlHighlighterRanges, MySqlStringContinuation) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlMySQL);
  auto out = Scan(hl, {"'abc", "d\\'e' f"});
  EXPECT_EQ(out[0], (std::vector<Tok>{{stkString, "'abc"}}));
  EXPECT_EQ(out[1], (std::vector<Tok>{{stkString, "d\\'e'"}, {stkSpace, " "}, {stkIdentifier, "f"}}));
}

TEST(SqlHighlighterTokens, PositionsAndAttributes) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  hl.SetLine(std::string("select x"), 0);
  EXPECT_EQ(hl.GetTokenPos(), 0);
  EXPECT_EQ(hl.GetTokenAttribute(), hl.KeyAttri());
  hl.Next();
  EXPECT_EQ(hl.GetTokenPos(), 6);
  EXPECT_EQ(hl.GetTokenAttribute(), hl.SpaceAttri());
  hl.Next();
  EXPECT_EQ(hl.GetTokenPos(), 7);
  EXPECT_EQ(hl.GetTokenAttribute(), hl.IdentifierAttri());
  hl.Next();
  EXPECT_TRUE(hl.GetEol());
  EXPECT_EQ(hl.GetTokenAttribute(), nullptr);
  // Positions count code points.
  hl.SetLine(std::string("\xD0\xB0\xD0\xB1 x"), 0);
  hl.Next();
  hl.Next();
  hl.Next();
  EXPECT_EQ(hl.GetTokenPos(), 3);
  EXPECT_EQ(hl.GetToken(), "x");
}

TEST(SqlHighlighterSetup, AttributesAndDefaults) {
  TCodeSQLHighlighter hl;
  EXPECT_EQ(hl.SQLDialect(), sqlStandard);
  EXPECT_EQ(hl.GetDefaultFilter(), "SQL Files (*.sql)|*.sql");
  EXPECT_EQ(hl.GetLanguageName(), "SQL");
  ASSERT_EQ(hl.AttrCount(), 15);
  const char* sorted[] = {"Comment",       "Data Type",  "Default Packages", "Exception",
                          "Function",      "Identifier", "Number",           "PL/SQL Reserved Word",
                          "Reserved Word", "Space",      "SQL*Plus Command", "String",
                          "Symbol",        "Table Name", "Variable"};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(hl.Attribute(i)->Name(), sorted[i]) << i;
  EXPECT_EQ(hl.Attribute(15), nullptr);
  EXPECT_TRUE(hl.CommentAttri()->Style().Contains(fsItalic));
  EXPECT_TRUE(hl.KeyAttri()->Style().Contains(fsBold));
  EXPECT_TRUE(hl.NumberAttri()->Style().Empty());
  EXPECT_EQ(hl.KeyAttri()->Foreground(), clNone);
  EXPECT_EQ(hl.GetDefaultAttribute(0), hl.CommentAttri());
  EXPECT_EQ(hl.GetDefaultAttribute(5), hl.SymbolAttri());
  EXPECT_EQ(hl.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(hl.GetSampleSource().substr(0, 25), "-- ansi sql sample source");
}

TEST(SqlHighlighterSetup, EveryDialectBuildsWithoutDuplicates) {
  TCodeSQLHighlighter hl;
  for (int d = 0; d <= 7; ++d) {
    hl.SetSQLDialect(sqlStandard);
    EXPECT_NO_THROW(hl.SetSQLDialect(static_cast<TSQLDialect>(d))) << d;
    EXPECT_FALSE(hl.GetSampleSource().empty());
  }
}

TEST(SqlHighlighterSetup, OracleSampleAndIsKeyword) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  std::string s = hl.GetSampleSource();
  EXPECT_EQ(s.substr(0, 29), "PROMPT Oracle sample source\r\n");
  EXPECT_EQ(s.substr(s.size() - 6), "\r\nend;");
  EXPECT_TRUE(hl.IsKeyword("select"));
  EXPECT_TRUE(hl.IsKeyword("NUMBER"));
  EXPECT_TRUE(hl.IsKeyword("ZERO_DIVIDE"));
  EXPECT_TRUE(hl.IsKeyword("nvl"));
  EXPECT_TRUE(hl.IsKeyword("DBMS_OUTPUT"));
  EXPECT_TRUE(hl.IsKeyword("loop"));
  EXPECT_FALSE(hl.IsKeyword("prompt"));
  EXPECT_FALSE(hl.IsKeyword("rem"));
  EXPECT_FALSE(hl.IsKeyword("my_table"));
  EXPECT_FALSE(hl.IsKeyword("selectx"));
}

TEST(SqlHighlighterSetup, TableNamesAndChangeNotification) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  int fired = 0;
  hl.AddAttrChangeHook(TCodeMethod{[&](TObject*) { ++fired; }, &fired, 0});
  TStringList names;
  names.SetCommaText("EMPLOYEES,select,Dept");
  hl.SetTableNames(&names);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(ScanLine(sqlOracle, "employees")[0].kind, stkIdentifier);  // a fresh highlighter has none
  auto toks = Scan(hl, {"select employees, dept"})[0];
  EXPECT_EQ(toks[0].kind, stkKeyword);  // the table name equal to a keyword was skipped
  EXPECT_EQ(toks[2].kind, stkTableName);
  EXPECT_EQ(toks[5].kind, stkTableName);
  hl.KeyAttri()->SetForeground(clRed);
  EXPECT_EQ(fired, 2);
  hl.BeginUpdate();
  hl.KeyAttri()->SetForeground(clBlue);
  hl.KeyAttri()->SetForeground(clGreen);
  EXPECT_EQ(fired, 2);
  hl.EndUpdate();
  EXPECT_EQ(fired, 3);
}

TEST(SqlHighlighterSetup, IdentCharsPerDialect) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  TCodeCharSet s = hl.GetIdentChars();
  EXPECT_TRUE(s.Contains(U'#'));
  EXPECT_TRUE(s.Contains(U'$'));
  EXPECT_FALSE(s.Contains(U'@'));
  EXPECT_TRUE(s.Contains(0xC0));
  EXPECT_FALSE(s.Contains(0xD7));
  EXPECT_FALSE(s.Contains(0xF7));
  EXPECT_TRUE(s.Contains(U'ч'));  // Cyrillic letters are word characters
  EXPECT_TRUE(s.Contains(U'Ё'));
  EXPECT_FALSE(s.Contains(U'—'));
  hl.SetSQLDialect(sqlMSSQL2K);
  EXPECT_TRUE(hl.GetIdentChars().Contains(U'@'));
  EXPECT_FALSE(hl.GetIdentChars().Contains(U'#'));
}

TEST(SqlHighlighterSetup, AssignCopiesDialectAndAttributesNotTableNames) {
  TCodeSQLHighlighter a, b;
  a.SetSQLDialect(sqlOracle);
  a.StringAttri()->SetForeground(clGreen);
  a.TableNames()->Add("T1");
  b.Assign(&a);
  EXPECT_EQ(b.SQLDialect(), sqlOracle);
  EXPECT_EQ(b.StringAttri()->Foreground(), clGreen);
  EXPECT_EQ(b.TableNames()->Count(), 0);
}

TEST(SqlHighlighterTokens, CharacterZeroInsideALineDoesNotHideTheRest) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  std::u32string line = U"select";
  line.push_back(0);
  line += U" x";
  hl.SetLine(line, 0);
  std::vector<int> kinds;
  std::vector<int> positions;
  while (!hl.GetEol()) {
    kinds.push_back(hl.GetTokenKind());
    positions.push_back(hl.GetTokenPos());
    hl.Next();
  }
  EXPECT_EQ(kinds, (std::vector<int>{stkKeyword, stkUnknown, stkSpace, stkIdentifier}));
  EXPECT_EQ(positions, (std::vector<int>{0, 6, 7, 8}));
}

TEST(SqlHighlighterSetup, LongIdentifierHashesWithoutOverflow) {
  std::string longName(300, 'z');
  auto toks = ScanLine(sqlOracle, longName);
  ASSERT_EQ(toks.size(), 1u);
  EXPECT_EQ(toks[0].kind, stkIdentifier);
}

}  // namespace

namespace {

// Whatever the text, the tokens of a line tile it exactly and scanning ends.
TEST(SqlHighlighterTokens, TokensTileRandomLinesInEveryDialect) {
  const char32_t alphabet[] = {U'a', U'Z', U'_', U'0', U'9',    U'.',  U'-',  U'\'', U'"', U'\\',
                               U'/', U'*', U'#', U'$', U':',    U'@',  U'<',  U'=',  U'>', U'|',
                               U'&', U'+', U'!', U'%', U' ',    U'\t', U'\r', U'\n', U'(', U';',
                               U'`', 0x7F, 0xE9, U'ж', 0x1F600, 0,     1};
  uint32_t seed = 777;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  for (int d = 0; d <= 7; ++d) {
    TCodeSQLHighlighter hl;
    hl.SetSQLDialect(static_cast<TSQLDialect>(d));
    hl.ResetRange();
    for (int lineNo = 0; lineNo < 400; ++lineNo) {
      std::u32string line;
      int len = next(40);
      for (int i = 0; i < len; ++i) line.push_back(alphabet[next(static_cast<int>(std::size(alphabet)))]);
      hl.SetLine(line, lineNo);
      int expectedPos = 0;
      int guard = 0;
      while (!hl.GetEol()) {
        ASSERT_EQ(hl.GetTokenPos(), expectedPos);
        ASSERT_GT(hl.GetTokenLen(), 0);
        expectedPos += hl.GetTokenLen();
        hl.Next();
        ASSERT_LT(++guard, 1000);
      }
      ASSERT_EQ(expectedPos, static_cast<int>(line.size())) << "dialect " << d << " line " << lineNo;
      ASSERT_LE(hl.GetRange(), srsString);
    }
  }
}

}  // namespace

namespace {

// The words of the Oracle sample are classed as a reader of PL/SQL expects.
TEST(SqlHighlighterSetup, OracleSampleWordsAreClassed) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  TStringList split;
  split.SetText(hl.GetSampleSource());
  std::vector<std::string> lines;
  for (int i = 0; i < split.Count(); ++i) lines.push_back(split.Strings(i));
  ASSERT_EQ(lines.size(), 12u);
  std::map<std::string, int> kinds;
  for (const auto& line : Scan(hl, lines))
    for (const auto& t : line)
      if (t.kind != stkSpace && t.kind != stkSymbol) kinds[t.text] = t.kind;
  const std::pair<const char*, int> expected[] = {{"PROMPT", stkSQLPlus},
                                                  {"declare", stkPLSQL},
                                                  {"varchar2", stkDataType},
                                                  {"begin", stkPLSQL},
                                                  {"-- Show some text here", stkComment},
                                                  {"select", stkKeyword},
                                                  {"to_char", stkFunction},
                                                  {"count", stkFunction},
                                                  {"into", stkKeyword},
                                                  {"from", stkKeyword},
                                                  {"tab", stkIdentifier},
                                                  {"dbms_output", stkDefaultPackage},
                                                  {"put_line", stkIdentifier},
                                                  {"'Hello World: '", stkString},
                                                  {"exception", stkPLSQL},
                                                  {"when", stkKeyword},
                                                  {"others", stkPLSQL},
                                                  {"then", stkKeyword},
                                                  {"null", stkKeyword},
                                                  {"end", stkPLSQL},
                                                  {"2000", stkNumber},
                                                  {"x", stkIdentifier}};
  for (const auto& [word, kind] : expected) EXPECT_EQ(kinds[word], kind) << word;
}

// The keyword lists of every dialect: how many words each yields, in loading order, with the words
// that open and close the lists whose ends are fixed; and every dialect builds, which it cannot when
// two of its words are equal.
struct ListCase {
  TSqlTokenKind kind;
  int count;
  std::vector<std::string> first, last;  // the first and last words, when fixed
};
struct DialectCase {
  const char* name;
  TSQLDialect dialect;
  std::vector<ListCase> lists;
};

const DialectCase kDialects[] = {
    {"Standard", sqlStandard, {{stkKeyword, 306, {}, {}}}},
    {"Interbase6",
     sqlInterbase6,
     {{stkDataType,
       13,
       {"BLOB", "CHAR", "CHARACTER", "DATE", "DECIMAL", "DOUBLE", "FLOAT", "INTEGER", "NUMERIC", "SMALLINT",
        "TIME", "TIMESTAMP", "VARCHAR"},
       {}},
      {stkFunction, 8, {"AVG", "CAST", "COUNT", "GEN_ID", "MAX", "MIN", "SUM", "UPPER"}, {}},
      {stkKeyword, 251, {}, {}}}},
    {"MSSQL7", sqlMSSQL7, {{stkKeyword, 197, {}, {}}, {stkDataType, 24, {}, {}}, {stkFunction, 139, {}, {}}}},
    {"MySQL", sqlMySQL, {{stkKeyword, 181, {}, {}}, {stkDataType, 29, {}, {}}, {stkFunction, 149, {}, {}}}},
    {"Oracle",
     sqlOracle,
     {{stkKeyword,
       616,
       {"ACCESS", "ACCESSED", "ACCOUNT", "ACTIVATE", "ACTIVE_INSTANCE_COUNT"},
       {"WNDS", "WNPS", "WORKAREA_SIZE_POLICY"}},
      {stkDataType, 46, {}, {}},
      {stkException,
       20,
       {"ACCESS_INTO_NULL", "COLLECTION_IS_NULL", "CURSOR_ALREADY_OPEN", "DUP_VAL_ON_INDEX"},
       {"TOO_MANY_ROWS", "VALUE_ERROR", "ZERO_DIVIDE"}},
      {stkFunction, 371, {}, {}},
      {stkComment, 4, {"REM", "REMA", "REMAR", "REMARK"}, {}},
      {stkDefaultPackage, 181, {"DBMS_ALERT", "DBMS_APPLICATION_INFO"}, {"UTL_SMTP", "UTL_TCP", "UTL_URL"}},
      {stkPLSQL, 163, {}, {}},
      {stkSQLPlus, 184, {"APP", "APPINFO", "AQ$_AGENT"}, {"WRA", "WRAP", "WRAPPED"}}}},
    {"Sybase", sqlSybase, {{stkKeyword, 373, {}, {}}}},
    {"Ingres", sqlIngres, {{stkDataType, 23, {}, {}}, {stkKeyword, 315, {}, {}}, {stkFunction, 102, {}, {}}}},
    {"MSSQL2K",
     sqlMSSQL2K,
     {{stkKeyword, 171, {}, {}}, {stkDataType, 30, {}, {}}, {stkFunction, 168, {}, {}}}},
};

class SqlKeywordLists : public ::testing::TestWithParam<DialectCase> {};

TEST_P(SqlKeywordLists, YieldTheirWordsDistinctAndInOrder) {
  const DialectCase& c = GetParam();
  TCodeSQLHighlighter hl;
  ASSERT_NO_THROW(hl.SetSQLDialect(c.dialect));
  TCodeCharSet split = hl.GetIdentChars();
  if (c.dialect == sqlStandard) split.Include(U'-');
  // the words of each list, a list continued by the next one of the same kind
  std::vector<std::pair<TSqlTokenKind, std::vector<std::string>>> lists;
  for (const TSQLKeywordList& list : SQLDialectKeywordLists(c.dialect)) {
    if (lists.empty() || lists.back().first != list.Kind) lists.push_back({list.Kind, {}});
    EnumerateKeywords(list.Kind, list.Words, split, [&](const std::u32string& word, int) {
      lists.back().second.push_back(Utf32ToUtf8(word));
    });
  }
  ASSERT_EQ(lists.size(), c.lists.size());
  for (size_t i = 0; i < lists.size(); ++i) {
    const ListCase& want = c.lists[i];
    const std::vector<std::string>& words = lists[i].second;
    EXPECT_EQ(lists[i].first, want.kind) << "list " << i;
    EXPECT_EQ(static_cast<int>(words.size()), want.count) << "list " << i;
    if (words.size() < want.first.size() || words.size() < want.last.size()) continue;
    EXPECT_EQ(std::vector<std::string>(words.begin(), words.begin() + want.first.size()), want.first)
        << "list " << i;
    EXPECT_EQ(std::vector<std::string>(words.end() - want.last.size(), words.end()), want.last)
        << "list " << i;
    // each word is looked up as its own list's kind (a word with a minus sign is never one token)
    for (const std::string& w : words) {
      if (w.find('-') == std::string::npos) {
        EXPECT_EQ(hl.IdKindOf(Utf8ToUtf32(w)), want.kind) << w;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dialects, SqlKeywordLists, ::testing::ValuesIn(kDialects),
                         [](const ::testing::TestParamInfo<DialectCase>& info) { return info.param.name; });

}  // namespace
