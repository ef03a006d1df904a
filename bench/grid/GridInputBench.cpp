// The grid's incremental search over 100,000 records beside a plain loop comparing the same texts, and
// export of 100,000 records of 10 columns to each format (the spreadsheet 65,534) beside a plain loop
// writing the CSV bytes from the same fields through a buffered writer.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/HeadlessGui.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExExport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kSearchRecords = 100000;
constexpr int kColumns = 10;

std::string NameOf(int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Сессия %06d", i);
  return buf;
}

// A grid over a dataset of N records: an integer, a Cyrillic name, a float and seven texts.
struct Fixture {
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  explicit Fixture(int N) {
    StartHeadlessGui();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("CPU", ftFloat);
    for (int c = 3; c < kColumns; ++c) ds.FieldDefs()->Add("C" + std::to_string(c), ftString, 12);
    for (int i = 0; i < N; ++i) {
      std::vector<TVariant> row{i, NameOf(i), i * 0.25};
      for (int c = 3; c < kColumns; ++c)
        row.emplace_back("v" + std::to_string(i % 1000) + "\"" + std::to_string(c));
      ds.AddRow(row);
    }
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 1280, 1024);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 1260, 1000);
    grid->SetDataSource(&source);
    ds.Open();
    grid->SetSelectedIndex(1);
  }
};

Fixture& SearchFixture() {
  static Fixture* f = new Fixture(kSearchRecords);  // lives to the end of the program
  return *f;
}

// The text the search looks for: the name of a record, or one no record has.
std::string Target(int64_t Row) {
  return Row < 0 ? "сессия 9x" : AnsiLowerCase(NameOf(static_cast<int>(Row)));
}

void BM_IncSearch(benchmark::State& state) {
  Fixture& f = SearchFixture();
  const std::string text = Target(state.range(0));
  for (auto _ : state) {
    // from the second record, which matches none of the texts looked for
    f.ds.First();
    f.ds.Next();
    f.grid->StopIncSearch();
    f.grid->DoIncSearch(text, -1, 0);
    benchmark::DoNotOptimize(f.grid->IncSearchText());
  }
}

// The same walk without the grid: every record's text compared in upper case.
void BM_IncSearchPlainLoop(benchmark::State& state) {
  Fixture& f = SearchFixture();
  const std::string upper = AnsiUpperCase(Target(state.range(0)));
  const int length = Utf8Length(upper);
  TField* name = f.ds.FieldByName("NAME");
  for (auto _ : state) {
    f.ds.First();
    f.ds.Next();
    f.ds.DisableControls();
    bool found = false;
    for (f.ds.First(); !f.ds.Eof() && !found; f.ds.Next()) {
      const std::string t = name->DisplayText();
      const size_t n = Utf8Offset(t, length);
      found = AnsiUpperCase(std::string_view(t).substr(0, n)) == upper;
      if (found) break;
    }
    f.ds.EnableControls();
    benchmark::DoNotOptimize(found);
  }
}

BENCHMARK(BM_IncSearch)->Arg(0)->Arg(50000)->Arg(99999)->Arg(-1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncSearchPlainLoop)->Arg(0)->Arg(50000)->Arg(99999)->Arg(-1)->Unit(benchmark::kMillisecond);

Fixture& SheetFixture() {
  static Fixture* f = new Fixture(65534);  // the title row and 65,534 records fill the sheet
  return *f;
}

template <class T>
void ExportTo(benchmark::State& state, Fixture& f) {
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    WriteGridToExportStream(ExportClass<T>(), f.grid, &out, true);
    bytes += out.Size();
  }
  state.SetBytesProcessed(bytes);
}

void BM_ExportText(benchmark::State& state) {
  ExportTo<TDBGridExExportAsText>(state, SearchFixture());
}
void BM_ExportCSV(benchmark::State& state) {
  ExportTo<TDBGridExExportAsCSV>(state, SearchFixture());
}
void BM_ExportRTF(benchmark::State& state) {
  ExportTo<TDBGridExExportAsRTF>(state, SearchFixture());
}
void BM_ExportVCLDBIF(benchmark::State& state) {
  ExportTo<TDBGridExExportAsVCLDBIF>(state, SearchFixture());
}
void BM_ExportXLS(benchmark::State& state) {
  ExportTo<TDBGridExExportAsXLS>(state, SheetFixture());
}

// The CSV bytes written straight from the fields through a buffered writer.
void BM_ExportCSVPlainLoop(benchmark::State& state) {
  Fixture& f = SearchFixture();
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    std::string buffer;
    auto put = [&](std::string_view s) {
      buffer.append(s);
      if (buffer.size() >= 64 * 1024) {
        out.WriteBuffer(buffer.data(), static_cast<int64_t>(buffer.size()));
        buffer.clear();
      }
    };
    f.ds.DisableControls();
    bool first = true;
    for (f.ds.First(); !f.ds.Eof(); f.ds.Next()) {
      if (!first) put("\r\n");
      first = false;
      for (int c = 0; c < kColumns; ++c) {
        if (c) put(";");
        put(Utf8ToCp1251(AnsiQuotedStr(f.ds.Fields()->Fields(c)->DisplayText(), '"')));
      }
    }
    f.ds.EnableControls();
    out.WriteBuffer(buffer.data(), static_cast<int64_t>(buffer.size()));
    bytes += out.Size();
  }
  state.SetBytesProcessed(bytes);
}

BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCSV)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCSVPlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportRTF)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportXLS)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportVCLDBIF)->Unit(benchmark::kMillisecond);

}  // namespace
