// Queries against the simulated instance in both call generations: variables of every scalar type
// in and out, batched fetching, LONG values in pieces, array DML, parse errors, re-parsing, field
// access with its conversions, and the threaded path.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "OracleTestSupport.h"

namespace {

using QueryTest = BothModesTest;

TEST_P(QueryTest, EveryScalarTypeGoesInAndComesBack) {
  auto s = Connect();
  Run(s.get(), "create table t (i number(9), f number, s varchar2(100), d date, c char(5), l long)");
  auto ins = Query(s.get(), "insert into t values (:i, :f, :s, :d, :c, :l)");
  ins->DeclareVariable("i", otInteger);
  ins->DeclareVariable("f", otFloat);
  ins->DeclareVariable("s", otString);
  ins->DeclareVariable("d", otDate);
  ins->DeclareVariable("c", otChar);
  ins->DeclareVariable("l", otLong);
  TDateTime when = EncodeDateTime(2024, 2, 29, 13, 14, 15, 0);
  ins->SetVariable("i", 42);
  ins->SetVariable("f", 2.5);
  ins->SetVariable("s", std::string("a\r\nb"));
  ins->SetVariable("d", TVariant::FromDate(when));
  ins->SetVariable("c", "xy");
  ins->SetVariable("l", std::string(10000, 'L'));
  ins->Execute();
  EXPECT_EQ(ins->RowsProcessed(), 1);
  EXPECT_EQ(ins->FunctionType(), 3);
  // A second row with every value null.
  for (auto* name : {"i", "f", "s", "d", "c", "l"}) ins->SetVariable(name, TVariant());
  ins->Execute();

  auto q = Query(s.get(), "select i, f, s, d, c, l from t where i = :i or :i is null order by i");
  q->DeclareVariable("i", otInteger);
  q->SetVariable("i", 42);
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->FieldCount(), 6);
  EXPECT_EQ(q->FieldType(0), otInteger);
  EXPECT_EQ(q->FieldType(1), otFloat);
  EXPECT_EQ(q->FieldType(2), otString);
  EXPECT_EQ(q->FieldType(3), otDate);
  EXPECT_EQ(q->FieldType(5), otLong);
  EXPECT_EQ(q->Field(0).AsInteger(), 42);
  EXPECT_DOUBLE_EQ(q->Field(1).AsDouble(), 2.5);
  EXPECT_EQ(q->Field(2).AsString(), "a\r\nb");  // sent without CR, read back with CR LF
  EXPECT_DOUBLE_EQ(q->FieldAsDate(3), when);
  EXPECT_EQ(q->FieldAsString(4).substr(0, 2), "xy");
  EXPECT_EQ(q->Field(5).AsString(), std::string(10000, 'L'));
  q->Next();
  EXPECT_TRUE(q->Eof());

  // Out: values written back by a RETURNING clause.
  auto upd = Query(s.get(), "update t set s = s || 'z', i = i + 1 where i = :i returning s, i into :s, :n");
  upd->DeclareVariable("i", otInteger);
  upd->DeclareVariable("s", otString);
  upd->DeclareVariable("n", otInteger);
  upd->SetVariable("i", 42);
  upd->Execute();
  EXPECT_EQ(upd->GetVariable("s").AsString(), "a\r\nbz");
  EXPECT_EQ(upd->GetVariable("n").AsInteger(), 43);
  if (!HostCalls()) {
    EXPECT_EQ(upd->RowId().size(), 18u);
  }
}

