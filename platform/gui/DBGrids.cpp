// The plain data grid: columns, the data link, rows that follow the window, keys and mouse that move
// the dataset, and editing through the in-place editor.
#include "platform/gui/DBGrids.h"

#include <algorithm>
#include <cassert>

#include "platform/gui/Dialogs.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kCellMargin = 2;
constexpr int kIndicatorWidth = 11;
constexpr int kDefaultColumnWidth = 64;
const char* const kDeleteRecordQuestion = "Delete record?";

}  // namespace

std::function<bool(const std::string& Text)> TCustomDBGrid::ConfirmDelete = [](const std::string& Text) {
  return MessageDlg(Text, mtConfirmation, {mbOK, mbCancel}, 0) == mrOk;
};

// ---------------------------------------------------------------- TColumnTitle

std::string TColumnTitle::Caption() const {
  if (captionAssigned_) return caption_;
  if (TField* f = column_->Field()) return f->DisplayLabel();
  return column_->FieldName();
}

void TColumnTitle::SetCaption(const std::string& Value) {
  caption_ = Value;
  captionAssigned_ = true;
  if (TCustomDBGrid* g = column_->Grid()) g->InvalidateRow(0);
}

void TColumnTitle::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  if (TCustomDBGrid* g = column_->Grid()) g->InvalidateRow(0);
}

void TColumnTitle::Assign(TPersistent* Source) {
  if (auto* t = dynamic_cast<TColumnTitle*>(Source)) {
    caption_ = t->caption_;
    captionAssigned_ = t->captionAssigned_;
    alignment_ = t->alignment_;
    return;
  }
  TPersistent::Assign(Source);
}

// ---------------------------------------------------------------- TColumn

TColumn::TColumn(TCollection* Collection)
    : TCollectionItem(Collection), title_(std::make_unique<TColumnTitle>(this)) {}

TColumn::~TColumn() = default;

TCustomDBGrid* TColumn::Grid() const {
  auto* columns = dynamic_cast<TDBGridColumns*>(Collection());
  return columns ? columns->Grid() : nullptr;
}

TField* TColumn::Field() const {
  TCustomDBGrid* g = Grid();
  if (!g || fieldName_.empty()) return nullptr;
  TDataSet* ds = g->DataLink()->DataSet();
  if (!ds || !ds->Active() || !g->DataLink()->Active()) return nullptr;
  if (fieldGeneration_ != g->fieldGeneration_) {
    field_ = ds->FindField(fieldName_);
    fieldGeneration_ = g->fieldGeneration_;
  }
  return field_;
}

void TColumn::SetFieldName(const std::string& Value) {
  if (Value == fieldName_) return;
  fieldName_ = Value;
  fieldGeneration_ = -1;
  Changed(false);
}

int TColumn::Width() const {
  if (widthAssigned_) return width_;
  TCustomDBGrid* g = Grid();
  TField* f = Field();
  if (!g || !f) return kDefaultColumnWidth;
  // as many average characters as the field's display width, and no narrower than the title
  TFont* font = g->Font();
  int digit = TextExtentOf(font, "0").cx;
  int data = digit * f->DisplayWidth() + 4;
  int title = TextExtentOf(font, title_->Caption()).cx + 4;
  return std::max(data, title);
}

void TColumn::SetWidth(int Value) {
  if (widthAssigned_ && Value == width_) return;
  width_ = Value;
  widthAssigned_ = true;
  Changed(false);
}

TAlignment TColumn::Alignment() const {
  if (alignmentAssigned_) return alignment_;
  if (TField* f = Field()) return f->Alignment();
  return taLeftJustify;
}

void TColumn::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  alignmentAssigned_ = true;
  Changed(false);
}

void TColumn::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  Changed(false);
}

void TColumn::SetReadOnly(bool Value) {
  readOnly_ = Value;
  Changed(false);
}

