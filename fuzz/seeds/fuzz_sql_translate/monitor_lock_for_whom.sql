SELECT /*+ORDERED*/
       l.sid,s.username
FROM v$lock l,v$session s
WHERE l.block = 1 AND l.id1 IN ( SELECT id1 FROM v$lock WHERE block = 0 AND sid = :sid)
      AND l.sid = s.sid 


