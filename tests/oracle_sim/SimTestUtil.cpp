#include "SimTestUtil.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "rtl/TempDir.h"
#include "tests/ChildProgram.h"
#include "tests/ChildWait.h"

namespace simtest {

// The template instance and every fresh instance live in the test process's own folder, which goes
// with the process whatever a test left in it.
std::string FreshInstancePath() {
  static std::once_flag once;
  static std::string templ;
  std::call_once(once, [] {
    templ = (ProcessTempFolder() / "template.db").string();
    Instance::Open(templ);  // creates the schema; closed again at once
  });
  static std::atomic<int> n{0};
  const std::filesystem::path dir = NewTempFolder(ProcessTempFolder(), "sim-");
  std::string path = (dir / ("sim" + std::to_string(++n) + ".db")).string();
  std::filesystem::copy_file(templ, path);
  return path;
}

void SimTest::SetUp() {
  path_ = FreshInstancePath();
  instance_ = Instance::Open(path_);
  system_ = Session::LogOn(instance_, "system", "manager");
  scott_ = Session::LogOn(instance_, "SCOTT", "TIGER");
}

void SimTest::TearDown() {
  scott_.reset();
  system_.reset();
  instance_.reset();
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(path_).parent_path(), ec);
}

std::unique_ptr<Session> SimTest::LogOn(const std::string& user, const std::string& password) {
  return Session::LogOn(instance_, user, password);
}

Rows SimTest::Query(Session& s, const std::string& sql, const Binds& binds) {
  auto c = s.Prepare(sql);
  for (auto& [k, v] : binds) c->BindByName(k, v);
  c->Execute();
  Rows rows;
  std::vector<Value> row;
  while (c->Fetch(row)) {
    std::vector<std::string> r;
    for (auto& v : row) r.push_back(v.ToText());
    rows.push_back(r);
  }
  return rows;
}

int64_t SimTest::Exec(Session& s, const std::string& sql, const Binds& binds) {
  auto c = s.Prepare(sql);
  for (auto& [k, v] : binds) c->BindByName(k, v);
  c->Execute();
  return c->RowCount();
}

int SimTest::ErrorOf(const std::function<void()>& f, std::string* text) {
  try {
    f();
  } catch (const OraError& e) {
    if (text) *text = e.text;
    return e.code;
  }
  return 0;
}

int RunTool(const std::string& Args, std::string* Out) {
  const std::string cmd = std::string(TALVIK_TEST_BINARY_DIR) + "/oracle_sim/talvik-sim " + Args + " 2>&1";
  std::string text;
  const int code = childwait::RunShell(cmd, &text, ChildProgram::kPatience);
  if (Out) *Out = text;
  return code;
}

bool Await(const std::function<bool()>& Condition, std::chrono::milliseconds Patience) {
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  for (;;) {
    if (Condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace simtest
