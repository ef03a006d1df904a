#include "grid/DBGridExColumns.h"

#include <algorithm>
#include <cassert>

#include "grid/DBGridExFilter.h"
#include "grid/DBGridExFooters.h"
#include "grid/DBGridExInplace.h"
#include "grid/DBGridExStyle.h"
#include "grid/DBLookupGridEx.h"
#include "platform/rtl/ScopeExit.h"

namespace {

// Runs Work inside the collection's update batch (none without a collection). The batch ends after
// Work as an ordinary call: the change it reports may lay the grid out, which may free the item
// that called, so Work is the last that touches it. When Work fails the batch still ends, and the
// failure is the one reported.
template <class F>
void InCollectionUpdate(TCollection* Collection, F Work) {
  if (!Collection) {
    Work();
    return;
  }
  Collection->BeginUpdate();
  try {
    Work();
  } catch (...) {
    try {
      Collection->EndUpdate();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the first failure is the one to report
    }
    throw;
  }
  Collection->EndUpdate();
}

bool IsNumericType(TFieldType T) {
  static constexpr TFieldType kTypes[] = {ftSmallint, ftInteger, ftWord,     ftFloat, ftCurrency,
                                          ftBCD,      ftAutoInc, ftLargeint, ftFMTBcd};
  return std::find(std::begin(kTypes), std::end(kTypes), T) != std::end(kTypes);
}

bool IsSteppedType(TFieldType T) {
  static constexpr TFieldType kTypes[] = {ftSmallint, ftInteger, ftWord,  ftFloat,
                                          ftCurrency, ftBCD,     ftFMTBcd};
  return std::find(std::begin(kTypes), std::end(kTypes), T) != std::end(kTypes);
}

bool IsDateTimeType(TFieldType T) {
  return T == ftDate || T == ftTime || T == ftDateTime || T == ftTimeStamp;
}

bool IsTextType(TFieldType T) {
  return T == ftString || T == ftMemo || T == ftFmtMemo || T == ftWideString;
}

// A canvas of its own for measuring text in a column's font.
TCanvas* MeasureCanvas() {
  static TBitmap* bitmap = [] {
    auto* b = new TBitmap;  // lives to the end of the program
    b->SetSize(1, 1);
    return b;
  }();
  return bitmap->Canvas();
}

bool ComponentIs(IDBGridExColumnsHost* Grid, TComponentStateFlag Flag) {
  return Grid && Grid->HostComponent() && Grid->HostComponent()->ComponentState().Contains(Flag);
}

// Whether Text is one of the ';'-separated items of List, without regard to case.
bool InSemicolonList(const std::string& List, const std::string& Text) {
  size_t start = 0;
  for (;;) {
    const size_t end = List.find(';', start);
    const std::string item = List.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (AnsiCompareText(item, Text) == 0) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

std::string FirstSemicolonItem(const std::string& List) {
  return List.substr(0, List.find(';'));
}

// The next index of a list of Count items from Index (-1: not found), wrapping at both ends.
int StepIndex(int Index, int Count, bool Forward) {
  if (Forward) return (Index < 0 || Index >= Count - 1) ? 0 : Index + 1;
  return Index <= 0 ? Count - 1 : Index - 1;
}

void SyncFont(TFont* Target, TFont* Source, bool& Guard) {
  if (Target->Name() == Source->Name() && Target->Height() == Source->Height() &&
      Target->Style() == Source->Style() && Target->Color() == Source->Color() &&
      Target->Charset() == Source->Charset() && Target->Pitch() == Source->Pitch())
    return;
  Guard = true;
  TScopeExit done([&] { Guard = false; });
  Target->Assign(Source);
}

}  // namespace

// ---------------------------------------------------------------- TColumnTitleDefValuesEx

TColumnTitleDefValuesEx::TColumnTitleDefValuesEx(TColumnDefValuesEx* AOwner) : owner_(AOwner) {}

TPersistent* TColumnTitleDefValuesEx::GetOwner() const {
  return owner_;
}

IDBGridExColumnsHost* TColumnTitleDefValuesEx::Grid() const {
  return owner_ ? owner_->Grid() : nullptr;
}

void TColumnTitleDefValuesEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnTitleDefValuesEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src->alignmentAssigned_) SetAlignment(src->alignment_);
  if (src->colorAssigned_) SetColor(src->color_);
  SetEndEllipsis(src->endEllipsis_);
  titleButton_ = src->titleButton_;
  toolTips_ = src->toolTips_;
  SetOrientation(src->orientation_);
}

TAlignment TColumnTitleDefValuesEx::Alignment() const {
  if (alignmentAssigned_) return alignment_;
  return Grid() && Grid()->UseMultiTitle() ? taCenter : taLeftJustify;
}

void TColumnTitleDefValuesEx::SetAlignment(TAlignment Value) {
  if (alignmentAssigned_ && alignment_ == Value) return;
  alignment_ = Value;
  alignmentAssigned_ = true;
  if (Grid()) Grid()->EndLayoutPass();
}

bool TColumnTitleDefValuesEx::AlignmentStored() const {
  const bool multi = Grid() && Grid()->UseMultiTitle();
  return alignmentAssigned_ && alignment_ != (multi ? taCenter : taLeftJustify);
}

TColor TColumnTitleDefValuesEx::Color() const {
  if (colorAssigned_) return color_;
  return Grid() ? Grid()->GridFixedColor() : clBtnFace;
}

void TColumnTitleDefValuesEx::SetColor(TColor Value) {
  if (colorAssigned_ && color_ == Value) return;
  color_ = Value;
  colorAssigned_ = true;
  if (Grid()) Grid()->InvalidateGrid();
}

bool TColumnTitleDefValuesEx::ColorStored() const {
  return colorAssigned_ && color_ != (Grid() ? Grid()->GridFixedColor() : clBtnFace);
}

void TColumnTitleDefValuesEx::SetEndEllipsis(bool Value) {
  if (endEllipsis_ == Value) return;
  endEllipsis_ = Value;
  if (Grid()) Grid()->InvalidateGrid();
}

void TColumnTitleDefValuesEx::SetOrientation(TTextOrientationEx Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  if (Grid()) Grid()->EndLayoutPass();
}

// ---------------------------------------------------------------- TColumnDefValuesEx

TColumnDefValuesEx::TColumnDefValuesEx(IDBGridExColumnsHost* AGrid)
    : grid_(AGrid), title_(std::make_unique<TColumnTitleDefValuesEx>(this)) {}

TColumnDefValuesEx::~TColumnDefValuesEx() = default;

void TColumnDefValuesEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnDefValuesEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  title_->Assign(src->title_.get());
  SetAlwaysShowEditButton(src->alwaysShowEditButton_);
  autoDropDown_ = src->autoDropDown_;
  dblClickNextVal_ = src->dblClickNextVal_;
  dropDownShowTitles_ = src->dropDownShowTitles_;
  dropDownSizing_ = src->dropDownSizing_;
  SetEndEllipsis(src->endEllipsis_);
  toolTips_ = src->toolTips_;
}

void TColumnDefValuesEx::SetAlwaysShowEditButton(bool Value) {
  if (alwaysShowEditButton_ == Value) return;
  alwaysShowEditButton_ = Value;
  if (grid_) grid_->InvalidateGrid();
}

void TColumnDefValuesEx::SetEndEllipsis(bool Value) {
  if (endEllipsis_ == Value) return;
  endEllipsis_ = Value;
  if (grid_) grid_->InvalidateGrid();
}

// ---------------------------------------------------------------- TColumnTitleEx

TColumnTitleEx::TColumnTitleEx(TColumnEx* AColumn) : column_(AColumn), font_(std::make_unique<TFont>()) {
  RefreshDefaultFont();
  font_->OnChange = [this](TObject* s) { FontChanged(s); };
}

TColumnTitleEx::~TColumnTitleEx() = default;

TPersistent* TColumnTitleEx::GetOwner() const {
  return column_;
}

bool TColumnTitleEx::Assigned(TColumnExValue V) const {
  return column_->IsAssigned(V);
}

void TColumnTitleEx::Mark(TColumnExValue V) {
  column_->MarkAssigned(V);
}

void TColumnTitleEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnTitleEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src->Assigned(cvTitleAlignment)) SetAlignment(src->Alignment());
  if (src->Assigned(cvTitleColor)) SetColor(src->Color());
  if (src->Assigned(cvTitleCaption)) SetCaption(src->Caption());
  if (src->Assigned(cvTitleFont)) SetFont(src->Font());
  SetTitleButton(src->TitleButton());
  SetSortMarker(src->SortMarker());
  SetEndEllipsis(src->EndEllipsis());
  SetToolTips(src->ToolTips());
  SetOrientation(src->Orientation());
}

