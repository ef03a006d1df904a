// The stored form of an object value and REF bytes come from the instance file: any bytes either
// decode into a value or are refused. Encoding normalises (an atomically null object is stored as a
// null item), so what a decoded value encodes to must decode and encode to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle_sim/engine/Objects.h"

using namespace oracle_sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ObjectValue v;
  if (DecodeObject(data, static_cast<int>(size), v)) {
    std::string stored = EncodeObject(v);
    ObjectValue w;
    if (!DecodeObject(stored.data(), static_cast<int>(stored.size()), w) || EncodeObject(w) != stored)
      std::abort();
  }
  int64_t objectId = 0, rid = 0;
  ParseRefBytes(std::string(reinterpret_cast<const char*>(data), size), objectId, rid);
  return 0;
}
