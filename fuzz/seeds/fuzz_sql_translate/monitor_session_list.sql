SELECT 
  s.sid,
  p.spid server_pid,
  s.serial#  serial,
  NVL(DECODE(type, 'BACKGROUND', 'SYS (' || b.name || ')', s.username),SUBSTR(p.program, INSTR(p.program, '('))) oracle_user,
  s.status status,
  s.machine machine,
  NVL(s.osuser, '('||b.name||')')  os_user,
  (i.block_gets + i.consistent_gets) logical_reads,
  DECODE(s.command, 0,'NONE',1,'CREATE TABLE',2,'INSERT',3,'SELECT',4,'CREATE CLUSTER',5,'ALTER CLUSTER',6,'UPDATE',7,'DELETE',8,'DROP CLUSTER',9,'CREATE INDEX',
  10,'DROP INDEX',11,'ALTER INDEX',12,'DROP TABLE',13,'UNDEFINED',14,'UNDEFINED',15,'ALTER TABLE',16,'UNDEFINED',17,'GRANT',18,'REVOKE',19,'CREATE SYNONYM',20,'DROP SYNONYM',
  21,'CREATE VIEW',22,'DROP VIEW',23,'UNDEFINED',24,'UNDEFINED',25,'UNDEFINED',26,'LOCK TABLE',27,'NO OPERATION',28,'RENAME',29,'COMMENT',30,'AUDIT',31,'NO AUDIT',
  32,'CREATE EXTERNAL DATABASE',33,'DROP EXTERNAL DATABASE',34,'CREATE DATABASE',35,'ALTER DATABASE',36,'CREATE ROLLBACK SEGMENT',37,'ALTER ROLLBACK SEGMENT',38,'DROP ROLLBACK SEGMENT',
  39,'CREATE TABLESPACE',40,'ALTER TABLESPACE',41,'DROP TABLESPACE',42,'ALTER SESSION',43,'ALTER USER',44,'COMMIT',45,'ROLLBACK',46,'SAVEPOINT','UNKNOWN') command,
  NVL(s.program,s.client_info) client_program,
  s.action action,
  i.physical_reads physical_reads,
  t.value * 10 cpu_usage,
  s.logon_time logon_time,
  s.last_call_et last_call_et_s,
  LPAD(TO_CHAR(TRUNC(s.last_call_et/3600)),2,'0')||' ч. '||LPAD(TO_CHAR(TRUNC(s.last_call_et/60)-trunc(s.last_call_et/3600)*60),2,'0')||' мин. '
   last_call_et,
  (i.block_changes+i.consistent_changes) block_changes,
  i.consistent_gets consistent_gets,
  i.block_gets block_gets,
  s.sql_address sql_address,
  s.sql_hash_value sql_hash_value,
  w.seq# wait_id,
  w.event wait_event,
  DECODE(w.wait_time, 0, INITCAP(w.state)||' (' || TO_CHAR(w.seconds_in_wait) || ' s)',
                          -2, INITCAP(w.state),
                          -1, INITCAP(w.state),
                         INITCAP(w.state)||' ( ' || TO_CHAR(w.wait_time*10) || ' ms )' ) wait_state,
  NVL(b.name,'USER') prname,
  s.taddr,
  s.module
FROM   v$session s,
       v$session_wait w,
       v$process p,
       v$bgprocess b,
       v$sess_io i,
       v$sesstat t
WHERE  
       p.addr(+)=s.paddr
       AND s.sid = w.sid(+)
       AND p.addr=b.paddr(+)
       AND i.sid=s.sid
       AND t.sid=s.sid
       AND t.statistic# = 12
ORDER BY s.status
