// Message dialogs (our own forms run by ShowModal) and the file dialogs.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/gui/Forms.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// The dialog MessageDlg shows, not yet shown: captioned by its type ("Warning", "Error",
// "Information", "Confirm"; the application's title for mtCustom), an icon, the text and the
// buttons in their fixed order. Enter answers the default button (OK, else Yes, else Retry); Esc
// answers Cancel, else No, else OK.
TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
// Shows the dialog modally and answers the modal result of the button chosen (mrYes, mrAll...).
// A handler set by talvik::gui::SetMessageBoxHandler answers instead, with the MB_ flags nearest
// to the buttons and the type.
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);
int MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx, int X,
                  int Y);
// An OK box captioned with the application's title.
void ShowMessage(const std::string& Msg);

// ---------------------------------------------------------------- file dialogs

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent {
  TALVIK_CLASS(TOpenDialog, TComponent)
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& Value) { fileName_ = Value; }
  TStrings* Files() { return files_.get(); }
  // "Description|*.ext;*.ext2|Description|*.*"
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& Value) { filter_ = Value; }
  int FilterIndex() const { return filterIndex_; }  // from 1
  void SetFilterIndex(int Value) { filterIndex_ = Value; }
  // Kept without a leading "*" or "." ("*.xls" and ".xls" both give "xls").
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& Value);
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& Value) { initialDir_ = Value; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& Value) { title_ = Value; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions Value) { options_ = Value; }
  virtual bool Save() const { return false; }

  // Asks for the file(s); true with FileName (and Files) set when the user chose.
  virtual bool Execute();
  // The name as it will be answered: the default extension added to a name without one.
  std::string WithDefaultExt(const std::string& Name) const;

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 private:
  std::string fileName_;
  std::unique_ptr<TStringList> files_;
  std::string filter_;
  int filterIndex_ = 1;
  std::string defaultExt_;
  std::string initialDir_;
  std::string title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
  TALVIK_CLASS(TSaveDialog, TOpenDialog)
  using TOpenDialog::TOpenDialog;
  bool Save() const override { return true; }
};

namespace talvik::gui {
// Answers every file dialog (tests): set the dialog's FileName/Files/FilterIndex and answer true, or
// answer false for a cancel. nullptr restores the toolkit's dialog.
using FileDialogHandler = std::function<bool(TOpenDialog& Dialog)>;
void SetFileDialogHandler(FileDialogHandler Handler);
}  // namespace talvik::gui
