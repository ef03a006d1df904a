#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

class MessageQueue : public GuiTest {};

TEST_F(MessageQueue, SentMessagesRunAtOnceAndPostedOnesWaitInOrder) {
  HWND w = Top(0, 0, 100, 100);
  Log().clear();
  PostMessage(w, WM_USER + 1, 1, 0);
  PostMessage(w, WM_USER + 2, 2, 0);
  SendMessage(w, WM_USER + 3, 3, 0);
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].msg, WM_USER + 3u);
  Pump();
  ASSERT_EQ(Log().size(), 3u);
  EXPECT_EQ(Log()[1].msg, WM_USER + 1u);
  EXPECT_EQ(Log()[2].msg, WM_USER + 2u);
  EXPECT_FALSE(PostMessage(reinterpret_cast<HWND>(0x12345), WM_USER, 0, 0));
}

TEST_F(MessageQueue, PeekFiltersByWindowAndRangeAndCanLeaveTheMessage) {
  HWND a = Top(0, 0, 100, 100);
  HWND b = Top(0, 0, 100, 100);
  HWND bChild = Child(b, 0, 0, 10, 10);
  talvik::gui::UpdateAllWindows(a);
  talvik::gui::UpdateAllWindows(b);
  PostMessage(a, WM_USER + 1);
  PostMessage(bChild, WM_USER + 2);
  PostMessage(nullptr, WM_USER + 3);
  MSG m;
  // b's filter includes its children
  ASSERT_TRUE(PeekMessage(m, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 2u);
  EXPECT_EQ(m.hwnd, bChild);
  ASSERT_TRUE(PeekMessage(m, b, 0, 0, PM_NOREMOVE));  // still there
  EXPECT_EQ(m.message, WM_USER + 2u);
  // a range filter skips earlier messages
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(m.hwnd, nullptr);
  // thread messages only
  EXPECT_FALSE(PeekMessage(m, reinterpret_cast<HWND>(-1), WM_USER, WM_USER + 10, PM_REMOVE));
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 1u);
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 2u);
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
}

