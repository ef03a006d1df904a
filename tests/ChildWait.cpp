#include "ChildWait.h"

#include <gtest/gtest.h>
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

pid_t StartShell(const std::string& command) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  TScopeExit destroy([&] { posix_spawnattr_destroy(&attributes); });
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  std::string shell = "/bin/sh", option = "-c", text = command;
  char* argv[] = {shell.data(), option.data(), text.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, shell.c_str(), nullptr, &attributes, argv, environ) != 0) return 0;
  return pid;
}

}  // namespace childwait
