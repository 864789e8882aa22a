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

// After a wake from sleep, or a refresh that found the machine offline: the connection is
// asked about at most every 10 s, for at most 5 minutes, so that the next refresh starts
// once the machine is back instead of a whole refresh period later. Tick arithmetic, safe
// across the tick count's wrap.
class ReconnectWatch {
 public:
  static constexpr uint32_t kPollMs = 10000;
  static constexpr uint32_t kLimitMs = 5 * 60 * 1000;

  // Watches from `now`; the first poll is due at once.
  void Start(uint32_t now) {
    active_ = true;
    started_ = now;
    lastPoll_ = now - kPollMs;
  }
  void Stop() { active_ = false; }
  bool Active() const { return active_; }

  // True when the connection is to be asked about now (and counts that as the poll);
  // the watch ends by itself once its time is over.
  bool PollDue(uint32_t now) {
    if (!active_) return false;
    if (static_cast<uint32_t>(now - started_) > kLimitMs) {
      active_ = false;
      return false;
    }
    if (static_cast<uint32_t>(now - lastPoll_) < kPollMs) return false;
    lastPoll_ = now;
    return true;
  }

 private:
  bool active_ = false;
  uint32_t started_ = 0;
  uint32_t lastPoll_ = 0;
};
