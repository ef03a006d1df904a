// A small interpreter for anonymous PL/SQL blocks: DECLARE sections with simple variables,
// assignments, IF, nested blocks with exception handlers, SELECT ... INTO, DML, transaction
// control, RAISE_APPLICATION_ERROR, and calls of the built-in packages the program uses.
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Parser.h"

namespace oracle_sim {

namespace {

// An exception raised by a block that its handlers may catch.
struct PlError {
  OraError error;
  int line = 0;  // line of the statement that raised it
};

struct Local {
  SqlType type;
  bool boolean = false;
  bool constant = false;
  Value value;
};

struct Param {
  const char* name;
  bool out;
};

struct Builtin {
  const char* name;  // PACKAGE.PROCEDURE
  std::vector<Param> params;
  bool dbaOnly;
};

const std::vector<Builtin>& Builtins() {
  static const std::vector<Builtin> list = {
      {"DBMS_APPLICATION_INFO.SET_CLIENT_INFO", {{"CLIENT_INFO", false}}, false},
      {"DBMS_APPLICATION_INFO.SET_MODULE", {{"MODULE_NAME", false}, {"ACTION_NAME", false}}, false},
      {"DBMS_APPLICATION_INFO.SET_ACTION", {{"ACTION_NAME", false}}, false},
      {"DBMS_APPLICATION_INFO.READ_CLIENT_INFO", {{"CLIENT_INFO", true}}, false},
      {"DBMS_APPLICATION_INFO.READ_MODULE", {{"MODULE_NAME", true}, {"ACTION_NAME", true}}, false},
      {"DBMS_OUTPUT.ENABLE", {{"BUFFER_SIZE", false}}, false},
      {"DBMS_OUTPUT.DISABLE", {}, false},
      {"DBMS_OUTPUT.PUT_LINE", {{"A", false}}, false},
      {"DBMS_OUTPUT.PUT", {{"A", false}}, false},
      {"DBMS_OUTPUT.NEW_LINE", {}, false},
      {"DBMS_OUTPUT.GET_LINE", {{"LINE", true}, {"STATUS", true}}, false},
      {"DBMS_OUTPUT.GET_LINES", {{"LINES", true}, {"NUMLINES", true}}, false},
      {"DBMS_SESSION.SET_ROLE", {{"ROLE_CMD", false}}, false},
      {"DBMS_SESSION.SET_SQL_TRACE", {{"SQL_TRACE", false}}, false},
      {"DBMS_SESSION.SET_NLS", {{"PARAM", false}, {"VALUE", false}}, false},
      {"DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION",
       {{"SID", false}, {"SERIAL#", false}, {"SQL_TRACE", false}},
       true},
      {"DBMS_LOCK.SLEEP", {{"SECONDS", false}}, false},
  };
  return list;
}

int LineOf(const std::string& text, int pos) {
  int line = 1;
  for (int i = 0; i < pos && i < static_cast<int>(text.size()); ++i)
    if (text[i] == '\n') ++line;
  return line;
}
int ColumnOf(const std::string& text, int pos) {
  int col = 1;
  for (int i = pos - 1; i >= 0 && i < static_cast<int>(text.size()) && text[i] != '\n'; --i) ++col;
  return col;
}

SqlType TypeOfValue(const Value& v) {
  switch (v.kind) {
    case Value::Int:
    case Value::Real:
      return SqlType::Number();
    case Value::Date: {
      SqlType t = SqlType::DateT();
      if (v.dt.nanos != 0 || v.dt.hasTz) {  // a timestamp keeps its fraction and zone
        t.ty = v.dt.hasTz ? Ty::TimestampTZ : Ty::Timestamp;
        t.size = v.dt.hasTz ? 13 : 11;
        t.scale = 9;
      }
      return t;
    }
    case Value::Text:
      return SqlType::Varchar(4000);
    case Value::Bytes: {
      SqlType t;
      t.ty = Ty::Raw;
      t.size = 2000;
      return t;
    }
    case Value::Object:
      if (v.obj) return SqlType::Named(v.obj->typeSchema + "." + v.obj->typeName, false);
      return SqlType::Unknown();
    case Value::Ref:
      return SqlType::Named("", true);  // a REF to whatever type its bytes name
    default:
      return SqlType::Unknown();
  }
}

struct ReturnSignal {};

class Interpreter {
 public:
  Interpreter(SessionState& s, CursorState& c) : s_(s), c_(c), text_(c.sql), toks_(Tokenize(c.sql)) {}

  void Run() {
    size_t i = 0;
    try {
      Block(i, true);
    } catch (const ReturnSignal&) {
    } catch (PlError& e) {
      throw OraError(e.error.code, e.error.text + "\nORA-06512: at line " + std::to_string(e.line));
    }
    // what the block assigned goes back to the caller
    for (auto& [k, v] : assigned_) c_.outs[k] = {v};
    for (auto& [k, v] : assignedTables_) c_.outs[k] = v;
  }

 private:
  SessionState& s_;
  CursorState& c_;
  const std::string& text_;
  std::vector<Token> toks_;
  std::vector<std::map<std::string, Local>> scopes_;
  std::map<std::string, Value> assigned_;
  std::map<std::string, std::vector<Value>> assignedTables_;
  bool executing_ = true;  // false while skipping a branch (parse only)
  OraError current_;       // the exception a handler runs for (SQLCODE, SQLERRM)
  int stmtLine_ = 1;

