// Oracle SQL -> SQLite SQL: name resolution against the catalog, expression typing, Oracle's
// implicit conversions, (+) outer joins, ROWNUM limits and the select list's describe data.
#include "oracle_sim/engine/Translator.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Functions.h"
#include "oracle_sim/engine/Parser.h"

namespace oracle_sim {

std::string QuoteIdent(const std::string& name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '\0' || c == '\x01') continue;  // SQLite's tokenizer stops at NUL; names never hold one
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

std::string QuoteText(const std::string& text) {
  if (text.find('\0') != std::string::npos || text.find('\x01') != std::string::npos) {
    // SQLite's tokenizer stops at a NUL byte: such a literal goes in as hexadecimal
    static const char* h = "0123456789ABCDEF";
    std::string r = "CAST(X'";
    for (unsigned char c : text) {
      r += h[c >> 4];
      r += h[c & 15];
    }
    return r + "' AS TEXT)";
  }
  std::string r = "'";
  for (char c : text) {
    if (c == '\'') r += '\'';
    r += c;
  }
  return r + "'";
}

namespace {

// The most arguments a function call takes: DECODE's 255 parts are the server's own limit; any
// other call becomes one SQLite call, which takes 127 at most (a few are kept for what we add).
constexpr size_t kMostDecodeArguments = 255;
constexpr size_t kMostCallArguments = 120;

std::string Num(const std::string& sql, const SqlType& t) {
  if (t.IsNumber()) return sql;
  return "ora_to_number(" + sql + ")";
}
std::string Txt(const std::string& sql, const SqlType& t) {
  if (t.IsDate()) return "ora_date_text(" + sql + ")";
  if (t.IsRaw()) return "ora_rawtohex(" + sql + ")";
  return sql;
}
std::string DateOf(const std::string& sql, const SqlType& t) {
  if (t.IsDate()) return sql;
  return "ora_to_date(" + sql + ")";
}

// Converts `b` so that it compares with a value of type `ta`.
std::string ToComparable(const std::string& b, const SqlType& tb, const SqlType& ta) {
  if (ta.unknown || tb.ty == ta.ty) return b;
  if (ta.IsNumber() && !tb.IsNumber() && !(tb.unknown && b == "NULL")) return "ora_to_number(" + b + ")";
  if (ta.IsDate() && !tb.IsDate() && b != "NULL") return "ora_to_date(" + b + ")";
  if (ta.IsRaw() && !tb.IsRaw() && b != "NULL") return "ora_hextoraw(" + b + ")";
  return b;
}

SqlType ResultText(int size) {
  return SqlType::Varchar(size <= 0 ? 4000 : std::min(size, 4000));
}

struct Source {
  std::string alias;     // name that qualifies columns (alias, else table name)
  std::string owner;     // for owner.table.column
  std::string sqlAlias;  // T1, T2 ... (or NEW in triggers)
  std::string fromSql;   // what stands in FROM
  const CatObject* obj = nullptr;
  std::vector<std::pair<std::string, SqlType>> cols;
  FromItem::Join join = FromItem::Comma;
  const Expr* on = nullptr;
};

struct Scope {
  std::vector<Source> sources;
  Scope* parent = nullptr;
};

struct OutCol {
  std::string name;
  SqlType type;
  std::string schema, table;
};

class Tx {
 public:
  Tx(const TranslateContext& ctx, std::vector<std::string>& binds) : ctx_(ctx), binds_(binds) {}

  const TranslateContext& ctx_;
  std::vector<std::string>& binds_;
  std::string sqlText_;
  int aliasCounter_ = 0;
  bool bareColumns_ = false;
  bool writes_ = false;
  bool fixedBinds_ = false;  // bind list computed from the tokens: unknown names are an error
  std::function<bool(const Expr&, std::string&, SqlType&)> nameHook_;

  [[noreturn]] void Invalid(const std::string& quotedName, int pos) { Raise(904, quotedName, pos); }

  int BindIndex(const std::string& name) {
    for (size_t i = 0; i < binds_.size(); ++i)
      if (binds_[i] == name) return static_cast<int>(i) + 1;
    binds_.push_back(name);
    return static_cast<int>(binds_.size());
  }

  // ---- objects
  const CatObject* ResolveObject(const std::string& owner, const std::string& name, int pos,
                                 bool forWrite = false) {
    const Catalog& cat = *ctx_.catalog;
    const CatObject* obj = nullptr;
    auto follow = [&](const std::string& key) -> const CatObject* {
      std::string k = key;
      for (int depth = 0; depth < 8; ++depth) {
        if (auto o = cat.Find(k)) return o;
        auto s = cat.synonyms.find(k);
        if (s == cat.synonyms.end()) return nullptr;
        k = s->second;
      }
      return nullptr;
    };
    if (!owner.empty()) {
      obj = follow(owner + "." + name);
    } else {
      obj = follow(ctx_.user + "." + name);
      if (!obj) obj = follow("PUBLIC." + name);
    }
    if (!obj) Raise(942, "", pos);
    if (obj->dbaOnly && !ctx_.dba) Raise(942, "", pos);
    if (obj->owner != ctx_.user && !ctx_.dba && !obj->systemView) Raise(942, "", pos);
    if (forWrite && obj->systemView) Raise(1031, "", pos);
    return obj;
  }

  // ---- scopes
  Source TableSource(const CatObject* obj, const std::string& alias, const std::string& owner) {
    Source s;
    s.obj = obj;
    s.alias = alias.empty() ? obj->name : alias;
    s.owner = alias.empty() ? owner : "";
    s.sqlAlias = "T" + std::to_string(++aliasCounter_);
    for (auto& c : obj->columns) s.cols.emplace_back(c.name, c.type);
    if (obj->type == "VIEW" && !obj->systemView) {
      // A user view reads as the inline view of its text, resolved in its owner's schema.
      TranslateContext vctx = ctx_;
      vctx.user = obj->owner;
      vctx.dba = true;
      Tx inner(vctx, binds_);
      inner.sqlText_ = obj->viewText;
      inner.aliasCounter_ = aliasCounter_ + 100;
      auto toks = Tokenize(obj->viewText);
      auto st = ParseStatement(obj->viewText, toks);
      std::vector<OutCol> cols;
      s.fromSql = "(" + inner.EmitQuery(*st->query, nullptr, &cols, false) + ")";
      aliasCounter_ = inner.aliasCounter_;
      tables_.insert(inner.tables_.begin(), inner.tables_.end());
      writes_ = writes_ || inner.writes_;
      s.cols.clear();
      for (size_t i = 0; i < cols.size(); ++i) {
        SqlType t = cols[i].type;
        if (i < obj->columns.size()) t = obj->columns[i].type;
        s.cols.emplace_back(cols[i].name, t);
      }
    } else {
      s.fromSql = TableMarker(obj);
    }
    return s;
  }

  void BuildScope(const Select& sel, Scope& sc) {
    for (auto& f : sel.from) {
      Source s;
      if (f.sub) {
        std::vector<OutCol> cols;
        s.fromSql = "(" + EmitQuery(*f.sub, nullptr, &cols, false) + ")";
        s.alias = f.alias;
        s.sqlAlias = "T" + std::to_string(++aliasCounter_);
        for (auto& c : cols) s.cols.emplace_back(c.name, c.type);
      } else {
        const CatObject* obj = ResolveObject(f.owner, f.name, f.pos);
        if (obj->type == "SEQUENCE") Raise(942, "", f.pos);
        s = TableSource(obj, f.alias, f.owner.empty() ? obj->owner : f.owner);
        if (f.alias.empty()) s.alias = f.name;
      }
      s.join = f.join;
      s.on = f.on.get();
      sc.sources.push_back(std::move(s));
    }
  }

  // Finds the column `parts` in scope `sc` or its parents.
  bool FindColumn(const std::vector<std::string>& parts, Scope* sc, const Source*& src, const SqlType*& type,
                  const std::string*& colName, int pos) {
    const std::string& col = parts.back();
    for (Scope* s = sc; s; s = s->parent) {
      const Source* hit = nullptr;
      const std::pair<std::string, SqlType>* hitCol = nullptr;
      int count = 0;
      for (auto& source : s->sources) {
        if (parts.size() == 2 && source.alias != parts[0]) continue;
        if (parts.size() == 3 &&
            (source.alias != parts[1] || (source.owner != parts[0] && !source.owner.empty())))
          continue;
        if (parts.size() == 3 && source.owner.empty()) continue;
        for (auto& c : source.cols) {
          if (c.first == col) {
            if (hit != &source) ++count;
            hit = &source;
            hitCol = &c;
          }
        }
      }
      if (count > 1) Raise(918, "", pos);
      if (hit) {
        src = hit;
        type = &hitCol->second;
        colName = &hitCol->first;
        return true;
      }
    }
    return false;
  }

  const Source* FindSource(const std::string& qualifier, Scope* sc, int pos) {
    for (Scope* s = sc; s; s = s->parent) {
      if (qualifier.empty()) {
        if (s->sources.size() == 1) return &s->sources[0];
        if (s->sources.size() > 1) Raise(918, "", pos);
        continue;
      }
      for (auto& source : s->sources)
        if (source.alias == qualifier) return &source;
    }
    return nullptr;
  }

  static std::string QuotedPath(const std::vector<std::string>& parts) {
    std::string r;
    for (size_t i = 0; i < parts.size(); ++i) r += (i ? "." : "") + QuoteIdent(parts[i]);
    return r;
  }

