// The class library's side of the user-interface adapter: what the access components show goes to
// the message dialogs, the screen and the application object of the window layer.
#include "oracle/OracleVisual.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"

namespace {

struct TButtonOfLetter {
  TOracleDialogButton button;
  TMsgDlgBtn dialogButton;
};
constexpr TButtonOfLetter kButtons[] = {{odbYes, mbYes},       {odbNo, mbNo},         {odbOK, mbOK},
                                        {odbCancel, mbCancel}, {odbIgnore, mbIgnore}, {odbAll, mbAll}};

}  // namespace

int TClassLibraryOracleUserInterface::ShowMessageDialog(const std::string& Message,
                                                        TOracleDialogButtons Buttons) {
  TMsgDlgButtons buttons;
  for (const auto& b : kButtons)
    if (Buttons.Contains(b.button)) buttons.Include(b.dialogButton);
  CreateApplication();
  return MessageDlg(Message, mtConfirmation, buttons);
}

void TClassLibraryOracleUserInterface::ShowMessage(const std::string& Message) {
  CreateApplication();
  ::ShowMessage(Message);
}

TCursor TClassLibraryOracleUserInterface::GetScreenCursor() {
  CreateApplication();
  return Screen->Cursor();
}

void TClassLibraryOracleUserInterface::SetScreenCursor(TCursor Cursor) {
  CreateApplication();
  Screen->SetCursor(Cursor);
}

void TClassLibraryOracleUserInterface::HandleApplicationException(TObject* Sender, std::exception_ptr Error) {
  if (!Error) return;
  CreateApplication();
  try {
    std::rethrow_exception(Error);
  } catch (...) {
    Application->HandleException(Sender);
  }
}

int TClassLibraryOracleUserInterface::ApplicationComponentCount() {
  return Application ? Application->ComponentCount() : 0;
}

TComponent* TClassLibraryOracleUserInterface::ApplicationComponent(int Index) {
  if (!Application || Index < 0 || Index >= Application->ComponentCount()) return nullptr;
  return Application->Components(Index);
}

TClassLibraryOracleUserInterface& ClassLibraryOracleUserInterface() {
  static TClassLibraryOracleUserInterface ui;
  return ui;
}
