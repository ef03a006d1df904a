#include "grid/DBGridExSelection.h"

#include <algorithm>
#include <cassert>

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr const char* kClosedDataSet = "Cannot perform this operation on a closed dataset";

bool Empty(const TGridRect& R) {
  return R.Left < 0 || R.Top < 0 || R.Right < R.Left || R.Bottom < R.Top;
}

bool Overlap(const TGridRect& A, const TGridRect& B) {
  return A.Left <= B.Right && B.Left <= A.Right && A.Top <= B.Bottom && B.Top <= A.Bottom;
}

// The cells of A outside B as at most four blocks: above, below, and left and right of B's rows.
void Difference(const TGridRect& A, const TGridRect& B, std::vector<TGridRect>& Out) {
  if (Empty(A)) return;
  if (Empty(B) || !Overlap(A, B)) {
    Out.push_back(A);
    return;
  }
  if (A.Top < B.Top) Out.push_back({A.Left, A.Top, A.Right, B.Top - 1});
  if (A.Bottom > B.Bottom) Out.push_back({A.Left, B.Bottom + 1, A.Right, A.Bottom});
  const int top = std::max(A.Top, B.Top), bottom = std::min(A.Bottom, B.Bottom);
  if (A.Left < B.Left) Out.push_back({A.Left, top, B.Left - 1, bottom});
  if (A.Right > B.Right) Out.push_back({B.Right + 1, top, A.Right, bottom});
}

// Walks the data link's buffered records, each made the active record for the call, and puts the
// active record back afterwards. F returns false to stop.
template <class F>
void ForEachBufferedRecord(TCustomDBGridEx* Grid, F Fn) {
  TGridDataLinkEx* link = Grid->DataLink();
  if (!link->Active()) return;
  const int saved = link->ActiveRecord();
  TScopeExit restore([&] { link->SetActiveRecord(saved); });
  for (int i = 0; i < link->RecordCount(); ++i) {
    link->SetActiveRecord(i);
    if (!Fn(i, link->DataSet()->Bookmark())) break;
  }
}

}  // namespace

// ---------------------------------------------------------------- TBookmarkListEx

int TBookmarkListEx::Compare(const TBookmarkStr& A, const TBookmarkStr& B) {
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds) return A.compare(B);
  return ds->CompareBookmarks(A, B);
}

bool TBookmarkListEx::Find(const TBookmarkStr& Item, int& Index) {
  if (cacheIndex_ >= 0 && Item == cacheBookmark_) {
    ++cacheHits_;
    Index = cacheIndex_;
    return cacheFound_;
  }
  int low = 0, high = Count() - 1;
  bool found = false;
  TDataSet* ds = grid_->DataLink()->DataSet();  // once: a paint asks for every row shown
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int c = ds ? ds->CompareBookmarks(items_[middle], Item) : items_[middle].compare(Item);
    if (c >= 0) {
      high = middle - 1;
      if (c == 0) {
        found = true;
        low = middle;
      }
    } else {
      low = middle + 1;
    }
  }
  Index = low;
  cacheBookmark_ = Item;
  cacheIndex_ = low;
  cacheFound_ = found;
  return found;
}

int TBookmarkListEx::IndexOf(const TBookmarkStr& Item) {
  int index = -1;
  return Find(Item, index) ? index : -1;
}

TBookmarkStr TBookmarkListEx::CurrentRow() {
  if (!grid_->DataLink()->Active()) throw EInvalidGridOperation(kClosedDataSet);
  return grid_->DataLink()->DataSet()->Bookmark();
}

bool TBookmarkListEx::CurrentRowHasRecord() {
  // an empty dataset's current row, or a record being inserted, has no bookmark to keep
  TDataSet* ds = grid_->DataLink()->DataSet();
  return !ds->IsEmpty() && ds->State() != dsInsert;
}

bool TBookmarkListEx::CurrentRowSelected() {
  const TBookmarkStr current = CurrentRow();
  int index = -1;
  return CurrentRowHasRecord() && Find(current, index);
}

void TBookmarkListEx::SetCurrentRowSelected(bool Value) {
  const TBookmarkStr current = CurrentRow();
  if (!CurrentRowHasRecord()) return;
  int index = -1;
  if (Find(current, index) == Value) return;
  if (Value) {
    items_.insert(items_.begin() + index, current);
  } else {
    items_.erase(items_.begin() + index);
  }
  ResetCache();
  grid_->InvalidateRow(grid_->Row());
  TDBGridExSelection* selection = grid_->Selection();
  if (selection->SelectionType() != gstRecordBookmarks && Count() > 0) {
    selection->Clear();
    selection->SetSelectionType(gstRecordBookmarks);
  }
  selection->UpdateState();
}

