#pragma once
// A sweep around a disparity field: image 2 is warped by the field's smooth shape shifted by
// each offset of a range, and every pixel takes the offset whose window correlates best with
// image 1. The window follows the surface's slant, so steep skin matches as well as flat;
// it brings back pixels that a matcher with fronto-parallel windows left several pixels
// from their match, further than a local refinement reaches.
#include <opencv2/core.hpp>

namespace q3d {

struct SweptDisparity {
  cv::Mat disparity;  // CV_32F
  cv::Mat matched;    // CV_8U, 255 where the sweep found a match
};

// disparity: CV_32F with a value at every pixel of `region` (CV_8U); left, right: the
// rectified grey images (x2 = x1 - d). Returns the swept disparities; pixels outside the
// region, and those whose best correlation is weak or at the range's end, keep theirs and
// count as not matched. The offsets span 8 pixels on either side of the shape.
SweptDisparity SweepAroundSurface(const cv::Mat& disparity, const cv::Mat& region,
                                  const cv::Mat& left, const cv::Mat& right);

}  // namespace q3d
