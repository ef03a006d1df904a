// Scope guards: an action that runs when a scope ends, by return or by exception.
#pragma once

#include <exception>
#include <utility>

// Runs its action once when the scope ends, unless Dismiss() was called first. Written where state
// is changed for a while and must be put back whatever happens in between:
//   const TDataSetState saved = SetTempState(dsFilter);
//   TScopeExit restore([&] { RestoreState(saved); });
// A guard that should only undo on failure is dismissed once the work succeeded.
//
// An action that raises (giving a data set its controls back may fetch, and the fetch fail) raises
// out of the scope as the hand-paired call would have. While an exception already unwinds, a second
// one would end the program: then the first goes on and the action's own is dropped.
template <class F>
class TScopeExit {
 public:
  explicit TScopeExit(F action) : action_(std::move(action)) {}
  ~TScopeExit() noexcept(false) {
    if (!armed_) return;
    if (std::uncaught_exceptions() <= unwinding_) {
      action_();
      return;
    }
    try {
      action_();
    } catch (...) {
    }
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

  void Dismiss() { armed_ = false; }

 private:
  F action_;
  const int unwinding_ = std::uncaught_exceptions();  // exceptions in flight when the scope began
  bool armed_ = true;
};
