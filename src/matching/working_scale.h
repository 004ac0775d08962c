#pragma once
// Phone photographs (12 to 24 megapixels) are searched for features at a reduced size, a
// copy averaged over blocks of factor x factor pixels, which keeps time and memory near
// those of a 1.5-megapixel pair; the dots found there are centred again at full size in a
// small window each, so that they keep the full photograph's precision.
#include <opencv2/core.hpp>

#include "matching/feature.h"
#include "matching/marker_dots.h"

namespace q3d {

struct WorkingScale {
  int factor = 1;
  // A working pixel's centre is the centre of its block of full-size pixels.
  double ToWorking(double full) const { return (full - 0.5 * (factor - 1)) / factor; }
  double ToFull(double working) const { return working * factor + 0.5 * (factor - 1); }
};

// The least whole factor that brings the longer side of both images to at most 1600 pixels.
WorkingScale ChooseWorkingScale(cv::Size image1, cv::Size image2);

// The block average of the 8-bit grey image (the image itself at factor 1).
cv::Mat ReduceGrey(const cv::Mat& grey, const WorkingScale& scale);
// The working pixels whose blocks lie inside area (at least one pixel).
cv::Rect ReduceArea(const cv::Rect& area, const WorkingScale& scale);

// Centres the dots found on the working image again on the full-size grey: each dot is
// detected anew (with options) in a window around it and takes that dot's centre; a dot
// that the full-size search does not find keeps its working centre. Positions stay in
// working pixels. Returns 1, or 0 after pushing an error record (memory short).
int RecentreDotsAtFullSize(const cv::Mat& fullGrey, const WorkingScale& scale,
                           const DotOptions& options, FeatureList& dots);

}  // namespace q3d
