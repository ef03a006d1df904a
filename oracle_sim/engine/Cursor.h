// One parsed statement of a session: binds, execution, fetching and the values it returns.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle_sim/engine/Engine.h"
#include "oracle_sim/engine/Session.h"

namespace oracle_sim {

// One parsed statement. Binds persist across executions until rebound.
class Cursor {
 public:
  ~Cursor();

  StmtKind Kind() const;
  const std::string& Sql() const;
  // Oracle's SQL function code of the statement (3 = SELECT, 2 = INSERT, 6 = UPDATE, 7 = DELETE,
  // 47 = PL/SQL block, 1 = CREATE TABLE ...).
  int FunctionCode() const;

  // Distinct bind names in order of first appearance, upper-case, without ':' ("1" for ":1").
  std::vector<std::string> BindNames() const;
  // Names (as in BindNames) the statement writes: targets of ":x := ...", OUT and IN OUT arguments
  // of PL/SQL calls, RETURNING ... INTO targets.
  std::vector<std::string> OutBindNames() const;

  // A scalar in-value for every execution. Name is case-insensitive, with or without ':'.
  // Throws ORA-01036 "illegal variable name/number" for a name the statement doesn't have.
  void BindByName(const std::string& name, const Value& v);
  void BindByPos(int pos, const Value& v);  // 1-based, in order of BindNames()
  // Array DML: values for iterations 0..n-1 of Execute(n).
  void BindArray(const std::string& name, std::vector<Value> values);
  // A PL/SQL table (index-by array) argument of a block: the whole array is one parameter.
  void BindTable(const std::string& name, std::vector<Value> values);

  // The select list; valid right after Prepare (describe-only needs no execution).
  const std::vector<ColumnDesc>& Describe();

  // Runs the statement `iterations` times (DML with array binds) or once (SELECT, PL/SQL, DDL).
  // For SELECT it opens the row source; Fetch then reads rows. Throws OraError (01008 when a bind
  // has no value). On an error in iteration k, RowCount() holds the rows done by earlier ones.
  void Execute(int iterations = 1);
  // The next row of an executed SELECT; false at the end.
  bool Fetch(std::vector<Value>& row);
  // Rows processed (DML) or fetched so far (SELECT).
  int64_t RowCount() const;
  // After Execute of an INSERT: the ROWID of the last row it inserted; "" for other statements.
  const std::string& LastRowid() const;
  // After Fetch of a SELECT ... FOR UPDATE: the ROWIDs of the rows the fetched row locked (one per
  // locked table); empty for other selects.
  const std::vector<std::string>& LockedRowids() const;
  // Ends fetching early (releases the row source; locks taken by FOR UPDATE stay).
  void CloseRows();
  // A round trip to the server that fetches no row of its own: raises when the session's line was
  // cut or the session killed meanwhile (ORA-03113, ORA-00028), as the next call would.
  void CheckConnected();

  // After Execute: the value a PL/SQL block assigned to an OUT / IN OUT bind, or the last row's
  // value of a RETURNING ... INTO target (the only one for a single-row statement); an IN OUT bind
  // the block did not assign keeps its input value.
  Value OutValue(const std::string& name) const;
  // After Execute of DML with RETURNING: when the target `name` names a column of the table, that
  // column (schema, table, name) and the ROWID of the row OutValue(name) came from; false for a
  // target that is some other expression, or when no row was returned.
  bool ReturnedRow(const std::string& name, ColumnDesc& column, std::string& rowid) const;
  // After Execute: every value of a RETURNING ... INTO target (one per affected row, across
  // iterations) or the elements of a PL/SQL table OUT argument.
  std::vector<Value> OutArray(const std::string& name) const;

  // After Execute of a PL/SQL block: the query the block opened the cursor variable `name` for
  // ("OPEN :name FOR SELECT ..."), with the values of that query's binds; false when none.
  bool RefCursor(const std::string& name, std::string& sql, std::map<std::string, Value>& binds) const;

  CursorState& State() { return *state_; }

 private:
  friend class Session;
  Cursor();
  std::unique_ptr<CursorState> state_;
};

}  // namespace oracle_sim
