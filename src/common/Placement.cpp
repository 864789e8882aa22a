#include "common/Placement.h"

namespace {
bool Near(long value, long edge) { return edge - kSnapDistance < value && value < edge + kSnapDistance; }
}  // namespace

Box SnapMainWindow(const Box& r, const Box& w) {
  Box n = r;
  if (Near(r.left, w.left)) {
    n.left = w.left;
    n.right = r.right + (w.left - r.left);
  }
  if (Near(r.right, w.right)) {
    n.left = r.left + (w.right - r.right);
    n.right = w.right;
  }
  if (Near(r.top, w.top)) {
    n.top = w.top;
    n.bottom = r.bottom + (w.top - r.top);
  }
  if (Near(r.bottom, w.bottom)) {
    n.top = r.top + (w.bottom - r.bottom);
    n.bottom = w.bottom;
  }
  return n;
}

Box SnapTicker(const Box& r, const Box& w) {
  Box n = r;
  auto shiftX = [&n](long dx) { n.left += dx; n.right += dx; };
  auto shiftY = [&n](long dy) { n.top += dy; n.bottom += dy; };
  if (Near(n.left, w.left)) shiftX(w.left - n.left);
  if (Near(n.right, w.right)) shiftX(w.right - n.right);
  if (Near(n.top, w.top)) shiftY(w.top - n.top);
  if (Near(n.bottom, w.bottom)) shiftY(w.bottom - n.bottom);
  return n;
}

Box SnapViewFrame(const Box& r, long wd, long ht) {
  Box n = r;
  if (Near(r.right, wd)) {
    n.left = r.left + (wd - r.right);
    n.right = wd;
  }
  if (Near(r.bottom, ht)) {
    n.top = r.top + (ht - r.bottom);
    n.bottom = ht;
  }
  if (Near(r.top, 0)) {
    n.top = 0;
    n.bottom = r.bottom - r.top;
  }
  if (Near(r.left, 0)) {
    n.left = 0;
    n.right = r.right - r.left;
  }
  return n;
}

bool StickOut(const Box& r, const Box& w) {
  return r.left < w.left || r.right > w.right || r.top < w.top || r.bottom > w.bottom;
}

Box IntoBottomRight(const Box& r, const Box& w) {
  return Box{w.right - r.Width(), w.bottom - r.Height(), w.right, w.bottom};
}

Box IntoTopRight(const Box& r, const Box& w) {
  return Box{w.right - r.Width(), w.top, w.right, w.top + r.Height()};
}

Box ClampViewPlacement(long x, long y, long cx, long cy, const Box& w) {
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x + cx > w.right) x = w.right - cx;
  if (y + cy > w.bottom) y = w.bottom - cy;
  return Box{x, y, x + cx, y + cy};
}
