// The session list: showing and closing the window, the refresh with its position keeping and watch
// mode, auto-refresh, the user/background filter, row colours, the column chooser, the status bar
// and the snapshot file.
#include "app/SessionF.h"

#include <algorithm>
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
// Restoring the grid's column layout: every part of it.
constexpr int kRestoreAll = 63;
// Searching from the first record, not from the one after the current.
constexpr int kSearchFromFirst = 8;
constexpr unsigned kMsPerSecond = 1000;

// The user/background filter from the two switches: (user, system) → filter text.
constexpr const char* kFilters[2][2] = {
    {"1 <> 1", "prname <> 'USER'"},  // user sessions unchecked
    {"prname = 'USER'", ""},         // user sessions checked
};

// The grid's own position keeping when it offers it; else the same by hand: the record in the middle
// of the visible rows is remembered, with the current record's distance from it.
template <class Grid>
struct PositionKeeper {
  Grid* grid;
  TDataSet* dataSet;
  TBookmarkStr bookmark;
  int offset = 0;

  void Save() {
    if constexpr (requires(Grid * g) { g->SaveBookmark(); }) {
      grid->SaveBookmark();
    } else {
      if (!dataSet->Active() || dataSet->IsEmpty()) return;
      TDataLink* link = grid->DataLink();
      const int count = link->RecordCount();
      offset = link->ActiveRecord() - count / 2 + (count + 1) % 2;
      dataSet->MoveBy(-offset);
      bookmark = dataSet->Bookmark();
      dataSet->MoveBy(offset);
    }
  }
  void Restore() {
    if constexpr (requires(Grid * g) { g->RestoreBookmark(); }) {
      grid->RestoreBookmark();
    } else {
      if (bookmark.empty()) return;
      dataSet->SetBookmark(bookmark);
      dataSet->MoveBy(offset);
    }
  }
};

// Restores the column layout; sort markers that come back with it are applied once, so that the
// arrows and the order of the rows agree.
template <class Grid>
void RestoreLayout(Grid* grid) {
  if constexpr (requires(Grid * g) { g->RestoreColumnsLayout(RegIni.get(), kRestoreAll); }) {
    if (!RegIni) return;
    grid->RestoreColumnsLayout(RegIni.get(), kRestoreAll);
    if constexpr (requires(Grid * g) { g->ApplySorting(); }) {
      bool marked = false;
      for (int i = 0; i < grid->Columns()->Count(); ++i)
        marked = marked || grid->Columns()->Items(i)->Title()->SortMarker() != smNoneEx;
      if (marked) grid->ApplySorting();
    }
  }
}

// The number of the record the grid is drawing: through its sum list when it keeps one, else the
// dataset's own (the grid makes the drawn row current for the call).
template <class Grid>
int DrawnRecNo(Grid* grid, TDataSet* DataSet) {
  if constexpr (requires(Grid * g) { g->SumList()->GetRecNo(); })
    return grid->SumList()->GetRecNo();
  else
    return DataSet->RecNo();
}

template <class Grid>
void SaveLayout(Grid* grid) {
  if constexpr (requires(Grid * g) { g->SaveColumnsLayout(RegIni.get()); })
    if (RegIni) grid->SaveColumnsLayout(RegIni.get());
}

// The main window's menus and toolbars show the window's commands once it has registered them.
template <class Main>
void RegisterActions(Main* main, TActionList* Actions, TCustomImageList* Images) {
  if constexpr (requires(Main * m) { m->RegisterSessionActions(Actions, Images); })
    if (main) main->RegisterSessionActions(Actions, Images);
}

template <class Main>
void UnregisterActions(Main* main) {
  if constexpr (requires(Main * m) { m->UnregisterSessionActions(); })
    if (main) main->UnregisterSessionActions();
}

}  // namespace

TComponentRef<TAxControl> SpeechControl;

void TSessionForm::RegisterWithMainForm() {
  RegisterActions(MainForm, ActionList, ImageList);
}

void TSessionForm::UnregisterFromMainForm() {
  UnregisterActions(MainForm);
}

void TSessionForm::FormShow(TObject*) {
  CreateSpeechControl();
  if (RegIni) {
    customSql_ = RegIni->ReadString("CustomInfo\\" + DataBase, "SQL", "");
    intervalAutoRefresh_ = std::max(1, RegIni->ReadInteger("", "IntervalAutoRefresh", 5));
  }
  ReadAlarmSettings();
  // The first refresh failing leaves an empty list; the window still gets the rest of its settings.
  try {
    aRefresh->Execute();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
  RestoreLayout(dbgSession);
  BuildColumnChooser();
  StatusBar->Panels()->Items(kPanelVersion)->SetText(" Oracle " + OracleVersion);
  try {
    UpdateRestrictedStatus();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TSessionForm::FormClose(TObject*, TCloseAction& Action) {
  WriteAlarmSettings();
  SaveLayout(dbgSession);
  Action = caFree;
}

void TSessionForm::LoggedOn() {
  StatusBar->Panels()->Items(kPanelVersion)->SetText(" Oracle " + OracleVersion);
  if (RegIni) customSql_ = RegIni->ReadString("CustomInfo\\" + DataBase, "SQL", "");
  UpdateRestrictedStatus();
  aRefresh->Execute();
}

unsigned TSessionForm::TimerInterval() const {
  constexpr int kMaxSeconds = static_cast<int>(UINT_MAX / kMsPerSecond);
  return static_cast<unsigned>(std::clamp(intervalAutoRefresh_, 1, kMaxSeconds)) * kMsPerSecond;
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
  const bool watching = nMonitorSession->Checked();
  std::string watchedSid;
  PositionKeeper<TDBGridEx> position{dbgSession, odsSession, {}, 0};
  if (watching)
    watchedSid = CurrentField("SID");
  else
    position.Save();
  odsSession->Refresh();
  if (aAlarm->Checked()) CheckAlarms();
  ShowSessionCount();
  if (watching) {
    if (!watchedSid.empty()) odsSession->SearchRecord("SID", TVariant(watchedSid), kSearchFromFirst);
  } else {
    try {
      position.Restore();
    } catch (...) {
      // the record is gone: the list stays where the refresh put it
    }
  }
  if (pcSession && tsDetail && pcSession->ActivePage() == tsDetail) ShowCurrentSqlText();
}

void TSessionForm::TimerTimer(TObject*) {
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
  const int recNo = DrawnRecNo(dbgSession, odsSession);
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

void TSessionForm::dbgSessionCellClick(TColumnEx*) {
  // the detail panel under the list opens here once the detail tabs are there
}

void TSessionForm::odsSessionAfterOpen(TDataSet*) {
  ShowSessionCount();
}

void TSessionForm::odsSessionBeforeClose(TDataSet*) {
  // the detail tab's statement editor is emptied here once the detail tabs are there
}

void TSessionForm::ShowCurrentSqlText() {
  // the detail tab reads the current statement's text here once it is there
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

void TSessionForm::aSaveSqlAsAccept(TObject*) {
  // the detail tab's statement text is saved here once the detail tabs are there
}