TEST_P(QueryTest, RowsComeInBatchesOfReadBuffer) {
  auto s = Connect();
  Run(s.get(), "create table t (n number(9))");
  auto ins = Query(s.get(), "insert into t values (:n)");
  ins->DeclareVariable("n", otInteger);
  TVariant values = VarArrayCreate({1, 60}, varVariant);
  for (int i = 1; i <= 60; ++i) values.SetElement(i, i);
  ins->SetVariable("n", values);
  EXPECT_EQ(ins->ExecuteArray(-1, -1), 60);

  for (int count : {60, 50}) {
    auto q = Query(s.get(), "select n from t where n <= :c order by n");
    q->DeclareVariable("c", otInteger);
    q->SetVariable("c", count);
    q->Execute();
    int rows = 0;
    std::vector<int> batches;
    int lastFetches = 0;
    while (!q->Eof()) {
      if (q->FetchCount() != lastFetches) {
        batches.push_back(q->RowsInBuffer());
        lastFetches = q->FetchCount();
      }
      EXPECT_EQ(q->FieldAsInteger(0), ++rows);
      q->Next();
    }
    EXPECT_EQ(rows, count);
    if (count == 60) {
      EXPECT_EQ(batches, (std::vector<int>{25, 25, 10}));
      EXPECT_EQ(q->FetchCount(), 3);  // the end of the short batch needs no call
    } else {
      EXPECT_EQ(batches, (std::vector<int>{25, 25}));
      EXPECT_EQ(q->FetchCount(), 3);  // a third exchange brings nothing
    }
    EXPECT_EQ(q->RowsProcessed(), count);
  }

  // Bigger buffers, and a buffer below 1 counts as 1.
  auto q = Query(s.get(), "select n from t");
  q->SetReadBuffer(1000);
  q->Execute();
  EXPECT_EQ(q->RowsInBuffer(), 60);
  q->SetReadBuffer(0);
  EXPECT_EQ(q->ReadBuffer(), 1);
}

TEST_P(QueryTest, LongColumnsArriveInPiecesOneRowPerExchange) {
  auto s = Connect();
  Run(s.get(), "create table t (id number(9), txt long)");
  auto ins = Query(s.get(), "insert into t values (:id, :txt)");
  ins->DeclareVariable("id", otInteger);
  ins->DeclareVariable("txt", otLong);
  std::string big;
  for (int i = 0; i < 100000; ++i) big += static_cast<char>('a' + i % 26);
  for (int id = 1; id <= 3; ++id) {
    ins->SetVariable("id", id);
    ins->SetVariable("txt", id == 2 ? std::string("line1\r\nline2") : big);
    ins->Execute();
  }
  auto q = Query(s.get(), "select id, txt from t order by id");
  q->Execute();
  EXPECT_EQ(q->RowsPerExchange(), 1);
  EXPECT_EQ(q->FieldAsString(1), big);
  if (!HostCalls()) {
    TFieldData* f = q->FieldData(1);
    ASSERT_NE(f->Pieces(), nullptr);
    std::vector<int> sizes;
    for (int i = 0; i < f->Pieces()->Count(); ++i)
      sizes.push_back(static_cast<TLongPiece*>(f->Pieces()->Items(i))->allocatedSize);
    ASSERT_GE(sizes.size(), 5u);
    EXPECT_EQ((std::vector<int>(sizes.begin(), sizes.begin() + 5)),
              (std::vector<int>{4096, 8192, 16384, 32768, 32768}));
    EXPECT_EQ(f->LongLength(), 100000);
  }
  char part[10];
  EXPECT_EQ(q->GetLongField(1, part, 10, 99995), 5);
  EXPECT_EQ(std::string(part, 5), big.substr(99995));
  EXPECT_EQ(q->GetLongField(1, part, 10, 5000), 10);
  EXPECT_EQ(std::string(part, 10), big.substr(5000, 10));
  q->Next();
  EXPECT_EQ(q->Field(1).AsString(), "line1\r\nline2");
  EXPECT_EQ(Raised([&] { q->GetLongField(0, part, 1, 0); }), "Field 0 is not a Long");
  EXPECT_EQ(Raised([&] { q->FieldAsInteger(1); }), "Cannot convert field TXT to an Integer");
  q->Next();
  q->Next();
  EXPECT_TRUE(q->Eof());
}

