#include "grid/DBLookupGridEx.h"

#include <algorithm>

#include "platform/db/DBConsts.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kUnsequencedPositions = 4;  // the bar's top, middle and bottom: 0, 2, 4
constexpr int kDragIntervalBase = 200;
constexpr int kDragIntervalStep = 15;

std::string JoinFieldNames(const std::vector<TField*>& Fields) {
  std::string names;
  for (TField* f : Fields) {
    if (!names.empty()) names += ';';
    names += f->FieldName();
  }
  return names;
}

bool IsSearchableField(TField* Field) {
  return Field && Field->DataType() == ftString &&
         (Field->FieldKind() == fkData || Field->FieldKind() == fkInternalCalc);
}

}  // namespace

bool KeyValueFitsKeyFields(const TVariant& Value, int KeyFieldCount) {
  if (KeyFieldCount == 1) return !Value.IsArray();
  return KeyFieldCount >= 2 && Value.IsArray() && VarArrayDimCount(Value) == 1 &&
         VarArrayHighBound(Value, 1) - VarArrayLowBound(Value, 1) + 1 == KeyFieldCount;
}

std::uint64_t& LookupSearchTimeStamp() {
  static std::uint64_t stamp = 0;
  return stamp;
}

// ---------------------------------------------------------------- TLookupGridDataLinkEx

void TLookupGridDataLinkEx::ActiveChanged() {
  grid_->UpdateDataFields();
}

void TLookupGridDataLinkEx::DataSetChanged() {
  grid_->DataLinkRecordChanged(nullptr);
}

void TLookupGridDataLinkEx::LayoutChanged() {
  grid_->UpdateDataFields();
}

void TLookupGridDataLinkEx::RecordChanged(TField* Field) {
  grid_->DataLinkRecordChanged(Field);
}

// ---------------------------------------------------------------- TGridColumnSpecCellEx

TGridColumnSpecCellEx::TGridColumnSpecCellEx(TColumnEx* AColumn)
    : column_(AColumn), font_(std::make_unique<TFont>()) {
  font_->OnChange = [this](TObject* s) { FontChanged(s); };
}

TGridColumnSpecCellEx::~TGridColumnSpecCellEx() = default;

TPersistent* TGridColumnSpecCellEx::GetOwner() const {
  return column_;
}

TDBLookupGridEx* TGridColumnSpecCellEx::LookupGrid() const {
  IDBGridExColumnsHost* host = column_ ? column_->Grid() : nullptr;
  return host ? dynamic_cast<TDBLookupGridEx*>(host->HostComponent()) : nullptr;
}

std::string TGridColumnSpecCellEx::Text() const {
  if (textAssigned_) return text_;
  TDBLookupGridEx* grid = LookupGrid();
  return grid ? grid->SpecRow()->GetCellText(column_->Index()) : text_;
}

void TGridColumnSpecCellEx::SetText(const std::string& Value) {
  if (textAssigned_ && Value == text_) return;
  if (!textAssigned_ && Value == Text()) return;
  text_ = Value;
  textAssigned_ = true;
  if (TDBLookupGridEx* grid = LookupGrid()) grid->Invalidate();
}

TColor TGridColumnSpecCellEx::Color() const {
  if (colorAssigned_) return color_;
  TDBLookupGridEx* grid = LookupGrid();
  return grid ? grid->SpecRow()->Color() : color_;
}

void TGridColumnSpecCellEx::SetColor(TColor Value) {
  if (Value == Color() && colorAssigned_) return;
  if (Value == Color()) return;
  color_ = Value;
  colorAssigned_ = true;
  if (TDBLookupGridEx* grid = LookupGrid()) grid->Invalidate();
}

TFont* TGridColumnSpecCellEx::Font() const {
  if (!fontAssigned_) {
    if (TDBLookupGridEx* grid = LookupGrid()) {
      // the row's font copied in without counting as a change of the cell's own
      auto* self = const_cast<TGridColumnSpecCellEx*>(this);
      self->syncingFont_ = true;
      TScopeExit done([self] { self->syncingFont_ = false; });
      font_->Assign(grid->SpecRow()->Font());
    }
  }
  return font_.get();
}

void TGridColumnSpecCellEx::SetFont(TFont* Value) {
  font_->Assign(Value);
}

void TGridColumnSpecCellEx::FontChanged(TObject*) {
  if (syncingFont_) return;
  fontAssigned_ = true;
  if (TDBLookupGridEx* grid = LookupGrid()) grid->Invalidate();
}

void TGridColumnSpecCellEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TGridColumnSpecCellEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  SetText(src->Text());
  SetColor(src->Color());
  if (src->FontAssigned()) SetFont(src->Font());
}

// ---------------------------------------------------------------- TDBLookupGridColumnEx

TDBLookupGridColumnEx::TDBLookupGridColumnEx(TCollection* Collection)
    : TColumnEx(Collection), specCell_(std::make_unique<TGridColumnSpecCellEx>(this)) {}

TDBLookupGridColumnEx::~TDBLookupGridColumnEx() = default;

void TDBLookupGridColumnEx::Assign(TPersistent* Source) {
  TColumnEx::Assign(Source);
  if (auto* src = dynamic_cast<TDBLookupGridColumnEx*>(Source)) specCell_->Assign(src->SpecCell());
}

