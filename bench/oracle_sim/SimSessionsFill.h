// Fills an instance file with sessions of other programs, as the monitor's benchmarks list them.
#pragma once

#include <sqlite3.h>

#include <string>

namespace simbench {

// Adds `n` user sessions (one in seven active) to the instance file, as other processes' sessions
// would be, with SIDs from 1000 on.
inline void AddSessions(const std::string& path, int n) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_busy_timeout(db, 10000);
  std::string sql =
      "WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i + 1 < " + std::to_string(n) +
      ") INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, status, program, machine, "
      "osuser, saddr, paddr, spid, pprogram, last_call, wait_since, consistent_gets, block_gets, "
      "physical_reads, "
      "cpu_us, command, module, action) SELECT 1000 + i, 1 + i % 5000, 'SCOTT', 59, 1, datetime('now', "
      "'localtime', '-1 hour'), CASE WHEN i % 7 = 0 THEN 'ACTIVE' ELSE 'INACTIVE' END, 'JDBC Thin Client', "
      "'appsrv0' || (i % 9), 'appuser', CAST(printf('S%07d', i) AS BLOB), CAST(printf('P%07d', i) AS BLOB), "
      "CAST(30000 + i AS TEXT), 'oracle@dbsrv01 (TNS V1-V3)', unixepoch('now') - i % 5000, unixepoch('now') "
      "- i "
      "% 300, i * 13, i * 3, i, i * 1000, i % 50, 'OrderEntry', 'Checkout' FROM k";
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace simbench
