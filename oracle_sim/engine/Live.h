// The instance's live state: what its dynamic performance views show about sessions, calls, the
// shared pool, waits, locks and statistics. Everything is kept in the instance file, so every process
// that opens the instance sees (and acts on) the same sessions.
//
// What the calls of a process's sessions change is kept in the process's journal and written in
// batches: inside the next write transaction of any of its sessions, before a statement of the
// process reads the live state, with a failed call, at logon, logoff and kill, and otherwise by a
// thread of the process at most kFlushDelayMs after the oldest change. A process therefore reads
// its own state at once, and another process sees it at most that long late; a process that dies
// loses only what it had not written yet.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

namespace oracle_sim {

struct SessionState;
struct CursorState;
struct InstanceState;
struct Translation;

namespace live {

// The longest a change of the live state stays unwritten while its process runs.
constexpr int kFlushDelayMs = 20;

// Oracle's hash value of a statement text and the address of its shared-pool entry.
uint32_t HashValue(const std::string& sql);
uint64_t SqlAddress(const std::string& sql);
// An address as the 8 bytes of a RAW(8) column.
std::string RawAddress(uint64_t v);

// ORA-01035 for a logon without the RESTRICTED SESSION privilege while logins are restricted.
void CheckLogonAllowed(sqlite3* db, bool privileged);
// The session row's process, addresses and the idle wait a fresh session starts with.
void OnLogon(SessionState& s);
// A call of the session begins / ends: status, command, current statement, open cursor, waits and
// statistics.
void OnCallStart(SessionState& s, CursorState& c);
void OnCallEnd(SessionState& s, CursorState& c, bool failed);
// A fetch of a query: the first fetch ends the call that opened the query.
void OnFetch(SessionState& s, CursorState& c, bool gotRow);
// A cursor closes: it leaves the session's open cursors.
void OnCursorClose(SessionState& s, CursorState& c);
// The session's connection began a write transaction: the process's pending live state is written
// in it. Its end: committed, or rolled back (the pending state then waits for the next write).
void OnWriteBegin(SessionState& s);
void OnWriteEnd(SessionState& s, bool committed);
// Writes the process's pending live state now (before reading it, at logoff).
void Flush(SessionState& s);
void FlushInstance(InstanceState& is);
// Whether a statement reads the live state (the dynamic performance views, the tables under them,
// PL/SQL, DDL and ALTER statements, which may).
bool ReadsLiveState(const Translation& tr);
// The session waits for a row lock session `holder` holds (0: not known; called on every retry).
// Raises ORA-00028 when the waiting session has been killed meanwhile.
void OnLockWait(SessionState& s, int holder);
// 0, or how the session has been ended from outside: 1 killed, 2 disconnected.
// Read at `changes`, the count of the instance's changes (the session then knows the catalog's
// version at that count too).
int KilledState(SessionState& s, uint64_t changes);
// The session noticed that it has been killed: its row leaves the instance.
void OnKilled(SessionState& s);
// ALTER SYSTEM KILL SESSION checks: ORA-00030 for an unknown pair, ORA-00029 for a background
// process. Returns true when the session is in a call (the kill is then reported with ORA-00031).
bool CheckKillTarget(sqlite3* db, int sid, int serial);

// The simulation clock (seconds since the epoch) every view's elapsed time is measured with.
int64_t ClockNow(sqlite3* db);
// Freezes the clock at its current reading, steps it by `seconds` (frozen or not), lets it run.
void ClockFreeze(sqlite3* db);
void ClockStep(sqlite3* db, int64_t seconds);
void ClockRun(sqlite3* db);

// SQL expression of the clock reading (for views and updates).
extern const char* const kNowSql;

}  // namespace live
}  // namespace oracle_sim
