// The report-style list view: a header of columns over rows of items with their sub-items, one
// row per item, selection by mouse and keys, and a vertical scroll bar. Only visible rows paint.
#include <algorithm>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kCellPadding = 4;

}  // namespace

// ---------------------------------------------------------------- columns

void TListColumn::SetCaption(const std::string& Value) {
  caption_ = Value;
  owner_->Invalidate();
}

void TListColumn::SetWidth(int Value) {
  width_ = std::max(minWidth_, Value);
  owner_->Invalidate();
}

void TListColumn::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  owner_->Invalidate();
}

void TListColumn::SetAutoSize(bool Value) {
  autoSize_ = Value;
  owner_->Invalidate();
}

int TListColumn::Index() const {
  auto& c = owner_->columns_.columns_;
  for (std::size_t i = 0; i < c.size(); ++i)
    if (c[i].get() == this) return static_cast<int>(i);
  return -1;
}

TListColumn* TListColumns::Add() {
  columns_.push_back(std::make_unique<TListColumn>(owner_));
  owner_->Invalidate();
  return columns_.back().get();
}

void TListColumns::Clear() {
  columns_.clear();
  owner_->Invalidate();
}

// ---------------------------------------------------------------- items

TListItem::TListItem(TListItems* Owner) : owner_(Owner), subItems_(std::make_unique<TStringList>()) {
  subItems_->OnChange = [this](TObject*) { Update(); };
}

TListItem::~TListItem() {
  subItems_->OnChange = nullptr;
}

TListView* TListItem::ListView() const {
  return owner_->owner_;
}

void TListItem::SetCaption(const std::string& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  Update();
  InvokeEvent(ListView()->OnChange, ListView(), this, ctText);
}

void TListItem::SetImageIndex(int Value) {
  imageIndex_ = Value;
  Update();
}

void TListItem::SetSelected(bool Value) {
  if (selected_ == Value) return;
  TListView* lv = ListView();
  if (Value && !lv->MultiSelect()) lv->ClearSelection();
  selected_ = Value;
  lv->ItemSelectionChanged(this, Value);
}

bool TListItem::Focused() const {
  return ListView()->ItemFocused() == this;
}

void TListItem::SetFocused(bool Value) {
  if (Value)
    ListView()->SetItemFocused(this);
  else if (Focused())
    ListView()->SetItemFocused(nullptr);
}

int TListItem::Index() const {
  return owner_->IndexOf(this);
}

void TListItem::Delete() {
  owner_->Delete(Index());
}

void TListItem::MakeVisible(bool) {
  ListView()->MakeRowVisible(Index());
}

TRect TListItem::DisplayRect() {
  TListView* lv = ListView();
  int row = Index() - lv->topRow_;
  int top = lv->HeaderHeight() + row * lv->RowHeight();
  return Rect(0, top, lv->ClientWidth(), top + lv->RowHeight());
}

void TListItem::Update() {
  TListView* lv = ListView();
  if (owner_->updateCount_ > 0 || !lv->HandleAllocated()) return;
  RECT r = DisplayRect();
  InvalidateRect(lv->Handle(), &r, false);
}

TListItems::~TListItems() {
  items_.clear();
}

TListItem* TListItems::Add() {
  return AddItem(nullptr, -1);
}

TListItem* TListItems::Insert(int Index) {
  return AddItem(nullptr, Index);
}

TListItem* TListItems::AddItem(TListItem* Item, int Index) {
  std::unique_ptr<TListItem> owned(Item ? Item : new TListItem(this));
  owned->owner_ = this;
  if (Index < 0 || Index > Count()) Index = Count();
  TListItem* raw = owned.get();
  items_.insert(items_.begin() + Index, std::move(owned));
  if (owner_->anchor_ >= Index) ++owner_->anchor_;
  // the rows below move down: keep the view where it was unless it shows the top
  owner_->ItemsChanged(true, Index);
  InvokeEvent(owner_->OnInsert, owner_, raw);
  return raw;
}

int TListItems::IndexOf(const TListItem* Item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == Item) return static_cast<int>(i);
  return -1;
}

