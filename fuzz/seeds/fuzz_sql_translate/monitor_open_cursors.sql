SELECT /*+ index(c) */ c.sql_text,c.hash_value,c.address
FROM v$open_cursor c
WHERE c.sid = :SID
ORDER BY c.address,c.hash_value ASC
