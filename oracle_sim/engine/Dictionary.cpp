// The instance's own catalog tables, the ALL_/USER_/DBA_ dictionary views over them, and loading
// the catalog into memory for the translator.
#include "oracle_sim/engine/Dictionary.h"

#include <sqlite3.h>

#include <cstring>
#include <ctime>
#include <deque>
#include <tuple>

#include "oracle_sim/engine/Catalog.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Functions.h"
#include "oracle_sim/engine/Live.h"
#include "oracle_sim/engine/Translator.h"
#include "oracle_sim/engine/Views.h"

namespace oracle_sim {

const CatType* Catalog::ResolveType(const std::string& owner, const std::string& name,
                                    const std::string& user) const {
  if (!owner.empty()) return FindType(owner + "." + name);
  if (auto t = FindType(user + "." + name)) return t;
  auto syn = synonyms.find("PUBLIC." + name);
  if (syn != synonyms.end())
    if (auto t = FindType(syn->second)) return t;
  return FindType("SYS." + name);
}

const CatConstraint* Catalog::FindConstraint(const std::string& owner, const std::string& name) const {
  for (auto& [k, list] : constraints)
    for (auto& c : list)
      if (c.owner == owner && c.name == name) return &c;
  return nullptr;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "error";
    sqlite3_free(err);
    OraError e;
    if (ParseOraMessage(msg, e)) throw e;
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
}

SqlType ColumnType(const std::string& t, int size, int precision, int scale, bool hasPrecision) {
  SqlType r;
  r.unknown = false;
  if (t == "NUMBER") {
    r = SqlType::Number(hasPrecision ? precision : 0, hasPrecision ? scale : -127);
  } else if (t == "FLOAT") {
    r = SqlType::Number(hasPrecision ? precision : 126, -127);
  } else if (t == "VARCHAR2") {
    r = SqlType::Varchar(size);
  } else if (t == "CHAR") {
    r.ty = Ty::Char;
    r.size = size;
  } else if (t == "DATE") {
    r = SqlType::DateT();
  } else if (t.rfind("TIMESTAMP", 0) == 0) {
    r = SqlType::DateT();
    r.ty = t == "TIMESTAMP"                  ? Ty::Timestamp
           : t == "TIMESTAMP WITH TIME ZONE" ? Ty::TimestampTZ
                                             : Ty::TimestampLTZ;
    r.size = r.ty == Ty::TimestampTZ ? 13 : 11;
    r.scale = scale >= 0 && scale <= 9 ? scale : 6;
  } else if (t == "RAW") {
    r.ty = Ty::Raw;
    r.size = size;
  } else if (t == "LONG") {
    r.ty = Ty::Long;
    r.size = 0;
  } else if (t == "LONG RAW") {
    r.ty = Ty::LongRaw;
  } else if (t == "CLOB") {
    r.ty = Ty::Clob;
    r.size = 4000;
  } else if (t == "BLOB") {
    r.ty = Ty::Blob;
    r.size = 4000;
  } else if (t == "BFILE") {
    r.ty = Ty::Bfile;
    r.size = 530;
  } else if (t == "ROWID" || t == "UROWID") {
    r.ty = Ty::Rowid;
    r.size = 18;
  } else {
    r = SqlType::Varchar(size);
  }
  return r;
}

int64_t ReadCatalogVersion(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  int64_t v = 0;
  if (sqlite3_prepare_v2(db, "SELECT value FROM sim$meta WHERE key = 'catalog_version'", -1, &st, nullptr) ==
      SQLITE_OK) {
    if (sqlite3_step(st) == SQLITE_ROW) v = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  return v;
}

namespace {

std::string Col(sqlite3_stmt* st, int i) {
  auto p = sqlite3_column_text(st, i);
  return p ? reinterpret_cast<const char*>(p) : "";
}

template <typename F>
void Query(sqlite3* db, const char* sql, F&& row) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    throw OraError(600, "ORA-00600: internal error code, arguments: [" + msg + "]");
  }
  while (sqlite3_step(st) == SQLITE_ROW) row(st);
  sqlite3_finalize(st);
}

}  // namespace