TAlignment TColumnTitleEx::DefaultAlignment() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid ? grid->ColumnDefValues()->Title()->Alignment() : taLeftJustify;
}

std::string TColumnTitleEx::DefaultCaption() const {
  TField* f = column_->Field();
  return f ? f->DisplayLabel() : column_->FieldName();
}

TColor TColumnTitleEx::DefaultColor() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid ? grid->ColumnDefValues()->Title()->Color() : clBtnFace;
}

bool TColumnTitleEx::DefaultEndEllipsis() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid && grid->ColumnDefValues()->Title()->EndEllipsis();
}

TTextOrientationEx TColumnTitleEx::DefaultOrientation() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid ? grid->ColumnDefValues()->Title()->Orientation() : tohHorizontal;
}

bool TColumnTitleEx::DefaultTitleButton() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid && grid->ColumnDefValues()->Title()->TitleButton();
}

bool TColumnTitleEx::DefaultToolTips() const {
  IDBGridExColumnsHost* grid = column_->Grid();
  return grid && grid->ColumnDefValues()->Title()->ToolTips();
}

TAlignment TColumnTitleEx::Alignment() const {
  return Assigned(cvTitleAlignment) ? alignment_ : DefaultAlignment();
}

void TColumnTitleEx::SetAlignment(TAlignment Value) {
  if (Assigned(cvTitleAlignment) && alignment_ == Value) return;
  alignment_ = Value;
  Mark(cvTitleAlignment);
  column_->Changed(false);
}

std::string TColumnTitleEx::Caption() const {
  return Assigned(cvTitleCaption) ? caption_ : DefaultCaption();
}

void TColumnTitleEx::SetCaption(const std::string& Value) {
  if (!column_->Persistent()) {
    // a default column writes its caption through to the field
    IDBGridExColumnsHost* grid = column_->Grid();
    if (grid && grid->DataLink() && grid->DataLink()->Active() && column_->Field())
      column_->Field()->SetDisplayLabel(Value);
    return;
  }
  if (Assigned(cvTitleCaption) && caption_ == Value) return;
  caption_ = Value;
  Mark(cvTitleCaption);
  column_->Changed(false);
}

TColor TColumnTitleEx::Color() const {
  return Assigned(cvTitleColor) ? color_ : DefaultColor();
}

void TColumnTitleEx::SetColor(TColor Value) {
  if (Assigned(cvTitleColor) && color_ == Value) return;
  color_ = Value;
  Mark(cvTitleColor);
  column_->Changed(false);
}

bool TColumnTitleEx::EndEllipsis() const {
  return Assigned(cvTitleEndEllipsis) ? endEllipsis_ : DefaultEndEllipsis();
}

void TColumnTitleEx::SetEndEllipsis(bool Value) {
  if (Assigned(cvTitleEndEllipsis) && endEllipsis_ == Value) return;
  endEllipsis_ = Value;
  Mark(cvTitleEndEllipsis);
  column_->Changed(false);
}

void TColumnTitleEx::RefreshDefaultFont() {
  if (Assigned(cvTitleFont)) return;
  IDBGridExColumnsHost* grid = column_->Grid();
  SyncFont(font_.get(), grid ? grid->GridTitleFont() : column_->Font(), syncingFont_);
}

TFont* TColumnTitleEx::Font() const {
  const_cast<TColumnTitleEx*>(this)->RefreshDefaultFont();
  return font_.get();
}

void TColumnTitleEx::FontChanged(TObject* /*Sender*/) {
  if (syncingFont_) return;
  Mark(cvTitleFont);
  column_->Changed(true);
}

void TColumnTitleEx::SetImageIndex(int Value) {
  imageIndex_ = Value;
  if (IDBGridExColumnsHost* grid = column_->Grid()) grid->EndLayoutPass();
}

TTextOrientationEx TColumnTitleEx::Orientation() const {
  return Assigned(cvTitleOrientation) ? orientation_ : DefaultOrientation();
}

void TColumnTitleEx::SetOrientation(TTextOrientationEx Value) {
  if (Assigned(cvTitleOrientation) && orientation_ == Value) return;
  orientation_ = Value;
  Mark(cvTitleOrientation);
  column_->Changed(false);
}

bool TColumnTitleEx::TitleButton() const {
  return Assigned(cvTitleButton) ? titleButton_ : DefaultTitleButton();
}

void TColumnTitleEx::SetTitleButton(bool Value) {
  if (Assigned(cvTitleButton) && titleButton_ == Value) return;
  titleButton_ = Value;
  Mark(cvTitleButton);
  column_->Changed(false);
}

bool TColumnTitleEx::ToolTips() const {
  return Assigned(cvTitleToolTips) ? toolTips_ : DefaultToolTips();
}

void TColumnTitleEx::SetToolTips(bool Value) {
  toolTips_ = Value;
  Mark(cvTitleToolTips);
}

void TColumnTitleEx::SetSortMarker(TSortMarkerEx Value) {
  if (sortMarker_ == Value) return;
  sortMarker_ = Value;
  TDBGridColumnsEx* cols = column_->Columns();
  if (cols && cols->UpdateCount() > 0) return;
  IDBGridExColumnsHost* grid = column_->Grid();
  if (!grid) {
    column_->Changed(false);
    return;
  }
  TColumnsExList& list = grid->SortMarkedColumns();
  if (!grid->OptionsEx().Contains(dghMultiSortMarking)) {
    if (Value != smNoneEx) {
      for (int i = 0; i < cols->Count(); ++i)
        if (cols->Items(i) != column_) cols->Items(i)->Title()->SetSortMarker(smNoneEx);
      sortIndex_ = 1;
      list.clear();
      list.push_back(column_);
    } else {
      sortIndex_ = 0;
      list.clear();
    }
  } else if (Value != smNoneEx) {
    if (sortIndex_ == 0) {
      int marked = 0;
      for (int i = 0; i < cols->Count(); ++i) marked += cols->Items(i)->Title()->SortIndex() != 0;
      sortIndex_ = marked + 1;
      list.push_back(column_);
    }
  } else if (sortIndex_ != 0) {
    for (int i = 0; i < cols->Count(); ++i) {
      TColumnTitleEx* t = cols->Items(i)->Title();
      if (t->sortIndex_ > sortIndex_) --t->sortIndex_;
    }
    std::erase(list, column_);
    sortIndex_ = 0;
  }
  column_->Changed(false);
}

void TColumnTitleEx::SetNextSortMarkerValue(bool KeepMulti) {
  if (!KeepMulti)
    if (TDBGridColumnsEx* cols = column_->Columns())
      for (int i = 0; i < cols->Count(); ++i)
        if (cols->Items(i) != column_) cols->Items(i)->Title()->SetSortMarker(smNoneEx);
  static constexpr TSortMarkerEx kNext[] = {smDownEx, smUpEx, smNoneEx};
  TSortMarkerEx next = kNext[sortMarker_];
  if (next == smNoneEx && !KeepMulti) next = smDownEx;
  SetSortMarker(next);
}

void TColumnTitleEx::SetSortIndex(int Value) {
  Value = std::max(Value, 0);
  if (sortIndex_ == Value) return;
  TDBGridColumnsEx* cols = column_->Columns();
  if (cols && cols->UpdateCount() > 0) {
    sortIndex_ = Value;
    return;
  }
  if (sortMarker_ == smNoneEx || !cols) return;
  TColumnEx* holder = nullptr;
  for (int i = 0; i < cols->Count(); ++i)
    if (cols->Items(i) != column_ && cols->Items(i)->Title()->sortIndex_ == Value && Value != 0)
      holder = cols->Items(i);
  if (!holder) return;
  std::swap(sortIndex_, holder->Title()->sortIndex_);
  if (IDBGridExColumnsHost* grid = column_->Grid()) {
    TColumnsExList& list = grid->SortMarkedColumns();
    auto a = std::find(list.begin(), list.end(), column_);
    auto b = std::find(list.begin(), list.end(), holder);
    if (a != list.end() && b != list.end()) std::iter_swap(a, b);
  }
  column_->Changed(false);
}

void TColumnTitleEx::RestoreDefaults() {
  const bool fontAssigned = Assigned(cvTitleFont);
  for (TColumnExValue v : {cvTitleColor, cvTitleCaption, cvTitleAlignment, cvTitleFont, cvTitleButton,
                           cvTitleEndEllipsis, cvTitleToolTips, cvTitleOrientation})
    column_->UnmarkAssigned(v);
  caption_.clear();
  RefreshDefaultFont();
  column_->Changed(fontAssigned);
}

