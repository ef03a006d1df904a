#include "oracle_sim/engine/Errors.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace oracle_sim {

namespace {

// The one table of the server's and the client's message texts. A "%s" stands for the detail the
// server fills in (a constraint or object name, a count); `unnamed` is what the client library shows
// there when it words a code without the server's details.
struct Message {
  const char* text;
  const char* unnamed = "";
};

const std::unordered_map<int, Message>& Messages() {
  static const std::unordered_map<int, Message> table = {
      {0, {"normal, successful completion"}},
      {1, {"unique constraint (%s) violated", "."}},
      {27, {"cannot kill current session"}},
      {28, {"your session has been killed"}},
      {29, {"session is not a user session"}},
      {30, {"User session ID does not exist."}},
      {31, {"session marked for kill"}},
      {54, {"resource busy and acquire with NOWAIT specified"}},
      {60, {"deadlock detected while waiting for resource"}},
      {600, {"internal error code, arguments: []"}},
      {900, {"invalid SQL statement"}},
      {901, {"invalid CREATE command"}},
      {902, {"invalid datatype"}},
      {903, {"invalid table name"}},
      {904, {"%s: invalid identifier"}},
      {905, {"missing keyword"}},
      {906, {"missing left parenthesis"}},
      {907, {"missing right parenthesis"}},
      {908, {"missing NULL keyword"}},
      {909, {"invalid number of arguments"}},
      {911, {"invalid character"}},
      {913, {"too many values"}},
      {917, {"missing comma"}},
      {918, {"column ambiguously defined"}},
      {920, {"invalid relational operator"}},
      {921, {"unexpected end of SQL command"}},
      {922, {"missing or invalid option"}},
      {923, {"FROM keyword not found where expected"}},
      {924, {"missing BY keyword"}},
      {925, {"missing INTO keyword"}},
      {926, {"missing VALUES keyword"}},
      {927, {"missing equal sign"}},
      {928, {"missing SELECT keyword"}},
      {931, {"missing identifier"}},
      {932, {"inconsistent datatypes"}},
      {933, {"SQL command not properly ended"}},
      {934, {"group function is not allowed here"}},
      {936, {"missing expression"}},
      {937, {"not a single-group group function"}},
      {938, {"not enough arguments for function"}},
      {939, {"too many arguments for function"}},
      {940, {"invalid ALTER command"}},
      {942, {"table or view does not exist"}},
      {947, {"not enough values"}},
      {950, {"invalid DROP option"}},
      {955, {"name is already used by an existing object"}},
      {957, {"duplicate column name"}},
      {971, {"missing SET keyword"}},
      {972, {"identifier is too long"}},
      {975, {"logical operator not allowed"}},
      {976, {"pseudocolumn or operator not allowed here"}},
      {979, {"not a GROUP BY expression"}},
      {1001, {"invalid cursor"}},
      {1002, {"fetch out of sequence"}},
      {1003, {"no statement parsed"}},
      {1007, {"variable not in select list"}},
      {1008, {"not all variables bound"}},
      {1012, {"not logged on"}},
      {1013, {"user requested cancel of current operation"}},
      {1017, {"invalid username/password; logon denied"}},
      {1027, {"bind variables not allowed for data definition operations"}},
      {1031, {"insufficient privileges"}},
      {1034, {"ORACLE not available"}},
      {1035, {"ORACLE only available to users with RESTRICTED SESSION privilege"}},
      {1036, {"illegal variable name/number"}},
      {1086, {"savepoint '%s' never established"}},
      {1400, {"cannot insert NULL into (%s)"}},
      {1401, {"inserted value too large for column"}},
      {1403, {"no data found"}},
      {1405, {"fetched column value is NULL"}},
      {1406, {"fetched column value was truncated"}},
      {1407, {"cannot update (%s) to NULL"}},
      {1410, {"invalid ROWID"}},
      {1416, {"two tables cannot be outer-joined to each other"}},
      {1422, {"exact fetch returns more than requested number of rows"}},
      {1426, {"numeric overflow"}},
      {1427, {"single-row subquery returns more than one row"}},
      {1428, {"argument '%s' is out of range"}},
      {1430, {"column being added already exists in table"}},
      {1435, {"user does not exist"}},
      {1438, {"value larger than specified precision allowed for this column"}},
      {1455, {"converting column overflows integer datatype"}},
      {1458, {"invalid length inside variable character string"}},
      {1465, {"invalid hex number"}},
      {1468, {"a predicate may reference only one outer-joined table"}},
      {1476, {"divisor is equal to zero"}},
      {1481, {"invalid number format model"}},
      {1722, {"invalid number"}},
      {1732, {"data manipulation operation not legal on this view"}},
      {1756, {"quoted string not properly terminated"}},
      {1758, {"table must be empty to add mandatory (NOT NULL) column"}},
      {1780, {"string literal required"}},
      {1785, {"ORDER BY item must be the number of a SELECT-list expression"}},
      {1789, {"query block has incorrect number of result columns"}},
      {1821, {"date format not recognized"}},
      {1830, {"date format picture ends before converting entire input string"}},
      {1839, {"date not valid for month specified"}},
      {1840, {"input value not long enough for date format"}},
      {1841, {"(full) year must be between -4713 and +9999, and not be 0"}},
      {1843, {"not a valid month"}},
      {1847, {"day of month must be between 1 and last day of month"}},
      {1850, {"hour must be between 0 and 23"}},
      {1851, {"minutes must be between 0 and 59"}},
      {1852, {"seconds must be between 0 and 59"}},
      {1858, {"a non-numeric character was found where a numeric was expected"}},
      {1861, {"literal does not match format string"}},
      {1918, {"user '%s' does not exist"}},
      {1920, {"user name '%s' conflicts with another user or role name"}},
      {2260, {"table can have only one primary key"}},
      {2261, {"such unique or primary key already exists in the table"}},
      {2264, {"name already used by an existing constraint"}},
      {2270, {"no matching unique or primary key for this column-list"}},
      {2287, {"sequence number not allowed here"}},
      {2289, {"sequence does not exist"}},
      {2290, {"check constraint (%s) violated", "."}},
      {2291, {"integrity constraint (%s) violated - parent key not found", "."}},
      {2292, {"integrity constraint (%s) violated - child record found", "."}},
      {2303, {"cannot drop or replace a type with type or table dependents"}},
      {2315, {"incorrect number of arguments for default constructor"}},
      {2449, {"unique/primary keys in table referenced by foreign keys"}},
      {3001, {"unimplemented feature"}},
      {3113, {"end-of-file on communication channel"}},
      {3114, {"not connected to ORACLE"}},
      {4043, {"object %s does not exist"}},
      {6502, {"PL/SQL: numeric or value error"}},
      {6510, {"PL/SQL: unhandled user-defined exception"}},
      {8002, {"sequence %s.CURRVAL is not yet defined in this session"}},
      {8004, {"sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"}},
      {12154, {"TNS:could not resolve service name"}},
      {21700, {"object does not exist or is marked for delete"}},
      {22275, {"invalid LOB locator specified"}},
      {22806, {"not an object or REF"}},
      {22814, {"attribute or element value is larger than specified in type"}},
      {22909, {"exceeded maximum VARRAY limit"}},
      {24309, {"already connected to a server"}},
      {24313, {"user already authenticated"}},
      {24315, {"illegal attribute type"}},
      {24324, {"service handle not initialized"}},
      {24327, {"need explicit attach before authenticating a user"}},
      {24333, {"zero iteration count"}},
      {24337, {"statement handle not prepared"}},
      {24338, {"statement handle not executed"}},
      {24343, {"user defined callback error"}},
      {24418, {"Cannot open further sessions."}},
      {24419, {"Proxy sessions are not supported in this mode."}},
      {24431, {"Statement does not exist in the cache"}},
      {28000, {"the account is locked"}},
      {28001, {"the password has expired"}},
      {28002, {"the password will expire within %s days", "7"}},
      {31011, {"XML parsing failed"}},
  };
  return table;
}

std::string Worded(int code, const std::string* arg) {
  char head[16];
  std::snprintf(head, sizeof head, "ORA-%05d: ", code);
  auto it = Messages().find(code);
  if (it == Messages().end()) {
    char body[80];
    std::snprintf(body, sizeof body, "Message %d not found;  product=RDBMS; facility=ORA", code);
    return head + std::string(body);
  }
  std::string body = it->second.text;
  auto p = body.find("%s");
  if (p != std::string::npos) body.replace(p, 2, arg ? *arg : std::string(it->second.unnamed));
  return head + body;
}

}  // namespace

std::string OraText(int code, const std::string& arg) {
  return Worded(code, &arg);
}

std::string OraClientText(int code) {
  return Worded(code, nullptr);
}

OraError MakeError(int code, const std::string& arg, int offset) {
  return OraError(code, OraText(code, arg), offset);
}

void Raise(int code, const std::string& arg, int offset) {
  throw MakeError(code, arg, offset);
}

void RaisePls201(const std::string& name, int line, int column) {
  std::string where =
      "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(column) + ":\n";
  throw OraError(6550, where + "PLS-00201: identifier '" + name + "' must be declared\n" + where +
                           "PL/SQL: Statement ignored");
}

bool ParseOraMessage(const std::string& message, OraError& out) {
  auto p = message.find("ORA-");
  if (p == std::string::npos || p + 9 > message.size()) return false;
  int code = 0;
  for (size_t i = p + 4; i < p + 9; ++i) {
    if (message[i] < '0' || message[i] > '9') return false;
    code = code * 10 + (message[i] - '0');
  }
  out = OraError(code, message.substr(p));
  return true;
}

}  // namespace oracle_sim
