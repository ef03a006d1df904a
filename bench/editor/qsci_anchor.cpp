// The anchor: the same corpus lexed by QScintilla's SQL lexer in a headless document.
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "SqlCorpus.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "editor_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Restyles the whole document: the styles are cleared, then the lexer colourises every line.
void BM_QScintillaSqlLexer100k(benchmark::State& state) {
  App();
  const std::string text = JoinLines(MakeSqlCorpus(100000));
  auto editor = std::make_unique<QsciScintilla>();
  auto* lexer = new QsciLexerSQL(editor.get());
  editor->setLexer(lexer);
  editor->SendScintilla(QsciScintillaBase::SCI_SETTEXT, static_cast<unsigned long>(0), text.c_str());
  for (auto _ : state) {
    editor->SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
    editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, static_cast<unsigned long>(0),
                          static_cast<long>(-1));
  }
  long styled = editor->SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED);
  state.counters["styled_bytes"] = static_cast<double>(styled);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_QScintillaSqlLexer100k)->Unit(benchmark::kMillisecond);

}  // namespace