TEST_F(MessageQueue, QuitComesAfterPostedMessagesAndNestedLoopsPassItOn) {
  HWND w = Top(0, 0, 50, 50);
  Drain();
  PostMessage(w, WM_USER + 1);
  PostQuitMessage(7);
  PostMessage(w, WM_USER + 2);
  MSG m;
  ASSERT_TRUE(GetMessage(m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_USER + 1u);
  ASSERT_TRUE(GetMessage(m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_USER + 2u);
  EXPECT_FALSE(GetMessage(m, nullptr, 0, 0));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 7u);
  // a window filter never takes WM_QUIT
  PostQuitMessage(3);
  EXPECT_FALSE(PeekMessage(m, w, 0, 0, PM_REMOVE));
  // a nested loop that meets WM_QUIT ends and leaves it for the outer loop
  bool done = false;
  EXPECT_FALSE(talvik::gui::RunMessagesUntil([&] { return done; }));
  ASSERT_TRUE(PeekMessage(m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(MessageQueue, PaintAndTimersComeOnlyWhenNothingIsPosted) {
  HWND w = Top(0, 0, 50, 50);
  SetTimer(w, 5, 100, nullptr);
  FakeNow() += 150;
  PostMessage(w, WM_USER);
  MSG m;
  ASSERT_TRUE(PeekMessage(m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(PeekMessage(m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_PAINT);
  DispatchMessage(m);
  ASSERT_TRUE(PeekMessage(m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.wParam, 5u);
  KillTimer(w, 5);
}

class Timers : public GuiTest {};

namespace {
int g_timerProcCalls = 0;
void CountingTimerProc(HWND, UINT, std::uintptr_t, DWORD) {
  ++g_timerProcCalls;
}
}  // namespace

TEST_F(Timers, FireAfterTheirIntervalAreCoalescedAndStopWhenKilled) {
  HWND w = Top(0, 0, 50, 50);
  talvik::gui::UpdateAllWindows(w);
  SetTimer(w, 1, 100, nullptr);
  MSG m;
  FakeNow() += 99;
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  FakeNow() += 1;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(m.hwnd, w);
  EXPECT_EQ(m.wParam, 1u);
  // a late timer gives one message, not one per missed interval
  FakeNow() += 350;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  // setting the same id again restarts it
  SetTimer(w, 1, 200, nullptr);
  FakeNow() += 150;
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(KillTimer(w, 1));
  FakeNow() += 1000;
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(KillTimer(w, 1));
  // a timer procedure runs instead of the window procedure; window timers die with the window
  g_timerProcCalls = 0;
  std::uintptr_t id = SetTimer(nullptr, 0, 10, CountingTimerProc);
  SetTimer(w, 2, 10, nullptr);
  DestroyWindow(w);
  FakeNow() += 20;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  DispatchMessage(m);
  EXPECT_EQ(g_timerProcCalls, 1);
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(nullptr, id);
}

class Focus : public GuiTest {};

TEST_F(Focus, KillAndSetFocusNameTheOtherWindowInThatOrder) {
  HWND top = Top(0, 0, 200, 200);
  HWND a = Child(top, 0, 0, 50, 50);
  HWND b = Child(top, 60, 0, 50, 50);
  SetFocus(a);
  EXPECT_EQ(GetFocus(), a);
  EXPECT_EQ(GetActiveWindow(), top);
  Log().clear();
  EXPECT_EQ(SetFocus(b), a);
  int kill = IndexOf(a, WM_KILLFOCUS), set = IndexOf(b, WM_SETFOCUS);
  ASSERT_GE(kill, 0);
  ASSERT_GE(set, 0);
  EXPECT_LT(kill, set);
  EXPECT_EQ(reinterpret_cast<HWND>(Log()[kill].wParam), b);
  EXPECT_EQ(reinterpret_cast<HWND>(Log()[set].wParam), a);
  // disabled windows do not take the focus
  EnableWindow(a, false);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocus(), b);
  // a hidden focused child hands the focus to its parent
  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(GetFocus(), top);
  // a CBT hook can refuse the change
  static HHOOK hook;
  hook = SetWindowsHookEx(
      WH_CBT,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        return code == HCBT_SETFOCUS ? 1 : CallNextHookEx(hook, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  EnableWindow(a, true);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocus(), top);
  UnhookWindowsHookEx(hook);
}

TEST_F(Focus, ActivationMovesBetweenTopLevelWindows) {
  HWND a = Top(0, 0, 100, 100);
  HWND b = Top(200, 0, 100, 100);
  SetActiveWindow(a);
  Log().clear();
  SetActiveWindow(b);
  int deact = IndexOf(a, WM_ACTIVATE), act = IndexOf(b, WM_ACTIVATE);
  ASSERT_GE(deact, 0);
  ASSERT_GE(act, 0);
  EXPECT_LT(deact, act);
  EXPECT_EQ(LOWORD(Log()[deact].wParam), WA_INACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(Log()[deact].lParam), b);
  EXPECT_EQ(LOWORD(Log()[act].wParam), WA_ACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(Log()[act].lParam), a);
  EXPECT_EQ(GetFocus(), b);  // the default handling focuses the activated window
  // raised above a, which was on top of the plain windows (a topmost window, such as the application's
  // hint window once a test has shown a hint, stays above both)
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
  // a window owned by b: hiding it gives activation back to b
  HWND owned = Top(10, 10, 50, 50, WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, "TestWindow", b);
  EXPECT_EQ(GetActiveWindow(), owned);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), b);
  ShowWindow(owned, SW_HIDE);
  EXPECT_EQ(GetActiveWindow(), b);
  // destroying the owner takes the owned window with it
  DestroyWindow(b);
  EXPECT_FALSE(IsWindow(owned));
}

class Capture : public GuiTest {};

TEST_F(Capture, ChangesAndLossAreAnnounced) {
  HWND top = Top(0, 0, 200, 200);
  HWND a = Child(top, 0, 0, 50, 50);
  HWND b = Child(top, 60, 0, 50, 50);
  SetCapture(a);
  Log().clear();
  EXPECT_EQ(SetCapture(b), a);
  auto changed = Messages(a, WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HWND>(changed[0].lParam), b);
  ReleaseCapture();
  ASSERT_EQ(Messages(b, WM_CAPTURECHANGED).size(), 1u);
  EXPECT_EQ(Messages(b, WM_CAPTURECHANGED)[0].lParam, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  // disabling the window with the capture cancels its mode; the default handling lets the mouse go
  SetCapture(b);
  Log().clear();
  EnableWindow(top, false);
  EXPECT_EQ(Messages(b, WM_CANCELMODE).size(), 1u);
  EXPECT_EQ(GetCapture(), nullptr);
  EnableWindow(top, true);
  // hiding or destroying the capture window releases it
  SetCapture(a);
  ShowWindow(a, SW_HIDE);
  EXPECT_EQ(GetCapture(), nullptr);
  SetCapture(b);
  DestroyWindow(b);
  EXPECT_EQ(GetCapture(), nullptr);
}

class MouseRouting : public GuiTest {};

TEST_F(MouseRouting, ClicksReachTheDeepestChildInClientCoordinates) {
  HWND top = Top(100, 100, 300, 200, WS_POPUP | WS_VISIBLE | WS_BORDER);
  HWND panel = Child(top, 10, 10, 150, 100, WS_BORDER);
  HWND button = Child(panel, 20, 30, 60, 30, 0, WS_EX_CLIENTEDGE);
  Drain();
  Log().clear();
  // top client at (101,101); panel window at (111,111), client at (112,112); button client at (134,144)
  InjectMouse(WM_LBUTTONDOWN, Point(140, 150), ShiftKeys{true, false, false});
  Pump();
  auto downs = Messages(button, WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 6);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 6);
  EXPECT_EQ(downs[0].wParam, MK_LBUTTON | MK_SHIFT);
  InjectMouse(WM_LBUTTONUP, Point(140, 150));
  // the client edge of the button is its non-client area
  InjectMouse(WM_LBUTTONDOWN, Point(133, 143));
  Pump();
  auto nc = Messages(button, WM_NCLBUTTONDOWN);
  ASSERT_EQ(nc.size(), 1u);
  EXPECT_EQ(nc[0].wParam, static_cast<WPARAM>(HTBORDER));
  EXPECT_EQ(GET_X_LPARAM(nc[0].lParam), 133);  // screen coordinates
  InjectMouse(WM_LBUTTONUP, Point(133, 143));
  // a disabled child passes the click to its parent
  EnableWindow(button, false);
  Log().clear();
  InjectMouse(WM_RBUTTONDOWN, Point(140, 150));
  Pump();
  EXPECT_TRUE(Messages(button, WM_RBUTTONDOWN).empty());
  ASSERT_EQ(Messages(panel, WM_RBUTTONDOWN).size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(Messages(panel, WM_RBUTTONDOWN)[0].lParam), 28);
  InjectMouse(WM_RBUTTONUP, Point(140, 150));
  Pump();
  // the default handling of a right release asks for a context menu, which climbs to the parent
  ASSERT_FALSE(Messages(top, WM_CONTEXTMENU).empty());
  EXPECT_EQ(GET_X_LPARAM(Messages(top, WM_CONTEXTMENU)[0].lParam), 140);
  // with the capture, the capture window gets the mouse wherever it is
  EnableWindow(button, true);
  SetCapture(button);
  Log().clear();
  InjectMouse(WM_MOUSEMOVE, Point(50, 60));
  Pump();
  auto moves = Messages(button, WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 50 - 134);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 60 - 144);
  ReleaseCapture();
}

// Input is addressed as it is read: a click that came while one window held the capture and is read
// once the capture is gone goes to the window under it (a menu loop that ends on a press outside
// leaves the press for what lies there); a capture taken meanwhile by another window takes it.
TEST_F(MouseRouting, InputQueuedForTheCaptureGoesWhereItWouldGoOnceTheCaptureMoves) {
  HWND top = Top(0, 0, 300, 200);
  HWND a = Child(top, 0, 0, 100, 100);
  HWND b = Child(top, 150, 0, 100, 100);
  Drain();
  SetCapture(a);
  Log().clear();
  InjectMouse(WM_LBUTTONDOWN, Point(160, 10));
  InjectMouse(WM_LBUTTONUP, Point(160, 10));
  MSG m;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, a);  // the capture still holds
  ReleaseCapture();
  Pump();
  EXPECT_TRUE(Messages(a, WM_LBUTTONDOWN).empty());
  EXPECT_TRUE(Messages(a, WM_LBUTTONUP).empty());
  const auto downs = Messages(b, WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 10);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 10);
  EXPECT_EQ(Messages(b, WM_LBUTTONUP).size(), 1u);
  SetCapture(a);
  InjectMouse(WM_MOUSEMOVE, Point(20, 30));
  SetCapture(b);
  Log().clear();
  Pump();
  const auto moves = Messages(b, WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 20 - 150);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 30);
  EXPECT_TRUE(Messages(a, WM_MOUSEMOVE).empty());
  ReleaseCapture();
}

TEST_F(MouseRouting, DoubleClicksNeedTheClassStyleTimeAndDistance) {
  HWND top = Top(0, 0, 300, 200);
  HWND dbl = Child(top, 0, 0, 100, 100, 0, 0, 0, "TestDblClk");
  HWND plain = Child(top, 150, 0, 100, 100);
  Drain();
  Log().clear();
  auto click = [](int x, int y) {
    InjectMouse(WM_LBUTTONDOWN, Point(x, y));
    InjectMouse(WM_LBUTTONUP, Point(x, y));
  };
  click(10, 10);
  FakeNow() += 100;
  click(11, 11);
  Pump();
  EXPECT_EQ(Messages(dbl, WM_LBUTTONDOWN).size(), 1u);
  EXPECT_EQ(Messages(dbl, WM_LBUTTONDBLCLK).size(), 1u);
  // a third click starts over
  FakeNow() += 100;
  click(11, 11);
  Pump();
  EXPECT_EQ(Messages(dbl, WM_LBUTTONDOWN).size(), 2u);
  // too slow, or too far apart
  FakeNow() += 600;
  click(11, 11);
  FakeNow() += 100;
  click(20, 11);
  Pump();
  EXPECT_EQ(Messages(dbl, WM_LBUTTONDBLCLK).size(), 1u);
  // without CS_DBLCLKS no double click at all
  Log().clear();
  click(160, 10);
  FakeNow() += 50;
  click(160, 10);
  Pump();
  EXPECT_EQ(Messages(plain, WM_LBUTTONDOWN).size(), 2u);
  EXPECT_TRUE(Messages(plain, WM_LBUTTONDBLCLK).empty());
}

TEST_F(MouseRouting, ClickingAnInactiveWindowAsksMouseActivate) {
  HWND a = Top(0, 0, 100, 100);
  HWND b = Top(200, 0, 100, 100);
  HWND bChild = Child(b, 0, 0, 50, 50);
  SetActiveWindow(a);
  Handlers()[b] = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_MOUSEACTIVATE) return false;
    *r = MA_NOACTIVATE;
    return true;
  };
  Drain();
  Log().clear();
  InjectMouse(WM_LBUTTONDOWN, Point(210, 10));
  Pump();
  // the child's default handling asks its parent, which refuses activation
  EXPECT_EQ(Messages(bChild, WM_MOUSEACTIVATE).size(), 1u);
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(Messages(bChild, WM_LBUTTONDOWN).size(), 1u);
  InjectMouse(WM_LBUTTONUP, Point(210, 10));
  Handlers().erase(b);
  InjectMouse(WM_LBUTTONDOWN, Point(210, 10));
  EXPECT_EQ(GetActiveWindow(), a) << "a click activates its window when it is read";
  Pump();
  EXPECT_EQ(GetActiveWindow(), b);
  InjectMouse(WM_LBUTTONUP, Point(210, 10));
}

