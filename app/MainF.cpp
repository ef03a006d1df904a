#include "app/MainF.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "app/OptionF.h"
#include "app/SessionF.h"
#include "app/SysTrayIcon.h"
#include "app/ZrDialogUtils.h"
#include "app/zrOraUtils.h"
#include "oracle/OracleLogon.h"
#include "oracle/OracleSession.h"
#include "platform/db/DB.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarPositions.h"
#include "toolbar/BarToolbar.h"

TMainForm* MainForm = nullptr;
TComponentRef<TCustomForm> SessionForm;
std::unique_ptr<TRegIniFile> RegIni;
std::string UserName;
std::string DataBase;
std::string ConnectionName;
std::string OracleVersion;

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kFontHeight = -11;  // 11-pixel characters
constexpr int kHintLength = 255;  // characters

// The section and value names of the stored settings.
constexpr const char* kLastLogon = "LastLogon";
constexpr const char* kMainFormSection = "MainForm";

// "MainForm"/"WindowState" as stored: 0 normal, 1 minimised, 2 maximised.
constexpr TWindowState kStoredStates[] = {wsNormal, wsMinimized, wsMaximized};

// The smallest main window a user can work in.
constexpr int kMinWidth = 200, kMinHeight = 150;

// How much of the title bar's width must lie on work areas, in one stretch, for the user to take the window
// by it: room for the caption's buttons and a grip beside them.
constexpr int kGrabWidth = 150;

// Whether the window's title bar (the top band of its frame: the border and the caption) lies on the
// work areas wide enough for the user to grab it there: one stretch of it, on one work area or on
// work areas that touch side by side.
bool TitleBarOnAWorkArea(long long Left, long long Top, long long Width) {
  const long long bottom = Top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
  // the pieces of the title bar that lie on a work area, as [from, to) across the screen
  std::vector<std::pair<long long, long long>> pieces;
  for (int i = 0; i < Screen->MonitorCount(); ++i) {
    const TRect work = Screen->Monitors(i).WorkareaRect;
    const long long from = std::max<long long>(Left, work.Left),
                    to = std::min<long long>(Left + Width, work.Right);
    if (Top >= work.Top && bottom <= work.Bottom && from < to) pieces.emplace_back(from, to);
  }
  std::sort(pieces.begin(), pieces.end());
  long long from = 0, to = std::numeric_limits<long long>::min();
  for (const auto& piece : pieces) {
    if (piece.first > to) from = piece.first;  // a gap: a new stretch begins
    to = std::max(to, piece.second);
    if (to - from >= kGrabWidth) return true;
  }
  return false;
}

// Bounds the user can reach: as given when the size is a usable one that the work areas together can
// hold and the title bar lies on a work area (the rest of the window may stand off the screen or
// across monitors, where the user put it); otherwise on the work area of the monitor nearest to
// them, as a desktop brings back the windows of a monitor that is gone: the size kept where it fits
// (the default where it is no usable size), the place kept as far as the size lets it.
TRect ReachableBounds(long long Left, long long Top, long long Width, long long Height) {
  const long long right = Left + Width, bottom = Top + Height;
  TRect desktop;
  for (int i = 0; i < Screen->MonitorCount(); ++i)
    UnionRect(desktop, desktop, Screen->Monitors(i).WorkareaRect);
  const bool usable =
      Width >= kMinWidth && Height >= kMinHeight && Width <= desktop.Width() && Height <= desktop.Height();
  if (usable && TitleBarOnAWorkArea(Left, Top, Width))
    return Bounds(static_cast<int>(Left), static_cast<int>(Top), static_cast<int>(Width),
                  static_cast<int>(Height));
  TRect area;
  long long nearest = -1;
  for (int i = 0; i < Screen->MonitorCount(); ++i) {
    const TRect work = Screen->Monitors(i).WorkareaRect;
    const long long distance = std::max({0LL, work.Left - right, Left - work.Right}) +
                               std::max({0LL, work.Top - bottom, Top - work.Bottom});
    if (nearest < 0 || distance < nearest) {
      nearest = distance;
      area = work;
    }
  }
  auto fit = [](long long Size, int Minimum, int Default, int Room) {
    return static_cast<int>(std::min<long long>(Size >= Minimum ? Size : Default, Room));
  };
  const int width = fit(Width, kMinWidth, kWidth, area.Width());
  const int height = fit(Height, kMinHeight, kHeight, area.Height());
  return Bounds(static_cast<int>(std::clamp<long long>(Left, area.Left, area.Right - width)),
                static_cast<int>(std::clamp<long long>(Top, area.Top, area.Bottom - height)), width, height);
}

