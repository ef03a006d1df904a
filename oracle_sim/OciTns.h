// Connect strings of the simulated client: aliases of tnsnames.ora naming an instance's database file.
#pragma once

#include <string>
#include <vector>

namespace oracle_sim::oci {

// One entry of tnsnames.ora: its names and the database file its descriptor names.
struct TnsEntry {
  std::vector<std::string> names;  // upper-case
  std::string databaseFile;        // the value of (PATH = ...) in the descriptor, or ""
};

// Parses tnsnames.ora text (comments, entries over several lines, "A, B = (...)", ifile includes
// read through `readFile`, each file at most once).
std::vector<TnsEntry> ParseTnsNames(const std::string& path);

// The folders searched for tnsnames.ora, in order: $TNS_ADMIN, $ORACLE_HOME/network/admin, the
// home this library stands in (<home>/lib/libclntsh.so), and the simulated home of the build.
std::vector<std::string> TnsAdminFolders();

// The database file a connect string names: an alias (".WORLD"-style domains ignored), or a
// descriptor "(DESCRIPTION = ... (PATH = file) ...)"; an empty string means the alias SIM.
// TALVIK_SIM_DB, when set, replaces the file of any alias that resolves. Throws ORA-12154.
std::string ResolveDatabaseFile(const std::string& connect);

// Whether a connect string is a descriptor itself, naming its database file, rather than an alias.
bool IsDescriptor(const std::string& connect);

}  // namespace oracle_sim::oci
