// Fields: values in the native formats, conversions, texts and formats, validation and lookups.
#include <cmath>
#include <cstring>

#include "platform/db/DB.h"
#include "platform/rtl/Lifetime.h"

namespace {
// A stack buffer for native values of ordinary size, a heap one beyond.
class ValueBuffer {
 public:
  explicit ValueBuffer(int Size) : size_(Size < 0 ? 0 : Size) {
    if (size_ > static_cast<int>(sizeof(small_))) heap_.assign(static_cast<size_t>(size_), 0);
  }
  uint8_t* Data() { return size_ > static_cast<int>(sizeof(small_)) ? heap_.data() : small_; }
  int Size() const { return size_; }

 private:
  int size_;
  uint8_t small_[256];
  std::vector<uint8_t> heap_;
};

bool IsNumericStr(const TVariant& v) {
  return VarIsStr(v);
}

// Binary and blob values as variants: a byte array one way; a byte array or any text the other.
TVariant ByteArrayVariant(const std::string& Bytes) {
  TVariant v = VarArrayCreate({0, static_cast<int>(Bytes.size()) - 1}, varByte);
  v.Bytes() = Bytes;
  return v;
}

std::string BytesOfVariant(const TVariant& Value) {
  if (Value.IsArray() && (Value.VarType() & varTypeMask) == varByte) return Value.Bytes();
  return Value.AsString();
}

bool TryParseNumber(std::string_view s, int64_t& Number) {
  return TryStrToInt64(s, Number);
}
bool TryParseNumber(std::string_view s, double& Number) {
  return TryStrToFloat(s, Number);
}
bool TryParseNumber(std::string_view s, ::Currency& Number) {
  return TryStrToCurr(s, Number);
}

// The number in the text given to a number field: false for blank text (the field is cleared
// then); text that is no number is an error (Message) naming the field.
template <typename T>
bool ParseNumberText(const TField* Field, const std::string& Value, std::string_view Message, T& Number) {
  const std::string s = Trim(Value);
  if (s.empty()) return false;
  if (!TryParseNumber(s, Number)) DatabaseErrorFmt(Message, {Value, Field->DisplayName()}, Field->DataSet());
  return true;
}

// A variant given to an integer field: text is read as text, a fraction is rounded, anything else
// is taken as a whole number.
void SetIntegerVariant(TField* Field, const TVariant& Value) {
  if (IsNumericStr(Value)) {
    Field->SetAsString(Value.AsString());
  } else if (VarIsFloat(Value)) {
    Field->SetAsFloat(Value.AsDouble());
  } else {
    Field->SetAsLargeInt(Value.AsInt64());
  }
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// TField

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
  if (dataset_) {
    try {
      dataset_->Close();
    } catch (...) {
    }
  }
  if (fields_) fields_->Remove(this);
  if (lookupDataset_) lookupDataset_->RemoveFreeNotification(this);
}

void TField::SetDataSet(TDataSet* Value) {
  if (Value == dataset_ && !parentField_) return;
  if (dataset_) dataset_->CheckInactive();
  if (Value) {
    Value->CheckInactive();
    Value->Fields()->CheckFieldName(fieldName_);
  }
  if (fields_) fields_->Remove(this);
  parentField_ = nullptr;
  dataset_ = Value;
  if (Value) Value->Fields()->Add(this);
  if (auto* obj = dynamic_cast<TObjectField*>(this)) {
    for (TField* child : obj->Fields()->List()) child->dataset_ = Value;
  }
}

void TField::SetParentField(TObjectField* Value) {
  if (Value == parentField_) return;
  if (dataset_) dataset_->CheckInactive();
  if (Value) Value->Fields()->CheckFieldName(fieldName_);
  if (fields_) fields_->Remove(this);
  parentField_ = Value;
  dataset_ = Value ? Value->DataSet() : nullptr;
  if (Value) Value->Fields()->Add(this);
}

void TField::SetFieldName(const std::string& Value) {
  if (Value == fieldName_) return;
  if (fields_ && !SameFieldName(Value, fieldName_)) fields_->CheckFieldName(Value);
  fieldName_ = Value;
  PropertyChanged(true);
}

std::string TField::FullName() const {
  if (parentField_) return parentField_->FullName() + "." + fieldName_;
  return fieldName_;
}

void TField::SetFieldKind(TFieldKind Value) {
  if (Value == fieldKind_) return;
  if (dataset_) dataset_->CheckInactive();
  fieldKind_ = Value;
}

void TField::SetSize(int Value) {
  if (Value == size_) return;
  if (dataset_ && dataset_->Active() && fieldKind_ == fkData) dataset_->CheckInactive();
  CheckSize(Value);
  size_ = Value;
}

void TField::CheckSize(int Value) const {
  if (Value != 0) DatabaseError(SInvalidFieldSize, dataset_);
}

int TField::Index() const {
  return fields_ ? fields_->IndexOf(this) : -1;
}

void TField::SetIndex(int Value) {
  if (fields_) fields_->SetFieldIndex(this, Value);
}

void TField::PropertyChanged(bool LayoutAffected) {
  if (dataset_ && dataset_->Active())
    dataset_->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::SetDisplayLabel(const std::string& Value) {
  displayLabel_ = Value == fieldName_ ? std::string() : Value;
  PropertyChanged(true);
}

void TField::SetDisplayWidth(int Value) {
  displayWidth_ = Value;
  PropertyChanged(true);
}

void TField::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  PropertyChanged(true);
}

void TField::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  PropertyChanged(true);
}