// Leave notifications of a bordered child: the mouse starts on its border (non-client) or in its
// client area, asks for tracking of one or both areas, then moves; which leaves arrive.
struct LeaveCase {
  const char* name;
  bool startInClient;
  DWORD flags;
  POINT to;  // where the mouse goes (screen)
  bool mouseLeave, ncMouseLeave;
};
class LeaveTracking : public GuiTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveTracking, EachAreaLeavesOnItsOwn) {
  // top client at (101,101); the child window at (111,111), its client from (112,112) to (161,161)
  HWND top = Top(100, 100, 300, 200, WS_POPUP | WS_VISIBLE | WS_BORDER);
  HWND child = Child(top, 10, 10, 52, 52, WS_BORDER);
  Drain();
  const POINT border{111, 130}, client{130, 130};
  InjectMouse(WM_MOUSEMOVE, GetParam().startInClient ? client : border);
  Pump();
  TRACKMOUSEEVENT tme;
  tme.dwFlags = GetParam().flags;
  tme.hwndTrack = child;
  ASSERT_TRUE(TrackMouseEvent(tme));
  Log().clear();
  InjectMouse(WM_MOUSEMOVE, GetParam().to);
  Pump();
  EXPECT_EQ(!Messages(child, WM_MOUSELEAVE).empty(), GetParam().mouseLeave);
  EXPECT_EQ(!Messages(child, WM_NCMOUSELEAVE).empty(), GetParam().ncMouseLeave);
  // a leave comes once; tracking that is still on ends when the mouse leaves the window
  Log().clear();
  InjectMouse(WM_MOUSEMOVE, Point(250, 250));
  Pump();
  const bool stillTracked =
      (GetParam().flags & TME_NONCLIENT) && !(GetParam().flags & TME_CANCEL) && !GetParam().ncMouseLeave;
  EXPECT_EQ(!Messages(child, WM_NCMOUSELEAVE).empty(), stillTracked);
}

const LeaveCase kLeaves[] = {
    {"BorderToClientLeavesTheNonClientArea", false, TME_LEAVE | TME_NONCLIENT, {130, 130}, false, true},
    {"BorderToParentLeavesTheNonClientArea", false, TME_LEAVE | TME_NONCLIENT, {250, 250}, false, true},
    {"BorderAlongTheBorderStays", false, TME_LEAVE | TME_NONCLIENT, {111, 140}, false, false},
    {"ClientToParentLeavesTheClientArea", true, TME_LEAVE, {250, 250}, true, false},
    {"NonClientTrackingAskedElsewhereLeavesAtOnce", true, TME_LEAVE | TME_NONCLIENT, {111, 130}, false, true},
    {"CancelledTrackingSendsNothing",
     false,
     TME_LEAVE | TME_NONCLIENT | TME_CANCEL,
     {250, 250},
     false,
     false},
};
INSTANTIATE_TEST_SUITE_P(Moves, LeaveTracking, ::testing::ValuesIn(kLeaves),
                         [](const auto& Info) { return std::string(Info.param.name); });

