#include "win/Dpi.h"

#include "win/Handles.h"

namespace win {

namespace {

template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  if (!handle) handle = ::LoadLibraryW(module);  // shcore stays loaded for the process
  return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(handle, name))) : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

}  // namespace

int SystemDpi() {
  WindowDC screen(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int WindowDpi(HWND hwnd) {
  static const auto getDpiForWindow = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (hwnd && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(hwnd)) return static_cast<int>(dpi);
  return SystemDpi();
}

int PrimaryMonitorDpi() {
  static const auto getDpiForMonitor = Lookup<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (getDpiForMonitor &&
      SUCCEEDED(getDpiForMonitor(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), kEffectiveDpi, &x, &y)) && y)
    return static_cast<int>(y);
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto forDpi = Lookup<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
  return ::MulDiv(::GetSystemMetrics(index), dpi, SystemDpi());
}

void ApplySuggestedRect(HWND hwnd, const RECT& r) {
  ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win