std::shared_ptr<const Catalog> LoadCatalog(sqlite3* db, int64_t version) {
  auto cat = std::make_shared<Catalog>();
  cat->version = version;
  std::map<int64_t, std::string> byId;
  Query(db,
        "SELECT obj_id, owner, name, type, sqlite_name, view_text, system_view, dba_only, of_type FROM "
        "sim$objects",
        [&](sqlite3_stmt* st) {
          CatObject o;
          o.id = sqlite3_column_int64(st, 0);
          o.owner = Col(st, 1);
          o.name = Col(st, 2);
          o.type = Col(st, 3);
          o.sqliteName = Col(st, 4);
          o.viewText = Col(st, 5);
          o.systemView = sqlite3_column_int(st, 6) != 0;
          o.dbaOnly = sqlite3_column_int(st, 7) != 0;
          o.ofType = Col(st, 8);
          byId[o.id] = o.Key();
          if (o.type != "SYNONYM" && o.type != "TYPE") cat->objects[o.Key()] = o;
        });
  Query(
      db,
      "SELECT obj_id, column_id, column_name, data_type, data_length, data_precision, data_scale, nullable, "
      "data_default, type_owner, type_mod FROM sim$columns ORDER BY obj_id, column_id",
      [&](sqlite3_stmt* st) {
        auto it = byId.find(sqlite3_column_int64(st, 0));
        if (it == byId.end()) return;
        auto ot = cat->objects.find(it->second);
        if (ot == cat->objects.end()) return;
        CatColumn c;
        c.id = sqlite3_column_int(st, 1);
        c.name = Col(st, 2);
        c.typeName = Col(st, 3);
        bool hasP = sqlite3_column_type(st, 5) != SQLITE_NULL;
        c.type = ColumnType(
            c.typeName, sqlite3_column_int(st, 4), sqlite3_column_int(st, 5),
            sqlite3_column_type(st, 6) == SQLITE_NULL ? (hasP ? 0 : -127) : sqlite3_column_int(st, 6), hasP);
        c.type.nullable = Col(st, 7) != "N";
        c.defaultText = Col(st, 8);
        c.typeOwner = Col(st, 9);
        c.isRef = Col(st, 10) == "REF";
        if (!c.typeOwner.empty()) {
          bool nullable = c.type.nullable;
          c.type = SqlType::Named(c.typeOwner + "." + c.typeName, c.isRef);
          c.type.nullable = nullable;
        }
        ot->second.columns.push_back(c);
      });
  Query(db, "SELECT owner, synonym_name, table_owner, table_name FROM sim$synonyms", [&](sqlite3_stmt* st) {
    cat->synonyms[Col(st, 0) + "." + Col(st, 1)] = Col(st, 2) + "." + Col(st, 3);
  });
  Query(db,
        "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
        "r_constraint_name, "
        "delete_rule FROM sim$constraints",
        [&](sqlite3_stmt* st) {
          CatConstraint c;
          c.owner = Col(st, 0);
          c.name = Col(st, 1);
          c.type = Col(st, 2).empty() ? 'C' : Col(st, 2)[0];
          c.table = Col(st, 3);
          c.check = Col(st, 4);
          c.refOwner = Col(st, 5);
          c.refName = Col(st, 6);
          c.cascade = Col(st, 7) == "CASCADE";
          cat->constraints[c.owner + "." + c.table].push_back(c);
        });
  Query(db,
        "SELECT owner, constraint_name, column_name FROM sim$cons_columns ORDER BY owner, constraint_name, "
        "position",
        [&](sqlite3_stmt* st) {
          std::string owner = Col(st, 0), name = Col(st, 1);
          for (auto& [k, list] : cat->constraints)
            for (auto& c : list)
              if (c.owner == owner && c.name == name) c.columns.push_back(Col(st, 2));
        });
  Query(db, "SELECT obj_id, owner, name, kind, final, upper_bound, oid FROM sim$types",
        [&](sqlite3_stmt* st) {
          CatType t;
          t.id = sqlite3_column_int64(st, 0);
          t.owner = Col(st, 1);
          t.name = Col(st, 2);
          t.kind = Col(st, 3).empty() ? 'O' : Col(st, 3)[0];
          t.isFinal = sqlite3_column_int(st, 4) != 0;
          t.maxElements = sqlite3_column_int64(st, 5);
          if (sqlite3_column_type(st, 6) == SQLITE_BLOB)
            t.oid.assign(static_cast<const char*>(sqlite3_column_blob(st, 6)), sqlite3_column_bytes(st, 6));
          cat->types[t.Key()] = t;
          byId[t.id] = t.Key();
        });
  Query(db,
        "SELECT obj_id, attr_name, attr_type_name, attr_type_owner, attr_type_mod, length, precision, scale "
        "FROM sim$type_attrs ORDER BY obj_id, attr_no",
        [&](sqlite3_stmt* st) {
          auto it = byId.find(sqlite3_column_int64(st, 0));
          if (it == byId.end()) return;
          auto tt = cat->types.find(it->second);
          if (tt == cat->types.end()) return;
          CatTypeAttr a;
          a.name = Col(st, 1);
          a.typeName = Col(st, 2);
          a.typeOwner = Col(st, 3);
          a.isRef = Col(st, 4) == "REF";
          bool hasP = sqlite3_column_type(st, 6) != SQLITE_NULL;
          a.type = a.typeOwner.empty()
                       ? ColumnType(a.typeName, sqlite3_column_int(st, 5), sqlite3_column_int(st, 6),
                                    sqlite3_column_type(st, 7) == SQLITE_NULL ? (hasP ? 0 : -127)
                                                                              : sqlite3_column_int(st, 7),
                                    hasP)
                       : SqlType::Named(a.typeOwner + "." + a.typeName, a.isRef);
          tt->second.attrs.push_back(a);
        });
  Query(db, "SELECT user_id, username, dba FROM sim$users", [&](sqlite3_stmt* st) {
    CatUser u;
    u.id = sqlite3_column_int64(st, 0);
    u.name = Col(st, 1);
    u.dba = sqlite3_column_int(st, 2) != 0;
    cat->users[u.name] = u;
  });
  return cat;
}

