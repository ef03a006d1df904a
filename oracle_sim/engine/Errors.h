// Oracle error codes and their message texts, as the server words them.
#pragma once

#include <string>

#include "oracle/OracleCIApi.h"  // the error numbers (ORA_...)
#include "oracle_sim/engine/Engine.h"

namespace oracle_sim {

// "ORA-00942: table or view does not exist"; `arg` fills the message's single placeholder. A code
// without a text reads "ORA-nnnnn: Message nnnnn not found;  product=RDBMS; facility=ORA".
std::string OraText(int code, const std::string& arg = std::string());
// The text the client library gives for a code when the server's details are unknown ("ORA-00001:
// unique constraint (.) violated").
std::string OraClientText(int code);
OraError MakeError(int code, const std::string& arg = std::string(), int offset = 0);
[[noreturn]] void Raise(int code, const std::string& arg = std::string(), int offset = 0);

// The PL/SQL compile error for an identifier that is not declared (line and column 1-based).
[[noreturn]] void RaisePls201(const std::string& name, int line, int column);

// Recovers an OraError from a message produced inside SQLite ("ORA-nnnnn: ..."); false otherwise.
bool ParseOraMessage(const std::string& message, OraError& out);

}  // namespace oracle_sim
