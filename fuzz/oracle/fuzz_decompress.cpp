// Decompresses arbitrary bytes (must fail cleanly or stay within the stated count), and checks that
// the same bytes survive a compression round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle/OracleCompress.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  try {
    const std::string out = oracle_codec::DecompressBytes(input);
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i) count |= std::uint32_t(data[i]) << (8 * i);
    if (out.size() != count) std::abort();
  } catch (const EStreamError&) {
  }
  // The stream form: never more than the stated count, and on an error the destination is as it was.
  TStringStream source(input);
  TStringStream dest("keep");
  dest.SetPosition(4);
  try {
    DecompressStream(&source, &dest);
  } catch (const EStreamError&) {
    if (dest.DataString() != "keep") std::abort();
  }
  if (oracle_codec::DecompressBytes(oracle_codec::CompressBytes(input)) != input) std::abort();
  return 0;
}
