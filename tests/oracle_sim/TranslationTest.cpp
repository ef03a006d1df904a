// Oracle statements against the sample schema, with the rows (or the error) Oracle gives.
#include "SimTestUtil.h"

namespace simtest {
namespace {

struct Case {
  const char* sql;
  std::vector<std::string> rows;  // columns joined with '|'
  int error = 0;
};

class Translation : public SimTest {
 protected:
  void Check(const std::vector<Case>& cases, Session* s = nullptr) {
    if (!s) s = scott_.get();
    for (auto& c : cases) {
      SCOPED_TRACE(c.sql);
      std::string text;
      Rows rows;
      int code = ErrorOf([&] { rows = Query(*s, c.sql); }, &text);
      EXPECT_EQ(code, c.error) << text;
      if (code || c.error) continue;
      std::vector<std::string> got;
      for (auto& r : rows) {
        std::string line;
        for (size_t i = 0; i < r.size(); ++i) line += (i ? "|" : "") + r[i];
        got.push_back(line);
      }
      EXPECT_EQ(got, c.rows);
    }
  }
};

TEST_F(Translation, OuterJoinsInEveryForm) {
  Check({
      // marker on the right, on the left, and a department without employees
      {"select d.dname, e.ename from dept d, emp e where d.deptno = e.deptno(+) and d.deptno = 40",
       {"OPERATIONS|"}},
      {"select d.dname, e.ename from emp e, dept d where e.deptno(+) = d.deptno and d.deptno = 40",
       {"OPERATIONS|"}},
      {"select d.dname, e.ename from emp e, dept d where e.deptno ( + ) = d.deptno and d.deptno = 40",
       {"OPERATIONS|"}},
      // a constant condition on the outer table stays in the join
      {"select d.deptno, e.ename from dept d, emp e where d.deptno = e.deptno(+) and e.job(+) = 'PRESIDENT' "
       "order by d.deptno",
       {"10|KING", "20|", "30|", "40|"}},
      // a plain predicate on the outer table makes the join inner
      {"select d.dname from dept d, emp e where d.deptno = e.deptno(+) and e.job = 'CLERK' and d.deptno = 40",
       {}},
      // the anti-join idiom
      {"select d.deptno from dept d, emp e where d.deptno = e.deptno(+) and e.empno is null", {"40"}},
      // chained: the manager joins to an already outer-joined employee
      {"select d.deptno, e.ename, m.ename from dept d, emp e, emp m where d.deptno = e.deptno(+) "
       "and e.mgr = m.empno(+) and d.deptno in (10, 40) order by 1, 2",
       {"10|CLARK|KING", "10|KING|", "10|MILLER|CLARK", "40||"}},
      // chained with the marker written on the left side
      {"select d.deptno, m.ename from emp m, emp e, dept d where e.deptno(+) = d.deptno "
       "and m.empno(+) = e.mgr and d.deptno = 40",
       {"40|"}},
      // several outer tables hanging off one inner table, with a multi-column join
      {"select count(*) from dept d, emp e, emp f where d.deptno = e.deptno(+) and d.deptno = f.deptno(+) "
       "and f.job(+) = 'NONE'",
       {"15"}},
      {"select 1 from emp a, emp b where a.empno(+) = b.empno(+)", {}, 1468},
      {"select 1 from emp a, emp b where a.empno = b.mgr(+) and b.empno = a.mgr(+)", {}, 1416},
  });
}

// DECODE takes up to 255 parts, as on the server, however many search values one SQLite call takes;
// beyond that, and for a call with more arguments than the simulator takes, ORA-00939.
TEST_F(Translation, LongArgumentListsRunOrAreRefusedByName) {
  auto decode = [](const std::string& x, int pairs, bool otherwise) {
    std::string sql = "select decode(" + x;
    for (int i = 1; i <= pairs; ++i) sql += ", " + std::to_string(i) + ", 'v" + std::to_string(i) + "'";
    return sql + (otherwise ? ", 'none'" : "") + ") from dual";
  };
  auto coalesce = [](int n) {
    std::string sql = "select coalesce(null";
    for (int i = 1; i < n; ++i) sql += ", " + std::string(i + 1 == n ? "'last'" : "null");
    return sql + ") from dual";
  };
  const std::string sql[] = {decode("1", 127, false),
                             decode("101", 126, true),
                             decode("127", 127, false),
                             decode("128", 126, true),
                             decode("null", 127, false),
                             decode("1", 126, true) + " union all " + decode("2", 3, false),
                             decode("1", 127, true),
                             coalesce(120),
                             coalesce(121)};
  Check({
      {sql[0].c_str(), {"v1"}},
      {sql[1].c_str(), {"v101"}},
      {sql[2].c_str(), {"v127"}},
      {sql[3].c_str(), {"none"}},
      {sql[4].c_str(), {""}},
      {sql[5].c_str(), {"v1", "v2"}},
      {sql[6].c_str(), {}, 939},
      {sql[7].c_str(), {"last"}},
      {sql[8].c_str(), {}, 939},
  });
}

TEST_F(Translation, DecodeNvlConcatAndEmptyStrings) {
  Check({
      {"select decode(null, null, 'null matched', 'no') from dual", {"null matched"}},
      {"select decode(comm, null, 'none', 0, 'zero', 'some') from emp where empno = 7844", {"zero"}},
      {"select decode(comm, null, 'none', 0, 'zero', 'some') from emp where empno = 7369", {"none"}},
      {"select decode(5, 1, 'one', 2, 'two') from dual", {""}},
      {"select decode(-2, 0, 'a', -2, 'minus two', 'other') from dual", {"minus two"}},
      {"select decode(comm, 300, 'three hundred', 'other') from emp where empno = 7369", {"other"}},
      {"select decode(null, 1, 'one', 'default') from dual", {"default"}},
      {"select decode(3, 1, 'a', 2, 'b', 3, 'c', 'd') from dual", {"c"}},
      {"select decode(deptno, '20', 'twenty', 'other') from emp where empno = 7369", {"twenty"}},
      {"select decode(2.0, 2, 'two', 'other') from dual", {"two"}},
      {"select nvl(comm, -1) from emp where empno = 7369", {"-1"}},
      {"select nvl2(comm, 'y', 'n') from emp where empno = 7499", {"y"}},
      {"select 'a' || null || 'b' from dual", {"ab"}},
      {"select null || null from dual", {""}},
      {"select 'n=' || 5 || ', half=' || 0.5 from dual", {"n=5, half=.5"}},
      {"select count(*) from dual where '' is null", {"1"}},
      {"select nvl('', 'empty') from dual", {"empty"}},
      {"select coalesce(null, null, 3) from dual", {"3"}},
      {"select 'Нет' || ' ч. ' from dual", {"Нет ч. "}},
  });
}

// Long chains of || and AND run however many terms they have; what is nested deeper than the
// instance can take fails with ORA-03001, never with an internal error.
TEST_F(Translation, LongChainsAndDeepNesting) {
  std::string concat = "select ", expect;
  for (int i = 0; i < 150; ++i) {
    concat += std::string(i ? " || " : "") + "decode(comm, null, '" + std::to_string(i % 10) + "', 'x')";
    expect += std::to_string(i % 10);
  }
  EXPECT_EQ(Query(*scott_, concat + " from emp where empno = 7369"), (Rows{{expect}}));
  std::string where = "select count(*) from emp where 1 = 1";
  for (int i = 0; i < 300; ++i) where += " and empno <> " + std::to_string(i);
  EXPECT_EQ(Query(*scott_, where), (Rows{{"14"}}));
  std::string either = "select count(*) from emp where empno = 0";
  for (int i = 0; i < 300; ++i) either += " or empno = " + std::to_string(7369 + 1000 * i);
  EXPECT_EQ(Query(*scott_, either), (Rows{{"1"}}));
  std::string nested = "select ";
  for (int i = 0; i < 60; ++i) nested += "abs(";
  nested += "1" + std::string(60, ')') + " from dual";
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, nested); }, &text), 3001) << text;
}

