#include "common/UrlCache.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string_view>
#include <utility>

bool IsInUrlCache(const std::wstring& url) {
  if (url.empty()) return false;
  // The entry's size is of no interest: a buffer too small for it still proves it exists.
  alignas(INTERNET_CACHE_ENTRY_INFOW) BYTE buffer[4096];
  DWORD size = sizeof(buffer);
  if (::GetUrlCacheEntryInfoW(url.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer), &size))
    return true;
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

namespace {
// Read whole, the cache answers from memory where the same string is the same entry: a
// plain ASCII http(s) link whose host is all small letters, digits, dots and dashes. Other
// links the cache may store in a form of its own (a host in punycode or folded to small
// letters, text in UTF-8), and they are asked.
bool KeptAsItIs(const std::wstring& link) {
  std::wstring_view rest(link);
  if (rest.starts_with(L"http://"))
    rest.remove_prefix(7);
  else if (rest.starts_with(L"https://"))
    rest.remove_prefix(8);
  else
    return false;
  if (!std::all_of(rest.begin(), rest.end(), [](wchar_t c) { return c > 0x20 && c < 0x7F; })) return false;
  const std::wstring_view host = rest.substr(0, rest.find_first_of(L"/?#"));
  if (host.empty() || host.starts_with(L"xn--") || host.find(L".xn--") != std::wstring_view::npos) return false;
  return std::all_of(host.begin(), host.end(), [](wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L':';
  });
}
}  // namespace

UrlCacheReader::UrlCacheReader() : buffer_(kBufferBytes / sizeof(unsigned long long)) {}

UrlCacheReader::~UrlCacheReader() {
  if (find_) ::FindCloseUrlCache(find_);
}

bool UrlCacheReader::ReadOne() {
  if (reading_ != Reading::NotStarted && reading_ != Reading::Going) return false;
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.data());
  DWORD size = kBufferBytes;
  bool read;
  if (reading_ == Reading::NotStarted) {
    find_ = ::FindFirstUrlCacheEntryW(nullptr, info, &size);
    read = find_ != nullptr;
    reading_ = Reading::Going;
  } else {
    read = ::FindNextUrlCacheEntryW(find_, info, &size) != FALSE;
  }
  if (read) {
    if (info->lpszSourceUrlName) addresses_.insert(info->lpszSourceUrlName);
    return true;
  }
  // An entry too big for the buffer may or may not have been stepped over: the reading
  // then cannot vouch for an absence, and the links are asked one by one.
  reading_ = ::GetLastError() == ERROR_NO_MORE_ITEMS ? Reading::Done : Reading::Failed;
  if (find_) ::FindCloseUrlCache(std::exchange(find_, nullptr));
  return false;
}

void UrlCacheReader::Answer(const std::vector<std::wstring>& links, const std::vector<char>& ask,
                            std::vector<char>& present) {
  const size_t n = std::min({links.size(), ask.size(), present.size()});
  credit_ += static_cast<size_t>(std::count_if(ask.begin(), ask.begin() + n, [](char a) { return a != 0; }));
  while (credit_ > 0 && ReadOne()) --credit_;
  for (size_t i = 0; i < n; ++i) {
    if (!ask[i]) continue;
    const std::wstring& link = links[i];
    present[i] = reading_ == Reading::Done && KeptAsItIs(link) ? addresses_.count(link) != 0 : IsInUrlCache(link);
  }
}
