// LOB locators of the client library against a simulated instance: CLOB text of multi-byte
// characters counted in characters, locators from RETURNING that write into their row, BFILE
// columns over the directories of the instance, and cursor variables through the host calls.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "OciConnection.h"

namespace {

// Two-, three- and four-byte characters among single-byte ones: 11 characters, 26 bytes.
const std::string kMixed = "Привет€😀abc";

class OciLobTest : public OciConnectedTest {
 protected:
  void SetUp() override { LogOn("scott", "tiger"); }
  void TearDown() override {
    for (OCILobLocator* l : lobs) oci.OCIDescriptorFree(l, OCI_DTYPE_LOB);
    OciConnectedTest::TearDown();
  }

  OCILobLocator* NewLob(ub4 type = OCI_DTYPE_LOB) {
    OCILobLocator* l = nullptr;
    EXPECT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&l), type, 0, nullptr), OCI_SUCCESS);
    if (type == OCI_DTYPE_LOB) lobs.push_back(l);
    return l;
  }
  OCILobLocator* TempClob(const std::string& text) {
    OCILobLocator* l = NewLob();
    EXPECT_EQ(
        oci.OCILobCreateTemporary(conn->svc, conn->err, l, 0, 1, OCI_TEMP_CLOB, 1, OCI_DURATION_SESSION),
        OCI_SUCCESS);
    if (!text.empty()) {
      EXPECT_EQ(Write(l, 1, text), OCI_SUCCESS) << conn->Message();
    }
    return l;
  }
  // Writes `bytes` at character `offset` in one piece; the characters written in `chars`.
  sword Write(OCILobLocator* l, ub4 offset, const std::string& bytes, ub4* chars = nullptr) {
    ub4 amount = static_cast<ub4>(bytes.size());
    sword rc = oci.OCILobWrite(conn->svc, conn->err, l, &amount, offset, const_cast<char*>(bytes.data()),
                               static_cast<ub4>(bytes.size()), OCI_ONE_PIECE, nullptr, nullptr, 0, 1);
    if (chars) *chars = amount;
    return rc;
  }
  // Reads `amount` characters from `offset` into a buffer of `capacity` bytes.
  std::string Read(OCILobLocator* l, ub4 offset, ub4 amount, ub4 capacity, sword* rc = nullptr) {
    std::string buf(capacity, '\0');
    sword s = oci.OCILobRead(conn->svc, conn->err, l, &amount, offset, buf.data(), capacity, nullptr, nullptr,
                             0, 1);
    if (rc) *rc = s;
    buf.resize(s == OCI_SUCCESS ? amount : 0);
    return buf;
  }
  std::string All(OCILobLocator* l) { return Read(l, 1, 0, 1 << 20); }
  // Defines the locator the first column of `st` is fetched into.
  void DefineLob(OCIStmt* st, OCILobLocator** l, ub2 type, sb2* ind) {
    OCIDefine* d = nullptr;
    EXPECT_EQ(
        oci.OCIDefineByPos(st, &d, conn->err, 1, l, sizeof *l, type, ind, nullptr, nullptr, OCI_DEFAULT),
        OCI_SUCCESS);
  }
  // The whole value of the LOB column a query gives first.
  std::string Fetch(const char* sql, ub2 type) {
    OCIStmt* st = conn->Prepare(sql);
    OCILobLocator* l = NewLob();
    sb2 ind = 0;
    DefineLob(st, &l, type, &ind);
    EXPECT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return ind == 0 ? All(l) : "(null)";
  }
  ub4 Length(OCILobLocator* l) {
    ub4 n = 0;
    EXPECT_EQ(oci.OCILobGetLength(conn->svc, conn->err, l, &n), OCI_SUCCESS) << conn->Message();
    return n;
  }

  std::vector<OCILobLocator*> lobs;
};

// ---- CLOB text of multi-byte characters ------------------------------------------------------------

