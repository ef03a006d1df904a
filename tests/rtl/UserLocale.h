// Runs a test under a locale as a user's environment names it, and the locales the suites try.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/rtl/SysUtils.h"

namespace localetest {

// LC_ALL names the locale and the format settings are read from it as at start; both are put back
// afterwards. A locale the C library does not know fails the test: scripts/install-deps generates
// the ones the suites use.
class UserLocaleGuard {
 public:
  explicit UserLocaleGuard(const std::string& locale) : settings_(FormatSettings) {
    if (const char* old = std::getenv("LC_ALL")) old_ = old;
    TFormatSettings probe;
    EXPECT_TRUE(TryLocaleFormatSettings(locale, probe))
        << "the C library does not know the locale " << locale << " (scripts/install-deps generates it)";
    setenv("LC_ALL", locale.c_str(), 1);
    FormatSettings = UserFormatSettings();
  }
  ~UserLocaleGuard() {
    if (old_)
      setenv("LC_ALL", old_->c_str(), 1);
    else
      unsetenv("LC_ALL");
    FormatSettings = settings_;
  }
  UserLocaleGuard(const UserLocaleGuard&) = delete;
  UserLocaleGuard& operator=(const UserLocaleGuard&) = delete;

 private:
  TFormatSettings settings_;
  std::optional<std::string> old_;
};

// The locales the suites run the program under: the C locale and two whose formats differ from it.
inline const char* const kLocales[] = {"C", "ru_RU.UTF-8", "de_DE.UTF-8"};

// A test name for a locale: "C", "ru_RU", "de_DE".
inline std::string LocaleTestName(const std::string& locale) {
  return locale.substr(0, locale.find('.'));
}

}  // namespace localetest
