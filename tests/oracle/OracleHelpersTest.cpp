// The shared helpers of the Oracle access unit: SQL scanners, logon strings, the DATE codec, value
// conversion, the messages of errors, and the user-interface adapter.
#include <gtest/gtest.h>

#include <cstring>

#include "oracle/Oracle.h"
#include "oracle/OracleVisual.h"
#include "platform/rtl/Registry.h"

namespace {

std::vector<std::pair<std::string, int>> Variables(const std::string& sql, bool duplicates) {
  std::unique_ptr<TStringList> list(FindVariables(sql, duplicates));
  std::vector<std::pair<std::string, int>> result;
  for (int i = 0; i < list->Count(); ++i)
    result.emplace_back(list->Strings(i), VariablePosition(list.get(), i));
  return result;
}

using V = std::vector<std::pair<std::string, int>>;

}  // namespace

TEST(FindVariables, NamesPositionsStringsAndComments) {
  const std::string sql = "select :a, :b, :a from t where x = ':c' -- :d";
  EXPECT_EQ(Variables(sql, false), (V{{"A", 8}, {"B", 12}}));
  EXPECT_EQ(Variables(sql, true), (V{{"A", 8}, {"B", 12}, {"A", 16}}));
  EXPECT_EQ(Variables("begin :x := 1; end;", false), (V{{"X", 7}}));
  EXPECT_EQ(Variables("begin x := 1; end;", false), V{});
  EXPECT_EQ(Variables("select 1 /* :hidden */ from t where a = :Visible_1$#", false),
            (V{{"VISIBLE_1$#", 41}}));
  // Positions count characters, and names may hold letters beyond ASCII.
  EXPECT_EQ(Variables("select 'ж' from t where a = :имя", false), (V{{"ИМЯ", 29}}));
  EXPECT_EQ(Variables("select a -- :no\r\nfrom t where b = :yes", false), (V{{"YES", 35}}));
}

TEST(FindVariables, TheCharacterEndingAVariableIsScannedAgain) {
  // A comment, a string or the next variable right after a name.
  EXPECT_EQ(Variables("select :a--:b\r\nfrom t", false), (V{{"A", 8}}));
  EXPECT_EQ(Variables("select :a':b' from t", false), (V{{"A", 8}}));
  EXPECT_EQ(Variables("select :a:b from t", false), (V{{"A", 8}, {"B", 10}}));
  EXPECT_EQ(Variables("select :a/*:b*/ from t", false), (V{{"A", 8}}));
  // A "--" comment of text with LF line ends ends at the LF.
  EXPECT_EQ(Variables("select a -- c\nfrom t where b = :v", false), (V{{"V", 32}}));
}

TEST(RemoveSQLComments, CommentsGoLineBreaksStay) {
  EXPECT_EQ(RemoveSQLComments("select 1 /* c */ from dual -- x"), "select 1  from dual");
  EXPECT_EQ(RemoveSQLComments("  select '--not /* a */ comment' from t  "),
            "select '--not /* a */ comment' from t");
  // The next line's first word is not glued to the text before a "--" comment.
  EXPECT_EQ(RemoveSQLComments("select a--c\r\nfrom t"), "select a\r\nfrom t");
  EXPECT_EQ(RemoveSQLComments("select a--c\nfrom t"), "select a\nfrom t");
  EXPECT_EQ(RemoveSQLComments("/* all */"), "");
  EXPECT_EQ(RemoveSQLComments("select 1 /* unterminated"), "select 1");
}

