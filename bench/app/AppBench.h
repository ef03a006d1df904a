// What the program's benchmarks share: the program's main window and session window started on a
// simulated instance (logged on without the logon dialog), and a statement run straight through the
// client library's call interface with every column fetched as text.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "bench/oracle_sim/OciBenchSession.h"
#include "oracle/OracleSession.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"

namespace appbench {

// The main window without its start-up logon: the benchmark logs its session on itself.
class TBenchMainForm : public TMainForm {
 public:
  explicit TBenchMainForm(TComponent* AOwner) : TMainForm(AOwner) { OnCreate = nullptr; }
};

// How the program's windows reach the screen: painted into their images only, or also shown through
// the toolkit (each painted area handed to the toolkit's window and copied to its backing store, as
// on a desktop; offscreen when QT_QPA_PLATFORM says so).
enum class TScreen { ImagesOnly, Toolkit };

// Starts the program on the instance file `Path` (made when missing): a 1024 × 768 main window logged
// on as SYSTEM, and its session window. Message boxes answer OK.
inline TSessionForm* StartProgram(const std::string& Path, TScreen Screen = TScreen::ImagesOnly) {
  setenv("TALVIK_SIM_DB", Path.c_str(), 1);
  talvik::gui::UseQtBackend();
  if (Screen == TScreen::ImagesOnly) talvik::gui::SetBackend(nullptr);
  talvik::gui::SetMessageBoxHandler([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
  SetCommandLine(std::vector<std::string>{"talvik"});
  InitClientLibrary();
  CreateApplication();
  TBenchMainForm* main = nullptr;
  Application->CreateForm(main);
  MainForm = main;
  main->SetBounds(0, 0, 1024, 768);
  main->Show();
  main->OracleSession->SetLogonUsername("system");
  main->OracleSession->SetLogonPassword("manager");
  main->OracleSession->SetLogonDatabase("SIM");
  main->OracleSession->LogOn();
  TSessionForm* form = nullptr;
  Application->CreateForm(form);
  return form;
}

// Runs `Sql` once per iteration through the call interface on a session of its own: prepare, execute,
// every column defined as text, a thousand rows a fetch. Counts the rows fetched per iteration.
inline void RawFetchEveryRow(benchmark::State& State, const std::string& Sql) {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
  OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
  Check(OCILogon(env, err, &svc, T("system"), 6, T("manager"), 7, T("SIM"), 3), err, "logon");
  constexpr ub4 kArray = 1000;
  constexpr int kColumns = 27, kWidth = 256;
  std::vector<char> data(static_cast<std::size_t>(kArray) * kColumns * kWidth);
  std::vector<sb2> ind(kArray * kColumns);
  std::vector<ub2> len(kArray * kColumns);
  int64_t rows = 0;
  for (auto _ : State) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(st, err, T(Sql.c_str()), static_cast<ub4>(Sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    Check(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), err, "execute");
    for (int c = 0; c < kColumns; ++c) {
      OCIDefine* d = nullptr;
      OCIDefineByPos(st, &d, err, static_cast<ub4>(c + 1),
                     &data[static_cast<std::size_t>(c) * kArray * kWidth], kWidth, SQLT_STR, &ind[c * kArray],
                     &len[c * kArray], nullptr, OCI_DEFAULT);
    }
    for (;;) {
      sword rc = OCIStmtFetch2(st, err, kArray, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      ub4 got = 0;
      OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err);
      rows += got;
      if (rc == OCI_NO_DATA) break;
      Check(rc, err, "fetch");
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
  }
  State.counters["rows"] = static_cast<double>(rows) / static_cast<double>(State.iterations());
  OCILogoff(svc, err);
  OCIHandleFree(env, OCI_HTYPE_ENV);
}

}  // namespace appbench
