// The filter row's editor and the grid's side of it: showing it over a filter cell, storing its text
// into the column's filter, its keys, the press on a filter cell and the grid as its holder.
#include "grid/DBGridExFilterEdit.h"

#include <algorithm>
#include <cassert>

#include "grid/DBGridEx.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------- TInplaceFilterEditEx

void TInplaceFilterEditEx::SelectAllText() {
  if (HandleAllocated()) SendMessage(Handle(), EM_SETSEL, 0, -1);
}

void TInplaceFilterEditEx::SetValueAndText(const TVariant& AValue, const std::string& AText) {
  SetValue(AValue);
  ShowText(AText);
}

void TInplaceFilterEditEx::CreateWnd() {
  TCustomDBLookupComboboxEx::CreateWnd();
  // the window comes back shown with the editor: only over a filter cell the grid still edits (its
  // column may have hidden meanwhile)
  auto* grid = dynamic_cast<TCustomDBGridEx*>(InplaceEditHolder());
  if (grid && TCustomMaskEdit::Visible() && !grid->FilterEditorMayShow()) SetVisible(false);
}

TRect TInplaceFilterEditEx::GetEditRect() {
  TRect r = TCustomDBLookupComboboxEx::GetEditRect();
  OffsetRect(r, 0, 1);
  return r;
}

// ---------------------------------------------------------------- the grid's filter editor

namespace {

constexpr TColor kFilterEditTextColor = clBlue;

}  // namespace

TInplaceFilterEditEx* TCustomDBGridEx::CreateFilterEditor() {
  return new TInplaceFilterEditEx(this);
}

bool TCustomDBGridEx::CanEditFilter() const {
  // the editor takes no key for a filter cell the user no longer sees, wherever it stands meanwhile
  return filterEditing_ && Selection()->SelectionType() == gstNon && ColumnTakesFilter(filterColumn_);
}

bool TCustomDBGridEx::FilterEditorMayShow() const {
  return filterEditorShown_ && CanEditFilter();
}

bool TCustomDBGridEx::FocusEditedFilterCell() {
  if (!filterEditor_ || !FilterEditorMayShow()) return false;
  // (an editor hidden while its cell is out of view takes the keys through the grid, which keeps the
  // focus meanwhile)
  if (filterEditor_->Visible() && !filterEditor_->Focused() && filterEditor_->CanFocus())
    filterEditor_->SetFocus();
  return true;
}

void TCustomDBGridEx::ShowFilterEditor(int DataCol) {
  if (!FilterRowShown() || !ColumnTakesFilter(DataCol)) return;
  TDataSet* ds = dataLink_->Active() ? dataLink_->DataSet() : nullptr;
  if (ds) ds->CheckBrowseMode();
  if (!filterEditor_) {
    filterEditor_ = CreateFilterEditor();
    filterEditor_->SetVisible(false);
    filterEditor_->SetParent(this);
    filterEditor_->SetInplaceEditHolder(this);
    filterEditor_->SetBorderStyle(bsNone);
    filterEditor_->SetAutoSize(false);
    filterEditor_->Font()->Assign(Font());
    filterEditor_->Font()->SetColor(kFilterEditTextColor);
    filterEditor_->SetColor(LightenColor(FixedColor(), 8));
    filterEditor_->SetFlat(flat_);
    // the focus coming back (after a press on the titles, say) leaves the caret where the user left
    // it: a cell placed anew has its text selected by the grid
    filterEditor_->SetAutoSelect(false);
    filterEditor_->OnKeyValueChanged = [this](TObject*) { InvalidateFilterCell(filterColumn_); };
    filterEditor_->OnCloseUp = [this](TObject*, bool) { StoreFilterText(); };
  }
  const int old = filterColumn_;
  if (old != DataCol && filterEditorShown_) StoreFilterText();
  const bool another = old != DataCol || !filterEditorShown_;
  filterColumn_ = DataCol;
  filterEdited_ = DataCol >= 0 && DataCol < columns_->Count() ? columns_->Items(DataCol) : nullptr;
  // the editor takes this cell's text at once, even where it cannot show yet: what it held belongs to
  // the cell it edited before (or to one whose editing was dropped with its column), and the editing's
  // end would store it into this one
  if (another) LoadFilterEditor();
  filterEditorShown_ = true;
  filterEditing_ = true;
  HideEditor();
  {
    BeginUpdateLayout();
    const bool running = layoutRunning_;
    layoutRunning_ = true;
    TScopeExit done([this, running] {
      layoutRunning_ = running;
      EndUpdateLayout();
    });
    const int raw = DataToRawColumn(DataCol);
    if (options_.Contains(dgRowSelect)) {
      if (raw < LeftCol() || raw >= LeftCol() + VisibleColCount()) SetLeftCol(std::max(FixedCols(), raw));
    } else if (raw != Col()) {
      SetCol(raw);
    }
    InvalidateFilterCell(DataCol);
    if (old >= 0 && old != DataCol) InvalidateFilterCell(old);
  }
  PlaceFilterEditor();
}

