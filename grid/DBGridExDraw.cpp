// The grid's drawing: grid lines, the indicator column, titles (plain, multi-level, vertical, with sort
// markers), the filter row, data cells, footers and the focus rectangle; and the tooltip window that
// shows a clipped cell's whole text.
#include <algorithm>
#include <cassert>

#include "grid/DBGridEx.h"
#include "grid/DBGridExFilter.h"
#include "grid/DBGridExFooters.h"
#include "grid/DBGridExSelection.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------- text helpers

namespace {

// The number of bytes of the last Count characters of a UTF-8 text (all of it when shorter).
size_t LastCharsBytes(const std::string& Text, int Count) {
  size_t end = Text.size();
  while (Count-- > 0 && end > 0) {
    --end;
    while (end > 0 && (static_cast<unsigned char>(Text[end]) & 0xC0) == 0x80) --end;
  }
  return Text.size() - end;
}

struct SharedBitmap {
  std::unique_ptr<TBitmap> bitmap;
  int uses = 0;
};
SharedBitmap& Shared() {
  static SharedBitmap shared;
  return shared;
}

constexpr int kCheckBoxSize = 13;
constexpr TColor kFilterTextColor = clBlue;
constexpr COLORREF kFixedLineColor = RGB(0, 0, 0);
constexpr COLORREF kFlatFixedLineColor = RGB(128, 128, 128);
constexpr COLORREF kDataLineColor = RGB(192, 192, 192);

// The indicator images by the dataset's state.
constexpr int kIndicatorArrow = 0, kIndicatorEdit = 1, kIndicatorInsert = 2, kIndicatorSelectedArrow = 5,
              kIndicatorSearchArrow = 6, kNoIndicator = -1;

}  // namespace

void AcquireSharedDrawBitmap() {
  SharedBitmap& s = Shared();
  if (s.uses++ == 0) s.bitmap = std::make_unique<TBitmap>();
}

void ReleaseSharedDrawBitmap() {
  SharedBitmap& s = Shared();
  assert(s.uses > 0);
  if (--s.uses == 0) s.bitmap.reset();
}

TBitmap* SharedDrawBitmap() {
  SharedBitmap& s = Shared();
  if (!s.bitmap) s.bitmap = std::make_unique<TBitmap>();  // a caller outside any grid
  return s.bitmap.get();
}

std::string TruncateToWidth(const std::string& Text, TCanvas* Canvas, int Width) {
  if (Canvas->TextWidth(Text) <= Width) return Text;
  // two characters first, then one more each step: the longest text that fits with "..."
  std::string s = Text;
  s.erase(s.size() - LastCharsBytes(s, 2));
  while (!s.empty() && Canvas->TextWidth(s + "...") > Width) s.erase(s.size() - LastCharsBytes(s, 1));
  return s + "...";
}

void WriteTextEx(TCanvas* ACanvas, TRect ARect, bool FillRect, int DX, int DY, const std::string& Text,
                 TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMarg,
                 int RightMarg, bool RightToLeft) {
  HDC dc = ACanvas->Handle();
  const TColor brush = ACanvas->Brush()->Color();
  const COLORREF rgb = ColorToRGB(brush);
  const bool pure = ACanvas->Brush()->Style() == bsSolid && GetNearestColor(dc, rgb) == rgb;
  if (pure && !WordWrap) {
    std::string text = Text;
    if (EndEllipsis) text = TruncateToWidth(text, ACanvas, ARect.Width() - DX);
    int width = ACanvas->TextWidth(text);
    if (ACanvas->Font()->Style().Contains(fsBold) || ACanvas->Font()->Style().Contains(fsItalic)) {
      SIZE size;
      GetTextExtentPoint32(dc, text, size);
      width = size.cx;
    }
    int x = ARect.Left + DX;
    if (Alignment == taRightJustify) {
      x = ARect.Right - width - 3;
    } else if (Alignment == taCenter) {
      x = ARect.IsEmpty() ? 0 : (ARect.Right - ARect.Left) / 2 + ARect.Left - width / 2;
    }
    const UINT options = ETO_CLIPPED | (FillRect ? ETO_OPAQUE : 0) | (RightToLeft ? ETO_RTLREADING : 0);
    SetBkColor(dc, rgb);
    SetBkMode(dc, FillRect ? OPAQUE : TRANSPARENT);
    RECT clip = ARect;
    ExtTextOut(dc, x, ARect.Top + DY, options, &clip, text);
    return;
  }
  // through the shared off-screen bitmap: word wrap, ellipsis and patterned backgrounds
  const int w = std::max(0, ARect.Width()), h = std::max(0, ARect.Height());
  if (w == 0 || h == 0) return;
  TBitmap* bitmap = SharedDrawBitmap();
  if (bitmap->Width() < w || bitmap->Height() < h)
    bitmap->SetSize(std::max(bitmap->Width(), w), std::max(bitmap->Height(), h));
  TCanvas* b = bitmap->Canvas();
  b->Font()->Assign(ACanvas->Font());
  b->Brush()->Assign(ACanvas->Brush());
  // the cell's background is the brush (a caller that filled the cell filled it with the same brush)
  b->FillRect(Rect(0, 0, w, h));
  HDC bdc = TextDC(b);
  UINT format = DT_NOPREFIX | DT_EXPANDTABS;  // the tab length comes with the parameters
  if (Alignment == taRightJustify) format |= DT_RIGHT;
  if (Alignment == taCenter) format |= DT_CENTER;
  if (WordWrap) format |= DT_WORDBREAK;
  if (EndEllipsis) format |= DT_END_ELLIPSIS;
  if (RightToLeft) format |= DT_RTLREADING;
  DRAWTEXTPARAMS params;
  params.iTabLength = 20;
  params.iLeftMargin = LeftMarg;
  params.iRightMargin = RightMarg;
  RECT r = Rect(DX, DY, w - DX, h - DY + (DX > 0 ? 1 : 0));
  if (Layout != tlTop) {
    RECT measure = r;
    const int textHeight = DrawTextEx(bdc, Text, measure, format | DT_CALCRECT, &params);
    const int room = r.Bottom - r.Top;
    if (textHeight < room) r.Top += Layout == tlCenter ? (room - textHeight) / 2 : room - textHeight;
  }
  SetBkMode(bdc, TRANSPARENT);
  DrawTextEx(bdc, Text, r, format, &params);
  BitBlt(dc, ARect.Left, ARect.Top, w, h, bdc, 0, 0, SRCCOPY);
}

HFONT CreateRotatedFontEx(TFont* Font) {
  LOGFONT lf;
  GetObject(Font->Handle(), lf);
  lf.lfEscapement = 900;
  lf.lfOrientation = 900;
  lf.lfWeight = Font->Style().Contains(fsBold) ? 700 : 400;
  lf.lfItalic = Font->Style().Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = Font->Style().Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = Font->Style().Contains(fsStrikeOut) ? 1 : 0;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  lf.lfFaceName = Font->Name() == "Default" ? TFont().Name() : Font->Name();
  return CreateFontIndirect(lf);
}

