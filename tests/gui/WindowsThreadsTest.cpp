// Messages posted from worker threads while the GUI thread handles input.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"

using namespace guitest;

class WorkerPosts : public GuiTest {};

// Workers post while the mouse moves along the diagonal: every message carries a position the
// pointer really had (x == y), never the x of one move with the y of another, and none is lost.
TEST_F(WorkerPosts, CarryWholeCursorPositionsWhileInputMovesThePointer) {
  HWND w = Top(0, 0, 600, 600);
  Pump();
  // the pointer is on the diagonal before any worker posts: whatever an earlier test left it at
  // never reaches a message
  talvik::gui::InjectMouse(WM_MOUSEMOVE, POINT{0, 0});
  constexpr int kWorkers = 3, kPerWorker = 400;
  std::atomic<bool> go{false};
  std::atomic<int> done{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kWorkers; ++t) {
    workers.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPerWorker; ++i) PostMessage(w, WM_USER + 7, static_cast<WPARAM>(t), i);
      done.fetch_add(1);
    });
  }
  go.store(true);
  for (int i = 0; done.load() < kWorkers; i = (i + 1) % 500) {
    talvik::gui::InjectMouse(WM_MOUSEMOVE, POINT{i, i});
    if (i % 2) SetCursorPos(i + 1, i + 1);
  }
  for (auto& th : workers) th.join();

  std::vector<int> next(kWorkers, 0);
  int seen = 0;
  MSG m;
  while (PeekMessage(m, w, WM_USER + 7, WM_USER + 7, PM_REMOVE)) {
    ASSERT_LT(m.wParam, static_cast<WPARAM>(kWorkers));
    EXPECT_EQ(m.pt.X, m.pt.Y) << "message " << seen;
    EXPECT_GE(m.pt.X, 0);
    EXPECT_LE(m.pt.X, 500);
    // each worker's messages arrive in the order it posted them
    EXPECT_EQ(m.lParam, next[m.wParam]++);
    ++seen;
  }
  EXPECT_EQ(seen, kWorkers * kPerWorker);
}
