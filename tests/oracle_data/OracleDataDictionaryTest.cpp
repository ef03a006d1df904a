// What the dataset takes from the dictionary: table information, defaults and sequences for new
// records, the client-side constraint check, and the field settings applied at open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;
using testing::StartsWith;

namespace {
class DictionaryTest : public OracleDataTest {
 protected:
  void SetUp() override {
    OracleDataTest::SetUp();
    Run(session.get(),
        "create table xdept (deptno number(2) constraint xdept_pk primary key, dname varchar2(14) default "
        "'NEW', loc varchar2(13))");
    Run(session.get(),
        "create table xemp (empno number(4) constraint xemp_pk primary key, ename varchar2(10), "
        "job varchar2(9) constraint xemp_job check (job in ('JOB', 'CLERK')), "
        "sal number(7,2) constraint xsal_pos check (sal > 0), salary number(9), "
        "deptno number(2) constraint xemp_dept references xdept)");
    Run(session.get(), "insert into xdept values (10, 'ACCOUNTING', 'NEW YORK')");
    Run(session.get(), "insert into xdept values (20, 'RESEARCH', 'DALLAS')");
    Run(session.get(), "insert into xemp values (7839, 'KING', 'JOB', 5000, 1, 10)");
    Run(session.get(), "insert into xemp values (7902, 'FORD', 'CLERK', 3000, 2, 20)");
    Run(session.get(), "create sequence xemp_seq start with 9000");
  }

  // The message of the exception Action raises ("" when none).
  template <class F>
  static std::string DatabaseMessage(F Action) {
    try {
      Action();
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return {};
  }
};

TOracleConstraintInfo* ConstraintNamed(TOracleTableInfo* Info, const std::string& Name) {
  for (auto& c : Info->Constraints())
    if (c->Name == Name) return c.get();
  return nullptr;
}
}  // namespace

TEST_F(DictionaryTest, TableInformationIsKeptPerSession) {
  auto ds = DataSet("select e.*, rowid from xemp e");
  TOracleTableInfo* info = ds->GetTableInfo();
  EXPECT_EQ(info->TableText, "XEMP");
  EXPECT_EQ(info->Owner + "." + info->TableName, "SCOTT.XEMP");
  auto other = DataSet("select empno from xemp");
  EXPECT_EQ(other->GetTableInfo(), info) << "one entry per updating table and session";

  std::vector<std::string> names;
  for (auto& c : info->Constraints()) names.push_back(c->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"XEMP_DEPT", "XEMP_JOB", "XEMP_PK", "XSAL_POS"}));
  TOracleConstraintInfo* fk = ConstraintNamed(info, "XEMP_DEPT");
  fk->LoadDetails(ds.get());
  EXPECT_TRUE(fk->Found);
  EXPECT_EQ(fk->Kind, 3);
  EXPECT_EQ(fk->RefOwner + "." + fk->RefTable + "(" + fk->RefColumns.Strings(0) + ")", "SCOTT.XDEPT(DEPTNO)");
  TOracleConstraintInfo* check = ConstraintNamed(info, "XSAL_POS");
  check->LoadDetails(ds.get());
  EXPECT_EQ(check->Kind, 4);
  EXPECT_EQ(check->Condition, ":sal > 0") << "the column becomes a bind variable";
  TOracleConstraintInfo* job = ConstraintNamed(info, "XEMP_JOB");
  job->LoadDetails(ds.get());
  EXPECT_EQ(job->Condition, ":job in ('JOB', 'CLERK')") << "quoted literals are left alone";
  ds->Open();
  EXPECT_EQ(check->SingleField(ds.get()), "SAL");

  EXPECT_NE(info->ColumnByName("SALARY"), nullptr);
  EXPECT_EQ(info->ColumnByName("salary"), nullptr) << "column names compare exactly";

  TOracleDataSet none(nullptr);
  none.SQL()->SetText("select * from xemp");
  EXPECT_EQ(Raised([&] { none.GetTableInfo(); }), "Session undefined");
}

// The session's cache is one list for all its datasets: one thread forgetting and reading a table
// again while another finds its own table there (a race ThreadSanitizer reports when either side
// goes without the cache's lock).
TEST_F(DictionaryTest, TheCacheIsSharedSafelyBetweenThreads) {
  auto reader = DataSet("select e.*, rowid from xemp e");
  auto forgetter = DataSet("select d.*, rowid from xdept d");
  TOracleTableInfo* info = reader->GetTableInfo();
  std::atomic<bool> done{false};
  std::atomic<int> failures{0}, misses{0};
  std::thread forgetting([&] {
    try {
      for (int i = 0; i < 25; ++i) {
        if (forgetter->GetTableInfo()->TableName != "XDEPT") ++failures;
        forgetter->ForgetTableInfo();
      }
    } catch (...) {
      ++failures;
    }
    done = true;
  });
  for (int i = 0; i < 100000 && !done; ++i)
    if (reader->GetTableInfo() != info) ++misses;
  forgetting.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(misses, 0) << "the other table's coming and going leaves this one's entry alone";
}