int WriteTextVerticalEx(TCanvas* ACanvas, const TRect& ARect, bool FillRect, int DX, int DY,
                        const std::string& Text, TAlignment Alignment, TTextLayout Layout, bool EndEllipsis,
                        bool CalcTextExtent) {
  HDC dc = ACanvas->Handle();
  // the text's length along the cell, the italic overhang included
  int length = ACanvas->TextWidth(Text);
  if (ACanvas->Font()->Style().Contains(fsItalic)) {
    OUTLINETEXTMETRIC otm;
    if (GetOutlineTextMetrics(dc, otm) && otm.otmsCharSlopeRise != 0)
      length += (otm.otmTextMetrics.tmHeight - otm.otmTextMetrics.tmInternalLeading) * otm.otmsCharSlopeRun /
                otm.otmsCharSlopeRise;
  }
  if (CalcTextExtent) return length;
  const int textHeight = ACanvas->TextHeight("Wg");
  std::string text = Text;
  if (EndEllipsis && length > ARect.Height() - DY) {
    text = TruncateToWidth(Text, ACanvas, ARect.Height() - DY);
    length = ACanvas->TextWidth(text);
  }
  HFONT rotated = CreateRotatedFontEx(ACanvas->Font());
  TScopeExit freeFont([rotated] { DeleteObject(rotated); });
  int y = ARect.Bottom - DY;
  if (Alignment == taRightJustify) y = ARect.Top + length + DY;
  if (Alignment == taCenter) y = ARect.Bottom - (ARect.Height() - length) / 2;
  int x = ARect.Left + DX;
  if (Layout == tlCenter) x = ARect.Left + (ARect.Width() - textHeight) / 2;
  if (Layout == tlBottom) x = ARect.Right - textHeight - DX;
  const COLORREF rgb = ColorToRGB(ACanvas->Brush()->Color());
  const bool pure = ACanvas->Brush()->Style() == bsSolid && GetNearestColor(dc, rgb) == rgb;
  if (FillRect && pure) {
    ACanvas->FillRect(ARect);
  } else if (FillRect) {
    // a patterned background goes through the shared bitmap like horizontal text
    WriteTextEx(ACanvas, ARect, true, 0, 0, "", taLeftJustify, tlTop, false, false, 0, 0, false);
  }
  const int saved = SaveDC(dc);
  TScopeExit restore([dc, saved] { RestoreDC(dc, saved); });
  IntersectClipRect(dc, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  SelectObject(dc, rotated);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(ACanvas->Font()->Color()));
  ExtTextOut(dc, x, y, 0, nullptr, text);
  return length;
}

void DrawImage(TCustomImageList* Images, TCanvas* Canvas, TAlignment Alignment, int DX, int Index,
               const TRect& ARect) {
  if (!Images || Index < 0 || Index >= Images->Count()) return;
  int x = ARect.Left + DX;
  if (Alignment == taRightJustify) x = ARect.Right - Images->Width() + DX;
  if (Alignment == taCenter) x = ARect.Left + (ARect.Width() - Images->Width()) / 2 + DX;
  const int y = ARect.Top + (ARect.Height() - Images->Height()) / 2;
  const bool fits = x >= ARect.Left && y >= ARect.Top && x + Images->Width() <= ARect.Right &&
                    y + Images->Height() <= ARect.Bottom;
  HDC dc = Canvas->Handle();
  if (fits) {
    Images->Draw(Canvas, x, y, Index);
    return;
  }
  const int saved = SaveDC(dc);
  TScopeExit restore([dc, saved] { RestoreDC(dc, saved); });
  IntersectClipRect(dc, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  Images->Draw(Canvas, x, y, Index);
}

// ---------------------------------------------------------------- cell classification

TCellTypeEx TCustomDBGridEx::GetCellType(int ACol, int ARow) const {
  TCellTypeEx t;
  t.ColArea = ACol < indicatorOffset_ ? kAreaIndicator : kAreaData;
  t.DataCol = ACol - indicatorOffset_;
  const int titles = TitlesShown() ? 1 : 0;
  const int dataRows = DataRowCount();
  if (ARow < titles) {
    t.RowArea = kAreaTitle;
    t.DataRow = ARow;
  } else if (ARow < titleOffset_ && ARow >= titleOffset_ - SpecRowCount()) {
    t.RowArea = kAreaSpecRow;
    t.DataRow = 0;
  } else if (ARow < titleOffset_) {
    t.RowArea = kAreaFilter;
    t.DataRow = ARow - titles;
  } else if (ARow < titleOffset_ + dataRows) {
    t.RowArea = kAreaDataRow;
    t.DataRow = ARow - titleOffset_;
  } else if (footerRowCount_ > 0 && ARow == titleOffset_ + dataRows) {
    t.RowArea = kAreaSeparator;
    t.DataRow = 0;
  } else if (footerRowCount_ > 0 && ARow > titleOffset_ + dataRows && ARow < RowCount()) {
    t.RowArea = kAreaFooter;
    t.DataRow = ARow - (titleOffset_ + dataRows) - 1;
  } else {
    throw Exception("Algorithm error in TCustomDBGridEx.GetCellType");
  }
  return t;
}

int TCustomDBGridEx::DataRowCount() const {
  return std::max(0, RowCount() - titleOffset_ - (footerRowCount_ > 0 ? footerRowCount_ + 1 : 0));
}

bool TCustomDBGridEx::Is3DCell(int ACol, int ARow, TGridDrawState State) const {
  const TCellTypeEx t = GetCellType(ACol, ARow);
  const bool footers = footerRowCount_ > 0;
  const bool fixed = State.Contains(gdFixed);
  if (t.RowArea == kAreaSpecRow) return false;
  if (t.RowArea == kAreaFilter && t.ColArea == kAreaData && ColumnTakesFilter(t.DataCol)) return false;
  const bool separatorIndicator = footers && t.ColArea == kAreaIndicator && t.RowArea == kAreaSeparator;
  if (optionsEx_.Contains(dghFixed3D) && fixed && !separatorIndicator &&
      (t.ColArea == kAreaIndicator || t.RowArea == kAreaTitle || t.RowArea == kAreaFilter))
    return true;
  if (optionsEx_.Contains(dghFooter3D) && t.RowArea == kAreaFooter) return true;
  if (optionsEx_.Contains(dghData3D) && !fixed && !(footers && t.RowArea >= kAreaSeparator)) return true;
  if (separatorIndicator && optionsEx_.Contains(dghFixed3D) &&
      (optionsEx_.Contains(dghData3D) || optionsEx_.Contains(dghFooter3D)))
    return true;
  if (optionsEx_.Contains(dghFrozen3D) && fixed && t.ColArea == kAreaData && t.RowArea == kAreaDataRow)
    return true;
  return false;
}

bool TCustomDBGridEx::ColumnTakesKeys(const TColumnEx* Column) {
  return Column && Column->Visible();
}

bool TCustomDBGridEx::ColumnTakesFilter(int DataCol) const {
  if (!FilterRowShown() || DataCol < 0 || DataCol >= columns_->Count()) return false;
  // a hidden column shows no filter cell: editing one would put the current column on it
  TColumnEx* c = columns_->Items(DataCol);
  return ColumnTakesKeys(c) && c->STFilter()->Visible();
}

bool TCustomDBGridEx::CellSelected(int DataCol, int ARow, const TBookmarkStr& Bookmark) {
  TDBGridExSelection* selection = Selection();
  const TDBGridExSelectionType kind = selection->SelectionType();
  if (kind == gstAll) return true;
  if (kind == gstNon) return false;
  const TCellTypeEx type = GetCellType(DataCol < 0 ? 0 : DataToRawColumn(DataCol), ARow);
  if (DataCol < 0 || type.ColArea == kAreaIndicator) {
    int index = 0;
    return type.RowArea == kAreaDataRow && kind == gstRecordBookmarks && !Bookmark.empty() &&
           SelectedRows()->Find(Bookmark, index);
  }
  if (type.RowArea == kAreaDataRow)
    return !Bookmark.empty() && selection->DataCellSelected(DataCol, Bookmark);
  if (type.RowArea == kAreaTitle || type.RowArea == kAreaFooter)
    return kind == gstColumns && selection->Columns()->Contains(columns_->Items(DataCol));
  return false;
}

TBookmarkStr TCustomDBGridEx::BufferRowBookmark(int BufferRow) {
  if (!dataLink_->Active() || BufferRow < 0 || BufferRow >= dataLink_->RecordCount()) return {};
  const int saved = dataLink_->ActiveRecord();
  dataLink_->SetActiveRecord(BufferRow);
  TScopeExit restore([this, saved] { dataLink_->SetActiveRecord(saved); });
  return dataLink_->DataSet()->Bookmark();
}

void TCustomDBGridEx::SetIncSearchState(bool Running, const std::string& Text) {
  incSearchRunning_ = Running;
  incSearchText_ = Running ? Text : std::string();
  if (HandleAllocated()) InvalidateCell(Col(), Row());
  if (HandleAllocated() && options_.Contains(dgIndicator)) InvalidateCell(0, Row());
}

// ---------------------------------------------------------------- painting

void TCustomDBGridEx::Paint() {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  const bool rtl = UseRightToLeftAlignment();
  const int width = ClientWidth();
  if (rtl) ChangeGridOrientation(true);
  TScopeExit identity([this, rtl] {
    if (rtl) ChangeGridOrientation(false);
  });
  TGridDrawInfoEx drawInfo;
  CalcDrawInfoEx(drawInfo);
  const TGridDrawInfo& info = drawInfo.Info;
  // the data cells drawn note their pictures, kept at the end of the paint
  ForgetDrawnPictures();
  if (keepRowPictures_ && !rtl && PicturesTold()) {
    bool focused = false;
    paintPicture_ = GridPicture(focused);
  }
  TScopeExit notingDone([this] { paintPicture_.reset(); });
  DrawGridLines(info);
  const int fixedCols = FixedCols(), fixedRows = FixedRows();
  PaintCells(0, 0, fixedCols, fixedRows, 0, 0, {gdFixed});
  PaintCells(0, TopRow(), fixedCols, RowCount(), 0, info.Vert.FixedBoundary, {gdFixed});
  PaintCells(LeftCol(), 0, ColCount(), fixedRows, info.Horz.FixedBoundary, 0, {gdFixed});
  PaintCells(LeftCol(), TopRow(), ColCount(), RowCount(), info.Horz.FixedBoundary, info.Vert.FixedBoundary,
             {});
  // what lies beyond the last column and the last row
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsSolid);
  if (info.Horz.GridBoundary < info.Horz.GridExtent)
    canvas->FillRect(Rect(info.Horz.GridBoundary, 0, info.Horz.GridExtent, info.Vert.GridExtent));
  if (info.Vert.GridBoundary < info.Vert.GridExtent)
    canvas->FillRect(Rect(0, info.Vert.GridBoundary, info.Horz.GridBoundary, info.Vert.GridExtent));
  (void)dc;
  (void)width;
  // each band is drawn once a paint
  headTree_->ForEach([](THeadTreeNode* n) {
    n->Drawn = false;
    return true;
  });
  KeepRowPictures();
}

