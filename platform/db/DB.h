// The dataset framework: datasets with a ring of record buffers, navigation, the edit cycle and its
// events, bookmarks and filtering hooks (TDataSet); typed fields with conversions, formats and events
// (TField and its kinds); field and index definitions; parameters; data sources and data links that
// controls attach to; the provider interface.
//
// A descendant supplies the storage: it allocates record buffers, fills one with GetRecord, moves its
// own cursor on the Internal* calls and reads and writes field values in the native formats below
// through GetFieldData/SetFieldData. Native formats (DataSize bytes): ftString and its kin
// zero-terminated UTF-8 text of at most Size characters (4 × Size + 1 bytes); ftSmallint, ftWord,
// ftInteger, ftAutoInc a 4-byte int; ftLargeint an 8-byte int; ftBoolean a 2-byte int (0 false); ftFloat,
// ftCurrency an 8-byte double; ftBCD, ftFMTBcd a Currency (8-byte scaled int); ftDate a 4-byte day number and
// ftTime 4-byte milliseconds (TTimeStamp's halves); ftDateTime, ftTimeStamp an 8-byte double of milliseconds
// (TimeStampToMSecs); ftBytes Size bytes; ftVarBytes a 2-byte length and Size bytes; blob kinds none
// (their values go through CreateBlobStream).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/DBConsts.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

class TDataSet;
class TDataSource;
class TDataLink;
class TField;
class TFields;
class TFieldDef;
class TFieldDefs;
class TObjectField;
class TParams;
class TIndexDefs;
class TIndexDef;

TALVIK_DECLARE_EXCEPTION(EDatabaseError, Exception);

// Raises EDatabaseError; with a named component the message reads "Name: Message".
[[noreturn]] void DatabaseError(const std::string& Message, TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(std::string_view Message, std::initializer_list<TFormatArg> Args,
                                   TComponent* Component = nullptr);

// ---------------------------------------------------------------------------------------------------
// Enumerations

enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening
};
using TDataSetStates = TSet<TDataSetState>;
inline constexpr TDataSetStates dsEditModes{dsEdit, dsInsert, dsSetKey};
inline constexpr TDataSetStates dsWriteModes{dsEdit,       dsInsert,   dsSetKey,
                                             dsCalcFields, dsNewValue, dsInternalCalc};

enum TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd
};
using TFieldTypes = TSet<TFieldType>;
// "String", "Integer", ... as the class library names the types.
std::string FieldTypeName(TFieldType Type);
inline constexpr TFieldTypes ftBlobTypes{ftBlob,     ftMemo,        ftGraphic, ftFmtMemo, ftParadoxOle,
                                         ftDBaseOle, ftTypedBinary, ftOraBlob, ftOraClob};

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
using TFieldKinds = TSet<TFieldKind>;

enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll,
  deConnectChange,
  deReconcileError,
  deDisabledStateChange
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeItem { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeItem>;
enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;
enum TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSet<TFilterOption>;
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
using TUpdateStatusSet = TSet<TUpdateStatus>;
enum TUpdateKind { ukModify, ukInsert, ukDelete };
enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TProviderFlag { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using TProviderFlags = TSet<TProviderFlag>;
enum TFieldAttribute { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TSet<TFieldAttribute>;
enum TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained };
using TIndexOptions = TSet<TIndexOption>;
enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// A record buffer: a block of the dataset's record size, allocated by AllocRecordBuffer.
using TRecordBuffer = uint8_t*;
// A bookmark: BookmarkSize bytes; the empty string is no bookmark.
using TBookmark = std::string;
using TBookmarkStr = std::string;

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, std::string& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const std::string& Text)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

// Field names compare without regard to case (Cyrillic included).
bool SameFieldName(std::string_view A, std::string_view B);

// Splits "A;B;C" field lists: the next name from 1-based Pos, which moves past the ';'. Blanks
// around a name are removed.
std::string ExtractFieldName(std::string_view Fields, int& Pos);

// The characters an entry may accept for a field: ASCII by bit, every other character by one flag.
class TFieldChars {
 public:
  static TFieldChars All();
  static TFieldChars Of(std::string_view Ascii);
  bool Contains(char32_t C) const;
  void Include(char C) { ascii_[static_cast<unsigned char>(C) & 127] = true; }

 private:
  bool ascii_[128] = {};
  bool others_ = false;
};

// ---------------------------------------------------------------------------------------------------
// Field definitions

using TFieldClass = TField* (*)(TComponent* Owner);
// The class that represents values of a type (nullptr for types without one).
TFieldClass DefaultFieldClass(TFieldType Type);

class TFieldDef : public TCollectionItem {
  TALVIK_CLASS(TFieldDef, TCollectionItem)
  explicit TFieldDef(TCollection* Collection);
  ~TFieldDef() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType Value) { dataType_ = Value; }
  int Size() const { return size_; }
  void SetSize(int Value) { size_ = Value; }
  int Precision() const { return precision_; }
  void SetPrecision(int Value) { precision_ = Value; }
  bool Required() const { return attributes_.Contains(faRequired); }
  void SetRequired(bool Value);
  TFieldAttributes Attributes() const { return attributes_; }
  void SetAttributes(TFieldAttributes Value) { attributes_ = Value; }
  // 1-based position among the definitions unless set by the dataset.
  int FieldNo() const;
  void SetFieldNo(int Value) { fieldNo_ = Value; }
  bool InternalCalcField() const { return internalCalc_; }
  void SetInternalCalcField(bool Value) { internalCalc_ = Value; }
  // Definitions of the attributes of an object type (created on first use).
  TFieldDefs* ChildDefs();
  bool HasChildDefs() const;
  TFieldClass FieldClass() const { return DefaultFieldClass(dataType_); }
  // A field of the definition's class, name, size and required flag, bound to the owning dataset.
  TField* CreateField(TComponent* Owner, TObjectField* ParentField = nullptr);
  void Assign(TPersistent* Source) override;

 protected:
  std::string GetDisplayName() const override { return name_; }

 private:
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int precision_ = 0;
  int fieldNo_ = 0;
  bool internalCalc_ = false;
  TFieldAttributes attributes_;
  std::unique_ptr<TFieldDefs> childDefs_;
};

class TFieldDefs : public TCollection {
  TALVIK_CLASS(TFieldDefs, TCollection)
  explicit TFieldDefs(TDataSet* DataSet);

  TFieldDef* AddFieldDef();
  // Adds a definition; a duplicate name raises "Duplicate field name".
  TFieldDef* Add(const std::string& Name, TFieldType DataType, int Size = 0, bool Required = false);
  // Without regard to case; -1 when absent.
  int IndexOf(std::string_view Name) const;
  TFieldDef* Find(std::string_view Name) const;  // raises "Field '%s' not found"
  TFieldDef* Items(int Index) const { return static_cast<TFieldDef*>(TCollection::Items(Index)); }
  TFieldDef* operator[](int Index) const { return Items(Index); }
  TDataSet* DataSet() const { return dataset_; }
  bool Updated() const { return updated_; }
  void SetUpdated(bool Value) { updated_ = Value; }
  // Asks the dataset for its definitions when they are out of date.
  void Update();
  TPersistent* GetOwner() const override;

