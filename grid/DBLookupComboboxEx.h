// The look-up combo box: a data-aware edit that shows, for a key value, the text of the matching record
// of a list dataset, and lets the user choose another record from a drop-down look-up grid, by typing
// (incremental search, or completion with free text) or with the arrow keys and the wheel. The key is
// written to the edited fields or kept as the control's KeyValue; a look-up field of the edited
// dataset brings its own list, key and result field.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/DBEditEx.h"
#include "grid/DBGridExColumns.h"
#include "grid/DBLookupGridEx.h"

class TCustomDBLookupComboboxEx;

enum TDBLookupComboboxExStyle { csDropDownListEx, csDropDownEx };

using TKeyValueChangedEventEx = TNotifyEvent;

// The edited-field link (several fields allowed): a layout change updates the control's data fields.
class TDataSourceLinkEx : public TFieldDataLinkEx {
  TALVIK_CLASS(TDataSourceLinkEx, TFieldDataLinkEx)
  explicit TDataSourceLinkEx(TCustomDBLookupComboboxEx* AControl);

 protected:
  void ActiveChanged() override;
  void LayoutChanged() override;

 private:
  TCustomDBLookupComboboxEx* combo_;
};

// The list link: its activation and layout changes update the control's list fields.
class TListSourceLinkEx : public TDataLink {
  TALVIK_CLASS(TListSourceLinkEx, TDataLink)
  explicit TListSourceLinkEx(TCustomDBLookupComboboxEx* AControl) : combo_(AControl) {}

 protected:
  void ActiveChanged() override;
  void LayoutChanged() override;

 private:
  TCustomDBLookupComboboxEx* combo_;
};

class TLookupComboboxDropDownBoxEx : public TColumnDropDownBoxEx {
  TALVIK_CLASS(TLookupComboboxDropDownBoxEx, TColumnDropDownBoxEx)
  explicit TLookupComboboxDropDownBoxEx(TCustomDBLookupComboboxEx* ACombo);
};

class TCustomDBLookupComboboxEx : public TCustomDBEditEx, public IDropDownGridOwnerEx {
  TALVIK_CLASS(TCustomDBLookupComboboxEx, TCustomDBEditEx)
  explicit TCustomDBLookupComboboxEx(TComponent* AOwner);
  ~TCustomDBLookupComboboxEx() override;

  const TVariant& KeyValue() const { return keyValue_; }
  void SetKeyValue(const TVariant& Value);
  // '' in look-up mode.
  std::string KeyField() const { return lookupMode_ ? std::string() : keyFieldName_; }
  void SetKeyField(const std::string& Value);
  const std::string& ListField() const { return listFieldName_; }
  void SetListField(const std::string& Value);
  int ListFieldIndex() const { return listFieldIndex_; }
  void SetListFieldIndex(int Value);
  // nil in look-up mode.
  TDataSource* ListSource() const { return lookupMode_ ? nullptr : listLink_->DataSource(); }
  void SetListSource(TDataSource* Value);
  TDBLookupComboboxExStyle Style() const { return style_; }
  void SetStyle(TDBLookupComboboxExStyle Value);
  TLookupComboboxDropDownBoxEx* DropDownBox() const { return dropDownBox_.get(); }
  // The drop-down grid (made on first use, owned by the control).
  TPopupDataGridEx* DataList();
  TDBLookupGridEx* DropDownGrid() override { return DataList(); }
  bool DropDownGridMade() const override { return dataList_ != nullptr; }

  bool LookupMode() const { return lookupMode_; }
  bool ListActive() const { return listActive_; }
  TDataSet* ListDataSet() const { return listLink_->DataSet(); }
  TField* DisplayedListField() const { return listField_; }
  const std::vector<TField*>& ListFields() const { return listFields_; }
  const std::vector<TField*>& MasterFields() const { return masterFields_; }
  const std::string& MasterFieldNames() const { return masterFieldNames_; }

