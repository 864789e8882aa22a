#include <gtest/gtest.h>

#include "common/Placement.h"

void PrintTo(const Box& b, std::ostream* os) {
  *os << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

namespace {
const Box kWork{0, 0, 1920, 1040};
Box At(long x, long y, long cx, long cy) { return Box{x, y, x + cx, y + cy}; }
}  // namespace

TEST(SnapMainWindow, SnapsAt14PixelsButNotAt15) {
  EXPECT_EQ(SnapMainWindow(At(14, 300, 200, 300), kWork), At(0, 300, 200, 300));
  EXPECT_EQ(SnapMainWindow(At(15, 300, 200, 300), kWork), At(15, 300, 200, 300));
  EXPECT_EQ(SnapMainWindow(At(-14, 300, 200, 300), kWork), At(0, 300, 200, 300));
  EXPECT_EQ(SnapMainWindow(At(-15, 300, 200, 300), kWork), At(-15, 300, 200, 300));
  // Bottom edge 14 above the work area's bottom.
  EXPECT_EQ(SnapMainWindow(At(500, 726, 200, 300), kWork), At(500, 740, 200, 300));
  EXPECT_EQ(SnapMainWindow(At(500, 725, 200, 300), kWork), At(500, 725, 200, 300));
}

TEST(SnapMainWindow, RightAndBottomWinWhenBothEdgesQualify) {
  // As wide as the work area, 10 px to the right: both side edges are near.
  EXPECT_EQ(SnapMainWindow(At(10, 5, 1920, 1030), kWork), At(0, 10, 1920, 1030));
  // Slightly narrower than the work area: the right edge wins.
  EXPECT_EQ(SnapMainWindow(At(5, 100, 1910, 300), kWork), At(10, 100, 1910, 300));
  // Work areas not at the origin.
  const Box second{1920, 0, 3840, 1080};
  EXPECT_EQ(SnapMainWindow(At(1930, 1, 200, 300), second), At(1920, 0, 200, 300));
}

TEST(SnapTicker, EachTestSeesThePreviousResult) {
  // A wide strip: after the left snap its right edge is no longer near the right edge.
  EXPECT_EQ(SnapTicker(At(10, 50, 1895, 18), kWork), At(0, 50, 1895, 18));
  // The same strip 10 px further right: its right edge is near, so the right snap wins.
  EXPECT_EQ(SnapTicker(At(20, 50, 1895, 18), kWork), At(25, 50, 1895, 18));
  EXPECT_EQ(SnapTicker(At(1710, 1030, 200, 18), kWork), At(1720, 1022, 200, 18));
  EXPECT_EQ(SnapTicker(At(1700, 1000, 200, 18), kWork), At(1700, 1000, 200, 18));
}

TEST(SnapViewFrame, TopAndLeftWinAndEdgesComeFromTheWorkAreaSize) {
  EXPECT_EQ(SnapViewFrame(At(10, 200, 800, 600), 1920, 1040), At(0, 200, 800, 600));
  EXPECT_EQ(SnapViewFrame(At(1110, 200, 800, 600), 1920, 1040), At(1120, 200, 800, 600));
  // Both side edges near: left wins because it is applied last.
  EXPECT_EQ(SnapViewFrame(At(5, 5, 1910, 1030), 1920, 1040), At(0, 0, 1910, 1030));
  EXPECT_EQ(SnapViewFrame(At(300, -14, 800, 600), 1920, 1040), At(300, 0, 800, 600));
  EXPECT_EQ(SnapViewFrame(At(300, -15, 800, 600), 1920, 1040), At(300, -15, 800, 600));
}

TEST(Placement, ClampsAndCorners) {
  EXPECT_FALSE(StickOut(At(1720, 740, 200, 300), kWork));
  EXPECT_TRUE(StickOut(At(1721, 740, 200, 300), kWork));
  EXPECT_TRUE(StickOut(At(-1, 0, 10, 10), kWork));
  EXPECT_EQ(IntoBottomRight(At(-5000, -5000, 250, 320), kWork), At(1670, 720, 250, 320));
  EXPECT_EQ(IntoTopRight(At(5000, 5000, 200, 18), Box{0, 40, 1920, 1080}), At(1720, 40, 200, 18));
  EXPECT_EQ(ClampViewPlacement(100, 100, 800, 600, kWork), At(100, 100, 800, 600));
  EXPECT_EQ(ClampViewPlacement(-50, -1, 800, 600, kWork), At(0, 0, 800, 600));
  EXPECT_EQ(ClampViewPlacement(1500, 900, 800, 600, kWork), At(1120, 440, 800, 600));
  // Larger than the work area: sizes stay, the position turns negative.
  EXPECT_EQ(ClampViewPlacement(0, 0, 2000, 600, kWork), At(-80, 0, 2000, 600));
}
