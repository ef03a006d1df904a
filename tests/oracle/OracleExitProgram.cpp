// A program that logs on to the simulated instance and ends without logging off or freeing its
// session: the access library's own exit handler must log it off and free the client library. The
// program's last exit handler (registered before the logon, so it runs after the library's) writes
// "y" when it finds that done, "n" otherwise.
//
//   oracle_exit_program host|handle     (the call generation of the session)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Process.h"

namespace {

TOracleSession* session = nullptr;

void ReportAtExit() {
  const char* seen = !session->Connected() && !ClientLoaded() ? "y\n" : "n\n";
  if (write(STDOUT_FILENO, seen, std::strlen(seen)) < 0) _exit(3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || (std::strcmp(argv[1], "host") != 0 && std::strcmp(argv[1], "handle") != 0)) {
    std::fprintf(stderr, "usage: oracle_exit_program host|handle\n");
    return 2;
  }
  SetCommandLine(argc, argv);
  // Kept until after the exit handlers: a program that never freed its session.
  static std::unique_ptr<TOracleSession> left = std::make_unique<TOracleSession>(nullptr);
  session = left.get();
  left->Preferences()->SetUseOCI7(std::strcmp(argv[1], "host") == 0);
  left->SetLogonUsername("scott");
  left->SetLogonPassword("tiger");
  left->SetLogonDatabase("SIM");
  std::atexit(ReportAtExit);
  try {
    left->LogOn();
  } catch (...) {
    _exit(1);
  }
  return 0;
}