  const Token& T(size_t i) const { return toks_[std::min(i, toks_.size() - 1)]; }
  [[noreturn]] void Syntax(size_t i) {
    const Token& t = T(i);
    int line = LineOf(text_, t.pos), col = ColumnOf(text_, t.pos);
    std::string where = "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(col) + ":\n";
    std::string found = t.kind == Tok::End ? "end-of-file" : "\"" + t.text + "\"";
    throw OraError(6550, where + "PLS-00103: Encountered the symbol " + found +
                             " when expecting one of the "
                             "following:\n");
  }
  void Expect(size_t& i, const char* w) {
    if (!T(i).Is(w)) Syntax(i);
    ++i;
  }

  Local* FindLocal(const std::string& name) {
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
      auto f = it->find(name);
      if (f != it->end()) return &f->second;
    }
    return nullptr;
  }

  Value BindIn(const std::string& name, int pos) {
    auto a = assigned_.find(name);
    if (a != assigned_.end()) return a->second;
    auto b = c_.binds.find(name);
    if (b != c_.binds.end()) return b->second;
    auto arr = c_.arrays.find(name);
    if (arr != c_.arrays.end() && !arr->second.empty()) return arr->second[0];
    if (c_.tables.count(name)) RaisePls("PLS-00306: wrong number or types of arguments", pos);
    Raise(1008);
  }

  [[noreturn]] void RaisePls(const std::string& msg, int pos) {
    int line = LineOf(text_, pos), col = ColumnOf(text_, pos);
    std::string where = "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(col) + ":\n";
    throw OraError(6550, where + msg + "\n" + where + "PL/SQL: Statement ignored");
  }

  // ---- expressions: evaluated by SQLite through the translator
  std::string ExprText(size_t from, size_t to) const {
    return text_.substr(T(from).pos, T(to).pos - T(from).pos);
  }

  // Parses an expression at tokens [i, end) — `end` is found by the caller.
  ExprP ParseExprAt(size_t from, size_t to) {
    std::string src = ExprText(from, to);
    try {
      return ParseExpression(src);
    } catch (const OraError&) {
      Syntax(from);
    }
  }

  Value Eval(const Expr& e, const std::string& src, SqlType* typeOut = nullptr,
             const Local* target = nullptr) {
    std::vector<std::string> params;
    std::vector<Value> values;
    TranslateContext ctx = s_.Context();
    NameHook hook;
    hook = [&](const Expr& x, std::string& sql, SqlType& t) -> bool {
      auto param = [&](const Value& v) {
        params.push_back("");
        values.push_back(v);
        return "?" + std::to_string(params.size());
      };
      if (x.kind == Expr::Bind) {
        Value v = BindIn(x.text, x.pos);
        t = TypeOfValue(v);
        sql = param(v);
        return true;
      }
      if (x.kind == Expr::Column && x.parts.size() == 1) {
        if (Local* l = FindLocal(x.parts[0])) {
          t = l->type;
          if (l->boolean) t = SqlType::Number();
          sql = param(l->value);
          return true;
        }
        if (x.parts[0] == "SQLCODE") {
          t = SqlType::Number();
          sql = param(Value::MakeInt(current_.code == ORA_NO_DATA_FOUND ? 100 : -current_.code));
          return true;
        }
        if (x.parts[0] == "SQLERRM") {
          t = SqlType::Varchar(512);
          sql = param(
              Value::MakeText(current_.code ? current_.text : "ORA-0000: normal, successful completion"));
          return true;
        }
      }
      if (x.kind == Expr::Func) {
        std::string f = x.text;
        if (f.rfind("SYS.", 0) == 0) f = f.substr(4);
        if (f == "DIUTIL.INT_TO_BOOL" || f == "DIUTIL.BOOL_TO_INT") {
          if (x.args.size() != 1)
            RaisePls("PLS-00306: wrong number or types of arguments in call to '" + f.substr(7) + "'", x.pos);
          SqlType at;
          std::string a = TranslateFreeExpr(ctx, *x.args[0], src, params, &at, hook);
          values.resize(params.size());
          t = SqlType::Number();
          sql = "(CASE WHEN " + a + " IS NULL THEN NULL WHEN " + a + " = 0 THEN 0 ELSE 1 END)";
          return true;
        }
        // local.method(): methods of an object local are the translator's
        if (f.find('.') != std::string::npos && !(x.parts.size() == 2 && FindLocal(x.parts[0]))) {
          RaisePls("PLS-00201: identifier '" + x.text + "' must be declared", x.pos + ExprBase());
        }
      }
      return false;
    };
    SqlType type;
    std::string sql;
    try {
      sql = TranslateFreeExpr(ctx, e, src, params, &type, hook);
    } catch (const OraError& err) {
      if (err.code == ORA_INVALID_IDENTIFIER) {
        std::string name = err.text.substr(11);
        auto q = name.find(": invalid identifier");
        if (q != std::string::npos) name = name.substr(0, q);
        name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
        RaisePls("PLS-00201: identifier '" + name + "' must be declared", err.offset + ExprBase());
      }
      throw;
    }
    values.resize(params.size());
    if (target && !target->boolean && !target->type.unknown) {
      sql = CoerceTo(sql, type, target->type);
      type = target->type;
    }
    sqlite3_stmt* st = nullptr;
    std::string q = "SELECT " + sql;
    int rc = sqlite3_prepare_v2(s_.db, q.c_str(), -1, &st, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(st);
      s_.RaiseSqlite(rc);
    }
    for (size_t k = 0; k < values.size(); ++k) oracle_sim::BindValue(st, static_cast<int>(k) + 1, values[k]);
    rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
      try {
        s_.RaiseSqlite(rc);
      } catch (...) {
        sqlite3_finalize(st);
        throw;
      }
    }
    Value v = FromSqlite(st, 0, type);
    sqlite3_finalize(st);
    if (typeOut) *typeOut = type;
    return v;
  }

