// Waits on processes a test started (a program under test, a window manager, an X server, a shell
// command), every one of them bounded: a child that does not end in time is killed and reaped, never
// waited on for ever, and the test that asked it to end fails naming it.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace childwait {

// How long a child asked to end gets before it counts as hung: far beyond what a healthy program
// under a sanitizer on a loaded machine needs, well within the test runner's own time-out.
inline constexpr std::chrono::milliseconds kEndPatience{15000};

// The status waitpid reports, as a shell shows it: the exit code, or 128 + the signal that ended it.
int ExitCode(int status);

// "15 s", "300 ms".
std::string Duration(std::chrono::milliseconds d);

// What WaitFor and WaitOrKill answer for a pid that is no child of this process (reaped already, or
// never ours): the test fails naming it, and the pid, which may be another program's by now, gets no
// signal.
inline constexpr int kNotOurs = -2;

// Waits at most Patience for Pid, a child of this process, to end, and reaps it: its exit code (as
// ExitCode tells it); nothing when it still runs.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds patience);

// WaitFor; a child still running then is killed (with the programs of its process group when it
// leads one) and reaped: -1. A leader that ended by itself takes what it left running in its group
// with it.
int WaitOrKill(pid_t pid, std::chrono::milliseconds patience);

// Ends a child the test started: sends it Signal (with its process group when it leads one; 0 sends
// none, for a child told to end some other way), then waits at most Patience. A child that has not
// ended by then is killed, and the test fails: "<What> did not end within 15 s of SIGTERM". Pid
// becomes 0 either way; a Pid of 0 or less is no child, and nothing happens. Whether it ended in time.
bool End(pid_t& pid, const std::string& what, int signal = SIGTERM,
         std::chrono::milliseconds patience = kEndPatience);

// Starts Command under /bin/sh as a child in a process group of its own, so that End reaches the
// programs it starts too. Its standard streams are the test's. Its pid; 0 when it does not start.
pid_t StartShell(const std::string& command);

// Runs Command under /bin/sh in a process group of its own and waits at most Patience for it: its exit
// code, with what it wrote to its standard output in Output when asked for. A command still running
// then is killed with what it started, and the test fails naming it: -1. What it left running once it
// ended (a program started in the background, holding its output) is killed, not waited for.
int RunShell(const std::string& command, std::string* output = nullptr,
             std::chrono::milliseconds patience = kEndPatience);

// A process's state as the system tells it ('R' running, 'S' sleeping, 'T' stopped, 'Z' ended, not
// yet reaped, ...); 0 when there is no such process.
char ProcessState(pid_t pid);

}  // namespace childwait
