// Translates arbitrary typed criteria for a field of every type the criteria know: errors must be
// the system's exceptions (a text that is no date), never crashes; and no byte of the criterion may
// reach the condition outside a quoted literal or a bound value, so the condition's words are only
// the translator's own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
const TFieldType kTypes[] = {ftString, ftMemo, ftInteger, ftSmallint, ftFloat, ftCurrency, ftDate, ftDateTime, ftTime};

// The condition without its quoted literals.
std::string Unquoted(const std::string& Condition) {
  std::string out;
  bool quoted = false;
  for (char c : Condition) {
    if (c == '\'') {
      quoted = !quoted;
      continue;
    }
    if (!quoted) out += c;
  }
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first byte picks the field type, the second the flags and the locale.
  const std::uint8_t kind = data[0], flags = data[1];
  const std::string criterion(reinterpret_cast<const char*>(data + 2), size - 2);
  TFormatSettingsGuard settings(flags & 64 ? RussianFormatSettings() : EnglishFormatSettings());
  TQBEOptions o;
  o.DataType = kTypes[kind % (sizeof kTypes / sizeof kTypes[0])];
  o.AllowOperators = flags & 1;
  o.AllowFileWildCards = flags & 2;
  o.PartialMatch = flags & 4;
  o.AnyPosition = flags & 8;
  o.CaseInsensitive = flags & 16;
  o.WholeDays = flags & 32;
  std::vector<std::pair<std::string, std::string>> binds;
  TQBECondition c;
  try {
    c = TranslateQBECriterion(criterion, "COL", o, binds);
  } catch (const Exception&) {
    return 0;
  }
  const std::string text = Unquoted(c.Text());
  // Outside literals no statement separator, quoted name or comment can come from the criterion.
  if (text.find_first_of(";\"") != std::string::npos || text.find("--") != std::string::npos ||
      text.find("/*") != std::string::npos)
    __builtin_trap();
  return 0;
}
