#include "common/TextConv.h"

#include <windows.h>

#include <climits>

std::wstring ToWide(std::string_view bytes, unsigned codePage) {
  if (size_t zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int inLength = static_cast<int>(bytes.size());
  int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n), L'\0');
  n = ::MultiByteToWideChar(codePage, 0, bytes.data(), inLength, text.data(), n);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

std::string ToMultiByte(std::wstring_view text, unsigned codePage) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int inLength = static_cast<int>(text.size());
  int n = ::WideCharToMultiByte(codePage, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string bytes(static_cast<size_t>(n), '\0');
  n = ::WideCharToMultiByte(codePage, 0, text.data(), inLength, bytes.data(), n, nullptr, nullptr);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}