// What the user hears of settings the store refused, the first time it happened; empty while nothing
// went wrong. (What the store could not write it keeps, and every later save carries: that is told
// only when it is still not written after the close's own save.)
std::string notSaved;

// What the user is told of changes of the settings that did not reach the file.
std::string NotSavedText(const TRegFileProblem& Problem) {
  return "Настройки не сохранены: не удалось записать файл \"" + Problem.FileName + "\" (" + Problem.Reason +
         ").";
}
std::string NotSavedText(const ERegistryException& Problem) {
  const auto* file = dynamic_cast<const ERegistryFileError*>(&Problem);
  return file ? NotSavedText(file->Problem()) : "Настройки не сохранены: " + Problem.Message() + ".";
}

// The settings file was left as it is at the start (it could not be read, or it was damaged and could
// not be set aside): the store writes nothing to it, and the user has heard so.
bool settingsLeftAlone = false;

// What the user is told of a settings file that went wrong: its name, the fault or the reason, and
// what became of it.
std::string SettingsFileNotice(const TRegFileProblem& Problem, bool WhileRunning) {
  const std::string file = "Файл настроек \"" + Problem.FileName + "\" ";
  if (WhileRunning)
    return file + "повреждён во время работы (" + Problem.Reason + ").\nОн сохранён как \"" +
           Problem.SetAsideName + "\", настройки программы записаны в новый файл.";
  if (!Problem.SetAsideName.empty())
    return file + "повреждён (" + Problem.Reason + ").\nОн сохранён как \"" + Problem.SetAsideName +
           "\", настройки взяты по умолчанию.";
  const std::string leftAlone = " оставлен как есть и не будет перезаписан, настройки взяты по умолчанию.";
  return Problem.Damaged
             ? file + "повреждён (" + Problem.Reason + ").\nОтложить его не удалось: он" + leftAlone
             : file + "не удалось прочитать (" + Problem.Reason + ").\nОн" + leftAlone;
}

// The settings store. A damaged settings file has been set aside by the store, which starts empty; one
// that cannot be read, or a damaged one that cannot be set aside, is left as it is and never written.
// Either way the user hears once which file and why, and the program goes on with the defaults.
std::unique_ptr<TRegIniFile> OpenSettings() {
  settingsLeftAlone = false;
  notSaved.clear();
  try {
    return std::make_unique<TRegIniFile>(kSettingsKey);
  } catch (const ERegistryDamaged& e) {
    settingsLeftAlone = e.Problem().SetAsideName.empty();
    Application->MessageBox(SettingsFileNotice(e.Problem(), false), Application->Title(),
                            MB_OK | MB_ICONWARNING);
  }
  return std::make_unique<TRegIniFile>(kSettingsKey);
}

}  // namespace