std::string TypeDisplay(const CatColumn& c) {
  const SqlType& t = c.type;
  if (c.typeName == "NUMBER") {
    if (t.precision == 0 && t.scale == -127) return "NUMBER";
    if (t.scale == 0) return "NUMBER(" + std::to_string(t.precision) + ")";
    return "NUMBER(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
  }
  if (c.typeName == "VARCHAR2" || c.typeName == "CHAR" || c.typeName == "RAW")
    return c.typeName + "(" + std::to_string(t.size) + ")";
  return c.typeName;
}

namespace {

// Catalog tables of the instance.
const char* kSchema = R"SQL(
CREATE TABLE sim$meta(key TEXT PRIMARY KEY, value);
CREATE TABLE sim$users(user_id INTEGER PRIMARY KEY, username TEXT UNIQUE NOT NULL, password TEXT NOT NULL,
  dba INTEGER NOT NULL DEFAULT 0, account_status TEXT NOT NULL DEFAULT 'OPEN', expiry_date TEXT,
  created TEXT NOT NULL, default_tablespace TEXT DEFAULT 'USERS', temporary_tablespace TEXT DEFAULT 'TEMP');
CREATE TABLE sim$objects(obj_id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT NOT NULL, name TEXT NOT NULL,
  type TEXT NOT NULL, sqlite_name TEXT, view_text TEXT, system_view INTEGER NOT NULL DEFAULT 0,
  dba_only INTEGER NOT NULL DEFAULT 0, created TEXT NOT NULL, last_ddl_time TEXT NOT NULL,
  status TEXT NOT NULL DEFAULT 'VALID', UNIQUE(owner, name));
CREATE TABLE sim$columns(obj_id INTEGER NOT NULL, column_id INTEGER NOT NULL, column_name TEXT NOT NULL,
  data_type TEXT NOT NULL, data_length INTEGER, data_precision INTEGER, data_scale INTEGER,
  nullable TEXT NOT NULL DEFAULT 'Y', data_default TEXT, PRIMARY KEY(obj_id, column_id));
CREATE TABLE sim$constraints(owner TEXT NOT NULL, constraint_name TEXT NOT NULL, constraint_type TEXT NOT NULL,
  table_name TEXT NOT NULL, search_condition TEXT, r_owner TEXT, r_constraint_name TEXT, delete_rule TEXT,
  status TEXT NOT NULL DEFAULT 'ENABLED', generated TEXT NOT NULL DEFAULT 'USER NAME', last_change TEXT,
  PRIMARY KEY(owner, constraint_name));
CREATE TABLE sim$cons_columns(owner TEXT NOT NULL, constraint_name TEXT NOT NULL, table_name TEXT NOT NULL,
  column_name TEXT NOT NULL, position INTEGER NOT NULL);
CREATE TABLE sim$sequences(obj_id INTEGER PRIMARY KEY, owner TEXT NOT NULL, name TEXT NOT NULL,
  min_value INTEGER, max_value INTEGER, increment_by INTEGER, cycle_flag INTEGER, cache_size INTEGER,
  next_value INTEGER);
CREATE TABLE sim$synonyms(owner TEXT NOT NULL, synonym_name TEXT NOT NULL, table_owner TEXT NOT NULL,
  table_name TEXT NOT NULL, PRIMARY KEY(owner, synonym_name));
CREATE TABLE sim$sessions(sid INTEGER PRIMARY KEY, serial INTEGER NOT NULL, username TEXT, user_id INTEGER,
  pid INTEGER NOT NULL, logon_time TEXT NOT NULL, status TEXT NOT NULL DEFAULT 'INACTIVE', client_info TEXT,
  module TEXT, action TEXT, program TEXT, machine TEXT, osuser TEXT, sql_trace INTEGER NOT NULL DEFAULT 0,
  killed INTEGER NOT NULL DEFAULT 0, waiting_for INTEGER);
CREATE TABLE sim$locks(obj_id INTEGER NOT NULL, rid INTEGER NOT NULL, sid INTEGER NOT NULL, UNIQUE(obj_id, rid));
CREATE INDEX sim$locks_sid ON sim$locks(sid);
CREATE TABLE sim$undo(seq INTEGER PRIMARY KEY AUTOINCREMENT, sid INTEGER NOT NULL, obj_id INTEGER NOT NULL,
  op TEXT NOT NULL, rid INTEGER NOT NULL, vals BLOB);
CREATE INDEX sim$undo_sid ON sim$undo(sid, seq);
CREATE INDEX sim$undo_row ON sim$undo(obj_id, rid, sid, seq);
INSERT INTO sim$meta VALUES ('catalog_version', 1);
INSERT INTO sim$meta VALUES ('schema_version', 2);
UPDATE sqlite_sequence SET seq = 0;
)SQL";

struct ViewCol {
  const char* name;
  const char* type;
  int size;
};

struct ViewDef {
  const char* name;
  std::vector<ViewCol> cols;
  const char* body;  // {F} is replaced by the visibility filter on an "owner" expression
  bool dbaOnly;
};

