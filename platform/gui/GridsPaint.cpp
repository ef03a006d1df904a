// The base grid's painting: lines, the four blocks of cells and the filler beyond the last cell; and
// the pictures of the cells painted, kept so that data read again repaints only the cells that changed.
#include <algorithm>
#include <cstring>

#include "platform/gui/Grids.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr TColor kFixedLineColor = clBlack;
constexpr TColor kGridLineColor = clSilver;

}  // namespace

void TCustomGrid::DrawCell(int /*ACol*/, int /*ARow*/, TRect /*ARect*/, TGridDrawState /*AState*/) {}

// The lines run between the cells in view; where a line option is off its place takes the cells' colour.
void TCustomGrid::DrawLines(const TGridDrawInfo& DrawInfo) {
  TCanvas* canvas = Canvas();
  const TGridAxisDrawInfo& h = DrawInfo.Horz;
  const TGridAxisDrawInfo& v = DrawInfo.Vert;
  auto fill = [&](const TRect& r, TColor colour) {
    if (r.IsEmpty() || !RectVisible(canvas->Handle(), r)) return;
    canvas->Brush()->SetColor(colour);
    canvas->FillRect(r);
  };
  // vertical lines: after each column in view, across the fixed rows and across the scrolled ones
  if (h.EffectiveLineWidth > 0) {
    auto column = [&](int i, int& x) {
      int ext = ColWidths(i);
      if (ext <= 0) return;
      x += ext;
      bool fixedCol = i < fixedCols_;
      TColor upper = options_.Contains(goFixedVertLine) ? kFixedLineColor : fixedColor_;
      TColor lower = fixedCol ? (options_.Contains(goFixedVertLine) ? kFixedLineColor : fixedColor_)
                              : (options_.Contains(goVertLine) ? kGridLineColor : Color());
      fill(Rect(x, 0, x + h.EffectiveLineWidth, v.FixedBoundary), upper);
      fill(Rect(x, v.FixedBoundary, x + h.EffectiveLineWidth, v.GridBoundary), lower);
      x += h.EffectiveLineWidth;
    };
    int x = 0;
    for (int i = 0; i < fixedCols_; ++i) column(i, x);
    for (int i = topLeft_.X; i < colCount_ && x < h.GridExtent; ++i) column(i, x);
  }
  if (v.EffectiveLineWidth > 0) {
    auto row = [&](int i, int& y) {
      int ext = RowHeights(i);
      if (ext <= 0) return;
      y += ext;
      bool fixedRow = i < fixedRows_;
      TColor left = options_.Contains(goFixedHorzLine) ? kFixedLineColor : fixedColor_;
      TColor right = fixedRow ? left : (options_.Contains(goHorzLine) ? kGridLineColor : Color());
      fill(Rect(0, y, h.FixedBoundary, y + v.EffectiveLineWidth), left);
      fill(Rect(h.FixedBoundary, y, h.GridBoundary, y + v.EffectiveLineWidth), right);
      y += v.EffectiveLineWidth;
    };
    int y = 0;
    for (int i = 0; i < fixedRows_; ++i) row(i, y);
    for (int i = topLeft_.Y; i < rowCount_ && y < v.GridExtent; ++i) row(i, y);
  }
}

