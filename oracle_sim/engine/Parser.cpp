// Tokenizer and recursive-descent parser of the Oracle SQL the engine accepts.
#include "oracle_sim/engine/Parser.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Functions.h"
#include "oracle_sim/engine/SqlAst.h"

namespace oracle_sim {

namespace {

bool IdentStart(unsigned char c) {
  return std::isalpha(c) || c >= 0x80;
}
bool IdentChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::vector<Token> Tokenize(const std::string& sql) {
  std::vector<Token> out;
  const size_t n = sql.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = sql[i];
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      auto e = sql.find("*/", i + 2);
      i = e == std::string::npos ? n : e + 2;
      continue;
    }
    Token t;
    t.pos = static_cast<int>(i);
    if ((c == 'n' || c == 'N') && i + 1 < n && sql[i + 1] == '\'') {
      ++i;
      c = '\'';
    }
    if (IdentStart(c)) {
      size_t j = i;
      while (j < n && IdentChar(sql[j])) ++j;
      t.kind = Tok::Ident;
      t.text = Upper(sql.substr(i, j - i));
      i = j;
    } else if (std::isdigit(c) ||
               (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      size_t j = i;
      while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
      if (j < n && sql[j] == '.' && !(j + 1 < n && sql[j + 1] == '.')) {
        ++j;
        while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
      }
      if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
        if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
          while (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) ++k;
          j = k;
        }
      }
      t.kind = Tok::Number;
      t.text = sql.substr(i, j - i);
      i = j;
    } else if (c == '\'') {
      std::string v;
      size_t j = i + 1;
      for (;;) {
        if (j >= n) Raise(1756, "", t.pos);
        if (sql[j] == '\'') {
          if (j + 1 < n && sql[j + 1] == '\'') {
            v += '\'';
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        v += sql[j++];
      }
      t.kind = Tok::String;
      t.text = v;
      i = j;
    } else if (c == '"') {
      auto e = sql.find('"', i + 1);
      if (e == std::string::npos)
        throw OraError(1740, "ORA-01740: missing double quote in identifier", t.pos);
      if (e == i + 1) throw OraError(1741, "ORA-01741: illegal zero-length identifier", t.pos);
      t.kind = Tok::QuotedIdent;
      t.text = sql.substr(i + 1, e - i - 1);
      if (t.text.find('\0') != std::string::npos) Raise(911, "", t.pos);
      i = e + 1;
    } else if (c == ':' && i + 1 < n && sql[i + 1] != '=' && (IdentChar(sql[i + 1]) || sql[i + 1] == '"')) {
      size_t j = i + 1;
      if (sql[j] == '"') {
        auto e = sql.find('"', j + 1);
        if (e == std::string::npos)
          throw OraError(1740, "ORA-01740: missing double quote in identifier", t.pos);
        t.text = sql.substr(j + 1, e - j - 1);
        j = e + 1;
      } else {
        while (j < n && IdentChar(sql[j])) ++j;
        t.text = Upper(sql.substr(i + 1, j - i - 1));
      }
      t.kind = Tok::Bind;
      i = j;
    } else if (c == '(') {
      size_t j = i + 1;
      while (j < n && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
      if (j < n && sql[j] == '+') {
        size_t k = j + 1;
        while (k < n && std::isspace(static_cast<unsigned char>(sql[k]))) ++k;
        if (k < n && sql[k] == ')') {
          t.kind = Tok::OuterMark;
          t.text = "(+)";
          i = k + 1;
          t.end = static_cast<int>(i);
          out.push_back(t);
          continue;
        }
      }
      t.kind = Tok::Op;
      t.text = "(";
      ++i;
    } else {
      static const char* two[] = {"||", "<=", ">=", "<>", "!=", "^=", ":=", "=>", "..", "**"};
      t.kind = Tok::Op;
      bool found = false;
      if (i + 1 < n) {
        for (auto op : two) {
          if (sql[i] == op[0] && sql[i + 1] == op[1]) {
            t.text = op;
            found = true;
            break;
          }
        }
      }
      if (found) {
        i += 2;
        if (t.text == "!=" || t.text == "^=") t.text = "<>";
      } else if (std::string("(),.;+-*/=<>@%:|").find(static_cast<char>(c)) != std::string::npos) {
        t.text = std::string(1, static_cast<char>(c));
        ++i;
      } else {
        Raise(911, "", t.pos);
      }
    }
    t.end = static_cast<int>(i);
    out.push_back(t);
  }
  Token e;
  e.kind = Tok::End;
  e.pos = e.end = static_cast<int>(n);
  out.push_back(e);
  return out;
}

std::string LeadingKeyword(const std::vector<Token>& tokens) {
  for (auto& t : tokens) {
    if (t.kind == Tok::Op && t.text == "(") continue;
    return t.kind == Tok::Ident ? t.text : std::string();
  }
  return {};
}

namespace {

const std::set<std::string>& Reserved() {
  static const std::set<std::string> words = {
      "FROM",     "WHERE",      "GROUP",     "ORDER",    "HAVING",     "UNION",   "MINUS",   "INTERSECT",
      "CONNECT",  "START",      "FOR",       "INTO",     "AND",        "OR",      "NOT",     "ON",
      "JOIN",     "LEFT",       "RIGHT",     "FULL",     "INNER",      "CROSS",   "NATURAL", "USING",
      "VALUES",   "SET",        "RETURNING", "RETURN",   "IS",         "IN",      "LIKE",    "BETWEEN",
      "AS",       "ASC",        "DESC",      "NULLS",    "THEN",       "WHEN",    "ELSE",    "END",
      "SELECT",   "WITH",       "BY",        "DISTINCT", "ALL",        "CASE",    "EXISTS",  "PRIOR",
      "ESCAPE",   "NOWAIT",     "OF",        "WAIT",     "UNIQUE",     "NULL",    "OUTER",   "TABLE",
      "DEFAULT",  "CONSTRAINT", "PRIMARY",   "CHECK",    "REFERENCES", "FOREIGN", "LOOP",    "ELSIF",
      "EXCEPTION"};
  return words;
}

class Parser {
 public:
  Parser(const std::string& sql, const std::vector<Token>& tokens) : sql_(sql), t_(tokens) {}

  const Token& Cur() const { return t_[i_]; }
  const Token& Peek(int k = 1) const {
    size_t j = i_ + k;
    return j < t_.size() ? t_[j] : t_.back();
  }
  bool AtEnd() const { return Cur().kind == Tok::End; }
  void Next() {
    if (i_ + 1 < t_.size()) ++i_;
  }
  bool Accept(const char* w) {
    if (Cur().Is(w)) {
      Next();
      return true;
    }
    return false;
  }
  [[noreturn]] void Fail(int code) { Raise(code, "", Cur().pos); }
  void Expect(const char* w, int code) {
    if (!Accept(w)) Fail(code);
  }
  int PrevEnd() const { return i_ > 0 ? t_[i_ - 1].end : 0; }

  // A plain or quoted name; upper-cased when plain.
  std::string Name(int code = 931) {
    const Token& t = Cur();
    if (t.kind == Tok::QuotedIdent || (t.kind == Tok::Ident)) {
      std::string s = t.text;
      Next();
      return s;
    }
    Fail(code);
  }
  bool IsName() const {
    return Cur().kind == Tok::QuotedIdent || (Cur().kind == Tok::Ident && !Reserved().count(Cur().text));
  }

  // ---- expressions
  ExprP Make(Expr::Kind k, int pos) {
    auto e = std::make_unique<Expr>();
    e->kind = k;
    e->pos = pos;
    return e;
  }

  // Nesting (parentheses, calls, subqueries) and operator chains are bounded: a statement that
  // deep is refused instead of exhausting the stack.
  static constexpr int kMaxNesting = 120;
  static constexpr int kMaxHeight = 400;
  int nesting_ = 0;
  struct Nest {
    Parser& p;
    explicit Nest(Parser& parser) : p(parser) {
      if (++p.nesting_ > kMaxNesting) {
        --p.nesting_;
        p.Fail(3001);
      }
    }
    ~Nest() { --p.nesting_; }
  };

  ExprP ParseExpr() {
    Nest n(*this);
    return ParseOr();
  }

  ExprP ParseOr() {
    auto l = ParseAnd();
    while (Cur().Is("OR")) {
      Next();
      auto r = ParseAnd();
      l = Bin("OR", std::move(l), std::move(r));
    }
    return l;
  }
  ExprP ParseAnd() {
    auto l = ParseNot();
    while (Cur().Is("AND")) {
      Next();
      auto r = ParseNot();
      l = Bin("AND", std::move(l), std::move(r));
    }
    return l;
  }
  ExprP ParseNot() {
    if (Cur().Is("NOT")) {
      int pos = Cur().pos;
      Next();
      auto e = Make(Expr::Unary, pos);
      e->text = "NOT";
      Nest n(*this);
      e->args.push_back(ParseNot());
      e->end = PrevEnd();
      return e;
    }
    return ParseCompare();
  }
  // A node over the expression parsed so far (LIKE, BETWEEN, IN, IS NULL): one level taller than it.
  ExprP Over(Expr::Kind k, ExprP l, bool negated) {
    auto e = Make(k, l->pos);
    e->height = l->height + 1;
    if (e->height > kMaxHeight) Fail(3001);
    e->negated = negated;
    e->args.push_back(std::move(l));
    return e;
  }
  ExprP Bin(const std::string& op, ExprP l, ExprP r) {
    int height = std::max(l->height, r->height) + 1;
    if (height > kMaxHeight) Fail(3001);
    auto e = Make(Expr::Binary, l->pos);
    e->height = height;
    e->text = op;
    e->end = r->end;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }

  ExprP ParseCompare() {
    auto l = ParseAdditive();
    for (;;) {
      const Token& t = Cur();
      if (t.kind == Tok::Op && (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" ||
                                t.text == "<=" || t.text == ">=")) {
        std::string op = t.text;
        Next();
        ExprP r;
        if (Cur().Is("ANY") || Cur().Is("SOME") || Cur().Is("ALL")) Fail(3001);
        r = ParseAdditive();
        l = Bin(op, std::move(l), std::move(r));
        continue;
      }
      bool neg = false;
      if (t.Is("NOT") && (Peek().Is("LIKE") || Peek().Is("IN") || Peek().Is("BETWEEN"))) {
        neg = true;
        Next();
      }
      if (Cur().Is("LIKE")) {
        Next();
        auto e = Over(Expr::Like, std::move(l), neg);
        e->args.push_back(ParseAdditive());
        if (Accept("ESCAPE")) e->args.push_back(ParseAdditive());
        e->end = PrevEnd();
        l = std::move(e);
        continue;
      }
      if (Cur().Is("BETWEEN")) {
        Next();
        auto e = Over(Expr::Between, std::move(l), neg);
        e->args.push_back(ParseAdditive());
        Expect("AND", 905);
        e->args.push_back(ParseAdditive());
        e->end = PrevEnd();
        l = std::move(e);
        continue;
      }
      if (Cur().Is("IN")) {
        Next();
        auto e = Over(Expr::In, std::move(l), neg);
        if (!Cur().Is("(")) Fail(906);
        Next();
        if (Cur().Is("SELECT") || Cur().Is("WITH")) {
          e->sub = ParseQuery();
        } else {
          e->args.push_back(ParseExpr());
          while (Accept(",")) e->args.push_back(ParseExpr());
        }
        Expect(")", 907);
        e->end = PrevEnd();
        l = std::move(e);
        continue;
      }
      if (neg) Fail(920);
      if (Cur().Is("IS")) {
        Next();
        auto e = Over(Expr::IsNull, std::move(l), false);
        if (Accept("NOT")) e->negated = true;
        Expect("NULL", 908);
        e->end = PrevEnd();
        l = std::move(e);
        continue;
      }
      return l;
    }
  }

  ExprP ParseAdditive() {
    auto l = ParseMul();
    for (;;) {
      const Token& t = Cur();
      if (t.kind == Tok::Op && (t.text == "+" || t.text == "-" || t.text == "||")) {
        std::string op = t.text;
        Next();
        auto r = ParseMul();
        l = Bin(op, std::move(l), std::move(r));
        continue;
      }
      return l;
    }
  }
  ExprP ParseMul() {
    auto l = ParseUnary();
    for (;;) {
      const Token& t = Cur();
      if (t.kind == Tok::Op && (t.text == "*" || t.text == "/")) {
        std::string op = t.text;
        Next();
        auto r = ParseUnary();
        l = Bin(op, std::move(l), std::move(r));
        continue;
      }
      return l;
    }
  }
  ExprP ParseUnary() {
    const Token& t = Cur();
    if (t.kind == Tok::Op && (t.text == "-" || t.text == "+")) {
      auto e = Make(Expr::Unary, t.pos);
      e->text = t.text;
      Next();
      Nest n(*this);
      e->args.push_back(ParseUnary());
      e->end = PrevEnd();
      return e;
    }
    if (t.Is("PRIOR")) Fail(3001);
    return ParsePrimary();
  }

  ExprP ParsePrimary() {
    const Token t = Cur();
    switch (t.kind) {
      case Tok::Number: {
        auto e = Make(Expr::Number, t.pos);
        e->text = t.text;
        Next();
        e->end = t.end;
        return e;
      }
      case Tok::String: {
        auto e = Make(t.text.empty() ? Expr::Null : Expr::String, t.pos);
        e->text = t.text;
        Next();
        e->end = t.end;
        return e;
      }
      case Tok::Bind: {
        auto e = Make(Expr::Bind, t.pos);
        e->text = t.text;
        Next();
        e->end = t.end;
        return e;
      }
      case Tok::Op:
        if (t.text == "(") {
          Next();
          if (Cur().Is("SELECT") || Cur().Is("WITH")) {
            auto e = Make(Expr::Subquery, t.pos);
            e->sub = ParseQuery();
            Expect(")", 907);
            e->end = PrevEnd();
            return e;
          }
          auto first = ParseExpr();
          if (Cur().Is(",")) {
            auto e = Make(Expr::List, t.pos);
            e->args.push_back(std::move(first));
            while (Accept(",")) e->args.push_back(ParseExpr());
            Expect(")", 907);
            e->end = PrevEnd();
            return e;
          }
          Expect(")", 907);
          first->pos = t.pos;
          first->end = PrevEnd();
          return first;
        }
        Fail(936);
      case Tok::Ident:
      case Tok::QuotedIdent:
        break;
      default:
        Fail(936);
    }
    if (t.kind == Tok::Ident) {
      if (t.text == "NULL") {
        Next();
        auto e = Make(Expr::Null, t.pos);
        e->end = t.end;
        return e;
      }
      if (t.text == "CASE") return ParseCase();
      if (t.text == "CURSOR" && Peek().Is("(")) {
        Next();
        Next();
        auto e = Make(Expr::Cursor, t.pos);
        const int from = Cur().pos;
        e->sub = ParseQuery();
        e->text = SpanText(from, PrevEnd());
        Expect(")", 907);
        e->end = PrevEnd();
        return e;
      }
      if (t.text == "EXISTS") {
        Next();
        auto e = Make(Expr::Exists, t.pos);
        Expect("(", 906);
        e->sub = ParseQuery();
        Expect(")", 907);
        e->end = PrevEnd();
        return e;
      }
      if (t.text == "TRUE" || t.text == "FALSE") {
        Next();
        auto e = Make(Expr::Number, t.pos);
        e->text = t.text == "TRUE" ? "1" : "0";
        e->end = t.end;
        return e;
      }
      if (Reserved().count(t.text) && t.text != "LEFT" && t.text != "RIGHT") Fail(936);
    }
    // Name chain: a, a.b, a.b.c, a.*, a.b(...), a.nextval, a.rowid
    std::vector<std::string> parts;
    bool quotedLast = false;
    parts.push_back(t.text);
    quotedLast = t.kind == Tok::QuotedIdent;
    Next();
    while (Cur().Is(".")) {
      Next();
      if (Cur().Is("*")) {
        Next();
        auto e = Make(Expr::Star, t.pos);
        e->parts = parts;
        e->end = PrevEnd();
        return e;
      }
      if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Fail(931);
      quotedLast = Cur().kind == Tok::QuotedIdent;
      parts.push_back(Cur().text);
      Next();
    }
    if (Cur().Is("@")) {  // database links are not part of this instance
      Fail(3001);
    }
    if (Cur().Is("(") && !quotedLast) return ParseCall(t.pos, parts);
    const std::string& last = parts.back();
    if (!quotedLast && parts.size() >= 2 && (last == "NEXTVAL" || last == "CURRVAL")) {
      auto e = Make(Expr::Sequence, t.pos);
      e->text = last;
      parts.pop_back();
      e->parts = parts;
      e->end = PrevEnd();
      return e;
    }
    if (!quotedLast && (last == "ROWID" || (parts.size() == 1 &&
                                            (last == "ROWNUM" || last == "SYSDATE" || last == "USER" ||
                                             last == "UID" || last == "LEVEL" || last == "SYSTIMESTAMP")))) {
      auto e = Make(Expr::Pseudo, t.pos);
      e->text = last;
      parts.pop_back();
      e->parts = parts;
      if (Cur().kind == Tok::OuterMark) {
        e->outer = true;
        Next();
      }
      e->end = PrevEnd();
      return e;
    }
    auto e = Make(Expr::Column, t.pos);
    e->parts = parts;
    e->quotedLast = quotedLast;
    if (Cur().kind == Tok::OuterMark) {
      e->outer = true;
      Next();
    }
    e->end = PrevEnd();
    return e;
  }

  ExprP ParseCall(int pos, const std::vector<std::string>& parts) {
    auto e = Make(Expr::Func, pos);
    std::string name;
    for (size_t k = 0; k < parts.size(); ++k) name += (k ? "." : "") + parts[k];
    e->text = name;
    e->parts = parts;
    Next();  // (
    if (name == "TRIM") {
      std::string mode = "BOTH";
      if (Cur().Is("LEADING") || Cur().Is("TRAILING") || Cur().Is("BOTH")) {
        mode = Cur().text;
        Next();
      }
      ExprP first;
      if (!Cur().Is("FROM")) first = ParseExpr();
      if (Accept("FROM")) {
        auto src = ParseExpr();
        e->args.push_back(std::move(src));
        if (first) e->args.push_back(std::move(first));
      } else {
        if (!first) Fail(936);
        e->args.push_back(std::move(first));
      }
      e->parts = {mode};
      Expect(")", 907);
      e->end = PrevEnd();
      return e;
    }
    if (Cur().Is(")")) {
      Next();
      e->end = PrevEnd();
      return e;
    }
    if (Cur().Is("*")) {
      Next();
      e->star = true;
      Expect(")", 907);
      e->end = PrevEnd();
      return e;
    }
    if (Accept("DISTINCT") || Accept("UNIQUE"))
      e->distinct = true;
    else
      Accept("ALL");
    for (;;) {
      std::string argName;
      if ((Cur().kind == Tok::Ident || Cur().kind == Tok::QuotedIdent) && Peek().Is("=>")) {
        argName = Cur().text;
        Next();
        Next();
      }
      auto a = ParseExpr();
      a->argName = argName;
      e->args.push_back(std::move(a));
      if (!Accept(",")) break;
    }
    Expect(")", 907);
    e->end = PrevEnd();
    return e;
  }

  ExprP ParseCase() {
    auto e = Make(Expr::Case, Cur().pos);
    Next();
    if (!Cur().Is("WHEN")) {
      e->hasOperand = true;
      e->args.push_back(ParseExpr());
    }
    if (!Cur().Is("WHEN")) Fail(905);
    while (Accept("WHEN")) {
      e->args.push_back(ParseExpr());
      Expect("THEN", 905);
      e->args.push_back(ParseExpr());
    }
    if (Accept("ELSE")) {
      e->hasElse = true;
      e->args.push_back(ParseExpr());
    }
    Expect("END", 905);
    e->end = PrevEnd();
    return e;
  }

  // ---- queries
  std::unique_ptr<Select> ParseQuery() {
    Nest n(*this);
    if (Cur().Is("WITH")) Fail(3001);
    auto s = ParseSelectBlock();
    for (;;) {
      std::string op;
      if (Cur().Is("UNION")) {
        Next();
        op = Accept("ALL") ? "UNION ALL" : "UNION";
      } else if (Cur().Is("MINUS")) {
        Next();
        op = "EXCEPT";
      } else if (Cur().Is("INTERSECT")) {
        Next();
        op = "INTERSECT";
      } else {
        break;
      }
      std::unique_ptr<Select> rhs;
      if (Cur().Is("(")) {
        Next();
        rhs = ParseQuery();
        Expect(")", 907);
      } else {
        rhs = ParseSelectBlock();
      }
      s->setOps.emplace_back(op, std::move(rhs));
    }
    if (Cur().Is("ORDER")) {
      Next();
      Expect("BY", 924);
      for (;;) {
        OrderItem o;
        o.expr = ParseExpr();
        if (Accept("DESC"))
          o.desc = true;
        else
          Accept("ASC");
        if (Accept("NULLS")) {
          if (Accept("FIRST"))
            o.nulls = 1;
          else if (Accept("LAST"))
            o.nulls = 2;
          else
            Fail(905);
        }
        s->orderBy.push_back(std::move(o));
        if (!Accept(",")) break;
      }
    }
    if (Cur().Is("FOR")) {
      Next();
      Expect("UPDATE", 905);
      s->forUpdate = true;
      if (Accept("OF")) {
        for (;;) {
          s->forUpdateOf.push_back(ParsePrimary());
          if (!Accept(",")) break;
        }
      }
      if (Accept("NOWAIT"))
        s->nowait = true;
      else if (Accept("WAIT")) {
        if (Cur().kind != Tok::Number) Fail(936);
        Next();
      }
    }
    return s;
  }

  std::unique_ptr<Select> ParseSelectBlock() {
    if (Cur().Is("(")) {
      Next();
      auto s = ParseQuery();
      Expect(")", 907);
      return s;
    }
    auto s = std::make_unique<Select>();
    s->pos = Cur().pos;
    Expect("SELECT", 928);
    if (Accept("DISTINCT") || Accept("UNIQUE"))
      s->distinct = true;
    else
      Accept("ALL");
    for (;;) {
      SelectItem item;
      item.pos = Cur().pos;
      if (Cur().Is("*")) {
        Next();
        item.star = true;
      } else {
        item.expr = ParseExpr();
        if (item.expr->kind == Expr::Star) {
          item.star = true;
          item.starQualifier = item.expr->parts.back();
          item.expr.reset();
        }
      }
      item.end = PrevEnd();
      if (!item.star) {
        if (Accept("AS")) {
          item.alias = Name();
        } else if (IsName()) {
          item.alias = Cur().text;
          Next();
        }
      }
      s->items.push_back(std::move(item));
      if (!Accept(",")) break;
    }
    if (!Cur().Is("FROM")) {
      if (Cur().Is("INTO")) Fail(905);
      Fail(923);
    }
    Next();
    ParseFrom(*s);
    if (Accept("WHERE")) s->where = ParseExpr();
    if (Cur().Is("START") || Cur().Is("CONNECT")) Fail(3001);
    if (Accept("GROUP")) {
      Expect("BY", 924);
      for (;;) {
        s->groupBy.push_back(ParseExpr());
        if (!Accept(",")) break;
      }
    }
    if (Accept("HAVING")) s->having = ParseExpr();
    return s;
  }

  void ParseFromItem(FromItem& f) {
    f.pos = Cur().pos;
    if (Cur().Is("(")) {
      Next();
      f.sub = ParseQuery();
      Expect(")", 907);
    } else {
      if (Cur().Is("TABLE") || Cur().Is("ONLY")) Fail(3001);
      std::string a = Name(903);
      if (Accept(".")) {
        f.owner = a;
        f.name = Name(903);
      } else {
        f.name = a;
      }
      if (Cur().Is("@")) Fail(3001);
    }
    if (IsName() && !Cur().Is("LEFT") && !Cur().Is("RIGHT")) {
      f.alias = Cur().text;
      Next();
    }
  }

  void ParseFrom(Select& s) {
    for (;;) {
      FromItem f;
      ParseFromItem(f);
      s.from.push_back(std::move(f));
      for (;;) {
        FromItem::Join j;
        if (Cur().Is("JOIN") || Cur().Is("INNER")) {
          if (Accept("INNER")) {
          }
          Expect("JOIN", 905);
          j = FromItem::Inner;
        } else if (Cur().Is("LEFT") || Cur().Is("RIGHT") || Cur().Is("FULL")) {
          j = Cur().Is("LEFT") ? FromItem::Left : Cur().Is("RIGHT") ? FromItem::Right : FromItem::Full;
          Next();
          Accept("OUTER");
          Expect("JOIN", 905);
        } else if (Cur().Is("CROSS")) {
          Next();
          Expect("JOIN", 905);
          j = FromItem::Cross;
        } else {
          break;
        }
        FromItem g;
        ParseFromItem(g);
        g.join = j;
        if (j != FromItem::Cross) {
          Expect("ON", 905);
          g.on = ParseExpr();
        }
        s.from.push_back(std::move(g));
      }
      if (!Accept(",")) break;
    }
  }

  // ---- statements
  void QualifiedName(std::string& owner, std::string& name, int code = 903) {
    std::string a = Name(code);
    if (Accept(".")) {
      owner = a;
      name = Name(code);
    } else {
      name = a;
    }
  }

  void ParseReturning(Statement& st) {
    if (!(Cur().Is("RETURNING") || Cur().Is("RETURN"))) return;
    Next();
    for (;;) {
      st.returning.push_back(ParseExpr());
      if (!Accept(",")) break;
    }
    Expect("INTO", 925);
    for (;;) {
      if (Cur().kind != Tok::Bind) Fail(936);
      st.into.push_back(Cur().text);
      Next();
      if (!Accept(",")) break;
    }
    if (st.into.size() != st.returning.size()) Fail(st.into.size() < st.returning.size() ? 947 : 913);
  }

  std::unique_ptr<Statement> Parse() {
    auto st = std::make_unique<Statement>();
    const Token& t = Cur();
    if (t.Is("SELECT") || t.Is("(") || t.Is("WITH")) {
      st->kind = Statement::Select;
      st->query = ParseQuery();
    } else if (t.Is("INSERT")) {
      Next();
      Expect("INTO", 925);
      st->kind = Statement::Insert;
      QualifiedName(st->owner, st->table);
      if (IsName()) {
        st->alias = Cur().text;
        Next();
      }
      if (Cur().Is("(") && !(Peek().Is("SELECT"))) {
        Next();
        for (;;) {
          std::string c = Name(904);
          if (Accept(".")) c = Name(904);
          st->columns.push_back(c);
          if (!Accept(",")) break;
        }
        Expect(")", 907);
      }
      if (Accept("VALUES")) {
        Expect("(", 906);
        for (;;) {
          st->values.push_back(ParseExpr());
          if (!Accept(",")) break;
        }
        Expect(")", 907);
      } else if (Cur().Is("SELECT") || Cur().Is("(")) {
        st->query = ParseQuery();
      } else {
        Fail(926);
      }
      ParseReturning(*st);
    } else if (t.Is("UPDATE")) {
      Next();
      st->kind = Statement::Update;
      QualifiedName(st->owner, st->table);
      if (IsName()) {
        st->alias = Cur().text;
        Next();
      }
      Expect("SET", 971);
      for (;;) {
        std::string c = Name(904);
        if (Accept(".")) c = Name(904);
        Expect("=", 927);
        st->set.emplace_back(c, ParseExpr());
        if (!Accept(",")) break;
      }
      if (Accept("WHERE")) st->where = ParseExpr();
      ParseReturning(*st);
    } else if (t.Is("DELETE")) {
      Next();
      Accept("FROM");
      st->kind = Statement::Delete;
      QualifiedName(st->owner, st->table);
      if (IsName()) {
        st->alias = Cur().text;
        Next();
      }
      if (Accept("WHERE")) st->where = ParseExpr();
      ParseReturning(*st);
    } else if (t.Is("COMMIT")) {
      Next();
      Accept("WORK");
      st->kind = Statement::Commit;
    } else if (t.Is("ROLLBACK")) {
      Next();
      Accept("WORK");
      st->kind = Statement::Rollback;
      if (Accept("TO")) {
        Accept("SAVEPOINT");
        st->name = Name();
      }
    } else if (t.Is("SAVEPOINT")) {
      Next();
      st->kind = Statement::Savepoint;
      st->name = Name();
    } else if (t.Is("CREATE")) {
      ParseCreate(*st);
    } else if (t.Is("DROP")) {
      ParseDrop(*st);
    } else if (t.Is("ALTER")) {
      ParseAlter(*st);
    } else if (t.Is("GRANT") || t.Is("REVOKE")) {
      st->kind = t.Is("GRANT") ? Statement::Grant : Statement::Revoke;
      Next();
      // privilege list up to TO/FROM
      std::string privs;
      while (!AtEnd() && !Cur().Is("TO") && !Cur().Is("FROM")) {
        privs += (privs.empty() ? "" : " ") + Cur().text;
        Next();
      }
      st->text = privs;
      if (!Accept("TO") && !Accept("FROM")) Fail(905);
      st->name = Name();
    } else if (t.Is("SET")) {
      Next();
      Expect("TRANSACTION", 900);
      st->kind = Statement::SetTransaction;
      while (!AtEnd() && !Cur().Is(";")) Next();
    } else if (t.Is("TRUNCATE")) {
      Next();
      Expect("TABLE", 905);
      st->kind = Statement::Truncate;
      QualifiedName(st->owner, st->table);
    } else if (t.Is("LOCK")) {
      Next();
      Expect("TABLE", 905);
      st->kind = Statement::LockTable;
      QualifiedName(st->owner, st->table);
      // IN <mode words> MODE [NOWAIT]: the mode words are kept in text
      bool inMode = false;
      while (!AtEnd() && !Cur().Is(";")) {
        if (Cur().Is("NOWAIT")) {
          st->flag = true;
        } else if (Cur().Is("IN") && !inMode) {
          inMode = true;
        } else if (Cur().Is("MODE")) {
          inMode = false;
        } else if (inMode) {
          st->text += (st->text.empty() ? "" : " ") + Cur().text;
        }
        Next();
      }
    } else {
      Fail(900);
    }
    if (!AtEnd()) Fail(933);
    return st;
  }

  std::string SpanText(int from, int to) const { return sql_.substr(from, to - from); }

  void ParseColumnDef(ColumnDef& c, std::vector<ConstraintDef>& cons) {
    c.name = Name(904);
    ParseDataType(c);
    ParseColumnConstraints(c, cons);
  }

  // A column's or attribute's data type: a built-in type, a named type or REF to one.
  void ParseDataType(ColumnDef& c) {
    if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Fail(902);
    std::string ty = Cur().text;
    bool quoted = Cur().kind == Tok::QuotedIdent;
    Next();
    if (ty == "LONG" && Cur().Is("RAW")) {
      Next();
      ty = "LONG RAW";
    }
    if (ty == "DOUBLE" && Accept("PRECISION")) ty = "FLOAT";
    static const std::set<std::string> known = {"NUMBER",    "NUMERIC",  "DECIMAL",   "INTEGER",   "INT",
                                                "SMALLINT",  "FLOAT",    "REAL",      "VARCHAR2",  "VARCHAR",
                                                "NVARCHAR2", "CHAR",     "NCHAR",     "DATE",      "RAW",
                                                "LONG",      "LONG RAW", "CLOB",      "BLOB",      "NCLOB",
                                                "ROWID",     "UROWID",   "TIMESTAMP", "CHARACTER", "BFILE"};
    if (quoted || !known.count(ty)) {
      if (ty == "REF" && !quoted) {
        c.isRef = true;
        if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Fail(902);
        ty = Name(902);
      }
      c.named = true;
      if (Accept(".")) {
        c.typeOwner = ty;
        ty = Name(902);
      }
      c.type = ty;
      if (Cur().Is("(")) Fail(907);  // a named type takes no size
      return;
    }
    if (ty == "NUMERIC" || ty == "DECIMAL") ty = "NUMBER";
    if (ty == "INTEGER" || ty == "INT" || ty == "SMALLINT") {
      ty = "NUMBER";
      c.precision = 38;
      c.hasPrecision = true;
    }
    if (ty == "VARCHAR" || ty == "NVARCHAR2") ty = "VARCHAR2";
    if (ty == "NCHAR" || ty == "CHARACTER") ty = "CHAR";
    if (ty == "REAL") ty = "FLOAT";
    if (ty == "NCLOB") ty = "CLOB";
    c.type = ty;
    if (Accept("(")) {
      if (Cur().kind == Tok::Op && Cur().text == "*") {
        Next();
      } else {
        if (Cur().kind != Tok::Number) Fail(902);
        c.precision = static_cast<int>(ParseIntClamped(Cur().text, 0, 100000));
        c.hasPrecision = true;
        Next();
      }
      if (Accept(",")) {
        bool neg = Accept("-");
        if (Cur().kind != Tok::Number) Fail(902);
        c.scale = static_cast<int>(ParseIntClamped(Cur().text, 0, 1000)) * (neg ? -1 : 1);
        Next();
      }
      if (Cur().Is("BYTE") || Cur().Is("CHAR")) Next();
      Expect(")", 907);
    }
    if (ty == "TIMESTAMP" && Accept("WITH")) {
      ty = Accept("LOCAL") ? "TIMESTAMP WITH LOCAL TIME ZONE" : "TIMESTAMP WITH TIME ZONE";
      Expect("TIME", 905);
      Expect("ZONE", 905);
      c.type = ty;
    }
    if (ty == "VARCHAR2" || ty == "CHAR" || ty == "RAW") {
      if (!c.hasPrecision) {
        if (ty != "CHAR") Fail(906);
        c.precision = 1;
      }
      c.size = c.precision;
      c.precision = 0;
      c.hasPrecision = false;
    }
  }

  void ParseColumnConstraints(ColumnDef& c, std::vector<ConstraintDef>& cons) {
    for (;;) {
      if (Accept("DEFAULT")) {
        int from = Cur().pos;
        ParseExpr();
        c.defaultText = SpanText(from, PrevEnd());
        continue;
      }
      std::string cname;
      if (Accept("CONSTRAINT")) cname = Name();
      if (Accept("NOT")) {
        Expect("NULL", 905);
        c.notNull = true;
        if (!cname.empty()) {
          ConstraintDef d;
          d.name = cname;
          d.type = 'N';
          d.columns = {c.name};
          cons.push_back(d);
        }
      } else if (Accept("NULL")) {
      } else if (Accept("PRIMARY")) {
        Expect("KEY", 905);
        ConstraintDef d;
        d.name = cname;
        d.type = 'P';
        d.columns = {c.name};
        cons.push_back(d);
      } else if (Accept("UNIQUE")) {
        ConstraintDef d;
        d.name = cname;
        d.type = 'U';
        d.columns = {c.name};
        cons.push_back(d);
      } else if (Cur().Is("CHECK")) {
        Next();
        ConstraintDef d;
        d.name = cname;
        d.type = 'C';
        Expect("(", 906);
        int from = Cur().pos;
        ParseExpr();
        d.checkText = SpanText(from, PrevEnd());
        Expect(")", 907);
        cons.push_back(d);
      } else if (Cur().Is("REFERENCES")) {
        ConstraintDef d;
        d.name = cname;
        d.type = 'R';
        d.columns = {c.name};
        ParseReferences(d);
        cons.push_back(d);
      } else {
        if (!cname.empty()) Fail(905);
        break;
      }
    }
  }

  void ParseReferences(ConstraintDef& d) {
    Expect("REFERENCES", 905);
    QualifiedName(d.refOwner, d.refTable);
    if (Accept("(")) {
      for (;;) {
        d.refColumns.push_back(Name(904));
        if (!Accept(",")) break;
      }
      Expect(")", 907);
    }
    if (Accept("ON")) {
      Expect("DELETE", 905);
      if (Accept("CASCADE"))
        d.cascade = true;
      else {
        Expect("SET", 905);
        Expect("NULL", 905);
      }
    }
  }

  void NameList(std::vector<std::string>& out) {
    Expect("(", 906);
    for (;;) {
      out.push_back(Name(904));
      if (!Accept(",")) break;
    }
    Expect(")", 907);
  }

  bool ParseTableConstraint(std::vector<ConstraintDef>& cons) {
    ConstraintDef d;
    if (Accept("CONSTRAINT"))
      d.name = Name();
    else if (!(Cur().Is("PRIMARY") || Cur().Is("UNIQUE") || Cur().Is("CHECK") || Cur().Is("FOREIGN")))
      return false;
    if (Accept("PRIMARY")) {
      Expect("KEY", 905);
      d.type = 'P';
      NameList(d.columns);
    } else if (Accept("UNIQUE")) {
      d.type = 'U';
      NameList(d.columns);
    } else if (Accept("CHECK")) {
      d.type = 'C';
      Expect("(", 906);
      int from = Cur().pos;
      ParseExpr();
      d.checkText = SpanText(from, PrevEnd());
      Expect(")", 907);
    } else if (Accept("FOREIGN")) {
      Expect("KEY", 905);
      d.type = 'R';
      NameList(d.columns);
      ParseReferences(d);
    } else {
      Fail(902);
    }
    cons.push_back(std::move(d));
    return true;
  }

  void SkipStorageClauses() {
    // TABLESPACE x, PCTFREE n, STORAGE (...), LOGGING ...: accepted and ignored.
    while (!AtEnd()) {
      if (Cur().Is("(")) {
        int depth = 0;
        do {
          if (Cur().Is("(")) ++depth;
          if (Cur().Is(")")) --depth;
          Next();
        } while (depth > 0 && !AtEnd());
        continue;
      }
      if (Cur().kind == Tok::Ident || Cur().kind == Tok::Number) {
        if (Cur().Is("STORE") && Peek().Is("AS")) {  // NESTED TABLE c STORE AS name
          Next();
          Next();
          continue;
        }
        if (Cur().Is("AS")) return;
        Next();
        continue;
      }
      return;
    }
  }

  void ParseCreate(Statement& st) {
    Next();
    if (Accept("OR")) {
      Expect("REPLACE", 922);
      st.orReplace = true;
    }
    if (Accept("PUBLIC")) st.isPublic = true;
    if (Accept("TABLE")) {
      st.kind = Statement::CreateTable;
      QualifiedName(st.owner, st.table);
      if (Accept("AS")) {
        st.query = ParseQuery();
        return;
      }
      if (Accept("OF")) {  // an object table: its columns are the type's attributes
        QualifiedName(st.ofOwner, st.ofType, 902);
        if (Accept("(")) {
          for (;;) {
            if (!ParseTableConstraint(st.constraints)) {
              ColumnDef c;
              c.name = Name(904);
              ParseColumnConstraints(c, st.constraints);
              bool named = false;
              for (auto& x : st.constraints)
                if (x.type == 'N' && x.columns == std::vector<std::string>{c.name}) named = true;
              if (c.notNull && !named) {
                ConstraintDef d;
                d.type = 'N';
                d.columns = {c.name};
                st.constraints.push_back(d);
              }
            }
            if (!Accept(",")) break;
          }
          Expect(")", 907);
        }
        SkipStorageClauses();
        return;
      }
      Expect("(", 906);
      for (;;) {
        if (!ParseTableConstraint(st.constraints)) {
          ColumnDef c;
          ParseColumnDef(c, st.constraints);
          st.columnDefs.push_back(std::move(c));
        }
        if (!Accept(",")) break;
      }
      Expect(")", 907);
      SkipStorageClauses();
      if (Accept("AS")) st.query = ParseQuery();
    } else if (Accept("TYPE")) {
      ParseCreateType(st);
    } else if (Accept("DIRECTORY")) {
      // CREATE [OR REPLACE] DIRECTORY name AS 'path'
      st.kind = Statement::CreateDirectory;
      st.name = Name();
      Expect("AS", 905);
      if (Cur().kind != Tok::String) Fail(1780);
      st.text = Cur().text;
      Next();
    } else if (Accept("SEQUENCE")) {
      st.kind = Statement::CreateSequence;
      QualifiedName(st.owner, st.name);
      bool startGiven = false;
      while (!AtEnd()) {
        auto num = [&]() {
          bool neg = Accept("-");
          if (Cur().kind != Tok::Number) Fail(922);
          long long v = ParseIntClamped(Cur().text, 0, 999999999999999999LL);
          Next();
          return neg ? -v : v;
        };
        if (Accept("START")) {
          Expect("WITH", 922);
          st.seqStart = num();
          startGiven = true;
        } else if (Accept("INCREMENT")) {
          Expect("BY", 922);
          st.seqIncrement = num();
        } else if (Accept("MINVALUE")) {
          st.seqMin = num();
          st.seqHasMin = true;
        } else if (Accept("MAXVALUE")) {
          st.seqMax = num();
          st.seqHasMax = true;
        } else if (Accept("CACHE")) {
          st.seqCache = static_cast<int>(num());
        } else if (Accept("CYCLE")) {
          st.seqCycle = true;
        } else if (Accept("NOCYCLE") || Accept("NOCACHE") || Accept("ORDER") || Accept("NOORDER") ||
                   Accept("NOMINVALUE") || Accept("NOMAXVALUE")) {
        } else {
          Fail(933);
        }
      }
      if (!startGiven) st.seqStart = st.seqIncrement > 0 ? (st.seqHasMin ? st.seqMin : 1) : -1;
    } else if (Accept("SYNONYM")) {
      st.kind = Statement::CreateSynonym;
      QualifiedName(st.owner, st.name);
      Expect("FOR", 905);
      QualifiedName(st.text, st.table);
    } else if (Accept("VIEW") || (Cur().Is("FORCE") && (Next(), Accept("VIEW")))) {
      st.kind = Statement::CreateView;
      QualifiedName(st.owner, st.name);
      Expect("AS", 905);
      int from = Cur().pos;
      st.query = ParseQuery();
      st.text = SpanText(from, PrevEnd());
    } else if (Accept("USER")) {
      st.kind = Statement::CreateUser;
      st.name = Name();
      Expect("IDENTIFIED", 922);
      Expect("BY", 922);
      st.text = Name();
      while (!AtEnd()) {
        if (Accept("PASSWORD")) {
          Expect("EXPIRE", 922);
          st.flag = true;
        } else {
          Next();
        }
      }
    } else {
      Fail(901);
    }
  }

  // CREATE TYPE n AS OBJECT (...) [NOT FINAL] | AS VARRAY(k) OF t | AS VARYING ARRAY(k) OF t |
  // AS TABLE OF t
  void ParseCreateType(Statement& st) {
    st.kind = Statement::CreateType;
    QualifiedName(st.owner, st.name);
    if (Accept("AUTHID")) Next();
    if (!Accept("AS") && !Accept("IS")) Fail(905);
    if (Accept("OBJECT")) {
      st.text = "OBJECT";
      st.flag = false;  // FINAL
      Expect("(", 906);
      for (;;) {
        ColumnDef c;
        c.name = Name(904);
        ParseDataType(c);
        st.columnDefs.push_back(std::move(c));
        if (!Accept(",")) break;
      }
      Expect(")", 907);
      while (!AtEnd()) {
        if (Accept("NOT")) {
          if (Accept("FINAL"))
            st.flag = true;
          else
            Expect("INSTANTIABLE", 922);
        } else if (Accept("FINAL")) {
          st.flag = false;
        } else {
          Expect("INSTANTIABLE", 922);
        }
      }
      return;
    }
    if (Accept("VARRAY") || (Accept("VARYING") && (Expect("ARRAY", 905), true))) {
      st.text = "VARRAY";
      Expect("(", 906);
      if (Cur().kind != Tok::Number) Fail(936);
      st.seqMax = ParseIntClamped(Cur().text, 0, 2147483647LL);
      Next();
      Expect(")", 907);
    } else if (Accept("TABLE")) {
      st.text = "TABLE";
    } else {
      Fail(902);
    }
    Expect("OF", 905);
    ColumnDef e;
    ParseDataType(e);
    if (Accept("NOT")) Expect("NULL", 905);
    st.columnDefs.push_back(std::move(e));
  }

  void ParseDrop(Statement& st) {
    Next();
    if (Accept("PUBLIC")) st.isPublic = true;
    if (Accept("TABLE")) {
      st.kind = Statement::DropTable;
      QualifiedName(st.owner, st.table);
      if (Accept("CASCADE")) {
        Expect("CONSTRAINTS", 933);
        st.cascade = true;
      }
      Accept("PURGE");
    } else if (Accept("TYPE")) {
      st.kind = Statement::DropType;
      QualifiedName(st.owner, st.name);
      if (Accept("FORCE")) st.cascade = true;
      Accept("VALIDATE");
    } else if (Accept("SEQUENCE")) {
      st.kind = Statement::DropSequence;
      QualifiedName(st.owner, st.name);
    } else if (Accept("SYNONYM")) {
      st.kind = Statement::DropSynonym;
      QualifiedName(st.owner, st.name);
    } else if (Accept("VIEW")) {
      st.kind = Statement::DropView;
      QualifiedName(st.owner, st.name);
    } else if (Accept("USER")) {
      st.kind = Statement::DropUser;
      st.name = Name();
      if (Accept("CASCADE")) st.cascade = true;
    } else {
      Fail(950);
    }
  }

  void ParseAlter(Statement& st) {
    Next();
    if (Accept("SESSION")) {
      st.kind = Statement::AlterSession;
      Expect("SET", 922);
      st.text = Name(922);
      Expect("=", 927);
      if (Cur().kind == Tok::End) Fail(922);
      // the value: a literal, a word or several words (ISOLATION_LEVEL = READ COMMITTED)
      st.value = Cur().text;
      Next();
      while (!AtEnd() && (Cur().kind == Tok::Ident || Cur().kind == Tok::Number)) {
        st.value += " " + Cur().text;
        Next();
      }
    } else if (Accept("SYSTEM")) {
      st.kind = Statement::AlterSystem;
      int from = Cur().pos;
      while (!AtEnd()) Next();
      st.text = SpanText(from, PrevEnd());
    } else if (Accept("USER")) {
      st.kind = Statement::AlterUser;
      st.name = Name();
      if (Accept("IDENTIFIED")) {
        Expect("BY", 922);
        st.text = Name();
      }
      while (!AtEnd()) {
        if (Accept("PASSWORD")) {
          Expect("EXPIRE", 922);
          st.flag = true;
        } else {
          Next();
        }
      }
    } else if (Accept("TABLE")) {
      st.kind = Statement::AlterTableAdd;
      QualifiedName(st.owner, st.table);
      Expect("ADD", 3001);
      bool paren = Accept("(");
      for (;;) {
        if (!ParseTableConstraint(st.constraints)) {
          ColumnDef c;
          ParseColumnDef(c, st.constraints);
          st.columnDefs.push_back(std::move(c));
        }
        if (!paren || !Accept(",")) break;
      }
      if (paren) Expect(")", 907);
    } else {
      Fail(940);
    }
  }

 private:
  const std::string& sql_;
  const std::vector<Token>& t_;
  size_t i_ = 0;
};

}  // namespace

std::unique_ptr<Statement> ParseStatement(const std::string& sql, const std::vector<Token>& tokens) {
  // A trailing ';' or '/' that tools leave is not part of an Oracle SQL statement; drop it quietly.
  std::vector<Token> toks = tokens;
  // CREATE TYPE is compiled like PL/SQL: its text may end with ';'
  bool type = toks.size() > 2 && toks[0].Is("CREATE") &&
              (toks[1].Is("TYPE") || (toks.size() > 4 && toks[1].Is("OR") && toks[3].Is("TYPE")));
  while (toks.size() >= 2 && toks[toks.size() - 2].kind == Tok::Op &&
         (toks[toks.size() - 2].text == ";" || toks[toks.size() - 2].text == "/")) {
    if (toks[toks.size() - 2].text == ";" && !type) Raise(911, "", toks[toks.size() - 2].pos);
    toks.erase(toks.end() - 2);
  }
  Parser p(sql, toks);
  return p.Parse();
}

ExprP ParseExpression(const std::string& text) {
  auto toks = Tokenize(text);
  Parser p(text, toks);
  auto e = p.ParseExpr();
  if (!p.AtEnd()) Raise(933, "", p.Cur().pos);
  return e;
}

}  // namespace oracle_sim
