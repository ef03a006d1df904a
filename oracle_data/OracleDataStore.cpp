// The record store, LOB values, handle tables and column descriptions of the Oracle dataset.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

#include "oracle/OracleCompress.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

namespace oracle_data {

int32_t GetInt(const uint8_t* Record, int Offset) {
  int32_t v;
  std::memcpy(&v, Record + Offset, sizeof v);
  return v;
}
void SetInt(uint8_t* Record, int Offset, int32_t Value) {
  std::memcpy(Record + Offset, &Value, sizeof Value);
}
uint32_t GetHandle(const uint8_t* Record, int Offset) {
  uint32_t v;
  std::memcpy(&v, Record + Offset, sizeof v);
  return v;
}
void SetHandle(uint8_t* Record, int Offset, uint32_t Value) {
  std::memcpy(Record + Offset, &Value, sizeof Value);
}

namespace {
constexpr uint32_t kSlotBits = 24;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
}  // namespace

template <class T>
uint32_t THandleTable<T>::Add(std::unique_ptr<T> Value) {
  uint32_t slot;
  // Reuse the oldest freed slot once enough slots are free that a stale handle is long gone.
  if (free_.size() - freeHead_ > 64) {
    slot = free_[freeHead_++];
    if (freeHead_ > 4096 && freeHead_ * 2 > free_.size()) {
      free_.erase(free_.begin(), free_.begin() + static_cast<std::ptrdiff_t>(freeHead_));
      freeHead_ = 0;
    }
  } else {
    if (slots_.size() >= kSlotMask) throw Exception("Too many record handles");
    slot = static_cast<uint32_t>(slots_.size());
    slots_.emplace_back();
  }
  Slot& s = slots_[slot];
  // A slot is handed out empty, with a generation no live or fresh handle of it carries (never 0).
  assert(!s.value && s.generation != 0);
  s.value = std::move(Value);
  ++live_;
  assert(live_ <= static_cast<int>(slots_.size()));
  return (static_cast<uint32_t>(s.generation) << kSlotBits) | (slot + 1);
}

template <class T>
T* THandleTable<T>::Get(uint32_t Handle) const {
  if (Handle == 0) return nullptr;
  const uint32_t slot = (Handle & kSlotMask) - 1;
  if (slot >= slots_.size()) return nullptr;
  const Slot& s = slots_[slot];
  if (s.generation != (Handle >> kSlotBits)) return nullptr;
  return s.value.get();
}

template <class T>
void THandleTable<T>::Free(uint32_t Handle) {
  if (!Get(Handle)) return;
  const uint32_t slot = (Handle & kSlotMask) - 1;
  Slot& s = slots_[slot];
  s.value.reset();
  s.generation = static_cast<uint8_t>(s.generation == 255 ? 1 : s.generation + 1);
  free_.push_back(slot);
  --live_;
  // Every slot is live or waiting in the free queue, never both: the queue holds the rest.
  assert(live_ >= 0 && free_.size() - freeHead_ == slots_.size() - static_cast<size_t>(live_));
}

template class THandleTable<std::string>;
template class THandleTable<TBlobList>;

}  // namespace oracle_data

using namespace oracle_data;

namespace {
std::atomic<int> rowIdAllocations{0};
}

int RowIdAllocations() {
  return rowIdAllocations.load();
}

// ---------------------------------------------------------------------------------------------------
// Record header through the handle tables

std::string TOracleDataSet::GetRowIdText(const uint8_t* Record) const {
  if (const std::string* heap = rowIds_.Get(GetHandle(Record, HeapRowIdOffset))) return *heap;
  const char* inl = reinterpret_cast<const char*>(Record + RowIdOffset);
  return std::string(inl, strnlen(inl, RowIdInlineSize));
}

void TOracleDataSet::ClearRowId(uint8_t* Record) {
  const uint32_t h = GetHandle(Record, HeapRowIdOffset);
  if (rowIds_.Get(h)) {
    rowIds_.Free(h);
    --rowIdAllocations;
  }
  SetHandle(Record, HeapRowIdOffset, 0);
  std::memset(Record + RowIdOffset, 0, RowIdInlineSize);
}

void TOracleDataSet::SetRowIdText(uint8_t* Record, const std::string& Text) {
  ClearRowId(Record);
  if (Text.size() + 1 < static_cast<size_t>(RowIdInlineSize)) {
    std::memcpy(Record + RowIdOffset, Text.data(), Text.size());
  } else {
    SetHandle(Record, HeapRowIdOffset, rowIds_.Add(std::make_unique<std::string>(Text)));
    ++rowIdAllocations;
  }
}

TBlobList* TOracleDataSet::BlobListOf(const uint8_t* Record) const {
  return blobLists_.Get(GetHandle(Record, BlobListOffset));
}

