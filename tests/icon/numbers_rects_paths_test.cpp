#include "icon/numbers_rects_paths.h"

#include <gtest/gtest.h>

using namespace icofmt;

TEST(NumbersRectsPaths, RoundingGoesToTheRightNeighbour) {
  struct Case {
    double x;
    int32_t floor, ceiling, halfEven;
  };
  const Case cases[] = {{2.5, 2, 3, 2},   {-2.5, -3, -2, -2}, {-3.0, -3, -3, -3},
                        {4.0, 4, 4, 4},   {0.5, 0, 1, 0},     {1.5, 1, 2, 2},
                        {-0.5, -1, 0, 0}, {-1.5, -2, -1, -2}, {2.4999, 2, 3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(FloorValue(c.x), c.floor);
    EXPECT_EQ(CeilValue(c.x), c.ceiling);
    EXPECT_EQ(RoundHalfEven(c.x), c.halfEven);
  }
}

TEST(NumbersRectsPaths, MembershipLooksAtHighIndexInclusive) {
  const int32_t values[] = {3, 5, 7};
  EXPECT_TRUE(IsInArray(7, values, 2));
  EXPECT_FALSE(IsInArray(7, values, 1));
  EXPECT_FALSE(IsInArray(3, values, -1));
}

TEST(NumbersRectsPaths, FitAspectRatioCentresAndClips) {
  EXPECT_EQ(FitAspectRatio(1, 1, MakeRect(0, 0, 100, 50)), MakeRect(25, 0, 75, 50));
  EXPECT_EQ(FitAspectRatio(1, 1, MakeRect(0, 0, 50, 100)), MakeRect(0, 25, 50, 75));
  // Degenerate inputs give the rectangle back.
  EXPECT_EQ(FitAspectRatio(0, 1, MakeRect(1, 2, 3, 4)), MakeRect(1, 2, 3, 4));
  EXPECT_EQ(FitAspectRatio(1, 1, MakeRect(5, 5, 5, 10)), MakeRect(5, 5, 5, 10));
  // 2:1 into 3 x 3: height 1.5, top = round(0.75) = 1, bottom = round(2.25) = 2.
  EXPECT_EQ(FitAspectRatio(2, 1, MakeRect(0, 0, 3, 3)), MakeRect(0, 1, 3, 2));
  // Halves go to even: width 1 in 0..4 -> left round(1.5) = 2, right round(2.5) = 2.
  EXPECT_EQ(FitAspectRatio(1, 4, MakeRect(0, 0, 4, 4)), MakeRect(2, 0, 2, 4));
}

TEST(NumbersRectsPaths, RectanglesInflateOnEverySide) {
  EXPECT_EQ(InflateRect(MakeRect(10, 10, 20, 30), 2, -3), MakeRect(8, 13, 22, 27));
}

TEST(NumbersRectsPaths, PathsLoseOneTrailingSeparator) {
  EXPECT_EQ(ExcludeTrailingSeparator("C:\\Temp\\"), "C:\\Temp");
  EXPECT_EQ(ExcludeTrailingSeparator("/tmp//"), "/tmp/");
  EXPECT_EQ(ExcludeTrailingSeparator("name"), "name");
  EXPECT_EQ(ExcludeTrailingSeparator(""), "");
  EXPECT_EQ(ExtractFileFolder("C:\\Program Files\\Host\\host.exe"), "C:\\Program Files\\Host\\");
  EXPECT_EQ(ExtractFileFolder("/usr/bin/host"), "/usr/bin/");
  EXPECT_EQ(ExtractFileFolder("host"), "");
}
