// The dataset driven by a data provider: statements with "?" parameters, transactions over the
// change log, parameters, and keys, indexes and order taken from the dictionary and the statement.
#include <gtest/gtest.h>

#include <memory>

#include "oracle/OracleObjects.h"
#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {
class ProviderTest : public OracleDataTest {
 protected:
  std::string ServerValue(const std::string& SQL) {
    auto other = Connect(false);
    auto q = Query(other.get(), SQL);
    q->Execute();
    return q->Eof() ? "<none>" : q->FieldAsString(0);
  }
  std::string ServerLob(const std::string& SQL) {
    auto other = Connect(false);
    auto q = Query(other.get(), SQL);
    q->Execute();
    if (q->Eof()) return "<none>";
    auto* lob = static_cast<TLOBLocator*>(q->LOBField(0));
    return lob->IsNull() ? "<null>" : lob->AsString();
  }
};
}  // namespace

TEST(ProviderPlaceholders, QuestionMarksOutsideLiteralsNamesAndComments) {
  const std::string sql = "update t set a = '?', \"b?\" = ? -- why?\n where /* ? */ c = ?";
  const size_t first = NextPlaceholder(sql, 0);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(sql.substr(first - 2, 3), "= ?");
  const size_t second = NextPlaceholder(sql, first + 1);
  EXPECT_EQ(sql.substr(second - 4), "c = ?");
  EXPECT_EQ(NextPlaceholder(sql, second + 1), std::string::npos);
  EXPECT_EQ(NextPlaceholder("select 'unclosed ?", 0), std::string::npos);
}

TEST_F(ProviderTest, StatementsWithParameters) {
  auto ds = DataSet("select e.*, e.rowid from emp e");
  TParams params;
  params.CreateParam(ftFloat, "SAL", ptInput)->SetAsFloat(1234);
  params.CreateParam(ftInteger, "EMPNO", ptInput)->SetAsInteger(7369);
  EXPECT_EQ(
      ds->PSExecuteStatement("update emp set sal = ?, ename = 'WHO?' where empno = ?", &params, nullptr), 1);
  auto q = Query(session.get(), "select sal || ename from emp where empno = 7369");
  q->Execute();
  EXPECT_EQ(q->FieldAsString(0), "1234WHO?");

  TParams one;
  one.CreateParam(ftInteger, "X", ptInput)->SetAsInteger(1);
  one.CreateParam(ftInteger, "Y", ptInput)->SetAsInteger(2);
  EXPECT_EQ(Raised([&] { ds->PSExecuteStatement("select * from dual where 1 = ?", &one, nullptr); }),
            "No variable for parameter 1");

  TParams dept;
  dept.CreateParam(ftInteger, "D", ptInput)->SetAsInteger(20);
  TDataSet* result = nullptr;
  EXPECT_EQ(ds->PSExecuteStatement("select ename from emp where deptno = ? order by ename", &dept, &result),
            5);
  std::unique_ptr<TDataSet> owned(result);
  ASSERT_NE(owned, nullptr);
  owned->First();
  EXPECT_EQ(owned->FieldByName("ENAME")->AsString(), "ADAMS");

  Run(session.get(), "create table texts (id number(4), t long)");
  TParams big;
  big.CreateParam(ftString, "T", ptInput)->SetAsString(std::string(5000, 'x'));
  EXPECT_EQ(ds->PSExecuteStatement("insert into texts values (1, ?)", &big, nullptr), 1)
      << "a string longer than a string bind goes as a LONG";
}

