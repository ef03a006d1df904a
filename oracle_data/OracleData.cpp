// The Oracle dataset: open, fetch, refresh, record buffers, navigation, field access and filtering.
#include "oracle_data/OracleData.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "oracle/OracleObjects.h"
#include "oracle/OracleTypes.h"
#include "oracle/OracleVisual.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
constexpr int kServerRowId = 11;
constexpr int kServerURowId = 104;

// Shows Cursor while a bulk fetch runs (nothing for crDefault).
class TBusyCursor {
 public:
  explicit TBusyCursor(TCursor Cursor) : active_(Cursor != oracle_ui::crDefault) {
    if (!active_) return;
    saved_ = GetScreenCursor();
    SetScreenCursor(Cursor);
  }
  ~TBusyCursor() {
    if (active_) SetScreenCursor(saved_);
  }

 private:
  bool active_;
  TCursor saved_ = oracle_ui::crDefault;
};

bool IsDateType(int OracleType) {
  return OracleType == otDate || OracleType == otTimestamp || OracleType == otTimestampTZ ||
         OracleType == otTimestampLTZ;
}

size_t TrimmedLength(const char* Text, size_t Length) {
  while (Length > 0 && static_cast<unsigned char>(Text[Length - 1]) <= ' ') --Length;
  return Length;
}

void TrimRightText(std::string& S) {
  S.resize(TrimmedLength(S.data(), S.size()));
}

