#include "app/SimpleTimer.h"

#include <cassert>
#include <memory>
#include <set>

#include "platform/gui/Controls.h"

class TSimpleTimerHandler {
 public:
  TSimpleTimerHandler() {
    window_ = AllocateHWnd([this](TMessage& m) { WindowProc(m); });
  }
  ~TSimpleTimerHandler() { DeallocateHWnd(window_); }
  TSimpleTimerHandler(const TSimpleTimerHandler&) = delete;
  TSimpleTimerHandler& operator=(const TSimpleTimerHandler&) = delete;

  HWND Window() const { return window_; }
  int users = 0;
  std::set<const TSimpleTimer*> live;  // a tick still queued for a timer already gone is dropped

 private:
  void WindowProc(TMessage& m) {
    if (m.Msg != WM_TIMER) {
      m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
      return;
    }
    auto* timer = reinterpret_cast<TSimpleTimer*>(m.WParam);
    if (!live.count(timer)) return;
    if (timer->callback_) {
      try {
        timer->callback_(timer->data_);
      } catch (...) {
        // a failing tick is dropped: the timer goes on and nothing is shown
      }
    }
  }

  HWND window_ = nullptr;
};

namespace {

std::unique_ptr<TSimpleTimerHandler>& Handler() {
  static std::unique_ptr<TSimpleTimerHandler> handler;
  return handler;
}

void AcquireTimerHandler() {
  if (!Handler()) Handler() = std::make_unique<TSimpleTimerHandler>();
  ++Handler()->users;
}

void ReleaseTimerHandler() {
  if (!Handler()) return;
  assert(Handler()->users > 0);
  if (--Handler()->users <= 0) Handler().reset();
}

}  // namespace

TSimpleTimer::TSimpleTimer(void* Data, TSimpleTimerCallback Callback) : data_(Data), callback_(Callback) {
  AcquireTimerHandler();
  Handler()->live.insert(this);
}

TSimpleTimer::~TSimpleTimer() {
  if (active_) Stop();
  Handler()->live.erase(this);
  ReleaseTimerHandler();
}

bool TSimpleTimer::Start(unsigned Interval) {
  if (active_) Stop();
  interval_ = Interval;
  assert(Handler());
  active_ = SetTimer(Handler()->Window(), Id(), Interval, nullptr) != 0;
  return active_;
}

bool TSimpleTimer::Stop() {
  active_ = false;
  return Handler() && KillTimer(Handler()->Window(), Id());
}

int SimpleTimerHandlerUsers() {
  return Handler() ? Handler()->users : 0;
}

HWND SimpleTimerHandlerWindow() {
  return Handler() ? Handler()->Window() : nullptr;
}
