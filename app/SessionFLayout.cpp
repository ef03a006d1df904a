// The session window's layout: its components, their settings and the handlers they are bound to.
#include <iterator>
#include <sstream>
#include <string>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "grid/DBGridEx.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"

namespace {

constexpr int kWidth = 824, kHeight = 600;
constexpr int kFontHeight = -11;
constexpr int kReadBuffer = 1000;
constexpr int kTimerInterval = 5000;
constexpr TColor kGridColor = static_cast<TColor>(0xDED7D6);
constexpr int kSessionPanelHeight = 346;
constexpr int kAlarmPanelHeight = 201;
constexpr int kSpinMin = 1, kSpinMax = 1000;
constexpr int kImageSize = 16;
constexpr int kImageCount = 8;

// The session list as the instance is asked for it, line by line as stored (the lines keep their
// trailing blanks). The hours of the idle time keep all their digits: LPAD would cut 123 to "12".
// A number format pads them to two; padding to a computed length instead would make the column as
// wide as the server's longest text, and each fetched row as large.
constexpr const char* kSessionSql = R"sql(SELECT 
  s.sid,
  p.spid server_pid,
  s.serial#  serial,
  NVL(DECODE(type, 'BACKGROUND', 'SYS (' || b.name || ')', s.username),SUBSTR(p.program, INSTR(p.program, '('))) oracle_user,
  s.status status,
  s.machine machine,
  NVL(s.osuser, '('||b.name||')')  os_user,
  (i.block_gets + i.consistent_gets) logical_reads,
  DECODE(s.command, 0,'NONE',1,'CREATE TABLE',2,'INSERT',3,'SELECT',4,'CREATE CLUSTER',5,'ALTER CLUSTER',6,'UPDATE',7,'DELETE',8,'DROP CLUSTER',9,'CREATE INDEX',
  10,'DROP INDEX',11,'ALTER INDEX',12,'DROP TABLE',13,'UNDEFINED',14,'UNDEFINED',15,'ALTER TABLE',16,'UNDEFINED',17,'GRANT',18,'REVOKE',19,'CREATE SYNONYM',20,'DROP SYNONYM',
  21,'CREATE VIEW',22,'DROP VIEW',23,'UNDEFINED',24,'UNDEFINED',25,'UNDEFINED',26,'LOCK TABLE',27,'NO OPERATION',28,'RENAME',29,'COMMENT',30,'AUDIT',31,'NO AUDIT',
  32,'CREATE EXTERNAL DATABASE',33,'DROP EXTERNAL DATABASE',34,'CREATE DATABASE',35,'ALTER DATABASE',36,'CREATE ROLLBACK SEGMENT',37,'ALTER ROLLBACK SEGMENT',38,'DROP ROLLBACK SEGMENT',
  39,'CREATE TABLESPACE',40,'ALTER TABLESPACE',41,'DROP TABLESPACE',42,'ALTER SESSION',43,'ALTER USER',44,'COMMIT',45,'ROLLBACK',46,'SAVEPOINT','UNKNOWN') command,
  NVL(s.program,s.client_info) client_program,
  s.action action,
  i.physical_reads physical_reads,
  t.value * 10 cpu_usage,
  s.logon_time logon_time,
  s.last_call_et last_call_et_s,
  TO_CHAR(TRUNC(s.last_call_et/3600),'FM999999900')||' ч. '||LPAD(TO_CHAR(TRUNC(s.last_call_et/60)-trunc(s.last_call_et/3600)*60),2,'0')||' мин. '
   last_call_et,
  (i.block_changes+i.consistent_changes) block_changes,
  i.consistent_gets consistent_gets,
  i.block_gets block_gets,
  s.sql_address sql_address,
  s.sql_hash_value sql_hash_value,
  w.seq# wait_id,
  w.event wait_event,
  DECODE(w.wait_time, 0, INITCAP(w.state)||' (' || TO_CHAR(w.seconds_in_wait) || ' s)',
                          -2, INITCAP(w.state),
                          -1, INITCAP(w.state),
                         INITCAP(w.state)||' ( ' || TO_CHAR(w.wait_time*10) || ' ms )' ) wait_state,
  NVL(b.name,'USER') prname,
  s.taddr,
  s.module
FROM   v$session s,
       v$session_wait w,
       v$process p,
       v$bgprocess b,
       v$sess_io i,
       v$sesstat t
WHERE  
       p.addr(+)=s.paddr
       AND s.sid = w.sid(+)
       AND p.addr=b.paddr(+)
       AND i.sid=s.sid
       AND t.sid=s.sid
       AND t.statistic# = 12
ORDER BY s.status)sql";