// The record's milliseconds (days from 0001-01-01 plus the time of day) of a 7-byte Oracle date,
// equal to converting it to a date-time value and that to a time stamp, without the rounding trip
// through floating point. An invalid date part counts as day 0, an invalid time part as midnight.
double OracleDateToMSecs(const uint8_t* Cell) {
  const int year = (Cell[0] - 100) * 100 + Cell[1] - 100;
  TDateTime date = -DateDelta;
  if (year > 0) {
    TDateTime d;
    if (TryEncodeDate(year, Cell[2], Cell[3], d)) date = d;
  }
  const int hour = Cell[4] - 1, minute = Cell[5] - 1, second = Cell[6] - 1;
  int64_t time = 0;
  if (hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60)
    time = ((hour * 60 + minute) * 60 + second) * 1000;
  return (date + DateDelta) * static_cast<double>(MSecsPerDay) + static_cast<double>(time);
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// Construction

TOracleDataSet::TOracleDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

TOracleDataSet::~TOracleDataSet() {
  destroying_ = true;
  Destroying();
  try {
    Close();
  } catch (...) {
  }
  // The log's copies give their ROWIDs and LOB lists back to tables that go before the log does.
  changeLog_.Clear();
  if (mainQuery_ && mainQuery_->Session()) mainQuery_->Session()->RemoveDataSet(this);
  if (master_) {
    auto& list = master_->details_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    master_ = nullptr;
  }
  while (!details_.empty()) details_.back()->SetMaster(nullptr);
}

std::unique_ptr<TOracleQuery> TOracleDataSet::CreateQuery() {
  return std::make_unique<TOracleQuery>(nullptr);
}

TOracleQuery* TOracleDataSet::MainQuery() {
  if (!mainQuery_) {
    mainQuery_ = CreateQuery();
    mainQuery_->SetName("MainQuery");
    // Editing the statement's lines is setting the statement.
    if (auto* lines = dynamic_cast<TStringList*>(mainQuery_->SQL()))
      lines->OnChange = [this](TObject*) { SQLChanged(); };
    if (!cursorQuery_) cursorQuery_ = mainQuery_.get();
  }
  return mainQuery_.get();
}

// ---------------------------------------------------------------------------------------------------
// Settings

TStrings* TOracleDataSet::SQL() {
  return MainQuery()->SQL();
}

TPersistent* TOracleDataSet::FindObjectProperty(std::string_view Name) {
  return SameText(Name, "SQL") ? SQL() : nullptr;
}

int TOracleDataSet::FieldSelectListPosition(TField* Field) {
  return FieldColumnIndex(Field) + 1;
}

void TOracleDataSet::SetSQL(TStrings* Value) {
  MainQuery()->SetSQL(Value);
}

void TOracleDataSet::SQLChanged() {
  // A new statement reads its table's dictionary afresh (the criteria of the QBE mode keep it).
  if (!settingQBESQL_ && !destroying_) ForgetTableInfo();
  determinedTableValid_ = false;
  if (settingQBESQL_) return;
  if (destroying_) return;
  DataEvent(dePropertyChange, 0);
  Reopen();
}

void TOracleDataSet::SetSQLText(const std::string& Text) {
  TStringList list;
  list.SetText(Text);
  SetSQL(&list);
}

void TOracleDataSet::SetStringFieldsOnly(bool Value) {
  MainQuery()->SetStringFieldsOnly(Value);
  DataEvent(dePropertyChange, 0);
  Reopen();
}

void TOracleDataSet::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::SetUnidirectional(bool Value) {
  CheckInactive();
  unidirectional_ = Value;
}

void TOracleDataSet::SetUpdatingTable(const std::string& Value) {
  updatingTable_ = Value;
  determinedTableValid_ = false;
}

void TOracleDataSet::SetSession(TOracleSession* Value) {
  TOracleSession* old = MainQuery()->Session();
  if (old != Value) {
    // (Closing a closed dataset would drop a pending activation the new session is to perform.)
    if (Active() && !(Value == nullptr && detachable_)) Close();
    if (old) old->RemoveDataSet(this);
    MainQuery()->SetSession(Value);
    if (Value) Value->AddDataSet(this);
    if (Detached()) NotifyDataSetChange();
  }
  if (pendingActivation_) SetActive(true);
}

bool TOracleDataSet::Detached() {
  if (!Active()) return false;
  TOracleSession* s = Session();
  return !s || !s->Connected();
}

void TOracleDataSet::SessionLoggingOff(TOracleSession*) {
  if (!detachable_) Close();
}

void TOracleDataSet::SessionLoggedOff(TOracleSession*) {
  if (Detached()) NotifyDataSetChange();
}

void TOracleDataSet::SessionPreferencesChanged(TOracleSession*) {
  const bool wasActive = Active();
  CloseAndReset();
  if (wasActive) Open();
}

void TOracleDataSet::SessionDestroying(TOracleSession* Session) {
  if (!detachable_) Close();
  if (mainQuery_ && mainQuery_->Session() == Session) mainQuery_->SetSession(nullptr);
  if (Active()) NotifyDataSetChange();
}

void TOracleDataSet::SetActive(bool Value) {
  const TComponentState cs = ComponentState();
  const bool streamed = cs.Contains(csLoading) || cs.Contains(csReading);
  const bool designing = cs.Contains(csDesigning);
  if (designActivation_ && streamed && !designing) return;
  if (Value && (streamed || (designing && !Session()))) {
    // Opened once loading ends (or a session is given).
    pendingActivation_ = true;
    return;
  }
  const bool pending = pendingActivation_;
  pendingActivation_ = false;
  if (Value == Active()) return;
  if (Value && Session()) Session()->ApplyPendingLogOn();
  // A streamed activation waits for a connection at run time rather than failing.
  if (pending && Value && !designing && Session() && !Session()->Connected()) return;
  // A dataset opened with QBEMode set enters the mode once it is open.
  const bool enterQBE = Value && qbeMode_;
  if (enterQBE) qbeMode_ = false;
  TDataSet::SetActive(Value);
  if (enterQBE && Active()) EnterQBEMode();
}

void TOracleDataSet::Loaded() {
  TDataSet::Loaded();
  if (pendingActivation_) SetActive(true);
}

void TOracleDataSet::Reopen() {
  if (!Active()) return;
  Close();
  Open();
}

void TOracleDataSet::CloseAndReset() {
  Close();
  MainQuery()->Close();
  DataEvent(dePropertyChange, 0);
}

// ---------------------------------------------------------------------------------------------------
// Variables

void TOracleDataSet::DeleteVariables() {
  MainQuery()->DeleteVariables();
  DiscardProviderParams();
}
void TOracleDataSet::DeclareVariable(const std::string& Name, int Type) {
  MainQuery()->DeclareVariable(Name, Type);
  DiscardProviderParams();
}
void TOracleDataSet::SetVariable(const std::string& Name, const TVariant& Value) {
  MainQuery()->SetVariable(Name, Value);
}
void TOracleDataSet::SetComplexVariable(const std::string& Name, TObject* Object) {
  MainQuery()->SetComplexVariable(Name, Object);
}
TVariant TOracleDataSet::GetVariable(const std::string& Name) {
  return MainQuery()->GetVariable(Name);
}
int TOracleDataSet::VariableCount() {
  return MainQuery()->VariableCount();
}
std::string TOracleDataSet::VariableName(int Index) {
  return MainQuery()->VariableName(Index);
}
int TOracleDataSet::VariableType(int Index) {
  return MainQuery()->VariableType(Index);
}
int TOracleDataSet::VariableIndex(const std::string& Name) {
  return MainQuery()->VariableIndex(Name);
}

bool TOracleDataSet::ReadsCursorVariable() {
  TOracleQuery* q = MainQuery();
  for (int i = 0; i < q->VariableCount(); ++i)
    if (q->VariableType(i) == otCursor) return true;
  return false;
}

void TOracleDataSet::PrepareCursorQuery() {
  TOracleQuery* main = MainQuery();
  cursorQuery_ = main;
  for (int i = 0; i < main->VariableCount(); ++i) {
    if (main->VariableType(i) != otCursor) continue;
    if (!ownedCursorQuery_) {
      ownedCursorQuery_ = std::make_unique<TOracleQuery>(nullptr);
      ownedCursorQuery_->SetName("CursorQuery");
    }
    TOracleQuery* c = ownedCursorQuery_.get();
    c->SetReadBuffer(main->ReadBuffer());
    c->SetSession(main->Session());
    c->SetOptimize(main->Optimize());
    c->SetCursor(main->Cursor());
    c->SetStringFieldsOnly(main->StringFieldsOnly());
    main->SetComplexVariable(main->VariableName(i), c);
    main->Execute();
    ++executionCount_;
    cursorQuery_ = c;
    return;
  }
}

// ---------------------------------------------------------------------------------------------------
// Open and close

void TOracleDataSet::InternalInitFieldDefs() {
  FieldDefs()->Clear();
  SetMasterVariables();
  const bool masterInactive = MasterInactive();
  if (opening_ && !masterInactive) FireEvent(BeforeQuery);
  PrepareCursorQuery();
  TOracleQuery* q = cursorQuery_;
  if (!opening_ || masterInactive) {
    q->Describe();
  } else {
    q->Execute();
    ++executionCount_;
  }

  rowIdIndex_ = -1;
  for (int i = 0; i < q->FieldCount() && rowIdIndex_ < 0; ++i)
    if (SameText(q->FieldName(i), "ROWID")) rowIdIndex_ = i;
  for (int i = 0; i < q->FieldCount() && rowIdIndex_ < 0; ++i) {
    const int t = q->FieldInternalType(i);
    if (t == kServerRowId || t == kServerURowId) rowIdIndex_ = i;
  }

  fieldInfo_.Clear();
  fieldInfo_.Add("")->Kind = 3;
  for (int i = 0; i < q->FieldCount(); ++i) {
    if (i == rowIdIndex_) continue;
    TOracleFieldInfo* info = fieldInfo_.Add(q->FieldName(i));
    info->Kind = 0;
    info->ColumnName = q->FieldName(i);
    info->OracleType = q->FieldType(i);
    info->Size = q->FieldStringSize(i);
    info->Scale = q->FieldScale(i);
    info->Precision = q->FieldPrecision(i);
    info->TypeName = q->FieldTypeName(i);
    info->Required = !q->FieldOptional(i);
    info->ColumnIndex = i;
    if (SameText(info->TypeName, "SYS.XMLTYPE")) {
      info->OracleType = otCLOB;
      info->IsXMLType = true;
    }
    if (info->OracleType == otObject)
      AddObjectAttributes(info);
    else
      AddFieldDefFor(info);
  }
  fieldInfo_.CollectChildren();
  SyncQBEItems();
}

void TOracleDataSet::BindFieldInfo() {
  for (int i = 1; i < fieldInfo_.Count(); ++i) {
    TOracleFieldInfo* info = fieldInfo_.Items(i);
    info->Field = nullptr;
    if (info->Kind == 1) info->Kind = 0;
  }
  hasBlobFields_ = false;
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc) continue;
    if (f->IsBlob()) hasBlobFields_ = true;
    if (f->FieldKind() != fkData) continue;
    TOracleFieldInfo* info = fieldInfo_.FindByName(f->FieldName());
    if (!info || info->Kind == 3) continue;
    info->Field = f;
    info->SavedReadOnly = f->ReadOnly();
    info->Required = f->Required();
  }
  for (int i = 1; i < fieldInfo_.Count(); ++i) {
    TOracleFieldInfo* info = fieldInfo_.Items(i);
    if (info->Kind == 0 && !info->Field) info->Kind = 1;
  }
}

