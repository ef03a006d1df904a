#include "grid/DBGridExFilter.h"

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Field data types by the kind of value the filter parser converts their texts to.
struct FieldKind {
  TFieldType Type;
  TSTFilterValueTypeEx Kind;
};
const FieldKind kFieldKinds[] = {
    {ftString, stfvtString},     {ftFixedChar, stfvtString},  {ftWideString, stfvtString},
    {ftMemo, stfvtString},       {ftFmtMemo, stfvtString},    {ftGuid, stfvtString},
    {ftOraClob, stfvtString},    {ftSmallint, stfvtNumber},   {ftInteger, stfvtNumber},
    {ftWord, stfvtNumber},       {ftFloat, stfvtNumber},      {ftCurrency, stfvtNumber},
    {ftBCD, stfvtNumber},        {ftFMTBcd, stfvtNumber},     {ftAutoInc, stfvtNumber},
    {ftLargeint, stfvtNumber},   {ftDate, stfvtDateTime},     {ftTime, stfvtDateTime},
    {ftDateTime, stfvtDateTime}, {ftTimeStamp, stfvtDateTime}};

// A value of a filter expression as filter-row text: a floating-point number plainly, a date-time in
// the locale's format, anything else quoted (a quote inside doubled, as the parser reads it back).
std::string ValueText(const TVariant& V) {
  if (VarIsFloat(V)) return FloatToStr(V.AsDouble());
  if (V.VarType() == varDate) return DateTimeToStr(V.AsDateTime());
  return AnsiQuotedStr(VarToStr(V), '\'');
}

std::string ValueListText(const TVariant& V, const char* Separator) {
  if (!V.IsArray()) return ValueText(V);
  std::string out;
  for (int i = V.LowBound(); i <= V.HighBound(); ++i) {
    if (i > V.LowBound()) out += Separator;
    out += ValueText(V.GetElement(i));
  }
  return out;
}

std::string OperandText(TSTFilterOperatorEx Op, const TVariant& Value) {
  switch (Op) {
    case foNull:
      return std::string("=") + STFilterOperatorsStrEx[foNull];
    case foNotNull:
      return std::string("<>") + STFilterOperatorsStrEx[foNotNull];
    case foIn:
    case foNotIn:
      return std::string(STFilterOperatorsStrEx[Op]) + " (" + ValueListText(Value, ",") + ")";
    case foValue:
      return ValueText(Value);
    default:  // the parser takes a list after any operator
      return std::string(STFilterOperatorsStrEx[Op]) + " " + ValueListText(Value, ",");
  }
}

}  // namespace

TSTFilterValueTypeEx STFilterValueTypeOfField(TFieldType DataType) {
  for (const FieldKind& k : kFieldKinds)
    if (k.Type == DataType) return k.Kind;
  return stfvtUnknown;
}

// ---------------------------------------------------------------- TSTDBGridExFilter

void TSTDBGridExFilter::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSTDBGridExFilter*>(Source)) {
    local_ = s->local_;
    SetVisible(s->visible_);
    return;
  }
  TPersistent::Assign(Source);
}

TPersistent* TSTDBGridExFilter::GetOwner() const {
  return grid_;
}

void TSTDBGridExFilter::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  if (!visible_ && grid_) grid_->HideFilterEditor();
  if (grid_) grid_->LayoutChanged();
}

// ---------------------------------------------------------------- TSTColumnFilterEx

namespace {

// The list's link: the list loads again when its dataset opens, closes or changes, not when it only
// moves to another record (loading ends on the first record, which would undo every move).
class TFilterListLinkEx : public TFieldDataLink {
  TALVIK_CLASS(TFilterListLinkEx, TFieldDataLink)
  TFilterListLinkEx() = default;

 protected:
  void DataSetScrolled(int /*Distance*/) override {}
};

}  // namespace

TSTColumnFilterEx::TSTColumnFilterEx(TColumnEx* AColumn)
    : column_(AColumn),
      listLink_(std::make_unique<TFilterListLinkEx>()),
      keyValues_(std::make_unique<TStringList>()),
      listValues_(std::make_unique<TStringList>()) {
  InitSTFilterExpression(expression_);
  // the list follows its dataset: opened, closed, changed
  listLink_->OnDataChange = [this](TObject*) { LoadList(); };
  listLink_->OnActiveChange = [this](TObject*) { LoadList(); };
}

TSTColumnFilterEx::~TSTColumnFilterEx() {
  listLink_->OnDataChange = nullptr;
  listLink_->OnActiveChange = nullptr;
  listLink_->SetDataSource(nullptr);
}

void TSTColumnFilterEx::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSTColumnFilterEx*>(Source)) {
    dataField_ = s->dataField_;
    SetVisible(s->visible_);
    keyField_ = s->keyField_;
    listField_ = s->listField_;
    SetListSource(s->ListSource());
    return;
  }
  TPersistent::Assign(Source);
}

