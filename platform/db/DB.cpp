// Errors, field-type tables, field and index definitions, parameters and field lists.
#include "platform/db/DB.h"

#include <algorithm>
#include <array>

void DatabaseError(const std::string& Message, TComponent* Component) {
  if (Component && !Component->Name().empty()) throw EDatabaseError(Component->Name() + ": " + Message);
  throw EDatabaseError(Message);
}

void DatabaseErrorFmt(std::string_view Message, std::initializer_list<TFormatArg> Args,
                      TComponent* Component) {
  DatabaseError(Format(Message, Args), Component);
}

std::string FieldTypeName(TFieldType Type) {
  static const std::array<const char*, ftFMTBcd + 1> names = {
      "Unknown",     "String",    "SmallInt",  "Integer",    "Word",     "Boolean",    "Float",
      "Currency",    "BCD",       "Date",      "Time",       "DateTime", "Bytes",      "VarBytes",
      "AutoInc",     "Blob",      "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle", "dBaseOle",
      "TypedBinary", "Cursor",    "FixedChar", "WideString", "Largeint", "ADT",        "Array",
      "Reference",   "DataSet",   "OraBlob",   "OraClob",    "Variant",  "Interface",  "IDispatch",
      "Guid",        "TimeStamp", "FMTBcd"};
  const auto index = static_cast<size_t>(Type);
  return index < names.size() ? names[index] : "Unknown";
}

bool SameFieldName(std::string_view A, std::string_view B) {
  // Case mapping keeps the byte length of each character, so names of different lengths differ.
  if (A.size() != B.size()) return false;
  bool ascii = true;
  for (size_t i = 0; i < A.size() && ascii; ++i) ascii = static_cast<unsigned char>(A[i] | B[i]) < 0x80;
  return ascii ? SameText(A, B) : AnsiSameText(A, B);
}

std::string ExtractFieldName(std::string_view Fields, int& Pos) {
  int i = std::max(Pos, 1);
  const int n = static_cast<int>(Fields.size());
  int start = i;
  while (i <= n && Fields[static_cast<size_t>(i - 1)] != ';') ++i;
  std::string name = Trim(Fields.substr(static_cast<size_t>(start - 1), static_cast<size_t>(i - start)));
  if (i <= n) ++i;  // past the ';'
  Pos = i;
  return name;
}

TFieldChars TFieldChars::All() {
  TFieldChars c;
  std::fill(std::begin(c.ascii_), std::end(c.ascii_), true);
  c.others_ = true;
  return c;
}

TFieldChars TFieldChars::Of(std::string_view Ascii) {
  TFieldChars c;
  for (char ch : Ascii) c.Include(ch);
  return c;
}

bool TFieldChars::Contains(char32_t C) const {
  if (C < 128) return ascii_[C];
  return others_;
}

