// The dynamic performance views of the instance (v$session, v$lock, v$sesstat ...), computed from
// its live state.
#pragma once

struct sqlite3;

namespace oracle_sim {

// Creates the live-state tables, the background processes and the v$ views of a new instance.
void InstallPerformanceViews(sqlite3* db);

}  // namespace oracle_sim
