// The look-up grid: a data grid over a list dataset from which the user chooses one record; the
// chosen record's key becomes the value of a field of the edited record (or the grid's own KeyValue).
// A special row above the data rows may stand for a value outside the list. The popup data grid is
// the same grid as a borderless drop-down window with a size grip, the list of the look-up combo box
// and of the grid's look-up cells.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "grid/DBGridEx.h"
#include "grid/DropDownsEx.h"
#include "grid/ExtraRow.h"

class TDBLookupGridEx;

inline constexpr char SPropDefByLookup[] = "Property already defined by lookup field";
inline constexpr char SDataSourceFixed[] = "Operation not allowed in a DBCtrlGrid";

// The link to the edited record's data source.
class TLookupGridDataLinkEx : public TDataLink {
  TALVIK_CLASS(TLookupGridDataLinkEx, TDataLink)
  explicit TLookupGridDataLinkEx(TDBLookupGridEx* AGrid) : grid_(AGrid) {}

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;

 private:
  TDBLookupGridEx* grid_;
};

// The special-row cell of one column: its own text, colour and font, or the grid's SpecRow's.
class TGridColumnSpecCellEx : public TPersistent {
  TALVIK_CLASS(TGridColumnSpecCellEx, TPersistent)
  explicit TGridColumnSpecCellEx(TColumnEx* AColumn);
  ~TGridColumnSpecCellEx() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  std::string Text() const;
  void SetText(const std::string& Value);
  TColor Color() const;
  void SetColor(TColor Value);
  TFont* Font() const;
  void SetFont(TFont* Value);
  bool TextAssigned() const { return textAssigned_; }
  bool ColorAssigned() const { return colorAssigned_; }
  bool FontAssigned() const { return fontAssigned_; }

 private:
  TDBLookupGridEx* LookupGrid() const;
  void FontChanged(TObject* Sender);
  TColumnEx* column_;
  std::string text_;
  TColor color_ = clWindow;
  std::unique_ptr<TFont> font_;
  bool textAssigned_ = false;
  bool colorAssigned_ = false;
  bool fontAssigned_ = false;
  bool syncingFont_ = false;
};

class TDBLookupGridColumnEx : public TColumnEx {
  TALVIK_CLASS(TDBLookupGridColumnEx, TColumnEx)
  explicit TDBLookupGridColumnEx(TCollection* Collection);
  ~TDBLookupGridColumnEx() override;
  void Assign(TPersistent* Source) override;
  TGridColumnSpecCellEx* SpecCell() const { return specCell_.get(); }
  void SetSpecCell(TGridColumnSpecCellEx* Value) { specCell_->Assign(Value); }
  void SetIndex(int Value) override;

 private:
  std::unique_ptr<TGridColumnSpecCellEx> specCell_;
};

class TDBLookupGridColumnDefValuesEx : public TDBGridExColumnDefValuesEx {
  TALVIK_CLASS(TDBLookupGridColumnDefValuesEx, TDBGridExColumnDefValuesEx)
  using TDBGridExColumnDefValuesEx::TDBGridExColumnDefValuesEx;
};

// The key fits the key fields: a scalar for one field, a one-dimensional array of n elements for
// n fields (n at least 2).
bool KeyValueFitsKeyFields(const TVariant& Value, int KeyFieldCount);

// The one timestamp of the last incremental-search key of all look-up lists.
std::uint64_t& LookupSearchTimeStamp();
constexpr std::uint64_t kLookupSearchPause = 2000;  // ms
constexpr int kLookupSearchMaxLength = 32;          // characters

class TDBLookupGridEx : public TCustomDBGridEx {
  TALVIK_CLASS(TDBLookupGridEx, TCustomDBGridEx)
  explicit TDBLookupGridEx(TComponent* AOwner);
  ~TDBLookupGridEx() override;

  // ---- the data side ----
  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const std::string& DataField() const { return dataFieldName_; }
  void SetDataField(const std::string& Value);
  TField* Field() const { return dataFields_.empty() ? nullptr : dataFields_.front(); }
  const std::vector<TField*>& MasterFields() const { return masterFields_; }
  const std::string& MasterFieldNames() const { return masterFieldNames_; }
  bool ReadOnly() const { return dataLink_->ReadOnly(); }
  void SetReadOnly(bool Value) { dataLink_->SetReadOnly(Value); }
  TDataLink* LookupDataLink() const { return dataLink_.get(); }

