#include "ChildWait.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/rtl/ScopeExit.h"

extern char** environ;

namespace childwait {

namespace {

// Pid itself, or its whole process group when it leads one, gets Signal.
void Signal(pid_t pid, int signal) {
  if (getpgid(pid) == pid && kill(-pid, signal) == 0) return;
  kill(pid, signal);
}

}  // namespace

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::string Duration(std::chrono::milliseconds d) {
  return d.count() % 1000 ? std::to_string(d.count()) + " ms" : std::to_string(d.count() / 1000) + " s";
}

std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds patience) {
  assert(pid > 0);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    int status = 0;
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) return ExitCode(status);
    assert(ended >= 0 || errno == EINTR);  // the child is this process's own, reaped once
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

int WaitOrKill(pid_t pid, std::chrono::milliseconds patience) {
  if (const std::optional<int> code = WaitFor(pid, patience)) return *code;
  Signal(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return -1;
}

bool End(pid_t& pid, const std::string& what, int signal, std::chrono::milliseconds patience) {
  if (pid <= 0) return true;
  const pid_t child = std::exchange(pid, 0);
  if (signal != 0) Signal(child, signal);
  if (WaitOrKill(child, patience) >= 0) return true;
  const char* name = signal != 0 ? sigabbrev_np(signal) : nullptr;
  ADD_FAILURE() << what << " did not end within " << Duration(patience)
                << (name ? std::string(" of SIG") + name : std::string());
  return false;
}

namespace {

// Command under /bin/sh as the leader of a process group of its own; its standard output goes to
// Output when that is an open descriptor. Its pid; 0 when it does not start.
pid_t Spawn(const std::string& command, int output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  TScopeExit destroyActions([&] { posix_spawn_file_actions_destroy(&actions); });
  if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  TScopeExit destroy([&] { posix_spawnattr_destroy(&attributes); });
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  std::string shell = "/bin/sh", option = "-c", text = command;
  char* argv[] = {shell.data(), option.data(), text.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, environ) != 0) return 0;
  return pid;
}

}  // namespace

pid_t StartShell(const std::string& command) {
  return Spawn(command, -1);
}

int RunShell(const std::string& command, std::string* output, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  int pipeEnds[2] = {-1, -1};
  if (output && pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
  TScopeExit closeRead([&] {
    if (pipeEnds[0] >= 0) close(pipeEnds[0]);
  });
  pid_t pid = Spawn(command, pipeEnds[1]);
  if (pipeEnds[1] >= 0) close(pipeEnds[1]);
  if (pid == 0) return -1;
  // the output is read as it comes, so that a command writing more than a pipe holds does not stall
  for (bool open = output != nullptr; open;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{pipeEnds[0], POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
    if (n > 0)
      output->append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      open = false;
  }
  const auto left = std::max(
      std::chrono::milliseconds(0),
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
  const int code = WaitOrKill(pid, left);
  if (code < 0) ADD_FAILURE() << "the command '" << command << "' did not end within " << Duration(patience);
  return code;
}

}  // namespace childwait