  // ---- expressions
  std::string Emit(const Expr& e, Scope* sc, SqlType& ty) {
    switch (e.kind) {
      case Expr::Null:
        ty = SqlType::Unknown();
        return "NULL";
      case Expr::Number:
        ty = SqlType::Number();
        return e.text;
      case Expr::String: {
        ty.ty = Ty::Char;
        ty.unknown = false;
        ty.size = static_cast<int>(e.text.size());
        ty.nullable = false;
        return QuoteText(e.text);
      }
      case Expr::Bind: {
        ty = SqlType::Unknown();
        std::string out;
        if (nameHook_ && nameHook_(e, out, ty)) return out;
        if (fixedBinds_ && std::find(binds_.begin(), binds_.end(), e.text) == binds_.end())
          Raise(1036, "", e.pos);
        return "?" + std::to_string(BindIndex(e.text));
      }
      case Expr::Column:
        return EmitColumn(e, sc, ty);
      case Expr::Star:
        Raise(936, "", e.pos);
      case Expr::Pseudo:
        return EmitPseudo(e, sc, ty);
      case Expr::Sequence: {
        if (bareColumns_ || !allowSequence_) Raise(2287, "", e.pos);
        const CatObject* seq =
            ResolveObject(e.parts.size() > 1 ? e.parts[0] : std::string(), e.parts.back(), e.pos);
        if (seq->type != "SEQUENCE") Raise(2289, "", e.pos);
        ty = SqlType::Number();
        if (e.text == "NEXTVAL") {
          writes_ = true;
          return "ora_nextval(" + std::to_string(seq->id) + ")";
        }
        return "ora_currval(" + std::to_string(seq->id) + ")";
      }
      case Expr::Unary: {
        SqlType t;
        std::string a = Emit(*e.args[0], sc, t);
        if (e.text == "NOT") {
          ty = SqlType::Number();
          return "(NOT " + a + ")";
        }
        ty = SqlType::Number();
        if (e.text == "-") return "(-" + Num(a, t) + ")";
        return Num(a, t);
      }
      case Expr::Binary:
        return EmitBinary(e, sc, ty);
      case Expr::Like: {
        SqlType t0, t1;
        std::string a = Txt(Emit(*e.args[0], sc, t0), t0);
        std::string b = Txt(Emit(*e.args[1], sc, t1), t1);
        std::string r = "(" + a + (e.negated ? " NOT LIKE " : " LIKE ") + b;
        if (e.args.size() > 2) {
          SqlType t2;
          r += " ESCAPE " + Emit(*e.args[2], sc, t2);
        }
        ty = SqlType::Number();
        return r + ")";
      }
      case Expr::Between: {
        SqlType t0, t1, t2;
        std::string a = Emit(*e.args[0], sc, t0);
        std::string b = Emit(*e.args[1], sc, t1);
        std::string c = Emit(*e.args[2], sc, t2);
        if (t0.unknown) {
          a = ToComparable(a, t0, t1.unknown ? t2 : t1);
        }
        b = ToComparable(b, t1, t0);
        c = ToComparable(c, t2, t0);
        ty = SqlType::Number();
        return "(" + a + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + b + " AND " + c + ")";
      }
      case Expr::In: {
        SqlType t0;
        allowList_ = e.args[0]->kind == Expr::List;
        std::string a = Emit(*e.args[0], sc, t0);
        allowList_ = false;
        std::string r = "(" + a + (e.negated ? " NOT IN (" : " IN (");
        if (e.sub) {
          std::vector<OutCol> cols;
          r += EmitQuery(*e.sub, sc, &cols, false);
          size_t want = e.args[0]->kind == Expr::List ? e.args[0]->args.size() : 1;
          if (cols.size() != want) Raise(cols.size() < want ? 947 : 913, "", e.pos);
        } else {
          for (size_t i = 1; i < e.args.size(); ++i) {
            SqlType ti;
            if (e.args[0]->kind == Expr::List &&
                (e.args[i]->kind != Expr::List || e.args[i]->args.size() != e.args[0]->args.size()))
              Raise(920, "", e.args[i]->pos);
            allowList_ = e.args[i]->kind == Expr::List;
            std::string v = Emit(*e.args[i], sc, ti);
            allowList_ = false;
            r += (i > 1 ? ", " : "") + ToComparable(v, ti, t0);
          }
        }
        ty = SqlType::Number();
        return r + "))";
      }
      case Expr::Cursor: {
        // A query of its own, run when a row is fetched: checked now, it sees no name of the outer
        // query (a reference to one is an unknown name here).
        std::vector<OutCol> cols;
        EmitQuery(*e.sub, nullptr, &cols, false);
        ty = SqlType();
        ty.ty = Ty::Cursor;
        ty.cursorQuery = e.text;
        return "NULL";
      }
      case Expr::Exists: {
        std::vector<OutCol> cols;
        ty = SqlType::Number();
        return "(EXISTS (" + EmitQuery(*e.sub, sc, &cols, false) + "))";
      }
      case Expr::IsNull: {
        SqlType t;
        std::string a = Emit(*e.args[0], sc, t);
        ty = SqlType::Number();
        return "(" + a + (e.negated ? " IS NOT NULL)" : " IS NULL)");
      }
      case Expr::Case: {
        std::string r = "(CASE";
        size_t i = 0;
        SqlType opT;
        if (e.hasOperand) r += " " + Emit(*e.args[i++], sc, opT);
        size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
        bool first = true;
        SqlType resT = SqlType::Unknown();
        for (; i + 1 < pairsEnd + 1 && i < pairsEnd; i += 2) {
          SqlType wt, tt;
          std::string w = Emit(*e.args[i], sc, wt);
          if (e.hasOperand) w = ToComparable(w, wt, opT);
          std::string t = Emit(*e.args[i + 1], sc, tt);
          if (first || resT.unknown)
            resT = tt;
          else
            t = ToComparable(t, tt, resT);
          first = false;
          r += " WHEN " + w + " THEN " + t;
        }
        if (e.hasElse) {
          SqlType et;
          std::string el = Emit(*e.args.back(), sc, et);
          if (resT.unknown) resT = et;
          r += " ELSE " + ToComparable(el, et, resT);
        }
        if (resT.ty == Ty::Char) resT.ty = Ty::Varchar2;
        ty = resT;
        ty.nullable = true;
        return r + " END)";
      }
      case Expr::Subquery: {
        std::vector<OutCol> cols;
        std::string q = EmitQuery(*e.sub, sc, &cols, false);
        if (cols.size() != 1) Raise(913, "", e.pos);
        ty = cols[0].type;
        ty.nullable = true;
        return "(" + q + ")";
      }
      case Expr::List: {
        // a row value stands only where rows are compared: (a, b) IN (...), (a, b) = (...)
        if (!allowList_) Raise(907, "", e.end > e.pos ? e.end - 1 : e.pos);
        allowList_ = false;
        std::string r = "(";
        // (only the direct operand of IN or of a comparison comes here)
        for (size_t i = 0; i < e.args.size(); ++i) {
          SqlType t;
          r += (i ? ", " : "") + Emit(*e.args[i], sc, t);
        }
        ty = SqlType::Unknown();
        return r + ")";
      }
      case Expr::Func:
        return EmitFunc(e, sc, ty);
    }
    Raise(936, "", e.pos);
  }

  // Tables read by the statement stand as markers "\x01<id>\x01" until the statement is finished:
  // then they become the storage table, or (for queries) a read-consistent view of it.
  std::map<int64_t, const CatObject*> tables_;
  std::string TableMarker(const CatObject* obj) {
    if (obj->systemView) return QuoteIdent(obj->sqliteName);
    tables_[obj->id] = obj;
    return "\x01" + std::to_string(obj->id) + "\x01";
  }
  std::string ResolveTables(const std::string& sql, bool consistent) const {
    if (sql.find('\x01') == std::string::npos) return sql;
    std::string out;
    size_t i = 0;
    while (i < sql.size()) {
      size_t a = sql.find('\x01', i);
      if (a == std::string::npos) break;
      size_t b = sql.find('\x01', a + 1);
      if (b == std::string::npos) break;
      out += sql.substr(i, a - i);
      int64_t id = std::atoll(sql.substr(a + 1, b - a - 1).c_str());
      auto it = tables_.find(id);
      out += it == tables_.end() ? std::string("\"?\"")
             : consistent        ? ConsistentSource(*it->second)
                                 : QuoteIdent(it->second->sqliteName);
      i = b + 1;
    }
    return out + sql.substr(i);
  }
  // The table as other sessions' committed state shows it: rows they changed and have not committed
  // read as their before-images from the undo log; rows they inserted are not there.
  static std::string ConsistentSource(const CatObject& t) {
    std::string id = std::to_string(t.id);
    std::string cols, unpacked;
    for (size_t i = 0; i < t.columns.size(); ++i) {
      cols += ", " + QuoteIdent(t.columns[i].name);
      unpacked += ", ora_unpack(u.vals, " + std::to_string(i) + ")";
    }
    return "(SELECT rowid AS rowid" + cols + " FROM " + QuoteIdent(t.sqliteName) +
           " WHERE rowid NOT IN (SELECT rid FROM sim$undo WHERE obj_id = " + id +
           " AND sid <> ora_sid()) UNION ALL SELECT u.rid" + unpacked +
           " FROM sim$undo u WHERE u.obj_id = " + id +
           " AND u.sid <> ora_sid() AND u.op <> 'I' AND u.seq = (SELECT min(v.seq) FROM sim$undo v WHERE "
           "v.obj_id = " +
           id + " AND v.rid = u.rid AND v.sid = u.sid))";
  }

  bool allowSequence_ = true;
  bool allowList_ = false;
  bool rownumAllowed_ = false;
  bool inAggregateArgs_ = false;

  std::string EmitColumn(const Expr& e, Scope* sc, SqlType& ty) {
    std::string out;
    if (nameHook_ && nameHook_(e, out, ty)) return out;
    const Source* src = nullptr;
    const SqlType* t = nullptr;
    const std::string* col = nullptr;
    if (e.parts.size() > 3 || !FindColumn(e.parts, sc, src, t, col, e.pos)) {
      if (EmitAttrPath(e, sc, ty, out)) return out;
      // A function without arguments written without parentheses.
      if (e.parts.size() == 1 && !e.quotedLast) {
        const std::string& n = e.parts[0];
        if (n == "SYSTIMESTAMP" || n == "CURRENT_DATE" || n == "LOCALTIMESTAMP" || n == "CURRENT_TIMESTAMP") {
          ty = SqlType::DateT();
          return "ora_sysdate()";
        }
      }
      Invalid(QuotedPath(e.parts), e.pos);
    }
    ty = *t;
    if (bareColumns_) return QuoteIdent(*col);
    return src->sqlAlias + "." + QuoteIdent(*col);
  }

  // ---- named types
  const CatType* NamedType(const SqlType& t) const { return ctx_.catalog->FindType(t.typeName); }

  // The type codes ora_obj_make converts a type's items by.
  static std::string ItemCodes(const CatType& type) {
    std::string codes;
    for (auto& a : type.attrs)
      codes += (codes.empty() ? "" : ",") + std::to_string(static_cast<int>(a.type.ty));
    return codes;
  }

  // A value stored into an attribute (or element) of a named type.
  static std::string CoerceAttr(const std::string& sql, const SqlType& from, const SqlType& to) {
    if (sql == "NULL") return sql;
    std::string n = std::to_string(to.size);
    switch (to.ty) {
      case Ty::Varchar2:
        return "ora_attr_len(" + CoerceTo(sql, from, SqlType::Varchar(0)) + ", " + n + ")";
      case Ty::Char:
        return "ora_char_col(ora_attr_len(" + CoerceTo(sql, from, SqlType::Varchar(0)) + ", " + n + "), " +
               n + ")";
      case Ty::Raw:
        return "ora_attr_len(" + CoerceTo(sql, from, to) + ", " + n + ")";
      default:
        return CoerceTo(sql, from, to);
    }
  }

  // `alias.column.attr...` or `local.attr...`: attributes of an object column, local or bind.
  bool EmitAttrPath(const Expr& e, Scope* sc, SqlType& ty, std::string& out) {
    if (e.parts.size() < 2) return false;
    std::string sql;
    SqlType t;
    size_t next = 0;
    const Source* src = nullptr;
    const SqlType* ct = nullptr;
    const std::string* cn = nullptr;
    std::vector<std::string> head(e.parts.begin(), e.parts.begin() + 2);
    if (e.parts.size() > 2 && FindSource(e.parts[0], sc, e.pos) && FindColumn(head, sc, src, ct, cn, e.pos)) {
      t = *ct;
      sql = bareColumns_ ? QuoteIdent(*cn) : src->sqlAlias + "." + QuoteIdent(*cn);
      next = 2;
    } else if (nameHook_) {
      Expr base;
      base.kind = Expr::Column;
      base.parts = {e.parts[0]};
      base.pos = e.pos;
      if (!nameHook_(base, sql, t)) return false;
      next = 1;
    } else {
      return false;
    }
    for (; next < e.parts.size(); ++next) {
      if (t.ty == Ty::Ref && !t.unknown) {  // navigating through a REF reads the object it names
        sql = "ora_deref(" + sql + ")";
        t = SqlType::Named(t.typeName, false);
      }
      const CatType* type = t.ty == Ty::Object ? NamedType(t) : nullptr;
      if (!type || type->kind != 'O') {
        if (next == 1) return false;
        Raise(22806, "", e.pos);
      }
      size_t k = 0;
      while (k < type->attrs.size() && type->attrs[k].name != e.parts[next]) ++k;
      if (k == type->attrs.size()) Invalid(QuotedPath(e.parts), e.pos);
      sql = "ora_obj_attr(" + sql + ", " + std::to_string(k) + ")";
      t = type->attrs[k].type;
    }
    ty = t;
    out = sql;
    return true;
  }

