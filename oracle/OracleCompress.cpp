#include "oracle/OracleCompress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "oracle/OracleCI.h"
#include "platform/rtl/SysUtils.h"

namespace oracle_codec {
namespace {

constexpr int N = kRingSize;
constexpr int F = kLookAhead;
constexpr int T = kTreeNodes;
constexpr int R = kRoot;
constexpr int kNil = N;  // empty mark of the match trees
constexpr int kRingStart = N - F;
constexpr std::size_t kChunk = 16 * 1024;

// Static prefix code of the upper 6 bits of a match distance: 1 value of 3 bits, 3 of 4, 8 of 5,
// 12 of 6, 24 of 7 and 16 of 8, assigned in increasing order as a canonical code.
struct PositionTables {
  std::array<std::uint8_t, 64> encodeCode{};  // code, left-aligned in a byte
  std::array<std::uint8_t, 64> encodeLength{};
  std::array<std::uint8_t, 256> decodeValue{};   // code byte -> upper bits
  std::array<std::uint8_t, 256> decodeLength{};  // code byte -> code length

  constexpr PositionTables() {
    constexpr int kCounts[][2] = {{3, 1}, {4, 3}, {5, 8}, {6, 12}, {7, 24}, {8, 16}};
    int value = 0;
    int code = 0;  // next code, left-aligned in 8 bits
    for (const auto& [length, count] : kCounts) {
      for (int k = 0; k < count; ++k, ++value) {
        encodeCode[value] = static_cast<std::uint8_t>(code);
        encodeLength[value] = static_cast<std::uint8_t>(length);
        const int span = 1 << (8 - length);
        for (int b = code; b < code + span; ++b) {
          decodeValue[b] = static_cast<std::uint8_t>(value);
          decodeLength[b] = static_cast<std::uint8_t>(length);
        }
        code += span;
      }
    }
  }
};
constexpr PositionTables kPosition;

// The adaptive Huffman tree over the 314 symbols. Nodes are kept in order of frequency; the two
// children of an internal node are neighbours, the first at an even index.
struct AdaptiveHuffman {
  std::uint16_t freq[T + 1];
  int prnt[T + kSymbols];  // parent of each node, and at T + s the node of leaf s
  int son[T];              // first child of an internal node, or T + s for leaf s

  void Start() {
    for (int i = 0; i < kSymbols; ++i) {
      freq[i] = 1;
      son[i] = i + T;
      prnt[i + T] = i;
    }
    for (int i = 0, j = kSymbols; j <= R; i += 2, ++j) {
      freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
      son[j] = i;
      prnt[i] = prnt[i + 1] = j;
    }
    freq[T] = 0xFFFF;
    prnt[R] = 0;
  }

  // Halves the leaf frequencies and builds the internal nodes afresh.
  void Reconstruct() {
    int j = 0;
    for (int i = 0; i < T; ++i) {
      if (son[i] >= T) {
        freq[j] = static_cast<std::uint16_t>((freq[i] + 1) / 2);
        son[j] = son[i];
        ++j;
      }
    }
    for (int i = 0, j2 = kSymbols; j2 < T; i += 2, ++j2) {
      const unsigned f = freq[i] + freq[i + 1];
      freq[j2] = static_cast<std::uint16_t>(f);
      int k = j2 - 1;
      while (f < freq[k]) --k;
      ++k;
      std::memmove(&freq[k + 1], &freq[k], sizeof(freq[0]) * (j2 - k));
      freq[k] = static_cast<std::uint16_t>(f);
      std::memmove(&son[k + 1], &son[k], sizeof(son[0]) * (j2 - k));
      son[k] = i;
    }
    for (int i = 0; i < T; ++i) {
      const int k = son[i];
      if (k >= T) {
        prnt[k] = i;
      } else {
        prnt[k] = prnt[k + 1] = i;
      }
    }
  }

  // Counts one more occurrence of symbol c and restores the frequency order.
  void Update(int c) {
    if (freq[R] == kRebuildFrequency) Reconstruct();
    c = prnt[c + T];
    do {
      const unsigned k = ++freq[c];
      int l = c + 1;
      if (k > freq[l]) {
        while (k > freq[++l]) {
        }
        --l;
        freq[c] = freq[l];
        freq[l] = static_cast<std::uint16_t>(k);
        const int i = son[c];
        prnt[i] = l;
        if (i < T) prnt[i + 1] = l;
        const int j = son[l];
        son[l] = i;
        prnt[j] = c;
        if (j < T) prnt[j + 1] = c;
        son[c] = j;
        c = l;
      }
    } while ((c = prnt[c]) != 0);
  }
};

// Collects code bits most significant first and hands them on in chunks.
class BitWriter {
 public:
  explicit BitWriter(const ByteWriter& out) : out_(out) { buffer_.reserve(kChunk); }