void TBookmarkListEx::Clear() {
  if (items_.empty()) return;
  items_.clear();
  ResetCache();
  grid_->Selection()->UpdateState();
  grid_->InvalidateGrid();
}

void TBookmarkListEx::ForgetGone() {
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds || items_.empty()) return;
  if (std::erase_if(items_, [ds](const TBookmarkStr& B) { return !ds->BookmarkValid(B); }) == 0) return;
  ResetCache();
  grid_->Selection()->UpdateState();
  grid_->InvalidateGrid();
}

void TBookmarkListEx::Delete() {
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds || items_.empty()) return;
  ForgetGone();
  ds->DisableControls();
  // whatever record fails, the controls come back and the list keeps the records not yet deleted;
  // the selection follows the list even when giving the controls back raises
  TScopeExit update([this] { grid_->Selection()->UpdateState(); });
  TScopeExit enable([ds] { ds->EnableControls(); });
  while (!items_.empty()) {
    ds->GotoBookmark(items_.back());
    ds->Delete();
    items_.pop_back();
    ResetCache();
  }
}

void TBookmarkListEx::LinkActive(bool Value) {
  Clear();
  grid_->Selection()->UpdateState();
  linked_ = Value;
}

TGridRect TBookmarkListEx::SelectionToGridRect() {
  if (items_.empty()) return kNoGridRect;
  int first = -1, last = -1;
  ForEachBufferedRecord(grid_, [&](int Row, const TBookmarkStr& B) {
    if (IndexOf(B) >= 0) {
      if (first < 0) first = Row;
      last = Row;
    }
    return true;
  });
  if (first < 0) return kNoGridRect;
  return {0, first + grid_->TitleOffset(), grid_->ColCount() - 1, last + grid_->TitleOffset()};
}

// ---------------------------------------------------------------- TDBGridExSelectionCols

bool TDBGridExSelectionCols::Contains(const TColumnEx* Column) const {
  return std::find(begin(), end(), Column) != end();
}

void TDBGridExSelectionCols::InvalidateColumn(TColumnEx* Column) {
  const int raw = grid_->DataToRawColumn(Column->Index());
  if (raw < grid_->ColCount()) grid_->InvalidateCol(raw);
}

void TDBGridExSelectionCols::Add(TColumnEx* Column) {
  auto at = std::lower_bound(begin(), end(), Column,
                             [](const TColumnEx* a, const TColumnEx* b) { return a->Index() < b->Index(); });
  insert(at, Column);
  InvalidateColumn(Column);
}

void TDBGridExSelectionCols::Remove(TColumnEx* Column) {
  std::erase(*this, Column);
  InvalidateColumn(Column);
}

void TDBGridExSelectionCols::Select(TColumnEx* Column, bool AddSel) {
  assert(Column);
  TDBGridExSelection* selection = grid_->Selection();
  if (selection->SelectionType() != gstColumns) selection->Clear();
  if (!AddSel) Clear();
  if (!Contains(Column)) Add(Column);
  anchor_ = shiftCol_ = Column;
  selection->SetSelectionType(gstColumns);
  shiftSelectedCols_.clear();
}

void TDBGridExSelectionCols::InvertSelect(TColumnEx* Column) {
  assert(Column);
  TDBGridExSelection* selection = grid_->Selection();
  if (selection->SelectionType() != gstColumns) selection->Clear();
  if (Contains(Column)) {
    Remove(Column);
  } else {
    Add(Column);
  }
  anchor_ = shiftCol_ = Column;
  shiftSelectedCols_.clear();
  selection->SetSelectionType(empty() ? gstNon : gstColumns);
}

void TDBGridExSelectionCols::SelectShift(TColumnEx* Column) {
  assert(Column);
  if (!anchor_ || !shiftCol_ || grid_->Selection()->SelectionType() != gstColumns) {
    Select(Column, true);
    return;
  }
  TDBGridColumnsEx* columns = grid_->Columns();
  const int a = anchor_->Index(), from = shiftCol_->Index(), to = Column->Index();
  const bool anchorSelected = Contains(anchor_);
  const int oldLo = std::min(a, from), oldHi = std::max(a, from);
  const int newLo = std::min(a, to), newHi = std::max(a, to);
  auto noted = [this](TColumnEx* c) {
    return std::find(shiftSelectedCols_.begin(), shiftSelectedCols_.end(), c) != shiftSelectedCols_.end();
  };
  // columns the range leaves get back what they had before this gesture
  for (int i = oldLo; i <= oldHi; ++i) {
    if (i >= newLo && i <= newHi) continue;
    TColumnEx* c = columns->Items(i);
    if (!noted(c)) continue;
    std::erase(shiftSelectedCols_, c);
    if (anchorSelected) {
      Remove(c);
    } else {
      Add(c);
    }
  }
  // visible columns the range reaches take the anchor's state
  for (int i = newLo; i <= newHi; ++i) {
    if (i >= oldLo && i <= oldHi) continue;
    TColumnEx* c = columns->Items(i);
    if (!c->Visible() || Contains(c) == anchorSelected) continue;
    shiftSelectedCols_.push_back(c);
    if (anchorSelected) {
      Add(c);
    } else {
      Remove(c);
    }
  }
  shiftCol_ = Column;
  grid_->Selection()->SetSelectionType(empty() ? gstNon : gstColumns);
}

