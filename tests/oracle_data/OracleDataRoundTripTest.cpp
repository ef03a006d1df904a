// What the user types comes back exactly as typed: values written through a query or through the
// dataset and read again in a fresh session (Cyrillic text at its column's limit, mixed scripts,
// line breaks, dates, amounts); texts too long for their field are refused, not cut. Another
// session's change is never overwritten unseen: dates a second apart, amounts a cent apart and texts
// with line feeds in every locking mode; a row just inserted can be edited at once; a provider
// transaction whose session dies leaves nothing on screen that the server does not hold.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {

std::string Repeat(const std::string& Piece, int Count) {
  std::string s;
  for (int i = 0; i < Count; ++i) s += Piece;
  return s;
}

// 60 Cyrillic letters: 120 bytes of UTF-8.
const std::string kCyrillic60 = Repeat("Жёлтый", 10);
// 20 characters of 1, 2, 3 and 4 bytes.
const std::string kMixedScripts = "Ab Жук Ωμέγα 漢字 🙂 ok";

TDateTime Moment(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  return EncodeDate(Year, Month, Day) + EncodeTime(Hour, Minute, Second, 0);
}

// A value as a test reads it: texts as they are, dates to the second, numbers in full.
std::string Shown(const TVariant& V) {
  if (V.IsNull() || V.IsEmpty()) return "<null>";
  if (V.VarType() == varDate) return FormatDateTime("yyyy-mm-dd hh:nn:ss", V.AsDateTime());
  if (V.VarType() == varDouble) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", V.AsDouble());
    return buf;
  }
  return V.AsString();
}

class RoundTripBase : public OracleDataTest {
 protected:
  std::unique_ptr<TOracleSession> Fresh(bool ConvertCRLF = true) {
    auto s = Connect(false);
    s->Preferences()->SetConvertCRLF(ConvertCRLF);
    return s;
  }
  // The row's V read through a query of Session.
  std::string ByQuery(TOracleSession* Session, int Id) {
    auto q = Query(Session, "select v from rt where id = :id");
    q->DeclareVariable("id", otInteger);
    q->SetVariable("id", Id);
    q->Execute();
    return q->Eof() ? "<no row>" : Shown(q->Field(0));
  }
  // The row's V read through a dataset of Session.
  std::string ByDataSet(TOracleSession* Session, int Id) {
    TOracleDataSet ds(nullptr);
    ds.SetSession(Session);
    ds.SQL()->SetText("select t.*, t.rowid from rt t where id = " + IntToStr(Id));
    ds.Open();
    if (ds.Eof()) return "<no row>";
    TField* v = ds.FieldByName("V");
    return v->IsBlob() ? (v->AsString().empty() ? "<null>" : v->AsString()) : Shown(v->Value());
  }
};

// ---- Round trips ------------------------------------------------------------------------------------

struct RoundTripCase {
  const char* name;
  const char* column;  // the type of column V
  TVariant typed;      // what the user gives
  TVariant expected;   // what comes back
  bool convertCRLF = true;
};

