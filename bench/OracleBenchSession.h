// The common start of the Oracle benchmarks: a fresh simulated instance in a temporary folder, the
// client library loaded from the build's simulated home, and SCOTT logged on. The folder goes when
// the object does.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "oracle/OracleSession.h"

class TBenchScottSession {
 public:
  explicit TBenchScottSession(const std::string& Tag) {
    dir_ = std::filesystem::temp_directory_path() / (Tag + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    setenv("TALVIK_SIM_DB", (dir_ / "sim.db").c_str(), 1);
    OCIDLL = TALVIK_SIM_LIBRARY;
    InitClientLibrary();
    session_ = std::make_unique<TOracleSession>(nullptr);
    session_->SetLogonUsername("scott");
    session_->SetLogonPassword("tiger");
    session_->SetLogonDatabase("SIM");
    session_->LogOn();
  }
  ~TBenchScottSession() {
    session_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TBenchScottSession(const TBenchScottSession&) = delete;
  TBenchScottSession& operator=(const TBenchScottSession&) = delete;

  TOracleSession* Session() const { return session_.get(); }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<TOracleSession> session_;
};