void TField::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  PropertyChanged(false);
}

void TField::SetEditMask(const std::string& Value) {
  editMask_ = Value;
  PropertyChanged(false);
}

bool TField::CanModify() const {
  if (readOnly_ || !dataset_) return false;
  switch (fieldKind_) {
    case fkData:
    case fkInternalCalc:
      return dataset_->CanModify();
    case fkLookup: {
      if (keyFields_.empty()) return false;
      for (TField* key : dataset_->GetFieldList(keyFields_)) {
        if (!key->CanModify()) return false;
      }
      return true;
    }
    default:
      return false;
  }
}

void TField::SetLookupDataSet(TDataSet* Value) {
  if (Value == lookupDataset_) return;
  if (Value && Value == dataset_) DatabaseError(SCircularDataLink, dataset_);
  if (dataset_) dataset_->CheckInactive();
  if (lookupDataset_) lookupDataset_->RemoveFreeNotification(this);
  lookupDataset_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TField::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == lookupDataset_) lookupDataset_ = nullptr;
}

void TField::Bind(bool Binding) {
  if (!Binding || fieldKind_ != fkLookup) return;
  if (!lookupDataset_ || keyFields_.empty() || lookupKeyFields_.empty() || lookupResultField_.empty()) {
    DatabaseErrorFmt(SLookupInfoError, {DisplayName()}, dataset_);
  }
  dataset_->CheckFieldNames(keyFields_);
  lookupDataset_->Open();
  lookupDataset_->CheckFieldNames(lookupKeyFields_);
  lookupDataset_->FieldByName(lookupResultField_);
}

void TField::CalcLookupValue() {
  if (!lookupDataset_ || !lookupDataset_->Active()) return;
  SetAsVariant(
      lookupDataset_->Lookup(lookupKeyFields_, dataset_->FieldValues(keyFields_), lookupResultField_));
}

bool TField::GetData(void* Buffer, bool NativeFormat) const {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  if (validating_) {
    if (!validateBuffer_) return false;
    if (Buffer) {
      if (NativeFormat) {
        std::memcpy(Buffer, validateBuffer_, static_cast<size_t>(DataSize()));
      } else {
        dataset_->DataConvert(const_cast<TField*>(this), validateBuffer_, Buffer, false);
      }
    }
    return true;
  }
  return dataset_->GetFieldData(const_cast<TField*>(this), Buffer, NativeFormat);
}

void TField::SetData(const void* Buffer, bool NativeFormat) {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  const TDataSetState state = dataset_->State();
  if (!dsWriteModes.Contains(state)) DatabaseError(SNotEditing, dataset_);
  if (state == dsCalcFields && (fieldKind_ == fkData || fieldKind_ == fkInternalCalc)) {
    DatabaseError(SNotEditing, dataset_);
  }
  if (readOnly_ && (state == dsEdit || state == dsInsert) && fieldKind_ != fkCalculated &&
      fieldKind_ != fkLookup) {
    DatabaseErrorFmt(SFieldReadOnly, {DisplayName()}, dataset_);
  }
  dataset_->SetFieldData(this, Buffer, NativeFormat);
}

void TField::Validate(const void* Buffer) {
  if (!OnValidate) return;
  validateBuffer_ = Buffer;
  validating_ = true;
  try {
    OnValidate(this);
  } catch (...) {
    validating_ = false;
    validateBuffer_ = nullptr;
    throw;
  }
  validating_ = false;
  validateBuffer_ = nullptr;
}

void TField::Change() {
  InvokeEvent(OnChange, this);
}

void TField::FocusControl() {
  if (!dataset_) return;
  TField* field = this;
  dataset_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&field));
}

bool TField::IsNull() const {
  return !GetData(nullptr);
}

void TField::Clear() {
  SetData(nullptr);
}

void TField::SetAsVariant(const TVariant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) {
    Clear();
  } else {
    SetVarValue(Value);
  }
}

TVariant TField::OldValue() const {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return dataset_->GetStateFieldValue(dsOldValue, const_cast<TField*>(this));
}

TVariant TField::NewValue() const {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return dataset_->GetStateFieldValue(dsNewValue, const_cast<TField*>(this));
}

void TField::SetNewValue(const TVariant& Value) {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  dataset_->SetStateFieldValue(dsNewValue, this, Value);
}

TVariant TField::CurValue() const {
  if (!dataset_) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return dataset_->GetStateFieldValue(dsCurValue, const_cast<TField*>(this));
}

std::string TField::Text() const {
  std::string text;
  if (OnGetText) {
    OnGetText(const_cast<TField*>(this), text, false);
  } else {
    GetText(text, false);
  }
  return text;
}

std::string TField::DisplayText() const {
  std::string text;
  if (OnGetText) {
    OnGetText(const_cast<TField*>(this), text, true);
  } else {
    GetText(text, true);
  }
  return text;
}

void TField::SetText(const std::string& Value) {
  if (OnSetText) {
    OnSetText(this, Value);
  } else {
    SetTextValue(Value);
  }
}

void TField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetAsString();
}