void TListItems::Delete(int Index) {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  TListItem* item = items_[static_cast<std::size_t>(Index)].get();
  owner_->ItemRemoving(item);
  std::unique_ptr<TListItem> gone = std::move(items_[static_cast<std::size_t>(Index)]);
  items_.erase(items_.begin() + Index);
  if (owner_->anchor_ >= Count()) owner_->anchor_ = Count() - 1;
  owner_->ItemsChanged(true, Index);
}

void TListItems::Clear() {
  BeginUpdate();
  while (!items_.empty()) Delete(Count() - 1);
  EndUpdate();
}

void TListItems::BeginUpdate() {
  ++updateCount_;
}

void TListItems::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) owner_->ItemsChanged(true);
}

// ---------------------------------------------------------------- TListView

TListView::TListView(TComponent* AOwner) : TCustomListControl(AOwner) {
  width_ = 250;
  height_ = 150;
  color_ = clWindow;
  parentColor_ = false;
  brush_.SetColor(clWindow);
  controlStyle_ = {csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
  SetTabStop(true);
  imageLink_.OnChange = [this](TObject*) { Invalidate(); };
}

TListView::~TListView() {
  if (smallImages_) smallImages_->UnRegisterChanges(&imageLink_);
  items_.updateCount_ = 1;  // nothing repaints while the items go
  focused_ = nullptr;
  items_.items_.clear();
}

void TListView::SetViewStyle(TViewStyle Value) {
  viewStyle_ = Value;
  Invalidate();
}

void TListView::SetMultiSelect(bool Value) {
  multiSelect_ = Value;
  if (!Value) {
    TListItem* keep = Selected();
    for (auto& i : items_.items_)
      if (i.get() != keep) i->selected_ = false;
  }
  Invalidate();
}

void TListView::SetRowSelect(bool Value) {
  rowSelect_ = Value;
  Invalidate();
}

void TListView::SetHideSelection(bool Value) {
  hideSelection_ = Value;
  Invalidate();
}

void TListView::SetGridLines(bool Value) {
  gridLines_ = Value;
  Invalidate();
}

void TListView::SetShowColumnHeaders(bool Value) {
  showColumnHeaders_ = Value;
  UpdateScrollBar();
  Invalidate();
}

void TListView::SetSmallImages(TCustomImageList* Value) {
  SetImageListOf(this, smallImages_, imageLink_, Value);
  Invalidate();
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (ForgetImageListOf(smallImages_, AComponent, Operation)) Invalidate();
}

void TListView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListView::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBar();
}

int TListView::RowHeight() {
  int h = TextExtentOf(Font(), "Wg").cy + 3;
  if (smallImages_) h = std::max(h, smallImages_->Height() + 1);
  return h;
}

int TListView::HeaderHeight() {
  return showColumnHeaders_ ? RowHeight() + 4 : 0;
}

int TListView::VisibleRowCount() {
  return std::max(1, (ClientHeight() - HeaderHeight()) / RowHeight());
}

TListItem* TListView::TopItem() const {
  return topRow_ < items_.Count() ? items_.Item(topRow_) : nullptr;
}

void TListView::UpdateScrollBar() {
  if (!HandleAllocated() || items_.updateCount_ > 0) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, items_.Count() - 1);
  si.nPage = static_cast<UINT>(VisibleRowCount());
  si.nPos = topRow_;
  SetScrollInfo(Handle(), SB_VERT, si, true);
}

void TListView::ItemsChanged(bool Repaint, int FromRow) {
  if (items_.updateCount_ > 0) return;
  const int top = topRow_;
  topRow_ = std::clamp(topRow_, 0, std::max(0, items_.Count() - VisibleRowCount()));
  UpdateScrollBar();
  if (!Repaint) return;
  if (FromRow < 0 || topRow_ != top || !HandleAllocated()) {
    Invalidate();
    return;
  }
  // the rows from the change down show other items now; the header and the rows above stay
  const int first = std::max(FromRow, topRow_) - topRow_;
  if (first > VisibleRowCount()) return;
  RECT rows = ClientRect();
  rows.Top = HeaderHeight() + first * RowHeight();
  InvalidateRect(Handle(), &rows, false);
}

void TListView::ItemSelectionChanged(TListItem* Item, bool Selected) {
  Item->Update();
  InvokeEvent(OnSelectItem, this, Item, Selected);
  InvokeEvent(OnChange, this, Item, ctState);
}

