// The editor control with one long line of SQL (a generated statement, a long IN-list), with and
// without word wrap: a repaint with the caret and the view at the start, the middle and the end of
// the line, and one typed character there with the paint it causes.
#include <benchmark/benchmark.h>

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
