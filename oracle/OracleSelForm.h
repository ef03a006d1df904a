// The small dialog with which a dataset's nested-table set-up lets the user pick the master
// collection column.
#pragma once

#include <string>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

class TOracleSelectForm : public TForm {
  TALVIK_CLASS(TOracleSelectForm, TForm)
  explicit TOracleSelectForm(TComponent* AOwner);

  TPanel* BottomPanel;
  TButton* OKBtn;
  TButton* CancelBtn;
  TPageControl* PageControl;
  TTabSheet* CollSheet;  // its tab does not show
  TListBox* CollListBox;
  TCheckBox* CollReadOnlyCheck;

  void CollListBoxDblClick(TObject* Sender);
};

// Lets the user choose one of Columns: true with the chosen row in Index and the read-only choice in
// ReadOnly; false on Cancel (Index -1, ReadOnly false).
bool SelectMasterCollectionColumn(TStrings* Columns, int& Index, bool& ReadOnly);
