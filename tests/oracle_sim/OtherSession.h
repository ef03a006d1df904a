// A session of a simulated instance in another process, for the tests of what one client sees of
// another: sessions, locks and transactions across processes, and what remains of a client that
// ends. The other process is the program sim_other_session (OtherSessionProgram.cpp), started anew
// and driven through a line protocol:
//
//   sim_other_session <instance-file> <user> <password>
//
// It logs on and writes "session <sid> <serial>" (or "error <code> <text>" and ends), then runs each
// line it reads as a statement and answers "ok <first value of the first row>" ("ok " without a row)
// or "error <code> <text>". kLogOff logs off and ends the program; kDie, or the end of its input,
// ends it at once, without logging off or ending its transaction, as a client that crashes.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/ChildProgram.h"

namespace other_session {

constexpr char kLogOff[] = "logoff";
constexpr char kDie[] = "die";
constexpr char kSession[] = "session";
constexpr char kOk[] = "ok";
constexpr char kError[] = "error";

}  // namespace other_session

class OtherSession {
 public:
  // What a statement did there: Oracle's error code (0 when it ran) and the first value of its first
  // row ("" without one) or the error's text.
  struct Outcome {
    int error = 0;
    std::string text;
  };

  // Starts the program, logged on to the instance at InstancePath. Fails the test (and throws) when
  // it does not log on.
  OtherSession(const std::string& instancePath, const std::string& user, const std::string& password);

  pid_t Pid() const { return program_.Pid(); }
  int Sid() const { return sid_; }
  int Serial() const { return serial_; }

  Outcome Execute(const std::string& sql);
  // Runs Sql there: the first value of its first row. Fails the test (and throws) when it fails.
  std::string Run(const std::string& sql);
  // Logs off and ends the program; waits for its end.
  void LogOff();
  // Ends the program at once, as a client that crashes; waits for its end, so that the instance
  // finds it gone.
  void Die();

 private:
  void End(const char* command);

  ChildProgram program_;
  int sid_ = 0, serial_ = 0;
};
