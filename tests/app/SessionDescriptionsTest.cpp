// The Russian descriptions of lock types and statistics at the edges of their tables, and the wait-time
// text at the edges of its units, on the session window's own fields.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "platform/rtl/SysUtils.h"

namespace sessiontest {
namespace {

struct LockCase {
  const char* name;
  const char* type;  // nullptr: a null type
  int id2;
  const char* description;  // nullptr: left unassigned
};
const LockCase kLockCases[] = {
    {"TX", "TX", 0, " Блокировка транзакции"},
    {"LB", "LB", 0, " Блокировка библиотечного кеша экземпляра"},
    {"LP", "LP", 0, " Блокировка библиотечного кеша экземпляра"},
    {"LQAfterTheRange", "LQ", 0, " "},
    {"NZ", "NZ", 0, " Блокировка закрепления библиотечного кеша экземпляра"},
    {"QA", "QA", 0, " Блокировка кеша строк экземпляра"},
    {"PS", "PS", 0, " Блокировка паралельных операций"},
    {"TS0", "TS", 0, " Блокировка временного сегмента"},
    {"TS1", "TS", 1, " Блокировка выделения нового блока"},
    {"TS2", "TS", 2, " "},
    {"LowerCase", "tx", 0, " "},
    {"Unknown", "ZZ", 0, " "},
    {"NullType", nullptr, 0, nullptr},
};

struct StatCase {
  const char* name;
  const char* statistic;
  const char* description;
  bool untrimmed = false;  // string fields keep their trailing blanks
};
const StatCase kStatCases[] = {
    {"Exact", "session logical reads", " Логические чтения сеанса"},
    {"CapitalFirstLetter", "Session logical reads", " "},
    {"TrailingBlankKept", "commit cleanout failures: callback failure ",
     " Сбои очистки при фиксации: сбой обратного вызова", true},
    // the session's default trimming takes the blank off the fetched name
    {"TrailingBlankTrimmed", "commit cleanout failures: callback failure ",
     " Сбои очистки при фиксации: сбой обратного вызова"},
    {"TrailingBlankMissing", "commit cleanout failures: callback failure",
     " Сбои очистки при фиксации: сбой обратного вызова"},
    {"ExtraTrailingBlanks", "session logical reads  ", " Логические чтения сеанса", true},
    {"LeadingBlank", " session logical reads", " ", true},
    {"Last", "session cursor cache count", " Счетчик кеша курсоров сеанса"},
    {"Undescribed", "write clones created in foreground", " "},
};

// The window's calculated-field handlers on a record of its own datasets' fields.
class DescriptionTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    Open();
  }
};

class LockDescriptionTest : public DescriptionTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockDescriptionTest, DescribesTheLockType) {
  const LockCase& c = GetParam();
  // one lock row of the instance's own, with the type and ID2 under test
  Sim("INSERT INTO sim$bglocks VALUES (1, '" + std::string(c.type ? c.type : "") + "', 7, " +
      std::to_string(c.id2) + ", 4)");
  form->odsLock->SetVariable("SID", TVariant(std::string("1")));
  form->odsLock->SetMaster(nullptr);
  form->odsLock->Open();
  bool found = false;
  for (form->odsLock->First(); !form->odsLock->Eof(); form->odsLock->Next()) {
    if (form->odsLock->FieldByName("ID1")->AsInteger() != 7) continue;
    found = true;
    TField* name = form->odsLock->FieldByName("LOCK_NAME");
    if (c.description)
      EXPECT_EQ(name->AsString(), c.description);
    else
      EXPECT_TRUE(name->IsNull());
  }
  EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(Locks, LockDescriptionTest, ::testing::ValuesIn(kLockCases),
                         [](const auto& i) { return std::string(i.param.name); });

class StatisticDescriptionTest : public DescriptionTest, public ::testing::WithParamInterface<StatCase> {};

TEST_P(StatisticDescriptionTest, DescribesTheStatisticByItsExactName) {
  const StatCase& c = GetParam();
  Sim("UPDATE sim$statname SET name = '" + std::string(c.statistic) + "' WHERE \"STATISTIC#\" = 51");
  if (c.untrimmed) MainForm->OracleSession->Preferences()->SetTrimStringFields(false);
  form->odsStatistics->SetMaster(nullptr);
  form->odsStatistics->SetVariable("SID", TVariant(std::string("1")));
  form->odsStatistics->Open();
  ASSERT_TRUE(form->odsStatistics->SearchRecord("STATISTIC#", TVariant(51), 8));
  EXPECT_EQ(form->odsStatistics->FieldByName("NAME")->AsString(),
            c.untrimmed ? std::string(c.statistic) : TrimRight(c.statistic));
  EXPECT_EQ(form->odsStatistics->FieldByName("NAME_RUS")->AsString(), c.description);
}

INSTANTIATE_TEST_SUITE_P(Statistics, StatisticDescriptionTest, ::testing::ValuesIn(kStatCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(DescriptionTest, ANullWaitTimeReadsEmptyAndTheSeparatorFollowsTheSettings) {
  std::string text = "x";
  TField* field = form->odsEvent->FieldByName("TIME_WAITED");
  form->odsEventTIME_WAITEDGetText(field, text, true);  // no record: the value is null
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace sessiontest
