// Timestamps and LOB locators against the simulated instance: variables, columns, the stream over a
// LOB, temporary LOBs, persistent LOBs written through a locked row, and BFILEs.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/oracle/OracleTestSupport.h"

namespace {

class OracleLobTest : public ScottSessionTest {
 protected:
  // Writes `data` into the LOB in pieces of `piece` bytes.
  static void WriteInPieces(TLOBLocator* lob, const std::string& data, size_t piece) {
    for (size_t at = 0; at < data.size(); at += piece)
      ASSERT_EQ(lob->Write(data.data() + at, static_cast<int64_t>(std::min(piece, data.size() - at))),
                static_cast<int64_t>(std::min(piece, data.size() - at)));
  }
  static std::string ReadInPieces(TLOBLocator* lob, size_t piece) {
    std::string out, buf(piece, '\0');
    lob->SetPosition(0);
    for (;;) {
      int64_t n = lob->Read(buf.data(), static_cast<int64_t>(piece));
      if (n <= 0) break;
      out.append(buf.data(), static_cast<size_t>(n));
    }
    return out;
  }
};

// ---- Timestamps ------------------------------------------------------------------------------------

TEST_F(OracleLobTest, TimestampColumnsKeepFractionsAndZones) {
  Run(S(),
      "create table ts_t (id number, a timestamp(9), b timestamp with time zone, "
      "c timestamp with local time zone)");
  auto ins = Query(S(), "insert into ts_t values (1, :a, :b, :c)");
  ins->DeclareVariable("a", otTimestamp);
  ins->DeclareVariable("b", otTimestampTZ);
  ins->DeclareVariable("c", otTimestampLTZ);
  TOracleTimestamp a(S(), otTimestamp), c(S(), otTimestampLTZ);
  EXPECT_TRUE(a.IsNull());
  a.SetComponents(2024, 2, 29, 23, 59, 58, 123456789);
  EXPECT_FALSE(a.IsNull());
  c.SetAsDateTime(EncodeDateTime(2001, 1, 2, 3, 4, 5, 678));
  ins->SetComplexVariable("a", &a);
  ins->SetVariable("b", TVariant::FromDate(EncodeDateTime(1999, 12, 31, 12, 0, 0, 250)));
  ins->SetComplexVariable("c", &c);
  ins->Execute();
  // A zone given in the text is kept by WITH TIME ZONE and removed (into UTC) by LOCAL TIME ZONE.
  Run(S(), "insert into ts_t values (2, null, '2024-05-01 10:00:00.5 +05:30', '2024-05-01 10:00:00 +02:00')");

  auto q = Query(S(), "select a, b, c from ts_t order by id");
  q->Execute();
  EXPECT_EQ(q->FieldType(0), otTimestamp);
  EXPECT_EQ(q->FieldType(1), otTimestampTZ);
  EXPECT_EQ(q->FieldType(2), otTimestampLTZ);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", q->FieldAsDate(0)), "2024-02-29 23:59:58.123");
  auto* ta = static_cast<TOracleTimestamp*>(q->FieldData(0)->columnObject.get());
  auto* tb = static_cast<TOracleTimestamp*>(q->FieldData(1)->columnObject.get());
  auto* tc = static_cast<TOracleTimestamp*>(q->FieldData(2)->columnObject.get());
  ub4 fraction = 0;
  ub1 h, m, sec;
  ASSERT_EQ(OCI.OCIDateTimeGetTime(S()->EnvironmentHandle(), S()->ErrorHandle(), ta->Descriptor(), &h, &m,
                                   &sec, &fraction),
            OCI_SUCCESS);
  EXPECT_EQ(fraction, 123456789u);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", ta->AsDateTime()), "2024-02-29 23:59:58.123");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", tb->AsDateTime()), "1999-12-31 12:00:00.250");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", tc->AsDateTime()), "2001-01-02 03:04:05.678");
  q->Next();
  ASSERT_FALSE(q->Eof());
  EXPECT_TRUE(ta->IsNull());
  EXPECT_EQ(ta->AsDateTime(), 0);
  text buf[64];
  ub4 size = sizeof buf;
  ASSERT_EQ(OCI.OCIDateTimeToText(S()->EnvironmentHandle(), S()->ErrorHandle(), tb->Descriptor(),
                                  reinterpret_cast<const text*>("YYYY-MM-DD HH24:MI:SS.FF3 TZR"), 29, 0,
                                  nullptr, 0, &size, buf),
            OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size), "2024-05-01 10:00:00.500 +05:30");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", tc->AsDateTime()), "2024-05-01 08:00:00");
  q->Next();
  EXPECT_TRUE(q->Eof());
}

