// The Oracle dataset: a TDataSet that presents the rows of one SQL query as a navigable, buffered
// dataset. Rows are fetched through an internal TOracleQuery into a chunked record store of the
// dataset's own record format; filtering, master/detail links and searching work on that store.
//
// Record layout (every store record, every record buffer of the framework):
//   0  int32   record id (also the 4-byte bookmark; ids restart at 1 on every execution)
//   4  int32   master record id (-1 none)
//   8  uint8   bookmark flag (0 in the store)
//   9  19      inline ROWID text (zero-terminated, shorter than 18 characters), else zero-filled
//   28 uint32  handle of a heap ROWID text (0 none)
//   32 uint32  handle of the record's LOB list (0 none)
//   36 int32   size of the data area (RecordSize - 40)
//   40 ...     per field a null byte (1 = null) and DataSize value bytes; data fields first, then the
//              calculated fields
// The two handles index per-dataset tables and carry a generation: a copy of a record that the store
// has forgotten (a buffer, say) finds its handles stale and sees no ROWID and no LOB list.
//
// The store keeps each record as a fixed slot of StoredRecordSize bytes: the 40-byte header above,
// then where its data area lies packed (zero runs left out, see PackDataArea) in the store's byte
// blocks, how many bytes are reserved there, and whether the record is in the visible list. A store record is
// read and written as a whole image of the layout above through TRecordDataList::Load and Save.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oracle/OracleFilter.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/db/DB.h"

class TOracleDataSet;
class TLOBLocator;

namespace oracle_data {
inline constexpr int RecIdOffset = 0;
inline constexpr int MasterIdOffset = 4;
inline constexpr int BookmarkFlagOffset = 8;
inline constexpr int RowIdOffset = 9;
inline constexpr int RowIdInlineSize = 19;
inline constexpr int HeapRowIdOffset = 28;
inline constexpr int BlobListOffset = 32;
inline constexpr int DataSizeOffset = 36;
inline constexpr int HeaderSize = 40;
inline constexpr int PackedDataOffset = 40;      // pointer to the packed data area (nil: all zeros)
inline constexpr int PackedCapacityOffset = 48;  // int32 bytes reserved for it
inline constexpr int VisibleFlagOffset = 52;     // uint8 1 while the record is in the visible list
inline constexpr int StoredRecordSize = 53;

int32_t GetInt(const uint8_t* Record, int Offset);
void SetInt(uint8_t* Record, int Offset, int32_t Value);
uint32_t GetHandle(const uint8_t* Record, int Offset);
void SetHandle(uint8_t* Record, int Offset, uint32_t Value);

// Values into a record's field slot (the null byte, then the value in the field's format). A text
// longer than the slot's Size - 1 bytes is cut at a character boundary and the slot ends in zeros;
// an empty text leaves the slot null.
void PutSlotInteger(uint8_t* Slot, int32_t Value);
void PutSlotFloat(uint8_t* Slot, double Value);
// A text into a string field's slot of Size bytes, holding at most Chars characters: a field
// narrower than its column shows the first characters that fit, never part of a character.
void PutSlotText(uint8_t* Slot, int Size, int Chars, std::string_view Text);
void PutSlotDateTime(uint8_t* Slot, double Value);

// A data area in packed form: runs of zero bytes are left out, every other byte is kept as it is.
// Tokens: 0x00-0x7F a literal of 1-128 bytes follows; 0x80-0xBF a run of 1-64 zeros; 0xC0-0xFE
// with the next byte a run of 65-16,192 zeros; 0xFF the rest is zeros. Unpacking the packed form of
// Size bytes gives the same Size bytes back.
void PackDataArea(const uint8_t* Data, int Size, std::string& Out);
// The same into Out (room for MaxPackedSize(Size) bytes); the bytes written.
size_t PackDataArea(const uint8_t* Data, int Size, uint8_t* Out);
// The bytes PackDataArea needs at most for Size bytes.
int MaxPackedSize(int Size);
// Unpacks into Data (Size bytes); Packed nil gives all zeros.
void UnpackDataArea(const uint8_t* Packed, uint8_t* Data, int Size);

// Objects owned by a table and reached through 32-bit handles: 24 bits of slot, 8 bits of
// generation. Freeing a slot bumps its generation, so older handles of it find nothing. Freed slots
// are reused oldest first.
template <class T>
class THandleTable {
 public:
  uint32_t Add(std::unique_ptr<T> Value);
  // The object of Handle, or nil when the handle is 0 or stale.
  T* Get(uint32_t Handle) const;
  // Frees the object of Handle (nothing for 0 or a stale handle).
  void Free(uint32_t Handle);
  int Live() const { return live_; }

 private:
  struct Slot {
    uint8_t generation = 1;
    std::unique_ptr<T> value;
  };
  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;  // a queue: freeHead_ is the oldest
  size_t freeHead_ = 0;
  int live_ = 0;
};
}  // namespace oracle_data

// Heap ROWID copies alive in the process (every store record and copy that holds a ROWID of 18 or
// more characters owns one).
int RowIdAllocations();

// One LOB value of a record.
class TOracleBlob {
 public:
  explicit TOracleBlob(TField* Field) : field_(Field) {}
  TField* Field() const { return field_; }
  const std::string& Data() const { return data_; }
  std::string& Data() { return data_; }
  int32_t Size() const { return static_cast<int32_t>(data_.size()); }
  void SetData(std::string Value) { data_ = std::move(Value); }
  void Clear() {
    data_.clear();
    ClearCompressed();
  }
  // The stored form of the value: the compressed copy when there is one, else the plain bytes.
  bool HasCompressed() const { return hasCompressed_; }
  const std::string& CompressedData() const { return hasCompressed_ ? compressed_ : data_; }
  int32_t CompressedSize() const { return static_cast<int32_t>(CompressedData().size()); }
  void ClearCompressed() {
    compressed_.clear();
    hasCompressed_ = false;
  }
  // Makes the compressed copy when the field's dataset compresses LOB values.
  void PrepareCompressed();

 private:
  TField* field_;
  std::string data_;
  std::string compressed_;
  bool hasCompressed_ = false;
};

// The LOB values of one record, one per LOB-valued field.
class TBlobList {
 public:
  TOracleBlob* Add(TField* Field);
  int Count() const { return static_cast<int>(items_.size()); }
  TOracleBlob* Items(int Index) const;
  TOracleBlob* BlobByField(TField* Field) const;
  // Deep copy of Source's values (the compressed copies are not copied).
  void Copy(const TBlobList& Source);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TOracleBlob>> items_;
};

// A stream over one LOB value of the active record (or of the record being edited).
class TOracleBlobStream : public TStream {
  TALVIK_CLASS(TOracleBlobStream, TStream)
  TOracleBlobStream(TField* Field, TBlobStreamMode Mode);
  ~TOracleBlobStream() override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  // A position before the start is refused; one past the end is kept (a later Write zero-fills the gap).
  int64_t Seek(int64_t Offset, int Origin) override;
  int64_t Size() override;
  void Truncate();
  TOracleBlob* Blob() const { return blob_; }

 private:
  TField* field_;
  TOracleBlob* blob_ = nullptr;
  TOracleDataSet* dataSet_;
  uint8_t* record_ = nullptr;
  bool opened_ = false;
  bool modified_ = false;
  int64_t position_ = 0;
};

// Compressed LOB values: an 8-byte signature followed by the codec's output.
extern const uint8_t CompressedBlobSignature[8];
using TCompressionEvent =
    std::function<void(TOracleDataSet* Sender, TField* Field, TStream* InStream, TStream* OutStream)>;

