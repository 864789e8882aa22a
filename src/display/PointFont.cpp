#include "display/PointFont.h"

#include "common/Dpi.h"

namespace display {

win::Font CreatePointFont(int tenthsOfPoint, const std::wstring& face, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = FontHeightForDpi(tenthsOfPoint, dpi);
  lf.lfCharSet = DEFAULT_CHARSET;
  // Face names longer than the field are cut; the font mapper then picks a near match.
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return win::Font(::CreateFontIndirectW(&lf));
}

}  // namespace display
