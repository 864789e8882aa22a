#include "common/WindowAlpha.h"

namespace {
using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
}

void SetWindowAlpha(HWND window, int percent) {
  // Looked up at run time: the program also starts where the function does not exist.
  static HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  auto setLayered = reinterpret_cast<SetLayeredFn>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "SetLayeredWindowAttributes")));
  if (!setLayered) return;
  ::SetWindowLongW(window, GWL_EXSTYLE, ::GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  setLayered(window, 0, AlphaFromPercent(percent), LWA_ALPHA);
}