bool TCustomDBGridEx::PicturesTold() {
  // drawn by the program's own handlers, or rows of a memory table: not told
  return !memTable_ && dataLink_->Active() && !OnDrawColumnCell && !OnDrawDataCell && DefaultDrawing() &&
         !ComponentState().Contains(csLoading) && !ComponentState().Contains(csDesigning);
}

TRowPictureHash TCustomDBGridEx::GridPicture(bool& Focused) {
  TRowPictureHash grid;
  AddGridState(grid);
  grid.Add(dataLink_->DataSet()->State());
  grid.Add(optionsEx_.Bits());
  grid.Add(options_.Bits());
  grid.Add(flat_);
  grid.Add(updateLock_ == 0);
  // (with a form both ContainsFocus and IsFormActiveControl are whether it is the form's active control)
  TCustomForm* form = GetParentForm(this);
  Focused = form ? form->ActiveControl() == this : ContainsFocus();
  grid.Add(Focused);
  grid.Add(HasFocus());
  grid.Add(HandleAllocated() && GetFocus() == Handle());
  grid.Add(form ? Focused : IsFormActiveControl());
  grid.Add(incSearchRunning_);
  grid.Add(incSearchText_);
  grid.Add(Selection()->SelectionType());
  return grid;
}

std::uint64_t TCustomDBGridEx::DataCellPicture(const TRowPictureHash& Grid, int ACol, int ARow,
                                               TGridDrawState AState, TColumnEx* Column, TFont* AFont,
                                               bool Highlighted, TColor Lit) {
  const TColCellParamsEx* params = colCellParams_.get();
  TRowPictureHash h = Grid;
  h.Add(kAreaData);
  h.Add(ACol == Col() && ARow == Row());  // the focus rectangle and the search's match
  h.Add(AState.Bits());
  h.Add(Is3DCell(ACol, ARow, AState));
  h.Add(params->Text);
  h.Add(params->Alignment);
  h.Add(static_cast<std::uint32_t>(params->Background));
  h.Add(static_cast<std::uint32_t>(params->ImageIndex));
  h.Add(params->CheckboxState);
  h.Add(Column->GetColumnType());
  h.Add(Highlighted);
  h.Add(static_cast<std::uint32_t>(Lit));
  h.Add(static_cast<std::uint32_t>(AFont->Color()));
  h.Add(static_cast<std::uint32_t>(AFont->Height()));
  h.Add(AFont->Style().Bits());
  h.Add(AFont->Name());
  return h.Value();
}

