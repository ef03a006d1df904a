// Named types and object tables: describe, pin, flush, delete and insert through REFs.
#include "oracle_sim/engine/Engine.h"
#include "oracle_sim/engine/Errors.h"

namespace oracle_sim {

TypeDesc Session::DescribeType(const std::string&) {
  Raise(3001);
}
TypeDesc Session::DescribeTypeByOid(const std::string&) {
  Raise(3001);
}
Value Session::PinObject(const std::string&, bool) {
  Raise(3001);
}
void Session::FlushObject(const std::string&, const Value&) {
  Raise(3001);
}
void Session::DeleteObject(const std::string&) {
  Raise(3001);
}
std::string Session::InsertObject(const std::string&, const std::string&, const Value&) {
  Raise(3001);
}
std::pair<std::string, std::string> Session::ObjectTable(const std::string&, const std::string&) {
  Raise(3001);
}

}  // namespace oracle_sim