void TField::SetTextValue(const std::string& Value) {
  SetAsStringValue(Value);
}

std::string TField::GetClassDesc() const {
  std::string name = ClassName();
  if (!name.empty() && name[0] == 'T') name.erase(0, 1);
  if (const auto p = name.find("Field"); p != std::string::npos) name.erase(p, 5);
  return "(" + (IsNull() ? AnsiLowerCase(name) : AnsiUpperCase(name)) + ")";
}

void TField::AccessError(const char* TypeName) const {
  DatabaseErrorFmt(SFieldAccessError, {DisplayName(), TypeName}, dataset_);
}

void TField::RangeError(double Value, double Min, double Max) const {
  DatabaseErrorFmt(SFieldRangeError, {Value, DisplayName(), Min, Max}, dataset_);
}

std::string TField::GetAsString() const {
  return GetClassDesc();
}
void TField::SetAsStringValue(const std::string&) {
  AccessError("String");
}
int TField::GetAsInteger() const {
  AccessError("Integer");
}
void TField::SetAsIntegerValue(int) {
  AccessError("Integer");
}
int64_t TField::GetAsLargeInt() const {
  return GetAsInteger();
}
void TField::SetAsLargeIntValue(int64_t Value) {
  if (Value < INT32_MIN || Value > INT32_MAX) RangeError(static_cast<double>(Value), INT32_MIN, INT32_MAX);
  SetAsIntegerValue(static_cast<int>(Value));
}
double TField::GetAsFloat() const {
  AccessError("Float");
}
void TField::SetAsFloatValue(double) {
  AccessError("Float");
}
Currency TField::GetAsCurrency() const {
  return Currency::FromDouble(GetAsFloat());
}
void TField::SetAsCurrencyValue(Currency Value) {
  SetAsFloatValue(Value.ToDouble());
}
TDateTime TField::GetAsDateTime() const {
  AccessError("DateTime");
}
void TField::SetAsDateTimeValue(TDateTime) {
  AccessError("DateTime");
}
bool TField::GetAsBoolean() const {
  AccessError("Boolean");
}
void TField::SetAsBooleanValue(bool) {
  AccessError("Boolean");
}
TVariant TField::GetAsVariant() const {
  AccessError("Variant");
}
void TField::SetVarValue(const TVariant&) {
  AccessError("Variant");
}

void TField::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (auto* f = dynamic_cast<TField*>(Source)) {
    SetAsVariant(f->Value());
    return;
  }
  TComponent::Assign(Source);
}

// ---------------------------------------------------------------------------------------------------
// TStringField

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftString);
  TField::SetSize(20);
}

void TStringField::CheckSize(int Value) const {
  if (Value < 0 || Value > 65535) DatabaseError(SInvalidFieldSize, DataSet());
}

bool TStringField::GetValue(std::string& Value) const {
  ValueBuffer buf(DataSize());
  if (!GetData(buf.Data())) return false;
  const auto* p = reinterpret_cast<const char*>(buf.Data());
  Value.assign(p, strnlen(p, static_cast<size_t>(buf.Size())));
  if (fixedChar_) Value = TrimRight(Value);
  return true;
}

std::string TStringField::GetAsString() const {
  std::string s;
  GetValue(s);
  return s;
}

void TStringField::SetAsStringValue(const std::string& Value) {
  // A text that does not fit is refused whole: cutting it would lose what the user typed.
  const int chars = Utf8Length(Value);
  if (chars > Size() || Value.size() >= static_cast<size_t>(DataSize()))
    DatabaseErrorFmt(SFieldValueTooLong, {DisplayName(), chars, Size()}, DataSet());
  ValueBuffer buf(DataSize());
  std::memcpy(buf.Data(), Value.data(), Value.size());
  buf.Data()[Value.size()] = 0;
  SetData(buf.Data());
}

int TStringField::GetAsInteger() const {
  const int64_t v = GetAsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) DatabaseErrorFmt(SInvalidIntegerValue, {GetAsString(), DisplayName()});
  return static_cast<int>(v);
}

void TStringField::SetAsIntegerValue(int Value) {
  SetAsStringValue(IntToStr(Value));
}

int64_t TStringField::GetAsLargeInt() const {
  const std::string s = Trim(GetAsString());
  if (s.empty()) return 0;
  int64_t v = 0;
  if (!TryStrToInt64(s, v)) DatabaseErrorFmt(SInvalidIntegerValue, {s, DisplayName()}, DataSet());
  return v;
}

void TStringField::SetAsLargeIntValue(int64_t Value) {
  SetAsStringValue(IntToStr(Value));
}

double TStringField::GetAsFloat() const {
  const std::string s = Trim(GetAsString());
  if (s.empty()) return 0;
  double v = 0;
  if (!TryStrToFloat(s, v)) DatabaseErrorFmt(SInvalidFloatValue, {s, DisplayName()}, DataSet());
  return v;
}

void TStringField::SetAsFloatValue(double Value) {
  SetAsStringValue(FloatToStr(Value));
}

TDateTime TStringField::GetAsDateTime() const {
  const std::string s = Trim(GetAsString());
  return s.empty() ? 0 : StrToDateTime(s);
}

void TStringField::SetAsDateTimeValue(TDateTime Value) {
  SetAsStringValue(DateTimeToStr(Value));
}

