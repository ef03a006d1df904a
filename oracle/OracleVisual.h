// The one place where the Oracle access components reach the user interface: the confirmation
// dialog, the screen cursor, ShowMessage, the application's exception handler and the list of the
// application's top-level components.
//
// The calls go to an installed IOracleUserInterface. Until the GUI installs its own, a headless one
// answers: it keeps the cursor, records what it would show and answers dialogs as a test scripts it.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

// A screen cursor (the class library's cursor numbers: 0 default, -11 hourglass).
// The same type as the class library's, so both declarations may meet in one unit.
using TCursor = int;

// Buttons of the confirmation dialog and their modal results.
enum TOracleDialogButton { odbYes, odbNo, odbOK, odbCancel, odbIgnore, odbAll };
using TOracleDialogButtons = TSet<TOracleDialogButton>;

namespace oracle_ui {
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrAll = 8;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crHourGlass = -11;
}  // namespace oracle_ui

class IOracleUserInterface {
 public:
  virtual ~IOracleUserInterface() = default;
  // A modal confirmation dialog with these buttons; the modal result.
  virtual int ShowMessageDialog(const std::string& Message, TOracleDialogButtons Buttons) = 0;
  virtual void ShowMessage(const std::string& Message) = 0;
  virtual TCursor GetScreenCursor() = 0;
  virtual void SetScreenCursor(TCursor Cursor) = 0;
  // Shows the exception that is being handled as the application does (a message box).
  virtual void HandleApplicationException(TObject* Sender, std::exception_ptr Error) = 0;
  virtual int ApplicationComponentCount() = 0;
  virtual TComponent* ApplicationComponent(int Index) = 0;
};

// The answers when no window system is there: scripted dialog results, a remembered cursor, and
// a record of everything that would have been shown.
class THeadlessOracleUserInterface : public IOracleUserInterface {
 public:
  int ShowMessageDialog(const std::string& Message, TOracleDialogButtons Buttons) override;
  void ShowMessage(const std::string& Message) override;
  TCursor GetScreenCursor() override { return cursor_; }
  void SetScreenCursor(TCursor Cursor) override;
  void HandleApplicationException(TObject* Sender, std::exception_ptr Error) override;
  int ApplicationComponentCount() override { return static_cast<int>(components_.size()); }
  TComponent* ApplicationComponent(int Index) override;

  // The next dialogs answer these results in turn. With none left a dialog answers Cancel, No or
  // OK, the first of them it shows (else its first button).
  void ScriptDialogResults(std::vector<int> Results);
  void AddApplicationComponent(TComponent* Component) { components_.push_back(Component); }
  void ClearApplicationComponents() { components_.clear(); }

  struct TDialog {
    std::string Message;
    TOracleDialogButtons Buttons;
  };
  const std::vector<TDialog>& Dialogs() const { return dialogs_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  // The messages of the exceptions handed to HandleApplicationException.
  const std::vector<std::string>& Errors() const { return errors_; }
  // Every cursor set, in order.
  const std::vector<TCursor>& CursorHistory() const { return cursorHistory_; }
  void Clear();

 private:
  std::deque<int> script_;
  std::vector<TDialog> dialogs_;
  std::vector<std::string> messages_;
  std::vector<std::string> errors_;
  std::vector<TCursor> cursorHistory_;
  std::vector<TComponent*> components_;
  TCursor cursor_ = oracle_ui::crDefault;
};

// The class library's answers: its confirmation dialog, the screen's cursor, the application's
// exception handler and components. It lives in the visual library (oracle_visual); the program
// installs it with SetOracleUserInterface at start-up.
class TClassLibraryOracleUserInterface : public IOracleUserInterface {
 public:
  int ShowMessageDialog(const std::string& Message, TOracleDialogButtons Buttons) override;
  void ShowMessage(const std::string& Message) override;
  TCursor GetScreenCursor() override;
  void SetScreenCursor(TCursor Cursor) override;
  void HandleApplicationException(TObject* Sender, std::exception_ptr Error) override;
  int ApplicationComponentCount() override;
  TComponent* ApplicationComponent(int Index) override;
};
TClassLibraryOracleUserInterface& ClassLibraryOracleUserInterface();

// The interface in use (the headless one until another is installed). Installing nullptr restores
// the headless one; the caller keeps ownership. Returns the interface that was in use.
IOracleUserInterface* SetOracleUserInterface(IOracleUserInterface* Interface);
IOracleUserInterface& OracleUserInterface();
// The built-in headless interface (tests script it).
THeadlessOracleUserInterface& HeadlessOracleUserInterface();

// The buttons named by letters anywhere in the text: Y Yes, N No, C Cancel, O OK, I Ignore, A All.
TOracleDialogButtons DialogButtonsFromLetters(const std::string& Buttons);
int ShowMessageDialog(const std::string& Message, const std::string& Buttons);
void OracleShowMessage(const std::string& Message);
TCursor GetScreenCursor();
void SetScreenCursor(TCursor Cursor);
// Hands the exception being handled (std::current_exception) to the application's handler.
void HandleApplicationException(TObject* Sender);
int ApplicationComponentCount();
TComponent* ApplicationComponent(int Index);