  // The object table an alias of the FROM list names (VALUE(p), REF(p)).
  const Source& ObjectTableSource(const Expr& e, Scope* sc) {
    if (e.args.size() != 1 || e.args[0]->kind != Expr::Column || e.args[0]->parts.size() != 1)
      Raise(e.args.size() == 1 ? 904 : 909, e.args.size() == 1 ? QuotedPath(e.args[0]->parts) : "", e.pos);
    const Source* src = nullptr;
    for (Scope* s = sc; s && !src; s = s->parent)
      for (auto& source : s->sources)
        if (source.alias == e.args[0]->parts[0]) src = &source;
    if (!src) Invalid(QuoteIdent(e.args[0]->parts[0]), e.args[0]->pos);
    if (!src->obj || src->obj->ofType.empty() || !ctx_.catalog->FindType(src->obj->ofType))
      Raise(22806, "", e.args[0]->pos);
    return *src;
  }

  // VALUE(p), REF(p), DEREF(r), constructors, XMLTYPE(...), x.getclobval(); false for other calls.
  bool EmitObjectFunc(const Expr& e, Scope* sc, SqlType& ty, std::string& out) {
    const std::string& f = e.text;
    if (f == "VALUE" || f == "REF") {
      const Source& src = ObjectTableSource(e, sc);
      const CatType& type = *ctx_.catalog->FindType(src.obj->ofType);
      std::string prefix = bareColumns_ ? std::string() : src.sqlAlias + ".";
      if (f == "REF") {
        std::string oid;
        static const char* h = "0123456789ABCDEF";
        for (unsigned char c : type.oid) oid += std::string(1, h[c >> 4]) + h[c & 15];
        out = "ora_ref(" + std::to_string(src.obj->id) + ", " + prefix + "rowid, x'" + oid + "')";
        ty = SqlType::Named(type.Key(), true);
        return true;
      }
      out = "ora_obj_make(" + QuoteText(type.Key()) + ", '" + ItemCodes(type) + "'";
      for (auto& c : src.obj->columns) out += ", " + prefix + QuoteIdent(c.name);
      out += ")";
      ty = SqlType::Named(type.Key(), false);
      return true;
    }
    if (f == "DEREF") {
      Arity(e, 1, 1);
      SqlType at;
      std::string a = Emit(*e.args[0], sc, at);
      if (at.ty != Ty::Ref || at.unknown) Raise(932, "", e.args[0]->pos);
      out = "ora_deref(" + a + ")";
      ty = SqlType::Named(at.typeName, false);
      return true;
    }
    // x.method(): methods of SYS.XMLTYPE values
    const std::string& last = e.parts.back();
    if (e.parts.size() >= 2 && (last == "GETCLOBVAL" || last == "GETSTRINGVAL")) {
      Expr base;
      base.kind = Expr::Column;
      base.parts.assign(e.parts.begin(), e.parts.end() - 1);
      base.pos = e.pos;
      SqlType bt;
      std::string b;
      bool found = true;
      try {
        b = Emit(base, sc, bt);
      } catch (const OraError& err) {
        if (err.code != ORA_INVALID_IDENTIFIER) throw;
        found = false;
      }
      if (found) {
        const CatType* type = bt.ty == Ty::Object ? NamedType(bt) : nullptr;
        if (!type || type->kind != 'X') Raise(22806, "", e.pos);
        if (!e.args.empty()) Raise(909, "", e.pos);
        out = "ora_xml_text(" + b + ")";
        if (last == "GETCLOBVAL") {
          ty.ty = Ty::Clob;
          ty.size = 4000;
          ty.unknown = false;
        } else {
          ty = SqlType::Varchar(4000);
        }
        return true;
      }
    }
    // constructors: type(...), XMLTYPE(...), [SYS.]XMLTYPE.CREATEXML(...)
    std::vector<std::string> name = e.parts;
    bool createXml = name.size() >= 2 && name.back() == "CREATEXML";
    if (createXml) name.pop_back();
    if (name.size() > 2) return false;
    const CatType* type =
        ctx_.catalog->ResolveType(name.size() == 2 ? name[0] : std::string(), name.back(), ctx_.user);
    if (!type || (createXml && type->kind != 'X')) return false;
    if (type->owner != ctx_.user && type->owner != "SYS" && !ctx_.dba) return false;
    std::vector<std::string> a;
    std::vector<SqlType> t;
    for (auto& arg : e.args) {
      if (!arg->argName.empty()) Raise(907, "", arg->pos);
      SqlType at;
      a.push_back(Emit(*arg, sc, at));
      t.push_back(at);
    }
    ty = SqlType::Named(type->Key(), false);
    if (type->kind == 'X') {
      if (a.size() != 1) Raise(909, "", e.pos);
      if (t[0].IsNamed()) Raise(932, "", e.args[0]->pos);
      out = "ora_xml_make(" + Txt(a[0], t[0]) + ")";
      return true;
    }
    if (e.star || e.distinct) Raise(936, "", e.pos);
    std::string codes;
    out = "ora_obj_make(" + QuoteText(type->Key()) + ", ";
    std::string items;
    if (type->IsCollection()) {
      if (type->kind == 'V' && static_cast<int64_t>(a.size()) > type->maxElements) Raise(22909, "", e.pos);
      for (size_t i = 0; i < a.size(); ++i) {
        codes += (i ? "," : "") + std::to_string(static_cast<int>(type->attrs[0].type.ty));
        items += ", " + CoerceAttr(a[i], t[i], type->attrs[0].type);
      }
    } else {
      if (a.size() != type->attrs.size()) Raise(2315, "", e.pos);
      codes = ItemCodes(*type);
      for (size_t i = 0; i < a.size(); ++i) items += ", " + CoerceAttr(a[i], t[i], type->attrs[i].type);
    }
    out += "'" + codes + "'" + items + ")";
    return true;
  }

  std::string EmitPseudo(const Expr& e, Scope* sc, SqlType& ty) {
    if (e.text == "SYSDATE" || e.text == "SYSTIMESTAMP") {
      ty = SqlType::DateT();
      return "ora_sysdate()";
    }
    if (e.text == "USER") {
      ty = SqlType::Varchar(30);
      return QuoteText(ctx_.user);
    }
    if (e.text == "UID") {
      ty = SqlType::Number();
      auto it = ctx_.catalog->users.find(ctx_.user);
      return std::to_string(it == ctx_.catalog->users.end() ? 0 : it->second.id);
    }
    if (e.text == "ROWNUM") {
      ty = SqlType::Number();
      if (bareColumns_) Raise(976, "", e.pos);
      // a row number in the select list; in WHERE only the limiting forms (ROWNUM <= n) are offered
      if (!rownumAllowed_) Raise(3001, "", e.pos);
      return "(row_number() OVER ())";
    }
    if (e.text == "ROWID") {
      std::string q = e.parts.empty() ? std::string() : e.parts.back();
      const Source* s = FindSource(q, sc, e.pos);
      if (!s || !s->obj || s->obj->type != "TABLE")
        Invalid(q.empty() ? "\"ROWID\"" : QuoteIdent(q) + ".\"ROWID\"", e.pos);
      ty.ty = Ty::Rowid;
      ty.size = 18;
      ty.unknown = false;
      ty.nullable = false;
      std::string rid = bareColumns_ ? "rowid" : s->sqlAlias + ".rowid";
      return "ora_rowid(" + std::to_string(s->obj->id) + ", " + rid + ")";
    }
    Raise(3001, "", e.pos);
  }

  // The raw integer row id when `e` is a ROWID pseudo column, else "".
  std::string RawRowid(const Expr& e, Scope* sc, int64_t& objId) {
    if (e.kind != Expr::Pseudo || e.text != "ROWID") return "";
    std::string q = e.parts.empty() ? std::string() : e.parts.back();
    const Source* s = FindSource(q, sc, e.pos);
    if (!s || !s->obj || s->obj->type != "TABLE") return "";
    objId = s->obj->id;
    return bareColumns_ ? "rowid" : s->sqlAlias + ".rowid";
  }

  // The operands of a chain of one associative operator (a AND b AND c, a || b || c), in order:
  // the chain becomes one flat SQLite expression instead of a nest SQLite's parser can't take.
  static void Chain(const Expr& e, const std::string& op, std::vector<const Expr*>& out) {
    for (auto& a : e.args) {
      if (a->kind == Expr::Binary && a->text == op)
        Chain(*a, op, out);
      else
        out.push_back(a.get());
    }
  }

