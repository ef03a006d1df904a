// The data-aware single-line edit on which the combo box, the look-up combo box and the grid's
// editors stand: a masked edit with edit buttons at its right edge, an optional image at its left, a
// list of recent entries with its own drop-down, a flat look, and a value read from and written to
// one or several fields through its own data link. Without a data source and a field name it keeps
// its value itself.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "grid/DropDownsEx.h"
#include "grid/EditButtons.h"
#include "grid/MRUList.h"
#include "platform/db/DB.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Mask.h"

class IInplaceEditHolderEx;  // grid/DBGridEx.h

inline constexpr char SInplaceEditHolderNoInterface[] =
    "InplaceEditHolder have to support IInplaceEditHolderEx interface";

// ---------------------------------------------------------------- the field link

class TFieldDataLinkEx : public TDataLink {
  TALVIK_CLASS(TFieldDataLinkEx, TDataLink)
  TFieldDataLinkEx();

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  bool MultiFields() const { return multiFields_; }
  void SetMultiFields(bool Value);
  const std::vector<TField*>& Fields() const { return fields_; }
  TField* Field() const { return fields_.empty() ? nullptr : fields_.front(); }
  bool IsLinkedField(TField* Value) const;
  TComponent* Control() const { return control_; }
  void SetControl(TComponent* Value) { control_ = Value; }
  void SetDataSource(TDataSource* Value);

  // True exactly when there is no data source and no field name: the link keeps Value itself.
  bool DataIndependent() const { return dataIndependent_; }
  const TVariant& Value() const { return value_; }
  // Bound: whether the dataset edits the record; data-independent: whether Edit ran.
  bool Editing() const;
  bool Modified() const { return modified_; }
  void SetModified() { modified_ = true; }
  void ClearModified() { modified_ = false; }
  // The field may be modified (always in data-independent mode).
  bool CanModify() const;
  bool HasValueSource() const;
  bool DataSetActive() const;

  bool Edit();
  void SetText(const std::string& Text);
  void SetValue(const TVariant& Value);
  // The control reloads its text.
  void Reset();
  // Writes the control's change (UpdateData) when there is one.
  void UpdateRecordEx();