// The names of keys, as the toolbars show the Alt key in keyboard shortcuts.
struct KeyNameCase {
  const char* name;
  UINT vk;
  bool extended;
  const char* text;  // "" when the key has no name
};
class KeyNames : public ::testing::TestWithParam<KeyNameCase> {};

TEST_P(KeyNames, FromTheVirtualKeyThroughItsScanCode) {
  const UINT scan = MapVirtualKey(GetParam().vk, MAPVK_VK_TO_VSC);
  const LPARAM lParam = (static_cast<LPARAM>(scan) << 16) | (GetParam().extended ? LPARAM(1) << 24 : 0);
  char name[32] = "unchanged";
  const int n = GetKeyNameText(lParam, name, sizeof name);
  EXPECT_EQ(n, static_cast<int>(std::string(GetParam().text).size()));
  if (n > 0) {
    EXPECT_STREQ(name, GetParam().text);
  }
}

const KeyNameCase kKeyNames[] = {
    {"Alt", VK_MENU, false, "Alt"},      {"RightAlt", VK_MENU, true, "Right Alt"},
    {"Ctrl", VK_CONTROL, false, "Ctrl"}, {"F10", VK_F10, false, "F10"},
    {"F12", VK_F12, false, "F12"},       {"LetterS", 'S', false, "S"},
    {"Digit0", '0', false, "0"},         {"Delete", VK_DELETE, true, "Delete"},
    {"NoKey", 0xFF, false, ""},
};
INSTANTIATE_TEST_SUITE_P(Keys, KeyNames, ::testing::ValuesIn(kKeyNames),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST(KeyNameText, ANameLongerThanTheBufferIsCutAndEnded) {
  char name[4];
  EXPECT_EQ(
      GetKeyNameText(static_cast<LPARAM>(MapVirtualKey(VK_BACK, MAPVK_VK_TO_VSC)) << 16, name, sizeof name),
      3);
  EXPECT_STREQ(name, "Bac");
  EXPECT_EQ(GetKeyNameText(static_cast<LPARAM>(0x38) << 16, nullptr, 0), 0);
}

class Keyboard : public GuiTest {};

TEST_F(Keyboard, KeysGoToTheFocusAndTranslateIntoCharacters) {
  HWND top = Top(0, 0, 100, 100);
  HWND edit = Child(top, 0, 0, 50, 20);
  SetFocus(edit);
  Drain();
  Log().clear();
  InjectKey('A', true, U'a', {});
  InjectKey('A', false, 0, {});
  Pump();
  int down = IndexOf(edit, WM_KEYDOWN), ch = IndexOf(edit, WM_CHAR), up = IndexOf(edit, WM_KEYUP);
  ASSERT_GE(down, 0);
  ASSERT_GE(ch, 0);
  ASSERT_GE(up, 0);
  EXPECT_LT(down, ch);
  EXPECT_LT(ch, up);
  EXPECT_EQ(Log()[down].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(Log()[ch].wParam, static_cast<WPARAM>(U'a'));
  EXPECT_TRUE(Log()[up].lParam & (LPARAM(1) << 31));  // released
  EXPECT_FALSE(GetKeyState('A') < 0);
  // Cyrillic text keeps its code point
  Log().clear();
  InjectKey('C', true, U'с', {});
  Pump();
  ASSERT_EQ(Messages(edit, WM_CHAR).size(), 1u);
  EXPECT_EQ(Messages(edit, WM_CHAR)[0].wParam, static_cast<WPARAM>(0x441));
  InjectKey('C', false, 0, {});
  // input-method text arrives as characters
  Log().clear();
  talvik::gui::InjectText("Жё");
  Pump();
  auto chars = Messages(edit, WM_CHAR);
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].wParam, 0x416u);
  EXPECT_EQ(chars[1].wParam, 0x451u);
}

// A backlog of input: "g", then Shift+Alt+Backspace with the modifiers released before anything is
// pumped. Each key is read with the modifiers it was typed with.
TEST_F(Keyboard, KeyStateIsTheOneOfTheMessageBeingProcessed) {
  HWND top = Top(0, 0, 100, 100);
  SetFocus(top);
  Drain();
  struct Seen {
    WPARAM key;
    bool shift, alt;
  };
  std::vector<Seen> seen;
  Handlers()[top] = [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN)
      seen.push_back({wp, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0});
    return false;
  };
  InjectKey('G', true, U'g', {});
  InjectKey('G', false, 0, {});
  InjectKey(VK_SHIFT, true, 0, {true, false, false});
  InjectKey(VK_MENU, true, 0, {true, false, true});
  InjectKey(VK_BACK, true, 0, {true, false, true});
  InjectKey(VK_BACK, false, 0, {true, false, true});
  InjectKey(VK_MENU, false, 0, {true, false, false});
  InjectKey(VK_SHIFT, false, 0, {});
  EXPECT_TRUE(GetAsyncKeyState(VK_SHIFT) >= 0);  // the devices are released already
  Pump();
  auto find = [&](WPARAM key) {
    auto it = std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.key == key; });
    return it == seen.end() ? Seen{0, false, false} : *it;
  };
  EXPECT_EQ(find('G').key, static_cast<WPARAM>('G'));
  EXPECT_FALSE(find('G').shift);
  Seen back = find(VK_BACK);
  ASSERT_EQ(back.key, static_cast<WPARAM>(VK_BACK));
  EXPECT_TRUE(back.shift);
  EXPECT_TRUE(back.alt);
  EXPECT_FALSE(GetKeyState(VK_SHIFT) < 0);  // the last input taken released it
}

