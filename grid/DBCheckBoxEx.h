// The data-aware check box: shows and edits one field (or keeps its own value without a data source
// and field name), maps field values to its three states through two lists of accepted texts, and
// paints its box with the edit-button face painter, flat and lighting up under the mouse.
#pragma once

#include <memory>
#include <string>

#include "grid/DBEditEx.h"

inline constexpr char SCheckBoxTrue[] = "True";
inline constexpr char SCheckBoxFalse[] = "False";

class TCustomDBCheckBoxEx : public TButtonControl, public IDataAwareControl {
  TALVIK_CLASS(TCustomDBCheckBoxEx, TButtonControl)
  explicit TCustomDBCheckBoxEx(TComponent* AOwner);
  ~TCustomDBCheckBoxEx() override;

  TFieldDataLinkEx* DataLink() const { return dataLink_.get(); }
  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const std::string& DataField() const { return dataLink_->FieldName(); }
  void SetDataField(const std::string& Value);
  TField* Field() const { return dataLink_->Field(); }
  bool ReadOnly() const { return dataLink_->ReadOnly(); }
  void SetReadOnly(bool Value) { dataLink_->SetReadOnly(Value); }

  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState Value);
  bool Checked() const override { return state_ == cbChecked; }
  void SetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool Value) { allowGrayed_ = Value; }
  // taRightJustify: the caption right of the box.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  const std::string& ValueChecked() const { return valueChecked_; }
  void SetValueChecked(const std::string& Value);
  const std::string& ValueUnchecked() const { return valueUnchecked_; }
  void SetValueUnchecked(const std::string& Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool AlwaysShowBorder() const { return alwaysShowBorder_; }
  void SetAlwaysShowBorder(bool Value);
  bool Modified() const { return modified_; }

  // The state the data stands for.
  TCheckBoxState GetFieldState();
  void Toggle();
  void UpdateData();
  void Click() override;
  // Where the box and the caption go in the client area.
  TRect BoxRect();

  // What a dataset that dresses its bound controls asks: a box with its caption keeps its colours.
  TDataSource* ControlDataSource() const override { return DataSource(); }
  std::string ControlDataField() const override { return DataField(); }
  bool ControlHasCaption() const override { return true; }
  int32_t ControlColor() const override { return Color(); }
  void SetControlColor(int32_t Value) override { SetColor(Value); }
  int32_t ControlFontColor() const override { return font_->Color(); }
  void SetControlFontColor(int32_t Value) override { font_->SetColor(Value); }

  TUpdateDataEventEx OnUpdateData;

 protected:
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void KeyPress(char32_t& Key) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void InternalSetState(TCheckBoxState Value);
  void DataChange(TObject* Sender);
  void DefaultUpdateData();

 private:
  bool ShowsPressed();
  std::unique_ptr<TFieldDataLinkEx> dataLink_;
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
  std::string valueChecked_ = SCheckBoxTrue;
  std::string valueUnchecked_ = SCheckBoxFalse;
  bool flat_ = false;
  bool alwaysShowBorder_ = false;
  bool mouseInside_ = false;
  bool modified_ = false;
  bool updating_ = false;
  bool noClick_ = false;
};

class TDBCheckBoxEx : public TCustomDBCheckBoxEx {
  TALVIK_CLASS(TDBCheckBoxEx, TCustomDBCheckBoxEx)
  using TCustomDBCheckBoxEx::TCustomDBCheckBoxEx;
};
