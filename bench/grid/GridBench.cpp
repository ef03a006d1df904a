// Painting edit-button faces through the face cache beside painting them directly, and walking
// 100,000 records with a grid attached beside a bare data link of the same buffer count.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/EditButtons.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kRecords = 100000;

void DrawFaces(benchmark::State& state, bool cached) {
  StartHeadlessGui();
  TBitmap target;
  target.SetSize(200, 20);
  HDC dc = target.Canvas()->Handle();
  SetButtonsBitmapCacheEnabled(cached);
  static constexpr TDrawButtonControlStyleEx kStyles[] = {bcsDropDownEx, bcsEllipsisEx, bcsUpDownEx,
                                                          bcsCheckboxEx};
  int i = 0;
  for (auto _ : state) {
    const TDrawButtonControlStyleEx style = kStyles[i++ % 4];
    DrawEditButton(dc, Rect(10, 1, 27, 18), clWindow, style, 0, false, false, true, cbChecked);
  }
  SetButtonsBitmapCacheEnabled(true);
}

void BM_DrawEditButtonCached(benchmark::State& state) {
  DrawFaces(state, true);
}
void BM_DrawEditButtonDirect(benchmark::State& state) {
  DrawFaces(state, false);
}
BENCHMARK(BM_DrawEditButtonCached);
BENCHMARK(BM_DrawEditButtonDirect);

TMemDataSet* Records() {
  static TMemDataSet* ds = [] {
    auto* d = new TMemDataSet(nullptr);  // lives to the end of the program
    d->FieldDefs()->Add("ID", ftInteger);
    d->FieldDefs()->Add("NAME", ftString, 20);
    d->FieldDefs()->Add("CPU", ftFloat);
    for (int i = 0; i < kRecords; ++i) d->AddRow({i, "session " + std::to_string(i), i * 0.5});
    d->Open();
    return d;
  }();
  return ds;
}

class TBareLink : public TDataLink {};

void Walk(benchmark::State& state, TDataSet* ds) {
  for (auto _ : state) {
    ds->First();
    while (!ds->Eof()) ds->Next();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The grid's own work per record: its window exists (so it keeps its rows and buffer) but is not
// shown, so nothing is painted.
void BM_NextWithGrid(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet* ds = Records();
  TDataSource source(nullptr);
  source.SetDataSet(ds);
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 640, 400);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetBounds(0, 0, 620, 380);
  grid->HandleNeeded();
  grid->SetDataSource(&source);
  state.counters["buffer"] = grid->DataLink()->BufferCount();
  Walk(state, ds);
  grid->SetDataSource(nullptr);
}

// The same on a shown form: every step repaints the data rows at once (2,000 records a walk).
void BM_NextWithGridShown(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet* ds = Records();
  TDataSource source(nullptr);
  source.SetDataSet(ds);
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 640, 400);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetBounds(0, 0, 620, 380);
  form.Show();
  grid->SetDataSource(&source);
  state.counters["buffer"] = grid->DataLink()->BufferCount();
  constexpr int kSteps = 2000;
  for (auto _ : state) {
    ds->First();
    for (int i = 0; i < kSteps; ++i) ds->Next();
  }
  state.SetItemsProcessed(state.iterations() * kSteps);
  grid->SetDataSource(nullptr);
}

void BM_NextBareLink(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet* ds = Records();
  TDataSource source(nullptr);
  source.SetDataSet(ds);
  // the buffer count a grid of that size takes
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 640, 400);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetBounds(0, 0, 620, 380);
  grid->HandleNeeded();
  grid->SetDataSource(&source);
  const int buffer = grid->DataLink()->BufferCount();
  grid->SetDataSource(nullptr);
  TBareLink link;
  link.SetDataSource(&source);
  link.SetBufferCount(buffer);
  state.counters["buffer"] = buffer;
  Walk(state, ds);
  link.SetDataSource(nullptr);
}
BENCHMARK(BM_NextWithGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextWithGridShown)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_NextBareLink)->Unit(benchmark::kMillisecond);

}  // namespace
