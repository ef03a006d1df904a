// The editor control's paint path: a full window of highlighted SQL painted offscreen at the top,
// the middle and the end of a 100,000-line text; a 10 MB text loaded and painted once; a 20 KB
// statement set as the text and painted, as the session window does on every refresh.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "EditorBenchForm.h"
#include "SqlCorpus.h"
#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace {

constexpr int kViewWidth = 700;
constexpr int kViewHeight = 400;

// The editor in the session window's setup.
struct PaintBench : EditorBenchForm {
  PaintBench() : EditorBenchForm(kViewWidth, kViewHeight) {
    highlighter->CommentAttri()->SetForeground(clGray);
    highlighter->SQLPlusAttri()->SetForeground(clNavy);
    highlighter->StringAttri()->SetForeground(clGreen);
    edit->SetReadOnly(true);
    edit->Gutter()->SetVisible(false);
  }
};

PaintBench& Bench() {
  static PaintBench* bench = new PaintBench();
  return *bench;
}

const std::string& Text100k() {
  static const std::string text = JoinLines(MakeSqlCorpus(100000));
  return text;
}

// A full window at the top, at line 50,000 and at the end: the same time, whatever the length.
void BM_EditorPaintWindow(benchmark::State& state) {
  PaintBench& b = Bench();
  if (b.edit->Lines()->Count() != 100000) b.edit->SetText(Text100k());
  int top = state.range(0) == 0 ? 1 : state.range(0) == 1 ? 50000 : 100000;
  b.edit->SetTopLine(top);
  for (auto _ : state) b.Paint();
  state.counters["rows"] = b.edit->LinesInWindow();
  state.counters["top"] = b.edit->TopLine();
}
BENCHMARK(BM_EditorPaintWindow)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"at"})->Unit(benchmark::kMicrosecond);