TEST(LogonStrings, QuotingSplittingAndRoles) {
  EXPECT_EQ(QuoteIfNeeded("SCOTT", ""), "SCOTT");
  EXPECT_EQ(QuoteIfNeeded("\"my user\"", ""), "\"my user\"");
  EXPECT_EQ(QuoteIfNeeded("my user", ""), "\"my user\"");
  EXPECT_EQ(QuoteIfNeeded("scott/tiger@db.world", "./@"), "scott/tiger@db.world");
  EXPECT_EQ(QuoteIfNeeded("пароль", ""), "пароль");

  std::string user, password, database, role;
  EXPECT_TRUE(SplitLogonString("scott/tiger@prod as sysdba", user, password, database, role));
  EXPECT_EQ(user, "scott");
  EXPECT_EQ(password, "tiger");
  EXPECT_EQ(database, "prod");
  EXPECT_EQ(role, "SYSDBA");
  EXPECT_FALSE(SplitLogonString("scott", user, password, database, role));
  EXPECT_EQ(user, "scott");
  EXPECT_TRUE(SplitLogonString("scott/\"a/b@c\"@db", user, password, database, role));
  EXPECT_EQ(password, "\"a/b@c\"");
  EXPECT_EQ(database, "db");
  SplitLogonString("scott/a/b@c\tAS\tsysoper", user, password, database, role);
  EXPECT_EQ(password, "ab");
  EXPECT_EQ(database, "c");
  EXPECT_EQ(role, "SYSOPER");
  // " as " inside quotes is part of a password, not a role.
  EXPECT_TRUE(SplitLogonString("scott/\"x as y\"@db", user, password, database, role));
  EXPECT_EQ(password + "|" + database + "|" + role, "\"x as y\"|db|");
  SplitLogonString("\"a as b\"/\"p as q\"@db as sysdba", user, password, database, role);
  EXPECT_EQ(user + "|" + password + "|" + database + "|" + role, "\"a as b\"|\"p as q\"|db|SYSDBA");
  // An empty text is built from the parts.
  user = "u";
  password = "p";
  database = "d";
  role = "SYSDBA";
  EXPECT_TRUE(SplitLogonString("", user, password, database, role));
  EXPECT_EQ(user + "|" + password + "|" + database + "|" + role, "u|p|d|SYSDBA");

  EXPECT_EQ(ConnectAsToString(caSYSDBA), "SYSDBA");
  EXPECT_EQ(ConnectAsToString(caSYSOPER), "SYSOPER");
  EXPECT_EQ(ConnectAsToString(caNormal), "");
  EXPECT_EQ(StringToConnectAs("sysdba"), caSYSDBA);
  EXPECT_EQ(StringToConnectAs("normal"), caNormal);
}

TEST(DateCodec, SevenBytesBothWays) {
  uint8_t d[7];
  TDateTime t = EncodeDateTime(1999, 12, 31, 23, 59, 58, 700);
  DateTimeToOracleDate(d, t);
  EXPECT_EQ(std::vector<int>(d, d + 7), (std::vector<int>{119, 199, 12, 31, 24, 60, 59}));
  EXPECT_DOUBLE_EQ(OracleDateToDateTime(d), EncodeDateTime(1999, 12, 31, 23, 59, 58, 0));
  DateTimeToOracleDate(d, EncodeDate(1, 1, 1));
  EXPECT_EQ(std::vector<int>(d, d + 7), (std::vector<int>{100, 101, 1, 1, 1, 1, 1}));
  EXPECT_DOUBLE_EQ(OracleDateToDateTime(d), EncodeDate(1, 1, 1));
  // Year 0: the date part is -693594 and the time of day is subtracted from it.
  const uint8_t zero[7] = {100, 100, 1, 1, 13, 1, 1};
  EXPECT_DOUBLE_EQ(OracleDateToDateTime(zero), -693594.0 - 0.5);
  // An invalid day: the date part falls back, an invalid time counts as 0.
  const uint8_t bad[7] = {120, 101, 2, 30, 30, 1, 1};
  EXPECT_DOUBLE_EQ(OracleDateToDateTime(bad), -693594.0);
  OCIDate od{};
  od.OCIDateYYYY = 2024;
  od.OCIDateMM = 2;
  od.OCIDateDD = 29;
  od.OCIDateTime = {6, 30, 0};
  EXPECT_DOUBLE_EQ(OCIDateToDateTime(od), EncodeDateTime(2024, 2, 29, 6, 30, 0, 0));
  EXPECT_EQ(TimestampDescriptorType(SQLT_TIMESTAMP_TZ), static_cast<ub4>(OCI_DTYPE_TIMESTAMP_TZ));
  EXPECT_EQ(TimestampDescriptorType(SQLT_TIMESTAMP_LTZ), static_cast<ub4>(OCI_DTYPE_TIMESTAMP_LTZ));
  EXPECT_EQ(TimestampDescriptorType(SQLT_TIMESTAMP), static_cast<ub4>(OCI_DTYPE_TIMESTAMP));
}