 protected:
  // The collection's change notification stays reachable beside the refresh above.
  using TCollection::Update;

 private:
  TDataSet* dataset_;
  bool updated_ = false;
};

// ---------------------------------------------------------------------------------------------------
// Index definitions (used by the provider interface)

class TIndexDef : public TCollectionItem {
  TALVIK_CLASS(TIndexDef, TCollectionItem)
  explicit TIndexDef(TCollection* Collection) : TCollectionItem(Collection) {}
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  const std::string& Fields() const { return fields_; }
  void SetFields(const std::string& Value) { fields_ = Value; }
  const std::string& DescFields() const { return descFields_; }
  void SetDescFields(const std::string& Value) { descFields_ = Value; }
  const std::string& CaseInsFields() const { return caseInsFields_; }
  void SetCaseInsFields(const std::string& Value) { caseInsFields_ = Value; }
  const std::string& Expression() const { return expression_; }
  void SetExpression(const std::string& Value) { expression_ = Value; }
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions Value) { options_ = Value; }
  void Assign(TPersistent* Source) override;

 protected:
  std::string GetDisplayName() const override { return name_; }

 private:
  std::string name_, fields_, descFields_, caseInsFields_, expression_;
  TIndexOptions options_;
};

class TIndexDefs : public TCollection {
  TALVIK_CLASS(TIndexDefs, TCollection)
  explicit TIndexDefs(TDataSet* DataSet = nullptr);
  TIndexDef* AddIndexDef();
  TIndexDef* Add(const std::string& Name, const std::string& Fields, TIndexOptions Options);
  int IndexOf(std::string_view Name) const;
  TIndexDef* Find(std::string_view Name) const;  // raises "Index '%s' not found"
  // The first index over exactly these fields (without regard to case), or nullptr.
  TIndexDef* FindIndexForFields(std::string_view Fields) const;
  TIndexDef* Items(int Index) const { return static_cast<TIndexDef*>(TCollection::Items(Index)); }
  TDataSet* DataSet() const { return dataset_; }
  TPersistent* GetOwner() const override;

 private:
  TDataSet* dataset_;
};

// ---------------------------------------------------------------------------------------------------
// Parameters

class TParam : public TCollectionItem {
  TALVIK_CLASS(TParam, TCollectionItem)
  explicit TParam(TCollection* Collection) : TCollectionItem(Collection) {}
  TParam(TParams* Params, TParamType ParamType);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType Value) { dataType_ = Value; }
  TParamType ParamType() const { return paramType_; }
  void SetParamType(TParamType Value) { paramType_ = Value; }
  int Size() const { return size_; }
  void SetSize(int Value) { size_ = Value; }
  int Precision() const { return precision_; }
  void SetPrecision(int Value) { precision_ = Value; }
  int NumericScale() const { return numericScale_; }
  void SetNumericScale(int Value) { numericScale_ = Value; }
  bool Bound() const { return bound_; }
  void SetBound(bool Value) { bound_ = Value; }

  const TVariant& Value() const { return value_; }
  // Sets the value; an unknown data type is taken from the value's type.
  void SetValue(const TVariant& Value);
  bool IsNull() const { return value_.IsNull() || value_.IsEmpty(); }
  void Clear();
  std::string AsString() const { return IsNull() ? std::string() : value_.AsString(); }
  void SetAsString(const std::string& Value) { SetTyped(ftString, Value); }
  int AsInteger() const { return IsNull() ? 0 : value_.AsInteger(); }
  void SetAsInteger(int Value) { SetTyped(ftInteger, Value); }
  double AsFloat() const { return IsNull() ? 0 : value_.AsDouble(); }
  void SetAsFloat(double Value) { SetTyped(ftFloat, Value); }
  TDateTime AsDateTime() const { return IsNull() ? 0 : value_.AsDateTime(); }
  void SetAsDateTime(TDateTime Value) { SetTyped(ftDateTime, TVariant::FromDate(Value)); }
  bool AsBoolean() const { return IsNull() ? false : value_.AsBoolean(); }
  void SetAsBoolean(bool Value) { SetTyped(ftBoolean, Value); }
  Currency AsCurrency() const { return IsNull() ? Currency() : value_.AsCurrency(); }
  void SetAsCurrency(Currency Value) { SetTyped(ftCurrency, Value); }
  // Name, type and value of a field.
  void AssignField(TField* Field);
  void AssignFieldValue(TField* Field, const TVariant& Value);
  void Assign(TPersistent* Source) override;

 protected:
  std::string GetDisplayName() const override { return name_; }

 private:
  void SetTyped(TFieldType Type, const TVariant& Value);
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  TParamType paramType_ = ptUnknown;
  int size_ = 0, precision_ = 0, numericScale_ = 0;
  bool bound_ = false;
  TVariant value_;
};

class TParams : public TCollection {
  TALVIK_CLASS(TParams, TCollection)
  explicit TParams(TPersistent* Owner = nullptr);
  TParam* AddParam(TParam* Value);
  void RemoveParam(TParam* Value);
  TParam* CreateParam(TFieldType FldType, const std::string& ParamName, TParamType ParamType);
  TParam* FindParam(std::string_view Value) const;    // without regard to case
  TParam* ParamByName(std::string_view Value) const;  // raises "Parameter '%s' not found"
  // One value for one name, a variant array for "A;B".
  TVariant ParamValues(std::string_view ParamNames) const;
  void SetParamValues(std::string_view ParamNames, const TVariant& Value);
  TParam* Items(int Index) const { return static_cast<TParam*>(TCollection::Items(Index)); }
  TParam* operator[](int Index) const { return Items(Index); }
  TPersistent* GetOwner() const override { return owner_; }

 private:
  TPersistent* owner_;
};

// ---------------------------------------------------------------------------------------------------
// Fields

// The list of a dataset's fields (or of an object field's attributes). The list frees the fields
// it holds when cleared or destroyed.
class TFields : public TObject {
  TALVIK_CLASS(TFields, TObject)
  explicit TFields(TDataSet* DataSet);
  ~TFields() override;

  int Count() const { return static_cast<int>(list_.size()); }
  TField* Fields(int Index) const;  // raises "Field index out of range"
  TField* operator[](int Index) const { return Fields(Index); }
  void Add(TField* Field);
  void Remove(TField* Field);
  void Clear();  // frees every field
  int IndexOf(const TField* Field) const;
  // Without regard to case; nullptr when absent.
  TField* FindField(std::string_view FieldName) const;
  TField* FieldByName(std::string_view FieldName) const;  // raises "Field '%s' not found"
  TField* FieldByNumber(int FieldNo) const;
  void CheckFieldName(std::string_view FieldName) const;  // empty or duplicate names raise
  void SetFieldIndex(TField* Field, int Value);
  TDataSet* DataSet() const { return dataset_; }
  const std::vector<TField*>& List() const { return list_; }

