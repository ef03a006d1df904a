#include "toolbar/BarAnimation.h"

#include <atomic>
#include <cassert>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/gui/Graphics.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr UINT kStepMessage = 0x955, kEndedMessage = 0x956;
constexpr int kFullStep = 255;
constexpr int kStepMask = ~15;  // progress moves in steps of 16
constexpr LPARAM kPrintFlags = PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN;
constexpr UINT kShowWithoutRedraw = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE |
                                    SWP_SHOWWINDOW | SWP_NOOWNERZORDER;

// The one animation of the process. The worker reads only what it was started with and the abort
// flag, and writes only the step, the finished flag and the pending flag.
struct Animation {
  // GUI thread only
  HWND wnd = nullptr;
  bool running = false;
  int time = 0;
  int direction = 0;
  int width = 0, height = 0;
  TRect clientRect;  // on the screen
  TPoint lastCursor;
  std::unique_ptr<TBitmap> image;  // the window's complete image
  unsigned sequence = 0;
  std::thread thread;
  // shared with the worker
  std::atomic<int> step{0};
  std::atomic<bool> abort{false};
  std::atomic<bool> finished{false};
  std::atomic<int> pending{0};

  ~Animation() {
    abort = true;
    if (thread.joinable()) thread.join();
  }
};

Animation& A() {
  static Animation a;
  return a;
}

TBarAnimationHooks& Hooks() {
  static TBarAnimationHooks hooks;
  return hooks;
}

std::int64_t NowMs() {
  if (Hooks().NowMs) return Hooks().NowMs();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepMs(int Ms) {
  if (Hooks().SleepMs)
    Hooks().SleepMs(Ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

// The worker: posts a step whenever the progress reached the next 16, at most one at a time, and
// sleeps until the next one is due.
void Work(HWND Wnd, int Time, LPARAM Sequence) {
  Animation& a = A();
  const std::int64_t start = NowMs();
  while (!a.abort) {
    const std::int64_t elapsed = NowMs() - start;
    const int unrounded = MulDiv(kFullStep, static_cast<int>(std::min<std::int64_t>(elapsed, 1 << 20)), Time);
    const int target = unrounded & kStepMask;
    if (target < 0 || target > kFullStep - 1 || elapsed >= Time) break;
    if (target > a.step) {
      a.step = target;
      if (a.pending.exchange(1) == 0) PostMessage(Wnd, kStepMessage, 0, Sequence);
    } else {
      SleepMs(std::max(1, MulDiv(a.step + 16 - unrounded, Time, kFullStep)));
    }
  }
  a.finished = true;
  PostMessage(Wnd, kStepMessage, 0, Sequence);
}

void CopyImage(Animation& a, int X, int Y) {
  HDC dc = GetWindowDC(a.wnd);
  BitBlt(dc, X, Y, a.width, a.height, a.image->Canvas()->Handle(), 0, 0, SRCCOPY);
  ReleaseDC(a.wnd, dc);
}

// Every end comes here: no region, the whole image, and the window hears of it.
void Finish() {
  Animation& a = A();
  assert(!a.thread.joinable());
  a.running = false;
  if (IsWindow(a.wnd)) {
    SetWindowRgn(a.wnd, nullptr, false);
    CopyImage(a, 0, 0);
    SendMessage(a.wnd, kEndedMessage, 0, 0);
  }
  a.image.reset();
  a.wnd = nullptr;
}

}  // namespace

void SetMenuAnimationHooks(TBarAnimationHooks Value) {
  Hooks() = std::move(Value);
}

bool MenuAnimationRunning(HWND Wnd) {
  return A().running && (!Wnd || A().wnd == Wnd);
}

int MenuAnimationStep() {
  return A().step;
}

void StartMenuAnimation(HWND Wnd, int Time, bool /*Blend*/, int Direction) {
  EndMenuAnimation(nullptr);
  Animation& a = A();
  a.wnd = Wnd;
  a.time = std::max(1, Time);
  a.direction = Direction;
  a.step = 0;
  a.abort = false;
  a.finished = false;
  a.pending = 0;
  GetCursorPos(a.lastCursor);
  RECT window, client;
  GetWindowRect(Wnd, window);
  GetClientRect(Wnd, client);
  TPoint origin(0, 0);
  ClientToScreen(Wnd, origin);
  a.clientRect = Bounds(origin.X, origin.Y, client.Width(), client.Height());
  a.width = window.Width();
  a.height = window.Height();
  a.image = std::make_unique<TBitmap>();
  a.image->SetSize(std::max(1, a.width), std::max(1, a.height));
  SendMessage(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(a.image->Canvas()->Handle()), kPrintFlags);

  // Sliding starts from nothing shown; the image is the whole picture, so nothing needs painting.
  HRGN nothing = CreateRectRgn(0, 0, 0, 0);
  if (!SetWindowRgn(Wnd, nothing, false)) DeleteObject(nothing);
  a.running = true;
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, kShowWithoutRedraw);
  RedrawWindow(Wnd, nullptr, nullptr, RDW_VALIDATE | RDW_NOFRAME);

  const LPARAM sequence = static_cast<LPARAM>(++a.sequence);
  const int time = a.time;
  auto worker = [Wnd, time, sequence] { Work(Wnd, time, sequence); };
  bool started = false;
  try {
    if (Hooks().Start) {
      started = Hooks().Start(worker);
    } else {
      a.thread = std::thread(worker);
      started = true;
    }
  } catch (const std::system_error&) {
    started = false;
  }
  if (!started) Finish();
}

void ProcessAnimationStep(const TMessage& Message) {
  Animation& a = A();
  if (!a.running || Message.LParam != static_cast<LPARAM>(a.sequence)) return;
  if (a.finished) {
    EndMenuAnimation(a.wnd);
    return;
  }
  // The user reached the menu: everything shows at once.
  TPoint cursor;
  if (GetCursorPos(cursor) && !PointsEqual(cursor, a.lastCursor)) {
    a.lastCursor = cursor;
    if (PtInRect(a.clientRect, cursor)) {
      EndMenuAnimation(a.wnd);
      return;
    }
  }
  const int step = a.step;
  const int W = a.width, H = a.height;
  int dx = 0, dy = 0;
  if (a.direction & 4)
    dy = MulDiv(H, step, kFullStep) - H;
  else if (a.direction & 8)
    dy = H - MulDiv(H, step, kFullStep);
  if (a.direction & 2)
    dx = MulDiv(W, step, kFullStep) - W;
  else if (a.direction & 1)
    dx = W - MulDiv(W, step, kFullStep);
  HRGN shown = CreateRectRgn(dx, dy, dx + W, dy + H);
  if (!SetWindowRgn(a.wnd, shown, false)) DeleteObject(shown);
  CopyImage(a, dx, dy);
  a.pending = 0;
}

void EndMenuAnimation(HWND Wnd) {
  Animation& a = A();
  if (!a.running || (Wnd && Wnd != a.wnd)) return;
  a.abort = true;
  if (a.thread.joinable()) a.thread.join();
  Finish();
}
