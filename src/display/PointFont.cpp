#include "display/PointFont.h"

namespace display {

win::Font CreatePointFont(int tenthsOfPoint, const std::wstring& face) {
  int dpi = 96;
  if (win::WindowDC screen(nullptr); screen) dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
  LOGFONTW lf{};
  // A negative height asks for the character height (the em size), as point sizes mean.
  lf.lfHeight = -::MulDiv(tenthsOfPoint, dpi, 720);
  lf.lfCharSet = DEFAULT_CHARSET;
  // Face names longer than the field are cut; the font mapper then picks a near match.
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return win::Font(::CreateFontIndirectW(&lf));
}

}  // namespace display
