// What a destroyed window leaves behind: nothing. Focus, capture, activation and the caret never name a
// window that is gone, whatever its WM_DESTROY handler does; no window is made inside one being
// destroyed; owners never form a cycle. Once the display went away, no window reaches the backend.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "GuiTestSupport.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"

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

namespace {

// A backend whose every call, and every call to its windows' hosts (their freeing too), is counted.
class CountingBackend : public talvik::gui::Backend {
 public:
  class CountingHost : public talvik::gui::Host {
   public:
    explicit CountingHost(int& Calls) : calls_(Calls) {}
    ~CountingHost() override { ++calls_; }
    void GeometryChanged(const RECT&) override { ++calls_; }
    void VisibilityChanged(bool) override { ++calls_; }
    void Dirty(const RECT&) override { ++calls_; }
    void CursorChanged(HCURSOR) override { ++calls_; }
    void GrabChanged(bool) override { ++calls_; }
    void Raise() override { ++calls_; }
    void Activate() override { ++calls_; }
    void TitleChanged(const std::string&) override { ++calls_; }

   private:
    int& calls_;
  };
  std::unique_ptr<talvik::gui::Host> CreateHost(HWND) override {
    ++calls;
    return std::make_unique<CountingHost>(calls);
  }
  void Pump(bool, int) override { ++calls; }
  void Wake() override { ++calls; }
  std::vector<MONITORINFO> Screens() override {
    ++calls;
    return {};
  }
  POINT CursorPos() override {
    ++calls;
    return {};
  }
  void Beep() override { ++calls; }
  int calls = 0;
};

// The backend's display went away: nothing reaches the backend again, neither its windows' hosts
// (their windows shown, moved, painted, destroyed) nor message pumping, and a backend installed after
// that is not taken up; the windows themselves go on in memory to the program's end.
TEST(LostDisplay, NothingReachesTheBackendAgain) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the loss holds for the rest of the process
  EXPECT_EXIT(
      {
        talvik::gui::UseQtBackend();  // the toolkit application object, for fonts and images
        RegisterTestClasses();
        static auto* backend = new CountingBackend();  // kept to the end: its hosts are
        talvik::gui::SetBackend(backend);
        HWND top = CreateWindowEx(0, "TestWindow", "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, 0, nullptr, nullptr);
        HWND other = CreateWindowEx(0, "TestWindow", "other", WS_POPUP | WS_VISIBLE, 50, 50, 80, 40, nullptr,
                                    0, nullptr, nullptr);
        const int before = backend->calls;
        talvik::gui::detail::AbandonBackend();
        SetWindowPos(top, nullptr, 20, 20, 300, 150, SWP_NOZORDER);
        InvalidateRect(top, nullptr, true);
        UpdateWindow(top);
        ShowWindow(other, SW_HIDE);
        talvik::gui::ProcessPending();
        DestroyWindow(top);
        talvik::gui::SetBackend(backend);
        HWND late = CreateWindowEx(0, "TestWindow", "late", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, 0,
                                   nullptr, nullptr);
        DestroyWindow(late);
        std::fprintf(stderr, "the backend was reached %d times after the loss; the other window %s\n",
                     backend->calls - before, IsWindow(other) ? "stands" : "is gone");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "the backend was reached 0 times after the loss; the other window stands");
}

}  // namespace