// A 10 MB SQL text becomes the editor's text (every line's range scanned) and is painted once.
void BM_EditorLoad10MBAndPaint(benchmark::State& state) {
  PaintBench& b = Bench();
  static const std::string text = [] {
    std::string t;
    const std::string& block = Text100k();
    while (t.size() < 10u * 1024 * 1024) {
      t += block;
      t += '\n';
    }
    t.resize(10u * 1024 * 1024);
    t.resize(t.rfind('\n'));
    return t;
  }();
  for (auto _ : state) {
    b.edit->SetText(text);
    b.Paint();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["lines"] = b.edit->Lines()->Count();
  b.edit->SetText(std::string());
}
BENCHMARK(BM_EditorLoad10MBAndPaint)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 20 KB statement replaces the text and is painted: the session window's refresh.
void BM_EditorSetStatementAndPaint(benchmark::State& state) {
  PaintBench& b = Bench();
  static const std::string statement = [] {
    std::string s;
    for (const auto& line : MakeSqlCorpus(2000)) {
      if (s.size() + line.size() + 1 > 20 * 1024) break;
      s += line;
      s += '\n';
    }
    return s;
  }();
  for (auto _ : state) {
    b.edit->SetText(statement);
    b.Paint();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(statement.size()));
}
BENCHMARK(BM_EditorSetStatementAndPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// Each round: the caret put at `at`, one typed character and its paint (timed), and its undo.
void TypeOneCharacterRounds(benchmark::State& state, PaintBench& b, TBufferCoord at) {
  b.TypeOneCharacterRounds(state, [&] { b.edit->SetCaretXY(at); });
}

// One typed character and the paint it causes, at line 1 and at the end of a 100,000-line text: the
// same cost.
void BM_EditorTypeCharacter(benchmark::State& state) {
  PaintBench& b = Bench();
  b.edit->SetReadOnly(false);
  if (b.edit->Lines()->Count() != 100000) b.edit->SetText(Text100k());
  TypeOneCharacterRounds(state, b, {1, state.range(0) == 0 ? 1 : 100000});
  b.edit->SetReadOnly(true);
}
BENCHMARK(BM_EditorTypeCharacter)->Arg(0)->Arg(1)->ArgNames({"at_end"})->Unit(benchmark::kMicrosecond);

// The 10,000 lines of SQL the paste benchmarks put on the clipboard.
const std::string& PasteBlock() {
  static const std::string block = [] {
    std::string s;
    for (const auto& l : MakeSqlCorpus(10000)) s += l + "\r\n";
    return s;
  }();
  return block;
}

// A short text as the editor's text, and the 10,000 lines on the clipboard.
void ShortTextAndBlockOnClipboard(PaintBench& b) {
  b.edit->SetText("select 1 from dual");
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(CF_TEXT, PasteBlock());
  CloseClipboard();
}

// Each round: a short text and the 10,000 lines on the clipboard, pasted, and the paste undone, with
// the paint that follows either; the paste or its undo is timed.
void PasteRounds(benchmark::State& state, bool timeTheUndo) {
  PaintBench& b = Bench();
  b.edit->SetReadOnly(false);
  for (auto _ : state) {
    state.PauseTiming();
    ShortTextAndBlockOnClipboard(b);
    if (!timeTheUndo) state.ResumeTiming();
    b.edit->PasteFromClipboard();
    if (timeTheUndo) {
      state.ResumeTiming();
      b.edit->Undo();
    }
    b.Paint();
  }
  b.edit->SetReadOnly(true);
}

// Pasting 10,000 lines, what undoing it is measured against.
void BM_EditorPaste10kLines(benchmark::State& state) {
  PasteRounds(state, false);
}
BENCHMARK(BM_EditorPaste10kLines)->Unit(benchmark::kMillisecond)->Iterations(5);

// Undoing a paste of 10,000 lines.
void BM_EditorUndo10kLinePaste(benchmark::State& state) {
  PasteRounds(state, true);
}
BENCHMARK(BM_EditorUndo10kLinePaste)->Unit(benchmark::kMillisecond)->Iterations(5);

// The length of a column block 100,000 columns wide over 100 lines of SQL, nearly all of it past the
// lines' ends: ten million characters that a copy without trimming pads with blanks.
void BM_EditorSelLengthWideColumnBlock(benchmark::State& state) {
  PaintBench& b = Bench();
  const TCodeEditorOptions options = b.edit->Options();
  const int scrollWidth = b.edit->MaxScrollWidth();
  b.edit->SetOptions(options - eoTrimTrailingSpaces);
  b.edit->SetMaxScrollWidth(100000);
  b.edit->SetText(JoinLines(MakeSqlCorpus(100)));
  b.edit->SetSelectionMode(smColumn);
  const TBufferCoord end{100001, 100};
  b.edit->SetCaretAndSelection(end, {1, 1}, end);
  int length = 0;
  for (auto _ : state) benchmark::DoNotOptimize(length = b.edit->SelLength());
  state.counters["length"] = length;
  b.edit->SetSelectionMode(smNormal);
  b.edit->SetMaxScrollWidth(scrollWidth);
  b.edit->SetOptions(options);
}
BENCHMARK(BM_EditorSelLengthWideColumnBlock)->Unit(benchmark::kMicrosecond);

// One typed character and the paint it causes at column 1,000 and 5,000 of a line of 6,000
// characters, in an editor whose scroll width follows its longest line (as the statement viewers').
void BM_EditorTypeAtColumn(benchmark::State& state) {
  PaintBench& b = Bench();
  const TCodeEditorOptions options = b.edit->Options();
  b.edit->SetReadOnly(false);
  b.edit->SetOptions(options + eoAutoSizeMaxScrollWidth);
  std::string line;
  while (line.size() < 6000) line += "select s.sid, s.serial#, s.username from v$session s where 1 = 1 ";
  line.resize(6000);
  b.edit->SetText(line + "\n" + line);
  TypeOneCharacterRounds(state, b, {static_cast<int>(state.range(0)), 1});
  state.counters["caret"] = b.edit->CaretX();
  b.edit->SetOptions(options);
  b.edit->SetReadOnly(true);
}
BENCHMARK(BM_EditorTypeAtColumn)->Arg(1000)->Arg(5000)->ArgNames({"column"})->Unit(benchmark::kMicrosecond);

}  // namespace