TEST_P(QueryTest, ArrayDMLContinuesAfterAFailingElement) {
  auto s = Connect();
  Run(s.get(), "create table t (n number(9) primary key, s varchar2(10))");
  Run(s.get(), "insert into t values (4, 'old')");
  auto ins = Query(s.get(), "insert into t values (:n, :s)");
  ins->DeclareVariable("n", otInteger);
  ins->DeclareVariable("s", otString);
  TVariant n = VarArrayCreate({0, 9}, varVariant), t = VarArrayCreate({0, 9}, varVariant);
  for (int i = 0; i < 10; ++i) {
    n.SetElement(i, i + 1);
    t.SetElement(i, "v" + std::to_string(i + 1));
  }
  ins->SetVariable("n", n);
  ins->SetVariable("s", t);
  std::vector<int> failed;
  int code = 0;
  ins->OnArrayError = [&](TOracleQuery*, int Index, int ErrorCode, const std::string&, bool& Continue) {
    failed.push_back(Index);
    code = ErrorCode;
    Continue = true;
  };
  EXPECT_EQ(ins->ExecuteArray(-1, -1), 9);
  EXPECT_EQ(failed, std::vector<int>{3});
  EXPECT_EQ(code, 1);
  auto count = Query(s.get(), "select count(*) from t");
  count->Execute();
  EXPECT_EQ(count->FieldAsInteger(0), 10);

  // Without a handler the error reaches the caller, for Execute and for an explicit range alike.
  ins->OnArrayError = nullptr;
  EXPECT_EQ(OracleCode([&] { ins->Execute(); }), 1);
  EXPECT_EQ(OracleCode([&] { ins->ExecuteArray(2, 3); }), 1);
  EXPECT_EQ(ins->ExecuteArray(0, 0), 0);

  TVariant eight = VarArrayCreate({0, 7}, varVariant);
  for (int i = 0; i < 8; ++i) eight.SetElement(i, "x");
  ins->SetVariable("s", eight);
  EXPECT_EQ(Raised([&] { ins->Execute(); }), "All arrays must be of equal size for Array DML");
}

TEST_P(QueryTest, ArrayErrorsNameTheElementThatFailed) {
  auto s = Connect();
  Run(s.get(), "create table t (n number(9), s varchar2(10) not null)");
  Run(s.get(), "insert into t values (1, 'a')");
  Run(s.get(), "insert into t values (2, 'b')");
  Run(s.get(), "insert into t values (2, 'c')");
  Run(s.get(), "insert into t values (3, 'd')");
  // The first element updates two rows, the second fails, the third must still run.
  auto upd = Query(s.get(), "update t set s = :s where n = :n");
  upd->DeclareVariable("n", otInteger);
  upd->DeclareVariable("s", otString);
  upd->SetVariable("n", VarArrayOf({2, 3, 1}));
  upd->SetVariable("s", VarArrayOf({"y", TVariant(), "z"}));
  std::vector<int> failed;
  upd->OnArrayError = [&](TOracleQuery*, int Index, int, const std::string&, bool& Continue) {
    failed.push_back(Index);
    Continue = true;
  };
  int total = upd->ExecuteArray(-1, -1);
  // The handle calls name the failing element; the host calls only count rows.
  if (!HostCalls()) {
    EXPECT_EQ(total, 3);
    EXPECT_EQ(failed, std::vector<int>{1});
    auto q = Query(s.get(), "select s from t where n = 1");
    q->Execute();
    EXPECT_EQ(q->FieldAsString(0), "z");
  } else {
    EXPECT_EQ(total, 2);
    EXPECT_EQ(failed, std::vector<int>{2});
  }
}

TEST_P(QueryTest, DescribeAndTheQueryEvents) {
  auto s = Connect();
  auto q = Query(s.get(), "select empno, ename, hiredate from emp");
  std::vector<std::string> events;
  q->BeforeQuery = [&](TOracleQuery*) { events.push_back("before"); };
  q->AfterQuery = [&](TOracleQuery*) { events.push_back("after"); };
  q->Describe();
  EXPECT_TRUE(q->Eof());
  ASSERT_EQ(q->FieldCount(), 3);
  EXPECT_EQ(q->FieldName(1), "ENAME");
  EXPECT_EQ(q->FieldInternalType(2), 12);
  EXPECT_TRUE(events.empty());
  q->Execute();
  EXPECT_EQ(events, (std::vector<std::string>{"before"}));
  while (!q->Eof()) q->Next();
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
  q->Close();
  EXPECT_EQ(q->FieldCount(), 0);
}