TEST_F(OracleLobTest, TimestampVariablesComeBackFromPlSql) {
  // A date-time given to a timestamp variable goes in through a timestamp the query makes, and
  // the value comes back the same way.
  auto copy = Query(S(), "begin :o := :i; end;");
  copy->DeclareVariable("i", otTimestamp);
  copy->DeclareVariable("o", otTimestamp);
  copy->SetVariable("i", TVariant::FromDate(EncodeDateTime(2010, 6, 7, 8, 9, 10, 500)));
  copy->Execute();
  TVariant out = copy->GetVariable("o");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", out.AsDateTime()), "2010-06-07 08:09:10.500");
}

TEST_F(OracleLobTest, TimestampNeedsAConnectedSession) {
  TOracleSession offline(nullptr);
  EXPECT_EQ(Raised([&] { TOracleTimestamp t(&offline, otTimestamp); }),
            "Can only create TOracleTimestamp instance if Session is connected");
}

// ---- LOB locators ----------------------------------------------------------------------------------

TEST_F(OracleLobTest, LocatorChecksSessionAndType) {
  TOracleSession offline(nullptr);
  EXPECT_EQ(Raised([&] { TLOBLocator l(&offline, otCLOB); }), "Not logged on");
  EXPECT_EQ(Raised([&] { TLOBLocator l(S(), otString); }), "Type must be otCLOB, otBLOB or otBFile");
  TLOBLocator lob(S(), otCLOB);
  EXPECT_TRUE(lob.IsNull());
  EXPECT_EQ(lob.Length(), 0);
  char c;
  EXPECT_EQ(lob.Read(&c, 1), 0);
  // Writing through a locator that points at no LOB is the server's error.
  EXPECT_EQ(OracleCode([&] { lob.Write("x", 1); }), 22275);
  auto q = Query(S(), "begin null; end;");
  q->DeclareVariable("l", otBLOB);
  EXPECT_EQ(Raised([&] { q->Execute(); }), "LOB variable :L cannot be nil");
}

TEST_F(OracleLobTest, TenMegabytesRoundTripInPieces) {
  Run(S(), "create table big (id number, c clob, b blob)");
  std::mt19937 rng(7);
  std::string text(10 * 1024 * 1024, ' '), bytes(10 * 1024 * 1024, '\0');
  for (char& ch : text) ch = static_cast<char>('a' + rng() % 26);
  for (char& ch : bytes) ch = static_cast<char>(rng() & 0xFF);
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  std::unique_ptr<TLOBLocator> b(TLOBLocator::CreateTemporary(S(), false, otBLOB));
  EXPECT_TRUE(c->IsTemporary());
  WriteInPieces(c.get(), text, 32 * 1024);
  WriteInPieces(b.get(), bytes, 32 * 1024);
  EXPECT_EQ(c->Length(), static_cast<int64_t>(text.size()));
  auto ins = Query(S(), "insert into big values (1, :c, :b)");
  ins->DeclareVariable("c", otCLOB);
  ins->DeclareVariable("b", otBLOB);
  ins->SetComplexVariable("c", c.get());
  ins->SetComplexVariable("b", b.get());
  ins->Execute();
  S()->Commit();

  auto sel = Query(S(), "select c, b from big");
  sel->Execute();
  ASSERT_FALSE(sel->Eof());
  auto* rc = static_cast<TLOBLocator*>(sel->LOBField(0));
  auto* rb = static_cast<TLOBLocator*>(sel->LOBField(1));
  EXPECT_FALSE(rc->IsTemporary());
  EXPECT_EQ(rc->Size(), static_cast<int64_t>(text.size()));
  EXPECT_TRUE(ReadInPieces(rc, 32 * 1024) == text);
  EXPECT_TRUE(ReadInPieces(rb, 32 * 1024) == bytes);
}

