// The detail panel under the session list: the current session's detail with the text of its
// statement, the user's own query per database, its transactions, its locks with the sessions it waits
// behind and those waiting behind it, its open cursors, its statistics and its waits. Each tab keeps its
// dataset open only while it shows, so a refresh of the list re-queries only what the user looks at.
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/ComboBoxQuery.h"
#include "app/SessionF.h"
#include "app/SqlViewer.h"
#include "app/ZrDBText3D.h"
#include "app/ZrLabel3D.h"
#include "app/zrOraUtils.h"
#include "editor/CodeEdit.h"
#include "grid/DBGridEx.h"
#include "oracle/Oracle.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/DBCtrls.h"
#include "platform/gui/DBGrids.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kPanelBorder = 3;
constexpr int kHeaderHeight = 20;
constexpr int kSpacerHeight = 5;
constexpr int kDetailColumnWidth = 369;
constexpr int kLockLeftWidth = 521;
constexpr int kCursorGridWidth = 289;
constexpr int kCursorTextWidth = 400;
constexpr int kDescriptionHeight = 18;
constexpr TColor kGridColor = static_cast<TColor>(0xDED7D6);
constexpr TColor kOddRow = 0xC6BEBD, kEvenRow = 0xDED7D6;
constexpr int kCursorsReadBuffer = 100;
constexpr int kLockReadBuffer = 1000;
constexpr int kSqlTextReadBuffer = 100;
constexpr int kSearchFromFirst = 8;
constexpr UINT kReadSqlTextMessage = WM_USER + 0x125;
constexpr const char* kInfoField = "INFO";
constexpr const char* kCustomInfoError =
    "Ошибка в SQL запросе на закладке \"Дополнительная\". Страница будет выключена.";

// The transactions of the session: each with its rollback segment and every object it holds locked
// (matched by the whole transaction id); a transaction without locked objects is listed once.
constexpr const char* kTransactionSql =
    R"sql(SELECT t.xidsqn,t.status,t.start_time,rn.name rollname,rs.extents,rs.status roll_status,
       u.name owner,o.name objname,t.space,t.recursive,
       t.noundo,
       t.ptx,t.log_io,t.phy_io,t.cr_get,t.cr_change
FROM   v$transaction t,
       v$rollname rn,
       v$rollstat rs,
       v$locked_object lo,
       sys.obj$ o,sys.user$ u
WHERE  t.xidusn = rn.usn(+) AND
       rn.usn = rs.usn(+) AND
       t.xidusn = lo.xidusn(+) AND
       t.xidslot = lo.xidslot(+) AND
       t.xidsqn = lo.xidsqn(+) AND
       lo.object_id = o.obj#(+) AND
       o.owner# = u.user#(+) 
       AND t.addr = :addr

)sql";

constexpr const char* kCursorsSql = R"sql(SELECT /*+ index(c) */ c.sql_text,c.hash_value,c.address
FROM v$open_cursor c
WHERE c.sid = :SID
ORDER BY c.address,c.hash_value ASC)sql";

// Every lock of the session; only a DML lock (TM) names an object, since only its ID1 is one.
constexpr const char* kLockSql = R"sql(SELECT /*+ORDERED*/
       l.type lock_type,
       TO_CHAR(sysdate-l.ctime/86400,'DD.MM.YY HH24:MI:SS')  ctime,
       DECODE(l.lmode,1,'No Lock',
                2,'Row Share',
                3,'Row Exclusive',
                4,'Share',
                5,'Share Row Exclusive',
                6,'Exclusive','NONE') lmode,
        DECODE(l.request,1,'No Lock',
                2,'Row Share',
                3,'Row Exclusive',
                4,'Share',
                5,'Share Row Exclusive',
                6,'Exclusive','NONE') request,
       DECODE(l.type,'TM',u.name||'.'||o.name) object_name,
       DECODE(block, 0, 'Нет',
                     1, 'Блокирует',
                     TO_CHAR(block)) blocking,
       l.id1,l.id2
FROM v$lock l,
       sys.obj$ o,sys.user$ u
WHERE l.sid = :sid AND o.obj#(+) = l.id1 AND o.owner# = u.user#(+))sql";

// The sessions holding a blocking lock on a resource (type, ID1, ID2) this session requests.
constexpr const char* kLockForWhomSql = R"sql(SELECT /*+ORDERED*/
       l.sid,s.username
FROM v$lock l,v$session s
WHERE l.block = 1 AND EXISTS ( SELECT 1 FROM v$lock w WHERE w.request > 0 AND w.sid = :sid
                               AND w.type = l.type AND w.id1 = l.id1 AND w.id2 = l.id2 )
      AND l.sid = s.sid 


)sql";

// The sessions requesting a resource (type, ID1, ID2) on which this session holds a blocking lock.
constexpr const char* kLockWhoSql = R"sql(SELECT /*+ORDERED*/
       l.sid,s.username
FROM v$lock l,v$session s
WHERE l.request > 0 AND EXISTS ( SELECT 1 FROM v$lock h WHERE h.block = 1 AND h.sid = :sid
                                 AND h.type = l.type AND h.id1 = l.id1 AND h.id2 = l.id2 )
      AND l.sid = s.sid 


)sql";

constexpr const char* kStatisticsSql = R"sql(SELECT /*+ ORDERED */ 
       s.statistic#,n.name,s.value
FROM v$sesstat s,v$statname n
WHERE s.sid = :sid  AND s.statistic# = n.statistic#
ORDER BY 3 DESC)sql";

constexpr const char* kEventSql =
    R"sql(SELECT event,total_waits,total_timeouts,time_waited,average_wait,max_wait
FROM v$session_event
WHERE sid = :sid)sql";

constexpr const char* kSqlTextSql = R"sql(SELECT sql_text 
FROM v$sqltext_with_newlines 
WHERE address = :sql_address AND hash_value = :sql_hash_value
ORDER BY piece)sql";

// Puts a stored statement into a line list, line by line; empty lines at its end stay.
void SetLines(TStrings* Lines, std::string_view Text) {
  Lines->Clear();
  while (!Text.empty()) {
    const size_t end = Text.find('\n');
    Lines->Add(std::string(Text.substr(0, end)));
    Text = end == std::string_view::npos ? std::string_view() : Text.substr(end + 1);
  }
}