 private:
  friend class TField;
  void Changed();
  TDataSet* dataset_;
  std::vector<TField*> list_;
};

class TField : public TComponent {
  TALVIK_CLASS(TField, TComponent)
  explicit TField(TComponent* AOwner);
  // Closes the dataset it belongs to and leaves its field list.
  ~TField() override;

  // Values. Reading a value the class cannot give raises "Cannot access field '%s' as type %s".
  std::string AsString() const { return GetAsString(); }
  void SetAsString(const std::string& Value) { SetAsStringValue(Value); }
  int AsInteger() const { return GetAsInteger(); }
  void SetAsInteger(int Value) { SetAsIntegerValue(Value); }
  int64_t AsLargeInt() const { return GetAsLargeInt(); }
  void SetAsLargeInt(int64_t Value) { SetAsLargeIntValue(Value); }
  double AsFloat() const { return GetAsFloat(); }
  void SetAsFloat(double Value) { SetAsFloatValue(Value); }
  Currency AsCurrency() const { return GetAsCurrency(); }
  void SetAsCurrency(Currency Value) { SetAsCurrencyValue(Value); }
  TDateTime AsDateTime() const { return GetAsDateTime(); }
  void SetAsDateTime(TDateTime Value) { SetAsDateTimeValue(Value); }
  bool AsBoolean() const { return GetAsBoolean(); }
  void SetAsBoolean(bool Value) { SetAsBooleanValue(Value); }
  TVariant AsVariant() const { return GetAsVariant(); }
  void SetAsVariant(const TVariant& Value);
  TVariant Value() const { return GetAsVariant(); }
  void SetValue(const TVariant& Value) { SetAsVariant(Value); }
  // The value in the record's state before editing, the edited value and the value on the server.
  TVariant OldValue() const;
  TVariant NewValue() const;
  void SetNewValue(const TVariant& Value);
  TVariant CurValue() const;
  virtual bool IsNull() const;
  virtual void Clear();

  // The edit text (Text) and the display text (DisplayText), through OnGetText when set.
  std::string Text() const;
  void SetText(const std::string& Value);  // through OnSetText when set
  std::string DisplayText() const;

  // Raw access in the native format (NativeFormat) or the public one (TDateTime for dates).
  bool GetData(void* Buffer, bool NativeFormat = true) const;
  void SetData(const void* Buffer, bool NativeFormat = true);
  // Runs OnValidate for the value in Buffer (nullptr: null); the field reads that value meanwhile.
  virtual void Validate(const void* Buffer);
  void FocusControl();
  virtual bool IsValidChar(char32_t InputChar) const { return validChars_.Contains(InputChar); }
  void Assign(TPersistent* Source) override;
  void AssignValue(const TVariant& Value) { SetAsVariant(Value); }
  virtual bool IsBlob() const { return false; }
  // Called by the dataset when the field is bound to its definition (or unbound).
  virtual void Bind(bool Binding);
  // Frees what the field holds for the record being edited (a modified blob).
  virtual void FreeBuffers() {}

  // Properties
  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* Value);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  // The name with the parent object field's name in front ("OBJ.ATTR").
  std::string FullName() const;
  TFieldKind FieldKind() const { return fieldKind_; }
  void SetFieldKind(TFieldKind Value);
  TFieldType DataType() const { return dataType_; }
  int DataSize() const { return GetDataSize(); }
  int Size() const { return size_; }
  virtual void SetSize(int Value);
  int FieldNo() const { return fieldNo_; }
  void SetFieldNo(int Value) { fieldNo_ = Value; }
  // The slot offset inside the calculated area (calculated and lookup fields), given at binding.
  int Offset() const { return offset_; }
  void SetOffset(int Value) { offset_ = Value; }
  int Index() const;
  void SetIndex(int Value);
  std::string DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  void SetDisplayLabel(const std::string& Value);
  std::string DisplayName() const { return DisplayLabel(); }
  int DisplayWidth() const { return displayWidth_ >= 0 ? displayWidth_ : GetDefaultWidth(); }
  void SetDisplayWidth(int Value);
  // The field has a display width of its own (set, not worked out from its size).
  bool DisplayWidthStored() const { return displayWidth_ >= 0; }
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  bool Required() const { return required_; }
  void SetRequired(bool Value) { required_ = Value; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& Value);
  const std::string& DefaultExpression() const { return defaultExpression_; }
  void SetDefaultExpression(const std::string& Value) { defaultExpression_ = Value; }
  const std::string& Origin() const { return origin_; }
  void SetOrigin(const std::string& Value) { origin_ = Value; }
  const TFieldChars& ValidChars() const { return validChars_; }
  void SetValidChars(const TFieldChars& Value) { validChars_ = Value; }
  TProviderFlags ProviderFlags() const { return providerFlags_; }
  void SetProviderFlags(TProviderFlags Value) { providerFlags_ = Value; }
  bool Calculated() const { return fieldKind_ == fkCalculated; }
  void SetCalculated(bool Value) { SetFieldKind(Value ? fkCalculated : fkData); }
  bool Lookup() const { return fieldKind_ == fkLookup; }
  void SetLookup(bool Value) { SetFieldKind(Value ? fkLookup : fkData); }
  virtual bool CanModify() const;
  bool IsIndexField() const { return false; }
  TObjectField* ParentField() const { return parentField_; }
  void SetParentField(TObjectField* Value);

  // Lookup fields: the value of LookupResultField in LookupDataSet's record whose LookupKeyFields
  // equal this dataset's KeyFields.
  TDataSet* LookupDataSet() const { return lookupDataset_; }
  void SetLookupDataSet(TDataSet* Value);
  const std::string& KeyFields() const { return keyFields_; }
  void SetKeyFields(const std::string& Value) { keyFields_ = Value; }
  const std::string& LookupKeyFields() const { return lookupKeyFields_; }
  void SetLookupKeyFields(const std::string& Value) { lookupKeyFields_ = Value; }
  const std::string& LookupResultField() const { return lookupResultField_; }
  void SetLookupResultField(const std::string& Value) { lookupResultField_ = Value; }
  // Runs the lookup into the field (the dataset calls it while calculating fields).
  void CalcLookupValue();

  TFieldNotifyEvent OnChange;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;
  TFieldNotifyEvent OnValidate;

 protected:
  virtual std::string GetAsString() const;
  virtual void SetAsStringValue(const std::string& Value);
  virtual int GetAsInteger() const;
  virtual void SetAsIntegerValue(int Value);
  virtual int64_t GetAsLargeInt() const;
  virtual void SetAsLargeIntValue(int64_t Value);
  virtual double GetAsFloat() const;
  virtual void SetAsFloatValue(double Value);
  virtual Currency GetAsCurrency() const;
  virtual void SetAsCurrencyValue(Currency Value);
  virtual TDateTime GetAsDateTime() const;
  virtual void SetAsDateTimeValue(TDateTime Value);
  virtual bool GetAsBoolean() const;
  virtual void SetAsBooleanValue(bool Value);
  virtual TVariant GetAsVariant() const;
  // Sets a value that is neither Null nor Unassigned.
  virtual void SetVarValue(const TVariant& Value);
  virtual void GetText(std::string& Text, bool DisplayText) const;
  virtual void SetTextValue(const std::string& Value);
  virtual int GetDataSize() const { return 0; }
  virtual int GetDefaultWidth() const { return 10; }
  virtual void CheckSize(int Value) const;
  // "(MEMO)" when there is a value, "(memo)" when null: the class name without "T" and "Field".
  std::string GetClassDesc() const;
  // Called (through the dataset) when the field's value changed.
  virtual void Change();
  void SetDataType(TFieldType Value) { dataType_ = Value; }
  [[noreturn]] void AccessError(const char* TypeName) const;
  [[noreturn]] void RangeError(double Value, double Min, double Max) const;
  void PropertyChanged(bool LayoutAffected);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TDataSet;
  friend class TFields;
  friend class TFieldDef;
  TDataSet* dataset_ = nullptr;
  TFields* fields_ = nullptr;  // the list holding the field
  TObjectField* parentField_ = nullptr;
  std::string fieldName_;
  TFieldKind fieldKind_ = fkData;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int fieldNo_ = 0;
  int offset_ = 0;
  std::string displayLabel_;
  int displayWidth_ = -1;
  bool visible_ = true;
  bool readOnly_ = false;
  bool required_ = false;
  TAlignment alignment_ = taLeftJustify;
  std::string editMask_;
  std::string defaultExpression_;
  std::string origin_;
  TFieldChars validChars_ = TFieldChars::All();
  TProviderFlags providerFlags_{pfInUpdate, pfInWhere};
  TDataSet* lookupDataset_ = nullptr;
  std::string keyFields_, lookupKeyFields_, lookupResultField_;
  // The value under validation (OnValidate reads it).
  const void* validateBuffer_ = nullptr;
  bool validating_ = false;
};