bool TStringField::GetAsBoolean() const {
  const std::string s = GetAsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsBooleanValue(bool Value) {
  SetAsStringValue(Value ? "T" : "F");
}

TVariant TStringField::GetAsVariant() const {
  std::string s;
  if (!GetValue(s)) return TVariant::MakeNull();
  return TVariant(std::move(s));
}

void TStringField::SetVarValue(const TVariant& Value) {
  SetAsStringValue(Value.AsString());
}

void TStringField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetAsString();
}

TWideStringField::TWideStringField(TComponent* AOwner) : TStringField(AOwner) {
  SetDataType(ftWideString);
}

TGuidField::TGuidField(TComponent* AOwner) : TStringField(AOwner) {
  SetDataType(ftGuid);
  TField::SetSize(38);
}

void TGuidField::CheckSize(int Value) const {
  if (Value != 38) DatabaseError(SInvalidFieldSize, DataSet());
}

// ---------------------------------------------------------------------------------------------------
// Numeric fields

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner) {
  SetAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const std::string& Value) {
  displayFormat_ = Value;
  PropertyChanged(false);
}

void TNumericField::SetEditFormat(const std::string& Value) {
  editFormat_ = Value;
  PropertyChanged(false);
}

const std::string& TNumericField::TextFormat(bool DisplayText) const {
  return (DisplayText || editFormat_.empty()) ? displayFormat_ : editFormat_;
}

TIntegerField::TIntegerField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftInteger);
  SetValidChars(TFieldChars::Of("+-0123456789"));
}

bool TIntegerField::GetValue(int& Value) const {
  int32_t v = 0;
  if (!GetData(&v)) return false;
  Value = v;
  return true;
}

void TIntegerField::CheckRange(int64_t Value) const {
  if (Value < minRange_ || Value > maxRange_) {
    RangeError(static_cast<double>(Value), static_cast<double>(minRange_), static_cast<double>(maxRange_));
  }
  if ((minValue_ != 0 || maxValue_ != 0) && (Value < minValue_ || Value > maxValue_)) {
    RangeError(static_cast<double>(Value), minValue_, maxValue_);
  }
}

std::string TIntegerField::GetAsString() const {
  int v = 0;
  return GetValue(v) ? IntToStr(v) : std::string();
}

void TIntegerField::SetAsStringValue(const std::string& Value) {
  int64_t v = 0;
  if (ParseNumberText(this, Value, SInvalidIntegerValue, v)) {
    SetAsLargeIntValue(v);
  } else {
    Clear();
  }
}

int TIntegerField::GetAsInteger() const {
  int v = 0;
  return GetValue(v) ? v : 0;
}

void TIntegerField::SetAsIntegerValue(int Value) {
  CheckRange(Value);
  const int32_t v = Value;
  SetData(&v);
}

int64_t TIntegerField::GetAsLargeInt() const {
  return GetAsInteger();
}

void TIntegerField::SetAsLargeIntValue(int64_t Value) {
  CheckRange(Value);
  const int32_t v = static_cast<int32_t>(Value);
  SetData(&v);
}

double TIntegerField::GetAsFloat() const {
  return GetAsInteger();
}

void TIntegerField::SetAsFloatValue(double Value) {
  if (!std::isfinite(Value) || Value < static_cast<double>(minRange_) - 0.5 ||
      Value >= static_cast<double>(maxRange_) + 0.5) {
    RangeError(Value, static_cast<double>(minRange_), static_cast<double>(maxRange_));
  }
  SetAsLargeIntValue(std::llround(Value));
}

Currency TIntegerField::GetAsCurrency() const {
  return Currency(GetAsInteger());
}

TVariant TIntegerField::GetAsVariant() const {
  int v = 0;
  return GetValue(v) ? TVariant(v) : TVariant::MakeNull();
}

void TIntegerField::SetVarValue(const TVariant& Value) {
  SetIntegerVariant(this, Value);
}

void TIntegerField::GetText(std::string& Text, bool DisplayText) const {
  int v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const std::string& fmt = TextFormat(DisplayText);
  Text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, v);
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner) {
  SetDataType(ftSmallint);
  SetTypeRange(-32768, 32767);
}

TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner) {
  SetDataType(ftWord);
  SetTypeRange(0, 65535);
}

TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner) {
  SetDataType(ftAutoInc);
}

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftLargeint);
  SetValidChars(TFieldChars::Of("+-0123456789"));
}

bool TLargeintField::GetValue(int64_t& Value) const {
  int64_t v = 0;
  if (!GetData(&v)) return false;
  Value = v;
  return true;
}

std::string TLargeintField::GetAsString() const {
  int64_t v = 0;
  return GetValue(v) ? IntToStr(v) : std::string();
}

void TLargeintField::SetAsStringValue(const std::string& Value) {
  int64_t v = 0;
  if (ParseNumberText(this, Value, SInvalidIntegerValue, v)) {
    SetAsLargeIntValue(v);
  } else {
    Clear();
  }
}

int TLargeintField::GetAsInteger() const {
  const int64_t v = GetAsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) RangeError(static_cast<double>(v), INT32_MIN, INT32_MAX);
  return static_cast<int>(v);
}

void TLargeintField::SetAsIntegerValue(int Value) {
  SetAsLargeIntValue(Value);
}