void TDBLookupGridColumnEx::SetIndex(int Value) {
  IDBGridExColumnsHost* host = Grid();
  auto* grid = host ? dynamic_cast<TDBLookupGridEx*>(host->HostComponent()) : nullptr;
  const int from = Index();
  const int count = Collection() ? Collection()->Count() : 0;
  const int to = count > 0 ? std::clamp(Value, 0, count - 1) : Value;
  if (!grid || !grid->ListActive() || from == to) {
    TColumnEx::SetIndex(Value);
    return;
  }
  if (Persistent()) {
    TColumnEx::SetIndex(to);
    grid->ColumnIndexChanging(from, to, false);
  } else {
    // the columns follow ListField: the list's own field order stays as it is
    grid->ColumnIndexChanging(from, to, true);
  }
}

// ---------------------------------------------------------------- TDBLookupGridEx

TDBLookupGridEx::TDBLookupGridEx(TComponent* AOwner) : TCustomDBGridEx(AOwner) {
  RecreateColumnParts();
  SetParentColor(false);
  lookupSource_ = std::make_unique<TDataSource>(nullptr);
  dataLink_ = std::make_unique<TLookupGridDataLinkEx>(this);
  keyValue_ = Null();
  specRow_ = std::make_unique<TSpecRowEx>(this);
  specRow_->OnChanged = [this](TObject*) {
    LayoutChanged();
    if (!settingRows_) SetRowCount(rowCount_);
    KeyValueChanged();
    Invalidate();
    InvokeEvent(OnSpecRowChanged, this);
  };
  SetOptions({dgColLines, dgRowSelect});
  SetOptionsEx(OptionsEx() + dghTraceColSizing);
  HorzScrollBar()->SetTracking(true);
  VertScrollBar()->SetTracking(true);
  SetFlat(true);
  SetDrawMemoText(true);
  SetTabStop(false);
  SetVTitleMargin(5);
}

TDBLookupGridEx::~TDBLookupGridEx() {
  Destroying();
  StopDragTimer();
  dataLink_->SetDataSource(nullptr);
  TCustomDBGridEx::SetDataSource(nullptr);
}

std::unique_ptr<TDBGridExColumnDefValuesEx> TDBLookupGridEx::CreateColumnDefValues() {
  return std::make_unique<TDBLookupGridColumnDefValuesEx>(this);
}

std::unique_ptr<TDBGridColumnsEx> TDBLookupGridEx::CreateColumns() {
  return std::make_unique<TDBGridColumnsEx>(this, CollectionItemClass<TDBLookupGridColumnEx>);
}

void TDBLookupGridEx::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBGridEx::Notification(AComponent, Operation);
  if (Operation != opRemove || !dataLink_) return;
  if (dataLink_->DataSource() == AComponent) SetDataSource(nullptr);
}

// ---- the data side

