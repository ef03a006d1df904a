#include "grid/PropFilerEx.h"

#include <algorithm>

namespace {
std::vector<TInterceptorPair>& Registry() {
  static auto* pairs = new std::vector<TInterceptorPair>;  // lives to the end of the program
  return *pairs;
}
}  // namespace

void RegisterPropertyInterceptor(const TClassInfo* TargetClass, const TClassInfo* InterceptorClass) {
  auto& r = Registry();
  std::erase_if(r, [&](const TInterceptorPair& p) { return p.first == TargetClass; });
  r.emplace_back(TargetClass, InterceptorClass);
}

void UnregisterPropertyInterceptor(const TClassInfo* TargetClass, const TClassInfo* InterceptorClass) {
  std::erase(Registry(), TInterceptorPair{TargetClass, InterceptorClass});
}

std::vector<TInterceptorPair> RegisteredPropertyInterceptors() {
  return Registry();
}