TEST_F(OracleLobTest, GrowTrimAndSeekFollowTheFillRules) {
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  c->Write("0123456789", 10);
  c->SetSize(20);
  EXPECT_EQ(c->AsString(), "0123456789" + std::string(10, ' '));
  c->SetSize(4);
  EXPECT_EQ(c->AsString(), "0123");
  c->SetSize(4);
  EXPECT_EQ(c->Length(), 4);

  std::unique_ptr<TLOBLocator> b(TLOBLocator::CreateTemporary(S(), true, otBLOB));
  std::string hundred(100, 'x');
  b->Write(hundred.data(), 100);
  EXPECT_EQ(b->Seek(0, soFromEnd), 100);
  char buf[8];
  EXPECT_EQ(b->Read(buf, 8), 0);
  b->SetSize(103);
  b->SetPosition(100);
  ASSERT_EQ(b->Read(buf, 8), 3);
  EXPECT_EQ(std::string(buf, 3), std::string(3, '\0'));
  // Writing past the end leaves a gap filled like growth.
  b->Seek(105, soFromBeginning);
  b->Write("z", 1);
  EXPECT_EQ(b->Length(), 106);
  EXPECT_EQ(Raised([&] {
              OCILobLocator* l = *b->LocatorAddress();
              if (OCI.OCILobTrim(S()->ServiceContext(), S()->ErrorHandle(), l, 500) != OCI_SUCCESS)
                RaiseOracleError(S(), S()->ErrorHandle(), nullptr);
            }).substr(0, 9),
            "ORA-22926");
}