TMainForm::TMainForm(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(kCaptionPrefix);
  SetBounds(0, 0, kWidth, kHeight);
  SetFormStyle(fsMDIForm);
  SetColor(clBtnFace);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(kFontHeight);

  ActionList = new TActionList(this);
  ActionList->OnUpdate = [this](TBasicAction* a, bool& h) { ActionListUpdate(a, h); };
  aLogin = NewAction("Файл", "Подключиться ...", "Подключиться к базе данных", 0);
  aLogin->SetOnExecute([this](TObject* s) { aLoginExecute(s); });
  aFileSaveAs = NewAction("Файл", "Сохранить как ...", "", -1);
  aFileSaveAs->SetOnExecute([this](TObject* s) { aFileSaveAsExecute(s); });
  aExit = new TFileExit(this);
  aExit->SetActionList(ActionList);
  aExit->SetCategory("Файл");
  aExit->SetCaption("Выход");
  aExit->SetHint("Выход");
  aExit->SetImageIndex(1);
  aAbout = NewAction("Помощь", "О программе", "О программе", -1);
  aAbout->SetOnExecute([this](TObject* s) { aAboutExecute(s); });
  struct EditAction {
    TEditAction* action;
    const char* caption;
    const char* hint;
    int image;
    WORD key;
  };
  aEditCopy = new TEditCopy(this);
  aEditPaste = new TEditPaste(this);
  aEditSelectAll = new TEditSelectAll(this);
  const EditAction edits[] = {
      {aEditCopy, "Копировать", "Копировать в буфер обмена", 2, 'C'},
      {aEditPaste, "Вставить", "Вставить из буфера обмена", 3, 'V'},
      {aEditSelectAll, "Выделить всё", "Выделить всё", -1, 'A'},
  };
  for (const EditAction& e : edits) {
    e.action->SetActionList(ActionList);
    e.action->SetCategory("Правка");
    e.action->SetCaption(e.caption);
    e.action->SetHint(e.hint);
    e.action->SetImageIndex(e.image);
    e.action->SetShortCut(ShortCut(e.key, {ssCtrl}));
  }
  aOptions = NewAction("Просмотр", "Настройка", "", -1);
  aOptions->SetOnExecute([this](TObject* s) { aOptionsExecute(s); });
  // the menu bar and the toolbars find the actions by these names
  const std::pair<TContainedAction*, const char*> names[] = {{aLogin, "aLogin"},
                                                             {aFileSaveAs, "aFileSaveAs"},
                                                             {aExit, "aExit"},
                                                             {aAbout, "aAbout"},
                                                             {aEditCopy, "aEditCopy"},
                                                             {aEditPaste, "aEditPaste"},
                                                             {aEditSelectAll, "aEditSelectAll"},
                                                             {aOptions, "aOptions"}};
  for (const auto& [action, name] : names) action->SetName(name);
  CreateBars();

  OracleSession = new TOracleSession(this);
  OracleSession->AfterLogOn = [this](TOracleSession* s) { OracleSessionAfterLogOn(s); };
  OracleLogon = new TOracleLogon(this);
  OracleLogon->SetSession(OracleSession);
  OracleLogon->SetOptions({ldDatabase, ldDatabaseList, ldLogonHistory});
  OracleLogon->SetHistoryWithPassword(true);
  OracleLogon->SetHistoryRegSection(kLogonHistoryKey);

  PopupMenuTray = new TPopupMenu(this);
  auto item = [this](const char* caption, void (TMainForm::*handler)(TObject*)) {
    auto* i = new TMenuItem(this);
    i->SetCaption(caption);
    if (handler) i->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    PopupMenuTray->Items()->Add(i);
    return i;
  };
  nShow = item("Показать", &TMainForm::nShowClick);
  nHide = item("Скрыть", &TMainForm::nHideClick);
  item("-", nullptr);
  nExit = item("Выход", &TMainForm::nExitClick);

  SysTrayIcon = new TSysTrayIcon(this);
  SysTrayIcon->SetEnabled(false);
  SysTrayIcon->SetCycleInterval(0);
  SysTrayIcon->SetIconIndex(0);
  SysTrayIcon->SetIcon(Application ? Application->Icon() : nullptr);
  SysTrayIcon->SetPopupMenu(PopupMenuTray);
  SysTrayIcon->OnClick = [this](TObject* s) { SysTrayIconClick(s); };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

TMainForm::~TMainForm() {
  if (MainForm == this) MainForm = nullptr;
}

TAction* TMainForm::NewAction(const char* Category, const char* Caption, const char* Hint, int ImageIndex) {
  auto* a = new TAction(this);
  a->SetActionList(ActionList);
  a->SetCategory(Category);
  a->SetCaption(Caption);
  a->SetHint(Hint);
  a->SetImageIndex(ImageIndex);
  return a;
}

void TMainForm::FormCreate(TObject*) {
  MainForm = this;
  try {
    RegIni = OpenSettings();
    OracleSession->SetLogonUsername(RegIni->ReadString(kLastLogon, "Username", ""));
    OracleSession->SetLogonDatabase(RegIni->ReadString(kLastLogon, "DataBase", ""));
    OracleLogon->Execute();
    if (!OracleSession->Connected()) throw EProgramEnd(0, "");
    OracleVersion = GetServerVersion(OracleSession);
    const bool tray = RegIni->ReadBool("", "TrayIcon", false);
    SysTrayIcon->SetEnabled(tray);
    SysTrayIcon->SetIconVisible(tray);
    SysTrayIcon->SetMinimizeToTray(tray);
    RegLoadToolbarPositions(this, HKEY_CURRENT_USER, kToolbarsKey);
    const int left = RegIni->ReadInteger(kMainFormSection, "Left", 0);
    const int top = RegIni->ReadInteger(kMainFormSection, "Top", 0);
    const int height = RegIni->ReadInteger(kMainFormSection, "Height", kHeight);
    const int width = RegIni->ReadInteger(kMainFormSection, "Width", kWidth);
    SetBoundsRect(ReachableBounds(left, top, width, height));
    const int state = RegIni->ReadInteger(kMainFormSection, "WindowState", 0);
    if (state >= 0 && state < static_cast<int>(std::size(kStoredStates)))
      SetWindowState(kStoredStates[state]);
  } catch (const EProgramEnd&) {
    RegIni.reset();
    throw;
  } catch (const std::exception& e) {
    RegIni.reset();
    throw EProgramEnd(1, e.what());
  }
}

void TMainForm::OracleSessionAfterLogOn(TOracleSession* Sender) {
  if (!Sender->Connected()) {
    // the attempt logged the previous connection off: nothing names it any longer
    ShowNoConnection();
    return;
  }
  UserName = AnsiUpperCase(Sender->LogonUsername());
  DataBase = AnsiUpperCase(Sender->LogonDatabase());
  const std::string connection = AnsiUpperCase(UserName + "@" + DataBase);
  int index = cbConnections->Items()->IndexOf(connection);
  if (index < 0) index = cbConnections->Items()->Add(connection);
  cbConnections->SetItemIndex(index);
  ConnectionName = " [" + connection + "] ";
  SetCaption(kCaptionPrefix + ConnectionName);
  try {
    Sender->DBMS_Application_Info()->Set_Client_Info("Talvik");
  } catch (...) {
    // the server not taking the client's name is no reason to stop
  }
  if (MDIChildCount() > 0) {
    OracleVersion = GetServerVersion(Sender);
    // the session window shows the release and the restricted-logins note and lists anew
    if (auto* sessions = dynamic_cast<TSessionForm*>(ActiveMDIChild())) sessions->LoggedOn();
  }
  SysTrayIcon->SetHint(Utf8Copy(Caption(), 1, kHintLength));
}

void TMainForm::ShowNoConnection() {
  ConnectionName.clear();
  cbConnections->SetItemIndex(-1);
  SetCaption(kCaptionPrefix);
  if (auto* sessions = dynamic_cast<TSessionForm*>(ActiveMDIChild())) sessions->LoggedOff();
  SysTrayIcon->SetHint(Utf8Copy(Caption(), 1, kHintLength));
}

void TMainForm::cbConnectionsCloseUp(TObject*) {
  const int selected = cbConnections->ItemIndex();
  if (selected < 0) return;  // the list was dismissed without a choice
  const std::string chosen = AnsiUpperCase(cbConnections->Items()->Strings(selected));
  // the list opened and closed on the connection in use: nothing to log on to
  if (OracleSession->Connected() && chosen == AnsiUpperCase(UserName + "@" + DataBase)) return;
  THistoryItems* history = LogonHistory();
  for (int i = 0; i < history->Count(); ++i) {
    THistoryItem* entry = history->GetItem(i);
    if (AnsiUpperCase(entry->DisplayText()) != chosen) continue;
    OracleSession->SetLogonUsername(entry->Username());
    OracleSession->SetLogonPassword(entry->Password());
    OracleSession->SetLogonDatabase(entry->Database());
    OracleSession->LogOn();
    return;  // once, with the first entry that matches
  }
}

void TMainForm::aLoginExecute(TObject*) {
  OracleSession->SetLogonPassword("");
  OracleLogon->Execute();
}

void TMainForm::aFileSaveAsExecute(TObject*) {
  // the session window's own save-as runs the dialog and the export
  if (!SessionForm) return;
  if (auto* a = dynamic_cast<TBasicAction*>(SessionForm->FindComponent("aFileSaveAs"))) a->Execute();
}

void TMainForm::ActionListUpdate(TBasicAction*, bool&) {
  if (!SessionForm) return;
  auto* grid = dynamic_cast<TWinControl*>(SessionForm->FindComponent("dbgSession"));
  aFileSaveAs->SetEnabled(grid && grid->Focused());
}

void TMainForm::aAboutExecute(TObject*) {
  ShowAboutBox();
}

void TMainForm::aOptionsExecute(TObject*) {
  const std::unique_ptr<TOptionsForm> options = std::make_unique<TOptionsForm>(Application);
  options->ShowModal();
}

namespace {

// The session list's data source attached to its dataset again (Attach) or detached from it, so that
// a hidden window's grid and controls show nothing; nothing without the session window.
void AttachSessionList(bool Attach) {
  if (!SessionForm) return;
  auto* source = dynamic_cast<TDataSource*>(SessionForm->FindComponent("dsSession"));
  if (!source) return;
  source->SetDataSet(Attach ? dynamic_cast<TDataSet*>(SessionForm->FindComponent("odsSession")) : nullptr);
}

}  // namespace

void TMainForm::DoShow() {
  AttachSessionList(true);
  TForm::DoShow();
}

void TMainForm::nShowClick(TObject*) {
  AttachSessionList(true);
  SysTrayIcon->ShowMainForm();
}

void TMainForm::nHideClick(TObject*) {
  AttachSessionList(false);
  SysTrayIcon->HideMainForm();
}

void TMainForm::nExitClick(TObject*) {
  // ends the program at once: nothing is saved, the close handlers do not run
  if (Application) Application->Terminate();
}

void TMainForm::SysTrayIconClick(TObject*) {
  AttachSessionList(true);
  SysTrayIcon->ShowMainForm();
}

void TMainForm::RegisterSessionActions(TActionList* Actions, TCustomImageList* Images) {
  sessionActions_.Reset(Actions);
  sessionImages_.Reset(Images);
  BindSessionItems();
}

void TMainForm::UnregisterSessionActions() {
  sessionActions_.Reset(nullptr);
  sessionImages_.Reset(nullptr);
  BindSessionItems();
}

TContainedAction* TMainForm::SessionAction(const std::string& Name) const {
  TActionList* list = sessionActions_.Get();
  if (!list) return nullptr;
  for (int i = 0; i < list->ActionCount(); ++i)
    if (list->Actions(i)->Name() == Name) return list->Actions(i);
  return nullptr;
}

void SettingsNotSaved(const ERegistryException& Problem) {
  // a change the store could not write waits in it for the next save (the close's at the latest)
  if (dynamic_cast<const ERegistryWriteError*>(&Problem)) return;
  if (notSaved.empty()) notSaved = NotSavedText(Problem);
}

void TMainForm::FormClose(TObject*, TCloseAction&) {
  try {
    // the session window's settings and the main window's reach the file in one save
    TRegistryUpdate update(HKEY_CURRENT_USER);
    if (TCustomForm* child = ActiveMDIChild()) child->Close();
    if (!RegIni) return;
    RegIni->WriteString(kLastLogon, "UserName", UserName);
    RegIni->WriteString(kLastLogon, "DataBase", DataBase);
    RegSaveToolbarPositions(this, HKEY_CURRENT_USER, kToolbarsKey);
    const TWindowState state = WindowState();
    const auto stored = std::find(std::begin(kStoredStates), std::end(kStoredStates), state);
    RegIni->WriteInteger(kMainFormSection, "WindowState",
                         static_cast<int>(stored - std::begin(kStoredStates)));
    if (state == wsNormal) {
      // a window left where the user cannot reach it is kept where the next start shows it
      const TRect bounds = ReachableBounds(Left(), Top(), Width(), Height());
      RegIni->WriteInteger(kMainFormSection, "Left", bounds.Left);
      RegIni->WriteInteger(kMainFormSection, "Top", bounds.Top);
      RegIni->WriteInteger(kMainFormSection, "Height", bounds.Height());
      RegIni->WriteInteger(kMainFormSection, "Width", bounds.Width());
    }
    update.End();
  } catch (const ERegistryException& e) {
    SettingsNotSaved(e);
  }
  // The program is leaving and its settings are written: the toolbars floating beside the window go
  // now, as they would with it, so that a box below stands over the window alone (the session window
  // is gone, and a toolbar of its commands would stand empty).
  for (TBarToolbar* bar : {ToolBarMainMenu, ToolBarConnect, ToolBarView, ToolBarSession})
    if (bar->Floating()) bar->Hide();
  // the file on disk stays whole; the user is told once of what the store still could not write, or
  // refused, and the program closes as asked (a file left alone at the start was named then)
  if (TRegFileProblem unsaved; RegUnsavedChanges(HKEY_CURRENT_USER, unsaved))
    notSaved = NotSavedText(unsaved);
  if (!notSaved.empty() && !settingsLeftAlone)
    Application->MessageBox(notSaved, Application->Title(), MB_OK | MB_ICONSTOP);
  notSaved.clear();
  // a file damaged while the program ran went aside, and what the program held went to a new one
  if (TRegFileProblem replaced; RegIni && RegTakeReplacedFile(HKEY_CURRENT_USER, replaced))
    Application->MessageBox(SettingsFileNotice(replaced, true), Application->Title(), MB_OK | MB_ICONWARNING);
  RegIni.reset();
}
