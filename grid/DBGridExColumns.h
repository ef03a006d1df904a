// The grid's column model: the column (TColumnEx, published as TDBGridColumnEx) with its title, the
// column collection, the grid-wide column and title defaults, and the drop-down box settings. Most
// display properties are assigned or inherited: until set they report the field's, the grid's or the
// defaults' value and are not stored.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "grid/DropDownsEx.h"
#include "grid/EditButtons.h"
#include "grid/ExtraRow.h"
#include "grid/MRUList.h"
#include "grid/PropFilerEx.h"
#include "platform/db/DB.h"
#include "platform/gui/DBGrids.h"

class TColumnEx;
class TDBGridColumnsEx;
class TColumnDefValuesEx;
class TColumnTitleDefValuesEx;
class TGridDataLinkEx;
class TColumnFooterEx;
class TColumnFootersEx;
class TSTColumnFilterEx;
class TDBLookupGridEx;
class TPopupDataGridEx;

// ---------------------------------------------------------------- option sets of the grid
// (the base options, TDBGridOptions, and the columns' state are the class library's)

enum TDBGridExOption {
  dghFixed3D,
  dghFrozen3D,
  dghFooter3D,
  dghData3D,
  dghResizeWholeRightPart,
  dghHighlightFocus,
  dghClearSelection,
  dghFitRowHeightToText,
  dghAutoSortMarking,
  dghMultiSortMarking,
  dghEnterAsTab,
  dghTraceColSizing,
  dghIncSearch,
  dghPreferIncSearch,
  dghRowHighlight,
  dghDblClickOptimizeColWidth,
  dghDialogFind
};
using TDBGridExOptions = TSet<TDBGridExOption>;

enum TDBGridExAllowedOperation { alopInsertEx, alopUpdateEx, alopDeleteEx, alopAppendEx };
using TDBGridExAllowedOperations = TSet<TDBGridExAllowedOperation>;

enum TSortMarkerEx { smNoneEx, smDownEx, smUpEx };
enum TTextOrientationEx { tohHorizontal, tohVertical };
enum TColumnButtonStyleEx { cbsAuto, cbsEllipsis, cbsNone, cbsUpDown, cbsDropDown };
// The kinds of a column's values.
enum TColumnEhType { ctCommon, ctPickList, ctLookupField, ctKeyPickList, ctKeyImageList, ctCheckboxes };
enum TDBLookupGridExOption {
  dlgColumnResizeEx,
  dlgColLinesEx,
  dlgRowLinesEx,
  dlgAutoSortMarkingEx,
  dlgMultiSortMarkingEx
};
using TDBLookupGridExOptions = TSet<TDBLookupGridExOption>;

// The members of a column's assigned-values set, bit 0 first.
enum TColumnExValue {
  cvColor,
  cvWidth,
  cvFont,
  cvAlignment,
  cvReadOnly,
  cvTitleColor,
  cvTitleCaption,
  cvTitleAlignment,
  cvTitleFont,
  cvTitleButton,
  cvTitleEndEllipsis,
  cvTitleToolTips,
  cvTitleOrientation,
  cvImeMode,
  cvImeName,
  cvWordWrap,
  cvLookupDisplayFields,
  cvCheckboxes,
  cvAlwaysShowEditButton,
  cvEndEllipsis,
  cvAutoDropDown,
  cvDblClickNextVal,
  cvToolTips,
  cvDropDownSizing,
  cvDropDownShowTitles
};
using TColumnExValues = TSet<TColumnExValue>;

// ---------------------------------------------------------------- what the columns use of their grid

using TColumnsExList = std::vector<TColumnEx*>;