void TColumn::Assign(TPersistent* Source) {
  if (auto* c = dynamic_cast<TColumn*>(Source)) {
    fieldName_ = c->fieldName_;
    title_->Assign(c->title_.get());
    width_ = c->width_;
    widthAssigned_ = c->widthAssigned_;
    alignment_ = c->alignment_;
    alignmentAssigned_ = c->alignmentAssigned_;
    visible_ = c->visible_;
    readOnly_ = c->readOnly_;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(Source);
}

std::string TColumn::GetDisplayName() const {
  return fieldName_.empty() ? TCollectionItem::GetDisplayName() : fieldName_;
}

// ---------------------------------------------------------------- TDBGridColumns

TDBGridColumns::TDBGridColumns(TCustomDBGrid* Grid)
    : TCollection(&CollectionItemClass<TColumn>), grid_(Grid) {}

TPersistent* TDBGridColumns::GetOwner() const {
  return grid_;
}

TColumn* TDBGridColumns::Add() {
  // a column the program adds makes the columns its own
  if (internal_ == 0) state_ = csCustomized;
  return static_cast<TColumn*>(TCollection::Add());
}

void TDBGridColumns::SetState(TDBGridColumnsState Value) {
  if (Value == state_) return;
  state_ = Value;
  if (Value == csDefault) {
    ++internal_;
    TScopeExit done([this] { --internal_; });
    Clear();
    grid_->LayoutChanged();
  }
}

void TDBGridColumns::RebuildColumns() {
  ++internal_;
  TScopeExit done([this] { --internal_; });
  BeginUpdate();
  TScopeExit ended([this] { EndUpdate(); });
  Clear();
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds || !ds->Active()) return;
  for (int i = 0; i < ds->FieldCount(); ++i) {
    TField* f = ds->Fields()->Fields(i);
    if (!f->Visible()) continue;
    Add()->SetFieldName(f->FieldName());
  }
}

void TDBGridColumns::Update(TCollectionItem*) {
  if (grid_ && internal_ == 0) grid_->ColumnsLayout();
}

// ---------------------------------------------------------------- TGridDataLink

void TGridDataLink::Reset() {
  if (modified_) {
    modified_ = false;
    RecordChanged(nullptr);
  } else if (DataSet() && (DataSet()->State() == dsEdit || DataSet()->State() == dsInsert)) {
    DataSet()->Cancel();
  }
}

void TGridDataLink::ActiveChanged() {
  modified_ = false;
  grid_->LinkActive(Active());
}

void TGridDataLink::DataSetChanged() {
  modified_ = false;
  grid_->DataChanged();
}

void TGridDataLink::DataSetScrolled(int Distance) {
  grid_->Scroll(Distance);
}

void TGridDataLink::EditingChanged() {
  grid_->EditingChanged();
}

void TGridDataLink::FocusControl(TField** Field) {
  if (!Field || !*Field) return;
  for (int i = 0; i < grid_->Columns()->Count(); ++i) {
    TColumn* c = grid_->Columns()->Items(i);
    if (c->Visible() && c->Field() == *Field) {
      grid_->SetSelectedIndex(i);
      if (grid_->AcquireFocus()) *Field = nullptr;
      return;
    }
  }
}

void TGridDataLink::LayoutChanged() {
  grid_->LayoutChanged();
  TDataLink::LayoutChanged();
}

void TGridDataLink::RecordChanged(TField* Field) {
  grid_->RecordChanged(Field);
  modified_ = false;
}

void TGridDataLink::UpdateData() {
  if (inUpdateData_) return;
  inUpdateData_ = true;
  TScopeExit done([this] { inUpdateData_ = false; });
  if (modified_) grid_->UpdateData();
  modified_ = false;
}

// ---------------------------------------------------------------- TCustomDBGrid

TCustomDBGrid::TCustomDBGrid(TComponent* AOwner)
    : TCustomGrid(AOwner),
      columns_(std::make_unique<TDBGridColumns>(this)),
      dataLink_(std::make_unique<TGridDataLink>(this)) {
  keepRowPictures_ = true;
  SetScrollBars(ssHorizontal);
  SetVirtualView(true);
  SetSaveCellExtents(false);
  TCustomGrid::SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goColMoving,
                           goEditing, goTabs});
  SetDesignOptionsBoost({goColSizing});
  TDBGridOptions options = dbOptions_;
  dbOptions_ = {};
  SetOptions(options);
  FontChanged();
}

TCustomDBGrid::~TCustomDBGrid() {
  dataLink_->SetDataSource(nullptr);
}

void TCustomDBGrid::SetDataSource(TDataSource* Value) {
  if (Value == dataLink_->DataSource()) return;
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  dataLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  LinkActive(dataLink_->Active());
}

void TCustomDBGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGrid::Notification(AComponent, Operation);
  if (Operation == opRemove && dataLink_ && AComponent == dataLink_->DataSource()) SetDataSource(nullptr);
}

