// DDL (tables, constraints, sequences, synonyms, views, users) and the session-level statements
// (COMMIT, ROLLBACK [TO], SAVEPOINT, ALTER SESSION, ALTER SYSTEM).
#include <sqlite3.h>

#include <algorithm>
#include <ctime>

#include "oracle_sim/engine/Dictionary.h"
#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Live.h"
#include "oracle_sim/engine/Parser.h"

namespace oracle_sim {

namespace {

std::string NowText() {
  return FormatIso(NowLocal());
}

class Ddl {
 public:
  explicit Ddl(SessionState& s) : s_(s), db_(s.db) {}

  SessionState& s_;
  sqlite3* db_;
  std::shared_ptr<const Catalog> cat_;
  std::set<std::string> touched_;  // tables whose triggers need rebuilding

  void Run(const std::string& sql) { Exec(db_, sql); }

  int64_t Int(const std::string& sql, int64_t dflt = 0) {
    sqlite3_stmt* st = nullptr;
    int64_t r = dflt;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
      r = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return r;
  }

  void Reload() {
    int64_t v = Int("SELECT value FROM sim$meta WHERE key = 'catalog_version'") + 1;
    Run("UPDATE sim$meta SET value = " + std::to_string(v) + " WHERE key = 'catalog_version'");
    s_.changedOnCommit = true;
    cat_ = LoadCatalog(db_, v);
    InstanceState& is = s_.instance->State();
    std::lock_guard<std::mutex> lock(is.mu);
    is.catalog = cat_;
    is.cache.clear();
  }

  TranslateContext Ctx(const std::string& user, bool dba) {
    TranslateContext c;
    c.catalog = cat_.get();
    c.user = user;
    c.dba = dba;
    return c;
  }

  std::string OwnerFor(const std::string& owner) {
    std::string o = owner.empty() ? s_.user : owner;
    if (o != s_.user && !s_.dba) Raise(1031);
    if (!cat_->users.count(o) && o != "PUBLIC") Raise(1918, o);
    return o;
  }

  bool Exists(const std::string& owner, const std::string& name) {
    return Int("SELECT count(*) FROM sim$objects WHERE owner = " + QuoteText(owner) +
               " AND name = " + QuoteText(name)) > 0;
  }

  int64_t AddObject(const std::string& owner, const std::string& name, const std::string& type,
                    const std::string& sqliteName, const std::string& viewText) {
    std::string now = NowText();
    Run("INSERT INTO sim$objects(owner, name, type, sqlite_name, view_text, created, last_ddl_time) VALUES "
        "(" +
        QuoteText(owner) + ", " + QuoteText(name) + ", " + QuoteText(type) + ", " +
        (sqliteName.empty() ? "NULL" : QuoteText(sqliteName)) + ", " +
        (viewText.empty() ? "NULL" : QuoteText(viewText)) + ", '" + now + "', '" + now + "')");
    return sqlite3_last_insert_rowid(db_);
  }

  static std::string Affinity(const ColumnDef& c) {
    const std::string& type = c.type;
    if (c.named) return "BLOB";
    if (type == "NUMBER" || type == "FLOAT") return "NUMERIC";
    if (type == "RAW" || type == "LONG RAW" || type == "BLOB") return "BLOB";
    return "TEXT";
  }

  // DATA_LENGTH, DATA_PRECISION and DATA_SCALE (SQL literals) of a declared column or attribute.
  static void Storage(const ColumnDef& c, std::string& len, std::string& prec, std::string& scale) {
    len = c.type == "NUMBER" || c.type == "FLOAT" ? "22"
          : c.type == "DATE"                      ? "7"
          : c.type == "ROWID"                     ? "10"
                                                  : std::to_string(c.size);
    if (c.type == "LONG" || c.type == "LONG RAW") len = "0";
    if (c.type == "CLOB" || c.type == "BLOB") len = "4000";
    if (c.type == "BFILE") len = "530";
    prec = (c.type == "NUMBER" || c.type == "FLOAT") && c.hasPrecision ? std::to_string(c.precision) : "NULL";
    if (c.type == "FLOAT" && !c.hasPrecision) prec = "126";
    scale = c.type == "NUMBER" && c.hasPrecision ? std::to_string(c.scale) : "NULL";
    if (c.type.rfind("TIMESTAMP", 0) == 0) scale = std::to_string(c.hasPrecision ? c.precision : 6);
    if (c.named) {
      len = c.isRef ? "36" : "NULL";
      prec = scale = "NULL";
    }
  }

  static std::string NamedCols(const ColumnDef& c) {
    if (!c.named) return "NULL, NULL";
    return QuoteText(c.typeOwner) + ", " + (c.isRef ? "'REF'" : "NULL");
  }

  void AddColumnRow(int64_t obj, int id, const ColumnDef& c) {
    std::string len, prec, scale;
    Storage(c, len, prec, scale);
    Run("INSERT INTO sim$columns(obj_id, column_id, column_name, data_type, data_length, data_precision, "
        "data_scale, nullable, data_default, type_owner, type_mod) VALUES (" +
        std::to_string(obj) + ", " + std::to_string(id) + ", " + QuoteText(c.name) + ", " +
        QuoteText(c.type) + ", " + len + ", " + prec + ", " + scale + ", " + (c.notNull ? "'N'" : "'Y'") +
        ", " + (c.defaultText.empty() ? "NULL" : QuoteText(c.defaultText)) + ", " + NamedCols(c) + ")");
  }

  // A named column or attribute type as declared: its owner and name as the catalog has them.
  // `self` allows a REF to the type being created.
  void ResolveNamed(ColumnDef& c, const std::string& selfOwner = "", const std::string& selfName = "") {
    if (!c.named) return;
    if (c.isRef && c.type == selfName && (c.typeOwner.empty() || c.typeOwner == selfOwner)) {
      c.typeOwner = selfOwner;
      return;
    }
    const CatType* t = cat_->ResolveType(c.typeOwner, c.type, s_.user);
    if (!t || (c.isRef && t->kind != 'O')) Raise(902);
    c.typeOwner = t->owner;
    c.type = t->name;
  }

