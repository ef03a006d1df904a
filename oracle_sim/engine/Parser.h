// The parser of the Oracle SQL text the engine accepts: tokens, statements and stand-alone
// expressions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "oracle_sim/engine/SqlAst.h"

namespace oracle_sim {

// Splits a statement into tokens; comments and hints are dropped. Throws OraError (01756 ...).
std::vector<Token> Tokenize(const std::string& sql);

// Parses one SQL statement (not a PL/SQL block). Throws OraError with the error offset.
std::unique_ptr<Statement> ParseStatement(const std::string& sql, const std::vector<Token>& tokens);
// Parses a condition or expression that stands alone (CHECK constraints, column defaults).
ExprP ParseExpression(const std::string& text);

// The statement keyword that decides the statement class: SELECT, INSERT, BEGIN, DECLARE ...
std::string LeadingKeyword(const std::vector<Token>& tokens);

}  // namespace oracle_sim
