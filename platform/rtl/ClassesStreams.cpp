// Streams: the base stream, handle and file streams, memory and string streams.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/Classes.h"

namespace {

// The position after a seek in a stream held in memory; any position is allowed, reads beyond the
// end give nothing.
int64_t SeekInMemory(int64_t& Position, int64_t Size, int64_t Offset, int Origin) {
  switch (Origin) {
    case soFromBeginning:
      Position = Offset;
      break;
    case soFromCurrent:
      Position += Offset;
      break;
    case soFromEnd:
      Position = Size + Offset;
      break;
    default:
      break;
  }
  return Position;
}

int64_t ReadFromMemory(const void* Data, int64_t Size, int64_t& Position, void* Buffer, int64_t Count) {
  if (Position < 0 || Count <= 0) return 0;
  const int64_t n = std::min(Count, Size - Position);
  if (n <= 0) return 0;
  std::memcpy(Buffer, static_cast<const uint8_t*>(Data) + Position, static_cast<size_t>(n));
  Position += n;
  return n;
}

}  // namespace

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soFromCurrent);
  const int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  const int64_t result = Count;
  constexpr int64_t kBufferSize = 0xF000;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, kBufferSize)));
  while (Count > 0) {
    const int64_t n = std::min(Count, kBufferSize);
    Source->ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    Count -= n;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------------
int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  // One read, as the handle gives it: a pipe may deliver less than asked without being at its end.
  if (Count <= 0) return 0;
  ssize_t n;
  do {
    n = ::read(handle_, Buffer, static_cast<size_t>(Count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : n;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  int64_t done = 0;
  const auto* p = static_cast<const uint8_t*>(Buffer);
  while (done < Count) {
    const ssize_t n = ::write(handle_, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, int Origin) {
  const int whence = Origin == soFromCurrent ? SEEK_CUR : Origin == soFromEnd ? SEEK_END : SEEK_SET;
  const off_t r = ::lseek(handle_, static_cast<off_t>(Offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t NewSize) {
  Seek(NewSize, soFromBeginning);
  if (::ftruncate(handle_, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError(std::string("Stream write error: ") + std::strerror(errno));
}

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode)
    : THandleStream(-1), fileName_(FileName) {
  if ((Mode & fmCreate) == fmCreate) {
    handle_ = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (handle_ < 0) throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(errno));
  } else {
    const int access = Mode & 3;
    const int flags = access == fmOpenWrite ? O_WRONLY : access == fmOpenReadWrite ? O_RDWR : O_RDONLY;
    handle_ = ::open(FileName.c_str(), flags | O_CLOEXEC);
    if (handle_ >= 0) {
      struct stat st;
      if (::fstat(handle_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(handle_);
        handle_ = -1;
        errno = EISDIR;
      }
    }
    if (handle_ < 0) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  }
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

// ---------------------------------------------------------------------------------------------------
int64_t TCustomMemoryStream::Read(void* Buffer, int64_t Count) {
  return ReadFromMemory(memory_, size_, position_, Buffer, Count);
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, int Origin) {
  return SeekInMemory(position_, size_, Offset, Origin);
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) const {
  if (size_ > 0) Stream->WriteBuffer(memory_, size_);
}

void TCustomMemoryStream::SaveToFile(const std::string& FileName) const {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

TMemoryStream::~TMemoryStream() {
  std::free(memory_);
}

void TMemoryStream::SetCapacity(int64_t NewCapacity) {
  if (NewCapacity < 0) NewCapacity = 0;
  if (NewCapacity == capacity_) return;
  if (NewCapacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
  } else {
    void* p = std::realloc(memory_, static_cast<size_t>(NewCapacity));
    if (!p) throw EOutOfResources("Out of memory while expanding memory stream");
    memory_ = static_cast<uint8_t*>(p);
  }
  capacity_ = NewCapacity;
  size_ = std::min(size_, capacity_);
}

void TMemoryStream::Grow(int64_t Needed) {
  if (Needed <= capacity_) return;
  // Grow by half again at least, in steps of 8 KB, so that writing byte by byte stays linear.
  int64_t cap = std::max(Needed, capacity_ + capacity_ / 2);
  cap = (cap + 0x1FFF) & ~int64_t{0x1FFF};
  SetCapacity(cap);
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  const int64_t old = size_;
  Grow(NewSize);
  if (NewSize > old) std::memset(memory_ + old, 0, static_cast<size_t>(NewSize - old));
  size_ = NewSize;
  if (position_ > NewSize) position_ = NewSize;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (position_ < 0 || Count <= 0 || Count > INT64_MAX - position_) return 0;
  const int64_t end = position_ + Count;
  if (end > size_) {
    Grow(end);
    // Bytes between the old end and a position sought beyond it read as zero.
    if (position_ > size_) std::memset(memory_ + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = end;
  }
  std::memcpy(memory_ + position_, Buffer, static_cast<size_t>(Count));
  position_ = end;
  return Count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  const int64_t count = Stream->Size();
  SetSize(count);
  if (count != 0) Stream->ReadBuffer(memory_, count);
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

// ---------------------------------------------------------------------------------------------------
int64_t TStringStream::Read(void* Buffer, int64_t Count) {
  return ReadFromMemory(data_.data(), static_cast<int64_t>(data_.size()), position_, Buffer, Count);
}

int64_t TStringStream::Write(const void* Buffer, int64_t Count) {
  if (position_ < 0 || Count <= 0 || Count > INT64_MAX - position_) return 0;
  const int64_t end = position_ + Count;
  if (end > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(end), '\0');
  std::memcpy(data_.data() + position_, Buffer, static_cast<size_t>(Count));
  position_ = end;
  return Count;
}

int64_t TStringStream::Seek(int64_t Offset, int Origin) {
  return SeekInMemory(position_, static_cast<int64_t>(data_.size()), Offset, Origin);
}

void TStringStream::SetSize(int64_t NewSize) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)), '\0');
  if (position_ > NewSize) position_ = std::max<int64_t>(NewSize, 0);
}

std::string TStringStream::ReadString(int64_t Count) {
  const int64_t size = static_cast<int64_t>(data_.size());
  if (position_ < 0 || Count <= 0 || position_ >= size) return {};
  const int64_t n = std::min(Count, size - position_);
  std::string result = data_.substr(static_cast<size_t>(position_), static_cast<size_t>(n));
  position_ += n;
  return result;
}

void TStringStream::WriteString(std::string_view AString) {
  Write(AString.data(), static_cast<int64_t>(AString.size()));
}