// ALL_ views show what the session may see: everything for a DBA, else its own objects and public ones.
const char* kAllFilter = "(ora_is_dba() = 1 OR %s = ora_user() OR %s IN ('PUBLIC', 'SYS'))";

std::vector<ViewDef> DictionaryViews() {
  std::vector<ViewDef> v;
  auto tabCols = std::vector<ViewCol>{
      {"TABLE_NAME", "VARCHAR2", 30},   {"COLUMN_NAME", "VARCHAR2", 30},     {"DATA_TYPE", "VARCHAR2", 106},
      {"DATA_TYPE_MOD", "VARCHAR2", 3}, {"DATA_TYPE_OWNER", "VARCHAR2", 30}, {"DATA_LENGTH", "NUMBER", 0},
      {"DATA_PRECISION", "NUMBER", 0},  {"DATA_SCALE", "NUMBER", 0},         {"NULLABLE", "VARCHAR2", 1},
      {"COLUMN_ID", "NUMBER", 0},       {"DEFAULT_LENGTH", "NUMBER", 0},     {"DATA_DEFAULT", "LONG", 0},
      {"CHAR_LENGTH", "NUMBER", 0},     {"CHAR_USED", "VARCHAR2", 1}};
  const char* tabColsBody =
      "SELECT o.owner, o.name, c.column_name, c.data_type, c.type_mod, c.type_owner, CASE WHEN c.data_type = "
      "'NUMBER' THEN "
      "22 "
      "WHEN c.data_type = 'DATE' THEN 7 ELSE c.data_length END, c.data_precision, c.data_scale, c.nullable, "
      "c.column_id, length(c.data_default), c.data_default, CASE WHEN c.data_type IN ('VARCHAR2','CHAR') "
      "THEN "
      "c.data_length ELSE 0 END, CASE WHEN c.data_type IN ('VARCHAR2','CHAR') THEN 'B' END FROM sim$objects "
      "o JOIN "
      "sim$columns c ON c.obj_id = o.obj_id WHERE o.type IN ('TABLE','VIEW') AND {F}";
  auto consCols =
      std::vector<ViewCol>{{"CONSTRAINT_NAME", "VARCHAR2", 30}, {"CONSTRAINT_TYPE", "VARCHAR2", 1},
                           {"TABLE_NAME", "VARCHAR2", 30},      {"SEARCH_CONDITION", "LONG", 0},
                           {"R_OWNER", "VARCHAR2", 30},         {"R_CONSTRAINT_NAME", "VARCHAR2", 30},
                           {"DELETE_RULE", "VARCHAR2", 9},      {"STATUS", "VARCHAR2", 8},
                           {"DEFERRABLE", "VARCHAR2", 14},      {"DEFERRED", "VARCHAR2", 9},
                           {"VALIDATED", "VARCHAR2", 13},       {"GENERATED", "VARCHAR2", 14},
                           {"LAST_CHANGE", "DATE", 0}};
  const char* consBody =
      "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
      "r_constraint_name, "
      "delete_rule, status, 'NOT DEFERRABLE', 'IMMEDIATE', 'VALIDATED', generated, last_change FROM "
      "sim$constraints WHERE {F}";
  auto ccCols = std::vector<ViewCol>{{"CONSTRAINT_NAME", "VARCHAR2", 30},
                                     {"TABLE_NAME", "VARCHAR2", 30},
                                     {"COLUMN_NAME", "VARCHAR2", 4000},
                                     {"POSITION", "NUMBER", 0}};
  const char* ccBody =
      "SELECT owner, constraint_name, table_name, column_name, CASE WHEN (SELECT constraint_type FROM "
      "sim$constraints k WHERE k.owner = cc.owner AND k.constraint_name = cc.constraint_name) = 'C' THEN "
      "NULL "
      "ELSE position END FROM sim$cons_columns cc WHERE {F}";
  auto objCols = std::vector<ViewCol>{
      {"OBJECT_NAME", "VARCHAR2", 128}, {"SUBOBJECT_NAME", "VARCHAR2", 30}, {"OBJECT_ID", "NUMBER", 0},
      {"DATA_OBJECT_ID", "NUMBER", 0},  {"OBJECT_TYPE", "VARCHAR2", 18},    {"CREATED", "DATE", 0},
      {"LAST_DDL_TIME", "DATE", 0},     {"TIMESTAMP", "VARCHAR2", 19},      {"STATUS", "VARCHAR2", 7},
      {"TEMPORARY", "VARCHAR2", 1},     {"GENERATED", "VARCHAR2", 1},       {"SECONDARY", "VARCHAR2", 1}};
  const char* objBody =
      "SELECT owner, name, NULL, obj_id, CASE WHEN type = 'TABLE' THEN obj_id END, type, created, "
      "last_ddl_time, "
      "replace(created, ' ', ':'), status, 'N', 'N', 'N' FROM sim$objects WHERE {F}";
  auto tablesCols = std::vector<ViewCol>{{"TABLE_NAME", "VARCHAR2", 30}, {"TABLESPACE_NAME", "VARCHAR2", 30},
                                         {"STATUS", "VARCHAR2", 8},      {"NUM_ROWS", "NUMBER", 0},
                                         {"TEMPORARY", "VARCHAR2", 1},   {"PARTITIONED", "VARCHAR2", 3},
                                         {"IOT_TYPE", "VARCHAR2", 12},   {"NESTED", "VARCHAR2", 3}};
  const char* tablesBody =
      "SELECT owner, name, 'USERS', 'VALID', NULL, 'N', 'NO', NULL, 'NO' FROM sim$objects WHERE type = "
      "'TABLE' AND "
      "system_view = 0 AND {F}";
  auto synCols = std::vector<ViewCol>{{"SYNONYM_NAME", "VARCHAR2", 30},
                                      {"TABLE_OWNER", "VARCHAR2", 30},
                                      {"TABLE_NAME", "VARCHAR2", 30},
                                      {"DB_LINK", "VARCHAR2", 128}};
  const char* synBody =
      "SELECT owner, synonym_name, table_owner, table_name, NULL FROM sim$synonyms WHERE {F}";
  auto seqCols = std::vector<ViewCol>{{"SEQUENCE_NAME", "VARCHAR2", 30}, {"MIN_VALUE", "NUMBER", 0},
                                      {"MAX_VALUE", "NUMBER", 0},        {"INCREMENT_BY", "NUMBER", 0},
                                      {"CYCLE_FLAG", "VARCHAR2", 1},     {"ORDER_FLAG", "VARCHAR2", 1},
                                      {"CACHE_SIZE", "NUMBER", 0},       {"LAST_NUMBER", "NUMBER", 0}};
  const char* seqBody =
      "SELECT owner, name, min_value, max_value, increment_by, CASE WHEN cycle_flag THEN 'Y' ELSE 'N' END, "
      "'N', "
      "cache_size, next_value FROM sim$sequences WHERE {F}";
  auto viewCols =
      std::vector<ViewCol>{{"VIEW_NAME", "VARCHAR2", 30}, {"TEXT_LENGTH", "NUMBER", 0}, {"TEXT", "LONG", 0}};
  const char* viewBody =
      "SELECT owner, name, length(view_text), view_text FROM sim$objects WHERE type = 'VIEW' AND system_view "
      "= 0 "
      "AND {F}";
  auto typeCols =
      std::vector<ViewCol>{{"TYPE_NAME", "VARCHAR2", 30},      {"TYPE_OID", "RAW", 16},
                           {"TYPECODE", "VARCHAR2", 30},       {"ATTRIBUTES", "NUMBER", 0},
                           {"METHODS", "NUMBER", 0},           {"PREDEFINED", "VARCHAR2", 3},
                           {"INCOMPLETE", "VARCHAR2", 3},      {"FINAL", "VARCHAR2", 3},
                           {"INSTANTIABLE", "VARCHAR2", 3},    {"SUPERTYPE_OWNER", "VARCHAR2", 30},
                           {"SUPERTYPE_NAME", "VARCHAR2", 30}, {"LOCAL_ATTRIBUTES", "NUMBER", 0},
                           {"LOCAL_METHODS", "NUMBER", 0},     {"TYPEID", "RAW", 16}};
  const char* typeBody =
      "SELECT t.owner, t.name, t.oid, CASE WHEN t.kind IN ('O', 'X') THEN 'OBJECT' ELSE 'COLLECTION' "
      "END, CASE WHEN t.kind = 'O' THEN (SELECT count(*) FROM sim$type_attrs a WHERE a.obj_id = "
      "t.obj_id) ELSE 0 END, CASE WHEN t.kind = 'X' THEN 12 ELSE 0 END, CASE WHEN t.owner = 'SYS' THEN 'YES' "
      "ELSE 'NO' END, 'NO', CASE WHEN t.final THEN 'YES' ELSE 'NO' END, 'YES', NULL, NULL, NULL, NULL, NULL "
      "FROM sim$types t WHERE {F}";
  auto attrCols = std::vector<ViewCol>{{"TYPE_NAME", "VARCHAR2", 30},
                                       {"ATTR_NAME", "VARCHAR2", 30},
                                       {"ATTR_TYPE_MOD", "VARCHAR2", 7},
                                       {"ATTR_TYPE_OWNER", "VARCHAR2", 30},
                                       {"ATTR_TYPE_NAME", "VARCHAR2", 30},
                                       {"LENGTH", "NUMBER", 0},
                                       {"PRECISION", "NUMBER", 0},
                                       {"SCALE", "NUMBER", 0},
                                       {"CHARACTER_SET_NAME", "VARCHAR2", 44},
                                       {"ATTR_NO", "NUMBER", 0},
                                       {"INHERITED", "VARCHAR2", 3}};
  const char* attrBody =
      "SELECT t.owner, t.name, a.attr_name, a.attr_type_mod, a.attr_type_owner, a.attr_type_name, CASE WHEN "
      "a.attr_type_name IN ('VARCHAR2', 'CHAR', 'RAW') THEN a.length END, a.precision, a.scale, CASE WHEN "
      "a.attr_type_name IN ('VARCHAR2', 'CHAR', 'CLOB') THEN 'CHAR_CS' END, a.attr_no, 'NO' FROM sim$types "
      "t JOIN sim$type_attrs a ON a.obj_id = t.obj_id WHERE t.kind = 'O' AND {F}";
  auto collCols = std::vector<ViewCol>{{"TYPE_NAME", "VARCHAR2", 30},
                                       {"COLL_TYPE", "VARCHAR2", 30},
                                       {"UPPER_BOUND", "NUMBER", 0},
                                       {"ELEM_TYPE_MOD", "VARCHAR2", 7},
                                       {"ELEM_TYPE_OWNER", "VARCHAR2", 30},
                                       {"ELEM_TYPE_NAME", "VARCHAR2", 30},
                                       {"LENGTH", "NUMBER", 0},
                                       {"PRECISION", "NUMBER", 0},
                                       {"SCALE", "NUMBER", 0},
                                       {"CHARACTER_SET_NAME", "VARCHAR2", 44},
                                       {"ELEM_STORAGE", "VARCHAR2", 7},
                                       {"NULLS_STORED", "VARCHAR2", 3}};
  const char* collBody =
      "SELECT t.owner, t.name, CASE t.kind WHEN 'V' THEN 'VARYING ARRAY' ELSE 'TABLE' END, CASE WHEN t.kind "
      "= 'V' THEN t.upper_bound END, a.attr_type_mod, a.attr_type_owner, a.attr_type_name, CASE WHEN "
      "a.attr_type_name IN ('VARCHAR2', 'CHAR', 'RAW') THEN a.length END, a.precision, a.scale, CASE WHEN "
      "a.attr_type_name IN ('VARCHAR2', 'CHAR', 'CLOB') THEN 'CHAR_CS' END, NULL, 'YES' FROM sim$types t "
      "JOIN sim$type_attrs a ON a.obj_id = t.obj_id WHERE t.kind IN ('V', 'N') AND {F}";

  struct Family {
    const char* suffix;
    std::vector<ViewCol> cols;
    const char* body;
    const char* ownerName;  // name of the owner column in ALL_/DBA_ forms
  };
  std::vector<Family> fams = {{"TAB_COLUMNS", tabCols, tabColsBody, "OWNER"},
                              {"CONSTRAINTS", consCols, consBody, "OWNER"},
                              {"CONS_COLUMNS", ccCols, ccBody, "OWNER"},
                              {"OBJECTS", objCols, objBody, "OWNER"},
                              {"TABLES", tablesCols, tablesBody, "OWNER"},
                              {"SYNONYMS", synCols, synBody, "OWNER"},
                              {"SEQUENCES", seqCols, seqBody, "SEQUENCE_OWNER"},
                              {"VIEWS", viewCols, viewBody, "OWNER"},
                              {"TYPES", typeCols, typeBody, "OWNER"},
                              {"TYPE_ATTRS", attrCols, attrBody, "OWNER"},
                              {"COLL_TYPES", collCols, collBody, "OWNER"}};
  static std::deque<std::string> keep;  // bodies must outlive the ViewDefs (stable addresses)
  for (auto& f : fams) {
    std::string ownerExpr = std::string(f.body).find("FROM sim$objects o") != std::string::npos ? "o.owner"
                            : std::string(f.body).find("FROM sim$types t") != std::string::npos ? "t.owner"
                                                                                                : "owner";
    if (std::string(f.suffix) == "SEQUENCES") ownerExpr = "owner";
    char filt[256];
    std::snprintf(filt, sizeof filt, kAllFilter, ownerExpr.c_str(), ownerExpr.c_str());
    auto body = [&](const std::string& filter) {
      std::string b = f.body;
      auto p = b.find("{F}");
      b.replace(p, 3, filter);
      keep.push_back(b);
      return keep.back().c_str();
    };
    std::vector<ViewCol> withOwner = {{f.ownerName, "VARCHAR2", 30}};
    withOwner.insert(withOwner.end(), f.cols.begin(), f.cols.end());
    keep.push_back(std::string("ALL_") + f.suffix);
    v.push_back({keep.back().c_str(), withOwner, body(filt), false});
    keep.push_back(std::string("DBA_") + f.suffix);
    v.push_back({keep.back().c_str(), withOwner, body("1"), true});
    // USER_ form: no owner column (USER_SYNONYMS and the rest alike)
    std::string ub = "SELECT ";
    for (size_t i = 0; i < f.cols.size(); ++i)
      ub += std::string(i ? ", " : "") + "\"" + f.cols[i].name + "\"";
    ub += " FROM \"SYS.ALL_" + std::string(f.suffix) + "\" WHERE \"" + f.ownerName + "\" = ora_user()";
    keep.push_back(ub);
    const char* ubody = keep.back().c_str();
    keep.push_back(std::string("USER_") + f.suffix);
    v.push_back({keep.back().c_str(), f.cols, ubody, false});
  }
  v.push_back({"ALL_USERS",
               {{"USERNAME", "VARCHAR2", 30}, {"USER_ID", "NUMBER", 0}, {"CREATED", "DATE", 0}},
               "SELECT username, user_id, created FROM sim$users",
               false});
  v.push_back({"DBA_USERS",
               {{"USERNAME", "VARCHAR2", 30},
                {"USER_ID", "NUMBER", 0},
                {"PASSWORD", "VARCHAR2", 30},
                {"ACCOUNT_STATUS", "VARCHAR2", 32},
                {"LOCK_DATE", "DATE", 0},
                {"EXPIRY_DATE", "DATE", 0},
                {"DEFAULT_TABLESPACE", "VARCHAR2", 30},
                {"TEMPORARY_TABLESPACE", "VARCHAR2", 30},
                {"CREATED", "DATE", 0},
                {"PROFILE", "VARCHAR2", 30}},
               "SELECT username, user_id, upper(hex(password)), account_status, NULL, expiry_date, "
               "default_tablespace, "
               "temporary_tablespace, created, 'DEFAULT' FROM sim$users",
               true});
  v.push_back(
      {"USER_USERS",
       {{"USERNAME", "VARCHAR2", 30},
        {"USER_ID", "NUMBER", 0},
        {"ACCOUNT_STATUS", "VARCHAR2", 32},
        {"EXPIRY_DATE", "DATE", 0},
        {"DEFAULT_TABLESPACE", "VARCHAR2", 30},
        {"CREATED", "DATE", 0}},
       "SELECT username, user_id, account_status, expiry_date, default_tablespace, created FROM sim$users "
       "WHERE username = ora_user()",
       false});
  return v;
}