// A caption or value of the detail panel: where it sits and what it shows.
struct LabelDef {
  const char* caption;  // nullptr: a value (the field's text)
  const char* field;
  int left, top, width;
  TAlignment alignment;
};

// The four group boxes of "Детальная": caption, height, and their captions and values.
constexpr int kCaptionWidth = 86, kPairValueWidth = 88, kValueLeft = 92, kSecondCaptionLeft = 186,
              kSecondValueLeft = 276, kWideValueWidth = 268, kRow = 17, kFirstRow = 16;
constexpr LabelDef kGeneral[] = {
    {"SID:", nullptr, 6, kFirstRow, kCaptionWidth, taLeftJustify},
    {nullptr, "SID", kValueLeft, kFirstRow, kPairValueWidth, taRightJustify},
    {"Serial#:", nullptr, kSecondCaptionLeft, kFirstRow, kCaptionWidth, taLeftJustify},
    {nullptr, "SERIAL", kSecondValueLeft, kFirstRow, kPairValueWidth, taRightJustify},
    {"Oracle User:", nullptr, 6, kFirstRow + kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "ORACLE_USER", kValueLeft, kFirstRow + kRow, kPairValueWidth, taRightJustify},
    {"Os user:", nullptr, kSecondCaptionLeft, kFirstRow + kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "OS_USER", kSecondValueLeft, kFirstRow + kRow, kPairValueWidth, taRightJustify},
    {"Статус сеанса:", nullptr, 6, kFirstRow + 2 * kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "STATUS", kValueLeft, kFirstRow + 2 * kRow, kPairValueWidth, taRightJustify},
    {"Server PID:", nullptr, kSecondCaptionLeft, kFirstRow + 2 * kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "SERVER_PID", kSecondValueLeft, kFirstRow + 2 * kRow, kPairValueWidth, taRightJustify},
};
constexpr LabelDef kStatistics[] = {
    {"Прочитано блоков:", nullptr, 6, kFirstRow, kCaptionWidth + 20, taLeftJustify},
    {nullptr, "BLOCK_GETS", kValueLeft + 20, kFirstRow, kPairValueWidth - 24, taRightJustify},
    {"Физических чтений:", nullptr, kSecondCaptionLeft, kFirstRow, kCaptionWidth + 20, taLeftJustify},
    {nullptr, "PHYSICAL_READS", kSecondValueLeft + 20, kFirstRow, kPairValueWidth - 20, taRightJustify},
    {"Целостных чтений:", nullptr, 6, kFirstRow + kRow, kCaptionWidth + 20, taLeftJustify},
    {nullptr, "CONSISTENT_GETS", kValueLeft + 20, kFirstRow + kRow, kPairValueWidth - 24, taRightJustify},
    {"Время CPU (ms):", nullptr, kSecondCaptionLeft, kFirstRow + kRow, kCaptionWidth + 20, taLeftJustify},
    {nullptr, "CPU_USAGE", kSecondValueLeft + 20, kFirstRow + kRow, kPairValueWidth - 20, taRightJustify},
    {"Изменено блоков:", nullptr, 6, kFirstRow + 2 * kRow, kCaptionWidth + 20, taLeftJustify},
    {nullptr, "BLOCK_CHANGES", kValueLeft + 20, kFirstRow + 2 * kRow, kPairValueWidth - 24, taRightJustify},
};
constexpr LabelDef kApplication[] = {
    {"Команда:", nullptr, 6, kFirstRow, kCaptionWidth, taLeftJustify},
    {nullptr, "COMMAND", kValueLeft, kFirstRow, kWideValueWidth, taLeftJustify},
    {"Программа:", nullptr, 6, kFirstRow + kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "CLIENT_PROGRAM", kValueLeft, kFirstRow + kRow, kWideValueWidth, taLeftJustify},
    {"Модуль:", nullptr, 6, kFirstRow + 2 * kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "MODULE", kValueLeft, kFirstRow + 2 * kRow, kWideValueWidth, taLeftJustify},
    {"Действие:", nullptr, 6, kFirstRow + 3 * kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "ACTION", kValueLeft, kFirstRow + 3 * kRow, kWideValueWidth, taLeftJustify},
};
constexpr LabelDef kWait[] = {
    {"Статус/время:", nullptr, 6, kFirstRow, kCaptionWidth, taLeftJustify},
    {nullptr, "WAIT_STATE", kValueLeft, kFirstRow, kWideValueWidth, taLeftJustify},
    {"Событие:", nullptr, 6, kFirstRow + kRow, kCaptionWidth, taLeftJustify},
    {nullptr, "WAIT_EVENT", kValueLeft, kFirstRow + kRow, kWideValueWidth, taLeftJustify},
};
struct GroupDef {
  const char* name;
  const char* caption;
  const LabelDef* labels;
  int count;
  int rows;
};
const GroupDef kGroups[] = {
    {"gbGeneral", " Общие ", kGeneral, static_cast<int>(std::size(kGeneral)), 3},
    {"gbStatistics", " Статистика ", kStatistics, static_cast<int>(std::size(kStatistics)), 3},
    {"gbApplication", " Приложение ", kApplication, static_cast<int>(std::size(kApplication)), 4},
    {"gbWait", "Ожидание", kWait, static_cast<int>(std::size(kWait)), 2},
};

// A grid column: field, title, width (0: the default).
struct GridColumnDef {
  const char* field;
  const char* title;
  int width;
};

