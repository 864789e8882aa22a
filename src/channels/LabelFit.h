#pragma once
// Shortening a label to a width: the longest "prefix..." that fits, found with a
// logarithmic number of measurements. Portable (the measurement is the caller's).

// `length` is the length of the whole text; fits(n) answers whether the candidate for n
// fits: n == -1 is the whole text, n >= 1 the first n characters followed by "...".
// Returns -1 when the whole text is kept, otherwise the n of the label.
//
// The result is that of trying the whole text, then n = length, length - 1, ..., 2 in
// turn and taking the first that fits, or 1 when none does (one measurement per removed
// character). Because the width of "prefix..." never shrinks as the prefix grows, the
// candidates that fit form a run n = 2..k, and a binary search finds k.
template <typename Fits>
int FitPrefixLength(int length, Fits&& fits) {
  if (length <= 0 || fits(-1)) return -1;
  int lo = 2, hi = length;  // the answer is the largest fitting n in [lo, hi], else 1
  int best = 1;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    if (fits(mid)) {
      best = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return best;
}