std::string Now() {
  return FormatIso(NowLocal());
}

}  // namespace

// Registers a computed (SQLite) view in the catalog: SQL view "SYS.<name>", columns, public synonym.
void RegisterSystemView(sqlite3* db, const std::string& name,
                        const std::vector<std::tuple<std::string, std::string, int>>& cols,
                        const std::string& body, bool dbaOnly) {
  std::string colList;
  for (size_t i = 0; i < cols.size(); ++i)
    colList += std::string(i ? ", " : "") + QuoteIdent(std::get<0>(cols[i]));
  std::string sqliteName = "SYS." + name;
  Exec(db, "CREATE VIEW " + QuoteIdent(sqliteName) + " (" + colList + ") AS " + body);
  std::string now = Now();
  Exec(db,
       "INSERT INTO sim$objects(owner, name, type, sqlite_name, system_view, dba_only, created, "
       "last_ddl_time) "
       "VALUES ('SYS', " +
           QuoteText(name) + ", 'VIEW', " + QuoteText(sqliteName) + ", 1, " + (dbaOnly ? "1" : "0") + ", '" +
           now + "', '" + now + "')");
  std::string id = std::to_string(sqlite3_last_insert_rowid(db));
  for (size_t i = 0; i < cols.size(); ++i) {
    auto& [cn, ct, cs] = cols[i];
    std::string len = ct == "NUMBER" ? "22" : ct == "DATE" ? "7" : std::to_string(cs);
    Exec(db, "INSERT INTO sim$columns(obj_id, column_id, column_name, data_type, data_length) VALUES (" + id +
                 ", " + std::to_string(i + 1) + ", " + QuoteText(cn) + ", " + QuoteText(ct) + ", " + len +
                 ")");
  }
  Exec(db,
       "INSERT INTO sim$synonyms VALUES ('PUBLIC', " + QuoteText(name) + ", 'SYS', " + QuoteText(name) + ")");
}

