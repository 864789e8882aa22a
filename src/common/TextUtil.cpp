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

bool IsWideSpace(wchar_t c) {
  // Unicode White_Space: what the Microsoft runtime's iswspace answers true for.
  switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::wstring TrimSet(std::wstring_view text, std::wstring_view set) {
  size_t first = text.find_first_not_of(set);
  if (first == std::wstring_view::npos) return {};
  size_t last = text.find_last_not_of(set);
  return std::wstring(text.substr(first, last - first + 1));
}