bool TColumnTitleEx::IsAlignmentStored() const {
  return Assigned(cvTitleAlignment) && alignment_ != DefaultAlignment();
}
bool TColumnTitleEx::IsCaptionStored() const {
  return Assigned(cvTitleCaption) && caption_ != DefaultCaption();
}
bool TColumnTitleEx::IsColorStored() const {
  return Assigned(cvTitleColor) && color_ != DefaultColor();
}
bool TColumnTitleEx::IsFontStored() const {
  return Assigned(cvTitleFont);
}
bool TColumnTitleEx::IsEndEllipsisStored() const {
  return Assigned(cvTitleEndEllipsis) && endEllipsis_ != DefaultEndEllipsis();
}
bool TColumnTitleEx::IsOrientationStored() const {
  return Assigned(cvTitleOrientation) && orientation_ != DefaultOrientation();
}
bool TColumnTitleEx::IsTitleButtonStored() const {
  return Assigned(cvTitleButton) && titleButton_ != DefaultTitleButton();
}
bool TColumnTitleEx::IsToolTipsStored() const {
  return Assigned(cvTitleToolTips) && toolTips_ != DefaultToolTips();
}

// ---------------------------------------------------------------- TColumnDropDownBoxEx

TColumnDropDownBoxEx::TColumnDropDownBoxEx(TColumnEx* AColumn) : TColumnDropDownBoxEx(AColumn, AColumn) {}

TColumnDropDownBoxEx::TColumnDropDownBoxEx(TColumnEx* AColumn, IDropDownGridOwnerEx* AGridOwner)
    : column_(AColumn), gridOwner_(AGridOwner), specRow_(std::make_unique<TSpecRowEx>()) {}

TDBGridColumnsEx* TColumnDropDownBoxEx::Columns() {
  return gridOwner_ ? gridOwner_->DropDownGrid()->Columns() : nullptr;
}

void TColumnDropDownBoxEx::SetColumns(TDBGridColumnsEx* Value) {
  if (TDBGridColumnsEx* own = Columns()) own->Assign(Value);
}

TColumnDefValuesEx* TColumnDropDownBoxEx::ColumnDefValues() {
  return gridOwner_ ? gridOwner_->DropDownGrid()->ColumnDefValues() : nullptr;
}

void TColumnDropDownBoxEx::SetColumnDefValues(TColumnDefValuesEx* Value) {
  if (TColumnDefValuesEx* own = ColumnDefValues()) own->Assign(Value);
}

bool TColumnDropDownBoxEx::ColumnsCustomised() const {
  return gridOwner_ && gridOwner_->DropDownGridMade() &&
         gridOwner_->DropDownGrid()->Columns()->State() == csCustomized;
}

TColumnDropDownBoxEx::~TColumnDropDownBoxEx() = default;

TPersistent* TColumnDropDownBoxEx::GetOwner() const {
  return column_;
}

void TColumnDropDownBoxEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnDropDownBoxEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  sizable_ = src->sizable_;
  showTitles_ = src->showTitles_;
  rows_ = src->rows_;
  width_ = src->width_;
  autoDrop_ = src->autoDrop_;
  align_ = src->align_;
  autoFitColWidths_ = src->autoFitColWidths_;
  useMultiTitle_ = src->useMultiTitle_;
  if (src->ColumnsCustomised()) {
    SetColumns(src->Columns());
  } else if (gridOwner_ && gridOwner_->DropDownGridMade()) {
    Columns()->Clear();
  }
  if (src->gridOwner_ && src->gridOwner_->DropDownGridMade()) SetColumnDefValues(src->ColumnDefValues());
  options_ = src->options_;
  SetListSource(src->listSource_);
}

void TColumnDropDownBoxEx::SetListSource(TDataSource* Value) {
  if (listSource_ == Value) return;
  listSource_ = Value;
  if (!column_) return;
  // the column's grid forgets the source when it goes; a drop-down grid made already lists it
  if (IDBGridExColumnsHost* grid = column_->Grid(); grid && Value)
    Value->FreeNotification(grid->HostComponent());
  if (column_->DropDownGridMade()) column_->DataGrid()->SetListSource(Value);
}

// ---------------------------------------------------------------- TColumnEx

TColumnEx::TColumnEx(TCollection* Collection) : TCollectionItem(nullptr) {
  // the item joins its collection once its parts exist, inside one layout batch of the grid
  auto* cols = dynamic_cast<TDBGridColumnsEx*>(Collection);
  IDBGridExColumnsHost* grid = cols ? cols->Grid() : nullptr;
  const bool began = grid && grid->BeginLayout();
  TScopeExit end([&] {
    if (began) grid->EndLayout();
  });
  font_ = std::make_unique<TFont>();
  font_->OnChange = [this](TObject* s) { FontChanged(s); };
  title_ = CreateTitle();
  footer_ = CreateFooter();
  footers_ = CreateFooters();
  editButtons_ = CreateEditButtons();
  editButtons_->OnChanged = [this](TObject*) { Changed(false); };
  dropDownSpecRow_ = std::make_unique<TSpecRowEx>();
  dropDownSpecRow_->OnChanged = [this](TObject* s) { SpecRowChanged(s); };
  dropDownBox_ = std::make_unique<TColumnDropDownBoxEx>(this);
  mruList_ = std::make_unique<TMRUListEx>();
  stFilter_ = CreateSTFilter();
  imageChangeLink_ = std::make_unique<TChangeLink>();
  imageChangeLink_->OnChange = [this](TObject* sender) {
    if (IDBGridExColumnsHost* g = Grid(); g && sender == imageList_) g->EndLayoutPass();
  };
  SetCollection(Collection);
  RefreshDefaultFont();
  title_->RefreshDefaultFont();
  initWidth_ = Width();
}

TDBLookupGridEx* TColumnEx::DropDownGrid() {
  return DataGrid();
}

TPopupDataGridEx* TColumnEx::DataGrid() {
  if (!dropDownGrid_) {
    dropDownGrid_ = std::make_unique<TPopupDataGridEx>(nullptr);
    dropDownGrid_->SetCtl3D(true);
    if (TDataSource* list = dropDownBox_->ListSource()) dropDownGrid_->SetListSource(list);
  }
  return dropDownGrid_.get();
}

TColumnEx::~TColumnEx() {
  dropDownGrid_.reset();
  LeaveGrid();
  footers_.reset();
  footer_.reset();
}

void TColumnEx::Changed(bool AllItems) {
  IDBGridExColumnsHost* grid = Grid();
  if (!grid) return TCollectionItem::Changed(AllItems);
  grid->ColumnChanged(this, [this, AllItems] { TCollectionItem::Changed(AllItems); });
}

void TColumnEx::LeaveGrid() {
  IDBGridExColumnsHost* grid = Grid();
  if (!grid) return;
  std::erase(grid->SortMarkedColumns(), this);
  grid->ColumnDestroying(this);
  ReleaseSumItems();
}

void TColumnEx::ReleaseSumItems() {
  // the aggregate items live in the grid's sum list
  if (!footer_) return;
  footer_->ReleaseSumItem();
  for (int i = 0; i < footers_->Count(); ++i) footers_->Items(i)->ReleaseSumItem();
}

std::unique_ptr<TColumnFooterEx> TColumnEx::CreateFooter() {
  return std::make_unique<TColumnFooterEx>(this);
}

std::unique_ptr<TColumnFootersEx> TColumnEx::CreateFooters() {
  return std::make_unique<TColumnFootersEx>(this);
}

std::unique_ptr<TSTColumnFilterEx> TColumnEx::CreateSTFilter() {
  return std::make_unique<TSTColumnFilterEx>(this);
}

void TColumnEx::SetFooter(TColumnFooterEx* Value) {
  footer_->Assign(Value);
}

void TColumnEx::SetFooters(TColumnFootersEx* Value) {
  footers_->Assign(Value);
}

void TColumnEx::SetSTFilter(TSTColumnFilterEx* Value) {
  stFilter_->Assign(Value);
}

TColumnFooterEx* TColumnEx::GetFooter(int Row) const {
  if (Row >= 0 && Row < footers_->Count()) return footers_->Items(Row);
  return footer_.get();
}

void TColumnEx::FooterChanged(bool AllItems) {
  Changed(AllItems);
}

void TColumnEx::UpdateSumItems() {
  if (footer_) footer_->UpdateSumItem();
  if (footers_)
    for (int i = 0; i < footers_->Count(); ++i) footers_->Items(i)->UpdateSumItem();
}

std::unique_ptr<TColumnTitleEx> TColumnEx::CreateTitle() {
  return std::make_unique<TColumnTitleEx>(this);
}

std::unique_ptr<TEditButtonsEx> TColumnEx::CreateEditButtons() {
  return std::make_unique<TEditButtonsEx>(nullptr, CollectionItemClass<TVisibleEditButtonEx>);
}

