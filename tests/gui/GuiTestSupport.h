// Shared helpers of the gui tests: a logging window class, a fake clock and fixed screens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"
#include "tests/gui/KeyboardTestSupport.h"

namespace guitest {

struct Logged {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Logged>& Log() {
  static std::vector<Logged> log;
  return log;
}

// Per-window handlers; answer true when the message was handled (with *result set).
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline std::map<HWND, Handler>& Handlers() {
  static std::map<HWND, Handler> h;
  return h;
}

inline bool Quiet(UINT m) {
  return m == WM_GETTEXT || m == WM_NCHITTEST || m == WM_SETCURSOR || m == WM_GETMINMAXINFO ||
         m == WM_NCCALCSIZE || m == WM_NCPAINT || m == WM_ERASEBKGND || m == WM_PAINT ||
         m == WM_STYLECHANGING || m == WM_STYLECHANGED;
}

inline LRESULT LoggingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (!Quiet(m)) Log().push_back({h, m, w, l});
  auto it = Handlers().find(h);
  if (it != Handlers().end()) {
    LRESULT r = 0;
    if (it->second(h, m, w, l, &r)) return r;
  }
  return DefWindowProc(h, m, w, l);
}

inline std::uint64_t& FakeNow() {
  static std::uint64_t now = 1000000;
  return now;
}

inline void RegisterTestClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASS wc;
  wc.lpfnWndProc = LoggingProc;
  wc.lpszClassName = "TestWindow";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClass(wc);
  wc.lpszClassName = "TestDblClk";
  wc.style = CS_DBLCLKS;
  RegisterClass(wc);
}

// Windows without a Qt host, a fake clock and one fixed monitor: every test sees the same world.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    talvik::gui::UseQtBackend();  // the toolkit application object, for fonts and images
    talvik::gui::SetBackend(nullptr);
    RegisterTestClasses();
    talvik::gui::SetClock([] { return FakeNow(); });
    MONITORINFO mi;
    mi.rcMonitor = Rect(0, 0, 1024, 768);
    mi.rcWork = Rect(0, 0, 1024, 728);
    mi.dwFlags = MONITORINFOF_PRIMARY;
    talvik::gui::SetScreens({mi});
    SetDoubleClickTime(500);
    Log().clear();
  }
  void TearDown() override {
    for (HWND h : created_)
      if (IsWindow(h)) DestroyWindow(h);
    Drain();
    ExpectKeyboardAtRest(Drain);
    ReleaseCapture();
    Handlers().clear();
    Log().clear();
    talvik::gui::SetClock(nullptr);
    talvik::gui::SetScreens({});
  }
  static void Drain() {
    MSG m;
    while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE))
      if (m.message == WM_PAINT) DispatchMessage(m);  // painting is what validates a window
  }
  HWND Top(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE, DWORD ex = 0,
           const char* cls = "TestWindow", HWND owner = nullptr) {
    HWND hwnd = CreateWindowEx(ex, cls, "top", style, x, y, w, h, owner, 0, nullptr, nullptr);
    created_.push_back(hwnd);
    return hwnd;
  }
  HWND Child(HWND parent, int x, int y, int w, int h, DWORD style = 0, DWORD ex = 0, int id = 0,
             const char* cls = "TestWindow") {
    return CreateWindowEx(ex, cls, "child", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                          static_cast<HMENU>(id), nullptr, nullptr);
  }
  // Dispatches what is queued (translating keys), as a message loop would.
  static void Pump() { talvik::gui::ProcessPending(); }
  static std::vector<Logged> Messages(HWND h, UINT msg) {
    std::vector<Logged> out;
    for (auto& l : Log())
      if (l.hwnd == h && l.msg == msg) out.push_back(l);
    return out;
  }
  static int IndexOf(HWND h, UINT msg, int from = 0) {
    for (int i = from; i < static_cast<int>(Log().size()); ++i)
      if (Log()[i].hwnd == h && Log()[i].msg == msg) return i;
    return -1;
  }
  std::vector<HWND> created_;
};

}  // namespace guitest