// The grid as its columns and its data link see it (the grid implements it).
class IDBGridExColumnsHost {
 public:
  virtual TComponent* HostComponent() = 0;  // the grid itself
  virtual TColumnDefValuesEx* ColumnDefValues() = 0;
  virtual TGridDataLinkEx* DataLink() = 0;
  virtual TDBGridOptions Options() const = 0;
  virtual TDBGridExOptions OptionsEx() const = 0;
  virtual TDBGridExAllowedOperations AllowedOperations() const = 0;
  virtual TColor GridColor() = 0;
  virtual TColor GridFixedColor() = 0;
  virtual TFont* GridFont() = 0;
  virtual TFont* GridTitleFont() = 0;
  virtual TCanvas* GridCanvas() = 0;
  virtual bool GridHandleAllocated() const = 0;
  virtual bool GridReadOnly() const = 0;
  virtual bool GridFlat() const = 0;
  virtual bool DrawMemoText() const = 0;
  virtual bool UseMultiTitle() const = 0;
  virtual bool AutoFitColWidths() const = 0;
  virtual int DefaultColWidth() const = 0;
  virtual bool StoreColWidthToField() const = 0;
  virtual bool LayoutFromDataSet() const = 0;
  virtual bool LayoutRunning() const = 0;
  virtual bool EditorShowing() = 0;
  // the sort-marked columns in sorting order
  virtual TColumnsExList& SortMarkedColumns() = 0;
  // raw grid columns
  virtual int DataToRawColumn(int DataCol) const = 0;
  virtual int RawColCount() const = 0;
  virtual int RawColWidth(int RawCol) const = 0;
  virtual void SetRawColWidth(int RawCol, int Width) = 0;
  virtual void InvalidateRawCol(int RawCol) = 0;
  virtual void InvalidateGrid() = 0;
  // layout
  virtual bool BeginLayout() = 0;
  virtual void EndLayout() = 0;
  virtual void EndLayoutPass() = 0;
  virtual void InternalLayout() = 0;
  // focus and editing
  virtual int SelectedIndex() const = 0;
  virtual void SetSelectedIndex(int Value) = 0;
  virtual void UpdateEditorState() = 0;
  virtual bool AllowedOperationsCheck() = 0;
  // a column of the grid is going (the grid forgets it wherever it keeps it)
  virtual void ColumnDestroying(TColumnEx* /*Column*/) {}
  // a shown column of the grid is about to hide (the grid ends what it edits there)
  virtual void ColumnHiding(TColumnEx* /*Column*/) {}
  // the column is about to show another field (what was typed into it goes to the field it shows now)
  virtual void ColumnFieldChanging(TColumnEx* /*Column*/) {}
  // Tells the grid of a change to the column (Notify calls the collection's update), keeping the
  // column alive until the change is over.
  virtual void ColumnChanged(TColumnEx* /*Column*/, const std::function<void()>& Notify) { Notify(); }

 protected:
  ~IDBGridExColumnsHost() = default;
};

// ---------------------------------------------------------------- defaults (grid-wide)

class TColumnTitleDefValuesEx : public TPersistent {
  TALVIK_CLASS(TColumnTitleDefValuesEx, TPersistent)
  explicit TColumnTitleDefValuesEx(TColumnDefValuesEx* AOwner);
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  TAlignment Alignment() const;  // taCenter with multi-level titles, else left
  void SetAlignment(TAlignment Value);
  bool AlignmentAssigned() const { return alignmentAssigned_; }
  bool AlignmentStored() const;
  TColor Color() const;  // the grid's fixed colour
  void SetColor(TColor Value);
  bool ColorAssigned() const { return colorAssigned_; }
  bool ColorStored() const;
  bool EndEllipsis() const { return endEllipsis_; }
  void SetEndEllipsis(bool Value);
  TTextOrientationEx Orientation() const { return orientation_; }
  void SetOrientation(TTextOrientationEx Value);
  bool TitleButton() const { return titleButton_; }
  void SetTitleButton(bool Value) { titleButton_ = Value; }
  bool ToolTips() const { return toolTips_; }
  void SetToolTips(bool Value) { toolTips_ = Value; }

 private:
  IDBGridExColumnsHost* Grid() const;
  TColumnDefValuesEx* owner_;
  TAlignment alignment_ = taLeftJustify;
  bool alignmentAssigned_ = false;
  TColor color_ = clBtnFace;
  bool colorAssigned_ = false;
  bool endEllipsis_ = false;
  TTextOrientationEx orientation_ = tohHorizontal;
  bool titleButton_ = false;
  bool toolTips_ = false;
};

class TColumnDefValuesEx : public TPersistent {
  TALVIK_CLASS(TColumnDefValuesEx, TPersistent)
  explicit TColumnDefValuesEx(IDBGridExColumnsHost* AGrid);
  ~TColumnDefValuesEx() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override { return grid_ ? grid_->HostComponent() : nullptr; }
  IDBGridExColumnsHost* Grid() const { return grid_; }