void TColumnEx::SetCollection(TCollection* Value) {
  auto* cols = dynamic_cast<TDBGridColumnsEx*>(Value);
  const bool regrid = footer_ && (cols ? cols->Grid() : nullptr) != Grid();
  // the aggregate items go with the old grid, come with the new one
  if (regrid) ReleaseSumItems();
  columns_ = cols;
  TCollectionItem::SetCollection(Value);
  if (regrid) UpdateSumItems();
}

TDBGridColumnsEx* TColumnEx::Columns() const {
  return columns_;
}

IDBGridExColumnsHost* TColumnEx::Grid() const {
  TDBGridColumnsEx* cols = Columns();
  return cols ? cols->Grid() : nullptr;
}

std::string TColumnEx::GetDisplayName() const {
  return fieldName_.empty() ? TCollectionItem::GetDisplayName() : fieldName_;
}

void TColumnEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnEx*>(Source);
  if (!src) {
    TCollectionItem::Assign(Source);
    return;
  }
  InCollectionUpdate(Collection(), [&] {
    RestoreDefaults();
    SetFieldName(src->FieldName());
    if (src->IsAssigned(cvColor)) SetColor(src->Color());
    if (src->IsAssigned(cvWidth)) SetWidth(src->Width());
    if (src->IsAssigned(cvFont)) SetFont(src->Font());
    if (src->IsAssigned(cvImeMode)) SetImeMode(src->ImeMode());
    if (src->IsAssigned(cvImeName)) SetImeName(src->ImeName());
    if (src->IsAssigned(cvAlignment)) SetAlignment(src->Alignment());
    if (src->IsAssigned(cvReadOnly)) SetReadOnly(src->ReadOnly());
    title_->Assign(src->Title());
    SetDropDownRows(src->DropDownRows());
    SetButtonStyle(src->ButtonStyle());
    SetPickList(src->pickList_.get());
    SetPopupMenu(src->PopupMenu());
    initWidth_ = src->initWidth_;
    autoFitColWidth_ = src->autoFitColWidth_;
    if (src->IsAssigned(cvWordWrap)) SetWordWrap(src->WordWrap());
    SetEndEllipsis(src->EndEllipsis());
    SetDropDownWidth(src->DropDownWidth());
    if (src->IsAssigned(cvLookupDisplayFields)) SetLookupDisplayFields(src->LookupDisplayFields());
    SetAutoDropDown(src->AutoDropDown());
    SetAlwaysShowEditButton(src->AlwaysShowEditButton());
    wordWrap_ = src->WordWrap();  // a second time, unconditionally: it becomes assigned
    MarkAssigned(cvWordWrap);
    footer_->Assign(src->Footer());
    SetKeyList(src->keyList_.get());
    if (src->IsAssigned(cvCheckboxes)) SetCheckboxes(src->Checkboxes());
    SetIncrement(src->Increment());
    SetToolTips(src->ToolTips());
    footers_->Assign(src->Footers());
    SetTag(src->Tag());
    SetVisible(src->Visible());
    SetImageList(src->ImageList());
    SetNotInKeyListIndex(src->NotInKeyListIndex());
    SetMinWidth(src->MinWidth());
    SetMaxWidth(src->MaxWidth());
    SetDblClickNextVal(src->DblClickNextVal());
    SetDropDownSizing(src->DropDownSizing());
    SetDropDownShowTitles(src->DropDownShowTitles());
    OnGetCellParams = src->OnGetCellParams;
    OnNotInList = src->OnNotInList;
    OnUpdateData = src->OnUpdateData;
    OnEditButtonClick = src->OnEditButtonClick;
    OnEditButtonDown = src->OnEditButtonDown;
    editButtons_->Assign(src->EditButtons());
    dropDownBox_->Assign(src->DropDownBox());
    mruList_->Assign(src->MRUList());
    SetDisplayFormat(src->DisplayFormat());
    SetEditMask(src->EditMask());
  });
}

void TColumnEx::SetIndex(int Value) {
  IDBGridExColumnsHost* grid = Grid();
  if (!persistent_ && grid && grid->DataLink() && grid->DataLink()->Active())
    if (TField* own = Field(); own && Value >= 0)
      if (TField* target = grid->DataLink()->GetMappedField(Value)) own->SetIndex(target->Index());
  TCollectionItem::SetIndex(Value);
}

// ---- field binding

TField* TColumnEx::Field() const {
  IDBGridExColumnsHost* grid = Grid();
  // through a closed dataset or a disabled data source the column finds no field
  if (!field_ && !fieldName_.empty() && grid && grid->DataLink() && grid->DataLink()->Active()) {
    if (TField* found = grid->DataLink()->DataSet()->FindField(fieldName_)) {
      WatchField(found);
      field_ = found;
      auto* self = const_cast<TColumnEx*>(this);
      self->fieldName_ = found->FieldName();
      self->UpdateSumItems();  // the footers follow the field's own spelling
    }
  }
  return field_;
}

void TColumnEx::WatchField(TField* Value) const {
  // the grid forgets the field in every column when it goes (its Notification)
  if (IDBGridExColumnsHost* grid = Grid(); grid && Value) Value->FreeNotification(grid->HostComponent());
}

void TColumnEx::SetField(TField* Value) {
  if (field_ == Value) return;
  if (IDBGridExColumnsHost* grid = Grid()) grid->ColumnFieldChanging(this);
  AssignField(Value);
}

void TColumnEx::AssignField(TField* Value) {
  if (field_ == Value) return;
  // a default column whose field changes may be freed by the layout that follows (the grid makes
  // its default columns from the fields): the layout runs when this is done
  InCollectionUpdate(!persistent_ ? Collection() : nullptr, [&] {
    WatchField(Value);
    field_ = Value;
    if (Value) {
      fieldName_ = Value->FieldName();
    } else if (!persistent_) {
      fieldName_.clear();
      RestoreDefaults();
      initWidth_ = Width();
    }
    UpdateSumItems();
    Changed(false);
  });
}

void TColumnEx::SetFieldName(const std::string& Value) {
  TField* found = nullptr;
  IDBGridExColumnsHost* grid = Grid();
  if (grid && grid->DataLink() && grid->DataLink()->DataSet() && !ComponentIs(grid, csLoading) &&
      !Value.empty())
    found = grid->DataLink()->DataSet()->FindField(Value);
  // before the name changes: a column whose field is not found yet would find the new one by it
  if (grid && found != Field()) grid->ColumnFieldChanging(this);
  InCollectionUpdate(!persistent_ ? Collection() : nullptr, [&] {  // see SetField
    fieldName_ = Value;
    AssignField(found);
    initWidth_ = Width();
    UpdateSumItems();  // footers without a field name of their own sum the column's field
    Changed(false);
  });
}

TDataSet* TColumnEx::LookupDataSet() const {
  if (dropDownBox_->ListSource() && dropDownBox_->ListSource()->DataSet())
    return dropDownBox_->ListSource()->DataSet();
  TField* f = Field();
  return f && f->Lookup() ? f->LookupDataSet() : nullptr;
}

// ---- assigned-or-inherited properties

TColor TColumnEx::DefaultColor() const {
  IDBGridExColumnsHost* grid = Grid();
  return grid ? grid->GridColor() : clWindow;
}

TColor TColumnEx::Color() const {
  return IsAssigned(cvColor) ? color_ : DefaultColor();
}

void TColumnEx::SetColor(TColor Value) {
  if (IsAssigned(cvColor) && color_ == Value) return;
  color_ = Value;
  MarkAssigned(cvColor);
  Changed(false);
}

bool TColumnEx::IsColorStored() const {
  return IsAssigned(cvColor) && color_ != DefaultColor();
}

TFont* TColumnEx::DefaultFont() const {
  IDBGridExColumnsHost* grid = Grid();
  return grid ? grid->GridFont() : font_.get();
}

void TColumnEx::RefreshDefaultFont() {
  if (IsAssigned(cvFont)) return;
  if (IDBGridExColumnsHost* grid = Grid()) SyncFont(font_.get(), grid->GridFont(), syncingFont_);
}

TFont* TColumnEx::Font() const {
  const_cast<TColumnEx*>(this)->RefreshDefaultFont();
  return font_.get();
}

void TColumnEx::FontChanged(TObject* /*Sender*/) {
  if (syncingFont_) return;
  MarkAssigned(cvFont);
  title_->RefreshDefaultFont();
  Changed(false);
}

bool TColumnEx::IsFontStored() const {
  return IsAssigned(cvFont);
}

TAlignment TColumnEx::DefaultAlignment() const {
  TField* f = Field();
  return f ? f->Alignment() : taLeftJustify;
}

TAlignment TColumnEx::Alignment() const {
  return IsAssigned(cvAlignment) ? alignment_ : DefaultAlignment();
}