// The chunked record memory of an open dataset, the list of all records, the list of the records
// that pass the filter, and the forgetting window of unidirectional mode. Records are slots of
// StoredRecordSize bytes that never move; their data areas are kept packed in byte blocks of the
// store, so that a record costs what its values take rather than the widths of its fields.
class TRecordDataList {
 public:
  explicit TRecordDataList(TOracleDataSet* DataSet, bool Unidirectional = false);
  ~TRecordDataList();
  TRecordDataList(const TRecordDataList&) = delete;
  TRecordDataList& operator=(const TRecordDataList&) = delete;

  TOracleDataSet* DataSet() const { return dataSet_; }
  bool Unidirectional() const { return unidirectional_; }
  int BaseOffset() const { return baseOffset_; }
  // Records held plus the records forgotten before them.
  int Count() const { return static_cast<int>(all_.size()) + baseOffset_; }
  int Add(uint8_t* Record);
  void Insert(int Index, uint8_t* Record);
  void Delete(int Index);
  uint8_t* Get(int Index) const;
  int IndexOf(const uint8_t* Record) const;

  // The next free slot (not yet counted as used).
  uint8_t* NewRecordSlot();
  // Counts the slot of NewRecordSlot as used and lists it at Index (a visible position with
  // InVisibleList); the record.
  uint8_t* AddRecord(int Index, bool InVisibleList);
  void DeleteRecord(int Index, bool InVisibleList);
  void Clear();
  // Clears the records but keeps their blocks (up to SpareBudget bytes) for the rows of the next
  // execution, which writes them again instead of new ones; the blocks it does not take go back when
  // its data ends (ReleaseSpareCapacity) or when the store is cleared.
  void ClearForRefill();
  static constexpr size_t SpareBudget = 4 * 1024 * 1024;

  uint8_t* VisibleRecord(int Index) const;
  int VisibleToAll(int Index) const;
  int VisiblePosition(int AllIndex) const;
  void AddVisible(uint8_t* Record, bool Append);
  int VisibleCount() const;
  void ClearVisible();

  // The whole image of a store record (RecordSize bytes: its header and its data area unpacked).
  void Load(const uint8_t* Record, uint8_t* Image) const;
  void CopyRecord(const uint8_t* Source, uint8_t* Dest) const { Load(Source, Dest); }
  // Writes an image into a store record: its header and its data area (SaveData: the data area
  // alone). A data area that no longer fits where it was is written anew at the end of the blocks.
  void Save(uint8_t* Record, const uint8_t* Image);
  void SaveData(uint8_t* Record, const uint8_t* Image);
  void FreeBlobs(uint8_t* Record);

  int ChunkCount() const { return static_cast<int>(chunks_.size()); }
  // Capacity in records of chunk Index, and the slots it has handed out.
  int ChunkCapacity(int Index) const;
  int ChunkUsed(int Index) const;
  // Hands back the unused tail of the last chunk but one free slot, and the unused capacity of the
  // record list; called when the data has ended.
  void ReleaseSpareCapacity();
  // The bytes the store holds: its chunks, its packed data, the blocks kept for a refill and its
  // record lists; of them, the blocks mapped from the system rather than taken from the heap.
  size_t AllocatedBytes() const;
  size_t MappedBytes() const;
  // The bytes of packed data written so far (including data areas written anew since).
  size_t PackedBytes() const { return packedBytes_; }

 private:
  struct Chunk {
    uint8_t* block = nullptr;
    size_t mapped = 0;  // length of a block mapped from the system; 0 for a heap block
    size_t bytes = 0;   // length of the block
  };
  void AllocateChunk(int Capacity);
  static Chunk MapBlock(size_t Bytes);
  static void ReleaseChunk(const Chunk& C);
  // The first kept block of at least Least bytes (taken out of Spares), or a new one of Bytes.
  static Chunk ReuseOrMapBlock(std::vector<Chunk>& Spares, size_t Least, size_t Bytes);
  void FreeSpares();
  // Room for Bytes of packed data.
  uint8_t* AllocatePacked(size_t Bytes);
  void CheckIndex(int Index) const;
  void ReleaseRecord(uint8_t* Record);
  void FreeChunks();
  TOracleDataSet* dataSet_;
  bool unidirectional_;
  int baseOffset_ = 0;
  std::vector<Chunk> chunks_;
  // The blocks of packed data areas: the last one is filled from packedUsed_ up to packedEnd_.
  std::vector<Chunk> packedBlocks_;
  // The blocks of the records cleared by ClearForRefill not written again yet (chunks zeroed).
  std::vector<Chunk> spareChunks_, sparePacked_;
  size_t packedUsed_ = 0, packedEnd_ = 0, packedBytes_ = 0;
  std::vector<uint8_t> packScratch_;
  std::vector<uint8_t*> all_;
  std::vector<uint8_t*> visible_;
};

// The description of one select-list column (or object attribute) of an open dataset.
class TOracleFieldInfo {
 public:
  std::vector<TOracleFieldInfo*> Children;
  TField* Field = nullptr;
  int QBEIndex = -1;
  int32_t Offset = 0;
  bool SavedReadOnly = false;
  bool Required = false;
  // 0 plain column, 1 column without a field, 2 attribute of an object column, 3 placeholder.
  int Kind = 0;
  std::string Name;
  std::string ColumnName;
  std::string AttributeName;
  int OracleType = 0;
  std::string TypeName;
  int32_t Size = 0, Scale = 0, Precision = 0;
  int ColumnIndex = -1;
  int AttributeIndex = -1;
  bool IsCollection = false;
  TOracleFieldInfo* Parent = nullptr;
  bool IsXMLType = false;

  // The SQL text for an empty value: the default (IncludeDefault), "empty_clob()"/"empty_blob()"
  // with NullLOBIsEmpty, an empty object constructor with NullObjectIsEmpty, else "null".
  std::string ValueExpression(bool IncludeDefault) const;
  std::string DefaultExpression() const;
  bool HasDefault() const { return !DefaultExpression().empty(); }
  // Whether the stored (old) value, respectively the current value, counts as null: a missing field,
  // a null value, or a string or memo whose text (right-trimmed with TrimStringFields) is empty. An
  // object column is null when every attribute is.
  bool IsNullOld() const;
  bool IsNullNew() const;
  // Whether the dataset reports the value as changed (an object column: any attribute).
  bool IsChanged() const;
  // The column's current value in Query: by index when Query has a column of that name and type;
  // unassigned otherwise.
  TVariant ReadColumnValue(TOracleQuery* Query) const;
  // An attribute's value from Query's object column of that name, when the attribute at
  // AttributeIndex has the entry's type; unassigned otherwise.
  TVariant ReadAttributeValue(TOracleQuery* Query) const;
  // A session, the client's temporary-LOB entry points, and the TemporaryLOB preference not tlNone.
  bool TemporaryLOBsAvailable() const;

  TOracleDataSet* DataSet = nullptr;
};

class TOracleFieldInfoList {
 public:
  explicit TOracleFieldInfoList(TOracleDataSet* Owner) : owner_(Owner) {}
  int Count() const { return static_cast<int>(items_.size()); }
  TOracleFieldInfo* Items(int Index) const;
  // A new entry named BaseName, made unique ("_1", "_2", ...) case-insensitively.
  TOracleFieldInfo* Add(const std::string& BaseName);
  TOracleFieldInfo* FindByField(TField* Field) const;
  TOracleFieldInfo* FindByName(const std::string& Name) const;
  // Links object entries to their attribute entries ("COL.ATTR").
  void CollectChildren();
  void Clear() { items_.clear(); }

