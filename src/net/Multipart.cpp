#include "net/Multipart.h"

namespace multipart {

namespace {

std::wstring Hex(uint64_t value, size_t minDigits) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[value & 0xFu]);
    value >>= 4;
  } while (value != 0);
  if (text.size() < minDigits) text.insert(0, minDigits - text.size(), L'0');
  return text;
}

std::wstring Decimal(uint64_t value) {
  std::wstring text;
  do {
    text.insert(text.begin(), static_cast<wchar_t>(L'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return text;
}

}  // namespace

std::wstring Boundary(int first, int second, int third, int fourth) {
  // rand() values fit in four digits; masking keeps the width fixed whatever comes in.
  auto digits = [](int value) { return Hex(static_cast<uint64_t>(value) & 0xFFFFu, 4); };
  return digits(fourth) + digits(third) + digits(second) + digits(first) + L"-kestrum";
}

std::wstring UploadName(std::wstring_view path) {
  const size_t separator = path.find_last_of(L"/\\");
  if (separator == std::wstring_view::npos || separator == 0) return std::wstring(path);
  return std::wstring(path.substr(separator + 1));
}

std::wstring RequestHeaders(std::wstring_view boundary, std::wstring_view extraHeaders) {
  std::wstring headers = L"Content-Type:multipart/form-data,boundary=";
  headers += boundary;
  headers += L"\r\n";
  headers += extraHeaders;
  return headers;
}

std::wstring Head(std::wstring_view boundary, std::wstring_view text, std::wstring_view name,
                  uint64_t size, uint32_t crc) {
  const std::wstring line = L"--" + std::wstring(boundary) + L"\r\n";
  std::wstring head;
  head += line;
  head += L"Content-Type: text/xml\r\n\r\n";
  head += text;
  head += L"\r\n";
  head += line;
  head += L"Content-Disposition: form-data; name=\"name\"\r\n\r\n";
  head += name;
  head += L"\r\n";
  head += line;
  head += L"Content-Disposition: form-data; name=\"size\"\r\n\r\n";
  head += Decimal(size);
  head += L"\r\n";
  head += line;
  head += L"Content-Disposition: form-data; name=\"crc32\"\r\n\r\n";
  head += Hex(crc, 1);
  head += L"\r\n";
  head += line;
  head += L"Content-Disposition: form-data; name=\"upload\"; filename=\"";
  head += name;
  head += L"\"\r\nContent-Type: Application/octet-stream\r\n\r\n";
  return head;
}

std::wstring Tail(std::wstring_view boundary) {
  return L"\r\n--" + std::wstring(boundary) + L"--\r\n";
}

}  // namespace multipart
