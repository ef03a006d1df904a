// The simulated Oracle instance: the values, errors and descriptions of its C++ API (the instance
// and its sessions are in Session.h, statements in Cursor.h).
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
  Cursor = 116,  // CURSOR(subquery) in a select list: a statement per row
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
  // Cursor items: the query each row's statement runs.
  std::string cursorQuery;
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

}  // namespace oracle_sim
