#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "oracle/OracleCompress.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

using oracle_codec::CompressBytes;
using oracle_codec::DecompressBytes;

namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Text with the repetitions of real SQL: a few hundred words drawn with a skewed distribution.
std::string SqlLikeText(std::size_t size, unsigned seed) {
  static const char* words[] = {"SELECT", "FROM",    "WHERE",    "AND",      "OR",      "v$session",
                                "sid",    "serial#", "username", "=",        "'USER'",  "ORDER BY",
                                "1",      "2",       "GROUP BY", "(+)",      "NVL(",    ")",
                                ",",      "\r\n",    "status",   "'ACTIVE'", "program", "machine"};
  std::mt19937 gen(seed);
  std::geometric_distribution<int> pick(0.2);
  std::string s;
  while (s.size() < size) {
    s += words[pick(gen) % (sizeof words / sizeof *words)];
    s += ' ';
  }
  s.resize(size);
  return s;
}

// Deterministic on every platform (no library distributions).
std::string FixedText(std::size_t size) {
  static const char* words[] = {"SELECT",  "FROM",     "WHERE", "AND",    "v$session", "sid",
                                "serial#", "username", "=",     "'USER'", "\r\n"};
  std::string s;
  unsigned x = 12345;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += words[(x >> 16) % 11];
    s += ' ';
  }
  s.resize(size);
  return s;
}

std::uint64_t Fnv1a(const std::string& s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Header(std::uint32_t count) {
  std::string h(4, '\0');
  for (int i = 0; i < 4; ++i) h[i] = static_cast<char>(count >> (8 * i));
  return h;
}

}  // namespace

TEST(Codec, RoundTripsEveryKindOfContent) {
  std::string allBytes;
  for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
  const struct {
    const char* name;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"one blank", " "},
      {"two bytes", "ab"},
      {"text", "SELECT sid, serial#, username FROM v$session WHERE username = 'USER' ORDER BY 1"},
      {"all byte values", allBytes},
      {"all byte values twice", allBytes + allBytes},
      {"run longer than a match", std::string(1000, 'a')},
      {"blank run", std::string(1000, ' ')},
      {"overlapping match", "abcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabc"},
      {"zeros", std::string(70000, '\0')},
      {"binary", RandomBytes(5000, 1)},
      {"incompressible", RandomBytes(200000, 2)},
      {"sql text", SqlLikeText(300000, 3)},
      {"just under a full look-ahead", std::string(59, 'q')},
      {"exactly a look-ahead", std::string(60, 'q')},
      {"dictionary wrap", SqlLikeText(4096 * 3 + 17, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string packed = CompressBytes(c.data);
    ASSERT_GE(packed.size(), 4u);
    EXPECT_EQ(packed.substr(0, 4), Header(static_cast<std::uint32_t>(c.data.size())));
    EXPECT_EQ(DecompressBytes(packed), c.data);
  }
}

TEST(Codec, CompressesRepetitiveInputAndBoundsIncompressibleGrowth) {
  // The dictionary starts full of blanks: blanks go out as 60-byte matches from the first symbol.
  const std::string blanks = CompressBytes(std::string(1000, ' '));
  EXPECT_LT(blanks.size(), 4u + 40u);
  const std::string text = SqlLikeText(100000, 5);
  EXPECT_LT(CompressBytes(text).size(), text.size() / 3);
  const std::string noise = RandomBytes(100000, 6);
  EXPECT_LT(CompressBytes(noise).size(), noise.size() + noise.size() / 8 + 4);
}

// Fixed inputs give fixed code: stored streams must stay readable by later builds, and these
// vectors pin the tree, the position code and the bit order.
TEST(Codec, ProducesByteExactCode) {
  const struct {
    std::string data;
    const char* hex;
  } vectors[] = {
      // Empty source: only the count.
      {"", "00000000"},
      // "A" from the initial tree: leaf 65 sits nine edges below the root, path 111001101.
      {"A", "01000000E680"},
      {"abcabcabcabcabc", "0F000000F6FBBDF2A020"},
      {"SELECT * FROM dual", "12000000EFF47B189CFF06B36D81D2EF76FB377E003EDFC0"},
      {std::string(85, 'a'), "55000000F6FB40142000"},
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.data);
    EXPECT_EQ(Hex(CompressBytes(v.data)), v.hex);
  }
  // 1000 blanks: symbol 313 (a 60-byte match, path 11000101 in the initial tree), then the
  // distance 59 as the 3-bit code 000 and the six bits 111011.
  const std::string blanks = CompressBytes(std::string(1000, ' '));
  ASSERT_GE(blanks.size(), 6u);
  EXPECT_EQ(Hex(blanks.substr(0, 6)), "E8030000C51D");
  // A long text: many tree rebuilds and dictionary wraps.
  const std::string packed = CompressBytes(FixedText(200000));
  EXPECT_EQ(packed.size(), 29415u);
  EXPECT_EQ(Fnv1a(packed), 0x185e82e0d1d97318ull);
}