bool TCustomDBGridEx::CellPictures(int ARow, const std::vector<bool>& Wanted,
                                   std::vector<std::uint64_t>& Pictures) {
  assert(Wanted.size() == static_cast<std::size_t>(ColCount()));
  if (!PicturesTold()) return false;
  const TCellTypeEx row = GetCellType(ColCount() - 1, ARow);
  if (row.RowArea != kAreaDataRow || row.DataRow >= dataLink_->RecordCount()) return false;
  // what every cell depends on
  bool focused = false;
  const TRowPictureHash grid = GridPicture(focused);
  if (!pictureFont_) pictureFont_ = std::make_unique<TFont>();
  const int saved = dataLink_->ActiveRecord();
  dataLink_->SetActiveRecord(row.DataRow);
  TScopeExit restore([this, saved] { dataLink_->SetActiveRecord(saved); });
  const TGridRect selection = TCustomGrid::Selection();
  TColCellParamsEx* params = colCellParams_.get();
  Pictures.assign(static_cast<std::size_t>(ColCount()), kUnknownPicture);
  for (int c = 0; c < ColCount(); ++c) {
    if (!Wanted[static_cast<std::size_t>(c)]) continue;
    const TCellTypeEx type = GetCellType(c, ARow);
    if (type.ColArea == kAreaIndicator) {
      TRowPictureHash h = grid;
      h.Add(type.ColArea);
      h.Add(c == Col() && ARow == Row());
      h.Add(row.DataRow == saved);  // the current record's
      h.Add(RowSelectedForIndicator(row.DataRow));
      Pictures[static_cast<std::size_t>(c)] = h.Value();
      continue;
    }
    if (type.ColArea != kAreaData) continue;
    // the state the paint draws the cell in
    TGridDrawState state;
    if (c >= FixedCols()) {
      if (c == Col() && ARow == Row() && focused) state.Include(gdFocused);
      if (selection.Contains(c, ARow) || (options_.Contains(dgRowSelect) && ARow == Row()))
        state.Include(gdSelected);
    } else {
      state.Include(gdFixed);
    }
    colCellParams_->Col = c;
    colCellParams_->Row = ARow;
    TColumnEx* column = columns_->Items(type.DataCol);
    PrepareCellParams(column, pictureFont_.get(), state);
    TColor lit = params->Background;
    const bool highlighted =
        HighlightDataCell(c, ARow, state, lit, pictureFont_.get(), DataCellInSelection(type));
    Pictures[static_cast<std::size_t>(c)] =
        DataCellPicture(grid, c, ARow, state, column, pictureFont_.get(), highlighted, lit);
  }
  return true;
}

void TCustomDBGridEx::ChangeGridOrientation(bool RightToLeft) {
  HDC dc = Canvas()->Handle();
  if (RightToLeft) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, ClientWidth(), 0, nullptr);
    SetWindowExtEx(dc, -ClientWidth(), ClientHeight(), nullptr);
    SetViewportExtEx(dc, ClientWidth(), ClientHeight(), nullptr);
  } else {
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
  }
}

void TCustomDBGridEx::DrawGridLines(const TGridDrawInfo& Info) {
  HDC dc = Canvas()->Handle();
  const TGridAxisDrawInfo& h = Info.Horz;
  const TGridAxisDrawInfo& v = Info.Vert;
  // gathered first, drawn as a few poly-polylines: fixed lines, then data lines; a line that lies
  // wholly outside the area being painted would draw nothing and is left out
  RECT clip;
  if (GetClipBox(dc, clip) == NULLREGION) return;
  std::vector<POINT> fixedPts, dataPts;
  // (a line covers the pixels from its first point up to, not including, its last)
  auto covered = [](int from, int to) {
    return to >= from ? std::pair{from, to} : std::pair{to + 1, from + 1};
  };
  auto segment = [&](std::vector<POINT>& pts, int x1, int y1, int x2, int y2) {
    const auto [left, right] = x1 == x2 ? std::pair{x1, x1 + 1} : covered(x1, x2);
    const auto [top, bottom] = y1 == y2 ? std::pair{y1, y1 + 1} : covered(y1, y2);
    if (right <= clip.Left || left >= clip.Right || bottom <= clip.Top || top >= clip.Bottom) return;
    pts.push_back({x1, y1});
    pts.push_back({x2, y2});
  };
  const bool colLines = options_.Contains(dgColLines) && h.EffectiveLineWidth > 0;
  const bool rowLines = options_.Contains(dgRowLines) && v.EffectiveLineWidth > 0;
  const int dataBottom = v.GridBoundary;
  if (colLines) {
    int x = 0;
    auto column = [&](int c) {
      const int w = ColWidths(c);
      if (w <= 0) return;
      x += w;
      const bool fixedCol = c < FixedCols();
      segment(fixedPts, x, 0, x, std::min(v.FixedBoundary, dataBottom));
      segment(fixedCol ? fixedPts : dataPts, x, v.FixedBoundary, x, dataBottom);
      x += h.EffectiveLineWidth;
    };
    for (int c = 0; c < FixedCols(); ++c) column(c);
    for (int c = LeftCol(); c < ColCount() && x < h.GridExtent; ++c) column(c);
  }
  if (rowLines) {
    int y = 0;
    auto row = [&](int r) {
      const int ht = RowHeights(r);
      if (ht < 0) return;
      y += ht;
      const bool fixedRow = r < FixedRows();
      segment(fixedPts, 0, y, h.FixedBoundary, y);
      segment(fixedRow ? fixedPts : dataPts, h.FixedBoundary, y, h.GridBoundary, y);
      y += v.EffectiveLineWidth;
    };
    for (int r = 0; r < FixedRows(); ++r) row(r);
    for (int r = TopRow(); r < RowCount() && y < v.GridExtent; ++r) row(r);
  }
  auto draw = [dc](const std::vector<POINT>& pts, COLORREF colour) {
    if (pts.empty()) return;
    std::vector<DWORD> counts(pts.size() / 2, 2);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    PolyPolyline(dc, pts.data(), counts.data(), static_cast<int>(counts.size()));
    SelectObject(dc, old);
    DeleteObject(pen);
  };
  draw(fixedPts, flat_ ? kFlatFixedLineColor : kFixedLineColor);
  draw(dataPts, kDataLineColor);
}

void TCustomDBGridEx::PaintCells(int FromCol, int FromRow, int ToCol, int ToRow, int StartX, int StartY,
                                 TGridDrawState Include) {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  const int colLine = options_.Contains(dgColLines) ? GridLineWidth() : 0;
  const int rowLine = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const bool fixedBlock = Include.Contains(gdFixed);
  const bool focused = ContainsFocus();
  const bool editorCovers = EditorMode() && InplaceEditor() && InplaceEditor()->Visible() &&
                            !ComponentState().Contains(csDesigning);
  const TGridRect selection = TCustomGrid::Selection();
  RECT clip;
  GetClipBox(dc, clip);
  const int width = ClientWidth(), height = ClientHeight();
  int y = StartY;
  for (int r = FromRow; r < ToRow && y < height; ++r) {
    const int rh = RowHeights(r);
    if (rh < 0) continue;
    if (y + rh > clip.Top && y < clip.Bottom) {
      int x = StartX;
      for (int c = FromCol; c < ToCol && x < width; ++c) {
        const int cw = ColWidths(c);
        if (cw <= 0) continue;
        const TRect where = Rect(x, y, x + cw, y + rh);
        if (RectVisible(dc, where)) {
          TGridDrawState state = Include;
          const bool isCurrent = c == Col() && r == Row();
          if (!fixedBlock) {
            if (isCurrent && focused) state.Include(gdFocused);
            if (selection.Contains(c, r) || (options_.Contains(dgRowSelect) && r == Row()))
              state.Include(gdSelected);
          }
          if (!(isCurrent && editorCovers && !fixedBlock)) DrawCell(c, r, where, state);
        }
        x += cw + colLine;
      }
    }
    y += rh + rowLine;
  }
}

