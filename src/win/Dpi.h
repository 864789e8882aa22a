#pragma once
// The DPI of windows and monitors. The per-monitor functions exist from Windows 8.1 / 10
// on and are looked up at run time; before that everything has the screen's DPI.
#include <windows.h>

namespace win {

// The screen's DPI as the system reports it to this process (the primary monitor's under
// per-monitor awareness).
int SystemDpi();
// The DPI of the monitor the window is on; the system DPI where that is not known.
int WindowDpi(HWND hwnd);
// The DPI of the primary monitor, where popups and the ticker first appear.
int PrimaryMonitorDpi();
// GetSystemMetrics for a DPI (the small icon size, for instance).
int SystemMetricForDpi(int index, int dpi);
// Moves and sizes a window to the rectangle WM_DPICHANGED suggests.
void ApplySuggestedRect(HWND hwnd, const RECT& suggested);

}  // namespace win
