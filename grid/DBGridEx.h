// The data grid: the records of a dataset as rows and a chosen list of its fields as columns, with an
// indicator column, a title row and an in-place editor, on the base grid's cell model. All behaviour
// lives in TCustomDBGridEx; TDBGridEx only publishes it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid/DBGridExColumns.h"
#include "grid/DBGridExDataService.h"
#include "grid/DBGridExFilter.h"
#include "grid/DBGridExFooters.h"
#include "grid/DBGridExInplace.h"
#include "grid/DBGridExSelection.h"
#include "grid/DBGridExStyle.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/IniFiles.h"

class TCustomDBGridEx;
class TColumnEx;

// Deferred layout request (posted to the grid's own window at most once).
constexpr UINT WM_DEFERLAYOUT = WM_USER + 100;
constexpr int kIndicatorWidth = 11;
constexpr int kTitleMargin = 4;
// The room a sort marker keeps at the right of its title.
constexpr int kSortMarkerArea = 16;

using TDBGridExClickEvent = std::function<void(TColumnEx* Column)>;
using TTitleExClickEvent = std::function<void(TObject* Sender, int ACol, TColumnEx* Column)>;
using TCheckTitleExBtnEvent =
    std::function<void(TObject* Sender, int ACol, TColumnEx* Column, bool& Enabled)>;
using TDrawColumnExCellEvent = std::function<void(TObject* Sender, const TRect& Rect, int DataCol,
                                                  TColumnEx* Column, TGridDrawState State)>;
using TGetCellExParamsEvent = std::function<void(TObject* Sender, TColumnEx* Column, TFont* AFont,
                                                 TColor& Background, TGridDrawState State)>;
using TDrawDataCellEvent =
    std::function<void(TObject* Sender, const TRect& Rect, TField* Field, TGridDrawState State)>;
using TDrawFooterCellEvent = std::function<void(TObject* Sender, int DataCol, int Row, TColumnEx* Column,
                                                TRect Rect, TGridDrawState State)>;
using TGetBtnExParamsEvent = std::function<void(TObject* Sender, TColumnEx* Column, TFont* AFont,
                                                TColor& Background, TSortMarkerEx& SortMarker, bool IsDown)>;
using TGetFooterParamsEvent =
    std::function<void(TObject* Sender, int DataCol, int Row, TColumnEx* Column, TFont* AFont,
                       TColor& Background, TAlignment& Alignment, TGridDrawState State, std::string& Text)>;

enum TDBGridExEditAction { geaCutEx, geaCopyEx, geaPasteEx, geaDeleteEx, geaSelectAllEx };
using TDBGridExEditActions = TSet<TDBGridExEditAction>;

// What the data-aware edit controls and the filter-row editor ask of the control that holds them as
// its in-place editor.
class IInplaceEditHolderEx {
 public:
  virtual bool CanEdit(TControl* Editor) = 0;
  virtual void GetMouseDownInfo(TPoint& Pos, std::uint64_t& Time) = 0;
  virtual void InplaceEditWndProc(TControl* Editor, TMessage& Message) = 0;
  virtual void InplaceEditKeyDown(TControl* Editor, WORD& Key, TShiftState Shift) = 0;
  virtual void InplaceEditKeyPress(TControl* Editor, char32_t& Key) = 0;
  virtual void InplaceEditKeyUp(TControl* Editor, WORD& Key, TShiftState Shift) = 0;

 protected:
  ~IInplaceEditHolderEx() = default;
};

// ---------------------------------------------------------------- layout: title tree, scroll bars

// A node of the multi-level title tree. Children form a circular list through Next; a node without a
// host owns (and frees) its whole subtree.
class THeadTreeNode {
 public:
  THeadTreeNode() = default;  // the root: "Root", height 10
  THeadTreeNode(const std::string& AText, int AHeight, int AWidth);
  ~THeadTreeNode();
  THeadTreeNode(const THeadTreeNode&) = delete;
  THeadTreeNode& operator=(const THeadTreeNode&) = delete;

  // A new sibling right after After.
  THeadTreeNode* Add(THeadTreeNode* After, const std::string& AText, int AHeight, int AWidth);
  // A new last child of Node.
  THeadTreeNode* AddChild(THeadTreeNode* Node, const std::string& AText, int AHeight, int AWidth);
  // Whether Node lies in this node's subtree (this node included).
  bool Find(THeadTreeNode* Node);
  void FreeAllChild();
  // Groups the siblings From..To under a new node with AText and band height AHeight.
  void Union(THeadTreeNode* From, THeadTreeNode* To, const std::string& AText, int AHeight);
  // Visits every node below this one, depth first; a false answer stops the walk.
  bool ForEach(const std::function<bool(THeadTreeNode*)>& Proc);
  int ChildCount() const;

  THeadTreeNode* Child = nullptr;
  TColumnEx* Column = nullptr;
  int Height = 10;
  bool Drawn = false;
  THeadTreeNode* Host = nullptr;
  THeadTreeNode* Next = this;
  std::string Text = "Root";
  int WIndent = 0;
  int Width = 0;
  int ExtraWidth = 0;
};

// One leaf of the title tree per column.
struct TDBGridExTitleCell {
  THeadTreeNode* Node = nullptr;
  TColumnEx* Column = nullptr;
};

enum TScrollBarVisibleModeEx { sbAlwaysShowEx, sbNeverShowEx, sbAutoShowEx };

// The settings of one of the grid's scroll bars; an external scroll-bar control may stand in for the
// window's own bar (its scroll notifications then reach the grid).
class TDBGridExScrollBar : public TPersistent {
  TALVIK_CLASS(TDBGridExScrollBar, TPersistent)
  TDBGridExScrollBar(TCustomDBGridEx* AGrid, TScrollBarKind AKind);
  ~TDBGridExScrollBar() override;
  void Assign(TPersistent* Source) override;

  TCustomDBGridEx* Grid() const { return grid_; }
  TScrollBarKind Kind() const { return kind_; }
  TScrollBar* ExtScrollBar() const { return extScrollBar_; }
  void SetExtScrollBar(TScrollBar* Value);
  bool Tracking() const { return tracking_; }
  void SetTracking(bool Value) { tracking_ = Value; }
  bool Visible() const { return visibleMode_ != sbNeverShowEx; }
  void SetVisible(bool Value);
  TScrollBarVisibleModeEx VisibleMode() const { return visibleMode_; }
  void SetVisibleMode(TScrollBarVisibleModeEx Value);
  bool IsScrollBarShowing();
  bool GetScrollInfo(SCROLLINFO& ScrollInfo);
  // The grid lost the external bar (it is being freed): nothing to give back.
  void ExtScrollBarFreed();

 private:
  void Detach();
  TCustomDBGridEx* grid_;
  TScrollBarKind kind_;
  TScrollBar* extScrollBar_ = nullptr;
  TWndMethod savedWindowProc_;
  bool tracking_ = false;
  TScrollBarVisibleModeEx visibleMode_ = sbAutoShowEx;
};