TEST_F(OracleLobTest, EraseCopyAppendAndEquality) {
  OCISvcCtx* svc = S()->ServiceContext();
  OCIError* err = S()->ErrorHandle();
  std::unique_ptr<TLOBLocator> a(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  std::unique_ptr<TLOBLocator> b(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  a->Write("Hello, world", 12);
  b->Write("abc", 3);
  OCILobLocator* la = *a->LocatorAddress();
  OCILobLocator* lb = *b->LocatorAddress();
  ub4 amount = 5;
  ASSERT_EQ(OCI.OCILobErase(svc, err, la, &amount, 3), OCI_SUCCESS);
  EXPECT_EQ(amount, 5u);
  EXPECT_EQ(a->AsString(), "He     world");
  amount = 100;  // beyond the end: only what is there
  ASSERT_EQ(OCI.OCILobErase(svc, err, la, &amount, 11), OCI_SUCCESS);
  EXPECT_EQ(amount, 2u);
  ASSERT_EQ(OCI.OCILobCopy(svc, err, la, lb, 2, 3, 2), OCI_SUCCESS);  // "bc" at offset 3
  EXPECT_EQ(a->AsString(), "Hebc   wor  ");
  ASSERT_EQ(OCI.OCILobCopy(svc, err, lb, la, 2, 6, 1), OCI_SUCCESS);  // past the end: blanks between
  EXPECT_EQ(b->AsString(), "abc  He");
  ASSERT_EQ(OCI.OCILobAppend(svc, err, lb, lb), OCI_SUCCESS);
  EXPECT_EQ(b->AsString(), "abc  Heabc  He");
  boolean equal = 1;
  ASSERT_EQ(OCI.OCILobIsEqual(S()->EnvironmentHandle(), la, lb, &equal), OCI_SUCCESS);
  EXPECT_FALSE(equal);
  ASSERT_EQ(OCI.OCILobIsEqual(S()->EnvironmentHandle(), la, la, &equal), OCI_SUCCESS);
  EXPECT_TRUE(equal);
  // A BLOB and a CLOB do not mix.
  std::unique_ptr<TLOBLocator> bin(TLOBLocator::CreateTemporary(S(), true, otBLOB));
  EXPECT_EQ(OCI.OCILobAppend(svc, err, la, *bin->LocatorAddress()), OCI_ERROR);
  // A freed temporary LOB is no LOB any more.
  ASSERT_EQ(OCI.OCILobFreeTemporary(svc, err, lb), OCI_SUCCESS);
  EXPECT_TRUE(b->IsNull());
  EXPECT_EQ(OCI.OCILobFreeTemporary(svc, err, lb), OCI_ERROR);
}

TEST_F(OracleLobTest, PersistentLobIsWrittenThroughTheLockedRow) {
  Run(S(), "create table docs (id number primary key, body clob)");
  Run(S(), "insert into docs values (1, empty_clob())");
  Run(S(), "insert into docs values (2, null)");
  S()->Commit();
  {
    auto q = Query(S(), "select body from docs where id = 1");
    q->Execute();
    auto* lob = static_cast<TLOBLocator*>(q->LOBField(0));
    EXPECT_FALSE(lob->IsNull());
    EXPECT_EQ(lob->Length(), 0);
    EXPECT_EQ(OracleCode([&] { lob->Write("x", 1); }), 22920);  // the row is not locked
  }
  {
    auto q = Query(S(), "select body from docs where id = 1 for update");
    q->Execute();
    auto* lob = static_cast<TLOBLocator*>(q->LOBField(0));
    lob->Write("first line", 10);
    lob->SetSize(5);
    lob->Seek(0, soFromEnd);
    lob->Write(" and more", 9);
  }
  // The session's next statement sees what was written.
  auto check = Query(S(), "select body, id from docs order by id");
  check->Execute();
  EXPECT_EQ(static_cast<TLOBLocator*>(check->LOBField(0))->AsString(), "first and more");
  check->Next();
  EXPECT_TRUE(static_cast<TLOBLocator*>(check->LOBField(0))->IsNull());
  S()->Commit();
  auto other = Connect(false);
  auto seen = Query(other.get(), "select body from docs where id = 1");
  seen->Execute();
  EXPECT_EQ(static_cast<TLOBLocator*>(seen->LOBField(0))->AsString(), "first and more");
}

TEST_F(OracleLobTest, BufferedWritesWaitForTheFlush) {
  Run(S(), "create table buf (id number, b blob)");
  Run(S(), "insert into buf values (1, empty_blob())");
  auto q = Query(S(), "select b from buf for update");
  q->Execute();
  auto* lob = static_cast<TLOBLocator*>(q->LOBField(0));
  OCILobLocator* l = *lob->LocatorAddress();
  ASSERT_EQ(OCI.OCILobEnableBuffering(S()->ServiceContext(), S()->ErrorHandle(), l), OCI_SUCCESS);
  lob->Write("\x01\x02\x03", 3);
  auto len = [&] {
    auto c = Query(S(), "select b from buf");
    c->Execute();
    return static_cast<TLOBLocator*>(c->LOBField(0))->Length();
  };
  EXPECT_EQ(len(), 0);  // still the empty LOB on the server
  ASSERT_EQ(OCI.OCILobFlushBuffer(S()->ServiceContext(), S()->ErrorHandle(), l, 0), OCI_SUCCESS);
  EXPECT_EQ(len(), 3);
  ASSERT_EQ(OCI.OCILobDisableBuffering(S()->ServiceContext(), S()->ErrorHandle(), l), OCI_SUCCESS);
}

TEST_F(OracleLobTest, BfileReadsAFileOfTheInstanceDirectory) {
  std::filesystem::path folder = std::string(getenv("TALVIK_SIM_DB")) + ".dir/DOCS";
  std::filesystem::create_directories(folder);
  {
    std::ofstream f(folder / "readme.txt", std::ios::binary);
    f << "file contents\n";
  }
  OCIEnv* env = S()->EnvironmentHandle();
  OCISvcCtx* svc = S()->ServiceContext();
  OCIError* err = S()->ErrorHandle();
  TLOBLocator file(S(), otBFile);
  OCILobLocator* l = *file.LocatorAddress();
  ASSERT_EQ(OCI.OCILobFileSetName(env, err, &l, reinterpret_cast<const text*>("DOCS"), 4,
                                  reinterpret_cast<const text*>("readme.txt"), 10),
            OCI_SUCCESS);
  boolean exists = 0;
  ASSERT_EQ(OCI.OCILobFileExists(svc, err, l, &exists), OCI_SUCCESS);
  EXPECT_TRUE(exists);
  EXPECT_FALSE(file.FileIsOpen());
  EXPECT_EQ(file.Length(), 14);
  EXPECT_EQ(file.AsString(), "file contents\n");  // opened on demand
  EXPECT_TRUE(file.FileIsOpen());
  file.CloseFile();
  EXPECT_FALSE(file.FileIsOpen());
  text dir[30], name[30];
  ub2 dl = 30, nl = 30;
  ASSERT_EQ(OCI.OCILobFileGetName(env, err, l, dir, &dl, name, &nl), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name), nl), "readme.txt");
  // Files are read only, and a missing file fails when opened.
  EXPECT_EQ(OracleCode([&] { file.Write("x", 1); }), 22286);
  ASSERT_EQ(OCI.OCILobFileSetName(env, err, &l, reinterpret_cast<const text*>("DOCS"), 4,
                                  reinterpret_cast<const text*>("missing"), 7),
            OCI_SUCCESS);
  ASSERT_EQ(OCI.OCILobFileExists(svc, err, l, &exists), OCI_SUCCESS);
  EXPECT_FALSE(exists);
  char c;
  EXPECT_EQ(OracleCode([&] { file.Read(&c, 1); }), 22288);
  EXPECT_EQ(OCI.OCILobFileSetName(env, err, &l, reinterpret_cast<const text*>("DOCS"), 4,
                                  reinterpret_cast<const text*>("../x"), 4),
            OCI_ERROR);
}

}  // namespace

