// Linked into every test program: the per-user settings (HKEY_CURRENT_USER and its neighbours, under
// $XDG_CONFIG_HOME/talvik) of a test process live in that process's own folder from its start, so
// that no test writes the user's own settings, nor a file that another copy of the program, or the
// tests of another checkout, read and write at the same time. The programs a test starts inherit it;
// a test that needs settings of its own points XDG_CONFIG_HOME elsewhere and back again.
//
// Where the system gives a process no folder for its run-time files (XDG_RUNTIME_DIR unset, as in CI),
// the libraries a test loads (the toolkit, the sound client) would make one of their own in the
// temporary directory and leave it there; a test process gives them one in its own folder instead.
#include <stdlib.h>
#include <sys/stat.h>

#include "rtl/TempDir.h"

namespace {

[[maybe_unused]] const bool settingsOfItsOwn = [] {
  return ::setenv("XDG_CONFIG_HOME", (ProcessTempFolder() / "config").c_str(), 1) == 0;
}();

[[maybe_unused]] const bool runTimeFilesOfItsOwn = [] {
  if (::getenv("XDG_RUNTIME_DIR")) return true;
  const std::filesystem::path runtime = ProcessTempFolder() / "runtime";
  constexpr mode_t kOwnerOnly = 0700;  // what the toolkit asks of a run-time folder
  return ::mkdir(runtime.c_str(), kOwnerOnly) == 0 && ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1) == 0;
}();

}  // namespace
