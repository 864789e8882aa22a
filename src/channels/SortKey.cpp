#include "channels/SortKey.h"

std::wstring FeedSortKey(uint32_t fetchStamp, int32_t arrivalNo) {
  // Formatted by hand: sorting calls this for every comparison.
  static const wchar_t kHex[] = L"0123456789abcdef";
  const uint32_t stamp = ~fetchStamp;  // 0xFFFFFFFF - stamp: the first run (stamp 0) is the oldest
  wchar_t buffer[8 + 1 + 12];
  int n = 0;
  for (int shift = 28; shift >= 0; shift -= 4) buffer[n++] = kHex[(stamp >> shift) & 0xF];
  buffer[n++] = L'-';
  // "%03d": at least three characters, the sign counting as one of them.
  const bool negative = arrivalNo < 0;
  uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(arrivalNo) : static_cast<uint32_t>(arrivalNo);
  wchar_t digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (negative) buffer[n++] = L'-';
  for (int pad = (negative ? 1 : 0) + count; pad < 3; ++pad) buffer[n++] = L'0';
  while (count) buffer[n++] = digits[--count];
  return std::wstring(buffer, n);
}

int CompareOrdinal(std::wstring_view a, std::wstring_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    // Unsigned, whatever the sign of wchar_t on the platform.
    const auto x = static_cast<uint32_t>(a[i]), y = static_cast<uint32_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareTreeOrder(std::wstring_view keyA, std::wstring_view textA, std::wstring_view keyB,
                     std::wstring_view textB) {
  if (keyA == keyB) return CompareOrdinal(textA, textB);
  return CompareOrdinal(keyA, keyB);
}