TEST_F(Keyboard, AltCombinationsBecomeSystemKeysAndOpenTheMenu) {
  HWND top = Top(0, 0, 100, 100);
  HWND edit = Child(top, 0, 0, 50, 20);
  SetFocus(edit);
  Drain();
  Log().clear();
  ShiftKeys alt{false, false, true};
  InjectKey(VK_MENU, true, 0, alt);
  InjectKey('F', true, U'f', alt);
  InjectKey('F', false, 0, alt);
  InjectKey(VK_MENU, false, 0, {});
  Pump();
  EXPECT_EQ(Messages(edit, WM_SYSKEYDOWN).size(), 2u);
  ASSERT_EQ(Messages(edit, WM_SYSCHAR).size(), 1u);
  EXPECT_TRUE(Messages(edit, WM_CHAR).empty());
  auto sys = Messages(top, WM_SYSCOMMAND);
  ASSERT_EQ(sys.size(), 1u);  // Alt was not alone: no second menu command
  EXPECT_EQ(sys[0].wParam, static_cast<WPARAM>(SC_KEYMENU));
  EXPECT_EQ(sys[0].lParam, static_cast<LPARAM>('f'));
  // Alt alone, and F10, ask for the menu with no character
  Log().clear();
  InjectKey(VK_MENU, true, 0, alt);
  InjectKey(VK_MENU, false, 0, {});
  InjectKey(VK_F10, true, 0, {});
  InjectKey(VK_F10, false, 0, {});
  Pump();
  sys = Messages(top, WM_SYSCOMMAND);
  ASSERT_EQ(sys.size(), 2u);
  EXPECT_EQ(sys[0].lParam, 0);
  EXPECT_EQ(sys[1].lParam, 0);
  // Ctrl+Alt is not a system key
  Log().clear();
  InjectKey('Q', true, U'@', ShiftKeys{false, true, true});
  Pump();
  EXPECT_EQ(Messages(edit, WM_KEYDOWN).size(), 1u);
  EXPECT_TRUE(GetKeyState(VK_CONTROL) < 0);
  InjectKey('Q', false, 0, {});
}

TEST(KeyTranslation, LatinAndRussianLayoutsGiveTheSameVirtualKeys) {
  using talvik::gui::TranslateQtKey;
  constexpr int kKeyA = 0x41, kKeyEscape = 0x01000000, kKeyReturn = 0x01000004, kKeyDelete = 0x01000007,
                kKeyF5 = 0x01000034, kKeyLeft = 0x01000012;
  constexpr unsigned Shift = 0x02000000, Control = 0x04000000, Keypad = 0x20000000;
  auto a = TranslateQtKey(kKeyA, 0, "a", 38, false);
  EXPECT_EQ(a.vk, 'A');
  EXPECT_EQ(a.ch, U'a');
  // Russian "с" sits on the C key, "ж" on the semicolon key, "ё" on the backquote key
  auto es = TranslateQtKey(0x421, 0, "с", 54, false);
  EXPECT_EQ(es.vk, 'C');
  EXPECT_EQ(es.ch, U'с');
  EXPECT_EQ(TranslateQtKey(0x416, Shift, "Ж", 0, false).vk, VK_OEM_1);
  EXPECT_EQ(TranslateQtKey(0x416, Shift, "Ж", 0, false).ch, U'Ж');
  EXPECT_EQ(TranslateQtKey(0x401, 0, "ё", 0, false).vk, VK_OEM_3);
  // with the native key code, the physical key decides (any layout)
  EXPECT_EQ(TranslateQtKey(0x416, 0, "ж", 47, true).vk, VK_OEM_1);
  EXPECT_EQ(TranslateQtKey(0x5D0, 0, "א", 54, true).vk, 'C');
  // Ctrl+letter types the control character in every layout
  EXPECT_EQ(TranslateQtKey(0x421, Control, "", 54, false).ch, 3u);
  EXPECT_EQ(TranslateQtKey(kKeyEscape, 0, "\x1b", 9, true).vk, VK_ESCAPE);
  EXPECT_EQ(TranslateQtKey(kKeyEscape, 0, "\x1b", 9, true).ch, 27u);
  EXPECT_EQ(TranslateQtKey(kKeyReturn, 0, "\r", 36, true).ch, U'\r');
  EXPECT_EQ(TranslateQtKey(kKeyDelete, 0, "\x7f", 119, true).ch, 0u);  // Delete types nothing
  EXPECT_EQ(TranslateQtKey(kKeyF5, 0, "", 71, true).vk, VK_F5);
  EXPECT_EQ(TranslateQtKey(kKeyLeft, 0, "", 113, true).vk, VK_LEFT);
  EXPECT_EQ(TranslateQtKey(0x37, Keypad, "7", 79, true).vk, VK_NUMPAD0 + 7);
  EXPECT_EQ(TranslateQtKey(0x2A, Shift, "*", 17, true).vk, '8');
}

class Hooks : public GuiTest {};

namespace {
std::vector<UINT> g_callWnd, g_getMsg;
HHOOK g_h1, g_h2;
HWND g_redirect;
}  // namespace