void TCustomDBGridEx::HideFilterEditor() {
  if (stFilter_->UpdateCount() > 0 || !filterEditor_) {
    filterEditing_ = false;
    filterEditorShown_ = false;
    return;
  }
  const bool hadFocus = filterEditor_->HandleAllocated() && GetFocus() == filterEditor_->Handle();
  if (filterEditorShown_) StoreFilterText();
  // the editing ends before the editor hides: the focus it hands back to the grid would place it again
  filterEditorShown_ = false;
  filterEditing_ = false;
  filterEditor_->InplaceHide();
  if (hadFocus && CanFocus()) SetFocus();
  if (filterColumn_ >= 0) InvalidateFilterCell(filterColumn_);
}

void TCustomDBGridEx::DropFilterEditing() {
  const bool hadFocus =
      filterEditor_ && filterEditor_->HandleAllocated() && GetFocus() == filterEditor_->Handle();
  // the editing ends before the editor hides: the focus it hands back to the grid would place it again
  filterEditorShown_ = false;
  filterEditing_ = false;
  if (filterEditor_) filterEditor_->InplaceHide();
  if (hadFocus && CanFocus()) SetFocus();
  if (filterColumn_ >= 0) InvalidateFilterCell(filterColumn_);
}

void TCustomDBGridEx::InvalidateFilterCell(int DataCol) {
  if (!HandleAllocated() || !FilterRowShown() || DataCol < 0) return;
  const int row = (TitlesShown() ? 1 : 0);
  InvalidateCell(DataToRawColumn(DataCol), row);
}

TRect TCustomDBGridEx::FilterCellRect(int DataCol) {
  const int row = TitlesShown() ? 1 : 0;
  TRect r = CellRect(DataToRawColumn(DataCol), row);
  if (!r.IsEmpty()) r.Left += 1;
  return r;
}

void TCustomDBGridEx::SetRawColWidth(int RawCol, int Width) {
  SetColWidths(RawCol, Width);
  if (filterEditorShown_ && !layoutRunning_ && HandleAllocated()) PlaceFilterEditor(true);
}

void TCustomDBGridEx::PlaceFilterEditor(bool KeepText) {
  if (!filterEditor_ || stFilter_->UpdateCount() > 0) return;
  // the grid's window first (the editor's needs it): making it lays the grid out, which may end the
  // editing
  if (!HandleAllocated() && Parent()) HandleNeeded();
  if (!FilterEditorMayShow()) {
    filterEditor_->InplaceHide();
    return;
  }
  // the editor keeps the text it holds, the edited cell's since its editing began: what the user
  // typed stays there until it is applied or the editing ends
  TInplaceFilterEditEx* editor = filterEditor_;
  const TRect r = FilterCellRect(filterColumn_);
  const bool shown = editor->Visible();
  editor->InplaceMove(r);
  if (KeepText && shown) return;  // only the place changes; the caret stays where the user left it
  // the text is selected even in a cell with no room, where typing reaches the editor through the
  // grid: what is typed replaces the text instead of going into it
  if (!KeepText) editor->SelectAllText();
  if (!r.IsEmpty() && editor->CanFocus() && (ContainsFocus() || Focused())) editor->SetFocus();
}

