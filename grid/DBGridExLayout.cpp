// The grid's layout pass: columns from fields, raw columns, row heights, the title row, the row count
// and the scrolling of data rows.
#include <algorithm>
#include <cassert>
#include <cmath>

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"

namespace {

// A canvas of its own for measuring (the grid may have no window yet).
TCanvas* LayoutCanvas() {
  static TBitmap* bitmap = [] {
    auto* b = new TBitmap;  // lives to the end of the program
    b->SetSize(1, 1);
    return b;
  }();
  return bitmap->Canvas();
}

struct FontMetrics {
  TEXTMETRIC tm;
  int textHeight = 0;  // of "Wg"
};

FontMetrics Measure(TFont* Font) {
  TCanvas* c = LayoutCanvas();
  c->Font()->Assign(Font);
  FontMetrics m;
  GetTextMetrics(c->Handle(), m.tm);
  m.textHeight = c->TextHeight("Wg");
  return m;
}

}  // namespace

void TCustomDBGridEx::DefineFieldMap() {
  if (columns_->State() == csCustomized) {
    dataLink_->SetSparseMap(true);
    for (int i = 0; i < columns_->Count(); ++i) dataLink_->AddMapping(columns_->Items(i)->FieldName());
    return;
  }
  dataLink_->SetSparseMap(false);
  TDataSet* ds = dataLink_->DataSet();
  for (TField* f : ds->Fields()->List())
    if (f->Visible()) dataLink_->AddMapping(f->FieldName());
}