void TColumnEx::SetAlignment(TAlignment Value) {
  if (!persistent_) {
    IDBGridExColumnsHost* grid = Grid();
    if (grid && grid->DataLink() && grid->DataLink()->Active() && Field()) Field()->SetAlignment(Value);
    return;
  }
  if (IsAssigned(cvAlignment) && alignment_ == Value) return;
  alignment_ = Value;
  MarkAssigned(cvAlignment);
  Changed(false);
}

bool TColumnEx::IsAlignmentStored() const {
  return IsAssigned(cvAlignment) && alignment_ != DefaultAlignment();
}

bool TColumnEx::DefaultReadOnly() const {
  IDBGridExColumnsHost* grid = Grid();
  if (grid && grid->GridReadOnly()) return true;
  TField* f = Field();
  return f && f->ReadOnly();
}

bool TColumnEx::ReadOnly() const {
  return IsAssigned(cvReadOnly) ? readOnly_ : DefaultReadOnly();
}

void TColumnEx::SetReadOnly(bool Value) {
  IDBGridExColumnsHost* grid = Grid();
  if (!persistent_ && grid && grid->DataLink() && grid->DataLink()->Active() && Field()) {
    Field()->SetReadOnly(Value);
    return;
  }
  if (IsAssigned(cvReadOnly) && readOnly_ == Value) return;
  readOnly_ = Value;
  MarkAssigned(cvReadOnly);
  Changed(false);
}

bool TColumnEx::IsReadOnlyStored() const {
  return IsAssigned(cvReadOnly) && readOnly_ != DefaultReadOnly();
}

bool TColumnEx::DefaultWordWrap() const {
  TField* f = Field();
  return f && IsTextType(f->DataType());
}

bool TColumnEx::WordWrap() const {
  return IsAssigned(cvWordWrap) ? wordWrap_ : DefaultWordWrap();
}

void TColumnEx::SetWordWrap(bool Value) {
  if (!ComponentIs(Grid(), csLoading)) {
    if (IsAssigned(cvWordWrap) && wordWrap_ == Value) return;
    if (!IsAssigned(cvWordWrap) && Value == DefaultWordWrap()) {
      Changed(false);
      return;
    }
  }
  wordWrap_ = Value;
  MarkAssigned(cvWordWrap);
  Changed(false);
}

bool TColumnEx::IsWordWrapStored() const {
  return IsAssigned(cvWordWrap) && wordWrap_ != DefaultWordWrap();
}

std::string TColumnEx::DefaultLookupDisplayFields() const {
  TField* f = Field();
  return f ? f->LookupResultField() : std::string();
}

std::string TColumnEx::LookupDisplayFields() const {
  return IsAssigned(cvLookupDisplayFields) ? lookupDisplayFields_ : DefaultLookupDisplayFields();
}

void TColumnEx::SetLookupDisplayFields(const std::string& Value) {
  if (IsAssigned(cvLookupDisplayFields) && lookupDisplayFields_ == Value) return;
  if (IsAssigned(cvLookupDisplayFields) || Value != DefaultLookupDisplayFields()) {
    lookupDisplayFields_ = Value;
    MarkAssigned(cvLookupDisplayFields);
  }
  // a drop-down grid made already shows the new fields
  if (dropDownGrid_ && !dropDownGrid_->LookupMode()) dropDownGrid_->SetListField(Value);
  Changed(false);
}

bool TColumnEx::DefaultCheckboxes() const {
  TField* f = Field();
  return f && f->DataType() == ftBoolean;
}

bool TColumnEx::Checkboxes() const {
  return IsAssigned(cvCheckboxes) ? checkboxes_ : DefaultCheckboxes();
}

void TColumnEx::SetCheckboxes(bool Value) {
  if (IsAssigned(cvCheckboxes) && checkboxes_ == Value) return;
  checkboxes_ = Value;
  MarkAssigned(cvCheckboxes);
  Changed(false);
}

bool TColumnEx::IsCheckboxesStored() const {
  return IsAssigned(cvCheckboxes);
}

TImeMode TColumnEx::ImeMode() const {
  return imeMode_;
}

void TColumnEx::SetImeMode(TImeMode Value) {
  if (IsAssigned(cvImeMode) && imeMode_ == Value) return;
  imeMode_ = Value;
  MarkAssigned(cvImeMode);
  Changed(false);
}

std::string TColumnEx::ImeName() const {
  return imeName_;
}

void TColumnEx::SetImeName(const std::string& Value) {
  if (IsAssigned(cvImeName) && imeName_ == Value) return;
  imeName_ = Value;
  MarkAssigned(cvImeName);
  Changed(false);
}

// The Boolean properties whose default is the grid's column defaults.
#define TALVIK_GRID_DEFAULT_BOOL(Name, member, bit, notify) \
  bool TColumnEx::Name() const {                            \
    if (IsAssigned(bit)) return member;                     \
    IDBGridExColumnsHost* grid = Grid();                    \
    return grid && grid->ColumnDefValues()->Name();         \
  }                                                         \
  void TColumnEx::Set##Name(bool Value) {                   \
    if (IsAssigned(bit) && member == Value) return;         \
    member = Value;                                         \
    MarkAssigned(bit);                                      \
    if (notify) Changed(false);                             \
  }

TALVIK_GRID_DEFAULT_BOOL(AlwaysShowEditButton, alwaysShowEditButton_, cvAlwaysShowEditButton, true)
TALVIK_GRID_DEFAULT_BOOL(EndEllipsis, endEllipsis_, cvEndEllipsis, true)
TALVIK_GRID_DEFAULT_BOOL(AutoDropDown, autoDropDown_, cvAutoDropDown, false)
TALVIK_GRID_DEFAULT_BOOL(DblClickNextVal, dblClickNextVal_, cvDblClickNextVal, false)
TALVIK_GRID_DEFAULT_BOOL(ToolTips, toolTips_, cvToolTips, false)
TALVIK_GRID_DEFAULT_BOOL(DropDownSizing, dropDownSizing_, cvDropDownSizing, false)
TALVIK_GRID_DEFAULT_BOOL(DropDownShowTitles, dropDownShowTitles_, cvDropDownShowTitles, false)
#undef TALVIK_GRID_DEFAULT_BOOL

// ---- plain properties

void TColumnEx::SetAutoFitColWidth(bool Value) {
  autoFitColWidth_ = Value;
  IDBGridExColumnsHost* grid = Grid();
  if (grid && grid->AutoFitColWidths() && !ComponentIs(grid, csLoading) && !ComponentIs(grid, csDesigning))
    StoreWidth(initWidth_);
  Changed(false);
}

void TColumnEx::SetButtonStyle(TColumnButtonStyleEx Value) {
  if (buttonStyle_ == Value) return;
  buttonStyle_ = Value;
  Changed(false);
}

void TColumnEx::SetDisplayFormat(const std::string& Value) {
  if (displayFormat_ == Value) return;
  displayFormat_ = Value;
  Changed(false);
}

void TColumnEx::SetDropDownWidth(int Value) {
  if (dropDownWidth_ == Value) return;
  dropDownWidth_ = Value;
  Changed(false);
}

void TColumnEx::SetEditMask(const std::string& Value) {
  if (editMask_ == Value) return;
  editMask_ = Value;
  Changed(false);
}

void TColumnEx::SetVisible(bool Value) {
  if (visible_ == Value) return;
  if (!Value)
    if (IDBGridExColumnsHost* grid = Grid()) grid->ColumnHiding(this);
  visible_ = Value;
  Changed(true);
}

TStrings* TColumnEx::KeyList() const {
  if (!keyList_) keyList_ = std::make_unique<TStringList>();
  return keyList_.get();
}

void TColumnEx::SetKeyList(TStrings* Value) {
  if (!Value) {
    keyList_.reset();
  } else {
    KeyList()->Assign(Value);
  }
  if (IDBGridExColumnsHost* grid = Grid()) grid->InvalidateGrid();
}

TStrings* TColumnEx::PickList() const {
  if (!pickList_) pickList_ = std::make_unique<TStringList>();
  return pickList_.get();
}

void TColumnEx::SetPickList(TStrings* Value) {
  if (!Value) {
    pickList_.reset();
  } else {
    PickList()->Assign(Value);
  }
}

void TColumnEx::SetNotInKeyListIndex(int Value) {
  if (notInKeyListIndex_ == Value) return;
  notInKeyListIndex_ = Value;
  if (IDBGridExColumnsHost* grid = Grid()) grid->InvalidateGrid();
}

void TColumnEx::SetImageList(TCustomImageList* Value) {
  if (imageList_ == Value) return;
  // a list that is going has let go of the link already
  if (imageList_ && imageChangeLink_->Sender() == imageList_)
    imageList_->UnRegisterChanges(imageChangeLink_.get());
  imageList_ = Value;
  IDBGridExColumnsHost* grid = Grid();
  if (imageList_) {
    imageList_->RegisterChanges(imageChangeLink_.get());
    if (grid) imageList_->FreeNotification(grid->HostComponent());
  }
  if (grid) grid->InvalidateGrid();
}