  std::string EmitBinary(const Expr& e, Scope* sc, SqlType& ty) {
    const std::string& op = e.text;
    if (op == "AND" || op == "OR") {
      std::vector<const Expr*> terms;
      Chain(e, op, terms);
      std::string r = "(";
      for (size_t i = 0; i < terms.size(); ++i) {
        SqlType t;
        r += (i ? " " + op + " " : std::string()) + Emit(*terms[i], sc, t);
      }
      ty = SqlType::Number();
      return r + ")";
    }
    if (op == "||") {
      std::vector<const Expr*> terms;
      Chain(e, op, terms);
      std::string r;
      int size = 0;
      for (size_t i = 0; i < terms.size(); ++i) {
        SqlType t;
        std::string a = Emit(*terms[i], sc, t);
        size += t.unknown ? 4000 : t.size;
        // SQLite takes at most 100 arguments: every 99 terms start a new call around the last
        if (i % 99 == 0) r = i ? "ora_concat(" + r + ")" : std::string();
        r += (i % 99 ? ", " : (i ? ", " : "")) + Txt(a, t);
      }
      ty = ResultText(size);
      return "ora_concat(" + r + ")";
    }
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
      ty = SqlType::Number();
      if (op == "=" || op == "<>") {
        int64_t objA = 0, objB = 0;
        std::string ra = RawRowid(*e.args[0], sc, objA);
        std::string rb = RawRowid(*e.args[1], sc, objB);
        if (!ra.empty() || !rb.empty()) {
          SqlType t;
          std::string a = ra.empty()
                              ? "ora_rowid_num(" + Emit(*e.args[0], sc, t) + ", " + std::to_string(objB) + ")"
                              : ra;
          std::string b = rb.empty()
                              ? "ora_rowid_num(" + Emit(*e.args[1], sc, t) + ", " + std::to_string(objA) + ")"
                              : rb;
          if (!ra.empty() && !rb.empty() && objA != objB) {
            a = "ora_rowid(" + std::to_string(objA) + ", " + ra + ")";
            b = "ora_rowid(" + std::to_string(objB) + ", " + rb + ")";
          }
          return "(" + a + " " + op + " " + b + ")";
        }
      }
      SqlType ta, tb;
      bool rows = e.args[0]->kind == Expr::List || e.args[1]->kind == Expr::List;
      allowList_ = e.args[0]->kind == Expr::List;
      std::string a = Emit(*e.args[0], sc, ta);
      allowList_ = e.args[1]->kind == Expr::List;
      std::string b = Emit(*e.args[1], sc, tb);
      allowList_ = false;
      if (rows) {
        if (e.args[0]->kind != Expr::List || e.args[1]->kind != Expr::List ||
            e.args[0]->args.size() != e.args[1]->args.size())
          Raise(920, "", e.pos);
        return "(" + a + " " + op + " " + b + ")";
      }
      if (ta.IsText() && tb.IsNumber())
        a = Num(a, ta);
      else if (tb.IsText() && ta.IsNumber())
        b = Num(b, tb);
      else {
        b = ToComparable(b, tb, ta);
        a = ToComparable(a, ta, tb);
      }
      return "(" + a + " " + op + " " + b + ")";
    }
    SqlType ta, tb;
    std::string a = Emit(*e.args[0], sc, ta);
    std::string b = Emit(*e.args[1], sc, tb);
    if (op == "+") {
      if (ta.IsDate() && !tb.IsDate()) {
        ty = SqlType::DateT();
        return "ora_date_add(" + a + ", " + Num(b, tb) + ")";
      }
      if (tb.IsDate() && !ta.IsDate()) {
        ty = SqlType::DateT();
        return "ora_date_add(" + b + ", " + Num(a, ta) + ")";
      }
      if (ta.IsDate() && tb.IsDate()) Raise(975, "", e.pos);
      ty = SqlType::Number();
      return "(" + Num(a, ta) + " + " + Num(b, tb) + ")";
    }
    if (op == "-") {
      if (ta.IsDate() && tb.IsDate()) {
        ty = SqlType::Number();
        return "ora_date_diff(" + a + ", " + b + ")";
      }
      if (ta.IsDate()) {
        ty = SqlType::DateT();
        return "ora_date_add(" + a + ", -(" + Num(b, tb) + "))";
      }
      ty = SqlType::Number();
      return "(" + Num(a, ta) + " - " + Num(b, tb) + ")";
    }
    ty = SqlType::Number();
    if (op == "*") return "(" + Num(a, ta) + " * " + Num(b, tb) + ")";
    if (op == "/") return "ora_div(" + Num(a, ta) + ", " + Num(b, tb) + ")";
    Raise(936, "", e.pos);
  }

  // Built-in functions the translator knows (a type of the same name does not hide them).
  static bool IsBuiltin(const std::string& f) {
    static const std::set<std::string> names = {
        "NVL",         "NVL2",        "COALESCE",   "NULLIF",      "DECODE",      "SUBSTR",
        "SUBSTRB",     "INSTR",       "INSTRB",     "LENGTH",      "LENGTHB",     "VSIZE",
        "LPAD",        "RPAD",        "UPPER",      "LOWER",       "INITCAP",     "NLS_UPPER",
        "NLS_LOWER",   "NLS_INITCAP", "TRIM",       "LTRIM",       "RTRIM",       "REPLACE",
        "TRANSLATE",   "CONCAT",      "CHR",        "ASCII",       "TO_CHAR",     "TO_NUMBER",
        "TO_DATE",     "TRUNC",       "ROUND",      "MOD",         "POWER",       "LOG",
        "BITAND",      "ABS",         "SIGN",       "CEIL",        "FLOOR",       "SQRT",
        "EXP",         "LN",          "GREATEST",   "LEAST",       "ADD_MONTHS",  "MONTHS_BETWEEN",
        "LAST_DAY",    "HEXTORAW",    "RAWTOHEX",   "ROWIDTOCHAR", "CHARTOROWID", "USERENV",
        "SYS_CONTEXT", "EMPTY_CLOB",  "EMPTY_BLOB", "SYS_GUID",    "SYSDATE"};
    return names.count(f) > 0;
  }

  void Arity(const Expr& e, size_t lo, size_t hi) {
    if (e.args.size() < lo || e.args.size() > hi || e.star) Raise(909, "", e.pos);
  }

  // A call of a built-in function: its arguments translated, with their types, and the type of the
  // result, which the function's emitter sets.
  struct FuncCall {
    const Expr& e;
    const std::string& f;
    std::vector<std::string> a;
    std::vector<SqlType> t;
    SqlType& ty;

    std::string NumArg(size_t i) const { return Num(a[i], t[i]); }
    std::string TxtArg(size_t i) const { return Txt(a[i], t[i]); }
    // Argument i when it is a number literal (clamped to 0..4000), else dflt.
    int LitInt(size_t i, int dflt) const {
      if (i < e.args.size() && e.args[i]->kind == Expr::Number)
        return static_cast<int>(ParseIntClamped(e.args[i]->text, 0, 4000));
      return dflt;
    }
  };
  using FuncEmitter = std::string (Tx::*)(FuncCall&);

  static std::string SqlCall(const std::string& fn, const std::vector<std::string>& args) {
    std::string r = fn + "(";
    for (size_t i = 0; i < args.size(); ++i) r += (i ? ", " : "") + args[i];
    return r + ")";
  }

  // ---- the emitters of the built-in functions, found by name in EmitFunc
  std::string EmitNvl(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = t[0].unknown ? t[1] : t[0];
    if (ty.ty == Ty::Char) ty.ty = Ty::Varchar2;
    ty.nullable = true;
    return "coalesce(" + a[0] + ", " + ToComparable(a[1], t[1], t[0]) + ")";
  }

  std::string EmitNvl2(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 3, 3);
    ty = t[1].unknown ? t[2] : t[1];
    if (ty.ty == Ty::Char) ty.ty = Ty::Varchar2;
    return "(CASE WHEN " + a[0] + " IS NOT NULL THEN " + a[1] + " ELSE " + ToComparable(a[2], t[2], t[1]) +
           " END)";
  }

  std::string EmitCoalesce(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    if (a.empty()) Raise(909, "", e.pos);
    ty = t[0];
    for (auto& x : t)
      if (ty.unknown) ty = x;
    return SqlCall("coalesce", a.size() == 1 ? std::vector<std::string>{a[0], "NULL"} : a);
  }

  std::string EmitNullif(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = t[0];
    return SqlCall("nullif", a);
  }

  std::string EmitDecode(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    // The matching runs once in ora_decode_pick (NULL matches NULL, numbers by value); the CASE on
    // its answer computes only the result that was chosen. A DECODE of more search values than one
    // SQLite call takes is a chain of such CASEs, each tried when the one before matched nothing.
    if (a.size() < 3) Raise(938, "", e.pos);
    constexpr size_t kPairsPerPick = 100;
    struct Pick {
      std::vector<std::string> keys;
      std::string whens;
    };
    std::vector<Pick> picks;
    SqlType res = SqlType::Unknown();
    int size = 0;
    size_t n = a.size();
    for (size_t i = 1; i + 1 < n; i += 2) {
      if (picks.empty() || picks.back().keys.size() > kPairsPerPick) picks.push_back({{a[0]}, ""});
      Pick& p = picks.back();
      p.keys.push_back(ToComparable(a[i], t[i], t[0]));
      if (res.unknown) res = t[i + 1];
      p.whens +=
          " WHEN " + std::to_string(p.keys.size() - 1) + " THEN " + ToComparable(a[i + 1], t[i + 1], res);
      size = std::max(size, t[i + 1].unknown ? 0 : t[i + 1].size);
    }
    std::string otherwise = "NULL";
    if (n % 2 == 0) {
      if (res.unknown) res = t[n - 1];
      otherwise = ToComparable(a[n - 1], t[n - 1], res);
      size = std::max(size, t[n - 1].unknown ? 0 : t[n - 1].size);
    }
    if (res.unknown || res.ty == Ty::Char || res.ty == Ty::Varchar2) res = ResultText(size);
    ty = res;
    ty.nullable = true;
    for (auto p = picks.rbegin(); p != picks.rend(); ++p)
      otherwise = "(CASE " + SqlCall("ora_decode_pick", p->keys) + p->whens + " ELSE " + otherwise + " END)";
    return otherwise;
  }

