// Reading a queue that holds a press and its release together, as the program's loop reads it, and the
// names of the cases: the quick-click tables of the window layer and of the toolbars share them.
#pragma once

#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"

namespace guitest {

// Reads what is queued as the program's loop does (after `Reading`, or by itself when there is none).
// `Meanwhile` runs once something has waited for input a moment (a loop that took the mouse), or after
// the read. A loop that still waits after a while is ended by Escape; the count of those is returned.
inline int ReadQueuedInput(const std::function<void()>& Meanwhile = nullptr,
                           const std::function<void()>& Reading = nullptr) {
  static const std::function<void()>* pending = nullptr;
  constexpr WPARAM kMeanwhile = 0x7E57;
  pending = Meanwhile ? &Meanwhile : nullptr;
  HHOOK hook = SetWindowsHookEx(
      WH_GETMESSAGE,
      [](int, WPARAM How, LPARAM M) -> LRESULT {
        const MSG& m = *reinterpret_cast<const MSG*>(M);
        if (How == PM_REMOVE && m.message == WM_NULL && m.wParam == kMeanwhile && pending) {
          const auto* run = pending;
          pending = nullptr;
          (*run)();
        }
        return 0;
      },
      nullptr, 0);
  std::atomic<bool> done{false};
  std::atomic<int> escapes{0};
  std::thread watchdog([&] {
    const auto wait = [&](int Ms) {
      for (int i = 0; i < Ms / 10 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return !done;
    };
    if (Meanwhile) {
      if (!wait(100)) return;
      PostMessage(nullptr, WM_NULL, kMeanwhile, 0);
    }
    while (wait(500)) {
      ++escapes;
      PostMessage(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    }
  });
  if (Reading) Reading();
  talvik::gui::ProcessPending();
  done = true;
  watchdog.join();
  UnhookWindowsHookEx(hook);
  if (pending) {
    pending = nullptr;
    Meanwhile();
    talvik::gui::ProcessPending();
  }
  MSG m;
  while (PeekMessage(m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
  }
  while (PeekMessage(m, nullptr, WM_NULL, WM_NULL, PM_REMOVE)) {
  }
  return escapes;
}

// A case's name as a test's name: its letters and digits.
inline std::string CaseName(const char* Name) {
  std::string n;
  for (const char* p = Name; *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
  return n;
}

}  // namespace guitest
