// The session window: the one child window of the main window. It lists every session of the
// instance (refreshed by hand, on its timer and after each logon, filtered to user or background
// processes, following one session in watch mode), sends the DBA commands (kill, kill all, SQL trace,
// restricted logins) after a confirmation, and raises, lists and speaks the alarms on too many active
// sessions and on a session active for too long.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/ActnList.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdActns.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"

class TAxControl;
class TColumnEx;
class TDataSet;
class TDataSource;
class TDBGridEx;
class TOracleDataSet;
class TOracleQuery;

class TSessionForm : public TForm {
  TALVIK_CLASS(TSessionForm, TForm)
  explicit TSessionForm(TComponent* AOwner);
  ~TSessionForm() override;

  // ---- the layout ----
  TPanel* PanelStatusBar;
  TStatusBar* StatusBar;
  TPageControl* pcSessions;
  TTabSheet* tsSessions;
  TTabSheet* tsAlarm;
  TDBGridEx* dbgSession;
  TPanel* PanelSession;  // the detail panel under the list, hidden until a row is clicked
  TDataSource* dsSession;
  TOracleDataSet* odsSession;
  TOracleQuery* oqDDLcommand;
  TImageList* ImageList;
  TActionList* ActionList;
  TAction* aSystemSession;
  TAction* aUserSession;
  TAction* aRefresh;
  TAction* aMonitor;
  TAction* aAutoRefresh;
  TFileSaveAs* aFileSaveAs;
  TFileSaveAs* aSaveSqlAs;
  TAction* aTrace;
  TAction* aKill;
  TAction* aKillAll;
  TAction* aRestrictedEnable;
  TAction* aRestrictedDisable;
  TAction* aAlarm;
  TAction* aSound;
  TListControlDeleteSelection* aListControlDeleteSelection;
  TAction* aListControlDeleteAll;
  TPopupMenu* PopupMenuGrid;
  TMenuItem* nAutoRefresh;
  TMenuItem* nMonitorSession;
  TMenuItem* nTrace;
  TMenuItem* nKillOnly;
  TPopupMenu* PopupMenuTitle;
  TPopupMenu* PopupMenuList;
  TTimer* Timer;
  TListView* lvAlarm;
  TPanel* Panel;
  TGroupBox* GroupBox5;
  TCheckBox* cbActiveCount;
  TSpinEdit* seActiveCount;
  TCheckBox* cbActiveDuration;
  TSpinEdit* seActiveDuration;
  // The detail tabs' page control and its first tab (nullptr until the detail panel is built).
  TPageControl* pcSession = nullptr;
  TTabSheet* tsDetail = nullptr;

  // ---- list and refresh ----
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void aRefreshExecute(TObject* Sender);
  void TimerTimer(TObject* Sender);
  void aAutoRefreshExecute(TObject* Sender);
  void aMonitorExecute(TObject* Sender);
  void aSystemSessionExecute(TObject* Sender);
  void ApplySessionFilter();
  void dbgSessionGetCellParams(TObject* Sender, TColumnEx* Column, TFont* AFont, TColor& Background,
                               TGridDrawState State);
  void dbgSessionKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void dbgSessionMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void dbgSessionCellClick(TColumnEx* Column);
  void ColumnMenuItemClick(TObject* Sender);
  void StatusBarDrawPanel(TStatusBar* Sender, TStatusPanel* Panel, const TRect& Rect);
  void odsSessionAfterOpen(TDataSet* DataSet);
  void odsSessionBeforeClose(TDataSet* DataSet);
  void aFileSaveAsAccept(TObject* Sender);
  void aSaveSqlAsAccept(TObject* Sender);
  // After a logon while the window exists: the server's release, the restricted-logins note and
  // the list of the new connection.
  void LoggedOn();

  // ---- DBA commands ----
  void aTraceExecute(TObject* Sender);
  void aKillExecute(TObject* Sender);
  void aKillAllExecute(TObject* Sender);
  void aRestrictedEnableExecute(TObject* Sender);
  void aRestrictedDisableExecute(TObject* Sender);
  void UpdateRestrictedStatus();

  // ---- alarms ----
  void odsSessionFilterRecord(TDataSet* DataSet, bool& Accept);
  void CheckAlarms();
  void aListControlDeleteAllExecute(TObject* Sender);

  // ---- what the detail tabs and the options dialog reach ----
  int IntervalAutoRefresh() const { return intervalAutoRefresh_; }
  void SetIntervalAutoRefresh(int Value) { intervalAutoRefresh_ = Value; }
  const std::string& CustomSql() const { return customSql_; }
  void SetCustomSql(const std::string& Value) { customSql_ = Value; }
  // The statement text of the current row, read into the detail tab's editor.
  void ShowCurrentSqlText();

  // Active user sessions the last refresh counted (each session once).
  int ActiveCount() const { return activeCount_; }

 private:
  void CreateLayout();
  void CreateActions();
  void CreateGrid();
  void CreateStatusBar();
  void CreateAlarmTab();
  void CreateMenus();
  void CreateImages();
  TAction* NewAction(const char* Category, const char* Caption, const char* Hint, int ImageIndex,
                     bool AutoCheck);
  // The timer's interval from the interval setting: at least a second, at most what it can hold.
  unsigned TimerInterval() const;
  void ShowSessionCount();
  bool HasCurrentRow();
  std::string CurrentField(const char* Name);
  // Puts a statement into the command query and runs it once the user said Yes; the status panel then
  // shows it. False when the user declined.
  bool ConfirmAndExecute(const std::string& Sql, const std::string& Question);
  void ShowCommand();
  void AddAlarm(const std::string& Message, const std::string& Variables);
  void ReadAlarmSettings();
  void WriteAlarmSettings();
  void CreateSpeechControl();
  void BuildColumnChooser();
  void RestoreColumnsLayout();
  void RegisterWithMainForm();
  void UnregisterFromMainForm();

  int activeCount_ = 0;
  bool longActive_ = false;
  std::string alarmSid_;
  std::string alarmUserName_;
  int intervalAutoRefresh_ = 5;
  std::string customSql_;
};

extern TComponentRef<TAxControl> SpeechControl;

// The text of the speech control's class identifier.
inline constexpr const char* kSpeechControlClassID = "{EEE78591-FE22-11D0-8BEF-0060081841DE}";