const RoundTripCase kRoundTrips[] = {
    {"CyrillicAtTheLimit", "varchar2(60)", TVariant(kCyrillic60), TVariant(kCyrillic60)},
    {"CyrillicOfFortyInAFortyColumn", "varchar2(40)", TVariant(kCyrillic60.substr(0, 80)),
     TVariant(kCyrillic60.substr(0, 80))},
    {"MixedScriptsOfOneToFourBytes", "varchar2(20)", TVariant(kMixedScripts), TVariant(kMixedScripts)},
    {"CyrillicInAFixedCharColumn", "char(6)", TVariant("Жёлтый"), TVariant("Жёлтый")},
    {"EmptyTextIsNull", "varchar2(10)", TVariant(""), TVariant::MakeNull()},
    {"NullText", "varchar2(10)", TVariant::MakeNull(), TVariant::MakeNull()},
    {"LineFeedComesBackAsCrLf", "varchar2(20)", TVariant("один\nдва"), TVariant("один\r\nдва")},
    {"CrLfStaysCrLf", "varchar2(20)", TVariant("один\r\nдва"), TVariant("один\r\nдва")},
    {"LineFeedKeptWithoutConversion", "varchar2(20)", TVariant("один\nдва"), TVariant("один\nдва"), false},
    {"CrLfKeptWithoutConversion", "varchar2(20)", TVariant("один\r\nдва"), TVariant("один\r\nдва"), false},
    {"ClobWithCyrillicAndLineFeeds", "clob", TVariant("строка\nещё " + kCyrillic60),
     TVariant("строка\r\nещё " + kCyrillic60)},
    {"ClobLineFeedsKeptWithoutConversion", "clob", TVariant("a\nб"), TVariant("a\nб"), false},
    {"DateToTheSecond", "date", TVariant::FromDate(Moment(2024, 2, 29, 23, 59, 59)),
     TVariant::FromDate(Moment(2024, 2, 29, 23, 59, 59))},
    {"DateBeforeTheEpochOfTheClient", "date", TVariant::FromDate(Moment(1812, 6, 24, 10, 30, 1)),
     TVariant::FromDate(Moment(1812, 6, 24, 10, 30, 1))},
    {"AmountOfTwelveDigits", "number(12,2)", TVariant(9999999999.99), TVariant(9999999999.99)},
    {"AmountWithCents", "number(12,2)", TVariant(123456789.01), TVariant(123456789.01)},
    {"AmountOfFifteenDigits", "number(15,2)", TVariant(1234567890123.45), TVariant(1234567890123.45)},
    {"AmountOfFifteenDigitsAndThreeDecimals", "number(15,3)", TVariant(999999999999.999),
     TVariant(999999999999.999)},
};

void PrintTo(const RoundTripCase& C, std::ostream* Out) {
  *Out << C.name;
}

class RoundTrip : public RoundTripBase, public ::testing::WithParamInterface<RoundTripCase> {
 protected:
  void SetUp() override {
    RoundTripBase::SetUp();
    session->Preferences()->SetConvertCRLF(GetParam().convertCRLF);
    Run(session.get(), std::string("create table rt (id number(9), v ") + GetParam().column + ")");
  }
  // Both reads in a fresh session, which has no memory of the write.
  void ExpectReadBack(int Id) {
    auto fresh = Fresh(GetParam().convertCRLF);
    const std::string expected = Shown(GetParam().expected);
    EXPECT_EQ(ByQuery(fresh.get(), Id), expected) << "through a query";
    EXPECT_EQ(ByDataSet(fresh.get(), Id), expected) << "through a dataset";
  }
};

TEST_P(RoundTrip, WrittenByAQuery) {
  auto ins = Query(session.get(), "insert into rt values (1, :v)");
  const TVariant& typed = GetParam().typed;
  const int type = typed.VarType() == varDate ? otDate : typed.VarType() == varDouble ? otFloat : otString;
  ins->DeclareVariable("v", type);
  ins->SetVariable("v", typed);
  ins->Execute();
  session->Commit();
  ExpectReadBack(1);
}

TEST_P(RoundTrip, TypedIntoTheDataSetAndPosted) {
  // One row edited, one inserted.
  Run(session.get(), "insert into rt (id) values (1)");
  session->Commit();
  auto ds = DataSet("select t.*, t.rowid from rt t order by id");
  ds->Open();
  ds->Edit();
  ds->FieldByName("V")->SetValue(GetParam().typed);
  ds->Post();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(2);
  ds->FieldByName("V")->SetValue(GetParam().typed);
  ds->Post();
  ExpectReadBack(1);
  ExpectReadBack(2);
  // The dataset that posted shows what was typed and can edit its rows again at once.
  for (int id : {1, 2}) {
    ASSERT_TRUE(ds->Locate("ID", TVariant(id), {}));
    ds->Edit();
    ds->FieldByName("ID")->SetAsInteger(id + 10);
    EXPECT_NO_THROW(ds->Post()) << "row " << id;
  }
}