  int exprBase_ = 0;
  int ExprBase() const { return exprBase_; }

  Value EvalTokens(size_t from, size_t to, const Local* target = nullptr) {
    auto e = ParseExprAt(from, to);
    exprBase_ = T(from).pos;
    std::string src = ExprText(from, to);
    return Eval(*e, src, nullptr, target);
  }

  bool Truth(size_t from, size_t to) {
    Value v = EvalTokens(from, to);
    if (v.IsNull()) return false;
    if (v.kind == Value::Int) return v.i != 0;
    if (v.kind == Value::Real) return v.d != 0;
    return true;
  }

  // ---- assignment targets
  void Assign(const Token& target, const Value& v, int pos) {
    if (target.kind == Tok::Bind) {
      assigned_[target.text] = v;
      return;
    }
    Local* l = FindLocal(target.text);
    if (!l) RaisePls("PLS-00201: identifier '" + target.text + "' must be declared", pos);
    if (l->constant)
      RaisePls("PLS-00363: expression '" + target.text + "' cannot be used as an assignment target", pos);
    l->value = v;
  }

  // ---- statements
  // index of the ';' ending the statement that starts at i (outside parentheses)
  size_t StatementEnd(size_t i) {
    int depth = 0;
    for (size_t k = i; k < toks_.size(); ++k) {
      const Token& t = toks_[k];
      if (t.kind == Tok::End) Syntax(k);
      if (t.Is("(")) ++depth;
      if (t.Is(")")) --depth;
      if (depth == 0 && t.Is(";")) return k;
    }
    Syntax(i);
  }

  // Runs [DECLARE ...] BEGIN ... [EXCEPTION ...] END; starting at i.
  void Block(size_t& i, bool top) {
    scopes_.emplace_back();
    struct Pop {
      std::vector<std::map<std::string, Local>>& s;
      ~Pop() { s.pop_back(); }
    } pop{scopes_};
    if (T(i).Is("DECLARE")) {
      ++i;
      while (!T(i).Is("BEGIN")) Declaration(i);
    }
    Expect(i, "BEGIN");
    std::optional<PlError> raised;
    try {
      Statements(i, {"EXCEPTION", "END"});
    } catch (PlError& e) {
      raised = e;
    } catch (OraError& e) {
      if (e.code == ORA_PLSQL_COMPILE_ERROR || e.code == ORA_END_OF_CHANNEL || e.code == ORA_NOT_CONNECTED ||
          e.code == ORA_USER_CANCEL)
        throw;
      raised = PlError{e, stmtLine_};
    }
    if (raised) {
      // skip to EXCEPTION of this block
      SkipTo(i, {"EXCEPTION", "END"});
    }
    if (T(i).Is("EXCEPTION")) {
      ++i;
      bool handled = !raised;
      while (T(i).Is("WHEN")) {
        ++i;
        bool match = false;
        for (;;) {
          std::string name = T(i).text;
          ++i;
          if (raised && !handled) match = match || Matches(name, raised->error.code);
          if (!T(i).Is("OR")) break;
          ++i;
        }
        Expect(i, "THEN");
        bool run = raised && !handled && match;
        bool saved = executing_;
        OraError savedErr = current_;
        if (run) current_ = raised->error;
        executing_ = saved && run;
        Statements(i, {"WHEN", "END"});
        executing_ = saved;
        current_ = savedErr;
        if (run) handled = true;
      }
      if (handled) raised.reset();
    }
    Expect(i, "END");
    if (T(i).kind == Tok::Ident && !T(i).Is("IF") && !T(i).Is("LOOP")) ++i;  // END label
    if (T(i).Is(";"))
      ++i;
    else if (!top)
      Syntax(i);
    if (top && T(i).Is("/")) ++i;
    if (top && T(i).kind != Tok::End) Syntax(i);
    if (raised && executing_) throw *raised;
  }

  static bool Matches(const std::string& name, int code) {
    if (name == "OTHERS") return true;
    if (name == "NO_DATA_FOUND") return code == ORA_NO_DATA_FOUND;
    if (name == "TOO_MANY_ROWS") return code == 1422;
    if (name == "DUP_VAL_ON_INDEX") return code == ORA_UNIQUE_VIOLATED;
    if (name == "ZERO_DIVIDE") return code == 1476;
    if (name == "INVALID_NUMBER") return code == 1722;
    if (name == "VALUE_ERROR") return code == 6502;
    return false;
  }

  // Moves i to the next token at this nesting level that is one of `stops` (skipping nested blocks).
  void SkipTo(size_t& i, std::initializer_list<const char*> stops) {
    bool saved = executing_;
    executing_ = false;
    try {
      Statements(i, stops);
    } catch (...) {
      executing_ = saved;
      throw;
    }
    executing_ = saved;
  }

