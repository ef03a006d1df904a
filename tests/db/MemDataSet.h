// A small in-memory dataset for tests: fields from FieldDefs, rows given as variants, bookmarks
// (4-byte row ids), filtering through OnFilterRecord and a callback that evaluates the Filter text,
// blob values, Locate and Lookup. Rows survive Close/Open as long as the field definitions stay the
// same. Refresh puts the cursor before the first row, as a re-executed query does.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "platform/db/DB.h"

class TMemDataSet : public TDataSet {
  TALVIK_CLASS(TMemDataSet, TDataSet)

 public:
  explicit TMemDataSet(TComponent* AOwner = nullptr) : TDataSet(AOwner) {}
  ~TMemDataSet() override {
    Destroying();
    try {
      Close();
    } catch (...) {
    }
  }

  // A row of values in FieldDefs order (Null or Unassigned: null). Rows added while the dataset is
  // closed are loaded at the next open; while open they are appended at once.
  void AddRow(std::vector<TVariant> Values) {
    pending_.push_back(std::move(Values));
    if (open_) {
      LoadPending();
      Resync({});
    }
  }
  int RowCount() const {
    return static_cast<int>(rows_.size()) + (open_ ? 0 : static_cast<int>(pending_.size()));
  }
  void ClearRows() {
    CheckInactive();
    rows_.clear();
    pending_.clear();
  }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value) { readOnly_ = Value; }

  // Evaluates the Filter text for the record under test (fields read it in dsFilter).
  std::function<bool(TMemDataSet* DataSet, const std::string& Filter)> OnFilterText;

  void SetFiltered(bool Value) override {
    if (Value == Filtered()) return;
    TDataSet::SetFiltered(Value);
    if (Active()) First();
  }
  void SetFilterOptions(TFilterOptions Value) override { TDataSet::SetFilterOptions(Value); }

  // Calls of GetRecord (what a cursor would fetch).
  int GetRecordCalls() const { return getRecordCalls_; }

  bool BookmarkValid(const TBookmark& Bookmark) override {
    if (!open_ || Bookmark.size() != 4) return false;
    const int index = IndexOfId(IdOf(Bookmark.data()));
    return index >= 0 && Accept(index);
  }

  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override {
    if (Bookmark1.empty() || Bookmark2.empty()) return TDataSet::CompareBookmarks(Bookmark1, Bookmark2);
    const int a = IndexOfId(IdOf(Bookmark1.data())), b = IndexOfId(IdOf(Bookmark2.data()));
    return a < b ? -1 : (a > b ? 1 : 0);
  }

  bool Locate(const std::string& KeyFields, const TVariant& KeyValues, TLocateOptions Options) override {
    CheckBrowseMode();
    const int index = Find(KeyFields, KeyValues, Options);
    if (index < 0) return false;
    DoBeforeScroll();
    cur_ = index;
    Resync({rmExact, rmCenter});
    DoAfterScroll();
    return true;
  }

  TVariant Lookup(const std::string& KeyFields, const TVariant& KeyValues,
                  const std::string& ResultFields) override {
    if (!open_) return TVariant::MakeNull();
    const int index = Find(KeyFields, KeyValues, {});
    if (index < 0) return TVariant::MakeNull();
    TVariant result;
    WithRow(index, [&] { result = FieldValues(ResultFields); });
    return result;
  }

  void SetRecNo(int Value) override {
    CheckBrowseMode();
    int n = 0;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
      if (!Accept(i) || ++n != Value) continue;
      DoBeforeScroll();
      cur_ = i;
      Resync({rmExact, rmCenter});
      DoAfterScroll();
      return;
    }
  }

  std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;

 protected:
  static constexpr int kHeader = 8;  // row id (4 bytes), bookmark flag (1 byte), padding

  struct Row {
    int32_t id = 0;
    std::vector<uint8_t> data;
    std::vector<std::optional<std::string>> blobs;
  };

  TRecordBuffer AllocRecordBuffer() override {
    TRecordBuffer b = TDataSet::AllocRecordBuffer();
    blobs_[b].assign(defs_.size(), std::nullopt);
    return b;
  }
  void FreeRecordBuffer(TRecordBuffer& Buffer) override {
    blobs_.erase(Buffer);
    TDataSet::FreeRecordBuffer(Buffer);
  }
  int GetRecordSize() override { return recordSize_; }

  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override {
    ++getRecordCalls_;
    const int n = static_cast<int>(rows_.size());
    TGetResult result = grOK;
    switch (GetMode) {
      case gmCurrent:
        if (cur_ < 0 || cur_ >= n || !Accept(cur_)) result = grError;
        break;
      case gmNext: {
        int i = std::max(cur_, -1) + 1;
        while (i < n && !Accept(i)) ++i;
        if (i >= n) {
          cur_ = n;
          result = grEOF;
        } else {
          cur_ = i;
        }
        break;
      }
      case gmPrior: {
        int i = std::min(cur_, n) - 1;
        while (i >= 0 && !Accept(i)) --i;
        if (i < 0) {
          cur_ = -1;
          result = grBOF;
        } else {
          cur_ = i;
        }
        break;
      }
    }
    if (result == grOK) {
      CopyRow(cur_, Buffer);
      SetBookmarkFlag(Buffer, bfCurrent);
      GetCalcFields(Buffer);
    } else if (result == grError && DoCheck) {
      DatabaseError(SNoRecords, this);
    }
    return result;
  }

  void InternalInitRecord(TRecordBuffer Buffer) override {
    std::memset(Buffer, 0, static_cast<size_t>(recordSize_));
    for (const Slot& s : defs_) Buffer[kHeader + s.offset] = 1;
    ClearCalcFields(Buffer);
    blobs_[Buffer].assign(defs_.size(), std::nullopt);
  }

  void ClearCalcFields(TRecordBuffer Buffer) override {
    for (TField* f : Fields()->List()) {
      if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
        uint8_t* slot = Buffer + kHeader + dataSize_ + f->Offset();
        std::memset(slot, 0, static_cast<size_t>(f->DataSize()) + 1);
        slot[0] = 1;
      }
    }
  }

  void InternalFirst() override { cur_ = -1; }
  void InternalLast() override { cur_ = static_cast<int>(rows_.size()); }
  void InternalSetToRecord(TRecordBuffer Buffer) override { InternalGotoBookmark(Buffer); }
  void InternalGotoBookmark(const void* Bookmark) override {
    const int32_t id = IdOf(Bookmark);
    if (id == 0) {
      cur_ = static_cast<int>(rows_.size());
      return;
    }
    const int index = IndexOfId(id);
    if (index < 0) DatabaseError("Bookmark not found (" + IntToStr(id) + ")", this);
    cur_ = index;
  }
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) const override { std::memcpy(Data, Buffer, 4); }
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override { std::memcpy(Buffer, Data, 4); }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const override {
    return static_cast<TBookmarkFlag>(Buffer[4]);
  }
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override { Buffer[4] = Value; }

  int GetRecordCount() override {
    int n = 0;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) n += Accept(i) ? 1 : 0;
    return n;
  }
  int GetRecNo() override {
    UpdateCursorPos();
    if (cur_ < 0 || cur_ >= static_cast<int>(rows_.size()) || IsEmpty()) return 0;
    int n = 0;
    for (int i = 0; i <= cur_; ++i) n += Accept(i) ? 1 : 0;
    return n;
  }
  bool GetCanModify() override { return Active() && !readOnly_; }

  void InternalOpen() override {
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    std::vector<Slot> layout;
    int offset = 0;
    for (int i = 0; i < FieldDefs()->Count(); ++i) {
      TFieldDef* def = FieldDefs()->Items(i);
      Slot s;
      s.type = def->DataType();
      s.offset = offset;
      s.size = NativeSize(def);
      s.blob = ftBlobTypes.Contains(def->DataType());
      layout.push_back(s);
      offset += 1 + s.size;
    }
    if (!SameLayout(layout)) rows_.clear();
    defs_ = std::move(layout);
    dataSize_ = offset;
    recordSize_ = kHeader + dataSize_ + CalcFieldsSize();
    SetBookmarkSize(4);
    filterBuffer_ = AllocRecordBuffer();
    oldBuffer_ = AllocRecordBuffer();
    loadBuffer_ = AllocRecordBuffer();
    open_ = true;
    cur_ = -1;
    LoadPending();
  }

  void InternalClose() override {
    open_ = false;
    if (filterBuffer_) FreeRecordBuffer(filterBuffer_);
    if (oldBuffer_) FreeRecordBuffer(oldBuffer_);
    if (loadBuffer_) FreeRecordBuffer(loadBuffer_);
  }
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override {}
  void InternalRefresh() override { cur_ = -1; }

  void InternalPost() override {
    TDataSet::InternalPost();
    TRecordBuffer b = ActiveBuffer();
    Row row;
    std::memcpy(&row.id, b, 4);
    row.data.assign(b + kHeader, b + kHeader + dataSize_);
    row.blobs = blobs_[b];
    if (State() == dsEdit) {
      rows_.at(static_cast<size_t>(cur_)).data = std::move(row.data);
      rows_.at(static_cast<size_t>(cur_)).blobs = std::move(row.blobs);
      return;
    }
    row.id = ++nextId_;
    const int pos = std::clamp(cur_, 0, static_cast<int>(rows_.size()));
    rows_.insert(rows_.begin() + pos, std::move(row));
    cur_ = pos;
  }

  void InternalDelete() override { rows_.erase(rows_.begin() + cur_); }

  void SetFilterText(const std::string& Value) override {
    TDataSet::SetFilterText(Value);
    if (Active() && Filtered()) First();
  }

  TRecordBuffer GetActiveRecordBuffer() {
    switch (State()) {
      case dsBrowse:
      case dsBlockRead:
        return IsEmpty() ? nullptr : ActiveBuffer();
      case dsEdit:
      case dsInsert:
        return ActiveBuffer();
      case dsCalcFields:
      case dsInternalCalc:
        return CalcBuffer();
      case dsFilter:
        return filterBuffer_;
      case dsNewValue:
        return loading_ ? loadBuffer_ : (IsEmpty() ? nullptr : ActiveBuffer());
      case dsOldValue:
      case dsCurValue:
        if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) == bfInserted) return nullptr;
        if (cur_ < 0 || cur_ >= static_cast<int>(rows_.size())) return nullptr;
        CopyRow(cur_, oldBuffer_);
        return oldBuffer_;
      default:
        return nullptr;
    }
  }

  bool GetFieldData(TField* Field, void* Buffer) override {
    TRecordBuffer rec = GetActiveRecordBuffer();
    if (!rec) return false;
    if (Field->IsBlob()) {
      const auto& value = blobs_[rec].at(static_cast<size_t>(Field->FieldNo() - 1));
      return value && !value->empty();
    }
    int size = 0;
    const uint8_t* slot = SlotOf(Field, rec, size);
    if (slot[0]) return false;
    if (Buffer) {
      const int n = std::min(Field->DataSize(), size);
      std::memcpy(Buffer, slot + 1, static_cast<size_t>(n));
      if (IsText(Field) && n > 0) static_cast<uint8_t*>(Buffer)[n - 1] = 0;
    }
    return true;
  }

  void SetFieldData(TField* Field, const void* Buffer) override {
    TRecordBuffer rec = GetActiveRecordBuffer();
    if (!rec) DatabaseError(SNotEditing, this);
    const TDataSetState state = State();
    if (state == dsEdit || state == dsInsert) Field->Validate(Buffer);
    int size = 0;
    uint8_t* slot = SlotOf(Field, rec, size);
    std::memset(slot, 0, static_cast<size_t>(size) + 1);
    if (!Buffer) {
      slot[0] = 1;
    } else {
      const int n = std::min(Field->DataSize(), size);
      std::memcpy(slot + 1, Buffer, static_cast<size_t>(n));
      if (IsText(Field) && n > 0) slot[n] = 0;
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue && state != dsInternalCalc) {
      DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
    }
  }

 private:
  friend class TMemBlobStream;
  struct Slot {
    TFieldType type = ftUnknown;
    int offset = 0;
    int size = 0;
    bool blob = false;
    bool operator==(const Slot&) const = default;
  };

  static int32_t IdOf(const void* Bookmark) {
    int32_t id = 0;
    std::memcpy(&id, Bookmark, 4);
    return id;
  }
  int IndexOfId(int32_t Id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].id == Id) return static_cast<int>(i);
    }
    return -1;
  }
  static bool IsText(TField* Field) {
    const TFieldType t = Field->DataType();
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftGuid;
  }
  static int NativeSize(TFieldDef* Def) {
    TFieldClass cls = Def->FieldClass();
    if (!cls) return 0;
    std::unique_ptr<TField> probe(cls(nullptr));
    if (Def->Size() > 0 && !dynamic_cast<TGuidField*>(probe.get())) probe->SetSize(Def->Size());
    return probe->DataSize();
  }
  bool SameLayout(const std::vector<Slot>& Layout) const { return Layout == defs_; }

  uint8_t* SlotOf(TField* Field, TRecordBuffer Rec, int& Size) {
    if (Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup) {
      Size = Field->DataSize();
      return Rec + kHeader + dataSize_ + Field->Offset();
    }
    const Slot& s = defs_.at(static_cast<size_t>(Field->FieldNo() - 1));
    Size = s.size;
    return Rec + kHeader + s.offset;
  }

  void CopyRow(int Index, TRecordBuffer Buffer) {
    const Row& row = rows_[static_cast<size_t>(Index)];
    std::memcpy(Buffer, &row.id, 4);
    std::memcpy(Buffer + kHeader, row.data.data(), row.data.size());
    if (HasBlobFields()) blobs_[Buffer] = row.blobs;
  }
  bool HasBlobFields() const {
    return std::any_of(defs_.begin(), defs_.end(), [](const Slot& s) { return s.blob; });
  }

  // Runs F with the fields reading row Index (in dsFilter).
  template <typename F>
  void WithRow(int Index, F&& Fn) {
    CopyRow(Index, filterBuffer_);
    ClearCalcFields(filterBuffer_);
    const TDataSetState saved = SetTempState(dsFilter);
    try {
      Fn();
    } catch (...) {
      RestoreState(saved);
      throw;
    }
    RestoreState(saved);
  }

  bool Accept(int Index) {
    if (!Filtered() || (!OnFilterRecord && (!OnFilterText || Filter().empty()))) return true;
    bool accept = true;
    WithRow(Index, [&] {
      if (OnFilterRecord) OnFilterRecord(this, accept);
      if (accept && OnFilterText && !Filter().empty()) accept = OnFilterText(this, Filter());
    });
    return accept;
  }

  static bool ValueMatches(const TVariant& Value, const TVariant& Key, TLocateOptions Options) {
    if (Key.IsNull() || Key.IsEmpty()) return Value.IsNull();
    if (Value.IsNull()) return false;
    if (VarIsStr(Key) || VarIsStr(Value)) {
      std::string v = Value.AsString(), k = Key.AsString();
      if (Options.Contains(loPartialKey)) v = v.substr(0, k.size());
      return Options.Contains(loCaseInsensitive) ? AnsiSameText(v, k) : v == k;
    }
    return Value == Key;
  }

  int Find(const std::string& KeyFields, const TVariant& KeyValues, TLocateOptions Options) {
    const std::vector<TField*> keys = GetFieldList(KeyFields);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
      if (!Accept(i)) continue;
      bool match = true;
      WithRow(i, [&] {
        for (size_t k = 0; k < keys.size() && match; ++k) {
          const TVariant key = keys.size() == 1 && !KeyValues.IsArray()
                                   ? KeyValues
                                   : KeyValues.GetElement(KeyValues.LowBound() + static_cast<int>(k));
          match = ValueMatches(keys[k]->Value(), key, Options);
        }
      });
      if (match) return i;
    }
    return -1;
  }

  void LoadPending() {
    for (const std::vector<TVariant>& values : pending_) {
      InternalInitRecord(loadBuffer_);
      const TDataSetState saved = SetTempState(dsNewValue);
      loading_ = true;
      try {
        for (size_t i = 0; i < values.size() && i < defs_.size(); ++i) {
          TField* f = FieldByNumber(static_cast<int>(i) + 1);
          if (!f || f->FieldKind() != fkData) continue;
          // A string field narrower than its column shows the first characters that fit.
          if (dynamic_cast<TStringField*>(f) && VarIsStr(values[i]))
            f->SetValue(TVariant(Utf8Copy(values[i].AsString(), 1, f->Size())));
          else
            f->SetValue(values[i]);
        }
      } catch (...) {
        loading_ = false;
        RestoreState(saved);
        throw;
      }
      loading_ = false;
      RestoreState(saved);
      Row row;
      row.id = ++nextId_;
      row.data.assign(loadBuffer_ + kHeader, loadBuffer_ + kHeader + dataSize_);
      row.blobs = blobs_[loadBuffer_];
      rows_.push_back(std::move(row));
    }
    pending_.clear();
  }

  std::vector<Row> rows_;
  std::vector<std::vector<TVariant>> pending_;
  std::vector<Slot> defs_;
  std::map<TRecordBuffer, std::vector<std::optional<std::string>>> blobs_;
  TRecordBuffer filterBuffer_ = nullptr;
  TRecordBuffer oldBuffer_ = nullptr;
  TRecordBuffer loadBuffer_ = nullptr;
  int dataSize_ = 0;
  int recordSize_ = kHeader;
  int cur_ = -1;
  int32_t nextId_ = 0;
  int getRecordCalls_ = 0;
  bool open_ = false;
  bool readOnly_ = false;
  bool loading_ = false;
};