// The session grid's columns in order: field, title (nullptr: the field's own label), visible, width
// (0: the default).
struct ColumnDef {
  const char* field;
  const char* title;
  bool visible;
  int width;
};
constexpr ColumnDef kColumns[] = {
    {"SID", nullptr, true, 46},
    {"SERVER_PID", "SPID", false, 46},
    {"SERIAL", "Serial#", false, 49},
    {"STATUS", "Статус", true, 62},
    {"ORACLE_USER", "Oracle user", true, 80},
    {"OS_USER", "OS user", true, 59},
    {"MACHINE", "Компьютер", true, 78},
    {"COMMAND", "Команда", true, 61},
    {"CLIENT_PROGRAM", "Программа", true, 110},
    {"ACTION", "Действие", false, 153},
    {"CPU_USAGE", "CPU", true, 60},
    {"LOGICAL_READS", "Логич. чтений", true, 0},
    {"PHYSICAL_READS", "Физич. чтений", true, 54},
    {"BLOCK_CHANGES", "Изменено блоков", false, 0},
    {"CONSISTENT_GETS", "Целостных чтений", false, 66},
    {"BLOCK_GETS", "Прочитано блоков", false, 66},
    {"WAIT_ID", "Ожидание|SEQ#", false, 46},
    // the "C" of "Cтатус" is a Latin letter, as the title has always been written
    {"WAIT_STATE", "Ожидание|Cтатус (время)", false, 109},
    {"WAIT_EVENT", "Ожидание|Событие", false, 114},
    {"LOGON_TIME", "Время соединения", true, 108},
    {"LAST_CALL_ET", "Время простоя", true, 74},
};

// The status bar's panels: text in the layout, width, style, alignment.
struct PanelDef {
  const char* text;
  int width;
  TStatusPanelStyle style;
  TAlignment alignment;
};
constexpr PanelDef kPanels[] = {
    {" Всего сеансов:", 115, psText, taLeftJustify},
    {"", 300, psOwnerDraw, taLeftJustify},
    {"", 100, psText, taCenter},
    {"", 155, psOwnerDraw, taCenter},
    {"", 50, psText, taLeftJustify},
};

// The alarm list's columns: caption, alignment, width (0: sized to the room left).
struct ListColumnDef {
  const char* caption;
  TAlignment alignment;
  int width;
};
constexpr ListColumnDef kAlarmColumns[] = {
    {"", taLeftJustify, 10},         {"Дата", taCenter, 70},           {"Время", taCenter, 70},
    {"Сообщение", taLeftJustify, 0}, {"Переменные", taLeftJustify, 0},
};

}  // namespace