  void Declaration(size_t& i) {
    const Token& name = T(i);
    if (name.kind != Tok::Ident && name.kind != Tok::QuotedIdent) Syntax(i);
    if (name.Is("CURSOR") || name.Is("TYPE") || name.Is("PROCEDURE") || name.Is("FUNCTION") ||
        name.Is("PRAGMA"))
      RaisePls("PLS-00999: implementation restriction (may be temporary)", name.pos);
    ++i;
    Local l;
    if (T(i).Is("CONSTANT")) {
      l.constant = true;
      ++i;
    }
    // type
    bool isRef = T(i).Is("REF");
    if (isRef) ++i;
    std::string type = T(i).text;
    size_t typePos = i;
    ++i;
    while (T(i).Is(".")) {
      type += "." + T(i + 1).text;
      i += 2;
    }
    int size = 0, prec = 0, scale = 0;
    bool hasP = false;
    if (T(i).Is("(")) {
      ++i;
      if (T(i).kind == Tok::Number) {
        size = prec = static_cast<int>(ParseIntClamped(T(i).text, 0, 32767));
        hasP = true;
        ++i;
      }
      if (T(i).Is(",")) {
        scale = static_cast<int>(ParseIntClamped(T(i + 1).text, 0, 127));
        i += 2;
      }
      while (!T(i).Is(")") && T(i).kind != Tok::End) ++i;
      Expect(i, ")");
    }
    if (T(i).Is("%")) {
      RaisePls("PLS-00999: implementation restriction (may be temporary)", T(i).pos);
    }
    if (type == "BOOLEAN") {
      l.boolean = true;
      l.type = SqlType::Number();
    } else if (type == "NUMBER" || type == "INTEGER" || type == "PLS_INTEGER" || type == "BINARY_INTEGER" ||
               type == "FLOAT" || type == "NATURAL" || type == "POSITIVE") {
      l.type = type == "NUMBER" && hasP ? SqlType::Number(prec, scale) : SqlType::Number();
    } else if (type == "CLOB" && !isRef) {
      l.type.ty = Ty::Clob;
      l.type.size = 0;
    } else if (type == "BFILE" && !isRef) {
      l.type.ty = Ty::Bfile;
      l.type.size = 530;
    } else if (type == "VARCHAR2" || type == "VARCHAR" || type == "CHAR" || type == "LONG") {
      l.type = SqlType::Varchar(size > 0 ? size : 32767);
    } else if (type == "DATE") {
      l.type = SqlType::DateT();
    } else if (type == "RAW") {
      l.type.ty = Ty::Raw;
      l.type.size = size;
    } else if (const CatType* named = NamedTypeOf(type)) {
      l.type = SqlType::Named(named->Key(), isRef);
    } else {
      RaisePls("PLS-00201: identifier '" + type + "' must be declared", T(typePos).pos);
    }
    if (T(i).Is("NOT")) i += 2;
    if (T(i).Is(":=") || T(i).Is("DEFAULT")) {
      ++i;
      size_t end = StatementEnd(i);
      if (executing_) l.value = EvalTokens(i, end, &l);
      i = end;
    }
    Expect(i, ";");
    scopes_.back()[name.text] = l;
  }

  // A named type written in a declaration ("ADDRESS_T", "SCOTT.ADDRESS_T", "SYS.XMLTYPE").
  const CatType* NamedTypeOf(const std::string& text) {
    auto cat = s_.CurrentCatalog();
    catalogs_.push_back(cat);
    auto dot = text.find('.');
    if (dot == std::string::npos) return cat->ResolveType("", text, s_.user);
    if (text.find('.', dot + 1) != std::string::npos) return nullptr;
    return cat->ResolveType(text.substr(0, dot), text.substr(dot + 1), s_.user);
  }
  std::vector<std::shared_ptr<const Catalog>> catalogs_;  // keep what NamedTypeOf returned alive

  void Statements(size_t& i, std::initializer_list<const char*> stops) {
    for (;;) {
      for (auto s : stops)
        if (T(i).Is(s)) return;
      if (T(i).Is("ELSE") || T(i).Is("ELSIF") || T(i).kind == Tok::End) {
        bool allowed = false;
        for (auto s : stops)
          if (T(i).Is(s)) allowed = true;
        if (!allowed) Syntax(i);
      }
      Statement(i);
    }
  }

  // Runs one statement; when it fails, i stays at its start so that the block can skip it.
  void Statement(size_t& i) {
    size_t start = i;
    if (++depth_ > 100) {
      --depth_;
      RaisePls("PLS-00123: program too large", T(i).pos);
    }
    try {
      StatementInner(i);
    } catch (...) {
      --depth_;
      i = start;
      throw;
    }
    --depth_;
  }
  int depth_ = 0;