void TOracleDataSet::ComputeRecordSize() {
  int offset = 0;
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc) continue;
    f->SetOffset(offset);
    if (TOracleFieldInfo* info = fieldInfo_.FindByField(f); info && info->Field == f) info->Offset = offset;
    offset += 1 + f->DataSize();
  }
  calcFieldsOffset_ = offset;
  recordSize_ = HeaderSize + offset + CalcFieldsSize();
  fetchPlan_.clear();
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc) continue;
    TOracleFieldInfo* info = fieldInfo_.FindByField(f);
    fetchPlan_.push_back(
        {f, info && info->Field == f ? info : nullptr, f->Offset(), f->DataSize(), f->Size(), f->IsBlob()});
  }
}

void TOracleDataSet::InternalOpen() {
  opening_ = true;
  try {
    currentIndex_ = -1;
    SetBookmarkSize(4);
    uncompressedBytes_ = compressedBytes_ = 0;
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    BindFieldInfo();
    if (DefaultFields()) ApplyDictionarySettings();
    editBlobs_ = std::make_unique<TBlobList>();
    for (TField* f : Fields()->List())
      if ((f->FieldKind() == fkData || f->FieldKind() == fkInternalCalc) && f->IsBlob()) editBlobs_->Add(f);
    if (cachedUpdates_ && rowIdIndex_ < 0) throw Exception("CachedUpdates requires a rowid!");
    lastMasterId_ = -1;
    firstOpen_ = true;
    ComputeRecordSize();
    TOracleSession* s = Session();
    if (rowIdIndex_ >= 0 && ((s && s->ODBCMode()) || !Trim(uniqueFields_).empty())) DetermineUniqueFields();
    store_ = std::make_unique<TRecordDataList>(this, unidirectional_);
    ParseFilter();
    ExecuteAndFill();
  } catch (...) {
    opening_ = false;
    throw;
  }
  opening_ = false;
  serverCountValid_ = false;
  netAdded_ = 0;
}

void TOracleDataSet::InternalClose() {
  if (qbeMode_) {
    RestoreQBEFields();
    RecolourControls(false);
  }
  RestoreQBESQL();
  LockLinkFields(true);
  determinedTableValid_ = false;
  store_.reset();
  // A closed detail holds no records: its master's link fields are editable again.
  if (master_ && master_->Active()) master_->LockLinkFields(false);
  filterExpr_.reset();
  currentIndex_ = -1;
  recordSize_ = 0;
  calcFieldsOffset_ = 0;
  fetchBuffer_ = filterRecord_ = nullptr;
  fetchImage_ = std::vector<uint8_t>();
  storeView_ = std::vector<uint8_t>();
  storeViewOf_ = nullptr;
  lastMasterId_ = -1;
  if (ownedCursorQuery_) {
    if (mainQuery_) {
      for (int i = 0; i < mainQuery_->VariableCount(); ++i)
        if (mainQuery_->VariableType(i) == otCursor)
          mainQuery_->SetComplexVariable(mainQuery_->VariableName(i), nullptr);
    }
    ownedCursorQuery_.reset();
  }
  cursorQuery_ = MainQuery();
  editBlobs_.reset();
  dmlQuery_.reset();
  rowStatements_.clear();
  lastStatement_ = nullptr;
  savepointQuery_.reset();
  rollbackQuery_.reset();
  changeLog_.Clear();
  fetchPlan_.clear();
  DiscardProviderParams();
  paramsFromProvider_ = false;
}

void TOracleDataSet::InternalHandleException() {
  HandleApplicationException(this);
}

// ---------------------------------------------------------------------------------------------------
// Execution and fetching

void TOracleDataSet::ExecuteAndFill() {
  // (the rows of this execution are written into the blocks the last one's took)
  store_->ClearForRefill();
  // The master's link fields are locked or unlocked once the rows are in: a detail that holds rows
  // before and after keeps them locked throughout, and the master's controls hear of nothing.
  fillingRows_ = true;
  try {
    FillFromQuery();
  } catch (...) {
    fillingRows_ = false;
    if (master_ && master_->Active()) master_->LockLinkFields(false);
    throw;
  }
  fillingRows_ = false;
  if (master_ && master_->Active()) master_->LockLinkFields(false);
}

