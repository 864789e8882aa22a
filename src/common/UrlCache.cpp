#include "common/UrlCache.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
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
    // Read whole, the cache answers from memory where the same string is the same entry:
    // a plain ASCII link. Others the cache stores in a form of its own (a host in
    // punycode), and they are asked.
    const bool plain = std::all_of(link.begin(), link.end(), [](wchar_t c) { return c > 0x20 && c < 0x7F; });
    present[i] = reading_ == Reading::Done && plain ? (!link.empty() && addresses_.count(link) != 0)
                                                    : IsInUrlCache(link);
  }
}