  // Appends the low `length` bits of `code` (length <= 32).
  void Put(std::uint32_t code, int length) {
    acc_ = (acc_ << length) | (code & ((std::uint64_t{1} << length) - 1));
    bits_ += length;
    while (bits_ >= 8) {
      bits_ -= 8;
      buffer_.push_back(static_cast<std::uint8_t>(acc_ >> bits_));
      if (buffer_.size() == kChunk) Drain();
    }
  }

  // Pads the last byte with zero bits and delivers everything.
  void Flush() {
    if (bits_ > 0) {
      buffer_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bits_)));
      bits_ = 0;
    }
    Drain();
  }

 private:
  void Drain() {
    if (!buffer_.empty()) out_(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

  const ByteWriter& out_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
};

// Source bytes one at a time, fetched in chunks.
class ByteInput {
 public:
  explicit ByteInput(const ByteReader& in) : in_(in), buffer_(kChunk) {}

  int Get() {
    if (pos_ == size_) {
      if (ended_) return -1;
      size_ = in_(buffer_.data(), buffer_.size());
      pos_ = 0;
      if (size_ == 0) {
        ended_ = true;
        return -1;
      }
      total_ += size_;
    }
    return buffer_[pos_++];
  }

  std::uint64_t Total() const { return total_; }

 private:
  const ByteReader& in_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  std::uint64_t total_ = 0;
  bool ended_ = false;
};

class Encoder {
 public:
  explicit Encoder(const ByteWriter& out) : bits_(out) {}

  std::uint64_t Run(ByteInput& in) {
    huff_.Start();
    for (int i = N + 1; i <= N + 256; ++i) rson_[i] = kNil;
    for (int i = 0; i < N; ++i) dad_[i] = kNil;
    std::memset(text_, 0, sizeof text_);
    std::memset(text_, ' ', kRingStart);

    int s = 0;
    int r = kRingStart;
    int len = 0;
    for (int c; len < F && (c = in.Get()) >= 0; ++len) text_[r + len] = static_cast<std::uint8_t>(c);
    if (len == 0) return 0;  // an empty source has no code at all
    for (int i = 1; i <= F; ++i) InsertNode(r - i);
    InsertNode(r);
    do {
      if (matchLength_ > len) matchLength_ = len;
      if (matchLength_ <= kThreshold) {
        matchLength_ = 1;
        EncodeChar(text_[r]);
      } else {
        EncodeChar(255 - kThreshold + matchLength_);
        EncodePosition(matchPosition_);
      }
      const int lastMatchLength = matchLength_;
      int i = 0;
      for (int c; i < lastMatchLength && (c = in.Get()) >= 0; ++i) {
        DeleteNode(s);
        text_[s] = static_cast<std::uint8_t>(c);
        if (s < F - 1) text_[s + N] = static_cast<std::uint8_t>(c);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        InsertNode(r);
      }
      while (i++ < lastMatchLength) {
        DeleteNode(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len) InsertNode(r);
      }
    } while (len > 0);
    bits_.Flush();
    return in.Total();
  }

 private:
  // Number of equal leading bytes of the strings at a and b, counting from 1 up to F, and the sign
  // of the first difference.
  int CompareFrom1(const std::uint8_t* a, const std::uint8_t* b, int& cmp) const {
    int i = 1;
    while (i < F) {
#if defined(__SSE2__)
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
      const unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) & 0xFFFFu;
      constexpr int kStep = 16;
#else
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      const std::uint64_t diff = x ^ y;
      const std::uint64_t differ = diff;
      constexpr int kStep = 8;
#endif
      if (differ != 0) {
#if defined(__SSE2__)
        const int at = i + __builtin_ctz(differ);
#else
        const int at = i + (__builtin_ctzll(differ) >> 3);
#endif
        if (at >= F) break;
        cmp = int{a[at]} - int{b[at]};
        return at;
      }
      i += kStep;
    }
    cmp = 0;
    return F;
  }

  void InsertNode(int r) {
    int cmp = 1;
    const std::uint8_t* key = &text_[r];
    int p = N + 1 + key[0];
    rson_[r] = lson_[r] = kNil;
    matchLength_ = 0;
    int i;
    for (;;) {
      if (cmp >= 0) {
        if (rson_[p] != kNil) {
          p = rson_[p];
        } else {
          rson_[p] = r;
          dad_[r] = p;
          return;
        }
      } else {
        if (lson_[p] != kNil) {
          p = lson_[p];
        } else {
          lson_[p] = r;
          dad_[r] = p;
          return;
        }
      }
      i = CompareFrom1(key, &text_[p], cmp);
      if (i > kThreshold) {
        const int distance = ((r - p) & (N - 1)) - 1;
        if (i > matchLength_) {
          matchPosition_ = distance;
          if ((matchLength_ = i) >= F) break;
        } else if (i == matchLength_ && distance < matchPosition_) {
          matchPosition_ = distance;
        }
      }
    }
    // A full-length match: r takes p's place in the tree.
    dad_[r] = dad_[p];
    lson_[r] = lson_[p];
    rson_[r] = rson_[p];
    dad_[lson_[p]] = r;
    dad_[rson_[p]] = r;
    ReplaceInParent(p, r);
  }

  // x takes p's place among its parent's children; p leaves the tree.
  void ReplaceInParent(int p, int x) {
    if (rson_[dad_[p]] == p) {
      rson_[dad_[p]] = x;
    } else {
      lson_[dad_[p]] = x;
    }
    dad_[p] = kNil;
  }

  void DeleteNode(int p) {
    if (dad_[p] == kNil) return;
    int q;
    if (rson_[p] == kNil) {
      q = lson_[p];
    } else if (lson_[p] == kNil) {
      q = rson_[p];
    } else {
      q = lson_[p];
      if (rson_[q] != kNil) {
        do {
          q = rson_[q];
        } while (rson_[q] != kNil);
        rson_[dad_[q]] = lson_[q];
        dad_[lson_[q]] = dad_[q];
        lson_[q] = lson_[p];
        dad_[lson_[p]] = q;
      }
      rson_[q] = rson_[p];
      dad_[rson_[p]] = q;
    }
    dad_[q] = dad_[p];
    ReplaceInParent(p, q);
  }

  void EncodeChar(int c) {
    // The path from the leaf up to the root, one bit per edge; sent from the root side first.
    std::uint64_t code = 0;
    int length = 0;
    int k = huff_.prnt[c + T];
    do {
      if (length == 64) throw EStreamError("Compression failed: symbol code too long");
      code |= std::uint64_t(k & 1) << length;
      ++length;
    } while ((k = huff_.prnt[k]) != R);
    if (length > 32) {
      bits_.Put(static_cast<std::uint32_t>(code >> 32), length - 32);
      bits_.Put(static_cast<std::uint32_t>(code), 32);
    } else {
      bits_.Put(static_cast<std::uint32_t>(code), length);
    }
    huff_.Update(c);
  }

  void EncodePosition(int c) {
    const int upper = c >> 6;
    const int length = kPosition.encodeLength[upper];
    bits_.Put(kPosition.encodeCode[upper] >> (8 - length), length);
    bits_.Put(c & 0x3F, 6);
  }

  AdaptiveHuffman huff_;
  BitWriter bits_;
  // The ring, its mirror of the first F - 1 bytes, and slack for block-wise comparison.
  std::uint8_t text_[N + F - 1 + 16];
  std::uint16_t lson_[N + 1];
  std::uint16_t rson_[N + 257];
  std::uint16_t dad_[N + 1];
  int matchPosition_ = 0;
  int matchLength_ = 0;
};

