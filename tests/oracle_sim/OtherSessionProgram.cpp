// sim_other_session: a session of a simulated instance in a program of its own, another client for
// the tests (its line protocol: OtherSession.h).
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Session.h"
#include "tests/oracle_sim/OtherSession.h"

using namespace oracle_sim;

namespace {

// One line of the answer, at once: the test waits for it.
void Answer(const std::string& line) {
  std::cout << line << std::endl;
}

void AnswerError(const OraError& e) {
  std::string text = e.text;
  for (char& c : text)
    if (c == '\n') c = ' ';
  Answer(std::string(other_session::kError) + " " + std::to_string(e.code) + " " + text);
}

// Runs Sql and answers with the first value of its first row.
void Run(Session& session, const std::string& sql) {
  std::string value;
  try {
    auto cursor = session.Prepare(sql);
    cursor->Execute();
    std::vector<Value> row;
    if (cursor->Kind() == StmtKind::Select && cursor->Fetch(row) && !row.empty()) value = row[0].ToText();
  } catch (const OraError& e) {
    AnswerError(e);
    return;
  }
  for (char& c : value)
    if (c == '\n') c = ' ';
  Answer(std::string(other_session::kOk) + " " + value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sim_other_session <instance-file> <user> <password>\n");
    return 2;
  }
  std::unique_ptr<Session> session;
  try {
    session = Session::LogOn(Instance::Open(argv[1]), argv[2], argv[3]);
  } catch (const OraError& e) {
    AnswerError(e);
    return 1;
  }
  Answer(std::string(other_session::kSession) + " " + std::to_string(session->SessionId()) + " " +
         std::to_string(session->State().serial));
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == other_session::kLogOff) {
      session.reset();
      return 0;
    }
    if (line == other_session::kDie) break;
    Run(*session, line);
  }
  _exit(0);  // the session stays open and its transaction under way
}