 private:
  TOracleDataSet* owner_;
  std::vector<std::unique_ptr<TOracleFieldInfo>> items_;
};

// The leaf node of filter expressions: a field of the dataset, read from the record under test.
class TColumnExpression : public TExpression {
  TALVIK_CLASS(TColumnExpression, TExpression)
  TColumnExpression(TOracleDataSet* DataSet, std::string ColumnName)
      : dataSet_(DataSet), columnName_(std::move(ColumnName)) {}
  TDateTime AsDate() const override;
  std::string AsString() const override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  bool IsNull() const override;
  TExprType ExprType() const override;
  TOracleDataSet* DataSet() const { return dataSet_; }
  const std::string& ColumnName() const { return columnName_; }

 private:
  // The field, looked up on first use (the expression lives only while the dataset is open, and
  // an open dataset's fields do not change).
  TField* Field() const;
  TOracleDataSet* dataSet_;
  std::string columnName_;
  mutable TField* field_ = nullptr;
};

enum TAfterFetchRecordAction { afContinue, afPause, afStop, afCancel };
using TOracleDataSetEvent = std::function<void(TOracleDataSet* Sender)>;
using TAfterFetchRecordEvent =
    std::function<void(TOracleDataSet* Sender, bool FilterAccept, TAfterFetchRecordAction& Action)>;
// Lets the application perform an action ('I', 'U', 'D', 'L', 'R', 'C') itself.
using TApplyRecordEvent =
    std::function<void(TOracleDataSet* Sender, char Action, bool& Applied, std::string& NewRowId)>;
using TTranslateMessageEvent = std::function<void(
    TOracleDataSet* Sender, int ErrorCode, const std::string& ConstraintName, char Action, std::string& Msg)>;

// The constraint name an Oracle message names: what follows the first "." of the first "(...)" that
// holds one; empty when none.
std::string ConstraintNameOf(const std::string& Message);

// SearchRecord options.
inline constexpr int srForward = 1;
inline constexpr int srBackward = 2;
inline constexpr int srFromCurrent = 4;
inline constexpr int srFromBeginning = 8;
inline constexpr int srFromEnd = 16;
inline constexpr int srIgnoreCase = 32;
inline constexpr int srDateOnly = 64;
inline constexpr int srWildcards = 128;
inline constexpr int srPartialMatch = 256;
inline constexpr int srNoMove = 512;

// One posted change kept on the client: the record as it was and as it became.
class TChangeLogItem {
 public:
  explicit TChangeLogItem(TOracleDataSet* DataSet) : DataSet(DataSet) {}
  // Frees the copies the item still owns, with their ROWIDs and LOB lists.
  ~TChangeLogItem();
  TChangeLogItem(const TChangeLogItem&) = delete;
  TChangeLogItem& operator=(const TChangeLogItem&) = delete;

  TOracleDataSet* DataSet;
  char Action = ' ';  // ' ' none, 'I' inserted, 'U' updated, 'D' deleted
  int Index = -1;     // the all-records position of the record when logged (-1 unknown)
  uint8_t* OldRecord = nullptr;
  uint8_t* NewRecord = nullptr;
  bool Uncached = false;  // logged while CachedUpdates was off
  bool Placed = true;     // merged into the store during the current fetch

  // The old copy's record id, else the new copy's, else -1.
  int32_t RecordId() const;
  void SetRecordId(int32_t Id);
  // Store a private copy (own ROWID, own LOB list) of Record in place of the previous one.
  void SetOldRecord(const uint8_t* Record);
  // As SetOldRecord, with the LOB values of the fields being edited taken from the edit values.
  void SetNewRecord(const uint8_t* Record);
  // Overwrites a store record with the new copy (the store record keeps its id).
  void CopyNewInto(uint8_t* Record) const;
  // Undoes the entry in the store (placed entries only).
  void Revert();
  bool BelongsToCurrentMaster() const;

 private:
  void FreeCopy(uint8_t*& Record);
  uint8_t* PrivateCopy(const uint8_t* Record) const;
};

// The dataset's change log, oldest entry first.
class TChangeLog {
 public:
  explicit TChangeLog(TOracleDataSet* DataSet) : dataSet_(DataSet) {}
  TChangeLogItem* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TChangeLogItem* Items(int Index) const;
  void Delete(int Index);
  void Clear() { items_.clear(); }
  // The newest entry of a record id, the entry whose old record has that ROWID, and the unplaced
  // insert logged at an all-records position (nil when none).
  TChangeLogItem* FindByRecordId(int32_t Id) const;
  TChangeLogItem* FindByRowId(const std::string& RowId) const;
  TChangeLogItem* FindInsertAt(int Index) const;

 private:
  TOracleDataSet* dataSet_;
  std::vector<std::unique_ptr<TChangeLogItem>> items_;
};

// The dataset field filled from an Oracle sequence, and when.
enum TSequenceApplyMoment { amOnNewRecord, amOnPost, amOnServer };
class TSequenceField : public TPersistent {
  TALVIK_CLASS(TSequenceField, TPersistent)
  explicit TSequenceField(TOracleDataSet* DataSet) : dataSet_(DataSet) {}
  void Assign(TPersistent* Source) override;
  const std::string& Field() const { return field_; }
  void SetField(const std::string& Value) { field_ = Value; }
  const std::string& Sequence() const { return sequence_; }
  void SetSequence(const std::string& Value) { sequence_ = Value; }
  TSequenceApplyMoment ApplyMoment() const { return applyMoment_; }
  void SetApplyMoment(TSequenceApplyMoment Value) { applyMoment_ = Value; }
  bool Active() const { return !field_.empty() && !sequence_.empty(); }
  // Draws the next value into the field when it is null.
  void Apply();
  bool IsField(const std::string& Name) const;
  bool FillsOnServer(const std::string& Name) const { return applyMoment_ == amOnServer && IsField(Name); }

 private:
  TOracleDataSet* dataSet_;
  std::string field_, sequence_;
  TSequenceApplyMoment applyMoment_ = amOnPost;
};

class TDisabledConstraints : public TStringList {
  TALVIK_CLASS(TDisabledConstraints, TStringList)
};

// The dictionary switches the dataset consults.
class TOracleDictionary : public TPersistent {
  TALVIK_CLASS(TOracleDictionary, TPersistent)
  explicit TOracleDictionary(TOracleDataSet* DataSet) : dataSet_(DataSet) {}
  void Assign(TPersistent* Source) override;
  bool EnforceConstraints() const { return enforceConstraints_; }
  void SetEnforceConstraints(bool Value) { enforceConstraints_ = Value; }
  TDisabledConstraints* DisabledConstraints() { return &disabledConstraints_; }
  void SetDisabledConstraints(TStrings* Value);
  bool UseMessageTable() const { return useMessageTable_; }
  void SetUseMessageTable(bool Value) { useMessageTable_ = Value; }
  bool DefaultValues() const { return defaultValues_; }
  void SetDefaultValues(bool Value) { defaultValues_ = Value; }
  bool DynamicDefaults() const { return dynamicDefaults_; }
  void SetDynamicDefaults(bool Value) { dynamicDefaults_ = Value; }
  bool FieldKinds() const { return fieldKinds_; }
  void SetFieldKinds(bool Value) { fieldKinds_ = Value; }
  bool DisplayFormats() const { return displayFormats_; }
  // A change makes an open dataset apply the formats again.
  void SetDisplayFormats(bool Value);
  bool RangeValues() const { return rangeValues_; }
  void SetRangeValues(bool Value) { rangeValues_ = Value; }
  bool RequiredFields() const { return requiredFields_; }
  // A change sends the dataset dePropertyChange.
  void SetRequiredFields(bool Value);

