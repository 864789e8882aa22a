#include "win/Module.h"

#include "win/Dpi.h"

namespace win {

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

std::wstring LoadResString(UINT id) {
  // With a zero buffer size LoadStringW returns a read-only pointer into the resource.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(Instance(), id, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || !text) return {};
  return std::wstring(text, length);
}

HICON LoadSmallIcon(UINT resourceId) {
  // The notification area is on the primary monitor; the .ico holds a picture for each size
  // from 100 % to 300 %.
  const int dpi = PrimaryMonitorDpi();
  return static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                         SystemMetricForDpi(SM_CXSMICON, dpi),
                                         SystemMetricForDpi(SM_CYSMICON, dpi), 0));
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

namespace win {

void WriteStdLine(DWORD stdHandle, const std::wstring& text) {
  HANDLE out = ::GetStdHandle(stdHandle);
  // A GUI program gets no console of its own; borrow the one it was started from.
  if ((!out || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) out = ::GetStdHandle(stdHandle);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  const std::wstring line = text + L"\r\n";
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace win
