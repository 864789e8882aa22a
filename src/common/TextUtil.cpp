#include "common/TextUtil.h"

#include <limits>

int32_t ParseLeadingInt(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t value = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > limit) {
      value = limit;  // saturate; the remaining digits change nothing
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

std::wstring TrimSet(std::wstring_view text, std::wstring_view set) {
  size_t first = text.find_first_not_of(set);
  if (first == std::wstring_view::npos) return {};
  size_t last = text.find_last_not_of(set);
  return std::wstring(text.substr(first, last - first + 1));
}