  // ---- the list side ----
  TDataSource* ListSource() const { return lookupMode_ ? nullptr : TCustomDBGridEx::DataSource(); }
  void SetListSource(TDataSource* Value);
  TDataSet* ListDataSet() const;
  const std::string& KeyField() const { return keyFieldName_; }
  void SetKeyField(const std::string& Value);
  const std::string& ListField() const { return listFieldName_; }
  void SetListField(const std::string& Value);
  int ListFieldIndex() const { return listFieldIndex_; }
  void SetListFieldIndex(int Value);
  const std::vector<TField*>& KeyFields() const { return keyFields_; }
  const std::vector<TField*>& ListFields() const { return listFields_; }
  TField* DisplayedListField() const { return listField_; }
  bool ListActive() const { return listActive_; }
  bool LookupMode() const { return lookupMode_; }
  bool LockPosition() const { return lockPosition_; }
  void SetLockPosition(bool Value) { lockPosition_ = Value; }

  const TVariant& KeyValue() const { return keyValue_; }
  void SetKeyValue(const TVariant& Value);
  // The display text of the chosen record or of the selected special row.
  const std::string& SelectedText() const { return selectedText_; }
  const std::string& SearchText() const { return searchText_; }
  void ClearSearchText() { searchText_.clear(); }

  TSpecRowEx* SpecRow() const { return specRow_.get(); }
  void SetSpecRow(TSpecRowEx* Value) { specRow_->Assign(Value); }
  bool SpecRowSelected() const { return specRowSelected_; }
  int SpecRowHeight() const;

  int RowCount() const { return rowCount_; }
  void SetRowCount(int Value);
  bool ShowTitles() const { return Options().Contains(dgTitles); }
  void SetShowTitles(bool Value);
  void SetUseMultiTitle(bool Value);
  TDBLookupGridExOptions LookupOptions() const { return lookupOptions_; }
  void SetLookupOptions(TDBLookupGridExOptions Value);
  bool FitColumns() const { return fitColumns_; }
  void SetFitColumns(bool Value);
  // The visible columns' widths (plus a grid line each with dgColLines).
  int ColumnsWidth();
  // The cells between the titles (and the special row) and the last data row.
  TRect DataRect();
  // The band of the special row (empty when it does not show).
  TRect SpecRowRect();
  void NotifyListChanged();

  // ---- the grid's virtual operations ----
  virtual bool CanModify();
  virtual bool KeyListOk(const TVariant& Value) const;
  virtual int BorderSize();
  virtual int TextRowHeight();
  virtual int DataRowHeight();
  virtual void KeyValueChanged();
  virtual void UpdateScrollBar();
  virtual void ProcessSearchKey(char32_t Key);
  virtual void SelectKeyValue(const TVariant& Value);
  virtual void UpdateDataFields();
  virtual void UpdateListFields();
  virtual bool LocateKey();
  // The height for RowCount rows, titles, the special row and the border.
  int HeightForRows(int Rows);
  void UpdateHeight() { SetRowCount(rowCount_); }

  TNotifyEvent OnClick;
  // The special row's settings changed.
  TNotifyEvent OnSpecRowChanged;

  // A column moves from one index to another: the special row's texts, the displayed field and
  // ListField follow; with Rebuild the default columns are made again in the new order.
  void ColumnIndexChanging(int FromIndex, int ToIndex, bool Rebuild);

 protected:
  friend class TLookupGridDataLinkEx;
  std::unique_ptr<TDBGridExColumnDefValuesEx> CreateColumnDefValues() override;
  std::unique_ptr<TDBGridColumnsEx> CreateColumns() override;
  void DefineFieldMap() override;
  void InternalLayoutPass() override;
  int SpecRowCount() const override;
  void DrawSpecRowCell(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                       TGridDrawState AState) override;
  bool HighlightDataCell(int ACol, int ARow, TGridDrawState State, TColor& AColor, TFont* AFont,
                         bool InSelection = false) override;
  void Paint() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void LinkActive(bool Value) override;
  void DataChanged() override;
  void Scroll(int Distance) override;
  void UpdateVertScrollBar() override;
  bool CanEditShow() override { return false; }
  // Whether the grid takes the focus on a press (the popup grid does not).
  virtual bool FocusOnPress() const { return true; }
  // A key-value change the user caused (the popup grid reports it).
  virtual void UserKeyValueChanged() {}