void TCustomDBGrid::SetOptions(TDBGridOptions Value) {
  // row selection leaves no cell to edit
  if (Value.Contains(dgRowSelect)) {
    Value.Exclude(dgEditing);
    Value.Exclude(dgAlwaysShowEditor);
  }
  if (Value == dbOptions_) return;
  TGridOptions base;
  if (Value.Contains(dgColLines)) base += TGridOptions{goFixedVertLine, goVertLine};
  if (Value.Contains(dgRowLines)) base += TGridOptions{goFixedHorzLine, goHorzLine};
  if (Value.Contains(dgColumnResize)) base += TGridOptions{goColSizing, goColMoving};
  if (Value.Contains(dgTabs)) base.Include(goTabs);
  if (Value.Contains(dgEditing)) base.Include(goEditing);
  if (Value.Contains(dgAlwaysShowEditor)) base.Include(goAlwaysShowEditor);
  if (Value.Contains(dgRowSelect)) base.Include(goRowSelect);
  dbOptions_ = Value;
  TCustomGrid::SetOptions(base);
  LayoutChanged();
}

void TCustomDBGrid::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  if (Value) HideEditor();
}

TColumn* TCustomDBGrid::ColumnAt(int RawCol) const {
  int data = RawToDataColumn(RawCol);
  return data >= 0 && data < columns_->Count() ? columns_->Items(data) : nullptr;
}

int TCustomDBGrid::SelectedIndex() const {
  return RawToDataColumn(Col());
}

void TCustomDBGrid::SetSelectedIndex(int Value) {
  int raw = DataToRawColumn(Value);
  if (raw >= FixedCols() && raw < ColCount()) SetCol(raw);
}

TField* TCustomDBGrid::SelectedField() const {
  TColumn* c = ColumnAt(Col());
  return c ? c->Field() : nullptr;
}

TField* TCustomDBGrid::Fields(int Index) const {
  return Index >= 0 && Index < columns_->Count() ? columns_->Items(Index)->Field() : nullptr;
}

bool TCustomDBGrid::AcquireFocus() {
  if (!CanFocus()) return false;
  if (!GridFocused()) SetFocus();
  return GridFocused();
}

bool TCustomDBGrid::EditorVisible() const {
  return InplaceEditor() && const_cast<TInplaceEdit*>(InplaceEditor())->Visible();
}

void TCustomDBGrid::FontChanged() {
  TCustomGrid::FontChanged();
  // a row is a line of text and its margins
  int text = TextExtentOf(Font(), "Wg").cy;
  SetDefaultRowHeight(text + 3);
  LayoutChanged();
}

// ---------------------------------------------------------------- layout

void TCustomDBGrid::LayoutChanged() {
  ++fieldGeneration_;
  if (layoutLock_ > 0) return;
  if (columns_->State() == csDefault) columns_->RebuildColumns();
  ColumnsLayout();
}

void TCustomDBGrid::ColumnsLayout() {
  if (layoutLock_ > 0) return;
  ++layoutLock_;
  TScopeExit done([this] { --layoutLock_; });
  const int indicator = IndicatorOffset();
  const int cols = std::max(1, columns_->Count());
  SetColCount(indicator + cols);
  SetFixedCols(indicator);
  if (indicator) {
    SetColWidths(0, kIndicatorWidth);
    SetTabStops(0, false);
  }
  for (int i = 0; i < cols; ++i) {
    TColumn* c = i < columns_->Count() ? columns_->Items(i) : nullptr;
    int width = c ? (c->Visible() ? c->Width() : -1) : kDefaultColumnWidth;
    SetColWidths(indicator + i, width);
    SetTabStops(indicator + i, c && c->Visible());
  }
  UpdateRowCount();
  if (Col() < FixedCols()) SetCol(FixedCols());
  InvalidateEditor();
  Invalidate();
}

// As many data rows as the window shows whole (at least one); the link buffers that many records.
void TCustomDBGrid::UpdateRowCount() {
  const int title = TitleOffset();
  int rows = 1;
  if (HandleAllocated()) {
    const int line = dbOptions_.Contains(dgRowLines) ? GridLineWidth() : 0;
    const int pitch = DefaultRowHeight() + line;
    const int room = ClientHeight() - title * pitch;
    rows = std::max(1, room / std::max(1, pitch));
  }
  ++syncing_;
  TScopeExit done([this] { --syncing_; });
  if (RowCount() != title + rows) SetRowCount(title + rows);
  SetFixedRows(title);
  if (dataLink_->Active()) dataLink_->SetBufferCount(rows);
  UpdateActive();
}

// Keeps the grid's focused row on the dataset's active record.
void TCustomDBGrid::UpdateActive() {
  if (!dataLink_->Active()) return;
  int row = TitleOffset() + dataLink_->ActiveRecord();
  if (row >= RowCount() || row == Row()) return;
  ++syncing_;
  TScopeExit done([this] { --syncing_; });
  FocusCell(Col(), row, true);
}

void TCustomDBGrid::Resize() {
  TCustomGrid::Resize();
  UpdateRowCount();
  UpdateVertScrollBar();
}

