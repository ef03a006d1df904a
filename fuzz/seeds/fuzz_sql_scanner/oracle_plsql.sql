<CREATE OR REPLACE PACKAGE BODY talvik AS
  -- a line comment with Кириллица
  /* a block comment
     over two lines */
  PROCEDURE kill(p_sid IN NUMBER, p_serial IN NUMBER) IS
    v_sql VARCHAR2(200) := 'ALTER SYSTEM KILL SESSION ''' || p_sid || ',' || p_serial || '''';
  BEGIN
    EXECUTE IMMEDIATE v_sql;
  EXCEPTION
    WHEN NO_DATA_FOUND THEN dbms_output.put_line(SQLERRM);
  END;
END talvik;
/