void TColumnEx::SetPopupMenu(TPopupMenu* Value) {
  popupMenu_ = Value;
  IDBGridExColumnsHost* grid = Grid();
  if (popupMenu_ && grid) popupMenu_->FreeNotification(grid->HostComponent());
}

void TColumnEx::SetOnGetCellParams(TGetColCellParamsEventEx Value) {
  const bool had = static_cast<bool>(OnGetCellParams);
  OnGetCellParams = std::move(Value);
  if ((had || OnGetCellParams) && Grid()) Grid()->InvalidateGrid();
}

void TColumnEx::SetMinWidth(int Value) {
  minWidth_ = Value;
  if (Value > 0 && Width() < Value) SetWidth(Value);
}

void TColumnEx::SetMaxWidth(int Value) {
  maxWidth_ = Value;
  if (Value > 0 && Width() > Value) SetWidth(Value);
}

void TColumnEx::SpecRowChanged(TObject* /*Sender*/) {
  Changed(false);
  if (dropDownGrid_) dropDownGrid_->SpecRow()->Assign(dropDownSpecRow_.get());
}

// ---- width

int TColumnEx::DefaultWidth() const {
  IDBGridExColumnsHost* grid = Grid();
  if (!grid) return 64;
  TField* f = Field();
  if (!f) return grid->DefaultColWidth();
  TCanvas* canvas = MeasureCanvas();
  canvas->Font()->Assign(Font());
  TEXTMETRIC tm;
  GetTextMetrics(canvas->Handle(), tm);
  const int zero = canvas->TextWidth("0");
  return (zero - tm.tmOverhang) * f->DisplayWidth() + tm.tmOverhang + 4;
}

int TColumnEx::Width() const {
  return IsAssigned(cvWidth) ? width_ : DefaultWidth();
}

bool TColumnEx::IsWidthStored() const {
  return IsAssigned(cvWidth);
}

void TColumnEx::SetWidth(int Value) {
  IDBGridExColumnsHost* grid = Grid();
  if (!persistent_ && grid) {
    TField* f = Field();
    if (grid->GridHandleAllocated() && f && grid->StoreColWidthToField()) {
      TCanvas* canvas = MeasureCanvas();
      canvas->Font()->Assign(Font());
      TEXTMETRIC tm;
      GetTextMetrics(canvas->Handle(), tm);
      const int zero = std::max(1, canvas->TextWidth("0"));
      f->SetDisplayWidth((tm.tmAveCharWidth / 2 + Value - tm.tmOverhang - 3) / zero);
    }
    if (grid->LayoutFromDataSet() && !IsAssigned(cvWidth)) return;
  }
  StoreWidth(Value);
}

void TColumnEx::StoreWidth(int Value) {
  if (!IsAssigned(cvWidth) && Value == DefaultWidth()) {
    Changed(false);
    return;
  }
  if (Value != -1) {
    width_ = Value;
    MarkAssigned(cvWidth);
    if (maxWidth_ >= 1 && width_ > maxWidth_) width_ = maxWidth_;
    if (width_ < minWidth_) width_ = minWidth_;
  }
  Changed(false);
}

// ---- defaults

void TColumnEx::RestoreDefaults() {
  title_->RestoreDefaults();
  const bool fontAssigned = IsAssigned(cvFont);
  assigned_ = {};
  RefreshDefaultFont();
  pickList_.reset();
  keyList_.reset();
  buttonStyle_ = cbsAuto;
  Changed(fontAssigned);
}

// ---- values

TColumnEhType TColumnEx::GetColumnType() const {
  if (Checkboxes()) return ctCheckboxes;
  TField* f = Field();
  if (f && f->Lookup()) return ctLookupField;
  if (HasPickList() && !HasKeyList()) return ctPickList;
  if (HasKeyList() && imageList_) return ctKeyImageList;
  if (HasKeyList() && pickList_) return ctKeyPickList;
  return ctCommon;
}

std::string TColumnEx::GetDisplayText() {
  TField* f = Field();
  if (!f || GetColumnType() == ctKeyImageList) return {};
  if (HasKeyList()) {
    const int i = keyList_->IndexOf(f->Text());
    const int picks = pickList_ ? pickList_->Count() : 0;
    if (i >= 0 && i < picks) return pickList_->Strings(i);
    if (notInKeyListIndex_ >= 0 && notInKeyListIndex_ < picks) return pickList_->Strings(notInKeyListIndex_);
    return {};
  }
  IDBGridExColumnsHost* grid = Grid();
  if (grid && grid->DrawMemoText() && f->DataType() == ftMemo) return f->AsString();
  if (f->Lookup() && dropDownSpecRow_->Visible()) {
    const TVariant key = f->DataSet()->FieldValues(f->KeyFields());
    if (VarEquals(key, dropDownSpecRow_->Value()) || (dropDownSpecRow_->ShowIfNotInKeyList() && f->IsNull()))
      return dropDownSpecRow_->GetCellText(0);
  }
  // a format shows numbers and dates only
  if (!displayFormat_.empty() && !IsNumericType(f->DataType()) && !IsDateTimeType(f->DataType())) return {};
  return FieldTextByFormat(f, displayFormat_);
}

std::string FieldTextByFormat(TField* Field, const std::string& DisplayFormat) {
  if (DisplayFormat.empty()) return Field->DisplayText();
  if (Field->IsNull()) return {};
  if (IsNumericType(Field->DataType())) return FormatFloat(DisplayFormat, Field->AsFloat());
  if (IsDateTimeType(Field->DataType())) return FormatDateTime(DisplayFormat, Field->AsDateTime());
  return Field->DisplayText();
}

int TColumnEx::GetImageIndex() {
  TField* f = Field();
  if (GetColumnType() != ctKeyImageList || !f) return -1;
  const int i = keyList_->IndexOf(f->Text());
  return i >= 0 ? i : notInKeyListIndex_;
}

TCheckBoxState TColumnEx::GetCheckboxState() {
  TField* f = Field();
  if (!f) return cbUnchecked;
  if (f->IsNull()) return cbGrayed;
  if (f->DataType() == ftBoolean) return f->AsBoolean() ? cbChecked : cbUnchecked;
  const std::string text = f->Text();
  TStrings* keys = KeyList();
  if (keys->Count() > 0 && InSemicolonList(keys->Strings(0), text)) return cbChecked;
  if (keys->Count() < 2) return cbGrayed;
  return InSemicolonList(keys->Strings(1), text) ? cbUnchecked : cbGrayed;
}

void TColumnEx::SetCheckboxState(TCheckBoxState Value) {
  TField* f = Field();
  if (!f) return;
  if (Value == cbGrayed) {
    UpdateData({}, Null(), false);
    return;
  }
  if (f->DataType() == ftBoolean) {
    UpdateData({}, TVariant(Value == cbChecked), false);
    return;
  }
  const int line = Value == cbChecked ? 0 : 1;
  TStrings* keys = KeyList();
  const std::string text = line < keys->Count() ? FirstSemicolonItem(keys->Strings(line)) : std::string();
  UpdateData(text, TVariant(text), true);
}

bool TColumnEx::CanModify(bool TryEdit) {
  IDBGridExColumnsHost* grid = Grid();
  if (!grid || grid->GridReadOnly()) return false;
  TGridDataLinkEx* link = grid->DataLink();
  if (!link || !link->Active() || link->ReadOnly() || ReadOnly()) return false;
  TField* f = Field();
  if (!f) return false;
  if (f->Lookup()) {
    if (f->KeyFields().empty()) return false;
    std::vector<TField*> keys;
    try {
      keys = GetFieldsArray(f->DataSet(), f->KeyFields());
    } catch (const Exception&) {
      return false;
    }
    if (keys.empty() || !AllFieldsCanModify(keys)) return false;
    f = keys.front();
  }
  if (!f->CanModify()) return false;
  if (f->IsBlob() && !f->OnSetText && !(f->DataType() == ftMemo && grid->DrawMemoText())) return false;
  if (!grid->AllowedOperationsCheck()) return false;
  if (!TryEdit) return true;
  // the record goes into edit; the grid's edit text counts as changed only once the editor changes it
  // (a write of the column's own, a check box's for one, leaves nothing of the editor to write)
  link->Edit();
  return link->Editing();
}

