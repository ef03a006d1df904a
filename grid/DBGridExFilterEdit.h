// The editor of the grid's filter row: a look-up combo box shared by the filter cells, a plain text
// box in a cell without a list and a drop-down list where the column's filter offers one.
#pragma once

#include <string>

#include "grid/DBLookupComboboxEx.h"

class TInplaceFilterEditEx : public TCustomDBLookupComboboxEx {
  TALVIK_CLASS(TInplaceFilterEditEx, TCustomDBLookupComboboxEx)
  using TCustomDBLookupComboboxEx::TCustomDBLookupComboboxEx;

  // The whole text selected (EM_SETSEL 0, -1).
  void SelectAllText();
  // The value (the key from the list), then the text shown.
  void SetValueAndText(const TVariant& AValue, const std::string& AText);

 protected:
  void CreateWnd() override;
  // The text sits one pixel lower than in the plain control.
  TRect GetEditRect() override;
};