// Creates a field of class T: CreateFieldOf<TStringField> is a TFieldClass.
template <typename T>
TField* CreateFieldOf(TComponent* Owner) {
  return new T(Owner);
}

class TStringField : public TField {
  TALVIK_CLASS(TStringField, TField)
  explicit TStringField(TComponent* AOwner);
  // Fixed-length character columns: values are padded to Size on the server and trimmed here.
  bool FixedChar() const { return fixedChar_; }
  void SetFixedChar(bool Value) { fixedChar_ = Value; }
  // Reads the value; false when null.
  bool GetValue(std::string& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  int64_t GetAsLargeInt() const override;
  void SetAsLargeIntValue(int64_t Value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime Value) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  // Size counts characters; the value is UTF-8 of up to four bytes a character and a NUL.
  int GetDataSize() const override { return Size() * Utf8MaxCharBytes + 1; }
  int GetDefaultWidth() const override { return Size(); }
  void CheckSize(int Value) const override;

 private:
  bool fixedChar_ = false;
};

class TWideStringField : public TStringField {
  TALVIK_CLASS(TWideStringField, TStringField)
  explicit TWideStringField(TComponent* AOwner);
};

class TGuidField : public TStringField {
  TALVIK_CLASS(TGuidField, TStringField)
  explicit TGuidField(TComponent* AOwner);

 protected:
  void CheckSize(int Value) const override;
};

// Numbers: right-aligned, with DisplayFormat and EditFormat (FormatFloat patterns).
class TNumericField : public TField {
  TALVIK_CLASS(TNumericField, TField)
  explicit TNumericField(TComponent* AOwner);
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& Value);
  const std::string& EditFormat() const { return editFormat_; }
  void SetEditFormat(const std::string& Value);

 protected:
  // The format for Text (EditFormat, else DisplayFormat) or for DisplayText.
  const std::string& TextFormat(bool DisplayText) const;

 private:
  std::string displayFormat_;
  std::string editFormat_;
};

class TIntegerField : public TNumericField {
  TALVIK_CLASS(TIntegerField, TNumericField)
  explicit TIntegerField(TComponent* AOwner);
  // A range of 0..0 means the type's own range.
  int MinValue() const { return minValue_; }
  void SetMinValue(int Value) { minValue_ = Value; }
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int Value) { maxValue_ = Value; }
  bool GetValue(int& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  int64_t GetAsLargeInt() const override;
  void SetAsLargeIntValue(int64_t Value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  Currency GetAsCurrency() const override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 4; }
  int GetDefaultWidth() const override { return 11; }
  void CheckRange(int64_t Value) const;
  void SetTypeRange(int64_t Min, int64_t Max) {
    minRange_ = Min;
    maxRange_ = Max;
  }

 private:
  int minValue_ = 0, maxValue_ = 0;
  int64_t minRange_ = INT32_MIN, maxRange_ = INT32_MAX;
};

class TSmallintField : public TIntegerField {
  TALVIK_CLASS(TSmallintField, TIntegerField)
  explicit TSmallintField(TComponent* AOwner);

 protected:
  int GetDefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
  TALVIK_CLASS(TWordField, TIntegerField)
  explicit TWordField(TComponent* AOwner);

 protected:
  int GetDefaultWidth() const override { return 5; }
};

class TAutoIncField : public TIntegerField {
  TALVIK_CLASS(TAutoIncField, TIntegerField)
  explicit TAutoIncField(TComponent* AOwner);
};

class TLargeintField : public TNumericField {
  TALVIK_CLASS(TLargeintField, TNumericField)
  explicit TLargeintField(TComponent* AOwner);
  int64_t MinValue() const { return minValue_; }
  void SetMinValue(int64_t Value) { minValue_ = Value; }
  int64_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int64_t Value) { maxValue_ = Value; }
  bool GetValue(int64_t& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  int64_t GetAsLargeInt() const override;
  void SetAsLargeIntValue(int64_t Value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 8; }
  int GetDefaultWidth() const override { return 15; }

 private:
  int64_t minValue_ = 0, maxValue_ = 0;
};

