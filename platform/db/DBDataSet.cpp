// TDataSet: states, the record-buffer ring, opening and closing, navigation and notifications.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "platform/db/DB.h"

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner),
      fields_(std::make_unique<TFields>(this)),
      fieldDefs_(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet() {
  Destroying();
  // The descendant has closed the dataset; whatever is left is freed without its operations.
  for (TRecordBuffer& b : buffers_) {
    delete[] b;
    b = nullptr;
  }
  buffers_.clear();
  state_ = dsInactive;
  while (!dataSources_.empty()) RemoveDataSource(dataSources_.back());
  fields_->Clear();
}

// ---------------------------------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool Value) {
  if (Value == Active() || state_ == dsOpening) return;
  if (Value) {
    DoBeforeOpen();
    state_ = dsOpening;
    try {
      OpenCursor();
    } catch (...) {
      state_ = dsInactive;
      try {
        CloseCursor();
      } catch (...) {
      }
      throw;
    }
    SetState(dsBrowse);
    DoAfterOpen();
    if (!IsEmpty()) DoAfterScroll();
  } else {
    const bool destroying = ComponentState().Contains(csDestroying);
    if (!destroying) DoBeforeClose();
    SetState(dsInactive);
    CloseCursor();
    if (!destroying) DoAfterClose();
  }
}

void TDataSet::OpenCursor() {
  defaultFields_ = fields_->Count() == 0;
  internalOpenComplete_ = false;
  InternalOpen();
  internalOpenComplete_ = true;
  UpdateBufferCount();
  ClearBuffers();
  InternalFirst();
  GetNextRecords();
  bof_ = true;
}

void TDataSet::CloseCursor() {
  blockReadSize_ = 0;
  internalOpenComplete_ = false;
  FreeFieldBuffers();
  ClearBuffers();
  FreeBuffers();
  std::exception_ptr error;
  try {
    InternalClose();
  } catch (...) {
    error = std::current_exception();
  }
  BindFields(false);
  if (defaultFields_) DestroyFields();
  defaultFields_ = false;
  if (error) std::rethrow_exception(error);
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& b : buffers_) FreeRecordBuffer(b);
  buffers_.clear();
  bufferCount_ = 0;
  calcBuffer_ = nullptr;
}

void TDataSet::CheckActive() const {
  if (state_ == dsInactive) DatabaseError(SDataSetClosed, const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(SDataSetOpen, const_cast<TDataSet*>(this));
}

void TDataSet::InitFieldDefs() {
  InternalInitFieldDefs();
}

// ---------------------------------------------------------------------------------------------------
// Fields

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_->Count(); ++i) {
    TFieldDef* def = fieldDefs_->Items(i);
    if (def->DataType() == ftUnknown || def->Attributes().Contains(faHiddenCol) || !def->FieldClass())
      continue;
    def->CreateField(this);
  }
}

void TDataSet::DestroyFields() {
  fields_->Clear();
}

bool TDataSet::FieldTypesCompatible(TFieldType FieldType, TFieldType DefType) const {
  if (FieldType == DefType) return true;
  static const TFieldTypes families[] = {
      {ftString, ftFixedChar, ftWideString, ftGuid},
      {ftSmallint, ftInteger, ftWord, ftAutoInc},
      {ftFloat, ftCurrency},
      {ftBCD, ftFMTBcd},
      {ftDateTime, ftTimeStamp},
      {ftBlob, ftGraphic, ftTypedBinary, ftOraBlob, ftParadoxOle, ftDBaseOle},
      {ftMemo, ftFmtMemo, ftOraClob},
  };
  for (const TFieldTypes& f : families) {
    if (f.Contains(FieldType) && f.Contains(DefType)) return true;
  }
  return false;
}

