// Alarms of the session window: active user sessions counted as the list is read, the two limits
// checked after each refresh, alarm rows on the "Тревога" tab and their messages spoken.
#include <cstdint>
#include <string>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "app/axControl.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/rtl/ComObj.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kActive = "ACTIVE";
constexpr const char* kUser = "USER";
constexpr double kSecondsPerMinute = 60.0;

// The settings' names, in the order they are read and written.
constexpr const char* kSound = "Sound";
constexpr const char* kAlarm = "Alarm";
constexpr const char* kCountOn = "AlarmActiveCountOn";
constexpr const char* kCount = "AlarmActiveCount";
constexpr const char* kDurationOn = "AlarmActiveDurationOn";
constexpr const char* kDuration = "AlarmActiveDuration";
constexpr int kDefaultCount = 20, kDefaultDuration = 5;

}  // namespace

void TSessionForm::CreateSpeechControl() {
  aSound->SetChecked(RegIni ? RegIni->ReadBool("", kSound, false) : false);
  aSound->SetEnabled(true);
  try {
    SpeechControl = new TAxControl(this, StringToGUID(kSpeechControlClassID));
  } catch (...) {
    // no speech on this machine: the switch greys, keeping its setting for the next start
    aSound->SetEnabled(false);
  }
}

void TSessionForm::ReadAlarmSettings() {
  if (!RegIni) return;
  aAlarm->SetChecked(RegIni->ReadBool("", kAlarm, false));
  cbActiveCount->SetChecked(RegIni->ReadBool("", kCountOn, true));
  seActiveCount->SetValue(RegIni->ReadInteger("", kCount, kDefaultCount));
  cbActiveDuration->SetChecked(RegIni->ReadBool("", kDurationOn, true));
  seActiveDuration->SetValue(RegIni->ReadInteger("", kDuration, kDefaultDuration));
}

void TSessionForm::WriteAlarmSettings() {
  if (!RegIni) return;
  RegIni->WriteBool("", kSound, aSound->Checked());
  RegIni->WriteBool("", kAlarm, aAlarm->Checked());
  RegIni->WriteBool("", kCountOn, cbActiveCount->Checked());
  RegIni->WriteInteger("", kCount, seActiveCount->Value());
  RegIni->WriteBool("", kDurationOn, cbActiveDuration->Checked());
  RegIni->WriteInteger("", kDuration, seActiveDuration->Value());
}

void TSessionForm::odsSessionFilterRecord(TDataSet* DataSet, bool&) {
  const bool countOn = cbActiveCount->Checked(), durationOn = cbActiveDuration->Checked();
  if (!countOn && !durationOn) return;
  if (DataSet->FieldByName("status")->AsString() != kActive) return;
  if (DataSet->FieldByName("prname")->AsString() != kUser) return;
  if (countOn) ++activeCount_;
  if (durationOn) {
    const auto seconds = static_cast<std::int64_t>(DataSet->FieldByName("last_call_et_s")->AsFloat());
    const auto minutes = static_cast<std::int64_t>(static_cast<double>(seconds) / kSecondsPerMinute);
    if (minutes > static_cast<std::int64_t>(seActiveDuration->Value())) {
      longActive_ = true;
      alarmSid_ = DataSet->FieldByName("sid")->AsString();
      alarmUserName_ = DataSet->FieldByName("oracle_user")->AsString();
    }
  }
}

void TSessionForm::CheckAlarms() {
  if (cbActiveCount->Checked() && seActiveCount->Value() < activeCount_)
    AddAlarm("Количество активных сеансов превысило " + std::to_string(seActiveCount->Value()),
             "ActiveCount = " + std::to_string(activeCount_));
  if (cbActiveDuration->Checked() && longActive_)
    AddAlarm("Сеанс в активном состоянии более " + std::to_string(seActiveDuration->Value()) + " минут.",
             "SID = " + alarmSid_ + " Username = " + alarmUserName_);
}

void TSessionForm::AddAlarm(const std::string& Message, const std::string& Variables) {
  TListItem* item = lvAlarm->Items()->Insert(0);
  item->SetCaption("");
  const TDateTime now = Now();
  item->SubItems()->Add(DateToStr(now));
  item->SubItems()->Add(TimeToStr(now));
  item->SubItems()->Add(Message);
  item->SubItems()->Add(Variables);
  if (aSound->Enabled() && aSound->Checked() && SpeechControl)
    DispatchInvoke(SpeechControl->OleObject(), "speak", {TVariant(Message)});
}

void TSessionForm::aListControlDeleteAllExecute(TObject*) {
  lvAlarm->Items()->BeginUpdate();
  const TScopeExit endUpdate([this] { lvAlarm->Items()->EndUpdate(); });
  lvAlarm->Items()->Clear();
}
