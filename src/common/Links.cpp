#include "common/Links.h"

#include "common/CharClass.h"
#include "common/DebugTrace.h"

bool IsWebLink(std::wstring_view link) {
  // Something must follow the scheme.
  auto startsWith = [link](std::wstring_view scheme) {
    return link.size() > scheme.size() && StartsWithIgnoreAsciiCase(link, scheme);
  };
  return startsWith(L"http://") || startsWith(L"https://");
}

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "win/Ole.h"

bool OpenLinkInShell(const std::wstring& link) {
  if (!IsWebLink(link)) {
    DebugTrace(L"not a web link, not opened : %ls\n", link.c_str());
    return false;
  }
  // The shell may hand the link to an extension, which wants the thread in an apartment.
  win::EnsureOle();
  ::ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return true;
}
#endif
