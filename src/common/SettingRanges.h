#pragma once
// The range of every number the program reads from its settings. A stored value comes
// from a hand-edited .ini, an old version or a broken registry; each is brought to the
// nearest value the program can work with. Portable, so that it is tested natively.
#include <algorithm>
#include <cstddef>

namespace setting {

// "RSS_TIMER": at least 10 s, at most a day. Beyond that a refresh would be weeks away,
// or, past 49.7 days of milliseconds, never come.
inline constexpr int kMinRefreshSeconds = 10;
inline constexpr int kMaxRefreshSeconds = 24 * 60 * 60;
constexpr int RefreshSeconds(int stored) { return std::clamp(stored, kMinRefreshSeconds, kMaxRefreshSeconds); }

// "TICKER_CNT": the titles the ticker keeps; one at least, and few enough that ten times
// as many (its ceiling while it lags) stay small.
inline constexpr int kMaxTickerCapacity = 10000;
constexpr size_t TickerCapacity(int stored) { return static_cast<size_t>(std::clamp(stored, 1, kMaxTickerCapacity)); }

// "TICKER_ALPHA": a percentage of opacity.
constexpr int OpacityPercent(int stored) { return std::clamp(stored, 0, 100); }

// A stored window width or height: none stored, zero or negative gives the default;
// otherwise at least `minimum` and at most the work area's extent, so that the window can
// be put wholly on a screen.
constexpr long WindowExtent(long stored, long fallback, long minimum, long workExtent) {
  const long value = stored > 0 ? stored : fallback;
  return std::clamp(value, minimum, std::max(minimum, workExtent));
}

// A stored window position: within the coordinates a desktop can have, so that adding a
// size to it cannot overflow. Whether it lies on a screen is checked once the window exists.
inline constexpr long kMaxCoordinate = 32767;
constexpr long WindowCoordinate(long stored) { return std::clamp(stored, -kMaxCoordinate, kMaxCoordinate); }

}  // namespace setting