  bool AlwaysShowEditButton() const { return alwaysShowEditButton_; }
  void SetAlwaysShowEditButton(bool Value);
  bool AutoDropDown() const { return autoDropDown_; }
  void SetAutoDropDown(bool Value) { autoDropDown_ = Value; }
  bool DblClickNextVal() const { return dblClickNextVal_; }
  void SetDblClickNextVal(bool Value) { dblClickNextVal_ = Value; }
  bool DropDownShowTitles() const { return dropDownShowTitles_; }
  void SetDropDownShowTitles(bool Value) { dropDownShowTitles_ = Value; }
  bool DropDownSizing() const { return dropDownSizing_; }
  void SetDropDownSizing(bool Value) { dropDownSizing_ = Value; }
  bool EndEllipsis() const { return endEllipsis_; }
  void SetEndEllipsis(bool Value);
  bool ToolTips() const { return toolTips_; }
  void SetToolTips(bool Value) { toolTips_ = Value; }
  TColumnTitleDefValuesEx* Title() const { return title_.get(); }
  void SetTitle(TColumnTitleDefValuesEx* Value) { title_->Assign(Value); }

 private:
  IDBGridExColumnsHost* grid_;
  bool alwaysShowEditButton_ = false;
  bool autoDropDown_ = false;
  bool dblClickNextVal_ = false;
  bool dropDownShowTitles_ = false;
  bool dropDownSizing_ = false;
  bool endEllipsis_ = false;
  bool toolTips_ = false;
  std::unique_ptr<TColumnTitleDefValuesEx> title_;
};

class TDBGridExColumnDefValuesEx : public TColumnDefValuesEx {
  TALVIK_CLASS(TDBGridExColumnDefValuesEx, TColumnDefValuesEx)
  using TColumnDefValuesEx::TColumnDefValuesEx;
};

// ---------------------------------------------------------------- the column's title

class TColumnTitleEx : public TPersistent {
  TALVIK_CLASS(TColumnTitleEx, TPersistent)
  explicit TColumnTitleEx(TColumnEx* AColumn);
  ~TColumnTitleEx() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;
  TColumnEx* Column() const { return column_; }

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  std::string Caption() const;
  virtual void SetCaption(const std::string& Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  TTextOrientationEx Orientation() const;
  void SetOrientation(TTextOrientationEx Value);
  int SortIndex() const { return sortIndex_; }
  void SetSortIndex(int Value);
  TSortMarkerEx SortMarker() const { return sortMarker_; }
  void SetSortMarker(TSortMarkerEx Value);
  bool TitleButton() const;
  void SetTitleButton(bool Value);
  bool ToolTips() const;
  void SetToolTips(bool Value);
  // none -> down -> up -> (none with KeepMulti, else down); without KeepMulti the others are cleared.
  void SetNextSortMarkerValue(bool KeepMulti);
  virtual void RestoreDefaults();

  // Stored-property rules (assigned and different from the default source).
  bool IsAlignmentStored() const;
  bool IsCaptionStored() const;
  bool IsColorStored() const;
  bool IsFontStored() const;
  bool IsEndEllipsisStored() const;
  bool IsOrientationStored() const;
  bool IsTitleButtonStored() const;
  bool IsToolTipsStored() const;

  TAlignment DefaultAlignment() const;
  std::string DefaultCaption() const;
  TColor DefaultColor() const;
  bool DefaultEndEllipsis() const;
  TTextOrientationEx DefaultOrientation() const;
  bool DefaultTitleButton() const;
  bool DefaultToolTips() const;
  void RefreshDefaultFont();

 private:
  void FontChanged(TObject* Sender);
  bool Assigned(TColumnExValue V) const;
  void Mark(TColumnExValue V);
  TColumnEx* column_;
  TAlignment alignment_ = taLeftJustify;
  std::string caption_;
  TColor color_ = clBtnFace;
  bool endEllipsis_ = false;
  std::unique_ptr<TFont> font_;
  std::string hint_;
  int imageIndex_ = -1;
  TTextOrientationEx orientation_ = tohHorizontal;
  int sortIndex_ = 0;
  TSortMarkerEx sortMarker_ = smNoneEx;
  bool titleButton_ = false;
  bool toolTips_ = false;
  bool syncingFont_ = false;
};

// ---------------------------------------------------------------- the drop-down box

// What holds the drop-down grid a drop-down box describes (a column or a look-up combo box): the
// grid is made on first use.
class IDropDownGridOwnerEx {
 public:
  virtual TDBLookupGridEx* DropDownGrid() = 0;
  virtual bool DropDownGridMade() const = 0;

