// The column filter's rewrite on arbitrary statements, field lists, filtered fields and typed texts:
// never a crash, and a statement whose literals, quoted names and comments are closed stays so with
// the condition put in, the condition standing in the statement's code (not in a literal or comment).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/ComboBoxQuery.h"

namespace {

enum class State { Code, Literal, Quoted, LineComment, BlockComment };

// The lexical state after each byte of Sql: states[i] is the state before byte i.
std::vector<State> Scan(std::string_view Sql) {
  std::vector<State> states(Sql.size() + 1, State::Code);
  State s = State::Code;
  for (std::size_t i = 0; i < Sql.size(); ++i) {
    states[i] = s;
    const char c = Sql[i], next = i + 1 < Sql.size() ? Sql[i + 1] : '\0';
    switch (s) {
      case State::Code:
        if (c == '\'')
          s = State::Literal;
        else if (c == '"')
          s = State::Quoted;
        else if (c == '-' && next == '-')
          s = State::LineComment, states[++i] = State::Code;
        else if (c == '/' && next == '*')
          s = State::BlockComment, states[++i] = State::Code;
        break;
      case State::Literal:
        if (c == '\'') {
          if (next == '\'')
            states[++i] = State::Literal;
          else
            s = State::Code;
        }
        break;
      case State::Quoted:
        if (c == '"') s = State::Code;
        break;
      case State::LineComment:
        if (c == '\r' || c == '\n') s = State::Code;
        break;
      case State::BlockComment:
        if (c == '*' && next == '/') states[++i] = State::BlockComment, s = State::Code;
        break;
    }
  }
  states[Sql.size()] = s;
  return states;
}

bool Closed(State s) {
  return s == State::Code || s == State::LineComment;
}

// The input: statement, field names (one a line), filtered field and typed text, split at NUL bytes.
std::vector<std::string> Parts(std::string_view In) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (parts.size() < 3) {
    const std::size_t end = In.find('\0', at);
    if (end == std::string_view::npos) break;
    parts.emplace_back(In.substr(at, end - at));
    at = end + 1;
  }
  parts.emplace_back(In.substr(std::min(at, In.size())));
  while (parts.size() < 4) parts.emplace_back();
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = Parts(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string& sql = parts[0];
  std::vector<std::string> fields;
  for (std::size_t at = 0; at <= parts[1].size();) {
    std::size_t end = parts[1].find('\n', at);
    if (end == std::string::npos) end = parts[1].size();
    fields.push_back(parts[1].substr(at, end - at));
    at = end + 1;
  }
  const TColumnFilterSql r = FilterStatement(sql, fields, parts[2], parts[3]);
  // the condition on its own is closed code
  if (!Closed(Scan(r.Condition).back()) || Scan(r.Condition).back() == State::LineComment) __builtin_trap();
  const std::vector<State> before = Scan(sql);
  if (!Closed(before.back())) return 0;
  const std::vector<State> after = Scan(r.Sql);
  if (!Closed(after.back())) __builtin_trap();
  // the inserted text starts where the result first differs from the statement (after a line break
  // that ends a closing line comment)
  std::size_t at = 0;
  while (at < sql.size() && at < r.Sql.size() && sql[at] == r.Sql[at]) ++at;
  if (r.Sql.compare(at, 2, "\r\n") == 0) at += 2;
  if (at >= r.Sql.size() || after[at] != State::Code) __builtin_trap();
  if (r.Sql.find(r.Condition, at) == std::string::npos) __builtin_trap();
  return 0;
}