class TFloatField : public TNumericField {
  TALVIK_CLASS(TFloatField, TNumericField)
  explicit TFloatField(TComponent* AOwner);
  // Shown in the locale's currency format when no DisplayFormat is set.
  bool Currency() const { return currency_; }
  void SetCurrency(bool Value);
  int Precision() const { return precision_; }
  void SetPrecision(int Value);
  // A range of 0..0 means no range.
  double MinValue() const { return minValue_; }
  void SetMinValue(double Value) { minValue_ = Value; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double Value) { maxValue_ = Value; }
  bool GetValue(double& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  int64_t GetAsLargeInt() const override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  ::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(::Currency Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 8; }
  int GetDefaultWidth() const override { return precision_ + 1; }

 public:
  bool IsValidChar(char32_t InputChar) const override;

 private:
  bool currency_ = false;
  int precision_ = 15;
  double minValue_ = 0, maxValue_ = 0;
};

class TCurrencyField : public TFloatField {
  TALVIK_CLASS(TCurrencyField, TFloatField)
  explicit TCurrencyField(TComponent* AOwner);
};

// Fixed-point numbers: Size is the number of decimals (at most 4), Precision the digits.
class TBCDField : public TNumericField {
  TALVIK_CLASS(TBCDField, TNumericField)
  explicit TBCDField(TComponent* AOwner);
  bool Currency() const { return currency_; }
  void SetCurrency(bool Value);
  int Precision() const { return precision_; }
  void SetPrecision(int Value) { precision_ = Value; }
  ::Currency MinValue() const { return minValue_; }
  void SetMinValue(::Currency Value) { minValue_ = Value; }
  ::Currency MaxValue() const { return maxValue_; }
  void SetMaxValue(::Currency Value) { maxValue_ = Value; }
  bool GetValue(::Currency& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  ::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(::Currency Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 8; }
  int GetDefaultWidth() const override { return precision_ > 0 ? precision_ + 2 : 10; }
  void CheckSize(int Value) const override;

 public:
  bool IsValidChar(char32_t InputChar) const override;

 private:
  bool currency_ = false;
  int precision_ = 0;
  ::Currency minValue_, maxValue_;
};

class TBooleanField : public TField {
  TALVIK_CLASS(TBooleanField, TField)
  explicit TBooleanField(TComponent* AOwner);
  // "Yes;No": the texts for true and false.
  const std::string& DisplayValues() const { return displayValues_; }
  void SetDisplayValues(const std::string& Value);
  bool GetValue(bool& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int Value) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 2; }
  int GetDefaultWidth() const override;

 private:
  std::string displayValues_;
  std::string trueText_ = STextTrue, falseText_ = STextFalse;
};

class TDateTimeField : public TField {
  TALVIK_CLASS(TDateTimeField, TField)
  explicit TDateTimeField(TComponent* AOwner);
  // A FormatDateTime pattern for DisplayText.
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& Value);
  bool GetValue(TDateTime& Value) const;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double Value) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  int GetDataSize() const override { return 8; }
  int GetDefaultWidth() const override { return 18; }

 private:
  std::string displayFormat_;
};

class TDateField : public TDateTimeField {
  TALVIK_CLASS(TDateField, TDateTimeField)
  explicit TDateField(TComponent* AOwner);

 protected:
  int GetDataSize() const override { return 4; }
  int GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
  TALVIK_CLASS(TTimeField, TDateTimeField)
  explicit TTimeField(TComponent* AOwner);

 protected:
  int GetDataSize() const override { return 4; }
  int GetDefaultWidth() const override { return 10; }
};

class TSQLTimeStampField : public TDateTimeField {
  TALVIK_CLASS(TSQLTimeStampField, TDateTimeField)
  explicit TSQLTimeStampField(TComponent* AOwner);
};

// Binary values; AsString and AsVariant give the bytes (a byte array variant).
class TBinaryField : public TField {
  TALVIK_CLASS(TBinaryField, TField)
  explicit TBinaryField(TComponent* AOwner);

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  void CheckSize(int Value) const override;
  // The bytes in the native buffer and back.
  virtual std::string BytesOf(const uint8_t* Native) const;
  virtual void PutBytes(const std::string& Bytes, uint8_t* Native) const;
};

class TBytesField : public TBinaryField {
  TALVIK_CLASS(TBytesField, TBinaryField)
  explicit TBytesField(TComponent* AOwner);

 protected:
  int GetDataSize() const override { return Size(); }
};

class TVarBytesField : public TBinaryField {
  TALVIK_CLASS(TVarBytesField, TBinaryField)
  explicit TVarBytesField(TComponent* AOwner);

 protected:
  int GetDataSize() const override { return Size() + 2; }
  std::string BytesOf(const uint8_t* Native) const override;
  void PutBytes(const std::string& Bytes, uint8_t* Native) const override;
};

// Large values read and written through the dataset's blob streams.
class TBlobField : public TField {
  TALVIK_CLASS(TBlobField, TField)
  explicit TBlobField(TComponent* AOwner);
  bool IsBlob() const override { return true; }
  bool IsNull() const override;
  void Clear() override;
  TFieldType BlobType() const { return DataType(); }
  void SetBlobType(TFieldType Value);
  // Set by the dataset's blob stream once the value of the record being edited was written.
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  int64_t BlobSize() const;
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream) const;
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName) const;
  void FreeBuffers() override;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& Value) override;
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  void GetText(std::string& Text, bool DisplayText) const override;
  void CheckSize(int Value) const override;

 private:
  bool modified_ = false;
};

class TMemoField : public TBlobField {
  TALVIK_CLASS(TMemoField, TBlobField)
  explicit TMemoField(TComponent* AOwner);

 protected:
  TVariant GetAsVariant() const override;
};

class TGraphicField : public TBlobField {
  TALVIK_CLASS(TGraphicField, TBlobField)
  explicit TGraphicField(TComponent* AOwner);
};

// Fields with child fields (object types); their own value is the array of the children's values.
class TObjectField : public TField {
  TALVIK_CLASS(TObjectField, TField)
  explicit TObjectField(TComponent* AOwner);
  ~TObjectField() override;
  TFields* Fields() const { return fields_.get(); }
  int FieldCount() const { return fields_->Count(); }
  const std::string& ObjectType() const { return objectType_; }
  void SetObjectType(const std::string& Value) { objectType_ = Value; }
  bool IsNull() const override;
  void Clear() override;

 protected:
  TVariant GetAsVariant() const override;
  void SetVarValue(const TVariant& Value) override;
  std::string GetAsString() const override { return GetClassDesc(); }
  void GetText(std::string& Text, bool DisplayText) const override;

 private:
  std::unique_ptr<TFields> fields_;
  std::string objectType_;
};

class TADTField : public TObjectField {
  TALVIK_CLASS(TADTField, TObjectField)
  explicit TADTField(TComponent* AOwner);
};

class TArrayField : public TObjectField {
  TALVIK_CLASS(TArrayField, TObjectField)
  explicit TArrayField(TComponent* AOwner);
};

// A nested dataset's field; it holds no value of its own.
class TDataSetField : public TObjectField {
  TALVIK_CLASS(TDataSetField, TObjectField)
  explicit TDataSetField(TComponent* AOwner);
  TDataSet* NestedDataSet() const { return nestedDataset_; }
  void SetNestedDataSet(TDataSet* Value) { nestedDataset_ = Value; }

 private:
  TDataSet* nestedDataset_ = nullptr;
};