// The catalog tables of named types (and the columns that refer to them), with SYS.XMLTYPE.
void InstallObjectTypes(sqlite3* db) {
  Exec(db, R"SQL(
CREATE TABLE sim$types(obj_id INTEGER PRIMARY KEY, owner TEXT NOT NULL, name TEXT NOT NULL, kind TEXT NOT NULL,
  final INTEGER NOT NULL DEFAULT 1, upper_bound INTEGER, oid BLOB NOT NULL, UNIQUE(owner, name));
CREATE TABLE sim$type_attrs(obj_id INTEGER NOT NULL, attr_no INTEGER NOT NULL, attr_name TEXT,
  attr_type_name TEXT NOT NULL, attr_type_owner TEXT, attr_type_mod TEXT, length INTEGER, precision INTEGER,
  scale INTEGER, PRIMARY KEY(obj_id, attr_no));
)SQL");
  for (auto [table, column] : {std::pair<const char*, const char*>{"sim$columns", "type_owner"},
                               {"sim$columns", "type_mod"},
                               {"sim$objects", "of_type"}}) {
    bool has = false;
    Query(db,
          ("SELECT 1 FROM pragma_table_info('" + std::string(table) + "') WHERE name = '" + column + "'")
              .c_str(),
          [&](sqlite3_stmt*) { has = true; });
    if (!has) Exec(db, std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " TEXT");
  }
  std::string now = Now();
  Exec(db,
       "INSERT INTO sim$objects(owner, name, type, system_view, created, last_ddl_time) VALUES ('SYS', "
       "'XMLTYPE', 'TYPE', 1, '" +
           now + "', '" + now + "')");
  Exec(db,
       "INSERT INTO sim$types(obj_id, owner, name, kind, final, oid) VALUES (last_insert_rowid(), 'SYS', "
       "'XMLTYPE', 'X', 0, x'00000000000000000000000000000108')");
}

