// The session window under the user's locale: the logon time in the list and the fractional wait
// times of a session's waits in the locale's formats in the C locale and two others, and a picture of
// the list under the Russian locale.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "app/ComboBoxQuery.h"
#include "rtl/UserLocale.h"

namespace sessiontest {
namespace {

struct LocaleCase {
  const char* locale;
  const char* logonTime;    // 7 December 2026, 22:44:27
  const char* timeWaited;   // 150 hundredths of a second in all
  const char* averageWait;  // over 4 waits, in milliseconds
  const char* shot;         // the picture's file, or nullptr
};

const LocaleCase kCases[] = {
    {"C", "12/7/2026 10:44:27 PM", "1.5 сек.", "375", nullptr},
    {"ru_RU.UTF-8", "07.12.2026 22:44:27", "1,5 сек.", "375", "session-list-ru_RU.png"},
    {"de_DE.UTF-8", "07.12.2026 22:44:27", "1,5 сек.", "375", nullptr},
};

class SessionLocaleTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    AddFixtureSessions();
    Sim("UPDATE sim$sessions SET logon_time = '2026-12-07 22:44:27' WHERE sid = 103");
    Sim("DELETE FROM sim$sess_event WHERE sid = 101");
    Sim("INSERT INTO sim$sess_event VALUES (101, 'log file sync', 4, 0, 150, 60)");
    MainForm->SetBounds(0, 0, 1000, 600);
    MainForm->Show();
  }
  void ShowList() {
    Open();
    Application->ProcessMessages();
  }
  // The text the session grid shows for the field in the row of the session.
  std::string Shown(int Sid, const std::string& Name) {
    return GoTo(Sid) ? form->odsSession->FieldByName(Name)->DisplayText() : "<not listed>";
  }
};

class SessionListLocale : public SessionLocaleTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(SessionListLocale, ShowsTheLogonTimeAndNumbersInTheLocalesFormat) {
  const LocaleCase& c = GetParam();
  localetest::UserLocaleGuard locale(c.locale);
  ShowList();
  EXPECT_EQ(Shown(103, "LOGON_TIME"), c.logonTime);
  // texts the server builds with their own separators stay as they are
  EXPECT_EQ(Shown(101, "LAST_CALL_ET"), "00 ч. 40 мин.");
  if (c.shot) {
    ASSERT_TRUE(GoTo(103));
    talvik::gui::UpdateAllWindows(MainForm->Handle());
    EXPECT_TRUE(
        talvik::gui::RenderWindowToPng(MainForm->Handle(), logontest::ScreenshotDir() + "/" + c.shot));
  }
  // the numbers the program formats itself: a session's wait times, with the locale's decimal separator
  ClickSession(101);
  ShowTab(form->tsEvent);
  TDataSet* waits = form->odsEvent;
  ASSERT_TRUE(waits->Locate("EVENT", TVariant(std::string("log file sync")), {}));
  EXPECT_EQ(waits->FieldByName("TIME_WAITED")->DisplayText(), c.timeWaited);
  EXPECT_EQ(waits->FieldByName("AVERAGE_WAIT")->DisplayText(), c.averageWait);
}

INSTANTIATE_TEST_SUITE_P(Locales, SessionListLocale, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                           return localetest::LocaleTestName(info.param.locale);
                         });

}  // namespace
}  // namespace sessiontest