void TOracleDataSet::FillFromQuery() {
  for (int i = 0; i < changeLog_.Count(); ++i) changeLog_.Items(i)->Placed = false;
  recordIdCounter_ = 0;
  if (Detached()) return;
  if (MasterInactive()) {
    lastMasterId_ =
        (master_ && (master_->State() == dsBrowse || master_->State() == dsEdit)) ? MasterRecordId() : -1;
    SetMasterVariables();
    cursorQuery_->SetEof(true);
    if (!unidirectional_ && queryAllRecords_)
      while (FetchRecord()) {
      }
    return;
  }
  for (TOracleDataSet* d : details_) d->lastMasterId_ = -1;
  SetMasterVariables();
  if (!opening_) {
    FireEvent(BeforeQuery);
    if (cursorQuery_ != mainQuery_.get()) {
      MainQuery()->Execute();
      ++executionCount_;
    }
    cursorQuery_->Execute();
    ++executionCount_;
  }
  firstRowPending_ = true;
  lastMasterId_ = MasterRecordId();
  {
    TBusyCursor busy(Cursor());
    if (!unidirectional_ && queryAllRecords_)
      while (FetchRecord()) {
      }
  }
  FireEvent(AfterQuery);
}

void TOracleDataSet::ReadRow(uint8_t* Record) {
  TOracleQuery* q = cursorQuery_;
  TSessionPreferences* prefs = Session() ? Session()->Preferences() : nullptr;
  const bool trim = prefs && prefs->TrimStringFields();
  // The query converts line breaks of texts when its session asks for it (and without a session).
  const bool convertsLineBreaks = !q->Session() || q->Session()->Preferences()->ConvertCRLF();
  const int row = q->RowIndex();
  for (const TFetchColumn& c : fetchPlan_) {
    TField* f = c.Field;
    uint8_t* slot = Record + HeaderSize + c.Offset;
    slot[0] = 1;
    TOracleFieldInfo* info = c.Info;
    if (info && info->Kind == 2) {
      ReadAttribute(f, info, Record, trim);
      continue;
    }
    if (!info || info->Kind != 0) {
      if (c.Blob) EnsureBlobList(Record)->Add(f);
      continue;
    }
    const int col = info->ColumnIndex;
    if (c.Blob) {
      TOracleBlob* blob = EnsureBlobList(Record)->Add(f);
      if (q->FieldIsNull(col)) continue;
      std::string bytes;
      switch (info->OracleType) {
        case otString: {
          bytes = q->FieldAsString(col);
          if (trim) TrimRightText(bytes);
          break;
        }
        case otLong:
        case otLongRaw:
          bytes = q->LongFieldValue(col);
          break;
        case otCLOB:
        case otBLOB:
        case otBFile:
          bytes = ReadComplexColumn(info);
          break;
        default:
          break;
      }
      Decompress(f, bytes);
      blob->SetData(std::move(bytes));
      continue;
    }
    if (ReadPlainCell(q->FieldData(col), row, c, slot, trim, convertsLineBreaks)) continue;
    if (q->FieldIsNull(col)) continue;
    switch (info->OracleType) {
      case otInteger:
        PutSlotInteger(slot, q->FieldAsInteger(col));
        break;
      case otFloat:
        if (f->DataType() == ftInteger || f->DataType() == ftSmallint)
          PutSlotInteger(slot, q->FieldAsInteger(col));
        else
          PutSlotFloat(slot, q->FieldAsFloat(col));
        break;
      case otString:
      case otReference: {
        std::string s = q->FieldAsString(col);
        if (trim) TrimRightText(s);
        PutSlotText(slot, c.Size, c.Chars, s);
        break;
      }
      default:
        if (IsDateType(info->OracleType)) {
          PutSlotDateTime(slot, q->FieldAsDate(col));
          break;
        }
        DatabaseError("Unexpected datatype: " + f->FieldName(), this);
    }
  }
}

bool TOracleDataSet::ReadPlainCell(const TFieldData* Data, int Row, const TFetchColumn& Column, uint8_t* Slot,
                                   bool Trim, bool ConvertsLineBreaks) {
  // The defines of the common column kinds read straight from the fetched rows; anything else (and
  // a text whose line breaks are to be converted) goes through the query's accessors.
  const int type = Data->fetchType;
  if (type != Column.Info->OracleType || !Data->buffer) return false;
  if (type != otInteger && type != otFloat && type != otString && type != otDate) return false;
  if (type == otFloat && (Column.Field->DataType() == ftInteger || Column.Field->DataType() == ftSmallint))
    return false;
  if (Data->indicators[Row] == -1) return true;
  const uint8_t* cell = Data->Cell(Row);
  switch (type) {
    case otInteger: {
      int32_t v;
      std::memcpy(&v, cell, sizeof v);
      PutSlotInteger(Slot, v);
      return true;
    }
    case otFloat: {
      double v;
      std::memcpy(&v, cell, sizeof v);
      PutSlotFloat(Slot, v);
      return true;
    }
    case otString: {
      const char* text = reinterpret_cast<const char*>(cell);
      size_t limit = static_cast<size_t>(Data->rowSize);
      if (Data->lengths && Data->lengths[Row] < limit) limit = Data->lengths[Row];
      size_t n = strnlen(text, limit);
      if (ConvertsLineBreaks && (std::memchr(text, '\n', n) || std::memchr(text, '\r', n))) return false;
      if (Trim) n = TrimmedLength(text, n);
      PutSlotText(Slot, Column.Size, Column.Chars, std::string_view(text, n));
      return true;
    }
    default:
      // A date's slot holds its milliseconds as a double.
      PutSlotFloat(Slot, OracleDateToMSecs(cell));
      return true;
  }
}

void TOracleDataSet::AcceptFetched(uint8_t* Record, uint8_t* Image, bool& Accepted) {
  Accepted = true;
  if (FilterActive()) {
    Accepted = RecordPassesFilter(Image);
    if (Accepted) store_->AddVisible(Record, true);
  }
  if (Accepted && !fillingRows_ && store_->VisibleCount() == 1 && master_ && master_->Active())
    master_->LockLinkFields(false);
}