// The transaction grid's columns; the switches show a check box mapped by their key lists (checked,
// unchecked and, where given, greyed).
struct TransactionColumnDef {
  const char* field;
  const char* title;
  int width;
  const char* keys[3];  // {} for a plain column
  const char* titleHint;
};
const TransactionColumnDef kTransactionColumns[] = {
    {"XIDSQN", "Поряд. номер", 47, {}, nullptr},
    {"STATUS", "Статус", 53, {}, nullptr},
    {"START_TIME", "Время начала", 100, {}, nullptr},
    {"ROLLNAME", "Сегмент отката|Имя", 46, {}, nullptr},
    {"EXTENTS", "Сегмент отката|Экстентов", 59, {}, nullptr},
    {"ROLL_STATUS", "Сегмент отката|Статус", 51, {}, nullptr},
    {"OWNER", "Объект|Владелец", 57, {}, nullptr},
    {"OBJNAME", "Объект|Имя", 76, {}, nullptr},
    {"SPACE", "Простр.", 29, {"YES", "NO"}, "Транзакция выделения пространства"},
    {"RECURSIVE", "Рекурс.", 27, {"YES", "NO"}, nullptr},
    {"NOUNDO", "Откат", 23, {"NO", "YES"}, nullptr},  // checked when the transaction does undo
    {"PTX", "Паралл.", 30, {"YES", "NO", ""}, nullptr},
    {"LOG_IO", "Лог. операций", 58, {}, nullptr},
    {"PHY_IO", "Физ. операций", 58, {}, nullptr},
    {"CR_GET", "Целостных чтений", 0, {}, nullptr},
    {"CR_CHANGE", "Изменений", 0, {}, nullptr},
};

const GridColumnDef kLockColumns[] = {
    {"LOCK_TYPE", "Тип", 28},    {"LMODE", "Режим|захвата", 77},   {"REQUEST", "Режим|запроса", 50},
    {"BLOCKING", "Блок-ет", 26}, {"CTIME", "Время установки", 95}, {"OBJECT_NAME", "Объект", 221},
};
const GridColumnDef kStatisticsColumns[] = {
    {"STATISTIC#", "№", 30},
    {"NAME", "Статистика", 235},
    {"VALUE", "Значение", 80},
};
const GridColumnDef kEventColumns[] = {
    {"EVENT", "Ожидание", 183},
    {"TOTAL_WAITS", "Общее количество|ожиданий", 74},
    {"TOTAL_TIMEOUTS", "Общее количество|тайм-аутов ", 75},
    {"TIME_WAITED", "Время ожидания (милисекунды)|общее", 62},
    {"AVERAGE_WAIT", "Время ожидания (милисекунды)|среднее", 73},
    {"MAX_WAIT", "Время ожидания (милисекунды)|максимальное", 97},
};

// Persistent fields: name, kind, size.
enum FieldType { ftStr, ftFlt, ftCalcStr };
struct FieldDef {
  const char* name;
  FieldType type;
  int size;
};

// Drops a column filter in force on the grid (the statement goes back to the unfiltered one); true when
// there was one.
template <class Grid>
bool ClearFilterOf(Grid* grid) {
  if constexpr (requires { ClearGridFilter(grid); })
    return ClearGridFilter(grid);
  else
    return ClearGridQuery(grid);
}

template <class Grid>
int DrawnRecordNumber(Grid* grid, TDataSet* DataSet) {
  if constexpr (requires(Grid * g) { g->SumList()->GetRecNo(); })
    return grid->SumList()->GetRecNo();
  else
    return DataSet->RecNo();
}

// (Kept out of line: inlined into a caller that has just made the component, the optimiser reasons
// about the name's store on the wrong dynamic type and warns.)
[[gnu::noinline]] void NameComponent(TComponent* Component, const char* Name) {
  Component->SetName(Name);
}

template <class T>
T* Named(T* Component, const char* Name) {
  NameComponent(Component, Name);
  return Component;
}

TPanel* NewPanel(TComponent* Owner, TWinControl* Parent, const char* Name, TAlign Align, int Size) {
  auto* p = Named(new TPanel(Owner), Name);
  p->SetParent(Parent);
  p->SetCaption("");
  p->SetBevelOuter(bvNone);
  if (Align == alLeft || Align == alRight)
    p->SetWidth(Size);
  else if (Size)
    p->SetHeight(Size);
  p->SetAlign(Align);
  return p;
}

}  // namespace

// ------------------------------------------------------------------------------------------------ layout

TTabSheet* TSessionForm::NewDetailTab(const char* Name, const char* Caption, int ImageIndex) {
  auto* t = Named(new TTabSheet(this), Name);
  t->SetPageControl(pcSession);
  t->SetCaption(Caption);
  t->SetImageIndex(ImageIndex);
  return t;
}

