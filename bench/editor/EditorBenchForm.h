// One form holding one editor with the Oracle SQL highlighter in Courier New -13, without border or
// scroll bars, painted into a bitmap of the editor's size: what the editor's paint benchmarks measure.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/HeadlessGui.h"
#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

struct EditorBenchForm {
  EditorBenchForm(int width, int height) {
    StartHeadlessGui();
    highlighter = std::make_unique<TCodeSQLHighlighter>(nullptr);
    highlighter->SetSQLDialect(sqlOracle);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, width + 40, height + 40);
    edit = new TCodeEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBorderStyle(bsNone);
    edit->SetScrollBars(ssNone);
    edit->SetBounds(0, 0, width, height);
    edit->Font()->SetName("Courier New");
    edit->Font()->SetHeight(-13);
    edit->SetHighlighter(highlighter.get());
    form->Show();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, width, height);
    SelectObject(dc, bitmap);
  }
  ~EditorBenchForm() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  EditorBenchForm(const EditorBenchForm&) = delete;
  EditorBenchForm& operator=(const EditorBenchForm&) = delete;
  void Paint() { edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc)); }
  // Each round: Place (the caret put, not timed), one typed character (WM_KEYDOWN, WM_CHAR) and the
  // paint it causes (timed), and its undo (not timed).
  template <typename TPlace>
  void TypeOneCharacterRounds(benchmark::State& state, TPlace place) {
    for (auto _ : state) {
      state.PauseTiming();
      place();
      state.ResumeTiming();
      edit->Perform(WM_KEYDOWN, 'A', 0);
      edit->Perform(WM_CHAR, 'a', 0);
      Paint();
      state.PauseTiming();
      edit->Undo();
      state.ResumeTiming();
    }
  }

  std::unique_ptr<TCodeSQLHighlighter> highlighter;
  std::unique_ptr<TForm> form;
  TCodeEdit* edit = nullptr;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
};
