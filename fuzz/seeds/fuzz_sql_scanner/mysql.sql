2SELECT `name`, "double \" quoted", 'it''s' # hash comment
FROM t WHERE x = 0x1F AND y = 1.5e-3;
