#include "grid/DBGridExFooters.h"

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

TGroupOperation OperationOf(TFooterValueType T) {
  switch (T) {
    case fvtAvg:
      return goAvg;
    case fvtCount:
      return goCount;
    default:
      return goSum;
  }
}

bool SameFont(const TFont* A, const TFont* B) {
  return A->Name() == B->Name() && A->Height() == B->Height() && A->Style() == B->Style() &&
         A->Color() == B->Color() && A->Charset() == B->Charset() && A->Pitch() == B->Pitch();
}

bool IsAggregate(TFooterValueType T) {
  return T == fvtSum || T == fvtAvg || T == fvtCount;
}

}  // namespace

// ---------------------------------------------------------------- TColumnFooterEx

TColumnFooterEx::TColumnFooterEx(TCollection* Collection) : TCollectionItem(Collection) {
  if (auto* footers = dynamic_cast<TColumnFootersEx*>(Collection)) column_ = footers->Column();
  Init();
}

TColumnFooterEx::TColumnFooterEx(TColumnEx* AColumn)
    : TCollectionItem(nullptr), column_(AColumn), single_(true) {
  Init();
}

void TColumnFooterEx::Init() {
  font_ = std::make_unique<TFont>();
  if (TFont* def = DefaultFont()) font_->Assign(def);
  font_->OnChange = [this](TObject* s) { FontChanged(s); };
  InvalidateGridFooter();
}

TColumnFooterEx::~TColumnFooterEx() {
  InvalidateGridFooter();
  ReleaseSumItem();
}

TColumnEx* TColumnFooterEx::Column() const {
  return column_;
}

TPersistent* TColumnFooterEx::GetOwner() const {
  if (single_) return column_;
  return TCollectionItem::GetOwner();
}

TCustomDBGridEx* TColumnFooterEx::GridEx() const {
  TColumnEx* c = Column();
  IDBGridExColumnsHost* host = c ? c->Grid() : nullptr;
  return host ? dynamic_cast<TCustomDBGridEx*>(host->HostComponent()) : nullptr;
}

void TColumnFooterEx::InvalidateGridFooter() const {
  TCustomDBGridEx* g = GridEx();
  if (g && !g->ComponentState().Contains(csDestroying)) g->InvalidateFooter();
}

void TColumnFooterEx::ChangedItem() {
  if (single_) {
    column_->FooterChanged();
  } else {
    Changed(false);
  }
}

void TColumnFooterEx::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TColumnFooterEx*>(Source);
  if (!s) {
    TCollectionItem::Assign(Source);
    return;
  }
  // only what this footer holds as its own is copied of the inherited three
  if (assigned_.Contains(cfvAlignment)) SetAlignment(s->Alignment());
  if (assigned_.Contains(cfvColor)) SetColor(s->Color());
  if (assigned_.Contains(cfvFont)) SetFont(s->Font());
  SetEndEllipsis(s->EndEllipsis());
  SetValueType(s->ValueType());
  SetFieldName(s->FieldName());
  SetValue(s->Value());
  SetWordWrap(s->WordWrap());
  SetDisplayFormat(s->DisplayFormat());
}

TAlignment TColumnFooterEx::DefaultAlignment() const {
  TColumnEx* c = Column();
  TField* f = c ? c->Field() : nullptr;
  return f ? f->Alignment() : taLeftJustify;
}

TColor TColumnFooterEx::DefaultColor() const {
  TCustomDBGridEx* g = GridEx();
  return g ? g->FooterColor() : clWindow;
}

TFont* TColumnFooterEx::DefaultFont() const {
  if (TCustomDBGridEx* g = GridEx()) return g->FooterFont();
  TColumnEx* c = Column();
  return c ? c->Font() : nullptr;
}

TAlignment TColumnFooterEx::Alignment() const {
  return assigned_.Contains(cfvAlignment) ? alignment_ : DefaultAlignment();
}

void TColumnFooterEx::SetAlignment(TAlignment Value) {
  if (assigned_.Contains(cfvAlignment) && Value == alignment_) return;
  alignment_ = Value;
  assigned_.Include(cfvAlignment);
  ChangedItem();
}

TColor TColumnFooterEx::Color() const {
  return assigned_.Contains(cfvColor) ? color_ : DefaultColor();
}

void TColumnFooterEx::SetColor(TColor Value) {
  if (assigned_.Contains(cfvColor) && Value == color_) return;
  color_ = Value;
  assigned_.Include(cfvColor);
  ChangedItem();
}

TFont* TColumnFooterEx::Font() const {
  if (!assigned_.Contains(cfvFont)) {
    TFont* def = DefaultFont();
    if (def && !SameFont(font_.get(), def)) {
      auto* self = const_cast<TColumnFooterEx*>(this);
      self->syncingFont_ = true;
      TScopeExit done([self] { self->syncingFont_ = false; });
      font_->Assign(def);
    }
  }
  return font_.get();
}

void TColumnFooterEx::FontChanged(TObject* /*Sender*/) {
  if (syncingFont_) return;
  assigned_.Include(cfvFont);
  ChangedItem();
}

