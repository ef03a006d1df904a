// Hot paths of the editor's text core: highlighting, buffer edits and word wrap on 100,000 lines.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "SqlCorpus.h"
#include "editor/CodeEditTextBuffer.h"
#include "editor/CodeEditWordWrap.h"
#include "editor/CodeHighlighterSQL.h"

namespace {

constexpr int kLines = 100000;

const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> corpus = MakeSqlCorpus(kLines);
  return corpus;
}

TCodeEditStringList& CorpusBuffer() {
  static TCodeEditStringList* list = [] {
    auto* l = new TCodeEditStringList();
    for (const auto& s : Corpus()) l->Add(s);
    return l;
  }();
  return *list;
}

size_t CorpusBytes() {
  size_t n = 0;
  for (const auto& s : Corpus()) n += s.size() + 1;
  return n;
}

// Scans every line as the editor does when it sets its text: the range after each line is
// stored, and every token's attribute is taken (what painting needs of the highlighter).
void BM_HighlightOracle100k(benchmark::State& state) {
  TCodeEditStringList& lines = CorpusBuffer();
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  int64_t tokens = 0;
  for (auto _ : state) {
    hl.ResetRange();
    uintptr_t sink = 0;
    for (int i = 0; i < lines.Count(); ++i) {
      hl.SetLine(lines.Line32(i), i);
      while (!hl.GetEol()) {
        sink +=
            reinterpret_cast<uintptr_t>(hl.GetTokenAttribute()) + static_cast<uintptr_t>(hl.GetTokenPos());
        ++tokens;
        hl.Next();
      }
      lines.SetRanges(i, hl.GetRange());
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(CorpusBytes()));
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  state.counters["lines"] = kLines;
}
BENCHMARK(BM_HighlightOracle100k)->Unit(benchmark::kMillisecond);

// The same, starting from UTF-8 text (the conversion into the buffer included).
void BM_LoadAndHighlightOracle100k(benchmark::State& state) {
  const std::string text = JoinLines(Corpus());
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  for (auto _ : state) {
    TCodeEditStringList lines;
    TStringStream stream(text);
    lines.LoadFromStream(&stream);
    hl.ResetRange();
    for (int i = 0; i < lines.Count(); ++i) {
      hl.SetLine(lines.Line32(i), i);
      hl.NextToEol();
      lines.SetRanges(i, hl.GetRange());
    }
    benchmark::DoNotOptimize(lines.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadAndHighlightOracle100k)->Unit(benchmark::kMillisecond);

// Rescanning after an edit: from the changed line on, until a line ends in the range it had
// before. A typed character costs about one line; opening a block comment at the top rescans
// everything after it.
int RescanFrom(TCodeSQLHighlighter& hl, TCodeEditStringList& lines, int index) {
  if (index == 0)
    hl.ResetRange();
  else
    hl.SetRange(lines.Ranges(index - 1));
  int scanned = 0;
  for (int i = index; i < lines.Count(); ++i) {
    hl.SetLine(lines.Line32(i), i);
    hl.NextToEol();
    ++scanned;
    if (hl.GetRange() == lines.Ranges(i) && i > index) break;
    lines.SetRanges(i, hl.GetRange());
  }
  return scanned;
}

void BM_RescanAfterEdit(benchmark::State& state) {
  TCodeEditStringList lines;
  for (const auto& s : Corpus()) lines.Add(s);
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  RescanFrom(hl, lines, 0);
  const bool openComment = state.range(0) != 0;
  const int at = openComment ? 0 : kLines / 2;
  const std::string original = lines.Strings(at);
  const std::string edited = openComment ? "/* " + original : original + "x";
  int64_t scanned = 0;
  for (auto _ : state) {
    lines.Put(at, edited);
    scanned += RescanFrom(hl, lines, at);
    lines.Put(at, original);
    scanned += RescanFrom(hl, lines, at);
  }
  state.counters["lines_rescanned_per_edit"] =
      static_cast<double>(scanned) / static_cast<double>(2 * state.iterations());
}
BENCHMARK(BM_RescanAfterEdit)->Arg(0)->Arg(1)->ArgNames({"open_comment"})->Unit(benchmark::kMicrosecond);

// Creating an Oracle highlighter: the keyword lists are split and hashed.
void BM_CreateOracleHighlighter(benchmark::State& state) {
  for (auto _ : state) {
    TCodeSQLHighlighter hl;
    hl.SetSQLDialect(sqlOracle);
    benchmark::DoNotOptimize(&hl);
  }
}
BENCHMARK(BM_CreateOracleHighlighter)->Unit(benchmark::kMicrosecond);

void BM_KeywordLookup(benchmark::State& state) {
  TCodeSQLHighlighter hl;
  hl.SetSQLDialect(sqlOracle);
  const std::u32string words[] = {U"select",  U"DBMS_OUTPUT", U"v$session",
                                  U"to_char", U"my_column",   U"varchar2"};
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hl.IdKindOf(words[k++ % 6]));
  }
}
BENCHMARK(BM_KeywordLookup);

// One insert and one delete in the middle of a 100,000-line buffer.
void BM_BufferInsertDeleteMiddle(benchmark::State& state) {
  TCodeEditStringList& lines = CorpusBuffer();
  const std::string text = "  and s.username = 'SCOTT' -- inserted";
  for (auto _ : state) {
    lines.Insert(kLines / 2, text);
    lines.Delete(kLines / 2);
  }
  state.counters["lines"] = lines.Count();
}
BENCHMARK(BM_BufferInsertDeleteMiddle)->Unit(benchmark::kMicrosecond);

void BM_BufferInsertLinesDeleteLinesMiddle(benchmark::State& state) {
  TCodeEditStringList& lines = CorpusBuffer();
  for (auto _ : state) {
    lines.InsertLines(kLines / 2, 100);
    lines.DeleteLines(kLines / 2, 100);
  }
}
BENCHMARK(BM_BufferInsertLinesDeleteLinesMiddle)->Unit(benchmark::kMicrosecond);

class BenchEditor : public ICodeEditWrapHost {
 public:
  int CharsInWindow() const override { return chars; }
  TCodeCharSet IdentChars() const override { return hl.GetIdentChars(); }
  TCodeEditStringList* Lines() const override { return &CorpusBuffer(); }
  int chars = 80;
  TCodeSQLHighlighter hl;
};

// Wraps all 100,000 lines (what switching word wrap on or resizing costs).
void BM_WordWrap100k(benchmark::State& state) {
  BenchEditor ed;
  ed.hl.SetSQLDialect(sqlOracle);
  ed.chars = static_cast<int>(state.range(0));
  TCodeWordWrapPlugin wrap(&ed);
  for (auto _ : state) {
    wrap.Reset();
    benchmark::DoNotOptimize(wrap.RowCount());
  }
  state.counters["rows"] = wrap.RowCount();
}
BENCHMARK(BM_WordWrap100k)->Arg(40)->Arg(80)->Unit(benchmark::kMillisecond);

// A line changed in the middle of a wrapped 100,000-line buffer.
void BM_WordWrapPutMiddle(benchmark::State& state) {
  BenchEditor ed;
  ed.hl.SetSQLDialect(sqlOracle);
  TCodeWordWrapPlugin wrap(&ed);
  for (auto _ : state) {
    benchmark::DoNotOptimize(wrap.LinesPutted(kLines / 2, 1));
  }
}
BENCHMARK(BM_WordWrapPutMiddle)->Unit(benchmark::kMicrosecond);

}  // namespace