void TSessionForm::CreateSessionPanel() {
  PanelSession->SetBorderWidth(kPanelBorder);
  CreateDetailDataSets();

  // the header line: the user and SID of the current row, the caption and the close button at the right
  Panel7 = NewPanel(this, PanelSession, "Panel7", alTop, kHeaderHeight);
  Panel7->SetBevelOuter(bvLowered);
  struct HeaderDef {
    const char* name;
    const char* caption;
    const char* field;
    int width;
  };
  const HeaderDef header[] = {
      {"zlHeaderOracleUser", "  Oracle User:  ", nullptr, 84},
      {"zdHeaderOracleUser", nullptr, "ORACLE_USER", 140},
      {"zlHeaderSid", " SID: ", nullptr, 32},
      {"zdHeaderSid", nullptr, "SID", 60},
  };
  int left = 2;
  for (const HeaderDef& h : header) {
    TControl* c;
    if (h.caption) {
      auto* l = Named(new TZrLabel3D(this), h.name);
      l->SetCaption(h.caption);
      l->SetBevel(blShadow);
      l->SetShadowColor(clWhite);
      c = l;
    } else {
      auto* d = Named(new TZrDBText3D(this), h.name);
      d->SetDataSource(dsSession);
      d->SetDataField(h.field);
      d->SetBevel(blShadow);
      d->SetShadowColor(clWhite);
      TFontStyles bold;
      bold.Include(fsBold);
      d->Font()->SetStyle(bold);
      d->Font()->SetColor(clNavy);
      c = d;
    }
    c->SetParent(Panel7);
    c->SetBounds(left, 3, h.width, 14);
    left += h.width;
  }
  Panel8 = NewPanel(this, Panel7, "Panel8", alRight, 170);
  jlCaption = Named(new TZrLabel3D(this), "jlCaption");
  jlCaption->SetParent(Panel8);
  jlCaption->SetCaption("Информация о сеансе   ");
  jlCaption->SetBevel(blShadow);
  jlCaption->SetShadowColor(clWhite);
  jlCaption->SetAlignment(taRightJustify);
  jlCaption->SetBounds(0, 3, 148, 14);
  sbCloseSessionPanel = Named(new TSpeedButton(this), "sbCloseSessionPanel");
  sbCloseSessionPanel->SetParent(Panel8);
  sbCloseSessionPanel->SetBounds(150, 1, 16, 16);
  sbCloseSessionPanel->SetFlat(true);
  sbCloseSessionPanel->SetCaption("×");
  sbCloseSessionPanel->SetHint("Скрыть панель");
  sbCloseSessionPanel->SetShowHint(true);
  sbCloseSessionPanel->OnClick = [this](TObject* s) { sbCloseSessionPanelClick(s); };

  NewPanel(this, PanelSession, "PanelSpacer", alTop, kSpacerHeight)->SetTop(kHeaderHeight + 1);

  pcSession = Named(new TPageControl(this), "pcSession");
  pcSession->SetParent(PanelSession);
  pcSession->SetAlign(alClient);
  pcSession->SetStyle(tsFlatButtons);
  pcSession->SetHotTrack(true);
  pcSession->SetCursor(crHandPoint);
  pcSession->SetImages(ImageList);

  CodeSQLHighlighter = NewSqlHighlighter(this, "CodeSQLHighlighter");

  PopupMenuSql = Named(new TPopupMenu(this), "PopupMenuSql");
  EditCopy = Named(new TEditCopy(this), "EditCopy");
  EditSelectAll = Named(new TEditSelectAll(this), "EditSelectAll");
  struct EditDef {
    TEditAction* action;
    const char* caption;
    TShortCut shortCut;
  };
  for (const EditDef& e : {EditDef{EditCopy, "Копировать", ShortCut('C', TShiftState{ssCtrl})},
                           EditDef{EditSelectAll, "Выделить всё", ShortCut('A', TShiftState{ssCtrl})}}) {
    e.action->SetActionList(ActionList);
    e.action->SetCategory("Edit");
    e.action->SetCaption(e.caption);
    e.action->SetShortCut(e.shortCut);
  }
  for (TBasicAction* a : {static_cast<TBasicAction*>(EditCopy), static_cast<TBasicAction*>(EditSelectAll),
                          static_cast<TBasicAction*>(nullptr), static_cast<TBasicAction*>(aSaveSqlAs)}) {
    auto* item = new TMenuItem(this);
    if (a)
      item->SetAction(a);
    else
      item->SetCaption("-");
    PopupMenuSql->Items()->Add(item);
  }

  CreateDetailTab();
  CreateCustomInfoTab();
  CreateTransactionTab();
  CreateLockTab();
  CreateCursorsTab();
  CreateStatisticsTabs();
  pcSession->SetActivePage(tsDetail);

  odsSession->AfterScroll = [this](TDataSet* d) { odsSessionAfterScroll(d); };
  inheritedWndProc_ = WindowProc;
  WindowProc = [this](TMessage& m) { SessionFormWndProc(m); };
}

void TSessionForm::ReleaseSessionPanel() {
  if (inheritedWndProc_) WindowProc = inheritedWndProc_;
  odsSession->AfterScroll = nullptr;
  odsSession->BeforeClose = nullptr;
  odsCursors->AfterScroll = nullptr;
  for (int i = 0; i < pcSession->PageCount(); ++i) {
    pcSession->Pages(i)->OnShow = nullptr;
    pcSession->Pages(i)->OnHide = nullptr;
  }
}

