// The yardstick of the outside measurements (bench/outside.py): the least a Win32 program
// with a window does. It registers a class, shows one small window and sleeps in its
// message loop. Built with the same toolchain and runtime as pellora.exe. With the
// argument "timer" it also runs a 40 ms timer that does nothing: the floor of any strip
// that moves every 40 ms.
#include <windows.h>

namespace {
LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"pellora.BareWindow";
  if (!::RegisterClassW(&wc)) return 1;
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"bare", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr,
                                instance, nullptr);
  if (!hwnd) return 1;
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  if (commandLine && ::lstrcmpiW(commandLine, L"timer") == 0) ::SetTimer(hwnd, 1, 40, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
