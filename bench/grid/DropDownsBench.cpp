// The drop-down list of 100,000 items: the incremental search that runs to the last item beside a
// plain loop comparing the same prefixes, and a repaint with the top item at the start, the middle
// and the end of the list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/HeadlessGui.h"
#include "grid/DropDownsEx.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kItems = 100000;

std::string ItemText(int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Сеанс %06d", i);
  return buf;
}

TPopupListboxEx* List() {
  static TPopupListboxEx* list = [] {
    StartHeadlessGui();
    auto* l = new TPopupListboxEx(nullptr);
    l->Items()->BeginUpdate();
    for (int i = 0; i < kItems; ++i) l->Items()->Add(ItemText(i));
    l->Items()->EndUpdate();
    l->SetBounds(0, 0, 200, 100);
    l->SetRowCount(8);
    l->HandleNeeded();
    return l;
  }();
  return list;
}

void BM_PopupListSearchToLastItem(benchmark::State& state) {
  TPopupListboxEx* list = List();
  const std::string prefix = "сеанс 099999";
  for (auto _ : state) {
    const LRESULT found = SendMessage(list->Handle(), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(prefix.c_str()));
    benchmark::DoNotOptimize(found);
  }
  if (list->ItemIndex() != kItems - 1) state.SkipWithError("the search did not reach the last item");
}

void BM_PlainPrefixLoop(benchmark::State& state) {
  TPopupListboxEx* list = List();
  const std::string prefix = "сеанс 099999";
  const int chars = Utf8Length(prefix);
  for (auto _ : state) {
    int found = -1;
    for (int i = 0; i < list->Count() && found < 0; ++i)
      if (AnsiSameText(Utf8Copy(list->Items()->Strings(i), 1, chars), prefix)) found = i;
    benchmark::DoNotOptimize(found);
  }
}

void BM_PopupListRepaint(benchmark::State& state) {
  TPopupListboxEx* list = List();
  list->SetTopIndex(static_cast<int>(state.range(0)));
  TBitmap target;
  target.SetSize(list->Width(), list->Height());
  for (auto _ : state) list->PaintTo(target.Canvas()->Handle(), 0, 0);
}

BENCHMARK(BM_PopupListSearchToLastItem)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPrefixLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PopupListRepaint)->Arg(0)->Arg(50000)->Arg(99990)->Unit(benchmark::kMicrosecond);

}  // namespace