void TSessionForm::CreateDetailDataSets() {
  struct DataSetDef {
    TOracleDataSet** dataSet;
    TDataSource** source;
    const char* name;
    const char* sql;
    const char* masterField;
    const char* variable;
    bool readOnly;
    int readBuffer;  // 0: the default
  };
  const DataSetDef defs[] = {
      {&odsTransaction, &dsTransaction, "Transaction", kTransactionSql, "TADDR", "ADDR", true, 0},
      {&odsCursors, &dsCursors, "Cursors", kCursorsSql, "SID", "SID", true, kCursorsReadBuffer},
      {&odsLock, &dsLock, "Lock", kLockSql, "SID", "SID", true, kLockReadBuffer},
      {&odsLockForWhom, &dsLockForWhom, "LockForWhom", kLockForWhomSql, "SID", "SID", false, 0},
      {&odsLockWho, &dsLockWho, "LockWho", kLockWhoSql, "SID", "SID", false, 0},
      {&odsStatistics, &dsStatistics, "Statistics", kStatisticsSql, "SID", "SID", false, 0},
      {&odsEvent, &dsEvent, "Event", kEventSql, "SID", "SID", false, 0},
      {&odsCustomInfo, &dsCustomInfo, "CustomInfo", "", "ORACLE_USER", "LOGNAME", false, 0},
  };
  for (const DataSetDef& d : defs) {
    auto* ds = Named(new TOracleDataSet(this), ("ods" + std::string(d.name)).c_str());
    if (odsSession->Session()) ds->SetSession(odsSession->Session());
    SetLines(ds->SQL(), d.sql);
    if (*d.sql) ds->DeclareVariable(d.variable, otString);
    ds->SetReadOnly(d.readOnly);
    if (d.readBuffer) ds->SetReadBuffer(d.readBuffer);
    ds->SetMaster(odsSession);
    ds->SetMasterFields(d.masterField);
    ds->SetDetailFields(d.variable);
    *d.dataSet = ds;
    auto* source = Named(new TDataSource(this), ("ds" + std::string(d.name)).c_str());
    source->SetDataSet(ds);
    *d.source = source;
  }
  odsCursors->SetCommitOnPost(false);
  odsCursors->AfterScroll = [this](TDataSet* d) { odsCursorsAfterScroll(d); };

  auto fields = [this](TOracleDataSet* ds, std::initializer_list<FieldDef> list) {
    for (const FieldDef& f : list) {
      TField* field = f.type == ftFlt ? static_cast<TField*>(new TFloatField(this))
                                      : static_cast<TField*>(new TStringField(this));
      field->SetFieldName(f.name);
      if (f.type != ftFlt) field->SetSize(f.size);
      if (f.type == ftCalcStr) {
        field->SetFieldKind(fkCalculated);
        field->SetDisplayWidth(f.size);
      }
      field->SetDataSet(ds);
    }
  };
  fields(odsCursors, {{"SQL_TEXT", ftStr, 60}, {"HASH_VALUE", ftFlt, 0}, {"ADDRESS", ftStr, 16}});
  fields(odsLock, {{"LOCK_TYPE", ftStr, 2},
                   {"CTIME", ftStr, 17},
                   {"LMODE", ftStr, 19},
                   {"REQUEST", ftStr, 19},
                   {"OBJECT_NAME", ftStr, 61},
                   {"BLOCKING", ftStr, 40},
                   {"LOCK_NAME", ftCalcStr, 100},
                   {"ID1", ftFlt, 0},
                   {"ID2", ftFlt, 0}});
  odsLock->OnCalcFields = [this](TDataSet* d) { odsLockCalcFields(d); };
  // an instance may hold many locks: rows come as the grid asks for them, each named once
  odsLock->SetQueryAllRecords(false);
  odsLock->SetAutoCalcFields(false);
  fields(odsStatistics,
         {{"STATISTIC#", ftFlt, 0}, {"NAME", ftStr, 64}, {"VALUE", ftFlt, 0}, {"NAME_RUS", ftCalcStr, 100}});
  odsStatistics->OnCalcFields = [this](TDataSet* d) { odsStatisticsCalcFields(d); };
  fields(odsEvent, {{"EVENT", ftStr, 64},
                    {"TOTAL_WAITS", ftFlt, 0},
                    {"TOTAL_TIMEOUTS", ftFlt, 0},
                    {"TIME_WAITED", ftFlt, 0},
                    {"AVERAGE_WAIT", ftFlt, 0},
                    {"MAX_WAIT", ftFlt, 0}});
  for (const char* name : {"TIME_WAITED", "AVERAGE_WAIT", "MAX_WAIT"}) {
    auto* f = static_cast<TFloatField*>(odsEvent->FieldByName(name));
    f->SetDisplayFormat("0.##");
    f->OnGetText = [this](TField* s, std::string& t, bool d) { odsEventTIME_WAITEDGetText(s, t, d); };
  }

  oqSQLText = Named(new TOracleQuery(this), "oqSQLText");
  if (odsSession->Session()) oqSQLText->SetSession(odsSession->Session());
  oqSQLText->SQL()->SetText(kSqlTextSql);
  oqSQLText->SetReadBuffer(kSqlTextReadBuffer);
  oqSQLText->DeclareVariable("SQL_ADDRESS", otString);
  oqSQLText->DeclareVariable("SQL_HASH_VALUE", otString);
}

namespace {

TZrLabel3D* NewHeader(TComponent* Owner, TWinControl* Parent, const char* Name, const char* Caption) {
  auto* l = Named(new TZrLabel3D(Owner), Name);
  l->SetParent(Parent);
  l->SetCaption(Caption);
  l->SetAutoSize(false);
  l->SetHeight(kDescriptionHeight);
  l->SetAlign(alTop);
  l->SetLayout(tlCenter);
  l->SetBevel(blShadow);
  l->SetShadowColor(clWhite);
  TFontStyles bold;
  bold.Include(fsBold);
  l->Font()->SetStyle(bold);
  return l;
}

TZrDBText3D* NewDescription(TComponent* Owner, TWinControl* Parent, const char* Name, TDataSource* Source,
                            const char* Field) {
  auto* d = Named(new TZrDBText3D(Owner), Name);
  d->SetParent(Parent);
  d->SetHeight(kDescriptionHeight);
  d->SetAlign(alBottom);
  d->SetLayout(tlCenter);
  d->SetDataSource(Source);
  d->SetDataField(Field);
  d->SetBevel(blShadow);
  d->SetShadowColor(clWhite);
  d->Font()->SetColor(clNavy);
  return d;
}

// The lock queues in the class library's plain data grids: SID and user name, with the widths of each.
struct QueueGridDef {
  TDBGrid* TSessionForm::*grid;
  const char* name;
  TDataSource* TSessionForm::*source;
  int sidWidth;
  int userWidth;
};
constexpr QueueGridDef kQueueGrids[] = {
    {&TSessionForm::dbgLockForWhom, "dbgLockForWhom", &TSessionForm::dsLockForWhom, 33, 177},
    {&TSessionForm::dbgLockWho, "dbgLockWho", &TSessionForm::dsLockWho, 32, 173},
};

// A read-only plain data grid (the lock queues and the cursor list).
TDBGrid* NewGrid(TSessionForm* Form, TWinControl* Parent, const char* Name, TDataSource* Source) {
  auto* g = new TDBGrid(Form);
  g->SetName(Name);
  g->SetParent(Parent);
  g->SetReadOnly(true);
  g->SetDataSource(Source);
  return g;
}

}  // namespace

void TSessionForm::CreateDetailTab() {
  tsDetail = NewDetailTab("tsDetail", "Детальная", -1);
  tsDetail->OnShow = [this](TObject* s) { tsDetailShow(s); };
  TPanel* left = NewPanel(this, tsDetail, "PanelDetailLeft", alLeft, kDetailColumnWidth);
  TFontStyles bold;
  bold.Include(fsBold);
  int labelNo = 0, textNo = 0;
  for (const GroupDef& g : kGroups) {
    auto* box = Named(new TGroupBox(this), g.name);
    box->SetParent(left);
    box->SetCaption(g.caption);
    box->SetHeight(kFirstRow + g.rows * kRow + 4);
    box->SetAlign(alTop);
    box->SetTop(10000);  // below the boxes before it
    for (int i = 0; i < g.count; ++i) {
      const LabelDef& d = g.labels[i];
      TControl* c;
      if (d.caption) {
        auto* l = Named(new TZrLabel3D(this), ("zlDetail" + std::to_string(++labelNo)).c_str());
        l->SetCaption(d.caption);
        l->SetBevel(blShadow);
        l->SetShadowColor(clWhite);
        l->SetAutoSize(false);
        c = l;
      } else {
        auto* t = Named(new TZrDBText3D(this), ("zd" + std::string(d.field)).c_str());
        t->SetDataSource(dsSession);
        t->SetDataField(d.field);
        t->SetBevel(blShadow);
        t->SetShadowColor(clWhite);
        t->SetAlignment(d.alignment);
        t->Font()->SetStyle(bold);
        t->SetWordWrap(std::string_view(d.field) == "CLIENT_PROGRAM");
        ++textNo;
        c = t;
      }
      c->SetParent(box);
      c->SetBounds(d.left, d.top, d.width, kRow - 2);
    }
  }
  (void)textNo;
  auto* right = NewPanel(this, tsDetail, "PanelDetailSql", alClient, 0);
  NewHeader(this, right, "zlSqlText", "  SQL текст текущего курсора:");
  seSQLText = NewSqlViewer(this, right, "seSQLText", CodeSQLHighlighter, PopupMenuSql);
}

