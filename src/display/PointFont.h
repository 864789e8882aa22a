#pragma once
// Fonts given in tenths of a point, the way the display windows ask for them.
#include <string>

#include "win/Handles.h"

namespace display {

// A font of the face at the size in tenths of a point (90 is 9 points) for `dpi` (the
// DPI of the monitor the window is on); every other attribute is the default (default
// character set).
win::Font CreatePointFont(int tenthsOfPoint, const std::wstring& face, int dpi);

}  // namespace display