void TCustomGrid::DrawCells(int ACol, int ARow, int StartX, int StartY, int StopX, int StopY,
                            TColor CellColor, TGridDrawState IncludeDrawState) {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  const bool fixedBlock = IncludeDrawState.Contains(gdFixed);
  const int colLine =
      (options_.Contains(goVertLine) || options_.Contains(goFixedVertLine)) ? gridLineWidth_ : 0;
  const int rowLine =
      (options_.Contains(goHorzLine) || options_.Contains(goFixedHorzLine)) ? gridLineWidth_ : 0;
  const bool focused = GridFocused();
  const bool editorCovers = inplaceEdit_ && inplaceEdit_->Visible();
  const bool ctl3DFrame =
      ctl3D_ && options_.Contains(goFixedVertLine) && options_.Contains(goFixedHorzLine) && fixedBlock;
  RECT clip;
  GetClipBox(dc, clip);
  // one font for the block; a highlighted cell only changes its colour
  canvas->Font()->Assign(Font());
  const TColor textColor = Font()->Color();
  int y = StartY;
  for (int r = ARow; r < rowCount_ && y < StopY; ++r) {
    int rh = RowHeights(r);
    if (rh <= 0) continue;
    if (y + rh > clip.Top && y < clip.Bottom) {
      int x = StartX;
      for (int c = ACol; c < colCount_ && x < StopX; ++c) {
        int cw = ColWidths(c);
        if (cw <= 0) continue;
        TRect where = Rect(x, y, x + cw, y + rh);
        if (x + cw > clip.Left && x < clip.Right && RectVisible(dc, where)) {
          TGridDrawState state = IncludeDrawState;
          bool isCurrent = c == current_.X && r == current_.Y;
          if (!fixedBlock) {
            if (isCurrent && focused) state.Include(gdFocused);
            if (IsSelected(c, r) && (!isCurrent || options_.Contains(goDrawFocusSelected) ||
                                     options_.Contains(goRowSelect) || !focused))
              state.Include(gdSelected);
          }
          if (!(isCurrent && editorCovers && !fixedBlock)) {
            bool highlight =
                defaultDrawing_ && state.Contains(gdSelected) && (focused || options_.Contains(goRowSelect));
            canvas->Brush()->SetColor(highlight ? clHighlight : CellColor);
            canvas->Font()->SetColor(highlight ? clHighlightText : textColor);
            if (defaultDrawing_) canvas->FillRect(where);
            DrawCell(c, r, where, state);
            if (defaultDrawing_ && ctl3DFrame) {
              RECT edge = where;
              DrawEdge(canvas->Handle(), edge, BDR_RAISEDINNER, BF_RECT);
            }
            if (defaultDrawing_ && state.Contains(gdFocused) && !options_.Contains(goRowSelect))
              canvas->DrawFocusRect(where);
          }
        }
        x += cw + colLine;
      }
    }
    y += rh + rowLine;
  }
}

void TCustomGrid::Paint() {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  const bool rtl = UseRightToLeftAlignment();
  const int width = ClientWidth();
  if (rtl) {
    // the grid draws left to right into a mirrored device: cell x becomes width - x
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, width, 0, nullptr);
    SetWindowExtEx(dc, -width, ClientHeight(), nullptr);
    SetViewportExtEx(dc, width, ClientHeight(), nullptr);
  }
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const TGridAxisDrawInfo& h = info.Horz;
  const TGridAxisDrawInfo& v = info.Vert;
  DrawLines(info);
  DrawCells(0, 0, 0, 0, h.FixedBoundary, v.FixedBoundary, fixedColor_, {gdFixed});
  DrawCells(topLeft_.X, 0, h.FixedBoundary, 0, h.GridBoundary, v.FixedBoundary, fixedColor_, {gdFixed});
  DrawCells(0, topLeft_.Y, 0, v.FixedBoundary, h.FixedBoundary, v.GridBoundary, fixedColor_, {gdFixed});
  DrawCells(topLeft_.X, topLeft_.Y, h.FixedBoundary, v.FixedBoundary, h.GridBoundary, v.GridBoundary, Color(),
            {});
  // what lies beyond the last column and the last row
  canvas->Brush()->SetColor(Color());
  if (h.GridBoundary < h.GridExtent) canvas->FillRect(Rect(h.GridBoundary, 0, h.GridExtent, v.GridExtent));
  if (v.GridBoundary < v.GridExtent) canvas->FillRect(Rect(0, v.GridBoundary, h.GridBoundary, v.GridExtent));
  if (rtl) {
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
  }
  // a sizing or moving line in progress stays on screen across repaints
  if (sizingLineShown_) {
    sizingLineShown_ = false;
    DrawSizingLine(sizingInfo_);
  }
  if (moveShown_) {
    moveShown_ = false;
    DrawMove();
  }
  KeepRowPictures();
}

// ---------------------------------------------------------------- row pictures

