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
  layoutOwed_ = false;  // this pass serves a deferred layout that waited for the grid
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
        if (!FieldShown(c->Field())) delete c;
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

  // the columns may have moved (the program's SetIndex, a default column's field moved in the dataset):
  // the filter cell being edited moves with its column, as the cell editor's text does (see
  // UpdateData)
  if (filterEdited_ && filterEdited_->Index() != filterColumn_) filterColumn_ = filterEdited_->Index();

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
  titleOffset_ = (options_.Contains(dgTitles) ? 1 : 0) + (FilterRowShown() ? 1 : 0) + SpecRowCount();

  // 8-9. row height from the grid's font
  const FontMetrics font = Measure(Font());
  const int margin = (flat_ ? 1 : 3) + (options_.Contains(dgRowLines) ? GridLineWidth() : 0);
  const int textHeight = std::max(1, font.textHeight);
  // Rows fitted to the text count their lines in text heights: the lines and the height the fitting
  // stores give the same rows at the next pass (in line pitches a small font grew them every pass).
  const bool fitted = optionsEx_.Contains(dghFitRowHeightToText);
  const int linePitch = fitted ? textHeight : font.tm.tmHeight + font.tm.tmExternalLeading;
  int rowHeight = 0;
  if (rowHeight_ < 1 && rowLines_ < 1) {
    rowHeight = textHeight + margin;
  } else {
    rowHeight = linePitch * rowLines_ + rowHeight_;
  }
  // 10. rows fitted to whole text lines
  if (fitted) {
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

  // 13. the base grid's horizontal scroll bar only without auto-fit and without an external bar
  const bool ownHorz = (!autoFitColWidths_ || ComponentState().Contains(csDesigning)) &&
                       horzScrollBar_->Visible() && !horzScrollBar_->ExtScrollBar();
  const TScrollStyle bars = ownHorz ? ssHorizontal : ssNone;
  if (ScrollBars() != bars) {
    SetScrollBars(bars);
    if (HandleAllocated()) {
      HandleNeeded();
      UpdateVertScrollBar();
    }
  }

  // 14. tab stops and widths
  UpdateTabStops();

  // 15. the columns fill the client width
  if (autoFitColWidths_ && !ComponentState().Contains(csDesigning) && HandleAllocated()) {
    FitColumnsToWidth();
    UpdateTabStops();
  }

  // 16. a title height or a number of title lines of its own
  if (options_.Contains(dgTitles) && (titleHeight_ != 0 || titleLines_ != 0)) {
    const FontMetrics t = Measure(tallest);
    titleRowHeight_ = titleLines_ * t.tm.tmHeight + t.tm.tmExternalLeading + 2 + titleHeight_ +
                      (options_.Contains(dgRowLines) ? 1 : 0);
  }

  // 17. multi-level titles: the tree from the captions decides the title row's height
  if (options_.Contains(dgTitles) && useMultiTitle_) {
    CreateFieldTree();
    titleRowHeight_ = SetChildTreeHeight(headTree_.get()) - (optionsEx_.Contains(dghFixed3D) ? 1 : 3);
  } else {
    headTree_->FreeAllChild();
    titleCells_.clear();
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
  if (filterEditorShown_ && HandleAllocated() && !ComponentState().Contains(csDestroying))
    PlaceFilterEditor(true);
  layoutRunning_ = false;
}

void TCustomDBGridEx::UpdateRowCount() {
  const int oldRows = RowCount();
  if (RowCount() <= titleOffset_) SetRowCount(titleOffset_ + 1);
  SetFixedRows(titleOffset_);
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const int pitch = DefaultRowHeight() + line;
  // every row of the default height but the title's; heights that are so already stay untouched
  const bool titled = options_.Contains(dgTitles) && RowCount() > 0;
  if (!RowHeightsDefaultBut(titled ? 0 : -1) || (titled && RowHeights(0) != titleRowHeight_)) {
    SetDefaultRowHeight(DefaultRowHeight());
    if (titled) SetRowHeights(0, titleRowHeight_);
  }
  int used =
      SpecRowCount() > 0 ? FixedRowsExtent() : (options_.Contains(dgTitles) ? titleRowHeight_ + line : 0);
  used += footerRowCount_ * pitch + (footerRowCount_ > 0 ? line : 0);
  if (memTable_) {
    UpdateMemTableRows();
    if (RowCount() != oldRows) Invalidate();
    return;
  }
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
  // (rows that came or went at the end were invalidated from there down as they changed)
}

void TCustomDBGridEx::Scroll(int Distance) {
  // another record made current, not by the search itself, ends an incremental search
  if (incSearchRunning_ && !incSearchMoving_ &&
      (Distance != 0 || Row() != dataLink_->ActiveRecord() + titleOffset_))
    StopIncSearch();
  if (memTable_) {
    // (the record may change where the row does not: past the rows fetched the last one stays)
    RecordChanged();
    return;
  }
  // a window that is not shown is painted whole when it shows: no rectangles to work out meanwhile
  const bool painting = HandleAllocated() && IsWindowVisible(Handle());
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const int pitch = DefaultRowHeight() + line;
  const int dataTop =
      SpecRowCount() > 0 ? FixedRowsExtent() : (titleOffset_ > 0 ? titleRowHeight_ + line : 0);
  auto rowRect = [&](int row) {
    const int top = dataTop + (row - TopRow()) * pitch;
    return Rect(0, top, ClientWidth(), top + pitch);
  };
  if (HandleAllocated()) {
    const int oldRow = Row();
    if (dataLink_->ActiveRecord() >=
        RowCount() - titleOffset_ - (footerRowCount_ > 0 ? footerRowCount_ + 1 : 0))
      UpdateRowCount();
    const bool barShown = vertScrollBar_->IsScrollBarShowing();
    UpdateVertScrollBar();
    if (barShown != vertScrollBar_->IsScrollBarShowing() && autoFitColWidths_ &&
        !ComponentState().Contains(csDesigning))
      DeferLayout();
    RecordChanged();
    if (painting && Distance == 0) {
      // the records stayed where they were: of the rows left and entered, the cells that look other
      InvalidateChangedCells(oldRow);
      InvalidateChangedCells(Row());
    } else if (painting) {
      RECT r = rowRect(oldRow);
      ::InvalidateRect(Handle(), &r, false);
      r = rowRect(Row());
      ::InvalidateRect(Handle(), &r, false);
    }
  }
  if (Distance != 0) {
    HideEditor();
    ForgetRowPictures();  // the rows' images move with the records
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
    if (EditorMayComeBack()) ShowEditor();
  }
  if (painting) {
    for (int i = 0; i < footerRowCount_; ++i) InvalidateRow(RowCount() - 1 - i);
    if (updateLock_ == 0) Update();
  }
}

int TCustomDBGridEx::FixedRowsExtent() {
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  int extent = 0;
  for (int r = 0; r < std::min(titleOffset_, TCustomGrid::RowCount()); ++r) extent += RowHeights(r) + line;
  return extent;
}

// ---------------------------------------------------------------- the title tree

THeadTreeNode::THeadTreeNode(const std::string& AText, int AHeight, int AWidth)
    : Height(AHeight), Text(AText), Width(AWidth) {}

THeadTreeNode::~THeadTreeNode() {
  FreeAllChild();
}

void THeadTreeNode::FreeAllChild() {
  if (!Child) return;
  std::vector<THeadTreeNode*> children;
  THeadTreeNode* n = Child;
  do {
    children.push_back(n);
    n = n->Next;
  } while (n != Child);
  Child = nullptr;
  for (THeadTreeNode* c : children) delete c;
}

int THeadTreeNode::ChildCount() const {
  if (!Child) return 0;
  int count = 0;
  const THeadTreeNode* n = Child;
  do {
    ++count;
    n = n->Next;
  } while (n != Child);
  return count;
}

THeadTreeNode* THeadTreeNode::Add(THeadTreeNode* After, const std::string& AText, int AHeight, int AWidth) {
  assert(After && After->Host && "a sibling needs a host");
  auto* node = new THeadTreeNode(AText, AHeight, AWidth);
  node->Host = After->Host;
  node->Next = After->Next;
  After->Next = node;
  return node;
}

THeadTreeNode* THeadTreeNode::AddChild(THeadTreeNode* Node, const std::string& AText, int AHeight,
                                       int AWidth) {
  assert(Node);
  auto* node = new THeadTreeNode(AText, AHeight, AWidth);
  node->Host = Node;
  if (!Node->Child) {
    Node->Child = node;
    node->Next = node;
    return node;
  }
  THeadTreeNode* last = Node->Child;
  while (last->Next != Node->Child) last = last->Next;
  last->Next = node;
  node->Next = Node->Child;
  return node;
}

bool THeadTreeNode::Find(THeadTreeNode* Node) {
  if (Node == this) return true;
  if (!Child) return false;
  THeadTreeNode* n = Child;
  do {
    if (n->Find(Node)) return true;
    n = n->Next;
  } while (n != Child);
  return false;
}

bool THeadTreeNode::ForEach(const std::function<bool(THeadTreeNode*)>& Proc) {
  if (!Child) return true;
  THeadTreeNode* n = Child;
  do {
    if (!Proc(n) || !n->ForEach(Proc)) return false;
    n = n->Next;
  } while (n != Child);
  return true;
}

void THeadTreeNode::Union(THeadTreeNode* From, THeadTreeNode* To, const std::string& AText, int AHeight) {
  if (!From || !Find(From) || !From->Host) throw Exception("Node not in Tree");
  THeadTreeNode* host = From->Host;
  // To is From or one of the siblings after it
  bool found = false;
  for (THeadTreeNode* n = From;;) {
    if (n == To) {
      found = true;
      break;
    }
    n = n->Next;
    if (n == host->Child) break;
  }
  if (!found) throw Exception("ATo not in level");
  THeadTreeNode* before = host->Child;
  while (before->Next != From) before = before->Next;
  auto* group = new THeadTreeNode(AText, AHeight, 0);
  group->Host = host;
  const bool wholeRing = To->Next == From;
  if (wholeRing) {
    group->Next = group;
  } else {
    group->Next = To->Next;
    before->Next = group;
  }
  if (host->Child == From || wholeRing) host->Child = group;
  To->Next = From;
  group->Child = From;
  int width = 0;
  THeadTreeNode* n = From;
  do {
    n->Host = group;
    n->Height -= AHeight;
    width += n->Width + n->WIndent;
    n = n->Next;
  } while (n != From);
  group->WIndent = To->WIndent;
  group->Width = width - (group->WIndent >= 1 ? group->WIndent : 0);
}

namespace {

// The caption's first '|'-separated word, when it has a second one.
bool SplitFirst(const std::string& Text, std::string& First) {
  const size_t bar = Text.find('|');
  if (bar == std::string::npos) return false;
  First = Text.substr(0, bar);
  return true;
}

constexpr int kGroupBandHeight = 20;

}  // namespace

THeadTreeNode* TCustomDBGridEx::LeafOf(const TColumnEx* Column) const {
  for (const TDBGridExTitleCell& cell : titleCells_)
    if (cell.Column == Column) return cell.Node;
  return nullptr;
}

void TCustomDBGridEx::CreateFieldTree() {
  headTree_->FreeAllChild();
  const int count = columns_->Count();
  titleCells_.assign(static_cast<size_t>(count), {});
  const bool colLines = options_.Contains(dgColLines);
  for (int i = 0; i < count; ++i) {
    TColumnEx* c = columns_->Items(i);
    const int width = c->Visible() ? c->Width() : (colLines ? -1 : 0);
    THeadTreeNode* leaf = headTree_->AddChild(headTree_.get(), c->Title()->Caption(), titleRowHeight_, width);
    leaf->Column = c;
    leaf->ExtraWidth = c->Title()->SortMarker() != smNoneEx ? kSortMarkerArea : 0;
    leaf->WIndent = colLines ? 1 : 0;
    titleCells_[static_cast<size_t>(i)] = {leaf, c};
  }
  // runs of equal first words become group nodes, from the left, until nothing changes
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < count && !changed; ++i) {
      std::string first;
      if (!SplitFirst(titleCells_[static_cast<size_t>(i)].Node->Text, first)) continue;
      int last = i;
      std::string next;
      while (last + 1 < count && SplitFirst(titleCells_[static_cast<size_t>(last + 1)].Node->Text, next) &&
             next == first)
        ++last;
      for (int k = i; k <= last; ++k) {
        THeadTreeNode* leaf = titleCells_[static_cast<size_t>(k)].Node;
        leaf->Text.erase(0, first.size() + 1);
      }
      headTree_->Union(titleCells_[static_cast<size_t>(i)].Node, titleCells_[static_cast<size_t>(last)].Node,
                       first, kGroupBandHeight);
      changed = true;
    }
  }
}