void TCustomDBGridEx::InternalLayoutPass() {
  if (ComponentState().Contains(csLoading)) return;
  // 1. a queued deferred layout is this one
  if (HandleAllocated()) {
    MSG m;
    while (PeekMessage(m, Handle(), WM_DEFERLAYOUT, WM_DEFERLAYOUT, PM_REMOVE)) {
    }
  }
  layoutRunning_ = true;
  ++layoutPasses_;

  // 2. the collection never mixes customised and default columns
  bool sawDefault = false, mixed = false;
  for (int i = 0; i < columns_->Count(); ++i) {
    if (!columns_->Items(i)->Persistent())
      sawDefault = true;
    else if (sawDefault)
      mixed = true;
  }
  if (mixed)
    for (int i = columns_->Count() - 1; i >= 0; --i)
      if (!columns_->Items(i)->Persistent()) delete columns_->Items(i);

  // 3. the indicator and the field map
  indicatorOffset_ = options_.Contains(dgIndicator) ? 1 : 0;
  dataLink_->ClearMapping();
  if (dataLink_->Active()) DefineFieldMap();

  // 4. columns and fields
  if (columns_->State() == csCustomized) {
    for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->ResetField();
  } else {
    TDataSet* ds = dataLink_->DataSet();
    if (!dataLink_->Active() && (!ds || ds->DefaultFields())) {
      columns_->Clear();
    } else {
      for (int i = columns_->Count() - 1; i >= 0; --i) {
        TColumnEx* c = columns_->Items(i);
        TField* f = c->Field();
        bool mapped = false;
        for (int k = 0; f && k < dataLink_->FieldCount(); ++k)
          mapped = mapped || dataLink_->GetMappedField(k) == f;
        if (!f || !mapped) delete c;
      }
    }
    const int entries = std::max(dataLink_->FieldCount(), columns_->Count() == 0 ? 1 : 0);
    for (int k = 0; k < entries; ++k) {
      TField* f = dataLink_->GetMappedField(k);
      TColumnEx* column = nullptr;
      if (f)
        for (int i = k; i < columns_->Count() && !column; ++i)
          if (columns_->Items(i)->Field() == f) column = columns_->Items(i);
      if (!column) {
        column = columns_->AddDefault();
        if (f) column->SetField(f);
      }
      if (column->Index() != k) column->TCollectionItem::SetIndex(k);
    }
  }

  // 5. visible columns and the hidden ones at the left
  visibleColumns_.clear();
  int hidden = 0;
  bool anyVisible = false;
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEx* c = columns_->Items(i);
    if (c->Visible()) {
      visibleColumns_.push_back(c);
      anyVisible = true;
    } else if (i < frozenCols_ + hidden) {
      ++hidden;
    }
  }
  for (int i = frozenCols_ + hidden; i < columns_->Count() && !columns_->Items(i)->Visible(); ++i) ++hidden;
  if (!anyVisible) --hidden;

  // 6. raw columns, fixed columns
  SetColCount(columns_->Count() + indicatorOffset_);
  int fixed = indicatorOffset_ + std::max(hidden, 0);
  if (dataLink_->Active() || columns_->State() == csCustomized) fixed += frozenCols_;
  SetFixedCols(std::min(fixed, ColCount() - 1));

  // 7. fixed rows: the title row and the filter row
  titleOffset_ = (options_.Contains(dgTitles) ? 1 : 0) + (FilterRowShown() ? 1 : 0);

  // 8-9. row height from the grid's font
  const FontMetrics font = Measure(Font());
  const int margin = (flat_ ? 1 : 3) + (options_.Contains(dgRowLines) ? GridLineWidth() : 0);
  const int textHeight = std::max(1, font.textHeight);
  int rowHeight = 0;
  if (rowHeight_ < 1 && rowLines_ < 1) {
    rowHeight = textHeight + margin;
  } else {
    rowHeight = (font.tm.tmHeight + font.tm.tmExternalLeading) * rowLines_ + rowHeight_;
  }
  // 10. rows fitted to whole text lines
  if (optionsEx_.Contains(dghFitRowHeightToText)) {
    const int h = rowHeight - margin;
    const int n = h / textHeight;
    if (h % textHeight <= textHeight / 2 && n > 0) {
      rowHeight = n * textHeight + margin;
    } else {
      rowHeight = (n + 1) * textHeight + margin;
    }
    rowLines_ = (rowHeight - margin) / textHeight;
    rowHeight_ = margin;
  }
  SetDefaultRowHeight(std::max(1, rowHeight));
  // 11. buttons in short rows, several lines in tall rows
  shortRowButtonWidth_ =
      rowHeight > static_cast<int>(std::lround(cellButtonWidth_ * 3.0 / 2.0)) ? cellButtonWidth_ : rowHeight;
  multiLineRows_ = font.tm.tmHeight + font.tm.tmExternalLeading + font.tm.tmInternalLeading + 4 < rowHeight;

  // 12. the title row from the largest title font
  TFont* tallest = titleFont_.get();
  int titleText = Measure(titleFont_.get()).textHeight;
  if (columns_->Count() > 0) {
    titleText = 0;
    for (int i = 0; i < columns_->Count(); ++i) {
      TFont* f = columns_->Items(i)->Title()->Font();
      const int h = Measure(f).textHeight;
      if (h > titleText) {
        titleText = h;
        tallest = f;
      }
    }
  }
  titleRowHeight_ = options_.Contains(dgTitles) ? titleText + kTitleMargin : 0;

  // 13. the base grid's horizontal scroll bar only without auto-fit
  const TScrollStyle bars = autoFitColWidths_ ? ssNone : ssHorizontal;
  if (ScrollBars() != bars) {
    SetScrollBars(bars);
    UpdateVertScrollBar();
  }

  // 14. tab stops and widths
  UpdateTabStops();

  // 16. a title height or a number of title lines of its own
  if (options_.Contains(dgTitles) && (titleHeight_ != 0 || titleLines_ != 0)) {
    const FontMetrics t = Measure(tallest);
    titleRowHeight_ = titleLines_ * t.tm.tmHeight + t.tm.tmExternalLeading + 2 + titleHeight_ +
                      (options_.Contains(dgRowLines) ? 1 : 0);
  }

  // 18. widths again, 19. rows
  UpdateTabStops();
  const int leftCol = LeftCol();
  UpdateRowCount();
  if (options_.Contains(dgRowSelect) && leftCol < ColCount()) SetLeftCol(std::max(leftCol, FixedCols()));

  // 20. the focus follows the record; everything repaints; a column selection keeps only columns
  // that are still there
  RecordChanged();
  Invalidate();
  selection_->Columns()->Refresh();
  layoutRunning_ = false;
}

