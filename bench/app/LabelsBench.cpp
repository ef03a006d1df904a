// The detail tab's captions: 25 labels painted with their drop shadow against the same texts in plain
// labels, in one run; the ratio is what the 3D look costs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/ZrLabel3D.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kLabels = 25;
const char* const kCaptions[] = {"SID:",       "Serial#:", "Пользователь:", "ОС пользователь:", "Машина:",
                                 "Программа:", "Модуль:",  "Действие:",     "Статус:",          "Ожидание:"};

struct Stage {
  std::unique_ptr<TForm> form;
  Stage() {
    talvik::gui::UseQtBackend();
    talvik::gui::SetBackend(nullptr);
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    form->Show();
  }
};

template <class Label>
void Place(TForm* form, int i, Label* l) {
  l->SetParent(form);
  l->SetAutoSize(false);
  l->SetBounds(10 + (i % 3) * 260, 10 + (i / 3) * 22, 250, 20);
  l->SetCaption(kCaptions[i % 10]);
}

template <bool ThreeD>
void BM_PaintDetailCaptions(benchmark::State& state) {
  Stage stage;
  for (int i = 0; i < kLabels; ++i) {
    if constexpr (ThreeD) {
      auto* l = new TZrLabel3D(stage.form.get());
      Place(stage.form.get(), i, l);
      l->SetBevel(blShadow);
      l->SetShadowColor(clWhite);
    } else {
      Place(stage.form.get(), i, new TLabel(stage.form.get()));
    }
  }
  HWND top = stage.form->Handle();
  talvik::gui::UpdateAllWindows(top);
  for (auto _ : state) {
    InvalidateRect(top, nullptr, true);
    talvik::gui::UpdateAllWindows(top);
  }
}
BENCHMARK(BM_PaintDetailCaptions<false>)->Name("BM_Paint25Labels")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintDetailCaptions<true>)->Name("BM_Paint25Labels3D")->Unit(benchmark::kMicrosecond);

}  // namespace