void TDataSet::BindFields(bool Binding) {
  calcFieldsSize_ = 0;
  internalCalcFields_ = false;
  for (TField* f : fields_->List()) {
    if (!Binding) {
      f->Bind(false);
      if (f->FieldKind() == fkData) f->fieldNo_ = 0;
      continue;
    }
    switch (f->FieldKind()) {
      case fkCalculated:
      case fkLookup:
        f->fieldNo_ = -1;
        f->offset_ = calcFieldsSize_;
        calcFieldsSize_ += f->DataSize() + 1;
        break;
      case fkAggregate:
        break;
      default: {
        const int index = fieldDefs_->IndexOf(f->FullName());
        if (index < 0) DatabaseErrorFmt(SFieldNotFound, {f->DisplayName()}, this);
        TFieldDef* def = fieldDefs_->Items(index);
        if (!FieldTypesCompatible(f->DataType(), def->DataType())) {
          DatabaseErrorFmt(SFieldTypeMismatch,
                           {f->DisplayName(), FieldTypeName(f->DataType()), FieldTypeName(def->DataType())},
                           this);
        }
        f->fieldNo_ = def->FieldNo();
        if (def->InternalCalcField()) internalCalcFields_ = true;
        if (f->FieldKind() == fkInternalCalc) {
          f->offset_ = calcFieldsSize_;
          calcFieldsSize_ += f->DataSize() + 1;
        }
      }
    }
    f->Bind(true);
  }
}

TField* TDataSet::FieldByName(std::string_view FieldName) const {
  TField* f = fields_->FindField(FieldName);
  if (!f) DatabaseErrorFmt(SFieldNotFound, {FieldName}, const_cast<TDataSet*>(this));
  return f;
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view FieldNames) const {
  std::vector<TField*> list;
  int pos = 1;
  while (pos <= static_cast<int>(FieldNames.size())) {
    const std::string name = ExtractFieldName(FieldNames, pos);
    if (!name.empty()) list.push_back(FieldByName(name));
  }
  return list;
}

void TDataSet::GetFieldList(TList* List, std::string_view FieldNames) const {
  for (TField* f : GetFieldList(FieldNames)) List->Add(f);
}

void TDataSet::GetFieldNames(TStrings* List) const {
  List->BeginUpdate();
  List->Clear();
  if (fields_->Count() > 0) {
    for (TField* f : fields_->List()) List->Add(f->FieldName());
  } else {
    for (int i = 0; i < fieldDefs_->Count(); ++i) List->Add(fieldDefs_->Items(i)->Name());
  }
  List->EndUpdate();
}

void TDataSet::CheckFieldNames(std::string_view FieldNames) const {
  GetFieldList(FieldNames);
}

TVariant TDataSet::FieldValues(std::string_view FieldNames) const {
  if (FieldNames.find(';') == std::string_view::npos) return FieldByName(FieldNames)->Value();
  const std::vector<TField*> list = GetFieldList(FieldNames);
  if (list.size() == 1) return list[0]->Value();
  TVariant result = VarArrayCreate({0, static_cast<int>(list.size()) - 1}, varVariant);
  for (size_t i = 0; i < list.size(); ++i) result.SetElement(static_cast<int>(i), list[i]->Value());
  return result;
}

void TDataSet::SetFieldValues(std::string_view FieldNames, const TVariant& Value) {
  if (FieldNames.find(';') == std::string_view::npos) {
    FieldByName(FieldNames)->SetValue(Value);
    return;
  }
  const std::vector<TField*> list = GetFieldList(FieldNames);
  if (list.size() == 1 && !Value.IsArray()) {
    list[0]->SetValue(Value);
    return;
  }
  for (size_t i = 0; i < list.size(); ++i)
    list[i]->SetValue(Value.GetElement(Value.LowBound() + static_cast<int>(i)));
}

// ---------------------------------------------------------------------------------------------------
// Buffers

TRecordBuffer TDataSet::AllocRecordBuffer() {
  const int size = std::max(GetRecordSize(), 1);
  auto* b = new uint8_t[static_cast<size_t>(size)];
  std::memset(b, 0, static_cast<size_t>(size));
  return b;
}

void TDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  delete[] Buffer;
  Buffer = nullptr;
}

TRecordBuffer TDataSet::ActiveBuffer() const {
  return buffers_.empty() ? nullptr : buffers_[static_cast<size_t>(activeRecord_)];
}

TRecordBuffer TDataSet::Buffers(int Index) const {
  if (Index < 0 || Index >= static_cast<int>(buffers_.size())) return nullptr;
  return buffers_[static_cast<size_t>(Index)];
}