// Only a plain number orders by position; +3 or (-1) is a constant expression that orders nothing.
TEST_F(Translation, OrderByAConstantExpression) {
  EXPECT_EQ(Query(*scott_, "select count(*) from (select ename, sal from emp order by + 3 desc)"),
            (Rows{{"14"}}));
  EXPECT_EQ(Query(*scott_, "select ename from emp where empno = 7369 order by (-1), 1"), (Rows{{"SMITH"}}));
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select ename, sal from emp order by 3"); }), 1785);
}

TEST_F(Translation, DecodeComputesOnlyTheChosenResult) {
  Check({
      // the division by zero sits in a branch that is not taken
      {"select decode(empno, 7369, 0, 1 / (empno - 7369)) from emp where empno = 7369", {"0"}},
      {"select decode(empno, 7369, 1 / (empno - 7369), 0) from emp where empno = 7369", {}, 1476},
      // subqueries as the compared value and as results
      {"select decode((select count(*) from dept), 4, 'four', 'other') from dual", {"four"}},
      {"select decode(1, 2, (select dname from dept where deptno = 10), (select dname from dept where "
       "deptno = 20)) from dual",
       {"RESEARCH"}},
      {"select empno from emp where decode(job, 'PRESIDENT', 1, null, 2, 0) = 1", {"7839"}},
  });
  auto c = scott_->Prepare(
      "select decode(empno, 1, 'ab', 'abcde') d1, decode(empno, 1, sal, 2) d2, decode(empno, 1, null, 'xyz') "
      "d3, decode(empno, 1, hiredate) d4 from emp");
  const auto& d = c->Describe();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].type, oracle_sim::Ty::Varchar2);
  EXPECT_EQ(d[0].size, 5);
  EXPECT_EQ(d[1].type, oracle_sim::Ty::Number);
  EXPECT_EQ(d[2].type, oracle_sim::Ty::Varchar2);
  EXPECT_EQ(d[2].size, 3);
  EXPECT_EQ(d[3].type, oracle_sim::Ty::Date);
  for (auto& col : d) EXPECT_TRUE(col.nullable);
}

