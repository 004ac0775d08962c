#pragma once
// Dense matching of a rendered pair: every pixel of image 1 inside the matches' hull (with
// a margin) matched along its epipolar line. The images are rectified with the render's
// calibration and pose; image 2 is warped by the disparities the dots predict, and
// semi-global matching in both directions finds what remains within a small range, checked
// left against right; a sweep with slanted windows around the surface's shape corrects what
// strays on steep skin. A regularised refinement then aligns the photographs while keeping
// the surface smooth, and carries the surroundings over what cannot be matched; the margin
// keeps what was matched there, with a smooth outline. Large images are matched on a
// pyramid level, so the work and memory stay bounded.
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "matching/dense_rectification.h"

namespace q3d {

class CStereoPair;
class Progress;

struct DenseMatchParams {
  // Margin around the matches' hull in image 1, as a share of the hull's larger side.
  double hullMargin = 0.04;
  // The pyramid level is the first at which the region's larger side is at most this many
  // pixels: the face is matched at the photographs' own resolution up to that size.
  int maxWorkingSide = 1024;
  // Spacing in image-1 pixels of the surface's vertex grid; 0 chooses it from the image
  // size (a display takes a coarser grid than an export).
  int gridStep = 0;
};

struct DenseDisparity {
  Rectification rect;
  cv::Mat disparity;  // CV_32F in rectified image 1; NaN where unmatched
  cv::Rect bounds1;   // box of the matches' hull with the margin, inside image 1

  // Image 2's point (full-resolution pixels) matched to a point of image 1, if any.
  std::optional<cv::Point2d> Match(const cv::Point2d& p1) const;
  // Share of the region's rectified pixels that hold a disparity.
  double coverage = 0;
};

// Fills `out`, or says why the pair cannot be matched (no render, no images, too few
// matches). Progress runs from 0 to 100 when given; a cancel request is honoured between
// the matching's stages, ending with Cancelled().
Status MatchDense(const CStereoPair& pair, const DenseMatchParams& params, Progress* progress,
                  DenseDisparity& out);

}  // namespace q3d
