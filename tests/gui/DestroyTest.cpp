// What a destroyed window leaves behind: nothing. Focus, capture, activation and the caret never name a
// window that is gone, whatever its WM_DESTROY handler does; no window is made inside one being
// destroyed; owners never form a cycle.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "GuiTestSupport.h"
#include "platform/gui/Windows.h"

using namespace guitest;

namespace {

// A call a WM_DESTROY handler makes on the window going (`top`) or its child.
struct DestroyCall {
  std::string name;
  std::function<void(HWND top, HWND child)> call;
};

void PrintTo(const DestroyCall& c, std::ostream* os) {
  *os << c.name;
}

class DestroyTime : public GuiTest, public ::testing::WithParamInterface<DestroyCall> {};

std::string NameOf(const ::testing::TestParamInfo<DestroyCall>& p) {
  return p.param.name;
}

}  // namespace

TEST_P(DestroyTime, StateThatAHandlerOfWmDestroySetsDiesWithTheWindow) {
  HWND other = Top(300, 0, 100, 100);  // lives on: the state may fall back to it, never to a dead one
  HWND top = Top(0, 0, 200, 200);
  HWND child = Child(top, 10, 10, 50, 50);
  SetActiveWindow(top);
  SetFocus(child);
  const auto call = GetParam().call;
  Handlers()[top] = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_DESTROY && h == top) call(top, child);
    return false;
  };
  ASSERT_TRUE(DestroyWindow(top));
  EXPECT_FALSE(IsWindow(top));
  for (HWND h : {GetFocus(), GetCapture(), GetActiveWindow()}) EXPECT_TRUE(h == nullptr || h == other) << h;
  POINT caret;
  EXPECT_FALSE(GetCaretPos(caret)) << "the caret still belongs to a destroyed window";
  // input after the destruction goes nowhere harmful
  PostMessage(other, WM_USER, 0, 0);
  Pump();
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DestroyTime,
    ::testing::Values(DestroyCall{"SetFocusToTheChild", [](HWND, HWND child) { SetFocus(child); }},
                      DestroyCall{"SetFocusToItself", [](HWND top, HWND) { SetFocus(top); }},
                      DestroyCall{"SetCaptureOnItself", [](HWND top, HWND) { SetCapture(top); }},
                      DestroyCall{"SetCaptureOnTheChild", [](HWND, HWND child) { SetCapture(child); }},
                      DestroyCall{"SetActiveWindowToItself", [](HWND top, HWND) { SetActiveWindow(top); }},
                      DestroyCall{"CreateCaretInTheChild",
                                  [](HWND, HWND child) {
                                    CreateCaret(child, nullptr, 1, 10);
                                    ShowCaret(child);
                                  }}),
    NameOf);

class DestroyTree : public GuiTest {};

TEST_F(DestroyTree, NoWindowIsMadeInsideOneBeingDestroyed) {
  HWND top = Top(0, 0, 200, 200);
  HWND made = reinterpret_cast<HWND>(1);
  HWND owned = reinterpret_cast<HWND>(1);
  Handlers()[top] = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_DESTROY && h == top) {
      made = Child(top, 0, 0, 10, 10);
      owned = CreateWindowEx(0, "TestWindow", "owned", WS_POPUP, 0, 0, 10, 10, top, 0, nullptr, nullptr);
    }
    return false;
  };
  DestroyWindow(top);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(owned, nullptr);
}

TEST_F(DestroyTree, OwnersNeverFormACycle) {
  HWND a = Top(0, 0, 100, 100);
  HWND b = Top(0, 0, 100, 100, WS_POPUP, 0, "TestWindow", a);
  HWND c = Top(0, 0, 100, 100, WS_POPUP, 0, "TestWindow", b);
  ASSERT_EQ(reinterpret_cast<HWND>(GetWindowLongPtr(c, GWLP_HWNDPARENT)), b);
  // owning itself, or its own owner's owner, is refused and leaves the owner as it was
  EXPECT_EQ(SetWindowLongPtr(a, GWLP_HWNDPARENT, reinterpret_cast<std::intptr_t>(a)), 0);
  EXPECT_EQ(SetWindowLongPtr(a, GWLP_HWNDPARENT, reinterpret_cast<std::intptr_t>(c)), 0);
  EXPECT_EQ(GetWindowLongPtr(a, GWLP_HWNDPARENT), 0);
  // a change that makes no cycle still works
  SetWindowLongPtr(c, GWLP_HWNDPARENT, reinterpret_cast<std::intptr_t>(a));
  EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtr(c, GWLP_HWNDPARENT)), a);
  // destroying the first owner takes the owned windows with it
  ASSERT_TRUE(DestroyWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_FALSE(IsWindow(c));
}
