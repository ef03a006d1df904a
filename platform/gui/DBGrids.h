// The plain data grid: the records of a dataset as rows and a list of its fields as columns, with a
// title row, an indicator column and editing through the in-place editor. Rows are virtual: the grid
// has as many as fit its window, and its data link keeps that many records buffered.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/db/DB.h"
#include "platform/gui/Grids.h"

enum TDBGridOption {
  dgEditing,
  dgAlwaysShowEditor,
  dgTitles,
  dgIndicator,
  dgColumnResize,
  dgColLines,
  dgRowLines,
  dgTabs,
  dgRowSelect,
  dgAlwaysShowSelection,
  dgConfirmDelete,
  dgCancelOnExit,
  dgMultiSelect
};
using TDBGridOptions = TSet<TDBGridOption>;

class TColumn;
class TCustomDBGrid;

// A column's title: its caption (the field's display label until one is given) and alignment.
class TColumnTitle : public TPersistent {
  TALVIK_CLASS(TColumnTitle, TPersistent)
  explicit TColumnTitle(TColumn* Column) : column_(Column) {}

  std::string Caption() const;
  void SetCaption(const std::string& Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TColumn* Column() const { return column_; }
  void Assign(TPersistent* Source) override;

 private:
  TColumn* column_;
  std::string caption_;
  bool captionAssigned_ = false;
  TAlignment alignment_ = taLeftJustify;
};

// One column of the grid: the field it shows and how. Width and Alignment follow the field until set.
class TColumn : public TCollectionItem {
  TALVIK_CLASS(TColumn, TCollectionItem)
  explicit TColumn(TCollection* Collection);
  ~TColumn() override;

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  // The dataset's field of that name (nullptr while the dataset is closed or has none).
  TField* Field() const;
  TColumnTitle* Title() const { return title_.get(); }
  int Width() const;
  void SetWidth(int Value);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  TCustomDBGrid* Grid() const;
  void Assign(TPersistent* Source) override;

 protected:
  std::string GetDisplayName() const override;

 private:
  friend class TColumnTitle;
  std::string fieldName_;
  // the field found for fieldName_, valid while the grid's field generation is the same
  mutable TField* field_ = nullptr;
  mutable int fieldGeneration_ = -1;
  std::unique_ptr<TColumnTitle> title_;
  int width_ = 0;
  bool widthAssigned_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool alignmentAssigned_ = false;
  bool visible_ = true;
  bool readOnly_ = false;
};

enum TDBGridColumnsState { csDefault, csCustomized };

// The grid's columns. Until the program adds one, they are made from the dataset's visible fields.
class TDBGridColumns : public TCollection {
  TALVIK_CLASS(TDBGridColumns, TCollection)
  explicit TDBGridColumns(TCustomDBGrid* Grid);

