// The popup animation on a fake clock: the worker runs inline on this thread, its sleeps move the
// clock, and what it posts is dispatched where the test says.
#include <gtest/gtest.h>

#include "toolbar/BarAnimation.h"
#include "toolbar/BarMenuTestSupport.h"

namespace {

using toolbartest::BarMenuTest;

constexpr int kTime = 150;

class BarAnimation : public BarMenuTest {
 protected:
  void SetUp() override {
    BarMenuTest::SetUp();
    SystemParametersInfo(SPI_SETMENUANIMATION, 0, reinterpret_cast<void*>(1), 0);
    menu = Add<TBarSubmenuItem>(root_, "Меню");
    for (int i = 0; i < 6; ++i) Add(menu, "Пункт " + std::to_string(i));
    TBarAnimationHooks hooks;
    hooks.NowMs = [this] { return now; };
    hooks.SleepMs = [this](int Ms) {
      sleeps.push_back(Ms);
      now += Ms;
      if (onSleep) onSleep();
    };
    hooks.Start = [this](std::function<void()> Worker) {
      if (failStart) return false;
      worker = std::move(Worker);
      return true;
    };
    SetMenuAnimationHooks(hooks);
  }
  void TearDown() override {
    EndMenuAnimation(nullptr);
    SetMenuAnimationHooks({});
    SystemParametersInfo(SPI_SETMENUFADE, 0, nullptr, 0);
    BarMenuTest::TearDown();
  }
  std::unique_ptr<TBarPopupWindow> Open(TPoint P = TPoint(300, 200)) {
    return std::unique_ptr<TBarPopupWindow>(
        menu->BuildSubmenuPopup(nullptr, nullptr, false, false, false, P, tbpaLeft));
  }
  // The bounding box of a window's region; false when it has none.
  static bool RegionBox(HWND Wnd, TRect& Box) {
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    const bool has = GetWindowRgn(Wnd, r) != ERROR;
    GetRgnBox(r, Box);
    DeleteObject(r);
    return has;
  }
  // The step messages waiting for a window.
  static int PendingSteps(HWND Wnd) {
    std::vector<MSG> taken;
    MSG m;
    while (PeekMessage(m, Wnd, WM_BAR_ANIMATION_STEP, WM_BAR_ANIMATION_STEP, PM_REMOVE)) taken.push_back(m);
    for (const MSG& t : taken) PostMessage(t.hwnd, t.message, t.wParam, t.lParam);
    return static_cast<int>(taken.size());
  }
  // Ends in the fully drawn window: no region, and the frame's last row shows.
  static void ExpectFinished(HWND Wnd) {
    TRect box;
    EXPECT_FALSE(RegionBox(Wnd, box)) << "a region is left";
    EXPECT_FALSE(MenuAnimationRunning(Wnd));
    RECT r;
    GetWindowRect(Wnd, r);
    EXPECT_EQ(talvik::gui::WindowPixel(Wnd, r.Width() - 1, r.Height() - 1), GetSysColor(COLOR_3DDKSHADOW));
  }