int64_t TLargeintField::GetAsLargeInt() const {
  int64_t v = 0;
  return GetValue(v) ? v : 0;
}

void TLargeintField::SetAsLargeIntValue(int64_t Value) {
  if ((minValue_ != 0 || maxValue_ != 0) && (Value < minValue_ || Value > maxValue_)) {
    RangeError(static_cast<double>(Value), static_cast<double>(minValue_), static_cast<double>(maxValue_));
  }
  SetData(&Value);
}

double TLargeintField::GetAsFloat() const {
  return static_cast<double>(GetAsLargeInt());
}

void TLargeintField::SetAsFloatValue(double Value) {
  if (!std::isfinite(Value) || std::fabs(Value) >= 9.2e18) RangeError(Value, -9.2e18, 9.2e18);
  SetAsLargeIntValue(std::llround(Value));
}

TVariant TLargeintField::GetAsVariant() const {
  int64_t v = 0;
  return GetValue(v) ? TVariant(static_cast<long long>(v)) : TVariant::MakeNull();
}

void TLargeintField::SetVarValue(const TVariant& Value) {
  SetIntegerVariant(this, Value);
}

void TLargeintField::GetText(std::string& Text, bool DisplayText) const {
  int64_t v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const std::string& fmt = TextFormat(DisplayText);
  Text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, static_cast<double>(v));
}

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftFloat);
}

bool TFloatField::IsValidChar(char32_t InputChar) const {
  if ((InputChar >= '0' && InputChar <= '9') || InputChar == '+' || InputChar == '-' || InputChar == 'E' ||
      InputChar == 'e') {
    return true;
  }
  return InputChar == static_cast<unsigned char>(FormatSettings.DecimalSeparator);
}

void TFloatField::SetCurrency(bool Value) {
  currency_ = Value;
  PropertyChanged(false);
}

void TFloatField::SetPrecision(int Value) {
  precision_ = std::clamp(Value, 2, 15);
  PropertyChanged(false);
}

bool TFloatField::GetValue(double& Value) const {
  double v = 0;
  if (!GetData(&v)) return false;
  Value = v;
  return true;
}

std::string TFloatField::GetAsString() const {
  double v = 0;
  return GetValue(v) ? FloatToStrF(v, ffGeneral, 15, 0) : std::string();
}

void TFloatField::SetAsStringValue(const std::string& Value) {
  double v = 0;
  if (ParseNumberText(this, Value, SInvalidFloatValue, v)) {
    SetAsFloatValue(v);
  } else {
    Clear();
  }
}

int TFloatField::GetAsInteger() const {
  const double v = GetAsFloat();
  if (!(v > INT32_MIN - 0.5 && v < INT32_MAX + 0.5)) RangeError(v, INT32_MIN, INT32_MAX);
  return static_cast<int>(std::lround(v));
}

void TFloatField::SetAsIntegerValue(int Value) {
  SetAsFloatValue(Value);
}

int64_t TFloatField::GetAsLargeInt() const {
  const double v = GetAsFloat();
  if (!(std::fabs(v) < 9.2e18)) RangeError(v, -9.2e18, 9.2e18);
  return std::llround(v);
}

double TFloatField::GetAsFloat() const {
  double v = 0;
  return GetValue(v) ? v : 0;
}

void TFloatField::SetAsFloatValue(double Value) {
  if (!std::isfinite(Value)) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, DataSet());
  if ((minValue_ != 0 || maxValue_ != 0) && (Value < minValue_ || Value > maxValue_)) {
    RangeError(Value, minValue_, maxValue_);
  }
  SetData(&Value);
}

::Currency TFloatField::GetAsCurrency() const {
  return ::Currency::FromDouble(GetAsFloat());
}

void TFloatField::SetAsCurrencyValue(::Currency Value) {
  SetAsFloatValue(Value.ToDouble());
}

TVariant TFloatField::GetAsVariant() const {
  double v = 0;
  return GetValue(v) ? TVariant(v) : TVariant::MakeNull();
}

void TFloatField::SetVarValue(const TVariant& Value) {
  if (IsNumericStr(Value)) {
    SetAsStringValue(Value.AsString());
  } else {
    SetAsFloatValue(Value.AsDouble());
  }
}

void TFloatField::GetText(std::string& Text, bool DisplayText) const {
  double v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const std::string& fmt = TextFormat(DisplayText);
  if (!fmt.empty()) {
    Text = FormatFloat(fmt, v);
  } else if (currency_) {
    Text = FloatToStrF(v, DisplayText ? ffCurrency : ffFixed, precision_, FormatSettings.CurrencyDecimals);
  } else {
    Text = FloatToStrF(v, ffGeneral, precision_, 0);
  }
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner) {
  SetDataType(ftCurrency);
  SetCurrency(true);
}

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftBCD);
  TField::SetSize(4);
}

bool TBCDField::IsValidChar(char32_t InputChar) const {
  if ((InputChar >= '0' && InputChar <= '9') || InputChar == '+' || InputChar == '-') return true;
  return InputChar == static_cast<unsigned char>(FormatSettings.DecimalSeparator);
}

void TBCDField::CheckSize(int Value) const {
  if (Value < 0 || Value > 4) DatabaseError(SInvalidFieldSize, DataSet());
}

