// Shared helpers of the grid tests: a fake clock, one fixed screen and the screenshot folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"

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

// The modifiers in Shift go up one after the other, as a hand lets them go.
inline void LetGo(talvik::gui::ShiftKeys Shift) {
  if (Shift.alt) {
    Shift.alt = false;
    talvik::gui::InjectKey(VK_MENU, false, 0, Shift);
  }
  if (Shift.ctrl) {
    Shift.ctrl = false;
    talvik::gui::InjectKey(VK_CONTROL, false, 0, Shift);
  }
  if (Shift.shift) {
    Shift.shift = false;
    talvik::gui::InjectKey(VK_SHIFT, false, 0, Shift);
  }
}

// A key typed with the modifiers in Shift: pressed and released while they are held, then the modifiers
// go up, so that the keyboard is at rest afterwards (a modifier typed itself is up with its release).
inline void TypeKey(WORD Vk, char32_t Ch, talvik::gui::ShiftKeys Shift) {
  talvik::gui::InjectKey(Vk, true, Ch, Shift);
  talvik::gui::InjectKey(Vk, false, 0, Shift);
  if (Vk == VK_MENU) Shift.alt = false;
  if (Vk == VK_CONTROL) Shift.ctrl = false;
  if (Vk == VK_SHIFT) Shift.shift = false;
  LetGo(Shift);
}

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
  // The keyboard is at rest again: a key a test pressed went up, and the window layer read its release
  // even when the window it was typed into went first. A modifier found held fails the test that left
  // it and then goes up, whatever the check did, so that the tests after it start at rest.
  static void ExpectKeyboardAtRest() {
    auto held = [](WORD vk) { return GetAsyncKeyState(vk) < 0 || GetKeyState(vk) < 0; };
    talvik::gui::ShiftKeys down;
    down.shift = held(VK_SHIFT);
    down.ctrl = held(VK_CONTROL);
    down.alt = held(VK_MENU);
    TScopeExit letGo([down] {
      LetGo(down);
      Drain();
    });
    for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
      EXPECT_GE(GetAsyncKeyState(vk), 0) << "key " << vk << " left held";
      EXPECT_GE(GetKeyState(vk), 0) << "key " << vk << " still read as held";
    }
  }
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
