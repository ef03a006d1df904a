// The detail tab's captions and values: 25 labels and 21 data texts painted with their drop shadow
// against the same texts in plain labels and data texts, in one run; the ratios are what the 3D look
// costs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/ZrDBText3D.h"
#include "app/ZrLabel3D.h"
#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kLabels = 25;
const char* const kCaptions[] = {"SID:",       "Serial#:", "Пользователь:", "ОС пользователь:", "Машина:",
                                 "Программа:", "Модуль:",  "Действие:",     "Статус:",          "Ожидание:"};

struct Stage {
  std::unique_ptr<TForm> form;
  Stage() {
    StartHeadlessGui();
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

constexpr int kValues = 21;

template <bool ThreeD>
void BM_PaintDetailValues(benchmark::State& state) {
  Stage stage;
  auto* ds = new TMemDataSet(stage.form.get());
  for (int i = 0; i < kValues; ++i) ds->FieldDefs()->Add("F" + std::to_string(i), ftString, 40);
  std::vector<TVariant> row;
  for (int i = 0; i < kValues; ++i) row.emplace_back(std::string(kCaptions[i % 10]) + " 1234");
  ds->AddRow(row);
  auto* source = new TDataSource(stage.form.get());
  source->SetDataSet(ds);
  ds->Open();
  for (int i = 0; i < kValues; ++i) {
    TDBText* t;
    if constexpr (ThreeD) {
      auto* z = new TZrDBText3D(stage.form.get());
      z->SetBevel(blShadow);
      z->SetShadowColor(clWhite);
      t = z;
    } else {
      t = new TDBText(stage.form.get());
    }
    t->SetParent(stage.form.get());
    t->SetBounds(10 + (i % 3) * 260, 10 + (i / 3) * 22, 250, 20);
    t->SetDataSource(source);
    t->SetDataField("F" + std::to_string(i));
  }
  HWND top = stage.form->Handle();
  talvik::gui::UpdateAllWindows(top);
  for (auto _ : state) {
    InvalidateRect(top, nullptr, true);
    talvik::gui::UpdateAllWindows(top);
  }
}
BENCHMARK(BM_PaintDetailValues<false>)->Name("BM_Paint21DBTexts")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintDetailValues<true>)->Name("BM_Paint21DBTexts3D")->Unit(benchmark::kMicrosecond);

}  // namespace
