// The session list: showing and closing the window, the refresh with its position keeping and watch
// mode, auto-refresh, the user/background filter, row colours, the column chooser, the status bar
// and the snapshot file.
#include "app/SessionF.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <fstream>

#include "app/ComboBoxQuery.h"
#include "app/MainF.h"
#include "app/axControl.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExExport.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kSessionCount = " Всего сеансов: ";
constexpr const char* kConnectFirst = "Подключитесь к базе данных";
constexpr const char* kRefreshFailed = "Ошибка обновления";
constexpr TColor kOddRow = 0xC6BEBD, kEvenRow = 0xDED7D6;
constexpr TColor kActiveFont = clRed;
constexpr const char* kActive = "ACTIVE";
// Panels of the status bar.
constexpr int kPanelCount = 0, kPanelCommand = 1, kPanelVersion = 2, kPanelRestricted = 3;
constexpr int kTextLeft = 4, kTextTop = 1;
// Searching from the first record, not from the one after the current.
constexpr int kSearchFromFirst = 8;
constexpr unsigned kMsPerSecond = 1000;

// The user/background filter from the two switches: (user, system) → filter text.
constexpr const char* kFilters[2][2] = {
    {"1 <> 1", "prname <> 'USER'"},  // user sessions unchecked
    {"prname = 'USER'", ""},         // user sessions checked
};

}  // namespace

TComponentRef<TAxControl> SpeechControl;

void TSessionForm::RegisterWithMainForm() {
  if (MainForm) MainForm->RegisterSessionActions(ActionList, ImageList);
}

void TSessionForm::UnregisterFromMainForm() {
  if (MainForm) MainForm->UnregisterSessionActions();
}

