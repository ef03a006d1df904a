// The ALL_/USER_/DBA_ views describe the instance's real tables, with the queries datasets send.
#include "SimTestUtil.h"

namespace simtest {
namespace {

class Dictionary : public SimTest {
 protected:
  Binds Owner(const std::string& table) {
    return {{"owner", Value::MakeText("SCOTT")}, {"table_name", Value::MakeText(table)}};
  }
};

TEST_F(Dictionary, KeysAndTheirColumns) {
  EXPECT_EQ(
      Query(*scott_,
            "select constraint_name from all_constraints\nwhere owner = :owner and table_name = :table_name\n"
            "and constraint_type in ('P', 'U')\norder by constraint_type",
            Owner("EMP")),
      (Rows{{"PK_EMP"}}));
  Binds b = Owner("EMP");
  b["constraint_name"] = Value::MakeText("PK_EMP");
  EXPECT_EQ(
      Query(*scott_,
            "select column_name from all_cons_columns\nwhere owner = :owner and table_name = :table_name\n"
            "and constraint_name = :constraint_name\norder by position",
            b),
      (Rows{{"EMPNO"}}));
  EXPECT_EQ(Query(*scott_,
                  "select constraint_name, column_name from sys.all_cons_columns\n"
                  "where owner = :owner and table_name = :table_name\nand constraint_name not like 'SYS_C%'\n"
                  "order by constraint_name, position",
                  Owner("EMP")),
            (Rows{{"FK_DEPTNO", "DEPTNO"}, {"PK_EMP", "EMPNO"}}));
  EXPECT_EQ(
      Query(
          *scott_,
          "select constraint_type, r_constraint_name, r_owner, search_condition\n  from sys.all_constraints\n"
          " where constraint_name = :constraint_name and owner = :owner\n   and status = 'ENABLED'",
          {{"constraint_name", Value::MakeText("FK_DEPTNO")}, {"owner", Value::MakeText("SCOTT")}}),
      (Rows{{"R", "PK_DEPT", "SCOTT", ""}}));
  EXPECT_EQ(Query(*scott_,
                  "select table_name, column_name from sys.all_cons_columns\n"
                  " where owner = :owner and constraint_name = :constraint_name\n order by position",
                  {{"owner", Value::MakeText("SCOTT")}, {"constraint_name", Value::MakeText("PK_DEPT")}}),
            (Rows{{"DEPT", "DEPTNO"}}));
}

TEST_F(Dictionary, ColumnsDefaultsAndChecks) {
  Exec(*scott_,
       "create table msg (id number(5) primary key, sal number(7,2) constraint sal_pos check (sal > 0), "
       "hiredate date default sysdate, name varchar2(20) not null)");
  EXPECT_EQ(Query(*scott_,
                  "select column_name, data_default from sys.all_tab_columns\n"
                  "where owner = :owner and table_name = :table_name\nand data_default is not null",
                  Owner("MSG")),
            (Rows{{"HIREDATE", "sysdate"}}));
  EXPECT_EQ(
      Query(*scott_,
            "select column_name, data_type, data_length, data_precision, data_scale, nullable, column_id "
            "from user_tab_columns where table_name = 'MSG' order by column_id"),
      (Rows{{"ID", "NUMBER", "22", "5", "0", "N", "1"},
            {"SAL", "NUMBER", "22", "7", "2", "Y", "2"},
            {"HIREDATE", "DATE", "7", "", "", "Y", "3"},
            {"NAME", "VARCHAR2", "20", "", "", "N", "4"}}));
  EXPECT_EQ(Query(*scott_,
                  "select constraint_type, search_condition from user_constraints where table_name = 'MSG' "
                  "order by constraint_type, constraint_name"),
            (Rows{{"C", "sal > 0"}, {"C", "\"NAME\" IS NOT NULL"}, {"P", ""}}));
  EXPECT_EQ(Query(*scott_, "select count(*) from user_cons_columns where constraint_name = 'SAL_POS'")[0][0],
            "1");
}

TEST_F(Dictionary, ObjectsTablesSequencesSynonymsAndUsers) {
  EXPECT_EQ(Query(*scott_, "select table_name from user_tables order by 1"),
            (Rows{{"BONUS"}, {"DEPT"}, {"EMP"}, {"SALGRADE"}}));
  EXPECT_EQ(Query(*scott_, "select sequence_name, last_number, increment_by from user_sequences"),
            (Rows{{"EMP_SEQ", "8000", "1"}}));
  EXPECT_EQ(Query(*scott_, "select sequence_owner from all_sequences where sequence_name = 'EMP_SEQ'"),
            (Rows{{"SCOTT"}}));
  EXPECT_EQ(Query(*scott_,
                  "select object_type, count(*) from all_objects where owner = 'SCOTT' group by object_type "
                  "order by 1"),
            (Rows{{"SEQUENCE", "1"}, {"TABLE", "4"}}));
  EXPECT_EQ(
      Query(*scott_, "select owner, table_owner, table_name from all_synonyms where synonym_name = 'DUAL'"),
      (Rows{{"PUBLIC", "SYS", "DUAL"}}));
  Exec(*scott_, "create synonym e for emp");
  EXPECT_EQ(Query(*scott_, "select synonym_name, table_owner, table_name from user_synonyms"),
            (Rows{{"E", "SCOTT", "EMP"}}));
  // what one user owns is not visible to another plain user
  Exec(*system_, "create table helpme (topic varchar2(50))");
  EXPECT_EQ(Query(*scott_, "select count(*) from all_tables where table_name = 'HELPME'")[0][0], "0");
  EXPECT_EQ(Query(*system_, "select owner from all_tables where table_name = 'HELPME'"), (Rows{{"SYSTEM"}}));
  EXPECT_EQ(
      Query(*scott_, "select count(*) from all_users where username in ('SYS', 'SYSTEM', 'SCOTT')")[0][0],
      "3");
  EXPECT_EQ(Query(*system_, "select account_status from dba_users where username = 'EXPIRED'"),
            (Rows{{"EXPIRED"}}));
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select count(*) from dba_objects"); }), 942);
  // the dictionary follows DDL at once
  Exec(*scott_, "drop table bonus");
  EXPECT_EQ(Query(*scott_, "select count(*) from user_tables where table_name = 'BONUS'")[0][0], "0");
  EXPECT_EQ(Query(*scott_, "select count(*) from user_tab_columns where table_name = 'BONUS'")[0][0], "0");
}

}  // namespace
}  // namespace simtest
