// Shared helpers of the real-input tests (run through xvfb-run -a): shell commands for xdotool,
// waiting on a state with a time-out while our messages are pumped, and the screenshot folder.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/gui/Forms.h"

namespace x11test {

inline constexpr int kTimeoutMs = 8000;

inline bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Pumps our messages (unless Pump is false) until Done holds or the time-out passes.
inline bool WaitFor(const std::function<bool()>& Done, bool Pump = true) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (Pump) Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

// An X server and xdotool are there; under CI=true their absence is a failure, not a skip.
inline bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display && Shell("xdotool version");
}
inline bool InCi() {
  return std::getenv("CI") && std::string(std::getenv("CI")) == "true";
}

}  // namespace x11test

// In a fixture's SetUp: skips the test without an X server, fails it under CI.
#define X11TEST_REQUIRE_DISPLAY()                                                                      \
  do {                                                                                                 \
    if (!x11test::HaveDisplay()) {                                                                     \
      if (x11test::InCi()) FAIL() << "no X server or no xdotool: run these tests through xvfb-run -a"; \
      GTEST_SKIP() << "no X server (run through xvfb-run -a)";                                         \
    }                                                                                                  \
  } while (0)