void TDBGridExSelectionCols::Clear() {
  for (TColumnEx* c : *this) InvalidateColumn(c);
  clear();
  anchor_ = shiftCol_ = nullptr;
  shiftSelectedCols_.clear();
}

void TDBGridExSelectionCols::Refresh() {
  TDBGridColumnsEx* columns = grid_->Columns();
  auto gone = [columns](TColumnEx* c) {
    for (int i = 0; i < columns->Count(); ++i)
      if (columns->Items(i) == c) return false;
    return true;
  };
  std::erase_if(*this, gone);
  std::erase_if(shiftSelectedCols_, gone);
  if (anchor_ && gone(anchor_)) anchor_ = nullptr;
  if (shiftCol_ && gone(shiftCol_)) shiftCol_ = nullptr;
  std::sort(begin(), end(), [](const TColumnEx* a, const TColumnEx* b) { return a->Index() < b->Index(); });
}

void TDBGridExSelectionCols::Forget(TColumnEx* Column) {
  std::erase(*this, Column);
  std::erase(shiftSelectedCols_, Column);
  if (anchor_ == Column) anchor_ = nullptr;
  if (shiftCol_ == Column) shiftCol_ = nullptr;
}

TGridRect TDBGridExSelectionCols::SelectionToGridRect() {
  if (empty()) return kNoGridRect;
  return {grid_->DataToRawColumn(front()->Index()), 0, grid_->DataToRawColumn(back()->Index()),
          grid_->RowCount() - 1};
}

// ---------------------------------------------------------------- TDBGridExSelectionRect

void TDBGridExSelectionRect::CheckLinked(const char* Message) {
  if (!grid_->DataLink()->Active()) throw EInvalidGridOperation(Message);
}

int TDBGridExSelectionRect::Compare(const TBookmarkStr& A, const TBookmarkStr& B) {
  return grid_->DataLink()->DataSet()->CompareBookmarks(A, B);
}

void TDBGridExSelectionRect::Select(int ACol, const TBookmarkStr& ARow, bool AddSel) {
  TDBGridExSelection* selection = grid_->Selection();
  if (selection->SelectionType() != gstRectangle) selection->Clear();
  const bool windowed = grid_->HandleAllocated();
  const TGridRect before =
      windowed && selection->SelectionType() == gstRectangle ? SelectionToGridRect() : kNoGridRect;
  if (anchorCol_ == -1 || !AddSel) {
    anchorCol_ = ACol;
    anchorRow_ = ARow;
  }
  shiftCol_ = ACol;
  shiftRow_ = ARow;
  const bool oneCell = anchorCol_ == shiftCol_ && Compare(anchorRow_, shiftRow_) == 0;
  selection->SetSelectionType(oneCell ? gstNon : gstRectangle);
  if (!windowed) return;
  const TGridRect after = selection->SelectionType() == gstRectangle ? SelectionToGridRect() : kNoGridRect;
  std::vector<TGridRect> changed;
  Difference(before, after, changed);
  Difference(after, before, changed);
  for (const TGridRect& r : changed) grid_->InvalidateRect(r);
}

void TDBGridExSelectionRect::Clear() {
  anchorCol_ = shiftCol_ = -1;
  anchorRow_.clear();
  shiftRow_.clear();
  grid_->InvalidateGrid();
}

bool TDBGridExSelectionRect::CornersExist() {
  TDataSet* ds = grid_->DataLink()->DataSet();
  return grid_->DataLink()->Active() && ds->BookmarkValid(anchorRow_) && ds->BookmarkValid(shiftRow_);
}

TBookmarkStr TDBGridExSelectionRect::TopRow() {
  CheckLinked("Error in TDBGridExSelectionRect.GetTopRow");
  return Compare(anchorRow_, shiftRow_) <= 0 ? anchorRow_ : shiftRow_;
}

TBookmarkStr TDBGridExSelectionRect::BottomRow() {
  CheckLinked("Error in TDBGridExSelectionRect.GetBottomRow");
  return Compare(anchorRow_, shiftRow_) <= 0 ? shiftRow_ : anchorRow_;
}

