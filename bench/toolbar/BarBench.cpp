// Laying out a toolbar view of many items with images and captions, rows wrapping.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarPopup.h"

namespace {

class BenchView : public TBarView {
 public:
  BenchView(TBarCustomItem* Root) : TBarView(nullptr, nullptr, Root, nullptr, true, false, false) {
    font_.SetName("Tahoma");
    font_.SetHeight(-11);
  }
  TFont* GetFont() override { return &font_; }

 private:
  TFont font_;
};

void BM_CalculatePositions(benchmark::State& state) {
  static bool started = [] {
    talvik::gui::UseQtBackend();
    talvik::gui::SetBackend(nullptr);
    return true;
  }();
  (void)started;
  TComponent owner(nullptr);
  TCustomImageList images(nullptr, 16, 16);
  TBitmap strip;
  strip.SetSize(64, 16);
  images.Add(&strip, nullptr);
  auto* root = new TBarRootItem(&owner);
  const int count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i) {
    if (i % 8 == 7) {
      root->Add(new TBarSeparatorItem(&owner));
      continue;
    }
    auto* item = new TBarItem(&owner);
    item->SetCaption("Команда &" + std::to_string(i));
    item->SetImages(&images);
    item->SetImageIndex(i % 4);
    item->SetDisplayMode(nbdmImageAndText);
    root->Add(item);
  }
  BenchView view(root);
  for (auto _ : state) {
    auto r = view.CalculatePositions(true, tbvoHorizontal, 0, 0, 1200);
    benchmark::DoNotOptimize(r);
  }
  state.SetComplexityN(count);
}
BENCHMARK(BM_CalculatePositions)->Arg(50)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond)->Complexity();

// Opening a popup of many items, through its first complete paint (no animation).
void BM_OpenPopup(benchmark::State& state) {
  static bool started = [] {
    talvik::gui::UseQtBackend();
    talvik::gui::SetBackend(nullptr);
    CreateApplication();
    MONITORINFO mi;
    mi.rcMonitor = mi.rcWork = Rect(0, 0, 1024, 768);
    mi.dwFlags = MONITORINFOF_PRIMARY;
    talvik::gui::SetScreens({mi});
    SystemParametersInfo(SPI_SETMENUANIMATION, 0, nullptr, 0);
    return true;
  }();
  (void)started;
  TComponent owner(nullptr);
  TCustomImageList images(nullptr, 16, 16);
  TBitmap strip;
  strip.SetSize(64, 16);
  images.Add(&strip, nullptr);
  auto* menu = new TBarSubmenuItem(&owner);
  menu->SetSubMenuImages(&images);
  const int count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i) {
    if (i % 8 == 7) {
      menu->Add(new TBarSeparatorItem(&owner));
      continue;
    }
    auto* item = new TBarItem(&owner);
    item->SetCaption("Команда &" + std::to_string(i));
    item->SetImageIndex(i % 4);
    item->SetShortCut(static_cast<TShortCut>(0x4000 | ('A' + i % 26)));
    menu->Add(item);
  }
  for (auto _ : state) {
    std::unique_ptr<TBarPopupWindow> popup(
        menu->BuildSubmenuPopup(nullptr, nullptr, false, false, false, TPoint(100, 50), tbpaLeft));
    talvik::gui::UpdateAllWindows(popup->Handle());
    benchmark::DoNotOptimize(popup.get());
    state.PauseTiming();
    popup.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(count);
}
BENCHMARK(BM_OpenPopup)
    ->Arg(50)
    ->Arg(500)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