class TReferenceField : public TDataSetField {
  TALVIK_CLASS(TReferenceField, TDataSetField)
  explicit TReferenceField(TComponent* AOwner);
  const std::string& ReferenceTableName() const { return referenceTableName_; }
  void SetReferenceTableName(const std::string& Value) { referenceTableName_ = Value; }

 private:
  std::string referenceTableName_;
};

// The colours a data-aware control reports (the window layer's colour values).
namespace data_aware_colors {
inline constexpr int32_t Default = 0x20000000;
inline constexpr int32_t Window = static_cast<int32_t>(0xFF000005);
inline constexpr int32_t WindowText = static_cast<int32_t>(0xFF000008);
}  // namespace data_aware_colors

// What a data-aware control tells a dataset that dresses the controls bound to it (for instance
// while it takes query-by-example criteria): its data source and field, whether it shows a caption
// of its own, and its colours.
class IDataAwareControl {
 public:
  virtual ~IDataAwareControl() = default;
  virtual TDataSource* ControlDataSource() const = 0;
  // The field it shows ("" for a control of the whole record).
  virtual std::string ControlDataField() const = 0;
  virtual bool ControlHasCaption() const = 0;
  virtual int32_t ControlColor() const = 0;
  virtual void SetControlColor(int32_t Value) = 0;
  virtual int32_t ControlFontColor() const = 0;
  virtual void SetControlFontColor(int32_t Value) = 0;
};

// ---------------------------------------------------------------------------------------------------
// The provider interface: what a resolver asks of a dataset that serves as its source.
class IProviderSupport {
 public:
  virtual ~IProviderSupport() = default;
  virtual void PSStartTransaction() = 0;
  virtual void PSEndTransaction(bool Commit) = 0;
  virtual bool PSInTransaction() = 0;
  virtual bool PSIsSQLBased() = 0;
  virtual bool PSIsSQLSupported() = 0;
  virtual std::string PSGetQuoteChar() = 0;
  virtual std::string PSGetTableName() = 0;
  virtual void PSSetCommandText(const std::string& CommandText) = 0;
  virtual void PSReset() = 0;
  virtual void PSExecute() = 0;
  // Runs a statement with "?" parameters; a result set, when asked for, is a new dataset the caller
  // frees. The number of rows processed.
  virtual int PSExecuteStatement(const std::string& ASQL, TParams* AParams, TDataSet** ResultSet) = 0;
  virtual TParams* PSGetParams() = 0;
  virtual void PSSetParams(TParams* AParams) = 0;
  // The key fields ("A;B").
  virtual std::string PSGetKeyFields() = 0;
  // The dataset's indexes of the given kinds (empty: all); the caller frees the list.
  virtual TIndexDefs* PSGetIndexDefs(TIndexOptions IndexTypes) = 0;
  // The order of the rows, or nullptr; the caller frees it.
  virtual TIndexDef* PSGetDefaultOrder() = 0;
};

// ---------------------------------------------------------------------------------------------------
// The dataset

class TDataSet : public TComponent, public IProviderSupport {
  TALVIK_CLASS(TDataSet, TComponent)
  explicit TDataSet(TComponent* AOwner);
  // A descendant closes the dataset in its own destructor (its Internal* operations are gone here).
  ~TDataSet() override;

  // Opening and closing
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  virtual void SetActive(bool Value);
  TDataSetState State() const { return state_; }

  // Navigation
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves the cursor by Distance records; the number of records actually moved.
  int MoveBy(int Distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return activeRecord_ >= recordCount_; }
  int RecordCount() {
    CheckActive();
    return GetRecordCount();
  }
  int RecNo() { return GetRecNo(); }
  // Moves to the record with that number (the dataset decides what numbers mean).
  virtual void SetRecNo(int /*Value*/) {}
  virtual bool IsSequenced() { return true; }
  void Refresh();
  // Rebuilds the record window around the cursor's record.
  virtual void Resync(TResyncMode Mode);
  // Ends a pending edit or insert (posting it when modified); raises when the dataset is closed.
  void CheckBrowseMode();
  void CheckActive() const;
  void CheckInactive() const;
  void UpdateCursorPos();
  void CursorPosChanged() { currentRecord_ = -1; }