 protected:
  ~IDropDownGridOwnerEx() = default;
};

class TColumnDropDownBoxEx : public TPersistent {
  TALVIK_CLASS(TColumnDropDownBoxEx, TPersistent)
  explicit TColumnDropDownBoxEx(TColumnEx* AColumn);
  TColumnDropDownBoxEx(TColumnEx* AColumn, IDropDownGridOwnerEx* AGridOwner);
  ~TColumnDropDownBoxEx() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  bool AutoFitColWidths() const { return autoFitColWidths_; }
  void SetAutoFitColWidths(bool Value) { autoFitColWidths_ = Value; }
  TDataSource* ListSource() const { return listSource_; }
  void SetListSource(TDataSource* Value);
  TDBLookupGridExOptions Options() const { return options_; }
  void SetOptions(TDBLookupGridExOptions Value) { options_ = Value; }
  bool UseMultiTitle() const { return useMultiTitle_; }
  void SetUseMultiTitle(bool Value) { useMultiTitle_ = Value; }
  TSpecRowEx* SpecRow() const { return specRow_.get(); }
  void SetSpecRow(TSpecRowEx* Value) { specRow_->Assign(Value); }
  bool Sizable() const { return sizable_; }
  void SetSizable(bool Value) { sizable_ = Value; }
  bool ShowTitles() const { return showTitles_; }
  void SetShowTitles(bool Value) { showTitles_ = Value; }
  int Rows() const { return rows_; }
  void SetRows(int Value) { rows_ = Value; }
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }
  bool AutoDrop() const { return autoDrop_; }
  void SetAutoDrop(bool Value) { autoDrop_ = Value; }
  TDropDownAlign Align() const { return align_; }
  void SetAlign(TDropDownAlign Value) { align_ = Value; }
  // The drop-down grid's columns and column defaults (the grid is made when they are asked for).
  TDBGridColumnsEx* Columns();
  void SetColumns(TDBGridColumnsEx* Value);
  TColumnDefValuesEx* ColumnDefValues();
  void SetColumnDefValues(TColumnDefValuesEx* Value);
  bool ColumnsCustomised() const;

 private:
  TColumnEx* column_;
  IDropDownGridOwnerEx* gridOwner_;
  bool autoFitColWidths_ = true;
  TDataSource* listSource_ = nullptr;
  TDBLookupGridExOptions options_{dlgColLinesEx};
  bool useMultiTitle_ = false;
  std::unique_ptr<TSpecRowEx> specRow_;
  bool sizable_ = false;
  bool showTitles_ = false;
  int rows_ = 7;
  int width_ = 0;
  bool autoDrop_ = false;
  TDropDownAlign align_ = daLeft;
};

// ---------------------------------------------------------------- the column

// The parameters of one cell, filled for the cell-parameters event.
class TColCellParamsEx : public TObject {
  TALVIK_CLASS(TColCellParamsEx, TObject)
  TAlignment Alignment = taLeftJustify;
  TColor Background = clWindow;
  TCheckBoxState CheckboxState = cbUnchecked;
  TFont* Font = nullptr;
  int ImageIndex = -1;
  bool ReadOnly = false;
  std::string Text;
  std::uint8_t State = 0;  // 0 drawing, 2 editing
  int Col = -1;
  int Row = -1;
};

using TGetColCellParamsEventEx =
    std::function<void(TObject* Sender, bool EditMode, TColCellParamsEx* Params)>;
using TColCellUpdateDataEventEx =
    std::function<void(TObject* Sender, std::string& Text, TVariant& Value, bool& UseText, bool& Handled)>;

class TColumnEx : public TCollectionItem, public IDropDownGridOwnerEx {
  TALVIK_CLASS(TColumnEx, TCollectionItem)
  explicit TColumnEx(TCollection* Collection);
  ~TColumnEx() override;
  // The drop-down data grid of a look-up cell, made on first use and owned by the column.
  TDBLookupGridEx* DropDownGrid() override;
  bool DropDownGridMade() const override { return dropDownGrid_ != nullptr; }
  TPopupDataGridEx* DataGrid();
  void Assign(TPersistent* Source) override;
  void SetIndex(int Value) override;
  void SetCollection(TCollection* Value) override;
  // The stored properties, each written only when its stored rule keeps it.
  void DefineProperties(TFiler* Filer) override;

