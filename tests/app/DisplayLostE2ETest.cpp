// The program's display goes away under it (the X server ends, as when an ssh -X link drops): the
// program ends at once, cleanly, with the code that says so. And a display server that ends with its
// last client is still there for the program once it starts. The tests run the program on an X server
// of their own (not the shared one the other tests run on), which they end.
#include <poll.h>

#include <optional>

#include "E2EHarness.h"
#include "SanitizerReport.h"

namespace {

using e2e::WaitFor;
using sanitizertest::NoSanitizerReport;

constexpr int kEndMs = 10000;          // the program ends this soon after its display went
constexpr int kServerStartMs = 10000;  // the X server starts this soon

// The program on an X server of the test's own, made the display of the program and of the test's
// own commands (xdotool) for the test's length.
class OwnXServerTest : public e2e::ProgramTest {
 protected:
  // Starts the test's own X server, which ends with its last client when asked (Xvfb -terminate), and
  // makes it the display. Under CI a test that cannot start it fails; elsewhere it skips.
  void UseOwnXServer(bool EndsWithItsLastClient) {
    if (const char* display = std::getenv("DISPLAY")) sharedDisplay_ = display;
    const std::string own = StartXServer(EndsWithItsLastClient);
    if (own.empty()) {
      if (x11test::InCi()) FAIL() << "no X server of the test's own (Xvfb)";
      GTEST_SKIP() << "no X server of the test's own (Xvfb)";
    }
    setenv("DISPLAY", own.c_str(), 1);
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
  std::string StartXServer(bool EndsWithItsLastClient) {
    int ready[2];
    if (pipe(ready) != 0) return "";
    const std::string log = (dir_ / "xvfb.out").string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addclose(&files, ready[0]);
    posix_spawn_file_actions_adddup2(&files, ready[1], 3);  // the server writes its number there
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    std::vector<std::string> args = {"Xvfb", "-displayfd",   "3",         "-screen",
                                     "0",    "1280x1024x24", "-nolisten", "tcp"};
    if (EndsWithItsLastClient) {
      // (its log names each client that connects, with its process)
      args.insert(args.end(), {"-terminate", "-audit", "2"});
    } else {
      // no reset when the last client goes: a window manager would meet a server starting over
      args.emplace_back("-noreset");
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&server_, "Xvfb", &files, nullptr, argv.data(), environ);
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
  // How many connections a process made to the test's own X server (one that ends with its last
  // client: its log names them).
  int ConnectionsOf(pid_t Process) {
    std::ifstream log(dir_ / "xvfb.out");
    const std::string mark = " connected from local host ( uid=",
                      from = " pid=" + std::to_string(Process) + " )";
    int n = 0;
    for (std::string line; std::getline(log, line);)
      n += line.find(mark) != std::string::npos && line.find(from) != std::string::npos;
    return n;
  }
  // Ends the test's own X server (as when a display goes away) and waits until it has gone.
  void StopXServer() { childwait::End(server_, "the test's own X server (Xvfb)"); }

  std::optional<std::string> sharedDisplay_;  // the display the other tests run on
  pid_t server_ = 0;
};

class DisplayLost : public OwnXServerTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseOwnXServer(false);
    if (IsSkipped() || HasFatalFailure()) return;
    // a desktop as a user has it: a window manager and a notification area (the program's tray icon)
    // (the notification area first: a window manager still starting may leave its panel unmapped)
    ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
    ASSERT_TRUE(StartWindowManager()) << "no window manager (openbox)";
  }
};

// A display server that ends when its last client leaves, with no client yet: the program is the
// first to come.
class DisplayEndingWithItsLastClient : public OwnXServerTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseOwnXServer(true);
  }
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

// The program starts on a display server that ends when its last client leaves: its look for a display
// at the start holds the server until the toolkit has its own connection, so the server is still
// there for the toolkit and the program runs; Escape in its logon dialog then ends it as usual.
TEST_F(DisplayEndingWithItsLastClient, TheProgramRunsOnIt) {
  Start();
  const pid_t program = pid_;
  // nothing of the test's own touches the server before the toolkit holds its connection there (the
  // second of the program's): a command of the test's coming and going first would end the server
  std::optional<int> ended;
  ASSERT_TRUE(WaitFor([&] {
    return ConnectionsOf(program) >= 2 || (ended = childwait::WaitFor(pid_, std::chrono::milliseconds(0)));
  })) << "the program neither connected twice nor ended";
  if (ended) {
    pid_ = 0;
    FAIL() << "the program ended with " << *ended << ":\n" << Said();
  }
  const std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog";
  Keys(logon, "Escape");
  EXPECT_EQ(Exit(), 0) << Said();
  EXPECT_THAT(Said(), NoSanitizerReport());
}

}  // namespace