void TCustomDBGrid::CreateWnd() {
  TCustomGrid::CreateWnd();
  UpdateRowCount();
  UpdateVertScrollBar();
}

void TCustomDBGrid::UpdateVertScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  TDataSet* ds = dataLink_->DataSet();
  if (!dataLink_->Active() || !ds) {
    si.nMin = si.nMax = 0;
    si.nPage = 0;
    si.nPos = 0;
  } else if (ds->IsSequenced()) {
    // record numbers: the thumb's position is the current record's
    int page = std::max(1, RowCount() - TitleOffset());
    si.nMin = 1;
    si.nMax = std::max(1, ds->RecordCount() + page - 1);
    si.nPage = static_cast<UINT>(page);
    si.nPos = std::max(1, ds->RecNo());
  } else {
    si.nMin = 0;
    si.nMax = 4;
    si.nPage = 0;
    si.nPos = ds->Bof() ? 0 : (ds->Eof() ? 4 : 2);
  }
  if (ScrollBars() == ssVertical || ScrollBars() == ssBoth) SetScrollInfo(Handle(), SB_VERT, si, true);
}

// ---------------------------------------------------------------- the link's notifications

void TCustomDBGrid::LinkActive(bool Value) {
  ++fieldGeneration_;
  if (!Value) HideEditor();
  LayoutChanged();
  UpdateVertScrollBar();
}

void TCustomDBGrid::DataChanged() {
  if (!HandleAllocated()) return;
  UpdateRowCount();
  UpdateVertScrollBar();
  if (!dataLink_->Modified() && startingEdit_ == 0) InvalidateEditor();
  // records read again: only the rows that show something else are painted
  InvalidateChangedRows();
}

bool TCustomDBGrid::CellPictures(int ARow, const std::vector<bool>& Wanted,
                                 std::vector<std::uint64_t>& Pictures) {
  assert(Wanted.size() == static_cast<std::size_t>(ColCount()));
  if (!dataLink_->Active() || OnDrawColumnCell) return false;
  const int dataRow = ARow - TitleOffset();
  if (dataRow < 0) return false;
  TDataSet* ds = dataLink_->DataSet();
  TRowPictureHash grid;
  AddGridState(grid);
  grid.Add(dbOptions_.Bits());
  grid.Add(ds->State());
  grid.Add(dataRow == dataLink_->ActiveRecord());
  grid.Add(static_cast<std::uint32_t>(Font()->Color()));
  if (dataRow >= dataLink_->RecordCount()) {
    // a row below the last record: its cells show the grid's colour
    Pictures.assign(static_cast<std::size_t>(ColCount()), kUnknownPicture);
    for (int c = 0; c < ColCount(); ++c) {
      if (!Wanted[static_cast<std::size_t>(c)]) continue;
      TRowPictureHash h = grid;
      h.Add(static_cast<std::uint32_t>(c));
      h.Add(c < IndicatorOffset());
      Pictures[static_cast<std::size_t>(c)] = h.Value();
    }
    return true;
  }
  const int saved = dataLink_->ActiveRecord();
  dataLink_->SetActiveRecord(dataRow);
  TScopeExit restore([this, saved] { dataLink_->SetActiveRecord(saved); });
  const bool modified = dataLink_->Modified() && EditorVisible();
  Pictures.assign(static_cast<std::size_t>(ColCount()), kUnknownPicture);
  for (int c = 0; c < ColCount(); ++c) {
    if (!Wanted[static_cast<std::size_t>(c)]) continue;
    TRowPictureHash h = grid;
    h.Add(static_cast<std::uint32_t>(c));
    h.Add(c == Col());
    h.Add(IsSelected(c, ARow));
    if (c >= IndicatorOffset()) {
      TColumn* column = ColumnAt(c);
      TField* f = column ? column->Field() : nullptr;
      h.Add(f != nullptr);
      if (f) h.Add(modified && RawToDataColumn(c) == SelectedIndex() ? editText_ : f->DisplayText());
      h.Add(column ? column->Alignment() : taLeftJustify);
    }
    Pictures[static_cast<std::size_t>(c)] = h.Value();
  }
  return true;
}

void TCustomDBGrid::Scroll(int Distance) {
  if (!HandleAllocated()) return;
  UpdateActive();
  if (Distance != 0) {
    // the records moved under the rows: the whole data area shows other records
    TRect r = BoxRect(0, TitleOffset(), ColCount() - 1, RowCount() - 1);
    ::InvalidateRect(Handle(), &r, false);
    if (!dataLink_->Modified() && startingEdit_ == 0) InvalidateEditor();
  } else {
    InvalidateCol(0);
  }
  UpdateVertScrollBar();
}

