// The options dialog: the session window's auto-refresh interval, the notification-area icon and the
// custom-info query of the current database. Each use reads the settings store when shown; "Ok"
// writes them back and applies them at once.
#pragma once

#include <string>

#include "platform/gui/Forms.h"

class TButton;
class TCheckBox;
class TCodeEdit;
class TCodeSQLHighlighter;
class TLabel;
class TPageControl;
class TSpinEdit;
class TTabSheet;

class TOptionsForm : public TForm {
  TALVIK_CLASS(TOptionsForm, TForm)
  explicit TOptionsForm(TComponent* AOwner);

  TPageControl* PageControl;
  TTabSheet* tsGeneral;
  TLabel* lInterval;
  TSpinEdit* seIntervalAutoRefresh;
  TCheckBox* cbTrayIcon;
  TTabSheet* tsCustom;
  TLabel* lSql;
  TCodeEdit* seCustom;
  TButton* bOk;
  TButton* bCancel;

  // The session window's highlighter that seCustom colours with (the dialog's own when no session
  // window is open).
  TCodeSQLHighlighter* CodeSQLHighlighter = nullptr;

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // "Ok" with a custom statement that is not a query: the dialog says so and stays open on it.
  void FormCloseQuery(TObject* Sender, bool& CanClose);

 private:
  // The editor on Parent, coloured by the highlighter of Sessions (the session window, or nullptr).
  void CreateCustomEditor(TWinControl* Parent, TCustomForm* Sessions);
  // The query typed, its line ends made CR LF: what is checked, stored and applied.
  std::string TypedSql();
};