void TListView::ItemRemoving(TListItem* Item) {
  InvokeEvent(OnDeletion, this, Item);
  if (focused_ == Item) focused_ = nullptr;
  if (Item->selected_) {
    Item->selected_ = false;
    InvokeEvent(OnSelectItem, this, Item, false);
  }
}

TListItem* TListView::Selected() const {
  if (focused_ && focused_->selected_) return focused_;
  for (auto& i : items_.items_)
    if (i->selected_) return i.get();
  return nullptr;
}

void TListView::SetSelected(TListItem* Item) {
  ClearSelection();
  if (Item) {
    Item->SetSelected(true);
    SetItemFocused(Item);
  }
}

int TListView::SelCount() const {
  int n = 0;
  for (auto& i : items_.items_)
    if (i->selected_) ++n;
  return n;
}

void TListView::DeleteSelected() {
  items_.BeginUpdate();
  const TScopeExit endUpdate([this] { items_.EndUpdate(); });
  for (int i = items_.Count() - 1; i >= 0; --i)
    if (items_.Item(i)->Selected()) items_.Delete(i);
}

void TListView::SetItemFocused(TListItem* Item) {
  TListItem* old = focused_;
  focused_ = Item;
  if (old) old->Update();
  if (Item) Item->Update();
}

int TListView::ItemIndex() const {
  TListItem* s = Selected();
  return s ? s->Index() : -1;
}

void TListView::SetItemIndex(int Value) {
  SetSelected(Value >= 0 && Value < items_.Count() ? items_.Item(Value) : nullptr);
}

void TListView::ClearSelection() {
  for (auto& i : items_.items_)
    if (i->selected_) {
      i->selected_ = false;
      ItemSelectionChanged(i.get(), false);
    }
}

void TListView::SelectAll() {
  if (!multiSelect_) return;
  for (auto& i : items_.items_)
    if (!i->selected_) {
      i->selected_ = true;
      ItemSelectionChanged(i.get(), true);
    }
}

TListItem* TListView::GetItemAt(int X, int Y) {
  if (Y < HeaderHeight() || X < 0) return nullptr;
  int row = topRow_ + (Y - HeaderHeight()) / RowHeight();
  if (row >= items_.Count()) return nullptr;
  if (!rowSelect_) {
    std::vector<int> widths = ColumnWidths();
    if (!widths.empty() && X >= widths[0]) return nullptr;
  }
  return items_.Item(row);
}

TListItem* TListView::GetNextItem(TListItem* StartItem, bool Forward, bool SelectedOnly) {
  int n = items_.Count();
  int i = StartItem ? StartItem->Index() : (Forward ? -1 : n);
  for (i += Forward ? 1 : -1; i >= 0 && i < n; i += Forward ? 1 : -1)
    if (!SelectedOnly || items_.Item(i)->selected_) return items_.Item(i);
  return nullptr;
}

void TListView::Scroll(int, int DY) {
  int rows = DY / std::max(1, RowHeight());
  topRow_ = std::clamp(topRow_ + rows, 0, std::max(0, items_.Count() - VisibleRowCount()));
  UpdateScrollBar();
  Invalidate();
}

void TListView::MakeRowVisible(int Row) {
  int visible = VisibleRowCount();
  if (Row < topRow_)
    topRow_ = Row;
  else if (Row >= topRow_ + visible)
    topRow_ = Row - visible + 1;
  else
    return;
  UpdateScrollBar();
  Invalidate();
}

std::vector<int> TListView::ColumnWidths() {
  std::vector<int> widths;
  int fixed = 0, autos = 0;
  for (int i = 0; i < columns_.Count(); ++i) {
    TListColumn* c = columns_.Items(i);
    widths.push_back(c->Width());
    if (c->AutoSize())
      ++autos;
    else
      fixed += c->Width();
  }
  // auto-sized columns share the width the others leave
  if (autos > 0) {
    int share = std::max(0, ClientWidth() - fixed) / autos;
    for (int i = 0; i < columns_.Count(); ++i)
      if (columns_.Items(i)->AutoSize())
        widths[static_cast<std::size_t>(i)] = std::max(columns_.Items(i)->MinWidth(), share);
  }
  return widths;
}

