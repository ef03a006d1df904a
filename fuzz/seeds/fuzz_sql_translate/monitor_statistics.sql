SELECT /*+ ORDERED */ 
       s.statistic#,n.name,s.value
FROM v$sesstat s,v$statname n
WHERE s.sid = :sid  AND s.statistic# = n.statistic#
ORDER BY 3 DESC
