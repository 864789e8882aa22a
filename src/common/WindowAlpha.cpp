#include "common/WindowAlpha.h"

namespace {
using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// Looked up once, at run time: the program also starts where the function does not exist.
SetLayeredFn LayeredAttributes() {
  static const SetLayeredFn function = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<SetLayeredFn>(
                        reinterpret_cast<void*>(::GetProcAddress(user32, "SetLayeredWindowAttributes")))
                  : nullptr;
  }();
  return function;
}
}  // namespace

void SetWindowAlpha(HWND window, int percent) {
  if (!LayeredAttributes()) return;
  ::SetWindowLongW(window, GWL_EXSTYLE, ::GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredAlpha(window, AlphaFromPercent(percent));
}

bool SetLayeredAlpha(HWND window, BYTE alpha) {
  SetLayeredFn setLayered = LayeredAttributes();
  return setLayered && setLayered(window, 0, alpha, LWA_ALPHA);
}
