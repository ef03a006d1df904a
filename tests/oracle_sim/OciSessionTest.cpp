// The client library against a simulated instance: logons, queries with binds and defines, DML,
// transactions, locks between sessions and the errors a program sees, through the handle API and
// through the host calls.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "OciConnection.h"
#include "SimTestUtil.h"

namespace {

class OciSessionTest : public OciConnectedTest {
 protected:
  void SetUp() override { LogOn("system", "manager"); }

  void MakeTable(int rows);
};

// A table T of `rows` rows (ID 1..rows, NAME "name<id>", AMOUNT id * 1.5, CREATED 2000-01-<id % 28 + 1>),
// inserted with one array execution.
void OciSessionTest::MakeTable(int rows) {
  ASSERT_EQ(
      conn->Run(
          "create table t (id number(9) not null, name varchar2(20), amount number(10,2), created date)"),
      OCI_SUCCESS)
      << conn->Message();
  OCIStmt* st =
      conn->Prepare("insert into t (id, name, amount, created) values (:id, :name, :amount, :created)");
  std::vector<int> ids(rows);
  std::vector<char> names(rows * 21);
  std::vector<double> amounts(rows);
  std::vector<ub1> dates(rows * 7);
  for (int i = 0; i < rows; ++i) {
    ids[i] = i + 1;
    std::snprintf(&names[i * 21], 21, "name%d", i + 1);
    amounts[i] = (i + 1) * 1.5;
    ub1 d[7] = {120, 100, 1, static_cast<ub1>(i % 28 + 1), 1, 1, 1};
    std::memcpy(&dates[i * 7], d, 7);
  }
  OCIBind* b[4] = {};
  oci.OCIBindByName(st, &b[0], conn->err, T(":ID"), -1, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  oci.OCIBindByName(st, &b[1], conn->err, T(":name"), -1, names.data(), 21, SQLT_STR, nullptr, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  oci.OCIBindByName(st, &b[2], conn->err, T(":Amount"), -1, amounts.data(), sizeof(double), SQLT_FLT, nullptr,
                    nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  oci.OCIBindByName(st, &b[3], conn->err, T(":CREATED"), -1, dates.data(), 7, SQLT_DAT, nullptr, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, static_cast<ub4>(rows)), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(conn->RowCount(st), static_cast<ub4>(rows));
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
  ASSERT_EQ(oci.OCITransCommit(conn->svc, conn->err, OCI_DEFAULT), OCI_SUCCESS);
}

}  // namespace

TEST_F(OciSessionTest, LogonsAndTheirErrors) {
  text banner[501] = {};
  ASSERT_EQ(oci.OCIServerVersion(conn->srv, conn->err, banner, sizeof banner, OCI_HTYPE_SERVER), OCI_SUCCESS);
  std::string b = reinterpret_cast<char*>(banner);
  EXPECT_NE(b.find("Oracle9i"), std::string::npos) << b;
  EXPECT_NE(b.find(" Release 9.2.0.8.0 "), std::string::npos) << b;

  Connection wrong(oci, env);
  EXPECT_EQ(wrong.LogOn("system", "wrong"), OCI_ERROR);
  EXPECT_EQ(wrong.Code(), 1017);
  EXPECT_EQ(wrong.Message(), "ORA-01017: invalid username/password; logon denied");
  wrong.oci.OCIServerDetach(wrong.srv, wrong.err, OCI_DEFAULT);

  Connection sysdba(oci, env);
  EXPECT_EQ(sysdba.LogOn("scott", "tiger", "SIM", OCI_SYSDBA), OCI_ERROR);
  EXPECT_EQ(sysdba.Code(), 1031);
  sysdba.oci.OCIServerDetach(sysdba.srv, sysdba.err, OCI_DEFAULT);

  // OCILogon makes its own service context; OCILogoff frees it.
  OCISvcCtx* svc = nullptr;
  ASSERT_EQ(oci.OCILogon(env, conn->err, &svc, T("scott"), 5, T("tiger"), 5, T("sim"), 3), OCI_SUCCESS)
      << conn->Message();
  OCIServer* srv = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &srv, nullptr, OCI_ATTR_SERVER, conn->err), OCI_SUCCESS);
  EXPECT_NE(srv, nullptr);
  EXPECT_EQ(oci.OCILogoff(svc, conn->err), OCI_SUCCESS);
  EXPECT_EQ(oci.OCILogon(env, conn->err, &svc, T("scott"), 5, T("tiger"), 5, T("nowhere"), 7), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 12154);
  EXPECT_EQ(svc, nullptr);
}

TEST_F(OciSessionTest, QueryWithBindsDescribedAndFetchedInBatches) {
  MakeTable(60);
  OCIStmt* st = conn->Prepare("select id, name, amount, created from t where id > :lo order by id");
  int lo = 10;
  OCIBind* bind = nullptr;
  ASSERT_EQ(oci.OCIBindByName(st, &bind, conn->err, T(":LO"), -1, &lo, sizeof lo, SQLT_INT, nullptr, nullptr,
                              nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(st, 0), OCI_SUCCESS) << conn->Message();

  ub4 count = 0;
  ASSERT_EQ(oci.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, conn->err),
            OCI_SUCCESS);
  ASSERT_EQ(count, 4u);
  struct Expect {
    const char* name;
    ub2 type;
    sb2 precision;
    sb1 scale;
    ub1 nullable;
  } expect[] = {{"ID", 2, 9, 0, 0}, {"NAME", 1, 0, 0, 1}, {"AMOUNT", 2, 10, 2, 1}, {"CREATED", 12, 0, 0, 1}};
  for (ub4 i = 0; i < 4; ++i) {
    dvoid* p = nullptr;
    ASSERT_EQ(oci.OCIParamGet(st, OCI_HTYPE_STMT, conn->err, &p, i + 1), OCI_SUCCESS);
    ub2 type = 0, size = 0;
    sb2 precision = -1;
    sb1 scale = -1;
    ub1 nullable = 9;
    char* name = nullptr;
    ub4 nameLen = 0;
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, conn->err);
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, conn->err);
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, conn->err);
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, conn->err);
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, conn->err);
    oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, conn->err);
    EXPECT_EQ(std::string(name, nameLen), expect[i].name);
    EXPECT_EQ(type, expect[i].type) << expect[i].name;
    EXPECT_EQ(precision, expect[i].precision) << expect[i].name;
    EXPECT_EQ(scale, expect[i].scale) << expect[i].name;
    EXPECT_EQ(nullable, expect[i].nullable) << expect[i].name;
    if (i == 1) {
      EXPECT_GE(size, 20);
    }
  }
  dvoid* p = nullptr;
  EXPECT_EQ(oci.OCIParamGet(st, OCI_HTYPE_STMT, conn->err, &p, 5), OCI_ERROR);

  // Defines for batches of 25 rows; the names as an array of structs.
  struct NameCell {
    char text[21];
    sb2 ind;
    ub2 len;
  };
  int ids[25];
  NameCell names[25];
  double amounts[25];
  ub1 dates[25][7];
  sb2 idInd[25], amountInd[25], dateInd[25];
  OCIDefine* d[4] = {};
  oci.OCIDefineByPos(st, &d[0], conn->err, 1, ids, sizeof(int), SQLT_INT, idInd, nullptr, nullptr,
                     OCI_DEFAULT);
  oci.OCIDefineByPos(st, &d[1], conn->err, 2, names[0].text, 21, SQLT_STR, &names[0].ind, &names[0].len,
                     nullptr, OCI_DEFAULT);
  ASSERT_EQ(
      oci.OCIDefineArrayOfStruct(d[1], conn->err, sizeof(NameCell), sizeof(NameCell), sizeof(NameCell), 0),
      OCI_SUCCESS);
  oci.OCIDefineByPos(st, &d[2], conn->err, 3, amounts, sizeof(double), SQLT_FLT, amountInd, nullptr, nullptr,
                     OCI_DEFAULT);
  oci.OCIDefineByPos(st, &d[3], conn->err, 4, dates, 7, SQLT_DAT, dateInd, nullptr, nullptr, OCI_DEFAULT);

  ub4 fetched = 0;
  ASSERT_EQ(oci.OCIStmtFetch2(st, conn->err, 25, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_SUCCESS)
      << conn->Message();
  oci.OCIAttrGet(st, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, conn->err);
  EXPECT_EQ(fetched, 25u);
  EXPECT_EQ(conn->RowCount(st), 25u);
  EXPECT_EQ(ids[0], 11);
  EXPECT_STREQ(names[0].text, "name11");
  EXPECT_EQ(names[0].len, 6);
  EXPECT_STREQ(names[24].text, "name35");
  EXPECT_DOUBLE_EQ(amounts[1], 18.0);
  EXPECT_EQ(std::vector<int>(dates[0], dates[0] + 7), (std::vector<int>{120, 100, 1, 11, 1, 1, 1}));

  ASSERT_EQ(oci.OCIStmtFetch(st, conn->err, 25, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(conn->RowCount(st), 50u);
  EXPECT_EQ(ids[24], 60);
  ASSERT_EQ(oci.OCIStmtFetch(st, conn->err, 25, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
  oci.OCIAttrGet(st, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, conn->err);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(conn->Code(), 1403);

  // Re-executing with a new value of the bound variable, fetching the first batch in the execution.
  lo = 55;
  ASSERT_EQ(conn->Execute(st, 25), OCI_NO_DATA);
  EXPECT_EQ(conn->RowCount(st), 5u);
  EXPECT_EQ(ids[0], 56);
  EXPECT_EQ(ids[4], 60);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, NullsTruncationAndConversionErrors) {
  OCIStmt* st = conn->Prepare("select null, 'abcdef', 'x1' from dual");
  char a[8], b[4];
  int c = 0;
  sb2 indA = 5, indB = 5;
  ub2 lenB = 0, rcodeB = 0;
  OCIDefine* d = nullptr;
  oci.OCIDefineByPos(st, &d, conn->err, 1, a, sizeof a, SQLT_STR, &indA, nullptr, nullptr, OCI_DEFAULT);
  oci.OCIDefineByPos(st, &d, conn->err, 2, b, sizeof b, SQLT_STR, &indB, &lenB, &rcodeB, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS_WITH_INFO) << conn->Message();
  EXPECT_EQ(conn->Code(), 1406);
  EXPECT_EQ(indA, -1);
  EXPECT_STREQ(b, "abc");
  EXPECT_EQ(indB, 6);
  EXPECT_EQ(lenB, 3);
  EXPECT_EQ(rcodeB, 1406);
  // Without an indicator a NULL is an error; a text that is no number cannot become an integer.
  oci.OCIDefineByPos(st, &d, conn->err, 1, a, sizeof a, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
  EXPECT_EQ(conn->Execute(st, 1), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1405);
  EXPECT_EQ(conn->Message(), "ORA-01405: fetched column value is NULL");
  oci.OCIDefineByPos(st, &d, conn->err, 1, a, sizeof a, SQLT_STR, &indA, nullptr, nullptr, OCI_DEFAULT);
  oci.OCIDefineByPos(st, &d, conn->err, 3, &c, sizeof c, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
  EXPECT_EQ(conn->Execute(st, 1), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1722);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, NumberAndDateFormatsRoundTrip) {
  ASSERT_EQ(conn->Run("create table n (k number(3), x number, d date)"), OCI_SUCCESS) << conn->Message();
  struct Case {
    const char* in;
    const char* shown;
  } texts[] = {{"0", "0"},
               {"1", "1"},
               {"-1", "-1"},
               {"123.45", "123.45"},
               {"-0.5", "-.5"},
               {"100000000000000", "100000000000000"},
               {"0.000123", ".000123"},
               {"-987654321.125", "-987654321.125"}};
  OCIStmt* ins = conn->Prepare("insert into n (k, x, d) values (:k, :x, :d)");
  int k = 0;
  OCINumber num{};
  ub1 date[7] = {119, 199, 12, 31, 24, 60, 60};
  OCIBind* b = nullptr;
  oci.OCIBindByName(ins, &b, conn->err, T(":k"), -1, &k, sizeof k, SQLT_INT, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  oci.OCIBindByName(ins, &b, conn->err, T(":x"), -1, &num, sizeof num, SQLT_VNU, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  oci.OCIBindByName(ins, &b, conn->err, T(":d"), -1, date, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr,
                    OCI_DEFAULT);
  // Each number goes in as text converted by the server, and is read back in the 22-byte form and
  // as text again: what went in comes out.
  OCIStmt* conv = conn->Prepare("select to_number(:t) from dual");
  char in[64];
  OCIBind* tb = nullptr;
  oci.OCIBindByName(conv, &tb, conn->err, T(":t"), -1, in, sizeof in, SQLT_STR, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  OCIDefine* d = nullptr;
  oci.OCIDefineByPos(conv, &d, conn->err, 1, &num, sizeof num, SQLT_VNU, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  for (const Case& t : texts) {
    std::snprintf(in, sizeof in, "%s", t.in);
    ASSERT_EQ(conn->Execute(conv, 1), OCI_SUCCESS) << t.in << ": " << conn->Message();
    ++k;
    ASSERT_EQ(conn->Execute(ins, 1), OCI_SUCCESS) << t.in << ": " << conn->Message();
  }
  OCIStmt* sel = conn->Prepare("select x, d, to_char(d, 'YYYY-MM-DD HH24:MI:SS') from n order by k");
  OCINumber out{};
  ub1 outDate[7];
  char text[64];
  oci.OCIDefineByPos(sel, &d, conn->err, 1, &out, sizeof out, SQLT_VNU, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  oci.OCIDefineByPos(sel, &d, conn->err, 2, outDate, 7, SQLT_DAT, nullptr, nullptr, nullptr, OCI_DEFAULT);
  oci.OCIDefineByPos(sel, &d, conn->err, 3, text, sizeof text, SQLT_STR, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(sel, 0), OCI_SUCCESS) << conn->Message();
  OCIStmt* back = conn->Prepare("select to_char(:n) from dual");
  char shown[64];
  oci.OCIBindByName(back, &tb, conn->err, T(":n"), -1, &out, sizeof out, SQLT_VNU, nullptr, nullptr, nullptr,
                    0, nullptr, OCI_DEFAULT);
  oci.OCIDefineByPos(back, &d, conn->err, 1, shown, sizeof shown, SQLT_STR, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  for (const Case& t : texts) {
    ASSERT_EQ(oci.OCIStmtFetch(sel, conn->err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS)
        << conn->Message();
    EXPECT_STREQ(text, "1999-12-31 23:59:59");
    EXPECT_EQ(std::memcmp(outDate, date, 7), 0);
    ASSERT_EQ(conn->Execute(back, 1), OCI_SUCCESS) << conn->Message();
    EXPECT_STREQ(shown, t.shown) << t.in;
  }
  oci.OCIHandleFree(back, OCI_HTYPE_STMT);
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  oci.OCIHandleFree(conv, OCI_HTYPE_STMT);
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, CommitRollbackAndLocksBetweenSessions) {
  MakeTable(3);
  Connection other(oci, env);
  ASSERT_EQ(other.LogOn("system", "manager"), OCI_SUCCESS) << other.Message();

  ASSERT_EQ(conn->Run("update t set name = 'first' where id = 1"), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(other.Run("select id from t where id = 1 for update nowait"), OCI_ERROR);
  EXPECT_EQ(other.Code(), 54);
  EXPECT_EQ(other.Message(), "ORA-00054: resource busy and acquire with NOWAIT specified");

  // Without NOWAIT the second session waits until the first one commits.
  auto start = std::chrono::steady_clock::now();
  sword waited = OCI_ERROR;
  std::atomic<bool> done{false};
  std::thread second([&] {
    waited = other.Run("update t set name = 'second' where id = 1");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done);  // still waiting for the row
  ASSERT_EQ(oci.OCITransCommit(conn->svc, conn->err, OCI_DEFAULT), OCI_SUCCESS);
  second.join();
  EXPECT_EQ(waited, OCI_SUCCESS) << other.Message();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  ASSERT_EQ(oci.OCITransRollback(other.svc, other.err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(conn->Scalar("select count(*) from t where name = 'first'"), 1);   // committed, and kept
  EXPECT_EQ(conn->Scalar("select count(*) from t where name = 'second'"), 0);  // rolled back

  // Commit on success, and the row count of a DML statement.
  OCIStmt* del = conn->Prepare("delete from t where id > 1");
  ASSERT_EQ(conn->Execute(del, 1, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
  EXPECT_EQ(conn->RowCount(del), 2u);
  oci.OCIHandleFree(del, OCI_HTYPE_STMT);
  EXPECT_EQ(other.Scalar("select count(*) from t"), 1);
  other.LogOff();
}

TEST_F(OciSessionTest, ErrorsCarryCodesAndParseOffsets) {
  OCIStmt* st = conn->Prepare("select *\nfrom no_such_table");
  EXPECT_EQ(conn->Execute(st, 0), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 942);
  EXPECT_EQ(conn->Message(), "ORA-00942: table or view does not exist");
  ub2 offset = 0;
  EXPECT_EQ(oci.OCIAttrGet(st, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, conn->err),
            OCI_SUCCESS);
  EXPECT_EQ(offset, 14);
  oci.OCIAttrGet(conn->err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, conn->err);
  EXPECT_EQ(offset, 14);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);

  st = conn->Prepare("select :a + :b from dual");
  int a = 1;
  OCIBind* bind = nullptr;
  oci.OCIBindByName(st, &bind, conn->err, T(":a"), -1, &a, sizeof a, SQLT_INT, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  EXPECT_EQ(conn->Execute(st, 0), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1008);
  oci.OCIBindByName(st, &bind, conn->err, T(":c"), -1, &a, sizeof a, SQLT_INT, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  EXPECT_EQ(conn->Execute(st, 0), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1036);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);

  // An array DML error stops at the failing element: the rows before it are processed and the
  // element is named by the DML row offset.
  MakeTable(1);
  st = conn->Prepare("insert into t (id, name) values (:id, :name)");
  int ids[4] = {10, 11, 12, 13};
  sb2 idInd[4] = {0, 0, -1, 0};  // the third has no ID, which T does not allow
  char names[4][8] = {"a", "b", "c", "d"};
  oci.OCIBindByName(st, &bind, conn->err, T(":id"), -1, ids, sizeof(int), SQLT_INT, idInd, nullptr, nullptr,
                    0, nullptr, OCI_DEFAULT);
  oci.OCIBindByName(st, &bind, conn->err, T(":name"), -1, names, 8, SQLT_STR, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  EXPECT_EQ(conn->Execute(st, 4), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1400);
  EXPECT_EQ(conn->RowCount(st), 2u);
  ub4 row = 0;
  oci.OCIAttrGet(conn->err, OCI_HTYPE_ERROR, &row, nullptr, OCI_ATTR_DML_ROW_OFFSET, conn->err);
  EXPECT_EQ(row, 2u);
  EXPECT_EQ(oci.OCIStmtExecute(conn->svc, st, conn->err, 4, 3, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(conn->RowCount(st), 1u);
  EXPECT_EQ(conn->Scalar("select count(*) from t"), 4);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, ServerErrorsReachTheProgramWithTheirCodes) {
  ASSERT_EQ(conn->Run("create table c (x number constraint c_pos check (x > 0))"), OCI_SUCCESS)
      << conn->Message();
  struct Case {
    const char* sql;
    int code;
  } cases[] = {
      {"selec 1 from dual", 900},
      {"select nosuch from dual", 904},
      {"select 1 from dual order by 2", 1785},
      {"insert into scott.dept values (10, 'DUPLICATE', 'X')", 1},
      {"insert into scott.emp (empno, deptno) values (9999, 99)", 2291},
      {"delete from scott.dept where deptno = 10", 2292},
      {"insert into c values (-1)", 2290},
      {"insert into scott.emp (empno) values (null)", 1400},
      {"select to_number('x') from dual", 1722},
  };
  for (const Case& c : cases) {
    OCIStmt* st = conn->Prepare(c.sql);
    int value = 0;
    OCIDefine* d = nullptr;
    oci.OCIDefineByPos(st, &d, conn->err, 1, &value, sizeof value, SQLT_INT, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
    EXPECT_EQ(conn->Execute(st, 1), OCI_ERROR) << c.sql;
    auto [code, message] = ErrorOf(oci, conn->err);
    EXPECT_EQ(code, c.code) << c.sql << ": " << message;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", c.code);
    EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
  }
  // A PL/SQL block calling what does not exist.
  EXPECT_EQ(conn->Run("begin no_such_procedure; end;"), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 6550);
  EXPECT_NE(conn->Message().find("PLS-00201"), std::string::npos) << conn->Message();
}

TEST_F(OciSessionTest, PlsqlOutBinds) {
  OCIStmt* st = conn->Prepare("begin :x := 6 * 7; :s := 'forty-two'; end;");
  int x = 0;
  char s[16] = {};
  sb2 ind = -1;
  OCIBind* b = nullptr;
  oci.OCIBindByName(st, &b, conn->err, T(":X"), -1, &x, sizeof x, SQLT_INT, &ind, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  oci.OCIBindByName(st, &b, conn->err, T(":S"), -1, s, sizeof s, SQLT_STR, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(x, 42);
  EXPECT_EQ(ind, 0);
  EXPECT_STREQ(s, "forty-two");
  ub2 fncode = 0;
  oci.OCIAttrGet(st, OCI_HTYPE_STMT, &fncode, nullptr, OCI_ATTR_SQLFNCODE, conn->err);
  EXPECT_EQ(fncode, TALVIK_FNCODE_PLSQL);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, PlsqlTablesOutAndIn) {
  ASSERT_EQ(
      conn->Run(
          "begin dbms_output.enable; dbms_output.put_line('alpha'); dbms_output.put_line('beta'); end;"),
      OCI_SUCCESS)
      << conn->Message();
  OCIStmt* st = conn->Prepare("begin dbms_output.get_lines(:lines, :n); end;");
  char lines[10][32] = {};
  sb2 ind[10];
  ub2 len[10];
  ub4 entries = 0;
  int n = 10;
  OCIBind* b = nullptr;
  ASSERT_EQ(oci.OCIBindByName(st, &b, conn->err, T(":LINES"), -1, lines, 32, SQLT_STR, ind, len, nullptr, 10,
                              &entries, OCI_DEFAULT),
            OCI_SUCCESS);
  oci.OCIBindByName(st, &b, conn->err, T(":N"), -1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(n, 2);
  ASSERT_EQ(entries, 2u);
  EXPECT_STREQ(lines[0], "alpha");
  EXPECT_STREQ(lines[1], "beta");
  EXPECT_EQ(len[1], 4);
  EXPECT_EQ(ind[0], 0);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, LongValuesInPieces) {
  OCIStmt* st = nullptr;
  OCIBind* b = nullptr;
  // A LONG value goes in piece by piece (the program answers OCI_NEED_DATA) ...
  ASSERT_EQ(conn->Run("create table l (id number, body long)"), OCI_SUCCESS) << conn->Message();
  std::string body;
  for (int i = 0; body.size() < 20000; ++i) body += "line " + std::to_string(i) + "\n";
  st = conn->Prepare("insert into l (id, body) values (1, :body)");
  ASSERT_EQ(oci.OCIBindByName(st, &b, conn->err, T(":body"), -1, nullptr, 1 << 30, SQLT_LNG, nullptr, nullptr,
                              nullptr, 0, nullptr, OCI_DATA_AT_EXEC),
            OCI_SUCCESS);
  sword rc = conn->Execute(st, 1);
  size_t sent = 0;
  int rounds = 0;
  while (rc == OCI_NEED_DATA) {
    dvoid* h = nullptr;
    ub4 type = 0, iter = 9, idx = 9;
    ub1 inout = 0, piece = 0;
    ASSERT_EQ(oci.OCIStmtGetPieceInfo(st, conn->err, &h, &type, &inout, &iter, &idx, &piece), OCI_SUCCESS);
    EXPECT_EQ(h, b);
    EXPECT_EQ(type, static_cast<ub4>(OCI_HTYPE_BIND));
    EXPECT_EQ(piece, sent == 0 ? OCI_FIRST_PIECE : OCI_NEXT_PIECE);
    ub4 n = static_cast<ub4>(std::min<size_t>(7000, body.size() - sent));
    ub1 next = sent + n >= body.size() ? OCI_LAST_PIECE : (sent == 0 ? OCI_FIRST_PIECE : OCI_NEXT_PIECE);
    ASSERT_EQ(
        oci.OCIStmtSetPieceInfo(b, OCI_HTYPE_BIND, conn->err, body.data() + sent, &n, next, nullptr, nullptr),
        OCI_SUCCESS);
    sent += n;
    rc = conn->Execute(st, 1);
    ++rounds;
  }
  ASSERT_EQ(rc, OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(rounds, 3);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);

  // ... and comes back through the define callback in growing pieces.
  struct Pieces {
    std::vector<std::vector<char>> buffers;
    std::vector<ub4> lengths;
    sb2 ind = 7;
  } pieces;
  pieces.buffers.reserve(64);
  pieces.lengths.reserve(64);
  auto callback = [](dvoid* ctx, OCIDefine*, ub4, dvoid** bufp, ub4** alenp, ub1*, dvoid** indp,
                     ub2** rcodep) -> sb4 {
    auto* p = static_cast<Pieces*>(ctx);
    size_t size = p->buffers.empty() ? 4096 : std::min<size_t>(p->buffers.back().size() * 2, 32768);
    p->buffers.emplace_back(size);
    p->lengths.push_back(static_cast<ub4>(size));
    *bufp = p->buffers.back().data();
    *alenp = &p->lengths.back();
    *indp = &p->ind;
    *rcodep = nullptr;
    return OCI_CONTINUE;
  };
  st = conn->Prepare("select body from l where id = 1");
  OCIDefine* d = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(st, &d, conn->err, 1, nullptr, 2147483647, SQLT_LNG, nullptr, nullptr, nullptr,
                               OCI_DYNAMIC_FETCH),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineDynamic(d, conn->err, &pieces, callback), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
  std::string got;
  for (size_t i = 0; i < pieces.buffers.size(); ++i) got.append(pieces.buffers[i].data(), pieces.lengths[i]);
  EXPECT_EQ(got, body);
  EXPECT_EQ(pieces.ind, 0);
  ASSERT_GE(pieces.buffers.size(), 3u);
  EXPECT_EQ(pieces.lengths[0], 4096u);
  EXPECT_EQ(pieces.lengths[1], 8192u);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, LongValueThroughTheHostCalls) {
  ASSERT_EQ(conn->Run("create table l (id number, body long)"), OCI_SUCCESS) << conn->Message();
  std::string body(10000, 'x');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  OCIStmt* ins = conn->Prepare("insert into l values (1, :body)");
  OCIBind* b = nullptr;
  ub2 len = static_cast<ub2>(body.size());
  oci.OCIBindByName(ins, &b, conn->err, T(":body"), -1, body.data(), static_cast<sb4>(body.size()), SQLT_LNG,
                    nullptr, &len, nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(ins, 1, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);

  Lda_Def lda;
  ub1 hda[TALVIK_HDA_SIZE];
  text logon[] = "system/manager@SIM";
  ASSERT_EQ(oci.olog(&lda, hda, logon, -1, nullptr, -1, nullptr, -1, 0), 0);
  Cda_Def cda;
  ASSERT_EQ(oci.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  text sql[] = "select body from l";
  ASSERT_EQ(oci.oparse(&cda, sql, -1, 0, 2), 0);
  std::vector<char> first(4096);
  ub2 rlen = 0;
  sb2 ind = 0;
  oci.odefin(&cda, 1, reinterpret_cast<ub1*>(first.data()), 4096, SQLT_LNG, -1, &ind, nullptr, -1, -1, &rlen,
             nullptr);
  EXPECT_EQ(oci.oexfet(&cda, 1, 0, 0), 1406);  // the first 4096 bytes; the rest comes by oflng
  EXPECT_EQ(rlen, 4096);
  EXPECT_EQ(cda.rpc, 1u);
  std::string got(first.data(), 4096);
  std::vector<char> rest(8192);
  ub4 retl = 0;
  ASSERT_EQ(oci.oflng(&cda, 1, reinterpret_cast<ub1*>(rest.data()), 8192, SQLT_LNG, &retl, 4096), 0);
  EXPECT_EQ(retl, 10000u - 4096u);
  got.append(rest.data(), retl);
  EXPECT_EQ(got, body);
  EXPECT_EQ(cda.rpc, 1u);  // reading in parts leaves the row count alone
  oci.oclose(&cda);
  oci.ologof(&lda);
}

TEST_F(OciSessionTest, SessionsOfOneEnvironmentOnSeveralThreads) {
  MakeTable(50);
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Connection c(oci, env);
      if (c.LogOn("system", "manager") != OCI_SUCCESS) return;
      for (int i = 0; i < 50; ++i) {
        char sql[96];
        std::snprintf(sql, sizeof sql, "select count(*) from t where id > %d", (i + t) % 50);
        if (c.Scalar(sql) == 50 - (i + t) % 50) ++good;
        OCIStmt* bad = c.Prepare("select * from no_such_table");
        c.Execute(bad, 0);
        if (c.Code() == 942) ++good;
        oci.OCIHandleFree(bad, OCI_HTYPE_STMT);
      }
      c.LogOff();
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(good.load(), 4 * 50 * 2);
}

TEST_F(OciSessionTest, BreakInterruptsARunningStatement) {
  MakeTable(400);
  sword rc = OCI_SUCCESS;
  std::atomic<bool> started{false};
  OCIError* err2 = nullptr;
  oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err2), OCI_HTYPE_ERROR, 0, nullptr);
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    started = true;
    rc = conn->Run("select count(*) from t a, t b, t c, t d");
    finished = true;
  });
  while (!started) std::this_thread::yield();
  // A break while the session is idle does nothing, so break until the statement gives up.
  for (int i = 0; i < 600 && !finished; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(oci.OCIBreak(conn->svc, err2), OCI_SUCCESS);
  }
  worker.join();
  EXPECT_EQ(rc, OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1013);
  oci.OCIHandleFree(err2, OCI_HTYPE_ERROR);
  EXPECT_EQ(conn->Scalar("select count(*) from t"), 400);  // the session goes on
}

TEST_F(OciSessionTest, HostCallGeneration) {
  MakeTable(12);
  Lda_Def lda;
  ub1 hda[TALVIK_HDA_SIZE];
  text wrong[] = "system/nonsense@SIM";
  EXPECT_EQ(oci.olog(&lda, hda, wrong, -1, nullptr, -1, nullptr, -1, 0), 1017);
  EXPECT_EQ(lda.rc, 1017);
  text buf[2001];
  oci.oerhms(&lda, 1017, buf, sizeof buf);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "ORA-01017: invalid username/password; logon denied");

  text logon[] = "system/manager@SIM";
  ASSERT_EQ(oci.orlon(&lda, hda, logon, -1, nullptr, -1, 0), 0);
  ASSERT_EQ(oci.ocof(&lda), 0);
  Cda_Def cda;
  ASSERT_EQ(oci.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  text bad[] = "select nothing from t";
  EXPECT_EQ(oci.oparse(&cda, bad, -1, 0, 2), 904);
  EXPECT_EQ(cda.rc, 904);
  EXPECT_EQ(cda.peo, 7);
  oci.oerhms(&lda, 904, buf, sizeof buf);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)).rfind("ORA-00904: ", 0), 0u);

  text sql[] = "select id, name, created from t where id > :lo order by id";
  ASSERT_EQ(oci.oparse(&cda, sql, -1, 0, 2), 0);
  EXPECT_EQ(cda.ft, TALVIK_FNCODE_SELECT);
  int lo = 2;
  text var[] = ":LO";
  ASSERT_EQ(oci.obndra(&cda, var, -1, reinterpret_cast<ub1*>(&lo), sizeof lo, SQLT_INT, -1, nullptr, nullptr,
                       nullptr, 0, nullptr, nullptr, -1, -1),
            0);
  int columns = 0;
  for (sword pos = 1;; ++pos) {
    sb4 size = 0, nameLen = 30, dsize = 0;
    sb2 type = 0, prec = 0, scale = 0, nullok = 0;
    sb1 name[31] = {};
    sword rc = oci.odescr(&cda, pos, &size, &type, name, &nameLen, &dsize, &prec, &scale, &nullok);
    if (rc == 1007) break;
    ASSERT_EQ(rc, 0);
    ++columns;
    if (pos == 1) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(name), nameLen), "ID");
      EXPECT_EQ(type, 2);
      EXPECT_EQ(prec, 9);
      EXPECT_EQ(nullok, 0);
    }
  }
  EXPECT_EQ(columns, 3);
  int ids[4];
  char names[4][21];
  ub1 dates[4][7];
  sb2 nameInd[4];
  ub2 nameLen[4];
  ASSERT_EQ(oci.odefin(&cda, 1, reinterpret_cast<ub1*>(ids), sizeof(int), SQLT_INT, -1, nullptr, nullptr, -1,
                       -1, nullptr, nullptr),
            0);
  ASSERT_EQ(oci.odefin(&cda, 2, reinterpret_cast<ub1*>(names), 21, SQLT_STR, -1, nameInd, nullptr, -1, -1,
                       nameLen, nullptr),
            0);
  ASSERT_EQ(oci.odefin(&cda, 3, reinterpret_cast<ub1*>(dates), 7, SQLT_DAT, -1, nullptr, nullptr, -1, -1,
                       nullptr, nullptr),
            0);
  ASSERT_EQ(oci.oexfet(&cda, 4, 0, 0), 0);
  EXPECT_EQ(cda.rpc, 4u);
  EXPECT_EQ(ids[0], 3);
  EXPECT_STREQ(names[3], "name6");
  ASSERT_EQ(oci.ofen(&cda, 4), 0);
  EXPECT_EQ(cda.rpc, 8u);
  EXPECT_EQ(oci.ofen(&cda, 4), 1403);  // 10 rows in all: two in the last batch
  EXPECT_EQ(cda.rpc, 10u);
  EXPECT_EQ(ids[1], 12);

  // DML with iterations, rolled back.
  text del[] = "delete from t where id = :id";
  ASSERT_EQ(oci.oparse(&cda, del, -1, 0, 2), 0);
  int which[3] = {1, 2, 99};
  text idvar[] = ":id";
  oci.obndra(&cda, idvar, -1, reinterpret_cast<ub1*>(which), sizeof(int), SQLT_INT, -1, nullptr, nullptr,
             nullptr, 0, nullptr, nullptr, -1, -1);
  ASSERT_EQ(oci.oexn(&cda, 3, 0), 0);
  EXPECT_EQ(cda.rpc, 2u);
  EXPECT_EQ(cda.ft, TALVIK_FNCODE_DELETE);
  text ins[] = "insert into t (id) values (500)";
  ASSERT_EQ(oci.oparse(&cda, ins, -1, 0, 2), 0);
  ASSERT_EQ(oci.oexec(&cda), 0);
  EXPECT_EQ(cda.rpc, 1u);
  EXPECT_NE(cda.rid_obj, 0u);  // the inserted row's address
  ASSERT_EQ(oci.orol(&lda), 0);
  EXPECT_EQ(conn->Scalar("select count(*) from t"), 12);
  EXPECT_EQ(oci.oclose(&cda), 0);
  EXPECT_EQ(oci.ofen(&cda, 1), 1001);
  EXPECT_EQ(oci.ologof(&lda), 0);
  EXPECT_EQ(oci.ocom(&lda), 1012);

  // A handle-mode connection seen as a logon data area and back.
  Lda_Def shared;
  ASSERT_EQ(oci.OCISvcCtxToLda(conn->svc, conn->err, &shared), OCI_SUCCESS);
  ASSERT_EQ(oci.oopen(&cda, &shared, nullptr, -1, -1, nullptr, -1), 0);
  text one[] = "select 1 from dual";
  ASSERT_EQ(oci.oparse(&cda, one, -1, 0, 2), 0);
  oci.odefin(&cda, 1, reinterpret_cast<ub1*>(ids), sizeof(int), SQLT_INT, -1, nullptr, nullptr, -1, -1,
             nullptr, nullptr);
  EXPECT_EQ(oci.oexfet(&cda, 1, 0, 0), 0);
  EXPECT_EQ(ids[0], 1);
  oci.oclose(&cda);
  OCISvcCtx* back = nullptr;
  ASSERT_EQ(oci.OCILdaToSvcCtx(&back, conn->err, &shared), OCI_SUCCESS);
  EXPECT_EQ(back, conn->svc);
}

TEST_F(OciSessionTest, SessionPoolAndStatementCache) {
  OCISPool* pool = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&pool), OCI_HTYPE_SPOOL, 0, nullptr),
            OCI_SUCCESS);
  OraText* name = nullptr;
  ub4 nameLen = 0;
  ASSERT_EQ(oci.OCISessionPoolCreate(env, conn->err, pool, &name, &nameLen, T("SIM"), 3, 0, 2147483647, 1,
                                     const_cast<OraText*>(T("scott")), 5, const_cast<OraText*>(T("tiger")), 5,
                                     OCI_SPC_HOMOGENEOUS),
            OCI_SUCCESS)
      << conn->Message();
  ASSERT_GT(nameLen, 0u);
  OCIAuthInfo* auth = nullptr;
  oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&auth), OCI_HTYPE_AUTHINFO, 0, nullptr);
  OCISvcCtx* svc = nullptr;
  boolean found = TRUE;
  ASSERT_EQ(oci.OCISessionGet(env, conn->err, &svc, auth, name, nameLen, nullptr, 0, nullptr, nullptr, &found,
                              OCI_SESSGET_SPOOL),
            OCI_SUCCESS)
      << conn->Message();
  EXPECT_FALSE(found);
  OCIStmt* st = nullptr;
  const char* sql = "select count(*) from emp";
  ASSERT_EQ(oci.OCIStmtPrepare2(svc, &st, conn->err, T(sql), static_cast<ub4>(std::strlen(sql)), nullptr, 0,
                                OCI_NTV_SYNTAX, OCI_DEFAULT),
            OCI_SUCCESS);
  int count = 0;
  OCIDefine* d = nullptr;
  oci.OCIDefineByPos(st, &d, conn->err, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  ASSERT_EQ(oci.OCIStmtExecute(svc, st, conn->err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS)
      << conn->Message();
  EXPECT_GT(count, 0);
  EXPECT_EQ(oci.OCIStmtRelease(st, conn->err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
  ASSERT_EQ(oci.OCISessionRelease(svc, conn->err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
  ASSERT_EQ(oci.OCISessionGet(env, conn->err, &svc, auth, name, nameLen, nullptr, 0, nullptr, nullptr, &found,
                              OCI_SESSGET_SPOOL),
            OCI_SUCCESS);
  EXPECT_TRUE(found);  // the released session came back
  EXPECT_EQ(oci.OCISessionRelease(svc, conn->err, nullptr, 0, OCI_SESSRLS_DROP), OCI_SUCCESS);
  EXPECT_EQ(oci.OCISessionPoolDestroy(pool, conn->err, OCI_SPD_FORCE), OCI_SUCCESS);
  EXPECT_EQ(oci.OCISessionGet(env, conn->err, &svc, auth, name, nameLen, nullptr, 0, nullptr, nullptr, &found,
                              OCI_SESSGET_SPOOL),
            OCI_ERROR);
  oci.OCIHandleFree(auth, OCI_HTYPE_AUTHINFO);
  oci.OCIHandleFree(pool, OCI_HTYPE_SPOOL);
}

TEST_F(OciSessionTest, ExpiredPasswordIsChangedAndGraceIsAWarning) {
  Connection expiring(oci, env);
  EXPECT_EQ(expiring.LogOn("expiring", "expiring"), OCI_SUCCESS_WITH_INFO);
  EXPECT_EQ(expiring.Code(), 28002);
  EXPECT_EQ(expiring.Message().rfind("ORA-28002: the password will expire within ", 0), 0u)
      << expiring.Message();
  expiring.LogOff();

  Connection expired(oci, env);
  EXPECT_EQ(expired.LogOn("expired", "expired"), OCI_ERROR);
  EXPECT_EQ(expired.Code(), 28001);
  // The server stays attached: the password is changed there, which logs the session on.
  EXPECT_EQ(oci.OCIPasswordChange(expired.svc, expired.err, T("expired"), 7, T("wrong"), 5, T("fresh"), 5,
                                  OCI_DEFAULT),
            OCI_ERROR);
  EXPECT_EQ(expired.Code(), 1017);
  ASSERT_EQ(oci.OCIPasswordChange(expired.svc, expired.err, T("expired"), 7, T("expired"), 7, T("fresh"), 5,
                                  OCI_DEFAULT),
            OCI_SUCCESS)
      << expired.Message();
  EXPECT_EQ(expired.Scalar("select 7 from dual"), 7);
  expired.LogOff();
  Connection again(oci, env);
  EXPECT_EQ(again.LogOn("expired", "fresh"), OCI_SUCCESS) << again.Message();
  // A live session changes its password too.
  EXPECT_EQ(oci.OCIPasswordChange(again.svc, again.err, T("expired"), 7, T("fresh"), 5, T("second"), 6,
                                  OCI_DEFAULT),
            OCI_SUCCESS)
      << again.Message();
  again.LogOff();
  Connection third(oci, env);
  EXPECT_EQ(third.LogOn("expired", "second"), OCI_SUCCESS) << third.Message();
  third.LogOff();
}

TEST_F(OciSessionTest, RowidOfTheInsertedRow) {
  MakeTable(2);
  OCIStmt* st = conn->Prepare("insert into t (id, name) values (77, 'new')");
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
  OCIRowid* rowid = nullptr;
  ASSERT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(st, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, conn->err), OCI_SUCCESS);
  // The descriptor's first 13 bytes: kind, data object (4), relative file (2), block (4), slot (2),
  // big-endian; written as the 18-character ROWID they give the row's ROWID.
  const ub1* b = reinterpret_cast<const ub1*>(rowid);
  ASSERT_EQ(b[0], 1);
  auto part = [&](int from, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | b[from + i];
    return v;
  };
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  auto put = [&](uint64_t v, int n) {
    for (int k = n - 1; k >= 0; --k) text += digits[(v >> (6 * k)) & 63];
  };
  put(part(1, 4), 6);
  put(part(5, 2), 3);
  put(part(7, 4), 6);
  put(part(11, 2), 3);
  OCIStmt* sel = conn->Prepare("select rowid from t where id = 77");
  char expected[32] = {};
  OCIDefine* d = nullptr;
  oci.OCIDefineByPos(sel, &d, conn->err, 1, expected, sizeof expected, SQLT_STR, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(sel, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(text, expected);
  // An update reports the address of the row it changed.
  std::memset(rowid, 0, 13);
  OCIStmt* upd = conn->Prepare("update t set name = 'x' where id = 77");
  ASSERT_EQ(conn->Execute(upd, 1), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(upd, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, conn->err), OCI_SUCCESS);
  EXPECT_EQ(b[0], 1);
  text.clear();
  put(part(1, 4), 6);
  put(part(5, 2), 3);
  put(part(7, 4), 6);
  put(part(11, 2), 3);
  EXPECT_EQ(text, expected);
  oci.OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
  for (OCIStmt* s : {st, sel, upd}) oci.OCIHandleFree(s, OCI_HTYPE_STMT);
}

TEST_F(OciSessionTest, DescribeOnlyAndReturningInto) {
  MakeTable(3);
  // Describing runs nothing: the select list is known without rows.
  OCIStmt* st = conn->Prepare("select id, name from t where id = :id");
  int id = 1;
  OCIBind* b = nullptr;
  oci.OCIBindByName(st, &b, conn->err, T(":id"), -1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0,
                    nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, 0, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << conn->Message();
  ub4 count = 0;
  oci.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, conn->err);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(oci.OCIStmtFetch(st, conn->err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(conn->Code(), 1002);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);

  // The ROWID of a new row comes back through RETURNING ... INTO.
  st = conn->Prepare("insert into t (id, name) values (9, 'nine') returning rowid into :rvl__rowid");
  char rowid[19] = {};
  sb2 ind = -1;
  oci.OCIBindByName(st, &b, conn->err, T(":RVL__ROWID"), -1, rowid, sizeof rowid, SQLT_STR, &ind, nullptr,
                    nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(st, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(ind, 0);
  EXPECT_EQ(std::strlen(rowid), 18u);
  OCIStmt* sel = conn->Prepare("select name from t where rowid = :r");
  char name[21] = {};
  oci.OCIBindByName(sel, &b, conn->err, T(":r"), -1, rowid, sizeof rowid, SQLT_STR, nullptr, nullptr, nullptr,
                    0, nullptr, OCI_DEFAULT);
  OCIDefine* d = nullptr;
  oci.OCIDefineByPos(sel, &d, conn->err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                     OCI_DEFAULT);
  ASSERT_EQ(conn->Execute(sel, 1), OCI_SUCCESS) << conn->Message();
  EXPECT_STREQ(name, "nine");
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

// A program's session killed from outside learns of it at its next call; meanwhile another program's
// session takes the SID it left. The program then logs off and on again, and the other session logs
// off: each ends only itself, so both are in the instance while they are logged on, and the program's
// new session finds itself.
TEST_F(OciSessionTest, ALogonAgainAfterAKillKeepsEverySessionThatTookTheSid) {
  const char* kOwnSid = "select sid from v$mystat where rownum = 1";
  const char* kOwnRows =
      "select count(*) from v$session where sid = (select sid from v$mystat where rownum = 1)";
  const int sid = conn->Scalar(kOwnSid);
  const int serial =
      conn->Scalar("select serial# from v$session where sid = (select sid from v$mystat where rownum = 1)");
  ASSERT_GT(sid, 0);
  std::string out;
  ASSERT_EQ(simtest::RunTool((scratch.Dir() / "sim.db").string() + " kill " + std::to_string(sid) + " " +
                                 std::to_string(serial),
                             &out),
            0)
      << out;
  EXPECT_EQ(conn->Run("select dummy from dual"), OCI_ERROR);
  EXPECT_EQ(conn->Message(), "ORA-00028: your session has been killed");
  Connection other(oci, env);
  ASSERT_EQ(other.LogOn("system", "manager"), OCI_SUCCESS) << other.Message();
  ASSERT_EQ(other.Scalar(kOwnSid), sid) << "the other session takes the SID the killed one left";
  // the program logs on again as it does: off with every handle, on with new ones
  conn->LogOff();
  EXPECT_EQ(other.Scalar(kOwnRows), 1) << "the killed session's logoff ended another session";
  conn = std::make_unique<Connection>(oci, env);
  ASSERT_EQ(conn->LogOn("system", "manager"), OCI_SUCCESS) << conn->Message();
  const int again = conn->Scalar(kOwnSid);
  EXPECT_GT(again, 0);
  EXPECT_NE(again, sid);
  other.LogOff();
  EXPECT_EQ(conn->Scalar(kOwnSid), again) << "the other session's logoff ended the program's";
  EXPECT_EQ(conn->Scalar(kOwnRows), 1);
}
