// The grid's multiple selection: a set of records (by bookmark), a rectangle of cells, a set of
// columns, or everything; at most one kind at a time. Input creates and changes it, drawing asks
// whether a cell is in it, and copy, delete and export work on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/DBGridExColumns.h"
#include "platform/gui/Grids.h"

class TCustomDBGridEx;

enum TDBGridExSelectionType { gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll };
using TDBGridExAllowedSelections = TSet<TDBGridExSelectionType>;

// No cells: what a selection gives when nothing of it is held or visible.
inline constexpr TGridRect kNoGridRect{-1, -1, -1, -1};

// The selected records' bookmarks, kept in the dataset's order.
class TBookmarkListEx {
 public:
  explicit TBookmarkListEx(TCustomDBGridEx* AGrid) : grid_(AGrid) {}

  TCustomDBGridEx* Grid() const { return grid_; }
  int Count() const { return static_cast<int>(items_.size()); }
  const TBookmarkStr& Items(int Index) const { return items_.at(Index); }
  const std::vector<TBookmarkStr>& List() const { return items_; }
  bool Linked() const { return linked_; }
  // The position of the bookmark, -1 when absent.
  int IndexOf(const TBookmarkStr& Item);
  // Whether the bookmark is in the list; Index is its position or where it would go. The last
  // answer is cached.
  bool Find(const TBookmarkStr& Item, int& Index);
  // The current record's bookmark; EInvalidGridOperation without an active link.
  TBookmarkStr CurrentRow();
  // Whether the current record is marked; marking the current row of an empty dataset, or a record
  // being inserted, does nothing: no record stands there yet.
  bool CurrentRowSelected();
  void SetCurrentRowSelected(bool Value);
  void Clear();
  // Deletes the bookmarked records, the last first; records that went meanwhile are passed over.
  void Delete();
  // Drops the bookmarks of records that went (deleted, or no longer in the dataset's view).
  void ForgetGone();
  void LinkActive(bool Value);
  // The visible rows from the first to the last selected one, every column; kNoGridRect when none.
  TGridRect SelectionToGridRect();
  // Lookups that used the cache (for tests of the cache).
  int CacheHits() const { return cacheHits_; }

 private:
  bool CurrentRowHasRecord();
  int Compare(const TBookmarkStr& A, const TBookmarkStr& B);
  void ResetCache() { cacheIndex_ = -1; }
  TCustomDBGridEx* grid_;
  std::vector<TBookmarkStr> items_;
  bool linked_ = false;
  TBookmarkStr cacheBookmark_;
  int cacheIndex_ = -1;
  bool cacheFound_ = false;
  int cacheHits_ = 0;
};

// Selected columns, kept sorted by column index.
class TDBGridExSelectionCols : public TColumnsExList {
 public:
  explicit TDBGridExSelectionCols(TCustomDBGridEx* AGrid) : grid_(AGrid) {}

  bool Contains(const TColumnEx* Column) const;
  TColumnEx* Anchor() const { return anchor_; }
  TColumnEx* ShiftCol() const { return shiftCol_; }
  // Selects the column (adding it with AddSel, else alone).
  void Select(TColumnEx* Column, bool AddSel);
  // Adds an absent column or removes a present one (Ctrl+click).
  void InvertSelect(TColumnEx* Column);
  // Extends (or shrinks) the gesture from the anchor to the column (Shift+click, dragging).
  void SelectShift(TColumnEx* Column);
  void Clear();
  // Drops columns no longer in the grid and sorts by index again.
  void Refresh();
  // Forgets a column that is going.
  void Forget(TColumnEx* Column);
  TGridRect SelectionToGridRect();

 private:
  void Add(TColumnEx* Column);
  void Remove(TColumnEx* Column);
  void InvalidateColumn(TColumnEx* Column);
  TCustomDBGridEx* grid_;
  TColumnEx* anchor_ = nullptr;
  TColumnEx* shiftCol_ = nullptr;
  TColumnsExList shiftSelectedCols_;
};

// A rectangle of cells between an anchor corner and a moving corner (column index and bookmark).
class TDBGridExSelectionRect {
 public:
  explicit TDBGridExSelectionRect(TCustomDBGridEx* AGrid) : grid_(AGrid) {}

  void Select(int ACol, const TBookmarkStr& ARow, bool AddSel);
  void Clear();
  bool CellSelected(int ACol, const TBookmarkStr& ARow);
  TBookmarkStr TopRow();
  TBookmarkStr BottomRow();
  int LeftCol();
  int RightCol();
  TGridRect SelectionToGridRect();
  int AnchorCol() const { return anchorCol_; }
  const TBookmarkStr& AnchorRow() const { return anchorRow_; }
  int ShiftCol() const { return shiftCol_; }
  const TBookmarkStr& ShiftRow() const { return shiftRow_; }
  // Whether both corners name records of the dataset (a rectangle whose corner went has no extent).
  bool CornersExist();

 private:
  void CheckLinked(const char* Message);
  int Compare(const TBookmarkStr& A, const TBookmarkStr& B);
  TCustomDBGridEx* grid_;
  int anchorCol_ = -1;
  TBookmarkStr anchorRow_;
  int shiftCol_ = -1;
  TBookmarkStr shiftRow_;
};

class TDBGridExSelection {
 public:
  explicit TDBGridExSelection(TCustomDBGridEx* AGrid);
  ~TDBGridExSelection();

  TCustomDBGridEx* Grid() const { return grid_; }
  TDBGridExSelectionType SelectionType() const { return selectionType_; }
  void SetSelectionType(TDBGridExSelectionType Value);
  TDBGridExSelectionCols* Columns() const { return columns_.get(); }
  TDBGridExSelectionRect* Rect() const { return rect_.get(); }
  TBookmarkListEx* Rows() const;

  void Clear();
  void SelectAll();
  void UpdateState();
  // Forgets what names records that went: their bookmarks, or a rectangle whose corner went. Records
  // go under the selection through the program or Ctrl+Delete of the current record; whatever walks
  // the selection's records calls this first.
  void ForgetGoneRecords();
  // Whether the data cell (column index, record bookmark) lies in the selection.
  bool DataCellSelected(int DataCol, const TBookmarkStr& Bookmark);
  TGridRect SelectionToGridRect();
  void LinkActive(bool Value);

 private:
  TCustomDBGridEx* grid_;
  TDBGridExSelectionType selectionType_ = gstNon;
  std::unique_ptr<TDBGridExSelectionCols> columns_;
  std::unique_ptr<TDBGridExSelectionRect> rect_;
};
