// Alarms of the session window on a scripted instance: what the counting hook counts, the two limits
// and their rows, speech only when enabled and checked, the settings kept, and the speech control.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "app/axControl.h"
#include "platform/rtl/ComObj.h"
#include "rtl/TempDir.h"

namespace sessiontest {
namespace {

constexpr const char* kCountMessage = "Количество активных сеансов превысило ";
constexpr const char* kDurationMessage = "Сеанс в активном состоянии более 5 минут.";

class AlarmTest : public SessionFormTest {
 protected:
  // The window open with alarms on and sound off, both checks on at the given limits.
  void OpenWithAlarms(int CountLimit, int DurationLimit = 5) {
    Store("Alarm", "1");
    Store("AlarmActiveCount", std::to_string(CountLimit));
    Store("AlarmActiveDuration", std::to_string(DurationLimit));
    Open();
  }
  void Refresh() { form->aRefresh->Execute(); }
};

TEST_F(AlarmTest, TheFirstRefreshCountsEachActiveUserSessionOnce) {
  AddFixtureSessions();  // HR and APP_USER active, and the monitor itself while it reads the list
  OpenWithAlarms(20);
  EXPECT_EQ(form->ActiveCount(), 3);
  Refresh();
  EXPECT_EQ(form->ActiveCount(), 3);
}

TEST_F(AlarmTest, OnlyExactlyActiveUserSessionsCountAlsoWhenHidden) {
  AddFixtureSessions();
  Sim("UPDATE sim$sessions SET status = 'active' WHERE sid = 103");  // not exactly "ACTIVE"
  OpenWithAlarms(20);
  // background processes are active and never count, listed or not
  EXPECT_EQ(form->ActiveCount(), 2);
  form->aSystemSession->Execute();
  Refresh();
  EXPECT_EQ(form->ActiveCount(), 2);
  // rows the filter hides are counted all the same
  form->aUserSession->Execute();
  form->aSystemSession->Execute();
  Refresh();
  EXPECT_EQ(form->odsSession->RecordCount(), 0);
  EXPECT_EQ(form->ActiveCount(), 2);
}

TEST_F(AlarmTest, TheCountAlarmFiresAboveTheLimitNotAtIt) {
  AddLoad(17);  // with the monitor: 18 active user sessions
  OpenWithAlarms(18);
  EXPECT_EQ(Alarms(), std::vector<std::string>{});
  AddLoad(1, 600);
  Refresh();
  EXPECT_EQ(Alarms(), std::vector<std::string>{std::string(kCountMessage) + "18|ActiveCount = 19"});
  Refresh();  // a lasting condition adds a row at every refresh
  EXPECT_EQ(Alarms().size(), 2u);
}

TEST_F(AlarmTest, ALoadOfTwentyFiveActiveSessionsRaisesTheDefaultCountAlarm) {
  AddLoad(25);
  Store("Alarm", "1");
  Open();
  EXPECT_EQ(Alarms(), std::vector<std::string>{std::string(kCountMessage) + "20|ActiveCount = 26"});
}

TEST_F(AlarmTest, ASessionIsLongActiveFromLimitPlusOneMinutes) {
  struct Case {
    int idle;
    bool alarm;
  };
  const Case cases[] = {{359, false}, {360, true}};
  AddFixtureSessions();
  SetStatus(102, "INACTIVE", 0);
  OpenWithAlarms(100);
  for (const Case& c : cases) {
    SetStatus(103, "ACTIVE", c.idle);
    form->aListControlDeleteAll->Execute();
    Refresh();
    EXPECT_EQ(Alarms(), c.alarm ? std::vector<std::string>{std::string(kDurationMessage) +
                                                           "|SID = 103 Username = APP_USER"}
                                : std::vector<std::string>{})
        << c.idle;
  }
}

TEST_F(AlarmTest, TheLastLongActiveSessionIsNamedAndItsRowStandsAboveTheCountRow) {
  AddFixtureSessions();
  SetStatus(103, "ACTIVE",
            1000);  // HR (420 s) and APP_USER (1000 s): the list is read by SID within a status
  OpenWithAlarms(2);
  ASSERT_EQ(Alarms().size(), 2u);
  EXPECT_EQ(Alarms()[0], std::string(kDurationMessage) + "|SID = 103 Username = APP_USER");
  EXPECT_EQ(Alarms()[1], std::string(kCountMessage) + "2|ActiveCount = 3");
  TListItem* row = form->lvAlarm->Items()->Item(0);
  EXPECT_EQ(row->Caption(), "");
  EXPECT_EQ(row->SubItems()->Count(), 4);
  EXPECT_FALSE(row->SubItems()->Strings(0).empty());  // date
  EXPECT_FALSE(row->SubItems()->Strings(1).empty());  // time
}

TEST_F(AlarmTest, UncheckedChecksCountNothingAndAlarmOffAddsNoRow) {
  AddFixtureSessions();
  Store("AlarmActiveCountOn", "0");
  Store("AlarmActiveDurationOn", "0");
  OpenWithAlarms(1);
  EXPECT_EQ(form->ActiveCount(), 0);
  EXPECT_EQ(Alarms(), std::vector<std::string>{});
  // alarms off: counting goes on, rows do not come
  form->cbActiveCount->SetChecked(true);
  form->aAlarm->Execute();
  EXPECT_FALSE(form->aAlarm->Checked());
  Refresh();
  EXPECT_EQ(form->ActiveCount(), 3);
  EXPECT_EQ(Alarms(), std::vector<std::string>{});
}

TEST_F(AlarmTest, MessagesAreSpokenOnlyWithSoundOnAndNeverTheVariables) {
  AddFixtureSessions();
  Store("Sound", "1");
  OpenWithAlarms(2);
  EXPECT_TRUE(form->aSound->Enabled());
  // spoken as checked: the count first (its row ends below the duration row)
  EXPECT_EQ(Spoken(), (std::vector<std::string>{std::string(kCountMessage) + "2", kDurationMessage}));
  form->aSound->Execute();  // off
  Refresh();
  EXPECT_EQ(Spoken().size(), 2u);
  EXPECT_EQ(Alarms().size(), 4u);
}

TEST_F(AlarmTest, WithoutTheSpeechControlSoundGreysKeepsItsCheckAndRowsStillCome) {
  UnregisterComClass(StringToGUID(kSpeechControlClassID));
  AddFixtureSessions();
  Store("Sound", "1");
  OpenWithAlarms(2);
  EXPECT_FALSE(form->aSound->Enabled());
  EXPECT_TRUE(form->aSound->Checked());
  EXPECT_FALSE(SpeechControl);
  EXPECT_EQ(Alarms().size(), 2u);
  EXPECT_EQ(Spoken(), std::vector<std::string>{});
  form->Close();
  form = nullptr;
  EXPECT_EQ(Stored("", "Sound"), "1");
  RegisterSpeechControl();
}

TEST_F(AlarmTest, ASpeakErrorEndsTheRefreshAfterItsRowWasAdded) {
  // a speech control whose "speak" fails
  struct Mute : TDispatchObject {
    TVariant Invoke(const std::string&, std::vector<TVariant>&) override { throw EOleError("No audio"); }
  };
  RegisterComClass(StringToGUID(kSpeechControlClassID), [] { return std::make_unique<Mute>(); });
  AddFixtureSessions();
  Store("Sound", "1");
  OpenWithAlarms(100);  // the first refresh's error goes to the error box
  ASSERT_EQ(Alarms().size(), 1u);
  EXPECT_EQ(TakeBoxes().size(), 1u);
  EXPECT_THROW(form->aRefresh->Execute(), EOleError);
  EXPECT_EQ(Alarms().size(), 2u);
  UnregisterComClass(StringToGUID(kSpeechControlClassID));
  RegisterSpeechControl();
}

TEST_F(AlarmTest, SettingsAreReadAtShowAndWrittenAtCloseTheSwitchUnderItsOwnName) {
  Store("Alarm", "1");
  Store("AlarmActiveCountOn", "0");
  Store("AlarmActiveCount", "7");
  Store("AlarmActiveDuration", "9");
  Store("AlarmActiveDurationOn", "0");
  Open();
  EXPECT_TRUE(form->aAlarm->Checked());
  EXPECT_FALSE(form->aSound->Checked());
  EXPECT_FALSE(form->cbActiveCount->Checked());
  EXPECT_EQ(form->seActiveCount->Value(), 7);
  EXPECT_FALSE(form->cbActiveDuration->Checked());
  EXPECT_EQ(form->seActiveDuration->Value(), 9);
  form->cbActiveDuration->SetChecked(true);
  form->seActiveDuration->SetValue(3);
  form->aSound->Execute();
  form->Close();
  form = nullptr;
  const std::pair<const char*, const char*> stored[] = {
      {"Sound", "1"},
      {"Alarm", "1"},
      {"AlarmActiveCountOn", "0"},
      {"AlarmActiveCount", "7"},
      {"AlarmActiveDurationOn", "1"},
      {"AlarmActiveDuration", "3"},
  };
  for (auto [name, value] : stored) EXPECT_EQ(Stored("", name), value) << name;
}

TEST_F(AlarmTest, DeleteRemovesTheSelectedRowsAndDeleteAllEmptiesTheList) {
  AddFixtureSessions();
  OpenWithAlarms(2);
  Refresh();
  ASSERT_EQ(Alarms().size(), 4u);
  form->lvAlarm->Items()->Item(1)->SetSelected(true);
  form->lvAlarm->Items()->Item(2)->SetSelected(true);
  form->aListControlDeleteSelection->Execute();
  EXPECT_EQ(Alarms(), (std::vector<std::string>{std::string(kDurationMessage) + "|SID = 102 Username = HR",
                                                std::string(kCountMessage) + "2|ActiveCount = 3"}));
  form->aListControlDeleteAll->Execute();
  EXPECT_EQ(form->lvAlarm->Items()->Count(), 0);
}

TEST(AxControl, MakesTheControlByItsClassAndRaisesForAnUnknownOne) {
  RegisterSpeechControl();
  const auto log = ProcessTempFolder() / ("talvik_ax_" + std::to_string(getpid()) + ".log");
  setenv("TALVIK_SPEECH_LOG", log.c_str(), 1);
  {
    TAxControl speech(nullptr, StringToGUID(kSpeechControlClassID));
    EXPECT_TRUE(speech.ControlStyle().Contains(csClickEvents));
    ASSERT_NE(speech.OleObject(), nullptr);
    DispatchInvoke(speech.OleObject(), "speak", {TVariant(std::string("Проверка"))});
  }
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Проверка");
  EXPECT_THROW(TAxControl(nullptr, StringToGUID("{00000000-0000-0000-0000-000000000001}")), EOleError);
  unsetenv("TALVIK_SPEECH_LOG");
  std::filesystem::remove(log);
}

}  // namespace
}  // namespace sessiontest