// Code bits most significant first; bytes past the end of the input read as zero bits.
class BitReader {
 public:
  explicit BitReader(const ByteReader& in) : in_(in), buffer_(kChunk) {}

  int GetBit() {
    if (bits_ == 0) Refill();
    --bits_;
    ++consumed_;
    return static_cast<int>((acc_ >> bits_) & 1);
  }

  int GetByte() {
    if (bits_ < 8) Refill();
    bits_ -= 8;
    consumed_ += 8;
    return static_cast<int>((acc_ >> bits_) & 0xFF);
  }

  std::uint64_t Consumed() const { return consumed_; }
  // True once a bit has been taken that the input never supplied.
  bool Overrun() const { return ended_ && consumed_ > delivered_ * 8; }
  std::uint64_t Delivered() const { return delivered_; }

 private:
  void Refill() {
    while (bits_ <= 56) {
      if (pos_ == size_) {
        if (!ended_) {
          size_ = in_(buffer_.data(), buffer_.size());
          pos_ = 0;
          delivered_ += size_;
          if (size_ == 0) ended_ = true;
        }
        if (ended_) {
          acc_ <<= 8;  // missing bytes count as zero bits
          bits_ += 8;
          continue;
        }
      }
      acc_ = (acc_ << 8) | buffer_[pos_++];
      bits_ += 8;
    }
  }