TSessionForm::TSessionForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SessionForm");
  SetCaption("Talvik");
  SetBounds(Left(), Top(), kWidth, kHeight);
  SetFormStyle(fsMDIChild);
  SetPosition(poMainFormCenter);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(kFontHeight);
  CreateImages();
  CreateActions();
  CreateLayout();
  CreateMenus();
  OnShow = [this](TObject* s) { FormShow(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  SessionForm = this;
  RegisterWithMainForm();
  // the window shows maximised as soon as it is made: its show handler reads the settings and lists
  SetWindowState(wsMaximized);
  Show();
}

TSessionForm::~TSessionForm() {
  ReleaseSessionPanel();
  UnregisterFromMainForm();
}

TAction* TSessionForm::NewAction(const char* Category, const char* Caption, const char* Hint, int ImageIndex,
                                 bool AutoCheck) {
  auto* a = new TAction(this);
  a->SetActionList(ActionList);
  a->SetCategory(Category);
  a->SetCaption(Caption);
  a->SetHint(Hint);
  a->SetImageIndex(ImageIndex);
  a->SetAutoCheck(AutoCheck);
  return a;
}

void TSessionForm::CreateImages() {
  ImageList = new TImageList(this);
  ImageList->SetName("ImageList");
  ImageList->SetWidth(kImageSize);
  ImageList->SetHeight(kImageSize);
  // Plain glyphs: kill, auto-refresh, refresh, watch, alarm, sound, statistics, waits.
  constexpr TColor kGlyphColors[kImageCount] = {clRed,    clGreen,  clBlue, clNavy,
                                                clMaroon, clPurple, clTeal, clOlive};
  for (int i = 0; i < kImageCount; ++i) {
    TBitmap glyph;
    glyph.SetSize(kImageSize, kImageSize);
    TCanvas* c = glyph.Canvas();
    c->Brush()->SetColor(clFuchsia);
    c->FillRect(Rect(0, 0, kImageSize, kImageSize));
    c->Brush()->SetColor(kGlyphColors[i]);
    c->Pen()->SetColor(clBlack);
    if (i % 2 == 0)
      c->Ellipse(2, 2, kImageSize - 2, kImageSize - 2);
    else
      c->Rectangle(3, 3, kImageSize - 3, kImageSize - 3);
    ImageList->AddMasked(&glyph, clFuchsia);
  }
}

void TSessionForm::CreateActions() {
  ActionList = new TActionList(this);
  ActionList->SetName("ActionList");
  ActionList->SetImages(ImageList);
  aSystemSession = NewAction("Просмотр", "Системные процессы", "Просмотр системных процессов", -1, true);
  aUserSession =
      NewAction("Просмотр", "Пользовательские процессы", "Просмотр пользовательских процессов", -1, true);
  aUserSession->SetChecked(true);
  aRefresh = NewAction("Просмотр", "Обновить", "Обновление данных", 2, false);
  aRefresh->SetShortCut(VK_F5);
  aMonitor = NewAction("Сеансы", "Наблюдать сеанс", "Наблюдать за сеансом", 3, true);
  aAutoRefresh = NewAction("Просмотр", "Автообновление", "Флаг автоматического обновления данных", 1, true);
  aTrace = NewAction("Сеансы", "Трассировать сеанс",
                     "Включение трассировки сеанса (DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION)", -1, false);
  aKill = NewAction("Сеансы", "Уничтожить сеанс", "Уничтожить сеанс", 0, false);
  aKillAll = NewAction("Сеансы", "Уничтожить все сеансы", "", -1, false);
  aRestrictedEnable = NewAction("Сеансы", "Включить ограничение подключений", "", -1, false);
  aRestrictedDisable = NewAction("Сеансы", "Выключить ограничение подключений", "", -1, false);
  aAlarm = NewAction("Сеансы", "Тревога", "Включение/Выключение режима <Тревога>", 4, true);
  aSound = NewAction("Сеансы", "Звук", "Включить/Выключить звуковое предупреждение", 5, true);
  aListControlDeleteAll = NewAction("List", "Удалить все", "", -1, false);

  aFileSaveAs = new TFileSaveAs(this);
  aSaveSqlAs = new TFileSaveAs(this);
  struct SaveAsDef {
    TFileSaveAs* action;
    const char* name;
    const char* category;
    const char* caption;
    const char* ext;
    const char* fileName;
    const char* filter;
  };
  const SaveAsDef saveAs[] = {
      {aFileSaveAs, "aFileSaveAs", "Файл", "Сохранить снимок сеансов", "*.xls", "session", "Excel|*.xls"},
      {aSaveSqlAs, "aSaveSqlAs", "File", "Сохранить SQL как ...", "*.sql", "", "*.sql|*.sql"},
  };
  for (const SaveAsDef& d : saveAs) {
    d.action->SetName(d.name);
    d.action->SetActionList(ActionList);
    d.action->SetCategory(d.category);
    d.action->SetCaption(d.caption);
    d.action->Dialog()->SetDefaultExt(d.ext);
    d.action->Dialog()->SetFileName(d.fileName);
    d.action->Dialog()->SetFilter(d.filter);
    d.action->Dialog()->SetOptions({ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
  }
  aFileSaveAs->OnAccept = [this](TObject* s) { aFileSaveAsAccept(s); };
  aSaveSqlAs->OnAccept = [this](TObject* s) { aSaveSqlAsAccept(s); };

  aListControlDeleteSelection = new TListControlDeleteSelection(this);
  aListControlDeleteSelection->SetName("aListControlDeleteSelection");
  aListControlDeleteSelection->SetActionList(ActionList);
  aListControlDeleteSelection->SetCategory("List");
  aListControlDeleteSelection->SetCaption("Удалить");

  struct Handler {
    TAction* action;
    const char* name;
    void (TSessionForm::*execute)(TObject*);
  };
  const Handler handlers[] = {
      {aSystemSession, "aSystemSession", &TSessionForm::aSystemSessionExecute},
      {aUserSession, "aUserSession", &TSessionForm::aSystemSessionExecute},
      {aRefresh, "aRefresh", &TSessionForm::aRefreshExecute},
      {aMonitor, "aMonitor", &TSessionForm::aMonitorExecute},
      {aAutoRefresh, "aAutoRefresh", &TSessionForm::aAutoRefreshExecute},
      {aTrace, "aTrace", &TSessionForm::aTraceExecute},
      {aKill, "aKill", &TSessionForm::aKillExecute},
      {aKillAll, "aKillAll", &TSessionForm::aKillAllExecute},
      {aRestrictedEnable, "aRestrictedEnable", &TSessionForm::aRestrictedEnableExecute},
      {aRestrictedDisable, "aRestrictedDisable", &TSessionForm::aRestrictedDisableExecute},
      {aAlarm, "aAlarm", nullptr},
      {aSound, "aSound", nullptr},
      {aListControlDeleteAll, "aListControlDeleteAll", &TSessionForm::aListControlDeleteAllExecute},
  };
  for (const Handler& h : handlers) {
    h.action->SetName(h.name);
    // the alarm and sound switches run nothing: their checked state is what counts
    if (h.execute)
      h.action->SetOnExecute([this, fn = h.execute](TObject* s) { (this->*fn)(s); });
    else
      h.action->SetOnExecute([](TObject*) {});
  }
  // Trace and kill need a current row: without one their texts would name no session.
  for (TAction* a : {aTrace, aKill}) a->OnUpdate = [this, a](TObject*) { a->SetEnabled(HasCurrentRow()); };
}

void TSessionForm::CreateLayout() {
  PanelStatusBar = new TPanel(this);
  PanelStatusBar->SetName("PanelStatusBar");
  PanelStatusBar->SetParent(this);
  PanelStatusBar->SetCaption("");
  PanelStatusBar->SetBevelOuter(bvNone);
  PanelStatusBar->SetAlign(alBottom);
  CreateStatusBar();
  PanelStatusBar->SetHeight(StatusBar->Height());

  pcSessions = new TPageControl(this);
  pcSessions->SetName("pcSessions");
  pcSessions->SetParent(this);
  pcSessions->SetAlign(alClient);
  pcSessions->SetMultiLine(true);
  pcSessions->SetCursor(crHandPoint);
  pcSessions->SetImages(ImageList);
  tsSessions = new TTabSheet(this);
  tsSessions->SetName("tsSessions");
  tsSessions->SetPageControl(pcSessions);
  tsSessions->SetCaption("Сеансы");
  tsAlarm = new TTabSheet(this);
  tsAlarm->SetName("tsAlarm");
  tsAlarm->SetPageControl(pcSessions);
  tsAlarm->SetCaption("Тревога");
  tsAlarm->SetImageIndex(1);
  pcSessions->SetActivePage(tsSessions);

  PanelSession = new TPanel(this);
  PanelSession->SetName("PanelSession");
  PanelSession->SetParent(tsSessions);
  PanelSession->SetCaption("");
  PanelSession->SetHeight(kSessionPanelHeight);
  PanelSession->SetAlign(alBottom);
  PanelSession->SetVisible(false);

  odsSession = new TOracleDataSet(this);
  odsSession->SetName("odsSession");
  if (MainForm) odsSession->SetSession(MainForm->OracleSession);
  std::istringstream lines(kSessionSql);
  for (std::string line; std::getline(lines, line);) odsSession->SQL()->Add(line);
  odsSession->SetReadOnly(true);
  odsSession->SetReadBuffer(kReadBuffer);
  odsSession->SetFilter("prname = 'USER'");
  odsSession->SetFiltered(true);
  odsSession->AfterOpen = [this](TDataSet* d) { odsSessionAfterOpen(d); };
  odsSession->BeforeClose = [this](TDataSet* d) { odsSessionBeforeClose(d); };
  odsSession->OnFilterRecord = [this](TDataSet* d, bool& a) { odsSessionFilterRecord(d, a); };
  dsSession = new TDataSource(this);
  dsSession->SetName("dsSession");
  dsSession->SetDataSet(odsSession);

  oqDDLcommand = new TOracleQuery(this);
  oqDDLcommand->SetName("oqDDLcommand");
  if (MainForm) oqDDLcommand->SetSession(MainForm->OracleSession);

  CreateGrid();
  CreateAlarmTab();
  CreateSessionPanel();
  // the session list takes the keys whenever the window shows, not the page control before it
  SetActiveControl(dbgSession);

  Timer = new TTimer(this);
  Timer->SetName("Timer");
  Timer->SetEnabled(false);
  Timer->SetInterval(kTimerInterval);
  Timer->SetOnTimer([this](TObject* s) { TimerTimer(s); });
}

void TSessionForm::CreateStatusBar() {
  StatusBar = new TStatusBar(this);
  StatusBar->SetName("StatusBar");
  StatusBar->SetParent(PanelStatusBar);
  StatusBar->SetAlign(alClient);
  for (const PanelDef& d : kPanels) {
    TStatusPanel* p = StatusBar->Panels()->Add();
    p->SetText(d.text);
    p->SetWidth(d.width);
    p->SetStyle(d.style);
    p->SetAlignment(d.alignment);
  }
  StatusBar->OnDrawPanel = [this](TStatusBar* b, TStatusPanel* p, const TRect& r) {
    StatusBarDrawPanel(b, p, r);
  };
}

void TSessionForm::CreateGrid() {
  dbgSession = new TDBGridEx(this);
  dbgSession->SetName("dbgSession");
  dbgSession->SetParent(tsSessions);
  dbgSession->SetAlign(alClient);
  dbgSession->SetReadOnly(true);
  dbgSession->SetFlat(true);
  dbgSession->SetColor(kGridColor);
  dbgSession->SetUseMultiTitle(true);
  TFontStyles bold;
  bold.Include(fsBold);
  dbgSession->TitleFont()->SetStyle(bold);
  dbgSession->SetOptionsEx({dghHighlightFocus, dghClearSelection, dghAutoSortMarking, dghMultiSortMarking,
                            dghIncSearch, dghPreferIncSearch, dghRowHighlight});
  dbgSession->SetShowHint(true);
  dbgSession->SetPopupMenu(nullptr);  // set once the menus exist
  dbgSession->Columns()->BeginUpdate();
  for (const ColumnDef& d : kColumns) {
    TColumnEx* c = dbgSession->Columns()->Add();
    c->SetFieldName(d.field);
    if (d.title) c->Title()->SetCaption(d.title);
    c->Title()->SetHint(d.field);
    c->Title()->SetTitleButton(true);
    if (d.width) c->SetWidth(d.width);
    c->SetVisible(d.visible);
  }
  dbgSession->Columns()->EndUpdate();
  dbgSession->SetDataSource(dsSession);
  dbgSession->OnGetCellParams = [this](TObject* s, TColumnEx* c, TFont* f, TColor& b, TGridDrawState st) {
    dbgSessionGetCellParams(s, c, f, b, st);
  };
  dbgSession->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { dbgSessionKeyDown(s, k, sh); };
  dbgSession->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    dbgSessionMouseDown(s, b, sh, x, y);
  };
  dbgSession->OnCellClick = [this](TColumnEx* c) { dbgSessionCellClick(c); };
}

void TSessionForm::CreateAlarmTab() {
  Panel = new TPanel(this);
  Panel->SetName("Panel");
  Panel->SetParent(tsAlarm);
  Panel->SetCaption("");
  Panel->SetBevelOuter(bvNone);
  Panel->SetHeight(kAlarmPanelHeight);
  Panel->SetAlign(alBottom);
  GroupBox5 = new TGroupBox(this);
  GroupBox5->SetName("GroupBox5");
  GroupBox5->SetParent(Panel);
  GroupBox5->SetCaption(" Настройки");
  GroupBox5->SetAlign(alClient);
  auto check = [this](const char* name, const char* caption, int top) {
    auto* c = new TCheckBox(this);
    c->SetName(name);
    c->SetParent(GroupBox5);
    c->SetCaption(caption);
    c->SetBounds(16, top, 260, 17);
    c->SetChecked(true);
    return c;
  };
  auto spin = [this](const char* name, int value, int top) {
    auto* s = new TSpinEdit(this);
    s->SetName(name);
    s->SetParent(GroupBox5);
    s->SetBounds(284, top, 61, 22);
    s->SetMinValue(kSpinMin);
    s->SetMaxValue(kSpinMax);
    s->SetValue(value);
    return s;
  };
  cbActiveCount = check("cbActiveCount", "Количество активных сеансов больше:", 26);
  seActiveCount = spin("seActiveCount", 20, 24);
  cbActiveDuration = check("cbActiveDuration", "Сеанс в активном состоянии больше (мин.):", 58);
  seActiveDuration = spin("seActiveDuration", 5, 56);

  lvAlarm = new TListView(this);
  lvAlarm->SetName("lvAlarm");
  lvAlarm->SetParent(tsAlarm);
  lvAlarm->SetAlign(alClient);
  lvAlarm->SetViewStyle(vsReport);
  lvAlarm->SetMultiSelect(true);
  lvAlarm->SetReadOnly(true);
  lvAlarm->SetRowSelect(true);
  for (const ListColumnDef& d : kAlarmColumns) {
    TListColumn* c = lvAlarm->Columns()->Add();
    c->SetCaption(d.caption);
    c->SetAlignment(d.alignment);
    if (d.width)
      c->SetWidth(d.width);
    else
      c->SetAutoSize(true);
  }
  aListControlDeleteSelection->SetListControl(lvAlarm);
}

void TSessionForm::CreateMenus() {
  auto add = [this](TPopupMenu* menu, TBasicAction* action, const char* name = nullptr, int group = 0) {
    auto* item = new TMenuItem(this);
    if (name) item->SetName(name);
    if (action)
      item->SetAction(action);
    else
      item->SetCaption("-");
    item->SetGroupIndex(group);
    menu->Items()->Add(item);
    return item;
  };
  PopupMenuGrid = new TPopupMenu(this);
  PopupMenuGrid->SetName("PopupMenuGrid");
  PopupMenuGrid->SetImages(ImageList);
  nAutoRefresh = add(PopupMenuGrid, aAutoRefresh, "nAutoRefresh");
  add(PopupMenuGrid, aRefresh);
  add(PopupMenuGrid, nullptr);
  add(PopupMenuGrid, aAlarm);
  add(PopupMenuGrid, aSound);
  add(PopupMenuGrid, nullptr);
  nMonitorSession = add(PopupMenuGrid, aMonitor, "nMonitorSession");
  add(PopupMenuGrid, nullptr);
  nTrace = add(PopupMenuGrid, aTrace, "nTrace");
  add(PopupMenuGrid, nullptr);
  add(PopupMenuGrid, aUserSession);
  add(PopupMenuGrid, aSystemSession);
  add(PopupMenuGrid, nullptr);
  nKillOnly = add(PopupMenuGrid, aKill, "nKillOnly", 1);
  add(PopupMenuGrid, nullptr, nullptr, 1);
  add(PopupMenuGrid, aFileSaveAs, nullptr, 1);
  PopupMenuGrid->Items()->Items(PopupMenuGrid->Items()->Count() - 4)->SetGroupIndex(1);

  PopupMenuTitle = new TPopupMenu(this);
  PopupMenuTitle->SetName("PopupMenuTitle");

  PopupMenuList = new TPopupMenu(this);
  PopupMenuList->SetName("PopupMenuList");
  add(PopupMenuList, aListControlDeleteSelection);
  add(PopupMenuList, aListControlDeleteAll);
  lvAlarm->SetPopupMenu(PopupMenuList);
  dbgSession->SetPopupMenu(PopupMenuGrid);
}
