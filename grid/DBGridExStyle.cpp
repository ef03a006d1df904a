#include "grid/DBGridExStyle.h"

#include <cassert>
#include <cmath>

#include "platform/db/DB.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"

namespace {

constexpr COLORREF kFixedSelectedColor = RGB(64, 64, 64);

enum class TDefaultStyleState { NotMade, Alive, Destroyed };

struct DefaultStyleSlot {
  TDBGridExStyle* Style = nullptr;
  TDefaultStyleState State = TDefaultStyleState::NotMade;
};

DefaultStyleSlot& Slot() {
  static DefaultStyleSlot slot;
  return slot;
}

TColor NearestScreenColor(TColor Color) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetNearestColor(dc, ColorToRGB(Color));
  ReleaseDC(nullptr, dc);
  return static_cast<TColor>(c);
}

int BlendComponent(int c1, int c2, bool Darken) {
  double m = c1 + (c2 - c1) * 0.5;
  m = m + (225 - m) * 0.6;
  if (Darken) m = m - (122 - m) * 0.25;
  const double r = std::nearbyint(m);  // halves to even
  return static_cast<int>(std::clamp(r, 0.0, 255.0));
}

}  // namespace

// ---------------------------------------------------------------- decisions

bool HighlightDataCellDecision(const THighlightDataCellState& S, bool Blend, bool TrueColor, TColor& AColor,
                               TColor& FontColor) {
  bool highlight = S.InSelection;
  bool highlightRow = false;
  if (!highlight) {
    bool selected = S.StateSelected;
    highlightRow = S.HighlightFocusOption && S.GridWindowFocused;
    if (S.RowHighlightOption && S.InCurrentRow && !S.MultiSelection && !S.InCurrentColumn) {
      highlightRow = true;
      selected = true;
    }
    highlight = (selected || (S.InCurrentRow && S.RowSelect)) && (S.AlwaysShowSelection || highlightRow) &&
                (!S.EditorMode || S.RowSelect);
  }
  if (!highlight) return false;
  const bool focusedCell = S.InCurrentRow && (S.InCurrentColumn || S.RowSelect);
  if (S.HasFocus) {
    if (Blend && TrueColor && !focusedCell) {
      AColor = NearestScreenColor(BlendColor(AColor, clHighlight, true));
    } else {
      AColor = clHighlight;
      FontColor = clHighlightText;
    }
  } else if (focusedCell && (S.AlwaysShowSelection || highlightRow)) {
    AColor = clBtnShadow;
    FontColor = clHighlightText;
  } else if (TrueColor) {
    AColor = NearestScreenColor(BlendColor(AColor, clBtnShadow, false));
  } else {
    AColor = clBtnFace;
  }
  return true;
}

bool HighlightNoDataCellDecision(int HorzKind, int VertKind, bool Selected, bool HasFocus, bool Blend,
                                 bool TrueColor, TColor& AColor, TColor& FontColor) {
  if (!Selected) return false;
  if ((HorzKind == 0 && VertKind != 3) || (HorzKind == 1 && VertKind < 2)) {
    AColor = static_cast<TColor>(kFixedSelectedColor);
    FontColor = clWhite;
    return true;
  }
  if (!HasFocus) {
    AColor = TrueColor ? BlendColor(AColor, clBtnShadow, false) : clBtnFace;
  } else if (Blend && TrueColor) {
    AColor = BlendColor(AColor, clHighlight, true);
  } else {
    AColor = clHighlight;
    FontColor = clHighlightText;
  }
  return true;
}

// ---------------------------------------------------------------- TDBGridExStyle

TDBGridExStyle::TDBGridExStyle() {
  window_ = AllocateHWnd([this](TMessage& m) { StyleWndProc(m); });
  UpdateScreenColors();
}

TDBGridExStyle::~TDBGridExStyle() {
  DeallocateHWnd(window_);
  auto& slot = Slot();
  if (slot.Style == this) {
    slot.Style = nullptr;
    slot.State = TDefaultStyleState::Destroyed;
  }
  while (!grids_.empty()) {
    IDBGridExStyleClient* grid = grids_.back();
    grids_.pop_back();
    grid->SetStyle(nullptr);
    std::erase(grids_, grid);  // in case it registered again with this style
  }
}

void TDBGridExStyle::AddGrid(IDBGridExStyleClient* Grid) {
  assert(Grid);
  if (!IsGridRegistered(Grid)) grids_.push_back(Grid);
}

void TDBGridExStyle::RemoveGrid(IDBGridExStyleClient* Grid) {
  std::erase(grids_, Grid);
}

bool TDBGridExStyle::IsGridRegistered(IDBGridExStyleClient* Grid) const {
  return std::find(grids_.begin(), grids_.end(), Grid) != grids_.end();
}

bool TDBGridExStyle::HighlightDataCell(const THighlightDataCellState& S, TColor& AColor, TColor& FontColor) {
  return HighlightDataCellDecision(S, blendSelectionColors_, TrueColorScreen(), AColor, FontColor);
}