void TRowPictureHash::Add(std::uint64_t Value) {
  // a word at a time, each folded in through a full 64-bit mix (every input bit reaches every bit)
  std::uint64_t x = value_ ^ Value;
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  value_ = x ^ (x >> 31);
}

void TRowPictureHash::Add(std::string_view Value) {
  // the length first, then eight bytes a word (the last one padded with zeros)
  Add(Value.size());
  std::size_t i = 0;
  for (; i + 8 <= Value.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, Value.data() + i, sizeof word);
    Add(word);
  }
  if (i < Value.size()) {
    std::uint64_t word = 0;
    std::memcpy(&word, Value.data() + i, Value.size() - i);
    Add(word);
  }
}

void TCustomGrid::AddGridState(TRowPictureHash& Hash) {
  Hash.Add(options_.Bits());
  Hash.Add(GridFocused());
  Hash.Add(editorMode_);
  Hash.Add(defaultDrawing_);
  Hash.Add(static_cast<std::uint32_t>(Color()));
  Hash.Add(static_cast<std::uint32_t>(fixedColor_));
}

bool TCustomGrid::CellPictures(int, const std::vector<bool>&, std::vector<std::uint64_t>&) {
  return false;
}

std::uint64_t TCustomGrid::CellPlace() {
  TRowPictureHash h;
  // (not the row count: rows that come or go at the end invalidate what they change themselves)
  for (int v : {topLeft_.X, topLeft_.Y, colCount_, fixedCols_, fixedRows_, defaultColWidth_,
                defaultRowHeight_, gridLineWidth_, ClientWidth(), ClientHeight()})
    h.Add(static_cast<std::uint32_t>(v));
  for (const auto* extents : {&colWidths_, &rowHeights_}) {
    h.Add(extents->size());
    for (const auto& [index, extent] : *extents) {
      h.Add(static_cast<std::uint32_t>(index));
      h.Add(static_cast<std::uint32_t>(extent));
    }
  }
  h.Add(UseRightToLeftAlignment());
  return h.Value();
}

// The pixel spans [first, last) of the cells of one axis in view, the grid line after each
// included: empty spans for those that do not show.
std::vector<std::pair<int, int>> TCustomGrid::CellSpans(const TGridAxisDrawInfo& Axis, bool Horizontal) {
  const int count = Horizontal ? colCount_ : rowCount_;
  std::vector<std::pair<int, int>> spans(static_cast<std::size_t>(count), {0, 0});
  int pos = 0;
  auto visit = [&](int i) {
    const int extent = CellExtent(Horizontal, i);
    if (extent <= 0) return;
    if (pos < Axis.GridExtent)
      spans[static_cast<std::size_t>(i)] = {pos, std::min(pos + extent + gridLineWidth_, Axis.GridExtent)};
    pos += extent + Axis.EffectiveLineWidth;
  };
  for (int i = 0; i < Axis.FixedCellCount && i < count; ++i) visit(i);
  for (int i = Axis.FirstGridCell; i < count && pos < Axis.GridExtent; ++i) visit(i);
  return spans;
}

