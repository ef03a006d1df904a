#include "GridOracleSupport.h"

#include <unistd.h>

#include <filesystem>

#include "oracle/OracleSession.h"
#include "oracle/OracleVisual.h"
#include "oracle_data/OracleData.h"
#include "oracle_sim/engine/Session.h"
#include "oracle_sim/engine/Workload.h"
#include "platform/rtl/Process.h"
#include "rtl/TempDir.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace gridtest {

struct SimSessionList::Impl {
  TempDir dir;
  std::unique_ptr<TOracleSession> session;
  std::unique_ptr<TOracleDataSet> ds;
  std::vector<std::unique_ptr<TOracleDataSet>> queries;
  std::shared_ptr<oracle_sim::Instance> instance;
  std::unique_ptr<oracle_sim::Workload> inProcess;  // a workload stepped by the test
};

SimSessionList::SimSessionList() : impl_(std::make_unique<Impl>()) {
  setenv("TALVIK_SIM_DB", impl_->dir.File("sim.db").c_str(), 1);
  SetCommandLine(std::vector<std::string>{"talvik"});
  InitClientLibrary();
  impl_->session = std::make_unique<TOracleSession>(nullptr);
  impl_->session->SetLogonUsername("system");
  impl_->session->SetLogonPassword("manager");
  impl_->session->SetLogonDatabase("SIM");
  impl_->session->LogOn();
  impl_->ds = std::make_unique<TOracleDataSet>(nullptr);
  impl_->ds->SetSession(impl_->session.get());
  impl_->ds->SQL()->SetText(monitor_sql::kSessionList);
}

SimSessionList::~SimSessionList() {
  impl_->queries.clear();
  impl_->ds.reset();
  impl_->inProcess.reset();
  impl_->instance.reset();
  impl_->session.reset();
  unsetenv("TALVIK_SIM_DB");
}

TDataSet* SimSessionList::DataSet() const {
  return impl_->ds.get();
}

TDataSet* SimSessionList::OpenQuery(const std::string& Sql) {
  auto ds = std::make_unique<TOracleDataSet>(nullptr);
  ds->SetSession(impl_->session.get());
  ds->SQL()->SetText(Sql);
  ds->Open();
  impl_->queries.push_back(std::move(ds));
  return impl_->queries.back().get();
}

void SimSessionList::SetReadOnly(bool Value) {
  impl_->ds->SetReadOnly(Value);
}

void SimSessionList::StartWorkload(int Sessions) {
  impl_->instance = oracle_sim::Instance::Open(impl_->dir.File("sim.db"));
  impl_->inProcess = std::make_unique<oracle_sim::Workload>(impl_->instance, 7);
  oracle_sim::WorkloadShape shape;
  shape.sessions = Sessions;
  shape.busyPercent = 40;
  impl_->inProcess->Shape(shape);
  for (int i = 0; i < 4; ++i) impl_->inProcess->Step();
}

void SimSessionList::StepWorkload() {
  impl_->inProcess->Step();
}

void SimSessionList::SetQBEColors(int32_t FontColor, int32_t BackgroundColor) {
  impl_->ds->QBEDefinition()->SetQBEFontColor(FontColor);
  impl_->ds->QBEDefinition()->SetQBEBackgroundColor(BackgroundColor);
}

void SimSessionList::SetQBEMode(bool Value, TComponent* Form) {
  HeadlessOracleUserInterface().ClearApplicationComponents();
  HeadlessOracleUserInterface().AddApplicationComponent(Form);
  impl_->ds->SetQBEMode(Value);
  HeadlessOracleUserInterface().ClearApplicationComponents();
}

}  // namespace gridtest
