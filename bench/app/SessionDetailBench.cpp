// Moving the session list one row with each detail tab open, as the program does it: the arrow key
// posted to the session grid, then every pending message and paint handled, the tab's datasets
// re-queried through their master link, the statement text re-read on the detail tab, the invalidated
// areas painted and handed to the toolkit's window. Beside it the raw prepare, execute and fetch of the
// same tab's statements through the client library's call interface, on the same instance and in the
// same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "bench/app/AppBench.h"
#include "bench/oracle_sim/SimSessionsFill.h"
#include "grid/DBGridEx.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"

namespace {

constexpr int kSessions = 200;
constexpr const char* kCustomSql =
    "SELECT 'Машина: ' || :MACHINE || ', программа: ' || :CLIENT_PROGRAM info FROM dual";

// The window with its panel shown, on an instance with a few hundred sessions.
struct Stage : appbench::TStage {
  std::filesystem::path dir;
  std::string path;
  TSessionForm* form = nullptr;

  Stage() {
    dir = std::filesystem::temp_directory_path() / ("talvik_detail_bench_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "config");
    path = (dir / "sim.db").string();
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    form = appbench::StartProgram(path, appbench::TScreen::Toolkit);
    simbench::AddSessions(path, kSessions);
    form->aSystemSession->Execute();  // the background processes too: every session listed
    form->SetCustomSql(kCustomSql);
    form->aRefresh->Execute();
    form->odsSession->First();
    form->dbgSessionCellClick(nullptr);
    Settle();
  }
  ~Stage() override {
    delete form;
    delete MainForm;
    MainForm = nullptr;
    std::filesystem::remove_all(dir);
  }
  static void Settle() {
    Application->ProcessMessages();
    talvik::gui::UpdateAllWindows(MainForm->Handle());
  }
  void Show(TTabSheet* tab) {
    form->pcSession->SetActivePage(tab);
    form->odsSession->First();
    Settle();
  }
  // One row down, or back up from the second row: the key the user presses, and the screen updated.
  // False when the row stayed where it was.
  bool MoveOneRow() {
    const int was = form->odsSession->RecNo();
    const WORD key = was == 1 ? VK_DOWN : VK_UP;
    PostMessage(form->dbgSession->Handle(), WM_KEYDOWN, key, 0);
    PostMessage(form->dbgSession->Handle(), WM_KEYUP, key, 0);
    Application->ProcessMessages();
    return form->odsSession->RecNo() != was;
  }
  std::string Field(const char* name) { return form->odsSession->FieldByName(name)->AsString(); }
  // Whether the window shows what painting it whole anew shows: the moves left no stale pixel.
  // The toolkit's window holds what the program painted, pixel for pixel.
  static bool ToolkitShowsTheWindow() {
    std::vector<COLORREF> shown;
    int width = 0, height = 0;
    if (!talvik::gui::ToolkitWindowPixels(MainForm->Handle(), shown, width, height)) return false;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (shown[static_cast<std::size_t>(y) * width + x] !=
            talvik::gui::WindowPixel(MainForm->Handle(), x, y))
          return false;
    return true;
  }
  bool ScreenIsCurrent() {
    const std::string shown = (dir / "shown.png").string(), repainted = (dir / "repainted.png").string();
    if (!ToolkitShowsTheWindow()) return false;
    talvik::gui::RenderWindowToPng(MainForm->Handle(), shown);
    RedrawWindow(MainForm->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    talvik::gui::RenderWindowToPng(MainForm->Handle(), repainted);
    auto bytes = [](const std::string& file) {
      std::ifstream in(file, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return bytes(shown) == bytes(repainted);
  }
};

Stage& TheStage() {
  return appbench::TakeStage<Stage>(0);
}

// The tabs by the benchmark's argument.
TTabSheet* Tab(int index) {
  TSessionForm* f = TheStage().form;
  TTabSheet* tabs[] = {f->tsDetail,  f->tsCustomInfo, f->tsTransaction, f->tsLock,
                       f->tsCursors, f->tsStatistics, f->tsEvent};
  return tabs[index];
}

const char* kTabNames[] = {"detail", "custom", "transactions", "locks", "cursors", "statistics", "waits"};

void BM_MoveListOneRowWithTabOpen(benchmark::State& state) {
  Stage& s = TheStage();
  s.Show(Tab(static_cast<int>(state.range(0))));
  for (auto _ : state)
    if (!s.MoveOneRow()) state.SkipWithError("the key did not move the list");
  if (!s.ScreenIsCurrent()) state.SkipWithError("the screen differs from a whole repaint");
  state.SetLabel(kTabNames[state.range(0)]);
  state.counters["listed"] = s.form->odsSession->RecordCount();
}

// The floor under every tab: the same move with the detail panel closed (the session grid's rows and
// scroll bar, the status bar).
void BM_MoveListOneRowPanelClosed(benchmark::State& state) {
  Stage& s = TheStage();
  s.form->sbCloseSessionPanelClick(nullptr);
  Stage::Settle();
  for (auto _ : state)
    if (!s.MoveOneRow()) state.SkipWithError("the key did not move the list");
  if (!s.ScreenIsCurrent()) state.SkipWithError("the screen differs from a whole repaint");
  s.form->dbgSessionCellClick(nullptr);  // the panel back, as a click opens it
  Stage::Settle();
}

// A statement with its bind variables (name → session-list field), as a tab's dataset sends it.
struct RawStatement {
  std::string sql;
  std::vector<std::pair<std::string, std::string>> binds;
};

std::vector<RawStatement> StatementsOf(int tab) {
  TSessionForm* f = TheStage().form;
  auto of = [](TOracleDataSet* ds, std::vector<std::pair<std::string, std::string>> binds) {
    return RawStatement{ds->SQL()->Text(), std::move(binds)};
  };
  switch (tab) {
    case 0: {
      // the statement text; and the custom query, which the panel's set-up opens and leaves open
      // while the detail tab shows (its dataset follows the list like the others)
      std::vector<RawStatement> out{
          {f->oqSQLText->SQL()->Text(),
           {{":SQL_ADDRESS", "SQL_ADDRESS"}, {":SQL_HASH_VALUE", "SQL_HASH_VALUE"}}}};
      if (f->odsCustomInfo->Active())
        out.push_back({kCustomSql, {{":MACHINE", "MACHINE"}, {":CLIENT_PROGRAM", "CLIENT_PROGRAM"}}});
      return out;
    }
    case 1:
      return {{kCustomSql, {{":MACHINE", "MACHINE"}, {":CLIENT_PROGRAM", "CLIENT_PROGRAM"}}}};
    case 2:
      return {of(f->odsTransaction, {{":ADDR", "TADDR"}})};
    case 3:
      return {of(f->odsLock, {{":SID", "SID"}}), of(f->odsLockForWhom, {{":SID", "SID"}}),
              of(f->odsLockWho, {{":SID", "SID"}})};
    case 4:
      return {of(f->odsCursors, {{":SID", "SID"}}),
              {f->oqSQLText->SQL()->Text(),
               {{":SQL_ADDRESS", "SQL_ADDRESS"}, {":SQL_HASH_VALUE", "SQL_HASH_VALUE"}}}};
    case 5:
      return {of(f->odsStatistics, {{":SID", "SID"}})};
    default:
      return {of(f->odsEvent, {{":SID", "SID"}})};
  }
}

// The same statements straight through the call interface, bound to the values of the two rows the
// list moves between, every column fetched as text, 100 rows per fetch.
void BM_RawTabStatements(benchmark::State& state) {
  Stage& s = TheStage();
  const int tab = static_cast<int>(state.range(0));
  std::vector<RawStatement> statements = StatementsOf(tab);
  // the values the binds take on the first two rows
  std::vector<appbench::RawTextSession::TBinds> bound[2];
  s.form->odsSession->First();
  for (auto& row : bound) {
    for (const RawStatement& r : statements) {
      row.emplace_back();
      for (const auto& b : r.binds) row.back().emplace_back(b.first, s.Field(b.second.c_str()));
    }
    s.form->odsSession->Next();
  }
  appbench::RawTextSession raw(100, 16, 256);
  int turn = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < statements.size(); ++i) raw.Run(statements[i].sql, bound[turn][i]);
    turn ^= 1;
  }
  state.SetLabel(kTabNames[tab]);
}

void Tabs(benchmark::internal::Benchmark* b) {
  for (int i = 0; i < 7; ++i) b->Arg(i);
}
BENCHMARK(BM_RawTabStatements)->Apply(Tabs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveListOneRowWithTabOpen)->Apply(Tabs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveListOneRowPanelClosed)->Unit(benchmark::kMillisecond);

}  // namespace