void TCustomGrid::KeepRowPictures() {
  const TScopeExit forget([this] { drawnPictures_.clear(); });  // they are this paint's
  if (!keepRowPictures_ || !HandleAllocated()) return;
  const std::uint64_t place = CellPlace();
  if (place != rowPicturesPlace_) {
    rowPictures_.clear();
    rowPicturesPlace_ = place;
  }
  RECT clip;
  if (UseRightToLeftAlignment() || GetClipBox(Canvas()->Handle(), clip) == NULLREGION) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const auto cols = CellSpans(info.Horz, true), rows = CellSpans(info.Vert, false);
  std::vector<std::uint64_t> now;
  std::vector<bool> whole(cols.size()), ask(cols.size());
  const std::vector<std::uint64_t> noneDrawn(cols.size(), kUnknownPicture);
  for (int r = topLeft_.Y; r < rowCount_; ++r) {
    const auto [top, bottom] = rows[static_cast<std::size_t>(r)];
    if (top >= bottom) break;
    if (bottom <= clip.Top || top >= clip.Bottom) continue;  // not painted: what it showed still shows
    const auto noted = drawnPictures_.find(r);
    const std::vector<std::uint64_t>& drawn =
        noted != drawnPictures_.end() && noted->second.size() == cols.size() ? noted->second : noneDrawn;
    // the pictures of the cells the paint drew whole: only those are kept, and of those only the ones
    // the paint did not note are asked for
    for (std::size_t c = 0; c < cols.size(); ++c) {
      const auto [left, right] = cols[c];
      whole[c] = left < right && clip.Left <= left && clip.Right >= right && clip.Top <= top &&
                 clip.Bottom >= bottom;
      ask[c] = whole[c] && drawn[c] == kUnknownPicture;
    }
    const bool known = CellPictures(r, ask, now) && now.size() == cols.size();
    std::vector<std::uint64_t>& kept = rowPictures_[r];
    kept.resize(cols.size(), kUnknownPicture);
    for (std::size_t c = 0; c < cols.size(); ++c) {
      const auto [left, right] = cols[c];
      if (left >= right || right <= clip.Left || left >= clip.Right) continue;
      kept[c] = whole[c] && known ? (drawn[c] != kUnknownPicture ? drawn[c] : now[c]) : kUnknownPicture;
    }
  }
}

void TCustomGrid::NoteDrawnPicture(int ACol, int ARow, std::uint64_t Picture) {
  if (ACol < 0 || ACol >= colCount_) return;
  std::vector<std::uint64_t>& row = drawnPictures_[ARow];
  row.resize(static_cast<std::size_t>(colCount_), kUnknownPicture);
  row[static_cast<std::size_t>(ACol)] = Picture;
}

void TCustomGrid::InvalidateChangedCells(int ARow) {
  if (!HandleAllocated() || ARow < 0 || ARow >= rowCount_) return;
  if (CellPlace() != rowPicturesPlace_) {
    InvalidateRow(ARow);
    return;
  }
  TGridDrawInfo info;
  CalcDrawInfo(info);
  std::vector<std::uint64_t> now;
  InvalidateChangedCells(ARow, {CellSpans(info.Horz, true), CellSpans(info.Vert, false)}, now);
}

void TCustomGrid::InvalidateChangedCells(int ARow, const TCellSpans& Spans, std::vector<std::uint64_t>& Now) {
  if (!HandleAllocated() || ARow < 0 || ARow >= rowCount_) return;
  const auto kept = rowPictures_.find(ARow);
  if (kept == rowPictures_.end() || UseRightToLeftAlignment()) {
    InvalidateRow(ARow);
    return;
  }
  std::vector<bool> inView(Spans.Cols.size());
  for (std::size_t c = 0; c < Spans.Cols.size(); ++c) inView[c] = Spans.Cols[c].first < Spans.Cols[c].second;
  if (!CellPictures(ARow, inView, Now) || Now.size() != kept->second.size()) {
    InvalidateRow(ARow);
    return;
  }
  const auto [top, bottom] = Spans.Rows[static_cast<std::size_t>(ARow)];
  if (top >= bottom) return;
  for (std::size_t c = 0; c < Spans.Cols.size() && c < Now.size(); ++c) {
    const auto [left, right] = Spans.Cols[c];
    if (left < right && (Now[c] == kUnknownPicture || Now[c] != kept->second[c])) {
      const RECT cell = Rect(left, top, right, bottom);
      ::InvalidateRect(Handle(), &cell, false);
    }
  }
}

void TCustomGrid::InvalidateChangedRows() {
  if (!HandleAllocated()) return;
  if (!keepRowPictures_ || CellPlace() != rowPicturesPlace_) {
    InvalidateGrid();
    return;
  }
  // the cells lie where they lay when painted: their spans are worked out once for every row
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const TCellSpans spans{CellSpans(info.Horz, true), CellSpans(info.Vert, false)};
  std::vector<std::uint64_t> now;
  for (int r = topLeft_.Y; r < rowCount_; ++r) {
    const auto [top, bottom] = spans.Rows[static_cast<std::size_t>(r)];
    if (top >= bottom) break;
    InvalidateChangedCells(r, spans, now);
  }
}