TEST(Codec, DecompressionRejectsTruncatedAndCorruptStreams) {
  const std::string text = SqlLikeText(20000, 7);
  const std::string packed = CompressBytes(text);
  // Cut anywhere inside the code: the decoder must fail, not invent bytes.
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{5},
                          packed.size() / 2, packed.size() - 2}) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(DecompressBytes(packed.substr(0, cut)), EStreamError);
  }
  // A count larger than the code supplies.
  std::string longer = packed;
  longer.replace(0, 4, Header(static_cast<std::uint32_t>(text.size() + 100)));
  EXPECT_THROW(DecompressBytes(longer), EStreamError);
  // An absurd count is refused before anything is allocated.
  std::string huge = packed;
  huge.replace(0, 4, Header(0x7FFFFFF0u));
  EXPECT_THROW(DecompressBytes(huge), EStreamError);
  // A negative count.
  std::string negative = packed;
  negative.replace(0, 4, Header(0xFFFFFFFFu));
  EXPECT_THROW(DecompressBytes(negative), EStreamError);
  // A shorter count yields exactly that many bytes of the text, or a clear error when the count
  // ends inside a match; never more bytes than the count.
  for (std::uint32_t count : {1u, 2u, 100u, 5000u}) {
    std::string shorter = packed;
    shorter.replace(0, 4, Header(count));
    try {
      const std::string out = DecompressBytes(shorter);
      EXPECT_EQ(out, text.substr(0, count));
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Compressed data is corrupt");
    }
  }
  // A count of zero decodes nothing.
  EXPECT_EQ(DecompressBytes(Header(0) + "\xFF\xFF"), "");
}

TEST(Codec, DecompressionOfFlippedBitsNeverExceedsTheCount) {
  const std::string text = SqlLikeText(3000, 8);
  const std::string packed = CompressBytes(text);
  std::mt19937 gen(9);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = packed;
    const std::size_t at = 4 + gen() % (damaged.size() - 4);
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (gen() % 8)));
    try {
      EXPECT_EQ(DecompressBytes(damaged).size(), text.size());
    } catch (const EStreamError&) {
    }
  }
}

// A stream that stops delivering after a given number of bytes although its size says more.
class ShortReadStream : public TStringStream {
 public:
  ShortReadStream(std::string data, int64_t limit) : TStringStream(std::move(data)), limit_(limit) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t n = TStringStream::Read(Buffer, std::min(Count, limit_));
    limit_ -= n;
    return n;
  }

 private:
  int64_t limit_;
};

TEST(CodecStreams, CompressFromTheSourcePositionAndTrimTheDestination) {
  const std::string text = SqlLikeText(50000, 10);
  TStringStream source("PREFIX" + text);
  source.SetPosition(6);
  // The destination holds a prefix to keep and stale bytes after it that must go.
  TStringStream dest("keep" + std::string(200000, 'x'));
  dest.SetPosition(4);
  CompressStream(&source, &dest);
  EXPECT_EQ(dest.DataString(), "keep" + CompressBytes(text));
  EXPECT_EQ(dest.Position(), dest.Size());
  EXPECT_EQ(source.Position(), source.Size());

  // Back again, into the middle of another stream.
  TStringStream packed(dest.DataString());
  packed.SetPosition(4);
  TStringStream out("head");
  out.SetPosition(4);
  DecompressStream(&packed, &out);
  EXPECT_EQ(out.DataString(), "head" + text);
  EXPECT_EQ(out.Position(), out.Size());
}

TEST(CodecStreams, EmptySourceAndMemoryStreams) {
  TMemoryStream source;
  TMemoryStream dest;
  CompressStream(&source, &dest);
  ASSERT_EQ(dest.Size(), 4);
  dest.SetPosition(0);
  TMemoryStream out;
  DecompressStream(&dest, &out);
  EXPECT_EQ(out.Size(), 0);

  const std::string data = RandomBytes(30000, 11);
  source.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  source.SetPosition(0);
  dest.SetSize(0);
  CompressStream(&source, &dest);
  dest.SetPosition(0);
  DecompressStream(&dest, &out);
  ASSERT_EQ(out.Size(), static_cast<int64_t>(data.size()));
  EXPECT_EQ(std::string(static_cast<const char*>(out.Memory()), data.size()), data);
}

TEST(CodecStreams, DecompressLeavesTheSourceWhereAByteWiseReaderStops) {
  // "A" is 9 code bits in 2 bytes; the reader keeps more than 8 bits buffered before each take, so
  // it has taken a third byte when one follows.
  TStringStream alone(CompressBytes("A"));
  TStringStream out;
  DecompressStream(&alone, &out);
  EXPECT_EQ(out.DataString(), "A");
  EXPECT_EQ(alone.Position(), 6);
  TStringStream followed(CompressBytes("A") + "ZZZ");
  TStringStream out2;
  DecompressStream(&followed, &out2);
  EXPECT_EQ(out2.DataString(), "A");
  EXPECT_EQ(followed.Position(), 7);
}

TEST(CodecStreams, BadStreamsRaiseAndLeaveTheDestinationAsItWas) {
  const std::string packed = CompressBytes(SqlLikeText(5000, 12));
  for (const std::string& bad :
       {packed.substr(0, 3), packed.substr(0, packed.size() / 2), Header(0xFFFFFFFFu) + packed.substr(4),
        Header(0x40000000u) + packed.substr(4)}) {
    TStringStream source(bad);
    TStringStream dest("keep");
    dest.SetPosition(4);
    EXPECT_THROW(DecompressStream(&source, &dest), EStreamError);
    EXPECT_EQ(dest.DataString(), "keep");
  }
}

TEST(CodecStreams, HeaderStatesWhatWasCodedWhenTheSourceFallsShort) {
  const std::string text = SqlLikeText(10000, 13);
  ShortReadStream source(text, 6000);
  TStringStream dest;
  CompressStream(&source, &dest);
  EXPECT_EQ(DecompressBytes(dest.DataString()), text.substr(0, 6000));
}