 private:
  TOracleDataSet* dataSet_;
  bool enforceConstraints_ = false, useMessageTable_ = false, defaultValues_ = false;
  bool dynamicDefaults_ = false, fieldKinds_ = false, displayFormats_ = false, rangeValues_ = false;
  bool requiredFields_ = true;
  TDisabledConstraints disabledConstraints_;
};

class TOracleTableInfo;

class TOracleColumnInfo {
 public:
  std::string Name;
  int DataType = 0;
  int Precision = 0, Scale = 0;
  std::string DefaultExpression;
  TVariant DefaultValue;  // unassigned until computed
};

class TOracleConstraintInfo {
 public:
  explicit TOracleConstraintInfo(TOracleTableInfo* Table) : Table(Table) {}
  TOracleTableInfo* Table;
  TStringList Columns;
  std::string Name;
  int Kind = 0;  // 1 primary key, 2 unique, 3 foreign key, 4 check
  std::string RefOwner, RefTable;
  TStringList RefColumns;
  std::string Condition;  // a check's condition with its columns as bind variables
  bool Found = false;
  bool Loaded = false;

  void LoadDetails(TOracleDataSet* DataSet);
  // The constraint's one data field ("" none, "*" more than one).
  std::string SingleField(TOracleDataSet* DataSet) const;
  // Checks the dataset's current record; raises the translated violation.
  void Check(TOracleDataSet* DataSet);
};

// What the dictionary says of one updating table; kept per session.
class TOracleTableInfo {
 public:
  TOracleTableInfo(TOracleSession* Session, const std::string& TableText);
  std::string TableText, Owner, TableName;
  bool DefaultsLoaded = false, DefaultsComputed = false, NoDefaults = false;
  TOracleQuery* TableInfoQuery() { return &query_; }

  std::vector<std::unique_ptr<TOracleConstraintInfo>>& Constraints();
  std::vector<std::unique_ptr<TOracleColumnInfo>>& Columns();
  void LoadConstraints();
  void LoadColumns();
  void LoadDefaults();
  void ApplyDefaults(TOracleDataSet* DataSet);
  TOracleColumnInfo* ColumnByName(const std::string& Name);

 private:
  TOracleQuery query_{nullptr};
  bool constraintsLoaded_ = false, columnsLoaded_ = false;
  std::vector<std::unique_ptr<TOracleConstraintInfo>> constraints_;
  std::vector<std::unique_ptr<TOracleColumnInfo>> columns_;
};

// The client's text of a constraint violation with the constraint named in its first "(...)".
std::string ConstraintMessage(const std::string& ClientText, const std::string& Owner,
                              const std::string& Constraint);
// The client-side check of one changed field, or of the whole record (Field nil).
void CheckConstraints(TOracleDataSet* DataSet, TField* Field);

// When the record is locked on the server and checked for changes by other users.
enum TLockingModeOptions { lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone };
// When the current record is re-read from the server, and whether through the dataset's own query.
enum TRefreshOption { roBeforeEdit, roAfterInsert, roAfterUpdate, roAllFields };
using TRefreshOptions = TSet<TRefreshOption>;

namespace oracle_data {
// The 1-based position of Word in Text as a whole word (without regard to case; every character
// that is not an identifier character separates words); 0 when absent. The word starts at index
// result - 1 of Text.
int WordPosition(std::string_view Word, std::string_view Text);

// A select statement cut at its top-level condition: Head (before the condition keyword), the
// Condition, the Keyword ("having" when the statement groups, else "where") and the Tail (from
// ORDER, else from FOR, to the end). Comments are removed first; string literals, quoted names and
// parenthesised parts never hold a keyword. Head and Condition are trimmed.
struct TSQLParts {
  std::string Head, Condition, Keyword, Tail;
};
TSQLParts SplitSQL(const std::string& Text);

// Relative floating-point equality of a server value X and a client value Y (1e-10).
bool FloatsEqual(double X, double Y);
// Whether two floats are the same number as a server stores it: the same double, or one a couple
// of units in the last place apart (what two conversions of one decimal may leave). One unit in the
// last stored digit of an amount (a cent at 9,999,999,999.99) is a change.
bool SameStoredFloat(double X, double Y);
// Whether two dates name the same second (DATE) or the same millisecond (timestamps), as the
// client writes them to the server.
bool SameSecond(TDateTime X, TDateTime Y);
bool SameMillisecond(TDateTime X, TDateTime Y);
// A text as it comes back from the server: with ConvertCRLF its carriage returns are dropped on
// the way there and every line break is CR LF on the way back.
std::string AsReadBack(const std::string& Text, bool ConvertCRLF);
// Adds Item to a list joined by ", " (or "," with Tight); an empty item is skipped.
void AddToList(std::string& List, const std::string& Item, bool Tight = false);
// The text up to its first blank (space, tab, CR or LF).
std::string FirstWord(const std::string& Text);
// The names of a ";"-separated field list, trimmed, blank items skipped.
std::vector<std::string> SplitFieldNames(const std::string& List);
}  // namespace oracle_data

// ---- Query-by-example ----

// The query-by-example settings of one dataset field, and its criterion.
class TQBEField : public TCollectionItem {
  TALVIK_CLASS(TQBEField, TCollectionItem)
  explicit TQBEField(TCollection* Collection) : TCollectionItem(Collection) {}
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  // False for LOB fields, whatever is stored.
  bool Enabled() const;
  bool StoredEnabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }
  bool PartialMatch() const { return partialMatch_; }
  void SetPartialMatch(bool Value) { partialMatch_ = Value; }
  bool AnyPosition() const { return anyPosition_; }
  void SetAnyPosition(bool Value) { anyPosition_ = Value; }
  bool CaseInsensitive() const { return caseInsensitive_; }
  void SetCaseInsensitive(bool Value) { caseInsensitive_ = Value; }
  bool WholeDays() const { return wholeDays_; }
  void SetWholeDays(bool Value) { wholeDays_ = Value; }
  // The type of the field's definition (ftUnknown until the dataset describes its statement).
  TFieldType DefType() const { return defType_; }
  void SetDefType(TFieldType Value) { defType_ = Value; }
  // The criterion as typed (with operators allowed) and the criterion saved for the next entry.
  std::string Criterion;
  TVariant SavedCriterion;

  // What the mode replaced on the field, put back when it ends.
  struct TKept {
    bool ReadOnly = false, Required = false;
    TFieldGetTextEvent GetText;
    TFieldSetTextEvent SetText;
    TFieldNotifyEvent Change;
    TFieldChars ValidChars;
    int DisplayWidth = 0;
    bool DisplayWidthChanged = false;
    // The size given for criteria replaced Size (0: unchanged); DataSize is what the record holds.
    int Size = 0, DataSize = 0;
  } Kept;

 protected:
  std::string GetDisplayName() const override { return name_; }

 private:
  std::string name_;
  bool enabled_ = true, partialMatch_ = false, anyPosition_ = false, caseInsensitive_ = false,
       wholeDays_ = false;
  TFieldType defType_ = ftUnknown;
};