void TSessionForm::FormShow(TObject*) {
  CreateSpeechControl();
  if (RegIni) {
    SetCustomSql(RegIni->ReadString("CustomInfo\\" + DataBase, "SQL", ""));
    intervalAutoRefresh_ = RegIni->ReadInteger("", "IntervalAutoRefresh", 5);
  }
  ReadAlarmSettings();
  // The first refresh failing leaves an empty list; the window still gets the rest of its settings.
  try {
    aRefresh->Execute();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
  RestoreColumnsLayout();
  BuildColumnChooser();
  StatusBar->Panels()->Items(kPanelVersion)->SetText(" Oracle " + OracleVersion);
  try {
    UpdateRestrictedStatus();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TSessionForm::SetCustomSql(const std::string& Value) {
  customSql_ = AdjustLineBreaks(Value);
}

void TSessionForm::FormClose(TObject*, TCloseAction& Action) {
  try {
    TRegistryUpdate update(HKEY_CURRENT_USER);  // the alarm settings and the columns in one save
    WriteAlarmSettings();
    if (RegIni) dbgSession->SaveColumnsLayout(RegIni.get());
    update.End();
  } catch (const ERegistryException& e) {
    SettingsNotSaved(e);  // told once, when the program closes; the window closes all the same
  }
  Action = caFree;
}

void TSessionForm::RestoreColumnsLayout() {
  // Sort markers that come back with the layout are applied once by the grid (it sorts when a restore
  // changed them), so that the arrows and the order of the rows agree.
  if (RegIni) dbgSession->RestoreColumnsLayout(RegIni.get(), crpAll);
}

void TSessionForm::LoggedOn() {
  try {
    StatusBar->Panels()->Items(kPanelVersion)->SetText(" Oracle " + OracleVersion);
    if (RegIni) SetCustomSql(RegIni->ReadString("CustomInfo\\" + DataBase, "SQL", ""));
    UpdateRestrictedStatus();
    aRefresh->Execute();
    if (PanelSession->Visible()) SetupCustomInfo();
  } catch (...) {
    // The logon's caller shows the error. Ticks on this connection would only show it again, one
    // box after another: auto-refresh stops, and the count names what the list holds.
    StopAutoRefresh();
    ShowSessionCount();
    throw;
  }
}

void TSessionForm::LoggedOff() {
  // nothing to refresh until a logon lists anew
  StopAutoRefresh();
  ShowSessionCount();
}

void TSessionForm::StopAutoRefresh() {
  aAutoRefresh->SetChecked(false);
  Timer->SetEnabled(false);
}

unsigned TSessionForm::TimerInterval() const {
  // an interval of 0 or below gives a timer that never fires
  constexpr int kMaxSeconds = static_cast<int>(UINT_MAX / kMsPerSecond);
  return static_cast<unsigned>(std::clamp(intervalAutoRefresh_, 0, kMaxSeconds)) * kMsPerSecond;
}

void TSessionForm::ShowSessionCount() {
  const int count = odsSession->Active() ? odsSession->RecordCount() : 0;
  StatusBar->Panels()->Items(kPanelCount)->SetText(kSessionCount + std::to_string(count));
}

bool TSessionForm::HasCurrentRow() {
  return odsSession->Active() && !odsSession->IsEmpty();
}

std::string TSessionForm::CurrentField(const char* Name) {
  return HasCurrentRow() ? odsSession->FieldByName(Name)->AsString() : std::string();
}

void TSessionForm::aRefreshExecute(TObject*) {
  activeCount_ = 0;
  longActive_ = false;
  if (!odsSession->Active()) {
    TOracleSession* session = odsSession->Session();
    if (!session || !session->Connected()) {
      aAutoRefresh->SetChecked(false);
      Timer->SetEnabled(false);
      ShowMessage(kConnectFirst);
      return;
    }
    odsSession->Open();
    // the opening fetched every row once already: only the refresh below counts
    activeCount_ = 0;
    longActive_ = false;
  }
  // The session the user is on, by SID and serial number: a SID alone may pass to a new session once
  // its own has gone, and the records' bookmarks are only their places in the new result.
  const bool watching = nMonitorSession->Checked();
  const SessionKey current = CurrentSession();
  if (!watching) dbgSession->SaveBookmark();
  try {
    odsSession->Refresh();
  } catch (...) {
    ShowSessionCount();  // of the rows the failure left
    throw;
  }
  if (aAlarm->Checked()) CheckAlarms();
  ShowSessionCount();
  if (watching) {
    // Watch mode follows the one session the user chose. Once it has gone the list stays where the
    // refresh left it and watch mode ends: the next refresh would watch whatever session stands there.
    if (!current.Listed() || !odsSession->SearchRecord("SID;SERIAL", current.Values(), kSearchFromFirst))
      aMonitor->SetChecked(false);
  } else {
    // The controls hear of the moves once, at the end: the grid repaints and the detail tabs re-read
    // their session one time.
    odsSession->DisableControls();
    const TScopeExit enable([this] { odsSession->EnableControls(); });
    try {
      dbgSession->RestoreBookmark();
    } catch (...) {
      // the record is gone: the list stays where the refresh put it
    }
    if (current.Listed() && !(CurrentSession() == current)) FollowSession(current);
  }
  if (pcSession && tsDetail && pcSession->ActivePage() == tsDetail) ShowCurrentSqlText();
}

TSessionForm::SessionKey TSessionForm::CurrentSession() {
  return {CurrentField("SID"), CurrentField("SERIAL")};
}

void TSessionForm::FollowSession(const SessionKey& Session) {
  assert(odsSession->ControlsDisabled());
  if (!odsSession->SearchRecord("SID;SERIAL", Session.Values(), kSearchFromFirst)) return;
  // back on the screen row it had: the record that was in the middle row is centred, as the restore
  // of the bookmark does, and the session is the same distance from it
  const int moved = odsSession->MoveBy(-dbgSession->SavedRecordOffset());
  odsSession->GotoBookmark(odsSession->Bookmark());
  odsSession->MoveBy(-moved);
  assert(CurrentSession() == Session);
}

void TSessionForm::TimerTimer(TObject*) {
  // No tick refreshes while a box, a dialog or a menu of the program stands (a logon, a question, an
  // error, the list's menu): a failing one would stand its own box over it, and a menu's command acts
  // on the row the user chose it for. The timer runs on, and the first tick after it refreshes.
  if (Application && Application->ModalLevel() > 0) return;
  Timer->SetInterval(TimerInterval());
  try {
    aRefresh->Execute();
  } catch (...) {
    aAutoRefresh->Execute();  // unchecks itself and stops the timer
    ShowMessage(kRefreshFailed);
  }
}

void TSessionForm::aAutoRefreshExecute(TObject*) {
  Timer->SetInterval(TimerInterval());
  Timer->SetEnabled(nAutoRefresh->Checked());
}

void TSessionForm::aMonitorExecute(TObject*) {
  // watch mode is read from nMonitorSession by the refresh
}

void TSessionForm::aSystemSessionExecute(TObject*) {
  ApplySessionFilter();
}

void TSessionForm::ApplySessionFilter() {
  odsSession->SetFilter(kFilters[aUserSession->Checked()][aSystemSession->Checked()]);
  ShowSessionCount();
}

void TSessionForm::dbgSessionGetCellParams(TObject*, TColumnEx*, TFont* AFont, TColor& Background,
                                           TGridDrawState) {
  const int recNo = dbgSession->SumList()->GetRecNo();
  Background = recNo % 2 != 0 ? kOddRow : kEvenRow;
  if (odsSession->FieldByName("STATUS")->AsString() == kActive) AFont->SetColor(kActiveFont);
}

void TSessionForm::dbgSessionKeyDown(TObject* Sender, WORD& Key, TShiftState) {
  GridQueryKeyDown(Sender, Key);
}

void TSessionForm::dbgSessionMouseDown(TObject*, TMouseButton, TShiftState, int, int Y) {
  const TRect title = dbgSession->CellRect(0, 0);
  dbgSession->SetPopupMenu(Y < title.Bottom ? PopupMenuTitle : PopupMenuGrid);
}

void TSessionForm::odsSessionAfterOpen(TDataSet*) {
  ShowSessionCount();
}

void TSessionForm::BuildColumnChooser() {
  PopupMenuTitle->Items()->Clear();
  TDBGridColumnsEx* columns = dbgSession->Columns();
  for (int i = 0; i < columns->Count(); ++i) {
    TColumnEx* column = columns->Items(i);
    auto* item = new TMenuItem(this);
    item->SetCaption(column->Title()->Caption());
    item->SetChecked(column->Visible());
    item->SetAutoCheck(true);
    item->SetHint(column->FieldName());  // the column the item stands for, wherever it moves
    item->OnClick = [this](TObject* s) { ColumnMenuItemClick(s); };
    PopupMenuTitle->Items()->Add(item);
  }
}

void TSessionForm::ColumnMenuItemClick(TObject*) {
  TDBGridColumnsEx* columns = dbgSession->Columns();
  for (int i = 0; i < PopupMenuTitle->Items()->Count(); ++i) {
    TMenuItem* item = PopupMenuTitle->Items()->Items(i);
    for (int c = 0; c < columns->Count(); ++c)
      if (columns->Items(c)->FieldName() == item->Hint()) columns->Items(c)->SetVisible(item->Checked());
  }
}

void TSessionForm::StatusBarDrawPanel(TStatusBar* Sender, TStatusPanel* Panel, const TRect& Rect) {
  TCanvas* canvas = Sender->Canvas();
  if (Panel->Index() == kPanelCommand) canvas->Font()->SetColor(clNavy);
  if (Panel->Index() == kPanelRestricted) canvas->Font()->SetColor(clRed);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(Rect.Left + kTextLeft, Rect.Top + kTextTop, Trim(Panel->Text()));
}

void TSessionForm::aFileSaveAsAccept(TObject*) {
  // the snapshot: every listed row (as filtered) with the visible columns, as a spreadsheet
  SaveGridToExportFile(ExportClass<TDBGridExExportAsXLS>(), dbgSession, aFileSaveAs->Dialog()->FileName(),
                       true);
}