// The value of a blob field in the record buffer of the dataset's current state, as a stream; a
// written value is stored when the stream is freed.
class TMemBlobStream : public TStringStream {
  TALVIK_CLASS(TMemBlobStream, TStringStream)
  TMemBlobStream(TMemDataSet* DataSet, TField* Field, TBlobStreamMode Mode)
      : dataset_(DataSet), field_(Field), write_(Mode != bmRead) {
    buffer_ = DataSet->GetActiveRecordBuffer();
    if (write_ && !buffer_) DatabaseError(SNotEditing, DataSet);
    if (buffer_ && Mode != bmWrite) {
      const auto& value = dataset_->blobs_[buffer_].at(static_cast<size_t>(Field->FieldNo() - 1));
      if (value) WriteString(*value);
      SetPosition(0);
    }
  }
  ~TMemBlobStream() override {
    if (!write_) return;
    try {
      auto& value = dataset_->blobs_[buffer_].at(static_cast<size_t>(field_->FieldNo() - 1));
      value = DataString();
      if (auto* blob = dynamic_cast<TBlobField*>(field_)) blob->SetModified(true);
      dataset_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
    } catch (...) {
    }
  }

 private:
  TMemDataSet* dataset_;
  TField* field_;
  TRecordBuffer buffer_ = nullptr;
  bool write_;
};

inline std::unique_ptr<TStream> TMemDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  return std::make_unique<TMemBlobStream>(this, Field, Mode);
}