TEST_F(Hooks, SeeSentAndRetrievedMessagesAndMayRewriteThem) {
  HWND a = Top(0, 0, 100, 100);
  HWND b = Top(0, 0, 100, 100);
  Drain();
  g_callWnd.clear();
  g_getMsg.clear();
  g_h1 = SetWindowsHookEx(
      WH_CALLWNDPROC,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        auto* cwp = reinterpret_cast<CWPSTRUCT*>(l);
        if (cwp->message >= WM_USER) g_callWnd.push_back(cwp->message);
        return CallNextHookEx(g_h1, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  g_redirect = b;
  g_h2 = SetWindowsHookEx(
      WH_GETMESSAGE,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        auto* m = reinterpret_cast<MSG*>(l);
        if (m->message >= WM_USER && w == PM_REMOVE) {
          g_getMsg.push_back(m->message);
          m->hwnd = g_redirect;  // as the menu bar does with WM_SYSCHAR
        }
        return CallNextHookEx(g_h2, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  SendMessage(a, WM_USER + 1);
  PostMessage(a, WM_USER + 2);
  Log().clear();
  Pump();
  EXPECT_EQ(g_callWnd, std::vector<UINT>{WM_USER + 1});  // posted messages are not "called"
  EXPECT_EQ(g_getMsg, std::vector<UINT>{WM_USER + 2});
  EXPECT_EQ(Messages(b, WM_USER + 2).size(), 1u);
  EXPECT_TRUE(Messages(a, WM_USER + 2).empty());
  EXPECT_TRUE(UnhookWindowsHookEx(g_h1));
  EXPECT_TRUE(UnhookWindowsHookEx(g_h2));
  EXPECT_FALSE(UnhookWindowsHookEx(g_h2));
  EXPECT_THROW(SetWindowsHookEx(
                   99, [](int, WPARAM, LPARAM) -> LRESULT { return 0; }, nullptr, 0),
               EInvalidOperation);
}

namespace {
std::vector<int> g_cbt;
HHOOK g_cbtHook;
}  // namespace

TEST_F(Hooks, CbtHookSeesCreationAndDestructionFirstAndCanRefuseCreation) {
  g_cbt.clear();
  g_cbtHook = SetWindowsHookEx(
      WH_CBT,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        g_cbt.push_back(code);
        if (code == HCBT_CREATEWND && reinterpret_cast<CBT_CREATEWND*>(l)->lpcs->lpszName == "refused")
          return 1;
        return CallNextHookEx(g_cbtHook, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  HWND w = CreateWindowEx(0, "TestWindow", "ok", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(g_cbt.front(), HCBT_CREATEWND);
  EXPECT_EQ(CreateWindowEx(0, "TestWindow", "refused", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr),
            nullptr);
  Log().clear();
  g_cbt.clear();
  DestroyWindow(w);
  ASSERT_FALSE(g_cbt.empty());
  EXPECT_EQ(g_cbt.front(), HCBT_DESTROYWND);
  UnhookWindowsHookEx(g_cbtHook);
}

class WindowTree : public GuiTest {};

TEST_F(WindowTree, DestructionOrderAndCleanup) {
  HWND top = Top(0, 0, 100, 100);
  HWND child = Child(top, 0, 0, 10, 10);
  HWND grand = Child(child, 0, 0, 5, 5);
  SetFocus(grand);
  PostMessage(grand, WM_USER);
  Log().clear();
  DestroyWindow(child);
  int dChild = IndexOf(child, WM_DESTROY), dGrand = IndexOf(grand, WM_DESTROY);
  int nChild = IndexOf(child, WM_NCDESTROY), nGrand = IndexOf(grand, WM_NCDESTROY);
  EXPECT_LT(dChild, dGrand);
  EXPECT_LT(nGrand, nChild);
  EXPECT_LT(dGrand, nGrand);
  EXPECT_FALSE(IsWindow(grand));
  EXPECT_NE(GetFocus(), grand);
  MSG m;
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(GetWindow(top, GW_CHILD), nullptr);
  EXPECT_THROW(CreateWindowEx(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr),
               EOSError);
  EXPECT_THROW(CreateWindowEx(0, "TestWindow", "", WS_CHILD, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr),
               EInvalidOperation);
}

TEST_F(WindowTree, ZOrderGeometryAndSubclassing) {
  HWND top = Top(50, 60, 200, 100, WS_POPUP | WS_VISIBLE | WS_BORDER);
  HWND a = Child(top, 0, 0, 10, 10, 0, 0, 11);
  HWND b = Child(top, 5, 5, 10, 10, 0, 0, 12);
  EXPECT_EQ(GetWindow(top, GW_CHILD), b);  // the newest is on top
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
  EXPECT_EQ(ChildWindowFromPoint(top, Point(7, 7)), b);
  SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(ChildWindowFromPoint(top, Point(7, 7)), a);
  EXPECT_EQ(GetDlgItem(top, 12), b);
  EXPECT_EQ(GetDlgCtrlID(b), 12);
  RECT r;
  GetWindowRect(b, r);
  EXPECT_EQ(r, Rect(56, 66, 66, 76));  // the border puts the client at (51, 61)
  POINT p{0, 0};
  ClientToScreen(b, p);
  EXPECT_EQ(p, Point(56, 66));
  POINT q{0, 0};
  MapWindowPoints(b, a, &q, 1);
  EXPECT_EQ(q, Point(5, 5));
  // subclassing: the new procedure sees the message first and passes it on
  static WNDPROC old;
  static int seen;
  seen = 0;
  old = reinterpret_cast<WNDPROC>(SetWindowLongPtr(
      a, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 7) ++seen;
        return CallWindowProc(old, h, m, w, l);
      })));
  Log().clear();
  SendMessage(a, WM_USER + 7);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(Messages(a, WM_USER + 7).size(), 1u);
  // resizing sends WM_SIZE with the new client size
  Log().clear();
  MoveWindow(a, 0, 0, 40, 30, true);
  auto sizes = Messages(a, WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LOWORD(sizes[0].lParam), 40);
  EXPECT_EQ(HIWORD(sizes[0].lParam), 30);
  EXPECT_EQ(GetWindowText(a), "child");
  SetWindowText(a, "Окно");
  EXPECT_EQ(GetWindowText(a), "Окно");
}

class NonClient : public GuiTest {};

TEST_F(NonClient, BordersAndScrollBarsShrinkTheClientAndAnswerHitTests) {
  HWND top = Top(0, 0, 300, 300);
  HWND w = Child(top, 10, 10, 100, 80, WS_BORDER, WS_EX_CLIENTEDGE);
  RECT c;
  GetClientRect(w, c);
  EXPECT_EQ(c, Rect(0, 0, 94, 74));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 200;
  Log().clear();
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, si, true), 90);  // clamped to max - page + 1
  GetClientRect(w, c);
  EXPECT_EQ(c, Rect(0, 0, 94 - 17, 74));
  ASSERT_EQ(Messages(w, WM_SIZE).size(), 1u);
  EXPECT_EQ(LOWORD(Messages(w, WM_SIZE)[0].lParam), 77);
  SCROLLINFO out;
  out.fMask = SIF_ALL;
  GetScrollInfo(w, SB_VERT, out);
  EXPECT_EQ(out.nPos, 90);
  EXPECT_EQ(out.nPage, 10u);
  // hit tests in screen coordinates: window at (10,10), client from (13,13)
  EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(20, 20)), HTCLIENT);
  EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(10, 20)), HTBORDER);
  EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(100, 20)), HTVSCROLL);
  EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(300, 20)), HTNOWHERE);
  // a page that covers the range hides the bar, unless asked to keep it disabled
  si.fMask = SIF_PAGE;
  si.nPage = 100;
  SetScrollInfo(w, SB_VERT, si, true);
  GetClientRect(w, c);
  EXPECT_EQ(c.Width(), 94);
  si.fMask = SIF_PAGE | SIF_DISABLENOSCROLL;
  SetScrollInfo(w, SB_VERT, si, true);
  GetClientRect(w, c);
  EXPECT_EQ(c.Width(), 77);
  ShowScrollBar(w, SB_VERT, false);
  GetClientRect(w, c);
  EXPECT_EQ(c.Width(), 94);
}