  bool CanModify() override;
  void DropDown() override;
  void CloseUp(bool Accept) override;
  void UpdateData() override;
  // The key of a record becomes the key: written to the master fields, or kept without them.
  void SelectKeyValue(const TVariant& Value);
  // Whether the key is in the list (moves the list to it).
  bool LocateKey();

  TCloseUpEventEx OnCloseUp;
  TNotifyEvent OnDropDown;
  TKeyValueChangedEventEx OnKeyValueChanged;
  TNotInListEventEx OnNotInList;
  // The drop-down grid's events, handed to it when it drops down.
  TCheckTitleExBtnEvent OnDropDownBoxCheckButton;
  TDrawColumnExCellEvent OnDropDownBoxDrawColumnCell;
  TGetCellExParamsEvent OnDropDownBoxGetCellParams;
  TNotifyEvent OnDropDownBoxSortMarkingChanged;
  TTitleExClickEvent OnDropDownBoxTitleBtnClick;

  void UpdateDataFields();
  void UpdateListFields();

 protected:
  std::unique_ptr<TFieldDataLinkEx> CreateDataLink() override;
  std::unique_ptr<TEditButtonEx> CreateEditButton() override;
  TVariant GetValue() override;
  void InternalSetValue(const TVariant& AValue) override;
  void InternalSetText(const std::string& AText) override;
  void InternalSetDataField(const std::string& Value) override;
  void InternalSetDataSource(TDataSource* Value) override;
  void DataChanged() override;
  void DefaultUpdateData() override;
  void UpdateReadOnly() override;
  std::string GetDisplayTextForPaint() override;
  bool IsValidChar(char32_t Key) override;
  void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) override;
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  virtual void KeyValueChanged();

  // The text for the key (special row, list record, the control's name while designing, else '').
  std::string TextForKey();
  // Shows the text for the key without changing the modified state.
  void RefreshText();
  void ShowText(const std::string& Text);
  TVariant CurrentKey() const;
  bool KeyFitsKeyFields(const TVariant& Value) const;
  bool SpecRowShowsFor(bool KeyFound) const;
  // The list steps one record from the key record (from the first when the key is not there).
  void SelectNext(bool Up);
  // Incremental search of the text before the selection and S ("\b" shrinks it).
  void ProcessSearchText(const std::string& S);
  // After a typed key in the free-text style: completion at the end, or the whole text located.
  void CompleteFreeText(bool Backspace);
  bool LocateText(const std::string& Text, bool Partial);
  bool IsSearchableField() const;
  // The mouse pressed in the text part moved into the open grid's rows: the grid takes it over.
  bool HandOverMouse(TControl* From, int X, int Y);

 private:
  void GridUserKeyValueChange(TObject* Sender);
  TVariant keyValue_;
  std::vector<TField*> masterFields_;
  std::string masterFieldNames_;
  std::string keyFieldName_;
  std::vector<TField*> keyFields_;
  std::string listFieldName_;
  std::vector<TField*> listFields_;
  int listFieldIndex_ = 0;
  TField* listField_ = nullptr;
  std::unique_ptr<TListSourceLinkEx> listLink_;
  std::unique_ptr<TDataSource> lookupSource_;
  bool lookupMode_ = false;
  bool listActive_ = false;
  TPopupDataGridEx* dataList_ = nullptr;  // a component of the control
  std::unique_ptr<TLookupComboboxDropDownBoxEx> dropDownBox_;
  TDBLookupComboboxExStyle style_ = csDropDownListEx;
  int selecting_ = 0;  // the control itself writes the key: the text is its own business
  int writingLink_ = 0;
  int inDataChanged_ = 0;
  char32_t typed_ = 0;
};

class TDBLookupComboboxEx : public TCustomDBLookupComboboxEx {
  TALVIK_CLASS(TDBLookupComboboxEx, TCustomDBLookupComboboxEx)
  using TCustomDBLookupComboboxEx::TCustomDBLookupComboboxEx;
};
