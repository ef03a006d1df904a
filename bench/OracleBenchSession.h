// The common start of the Oracle benchmarks: a fresh simulated instance in a temporary folder, the
// client library loaded from the build's simulated home, and SCOTT logged on. The folder goes when
// the object does.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "oracle/OracleQuery.h"
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

  // Inserts Count rows into Table, a thousand at a time through array binds: column c of row n is
  // Value(n, c), bound with the variable type Types[c]. Commits at the end.
  template <class F>
  void Fill(const std::string& Table, int Count, F Value, const std::vector<int>& Types) {
    TOracleQuery q(nullptr);
    q.SetSession(Session());
    std::string vals;
    for (size_t c = 0; c < Types.size(); ++c) {
      vals += (c ? ", :v" : ":v") + std::to_string(c);
      q.DeclareVariable("v" + std::to_string(c), Types[c]);
    }
    q.SQL()->SetText("insert into " + Table + " values (" + vals + ")");
    constexpr int kBatch = 1000;
    for (int start = 0; start < Count; start += kBatch) {
      const int n = std::min(kBatch, Count - start);
      for (size_t c = 0; c < Types.size(); ++c) {
        TVariant a = VarArrayCreate({0, n - 1}, varVariant);
        for (int i = 0; i < n; ++i) a.SetElement(i, Value(start + i, static_cast<int>(c)));
        q.SetVariable("v" + std::to_string(c), a);
      }
      q.Execute();
    }
    Session()->Commit();
  }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<TOracleSession> session_;
};