  void StatementInner(size_t& i) {
    const Token& t = T(i);
    stmtLine_ = LineOf(text_, t.pos);
    if (t.Is("BEGIN") || t.Is("DECLARE")) {
      Block(i, false);
      return;
    }
    if (t.Is("NULL") && T(i + 1).Is(";")) {
      i += 2;
      return;
    }
    if (t.Is("IF")) {
      If(i);
      return;
    }
    if (t.Is("RETURN")) {
      if (!T(i + 1).Is(";")) Syntax(i + 1);
      if (executing_) throw ReturnSignal();
      i += 2;
      return;
    }
    if (t.Is("RAISE")) {
      size_t end = StatementEnd(i);
      if (executing_) {
        if (end == i + 1) {
          if (!current_.code) Syntax(i);
          throw PlError{current_, stmtLine_};
        }
        std::string name = T(i + 1).text;
        static const std::map<std::string, int> codes = {{"NO_DATA_FOUND", 1403},  {"TOO_MANY_ROWS", 1422},
                                                         {"DUP_VAL_ON_INDEX", 1},  {"ZERO_DIVIDE", 1476},
                                                         {"INVALID_NUMBER", 1722}, {"VALUE_ERROR", 6502}};
        auto it = codes.find(name);
        if (it == codes.end())
          RaisePls("PLS-00201: identifier '" + name + "' must be declared", T(i + 1).pos);
        throw PlError{MakeError(it->second), stmtLine_};
      }
      i = end + 1;
      return;
    }
    if (t.Is("SELECT") || t.Is("INSERT") || t.Is("UPDATE") || t.Is("DELETE") || t.Is("COMMIT") ||
        t.Is("ROLLBACK") || t.Is("SAVEPOINT") || t.Is("LOCK")) {
      size_t end = StatementEnd(i);
      if (executing_) Sql(i, end);
      i = end + 1;
      return;
    }
    if (t.Is("OPEN") && T(i + 1).kind == Tok::Bind && T(i + 2).Is("FOR")) {
      size_t end = StatementEnd(i);
      if (executing_) OpenFor(T(i + 1), i + 3, end);
      i = end + 1;
      return;
    }
    if (t.Is("LOOP") || t.Is("FOR") || t.Is("WHILE") || t.Is("EXECUTE") || t.Is("OPEN") || t.Is("FETCH") ||
        t.Is("CLOSE") || t.Is("GOTO") || t.Is("EXIT"))
      RaisePls("PLS-00999: implementation restriction (may be temporary)", t.pos);
    // assignment or call
    if ((t.kind == Tok::Bind || t.kind == Tok::Ident || t.kind == Tok::QuotedIdent) && T(i + 1).Is(":=")) {
      size_t end = StatementEnd(i);
      if (executing_) {
        Local* target = t.kind == Tok::Bind ? nullptr : FindLocal(t.text);
        if (t.kind != Tok::Bind && !target)
          RaisePls("PLS-00201: identifier '" + t.text + "' must be declared", t.pos);
        Value v = EvalTokens(i + 2, end, target);
        Assign(t, v, t.pos);
      }
      i = end + 1;
      return;
    }
    if (t.kind == Tok::Ident || t.kind == Tok::QuotedIdent) {
      size_t end = StatementEnd(i);
      if (executing_) Call(i, end);
      i = end + 1;
      return;
    }
    Syntax(i);
  }

  void If(size_t& i) {
    ++i;  // IF
    bool done = false;
    for (;;) {
      size_t condStart = i;
      size_t k = i;
      int depth = 0;
      while (!(depth == 0 && T(k).Is("THEN"))) {
        if (T(k).kind == Tok::End) Syntax(k);
        if (T(k).Is("(")) ++depth;
        if (T(k).Is(")")) --depth;
        ++k;
      }
      bool take = false;
      if (executing_ && !done) take = Truth(condStart, k);
      i = k + 1;
      bool saved = executing_;
      executing_ = saved && take && !done;
      Statements(i, {"ELSIF", "ELSE", "END"});
      executing_ = saved;
      if (take) done = true;
      if (T(i).Is("ELSIF")) {
        ++i;
        continue;
      }
      if (T(i).Is("ELSE")) {
        ++i;
        bool s2 = executing_;
        executing_ = s2 && !done;
        Statements(i, {"END"});
        executing_ = s2;
      }
      break;
    }
    Expect(i, "END");
    Expect(i, "IF");
    Expect(i, ";");
  }

  // A SQL statement inside the block: locals become binds; SELECT ... INTO fills targets.
  void Sql(size_t from, size_t end) {
    std::string sql;
    std::vector<Token> into;
    std::map<std::string, Value> localBinds;
    size_t k = from;
    int depth = 0;
    int last = T(from).pos;
    bool isSelect = T(from).Is("SELECT");
    while (k < end) {
      const Token& t = T(k);
      if (t.Is("(")) ++depth;
      if (t.Is(")")) --depth;
      if (isSelect && depth == 0 && t.Is("INTO") && into.empty()) {
        sql += text_.substr(last, t.pos - last);
        ++k;
        while (k < end) {
          into.push_back(T(k));
          ++k;
          if (!T(k).Is(",")) break;
          ++k;
        }
        last = T(k).pos;
        continue;
      }
      bool qualified = k > from && T(k - 1).Is(".");
      if ((t.kind == Tok::Ident) && !qualified && !T(k + 1).Is("(") && !T(k + 1).Is(".")) {
        if (Local* l = FindLocal(t.text)) {
          sql += text_.substr(last, t.pos - last) + ":PLSQL_L_" + t.text;
          localBinds["PLSQL_L_" + t.text] = l->value;
          last = t.end;
        }
      }
      ++k;
    }
    sql += text_.substr(last, T(end).pos - last);
    CursorState cur;
    cur.session = &s_;
    cur.sql = sql;
    struct Finalize {
      CursorState& c;
      ~Finalize() {
        if (c.stmt) sqlite3_finalize(c.stmt);
      }
    } fin{cur};
    try {
      cur.tr = s_.TranslateCached(sql);
    } catch (const OraError& e) {
      int pos = T(from).pos + e.offset;
      int line = LineOf(text_, pos), col = ColumnOf(text_, pos);
      std::string where =
          "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(col) + ":\n";
      throw OraError(6550, where + "PL/SQL: " + e.text + "\n" + where + "PL/SQL: SQL Statement ignored");
    }
    for (auto& n : cur.tr->bindNames) {
      auto lb = localBinds.find(n);
      if (lb != localBinds.end()) {
        cur.binds[n] = lb->second;
        continue;
      }
      bool outOnly =
          std::find(cur.tr->outBinds.begin(), cur.tr->outBinds.end(), n) != cur.tr->outBinds.end() &&
          !assigned_.count(n) && !c_.binds.count(n);
      if (!outOnly) cur.binds[n] = BindIn(n, T(from).pos);
    }
    if (isSelect && into.empty())
      RaisePls("PLS-00428: an INTO clause is expected in this SELECT statement", T(from).pos);
    RunCursor(cur, 1);
    if (isSelect) {
      std::vector<Value> row, extra;
      if (!cur.StepRow(row)) Raise(1403);
      if (cur.StepRow(extra)) Raise(1422);
      cur.Reset();
      if (row.size() != into.size())
        RaisePls(row.size() < into.size()
                     ? "PLS-00394: wrong number of values in the INTO list of a FETCH statement"
                     : "PL/SQL: ORA-00913: too many values",
                 T(from).pos);
      for (size_t n = 0; n < into.size(); ++n) Assign(into[n], row[n], into[n].pos);
    }
    for (auto& [name, vals] : cur.outs)
      if (!vals.empty()) assigned_[name] = vals.back();
    // A LOB returned into a bind of the block stays tied to its row.
    for (const std::string& name : cur.tr->outBinds) {
      ColumnDesc where;
      std::string rowid;
      if (!localBinds.count(name) && ReturnedRowOf(cur, name, where, rowid))
        c_.returnedRows[name] = {where, rowid};
    }
  }

