// Holding on to things a call can free: events invoked with their handler kept alive, and weak
// references to components that clear themselves when the component goes.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "platform/rtl/Classes.h"

// Calls an event handler when one is set. The handler is copied for the call: a handler that frees
// the object whose event it is (a timer freed in its own OnTimer, a form closed from a button's
// OnClick) destroys the event member, never the function that is still running. The caller must not
// touch the sender after the call unless it knows the sender lives on. An unset handler returns R().
template <class R, class... P, class... A>
R InvokeEvent(const std::function<R(P...)>& Handler, A&&... Args) {
  if (!Handler) return R();
  const std::function<R(P...)> keep = Handler;
  return keep(std::forward<A>(Args)...);
}

// The part of a weak component reference that listens: a free-notification peer of the target that
// forgets it when it is destroyed. Not owned by any component.
class TFreeWatch : public TComponent {
  TALVIK_CLASS(TFreeWatch, TComponent)
  TFreeWatch() : TComponent(nullptr) {}
  ~TFreeWatch() override;

  TComponent* Target() const { return target_; }
  void SetTarget(TComponent* Value);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TComponent* target_ = nullptr;
};

// A pointer to a component that reads nullptr once the component is destroyed. Held where a call in
// between can free the target: a drag's source and target, the items a popup shows, a toolbar view's
// image list. Moving keeps the watch; copying makes a new one on the same target.
template <class T>
class TComponentRef {
 public:
  TComponentRef() = default;
  explicit TComponentRef(T* Target) { Reset(Target); }
  TComponentRef(const TComponentRef& Other) { Reset(Other.Get()); }
  TComponentRef& operator=(const TComponentRef& Other) {
    if (this != &Other) Reset(Other.Get());
    return *this;
  }
  TComponentRef(TComponentRef&&) noexcept = default;
  TComponentRef& operator=(TComponentRef&&) noexcept = default;
  TComponentRef& operator=(T* Target) {
    Reset(Target);
    return *this;
  }

  T* Get() const { return watch_ ? static_cast<T*>(watch_->Target()) : nullptr; }
  T* operator->() const { return Get(); }
  explicit operator bool() const { return Get() != nullptr; }
  bool operator==(const T* Other) const { return Get() == Other; }

  void Reset(T* Target = nullptr) {
    if (!Target) {
      watch_.reset();
      return;
    }
    if (!watch_) watch_ = std::make_unique<TFreeWatch>();
    watch_->SetTarget(Target);
  }

 private:
  std::unique_ptr<TFreeWatch> watch_;
};