void TDBLookupGridEx::SetDataSource(TDataSource* Value) {
  if (Value == dataLink_->DataSource()) return;
  const bool fixedWhileLoading = ComponentState().Contains(csLoading) && dataLink_->DataSourceFixed();
  if (!fixedWhileLoading) dataLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

void TDBLookupGridEx::SetDataField(const std::string& Value) {
  if (Value == dataFieldName_) return;
  dataFieldName_ = Value;
  UpdateDataFields();
}

void TDBLookupGridEx::UpdateDataFields() {
  if (updatingFields_) return;
  updatingFields_ = true;
  TScopeExit done([this] { updatingFields_ = false; });
  dataFields_.clear();
  masterFields_.clear();
  masterFieldNames_.clear();
  TField* lookupField = nullptr;
  if (dataLink_->Active() && !dataFieldName_.empty()) {
    TDataSet* ds = dataLink_->DataSet();
    dataFields_ = GetFieldsArray(ds, dataFieldName_);
    if (dataFields_.size() == 1 && dataFields_.front()->FieldKind() == fkLookup) {
      lookupField = dataFields_.front();
      masterFields_ = GetFieldsArray(ds, lookupField->KeyFields());
    } else {
      masterFields_ = dataFields_;
    }
    masterFieldNames_ = JoinFieldNames(masterFields_);
  }
  if (lookupField) {
    TDataSet* lds = lookupField->LookupDataSet();
    if (lds && lds->IsLinkedTo(dataLink_->DataSource())) DatabaseError(SCircularDataLink, this);
    lookupMode_ = true;
    lookupSource_->SetDataSet(lds);
    keyFieldName_ = lookupField->LookupKeyFields();
    TCustomDBGridEx::SetDataSource(lookupSource_.get());
  } else if (lookupMode_) {
    lookupMode_ = false;
    TCustomDBGridEx::SetDataSource(nullptr);
    lookupSource_->SetDataSet(nullptr);
    keyFieldName_.clear();
  }
  if (!dataFields_.empty() && ListDataSet() && ListDataSet()->IsLinkedTo(dataLink_->DataSource()))
    DatabaseError(SCircularDataLink, this);
  UpdateListFields();
  DataLinkRecordChanged(nullptr);
}

void TDBLookupGridEx::DataLinkRecordChanged(TField* Field) {
  if (Field && std::find(masterFields_.begin(), masterFields_.end(), Field) == masterFields_.end() &&
      std::find(dataFields_.begin(), dataFields_.end(), Field) == dataFields_.end())
    return;
  if (!dataLink_->Active() || masterFields_.empty()) {
    if (dataLink_->DataSource() && !masterFieldNames_.empty()) SetKeyValue(Null());
    return;
  }
  SetKeyValue(dataLink_->DataSet()->FieldValues(masterFieldNames_));
}

// ---- the list side

TDataSet* TDBLookupGridEx::ListDataSet() const {
  TDataSource* source = TCustomDBGridEx::DataSource();
  return source ? source->DataSet() : nullptr;
}

void TDBLookupGridEx::CheckNotLookupMode() {
  if (lookupMode_) DatabaseError(SPropDefByLookup, this);
  if (dataLink_->DataSourceFixed()) DatabaseError(SDataSourceFixed, this);
}

void TDBLookupGridEx::SetListSource(TDataSource* Value) {
  CheckNotLookupMode();
  TCustomDBGridEx::SetDataSource(Value);
  UpdateListFields();
}

void TDBLookupGridEx::SetKeyField(const std::string& Value) {
  CheckNotLookupMode();
  keyFieldName_ = Value;
  UpdateListFields();
}

void TDBLookupGridEx::SetListField(const std::string& Value) {
  CheckNotLookupMode();
  listFieldName_ = Value;
  UpdateListFields();
}

void TDBLookupGridEx::SetListFieldIndex(int Value) {
  if (Value == listFieldIndex_) return;
  listFieldIndex_ = Value;
  UpdateListFields();
}

void TDBLookupGridEx::UpdateListFields() {
  listActive_ = false;
  listField_ = nullptr;
  listFields_.clear();
  keyFields_.clear();
  TDataSet* lds = ListDataSet();
  if (lds && lds->Active() && !keyFieldName_.empty()) {
    keyFields_ = GetFieldsArray(lds, keyFieldName_);
    listFields_ = GetFieldsArray(lds, listFieldName_);
    if (lookupMode_ && Field()) {
      listField_ = lds->FieldByName(Field()->LookupResultField());
      if (std::find(listFields_.begin(), listFields_.end(), listField_) == listFields_.end())
        listFields_.insert(listFields_.begin(), listField_);
    } else {
      if (listFields_.empty()) listFields_ = keyFields_;
      const int count = static_cast<int>(listFields_.size());
      listField_ =
          listFieldIndex_ >= 0 && listFieldIndex_ < count ? listFields_[listFieldIndex_] : listFields_[0];
    }
    listActive_ = true;
  }
  if (Columns()->State() != csCustomized) InternalLayout();
  if (listActive_) {
    KeyValueChanged();
  } else {
    specRowSelected_ = specRow_->Visible() && VarEquals(keyValue_, specRow_->Value());
    selectedText_ = specRowSelected_ ? specRow_->GetCellText(listFieldIndex_) : std::string();
    Invalidate();
  }
}

void TDBLookupGridEx::DefineFieldMap() {
  if (Columns()->State() == csCustomized || !listActive_) {
    if (listActive_) TCustomDBGridEx::DefineFieldMap();
    return;
  }
  DataLink()->SetSparseMap(false);
  for (TField* f : listFields_) DataLink()->AddMapping(f->FieldName());
}

void TDBLookupGridEx::NotifyListChanged() {
  UpdateListFields();
}

void TDBLookupGridEx::ColumnIndexChanging(int FromIndex, int ToIndex, bool Rebuild) {
  if (!listActive_) return;
  // the special row's texts, the displayed field's index and ListField follow the columns
  const int count = Columns()->Count();
  std::vector<std::string> cells, names;
  for (int i = 0; i < std::max(count, specRow_->CellCount()); ++i) cells.push_back(specRow_->GetCellText(i));
  for (int i = 0; i < count; ++i) names.push_back(Columns()->Items(i)->FieldName());
  auto move = [&](std::vector<std::string>& v) {
    if (FromIndex >= static_cast<int>(v.size()) || ToIndex >= static_cast<int>(v.size())) return;
    std::string moved = v[FromIndex];
    v.erase(v.begin() + FromIndex);
    v.insert(v.begin() + ToIndex, moved);
  };
  move(cells);
  if (Rebuild) move(names);
  while (!cells.empty() && cells.back().empty() && static_cast<int>(cells.size()) > specRow_->CellCount())
    cells.pop_back();
  auto join = [](const std::vector<std::string>& v) {
    std::string text;
    for (size_t i = 0; i < v.size(); ++i) text += (i ? ";" : "") + v[i];
    return text;
  };
  if (listFieldIndex_ == FromIndex)
    listFieldIndex_ = ToIndex;
  else if (FromIndex < listFieldIndex_ && ToIndex >= listFieldIndex_)
    --listFieldIndex_;
  else if (FromIndex > listFieldIndex_ && ToIndex <= listFieldIndex_)
    ++listFieldIndex_;
  listFieldName_ = join(names);
  {
    settingRows_ = true;
    TScopeExit done([this] { settingRows_ = false; });
    specRow_->SetCellsText(join(cells));
  }
  if (Rebuild) {
    const bool saved = lockPosition_;
    lockPosition_ = true;
    TScopeExit unlock([this, saved] { lockPosition_ = saved; });
    UpdateListFields();
  }
}

// ---- the key

void TDBLookupGridEx::SetKeyValue(const TVariant& Value) {
  if (VarEquals(keyValue_, Value)) return;
  keyValue_ = Value;
  KeyValueChanged();
}

bool TDBLookupGridEx::KeyListOk(const TVariant& Value) const {
  return KeyValueFitsKeyFields(Value, static_cast<int>(keyFields_.size()));
}

bool TDBLookupGridEx::LocateKey() {
  TDataSet* lds = ListDataSet();
  if (keyValue_.IsNull() || keyValue_.IsEmpty() || !lds || !lds->Active() || !KeyListOk(keyValue_))
    return false;
  try {
    return lds->Locate(keyFieldName_, keyValue_, {});
  } catch (const EVariantError&) {
    return false;  // a key of another kind than the key field's is not in the list
  }
}

TVariant TDBLookupGridEx::CurrentKey() const {
  TDataSet* lds = ListDataSet();
  if (!lds || !lds->Active() || lds->IsEmpty()) return Null();
  return lds->FieldValues(keyFieldName_);
}

bool TDBLookupGridEx::CurrentIsKey() const {
  return listActive_ && !keyValue_.IsNull() && !keyValue_.IsEmpty() && VarEquals(CurrentKey(), keyValue_);
}

void TDBLookupGridEx::KeyValueChanged() {
  if (specRow_->Visible()) {
    specRowSelected_ = VarEquals(keyValue_, specRow_->Value());
    if (!specRowSelected_ && !lockPosition_ && specRow_->ShowIfNotInKeyList() && listActive_ && !LocateKey())
      specRowSelected_ = true;
  } else {
    specRowSelected_ = false;
  }
  if (listActive_ && !lockPosition_) {
    if (!LocateKey() && !specRowSelected_) ListDataSet()->First();
  }
  if (specRow_->Visible() && specRowSelected_)
    selectedText_ = specRow_->GetCellText(listFieldIndex_);
  else if (listField_ && CurrentIsKey())
    selectedText_ = listField_->DisplayText();
  else
    selectedText_.clear();
  UpdateScrollBar();
  Invalidate();
}

void TDBLookupGridEx::SelectKeyValue(const TVariant& Value) {
  if (masterFields_.empty()) {
    SetKeyValue(Value);
  } else if (dataLink_->Edit()) {
    SetFieldsValues(dataLink_->DataSet(), masterFieldNames_, Value);
  }
  Invalidate();
  InvokeEvent(OnClick, this);
}

bool TDBLookupGridEx::CanModify() {
  return listActive_ && !ReadOnly() &&
         (!dataLink_->Active() || masterFields_.empty() ||
          std::all_of(masterFields_.begin(), masterFields_.end(), [](TField* f) { return f->CanModify(); }));
}

// ---- sizes

int TDBLookupGridEx::BorderSize() {
  HandleNeeded();
  return Height() - ClientHeight();
}

int TDBLookupGridEx::TextRowHeight() {
  return Canvas() ? std::max(1, Canvas()->TextHeight("Wg")) : DefaultRowHeight();
}

int TDBLookupGridEx::DataRowHeight() {
  return DefaultRowHeight();
}

int TDBLookupGridEx::SpecRowHeight() const {
  if (!specRow_->Visible()) return 0;
  return DefaultRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TDBLookupGridEx::SpecRowCount() const {
  return specRow_ && specRow_->Visible() ? 1 : 0;
}

int TDBLookupGridEx::HeightForRows(int Rows) {
  const bool lines = Options().Contains(dgRowLines);
  int h = 0;
  if (Options().Contains(dgTitles)) h += TitleRowHeight() + (lines ? GridLineWidth() : 0);
  h += Rows * DataRowHeight() + (lines ? Rows * GridLineWidth() : 0);
  return h + BorderSize() + SpecRowHeight();
}

void TDBLookupGridEx::SetRowCount(int Value) {
  rowCount_ = std::clamp(Value, 1, 100);
  if (settingRows_) return;
  settingRows_ = true;
  TScopeExit done([this] { settingRows_ = false; });
  SetHeight(HeightForRows(rowCount_));
}

void TDBLookupGridEx::SetShowTitles(bool Value) {
  if (Value == ShowTitles()) return;
  TDBGridOptions o = Options();
  if (Value)
    o.Include(dgTitles);
  else
    o.Exclude(dgTitles);
  SetOptions(o);
  SetRowCount(rowCount_);
}

void TDBLookupGridEx::SetUseMultiTitle(bool Value) {
  TCustomDBGridEx::SetUseMultiTitle(Value);
  SetRowCount(rowCount_);
}

void TDBLookupGridEx::SetLookupOptions(TDBLookupGridExOptions Value) {
  lookupOptions_ = Value;
  TDBGridOptions o = Options();
  TDBGridExOptions ox = OptionsEx();
  auto map = [&](TDBLookupGridExOption from, TDBGridOption to) {
    if (Value.Contains(from))
      o.Include(to);
    else
      o.Exclude(to);
  };
  auto mapEx = [&](TDBLookupGridExOption from, TDBGridExOption to) {
    if (Value.Contains(from))
      ox.Include(to);
    else
      ox.Exclude(to);
  };
  map(dlgColumnResizeEx, dgColumnResize);
  map(dlgColLinesEx, dgColLines);
  map(dlgRowLinesEx, dgRowLines);
  mapEx(dlgAutoSortMarkingEx, dghAutoSortMarking);
  mapEx(dlgMultiSortMarkingEx, dghMultiSortMarking);
  SetOptions(o);
  SetOptionsEx(ox);
}

void TDBLookupGridEx::SetFitColumns(bool Value) {
  fitColumns_ = Value;
  HorzScrollBar()->SetVisible(!Value);
  SetAutoFitColWidths(Value);
  SetRowCount(rowCount_);
  LayoutChanged();
}

int TDBLookupGridEx::ColumnsWidth() {
  const int line = Options().Contains(dgColLines) ? GridLineWidth() : 0;
  int total = 0;
  for (TColumnEx* c : VisibleColumns()) total += c->Width() + line;
  return total;
}

TRect TDBLookupGridEx::SpecRowRect() {
  if (!specRow_->Visible() || TCustomGrid::RowCount() < TitleOffset()) return {};
  const int row = TitleOffset() - 1;
  TRect r = CellRect(std::min(IndicatorOffset(), TCustomGrid::ColCount() - 1), row);
  r.Left = 0;
  r.Right = ClientWidth();
  return r;
}

TRect TDBLookupGridEx::DataRect() {
  const int rows = std::max(1, VisibleDataRowCount());
  TRect first = CellRect(std::min(IndicatorOffset(), TCustomGrid::ColCount() - 1), TitleOffset());
  TRect last = CellRect(std::min(IndicatorOffset(), TCustomGrid::ColCount() - 1),
                        std::min(TitleOffset() + rows - 1, TCustomGrid::RowCount() - 1));
  return Rect(0, first.Top, ClientWidth(), std::max(first.Bottom, last.Bottom));
}

void TDBLookupGridEx::InternalLayoutPass() {
  TCustomDBGridEx::InternalLayoutPass();
  // the horizontal bar only while the columns do not fit
  if (!fitColumns_ && HandleAllocated())
    HorzScrollBar()->SetVisible(ColumnsWidth() > ClientWidth() || !HorzScrollBar()->Visible());
}

// ---- drawing

bool TDBLookupGridEx::HighlightDataCell(int /*ACol*/, int /*ARow*/, TGridDrawState /*State*/, TColor& AColor,
                                        TFont* AFont, bool /*InSelection*/) {
  // only the key record shows chosen: the drawn row is the link's active record here
  if (specRowSelected_ || !CurrentIsKey()) return false;
  AColor = clHighlight;
  if (AFont) AFont->SetColor(clHighlightText);
  return true;
}

void TDBLookupGridEx::DrawSpecRowCell(int /*ACol*/, int /*ARow*/, const TRect& ARect, const TCellTypeEx& Type,
                                      TGridDrawState /*AState*/) {
  TCanvas* canvas = Canvas();
  if (Type.ColArea != kAreaData || Type.DataCol >= Columns()->Count()) {
    canvas->Brush()->SetColor(specRow_->Color());
    canvas->FillRect(ARect);
    return;
  }
  auto* column = static_cast<TDBLookupGridColumnEx*>(Columns()->Items(Type.DataCol));
  TGridColumnSpecCellEx* cell = column->SpecCell();
  canvas->Font()->Assign(cell->Font());
  canvas->Brush()->SetColor(cell->Color());
  if (specRowSelected_) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  }
  WriteCellText(ARect, true, 2, 2, cell->Text(), column->Alignment(), tlTop, false, false, 0, 0);
}

void TDBLookupGridEx::Paint() {
  TCustomDBGridEx::Paint();
  if (specRowSelected_ && specRow_->Visible()) {
    TRect r = SpecRowRect();
    r.Right = std::min(r.Right, std::max(r.Left, ColumnsWidth() - (Options().Contains(dgColLines) ? 1 : 0)));
    Canvas()->Brush()->SetColor(clHighlight);
    Canvas()->Font()->SetColor(clHighlightText);
    Canvas()->DrawFocusRect(r);
  }
}

// ---- list notifications

void TDBLookupGridEx::LinkActive(bool Value) {
  if (ComponentState().Contains(csDestroying)) return;  // nothing to lay out any more
  TCustomDBGridEx::LinkActive(Value);
  if (!updatingFields_) UpdateListFields();
}

void TDBLookupGridEx::DataChanged() {
  TCustomDBGridEx::DataChanged();
  UpdateScrollBar();
}

void TDBLookupGridEx::Scroll(int Distance) {
  TCustomDBGridEx::Scroll(Distance);
  UpdateScrollBar();
}

void TDBLookupGridEx::UpdateVertScrollBar() {
  UpdateScrollBar();
}

void TDBLookupGridEx::UpdateScrollBar() {
  if (!HandleAllocated() || !dataLink_) return;
  TDataSet* lds = ListDataSet();
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 0;
  si.nPage = 0;
  si.nPos = 0;
  bool needed = false;
  if (listActive_ && lds && lds->Active()) {
    const int visible = std::max(1, VisibleDataRowCount());
    if (lds->IsSequenced()) {
      const int count = lds->RecordCount();
      si.nMax = std::max(0, count - 1);
      si.nPage = static_cast<UINT>(visible);
      si.nPos = std::max(0, lds->RecNo() - 1);
      needed = count > visible;
    } else {
      si.nMax = kUnsequencedPositions;
      si.nPos = lds->Bof() ? 0 : lds->Eof() ? kUnsequencedPositions : kUnsequencedPositions / 2;
      needed = !(lds->Bof() && lds->Eof());
    }
  }
  if (!VertScrollBar()->Visible()) needed = false;
  if (!needed) si.nMax = si.nMin;
  SCROLLINFO old;
  old.fMask = SIF_ALL;
  ::GetScrollInfo(Handle(), SB_VERT, old);
  if (old.nMin == si.nMin && old.nMax == si.nMax && old.nPage == si.nPage && old.nPos == si.nPos) return;
  ::SetScrollInfo(Handle(), SB_VERT, si, true);
  ShowScrollBar(Handle(), SB_VERT, needed);
}

void TDBLookupGridEx::ScrollMessage(int Code, int Pos) {
  TDataSet* lds = ListDataSet();
  if (!listActive_ || !lds || !lds->Active()) return;
  searchText_.clear();
  const int visible = std::max(1, VisibleDataRowCount());
  const int active = DataLink()->ActiveRecord();
  const int inWindow = DataLink()->RecordCount();
  switch (Code) {
    case SB_LINEUP:
      lds->MoveBy(-active - 1);
      break;
    case SB_LINEDOWN:
      lds->MoveBy(inWindow - active);
      break;
    case SB_PAGEUP:
      lds->MoveBy(-active - visible + 1);
      break;
    case SB_PAGEDOWN:
      lds->MoveBy(inWindow - active + visible - 2);
      break;
    case SB_THUMBPOSITION:
      if (lds->IsSequenced()) {
        lds->SetRecNo(std::clamp(Pos + 1, 1, std::max(1, lds->RecordCount())));
      } else {
        switch (Pos) {
          case 0:
            lds->First();
            break;
          case 1:
            lds->MoveBy(-visible);
            break;
          case 3:
            lds->MoveBy(visible);
            break;
          case kUnsequencedPositions:
            lds->Last();
            break;
          default:
            break;
        }
      }
      break;
    case SB_THUMBTRACK:
      if (lds->IsSequenced()) lds->SetRecNo(std::clamp(Pos + 1, 1, std::max(1, lds->RecordCount())));
      break;
    case SB_TOP:
      lds->First();
      break;
    case SB_BOTTOM:
      lds->Last();
      break;
    default:
      break;
  }
  UpdateScrollBar();
  Invalidate();
}

// ---- keyboard

void TDBLookupGridEx::SelectCurrent() {
  const TVariant key = CurrentKey();
  if (!VarEquals(key, keyValue_) || specRowSelected_) {
    if (VarEquals(key, keyValue_)) {
      // the special row stood for the key: it is left, the record stays chosen
      specRowSelected_ = false;
      keyValue_ = Null();
    }
    const bool saved = lockPosition_;
    lockPosition_ = true;
    TScopeExit unlock([this, saved] { lockPosition_ = saved; });
    SelectKeyValue(key);
  }
  UpdateScrollBar();
  Invalidate();
}

void TDBLookupGridEx::SelectSpecRow() {
  TDataSet* lds = ListDataSet();
  if (lds && lds->Active()) lds->First();
  if (!specRowSelected_ || !VarEquals(keyValue_, specRow_->Value())) {
    const bool saved = lockPosition_;
    lockPosition_ = true;
    TScopeExit unlock([this, saved] { lockPosition_ = saved; });
    if (VarEquals(keyValue_, specRow_->Value())) {
      specRowSelected_ = true;
      selectedText_ = specRow_->GetCellText(listFieldIndex_);
      Invalidate();
    } else {
      SelectKeyValue(specRow_->Value());
    }
    specRowSelected_ = true;
    selectedText_ = specRow_->GetCellText(listFieldIndex_);
  }
  Invalidate();
}

void TDBLookupGridEx::MoveListBy(int Distance) {
  TDataSet* lds = ListDataSet();
  if (!lds || !lds->Active()) return;
  const bool special = specRow_->Visible();
  if (special && specRowSelected_) {
    if (Distance <= 0) return;
    lds->First();
    if (Distance > 1) lds->MoveBy(Distance - 1);
    SelectCurrent();
    return;
  }
  if (!CurrentIsKey() && !LocateKey()) {
    // no key record: the list starts at its first record
    lds->First();
    if (Distance < 0 && special) {
      SelectSpecRow();
      return;
    }
    if (Distance > 0) --Distance;
  }
  const int moved = Distance == 0 ? 0 : lds->MoveBy(Distance);
  if (Distance < 0 && moved == 0 && special) {
    SelectSpecRow();
    return;
  }
  SelectCurrent();
}

void TDBLookupGridEx::KeyDown(WORD& Key, TShiftState Shift) {
  TDataSet* lds = ListDataSet();
  if (!CanModify() || !lds || !lds->Active()) {
    TCustomDBGridEx::KeyDown(Key, Shift);
    return;
  }
  const int visible = std::max(1, VisibleDataRowCount());
  const bool horzBar = HandleAllocated() && (GetWindowLong(Handle(), GWL_STYLE) & WS_HSCROLL) != 0;
  switch (Key) {
    case VK_PRIOR:
      MoveListBy(1 - visible);
      break;
    case VK_NEXT:
      MoveListBy(visible - 1);
      break;
    case VK_END:
      lds->Last();
      SelectCurrent();
      break;
    case VK_HOME:
      lds->First();
      SelectCurrent();
      break;
    case VK_UP:
      MoveListBy(-1);
      break;
    case VK_DOWN:
      MoveListBy(1);
      break;
    case VK_LEFT:
    case VK_RIGHT:
      if (horzBar) {
        TCustomDBGridEx::KeyDown(Key, Shift);
        return;
      }
      MoveListBy(Key == VK_LEFT ? -1 : 1);
      break;
    default:
      TCustomDBGridEx::KeyDown(Key, Shift);
      return;
  }
  searchText_.clear();
  Key = 0;
}

void TDBLookupGridEx::KeyPress(char32_t& Key) {
  ProcessSearchKey(Key);
  Key = 0;
}

void TDBLookupGridEx::ProcessSearchKey(char32_t Key) {
  TDataSet* lds = ListDataSet();
  if (!IsSearchableField(listField_) || !lds || !lds->Active()) return;
  if (Key == U'\b' || Key == 27) {
    searchText_.clear();
    return;
  }
  if (Key < 32 || Key == 127 || !CanModify()) return;
  std::uint64_t& stamp = LookupSearchTimeStamp();
  const std::uint64_t now = talvik::gui::Ticks();
  if (now - stamp > kLookupSearchPause) searchText_.clear();
  stamp = now;
  if (Utf8Length(searchText_) >= kLookupSearchMaxLength) return;
  std::string s = searchText_;
  Utf8Append(s, Key);
  if (lds->Locate(listField_->FieldName(), TVariant(s), {loCaseInsensitive, loPartialKey})) {
    const bool saved = lockPosition_;
    lockPosition_ = true;
    TScopeExit unlock([this, saved] { lockPosition_ = saved; });
    specRowSelected_ = false;
    SelectKeyValue(CurrentKey());
    searchText_ = s;
  }
}

// ---- mouse

void TDBLookupGridEx::SelectRowAt(int DataRow) {
  const int records = DataLink()->RecordCount();
  if (records <= 0) return;
  DataRow = std::clamp(DataRow, 0, records - 1);
  const int delta = DataRow - DataLink()->ActiveRecord();
  if (delta != 0) DataLink()->MoveBy(delta);
  SelectCurrent();
}

void TDBLookupGridEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const TRect spec = SpecRowRect();
  const TRect data = DataRect();
  const bool inSpec = !spec.IsEmpty() && Y >= spec.Top && Y < spec.Bottom;
  const bool inData = Y >= data.Top && Y < data.Bottom;
  if (Button != mbLeft || !listActive_ || !(inSpec || inData) || Shift.Contains(ssDouble)) {
    TCustomDBGridEx::MouseDown(Button, Shift, X, Y);
    return;
  }
  searchText_.clear();
  if (FocusOnPress() && CanFocus() && !Focused()) SetFocus();
  if (!CanModify()) return;
  mousePressed_ = true;
  if (HandleAllocated()) SetCapture(Handle());
  MouseMove(Shift + ssLeft, X, Y);
}