TEST_F(DictionaryTest, NewRecordsTakeDefaultsAndSequenceValues) {
  auto ds = DataSet("select d.*, rowid from xdept d order by deptno");
  ds->OracleDictionary()->SetDefaultValues(true);
  ds->SequenceField()->SetField("DEPTNO");
  ds->SequenceField()->SetSequence("xemp_seq");
  ds->SequenceField()->SetApplyMoment(amOnNewRecord);
  int newRecordEvents = 0;
  std::string seenInEvent;
  ds->OnNewRecord = [&](TDataSet* d) {
    ++newRecordEvents;
    seenInEvent = d->FieldByName("DNAME")->AsString();
  };
  ds->Open();
  ds->Append();
  EXPECT_EQ(ds->FieldByName("DNAME")->AsString(), "NEW");
  EXPECT_TRUE(ds->FieldByName("LOC")->IsNull());
  EXPECT_EQ(ds->FieldByName("DEPTNO")->AsInteger(), 9000);
  EXPECT_EQ(seenInEvent, "NEW") << "defaults come before OnNewRecord";
  EXPECT_EQ(newRecordEvents, 1);
  ds->Cancel();
  ds->Append();
  EXPECT_EQ(ds->FieldByName("DEPTNO")->AsInteger(), 9001) << "a new value for every record";
  ds->Cancel();

  ds->SequenceField()->SetApplyMoment(amOnPost);
  ds->Append();
  EXPECT_TRUE(ds->FieldByName("DEPTNO")->IsNull()) << "drawn at post, not now";
  ds->Cancel();
}

TEST_F(DictionaryTest, ChangedFieldsAreCheckedAgainstTheConstraints) {
  auto ds = DataSet("select e.*, rowid from xemp e order by empno");
  ds->OracleDictionary()->SetEnforceConstraints(true);
  ds->Open();
  ds->Edit();
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("SAL")->SetAsFloat(-1); }),
            "ORA-02290: check constraint (SCOTT.XSAL_POS) violated");
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("SAL")->SetAsFloat(10); }), "");
  EXPECT_THAT(DatabaseMessage([&] { ds->FieldByName("EMPNO")->SetAsInteger(7902); }),
              StartsWith("ORA-00001"));
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("EMPNO")->SetAsInteger(7839); }), "")
      << "the record's own key";
  EXPECT_THAT(DatabaseMessage([&] { ds->FieldByName("DEPTNO")->SetAsInteger(99); }), StartsWith("ORA-02291"));
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("DEPTNO")->SetAsInteger(20); }), "");
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("JOB")->SetAsString("JOB"); }), "");
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("DEPTNO")->Clear(); }), "")
      << "an empty field is not checked";
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();

  ds->OracleDictionary()->DisabledConstraints()->Add("xsal_pos");
  ds->Edit();
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("SAL")->SetAsFloat(-1); }), "") << "a disabled constraint";
  ds->Cancel();

  // A new record: its key is checked against every row.
  ds->Append();
  EXPECT_THAT(DatabaseMessage([&] { ds->FieldByName("EMPNO")->SetAsInteger(7839); }),
              StartsWith("ORA-00001"));
  ds->Cancel();

  // The message table and OnTranslateMessage see the check's violations.
  ds->OnTranslateMessage = [](TOracleDataSet*, int Code, const std::string& Name, char Action,
                              std::string& Msg) { Msg = IntToStr(Code) + " " + Action + " " + Name; };
  ds->Edit();
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("DEPTNO")->SetAsInteger(98); }), "2291 U XEMP_DEPT");
  ds->Cancel();

  ds->OracleDictionary()->SetEnforceConstraints(false);
  ds->Edit();
  EXPECT_EQ(DatabaseMessage([&] { ds->FieldByName("DEPTNO")->SetAsInteger(97); }), "");
  ds->Cancel();
}

TEST_F(DictionaryTest, WholeRecordCheckSkipsUnchangedAndSingleFieldConstraints) {
  Run(session.get(),
      "create table pair (a number(4), b number(4), constraint pair_uk unique (a, b), "
      "constraint pair_lim check (a + b < 100))");
  Run(session.get(), "insert into pair values (1, 2)");
  Run(session.get(), "insert into pair values (3, 4)");
  auto ds = DataSet("select p.*, rowid from pair p order by a");
  ds->OracleDictionary()->SetEnforceConstraints(true);
  ds->Open();
  ds->Edit();
  ds->FieldByName("A")->SetAsInteger(3);
  ds->FieldByName("B")->SetAsInteger(4);
  EXPECT_THAT(DatabaseMessage([&] { CheckConstraints(ds.get(), nullptr); }), StartsWith("ORA-00001"));
  ds->FieldByName("B")->SetAsInteger(97);
  EXPECT_THAT(DatabaseMessage([&] { CheckConstraints(ds.get(), nullptr); }), StartsWith("ORA-02290"));
  ds->Cancel();
  ds->Edit();
  EXPECT_EQ(DatabaseMessage([&] { CheckConstraints(ds.get(), nullptr); }), "") << "nothing changed";
  ds->Cancel();
}

