// Laying out a toolbar view of many items with images and captions, rows wrapping.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarToolbar.h"

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
    StartHeadlessGui();
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

// One move step of a drag on a dock of 20 chevron toolbars in 4 rows: the dragged toolbar asks for a
// new position on its crowded row and the dock decides every row, position and length again.
void BM_DockArrangeDragStep(benchmark::State& state) {
  std::vector<TBarDockSlot> slots(20);
  for (size_t i = 0; i < slots.size(); ++i) {
    TBarDockSlot& s = slots[i];
    s.DockRow = static_cast<int>(i / 5);
    s.DockPos = static_cast<int>(i % 5) * 190;
    s.BaseLength = 150 + static_cast<int>(i % 3) * 40;
    s.NonClientLength = 10;
    s.MinimumLength = 40;
    s.ShrinkMode = tbsmChevron;
  }
  const TBarDockArrangeParams params{900, false, false, 7};
  int step = 0;
  for (auto _ : state) {
    slots[7].DockPos = 100 + (step++ % 400);
    auto result = ArrangeDockSlots(slots, params);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_DockArrangeDragStep)->Unit(benchmark::kMicrosecond);

// The form of the toolbar benchmarks: a dock of 20 real toolbars of 6 image buttons in 4 rows.
struct DockOfToolbars {
  DockOfToolbars() : images(nullptr, 16, 16) {
    StartHeadlessGui();
    TBitmap strip;
    strip.SetSize(64, 16);
    images.Add(&strip, nullptr);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 900, 400);
    dock = new TBarDock(form.get());
    dock->SetParent(form.get());
    for (int i = 0; i < 20; ++i) {
      auto* t = new TBarToolbar(form.get());
      t->SetName("Bar" + std::to_string(i));
      t->SetImages(&images);
      for (int k = 0; k < 6; ++k) {
        auto* item = new TBarItem(form.get());
        item->SetImageIndex(k % 4);
        t->Items()->Add(item);
      }
      t->SetDockRow(i / 5);
      t->SetDockPos((i % 5) * 190);
      t->SetParent(dock);
      bars.push_back(t);
    }
    form->Show();
  }
  TCustomImageList images;
  std::unique_ptr<TForm> form;
  TBarDock* dock = nullptr;
  std::vector<TBarToolbar*> bars;
};

// The same drag step with real toolbars: the dock lays out every toolbar whose length changed and
// places every window.
void BM_DockArrangeToolbarsDragStep(benchmark::State& state) {
  DockOfToolbars f;
  TBarToolbar* dragged = f.bars[7];
  f.dock->SetDraggingWindow(dragged);
  int step = 0;
  for (auto _ : state) {
    dragged->SetDockPos(100 + (step++ % 400));  // the dock arranges
    benchmark::DoNotOptimize(dragged->Left());
  }
  f.dock->SetDraggingWindow(nullptr);
}
BENCHMARK(BM_DockArrangeToolbarsDragStep)->Unit(benchmark::kMicrosecond);

// The candidate sizes a floating resize starts with (one layout per narrower width).
void BM_FloatingSizes(benchmark::State& state) {
  DockOfToolbars f;
  TBarToolbar* bar = f.bars[0];
  for (int k = 0; k < state.range(0) - 6; ++k) {
    auto* item = new TBarItem(f.form.get());
    item->SetImageIndex(k % 4);
    bar->Items()->Add(item);
  }
  bar->SetFloating(true);
  for (auto _ : state) {
    auto sizes = bar->GetFloatingSizes();
    benchmark::DoNotOptimize(sizes);
  }
}
BENCHMARK(BM_FloatingSizes)->Arg(6)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
