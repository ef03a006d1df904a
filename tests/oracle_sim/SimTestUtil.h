// Shared helpers of the simulated-instance tests: a fresh instance file per test, queries as text.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"

namespace simtest {

using oracle_sim::Instance;
using oracle_sim::OraError;
using oracle_sim::Session;
using oracle_sim::Value;

using Rows = std::vector<std::vector<std::string>>;
using Binds = std::map<std::string, Value>;

// A new instance file (copied from one created once per test program).
std::string FreshInstancePath();

// Runs talvik-sim with Args (the shell's words) to its end: its exit code, what it wrote in Out. One
// that hangs is killed and fails the test (-1).
int RunTool(const std::string& Args, std::string* Out = nullptr);

// Waits at most Patience for Condition to hold, looking every 20 ms: whether it did.
bool Await(const std::function<bool()>& Condition, std::chrono::milliseconds Patience);

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::unique_ptr<Session> LogOn(const std::string& user, const std::string& password);
  // Runs a query; every value as Oracle's text conversion shows it ("" for NULL).
  Rows Query(Session& s, const std::string& sql, const Binds& binds = {});
  int64_t Exec(Session& s, const std::string& sql, const Binds& binds = {});
  // The Oracle error code `f` raises (0 when it succeeds) and its text in `text`.
  int ErrorOf(const std::function<void()>& f, std::string* text = nullptr);

  std::string path_;
  std::shared_ptr<Instance> instance_;
  std::unique_ptr<Session> system_;
  std::unique_ptr<Session> scott_;
};

}  // namespace simtest