namespace {

// ---- Cursor variables ------------------------------------------------------------------------------

TEST_F(OracleLobTest, CursorVariableIsFetchedAsAQuery) {
  Run(S(), "create table cv (n number, s varchar2(10))");
  Run(S(), "insert into cv values (1, 'one')");
  Run(S(), "insert into cv values (2, 'two')");
  Run(S(), "insert into cv values (3, 'three')");
  auto block =
      Query(S(),
            "declare lim number := 2; begin open :c for select n, s from cv where n >= :low and n <= lim "
            "order by n; end;");
  block->DeclareVariable("c", otCursor);
  block->DeclareVariable("low", otInteger);
  TOracleQuery target(nullptr);
  target.SetSession(S());
  block->SetComplexVariable("c", &target);
  block->SetVariable("low", 1);
  block->Execute();
  target.Execute();
  ASSERT_EQ(target.FieldCount(), 2);
  std::vector<std::string> rows;
  for (; !target.Eof(); target.Next())
    rows.push_back(target.FieldAsString(0) + ":" + target.FieldAsString(1));
  EXPECT_EQ(rows, (std::vector<std::string>{"1:one", "2:two"}));
  // Run again with another bound value: the same query object gets a fresh cursor.
  block->SetVariable("low", 2);
  block->Execute();
  target.Execute();
  ASSERT_FALSE(target.Eof());
  EXPECT_EQ(target.FieldAsString(1), "two");
  target.Next();
  EXPECT_TRUE(target.Eof());
  auto nil = Query(S(), "begin open :c for select 1 from dual; end;");
  nil->DeclareVariable("c", otCursor);
  EXPECT_EQ(Raised([&] { nil->Execute(); }), "Cursor variable :C cannot be nil");
}

}  // namespace

namespace {

TEST_F(OracleLobTest, FieldReadsLobAndTimestampColumnsWhole) {
  Run(S(), "create table fv (c clob, b blob, t timestamp)");
  Run(S(), "insert into fv values ('some text', hextoraw('00FF10'), '2022-03-04 05:06:07.25')");
  Run(S(), "insert into fv values (empty_clob(), empty_blob(), null)");
  auto q = Query(S(), "select c, b, t from fv");
  q->Execute();
  EXPECT_EQ(q->Field(0).AsString(), "some text");
  EXPECT_EQ(q->FieldAsString(0), "some text");
  TVariant bytes = q->Field(1);
  ASSERT_TRUE(VarIsArray(bytes));
  EXPECT_EQ(bytes.Bytes(), std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", q->Field(2).AsDateTime()), "2022-03-04 05:06:07.250");
  EXPECT_EQ(q->FieldAsString(2), FormatDateTime("ddddd tt", q->FieldAsDate(2)));
  q->Next();
  // An empty LOB reads as no value, like a null one.
  EXPECT_TRUE(VarIsEmpty(q->Field(0)));
  EXPECT_TRUE(VarIsEmpty(q->Field(1)));
  EXPECT_TRUE(VarIsEmpty(q->Field(2)));
}

}  // namespace

namespace {

TEST_F(OracleLobTest, TimestampCallsCheckTheirArguments) {
  OCIEnv* env = S()->EnvironmentHandle();
  OCIError* err = S()->ErrorHandle();
  TOracleTimestamp t(S(), otTimestampTZ);
  // Invalid dates and zones are the server's errors; the object stays as it was.
  EXPECT_EQ(OracleCode([&] { t.SetComponents(2023, 2, 29, 0, 0, 0, 0); }), 1858);
  EXPECT_TRUE(t.IsNull());
  EXPECT_EQ(OCI.OCIDateTimeConstruct(env, err, t.Descriptor(), 2023, 1, 1, 0, 0, 0, 0,
                                     reinterpret_cast<text*>(const_cast<char*>("+25:00")), 6),
            OCI_ERROR);
  ASSERT_EQ(OCI.OCIDateTimeConstruct(env, err, t.Descriptor(), 2023, 1, 1, 12, 30, 0, 5000,
                                     reinterpret_cast<text*>(const_cast<char*>("-03:30")), 6),
            OCI_SUCCESS);
  TOracleTimestamp copy(S(), otTimestamp);
  ASSERT_EQ(OCI.OCIDateTimeAssign(env, err, t.Descriptor(), copy.Descriptor()), OCI_SUCCESS);
  text buf[64];
  ub4 size = sizeof buf;
  ASSERT_EQ(OCI.OCIDateTimeToText(env, err, copy.Descriptor(), nullptr, 0, 6, nullptr, 0, &size, buf),
            OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size), "01-JAN-23 12.30.00.000005 PM");  // no zone kept
  size = 5;
  EXPECT_EQ(OCI.OCIDateTimeToText(env, err, copy.Descriptor(), nullptr, 0, 6, nullptr, 0, &size, buf),
            OCI_ERROR);
  const char* iso = "2001-02-03 04:05:06.7 +01:00";
  ASSERT_EQ(OCI.OCIDateTimeFromText(env, err, reinterpret_cast<const text*>(iso), std::strlen(iso), nullptr,
                                    0, nullptr, 0, t.Descriptor()),
            OCI_SUCCESS);
  size = sizeof buf;
  ASSERT_EQ(OCI.OCIDateTimeToText(env, err, t.Descriptor(), reinterpret_cast<const text*>("YYYY TZH:TZM FF2"),
                                  16, 0, nullptr, 0, &size, buf),
            OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size), "2001 +01:00 70");
  // A descriptor that is gone is reported as an invalid handle.
  t.Attach(nullptr, false, true, otTimestamp);
  EXPECT_EQ(Raised([&] { t.SetComponents(2000, 1, 1, 0, 0, 0, 0); }), "TOracleTimestamp: Invalid handle");
}

}  // namespace