void TCustomDBGridEx::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  colCellParams_->Col = ACol;
  colCellParams_->Row = ARow;
  if (ARect.IsEmpty()) return;
  canvas->Brush()->SetStyle(bsSolid);
  if (ComponentState().Contains(csLoading)) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ARect);
    return;
  }
  const bool is3D = Is3DCell(ACol, ARow, AState);
  const TCellTypeEx type = GetCellType(ACol, ARow);
  // the sides of a 3D cell on the screen: without an edge the content reaches the cell's border
  const bool leftShown = !is3D || FrameSideShown(ACol, ARow, true);
  const bool rightShown = !is3D || FrameSideShown(ACol, ARow, false);
  TRect content = ARect;
  if (is3D) {
    const bool rtl = UseRightToLeftAlignment();  // the canvas is mirrored
    content.Top += 1;
    content.Bottom -= 1;
    if (rtl ? rightShown : leftShown) content.Left += 1;
    if (rtl ? leftShown : rightShown) content.Right -= 1;
  }
  if (type.ColArea == kAreaIndicator) {
    DrawIndicatorCell(ARow, content, type, AState);
  } else {
    switch (type.RowArea) {
      case kAreaTitle:
        DrawTitleDataCell(ACol, ARow, content, type, AState);
        break;
      case kAreaFilter:
        DrawFilterCell(ACol, content, type, AState);
        break;
      case kAreaSpecRow:
        DrawSpecRowCell(ACol, ARow, content, type, AState);
        break;
      case kAreaDataRow:
        DrawDataCellEx(ACol, ARow, content, type, AState);
        break;
      case kAreaSeparator:
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(content);
        break;
      default:
        DrawFooterCellEx(ACol, ARow, content, type, AState);
        break;
    }
  }
  // the focus rectangle, only while the grid is its form's active control
  if (type.RowArea == kAreaDataRow && type.ColArea == kAreaData && ACol == Col() && ARow == Row() &&
      DefaultDrawing() && HasFocus() && !ComponentState().Contains(csDesigning) &&
      !options_.Contains(dgRowSelect) && updateLock_ == 0 && IsFormActiveControl())
    canvas->DrawFocusRect(content);
  if (!is3D) return;
  const bool sunken = type.ColArea != kAreaIndicator && !AState.Contains(gdFixed);
  if (type.RowArea == kAreaTitle && type.ColArea == kAreaData) {
    // the bands of a multi-level title have their frames: this one frames the column's own part, and
    // only that part goes down when pressed
    TRect leaf = ARect;
    leaf.Top = std::min(leaf.Bottom, ARect.Top + TitleLeafTop(columns_->Items(type.DataCol)));
    DrawCellFrame(leaf, leftShown, rightShown, false, TitleShownPressed(ACol));
    return;
  }
  DrawCellFrame(ARect, leftShown, rightShown, sunken, false);
}

bool TCustomDBGridEx::FrameSideShown(int ACol, int ARow, bool ScreenLeft) {
  if (options_.Contains(dgColLines)) return true;
  // right to left the canvas is mirrored: the screen's left neighbour is the next raw column
  const int step = ScreenLeft != UseRightToLeftAlignment() ? -1 : 1;
  const int fixedCols = FixedCols(), leftCol = LeftCol();
  int c = ACol + step;
  while (c >= 0 && c < ColCount()) {
    // the columns scrolled out of view are no neighbours
    if (c >= fixedCols && c < leftCol) {
      c = step < 0 ? fixedCols - 1 : leftCol;
      continue;
    }
    if (ColWidths(c) > 0) {
      TGridDrawState state;
      if (c < fixedCols || ARow < FixedRows()) state.Include(gdFixed);
      return !Is3DCell(c, ARow, state);
    }
    c += step;
  }
  return true;
}

bool TCustomDBGridEx::TitleShownPressed(int RawCol) const {
  return tracking_ && titlePressed_ && pressedTitleCol_ == RawCol;
}

int TCustomDBGridEx::TitleLeafTop(const TColumnEx* Column) const {
  THeadTreeNode* leaf = useMultiTitle_ ? LeafOf(Column) : nullptr;
  int above = 0;
  if (leaf)
    for (THeadTreeNode* n = leaf->Host; n && n->Host; n = n->Host) above += n->Height;
  return above;
}

bool TCustomDBGridEx::IsFormActiveControl() {
  TCustomForm* form = GetParentForm(this);
  return form ? form->ActiveControl() == this : HasFocus();
}

void TCustomDBGridEx::DrawCellFrame(const TRect& ARect, bool FullLeftTop, bool FullRightBottom, bool Sunken,
                                    bool Pressed) {
  HDC dc = Canvas()->Handle();
  const UINT edge = Sunken || Pressed ? BDR_SUNKENINNER : BDR_RAISEDINNER;
  const UINT look = flat_ ? BF_FLAT : 0;
  RECT r = ARect;
  if (FullLeftTop && FullRightBottom) {
    DrawEdge(dc, r, edge, BF_RECT | look);
    return;
  }
  UINT leftTop = FullLeftTop ? BF_LEFT | BF_TOP : BF_TOP;
  UINT rightBottom = FullRightBottom ? BF_RIGHT | BF_BOTTOM : BF_BOTTOM;
  if (UseRightToLeftAlignment()) {
    // on the mirrored canvas the screen's left side is the rectangle's right one
    const auto exchange = [](UINT Sides) {
      return (Sides & ~(BF_LEFT | BF_RIGHT)) | ((Sides & BF_LEFT) ? BF_RIGHT : 0) |
             ((Sides & BF_RIGHT) ? BF_LEFT : 0);
    };
    leftTop = exchange(leftTop);
    rightBottom = exchange(rightBottom);
  }
  DrawEdge(dc, r, edge, leftTop | look);
  r = ARect;
  DrawEdge(dc, r, edge, rightBottom | look);
}

// ---------------------------------------------------------------- the indicator column

int TCustomDBGridEx::IndicatorImageOf(bool Current, bool Selected) {
  TDataSet* ds = dataLink_->DataSet();
  const bool current = Current;
  switch (ds->State()) {
    case dsBrowse:
      if (!current) return kNoIndicator;
      if (Selected) return kIndicatorSelectedArrow;
      return incSearchRunning_ ? kIndicatorSearchArrow : kIndicatorArrow;
    case dsEdit:
      return current ? kIndicatorEdit : kNoIndicator;
    case dsInsert:
      return current ? kIndicatorInsert : kNoIndicator;
    default:
      return current ? kIndicatorArrow : kNoIndicator;
  }
}

void TCustomDBGridEx::DrawIndicatorCell(int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                        TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  TColor background = FixedColor();
  if (Type.RowArea == kAreaSeparator && !optionsEx_.Contains(dghFrozen3D)) background = Color();
  canvas->Font()->Assign(Font());
  if (Type.RowArea != kAreaDataRow || !dataLink_->Active()) {
    if (Type.RowArea == kAreaTitle || Type.RowArea == kAreaFilter) {
      TColor c = background;
      HighlightNoDataCell(kAreaIndicator, Type.RowArea, false, c, canvas->Font());
      background = c;
    }
    canvas->Brush()->SetColor(background);
    canvas->FillRect(ARect);
    return;
  }
  // a memory table shows every record as a row: the row is the record's index
  const int bufferRow = Type.DataRow;
  const bool current =
      memTable_ ? bufferRow == memTable_->MemTableRecordIndex() : bufferRow == dataLink_->ActiveRecord();
  const bool selected =
      memTable_ ? Selection()->SelectionType() == gstAll : RowSelectedForIndicator(bufferRow);
  if (selected) {
    TColor c = background;
    if (HighlightNoDataCell(kAreaIndicator, kAreaDataRow, true, c, canvas->Font())) background = c;
  }
  canvas->Brush()->SetColor(background);
  canvas->FillRect(ARect);
  (void)AState;
  if (bufferRow >= (memTable_ ? memTable_->MemTableRecordCount() : dataLink_->RecordCount())) return;
  const int image = IndicatorImageOf(current, selected);
  if (current) indicatorRow_ = ARow;
  TCustomImageList* images = DBGridExIndicators();
  if (image == kNoIndicator || !images) return;
  const int x = ARect.Right - images->Width();
  const int y = ARect.Top + (ARect.Height() - images->Height()) / 2;
  images->Draw(canvas, x, y, image);
}