TEST_F(Translation, StringFunctions) {
  Check({
      {"select count(*) from emp where ename like 's%'", {"0"}},
      {"select count(*) from emp where ename like 'S%'", {"2"}},
      {"select count(*) from emp where ename like '_A%'", {"3"}},
      {"select count(*) from dual where 'a_b' like 'a\\_b' escape '\\'", {"1"}},
      {"select count(*) from dual where 'axb' like 'a\\_b' escape '\\'", {"0"}},
      {"select count(*) from emp where ename like null", {"0"}},
      {"select count(*) from emp where ename not like 'S%'", {"12"}},
      {"select substr('ABCDEF', 2, 3), substr('ABCDEF', 0, 2), substr('ABCDEF', -2), substr('ABC', 5) from "
       "dual",
       {"BCD|AB|EF|"}},
      {"select substr('Привет', 2, 3) from dual", {"рив"}},
      {"select instr('CORPORATE FLOOR', 'OR', 3, 2), instr('CORPORATE FLOOR', 'OR', -3, 2), instr('abc', "
       "'z') "
       "from dual",
       {"14|2|0"}},
      {"select substr('prog (x)', instr('prog (x)', '(')), substr('prog', instr('prog', '(')) from dual",
       {"(x)|prog"}},
      {"select length('Привет'), length(''), length(12.5) from dual", {"6||4"}},
      {"select lpad('abc', 5, '*'), lpad('abcdef', 3), rpad('ab', 5, 'xy'), lpad('7', 2, '0') from dual",
       {"**abc|abc|abxyx|07"}},
      {"select lpad('мир', 5, '*'), rpad('ab', 4, 'ж'), lpad('привет', 2), rpad(12, 4, '0') from dual",
       {"**мир|abжж|пр|1200"}},
      {"select upper('привет Abc'), lower('ÀBC'), initcap('hello wORLD-x') from dual",
       {"ПРИВЕТ ABC|àbc|Hello World-X"}},
      {"select initcap('waiting') from dual", {"Waiting"}},
      {"select trim('  x  '), trim(leading 'x' from 'xxaxx'), trim(trailing 'x' from 'xxaxx'), ltrim('xxa', "
       "'x'), "
       "rtrim('a  ') from dual",
       {"x|axx|xxa|a|a"}},
      {"select replace('abcabc', 'b', 'X'), replace('abc', 'b'), replace('abc', null, 'z') from dual",
       {"aXcaXc|ac|abc"}},
      {"select translate('abc', 'ab', 'x'), translate('2-3', '-', '+') from dual", {"xc|2+3"}},
      {"select chr(65), ascii('A'), concat('a', 'b') from dual", {"A|65|ab"}},
      {"select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2 from dual",
       {"4|3|2"}},
  });
}

TEST_F(Translation, NumberFunctionsAndFormats) {
  Check({
      {"select 7/2, 10/4, 6/3, 1/3*3 from dual", {"3.5|2.5|2|1"}},
      {"select 1/0 from dual", {}, 1476},
      {"select trunc(15.79), trunc(15.79, 1), trunc(-15.79), trunc(1234, -2) from dual",
       {"15|15.7|-15|1200"}},
      {"select round(15.5), round(-2.5), round(2.675, 2), round(1234.5, -2), round(0.125, 2) from dual",
       {"16|-3|2.68|1200|.13"}},
      {"select mod(11, 4), mod(-11, 4), mod(5, 0), mod(7.5, 2), abs(-3), sign(-2), ceil(1.1), floor(-1.1) "
       "from dual",
       {"3|-3|5|1.5|3|-1|2|-2"}},
      {"select power(2, 10), sqrt(16) from dual", {"1024|4"}},
      {"select greatest(1, 3, 2), least('b', 'a'), greatest(1, null) from dual", {"3|a|"}},
      {"select to_char(1234.5), to_char(0.5), to_char(-0.25), to_char(100) from dual",
       {"1234.5|.5|-.25|100"}},
      {"select to_char(1234.5, '9,999.00'), to_char(5, '000'), to_char(-5, 'FM990'), to_char(255, 'XX') from "
       "dual",
       {" 1,234.50| 005|-5|FF"}},
      {"select to_char(0.5, '990.99'), to_char(12, 'FM999.99'), to_char(123456, '999') from dual",
       {"   0.50|12.|####"}},
      {"select to_number('12.5') + 1, to_number(' 7 '), to_number('1,234.5', '9,999.9'), to_number('ff', "
       "'XX') "
       "from dual",
       {"13.5|7|1234.5|255"}},
      {"select to_number('abc') from dual", {}, 1722},
      // values far out of range give Oracle's answers, never undefined conversions
      {"select 33333333333333333333333333 from dual", {"33333333333333300000000000"}},
      {"select substr('abc', 1e30), instr('abc', 'b', -1e30), to_char(1e30, 'XX'), round(1.5, 1e9) from dual",
       {"|0|###|1.5"}},
      {"select add_months(sysdate, 1e20) from dual", {}, 1841},
      {"select sysdate + 1e300 from dual", {}, 1841},
      {"select ename from emp order by 1e20", {}, 1785},
      {"select '5' + 1, 2 * '3' from dual", {"6|6"}},
      {"select 'x' + 1 from dual", {}, 1722},
      {"select sal * 10 from emp where empno = 7369", {"8000"}},
      {"select lpad(to_char(trunc(3725/3600)), 2, '0') || ' ч. ' || lpad(to_char(trunc(3725/60) - "
       "trunc(3725/3600)*60), "
       "2, '0') || ' мин. ' from dual",
       {"01 ч. 02 мин. "}},
  });
}