void TCustomDBGrid::RecordChanged(TField* Field) {
  if (!HandleAllocated()) return;
  InvalidateRow(Row());
  if (EditorVisible() && (!Field || Field == SelectedField()) && !dataLink_->Modified() && startingEdit_ == 0)
    InvalidateEditor();
}

void TCustomDBGrid::EditingChanged() {
  if (HandleAllocated() && IndicatorOffset()) InvalidateCell(0, Row());
}

void TCustomDBGrid::UpdateData() {
  TField* f = SelectedField();
  if (f) f->SetText(editText_);
}

// ---------------------------------------------------------------- the editor's slots

bool TCustomDBGrid::CanEditShow() {
  if (layoutLock_ > 0 || readOnly_ || !dbOptions_.Contains(dgEditing) || !dataLink_->Active()) return false;
  TColumn* c = ColumnAt(Col());
  return c && c->Field() && TCustomGrid::CanEditShow();
}

bool TCustomDBGrid::CanEditAcceptKey(char32_t Key) {
  TField* f = SelectedField();
  return dataLink_->Active() && f && f->IsValidChar(Key);
}

bool TCustomDBGrid::CanEditModify() {
  if (readOnly_ || !dataLink_->Active() || dataLink_->ReadOnly()) return false;
  TColumn* c = ColumnAt(Col());
  TField* f = c ? c->Field() : nullptr;
  if (!c || c->ReadOnly() || !f || !f->CanModify()) return false;
  ++startingEdit_;
  TScopeExit done([this] { --startingEdit_; });
  if (!dataLink_->Edit()) return false;
  dataLink_->Modified(true);
  return true;
}

std::string TCustomDBGrid::GetEditText(int ACol, int) {
  TColumn* c = ColumnAt(ACol);
  TField* f = c ? c->Field() : nullptr;
  editText_ = f ? f->Text() : std::string();
  return editText_;
}

void TCustomDBGrid::SetEditText(int, int, const std::string& Value) {
  editText_ = Value;
}

int TCustomDBGrid::GetEditLimit() {
  TField* f = SelectedField();
  return f && (f->DataType() == ftString || f->DataType() == ftFixedChar || f->DataType() == ftWideString)
             ? f->Size()
             : 0;
}

std::string TCustomDBGrid::GetEditMask(int ACol, int) {
  TColumn* c = ColumnAt(ACol);
  TField* f = c ? c->Field() : nullptr;
  return f ? f->EditMask() : std::string();
}

// ---------------------------------------------------------------- moving

void TCustomDBGrid::MoveBy(int Distance) {
  if (!dataLink_->Active() || Distance == 0) return;
  // what the editor holds goes to the field before the record changes
  if (EditorVisible()) HideEdit();
  dataLink_->UpdateRecord();
  dataLink_->MoveBy(Distance);
}

bool TCustomDBGrid::SelectCell(int ACol, int ARow) {
  if (syncing_ > 0 || !dataLink_->Active()) return true;
  // rows are records: only the current one takes the focus through the base grid
  if (ARow != TitleOffset() + dataLink_->ActiveRecord()) return false;
  if (ACol != Col()) {
    InvokeEvent(OnColExit, this);
    if (EditorVisible()) HideEdit();
    dataLink_->UpdateRecord();
  }
  return true;
}

void TCustomDBGrid::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
}

void TCustomDBGrid::ColumnMoved(int FromIndex, int ToIndex) {
  int from = RawToDataColumn(FromIndex), to = RawToDataColumn(ToIndex);
  if (from < 0 || to < 0 || from >= columns_->Count() || to >= columns_->Count()) return;
  columns_->SetState(csCustomized);
  ++layoutLock_;
  TScopeExit done([this] { --layoutLock_; });
  columns_->Items(from)->SetIndex(to);
}

void TCustomDBGrid::ColWidthsChanged() {
  TCustomGrid::ColWidthsChanged();
  ++layoutLock_;
  TScopeExit done([this] { --layoutLock_; });
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumn* c = columns_->Items(i);
    int raw = DataToRawColumn(i);
    if (c->Visible() && ColWidths(raw) != c->Width()) c->SetWidth(ColWidths(raw));
  }
}

void TCustomDBGrid::TimedScroll(TGridScrollDirections Direction) {
  if (dataLink_->Active()) {
    if (Direction.Contains(sdUp)) {
      MoveBy(-dataLink_->ActiveRecord() - 1);
      Direction.Exclude(sdUp);
    }
    if (Direction.Contains(sdDown)) {
      MoveBy(dataLink_->RecordCount() - dataLink_->ActiveRecord());
      Direction.Exclude(sdDown);
    }
  }
  if (!Direction.Empty()) TCustomGrid::TimedScroll(Direction);
}

