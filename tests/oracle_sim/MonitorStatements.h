// The statements the session monitor sends, verbatim, for the tests and the benchmark of the
// simulated instance's dynamic performance views.
#pragma once

namespace monitor_sql {

inline constexpr const char* kSessionList =
    "SELECT \n"
    "  s.sid,\n"
    "  p.spid server_pid,\n"
    "  s.serial#  serial,\n"
    "  NVL(DECODE(type, 'BACKGROUND', 'SYS (' || b.name || ')', s.username),SUBSTR(p.program, "
    "INSTR(p.program, '('))) oracle_user,\n"
    "  s.status status,\n"
    "  s.machine machine,\n"
    "  NVL(s.osuser, '('||b.name||')')  os_user,\n"
    "  (i.block_gets + i.consistent_gets) logical_reads,\n"
    "  DECODE(s.command, 0,'NONE',1,'CREATE TABLE',2,'INSERT',3,'SELECT',4,'CREATE CLUSTER',5,'ALTER "
    "CLUSTER',6,'UPDATE',7,'DELETE',8,'DROP CLUSTER',9,'CREATE INDEX',\n"
    "  10,'DROP INDEX',11,'ALTER INDEX',12,'DROP TABLE',13,'UNDEFINED',14,'UNDEFINED',15,'ALTER "
    "TABLE',16,'UNDEFINED',17,'GRANT',18,'REVOKE',19,'CREATE SYNONYM',20,'DROP SYNONYM',\n"
    "  21,'CREATE VIEW',22,'DROP VIEW',23,'UNDEFINED',24,'UNDEFINED',25,'UNDEFINED',26,'LOCK TABLE',27,'NO "
    "OPERATION',28,'RENAME',29,'COMMENT',30,'AUDIT',31,'NO AUDIT',\n"
    "  32,'CREATE EXTERNAL DATABASE',33,'DROP EXTERNAL DATABASE',34,'CREATE DATABASE',35,'ALTER "
    "DATABASE',36,'CREATE ROLLBACK SEGMENT',37,'ALTER ROLLBACK SEGMENT',38,'DROP ROLLBACK SEGMENT',\n"
    "  39,'CREATE TABLESPACE',40,'ALTER TABLESPACE',41,'DROP TABLESPACE',42,'ALTER SESSION',43,'ALTER "
    "USER',44,'COMMIT',45,'ROLLBACK',46,'SAVEPOINT','UNKNOWN') command,\n"
    "  NVL(s.program,s.client_info) client_program,\n"
    "  s.action action,\n"
    "  i.physical_reads physical_reads,\n"
    "  t.value * 10 cpu_usage,\n"
    "  s.logon_time logon_time,\n"
    "  s.last_call_et last_call_et_s,\n"
    "  LPAD(TO_CHAR(TRUNC(s.last_call_et/3600)),2,'0')||' ч. "
    "'||LPAD(TO_CHAR(TRUNC(s.last_call_et/60)-trunc(s.last_call_et/3600)*60),2,'0')||' мин. '\n"
    "   last_call_et,\n"
    "  (i.block_changes+i.consistent_changes) block_changes,\n"
    "  i.consistent_gets consistent_gets,\n"
    "  i.block_gets block_gets,\n"
    "  s.sql_address sql_address,\n"
    "  s.sql_hash_value sql_hash_value,\n"
    "  w.seq# wait_id,\n"
    "  w.event wait_event,\n"
    "  DECODE(w.wait_time, 0, INITCAP(w.state)||' (' || TO_CHAR(w.seconds_in_wait) || ' s)',\n"
    "                          -2, INITCAP(w.state),\n"
    "                          -1, INITCAP(w.state),\n"
    "                         INITCAP(w.state)||' ( ' || TO_CHAR(w.wait_time*10) || ' ms )' ) wait_state,\n"
    "  NVL(b.name,'USER') prname,\n"
    "  s.taddr,\n"
    "  s.module\n"
    "FROM   v$session s,\n"
    "       v$session_wait w,\n"
    "       v$process p,\n"
    "       v$bgprocess b,\n"
    "       v$sess_io i,\n"
    "       v$sesstat t\n"
    "WHERE  \n"
    "       p.addr(+)=s.paddr\n"
    "       AND s.sid = w.sid(+)\n"
    "       AND p.addr=b.paddr(+)\n"
    "       AND i.sid=s.sid\n"
    "       AND t.sid=s.sid\n"
    "       AND t.statistic# = 12\n"
    "ORDER BY s.status\n";

inline constexpr const char* kTransaction =
    "SELECT t.xidsqn,t.status,t.start_time,rn.name rollname,rs.extents,rs.status roll_status,\n"
    "       u.name owner,o.name objname,t.space,t.recursive,\n"
    "       t.noundo,\n"
    "       t.ptx,t.log_io,t.phy_io,t.cr_get,t.cr_change\n"
    "FROM   v$transaction t,\n"
    "       v$rollname rn,\n"
    "       v$rollstat rs,\n"
    "       v$locked_object lo,\n"
    "       sys.obj$ o,sys.user$ u\n"
    "WHERE  t.xidusn = rn.usn(+) AND\n"
    "       rn.usn = rs.usn AND\n"
    "       t.xidusn = lo.xidusn AND\n"
    "       o.obj#  = lo.object_id AND\n"
    "       o.owner# = u.user# \n"
    "       AND t.addr = :addr\n"
    "\n";

inline constexpr const char* kOpenCursors =
    "SELECT /*+ index(c) */ c.sql_text,c.hash_value,c.address\n"
    "FROM v$open_cursor c\n"
    "WHERE c.sid = :SID\n"
    "ORDER BY c.address,c.hash_value ASC\n";

inline constexpr const char* kLocks =
    "SELECT /*+ORDERED*/\n"
    "       l.type lock_type,\n"
    "       TO_CHAR(sysdate-l.ctime/86400,'DD.MM.YY HH24:MI:SS')  ctime,\n"
    "       DECODE(l.lmode,1,'No Lock',\n"
    "                2,'Row Share',\n"
    "                3,'Row Exclusive',\n"
    "                4,'Share',\n"
    "                5,'Share Row Exclusive',\n"
    "                6,'Exclusive','NONE') lmode,\n"
    "        DECODE(l.request,1,'No Lock',\n"
    "                2,'Row Share',\n"
    "                3,'Row Exclusive',\n"
    "                4,'Share',\n"
    "                5,'Share Row Exclusive',\n"
    "                6,'Exclusive','NONE') request,\n"
    "       u.name||'.'||o.name object_name,\n"
    "       DECODE(block, 0, 'Нет',\n"
    "                     1, 'Блокирует',\n"
    "                     TO_CHAR(block)) blocking,\n"
    "       l.id1,l.id2\n"
    "FROM v$lock l,\n"
    "       sys.obj$ o,sys.user$ u\n"
    "WHERE l.sid = :sid AND o.obj#(+) = l.id1 AND o.owner# = u.user#\n";

inline constexpr const char* kLockForWhom =
    "SELECT /*+ORDERED*/\n"
    "       l.sid,s.username\n"
    "FROM v$lock l,v$session s\n"
    "WHERE l.block = 1 AND l.id1 IN ( SELECT id1 FROM v$lock WHERE block = 0 AND sid = :sid)\n"
    "      AND l.sid = s.sid \n"
    "\n"
    "\n";

inline constexpr const char* kLockWho =
    "SELECT /*+ORDERED*/\n"
    "       l.sid,s.username\n"
    "FROM v$lock l,v$session s\n"
    "WHERE l.block = 0 AND l.id1 IN ( SELECT id1 FROM v$lock WHERE block = 1 AND sid = :sid)\n"
    "      AND l.sid = s.sid \n"
    "\n"
    "\n";

inline constexpr const char* kStatistics =
    "SELECT /*+ ORDERED */ \n"
    "       s.statistic#,n.name,s.value\n"
    "FROM v$sesstat s,v$statname n\n"
    "WHERE s.sid = :sid  AND s.statistic# = n.statistic#\n"
    "ORDER BY 3 DESC\n";

inline constexpr const char* kEvents =
    "SELECT event,total_waits,total_timeouts,time_waited,average_wait,max_wait\n"
    "FROM v$session_event\n"
    "WHERE sid = :sid\n";

inline constexpr const char* kSqlText =
    "SELECT sql_text \n"
    "FROM v$sqltext_with_newlines \n"
    "WHERE address = :sql_address AND hash_value = :sql_hash_value\n"
    "ORDER BY piece\n";

inline constexpr const char* kRestricted =
    "select DECODE(logins,'RESTRICTED','Ограничение подключений','') from v$instance";

}  // namespace monitor_sql
