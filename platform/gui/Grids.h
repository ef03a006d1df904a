// The base grid: a window of cells in raw columns and rows, the first of which may be fixed (titles,
// indicators), with column widths and row heights, a focused cell and a selection, scrolling, sizing and
// moving of columns and rows with the mouse, and one in-place editor that it places over the focused
// cell. Descendants draw the cells (DrawCell) and supply the editor's text.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Mask.h"

enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking
};
using TGridOptions = TSet<TGridOption>;
enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateFlag>;
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
enum TGridScrollDirection { sdLeft, sdRight, sdUp, sdDown };
using TGridScrollDirections = TSet<TGridScrollDirection>;

struct TGridCoord {
  int X = 0;
  int Y = 0;
  bool operator==(const TGridCoord&) const = default;
};

// A block of cells, corners included.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  TGridCoord TopLeft() const { return {Left, Top}; }
  TGridCoord BottomRight() const { return {Right, Bottom}; }
  bool Contains(int ACol, int ARow) const {
    return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom;
  }
  bool operator==(const TGridRect&) const = default;
};

// One axis of the grid as it lies in the window (pixels from the client edge; the vertical axis for
// rows, the horizontal one for columns).
struct TGridAxisDrawInfo {
  int EffectiveLineWidth = 0;  // the grid line between cells, 0 without lines
  int FixedBoundary = 0;       // where the fixed cells end
  int GridBoundary = 0;        // where the last visible cell ends (at most GridExtent)
  int GridExtent = 0;          // the window's extent
  int LastFullVisibleCell = 0;
  int FullVisBoundary = 0;  // where the last wholly visible cell ends
  int FixedCellCount = 0;
  int FirstGridCell = 0;  // LeftCol or TopRow
  int GridCellCount = 0;
};
struct TGridDrawInfo {
  TGridAxisDrawInfo Horz, Vert;
};

class TCustomGrid;

// The edit window the grid places over the focused cell: a masked edit that hands the navigation keys
// to its grid and asks the grid before it takes a character or changes its text.
class TInplaceEdit : public TCustomMaskEdit {
  TALVIK_CLASS(TInplaceEdit, TCustomMaskEdit)
  explicit TInplaceEdit(TComponent* AOwner);
  ~TInplaceEdit() override;

  TCustomGrid* Grid() const { return grid_; }
  // Caret after the text, nothing selected.
  void Deselect();
  void Hide();
  void Invalidate() override;
  // Shows the editor at Loc (grid client coordinates) and loads nothing: see UpdateContents.
  void Move(const TRect& Loc);
  bool PosEqual(const TRect& Rect);
  void SetFocus() override;
  // Shows only where the grid may show it (see TCustomGrid::EditorMayShow).
  void SetVisible(bool Value) override;
  void UpdateLoc(const TRect& Loc);
  bool Visible();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DblClick() override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  bool EditCanModify() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void WndProc(TMessage& Message) override;
  void PaintWindow(HDC DC) override;
  void Change() override;
  // After the editor's bounds changed: lays out its text rectangle.
  virtual void BoundsChanged();
  // Loads the text, mask and length limit of the grid's focused cell.
  virtual void UpdateContents();
  // The forwarded keys go to the grid's KeyDown.
  void SendToParent(WORD& Key, TShiftState Shift);

 private:
  friend class TCustomGrid;
  void SetGrid(TCustomGrid* Value);
  void InternalMove(const TRect& Loc, bool Redraw);
  TCustomGrid* grid_ = nullptr;
  bool clickTime_ = false;
};

// The grid itself.
// Builds the number of a row's picture from the values it is drawn from (FNV-1a).
class TRowPictureHash {
 public:
  void Add(std::uint64_t Value);
  void Add(std::string_view Value);
  void Add(const std::string& Value) { Add(std::string_view(Value)); }
  void Add(const char* Value) = delete;
  // Never the unknown picture (0).
  std::uint64_t Value() const { return value_ ? value_ : 1; }

 private:
  std::uint64_t value_ = 14695981039346656037ull;
};