void TSessionForm::CreateCustomInfoTab() {
  tsCustomInfo = NewDetailTab("tsCustomInfo", "Дополнительная", -1);
  tsCustomInfo->OnShow = [this](TObject* s) { tsCustomInfoShow(s); };
  tsCustomInfo->OnHide = [this](TObject* s) { tsCustomInfoHide(s); };
  tsCustomInfo->SetTabVisible(false);  // until a custom query is set
  DBRichEdit = Named(new TDBRichEdit(this), "DBRichEdit");
  DBRichEdit->SetParent(tsCustomInfo);
  DBRichEdit->SetAlign(alClient);
  DBRichEdit->SetPlainText(true);
  DBRichEdit->SetReadOnly(true);
  DBRichEdit->SetScrollBars(ssBoth);
  DBRichEdit->SetDataSource(dsCustomInfo);
  DBRichEdit->SetDataField(kInfoField);
}

void TSessionForm::CreateTransactionTab() {
  tsTransaction = NewDetailTab("tsTransaction", "Транзакции", -1);
  tsTransaction->OnShow = [this](TObject* s) { tsTransactionShow(s); };
  tsTransaction->OnHide = [this](TObject* s) { tsTransactionHide(s); };
  dbgTransaction = Named(new TDBGridEx(this), "dbgTransaction");
  dbgTransaction->SetParent(tsTransaction);
  dbgTransaction->SetAlign(alClient);
  dbgTransaction->SetFlat(true);
  dbgTransaction->SetReadOnly(true);
  dbgTransaction->SetUseMultiTitle(true);
  dbgTransaction->SetShowHint(true);
  dbgTransaction->Columns()->BeginUpdate();
  for (const TransactionColumnDef& d : kTransactionColumns) {
    TColumnEx* c = dbgTransaction->Columns()->Add();
    c->SetFieldName(d.field);
    c->Title()->SetCaption(d.title);
    if (d.width) c->SetWidth(d.width);
    if (d.titleHint) c->Title()->SetHint(d.titleHint);
    if (d.keys[0]) {
      c->SetCheckboxes(true);
      for (const char* k : d.keys)
        if (k) c->KeyList()->Add(k);
      c->Title()->SetOrientation(tohVertical);
    }
  }
  dbgTransaction->Columns()->EndUpdate();
  dbgTransaction->SetDataSource(dsTransaction);
}

void TSessionForm::CreateLockTab() {
  tsLock = NewDetailTab("tsLock", "Блокировки", 7);
  tsLock->OnShow = [this](TObject* s) { tsLockShow(s); };
  tsLock->OnHide = [this](TObject* s) { tsLockHide(s); };
  TPanel* left = NewPanel(this, tsLock, "PanelLockLeft", alLeft, kLockLeftWidth);
  NewHeader(this, left, "zlLock", " Блокировки сеанса:");
  dbtLockName = NewDescription(this, left, "dbtLockName", dsLock, "LOCK_NAME");
  dbgLock = Named(new TDBGridEx(this), "dbgLock");
  dbgLock->SetParent(left);
  dbgLock->SetAlign(alClient);
  dbgLock->SetFlat(true);
  dbgLock->SetReadOnly(true);
  dbgLock->SetAllowedOperations({});
  dbgLock->SetUseMultiTitle(true);
  dbgLock->SetOptionsEx({dghFixed3D, dghHighlightFocus, dghClearSelection, dghRowHighlight, dghDialogFind});
  dbgLock->Columns()->BeginUpdate();
  for (const GridColumnDef& d : kLockColumns) {
    TColumnEx* c = dbgLock->Columns()->Add();
    c->SetFieldName(d.field);
    c->Title()->SetCaption(d.title);
    c->SetWidth(d.width);
  }
  dbgLock->Columns()->Items(0)->SetAlignment(taCenter);
  dbgLock->Columns()->Items(3)->Title()->SetOrientation(tohVertical);
  dbgLock->Columns()->EndUpdate();
  dbgLock->SetDataSource(dsLock);

  auto* splitter = Named(new TSplitter(this), "SplitterLock");
  splitter->SetParent(tsLock);
  splitter->SetLeft(kLockLeftWidth + 1);
  splitter->SetAlign(alLeft);

  TPanel* right = NewPanel(this, tsLock, "PanelLockRight", alClient, 0);
  TPanel* upper = NewPanel(this, right, "PanelLockForWhom", alTop, 0);
  upper->SetHeight(130);
  NewHeader(this, upper, "zlLockForWhom", " За кем стоит в очереди за сеанс:");
  TPanel* lower = NewPanel(this, right, "PanelLockWho", alClient, 0);
  NewHeader(this, lower, "zlLockWho", " Кто стоит в очереди за сеансом:");
  CreateQueueGrids(upper, lower);
}

void TSessionForm::CreateCursorsTab() {
  tsCursors = NewDetailTab("tsCursors", "Курсоры", -1);
  tsCursors->OnShow = [this](TObject* s) { tsCursorsShow(s); };
  tsCursors->OnHide = [this](TObject* s) { tsCursorsHide(s); };
  CreateCursorGrid();
  auto* splitter = Named(new TSplitter(this), "SplitterCursors");
  splitter->SetParent(tsCursors);
  splitter->SetLeft(kCursorGridWidth + 1);
  splitter->SetAlign(alLeft);
  auto* right = NewPanel(this, tsCursors, "PanelCursorSql", alClient, 0);
  NewHeader(this, right, "zlSqlTextCursor", " SQL текст курсора:");
  seSQLTextCursor = NewSqlViewer(this, right, "seSQLTextCursor", CodeSQLHighlighter, nullptr);
}