void TBCDField::SetCurrency(bool Value) {
  currency_ = Value;
  PropertyChanged(false);
}

bool TBCDField::GetValue(::Currency& Value) const {
  int64_t v = 0;
  if (!GetData(&v)) return false;
  Value = ::Currency::FromScaled(v);
  return true;
}

std::string TBCDField::GetAsString() const {
  ::Currency v;
  return GetValue(v) ? CurrToStr(v) : std::string();
}

void TBCDField::SetAsStringValue(const std::string& Value) {
  ::Currency v;
  if (ParseNumberText(this, Value, SInvalidFloatValue, v)) {
    SetAsCurrencyValue(v);
  } else {
    Clear();
  }
}

int TBCDField::GetAsInteger() const {
  const double v = GetAsFloat();
  if (!(v > INT32_MIN - 0.5 && v < INT32_MAX + 0.5)) RangeError(v, INT32_MIN, INT32_MAX);
  return static_cast<int>(std::lround(v));
}

void TBCDField::SetAsIntegerValue(int Value) {
  SetAsCurrencyValue(::Currency(Value));
}

double TBCDField::GetAsFloat() const {
  return GetAsCurrency().ToDouble();
}

void TBCDField::SetAsFloatValue(double Value) {
  if (!std::isfinite(Value) || std::fabs(Value) >= 9.2e14) DatabaseError(SBcdOverflow, DataSet());
  SetAsCurrencyValue(::Currency::FromDouble(Value));
}

::Currency TBCDField::GetAsCurrency() const {
  ::Currency v;
  return GetValue(v) ? v : ::Currency();
}

void TBCDField::SetAsCurrencyValue(::Currency Value) {
  if ((minValue_ != ::Currency() || maxValue_ != ::Currency()) && (Value < minValue_ || Value > maxValue_)) {
    RangeError(Value.ToDouble(), minValue_.ToDouble(), maxValue_.ToDouble());
  }
  const int64_t v = Value.Scaled();
  SetData(&v);
}

TVariant TBCDField::GetAsVariant() const {
  ::Currency v;
  return GetValue(v) ? TVariant(v) : TVariant::MakeNull();
}

void TBCDField::SetVarValue(const TVariant& Value) {
  if (IsNumericStr(Value)) {
    SetAsStringValue(Value.AsString());
  } else {
    SetAsCurrencyValue(Value.AsCurrency());
  }
}

void TBCDField::GetText(std::string& Text, bool DisplayText) const {
  ::Currency v;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const std::string& fmt = TextFormat(DisplayText);
  if (!fmt.empty()) {
    Text = FormatCurr(fmt, v);
  } else if (currency_) {
    Text = CurrToStrF(v, DisplayText ? ffCurrency : ffFixed, FormatSettings.CurrencyDecimals);
  } else {
    Text = CurrToStr(v);
  }
}

// ---------------------------------------------------------------------------------------------------
// TBooleanField

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftBoolean);
}

void TBooleanField::SetDisplayValues(const std::string& Value) {
  displayValues_ = Value;
  const auto p = Value.find(';');
  if (Value.empty()) {
    trueText_ = STextTrue;
    falseText_ = STextFalse;
  } else if (p == std::string::npos) {
    trueText_ = Value;
    falseText_.clear();
  } else {
    trueText_ = Value.substr(0, p);
    falseText_ = Value.substr(p + 1);
  }
  PropertyChanged(true);
}

int TBooleanField::GetDefaultWidth() const {
  return std::max(Utf8Length(trueText_), Utf8Length(falseText_));
}

bool TBooleanField::GetValue(bool& Value) const {
  int16_t v = 0;
  if (!GetData(&v)) return false;
  Value = v != 0;
  return true;
}

std::string TBooleanField::GetAsString() const {
  bool v = false;
  if (!GetValue(v)) return {};
  return v ? trueText_ : falseText_;
}

void TBooleanField::SetAsStringValue(const std::string& Value) {
  if (Value.empty()) {
    if (falseText_.empty()) {
      SetAsBooleanValue(false);
    } else if (trueText_.empty()) {
      SetAsBooleanValue(true);
    } else {
      Clear();
    }
    return;
  }
  const int n = Utf8Length(Value);
  if (AnsiSameText(Value, Utf8Copy(falseText_, 1, n))) {
    SetAsBooleanValue(false);
  } else if (AnsiSameText(Value, Utf8Copy(trueText_, 1, n))) {
    SetAsBooleanValue(true);
  } else {
    DatabaseErrorFmt(SInvalidBoolValue, {Value, DisplayName()}, DataSet());
  }
}

int TBooleanField::GetAsInteger() const {
  return GetAsBoolean() ? 1 : 0;
}

void TBooleanField::SetAsIntegerValue(int Value) {
  SetAsBooleanValue(Value != 0);
}

bool TBooleanField::GetAsBoolean() const {
  bool v = false;
  return GetValue(v) && v;
}

void TBooleanField::SetAsBooleanValue(bool Value) {
  const int16_t v = Value ? 1 : 0;
  SetData(&v);
}

TVariant TBooleanField::GetAsVariant() const {
  bool v = false;
  return GetValue(v) ? TVariant(v) : TVariant::MakeNull();
}