void TListView::DrawItem(TListItem* Item, int, TRect Rect) {
  TCanvas* c = Canvas();
  std::vector<int> widths = ColumnWidths();
  bool showSel = Item->selected_ && (Focused() || !hideSelection_);
  TColor selBack = Focused() ? clHighlight : clBtnFace;
  TColor selText = Focused() ? clHighlightText : clBtnText;
  c->Brush()->SetColor(Color());
  c->FillRect(Rect);
  int x = -scrollX_;
  static constexpr UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  for (std::size_t col = 0; col < std::max<std::size_t>(1, widths.size()); ++col) {
    int w = widths.empty() ? Rect.Width() : widths[col];
    TRect cell = ::Rect(x, Rect.Top, x + w, Rect.Bottom);
    int textLeft = cell.Left + kCellPadding;
    if (col == 0 && smallImages_ && Item->imageIndex_ >= 0) {
      smallImages_->Draw(c, textLeft - 2, cell.Top + (cell.Height() - smallImages_->Height()) / 2,
                         Item->imageIndex_, Enabled());
      textLeft += smallImages_->Width() + 2;
    }
    std::string text = col == 0 ? Item->caption_
                                : (static_cast<int>(col) - 1 < Item->subItems_->Count()
                                       ? Item->subItems_->Strings(static_cast<int>(col) - 1)
                                       : std::string());
    TRect textRect = ::Rect(textLeft, cell.Top, cell.Right - kCellPadding, cell.Bottom);
    bool highlighted = showSel && (rowSelect_ || col == 0);
    if (highlighted) {
      c->Brush()->SetColor(selBack);
      TRect back = rowSelect_ ? ::Rect(cell.Left, cell.Top, cell.Right, cell.Bottom)
                              : ::Rect(textLeft - 2, cell.Top,
                                       std::min(cell.Right, textLeft + c->TextWidth(text) + 2), cell.Bottom);
      c->FillRect(back);
    }
    c->Font()->SetColor(highlighted ? selText : (Enabled() ? Font()->Color() : clGrayText));
    SetBkMode(c->Handle(), TRANSPARENT);
    RECT tr = textRect;
    DrawText(c->Handle(), text, tr,
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DrawTextBiDiModeFlagsReadingOnly() |
                 kAlign[columns_.Count() ? columns_.Items(static_cast<int>(col))->Alignment() : 0]);
    x += w;
  }
  if (gridLines_) {
    c->Pen()->SetColor(clBtnFace);
    c->MoveTo(Rect.Left, Rect.Bottom - 1);
    c->LineTo(Rect.Right, Rect.Bottom - 1);
  }
  if (Item == focused_ && Focused()) {
    TRect f = rowSelect_ ? Rect : ::Rect(0, Rect.Top, widths.empty() ? Rect.Right : widths[0], Rect.Bottom);
    c->DrawFocusRect(f);
  }
}

