// The registry of property-storage interceptors: pairs of a component class and the class of an
// object that a property-storage manager would put in front of it when saving or restoring its
// properties. Nothing in the program looks the pairs up.
#pragma once

#include <utility>
#include <vector>

#include "platform/rtl/Classes.h"

class TStoragePropertyInterceptor : public TPersistent {
  TALVIK_CLASS(TStoragePropertyInterceptor, TPersistent)
  explicit TStoragePropertyInterceptor(TObject* ATarget) : target_(ATarget) {}
  TObject* Target() const { return target_; }
  // Whether the interceptor takes the target's properties (always, in the base).
  virtual bool Intercepts() const { return true; }
  // Called after the properties have been read back.
  virtual void AfterPropertiesRead() {}

 private:
  TObject* target_;
};

using TInterceptorPair = std::pair<const TClassInfo*, const TClassInfo*>;  // target, interceptor

// Replaces every earlier pair of TargetClass with this one.
void RegisterPropertyInterceptor(const TClassInfo* TargetClass, const TClassInfo* InterceptorClass);
// Removes every pair of exactly these two classes.
void UnregisterPropertyInterceptor(const TClassInfo* TargetClass, const TClassInfo* InterceptorClass);
// The registered pairs, in registration order.
std::vector<TInterceptorPair> RegisteredPropertyInterceptors();
