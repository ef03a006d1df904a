// The data-aware combo box: the edit control with a list of texts that drops down from its main
// button, completion of typed text against the list, stepping with keys, wheel or an up/down button,
// and an optional parallel list of keys (key mode: the field stores the key, the control shows the
// text beside it, and only the list's entries can be chosen).
#pragma once

#include <memory>
#include <string>

#include "grid/DBEditEx.h"

class TDropDownBoxEx : public TPersistent {
  TALVIK_CLASS(TDropDownBoxEx, TPersistent)
  TDropDownBoxEx() = default;
  void Assign(TPersistent* Source) override;

  TDropDownAlign Align() const { return align_; }
  void SetAlign(TDropDownAlign Value) { align_ = Value; }
  // A typed character opens the list.
  bool AutoDrop() const { return autoDrop_; }
  void SetAutoDrop(bool Value) { autoDrop_ = Value; }
  int Rows() const { return rows_; }
  void SetRows(int Value) { rows_ = Value; }
  // The list shows its size grip.
  bool Sizable() const { return sizable_; }
  void SetSizable(bool Value) { sizable_ = Value; }
  // 0: the control's width; -1: as wide as the widest item.
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }

 private:
  TDropDownAlign align_ = daLeft;
  bool autoDrop_ = false;
  int rows_ = 7;
  bool sizable_ = false;
  int width_ = 0;
};

class TCustomDBComboBoxEx : public TCustomDBEditEx {
  TALVIK_CLASS(TCustomDBComboBoxEx, TCustomDBEditEx)
  explicit TCustomDBComboBoxEx(TComponent* AOwner);
  ~TCustomDBComboBoxEx() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* Value) { items_->Assign(Value); }
  TStrings* KeyItems() const { return keyItems_.get(); }
  void SetKeyItems(TStrings* Value) { keyItems_->Assign(Value); }
  int ItemCount() const { return itemCount_; }
  bool KeyBased() const { return keyBased_; }
  int ItemIndex() const { return itemIndex_; }
  // From outside: a bound control edits the record, then chooses and writes the field at once.
  void SetItemIndex(int Value);
  TDropDownBoxEx* DropDownBox() const { return dropDownBox_.get(); }
  TPopupListboxEx* PopupList() const { return popupList_; }
  bool ListVisible() const { return listVisible_; }
  TCustomImageList* Images() const { return EditImage()->Images(); }
  void SetImages(TCustomImageList* Value);
  void Clear();

  // Chooses the first item equal to Text (or beginning with it when Partial), ignoring case, and
  // selects the rest of its text; answers whether the item changed.
  bool SelectItemByText(const std::string& Text, bool Partial);
  void ProcessTypedText(const std::string& S);
  void SelectNext(bool Up);

  void DropDown() override;
  void CloseUp(bool Accept) override;

  TNotifyEvent OnDropDown;
  TCloseUpEventEx OnCloseUp;
  TNotInListEventEx OnNotInList;

 protected:
  std::unique_ptr<TEditButtonEx> CreateEditButton() override;
  TAlignment GetFieldAlignment() const override;
  TVariant GetValue() override;
  bool IsValidChar(char32_t Key) override;
  void DataChanged() override;
  void InternalSetText(const std::string& AText) override;
  void InternalSetValue(const TVariant& AValue) override;
  void UpdateReadOnly() override;
  void ResetMaxLength() override;
  void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) override;
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;
  bool EditCanModify() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void Dispatch(TMessage& Message) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

  void DefaultUpdateData() override;

 public:
  void UpdateData() override;

 private:
  // Force: the text and the key follow even when the index stays.
  void InternalSetItemIndex(int Value, bool Force = false);
  void ItemsChanged(bool KeysChanged);
  void ListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  bool CanEditNow();
  TPopupListboxEx* List();

  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TStringList> keyItems_;
  std::unique_ptr<TDropDownBoxEx> dropDownBox_;
  TPopupListboxEx* popupList_ = nullptr;  // a component of the control
  int itemCount_ = 0;
  bool keyBased_ = false;
  int itemIndex_ = -1;
  TVariant keyValue_ = Null();
  bool listVisible_ = false;
  char32_t typed_ = 0;  // the character the last key press left to the window
};

class TDBComboBoxEx : public TCustomDBComboBoxEx {
  TALVIK_CLASS(TDBComboBoxEx, TCustomDBComboBoxEx)
  using TCustomDBComboBoxEx::TCustomDBComboBoxEx;
};
