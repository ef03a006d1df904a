// The standard controls' hot paths: a list view taking a new row at the top and repainting, and a
// memo taking a typed character, each at a small and a large size; the pairs should cost the same.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

namespace {

struct Stage {
  std::unique_ptr<TForm> form;
  Stage() {
    talvik::gui::UseQtBackend();
    talvik::gui::SetBackend(nullptr);  // no desktop windows: the layer alone is measured
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 640, 480);
    form->Show();
  }
};

// A list view of `rows` rows; each iteration inserts one at the top and paints the view.
void BM_ListViewInsertAtTopAndRepaint(benchmark::State& state) {
  Stage stage;
  auto* lv = new TListView(stage.form.get());
  lv->SetParent(stage.form.get());
  lv->SetBounds(0, 0, 600, 400);
  for (const char* c : {"Время", "SID", "Событие", "Пользователь", "Программа"})
    lv->Columns()->Add()->SetCaption(c);
  lv->Items()->BeginUpdate();
  for (int i = 0; i < state.range(0); ++i) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption("12:00:00");
    for (const char* s : {"142", "enq: TX - row lock contention", "SCOTT", "sqlplus.exe"})
      it->SubItems()->Add(s);
  }
  lv->Items()->EndUpdate();
  HWND top = stage.form->Handle();
  talvik::gui::UpdateAllWindows(top);
  for (auto _ : state) {
    TListItem* it = lv->Items()->Insert(0);
    it->SetCaption("12:00:01");
    it->SubItems()->Add("7");
    it->SubItems()->Add("enq: TM - contention");
    talvik::gui::UpdateAllWindows(top);
    state.PauseTiming();
    lv->Items()->Delete(0);  // the list keeps its size
    talvik::gui::UpdateAllWindows(top);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ListViewInsertAtTopAndRepaint)->Arg(100)->Arg(20000)->Unit(benchmark::kMicrosecond);

// A memo of `lines` lines; each iteration types a character on the line `at` and paints.
void BM_MemoTypeAtLine(benchmark::State& state) {
  Stage stage;
  auto* memo = new TMemo(stage.form.get());
  memo->SetParent(stage.form.get());
  memo->SetBounds(0, 0, 600, 400);
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "SELECT sid, serial#, username FROM v$session WHERE sid = " + std::to_string(i) + "\r\n";
  memo->SetText(text);
  memo->SetFocus();
  int line = static_cast<int>(state.range(0));
  memo->SetCaretPos({10, line - 1});
  HWND top = stage.form->Handle();
  talvik::gui::UpdateAllWindows(top);
  for (auto _ : state) {
    SendMessage(memo->Handle(), WM_CHAR, U'ж', 0);
    talvik::gui::UpdateAllWindows(top);
    state.PauseTiming();
    SendMessage(memo->Handle(), WM_CHAR, 8, 0);  // back to the same text
    talvik::gui::UpdateAllWindows(top);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MemoTypeAtLine)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