TEST_P(QueryTest, ParseErrorsGiveLineAndColumn) {
  auto s = Connect();
  auto q = Query(s.get(), "select 1\nfrom no_such_table");
  int code = OracleCode([&] { q->Execute(); });
  EXPECT_EQ(code, 942);
  EXPECT_EQ(q->ErrorLine(), 2);
  EXPECT_EQ(q->ErrorPosition(), 6);
  bool afterQuery = false;
  q->AfterQuery = [&](TOracleQuery*) { afterQuery = true; };
  EXPECT_EQ(OracleCode([&] { q->Execute(); }), 942);
  EXPECT_TRUE(afterQuery) << "fires on errors too";
}

TEST_P(QueryTest, ParseErrorColumnsCountCharactersNotBytes) {
  auto s = Connect();
  for (const char* text : {"abcdef", "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"}) {
    SCOPED_TRACE(text);
    auto q = Query(s.get(), std::string("select 1 from dual\nwhere 'x' = '") + text + "' )) and 1 = 1");
    EXPECT_NE(OracleCode([&] { q->Execute(); }), 0);
    EXPECT_EQ(q->ErrorLine(), 2);
    EXPECT_EQ(q->ErrorPosition(), 22) << "the first of the two parentheses";
  }
}

TEST_P(QueryTest, RowIdNamesTheLastRowProcessed) {
  auto s = Connect();
  Run(s.get(), "create table marks (n number(4))");
  auto insert = Query(s.get(), "insert into marks values (:n)");
  insert->DeclareVariable("n", otInteger);
  std::vector<std::string> inserted;
  for (int n = 1; n <= 3; ++n) {
    insert->SetVariable("n", n);
    insert->Execute();
    inserted.push_back(insert->RowId());
  }
  auto rowIdOf = [&](int n) {
    auto q = Query(s.get(), "select rowid from marks where n = " + IntToStr(n));
    q->Execute();
    return q->Eof() ? std::string("<none>") : q->FieldAsString(0);
  };
  EXPECT_EQ(inserted[1], rowIdOf(2));
  EXPECT_EQ(inserted[1].size(), 18u);
  auto update = Query(s.get(), "update marks set n = n + 10 where n = 2");
  update->Execute();
  EXPECT_EQ(update->RowsProcessed(), 1);
  EXPECT_EQ(update->RowId(), inserted[1]);
  auto remove = Query(s.get(), "delete from marks where n >= 3 and n < 12");
  remove->Execute();
  EXPECT_EQ(remove->RowsProcessed(), 1);
  EXPECT_EQ(remove->RowId(), inserted[2]);
}

// LOB and timestamp columns come through the handle-based calls only.
using HandleQueryTest = ScottSessionTest;

TEST_F(HandleQueryTest, NullColumnsOfEveryTypeReadAsEmptyText) {
  TOracleSession* s = S();
  Run(s, "create table blanks (n number(4), c clob, b blob, t timestamp, d date)");
  Run(s, "insert into blanks (n) values (1)");
  auto q = Query(s, "select c, b, t, d, n from blanks");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  for (int i = 0; i < q->FieldCount(); ++i) {
    SCOPED_TRACE(q->FieldName(i));
    if (i < 4) {
      EXPECT_TRUE(q->FieldIsNull(i));
    }
    EXPECT_EQ(Raised([&] { EXPECT_EQ(q->FieldAsString(i), i < 4 ? "" : "1"); }), "");
  }
  EXPECT_EQ(Raised([&] { q->FieldAsDate(2); }), "") << "a null timestamp is date 0";
  EXPECT_EQ(Raised([&] { q->FieldAsInteger(0); }), "") << "a null column gives 0 whatever its type";
}

