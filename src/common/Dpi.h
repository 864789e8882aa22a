#pragma once
// Sizes for the DPI of a monitor. Every size the program draws is given in pixels at
// 96 DPI (100 %) and scaled here; positions the user stored stay physical pixels.
// Portable: no Windows header.

inline constexpr int kBaseDpi = 96;

// `pixels` at 96 DPI for `dpi`, rounded to the nearest pixel (halves away from zero).
// A DPI of 0 or less means 96.
int ScaleForDpi(int pixels, int dpi);

// The picture set for a DPI: 100, 150 or 200 (per cent), the nearest one drawn, so that
// pictures are shrunk rather than blown up when a DPI falls between two sets.
int PictureScaleForDpi(int dpi);

// The font height in logical units for a size in tenths of a point (90 is 9 points).
int FontHeightForDpi(int tenthsOfPoint, int dpi);

// Pictures drawn for 150 % and 200 % have the resource number of their 100 % picture
// plus these offsets.
inline constexpr unsigned kPicture150Offset = 1500;
inline constexpr unsigned kPicture200Offset = 2000;

// The resource number of the picture set for `dpi` (see PictureScaleForDpi).
unsigned PictureIdForDpi(unsigned baseId, int dpi);