int TCustomDBGridEx::SetChildTreeHeight(THeadTreeNode* Node) {
  if (!Node || !Node->Child) return 0;
  TCanvas* canvas = LayoutCanvas();
  HDC dc = canvas->Handle();
  int level = 0;
  std::vector<int> subtrees;
  THeadTreeNode* n = Node->Child;
  bool firstChild = true;
  do {
    const int subtree = SetChildTreeHeight(n);
    subtrees.push_back(subtree);
    if (n->Column) {
      canvas->Font()->Assign(n->Column->Title()->Font());
    } else if (firstChild) {
      canvas->Font()->Assign(titleFont_.get());
    }
    const bool vertical = n->Column && n->Column->Title()->Orientation() == tohVertical;
    const std::string text = n->Text.empty() ? " " : n->Text;
    int measured = 0;
    if (n->Width < 1) {
      measured = vertical ? 0 : vTitleMargin_;
    } else if (vertical) {
      measured = canvas->TextWidth(text) + 6;
    } else {
      RECT r = Rect(0, 0, std::max(1, n->Width - kTitleMargin - n->ExtraWidth), 0);
      measured = DrawText(dc, text, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX) + vTitleMargin_;
    }
    level = std::max(level, subtree + measured);
    firstChild = false;
    n = n->Next;
  } while (n != Node->Child);
  size_t i = 0;
  n = Node->Child;
  do {
    n->Height = n->Child ? level - subtrees[i] : level;
    ++i;
    n = n->Next;
  } while (n != Node->Child);
  Node->Height = level;
  return level;
}