TEST_F(HandleQueryTest, CursorColumnsGiveEachRowAStatementOfItsOwn) {
  auto q = Query(S(),
                 "select d.dname, cursor(select ename from emp where deptno = 10 order by ename) staff\n"
                 "from dept d where d.deptno in (10, 20) order by d.deptno");
  q->SetReadBuffer(1);
  q->Execute();
  ASSERT_EQ(q->FieldCount(), 2);
  EXPECT_EQ(q->FieldInternalType(1), otCursor);
  EXPECT_EQ(q->FieldType(1), otCursor);
  OCIError* err = nullptr;
  ASSERT_EQ(OCI.OCIHandleAlloc(S()->EnvironmentHandle(), reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0,
                               nullptr),
            OCI_SUCCESS);
  // The names the row's statement fetches.
  auto staff = [&] {
    OCIStmt* st = *static_cast<OCIStmt**>(q->FieldAddress(1));
    char name[32] = {};
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI.OCIDefineByPos(st, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                 OCI_DEFAULT),
              OCI_SUCCESS);
    std::string names;
    while (OCI.OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) == OCI_SUCCESS)
      names += (names.empty() ? "" : ",") + std::string(name);
    return names;
  };
  EXPECT_TRUE(q->Field(1).IsEmpty()) << "a cursor column reads as unassigned";
  EXPECT_EQ(Raised([&] { q->FieldAsString(1); }), "Cannot convert field STAFF to a String");
  EXPECT_EQ(q->FieldAsString(0), "ACCOUNTING");
  EXPECT_EQ(staff(), "CLARK,KING,MILLER");
  q->Next();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->FieldAsString(0), "RESEARCH");
  EXPECT_EQ(staff(), "CLARK,KING,MILLER") << "a fresh statement for the next row";
  S()->SetNullValue(nvNull);
  EXPECT_TRUE(q->Field(1).IsNull());
  q->Next();
  EXPECT_TRUE(q->Eof());
  OCI.OCIHandleFree(err, OCI_HTYPE_ERROR);
}

TEST_P(QueryTest, OptimizeKeepsTheParseUntilVariablesChange) {
  auto s = Connect();
  auto q = Query(s.get(), "select :a from dual");
  q->DeclareVariable("a", otString);
  q->SetVariable("a", "x");
  q->Execute();
  q->Execute();
  EXPECT_EQ(q->ParseCount(), 1);
  EXPECT_EQ(q->Field(0).AsString(), "x");
  q->DeclareVariable("a", otString);
  q->SetVariable("a", "y");
  q->Execute();
  EXPECT_EQ(q->ParseCount(), 2);
  EXPECT_EQ(q->Field(0).AsString(), "y");
  q->SetOptimize(false);
  q->Execute();
  EXPECT_EQ(q->ParseCount(), 3);
}

