#include "common/Dpi.h"

#include <gtest/gtest.h>

TEST(Dpi, SizesRoundToTheNearestPixel) {
  const struct {
    int pixels, dpi, scaled;
  } cases[] = {
      {150, 96, 150}, {150, 144, 225}, {60, 144, 90}, {150, 192, 300}, {18, 120, 23},  // 22.5
      {15, 144, 23}, {-5, 144, -8}, {40, 168, 70}, {0, 144, 0}, {150, 0, 150},        // 0: unknown
      {2000000, 288, 6000000},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleForDpi(c.pixels, c.dpi), c.scaled) << c.pixels << " at " << c.dpi;
}

TEST(Dpi, PicturesComeFromTheNearestSetAndFontsScaleWithTheDpi) {
  const struct {
    int dpi, set;
    unsigned id;
    int fontHeight;  // 9 points
  } cases[] = {
      {96, 100, 130, -12}, {110, 100, 130, -14}, {120, 150, 1630, -15}, {144, 150, 1630, -18},
      {167, 150, 1630, -21}, {168, 200, 2130, -21}, {192, 200, 2130, -24}, {288, 200, 2130, -36},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PictureScaleForDpi(c.dpi), c.set) << c.dpi;
    EXPECT_EQ(PictureIdForDpi(130, c.dpi), c.id) << c.dpi;
    EXPECT_EQ(FontHeightForDpi(90, c.dpi), c.fontHeight) << c.dpi;
  }
}
