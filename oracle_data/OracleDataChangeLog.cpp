// The Oracle dataset's change log (posted changes kept on the client) and the value tests of its
// columns that the generated statements rely on.
#include <algorithm>
#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
constexpr int kObjectType = 108;

bool IsTextField(const TField* Field) {
  const TFieldType t = Field->DataType();
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo;
}

bool TrimsStrings(TOracleDataSet* DataSet) {
  TOracleSession* s = DataSet ? DataSet->Session() : nullptr;
  return s && s->Preferences()->TrimStringFields();
}

// Null, or the text of a string or memo field that is empty (right-trimmed when Trim).
bool IsEmptyValue(const TField* Field, const TVariant& Value, bool Trim) {
  if (Value.IsNull() || Value.IsEmpty()) return true;
  if (!IsTextField(Field)) return false;
  return (Trim ? TrimRight(Value.AsString()) : Value.AsString()).empty();
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// Change-log entries

TChangeLogItem::~TChangeLogItem() {
  FreeCopy(OldRecord);
  FreeCopy(NewRecord);
}

void TChangeLogItem::FreeCopy(uint8_t*& Record) {
  if (!Record) return;
  DataSet->FreeBlobList(Record);
  DataSet->ClearRowId(Record);
  DataSet->FreeRecordBuffer(Record);
  Record = nullptr;
}

int32_t TChangeLogItem::RecordId() const {
  if (OldRecord) return GetInt(OldRecord, RecIdOffset);
  if (NewRecord) return GetInt(NewRecord, RecIdOffset);
  return -1;
}

void TChangeLogItem::SetRecordId(int32_t Id) {
  if (OldRecord) SetInt(OldRecord, RecIdOffset, Id);
  if (NewRecord) SetInt(NewRecord, RecIdOffset, Id);
}

uint8_t* TChangeLogItem::PrivateCopy(const uint8_t* Record) const {
  TOracleDataSet* ds = DataSet;
  uint8_t* copy = ds->AllocRecordBuffer();
  std::memcpy(copy, Record, static_cast<size_t>(ds->RecordSize()));
  // The copy owns its own ROWID text (and, when its caller gives it one, its own LOB list).
  SetHandle(copy, HeapRowIdOffset, 0);
  SetHandle(copy, BlobListOffset, 0);
  ds->SetRowIdText(copy, ds->GetRowIdText(Record));
  return copy;
}

void TChangeLogItem::SetOldRecord(const uint8_t* Record) {
  FreeCopy(OldRecord);
  if (!Record) return;
  uint8_t* copy = PrivateCopy(Record);
  if (const TBlobList* lobs = DataSet->BlobListOf(Record)) DataSet->EnsureBlobList(copy)->Copy(*lobs);
  OldRecord = copy;
}

void TChangeLogItem::SetNewRecord(const uint8_t* Record) {
  FreeCopy(NewRecord);
  if (!Record) return;
  TOracleDataSet* ds = DataSet;
  uint8_t* copy = PrivateCopy(Record);
  const TBlobList* own = ds->BlobListOf(Record);
  const TBlobList* edit = ds->EditBlobs();
  if (edit && edit->Count() > 0) {
    TBlobList* lobs = ds->EnsureBlobList(copy);
    for (int i = 0; i < edit->Count(); ++i) {
      TField* f = edit->Items(i)->Field();
      auto* blobField = dynamic_cast<TBlobField*>(f);
      const TOracleBlob* source = blobField && blobField->Modified() ? edit->Items(i)
                                  : own                              ? own->BlobByField(f)
                                                                     : nullptr;
      TOracleBlob* item = lobs->Add(f);
      if (source && source->Size() > 0) item->SetData(source->Data());
    }
  }
  NewRecord = copy;
}

void TChangeLogItem::CopyNewInto(uint8_t* Record) const {
  if (!NewRecord) return;
  TOracleDataSet* ds = DataSet;
  const int32_t id = GetInt(Record, RecIdOffset);
  ds->FreeBlobList(Record);
  ds->ClearRowId(Record);
  ds->RecordStore()->Save(Record, NewRecord);
  SetInt(Record, RecIdOffset, id);
  SetHandle(Record, HeapRowIdOffset, 0);
  SetHandle(Record, BlobListOffset, 0);
  ds->SetRowIdText(Record, ds->GetRowIdText(NewRecord));
  if (const TBlobList* lobs = ds->BlobListOf(NewRecord)) ds->EnsureBlobList(Record)->Copy(*lobs);
}

namespace {
// The all-records position of the held record with that id, -1 when none.
int AllIndexOfId(TRecordDataList* Store, int32_t Id) {
  for (int i = Store->BaseOffset(); i < Store->Count(); ++i)
    if (GetInt(Store->Get(i), RecIdOffset) == Id) return i;
  return -1;
}
}  // namespace

void TChangeLogItem::Revert() {
  if (!Placed) return;
  TOracleDataSet* ds = DataSet;
  TRecordDataList* store = ds->RecordStore();
  if (!store) return;
  const bool wasReverting = ds->Reverting();
  ds->SetReverting(true);
  try {
    switch (Action) {
      case 'D': {
        if (!OldRecord) break;
        uint8_t* record = store->AddRecord(std::max(Index, 0), false);
        // The store record takes over the old copy's ROWID and LOB list.
        store->Save(record, OldRecord);
        record[BookmarkFlagOffset] = 0;
        const bool visible = ds->Filtered() && ds->RecordPassesFilter(OldRecord);
        ds->FreeRecordBuffer(OldRecord);
        OldRecord = nullptr;
        if (visible) store->AddVisible(record, false);
        break;
      }
      case 'I': {
        const int index = AllIndexOfId(store, RecordId());
        if (index >= 0) store->DeleteRecord(index, true);
        break;
      }
      case 'U': {
        if (!OldRecord) break;
        const int index = AllIndexOfId(store, RecordId());
        if (index < 0) break;
        uint8_t* record = store->Get(index);
        ds->FreeBlobList(record);
        ds->ClearRowId(record);
        store->Save(record, OldRecord);
        record[BookmarkFlagOffset] = 0;
        ds->FreeRecordBuffer(OldRecord);
        OldRecord = nullptr;
        break;
      }
      default:
        break;
    }
  } catch (...) {
    ds->SetReverting(wasReverting);
    throw;
  }
  ds->SetReverting(wasReverting);
}

bool TChangeLogItem::BelongsToCurrentMaster() const {
  const uint8_t* record = Action == 'I' ? NewRecord : OldRecord;
  TOracleDataSet* ds = DataSet;
  if (!record || !ds->Master()) return true;
  if (ds->LinkedByRecord()) return GetInt(record, MasterIdOffset) == ds->MasterRecordId();
  return ds->MatchesMaster(const_cast<uint8_t*>(record));
}

TChangeLogItem* TChangeLog::Add() {
  items_.push_back(std::make_unique<TChangeLogItem>(dataSet_));
  return items_.back().get();
}

TChangeLogItem* TChangeLog::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return items_[static_cast<size_t>(Index)].get();
}

