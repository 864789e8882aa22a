#include "common/UrlCache.h"

#include <windows.h>
#include <wininet.h>

bool IsInUrlCache(const std::wstring& url) {
  if (url.empty()) return false;
  // The entry's size is of no interest: a buffer too small for it still proves it exists.
  alignas(INTERNET_CACHE_ENTRY_INFOW) BYTE buffer[4096];
  DWORD size = sizeof(buffer);
  if (::GetUrlCacheEntryInfoW(url.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer), &size))
    return true;
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}