  IDBGridExColumnsHost* Grid() const;
  TDBGridColumnsEx* Columns() const;
  TColumnExValues AssignedValues() const { return assigned_; }
  bool IsAssigned(TColumnExValue V) const { return assigned_.Contains(V); }
  void MarkAssigned(TColumnExValue V) { assigned_.Include(V); }
  void UnmarkAssigned(TColumnExValue V) { assigned_.Exclude(V); }

  TAlignment Alignment() const;
  virtual void SetAlignment(TAlignment Value);
  bool AlwaysShowEditButton() const;
  void SetAlwaysShowEditButton(bool Value);
  bool AutoDropDown() const;
  void SetAutoDropDown(bool Value);
  bool AutoFitColWidth() const { return autoFitColWidth_; }
  virtual void SetAutoFitColWidth(bool Value);
  TColumnButtonStyleEx ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TColumnButtonStyleEx Value);
  bool Checkboxes() const;
  void SetCheckboxes(bool Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool DblClickNextVal() const;
  void SetDblClickNextVal(bool Value);
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& Value);
  TColumnDropDownBoxEx* DropDownBox() const { return dropDownBox_.get(); }
  void SetDropDownBox(TColumnDropDownBoxEx* Value) { dropDownBox_->Assign(Value); }
  unsigned DropDownRows() const { return dropDownRows_; }
  void SetDropDownRows(unsigned Value) { dropDownRows_ = Value; }
  bool DropDownShowTitles() const;
  void SetDropDownShowTitles(bool Value);
  bool DropDownSizing() const;
  void SetDropDownSizing(bool Value);
  TSpecRowEx* DropDownSpecRow() const { return dropDownSpecRow_.get(); }
  void SetDropDownSpecRow(TSpecRowEx* Value) { dropDownSpecRow_->Assign(Value); }
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int Value);
  TEditButtonsEx* EditButtons() const { return editButtons_.get(); }
  void SetEditButtons(TEditButtonsEx* Value) { editButtons_->Assign(Value); }
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& Value);
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  TField* Field() const;  // found by name in the grid's dataset and cached
  TField* CachedField() const { return field_; }
  void ResetField() { field_ = nullptr; }  // found again by name at the next use
  virtual void SetField(TField* Value);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TCustomImageList* ImageList() const { return imageList_; }
  void SetImageList(TCustomImageList* Value);
  TImeMode ImeMode() const;
  virtual void SetImeMode(TImeMode Value);
  std::string ImeName() const;
  virtual void SetImeName(const std::string& Value);
  double Increment() const { return increment_; }
  void SetIncrement(double Value) { increment_ = Value; }
  TStrings* KeyList() const;  // made on first read
  bool HasKeyList() const { return keyList_ != nullptr && keyList_->Count() > 0; }
  void SetKeyList(TStrings* Value);
  std::string LookupDisplayFields() const;
  virtual void SetLookupDisplayFields(const std::string& Value);
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int Value);
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int Value);
  TMRUListEx* MRUList() const { return mruList_.get(); }
  void SetMRUList(TMRUListEx* Value) { mruList_->Assign(Value); }
  int NotInKeyListIndex() const { return notInKeyListIndex_; }
  void SetNotInKeyListIndex(int Value);
  TStrings* PickList() const;  // made on first read
  bool HasPickList() const { return pickList_ != nullptr && pickList_->Count() > 0; }
  bool PickListExists() const { return pickList_ != nullptr; }
  void SetPickList(TStrings* Value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* Value);
  bool ReadOnly() const;
  virtual void SetReadOnly(bool Value);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t Value) { tag_ = Value; }
  TColumnTitleEx* Title() const { return title_.get(); }
  void SetTitle(TColumnTitleEx* Value) { title_->Assign(Value); }
  bool ToolTips() const;
  void SetToolTips(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  int Width() const;
  virtual void SetWidth(int Value);
  // Stores a width without telling the grid (the width interceptor under auto-fit).
  void StoreWidthQuietly(int Value) {
    width_ = Value;
    MarkAssigned(cvWidth);
  }
  int InitWidth() const { return initWidth_; }
  void SetInitWidth(int Value) { initWidth_ = Value; }
  bool WordWrap() const;
  virtual void SetWordWrap(bool Value);
  bool Persistent() const { return persistent_; }
  void SetPersistent(bool Value) { persistent_ = Value; }

  // Footers and the filter cell.
  TColumnFooterEx* Footer() const { return footer_.get(); }
  void SetFooter(TColumnFooterEx* Value);
  TColumnFootersEx* Footers() const { return footers_.get(); }
  void SetFooters(TColumnFootersEx* Value);
  // The footer of that footer row: the row's item of Footers when it exists, else Footer.
  TColumnFooterEx* GetFooter(int Row) const;
  // A footer changed (with AllItems: as a whole change of the column).
  void FooterChanged(bool AllItems = false);
  // Every footer's aggregate item follows its value type and field name again.
  void UpdateSumItems();
  TSTColumnFilterEx* STFilter() const { return stFilter_.get(); }
  void SetSTFilter(TSTColumnFilterEx* Value);

  // Defaults and stored rules.
  TColor DefaultColor() const;
  int DefaultWidth() const;
  TFont* DefaultFont() const;
  TAlignment DefaultAlignment() const;
  bool DefaultReadOnly() const;
  bool DefaultWordWrap() const;
  std::string DefaultLookupDisplayFields() const;
  bool DefaultCheckboxes() const;
  bool IsColorStored() const;
  bool IsWidthStored() const;
  bool IsFontStored() const;
  bool IsAlignmentStored() const;
  bool IsReadOnlyStored() const;
  bool IsWordWrapStored() const;
  bool IsCheckboxesStored() const;
  bool IsIncrementStored() const { return increment_ != 1.0; }

  virtual bool DefaultColumn() const { return !persistent_; }
  virtual void RestoreDefaults();
  // The kind of the column's values.
  TColumnEhType GetColumnType() const;
  std::string GetDisplayText();
  int GetImageIndex();
  TCheckBoxState GetCheckboxState();
  void SetCheckboxState(TCheckBoxState Value);
  // Whether the cell may be edited now; with TryEdit the data link enters edit mode (which marks
  // nothing the editor holds as changed).
  bool CanModify(bool TryEdit);
  // Writes an edited value to the field.
  void UpdateData(std::string Text, TVariant Value, bool UseText);
  // Steps the field to the next (Increment 1) or previous value.
  void SetNextFieldValue(double AIncrement);
  // The width the cell's buttons take.
  int EditButtonsWidth();
  // The edit style the in-place editor would show (0 simple ... 6 drop-down), as a main-button test.
  bool HasMainButton();
  virtual void GetColCellParams(bool EditMode, TColCellParamsEx* Params);
  void FillColCellParams(TColCellParamsEx* Params);
  // The look-up dataset of a look-up column (the drop-down box's list source first).
  TDataSet* LookupDataSet() const;
  virtual void SpecRowChanged(TObject* Sender);

  TGetColCellParamsEventEx OnGetCellParams;
  void SetOnGetCellParams(TGetColCellParamsEventEx Value);
  TColCellUpdateDataEventEx OnUpdateData;
  TNotInListEventEx OnNotInList;
  TButtonClickEventEx OnEditButtonClick;
  TButtonDownEventEx OnEditButtonDown;

 protected:
  std::string GetDisplayName() const override;
  virtual std::unique_ptr<TColumnTitleEx> CreateTitle();
  virtual std::unique_ptr<TEditButtonsEx> CreateEditButtons();
  virtual std::unique_ptr<TColumnFooterEx> CreateFooter();
  virtual std::unique_ptr<TColumnFootersEx> CreateFooters();
  virtual std::unique_ptr<TSTColumnFilterEx> CreateSTFilter();
  void Changed(bool AllItems);
  void StoreWidth(int Value);
  void FontChanged(TObject* Sender);
  void RefreshDefaultFont();
  TColumnExValues assigned_;

 private:
  friend class TColumnTitleEx;
  friend class TDBGridColumnsEx;
  // Takes the column out of its grid's sort marking, filter row, selection and sums while it still
  // belongs to the grid; done as the column goes.
  void LeaveGrid();
  // Gives the footers' aggregate items back to the grid's sum list.
  void ReleaseSumItems();
  // Asks the grid to be told when a field the column caches goes.
  void WatchField(TField* Value) const;
  // The column shows Value from now on (the grid settled what was typed for the field before).
  void AssignField(TField* Value);
  TAlignment alignment_ = taLeftJustify;
  bool alwaysShowEditButton_ = false;
  bool autoDropDown_ = false;
  bool autoFitColWidth_ = true;
  TColumnButtonStyleEx buttonStyle_ = cbsAuto;
  bool checkboxes_ = false;
  TColor color_ = clWindow;
  bool dblClickNextVal_ = false;
  std::string displayFormat_;
  std::unique_ptr<TColumnDropDownBoxEx> dropDownBox_;
  std::unique_ptr<TPopupDataGridEx> dropDownGrid_;
  unsigned dropDownRows_ = 7;
  bool dropDownShowTitles_ = false;
  bool dropDownSizing_ = false;
  std::unique_ptr<TSpecRowEx> dropDownSpecRow_;
  int dropDownWidth_ = 0;
  std::unique_ptr<TEditButtonsEx> editButtons_;
  std::string editMask_;
  bool endEllipsis_ = false;
  mutable TField* field_ = nullptr;
  std::string fieldName_;
  std::unique_ptr<TFont> font_;
  bool syncingFont_ = false;
  TCustomImageList* imageList_ = nullptr;
  std::unique_ptr<TChangeLink> imageChangeLink_;
  TImeMode imeMode_ = imDontCare;
  std::string imeName_;
  double increment_ = 1.0;
  mutable std::unique_ptr<TStringList> keyList_;
  std::string lookupDisplayFields_;
  int maxWidth_ = 0;
  int minWidth_ = 0;
  std::unique_ptr<TMRUListEx> mruList_;
  int notInKeyListIndex_ = -1;
  mutable std::unique_ptr<TStringList> pickList_;
  TPopupMenu* popupMenu_ = nullptr;
  bool readOnly_ = false;
  intptr_t tag_ = 0;
  std::unique_ptr<TColumnTitleEx> title_;
  bool toolTips_ = false;
  bool visible_ = true;
  int width_ = 0;
  int initWidth_ = 0;
  bool wordWrap_ = false;
  bool persistent_ = true;
  TDBGridColumnsEx* columns_ = nullptr;  // the collection as a grid's, when it is one
  std::unique_ptr<TColumnFooterEx> footer_;
  std::unique_ptr<TColumnFootersEx> footers_;
  std::unique_ptr<TSTColumnFilterEx> stFilter_;
};

