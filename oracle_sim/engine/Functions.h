// SQLite user functions that give Oracle's built-in functions their Oracle semantics, and the
// value conversions (numbers, dates, ROWIDs) they share with the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "oracle_sim/engine/Engine.h"

struct sqlite3;

namespace oracle_sim {

// What the functions need to know about the session that runs them.
struct FunctionEnv {
  sqlite3* db = nullptr;
  int sid = 0;
  int64_t userId = 0;
  std::string user;
  bool dba = false;
  DateTime now;  // SYSDATE of the running statement
  std::string nlsDateFormat = "DD-MON-RR";
  std::map<int64_t, int64_t> currval;  // sequence object id -> last NEXTVAL of this session
  bool undoing = false;                // rollback in progress: triggers stay quiet
  int lockHolder = 0;                  // the session holding the row the last statement waited for
  std::string clientInfo, module, action;
  // DEREF: the object a REF names (Null when its row is gone).
  std::function<Value(const std::string&)> deref;
};

void RegisterFunctions(sqlite3* db, FunctionEnv* env);

// Dates are stored as "YYYY-MM-DD HH:MM:SS".
std::string FormatIso(const DateTime& d);
bool ParseIso(const std::string& s, DateTime& d);
DateTime NowLocal();
int64_t ToSeconds(const DateTime& d);  // seconds since 0001-01-01 (proleptic Gregorian)
DateTime FromSeconds(int64_t s);

// Oracle's text of a number (".5", "-12", "1.25").
std::string NumberText(double v);
std::string NumberText(int64_t v);
// TO_CHAR(date, fmt) and TO_DATE(text, fmt); throw OraError.
std::string FormatDate(const DateTime& d, const std::string& fmt);
DateTime ParseDate(const std::string& text, const std::string& fmt, const DateTime& now);
// TO_NUMBER of a text: true with an integer or a real; false when not a number.
bool ParseNumber(const std::string& text, int64_t& i, double& d, bool& isInt);

// A double truncated towards zero and clamped into int64 (no undefined conversion).
int64_t ClampToInt64(double v);
// A decimal integer text, clamped into [lo, hi]; 0 for what is not a number.
int64_t ParseIntClamped(const std::string& text, int64_t lo, int64_t hi);

// ROWID text of a row: object number, file, block, slot in Oracle's base-64 form (18 characters).
std::string RowidText(int64_t objectId, int64_t rowid);
// Decodes a ROWID text; false when malformed.
bool RowidDecode(const std::string& text, int64_t& objectId, int64_t& rowid);

}  // namespace oracle_sim
