// Parses arbitrary filter texts over a record with a column of every type and evaluates the tree
// through every accessor: errors must be exceptions of the system, never crashes or undefined
// behaviour. Wildcard matching of the text against itself and a fixed value rides along.
#include <cstddef>
#include <cstdint>
#include <string>

#include "oracle/OracleFilter.h"
#include "platform/rtl/SysUtils.h"
#include "tests/oracle/FilterTestSupport.h"

using namespace filter_test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static Record record = [] {
    Record r;
    r.columns = {{"S", Str("USER")}, {"I", Int(-7)},         {"F", Flt(2.5)},      {"D", Dat(45352.25)},
                 {"B", Bool(true)},  {"N", Null(etInteger)}, {"RU", Str("Привет")}};
    return r;
  }();
  record.calls.clear();
  // The first byte picks the options and the decimal separator.
  const std::uint8_t flags = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TFormatSettingsGuard settings(flags & 4 ? RussianFormatSettings() : EnglishFormatSettings());
  TFilterOptions options;
  if (flags & 1) options.Include(foCaseInsensitive);
  if (flags & 2) options.Include(foNoPartialCompare);
  MatchWildcard(text, text);
  MatchWildcard(text, "USER*Привет?");
  std::unique_ptr<TExpression> e;
  try {
    e = ParseFilterExpression(text, options, record.Resolver());
  } catch (const Exception&) {
    return 0;
  }
  if (!e) return 0;
  try {
    e->ExprType();
  } catch (const Exception&) {
  }
  try {
    e->AsBoolean();
  } catch (const Exception&) {
  }
  try {
    e->AsString();
  } catch (const Exception&) {
  }
  try {
    e->AsInteger();
  } catch (const Exception&) {
  }
  try {
    e->AsFloat();
  } catch (const Exception&) {
  }
  try {
    e->AsDate();
  } catch (const Exception&) {
  }
  e->IsNull();
  return 0;
}
