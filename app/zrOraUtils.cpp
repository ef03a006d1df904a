#include "app/zrOraUtils.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr std::size_t kBannerSize = 501;
constexpr std::string_view kRelease = " Release ";
constexpr std::size_t kReleaseLength = 9;
// The statement kind of a query after its parse.
constexpr int kSelectStatement = 4;

bool Blank(unsigned char c) {
  return c <= ' ';
}

// The characters of a name as the server reads the text: a letter (or any character beyond ASCII)
// starts one; digits, "_", "$" and "#" go on with it.
bool NameStart(unsigned char c) {
  return std::isalpha(c) || c >= 0x80;
}
bool NameChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

// The words of a statement in order, upper-cased; every other token (a literal, a quoted name, a
// number, a variable, an operator) stands as an empty word between them. Comments separate tokens
// and are dropped.
std::vector<std::string> Words(const std::string& Sql) {
  std::vector<std::string> words;
  const std::size_t n = Sql.size();
  const auto at = [&](std::size_t i) { return i < n ? static_cast<unsigned char>(Sql[i]) : '\0'; };
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = at(i);
    if (std::isspace(c)) {
      ++i;
    } else if (c == '-' && at(i + 1) == '-') {
      i = Sql.find('\n', i);
      if (i == std::string::npos) i = n;
    } else if (c == '/' && at(i + 1) == '*') {
      const std::size_t end = Sql.find("*/", i + 2);
      i = end == std::string::npos ? n : end + 2;
    } else if (NameStart(c)) {
      std::size_t end = i;
      while (end < n && NameChar(at(end))) ++end;
      words.push_back(AnsiUpperCase(Sql.substr(i, end - i)));
      i = end;
    } else {
      // one token that is no word: it keeps the words around it apart
      if (c == '\'') {
        // a literal; a doubled quote inside it is a quote
        for (++i; i < n; ++i)
          if (at(i) == '\'' && at(++i) != '\'') break;
      } else if (c == '"') {
        const std::size_t end = Sql.find('"', i + 1);
        i = end == std::string::npos ? n : end + 1;
      } else if (c == ':' && (NameChar(at(i + 1)) || at(i + 1) == '"')) {
        for (++i; i < n && NameChar(at(i));) ++i;  // a variable (a quoted name goes as one next)
      } else if (std::isdigit(c)) {
        // a number, with its fraction and exponent: a name written right after it stands apart
        const auto digits = [&] {
          while (i < n && std::isdigit(at(i))) ++i;
        };
        digits();
        if (at(i) == '.' && at(i + 1) != '.') ++i, digits();  // ("1..2" is a range)
        const std::size_t sign = at(i + 1) == '+' || at(i + 1) == '-' ? 1 : 0;
        if ((at(i) == 'e' || at(i) == 'E') && std::isdigit(at(i + 1 + sign))) i += 1 + sign, digits();
      } else {
        ++i;
      }
      if (words.empty() || !words.back().empty()) words.emplace_back();
    }
  }
  return words;
}

}  // namespace

std::string ReleaseFromBanner(const std::string& Banner) {
  // a banner without " Release " is read from its ninth character on
  const std::size_t found = Banner.find(kRelease);
  const std::size_t p = found == std::string::npos ? kRelease.size() - 1 : found + kRelease.size();
  std::string r = p < Banner.size() ? Banner.substr(p, kReleaseLength) : std::string();
  while (!r.empty() && Blank(static_cast<unsigned char>(r.back()))) r.pop_back();
  std::size_t start = 0;
  while (start < r.size() && Blank(static_cast<unsigned char>(r[start]))) ++start;
  return r.substr(start);
}

std::string GetServerVersion(TOracleSession* Session) {
  OCIServer* server = Session->ExternalSRV();  // raises when not connected through the handle calls
  char banner[kBannerSize] = {};
  const sword status = OCI.OCIServerVersion(server, Session->ErrorHandle(), reinterpret_cast<text*>(banner),
                                            kBannerSize, OCI_HTYPE_SERVER);
  if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) return {};
  banner[kBannerSize - 1] = '\0';
  return ReleaseFromBanner(banner);
}

bool IsQuery(TOracleSession* Session, const std::string& Sql) {
  TOracleQuery query(nullptr);
  query.SetSession(Session);
  query.SQL()->SetText(Sql);
  std::unique_ptr<TStringList> names(FindVariables(Sql, false));
  for (int i = 0; i < names->Count(); ++i) query.DeclareVariable(names->Strings(i), otString);
  // parsed and described only: a statement of another kind is not executed by the description
  query.Describe();
  return query.FunctionType() == kSelectStatement;
}

bool LocksRows(const std::string& Sql) {
  const std::vector<std::string> words = Words(Sql);
  return std::adjacent_find(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
           return a == "FOR" && b == "UPDATE";
         }) != words.end();
}
