// The editor control with one long line of SQL (a generated statement, a long IN-list), with and
// without word wrap: a repaint with the caret and the view at the start, the middle and the end of
// the line, and one typed character there with the paint it causes; and the heap a loaded and
// painted 10 MB line holds, with tabs and without.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <memory>
#include <string>

#include "EditorBenchForm.h"
#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kViewWidth = 760;
constexpr int kViewHeight = 560;
constexpr std::string_view kPiece = "s.sid, s.username, 'abc', 12345, ";

// The editor showing line numbers.
struct LongLineBench : EditorBenchForm {
  LongLineBench() : EditorBenchForm(kViewWidth, kViewHeight) {
    edit->Gutter()->SetVisible(true);
    edit->Gutter()->SetShowLineNumbers(true);
    // the scroll width follows the longest line, so that without wrapping the view reaches its end
    edit->SetOptions(edit->Options() + eoAutoSizeMaxScrollWidth);
  }
  // The line of `length` characters as the text, wrapped or not.
  void Prepare(int length, bool wrap) {
    if (lineLength != length) {
      std::string line;
      line.reserve(static_cast<size_t>(length) + kPiece.size());
      while (static_cast<int>(line.size()) < length) line += kPiece;
      line.resize(static_cast<size_t>(length));
      edit->SetText(line);
      lineLength = length;
    }
    edit->SetWordWrap(wrap);
  }

  int lineLength = -1;
};

LongLineBench& Bench() {
  static LongLineBench* bench = new LongLineBench();
  return *bench;
}

enum TPlace { plStart, plMiddle, plEnd };
constexpr std::array<const char*, 3> kPlaceNames{"start", "middle", "end"};

int CharAt(TPlace place, int length) {
  switch (place) {
    case plStart:
      return 1;
    case plMiddle:
      return length / 2;
    case plEnd:
      break;
  }
  return length + 1;
}

// The caret (and with it the view) at the place, then the window repainted.
void LongLineRepaint(benchmark::State& state, bool wrap, int length, TPlace place) {
  LongLineBench& b = Bench();
  b.Prepare(length, wrap);
  b.edit->SetCaretXY({CharAt(place, length), 1});
  b.edit->EnsureCursorPosVisible();
  b.Paint();
  for (auto _ : state) b.Paint();
  state.counters["top"] = b.edit->TopLine();
  state.counters["left"] = b.edit->LeftChar();
}

// Each round: the caret put at the place (not timed), one typed character (WM_KEYDOWN, WM_CHAR) and
// the paint it causes (timed), and its undo with its paint (not timed).
void LongLineType(benchmark::State& state, bool wrap, int length, TPlace place) {
  LongLineBench& b = Bench();
  b.Prepare(length, wrap);
  b.TypeOneCharacterRounds(state, [&] {
    b.edit->SetCaretXY({CharAt(place, length), 1});
    b.edit->EnsureCursorPosVisible();
    b.Paint();
  });
  state.counters["caret"] = b.edit->CaretX();
}

// Heap bytes in use (taken from the heap or mapped by it for large blocks).
double HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
}

constexpr int kHeapLineBytes = 10 * 1000 * 1000;
constexpr std::string_view kTabbedPiece = "s.sid,\ts.username,\t'abc',\t12345,\t";
constexpr std::string_view kSpacedPiece = "s.sid, s.username, 'abc', 12345, ";

// A fresh editor loads one 10 MB line (its pieces parted by tabs or by spaces) and paints it with
// the view at its start, middle and end: the heap it then holds (heap_MB), set against the line's
// own size in the editor's buffer (line_MB, four bytes a character).
void BM_EditorLongLineHeap(benchmark::State& state, std::string_view piece) {
  std::string line;
  line.reserve(static_cast<size_t>(kHeapLineBytes) + piece.size());
  while (static_cast<int>(line.size()) < kHeapLineBytes) line += piece;
  line.resize(static_cast<size_t>(kHeapLineBytes));
  double held = 0;
  for (auto _ : state) {
    EditorBenchForm b(kViewWidth, kViewHeight);
    b.Paint();
    const double before = HeapInUse();
    b.edit->SetText(line);
    for (TPlace place : {plStart, plMiddle, plEnd}) {
      b.edit->SetCaretXY({CharAt(place, kHeapLineBytes), 1});
      b.edit->EnsureCursorPosVisible();
      b.Paint();
    }
    held = HeapInUse() - before;
    b.edit->SetText("");
  }
  state.counters["heap_MB"] = held / 1e6;
  state.counters["line_MB"] = 4.0 * kHeapLineBytes / 1e6;
}
BENCHMARK_CAPTURE(BM_EditorLongLineHeap, tabs, kTabbedPiece)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EditorLongLineHeap, spaces, kSpacedPiece)->Iterations(1)->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool registered = [] {
  for (const char* kind : {"BM_EditorLongLineRepaint", "BM_EditorLongLineType"})
    for (bool wrap : {true, false})
      for (int length : {10000, 100000, 1000000})
        for (TPlace place : {plStart, plMiddle, plEnd}) {
          std::string name = std::string(kind) + (wrap ? "/wrap/" : "/nowrap/") + std::to_string(length) +
                             "/" + kPlaceNames[place];
          bool repaint = std::string_view(kind) == "BM_EditorLongLineRepaint";
          auto* bm = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            if (repaint)
              LongLineRepaint(state, wrap, length, place);
            else
              LongLineType(state, wrap, length, place);
          });
          bm->Unit(benchmark::kMillisecond);
        }
  return true;
}();

}  // namespace