  const ByteReader& in_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t delivered_ = 0;
  bool ended_ = false;
};

[[noreturn]] void Truncated() {
  throw EStreamError("Compressed data is truncated");
}
[[noreturn]] void Corrupt() {
  throw EStreamError("Compressed data is corrupt");
}

class Decoder {
 public:
  Decoder(const ByteReader& in, const ByteWriter& out) : bits_(in), out_(out) { buffer_.reserve(kChunk); }

  std::uint64_t Run(std::uint32_t count) {
    if (count == 0) return 0;
    huff_.Start();
    std::memset(text_, 0, sizeof text_);
    std::memset(text_, ' ', kRingStart);
    int r = kRingStart;
    std::uint64_t remaining = count;
    while (remaining > 0) {
      int c = huff_.son[R];
      while (c < T) c = huff_.son[c + bits_.GetBit()];
      c -= T;
      huff_.Update(c);
      if (c < 256) {
        Emit(static_cast<std::uint8_t>(c));
        text_[r] = static_cast<std::uint8_t>(c);
        r = (r + 1) & (N - 1);
        --remaining;
      } else {
        int code = bits_.GetByte();
        const int upper = kPosition.decodeValue[code];
        for (int extra = kPosition.decodeLength[code] - 2; extra > 0; --extra) {
          code = (code << 1) + bits_.GetBit();
        }
        const int distance = (upper << 6) | (code & 0x3F);
        const int length = c - 255 + kThreshold;
        if (static_cast<std::uint64_t>(length) > remaining) {
          if (bits_.Overrun()) Truncated();
          Corrupt();
        }
        int from = (r - distance - 1) & (N - 1);
        for (int k = 0; k < length; ++k) {
          const std::uint8_t b = text_[from];
          from = (from + 1) & (N - 1);
          Emit(b);
          text_[r] = b;
          r = (r + 1) & (N - 1);
        }
        remaining -= static_cast<std::uint64_t>(length);
      }
      if (bits_.Overrun()) Truncated();
    }
    if (!buffer_.empty()) out_(buffer_.data(), buffer_.size());
    // A reader taking one byte at a time keeps more than 8 bits buffered before every take; the
    // last take of every symbol is a single bit.
    const std::uint64_t lastTakeStart = bits_.Consumed() - 1;
    const std::uint64_t wanted = (lastTakeStart + 9 + 7) / 8;
    return wanted < bits_.Delivered() ? wanted : bits_.Delivered();
  }

 private:
  void Emit(std::uint8_t b) {
    buffer_.push_back(b);
    if (buffer_.size() == kChunk) {
      out_(buffer_.data(), buffer_.size());
      buffer_.clear();
    }
  }

  AdaptiveHuffman huff_;
  BitReader bits_;
  const ByteWriter& out_;
  std::vector<std::uint8_t> buffer_;
  std::uint8_t text_[N];
};

}  // namespace

std::uint64_t Encode(const ByteReader& in, const ByteWriter& out) {
  ByteInput input(in);
  auto encoder = std::make_unique<Encoder>(out);
  return encoder->Run(input);
}

std::uint64_t Decode(const ByteReader& in, const ByteWriter& out, std::uint32_t count) {
  auto decoder = std::make_unique<Decoder>(in, out);
  return decoder->Run(count);
}

