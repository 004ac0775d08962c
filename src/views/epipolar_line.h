#pragma once
// The epipolar line y = slope * x + intercept of a point of the other image, clipped to
// the image for drawing.
namespace q3d {

struct EpipolarLine {
  double slope = 0.0;
  double intercept = 0.0;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Sets the end points from slope and intercept for an image of width w and height h,
// trying the left edge, then the top edge, then the right and bottom edges. Returns
// false (end points untouched) when the line cannot be drawn: a vertical or undefined
// line, or one whose end points fall outside the integer range.
bool ClipEpipolarLine(EpipolarLine& line, int w, int h);

}  // namespace q3d