  std::string EmitSubstr(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 3);
    ty = ResultText(t[0].IsText() ? t[0].size : 4000);
    if (a.size() == 3 && e.args[2]->kind == Expr::Number) ty.size = std::min(ty.size, c.LitInt(2, 4000));
    std::vector<std::string> args = {c.TxtArg(0), c.NumArg(1)};
    if (a.size() == 3) args.push_back(c.NumArg(2));
    return SqlCall("ora_substr", args);
  }

  std::string EmitInstr(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 4);
    ty = SqlType::Number();
    std::vector<std::string> args = {c.TxtArg(0), c.TxtArg(1)};
    for (size_t i = 2; i < a.size(); ++i) args.push_back(c.NumArg(i));
    return SqlCall("ora_instr", args);
  }

  std::string EmitLength(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = SqlType::Number();
    // A BLOB is measured in bytes (a RAW, as text, in hexadecimal digits).
    return SqlCall(f == "LENGTH" ? "ora_length" : "ora_lengthb", {t[0].ty == Ty::Blob ? a[0] : c.TxtArg(0)});
  }

  std::string EmitPad(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 3);
    ty = ResultText(c.LitInt(1, 4000));
    std::vector<std::string> args = {c.TxtArg(0), c.NumArg(1)};
    if (a.size() == 3) args.push_back(c.TxtArg(2));
    return SqlCall(f == "LPAD" ? "ora_lpad" : "ora_rpad", args);
  }

  std::string EmitCaseChange(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 2);
    ty = ResultText(t[0].unknown ? 4000 : t[0].size);
    std::string fn = f.substr(f.find('_') == std::string::npos ? 0 : 4);
    for (auto& c : fn) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return SqlCall("ora_" + fn, {c.TxtArg(0)});
  }

  std::string EmitTrim(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    ty = ResultText(t[0].unknown ? 4000 : t[0].size);
    std::string mode = e.parts.empty() ? "BOTH" : e.parts[0];
    std::string set = a.size() > 1 ? c.TxtArg(1) : "' '";
    return SqlCall("ora_trim", {c.TxtArg(0), set, QuoteText(mode)});
  }

  std::string EmitSideTrim(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 2);
    ty = ResultText(t[0].unknown ? 4000 : t[0].size);
    std::string set = a.size() > 1 ? c.TxtArg(1) : "' '";
    return SqlCall("ora_trim", {c.TxtArg(0), set, QuoteText(f == "LTRIM" ? "LEADING" : "TRAILING")});
  }

  std::string EmitReplace(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 3);
    ty = ResultText(4000);
    std::vector<std::string> args = {c.TxtArg(0), c.TxtArg(1)};
    args.push_back(a.size() == 3 ? c.TxtArg(2) : "NULL");
    return SqlCall("ora_replace", args);
  }

  std::string EmitTranslate(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 3, 3);
    ty = ResultText(t[0].unknown ? 4000 : t[0].size);
    return SqlCall("ora_translate", {c.TxtArg(0), c.TxtArg(1), c.TxtArg(2)});
  }

  std::string EmitConcat(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = ResultText((t[0].unknown ? 4000 : t[0].size) + (t[1].unknown ? 4000 : t[1].size));
    return SqlCall("ora_concat", {c.TxtArg(0), c.TxtArg(1)});
  }

  std::string EmitBfileName(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    // A file of a directory; kept as "DIRECTORY/file name".
    Arity(e, 2, 2);
    ty = SqlType();
    ty.ty = Ty::Bfile;
    ty.size = 530;
    return "(" + c.TxtArg(0) + " || '/' || " + c.TxtArg(1) + ")";
  }

  std::string EmitChr(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = SqlType::Varchar(1);
    return SqlCall("ora_chr", {c.NumArg(0)});
  }

  std::string EmitAscii(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = SqlType::Number();
    return SqlCall("ora_ascii", {c.TxtArg(0)});
  }

  std::string EmitToChar(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 3);
    if (t[0].IsDate()) {
      ty = ResultText(a.size() > 1 ? 75 : 9);
      std::vector<std::string> args = {a[0]};
      if (a.size() > 1) args.push_back(c.TxtArg(1));
      return SqlCall("ora_to_char_date", args);
    }
    if (t[0].IsText()) {
      ty = ResultText(t[0].size);
      return a[0];
    }
    ty = ResultText(t[0].IsNumber() || t[0].unknown ? 40 : 4000);
    std::vector<std::string> args = {a[0]};
    if (a.size() > 1) args.push_back(c.TxtArg(1));
    return SqlCall("ora_to_char_num", args);
  }

  std::string EmitToNumber(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 3);
    ty = SqlType::Number();
    std::vector<std::string> args = {c.TxtArg(0)};
    if (a.size() > 1) args.push_back(c.TxtArg(1));
    return SqlCall("ora_to_number", args);
  }

  std::string EmitToDate(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 3);
    ty = SqlType::DateT();
    if (t[0].IsDate()) return a[0];
    std::vector<std::string> args = {t[0].IsNumber() ? "ora_to_char_num(" + a[0] + ")" : a[0]};
    if (a.size() > 1) args.push_back(c.TxtArg(1));
    return SqlCall("ora_to_date", args);
  }

  std::string EmitTruncRound(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 2);
    std::string lower = f == "TRUNC" ? "trunc" : "round";
    if (t[0].IsDate()) {
      ty = SqlType::DateT();
      std::vector<std::string> args = {a[0]};
      if (a.size() > 1) args.push_back(c.TxtArg(1));
      return SqlCall("ora_" + lower + "_date", args);
    }
    ty = SqlType::Number();
    std::vector<std::string> args = {c.NumArg(0)};
    if (a.size() > 1) args.push_back(c.NumArg(1));
    return SqlCall("ora_" + lower + "_num", args);
  }

  std::string EmitBinaryMath(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = SqlType::Number();
    if (f == "BITAND") return "(" + c.NumArg(0) + " & " + c.NumArg(1) + ")";
    std::string fn = f == "MOD" ? "ora_mod" : f == "POWER" ? "ora_power" : "ora_log";
    return SqlCall(fn, {c.NumArg(0), c.NumArg(1)});
  }

  std::string EmitUnaryMath(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = SqlType::Number();
    std::string fn = f;
    for (auto& c : fn) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return SqlCall("ora_" + fn, {c.NumArg(0)});
  }

  std::string EmitGreatestLeast(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    if (a.empty()) Raise(909, "", e.pos);
    ty = t[0];
    if (ty.ty == Ty::Char) ty.ty = Ty::Varchar2;
    std::vector<std::string> args;
    for (size_t i = 0; i < a.size(); ++i) args.push_back(i ? ToComparable(a[i], t[i], t[0]) : a[i]);
    if (args.size() == 1) return args[0];
    return SqlCall(f == "GREATEST" ? "max" : "min", args);
  }

  std::string EmitAddMonths(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = SqlType::DateT();
    return SqlCall("ora_add_months", {DateOf(a[0], t[0]), c.NumArg(1)});
  }

  std::string EmitMonthsBetween(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 2, 2);
    ty = SqlType::Number();
    return SqlCall("ora_months_between", {DateOf(a[0], t[0]), DateOf(a[1], t[1])});
  }

  std::string EmitLastDay(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = SqlType::DateT();
    return SqlCall("ora_last_day", {DateOf(a[0], t[0])});
  }

  std::string EmitHexToRaw(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty.ty = Ty::Raw;
    ty.unknown = false;
    ty.size = t[0].unknown ? 2000 : std::max(1, t[0].size / 2);
    return SqlCall("ora_hextoraw", {a[0]});
  }

  std::string EmitRawToHex(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = ResultText(t[0].unknown ? 4000 : t[0].size * 2);
    return SqlCall("ora_rawtohex", {a[0]});
  }

  std::string EmitRowidConversion(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 1);
    ty = f == "ROWIDTOCHAR" ? SqlType::Varchar(18) : t[0];
    return a[0];
  }

  std::string EmitUserEnv(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 1, 2);
    ty = SqlType::Varchar(256);
    return SqlCall("ora_userenv", {a.size() == 2 ? a[1] : a[0]});
  }

  std::string EmitEmptyLob(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    // An empty LOB is a value, not NULL.
    Arity(e, 0, 0);
    ty = SqlType::Unknown();
    ty.unknown = false;
    ty.ty = f == "EMPTY_CLOB" ? Ty::Clob : Ty::Blob;
    ty.size = 4000;
    return f == "EMPTY_CLOB" ? "''" : "x''";
  }

  std::string EmitSysGuid(FuncCall& c) {
    [[maybe_unused]] auto& [e, f, a, t, ty] = c;
    Arity(e, 0, 0);
    ty.ty = Ty::Raw;
    ty.size = 16;
    ty.unknown = false;
    return "randomblob(16)";
  }

  std::string EmitFunc(const Expr& e, Scope* sc, SqlType& ty) {
    const std::string& f = e.text;
    if (nameHook_) {
      std::string out;
      if (nameHook_(e, out, ty)) return out;
    }
    if (f == "VALUE" || f == "REF" || f == "DEREF") {
      std::string out;
      EmitObjectFunc(e, sc, ty, out);
      return out;
    }
    // DECODE takes 255 parts, as on the server; any other call at most what one SQLite call takes
    if (e.args.size() > (f == "DECODE" ? kMostDecodeArguments : kMostCallArguments)) Raise(939, "", e.pos);
    std::vector<std::string> a;
    std::vector<SqlType> t;
    static const std::set<std::string> aggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
    if (!aggregates.count(f) && (e.parts.size() > 1 || !IsBuiltin(f))) {
      std::string out;
      if (EmitObjectFunc(e, sc, ty, out)) return out;
    }
    for (auto& arg : e.args) {
      if (!arg->argName.empty()) Raise(907, "", arg->pos);
      SqlType at;
      a.push_back(Emit(*arg, sc, at));
      t.push_back(at);
    }
    if (aggregates.count(f)) {
      if (f == "COUNT") {
        ty = SqlType::Number();
        if (e.star) return "count(*)";
        Arity(e, 1, 1);
        return std::string("count(") + (e.distinct ? "DISTINCT " : "") + a[0] + ")";
      }
      Arity(e, 1, 1);
      if (f == "MIN" || f == "MAX") {
        ty = t[0];
        ty.nullable = true;
        return (f == "MIN" ? std::string("min(") : std::string("max(")) + (e.distinct ? "DISTINCT " : "") +
               a[0] + ")";
      }
      ty = SqlType::Number();
      if (f == "SUM") return std::string("sum(") + (e.distinct ? "DISTINCT " : "") + Num(a[0], t[0]) + ")";
      return std::string("avg(") + (e.distinct ? "DISTINCT " : "") + Num(a[0], t[0]) + ")";
    }
    if (e.star || e.distinct) Raise(936, "", e.pos);
    static const std::unordered_map<std::string, FuncEmitter> emitters = {
        {"NVL", &Tx::EmitNvl},
        {"NVL2", &Tx::EmitNvl2},
        {"COALESCE", &Tx::EmitCoalesce},
        {"NULLIF", &Tx::EmitNullif},
        {"DECODE", &Tx::EmitDecode},
        {"SUBSTR", &Tx::EmitSubstr},
        {"SUBSTRB", &Tx::EmitSubstr},
        {"INSTR", &Tx::EmitInstr},
        {"INSTRB", &Tx::EmitInstr},
        {"LENGTH", &Tx::EmitLength},
        {"LENGTHB", &Tx::EmitLength},
        {"VSIZE", &Tx::EmitLength},
        {"LPAD", &Tx::EmitPad},
        {"RPAD", &Tx::EmitPad},
        {"UPPER", &Tx::EmitCaseChange},
        {"LOWER", &Tx::EmitCaseChange},
        {"INITCAP", &Tx::EmitCaseChange},
        {"NLS_UPPER", &Tx::EmitCaseChange},
        {"NLS_LOWER", &Tx::EmitCaseChange},
        {"NLS_INITCAP", &Tx::EmitCaseChange},
        {"TRIM", &Tx::EmitTrim},
        {"LTRIM", &Tx::EmitSideTrim},
        {"RTRIM", &Tx::EmitSideTrim},
        {"REPLACE", &Tx::EmitReplace},
        {"TRANSLATE", &Tx::EmitTranslate},
        {"CONCAT", &Tx::EmitConcat},
        {"BFILENAME", &Tx::EmitBfileName},
        {"CHR", &Tx::EmitChr},
        {"ASCII", &Tx::EmitAscii},
        {"TO_CHAR", &Tx::EmitToChar},
        {"TO_NUMBER", &Tx::EmitToNumber},
        {"TO_DATE", &Tx::EmitToDate},
        {"TRUNC", &Tx::EmitTruncRound},
        {"ROUND", &Tx::EmitTruncRound},
        {"MOD", &Tx::EmitBinaryMath},
        {"POWER", &Tx::EmitBinaryMath},
        {"LOG", &Tx::EmitBinaryMath},
        {"BITAND", &Tx::EmitBinaryMath},
        {"ABS", &Tx::EmitUnaryMath},
        {"SIGN", &Tx::EmitUnaryMath},
        {"CEIL", &Tx::EmitUnaryMath},
        {"FLOOR", &Tx::EmitUnaryMath},
        {"SQRT", &Tx::EmitUnaryMath},
        {"EXP", &Tx::EmitUnaryMath},
        {"LN", &Tx::EmitUnaryMath},
        {"GREATEST", &Tx::EmitGreatestLeast},
        {"LEAST", &Tx::EmitGreatestLeast},
        {"ADD_MONTHS", &Tx::EmitAddMonths},
        {"MONTHS_BETWEEN", &Tx::EmitMonthsBetween},
        {"LAST_DAY", &Tx::EmitLastDay},
        {"HEXTORAW", &Tx::EmitHexToRaw},
        {"RAWTOHEX", &Tx::EmitRawToHex},
        {"ROWIDTOCHAR", &Tx::EmitRowidConversion},
        {"CHARTOROWID", &Tx::EmitRowidConversion},
        {"USERENV", &Tx::EmitUserEnv},
        {"SYS_CONTEXT", &Tx::EmitUserEnv},
        {"EMPTY_CLOB", &Tx::EmitEmptyLob},
        {"EMPTY_BLOB", &Tx::EmitEmptyLob},
        {"SYS_GUID", &Tx::EmitSysGuid},
    };
    if (auto it = emitters.find(f); it != emitters.end()) {
      FuncCall c{e, f, std::move(a), std::move(t), ty};
      return (this->*(it->second))(c);
    }
    if (f == "SYSDATE") Raise(923, "", e.pos);
    std::vector<std::string> path = e.parts;
    Invalid(QuotedPath(path), e.pos);
  }

  // ---- queries
  static void SplitAnd(const Expr* e, std::vector<const Expr*>& out) {
    if (!e) return;
    if (e->kind == Expr::Binary && e->text == "AND") {
      SplitAnd(e->args[0].get(), out);
      SplitAnd(e->args[1].get(), out);
      return;
    }
    out.push_back(e);
  }

  // Which sources of `sc` a conjunct mentions, with and without the (+) mark.
  void Mentions(const Expr& e, Scope* sc, std::set<int>& marked, std::set<int>& plain) {
    if (e.kind == Expr::Column || (e.kind == Expr::Pseudo && e.text == "ROWID")) {
      int idx = -1;
      if (e.kind == Expr::Column) {
        const std::string& col = e.parts.back();
        for (size_t i = 0; i < sc->sources.size(); ++i) {
          auto& s = sc->sources[i];
          if (e.parts.size() >= 2 && s.alias != e.parts[e.parts.size() - 2]) continue;
          for (auto& c : s.cols)
            if (c.first == col) idx = static_cast<int>(i);
        }
      } else {
        std::string q = e.parts.empty() ? std::string() : e.parts.back();
        for (size_t i = 0; i < sc->sources.size(); ++i)
          if (sc->sources[i].alias == q || (q.empty() && sc->sources.size() == 1)) idx = static_cast<int>(i);
      }
      if (idx >= 0) (e.outer ? marked : plain).insert(idx);
      return;
    }
    for (auto& a : e.args)
      if (a) Mentions(*a, sc, marked, plain);
  }

  static bool HasOuterMark(const Expr& e) {
    if ((e.kind == Expr::Column || e.kind == Expr::Pseudo) && e.outer) return true;
    for (auto& a : e.args)
      if (a && HasOuterMark(*a)) return true;
    return false;
  }

  static bool IsRownum(const Expr& e) { return e.kind == Expr::Pseudo && e.text == "ROWNUM"; }

  // ROWNUM <= n, ROWNUM < n, ROWNUM = 1 and mirrored forms become a LIMIT.
  bool RownumLimit(const Expr& e, Scope* sc, std::string& limit) {
    if (e.kind != Expr::Binary) return false;
    const Expr* l = e.args[0].get();
    const Expr* r = e.args[1].get();
    std::string op = e.text;
    if (IsRownum(*r) && !IsRownum(*l)) {
      std::swap(l, r);
      if (op == "<")
        op = ">";
      else if (op == ">")
        op = "<";
      else if (op == "<=")
        op = ">=";
      else if (op == ">=")
        op = "<=";
    }
    if (!IsRownum(*l)) return false;
    SqlType t;
    std::string v = Num(Emit(*r, sc, t), t);
    // LIMIT takes an integer: fractions round the way ROWNUM counts, NULL limits to nothing
    const char* big = "9000000000000000000";
    if (op == "<=")
      limit = "coalesce(max(0, min(ora_floor(" + v + "), " + big + ")), 0)";
    else if (op == "<")
      limit = "coalesce(max(0, min(ora_ceil(" + v + "), " + big + ") - 1), 0)";
    else if (op == "=")
      limit = "(CASE WHEN " + v + " = 1 THEN 1 ELSE 0 END)";
    else if (op == ">")
      limit = "(CASE WHEN " + v + " < 1 THEN -1 ELSE 0 END)";
    else if (op == ">=")
      limit = "(CASE WHEN " + v + " <= 1 THEN -1 ELSE 0 END)";
    else
      return false;
    return true;
  }

  std::string ItemName(const SelectItem& it) {
    if (!it.alias.empty()) return it.alias;
    const Expr& e = *it.expr;
    if (e.kind == Expr::Column) return e.parts.back();
    if (e.kind == Expr::Pseudo) return e.text;
    if (it.end > static_cast<int>(sqlText_.size()) || it.pos > it.end) return "EXPR";
    std::string raw = sqlText_.substr(it.pos, it.end - it.pos), out;
    bool quote = false;
    for (char c : raw) {
      if (c == '\'') quote = !quote;
      if (!quote && std::isspace(static_cast<unsigned char>(c))) continue;
      if (c == '\0') continue;
      out += quote ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (out.size() > 30 && false) out.resize(30);
    return out;
  }

  // One SELECT block (without set operations / ORDER BY).
  std::string EmitBlock(const Select& s, Scope* parent, std::vector<OutCol>* outCols, std::string* limitOut,
                        Scope** scopeOut, std::vector<std::string>* lockCols, std::vector<int64_t>* lockObjs,
                        bool positional) {
    struct KeepRownum {
      bool& flag;
      bool saved;
      ~KeepRownum() { flag = saved; }
    } keepRownum{rownumAllowed_, rownumAllowed_};
    rownumAllowed_ = false;
    auto sc = std::make_unique<Scope>();
    sc->parent = parent;
    BuildScope(s, *sc);
    std::vector<const Expr*> conj;
    SplitAnd(s.where.get(), conj);
    // (+) outer joins
    std::map<int, std::vector<const Expr*>> outerConds;
    std::map<int, std::set<int>> deps;
    std::vector<const Expr*> plainConds;
    std::string limit;
    for (const Expr* c : conj) {
      std::string lim;
      if (RownumLimit(*c, sc.get(), lim)) {
        limit = limit.empty() ? lim : "min(" + limit + ", " + lim + ")";
        continue;
      }
      if (!HasOuterMark(*c)) {
        plainConds.push_back(c);
        continue;
      }
      std::set<int> marked, plain;
      Mentions(*c, sc.get(), marked, plain);
      if (marked.size() > 1) Raise(1468, "", c->pos);
      if (marked.empty()) {
        plainConds.push_back(c);
        continue;
      }
      int o = *marked.begin();
      plain.erase(o);
      outerConds[o].push_back(c);
      deps[o].insert(plain.begin(), plain.end());
    }
    // select list
    std::string sel = "SELECT ";
    if (s.distinct) sel += "DISTINCT ";
    std::vector<OutCol> cols;
    std::string items;
    auto addItem = [&](const std::string& sql, const OutCol& c) {
      if (!items.empty()) items += ", ";
      items += sql + " AS " + QuoteIdent(positional ? "C" + std::to_string(cols.size() + 1) : c.name);
      cols.push_back(c);
    };
    for (auto& it : s.items) {
      if (it.star) {
        bool any = false;
        for (auto& src : sc->sources) {
          if (!it.starQualifier.empty() && src.alias != it.starQualifier) continue;
          any = true;
          for (auto& c : src.cols) {
            OutCol oc{c.first, c.second, src.obj ? src.obj->owner : "", src.obj ? src.obj->name : ""};
            addItem(src.sqlAlias + "." + QuoteIdent(c.first), oc);
          }
        }
        if (!any) Invalid(QuoteIdent(it.starQualifier), it.pos);
        continue;
      }
      SqlType t;
      rownumAllowed_ = !HasAggregate(*it.expr);
      std::string sql;
      try {
        sql = Emit(*it.expr, sc.get(), t);
      } catch (...) {
        rownumAllowed_ = false;
        throw;
      }
      rownumAllowed_ = false;
      if (t.unknown) t = SqlType::Varchar(t.size > 0 && t.size < 4000 ? t.size : 0);
      OutCol oc{ItemName(it), t, "", ""};
      if (it.expr->kind == Expr::Column) {
        const Source* src;
        const SqlType* ct;
        const std::string* cn;
        if (FindColumn(it.expr->parts, sc.get(), src, ct, cn, it.pos) && src->obj) {
          oc.schema = src->obj->owner;
          oc.table = src->obj->name;
        }
      }
      addItem(sql, oc);
    }
    if (lockCols) {
      for (auto& src : sc->sources) {
        if (!src.obj || src.obj->type != "TABLE") continue;
        lockCols->push_back(src.sqlAlias + ".rowid");
        lockObjs->push_back(src.obj->id);
      }
    }
    // FROM
    std::string from;
    std::set<int> placed;
    auto sourceSql = [&](const Source& src) { return src.fromSql + " AS " + src.sqlAlias; };
    for (size_t i = 0; i < sc->sources.size(); ++i) {
      if (outerConds.count(static_cast<int>(i))) continue;
      auto& src = sc->sources[i];
      if (from.empty()) {
        from = sourceSql(src);
      } else if (src.join == FromItem::Comma) {
        from += ", " + sourceSql(src);
      } else {
        static const char* names[] = {",",           " JOIN ",      " LEFT JOIN ", " RIGHT JOIN ",
                                      " FULL JOIN ", " CROSS JOIN "};
        from += names[src.join] + sourceSql(src);
        if (src.on) {
          SqlType t;
          from += " ON " + Emit(*src.on, sc.get(), t);
        }
      }
      placed.insert(static_cast<int>(i));
    }
    while (placed.size() < sc->sources.size()) {
      bool progress = false;
      for (auto& [o, conds] : outerConds) {
        if (placed.count(o)) continue;
        bool ready = true;
        for (int d : deps[o])
          if (!placed.count(d)) ready = false;
        if (!ready) continue;
        std::string on;
        for (const Expr* c : conds) {
          SqlType t;
          on += (on.empty() ? "" : " AND ") + Emit(*c, sc.get(), t);
        }
        from += (from.empty() ? "" : " LEFT JOIN ") + sourceSql(sc->sources[o]);
        if (placed.empty()) {
          plainConds.insert(plainConds.end(), conds.begin(), conds.end());
        } else {
          from += " ON " + on;
        }
        placed.insert(o);
        progress = true;
      }
      if (!progress) Raise(1416, "", s.pos);
    }
    std::string where;
    for (const Expr* c : plainConds) {
      SqlType t;
      where += (where.empty() ? "" : " AND ") + Emit(*c, sc.get(), t);
    }
    std::string group, having;
    if (!s.groupBy.empty()) {
      group = " GROUP BY ";
      for (size_t i = 0; i < s.groupBy.size(); ++i) {
        SqlType t;
        std::string term = Emit(*s.groupBy[i], sc.get(), t);
        // SQLite reads an integer literal here as a select-list position; Oracle groups by the value
        if (IsSignedNumber(*s.groupBy[i])) term = "CAST(" + term + " AS NUMERIC)";
        group += (i ? ", " : "") + term;
      }
    }
    if (s.having) {
      SqlType t;
      having = " HAVING " + Emit(*s.having, sc.get(), t);
    }
    bool aggregate = s.distinct || !s.groupBy.empty() || s.having;
    for (auto& it : s.items)
      if (it.expr && HasAggregate(*it.expr)) aggregate = true;
    if (!limit.empty() && aggregate) {
      // ROWNUM counts rows before grouping: limit the joined rows in an inner query
      std::vector<std::string> refs;
      std::string* parts[] = {&items, &group, &having};
      for (auto* p : parts)
        for (auto& src : sc->sources) *p = LiftRefs(*p, src.sqlAlias, refs);
      std::string inner = "SELECT 1 AS \"1\"";
      for (auto& r : refs) inner += ", " + r + " AS " + QuoteIdent(r);
      inner += " FROM " + from + (where.empty() ? "" : " WHERE " + where) + " LIMIT " + limit + " OFFSET 0";
      from = "(" + inner + ") AS RW";
      where.clear();
      limit.clear();
    }
    std::string out = sel + items;
    if (lockCols)
      for (auto& lc : *lockCols) out += ", " + lc;
    out += " FROM " + from;
    if (!where.empty()) out += " WHERE " + where;
    out += group + having;
    if (outCols) *outCols = cols;
    if (limitOut)
      *limitOut = limit;
    else if (!limit.empty())
      out += " LIMIT " + limit + " OFFSET 0";
    if (scopeOut) *scopeOut = sc.get();
    scopes_.push_back(std::move(sc));
    return out;
  }

  std::vector<std::unique_ptr<Scope>> scopes_;

  static bool IsSignedNumber(const Expr& e) {
    if (e.kind == Expr::Number) return true;
    return e.kind == Expr::Unary && (e.text == "-" || e.text == "+") && IsSignedNumber(*e.args[0]);
  }

  static bool HasAggregate(const Expr& e) {
    if (e.kind == Expr::Func &&
        (e.text == "COUNT" || e.text == "SUM" || e.text == "AVG" || e.text == "MIN" || e.text == "MAX"))
      return true;
    for (auto& a : e.args)
      if (a && HasAggregate(*a)) return true;
    return false;
  }

  // Rewrites references `A."COL"` / `A.rowid` of source alias A into columns of the inner query RW.
  static std::string LiftRefs(const std::string& sql, const std::string& alias,
                              std::vector<std::string>& refs) {
    std::string out;
    std::string head = alias + ".";
    size_t i = 0;
    bool quote = false;
    while (i < sql.size()) {
      char c = sql[i];
      if (c == '\'') quote = !quote;
      bool boundary = i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_' ||
                                  sql[i - 1] == '"');
      if (!quote && boundary && sql.compare(i, head.size(), head) == 0) {
        size_t j = i + head.size();
        std::string ref;
        if (j < sql.size() && sql[j] == '"') {
          size_t k = j + 1;
          while (k < sql.size()) {
            if (sql[k] == '"') {
              if (k + 1 < sql.size() && sql[k + 1] == '"') {
                k += 2;
                continue;
              }
              break;
            }
            ++k;
          }
          ref = sql.substr(i, k + 1 - i);
          i = k + 1;
        } else if (sql.compare(j, 5, "rowid") == 0) {
          ref = sql.substr(i, head.size() + 5);
          i = j + 5;
        } else {
          out += c;
          ++i;
          continue;
        }
        if (std::find(refs.begin(), refs.end(), ref) == refs.end()) refs.push_back(ref);
        out += "RW." + QuoteIdent(ref);
        continue;
      }
      out += c;
      ++i;
    }
    return out;
  }

  // A full query: block, set operations, ORDER BY, ROWNUM limit.
  std::string EmitQuery(const Select& s, Scope* parent, std::vector<OutCol>* outCols, bool top,
                        std::vector<std::string>* lockCols = nullptr,
                        std::vector<int64_t>* lockObjs = nullptr, bool positional = false) {
    std::vector<OutCol> cols;
    std::string limit;
    Scope* sc = nullptr;
    std::string sql = EmitBlock(s, parent, &cols, &limit, &sc, lockCols, lockObjs, positional);
    bool setop = !s.setOps.empty();
    for (auto& [op, rhs] : s.setOps) {
      std::vector<OutCol> rc;
      std::string r = EmitQuery(*rhs, parent, &rc, false, nullptr, nullptr, positional);
      if (rc.size() != cols.size()) Raise(1789, "", rhs->pos);
      sql += " " + op + " " + (rhs->orderBy.empty() && rhs->setOps.empty() ? r : "SELECT * FROM (" + r + ")");
    }
    std::string order;
    for (auto& o : s.orderBy) {
      std::string term;
      const Expr& e = *o.expr;
      if (e.kind == Expr::Number) {
        double v = std::atof(e.text.c_str());
        if (!(v >= 1 && v <= static_cast<double>(cols.size()))) Raise(1785, "", e.pos);
        int pos = static_cast<int>(v);
        if (pos != v) Raise(1785, "", e.pos);
        term = std::to_string(pos);
      } else {
        int match = 0;
        if (e.kind == Expr::Column && e.parts.size() == 1) {
          for (size_t i = 0; i < s.items.size() && i < cols.size(); ++i)
            if (!s.items[i].alias.empty() && s.items[i].alias == e.parts[0]) match = static_cast<int>(i) + 1;
          if (!match && setop) {
            for (size_t i = 0; i < cols.size(); ++i)
              if (cols[i].name == e.parts[0]) match = static_cast<int>(i) + 1;
          }
        }
        if (!match) {
          // the same text as a select-list item orders by that item
          auto span = [&](int a, int b) {
            return b <= static_cast<int>(sqlText_.size()) && a <= b ? sqlText_.substr(a, b - a)
                                                                    : std::string();
          };
          std::string txt = span(e.pos, e.end);
          for (size_t i = 0; i < s.items.size() && !match && !txt.empty(); ++i) {
            auto& it = s.items[i];
            if (!it.star && span(it.pos, it.end) == txt && !setop) match = static_cast<int>(i) + 1;
          }
        }
        if (match) {
          term = std::to_string(match);
        } else {
          if (setop || !limit.empty()) Raise(1785, "", e.pos);
          SqlType t;
          term = Emit(e, sc, t);
          // +3, (-3): a constant, not a position (SQLite would read it as one)
          if (term.find_first_not_of("0123456789+-() ") == std::string::npos) term = "(SELECT " + term + ")";
        }
      }
      bool nullsFirst = o.nulls == 1 || (o.nulls == 0 && o.desc);
      order += (order.empty() ? "" : ", ") + term + (o.desc ? " DESC" : "") +
               (nullsFirst ? " NULLS FIRST" : " NULLS LAST");
    }
    if (!limit.empty()) {
      sql += " LIMIT " + limit + " OFFSET 0";
      if (!order.empty()) sql = "SELECT * FROM (" + sql + ")";
    }
    if (!order.empty()) sql += " ORDER BY " + order;
    (void)top;
    if (outCols) *outCols = cols;
    return sql;
  }
};

}  // namespace