namespace {

// Every codec call runs under one process-wide lock, re-entrant for the thread that holds it.
TOracleCriticalSection& CodecLock() {
  static TOracleCriticalSection lock;
  return lock;
}

void WriteCount(std::uint8_t* header, std::uint32_t count) {
  for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(count >> (8 * i));
}

std::uint32_t ReadCount(const std::uint8_t* header) {
  std::uint32_t count = 0;
  for (int i = 0; i < 4; ++i) count |= std::uint32_t{header[i]} << (8 * i);
  return count;
}

// A stated length that is negative, or more than the code could describe, cannot be genuine.
void CheckCount(std::uint32_t count, std::uint64_t codeBytes) {
  if (count > 0x7FFFFFFF) Corrupt();
  if (count > codeBytes * kMaxExpansion) Truncated();
}

ByteReader StringReader(std::string_view data) {
  return [data, pos = std::size_t{0}](std::uint8_t* buffer, std::size_t size) mutable {
    const std::size_t n = std::min(size, data.size() - pos);
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return n;
  };
}

ByteWriter StringWriter(std::string& out) {
  return [&out](const std::uint8_t* buffer, std::size_t size) {
    out.append(reinterpret_cast<const char*>(buffer), size);
  };
}

ByteReader StreamReader(TStream* stream) {
  return [stream](std::uint8_t* buffer, std::size_t size) {
    const std::int64_t n = stream->Read(buffer, static_cast<std::int64_t>(size));
    return n > 0 ? static_cast<std::size_t>(n) : std::size_t{0};
  };
}

ByteWriter StreamWriter(TStream* stream) {
  return [stream](const std::uint8_t* buffer, std::size_t size) {
    stream->WriteBuffer(buffer, static_cast<std::int64_t>(size));
  };
}

}  // namespace

std::string CompressBytes(std::string_view source) {
  if (source.size() > 0x7FFFFFFF) throw EStreamError("Source too large to compress");
  std::string result(4, '\0');
  WriteCount(reinterpret_cast<std::uint8_t*>(result.data()), static_cast<std::uint32_t>(source.size()));
  Encode(StringReader(source), StringWriter(result));
  return result;
}

std::string DecompressBytes(std::string_view stream) {
  if (stream.size() < 4) Truncated();
  const std::uint32_t count = ReadCount(reinterpret_cast<const std::uint8_t*>(stream.data()));
  const std::string_view code = stream.substr(4);
  CheckCount(count, code.size());
  std::string result;
  result.reserve(count);
  Decode(StringReader(code), StringWriter(result), count);
  return result;
}

}  // namespace oracle_codec

using namespace oracle_codec;

void CompressStream(TStream* Source, TStream* Dest) {
  TOracleLockGuard guard(CodecLock());
  const std::int64_t count = std::max<std::int64_t>(Source->Size() - Source->Position(), 0);
  if (count > 0x7FFFFFFF) throw EStreamError("Source too large to compress");
  const std::int64_t start = Dest->Position();
  Dest->SetSize(start + 4 + count);  // a first guess; the stream grows when the code is longer
  Dest->Seek(start, soFromBeginning);
  std::uint8_t header[4];
  WriteCount(header, static_cast<std::uint32_t>(count));
  Dest->WriteBuffer(header, 4);
  const std::uint64_t coded = Encode(StreamReader(Source), StreamWriter(Dest));
  const std::int64_t end = Dest->Position();
  if (coded != static_cast<std::uint64_t>(count)) {
    // The source delivered another length than its size promised: the header states what was coded.
    if (coded > 0x7FFFFFFF) throw EStreamError("Source too large to compress");
    WriteCount(header, static_cast<std::uint32_t>(coded));
    Dest->Seek(start, soFromBeginning);
    Dest->WriteBuffer(header, 4);
    Dest->Seek(end, soFromBeginning);
  }
  Dest->SetSize(end);  // nothing stale after the code
}

void DecompressStream(TStream* Source, TStream* Dest) {
  TOracleLockGuard guard(CodecLock());
  std::uint8_t header[4];
  if (Source->Read(header, 4) != 4) Truncated();
  const std::uint32_t count = ReadCount(header);
  const std::int64_t codeStart = Source->Position();
  CheckCount(count, static_cast<std::uint64_t>(std::max<std::int64_t>(Source->Size() - codeStart, 0)));
  const std::int64_t start = Dest->Position();
  Dest->SetSize(start + count);
  Dest->Seek(start, soFromBeginning);
  std::uint64_t consumed = 0;
  try {
    consumed = Decode(StreamReader(Source), StreamWriter(Dest), count);
  } catch (...) {
    Dest->SetSize(start);
    throw;
  }
  Source->Seek(codeStart + static_cast<std::int64_t>(consumed), soFromBeginning);
}
