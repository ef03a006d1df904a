#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/rtl/Classes.h"
#include "rtl/TempDir.h"

namespace {

// A stream that holds at most Capacity bytes: writing more is cut short, reading stops at what was written.
class TStingyStream : public TStream {
 public:
  explicit TStingyStream(int64_t Capacity) : capacity_(Capacity) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t n = std::max<int64_t>(0, std::min(Count, written_ - pos_));
    std::memset(Buffer, 'r', static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t Count) override {
    const int64_t n = std::max<int64_t>(0, std::min(Count, capacity_ - pos_));
    pos_ += n;
    written_ = std::max(written_, pos_);
    return n;
  }
  int64_t Seek(int64_t Offset, int Origin) override {
    pos_ = Origin == soFromBeginning ? Offset : Origin == soFromCurrent ? pos_ + Offset : written_ + Offset;
    return pos_;
  }

 private:
  int64_t capacity_;
  int64_t pos_ = 0;
  int64_t written_ = 0;
};

}  // namespace

TEST(StreamTest, ShortTransfersRaise) {
  TStingyStream stream(4);
  char buf[8] = {};
  try {
    stream.WriteBuffer("abcdef", 6);
    FAIL();
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  EXPECT_EQ(stream.Size(), 4);  // built on Seek
  stream.SetPosition(1);
  EXPECT_EQ(stream.Position(), 1);
  try {
    stream.ReadBuffer(buf, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  stream.SetPosition(0);
  stream.ReadBuffer(buf, 4);
  stream.ReadBuffer(buf, 0);  // nothing to read: no error
  EXPECT_TRUE((std::is_base_of_v<EFilerError, EReadError>));
}

TEST(StreamTest, MemoryStreamGrowthAndSeekEdges) {
  TMemoryStream stream;
  EXPECT_EQ(stream.Size(), 0);
  for (int i = 0; i < 100000; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    ASSERT_EQ(stream.Write(&b, 1), 1);
  }
  EXPECT_EQ(stream.Size(), 100000);
  EXPECT_GE(stream.Capacity(), 100000);
  EXPECT_EQ(static_cast<uint8_t*>(stream.Memory())[99999], static_cast<uint8_t>(99999));

  EXPECT_EQ(stream.Seek(-10, soFromEnd), 99990);
  uint8_t buf[20];
  EXPECT_EQ(stream.Read(buf, 20), 10);  // only what is left
  EXPECT_EQ(stream.Read(buf, 20), 0);
  EXPECT_EQ(stream.Seek(5, soFromCurrent), 100005);
  EXPECT_EQ(stream.Read(buf, 1), 0);  // beyond the end reads nothing
  const uint8_t x = 7;
  stream.Write(&x, 1);  // writing beyond the end fills the gap with zeros
  EXPECT_EQ(stream.Size(), 100006);
  EXPECT_EQ(static_cast<uint8_t*>(stream.Memory())[100002], 0);
  EXPECT_EQ(stream.Seek(-1, soFromBeginning), -1);
  EXPECT_EQ(stream.Read(buf, 1), 0);  // a negative position reads and writes nothing
  EXPECT_EQ(stream.Write(buf, 1), 0);

  stream.SetSize(3);
  EXPECT_EQ(stream.Size(), 3);
  stream.SetPosition(10);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2);
  stream.Clear();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(StreamTest, CopyFromAndMemoryStreamFiles) {
  TStringStream source("hello, world");
  TMemoryStream copy;
  source.SetPosition(5);
  EXPECT_EQ(copy.CopyFrom(&source, 0), 12);  // 0: the whole source from its start
  EXPECT_EQ(std::string(static_cast<char*>(copy.Memory()), 12), "hello, world");
  source.SetPosition(7);
  copy.Clear();
  EXPECT_EQ(copy.CopyFrom(&source, 5), 5);
  EXPECT_EQ(std::string(static_cast<char*>(copy.Memory()), 5), "world");
  source.SetPosition(10);
  EXPECT_THROW(copy.CopyFrom(&source, 5), EReadError);

  TempDir dir;
  const std::string path = dir.File("memory_stream.bin");
  copy.SaveToFile(path);
  TMemoryStream loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.Size(), 5);
  EXPECT_EQ(loaded.Position(), 0);
  TMemoryStream other;
  other.LoadFromStream(&loaded);
  EXPECT_EQ(std::string(static_cast<char*>(other.Memory()), 5), "world");
}

TEST(StreamTest, StringStreamReadsAndOverwrites) {
  TStringStream stream("abcdef");
  EXPECT_EQ(stream.ReadString(2), "ab");
  stream.WriteString("XY");
  EXPECT_EQ(stream.DataString(), "abXYef");  // overwrites in place
  stream.Seek(0, soFromEnd);
  stream.WriteString("!");
  EXPECT_EQ(stream.DataString(), "abXYef!");
  stream.SetPosition(5);
  EXPECT_EQ(stream.ReadString(100), "f!");
  EXPECT_EQ(stream.ReadString(1), "");
  stream.SetSize(2);
  EXPECT_EQ(stream.DataString(), "ab");
  EXPECT_EQ(stream.Position(), 2);
}

TEST(StreamTest, FileStreamModesAndErrors) {
  TempDir dir;
  const std::string path = dir.File("file_stream.bin");
  {
    TFileStream f(path, fmCreate | fmShareExclusive);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
  }
  {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    char buf[10] = {};
    EXPECT_EQ(f.Read(buf, 10), 4);
    EXPECT_EQ(std::string(buf), "0123");
    EXPECT_EQ(f.Write("x", 1), 0);  // opened for reading only
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  {
    TFileStream f(path, fmOpenReadWrite);
    f.Seek(0, soFromEnd);
    f.WriteBuffer("45", 2);
    f.SetPosition(0);
    char buf[7] = {};
    f.ReadBuffer(buf, 6);
    EXPECT_EQ(std::string(buf), "012345");
  }
  std::remove(path.c_str());
  try {
    TFileStream f(path, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"" + path + "\". ", 0), 0u) << e.Message();
  }
  try {
    TFileStream f(dir.File("no/such/dir/x"), fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find("Cannot create file \""), std::string::npos);
  }
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);  // a folder is no file
}

TEST(StreamTest, HandleStreamReadsWhatAPipeHolds) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  THandleStream reader(fds[0]);
  THandleStream writer(fds[1]);
  writer.WriteBuffer("abc", 3);
  char buf[10] = {};
  EXPECT_EQ(reader.Read(buf, 10), 3);  // no waiting for the rest
  EXPECT_EQ(std::string(buf), "abc");
  ::close(fds[1]);
  EXPECT_EQ(reader.Read(buf, 10), 0);  // the writer is gone: the end
  EXPECT_THROW(reader.ReadBuffer(buf, 1), EReadError);
  ::close(fds[0]);
}