// The directories of BFILE values (CREATE DIRECTORY) and the views over them.
void InstallDirectories(sqlite3* db) {
  Exec(db, "CREATE TABLE sim$directories(name TEXT PRIMARY KEY, path TEXT NOT NULL)");
  const std::vector<std::tuple<std::string, std::string, int>> cols = {
      {"OWNER", "VARCHAR2", 30}, {"DIRECTORY_NAME", "VARCHAR2", 30}, {"DIRECTORY_PATH", "VARCHAR2", 4000}};
  RegisterSystemView(db, "ALL_DIRECTORIES", cols, "SELECT 'SYS', name, path FROM sim$directories", false);
  RegisterSystemView(db, "DBA_DIRECTORIES", cols, "SELECT 'SYS', name, path FROM sim$directories", true);
}

// Files made before named types existed get their tables and the dictionary views over them.
void UpgradeObjectTypes(sqlite3* db) {
  InstallObjectTypes(db);
  for (auto& v : DictionaryViews()) {
    std::string n = v.name;
    bool affected = false;
    for (const char* suffix : {"_TAB_COLUMNS", "_TYPES", "_TYPE_ATTRS", "_COLL_TYPES"})
      if (n.size() > std::strlen(suffix) &&
          n.compare(n.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
        affected = true;
    if (!affected) continue;
    Exec(db, "DROP VIEW IF EXISTS " + QuoteIdent("SYS." + n));
    Exec(db,
         "DELETE FROM sim$columns WHERE obj_id IN (SELECT obj_id FROM sim$objects WHERE owner = 'SYS' AND "
         "name = " +
             QuoteText(n) + ")");
    Exec(db, "DELETE FROM sim$objects WHERE owner = 'SYS' AND name = " + QuoteText(n));
    Exec(db, "DELETE FROM sim$synonyms WHERE owner = 'PUBLIC' AND synonym_name = " + QuoteText(n));
    std::vector<std::tuple<std::string, std::string, int>> cols;
    for (auto& c : v.cols) cols.emplace_back(c.name, c.type, c.size);
    RegisterSystemView(db, v.name, cols, v.body, v.dbaOnly);
  }
}

const std::vector<std::string>& FirstInstanceTables() {
  static const std::vector<std::string> tables = {
      "sim$meta",      "sim$users",    "sim$objects",  "sim$columns", "sim$constraints", "sim$cons_columns",
      "sim$sequences", "sim$synonyms", "sim$sessions", "sim$locks",   "sim$undo",        "SYS.DUAL"};
  return tables;
}

void BootstrapInstance(sqlite3* db) {
  Exec(db, kSchema);
  InstallObjectTypes(db);
  std::string now = Now();
  // users: SYS and SYSTEM are DBAs; EXPIRED's password has expired; EXPIRING's expires in 7 days
  Exec(db,
       "INSERT INTO sim$users(user_id, username, password, dba, account_status, expiry_date, created) VALUES "
       "(0, 'SYS', 'CHANGE_ON_INSTALL', 1, 'OPEN', NULL, '" +
           now +
           "'),"
           "(5, 'SYSTEM', 'MANAGER', 1, 'OPEN', NULL, '" +
           now +
           "'),"
           "(59, 'SCOTT', 'TIGER', 0, 'OPEN', NULL, '" +
           now +
           "'),"
           "(60, 'EXPIRED', 'EXPIRED', 0, 'EXPIRED', datetime('now', 'localtime', '-1 day'), '" +
           now +
           "'),"
           "(61, 'EXPIRING', 'EXPIRING', 0, 'EXPIRED(GRACE)', datetime('now', 'localtime', '+7 days'), '" +
           now + "')");
  // DUAL
  Exec(db, "CREATE TABLE \"SYS.DUAL\"(rid_ INTEGER PRIMARY KEY AUTOINCREMENT, \"DUMMY\" TEXT)");
  Exec(db, "INSERT INTO \"SYS.DUAL\"(\"DUMMY\") VALUES ('X')");
  Exec(db,
       "INSERT INTO sim$objects(owner, name, type, sqlite_name, system_view, created, last_ddl_time) VALUES "
       "('SYS', 'DUAL', 'TABLE', 'SYS.DUAL', 1, '" +
           now + "', '" + now + "')");
  Exec(db,
       "INSERT INTO sim$columns(obj_id, column_id, column_name, data_type, data_length, data_precision, "
       "data_scale, nullable, data_default) VALUES (last_insert_rowid(), 1, 'DUMMY', 'VARCHAR2', 1, NULL, "
       "NULL, "
       "'Y', "
       "NULL)");
  Exec(db, "INSERT INTO sim$synonyms VALUES ('PUBLIC', 'DUAL', 'SYS', 'DUAL')");
  for (auto& v : DictionaryViews()) {
    std::vector<std::tuple<std::string, std::string, int>> cols;
    for (auto& c : v.cols) cols.emplace_back(c.name, c.type, c.size);
    RegisterSystemView(db, v.name, cols, v.body, v.dbaOnly);
  }
  InstallPerformanceViews(db);
  // user objects start at a realistic object number
  Exec(db, "UPDATE sqlite_sequence SET seq = 30000 WHERE name = 'sim$objects'");
}

}  // namespace oracle_sim