  // The declaration an attribute of a type stands for (object tables take their columns from it).
  static ColumnDef FromAttr(const CatTypeAttr& a) {
    ColumnDef c;
    c.name = a.name;
    c.type = a.typeName;
    if (!a.typeOwner.empty()) {
      c.named = true;
      c.isRef = a.isRef;
      c.typeOwner = a.typeOwner;
      return c;
    }
    const SqlType& t = a.type;
    if (a.typeName == "NUMBER" || a.typeName == "FLOAT") {
      c.hasPrecision = !(t.precision == 0 && t.scale == -127) || a.typeName == "FLOAT";
      c.precision = t.precision;
      c.scale = t.scale == -127 ? 0 : t.scale;
    } else if (a.typeName.rfind("TIMESTAMP", 0) == 0) {
      c.hasPrecision = true;
      c.precision = t.scale;
    } else {
      c.size = t.size;
    }
    return c;
  }

  bool TypeUsed(const std::string& owner, const std::string& name) {
    std::string o = QuoteText(owner), n = QuoteText(name);
    return Int("SELECT (SELECT count(*) FROM sim$columns WHERE type_owner = " + o + " AND data_type = " + n +
               ") + (SELECT count(*) FROM sim$type_attrs a JOIN sim$types t ON t.obj_id = a.obj_id WHERE "
               "a.attr_type_owner = " +
               o + " AND a.attr_type_name = " + n + " AND NOT (t.owner = " + o + " AND t.name = " + n +
               ")) + (SELECT count(*) FROM sim$objects WHERE of_type = " + QuoteText(owner + "." + name) +
               ")") > 0;
  }

  void CreateType(const Statement& st) {
    std::string owner = OwnerFor(st.owner);
    const CatType* old = cat_->FindType(owner + "." + st.name);
    if (old && !st.orReplace) Raise(955);
    if (!old && Exists(owner, st.name)) Raise(955);
    std::vector<ColumnDef> attrs = st.columnDefs;
    std::set<std::string> seen;
    for (auto& a : attrs) {
      if (st.text == "OBJECT" && !seen.insert(a.name).second) Raise(957);
      ResolveNamed(a, owner, st.name);
      if (a.named && !a.isRef && a.typeOwner == owner && a.type == st.name) Raise(902);
      if (a.type == "LONG" || a.type == "LONG RAW" || a.type == "ROWID") Raise(902);
    }
    int64_t id = 0;
    if (old) {
      if (TypeUsed(owner, st.name)) Raise(2303);
      id = old->id;
      Run("DELETE FROM sim$type_attrs WHERE obj_id = " + std::to_string(id));
      Run("UPDATE sim$objects SET last_ddl_time = '" + NowText() + "' WHERE obj_id = " + std::to_string(id));
    } else {
      id = AddObject(owner, st.name, "TYPE", "", "");
      Run("INSERT INTO sim$types(obj_id, owner, name, kind, oid) VALUES (" + std::to_string(id) + ", " +
          QuoteText(owner) + ", " + QuoteText(st.name) + ", 'O', randomblob(16))");
    }
    std::string kind = st.text == "OBJECT" ? "O" : st.text == "VARRAY" ? "V" : "N";
    Run("UPDATE sim$types SET kind = '" + kind + "', final = " + (st.flag ? "0" : "1") +
        ", upper_bound = " + (kind == "V" ? std::to_string(st.seqMax) : std::string("NULL")) +
        " WHERE obj_id = " + std::to_string(id));
    for (size_t i = 0; i < attrs.size(); ++i) {
      const ColumnDef& a = attrs[i];
      std::string len, prec, scale;
      Storage(a, len, prec, scale);
      Run("INSERT INTO sim$type_attrs VALUES (" + std::to_string(id) + ", " + std::to_string(i + 1) + ", " +
          (kind == "O" ? QuoteText(a.name) : std::string("NULL")) + ", " + QuoteText(a.type) + ", " +
          NamedCols(a) + ", " + len + ", " + prec + ", " + scale + ")");
    }
    Reload();
  }

  void DropType(const Statement& st) {
    std::string owner = st.owner.empty() ? s_.user : st.owner;
    const CatType* t = cat_->FindType(owner + "." + st.name);
    if (!t) Raise(4043, st.name);
    if (t->kind == 'X' || (t->owner != s_.user && !s_.dba)) Raise(1031);
    if (!st.cascade && TypeUsed(t->owner, t->name)) Raise(2303);
    std::string id = std::to_string(t->id);
    Run("DELETE FROM sim$type_attrs WHERE obj_id = " + id);
    Run("DELETE FROM sim$types WHERE obj_id = " + id);
    Run("DELETE FROM sim$objects WHERE obj_id = " + id);
    Reload();
  }

  std::string NewConstraintName() {
    int64_t n = Int("SELECT value FROM sim$meta WHERE key = 'cons_seq'", 5000) + 1;
    Run("INSERT OR REPLACE INTO sim$meta VALUES ('cons_seq', " + std::to_string(n) + ")");
    char buf[32];
    std::snprintf(buf, sizeof buf, "SYS_C%06lld", static_cast<long long>(n));
    return buf;
  }

  void ValidateDefault(const ColumnDef& c) {
    if (c.defaultText.empty()) return;
    auto e = ParseExpression(c.defaultText);
    std::vector<std::string> binds;
    TranslateFreeExpr(Ctx(s_.user, s_.dba), *e, c.defaultText, binds, nullptr, nullptr);
    if (!binds.empty()) Raise(1027);
  }