  // "OPEN :c FOR <query>": the query, with the block's locals as binds, is kept for the caller,
  // which opens it as the cursor the variable stands for.
  void OpenFor(const Token& target, size_t from, size_t end) {
    if (!T(from).Is("SELECT") && !T(from).Is("WITH") && !T(from).Is("("))
      RaisePls("PLS-00103: Encountered the symbol \"" + T(from).text + "\"", T(from).pos);
    std::string sql;
    std::map<std::string, Value> values;
    int last = T(from).pos;
    for (size_t k = from; k < end; ++k) {
      const Token& t = T(k);
      bool qualified = k > from && T(k - 1).Is(".");
      if (t.kind == Tok::Ident && !qualified && !T(k + 1).Is("(") && !T(k + 1).Is(".")) {
        if (Local* l = FindLocal(t.text)) {
          sql += text_.substr(last, t.pos - last) + ":PLSQL_L_" + t.text;
          values["PLSQL_L_" + t.text] = l->value;
          last = t.end;
        }
      }
    }
    sql += text_.substr(last, T(end).pos - last);
    std::shared_ptr<Translation> tr;
    try {
      tr = s_.TranslateCached(sql);
    } catch (const OraError& e) {
      int pos = T(from).pos + e.offset;
      int line = LineOf(text_, pos), col = ColumnOf(text_, pos);
      std::string where =
          "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(col) + ":\n";
      throw OraError(6550, where + "PL/SQL: " + e.text + "\n" + where + "PL/SQL: SQL Statement ignored");
    }
    if (tr->kind != StmtKind::Select) RaisePls("PLS-00382: expression is of wrong type", T(from).pos);
    std::map<std::string, Value> binds;
    for (auto& n : tr->bindNames) {
      auto lv = values.find(n);
      binds[n] = lv != values.end() ? lv->second : BindIn(n, T(from).pos);
    }
    c_.refCursors[target.text] = {sql, std::move(binds)};
  }

  // A procedure call: [SYS.]PACKAGE.PROCEDURE[(args)]
  void Call(size_t from, size_t end) {
    size_t k = from;
    std::string name = T(k).text;
    int namePos = T(k).pos;
    ++k;
    while (T(k).Is(".")) {
      name += "." + T(k + 1).text;
      k += 2;
    }
    std::string key = name.rfind("SYS.", 0) == 0 ? name.substr(4) : name;
    const Builtin* b = nullptr;
    for (auto& x : Builtins())
      if (key == x.name) b = &x;
    if (key == "RAISE_APPLICATION_ERROR") {
      auto args = Args(k, end);
      if (args.size() < 2)
        RaisePls("PLS-00306: wrong number or types of arguments in call to 'RAISE_APPLICATION_ERROR'",
                 namePos);
      Value code = EvalTokens(args[0].first, args[0].second);
      Value msg = EvalTokens(args[1].first, args[1].second);
      int64_t n = code.kind == Value::Int ? code.i : ClampToInt64(code.d);
      if (n > -20000 || n < -20999)
        throw OraError(21000, "ORA-21000: error number argument to raise_application_error of " +
                                  std::to_string(n) + " is out of range");
      char head[16];
      std::snprintf(head, sizeof head, "ORA-%05d: ", static_cast<int>(-n));
      throw PlError{OraError(static_cast<int>(-n), head + msg.ToText()), stmtLine_};
    }
    if (key == "DBMS_LOB.TRIM" || key == "DBMS_LOB.APPEND") {
      LobCall(key, Args(k, end), namePos);
      return;
    }
    if (!b || (b->dbaOnly && !s_.dba))
      RaisePls("PLS-00201: identifier '" + name + "' must be declared", namePos);
    auto args = Args(k, end);
    // match arguments to parameters: positional first, then by name
    std::vector<std::pair<size_t, size_t>> bound(b->params.size(), {0, 0});
    std::vector<bool> given(b->params.size(), false);
    size_t pos = 0;
    for (auto& a : args) {
      size_t p = pos;
      if (T(a.first + 1).Is("=>") && (T(a.first).kind == Tok::Ident || T(a.first).kind == Tok::QuotedIdent)) {
        p = b->params.size();
        for (size_t q = 0; q < b->params.size(); ++q)
          if (T(a.first).text == b->params[q].name) p = q;
        if (p == b->params.size())
          RaisePls("PLS-00306: wrong number or types of arguments in call to '" +
                       key.substr(key.find('.') + 1) + "'",
                   namePos);
        a.first += 2;
      } else {
        ++pos;
      }
      if (p >= b->params.size())
        RaisePls("PLS-00306: wrong number or types of arguments in call to '" +
                     key.substr(key.find('.') + 1) + "'",
                 namePos);
      bound[p] = a;
      given[p] = true;
    }
    auto in = [&](size_t p) -> Value {
      if (!given[p]) return Value();
      return EvalTokens(bound[p].first, bound[p].second);
    };
    auto out = [&](size_t p, const Value& v) {
      if (!given[p])
        RaisePls("PLS-00306: wrong number or types of arguments in call to '" +
                     key.substr(key.find('.') + 1) + "'",
                 namePos);
      const Token& target = T(bound[p].first);
      if (bound[p].second != bound[p].first + 1 || (target.kind != Tok::Bind && target.kind != Tok::Ident))
        RaisePls("PLS-00363: expression cannot be used as an assignment target", target.pos);
      Assign(target, v, target.pos);
    };
    CallBuiltin(key, in, out, given, bound);
  }