TEST_F(NonClient, ScrollBarIsDrawnAgainOnlyWhenItsStateChanges) {
  HWND top = Top(0, 0, 300, 300);
  HWND w = Child(top, 0, 0, 100, 200);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 99;
  si.nPage = 20;
  si.nPos = 10;
  SetScrollInfo(w, SB_VERT, si, true);
  Drain();
  auto framePending = [w] {
    MSG m;
    return PeekMessage(m, w, WM_PAINT, WM_PAINT, PM_NOREMOVE | PM_NOYIELD);
  };
  ASSERT_FALSE(framePending());
  SetScrollInfo(w, SB_VERT, si, true);  // the same range, page and position
  EXPECT_FALSE(framePending()) << "nothing to draw again";
  EnableScrollBar(w, SB_VERT, ESB_ENABLE_BOTH);
  EXPECT_FALSE(framePending()) << "the arrows were enabled already";
  EnableScrollBar(w, SB_VERT, ESB_DISABLE_UP);
  EXPECT_TRUE(framePending()) << "an arrow greyed";
  Drain();
  EnableScrollBar(w, SB_VERT, ESB_ENABLE_BOTH);
  EXPECT_TRUE(framePending()) << "and enabled again";
  Drain();
  struct Change {
    const char* what;
    UINT mask;
    int min, max, page, pos;
  };
  const Change changes[] = {{"position", SIF_POS, 0, 99, 20, 11},
                            {"page", SIF_PAGE, 0, 99, 25, 11},
                            {"range", SIF_RANGE, 0, 120, 25, 11},
                            {"position by clamping", SIF_RANGE, 0, 30, 25, 6}};
  for (const Change& c : changes) {
    si.fMask = c.mask;
    si.nMin = c.min;
    si.nMax = c.max;
    si.nPage = static_cast<UINT>(c.page);
    si.nPos = c.pos;
    SetScrollInfo(w, SB_VERT, si, true);
    EXPECT_TRUE(framePending()) << c.what;
    SCROLLINFO out;
    out.fMask = SIF_ALL;
    GetScrollInfo(w, SB_VERT, out);
    EXPECT_EQ(out.nPos, c.pos) << c.what;
    Drain();
  }
}

// A scroll bar that changes is drawn again alone, and of it only what looks otherwise: the frame paint
// is given that part, the rest of the frame keeps its pixels, and the bar looks as the whole frame
// drawn anew has it.
TEST_F(NonClient, OnlyThePartOfAScrollBarThatChangedIsDrawnAgain) {
  HWND top = Top(0, 0, 300, 300);
  HWND w = Child(top, 10, 10, 120, 200, WS_BORDER, WS_EX_CLIENTEDGE);
  auto Px = [](HWND h, int x, int y) { return talvik::gui::WindowPixel(h, x, y); };
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 99;
  si.nPage = 20;
  si.nPos = 10;
  SetScrollInfo(w, SB_VERT, si, true);
  Drain();
  std::vector<RECT> painted;  // the frame parts asked for, in screen coordinates (empty: all of it)
  Handlers()[w] = [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m == WM_NCPAINT) {
      RECT box;
      if (wp > 1) GetRgnBox(reinterpret_cast<HRGN>(wp), box);
      painted.push_back(box);
    }
    return false;
  };
  RECT client;
  GetClientRect(w, client);
  POINT at{client.Right, client.Top};
  ClientToScreen(w, at);
  const RECT bar = Rect(at.X, at.Y, at.X + GetSystemMetrics(SM_CXVSCROLL), at.Y + client.Height());
  auto barPixels = [&] {
    std::vector<COLORREF> out;
    for (int y = bar.Top; y < bar.Bottom; ++y)
      for (int x = bar.Left; x < bar.Right; ++x) out.push_back(Px(top, x, y));
    return out;
  };
  // marks on the frame beside the bar: what the frame paint leaves alone keeps them
  constexpr COLORREF kMark = RGB(255, 0, 255);
  const POINT marks[] = {{0, 100}, {60, 1}, {60, 198}};  // the border left, the client edge above and below
  enum Drawn { kNothing, kThumb, kBar };
  struct Change {
    const char* what;
    UINT mask;
    int max, page, pos;
    Drawn drawn;
  };
  const Change changes[] = {
      {"position", SIF_POS, 99, 20, 60, kThumb},
      {"page", SIF_PAGE, 99, 40, 60, kThumb},
      {"range and position", SIF_RANGE | SIF_POS, 999, 40, 500, kThumb},
      {"a position that leaves the thumb where it was", SIF_POS, 999, 40, 501, kNothing},
      {"a page over the whole range", SIF_PAGE | SIF_DISABLENOSCROLL, 999, 1000, 0, kBar}};
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    HDC dc = GetWindowDC(w);
    for (const POINT& m : marks) SetPixel(dc, m.X, m.Y, kMark);
    ReleaseDC(w, dc);
    si.fMask = c.mask;
    si.nMax = c.max;
    si.nPage = static_cast<UINT>(c.page);
    si.nPos = c.pos;
    SetScrollInfo(w, SB_VERT, si, true);
    painted.clear();
    Drain();
    if (c.drawn == kNothing) {
      EXPECT_TRUE(painted.empty());
    } else {
      ASSERT_EQ(painted.size(), 1u);
      RECT inBar;
      EXPECT_TRUE(IntersectRect(inBar, painted[0], bar) && EqualRect(inBar, painted[0])) << "within the bar";
      if (c.drawn == kBar)
        EXPECT_EQ(painted[0], bar);
      else
        EXPECT_LT(painted[0].Height(), bar.Height() - 2 * GetSystemMetrics(SM_CYVSCROLL))
            << "the thumb's places";
    }
    for (const POINT& m : marks) EXPECT_EQ(Px(top, 10 + m.X, 10 + m.Y), kMark);
    // the bar as the whole frame drawn again shows it; the marks go
    const std::vector<COLORREF> shown = barPixels();
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    painted.clear();
    Drain();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_TRUE(painted[0].IsEmpty()) << "all of the frame";
    EXPECT_EQ(shown, barPixels());
    for (const POINT& m : marks) EXPECT_NE(Px(top, 10 + m.X, 10 + m.Y), kMark);
  }
}