void TCustomDBGrid::InsertOrAppend(bool Append) {
  TDataSet* ds = dataLink_->DataSet();
  if (!ds || readOnly_ || !dbOptions_.Contains(dgEditing) || !ds->CanModify() || dataLink_->ReadOnly())
    return;
  if (Append)
    ds->Append();
  else
    ds->Insert();
}

void TCustomDBGrid::DeleteCurrent() {
  TDataSet* ds = dataLink_->DataSet();
  if (!ds || readOnly_ || !ds->CanModify() || dataLink_->ReadOnly() || ds->IsEmpty()) return;
  if (dbOptions_.Contains(dgConfirmDelete) && !(ConfirmDelete && ConfirmDelete(kDeleteRecordQuestion)))
    return;
  ds->Delete();
}

void TCustomDBGrid::CancelEdit() {
  TDataSet* ds = dataLink_->DataSet();
  if (EditorVisible() && dataLink_->Modified()) {
    // the editor's change first; the record's own with a second Esc
    InplaceEditor()->Reset();
    dataLink_->Reset();
    if (!dbOptions_.Contains(dgAlwaysShowEditor)) HideEditor();
    return;
  }
  if (!dbOptions_.Contains(dgAlwaysShowEditor)) HideEditor();
  if (ds && (ds->State() == dsEdit || ds->State() == dsInsert)) {
    dataLink_->Modified(false);
    ds->Cancel();
  }
}

void TCustomDBGrid::KeyDown(WORD& Key, TShiftState Shift) {
  // the program's OnKeyDown first; the base grid's own keys do not apply to a grid of records
  TWinControl::KeyDown(Key, Shift);  // NOLINT(bugprone-parent-virtual-call)
  if (Key == 0) return;
  // columns, Tab, F2: the base grid's keys (without firing OnKeyDown a second time)
  auto baseKeys = [this, &Key, Shift] {
    TKeyEvent handler = std::move(OnKeyDown);
    TScopeExit restore([this, &handler] { OnKeyDown = std::move(handler); });
    TCustomGrid::KeyDown(Key, Shift);
  };
  TDataSet* ds = dataLink_->DataSet();
  if (!dataLink_->Active() || !ds) {
    baseKeys();
    return;
  }
  const bool ctrl = Shift.Contains(ssCtrl);
  const int page = std::max(1, RowCount() - TitleOffset());
  auto atUntouchedInsert = [&] {
    return ds->State() == dsInsert && !ds->Modified() && !dataLink_->Modified();
  };
  switch (Key) {
    case VK_UP:
      if (ctrl) break;
      if (atUntouchedInsert()) {
        ds->Cancel();
      } else {
        MoveBy(-1);
      }
      Key = 0;
      return;
    case VK_DOWN:
      if (ctrl) break;
      if (atUntouchedInsert()) {
        Key = 0;
        return;
      }
      MoveBy(1);
      if (ds->Eof() && dbOptions_.Contains(dgEditing)) InsertOrAppend(true);
      Key = 0;
      return;
    case VK_PRIOR:
      MoveBy(ctrl ? -dataLink_->ActiveRecord() : -page);
      Key = 0;
      return;
    case VK_NEXT:
      MoveBy(ctrl ? dataLink_->RecordCount() - 1 - dataLink_->ActiveRecord() : page);
      Key = 0;
      return;
    case VK_HOME:
    case VK_END:
      if (ctrl || dbOptions_.Contains(dgRowSelect)) {
        if (EditorVisible()) HideEdit();
        dataLink_->UpdateRecord();
        if (Key == VK_HOME)
          ds->First();
        else
          ds->Last();
        Key = 0;
        return;
      }
      break;
    case VK_INSERT:
      if (!ctrl && !Shift.Contains(ssShift)) {
        InsertOrAppend(false);
        Key = 0;
        return;
      }
      break;
    case VK_DELETE:
      if (ctrl) {
        DeleteCurrent();
        Key = 0;
        return;
      }
      break;
    case VK_ESCAPE:
      CancelEdit();
      Key = 0;
      return;
    default:
      break;
  }
  baseKeys();
}

void TCustomDBGrid::KeyPress(char32_t& Key) {
  if (Key == U'\r' && EditorVisible()) {
    // the text goes to the field; the record stays in edit until it is left
    TCustomGrid::KeyPress(Key);
    dataLink_->UpdateRecord();
    InvalidateRow(Row());
    return;
  }
  TCustomGrid::KeyPress(Key);
}