TEST_F(Translation, DatesAndDateArithmetic) {
  Check({
      {"select to_char(hiredate) from emp where empno = 7369", {"17-DEC-80"}},
      {"select to_char(hiredate, 'DD.MM.YY HH24:MI:SS'), to_char(hiredate, 'DY Mon') from emp where empno = "
       "7369",
       {"17.12.80 00:00:00|WED Dec"}},
      {"select to_char(to_date('17.12.1980 13:05:09', 'DD.MM.YYYY HH24:MI:SS'), 'DD.MM.YY HH24:MI:SS') from "
       "dual",
       {"17.12.80 13:05:09"}},
      {"select to_char(to_date('17.12.1980', 'DD.MM.YYYY'), 'fmMonth DD, YYYY'), "
       "to_char(to_date('17.12.1980', 'DD.MM.YYYY'), 'Month') from dual",
       {"December 17, 1980|December "}},
      {"select to_char(to_date('10:10:10', 'HH24:MI:SS'), 'DD HH24:MI:SS') from dual", {"01 10:10:10"}},
      {"select to_char(to_date('05-01-2024 01:02:03 PM', 'DD-MM-YYYY HH:MI:SS AM'), 'YYYY-MM-DD HH24:MI:SS') "
       "from dual",
       {"2024-01-05 13:02:03"}},
      {"select to_char(to_date('01-JAN-99'), 'YYYY'), to_char(to_date('01-JAN-49'), 'YYYY') from dual",
       {"1999|2049"}},
      {"select to_char(to_date('2024-02-28', 'YYYY-MM-DD') + 1, 'YYYY-MM-DD') from dual", {"2024-02-29"}},
      {"select to_date('2024-03-01', 'YYYY-MM-DD') - to_date('2024-02-28', 'YYYY-MM-DD') from dual", {"2"}},
      {"select to_char(to_date('2024-01-01', 'YYYY-MM-DD') - 1/24, 'YYYY-MM-DD HH24') from dual",
       {"2023-12-31 23"}},
      {"select to_char(to_date('2024-01-01', 'YYYY-MM-DD') - 90/86400, 'HH24:MI:SS') from dual",
       {"23:58:30"}},
      {"select sysdate - sysdate, count(*) from dual where sysdate > to_date('2000-01-01', 'YYYY-MM-DD')",
       {"0|1"}},
      {"select to_char(trunc(to_date('2024-05-17 13:45:00', 'YYYY-MM-DD HH24:MI:SS'), 'MM'), "
       "'YYYY-MM-DD HH24:MI:SS'), to_char(trunc(to_date('2024-05-17 13:45', 'YYYY-MM-DD HH24:MI')), "
       "'HH24:MI') "
       "from dual",
       {"2024-05-01 00:00:00|00:00"}},
      {"select to_char(add_months(to_date('2024-01-31', 'YYYY-MM-DD'), 1), 'YYYY-MM-DD'), "
       "to_char(last_day(to_date('2023-02-10', 'YYYY-MM-DD')), 'DD'), "
       "months_between(to_date('2024-03-15', 'YYYY-MM-DD'), to_date('2024-01-15', 'YYYY-MM-DD')) from dual",
       {"2024-02-29|28|2"}},
      {"select count(*) from emp where hiredate < '01-JAN-81'", {"1"}},
      {"select count(*) from emp where hiredate >= to_date('01-01-1987', 'DD-MM-YYYY') and hiredate < "
       "to_date('01-01-1988', 'DD-MM-YYYY')",
       {"2"}},
      {"select to_date('32-01-2024', 'DD-MM-YYYY') from dual", {}, 1847},
      {"select to_date('xx', 'DD-MM-YYYY') from dual", {}, 1858},
      {"select to_date('2024-13-01', 'YYYY-MM-DD') from dual", {}, 1843},
  });
}

