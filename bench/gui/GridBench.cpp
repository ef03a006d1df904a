// A full repaint of a 1280x1024 grid of 100,000 rows, at the top, in the middle and at the end: the
// base grid drawing its cells' texts, and the data grid over a 100,000-record dataset. The cost must
// not grow with the position. Beside them, the floor: the same cell texts painted straight through
// TCanvas into the same window.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "platform/gui/DBGrids.h"
#include "platform/gui/Grids.h"
#include "platform/gui/WinManager.h"
#include "tests/db/MemDataSet.h"

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 12;
constexpr int kWidth = 1280, kHeight = 1024;
constexpr int kColWidth = 104, kRowHeight = 18;

struct Stage {
  std::unique_ptr<TForm> form;
  Stage() {
    StartHeadlessGui();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, kWidth + 40, kHeight + 80);
    form->Show();
  }
};

Stage& TheStage() {
  static Stage stage;
  return stage;
}

// The text of a cell, the same for the grid and the floor.
std::string CellText(int col, int row) {
  static const char* const kWords[] = {"ACTIVE", "SCOTT", "sqlplus.exe", "enq: TX", "db file read", "SYS"};
  return col == 0 ? std::to_string(row) : std::string(kWords[(row + col) % 6]) + " " + std::to_string(col);
}

TDrawGrid* TheDrawGrid() {
  static TDrawGrid* grid = [] {
    auto* g = new TDrawGrid(TheStage().form.get());
    g->SetParent(TheStage().form.get());
    g->SetBorderStyle(bsNone);
    g->SetScrollBars(ssNone);
    g->SetBounds(0, 0, kWidth, kHeight);
    g->SetColCount(kCols);
    g->SetRowCount(kRows + 1);
    g->SetDefaultColWidth(kColWidth);
    g->SetDefaultRowHeight(kRowHeight);
    g->OnDrawCell = [g](TObject*, int c, int r, TRect rect, TGridDrawState) {
      g->Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, CellText(c, r));
    };
    return g;
  }();
  return grid;
}

void Repaint(TWinControl* control) {
  control->Invalidate();
  talvik::gui::UpdateAllWindows(TheStage().form->Handle());
}

int Position(int which, int count) {
  return which == 0 ? 1 : (which == 1 ? count / 2 : count);
}

