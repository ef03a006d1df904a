// The DBA commands of the session window: SQL trace and kill of the current session, kill of every
// listed session, restricted logins on and off, each after the user confirmed it.
#include <string>

#include "app/SessionF.h"
#include "oracle/Oracle.h"
#include "oracle/OracleQuery.h"
#include "oracle_data/OracleData.h"
#include "platform/gui/Dialogs.h"

namespace {

constexpr int kPanelCommand = 1, kPanelRestricted = 3;
// The server's codes for a session killed already and for one marked for kill.
constexpr int kSessionKilled = 28, kSessionMarkedForKill = 31;

constexpr const char* kEnableRestricted = "ALTER SYSTEM ENABLE RESTRICTED SESSION";
constexpr const char* kDisableRestricted = "ALTER SYSTEM DISABLE RESTRICTED SESSION";
constexpr const char* kRestrictedStatus =
    "select DECODE(logins,'RESTRICTED','Ограничение подключений','') from v$instance";

std::string KillText(const std::string& Sid, const std::string& Serial) {
  return "ALTER SYSTEM KILL SESSION '" + Sid + "," + Serial + "'";
}

bool Confirmed(const std::string& Question) {
  return MessageDlg(Question, mtWarning, mbYesNoCancel, 0) == mrYes;
}

}  // namespace

void TSessionForm::ShowCommand() {
  StatusBar->Panels()->Items(kPanelCommand)->SetText(" " + oqDDLcommand->SQL()->Text());
}

bool TSessionForm::ConfirmAndExecute(const std::string& Sql, const std::string& Question) {
  oqDDLcommand->SQL()->SetText(Sql);
  if (!Confirmed(Question)) return false;
  // the panel names the command as it is sent, also when the server then refuses it
  ShowCommand();
  oqDDLcommand->Execute();
  return true;
}

void TSessionForm::aTraceExecute(TObject*) {
  const std::string sid = CurrentField("sid"), serial = CurrentField("serial");
  ConfirmAndExecute("BEGIN SYS.DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION(" + sid + "," + serial + ",TRUE); END;",
                    "Трассировать сеанс SID=" + sid + " ?");
}

void TSessionForm::aKillExecute(TObject*) {
  const std::string sid = CurrentField("sid");
  ConfirmAndExecute(KillText(sid, CurrentField("serial")), "Уничтожить сеанс SID=" + sid + " ?");
}

void TSessionForm::aKillAllExecute(TObject*) {
  if (!Confirmed("Уничтожить все сеансы ?")) return;
  if (!Confirmed("Вы точно уверены, что надо уничтожить все сеансы ?")) return;
  if (odsSession->Active()) {
    odsSession->First();
    while (!odsSession->Eof()) {
      oqDDLcommand->SQL()->SetText(KillText(CurrentField("sid"), CurrentField("serial")));
      try {
        oqDDLcommand->Execute();
        ShowCommand();
      } catch (const EOracleError& e) {
        if (e.ErrorCode() != kSessionKilled && e.ErrorCode() != kSessionMarkedForKill)
          ShowMessage(e.Message());
      }
      odsSession->Next();
    }
    odsSession->Refresh();
  }
  ShowSessionCount();
}

void TSessionForm::aRestrictedEnableExecute(TObject*) {
  if (ConfirmAndExecute(kEnableRestricted, "Включить режим ограничения сеансов?")) UpdateRestrictedStatus();
}

void TSessionForm::aRestrictedDisableExecute(TObject*) {
  if (ConfirmAndExecute(kDisableRestricted, "Выключить режим ограничения сеансов?")) UpdateRestrictedStatus();
}

void TSessionForm::UpdateRestrictedStatus() {
  oqDDLcommand->SQL()->SetText(kRestrictedStatus);
  oqDDLcommand->Execute();
  StatusBar->Panels()
      ->Items(kPanelRestricted)
      ->SetText(oqDDLcommand->Eof() ? "" : oqDDLcommand->Field(0).AsString());
}