TEST_F(NonClient, ACaptionedChildIsDrawnAgainWhenTheFocusEntersOrLeavesIt) {
  HWND top = Top(0, 0, 400, 300);
  HWND child = Child(top, 10, 10, 200, 150, WS_CAPTION | WS_SYSMENU);
  HWND inner = Child(child, 5, 5, 50, 20);
  HWND outside = Child(top, 250, 10, 50, 20);
  SetFocus(outside);
  Drain();
  auto framePending = [child] {
    MSG m;
    return PeekMessage(m, child, WM_PAINT, WM_PAINT, PM_NOREMOVE | PM_NOYIELD) && m.hwnd == child;
  };
  ASSERT_FALSE(framePending());
  SetFocus(inner);
  EXPECT_TRUE(framePending()) << "the caption turns active";
  Drain();
  SetFocus(child);
  EXPECT_FALSE(framePending()) << "still inside";
  SetFocus(outside);
  EXPECT_TRUE(framePending()) << "the caption turns inactive";
}

TEST_F(NonClient, ScrollBarMouseLoopSendsScrollCodes) {
  HWND top = Top(0, 0, 300, 300);
  HWND w = Child(top, 0, 0, 100, 200);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 99;
  si.nPage = 20;
  SetScrollInfo(w, SB_VERT, si, true);
  std::vector<std::pair<int, int>> codes;
  Handlers()[w] = [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m == WM_VSCROLL) codes.push_back({LOWORD(wp), static_cast<short>(HIWORD(wp))});
    return false;
  };
  Drain();
  // press on the down arrow (bar x 83..100, arrow y 183..200), release at once
  PostMessage(w, WM_LBUTTONUP, 0, MAKELPARAM(90, 190));
  SendMessage(w, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(90, 190));
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0].first, SB_LINEDOWN);
  EXPECT_EQ(codes[1].first, SB_ENDSCROLL);
  EXPECT_EQ(GetCapture(), nullptr);
  // page area below the thumb
  codes.clear();
  PostMessage(w, WM_LBUTTONUP, 0, 0);
  SendMessage(w, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(90, 150));
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes[0].first, SB_PAGEDOWN);
  // the thumb (track 17..183 = 166 px, thumb 33 px at the top) dragged to the end
  codes.clear();
  PostMessage(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-10, 300));  // client coordinates under capture
  PostMessage(w, WM_LBUTTONUP, 0, MAKELPARAM(-10, 300));
  SendMessage(w, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(90, 20));
  ASSERT_EQ(codes.size(), 3u);
  EXPECT_EQ(codes[0], std::make_pair(SB_THUMBTRACK, 80));
  EXPECT_EQ(codes[1], std::make_pair(SB_THUMBPOSITION, 80));
  EXPECT_EQ(codes[2].first, SB_ENDSCROLL);
  // a bar that cannot scroll ignores the mouse
  codes.clear();
  EnableScrollBar(w, SB_VERT, ESB_DISABLE_BOTH);
  SendMessage(w, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(90, 190));
  EXPECT_TRUE(codes.empty());
}

TEST_F(NonClient, SetCursorAsksTheParentFirst) {
  HWND top = Top(0, 0, 300, 300);
  HWND w = Child(top, 0, 0, 100, 100);
  HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  Handlers()[top] = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_SETCURSOR) return false;
    SetCursor(hand);
    *r = 1;
    return true;
  };
  InjectMouse(WM_MOUSEMOVE, Point(5, 5));
  Pump();
  EXPECT_EQ(GetCursor(), hand);
  EXPECT_EQ(CursorId(GetCursor()), IDC_HAND);
  Handlers().erase(top);
  std::vector<BYTE> andMask(4 * 32, 0xFF), xorMask(4 * 32, 0);
  HCURSOR own = CreateCursor(nullptr, 1, 1, 32, 32, andMask, xorMask);
  EXPECT_EQ(CursorId(own), 0);
  EXPECT_THROW(CreateCursor(nullptr, 0, 0, 32, 32, {1, 2}, {3}), EInvalidOperation);
  EXPECT_TRUE(DestroyCursor(own));
  (void)w;
}

class SystemInfo : public GuiTest {};

TEST_F(SystemInfo, ColoursMetricsAndMonitors) {
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(64, 64, 64));
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
  EXPECT_EQ(GetSystemMetrics(SM_CXDOUBLECLK), 4);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  RECT work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work, Rect(0, 0, 1024, 728));
  MONITORINFO a, b;
  a.rcMonitor = Rect(0, 0, 800, 600);
  a.rcWork = Rect(0, 0, 800, 560);
  a.dwFlags = MONITORINFOF_PRIMARY;
  b.rcMonitor = Rect(800, 0, 1600, 600);
  b.rcWork = Rect(800, 0, 1600, 600);
  talvik::gui::SetScreens({a, b});
  MONITORINFO got;
  ASSERT_TRUE(GetMonitorInfo(MonitorFromRect(Rect(700, 10, 1000, 20), MONITOR_DEFAULTTONULL), got));
  EXPECT_EQ(got.rcMonitor.Left, 800);  // the larger share
  EXPECT_EQ(MonitorFromPoint(Point(5000, 10), MONITOR_DEFAULTTONULL), nullptr);
  ASSERT_TRUE(GetMonitorInfo(MonitorFromPoint(Point(5000, 10), MONITOR_DEFAULTTONEAREST), got));
  EXPECT_EQ(got.rcMonitor.Left, 800);
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  EXPECT_EQ(GetDoubleClickTime(), 500u);
}