bool TCustomDBGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  // the program's handler first; the base grid's scrolling does not apply to a grid of records
  if (TWinControl::DoMouseWheelDown(Shift, MousePos)) return true;  // NOLINT(bugprone-parent-virtual-call)
  MoveBy(1);
  return true;
}

bool TCustomDBGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (TWinControl::DoMouseWheelUp(Shift, MousePos)) return true;  // NOLINT(bugprone-parent-virtual-call)
  MoveBy(-1);
  return true;
}

void TCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridCoord cell = MouseCoord(X, Y);
  pressedCell_ = cell;
  if (Button == mbLeft && dataLink_->Active() && cell.Y >= TitleOffset() && !Shift.Contains(ssDouble)) {
    int dataRow = cell.Y - TitleOffset();
    if (dataRow >= dataLink_->RecordCount()) {
      // below the last record: only the focus
      if (!GridFocused() && CanFocus()) SetFocus();
      return;
    }
    if (dataRow != dataLink_->ActiveRecord()) MoveBy(dataRow - dataLink_->ActiveRecord());
  }
  TCustomGrid::MouseDown(Button, Shift, X, Y);
}

void TCustomDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridState state = GridState();
  bool moved = moving_;
  TCustomGrid::MouseUp(Button, Shift, X, Y);
  // a press on a title that did not become a move is a click on it
  if (Button != mbLeft || state == gsColSizing || state == gsRowSizing || (state == gsColMoving && moved))
    return;
  TGridCoord cell = MouseCoord(X, Y);
  if (!(cell == pressedCell_) || cell.X < 0) return;
  TColumn* column = ColumnAt(cell.X);
  if (!column) return;
  if (cell.Y < TitleOffset()) {
    if (OnTitleClick) InvokeEvent(OnTitleClick, column);
  } else if (OnCellClick) {
    InvokeEvent(OnCellClick, column);
  }
}

void TCustomDBGrid::DoExit() {
  TDataSet* ds = dataLink_->DataSet();
  if (dataLink_->Active() && ds) {
    if (dbOptions_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() &&
        !dataLink_->Modified()) {
      ds->Cancel();
    } else {
      if (EditorVisible()) HideEdit();
      dataLink_->UpdateRecord();
    }
  }
  TCustomGrid::DoExit();
}

void TCustomDBGrid::Dispatch(TMessage& m) {
  if (m.Msg == WM_VSCROLL && m.LParam == 0) {
    TDataSet* ds = dataLink_->DataSet();
    if (!dataLink_->Active() || !ds) return;
    const int page = std::max(1, RowCount() - TitleOffset());
    switch (TWMScroll(m).ScrollCode()) {
      case SB_LINEUP:
        MoveBy(-1);
        break;
      case SB_LINEDOWN:
        MoveBy(1);
        break;
      case SB_PAGEUP:
        MoveBy(-page);
        break;
      case SB_PAGEDOWN:
        MoveBy(page);
        break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        if (!GetScrollInfo(Handle(), SB_VERT, si)) break;
        if (EditorVisible()) HideEdit();
        dataLink_->UpdateRecord();
        if (ds->IsSequenced()) {
          ds->SetRecNo(si.nTrackPos);
        } else if (si.nTrackPos <= 0) {
          ds->First();
        } else if (si.nTrackPos >= 4) {
          ds->Last();
        }
        break;
      }
      case SB_TOP:
        dataLink_->UpdateRecord();
        ds->First();
        break;
      case SB_BOTTOM:
        dataLink_->UpdateRecord();
        ds->Last();
        break;
      default:
        break;
    }
    UpdateVertScrollBar();
    return;
  }
  TCustomGrid::Dispatch(m);
}

// ---------------------------------------------------------------- drawing

namespace {

// The indicator's pictures, drawn from lines: the current record, editing, inserting.
void DrawArrow(TCanvas* c, const TRect& r) {
  int cx = r.Left + (r.Width() - 4) / 2, cy = r.Top + r.Height() / 2;
  c->Brush()->SetColor(clBlack);
  c->Pen()->SetColor(clBlack);
  c->Polygon({{cx, cy - 4}, {cx + 4, cy}, {cx, cy + 4}});
}

void DrawIBeam(TCanvas* c, const TRect& r) {
  int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
  c->Brush()->SetColor(clBlack);
  c->FillRect(Rect(cx - 2, cy - 5, cx + 3, cy - 4));
  c->FillRect(Rect(cx, cy - 4, cx + 1, cy + 4));
  c->FillRect(Rect(cx - 2, cy + 4, cx + 3, cy + 5));
}

void DrawAsterisk(TCanvas* c, const TRect& r) {
  int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
  c->Brush()->SetColor(clBlack);
  c->FillRect(Rect(cx - 3, cy, cx + 4, cy + 1));
  c->FillRect(Rect(cx, cy - 3, cx + 1, cy + 4));
  for (int d = -2; d <= 2; ++d) {
    c->FillRect(Rect(cx + d, cy + d, cx + d + 1, cy + d + 1));
    c->FillRect(Rect(cx + d, cy - d, cx + d + 1, cy - d + 1));
  }
}

}  // namespace

