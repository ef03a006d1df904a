// Painting a 1280 x 1024 grid over 100,000 rows of the Oracle dataset with the session window's zebra
// handler, the current record first, in the middle and last; and refreshing a list of 10,000 sessions
// with a grid shown over it (bookmark kept, repainted) next to the refresh alone.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "bench/OracleBenchSession.h"
#include "grid/DBGridEx.h"
#include "oracle/OracleQuery.h"
#include "oracle_data/OracleData.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kPaintRows = 100000;
constexpr int kSessions = 10000;
constexpr TColor kOddRow = static_cast<TColor>(0xC6BEBD);
constexpr TColor kEvenRow = static_cast<TColor>(0xDED7D6);

class Instance {
 public:
  static Instance& Get() {
    static Instance instance;
    return instance;
  }
  TOracleSession* Session() { return scott_.Session(); }

  // A table shaped like the session list: sid, serial, user, status, program name, machine, cpu.
  std::string Sessions(int Count) {
    const std::string name = "gsessions" + std::to_string(Count);
    if (made_.count(name)) return made_[name];
    Exec("create table " + name +
         " (sid number(9), serial number(9), oracle_user varchar2(30), status varchar2(8), prname "
         "varchar2(8), machine varchar2(64), cpu number)");
    Fill(name, Count,
         [](int i, int c) -> TVariant {
           switch (c) {
             case 0:
               return i;
             case 1:
               return 1000 + i;
             case 2:
               return "USER" + std::to_string(i % 50);
             case 3:
               return i % 3 ? "INACTIVE" : "ACTIVE";
             case 4:
               return "USER";
             case 5:
               return "host" + std::to_string(i % 20) + ".example.org";
             default:
               return i * 0.25;
           }
         },
         {otInteger, otInteger, otString, otString, otString, otString, otFloat});
    return made_[name] = "select sid, serial, oracle_user, status, prname, machine, cpu from " + name;
  }

 private:
  void Exec(const std::string& SQL) {
    TOracleQuery q(nullptr);
    q.SetSession(Session());
    q.SQL()->SetText(SQL);
    q.Execute();
  }
  template <class F>
  void Fill(const std::string& Table, int Count, F Value, const std::vector<int>& Types) {
    scott_.Fill(Table, Count, Value, Types);
  }
  TBenchScottSession scott_{"talvik_grid_bench_"};
  std::map<std::string, std::string> made_;
};

// A shown grid over an open dataset with the zebra handler and red ACTIVE rows.
struct GridOver {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TDBGridEx* grid = nullptr;
  TDataSource source{nullptr};
  GridOver(TDataSet* DataSet, int Width, int Height) {
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, Width, Height);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetAlign(alClient);
    grid->SetFlat(true);
    TField* status = DataSet->FindField("STATUS");
    grid->OnGetCellParams = [DataSet, status](TObject*, TColumnEx*, TFont* AFont, TColor& Background,
                                              TGridDrawState) {
      Background = DataSet->RecNo() % 2 == 1 ? kOddRow : kEvenRow;
      if (status && status->AsString() == "ACTIVE") AFont->SetColor(clRed);
    };
    source.SetDataSet(DataSet);
    grid->SetDataSource(&source);
    form->Show();
  }
  // One whole paint of the grid into a memory device of its size.
  void Paint() {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, grid->ClientWidth(), grid->ClientHeight());
    HGDIOBJ old = SelectObject(dc, bmp);
    grid->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
};

TOracleDataSet* PaintRows() {
  static TOracleDataSet* ds = [] {
    auto* d = new TOracleDataSet(nullptr);  // lives to the end of the program
    d->SetSession(Instance::Get().Session());
    d->SetReadBuffer(1000);
    d->SQL()->SetText(Instance::Get().Sessions(kPaintRows));
    d->Open();
    d->Last();  // every row fetched before measuring
    return d;
  }();
  return ds;
}

// range 0: where the current record is (0 first, 1 middle, 2 last)
void BM_GridFullRepaint(benchmark::State& state) {
  StartHeadlessGui();
  TOracleDataSet* ds = PaintRows();
  GridOver g(ds, 1280, 1024);
  ds->First();
  if (state.range(0) == 1) ds->MoveBy(kPaintRows / 2 - 1);
  if (state.range(0) == 2) ds->Last();
  g.Paint();  // fonts and shaped texts made once, outside the measure
  for (auto _ : state) g.Paint();
  state.counters["rows"] = g.grid->VisibleDataRowCount();
  state.counters["recno"] = ds->RecNo();
}
BENCHMARK(BM_GridFullRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

TOracleDataSet* SessionList() {
  static TOracleDataSet* ds = [] {
    auto* d = new TOracleDataSet(nullptr);
    d->SetSession(Instance::Get().Session());
    d->SetReadBuffer(1000);
    d->SQL()->SetText(Instance::Get().Sessions(kSessions));
    d->SetFilter("prname = 'USER'");
    d->SetFiltered(true);
    d->Open();
    return d;
  }();
  return ds;
}

// The session window's refresh with its grid: the middle row's bookmark kept, the list refreshed, the
// bookmark restored and the grid painted.
void BM_SessionRefreshWithGrid(benchmark::State& state) {
  StartHeadlessGui();
  TOracleDataSet* ds = SessionList();
  GridOver g(ds, 1000, 600);
  ds->First();
  ds->MoveBy(300);
  for (auto _ : state) {
    g.grid->SaveBookmark();
    ds->Refresh();
    g.grid->RestoreBookmark();
    g.Paint();
  }
  state.SetItemsProcessed(state.iterations() * kSessions);
}
BENCHMARK(BM_SessionRefreshWithGrid)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The same list's refresh with no grid over it.
void BM_SessionRefreshAlone(benchmark::State& state) {
  StartHeadlessGui();
  TOracleDataSet* ds = SessionList();
  ds->First();
  ds->MoveBy(300);
  for (auto _ : state) ds->Refresh();
  state.SetItemsProcessed(state.iterations() * kSessions);
}
BENCHMARK(BM_SessionRefreshAlone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
