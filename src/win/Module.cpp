#include "win/Module.h"

namespace win {

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

std::wstring LoadResString(UINT id) {
  // With a zero buffer size LoadStringW returns a read-only pointer into the resource.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(Instance(), id, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || !text) return {};
  return std::wstring(text, length);
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // long paths are cut silently; try again with room
  }
}

}  // namespace win