TEST_F(Translation, NamesCommentsSubqueriesAndOrdering) {
  Check({
      {"SeLeCt EnAmE FrOm EmP wHeRe EmPnO = 7369", {"SMITH"}},
      {"select \"ENAME\" from \"EMP\" where empno = 7369", {"SMITH"}},
      {"select \"ename\" from emp", {}, 904},
      {"select count(*) from sys.dual", {"1"}},
      {"select dummy from sys.dual", {"X"}},
      {"select /*+ ORDERED */ count(*) -- a comment\n from emp /* another */", {"14"}},
      {"select/*+index(e)*/count(*)from emp e", {"14"}},
      {"select count(*) from emp where deptno in (select deptno from dept where loc = 'DALLAS')", {"5"}},
      {"select count(*) from emp where (deptno, job) in ((10, 'CLERK'), (20, 'CLERK'))", {"3"}},
      {"select count(*) from emp where (deptno, job) in (select deptno, 'CLERK' from dept)", {"4"}},
      {"select dname from dept d where not exists (select 1 from emp e where e.deptno = d.deptno)",
       {"OPERATIONS"}},
      {"select ename, sal from emp where deptno = 20 order by 2 desc, 1",
       {"FORD|3000", "SCOTT|3000", "JONES|2975", "ADAMS|1100", "SMITH|800"}},
      {"select ename, sal from emp order by 3", {}, 1785},
      {"select ename, sal from emp order by 0", {}, 1785},
      {"select ename x from emp where x = 'SMITH'", {}, 904},
      {"select ename x from emp where empno = 7369 order by x", {"SMITH"}},
      {"select comm from emp where deptno = 30 order by comm", {"0", "300", "500", "1400", "", ""}},
      {"select comm from emp where deptno = 30 order by comm desc", {"", "", "1400", "500", "300", "0"}},
      {"select deptno, count(*) from emp group by deptno having count(*) > 4 order by 1", {"20|5", "30|6"}},
      {"select deptno from dept minus select deptno from emp", {"40"}},
      // a number in GROUP BY is a value to group by, not a select-list position
      {"select count(*), sum(sal) from emp group by 2", {"14|29025"}},
      {"select count(*) from emp group by -3", {"14"}},
      // a group function where the server allows none
      {"select ename from emp where count(*) > 1", {}, 934},
      {"select deptno from emp group by sum(sal)", {}, 934},
      {"select deptno from emp group by count(*) > 3", {}, 934},
      {"select e.ename from emp e join dept d on count(*) = 1", {}, 934},
      {"select count(*), sum(sal) from emp group by 2 union all select 1, 2 from dual", {"14|29025", "1|2"}},
      {"select deptno from dept where deptno < 20 union all select 99 from dual order by 1", {"10", "99"}},
      {"select count(*) from (select e.*, e.rowid from emp e where e.deptno = 10)", {"3"}},
      {"select ename from emp where empno = '7369'", {"SMITH"}},
      {"select ename from emp where empno = 'abc'", {}, 1722},
      {"select case when sal > 2000 then 'high' else 'low' end from emp where empno = 7369", {"low"}},
      {"select case deptno when 10 then 'ten' end from emp where empno = 7369", {""}},
      {"select ename from emp where sal between 2900 and 3000 order by ename", {"FORD", "JONES", "SCOTT"}},
      {"select count(*) from emp where job in ('CLERK', 'ANALYST') and not (sal > 1000)", {"2"}},
      {"select max(ename), min(sal), sum(sal), avg(sal) from emp where deptno = 10",
       {"MILLER|1300|8750|2916.66666666667"}},
      {"select count(distinct job) from emp", {"5"}},
      {"select e.ename, (select dname from dept d where d.deptno = e.deptno) from emp e where empno = 7369",
       {"SMITH|RESEARCH"}},
      {"select user, uid from dual", {"SCOTT|59"}},
  });
}