namespace {

// ---- CLOB text of multi-byte characters ------------------------------------------------------------

// Two-, three- and four-byte characters among single-byte ones: 11 characters, 26 bytes.
const std::string kMixed = "Привет€😀abc";

TEST_F(OracleLobTest, ClobStreamCountsCharacters) {
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  EXPECT_EQ(c->Write(kMixed.data(), static_cast<int64_t>(kMixed.size())),
            static_cast<int64_t>(kMixed.size()));
  EXPECT_EQ(c->Position(), 11);  // the position counts characters
  EXPECT_EQ(c->Length(), 11);
  EXPECT_EQ(c->Seek(0, soFromEnd), 11);
  EXPECT_EQ(c->Size(), 11);
  // A read fills the buffer with whole characters only and moves by the characters read.
  char buf[16];
  c->SetPosition(4);
  ASSERT_EQ(c->Read(buf, 5), 4);  // "ет": a third character would not fit in 5 bytes
  EXPECT_EQ(std::string(buf, 4), "ет");
  EXPECT_EQ(c->Position(), 6);
  ASSERT_EQ(c->Read(buf, 16), 10);
  EXPECT_EQ(std::string(buf, 10), "€😀abc");
  EXPECT_EQ(c->Position(), 11);
  EXPECT_EQ(c->Read(buf, 16), 0);
  // Writing in the middle replaces characters, whatever their widths.
  c->SetPosition(1);
  c->Write("ыы", 4);
  EXPECT_EQ(c->Position(), 3);
  EXPECT_EQ(c->AsString(), "Пыывет€😀abc");
  // Growing writes one blank at the new last character; shrinking trims characters.
  c->SetSize(14);
  EXPECT_EQ(c->AsString(), "Пыывет€😀abc   ");
  c->SetSize(8);
  EXPECT_EQ(c->AsString(), "Пыывет€😀");
  EXPECT_EQ(c->Length(), 8);
}

TEST_F(OracleLobTest, ClobAsStringKeepsTextWiderThanTheSessionsBytesPerCharacter) {
  // The session says one byte per character, the text has up to four: nothing may be lost.
  ASSERT_EQ(S()->BytesPerChar(), 1);
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  std::string text;
  for (int i = 0; i < 50; ++i) text += "😀Ж\n";
  c->Write(text.data(), static_cast<int64_t>(text.size()));
  std::string expected;
  for (int i = 0; i < 50; ++i) expected += "😀Ж\r\n";
  EXPECT_EQ(c->AsString(), expected);
  // Detected from the instance, the bytes per character fit the widest character.
  S()->SetBytesPerCharacter(bcAutoDetect);
  EXPECT_EQ(S()->BytesPerChar(), 4);
  EXPECT_EQ(c->AsString(), expected);
}

TEST_F(OracleLobTest, MultiByteClobRoundTripsInPiecesOfWholeCharacters) {
  Run(S(), "create table mb (id number, c clob)");
  // About 3 MB of Cyrillic, three- and four-byte characters, written in pieces of at most 32 KB cut
  // at character boundaries.
  const std::string words[] = {"съешь ", "же ", "ещё ", "€uro ", "😀 ", "Ωmega\n"};
  std::mt19937 rng(11);
  std::string text;
  while (text.size() < 3 * 1024 * 1024) text += words[rng() % 6];
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  int64_t chars = 0;
  for (size_t at = 0; at < text.size();) {
    size_t n = std::min<size_t>(32 * 1024, text.size() - at);
    while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) --n;
    ASSERT_EQ(c->Write(text.data() + at, static_cast<int64_t>(n)), static_cast<int64_t>(n));
    at += n;
  }
  for (size_t i = 0; i < text.size(); ++i) chars += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  EXPECT_EQ(c->Length(), chars);
  auto ins = QueryWith(S(), "insert into mb values (1, :c)", "c", otCLOB, c.get());
  ins->Execute();

