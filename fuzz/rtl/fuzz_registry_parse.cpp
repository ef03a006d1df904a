// Reads arbitrary bytes as a registry hive file: they must either load or be refused with a format
// error, and whatever loads must be written back in a form that loads to the same tree. The form
// written back, with its binary values wrapped over lines as registry exports wrap long values (every
// so many bytes, as the input's first byte chooses), must load to the same tree too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/rtl/RegistryStore.h"

namespace {

// Text with the byte list of each value line ("name"=hex...:list) broken after every Every-th byte
// onto a line of its own, the line before ending in a backslash.
std::string WrapLists(const std::string& text, size_t every) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    // the end of the value's name: "@" or a quoted name with \" and \\ inside
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
      for (at = 1; at < line.size() && line[at] != '"'; ++at)
        if (line[at] == '\\') ++at;
      ++at;
    } else if (!line.empty() && line[0] == '@') {
      at = 1;
    }
    const size_t colon = line.find(':', at);
    if (at == 0 || line.compare(at, 4, "=hex") != 0 || colon == std::string::npos) {
      out += line + '\n';
      continue;
    }
    out += line.substr(0, colon + 1);
    size_t bytes = 0;
    for (size_t i = colon + 1; i < line.size(); ++i) {
      out += line[i];
      if (line[i] == ',' && ++bytes % every == 0) out += "\\\n  ";
    }
    out += '\n';
  }
  return out;
}

}  // namespace

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
  std::string twice, wrapped;
  try {
    twice = FormatHiveText(*ParseHiveText(once, "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE");
    constexpr size_t kMostBytesALine = 32;
    const size_t every = size ? data[0] % kMostBytesALine + 1 : 1;
    wrapped =
        FormatHiveText(*ParseHiveText(WrapLists(once, every), "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE");
  } catch (const THiveFormatError&) {
    std::abort();  // our own output must always load
  }
  if (once != twice || once != wrapped) std::abort();
  return 0;
}
