// The dynamic performance views (v$...), sys.obj$ and sys.user$ of the instance, the tables of live
// state under them, the background processes and the statistic names of an Oracle9i instance.
#include "oracle_sim/engine/Views.h"

#include <sqlite3.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "oracle_sim/engine/Catalog.h"
#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/Live.h"
#include "oracle_sim/engine/Translator.h"

namespace oracle_sim {

namespace {

using Cols = std::vector<std::tuple<std::string, std::string, int>>;

// Live state kept beside the engine's session rows.
const char* kLiveSchema = R"SQL(
ALTER TABLE sim$sessions ADD COLUMN type TEXT NOT NULL DEFAULT 'USER';
ALTER TABLE sim$sessions ADD COLUMN command INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN saddr BLOB;
ALTER TABLE sim$sessions ADD COLUMN paddr BLOB;
ALTER TABLE sim$sessions ADD COLUMN spid TEXT;
ALTER TABLE sim$sessions ADD COLUMN pprogram TEXT;
ALTER TABLE sim$sessions ADD COLUMN sql_address BLOB NOT NULL DEFAULT x'00';
ALTER TABLE sim$sessions ADD COLUMN sql_hash INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN prev_address BLOB NOT NULL DEFAULT x'00';
ALTER TABLE sim$sessions ADD COLUMN prev_hash INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN last_call INTEGER;
ALTER TABLE sim$sessions ADD COLUMN event TEXT NOT NULL DEFAULT 'SQL*Net message from client';
ALTER TABLE sim$sessions ADD COLUMN wait_seq INTEGER NOT NULL DEFAULT 1;
ALTER TABLE sim$sessions ADD COLUMN wait_time INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN wait_since INTEGER;
ALTER TABLE sim$sessions ADD COLUMN p1 INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN p2 INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN p3 INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN wait_obj INTEGER;
ALTER TABLE sim$sessions ADD COLUMN wait_blocker INTEGER;
ALTER TABLE sim$sessions ADD COLUMN block_gets INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN consistent_gets INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN physical_reads INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN block_changes INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN consistent_changes INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN cpu_us INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN user_calls INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN execute_count INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN parse_count INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN opened_cursors INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN commits INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN rollbacks INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN redo_size INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN sorts INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN enqueue_waits INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sim$sessions ADD COLUMN tx_usn INTEGER;
ALTER TABLE sim$sessions ADD COLUMN tx_slot INTEGER;
ALTER TABLE sim$sessions ADD COLUMN tx_seq INTEGER;
ALTER TABLE sim$sessions ADD COLUMN tx_start INTEGER;
ALTER TABLE sim$sessions ADD COLUMN tx_start_text TEXT;
CREATE INDEX sim$sessions_paddr ON sim$sessions(paddr);
CREATE INDEX sim$sessions_blocker ON sim$sessions(wait_blocker);
CREATE TABLE sim$statname("STATISTIC#" INTEGER PRIMARY KEY, name TEXT NOT NULL, class INTEGER NOT NULL);
CREATE TABLE sim$bgprocess(name TEXT PRIMARY KEY, description TEXT, paddr BLOB NOT NULL DEFAULT x'00',
  pos INTEGER);
CREATE TABLE sim$sqlarea(address BLOB PRIMARY KEY, hash_value INTEGER NOT NULL, sql_text TEXT NOT NULL,
  command_type INTEGER NOT NULL, executions INTEGER NOT NULL DEFAULT 0, parse_calls INTEGER NOT NULL DEFAULT 0,
  buffer_gets INTEGER NOT NULL DEFAULT 0, disk_reads INTEGER NOT NULL DEFAULT 0,
  rows_processed INTEGER NOT NULL DEFAULT 0, users_executing INTEGER NOT NULL DEFAULT 0,
  first_load_time TEXT, parsing_user INTEGER NOT NULL DEFAULT 0);
CREATE TABLE sim$sqltext(address BLOB NOT NULL, hash_value INTEGER NOT NULL, piece INTEGER NOT NULL,
  sql_text TEXT NOT NULL, PRIMARY KEY(address, piece));
CREATE TABLE sim$open_cursor(sid INTEGER NOT NULL, cursor_id INTEGER NOT NULL, address BLOB NOT NULL,
  hash_value INTEGER NOT NULL, sql_text TEXT, PRIMARY KEY(sid, cursor_id));
CREATE TABLE sim$sess_event(sid INTEGER NOT NULL, event TEXT NOT NULL, total_waits INTEGER NOT NULL DEFAULT 0,
  total_timeouts INTEGER NOT NULL DEFAULT 0, time_waited INTEGER NOT NULL DEFAULT 0,
  max_wait INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(sid, event));
CREATE TABLE sim$bglocks(sid INTEGER NOT NULL, type TEXT NOT NULL, id1 INTEGER NOT NULL, id2 INTEGER NOT NULL,
  lmode INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sim$tmlocks(sid INTEGER NOT NULL, obj_id INTEGER NOT NULL, lmode INTEGER NOT NULL,
  PRIMARY KEY(sid, obj_id));
CREATE TABLE sim$rollseg(usn INTEGER PRIMARY KEY, name TEXT NOT NULL, extents INTEGER NOT NULL);
CREATE TABLE sim$parameter(num INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL, value TEXT,
  isdefault TEXT NOT NULL, description TEXT);
)SQL";

// Statistic names in Oracle9i numbering (statistic# = position).
const char* kStatNames[] = {"logons cumulative",
                            "logons current",
                            "opened cursors cumulative",
                            "opened cursors current",
                            "user commits",
                            "user rollbacks",
                            "user calls",
                            "recursive calls",
                            "recursive cpu usage",
                            "session logical reads",
                            "session stored procedure space",
                            "CPU used when call started",
                            "CPU used by this session",
                            "session connect time",
                            "process last non-idle time",
                            "session uga memory",
                            "session uga memory max",
                            "messages sent",
                            "messages received",
                            "background timeouts",
                            "session pga memory",
                            "session pga memory max",
                            "enqueue timeouts",
                            "enqueue waits",
                            "enqueue deadlocks",
                            "enqueue requests",
                            "enqueue conversions",
                            "enqueue releases",
                            "global lock sync gets",
                            "global lock async gets",
                            "global lock get time",
                            "global lock convert time",
                            "total file opens",
                            "opens requiring cache replacement",
                            "opens of replaced files",
                            "db block gets",
                            "consistent gets",
                            "physical reads",
                            "db block changes",
                            "consistent changes",
                            "recovery blocks read",
                            "physical writes",
                            "summed dirty queue length",
                            "DBWR checkpoints",
                            "remote instance undo block writes",
                            "remote instance undo header writes",
                            "redo synch writes",
                            "redo synch time",
                            "exchange deadlocks",
                            "free buffer requested",
                            "dirty buffers inspected",
                            "write clones created in foreground",
                            "commit cleanout failures: write disabled",
                            "commit cleanout failures: block lost",
                            "commit cleanout failures: cannot pin",
                            "commit cleanout failures: hot backup in progress",
                            "commit cleanout failures: buffer being written",
                            "commit cleanout failures: callback failure ",
                            "commit cleanouts",
                            "commit cleanouts successfully completed",
                            "calls to get snapshot scn: kcmgss",
                            "redo entries",
                            "redo size",
                            "redo wastage",
                            "redo writer latching time",
                            "redo writes",
                            "redo write time",
                            "redo log space requests",
                            "redo log space wait time",
                            "redo log switch interrupts",
                            "redo ordering marks",
                            "table scans (short tables)",
                            "table scans (long tables)",
                            "table scans (rowid ranges)",
                            "table scans (cache partitions)",
                            "table scans (direct read)",
                            "table scan rows gotten",
                            "table scan blocks gotten",
                            "table fetch by rowid",
                            "table fetch continued row",
                            "parse count (total)",
                            "parse count (hard)",
                            "execute count",
                            "bytes sent via SQL*Net to client",
                            "bytes received via SQL*Net from client",
                            "SQL*Net roundtrips to/from client",
                            "bytes sent via SQL*Net to dblink",
                            "bytes received via SQL*Net from dblink",
                            "SQL*Net roundtrips to/from dblink",
                            "sorts (memory)",
                            "sorts (disk)",
                            "sorts (rows)",
                            "session cursor cache hits",
                            "session cursor cache count"};

// How a statistic's value follows the session's counters (by name; others stay 0).
std::string StatExpr(const std::string& n) {
  if (n == "logons cumulative" || n == "logons current") return "1";
  if (n == "opened cursors cumulative") return "s.opened_cursors";
  if (n == "opened cursors current") return "(SELECT count(*) FROM sim$open_cursor o WHERE o.sid = s.sid)";
  if (n == "user commits") return "s.commits";
  if (n == "user rollbacks") return "s.rollbacks";
  if (n == "user calls") return "s.user_calls";
  if (n == "recursive calls") return "s.execute_count * 3";
  if (n == "session logical reads") return "s.block_gets + s.consistent_gets";
  if (n == "CPU used when call started" || n == "CPU used by this session") return "s.cpu_us / 10000";
  if (n == "session connect time") return "CAST(strftime('%s', s.logon_time) AS INTEGER) / 100";
  if (n == "session uga memory" || n == "session uga memory max") return "77520 + s.opened_cursors * 24";
  if (n == "session pga memory" || n == "session pga memory max") return "270496 + s.opened_cursors * 512";
  if (n == "enqueue waits") return "s.enqueue_waits";
  if (n == "enqueue requests" || n == "enqueue releases") return "s.commits + s.rollbacks + s.execute_count";
  if (n == "db block gets") return "s.block_gets";
  if (n == "consistent gets") return "s.consistent_gets";
  if (n == "physical reads") return "s.physical_reads";
  if (n == "db block changes") return "s.block_changes";
  if (n == "consistent changes") return "s.consistent_changes";
  if (n == "redo entries") return "s.block_changes / 2";
  if (n == "redo size") return "s.redo_size";
  if (n == "calls to get snapshot scn: kcmgss") return "s.execute_count";
  if (n == "table fetch by rowid") return "s.consistent_gets / 2";
  if (n == "parse count (total)") return "s.parse_count";
  if (n == "parse count (hard)") return "s.opened_cursors / 4";
  if (n == "execute count") return "s.execute_count";
  if (n == "bytes sent via SQL*Net to client") return "s.user_calls * 180";
  if (n == "bytes received via SQL*Net from client") return "s.user_calls * 240";
  if (n == "SQL*Net roundtrips to/from client") return "s.user_calls";
  if (n == "sorts (memory)") return "s.sorts";
  if (n == "sorts (rows)") return "s.sorts * 14";
  if (n == "session cursor cache count") return "min(s.opened_cursors, 20)";
  return "0";
}

const char* kBackground[][3] = {
    {"PMON", "process cleanup", "pmon timer"},        {"DBW0", "db writer process 0", "rdbms ipc message"},
    {"LGWR", "Redo etc.", "rdbms ipc message"},       {"CKPT", "checkpoint", "rdbms ipc message"},
    {"SMON", "System Monitor Process", "smon timer"}, {"RECO", "distributed recovery", "rdbms ipc message"}};
const char* kIdleBackground[][2] = {{"DBW1", "db writer process 1"},
                                    {"ARC0", "Archival Process 0"},
                                    {"CJQ0", "Job Queue Coordinator"},
                                    {"QMN0", "AQ Time Manager"},
                                    {"LMON", "global enqueue service monitor"},
                                    {"DIAG", "diagnosibility process"}};

// The addresses v$session shows for a session's transaction: a base in the SGA's address range, then
// one slot of this size per session id.
constexpr int64_t kTransactionAddressBase = 0x6A000000;
constexpr int64_t kTransactionSlotSize = 256;

void RegisterAll(sqlite3* db) {
  const std::string now = live::kNowSql;
  auto V = [&](const char* name, const Cols& cols, const std::string& body) {
    RegisterSystemView(db, name, cols, body, true);
  };
  const std::string tx =
      "(EXISTS (SELECT 1 FROM sim$undo u WHERE u.sid = s.sid) OR EXISTS (SELECT 1 FROM sim$locks k WHERE "
      "k.sid = s.sid))";
  const std::string txAddr = "printf('%016X', " + std::to_string(kTransactionAddressBase) + " + s.sid * " +
                             std::to_string(kTransactionSlotSize) + ")";
  V("V$SESSION",
    {{"SADDR", "RAW", 8},
     {"SID", "NUMBER", 0},
     {"SERIAL#", "NUMBER", 0},
     {"AUDSID", "NUMBER", 0},
     {"PADDR", "RAW", 8},
     {"USER#", "NUMBER", 0},
     {"USERNAME", "VARCHAR2", 30},
     {"COMMAND", "NUMBER", 0},
     {"OWNERID", "NUMBER", 0},
     {"TADDR", "VARCHAR2", 16},
     {"LOCKWAIT", "VARCHAR2", 16},
     {"STATUS", "VARCHAR2", 8},
     {"SERVER", "VARCHAR2", 9},
     {"SCHEMA#", "NUMBER", 0},
     {"SCHEMANAME", "VARCHAR2", 30},
     {"OSUSER", "VARCHAR2", 30},
     {"PROCESS", "VARCHAR2", 12},
     {"MACHINE", "VARCHAR2", 64},
     {"TERMINAL", "VARCHAR2", 16},
     {"PROGRAM", "VARCHAR2", 64},
     {"TYPE", "VARCHAR2", 10},
     {"SQL_ADDRESS", "RAW", 8},
     {"SQL_HASH_VALUE", "NUMBER", 0},
     {"PREV_SQL_ADDR", "RAW", 8},
     {"PREV_HASH_VALUE", "NUMBER", 0},
     {"MODULE", "VARCHAR2", 48},
     {"MODULE_HASH", "NUMBER", 0},
     {"ACTION", "VARCHAR2", 32},
     {"ACTION_HASH", "NUMBER", 0},
     {"CLIENT_INFO", "VARCHAR2", 64},
     {"FIXED_TABLE_SEQUENCE", "NUMBER", 0},
     {"ROW_WAIT_OBJ#", "NUMBER", 0},
     {"ROW_WAIT_FILE#", "NUMBER", 0},
     {"ROW_WAIT_BLOCK#", "NUMBER", 0},
     {"ROW_WAIT_ROW#", "NUMBER", 0},
     {"LOGON_TIME", "DATE", 0},
     {"LAST_CALL_ET", "NUMBER", 0},
     {"PDML_ENABLED", "VARCHAR2", 3},
     {"FAILOVER_TYPE", "VARCHAR2", 13},
     {"FAILOVER_METHOD", "VARCHAR2", 10},
     {"FAILED_OVER", "VARCHAR2", 3},
     {"RESOURCE_CONSUMER_GROUP", "VARCHAR2", 32},
     {"PDML_STATUS", "VARCHAR2", 8},
     {"PDDL_STATUS", "VARCHAR2", 8},
     {"PQ_STATUS", "VARCHAR2", 8},
     {"CURRENT_QUEUE_DURATION", "NUMBER", 0},
     {"CLIENT_IDENTIFIER", "VARCHAR2", 64},
     {"SQL_TRACE", "VARCHAR2", 8}},
    "SELECT s.saddr, s.sid, s.serial, CASE WHEN s.type = 'BACKGROUND' THEN 0 ELSE s.sid * 1000 + s.serial "
    "END, s.paddr, coalesce(s.user_id, 0), s.username, s.command, 2147483644, CASE WHEN " +
        tx + " THEN " + txAddr +
        " END, CASE WHEN s.wait_blocker IS NOT NULL THEN printf('%08X', 1778450432 + s.sid * 64) END, "
        "s.status, CASE WHEN s.type = 'BACKGROUND' THEN 'DEDICATED' ELSE 'DEDICATED' END, "
        "coalesce(s.user_id, "
        "0), coalesce(s.username, 'SYS'), s.osuser, CAST(s.pid AS TEXT), s.machine, CASE WHEN s.type = "
        "'BACKGROUND' THEN 'UNKNOWN' ELSE 'pts/' || (s.sid % 8) END, s.program, s.type, s.sql_address, "
        "s.sql_hash, s.prev_address, s.prev_hash, s.module, CASE WHEN s.module IS NULL THEN 0 ELSE "
        "length(s.module) * 7919 END, s.action, CASE WHEN s.action IS NULL THEN 0 ELSE length(s.action) * "
        "104729 END, s.client_info, s.wait_seq, coalesce(s.wait_obj, -1), CASE WHEN s.wait_obj IS NULL THEN "
        "0 "
        "ELSE 4 END, 0, 0, s.logon_time, max(0, " +
        now + " - coalesce(s.last_call, " + now +
        ")), 'NO', 'NONE', 'NONE', 'NO', CASE WHEN s.type = 'USER' THEN 'DEFAULT_CONSUMER_GROUP' END, "
        "'DISABLED', 'ENABLED', 'ENABLED', 0, NULL, CASE WHEN s.sql_trace THEN 'ENABLED' ELSE 'DISABLED' END "
        "FROM sim$sessions s");
  V("V$PROCESS",
    {{"ADDR", "RAW", 8},
     {"PID", "NUMBER", 0},
     {"SPID", "VARCHAR2", 12},
     {"USERNAME", "VARCHAR2", 15},
     {"SERIAL#", "NUMBER", 0},
     {"TERMINAL", "VARCHAR2", 16},
     {"PROGRAM", "VARCHAR2", 48},
     {"BACKGROUND", "VARCHAR2", 1},
     {"LATCHWAIT", "VARCHAR2", 8},
     {"LATCHSPIN", "VARCHAR2", 8},
     {"PGA_USED_MEM", "NUMBER", 0},
     {"PGA_ALLOC_MEM", "NUMBER", 0},
     {"PGA_FREEABLE_MEM", "NUMBER", 0},
     {"PGA_MAX_MEM", "NUMBER", 0}},
    "SELECT s.paddr, s.sid + 1, s.spid, 'oracle', 1, 'UNKNOWN', s.pprogram, CASE WHEN s.type = 'BACKGROUND' "
    "THEN '1' END, NULL, NULL, 210000 + s.opened_cursors * 512, 320000 + s.opened_cursors * 512, 0, 420000 "
    "+ s.opened_cursors * 512 FROM sim$sessions s WHERE s.paddr IS NOT NULL");
  V("V$BGPROCESS",
    {{"PADDR", "RAW", 8}, {"NAME", "VARCHAR2", 5}, {"DESCRIPTION", "VARCHAR2", 64}, {"ERROR", "NUMBER", 0}},
    "SELECT paddr, name, description, 0 FROM sim$bgprocess");
  V("V$SESSION_WAIT",
    {{"SID", "NUMBER", 0},
     {"SEQ#", "NUMBER", 0},
     {"EVENT", "VARCHAR2", 64},
     {"P1TEXT", "VARCHAR2", 64},
     {"P1", "NUMBER", 0},
     {"P2TEXT", "VARCHAR2", 64},
     {"P2", "NUMBER", 0},
     {"P3TEXT", "VARCHAR2", 64},
     {"P3", "NUMBER", 0},
     {"WAIT_TIME", "NUMBER", 0},
     {"SECONDS_IN_WAIT", "NUMBER", 0},
     {"STATE", "VARCHAR2", 19}},
    "SELECT s.sid, s.wait_seq, s.event, CASE s.event WHEN 'enqueue' THEN 'name|mode' WHEN 'db file "
    "sequential read' THEN 'file#' WHEN 'db file scattered read' THEN 'file#' ELSE 'driver id' END, s.p1, "
    "CASE s.event WHEN 'enqueue' THEN 'id1' WHEN 'db file sequential read' THEN 'block#' ELSE '#bytes' END, "
    "s.p2, CASE s.event WHEN 'enqueue' THEN 'id2' WHEN 'db file sequential read' THEN 'blocks' ELSE '' END, "
    "s.p3, s.wait_time, max(0, " +
        now + " - coalesce(s.wait_since, s.last_call, " + now +
        ")), CASE WHEN s.wait_time = 0 THEN 'WAITING' WHEN s.wait_time = -1 THEN 'WAITED SHORT TIME' WHEN "
        "s.wait_time = -2 THEN 'WAITED UNKNOWN TIME' ELSE 'WAITED KNOWN TIME' END FROM sim$sessions s");
  V("V$SESS_IO",
    {{"SID", "NUMBER", 0},
     {"BLOCK_GETS", "NUMBER", 0},
     {"CONSISTENT_GETS", "NUMBER", 0},
     {"PHYSICAL_READS", "NUMBER", 0},
     {"BLOCK_CHANGES", "NUMBER", 0},
     {"CONSISTENT_CHANGES", "NUMBER", 0}},
    "SELECT s.sid, s.block_gets, s.consistent_gets, s.physical_reads, s.block_changes, s.consistent_changes "
    "FROM sim$sessions s");
  V("V$STATNAME", {{"STATISTIC#", "NUMBER", 0}, {"NAME", "VARCHAR2", 64}, {"CLASS", "NUMBER", 0}},
    "SELECT \"STATISTIC#\", name, class FROM sim$statname");
  std::string value = "CASE n.\"STATISTIC#\"";
  int i = 0;
  for (const char* name : kStatNames) {
    std::string e = StatExpr(name);
    if (e != "0") value += " WHEN " + std::to_string(i) + " THEN " + e;
    ++i;
  }
  value += " ELSE 0 END";
  V("V$SESSTAT", {{"SID", "NUMBER", 0}, {"STATISTIC#", "NUMBER", 0}, {"VALUE", "NUMBER", 0}},
    "SELECT s.sid, n.\"STATISTIC#\", " + value + " FROM sim$sessions s, sim$statname n");
  V("V$MYSTAT", {{"SID", "NUMBER", 0}, {"STATISTIC#", "NUMBER", 0}, {"VALUE", "NUMBER", 0}},
    "SELECT s.sid, n.\"STATISTIC#\", " + value +
        " FROM sim$sessions s, sim$statname n WHERE s.sid = ora_sid()");
  V("V$SESSION_EVENT",
    {{"SID", "NUMBER", 0},
     {"EVENT", "VARCHAR2", 64},
     {"TOTAL_WAITS", "NUMBER", 0},
     {"TOTAL_TIMEOUTS", "NUMBER", 0},
     {"TIME_WAITED", "NUMBER", 0},
     {"AVERAGE_WAIT", "NUMBER", 0},
     {"MAX_WAIT", "NUMBER", 0},
     {"TIME_WAITED_MICRO", "NUMBER", 0}},
    "SELECT e.sid, e.event, e.total_waits, e.total_timeouts, e.time_waited, CASE WHEN e.total_waits > 0 "
    "THEN round(e.time_waited * 1.0 / e.total_waits, 2) ELSE 0 END, e.max_wait, e.time_waited * 10000 FROM "
    "sim$sess_event e WHERE EXISTS (SELECT 1 FROM sim$sessions s WHERE s.sid = e.sid)");
  // locks: transactions held, DML locks on the tables they changed, requests of waiting sessions,
  // and the instance's own locks held by background processes
  const std::string txId = "coalesce(s.tx_usn, 1 + s.sid % 10) * 65536 + coalesce(s.tx_slot, s.sid % 48)";
  const std::string tm = "(SELECT sid, obj_id FROM sim$locks UNION SELECT sid, obj_id FROM sim$undo)";
  const std::string tableWait =
      "EXISTS (SELECT 1 FROM sim$tmlocks m WHERE m.sid = w.wait_blocker AND m.obj_id = w.wait_obj)";
  V("V$LOCK",
    {{"ADDR", "RAW", 8},
     {"KADDR", "RAW", 8},
     {"SID", "NUMBER", 0},
     {"TYPE", "VARCHAR2", 2},
     {"ID1", "NUMBER", 0},
     {"ID2", "NUMBER", 0},
     {"LMODE", "NUMBER", 0},
     {"REQUEST", "NUMBER", 0},
     {"CTIME", "NUMBER", 0},
     {"BLOCK", "NUMBER", 0}},
    "SELECT ora_hextoraw(printf('%016X', 1778515968 + l.sid * 4096 + l.k)), ora_hextoraw(printf('%016X', "
    "1778515976 + l.sid * 4096 + l.k)), l.sid, l.type, l.id1, l.id2, l.lmode, l.request, max(0, l.ctime), "
    "l.block FROM ("
    "SELECT s.sid AS sid, 1 AS k, 'TX' AS type, " +
        txId + " AS id1, coalesce(s.tx_seq, 1) AS id2, 6 AS lmode, 0 AS request, " + now +
        " - coalesce(s.tx_start, " + now +
        ") AS ctime, CASE WHEN EXISTS (SELECT 1 FROM sim$sessions w WHERE w.wait_blocker = s.sid) THEN 1 "
        "ELSE 0 END AS block FROM sim$sessions s WHERE " +
        tx + " UNION ALL SELECT t.sid, 2 + t.obj_id % 1000, 'TM', t.obj_id, 0, 3, 0, " + now +
        " - coalesce(s.tx_start, " + now + "), 0 FROM " + tm +
        " t JOIN sim$sessions s ON s.sid = t.sid WHERE NOT EXISTS (SELECT 1 FROM sim$tmlocks m WHERE m.sid = "
        "t.sid AND m.obj_id = t.obj_id)"
        " UNION ALL SELECT m.sid, 2 + m.obj_id % 1000, 'TM', m.obj_id, 0, m.lmode, 0, " +
        now + " - coalesce(s.last_call, " + now +
        "), CASE WHEN EXISTS (SELECT 1 FROM sim$sessions w WHERE w.wait_blocker = m.sid AND w.wait_obj = "
        "m.obj_id) THEN 1 ELSE 0 END FROM sim$tmlocks m JOIN sim$sessions s ON s.sid = m.sid"
        " UNION ALL SELECT w.sid, 1, 'TX', " +
        "coalesce(s.tx_usn, 1 + s.sid % 10) * 65536 + coalesce(s.tx_slot, s.sid % 48), coalesce(s.tx_seq, "
        "1), 0, 6, " +
        now + " - coalesce(w.wait_since, " + now +
        "), 0 FROM sim$sessions w JOIN sim$sessions s ON s.sid = w.wait_blocker WHERE NOT EXISTS (SELECT 1 "
        "FROM sim$tmlocks m WHERE m.sid = w.wait_blocker AND m.obj_id = w.wait_obj)"
        // a session queued for a row holds its DML lock on the table; one queued for the table requests it
        " UNION ALL SELECT w.sid, 2 + w.wait_obj % 1000, 'TM', w.wait_obj, 0, CASE WHEN " +
        tableWait + " THEN 0 ELSE 3 END, CASE WHEN " + tableWait + " THEN 3 ELSE 0 END, " + now +
        " - coalesce(w.wait_since, " + now +
        "), 0 FROM sim$sessions w WHERE w.wait_obj IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " + tm +
        " t WHERE t.sid = w.sid AND t.obj_id = w.wait_obj)"
        " UNION ALL SELECT b.sid, 1000 + b.rowid, b.type, b.id1, b.id2, b.lmode, 0, " +
        now + " - coalesce(s.last_call, " + now +
        "), 0 FROM sim$bglocks b JOIN sim$sessions s ON s.sid = b.sid) l");
  V("V$LOCKED_OBJECT",
    {{"XIDUSN", "NUMBER", 0},
     {"XIDSLOT", "NUMBER", 0},
     {"XIDSQN", "NUMBER", 0},
     {"OBJECT_ID", "NUMBER", 0},
     {"SESSION_ID", "NUMBER", 0},
     {"ORACLE_USERNAME", "VARCHAR2", 30},
     {"OS_USER_NAME", "VARCHAR2", 30},
     {"PROCESS", "VARCHAR2", 12},
     {"LOCKED_MODE", "NUMBER", 0}},
    "SELECT coalesce(s.tx_usn, 1 + s.sid % 10), coalesce(s.tx_slot, s.sid % 48), coalesce(s.tx_seq, 1), "
    "t.obj_id, s.sid, s.username, s.osuser, CAST(s.pid AS TEXT), 3 FROM " +
        tm + " t JOIN sim$sessions s ON s.sid = t.sid");
  V("V$TRANSACTION", {{"ADDR", "RAW", 8},          {"XIDUSN", "NUMBER", 0},
                      {"XIDSLOT", "NUMBER", 0},    {"XIDSQN", "NUMBER", 0},
                      {"UBAFIL", "NUMBER", 0},     {"UBABLK", "NUMBER", 0},
                      {"UBASQN", "NUMBER", 0},     {"UBAREC", "NUMBER", 0},
                      {"STATUS", "VARCHAR2", 16},  {"START_TIME", "VARCHAR2", 20},
                      {"START_SCNB", "NUMBER", 0}, {"START_SCNW", "NUMBER", 0},
                      {"SES_ADDR", "RAW", 8},      {"FLAG", "NUMBER", 0},
                      {"SPACE", "VARCHAR2", 3},    {"RECURSIVE", "VARCHAR2", 3},
                      {"NOUNDO", "VARCHAR2", 3},   {"PTX", "VARCHAR2", 3},
                      {"NAME", "VARCHAR2", 256},   {"USED_UBLK", "NUMBER", 0},
                      {"USED_UREC", "NUMBER", 0},  {"LOG_IO", "NUMBER", 0},
                      {"PHY_IO", "NUMBER", 0},     {"CR_GET", "NUMBER", 0},
                      {"CR_CHANGE", "NUMBER", 0},  {"START_DATE", "DATE", 0}},
    "SELECT ora_hextoraw(" + txAddr +
        "), coalesce(s.tx_usn, 1 + s.sid % 10), coalesce(s.tx_slot, s.sid % 48), coalesce(s.tx_seq, 1), 2, "
        "1000 + s.sid, coalesce(s.tx_seq, 1) % 65536, (SELECT count(*) FROM sim$undo u WHERE u.sid = s.sid), "
        "'ACTIVE', coalesce(s.tx_start_text, strftime('%m/%d/', 'now', 'localtime') || substr(strftime('%Y "
        "%H:%M:%S', 'now', 'localtime'), 3)), 4000000 + "
        "coalesce(s.tx_seq, 1), 0, s.saddr, 7683, 'NO', 'NO', 'NO', 'NO', NULL, 1 + (SELECT count(*) FROM "
        "sim$undo u WHERE u.sid = s.sid) / 20, (SELECT count(*) FROM sim$undo u WHERE u.sid = s.sid), "
        "s.block_gets, s.physical_reads, s.consistent_gets, s.consistent_changes, "
        "datetime(coalesce(s.tx_start, " +
        now + "), 'unixepoch', 'localtime') FROM sim$sessions s WHERE " + tx);
  V("V$ROLLNAME", {{"USN", "NUMBER", 0}, {"NAME", "VARCHAR2", 30}}, "SELECT usn, name FROM sim$rollseg");
  V("V$ROLLSTAT",
    {{"USN", "NUMBER", 0},
     {"LATCH", "NUMBER", 0},
     {"EXTENTS", "NUMBER", 0},
     {"RSSIZE", "NUMBER", 0},
     {"WRITES", "NUMBER", 0},
     {"XACTS", "NUMBER", 0},
     {"GETS", "NUMBER", 0},
     {"WAITS", "NUMBER", 0},
     {"OPTSIZE", "NUMBER", 0},
     {"HWMSIZE", "NUMBER", 0},
     {"SHRINKS", "NUMBER", 0},
     {"WRAPS", "NUMBER", 0},
     {"EXTENDS", "NUMBER", 0},
     {"AVESHRINK", "NUMBER", 0},
     {"AVEACTIVE", "NUMBER", 0},
     {"STATUS", "VARCHAR2", 15},
     {"CUREXT", "NUMBER", 0},
     {"CURBLK", "NUMBER", 0}},
    "SELECT r.usn, r.usn % 4, r.extents, r.extents * 131072, 4096 * r.usn, (SELECT count(*) FROM "
    "sim$sessions s WHERE s.tx_usn = r.usn AND " +
        tx +
        "), 100 + r.usn * 7, 0, NULL, r.extents * 131072, 0, 0, 0, 0, 0, 'ONLINE', r.usn % r.extents, 3 FROM "
        "sim$rollseg r");
  V("V$OPEN_CURSOR",
    {{"SADDR", "RAW", 8},
     {"SID", "NUMBER", 0},
     {"USER_NAME", "VARCHAR2", 30},
     {"ADDRESS", "RAW", 8},
     {"HASH_VALUE", "NUMBER", 0},
     {"SQL_TEXT", "VARCHAR2", 60}},
    "SELECT s.saddr, c.sid, s.username, c.address, c.hash_value, c.sql_text FROM sim$open_cursor c JOIN "
    "sim$sessions s ON s.sid = c.sid");
  V("V$SQLTEXT_WITH_NEWLINES",
    {{"ADDRESS", "RAW", 8},
     {"HASH_VALUE", "NUMBER", 0},
     {"COMMAND_TYPE", "NUMBER", 0},
     {"PIECE", "NUMBER", 0},
     {"SQL_TEXT", "VARCHAR2", 64}},
    "SELECT t.address, t.hash_value, a.command_type, t.piece, t.sql_text FROM sim$sqltext t JOIN "
    "sim$sqlarea a ON a.address = t.address");
  V("V$SQLTEXT",
    {{"ADDRESS", "RAW", 8},
     {"HASH_VALUE", "NUMBER", 0},
     {"COMMAND_TYPE", "NUMBER", 0},
     {"PIECE", "NUMBER", 0},
     {"SQL_TEXT", "VARCHAR2", 64}},
    "SELECT t.address, t.hash_value, a.command_type, t.piece, replace(replace(replace(t.sql_text, char(13), "
    "' '), char(10), ' '), char(9), ' ') FROM sim$sqltext t JOIN sim$sqlarea a ON a.address = t.address");
  V("V$SQLAREA",
    {{"SQL_TEXT", "VARCHAR2", 1000},
     {"SHARABLE_MEM", "NUMBER", 0},
     {"PERSISTENT_MEM", "NUMBER", 0},
     {"RUNTIME_MEM", "NUMBER", 0},
     {"SORTS", "NUMBER", 0},
     {"VERSION_COUNT", "NUMBER", 0},
     {"LOADED_VERSIONS", "NUMBER", 0},
     {"OPEN_VERSIONS", "NUMBER", 0},
     {"USERS_OPENING", "NUMBER", 0},
     {"USERS_EXECUTING", "NUMBER", 0},
     {"EXECUTIONS", "NUMBER", 0},
     {"LOADS", "NUMBER", 0},
     {"FIRST_LOAD_TIME", "VARCHAR2", 19},
     {"INVALIDATIONS", "NUMBER", 0},
     {"PARSE_CALLS", "NUMBER", 0},
     {"DISK_READS", "NUMBER", 0},
     {"BUFFER_GETS", "NUMBER", 0},
     {"ROWS_PROCESSED", "NUMBER", 0},
     {"COMMAND_TYPE", "NUMBER", 0},
     {"OPTIMIZER_MODE", "VARCHAR2", 25},
     {"PARSING_USER_ID", "NUMBER", 0},
     {"PARSING_SCHEMA_ID", "NUMBER", 0},
     {"KEPT_VERSIONS", "NUMBER", 0},
     {"ADDRESS", "RAW", 8},
     {"HASH_VALUE", "NUMBER", 0},
     {"MODULE", "VARCHAR2", 64},
     {"ACTION", "VARCHAR2", 64}},
    "SELECT substr(a.sql_text, 1, 1000), 4000 + length(a.sql_text) * 12, 1200, 2400, 0, 1, 1, (SELECT "
    "count(*) FROM sim$open_cursor c WHERE c.address = a.address) > 0, (SELECT count(*) FROM sim$open_cursor "
    "c WHERE c.address = a.address), (SELECT count(*) FROM sim$sessions s WHERE s.sql_address = a.address "
    "AND s.status = 'ACTIVE'), a.executions, 1, a.first_load_time, 0, a.parse_calls, a.disk_reads, "
    "a.buffer_gets, a.rows_processed, a.command_type, 'CHOOSE', a.parsing_user, a.parsing_user, 0, "
    "a.address, a.hash_value, NULL, NULL FROM sim$sqlarea a");
  V("V$INSTANCE",
    {{"INSTANCE_NUMBER", "NUMBER", 0},
     {"INSTANCE_NAME", "VARCHAR2", 16},
     {"HOST_NAME", "VARCHAR2", 64},
     {"VERSION", "VARCHAR2", 17},
     {"STARTUP_TIME", "DATE", 0},
     {"STATUS", "VARCHAR2", 12},
     {"PARALLEL", "VARCHAR2", 3},
     {"THREAD#", "NUMBER", 0},
     {"ARCHIVER", "VARCHAR2", 7},
     {"LOG_SWITCH_WAIT", "VARCHAR2", 11},
     {"LOGINS", "VARCHAR2", 10},
     {"SHUTDOWN_PENDING", "VARCHAR2", 3},
     {"DATABASE_STATUS", "VARCHAR2", 17},
     {"INSTANCE_ROLE", "VARCHAR2", 18},
     {"ACTIVE_STATE", "VARCHAR2", 9}},
    "SELECT 1, 'SIM', (SELECT value FROM sim$meta WHERE key = 'host'), '9.2.0.8.0', (SELECT value FROM "
    "sim$meta WHERE key = 'startup_time'), 'OPEN', 'NO', 1, 'STOPPED', NULL, CASE WHEN (SELECT value FROM "
    "sim$meta WHERE key = 'restricted') = 1 THEN 'RESTRICTED' ELSE 'ALLOWED' END, 'NO', 'ACTIVE', "
    "'PRIMARY_INSTANCE', 'NORMAL'");
  V("V$VERSION", {{"BANNER", "VARCHAR2", 64}},
    "SELECT 'Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production' UNION ALL SELECT 'PL/SQL Release "
    "9.2.0.8.0 - Production' UNION ALL SELECT 'CORE\t9.2.0.8.0\tProduction' UNION ALL SELECT 'TNS for "
    "Linux: Version 9.2.0.8.0 - Production' UNION ALL SELECT 'NLSRTL Version 9.2.0.8.0 - Production'");
  V("V$PARAMETER",
    {{"NUM", "NUMBER", 0},
     {"NAME", "VARCHAR2", 64},
     {"TYPE", "NUMBER", 0},
     {"VALUE", "VARCHAR2", 512},
     {"ISDEFAULT", "VARCHAR2", 9},
     {"ISSES_MODIFIABLE", "VARCHAR2", 5},
     {"ISSYS_MODIFIABLE", "VARCHAR2", 9},
     {"ISMODIFIED", "VARCHAR2", 10},
     {"ISADJUSTED", "VARCHAR2", 5},
     {"DESCRIPTION", "VARCHAR2", 64},
     {"UPDATE_COMMENT", "VARCHAR2", 255}},
    "SELECT num, name, type, value, isdefault, 'FALSE', 'IMMEDIATE', 'FALSE', 'FALSE', description, NULL "
    "FROM sim$parameter");
  V("OBJ$",
    {{"OBJ#", "NUMBER", 0},
     {"DATAOBJ#", "NUMBER", 0},
     {"OWNER#", "NUMBER", 0},
     {"NAME", "VARCHAR2", 30},
     {"NAMESPACE", "NUMBER", 0},
     {"SUBNAME", "VARCHAR2", 30},
     {"TYPE#", "NUMBER", 0},
     {"CTIME", "DATE", 0},
     {"MTIME", "DATE", 0},
     {"STIME", "DATE", 0},
     {"STATUS", "NUMBER", 0}},
    "SELECT o.obj_id, CASE WHEN o.type = 'TABLE' THEN o.obj_id END, coalesce(u.user_id, CASE WHEN o.owner "
    "= 'PUBLIC' THEN 1 ELSE 0 END), o.name, 1, NULL, CASE o.type WHEN 'TABLE' THEN 2 WHEN 'VIEW' THEN 4 "
    "WHEN 'SEQUENCE' THEN 6 WHEN 'SYNONYM' THEN 5 WHEN 'INDEX' THEN 1 ELSE 0 END, o.created, "
    "o.last_ddl_time, "
    "o.last_ddl_time, CASE WHEN o.status = 'VALID' THEN 1 ELSE 5 END FROM sim$objects o LEFT JOIN sim$users "
    "u ON u.username = o.owner");
  V("USER$",
    {{"USER#", "NUMBER", 0},
     {"NAME", "VARCHAR2", 30},
     {"TYPE#", "NUMBER", 0},
     {"PASSWORD", "VARCHAR2", 30},
     {"CTIME", "DATE", 0},
     {"PTIME", "DATE", 0},
     {"EXPTIME", "DATE", 0},
     {"ASTATUS", "NUMBER", 0}},
    "SELECT user_id, username, 1, upper(hex(password)), created, created, expiry_date, CASE account_status "
    "WHEN 'OPEN' THEN 0 WHEN 'EXPIRED' THEN 1 WHEN 'EXPIRED(GRACE)' THEN 2 ELSE 4 END FROM sim$users UNION "
    "ALL SELECT 1, 'PUBLIC', 0, NULL, NULL, NULL, NULL, 0");
}

}  // namespace

void InstallPerformanceViews(sqlite3* db) {
  Exec(db, kLiveSchema);
  char host[256] = "dbsrv01";
  ::gethostname(host, sizeof host - 1);
  Exec(db, "INSERT OR REPLACE INTO sim$meta VALUES ('host', " + QuoteText(host) + ")");
  // the instance has been up for five days when its file is created
  Exec(db,
       "INSERT OR REPLACE INTO sim$meta VALUES ('startup', unixepoch('now') - 5 * 86400 - 3725), "
       "('startup_time', datetime('now', 'localtime', '-5 days', '-3725 seconds'))");
  {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sim$statname VALUES (?, ?, ?)", -1, &st, nullptr);
    int n = 0;
    for (const char* name : kStatNames) {
      std::string s = name;
      int cls = s.find("redo") != std::string::npos      ? 2
                : s.find("enqueue") != std::string::npos ? 4
                : s.find("cleanout") != std::string::npos || s.find("gets") != std::string::npos ||
                        s.find("physical") != std::string::npos || s.find("changes") != std::string::npos
                    ? 8
                : s.find("SQL*Net") != std::string::npos ? 1
                                                         : 64;
      if (n < 20) cls = 1;
      sqlite3_bind_int(st, 1, n++);
      sqlite3_bind_text(st, 2, name, -1, SQLITE_STATIC);
      sqlite3_bind_int(st, 3, cls);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
  }
  // background processes: sessions 1.. with their processes
  std::string hostName = host;
  {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO sim$sessions(sid, serial, username, user_id, pid, logon_time, status, program, machine, "
        "osuser, type, saddr, paddr, spid, pprogram, last_call, event, wait_since, wait_seq) VALUES (?1, 1, "
        "NULL, 0, 0, (SELECT value FROM sim$meta WHERE key = 'startup_time'), 'ACTIVE', ?2, ?3, ?4, "
        "'BACKGROUND', ?5, ?6, ?7, ?2, (SELECT value FROM sim$meta WHERE key = 'startup'), ?8, "
        "unixepoch('now') "
        "- 2, 1000 + ?1 * 37)",
        -1, &st, nullptr);
    sqlite3_stmt* bg = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sim$bgprocess VALUES (?, ?, ?, ?)", -1, &bg, nullptr);
    int sid = 1;
    for (auto& b : kBackground) {
      std::string program = "oracle@" + hostName + " (" + b[0] + ")";
      std::string saddr = live::RawAddress(0x6A000000ull + sid * 0x1000);
      std::string paddr = live::RawAddress(0x6B000000ull + sid * 0x100);
      std::string spid = std::to_string(4100 + sid * 2);
      sqlite3_bind_int(st, 1, sid);
      sqlite3_bind_text(st, 2, program.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 3, host, -1, SQLITE_TRANSIENT);
      // SMON runs without an OS user of its own (the views then show the process name)
      if (sid == 5)
        sqlite3_bind_null(st, 4);
      else
        sqlite3_bind_text(st, 4, "oracle", -1, SQLITE_STATIC);
      sqlite3_bind_blob(st, 5, saddr.data(), static_cast<int>(saddr.size()), SQLITE_TRANSIENT);
      sqlite3_bind_blob(st, 6, paddr.data(), static_cast<int>(paddr.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 7, spid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 8, b[2], -1, SQLITE_STATIC);
      sqlite3_step(st);
      sqlite3_reset(st);
      sqlite3_bind_text(bg, 1, b[0], -1, SQLITE_STATIC);
      sqlite3_bind_text(bg, 2, b[1], -1, SQLITE_STATIC);
      sqlite3_bind_blob(bg, 3, paddr.data(), static_cast<int>(paddr.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int(bg, 4, sid);
      sqlite3_step(bg);
      sqlite3_reset(bg);
      ++sid;
    }
    for (auto& b : kIdleBackground) {
      std::string none(1, '\0');
      sqlite3_bind_text(bg, 1, b[0], -1, SQLITE_STATIC);
      sqlite3_bind_text(bg, 2, b[1], -1, SQLITE_STATIC);
      sqlite3_bind_blob(bg, 3, none.data(), 1, SQLITE_TRANSIENT);
      sqlite3_bind_int(bg, 4, sid++);
      sqlite3_step(bg);
      sqlite3_reset(bg);
    }
    sqlite3_finalize(st);
    sqlite3_finalize(bg);
  }
  Exec(
      db,
      "INSERT INTO sim$sess_event(sid, event, total_waits, total_timeouts, time_waited, max_wait) "
      "SELECT sid, event, 30000 + sid * 911, 29000 + sid * 900, 43000000 + sid * 1000, 300 FROM sim$sessions;"
      "INSERT INTO sim$sess_event VALUES (2, 'db file parallel write', 5120, 0, 6001, 12), "
      "(3, 'log file parallel write', 20480, 0, 359999, 30), (4, 'control file parallel write', 1500, 0, "
      "360000, 100), (5, 'db file scattered read', 50, 0, 100, 4), (1, 'latch free', 3, 2, 150, 60);"
      "INSERT INTO sim$bglocks VALUES (2, 'MR', 1, 0, 4), (2, 'MR', 2, 0, 4), (2, 'MR', 3, 0, 4), "
      "(3, 'RT', 1, 0, 6), (4, 'CF', 0, 0, 2), (4, 'XR', 4, 0, 1), (5, 'TS', 2, 1, 3), (1, 'TS', 3, 0, 3);"
      "INSERT INTO sim$rollseg VALUES (0, 'SYSTEM', 6), (1, '_SYSSMU1$', 4), (2, '_SYSSMU2$', 3), "
      "(3, '_SYSSMU3$', 5), (4, '_SYSSMU4$', 3), (5, '_SYSSMU5$', 4), (6, '_SYSSMU6$', 3), "
      "(7, '_SYSSMU7$', 3), (8, '_SYSSMU8$', 6), (9, '_SYSSMU9$', 3), (10, '_SYSSMU10$', 4);"
      "INSERT INTO sim$parameter VALUES (1, 'processes', 3, '150', 'FALSE', 'user processes'), "
      "(2, 'sessions', 3, '170', 'TRUE', 'user and system sessions'), "
      "(3, 'timed_statistics', 1, 'TRUE', 'TRUE', 'maintain internal timing statistics'), "
      "(4, 'db_block_size', 3, '8192', 'FALSE', 'Size of database block in bytes'), "
      "(5, 'open_cursors', 3, '300', 'FALSE', 'max # cursors per session'), "
      "(6, 'db_name', 2, 'SIM', 'FALSE', 'database name specified in CREATE DATABASE'), "
      "(7, 'instance_name', 2, 'SIM', 'FALSE', 'instance name supported by the instance'), "
      "(8, 'undo_management', 2, 'AUTO', 'FALSE', 'instance runs in SMU mode if TRUE, else in RBU mode'), "
      "(9, 'compatible', 2, '9.2.0.0.0', 'FALSE', 'Database will be completely compatible with this "
      "software version'), "
      "(10, 'sql_trace', 1, 'FALSE', 'TRUE', 'enable SQL trace'), "
      "(11, 'optimizer_mode', 2, 'CHOOSE', 'TRUE', 'optimizer mode');");
  RegisterAll(db);
}

}  // namespace oracle_sim
