#include "views/point_markers.h"

#include <array>

namespace q3d {
namespace {

// Rows top to bottom, 'X' drawn.
constexpr std::array<const char*, kMarkerSize> kCrossMask = {
    "....X.....", "....XX....", "....XX....", "....XX....", "XXXXXXXXX.",
    ".XXXXXXXXX", "....XX....", "....XX....", "....XX....", ".....X....",
};

// The marker artwork: a bright cross with a dark rim on its outer pixels, so it reads on
// light skin and on dark hair alike.
QRgb MarkerPixel(int x, int y, bool selected) {
  const bool rim = x == 0 || y == 0 || x == kMarkerSize - 1 || y == kMarkerSize - 1;
  if (rim) return selected ? qRgb(128, 0, 0) : qRgb(0, 64, 0);
  return selected ? qRgb(255, 40, 40) : qRgb(40, 255, 40);
}

}  // namespace

bool MarkerMaskBit(int x, int y) {
  if (x < 0 || y < 0 || x >= kMarkerSize || y >= kMarkerSize) return false;
  return kCrossMask[static_cast<size_t>(y)][x] == 'X';
}

void DrawPointMarker(QImage& surface, int left, int top, bool selected) {
  for (int y = 0; y < kMarkerSize; ++y) {
    const int sy = top + y;
    if (sy < 0 || sy >= surface.height()) continue;
    auto* row = reinterpret_cast<QRgb*>(surface.scanLine(sy));
    for (int x = 0; x < kMarkerSize; ++x) {
      const int sx = left + x;
      if (sx < 0 || sx >= surface.width() || !MarkerMaskBit(x, y)) continue;
      row[sx] = MarkerPixel(x, y, selected);
    }
  }
}

}  // namespace q3d
