// The simulated Oracle instance: the C++ API the client-call library is written over.
//
// An Instance is one SQLite database file shared by every process that opens it. A Session is one
// logged-on user; a Cursor is one parsed statement of that session. Every failure the server would
// report is thrown as OraError carrying the Oracle code and the full "ORA-nnnnn: ..." text.
//
// Threading: one Session (and its cursors) is used by one thread at a time; Break() may be called
// from any thread while another thread runs a statement of the session.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace oracle_sim {

// A failure (or, for warnings such as 28002, a condition) the server reports.
struct OraError : std::exception {
  int code = 0;      // 1017, 942, 1403 (no data found), 28002 (warning) ...
  std::string text;  // full text: "ORA-01017: invalid username/password; logon denied"
  int offset = 0;    // parse error offset (0-based, into the statement text) when known

  OraError() = default;
  OraError(int Code, std::string Text, int Offset = 0) : code(Code), text(std::move(Text)), offset(Offset) {}
  const char* what() const noexcept override { return text.c_str(); }
};

// Oracle's internal data type codes, as a describe reports them.
enum class Ty : int {
  Varchar2 = 1,
  Number = 2,
  Long = 8,
  Rowid = 11,  // a ROWID select-list item
  Date = 12,
  Raw = 23,
  LongRaw = 24,
  Char = 96,
  Clob = 112,
  Blob = 113,
  Bfile = 114,
  Timestamp = 187,
  TimestampTZ = 188,
  TimestampLTZ = 232,
  Object = 108,  // a named type: object, VARRAY, nested table, SYS.XMLTYPE
  Ref = 110,
};

// An Oracle DATE (fraction and zone are there for the timestamp family; DATE leaves them zero).
struct DateTime {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int64_t nanos = 0;
  // TIMESTAMP WITH TIME ZONE: the zone as an offset from UTC in minutes.
  bool hasTz = false;
  int tzMinutes = 0;

  bool operator==(const DateTime&) const = default;
};

struct ObjectValue;

// One value crossing the engine's boundary (bind in, bind out, fetched column).
struct Value {
  enum Kind : uint8_t { Null, Int, Real, Text, Bytes, Date, Object, Ref };
  Kind kind = Null;
  int64_t i = 0;  // Int
  double d = 0;   // Real
  std::string s;  // Text (UTF-8), Bytes (raw) or Ref (the REF's bytes: opaque, at most 64)
  DateTime dt;    // Date
  std::shared_ptr<const ObjectValue> obj;  // Object (never null for Kind Object)

  static Value MakeNull() { return Value(); }
  static Value MakeInt(int64_t v) {
    Value r;
    r.kind = Int;
    r.i = v;
    return r;
  }
  static Value MakeReal(double v) {
    Value r;
    r.kind = Real;
    r.d = v;
    return r;
  }
  // An empty string is Oracle's NULL: MakeText("") gives Null.
  static Value MakeText(std::string v) {
    Value r;
    if (v.empty()) return r;
    r.kind = Text;
    r.s = std::move(v);
    return r;
  }
  static Value MakeBytes(std::string v) {
    Value r;
    if (v.empty()) return r;
    r.kind = Bytes;
    r.s = std::move(v);
    return r;
  }
  static Value MakeDate(const DateTime& v) {
    Value r;
    r.kind = Date;
    r.dt = v;
    return r;
  }
  static Value MakeObject(ObjectValue v);
  static Value MakeRef(std::string bytes) {
    Value r;
    if (bytes.empty()) return r;
    r.kind = Ref;
    r.s = std::move(bytes);
    return r;
  }
  bool IsNull() const { return kind == Null; }
  // The value as Oracle's default conversion to a character string shows it (numbers without
  // trailing zeros, dates as DD-MON-RR, raw and REFs as upper-case hex). Null gives "".
  std::string ToText() const;
  // Deep: two objects are equal when their contents are.
  bool operator==(const Value& o) const;
};

// An instance of a named type: an object, a collection (VARRAY or nested table) or SYS.XMLTYPE.
// The engine hands out a NULL object (top-level, attribute or element) as a Null Value; it takes
// either form in.
struct ObjectValue {
  std::string typeSchema, typeName;  // "SCOTT","ADDRESS_T"; XMLType: "SYS","XMLTYPE"
  bool atomicNull = false;           // the object itself is NULL (items then all Null)
  // Object: attributes in declared order (an embedded object attribute is a Value of Kind Object);
  // collection: the elements in order.
  std::vector<Value> items;
  std::string xml;  // SYS.XMLTYPE: the document text
  bool operator==(const ObjectValue&) const = default;
};

inline Value Value::MakeObject(ObjectValue v) {
  Value r;
  r.kind = Object;
  r.obj = std::make_shared<const ObjectValue>(std::move(v));
  return r;
}

inline bool Value::operator==(const Value& o) const {
  if (kind != o.kind || i != o.i || d != o.d || s != o.s || !(dt == o.dt)) return false;
  if (obj == o.obj) return true;
  if (!obj || !o.obj) return false;
  return *obj == *o.obj;
}

// One select-list item (or one column of a described object).
struct ColumnDesc {
  std::string name;  // upper-case unless quoted: "EMPNO", "COUNT(*)"
  Ty type = Ty::Varchar2;
  int size = 0;       // maximum byte size (VARCHAR2(n): n; NUMBER: 22; DATE: 7; ROWID: 18 ...)
  int precision = 0;  // NUMBER(p,s): p (0 = unconstrained)
  int scale = 0;      // NUMBER(p,s): s (-127 for a FLOAT/unconstrained NUMBER expression)
  bool nullable = true;
  std::string schema;  // owner of the base table when the item is a plain column, else ""
  std::string table;   // base table name when the item is a plain column, else ""
  // Object and Ref items: the named type (for a Ref, the type the REF points at).
  std::string typeSchema, typeName;
};