  // The value of an argument as it is: a bind or local keeps an empty LOB apart from NULL.
  Value RawArg(const std::pair<size_t, size_t>& a) {
    const Token& t = T(a.first);
    if (a.second == a.first + 1) {
      if (t.kind == Tok::Bind) return BindIn(t.text, t.pos);
      if (t.kind == Tok::Ident)
        if (Local* l = FindLocal(t.text)) return l->value;
    }
    return EvalTokens(a.first, a.second);
  }

  // DBMS_LOB.TRIM(lob, newlen) and DBMS_LOB.APPEND(dest, src) on a LOB bind or local.
  void LobCall(const std::string& key, const std::vector<std::pair<size_t, size_t>>& args, int namePos) {
    std::string proc = key.substr(9);
    if (args.size() != 2 || T(args[0].first + 1).Is("=>") || T(args[1].first + 1).Is("=>"))
      RaisePls("PLS-00306: wrong number or types of arguments in call to '" + proc + "'", namePos);
    const Token& target = T(args[0].first);
    if (args[0].second != args[0].first + 1 || (target.kind != Tok::Bind && target.kind != Tok::Ident))
      RaisePls("PLS-00363: expression cannot be used as an assignment target", target.pos);
    Value lob = RawArg(args[0]);
    if (lob.kind != Value::Text && lob.kind != Value::Bytes) Raise(22275);
    if (proc == "TRIM") {
      Value n = EvalTokens(args[1].first, args[1].second);
      int64_t len = n.kind == Value::Int ? n.i : n.kind == Value::Real ? ClampToInt64(n.d) : -1;
      if (len < 0) Raise(22275);
      // a CLOB counts characters, a BLOB bytes
      size_t cut = 0;
      int64_t units = 0;
      while (cut < lob.s.size() && units < len) {
        ++cut;
        if (lob.kind == Value::Text)
          while (cut < lob.s.size() && (static_cast<unsigned char>(lob.s[cut]) & 0xC0) == 0x80) ++cut;
        ++units;
      }
      if (units < len)
        throw OraError(22926,
                       "ORA-22926: specified trim length is greater than current LOB "
                       "value's length");
      lob.s.resize(cut);
    } else {
      Value src = RawArg(args[1]);
      if (src.kind == Value::Object || src.kind == Value::Ref) Raise(932);
      if (!src.IsNull()) lob.s += src.kind == Value::Text || src.kind == Value::Bytes ? src.s : src.ToText();
    }
    Assign(target, lob, target.pos);
  }

  // Argument token ranges of "(a, b => c)" starting at k (the "(" or the end).
  std::vector<std::pair<size_t, size_t>> Args(size_t k, size_t end) {
    std::vector<std::pair<size_t, size_t>> args;
    if (k == end) return args;
    if (!T(k).Is("(")) Syntax(k);
    ++k;
    if (T(k).Is(")")) {
      if (k + 1 != end) Syntax(k + 1);
      return args;
    }
    size_t start = k;
    int depth = 0;
    for (; k < end; ++k) {
      if (T(k).Is("(")) ++depth;
      if (T(k).Is(")")) {
        if (depth == 0) {
          args.emplace_back(start, k);
          if (k + 1 != end) Syntax(k + 1);
          return args;
        }
        --depth;
      }
      if (depth == 0 && T(k).Is(",")) {
        args.emplace_back(start, k);
        start = k + 1;
      }
    }
    Syntax(end);
  }

