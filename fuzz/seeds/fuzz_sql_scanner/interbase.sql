SELECT FIRST 10 * FROM "Mixed Case" WHERE d = CAST('NOW' AS TIMESTAMP); /* unterminated