bool TOracleDataSet::MergeCachedInsert(bool& Accepted) {
  TChangeLogItem* item = nullptr;
  if (!cursorQuery_->Eof()) {
    item = changeLog_.FindInsertAt(store_->Count());
  } else {
    for (int i = 0; i < changeLog_.Count() && !item; ++i) {
      TChangeLogItem* c = changeLog_.Items(i);
      if (c->Action == 'I' && !c->Placed && c->BelongsToCurrentMaster()) item = c;
    }
  }
  if (!item) return false;
  uint8_t* record = store_->AddRecord(store_->Count(), false);
  item->CopyNewInto(record);
  record[BookmarkFlagOffset] = 0;
  SetInt(record, RecIdOffset, ++recordIdCounter_);
  item->SetRecordId(recordIdCounter_);
  item->Index = store_->Count() - 1;
  item->Placed = true;
  store_->Load(record, fetchImage_.data());
  AcceptFetched(record, fetchImage_.data(), Accepted);
  return true;
}

bool TOracleDataSet::FetchRecord() {
  if (!store_) return false;
  fetchImage_.resize(static_cast<size_t>(recordSize_));
  uint8_t* image = fetchImage_.data();
  while (true) {
    // The slot first: in unidirectional mode making room forgets the records held.
    store_->NewRecordSlot();
    fetchBuffer_ = image;
    std::memset(image, 0, static_cast<size_t>(recordSize_));
    SetInt(image, DataSizeOffset, recordSize_ - HeaderSize);
    ClearCalcFields(image);
    TOracleQuery* q = cursorQuery_;
    if (cachedUpdates_) {
      bool merged = false;
      if (MergeCachedInsert(merged)) {
        if (merged) return true;
        continue;
      }
      if (q->Eof()) return false;
    }
    if (MasterInactive()) return false;
    if (!firstRowPending_ && !q->Eof()) q->Next();
    firstRowPending_ = false;
    if (q->Eof()) {
      store_->ReleaseSpareCapacity();
      if (!cachedUpdates_) return false;
      continue;  // the cached inserts that belong after the last row
    }
    TChangeLogItem* logged = nullptr;
    if (cachedUpdates_ && rowIdIndex_ >= 0) {
      logged = changeLog_.FindByRowId(q->FieldAsString(rowIdIndex_));
      if (logged) {
        logged->Placed = true;
        if (logged->Action == 'D') {
          // A row deleted on the client: it takes an id, but no record.
          logged->SetRecordId(++recordIdCounter_);
          continue;
        }
        if (logged->Action != 'U') logged = nullptr;
      }
    }
    if (!logged) {
      try {
        ReadRow(image);
      } catch (...) {
        FreeBlobList(image);
        throw;
      }
    }
    uint8_t* record = store_->AddRecord(store_->Count(), false);
    if (logged) {
      logged->CopyNewInto(record);
    } else {
      // The record takes the image, with its LOB list.
      SetInt(image, MasterIdOffset, GetInt(record, MasterIdOffset));
      store_->Save(record, image);
      if (rowIdIndex_ >= 0) SetRowIdText(record, q->FieldAsString(rowIdIndex_));
    }
    SetInt(record, RecIdOffset, ++recordIdCounter_);
    record[BookmarkFlagOffset] = 0;
    if (logged) {
      logged->SetRecordId(recordIdCounter_);
      logged->Index = store_->Count() - 1;
      if (FilterActive()) store_->Load(record, image);
    } else {
      std::memcpy(image, record, HeaderSize);
    }
    bool accept = true;
    AcceptFetched(record, image, accept);
    if (AfterFetchRecord) {
      TAfterFetchRecordAction action = afContinue;
      const int saved = currentIndex_;
      currentIndex_ = store_->VisibleCount() - 1;
      try {
        AfterFetchRecord(this, accept, action);
      } catch (const std::exception& e) {
        OracleShowMessage(e.what());
        action = afCancel;
      }
      currentIndex_ = saved;
      switch (action) {
        case afContinue:
          break;
        case afPause:
          return false;
        case afStop:
          q->SetEof(true);
          break;
        case afCancel:
          q->SetEof(true);
          store_->Clear();
          currentIndex_ = -1;
          accept = false;
          break;
      }
    }
    if (accept) return true;
  }
}

int TOracleDataSet::CountQueryHits() {
  if (ReadsCursorVariable()) throw Exception("Cannot count query hits for cursor dataset");
  if (qbeMode_) ApplyPendingQBE();
  const TSQLParts parts = SplitSQL(MainQuery()->FinalSQL());
  const std::string& head = parts.Head;
  const std::string& condition = parts.Condition;
  const std::string& keyword = parts.Keyword;
  TOracleQuery count(nullptr);
  count.SetName("DMLQuery");
  count.SetSession(Session());
  std::string sql = "select count(*) from (\r\n" + head + "\r\n";
  sql += condition.empty() ? ")" : keyword + " " + condition + ")";
  count.SQL()->SetText(sql);
  std::unique_ptr<TStringList> vars(FindVariables(sql, false));
  for (int i = 0; i < vars->Count(); ++i) {
    const int index = MainQuery()->VariableIndex(vars->Strings(i));
    if (index < 0) continue;
    count.DeclareVariable(MainQuery()->VariableName(index), MainQuery()->VariableType(index));
    count.SetVariable(MainQuery()->VariableName(index),
                      MainQuery()->GetVariable(MainQuery()->VariableName(index)));
  }
  count.Execute();
  return count.FieldAsInteger(0);
}

void TOracleDataSet::PostDetails() {
  for (TOracleDataSet* d : details_) {
    if (!d->Active()) continue;
    d->PostDetails();
    if (d->State() == dsEdit || d->State() == dsInsert) d->Post();
  }
}

void TOracleDataSet::InternalRefresh() {
  if (qbeMode_) throw Exception("Operation not allowed in QBE mode");
  if (master_ && cachedUpdates_ && Trim(detailFields_).empty() && changeLog_.Count() > 0)
    throw Exception(
        "Refresh not allowed: detail records have cached updates.\r\nYou have to apply the updates first");
  serverCountValid_ = false;
  PostDetails();
  ExecuteAndFill();
  for (TOracleDataSet* d : details_) d->lastMasterId_ = -1;
  InternalFirst();
}