TEST_F(Translation, RownumRowidAndSequences) {
  Check({
      {"select count(*) from emp where rownum <= 3", {"3"}},
      {"select deptno, count(*) from emp group by deptno for update", {}, 1786},
      {"select ename from emp where -rownum <= 3", {}, 3001},
      {"select rownum, ename from emp where deptno = 10 order by ename desc",
       {"3|MILLER", "2|KING", "1|CLARK"}},
      {"select count(*) from (select ename from emp where rownum < 4)", {"3"}},
      {"select ename from emp where rownum = 1 and deptno = 10", {"CLARK"}},
      {"select count(*) from emp where rownum > 1", {"0"}},
      {"select count(*) from emp where rownum <= 2.5", {"2"}},
      {"select count(*) from emp where rownum < 2.5", {"2"}},
      {"select count(*) from emp where rownum <= null", {"0"}},
      {"select count(*) from emp where rownum <= 1e300", {"14"}},
      {"select ename from emp where deptno = 10 and rownum <= 2 order by ename desc", {"KING", "CLARK"}},
      {"select length(rowid) from emp where empno = 7369", {"18"}},
      {"select ename from emp where rowid = (select rowid from emp where empno = 7369)", {"SMITH"}},
      {"select count(*) from emp a, emp b where a.rowid = b.rowid", {"14"}},
      {"select emp_seq.nextval from dual", {"8000"}},
      {"select emp_seq.nextval, emp_seq.currval from dual", {"8001|8001"}},
      {"select deptno, count(*) from emp where rownum <= 4 group by deptno order by 1", {"20|2", "30|2"}},
      {"select nosuch_seq.nextval from dual", {}, 942},
  });
  // the ROWID text of a row stays the same between statements and identifies it
  auto a = Query(*scott_, "select rowid from emp where empno = 7499");
  auto b = Query(*scott_, "select rowid, ename from emp where rowid = :r", {{"r", Value::MakeText(a[0][0])}});
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0][0], a[0][0]);
  EXPECT_EQ(b[0][1], "ALLEN");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select 1 from emp where rowid = 'garbage'"); }), 1410);
}

TEST_F(Translation, StatementsTheSessionSendsAsItIs) {
  std::string dates;
  for (int m = 1; m <= 12; ++m)
    dates += std::string(m > 1 ? " union all\r\n" : "") + "select to_char(to_date('10-" + std::to_string(m) +
             "-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual";
  auto rows = Query(*scott_, dates);
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[0][0], "10-JAN-99");
  EXPECT_EQ(rows[8][0], "10-SEP-99");
  EXPECT_EQ(Query(*scott_, "select 'x' from dual")[0][0], "x");
  Exec(*scott_, "alter session set nls_date_format = 'DD.MM.YYYY'");
  EXPECT_EQ(Query(*scott_, "select to_char(hiredate) from emp where empno = 7369")[0][0], "17.12.1980");
  EXPECT_EQ(Query(*scott_, "select count(*) from emp where hiredate = '17.12.1980'")[0][0], "1");
  Exec(*scott_, "alter session set sql_trace = true");
  Exec(*scott_, "alter session set optimizer_goal = choose");
  Exec(*scott_, "alter session set isolation_level = read committed");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "alter session set nosuch = 1"); }), 2248);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "   "); }), 900);
  // QBE and the grid's rewritten lines
  EXPECT_EQ(Query(*scott_,
                  "select e.*, e.rowid\r\nfrom emp e\r\nwhere (e.deptno = :deptno)\r\nand\r\n"
                  "((upper(ENAME) like 'SM%'))\r\norder by ename\r\n/* Modified for QBE */",
                  {{"deptno", Value::MakeInt(20)}})
                .size(),
            1u);
  EXPECT_EQ(Query(*scott_,
                  "select empno, ename from emp\nWHERE deptno = 10 AND\n/*FILTER*/ ( ENAME LIKE 'K%' )\n\n"
                  "ORDER BY 2 DESC, 1"),
            (Rows{{"7839", "KING"}}));
}