void TSessionForm::CreateQueueGrids(TWinControl* ForWhomParent, TWinControl* WhoParent) {
  TWinControl* parents[] = {ForWhomParent, WhoParent};
  for (int i = 0; i < 2; ++i) {
    const QueueGridDef& d = kQueueGrids[i];
    TDBGrid* g = NewGrid(this, parents[i], d.name, this->*d.source);
    g->SetAlign(alClient);
    g->SetOptions({dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                   dgConfirmDelete, dgCancelOnExit});
    TColumn* sid = g->Columns()->Add();
    sid->SetFieldName("SID");
    sid->SetWidth(d.sidWidth);
    TColumn* user = g->Columns()->Add();
    user->SetFieldName("USERNAME");
    user->Title()->SetCaption("Пользователь");
    user->SetWidth(d.userWidth);
    g->OnDblClick = [this](TObject* s) { dbgLockForWhomDblClick(s); };
    this->*d.grid = g;
  }
}

void TSessionForm::CreateCursorGrid() {
  dbCursors = NewGrid(this, tsCursors, "dbCursors", dsCursors);
  dbCursors->SetWidth(kCursorGridWidth);
  dbCursors->SetAlign(alLeft);
  dbCursors->SetOptions({dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                         dgConfirmDelete, dgCancelOnExit});
  TColumn* text = dbCursors->Columns()->Add();
  text->SetFieldName("SQL_TEXT");
  text->SetWidth(kCursorTextWidth);
}

void TSessionForm::FocusCursorGrid() {
  if (dbCursors->CanFocus()) dbCursors->SetFocus();
}

void TSessionForm::CreateStatisticsTabs() {
  tsStatistics = NewDetailTab("tsStatistics", "Статистика", 5);
  tsStatistics->OnShow = [this](TObject* s) { tsStatisticsShow(s); };
  tsStatistics->OnHide = [this](TObject* s) { tsStatisticsHide(s); };
  tsEvent = NewDetailTab("tsEvent", "Ожидания", 6);
  tsEvent->OnShow = [this](TObject* s) { tsEventShow(s); };
  tsEvent->OnHide = [this](TObject* s) { tsEventHide(s); };
  dbtStatisticName = NewDescription(this, tsStatistics, "dbtStatisticName", dsStatistics, "NAME_RUS");
  struct Def {
    TDBGridEx** grid;
    const char* name;
    TTabSheet* tab;
    TDataSource* source;
    const GridColumnDef* columns;
    size_t count;
  };
  for (const Def& d :
       {Def{&dbgStatistics, "dbgStatistics", tsStatistics, dsStatistics, kStatisticsColumns,
            std::size(kStatisticsColumns)},
        Def{&dbgEvent, "dbgEvent", tsEvent, dsEvent, kEventColumns, std::size(kEventColumns)}}) {
    auto* g = Named(new TDBGridEx(this), d.name);
    g->SetParent(d.tab);
    g->SetAlign(alClient);
    g->SetColor(kGridColor);
    g->SetReadOnly(true);
    g->SetUseMultiTitle(true);
    g->SetOptionsEx({dghFixed3D, dghHighlightFocus, dghClearSelection, dghAutoSortMarking,
                     dghMultiSortMarking, dghIncSearch, dghPreferIncSearch, dghRowHighlight, dghDialogFind});
    g->Columns()->BeginUpdate();
    for (size_t i = 0; i < d.count; ++i) {
      TColumnEx* c = g->Columns()->Add();
      c->SetFieldName(d.columns[i].field);
      c->Title()->SetCaption(d.columns[i].title);
      c->Title()->SetTitleButton(true);
      c->SetWidth(d.columns[i].width);
    }
    g->Columns()->EndUpdate();
    g->SetDataSource(d.source);
    g->OnGetCellParams = [this](TObject* s, TColumnEx* c, TFont* f, TColor& b, TGridDrawState st) {
      dbgStatisticsGetCellParams(s, c, f, b, st);
    };
    g->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { dbgStatisticsKeyDown(s, k, sh); };
    *d.grid = g;
  }
}

// ------------------------------------------------------------------------------------------------ behaviour

void TSessionForm::ReadSqlText(const std::string& Address, const std::string& HashValue, std::string& Text) {
  oqSQLText->SetVariable("SQL_ADDRESS", TVariant(Address));
  oqSQLText->SetVariable("SQL_HASH_VALUE", TVariant(HashValue));
  TScopeExit close([this] { oqSQLText->Close(); });
  oqSQLText->Execute();
  for (; !oqSQLText->Eof(); oqSQLText->Next()) Text += oqSQLText->Field(0).AsString();
}

void TSessionForm::ShowCurrentSqlText() {
  sqlTextPending_ = false;
  if (!seSQLText) return;
  std::string text;
  if (HasCurrentRow()) ReadSqlText(CurrentField("SQL_ADDRESS"), CurrentField("SQL_HASH_VALUE"), text);
  ShowStatement(seSQLText, text);
}

void TSessionForm::odsSessionAfterScroll(TDataSet*) {
  PostSqlTextRead();
}

void TSessionForm::PostSqlTextRead() {
  // the text follows the row however it moved (keys, search, a jump); it is read once the row settles
  if (sqlTextPending_ || !PanelSession->Visible() || pcSession->ActivePage() != tsDetail ||
      !HandleAllocated())
    return;
  sqlTextPending_ = true;
  PostMessage(Handle(), kReadSqlTextMessage, 0, 0);
}

void TSessionForm::SessionFormWndProc(TMessage& Message) {
  if (Message.Msg != kReadSqlTextMessage) {
    inheritedWndProc_(Message);
    return;
  }
  if (sqlTextPending_ && PanelSession->Visible() && pcSession->ActivePage() == tsDetail) ShowCurrentSqlText();
  sqlTextPending_ = false;
}

