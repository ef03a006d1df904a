// Reads arbitrary bytes as the stored query-by-example field settings: a damaged stream is refused
// with the read error (and leaves no items), a later version with its message; never a crash, a
// huge allocation or a read past the end. What was read is written back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "oracle_data/OracleData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  TQBEDefinition def(nullptr);
  TStringStream stream(input);
  try {
    def.ReadFieldDefs(&stream);
  } catch (const EReadError&) {
    if (def.Count() != 0) __builtin_trap();
    return 0;
  } catch (const Exception&) {
    return 0;
  }
  TStringStream written("");
  def.WriteFieldDefs(&written);
  TQBEDefinition again(nullptr);
  TStringStream back(written.DataString());
  again.ReadFieldDefs(&back);
  if (again.Differs(&def)) __builtin_trap();
  return 0;
}