ColumnDesc DescribeSqlType(const SqlType& t) {
  ColumnDesc d;
  d.type = t.ty;
  d.nullable = t.nullable;
  switch (t.ty) {
    case Ty::Number:
      d.size = 22;
      d.precision = t.precision;
      d.scale = t.precision == 0 && t.scale != 0 ? -127 : t.scale;
      if (t.precision == 0 && t.scale == -127) d.scale = -127;
      break;
    case Ty::Date:
      d.size = 7;
      break;
    case Ty::Timestamp:
    case Ty::TimestampTZ:
    case Ty::TimestampLTZ:
      d.size = t.size;
      d.scale = t.scale;  // the fractional seconds precision
      break;
    case Ty::Rowid:
      d.size = 18;
      break;
    case Ty::Cursor:
      d.size = 4;
      d.cursorQuery = t.cursorQuery;
      break;
    case Ty::Object:
    case Ty::Ref: {
      auto dot = t.typeName.find('.');
      d.typeSchema = dot == std::string::npos ? std::string() : t.typeName.substr(0, dot);
      d.typeName = dot == std::string::npos ? t.typeName : t.typeName.substr(dot + 1);
      d.size = t.ty == Ty::Ref ? 36 : 2000;
      break;
    }
    default:
      d.size = t.size <= 0 ? 4000 : t.size;
  }
  return d;
}