TFieldClass DefaultFieldClass(TFieldType Type) {
  switch (Type) {
    case ftString:
    case ftFixedChar:
      return CreateFieldOf<TStringField>;
    case ftWideString:
      return CreateFieldOf<TWideStringField>;
    case ftGuid:
      return CreateFieldOf<TGuidField>;
    case ftSmallint:
      return CreateFieldOf<TSmallintField>;
    case ftInteger:
      return CreateFieldOf<TIntegerField>;
    case ftWord:
      return CreateFieldOf<TWordField>;
    case ftAutoInc:
      return CreateFieldOf<TAutoIncField>;
    case ftLargeint:
      return CreateFieldOf<TLargeintField>;
    case ftBoolean:
      return CreateFieldOf<TBooleanField>;
    case ftFloat:
      return CreateFieldOf<TFloatField>;
    case ftCurrency:
      return CreateFieldOf<TCurrencyField>;
    case ftBCD:
    case ftFMTBcd:
      return CreateFieldOf<TBCDField>;
    case ftDate:
      return CreateFieldOf<TDateField>;
    case ftTime:
      return CreateFieldOf<TTimeField>;
    case ftDateTime:
      return CreateFieldOf<TDateTimeField>;
    case ftTimeStamp:
      return CreateFieldOf<TSQLTimeStampField>;
    case ftBytes:
      return CreateFieldOf<TBytesField>;
    case ftVarBytes:
      return CreateFieldOf<TVarBytesField>;
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
      return CreateFieldOf<TBlobField>;
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
      return CreateFieldOf<TMemoField>;
    case ftGraphic:
      return CreateFieldOf<TGraphicField>;
    case ftADT:
      return CreateFieldOf<TADTField>;
    case ftArray:
      return CreateFieldOf<TArrayField>;
    case ftReference:
      return CreateFieldOf<TReferenceField>;
    case ftDataSet:
      return CreateFieldOf<TDataSetField>;
    default:
      return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------------
// TFieldDef

TFieldDef::TFieldDef(TCollection* Collection) : TCollectionItem(Collection) {}
TFieldDef::~TFieldDef() = default;

void TFieldDef::SetRequired(bool Value) {
  if (Value) {
    attributes_.Include(faRequired);
  } else {
    attributes_.Exclude(faRequired);
  }
}

int TFieldDef::FieldNo() const {
  return fieldNo_ > 0 ? fieldNo_ : Index() + 1;
}

TFieldDefs* TFieldDef::ChildDefs() {
  if (!childDefs_) {
    auto* defs = dynamic_cast<TFieldDefs*>(Collection());
    childDefs_ = std::make_unique<TFieldDefs>(defs ? defs->DataSet() : nullptr);
  }
  return childDefs_.get();
}

bool TFieldDef::HasChildDefs() const {
  return childDefs_ && childDefs_->Count() > 0;
}

TField* TFieldDef::CreateField(TComponent* Owner, TObjectField* ParentField) {
  TFieldClass cls = FieldClass();
  if (!cls) DatabaseErrorFmt(SUnknownFieldType, {name_});
  std::unique_ptr<TField> field(cls(Owner));
  field->SetFieldName(name_);
  if (dataType_ != field->DataType() && dataType_ != ftUnknown) field->SetDataType(dataType_);
  if (dataType_ == ftString || dataType_ == ftFixedChar || dataType_ == ftWideString ||
      dataType_ == ftBytes || dataType_ == ftVarBytes || dataType_ == ftBCD || dataType_ == ftFMTBcd ||
      field->IsBlob()) {
    field->SetSize(size_);
  }
  if (auto* s = dynamic_cast<TStringField*>(field.get()); s && dataType_ == ftFixedChar)
    s->SetFixedChar(true);
  if (auto* b = dynamic_cast<TBCDField*>(field.get())) b->SetPrecision(precision_);
  field->SetRequired(Required());
  field->SetFieldNo(FieldNo());
  if (attributes_.Contains(faReadonly)) field->SetReadOnly(true);
  if (attributes_.Contains(faHiddenCol)) field->SetVisible(false);
  auto* defs = dynamic_cast<TFieldDefs*>(Collection());
  if (ParentField) {
    field->SetParentField(ParentField);
  } else if (defs && defs->DataSet()) {
    field->SetDataSet(defs->DataSet());
  }
  if (auto* obj = dynamic_cast<TObjectField*>(field.get()); obj && childDefs_) {
    for (int i = 0; i < childDefs_->Count(); ++i) childDefs_->Items(i)->CreateField(Owner, obj);
  }
  return field.release();
}

void TFieldDef::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TFieldDef*>(Source)) {
    name_ = s->name_;
    dataType_ = s->dataType_;
    size_ = s->size_;
    precision_ = s->precision_;
    attributes_ = s->attributes_;
    internalCalc_ = s->internalCalc_;
    if (s->HasChildDefs()) ChildDefs()->Assign(s->childDefs_.get());
    return;
  }
  TCollectionItem::Assign(Source);
}

// ---------------------------------------------------------------------------------------------------
// TFieldDefs

TFieldDefs::TFieldDefs(TDataSet* DataSet) : TCollection(CollectionItemClass<TFieldDef>), dataset_(DataSet) {}

TPersistent* TFieldDefs::GetOwner() const {
  return dataset_;
}

TFieldDef* TFieldDefs::AddFieldDef() {
  return static_cast<TFieldDef*>(TCollection::Add());
}

TFieldDef* TFieldDefs::Add(const std::string& Name, TFieldType DataType, int Size, bool Required) {
  if (Name.empty()) DatabaseError(SFieldNameMissing, dataset_);
  if (IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateFieldName, {Name}, dataset_);
  TFieldDef* def = AddFieldDef();
  def->SetName(Name);
  def->SetDataType(DataType);
  def->SetSize(Size);
  def->SetRequired(Required);
  return def;
}

int TFieldDefs::IndexOf(std::string_view Name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameFieldName(Items(i)->Name(), Name)) return i;
  }
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view Name) const {
  const int i = IndexOf(Name);
  if (i < 0) DatabaseErrorFmt(SFieldNotFound, {Name}, dataset_);
  return Items(i);
}

void TFieldDefs::Update() {
  if (!updated_ && dataset_) {
    dataset_->InitFieldDefs();
    updated_ = true;
  }
}

// ---------------------------------------------------------------------------------------------------
// TIndexDef(s)

