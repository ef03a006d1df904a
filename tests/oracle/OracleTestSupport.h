// A fresh simulated instance per test, and sessions on it in either call generation.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "oracle/Oracle.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Process.h"
#include "rtl/TempDir.h"

class SimInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TALVIK_SIM_DB", InstancePath().c_str(), 1);
    SetCommandLine(std::vector<std::string>{"talvik"});
    InitClientLibrary();
  }
  void TearDown() override { unsetenv("TALVIK_SIM_DB"); }

  // The test's instance file: the simulated home's alias SIM leads there.
  std::string InstancePath() const { return (dir_ / "sim.db").string(); }

  // A connected session; HostCalls chooses the older call generation.
  static std::unique_ptr<TOracleSession> Connect(bool HostCalls, const std::string& User = "scott",
                                                 const std::string& Password = "tiger") {
    auto s = std::make_unique<TOracleSession>(nullptr);
    s->Preferences()->SetUseOCI7(HostCalls);
    s->SetLogonUsername(User);
    s->SetLogonPassword(Password);
    s->SetLogonDatabase("SIM");
    s->LogOn();
    return s;
  }

  static std::unique_ptr<TOracleQuery> Query(TOracleSession* Session, const std::string& SQL) {
    auto q = std::make_unique<TOracleQuery>(nullptr);
    q->SetSession(Session);
    q->SQL()->SetText(SQL);
    return q;
  }

  // A query of SQL with Object (an object, REF, LOB locator, cursor ...) bound as variable Name of Type.
  static std::unique_ptr<TOracleQuery> QueryWith(TOracleSession* Session, const std::string& SQL,
                                                 const std::string& Name, int Type, TObject* Object) {
    auto q = Query(Session, SQL);
    q->DeclareVariable(Name, Type);
    q->SetComplexVariable(Name, Object);
    return q;
  }

  static void Run(TOracleSession* Session, const std::string& SQL) { Query(Session, SQL)->Execute(); }

  // The message of the exception F raises ("" when none).
  static std::string Raised(const std::function<void()>& F) {
    try {
      F();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }
  static int OracleCode(const std::function<void()>& F) {
    try {
      F();
    } catch (const EOracleError& e) {
      return e.ErrorCode();
    }
    return 0;
  }

  TempDir folder_;
  std::filesystem::path dir_{folder_.Path()};
};

// The same tests in both call generations.
class BothModesTest : public SimInstanceTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool HostCalls() const { return GetParam(); }
  std::unique_ptr<TOracleSession> Connect() { return SimInstanceTest::Connect(HostCalls()); }
};

// One handle-mode SCOTT session on a fresh instance for each test.
class ScottSessionTest : public SimInstanceTest {
 protected:
  void SetUp() override {
    SimInstanceTest::SetUp();
    session_ = Connect(false);
  }
  void TearDown() override {
    session_.reset();
    SimInstanceTest::TearDown();
  }
  TOracleSession* S() { return session_.get(); }

  std::unique_ptr<TOracleSession> session_;
};
