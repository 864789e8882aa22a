#pragma once
// Fuzz bytes as program text: UTF-16LE when they start with its byte-order mark, otherwise
// UTF-8 with every malformed byte read as U+FFFD. Either way the result holds UTF-16 code
// units, one per wchar_t, cut at the first NUL like the NUL-terminated text the program
// passes around.
#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring FuzzText(const uint8_t* data, size_t size) {
  std::wstring text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (size_t i = 2; i + 1 < size; i += 2) text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
  } else {
    for (size_t i = 0; i < size;) {
      const uint8_t b = data[i];
      uint32_t cp = 0xFFFD;
      size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
      if (length == 1) {
        cp = b;
      } else if (length && i + length <= size) {
        cp = b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
          if ((data[i + k] & 0xC0) != 0x80) {
            cp = 0xFFFD;
            length = k;
            break;
          }
          cp = (cp << 6) | (data[i + k] & 0x3F);
        }
      } else {
        length = 1;
      }
      if (cp > 0x10FFFF) cp = 0xFFFD;
      if (cp >= 0x10000) {
        text.push_back(wchar_t(0xD800 + ((cp - 0x10000) >> 10)));
        text.push_back(wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        text.push_back(wchar_t(cp));
      }
      i += length;
    }
  }
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}
