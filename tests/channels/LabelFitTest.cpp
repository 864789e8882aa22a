#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "channels/LabelFit.h"

namespace {

// A text of `widths.size()` characters whose advances are `widths`; "..." is `dots` wide.
struct Text {
  std::vector<int> widths;
  int dots;
  int Width(int n) const {  // n == -1: the whole text; else n characters and "..."
    int w = 0;
    const int count = n < 0 ? static_cast<int>(widths.size()) : n;
    for (int i = 0; i < count && i < static_cast<int>(widths.size()); ++i) w += widths[i];
    return n < 0 ? w : w + dots;
  }
};

// The fitting loop that measures once per removed character.
int OneByOne(const Text& text, int available) {
  int candidate = -1;
  int n = static_cast<int>(text.widths.size());
  while (n > 0) {
    if (text.Width(candidate) <= available) break;
    candidate = n;
    --n;
  }
  return candidate;
}

}  // namespace

TEST(FitPrefixLength, GivesTheSameLabelAsMeasuringEveryLengthWithLogarithmicCost) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 4000; ++round) {
    Text text;
    const int length = std::uniform_int_distribution<int>(0, 160)(random);
    for (int i = 0; i < length; ++i) text.widths.push_back(std::uniform_int_distribution<int>(0, 14)(random));
    text.dots = std::uniform_int_distribution<int>(0, 12)(random);
    const int available = std::uniform_int_distribution<int>(-5, text.Width(-1) + 20)(random);

    int measurements = 0;
    const int fitted = FitPrefixLength(length, [&](int n) {
      ++measurements;
      return text.Width(n) <= available;
    });
    ASSERT_EQ(fitted, OneByOne(text, available)) << "round " << round;
    const int bound = length <= 1 ? 1 : 2 + static_cast<int>(std::ceil(std::log2(length)));
    ASSERT_LE(measurements, bound) << "round " << round << " length " << length;
  }
}

TEST(FitPrefixLength, EdgeCases) {
  int calls = 0;
  auto never = [&](int) {
    ++calls;
    return false;
  };
  EXPECT_EQ(FitPrefixLength(0, never), -1);  // an empty label stays empty, unmeasured
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(FitPrefixLength(1, never), 1);  // one character that does not fit: "x..."
  EXPECT_EQ(FitPrefixLength(50, never), 1);  // nothing fits: the first character and "..."
  EXPECT_EQ(FitPrefixLength(50, [](int) { return true; }), -1);
  // Only "ab..." fits: the shortest candidate the loop measures.
  EXPECT_EQ(FitPrefixLength(50, [](int n) { return n == 2 || n == 1; }), 2);
}