class TCustomGrid : public TCustomControl {
  TALVIK_CLASS(TCustomGrid, TCustomControl)
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  // ---- cells and geometry ----
  int ColCount() const { return colCount_; }
  void SetColCount(int Value);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int Value);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int Value);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int Value);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  // Every row takes the new height.
  void SetDefaultRowHeight(int Value);
  // A width or height of 0 or less hides the column or row (no line either).
  int ColWidths(int Index) const;
  void SetColWidths(int Index, int Value);
  int RowHeights(int Index) const;
  void SetRowHeights(int Index, int Value);
  bool TabStops(int Index) const;
  void SetTabStops(int Index, bool Value);
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int Value);
  int GridWidth();
  int GridHeight();

  int Col() const { return current_.X; }
  void SetCol(int Value);
  int Row() const { return current_.Y; }
  void SetRow(int Value);
  int LeftCol() const { return topLeft_.X; }
  void SetLeftCol(int Value);
  int TopRow() const { return topLeft_.Y; }
  void SetTopRow(int Value);
  int VisibleColCount();
  int VisibleRowCount();
  TGridRect Selection() const;
  void SetSelection(const TGridRect& Value);

  // ---- options and look ----
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions Value);
  TGridOptions DesignOptionsBoost() const { return designOptionsBoost_; }
  void SetDesignOptionsBoost(TGridOptions Value) { designOptionsBoost_ = Value; }
  // Rows are not stored: heights only where they differ from the default (always the case here; the
  // flag is kept for the layouts that set it).
  bool VirtualView() const { return virtualView_; }
  void SetVirtualView(bool Value) { virtualView_ = Value; }
  bool SaveCellExtents() const { return saveCellExtents_; }
  void SetSaveCellExtents(bool Value) { saveCellExtents_ = Value; }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle Value);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool Value);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor Value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);

  // ---- cells on screen ----
  // The pixels of a block of cells in view (empty when none of it shows); mirrored right to left.
  TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom);
  TRect CellRect(int ACol, int ARow) { return BoxRect(ACol, ARow, ACol, ARow); }
  // The cell at a client point; -1 for a coordinate outside the cells.
  TGridCoord MouseCoord(int X, int Y);
  void CalcDrawInfo(TGridDrawInfo& DrawInfo);
  virtual void CalcDrawInfoXY(TGridDrawInfo& DrawInfo, int UseWidth, int UseHeight);
  void CalcFixedInfo(TGridDrawInfo& DrawInfo);
  void InvalidateCell(int ACol, int ARow);
  void InvalidateCol(int ACol);
  void InvalidateRow(int ARow);
  void InvalidateGrid();
  void InvalidateRect(const TGridRect& ARect);
  // Reloads the editor from its cell the next time it is placed (at once when it shows).
  void InvalidateEditor();

  // ---- the in-place editor ----
  bool EditorMode() const { return editorMode_; }
  void SetEditorMode(bool Value);
  TInplaceEdit* InplaceEditor() const { return inplaceEdit_; }
  void ShowEditor();
  void HideEditor();
  TGridState GridState() const { return gridState_; }

  void MouseToCell(int X, int Y, int& ACol, int& ARow);

 protected:
  // ---- slots descendants override; each is called at the moment named ----
  // Paints one cell inside ARect (clipped to it is not guaranteed): every cell in the clip box, once.
  virtual void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState);
  void Paint() override;
  // May the focus move to this cell? A refusal leaves the focus where it was.
  virtual bool SelectCell(int ACol, int ARow);
  virtual void TopLeftChanged();
  virtual void ColumnMoved(int FromIndex, int ToIndex);
  virtual void RowMoved(int FromIndex, int ToIndex);
  // After the user sized a column or row with the mouse: once, when the button is released.
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  // One step of the automatic scrolling while the user selects with the mouse outside the cells.
  virtual void TimedScroll(TGridScrollDirections Direction);
  // Where a mouse press would size a column or row: State is gsColSizing or gsRowSizing with the
  // Index of the column or row whose far border is under the mouse, SizingPos that border and
  // SizingOfs the mouse's distance from it; gsNormal elsewhere.
  virtual void CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos, int& SizingOfs,
                               TGridDrawInfo& FixedInfo);
  void DrawSizingLine(const TGridDrawInfo& DrawInfo);
  void DrawMove();

  virtual TInplaceEdit* CreateEditor();
  virtual bool CanEditShow();
  virtual bool CanEditAcceptKey(char32_t Key);
  virtual bool CanEditModify();
  virtual std::string GetEditText(int ACol, int ARow);
  virtual void SetEditText(int ACol, int ARow, const std::string& Value);
  virtual int GetEditLimit();
  virtual std::string GetEditMask(int ACol, int ARow);
  // Places, loads and shows the editor over the focused cell when it may show.
  void UpdateEdit();
  void UpdateText();
  void HideEdit();
  // Whether the editor counts as shown: its own flag, with or without a window (a window made later
  // comes with it).
  bool EditorShown() const;

  virtual bool BeginColumnDrag(int& Origin, int& Destination, const TPoint& MousePt);
  virtual bool CheckColumnDrag(int& Origin, int& Destination, const TPoint& MousePt);
  virtual bool EndColumnDrag(int& Origin, int& Destination, const TPoint& MousePt);
  void MoveColumn(int FromIndex, int ToIndex);
  void MoveRow(int FromIndex, int ToIndex);

  void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
  void FocusCell(int ACol, int ARow, bool MoveAnchor);
  void MoveTopLeft(int ALeft, int ATop);
  void ScrollData(int DX, int DY);
  void ChangeScale(int M, int D) override;
  void ClampInView(const TGridCoord& Coord);

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void DoExit() override;
  void Resize() override;

  // The focus is on the grid or on its editor.
  bool GridFocused();
  // Rows and columns of the grid's selection as drawn (the whole row with goRowSelect).
  bool IsSelected(int ACol, int ARow) const;
  void UpdateScrollPos();
  void UpdateScrollRange();
  // The vertical scroll bar's range, page and position: by rows here; a data grid shows records.
  virtual void UpdateVertScrollBar();
  // No row has a height of its own but the one given (-1: none).
  bool RowHeightsDefaultBut(int ARow) const {
    return rowHeights_.empty() || (rowHeights_.size() == 1 && rowHeights_.begin()->first == ARow);
  }
  // The largest LeftCol/TopRow with which the last column/row is still wholly visible.
  TGridCoord CalcMaxTopLeft(const TGridCoord& Coord, const TGridDrawInfo& DrawInfo);

  // ---- cells painted again only when what they show changes ----
  // A number for what each cell of a row (by raw column) looks like now: equal numbers, equal pixels.
  // kUnknownPicture for a cell the grid cannot tell about. False when the grid cannot tell about the
  // row at all, the default: such cells are always painted again. Data grids answer it for their
  // record rows, so that records read again, or a move to another record, repaint only the cells that
  // show something else. Only the cells `Wanted` (by raw column: those in view) are told; the others
  // are kUnknownPicture.
  static constexpr std::uint64_t kUnknownPicture = 0;
  // Whether the grid keeps what it painted (set by the grids that answer CellPictures).
  bool keepRowPictures_ = false;
  virtual bool CellPictures(int ARow, const std::vector<bool>& Wanted, std::vector<std::uint64_t>& Pictures);
  // At the end of a paint: keeps the picture of every cell the paint drew whole, forgets those it drew
  // in part. The pictures noted while the cells were drawn are taken as they are; the others are
  // asked of CellPictures.
  void KeepRowPictures();
  // A cell's picture worked out while the paint drew it (the same number CellPictures tells for it).
  void NoteDrawnPicture(int ACol, int ARow, std::uint64_t Picture);
  // The pictures noted so far are forgotten (at the start of a paint).
  void ForgetDrawnPictures() { drawnPictures_.clear(); }
  // After the data under the rows changed: invalidates each cell in view whose picture differs from
  // the one last painted (or is not known); the whole grid when the cells moved since.
  void InvalidateChangedRows();
  // The same for the cells of one row.
  void InvalidateChangedCells(int ARow);
  // The pixel spans of the columns and rows in view (CellSpans of both axes).
  struct TCellSpans {
    std::vector<std::pair<int, int>> Cols, Rows;
  };
  // The same, the cells known to lie where they lay when painted (Now: room for the row's pictures).
  void InvalidateChangedCells(int ARow, const TCellSpans& Spans, std::vector<std::uint64_t>& Now);
  // The image of the cells moved (scrolled): the kept pictures no longer lie where their cells are.
  void ForgetRowPictures() { rowPictures_.clear(); }
  // What every cell's look depends on in the grid itself: the options, colours, focus and editor.
  void AddGridState(TRowPictureHash& Hash);

  TGridState gridState_ = gsNormal;
  TGridCoord current_{1, 1};
  TGridCoord anchor_{1, 1};
  TGridCoord topLeft_{1, 1};
  int sizingIndex_ = -1;
  int sizingPos_ = 0;
  int sizingOfs_ = 0;
  int sizingStart_ = 0;
  int moveIndex_ = -1;
  int movePos_ = -1;
  TPoint hitTest_;
  bool moving_ = false;
  bool sizingLineShown_ = false;
  bool moveShown_ = false;

  // The window timer of the automatic scroll while selecting.
  static constexpr std::uintptr_t kScrollTimer = 1;

 private:
  friend class TInplaceEdit;
  int Extent(const std::map<int, int>& Sparse, int Index, int Default) const;
  void SetExtent(std::map<int, int>& Sparse, int Index, int Value, int Default);
  void ShiftExtents(std::map<int, int>& Sparse, int From, int To, int Default);
  void CalcAxis(TGridAxisDrawInfo& Axis, int UseExtent, bool Horizontal);
  int CellExtent(bool Horizontal, int Index) const {
    return Horizontal ? ColWidths(Index) : RowHeights(Index);
  }
  void ChangeSize(int NewColCount, int NewRowCount);
  // Invalidates the area from the top of a row down to the window's bottom.
  void InvalidateRowsFrom(int ARow);
  void MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show);
  void MoveAnchor(const TGridCoord& NewAnchor);
  void SelectionMoved(const TGridRect& OldSel);
  void TopLeftMoved(const TGridCoord& OldTopLeft);
  void ModifyScrollBar(int ScrollBar, int ScrollCode);
  void DrawCells(int ACol, int ARow, int StartX, int StartY, int StopX, int StopY, TColor Color,
                 TGridDrawState IncludeDrawState);
  void DrawLines(const TGridDrawInfo& DrawInfo);
  void HandleTimer();
  void ShowEditorChar(char32_t Ch);
  // Whether the editor may show where it stands: loaded from the focused cell, which has room and
  // can show an editor (CanEditShow), or placed there by the grid now.
  bool EditorMayShow();
  bool IsActiveControl();
  void UpdateEditor(bool SelectAll);
  void XorLine(int X1, int Y1, int X2, int Y2, int Width);
  TGridScrollDirections ScrollDirectionsAt(TPoint Pos);
  TRect MirrorRect(TRect R);

  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  std::map<int, int> colWidths_;   // only the widths that differ from the default
  std::map<int, int> rowHeights_;  // only the heights that differ from the default
  std::map<int, bool> tabStops_;   // only the columns that are no tab stop
  TGridOptions options_{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TGridOptions designOptionsBoost_{goColSizing, goRowSizing};
  bool virtualView_ = false;
  bool saveCellExtents_ = true;
  TScrollStyle scrollBars_ = ssBoth;
  bool defaultDrawing_ = true;
  TColor fixedColor_ = clBtnFace;
  TBorderStyle borderStyle_ = bsSingle;
  bool editorMode_ = false;
  TInplaceEdit* inplaceEdit_ = nullptr;  // owned by the grid as a component
  TGridCoord inplaceCell_{-1, -1};       // the cell the editor was loaded from
  bool editorLoaded_ = false;
  int updatingEditor_ = 0;
  TPoint lastMouse_;
  TGridDrawInfo sizingInfo_;
  // What the cells in view showed when painted whole (by row, then raw column), and where the cells
  // lay then.
  std::map<int, std::vector<std::uint64_t>> rowPictures_;
  std::uint64_t rowPicturesPlace_ = 0;
  // The pictures noted while this paint drew the cells (by row, then raw column; kUnknownPicture: none).
  std::map<int, std::vector<std::uint64_t>> drawnPictures_;
  std::uint64_t CellPlace();
  std::vector<std::pair<int, int>> CellSpans(const TGridAxisDrawInfo& Axis, bool Horizontal);
};

using TDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;

// A grid whose cells the program draws in OnDrawCell.
class TDrawGrid : public TCustomGrid {
  TALVIK_CLASS(TDrawGrid, TCustomGrid)
  using TCustomGrid::TCustomGrid;

  TRect CellRect(int ACol, int ARow) { return TCustomGrid::CellRect(ACol, ARow); }
  using TCustomGrid::MouseToCell;

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TGetEditEvent OnGetEditText;
  TGetEditEvent OnGetEditMask;
  TSetEditEvent OnSetEditText;
  TNotifyEvent OnTopLeftChanged;
  TMovedEvent OnColumnMoved;
  TMovedEvent OnRowMoved;

 protected:
  void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
  bool SelectCell(int ACol, int ARow) override;
  std::string GetEditText(int ACol, int ARow) override;
  std::string GetEditMask(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  void TopLeftChanged() override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void RowMoved(int FromIndex, int ToIndex) override;
};