bool TDBGridExStyle::HighlightNoDataCell(int HorzKind, int VertKind, bool Selected, bool HasFocus,
                                         TColor& AColor, TColor& FontColor) {
  return HighlightNoDataCellDecision(HorzKind, VertKind, Selected, HasFocus, blendSelectionColors_,
                                     TrueColorScreen(), AColor, FontColor);
}

void TDBGridExStyle::StyleWndProc(TMessage& Message) {
  if (Message.Msg == WM_SYSCOLORCHANGE) {
    UpdateScreenColors();
    Message.Result = 0;
    return;
  }
  Message.Result = DefWindowProc(window_, Message.Msg, Message.WParam, Message.LParam);
}

void TDBGridExStyle::UpdateScreenColors() {
  HDC dc = GetDC(nullptr);
  screenNumColors_ = GetDeviceCaps(dc, NUMCOLORS);
  ReleaseDC(nullptr, dc);
}

TDBGridExStyle* DefaultGridStyle() {
  auto& slot = Slot();
  if (slot.State == TDefaultStyleState::NotMade) return CreateDefaultGridStyle();
  return slot.Style;
}

TDBGridExStyle* CreateDefaultGridStyle() {
  auto& slot = Slot();
  if (!slot.Style) {
    slot.Style = new TDBGridExStyle;
    slot.State = TDefaultStyleState::Alive;
  }
  return slot.Style;
}

void FreeDefaultGridStyle() {
  delete Slot().Style;
}

// ---------------------------------------------------------------- helpers

TColor BlendColor(TColor Color1, TColor Color2, bool Darken) {
  const COLORREF a = ColorToRGB(Color1), b = ColorToRGB(Color2);
  return static_cast<TColor>(RGB(BlendComponent(GetRValue(a), GetRValue(b), Darken),
                                 BlendComponent(GetGValue(a), GetGValue(b), Darken),
                                 BlendComponent(GetBValue(a), GetBValue(b), Darken)));
}

std::string GetDefaultSection(TComponent* Component) {
  if (!Component) return {};
  if (dynamic_cast<TCustomForm*>(Component)) return Component->ClassName();
  if (auto* control = dynamic_cast<TControl*>(Component)) {
    if (TCustomForm* form = GetParentForm(control)) return form->ClassName() + control->Name();
    if (control->Parent()) return control->Parent()->Name() + control->Name();
    return control->Name();
  }
  if (auto* owner = dynamic_cast<TCustomForm*>(Component->Owner()))
    return Format("%s.%s", {owner->ClassName(), Component->Name()});
  return Component->Name();
}

void RaiseGridError(const std::string& Message) {
  throw EInvalidGridOperation(Message);
}

void KillMessage(HWND Wnd, UINT Msg) {
  MSG msg;
  if (PeekMessage(msg, Wnd, Msg, Msg, PM_REMOVE) && msg.message == WM_QUIT)
    PostQuitMessage(static_cast<int>(msg.wParam));
}

bool AllFieldsCanModify(const std::vector<TField*>& Fields) {
  for (TField* f : Fields)
    if (!f->CanModify()) return false;
  return true;
}

void InvalidateGridRow(TCustomGrid* Grid, int Row) {
  for (int c = 0; c < Grid->ColCount(); ++c) Grid->InvalidateCell(c, Row);
}

HDC TextDC(TCanvas* Canvas) {
  Canvas->TextExtent(std::string());  // selects the font (and its colour) when it changed
  return Canvas->Handle();
}

int CalcTextWidth(TCanvas* Canvas, const std::string& Text) {
  RECT r = Rect(0, 0, 0, 0);
  DrawText(TextDC(Canvas), Text, r, DT_CALCRECT | DT_NOPREFIX);
  return r.Width();
}

bool IsTextClipped(TCanvas* Canvas, bool RightToLeft, int LeftMargin, int TopMargin, bool WordWrap,
                   const TRect& ARect, const std::string& Text, int& Width, int& Height) {
  const int room = ARect.Width() - 2 - LeftMargin;
  RECT r = Rect(0, 0, std::max(room, 1), 0);
  UINT flags = DT_CALCRECT | DT_NOPREFIX | (RightToLeft ? DT_RTLREADING | DT_RIGHT : 0);
  if (WordWrap) flags |= DT_WORDBREAK;
  DrawText(TextDC(Canvas), Text, r, flags);
  Width = r.Width();
  Height = r.Height();
  return Width > room || Height > ARect.Height() - TopMargin + 1;
}

void TransposeRect(TRect& ARect) {
  const int w = ARect.Width(), h = ARect.Height();
  ARect.Right = ARect.Left + h;
  ARect.Bottom = ARect.Top + w;
}

bool PointInRectEx(int X, int Y, const TRect& ARect) {
  return X >= ARect.Left && X <= ARect.Right && Y >= ARect.Top && Y <= ARect.Bottom;
}

TRect MakeRect(int Left, int Top, int Right, int Bottom) {
  return Rect(Left, Top, Right, Bottom);
}

int MaxInt2(int A, int B) {
  return A > B ? A : B;
}

int MinInt2(int A, int B) {
  return A < B ? A : B;
}

int IfInt(bool Condition, int A, int B) {
  return Condition ? A : B;
}
