#pragma once
// Placement arithmetic of the program's windows: edge snapping and keeping windows on
// screen. Portable (no Windows header) so that it is tested natively.

struct Box {
  long left = 0, top = 0, right = 0, bottom = 0;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
  friend bool operator==(const Box&, const Box&) = default;
};

// A Box from anything with left, top, right and bottom (a Windows RECT).
template <typename Rect>
Box ToBox(const Rect& r) {
  return Box{r.left, r.top, r.right, r.bottom};
}

// Edges closer than this many pixels (strictly) snap.
inline constexpr long kSnapDistance = 15;

// Main window: every edge test looks at the rectangle as it was; a right snap wins over
// a left one and a bottom snap over a top one. The size never changes.
Box SnapMainWindow(const Box& window, const Box& work);

// Ticker: the tests run left, right, top, bottom, each on the result of the one before.
Box SnapTicker(const Box& window, const Box& work);

// Browser frame: edges of a work area taken to start at (0, 0) with the given width and
// height; right, bottom, top, left in this order, so top and left win.
Box SnapViewFrame(const Box& window, long workWidth, long workHeight);

// True when the window sticks out of the work area on any side.
bool StickOut(const Box& window, const Box& work);

// The window moved, with its size, so that its right and bottom edges lie on the work area's.
Box IntoBottomRight(const Box& window, const Box& work);

// The window moved, with its size, to the top-right corner of the work area.
Box IntoTopRight(const Box& window, const Box& work);

// Browser frame placement at creation: negative positions become 0, then the window is
// pulled left / up so it does not pass the work area's right / bottom edge (sizes stay).
Box ClampViewPlacement(long x, long y, long cx, long cy, const Box& work);