// ---------------------------------------------------------------- auto-fit

void TCustomDBGridEx::FitColumnsToWidth() {
  const TColumnsExList visible = visibleColumns_;
  std::vector<bool> marked(visible.size(), false);
  const int count = static_cast<int>(visible.size());
  int available = 0, sum = 0;
  for (int pass = 0; pass < std::max(1, count); ++pass) {
    UpdateVertScrollBar();  // the client width is final only with the bar settled
    int proportional = 0, fixedSum = 0;
    for (int i = 0; i < count; ++i) {
      if (visible[i]->AutoFitColWidth() && !marked[i])
        proportional += visible[i]->InitWidth();
      else
        fixedSum += visible[i]->Width();
    }
    const int client = HandleAllocated() ? ClientWidth() : Width();
    available = std::max(0, std::max(client, minAutoFitWidth_) - fixedSum);
    if (options_.Contains(dgIndicator)) available -= kIndicatorWidth;
    if (options_.Contains(dgColLines)) available -= count;
    if (options_.Contains(dgIndicator) && options_.Contains(dgColLines)) available -= 1;
    sum = 0;
    bool markedNow = false;
    for (int i = 0; i < count; ++i) {
      TColumnEx* c = visible[i];
      if (!c->AutoFitColWidth() || marked[i]) continue;
      const int wanted = proportional > 0 ? MulDiv(c->InitWidth(), available, proportional) : 0;
      c->SetWidth(wanted);
      if (c->Width() != wanted) {
        marked[i] = true;
        markedNow = true;
      }
      sum += c->Width();
    }
    if (!markedNow) break;
  }
  if (sum == available) return;
  // the rounding goes to the right-most column that still follows the width
  for (int i = count - 1; i >= 0; --i) {
    TColumnEx* c = visible[i];
    if (!c->AutoFitColWidth() || marked[i]) continue;
    c->SetWidth(std::max(0, c->Width() + available - sum));
    break;
  }
}