int32_t TOracleDataSet::ActiveRecordId() {
  if (!Active() || IsEmpty()) return 0;
  return GetInt(ActiveBuffer(), RecIdOffset);
}

void TOracleDataSet::DoBeforeRefresh() {
  refreshHadRecord_ = Active() && !IsEmpty();
  if (refreshHadRecord_) {
    const uint8_t* b = ActiveBuffer();
    refreshRecord_.assign(reinterpret_cast<const char*>(b), 4);
    refreshRecord_.append(reinterpret_cast<const char*>(b + HeaderSize),
                          static_cast<size_t>(calcFieldsOffset_));
  }
  TDataSet::DoBeforeRefresh();
}

void TOracleDataSet::DoAfterRefresh() {
  TDataSet::DoAfterRefresh();
  // The detail views follow the current record: tell them when the refresh changed it.
  const bool has = Active() && !IsEmpty();
  bool changed = has != refreshHadRecord_;
  if (!changed && has) {
    // (compared in place with the copy DoBeforeRefresh took: the record id, then the data)
    const uint8_t* b = ActiveBuffer();
    const size_t data = static_cast<size_t>(calcFieldsOffset_);
    changed = refreshRecord_.size() != 4 + data || std::memcmp(refreshRecord_.data(), b, 4) != 0 ||
              std::memcmp(refreshRecord_.data() + 4, b + HeaderSize, data) != 0;
  }
  if (changed) DoAfterScroll();
}

std::string TOracleDataSet::RowId() {
  if (!Active() || IsEmpty()) return {};
  uint8_t* rec = nullptr;
  if (ControlsDisabled()) {
    rec = ActiveBuffer();
  } else {
    const TDataSetState saved = SetTempState(dsOldValue);
    rec = ActiveRecordBuffer();
    RestoreState(saved);
  }
  return rec ? GetRowIdText(rec) : std::string();
}

int TOracleDataSet::FieldOracleType(TField* Field) const {
  if (!Field || Field->FieldKind() != fkData) return 0;
  TOracleFieldInfo* info = fieldInfo_.FindByField(Field);
  return info ? info->OracleType : 0;
}

int TOracleDataSet::FieldColumnIndex(TField* Field) const {
  if (!Field || Field->FieldKind() != fkData) return -1;
  TOracleFieldInfo* info = fieldInfo_.FindByField(Field);
  return info && info->Field == Field ? info->ColumnIndex : -1;
}

int TOracleDataSet::FieldOffset(TField* Field) const {
  if (Field->FieldKind() == fkData || Field->FieldKind() == fkInternalCalc)
    return HeaderSize + Field->Offset();
  return HeaderSize + calcFieldsOffset_ + Field->Offset();
}

// ---------------------------------------------------------------------------------------------------
// Record buffers

TRecordBuffer TOracleDataSet::AllocRecordBuffer() {
  const int size = std::max(recordSize_, HeaderSize);
  auto* b = new uint8_t[static_cast<size_t>(size)];
  std::memset(b, 0, static_cast<size_t>(size));
  SetInt(b, DataSizeOffset, size - HeaderSize);
  SetInt(b, MasterIdOffset, MasterRecordId());
  return b;
}

void TOracleDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  delete[] Buffer;
  Buffer = nullptr;
}

void TOracleDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  InitRecordHeader(Buffer);
  SetInt(Buffer, RecIdOffset, 0);
  if (recordSize_ > HeaderSize)
    std::memset(Buffer + HeaderSize, 1, static_cast<size_t>(recordSize_ - HeaderSize));
}

void TOracleDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  if (recordSize_ > HeaderSize + calcFieldsOffset_)
    std::memset(Buffer + HeaderSize + calcFieldsOffset_, 1,
                static_cast<size_t>(recordSize_ - HeaderSize - calcFieldsOffset_));
}

TGetResult TOracleDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
  TGetResult result = grOK;
  switch (GetMode) {
    case gmCurrent:
      if (currentIndex_ >= 0) {
        if (currentIndex_ >= store_->VisibleCount() &&
            (!FetchRecord() || currentIndex_ >= store_->VisibleCount()))
          result = grError;
      } else {
        FetchRecord();
        result = grError;
      }
      break;
    case gmNext:
      if (currentIndex_ + 1 < store_->VisibleCount()) {
        ++currentIndex_;
      } else if (FetchRecord()) {
        currentIndex_ = store_->VisibleCount() - 1;
      } else {
        result = grEOF;
      }
      break;
    case gmPrior:
      if (currentIndex_ > 0) {
        currentIndex_ = std::min(currentIndex_, store_->VisibleCount()) - 1;
        if (currentIndex_ < 0) result = grBOF;
      } else {
        result = grBOF;
      }
      break;
  }
  if (result == grOK) {
    store_->Load(store_->VisibleRecord(currentIndex_), Buffer);
    Buffer[BookmarkFlagOffset] = bfCurrent;
    GetCalcFields(Buffer);
  } else if (result == grError && DoCheck) {
    DatabaseError("No Records", this);
  }
  return result;
}

void TOracleDataSet::InternalFirst() {
  currentIndex_ = -1;
}

void TOracleDataSet::InternalLast() {
  {
    TBusyCursor busy(Cursor());
    while (FetchRecord()) {
    }
  }
  currentIndex_ = store_->VisibleCount();
}

int TOracleDataSet::PositionOfId(int32_t Id) const {
  const int n = store_->VisibleCount();
  const int guess = Id - 1;
  if (guess > 0 && guess < n && GetInt(store_->VisibleRecord(guess), RecIdOffset) == Id) return guess;
  const int first = store_->Unidirectional() && !FilterActive() ? store_->BaseOffset() : 0;
  for (int i = first; i < n; ++i)
    if (GetInt(store_->VisibleRecord(i), RecIdOffset) == Id) return i;
  return -1;
}

