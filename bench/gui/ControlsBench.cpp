// The standard controls' hot paths: a list view taking a new row at the top and repainting, and a
// memo taking a typed character, each at a small and a large size; the pairs should cost the same.
// Beside each, its floor: the pixels that must change drawn with the toolkit alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/PaintFloor.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

namespace {

struct Stage {
  std::unique_ptr<TForm> form;
  Stage() {
    StartHeadlessGui();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 640, 480);
    form->Show();
  }
};

constexpr const char* kListRow[] = {"12:00:00", "142", "enq: TX - row lock contention", "SCOTT",
                                    "sqlplus.exe"};
constexpr const char* kListNewRow[] = {"12:00:01", "7", "enq: TM - contention"};

// Where a window's client area starts in its top-level window's image.
POINT ClientInTop(HWND window, HWND top) {
  POINT p{0, 0};
  ClientToScreen(window, p);
  RECT r;
  GetWindowRect(top, r);
  return {p.X - r.Left, p.Y - r.Top};
}

TListView* MakeListView(Stage& stage, int rows) {
  auto* lv = new TListView(stage.form.get());
  lv->SetParent(stage.form.get());
  lv->SetBounds(0, 0, 600, 400);
  for (const char* c : {"Время", "SID", "Событие", "Пользователь", "Программа"})
    lv->Columns()->Add()->SetCaption(c);
  lv->Items()->BeginUpdate();
  for (int i = 0; i < rows; ++i) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption(kListRow[0]);
    for (int c = 1; c < 5; ++c) it->SubItems()->Add(kListRow[c]);
  }
  lv->Items()->EndUpdate();
  talvik::gui::UpdateAllWindows(stage.form->Handle());
  return lv;
}

void InsertNewRow(TListView* lv) {
  TListItem* it = lv->Items()->Insert(0);
  it->SetCaption(kListNewRow[0]);
  it->SubItems()->Add(kListNewRow[1]);
  it->SubItems()->Add(kListNewRow[2]);
}

