// Conversions between the engine's values and the client's external data types: the buffers a
// program binds (read when a statement runs) and defines (written when rows are fetched).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "oracle/OracleCIApi.h"
#include "oracle_sim/engine/Engine.h"

namespace oracle_sim::oci {

// An Oracle NUMBER in its internal form (exponent byte, then base-100 mantissa bytes), at most 21
// bytes; zero is the single byte 0x80.
std::string EncodeNumber(const Value& v);             // Int, Real or numeric Text; throws OraError 1722
Value DecodeNumber(const ub1* bytes, size_t length);  // throws OraError 1722 on a malformed number

// The 7-byte DATE: century + 100, year of century + 100, month, day, hour + 1, minute + 1, second + 1.
void EncodeDate(const DateTime& dt, ub1 out[7]);
DateTime DecodeDate(const ub1 in[7]);  // throws OraError 1858 / 1843 ... on an invalid date

// The client's OCIDate structure and the engine's date (no checks: the fields are copied).
DateTime FromOCIDate(const OCIDate& d);
OCIDate ToOCIDate(const DateTime& dt);

// Reads one bound element. `length` is the element's actual length (from the length array) or its
// value size when the program gave no lengths. Throws OraError for values it cannot read.
Value ReadExternal(ub2 dty, const void* buf, ub4 length, bool lengthGiven);

// The outcome of writing one fetched value.
struct WriteOutcome {
  ub4 length = 0;      // bytes stored (the returned length)
  ub4 fullLength = 0;  // bytes the whole value needs (above `length` when truncated)
  int rcode = 0;       // 0, or 1406 when the value was truncated
};

// Writes one value into an element of `size` bytes. Null values are not written here (the caller
// sets the indicator). Throws OraError for conversions Oracle refuses (932, 1722, 1455 ...).
WriteOutcome WriteExternal(ub2 dty, const Value& v, void* buf, ub4 size);

// LONG and LONG RAW, the types whose values may come in pieces.
bool IsLongType(ub2 dty);

// The value as text, the way a fetch into a character type shows it.
std::string ValueText(const Value& v);
// Bytes of a character or binary value (other kinds as text, kept in `scratch`).
const std::string& Payload(const Value& v, std::string& scratch);

}  // namespace oracle_sim::oci
