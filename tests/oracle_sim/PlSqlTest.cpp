// Anonymous PL/SQL blocks of the shapes the program sends.
#include "SimTestUtil.h"

namespace simtest {
namespace {

using oracle_sim::Cursor;
using oracle_sim::StmtKind;

class PlSql : public SimTest {
 protected:
  std::unique_ptr<Cursor> Run(Session& s, const std::string& block, const Binds& binds = {}) {
    auto c = s.Prepare(block);
    for (auto& [k, v] : binds) c->BindByName(k, v);
    c->Execute();
    return c;
  }
};

TEST_F(PlSql, ApplicationInfoWithNamedParameter) {
  auto c =
      Run(*scott_, "begin\n  sys.dbms_application_info.set_client_info(client_info => :client_info);\nend;",
          {{"CLIENT_INFO", Value::MakeText("Talvik")}});
  EXPECT_EQ(c->Kind(), StmtKind::PlSql);
  EXPECT_EQ(c->FunctionCode(), 47);
  auto r = Run(*scott_, "begin dbms_application_info.read_client_info(:x); end;", {{"x", Value()}});
  EXPECT_EQ(r->OutValue("X").s, "Talvik");
  EXPECT_EQ(r->OutBindNames(), std::vector<std::string>{"X"});
  Run(*scott_, "begin dbms_application_info.set_module('mod', action_name => 'act'); end;");
  auto m =
      Run(*scott_, "begin dbms_application_info.read_module(:m, :a); end;", {{"m", Value()}, {"a", Value()}});
  EXPECT_EQ(m->OutValue("m").s, "mod");
  EXPECT_EQ(m->OutValue("a").s, "act");
  // the session row carries what the session set
  EXPECT_EQ(Query(*system_, "select count(*) from dual")[0][0], "1");
}

TEST_F(PlSql, FunctionResultsAndBooleanParameters) {
  auto c = Run(*scott_, "begin :x := to_char(sysdate, 'YYYY') || '-' || upper('a'); end;", {{"x", Value()}});
  EXPECT_EQ(c->OutValue("x").s.size(), 6u);
  const char* block =
      "declare\n"
      "  rvl__boolean1 boolean := sys.diutil.int_to_bool(:P1);\n"
      "  n number := 10;\n"
      "  s varchar2(20);\n"
      "begin\n"
      "  dbms_output.enable;\n"
      "  if rvl__boolean1 then\n"
      "    dbms_output.put_line('yes');\n"
      "  elsif rvl__boolean1 is null then\n"
      "    dbms_output.put_line('null');\n"
      "  else\n"
      "    dbms_output.put_line('no');\n"
      "  end if;\n"
      "  n := n / 4;\n"
      "  s := 'n=' || n;\n"
      "  :OUT := s;\n"
      "  :P1 := sys.diutil.bool_to_int(rvl__boolean1);\n"
      "end;";
  auto b = Run(*scott_, block, {{"P1", Value::MakeInt(1)}, {"OUT", Value()}});
  EXPECT_EQ(b->OutValue("P1").i, 1);
  EXPECT_EQ(b->OutValue("OUT").s, "n=2.5");
  Run(*scott_, block, {{"P1", Value::MakeInt(0)}, {"OUT", Value()}});
  Run(*scott_, block, {{"P1", Value()}, {"OUT", Value()}});
  EXPECT_EQ(scott_->PendingOutput(), (std::vector<std::string>{"yes", "no", "null"}));
  auto g = Run(*scott_, "begin dbms_output.get_lines(:lines, :n); end;",
               {{"lines", Value()}, {"n", Value::MakeInt(2)}});
  auto lines = g->OutArray("lines");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].s, "no");
  EXPECT_EQ(g->OutValue("n").i, 2);
  auto l = Run(*scott_, "begin dbms_output.get_line(:line, :status); end;",
               {{"line", Value()}, {"status", Value()}});
  EXPECT_EQ(l->OutValue("line").s, "null");
  EXPECT_EQ(l->OutValue("status").i, 0);
  l->Execute();
  EXPECT_EQ(l->OutValue("status").i, 1);
}

