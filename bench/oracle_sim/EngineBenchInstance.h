// A fresh instance file of its own with a SCOTT session, for the engine benchmarks; removed at exit.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"

struct EngineBenchInstance {
  std::string dir;
  std::shared_ptr<oracle_sim::Instance> inst;
  std::unique_ptr<oracle_sim::Session> s;

  explicit EngineBenchInstance(const std::string& name) {
    dir = (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    inst = oracle_sim::Instance::Open(dir + "/sim.db");
    s = oracle_sim::Session::LogOn(inst, "SCOTT", "TIGER");
  }
  ~EngineBenchInstance() {
    s.reset();
    inst.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// Executes the cursor's query and reads it to the end; the number of rows read.
inline int64_t FetchToEnd(oracle_sim::Cursor& c) {
  c.Execute();
  std::vector<oracle_sim::Value> row;
  int64_t rows = 0;
  while (c.Fetch(row)) ++rows;
  return rows;
}
