// The instance's catalog as the translator sees it: users, objects, columns, constraints, synonyms.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "oracle_sim/engine/Engine.h"

struct sqlite3;

namespace oracle_sim {

// The Oracle type of a column or an expression.
struct SqlType {
  Ty ty = Ty::Varchar2;
  int size = 0;       // character / byte length
  int precision = 0;  // NUMBER(p,s)
  int scale = -127;   // -127: unconstrained NUMBER
  bool nullable = true;
  bool unknown = false;     // a bind or NULL: takes the type of what it meets
  std::string typeName;     // Object / Ref: the named type, "OWNER.NAME"
  std::string cursorQuery;  // Cursor: the query's text

  static SqlType Number(int p = 0, int s = -127) {
    SqlType t;
    t.ty = Ty::Number;
    t.size = 22;
    t.precision = p;
    t.scale = s;
    return t;
  }
  static SqlType Varchar(int n) {
    SqlType t;
    t.ty = Ty::Varchar2;
    t.size = n;
    return t;
  }
  static SqlType DateT() {
    SqlType t;
    t.ty = Ty::Date;
    t.size = 7;
    return t;
  }
  static SqlType Unknown() {
    SqlType t;
    t.unknown = true;
    t.size = 4000;
    return t;
  }
  bool IsText() const {
    return !unknown && (ty == Ty::Varchar2 || ty == Ty::Char || ty == Ty::Long || ty == Ty::Clob);
  }
  bool IsNumber() const { return !unknown && ty == Ty::Number; }
  bool IsDate() const { return !unknown && ty == Ty::Date; }
  bool IsRaw() const { return !unknown && (ty == Ty::Raw || ty == Ty::LongRaw || ty == Ty::Blob); }
  bool IsNamed() const { return !unknown && (ty == Ty::Object || ty == Ty::Ref); }
  static SqlType Named(const std::string& key, bool ref) {
    SqlType t;
    t.ty = ref ? Ty::Ref : Ty::Object;
    t.size = ref ? 36 : 0;
    t.typeName = key;
    return t;
  }
};

struct CatColumn {
  std::string name;
  // NUMBER, VARCHAR2, CHAR, DATE, RAW, LONG, LONG RAW, CLOB, BLOB, FLOAT, ROWID; the type's name
  // for an object or REF column
  std::string typeName;
  std::string typeOwner;  // object / REF column: the owner of the named type
  bool isRef = false;
  SqlType type;
  int id = 0;
  std::string defaultText;
};

struct CatConstraint {
  std::string owner, name, table;
  char type = 'C';  // P U R C
  std::vector<std::string> columns;
  std::string check;              // search condition text
  std::string refOwner, refName;  // referenced constraint
  bool cascade = false;
};

struct CatObject {
  int64_t id = 0;
  std::string owner, name;
  std::string type;        // TABLE, VIEW, SEQUENCE
  std::string sqliteName;  // storage table or SQLite view
  std::vector<CatColumn> columns;
  std::string viewText;     // CREATE VIEW text (user views)
  std::string ofType;       // object table: its type, "OWNER.NAME"
  bool systemView = false;  // a dictionary view computed by SQLite
  bool dbaOnly = false;     // readable only with DBA privilege
  std::string Key() const { return owner + "." + name; }
  const CatColumn* Column(const std::string& n) const {
    for (auto& c : columns)
      if (c.name == n) return &c;
    return nullptr;
  }
};

// One attribute of a named type, or the element of a collection type.
struct CatTypeAttr {
  std::string name;       // "" for a collection element
  std::string typeName;   // VARCHAR2, NUMBER ... as for columns; the type's name when named
  std::string typeOwner;  // a named attribute type's owner ("" for scalars)
  bool isRef = false;
  SqlType type;
};

// A named type: an object type, a VARRAY, a nested table type or SYS.XMLTYPE.
struct CatType {
  int64_t id = 0;
  std::string owner, name;
  char kind = 'O';  // O object, V varray, N nested table, X SYS.XMLTYPE
  bool isFinal = true;
  int64_t maxElements = 0;
  std::string oid;                 // 16 bytes
  std::vector<CatTypeAttr> attrs;  // a collection: the element only
  std::string Key() const { return owner + "." + name; }
  bool IsCollection() const { return kind == 'V' || kind == 'N'; }
};

struct CatUser {
  int64_t id = 0;
  std::string name;
  bool dba = false;
};

struct Catalog {
  int64_t version = 0;
  std::map<std::string, CatObject> objects;     // "OWNER.NAME"
  std::map<std::string, std::string> synonyms;  // "OWNER.NAME" (owner PUBLIC too) -> "OWNER.NAME"
  std::map<std::string, std::vector<CatConstraint>> constraints;  // by "OWNER.TABLE"
  std::map<std::string, CatUser> users;
  std::map<std::string, CatType> types;  // "OWNER.NAME"

  const CatObject* Find(const std::string& key) const {
    auto it = objects.find(key);
    return it == objects.end() ? nullptr : &it->second;
  }
  const CatConstraint* FindConstraint(const std::string& owner, const std::string& name) const;
  const CatType* FindType(const std::string& key) const {
    auto it = types.find(key);
    return it == types.end() ? nullptr : &it->second;
  }
  // A type named in SQL: `owner` given, or the user's own, a public synonym's, then SYS's.
  const CatType* ResolveType(const std::string& owner, const std::string& name,
                             const std::string& user) const;
};

}  // namespace oracle_sim
