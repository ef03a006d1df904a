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
#include <fstream>
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

namespace {

// What became of a child waited on.
enum class Fate { kEnded, kRunning, kNotOurs };

// Waits at most Patience for Pid to end, leaving it unreaped (a leader that ended still reserves its
// process group's id). A pid that is no child of this process (reaped already, or never ours) fails
// the test naming it.
Fate AwaitEnd(pid_t pid, std::chrono::milliseconds patience) {
  assert(pid > 0);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
      if (info.si_pid == pid) return Fate::kEnded;
    } else if (errno == ECHILD) {
      ADD_FAILURE() << "pid " << pid << " is no child of this test's process (reaped already?)";
      return Fate::kNotOurs;
    }
    if (std::chrono::steady_clock::now() >= deadline) return Fate::kRunning;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

// Reaps Pid, a child of this process that has ended (AwaitEnd found it so): its exit code. Never waits.
int Reap(pid_t pid) {
  int status = 0;
  pid_t reaped = -1;
  while ((reaped = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  assert(reaped == pid);  // the child is this process's own, ended, reaped once
  return ExitCode(status);
}

}  // namespace

std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds patience) {
  switch (AwaitEnd(pid, patience)) {
    case Fate::kEnded:
      return Reap(pid);
    case Fate::kRunning:
      return std::nullopt;
    case Fate::kNotOurs:
      break;
  }
  return kNotOurs;
}

int WaitOrKill(pid_t pid, std::chrono::milliseconds patience) {
  const Fate fate = AwaitEnd(pid, patience);
  if (fate == Fate::kNotOurs) return kNotOurs;
  // what a leader started and left behind goes with it, while its ended leader still holds the group
  Signal(pid, SIGKILL);
  // a killed child ends at once, unless the system holds it in a call it cannot leave: then it is
  // left unreaped rather than waited on for ever
  if (fate == Fate::kRunning && AwaitEnd(pid, kEndPatience) != Fate::kEnded) {
    ADD_FAILURE() << "pid " << pid << " did not end within " << Duration(kEndPatience) << " of SIGKILL";
    return -1;
  }
  const int code = Reap(pid);
  return fate == Fate::kEnded ? code : -1;
}

bool End(pid_t& pid, const std::string& what, int signal, std::chrono::milliseconds patience) {
  if (pid <= 0) return true;
  const pid_t child = std::exchange(pid, 0);
  // (a pid that is no child of this process may be another program's by now: it gets no signal)
  if (AwaitEnd(child, std::chrono::milliseconds(0)) == Fate::kNotOurs) return false;
  if (signal != 0) Signal(child, signal);
  const int code = WaitOrKill(child, patience);
  if (code >= 0) return true;
  if (code == kNotOurs) return false;
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
  const auto left = [&] {
    return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      deadline - std::chrono::steady_clock::now()));
  };
  // Reads what is in the pipe; whether it is still open.
  char buffer[4096];
  const auto take = [&] {
    const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
    if (n > 0) output->append(buffer, static_cast<size_t>(n));
    return n > 0 || (n < 0 && errno == EINTR);
  };
  // the output is read as it comes, so that a command writing more than a pipe holds does not stall;
  // once the command has ended, what a program it left in the background writes is not waited for
  constexpr std::chrono::milliseconds kLookEvery{20};
  for (bool open = output != nullptr; open && left().count() > 0;) {
    if (AwaitEnd(pid, std::chrono::milliseconds(0)) == Fate::kEnded) {
      fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
      while (take() && left().count() > 0) {
      }
      break;
    }
    pollfd ready{pipeEnds[0], POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(std::min(left(), kLookEvery).count())) > 0) open = take();
  }
  const int code = WaitOrKill(pid, left());
  if (code == -1)
    ADD_FAILURE() << "the command '" << command << "' did not end within " << Duration(patience);
  return code;
}

char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  // "pid (command) state ...": the state follows the command's closing parenthesis
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

}  // namespace childwait
