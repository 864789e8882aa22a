#include <gtest/gtest.h>

#include <vector>

#include "app/RefreshSchedule.h"

TEST(RefreshSchedule, IntervalIsTheSettingInSecondsFromTenToADay) {
  EXPECT_EQ(RefreshInterval(5), 10000u);
  EXPECT_EQ(RefreshInterval(0), 10000u);
  EXPECT_EQ(RefreshInterval(9), 10000u);
  EXPECT_EQ(RefreshInterval(10), 10000u);
  EXPECT_EQ(RefreshInterval(11), 11000u);
  EXPECT_EQ(RefreshInterval(30), 30000u);
  EXPECT_EQ(RefreshInterval(-1), 10000u);
  EXPECT_EQ(RefreshInterval(86400), 86400000u);
  EXPECT_EQ(RefreshInterval(86401), 86400000u);
  EXPECT_EQ(RefreshInterval(2147483647), 86400000u);
  EXPECT_EQ(RefreshInterval(-2147483647 - 1), 10000u);
}

TEST(RefreshSchedule, DueCountsFromTheEndOfTheLastFetchAcrossTheTickWrap) {
  EXPECT_TRUE(RefreshDue(50000, 0, 30));  // first tick after start: counts from system start
  EXPECT_FALSE(RefreshDue(5000, 0, 30));
  EXPECT_FALSE(RefreshDue(109999, 100000, 9));
  EXPECT_TRUE(RefreshDue(110000, 100000, 9));
  EXPECT_FALSE(RefreshDue(110999, 100000, 11));
  EXPECT_TRUE(RefreshDue(111000, 100000, 11));
  // A fetch that ended just before the tick count wrapped.
  EXPECT_FALSE(RefreshDue(0x00001000u, 0xFFFFF000u, 30));
  EXPECT_TRUE(RefreshDue(0x00007600u, 0xFFFFF000u, 30));
  EXPECT_FALSE(RefreshDue(0xFFFFF100u, 0xFFFFF000u, 30));
}

TEST(ReconnectWatch, PollsAtOnceThenEveryTenSecondsForFiveMinutesAcrossTheWrap) {
  for (uint32_t start : {1000u, 0xFFFFF000u}) {
    ReconnectWatch watch;
    watch.Start(start);
    const bool due[] = {watch.PollDue(start), watch.PollDue(start + 9999), watch.PollDue(start + 10000),
                        watch.PollDue(start + 300000), watch.PollDue(start + 310001)};
    EXPECT_EQ(std::vector<bool>(due, due + 5), (std::vector<bool>{true, false, true, true, false}));
    EXPECT_FALSE(watch.Active());  // five minutes are over
  }
}
