#include "common/Dpi.h"

#include <cstdint>

namespace {
int Effective(int dpi) { return dpi > 0 ? dpi : kBaseDpi; }

int RoundedRatio(int64_t numerator, int64_t denominator) {
  const int64_t half = denominator / 2;
  return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator));
}
}  // namespace

int ScaleForDpi(int pixels, int dpi) { return RoundedRatio(int64_t{pixels} * Effective(dpi), kBaseDpi); }

int PictureScaleForDpi(int dpi) {
  const int percent = RoundedRatio(int64_t{Effective(dpi)} * 100, kBaseDpi);
  if (percent < 125) return 100;
  if (percent < 175) return 150;
  return 200;
}

int FontHeightForDpi(int tenthsOfPoint, int dpi) {
  // Negative: the character height (em size), as point sizes mean.
  return -RoundedRatio(int64_t{tenthsOfPoint} * Effective(dpi), 720);
}

unsigned PictureIdForDpi(unsigned baseId, int dpi) {
  switch (PictureScaleForDpi(dpi)) {
    case 150: return baseId + kPicture150Offset;
    case 200: return baseId + kPicture200Offset;
    default: return baseId;
  }
}