void TColumnFooterEx::SetDisplayFormat(const std::string& Value) {
  if (Value == displayFormat_) return;
  displayFormat_ = Value;
  ChangedItem();
}

void TColumnFooterEx::SetEndEllipsis(bool Value) {
  if (Value == endEllipsis_) return;
  endEllipsis_ = Value;
  ChangedItem();
}

void TColumnFooterEx::SetFieldName(const std::string& Value) {
  if (Value == fieldName_) return;
  fieldName_ = Value;
  UpdateSumItem();
  ChangedItem();
}

void TColumnFooterEx::SetValue(const std::string& Value) {
  if (Value == value_) return;
  value_ = Value;
  ChangedItem();
}

void TColumnFooterEx::SetValueType(TFooterValueType Value) {
  if (Value == valueType_) return;
  valueType_ = Value;
  UpdateSumItem();
  ChangedItem();
}

void TColumnFooterEx::SetWordWrap(bool Value) {
  if (Value == wordWrap_) return;
  wordWrap_ = Value;
  ChangedItem();
}

void TColumnFooterEx::DefineProperties(TFiler* Filer) {
  TCollectionItem::DefineProperties(Filer);
  DefineFooterProperties(Filer, "");
}

void TColumnFooterEx::DefineFooterProperties(TFiler* Filer, const std::string& Prefix) {
  using TRead = std::function<void(TReader*)>;
  using TWrite = std::function<void(TWriter*)>;
  struct Prop {
    const char* Name;
    TRead Read;
    TWrite Write;
    bool Stored;
  };
  const Prop props[] = {
      {"Alignment", [this](TReader* r) { SetAlignment(static_cast<TAlignment>(r->ReadInteger())); },
       [this](TWriter* w) { w->WriteInteger(Alignment()); }, IsAlignmentStored()},
      {"Color", [this](TReader* r) { SetColor(r->ReadInteger()); },
       [this](TWriter* w) { w->WriteInteger(Color()); }, IsColorStored()},
      {"DisplayFormat", [this](TReader* r) { SetDisplayFormat(r->ReadString()); },
       [this](TWriter* w) { w->WriteString(displayFormat_); }, !displayFormat_.empty()},
      {"EndEllipsis", [this](TReader* r) { SetEndEllipsis(r->ReadBoolean()); },
       [this](TWriter* w) { w->WriteBoolean(endEllipsis_); }, endEllipsis_},
      {"FieldName", [this](TReader* r) { SetFieldName(r->ReadString()); },
       [this](TWriter* w) { w->WriteString(fieldName_); }, !fieldName_.empty()},
      {"Value", [this](TReader* r) { SetValue(r->ReadString()); },
       [this](TWriter* w) { w->WriteString(value_); }, !value_.empty()},
      {"ValueType", [this](TReader* r) { SetValueType(static_cast<TFooterValueType>(r->ReadInteger())); },
       [this](TWriter* w) { w->WriteInteger(valueType_); }, valueType_ != fvtNon},
      {"WordWrap", [this](TReader* r) { SetWordWrap(r->ReadBoolean()); },
       [this](TWriter* w) { w->WriteBoolean(wordWrap_); }, wordWrap_},
  };
  for (const Prop& p : props) Filer->DefineProperty(Prefix + p.Name, p.Read, p.Write, p.Stored);
}

bool TColumnFooterEx::IsAlignmentStored() const {
  return assigned_.Contains(cfvAlignment) && alignment_ != DefaultAlignment();
}

bool TColumnFooterEx::IsColorStored() const {
  return assigned_.Contains(cfvColor) && color_ != DefaultColor();
}

void TColumnFooterEx::RestoreDefaults() {
  const bool fontAssigned = assigned_.Contains(cfvFont);
  assigned_ = {};
  (void)Font();  // follows the default again
  TColumnEx* c = Column();
  if (c && fontAssigned) {
    c->FooterChanged(true);
  } else {
    ChangedItem();
  }
}

std::string TColumnFooterEx::SumFieldName() const {
  if (!fieldName_.empty()) return fieldName_;
  TColumnEx* c = Column();
  return c ? c->FieldName() : std::string();
}

void TColumnFooterEx::ReleaseSumItem() {
  if (TDBSum* s = SumItem()) delete s;
  sumItemID_ = -1;
}

TDBSum* TColumnFooterEx::SumItem() const {
  if (sumItemID_ < 0) return nullptr;
  TCustomDBGridEx* g = GridEx();
  if (!g || !g->SumList()) return nullptr;
  return static_cast<TDBSum*>(g->SumList()->SumCollection()->FindItemID(sumItemID_));
}

