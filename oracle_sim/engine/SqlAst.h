// Tokens and syntax tree of the Oracle SQL (and PL/SQL block) text the engine accepts.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace oracle_sim {

enum class Tok { End, Ident, QuotedIdent, Number, String, Bind, Op, OuterMark };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // Ident: upper-cased; QuotedIdent: as written; String: unquoted value;
                     // Bind: upper-cased name without ':'; Op: the operator
  int pos = 0;       // 0-based offset into the statement
  int end = 0;       // offset just past the token
  bool Is(const char* word) const { return (kind == Tok::Ident || kind == Tok::Op) && text == word; }
};

struct Select;
struct Expr;
using ExprP = std::unique_ptr<Expr>;

struct Expr {
  enum Kind {
    Null,
    Number,    // text holds the literal
    String,    // text holds the value (never empty: '' is Null)
    Bind,      // text: upper-case name
    Column,    // parts: [schema.][table.]column (upper-cased unless quoted); outer: (+)
    Star,      // parts: qualifier ("E" for e.*), empty for *
    Func,      // text: upper-case name (may be "PKG.F"), args; star: COUNT(*); distinct
    Unary,     // text: "-", "+", "NOT", "PRIOR"
    Binary,    // text: "+", "-", "*", "/", "||", "=", "<>", "<", ">", "<=", ">=", "AND", "OR"
    Like,      // args: value, pattern[, escape]; negated
    Between,   // args: value, low, high; negated
    In,        // args: value, list... or sub; negated
    Exists,    // sub
    IsNull,    // args: value; negated
    Case,      // args: [operand] when1, then1, ..., [else]; hasOperand, hasElse
    Subquery,  // sub (scalar subquery)
    Cursor,    // sub; text: the subquery as written (CURSOR(subquery) in a select list)
    List,      // args: (a, b) row value
    Pseudo,    // text: ROWNUM, SYSDATE, USER, UID, ROWID (parts: qualifier), LEVEL, SYSTIMESTAMP
    Sequence,  // parts: [schema.]sequence, text: NEXTVAL / CURRVAL
  };
  Kind kind = Null;
  std::string text;
  std::vector<std::string> parts;
  std::vector<ExprP> args;
  std::unique_ptr<Select> sub;
  bool outer = false;
  bool negated = false;
  bool star = false;
  bool distinct = false;
  bool hasOperand = false;
  bool hasElse = false;
  bool quotedLast = false;  // Column: the last name part was quoted
  std::string argName;      // a named argument "name => value" of a call (upper-case)
  int pos = 0;
  int end = 0;
  int height = 1;  // levels of operators below (binary chains)
};

struct SelectItem {
  ExprP expr;  // null for a star item
  bool star = false;
  std::string starQualifier;  // "E" for e.*, "" for *
  std::string alias;
  int pos = 0;
  int end = 0;
};

struct FromItem {
  std::string owner;  // empty when unqualified
  std::string name;   // table / view / synonym name
  std::unique_ptr<Select> sub;
  std::string alias;
  enum Join { Comma, Inner, Left, Right, Full, Cross } join = Comma;
  ExprP on;
  int pos = 0;
};

struct OrderItem {
  ExprP expr;
  bool desc = false;
  int nulls = 0;  // 0 default, 1 first, 2 last
};

struct Select {
  bool distinct = false;
  std::vector<SelectItem> items;
  std::vector<FromItem> from;
  ExprP where;
  std::vector<ExprP> groupBy;
  ExprP having;
  // Set operations chained onto this block: UNION, UNION ALL, INTERSECT, MINUS.
  std::vector<std::pair<std::string, std::unique_ptr<Select>>> setOps;
  std::vector<OrderItem> orderBy;
  bool forUpdate = false;
  std::vector<ExprP> forUpdateOf;
  bool nowait = false;
  int pos = 0;
};

struct ColumnDef {
  std::string name;
  std::string type;  // NUMBER, VARCHAR2, CHAR, DATE, RAW, LONG, ...
  int size = 0;
  int precision = 0;
  int scale = 0;
  bool hasPrecision = false;
  std::string defaultText;  // Oracle text of DEFAULT, empty when none
  bool notNull = false;
  // A named type (object, collection, XMLTYPE) or REF to one: `type` holds its name.
  bool named = false;
  bool isRef = false;
  std::string typeOwner;  // as written ("" when unqualified)
};

struct ConstraintDef {
  std::string name;  // empty: generated SYS_Cnnnnn
  char type = 'C';   // P, U, C, R; 'N' for NOT NULL (kept on the column)
  std::vector<std::string> columns;
  std::string checkText;  // Oracle text of the condition
  std::string refOwner, refTable;
  std::vector<std::string> refColumns;
  bool cascade = false;
};

// Any statement the engine runs.
struct Statement {
  enum Kind {
    Select,
    Insert,
    Update,
    Delete,
    PlSql,
    CreateTable,
    DropTable,
    AlterTableAdd,
    CreateSequence,
    DropSequence,
    CreateSynonym,
    DropSynonym,
    CreateView,
    DropView,
    CreateUser,
    AlterUser,
    DropUser,
    Grant,
    Revoke,
    Commit,
    Rollback,
    Savepoint,
    AlterSession,
    AlterSystem,
    SetTransaction,
    Truncate,
    LockTable,
    CreateType,
    DropType,
    CreateDirectory,
  };
  Kind kind = Select;
  std::unique_ptr<oracle_sim::Select> query;  // Select; Insert ... SELECT; Create view / table as
  // DML target
  std::string owner, table, alias;
  std::vector<std::string> columns;                // Insert column list
  std::vector<ExprP> values;                       // Insert VALUES
  std::vector<std::pair<std::string, ExprP>> set;  // Update SET
  ExprP where;
  std::vector<ExprP> returning;
  std::vector<std::string> into;  // bind names of RETURNING INTO
  // DDL
  std::vector<ColumnDef> columnDefs;
  std::vector<ConstraintDef> constraints;
  std::string name;   // sequence / synonym / view / user / savepoint name
  std::string text;   // view text; password; ALTER SESSION parameter
  std::string value;  // ALTER SESSION value
  bool isPublic = false;
  bool orReplace = false;
  bool cascade = false;
  bool flag = false;  // PASSWORD EXPIRE, NOCYCLE/CYCLE ...
  long long seqStart = 1, seqIncrement = 1, seqMin = 1, seqMax = 0;
  bool seqHasMin = false, seqHasMax = false, seqCycle = false;
  int seqCache = 20;
  // CREATE TABLE ... OF type
  std::string ofOwner, ofType;
};

}  // namespace oracle_sim