  TCustomDBGrid* Grid() const { return grid_; }
  TColumn* Items(int Index) const { return static_cast<TColumn*>(TCollection::Items(Index)); }
  TColumn* Add();
  TDBGridColumnsState State() const { return state_; }
  void SetState(TDBGridColumnsState Value);
  // Makes one column for each visible field of the dataset.
  void RebuildColumns();
  TPersistent* GetOwner() const override;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  friend class TCustomDBGrid;
  TCustomDBGrid* grid_;
  TDBGridColumnsState state_ = csDefault;
  int internal_ = 0;
};

// The grid's link to its data source: the record window is the grid's rows.
class TGridDataLink : public TDataLink {
  TALVIK_CLASS(TGridDataLink, TDataLink)
  explicit TGridDataLink(TCustomDBGrid* Grid) : grid_(Grid) {}
  TCustomDBGrid* Grid() const { return grid_; }
  // The grid's editor holds a change not yet in the field.
  bool Modified() const { return modified_; }
  void Modified(bool Value) { modified_ = Value; }
  void Reset();

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int Distance) override;
  void EditingChanged() override;
  void FocusControl(TField** Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  TCustomDBGrid* grid_;
  bool modified_ = false;
  bool inUpdateData_ = false;
};

using TDBGridClickEvent = std::function<void(TColumn* Column)>;
using TDrawColumnCellEvent = std::function<void(TObject* Sender, const TRect& Rect, int DataCol,
                                                TColumn* Column, TGridDrawState State)>;

class TCustomDBGrid : public TCustomGrid {
  TALVIK_CLASS(TCustomDBGrid, TCustomGrid)
  explicit TCustomDBGrid(TComponent* AOwner);
  ~TCustomDBGrid() override;

  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  TGridDataLink* DataLink() const { return dataLink_.get(); }
  TDBGridColumns* Columns() const { return columns_.get(); }
  TDBGridOptions Options() const { return dbOptions_; }
  void SetOptions(TDBGridOptions Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  // The focused column as a data column (raw column minus the indicator) and its field.
  int SelectedIndex() const;
  void SetSelectedIndex(int Value);
  TField* SelectedField() const;
  int FieldCount() const { return columns_->Count(); }
  TField* Fields(int Index) const;
  int IndicatorOffset() const { return dbOptions_.Contains(dgIndicator) ? 1 : 0; }
  int TitleOffset() const { return dbOptions_.Contains(dgTitles) ? 1 : 0; }
  // Rebuilds columns (when they are the default ones) and the cell layout.
  void LayoutChanged();
  // The cell layout of the columns as they are.
  void ColumnsLayout();
  // Draws a text in a cell the way the grid does (clipped, opaque, two pixels in).
  void DefaultDrawColumnCell(const TRect& Rect, int DataCol, TColumn* Column, TGridDrawState State);

  TNotifyEvent OnColEnter;
  TNotifyEvent OnColExit;
  TDBGridClickEvent OnCellClick;
  TDBGridClickEvent OnTitleClick;
  TDrawColumnCellEvent OnDrawColumnCell;

  // Answers "Delete record?" with mbOK/mbCancel; replaceable for tests.
  static std::function<bool(const std::string& Text)> ConfirmDelete;

 protected:
  void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
  bool SelectCell(int ACol, int ARow) override;
  void TopLeftChanged() override;
  // The pictures of a record row's cells: their texts and alignments, whether the row is the current
  // one and the cell the focused one, the dataset's state and the editor's text.
  bool CellPictures(int ARow, const std::vector<bool>& Wanted, std::vector<std::uint64_t>& Pictures) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void ColWidthsChanged() override;
  void TimedScroll(TGridScrollDirections Direction) override;
  bool CanEditShow() override;
  bool CanEditAcceptKey(char32_t Key) override;
  bool CanEditModify() override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  int GetEditLimit() override;
  std::string GetEditMask(int ACol, int ARow) override;
  void UpdateVertScrollBar() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void DoExit() override;
  void Resize() override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void FontChanged() override;

  // Reactions to the data link.
  virtual void LinkActive(bool Value);
  virtual void DataChanged();
  virtual void Scroll(int Distance);
  virtual void RecordChanged(TField* Field);
  virtual void EditingChanged();
  virtual void UpdateData();
  virtual void DrawDataCell(const TRect& Rect, TField* Field, TGridDrawState State);
  void UpdateRowCount();
  void UpdateActive();
  TColumn* ColumnAt(int RawCol) const;
  int RawToDataColumn(int RawCol) const { return RawCol - IndicatorOffset(); }
  int DataToRawColumn(int DataCol) const { return DataCol + IndicatorOffset(); }
  bool AcquireFocus();

 private:
  friend class TGridDataLink;
  friend class TColumn;
  void DrawIndicator(const TRect& Rect, int DataRow);
  void MoveBy(int Distance);
  void InsertOrAppend(bool Append);
  void DeleteCurrent();
  void CancelEdit();
  bool EditorVisible() const;

  std::unique_ptr<TDBGridColumns> columns_;
  std::unique_ptr<TGridDataLink> dataLink_;
  TDBGridOptions dbOptions_{dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                            dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
  bool readOnly_ = false;
  std::string editText_;
  int layoutLock_ = 0;
  int syncing_ = 0;
  int fieldGeneration_ = 0;  // grows whenever the dataset's fields may have changed
  int startingEdit_ = 0;     // the record is being put in edit: the editor keeps its text
  TGridCoord pressedCell_{-1, -1};
};

class TDBGrid : public TCustomDBGrid {
  TALVIK_CLASS(TDBGrid, TCustomDBGrid)
  using TCustomDBGrid::TCustomDBGrid;
};