  TBarSubmenuItem* menu = nullptr;
  std::int64_t now = 5000;
  std::vector<int> sleeps;
  std::function<void()> worker;
  std::function<void()> onSleep;
  bool failStart = false;
};

TEST_F(BarAnimation, StartsFromNothingShownWithoutAPaintPending) {
  auto popup = Open();
  HWND h = popup->Handle();
  ASSERT_TRUE(MenuAnimationRunning(h));
  TRect box;
  ASSERT_TRUE(RegionBox(h, box));
  EXPECT_TRUE(box.IsEmpty());
  EXPECT_TRUE(IsWindowVisible(h));
  MSG m;
  EXPECT_FALSE(PeekMessage(m, h, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "a paint would end the animation";
  EXPECT_EQ(popup->AnimationDirection(), 4 | 2);
}

TEST_F(BarAnimation, TheWorkerStepsBy16AndSleepsUntilTheNextStep) {
  auto popup = Open();
  ASSERT_TRUE(worker);
  std::vector<int> steps;
  onSleep = [&] { steps.push_back(MenuAnimationStep()); };
  worker();  // nothing applies the steps: only one is ever pending
  ASSERT_GE(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[0], MulDiv(16, kTime, 255)) << "from 0 to the first step";
  EXPECT_EQ(sleeps[1], 1) << "the remainder, at least one millisecond";
  for (int s : sleeps) EXPECT_GE(s, 1);
  for (int s : steps) EXPECT_EQ(s % 16, 0) << s;
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_EQ(steps.back(), 240);
  EXPECT_GE(now - 5000, kTime);
  EXPECT_LT(now - 5000, kTime + 10);
  EXPECT_EQ(PendingSteps(popup->Handle()), 2) << "one step while none was applied, then the end";
  talvik::gui::ProcessPending();
  ExpectFinished(popup->Handle());
}

TEST_F(BarAnimation, EachStepGrowsTheRegionAndTheEndShowsAll) {
  auto popup = Open();
  HWND h = popup->Handle();
  RECT window;
  GetWindowRect(h, window);
  std::vector<std::pair<int, TRect>> seen;
  onSleep = [&] {
    MSG m;
    while (PeekMessage(m, h, WM_BAR_ANIMATION_STEP, WM_BAR_ANIMATION_STEP, PM_REMOVE)) {
      DispatchMessage(m);
      TRect box;
      if (RegionBox(h, box)) seen.emplace_back(MenuAnimationStep(), box);
    }
  };
  worker();
  talvik::gui::ProcessPending();
  ASSERT_GE(seen.size(), 5u);
  for (const auto& [step, box] : seen) {
    // sliding down and right: the lower right corner shows first
    EXPECT_EQ(box.Bottom, MulDiv(window.Height(), step, 255)) << step;
    EXPECT_EQ(box.Right, MulDiv(window.Width(), step, 255)) << step;
  }
  ExpectFinished(h);
}

TEST_F(BarAnimation, StaleStepsOfAnEarlierAnimationAreIgnored) {
  auto first = Open(TPoint(100, 100));
  worker();  // its steps stay in the queue
  ASSERT_EQ(PendingSteps(first->Handle()), 2);
  auto second = Open(TPoint(500, 100));
  ExpectFinished(first->Handle());  // ended fully drawn before the second started
  ASSERT_TRUE(MenuAnimationRunning(second->Handle()));
  talvik::gui::ProcessPending();
  EXPECT_TRUE(MenuAnimationRunning(second->Handle()));
  EXPECT_EQ(MenuAnimationStep(), 0);
  TRect box;
  ASSERT_TRUE(RegionBox(second->Handle(), box));
  EXPECT_TRUE(box.IsEmpty());
  ExpectFinished(first->Handle());
}

TEST_F(BarAnimation, TheCursorEnteringTheMenuEndsIt) {
  auto popup = Open();
  HWND h = popup->Handle();
  TPoint inside = popup->ClientToScreen(TPoint(10, 10));
  int applied = 0;
  onSleep = [&] {
    if (MenuAnimationStep() >= 48) SetCursorPos(inside.X, inside.Y);
    MSG m;
    while (PeekMessage(m, h, WM_BAR_ANIMATION_STEP, WM_BAR_ANIMATION_STEP, PM_REMOVE)) {
      DispatchMessage(m);
      ++applied;
    }
  };
  worker();
  EXPECT_LT(now - 5000, kTime) << "the worker stopped early";
  talvik::gui::ProcessPending();
  ExpectFinished(h);
  EXPECT_GE(applied, 2);
}

TEST_F(BarAnimation, AWorkerThatCannotStartShowsTheWindowAtOnce) {
  failStart = true;
  auto popup = Open();
  EXPECT_TRUE(IsWindowVisible(popup->Handle()));
  ExpectFinished(popup->Handle());
}

TEST_F(BarAnimation, WithoutDirectionTheWholeWindowShowsAtTheFirstStep) {
  auto popup = Open();
  HWND h = popup->Handle();
  EndMenuAnimation(h);
  StartMenuAnimation(h, kTime, false, 0);
  onSleep = [&] {
    MSG m;
    if (PeekMessage(m, h, WM_BAR_ANIMATION_STEP, WM_BAR_ANIMATION_STEP, PM_REMOVE)) {
      DispatchMessage(m);
      onSleep = nullptr;
    }
  };
  worker();
  TRect box;
  RECT window;
  GetWindowRect(h, window);
  // the first step applied is the whole window; the end waits in the queue
  ASSERT_TRUE(MenuAnimationRunning(h));
  ASSERT_TRUE(RegionBox(h, box));
  EXPECT_EQ(box, Rect(0, 0, window.Width(), window.Height()));
  talvik::gui::ProcessPending();
  ExpectFinished(h);
}

TEST_F(BarAnimation, AFadeRequestSlides) {
  SystemParametersInfo(SPI_SETMENUFADE, 0, reinterpret_cast<void*>(1), 0);
  auto popup = Open();
  HWND h = popup->Handle();
  ASSERT_TRUE(MenuAnimationRunning(h));
  EXPECT_EQ(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  TRect box;
  EXPECT_TRUE(RegionBox(h, box)) << "sliding works with a region";
}

TEST_F(BarAnimation, HidingOrDestroyingThePopupEndsIt) {
  auto popup = Open();
  HWND h = popup->Handle();
  popup->Hide();
  EXPECT_FALSE(MenuAnimationRunning());
  TRect box;
  EXPECT_FALSE(RegionBox(h, box));
  auto again = Open();
  ASSERT_TRUE(MenuAnimationRunning());
  again.reset();
  EXPECT_FALSE(MenuAnimationRunning());
}

}  // namespace
