#include "ChildProgram.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "ChildWait.h"
#include "platform/rtl/ScopeExit.h"

extern char** environ;

using childwait::Duration;

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                           std::chrono::milliseconds patience)
    : program_(program), patience_(patience) {
  int ends[2];
  // Both ends close on exec: no other program a test starts keeps this one's input open.
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    Fail(std::string("socketpair: ") + strerror(errno));
  socket_ = ends[0];
  TScopeExit closeChildEnd([&] { close(ends[1]); });
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  TScopeExit destroyFiles([&] { posix_spawn_file_actions_destroy(&files); });
  posix_spawn_file_actions_adddup2(&files, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&files, ends[1], STDOUT_FILENO);
  const int failed = posix_spawn(&pid_, program.c_str(), &files, nullptr, argv.data(), environ);
  if (failed) {
    pid_ = -1;
    Fail(std::string("does not start: ") + strerror(failed));
  }
}

ChildProgram::~ChildProgram() {
  if (pid_ > 0) {
    shutdown(socket_, SHUT_WR);  // the end of its input
    if (Reap(patience_) < 0) ADD_FAILURE() << program_ << " did not end within " << Duration(patience_);
  }
  if (socket_ >= 0) close(socket_);
}

void ChildProgram::WriteLine(const std::string& line) {
  const std::string data = line + "\n";
  for (size_t sent = 0; sent < data.size();) {
    // MSG_NOSIGNAL: a program that has gone fails the write instead of ending the test program.
    const ssize_t n = send(socket_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("takes no more input: " + std::string(strerror(errno)));
    sent += static_cast<size_t>(n);
  }
}

std::string ChildProgram::ReadLine() {
  const auto deadline = std::chrono::steady_clock::now() + patience_;
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    if (!ReadMore(deadline, "wrote no answer"))
      Fail("ended its output before an answer (after \"" + pending_ + "\")");
  }
}

std::string ChildProgram::ReadToEnd() {
  const auto deadline = std::chrono::steady_clock::now() + patience_;
  while (ReadMore(deadline, "did not end its output")) {
  }
  return std::exchange(pending_, std::string());
}

bool ChildProgram::ReadMore(std::chrono::steady_clock::time_point deadline, const std::string& late) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{socket_, POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) Fail(late + " within " + Duration(patience_));
    char buffer[512];
    const ssize_t n = read(socket_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
    return true;
  }
}

int ChildProgram::Wait() {
  const int status = Reap(patience_);
  if (status < 0) Fail("did not end within " + Duration(patience_));
  return status;
}

void ChildProgram::Fail(const std::string& what) {
  if (pid_ > 0) Reap(std::chrono::milliseconds(0));
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
  ADD_FAILURE() << program_ << " " << what;
  throw std::runtime_error(program_ + " " + what);
}

int ChildProgram::Reap(std::chrono::milliseconds patience) {
  return childwait::WaitOrKill(std::exchange(pid_, -1), patience);
}