void TSessionForm::odsSessionBeforeClose(TDataSet*) {
  if (seSQLText) ShowStatement(seSQLText, "");
}

void TSessionForm::dbgSessionCellClick(TColumnEx*) {
  if (pcSession->ActivePage() == tsDetail) ShowCurrentSqlText();
  if (!PanelSession->Visible()) {
    PanelStatusBar->Hide();
    PanelSession->Show();
    PanelStatusBar->Show();
    SetupCustomInfo();
  }
}

void TSessionForm::sbCloseSessionPanelClick(TObject*) {
  PanelSession->Hide();
}

void TSessionForm::SetupCustomInfo() {
  odsCustomInfo->Close();
  const bool any = !Trim(customSql_).empty();
  tsCustomInfo->SetTabVisible(any);
  if (!any) return;
  // The server's rejection and a variable that names no field of the list switch the tab off until
  // the next setup, and so does a statement that is not a query, before anything of it runs. A query
  // that locks the rows it reads never reaches the server: the monitor must not block the instance it
  // watches. A query without an INFO column shows nothing.
  const auto switchOff = [this](const char* Message) {
    odsCustomInfo->Close();
    ShowMessage(Message);
    tsCustomInfo->SetTabVisible(false);
  };
  if (LocksRows(customSql_)) return switchOff(kCustomInfoLocksRows);
  odsCustomInfo->SQL()->SetText(customSql_);
  odsCustomInfo->DeleteVariables();
  odsCustomInfo->SetDetailFields("");
  odsCustomInfo->SetMasterFields("");
  std::unique_ptr<TStringList> names(FindVariables(customSql_, false));
  bool fed = true;  // every variable names a field of the list
  for (int i = 0; i < names->Count(); ++i) {
    const std::string name = names->Strings(i);
    odsCustomInfo->DeclareVariable(name, otString);
    odsCustomInfo->SetMasterFields(name + ";" + odsCustomInfo->MasterFields());
    odsCustomInfo->SetDetailFields(odsCustomInfo->MasterFields());
    if (odsSession->Active() && !odsSession->FindField(name)) fed = false;
  }
  if (!fed) return switchOff(kCustomInfoError);
  try {
    if (!IsQuery(odsCustomInfo->Session(), customSql_)) return switchOff(kCustomInfoNotAQuery);
    DBRichEdit->SetDataField("");
    odsCustomInfo->Open();
    if (odsCustomInfo->FindField(kInfoField)) DBRichEdit->SetDataField(kInfoField);
  } catch (const EOracleError&) {
    switchOff(kCustomInfoError);
  }
}

void TSessionForm::tsDetailShow(TObject*) {
  ShowCurrentSqlText();
}

void TSessionForm::tsCustomInfoShow(TObject*) {
  odsCustomInfo->Open();
  odsCustomInfo->Refresh();
}

void TSessionForm::tsCustomInfoHide(TObject*) {
  odsCustomInfo->Close();
}

void TSessionForm::tsTransactionShow(TObject*) {
  odsTransaction->Open();
}

void TSessionForm::tsTransactionHide(TObject*) {
  odsTransaction->Close();
}

void TSessionForm::tsLockShow(TObject*) {
  odsLock->Open();
  odsLockForWhom->Open();
  odsLockWho->Open();
}

void TSessionForm::tsLockHide(TObject*) {
  odsLock->Close();
  odsLockForWhom->Close();
  odsLockWho->Close();
}

void TSessionForm::tsCursorsShow(TObject*) {
  odsCursors->Open();
  FocusCursorGrid();
}

void TSessionForm::tsCursorsHide(TObject*) {
  odsCursors->Close();
}

void TSessionForm::tsStatisticsShow(TObject*) {
  odsStatistics->Open();
}

void TSessionForm::tsStatisticsHide(TObject*) {
  odsStatistics->Close();
}

void TSessionForm::tsEventShow(TObject*) {
  odsEvent->Open();
}

void TSessionForm::tsEventHide(TObject*) {
  odsEvent->Close();
}

void TSessionForm::odsCursorsAfterScroll(TDataSet* DataSet) {
  std::string text;
  if (!DataSet->IsEmpty())
    ReadSqlText(DataSet->FieldByName("address")->AsString(), DataSet->FieldByName("hash_value")->AsString(),
                text);
  ShowStatement(seSQLTextCursor, text);
}

void TSessionForm::dbgLockForWhomDblClick(TObject* Sender) {
  auto* sender = dynamic_cast<TComponent*>(Sender);
  TOracleDataSet* queue = sender && sender->Name() == "dbgLockForWhom" ? odsLockForWhom : odsLockWho;
  if (!queue->Active() || queue->IsEmpty()) return;
  const std::string sid = queue->FieldByName("SID")->AsString();
  // a condition in force on the session list goes first: the session may be one it hides
  ClearFilterOf(dbgSession);
  odsSession->SearchRecord("SID", TVariant(sid), kSearchFromFirst);
}

void TSessionForm::dbgStatisticsGetCellParams(TObject* Sender, TColumnEx*, TFont*, TColor& Background,
                                              TGridDrawState) {
  auto* grid = static_cast<TDBGridEx*>(Sender);
  TDataSet* data = grid->DataSource() ? grid->DataSource()->DataSet() : nullptr;
  if (!data) return;
  Background = DrawnRecordNumber(grid, data) % 2 != 0 ? kOddRow : kEvenRow;
}

void TSessionForm::dbgStatisticsKeyDown(TObject* Sender, WORD& Key, TShiftState) {
  GridQueryKeyDown(Sender, Key);
}

void TSessionForm::aSaveSqlAsAccept(TObject*) {
  std::ofstream out(aSaveSqlAs->Dialog()->FileName(), std::ios::binary | std::ios::trunc);
  if (!out) throw Exception("Cannot create file \"" + aSaveSqlAs->Dialog()->FileName() + "\"");
  TStrings* lines = seSQLText->Lines();
  for (int i = 0; i < lines->Count(); ++i) out << lines->Strings(i) << "\r\n";
}