// The dataset's query-by-example settings and field items ("QBEFieldDefs" is their stored form).
class TQBEDefinition : public TPersistent {
  TALVIK_CLASS(TQBEDefinition, TPersistent)
  explicit TQBEDefinition(TOracleDataSet* DataSet);
  void Assign(TPersistent* Source) override;
  bool SaveQBEValues() const { return saveQBEValues_; }
  void SetSaveQBEValues(bool Value) { saveQBEValues_ = Value; }
  bool AllowFileWildCards() const { return allowFileWildCards_; }
  void SetAllowFileWildCards(bool Value) { allowFileWildCards_ = Value; }
  int32_t QBEFontColor() const { return fontColor_; }
  void SetQBEFontColor(int32_t Value) { fontColor_ = Value; }
  int32_t QBEBackgroundColor() const { return backgroundColor_; }
  void SetQBEBackgroundColor(int32_t Value) { backgroundColor_ = Value; }
  bool AllowOperators() const { return allowOperators_; }
  void SetAllowOperators(bool Value) { allowOperators_ = Value; }

  int Count() const { return fields_.Count(); }
  TQBEField* Fields(int Index) const { return static_cast<TQBEField*>(fields_.Items(Index)); }
  TQBEField* Add(const std::string& Name);
  void Clear() { fields_.Clear(); }
  // The item of a field name (without regard to case), nil when none.
  TQBEField* FindField(const std::string& Name) const;
  TOracleDataSet* DataSet() const { return dataSet_; }
  bool Entering() const { return entering_; }
  void SetEntering(bool Value) { entering_ = Value; }

  // The stored form: version 3, item count, per item the name and five flags (little-endian). A
  // stream of a later version raises "Invalid version of QBEDefinition"; a damaged one raises the
  // filer's read error and leaves no items.
  void ReadFieldDefs(TStream* Stream);
  void WriteFieldDefs(TStream* Stream) const;
  // Whether the items differ from Other's (count, names or any flag).
  bool Differs(const TQBEDefinition* Other) const;

 protected:
  void DefineProperties(TFiler* Filer) override;

 private:
  TOracleDataSet* dataSet_;
  TCollection fields_{CollectionItemClass<TQBEField>};
  bool saveQBEValues_ = true, allowFileWildCards_ = true, allowOperators_ = false, entering_ = false;
  int32_t fontColor_ = data_aware_colors::Default, backgroundColor_ = data_aware_colors::Default;
};

using TCancelQBEEvent = std::function<void(TOracleDataSet* Sender, bool& Requery)>;

namespace oracle_data {
// How one criterion is read: its field's type and its item's flags.
struct TQBEOptions {
  TFieldType DataType = ftString;
  bool AllowOperators = false, AllowFileWildCards = true;
  bool PartialMatch = false, AnyPosition = false, CaseInsensitive = false, WholeDays = false;
};
// A translated criterion: the column expression (upper(...) when compared without regard to case),
// the condition that follows it, and whether it is negated.
struct TQBECondition {
  std::string Column, Condition;
  bool Negated = false;
  // "(column condition)", or the negated forms (which also accept a null column unless the
  // condition is "is null").
  std::string Text() const;
};
// Translates Criterion on Column. Values that are no numbers where numbers are due become bind
// variables RVL__QBE1, RVL__QBE2, ... (numbered on from Binds' size; name and text appended).
TQBECondition TranslateQBECriterion(const std::string& Criterion, const std::string& Column,
                                    const TQBEOptions& Options,
                                    std::vector<std::pair<std::string, std::string>>& Binds);
}  // namespace oracle_data

// Parts of the provider support that a dataset switches off.
enum TOracleProviderOption { opNoKeyFields, opNoIndexDefs, opNoDefaultOrder, opNoCommit };
using TOracleProviderOptions = TSet<TOracleProviderOption>;

namespace oracle_data {
// The position of the first "?" placeholder at or after From that stands outside string literals,
// quoted names and comments (npos when none).
size_t NextPlaceholder(const std::string& SQL, size_t From);
// Reports heap ROWID copies still alive on Out; true when there were none.
bool CheckRowIdAllocations(std::FILE* Out);
}  // namespace oracle_data

class TOracleDataSet : public TDataSet, public TOracleSessionClient {
  TALVIK_CLASS(TOracleDataSet, TDataSet)
  explicit TOracleDataSet(TComponent* AOwner);
  ~TOracleDataSet() override;