// A list view of `rows` rows; each iteration inserts one at the top and paints the view.
void BM_ListViewInsertAtTopAndRepaint(benchmark::State& state) {
  Stage stage;
  TListView* lv = MakeListView(stage, static_cast<int>(state.range(0)));
  HWND top = stage.form->Handle();
  for (auto _ : state) {
    InsertNewRow(lv);
    talvik::gui::UpdateAllWindows(top);
    state.PauseTiming();
    lv->Items()->Delete(0);  // the list keeps its size
    talvik::gui::UpdateAllWindows(top);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ListViewInsertAtTopAndRepaint)->Arg(100)->Arg(20000)->Unit(benchmark::kMicrosecond);

// Its floor: the rows that moved down painted by hand, their texts (cut to their columns) shaped
// once. `differing_pixels` compares the rows with the list view's after an insertion.
void BM_ListViewInsertAtTopAndRepaintFloor(benchmark::State& state) {
  Stage stage;
  TListView* lv = MakeListView(stage, static_cast<int>(state.range(0)));
  InsertNewRow(lv);
  talvik::gui::UpdateAllWindows(stage.form->Handle());
  const int width = lv->ClientWidth(), height = lv->ClientHeight();
  const TRect first = lv->Items()->Item(0)->DisplayRect();
  const int header = first.Top, rowHeight = first.Height();
  talvik::gui::TPaintFloor floor(width, height, ColorToRGB(clWindow));
  HFONT font = lv->Font()->Handle();
  TEXTMETRIC tm;
  {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    GetTextMetrics(dc, tm);
    DeleteDC(dc);
  }
  struct Cell {
    int text;
    TRect clip;
  };
  std::vector<std::vector<Cell>> rows;
  for (int row = 0; header + row * rowHeight < height; ++row) {
    std::vector<Cell> cells;
    int x = 0;
    for (int c = 0; c < 5; ++c) {
      int w = lv->Columns()->Items(c)->Width();
      TRect clip = Rect(x + 4, header + row * rowHeight, x + w - 4, header + (row + 1) * rowHeight);
      const char* text = row == 0 ? (c < 3 ? kListNewRow[c] : "") : kListRow[c];
      cells.push_back({floor.PrepareEllipsised(font, text, clip.Width()), clip});
      x += w;
    }
    rows.push_back(std::move(cells));
  }
  const COLORREF back = ColorToRGB(clWindow), ink = ColorToRGB(clWindowText);
  auto paint = [&] {
    for (std::size_t row = 0; row < rows.size(); ++row) {
      int y = header + static_cast<int>(row) * rowHeight;
      floor.Fill(Rect(0, y, width, y + rowHeight), back);
      for (const Cell& c : rows[row])
        floor.DrawPrepared(c.text, c.clip.Left, c.clip.Top + (rowHeight - tm.tmHeight) / 2, c.clip, ink);
    }
  };
  paint();
  POINT client = ClientInTop(lv->Handle(), stage.form->Handle());
  state.counters["differing_pixels"] = static_cast<double>(floor.DifferingPixels(
      stage.form->Handle(), Rect(0, header, width, height), {client.X, client.Y + header}));
  for (auto _ : state) paint();
}
BENCHMARK(BM_ListViewInsertAtTopAndRepaintFloor)->Arg(100)->Arg(20000)->Unit(benchmark::kMicrosecond);

std::string MemoLine(int i) {
  return "SELECT sid, serial#, username FROM v$session WHERE sid = " + std::to_string(i);
}

TMemo* MakeMemo(Stage& stage, int line) {
  auto* memo = new TMemo(stage.form.get());
  memo->SetParent(stage.form.get());
  memo->SetBounds(0, 0, 600, 400);
  std::string text;
  for (int i = 0; i < 5000; ++i) text += MemoLine(i) + "\r\n";
  memo->SetText(text);
  memo->SetFocus();
  memo->SetCaretPos({10, line - 1});
  talvik::gui::UpdateAllWindows(stage.form->Handle());
  return memo;
}

// A memo of 5,000 lines; each iteration types a character on the line `at` and paints.
void BM_MemoTypeAtLine(benchmark::State& state) {
  Stage stage;
  TMemo* memo = MakeMemo(stage, static_cast<int>(state.range(0)));
  HWND top = stage.form->Handle();
  for (auto _ : state) {
    SendMessage(memo->Handle(), WM_CHAR, U'ж', 0);
    talvik::gui::UpdateAllWindows(top);
    state.PauseTiming();
    SendMessage(memo->Handle(), WM_CHAR, 8, 0);  // back to the same text
    talvik::gui::UpdateAllWindows(top);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MemoTypeAtLine)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Its floor: the changed line alone painted again, its new text shaped. `differing_pixels` compares
// the line with the memo's after the character was typed.
void BM_MemoTypeAtLineFloor(benchmark::State& state) {
  Stage stage;
  const int line = static_cast<int>(state.range(0));
  TMemo* memo = MakeMemo(stage, line);
  HWND edit = memo->Handle();
  SendMessage(edit, WM_CHAR, U'ж', 0);
  talvik::gui::UpdateAllWindows(stage.form->Handle());
  RECT area;
  SendMessage(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  auto start =
      SendMessage(edit, EM_POSFROMCHAR, static_cast<WPARAM>(SendMessage(edit, EM_LINEINDEX, line - 1, 0)), 0);
  const int x = GET_X_LPARAM(start), y = GET_Y_LPARAM(start);
  auto font = reinterpret_cast<HFONT>(SendMessage(edit, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRIC tm;
  {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    GetTextMetrics(dc, tm);
    DeleteDC(dc);
  }
  const RECT band = Rect(area.Left, y, area.Right, y + tm.tmHeight);
  std::string typed = MemoLine(line - 1);
  typed.insert(10, "ж");
  talvik::gui::TPaintFloor floor(memo->ClientWidth(), memo->ClientHeight(), ColorToRGB(clWindow));
  const COLORREF back = ColorToRGB(clWindow), ink = ColorToRGB(clWindowText);
  auto paint = [&] {
    floor.Fill(band, back);
    floor.DrawNow(font, typed, x, y, ink);
  };
  paint();
  state.counters["differing_pixels"] =
      static_cast<double>(floor.DifferingPixels(stage.form->Handle(), band,
                                                {ClientInTop(edit, stage.form->Handle()).X + band.Left,
                                                 ClientInTop(edit, stage.form->Handle()).Y + band.Top}));
  for (auto _ : state) paint();
}
BENCHMARK(BM_MemoTypeAtLineFloor)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