TEST_F(OciLobTest, ClobAmountsAndOffsetsCountCharacters) {
  OCILobLocator* l = NewLob();
  ASSERT_EQ(oci.OCILobCreateTemporary(conn->svc, conn->err, l, 0, 1, OCI_TEMP_CLOB, 1, OCI_DURATION_SESSION),
            OCI_SUCCESS);
  ub4 chars = 0;
  ASSERT_EQ(Write(l, 1, kMixed, &chars), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(chars, 11u);  // the bytes go in, the characters come back
  EXPECT_EQ(Length(l), 11u);
  EXPECT_EQ(All(l), kMixed);

  // Reads ask for characters and give back the bytes in the buffer.
  EXPECT_EQ(Read(l, 5, 3, 100), "ет€");
  EXPECT_EQ(Read(l, 8, 1, 100), "😀");
  EXPECT_EQ(Read(l, 9, 100, 100), "abc");
  sword rc = 0;
  EXPECT_EQ(Read(l, 12, 1, 100, &rc), "");
  EXPECT_EQ(rc, OCI_NO_DATA);

  // A buffer too small for the characters asked for takes the whole ones that fit, never a part.
  EXPECT_EQ(Read(l, 1, 10, 5), "Пр");
  EXPECT_EQ(Read(l, 7, 2, 6), "€");
  EXPECT_EQ(Read(l, 8, 1, 3, &rc), "");
  EXPECT_EQ(rc, OCI_ERROR);  // not even one character fits
  EXPECT_EQ(conn->Code(), 24801);

  // Overwriting two two-byte characters by two one-byte ones keeps the length in characters.
  ASSERT_EQ(Write(l, 2, "ab", &chars), OCI_SUCCESS);
  EXPECT_EQ(chars, 2u);
  EXPECT_EQ(All(l), "Пabвет€😀abc");
  EXPECT_EQ(Length(l), 11u);
  // ... and by wider ones.
  ASSERT_EQ(Write(l, 9, "ЖЖ", &chars), OCI_SUCCESS);
  EXPECT_EQ(All(l), "Пabвет€😀ЖЖc");
  // A piece of a character is refused and changes nothing.
  EXPECT_EQ(Write(l, 1, std::string("\xD0", 1)), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 29275);
  EXPECT_EQ(Write(l, 1,
                  std::string("\x9F"
                              "a",
                              2)),
            OCI_ERROR);
  EXPECT_EQ(All(l), "Пabвет€😀ЖЖc");

  // Stray continuation bytes inside the text stay with the character before them.
  OCILobLocator* odd =
      TempClob(std::string("ab\x80\x80"
                           "cd",
                           6));
  EXPECT_EQ(Length(odd), 4u);
  EXPECT_EQ(Read(odd, 2, 1, 100), std::string("b\x80\x80", 3));
  EXPECT_EQ(Read(odd, 3, 5, 100), "cd");
  EXPECT_EQ(Read(odd, 1, 4, 3), "a");
  EXPECT_EQ(Read(odd, 5, 1, 100), "");
}

TEST_F(OciLobTest, ClobTrimEraseGapCopyAndAppendCountCharacters) {
  OCILobLocator* l = TempClob(kMixed);
  ASSERT_EQ(oci.OCILobTrim(conn->svc, conn->err, l, 7), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(All(l), "Привет€");
  EXPECT_EQ(oci.OCILobTrim(conn->svc, conn->err, l, 8), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 22926);

  // Erasing blanks characters: two of two bytes become two of one.
  ub4 amount = 2;
  ASSERT_EQ(oci.OCILobErase(conn->svc, conn->err, l, &amount, 5), OCI_SUCCESS);
  EXPECT_EQ(amount, 2u);
  EXPECT_EQ(All(l), "Прив  €");
  EXPECT_EQ(Length(l), 7u);

  // Writing past the end fills the gap with blanks, one per missing character.
  ASSERT_EQ(Write(l, 10, "ж"), OCI_SUCCESS);
  EXPECT_EQ(All(l), "Прив  €  ж");
  EXPECT_EQ(Length(l), 10u);

  OCILobLocator* src = TempClob("😀ä😀");
  ASSERT_EQ(oci.OCILobAppend(conn->svc, conn->err, l, src), OCI_SUCCESS);
  EXPECT_EQ(Length(l), 13u);
  // Copy counts characters on both sides: two from the source's second one, over the first two.
  ASSERT_EQ(oci.OCILobCopy(conn->svc, conn->err, l, src, 2, 1, 2), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(All(l), "ä😀ив  €  ж😀ä😀");
  EXPECT_EQ(Length(l), 13u);
  // Appending a LOB to itself doubles it.
  ASSERT_EQ(oci.OCILobAppend(conn->svc, conn->err, src, src), OCI_SUCCESS);
  EXPECT_EQ(Length(src), 6u);
  EXPECT_EQ(All(src), "😀ä😀😀ä😀");
}

// Gathers the pieces a streamed read hands to its callback.
struct Pieces {
  std::vector<std::string> got;
  std::vector<ub1> kinds;
  static sb4 Take(dvoid* ctx, const dvoid* buf, ub4 len, ub1 piece) {
    auto* p = static_cast<Pieces*>(ctx);
    p->got.emplace_back(static_cast<const char*>(buf), len);
    p->kinds.push_back(piece);
    return OCI_CONTINUE;
  }
};

TEST_F(OciLobTest, StreamedClobReadHandsOverWholeCharacters) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += kMixed;
  OCILobLocator* l = TempClob(text);
  Pieces p;
  char buf[7];
  ub4 amount = 0;  // all of it
  ASSERT_EQ(oci.OCILobRead(conn->svc, conn->err, l, &amount, 1, buf, sizeof buf, &p, Pieces::Take, 0, 1),
            OCI_SUCCESS)
      << conn->Message();
  EXPECT_EQ(amount, text.size());
  std::string joined;
  for (const std::string& piece : p.got) {
    ASSERT_FALSE(piece.empty());
    ASSERT_LE(piece.size(), sizeof buf);
    EXPECT_NE(static_cast<unsigned char>(piece[0]) & 0xC0, 0x80) << "a piece starts inside a character";
    joined += piece;
  }
  EXPECT_EQ(joined, text);
  EXPECT_EQ(p.kinds.front(), OCI_FIRST_PIECE);
  EXPECT_EQ(p.kinds.back(), OCI_LAST_PIECE);
}

// Hands a text to a piecewise write in pieces of a fixed number of bytes.
struct Feeder {
  std::string text;
  size_t at = 0, piece = 0;
  static sb4 Give(dvoid* ctx, dvoid* buf, ub4* len, ub1* piece) {
    auto* f = static_cast<Feeder*>(ctx);
    size_t n = std::min({f->piece, static_cast<size_t>(*len), f->text.size() - f->at});
    std::memcpy(buf, f->text.data() + f->at, n);
    f->at += n;
    *len = static_cast<ub4>(n);
    *piece = f->at == f->text.size() ? OCI_LAST_PIECE : OCI_NEXT_PIECE;
    return OCI_CONTINUE;
  }
};

TEST_F(OciLobTest, PiecewiseClobWritesMayCutCharactersBetweenPieces) {
  OCILobLocator* l = TempClob("");
  // Polling: each call gives a piece; "и" (D0 B8) is cut between the first and the second.
  std::string first = "Пр\xD0", second = "\xB8вет", last = "€😀";
  ub4 amount = 0;
  ASSERT_EQ(oci.OCILobWrite(conn->svc, conn->err, l, &amount, 1, first.data(), static_cast<ub4>(first.size()),
                            OCI_FIRST_PIECE, nullptr, nullptr, 0, 1),
            OCI_NEED_DATA)
      << conn->Message();
  ASSERT_EQ(oci.OCILobWrite(conn->svc, conn->err, l, &amount, 1, second.data(),
                            static_cast<ub4>(second.size()), OCI_NEXT_PIECE, nullptr, nullptr, 0, 1),
            OCI_NEED_DATA)
      << conn->Message();
  ASSERT_EQ(oci.OCILobWrite(conn->svc, conn->err, l, &amount, 1, last.data(), static_cast<ub4>(last.size()),
                            OCI_LAST_PIECE, nullptr, nullptr, 0, 1),
            OCI_SUCCESS)
      << conn->Message();
  EXPECT_EQ(All(l), "Привет€😀");
  EXPECT_EQ(Length(l), 8u);

  // With a callback, pieces of 5 bytes cut most characters; the whole text arrives.
  std::string text;
  for (int i = 0; i < 50; ++i) text += kMixed;
  Feeder f{text, 0, 5};
  char buf[5];
  ub4 n = sizeof buf;
  ub1 kind = 0;
  Feeder::Give(&f, buf, &n, &kind);  // the first piece
  amount = 0;
  ASSERT_EQ(
      oci.OCILobWrite(conn->svc, conn->err, l, &amount, 3, buf, n, OCI_FIRST_PIECE, &f, Feeder::Give, 0, 1),
      OCI_SUCCESS)
      << conn->Message();
  EXPECT_EQ(amount, 550u);  // characters
  EXPECT_EQ(All(l), "Пр" + text);
  // A last piece that ends inside a character is refused.
  std::string cut = "ok\xF0\x9F";
  ASSERT_EQ(oci.OCILobWrite(conn->svc, conn->err, l, &amount, 1, cut.data(), 3, OCI_FIRST_PIECE, nullptr,
                            nullptr, 0, 1),
            OCI_NEED_DATA);
  EXPECT_EQ(oci.OCILobWrite(conn->svc, conn->err, l, &amount, 1, cut.data() + 3, 1, OCI_LAST_PIECE, nullptr,
                            nullptr, 0, 1),
            OCI_ERROR);
  EXPECT_EQ(conn->Code(), 29275);
}

TEST_F(OciLobTest, PersistentClobOfWideCharactersAgreesWithSql) {
  ASSERT_EQ(conn->Run("create table notes (id number, body clob)"), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(conn->Run("insert into notes values (1, 'Съешь же ещё этих мягких булок')"), OCI_SUCCESS);
  OCIStmt* sel = conn->Prepare("select body from notes where id = 1 for update");
  OCILobLocator* l = NewLob();
  sb2 ind = 0;
  DefineLob(sel, &l, SQLT_CLOB, &ind);
  ASSERT_EQ(conn->Execute(sel, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(Length(l), 30u);
  EXPECT_EQ(Read(l, 7, 2, 10), "же");
  ASSERT_EQ(Write(l, 7, "😀😀"), OCI_SUCCESS);
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  // The next statement sees the row as written, measured by SQL in characters.
  EXPECT_EQ(conn->Scalar("select length(body) from notes where id = 1"), 30);
  EXPECT_EQ(conn->Scalar("select instr(body, '😀😀 ещё') from notes where id = 1"), 7);
}

// ---- Locators from RETURNING -------------------------------------------------------------------------

TEST_F(OciLobTest, LocatorsReturnedByDmlWriteIntoTheirRow) {
  ASSERT_EQ(conn->Run("create table docs (id number, body clob, pic blob)"), OCI_SUCCESS) << conn->Message();
  OCIStmt* ins = conn->Prepare(
      "insert into docs (id, body, pic) values (:id, empty_clob(), empty_blob()) returning body, pic into "
      ":c, :b");
  OCILobLocator* c = NewLob();
  OCILobLocator* b = NewLob();
  int id = 1;
  sb2 ci = -1, bi = -1;
  OCIBind* bind[3] = {};
  oci.OCIBindByName(ins, &bind[0], conn->err, T(":id"), -1, &id, sizeof id, SQLT_INT, nullptr, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  oci.OCIBindByName(ins, &bind[1], conn->err, T(":c"), -1, &c, sizeof c, SQLT_CLOB, &ci, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  oci.OCIBindByName(ins, &bind[2], conn->err, T(":b"), -1, &b, sizeof b, SQLT_BLOB, &bi, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(ci, 0);
  EXPECT_EQ(Length(c), 0u);
  ASSERT_EQ(Write(c, 1, "Привет"), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(Write(b, 1, std::string("\x00\x01\x02", 3)), OCI_SUCCESS) << conn->Message();
  // A second row through the same statement: each locator writes into its own row.
  id = 2;
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(Write(c, 1, "second"), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);
  EXPECT_EQ(conn->Scalar("select length(body) from docs where id = 1"), 6);
  EXPECT_EQ(Fetch("select pic from docs where id = 1", SQLT_BLOB), std::string("\x00\x01\x02", 3));
  EXPECT_EQ(conn->Scalar("select length(pic) from docs where id = 1"), 3);
  EXPECT_EQ(Fetch("select pic from docs where id = 2", SQLT_BLOB), "");
  EXPECT_EQ(conn->Scalar("select length(body) from docs where id = 2"), 6);

  // Another session sees the rows only when they are committed, with what was written.
  Connection other(oci, env);
  ASSERT_EQ(other.LogOn("scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(other.Scalar("select count(*) from docs"), 0);
  ASSERT_EQ(oci.OCITransCommit(conn->svc, conn->err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(other.Scalar("select count(*) from docs where body = 'Привет' or body = 'second'"), 2);
  // A locator of a row locked by a transaction that has ended writes no more.
  EXPECT_EQ(Write(b, 4, "x"), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 22990);

  // UPDATE ... RETURNING gives a locator of the updated row; writing appends at the end.
  OCIStmt* upd = conn->Prepare("update docs set id = 3 where id = 1 returning body into :c");
  oci.OCIBindByName(upd, &bind[0], conn->err, T(":c"), -1, &c, sizeof c, SQLT_CLOB, &ci, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(upd), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(Read(c, 1, 10, 100), "Привет");
  ASSERT_EQ(Write(c, 7, ", мир"), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(upd, OCI_HTYPE_STMT);
  EXPECT_EQ(conn->Scalar("select length(body) from docs where id = 3"), 11);
  EXPECT_EQ(other.Scalar("select length(body) from docs where id = 1"), 6);  // not committed yet
  ASSERT_EQ(oci.OCITransRollback(conn->svc, conn->err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(conn->Scalar("select length(body) from docs where id = 1"), 6);
  other.LogOff();
}

// ---- Cursor variables through the host calls ---------------------------------------------------------

TEST_F(OciLobTest, HostCallsOpenACursorVariableInTheBoundCursorDataArea) {
  ASSERT_EQ(conn->Run("create table cv (n number, s varchar2(10))"), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(conn->Run("insert into cv select rownum, 'r' || rownum from all_objects where rownum <= 5"),
            OCI_SUCCESS)
      << conn->Message();
  ASSERT_EQ(oci.OCITransCommit(conn->svc, conn->err, OCI_DEFAULT), OCI_SUCCESS);
  Lda_Def lda;
  ub1 hda[TALVIK_HDA_SIZE];
  text logon[] = "scott/tiger@SIM";
  ASSERT_EQ(oci.orlon(&lda, hda, logon, -1, nullptr, -1, 0), 0);
  Cda_Def block, target;
  std::memset(&target, 0, sizeof target);  // not opened: the bind opens it
  ASSERT_EQ(oci.oopen(&block, &lda, nullptr, -1, -1, nullptr, -1), 0);
  text sql[] = "begin open :c for select n, s from cv where n >= 3 order by n; end;";
  ASSERT_EQ(oci.oparse(&block, sql, -1, 0, 2), 0);
  text name[] = ":C";
  // The bound area must be a whole cursor data area other than the block's own.
  EXPECT_EQ(oci.obndra(&block, name, -1, reinterpret_cast<ub1*>(&target), 8, SQLT_CUR, -1, nullptr, nullptr,
                       nullptr, 0, nullptr, nullptr, -1, -1),
            1001);
  EXPECT_EQ(oci.obndra(&block, name, -1, reinterpret_cast<ub1*>(&block), sizeof block, SQLT_CUR, -1, nullptr,
                       nullptr, nullptr, 0, nullptr, nullptr, -1, -1),
            1001);
  ASSERT_EQ(oci.obndra(&block, name, -1, reinterpret_cast<ub1*>(&target), sizeof target, SQLT_CUR, -1,
                       nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oci.oexec(&block), 0) << block.rc;
  sb4 size = 0, nameLen = 30, dsize = 0;
  sb2 type = 0, prec = 0, scale = 0, nullok = 0;
  sb1 column[31] = {};
  ASSERT_EQ(oci.odescr(&target, 2, &size, &type, column, &nameLen, &dsize, &prec, &scale, &nullok), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(column), nameLen), "S");
  EXPECT_EQ(oci.odescr(&target, 3, &size, &type, column, &nameLen, &dsize, &prec, &scale, &nullok), 1007);
  int n[4] = {};
  sb2 ind[4] = {};
  ASSERT_EQ(oci.odefin(&target, 1, reinterpret_cast<ub1*>(n), sizeof n[0], SQLT_INT, -1, ind, nullptr, -1, -1,
                       nullptr, nullptr),
            0);
  EXPECT_EQ(oci.ofen(&target, 4), 1403);  // three rows, then the end
  EXPECT_EQ(target.rpc, 3u);
  EXPECT_EQ(n[0], 3);
  EXPECT_EQ(n[2], 5);
  EXPECT_EQ(oci.oclose(&target), 0);
  // Closed, the area no longer receives the query: the block reports the invalid cursor.
  EXPECT_NE(oci.oexec(&block), 0);
  EXPECT_EQ(block.rc, 1001);
  EXPECT_EQ(oci.oclose(&block), 0);
  EXPECT_EQ(oci.ologof(&lda), 0);
}

// ---- BFILE columns -----------------------------------------------------------------------------------

TEST_F(OciLobTest, BfileColumnsNameFilesOfADirectory) {
  std::filesystem::path folder = scratch.Dir() / "files";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "a.txt", std::ios::binary) << "Файл\n";
  // Directories are made by a DBA and seen by everyone.
  EXPECT_NE(conn->Run("create directory docs as '/tmp'"), OCI_SUCCESS);
  EXPECT_EQ(conn->Code(), 1031);
  Connection sys(oci, env);
  ASSERT_EQ(sys.LogOn("system", "manager"), OCI_SUCCESS) << sys.Message();
  ASSERT_EQ(sys.Run("create directory docs as '/nowhere'"), OCI_SUCCESS) << sys.Message();
  EXPECT_NE(sys.Run("create directory docs as '/tmp'"), OCI_SUCCESS);
  EXPECT_EQ(sys.Code(), 955);
  std::string replace = "create or replace directory docs as '" + folder.string() + "'";
  ASSERT_EQ(sys.Run(replace.c_str()), OCI_SUCCESS) << sys.Message();
  sys.LogOff();
  std::string seen =
      "select count(*) from all_directories where owner = 'SYS' and directory_name = 'DOCS' and "
      "directory_path = '" +
      folder.string() + "'";
  EXPECT_EQ(conn->Scalar(seen.c_str()), 1);

  ASSERT_EQ(conn->Run("create table files (id number, f bfile)"), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(conn->Run("insert into files values (1, bfilename('DOCS', 'a.txt'))"), OCI_SUCCESS)
      << conn->Message();
  ASSERT_EQ(conn->Run("insert into files values (2, bfilename('DOCS', 'missing.txt'))"), OCI_SUCCESS);
  ASSERT_EQ(
      conn->Run("declare f bfile := bfilename('NOPE', 'a.txt'); begin insert into files values (3, f); end;"),
      OCI_SUCCESS)
      << conn->Message();
  // A file locator bound as a value stores the file it names.
  OCILobLocator* named = NewLob(OCI_DTYPE_FILE);
  ASSERT_EQ(oci.OCILobFileSetName(env, conn->err, &named, T("DOCS"), 4, T("a.txt"), 5), OCI_SUCCESS);
  OCIStmt* ins = conn->Prepare("insert into files values (4, :f)");
  OCIBind* b = nullptr;
  oci.OCIBindByName(ins, &b, conn->err, T(":f"), -1, &named, sizeof named, SQLT_BFILEE, nullptr, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);
  oci.OCIDescriptorFree(named, OCI_DTYPE_FILE);

  OCIStmt* sel = conn->Prepare("select f from files order by id");
  ASSERT_EQ(conn->Execute(sel, 0), OCI_SUCCESS) << conn->Message();
  OCIParam* p = nullptr;
  ASSERT_EQ(oci.OCIParamGet(sel, OCI_HTYPE_STMT, conn->err, reinterpret_cast<dvoid**>(&p), 1), OCI_SUCCESS);
  ub2 type = 0, size = 0;
  oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, conn->err);
  oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, conn->err);
  EXPECT_EQ(type, SQLT_BFILEE);
  EXPECT_EQ(size, 530);
  OCILobLocator* file = NewLob(OCI_DTYPE_FILE);
  sb2 ind = 0;
  DefineLob(sel, &file, SQLT_BFILEE, &ind);
  auto fetch = [&] { return oci.OCIStmtFetch(sel, conn->err, 1, OCI_FETCH_NEXT, OCI_DEFAULT); };

  ASSERT_EQ(fetch(), OCI_SUCCESS) << conn->Message();
  text dir[30], name[30];
  ub2 dl = sizeof dir, nl = sizeof name;
  ASSERT_EQ(oci.OCILobFileGetName(env, conn->err, file, dir, &dl, name, &nl), OCI_SUCCESS);
  EXPECT_EQ(
      std::string(reinterpret_cast<char*>(dir), dl) + "/" + std::string(reinterpret_cast<char*>(name), nl),
      "DOCS/a.txt");
  boolean flag = 0;
  ASSERT_EQ(oci.OCILobFileExists(conn->svc, conn->err, file, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);
  EXPECT_EQ(Length(file), 9u);  // a file counts bytes
  std::string buf(32, '\0');
  ub4 amount = 0;
  EXPECT_EQ(oci.OCILobRead(conn->svc, conn->err, file, &amount, 1, buf.data(), 32, nullptr, nullptr, 0, 1),
            OCI_ERROR);  // not open
  EXPECT_EQ(conn->Code(), 22289);
  ASSERT_EQ(oci.OCILobFileOpen(conn->svc, conn->err, file, OCI_FILE_READONLY), OCI_SUCCESS)
      << conn->Message();
  amount = 0;
  ASSERT_EQ(oci.OCILobRead(conn->svc, conn->err, file, &amount, 1, buf.data(), 32, nullptr, nullptr, 0, 1),
            OCI_SUCCESS);
  EXPECT_EQ(buf.substr(0, amount), "Файл\n");
  ASSERT_EQ(oci.OCILobFileClose(conn->svc, conn->err, file), OCI_SUCCESS);

  // A file that is not there fails when opened, with the reason.
  ASSERT_EQ(fetch(), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(oci.OCILobFileExists(conn->svc, conn->err, file, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);
  EXPECT_EQ(oci.OCILobFileOpen(conn->svc, conn->err, file, OCI_FILE_READONLY), OCI_ERROR);
  EXPECT_EQ(conn->Message(), "ORA-22288: file or LOB operation FILEOPEN failed\nNo such file or directory");
  // A directory that does not exist is another error.
  ASSERT_EQ(fetch(), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(oci.OCILobFileOpen(conn->svc, conn->err, file, OCI_FILE_READONLY), OCI_ERROR);
  EXPECT_EQ(conn->Message(), "ORA-22285: non-existent directory or file for FILEOPEN operation");
  // The row stored from a bound locator.
  ASSERT_EQ(fetch(), OCI_SUCCESS) << conn->Message();
  dl = sizeof dir, nl = sizeof name;
  ASSERT_EQ(oci.OCILobFileGetName(env, conn->err, file, dir, &dl, name, &nl), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name), nl), "a.txt");
  EXPECT_EQ(fetch(), OCI_NO_DATA);
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  oci.OCIDescriptorFree(file, OCI_DTYPE_FILE);
}

}  // namespace