  // ---- Published settings ----
  // The statement's lines. Changing them (or setting them) reopens an active dataset on the new
  // statement; a caller that edits line by line closes the dataset first.
  TStrings* SQL();
  void SetSQL(TStrings* Value);
  // "SQL" is the statement's lines.
  TPersistent* FindObjectProperty(std::string_view Name) override;
  // Fields are numbered past the ROWID column; the statement's own position is its column index + 1.
  int FieldSelectListPosition(TField* Field) override;
  void SetSQLText(const std::string& Text);
  int ReadBuffer() { return MainQuery()->ReadBuffer(); }
  void SetReadBuffer(int Value) { MainQuery()->SetReadBuffer(Value); }
  bool Optimize() { return MainQuery()->Optimize(); }
  void SetOptimize(bool Value) { MainQuery()->SetOptimize(Value); }
  bool Debug() { return MainQuery()->Debug(); }
  void SetDebug(bool Value) { MainQuery()->SetDebug(Value); }
  TVariables* Variables() { return MainQuery()->Variables(); }
  bool StringFieldsOnly() { return MainQuery()->StringFieldsOnly(); }
  void SetStringFieldsOnly(bool Value);
  TCursor Cursor() { return MainQuery()->Cursor(); }
  void SetCursor(TCursor Value) { MainQuery()->SetCursor(Value); }
  const std::string& UniqueFields() const { return uniqueFields_; }
  void SetUniqueFields(const std::string& Value) { uniqueFields_ = Value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  bool QueryAllRecords() const { return queryAllRecords_; }
  void SetQueryAllRecords(bool Value) { queryAllRecords_ = Value; }
  bool Unidirectional() const { return unidirectional_; }
  void SetUnidirectional(bool Value);
  bool CountAllRecords() const { return countAllRecords_; }
  void SetCountAllRecords(bool Value) { countAllRecords_ = Value; }
  const std::string& UpdatingTable() const { return updatingTable_; }
  void SetUpdatingTable(const std::string& Value);
  bool CachedUpdates() const { return cachedUpdates_; }
  void SetCachedUpdates(bool Value) { cachedUpdates_ = Value; }
  bool CommitOnPost() const { return commitOnPost_; }
  void SetCommitOnPost(bool Value) { commitOnPost_ = Value; }
  TLockingModeOptions LockingMode() const { return lockingMode_; }
  void SetLockingMode(TLockingModeOptions Value) { lockingMode_ = Value; }
  TRefreshOptions RefreshOptions() const { return refreshOptions_; }
  void SetRefreshOptions(TRefreshOptions Value) { refreshOptions_ = Value; }
  TOracleSession* Session() { return MainQuery()->Session(); }
  virtual void SetSession(TOracleSession* Value);
  bool Detachable() const { return detachable_; }
  void SetDetachable(bool Value) { detachable_ = Value; }
  bool Detached();
  bool CompressBLOBs() const { return compressBLOBs_; }
  void SetCompressBLOBs(bool Value) { compressBLOBs_ = Value; }
  TOracleDictionary* OracleDictionary() { return &dictionary_; }
  TSequenceField* SequenceField() { return &sequenceField_; }
  TQBEDefinition* QBEDefinition() { return &qbeDefinition_; }
  bool QBEMode() const { return qbeMode_; }
  // On a closed dataset only stores the flag (opening enters the mode); on an open one enters the
  // mode, or leaves it with cancel.
  void SetQBEMode(bool Value);
  // Applies the criteria, leaves the mode and shows the rows that match them.
  void ExecuteQBE();
  TOracleDataSetEvent BeforeQBE, AfterQBE;
  TCancelQBEEvent OnCancelQBE;
  // A streamed Active value is ignored at run time.
  bool DesignActivation() const { return designActivation_; }
  void SetDesignActivation(bool Value) { designActivation_ = Value; }

  TOracleDataSetEvent BeforeQuery, AfterQuery;
  TAfterFetchRecordEvent AfterFetchRecord;
  TTranslateMessageEvent OnTranslateMessage;
  TApplyRecordEvent OnApplyRecord;
  // Fired after a record was re-read from the server.
  TOracleDataSetEvent AfterRefreshRecord;
  TCompressionEvent OnCompressBLOB, OnDecompressBLOB;

  // ---- Variables of the statement ----
  void DeleteVariables();
  void DeclareVariable(const std::string& Name, int Type);
  void SetVariable(const std::string& Name, const TVariant& Value);
  void SetComplexVariable(const std::string& Name, TObject* Object);
  TVariant GetVariable(const std::string& Name);
  int VariableCount();
  std::string VariableName(int Index);
  int VariableType(int Index);
  int VariableIndex(const std::string& Name);

  // ---- Operations ----
  // The ROWID text of the current record; empty when there is none.
  std::string RowId();
  void CloseAndReset();
  void NotifyDataSetChange() { DataEvent(deDataSetChange, 0); }
  // The number of rows the statement would return (asks the server).
  int CountQueryHits();
  void Reopen();
  TOracleQuery* MainQuery();
  // The Oracle type of a field's column (0 for non-data fields), its select-list index (-1) and the
  // offset of its slot from the start of the record.
  int FieldOracleType(TField* Field) const;
  int FieldColumnIndex(TField* Field) const;
  int FieldOffset(TField* Field) const;
  TOracleFieldInfoList* FieldInfo() { return &fieldInfo_; }
  TRecordDataList* RecordStore() const { return store_.get(); }
  int RecordSize() const { return recordSize_; }
  int CalcFieldsOffset() const { return calcFieldsOffset_; }
  bool HasRowId() const { return rowIdIndex_ >= 0; }
  int CurrentIndex() const { return currentIndex_; }
  // Compression statistics of the open dataset.
  double UncompressedBytes() const { return uncompressedBytes_; }
  double CompressedBytes() const { return compressedBytes_; }
  // Compresses Data for sending when CompressBLOBs is on (true when replaced).
  bool Compress(TField* Field, std::string& Data);
  // Restores a fetched LOB value: a signed value always, an unsigned one through OnDecompressBLOB
  // when CompressBLOBs is on (true when replaced). A value that fails to decode stays as it is.
  bool Decompress(TField* Field, std::string& Data);
  // The plain bytes of a binary value read from the server (decompressed as a fetch would).
  std::string PlainBytes(TField* Field, const TVariant& Value);

  // ---- Change log and field values ----
  TChangeLog* ChangeLog() { return &changeLog_; }
  TUpdateStatus UpdateStatus() override;
  // Whether Field's current value differs from its old one (LOB fields: their modified flag).
  bool FieldChanged(TField* Field);
  // Some field has a default expression.
  bool AnyDefaultExpression();
  // The fields being edited: their LOB values.
  TBlobList* EditBlobs() const { return editBlobs_.get(); }
  bool Reverting() const { return reverting_; }
  void SetReverting(bool Value) { reverting_ = Value; }

  // ---- Updates ----
  // Locks, re-reads and checks a record of the store (nil: the active one) on the server; true when
  // a refresh changed a field value.
  bool LockRefreshCheck(bool Lock, bool Check, bool Refresh, bool AllFields, uint8_t* Record = nullptr);
  void LockAndCheck(bool NoLock);
  // Posts the record being edited or inserted and keeps the record store and the change log.
  void PostRecord();
  void Post() override;
  // The change log: undo every logged change, forget them, and whether any are held.
  void CancelUpdates();
  void CommitUpdates();
  bool UpdatesPending() const;
  // Clears the log and logs every posted change from now on (a provider transaction).
  void StartChangeLog();
  bool ChangeLogging() const { return changeLogging_; }
  void LogChange(const uint8_t* Record, const uint8_t* Buffer, int Index, int32_t RecordId, char Action);
  // Rows added by posts less rows deleted (while changes are not cached).
  int NetAddedRows() const { return netAdded_; }
  // Whether Field's value (its old value with UseOldValue) equals Value read from the server.
  bool ValuesEqual(TField* Field, const TVariant& Value, bool UseOldValue);
  // Whether a data field's old value differs from the column of that name in Query's row.
  bool RecordChangedOnServer(TOracleQuery* Query);

  // ---- Provider support ----
  TOracleProviderOptions ProviderOptions() const { return providerOptions_; }
  void SetProviderOptions(TOracleProviderOptions Value) { providerOptions_ = Value; }
  void PSStartTransaction() override;
  void PSEndTransaction(bool Commit) override;
  bool PSInTransaction() override { return changeLogging_; }
  bool PSIsSQLBased() override { return true; }
  bool PSIsSQLSupported() override { return true; }
  std::string PSGetQuoteChar() override { return "\""; }
  std::string PSGetTableName() override;
  void PSSetCommandText(const std::string& CommandText) override;
  void PSReset() override { TDataSet::PSReset(); }
  void PSExecute() override;
  int PSExecuteStatement(const std::string& ASQL, TParams* AParams, TDataSet** ResultSet) override;
  TParams* PSGetParams() override;
  // The provider's parameters no longer match the variables: the list is emptied (the object stays,
  // for a provider that holds it).
  void DiscardProviderParams();
  void PSSetParams(TParams* AParams) override;
  std::string PSGetKeyFields() override;
  // A new list the caller owns.
  TIndexDefs* PSGetIndexDefs(TIndexOptions IndexTypes) override;
  // A new definition the caller owns; nil when the statement has no usable order.
  TIndexDef* PSGetDefaultOrder() override;

  // ---- Dictionary ----
  // The session's table information of the updating table.
  virtual TOracleTableInfo* GetTableInfo();
  // Drops the session's cached information of the updating table, to be read again when needed.
  void ForgetTableInfo();
  // Field kinds, ranges, display formats and visibility from the dictionary (default fields only).
  void ApplyDictionarySettings();
  // A field that links this detail to its master.
  bool IsLinkField(TField* Field);

  // ---- Filtering ----
  bool FilterActive() const { return Filtered() && !reverting_; }
  bool RecordPassesFilter(uint8_t* Record);
  TExpression* FilterExpression() const { return filterExpr_.get(); }
  void SetFiltered(bool Value) override;
  void SetFilterOptions(TFilterOptions Value) override;

  // ---- Master/detail ----
  TOracleDataSet* Master() const { return master_; }
  void SetMaster(TOracleDataSet* Value);
  const std::string& MasterFields() const { return masterFields_; }
  void SetMasterFields(const std::string& Value);
  const std::string& DetailFields() const { return detailFields_; }
  void SetDetailFields(const std::string& Value);
  int DetailCount() const { return static_cast<int>(details_.size()); }
  TOracleDataSet* Details(int Index) const { return details_.at(static_cast<size_t>(Index)); }
  bool MasterInactive();
  int MasterRecordId();
  bool LinkedByRecord() const;
  int LastMasterId() const { return lastMasterId_; }
  void SetMasterVariables(uint8_t* MasterRecord = nullptr);
  void RefreshDetails(bool ClearOnly);
  bool MatchesMaster(uint8_t* Record);
  // Gives the fields that link this master to its details back their own ReadOnly and, unless
  // ForInsert, makes them read-only while a detail holds records.
  void LockLinkFields(bool ForInsert);
  // A detail whose updating table is a nested-table expression of its master.
  virtual bool IsNestedTableDetail();
  // Declares on Query every variable of this dataset that the updating-table text uses.
  // Before a nested-table detail inserts: the master rows' null collections become empty ones.
  void InitNullCollections();
  void CopyTableVariables(TOracleQuery* Query);

  // ---- SQL analysis ----
  virtual void DetermineUpdatingTable(std::string& Name);
  virtual void UpdatingTableQualifier(std::string& Text);
  // Splits Name into owner and table: "OWNER.TABLE" directly, else by asking the server (the user's
  // tables, views and synonyms, then public synonyms); both empty when not found.
  virtual void ResolveTableName(const std::string& Name, std::string& Owner, std::string& Table);
  // The unique key used to find a row's ROWID: the UniqueFields, else the updating table's primary
  // or unique key when all its columns are fields.
  virtual void DetermineUniqueFields();
  const std::vector<std::string>& UniqueFieldList() const { return uniqueFieldList_; }
  // The ROWID of the row whose key equals the current record's key values (old values with
  // UseOldValues); empty without a key.
  std::string RowIdByKey(bool UseOldValues);
  // The query of generated statements, created on first use.
  TOracleQuery* DMLQuery();
  // The text of the last statement the dataset generated (a lock, check, refresh, insert, update or
  // delete; "" when none).
  std::string LastStatement() const;

  // ---- Searching ----
  bool SearchRecord(const std::string& FieldNames, const TVariant& Values, int Options);
  bool Locate(const std::string& KeyFields, const TVariant& KeyValues, TLocateOptions Options) override;
  TVariant Lookup(const std::string& KeyFields, const TVariant& KeyValues,
                  const std::string& ResultFields) override;

  // ---- Messages ----
  void TranslateMessage(char Action, int ErrorCode, std::string& Msg, const std::string& DefaultMsg);

  // ---- Framework ----
  bool BookmarkValid(const TBookmark& Bookmark) override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  void SetRecNo(int Value) override;
  void SetBlockReadSize(int Value) override;
  bool GetFieldData(TField* Field, void* Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  void CloseBlob(TField* Field) override;
  void DataEvent(TDataEvent Event, intptr_t Info) override;
  void SetActive(bool Value) override;

  void Loaded() override;

  // TOracleSessionClient
  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;
  // A detached dataset tells its controls that its data are no longer backed by a connection.
  void SessionLoggedOff(TOracleSession* Session) override;
  // A field-shaping preference changed: close, reset, and reopen when it was open.
  void SessionPreferencesChanged(TOracleSession* Session) override;

  // The number of executions of the statement since the dataset was created.
  int ExecutionCount() const { return executionCount_; }

 protected:
  virtual std::unique_ptr<TOracleQuery> CreateQuery();
  // The filter test of the expression alone.
  virtual bool FilterTest();

  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  int GetRecordSize() override { return calcFieldsOffset_; }
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ClearCalcFields(TRecordBuffer Buffer) override;
  void CalculateFields(TRecordBuffer Buffer) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) const override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  int GetRecordCount() override;
  int GetRecNo() override;
  bool GetCanModify() override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return store_ != nullptr; }
  void InternalInitFieldDefs() override;
  void InternalHandleException() override;
  void InternalRefresh() override;
  void InternalDelete() override;
  void InternalPost() override;
  void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
  void InternalEdit() override;
  void InternalCancel() override;
  void SetFilterText(const std::string& Value) override;
  void DoBeforeScroll() override;
  void DoBeforeInsert() override;
  void DoAfterInsert() override;
  void DoOnNewRecord() override;
  void DoBeforeRefresh() override;
  void DoAfterRefresh() override;
  void DoBeforeCancel() override;
  void DoAfterCancel() override;