TEST_F(DictionaryTest, FieldSettingsFromTheDictionaryAtOpen) {
  auto ds = DataSet(
      "select e.empno, e.sal, e.salary, d.dname, e.rowid from xemp e, xdept d where d.deptno = e.deptno");
  ds->OracleDictionary()->SetFieldKinds(true);
  ds->OracleDictionary()->SetRangeValues(true);
  ds->OracleDictionary()->SetDisplayFormats(true);
  ds->Open();
  TField* dname = ds->FieldByName("DNAME");
  EXPECT_EQ(dname->FieldKind(), fkInternalCalc) << "not a column of the updating table";
  EXPECT_TRUE(dname->ReadOnly());
  EXPECT_EQ(dname->AsString(), "ACCOUNTING") << "still read from the row";
  EXPECT_EQ(ds->FieldByName("EMPNO")->FieldKind(), fkData);

  auto* sal = dynamic_cast<TFloatField*>(ds->FieldByName("SAL"));
  ASSERT_NE(sal, nullptr);
  EXPECT_DOUBLE_EQ(sal->MaxValue(), 99999.99);
  EXPECT_DOUBLE_EQ(sal->MinValue(), -99999.99);
  EXPECT_EQ(sal->DisplayFormat(), "##,##0.00");
  EXPECT_EQ(sal->EditFormat(), "####0.00");
  EXPECT_EQ(sal->DisplayWidth(), 10);
  auto* empno = dynamic_cast<TIntegerField*>(ds->FieldByName("EMPNO"));
  ASSERT_NE(empno, nullptr);
  EXPECT_EQ(empno->MaxValue(), 9999);
  EXPECT_EQ(empno->MinValue(), -9999);
  EXPECT_EQ(empno->DisplayWidth(), 5) << "no scale: only the width";
  EXPECT_EQ(empno->DisplayFormat(), "");
  auto* salary = dynamic_cast<TIntegerField*>(ds->FieldByName("SALARY"));
  ASSERT_NE(salary, nullptr);
  EXPECT_EQ(salary->MaxValue(), 999999999);
}

TEST_F(DictionaryTest, AFieldsOwnDisplayWidthStays) {
  auto ds = DataSet("select e.empno, e.salary, e.rowid from xemp e");
  ds->Open();
  ds->FieldByName("EMPNO")->SetDisplayWidth(12);
  ds->OracleDictionary()->SetDisplayFormats(true);
  EXPECT_EQ(ds->FieldByName("EMPNO")->DisplayWidth(), 12);
  EXPECT_EQ(ds->FieldByName("SALARY")->DisplayWidth(), 10) << "a field without one takes the column's";
}

TEST_F(DictionaryTest, ANewStatementReadsItsTablesDictionaryAfresh) {
  auto ds = DataSet("select d.*, rowid from xdept d");
  ds->OracleDictionary()->SetDefaultValues(true);
  ds->Open();
  ds->Append();
  EXPECT_EQ(ds->FieldByName("DNAME")->AsString(), "NEW");
  ds->Cancel();
  ds->Close();
  Run(session.get(), "alter table xdept add (budget number(9) default 100)");
  ds->SQL()->SetText("select d.*, d.rowid from xdept d");
  ds->Open();
  ds->Append();
  EXPECT_EQ(ds->FieldByName("BUDGET")->AsInteger(), 100) << "the new column's default";
  ds->Cancel();
}

TEST(ConstraintMessage, NamesTheConstraintInTheClientText) {
  EXPECT_EQ(ConstraintMessage("ORA-00001: unique constraint (%s.%s) violated", "SCOTT", "EMP_PK"),
            "ORA-00001: unique constraint (SCOTT.EMP_PK) violated");
  EXPECT_EQ(ConstraintMessage("ORA-02290: check constraint () violated (again)", "HR", "C1"),
            "ORA-02290: check constraint (HR.C1) violated (again)")
      << "only the first pair";
  EXPECT_EQ(ConstraintMessage("ORA-00001: unique constraint violated", "SCOTT", "EMP_PK"),
            "ORA-00001: unique constraint violated");
}

TEST_F(DictionaryTest, RangesBeyondThirtyTwoBitsAreClamped) {
  Run(session.get(), "create table wide (n number(12))");
  Run(session.get(), "insert into wide values (5)");
  session->Preferences()->SetIntegerPrecision(12);
  auto ds = DataSet("select n from wide");
  ds->OracleDictionary()->SetRangeValues(true);
  ds->Open();
  auto* n = dynamic_cast<TIntegerField*>(ds->FieldByName("N"));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->MaxValue(), 2147483647);
  EXPECT_EQ(n->MinValue(), -2147483647);
  EXPECT_EQ(n->AsInteger(), 5);

  auto noTable = DataSet("select 1 one from dual");
  noTable->OracleDictionary()->SetDefaultValues(true);
  noTable->OnApplyRecord = [](TOracleDataSet*, char, bool& Applied, std::string&) { Applied = true; };
  noTable->Open();
  EXPECT_NO_THROW(noTable->Append()) << "a table without defaults gives none";
  noTable->Cancel();
}