TEST_P(QueryTest, FieldAccessConvertsAndRefuses) {
  auto s = Connect();
  auto q =
      Query(s.get(),
            "select 7 n, 2.5 f, 'abc' s, to_date('2020-05-17', 'yyyy-mm-dd') d, "
            "to_date('2020-05-17 10:30:00', 'yyyy-mm-dd hh24:mi:ss') dt, null z, 3000000000.5 big from dual");
  q->Execute();
  EXPECT_EQ(q->FieldIndex("D"), 3);
  EXPECT_EQ(q->FieldIndex("dT"), 4);
  EXPECT_EQ(q->FieldIndex("nothing"), -1);
  EXPECT_EQ(q->FieldName(2), "S");
  EXPECT_EQ(q->FieldAsInteger(0), 7);
  EXPECT_EQ(q->FieldAsString(0), "7");
  EXPECT_DOUBLE_EQ(q->FieldAsFloat(0), 7.0);
  EXPECT_EQ(q->FieldAsInteger(1), 2);  // halves to even
  EXPECT_EQ(q->FieldAsString(1), FloatToStr(2.5));
  EXPECT_EQ(q->FieldAsString(2), "abc");
  EXPECT_EQ(Raised([&] { q->FieldAsInteger(2); }), "'abc' is not a valid integer value");
  TDateTime d = EncodeDate(2020, 5, 17);
  EXPECT_EQ(q->FieldAsString(3), FormatDateTime("ddddd", d));
  EXPECT_EQ(q->FieldAsString(4), FormatDateTime("ddddd tt", d + 10.5 / 24));
  EXPECT_EQ(q->FieldAsInteger(3), static_cast<int>(d));
  EXPECT_TRUE(q->FieldIsNull(5));
  EXPECT_TRUE(q->Field(5).IsEmpty());
  EXPECT_EQ(q->FieldAsString(5), "");
  EXPECT_EQ(q->FieldAsInteger(5), 0);
  EXPECT_EQ(Raised([&] { q->FieldAsInteger(6); }), "Cannot convert field BIG to an Integer");
  EXPECT_EQ(q->FieldByName("s").AsString(), "abc");
  EXPECT_EQ(Raised([&] { q->FieldByName("nope"); }), "Field nope does not exist");
  EXPECT_EQ(Raised([&] { q->Field(7); }), "Field 7 does not exist");
  EXPECT_EQ(Raised([&] { q->FieldType(-1); }), "Field -1 does not exist");
  EXPECT_EQ(q->FieldStringSize(2), 3);
  s->SetNullValue(nvNull);
  EXPECT_TRUE(q->Field(5).IsNull());
  q->Next();
  EXPECT_TRUE(q->Eof());
  EXPECT_EQ(Raised([&] { q->Field(0); }), "You cannot access field data beyond Eof");

  // Numbers fetched as text still read as numbers.
  q->SetStringFieldsOnly(true);
  q->Execute();
  EXPECT_EQ(q->FieldType(0), otString);
  EXPECT_EQ(q->FieldAsInteger(0), 7);
  EXPECT_DOUBLE_EQ(q->FieldAsFloat(1), 2.5);
}

TEST_P(QueryTest, SubstitutionVariablesAndFoundVariables) {
  auto s = Connect();
  // Declared from what the scanner finds in the text.
  auto q = Query(s.get(),
                 "select ename from :tab where deptno = :dept and job = :job /* :not_me */ order by ename");
  std::unique_ptr<TStringList> found(FindVariables(q->SQL()->Text(), false));
  ASSERT_EQ(found->Count(), 3);
  for (int i = 0; i < found->Count(); ++i)
    q->DeclareVariable(found->Strings(i), found->Strings(i) == "TAB" ? otSubst : otString);
  q->SetVariable("tab", "emp");
  q->SetVariable("dept", "30");
  q->SetVariable("job", "MANAGER");
  EXPECT_EQ(q->FinalSQL().substr(0, 22), "select ename from emp ");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->FieldAsString(0), "BLAKE");
  EXPECT_EQ(Raised([&] {
              q->SetVariable("tab", VarArrayOf({1, 2}));
            }),
            ":TAB is a substitution variable and cannot be an array");
}

TEST_P(QueryTest, ThreadedQueryReportsThroughSynchronize) {
  auto s = Connect();
  auto q = Query(s.get(), "select empno from emp order by empno");
  q->SetThreaded(true);
  int executed = 0, records = 0, finished = 0, errors = 0;
  q->OnThreadExecuted = [&](TOracleQuery*) {
    EXPECT_EQ(GetCurrentThreadId(), MainThreadID);
    ++executed;
  };
  q->OnThreadRecord = [&](TOracleQuery* Q) {
    EXPECT_GT(Q->FieldAsInteger(0), 0);
    ++records;
  };
  q->OnThreadFinished = [&](TOracleQuery*) { ++finished; };
  q->OnThreadError = [&](TOracleQuery*, int, const std::string&) { ++errors; };
  q->Execute();
  // The worker waits for the main thread at its first event.
  CheckSynchronize(50);
  EXPECT_EQ(Raised([&] { q->Execute(); }), "Query thread is still in progress");
  for (int i = 0; i < 500 && finished == 0; ++i) CheckSynchronize(10);
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(records, 14);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(errors, 0);
  for (int i = 0; i < 200 && !q->Thread()->Suspended(); ++i) CheckSynchronize(5);
  // Again, with a failing statement.
  q->SQL()->SetText("select * from no_such_table");
  q->Execute();
  for (int i = 0; i < 500 && finished == 1; ++i) CheckSynchronize(10);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(q->Thread()->ErrorCode(), 942);
  EXPECT_EQ(finished, 2);
}