void TBooleanField::SetVarValue(const TVariant& Value) {
  if (VarIsStr(Value)) {
    SetAsStringValue(Value.AsString());
  } else {
    SetAsBooleanValue(Value.AsBoolean());
  }
}

void TBooleanField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetAsString();
}

// ---------------------------------------------------------------------------------------------------
// Date and time fields

TDateTimeField::TDateTimeField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftDateTime);
}

void TDateTimeField::SetDisplayFormat(const std::string& Value) {
  displayFormat_ = Value;
  PropertyChanged(false);
}

bool TDateTimeField::GetValue(TDateTime& Value) const {
  TDateTime v = 0;
  if (!GetData(&v, false)) return false;
  Value = v;
  return true;
}

std::string TDateTimeField::GetAsString() const {
  std::string s;
  GetText(s, false);
  return s;
}

void TDateTimeField::SetAsStringValue(const std::string& Value) {
  const std::string s = Trim(Value);
  if (s.empty()) {
    Clear();
    return;
  }
  switch (DataType()) {
    case ftDate:
      SetAsDateTimeValue(StrToDate(s));
      break;
    case ftTime:
      SetAsDateTimeValue(StrToTime(s));
      break;
    default:
      SetAsDateTimeValue(StrToDateTime(s));
  }
}

double TDateTimeField::GetAsFloat() const {
  return GetAsDateTime();
}

void TDateTimeField::SetAsFloatValue(double Value) {
  SetAsDateTimeValue(Value);
}

TDateTime TDateTimeField::GetAsDateTime() const {
  TDateTime v = 0;
  return GetValue(v) ? v : 0;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime Value) {
  if (!std::isfinite(Value) || Value < MinDateTime || Value > MaxDateTime + 1) {
    DatabaseErrorFmt(SFieldValueError, {DisplayName()}, DataSet());
  }
  SetData(&Value, false);
}

TVariant TDateTimeField::GetAsVariant() const {
  TDateTime v = 0;
  return GetValue(v) ? TVariant::FromDate(v) : TVariant::MakeNull();
}

void TDateTimeField::SetVarValue(const TVariant& Value) {
  if (VarIsStr(Value)) {
    SetAsStringValue(Value.AsString());
  } else {
    SetAsDateTimeValue(Value.AsDateTime());
  }
}

void TDateTimeField::GetText(std::string& Text, bool DisplayText) const {
  TDateTime v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  std::string fmt;
  if (DisplayText && !displayFormat_.empty()) {
    fmt = displayFormat_;
  } else if (DataType() == ftDate) {
    fmt = FormatSettings.ShortDateFormat;
  } else if (DataType() == ftTime) {
    fmt = FormatSettings.LongTimeFormat;
  }
  Text = FormatDateTime(fmt, v);
}

TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner) {
  SetDataType(ftDate);
}

TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner) {
  SetDataType(ftTime);
}

TSQLTimeStampField::TSQLTimeStampField(TComponent* AOwner) : TDateTimeField(AOwner) {
  SetDataType(ftTimeStamp);
}

// ---------------------------------------------------------------------------------------------------
// Binary fields

TBinaryField::TBinaryField(TComponent* AOwner) : TField(AOwner) {
  TField::SetSize(16);
}

void TBinaryField::CheckSize(int Value) const {
  if (Value < 0 || Value > 65535) DatabaseError(SInvalidFieldSize, DataSet());
}

std::string TBinaryField::BytesOf(const uint8_t* Native) const {
  return std::string(reinterpret_cast<const char*>(Native), static_cast<size_t>(Size()));
}

void TBinaryField::PutBytes(const std::string& Bytes, uint8_t* Native) const {
  std::memcpy(Native, Bytes.data(), Bytes.size());
}

std::string TBinaryField::GetAsString() const {
  ValueBuffer buf(DataSize());
  if (!GetData(buf.Data())) return {};
  return BytesOf(buf.Data());
}

void TBinaryField::SetAsStringValue(const std::string& Value) {
  if (static_cast<int>(Value.size()) > Size()) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, DataSet());
  ValueBuffer buf(DataSize());
  PutBytes(Value, buf.Data());
  SetData(buf.Data());
}

TVariant TBinaryField::GetAsVariant() const {
  ValueBuffer buf(DataSize());
  if (!GetData(buf.Data())) return TVariant::MakeNull();
  return ByteArrayVariant(BytesOf(buf.Data()));
}

void TBinaryField::SetVarValue(const TVariant& Value) {
  SetAsStringValue(BytesOfVariant(Value));
}

void TBinaryField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetClassDesc();
}

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner) {
  SetDataType(ftBytes);
}

TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner) {
  SetDataType(ftVarBytes);
}

std::string TVarBytesField::BytesOf(const uint8_t* Native) const {
  uint16_t n = 0;
  std::memcpy(&n, Native, 2);
  n = static_cast<uint16_t>(std::min<int>(n, Size()));
  return std::string(reinterpret_cast<const char*>(Native + 2), n);
}

void TVarBytesField::PutBytes(const std::string& Bytes, uint8_t* Native) const {
  const auto n = static_cast<uint16_t>(Bytes.size());
  std::memcpy(Native, &n, 2);
  std::memcpy(Native + 2, Bytes.data(), Bytes.size());
}

// ---------------------------------------------------------------------------------------------------
// Blob fields

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftBlob);
}