TPersistent* TSTColumnFilterEx::GetOwner() const {
  return column_;
}

TCustomDBGridEx* TSTColumnFilterEx::GridEx() const {
  IDBGridExColumnsHost* host = column_ ? column_->Grid() : nullptr;
  return host ? dynamic_cast<TCustomDBGridEx*>(host->HostComponent()) : nullptr;
}

std::string TSTColumnFilterEx::GetDataField() const {
  if (dataField_.empty() && !ListSource() && column_) return column_->FieldName();
  return dataField_;
}

TField* TSTColumnFilterEx::GetField() const {
  TCustomDBGridEx* g = GridEx();
  TDataSet* ds = g ? g->DataLink()->DataSet() : nullptr;
  const std::string name = GetDataField();
  return ds && !name.empty() ? ds->FindField(name) : nullptr;
}

void TSTColumnFilterEx::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  if (column_ && column_->Collection()) column_->FooterChanged(false);
}

void TSTColumnFilterEx::SetKeyField(const std::string& Value) {
  if (Value == keyField_) return;
  keyField_ = Value;
  LoadList();
}

void TSTColumnFilterEx::SetListField(const std::string& Value) {
  if (Value == listField_) return;
  listField_ = Value;
  LoadList();
}

TDataSource* TSTColumnFilterEx::ListSource() const {
  return listLink_->DataSource();
}

void TSTColumnFilterEx::SetListSource(TDataSource* Value) {
  if (Value == ListSource()) return;
  listLink_->SetDataSource(Value);
  LoadList();
}

std::string TSTColumnFilterEx::GetFilterText() const {
  const TSTFilterExpressionEx& e = expression_;
  if (e.ExpressionType == stfvtUnknown || e.Operator1 == foNon) return {};
  if (ListSource()) {
    if (e.Operand1.IsArray()) return ValueListText(e.Operand1, ",");
    return VarToStr(e.Operand1);
  }
  std::string text = OperandText(e.Operator1, e.Operand1);
  if (e.Relation == foAND || e.Relation == foOR) {
    text += std::string(" ") + STFilterOperatorsStrEx[e.Relation] + " ";
    if (e.Operator2 != foNon) text += OperandText(e.Operator2, e.Operand2);
  }
  return text;
}

void TSTColumnFilterEx::SetFilterText(const std::string& Text) {
  TSTFilterExpressionEx parsed = expression_;
  if (TField* f = GetField()) parsed.ExpressionType = STFilterValueTypeOfField(f->DataType());
  ParseSTFilterExpression(Text, parsed);  // a malformed text leaves the filter as it was
  expression_ = parsed;
  filterText_ = Text;
  if (TCustomDBGridEx* g = GridEx(); g && g->HandleAllocated()) g->Invalidate();
}

void TSTColumnFilterEx::Restore(const TSTFilterExpressionEx& Expression, const std::string& Text) {
  expression_ = Expression;
  filterText_ = Text;
  if (TCustomDBGridEx* g = GridEx(); g && g->HandleAllocated()) g->Invalidate();
}

void TSTColumnFilterEx::SetValue(const std::string& Text, const TVariant& KeyValue) {
  InitSTFilterExpression(expression_);
  filterText_.clear();
  keyValue_ = TVariant();
  if (KeyValue.IsEmpty()) return;
  expression_.ExpressionType = stfvtString;
  expression_.Operator1 = foIn;
  expression_.Operand1 = TVariant(Text);
  filterText_ = GetFilterText();
  keyValue_ = KeyValue;
}

void TSTColumnFilterEx::LoadList() {
  if (loadingList_) return;
  keyValues_->Clear();
  listValues_->Clear();
  TDataSet* ds = listLink_->DataSet();
  if (!listLink_->Active() || !ds || keyField_.empty() || listField_.empty()) return;
  loadingList_ = true;
  ds->DisableControls();
  // the list dataset gets its controls back whatever fails, and its data change does not come back
  // here; the list loads again next time even when giving the controls back raises
  TScopeExit loaded([this] { loadingList_ = false; });
  TScopeExit enable([ds] { ds->EnableControls(); });
  TField* key = ds->FieldByName(keyField_);
  TField* list = ds->FieldByName(listField_);
  // the list stays on its record: a look-up control that shares it has just moved it there
  const TBookmark at = ds->IsEmpty() ? TBookmark() : ds->GetBookmark();
  for (ds->First(); !ds->Eof(); ds->Next()) {
    keyValues_->Add(key->AsString());
    listValues_->Add(list->AsString());
  }
  if (!at.empty() && ds->BookmarkValid(at))
    ds->GotoBookmark(at);
  else
    ds->First();
}
