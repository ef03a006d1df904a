// The statements a session runs for itself (settings, connection checks, detections and server
// package calls), in either call generation. Queries have their own, fuller machinery.
#pragma once

#include <string>
#include <vector>

class TOracleSession;

// A string bind of an internal statement: the name without ':', and its value.
struct TInternalBind {
  std::string Name;
  std::string Value;
};

// Runs SQL on the session's connection (which must be up) under its lock. A select gives its rows
// as text in Rows (nulls as ""); other statements commit on success while AutoCommit is on. An
// Oracle error raises EOracleError for the session.
void RunInternalStatement(TOracleSession* Session, const std::string& SQL,
                          const std::vector<TInternalBind>& Binds,
                          std::vector<std::vector<std::string>>* Rows);