void TColumnFooterEx::UpdateSumItem() {
  TCustomDBGridEx* g = GridEx();
  if (!g || !g->SumList()) return;
  TDBSum* sum = SumItem();
  if (!sum) sumItemID_ = -1;
  if (sum) {
    if (!IsAggregate(valueType_)) {
      sumItemID_ = -1;
      delete sum;
      return;
    }
    sum->SetGroupOperation(OperationOf(valueType_));
    sum->SetFieldName(valueType_ == fvtCount ? std::string() : SumFieldName());
    return;
  }
  if (!IsAggregate(valueType_)) return;
  // one pass for the new item once it is complete (a pass may raise: not from a scope guard)
  TDBSumCollection* sums = g->SumList()->SumCollection();
  sums->BeginUpdate();
  sum = sums->Add();
  sum->SetGroupOperation(OperationOf(valueType_));
  if (valueType_ != fvtCount) sum->SetFieldName(SumFieldName());
  sumItemID_ = sum->ID();
  sums->EndUpdate();
}

// ---------------------------------------------------------------- TColumnFootersEx

TColumnFootersEx::TColumnFootersEx(TColumnEx* AColumn)
    : TCollection(CollectionItemClass<TColumnFooterEx>), column_(AColumn) {}

TColumnFootersEx::~TColumnFootersEx() {
  destroying_ = true;
  Clear();
}

TPersistent* TColumnFootersEx::GetOwner() const {
  return column_;
}

void TColumnFootersEx::Update(TCollectionItem* /*Item*/) {
  if (column_ && !destroying_) column_->FooterChanged();
}

// ---------------------------------------------------------------- TDBGridExSumList

TDBGridExSumList::TDBGridExSumList(TCustomDBGridEx* AGrid) : TDBSumListProducer(AGrid), grid_(AGrid) {
  designTimeWork_ = true;
  SetActive(false);
}

void TDBGridExSumList::Hook() {
  if (grid_->ComponentState().Contains(csDesigning)) {
    designHooked_ = true;
    return;
  }
  TDBSumListProducer::Hook();
}

void TDBGridExSumList::Unhook() {
  if (grid_->ComponentState().Contains(csDesigning)) {
    designHooked_ = false;
    return;
  }
  TDBSumListProducer::Unhook();
}

// ---------------------------------------------------------------- the grid's footer text

std::string TCustomDBGridEx::GetFooterValue(int Row, TColumnEx* Column) {
  TColumnFooterEx* footer = Column->GetFooter(Row);
  TDataSet* ds = dataLink_->DataSet();
  switch (footer->ValueType()) {
    case fvtSum:
    case fvtAvg: {
      std::string text = "0";
      const std::string name = footer->SumFieldName();
      TField* f = ds ? ds->FindField(name) : nullptr;
      if (!f) return text;
      TDBSum* sum = sumList_->SumCollection()->FindSum(name, OperationOf(footer->ValueType()));
      const Currency value = sum ? sum->Value : Currency();
      const std::string& own = footer->DisplayFormat();
      auto* numeric = dynamic_cast<TNumericField*>(f);
      const std::string fieldFormat = numeric ? numeric->DisplayFormat() : std::string();
      switch (f->DataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
          if (!own.empty()) return FormatFloat(own, value.ToDouble());
          if (!fieldFormat.empty()) return FormatFloat(fieldFormat, value.ToDouble());
          return CurrToStr(value);
        case ftFloat:
        case ftCurrency: {
          if (!own.empty()) return FormatFloat(own, value.ToDouble());
          if (!fieldFormat.empty()) return FormatFloat(fieldFormat, value.ToDouble());
          auto* ff = dynamic_cast<TFloatField*>(f);
          const int precision = ff ? ff->Precision() : 15;
          if (ff && ff->Currency())
            return FloatToStrF(value.ToDouble(), ffCurrency, precision, FormatSettings.CurrencyDecimals);
          return FloatToStrF(value.ToDouble(), ffGeneral, precision, 0);
        }
        case ftBCD:
        case ftFMTBcd: {
          if (!own.empty()) return FormatFloat(own, value.ToDouble());
          if (!fieldFormat.empty()) return FormatCurr(fieldFormat, value);
          auto* bf = dynamic_cast<TBCDField*>(f);
          if (bf && bf->Currency()) return CurrToStrF(value, ffCurrency, FormatSettings.CurrencyDecimals);
          return CurrToStrF(value, ffGeneral, 0);
        }
        default:
          return text;
      }
    }
    case fvtCount: {
      TDBSum* sum = sumList_->SumCollection()->FindSum("", goCount);
      const double value = sum ? sum->Value.ToDouble() : 0.0;
      if (!footer->DisplayFormat().empty()) return FormatFloat(footer->DisplayFormat(), value);
      return FloatToStr(value);
    }
    case fvtFieldValue: {
      if (!ds || !ds->Active()) return {};
      TField* f = ds->FindField(footer->SumFieldName());
      return f ? FieldTextByFormat(f, footer->DisplayFormat()) : std::string();
    }
    case fvtStaticText:
      return footer->Value();
    case fvtNon:
      break;
  }
  return {};
}

void TCustomDBGridEx::InvalidateFooter() {
  if (!HandleAllocated() || footerRowCount_ <= 0) return;
  for (int i = RowCount() - footerRowCount_; i < RowCount(); ++i)
    if (i >= 0) InvalidateRow(i);
}

void TCustomDBGridEx::SetSumList(TDBGridExSumList* Value) {
  sumList_->Assign(Value);
}
