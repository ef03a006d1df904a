// Popup menus and actions: opening (measuring, painting) a 200-item popup menu and closing it, and
// the idle-time update of 500 actions of a shown form.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinManager.h"

namespace {

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  talvik::gui::UseQtBackend();
  talvik::gui::SetBackend(nullptr);
  CreateApplication();
}

void BM_PopupMenu200Items(benchmark::State& state) {
  Setup();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  form.Show();
  auto* menu = new TPopupMenu(&form);
  for (int i = 0; i < 200; ++i) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(i % 10 == 9 ? "-" : "Сеанс номер " + std::to_string(i));
    item->SetChecked(i % 3 == 0);
    item->SetShortCut(i < 12 ? static_cast<TShortCut>(0x70 + i) : 0);  // F1..F12
    menu->Items()->Add(item);
  }
  // each open paints the menu once, then closes at its first idle moment
  int hook = Application->HookMainWindow([](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE) return false;
    for (HWND w : OpenMenuWindows()) UpdateWindow(w);
    PostMessage(GetFocus(), WM_KEYDOWN, 0x1B /* VK_ESCAPE */, 0);
    return true;
  });
  for (auto _ : state) menu->Popup(10, 10);
  Application->UnhookMainWindow(hook);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PopupMenu200Items)->Unit(benchmark::kMillisecond);

void BM_IdleUpdate500Actions(benchmark::State& state) {
  Setup();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* list = new TActionList(&form);
  int updates = 0;
  for (int i = 0; i < 500; ++i) {
    auto* a = new TAction(&form);
    a->SetActionList(list);
    a->SetCaption("Действие " + std::to_string(i));
    if (i % 2)
      a->OnUpdate = [&updates, a, i](TObject*) {
        ++updates;
        a->SetEnabled(i % 4 == 1);
      };
    else
      a->SetOnExecute([](TObject*) {});
  }
  form.Show();
  for (auto _ : state) Application->DoActionIdle();
  state.SetItemsProcessed(state.iterations() * 500);
  benchmark::DoNotOptimize(updates);
}
BENCHMARK(BM_IdleUpdate500Actions)->Unit(benchmark::kMicrosecond);

}  // namespace