bool TCustomDBGridEx::RowSelectedForIndicator(int BufferRow) {
  const TDBGridExSelectionType kind = Selection()->SelectionType();
  if (kind == gstAll) return true;
  if (kind != gstRecordBookmarks) return false;
  int index = 0;
  const TBookmarkStr bookmark = BufferRowBookmark(BufferRow);
  return !bookmark.empty() && SelectedRows()->Find(bookmark, index);
}

// ---------------------------------------------------------------- titles

int TCustomDBGridEx::ColumnLeft(int RawCol, const TGridDrawInfo& Info) {
  const int line = Info.Horz.EffectiveLineWidth;
  int x = 0;
  if (RawCol < FixedCols()) {
    for (int c = 0; c < RawCol; ++c)
      if (ColWidths(c) > 0) x += ColWidths(c) + line;
    return x;
  }
  x = Info.Horz.FixedBoundary;
  if (RawCol >= LeftCol()) {
    for (int c = LeftCol(); c < RawCol; ++c)
      if (ColWidths(c) > 0) x += ColWidths(c) + line;
  } else {
    for (int c = RawCol; c < LeftCol(); ++c)
      if (ColWidths(c) > 0) x -= ColWidths(c) + line;
  }
  return x;
}

void TCustomDBGridEx::DrawTitleDataCell(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                        TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  TColumnEx* column = columns_->Items(Type.DataCol);
  TColumnTitleEx* title = column->Title();
  canvas->Font()->Assign(title->Font());
  TColor background = title->Color();
  TRect rect = ARect;
  THeadTreeNode* leaf = useMultiTitle_ ? LeafOf(column) : nullptr;
  std::string text = leaf ? leaf->Text : title->Caption();
  if (leaf) {
    rect.Top = std::min(rect.Bottom, ARect.Top + TitleLeafTop(column));
    DrawTitleBands(leaf, ARect, AState);
  }
  // highlighted (selected) titles take the fixed-cell colours
  TColor lit = background;
  if (HighlightNoDataCell(kAreaData, kAreaTitle, TitleSelected(Type.DataCol), lit, canvas->Font()))
    background = lit;
  TSortMarkerEx marker = title->SortMarker();
  const bool down = TitleShownPressed(ACol);
  if (OnGetBtnParams && column->Field()) {
    auto handler = OnGetBtnParams;
    handler(this, column, canvas->Font(), background, marker, down);
  }
  canvas->Brush()->SetColor(background);
  canvas->FillRect(rect);
  const bool wrap = titleHeight_ != 0 || titleLines_ != 0 || useMultiTitle_;
  // a pressed title's text moves right and down
  int dx = 0, dy = 0;
  if (down) {
    dx = wrap ? 2 : 1;
    dy = wrap ? -2 : -1;
    rect.Top += wrap ? 2 : 1;
  }
  TRect textRect = rect;
  if (marker != smNoneEx) {
    // the marker (and the index among several) at the right, the text keeping clear of it
    const int area = std::max(SortMarkerWidth(column), kSortMarkerArea);
    TCustomImageList* markers = DBGridExSortMarkerImages();
    const int imageX = rect.Right - area + (kSortMarkerArea - markers->Width()) / 2;
    const int imageY = rect.Top + (rect.Height() - markers->Height()) / 2;
    textRect.Right = std::max(textRect.Left, rect.Right - area);
    const int saved = SaveDC(canvas->Handle());
    {
      TScopeExit restore([canvas, saved] { RestoreDC(canvas->Handle(), saved); });
      IntersectClipRect(canvas->Handle(), rect.Left, rect.Top, rect.Right, rect.Bottom);
      markers->Draw(canvas, imageX, imageY, marker == smDownEx ? 0 : 1);
      if (sortMarkedColumns_.size() >= 2 && title->SortIndex() > 0) {
        TFont* saved = new TFont;
        TScopeExit freeSaved([saved] { delete saved; });
        saved->Assign(canvas->Font());
        canvas->Font()->Assign(DBGridExSortIndexFont());
        canvas->Font()->SetColor(saved->Color());
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(imageX + markers->Width(), imageY + markers->Height() - canvas->TextHeight("0"),
                        std::to_string(title->SortIndex()));
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Font()->Assign(saved);
      }
    }
  }
  if (titleImages_ && title->ImageIndex() != -1) {
    DrawImage(titleImages_, canvas, title->Alignment(), 0, title->ImageIndex(), textRect);
    return;
  }
  if (title->Orientation() == tohVertical) {
    WriteTextVerticalEx(canvas, textRect, false, 2 + dx, 2 + dy, text, title->Alignment(), tlCenter,
                        title->EndEllipsis(), false);
  } else {
    WriteCellText(textRect, false, 2 + dx, dy + (wrap ? 2 : 0), text, title->Alignment(), tlCenter, wrap,
                  title->EndEllipsis(), 0, 0);
  }
  (void)ARow;
}

void TCustomDBGridEx::DrawTitleBands(THeadTreeNode* Leaf, const TRect& CellRect, TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const int line = options_.Contains(dgColLines) ? GridLineWidth() : 0;
  for (THeadTreeNode* node = Leaf->Host; node && node->Host; node = node->Host) {
    if (node->Drawn) continue;
    node->Drawn = true;
    int top = CellRect.Top;
    for (THeadTreeNode* n = node->Host; n && n->Host; n = n->Host) top += n->Height;
    THeadTreeNode* first = node->Child;
    while (first && first->Child) first = first->Child;
    if (!first || !first->Column) continue;
    const int rawCol = DataToRawColumn(first->Column->Index());
    const int left = ColumnLeft(rawCol, info);
    TRect band =
        Rect(left, top, left + node->Width, top + node->Height - (options_.Contains(dgRowLines) ? 1 : 0));
    (void)line;
    const int saved = SaveDC(dc);
    TScopeExit restore([dc, saved] { RestoreDC(dc, saved); });
    // a band of scrolled columns stays right of the fixed ones
    if (rawCol >= FixedCols())
      IntersectClipRect(dc, info.Horz.FixedBoundary, 0, ClientWidth(), ClientHeight());
    canvas->Font()->Assign(titleFont_.get());
    canvas->Brush()->SetColor(FixedColor());
    canvas->FillRect(band);
    TRect inner = band;
    if (optionsEx_.Contains(dghFixed3D)) InflateRect(inner, -1, -1);
    WriteCellText(inner, false, 2, 2, node->Text, taCenter, tlCenter, true,
                  first->Column->Title()->EndEllipsis(), 0, 0);
    if (options_.Contains(dgRowLines)) {
      HPEN pen = CreatePen(PS_SOLID, 1, flat_ ? kFlatFixedLineColor : kFixedLineColor);
      HGDIOBJ old = SelectObject(dc, pen);
      MoveToEx(dc, band.Left, band.Bottom, nullptr);
      LineTo(dc, band.Right, band.Bottom);
      SelectObject(dc, old);
      DeleteObject(pen);
    }
    if (optionsEx_.Contains(dghFixed3D)) {
      // the band's sides are those of its first and last column
      THeadTreeNode* last = node;
      while (last->Child) {
        THeadTreeNode* child = last->Child;
        while (child->Next != last->Child) child = child->Next;
        last = child;
      }
      const int lastCol = last->Column ? DataToRawColumn(last->Column->Index()) : rawCol;
      const bool rtl = UseRightToLeftAlignment();
      DrawCellFrame(band, FrameSideShown(rtl ? lastCol : rawCol, 0, true),
                    FrameSideShown(rtl ? rawCol : lastCol, 0, false), false, false);
    }
  }
  (void)AState;
}

