#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "channels/SortKey.h"

namespace {

std::wstring Reference(uint32_t stamp, int32_t arrival) {
  char text[32];
  std::snprintf(text, sizeof(text), "%08x-%03d", 0xFFFFFFFFu - stamp, arrival);
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

}  // namespace

TEST(FeedSortKey, IsTheNegatedStampInHexAndTheArrivalNumber) {
  EXPECT_EQ(FeedSortKey(0, 0), L"ffffffff-000");
  EXPECT_EQ(FeedSortKey(1, 7), L"fffffffe-007");
  EXPECT_EQ(FeedSortKey(0x12345678u, 42), L"edcba987-042");
  const uint32_t stamps[] = {0, 1, 2, 255, 0x10000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu, 123456789u};
  const int32_t arrivals[] = {0, 1, 9, 10, 99, 100, 999, 1000, 12345, INT_MAX, -1, -5, -99, -100, INT_MIN};
  for (uint32_t stamp : stamps)
    for (int32_t arrival : arrivals) EXPECT_EQ(FeedSortKey(stamp, arrival), Reference(stamp, arrival)) << stamp << " " << arrival;
}

TEST(FeedSortKey, LaterRunsFirstThenDocumentOrderUpTo999) {
  // Any item of a later run sorts above any item of an earlier one, the first run (before
  // any fetch had ended: stamp 0) included.
  EXPECT_LT(CompareOrdinal(FeedSortKey(5000, 999), FeedSortKey(0, 0)), 0);
  EXPECT_LT(CompareOrdinal(FeedSortKey(60000, 999), FeedSortKey(30000, 0)), 0);
  EXPECT_LT(CompareOrdinal(FeedSortKey(30001, 500), FeedSortKey(30000, 0)), 0);
  for (int i = 0; i < 999; ++i)
    ASSERT_LT(CompareOrdinal(FeedSortKey(30000, i), FeedSortKey(30000, i + 1)), 0) << i;
  // Four digits sort as text: 1000 comes before 999.
  EXPECT_LT(CompareOrdinal(FeedSortKey(30000, 1000), FeedSortKey(30000, 999)), 0);
}

TEST(CompareTreeOrder, TitlesDecideOnlyBetweenEqualKeys) {
  // Channels: empty keys, ordered by title, code unit by code unit.
  EXPECT_LT(CompareTreeOrder(L"", L"a", L"", L"b"), 0);
  EXPECT_GT(CompareTreeOrder(L"", L"b", L"", L"a"), 0);
  EXPECT_LT(CompareTreeOrder(L"", L"B", L"", L"a"), 0);          // upper case first
  EXPECT_LT(CompareTreeOrder(L"", L"z", L"", L"\xAC00"), 0);     // Hangul after ASCII
  EXPECT_LT(CompareTreeOrder(L"", L"ab", L"", L"abc"), 0);       // a prefix first
  EXPECT_EQ(CompareTreeOrder(L"", L"same", L"", L"same"), 0);
  // Different keys: the key decides, whatever the titles.
  EXPECT_LT(CompareTreeOrder(L"0001-000", L"zzz", L"0002-000", L"aaa"), 0);
  // An empty key sorts before every feed item.
  EXPECT_LT(CompareTreeOrder(L"", L"zzz", L"00000000-000", L"aaa"), 0);
}

TEST(CompareOrdinal, TreatsCodeUnitsAsUnsigned) {
  EXPECT_LT(CompareOrdinal(L"\x7F", L"\xFFFF"), 0);
  EXPECT_GT(CompareOrdinal(L"\xD800", L"\x00FF"), 0);
  EXPECT_EQ(CompareOrdinal(L"", L""), 0);
  EXPECT_LT(CompareOrdinal(L"", L"a"), 0);
}