void TIndexDef::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TIndexDef*>(Source)) {
    name_ = s->name_;
    fields_ = s->fields_;
    descFields_ = s->descFields_;
    caseInsFields_ = s->caseInsFields_;
    expression_ = s->expression_;
    options_ = s->options_;
    return;
  }
  TCollectionItem::Assign(Source);
}

TIndexDefs::TIndexDefs(TDataSet* DataSet) : TCollection(CollectionItemClass<TIndexDef>), dataset_(DataSet) {}

TPersistent* TIndexDefs::GetOwner() const {
  return dataset_;
}

TIndexDef* TIndexDefs::AddIndexDef() {
  return static_cast<TIndexDef*>(TCollection::Add());
}

TIndexDef* TIndexDefs::Add(const std::string& Name, const std::string& Fields, TIndexOptions Options) {
  if (IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateIndexName, {Name}, dataset_);
  TIndexDef* def = AddIndexDef();
  def->SetName(Name);
  def->SetFields(Fields);
  def->SetOptions(Options);
  return def;
}

int TIndexDefs::IndexOf(std::string_view Name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameFieldName(Items(i)->Name(), Name)) return i;
  }
  return -1;
}

TIndexDef* TIndexDefs::Find(std::string_view Name) const {
  const int i = IndexOf(Name);
  if (i < 0) DatabaseErrorFmt(SIndexNotFound, {Name}, dataset_);
  return Items(i);
}

TIndexDef* TIndexDefs::FindIndexForFields(std::string_view Fields) const {
  for (int i = 0; i < Count(); ++i) {
    if (AnsiSameText(Items(i)->Fields(), Fields)) return Items(i);
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// TParam(s)

TParam::TParam(TParams* Params, TParamType ParamType) : TCollectionItem(Params), paramType_(ParamType) {}

namespace {
TFieldType TypeOfVariant(const TVariant& v) {
  switch (v.VarType() & varTypeMask) {
    case varSmallint:
    case varShortInt:
    case varByte:
      return ftSmallint;
    case varWord:
      return ftWord;
    case varInteger:
      return ftInteger;
    case varLongWord:
    case varInt64:
      return ftLargeint;
    case varSingle:
    case varDouble:
      return ftFloat;
    case varCurrency:
      return ftCurrency;
    case varDate:
      return ftDateTime;
    case varBoolean:
      return ftBoolean;
    case varString:
    case varOleStr:
      return ftString;
    default:
      return ftUnknown;
  }
}
}  // namespace

void TParam::SetValue(const TVariant& Value) {
  if (dataType_ == ftUnknown) dataType_ = TypeOfVariant(Value);
  value_ = Value;
  bound_ = !Value.IsEmpty();
}

void TParam::Clear() {
  value_ = TVariant::MakeNull();
}

void TParam::SetTyped(TFieldType Type, const TVariant& Value) {
  dataType_ = Type;
  value_ = Value;
  bound_ = true;
}

void TParam::AssignField(TField* Field) {
  if (!Field) return;
  name_ = Field->FieldName();
  AssignFieldValue(Field, Field->Value());
}

void TParam::AssignFieldValue(TField* Field, const TVariant& Value) {
  if (!Field) return;
  dataType_ = Field->DataType();
  size_ = Field->Size();
  value_ = Value;
  bound_ = true;
}

void TParam::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TParam*>(Source)) {
    name_ = s->name_;
    dataType_ = s->dataType_;
    paramType_ = s->paramType_;
    size_ = s->size_;
    precision_ = s->precision_;
    numericScale_ = s->numericScale_;
    bound_ = s->bound_;
    value_ = s->value_;
    return;
  }
  if (auto* f = dynamic_cast<TField*>(Source)) {
    AssignField(f);
    return;
  }
  TCollectionItem::Assign(Source);
}

TParams::TParams(TPersistent* Owner) : TCollection(CollectionItemClass<TParam>), owner_(Owner) {}

TParam* TParams::AddParam(TParam* Value) {
  Value->SetCollection(this);
  return Value;
}

void TParams::RemoveParam(TParam* Value) {
  Value->SetCollection(nullptr);
}

TParam* TParams::CreateParam(TFieldType FldType, const std::string& ParamName, TParamType ParamType) {
  auto* p = static_cast<TParam*>(Add());
  p->SetName(ParamName);
  p->SetDataType(FldType);
  p->SetParamType(ParamType);
  return p;
}

TParam* TParams::FindParam(std::string_view Value) const {
  for (int i = 0; i < Count(); ++i) {
    if (AnsiSameText(Items(i)->Name(), Value)) return Items(i);
  }
  return nullptr;
}