void TCustomDBGridEx::LoadFilterEditor() {
  assert(filterEditor_ && filterColumn_ >= 0 && filterColumn_ < columns_->Count());
  // the editor shows the text it held (the cell it edited before) while its style and list change:
  // that text is not this cell's
  assert(!loadingFilterEditor_);
  loadingFilterEditor_ = true;
  TScopeExit loaded([this] { loadingFilterEditor_ = false; });
  TInplaceFilterEditEx* editor = filterEditor_;
  TSTColumnFilterEx* filter = columns_->Items(filterColumn_)->STFilter();
  const std::string text = filter->GetFilterText();
  loadedFilter_ = {columns_->Items(filterColumn_)->ID(), filter->Expression(), filter->FilterText(), text};
  if (filter->ListSource()) {
    const std::string key = filter->KeyField().empty() ? filter->ListField() : filter->KeyField();
    editor->SetStyle(filter->KeyField().empty() ? csDropDownListEx : csDropDownEx);
    editor->SetListSource(filter->ListSource());
    editor->SetKeyField(key);
    editor->SetListField(filter->ListField());
    editor->EditButton()->SetVisible(true);
    editor->SetValueAndText(filter->KeyValue().IsEmpty() ? Null() : filter->KeyValue(), text);
  } else {
    editor->SetStyle(csDropDownEx);
    editor->SetListSource(nullptr);
    editor->SetKeyField("");
    editor->SetListField("");
    editor->EditButton()->SetVisible(false);
    // the text is its own value: the control shows its value's text again whenever the focus comes
    // or goes
    editor->SetValueAndText(text.empty() ? Null() : TVariant(text), text);
  }
}

void TCustomDBGridEx::StoreFilterText() {
  if (!filterEditor_ || filterColumn_ < 0 || filterColumn_ >= columns_->Count()) return;
  TSTColumnFilterEx* filter = columns_->Items(filterColumn_)->STFilter();
  const std::string text = filterEditor_->Text();
  if (filter->ListSource()) {
    const TVariant key = filterEditor_->KeyValue();
    if (text.empty() || key.IsNull())
      filter->SetValue(text, TVariant());
    else
      filter->SetValue(text, key);
  } else if (!text.empty() && (text == filter->FilterText() || text == filter->GetFilterText())) {
    // the filter holds the text already, as it was typed or as it reads: read again, it would be read
    // by the field the column shows now, which it may not have been typed for
  } else if (!text.empty() && text == loadedFilter_.Shown &&
             loadedFilter_.Column == columns_->Items(filterColumn_)->ID()) {
    // the text the cell showed when its editing began, back (Esc): the filter as it was then
    filter->Restore(loadedFilter_.Expression, loadedFilter_.FilterText);
  } else if (text != filter->GetFilterText() || (text.empty() && !filter->FilterText().empty())) {
    // (a filter with no kind of value, a column's without a field, writes no expression back: an
    // emptied cell clears the text it holds)
    filter->SetFilterText(text);
  }
  InvalidateFilterCell(filterColumn_);
}

int TCustomDBGridEx::NextFilterColumn(int From, int Step) const {
  const int count = columns_->Count();
  if (count == 0) return -1;
  int c = From;
  for (int n = 0; n < count; ++n) {
    c = (c + Step + count) % count;
    if (ColumnTakesFilter(c)) return c;
  }
  return -1;
}

int TCustomDBGridEx::EdgeFilterColumn(bool Last) const {
  const int count = columns_->Count();
  for (int n = 0; n < count; ++n) {
    const int c = Last ? count - 1 - n : n;
    if (ColumnTakesFilter(c)) return c;
  }
  return -1;
}

void TCustomDBGridEx::ApplyFilterFromRow() {
  StoreFilterText();
  const int leftCol = LeftCol();
  if (OnApplyFilter) {
    InvokeEvent(OnApplyFilter, this);
  } else {
    ApplyFilter();
  }
  if (leftCol < ColCount()) SetLeftCol(std::max(FixedCols(), leftCol));
  // the cell shows the filter as it reads now
  if (FilterEditorMayShow()) LoadFilterEditor();
  PlaceFilterEditor();
  if (sumList_->Active()) sumList_->RecalcAll();
  Invalidate();
}

// ---- IInplaceEditHolderEx

bool TCustomDBGridEx::CanEdit(TControl* Editor) {
  return Editor == filterEditor_ ? CanEditFilter() : !readOnly_;
}

void TCustomDBGridEx::GetMouseDownInfo(TPoint& Pos, std::uint64_t& Time) {
  Pos = lastDownScreen_;
  Time = lastDownTime_;
}

void TCustomDBGridEx::InplaceEditWndProc(TControl* /*Editor*/, TMessage& /*Message*/) {}

