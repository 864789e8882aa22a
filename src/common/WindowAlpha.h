#pragma once
#include <windows.h>

// Opacity byte for a percentage, in the program's integer arithmetic: the percentage is
// taken as an unsigned byte, then times 255 / 100 (100 gives 255, 60 gives 153, 30 gives 76).
constexpr BYTE AlphaFromPercent(int percent) {
  return static_cast<BYTE>(static_cast<unsigned>(static_cast<BYTE>(percent)) * 255u / 100u);
}

// Makes the window layered and sets its constant opacity. Does nothing where the
// platform lacks SetLayeredWindowAttributes.
void SetWindowAlpha(HWND window, int percent);

// Sets the constant opacity of a window that is layered already; false where the platform
// lacks SetLayeredWindowAttributes.
bool SetLayeredAlpha(HWND window, BYTE alpha);
