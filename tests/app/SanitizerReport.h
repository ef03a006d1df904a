// What a sanitizer writes when it finds a fault, for tests that read what a program wrote.
#pragma once

#include <gmock/gmock.h>

#include <string>

namespace sanitizertest {

// What the program wrote holds no report of AddressSanitizer, UndefinedBehaviorSanitizer or
// LeakSanitizer.
inline ::testing::Matcher<const std::string&> NoSanitizerReport() {
  using ::testing::HasSubstr;
  using ::testing::Not;
  return ::testing::AllOf(Not(HasSubstr("ERROR: AddressSanitizer")), Not(HasSubstr("runtime error:")),
                          Not(HasSubstr("LeakSanitizer")));
}

}  // namespace sanitizertest