  // Bookmarks
  TBookmark GetBookmark() const;
  void GotoBookmark(const TBookmark& Bookmark);
  void FreeBookmark(TBookmark& Bookmark) { Bookmark.clear(); }
  TBookmarkStr Bookmark() const { return GetBookmark(); }
  void SetBookmark(const TBookmarkStr& Value) { GotoBookmark(Value); }
  bool BookmarkAvailable() const;
  virtual bool BookmarkValid(const TBookmark& Bookmark);
  // Ordering of two bookmarks: -1, 0 or 1.
  virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);
  int BookmarkSize() const { return bookmarkSize_; }
  void SetBookmarkSize(int Value) { bookmarkSize_ = Value; }

  // The edit cycle
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  void Cancel();
  void Delete();
  // Asks the controls to write their pending changes into the fields.
  void UpdateRecord();
  void InsertRecord(std::initializer_list<TVariant> Values);
  void AppendRecord(std::initializer_list<TVariant> Values);
  // Sets the fields in order (an Unassigned value leaves a field as it is).
  void SetFields(std::initializer_list<TVariant> Values);
  bool CanModify() { return GetCanModify(); }
  bool Modified() const { return modified_; }
  virtual TUpdateStatus UpdateStatus() { return usUnmodified; }

  // Controls
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ != 0; }

  // Fields
  TFields* Fields() const { return fields_.get(); }
  TFieldDefs* FieldDefs() const { return fieldDefs_.get(); }
  int FieldCount() const { return fields_->Count(); }
  TField* FindField(std::string_view FieldName) const { return fields_->FindField(FieldName); }
  TField* FieldByName(std::string_view FieldName) const;
  TField* FieldByNumber(int FieldNo) const { return fields_->FieldByNumber(FieldNo); }
  // The fields of "A;B" (empty names are skipped); an unknown name raises "Field '%s' not found".
  void GetFieldList(TList* List, std::string_view FieldNames) const;
  std::vector<TField*> GetFieldList(std::string_view FieldNames) const;
  void GetFieldNames(TStrings* List) const;
  // One value for one name, a variant array for "A;B".
  TVariant FieldValues(std::string_view FieldNames) const;
  void SetFieldValues(std::string_view FieldNames, const TVariant& Value);
  // True when the dataset made its own fields from the definitions at open.
  bool DefaultFields() const { return defaultFields_; }
  // Checks that each name of "A;B" is a field.
  void CheckFieldNames(std::string_view FieldNames) const;
  int CalcFieldsSize() const { return calcFieldsSize_; }
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool Value) { autoCalcFields_ = Value; }

  // Searching
  virtual bool Locate(const std::string& KeyFields, const TVariant& KeyValues, TLocateOptions Options);
  virtual TVariant Lookup(const std::string& KeyFields, const TVariant& KeyValues,
                          const std::string& ResultFields);

  // Filtering (the dataset decides what the filter means)
  const std::string& Filter() const { return filterText_; }
  void SetFilter(const std::string& Value) { SetFilterText(Value); }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool Value) { filtered_ = Value; }
  TFilterOptions FilterOptions() const { return filterOptions_; }
  virtual void SetFilterOptions(TFilterOptions Value) { filterOptions_ = Value; }

  int BlockReadSize() const { return blockReadSize_; }
  virtual void SetBlockReadSize(int Value);
  // Values of a field in the record's other states (old, new, current on the server).
  virtual TVariant GetStateFieldValue(TDataSetState State, TField* Field);
  virtual void SetStateFieldValue(TDataSetState State, TField* Field, const TVariant& Value);
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode);
  virtual void CloseBlob(TField* /*Field*/) {}

  // Field data in the record buffer of the current state; false when null.
  virtual bool GetFieldData(TField* Field, void* Buffer) = 0;
  bool GetFieldData(TField* Field, void* Buffer, bool NativeFormat);
  virtual void SetFieldData(TField* Field, const void* Buffer) = 0;
  void SetFieldData(TField* Field, const void* Buffer, bool NativeFormat);
  // Converts between the native format (stored) and the public one (TDateTime for dates).
  virtual void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative);

  // Buffers as the data links see them
  int ActiveRecord() const { return activeRecord_; }
  int BufferCount() const { return bufferCount_; }
  int BufferRecordCount() const { return recordCount_; }
  TRecordBuffer ActiveBuffer() const;
  TRecordBuffer CalcBuffer() const { return calcBuffer_; }
  TRecordBuffer Buffers(int Index) const;
  int CurrentRecord() const { return currentRecord_; }
  virtual TDataSource* GetDataSource() const { return nullptr; }
  // Whether DataSource is among this dataset's masters, near or far (a loop of masters ends the search).
  bool IsLinkedTo(const TDataSource* DataSource) const;

  // Events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;
  TFilterRecordEvent OnFilterRecord;

  // Notifications: the dataset's own handling, then the data sources.
  virtual void DataEvent(TDataEvent Event, intptr_t Info);

  // A published object property found by name, for code that knows a dataset only by the names of its
  // properties (a SQL-text dataset answers "SQL" with its statement lines); nullptr when there is none.
  virtual TPersistent* FindObjectProperty(std::string_view /*Name*/) { return nullptr; }
  // The 1-based position of a data field's column in the statement the rows come from (what a
  // positional ORDER BY names); 0 for a field that has no column. By default the field number.
  virtual int FieldSelectListPosition(TField* Field);

  // Provider interface defaults: not SQL-based, no transactions, no statements.
  void PSStartTransaction() override {}
  void PSEndTransaction(bool /*Commit*/) override {}
  bool PSInTransaction() override { return false; }
  bool PSIsSQLBased() override { return false; }
  bool PSIsSQLSupported() override { return false; }
  std::string PSGetQuoteChar() override { return "\""; }
  std::string PSGetTableName() override { return {}; }
  void PSSetCommandText(const std::string& /*CommandText*/) override {}
  void PSReset() override;
  void PSExecute() override;
  int PSExecuteStatement(const std::string& ASQL, TParams* AParams, TDataSet** ResultSet) override;
  TParams* PSGetParams() override { return nullptr; }
  void PSSetParams(TParams* AParams) override;
  std::string PSGetKeyFields() override;
  TIndexDefs* PSGetIndexDefs(TIndexOptions /*IndexTypes*/) override { return nullptr; }
  TIndexDef* PSGetDefaultOrder() override { return nullptr; }

 protected:
  // Gives an open dataset's field another size without the check of SetSize: for a dataset that
  // keeps the field's values within the layout it made at open.
  static void SetFieldSizeWhileOpen(TField* Field, int Value) { Field->size_ = Value; }
  // Buffers
  virtual TRecordBuffer AllocRecordBuffer();             // new uint8_t[GetRecordSize()], zeroed
  virtual void FreeRecordBuffer(TRecordBuffer& Buffer);  // delete[], Buffer := nullptr
  virtual int GetRecordSize() = 0;
  virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
  virtual void InternalInitRecord(TRecordBuffer Buffer) = 0;
  virtual void ClearCalcFields(TRecordBuffer /*Buffer*/) {}
  virtual void InitRecord(TRecordBuffer Buffer);
  // Computes the calculated fields of Buffer in dsCalcFields (the descendant's GetRecord calls it).
  void GetCalcFields(TRecordBuffer Buffer);
  // Lookup values, then OnCalcFields.
  virtual void CalculateFields(TRecordBuffer Buffer);
  // Cursor
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalSetToRecord(TRecordBuffer Buffer) = 0;
  virtual void InternalGotoBookmark(const void* Bookmark) = 0;
  virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) const = 0;
  virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() { return -1; }
  virtual bool GetCanModify() { return true; }
  // Lifecycle
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalHandleException() {}
  virtual void InternalRefresh() {}
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  // The base checks the required fields: "Field '%s' must have a value".
  virtual void InternalPost();
  virtual void InternalAddRecord(TRecordBuffer Buffer, bool Append);
  virtual void InternalDelete() = 0;
  virtual void SetFilterText(const std::string& Value) { filterText_ = Value; }
  // The definitions from the cursor (opening it for that when closed).
  void InitFieldDefs();
  // Fields
  void CreateFields();
  void DestroyFields();
  // Binds the fields to their definitions (field numbers, types, calculated offsets) or unbinds.
  void BindFields(bool Binding);
  // Whether a persistent field of FieldType may stand for a definition of DefType.
  virtual bool FieldTypesCompatible(TFieldType FieldType, TFieldType DefType) const;
  void CheckRequiredFields();
  // State
  void SetState(TDataSetState Value);
  TDataSetState SetTempState(TDataSetState Value);
  void RestoreState(TDataSetState Value);
  void SetModified(bool Value) { modified_ = Value; }
  void SetCurrentRecord(int Index);
  void ClearBuffers();
  // First and Last: the buffers refilled by Fetch from one end; EndFlag (Bof or Eof) is set even when
  // Fetch fails.
  void ScrollToEnd(bool& EndFlag, const std::function<void()>& Fetch);
  void SetBufferCount(int Value);
  // The largest BufferCount of the attached data links (at least 1).
  void UpdateBufferCount();
  // Events
  virtual void DoAfterCancel();
  virtual void DoAfterClose();
  virtual void DoAfterDelete();
  virtual void DoAfterEdit();
  virtual void DoAfterInsert();
  virtual void DoAfterOpen();
  virtual void DoAfterPost();
  virtual void DoAfterRefresh();
  virtual void DoAfterScroll();
  virtual void DoBeforeCancel();
  virtual void DoBeforeClose();
  virtual void DoBeforeDelete();
  virtual void DoBeforeEdit();
  virtual void DoBeforeInsert();
  virtual void DoBeforeOpen();
  virtual void DoBeforePost();
  virtual void DoBeforeRefresh();
  virtual void DoBeforeScroll();
  virtual void DoOnCalcFields();
  virtual void DoOnNewRecord();
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TDataSource;
  friend class TDataLink;
  friend class TField;
  friend class TFieldDefs;
  void OpenCursor();
  void CloseCursor();
  void FreeBuffers();
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void ActivateBuffers();
  void MoveBuffer(int CurIndex, int NewIndex);
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckCanModify();
  void CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent);
  void FreeFieldBuffers();
  void AddDataSource(TDataSource* DataSource);
  void RemoveDataSource(TDataSource* DataSource);
  void AdjustFirstRecords(int Delta);
  void FieldChanged(TField* Field);
  // Asserts the ring's invariants: while open, bufferCount_ + 1 distinct buffers (the last one spare),
  // recordCount_ of them filled from the front, the active and current records among the filled ones.
  void CheckRing(bool Deep = false) const;
  void CallEvent(const TDataSetNotifyEvent& Event) {
    if (Event) Event(this);
  }

  std::unique_ptr<TFields> fields_;
  std::unique_ptr<TFieldDefs> fieldDefs_;
  std::vector<TDataSource*> dataSources_;
  std::vector<TRecordBuffer> buffers_;  // bufferCount_ + 1 while open
  TDataSetState state_ = dsInactive;
  TDataSetState disableState_ = dsInactive;
  TDataEvent enableEvent_ = deDataSetChange;
  int disableCount_ = 0;
  int bufferCount_ = 0;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  int bookmarkSize_ = 0;
  int calcFieldsSize_ = 0;
  int blockReadSize_ = 0;
  TRecordBuffer calcBuffer_ = nullptr;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool defaultFields_ = false;
  bool internalOpenComplete_ = false;
  bool autoCalcFields_ = true;
  bool filtered_ = false;
  bool internalCalcFields_ = false;
  std::string filterText_;
  TFilterOptions filterOptions_;
};

