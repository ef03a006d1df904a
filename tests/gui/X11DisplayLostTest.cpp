// The display goes away under a program (its X server ends, as when an ssh -X link drops) while the
// program writes to it: the program still ends with the code that says its display was lost, never
// of the write itself. Each program here is a fresh one (a death test's child) on an X server of its
// own, which it ends.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "X11TestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

extern char** environ;

namespace {

constexpr int kServerStartMs = 10000;                  // the X server starts this soon
constexpr auto kEndWithin = std::chrono::seconds(20);  // the program ends this soon after the write
constexpr int kNoPremise = 70;  // the child's code when the write it must make did not go to a gone server

struct XServer {
  pid_t pid = 0;
  int number = -1;  // the display's number, -1 when none started
};

// Starts Xvfb on a free display. It ends by itself once its last client has gone (-terminate), so a
// program that dies before it ends its server leaves none behind.
XServer StartXServer() {
  XServer server;
  int ready[2];
  if (pipe(ready) != 0) return server;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addclose(&files, ready[0]);
  posix_spawn_file_actions_adddup2(&files, ready[1], 3);  // the server writes its number there
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  char* argv[] = {const_cast<char*>("Xvfb"),       const_cast<char*>("-displayfd"),
                  const_cast<char*>("3"),          const_cast<char*>("-screen"),
                  const_cast<char*>("0"),          const_cast<char*>("640x480x24"),
                  const_cast<char*>("-nolisten"),  const_cast<char*>("tcp"),
                  const_cast<char*>("-terminate"), nullptr};
  const int spawned = posix_spawnp(&server.pid, "Xvfb", &files, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&files);
  close(ready[1]);
  if (spawned != 0) {
    server.pid = 0;
    close(ready[0]);
    return server;
  }
  std::string number;
  pollfd p{ready[0], POLLIN, 0};
  char c = 0;
  while (poll(&p, 1, kServerStartMs) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
  close(ready[0]);
  if (!number.empty()) server.number = std::atoi(number.c_str());
  return server;
}

// A client's connection to the server of display Number, through its local socket: -1 when none.
int ConnectToServer(int Number) {
  const int link = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (link < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%d", Number);
  if (connect(link, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(link);
    return -1;
  }
  return link;
}

// In a fresh program on a server of its own: the toolkit shows a window there, the server ends, and a
// connection of the program to it is written to before the toolkit has read of the end (as the
// toolkit's own writes can be: a request of a timer's on another connection, a flush from another
// thread). The program then goes on pumping its messages. It must end with kExitDisplayLost.
[[noreturn]] void WriteToAGoneServer() {
  XServer server = StartXServer();
  if (server.number < 0) {
    std::fprintf(stderr, "no X server of the test's own (Xvfb)\n");
    std::exit(kNoPremise);
  }
  setenv("DISPLAY", (":" + std::to_string(server.number)).c_str(), 1);
  x11test::StartToolkit();
  static std::unique_ptr<TForm> form;  // reachable to the end: the program ends while it stands
  form = std::make_unique<TForm>(nullptr);
  form->SetBounds(20, 20, 200, 120);
  form->SetCaption("TalvikDisplayLost");
  form->Show();
  x11test::Settle();
  const int link = ConnectToServer(server.number);
  if (link < 0) {
    std::fprintf(stderr, "no connection to the test's own X server\n");
    std::exit(kNoPremise);
  }
  if (!childwait::End(server.pid, "the test's own X server (Xvfb)")) std::exit(kNoPremise);
  static constexpr unsigned char kGetInputFocus[] = {43, 0, 1, 0};  // one request, one word long
  const ssize_t written = write(link, kGetInputFocus, sizeof kGetInputFocus);
  if (written != -1 || errno != EPIPE) {
    std::fprintf(stderr, "the write did not meet a gone server: %zd (%s)\n", written, std::strerror(errno));
    std::exit(kNoPremise);
  }
  const auto end = std::chrono::steady_clock::now() + kEndWithin;
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    poll(nullptr, 0, 5);
  }
  std::fprintf(stderr, "the program went on after its display went\n");
  std::exit(kNoPremise);
}

}  // namespace

// A write to the server after it went fails, and the program ends as for any lost display: with the
// code that says so, not killed by the write.
TEST(X11DisplayLost, AWriteToTheGoneServerEndsTheProgramWithTheDisplayLostCode) {
  if (!x11test::Shell("command -v Xvfb")) {
    if (x11test::InCi()) FAIL() << "no Xvfb for an X server of the test's own";
    GTEST_SKIP() << "no Xvfb for an X server of the test's own";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh program, started as the program starts
  EXPECT_EXIT(WriteToAGoneServer(), ::testing::ExitedWithCode(talvik::gui::kExitDisplayLost), "");
}
