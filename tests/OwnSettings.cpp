// Linked into every test program: the per-user settings (HKEY_CURRENT_USER and its neighbours, under
// $XDG_CONFIG_HOME/talvik) of a test process live in that process's own folder from its start, so
// that no test writes the user's own settings, nor a file that another copy of the program, or the
// tests of another checkout, read and write at the same time. The programs a test starts inherit it;
// a test that needs settings of its own points XDG_CONFIG_HOME elsewhere and back again.
#include <stdlib.h>

#include "rtl/TempDir.h"

namespace {

[[maybe_unused]] const bool settingsOfItsOwn = [] {
  return ::setenv("XDG_CONFIG_HOME", (ProcessTempFolder() / "config").c_str(), 1) == 0;
}();

}  // namespace
