#pragma once
// Character classes and ASCII case folding, header-only and free of any platform header,
// so that the document core may use them too. They behave like the C-locale runtime
// functions the program has always called, whatever the build's C library and locale.
#include <string_view>

// A-Z to a-z, every other character unchanged (the C locale's towlower / tolower).
template <typename Char>
constexpr Char FoldAscii(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// Equal ignoring the case of A-Z only (the C locale's _wcsicmp / _stricmp).
template <typename Char>
constexpr bool EqualsIgnoreAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}
constexpr bool EqualsIgnoreAsciiCase(std::wstring_view a, std::wstring_view b) {
  return EqualsIgnoreAsciiCase<wchar_t>(a, b);
}
constexpr bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return EqualsIgnoreAsciiCase<char>(a, b);
}

// `text` begins with `prefix`, ignoring the case of A-Z.
constexpr bool StartsWithIgnoreAsciiCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}
constexpr bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

// iswspace of the Microsoft runtime: the Unicode white-space characters, not only ASCII.
constexpr bool IsWideSpace(wchar_t c) {
  switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}
