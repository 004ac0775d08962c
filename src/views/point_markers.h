#pragma once
// The 10 x 10 cross markers drawn on every feature point: "POINT" for a point,
// "SELPOINT" for a selected one, both cut out by the same cross mask.
#include <QImage>

namespace q3d {

constexpr int kMarkerSize = 10;

// True where the cross mask lets the marker through.
bool MarkerMaskBit(int x, int y);

// Copies the marker's masked pixels into a 32-bit surface with its top-left corner at
// (left, top), clipped to the surface.
void DrawPointMarker(QImage& surface, int left, int top, bool selected);

}  // namespace q3d