class TVertDBGridExScrollBar : public TDBGridExScrollBar {
  TALVIK_CLASS(TVertDBGridExScrollBar, TDBGridExScrollBar)
  explicit TVertDBGridExScrollBar(TCustomDBGridEx* AGrid) : TDBGridExScrollBar(AGrid, sbVertical) {}
};

// The grid's draw information: the base grid's two axes and the extent of the footer rows, which are
// drawn pinned to the bottom of the client area.
struct TGridDrawInfoEx {
  TGridDrawInfo Info;
  int FooterExtent = 0;
};

// Where a raw cell lies (GetCellType): its column area and row area, and its data column and row.
enum TCellAreaEx { kAreaIndicator = 0, kAreaData = 1 };
enum TRowAreaEx {
  kAreaTitle = 0,
  kAreaFilter = 1,
  kAreaDataRow = 2,
  kAreaSeparator = 3,
  kAreaFooter = 4,
  kAreaSpecRow = 5
};
struct TCellTypeEx {
  int ColArea = kAreaData;
  int RowArea = kAreaDataRow;
  int DataCol = 0;
  int DataRow = 0;
};

// The hint window of a cell whose text does not fit: it measures with the font handed as hint data.
class TToolTipsWindow : public THintWindow {
  TALVIK_CLASS(TToolTipsWindow, THintWindow)
  using THintWindow::THintWindow;
  TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData) override;

 protected:
  void Paint() override;
};

// A memory-table dataset's interface (no dataset of the program offers it).
class IMemTableEx {
 public:
  virtual int MemTableRecordCount() = 0;
  virtual int MemTableRecordIndex() = 0;
  virtual void MemTableFetchRecords(int Count) = 0;
  virtual int MemTableActiveRow() = 0;
  virtual void MemTableSetActiveRow(int Value) = 0;

 protected:
  ~IMemTableEx() = default;
};

class TInplaceFilterEditEx;