bool TCustomDBGridEx::TitleSelected(int DataCol) {
  const TDBGridExSelectionType kind = Selection()->SelectionType();
  return kind == gstAll || (kind == gstColumns && Selection()->Columns()->Contains(columns_->Items(DataCol)));
}

// ---------------------------------------------------------------- the filter row

void TCustomDBGridEx::DrawFilterCell(int /*ACol*/, const TRect& ARect, const TCellTypeEx& Type,
                                     TGridDrawState) {
  TCanvas* canvas = Canvas();
  if (!ColumnTakesFilter(Type.DataCol)) {
    canvas->Brush()->SetColor(FixedColor());
    canvas->FillRect(ARect);
    return;
  }
  TSTColumnFilterEx* filter = columns_->Items(Type.DataCol)->STFilter();
  TRect textRect = ARect;
  const bool list = filter->ListSource() != nullptr;
  const int button = GetSystemMetrics(SM_CXVSCROLL);
  if (list) textRect.Right = std::max(textRect.Left, textRect.Right - button);
  canvas->Brush()->SetColor(LightenColor(FixedColor(), 8));
  canvas->Font()->Assign(Font());
  canvas->Font()->SetColor(kFilterTextColor);
  WriteCellText(textRect, true, 1, 1, filter->GetFilterText(), taLeftJustify, tlTop, false, false, 0, 0);
  if (!list) return;
  TRect r = Rect(textRect.Right, ARect.Top, ARect.Right, ARect.Bottom);
  HDC dc = canvas->Handle();
  if (flat_) {
    // a line between the text and the button
    canvas->Brush()->SetColor(FixedColor());
    canvas->FillRect(Rect(r.Left, r.Top, r.Left + 1, r.Bottom));
    r.Left += 1;
  }
  DrawEditButton(dc, r, FixedColor(), bcsDropDownEx, 0, flat_, true, true, cbUnchecked);
}

void TCustomDBGridEx::DrawSpecRowCell(int /*ACol*/, int /*ARow*/, const TRect& ARect, const TCellTypeEx&,
                                      TGridDrawState) {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ARect);
}

// ---------------------------------------------------------------- data cells

void TCustomDBGridEx::DrawDataCellEx(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                     TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  TColumnEx* column = columns_->Items(Type.DataCol);
  const bool active = dataLink_->Active() && (memTable_ || Type.DataRow < dataLink_->RecordCount());
  if (!active) {
    canvas->Brush()->SetColor(column->Color());
    canvas->FillRect(ARect);
    return;
  }
  // the drawn row's record is the link's active record while the cell is drawn
  const int savedRecord = memTable_ ? memTable_->MemTableActiveRow() : dataLink_->ActiveRecord();
  if (memTable_)
    memTable_->MemTableSetActiveRow(Type.DataRow);
  else
    dataLink_->SetActiveRecord(Type.DataRow);
  TScopeExit restore([this, savedRecord] {
    if (memTable_)
      memTable_->MemTableSetActiveRow(savedRecord);
    else
      dataLink_->SetActiveRecord(savedRecord);
  });
  TRect textRect = ARect;
  const bool showButton = column->AlwaysShowEditButton() && column->EditButtonsWidth() > 0;
  if (showButton) textRect.Right = std::max(textRect.Left, textRect.Right - column->EditButtonsWidth());
  TColCellParamsEx* params = colCellParams_.get();
  PrepareCellParams(column, canvas->Font(), AState);
  TColor background = params->Background;
  TGridDrawState state = AState;
  TColor lit = background;
  const bool highlighted =
      HighlightDataCell(ACol, ARow, AState, lit, canvas->Font(), DataCellInSelection(Type));
  if (highlighted) {
    background = lit;
    state.Include(gdSelected);
  }
  if (paintPicture_ && Type.ColArea == kAreaData && Type.DataRow < dataLink_->RecordCount())
    NoteDrawnPicture(
        ACol, ARow,
        DataCellPicture(*paintPicture_, ACol, ARow, AState, column, canvas->Font(), highlighted, lit));
  canvas->Brush()->SetColor(background);
  if (DefaultDrawing() && textRect.Width() > 0) {
    switch (column->GetColumnType()) {
      case ctKeyImageList:
        canvas->FillRect(textRect);
        DrawImage(column->ImageList(), canvas, taCenter, 0, params->ImageIndex, textRect);
        break;
      case ctCheckboxes: {
        canvas->FillRect(textRect);
        TRect box = Rect(0, 0, kCheckBoxSize, kCheckBoxSize);
        OffsetRect(box, textRect.Left + (textRect.Width() - kCheckBoxSize) / 2,
                   textRect.Top + (textRect.Height() - kCheckBoxSize) / 2);
        HDC dc = canvas->Handle();
        const int saved = SaveDC(dc);
        TScopeExit restoreClip([dc, saved] { RestoreDC(dc, saved); });
        IntersectClipRect(dc, textRect.Left, textRect.Top, textRect.Right, textRect.Bottom);
        DrawCheck(dc, box, params->CheckboxState, true, false, flat_, true);
        break;
      }
      default:
        WriteCellText(textRect, true, 2, 2, params->Text, params->Alignment, tlTop,
                      column->WordWrap() && multiLineRows_, column->EndEllipsis(), 0, 0);
        break;
    }
  } else {
    canvas->FillRect(ARect);
  }
  if (showButton) DrawCellButtons(column, ARect, background);
  // the incremental search's match at the start of the focused cell
  if (incSearchRunning_ && ACol == Col() && ARow == Row() && !incSearchText_.empty() && DefaultDrawing()) {
    // as many characters of the cell's text as the search has typed
    size_t bytes = 0;
    for (size_t typed = 0; typed < incSearchText_.size() && bytes < params->Text.size();) {
      do ++typed;
      while (typed < incSearchText_.size() &&
             (static_cast<unsigned char>(incSearchText_[typed]) & 0xC0) == 0x80);
      do ++bytes;
      while (bytes < params->Text.size() && (static_cast<unsigned char>(params->Text[bytes]) & 0xC0) == 0x80);
    }
    const std::string matched = params->Text.substr(0, bytes);
    const int full = canvas->TextWidth(params->Text);
    int x = textRect.Left + 2;
    if (params->Alignment == taRightJustify) x = textRect.Right - full - 3;
    if (params->Alignment == taCenter) x = textRect.Left + textRect.Width() / 2 - full / 2;
    TRect hit =
        Rect(x, textRect.Top, std::min(textRect.Right, x + canvas->TextWidth(matched) + 2), textRect.Bottom);
    const TColor fontColour = canvas->Font()->Color();
    canvas->Brush()->SetColor(DBGridExIncSearchBackColor);
    canvas->Font()->SetColor(DBGridExIncSearchFontColor);
    WriteCellText(hit, true, x - hit.Left, 2, matched, taLeftJustify, tlTop, false, false, 0, 0);
    canvas->Font()->SetColor(fontColour);
  }
  if (OnDrawColumnCell) {
    auto handler = OnDrawColumnCell;
    handler(this, ARect, Type.DataCol, column, state);
  }
  if (OnDrawDataCell) {
    auto handler = OnDrawDataCell;
    handler(this, ARect, column->Field(), state);
  }
}

