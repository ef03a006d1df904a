#include "OtherSession.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace {

// "error <code> <text>" -> code and text; false for any other line.
bool ParseError(const std::string& line, OtherSession::Outcome& outcome) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word != other_session::kError || !(in >> outcome.error)) return false;
  in.get();
  std::getline(in, outcome.text);
  return true;
}

[[noreturn]] void Fail(const std::string& what) {
  ADD_FAILURE() << what;
  throw std::runtime_error(what);
}

}  // namespace

OtherSession::OtherSession(const std::string& instancePath, const std::string& user,
                           const std::string& password)
    : program_(TALVIK_OTHER_SESSION_PROGRAM, {instancePath, user, password}) {
  const std::string line = program_.ReadLine();
  std::istringstream in(line);
  std::string word;
  if (!(in >> word >> sid_ >> serial_) || word != other_session::kSession)
    Fail("the other session did not log on: " + line);
}

OtherSession::Outcome OtherSession::Execute(const std::string& sql) {
  program_.WriteLine(sql);
  const std::string line = program_.ReadLine();
  Outcome outcome;
  const std::string ok = std::string(other_session::kOk) + " ";
  if (line.compare(0, ok.size(), ok) == 0)
    outcome.text = line.substr(ok.size());
  else if (!ParseError(line, outcome))
    Fail("the other session answered \"" + line + "\" to " + sql);
  return outcome;
}

std::string OtherSession::Run(const std::string& sql) {
  Outcome outcome = Execute(sql);
  if (outcome.error) Fail("in the other session, " + sql + ": " + outcome.text);
  return outcome.text;
}

void OtherSession::LogOff() {
  End(other_session::kLogOff);
}

void OtherSession::Die() {
  End(other_session::kDie);
}

void OtherSession::End(const char* command) {
  program_.WriteLine(command);
  if (const int code = program_.Wait(); code != 0)
    Fail(std::string("the other session ended with ") + std::to_string(code) + " after " + command);
}