namespace {

ColumnDesc Describe(const OutCol& c) {
  ColumnDesc d = DescribeSqlType(c.type);
  d.name = c.name;
  d.schema = c.schema;
  d.table = c.table;
  return d;
}

std::vector<std::string> BindNamesOf(const std::vector<Token>& toks) {
  std::vector<std::string> names;
  for (auto& t : toks)
    if (t.kind == Tok::Bind && std::find(names.begin(), names.end(), t.text) == names.end())
      names.push_back(t.text);
  return names;
}

int FunctionCode(Statement::Kind k) {
  switch (k) {
    case Statement::Select:
      return 3;
    case Statement::Insert:
      return 2;
    case Statement::Update:
      return 6;
    case Statement::Delete:
      return 7;
    case Statement::CreateTable:
      return 1;
    case Statement::DropTable:
      return 12;
    case Statement::AlterTableAdd:
      return 15;
    case Statement::CreateSequence:
      return 13;
    case Statement::DropSequence:
      return 16;
    case Statement::CreateSynonym:
      return 19;
    case Statement::DropSynonym:
      return 20;
    case Statement::CreateView:
      return 21;
    case Statement::DropView:
      return 22;
    case Statement::CreateUser:
      return 51;
    case Statement::AlterUser:
      return 43;
    case Statement::DropUser:
      return 53;
    case Statement::Grant:
      return 17;
    case Statement::Revoke:
      return 18;
    case Statement::Commit:
      return 44;
    case Statement::Rollback:
      return 45;
    case Statement::Savepoint:
      return 46;
    case Statement::AlterSession:
      return 42;
    case Statement::AlterSystem:
      return 49;
    case Statement::SetTransaction:
      return 48;
    case Statement::Truncate:
      return 85;
    case Statement::LockTable:
      return 26;
    case Statement::PlSql:
      return 47;
    case Statement::CreateType:
      return 77;
    case Statement::DropType:
      return 78;
    case Statement::CreateDirectory:
      return 157;
  }
  return 0;
}

void TranslateDml(Tx& tx, Statement& st, Translation& tr) {
  const CatObject* obj = tx.ResolveObject(st.owner, st.table, 0, true);
  if (obj->type != "TABLE") Raise(obj->type == "VIEW" ? 1732 : 942);
  tr.targetObject = obj->id;
  tr.targetKey = obj->Key();
  tr.writes = true;
  Scope sc;
  sc.sources.push_back(tx.TableSource(obj, st.alias, st.owner));
  std::string tbl = QuoteIdent(obj->sqliteName);
  std::string sql;
  if (st.kind == Statement::Insert) {
    std::vector<const CatColumn*> cols;
    if (st.columns.empty()) {
      for (auto& c : obj->columns) cols.push_back(&c);
    } else {
      for (auto& n : st.columns) {
        const CatColumn* c = obj->Column(n);
        if (!c) Raise(904, QuoteIdent(n));
        for (auto* p : cols)
          if (p == c) Raise(957);
        cols.push_back(c);
      }
    }
    std::vector<std::string> names, vals;
    for (auto* c : cols) names.push_back(QuoteIdent(c->name));
    Scope empty;
    if (st.query) {
      std::vector<OutCol> qc;
      std::string q = tx.EmitQuery(*st.query, nullptr, &qc, false, nullptr, nullptr, true);
      if (qc.size() != cols.size()) Raise(qc.size() < cols.size() ? 947 : 913);
      for (size_t i = 0; i < cols.size(); ++i)
        vals.push_back(CoerceTo("Q.\"C" + std::to_string(i + 1) + "\"", qc[i].type, cols[i]->type));
      sql = "(" + q + ") AS Q";
    } else {
      bool whole = false;  // INSERT INTO object_table VALUES (an object of its type)
      SqlType t0;
      std::string v0;
      if (!obj->ofType.empty() && st.columns.empty() && st.values.size() == 1) {
        v0 = tx.Emit(*st.values[0], &empty, t0);
        whole = t0.ty == Ty::Object && !t0.unknown && t0.typeName == obj->ofType;
      }
      if (whole) {
        for (size_t i = 0; i < cols.size(); ++i)
          vals.push_back("ora_obj_attr(" + v0 + ", " + std::to_string(i) + ")");
      } else {
        if (st.values.size() != cols.size()) Raise(st.values.size() < cols.size() ? 947 : 913);
        for (size_t i = 0; i < cols.size(); ++i) {
          SqlType t;
          std::string v = tx.Emit(*st.values[i], &empty, t);
          vals.push_back(CoerceTo(v, t, cols[i]->type));
        }
      }
    }
    for (auto& c : obj->columns) {
      if (c.defaultText.empty() || std::find(cols.begin(), cols.end(), &c) != cols.end()) continue;
      auto e = ParseExpression(c.defaultText);
      SqlType t;
      std::string v = tx.Emit(*e, &empty, t);
      names.push_back(QuoteIdent(c.name));
      vals.push_back(CoerceTo(v, t, c.type));
    }
    std::string list;
    for (size_t i = 0; i < names.size(); ++i) list += (i ? ", " : "") + names[i];
    std::string vl;
    for (size_t i = 0; i < vals.size(); ++i) vl += (i ? ", " : "") + vals[i];
    if (st.query)
      sql = "INSERT INTO " + tbl + " (" + list + ") SELECT " + vl + " FROM " + sql + " WHERE true";
    else if (names.empty())
      sql = "INSERT INTO " + tbl + " DEFAULT VALUES";
    else
      sql = "INSERT INTO " + tbl + " (" + list + ") VALUES (" + vl + ")";
  } else if (st.kind == Statement::Update) {
    sql = "UPDATE " + tbl + " AS " + sc.sources[0].sqlAlias + " SET ";
    for (size_t i = 0; i < st.set.size(); ++i) {
      const CatColumn* c = obj->Column(st.set[i].first);
      if (!c) Raise(904, QuoteIdent(st.set[i].first), st.set[i].second->pos);
      SqlType t;
      tx.allowSequence_ = true;
      std::string v = tx.Emit(*st.set[i].second, &sc, t);
      sql += (i ? ", " : "") + QuoteIdent(c->name) + " = " + CoerceTo(v, t, c->type);
    }
  } else {
    sql = "DELETE FROM " + tbl + " AS " + sc.sources[0].sqlAlias;
  }
  if (st.where) {
    SqlType t;
    tx.allowSequence_ = false;
    sql += " WHERE " + tx.Emit(*st.where, &sc, t);
    tx.allowSequence_ = true;
  }
  if (!st.returning.empty()) {
    tx.bareColumns_ = true;
    sql += " RETURNING ";
    for (size_t i = 0; i < st.returning.size(); ++i) {
      SqlType t;
      sql += (i ? ", " : "") + tx.Emit(*st.returning[i], &sc, t);
      tr.returningTypes.push_back(t);
      const Expr& r = *st.returning[i];
      const CatColumn* named =
          r.kind == Expr::Column && !r.parts.empty() ? obj->Column(r.parts.back()) : nullptr;
      tr.returningColumns.push_back(named ? named->name : std::string());
    }
    sql += ", rowid";
    tx.bareColumns_ = false;
    tr.outBinds = st.into;
  } else if (st.kind != Statement::Insert) {
    // The rows an UPDATE or DELETE processed give the statement's ROWID (the last of them).
    sql += " RETURNING rowid";
  }
  tr.sqlite = sql;
}

}  // namespace