void TCustomDBGridEx::PrepareCellParams(TColumnEx* Column, TFont* AFont, TGridDrawState AState) {
  TColCellParamsEx* params = colCellParams_.get();
  AFont->Assign(Column->Font());
  params->Text = Column->GetDisplayText();
  params->Font = AFont;
  params->Alignment = Column->Alignment();
  params->Background = Column->Color();
  params->ImageIndex = Column->GetColumnType() == ctKeyImageList ? Column->GetImageIndex() : -1;
  params->CheckboxState = Column->GetColumnType() == ctCheckboxes ? Column->GetCheckboxState() : cbUnchecked;
  params->ReadOnly = Column->ReadOnly();
  params->State = 0;
  TColor background = params->Background;
  if (OnGetCellParams) {
    auto handler = OnGetCellParams;
    handler(this, Column, AFont, background, AState);
  }
  params->Background = background;
  Column->GetColCellParams(false, params);
}

bool TCustomDBGridEx::DataCellInSelection(const TCellTypeEx& Type) {
  // the drawn row is the link's active record here
  const TDBGridExSelectionType kind = Selection()->SelectionType();
  if (kind == gstNon) return false;
  if (kind == gstAll) return true;
  return Selection()->DataCellSelected(Type.DataCol, dataLink_->DataSet()->Bookmark());
}

void TCustomDBGridEx::DrawCellButtons(TColumnEx* Column, const TRect& ARect, TColor Background) {
  HDC dc = Canvas()->Handle();
  const int saved = SaveDC(dc);
  TScopeExit restore([dc, saved] { RestoreDC(dc, saved); });
  IntersectClipRect(dc, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  int right = ARect.Right;
  auto face = [&](TDrawButtonControlStyleEx style, int width) {
    TRect r = Rect(right - width, ARect.Top, right, ARect.Top + shortRowButtonWidth_);
    if (flat_) {
      Canvas()->Brush()->SetColor(Background);
      Canvas()->FrameRect(r);
      InflateRect(r, -1, -1);
    }
    DrawEditButton(dc, r, Background, style, 0, flat_, true, true, cbUnchecked);
    right -= width;
  };
  if (Column->HasMainButton()) {
    TDrawButtonControlStyleEx style = bcsDropDownEx;
    if (Column->ButtonStyle() == cbsEllipsis) style = bcsEllipsisEx;
    if (Column->ButtonStyle() == cbsUpDown) style = bcsUpDownEx;
    face(style, cellButtonWidth_);
  }
  for (int i = 0; i < Column->EditButtons()->Count(); ++i) {
    TEditButtonEx* b = Column->EditButtons()->Items(i);
    if (!b->Visible()) continue;
    static constexpr TDrawButtonControlStyleEx kFaces[] = {bcsDropDownEx, bcsEllipsisEx, bcsEllipsisEx,
                                                           bcsUpDownEx,   bcsPlusEx,     bcsMinusEx};
    face(kFaces[b->Style()], b->Width() > 0 ? b->Width() : cellButtonWidth_);
  }
}

// ---------------------------------------------------------------- footers

void TCustomDBGridEx::DrawFooterCellEx(int ACol, int ARow, const TRect& ARect, const TCellTypeEx& Type,
                                       TGridDrawState AState) {
  TCanvas* canvas = Canvas();
  TColumnEx* column = columns_->Items(Type.DataCol);
  TColumnFooterEx* footer = column->GetFooter(Type.DataRow);
  canvas->Font()->Assign(footer ? footer->Font() : footerFont_.get());
  TColor background = footer ? footer->Color() : footerColor_;
  TAlignment alignment = footer ? footer->Alignment() : column->Alignment();
  const bool wrap = footer && footer->WordWrap();
  const bool ellipsis = footer && footer->EndEllipsis();
  std::string text = GetFooterValue(Type.DataRow, column);
  if (OnGetFooterParams) {
    auto handler = OnGetFooterParams;
    handler(this, Type.DataCol, Type.DataRow, column, canvas->Font(), background, alignment, AState, text);
  }
  if (CellSelected(Type.DataCol, ARow, {})) {
    TColor lit = background;
    if (HighlightNoDataCell(kAreaData, kAreaFooter, true, lit, canvas->Font())) background = lit;
  }
  canvas->Brush()->SetColor(background);
  WriteCellText(ARect, true, 2, 2, text, alignment, tlTop, wrap, ellipsis, 0, 0);
  if (OnDrawFooterCell) {
    auto handler = OnDrawFooterCell;
    handler(this, Type.DataCol, Type.DataRow, column, ARect, AState);
  }
  (void)ACol;
}

void TCustomDBGridEx::WriteCellText(const TRect& ARect, bool FillRect, int DX, int DY,
                                    const std::string& Text, TAlignment Alignment, TTextLayout Layout,
                                    bool WordWrap, bool EndEllipsis, int LeftMarg, int RightMarg) {
  const bool rtl = UseRightToLeftAlignment();
  if (!rtl) {
    WriteTextEx(Canvas(), ARect, FillRect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMarg,
                RightMarg, false);
    return;
  }
  // the canvas is mirrored: text is written unmirrored, right to left, with the alignment turned round
  HDC dc = Canvas()->Handle();
  TRect r = ARect;
  POINT pts[2] = {{r.Left, r.Top}, {r.Right, r.Bottom}};
  LPtoDP(dc, pts, 2);
  ChangeGridOrientation(false);
  TScopeExit back([this] { ChangeGridOrientation(true); });
  TRect device = Rect(std::min(pts[0].X, pts[1].X), pts[0].Y, std::max(pts[0].X, pts[1].X), pts[1].Y);
  TAlignment a = Alignment;
  if (a == taLeftJustify)
    a = taRightJustify;
  else if (a == taRightJustify)
    a = taLeftJustify;
  WriteTextEx(Canvas(), device, FillRect, DX, DY, Text, a, Layout, WordWrap, EndEllipsis, RightMarg, LeftMarg,
              true);
}

// ---------------------------------------------------------------- the tooltip window

TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void* AData) {
  // the cell's own font, in the window text colour
  if (AData) Font()->Assign(static_cast<TFont*>(AData));
  Font()->SetColor(clWindowText);
  Canvas()->Font()->Assign(Font());
  return THintWindow::CalcHintRect(MaxWidth, AHint, AData);
}

void TToolTipsWindow::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  r.Left += 2;
  r.Top += 1;
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetStyle(bsClear);
  RECT text = r;
  DrawText(canvas->Handle(), Caption(), text, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
  canvas->Brush()->SetStyle(bsSolid);
}