  TNotifyEvent OnDataChange;
  TNotifyEvent OnEditingChange;
  TNotifyEvent OnUpdateData;
  TNotifyEvent OnActiveChange;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void EditingChanged() override;
  void FocusControl(TField** Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  void UpdateDataIndependent();
  std::string fieldName_;
  // A windowed control whose field needs the other alignment than its window has is made anew.
  void UpdateRightToLeft();
  bool multiFields_ = false;
  std::vector<TField*> fields_;
  TComponent* control_ = nullptr;
  bool dataIndependent_ = true;
  TVariant value_ = Null();
  bool editing_ = false;  // data-independent
  bool modified_ = false;
};

// ---------------------------------------------------------------- the image

class TCustomDBEditEx;

class TEditImageEx : public TPersistent {
  TALVIK_CLASS(TEditImageEx, TPersistent)
  explicit TEditImageEx(TCustomDBEditEx* AEdit);
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  bool UseImageHeight() const { return useImageHeight_; }
  void SetUseImageHeight(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  // The column the image takes at the left of the text (0 when it does not show).
  int ColumnWidth() const;

 private:
  void Changed();
  TCustomDBEditEx* edit_;
  int imageIndex_ = 0;
  TCustomImageList* images_ = nullptr;
  bool useImageHeight_ = true;
  bool visible_ = false;
  int width_ = 0;
};

// ---------------------------------------------------------------- the edit

class TCustomDBEditEx : public TCustomMaskEdit,
                        public IPopupOwnerEx,
                        public IDataAwareControl,
                        public IEditButtonsOwnerEx {
  TALVIK_CLASS(TCustomDBEditEx, TCustomMaskEdit)
  explicit TCustomDBEditEx(TComponent* AOwner);
  ~TCustomDBEditEx() override;

  // Finishes construction: the parts made by the virtual factories (call once after the constructor
  // of the most derived class; the constructors of this family do it).
  void InitParts();

  TFieldDataLinkEx* DataLink() const { return dataLink_.get(); }
  std::string DataField() const { return GetDataField(); }
  TDataSource* DataSource() const { return GetDataSource(); }
  TField* Field() const { return dataLink_->Field(); }
  void SetDataField(const std::string& Value) { InternalSetDataField(Value); }
  void SetDataSource(TDataSource* Value) { InternalSetDataSource(Value); }
  TEditButtonEx* EditButton() const { return editButton_.get(); }
  TEditButtonsEx* EditButtons() const { return editButtons_.get(); }
  TEditImageEx* EditImage() const { return editImage_.get(); }
  TMRUListEx* MRUList() const { return mruList_.get(); }
  TMRUListboxEx* MRUListBox() const { return mruListBox_; }

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  bool AlignmentAssigned() const { return alignmentAssigned_; }
  bool AlwaysShowBorder() const { return alwaysShowBorder_; }
  void SetAlwaysShowBorder(bool Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool Value);
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool Value) { wantTabs_ = Value; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool Value) { wantReturns_ = Value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  void SetEditMask(const std::string& Value);
  bool EditMaskAssigned() const { return editMaskAssigned_; }

  // The value: the text as a string (the combo box gives its key in key mode).
  TVariant Value() { return GetValue(); }
  void SetValue(const TVariant& Value);
  // Sets the text from outside: a bound control edits the record and writes the field at once.
  void SetText(const std::string& Value);

  virtual bool CanModify();
  bool Focused() const { return focused_; }
  bool BorderShown() const { return borderShown_; }
  bool DroppedDown() const { return droppedDown_; }
  bool MRUDroppedDown();
  // The rectangle given to the edit window for its text.
  TRect TextRect() const { return textRect_; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TEditButtonControlEx* ButtonControl(int Index) const { return buttons_.at(Index).Button; }
  TShape* ButtonSeparator(int Index) const { return buttons_.at(Index).Separator; }
  // The width the visible buttons and their separators take.
  int ButtonsWidth() const { return buttonsWidth_; }

  virtual void DropDown();
  void CloseUp(bool Accept) override;
  virtual void UpdateData();
  void SetInplaceEditHolder(TObject* Holder);
  // In place: the holder shows the control over Loc (without redrawing it when it already showed) and
  // hides it again into an empty rectangle, taking the focus back.
  void InplaceMove(const TRect& Loc);
  void InplaceHide();
  IInplaceEditHolderEx* InplaceEditHolder() const { return holder_; }
  // In place the holder shows and hides the window itself: the window tells whether it shows.
  bool Visible() const;
  void Reset() override;

  // What a dataset that dresses its bound controls asks (query-by-example colours).
  TDataSource* ControlDataSource() const override { return DataSource(); }
  std::string ControlDataField() const override { return DataField(); }
  bool ControlHasCaption() const override { return false; }
  int32_t ControlColor() const override { return Color(); }
  void SetControlColor(int32_t Value) override { SetColor(Value); }
  int32_t ControlFontColor() const override { return font_->Color(); }
  void SetControlFontColor(int32_t Value) override { font_->SetColor(Value); }

  TButtonClickEventEx OnButtonClick;
  TButtonDownEventEx OnButtonDown;
  TUpdateDataEventEx OnUpdateData;

 protected:
  virtual std::unique_ptr<TFieldDataLinkEx> CreateDataLink();
  virtual std::unique_ptr<TEditButtonEx> CreateEditButton();
  TEditButtonControlEx* CreateEditButtonControl() override;
  virtual std::unique_ptr<TEditButtonsEx> CreateEditButtons();
  virtual std::unique_ptr<TEditImageEx> CreateEditImage();
  virtual TMRUListboxEx* CreateMRUListBox();
  virtual bool IsDataIndependent() const { return dataLink_->DataIndependent(); }
  virtual TAlignment GetFieldAlignment() const;
  virtual std::string GetFieldEditMask() const;
  virtual std::string GetDataField() const { return dataLink_->FieldName(); }
  virtual TDataSource* GetDataSource() const { return dataLink_->DataSource(); }
  virtual std::string GetDisplayTextForPaint();
  virtual TVariant GetValue();
  virtual bool IsValidChar(char32_t Key);
  virtual void UpdateButtons();
  void AdjustHeight() override;
  virtual void DropDownByButton();
  virtual TRect GetEditRect();
  virtual void DataChanged();
  void EditButtonClick(TObject* Sender) override;
  void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) override;
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;
  void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void EditingChanged();
  virtual void FilterMRUItem(const std::string& AText, bool& Accept);
  virtual void InternalSetText(const std::string& AText);
  virtual void InternalSetValue(const TVariant& AValue);
  virtual void InternalUpdateData(TObject* Sender);
  // The write when OnUpdateData left it: the text into the link.
  virtual void DefaultUpdateData();
  virtual void StoreMRUDropDownSize();
  virtual void ResetMaxLength();
  virtual void InternalSetDataField(const std::string& Value);
  virtual void InternalSetDataSource(TDataSource* Value);
  virtual void SetFocused(bool Value);
  virtual void UpdateReadOnly();
  virtual void UpdateHeight();
  virtual void EditTextChanged();

  // The masked edit's hooks.
  bool EditCanModify() override;
  void Change() override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

  // The recent-entries drop-down.
  void ShowMRUList();
  void CloseMRUList(bool Accept);
  std::string EmptyText() const;
  // Whether a point of the client area is over the buttons or the image.
  bool OverButtonsOrImage(TPoint P);
  // Where the image column stands (empty when it does not show).
  TRect ImageRect();
  TAlignment GetControlsAlignment() const override { return Alignment(); }
  void UpdateBorder();
  void PaintFlatBorder();
  bool PaintsOwnText();
  void PaintOwnText(HDC DC);
  void PaintImage(HDC DC);
  void ShowEditText(const std::string& Value);
  // Set while the control itself puts text into the window (not the user's change).
  int settingText_ = 0;
  // Above 0 while a descendant has already given the key to the in-place holder.
  int holderKeysSeen_ = 0;
  bool updating_ = false;
  bool droppedDown_ = false;
  bool droppedByPress_ = false;

 private:
  using ButtonPair = TEditButtonPairEx;
  int ButtonIndex(TObject* Sender) const;
  TEditButtonEx* ButtonDefinition(int Index) const;
  void LinkDataChange(TObject* Sender);

  std::unique_ptr<TFieldDataLinkEx> dataLink_;
  std::unique_ptr<TEditButtonEx> editButton_;
  std::unique_ptr<TEditButtonsEx> editButtons_;
  std::unique_ptr<TEditImageEx> editImage_;
  std::unique_ptr<TMRUListEx> mruList_;
  TMRUListboxEx* mruListBox_ = nullptr;  // a component of the control
  TEditButtonPairsEx buttons_;
  int buttonsWidth_ = 0;
  TRect textRect_;
  TAlignment alignment_ = taLeftJustify;
  bool alignmentAssigned_ = false;
  bool alwaysShowBorder_ = false;
  bool flat_ = false;
  bool wordWrap_ = false;
  bool wantTabs_ = false;
  bool wantReturns_ = false;
  bool readOnly_ = false;
  bool editMaskAssigned_ = false;
  bool focused_ = false;
  bool mouseInside_ = false;
  bool borderShown_ = false;
  bool mruSized_ = false;
  IInplaceEditHolderEx* holder_ = nullptr;
  TComponent* holderComponent_ = nullptr;  // the holder as a component, to hear of its removal
};

class TDBEditEx : public TCustomDBEditEx {
  TALVIK_CLASS(TDBEditEx, TCustomDBEditEx)
  explicit TDBEditEx(TComponent* AOwner);
};