  auto sel = Query(S(), "select c, length(c) from mb");
  sel->Execute();
  auto* lob = static_cast<TLOBLocator*>(sel->LOBField(0));
  EXPECT_EQ(sel->FieldAsInteger(1), chars);
  EXPECT_EQ(lob->Length(), chars);
  std::string back, buf(32 * 1024, '\0');
  for (;;) {
    int64_t n = lob->Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    ASSERT_NE(static_cast<unsigned char>(buf[0]) & 0xC0, 0x80) << "a read began inside a character";
    back.append(buf.data(), static_cast<size_t>(n));
  }
  EXPECT_EQ(lob->Position(), chars);
  EXPECT_TRUE(back == text);
}

}  // namespace

namespace {

// ---- Locators from RETURNING -------------------------------------------------------------------------

TEST_F(OracleLobTest, ReturnedLocatorWritesTheNewRow) {
  Run(S(), "create table letters (id number, body clob)");
  auto ins = Query(S(), "insert into letters values (:id, empty_clob()) returning body into :body");
  ins->DeclareVariable("id", otInteger);
  ins->DeclareVariable("body", otCLOB);
  TLOBLocator body(S(), otCLOB);
  ins->SetComplexVariable("body", &body);
  ins->SetVariable("id", 1);
  ins->Execute();
  EXPECT_FALSE(body.IsNull());
  EXPECT_EQ(body.Length(), 0);
  const std::string text = "Дорогой друг,\nпишу тебе 😀";
  body.Write(text.data(), static_cast<int64_t>(text.size()));
  EXPECT_EQ(body.Length(), 25);

  auto other = Connect(false);
  auto seen = Query(other.get(), "select body from letters where id = 1");
  seen->Execute();
  EXPECT_TRUE(seen->Eof());  // not committed
  S()->Commit();
  seen->Execute();
  ASSERT_FALSE(seen->Eof());
  EXPECT_EQ(static_cast<TLOBLocator*>(seen->LOBField(0))->AsString(), "Дорогой друг,\r\nпишу тебе 😀");
  // The commit released the row: the locator no longer writes.
  EXPECT_EQ(OracleCode([&] { body.Write("!", 1); }), 22990);

  // UPDATE ... RETURNING: the locator of the changed row, written within the transaction.
  auto upd = QueryWith(S(), "update letters set id = 2 where id = 1 returning body into :body", "body",
                       otCLOB, &body);
  upd->Execute();
  body.SetSize(13);
  EXPECT_EQ(body.AsString(), "Дорогой друг,");
  S()->Rollback();
  seen->Execute();
  EXPECT_EQ(static_cast<TLOBLocator*>(seen->LOBField(0))->Length(), 25);

  // The same from a PL/SQL block.
  auto block =
      QueryWith(S(), "begin insert into letters values (3, empty_clob()) returning body into :body; end;",
                "body", otCLOB, &body);
  block->Execute();
  body.SetPosition(0);
  body.Write("ёж", 4);
  auto third = Query(S(), "select length(body) from letters where id = 3");
  third->Execute();
  EXPECT_EQ(third->FieldAsInteger(0), 2);
}

}  // namespace

namespace {

// ---- Complex variables through the host calls ----------------------------------------------------------

TEST_F(OracleLobTest, HostCallsFetchACursorVariableThroughItsCursorDataArea) {
  auto host = Connect(true);
  ASSERT_FALSE(host->HandleMode());
  Run(host.get(), "create table hc (n number, s varchar2(10))");
  for (int i = 1; i <= 30; ++i)
    Run(host.get(), "insert into hc values (" + std::to_string(i) + ", 'row" + std::to_string(i) + "')");
  auto block = Query(host.get(), "begin open :c for select n, s from hc where n > :low order by n; end;");
  block->DeclareVariable("c", otCursor);
  block->DeclareVariable("low", otInteger);
  TOracleQuery target(nullptr);
  target.SetReadBuffer(7);  // several fetch exchanges
  block->SetComplexVariable("c", &target);
  block->SetVariable("low", 20);
  block->Execute();
  target.Execute();
  ASSERT_EQ(target.FieldCount(), 2);
  EXPECT_EQ(target.FieldName(1), "S");
  std::vector<std::string> rows;
  for (; !target.Eof(); target.Next()) rows.push_back(target.FieldAsString(1));
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows.front(), "row21");
  EXPECT_EQ(rows.back(), "row30");
  // Executing the block again opens a new query into the same target.
  block->SetVariable("low", 28);
  block->Execute();
  target.Execute();
  ASSERT_FALSE(target.Eof());
  EXPECT_EQ(target.FieldAsInteger(0), 29);
  target.Next();
  target.Next();
  EXPECT_TRUE(target.Eof());
  auto nil = Query(host.get(), "begin open :c for select 1 from dual; end;");
  nil->DeclareVariable("c", otCursor);
  EXPECT_EQ(Raised([&] { nil->Execute(); }), "Cursor variable :C cannot be nil");
}