TEST_F(ProviderTest, LobParametersAreWrittenThroughTheLocatorsTheStatementReturns) {
  auto ds = DataSet("select e.*, e.rowid from emp e");
  Run(session.get(), "create table notes (id number(4), c clob, b blob)");
  TParams params;
  params.CreateParam(ftInteger, "ID", ptInput)->SetAsInteger(1);
  params.CreateParam(ftOraClob, "C", ptInput)->SetValue("первая\r\nвторая");
  params.CreateParam(ftOraBlob, "B", ptInput)->SetValue(std::string("\0\x01\xff", 3));
  EXPECT_EQ(ds->PSExecuteStatement(
                "insert into notes values (?, empty_clob(), empty_blob()) returning c, b into ?, ?", &params,
                nullptr),
            1);
  session->Commit();
  EXPECT_EQ(ServerLob("select c from notes where id = 1"), "первая\r\nвторая")
      << "one line break, read back as CR LF";
  EXPECT_EQ(ServerLob("select b from notes where id = 1"), std::string("\0\x01\xff", 3));

  TParams empty;
  empty.CreateParam(ftInteger, "ID", ptInput)->SetAsInteger(2);
  empty.CreateParam(ftOraClob, "C", ptInput)->SetValue(std::string());
  EXPECT_EQ(ds->PSExecuteStatement("insert into notes (id, c) values (?, empty_clob()) returning c into ?",
                                   &empty, nullptr),
            1);
  session->Commit();
  EXPECT_EQ(ServerLob("select c from notes where id = 2"), "")
      << "an empty text leaves the returned LOB empty";
}

TEST_F(ProviderTest, ATransactionThatIsNotCommittedUndoesItsChanges) {
  auto ds = DataSet("select d.*, d.rowid from dept d order by deptno");
  ds->Open();
  EXPECT_TRUE(ds->CommitOnPost());
  ds->PSStartTransaction();
  EXPECT_TRUE(ds->PSInTransaction());
  EXPECT_FALSE(ds->CommitOnPost());
  ds->Append();
  ds->FieldByName("DEPTNO")->SetAsInteger(50);
  ds->FieldByName("DNAME")->SetAsString("NEW");
  ds->Post();
  ds->First();
  ds->Edit();
  ds->FieldByName("LOC")->SetAsString("CHANGED");
  ds->Post();
  ds->Last();
  ds->Prior();
  ds->Delete();  // OPERATIONS
  EXPECT_EQ(Column(ds.get(), "DNAME"), "ACCOUNTING,RESEARCH,SALES,NEW");
  EXPECT_EQ(ServerValue("select count(*) from dept"), "4") << "nothing committed inside the transaction";
  ds->PSEndTransaction(false);
  EXPECT_FALSE(ds->PSInTransaction());
  EXPECT_TRUE(ds->CommitOnPost()) << "posts commit again after the transaction";
  EXPECT_EQ(Column(ds.get(), "DNAME"), "ACCOUNTING,RESEARCH,SALES,OPERATIONS");
  ds->First();
  EXPECT_EQ(ds->FieldByName("LOC")->AsString(), "NEW YORK");
  auto q = Query(session.get(), "select count(*) || min(loc) from dept");
  q->Execute();
  EXPECT_EQ(q->FieldAsString(0), "4BOSTON") << "the session rolled back";

  ds->PSStartTransaction();
  ds->First();
  ds->Edit();
  ds->FieldByName("LOC")->SetAsString("KEPT");
  ds->Post();
  ds->PSEndTransaction(true);
  EXPECT_EQ(ServerValue("select loc from dept where deptno = 10"), "KEPT");
  EXPECT_EQ(ds->ChangeLog()->Count(), 0);
}