void TDBLookupGridEx::MouseMove(TShiftState Shift, int X, int Y) {
  // A move with no button held during a press: its release went to another window (the pointer left the
  // grid before the grid read the press), and the press is over. The move is a plain one.
  if (mousePressed_ && !HoldsButton(Shift)) EndPress();
  if (!mousePressed_) {
    TCustomDBGridEx::MouseMove(Shift, X, Y);
    return;
  }
  const TRect spec = SpecRowRect();
  const TRect data = DataRect();
  const int top = spec.IsEmpty() ? data.Top : spec.Top;
  const int bottom = data.Bottom;
  if (Y < top || Y >= std::max(bottom, ClientHeight())) {
    // beyond an edge: one record per tick, faster further away
    dragDirection_ = Y < top ? -1 : 1;
    dragDistance_ = Y < top ? top - Y : Y - std::max(bottom, ClientHeight()) + 1;
    const int interval = std::max(0, kDragIntervalBase - kDragIntervalStep * dragDistance_);
    if (HandleAllocated()) {
      if (dragTimerOn_) ::KillTimer(Handle(), kDragTimerId);
      ::SetTimer(Handle(), kDragTimerId, static_cast<UINT>(interval), nullptr);
      dragTimerOn_ = true;
    }
    return;
  }
  StopDragTimer();
  if (!spec.IsEmpty() && Y >= spec.Top && Y < spec.Bottom) {
    SelectSpecRow();
    return;
  }
  const TGridCoord cell = MouseCoord(std::clamp(X, 0, std::max(0, ClientWidth() - 1)),
                                     std::min(Y, std::max(data.Top, data.Bottom - 1)));
  if (cell.Y >= TitleOffset()) SelectRowAt(cell.Y - TitleOffset());
}

void TDBLookupGridEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool pressed = mousePressed_;
  EndPress();
  if (!pressed) TCustomDBGridEx::MouseUp(Button, Shift, X, Y);
}

void TDBLookupGridEx::EndPress() {
  const bool pressed = mousePressed_;
  mousePressed_ = false;
  StopDragTimer();
  // the grid lets go of the mouse it holds; a window that took the mouse from it keeps it
  if (pressed && HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
}

void TDBLookupGridEx::StopDragTimer() {
  if (dragTimerOn_ && HandleAllocated()) ::KillTimer(Handle(), kDragTimerId);
  dragTimerOn_ = false;
}

void TDBLookupGridEx::DragScrollTick() {
  TDataSet* lds = ListDataSet();
  if (!mousePressed_ || !lds || !lds->Active()) {
    StopDragTimer();
    return;
  }
  // every button went up where the grid did not see it: the press is over, and so is its scrolling
  if (!ButtonHeld()) {
    EndPress();
    return;
  }
  if (specRowSelected_) {
    // up: the special row is the top; down: the list starts at its first record
    if (dragDirection_ > 0) {
      lds->First();
      SelectCurrent();
    }
    return;
  }
  if (!CurrentIsKey() && !LocateKey()) {
    lds->First();
    SelectCurrent();
    return;
  }
  if (lds->MoveBy(dragDirection_) == 0) {
    // above the top edge at the first record the special row is chosen
    if (dragDirection_ < 0 && specRow_->Visible()) SelectSpecRow();
    return;
  }
  SelectCurrent();
}

void TDBLookupGridEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_VSCROLL:
      ScrollMessage(LOWORD(Message.WParam), static_cast<short>(HIWORD(Message.WParam)));
      Message.Result = 0;
      return;
    case WM_TIMER:
      if (Message.WParam == kDragTimerId) {
        DragScrollTick();
        return;
      }
      break;
    case WM_CAPTURECHANGED:
      // another window took the mouse (a list dropped down): the moves and the release of the press go
      // there, and the press is over
      if (mousePressed_ && HandleAllocated() && Message.LParam &&
          reinterpret_cast<HWND>(Message.LParam) != Handle())
        EndPress();
      break;
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    default:
      break;
  }
  TCustomDBGridEx::Dispatch(Message);
}

