#include "common/Links.h"

#include "common/DebugTrace.h"

bool IsWebLink(std::wstring_view link) {
  auto startsWith = [link](std::wstring_view scheme) {
    if (link.size() <= scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
      wchar_t c = link[i];
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
      if (c != scheme[i]) return false;
    }
    return true;
  };
  return startsWith(L"http://") || startsWith(L"https://");
}

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

bool OpenLinkInShell(const std::wstring& link) {
  if (!IsWebLink(link)) {
    DebugTrace(L"not a web link, not opened : %ls\n", link.c_str());
    return false;
  }
  ::ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return true;
}
#endif