int TCustomDBGridEx::SortMarkerWidth(TColumnEx* Column) {
  const int index = Column->Title()->SortIndex();
  if (index == 0) return 0;
  int width = kSortMarkerArea;
  if (sortMarkedColumns_.size() >= 2) {
    TCanvas* canvas = LayoutCanvas();
    canvas->Font()->Assign(DBGridExSortIndexFont());
    const int number = canvas->TextWidth(std::to_string(index));
    width += number;
    if (width > Column->Width() - 4) width -= 14;
    if (width > Column->Width() - 4) width -= number + 2;
  }
  return width;
}

// ---------------------------------------------------------------- draw information

int TCustomDBGridEx::VisibleDataRowCount() const {
  if (memTable_) return std::max(1, RowCount() - titleOffset_);
  return dataLink_->Active() ? std::max(1, dataLink_->RecordCount()) : 1;
}

void TCustomDBGridEx::CalcDrawInfoEx(TGridDrawInfoEx& DrawInfo) {
  CalcDrawInfo(DrawInfo.Info);
  DrawInfo.FooterExtent = 0;
  if (footerRowCount_ <= 0) return;
  const int line = DrawInfo.Info.Vert.EffectiveLineWidth;
  for (int r = std::max(0, RowCount() - footerRowCount_); r < RowCount(); ++r)
    DrawInfo.FooterExtent += RowHeights(r) + line;
}