TParam* TParams::ParamByName(std::string_view Value) const {
  TParam* p = FindParam(Value);
  if (!p) DatabaseErrorFmt(SParameterNotFound, {Value}, dynamic_cast<TComponent*>(owner_));
  return p;
}

TVariant TParams::ParamValues(std::string_view ParamNames) const {
  if (ParamNames.find(';') == std::string_view::npos) return ParamByName(ParamNames)->Value();
  std::vector<TParam*> list;
  int pos = 1;
  while (pos <= static_cast<int>(ParamNames.size())) {
    std::string name = ExtractFieldName(ParamNames, pos);
    if (!name.empty()) list.push_back(ParamByName(name));
  }
  TVariant result = VarArrayCreate({0, static_cast<int>(list.size()) - 1}, varVariant);
  for (size_t i = 0; i < list.size(); ++i) result.SetElement(static_cast<int>(i), list[i]->Value());
  return result;
}

void TParams::SetParamValues(std::string_view ParamNames, const TVariant& Value) {
  if (ParamNames.find(';') == std::string_view::npos) {
    ParamByName(ParamNames)->SetValue(Value);
    return;
  }
  int pos = 1, i = 0;
  while (pos <= static_cast<int>(ParamNames.size())) {
    std::string name = ExtractFieldName(ParamNames, pos);
    if (name.empty()) continue;
    ParamByName(name)->SetValue(Value.GetElement(Value.LowBound() + i));
    ++i;
  }
}

// ---------------------------------------------------------------------------------------------------
// TFields

TFields::TFields(TDataSet* DataSet) : dataset_(DataSet) {}

TFields::~TFields() {
  Clear();
}

TField* TFields::Fields(int Index) const {
  if (Index < 0 || Index >= Count()) DatabaseError(SFieldIndexError, dataset_);
  return list_[static_cast<size_t>(Index)];
}

void TFields::Changed() {
  if (dataset_ && !dataset_->ComponentState().Contains(csDestroying))
    dataset_->DataEvent(deFieldListChange, 0);
}

void TFields::Add(TField* Field) {
  CheckFieldName(Field->FieldName());
  list_.push_back(Field);
  Field->fields_ = this;
  Changed();
}

void TFields::Remove(TField* Field) {
  auto it = std::find(list_.begin(), list_.end(), Field);
  if (it == list_.end()) return;
  list_.erase(it);
  Field->fields_ = nullptr;
  Changed();
}

void TFields::Clear() {
  while (!list_.empty()) {
    TField* f = list_.back();
    list_.pop_back();
    f->fields_ = nullptr;
    f->dataset_ = nullptr;
    delete f;
  }
}

int TFields::IndexOf(const TField* Field) const {
  auto it = std::find(list_.begin(), list_.end(), Field);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

TField* TFields::FindField(std::string_view FieldName) const {
  for (TField* f : list_) {
    if (SameFieldName(f->FieldName(), FieldName)) return f;
  }
  // Attributes of object fields by their full names ("OBJ.ATTR").
  for (TField* f : list_) {
    if (auto* obj = dynamic_cast<TObjectField*>(f)) {
      const std::string& base = f->FieldName();
      if (FieldName.size() > base.size() + 1 && FieldName[base.size()] == '.' &&
          AnsiSameText(FieldName.substr(0, base.size()), base)) {
        if (TField* child = obj->Fields()->FindField(FieldName.substr(base.size() + 1))) return child;
      }
    }
  }
  return nullptr;
}

TField* TFields::FieldByName(std::string_view FieldName) const {
  TField* f = FindField(FieldName);
  if (!f) DatabaseErrorFmt(SFieldNotFound, {FieldName}, dataset_);
  return f;
}

TField* TFields::FieldByNumber(int FieldNo) const {
  for (TField* f : list_) {
    if (f->FieldNo() == FieldNo) return f;
  }
  return nullptr;
}

void TFields::CheckFieldName(std::string_view FieldName) const {
  if (FieldName.empty()) DatabaseError(SFieldNameMissing, dataset_);
  for (TField* f : list_) {
    if (SameFieldName(f->FieldName(), FieldName))
      DatabaseErrorFmt(SDuplicateFieldName, {FieldName}, dataset_);
  }
}

void TFields::SetFieldIndex(TField* Field, int Value) {
  const int cur = IndexOf(Field);
  if (cur < 0) return;
  Value = std::clamp(Value, 0, Count() - 1);
  if (Value == cur) return;
  list_.erase(list_.begin() + cur);
  list_.insert(list_.begin() + Value, Field);
  Changed();
  if (dataset_) dataset_->DataEvent(deLayoutChange, 0);
}
