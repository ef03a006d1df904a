// Reads arbitrary bytes as the grid's two import formats (tab-separated text and the exchange format),
// as they come from files and the clipboard: malformed input must raise the format's exception,
// never crash, hang or allocate what the input merely announces.
#include <cstddef>
#include <cstdint>
#include <string>

#include "grid/DBGridExImport.h"

namespace {

struct TextProbe : TDBGridExImportAsText {
  using TDBGridExImportAsText::Parse;
};
struct ExchangeProbe : TDBGridExImportAsVCLDBIF {
  using TDBGridExImportAsVCLDBIF::Parse;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // the first byte chooses the reader and the text's encoding
  const std::uint8_t choice = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    if (choice & 1) {
      ExchangeProbe p;
      p.Parse(bytes);
      if (p.Values().size() > bytes.size()) __builtin_trap();  // every value takes a byte at least
      // a record reads one value per column: values without columns would be read without end
      if (!p.Values().empty() && p.Descriptors().empty()) __builtin_trap();
    } else {
      TextProbe p;
      p.SetTextEncoding(choice & 2 ? TExportTextEncoding::Utf8 : TExportTextEncoding::Cp1251);
      p.Parse(bytes);
      if (p.Lines().size() > bytes.size()) __builtin_trap();
    }
  } catch (const Exception&) {
  }
  return 0;
}