TEST_P(QueryTest, SessionStatesAreChecked) {
  auto q = std::make_unique<TOracleQuery>(nullptr);
  q->SQL()->SetText("select 1 from dual");
  EXPECT_EQ(Raised([&] { q->Execute(); }), "Session undefined");
  TOracleSession session(nullptr);
  q->SetSession(&session);
  EXPECT_EQ(Raised([&] { q->Execute(); }), "Not logged on");
  auto s = Connect();
  q->SetSession(s.get());
  q->Execute();
  EXPECT_FALSE(q->Eof());
  s->LogOff();
  EXPECT_TRUE(q->Eof());
  s->LogOn();
  q->Execute();
  EXPECT_EQ(q->FieldAsInteger(0), 1);
}

TEST_P(QueryTest, ALostConnectionSurfacesAsAnOracleError) {
  auto s = Connect();
  auto dba = SimInstanceTest::Connect(false, "system", "manager");
  auto q = Query(s.get(), "select userenv('SID') from dual");
  q->Execute();
  int sid = q->FieldAsInteger(0);
  // The serial number is found by trying: the instance is fresh, so the numbers are small.
  bool cut = false;
  for (int serial = 1; serial < 5000 && !cut; ++serial) {
    int code = OracleCode([&] {
      Run(dba.get(), "alter system disconnect session '" + std::to_string(sid) + "," +
                         std::to_string(serial) + "' immediate");
    });
    ASSERT_TRUE(code == 0 || code == 30) << code;
    cut = code == 0;
  }
  ASSERT_TRUE(cut);
  auto again = Query(s.get(), "select 1 from dual");
  EXPECT_EQ(OracleCode([&] { again->Execute(); }), 3113);
}

TEST_P(QueryTest, DebugShowsTheStatementAndTheCursorIsRestored) {
  auto s = Connect();
  auto& ui = HeadlessOracleUserInterface();
  ui.Clear();
  auto q = Query(s.get(), "select :a from dual");
  q->DeclareVariable("a", otString);
  q->DeclareVariable("b", otLong);
  q->SetVariable("a", "x");
  q->SetDebug(true);
  q->SetCursor(oracle_ui::crHourGlass);
  SetScreenCursor(oracle_ui::crDefault);
  q->DeleteVariable("b");
  q->Execute();
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "select :a from dual\r:A = x");
  EXPECT_EQ(GetScreenCursor(), oracle_ui::crDefault);
  EXPECT_NE(std::find(ui.CursorHistory().begin(), ui.CursorHistory().end(), oracle_ui::crHourGlass),
            ui.CursorHistory().end());
  ui.Clear();
}

TEST_P(QueryTest, AThreadSafeSessionIsFreeAgainAfterAnError) {
  auto s = std::make_unique<TOracleSession>(nullptr);
  s->Preferences()->SetUseOCI7(HostCalls());
  s->SetThreadSafe(true);
  s->SetLogonUsername("scott");
  s->SetLogonPassword("tiger");
  s->SetLogonDatabase("SIM");
  s->LogOn();
  auto bad = Query(s.get(), "select * from no_such_table");
  EXPECT_EQ(OracleCode([&] { bad->Execute(); }), 942);
  EXPECT_EQ(OracleCode([&] { bad->Execute(); }), 942);
  // Another thread gets the session's lock at once.
  std::atomic<int> value{0};
  std::thread other([&] {
    auto q = Query(s.get(), "select 5 from dual");
    q->Execute();
    value = q->FieldAsInteger(0);
  });
  for (int i = 0; i < 500 && value == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(value, 5);
  other.join();
}

INSTANTIATE_TEST_SUITE_P(Generations, QueryTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "HostCalls" : "Handles";
                         });

}  // namespace