void TColumnEx::UpdateData(std::string Text, TVariant Value, bool UseText) {
  bool handled = false;
  if (OnUpdateData) {
    auto handler = OnUpdateData;  // kept alive for the call
    handler(this, Text, Value, UseText, handled);
  }
  TField* f = Field();
  if (!handled && f) {
    IDBGridExColumnsHost* grid = Grid();
    if (UseText) {
      if (f->DataType() == ftMemo && grid && grid->DrawMemoText()) {
        f->SetAsString(Text);
      } else {
        f->SetText(Text);
      }
    } else if (f->Lookup()) {
      SetFieldsValues(f->DataSet(), f->KeyFields(), Value);
    } else {
      f->SetValue(Value);
    }
  }
  IDBGridExColumnsHost* grid = Grid();
  if (mruList_->Active() && mruList_->AutoAdd() && grid && grid->EditorShowing()) mruList_->Add(Text);
}

void TColumnEx::SetNextFieldValue(double AIncrement) {
  if (!CanModify(true)) return;
  TField* f = Field();
  const bool forward = AIncrement == 1;
  switch (GetColumnType()) {
    case ctKeyPickList:
    case ctKeyImageList: {
      TStrings* keys = KeyList();
      const int i = StepIndex(keys->IndexOf(f->Text()), keys->Count(), forward);
      const std::string key = keys->Strings(i);
      UpdateData(key, TVariant(key), false);
      return;
    }
    case ctPickList: {
      TStrings* picks = PickList();
      const int i = StepIndex(picks->IndexOf(f->Text()), picks->Count(), forward);
      const std::string text = picks->Strings(i);
      UpdateData(text, TVariant(text), true);
      return;
    }
    case ctCheckboxes:
      SetCheckboxState(GetCheckboxState() == cbChecked ? cbUnchecked : cbChecked);
      return;
    case ctLookupField: {
      TDataSet* lds = LookupDataSet();
      if (!lds) return;
      const TVariant key = f->DataSet()->FieldValues(f->KeyFields());
      if (VarIsNull(key) || !lds->Locate(f->LookupKeyFields(), key, {})) {
        lds->First();
      } else if (forward) {
        if (!lds->Eof()) lds->Next();
        if (lds->Eof()) lds->First();
      } else {
        if (!lds->Bof()) lds->Prior();
        if (lds->Bof()) lds->Last();
      }
      const TVariant next = lds->FieldValues(f->LookupKeyFields());
      UpdateData(VarToStr(next), next, false);
      // the cell shows the list's text at once, also for a list other than the field's own
      if (TField* result = lds->FindField(f->LookupResultField())) f->SetText(result->Text());
      return;
    }
    case ctCommon:
      break;
  }
  if (!IsSteppedType(f->DataType())) return;
  const double base = f->IsNull() ? -AIncrement : f->AsFloat();
  const TVariant value(base + AIncrement);
  UpdateData(VarToStr(value), value, false);
}

bool TColumnEx::HasMainButton() {
  switch (buttonStyle_) {
    case cbsEllipsis:
    case cbsUpDown:
    case cbsDropDown:
      return true;
    case cbsNone:
      return false;
    case cbsAuto:
      break;
  }
  TField* f = Field();
  if (!f) return false;
  IDBGridExColumnsHost* grid = Grid();
  if (f->Lookup()) {
    if (f->KeyFields().empty() || (IsAssigned(cvReadOnly) && readOnly_) || !grid || grid->GridReadOnly())
      return false;
    TGridDataLinkEx* link = grid->DataLink();
    if (!link || !link->Active() || link->ReadOnly()) return false;
    try {
      return AllFieldsCanModify(GetFieldsArray(f->DataSet(), f->KeyFields()));
    } catch (const Exception&) {
      return false;
    }
  }
  if (HasPickList()) return !ReadOnly() && !imageList_;
  return (f->DataType() == ftDate || f->DataType() == ftDateTime || f->DataType() == ftTimeStamp) &&
         !ReadOnly();
}

int TColumnEx::EditButtonsWidth() {
  IDBGridExColumnsHost* grid = Grid();
  const bool flat = grid && grid->GridFlat();
  const int standard = flat ? GetDefaultFlatButtonWidth() : GetSystemMetrics(SM_CXVSCROLL);
  int width = HasMainButton() ? standard + (flat ? 1 : 0) : 0;
  for (int i = 0; i < editButtons_->Count(); ++i) {
    TEditButtonEx* b = editButtons_->Items(i);
    if (b->Visible()) width += (b->Width() > 0 ? b->Width() : standard) + (flat ? 1 : 0);
  }
  return width;
}

void TColumnEx::GetColCellParams(bool EditMode, TColCellParamsEx* Params) {
  if (OnGetCellParams) {
    auto handler = OnGetCellParams;
    handler(this, EditMode, Params);
  }
}

void TColumnEx::FillColCellParams(TColCellParamsEx* Params) {
  Params->Col = -1;
  Params->Row = -1;
  Params->State = 0;
  Params->Font = Font();
  Params->Background = Color();
  Params->Alignment = Alignment();
  Params->ImageIndex = GetImageIndex();
  Params->Text = GetDisplayText();
  Params->CheckboxState = GetCheckboxState();
  Params->ReadOnly = ReadOnly();
}

// ---- streaming

