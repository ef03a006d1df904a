// Parses arbitrary text as comma text, delimited text and lines: what the list writes back must parse
// to the same items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  TStringList list;
  TStringList again;
  list.SetCommaText(input);
  again.SetCommaText(list.CommaText());
  if (!again.Equals(&list)) __builtin_trap();

  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  again.SetDelimiter(';');
  again.SetQuoteChar('\'');
  list.SetDelimitedText(input);
  again.SetDelimitedText(list.DelimitedText());
  if (!again.Equals(&list)) __builtin_trap();

  list.SetText(input);
  again.SetText(list.Text());
  if (!again.Equals(&list)) __builtin_trap();

  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  for (int i = 1; i < list.Count(); ++i)
    if (AnsiCompareText(list.Strings(i - 1), list.Strings(i)) > 0) __builtin_trap();
  return 0;
}
