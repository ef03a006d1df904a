#include "SimTestUtil.h"

namespace simtest {
namespace {

class Translation : public SimTest {};

TEST_F(Translation, Smoke) {
  auto rows = Query(*scott_, "select ename, sal from emp where deptno = 10 order by ename");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "CLARK");
  EXPECT_EQ(rows[0][1], "2450");
}

}  // namespace
}  // namespace simtest
