// The grid style: the colours of highlighted cells of every grid that uses it (plain highlight colours,
// or on true-colour screens the cell's own colour blended towards the highlight), and the small
// helpers of the grid unit: layout section names, text measuring, rectangles and integers.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"

class TDBGridExStyle;
class TField;
class TCustomGrid;

TALVIK_DECLARE_EXCEPTION(EInvalidGridOperation, Exception);

// What a grid is to its style: the style tells it when it goes (the grid then takes the default
// style, or lays itself out again when there is none).
class IDBGridExStyleClient {
 public:
  virtual void SetStyle(TDBGridExStyle* Value) = 0;

 protected:
  ~IDBGridExStyleClient() = default;
};

// The facts about a data cell that decide its highlight.
struct THighlightDataCellState {
  bool InSelection = false;           // the grid's multiple selection holds the cell
  bool StateSelected = false;         // the base grid draws the cell as selected
  bool HighlightFocusOption = false;  // dghHighlightFocus
  bool GridWindowFocused = false;     // the grid's own window has the focus
  bool RowHighlightOption = false;    // dghRowHighlight
  bool InCurrentRow = false;
  bool InCurrentColumn = false;
  bool MultiSelection = false;  // the grid holds a multiple selection
  bool RowSelect = false;
  bool AlwaysShowSelection = false;
  bool EditorMode = false;
  bool HasFocus = false;  // the grid or its in-place editor has the focus
};

// The highlight of a data cell: true when highlighted, with the colours set. Blend: blended colours
// are wanted; TrueColor: the screen shows more than 256 colours.
bool HighlightDataCellDecision(const THighlightDataCellState& S, bool Blend, bool TrueColor, TColor& AColor,
                               TColor& FontColor);
// The highlight of a fixed cell of the kinds HorzKind / VertKind.
bool HighlightNoDataCellDecision(int HorzKind, int VertKind, bool Selected, bool HasFocus, bool Blend,
                                 bool TrueColor, TColor& AColor, TColor& FontColor);

class TDBGridExStyle : public TPersistent {
  TALVIK_CLASS(TDBGridExStyle, TPersistent)
  TDBGridExStyle();
  ~TDBGridExStyle() override;

  void AddGrid(IDBGridExStyleClient* Grid);
  void RemoveGrid(IDBGridExStyleClient* Grid);
  bool IsGridRegistered(IDBGridExStyleClient* Grid) const;
  int GridCount() const { return static_cast<int>(grids_.size()); }

  bool BlendSelectionColors() const { return blendSelectionColors_; }
  void SetBlendSelectionColors(bool Value) { blendSelectionColors_ = Value; }
  // GetDeviceCaps(NUMCOLORS) of the screen; -1 is true colour.
  int ScreenNumColors() const { return screenNumColors_; }
  bool TrueColorScreen() const { return screenNumColors_ == -1; }
  HWND UtilityWindow() const { return window_; }

  // The colours of a data cell and of a fixed cell (decisions above with this style's settings).
  virtual bool HighlightDataCell(const THighlightDataCellState& S, TColor& AColor, TColor& FontColor);
  virtual bool HighlightNoDataCell(int HorzKind, int VertKind, bool Selected, bool HasFocus, TColor& AColor,
                                   TColor& FontColor);
  virtual void StyleWndProc(TMessage& Message);
  virtual void UpdateScreenColors();

 protected:
  int screenNumColors_ = -1;

 private:
  std::vector<IDBGridExStyleClient*> grids_;
  bool blendSelectionColors_ = true;
  HWND window_ = nullptr;
};

// The process-wide default style: made when first asked for; nullptr once destroyed, until
// CreateDefaultGridStyle makes a new one.
TDBGridExStyle* DefaultGridStyle();
TDBGridExStyle* CreateDefaultGridStyle();
// Destroys the default style (its grids fall back to no style).
void FreeDefaultGridStyle();

// A colour between two colours, lighter, optionally darkened.
TColor BlendColor(TColor Color1, TColor Color2, bool Darken);

// The settings section of a component's saved layout.
std::string GetDefaultSection(TComponent* Component);
[[noreturn]] void RaiseGridError(const std::string& Message);
// Removes one pending Msg of Wnd; a removed WM_QUIT is posted again.
void KillMessage(HWND Wnd, UINT Msg);
bool AllFieldsCanModify(const std::vector<TField*>& Fields);
// Invalidates every cell of a raw row, column by column.
void InvalidateGridRow(TCustomGrid* Grid, int Row);
// The canvas's device context with the canvas's font selected into it: text calls made on the bare
// handle would otherwise measure and write in whatever font the context held last.
HDC TextDC(TCanvas* Canvas);
int CalcTextWidth(TCanvas* Canvas, const std::string& Text);
// Measures Text for a cell of ARect; true when it does not fit.
bool IsTextClipped(TCanvas* Canvas, bool RightToLeft, int LeftMargin, int TopMargin, bool WordWrap,
                   const TRect& ARect, const std::string& Text, int& Width, int& Height);
void TransposeRect(TRect& ARect);
// Edges count as inside.
bool PointInRectEx(int X, int Y, const TRect& ARect);
TRect MakeRect(int Left, int Top, int Right, int Bottom);
int MaxInt2(int A, int B);
int MinInt2(int A, int B);
int IfInt(bool Condition, int A, int B);
