#include "app/OptionF.h"

#include "app/MainF.h"
#include "app/SessionF.h"
#include "app/SqlViewer.h"
#include "app/SysTrayIcon.h"
#include "app/zrOraUtils.h"
#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "oracle/Oracle.h"
#include "oracle/OracleSession.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kClientWidth = 482, kClientHeight = 400;
constexpr int kBorder = 5;  // the dialog's border around its controls
constexpr int kPagesHeight = 369;
constexpr int kButtonHeight = 23;
constexpr int kDefaultInterval = 5;
constexpr int kEditorFontHeight = 13;
// The name the session window gives its highlighter.
constexpr const char* kHighlighterName = "CodeSQLHighlighter";

std::string CustomInfoSection() {
  return "CustomInfo\\" + DataBase;
}

// The session window's custom-info tab takes the new query once that tab is there.
template <class Form>
void SetupCustomInfo(Form* Sessions) {
  if constexpr (requires(Form * f) { f->SetupCustomInfo(); }) Sessions->SetupCustomInfo();
}

// The session window's highlighter; one of the dialog's own, coloured alike, when there is none.
TCodeSQLHighlighter* SessionHighlighter(TComponent* Owner, TCustomForm* Sessions) {
  if (Sessions)
    if (auto* h = dynamic_cast<TCodeSQLHighlighter*>(Sessions->FindComponent(kHighlighterName))) return h;
  return NewSqlHighlighter(Owner, "");
}

TButton* NewButton(TOptionsForm* Form, const char* Name, const char* Caption, TModalResult Result, int Left,
                   int Top) {
  auto* b = new TButton(Form);
  b->SetName(Name);
  b->SetParent(Form);
  b->SetCaption(Caption);
  b->SetModalResult(Result);
  b->SetCursor(crHandPoint);
  b->SetLeft(Left);
  b->SetTop(Top);
  b->SetHeight(kButtonHeight);
  return b;
}

}  // namespace