void TColumnEx::DefineProperties(TFiler* Filer) {
  TCollectionItem::DefineProperties(Filer);
  using TRead = std::function<void(TReader*)>;
  using TWrite = std::function<void(TWriter*)>;
  struct Prop {
    const char* Name;
    TRead Read;
    TWrite Write;
    bool Stored;
  };
  auto str = [](std::function<void(const std::string&)> set) -> TRead {
    return [set](TReader* r) { set(r->ReadString()); };
  };
  auto num = [](std::function<void(int)> set) -> TRead {
    return [set](TReader* r) { set(r->ReadInteger()); };
  };
  auto flag = [](std::function<void(bool)> set) -> TRead {
    return [set](TReader* r) { set(r->ReadBoolean()); };
  };
  TColumnTitleEx* t = title_.get();
  TSTColumnFilterEx* sf = stFilter_.get();
  const Prop props[] = {
      {"FieldName", str([this](const std::string& v) { SetFieldName(v); }),
       [this](TWriter* w) { w->WriteString(fieldName_); }, !fieldName_.empty()},
      {"Alignment", num([this](int v) { SetAlignment(static_cast<TAlignment>(v)); }),
       [this](TWriter* w) { w->WriteInteger(alignment_); }, IsAlignmentStored()},
      {"ButtonStyle", num([this](int v) { SetButtonStyle(static_cast<TColumnButtonStyleEx>(v)); }),
       [this](TWriter* w) { w->WriteInteger(buttonStyle_); }, buttonStyle_ != cbsAuto},
      {"Checkboxes", flag([this](bool v) { SetCheckboxes(v); }),
       [this](TWriter* w) { w->WriteBoolean(checkboxes_); }, IsCheckboxesStored()},
      {"Color", num([this](int v) { SetColor(v); }), [this](TWriter* w) { w->WriteInteger(color_); },
       IsColorStored()},
      {"DisplayFormat", str([this](const std::string& v) { SetDisplayFormat(v); }),
       [this](TWriter* w) { w->WriteString(displayFormat_); }, !displayFormat_.empty()},
      {"DropDownRows", num([this](int v) { SetDropDownRows(static_cast<unsigned>(v)); }),
       [this](TWriter* w) { w->WriteInteger(dropDownRows_); }, dropDownRows_ != 7},
      {"DropDownWidth", num([this](int v) { SetDropDownWidth(v); }),
       [this](TWriter* w) { w->WriteInteger(dropDownWidth_); }, dropDownWidth_ != 0},
      {"EditMask", str([this](const std::string& v) { SetEditMask(v); }),
       [this](TWriter* w) { w->WriteString(editMask_); }, !editMask_.empty()},
      {"Increment", [this](TReader* r) { SetIncrement(r->ReadFloat()); },
       [this](TWriter* w) { w->WriteFloat(increment_); }, IsIncrementStored()},
      {"KeyList.Strings", str([this](const std::string& v) { KeyList()->SetText(v); }),
       [this](TWriter* w) { w->WriteString(keyList_->Text()); }, HasKeyList()},
      {"MaxWidth", num([this](int v) { SetMaxWidth(v); }), [this](TWriter* w) { w->WriteInteger(maxWidth_); },
       maxWidth_ != 0},
      {"MinWidth", num([this](int v) { SetMinWidth(v); }), [this](TWriter* w) { w->WriteInteger(minWidth_); },
       minWidth_ != 0},
      {"NotInKeyListIndex", num([this](int v) { SetNotInKeyListIndex(v); }),
       [this](TWriter* w) { w->WriteInteger(notInKeyListIndex_); }, notInKeyListIndex_ != -1},
      {"PickList.Strings", str([this](const std::string& v) { PickList()->SetText(v); }),
       [this](TWriter* w) { w->WriteString(pickList_->Text()); }, HasPickList()},
      {"ReadOnly", flag([this](bool v) { SetReadOnly(v); }),
       [this](TWriter* w) { w->WriteBoolean(readOnly_); }, IsReadOnlyStored()},
      {"Tag", num([this](int v) { SetTag(v); }), [this](TWriter* w) { w->WriteInteger(tag_); }, tag_ != 0},
      {"Title.Alignment", num([t](int v) { t->SetAlignment(static_cast<TAlignment>(v)); }),
       [t](TWriter* w) { w->WriteInteger(t->Alignment()); }, t->IsAlignmentStored()},
      {"Title.Caption", str([t](const std::string& v) { t->SetCaption(v); }),
       [t](TWriter* w) { w->WriteString(t->Caption()); }, t->IsCaptionStored()},
      {"Title.Color", num([t](int v) { t->SetColor(v); }), [t](TWriter* w) { w->WriteInteger(t->Color()); },
       t->IsColorStored()},
      {"Title.Hint", str([t](const std::string& v) { t->SetHint(v); }),
       [t](TWriter* w) { w->WriteString(t->Hint()); }, !t->Hint().empty()},
      {"Title.ImageIndex", num([t](int v) { t->SetImageIndex(v); }),
       [t](TWriter* w) { w->WriteInteger(t->ImageIndex()); }, t->ImageIndex() != -1},
      {"Title.SortMarker", num([t](int v) { t->SetSortMarker(static_cast<TSortMarkerEx>(v)); }),
       [t](TWriter* w) { w->WriteInteger(t->SortMarker()); }, t->SortMarker() != smNoneEx},
      {"Title.SortIndex", num([t](int v) { t->SetSortIndex(v); }),
       [t](TWriter* w) { w->WriteInteger(t->SortIndex()); }, t->SortIndex() != 0},
      {"Visible", flag([this](bool v) { SetVisible(v); }), [this](TWriter* w) { w->WriteBoolean(visible_); },
       !visible_},
      {"Width", num([this](int v) { SetWidth(v); }), [this](TWriter* w) { w->WriteInteger(width_); },
       IsWidthStored()},
      {"WordWrap", flag([this](bool v) { SetWordWrap(v); }),
       [this](TWriter* w) { w->WriteBoolean(wordWrap_); }, IsWordWrapStored()},
      {"AutoFitColWidth", flag([this](bool v) { SetAutoFitColWidth(v); }),
       [this](TWriter* w) { w->WriteBoolean(autoFitColWidth_); }, !autoFitColWidth_},
      {"STFilter.DataField", str([sf](const std::string& v) { sf->SetDataField(v); }),
       [sf](TWriter* w) { w->WriteString(sf->DataField()); }, !sf->DataField().empty()},
      {"STFilter.KeyField", str([sf](const std::string& v) { sf->SetKeyField(v); }),
       [sf](TWriter* w) { w->WriteString(sf->KeyField()); }, !sf->KeyField().empty()},
      {"STFilter.ListField", str([sf](const std::string& v) { sf->SetListField(v); }),
       [sf](TWriter* w) { w->WriteString(sf->ListField()); }, !sf->ListField().empty()},
      {"STFilter.Visible", flag([sf](bool v) { sf->SetVisible(v); }),
       [sf](TWriter* w) { w->WriteBoolean(sf->Visible()); }, !sf->Visible()},
  };
  for (const Prop& p : props) Filer->DefineProperty(p.Name, p.Read, p.Write, p.Stored);
  footer_->DefineFooterProperties(Filer, "Footer.");
  TColumnFootersEx* fs = footers_.get();
  Filer->DefineProperty(
      "Footers", [fs](TReader* r) { r->ReadCollection(fs); }, [fs](TWriter* w) { w->WriteCollection(fs); },
      fs->Count() > 0);
}

// ---------------------------------------------------------------- TDBGridColumnsEx

TDBGridColumnsEx::TDBGridColumnsEx(IDBGridExColumnsHost* AGrid, TCollectionItemClass ItemClass)
    : TCollection(ItemClass), grid_(AGrid) {}

TDBGridColumnsEx::~TDBGridColumnsEx() {
  grid_ = nullptr;  // the items go without telling a grid that is going too
  Clear();
}

TColumnEx* TDBGridColumnsEx::Add() {
  return static_cast<TColumnEx*>(TCollection::Add());
}

TColumnEx* TDBGridColumnsEx::AddDefault() {
  BeginUpdate();
  TScopeExit end([this] { EndUpdate(); });
  TColumnEx* column = Add();
  column->persistent_ = false;
  return column;
}

TDBGridColumnsState TDBGridColumnsEx::State() const {
  return Count() > 0 && Items(0)->Persistent() ? csCustomized : csDefault;
}

void TDBGridColumnsEx::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  if (Action != cnDeleting) return;
  // told while the column is whole and still in place; afterwards it belongs to no grid
  auto* column = static_cast<TColumnEx*>(Item);
  column->LeaveGrid();
  column->columns_ = nullptr;
}

void TDBGridColumnsEx::Update(TCollectionItem* Item) {
  if (!grid_ || ComponentIs(grid_, csLoading)) return;
  if (Item) {
    auto* column = static_cast<TColumnEx*>(Item);
    const int raw = grid_->DataToRawColumn(column->Index());
    if (raw < grid_->RawColCount()) {
      grid_->InvalidateRawCol(raw);
      if (!grid_->AutoFitColWidths() || ComponentIs(grid_, csDesigning)) {
        const int w = column->Visible() ? column->Width() : (grid_->Options().Contains(dgColLines) ? -1 : 0);
        if (grid_->RawColWidth(raw) == w) {
          if (grid_->UseMultiTitle()) grid_->EndLayoutPass();
        } else {
          grid_->SetRawColWidth(raw, w);
        }
      } else {
        const int gridWidth = grid_->RawColWidth(raw);
        if (gridWidth > 0) {
          const int old = column->initWidth_;
          column->initWidth_ = MulDiv(old, column->Width(), gridWidth);
          if (raw != grid_->RawColCount() - 1 && column->Index() + 1 < Count()) {
            TColumnEx* next = Items(column->Index() + 1);
            next->initWidth_ = std::max(0, next->initWidth_ + old - column->initWidth_);
          }
        }
        grid_->EndLayoutPass();
      }
    }
  } else {
    grid_->InternalLayout();
  }
  const int selected = grid_->SelectedIndex();
  if (selected >= 0 && selected < Count() && !Items(selected)->Visible())
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->Visible()) {
        grid_->SetSelectedIndex(i);
        break;
      }
  if (!grid_->LayoutRunning()) grid_->UpdateEditorState();
}

std::string TDBGridColumnsEx::ColumnsIndex() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i) out += ',';
    out += '"' + Items(i)->FieldName() + '"';
  }
  return out;
}

void TDBGridColumnsEx::SetColumnsIndex(const std::string& Value) {
  TStringList names;
  names.SetCommaText(Value);
  BeginUpdate();
  TScopeExit end([this] { EndUpdate(); });
  for (int i = 0; i < names.Count() && i < Count(); ++i) {
    std::vector<TColumnEx*> matches;
    for (int c = 0; c < Count(); ++c)
      if (Items(c)->FieldName() == names.Strings(i)) matches.push_back(Items(c));
    for (TColumnEx* c : matches) c->SetIndex(i);
  }
}

// ---------------------------------------------------------------- interceptors

int TColumnExPropertyInterceptor::Width() const {
  auto* column = dynamic_cast<TColumnEx*>(Target());
  return column ? column->Width() : 0;
}

void TColumnExPropertyInterceptor::SetWidth(int Value) {
  auto* column = dynamic_cast<TColumnEx*>(Target());
  if (!column) return;
  IDBGridExColumnsHost* grid = column->Grid();
  if (grid && grid->AutoFitColWidths()) {
    column->StoreWidthQuietly(Value);  // no layout pass
    return;
  }
  column->SetWidth(Value);
}

std::string TColumnsExPropertyInterceptor::ColumnsIndex() const {
  auto* cols = dynamic_cast<TDBGridColumnsEx*>(Target());
  return cols ? cols->ColumnsIndex() : std::string();
}

void TColumnsExPropertyInterceptor::SetColumnsIndex(const std::string& Value) {
  if (auto* cols = dynamic_cast<TDBGridColumnsEx*>(Target())) cols->SetColumnsIndex(Value);
}

void RegisterColumnInterceptors() {
  RegisterPropertyInterceptor(TColumnEx::StaticClass(), TColumnExPropertyInterceptor::StaticClass());
  RegisterPropertyInterceptor(TDBGridColumnsEx::StaticClass(), TColumnsExPropertyInterceptor::StaticClass());
}
