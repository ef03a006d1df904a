#include "oracle/OracleVisual.h"

#include <atomic>

using namespace oracle_ui;

int THeadlessOracleUserInterface::ShowMessageDialog(const std::string& Message,
                                                    TOracleDialogButtons Buttons) {
  dialogs_.push_back({Message, Buttons});
  if (!script_.empty()) {
    int result = script_.front();
    script_.pop_front();
    return result;
  }
  if (Buttons.Contains(odbCancel)) return mrCancel;
  if (Buttons.Contains(odbNo)) return mrNo;
  if (Buttons.Contains(odbOK)) return mrOk;
  if (Buttons.Contains(odbYes)) return mrYes;
  if (Buttons.Contains(odbIgnore)) return mrIgnore;
  if (Buttons.Contains(odbAll)) return mrAll;
  return mrNone;
}

void THeadlessOracleUserInterface::ShowMessage(const std::string& Message) {
  messages_.push_back(Message);
}

void THeadlessOracleUserInterface::SetScreenCursor(TCursor Cursor) {
  cursor_ = Cursor;
  cursorHistory_.push_back(Cursor);
}

void THeadlessOracleUserInterface::HandleApplicationException(TObject* /*Sender*/, std::exception_ptr Error) {
  if (!Error) return;
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& e) {
    errors_.push_back(e.what());
  } catch (...) {
    errors_.push_back("");
  }
}

TComponent* THeadlessOracleUserInterface::ApplicationComponent(int Index) {
  if (Index < 0 || Index >= static_cast<int>(components_.size())) return nullptr;
  return components_[static_cast<size_t>(Index)];
}

void THeadlessOracleUserInterface::ScriptDialogResults(std::vector<int> Results) {
  script_.assign(Results.begin(), Results.end());
}

void THeadlessOracleUserInterface::Clear() {
  script_.clear();
  dialogs_.clear();
  messages_.clear();
  errors_.clear();
  cursorHistory_.clear();
  components_.clear();
  cursor_ = crDefault;
}

namespace {
std::atomic<IOracleUserInterface*> installed{nullptr};
}

THeadlessOracleUserInterface& HeadlessOracleUserInterface() {
  static THeadlessOracleUserInterface headless;
  return headless;
}

IOracleUserInterface* SetOracleUserInterface(IOracleUserInterface* Interface) {
  IOracleUserInterface* previous = installed.exchange(Interface);
  return previous ? previous : &HeadlessOracleUserInterface();
}

IOracleUserInterface& OracleUserInterface() {
  IOracleUserInterface* ui = installed.load();
  return ui ? *ui : HeadlessOracleUserInterface();
}

TOracleDialogButtons DialogButtonsFromLetters(const std::string& Buttons) {
  TOracleDialogButtons result;
  for (char c : Buttons) {
    switch (c) {
      case 'Y':
        result.Include(odbYes);
        break;
      case 'N':
        result.Include(odbNo);
        break;
      case 'C':
        result.Include(odbCancel);
        break;
      case 'O':
        result.Include(odbOK);
        break;
      case 'I':
        result.Include(odbIgnore);
        break;
      case 'A':
        result.Include(odbAll);
        break;
      default:
        break;
    }
  }
  return result;
}

int ShowMessageDialog(const std::string& Message, const std::string& Buttons) {
  return OracleUserInterface().ShowMessageDialog(Message, DialogButtonsFromLetters(Buttons));
}

void OracleShowMessage(const std::string& Message) {
  OracleUserInterface().ShowMessage(Message);
}

TCursor GetScreenCursor() {
  return OracleUserInterface().GetScreenCursor();
}

void SetScreenCursor(TCursor Cursor) {
  OracleUserInterface().SetScreenCursor(Cursor);
}

void HandleApplicationException(TObject* Sender) {
  OracleUserInterface().HandleApplicationException(Sender, std::current_exception());
}

int ApplicationComponentCount() {
  return OracleUserInterface().ApplicationComponentCount();
}

TComponent* ApplicationComponent(int Index) {
  return OracleUserInterface().ApplicationComponent(Index);
}