void TBlobField::CheckSize(int Value) const {
  if (Value < 0) DatabaseError(SInvalidFieldSize, DataSet());
}

void TBlobField::SetBlobType(TFieldType Value) {
  if (ftBlobTypes.Contains(Value)) SetDataType(Value);
}

namespace {
std::unique_ptr<TStream> OpenBlob(const TBlobField* Field, TBlobStreamMode Mode) {
  TDataSet* ds = Field->DataSet();
  if (!ds) DatabaseErrorFmt(SDataSetMissing, {Field->DisplayName()});
  if (Mode != bmRead) {
    if (!dsWriteModes.Contains(ds->State())) DatabaseError(SNotEditing, ds);
    if (Field->ReadOnly() && (ds->State() == dsEdit || ds->State() == dsInsert)) {
      DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()}, ds);
    }
  }
  auto stream = ds->CreateBlobStream(const_cast<TBlobField*>(Field), Mode);
  if (!stream) DatabaseError(SNotSupported, ds);
  return stream;
}

std::string ReadAll(TStream* Stream) {
  std::string s;
  const int64_t size = Stream->Size();
  Stream->SetPosition(0);
  if (size > 0) {
    s.resize(static_cast<size_t>(size));
    s.resize(static_cast<size_t>(Stream->Read(s.data(), size)));
  }
  return s;
}
}  // namespace

bool TBlobField::IsNull() const {
  if (modified_) return OpenBlob(this, bmRead)->Size() == 0;
  return TField::IsNull();
}

void TBlobField::Clear() {
  OpenBlob(this, bmWrite);
}

int64_t TBlobField::BlobSize() const {
  return OpenBlob(this, bmRead)->Size();
}

void TBlobField::LoadFromStream(TStream* Stream) {
  auto blob = OpenBlob(this, bmWrite);
  Stream->SetPosition(0);
  blob->CopyFrom(Stream, 0);
}

void TBlobField::SaveToStream(TStream* Stream) const {
  auto blob = OpenBlob(this, bmRead);
  blob->SetPosition(0);
  if (blob->Size() > 0) Stream->CopyFrom(blob.get(), 0);
}

void TBlobField::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}

void TBlobField::SaveToFile(const std::string& FileName) const {
  TFileStream file(FileName, fmCreate);
  SaveToStream(&file);
}

void TBlobField::FreeBuffers() {
  if (modified_) {
    if (DataSet()) DataSet()->CloseBlob(this);
    modified_ = false;
  }
}

std::string TBlobField::GetAsString() const {
  auto blob = OpenBlob(this, bmRead);
  return ReadAll(blob.get());
}

void TBlobField::SetAsStringValue(const std::string& Value) {
  auto blob = OpenBlob(this, bmWrite);
  if (!Value.empty()) blob->WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
}

TVariant TBlobField::GetAsVariant() const {
  if (IsNull()) return TVariant::MakeNull();
  return ByteArrayVariant(GetAsString());
}

void TBlobField::SetVarValue(const TVariant& Value) {
  SetAsStringValue(BytesOfVariant(Value));
}

void TBlobField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetClassDesc();
}

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner) {
  SetDataType(ftMemo);
}

TVariant TMemoField::GetAsVariant() const {
  if (IsNull()) return TVariant::MakeNull();
  return TVariant(GetAsString());
}

TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner) {
  SetDataType(ftGraphic);
}

// ---------------------------------------------------------------------------------------------------
// Object fields

TObjectField::TObjectField(TComponent* AOwner)
    : TField(AOwner), fields_(std::make_unique<TFields>(nullptr)) {}

TObjectField::~TObjectField() {
  fields_.reset();
}

bool TObjectField::IsNull() const {
  for (TField* f : fields_->List()) {
    if (!f->IsNull()) return false;
  }
  return true;
}

void TObjectField::Clear() {
  for (TField* f : fields_->List()) f->Clear();
}

TVariant TObjectField::GetAsVariant() const {
  if (IsNull()) return TVariant::MakeNull();
  TVariant v = VarArrayCreate({0, FieldCount() - 1}, varVariant);
  for (int i = 0; i < FieldCount(); ++i) v.SetElement(i, fields_->Fields(i)->Value());
  return v;
}

void TObjectField::SetVarValue(const TVariant& Value) {
  if (!Value.IsArray() || Value.ElementCount() != FieldCount()) {
    DatabaseErrorFmt(SFieldValueError, {DisplayName()}, DataSet());
  }
  for (int i = 0; i < FieldCount(); ++i) fields_->Fields(i)->SetValue(Value.GetElement(Value.LowBound() + i));
}

void TObjectField::GetText(std::string& Text, bool /*DisplayText*/) const {
  Text = GetClassDesc();
}

TADTField::TADTField(TComponent* AOwner) : TObjectField(AOwner) {
  SetDataType(ftADT);
}

TArrayField::TArrayField(TComponent* AOwner) : TObjectField(AOwner) {
  SetDataType(ftArray);
}

TDataSetField::TDataSetField(TComponent* AOwner) : TObjectField(AOwner) {
  SetDataType(ftDataSet);
}

TReferenceField::TReferenceField(TComponent* AOwner) : TDataSetField(AOwner) {
  SetDataType(ftReference);
}
