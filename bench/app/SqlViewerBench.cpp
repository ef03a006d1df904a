// The session window's statement viewer shown a statement and painted, as each move of the session
// list does: the same statement again (many sessions of one application run the same one) against
// another statement each time (two alternating), a 40-line statement of a few kilobytes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/SqlViewer.h"
#include "bench/HeadlessGui.h"
#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

std::string Statement(int variant) {
  std::string s = "SELECT /* report " + std::to_string(variant) + " */ s.sid, s.serial#, s.username\n";
  for (int i = 0; i < 38; ++i)
    s += "     , NVL(t.column_" + std::to_string(i) + ", 'нет данных') AS c" + std::to_string(i) + "\n";
  return s + "FROM v$session s, app_table t WHERE s.sid = t.sid AND t.state = 'ACTIVE' -- end";
}

struct Viewer {
  std::unique_ptr<TForm> form;
  TCodeEdit* edit = nullptr;
  Viewer() {
    StartHeadlessGui();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 640, 400);
    TCodeSQLHighlighter* h = NewSqlHighlighter(form.get(), "CodeSQLHighlighter");
    edit = NewSqlViewer(form.get(), form.get(), "seSQLText", h, nullptr);
    form->Show();
    talvik::gui::UpdateAllWindows(form->Handle());
  }
};

// Arg 0: the same statement each time; 1: two statements in turn.
void BM_ShowStatementAndPaint(benchmark::State& state) {
  Viewer v;
  const std::string texts[] = {Statement(1), Statement(2)};
  const bool alternate = state.range(0) != 0;
  int turn = 0;
  for (auto _ : state) {
    ShowStatement(v.edit, texts[alternate ? turn : 0]);
    talvik::gui::UpdateAllWindows(v.form->Handle());
    turn ^= 1;
  }
  state.SetLabel(alternate ? "another statement" : "the same statement");
}
BENCHMARK(BM_ShowStatementAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
