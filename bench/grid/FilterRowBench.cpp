// Typing into a filter cell that holds a long text (100 to 10,000 characters, quotes and brackets,
// read as a condition or not): one key and its Backspace, typed into the shown cell and through the
// grid into a cell with no room, beside the filter parser alone reading the same text; and a column's
// title dragged onto another's and back while a filter cell is edited.
#include <benchmark/benchmark.h>

#include <cctype>
#include <memory>
#include <string>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DatasetFeatures.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

// A text of about Length bytes: one quoted value (a condition that reads) or words with quotes and
// brackets (one that does not).
std::string FilterText(int64_t Length, bool Readable) {
  std::string text = Readable ? "~ '" : "";
  while (static_cast<int64_t>(text.size()) < Length)
    text += Readable ? "x''y (z) [w] " : "a'b (c) [d] \"e\" ";
  if (Readable) text += "'";
  return text;
}

// A focused grid over a string column whose filter cell is being edited.
struct Fixture {
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  explicit Fixture(bool Room) {
    StartHeadlessGui();
    ds.FieldDefs()->Add("NAME", ftString, 20);
    for (int i = 0; i < 20; ++i) ds.AddRow({"session " + std::to_string(i)});
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 640, 400);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 620, 380);
    grid->SetDataSource(&source);
    ds.Open();
    grid->STFilter()->SetVisible(true);
    form->Show();
    grid->SetFocus();
    grid->ShowFilterEditor(0);
    talvik::gui::ProcessPending();
    if (!Room) {
      // the cell loses its room: the editor hides and the grid keeps the focus
      grid->SetBounds(0, 0, 35, 14);
      grid->ShowFilterEditor(0);
      talvik::gui::ProcessPending();
    }
  }
  ~Fixture() {
    form.reset();
    talvik::gui::ProcessPending();
  }
};

void Key(WORD Vk, char32_t Ch) {
  talvik::gui::InjectKey(Vk, true, Ch, {});
  talvik::gui::InjectKey(Vk, false, 0, {});
  talvik::gui::ProcessPending();
}

void TypeInto(benchmark::State& state, bool Room) {
  Fixture f(Room);
  const std::string text = FilterText(state.range(0), state.range(1) != 0);
  f.grid->FilterEditor()->SetText(text);
  talvik::gui::ProcessPending();
  for (auto _ : state) {
    Key('Q', U'q');
    Key(VK_BACK, 8);
  }
  if (f.grid->FilterEditor()->Text() != text) state.SkipWithError("the cell's text changed");
  state.SetItemsProcessed(state.iterations() * 2);  // keys
  state.SetLabel(state.range(1) ? "reads" : "does not read");
}

void BM_FilterCellKey(benchmark::State& state) {
  TypeInto(state, true);
}
void BM_FilterCellKeyThroughTheGrid(benchmark::State& state) {
  TypeInto(state, false);
}

// A grid over three columns with the filter cell of the middle one edited, "bo" typed: the last
// column's title dragged onto the first one's and back (two moves of the columns).
void BM_FilterCellTitleDrag(benchmark::State& state) {
  StartHeadlessGui();
  TMemDataSet ds;
  TDataSource source{nullptr};
  ds.FieldDefs()->Add("N", ftInteger);
  ds.FieldDefs()->Add("NAME", ftString, 20);
  ds.FieldDefs()->Add("SALARY", ftFloat);
  for (int i = 0; i < 20; ++i) ds.AddRow({i, "session " + std::to_string(i), i * 12.5});
  source.SetDataSet(&ds);
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 640, 400);
  auto* grid = new TDBGridEx(form.get());
  grid->SetParent(form.get());
  grid->SetBounds(0, 0, 620, 380);
  for (const char* n : {"N", "NAME", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
  grid->SetDataSource(&source);
  ds.Open();
  grid->STFilter()->SetVisible(true);
  form->Show();
  grid->SetFocus();
  grid->ShowFilterEditor(1);
  talvik::gui::ProcessPending();
  for (char32_t c : {U'b', U'o'}) Key(static_cast<WORD>(std::toupper(static_cast<int>(c))), c);
  auto drag = [&](int From, int To) {
    const TRect from = grid->CellRect(grid->DataToRawColumn(From), 0),
                to = grid->CellRect(grid->DataToRawColumn(To), 0);
    auto at = [&](UINT Message, int X) {
      const TPoint p = grid->ClientToScreen(TPoint{X, from.Top + 3});
      talvik::gui::InjectMouse(Message, POINT{p.X, p.Y});
      talvik::gui::ProcessPending();
    };
    at(WM_LBUTTONDOWN, from.Left + 10);
    at(WM_MOUSEMOVE, from.Left + 2);
    at(WM_MOUSEMOVE, to.Left + 5);
    at(WM_LBUTTONUP, to.Left + 5);
  };
  TColumnEx* salary = grid->Columns()->Items(2);
  for (auto _ : state) {
    drag(2, 0);
    drag(0, 2);
  }
  if (salary->Index() != 2) state.SkipWithError("the title drag moved no column");
  state.SetItemsProcessed(state.iterations() * 2);  // drags
  form.reset();
  talvik::gui::ProcessPending();
}

// The parser alone, once for each key's text.
void BM_FilterTextParse(benchmark::State& state) {
  const std::string text = FilterText(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    TSTFilterExpressionEx e;
    e.ExpressionType = stfvtString;
    try {
      ParseSTFilterExpression(text, e);
    } catch (const Exception&) {
    }
    benchmark::DoNotOptimize(e);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(1) ? "reads" : "does not read");
}

BENCHMARK(BM_FilterCellKey)->ArgsProduct({{100, 1000, 10000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterCellKeyThroughTheGrid)
    ->ArgsProduct({{100, 1000, 10000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterCellTitleDrag)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterTextParse)->ArgsProduct({{100, 1000, 10000}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
