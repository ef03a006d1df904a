// Runs a test under a locale as a user's environment names it, and the locales the suites try.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "tests/ChildWait.h"

namespace localetest {

// Sets environment variables for a test and puts them back afterwards.
class EnvironmentGuard {
 public:
  EnvironmentGuard() = default;
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
  ~EnvironmentGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }
  // nullptr: unset
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// LC_ALL names the locale and the format settings are read from it as at start; both are put back
// afterwards. A locale the C library does not know fails the test: scripts/install-deps generates
// the ones the suites use.
class UserLocaleGuard {
 public:
  explicit UserLocaleGuard(const std::string& locale) : settings_(FormatSettings) {
    TFormatSettings probe;
    EXPECT_TRUE(TryLocaleFormatSettings(locale, probe))
        << "the C library does not know the locale " << locale << " (scripts/install-deps generates it)";
    environment_.Set("LC_ALL", locale.c_str());
    FormatSettings = UserFormatSettings();
  }
  ~UserLocaleGuard() { FormatSettings = settings_; }
  UserLocaleGuard(const UserLocaleGuard&) = delete;
  UserLocaleGuard& operator=(const UserLocaleGuard&) = delete;

 private:
  TFormatSettings settings_;
  EnvironmentGuard environment_;
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
  // (a test that hangs there is killed and fails this one)
  std::string output;
  childwait::RunShell(command, &output, std::chrono::seconds(60));
  return output;
}

}  // namespace localetest
