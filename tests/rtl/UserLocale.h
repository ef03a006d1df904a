// Runs a test under a locale as a user's environment names it, and the locales the suites try.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// Runs one disabled test of this test program in a process of its own, started with the locale
// variables cleared and then `environment` ("LANG=de_DE.UTF-8"), and answers what it printed.
inline std::string RunTestInOwnProcess(const std::string& environment, const std::string& test) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command = "env -u LC_ALL -u LC_TIME -u LC_NUMERIC -u LC_MONETARY " + environment + " '" +
                              self + "' --gtest_also_run_disabled_tests --gtest_filter=" + test + " 2>&1";
  std::string output;
  if (FILE* child = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, child)) output += buffer;
    pclose(child);
  }
  return output;
}

}  // namespace localetest
