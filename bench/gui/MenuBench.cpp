// Popup menus and actions: opening (measuring, painting) a 200-item popup menu and closing it, beside
// its floor, the same with a change before each opening, and the idle-time update of 500 actions of a
// shown form.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "bench/HeadlessGui.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PaintFloor.h"
#include "platform/gui/WinManager.h"

namespace {

// A popup of 200 items (every tenth a separator, every third checked, the first twelve with
// shortcuts) on a shown form.
TPopupMenu* MakePopup(TForm& form) {
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
  return menu;
}

// Opens the popup once, running `painted` for each of its windows at its first idle moment, then
// closes it.
void OpenOnce(TPopupMenu* menu, const std::function<void(HWND)>& painted) {
  static std::function<void(HWND)> current;
  current = painted;
  int hook = Application->HookMainWindow([](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE) return false;
    for (HWND w : OpenMenuWindows()) current(w);
    PostMessage(GetFocus(), WM_KEYDOWN, 0x1B /* VK_ESCAPE */, 0);
    return true;
  });
  menu->Popup(10, 10);
  Application->UnhookMainWindow(hook);
}

void BM_PopupMenu200Items(benchmark::State& state) {
  StartHeadlessGui();
  TForm form(nullptr);
  TPopupMenu* menu = MakePopup(form);
  // each open paints the menu once, then closes at its first idle moment
  for (auto _ : state) OpenOnce(menu, [](HWND w) { UpdateWindow(w); });
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PopupMenu200Items)->Unit(benchmark::kMillisecond);

// The same menu with one item's check mark turned over before each opening: every opening paints
// the whole menu.
void BM_PopupMenu200ItemsChangedEachOpen(benchmark::State& state) {
  StartHeadlessGui();
  TForm form(nullptr);
  TPopupMenu* menu = MakePopup(form);
  TMenuItem* first = menu->Items()->Items(0);
  for (auto _ : state) {
    first->SetChecked(!first->Checked());
    OpenOnce(menu, [](HWND w) { UpdateWindow(w); });
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PopupMenu200ItemsChangedEachOpen)->Unit(benchmark::kMillisecond);

// Its floor: the same opening, measuring and closing, the menu's picture (taken once from the
// layer's paint) put into its window with one image draw where the layer paints it.
struct FloorPaint {
  static inline talvik::gui::TPaintFloor* floor = nullptr;
  static inline WNDPROC layers = nullptr;
  static inline HWND form = nullptr;
  static LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_ERASEBKGND) return 1;
    if (m == WM_PAINT && !w) {
      PAINTSTRUCT ps;
      BeginPaint(h, ps);
      EndPaint(h, ps);
      floor->PaintInto(h);
      return 0;
    }
    return CallWindowProc(layers, h, m, w, l);
  }
  // Every window shown takes the floor's paint instead of the layer's.
  static LRESULT Hook(int code, WPARAM w, LPARAM l) {
    auto* cwp = reinterpret_cast<CWPSTRUCT*>(l);
    if (code == HC_ACTION && cwp->message == WM_SHOWWINDOW && cwp->wParam && cwp->hwnd != form &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtr(cwp->hwnd, GWL_WNDPROC)) != Proc) {
      layers = reinterpret_cast<WNDPROC>(
          SetWindowLongPtr(cwp->hwnd, GWL_WNDPROC, reinterpret_cast<std::intptr_t>(&Proc)));
    }
    return CallNextHookEx(nullptr, code, w, l);
  }
};

void BM_PopupMenu200ItemsFloor(benchmark::State& state) {
  StartHeadlessGui();
  TForm form(nullptr);
  TPopupMenu* menu = MakePopup(form);
  talvik::gui::TPaintFloor floor(1, 1, 0);
  int windows = 0;
  OpenOnce(menu, [&](HWND w) {
    floor.Capture(w);
    ++windows;
  });
  state.counters["windows"] = windows;
  FloorPaint::floor = &floor;
  FloorPaint::form = form.Handle();
  HHOOK hook = SetWindowsHookEx(WH_CALLWNDPROC, FloorPaint::Hook, nullptr, 0);
  // what the menu window shows after the floor painted it is the layer's picture
  long differing = 0;
  OpenOnce(menu, [&](HWND w) {
    RECT r;
    GetWindowRect(w, r);
    differing += floor.DifferingPixels(w, Rect(0, 0, r.Width(), r.Height()), {0, 0});
  });
  state.counters["differing_pixels"] = static_cast<double>(differing);
  for (auto _ : state) OpenOnce(menu, [](HWND) {});
  UnhookWindowsHookEx(hook);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PopupMenu200ItemsFloor)->Unit(benchmark::kMillisecond);

void BM_IdleUpdate500Actions(benchmark::State& state) {
  StartHeadlessGui();
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
