// The dataset's conversions under the user's locale: numbers and dates shown, typed, posted and read
// back, and filters written with the locale's decimal separator and date text, in the C locale and
// in two locales whose formats differ from it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "rtl/UserLocale.h"
#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {

struct LocaleCase {
  const char* locale;
  const char* cpu;        // 1.5 as the dataset shows it
  const char* logonTime;  // 1 January 2024, 00:03
  const char* typedCpu;   // 2.25 as the user types it
  const char* typedTime;  // 7 December 2026, 22:44:27 as the user types it
};

const LocaleCase kCases[] = {
    {"C", "1.5", "1/1/2024 12:03:00 AM", "2.25", "12/7/2026 10:44:27 PM"},
    {"ru_RU.UTF-8", "1,5", "01.01.2024 00:03:00", "2,25", "07.12.2026 22:44:27"},
    {"de_DE.UTF-8", "1,5", "01.01.2024 00:03:00", "2,25", "07.12.2026 22:44:27"},
};

class DataSetLocale : public OracleDataTest, public ::testing::WithParamInterface<LocaleCase> {
 protected:
  void SetUp() override {
    OracleDataTest::SetUp();
    MakeSessions(4);
    session->Commit();
  }
  localetest::UserLocaleGuard locale_{GetParam().locale};
};

TEST_P(DataSetLocale, NumbersAndDatesAreShownTypedAndReadBackInTheLocalesFormat) {
  const LocaleCase& c = GetParam();
  auto ds = DataSet("select s.*, s.rowid from sess s order by sid");
  ds->Open();
  ASSERT_TRUE(ds->Locate("SID", TVariant(3), {}));
  EXPECT_EQ(ds->FieldByName("CPU")->AsString(), c.cpu);
  EXPECT_EQ(ds->FieldByName("CPU")->DisplayText(), c.cpu);
  EXPECT_EQ(ds->FieldByName("LOGON_TIME")->AsString(), c.logonTime);
  EXPECT_EQ(ds->FieldByName("LOGON_TIME")->DisplayText(), c.logonTime);

  ds->Edit();
  ds->FieldByName("CPU")->SetAsString(c.typedCpu);
  ds->FieldByName("LOGON_TIME")->SetAsString(c.typedTime);
  ds->Post();
  auto q = Query(session.get(), "select cpu, logon_time from sess where sid = 3");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->Field(0).AsDouble(), 2.25);
  EXPECT_EQ(q->Field(1).AsDateTime(), EncodeDateTime(2026, 12, 7, 22, 44, 27, 0));
  ds->Refresh();
  ASSERT_TRUE(ds->Locate("SID", TVariant(3), {}));
  EXPECT_EQ(ds->FieldByName("CPU")->AsString(), c.typedCpu);
  EXPECT_EQ(ds->FieldByName("LOGON_TIME")->AsString(), c.typedTime);
}

TEST_P(DataSetLocale, FiltersReadTheLocalesDecimalSeparatorAndDates) {
  auto ds = DataSet("select * from sess order by sid");
  ds->Open();
  ds->SetFilter("CPU > " + FloatToStr(1.5));
  ds->SetFiltered(true);
  EXPECT_EQ(Column(ds.get(), "SID"), "4");
  ds->SetFilter("LOGON_TIME >= '" + DateTimeToStr(EncodeDateTime(2024, 1, 1, 0, 2, 0, 0)) + "'");
  EXPECT_EQ(Column(ds.get(), "SID"), "2,3,4");
}

INSTANTIATE_TEST_SUITE_P(Locales, DataSetLocale, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                           return localetest::LocaleTestName(info.param.locale);
                         });

}  // namespace