TEST(ValueConversion, BuffersToVariants) {
  TVariant v;
  OracleValueToVariant("a\nb", SQLT_STR, 0, v, nullptr);
  EXPECT_EQ(v.AsString(), "a\r\nb");
  OracleValueToVariant("abc\0def", SQLT_AVC, 7, v, nullptr);
  EXPECT_EQ(v.AsString(), "abc");
  int32_t i = -42;
  OracleValueToVariant(&i, SQLT_INT, 4, v, nullptr);
  EXPECT_EQ(v.VarType(), varInteger);
  EXPECT_EQ(v.AsInteger(), -42);
  double d = 2.5;
  OracleValueToVariant(&d, SQLT_FLT, 8, v, nullptr);
  EXPECT_DOUBLE_EQ(v.AsDouble(), 2.5);
  OracleValueToVariant("lo\0ng", SQLT_LNG, 5, v, nullptr);
  EXPECT_EQ(v.AsString(), std::string("lo\0ng", 5));
  const uint8_t date[7] = {120, 124, 3, 1, 1, 1, 1};
  OracleValueToVariant(date, SQLT_DAT, 7, v, nullptr);
  EXPECT_EQ(v.VarType(), varDate);
  EXPECT_DOUBLE_EQ(v.AsDateTime(), EncodeDate(2024, 3, 1));
  OracleValueToVariant("\x01\x02\xff", SQLT_LBI, 3, v, nullptr);
  EXPECT_EQ(VariantBytesToString(v), "\x01\x02\xff");
  EXPECT_EQ(VarArrayHighBound(v, 1), 2);
  // Handles stay pointer-sized.
  void* handle = reinterpret_cast<void*>(uintptr_t{0x123456789abcULL});
  OracleValueToVariant(&handle, SQLT_BLOB, 8, v, nullptr);
  EXPECT_EQ(v.AsObject(), handle);
  OracleValueToVariant("x", 999, 1, v, nullptr);
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(VariantBytesToString(TVariant("text")), "");
  EXPECT_EQ(CountText(1, "record"), "1 record");
  EXPECT_EQ(CountText(2, "record"), "2 records");
  EXPECT_EQ(CountText(0, "row"), "0 rows");
}

TEST(OracleErrors, MessagesCodesAndWarnings) {
  EXPECT_EQ(EOracleMTSError("OraMTSSvcGet", 0).Message(), "OraMTSSvcGet");
  EXPECT_EQ(EOracleMTSError("OraMTSSvcGet", 4002).Message(),
            "MTS error 4002: failed logon to Oracle\r\nin function OraMTSSvcGet");
  EXPECT_EQ(EOracleMTSError("OraMTSSvcRel", 9999).Message(), "MTS error 9999: \r\nin function OraMTSSvcRel");
  EXPECT_EQ(MTSErrorText(1001), "no MTXDM.DLL available");
  EXPECT_EQ(MTSErrorText(6014), "error exporting trans.");
  EXPECT_EQ(MTSErrorText(5011), "synch. receive timedout");
  EXPECT_NO_THROW(CheckMTSStatus("f", 0));
  try {
    CheckMTSStatus("OraMTSSvcRel", 3006);
    FAIL();
  } catch (const EOracleMTSError& e) {
    EXPECT_EQ(e.ErrorCode(), 3006);
    EXPECT_EQ(e.Message(), "MTS error 3006: conn to Oracle broken\r\nin function OraMTSSvcRel");
  }
  EOracleWarning w("ORA-28002: x", 28002);
  EXPECT_STREQ(w.ClassName(), "EOracleWarning");
  EXPECT_EQ(w.ErrorCode(), 28002);
}

TEST(OracleErrors, WarningsListFromTheRegistry) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  reg.DeleteKey("\\SOFTWARE\\Corvane Labs");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Corvane Labs\\RVL\\Warnings", true));
  reg.WriteString("1", "1403");
  reg.WriteString("2", "*942");
  reg.WriteString("3", "28002");
  reg.WriteString("5", "54");
  reg.CloseKey();
  ReadWarnings();
  EXPECT_EQ(Warnings(), (std::vector<int>{1403, 28002}));
  reg.DeleteKey("\\SOFTWARE\\Corvane Labs");
  ReadWarnings();
  EXPECT_TRUE(Warnings().empty());
}

