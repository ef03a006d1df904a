// The compression codec of stored large-object values: LZSS over a 4 KB sliding dictionary whose
// symbols are coded with an adaptive Huffman code.
//
// Stream format: the uncompressed length as a signed 32-bit little-endian count, then the code bits,
// most significant bit first within each byte, the last byte padded with zero bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/rtl/Classes.h"

// Compresses Source from its current position to its end into Dest at Dest's current position
// (length header, then code); Dest ends right after the code.
void CompressStream(TStream* Source, TStream* Dest);
// Decompresses the stream at Source's position into Dest at Dest's position. Dest is sized to the
// stated length up front; a truncated or corrupt stream raises EStreamError and leaves Dest cut back
// to where it started. Source is left after the code bytes the decoder consumed.
void DecompressStream(TStream* Source, TStream* Dest);

namespace oracle_codec {

// Fixed parameters of the code; a stored stream is only readable with exactly these.
inline constexpr int kRingSize = 4096;  // sliding dictionary
inline constexpr int kLookAhead = 60;   // longest match
inline constexpr int kThreshold = 2;    // matches this short or shorter go out as literals
inline constexpr int kSymbols = 256 + kLookAhead - kThreshold;  // 314
inline constexpr int kTreeNodes = 2 * kSymbols - 1;             // 627
inline constexpr int kRoot = kTreeNodes - 1;                    // 626
inline constexpr unsigned kRebuildFrequency = 0x8000;

// A decompressed length larger than this many bytes per byte of code cannot be genuine: the
// cheapest symbol, a 60-byte match, takes at least 10 bits.
inline constexpr std::uint64_t kMaxExpansion = 48;

// Delivers up to `size` bytes into `buffer` and answers how many; 0 means the input has ended.
using ByteReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;
// Takes `size` bytes from `buffer`.
using ByteWriter = std::function<void(const std::uint8_t* buffer, std::size_t size)>;

// Codes every byte the reader delivers and hands the code bits (no length header) to the writer.
// Returns the number of source bytes coded.
std::uint64_t Encode(const ByteReader& in, const ByteWriter& out);

// Decodes `count` bytes from the code the reader delivers. Throws EStreamError when the code runs
// out before `count` bytes are produced or describes a match past the end; the writer never receives
// more than `count` bytes. Returns the number of code bytes a reader taking one byte at a time would
// have consumed (the decoder keeps between 9 and 16 bits buffered).
std::uint64_t Decode(const ByteReader& in, const ByteWriter& out, std::uint32_t count);

// Whole-buffer forms: header plus code, and back.
std::string CompressBytes(std::string_view source);
std::string DecompressBytes(std::string_view stream);

}  // namespace oracle_codec