TEST_F(ProviderTest, ParametersGoBothWays) {
  auto ds = DataSet("select * from emp where deptno = :deptno and ename like :name");
  ds->DeclareVariable("deptno", otInteger);
  ds->DeclareVariable("name", otString);
  ds->SetVariable("deptno", 30);
  ds->SetVariable("name", "A%");
  TParams* params = ds->PSGetParams();
  ASSERT_EQ(params->Count(), 2);
  EXPECT_EQ(params->ParamByName("DEPTNO")->DataType(), ftInteger);
  EXPECT_EQ(params->ParamByName("DEPTNO")->AsInteger(), 30);
  EXPECT_EQ(params->ParamByName("NAME")->AsString(), "A%");

  TParams mine;
  mine.CreateParam(ftInteger, "deptno", ptInput)->SetAsInteger(20);
  mine.CreateParam(ftString, "name", ptInput)->SetAsString("S%");
  mine.CreateParam(ftBoolean, "skipped", ptInput)->SetAsBoolean(true);
  ds->PSSetParams(&mine);
  EXPECT_EQ(ds->VariableCount(), 2) << "a parameter of a type without a variable type is skipped";
  ds->PSExecute();
  EXPECT_EQ(Column(ds.get(), "ENAME"), "SMITH,SCOTT");
  EXPECT_EQ(ds->PSGetParams()->Count(), 2);

  // The list goes with changes of the variables and with the close; the object stays.
  params = ds->PSGetParams();
  params->ParamByName("NAME")->SetParamType(ptInputOutput);
  ds->DeclareVariable("job", otString);
  EXPECT_EQ(params->Count(), 0) << "declaring a variable";
  ASSERT_EQ(ds->PSGetParams()->Count(), 3);
  EXPECT_EQ(params->ParamByName("NAME")->ParamType(), ptInput) << "made afresh";
  ds->Close();
  EXPECT_EQ(params->Count(), 0) << "closing";
  ds->PSGetParams();
  ds->DeleteVariables();
  EXPECT_EQ(params->Count(), 0) << "deleting the variables";
}

TEST_F(ProviderTest, KeysIndexesAndOrderFromTheDictionaryAndTheStatement) {
  auto ds = DataSet("select e.empno, e.ename, e.sal, e.rowid from emp e order by upper(e.ename) desc, 3");
  ds->Open();
  EXPECT_EQ(ds->PSGetKeyFields(), "EMPNO") << "the primary key";
  std::unique_ptr<TIndexDefs> indexes(ds->PSGetIndexDefs({ixPrimary}));
  ASSERT_EQ(indexes->Count(), 1);
  EXPECT_EQ(indexes->Items(0)->Name(), "PK_EMP");
  EXPECT_EQ(indexes->Items(0)->Fields(), "EMPNO");
  EXPECT_TRUE(indexes->Items(0)->Options().Contains(ixPrimary));
  std::unique_ptr<TIndexDef> order(ds->PSGetDefaultOrder());
  ASSERT_NE(order, nullptr);
  EXPECT_EQ(order->Fields(), "ENAME;SAL");
  EXPECT_EQ(order->DescFields(), "ENAME");
  EXPECT_EQ(order->CaseInsFields(), "ENAME");
  EXPECT_EQ(ds->PSGetTableName(), "EMP");

  ds->SetProviderOptions({opNoKeyFields, opNoIndexDefs, opNoDefaultOrder});
  EXPECT_EQ(ds->PSGetKeyFields(), "");
  std::unique_ptr<TIndexDefs> none(ds->PSGetIndexDefs({ixPrimary, ixUnique}));
  EXPECT_EQ(none->Count(), 0);
  EXPECT_EQ(ds->PSGetDefaultOrder(), nullptr);

  auto expr = DataSet("select ename, sal from emp order by sal * 2");
  expr->Open();
  EXPECT_EQ(std::unique_ptr<TIndexDef>(expr->PSGetDefaultOrder()), nullptr) << "an expression ends the order";
  auto partial = DataSet("select ename, sal from emp");
  partial->Open();
  EXPECT_EQ(partial->PSGetKeyFields(), "") << "the key column is not in the query";
  partial->SetUniqueFields("ENAME");
  EXPECT_EQ(partial->PSGetKeyFields(), "ENAME");

  ds->SetProviderOptions({});
  ds->PSSetCommandText("select * from dept");
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(ds->SQL()->Text(), "select * from dept\r\n");
}

TEST(RowIdAllocationCheck, ReportsCopiesStillAlive) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(CheckRowIdAllocations(out)) << "none alive in a fresh process";
  std::fclose(out);
}
