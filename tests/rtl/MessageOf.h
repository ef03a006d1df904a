// The message of the exception of class E that a call raises.
#pragma once

#include <string>
#include <utility>

#include "platform/rtl/SysUtils.h"

// "(no exception)" when f raises none; an exception of any other class goes on and fails the test.
template <class E = Exception, class F>
std::string MessageOf(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no exception)";
}