void TChangeLog::Delete(int Index) {
  Items(Index);
  items_.erase(items_.begin() + Index);
}

TChangeLogItem* TChangeLog::FindByRecordId(int32_t Id) const {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if ((*it)->RecordId() == Id) return it->get();
  return nullptr;
}

TChangeLogItem* TChangeLog::FindByRowId(const std::string& RowId) const {
  if (RowId.empty()) return nullptr;
  for (const auto& item : items_)
    if (item->OldRecord && dataSet_->GetRowIdText(item->OldRecord) == RowId) return item.get();
  return nullptr;
}

TChangeLogItem* TChangeLog::FindInsertAt(int Index) const {
  for (const auto& item : items_)
    if (item->Action == 'I' && !item->Placed && item->Index == Index) return item.get();
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// The dataset's side

TUpdateStatus TOracleDataSet::UpdateStatus() {
  if (State() == dsInsert) return usInserted;
  if (!Active() || IsEmpty()) return usUnmodified;
  if (cachedUpdates_) {
    if (const TChangeLogItem* item = changeLog_.FindByRecordId(GetInt(ActiveBuffer(), RecIdOffset))) {
      if (item->Action == 'D') return usDeleted;
      if (item->Action == 'I') return usInserted;
      if (item->Action == 'U') return usModified;
    }
  }
  return State() == dsEdit ? usModified : usUnmodified;
}

bool TOracleDataSet::FieldChanged(TField* Field) {
  if (Field->IsBlob()) {
    auto* blobField = dynamic_cast<TBlobField*>(Field);
    return blobField && blobField->Modified();
  }
  TVariant oldValue = Field->OldValue(), newValue = Field->Value();
  const bool trim = TrimsStrings(this) && IsTextField(Field);
  if (trim) {
    if (!oldValue.IsNull() && !oldValue.IsEmpty()) oldValue = TVariant(TrimRight(oldValue.AsString()));
    if (!newValue.IsNull() && !newValue.IsEmpty()) newValue = TVariant(TrimRight(newValue.AsString()));
  }
  const bool oldEmpty = IsEmptyValue(Field, oldValue, false), newEmpty = IsEmptyValue(Field, newValue, false);
  if (oldEmpty || newEmpty) return oldEmpty != newEmpty;
  if (IsTextField(Field)) return oldValue.AsString() != newValue.AsString();
  return !(oldValue == newValue);
}

bool TOracleDataSet::AnyDefaultExpression() {
  for (TField* f : Fields()->List())
    if (!Trim(f->DefaultExpression()).empty()) return true;
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Column value tests

namespace {
// Whether Info's value (read by ValueOf from its field) counts as null; an object column's when all
// its attributes' do.
template <class F>
bool ValueIsNull(const TOracleFieldInfo* Info, F ValueOf) {
  if (Info->OracleType == kObjectType) {
    for (const TOracleFieldInfo* c : Info->Children)
      if (!ValueIsNull(c, ValueOf)) return false;
    return true;
  }
  if (!Info->Field) return true;
  return IsEmptyValue(Info->Field, ValueOf(Info->Field), TrimsStrings(Info->DataSet));
}
}  // namespace

bool TOracleFieldInfo::IsNullOld() const {
  return ValueIsNull(this, [](TField* f) { return f->OldValue(); });
}

bool TOracleFieldInfo::IsNullNew() const {
  return ValueIsNull(this, [](TField* f) { return f->Value(); });
}

bool TOracleFieldInfo::IsChanged() const {
  if (OracleType == kObjectType) {
    for (const TOracleFieldInfo* c : Children)
      if (c->IsChanged()) return true;
    return false;
  }
  return Field && DataSet && DataSet->FieldChanged(Field);
}

TVariant TOracleFieldInfo::ReadColumnValue(TOracleQuery* Query) const {
  if (Query && Kind == 2) return ReadAttributeValue(Query);
  if (!Query || Kind != 0) return TVariant();
  const int index = Query->FieldIndex(ColumnName);
  if (index < 0 || Query->FieldType(index) != OracleType) return TVariant();
  return Query->Field(index);
}

bool TOracleFieldInfo::TemporaryLOBsAvailable() const {
  TOracleSession* s = DataSet ? DataSet->Session() : nullptr;
  return s && OCIGroupPresent(ogOCI81) && s->Preferences()->TemporaryLOB() != tlNone;
}