void BM_GridRepaint(benchmark::State& state) {
  TDrawGrid* grid = TheDrawGrid();
  grid->SetTopRow(Position(static_cast<int>(state.range(0)), kRows));
  Repaint(grid);
  for (auto _ : state) Repaint(grid);
  state.SetLabel("top row " + std::to_string(grid->TopRow()));
}
BENCHMARK(BM_GridRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

TDBGrid* TheDBGrid(TMemDataSet** dataset) {
  static TMemDataSet* ds = nullptr;
  static TDBGrid* grid = [] {
    ds = new TMemDataSet(TheStage().form.get());
    ds->FieldDefs()->Add("SID", ftInteger, 0, true);
    ds->FieldDefs()->Add("USERNAME", ftString, 30);
    ds->FieldDefs()->Add("PROGRAM", ftString, 30);
    ds->FieldDefs()->Add("CPU", ftFloat);
    ds->FieldDefs()->Add("EVENT", ftString, 30);
    // values of the same length everywhere, so that only the position differs between the runs
    for (int i = 1; i <= kRows; ++i)
      ds->AddRow({100000 + i, CellText(1, i), CellText(2, i), 1000.25 + i % 8, CellText(4, i)});
    auto* source = new TDataSource(TheStage().form.get());
    source->SetDataSet(ds);
    auto* g = new TDBGrid(TheStage().form.get());
    g->SetParent(TheStage().form.get());
    g->SetBorderStyle(bsNone);
    g->SetScrollBars(ssNone);
    g->SetBounds(0, 0, kWidth, kHeight);
    g->SetDataSource(source);
    ds->Open();
    g->Hide();
    return g;
  }();
  *dataset = ds;
  return grid;
}

void BM_DBGridRepaint(benchmark::State& state) {
  TMemDataSet* ds = nullptr;
  TDBGrid* grid = TheDBGrid(&ds);
  TheDrawGrid()->Hide();
  grid->Show();
  switch (state.range(0)) {
    case 0:
      ds->First();
      break;
    case 1:
      ds->SetRecNo(kRows / 2);
      break;
    default:
      ds->Last();
      break;
  }
  Repaint(grid);
  for (auto _ : state) Repaint(grid);
  int cells = 0;
  for (int r = 0; r < grid->RowCount(); ++r)
    for (int c = 0; c < grid->ColCount(); ++c) cells += grid->CellRect(c, r).IsEmpty() ? 0 : 1;
  state.SetLabel("record " + std::to_string(ds->RecNo()) + ", " + std::to_string(cells) + " cells");
  grid->Hide();
  TheDrawGrid()->Show();
}
BENCHMARK(BM_DBGridRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The floor: the grid's cells filled and their texts written through TCanvas, nothing else.
void BM_CanvasCellTextsFloor(benchmark::State& state) {
  TDrawGrid* grid = TheDrawGrid();
  Repaint(grid);
  const int rows = kHeight / (kRowHeight + 1) + 1, cols = kWidth / (kColWidth + 1) + 1;
  for (auto _ : state) {
    HDC dc = GetDC(grid->Handle());
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font()->Assign(grid->Font());
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) {
        TRect rect = Bounds(c * (kColWidth + 1), r * (kRowHeight + 1), kColWidth, kRowHeight);
        canvas.Brush()->SetColor(c == 0 || r == 0 ? clBtnFace : clWindow);
        canvas.TextRect(rect, rect.Left + 2, rect.Top + 2, CellText(c, r + 1));
      }
    canvas.SetHandle(nullptr);
    ReleaseDC(grid->Handle(), dc);
    talvik::gui::UpdateAllWindows(TheStage().form->Handle());
  }
}
BENCHMARK(BM_CanvasCellTextsFloor)->Unit(benchmark::kMicrosecond);

// The data grid's floor: the texts its cells show (the records at the top) written through TCanvas at
// the places the grid draws them.
void BM_DBGridCellTextsFloor(benchmark::State& state) {
  TMemDataSet* ds = nullptr;
  TDBGrid* grid = TheDBGrid(&ds);
  TheDrawGrid()->Hide();
  grid->Show();
  ds->First();
  Repaint(grid);
  struct Cell {
    TRect rect;
    std::string text;
    bool fixed;
  };
  std::vector<Cell> cells;
  for (int r = 0; r < grid->RowCount(); ++r)
    for (int c = 0; c < grid->ColCount(); ++c) {
      TRect rect = grid->CellRect(c, r);
      if (rect.IsEmpty()) continue;
      std::string text;
      if (r == 0 && c > 0) text = grid->Columns()->Items(c - 1)->Title()->Caption();
      if (r > 0 && c > 0) {
        grid->DataLink()->SetActiveRecord(r - 1);
        text = grid->Columns()->Items(c - 1)->Field()->DisplayText();
      }
      cells.push_back({rect, text, r == 0 || c == 0});
    }
  grid->DataLink()->SetActiveRecord(0);
  for (auto _ : state) {
    HDC dc = GetDC(grid->Handle());
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font()->Assign(grid->Font());
    for (const Cell& cell : cells) {
      canvas.Brush()->SetColor(cell.fixed ? clBtnFace : clWindow);
      canvas.TextRect(cell.rect, cell.rect.Left + 2, cell.rect.Top + 2, cell.text);
    }
    canvas.SetHandle(nullptr);
    ReleaseDC(grid->Handle(), dc);
    talvik::gui::UpdateAllWindows(TheStage().form->Handle());
  }
  state.SetLabel(std::to_string(cells.size()) + " cells");
  grid->Hide();
  TheDrawGrid()->Show();
}
BENCHMARK(BM_DBGridCellTextsFloor)->Unit(benchmark::kMicrosecond);

}  // namespace
