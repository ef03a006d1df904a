// LOB and BFILE values in the engine: directories, BFILE columns and BFILENAME, LENGTH of LOBs of
// multi-byte text and of bytes, and the rows a RETURNING clause came from.
#include "SimTestUtil.h"

namespace simtest {
namespace {

class EngineLob : public SimTest {};

TEST_F(EngineLob, DirectoriesAndBfileColumns) {
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "create directory docs as '/srv/docs'"); }), 1031);
  Exec(*system_, "create directory docs as '/srv/docs'");
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, "create directory docs as '/srv/other'"); }), 955);
  EXPECT_EQ(ErrorOf([&] { Exec(*system_, "create directory nope as nowhere"); }), 1780);
  Exec(*system_, "create or replace directory docs as '/srv/other'");
  EXPECT_EQ(Query(*scott_, "select owner, directory_name, directory_path from all_directories"),
            (Rows{{"SYS", "DOCS", "/srv/other"}}));
  std::string path;
  ASSERT_TRUE(scott_->DirectoryPath("DOCS", path));
  EXPECT_EQ(path, "/srv/other");
  EXPECT_FALSE(scott_->DirectoryPath("docs", path));  // names are exact

  Exec(*scott_, "create table files (id number, f bfile)");
  Exec(*scott_, "insert into files values (1, bfilename('DOCS', 'a.txt'))");
  Exec(*scott_,
       "declare f bfile; begin f := bfilename('DOCS', 'b' || '.txt'); insert into files values (2, f); end;");
  auto c = scott_->Prepare("select f from files order by id");
  ASSERT_EQ(c->Describe().size(), 1u);
  EXPECT_EQ(c->Describe()[0].type, oracle_sim::Ty::Bfile);
  EXPECT_EQ(c->Describe()[0].size, 530);
  c->Execute();
  std::vector<Value> row;
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].s, "DOCS/a.txt");
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].s, "DOCS/b.txt");
  EXPECT_EQ(Query(*scott_,
                  "select data_type, data_length from user_tab_columns where table_name = 'FILES' "
                  "and column_name = 'F'"),
            (Rows{{"BFILE", "530"}}));
}

TEST_F(EngineLob, LengthCountsCharactersOfTextAndBytesOfBinaryLobs) {
  Exec(*scott_, "create table l (c clob, b blob, r raw(4))");
  Exec(*scott_, "insert into l values ('Жук 😀', hextoraw('00FF0102'), hextoraw('00FF'))");
  // a RAW is measured as its text: two hexadecimal digits a byte
  EXPECT_EQ(Query(*scott_, "select length(c), lengthb(c), length(b), length(r) from l"),
            (Rows{{"5", "11", "4", "4"}}));
}

TEST_F(EngineLob, ReturningNamesTheRowsItCameFrom) {
  Exec(*scott_, "create table docs (id number, body clob)");
  auto ins =
      scott_->Prepare("insert into docs values (:id, empty_clob()) returning body, id + 1 into :b, :n");
  ins->BindByName("id", Value::MakeInt(7));
  ins->Execute();
  oracle_sim::ColumnDesc where;
  std::string rowid;
  ASSERT_TRUE(ins->ReturnedRow("b", where, rowid));
  EXPECT_EQ(where.schema + "." + where.table + "." + where.name, "SCOTT.DOCS.BODY");
  EXPECT_EQ(rowid, ins->LastRowid());
  EXPECT_FALSE(ins->ReturnedRow("n", where, rowid));  // an expression names no column
  Exec(*scott_, "insert into docs values (8, 'x')");
  auto upd = scott_->Prepare("update docs set id = id where id = 8 returning body into :b");
  upd->Execute();
  ASSERT_TRUE(upd->ReturnedRow("B", where, rowid));
  EXPECT_EQ(Query(*scott_, "select id from docs where rowid = :r", {{"r", Value::MakeText(rowid)}}),
            (Rows{{"8"}}));
  auto block = scott_->Prepare(
      "declare n number; begin update docs set id = id where id = 8 returning body, id into :b, n; end;");
  block->Execute();
  ASSERT_TRUE(block->ReturnedRow("b", where, rowid));
  EXPECT_EQ(where.name, "BODY");
  EXPECT_EQ(Query(*scott_, "select id from docs where rowid = :r", {{"r", Value::MakeText(rowid)}}),
            (Rows{{"8"}}));
  auto none = scott_->Prepare("update docs set id = id where id = 99 returning body into :b");
  none->Execute();
  EXPECT_FALSE(none->ReturnedRow("b", where, rowid));
}

}  // namespace
}  // namespace simtest
