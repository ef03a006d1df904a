// The main window: the program's multiple-document frame. It owns the one Oracle session and its
// logon dialog, the settings store every window uses, the actions of the menu bar, the connections
// box and the tray icon; it logs on before anything else shows and keeps its caption and the
// connections box in step with every later logon.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdActns.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/Registry.h"

class TOracleSession;
class TOracleLogon;
class TSysTrayIcon;
class TBarCustomItem;
class TBarDock;
class TBarItem;
class TBarSubmenuItem;
class TBarToolbar;

// Raised inside the main window's creation when the program must end there and then: after a
// cancelled logon (exit code 0), or when something failed (exit code 1, the reason goes to standard
// error and the error box). The start-up routine catches it; no window is left, nothing is written.
class EProgramEnd : public EAbort {
 public:
  EProgramEnd(int ExitCode, const std::string& Reason) : EAbort(Reason), exitCode_(ExitCode) {}
  const char* ClassName() const noexcept override { return "EProgramEnd"; }
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

class TMainForm : public TForm {
  TALVIK_CLASS(TMainForm, TForm)
  explicit TMainForm(TComponent* AOwner);
  ~TMainForm() override;

  TActionList* ActionList;
  TAction* aLogin;
  TAction* aFileSaveAs;
  TFileExit* aExit;
  TAction* aAbout;
  TEditCopy* aEditCopy;
  TEditPaste* aEditPaste;
  TEditSelectAll* aEditSelectAll;
  TAction* aOptions;
  TImageList* TBImageList;
  TBarDock* TBDockTop;
  TBarToolbar* ToolBarMainMenu;
  TBarToolbar* ToolBarConnect;
  TBarToolbar* ToolBarView;
  TBarToolbar* ToolBarSession;
  TComboBox* cbConnections;
  TOracleSession* OracleSession;
  TOracleLogon* OracleLogon;
  TPopupMenu* PopupMenuTray;
  TMenuItem* nShow;
  TMenuItem* nHide;
  TMenuItem* nExit;
  TSysTrayIcon* SysTrayIcon;

  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void OracleSessionAfterLogOn(TOracleSession* Sender);
  void cbConnectionsCloseUp(TObject* Sender);
  void aLoginExecute(TObject* Sender);
  void aFileSaveAsExecute(TObject* Sender);
  void ActionListUpdate(TBasicAction* Action, bool& Handled);
  void aAboutExecute(TObject* Sender);
  void aOptionsExecute(TObject* Sender);
  void nShowClick(TObject* Sender);
  void nHideClick(TObject* Sender);
  void nExitClick(TObject* Sender);
  void SysTrayIconClick(TObject* Sender);

  // The session window hands its action list (and the images of its actions) to the main window
  // when it is created, and takes it back when it is freed: the menu bar and toolbar items bound to
  // its actions by name show only in between.
  void RegisterSessionActions(TActionList* Actions, TCustomImageList* Images);
  void UnregisterSessionActions();
  // The session window's action of that name while one is registered, else nullptr.
  TContainedAction* SessionAction(const std::string& Name) const;

 protected:
  // The window shown again, whichever way (the tray's "Показать", a click on its icon, the notification
  // area going away while the window was hidden in it): the session list detached by "Скрыть" is
  // attached again, so that the window never comes back with titles only.
  void DoShow() override;

 private:
  // The bars: the top dock with the menu bar and the three toolbars (MainFLayout.cpp).
  void CreateBars();
  TBarToolbar* NewToolbar(const char* Name, const char* Caption, int Row, int Pos);
  TBarSubmenuItem* NewSubmenu(const char* Caption);
  // Adds to Parent, in order, the items of a menu or toolbar line: "-" a separator, a name starting
  // with "a" one of this window's actions or, when it has none of that name, an item waiting for the
  // session window's action.
  void AddItems(TBarCustomItem* Parent, std::initializer_list<const char*> Names);
  // Binds the items waiting for session actions to the registered list (or unbinds and hides them).
  void BindSessionItems();

  // An item bound by name to a session window's action.
  struct SessionItem {
    TBarItem* Item;
    std::string ActionName;
  };
  std::vector<SessionItem> sessionItems_;
  TComponentRef<TActionList> sessionActions_;
  TComponentRef<TCustomImageList> sessionImages_;

  TAction* NewAction(const char* Category, const char* Caption, const char* Hint, int ImageIndex);
  // What the window shows once a logon ended without a connection: as before the first logon, the
  // caption names none, the connections box chooses none, and the session window lists none.
  void ShowNoConnection();
};

// The program's windows and what every window shares.
extern TMainForm* MainForm;
// The session window while it exists (cleared when it is freed).
extern TComponentRef<TCustomForm> SessionForm;
// The settings store on HKEY_CURRENT_USER "Software\Talvik", open from the main window's creation to
// its closing.
extern std::unique_ptr<TRegIniFile> RegIni;
extern std::string UserName;        // upper-case user of the last logon
extern std::string DataBase;        // upper-case alias of the last logon
extern std::string ConnectionName;  // " [USER@DATABASE] "
extern std::string OracleVersion;   // the server's release

// A change of the settings that did not reach the file while the program runs: the program goes on
// with what it holds, and the user hears of it once, when the main window closes. One the store
// could not write it keeps, and the saves after it carry: the user hears of that only when the
// close's own save could not write it either.
void SettingsNotSaved(const ERegistryException& Problem);

// The settings key and the sub-keys the program keeps.
inline constexpr const char* kSettingsKey = "Software\\Talvik";
inline constexpr const char* kToolbarsKey = "Software\\Talvik\\Toolbars";
inline constexpr const char* kLogonHistoryKey = "Software\\Talvik\\LogonHistory";
inline constexpr const char* kCaptionPrefix = "Talvik for Oracle - ";