void TDataSet::CheckRing([[maybe_unused]] bool Deep) const {
#ifndef NDEBUG
  if (buffers_.empty()) return;
  assert(static_cast<int>(buffers_.size()) == bufferCount_ + 1);
  assert(recordCount_ >= 0 && recordCount_ <= bufferCount_);
  assert(activeRecord_ >= 0 && activeRecord_ < std::max(recordCount_, 1));
  assert(currentRecord_ >= -1 && currentRecord_ < std::max(recordCount_, 1));
  if (Deep) {  // no buffer twice: a rotation gone wrong would lose one and free another twice
    std::vector<TRecordBuffer> sorted(buffers_);
    std::sort(sorted.begin(), sorted.end());
    assert(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    assert(std::find(sorted.begin(), sorted.end(), nullptr) == sorted.end());
  }
#endif
}

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  auto first = buffers_.begin();
  if (CurIndex < NewIndex) {
    std::rotate(first + CurIndex, first + CurIndex + 1, first + NewIndex + 1);
  } else {
    std::rotate(first + NewIndex, first + CurIndex, first + CurIndex + 1);
  }
}

void TDataSet::SetBufferCount(int Value) {
  Value = std::clamp(Value, 1, 1024);
  if (Value == bufferCount_ && !buffers_.empty()) return;
  int delta = 0;
  if (Value < recordCount_) {
    // Keep the active record in the window: drop records before it first, then after it.
    const int dropFront = std::max(0, activeRecord_ - (Value - 1));
    if (dropFront > 0) {
      std::rotate(buffers_.begin(), buffers_.begin() + dropFront, buffers_.begin() + recordCount_);
      recordCount_ -= dropFront;
      activeRecord_ -= dropFront;
      if (currentRecord_ >= 0) currentRecord_ -= dropFront;
      delta = -dropFront;
    }
    recordCount_ = std::min(recordCount_, Value);
    if (currentRecord_ < 0 || currentRecord_ >= recordCount_) currentRecord_ = -1;
  }
  const size_t wanted = static_cast<size_t>(Value) + 1;
  while (buffers_.size() > wanted) {
    FreeRecordBuffer(buffers_.back());
    buffers_.pop_back();
  }
  while (buffers_.size() < wanted) buffers_.push_back(AllocRecordBuffer());
  bufferCount_ = Value;
  if (recordCount_ > 0 && recordCount_ < bufferCount_) {
    GetNextRecords();
    delta += GetPriorRecords();
  }
  CheckRing(true);
  AdjustFirstRecords(delta);
}

void TDataSet::UpdateBufferCount() {
  if (!IsCursorOpen()) return;
  int count = 1;
  for (TDataSource* ds : dataSources_) {
    for (TDataLink* link : ds->dataLinks_) count = std::max(count, link->BufferCount());
  }
  SetBufferCount(count);
}

void TDataSet::AdjustFirstRecords(int Delta) {
  if (Delta == 0) return;
  for (TDataSource* ds : dataSources_) {
    for (TDataLink* link : ds->dataLinks_) {
      if (link->active_) link->firstRecord_ += Delta;
    }
  }
}

void TDataSet::SetCurrentRecord(int Index) {
  if (currentRecord_ == Index) return;
  TRecordBuffer b = buffers_[static_cast<size_t>(Index)];
  switch (GetBookmarkFlag(b)) {
    case bfCurrent:
    case bfInserted:
      InternalSetToRecord(b);
      break;
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
  }
  currentRecord_ = Index;
}

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
  TGetMode mode = gmNext;
  if (recordCount_ > 0) {
    SetCurrentRecord(recordCount_ - 1);
    if (state_ == dsInsert && currentRecord_ == activeRecord_ &&
        GetBookmarkFlag(ActiveBuffer()) == bfCurrent) {
      mode = gmCurrent;
    }
  }
  const bool ok = GetRecord(buffers_[static_cast<size_t>(recordCount_)], mode, true) == grOK;
  if (ok) {
    if (recordCount_ == 0) {
      ActivateBuffers();
    } else if (recordCount_ < bufferCount_) {
      ++recordCount_;
    } else {
      MoveBuffer(0, recordCount_);
    }
    currentRecord_ = recordCount_ - 1;
  } else {
    CursorPosChanged();
  }
  CheckRing();
  return ok;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0) SetCurrentRecord(0);
  const bool ok = GetRecord(buffers_[static_cast<size_t>(recordCount_)], gmPrior, true) == grOK;
  if (ok) {
    if (recordCount_ == 0) {
      ActivateBuffers();
    } else {
      MoveBuffer(recordCount_, 0);
      if (recordCount_ < bufferCount_) {
        ++recordCount_;
        ++activeRecord_;
      }
    }
    currentRecord_ = 0;
  } else {
    CursorPosChanged();
  }
  CheckRing();
  return ok;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++n;
  return n;
}