class TDBGridColumnEx : public TColumnEx {
  TALVIK_CLASS(TDBGridColumnEx, TColumnEx)
  using TColumnEx::TColumnEx;
};

// ---------------------------------------------------------------- the collection

class TDBGridColumnsEx : public TCollection {
  TALVIK_CLASS(TDBGridColumnsEx, TCollection)
  TDBGridColumnsEx(IDBGridExColumnsHost* AGrid, TCollectionItemClass ItemClass);
  ~TDBGridColumnsEx() override;
  TPersistent* GetOwner() const override { return grid_ ? grid_->HostComponent() : nullptr; }

  IDBGridExColumnsHost* Grid() const { return grid_; }
  TColumnEx* Items(int Index) const { return static_cast<TColumnEx*>(TCollection::Items(Index)); }
  TColumnEx* operator[](int Index) const { return Items(Index); }
  TColumnEx* Add();         // a customised column
  TColumnEx* AddDefault();  // a column the grid makes from a field
  TDBGridColumnsState State() const;
  // The field names in double quotes, separated by commas, and the order they give.
  std::string ColumnsIndex() const;
  void SetColumnsIndex(const std::string& Value);

 protected:
  void Update(TCollectionItem* Item) override;
  // A column deleted or cleared away leaves the grid before it is taken out of the collection.
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

 private:
  IDBGridExColumnsHost* grid_;
};

// The interceptors the grid unit registers for the column and the collection.
class TColumnExPropertyInterceptor : public TStoragePropertyInterceptor {
  TALVIK_CLASS(TColumnExPropertyInterceptor, TStoragePropertyInterceptor)
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
  int Width() const;
  void SetWidth(int Value);
};

class TColumnsExPropertyInterceptor : public TStoragePropertyInterceptor {
  TALVIK_CLASS(TColumnsExPropertyInterceptor, TStoragePropertyInterceptor)
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
  std::string ColumnsIndex() const;
  void SetColumnsIndex(const std::string& Value);
};

// Registers the two column interceptors (done once by the grid unit's start-up).
void RegisterColumnInterceptors();

// A field's value in the current record as text: its display text without a format; numbers by
// FormatFloat and dates and times by FormatDateTime with one (a null value gives an empty text).
std::string FieldTextByFormat(TField* Field, const std::string& DisplayFormat);
