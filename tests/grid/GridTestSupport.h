// Shared helpers of the grid tests: a fake clock, one fixed screen and the screenshot folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "tests/gui/KeyboardTestSupport.h"

namespace gridtest {

inline std::uint64_t& FakeNow() {
  static std::uint64_t now = 5000000;
  return now;
}

inline std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

using guitest::LetGo;
using guitest::TypeKey;

// Windows without a toolkit host, a fake clock and one fixed monitor.
class GridGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    talvik::gui::UseQtBackend();  // the toolkit application object, for fonts and images
    talvik::gui::SetBackend(nullptr);
    talvik::gui::SetClock([] { return FakeNow(); });
    MONITORINFO mi;
    mi.rcMonitor = Rect(0, 0, 1024, 768);
    mi.rcWork = Rect(0, 0, 1024, 728);
    mi.dwFlags = MONITORINFOF_PRIMARY;
    talvik::gui::SetScreens({mi});
    SetDoubleClickTime(500);
    CreateApplication();
  }
  void TearDown() override {
    Drain();
    ExpectKeyboardAtRest();
    talvik::gui::SetClock(nullptr);
    talvik::gui::SetScreens({});
  }
  // A modifier left held fails the test that left it, and goes up.
  static void ExpectKeyboardAtRest() { guitest::ExpectKeyboardAtRest(Drain); }
  static void Drain() {
    MSG m;
    while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE))
      if (m.message == WM_PAINT) DispatchMessage(m);
  }
  // The colour Form shows at a point of Control's client area, once what is pending has painted.
  static COLORREF FormPixel(TForm* Form, TControl* Control, int X, int Y) {
    Drain();
    const TPoint p = Control->ClientToScreen(TPoint{X, Y});
    RECT f;
    GetWindowRect(Form->Handle(), f);
    return talvik::gui::WindowPixel(Form->Handle(), p.X - f.Left, p.Y - f.Top);
  }
  // Moves the fake clock on and runs what fell due.
  static void Advance(unsigned Ms) {
    FakeNow() += Ms;
    talvik::gui::ProcessPending();
  }
};

}  // namespace gridtest