// ---------------------------------------------------------------- TPopupDataGridEx

struct TPopupDataGridEx::UserChange {
  explicit UserChange(TPopupDataGridEx* Grid) : grid(Grid), saved(Grid->userKeyValueChanged_) {
    grid->userKeyValueChanged_ = true;
  }
  ~UserChange() { grid->userKeyValueChanged_ = saved; }
  UserChange(const UserChange&) = delete;
  UserChange& operator=(const UserChange&) = delete;
  TPopupDataGridEx* grid;
  bool saved;
};

TPopupDataGridEx::TPopupDataGridEx(TComponent* AOwner) : TDBLookupGridEx(AOwner) {
  visible_ = false;
  sizeGrip_ = new TSizeGripEx(this);
  sizeGrip_->SetParent(this);
  sizeGrip_->SetTriangleWindow(true);
  sizeGrip_->SetVisible(false);
  SetShowHint(true);
}

TPopupDataGridEx::~TPopupDataGridEx() = default;

void TPopupDataGridEx::CreateParams(TCreateParams& Params) {
  TDBLookupGridEx::CreateParams(Params);
  Params.Style =
      WS_POPUP | WS_CLIPCHILDREN | (Params.Style & (WS_VSCROLL | WS_HSCROLL)) | (Ctl3D() ? 0 : WS_BORDER);
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS | CS_HREDRAW;
  Params.WndParent = nullptr;
}

