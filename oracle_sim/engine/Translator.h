// Oracle SQL -> SQLite SQL, with the select list typed the way Oracle describes it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "oracle_sim/engine/Catalog.h"
#include "oracle_sim/engine/SqlAst.h"

namespace oracle_sim {

// Everything the session needs to run one statement text.
struct Translation {
  Statement::Kind stmtKind = Statement::Select;
  StmtKind kind = StmtKind::Select;
  int functionCode = 3;
  std::string sqlite;                  // the statement to run (empty for statements the session runs itself)
  std::string sqliteConsistent;        // a query that reads around other sessions' uncommitted changes
  std::vector<std::string> bindNames;  // distinct names; SQLite parameter ?N is bindNames[N-1]
  std::vector<std::string> outBinds;   // RETURNING INTO targets
  std::vector<ColumnDesc> columns;     // the visible select list
  std::vector<SqlType> columnTypes;    // types of columns[] (and of hidden lock columns after them)
  bool writes = false;                 // runs in a write transaction (DML, NEXTVAL)
  bool readsLive = false;              // reads the instance's live state (set by the session's cache)
  // SELECT ... FOR UPDATE: hidden trailing columns hold the row ids to lock, one per locked table.
  bool forUpdate = false;
  bool nowait = false;
  std::vector<int64_t> lockObjects;  // object id per hidden column
  // DML
  int64_t targetObject = 0;
  std::string targetKey;  // "OWNER.TABLE"
  std::vector<SqlType> returningTypes;
  // Per RETURNING item: the column of the target table it names, or "" for any other expression.
  // The row's rowid follows the items in the SQLite RETURNING list.
  std::vector<std::string> returningColumns;
  std::shared_ptr<Statement> statement;  // parsed statement (DDL, transaction control, PL/SQL text)
  std::string plsql;                     // PL/SQL block text
};

struct TranslateContext {
  const Catalog* catalog = nullptr;
  std::string user;  // the session's schema
  bool dba = false;
};

// Translates a full statement text. Throws OraError (syntax, 00942, 00904, 01785 ...).
std::shared_ptr<Translation> Translate(const TranslateContext& ctx, const std::string& sql);

// A condition or expression over the columns of one table, with every column written as
// `alias."COL"` (CHECK constraints in triggers: alias NEW). Throws OraError.
std::string TranslateTableExpr(const TranslateContext& ctx, const CatObject& table, const std::string& text,
                               const std::string& alias, SqlType* type = nullptr);

// An expression with no table (PL/SQL right-hand sides, defaults). Bind names are appended to `binds`
// (shared numbering with the caller: ?N = binds[N-1]). `names` may claim a name or bind (PL/SQL
// locals): it returns true and sets the SQL and type to use.
using NameHook = std::function<bool(const Expr&, std::string&, SqlType&)>;
std::string TranslateFreeExpr(const TranslateContext& ctx, const Expr& e, const std::string& text,
                              std::vector<std::string>& binds, SqlType* type, const NameHook& names);

// What a describe reports for a value of type `t`: type code, size, precision, scale, named type.
ColumnDesc DescribeSqlType(const SqlType& t);

// Wraps an SQLite expression of type `from` so that it stores into a column of type `to`.
std::string CoerceTo(const std::string& sql, const SqlType& from, const SqlType& to);

std::string QuoteIdent(const std::string& name);
std::string QuoteText(const std::string& text);

}  // namespace oracle_sim
