// A program a test starts as a process of its own: another client of a shared instance, a program
// whose end is under test. Never a fork of the test process: a test program may run threads (a
// library's background writer, a pool's workers), and a forked copy of such a process may hang on a
// lock a thread held at the fork, or be refused outright by a thread checker.
//
// The program's standard input and output are the test's end of one socket (a line protocol of the
// test's choosing); its standard error and environment are the test's. Every wait on it is bounded:
// a program that does not answer or end in time is killed, and the test fails.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class ChildProgram {
 public:
  // How long a wait on the program lasts before it counts as hung; far beyond what a healthy program
  // under a sanitizer on a loaded machine needs, well within the test runner's own time-out.
  static constexpr std::chrono::seconds kPatience{60};

  // Starts Program (a path) with Arguments as argv[1..]. Fails the test (and throws) when it does not
  // start. Patience bounds each wait on it.
  ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::chrono::milliseconds patience = kPatience);
  // A program still running gets the end of its input, then is killed when it does not end in time.
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t Pid() const { return pid_; }

  // Sends one line (without its newline). Fails the test and throws when the program has gone.
  void WriteLine(const std::string& line);
  // The next line the program writes (without its newline). Fails the test and throws when the
  // program ends its output first or does not write one in time (then it is killed).
  std::string ReadLine();
  // Everything the program writes from here to the end of its output. Fails the test and throws when
  // it does not end its output in time (then it is killed).
  std::string ReadToEnd();
  // Waits for the program's end: its exit code, or 128 + the signal that ended it. Fails the test
  // and throws when it does not end in time (then it is killed).
  int Wait();

 private:
  [[noreturn]] void Fail(const std::string& what);
  // Reads what the program wrote next into pending_: false at the end of its output. Fails the test
  // and throws when nothing comes before Deadline (Late says what was awaited).
  bool ReadMore(std::chrono::steady_clock::time_point deadline, const std::string& late);
  // Kills the program when it has not ended within Patience, and reaps it; its status (as Wait
  // reports it), or -1 when it had to be killed.
  int Reap(std::chrono::milliseconds patience);

  std::string program_;
  std::chrono::milliseconds patience_;
  pid_t pid_ = -1;
  int socket_ = -1;
  std::string pending_;  // what was read past the last line returned
};