class TCustomDBGridEx : public TCustomGrid,
                        public IDBGridExColumnsHost,
                        public IDBGridExLinkHost,
                        public IDBGridExStyleClient,
                        public IInplaceEditHolderEx {
  TALVIK_CLASS(TCustomDBGridEx, TCustomGrid)
  explicit TCustomDBGridEx(TComponent* AOwner);
  ~TCustomDBGridEx() override;

  // ---- published properties ----
  TDBGridExAllowedOperations AllowedOperations() const override { return allowedOperations_; }
  void SetAllowedOperations(TDBGridExAllowedOperations Value) { allowedOperations_ = Value; }
  bool AutoFitColWidths() const override { return autoFitColWidths_; }
  void SetAutoFitColWidths(bool Value);
  TDBGridExColumnDefValuesEx* ColumnDefValuesEx() const { return columnDefValues_.get(); }
  TColumnDefValuesEx* ColumnDefValues() override { return columnDefValues_.get(); }
  void SetColumnDefValues(TColumnDefValuesEx* Value) { columnDefValues_->Assign(Value); }
  TDBGridColumnsEx* Columns() const { return columns_.get(); }
  void SetColumns(TDBGridColumnsEx* Value) { columns_->Assign(Value); }
  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  bool DrawMemoText() const override { return drawMemoText_; }
  void SetDrawMemoText(bool Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  TColor FooterColor() const { return footerColor_; }
  void SetFooterColor(TColor Value);
  TFont* FooterFont() { return footerFont_.get(); }
  void SetFooterFont(TFont* Value) { footerFont_->Assign(Value); }
  int FooterRowCount() const { return footerRowCount_; }
  void SetFooterRowCount(int Value);
  int FrozenCols() const { return frozenCols_; }
  void SetFrozenCols(int Value);
  int MinAutoFitWidth() const { return minAutoFitWidth_; }
  void SetMinAutoFitWidth(int Value);
  TDBGridOptions Options() const override { return options_; }
  void SetOptions(TDBGridOptions Value);
  TDBGridExOptions OptionsEx() const override { return optionsEx_; }
  void SetOptionsEx(TDBGridExOptions Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  int RowHeight() const { return rowHeight_; }
  void SetRowHeight(int Value);
  int RowLines() const { return rowLines_; }
  void SetRowLines(int Value);
  bool RowSizingAllowed() const { return rowSizingAllowed_; }
  void SetRowSizingAllowed(bool Value);
  bool SortLocal() const { return sortLocal_; }
  void SetSortLocal(bool Value) { sortLocal_ = Value; }
  TFont* TitleFont() { return titleFont_.get(); }
  void SetTitleFont(TFont* Value) { titleFont_->Assign(Value); }
  int TitleHeight() const { return titleHeight_; }
  void SetTitleHeight(int Value);
  int TitleLines() const { return titleLines_; }
  void SetTitleLines(int Value);
  TCustomImageList* TitleImages() const { return titleImages_; }
  void SetTitleImages(TCustomImageList* Value);
  bool UseMultiTitle() const override { return useMultiTitle_; }
  void SetUseMultiTitle(bool Value);
  int VTitleMargin() const { return vTitleMargin_; }
  void SetVTitleMargin(int Value);
  TDBGridExEditActions EditActions() const { return editActions_; }
  void SetEditActions(TDBGridExEditActions Value) { editActions_ = Value; }
  TDBGridExAllowedSelections AllowedSelections() const { return allowedSelections_; }
  // A selection of a kind no longer allowed is cleared.
  void SetAllowedSelections(TDBGridExAllowedSelections Value);
  TDBGridExStyle* Style() const { return style_; }
  void SetStyle(TDBGridExStyle* Value) override;

  // ---- grid state ----
  int IndicatorOffset() const { return indicatorOffset_; }
  int TitleOffset() const { return titleOffset_; }
  int LayoutLock() const { return layoutLock_; }
  int UpdateLock() const { return updateLock_; }
  bool LayoutRunning() const override { return layoutRunning_; }
  bool MultiLineRows() const { return multiLineRows_; }
  int CellButtonWidth() const { return cellButtonWidth_; }
  int ShortRowButtonWidth() const { return shortRowButtonWidth_; }
  const std::string& EditText() const { return editText_; }
  const TVariant& EditKeyValue() const { return editKeyValue_; }
  void SetEditKeyValue(const TVariant& Value) { editKeyValue_ = Value; }
  void SetGridEditText(const std::string& Value) { editText_ = Value; }
  const TColumnsExList& VisibleColumns() const { return visibleColumns_; }
  TColumnsExList& SortMarkedColumns() override { return sortMarkedColumns_; }
  TGridDataLinkEx* DataLink() override { return dataLink_.get(); }
  TColCellParamsEx* ColCellParams() const { return colCellParams_.get(); }
  int LayoutPasses() const { return layoutPasses_; }
  bool AcquireFocusFlag() const { return acquireFocus_; }
  void SetAcquireFocusFlag(bool Value) { acquireFocus_ = Value; }
  bool StoreColWidthToField() const override { return true; }
  bool LayoutFromDataSet() const override { return layoutFromDataSet_; }
  // The title row's height, as the layout pass computed it.
  int TitleRowHeight() const { return titleRowHeight_; }

  // ---- operations ----
  int GetSelectedIndex() const;
  void SetSelectedIndexEx(int Value);
  int SelectedIndex() const override { return GetSelectedIndex(); }
  void SetSelectedIndex(int Value) override { SetSelectedIndexEx(Value); }
  TField* GetSelectedField();
  TField* SelectedField() override { return GetSelectedField(); }
  void SetSelectedField(TField* Value) override;
  TField* EditedField() override;
  int RawToDataColumn(int RawCol) const { return RawCol - indicatorOffset_; }
  int DataToRawColumn(int DataCol) const override { return DataCol + indicatorOffset_; }
  bool BeginLayout() override;
  void EndLayout() override;
  void CancelLayout();
  void DeferLayout();
  void BeginUpdateLayout() { ++updateLock_; }
  // Gives one update lock back; a deferred layout that arrived while the grid was locked comes again.
  void EndUpdateLayout();
  virtual void LayoutChanged();
  void EndLayoutPass() override;
  void InternalLayout() override;
  void UpdateEditorState() override;
  void ClearSelection();
  void SelectColumn(int RawCol, int Direction, bool Select);
  bool ContainsFocus();
  virtual bool HasFocus();
  virtual bool AcquireFocus() override;
  void ShowEditor() override;
  virtual void UpdateRowCount();
  void UpdateVertScrollBar() override;
  virtual void UpdateHorzScrollBar();
  void UpdateTabStops();
  bool AllowedOperationsCheck() override;
  bool CanModifyCell();  // the modify test the editor also calls
  // Keyboard routines.
  void MoveBy(bool Select, int Distance, bool RecordMode, bool ToEnd);
  void NextRow(bool Select);
  void PriorRow(bool Select);
  void Tab(bool GoForward);
  // Asks before deleting (with dgConfirmDelete): "Delete record?" for one record, "Delete all selected
  // records?" for several; false when the user refused.
  bool ConfirmDelete(int SelectedCount);
  // Writes the editor's text into the focused column's field.
  void UpdateData() override;
  virtual void LinkActive(bool Value) override;
  virtual void DataChanged() override;
  virtual void Scroll(int Distance) override;
  void EditingChanged() override;
  virtual void RecordChanged(TField* Field) override;
  // Moves the focus to the data link's active record.
  virtual void RecordChanged();
  void LinkLayoutChanged() override;
  bool FilterRowShown() const { return stFilter_ && stFilter_->Visible(); }
  bool TitlesShown() const { return options_.Contains(dgTitles); }
  bool AlwaysShowEditorWanted() const { return options_.Contains(dgAlwaysShowEditor); }
  // Whether the always-shown cell editor may come back by itself (a scroll, the data opened again, the
  // incremental search's end): not while the filter row is edited, as showing it would end that
  // editing and store what is half typed there.
  bool EditorMayComeBack() const { return AlwaysShowEditorWanted() && !filterEditorShown_; }
  bool FocusedRowHighlighted();
  // Colours of a data cell through the style (or the same rules without blending).
  virtual bool HighlightDataCell(int ACol, int ARow, TGridDrawState State, TColor& AColor, TFont* AFont,
                                 bool InSelection = false);
  // Colours of a fixed cell of the given kinds (the style's, or the same rules without blending).
  bool HighlightNoDataCell(int HorzKind, int VertKind, bool Selected, TColor& AColor, TFont* AFont);
  std::string GetEditTextOf(int ACol, int ARow) { return GetEditText(ACol, ARow); }
  TColumnEx* FocusedColumn();
  void SetAcquireFocusOnly(bool Value) { acquireFocus_ = Value; }
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;
  IMemTableEx* MemTable() const { return memTable_; }

  // ---- layout: title tree, auto-fit, scroll bars, draw information ----
  THeadTreeNode* HeadTree() const { return headTree_.get(); }
  // One entry per column (with multi-level titles): the column's leaf in the title tree.
  const std::vector<TDBGridExTitleCell>& TitleCells() const { return titleCells_; }
  THeadTreeNode* LeafOf(const TColumnEx* Column) const;
  // Builds the title tree from the columns' captions ("Group|Caption").
  void CreateFieldTree();
  // Works out the band heights below Node; answers Node's level height.
  int SetChildTreeHeight(THeadTreeNode* Node);
  TDBGridExScrollBar* HorzScrollBar() const { return horzScrollBar_.get(); }
  void SetHorzScrollBar(TDBGridExScrollBar* Value) { horzScrollBar_->Assign(Value); }
  TVertDBGridExScrollBar* VertScrollBar() const {
    return static_cast<TVertDBGridExScrollBar*>(vertScrollBar_.get());
  }
  void SetVertScrollBar(TVertDBGridExScrollBar* Value) { vertScrollBar_->Assign(Value); }
  // The number of data rows in view (the data link's buffer).
  int VisibleDataRowCount() const;
  void CalcDrawInfoEx(TGridDrawInfoEx& DrawInfo);
  // Record numbering for the scroll bar: the dataset's own (or its sum list's) numbers.
  bool RecordNumbersKnown();
  int CurrentRecNo();
  int DataRecordCount();
  void GoToRecNo(int Value);
  // A scroll-bar message (SB_* code, thumb position) as the window or an external bar sends it.
  void VertScrollMessage(int Code, int Pos);
  void HorzScrollMessage(int Code, int Pos);
  // The columns fitted to the client width (auto-fit).
  void FitColumnsToWidth();
  // The sort-marker area of a column's title (16 px, more with the index number of several).
  int SortMarkerWidth(TColumnEx* Column);

  // ---- column layout in a settings store ----
  void SaveColumnsLayout(TCustomIniFile* Store);
  // Flags: crpColIndex, crpColWidths, crpSortMarker, crpColVisible, crpDropDownRows, crpDropDownWidth.
  void RestoreColumnsLayout(TCustomIniFile* Store, int Flags);
  void SaveColumnsLayoutTo(TCustomIniFile* Store, const std::string& Section, bool EraseFirst);
  void RestoreColumnsLayoutFrom(TCustomIniFile* Store, const std::string& Section, int Flags);
  // "<grid name>.<field name>"
  std::string ColumnLayoutIdent(TColumnEx* Column) const;
  // The user changed the sort markers: OnSortMarkingChanged (with dghAutoSortMarking), else the grid sorts.
  void DoSortMarkingChanged();

  // ---- keyboard and incremental search ----
  // Searches the focused column for IncSearchText + Text: Direction 0 from the current record, then
  // from the first; 1 the next record on; 2 the prior record back. TimeOut in ms, -1 for none.
  void DoIncSearch(const std::string& Text, int TimeOut, int Direction);
  void StopIncSearch();
  // The incremental-search and find-dialog short cuts (Ctrl+F): a search started, or the find dialog
  // opened with Text (after the running search is stopped); true when the short cut was one of them.
  bool FindShortCut(TShortCut Pressed, const std::string& Text);
  void StartIncSearchTimer();
  void StopIncSearchTimer();
  bool IncSearching() const { return incSearchRunning_; }
  int IncSearchTimeOut() const { return incSearchTimeOut_; }
  bool IncSearchTimerOn() const { return incSearchTimerOn_; }
  // Ctrl+': the previous record's value of the focused column into the current record.
  void CopyFromPreviousRecord();
  // Whether the find dialog opens modally.
  virtual bool FindDialogModal() const { return true; }
  bool CanCopySelection();
  bool CanPasteFromClipboard();
  bool CanCutSelection();
  bool CanDeleteSelection();
  bool CanSelectAll();
  // Whether the current record may change now (the column editing tests ask this).
  bool CanEditCurrentRecord();
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;

  // ---- mouse ----
  // Window timer 1 of the automatic scrolling.
  void StartTimer(int Interval);
  void StopTimer();
  bool AutoScrollTimerOn() const { return autoScrollTimerOn_; }
  int AutoScrollInterval() const { return autoScrollInterval_; }
  // One step of the automatic scrolling while the mouse selects outside the data.
  virtual void MouseAutoScroll();
  // The gesture in progress: 0 none, 1 records, 2 columns by titles, 3 a rectangle, 6 sizing a column.
  int MouseSelectMode() const { return mouseSelectMode_; }
  bool SortMarkingPending() const { return sortMarkingPending_; }
  // Fits the columns' widths to their titles, every record's text and their footers.
  void OptimizeColumnsWidth(const TColumnsExList& Columns);
  // Records visited by width fitting so far (for tests).
  int OptimizeVisits() const { return optimizeVisits_; }
  // The data cells' area: first data column and row to the last column and last data row.
  TRect DataBox();

  // ---- drawing ----
  // Where a raw cell lies: indicator or data column; title, filter, data, separator or footer row.
  TCellTypeEx GetCellType(int ACol, int ARow) const;
  bool Is3DCell(int ACol, int ARow, TGridDrawState State) const;
  // Whether a cell lies in the multiple selection (DataCol -1: the indicator column; ARow a raw row;
  // Bookmark the data row's record).
  bool CellSelected(int DataCol, int ARow, const TBookmarkStr& Bookmark);
  // The data rows between the fixed rows and the footer separator.
  int DataRowCount() const;
  // Writes text in a cell as WriteTextEx does, turned round for right-to-left reading.
  void WriteCellText(const TRect& ARect, bool FillRect, int DX, int DY, const std::string& Text,
                     TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMarg,
                     int RightMarg);
  // Mirrors the canvas for right-to-left reading (or back to the identity).
  void ChangeGridOrientation(bool RightToLeft);
  // The incremental search's state as the keys set it: the focused cell shows the match.
  bool IncSearchRunning() const { return incSearchRunning_; }
  const std::string& IncSearchText() const { return incSearchText_; }
  void SetIncSearchState(bool Running, const std::string& Text);
  // The height of the group bands above a column's own title (0 without multi-level titles).
  int TitleLeafTop(const TColumnEx* Column) const;
  // The raw row of the current record as last painted in the indicator column.
  int IndicatorRow() const { return indicatorRow_; }

  // ---- IDBGridExColumnsHost ----
  TComponent* HostComponent() override { return this; }
  TColor GridColor() override { return Color(); }
  TColor GridFixedColor() override { return FixedColor(); }
  TFont* GridFont() override { return Font(); }
  TFont* GridTitleFont() override { return titleFont_.get(); }
  TCanvas* GridCanvas() override { return Canvas(); }
  bool GridHandleAllocated() const override { return HandleAllocated(); }
  bool GridReadOnly() const override { return readOnly_; }
  bool GridFlat() const override { return flat_; }
  bool EditorShowing() override { return EditorMode(); }
  int RawColCount() const override { return ColCount(); }
  int RawColWidth(int RawCol) const override { return ColWidths(RawCol); }
  // A column's width on the grid; the filter row's editor goes along.
  void SetRawColWidth(int RawCol, int Width) override;
  void InvalidateRawCol(int RawCol) override { InvalidateCol(RawCol); }
  void InvalidateGrid() override { TCustomGrid::InvalidateGrid(); }
  int DefaultColWidth() const override { return TCustomGrid::DefaultColWidth(); }
  // ---- IDBGridExLinkHost ----
  void FreeNotification(TComponent* AComponent) override { AComponent->TComponent::FreeNotification(this); }

  // ---- events ----
  TNotifyEvent OnColEnter;
  TNotifyEvent OnColExit;
  TMovedEvent OnColumnMoved;
  TNotifyEvent OnColWidthsChanged;
  TNotifyEvent OnEditButtonClick;
  TGetCellExParamsEvent OnGetCellParams;
  TNotifyEvent OnSortMarkingChanged;
  TTitleExClickEvent OnTitleBtnClick;
  TDBGridExClickEvent OnTitleClick;
  TDBGridExClickEvent OnCellClick;
  TDrawColumnExCellEvent OnDrawColumnCell;
  TNotifyEvent OnApplyFilter;
  TCheckTitleExBtnEvent OnCheckButton;
  TDrawDataCellEvent OnDrawDataCell;
  TDrawFooterCellEvent OnDrawFooterCell;
  TGetBtnExParamsEvent OnGetBtnParams;
  TGetFooterParamsEvent OnGetFooterParams;
  TNotifyEvent OnSumListAfterRecalcAll;
  TNotifyEvent OnSumListRecalcAll;

  // Colour c lightened: each component c + Round(c / F), at most 255.
  static TColor LightenColor(TColor Color, int F);

  // ---- selection and bookmarks ----
  // The multiple selection (hides the base grid's cell selection: TCustomGrid::Selection()).
  TDBGridExSelection* Selection() const { return selection_.get(); }
  TBookmarkListEx* SelectedRows() const { return selectedRows_.get(); }
  // Whether a gesture may create a selection of that kind now.
  bool CanSelectType(TDBGridExSelectionType Value) const;
  // Repaints what the selection covers and the focused row; remembers whether the grid has the focus.
  virtual void SelectionChanged();
  bool SelectionHadFocus() const { return selectionHadFocus_; }
  // A focus change of the grid or its editor, the focus going to FocusTo: the selection repainted when
  // the focused look it was painted with is no longer the grid's.
  void FocusLookChanged(HWND FocusTo);
  // A shift-extension of the record selection has an anchor.
  bool MultiSelectAnchorSet() const { return multiSelectAnchorSet_; }
  // Ctrl held or dghClearSelection off: a gesture adds to the selection (set by the key and mouse
  // handlers; MoveBy toggles records with it).
  bool KeepSelection() const { return keepSelection_; }
  void SetKeepSelection(bool Value) { keepSelection_ = Value; }
  // Keeps the middle visible row's record and the current record's offset from it.
  void SaveBookmark();
  // Brings the kept record back to the middle row and moves by the kept offset.
  void RestoreBookmark();
  const TBookmarkStr& SavedBookmark() const { return savedBookmark_; }
  int SavedRecordOffset() const { return savedRecordOffset_; }

  // ---- footers and sums ----
  TDBGridExSumList* SumList() const { return sumList_.get(); }
  void SetSumList(TDBGridExSumList* Value);
  // The text of a footer cell (Row counts the footer rows from 0).
  virtual std::string GetFooterValue(int Row, TColumnEx* Column);
  // Repaints every footer row.
  void InvalidateFooter();

  // ---- filter row and the data service ----
  TSTDBGridExFilter* STFilter() const { return stFilter_.get(); }
  void SetSTFilter(TSTDBGridExFilter* Value) { stFilter_->Assign(Value); }
  // Hands the grid to the data service, which sorts the dataset by the sort-marked columns.
  virtual void ApplySorting();
  // Hands the grid to the data service, which filters the dataset by the column filters.
  virtual void ApplyFilter();
  bool ApplyingFilter() const { return applyingFilter_; }
  // The filter row's editor: shown over a column's filter cell, hidden again (its text stored into
  // the column's filter), placed anew after a scroll; Enter in it applies the filter.
  void ShowFilterEditor(int DataCol);
  void HideFilterEditor();
  // The editor over the edited filter cell (hidden while it may not show) with the text it holds.
  // Placed anew it takes the focus the grid has and its text is selected; KeepText leaves the text,
  // the caret and, where it shows already, the focus as they are.
  void PlaceFilterEditor(bool KeepText = false);
  // The shown filter editor placed again, keeping its text, where its cell moved without a layout
  // (which places it once it is through): the first column moved, the grid sized.
  void FollowFilterCell();
  void StoreFilterText();
  void ApplyFilterFromRow();
  TInplaceFilterEditEx* FilterEditor() const { return filterEditor_; }
  int FilterColumn() const { return filterColumn_; }
  bool FilterEditing() const { return filterEditing_; }
  bool FilterEditorShown() const { return filterEditorShown_; }
  // Filter editing is on, no multiple selection exists and the edited column shows its filter cell.
  bool CanEditFilter() const;
  // The filter editor may show: a cell of the filter row is edited and editing it is possible.
  bool FilterEditorMayShow() const;
  // While a filter cell is edited, the focus meant for the cell editor goes to that cell's editor
  // instead (or stays where it is while the cell is out of view, the keys reaching its editor through
  // the grid) and the answer is true; false when no filter cell is edited.
  bool FocusEditedFilterCell();
  // The next column (Step +1 or -1, wrapping) that shows a filter cell; -1 when none.
  int NextFilterColumn(int From, int Step) const;
  int EdgeFilterColumn(bool Last) const;
  TRect FilterCellRect(int DataCol);
  void InvalidateFilterCell(int DataCol);
  // ---- IInplaceEditHolderEx (the filter row's editor asks these) ----
  bool CanEdit(TControl* Editor) override;
  void GetMouseDownInfo(TPoint& Pos, std::uint64_t& Time) override;
  void InplaceEditWndProc(TControl* Editor, TMessage& Message) override;
  void InplaceEditKeyDown(TControl* Editor, WORD& Key, TShiftState Shift) override;
  void InplaceEditKeyPress(TControl* Editor, char32_t& Key) override;
  void InplaceEditKeyUp(TControl* Editor, WORD& Key, TShiftState Shift) override;
  // The sort-marked columns again from the titles' sort indexes (after loading and column changes).
  void RebuildSortMarkedColumns();
  void ColumnDestroying(TColumnEx* Column) override;
  void ColumnHiding(TColumnEx* Column) override;
  void ColumnFieldChanging(TColumnEx* Column) override;
  void ColumnChanged(TColumnEx* Column, const std::function<void()>& Notify) override;
  // Whether the grid shows the field (it is in the field map).
  bool FieldShown(TField* Field);
  // Whether a layout pass now would free the column: a default column that the grid makes again
  // from the dataset's fields.
  bool LayoutFreesColumn(TColumnEx* Column);

 protected:
  friend class TDBGridInplaceEdit;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  // Another column ends a running incremental search.
  bool SelectCell(int ACol, int ARow) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Whether a mouse message's Shift holds a button; whether a button is down as the input read so far
  // tells. A gesture whose release went to another window ends on either saying none is.
  static bool HoldsButton(TShiftState Shift);
  static bool ButtonHeld();
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  virtual std::unique_ptr<TDBGridExColumnDefValuesEx> CreateColumnDefValues();
  virtual std::unique_ptr<TDBGridColumnsEx> CreateColumns();
  virtual std::unique_ptr<TDBGridExScrollBar> CreateScrollBar(bool Vertical);
  virtual TInplaceFilterEditEx* CreateFilterEditor();
  // Up on the first record (or with Ctrl) moves into the filter row; true when it did.
  bool KeyUpIntoFilterRow(WORD Key, TShiftState Shift);
  // A press on a filter cell edits that cell and goes on to its editor; true when it was one.
  bool PressOnFilterCell(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The wheel that reaches the grid goes first to the editors over it: an in-place editor with a
  // drop-down, then an open filter cell editor, which keeps it; true when one of them took it.
  bool WheelToEditors(TMessage& Message);
  virtual void DefineFieldMap();
  // The layout pass.
  virtual void InternalLayoutPass();
  void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
  void Paint() override;
  // The pictures of a record row's cells: their texts, fonts, colours, images and check boxes as
  // drawing prepares them (the grid's and the columns' events asked), the indicator and the selection,
  // and the grid's focus, editor and search state.
  bool CellPictures(int ARow, const std::vector<bool>& Wanted, std::vector<std::uint64_t>& Pictures) override;
  // Whether the cells' pictures can be told at all: not when the program's own handlers draw them, nor
  // for the rows of a memory table.
  bool PicturesTold();
  // What every cell's picture depends on in the grid itself (Focused: whether the grid draws its
  // current cell focused).
  TRowPictureHash GridPicture(bool& Focused);
  // A data cell's picture, its parameters prepared in AFont and its highlight applied (drawing and
  // CellPictures work it out alike).
  std::uint64_t DataCellPicture(const TRowPictureHash& Grid, int ACol, int ARow, TGridDrawState AState,
                                TColumnEx* Column, TFont* AFont, bool Highlighted, TColor Lit);
  // Drawing, piece by piece (each draws inside the cell's content rectangle).
  virtual void DrawIndicatorCell(int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                 TGridDrawState AState);
  virtual void DrawTitleDataCell(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                 TGridDrawState AState);
  virtual void DrawFilterCell(int ACol, const TRect& ARect, const TCellTypeEx& Type, TGridDrawState AState);
  virtual void DrawDataCellEx(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                              TGridDrawState AState);
  virtual void DrawFooterCellEx(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                TGridDrawState AState);
  // Rows between the filter row and the data rows that a descendant draws itself (0 or 1).
  virtual int SpecRowCount() const { return 0; }
  virtual void DrawSpecRowCell(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                               TGridDrawState AState);
  // The height of the fixed rows (titles, filter row, special row) with their lines.
  int FixedRowsExtent();
  // Makes the column defaults and the columns again through the factories (a descendant's
  // constructor calls it so that its own kinds are made).
  void RecreateColumnParts();
  // A 3D cell's frame: raised, or sunken for data cells (Sunken) and pressed titles (Pressed). The
  // left-and-top part is the top alone unless FullLeftTop, the right-and-bottom part the bottom alone
  // unless FullRightBottom; the sides are the screen's (right to left they change places on the canvas).
  void DrawCellFrame(const TRect& ARect, bool FullLeftTop, bool FullRightBottom, bool Sunken, bool Pressed);
  // Whether a 3D cell shows its side edge on the screen's left (or right): always with column lines;
  // without them 3D cells side by side join into one band, edged only where it ends.
  bool FrameSideShown(int ACol, int ARow, bool ScreenLeft);
  // Whether the title of a raw column shows pressed (its title button held with the mouse over it).
  bool TitleShownPressed(int RawCol) const;

  TInplaceEdit* CreateEditor() override;
  bool CanEditShow() override;
  bool CanEditAcceptKey(char32_t Key) override;
  bool CanEditModify() override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  int GetEditLimit() override;
  std::string GetEditMask(int ACol, int ARow) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void ColWidthsChanged() override;
  // The first visible column or row moved, however: the filter editor goes along with its cell.
  void TopLeftChanged() override;
  // A row the user sized gives every row its height (RowHeight, with RowLines 0).
  void RowHeightsChanged() override;
  // Flat with Ctl3D: no border and no client edge of the window's own; a single border is a one-pixel
  // frame the grid paints (PaintFlatBorder).
  void CreateParams(TCreateParams& Params) override;
  virtual bool FlatBorderShown();
  // The flat frame: a sunken inner edge round the window.
  virtual void PaintFlatBorder();
  void TimedScroll(TGridScrollDirections Direction) override;
  void DoExit() override;
  void ChangeScale(int M, int D) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void KeyPress(char32_t& Key) override;
  void FontChanged() override;
  virtual void ColEnter();
  virtual void ColExit();
  TColumnEx* ColumnOfRaw(int RawCol) const;
  bool IsCachedField(const TComponent* AComponent) const;

  TDBGridOptions options_{dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                          dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
  TDBGridExOptions optionsEx_{dghFixed3D, dghHighlightFocus, dghClearSelection, dghDialogFind};
  bool inSetOptions_ = false;

 private:
  using TCustomGrid::SetOptions;  // the base grid's options follow the grid's own (SetOptions above)
  void TitleFontChanged(TObject* Sender);
  void FooterFontChanged(TObject* Sender);
  void CheckMemTable();
  void ClearLayoutLocks();
  // Queues the deferred-layout message unless one is queued already.
  void PostDeferredLayout();
  // The deferred-layout message: the layout pass now, or once the grid is unlocked.
  void DeferredLayoutArrived();
  // SelectColumn's move of the focus (without the rectangle selection).
  void MoveToColumn(int RawCol, int Direction);
  // One record step of MoveBy in record mode, marking records with dgMultiSelect; false at an end.
  bool MoveRecordStep(bool Select, int Step);
  void ReadColumns(TReader* Reader);
  void WriteColumns(TWriter* Writer);
  bool ColumnsStored(TFiler* Filer) const;

  std::unique_ptr<TDBGridExColumnDefValuesEx> columnDefValues_;
  std::unique_ptr<TDBGridColumnsEx> columns_;
  TColumnsExList visibleColumns_;
  std::unique_ptr<TGridDataLinkEx> dataLink_;
  std::unique_ptr<TFont> titleFont_;
  TColumnsExList sortMarkedColumns_;
  std::unique_ptr<TFont> footerFont_;
  std::unique_ptr<TColCellParamsEx> colCellParams_;
  std::unique_ptr<TFont> pictureFont_;  // the cell font a row's picture is prepared in
  // While a paint draws the cells: what their pictures depend on in the grid; each data cell drawn
  // notes its picture with it.
  std::optional<TRowPictureHash> paintPicture_;
  std::unique_ptr<TChangeLink> titleImagesLink_;
  // selection, bookmarks, sums and the filter row
  std::unique_ptr<TBookmarkListEx> selectedRows_;
  std::unique_ptr<TDBGridExSumList> sumList_;
  std::unique_ptr<TDBGridExSelection> selection_;
  std::unique_ptr<TSTDBGridExFilter> stFilter_;
  bool selectionHadFocus_ = false;
  bool multiSelectAnchorSet_ = false;
  bool multiSelectAnchorSelected_ = false;
  TBookmarkStr multiSelectAnchor_;
  bool keepSelection_ = false;
  TBookmarkStr savedBookmark_;
  int savedRecordOffset_ = 0;
  bool applyingFilter_ = false;
  TInplaceFilterEditEx* filterEditor_ = nullptr;  // a component of the grid
  int filterColumn_ = -1;
  // the column whose filter cell is edited: filterColumn_ follows it when the columns move
  TColumnEx* filterEdited_ = nullptr;
  bool filterEditorShown_ = false;
  bool filterEditing_ = false;
  // The filter editor is taking a filter cell's text (LoadFilterEditor): its text changes then are
  // not the user's, and go into no filter.
  bool loadingFilterEditor_ = false;
  // The filter of the cell the editor was loaded from last (its column's ID), and the text it showed
  // then: that text shown again (Esc after it was changed) stands for that filter, not for a text
  // typed, which the field the column shows since might read otherwise.
  struct TLoadedFilter {
    int Column = -1;
    TSTFilterExpressionEx Expression;
    std::string FilterText, Shown;
  };
  TLoadedFilter loadedFilter_;
  bool wheelToEditor_ = false;
  TPoint lastDownScreen_;
  std::uint64_t lastDownTime_ = 0;
  bool inSumRecalc_ = false;

  TDBGridExAllowedOperations allowedOperations_{alopInsertEx, alopUpdateEx, alopDeleteEx, alopAppendEx};
  bool autoFitColWidths_ = false;
  bool drawMemoText_ = false;
  bool flat_ = false;
  TColor footerColor_ = clWindow;
  int footerRowCount_ = 0;
  int frozenCols_ = 0;
  int minAutoFitWidth_ = 0;
  bool readOnly_ = false;
  int rowHeight_ = 0;
  int rowLines_ = 0;
  bool rowSizingAllowed_ = false;
  bool sortLocal_ = false;
  int titleHeight_ = 0;
  int titleLines_ = 0;
  TCustomImageList* titleImages_ = nullptr;
  bool useMultiTitle_ = false;
  int vTitleMargin_ = 10;
  TDBGridExStyle* style_ = nullptr;
  TDBGridExEditActions editActions_;
  TDBGridExAllowedSelections allowedSelections_{gstRecordBookmarks, gstRectangle, gstColumns, gstAll};

  int indicatorOffset_ = 1;
  int titleOffset_ = 1;
  int layoutLock_ = 0;
  int updateLock_ = 0;
  bool inLinkLayout_ = false;
  bool layoutFromDataSet_ = false;
  bool layoutRunning_ = false;
  bool layoutOwed_ = false;  // a deferred layout arrived while the grid was locked
  int layoutHeld_ = 0;       // column changes under way whose layout passes come from the queue
  std::string editText_;
  // The column editText_ was loaded from, where it is written back even when another column has
  // become the focused one meanwhile (a column moved or hidden by the program); none once it goes.
  TColumnEx* editColumn_ = nullptr;
  TVariant editKeyValue_;
  bool acquireFocus_ = true;
  bool multiLineRows_ = false;
  int cellButtonWidth_ = 0;
  int shortRowButtonWidth_ = 0;
  int titleRowHeight_ = 0;
  bool inColExit_ = false;
  bool memTableMode_ = true;
  IMemTableEx* memTable_ = nullptr;
  // the dataset that offers memTable_: when it goes, by the time the grid hears of it the interface
  // part is destroyed already, so it is known by this address
  TComponent* memTableDataSet_ = nullptr;
  // layout: title tree, scroll bars
  std::unique_ptr<THeadTreeNode> headTree_ = std::make_unique<THeadTreeNode>();
  std::vector<TDBGridExTitleCell> titleCells_;
  std::unique_ptr<TDBGridExScrollBar> horzScrollBar_;
  std::unique_ptr<TDBGridExScrollBar> vertScrollBar_;
  TScrollBarVisibleModeEx shownVertMode_ = sbAutoShowEx;
  int extVertMax_ = 0;
  bool ignoreThumbPosition_ = false;
  int memTableRow_ = -1;
  void UpdateMemTableRows();
  void SpreadOverRightPart(int Index, int Change);
  // drawing
  bool incSearchRunning_ = false;
  std::string incSearchText_;
  int indicatorRow_ = -1;
  void DrawGridLines(const TGridDrawInfo& Info);
  void PaintCells(int FromCol, int FromRow, int ToCol, int ToRow, int StartX, int StartY,
                  TGridDrawState Include);
  void DrawTitleBands(THeadTreeNode* Leaf, const TRect& CellRect, TGridDrawState AState);
  void DrawCellButtons(TColumnEx* Column, const TRect& ARect, TColor Background);
  int ColumnLeft(int RawCol, const TGridDrawInfo& Info);
  int IndicatorImageOf(bool Current, bool Selected);
  bool IsFormActiveControl();
  // Whether keys may edit the field of a column: it shows. A hidden current column (put there by the
  // program or a restored layout) takes none; the navigation keys still lead off it.
  static bool ColumnTakesKeys(const TColumnEx* Column);
  // Whether the filter row shows an editable cell for the column: it takes keys and shows its filter.
  bool ColumnTakesFilter(int DataCol) const;
  // The edited filter cell is gone (its column hides or shows no filter cell now): the editing ends
  // and what was typed there goes unread.
  void DropFilterEditing();
  // The edited filter cell scrolled into view where it is out of it, its editor following it there.
  void ScrollFilterCellIntoView();
  // Writes what was typed into the column the editor's text was loaded from, as a move off the cell
  // would, whether the editor shows it or a layout took the editor down; a field that refuses it says
  // why, and the text goes all the same. Whether the editor showed.
  bool SettleEditText();
  // loads the filter text (and list) of the column at filterColumn_ into the filter editor
  void LoadFilterEditor();
  bool RowSelectedForIndicator(int BufferRow);
  bool TitleSelected(int DataCol);
  bool DataCellInSelection(const TCellTypeEx& Type);
  // The shared cell parameters of the link's active record in a column, as drawing sees them: the
  // display text, the column's font (into AFont) and colours, then the grid's and the column's events.
  void PrepareCellParams(TColumnEx* Column, TFont* AFont, TGridDrawState AState);
  TBookmarkStr BufferRowBookmark(int BufferRow);
  void MemTableScrolled();
  void MemTableScrollMessage(int Code, int Pos);
  // The wheel over a memory table: the rows in view move (Shift: the current record), a page with Ctrl.
  void MemTableWheel(TShiftState Shift, int Direction);
  int layoutPasses_ = 0;
  bool editorBlocked_ = false;
  // keyboard and mouse
  static constexpr std::uintptr_t kAutoScrollTimerId = 1;
  static constexpr std::uintptr_t kIncSearchTimerId = 2;
  enum : int {
    kMouseSelectNone = 0,
    kMouseSelectingRecords = 1,
    kMouseSelectingColumns = 2,
    kMouseSelectingRect = 3,
    kMouseSizingTitle = 6
  };
  void CtrlDelete();
  void InvalidateCurrentRow();
  bool EditActionPossible(int Kind);
  bool MoveRecordsBy(int Distance, bool Select);
  int OptimalColumnWidth(TColumnEx* Column);
  bool InTitleSizingZone(int X, int Y, int& RawCol);
  bool InColumnSelectZone(int X, int Y);
  void SelectRecordsTo(int Delta);
  // Whether a point lies on a raw column's own title (its leaf band with multi-level titles).
  bool OnTitleLeaf(int RawCol, int X, int Y);
  // While a title button is held: shows it pressed exactly while the point is on it.
  void UpdateTitleButtonLook(int X, int Y);
  // What a hint shows at a point: a title's hint, or a title's or data cell's text when it is clipped.
  enum TToolTipKind { kTipNone, kTipTitleHint, kTipTitleText, kTipCellText };
  TToolTipKind ToolTipAt(int X, int Y, TGridCoord& Cell);
  // The hint request: false leaves it to the control's own hint.
  bool ShowCellHint(THintInfo& Info);
  void HintShowPause(int& Pause);
  std::unique_ptr<TFont> toolTipFont_ = std::make_unique<TFont>();
  void StopTracking();
  void CancelMouseMode();
  // A tick of the automatic scrolling: it scrolls while the gesture that started it goes on.
  void AutoScrollTick();
  bool SetGridCursor(int X, int Y);
  // The dotted line at the border of a column sized from the titles: drawn inverted, so the second
  // drawing at the same place takes it away.
  void DrawTitleSizingLine(int X);
  void HideTitleSizingLine();
  int TitleSizingLineX(int Width);
  // Whether a point of a data cell lies on the edit buttons its column always shows.
  bool OnShownEditButton(int RawCol, int X, int Y);
  // A press forwarded to the button of the shown in-place editor under a point of the grid.
  void PressEditorButton(int X, int Y);
  bool incSearchMoving_ = false;
  int incSearchTimeOut_ = -1;
  bool incSearchTimerOn_ = false;
  bool sortMarkingPending_ = false;
  bool autoScrollTimerOn_ = false;
  int autoScrollInterval_ = -1;
  int mouseSelectMode_ = 0;
  TPoint mouseDownPos_;
  TPoint lastMousePos_;
  TShiftState lastMoveShift_;
  bool tracking_ = false;
  bool trackingRows_ = false;
  bool trackingCells_ = false;
  int pressedTitleCol_ = -1;
  bool titlePressed_ = false;
  TGridCoord pressedCell_{-1, -1};
  bool dragPending_ = false;
  bool autoDragPress_ = false;  // a press of a grid that drags by itself, its dragging held back
  bool rightButtonAsLeft_ = false;
  bool columnDragStarted_ = false;
  int sizingCol_ = -1;
  int sizingStartX_ = 0;
  int sizingStartWidth_ = 0;
  int sizingWidth_ = 0;
  int sizingLineX_ = -1;  // where the sizing line is shown; -1 while none is
  int optimizeVisits_ = 0;
};

class TDBGridEx : public TCustomDBGridEx {
  TALVIK_CLASS(TDBGridEx, TCustomDBGridEx)
  using TCustomDBGridEx::TCustomDBGridEx;
};

// The grid unit's start-up (idempotent): the default style, the data service, the interceptor registrations,
// the sort-index font, the indicator and sort-marker images, the cursors, the shortcuts, the time-out and the
// search colours below. A cursor that cannot be loaded raises EOutOfResources "Cannot load cursor resource".
void InitGridUnit();
// The unit's shut-down: frees what the start-up made (the next start-up makes it again).
void DoneGridUnit();

// ---- drawing helpers of the grid unit ----
// Writes Text in ARect: straight onto the canvas for a solid background without word wrap (shortened to
// the width with "..." for EndEllipsis), otherwise through the grids' shared off-screen bitmap.
void WriteTextEx(TCanvas* ACanvas, TRect ARect, bool FillRect, int DX, int DY, const std::string& Text,
                 TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMarg,
                 int RightMarg, bool RightToLeft);
// Writes Text rotated by 90 degrees, from the bottom up; answers its length in pixels (only measures
// with CalcTextExtent).
int WriteTextVerticalEx(TCanvas* ACanvas, const TRect& ARect, bool FillRect, int DX, int DY,
                        const std::string& Text, TAlignment Alignment, TTextLayout Layout, bool EndEllipsis,
                        bool CalcTextExtent);
// The longest start of Text that fits Width with "..." appended (characters, not bytes, are dropped).
std::string TruncateToWidth(const std::string& Text, TCanvas* Canvas, int Width);
// The font turned by 90 degrees (escapement and orientation 900); the caller deletes it.
HFONT CreateRotatedFontEx(TFont* Font);
// An image placed in ARect by alignment, centred vertically, clipped to the cell when it does not fit.
void DrawImage(TCustomImageList* Images, TCanvas* Canvas, TAlignment Alignment, int DX, int Index,
               const TRect& ARect);
// The off-screen bitmap all grids share (one use per grid).
void AcquireSharedDrawBitmap();
void ReleaseSharedDrawBitmap();
TBitmap* SharedDrawBitmap();

// ---- the grid unit's shared values (made by InitGridUnit) ----
// The module under which the grid's own art is registered (bitmaps "DBGARROWEX"... and the cursors).
HINSTANCE GridModule();
// Loads a named cursor of the grid's art; EOutOfResources "Cannot load cursor resource" without one.
HCURSOR LoadGridCursor(const std::string& Name);
// Indicators: 0 current record, 1 editing, 2 inserting, 3 multi-dot, 4 multi-arrow, 5 current record on
// a selected row, 6 current record while incremental search runs.
TCustomImageList* DBGridExIndicators();
// Sort markers: 0 down, 1 up.
TCustomImageList* DBGridExSortMarkerImages();
// The small font of sort-index numbers (Arial, one pixel less than the sort-marker bitmap).
TFont* DBGridExSortIndexFont();
extern HCURSOR DBGridExDownCursor;   // column selection ("DOWNCUREX")
extern HCURSOR DBGridExRightCursor;  // record selection ("RIGHTCUREX")
extern HCURSOR DBGridExLeftCursor;   // record selection, right to left ("LEFTCUREX")
extern TShortCut DBGridExIncSearchShortCut;
extern TShortCut DBGridExSearchNextShortCut;
extern TShortCut DBGridExSearchPriorShortCut;
extern TShortCut DBGridExCopyFromPreviousShortCut;
extern TShortCut DBGridExFindDialogShortCut;
extern int DBGridExIncSearchTimeOut;  // ms
extern TColor DBGridExIncSearchBackColor;
extern TColor DBGridExIncSearchFontColor;

// Restore flags of RestoreColumnsLayout.
enum TColumnExRestoreFlag : int {
  crpColIndex = 1,
  crpColWidths = 2,
  crpSortMarker = 4,
  crpColVisible = 8,
  crpDropDownRows = 16,
  crpDropDownWidth = 32,
  crpAll = 63
};
// The N-th word (1-based) of S, words being runs of characters that are not delimiters; "" when none.
std::string ExtractWord(int N, std::string_view S, std::string_view Delimiters);
// The 1-based position of the N-th word's first character, 0 when there is none.
int WordPosition(int N, std::string_view S, std::string_view Delimiters);
std::string ExtractWordPos(int N, std::string_view S, std::string_view Delimiters, int& Pos);

// The find dialog the grid opens (the find-dialog unit sets it): the grid, the text to look for, whether
// the dialog is modal, and optional caption entries with their columns.
using TFindDialogProcEx =
    std::function<void(TCustomDBGridEx* Grid, const std::string& Text, bool Modal, TStrings* Entries)>;
extern TFindDialogProcEx FindDialogProc;
// Told of each column a grid is about to free, while the column is still whole and in place (the
// find-dialog unit sets it): the find dialog lists a grid's columns apart from the grid.
using TFindDialogColumnProcEx = std::function<void(TColumnEx* Column)>;
extern TFindDialogColumnProcEx FindDialogColumnProc;
// Opens the find dialog for the grid through FindDialogProc (nothing while none is set).
void ExecuteGridFindDialog(TCustomDBGridEx* Grid, const std::string& Text);
