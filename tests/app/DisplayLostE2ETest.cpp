// The program's display goes away under it (the X server ends, as when an ssh -X link drops): the
// program ends at once, cleanly, with the code that says so. The test runs the program on an X server
// of its own (not the shared one the other tests run on), which it ends.
#include <poll.h>

#include <optional>

#include "E2EHarness.h"
#include "SanitizerReport.h"

namespace {

using e2e::WaitFor;
using sanitizertest::NoSanitizerReport;

constexpr int kEndMs = 10000;          // the program ends this soon after its display went
constexpr int kServerStartMs = 10000;  // the X server starts this soon

class DisplayLost : public e2e::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (const char* display = std::getenv("DISPLAY")) sharedDisplay_ = display;
    const std::string own = StartXServer();
    if (own.empty()) {
      if (x11test::InCi()) FAIL() << "no X server of the test's own (Xvfb)";
      GTEST_SKIP() << "no X server of the test's own (Xvfb)";
    }
    // the program and the test's own commands (xdotool) go to this server, a desktop as a user has
    // it: a window manager and a notification area (the program's tray icon)
    setenv("DISPLAY", own.c_str(), 1);
    // (the notification area first: a window manager still starting may leave its panel unmapped)
    ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
    ASSERT_TRUE(StartWindowManager()) << "no window manager (openbox)";
  }
  void TearDown() override {
    StopXServer();
    if (sharedDisplay_)
      setenv("DISPLAY", sharedDisplay_->c_str(), 1);
    else
      unsetenv("DISPLAY");
    ProgramTest::TearDown();
  }

  // Starts Xvfb on a free display: that display (":N"), "" when it cannot.
  std::string StartXServer() {
    int ready[2];
    if (pipe(ready) != 0) return "";
    const std::string log = (dir_ / "xvfb.out").string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addclose(&files, ready[0]);
    posix_spawn_file_actions_adddup2(&files, ready[1], 3);  // the server writes its number there
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    // no reset when the last client goes: the window manager would meet a server starting over
    char* argv[] = {const_cast<char*>("Xvfb"),      const_cast<char*>("-displayfd"),
                    const_cast<char*>("3"),         const_cast<char*>("-screen"),
                    const_cast<char*>("0"),         const_cast<char*>("1280x1024x24"),
                    const_cast<char*>("-nolisten"), const_cast<char*>("tcp"),
                    const_cast<char*>("-noreset"),  nullptr};
    const int spawned = posix_spawnp(&server_, "Xvfb", &files, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    close(ready[1]);
    if (spawned != 0) {
      server_ = 0;
      close(ready[0]);
      return "";
    }
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, kServerStartMs) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    return number.empty() ? "" : ":" + number;
  }
  // Ends the test's own X server (as when a display goes away) and waits until it has gone.
  void StopXServer() { childwait::End(server_, "the test's own X server (Xvfb)"); }

  std::optional<std::string> sharedDisplay_;  // the display the other tests run on
  pid_t server_ = 0;
};

// The X server ends under the logged-on program, its icon in the tray: the program ends within
// seconds, with the code that says its display was lost, without a crash and without a sanitizer's
// report.
TEST_F(DisplayLost, TheProgramEndsCleanlyWhenItsXServerEnds) {
  Prefill("SYSTEM", "SIM", "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  Start();
  ASSERT_FALSE(LogOn("manager").empty()) << Said();
  ASSERT_TRUE(WaitFor([&] { return !TrayIconWindow().empty(); })) << "no icon in the tray";
  StopXServer();
  EXPECT_EQ(Exit(kEndMs), talvik::gui::kExitDisplayLost) << Said();
  EXPECT_THAT(Said(), NoSanitizerReport());
}

}  // namespace