TBlobList* TOracleDataSet::EnsureBlobList(uint8_t* Record) {
  if (TBlobList* list = BlobListOf(Record)) return list;
  auto list = std::make_unique<TBlobList>();
  TBlobList* p = list.get();
  SetHandle(Record, BlobListOffset, blobLists_.Add(std::move(list)));
  return p;
}

void TOracleDataSet::FreeBlobList(uint8_t* Record) {
  blobLists_.Free(GetHandle(Record, BlobListOffset));
  SetHandle(Record, BlobListOffset, 0);
}

void TOracleDataSet::InitRecordHeader(uint8_t* Record) {
  SetInt(Record, DataSizeOffset, recordSize_ - HeaderSize);
  SetHandle(Record, BlobListOffset, 0);
  SetHandle(Record, HeapRowIdOffset, 0);
  std::memset(Record + RowIdOffset, 0, RowIdInlineSize);
  SetInt(Record, MasterIdOffset, MasterRecordId());
}

// ---------------------------------------------------------------------------------------------------
// LOB values

const uint8_t CompressedBlobSignature[8] = {0x91, 0x00, 0xA6, 0x38, 0x88, 0xB7, 0xCC, 0x1B};

TOracleBlob* TBlobList::Add(TField* Field) {
  items_.push_back(std::make_unique<TOracleBlob>(Field));
  return items_.back().get();
}

TOracleBlob* TBlobList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return items_[static_cast<size_t>(Index)].get();
}

TOracleBlob* TBlobList::BlobByField(TField* Field) const {
  for (const auto& b : items_)
    if (b->Field() == Field) return b.get();
  return nullptr;
}

void TBlobList::Copy(const TBlobList& Source) {
  if (&Source == this) return;
  items_.clear();
  for (const auto& b : Source.items_) Add(b->Field())->SetData(b->Data());
}

void TOracleBlob::PrepareCompressed() {
  ClearCompressed();
  auto* ds = field_ ? dynamic_cast<TOracleDataSet*>(field_->DataSet()) : nullptr;
  if (!ds || !ds->CompressBLOBs()) return;
  std::string copy = data_;
  if (ds->Compress(field_, copy)) {
    compressed_ = std::move(copy);
    hasCompressed_ = true;
  }
}

bool TOracleDataSet::Compress(TField* Field, std::string& Data) {
  if (!compressBLOBs_ || Data.empty()) return false;
  std::string out;
  if (OnCompressBLOB) {
    TStringStream in(Data), o;
    InvokeEvent(OnCompressBLOB, this, Field, &in, &o);
    out = o.DataString();
  } else {
    out.assign(reinterpret_cast<const char*>(CompressedBlobSignature), sizeof CompressedBlobSignature);
    out += oracle_codec::CompressBytes(Data);
  }
  if (out.empty()) return false;
  uncompressedBytes_ += static_cast<double>(Data.size());
  compressedBytes_ += static_cast<double>(out.size());
  Data = std::move(out);
  return true;
}