void TCustomDBGridEx::InplaceEditKeyDown(TControl* Editor, WORD& Key, TShiftState Shift) {
  if (Editor != filterEditor_ || !filterEditor_) return;
  TInplaceFilterEditEx* editor = filterEditor_;
  const bool ctrl = Shift.Contains(ssCtrl);
  const bool plain = !ctrl && !Shift.Contains(ssShift) && !Shift.Contains(ssAlt);
  const int length = Utf8Length(editor->Text());
  const bool atStart = editor->SelStart() == 0 && editor->SelLength() == 0;
  const bool atEnd = editor->SelStart() >= length && editor->SelLength() == 0;
  auto moveTo = [&](int DataCol) {
    if (DataCol >= 0) ShowFilterEditor(DataCol);
    Key = 0;
  };
  if (editor->DroppedDown()) return;  // the open list takes its keys
  switch (Key) {
    case VK_RETURN:
      if (plain) {
        Key = 0;
        ApplyFilterFromRow();
      }
      return;
    case VK_LEFT:
      if (ctrl || atStart || (editor->SelStart() == 0 && editor->SelLength() == length))
        moveTo(NextFilterColumn(filterColumn_, -1));
      return;
    case VK_RIGHT:
      if (ctrl || atEnd || (editor->SelStart() == 0 && editor->SelLength() == length))
        moveTo(NextFilterColumn(filterColumn_, 1));
      return;
    case VK_HOME:
      if (ctrl || atStart) moveTo(EdgeFilterColumn(false));
      return;
    case VK_END:
      if (ctrl || atEnd) moveTo(EdgeFilterColumn(true));
      return;
    case VK_TAB:
      if (options_.Contains(dgTabs))
        moveTo(NextFilterColumn(filterColumn_, Shift.Contains(ssShift) ? -1 : 1));
      return;
    case VK_UP:
      if (plain) Key = 0;
      return;
    case VK_DOWN:
      if (plain || (ctrl && !Shift.Contains(ssShift) && !Shift.Contains(ssAlt))) {
        StoreFilterText();
        if (plain && dataLink_->Active()) dataLink_->MoveBy(-dataLink_->ActiveRecord());
        HideFilterEditor();
        if (CanFocus()) SetFocus();
        Key = 0;
      }
      return;
    case VK_F2:
      editor->SetSelStart(length);
      editor->SetSelLength(0);
      Key = 0;
      return;
    default:
      return;
  }
}

void TCustomDBGridEx::InplaceEditKeyPress(TControl* /*Editor*/, char32_t& /*Key*/) {}

void TCustomDBGridEx::InplaceEditKeyUp(TControl* /*Editor*/, WORD& /*Key*/, TShiftState /*Shift*/) {}

// ---- the grid's keys and presses into the filter row

bool TCustomDBGridEx::KeyUpIntoFilterRow(WORD Key, TShiftState Shift) {
  if (Key != VK_UP || !FilterRowShown() || !dataLink_->Active()) return false;
  if (!dataLink_->DataSet()->Bof() && !Shift.Contains(ssCtrl)) return false;
  int col = GetSelectedIndex();
  if (options_.Contains(dgRowSelect)) {
    col = filterColumn_ >= 0 ? filterColumn_ : std::max(0, RawToDataColumn(LeftCol()));
    if (!ColumnTakesFilter(col)) col = NextFilterColumn(col, 1);
  }
  if (col < 0 || !ColumnTakesFilter(col)) return false;
  ShowFilterEditor(col);
  return true;
}

bool TCustomDBGridEx::PressOnFilterCell(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!FilterRowShown()) return false;
  const int x = GET_X_LPARAM(LParam), y = GET_Y_LPARAM(LParam);
  const TGridCoord cell = MouseCoord(x, y);
  if (cell.X < 0 || cell.Y < 0) return false;
  const TCellTypeEx type = GetCellType(cell.X, cell.Y);
  if (type.RowArea != kAreaFilter || type.ColArea != kAreaData || !ColumnTakesFilter(type.DataCol))
    return false;
  if (!Focused() && CanFocus()) SetFocus();
  lastDownScreen_ = ClientToScreen(TPoint(x, y));
  lastDownTime_ = talvik::gui::Ticks();
  ShowFilterEditor(type.DataCol);
  if (filterEditor_ && filterEditor_->HandleAllocated() && IsWindowVisible(filterEditor_->Handle())) {
    const TPoint at = filterEditor_->ScreenToClient(ClientToScreen(TPoint(x, y)));
    filterEditor_->Perform(Msg, WParam, MAKELPARAM(at.X, at.Y));
  }
  return true;
}