  // One execution of the statement and, with QueryAllRecords, the fetch of every row.
  void ExecuteAndFill();
  void FillFromQuery();  // ExecuteAndFill's query and fetch, the link fields of the master left alone
  // Fetches rows until one is accepted by the filter (true) or the data ends (false).
  bool FetchRecord();
  // The record that field reads and writes go to in the current state.
  uint8_t* ActiveRecordBuffer();
  // The visible record at the cursor (at 0 before the first), nil past the end.
  uint8_t* StoreCurrentRecord();
  // The whole image of a store record, made afresh (see TRecordDataList::Load).
  std::vector<uint8_t> ImageOf(const uint8_t* Record) const;

  // Record header helpers working through the handle tables.
  std::string GetRowIdText(const uint8_t* Record) const;
  void SetRowIdText(uint8_t* Record, const std::string& Text);
  void ClearRowId(uint8_t* Record);
  TBlobList* BlobListOf(const uint8_t* Record) const;
  TBlobList* EnsureBlobList(uint8_t* Record);
  void FreeBlobList(uint8_t* Record);
  void InitRecordHeader(uint8_t* Record);

 private:
  // Shows one record through the fields (state dsFilter) for its lifetime; afterwards the state and
  // the record shown before are back, whether the scope ends by return or by exception.
  class TFilterRecordScope {
   public:
    TFilterRecordScope(TOracleDataSet* DataSet, uint8_t* Record);
    ~TFilterRecordScope();
    TFilterRecordScope(const TFilterRecordScope&) = delete;
    TFilterRecordScope& operator=(const TFilterRecordScope&) = delete;

   private:
    TOracleDataSet* dataSet_;
    uint8_t* savedRecord_;
    TDataSetState savedState_;
  };

  friend class TRecordDataList;
  friend class TColumnExpression;
  friend class TOracleBlob;
  friend class TOracleBlobStream;
  friend class TChangeLogItem;
  friend class TChangeLog;