  void AddConstraint(const CatObject& table, ConstraintDef d) {
    const std::string& owner = table.owner;
    if (d.name.empty()) d.name = NewConstraintName();
    if (Int("SELECT count(*) FROM sim$constraints WHERE owner = " + QuoteText(owner) +
            " AND constraint_name = " + QuoteText(d.name)) > 0)
      Raise(2264);
    for (auto& c : d.columns)
      if (!table.Column(c)) Raise(904, QuoteIdent(c));
    std::string tbl = QuoteIdent(table.sqliteName);
    std::string full = owner + "." + d.name;
    std::string type(1, d.type == 'N' ? 'C' : d.type);
    std::string search, rOwner, rName, rule;
    if (d.type == 'P' || d.type == 'U') {
      auto it = cat_->constraints.find(table.Key());
      if (it != cat_->constraints.end()) {
        for (auto& c : it->second) {
          if (d.type == 'P' && c.type == 'P') Raise(2260);
          if ((c.type == 'P' || c.type == 'U') && c.columns == d.columns) Raise(2261);
        }
      }
      std::string cols;
      for (auto& c : d.columns) cols += (cols.empty() ? "" : ", ") + QuoteIdent(c);
      char* err = nullptr;
      if (sqlite3_exec(db_,
                       ("CREATE UNIQUE INDEX " + QuoteIdent(full) + " ON " + tbl + " (" + cols + ")").c_str(),
                       nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        throw OraError(2437, "ORA-02437: cannot validate (" + full + ") - primary key violated");
      }
      if (d.type == 'P') {
        for (auto& c : d.columns) {
          if (Int("SELECT count(*) FROM " + tbl + " WHERE " + QuoteIdent(c) + " IS NULL") > 0)
            throw OraError(2437, "ORA-02437: cannot validate (" + full + ") - primary key violated");
          Run("UPDATE sim$columns SET nullable = 'N' WHERE obj_id = " + std::to_string(table.id) +
              " AND column_name = " + QuoteText(c));
        }
      }
    } else if (d.type == 'C' || d.type == 'N') {
      if (d.type == 'N') {
        search = QuoteIdent(d.columns[0]) + " IS NOT NULL";
        Run("UPDATE sim$columns SET nullable = 'N' WHERE obj_id = " + std::to_string(table.id) +
            " AND column_name = " + QuoteText(d.columns[0]));
      } else {
        search = d.checkText;
      }
      std::string cond = TranslateTableExpr(Ctx(owner, true), table, search, QuoteIdent(table.sqliteName));
      if (Int("SELECT count(*) FROM " + tbl + " WHERE NOT (" + cond + ")") > 0)
        throw OraError(2293, "ORA-02293: cannot validate (" + full + ") - check constraint violated");
      if (d.type == 'C') {
        // the columns a check mentions
        std::string upper = search;
        for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (auto& c : table.columns)
          if (upper.find(c.name) != std::string::npos) d.columns.push_back(c.name);
        std::sort(d.columns.begin(), d.columns.end());
        d.columns.erase(std::unique(d.columns.begin(), d.columns.end()), d.columns.end());
      }
    } else if (d.type == 'R') {
      std::string ro = d.refOwner.empty() ? owner : d.refOwner;
      const CatObject* parent = cat_->Find(ro + "." + d.refTable);
      if (!parent && d.refOwner.empty()) {
        auto syn = cat_->synonyms.find(owner + "." + d.refTable);
        if (syn == cat_->synonyms.end()) syn = cat_->synonyms.find("PUBLIC." + d.refTable);
        if (syn != cat_->synonyms.end()) parent = cat_->Find(syn->second);
      }
      if (!parent || parent->type != "TABLE") Raise(942);
      if (parent->owner != s_.user && !s_.dba) Raise(1031);
      const CatConstraint* key = nullptr;
      auto it = cat_->constraints.find(parent->Key());
      if (it != cat_->constraints.end()) {
        for (auto& c : it->second) {
          if (c.type != 'P' && c.type != 'U') continue;
          if (d.refColumns.empty() ? c.type == 'P' : c.columns == d.refColumns) key = &c;
        }
      }
      if (!key || key->columns.size() != d.columns.size()) Raise(2270);
      rOwner = key->owner;
      rName = key->name;
      rule = d.cascade ? "CASCADE" : "NO ACTION";
      std::string cond;
      for (size_t i = 0; i < d.columns.size(); ++i)
        cond += (i ? " AND " : "") + QuoteIdent("P") + "." + QuoteIdent(key->columns[i]) + " = C." +
                QuoteIdent(d.columns[i]);
      std::string notNull;
      for (auto& c : d.columns) notNull += " AND C." + QuoteIdent(c) + " IS NOT NULL";
      if (Int("SELECT count(*) FROM " + tbl + " AS C WHERE 1" + notNull + " AND NOT EXISTS (SELECT 1 FROM " +
              QuoteIdent(parent->sqliteName) + " AS " + QuoteIdent("P") + " WHERE " + cond + ")") > 0)
        throw OraError(2298, "ORA-02298: cannot validate (" + full + ") - parent keys not found");
      touched_.insert(parent->Key());
    }
    Run("INSERT INTO sim$constraints(owner, constraint_name, constraint_type, table_name, search_condition, "
        "r_owner, "
        "r_constraint_name, delete_rule, generated, last_change) VALUES (" +
        QuoteText(owner) + ", " + QuoteText(d.name) + ", " + QuoteText(type) + ", " + QuoteText(table.name) +
        ", " + (search.empty() ? "NULL" : QuoteText(search)) + ", " +
        (rOwner.empty() ? "NULL" : QuoteText(rOwner)) + ", " + (rName.empty() ? "NULL" : QuoteText(rName)) +
        ", " + (rule.empty() ? "NULL" : QuoteText(rule)) + ", " +
        (d.name.rfind("SYS_C", 0) == 0 ? "'GENERATED NAME'" : "'USER NAME'") + ", '" + NowText() + "')");
    for (size_t i = 0; i < d.columns.size(); ++i)
      Run("INSERT INTO sim$cons_columns VALUES (" + QuoteText(owner) + ", " + QuoteText(d.name) + ", " +
          QuoteText(table.name) + ", " + QuoteText(d.columns[i]) + ", " + std::to_string(i + 1) + ")");
    touched_.insert(table.Key());
  }

  // Row triggers of a table: constraints, row locks and the undo log.
  void RebuildTriggers(const CatObject& t) {
    std::string base = t.owner + "." + t.name;
    for (const char* suffix : {"$bi", "$ai", "$bu", "$bd"})
      Run("DROP TRIGGER IF EXISTS " + QuoteIdent(base + suffix));
    std::string tbl = QuoteIdent(t.sqliteName);
    std::string id = std::to_string(t.id);
    std::string when = " WHEN ora_undoing() = 0 BEGIN ";
    auto raise = [](const std::string& msg) { return "SELECT RAISE(ABORT, " + QuoteText(msg) + ")"; };
    std::string path = "(\"" + t.owner + "\".\"" + t.name + "\".\"";
    std::string insChecks, updChecks, parentUpd, parentDel;
    for (auto& c : t.columns) {
      if (c.type.nullable) continue;
      insChecks += raise("ORA-01400: cannot insert NULL into " + path + c.name + "\")") + " WHERE NEW." +
                   QuoteIdent(c.name) + " IS NULL; ";
      updChecks += raise("ORA-01407: cannot update " + path + c.name + "\") to NULL") + " WHERE NEW." +
                   QuoteIdent(c.name) + " IS NULL; ";
    }
    auto own = cat_->constraints.find(t.Key());
    if (own != cat_->constraints.end()) {
      for (auto& c : own->second) {
        std::string full = c.owner + "." + c.name;
        if (c.type == 'C') {
          std::string cond = TranslateTableExpr(Ctx(t.owner, true), t, c.check, "NEW");
          std::string chk =
              raise("ORA-02290: check constraint (" + full + ") violated") + " WHERE NOT (" + cond + "); ";
          insChecks += chk;
          updChecks += chk;
        } else if (c.type == 'R') {
          const CatConstraint* key = cat_->FindConstraint(c.refOwner, c.refName);
          if (!key) continue;
          const CatObject* parent = cat_->Find(key->owner + "." + key->table);
          if (!parent) continue;
          std::string nn, match;
          for (size_t i = 0; i < c.columns.size() && i < key->columns.size(); ++i) {
            nn += " AND NEW." + QuoteIdent(c.columns[i]) + " IS NOT NULL";
            match += std::string(i ? " AND " : "") + "P." + QuoteIdent(key->columns[i]) + " = NEW." +
                     QuoteIdent(c.columns[i]);
          }
          std::string chk =
              raise("ORA-02291: integrity constraint (" + full + ") violated - parent key not found") +
              " WHERE 1" + nn + " AND NOT EXISTS (SELECT 1 FROM " + QuoteIdent(parent->sqliteName) +
              " AS P WHERE " + match + "); ";
          insChecks += chk;
          updChecks += chk;
        }
      }
    }
    // foreign keys of other tables that reference this one
    for (auto& [key, list] : cat_->constraints) {
      for (auto& c : list) {
        if (c.type != 'R') continue;
        const CatConstraint* k = cat_->FindConstraint(c.refOwner, c.refName);
        if (!k || k->owner != t.owner || k->table != t.name) continue;
        const CatObject* child = cat_->Find(c.owner + "." + c.table);
        if (!child) continue;
        std::string match, changed;
        for (size_t i = 0; i < c.columns.size() && i < k->columns.size(); ++i) {
          match += std::string(i ? " AND " : "") + "C." + QuoteIdent(c.columns[i]) + " = OLD." +
                   QuoteIdent(k->columns[i]);
          changed += std::string(i ? " OR " : "") + "OLD." + QuoteIdent(k->columns[i]) + " IS NOT NEW." +
                     QuoteIdent(k->columns[i]);
        }
        std::string full = c.owner + "." + c.name;
        std::string childTbl = QuoteIdent(child->sqliteName);
        std::string found =
            raise("ORA-02292: integrity constraint (" + full + ") violated - child record found");
        parentUpd += found + " WHERE (" + changed + ") AND EXISTS (SELECT 1 FROM " + childTbl +
                     " AS C WHERE " + match + "); ";
        if (c.cascade) {
          // DELETE cannot alias its target: qualify with the table itself
          std::string del;
          for (size_t i = 0; i < c.columns.size() && i < k->columns.size(); ++i)
            del += std::string(i ? " AND " : "") + QuoteIdent(c.columns[i]) + " = OLD." +
                   QuoteIdent(k->columns[i]);
          parentDel += "DELETE FROM " + childTbl + " WHERE " + del + "; ";
        } else {
          parentDel += found + " WHERE EXISTS (SELECT 1 FROM " + childTbl + " AS C WHERE " + match + "); ";
        }
      }
    }
    std::string lock = "INSERT OR IGNORE INTO sim$locks(obj_id, rid, sid) VALUES (" + id +
                       ", OLD.rowid, ora_sid()); " +
                       "SELECT ora_lock_conflict(sid) FROM sim$locks WHERE obj_id = " + id +
                       " AND rid = OLD.rowid AND sid <> ora_sid(); ";
    std::string pack = "ora_pack(";
    for (size_t i = 0; i < t.columns.size(); ++i)
      pack += (i ? ", OLD." : "OLD.") + QuoteIdent(t.columns[i].name);
    pack += ")";
    if (t.columns.empty()) pack = "NULL";
    auto undo = [&](const char* op, const std::string& rid, const std::string& vals) {
      return "INSERT INTO sim$undo(sid, obj_id, op, rid, vals) VALUES (ora_sid(), " + id + ", '" + op +
             "', " + rid + ", " + vals + "); ";
    };
    if (!insChecks.empty())
      Run("CREATE TRIGGER " + QuoteIdent(base + "$bi") + " BEFORE INSERT ON " + tbl + when + insChecks +
          "END");
    Run("CREATE TRIGGER " + QuoteIdent(base + "$ai") + " AFTER INSERT ON " + tbl + when +
        "INSERT OR IGNORE INTO sim$locks(obj_id, rid, sid) VALUES (" + id + ", NEW.rowid, ora_sid()); " +
        undo("I", "NEW.rowid", "NULL") + "END");
    Run("CREATE TRIGGER " + QuoteIdent(base + "$bu") + " BEFORE UPDATE ON " + tbl + when + lock + updChecks +
        parentUpd + undo("U", "OLD.rowid", pack) + "END");
    Run("CREATE TRIGGER " + QuoteIdent(base + "$bd") + " BEFORE DELETE ON " + tbl + when + lock + parentDel +
        undo("D", "OLD.rowid", pack) + "END");
  }

  void RebuildTouched() {
    Reload();
    for (auto& key : touched_) {
      const CatObject* t = cat_->Find(key);
      if (t && t->type == "TABLE" && !t->systemView) RebuildTriggers(*t);
    }
  }

  const CatObject& OwnTable(const std::string& ownerIn, const std::string& name) {
    std::string owner = ownerIn.empty() ? s_.user : ownerIn;
    const CatObject* t = cat_->Find(owner + "." + name);
    if (!t && ownerIn.empty()) {
      auto syn = cat_->synonyms.find(owner + "." + name);
      if (syn == cat_->synonyms.end()) syn = cat_->synonyms.find("PUBLIC." + name);
      if (syn != cat_->synonyms.end()) t = cat_->Find(syn->second);
    }
    if (!t || t->type != "TABLE") Raise(942);
    if (t->systemView || (t->owner != s_.user && !s_.dba)) Raise(1031);
    // another session's uncommitted changes keep the table busy
    if (Int("SELECT count(*) FROM sim$undo WHERE obj_id = " + std::to_string(t->id) + " AND sid <> " +
            std::to_string(s_.sid)) > 0)
      Raise(54);
    return *t;
  }

  void CreateTable(const Statement& st) {
    std::string owner = OwnerFor(st.owner);
    if (Exists(owner, st.table)) Raise(955);
    std::vector<ColumnDef> cols = st.columnDefs;
    if (st.query) Raise(3001);  // CREATE TABLE ... AS SELECT is not offered
    std::string ofType;
    if (!st.ofType.empty()) {
      const CatType* t = cat_->ResolveType(st.ofOwner, st.ofType, s_.user);
      if (!t || t->kind != 'O') Raise(902);
      ofType = t->Key();
      cols.clear();
      for (auto& a : t->attrs) cols.push_back(FromAttr(a));
      for (auto& d : st.constraints)
        for (auto& c : cols)
          if (d.type == 'N' && d.columns == std::vector<std::string>{c.name}) c.notNull = true;
    }
    std::set<std::string> seen;
    for (auto& c : cols) {
      if (!seen.insert(c.name).second) Raise(957);
      ResolveNamed(c);
      ValidateDefault(c);
    }
    if (cols.empty()) Raise(904, "\"\"");
    std::string sqliteName = owner + "." + st.table;
    int64_t obj = AddObject(owner, st.table, "TABLE", sqliteName, "");
    if (!ofType.empty())
      Run("UPDATE sim$objects SET of_type = " + QuoteText(ofType) + " WHERE obj_id = " + std::to_string(obj));
    std::string ddl = "CREATE TABLE " + QuoteIdent(sqliteName) + " (rid_ INTEGER PRIMARY KEY AUTOINCREMENT";
    for (size_t i = 0; i < cols.size(); ++i) {
      ddl += ", " + QuoteIdent(cols[i].name) + " " + Affinity(cols[i]);
      AddColumnRow(obj, static_cast<int>(i) + 1, cols[i]);
    }
    Run(ddl + ")");
    Reload();
    const CatObject* t = cat_->Find(owner + "." + st.table);
    for (auto& c : cols) {
      if (!c.notNull) continue;
      bool named = false;
      for (auto& d : st.constraints)
        if (d.type == 'N' && d.columns == std::vector<std::string>{c.name}) named = true;
      if (!named) {
        ConstraintDef d;
        d.type = 'N';
        d.columns = {c.name};
        AddConstraint(*t, d);
      }
    }
    for (auto& d : st.constraints) {
      AddConstraint(*t, d);
      Reload();
      t = cat_->Find(owner + "." + st.table);
    }
    touched_.insert(owner + "." + st.table);
    RebuildTouched();
  }

  void DropTable(const Statement& st) {
    const CatObject& t = OwnTable(st.owner, st.table);
    std::string key = t.Key();
    int64_t id = t.id;
    std::string sqliteName = t.sqliteName;
    std::string owner = t.owner, name = t.name;
    // foreign keys of other tables that point here
    std::vector<std::pair<std::string, std::string>> refs;
    for (auto& [k, list] : cat_->constraints)
      for (auto& c : list) {
        if (c.type != 'R' || k == key) continue;
        const CatConstraint* pk = cat_->FindConstraint(c.refOwner, c.refName);
        if (pk && pk->owner == owner && pk->table == name) refs.emplace_back(c.owner, c.name);
      }
    if (!refs.empty() && !st.cascade) Raise(2449);
    for (auto& [o, n] : refs) {
      const CatConstraint* c = cat_->FindConstraint(o, n);
      if (c) touched_.insert(c->owner + "." + c->table);
      Run("DELETE FROM sim$cons_columns WHERE owner = " + QuoteText(o) +
          " AND constraint_name = " + QuoteText(n));
      Run("DELETE FROM sim$constraints WHERE owner = " + QuoteText(o) +
          " AND constraint_name = " + QuoteText(n));
    }
    // keys this table references: their triggers lose the child check
    auto own = cat_->constraints.find(key);
    if (own != cat_->constraints.end())
      for (auto& c : own->second)
        if (c.type == 'R')
          if (auto pk = cat_->FindConstraint(c.refOwner, c.refName))
            touched_.insert(pk->owner + "." + pk->table);
    Run("DELETE FROM sim$cons_columns WHERE owner = " + QuoteText(owner) +
        " AND table_name = " + QuoteText(name));
    Run("DELETE FROM sim$constraints WHERE owner = " + QuoteText(owner) +
        " AND table_name = " + QuoteText(name));
    Run("DELETE FROM sim$columns WHERE obj_id = " + std::to_string(id));
    Run("DELETE FROM sim$objects WHERE obj_id = " + std::to_string(id));
    Run("DELETE FROM sim$undo WHERE obj_id = " + std::to_string(id));
    Run("DELETE FROM sim$locks WHERE obj_id = " + std::to_string(id));
    Run("DROP TABLE " + QuoteIdent(sqliteName));
    touched_.erase(key);
    RebuildTouched();
  }

  void AlterTableAdd(const Statement& st) {
    const CatObject& t0 = OwnTable(st.owner, st.table);
    std::string key = t0.Key();
    int64_t obj = t0.id;
    std::string sqliteName = t0.sqliteName;
    int next = static_cast<int>(t0.columns.size());
    int64_t rows = Int("SELECT count(*) FROM " + QuoteIdent(sqliteName));
    for (ColumnDef c : st.columnDefs) {
      if (cat_->Find(key)->Column(c.name)) Raise(1430);
      ResolveNamed(c);
      ValidateDefault(c);
      if (c.notNull && rows > 0 && c.defaultText.empty()) Raise(1758);
      Run("ALTER TABLE " + QuoteIdent(sqliteName) + " ADD COLUMN " + QuoteIdent(c.name) + " " + Affinity(c));
      AddColumnRow(obj, ++next, c);
      Reload();
      if (!c.defaultText.empty() && rows > 0) {
        const CatObject* t = cat_->Find(key);
        auto e = ParseExpression(c.defaultText);
        std::vector<std::string> binds;
        SqlType type;
        std::string v = TranslateFreeExpr(Ctx(s_.user, s_.dba), *e, c.defaultText, binds, &type, nullptr);
        s_.env.undoing = true;
        try {
          Run("UPDATE " + QuoteIdent(sqliteName) + " SET " + QuoteIdent(c.name) + " = " +
              CoerceTo(v, type, t->Column(c.name)->type));
        } catch (...) {
          s_.env.undoing = false;
          throw;
        }
        s_.env.undoing = false;
      }
      if (c.notNull) {
        ConstraintDef d;
        d.type = 'N';
        d.columns = {c.name};
        bool named = false;
        for (auto& x : st.constraints)
          if (x.type == 'N' && x.columns == d.columns) named = true;
        if (!named) AddConstraint(*cat_->Find(key), d);
        Reload();
      }
    }
    for (auto& d : st.constraints) {
      Reload();
      AddConstraint(*cat_->Find(key), d);
    }
    touched_.insert(key);
    RebuildTouched();
  }

  void CreateSequence(const Statement& st) {
    std::string owner = OwnerFor(st.owner);
    if (Exists(owner, st.name)) Raise(955);
    int64_t obj = AddObject(owner, st.name, "SEQUENCE", "", "");
    long long inc = st.seqIncrement == 0 ? 1 : st.seqIncrement;
    long long mn = st.seqHasMin ? st.seqMin : (inc > 0 ? 1 : -999999999999999999LL);
    long long mx = st.seqHasMax ? st.seqMax : (inc > 0 ? 999999999999999999LL : -1);
    long long start = st.seqStart;
    if (start < mn || start > mx) throw OraError(4006, "ORA-04006: START WITH cannot be less than MINVALUE");
    Run("INSERT INTO sim$sequences VALUES (" + std::to_string(obj) + ", " + QuoteText(owner) + ", " +
        QuoteText(st.name) + ", " + std::to_string(mn) + ", " + std::to_string(mx) + ", " +
        std::to_string(inc) + ", " + (st.seqCycle ? "1" : "0") + ", " + std::to_string(st.seqCache) + ", " +
        std::to_string(start) + ")");
    Reload();
  }

  void DropSequence(const Statement& st) {
    std::string owner = st.owner.empty() ? s_.user : st.owner;
    const CatObject* o = cat_->Find(owner + "." + st.name);
    if (!o || o->type != "SEQUENCE") Raise(2289);
    if (o->owner != s_.user && !s_.dba) Raise(1031);
    Run("DELETE FROM sim$sequences WHERE obj_id = " + std::to_string(o->id));
    Run("DELETE FROM sim$objects WHERE obj_id = " + std::to_string(o->id));
    Reload();
  }

  // Directories name folders of the server's file system for BFILE values; they belong to SYS.
  void CreateDirectory(const Statement& st) {
    if (!s_.dba) Raise(1031);
    bool exists = Int("SELECT count(*) FROM sim$directories WHERE name = " + QuoteText(st.name)) > 0;
    if (exists && !st.orReplace) Raise(955);
    Run("INSERT OR REPLACE INTO sim$directories(name, path) VALUES (" + QuoteText(st.name) + ", " +
        QuoteText(st.text) + ")");
  }

  void CreateSynonym(const Statement& st) {
    std::string owner = st.isPublic ? "PUBLIC" : OwnerFor(st.owner);
    if (st.isPublic && !s_.dba) Raise(1031);
    bool exists = Int("SELECT count(*) FROM sim$synonyms WHERE owner = " + QuoteText(owner) +
                      " AND synonym_name = " + QuoteText(st.name)) > 0;
    if (exists && !st.orReplace) Raise(955);
    if (!exists && Exists(owner, st.name)) Raise(955);
    if (exists) {
      Run("DELETE FROM sim$synonyms WHERE owner = " + QuoteText(owner) +
          " AND synonym_name = " + QuoteText(st.name));
      Run("DELETE FROM sim$objects WHERE owner = " + QuoteText(owner) + " AND name = " + QuoteText(st.name));
    }
    std::string tOwner = st.text.empty() ? s_.user : st.text;
    AddObject(owner, st.name, "SYNONYM", "", "");
    Run("INSERT INTO sim$synonyms VALUES (" + QuoteText(owner) + ", " + QuoteText(st.name) + ", " +
        QuoteText(tOwner) + ", " + QuoteText(st.table) + ")");
    Reload();
  }

  void DropSynonym(const Statement& st) {
    std::string owner = st.isPublic ? "PUBLIC" : (st.owner.empty() ? s_.user : st.owner);
    if ((st.isPublic || owner != s_.user) && !s_.dba) Raise(1031);
    if (Int("SELECT count(*) FROM sim$synonyms WHERE owner = " + QuoteText(owner) +
            " AND synonym_name = " + QuoteText(st.name)) == 0) {
      if (st.isPublic) throw OraError(1432, "ORA-01432: public synonym to be dropped does not exist");
      throw OraError(1434, "ORA-01434: private synonym to be dropped does not exist");
    }
    Run("DELETE FROM sim$synonyms WHERE owner = " + QuoteText(owner) +
        " AND synonym_name = " + QuoteText(st.name));
    Run("DELETE FROM sim$objects WHERE owner = " + QuoteText(owner) + " AND name = " + QuoteText(st.name));
    Reload();
  }

  void CreateView(const Statement& st) {
    std::string owner = OwnerFor(st.owner);
    const CatObject* old = cat_->Find(owner + "." + st.name);
    if (old) {
      if (!st.orReplace || old->type != "VIEW") Raise(955);
      Run("DELETE FROM sim$columns WHERE obj_id = " + std::to_string(old->id));
      Run("DELETE FROM sim$objects WHERE obj_id = " + std::to_string(old->id));
    }
    auto tr = Translate(Ctx(owner, s_.dba || owner == s_.user), st.text);
    if (tr->kind != StmtKind::Select || !tr->bindNames.empty()) Raise(1027);
    int64_t obj = AddObject(owner, st.name, "VIEW", "", st.text);
    int id = 0;
    for (size_t i = 0; i < tr->columns.size(); ++i) {
      const ColumnDesc& d = tr->columns[i];
      const SqlType& t = tr->columnTypes[i];
      ColumnDef c;
      c.name = d.name;
      c.type = t.ty == Ty::Number  ? "NUMBER"
               : t.ty == Ty::Date  ? "DATE"
               : t.ty == Ty::Char  ? "CHAR"
               : t.ty == Ty::Raw   ? "RAW"
               : t.ty == Ty::Rowid ? "ROWID"
                                   : "VARCHAR2";
      c.size = t.size;
      if (t.IsNamed()) {
        auto dot = t.typeName.find('.');
        c.named = true;
        c.isRef = t.ty == Ty::Ref;
        c.typeOwner = t.typeName.substr(0, dot);
        c.type = t.typeName.substr(dot + 1);
      }
      c.hasPrecision = t.ty == Ty::Number && !(t.precision == 0 && t.scale == -127);
      c.precision = t.precision;
      c.scale = t.scale;
      c.notNull = !t.nullable;
      AddColumnRow(obj, ++id, c);
    }
    Reload();
  }

  void DropView(const Statement& st) {
    std::string owner = st.owner.empty() ? s_.user : st.owner;
    const CatObject* o = cat_->Find(owner + "." + st.name);
    if (!o || o->type != "VIEW" || o->systemView) Raise(942);
    if (o->owner != s_.user && !s_.dba) Raise(1031);
    Run("DELETE FROM sim$columns WHERE obj_id = " + std::to_string(o->id));
    Run("DELETE FROM sim$objects WHERE obj_id = " + std::to_string(o->id));
    Reload();
  }

  void Users(const Statement& st) {
    if (st.kind == Statement::CreateUser) {
      if (!s_.dba) Raise(1031);
      if (cat_->users.count(st.name)) Raise(1920, st.name);
      Run("INSERT INTO sim$users(user_id, username, password, dba, account_status, created) VALUES ((SELECT "
          "max(user_id) + 1 FROM sim$users), " +
          QuoteText(st.name) + ", " + QuoteText(st.text) + ", 0, " + (st.flag ? "'EXPIRED'" : "'OPEN'") +
          ", '" + NowText() + "')");
    } else if (st.kind == Statement::AlterUser) {
      if (!s_.dba && st.name != s_.user) Raise(1031);
      if (!cat_->users.count(st.name)) Raise(1918, st.name);
      if (!st.text.empty())
        Run("UPDATE sim$users SET password = " + QuoteText(st.text) +
            ", account_status = 'OPEN', expiry_date = NULL WHERE username = " + QuoteText(st.name));
      if (st.flag)
        Run("UPDATE sim$users SET account_status = 'EXPIRED' WHERE username = " + QuoteText(st.name));
    } else if (st.kind == Statement::DropUser) {
      if (!s_.dba) Raise(1031);
      if (!cat_->users.count(st.name)) Raise(1918, st.name);
      if (Int("SELECT count(*) FROM sim$objects WHERE owner = " + QuoteText(st.name)) > 0)
        throw OraError(1922, "ORA-01922: CASCADE must be specified to drop '" + st.name + "'");
      Run("DELETE FROM sim$users WHERE username = " + QuoteText(st.name));
    } else {
      if (!s_.dba) Raise(1031);
      std::string grantee = st.name;
      if (!cat_->users.count(grantee) && grantee != "PUBLIC") Raise(1918, grantee);
      std::string privs = " " + st.text + " ";
      bool dbaRole = privs.find(" DBA ") != std::string::npos || privs.find(" DBA,") != std::string::npos ||
                     privs.find(",DBA") != std::string::npos;
      if (dbaRole)
        Run(std::string("UPDATE sim$users SET dba = ") + (st.kind == Statement::Grant ? "1" : "0") +
            " WHERE username = " + QuoteText(grantee));
    }
    Reload();
  }

  void Truncate(const Statement& st) {
    const CatObject& t = OwnTable(st.owner, st.table);
    s_.env.undoing = true;
    try {
      Run("DELETE FROM " + QuoteIdent(t.sqliteName));
    } catch (...) {
      s_.env.undoing = false;
      throw;
    }
    s_.env.undoing = false;
  }
};

}  // namespace

void SessionState::ExecuteDdl(const Statement& st) {
  EndTransaction(true);  // DDL commits what the session has done
  BeginWrite();
  try {
    Ddl d(*this);
    d.cat_ = CurrentCatalog();
    switch (st.kind) {
      case Statement::CreateTable:
        d.CreateTable(st);
        break;
      case Statement::DropTable:
        d.DropTable(st);
        break;
      case Statement::AlterTableAdd:
        d.AlterTableAdd(st);
        break;
      case Statement::CreateSequence:
        d.CreateSequence(st);
        break;
      case Statement::DropSequence:
        d.DropSequence(st);
        break;
      case Statement::CreateType:
        d.CreateType(st);
        break;
      case Statement::DropType:
        d.DropType(st);
        break;
      case Statement::CreateSynonym:
        d.CreateSynonym(st);
        break;
      case Statement::CreateDirectory:
        d.CreateDirectory(st);
        break;
      case Statement::DropSynonym:
        d.DropSynonym(st);
        break;
      case Statement::CreateView:
        d.CreateView(st);
        break;
      case Statement::DropView:
        d.DropView(st);
        break;
      case Statement::CreateUser:
      case Statement::AlterUser:
      case Statement::DropUser:
      case Statement::Grant:
      case Statement::Revoke:
        d.Users(st);
        break;
      case Statement::Truncate:
        d.Truncate(st);
        break;
      default:
        Raise(900);
    }
  } catch (...) {
    RollbackWrite();
    InstanceState& is = instance->State();
    std::lock_guard<std::mutex> lock(is.mu);
    is.catalog.reset();
    is.cache.clear();
    throw;
  }
  CommitWrite();
}

void SessionState::LockTable(const Statement& st) {
  // The modes of LOCK TABLE by their words, as v$lock numbers them.
  static const std::pair<const char*, int> kModes[] = {
      {"ROW SHARE", 2}, {"SHARE UPDATE", 2},        {"ROW EXCLUSIVE", 3},
      {"SHARE", 4},     {"SHARE ROW EXCLUSIVE", 5}, {"EXCLUSIVE", 6},
  };
  int mode = 0;
  for (const auto& [words, number] : kModes)
    if (st.text == words) mode = number;
  if (!mode) Raise(905);
  auto cat = CurrentCatalog();
  const std::string owner = st.owner.empty() ? user : st.owner;
  const CatObject* t = cat->Find(owner + "." + st.table);
  if (!t || t->type != "TABLE") Raise(942);
  if (t->owner != user && !dba) Raise(1031);
  const std::string id = std::to_string(t->id), me = std::to_string(sid);
  // a mode that conflicts with another session's table lock: only NOWAIT is answered (ORA-00054)
  const bool shared = mode == 2 || mode == 4;
  if (PreparedScalar("SELECT count(*) FROM sim$tmlocks WHERE obj_id = ? AND sid <> ? AND lmode >= ?",
                     {t->id, sid, shared ? 5 : 1}) > 0)
    Raise(54);
  BeginWrite();
  try {
    Exec(db, "INSERT INTO sim$tmlocks(sid, obj_id, lmode) VALUES (" + me + ", " + id + ", " +
                 std::to_string(mode) +
                 ") ON CONFLICT(sid, obj_id) DO UPDATE SET lmode = max(lmode, excluded.lmode)");
  } catch (...) {
    RollbackWrite();
    throw;
  }
  CommitWrite();
}

void SessionState::ExecuteOther(const Statement& st) {
  switch (st.kind) {
    case Statement::Commit:
      EndTransaction(true);
      return;
    case Statement::Rollback:
      if (st.name.empty())
        EndTransaction(false);
      else
        RollbackTo(st.name);
      return;
    case Statement::Savepoint:
      SetSavepoint(st.name);
      return;
    case Statement::SetTransaction:
      return;
    case Statement::LockTable:
      LockTable(st);
      return;
    case Statement::AlterSession: {
      std::string p = st.text;
      std::string v = st.value;
      if (p == "NLS_DATE_FORMAT") {
        FormatDate(DateTime{2000, 1, 1, 0, 0, 0, 0}, v);  // validates the mask
        env.nlsDateFormat = v;
      } else if (p == "SQL_TRACE") {
        BeginWrite();
        Exec(db, std::string("UPDATE sim$sessions SET sql_trace = ") + (v == "TRUE" ? "1" : "0") +
                     " WHERE sid = " + std::to_string(sid));
        CommitWrite();
      } else if (p == "CURRENT_SCHEMA") {
        auto cat = CurrentCatalog();
        if (!cat->users.count(v)) Raise(1435);
        user = v;
        env.user = v;
      } else if (p.rfind("NLS_", 0) == 0 || p == "OPTIMIZER_GOAL" || p == "OPTIMIZER_MODE" ||
                 p == "ISOLATION_LEVEL" || p == "TIMED_STATISTICS" || p == "CURSOR_SHARING" ||
                 p == "EVENTS" || p == "SORT_AREA_SIZE" || p == "HASH_AREA_SIZE" ||
                 p == "SKIP_UNUSABLE_INDEXES") {
      } else {
        throw OraError(2248, "ORA-02248: invalid option for ALTER SESSION");
      }
      return;
    }
    case Statement::AlterSystem: {
      if (!dba) Raise(1031);
      std::string t = st.text;
      std::string up = t;
      for (auto& ch : up) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (up.rfind("ENABLE RESTRICTED SESSION", 0) == 0 || up.rfind("DISABLE RESTRICTED SESSION", 0) == 0) {
        BeginWrite();
        Exec(db, std::string("INSERT OR REPLACE INTO sim$meta VALUES ('restricted', ") +
                     (up[0] == 'E' ? "1" : "0") + ")");
        CommitWrite();
        return;
      }
      // DISCONNECT SESSION ends the session's connection: its next call sees end-of-file (ORA-03113).
      bool disconnect = up.rfind("DISCONNECT SESSION", 0) == 0;
      if (up.rfind("KILL SESSION", 0) == 0 || disconnect) {
        auto q1 = t.find('\''), q2 = t.rfind('\'');
        if (q1 == std::string::npos || q2 <= q1)
          throw OraError(26, "ORA-00026: missing or invalid session ID");
        std::string pair = t.substr(q1 + 1, q2 - q1 - 1);
        auto comma = pair.find(',');
        if (comma == std::string::npos) throw OraError(26, "ORA-00026: missing or invalid session ID");
        int ksid = static_cast<int>(ParseIntClamped(pair.substr(0, comma), 0, 1 << 30));
        int kserial = static_cast<int>(ParseIntClamped(pair.substr(comma + 1), 0, 1 << 30));
        if (ksid == sid) throw OraError(27, "ORA-00027: cannot kill current session");
        // The pair is checked in the transaction that ends it, so that a session that took the SID
        // meanwhile is never reached. A session in the middle of a call is marked and ends at its
        // next call (ORA-00031).
        bool busy = false;
        BeginWrite();
        try {
          busy = live::CheckKillTarget(db, ksid, kserial);
          RollbackUndo(ksid, 0);
          for (const char* table : {"sim$undo", "sim$locks", "sim$tmlocks"})
            PreparedScalar(std::string("DELETE FROM ") + table + " WHERE sid = ?", {ksid});
          PreparedScalar(
              "UPDATE sim$sessions SET killed = ?3, status = 'KILLED' WHERE sid = ?1 AND serial = ?2",
              {ksid, kserial, disconnect ? 2 : 1});
          changedOnCommit = true;
        } catch (...) {
          RollbackWrite();
          throw;
        }
        CommitWrite();
        if (busy && !disconnect) Raise(31);
        return;
      }
      throw OraError(2065, "ORA-02065: illegal option for ALTER SYSTEM");
    }
    default:
      Raise(900);
  }
}

}  // namespace oracle_sim