TEST_F(OracleLobTest, HostCallsHaveNoLobOrTimestampObjects) {
  // LOB locators and timestamps are objects of the handle calls: a host-call session makes none,
  // and a timestamp variable given a date-time needs one.
  auto host = Connect(true);
  EXPECT_EQ(Raised([&] { TLOBLocator lob(host.get(), otCLOB); }), "TLOBLocator: Invalid handle");
  EXPECT_EQ(Raised([&] { TOracleTimestamp ts(host.get(), otTimestamp); }),
            "TOracleTimestamp: Invalid handle");
  auto q = Query(host.get(), "begin :t := :t; end;");
  q->DeclareVariable("t", otTimestamp);
  q->SetVariable("t", TVariant::FromDate(EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)));
  EXPECT_EQ(Raised([&] { q->Execute(); }), "TOracleTimestamp: Invalid handle");
  // A locator made by a handle-call session is bound through the host calls as it is.
  Run(S(), "create table hl (c clob)");
  std::unique_ptr<TLOBLocator> c(TLOBLocator::CreateTemporary(S(), true, otCLOB));
  const std::string text = "через obndra";
  c->Write(text.data(), static_cast<int64_t>(text.size()));
  auto ins = QueryWith(host.get(), "insert into hl values (:c)", "c", otCLOB, c.get());
  ins->Execute();
  host->Commit();
  auto sel = Query(S(), "select c from hl");
  sel->Execute();
  EXPECT_EQ(sel->FieldAsString(0), "через obndra");
  // A LOB column has no locators to be fetched into.
  auto hostSel = Query(host.get(), "select c from hl");
  EXPECT_EQ(Raised([&] { hostSel->Execute(); }), "Unsupported type of column C");
  // Objects are handle-call objects as well.
  Run(S(), "create type pt as object (x number)");
  EXPECT_EQ(Raised([&] { TOracleObject o(host.get(), "PT"); }), "TOracleObject: Invalid handle");
}

}  // namespace

namespace {

// ---- BFILE columns -----------------------------------------------------------------------------------

TEST_F(OracleLobTest, BfileColumnIsReadThroughItsLocator) {
  std::filesystem::path folder = dir_ / "letters";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "one.txt", std::ios::binary) << "first\nletter";
  {
    auto sys = Connect(false, "system", "manager");
    Run(sys.get(), "create or replace directory letters as '" + folder.string() + "'");
  }
  Run(S(), "create table mail (id number, doc bfile)");
  Run(S(), "insert into mail values (1, bfilename('LETTERS', 'one.txt'))");
  Run(S(), "begin insert into mail values (2, bfilename('LETTERS', 'two.txt')); end;");
  Run(S(), "insert into mail values (3, null)");
  auto q = Query(S(), "select doc from mail order by id");
  q->Execute();
  EXPECT_EQ(q->FieldType(0), otBFile);
  auto* doc = static_cast<TLOBLocator*>(q->LOBField(0));
  EXPECT_EQ(doc->LOBType(), otBFile);
  EXPECT_FALSE(doc->IsNull());
  EXPECT_FALSE(doc->FileIsOpen());
  EXPECT_EQ(doc->Size(), 12);
  char buf[16];
  ASSERT_EQ(doc->Read(buf, 5), 5);  // opened on demand
  EXPECT_EQ(std::string(buf, 5), "first");
  EXPECT_TRUE(doc->FileIsOpen());
  q->Next();  // the open file of the previous row is closed
  EXPECT_FALSE(doc->FileIsOpen());
  EXPECT_EQ(OracleCode([&] { doc->Read(buf, 1); }), 22288);
  q->Next();
  EXPECT_TRUE(doc->IsNull());
  EXPECT_EQ(doc->Read(buf, 1), 0);
}

}  // namespace