TEST_F(PlSql, UndeclaredIdentifiersGivePls00201) {
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "begin foo.bar(1); end;"); }, &text), 6550);
  EXPECT_EQ(text,
            "ORA-06550: line 1, column 7:\nPLS-00201: identifier 'FOO.BAR' must be declared\n"
            "ORA-06550: line 1, column 7:\nPL/SQL: Statement ignored");
  EXPECT_EQ(ErrorOf(
                [&] {
                  Run(*scott_, "begin\n  :x := nosuch + 1;\nend;", {{"x", Value()}});
                },
                &text),
            6550);
  EXPECT_EQ(text,
            "ORA-06550: line 2, column 9:\nPLS-00201: identifier 'NOSUCH' must be declared\n"
            "ORA-06550: line 2, column 9:\nPL/SQL: Statement ignored");
  // a plain user may not run the DBA package; SYSTEM may
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(10,1,TRUE); END;"); }),
            6550);
  Run(*system_, "BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(10,1,TRUE); END;");
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "begin :x := 1 end;", {{"x", Value()}}); }), 6550);
  EXPECT_EQ(ErrorOf(
                [&] {
                  Run(*scott_, "begin select ename into :x from nosuch; end;", {{"x", Value()}});
                },
                &text),
            6550);
  EXPECT_NE(text.find("PL/SQL: ORA-00942: table or view does not exist"), std::string::npos) << text;
}

TEST_F(PlSql, ResolvingATableNameThroughNestedHandlers) {
  const char* block =
      "begin\n"
      "  begin\n"
      "    select user, table_name into :table_owner, :table_name\n"
      "      from sys.user_tables where table_name = :name;\n"
      "  exception when no_data_found then\n"
      "    begin\n"
      "      select user, view_name into :table_owner, :table_name\n"
      "        from sys.user_views where view_name = :name;\n"
      "    exception when no_data_found then\n"
      "      begin\n"
      "        select table_owner, table_name into :table_owner, :table_name\n"
      "          from sys.user_synonyms where synonym_name = :name;\n"
      "      exception when no_data_found then\n"
      "        begin\n"
      "          select table_owner, table_name into :table_owner, :table_name\n"
      "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;\n"
      "        exception when no_data_found then\n"
      "          :table_owner := null; :table_name := null;\n"
      "        end;\n"
      "      end;\n"
      "    end;\n"
      "  end;\n"
      "end;";
  auto resolve = [&](const std::string& name) {
    auto c = Run(*scott_, block,
                 {{"name", Value::MakeText(name)}, {"table_owner", Value()}, {"table_name", Value()}});
    return c->OutValue("table_owner").ToText() + "." + c->OutValue("table_name").ToText();
  };
  EXPECT_EQ(resolve("EMP"), "SCOTT.EMP");
  EXPECT_EQ(resolve("DUAL"), "SYS.DUAL");
  EXPECT_EQ(resolve("NOSUCH"), ".");
  Exec(*scott_, "create view emp10 as select * from emp where deptno = 10");
  EXPECT_EQ(resolve("EMP10"), "SCOTT.EMP10");
  Exec(*scott_, "create synonym workers for emp");
  EXPECT_EQ(resolve("WORKERS"), "SCOTT.EMP");
  EXPECT_EQ(Query(*scott_, "select count(*) from workers")[0][0], "14");
  EXPECT_EQ(Query(*scott_, "select count(*) from emp10")[0][0], "3");
}

TEST_F(PlSql, CheckDefaultAndSelectIntoBlocks) {
  const char* check =
      "begin\n  if not (:SAL > 0) then\n    :error := 2290;\n  else\n    :error := 0;\n  end if;\nend;";
  EXPECT_EQ(Run(*scott_, check, {{"SAL", Value::MakeText("-5")}, {"error", Value()}})->OutValue("error").i,
            2290);
  EXPECT_EQ(Run(*scott_, check, {{"SAL", Value::MakeInt(5)}, {"error", Value()}})->OutValue("error").i, 0);
  auto rid = Query(*scott_, "select rowid from emp where empno = 7369")[0][0];
  const char* withRow =
      "begin\n"
      "  select ename, sal into :ENAME, :SAL from emp where rowid = :rvl__rowid;\n"
      "  if not (:SAL > 1000) then\n    :error := 2290;\n  else\n    :error := 0;\n  end if;\n"
      "exception\n  when others then :error := 0;\nend;";
  auto c =
      Run(*scott_, withRow,
          {{"ENAME", Value()}, {"SAL", Value()}, {"rvl__rowid", Value::MakeText(rid)}, {"error", Value()}});
  EXPECT_EQ(c->OutValue("ENAME").s, "SMITH");
  EXPECT_EQ(c->OutValue("error").i, 2290);
  auto d = Run(*scott_, "begin\n  :HIREDATE := sysdate;\nend;", {{"HIREDATE", Value()}});
  EXPECT_EQ(d->OutValue("HIREDATE").kind, Value::Date);
}

