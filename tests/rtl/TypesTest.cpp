#include <gtest/gtest.h>

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