void TPopupDataGridEx::CreateWnd() {
  TDBLookupGridEx::CreateWnd();
  sizeGrip_->UpdatePosition();
}

void TPopupDataGridEx::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TDBLookupGridEx::SetBounds(ALeft, ATop, std::max(AWidth, GetSystemMetrics(SM_CXVSCROLL)),
                             std::max(AHeight, GetSystemMetrics(SM_CYVSCROLL)));
}

int TPopupDataGridEx::BorderSize() {
  HandleNeeded();
  return Height() - ClientHeight();
}

void TPopupDataGridEx::KeyValueChanged() {
  TDBLookupGridEx::KeyValueChanged();
  if (userKeyValueChanged_) InvokeEvent(OnUserKeyValueChange, this);
}

void TPopupDataGridEx::KeyDown(WORD& Key, TShiftState Shift) {
  UserChange mark(this);
  TDBLookupGridEx::KeyDown(Key, Shift);
}

void TPopupDataGridEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  UserChange mark(this);
  TDBLookupGridEx::MouseDown(Button, Shift, X, Y);
}

void TPopupDataGridEx::MouseMove(TShiftState Shift, int X, int Y) {
  UserChange mark(this);
  const bool buttons = Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
  if (!buttons && !mousePressed_) {
    // hot tracking: the row under a mouse that really moved
    const bool moved = lastMouse_ != TPoint(X, Y);
    lastMouse_ = TPoint(X, Y);
    TDBLookupGridEx::MouseMove(Shift, X, Y);
    if (!moved || ReadOnly() || !ListActive() || GridState() != gsNormal) return;
    const TRect spec = SpecRowRect();
    const TRect data = DataRect();
    if (!spec.IsEmpty() && Y >= spec.Top && Y < spec.Bottom) {
      SelectSpecRow();
    } else if (Y >= data.Top && Y < data.Bottom && X >= 0 && X < ClientWidth()) {
      const TGridCoord cell = MouseCoord(X, Y);
      if (cell.Y >= TitleOffset()) SelectRowAt(cell.Y - TitleOffset());
    }
    return;
  }
  TDBLookupGridEx::MouseMove(Shift, X, Y);
}

void TPopupDataGridEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool sizing = GridState() != gsNormal;
  TDBLookupGridEx::MouseUp(Button, Shift, X, Y);
  if (sizing) return;
  const TRect client = ClientRect();
  if (X >= client.Left && X < client.Right && Y >= client.Top && Y < client.Bottom) {
    const TRect spec = SpecRowRect();
    const TRect data = DataRect();
    const bool inRows =
        (!spec.IsEmpty() && Y >= spec.Top && Y < spec.Bottom) || (Y >= data.Top && Y < data.Bottom);
    if (inRows) InvokeEvent(OnMouseCloseUp, this, true);
  } else {
    InvokeEvent(OnMouseCloseUp, this, false);
  }
}

void TPopupDataGridEx::ColumnMoved(int FromIndex, int ToIndex) {
  TDBLookupGridEx::ColumnMoved(FromIndex, ToIndex);
  columnsMoved_ = true;
}

void TPopupDataGridEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCCALCSIZE:
      if (Message.LParam && Ctl3D()) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(r, -1, -1);
      }
      TDBLookupGridEx::Dispatch(Message);
      return;
    case WM_NCPAINT: {
      TDBLookupGridEx::Dispatch(Message);
      if (!Ctl3D()) return;
      HDC dc = GetWindowDC(Handle());
      TScopeExit release([&] { ReleaseDC(Handle(), dc); });
      RECT r;
      GetWindowRect(Handle(), r);
      OffsetRect(r, -r.Left, -r.Top);
      DrawEdge(dc, r, BDR_RAISEDOUTER, BF_RECT);
      return;
    }
    case WM_SIZE:
      TDBLookupGridEx::Dispatch(Message);
      sizeGrip_->UpdatePosition();
      sizeChanged_ = true;
      return;
    case WM_DROPDOWN_GRIPMOVE:
      sizeGrip_->ChangePosition(static_cast<TSizeGripChangePosition>(Message.WParam));
      return;
    default:
      TDBLookupGridEx::Dispatch(Message);
  }
}