// The session monitor's main statement, over tables shaped like the views it reads.
TEST_F(Translation, SessionListStatementShape) {
  const char* ddl[] = {
      "create table vs_session (sid number, serial# number, username varchar2(30), type varchar2(10), "
      "status varchar2(8), machine varchar2(64), osuser varchar2(30), command number, program varchar2(48), "
      "client_info varchar2(64), action varchar2(32), module varchar2(48), logon_time date, last_call_et "
      "number, "
      "sql_address raw(8), sql_hash_value number, paddr raw(8), taddr varchar2(16))",
      "create table vs_session_wait (sid number, seq# number, event varchar2(64), wait_time number, "
      "state varchar2(19), seconds_in_wait number)",
      "create table vs_process (addr raw(8), spid varchar2(12), program varchar2(48))",
      "create table vs_bgprocess (paddr raw(8), name varchar2(5))",
      "create table vs_sess_io (sid number, block_gets number, consistent_gets number, physical_reads "
      "number, "
      "block_changes number, consistent_changes number)",
      "create table vs_sesstat (sid number, statistic# number, value number)",
      "insert into vs_session values (1, 1, null, 'BACKGROUND', 'ACTIVE', 'host', 'oracle', 0, "
      "'oracle@host (PMON)', null, null, null, sysdate, 3725, '00', 0, 'AA01', null)",
      "insert into vs_session values (10, 7, 'SCOTT', 'USER', 'INACTIVE', 'pc', 'scott', 3, null, 'Talvik', "
      "'act', 'mod', sysdate, 65, 'ABCDEF0012345678', 123, 'AA02', 'T1')",
      "insert into vs_session values (11, 9, 'SYSTEM', 'USER', 'ACTIVE', 'pc', 'dba', 99, 'sqlplus', null, "
      "null, null, sysdate, 0, '00', 0, 'AA03', null)",
      "insert into vs_process values ('AA01', '101', 'oracle@host (PMON)')",
      "insert into vs_process values ('AA02', '102', 'oracle@host')",
      "insert into vs_bgprocess values ('AA01', 'PMON')",
      "insert into vs_session_wait values (1, 5, 'pmon timer', 0, 'WAITING', 3)",
      "insert into vs_session_wait values (10, 6, 'SQL*Net message from client', -1, 'WAITED SHORT TIME', 0)",
      "insert into vs_sess_io select sid, 1, 2, 3, 4, 5 from vs_session",
      "insert into vs_sesstat select sid, 12, sid * 2 from vs_session",
  };
  for (auto sql : ddl) Exec(*system_, sql);
  std::string s1 =
      "SELECT \r\n"
      "  s.sid,\r\n  p.spid server_pid,\r\n  s.serial#  serial,\r\n"
      "  NVL(DECODE(type, 'BACKGROUND', 'SYS (' || b.name || ')', s.username),SUBSTR(p.program, "
      "INSTR(p.program, "
      "'('))) oracle_user,\r\n"
      "  s.status status,\r\n  NVL(s.osuser, '('||b.name||')')  os_user,\r\n"
      "  (i.block_gets + i.consistent_gets) logical_reads,\r\n"
      "  DECODE(s.command, 0,'NONE',1,'CREATE TABLE',2,'INSERT',3,'SELECT',44,'COMMIT',45,'ROLLBACK',46,"
      "'SAVEPOINT','UNKNOWN') command,\r\n"
      "  NVL(s.program,s.client_info) client_program,\r\n  t.value * 10 cpu_usage,\r\n"
      "  LPAD(TO_CHAR(TRUNC(s.last_call_et/3600)),2,'0')||' ч. '||LPAD(TO_CHAR(TRUNC(s.last_call_et/60)-"
      "trunc(s.last_call_et/3600)*60),2,'0')||' мин. '\r\n   last_call_et,\r\n"
      "  s.sql_address sql_address,\r\n  w.seq# wait_id,\r\n"
      "  DECODE(w.wait_time, 0, INITCAP(w.state)||' (' || TO_CHAR(w.seconds_in_wait) || ' s)',\r\n"
      "                          -2, INITCAP(w.state),\r\n                          -1, INITCAP(w.state),\r\n"
      "                         INITCAP(w.state)||' ( ' || TO_CHAR(w.wait_time*10) || ' ms )' ) "
      "wait_state,\r\n"
      "  NVL(b.name,'USER') prname,\r\n  s.taddr,\r\n  s.module\r\n"
      "FROM   vs_session s,\r\n       vs_session_wait w,\r\n       vs_process p,\r\n"
      "       vs_bgprocess b,\r\n       vs_sess_io i,\r\n       vs_sesstat t\r\n"
      "WHERE  \r\n       p.addr(+)=s.paddr\r\n       AND s.sid = w.sid(+)\r\n       AND p.addr=b.paddr(+)\r\n"
      "       AND i.sid=s.sid\r\n       AND t.sid=s.sid\r\n       AND t.statistic# = 12\r\n"
      "ORDER BY s.status";
  auto c = system_->Prepare(s1);
  const auto& d = c->Describe();
  ASSERT_EQ(d.size(), 17u);
  EXPECT_EQ(d[1].name, "SERVER_PID");
  EXPECT_EQ(d[3].name, "ORACLE_USER");
  EXPECT_EQ(d[10].name, "LAST_CALL_ET");
  EXPECT_EQ(d[11].type, oracle_sim::Ty::Raw);
  auto rows = Query(*system_, s1);
  ASSERT_EQ(rows.size(), 3u);
  // ACTIVE sorts before INACTIVE
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[0][3], "SYS (PMON)");
  EXPECT_EQ(rows[0][13], "Waiting (3 s)");
  EXPECT_EQ(rows[0][14], "PMON");
  EXPECT_EQ(rows[0][10], "01 ч. 02 мин. ");
  EXPECT_EQ(rows[1][0], "11");
  EXPECT_EQ(rows[1][1], "");  // no process row: outer join keeps the session
  EXPECT_EQ(rows[1][5], "dba");
  EXPECT_EQ(rows[1][7], "UNKNOWN");
  EXPECT_EQ(rows[1][13], " (  ms )");  // no wait row: the default branch with NULLs as empty
  EXPECT_EQ(rows[1][14], "USER");
  EXPECT_EQ(rows[2][0], "10");
  EXPECT_EQ(rows[2][3], "SCOTT");
  EXPECT_EQ(rows[2][6], "3");
  EXPECT_EQ(rows[2][7], "SELECT");
  EXPECT_EQ(rows[2][8], "Talvik");
  EXPECT_EQ(rows[2][9], "200");
  EXPECT_EQ(rows[2][10], "00 ч. 01 мин. ");
  EXPECT_EQ(rows[2][11], "ABCDEF0012345678");
  EXPECT_EQ(rows[2][13], "Waited Short Time");
  // the grid's rewrites: positional order, a filter line naming an alias fails as on Oracle
  std::string byNumber = s1.substr(0, s1.find("ORDER BY")) + "ORDER BY 5 DESC, 1";
  EXPECT_EQ(Query(*system_, byNumber)[0][0], "10");
  std::string filtered = s1.substr(0, s1.find("ORDER BY")) + " AND  ORACLE_USER LIKE 'S%'  \r\nORDER BY 1";
  EXPECT_EQ(ErrorOf([&] { Query(*system_, filtered); }), 904);
  std::string byExpr = s1.substr(0, s1.find("ORDER BY")) + " AND  S.MACHINE LIKE 'p%'  \r\nORDER BY 1";
  EXPECT_EQ(Query(*system_, byExpr).size(), 2u);
  // a string bind compared with a RAW and a NUMBER column
  EXPECT_EQ(Query(*system_, "select sid from vs_session where sql_address = :a and sql_hash_value = :h",
                  {{"a", Value::MakeText("ABCDEF0012345678")}, {"h", Value::MakeText("123")}}),
            (Rows{{"10"}}));
}