int TDBGridExSelectionRect::LeftCol() {
  CheckLinked("Error in TDBGridExSelectionRect.GetLeftCol");
  return std::min(anchorCol_, shiftCol_);
}

int TDBGridExSelectionRect::RightCol() {
  CheckLinked("Error in TDBGridExSelectionRect.GetRightCol");
  return std::max(anchorCol_, shiftCol_);
}

bool TDBGridExSelectionRect::CellSelected(int ACol, const TBookmarkStr& ARow) {
  CheckLinked("Error in function TDBGridExSelectionRect.CellSelected");
  if (anchorCol_ < 0 || ACol < LeftCol() || ACol > RightCol()) return false;
  return Compare(ARow, TopRow()) >= 0 && Compare(ARow, BottomRow()) <= 0;
}

TGridRect TDBGridExSelectionRect::SelectionToGridRect() {
  if (anchorCol_ < 0 || !grid_->DataLink()->Active()) return kNoGridRect;
  const TBookmarkStr top = TopRow(), bottom = BottomRow();
  int first = -1, last = -1;
  ForEachBufferedRecord(grid_, [&](int Row, const TBookmarkStr& B) {
    if (Compare(B, top) >= 0 && Compare(B, bottom) <= 0) {
      if (first < 0) first = Row;
      last = Row;
    }
    return true;
  });
  if (first < 0) return kNoGridRect;
  return {grid_->DataToRawColumn(LeftCol()), first + grid_->TitleOffset(), grid_->DataToRawColumn(RightCol()),
          last + grid_->TitleOffset()};
}

// ---------------------------------------------------------------- TDBGridExSelection

TDBGridExSelection::TDBGridExSelection(TCustomDBGridEx* AGrid)
    : grid_(AGrid),
      columns_(std::make_unique<TDBGridExSelectionCols>(AGrid)),
      rect_(std::make_unique<TDBGridExSelectionRect>(AGrid)) {}

TDBGridExSelection::~TDBGridExSelection() = default;

TBookmarkListEx* TDBGridExSelection::Rows() const {
  return grid_->SelectedRows();
}

void TDBGridExSelection::SetSelectionType(TDBGridExSelectionType Value) {
  if (Value == selectionType_) return;
  selectionType_ = Value;
  grid_->UpdateEditorState();
}

void TDBGridExSelection::Clear() {
  switch (selectionType_) {
    case gstRecordBookmarks:
      Rows()->Clear();
      break;
    case gstRectangle:
      rect_->Clear();
      break;
    case gstColumns:
      columns_->Clear();
      break;
    case gstAll:
      grid_->InvalidateGrid();
      break;
    case gstNon:
      break;
  }
  SetSelectionType(gstNon);
  if (grid_->Options().Contains(dgAlwaysShowEditor)) grid_->UpdateEditorState();
}

void TDBGridExSelection::SelectAll() {
  if (selectionType_ == gstAll) return;
  Clear();
  SetSelectionType(gstAll);
  grid_->InvalidateGrid();
}

void TDBGridExSelection::UpdateState() {
  if ((selectionType_ == gstRecordBookmarks && Rows()->Count() == 0) ||
      (selectionType_ == gstColumns && columns_->empty())) {
    SetSelectionType(gstNon);
    grid_->InvalidateGrid();
  }
}

void TDBGridExSelection::ForgetGoneRecords() {
  switch (selectionType_) {
    case gstRecordBookmarks:
      Rows()->ForgetGone();
      break;
    case gstRectangle:
      if (!rect_->CornersExist()) Clear();
      break;
    default:
      break;
  }
}

bool TDBGridExSelection::DataCellSelected(int DataCol, const TBookmarkStr& Bookmark) {
  if (DataCol < 0) return false;
  switch (selectionType_) {
    case gstRecordBookmarks:
      return Rows()->IndexOf(Bookmark) >= 0;
    case gstRectangle:
      return rect_->CellSelected(DataCol, Bookmark);
    case gstColumns:
      return DataCol < grid_->Columns()->Count() && columns_->Contains(grid_->Columns()->Items(DataCol));
    case gstAll:
      return true;
    case gstNon:
      break;
  }
  return false;
}

TGridRect TDBGridExSelection::SelectionToGridRect() {
  switch (selectionType_) {
    case gstRecordBookmarks:
      return Rows()->SelectionToGridRect();
    case gstRectangle:
      return rect_->SelectionToGridRect();
    case gstColumns:
      return columns_->SelectionToGridRect();
    case gstAll:
      return {0, 0, grid_->ColCount() - 1, grid_->RowCount() - 1};
    case gstNon:
      break;
  }
  return kNoGridRect;
}

void TDBGridExSelection::LinkActive(bool Value) {
  Rows()->LinkActive(Value);
  Clear();
}
