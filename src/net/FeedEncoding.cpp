#include "net/FeedEncoding.h"

#include <array>

namespace {

struct Encoding {
  std::string_view name;
  unsigned codePage;
};

constexpr std::array<Encoding, 6> kEncodings{{
    {"euc-kr", 949},
    {"shift-jis", 932},
    {"windows-31j", 932},
    {"big5", 950},
    {"utf-8", 65001},
    {"utf-7", 65000},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  return true;
}

}  // namespace

std::string_view DeclaredEncoding(std::string_view bytes) {
  // The document is read as a zero-terminated byte string.
  bytes = bytes.substr(0, bytes.find('\0'));
  const size_t open = bytes.find("<?");
  const size_t close = bytes.find("?>");
  if (open != std::string_view::npos && close != std::string_view::npos) {
    constexpr std::string_view kKey = "encoding=";
    for (size_t pos = open; pos < close; ++pos) {
      if (!StartsWithIgnoringCase(bytes.substr(pos), kKey)) continue;
      size_t start = pos + kKey.size();
      if (start < bytes.size() && (bytes[start] == '"' || bytes[start] == '\'')) ++start;
      return bytes.substr(start);
    }
  }
  return "euc-kr";
}

unsigned FeedCodePage(std::string_view bytes) {
  const std::string_view encoding = DeclaredEncoding(bytes);
  for (const Encoding& entry : kEncodings)
    if (StartsWithIgnoringCase(encoding, entry.name)) return entry.codePage;
  return 0;
}

bool HasUtf16LeMark(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::u16string Utf16LeAfterMark(std::string_view bytes) {
  std::u16string text;
  if (!HasUtf16LeMark(bytes)) return text;
  text.reserve((bytes.size() - 1) / 2);
  for (size_t i = 2; i < bytes.size(); i += 2) {
    const unsigned low = static_cast<unsigned char>(bytes[i]);
    const unsigned high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    const char16_t unit = static_cast<char16_t>(low | (high << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}