std::string CoerceTo(const std::string& sql, const SqlType& from, const SqlType& to) {
  if (sql == "NULL") return sql;
  if ((sql == "''" && to.ty == Ty::Clob) || (sql == "x''" && to.ty == Ty::Blob)) return sql;
  if (from.IsNamed() && !to.IsNamed() && !to.unknown) Raise(932);
  switch (to.ty) {
    case Ty::Object:
    case Ty::Ref:
      if (from.IsNamed() && !(from.ty == Ty::Ref && from.typeName.empty())) {
        if (from.ty != to.ty || from.typeName != to.typeName) Raise(932);
        return sql;
      }
      // NULL in a select list reads as VARCHAR2: the check at run time lets NULL through only
      return to.ty == Ty::Ref ? "ora_ref_check(" + sql + ")"
                              : "ora_obj_check(" + sql + ", " + QuoteText(to.typeName) + ")";
    case Ty::Number: {
      std::string v = from.IsNumber() ? sql : "ora_to_number(" + Txt(sql, from) + ")";
      if (to.precision > 0 || to.scale != -127)
        return "ora_num_col(" + v + ", " + std::to_string(to.precision) + ", " + std::to_string(to.scale) +
               ")";
      return v;
    }
    case Ty::Varchar2:
    case Ty::Long:
    case Ty::Clob:
      return "ora_str_col(" + Txt(sql, from) + ", " + std::to_string(to.ty == Ty::Varchar2 ? to.size : 0) +
             ")";
    case Ty::Char:
      return "ora_char_col(" + Txt(sql, from) + ", " + std::to_string(to.size) + ")";
    case Ty::Date:
      return DateOf(sql, from);
    case Ty::Raw:
    case Ty::LongRaw:
    case Ty::Blob:
      return from.IsRaw() ? sql : "ora_hextoraw(" + sql + ")";
    default:
      return sql;
  }
}

std::shared_ptr<Translation> Translate(const TranslateContext& ctx, const std::string& sql) {
  auto tr = std::make_shared<Translation>();
  auto toks = Tokenize(sql);
  tr->bindNames = BindNamesOf(toks);
  std::string lead = LeadingKeyword(toks);
  if (lead == "BEGIN" || lead == "DECLARE") {
    tr->stmtKind = Statement::PlSql;
    tr->kind = StmtKind::PlSql;
    tr->functionCode = 47;
    tr->plsql = sql;
    return tr;
  }
  auto st = std::shared_ptr<Statement>(ParseStatement(sql, toks));
  tr->stmtKind = st->kind;
  tr->functionCode = FunctionCode(st->kind);
  tr->statement = st;
  Tx tx(ctx, tr->bindNames);
  tx.sqlText_ = sql;
  tx.fixedBinds_ = true;
  switch (st->kind) {
    case Statement::Select: {
      tr->kind = StmtKind::Select;
      std::vector<OutCol> cols;
      std::vector<std::string> lockCols;
      std::vector<int64_t> lockObjs;
      const Select& q = *st->query;
      bool lock = q.forUpdate;
      if (lock) {
        bool aggregate = q.distinct || !q.groupBy.empty() || q.having || !q.setOps.empty();
        for (auto& it : q.items)
          if (it.expr && Tx::HasAggregate(*it.expr)) aggregate = true;
        if (aggregate) throw OraError(1786, "ORA-01786: FOR UPDATE of this query expression is not allowed");
      }
      tr->sqlite =
          tx.EmitQuery(q, nullptr, &cols, true, lock ? &lockCols : nullptr, lock ? &lockObjs : nullptr);
      if (lock) {
        tr->forUpdate = true;
        tr->nowait = q.nowait;
        if (!q.forUpdateOf.empty()) {
          // only the tables that own the named columns
          std::vector<int64_t> keep;
          Scope* sc = tx.scopes_.empty() ? nullptr : tx.scopes_.front().get();
          for (auto& e : q.forUpdateOf) {
            const Source* src;
            const SqlType* t;
            const std::string* cn;
            if (e->kind != Expr::Column || !sc || !tx.FindColumn(e->parts, sc, src, t, cn, e->pos))
              Raise(904, Tx::QuotedPath(e->parts), e->pos);
            if (src->obj) keep.push_back(src->obj->id);
          }
          for (auto& id : lockObjs)
            if (std::find(keep.begin(), keep.end(), id) == keep.end()) id = 0;
        }
        tr->lockObjects = lockObjs;
        tr->writes = true;
      }
      for (auto& c : cols) {
        tr->columns.push_back(Describe(c));
        tr->columnTypes.push_back(c.type);
      }
      if (tx.writes_) tr->writes = true;
      if (!tx.tables_.empty()) tr->sqliteConsistent = tx.ResolveTables(tr->sqlite, true);
      tr->sqlite = tx.ResolveTables(tr->sqlite, false);
      break;
    }
    case Statement::Insert:
      tr->kind = StmtKind::Insert;
      TranslateDml(tx, *st, *tr);
      tr->sqlite = tx.ResolveTables(tr->sqlite, false);
      break;
    case Statement::Update:
      tr->kind = StmtKind::Update;
      TranslateDml(tx, *st, *tr);
      tr->sqlite = tx.ResolveTables(tr->sqlite, false);
      break;
    case Statement::Delete:
      tr->kind = StmtKind::Delete;
      TranslateDml(tx, *st, *tr);
      tr->sqlite = tx.ResolveTables(tr->sqlite, false);
      break;
    case Statement::Commit:
    case Statement::Rollback:
    case Statement::Savepoint:
    case Statement::AlterSession:
    case Statement::AlterSystem:
    case Statement::SetTransaction:
    case Statement::LockTable:
      tr->kind = StmtKind::Other;
      break;
    default:
      tr->kind = StmtKind::Ddl;
      break;
  }
  return tr;
}

std::string TranslateTableExpr(const TranslateContext& ctx, const CatObject& table, const std::string& text,
                               const std::string& alias, SqlType* type) {
  std::vector<std::string> binds;
  Tx tx(ctx, binds);
  tx.sqlText_ = text;
  Scope sc;
  Source s;
  s.obj = &table;
  s.alias = table.name;
  s.sqlAlias = alias;
  for (auto& c : table.columns) s.cols.emplace_back(c.name, c.type);
  sc.sources.push_back(s);
  auto e = ParseExpression(text);
  tx.allowSequence_ = false;
  SqlType t;
  std::string r = tx.ResolveTables(tx.Emit(*e, &sc, t), false);
  if (!binds.empty()) Raise(1027);
  if (type) *type = t;
  return r;
}

std::string TranslateFreeExpr(const TranslateContext& ctx, const Expr& e, const std::string& text,
                              std::vector<std::string>& binds, SqlType* type,
                              const std::function<bool(const Expr&, std::string&, SqlType&)>& names) {
  Tx tx(ctx, binds);
  tx.sqlText_ = text;
  tx.nameHook_ = names;
  Scope sc;
  SqlType t;
  std::string r = tx.ResolveTables(tx.Emit(e, &sc, t), false);
  if (type) *type = t;
  return r;
}

}  // namespace oracle_sim
