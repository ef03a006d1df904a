// Placeholder bodies of the engine API; the working engine replaces them.
#include "oracle_sim/engine/Engine.h"

namespace oracle_sim {

struct InstanceState {
  std::string path;
};
struct SessionState {
  std::shared_ptr<Instance> instance;
  std::string user;
  std::string warningText;
};
struct CursorState {
  std::string sql;
  std::vector<ColumnDesc> columns;
};

namespace {
[[noreturn]] void Unimplemented() {
  throw OraError(3001, "ORA-03001: unimplemented feature");
}
}  // namespace

std::string Value::ToText() const {
  return s;
}

Instance::Instance() : state_(std::make_unique<InstanceState>()) {}
Instance::~Instance() = default;
std::shared_ptr<Instance> Instance::Open(const std::string&) {
  Unimplemented();
}
const std::string& Instance::Path() const {
  return state_->path;
}
std::string Instance::Banner() {
  return "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production";
}
std::string Instance::VersionText() {
  return "9.2.0.8.0";
}
uint32_t Instance::ReleaseNumber() {
  return 0x09200800u;
}

Session::Session() : state_(std::make_unique<SessionState>()) {}
Session::~Session() = default;
std::unique_ptr<Session> Session::LogOn(std::shared_ptr<Instance>, const std::string&, const std::string&) {
  Unimplemented();
}
int Session::LogonWarning() const {
  return 0;
}
const std::string& Session::LogonWarningText() const {
  return state_->warningText;
}
const std::string& Session::UserName() const {
  return state_->user;
}
int Session::SessionId() const {
  return 0;
}
const std::shared_ptr<Instance>& Session::GetInstance() const {
  return state_->instance;
}
void Session::Commit() {
  Unimplemented();
}
void Session::Rollback() {
  Unimplemented();
}
void Session::Break() {}
void Session::CutConnection() {}
bool Session::Connected() const {
  return false;
}
std::unique_ptr<Cursor> Session::Prepare(const std::string&) {
  Unimplemented();
}
std::vector<std::string> Session::PendingOutput() const {
  return {};
}

Cursor::Cursor() : state_(std::make_unique<CursorState>()) {}
Cursor::~Cursor() = default;
StmtKind Cursor::Kind() const {
  return StmtKind::Other;
}
const std::string& Cursor::Sql() const {
  return state_->sql;
}
int Cursor::FunctionCode() const {
  return 0;
}
std::vector<std::string> Cursor::BindNames() const {
  return {};
}
std::vector<std::string> Cursor::OutBindNames() const {
  return {};
}
void Cursor::BindByName(const std::string&, const Value&) {
  Unimplemented();
}
void Cursor::BindByPos(int, const Value&) {
  Unimplemented();
}
void Cursor::BindArray(const std::string&, std::vector<Value>) {
  Unimplemented();
}
void Cursor::BindTable(const std::string&, std::vector<Value>) {
  Unimplemented();
}
void Cursor::ClearBinds() {}
const std::vector<ColumnDesc>& Cursor::Describe() {
  return state_->columns;
}
void Cursor::Execute(int) {
  Unimplemented();
}
bool Cursor::Fetch(std::vector<Value>&) {
  return false;
}
int64_t Cursor::RowCount() const {
  return 0;
}
void Cursor::CloseRows() {}
Value Cursor::OutValue(const std::string&) const {
  Unimplemented();
}
std::vector<Value> Cursor::OutArray(const std::string&) const {
  Unimplemented();
}

}  // namespace oracle_sim