TEST_F(PlSql, ExceptionsPropagateWithTheirLine) {
  std::string text;
  EXPECT_EQ(ErrorOf(
                [&] {
                  Run(*scott_, "begin select ename into :x from emp where empno = 1; end;", {{"x", Value()}});
                },
                &text),
            1403);
  EXPECT_EQ(text, "ORA-01403: no data found\nORA-06512: at line 1");
  EXPECT_EQ(ErrorOf(
                [&] {
                  Run(*scott_, "begin\n  select ename into :x from emp;\nend;", {{"x", Value()}});
                },
                &text),
            1422);
  EXPECT_EQ(text, "ORA-01422: exact fetch returns more than requested number of rows\nORA-06512: at line 2");
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "begin raise_application_error(-20001, 'Custom ' || 'text'); end;"); },
                    &text),
            20001);
  EXPECT_EQ(text, "ORA-20001: Custom text\nORA-06512: at line 1");
  auto h = Run(*scott_,
               "begin\n  insert into dept values (10, 'DUP', 'X');\nexception\n  when dup_val_on_index then "
               ":code := sqlcode; :msg := sqlerrm;\nend;",
               {{"code", Value()}, {"msg", Value()}});
  EXPECT_EQ(h->OutValue("code").i, -1);
  EXPECT_EQ(h->OutValue("msg").s, "ORA-00001: unique constraint (SCOTT.PK_DEPT) violated");
  // DML in a block belongs to the session's transaction
  Run(*scott_,
      "declare v number := 91; begin insert into dept values (v, 'PL', 'SQL'); update emp set sal = sal + 1 "
      "where empno = 7369; end;");
  EXPECT_EQ(Query(*scott_, "select dname from dept where deptno = 91")[0][0], "PL");
  scott_->Rollback();
  EXPECT_EQ(Query(*scott_, "select count(*) from dept where deptno = 91")[0][0], "0");
}

TEST_F(PlSql, ControlFlowLocalsAndReRaise) {
  const char* block =
      "declare\n"
      "  limit_ constant number := 2000;\n"
      "  info varchar2(64);\n"
      "  grade varchar2(10);\n"
      "begin\n"
      "  dbms_application_info.set_client_info('ci');\n"
      "  dbms_application_info.read_client_info(info);\n"
      "  select decode(sign(sal - limit_), 1, 'high', 0, 'limit', 'low') into grade from emp where empno = "
      ":e;\n"
      "  if grade = 'high' then\n"
      "    if :e = 7839 then :r := 'king ' || info; return; end if;\n"
      "    :r := 'high';\n"
      "  elsif grade = 'limit' then\n"
      "    :r := 'limit';\n"
      "  else\n"
      "    :r := 'low';\n"
      "  end if;\n"
      "  :r := :r || ' ' || info;\n"
      "end;";
  auto run = [&](int empno) {
    return Run(*scott_, block, {{"e", Value::MakeInt(empno)}, {"r", Value()}})->OutValue("r").ToText();
  };
  EXPECT_EQ(run(7839), "king ci");
  EXPECT_EQ(run(7566), "high ci");
  EXPECT_EQ(run(7369), "low ci");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { run(1); }, &text), 1403);
  // a handler that re-raises passes the original error on; a named exception can be raised
  EXPECT_EQ(ErrorOf(
                [&] {
                  Run(*scott_,
                      "begin\n  raise zero_divide;\nexception\n  when others then\n    raise;\nend;");
                },
                &text),
            1476);
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "begin :x := :y + 1; end;", {{"x", Value()}}); }), 1008);
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "declare n number; begin n := 'abc'; end;"); }), 1722);
  EXPECT_EQ(ErrorOf([&] { Run(*scott_, "declare c constant number := 1; begin c := 2; end;"); }), 6550);
}

}  // namespace
}  // namespace simtest