  void SetSessionColumn(const char* column, const Value& v) {
    sqlite3_stmt* st = nullptr;
    std::string sql = std::string("UPDATE sim$sessions SET ") + column + " = ? WHERE sid = ?";
    s_.BeginWrite();
    sqlite3_prepare_v2(s_.db, sql.c_str(), -1, &st, nullptr);
    if (v.IsNull())
      sqlite3_bind_null(st, 1);
    else
      sqlite3_bind_text(st, 1, v.ToText().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 2, s_.sid);
    sqlite3_step(st);
    sqlite3_finalize(st);
    s_.CommitWrite();
  }

  void CallBuiltin(const std::string& key, const std::function<Value(size_t)>& in,
                   const std::function<void(size_t, const Value&)>& out, const std::vector<bool>& given,
                   const std::vector<std::pair<size_t, size_t>>& bound) {
    auto text = [](const Value& v, size_t max) {
      std::string s = v.ToText();
      if (s.size() > max) s.resize(max);
      return s;
    };
    if (key == "DBMS_APPLICATION_INFO.SET_CLIENT_INFO") {
      Value v = in(0);
      s_.env.clientInfo = text(v, 64);
      SetSessionColumn("client_info", Value::MakeText(s_.env.clientInfo));
    } else if (key == "DBMS_APPLICATION_INFO.SET_MODULE") {
      s_.env.module = text(in(0), 48);
      s_.env.action = text(in(1), 32);
      SetSessionColumn("module", Value::MakeText(s_.env.module));
      SetSessionColumn("action", Value::MakeText(s_.env.action));
    } else if (key == "DBMS_APPLICATION_INFO.SET_ACTION") {
      s_.env.action = text(in(0), 32);
      SetSessionColumn("action", Value::MakeText(s_.env.action));
    } else if (key == "DBMS_APPLICATION_INFO.READ_CLIENT_INFO") {
      out(0, Value::MakeText(s_.env.clientInfo));
    } else if (key == "DBMS_APPLICATION_INFO.READ_MODULE") {
      out(0, Value::MakeText(s_.env.module));
      out(1, Value::MakeText(s_.env.action));
    } else if (key == "DBMS_OUTPUT.ENABLE") {
      s_.outputEnabled = true;
    } else if (key == "DBMS_OUTPUT.DISABLE") {
      s_.outputEnabled = false;
      s_.output.clear();
      s_.outputLine.clear();
    } else if (key == "DBMS_OUTPUT.PUT_LINE" || key == "DBMS_OUTPUT.PUT" || key == "DBMS_OUTPUT.NEW_LINE") {
      if (!s_.outputEnabled) return;
      if (key != "DBMS_OUTPUT.NEW_LINE") s_.outputLine += in(0).ToText();
      if (key != "DBMS_OUTPUT.PUT") {
        if (s_.outputLine.size() > 255)
          throw OraError(20000, "ORA-20000: ORU-10028: line length overflow, limit of 255 chars per line");
        s_.output.push_back(s_.outputLine);
        s_.outputLine.clear();
      }
    } else if (key == "DBMS_OUTPUT.GET_LINE") {
      if (s_.output.empty()) {
        out(0, Value());
        out(1, Value::MakeInt(1));
      } else {
        out(0, Value::MakeText(s_.output.front()));
        s_.output.pop_front();
        out(1, Value::MakeInt(0));
      }
    } else if (key == "DBMS_OUTPUT.GET_LINES") {
      Value n = given[1] ? in(1) : Value::MakeInt(0);
      int64_t want = n.kind == Value::Int ? n.i : n.kind == Value::Real ? ClampToInt64(n.d) : 0;
      std::vector<Value> lines;
      while (want-- > 0 && !s_.output.empty()) {
        lines.push_back(Value::MakeText(s_.output.front()));
        s_.output.pop_front();
      }
      const Token& target = T(bound[0].first);
      if (target.kind != Tok::Bind)
        RaisePls("PLS-00363: expression cannot be used as an assignment target", target.pos);
      assignedTables_[target.text] = lines;
      out(1, Value::MakeInt(static_cast<int64_t>(lines.size())));
    } else if (key == "DBMS_SYSTEM.SET_SQL_TRACE_IN_SESSION") {
      Value sid = in(0), serial = in(1), on = in(2);
      sqlite3_stmt* st = nullptr;
      s_.BeginWrite();
      sqlite3_prepare_v2(s_.db, "UPDATE sim$sessions SET sql_trace = ? WHERE sid = ? AND serial = ?", -1, &st,
                         nullptr);
      sqlite3_bind_int(st, 1, on.kind == Value::Int && on.i ? 1 : 0);
      oracle_sim::BindValue(st, 2, sid);
      oracle_sim::BindValue(st, 3, serial);
      sqlite3_step(st);
      sqlite3_finalize(st);
      s_.CommitWrite();
    } else if (key == "DBMS_SESSION.SET_SQL_TRACE") {
      Value on = in(0);
      SetSessionColumn("sql_trace", Value::MakeInt(on.kind == Value::Int && on.i ? 1 : 0));
    } else if (key == "DBMS_SESSION.SET_NLS") {
      std::string p = in(0).ToText(), v = in(1).ToText();
      for (auto& ch : p) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (p == "NLS_DATE_FORMAT") {
        if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
        s_.env.nlsDateFormat = v;
      }
    } else if (key == "DBMS_LOCK.SLEEP" || key == "DBMS_SESSION.SET_ROLE") {
      (void)in(0);
    }
  }
};

}  // namespace

void SessionState::ExecutePlSql(CursorState& cur) {
  cur.refCursors.clear();
  Interpreter it(*this, cur);
  it.Run();
}

}  // namespace oracle_sim
