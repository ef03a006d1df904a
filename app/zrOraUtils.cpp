#include "app/zrOraUtils.h"

#include <cctype>
#include <memory>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr std::size_t kBannerSize = 501;
constexpr std::string_view kRelease = " Release ";
constexpr std::size_t kReleaseLength = 9;
// The statement kind of a query after its parse.
constexpr int kSelectStatement = 4;

bool Blank(unsigned char c) {
  return c <= ' ';
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
