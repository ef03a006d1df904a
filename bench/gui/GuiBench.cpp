// Message throughput (sent and posted) and painting a full-HD window of text cells through TCanvas,
// beside the floor of the same pixels drawn with the toolkit alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/PaintFloor.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"

namespace {

long g_count = 0;

LRESULT CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) {
    ++g_count;
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  talvik::gui::UseQtBackend();
  talvik::gui::SetBackend(nullptr);  // no desktop windows: the layer alone is measured
  WNDCLASS wc;
  wc.lpfnWndProc = CountingProc;
  wc.lpszClassName = "BenchWindow";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClass(wc);
}

void BM_SendMessage(benchmark::State& state) {
  Setup();
  HWND top = CreateWindowEx(0, "BenchWindow", "", WS_POPUP, 0, 0, 100, 100, nullptr, 0, nullptr, nullptr);
  HWND child = CreateWindowEx(0, "BenchWindow", "", WS_CHILD, 0, 0, 10, 10, top, 0, nullptr, nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(SendMessage(child, WM_USER, 1, 2));
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(top);
}
BENCHMARK(BM_SendMessage);

void BM_PostedQueue(benchmark::State& state) {
  Setup();
  HWND top = CreateWindowEx(0, "BenchWindow", "", WS_POPUP, 0, 0, 100, 100, nullptr, 0, nullptr, nullptr);
  const int batch = static_cast<int>(state.range(0));
  MSG m;
  for (auto _ : state) {
    for (int i = 0; i < batch; ++i) PostMessage(top, WM_USER, i, 0);
    while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) DispatchMessage(m);
  }
  state.SetItemsProcessed(state.iterations() * batch);
  DestroyWindow(top);
}
BENCHMARK(BM_PostedQueue)->Arg(1)->Arg(100)->Arg(10000);

// 10,000 mouse moves from the display over a child window, queued, then read: each goes to the
// window under it, in client coordinates.
void BM_QueuedMouseMoves(benchmark::State& state) {
  Setup();
  HWND top = CreateWindowEx(0, "BenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, 0, nullptr,
                            nullptr);
  CreateWindowEx(0, "BenchWindow", "", WS_CHILD | WS_VISIBLE, 10, 10, 150, 150, top, 0, nullptr, nullptr);
  constexpr int kMoves = 10000;
  MSG m;
  while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) DispatchMessage(m);
  for (auto _ : state) {
    for (int i = 0; i < kMoves; ++i)
      talvik::gui::InjectMouse(WM_MOUSEMOVE, POINT{20 + i % 100, 20 + i / 100});
    while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) DispatchMessage(m);
  }
  state.SetItemsProcessed(state.iterations() * kMoves);
  DestroyWindow(top);
}
BENCHMARK(BM_QueuedMouseMoves)->Unit(benchmark::kMillisecond);

// 2,000 cells (40 columns x 50 rows of 48x21 pixels) with text, through the canvas, per repaint.
constexpr int kCellColumns = 40, kCells = 2000, kCellWidth = 48, kCellHeight = 21;

const std::vector<std::string>& CellTexts() {
  static std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    for (int i = 0; i < kCells; ++i)
      t.push_back(i % 3 ? "Сеанс " + std::to_string(i) : "SCOTT." + std::to_string(i));
    return t;
  }();
  return texts;
}

TRect CellRect(int i) {
  return Bounds(i % kCellColumns * kCellWidth, i / kCellColumns * kCellHeight, kCellWidth, kCellHeight);
}

TColor CellColor(int i) {
  return i / kCellColumns % 2 ? clWindow : clBtnFace;
}

// The canvas's text options for the cells (ETO_RTLREADING: read right to left).
int cellTextFlags = 0;

// A full-HD window painting the cells through a canvas.
HWND CellsWindow() {
  static TCanvas* canvas = new TCanvas();
  WNDCLASS wc;
  wc.lpszClassName = "BenchPaint";
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m != WM_PAINT) return DefWindowProc(h, m, w, l);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, ps);
    canvas->SetHandle(dc);
    canvas->Font()->SetName("MS Sans Serif");
    canvas->SetTextFlags(cellTextFlags);
    for (int i = 0; i < kCells; ++i) {
      TRect r = CellRect(i);
      canvas->Brush()->SetColor(CellColor(i));
      canvas->TextRect(r, r.Left + 2, r.Top + 3, CellTexts()[static_cast<std::size_t>(i)]);
    }
    canvas->SetHandle(nullptr);
    EndPaint(h, ps);
    return 0;
  };
  WNDCLASS existing;
  if (!GetClassInfo("BenchPaint", existing)) RegisterClass(wc);
  HWND w = CreateWindowEx(0, "BenchPaint", "", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080, nullptr, 0, nullptr,
                          nullptr);
  UpdateWindow(w);
  return w;
}

// The cells' window painted whole once per iteration, its text cells drawn with Flags.
void PaintCellsWindow(benchmark::State& state, int Flags) {
  Setup();
  cellTextFlags = Flags;
  HWND w = CellsWindow();
  for (auto _ : state) {
    InvalidateRect(w, nullptr, false);
    UpdateWindow(w);
  }
  state.SetItemsProcessed(state.iterations() * kCells);
  DestroyWindow(w);
  cellTextFlags = 0;
}

void BM_Paint2000TextCells(benchmark::State& state) {
  PaintCellsWindow(state, 0);
}
BENCHMARK(BM_Paint2000TextCells)->Unit(benchmark::kMillisecond);

// The same cells read right to left, as a right-to-left grid draws them: texts that read alike
// either way (these) cost a look at their characters more.
void BM_Paint2000TextCellsRightToLeft(benchmark::State& state) {
  PaintCellsWindow(state, ETO_RTLREADING);
}
BENCHMARK(BM_Paint2000TextCellsRightToLeft)->Unit(benchmark::kMillisecond);

// The floor of the above: the same pixels with the toolkit's painter alone, each text shaped once.
// `differing_pixels` compares the floor's picture with the window's.
void BM_Paint2000TextCellsFloor(benchmark::State& state) {
  Setup();
  TFont font;
  font.SetName("MS Sans Serif");
  talvik::gui::TPaintFloor floor(1920, 1080, ColorToRGB(clBtnFace));
  std::vector<int> texts;
  for (const std::string& t : CellTexts()) texts.push_back(floor.Prepare(font.Handle(), t));
  const COLORREF ink = ColorToRGB(font.Color());
  auto paint = [&] {
    for (int i = 0; i < kCells; ++i) {
      TRect r = CellRect(i);
      floor.Fill(r, ColorToRGB(CellColor(i)));
      floor.DrawPrepared(texts[static_cast<std::size_t>(i)], r.Left + 2, r.Top + 3, r, ink);
    }
  };
  paint();
  HWND w = CellsWindow();
  state.counters["differing_pixels"] =
      static_cast<double>(floor.DifferingPixels(w, Rect(0, 0, 1920, 1080), {0, 0}));
  DestroyWindow(w);
  for (auto _ : state) paint();
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_Paint2000TextCellsFloor)->Unit(benchmark::kMillisecond);

}  // namespace
