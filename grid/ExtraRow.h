// Three services the grid, the look-up controls and the edit controls share: VarEquals, the one
// comparison of field values and keys; field lists by ';'-separated names; and the special row that
// look-up lists show above their data rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/DB.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"

// Arrays compare by shape and elements, Unassigned differs from Null, and a comparison that fails
// answers false (or the last comparison that completed).
bool VarEquals(const TVariant& V1, const TVariant& V2);

// The fields of a ';'-separated list of names; a missing name raises "Field '%s' not found".
void GetFieldsList(TList* List, TDataSet* DataSet, const std::string& FieldNames);
std::vector<TField*> GetFieldsArray(TDataSet* DataSet, const std::string& FieldNames);
// Writes Value (an array for several fields) into the fields; Null clears them.
void SetFieldsValues(TDataSet* DataSet, const std::string& FieldNames, const TVariant& Value);

class TSpecRowEx : public TPersistent {
  TALVIK_CLASS(TSpecRowEx, TPersistent)
  explicit TSpecRowEx(TControl* AOwner = nullptr);
  ~TSpecRowEx() override;
  void Assign(TPersistent* Source) override;

  const std::string& CellsText() const { return cellsText_; }
  void SetCellsText(const std::string& Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool ColorAssigned() const { return colorAssigned_; }
  TFont* Font() const;
  void SetFont(TFont* Value);
  bool FontAssigned() const { return fontAssigned_; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  bool ShowIfNotInKeyList() const { return showIfNotInKeyList_; }
  void SetShowIfNotInKeyList(bool Value);
  const TVariant& Value() const { return value_; }
  void SetValue(const TVariant& Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  TControl* Owner() const { return owner_; }
  TPersistent* GetOwner() const override { return owner_; }

  // The i-th ';'-separated part of CellsText ('' past the last).
  std::string GetCellText(int Index) const;
  int CellCount() const { return static_cast<int>(cells_.size()); }
  // True when the row is Visible and stands for Key.
  bool LocateKey(const TVariant& Key) const;
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  TNotifyEvent OnChanged;

 private:
  void Changed();
  void FontChanged(TObject* Sender);
  TControl* owner_;
  std::string cellsText_;
  std::vector<std::string> cells_;
  TColor color_ = clWindow;
  bool colorAssigned_ = false;
  std::unique_ptr<TFont> font_;
  bool fontAssigned_ = false;
  bool syncingFont_ = false;
  TShortCut shortCut_;
  bool showIfNotInKeyList_ = true;
  TVariant value_;
  bool visible_ = false;
  int updateCount_ = 0;
};