void TCustomDBGrid::DrawIndicator(const TRect& Rect, int DataRow) {
  TDataSet* ds = dataLink_->DataSet();
  if (!ds || DataRow != dataLink_->ActiveRecord()) return;
  TCanvas* c = Canvas();
  switch (ds->State()) {
    case dsEdit:
      DrawIBeam(c, Rect);
      break;
    case dsInsert:
      DrawAsterisk(c, Rect);
      break;
    default:
      DrawArrow(c, Rect);
      break;
  }
}

void TCustomDBGrid::DrawDataCell(const TRect&, TField*, TGridDrawState) {}

void TCustomDBGrid::DefaultDrawColumnCell(const TRect& Rect, int DataCol, TColumn* Column, TGridDrawState) {
  TField* f = Column ? Column->Field() : nullptr;
  std::string text;
  if (f) {
    // the editor's row shows what is being typed
    if (dataLink_->Modified() && DataCol == SelectedIndex() && EditorVisible() &&
        Row() == TitleOffset() + dataLink_->ActiveRecord())
      text = editText_;
    else
      text = f->DisplayText();
  }
  TCanvas* c = Canvas();
  int x = Rect.Left + kCellMargin;
  TAlignment alignment = Column ? Column->Alignment() : taLeftJustify;
  if (alignment != taLeftJustify) {
    SIZE size;
    GetTextExtentPoint32(c->Handle(), text, size);
    x = alignment == taRightJustify ? Rect.Right - kCellMargin - size.cx
                                    : Rect.Left + (Rect.Width() - size.cx) / 2;
  }
  c->TextRect(Rect, x, Rect.Top + kCellMargin, text);
}

void TCustomDBGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
  TCanvas* c = Canvas();
  const int title = TitleOffset();
  const int indicator = IndicatorOffset();
  if (ACol < indicator) {
    if (ARow >= title && dataLink_->Active()) DrawIndicator(ARect, ARow - title);
    return;
  }
  TColumn* column = ColumnAt(ACol);
  const int dataCol = RawToDataColumn(ACol);
  if (ARow < title) {
    if (!column) return;
    std::string caption = column->Title()->Caption();
    SIZE size;
    GetTextExtentPoint32(c->Handle(), caption, size);
    int x = ARect.Left + kCellMargin;
    if (column->Title()->Alignment() == taRightJustify) x = ARect.Right - kCellMargin - size.cx;
    if (column->Title()->Alignment() == taCenter) x = ARect.Left + (ARect.Width() - size.cx) / 2;
    c->TextRect(ARect, x, ARect.Top + kCellMargin, caption);
    return;
  }
  const int dataRow = ARow - title;
  if (!dataLink_->Active() || dataRow >= dataLink_->RecordCount()) {
    c->Brush()->SetColor(Color());
    c->FillRect(ARect);
    return;
  }
  // the whole current row shows as selected with row selection; the focused cell when the grid
  // (or, with dgAlwaysShowSelection, any control) has the focus
  bool current = dataRow == dataLink_->ActiveRecord();
  bool highlight =
      current &&
      (dbOptions_.Contains(dgRowSelect)
           ? (GridFocused() || dbOptions_.Contains(dgAlwaysShowSelection))
           : (ACol == Col() && (AState.Contains(gdFocused) || dbOptions_.Contains(dgAlwaysShowSelection))));
  if (highlight) {
    AState.Include(gdSelected);
    c->Brush()->SetColor(clHighlight);
    c->Font()->SetColor(clHighlightText);
  } else {
    AState.Exclude(gdSelected);
    c->Brush()->SetColor(Color());
    c->Font()->SetColor(Font()->Color());
  }
  int saved = dataLink_->ActiveRecord();
  dataLink_->SetActiveRecord(dataRow);
  TScopeExit restore([this, saved] { dataLink_->SetActiveRecord(saved); });
  DefaultDrawColumnCell(ARect, dataCol, column, AState);
  DrawDataCell(ARect, column ? column->Field() : nullptr, AState);
  if (OnDrawColumnCell) InvokeEvent(OnDrawColumnCell, this, ARect, dataCol, column, AState);
  if (highlight && AState.Contains(gdFocused) && !dbOptions_.Contains(dgRowSelect)) c->DrawFocusRect(ARect);
}
