#pragma once
// When the next automatic refresh is due. Portable, so that it is tested natively.
#include <cstdint>

#include "common/SettingRanges.h"

// The refresh interval in milliseconds: "RSS_TIMER" seconds, at least 10 s (a zero,
// small or negative setting gives 10 s) and at most a day.
constexpr uint32_t RefreshInterval(int seconds) {
  return static_cast<uint32_t>(setting::RefreshSeconds(seconds)) * 1000u;
}

// True when at least the interval has passed since the end of the last fetch. Measured as
// elapsed time, so the tick count wrapping after 49.7 days neither triggers an early
// refresh nor stops refreshing.
constexpr bool RefreshDue(uint32_t now, uint32_t lastFetchEnd, int seconds) {
  return static_cast<uint32_t>(now - lastFetchEnd) >= RefreshInterval(seconds);
}