void TOracleDataSet::InternalGotoBookmark(const void* Bookmark) {
  int32_t id;
  std::memcpy(&id, Bookmark, sizeof id);
  const int pos = PositionOfId(id);
  if (pos < 0) DatabaseError("Bookmark not found (" + IntToStr(id) + ")", this);
  currentIndex_ = pos;
}

void TOracleDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  InternalGotoBookmark(Buffer + RecIdOffset);
}

void TOracleDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) const {
  std::memcpy(Data, Buffer + RecIdOffset, 4);
}
void TOracleDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  std::memcpy(Buffer + RecIdOffset, Data, 4);
}
TBookmarkFlag TOracleDataSet::GetBookmarkFlag(TRecordBuffer Buffer) const {
  return static_cast<TBookmarkFlag>(Buffer[BookmarkFlagOffset]);
}
void TOracleDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  Buffer[BookmarkFlagOffset] = static_cast<uint8_t>(Value);
}

bool TOracleDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.size() < 4 || !store_) return false;
  int32_t id;
  std::memcpy(&id, Bookmark.data(), sizeof id);
  return PositionOfId(id) >= 0;
}

int TOracleDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.empty() && Bookmark2.empty()) return 0;
  if (Bookmark1.empty()) return 1;
  if (Bookmark2.empty()) return -1;
  int32_t a = 0, b = 0;
  std::memcpy(&a, Bookmark1.data(), std::min<size_t>(4, Bookmark1.size()));
  std::memcpy(&b, Bookmark2.data(), std::min<size_t>(4, Bookmark2.size()));
  return a < b ? -1 : (a > b ? 1 : 0);
}

int TOracleDataSet::GetRecordCount() {
  CheckActive();
  if (qbeMode_) return CountQueryHits();  // the rows the criteria typed so far would give
  if (countAllRecords_ && !FilterActive()) {
    if (!serverCountValid_) {
      serverCount_ = CountQueryHits();
      serverCountValid_ = true;
      netAdded_ = 0;
    }
    return serverCount_ + netAdded_;
  }
  return store_ ? store_->VisibleCount() : 0;
}

int TOracleDataSet::GetRecNo() {
  UpdateCursorPos();
  if (currentIndex_ != -1) return currentIndex_ + 1;
  return RecordCount() > 0 ? 1 : 0;
}

void TOracleDataSet::SetRecNo(int Value) {
  CheckBrowseMode();
  if (Value >= 0 && Value <= store_->VisibleCount() && Value - 1 != currentIndex_) {
    DoBeforeScroll();
    currentIndex_ = Value - 1;
    Resync({rmCenter});
    DoAfterScroll();
  }
  if (countAllRecords_ && Value != RecNo() && Value >= 1 && Value < RecordCount()) MoveBy(Value - RecNo());
}

void TOracleDataSet::SetBlockReadSize(int Value) {
  TDataSet::SetBlockReadSize(Value > 0 ? -1 : Value);
}