  void BindFieldInfo();
  void SQLChanged();
  // Updates (OracleDataUpdates.cpp).
  struct TLobBinding {
    TField* Field;  // nil: a temporary LOB bound with its value
    std::unique_ptr<TLOBLocator> Locator;
    std::string Bytes;
    std::string Variable;
  };
  struct TStatementLists {
    std::string Returning, Into;
    std::vector<TLobBinding> Lobs;
  };
  TOracleQuery* FixedStatement(std::unique_ptr<TOracleQuery>& Slot, const std::string& Text);
  // A query for a lock, check or refresh statement of Text, set up as the DML query is.
  TOracleQuery* RowStatement(const std::string& Text);
  void ReleaseRowStatement(TOracleQuery* Query);
  // The session can take the lock point (changes logged, or a session of its own that does not
  // commit each statement).
  bool SavepointsUsable();
  bool SetSavepoint();
  void RollbackToSavepoint();
  // Gives Query Plan's statement and variable values, keeping its parsed statement when they match.
  void AdoptStatement(TOracleQuery* Query, TOracleQuery* Plan, const TStatementLists& Lists);
  void PostCommit();
  void ReleaseAfterCancel();
  [[noreturn]] void RaiseTranslated(char Action, int Code, const std::string& Message);
  bool ApplyRecord(char Action, std::string& NewRowId);
  // Declares on Query every variable of the statement that Text uses (found as bind variables).
  void CopyUsedVariables(TOracleQuery* Query, const std::string& Text);
  void ReleaseDMLQuery();
  std::string RefreshStatement(bool Lock);
  bool CopyRowInto(TOracleQuery* Query, uint8_t* Record);
  std::string ColumnValue(TOracleQuery* Query, TOracleFieldInfo* Info, bool Insert, const std::string& Prefix,
                          TStatementLists& Lists);
  void AddWhereLine(TOracleQuery* Query, std::string& SQL, const std::string& RowId);
  void BuildPostStatement(TOracleQuery* Query, bool Insert, const std::string& RowId, TStatementLists& Lists);
  // Sends the insert or update; the new ROWID.
  std::string SendRecord(bool Update, bool Savepoint, bool SavepointWhenNeeded);
  void CopyBufferInto(const uint8_t* Buffer, uint8_t* Record);
  void CopyEditBlobs(uint8_t* Record, bool All);
  // Query-by-example (OracleDataQBE.cpp).
  void SyncQBEItems();
  void EnterQBEMode();
  // Gives the fields back what the mode replaced.
  void RestoreQBEFields();
  // The bytes Field's value takes in the record (the size it had at open, also while the criteria
  // size stands in for it).
  int SlotDataSize(TField* Field) { return qbeMode_ ? QBESlotDataSize(Field) : Field->DataSize(); }
  int QBESlotDataSize(TField* Field);
  void LeaveQBEMode(bool Requery);
  // Moves a pending entry into the fields, saves the criteria and applies them to the statement.
  void ApplyPendingQBE();
  void SaveQBECriteria();
  void ApplyQBECriteria();
  void RestoreQBESQL();
  void SetQBESQL(const std::string& Text);
  void RecolourControls(bool Entering);
  // Forgets the recoloured controls (and stops hearing of their removal).
  void ForgetRecolouredControls();
  TQBEField* QBEItemOf(TField* Field) const;
  void ComputeRecordSize();
  void ReadRow(uint8_t* Record);
  // Object columns (OracleDataObjects.cpp): the attribute entries and field definitions of the
  // object column Column, and the value of an attribute field read from the current row.
  void AddObjectAttributes(TOracleFieldInfo* Column);
  void AddFieldDefFor(TOracleFieldInfo* Info);
  void ReadAttribute(TField* Field, TOracleFieldInfo* Info, uint8_t* Record, bool Trim);
  // The text of an XMLTYPE column or the bytes of a BFILE column of the current row.
  std::string ReadComplexColumn(TOracleFieldInfo* Info);
  void ParseFilter();
  void Refilter();
  bool ReadsCursorVariable();
  void PrepareCursorQuery();
  int PositionOfId(int32_t Id) const;
  bool HasBlobFields() const { return hasBlobFields_; }
  void FireEvent(const TOracleDataSetEvent& Event) {
    if (Event) Event(this);
  }
  void PostDetails();
  int32_t ActiveRecordId();
  // Search support.
  struct SearchKey;
  uint8_t* lastFound_ = nullptr;
  std::vector<std::string> uniqueFieldList_;
  std::unique_ptr<TOracleQuery> dmlQuery_;
  // The savepoint statements, and the scratch query a post's statement is built on.
  std::unique_ptr<TOracleQuery> savepointQuery_, rollbackQuery_, planQuery_;
  // The lock, check and refresh statements, each kept parsed under its text (see RowStatement).
  std::map<std::string, std::unique_ptr<TOracleQuery>> rowStatements_;
  // The query that ran the dataset's last generated statement (nil when none is left).
  TOracleQuery* lastStatement_ = nullptr;
  TChangeLog changeLog_{this};
  TSequenceField sequenceField_{this};
  bool designActivation_ = false, pendingActivation_ = false;
  // Merges the next cached insert into the store at the fetch position (true: one was merged).
  bool MergeCachedInsert(bool& Accepted);
  // What the fetch reads into each data slot, in field order (made with the record layout).
  struct TFetchColumn {
    TField* Field;
    TOracleFieldInfo* Info;  // nil: the slot stays null
    int Offset, Size;
    int Chars;  // of a string field: its size in characters
    bool Blob;
  };
  std::vector<TFetchColumn> fetchPlan_;
  // Reads the current row's cell of a plain column into Slot; false when the column needs the
  // query's accessors.
  static bool ReadPlainCell(const TFieldData* Data, int Row, const TFetchColumn& Column, uint8_t* Slot,
                            bool Trim, bool ConvertsLineBreaks);
  // Lists a store record that was just added as visible when it passes the filter; Image is its
  // whole image.
  void AcceptFetched(uint8_t* Record, uint8_t* Image, bool& Accepted);
  // The image of a store record that the old and new values of the current record are read from
  // (and, for the new values, written to: SetFieldData saves it back into the record).
  uint8_t* StoreView(uint8_t* Record);

  std::unique_ptr<TOracleQuery> mainQuery_;
  std::unique_ptr<TOracleQuery> ownedCursorQuery_;
  TOracleQuery* cursorQuery_ = nullptr;
  std::unique_ptr<TRecordDataList> store_;
  TOracleFieldInfoList fieldInfo_{this};
  TOracleDictionary dictionary_{this};
  std::unique_ptr<TBlobList> editBlobs_;
  std::unique_ptr<TExpression> filterExpr_;
  oracle_data::THandleTable<std::string> rowIds_;
  oracle_data::THandleTable<TBlobList> blobLists_;

  int currentIndex_ = -1;
  int recordSize_ = 0;
  int calcFieldsOffset_ = 0;
  int32_t recordIdCounter_ = 0;
  uint8_t* fetchBuffer_ = nullptr;
  uint8_t* filterRecord_ = nullptr;
  // The image a row is fetched into before it is saved into the store.
  std::vector<uint8_t> fetchImage_;
  // The image of StoreView and the store record it shows.
  std::vector<uint8_t> storeView_;
  uint8_t* storeViewOf_ = nullptr;
  int rowIdIndex_ = -1;
  bool hasBlobFields_ = false;

  bool opening_ = false;
  bool firstRowPending_ = false;
  bool firstOpen_ = false;
  bool reverting_ = false;
  bool changingReadOnly_ = false;
  bool fillingRows_ = false;  // ExecuteAndFill is fetching: the master's link fields wait for its end
  bool applyingNewRecord_ = false;
  bool destroying_ = false;
  int lastMasterId_ = -1;
  double uncompressedBytes_ = 0, compressedBytes_ = 0;
  int serverCount_ = 0;
  bool serverCountValid_ = false;
  int executionCount_ = 0;

  std::string uniqueFields_, updatingTable_, determinedTable_;
  bool determinedTableValid_ = false;
  bool readOnly_ = false, queryAllRecords_ = true, unidirectional_ = false, countAllRecords_ = false;
  bool cachedUpdates_ = false, commitOnPost_ = true, detachable_ = false, compressBLOBs_ = false;
  TLockingModeOptions lockingMode_ = lmCheckImmediate;
  TRefreshOptions refreshOptions_;
  bool changeLogging_ = false, posting_ = false, savepointSet_ = false;
  int netAdded_ = 0;
  // The store record that dsNewValue writes go to (nil: the current one).
  uint8_t* newValueRecord_ = nullptr;
  // Provider support.
  TOracleProviderOptions providerOptions_;
  std::unique_ptr<TParams> providerParams_;
  std::vector<std::pair<int, std::unique_ptr<TLOBLocator>>> providerLobs_;
  bool paramsFromProvider_ = false, savedCommitOnPost_ = true;
  // Query-by-example.
  TQBEDefinition qbeDefinition_{this};
  bool qbeMode_ = false, sqlModifiedForQBE_ = false, settingQBESQL_ = false;
  std::string plainSQL_;
  // The recoloured controls, each with its component (what a removal notification names).
  std::vector<std::pair<IDataAwareControl*, TComponent*>> qbeFontControls_, qbeColorControls_;

  TOracleDataSet* master_ = nullptr;
  std::vector<TOracleDataSet*> details_;
  std::string masterFields_, detailFields_;

  // The current record before a refresh (id and data bytes), to tell whether it changed.
  bool refreshHadRecord_ = false;
  std::string refreshRecord_;
};
