// What the program's benchmarks share: the program's main window and session window started on a
// simulated instance (logged on without the logon dialog), and a statement run straight through the
// client library's call interface with every column fetched as text.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
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
  // the build's simulated client library, whatever Oracle home the environment names (or none)
  OCIDLL = TALVIK_SIM_LIBRARY;
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

// What a benchmark file starts the program for. The program's forms are the process's own, so one
// stage lives at a time: taking another (of another file, or of the same type for another Key) ends
// the one before.
class TStage {
 public:
  virtual ~TStage() = default;
};

struct TCurrentStage {
  std::unique_ptr<TStage> stage;
  const void* type = nullptr;
  int key = 0;
};
inline TCurrentStage& CurrentStage() {
  static TCurrentStage current;
  return current;
}

// The stage S for Key, made with Args when it is not the current one.
template <class S, class... Args>
S& TakeStage(int Key, Args&&... A) {
  static const char type = 0;
  TCurrentStage& current = CurrentStage();
  if (current.type != &type || current.key != Key) {
    current.stage.reset();
    current.stage = std::make_unique<S>(std::forward<Args>(A)...);
    current.type = &type;
    current.key = Key;
    // ended at exit before what the program made while it started (registered after it) is gone
    static const bool endedAtExit = std::atexit([] { CurrentStage().stage.reset(); }) == 0;
    (void)endedAtExit;
  }
  return static_cast<S&>(*current.stage);
}

// A session of its own through the call interface on the program's instance, logged on as SYSTEM,
// running statements with every column defined as text: Array rows a fetch, up to Columns columns
// of Width bytes.
class RawTextSession {
 public:
  using TBinds = std::vector<std::pair<std::string, std::string>>;  // placeholder → value

  RawTextSession(ub4 Array, int Columns, int Width)
      : array_(Array),
        columns_(Columns),
        width_(Width),
        data_(static_cast<std::size_t>(Array) * Columns * Width),
        ind_(static_cast<std::size_t>(Array) * Columns),
        len_(static_cast<std::size_t>(Array) * Columns) {
    OCIEnvCreate(&env_, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&err_), OCI_HTYPE_ERROR, 0, nullptr);
    Check(OCILogon(env_, err_, &svc_, T("system"), 6, T("manager"), 7, T("SIM"), 3), err_, "logon");
  }
  ~RawTextSession() {
    OCILogoff(svc_, err_);
    OCIHandleFree(env_, OCI_HTYPE_ENV);
  }
  RawTextSession(const RawTextSession&) = delete;
  RawTextSession& operator=(const RawTextSession&) = delete;

  // Prepares Sql, binds each value as a string, executes, defines the columns and fetches every row;
  // the number of rows fetched.
  int64_t Run(const std::string& Sql, const TBinds& Binds = {}) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env_, reinterpret_cast<dvoid**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(st, err_, T(Sql.c_str()), static_cast<ub4>(Sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    for (const auto& [name, value] : Binds) {
      OCIBind* bind = nullptr;
      OCIBindByName(st, &bind, err_, T(name.c_str()), static_cast<sb4>(name.size()),
                    const_cast<char*>(value.c_str()), static_cast<sb4>(value.size() + 1), SQLT_STR, nullptr,
                    nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    }
    Check(OCIStmtExecute(svc_, st, err_, 0, 0, nullptr, nullptr, OCI_DEFAULT), err_, "execute");
    ub4 columns = 0;
    OCIAttrGet(st, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err_);
    for (ub4 c = 0; c < columns && c < static_cast<ub4>(columns_); ++c) {
      OCIDefine* d = nullptr;
      const std::size_t at = static_cast<std::size_t>(c) * array_;
      OCIDefineByPos(st, &d, err_, c + 1, &data_[at * width_], width_, SQLT_STR, &ind_[at], &len_[at],
                     nullptr, OCI_DEFAULT);
    }
    int64_t rows = 0;
    for (;;) {
      const sword rc = OCIStmtFetch2(st, err_, array_, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      ub4 got = 0;
      OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err_);
      rows += got;
      if (rc == OCI_NO_DATA) break;
      Check(rc, err_, "fetch");
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
    return rows;
  }

 private:
  ub4 array_;
  int columns_, width_;
  std::vector<char> data_;
  std::vector<sb2> ind_;
  std::vector<ub2> len_;
  OCIEnv* env_ = nullptr;
  OCIError* err_ = nullptr;
  OCISvcCtx* svc_ = nullptr;
};

// Runs `Sql` once per iteration through the call interface on a session of its own, a thousand rows a
// fetch. Counts the rows fetched per iteration.
inline void RawFetchEveryRow(benchmark::State& State, const std::string& Sql) {
  RawTextSession raw(1000, 27, 256);
  int64_t rows = 0;
  for (auto _ : State) rows += raw.Run(Sql);
  State.counters["rows"] = static_cast<double>(rows) / static_cast<double>(State.iterations());
}

}  // namespace appbench