// One attribute of an object type, or the element of a collection type.
struct TypeAttrDesc {
  std::string name;  // "" for a collection element
  // Varchar2, Char, Number, Date, Raw, Clob, Blob, Bfile, Timestamp*, Object (a nested object,
  // a collection or SYS.XMLTYPE), Ref
  Ty type = Ty::Varchar2;
  int size = 0, precision = 0, scale = 0;  // as ColumnDesc
  std::string typeSchema, typeName;        // Object / Ref attributes
};

// A named type as a describe reports it.
struct TypeDesc {
  std::string schema, name;  // "SCOTT","ADDRESS_T"; "SYS","XMLTYPE"
  enum class Kind { Object, VArray, NestedTable, Opaque /* SYS.XMLTYPE */ };
  Kind kind = Kind::Object;
  bool isFinal = true;              // CREATE TYPE ... NOT FINAL sets false
  std::vector<TypeAttrDesc> attrs;  // Object: attributes in declared order
  TypeAttrDesc element;             // VArray / NestedTable
  int64_t maxElements = 0;          // VArray limit
  std::string oid;                  // 16 bytes, stable for the type (its identity)
};

enum class StmtKind { Select, Insert, Update, Delete, PlSql, Ddl, Other /* commit, savepoint ... */ };

class Session;
class Cursor;
struct InstanceState;
struct SessionState;
struct CursorState;

// One database file; every process that opens the same path sees the same instance.
class Instance {
 public:
  // Opens (creating with its schema, users and sample data when new) the instance stored at `path`.
  // Throws OraError when the file can't be opened.
  static std::shared_ptr<Instance> Open(const std::string& path);
  ~Instance();

  const std::string& Path() const;
  // "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production"
  static std::string Banner();
  // "9.2.0.8.0"
  static std::string VersionText();
  // Release number packed as the client reports it: 9.2.0.8.0 -> 0x09200800.
  static uint32_t ReleaseNumber();

  InstanceState& State() { return *state_; }

 private:
  Instance();
  std::unique_ptr<InstanceState> state_;
};

// One logged-on session.
class Session {
 public:
  // Throws OraError 1017 (wrong user/password), 28001 (password expired) ...
  // A password that is about to expire logs on and reports 28002 through LogonWarning().
  static std::unique_ptr<Session> LogOn(std::shared_ptr<Instance> instance, const std::string& user,
                                        const std::string& password);
  // Changes the password of a user, expired or not, and logs on with the new one: the old password
  // must be right (ORA-01017 otherwise). The client's password-change call uses it when the logon
  // failed with ORA-28001.
  static std::unique_ptr<Session> LogOnWithNewPassword(std::shared_ptr<Instance> instance,
                                                       const std::string& user,
                                                       const std::string& oldPassword,
                                                       const std::string& newPassword);
  ~Session();  // rolls back what is uncommitted and releases the session's locks

  // 0 or the code of the warning the logon raised (28002); LogonWarningText() gives its full text.
  int LogonWarning() const;
  const std::string& LogonWarningText() const;

  std::string ServerVersion() const { return Instance::Banner(); }
  const std::string& UserName() const;  // upper-case logon user, the default schema
  int SessionId() const;                // SID, unique within the instance
  const std::shared_ptr<Instance>& GetInstance() const;

  void Commit();
  void Rollback();
  // Interrupts the statement the session is running in another thread: that call fails with
  // ORA-01013 "user requested cancel of current operation". Harmless when idle.
  void Break();
  // Test hook: cuts the connection. The next call fails with ORA-03113, later ones with ORA-03114.
  void CutConnection();
  bool Connected() const;

  // Parses the statement; throws OraError on syntax errors and unknown objects.
  std::unique_ptr<Cursor> Prepare(const std::string& sql);

  // Which transaction of the session is under way: it changes at every commit and rollback.
  uint64_t TransactionNumber() const;
  // The folder a directory (CREATE DIRECTORY) names for BFILE values; false when there is none.
  bool DirectoryPath(const std::string& name, std::string& path);

  // Lines DBMS_OUTPUT holds for the session (after DBMS_OUTPUT.ENABLE), for tests.
  std::vector<std::string> PendingOutput() const;

  // ---- Named types and object tables
  // The type called `name`: "ADDRESS_T", "SCOTT.ADDRESS_T", "sys.xmltype" (case-insensitive unless
  // quoted); the current schema first, then PUBLIC synonyms and SYS. ORA-04043 "object NAME does
  // not exist" otherwise.
  TypeDesc DescribeType(const std::string& name);
  TypeDesc DescribeTypeByOid(const std::string& oid);
  // The row of an object table a REF names, as an object value. lock = true takes the row lock as
  // SELECT ... FOR UPDATE does (waiting for another session's lock). ORA-21700 "object does not
  // exist or is marked for delete" when the row is gone.
  Value PinObject(const std::string& refBytes, bool lock);
  // Updates / deletes the row a REF names.
  void FlushObject(const std::string& refBytes, const Value& obj);
  void DeleteObject(const std::string& refBytes);
  // Adds a row to an object table (schema "" = the current one); returns the new row's REF bytes.
  std::string InsertObject(const std::string& schema, const std::string& table, const Value& obj);
  // Owner and name of an object table; ORA-00942 when `table` is not one.
  std::pair<std::string, std::string> ObjectTable(const std::string& schema, const std::string& table);

  SessionState& State() { return *state_; }

 private:
  Session();
  std::unique_ptr<SessionState> state_;
  friend class Cursor;
};

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
  void ClearBinds();

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
