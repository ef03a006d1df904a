// The server's release number, from its banner.
#include <gtest/gtest.h>

#include "app/zrOraUtils.h"
#include "oracle/OracleTestSupport.h"

TEST(ServerRelease, IsTheNineCharactersAfterReleaseTrimmed) {
  struct Case {
    const char* banner;
    const char* release;
  };
  const Case cases[] = {
      {"Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production", "9.2.0.8.0"},
      {"Oracle Database 10g Release 10.2.0.10.1 - Production", "10.2.0.10"},  // cut to nine
      {"Oracle Release 9.2 - X", "9.2 - X"},
      {"Personal Oracle7 7.3.4.0.0", "Oracle7"},  // no " Release ": characters 9 to 17
      {"short", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReleaseFromBanner(c.banner), c.release) << c.banner;
}

class ServerVersionTest : public SimInstanceTest {};

TEST_F(ServerVersionTest, ComesFromTheInstanceAndNeedsTheHandleCalls) {
  auto session = Connect(false);
  EXPECT_EQ(GetServerVersion(session.get()), "9.2.0.8.0");
  auto old = Connect(true);
  EXPECT_THROW(GetServerVersion(old.get()), Exception);
}