bool TOracleDataSet::GetCanModify() {
  if (qbeMode_ && Active()) return true;  // criteria are typed into any dataset, a read-only one too
  if (!Active() || Detached() || readOnly_) return false;
  if (rowIdIndex_ < 0 && !OnApplyRecord) return false;
  if (master_ && (!master_->Active() || !master_->store_ || master_->IsEmpty() || master_->qbeMode_))
    return false;
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Field access

uint8_t* TOracleDataSet::StoreCurrentRecord() {
  if (!store_) return nullptr;
  const int i = std::max(currentIndex_, 0);
  return i < store_->VisibleCount() ? store_->VisibleRecord(i) : nullptr;
}

std::vector<uint8_t> TOracleDataSet::ImageOf(const uint8_t* Record) const {
  std::vector<uint8_t> image(static_cast<size_t>(recordSize_));
  store_->Load(Record, image.data());
  return image;
}

uint8_t* TOracleDataSet::StoreView(uint8_t* Record) {
  storeViewOf_ = Record;
  if (!Record) return nullptr;
  storeView_.resize(static_cast<size_t>(recordSize_));
  store_->Load(Record, storeView_.data());
  return storeView_.data();
}

uint8_t* TOracleDataSet::ActiveRecordBuffer() {
  switch (State()) {
    case dsBrowse:
    case dsCurValue:
      return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
      return ActiveBuffer();
    case dsCalcFields:
      return CalcBuffer();
    case dsFilter:
      return filterRecord_;
    case dsNewValue:
      return newValueRecord_ ? newValueRecord_ : StoreView(StoreCurrentRecord());
    case dsOldValue: {
      // A record being inserted has no old values.
      if (!IsEmpty() && GetBookmarkFlag(ActiveBuffer()) == bfInserted) return nullptr;
      uint8_t* current = StoreCurrentRecord();
      if (cachedUpdates_ && current) {
        const TChangeLogItem* item = changeLog_.FindByRecordId(GetInt(current, RecIdOffset));
        if (item && item->Action != 'I' && item->OldRecord) return item->OldRecord;
      }
      return StoreView(current);
    }
    default:
      return nullptr;
  }
}

bool TOracleDataSet::GetFieldData(TField* Field, void* Buffer) {
  uint8_t* rec = ActiveRecordBuffer();
  if (!rec || recordSize_ == 0) return false;
  if (Field->IsBlob()) {
    TBlobList* list = BlobListOf(rec);
    TOracleBlob* blob = list ? list->BlobByField(Field) : nullptr;
    return blob && blob->Size() > 0;
  }
  const uint8_t* slot = rec + FieldOffset(Field);
  if (slot[0]) return false;
  if (Buffer) std::memcpy(Buffer, slot + 1, static_cast<size_t>(SlotDataSize(Field)));
  return true;
}

void TOracleDataSet::SetFieldData(TField* Field, const void* Buffer) {
  uint8_t* rec = ActiveRecordBuffer();
  if (!rec) return;
  const TDataSetState state = State();
  const bool checked = (state == dsEdit || state == dsInsert) && !applyingNewRecord_ && !qbeMode_;
  if (checked) Field->Validate(Buffer);
  uint8_t* slot = rec + FieldOffset(Field);
  const int size = SlotDataSize(Field);
  const bool text = Field->DataType() == ftString || Field->DataType() == ftFixedChar;
  if (text && Buffer && size < Field->DataSize()) {
    // A field that takes longer criteria holds as a value only what its column holds.
    const auto* chars = static_cast<const char*>(Buffer);
    const std::string_view value(chars, strnlen(chars, static_cast<size_t>(Field->DataSize())));
    const int columnSize = (size - 1) / Utf8MaxCharBytes;
    if (Utf8Length(value) > columnSize || value.size() >= static_cast<size_t>(size))
      DatabaseErrorFmt(SFieldValueTooLong, {Field->DisplayName(), Utf8Length(value), columnSize}, this);
  }
  if (!Buffer || (text && static_cast<const char*>(Buffer)[0] == 0)) {
    slot[0] = 1;
  } else {
    slot[0] = 0;
    std::memcpy(slot + 1, Buffer, static_cast<size_t>(size));
    if (text && size > 0) slot[size] = 0;
  }
  // A value written through the image of a store record goes into the record.
  if (storeViewOf_ && rec == storeView_.data()) store_->Save(storeViewOf_, rec);
  if (checked) CheckConstraints(this, Field);
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
  if (!Detached() && state != dsCalcFields && state != dsFilter)
    for (TOracleDataSet* d : details_)
      if (d->Active()) d->SetMasterVariables();
}

// ---------------------------------------------------------------------------------------------------
// Filtering

TField* TColumnExpression::Field() const {
  return dataSet_->FieldByName(columnName_);
}
TDateTime TColumnExpression::AsDate() const {
  return Field()->AsDateTime();
}
std::string TColumnExpression::AsString() const {
  return Field()->AsString();
}
double TColumnExpression::AsFloat() const {
  TField* f = Field();
  const TFieldType t = f->DataType();
  if (t == ftDate || t == ftTime || t == ftDateTime) return f->AsDateTime();
  return f->AsFloat();
}
int32_t TColumnExpression::AsInteger() const {
  return Field()->AsInteger();
}
bool TColumnExpression::AsBoolean() const {
  return Field()->AsBoolean();
}
bool TColumnExpression::IsNull() const {
  return columnName_ == "NULL" || Field()->IsNull();
}
TExprType TColumnExpression::ExprType() const {
  if (columnName_ == "NULL") return etString;
  switch (Field()->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
      return etInteger;
    case ftBoolean:
      return etBoolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return etFloat;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return etDate;
    default:
      return etString;
  }
}

bool TOracleDataSet::FilterTest() {
  return !filterExpr_ || filterExpr_->AsBoolean();
}

TOracleDataSet::TFilterRecordScope::TFilterRecordScope(TOracleDataSet* DataSet, uint8_t* Record)
    : dataSet_(DataSet), savedRecord_(DataSet->filterRecord_), savedState_(DataSet->SetTempState(dsFilter)) {
  dataSet_->filterRecord_ = Record;
}

TOracleDataSet::TFilterRecordScope::~TFilterRecordScope() {
  dataSet_->filterRecord_ = savedRecord_;
  dataSet_->RestoreState(savedState_);
}

bool TOracleDataSet::RecordPassesFilter(uint8_t* Record) {
  if (!OnFilterRecord && !filterExpr_) return true;
  TFilterRecordScope scope(this, Record);
  bool accept = true;
  InvokeEvent(OnFilterRecord, this, accept);
  if (accept) accept = FilterTest();
  return accept;
}

void TOracleDataSet::ParseFilter() {
  // Parse into a new tree first: a text that does not parse leaves the old filter in force.
  std::unique_ptr<TExpression> parsed;
  if (!Filter().empty()) {
    parsed = ParseFilterExpression(
        Filter(), FilterOptions(), [this](const std::string& Identifier, std::unique_ptr<TParameterList>) {
          return std::unique_ptr<TExpression>(new TColumnExpression(this, Identifier));
        });
  }
  filterExpr_ = std::move(parsed);
}

void TOracleDataSet::Refilter() {
  if (!Active()) return;
  if (Filtered() && store_) {
    store_->ClearVisible();
    std::vector<uint8_t> image(static_cast<size_t>(recordSize_));
    for (int i = store_->BaseOffset(); i < store_->Count(); ++i) {
      uint8_t* r = store_->Get(i);
      store_->Load(r, image.data());
      if (RecordPassesFilter(image.data())) store_->AddVisible(r, true);
    }
  }
  First();
}

void TOracleDataSet::SetFilterText(const std::string& Value) {
  if (!Active()) {
    TDataSet::SetFilterText(Value);
    return;
  }
  const std::string old = Filter();
  TDataSet::SetFilterText(Value);
  TScopeExit restore([&] { TDataSet::SetFilterText(old); });  // a text that does not parse changes nothing
  ParseFilter();
  restore.Dismiss();
  if (Filtered()) Refilter();
}

void TOracleDataSet::SetFilterOptions(TFilterOptions Value) {
  if (!Active()) {
    TDataSet::SetFilterOptions(Value);
    return;
  }
  const TFilterOptions old = FilterOptions();
  TDataSet::SetFilterOptions(Value);
  TScopeExit restore([&] { TDataSet::SetFilterOptions(old); });  // a text that does not parse changes nothing
  ParseFilter();
  restore.Dismiss();
  if (Filtered()) Refilter();
}

void TOracleDataSet::SetFiltered(bool Value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(Value);
  Refilter();
}

void TOracleDataSet::CalculateFields(TRecordBuffer Buffer) {
  if (State() == dsFilter) return;
  TDataSet::CalculateFields(Buffer);
}
