// Reads arbitrary bytes as a registry hive file: they must either load or be refused with a format
// error, and whatever loads must be written back in a form that loads to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/rtl/RegistryStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvik::registry;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<TKeyNode> root;
  try {
    root = ParseHiveText(input, "HKEY_LOCAL_MACHINE");
  } catch (const THiveFormatError&) {
    return 0;
  }
  const std::string once = FormatHiveText(*root, "HKEY_LOCAL_MACHINE");
  std::string twice;
  try {
    twice = FormatHiveText(*ParseHiveText(once, "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE");
  } catch (const THiveFormatError&) {
    std::abort();  // our own output must always load
  }
  if (once != twice) std::abort();
  return 0;
}