TEST(UserInterfaceAdapter, HeadlessDialogsCursorAndErrors) {
  auto& ui = HeadlessOracleUserInterface();
  ui.Clear();
  EXPECT_EQ(&OracleUserInterface(), &ui);
  EXPECT_TRUE(DialogButtonsFromLetters("NY") == DialogButtonsFromLetters("YN"));
  TOracleDialogButtons ync = DialogButtonsFromLetters("YNC");
  EXPECT_TRUE(ync.Contains(odbYes) && ync.Contains(odbNo) && ync.Contains(odbCancel) && !ync.Contains(odbOK));
  TOracleDialogButtons all = DialogButtonsFromLetters("xOIA");
  EXPECT_TRUE(all.Contains(odbOK) && all.Contains(odbIgnore) && all.Contains(odbAll) &&
              !all.Contains(odbYes));
  ui.ScriptDialogResults({oracle_ui::mrYes});
  EXPECT_EQ(ShowMessageDialog("Change password?", "YN"), 6);
  EXPECT_EQ(ShowMessageDialog("Again?", "YN"), oracle_ui::mrNo);
  EXPECT_EQ(ShowMessageDialog("Go on?", "YNC"), oracle_ui::mrCancel);
  ASSERT_EQ(ui.Dialogs().size(), 3u);
  EXPECT_EQ(ui.Dialogs()[0].Message, "Change password?");

  SetScreenCursor(oracle_ui::crHourGlass);
  EXPECT_EQ(GetScreenCursor(), -11);
  SetScreenCursor(0);
  EXPECT_EQ(ui.CursorHistory(), (std::vector<TCursor>{-11, 0}));
  try {
    throw Exception("boom");
  } catch (...) {
    HandleApplicationException(nullptr);
  }
  EXPECT_EQ(ui.Errors(), std::vector<std::string>{"boom"});
  TComponent form(nullptr);
  ui.AddApplicationComponent(&form);
  EXPECT_EQ(ApplicationComponentCount(), 1);
  EXPECT_EQ(ApplicationComponent(0), &form);
  EXPECT_EQ(ApplicationComponent(1), nullptr);
  OracleShowMessage("select 1");
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"select 1"});

  // Another interface takes over until it is removed again.
  THeadlessOracleUserInterface other;
  SetOracleUserInterface(&other);
  SetScreenCursor(5);
  EXPECT_EQ(other.GetScreenCursor(), 5);
  EXPECT_EQ(SetOracleUserInterface(nullptr), &other);
  EXPECT_EQ(&OracleUserInterface(), &ui);
  ui.Clear();
}

namespace {
// Puts fake entry points into the table for one test and restores it afterwards.
class FakeEntryPoints {
 public:
  FakeEntryPoints() : saved_(OCI) {}
  ~FakeEntryPoints() { OCI = saved_; }

 private:
  TOCIEntryPoints saved_;
};
}  // namespace

TEST(OracleErrors, TextIsCutAtTheLimitAndTheCodeComesFromTheClient) {
  FakeEntryPoints fake;
  OCI.OCIErrorGet = [](dvoid*, ub4, text*, sb4* code, text* buf, ub4 size, ub4) -> sword {
    *code = 6550;
    std::memset(buf, 'x', 2000);
    buf[2000] = 0;
    EXPECT_EQ(size, 4001u);
    return OCI_SUCCESS;
  };
  EOracleError e(nullptr, nullptr, reinterpret_cast<OCIError*>(16), 0);
  EXPECT_EQ(e.ErrorCode(), 6550);
  EXPECT_EQ(e.Message(), std::string(1023, 'x'));
  // A listed code is raised as a warning.
  SetWarnings({6550});
  EXPECT_THROW(RaiseOracleError(nullptr, reinterpret_cast<OCIError*>(16), nullptr), EOracleWarning);
  SetWarnings({});
  try {
    RaiseOracleError(nullptr, reinterpret_cast<OCIError*>(16), nullptr);
  } catch (const EOracleWarning&) {
    FAIL();
  } catch (const EOracleError& error) {
    EXPECT_EQ(error.ErrorCode(), 6550);
  }
}

TEST(ValueConversion, TimestampMillisecondsCarryIntoTheSeconds) {
  FakeEntryPoints fake;
  OCI.OCIDateTimeGetDate = [](dvoid*, OCIError*, const OCIDateTime*, sb2* y, ub1* m, ub1* d) -> sword {
    *y = 2020;
    *m = 1;
    *d = 31;
    return OCI_SUCCESS;
  };
  OCI.OCIDateTimeGetTime = [](dvoid*, OCIError*, OCIDateTime*, ub1* h, ub1* mi, ub1* s, ub4* fsec) -> sword {
    *h = 23;
    *mi = 59;
    *s = 59;
    *fsec = 999600000;
    return OCI_SUCCESS;
  };
  TDateTime value = 0;
  EXPECT_EQ(OCIDateTimeToDateTime(nullptr, nullptr, nullptr, value), OCI_SUCCESS);
  EXPECT_DOUBLE_EQ(value, EncodeDate(2020, 2, 1));
  OCI.OCIDateTimeGetTime = [](dvoid*, OCIError*, OCIDateTime*, ub1*, ub1*, ub1*, ub4*) -> sword {
    return OCI_ERROR;
  };
  EXPECT_EQ(OCIDateTimeToDateTime(nullptr, nullptr, nullptr, value), OCI_ERROR);
}
