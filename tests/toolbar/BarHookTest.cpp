#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarHook.h"

namespace {

struct Call {
  int proc;
  THookProcCode code;
  HWND wnd;
};
std::vector<Call> calls;

void ProcA(THookProcCode Code, HWND Wnd, WPARAM, LPARAM) {
  calls.push_back({1, Code, Wnd});
}
void ProcB(THookProcCode Code, HWND Wnd, WPARAM, LPARAM) {
  calls.push_back({2, Code, Wnd});
  throw Exception("hook procedure failed");
}
void ProcC(THookProcCode Code, HWND Wnd, WPARAM, LPARAM) {
  calls.push_back({3, Code, Wnd});
}

// A hook of the test's own, installed before ours, that must still see every message.
int chainedCalls = 0;
HHOOK chained = nullptr;
LRESULT ChainedHook(int Code, WPARAM WParam, LPARAM LParam) {
  ++chainedCalls;
  return CallNextHookEx(chained, Code, WParam, LParam);
}

LRESULT PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProc(h, m, w, l);
}

class BarHook : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    WNDCLASS wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "BarHookTestWindow";
    RegisterClass(wc);
  }
  void TearDown() override { UninstallAllHookProcs(); }
  static HWND MakeWindow() {
    return CreateWindowEx(0, "BarHookTestWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  }
  static int Hooks() {
    return talvik::gui::InstalledHookCount(WH_CALLWNDPROC) + talvik::gui::InstalledHookCount(WH_CBT) +
           talvik::gui::InstalledHookCount(WH_GETMESSAGE);
  }
};

TEST_F(BarHook, RegistrationsAreCountedAndHooksLeaveWithTheLastOne) {
  const int before = talvik::gui::InstalledHookCount(WH_CBT);
  InstallHookProc(ProcA, {hpPreDestroy}, false);
  InstallHookProc(ProcA, {hpPreDestroy}, false);
  EXPECT_EQ(talvik::gui::InstalledHookCount(WH_CBT), before + 1) << "one window hook per type";
  UninstallHookProc(ProcA);
  HWND w = MakeWindow();
  DestroyWindow(w);
  ASSERT_EQ(calls.size(), 1u) << "still registered after one of two unregistrations";
  EXPECT_EQ(calls[0].wnd, w);
  UninstallHookProc(ProcA);
  EXPECT_EQ(talvik::gui::InstalledHookCount(WH_CBT), before);
  DestroyWindow(MakeWindow());
  EXPECT_EQ(calls.size(), 1u);
  UninstallHookProc(ProcA);  // no longer registered: ignored
}

TEST_F(BarHook, ProceduresSeeOnlyTheirKinds) {
  InstallHookProc(ProcA, {hpGetMessage}, false);
  InstallHookProc(ProcC, {hpSendActivateApp, hpPreDestroy}, false);
  HWND w = MakeWindow();
  SendMessage(w, WM_ACTIVATEAPP, 1, 0);
  SendMessage(w, WM_WINDOWPOSCHANGED, 0, 0);
  PostMessage(w, WM_USER, 0, 0);
  MSG msg;
  while (PeekMessage(msg, w, WM_USER, WM_USER, PM_REMOVE)) DispatchMessage(msg);
  DestroyWindow(w);
  int getMessage = 0, activate = 0, destroy = 0;
  for (const Call& c : calls) {
    if (c.proc == 1) {
      EXPECT_EQ(c.code, hpGetMessage);
      ++getMessage;
    } else {
      EXPECT_NE(c.code, hpGetMessage);
      EXPECT_NE(c.code, hpSendWindowPosChanged);
      activate += c.code == hpSendActivateApp;
      destroy += c.code == hpPreDestroy;
    }
  }
  EXPECT_GE(getMessage, 1);
  EXPECT_EQ(activate, 1);
  EXPECT_EQ(destroy, 1);
}

TEST_F(BarHook, AThrowingProcedureStopsNeitherTheOthersNorTheChain) {
  chained = SetWindowsHookEx(WH_CALLWNDPROC, ChainedHook, nullptr, GetCurrentThreadId());
  chainedCalls = 0;
  InstallHookProc(ProcA, {hpSendWindowPosChanged}, false);
  InstallHookProc(ProcB, {hpSendWindowPosChanged}, false);
  InstallHookProc(ProcC, {hpSendWindowPosChanged}, false);
  HWND w = MakeWindow();
  calls.clear();
  chainedCalls = 0;
  SendMessage(w, WM_WINDOWPOSCHANGED, 0, 0);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].proc, 1);
  EXPECT_EQ(calls[1].proc, 2);
  EXPECT_EQ(calls[2].proc, 3) << "in registration order, past the failing one";
  EXPECT_EQ(chainedCalls, 1) << "the hook installed before ours is still called";
  DestroyWindow(w);
  UnhookWindowsHookEx(chained);
}

TEST_F(BarHook, OnlyRegisterInstallsNoWindowHook) {
  const int before = Hooks();
  InstallHookProc(ProcA, {hpSendActivateApp, hpPreDestroy, hpGetMessage}, true);
  EXPECT_EQ(Hooks(), before);
  InstallHookProc(ProcC, {hpPreDestroy}, false);
  EXPECT_EQ(Hooks(), before + 1);
}

TEST_F(BarHook, UnregisteringARegisterOnlyProcedureLeavesAnotherOnesHook) {
  const int before = Hooks();
  InstallHookProc(ProcC, {hpPreDestroy}, false);
  InstallHookProc(ProcA, {hpPreDestroy}, true);
  UninstallHookProc(ProcA);
  EXPECT_EQ(Hooks(), before + 1);  // ProcC's CBT hook stays
  HWND w = MakeWindow();
  DestroyWindow(w);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].proc, 3);
  // a procedure registered both ways gives its hook back with its last installing registration
  InstallHookProc(ProcA, {hpGetMessage}, true);
  InstallHookProc(ProcA, {hpGetMessage}, false);
  EXPECT_EQ(Hooks(), before + 2);
  UninstallHookProc(ProcA);
  EXPECT_EQ(Hooks(), before + 2);
  UninstallHookProc(ProcA);
  EXPECT_EQ(Hooks(), before + 1);
  UninstallHookProc(ProcC);
  EXPECT_EQ(Hooks(), before);
}

// The program's end takes every hook away, whatever registrations are left: a check that runs after
// the library's own end finds none.
TEST(BarHookEnd, TheProgramsEndRemovesEveryHook) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh program: nothing registered before
  EXPECT_EXIT(
      {
        std::atexit([] {
          const int left = talvik::gui::InstalledHookCount(WH_CALLWNDPROC) +
                           talvik::gui::InstalledHookCount(WH_CBT) +
                           talvik::gui::InstalledHookCount(WH_GETMESSAGE);
          std::fprintf(stderr, "hooks left at the end: %d\n", left);
        });
        InstallHookProc(ProcA, {hpSendActivateApp, hpPreDestroy, hpGetMessage}, false);
        InstallHookProc(ProcC, {hpPreDestroy}, false);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "hooks left at the end: 0");
}
}  // namespace