void TDataSet::Resync(TResyncMode Mode) {
  if (buffers_.empty()) return;
  TRecordBuffer spare = buffers_[static_cast<size_t>(recordCount_)];
  if (Mode.Contains(rmExact)) {
    CursorPosChanged();
    if (GetRecord(spare, gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
  } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
             GetRecord(spare, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  int count = Mode.Contains(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
  MoveBuffer(recordCount_, 0);
  ActivateBuffers();
  try {
    while (count > 0 && GetPriorRecord()) --count;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(deDataSetChange, 0);
    throw;
  }
  CheckRing(true);
  DataEvent(deDataSetChange, 0);
}

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
  calcBuffer_ = Buffer;
  if (state_ != dsInternalCalc) {
    ClearCalcFields(Buffer);
    for (TField* f : fields_->List()) {
      if (f->FieldKind() == fkLookup) f->CalcLookupValue();
    }
  }
  DoOnCalcFields();
}

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (calcFieldsSize_ <= 0 && !internalCalcFields_) return;
  calcBuffer_ = Buffer;
  const TDataSetState saved = SetTempState(dsCalcFields);
  try {
    CalculateFields(Buffer);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

void TDataSet::InitRecord(TRecordBuffer Buffer) {
  InternalInitRecord(Buffer);
  ClearCalcFields(Buffer);
  SetBookmarkFlag(Buffer, bfInserted);
}

// ---------------------------------------------------------------------------------------------------
// Navigation

void TDataSet::ScrollToEnd(bool& EndFlag, const std::function<void()>& Fetch) {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    Fetch();
  } catch (...) {
    EndFlag = true;
    DataEvent(deDataSetChange, 0);
    throw;
  }
  EndFlag = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::First() {
  ScrollToEnd(bof_, [this] {
    InternalFirst();
    GetNextRecords();
  });
}

void TDataSet::Last() {
  ScrollToEnd(eof_, [this] {
    InternalLast();
    GetPriorRecords();
  });
}

int TDataSet::MoveBy(int Distance) {
  CheckBrowseMode();
  int result = 0;
  DoBeforeScroll();
  if ((Distance > 0 && !eof_) || (Distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    const int oldCount = recordCount_;
    int scroll = 0;
    auto notify = [&] {
      if (recordCount_ != oldCount) {
        DataEvent(deDataSetChange, 0);
      } else {
        DataEvent(deDataSetScroll, scroll);
      }
    };
    try {
      while (Distance > 0) {
        if (activeRecord_ < recordCount_ - 1) {
          ++activeRecord_;
        } else {
          const int shift = recordCount_ < bufferCount_ ? 0 : 1;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          scroll -= shift;
        }
        --Distance;
        ++result;
      }
      while (Distance < 0) {
        if (activeRecord_ > 0) {
          --activeRecord_;
        } else {
          const int shift = recordCount_ < bufferCount_ ? 0 : 1;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          scroll += shift;
        }
        ++Distance;
        --result;
      }
    } catch (...) {
      notify();
      throw;
    }
    notify();
    CheckRing();
    DoAfterScroll();
  }
  return result;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  DoBeforeRefresh();
  UpdateCursorPos();
  try {
    InternalRefresh();
  } catch (...) {
    // the records the buffers hold may be gone with the failed refresh: they are read again from
    // what is there, so that the controls never show (or look up) a record the dataset lost
    try {
      Resync({});
    } catch (...) {
      ClearBuffers();
      DataEvent(deDataSetChange, 0);
    }
    throw;
  }
  Resync({});
  DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_) {
        Post();
      } else {
        Cancel();
      }
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// Bookmarks

bool TDataSet::BookmarkAvailable() const {
  return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && !IsEmpty() &&
         GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() const {
  if (!BookmarkAvailable() || bookmarkSize_ <= 0) return {};
  TBookmark b(static_cast<size_t>(bookmarkSize_), '\0');
  GetBookmarkData(ActiveBuffer(), b.data());
  return b;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
  if (Bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(Bookmark.data());
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& /*Bookmark*/) {
  return false;
}

int TDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.empty() || Bookmark2.empty()) {
    if (Bookmark1.empty() && Bookmark2.empty()) return 0;
    return Bookmark1.empty() ? 1 : -1;
  }
  const int c = Bookmark1.compare(Bookmark2);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------------
// State, controls and notifications

void TDataSet::SetState(TDataSetState Value) {
  if (state_ == Value) return;
  state_ = Value;
  modified_ = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
  const TDataSetState old = state_;
  state_ = Value;
  ++disableCount_;
  return old;
}

void TDataSet::RestoreState(TDataSetState Value) {
  state_ = Value;
  --disableCount_;
}

void TDataSet::DisableControls() {
  if (disableCount_ == 0) {
    disableState_ = state_;
    enableEvent_ = deDataSetChange;
  }
  ++disableCount_;
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ != 0) return;
  if (disableState_ != state_) DataEvent(deUpdateState, 0);
  if (disableState_ != dsInactive && state_ != dsInactive) DataEvent(enableEvent_, 0);
}

void TDataSet::DataEvent(TDataEvent Event, intptr_t Info) {
  bool notify = !ControlsDisabled() && state_ != dsBlockRead;
  switch (Event) {
    case deFieldChange:
      FieldChanged(reinterpret_cast<TField*>(Info));
      break;
    case dePropertyChange:
      fieldDefs_->SetUpdated(false);
      break;
    case deLayoutChange:
      if (ControlsDisabled()) enableEvent_ = deLayoutChange;
      break;
    case deUpdateState:
      if (ControlsDisabled()) {
        Event = deDisabledStateChange;
        Info = state_ != dsInactive ? 1 : 0;
        notify = true;
        disableState_ = state_;
      }
      break;
    default:
      break;
  }
  if (notify) {
    for (size_t i = 0; i < dataSources_.size(); ++i) dataSources_[i]->DataEvent(Event, Info);
  }
  if (Event == deFieldChange && Info) {
    // Calculated fields follow the edited data fields.
    auto* field = reinterpret_cast<TField*>(Info);
    if (field->FieldKind() == fkData && autoCalcFields_ && calcFieldsSize_ > 0 &&
        (state_ == dsEdit || state_ == dsInsert)) {
      GetCalcFields(ActiveBuffer());
      for (TField* f : fields_->List()) {
        if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
          DataEvent(deFieldChange, reinterpret_cast<intptr_t>(f));
        }
      }
    }
  }
}

void TDataSet::FieldChanged(TField* Field) {
  if (!Field) return;
  if (Field->FieldKind() == fkData || Field->FieldKind() == fkInternalCalc) modified_ = true;
  Field->Change();
}

void TDataSet::SetBlockReadSize(int Value) {
  if (Value > 0) {
    CheckActive();
    if (state_ == dsBrowse) SetState(dsBlockRead);
  } else if (state_ == dsBlockRead) {
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
  }
  blockReadSize_ = Value;
}

TVariant TDataSet::GetStateFieldValue(TDataSetState State, TField* Field) {
  if (State == dsOldValue || State == dsNewValue || State == dsCurValue) UpdateCursorPos();
  const TDataSetState saved = SetTempState(State);
  try {
    TVariant v = Field->Value();
    RestoreState(saved);
    return v;
  } catch (...) {
    RestoreState(saved);
    throw;
  }
}

void TDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const TVariant& Value) {
  const TDataSetState saved = SetTempState(State);
  try {
    Field->SetValue(Value);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* /*Field*/, TBlobStreamMode /*Mode*/) {
  return nullptr;
}

namespace {
bool NeedsConversion(TFieldType Type) {
  return Type == ftDate || Type == ftTime || Type == ftDateTime || Type == ftTimeStamp;
}
}  // namespace

bool TDataSet::GetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
  if (NativeFormat || !Buffer || !NeedsConversion(Field->DataType())) return GetFieldData(Field, Buffer);
  uint8_t native[16] = {};
  if (!GetFieldData(Field, native)) return false;
  DataConvert(Field, native, Buffer, false);
  return true;
}

void TDataSet::SetFieldData(TField* Field, const void* Buffer, bool NativeFormat) {
  if (NativeFormat || !Buffer || !NeedsConversion(Field->DataType())) {
    SetFieldData(Field, Buffer);
    return;
  }
  uint8_t native[16] = {};
  DataConvert(Field, Buffer, native, true);
  SetFieldData(Field, native);
}

void TDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  switch (Field->DataType()) {
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
      break;
    default:
      std::memcpy(Dest, Source, static_cast<size_t>(Field->DataSize()));
      return;
  }
  if (ToNative) {
    TDateTime v = 0;
    std::memcpy(&v, Source, sizeof v);
    const TTimeStamp ts = DateTimeToTimeStamp(v);
    if (Field->DataType() == ftDate) {
      const int32_t d = ts.Date;
      std::memcpy(Dest, &d, sizeof d);
    } else if (Field->DataType() == ftTime) {
      const int32_t t = ts.Time;
      std::memcpy(Dest, &t, sizeof t);
    } else {
      const double ms = TimeStampToMSecs(ts);
      std::memcpy(Dest, &ms, sizeof ms);
    }
    return;
  }
  TDateTime v = 0;
  if (Field->DataType() == ftDate) {
    int32_t d = 0;
    std::memcpy(&d, Source, sizeof d);
    v = TimeStampToDateTime(TTimeStamp{0, d});
  } else if (Field->DataType() == ftTime) {
    int32_t t = 0;
    std::memcpy(&t, Source, sizeof t);
    v = static_cast<double>(t) / static_cast<double>(MSecsPerDay);
  } else {
    double ms = 0;
    std::memcpy(&ms, Source, sizeof ms);
    v = TimeStampToDateTime(MSecsToTimeStamp(ms));
  }
  std::memcpy(Dest, &v, sizeof v);
}

int TDataSet::FieldSelectListPosition(TField* Field) {
  if (!Field || Field->FieldKind() != fkData || Field->DataSet() != this) return 0;
  return std::max(Field->FieldNo(), 0);
}

bool TDataSet::IsLinkedTo(const TDataSource* DataSource) const {
  std::vector<const TDataSet*> seen;
  const TDataSet* ds = this;
  while (ds && std::find(seen.begin(), seen.end(), ds) == seen.end()) {
    seen.push_back(ds);
    TDataSource* src = ds->GetDataSource();
    if (!src) break;
    if (src == DataSource) return true;
    ds = src->DataSet();
  }
  return false;
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
  dataSources_.push_back(DataSource);
  DataSource->dataset_ = this;
  UpdateBufferCount();
  DataSource->DataEvent(deUpdateState, 0);
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
  DataSource->dataset_ = nullptr;
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), DataSource), dataSources_.end());
  DataSource->DataEvent(deUpdateState, 0);
  if (!ComponentState().Contains(csDestroying)) UpdateBufferCount();
}

void TDataSet::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------------------------------
// Searching and the provider defaults

bool TDataSet::Locate(const std::string& /*KeyFields*/, const TVariant& /*KeyValues*/,
                      TLocateOptions /*Options*/) {
  return false;
}

TVariant TDataSet::Lookup(const std::string& /*KeyFields*/, const TVariant& /*KeyValues*/,
                          const std::string& /*ResultFields*/) {
  return TVariant::MakeNull();
}

void TDataSet::PSReset() {}

void TDataSet::PSExecute() {
  DatabaseError(SNotSupported, this);
}

int TDataSet::PSExecuteStatement(const std::string& /*ASQL*/, TParams* /*AParams*/,
                                 TDataSet** /*ResultSet*/) {
  DatabaseError(SProviderSQLNotSupported, this);
}

void TDataSet::PSSetParams(TParams* AParams) {
  if (AParams && AParams->Count() > 0) DatabaseError(SNotSupported, this);
}

std::string TDataSet::PSGetKeyFields() {
  std::string keys;
  for (TField* f : fields_->List()) {
    if (!f->ProviderFlags().Contains(pfInKey)) continue;
    if (!keys.empty()) keys += ';';
    keys += f->FieldName();
  }
  return keys;
}
