// A lightweight timer that is not a component: each tick calls a plain callback with a data pointer.
// Every timer of the program shares one hidden window that receives their WM_TIMER messages.
#pragma once

#include <cstdint>

#include "platform/gui/Windows.h"

using TSimpleTimerCallback = void (*)(void* Data);

class TSimpleTimer {
 public:
  TSimpleTimer(void* Data, TSimpleTimerCallback Callback);
  ~TSimpleTimer();
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  // Starts (or restarts) the timer; false when the system gave no timer (it then stays inactive).
  bool Start(unsigned Interval);
  // Stops the timer; false when there was no such system timer.
  bool Stop();
  bool Active() const { return active_; }
  unsigned Interval() const { return interval_; }
  void* Data() const { return data_; }

 private:
  friend class TSimpleTimerHandler;
  std::uintptr_t Id() const { return reinterpret_cast<std::uintptr_t>(this); }

  void* data_;
  bool active_ = false;
  unsigned interval_ = 0;
  TSimpleTimerCallback callback_;
};

// The shared handler's use count and window (for tests): 0 and nullptr when no timer exists.
int SimpleTimerHandlerUsers();
HWND SimpleTimerHandlerWindow();