void TListView::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  TRect client = ClientRect();
  const TRect shown = c->ClipRect();  // what is being painted: the rest is left alone
  int header = HeaderHeight();
  if (showColumnHeaders_ && shown.Top < header) {
    std::vector<int> widths = ColumnWidths();
    int x = -scrollX_;
    for (int i = 0; i < columns_.Count(); ++i) {
      RECT r = Rect(x, 0, x + widths[static_cast<std::size_t>(i)], header);
      DrawFrameControl(c->Handle(), r, DFC_BUTTON, DFCS_BUTTONPUSH);
      TRect text = Rect(x + kCellPadding, 0, x + widths[static_cast<std::size_t>(i)] - kCellPadding, header);
      c->Font()->SetColor(clBtnText);
      DrawControlCaption(c, columns_.Items(i)->Caption(), text,
                         DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS, true);
      x += widths[static_cast<std::size_t>(i)];
    }
    if (x < client.Right) {
      RECT rest = Rect(x, 0, client.Right, header);
      DrawFrameControl(c->Handle(), rest, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
  }
  int rowHeight = RowHeight();
  int last = std::min(items_.Count(), topRow_ + VisibleRowCount() + 1);
  for (int row = topRow_; row < last; ++row) {
    int top = header + (row - topRow_) * rowHeight;
    if (top + rowHeight <= shown.Top || top >= shown.Bottom) continue;
    DrawItem(items_.Item(row), row, Rect(client.Left, top, client.Right, top + rowHeight));
  }
  int below = header + (last - topRow_) * rowHeight;
  if (below < client.Bottom) {
    c->Brush()->SetColor(Color());
    c->FillRect(Rect(client.Left, below, client.Right, client.Bottom));
  }
}

void TListView::MoveFocusTo(int Row, TShiftState Shift) {
  int n = items_.Count();
  if (n == 0) return;
  Row = std::clamp(Row, 0, n - 1);
  TListItem* item = items_.Item(Row);
  if (multiSelect_ && Shift.Contains(ssShift)) {
    if (anchor_ < 0) anchor_ = focused_ ? focused_->Index() : Row;
    int lo = std::min(anchor_, Row), hi = std::max(anchor_, Row);
    for (int i = 0; i < n; ++i) {
      bool want = i >= lo && i <= hi;
      TListItem* it = items_.Item(i);
      if (it->selected_ != want) {
        it->selected_ = want;
        ItemSelectionChanged(it, want);
      }
    }
  } else if (multiSelect_ && Shift.Contains(ssCtrl)) {
    anchor_ = Row;
  } else {
    anchor_ = Row;
    for (auto& i : items_.items_)
      if (i.get() != item && i->selected_) {
        i->selected_ = false;
        ItemSelectionChanged(i.get(), false);
      }
    if (!item->selected_) {
      item->selected_ = true;
      ItemSelectionChanged(item, true);
    }
  }
  SetItemFocused(item);
  MakeRowVisible(Row);
}

void TListView::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  int current = focused_ ? focused_->Index() : -1;
  int page = std::max(1, VisibleRowCount() - 1);
  switch (Key) {
    case VK_UP:
      MoveFocusTo(current - 1, Shift);
      break;
    case VK_DOWN:
      MoveFocusTo(current + 1, Shift);
      break;
    case VK_PRIOR:
      MoveFocusTo(current - page, Shift);
      break;
    case VK_NEXT:
      MoveFocusTo(current + page, Shift);
      break;
    case VK_HOME:
      MoveFocusTo(0, Shift);
      break;
    case VK_END:
      MoveFocusTo(items_.Count() - 1, Shift);
      break;
    case VK_SPACE:
      if (focused_ && multiSelect_ && Shift.Contains(ssCtrl)) focused_->SetSelected(!focused_->selected_);
      break;
    case 'A':
      if (Shift.Contains(ssCtrl))
        SelectAll();
      else
        return;
      break;
    default:
      return;
  }
  Key = 0;
}

void TListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (CanFocus() && !Focused()) SetFocus();
  if (Y < HeaderHeight()) {
    // a click on a header tells which column
    std::vector<int> widths = ColumnWidths();
    int x = -scrollX_;
    for (std::size_t i = 0; i < widths.size(); ++i) {
      if (X >= x && X < x + widths[i] && columnClick_ && Button == mbLeft && OnColumnClick)
        InvokeEvent(OnColumnClick, this, columns_.Items(static_cast<int>(i)));
      x += widths[i];
    }
  } else if (Button == mbLeft || Button == mbRight) {
    TListItem* item = GetItemAt(X, Y);
    if (item) {
      if (multiSelect_ && Shift.Contains(ssCtrl) && Button == mbLeft) {
        item->SetSelected(!item->selected_);
        anchor_ = item->Index();
        SetItemFocused(item);
      } else if (!(Button == mbRight && item->selected_)) {
        MoveFocusTo(item->Index(), Shift);
      }
    } else if (Button == mbLeft && !Shift.Contains(ssCtrl)) {
      ClearSelection();
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

bool TListView::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  Scroll(0, -WheelDelta / WHEEL_DELTA * 3 * RowHeight());
  return true;
}

void TListView::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_SIZE:
      TCustomControl::Dispatch(m);
      ItemsChanged(true);
      return;
    case WM_VSCROLL: {
      topRow_ = talvik::gui::detail::ScrollBarTarget(Handle(), SB_VERT, m.WParam, topRow_, VisibleRowCount(),
                                                     items_.Count());
      UpdateScrollBar();
      Invalidate();
      return;
    }
    default:
      TCustomControl::Dispatch(m);
  }
}
