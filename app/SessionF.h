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
#include "platform/rtl/Variants.h"

class TAxControl;
class TCodeEdit;
class TCodeSQLHighlighter;
class TColumnEx;
class TDBGrid;
class TDBRichEdit;
class TField;
class TSpeedButton;
class TZrDBText3D;
class TZrLabel3D;
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
  // the list of the new connection. When that fails, auto-refresh stops before the error goes on.
  void LoggedOn();
  // After a logon that ended without a connection: auto-refresh stops, the count names no sessions.
  void LoggedOff();

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
  // Its line ends become CR LF, as the statement is sent: the check of the text reads what the server
  // would be given, whatever line ends the text came with.
  void SetCustomSql(const std::string& Value);
  // The statement text of the current row, read into the detail tab's editor.
  void ShowCurrentSqlText();

  // Active user sessions the last refresh counted (each session once).
  int ActiveCount() const { return activeCount_; }

  // ---- the detail panel under the list (SessionFDetail.cpp) ----
  TPanel* Panel7 = nullptr;  // the header line: user and SID of the current row
  TPanel* Panel8 = nullptr;
  TZrLabel3D* jlCaption = nullptr;
  TSpeedButton* sbCloseSessionPanel = nullptr;
  TTabSheet* tsCustomInfo = nullptr;
  TTabSheet* tsTransaction = nullptr;
  TTabSheet* tsLock = nullptr;
  TTabSheet* tsCursors = nullptr;
  TTabSheet* tsStatistics = nullptr;
  TTabSheet* tsEvent = nullptr;
  TCodeSQLHighlighter* CodeSQLHighlighter = nullptr;
  TCodeEdit* seSQLText = nullptr;
  TCodeEdit* seSQLTextCursor = nullptr;
  TPopupMenu* PopupMenuSql = nullptr;
  TEditCopy* EditCopy = nullptr;
  TEditSelectAll* EditSelectAll = nullptr;
  TDBRichEdit* DBRichEdit = nullptr;
  TDBGridEx* dbgTransaction = nullptr;
  TDBGridEx* dbgLock = nullptr;
  TDBGrid* dbgLockForWhom = nullptr;
  TDBGrid* dbgLockWho = nullptr;
  TDBGrid* dbCursors = nullptr;
  TDBGridEx* dbgStatistics = nullptr;
  TDBGridEx* dbgEvent = nullptr;
  TZrDBText3D* dbtLockName = nullptr;       // the description of the current lock
  TZrDBText3D* dbtStatisticName = nullptr;  // the description of the current statistic
  TOracleDataSet* odsTransaction = nullptr;
  TOracleDataSet* odsCursors = nullptr;
  TOracleDataSet* odsLock = nullptr;
  TOracleDataSet* odsLockForWhom = nullptr;
  TOracleDataSet* odsLockWho = nullptr;
  TOracleDataSet* odsStatistics = nullptr;
  TOracleDataSet* odsEvent = nullptr;
  TOracleDataSet* odsCustomInfo = nullptr;
  TDataSource* dsTransaction = nullptr;
  TDataSource* dsCursors = nullptr;
  TDataSource* dsLock = nullptr;
  TDataSource* dsLockForWhom = nullptr;
  TDataSource* dsLockWho = nullptr;
  TDataSource* dsStatistics = nullptr;
  TDataSource* dsEvent = nullptr;
  TDataSource* dsCustomInfo = nullptr;
  TOracleQuery* oqSQLText = nullptr;

  // Appends the whole text of one statement of the shared pool to Text.
  void ReadSqlText(const std::string& Address, const std::string& HashValue, std::string& Text);
  // Applies the custom query to the tab "Дополнительная" (shown only while there is one).
  void SetupCustomInfo();
  void tsDetailShow(TObject* Sender);
  void tsCustomInfoShow(TObject* Sender);
  void tsCustomInfoHide(TObject* Sender);
  void tsTransactionShow(TObject* Sender);
  void tsTransactionHide(TObject* Sender);
  void tsLockShow(TObject* Sender);
  void tsLockHide(TObject* Sender);
  void tsCursorsShow(TObject* Sender);
  void tsCursorsHide(TObject* Sender);
  void tsStatisticsShow(TObject* Sender);
  void tsStatisticsHide(TObject* Sender);
  void tsEventShow(TObject* Sender);
  void tsEventHide(TObject* Sender);
  void odsCursorsAfterScroll(TDataSet* DataSet);
  void odsSessionAfterScroll(TDataSet* DataSet);
  void dbgLockForWhomDblClick(TObject* Sender);
  // Row colours of the statistics and waits grids, and their column filter keys.
  void dbgStatisticsGetCellParams(TObject* Sender, TColumnEx* Column, TFont* AFont, TColor& Background,
                                  TGridDrawState State);
  void dbgStatisticsKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void sbCloseSessionPanelClick(TObject* Sender);
  // ---- descriptions (SessionFDescriptions.cpp) ----
  void odsLockCalcFields(TDataSet* DataSet);
  void odsStatisticsCalcFields(TDataSet* DataSet);
  // (named after the field whose text it gives, as the window's field handlers are)
  void odsEventTIME_WAITEDGetText(  // NOLINT(readability-identifier-naming)
      TField* Sender, std::string& Text, bool DisplayText);

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
  // The timer's interval from the interval setting: none (the timer never fires) for 0 seconds or
  // fewer, at most what it can hold.
  unsigned TimerInterval() const;
  void ShowSessionCount();
  void StopAutoRefresh();
  // A session of the list as the instance knows it: SID and serial number together (empty: no row).
  struct SessionKey {
    std::string sid, serial;
    bool Listed() const { return !sid.empty(); }
    TVariant Values() const { return VarArrayOf({TVariant(sid), TVariant(serial)}); }
    bool operator==(const SessionKey&) const = default;
  };
  SessionKey CurrentSession();
  // Makes that session the current record, on the screen row the current record had before the
  // refresh (the grid's saved bookmark tells which); the list stays where it is when it is gone. The
  // dataset's controls are disabled meanwhile.
  void FollowSession(const SessionKey& Session);
  bool HasCurrentRow();
  std::string CurrentField(const char* Name);
  // Puts a statement into the command query and, once the user said Yes, shows it in the status panel
  // and runs it. False when the user declined.
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
  // The detail panel (SessionFDetail.cpp).
  void CreateSessionPanel();
  void CreateDetailDataSets();
  void CreateDetailTab();
  void CreateCustomInfoTab();
  void CreateTransactionTab();
  void CreateLockTab();
  void CreateCursorsTab();
  void CreateStatisticsTabs();
  TTabSheet* NewDetailTab(const char* Name, const char* Caption, int ImageIndex);
  // The class library's plain data grids of the lock and cursor tabs.
  void CreateQueueGrids(TWinControl* ForWhomParent, TWinControl* WhoParent);
  void CreateCursorGrid();
  void FocusCursorGrid();
  // Unhooks the panel's handlers from the window before the window goes.
  void ReleaseSessionPanel();
  // The statement text of the current row is read once the row has settled after a move.
  void PostSqlTextRead();
  void SessionFormWndProc(TMessage& Message);

  int activeCount_ = 0;
  bool longActive_ = false;
  std::string alarmSid_;
  std::string alarmUserName_;
  int intervalAutoRefresh_ = 5;
  std::string customSql_;
  bool sqlTextPending_ = false;
  TWndMethod inheritedWndProc_;
};

extern TComponentRef<TAxControl> SpeechControl;

// What the tab "Дополнительная" and the options dialog say of a custom statement that is not a query.
inline constexpr const char* kCustomInfoNotAQuery =
    "SQL запрос на закладке \"Дополнительная\" не является запросом SELECT и выполнен не будет.";

// What they say of a query that locks the rows it reads (SELECT ... FOR UPDATE).
inline constexpr const char* kCustomInfoLocksRows =
    "SQL запрос на закладке \"Дополнительная\" блокирует строки (FOR UPDATE) и выполнен не будет.";

// The text of the speech control's class identifier.
inline constexpr const char* kSpeechControlClassID = "{EEE78591-FE22-11D0-8BEF-0060081841DE}";