  void DataLinkRecordChanged(TField* Field);
  // Moves the list by Distance records from the key record and makes the reached record the key.
  void MoveListBy(int Distance);
  // The list moves to the record at a data row (0-based) and makes it the key.
  void SelectRowAt(int DataRow);
  void SelectSpecRow();
  void SelectCurrent();
  TVariant CurrentKey() const;
  // Whether the current list record is the key record.
  bool CurrentIsKey() const;
  void StopDragTimer();
  // The press on the rows ends: its scrolling stops and the grid lets go of the mouse it holds.
  void EndPress();
  void DragScrollTick();
  void ScrollMessage(int Code, int Pos);
  void CheckNotLookupMode();

  bool mousePressed_ = false;

 private:
  std::unique_ptr<TLookupGridDataLinkEx> dataLink_;
  std::unique_ptr<TDataSource> lookupSource_;
  std::string dataFieldName_;
  std::vector<TField*> dataFields_;
  std::vector<TField*> masterFields_;
  std::string masterFieldNames_;
  std::string keyFieldName_;
  std::vector<TField*> keyFields_;
  std::string listFieldName_;
  std::vector<TField*> listFields_;
  int listFieldIndex_ = 0;
  TField* listField_ = nullptr;
  TVariant keyValue_;
  bool lookupMode_ = false;
  bool listActive_ = false;
  bool lockPosition_ = false;
  std::string searchText_;
  std::string selectedText_;
  std::unique_ptr<TSpecRowEx> specRow_;
  bool specRowSelected_ = false;
  int rowCount_ = 7;
  TDBLookupGridExOptions lookupOptions_{dlgColLinesEx};
  bool fitColumns_ = false;
  bool updatingFields_ = false;
  bool settingRows_ = false;
  // dragging beyond an edge
  static constexpr std::uintptr_t kDragTimerId = 3;
  bool dragTimerOn_ = false;
  int dragDirection_ = 0;
  int dragDistance_ = 0;
};

// ---------------------------------------------------------------- the popup data grid

using TPopupDataGridCloseUpEvent = std::function<void(TObject* Sender, bool Accept)>;

class TPopupDataGridEx : public TDBLookupGridEx {
  TALVIK_CLASS(TPopupDataGridEx, TDBLookupGridEx)
  explicit TPopupDataGridEx(TComponent* AOwner);
  ~TPopupDataGridEx() override;

  TSizeGripEx* SizeGrip() const { return sizeGrip_; }
  bool CanFocus() override { return false; }
  // Set by a size change the user made (the owner clears it when it opens the grid).
  bool SizeChanged() const { return sizeChanged_; }
  void SetSizeChanged(bool Value) { sizeChanged_ = Value; }
  // Set when the user moved columns (the owner reads it when the grid closes).
  bool ColumnsMoved() const { return columnsMoved_; }
  void SetColumnsMoved(bool Value) { columnsMoved_ = Value; }
  bool SpecRowChanged() const { return specRowChanged_; }
  void SetSpecRowChanged(bool Value) { specRowChanged_ = Value; }
  int BorderSize() override;
  // Never smaller than a scroll bar's width and arrow height.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  TPopupDataGridCloseUpEvent OnMouseCloseUp;
  TNotifyEvent OnUserKeyValueChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  // The popup draws a frame of its own.
  bool FlatBorderShown() override { return false; }
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void KeyValueChanged() override;
  bool FocusOnPress() const override { return false; }

 private:
  // Marks the key-value changes of a user action.
  struct UserChange;
  TSizeGripEx* sizeGrip_ = nullptr;  // a child component
  bool userKeyValueChanged_ = false;
  bool sizeChanged_ = false;
  bool columnsMoved_ = false;
  bool specRowChanged_ = false;
  TPoint lastMouse_{-1, -1};
};
