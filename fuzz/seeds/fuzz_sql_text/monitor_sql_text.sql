SELECT sql_text 
FROM v$sqltext_with_newlines 
WHERE address = :sql_address AND hash_value = :sql_hash_value
ORDER BY piece
