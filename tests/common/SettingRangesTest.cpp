#include <gtest/gtest.h>

#include <climits>

#include "common/SettingRanges.h"

// Every stored number, however odd, becomes one the program can use.
TEST(SettingRanges, OddValuesComeToTheNearestUsableOne) {
  struct Row {
    int stored;
    int refreshSeconds;
    size_t tickerCapacity;
    int opacity;
  };
  const Row rows[] = {
      {INT_MIN, 10, 1, 0},        {-1, 10, 1, 0},          {0, 10, 1, 0},
      {1, 10, 1, 1},              {30, 30, 30, 30},        {100, 100, 100, 100},
      {255, 255, 255, 100},       {86401, 86400, 10000, 100}, {INT_MAX, 86400, 10000, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    EXPECT_EQ(setting::RefreshSeconds(row.stored), row.refreshSeconds);
    EXPECT_EQ(setting::TickerCapacity(row.stored), row.tickerCapacity);
    EXPECT_EQ(setting::OpacityPercent(row.stored), row.opacity);
  }
}

TEST(SettingRanges, WindowExtentsFitTheWorkAreaAndPositionsStayAddable) {
  struct Row {
    long stored, expected;
  };
  // Default 200, at least 20, work area 1000 wide.
  const Row rows[] = {{LONG_MIN, 200}, {-5, 200}, {0, 200}, {1, 20}, {300, 300}, {1000, 1000}, {1001, 1000}, {LONG_MAX, 1000}};
  for (const Row& row : rows) EXPECT_EQ(setting::WindowExtent(row.stored, 200, 20, 1000), row.expected) << row.stored;
  EXPECT_EQ(setting::WindowExtent(500, 200, 20, 10), 20);  // a work area smaller than the minimum
  EXPECT_EQ(setting::WindowCoordinate(LONG_MIN), -32767);
  EXPECT_EQ(setting::WindowCoordinate(LONG_MAX), 32767);
  EXPECT_EQ(setting::WindowCoordinate(-40), -40);
}
