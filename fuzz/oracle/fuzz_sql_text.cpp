// Arbitrary texts through the SQL scanners, the logon-string routines and the tnsnames.ora reader:
// whatever the input, the result is a value or an exception of the system, never a crash, and the
// positions found lie inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz/FuzzTempPath.h"
#include "oracle/Oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int chars = Utf8Length(text) + 2;  // the scanner appends CR LF
  for (bool duplicates : {false, true}) {
    std::unique_ptr<TStringList> list(FindVariables(text, duplicates));
    for (int i = 0; i < list->Count(); ++i) {
      int p = VariablePosition(list.get(), i);
      if (p < 1 || p > chars || list->Strings(i).empty()) __builtin_trap();
    }
  }
  if (RemoveSQLComments(text).size() > text.size()) __builtin_trap();
  QuoteIfNeeded(text, "./@");
  std::string user, password, database, role;
  SplitLogonString(text, user, password, database, role);
  StringToConnectAs(role);

  static const FuzzTempPath tnsnames("fuzz_tnsnames");
  const std::string file = tnsnames.path.string();
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    TStringList aliases;
    ReadTNSNames(file, &aliases);
  }
  return 0;
}