TOptionsForm::TOptionsForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("OptionsForm");
  SetCaption("Настройка");
  SetBorderStyle(bsDialog);
  SetColor(clBtnFace);
  SetPosition(poMainFormCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  PageControl = new TPageControl(this);
  PageControl->SetName("PageControl");
  PageControl->SetParent(this);
  PageControl->SetBounds(kBorder, kBorder, kClientWidth - 2 * kBorder, kPagesHeight);

  tsGeneral = new TTabSheet(this);
  tsGeneral->SetName("tsGeneral");
  tsGeneral->SetPageControl(PageControl);
  tsGeneral->SetCaption("Общие");
  lInterval = new TLabel(this);
  lInterval->SetName("lInterval");
  lInterval->SetParent(tsGeneral);
  lInterval->SetCaption("Интервал автообновления (сек.) : ");
  lInterval->SetBounds(8, 19, 190, 13);
  seIntervalAutoRefresh = new TSpinEdit(this);
  seIntervalAutoRefresh->SetName("seIntervalAutoRefresh");
  seIntervalAutoRefresh->SetParent(tsGeneral);
  seIntervalAutoRefresh->SetBounds(lInterval->Left() + lInterval->Width() + 8, 15, 65, 22);
  // minimum and maximum both 0: any number is taken
  seIntervalAutoRefresh->SetMinValue(0);
  seIntervalAutoRefresh->SetMaxValue(0);
  seIntervalAutoRefresh->SetValue(kDefaultInterval);
  cbTrayIcon = new TCheckBox(this);
  cbTrayIcon->SetName("cbTrayIcon");
  cbTrayIcon->SetParent(tsGeneral);
  cbTrayIcon->SetCaption("Отображать в панели задач.");
  cbTrayIcon->SetBounds(8, kPagesHeight - 64, 250, 17);

  tsCustom = new TTabSheet(this);
  tsCustom->SetName("tsCustom");
  tsCustom->SetPageControl(PageControl);
  tsCustom->SetCaption("Дополнительная");
  lSql = new TLabel(this);
  lSql->SetName("lSql");
  lSql->SetParent(tsCustom);
  lSql->SetCaption("SQL запрос:");
  lSql->SetAlign(alTop);
  CreateCustomEditor(tsCustom, MainForm ? MainForm->ActiveMDIChild() : nullptr);
  PageControl->SetActivePage(tsGeneral);

  // the buttons in the strip under the pages, at the bottom right
  const int buttonsTop = kBorder + kPagesHeight + 1;
  bCancel = NewButton(this, "bCancel", "Отмена", mrCancel, 0, buttonsTop);
  bCancel->SetCancel(true);  // Esc
  bCancel->SetLeft(kClientWidth - kBorder - bCancel->Width());
  bOk = NewButton(this, "bOk", "Ok", mrOk, 0, buttonsTop);
  bOk->SetLeft(bCancel->Left() - 8 - bOk->Width());

  OnShow = [this](TObject* s) { FormShow(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
}

void TOptionsForm::FormCloseQuery(TObject*, bool& CanClose) {
  if (ModalResult() != mrOk) return;
  const std::string sql = TypedSql();
  if (Trim(sql).empty()) return;
  // the dialog stays open on the query, which is neither stored nor run
  const auto refuse = [this, &CanClose](const char* Message) {
    ShowMessage(Message);
    PageControl->SetActivePage(tsCustom);
    if (seCustom->CanFocus()) seCustom->SetFocus();
    CanClose = false;
  };
  // told by its text alone, before the server sees it
  if (LocksRows(sql)) return refuse(kCustomInfoLocksRows);
  if (!MainForm || !MainForm->OracleSession->Connected()) return;
  try {
    if (IsQuery(MainForm->OracleSession, sql)) return;
  } catch (const EOracleError&) {
    return;  // a statement the server rejects is stored: the tab tells when it runs it
  }
  refuse(kCustomInfoNotAQuery);
}

void TOptionsForm::FormShow(TObject*) {
  if (!RegIni) return;
  seIntervalAutoRefresh->SetValue(RegIni->ReadInteger("", "IntervalAutoRefresh", kDefaultInterval));
  seCustom->SetText(RegIni->ReadString(CustomInfoSection(), "SQL", ""));
  cbTrayIcon->SetChecked(RegIni->ReadBool("", "TrayIcon", false));
}

void TOptionsForm::FormClose(TObject*, TCloseAction&) {
  if (ModalResult() != mrOk || !RegIni) return;
  TRegistryUpdate update(HKEY_CURRENT_USER);  // the options reach the settings file in one save
  const bool tray = cbTrayIcon->Checked();
  const int interval = seIntervalAutoRefresh->Value();
  const std::string sql = TypedSql();
  try {
    RegIni->WriteBool("", "TrayIcon", tray);
    RegIni->WriteInteger("", "IntervalAutoRefresh", interval);
    RegIni->WriteString(CustomInfoSection(), "SQL", sql);
    update.End();
  } catch (const ERegistryException& e) {
    SettingsNotSaved(e);  // the program works with the values chosen all the same
  }
  if (MainForm) {
    MainForm->SysTrayIcon->SetEnabled(tray);
    MainForm->SysTrayIcon->SetIconVisible(tray);
    MainForm->SysTrayIcon->SetMinimizeToTray(tray);
  }
  // without a session window the settings wait in the store for the next one
  auto* sessions = MainForm ? dynamic_cast<TSessionForm*>(MainForm->ActiveMDIChild()) : nullptr;
  if (!sessions) return;
  sessions->SetIntervalAutoRefresh(interval);
  sessions->SetCustomSql(sql);
  SetupCustomInfo(sessions);
}

std::string TOptionsForm::TypedSql() {
  return AdjustLineBreaks(seCustom->Text());
}

void TOptionsForm::CreateCustomEditor(TWinControl* Parent, TCustomForm* Sessions) {
  seCustom = new TCodeEdit(this);
  seCustom->SetName("seCustom");
  seCustom->SetParent(Parent);
  seCustom->SetAlign(alClient);
  seCustom->Font()->SetName("Courier New");
  seCustom->Font()->SetHeight(-kEditorFontHeight);
  seCustom->Gutter()->Font()->SetName("Terminal");
  CodeSQLHighlighter = SessionHighlighter(this, Sessions);
  seCustom->SetHighlighter(CodeSQLHighlighter);
  MoveContextHelpToCtrlF1(seCustom);
}
