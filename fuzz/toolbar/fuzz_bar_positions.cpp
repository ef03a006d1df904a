// Feeds the toolbar position reader arbitrary stored values: loading never fails except with the
// reader's own messages, and leaves every window docked on a dock of the form, floating with its
// frame on the screen, or where it was; no stored window is put on a dock that allows no drag.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarPositions.h"

namespace {

class TFuzzBar : public TBarCustomDockableWindow {
  TALVIK_CLASS(TFuzzBar, TBarCustomDockableWindow)
  TFuzzBar(TComponent* AOwner, const std::string& AName) : TBarCustomDockableWindow(AOwner) {
    SetName(AName);
  }
  TSize CalcSizeForDockType(TBarDockType DockType) override {
    return DockType == dtLeftRight ? TSize(18, 60) : TSize(60, 18);
  }
  TSize GetBaseSize() override { return CalcSizeForDockType(GetDockTypeOf()); }
};

// The stored values, read in the order the loader asks for them.
class TInput {
 public:
  TInput(const std::uint8_t* Data, std::size_t Size) : data_(Data), size_(Size) {}
  int Int(int Default) {
    if (pos_ >= size_) return Default;
    const std::uint8_t kind = data_[pos_++];
    switch (kind % 4) {
      case 0:
        return Default;
      case 1:
        return BarPositionsRevision;
      case 2:
        return static_cast<int>(kind / 4) - 8;
      default: {
        std::int32_t v = 0;
        const std::size_t n = std::min<std::size_t>(4, size_ - pos_);
        std::memcpy(&v, data_ + pos_, n);
        pos_ += n;
        return v;
      }
    }
  }
  std::string String(const std::string& Default) {
    static const char* const kNames[] = {"", "+", "TBDockTop", "tbdockbottom", "Nowhere", "ToolBarView"};
    if (pos_ >= size_) return Default;
    const std::uint8_t kind = data_[pos_++];
    if (kind < 6 * 40) return kNames[kind % 6];
    const std::size_t n = std::min<std::size_t>(kind - 6 * 40, size_ - pos_);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // window surfaces need a painting platform, never a display
    talvik::gui::SetBackend(nullptr);
    MONITORINFO mi;
    mi.rcMonitor = mi.rcWork = Rect(0, 0, 1024, 768);
    mi.dwFlags = MONITORINFOF_PRIMARY;
    talvik::gui::SetScreens({mi});
    CreateApplication();
    return true;
  }();
  (void)started;
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetBounds(10, 10, 400, 300);
  auto* top = new TBarDock(form.get());
  top->SetName("TBDockTop");
  top->SetParent(form.get());
  auto* bottom = new TBarDock(form.get());
  bottom->SetName("TBDockBottom");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(form.get());
  auto* fixed = new TBarDock(form.get());
  fixed->SetName("Fixed");
  fixed->SetAllowDrag(false);
  fixed->SetPosition(dpLeft);
  fixed->SetParent(form.get());
  TFuzzBar* bars[] = {new TFuzzBar(form.get(), "ToolBarView"), new TFuzzBar(form.get(), "ToolBarSession"),
                      new TFuzzBar(form.get(), "OnFixed")};
  bars[0]->SetParent(top);
  bars[1]->SetParent(top);
  bars[2]->SetParent(fixed);
  form->Show();

  TInput input(data, size);
  LoadToolbarPositions(
      form.get(), [&](const std::string&, const std::string&, int Default) { return input.Int(Default); },
      [&](const std::string&, const std::string&, const std::string& Default) {
        return input.String(Default);
      });

  // a dock that allows no drag takes no stored window
  if (bars[0]->CurrentDock() == fixed || bars[1]->CurrentDock() == fixed) std::abort();
  for (TFuzzBar* bar : bars) {
    const bool onDock = bar->Parent() == top || bar->Parent() == bottom || bar->Parent() == fixed;
    if (!onDock && !bar->Floating()) std::abort();
    if (bar->Floating()) {
      TRect common;
      if (!IntersectRect(common, bar->FloatingParent()->BoundsRect(), Rect(0, 0, 1024, 768))) std::abort();
    }
  }
  for (TBarDock* dock : {top, bottom, fixed})
    for (TBarCustomDockableWindow* W : dock->DockVisibleList())
      if (W->Parent() != dock || dock->ArrangePending()) std::abort();
  form.reset();
  return 0;
}
