// Scope guards: an action that runs when a scope ends, by return or by exception.
#pragma once

#include <utility>

// Runs its action once when the scope ends, unless Dismiss() was called first. Written where state
// is changed for a while and must be put back whatever happens in between:
//   const TDataSetState saved = SetTempState(dsFilter);
//   TScopeExit restore([&] { RestoreState(saved); });
// A guard that should only undo on failure is dismissed once the work succeeded. The action must not
// throw: it may run while an exception unwinds.
template <class F>
class TScopeExit {
 public:
  explicit TScopeExit(F action) : action_(std::move(action)) {}
  ~TScopeExit() {
    if (armed_) action_();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

  void Dismiss() { armed_ = false; }

 private:
  F action_;
  bool armed_ = true;
};
