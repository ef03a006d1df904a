#include <gtest/gtest.h>

#include <climits>

#include "platform/rtl/Types.h"

TEST(Geometry, IntersectAndUnionTreatEmptyRectanglesAsNothing) {
  TRect r;
  EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
  EXPECT_EQ(r, Rect(5, 5, 10, 10));
  EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));  // touching edges only
  EXPECT_EQ(r, TRect());
  EXPECT_TRUE(UnionRect(r, Rect(0, 0, 0, 0), Rect(3, 3, 4, 4)));
  EXPECT_EQ(r, Rect(3, 3, 4, 4));
  EXPECT_TRUE(UnionRect(r, Rect(0, 0, 2, 2), Rect(3, 3, 4, 4)));
  EXPECT_EQ(r, Rect(0, 0, 4, 4));
}

TEST(Geometry, RightAndBottomAreExclusive) {
  TRect r = Bounds(10, 20, 30, 40);
  EXPECT_EQ(r.Width(), 30);
  EXPECT_EQ(r.Height(), 40);
  EXPECT_TRUE(PtInRect(r, Point(10, 20)));
  EXPECT_FALSE(PtInRect(r, Point(40, 20)));
  EXPECT_FALSE(PtInRect(r, Point(10, 60)));
  OffsetRect(r, -10, -20);
  InflateRect(r, 1, 2);
  EXPECT_EQ(r, Rect(-1, -2, 31, 42));
}

// A place and a size near the ends of int (a stored value gone wrong) give the nearest rectangle that
// can be told, never an overflow.
TEST(Geometry, BoundsNearTheEndsOfIntStayWithinIt) {
  EXPECT_EQ(Bounds(INT_MAX, INT_MAX, INT_MAX, INT_MAX), Rect(INT_MAX, INT_MAX, INT_MAX, INT_MAX));
  EXPECT_EQ(Bounds(-INT_MAX, -INT_MAX, -INT_MAX, -INT_MAX), Rect(-INT_MAX, -INT_MAX, INT_MIN, INT_MIN));
  EXPECT_EQ(Bounds(2147483000, 10, 2147483000, 20), Rect(2147483000, 10, INT_MAX, 30));
  EXPECT_EQ(Bounds(-INT_MAX, 0, INT_MAX, 5), Rect(-INT_MAX, 0, 0, 5));
}