INSTANTIATE_TEST_SUITE_P(Values, RoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Texts longer than their field -------------------------------------------------------------------

TEST_F(RoundTripBase, ATextLongerThanItsFieldIsRefusedAndChangesNothing) {
  Run(session.get(), "create table rt (id number(9), v varchar2(60), note varchar2(40))");
  Run(session.get(), "insert into rt values (1, 'было', 'old')");
  session->Commit();
  auto ds = DataSet("select t.*, t.rowid from rt t");
  ds->Open();
  TField* v = ds->FieldByName("V");
  TField* note = ds->FieldByName("NOTE");
  EXPECT_EQ(v->Size(), 60) << "sizes count characters";
  EXPECT_EQ(v->DisplayWidth(), 60);
  EXPECT_EQ(note->Size(), 40);
  ds->Edit();
  struct Case {
    TField* field;
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {v, kCyrillic60 + "ы", "Field 'V' cannot hold 61 characters: its size is 60"},
      {note, kCyrillic60.substr(0, 80) + kCyrillic60.substr(0, 82),
       "Field 'NOTE' cannot hold 81 characters: its size is 40"},
      {note, Repeat("🙂", 41), "Field 'NOTE' cannot hold 41 characters: its size is 40"},
  };
  for (const Case& c : cases) {
    std::string message;
    try {
      c.field->SetAsString(c.text);
    } catch (const EDatabaseError& e) {
      message = e.Message();
    }
    EXPECT_EQ(message, c.message);
  }
  EXPECT_EQ(v->AsString(), "было") << "the field keeps its value";
  EXPECT_EQ(note->AsString(), "old");
  v->SetAsString(kCyrillic60);
  ds->Post();
  auto fresh = Fresh();
  EXPECT_EQ(ByQuery(fresh.get(), 1), kCyrillic60);
}

TEST_F(RoundTripBase, AValueTheServerRefusesKeepsWhatWasTyped) {
  Run(session.get(), "create table rt (id number(9), v varchar2(60))");
  Run(session.get(), "insert into rt values (1, 'было')");
  session->Commit();
  auto ds = DataSet("select t.*, t.rowid from rt t");
  // A field wider than its column: the server, not the field, refuses the text.
  auto* v = new TStringField(ds.get());
  v->SetFieldName("V");
  v->SetSize(100);
  v->SetDataSet(ds.get());
  auto* id = new TIntegerField(ds.get());
  id->SetFieldName("ID");
  id->SetDataSet(ds.get());
  ds->Open();
  ds->Edit();
  const std::string typed = kCyrillic60 + "ы";
  v->SetAsString(typed);
  std::string message;
  try {
    ds->Post();
  } catch (const EDatabaseError& e) {
    message = e.Message();
  }
  EXPECT_NE(message.find("ORA-01401: inserted value too large for column"), std::string::npos) << message;
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(v->AsString(), typed) << "the record keeps the typed value";
  ds->Cancel();
  auto fresh = Fresh();
  EXPECT_EQ(ByQuery(fresh.get(), 1), "было");
}

// ---- Another session's changes -----------------------------------------------------------------------

// One row per case: session A changes it (or writes the same value again) and commits while the
// dataset of session B holds the old row; B then edits another column and posts.
struct ConflictCase {
  const char* what;
  const char* column;
  TVariant before, after;
  bool changed;  // whether the server now holds another value
};

const TDateTime kBase = Moment(2024, 3, 15, 13, 45, 27);
const ConflictCase kConflicts[] = {
    {"DATE one second later", "D", TVariant::FromDate(kBase), TVariant::FromDate(kBase + 1.0 / 86400), true},
    {"DATE one second earlier", "D", TVariant::FromDate(kBase), TVariant::FromDate(kBase - 1.0 / 86400),
     true},
    {"DATE at 23:59:58 one second later", "D", TVariant::FromDate(Moment(2024, 12, 31, 23, 59, 58)),
     TVariant::FromDate(Moment(2024, 12, 31, 23, 59, 59)), true},
    {"DATE at 00:00:00 one second later", "D", TVariant::FromDate(Moment(2025, 1, 1, 0, 0, 0)),
     TVariant::FromDate(Moment(2025, 1, 1, 0, 0, 1)), true},
    {"DATE at 07:07:07 one second earlier", "D", TVariant::FromDate(Moment(2023, 7, 7, 7, 7, 7)),
     TVariant::FromDate(Moment(2023, 7, 7, 7, 7, 6)), true},
    {"DATE before 1899 one second later", "D", TVariant::FromDate(Moment(1850, 5, 5, 12, 0, 30)),
     TVariant::FromDate(Moment(1850, 5, 5, 12, 0, 31)), true},
    {"DATE half a second later: the same second", "D", TVariant::FromDate(kBase),
     TVariant::FromDate(kBase + 0.5 / 86400), false},
    {"DATE half a second earlier: the second before", "D", TVariant::FromDate(kBase),
     TVariant::FromDate(kBase - 0.5 / 86400), true},
    {"DATE written again", "D", TVariant::FromDate(kBase), TVariant::FromDate(kBase), false},
    {"AMOUNT 123,456,789.01 plus a cent", "AMOUNT", TVariant(123456789.01), TVariant(123456789.02), true},
    {"AMOUNT 1,234,567,890.12 plus a cent", "AMOUNT", TVariant(1234567890.12), TVariant(1234567890.13), true},
    {"AMOUNT 9,999,999,999.99 less a cent", "AMOUNT", TVariant(9999999999.99), TVariant(9999999999.98), true},
    {"AMOUNT 0.01 less a cent", "AMOUNT", TVariant(0.01), TVariant(0.0), true},
    {"AMOUNT written again", "AMOUNT", TVariant(1234567890.12), TVariant(1234567890.12), false},
    {"NOTE with a line feed changed", "NOTE", TVariant("один\nдва"), TVariant("один\nтри"), true},
    {"NOTE with a line feed written again", "NOTE", TVariant("один\nдва"), TVariant("один\nдва"), false},
    {"NOTE Cyrillic at its limit changed in its last letter", "NOTE", TVariant(kCyrillic60.substr(0, 80)),
     TVariant(kCyrillic60.substr(0, 78) + "ы"), true},
};

const char* ModeName(TLockingModeOptions Mode) {
  switch (Mode) {
    case lmLockImmediate:
      return "LockImmediate";
    case lmCheckImmediate:
      return "CheckImmediate";
    case lmLockDelayed:
      return "LockDelayed";
    default:
      return "None";
  }
}

class Conflicts : public RoundTripBase, public ::testing::WithParamInterface<TLockingModeOptions> {};

TEST_P(Conflicts, AnotherSessionsChangeIsRefusedWhereTheModeChecks) {
  const TLockingModeOptions mode = GetParam();
  Run(session.get(),
      "create table conf (id number(9), d date, amount number(12,2), note varchar2(40), other number(9))");
  const int count = static_cast<int>(std::size(kConflicts));
  auto setter = [](TOracleSession* S, const ConflictCase& C, int Id, bool After) {
    auto q = Query(S, std::string("update conf set ") + C.column + " = :v where id = :id");
    const TVariant& v = After ? C.after : C.before;
    q->DeclareVariable("v", v.VarType() == varDate ? otDate : v.VarType() == varDouble ? otFloat : otString);
    q->DeclareVariable("id", otInteger);
    q->SetVariable("v", v);
    q->SetVariable("id", Id);
    q->Execute();
  };
  for (int i = 0; i < count; ++i) {
    Run(session.get(), "insert into conf (id, other) values (" + IntToStr(i) + ", 0)");
    setter(session.get(), kConflicts[i], i, false);
  }
  session->Commit();
  auto b = DataSet("select c.*, c.rowid from conf c order by id");
  b->SetLockingMode(mode);
  b->Open();
  {
    auto a = Connect(false);
    for (int i = 0; i < count; ++i) setter(a.get(), kConflicts[i], i, true);
    a->Commit();
  }
  const bool checksAtEdit = mode == lmLockImmediate || mode == lmCheckImmediate;
  const bool checksAtPost = mode == lmLockDelayed;
  for (int i = 0; i < count; ++i) {
    const ConflictCase& c = kConflicts[i];
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(b->Locate("ID", TVariant(i), {}));
    std::string failure;
    try {
      b->Edit();
      b->FieldByName("OTHER")->SetAsInteger(1);
      b->Post();
    } catch (const EDatabaseError& e) {
      failure = e.Message();
      b->Cancel();
    }
    const bool refused = c.changed && (checksAtEdit || checksAtPost);
    EXPECT_EQ(failure, refused ? "Record has been changed by another user" : "");
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Conflicts,
                         ::testing::Values(lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

// ---- A row just inserted ----------------------------------------------------------------------------

struct InsertedCase {
  const char* name;
  const char* column;
  bool convertCRLF;
};

void PrintTo(const InsertedCase& C, std::ostream* Out) {
  *Out << C.name;
}

class JustInserted : public RoundTripBase, public ::testing::WithParamInterface<InsertedCase> {};

TEST_P(JustInserted, TextWithALineFeedCanBeEditedAtOnceInEveryMode) {
  session->Preferences()->SetConvertCRLF(GetParam().convertCRLF);
  Run(session.get(), std::string("create table rt (id number(9), v ") + GetParam().column + ")");
  for (TLockingModeOptions mode : {lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone}) {
    SCOPED_TRACE(ModeName(mode));
    auto ds = DataSet("select t.*, t.rowid from rt t");
    ds->SetLockingMode(mode);
    ds->Open();
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(mode);
    ds->FieldByName("V")->SetAsString("первая\nвторая\rтретья\r\nчетвёртая ");
    ds->Post();
    std::string failure;
    try {
      ds->Edit();
      ds->FieldByName("ID")->SetAsInteger(mode + 10);
      ds->Post();
    } catch (const EDatabaseError& e) {
      failure = e.Message();
      ds->Cancel();
    }
    EXPECT_EQ(failure, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Columns, JustInserted,
                         ::testing::Values(InsertedCase{"Varchar2", "varchar2(60)", true},
                                           InsertedCase{"Varchar2WithoutConversion", "varchar2(60)", false},
                                           InsertedCase{"Clob", "clob", true},
                                           InsertedCase{"ClobWithoutConversion", "clob", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A provider transaction whose session dies -------------------------------------------------------

TEST_F(RoundTripBase, AProviderTransactionKilledInTheMiddleLeavesNothingUnsaved) {
  constexpr int kRows = 40, kKilledAt = 25;
  Run(session.get(), "create table rt (id number(9), v varchar2(20))");
  for (int i = 1; i <= kRows; ++i)
    Run(session.get(), "insert into rt values (" + IntToStr(i) + ", 'как было')");
  session->Commit();
  auto ds = DataSet("select t.*, t.rowid from rt t order by id");
  ds->Open();
  auto dba = Connect(false, "system", "manager");
  auto sid = Query(session.get(), "select userenv('SID') from dual");
  sid->Execute();
  auto serial = Query(dba.get(), "select serial# from v$session where sid = " + sid->FieldAsString(0));
  serial->Execute();
  const std::string kill =
      "alter system kill session '" + sid->FieldAsString(0) + "," + serial->FieldAsString(0) + "'";

  ds->PSStartTransaction();
  int killedCode = 0;
  for (int i = 1; i <= kRows && !killedCode; ++i) {
    if (i == kKilledAt) Run(dba.get(), kill);
    ASSERT_TRUE(ds->Locate("ID", TVariant(i), {}));
    try {
      ds->Edit();
      ds->FieldByName("V")->SetAsString("изменено " + IntToStr(i));
      ds->Post();
    } catch (const EDatabaseError& e) {
      ds->Cancel();
      killedCode = i;
      EXPECT_NE(e.Message().find("ORA-00028"), std::string::npos) << e.Message();
    }
  }
  ASSERT_EQ(killedCode, kKilledAt);
  EXPECT_EQ(OracleCode([&] { ds->PSEndTransaction(false); }), 3114) << "the rollback's error is reported";
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_FALSE(ds->PSInTransaction());
  int unchanged = 0;
  for (ds->First(); !ds->Eof(); ds->Next()) unchanged += ds->FieldByName("V")->AsString() == "как было";
  EXPECT_EQ(unchanged, kRows) << "the dataset shows what the server holds";
  auto fresh = Fresh();
  auto q = Query(fresh.get(), "select count(*) from rt where v = 'как было'");
  q->Execute();
  EXPECT_EQ(q->FieldAsInteger(0), kRows);
}

}  // namespace