void TCustomDBGridEx::UpdateRowCount() {
  const int oldRows = RowCount();
  if (RowCount() <= titleOffset_) SetRowCount(titleOffset_ + 1);
  SetFixedRows(titleOffset_);
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const int pitch = DefaultRowHeight() + line;
  int used = options_.Contains(dgTitles) ? titleRowHeight_ + line : 0;
  used += footerRowCount_ * pitch + (footerRowCount_ > 0 ? line : 0);
  SetDefaultRowHeight(DefaultRowHeight());
  if (options_.Contains(dgTitles) && RowCount() > 0) SetRowHeights(0, titleRowHeight_);
  if (TopRow() != titleOffset_ && titleOffset_ < RowCount()) SetTopRow(titleOffset_);
  const int client = HandleAllocated() ? ClientHeight() : 0;
  if (dataLink_->Active() && dataLink_->RecordCount() > 0 && HandleAllocated()) {
    dataLink_->SetBufferCount(std::max(1, (client - used) / pitch));
    const int records = dataLink_->RecordCount();
    if (footerRowCount_ > 0) {
      SetRowCount(titleOffset_ + records + 1 + footerRowCount_);
      SetRowHeights(titleOffset_ + records, std::max(0, client - used - records * pitch));
    } else {
      SetRowCount(titleOffset_ + records);
    }
    RecordChanged();
  } else {
    if (HandleAllocated() && footerRowCount_ > 0) {
      SetRowCount(titleOffset_ + 2 + footerRowCount_);
      SetRowHeights(titleOffset_ + 1, std::max(0, client - used - pitch));
    } else {
      SetRowCount(titleOffset_ + 1);
    }
  }
  if (RowCount() != oldRows) Invalidate();
}

void TCustomDBGridEx::Scroll(int Distance) {
  // a window that is not shown is painted whole when it shows: no rectangles to work out meanwhile
  const bool painting = HandleAllocated() && IsWindowVisible(Handle());
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const int pitch = DefaultRowHeight() + line;
  const int dataTop = titleOffset_ > 0 ? titleRowHeight_ + line : 0;
  auto rowRect = [&](int row) {
    const int top = dataTop + (row - TopRow()) * pitch;
    return Rect(0, top, ClientWidth(), top + pitch);
  };
  if (HandleAllocated()) {
    const int oldRow = Row();
    if (dataLink_->ActiveRecord() >=
        RowCount() - titleOffset_ - (footerRowCount_ > 0 ? footerRowCount_ + 1 : 0))
      UpdateRowCount();
    UpdateVertScrollBar();
    RecordChanged();
    if (painting) {
      RECT r = rowRect(oldRow);
      ::InvalidateRect(Handle(), &r, false);
      r = rowRect(Row());
      ::InvalidateRect(Handle(), &r, false);
    }
  }
  if (Distance != 0) {
    HideEditor();
    if (painting) {
      const int dataRows =
          std::max(1, RowCount() - titleOffset_ - (footerRowCount_ > 0 ? footerRowCount_ + 1 : 0));
      RECT area = ClientRect();
      area.Top = std::min(area.Bottom, dataTop);
      if (footerRowCount_ > 0) area.Bottom = std::max(area.Top, area.Top + dataRows * pitch);
      if (std::abs(Distance) > dataRows) {
        Invalidate();
      } else {
        // the data rows move up or down; the footers stay where they are
        ScrollWindowEx(Handle(), 0, -Distance * pitch, &area, &area, nullptr, nullptr, SW_INVALIDATE);
      }
    }
    if (options_.Contains(dgAlwaysShowEditor)) ShowEditor();
  }
  if (painting) {
    for (int i = 0; i < footerRowCount_; ++i) InvalidateRow(RowCount() - 1 - i);
    if (updateLock_ == 0) Update();
  }
}