TEST_F(Translation, SyntaxErrorsGiveOracleErrors) {
  struct E {
    const char* sql;
    int code;
    const char* text;
  };
  std::vector<E> cases = {
      {"select from dual", 936, "ORA-00936: missing expression"},
      {"select 1 dual", 923, "ORA-00923: FROM keyword not found where expected"},
      {"select 1 from dual dual2 x", 933, "ORA-00933: SQL command not properly ended"},
      {"selec 1 from dual", 900, "ORA-00900: invalid SQL statement"},
      {"select * from nonexist", 942, "ORA-00942: table or view does not exist"},
      {"select nosuch from emp", 904, "ORA-00904: \"NOSUCH\": invalid identifier"},
      {"select e.nosuch from emp e", 904, "ORA-00904: \"E\".\"NOSUCH\": invalid identifier"},
      {"select 'abc from dual", 1756, "ORA-01756: quoted string not properly terminated"},
      {"select (1 from dual", 907, "ORA-00907: missing right parenthesis"},
      {"select deptno from emp, dept", 918, "ORA-00918: column ambiguously defined"},
      {"select nosuchfunc(1) from dual", 904, "ORA-00904: \"NOSUCHFUNC\": invalid identifier"},
      {"select 1 from dual;", 911, "ORA-00911: invalid character"},
      {"select decode(comm, null, 'x', (sal, '9')) from emp", 907, "ORA-00907: missing right parenthesis"},
      {"select 1 from emp where (empno, 1) = 2", 920, "ORA-00920: invalid relational operator"},
  };
  for (auto& c : cases) {
    std::string text;
    EXPECT_EQ(ErrorOf([&] { Query(*scott_, c.sql); }, &text), c.code) << c.sql;
    EXPECT_EQ(text, c.text) << c.sql;
  }
  // NUL bytes inside a literal stay in the value; in a quoted name they are refused
  EXPECT_EQ(Query(*scott_, std::string("select length('a\0b') from dual", 30))[0][0], "3");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, std::string("select \"a\0b\" from dual", 22)); }), 911);
  // statements nested too deep are refused, not a stack overflow; ordinary depth works
  auto nested = [](int n, const std::string& open, const std::string& inner, const std::string& close) {
    std::string sql;
    for (int i = 0; i < n; ++i) sql += open;
    sql += inner;
    for (int i = 0; i < n; ++i) sql += close;
    return sql;
  };
  EXPECT_EQ(Query(*scott_, "select " + nested(40, "(", "1", ")") + " from dual")[0][0], "1");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select " + nested(5000, "(", "1", ")") + " from dual"); }), 3001);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select " + nested(5000, "- ", "1", "") + " from dual"); }), 3001);
  std::string chain = "1";
  for (int i = 0; i < 3000; ++i) chain += "+1";
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select " + chain + " from dual"); }), 3001);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, nested(3000, "select * from (", "select 1 from dual", ")")); }),
            3001);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, nested(3000, "begin ", "null;", " end;")); }), 6550);
  // the parse error offset points into the statement
  try {
    scott_->Prepare("select ename,\nfrom emp");
    FAIL();
  } catch (const OraError& e) {
    EXPECT_EQ(e.code, 936);
    EXPECT_EQ(e.offset, 14);
  }
}

TEST_F(Translation, PrivilegesOfPlainUserAndDba) {
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from dba_users"); }), 942);
  EXPECT_EQ(Query(*system_, "select count(*) from scott.emp")[0][0], "14");
  EXPECT_EQ(Query(*system_, "select count(*) from dba_users where username = 'SCOTT'")[0][0], "1");
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select * from system.help"); }), 942);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "delete from all_objects"); }), 1031);
}

}  // namespace
}  // namespace simtest
