#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/Lifetime.h"

namespace {

// An object whose event handler may free the object itself.
struct Sender {
  std::function<void(Sender*)> OnFire;
  std::function<int(int)> OnCompute;
};

TEST(InvokeEvent, HandlerThatFreesItsSenderFinishesWithItsCapturesIntact) {
  auto* sender = new Sender();
  auto text = std::make_shared<std::string>("still here");
  std::string seen;
  sender->OnFire = [text, &seen](Sender* s) {
    delete s;  // destroys the std::function member this lambda lives in
    seen = *text;
  };
  InvokeEvent(sender->OnFire, sender);
  EXPECT_EQ(seen, "still here");
}

TEST(InvokeEvent, UnsetHandlerReturnsTheDefaultValueAndSetOneItsResult) {
  Sender s;
  EXPECT_EQ(InvokeEvent(s.OnCompute, 4), 0);
  s.OnCompute = [](int v) { return v * 2; };
  EXPECT_EQ(InvokeEvent(s.OnCompute, 4), 8);
}

TEST(ComponentRef, ReadsNullOnceTheTargetIsDestroyed) {
  auto* owner = new TComponent(nullptr);
  auto* target = new TComponent(owner);
  TComponentRef<TComponent> ref(target);
  TComponentRef<TComponent> copy = ref;
  TComponentRef<TComponent> moved{TComponentRef<TComponent>(target)};
  EXPECT_EQ(ref.Get(), target);
  delete owner;  // frees the target through its owner
  EXPECT_EQ(ref.Get(), nullptr);
  EXPECT_EQ(copy.Get(), nullptr);
  EXPECT_EQ(moved.Get(), nullptr);
  EXPECT_FALSE(ref);
}

TEST(ComponentRef, ReferenceThatGoesFirstLeavesNoPeerBehind) {
  auto target = std::make_unique<TComponent>(nullptr);
  {
    TComponentRef<TComponent> ref(target.get());
    ref = target.get();  // the same target twice registers once
  }
  // the reference's watch is gone: destroying the target must not call it
  target.reset();
  TComponentRef<TComponent> empty;
  EXPECT_EQ(empty.Get(), nullptr);
}

TEST(ComponentRef, RetargetingForgetsTheOldTarget) {
  auto a = std::make_unique<TComponent>(nullptr);
  auto b = std::make_unique<TComponent>(nullptr);
  TComponentRef<TComponent> ref(a.get());
  ref = b.get();
  a.reset();
  EXPECT_EQ(ref.Get(), b.get());
  b.reset();
  EXPECT_EQ(ref.Get(), nullptr);
}

}  // namespace
