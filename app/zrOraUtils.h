// Small Oracle services of the program.
#pragma once

#include <string>

class TOracleSession;

// The release number of the server the session is connected to ("9.2.0.8.0"): the nine characters
// after " Release " in the server's banner, trimmed; an empty text when the banner cannot be read.
std::string GetServerVersion(TOracleSession* Session);
// The release number in a server banner, as GetServerVersion takes it.
std::string ReleaseFromBanner(const std::string& Banner);
// Whether a statement is a query, by the type the server's parse gives it; nothing of the statement
// runs (its variables are declared as strings and left empty). A text the parse rejects raises the
// server's error.
bool IsQuery(TOracleSession* Session, const std::string& Sql);
// Whether a query locks the rows it reads (SELECT ... FOR UPDATE): the words FOR and UPDATE one after
// the other, in any case, with blanks, line breaks or comments between them, read as the server reads
// the text (never inside a literal, a quoted name or a comment). Nothing is sent to the server.
bool LocksRows(const std::string& Sql);