// ---------------------------------------------------------------------------------------------------
// Data sources and data links

class TDataSource : public TComponent {
  TALVIK_CLASS(TDataSource, TComponent)
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataset_; }
  // Linking a dataset that already depends on this source raises "Circular datalinks are not allowed".
  void SetDataSet(TDataSet* Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool AutoEdit() const { return autoEdit_; }
  void SetAutoEdit(bool Value) { autoEdit_ = Value; }
  // The dataset's state as the links see it (dsInactive while disabled).
  TDataSetState State() const { return state_; }
  // Puts a browsing dataset into edit mode when AutoEdit is on.
  void Edit();
  bool IsLinkedTo(TDataSet* DataSet) const;
  int DataLinkCount() const { return static_cast<int>(dataLinks_.size()); }
  TDataLink* DataLinks(int Index) const { return dataLinks_.at(static_cast<size_t>(Index)); }

  TNotifyEvent OnStateChange;
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnUpdateData;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent Event, intptr_t Info);
  void NotifyState();
  void SetState(TDataSetState Value);
  void AddDataLink(TDataLink* DataLink);
  void RemoveDataLink(TDataLink* DataLink);

  TDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> dataLinks_;
  TDataSetState state_ = dsInactive;
  bool enabled_ = true;
  bool autoEdit_ = true;
};

// The connection of one control (or other consumer) to a data source: a window of BufferCount records
// around the dataset's active record and the notifications about them.
class TDataLink : public TPersistent {
  TALVIK_CLASS(TDataLink, TPersistent)
  TDataLink() = default;
  ~TDataLink() override;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* Value);
  bool DataSourceFixed() const { return dataSourceFixed_; }
  void SetDataSourceFixed(bool Value) { dataSourceFixed_ = Value; }
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  // The active record's index within the link's window; setting it makes another buffered record
  // the dataset's active one (drawing does this row by row and restores it).
  int ActiveRecord() const;
  void SetActiveRecord(int Value);
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int Value);
  // The records in the link's window.
  int RecordCount() const;
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  bool Bof() const;
  bool Eof() const;
  // Puts the dataset into edit mode (through the data source's AutoEdit); true when editing.
  bool Edit();
  void UpdateRecord();
  int MoveBy(int Distance);
  // The first record of the window, as an index into the dataset's buffers.
  int FirstRecord() const { return firstRecord_; }

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  // Field is set to nullptr by the link that took the focus.
  virtual void FocusControl(TField** /*Field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*Field*/) {}
  virtual void UpdateData() {}
  virtual void DataEvent(TDataEvent Event, intptr_t Info);

 private:
  friend class TDataSource;
  friend class TDataSet;
  void UpdateState();
  void SetActive(bool Value);
  void SetEditing(bool Value);
  void UpdateRange();

  TDataSource* dataSource_ = nullptr;
  int firstRecord_ = 0;
  int bufferCount_ = 1;
  bool active_ = false;
  bool editing_ = false;
  bool readOnly_ = false;
  bool updating_ = false;
  bool dataSourceFixed_ = false;
};

// The link of a control that shows one field.
class TFieldDataLink : public TDataLink {
  TALVIK_CLASS(TFieldDataLink, TDataLink)
  TFieldDataLink() = default;

  TField* Field() const { return field_; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  TComponent* Control() const { return control_; }
  void SetControl(TComponent* Value) { control_ = Value; }
  bool CanModify() const;
  bool Editing() const { return editing_; }
  // Starts editing the record when the field may be modified.
  bool Edit();
  // The control's text differs from the field's value.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Reloads the control from the field (discarding its change).
  void Reset() { RecordChanged(nullptr); }

  TNotifyEvent OnDataChange;
  TNotifyEvent OnEditingChange;
  TNotifyEvent OnUpdateData;
  TNotifyEvent OnActiveChange;

  // How the layer of windowed controls gives a control the focus; true when it took it.
  static std::function<bool(TComponent* Control)> FocusControlHandler;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TField** Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  void SetField(TField* Value);
  void SetEditingState(bool Value);
  TField* field_ = nullptr;
  std::string fieldName_;
  TComponent* control_ = nullptr;
  bool editing_ = false;
  bool modified_ = false;
};

// The link of a detail dataset to its master's data source.
class TMasterDataLink : public TDataLink {
  TALVIK_CLASS(TMasterDataLink, TDataLink)
  explicit TMasterDataLink(TDataSet* DataSet) : dataset_(DataSet) {}
  TDataSet* DetailDataSet() const { return dataset_; }
  const std::string& FieldNames() const { return fieldNames_; }
  void SetFieldNames(const std::string& Value);
  std::vector<TField*> Fields() const;
  TNotifyEvent OnMasterChange;
  TNotifyEvent OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* Field) override;
  void CheckBrowseMode() override;

 private:
  TDataSet* dataset_;
  std::string fieldNames_;
};