bool TOracleDataSet::Decompress(TField* Field, std::string& Data) {
  if (Data.empty()) return false;
  const bool sign = Data.size() >= sizeof CompressedBlobSignature &&
                    std::memcmp(Data.data(), CompressedBlobSignature, sizeof CompressedBlobSignature) == 0;
  std::string out;
  if (sign) {
    try {
      out = oracle_codec::DecompressBytes(std::string_view(Data).substr(sizeof CompressedBlobSignature));
    } catch (const Exception&) {
      return false;  // not our format after all: keep the stored bytes
    }
  } else {
    if (!compressBLOBs_ || !OnDecompressBLOB) return false;
    TStringStream in(Data), o;
    OnDecompressBLOB(this, Field, &in, &o);
    out = o.DataString();
  }
  if (out.empty()) return false;
  Data = std::move(out);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// The LOB stream

TOracleBlobStream::TOracleBlobStream(TField* Field, TBlobStreamMode Mode)
    : field_(Field), dataSet_(dynamic_cast<TOracleDataSet*>(Field->DataSet())) {
  if (!dataSet_) return;
  record_ = dataSet_->ActiveRecordBuffer();
  if (!record_) return;
  const TDataSetState state = dataSet_->State();
  auto* blobField = dynamic_cast<TBlobField*>(Field);
  const bool fieldModified = blobField && blobField->Modified();
  TBlobList* own = dataSet_->BlobListOf(record_);
  TOracleBlob* stored = own ? own->BlobByField(Field) : nullptr;
  if ((fieldModified || Mode != bmRead) && state != dsNewValue && state != dsOldValue &&
      dataSet_->editBlobs_) {
    blob_ = dataSet_->editBlobs_->BlobByField(Field);
    // Editing starts from the record's value, so that reading and appending see what is stored.
    if (blob_ && !fieldModified && Mode == bmReadWrite)
      blob_->SetData(stored ? stored->Data() : std::string());
  } else {
    blob_ = stored;
  }
  if (!fieldModified && Mode != bmRead && state != dsEdit && state != dsInsert && state != dsNewValue)
    DatabaseError("Dataset not in edit or insert mode", dataSet_);
  opened_ = true;
  if (Mode == bmWrite) Truncate();
}

TOracleBlobStream::~TOracleBlobStream() {
  if (!modified_) return;
  if (auto* blobField = dynamic_cast<TBlobField*>(field_); blobField && opened_) blobField->SetModified(true);
  try {
    dataSet_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
  } catch (...) {
  }
}

int64_t TOracleBlobStream::Read(void* Buffer, int64_t Count) {
  if (!opened_ || !blob_ || Count <= 0) return 0;
  const int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(blob_->Size()) - position_);
  if (n <= 0) return 0;
  std::memcpy(Buffer, blob_->Data().data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TOracleBlobStream::Write(const void* Buffer, int64_t Count) {
  if (!opened_ || !blob_ || Count <= 0) return 0;
  std::string& data = blob_->Data();
  if (static_cast<int64_t>(data.size()) < position_ + Count)
    data.resize(static_cast<size_t>(position_ + Count));
  std::memcpy(data.data() + position_, Buffer, static_cast<size_t>(Count));
  position_ += Count;
  blob_->ClearCompressed();
  const TDataSetState state = dataSet_->State();
  if (state == dsEdit || state == dsInsert) modified_ = true;
  return Count;
}

int64_t TOracleBlobStream::Seek(int64_t Offset, int Origin) {
  int64_t p = Offset;
  if (Origin == soFromCurrent) p = position_ + Offset;
  if (Origin == soFromEnd) p = Size() + Offset;
  if (p < 0) throw EStreamError("Invalid stream position");
  position_ = p;
  return position_;
}

int64_t TOracleBlobStream::Size() {
  return opened_ && blob_ ? blob_->Size() : 0;
}

void TOracleBlobStream::Truncate() {
  position_ = 0;
  if (blob_) blob_->Clear();
  const TDataSetState state = dataSet_ ? dataSet_->State() : dsInactive;
  if (state == dsEdit || state == dsInsert) modified_ = true;
}

std::unique_ptr<TStream> TOracleDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  return std::make_unique<TOracleBlobStream>(Field, Mode);
}

void TOracleDataSet::CloseBlob(TField* Field) {
  if (!editBlobs_) return;
  if (TOracleBlob* b = editBlobs_->BlobByField(Field)) b->Clear();
}

namespace {
constexpr int kChunkHeader = 12;
int ChunkInt(const uint8_t* Chunk, int Index) {
  return GetInt(Chunk, Index * 4);
}
void SetChunkInt(uint8_t* Chunk, int Index, int Value) {
  SetInt(Chunk, Index * 4, Value);
}

// Large chunks are mapped from the system directly, so that the unused tail of the last one can be
// handed back page by page without moving a record; small ones come from the heap.
constexpr size_t kMappedChunkBytes = 128 * 1024;

size_t PageSize() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

size_t RoundToPages(size_t Bytes) {
  const size_t page = PageSize();
  return (Bytes + page - 1) / page * page;
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// Packed data areas

namespace {
constexpr int kMaxLiteral = 128;
constexpr int kShortRunToken = 0x80;  // 0x80-0xBF: 1-64 zeros
constexpr int kMaxShortRun = 64;
constexpr int kLongRunToken = 0xC0;  // 0xC0-0xFE and a byte: 65-16,192 zeros
constexpr int kMaxLongRun = kMaxShortRun + 1 + (0xFE - kLongRunToken) * 256 + 255;
constexpr uint8_t kEndToken = 0xFF;
// A zero run this long ends a literal; shorter ones stay inside it.
constexpr int kMinRun = 3;

// The length of the run of zero bytes at Data[From], up to End.
int ZeroRun(const uint8_t* Data, int From, int End) {
  int i = From;
  while (i + 8 <= End) {
    uint64_t word;
    std::memcpy(&word, Data + i, sizeof word);
    if (word != 0) break;
    i += 8;
  }
  while (i < End && Data[i] == 0) ++i;
  return i - From;
}

bool HasZeroByte(const uint8_t* Data) {
  constexpr uint64_t kLow = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  uint64_t word;
  std::memcpy(&word, Data, sizeof word);
  return ((word - kLow) & ~word & kHigh) != 0;
}

uint8_t* PutZeroRun(int Length, uint8_t* Out) {
  while (Length > 0) {
    const int n = std::min(Length, kMaxLongRun);
    if (n <= kMaxShortRun) {
      *Out++ = static_cast<uint8_t>(kShortRunToken + n - 1);
    } else {
      const int extra = n - kMaxShortRun - 1;
      *Out++ = static_cast<uint8_t>(kLongRunToken + (extra >> 8));
      *Out++ = static_cast<uint8_t>(extra & 0xFF);
    }
    Length -= n;
  }
  return Out;
}
}  // namespace

int oracle_data::MaxPackedSize(int Size) {
  return Size + (Size + kMaxLiteral - 1) / kMaxLiteral + 1;
}

size_t oracle_data::PackDataArea(const uint8_t* Data, int Size, uint8_t* Out) {
  uint8_t* out = Out;
  int i = 0;
  while (i < Size) {
    const int zeros = ZeroRun(Data, i, Size);
    if (i + zeros == Size) break;  // the end token stands for the trailing zeros
    if (zeros >= kMinRun) {
      out = PutZeroRun(zeros, out);
      i += zeros;
      continue;
    }
    // A literal: up to the next run long enough to leave out.
    int end = i;
    const int limit = std::min(Size, i + kMaxLiteral);
    while (end < limit) {
      // Eight bytes at a time while none of them is zero.
      if (end + 8 <= limit && !HasZeroByte(Data + end)) {
        end += 8;
        continue;
      }
      if (Data[end] != 0) {
        ++end;
        continue;
      }
      const int run = ZeroRun(Data, end, std::min(Size, end + kMinRun));
      if (run >= kMinRun || end + run == Size) break;
      end += run;
    }
    end = std::min(end, i + kMaxLiteral);
    *out++ = static_cast<uint8_t>(end - i - 1);
    std::memcpy(out, Data + i, static_cast<size_t>(end - i));
    out += end - i;
    i = end;
  }
  if (i < Size) *out++ = kEndToken;
  const size_t bytes = static_cast<size_t>(out - Out);
  assert(bytes <= static_cast<size_t>(MaxPackedSize(Size)));
  return bytes;
}

void oracle_data::PackDataArea(const uint8_t* Data, int Size, std::string& Out) {
  std::vector<uint8_t> packed(static_cast<size_t>(MaxPackedSize(std::max(Size, 0))));
  Out.assign(reinterpret_cast<const char*>(packed.data()), PackDataArea(Data, Size, packed.data()));
}

void oracle_data::UnpackDataArea(const uint8_t* Packed, uint8_t* Data, int Size) {
  if (Size <= 0) return;
  std::memset(Data, 0, static_cast<size_t>(Size));
  if (!Packed) return;
  int i = 0;
  while (i < Size) {
    const int token = *Packed++;
    if (token == kEndToken) return;
    if (token < kShortRunToken) {
      const int n = std::min(token + 1, Size - i);
      std::memcpy(Data + i, Packed, static_cast<size_t>(n));
      Packed += token + 1;
      i += n;
    } else if (token < kLongRunToken) {
      i += token - kShortRunToken + 1;
    } else {
      i += kMaxShortRun + 1 + ((token - kLongRunToken) << 8) + *Packed++;
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// TRecordDataList

TRecordDataList::TRecordDataList(TOracleDataSet* DataSet, bool Unidirectional)
    : dataSet_(DataSet), unidirectional_(Unidirectional) {}

TRecordDataList::~TRecordDataList() {
  try {
    Clear();
  } catch (...) {
  }
}

void TRecordDataList::CheckIndex(int Index) const {
  if (Index < baseOffset_ && Index >= 0)
    throw Exception(dataSet_->Name() + ": Record " + IntToStr(Index) +
                    " not accessible in Unidirectional mode");
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
}

int TRecordDataList::Add(uint8_t* Record) {
  all_.push_back(Record);
  return Count() - 1;
}

void TRecordDataList::Insert(int Index, uint8_t* Record) {
  if (Index == Count()) {
    Add(Record);
    return;
  }
  CheckIndex(Index);
  all_.insert(all_.begin() + (Index - baseOffset_), Record);
}

void TRecordDataList::Delete(int Index) {
  CheckIndex(Index);
  all_.erase(all_.begin() + (Index - baseOffset_));
}

uint8_t* TRecordDataList::Get(int Index) const {
  CheckIndex(Index);
  return all_[static_cast<size_t>(Index - baseOffset_)];
}

int TRecordDataList::IndexOf(const uint8_t* Record) const {
  const auto it = std::find(all_.begin(), all_.end(), Record);
  return it == all_.end() ? -1 : static_cast<int>(it - all_.begin()) + baseOffset_;
}

int TRecordDataList::ChunkCapacity(int Index) const {
  return ChunkInt(chunks_.at(static_cast<size_t>(Index)).block, 0);
}

int TRecordDataList::ChunkUsed(int Index) const {
  return ChunkInt(chunks_.at(static_cast<size_t>(Index)).block, 1);
}

size_t TRecordDataList::AllocatedBytes() const {
  size_t bytes = all_.capacity() * sizeof(uint8_t*) + visible_.capacity() * sizeof(uint8_t*);
  for (const Chunk& c : chunks_) bytes += c.mapped ? c.mapped : static_cast<size_t>(ChunkInt(c.block, 2));
  for (const auto* blocks : {&packedBlocks_, &spareChunks_, &sparePacked_})
    for (const Chunk& c : *blocks) bytes += c.bytes;
  return bytes;
}

size_t TRecordDataList::MappedBytes() const {
  size_t bytes = 0;
  for (const auto* blocks : {&chunks_, &packedBlocks_, &spareChunks_, &sparePacked_})
    for (const Chunk& c : *blocks) bytes += c.mapped;
  return bytes;
}

TRecordDataList::Chunk TRecordDataList::MapBlock(size_t Bytes) {
  Chunk chunk;
  if (Bytes >= kMappedChunkBytes) {
    chunk.mapped = chunk.bytes = RoundToPages(Bytes);
    void* p = mmap(nullptr, chunk.mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    chunk.block = static_cast<uint8_t*>(p);  // zero-filled by the system
  } else {
    chunk.bytes = Bytes;
    chunk.block = static_cast<uint8_t*>(std::calloc(Bytes, 1));
    if (!chunk.block) throw std::bad_alloc();
  }
  return chunk;
}

TRecordDataList::Chunk TRecordDataList::ReuseOrMapBlock(std::vector<Chunk>& Spares, size_t Least,
                                                        size_t Bytes) {
  const auto fit =
      std::find_if(Spares.begin(), Spares.end(), [Least](const Chunk& c) { return c.bytes >= Least; });
  if (fit == Spares.end()) return MapBlock(Bytes);
  const Chunk chunk = *fit;
  Spares.erase(fit);
  return chunk;
}

void TRecordDataList::AllocateChunk(int Capacity) {
  const size_t bytes = static_cast<size_t>(Capacity) * static_cast<size_t>(StoredRecordSize) + kChunkHeader;
  // (a kept chunk was zeroed when its records were cleared; it counts its own length)
  Chunk chunk = ReuseOrMapBlock(spareChunks_, bytes, bytes);
  SetChunkInt(chunk.block, 0, Capacity);
  SetChunkInt(chunk.block, 1, 0);
  SetChunkInt(chunk.block, 2, static_cast<int>(std::min<size_t>(std::max(bytes, chunk.bytes), INT32_MAX)));
  try {
    chunks_.push_back(chunk);
    // The record list grows with the chunks rather than by doubling.
    if (!unidirectional_) all_.reserve(all_.size() + static_cast<size_t>(Capacity));
  } catch (...) {
    ReleaseChunk(chunk);
    if (!chunks_.empty() && chunks_.back().block == chunk.block) chunks_.pop_back();
    throw;
  }
}

void TRecordDataList::ReleaseChunk(const Chunk& C) {
  if (C.mapped)
    munmap(C.block, C.mapped);
  else
    std::free(C.block);
}

uint8_t* TRecordDataList::AllocatePacked(size_t Bytes) {
  if (packedBlocks_.empty() || packedEnd_ - packedUsed_ < Bytes) {
    // A small first block from the heap; then blocks mapped from the system that grow with the
    // data, as the chunks do. A mapped block's unused tail is never touched, so it costs only the
    // pages written, and it goes back to the system whole when the store is cleared.
    constexpr size_t kFirstBlock = 16 * 1024, kLargestBlock = 4 * 1024 * 1024;
    const size_t bytes = std::max(
        packedBlocks_.empty() ? kFirstBlock : std::clamp(packedBytes_ / 2, kMappedChunkBytes, kLargestBlock),
        Bytes);
    packedBlocks_.reserve(packedBlocks_.size() + 1);
    // a kept block that holds this data area will do, whatever length a new one would have
    const Chunk block = ReuseOrMapBlock(sparePacked_, Bytes, bytes);
    packedBlocks_.push_back(block);
    packedUsed_ = 0;
    packedEnd_ = block.bytes;
  }
  uint8_t* p = packedBlocks_.back().block + packedUsed_;
  packedUsed_ += Bytes;
  packedBytes_ += Bytes;
  return p;
}

void TRecordDataList::Load(const uint8_t* Record, uint8_t* Image) const {
  std::memcpy(Image, Record, HeaderSize);
  const uint8_t* packed;
  std::memcpy(&packed, Record + PackedDataOffset, sizeof packed);
  UnpackDataArea(packed, Image + HeaderSize, dataSet_->RecordSize() - HeaderSize);
}

void TRecordDataList::Save(uint8_t* Record, const uint8_t* Image) {
  std::memcpy(Record, Image, HeaderSize);
  SaveData(Record, Image);
}

void TRecordDataList::SaveData(uint8_t* Record, const uint8_t* Image) {
  const int size = dataSet_->RecordSize() - HeaderSize;
  if (packScratch_.size() < static_cast<size_t>(MaxPackedSize(size)))
    packScratch_.resize(static_cast<size_t>(MaxPackedSize(size)));
  const size_t bytes = PackDataArea(Image + HeaderSize, size, packScratch_.data());
  uint8_t* packed;
  std::memcpy(&packed, Record + PackedDataOffset, sizeof packed);
  if (!packed || static_cast<size_t>(GetInt(Record, PackedCapacityOffset)) < bytes) {
    // The old place (if any) stays unused until the store is cleared.
    packed = AllocatePacked(bytes);
    std::memcpy(Record + PackedDataOffset, &packed, sizeof packed);
    SetInt(Record, PackedCapacityOffset, static_cast<int32_t>(bytes));
  }
  std::memcpy(packed, packScratch_.data(), bytes);
}

uint8_t* TRecordDataList::NewRecordSlot() {
  const int size = StoredRecordSize;
  if (chunks_.empty() || ChunkInt(chunks_.back().block, 1) >= ChunkInt(chunks_.back().block, 0)) {
    int capacity;
    if (unidirectional_ && !chunks_.empty()) {
      capacity = ChunkInt(chunks_.front().block, 0);
      const int held = static_cast<int>(all_.size());
      Clear();
      // Forget what was held (deleted slots were never counted).
      baseOffset_ += held;
    } else {
      // The first chunk of an execution: nothing is forgotten yet.
      baseOffset_ = 0;
      capacity = std::max(Count() / 2, dataSet_->ReadBuffer() + 1);
    }
    AllocateChunk(capacity);
  }
  uint8_t* chunk = chunks_.back().block;
  return chunk + kChunkHeader + static_cast<size_t>(ChunkInt(chunk, 1)) * static_cast<size_t>(size);
}

void TRecordDataList::ReleaseSpareCapacity() {
  FreeSpares();
  if (unidirectional_ || chunks_.empty()) return;
  Chunk& last = chunks_.back();
  const size_t size = static_cast<size_t>(StoredRecordSize);
  const int used = ChunkInt(last.block, 1);
  if (last.mapped && size > 0) {
    // Keep the used records and one free slot (the next fetch writes there before it learns that
    // the data has ended), rounded up to whole pages.
    const size_t keep = RoundToPages(kChunkHeader + (static_cast<size_t>(used) + 1) * size);
    if (keep < last.mapped && munmap(last.block + keep, last.mapped - keep) == 0) {
      last.mapped = keep;
      const int capacity = static_cast<int>((keep - kChunkHeader) / size);
      SetChunkInt(last.block, 0, std::min(capacity, ChunkInt(last.block, 0)));
      SetChunkInt(last.block, 2, static_cast<int>(std::min<size_t>(keep, INT32_MAX)));
      last.bytes = keep;
    }
  }
  if (!packedBlocks_.empty()) {
    Chunk& block = packedBlocks_.back();
    const size_t keep =
        RoundToPages(packedUsed_ + static_cast<size_t>(MaxPackedSize(dataSet_->RecordSize())));
    if (block.mapped && keep < block.mapped && munmap(block.block + keep, block.mapped - keep) == 0) {
      block.mapped = block.bytes = keep;
      packedEnd_ = keep;
    }
  }
  if (all_.capacity() - all_.size() > all_.size() / 16 + 64) {
    std::vector<uint8_t*> exact;
    exact.reserve(all_.size() + 1);
    exact.assign(all_.begin(), all_.end());
    all_.swap(exact);
  }
}

uint8_t* TRecordDataList::AddRecord(int Index, bool InVisibleList) {
  uint8_t* record = NewRecordSlot();
  uint8_t* chunk = chunks_.back().block;
  SetChunkInt(chunk, 1, ChunkInt(chunk, 1) + 1);
  // A new record's data area is all zeros until it is saved.
  std::memset(record + PackedDataOffset, 0, StoredRecordSize - PackedDataOffset);
  SetInt(record, MasterIdOffset, dataSet_->MasterRecordId());
  if (InVisibleList && dataSet_->FilterActive()) {
    const int n = static_cast<int>(visible_.size());
    if (Index >= 0 && Index < n) {
      const int allIndex = IndexOf(visible_[static_cast<size_t>(Index)]);
      visible_.insert(visible_.begin() + Index, record);
      Insert(allIndex, record);
    } else {
      visible_.push_back(record);
      Add(record);
    }
    record[VisibleFlagOffset] = 1;
    return record;
  }
  if (Index >= baseOffset_ && Index < Count())
    Insert(Index, record);
  else
    Add(record);
  return record;
}

void TRecordDataList::ReleaseRecord(uint8_t* Record) {
  dataSet_->FreeBlobList(Record);
  dataSet_->ClearRowId(Record);
}

void TRecordDataList::DeleteRecord(int Index, bool InVisibleList) {
  uint8_t* record;
  if (InVisibleList && dataSet_->FilterActive()) {
    if (Index < 0 || Index >= static_cast<int>(visible_.size()))
      throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    record = visible_[static_cast<size_t>(Index)];
    visible_.erase(visible_.begin() + Index);
    record[VisibleFlagOffset] = 0;
  } else {
    record = Get(Index);
    if (InVisibleList && record[VisibleFlagOffset]) {
      record[VisibleFlagOffset] = 0;
      const auto it = std::find(visible_.begin(), visible_.end(), record);
      if (it != visible_.end()) visible_.erase(it);
    }
  }
  const int allIndex = IndexOf(record);
  ReleaseRecord(record);
  Delete(allIndex);
}

void TRecordDataList::FreeChunks() {
  for (const Chunk& c : chunks_) ReleaseChunk(c);
  chunks_.clear();
  for (const Chunk& c : packedBlocks_) ReleaseChunk(c);
  packedBlocks_.clear();
  packedUsed_ = packedEnd_ = packedBytes_ = 0;
  FreeSpares();
}

void TRecordDataList::FreeSpares() {
  for (const Chunk& c : spareChunks_) ReleaseChunk(c);
  spareChunks_.clear();
  for (const Chunk& c : sparePacked_) ReleaseChunk(c);
  sparePacked_.clear();
}

void TRecordDataList::ClearForRefill() {
  FreeSpares();
  for (uint8_t* r : all_) ReleaseRecord(r);
  all_.clear();
  visible_.clear();
  size_t kept = 0;
  const size_t size = static_cast<size_t>(StoredRecordSize);
  for (const Chunk& c : chunks_) {
    if (kept + c.bytes > SpareBudget) {
      ReleaseChunk(c);
      continue;
    }
    // zeroed as a new chunk is, as far as records were written (and the next slot, written before the
    // fetch learnt that the data had ended)
    const size_t written =
        std::min(c.bytes - kChunkHeader, (static_cast<size_t>(ChunkInt(c.block, 1)) + 1) * size);
    std::memset(c.block, 0, kChunkHeader + written);
    spareChunks_.push_back(c);
    kept += c.bytes;
  }
  chunks_.clear();
  for (const Chunk& c : packedBlocks_) {
    if (kept + c.bytes > SpareBudget) {
      ReleaseChunk(c);
      continue;
    }
    sparePacked_.push_back(c);
    kept += c.bytes;
  }
  packedBlocks_.clear();
  packedUsed_ = packedEnd_ = packedBytes_ = 0;
}

void TRecordDataList::Clear() {
  for (uint8_t* r : all_) ReleaseRecord(r);
  all_.clear();
  // The records go with their chunks: their visible flags need no resetting.
  visible_.clear();
  FreeChunks();
}

uint8_t* TRecordDataList::VisibleRecord(int Index) const {
  if (!dataSet_->FilterActive()) return Get(Index);
  if (Index < 0 || Index >= static_cast<int>(visible_.size()))
    throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return visible_[static_cast<size_t>(Index)];
}

int TRecordDataList::VisibleToAll(int Index) const {
  if (!dataSet_->FilterActive() || Index < 0) return Index;
  if (Index >= static_cast<int>(visible_.size())) return Count();
  return IndexOf(visible_[static_cast<size_t>(Index)]);
}

int TRecordDataList::VisiblePosition(int AllIndex) const {
  if (AllIndex < baseOffset_ || AllIndex >= Count()) return -1;
  if (!dataSet_->FilterActive()) return AllIndex;
  const uint8_t* record = all_[static_cast<size_t>(AllIndex - baseOffset_)];
  const auto it = std::find(visible_.begin(), visible_.end(), record);
  return it == visible_.end() ? -1 : static_cast<int>(it - visible_.begin());
}

void TRecordDataList::AddVisible(uint8_t* Record, bool Append) {
  if (Record[VisibleFlagOffset]) {
    const auto dup = std::find(visible_.begin(), visible_.end(), Record);
    throw Exception("BUG: Duplicate record in filtered list (" +
                    IntToStr(static_cast<int>(dup - visible_.begin())) + ")");
  }
  Record[VisibleFlagOffset] = 1;
  if (Append || visible_.empty() || IndexOf(visible_.back()) < IndexOf(Record)) {
    visible_.push_back(Record);
    return;
  }
  // Before the first visible record that follows it in the all-records list.
  const int pos = IndexOf(Record);
  for (size_t i = 0; i < visible_.size(); ++i) {
    if (IndexOf(visible_[i]) > pos) {
      visible_.insert(visible_.begin() + static_cast<std::ptrdiff_t>(i), Record);
      return;
    }
  }
  visible_.push_back(Record);
}

void TRecordDataList::ClearVisible() {
  for (uint8_t* r : visible_) r[VisibleFlagOffset] = 0;
  visible_.clear();
}

int TRecordDataList::VisibleCount() const {
  return dataSet_->FilterActive() ? static_cast<int>(visible_.size()) : Count();
}

void TRecordDataList::FreeBlobs(uint8_t* Record) {
  dataSet_->FreeBlobList(Record);
}

// ---------------------------------------------------------------------------------------------------
// Column descriptions

TOracleFieldInfo* TOracleFieldInfoList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return items_[static_cast<size_t>(Index)].get();
}

TOracleFieldInfo* TOracleFieldInfoList::Add(const std::string& BaseName) {
  std::string name = BaseName;
  for (int n = 1; FindByName(name); ++n) name = BaseName + "_" + IntToStr(n);
  auto info = std::make_unique<TOracleFieldInfo>();
  info->Name = name;
  info->DataSet = owner_;
  items_.push_back(std::move(info));
  return items_.back().get();
}

TOracleFieldInfo* TOracleFieldInfoList::FindByField(TField* Field) const {
  for (const auto& i : items_)
    if (i->Field == Field) return i.get();
  return Field ? FindByName(Field->FieldName()) : nullptr;
}

TOracleFieldInfo* TOracleFieldInfoList::FindByName(const std::string& Name) const {
  for (const auto& i : items_)
    if (SameText(i->Name, Name)) return i.get();
  return nullptr;
}

void TOracleFieldInfoList::CollectChildren() {
  for (size_t i = 0; i < items_.size(); ++i) {
    TOracleFieldInfo* obj = items_[i].get();
    if (obj->OracleType != 108) continue;
    obj->Children.clear();
    const std::string prefix = obj->Name + ".";
    for (size_t j = i + 1; j < items_.size(); ++j) {
      TOracleFieldInfo* c = items_[j].get();
      if (c->Name.size() > prefix.size() && SameText(c->Name.substr(0, prefix.size()), prefix) &&
          c->Name.find('.', prefix.size()) == std::string::npos) {
        obj->Children.push_back(c);
        c->Parent = obj;
      }
    }
  }
}

namespace {
TSessionPreferences* PreferencesOf(TOracleDataSet* DataSet) {
  TOracleSession* s = DataSet ? DataSet->Session() : nullptr;
  return s ? s->Preferences() : nullptr;
}
}  // namespace

std::string TOracleFieldInfo::ValueExpression(bool IncludeDefault) const {
  std::string r = IncludeDefault ? DefaultExpression() : std::string();
  TSessionPreferences* p = PreferencesOf(DataSet);
  if (r.empty() && p && p->NullLOBIsEmpty() && !IsXMLType) {
    if (OracleType == 112) r = "empty_clob()";
    if (OracleType == 113) r = "empty_blob()";
  }
  if (r.empty() && p && p->NullObjectIsEmpty() && OracleType == 108 && !IsXMLType) {
    r = TypeName + "(";
    for (size_t i = 0; i < Children.size(); ++i) r += (i ? ", " : "") + Children[i]->ValueExpression(false);
    r += ")";
  }
  return r.empty() ? "null" : r;
}

std::string TOracleFieldInfo::DefaultExpression() const {
  if (OracleType == 108) {
    bool any = false;
    for (const TOracleFieldInfo* c : Children) any = any || c->HasDefault();
    if (any) {
      std::string r = TypeName + "(";
      for (size_t i = 0; i < Children.size(); ++i) {
        const std::string d = Children[i]->DefaultExpression();
        r += (i ? ", " : "") + (d.empty() ? Children[i]->ValueExpression(false) : d);
      }
      return r + ")";
    }
  }
  std::string r;
  if (Field && !Field->DefaultExpression().empty()) r = Field->DefaultExpression();
  if (r.empty() && Field && DataSet && DataSet->SequenceField()->FillsOnServer(Field->FieldName()))
    r = DataSet->SequenceField()->Sequence() + ".nextval";
  TSessionPreferences* p = PreferencesOf(DataSet);
  if (r.empty() && p &&
      ((p->NullLOBIsEmpty() && (OracleType == 112 || OracleType == 113)) ||
       (p->NullObjectIsEmpty() && OracleType == 108)))
    r = ValueExpression(false);
  return r;
}
