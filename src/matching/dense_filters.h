#pragma once
// Clean-up steps of dense matching on disparity maps of the rectified frame (CV_32F, NaN
// where unmatched).
#include <opencv2/core.hpp>

namespace q3d {

// 255 where a disparity is present, 0 where it is NaN.
cv::Mat MatchedMask(const cv::Mat& disparity);

// SGBM's fixed-point disparities (1/16 pixel, below minDisparity = none) as CV_32F with NaN.
cv::Mat ToFloatDisparity(const cv::Mat& fixedPoint, int minDisparity = 0);

// Keeps a left disparity only where the right map, read at the matched pixel, gives it back
// within `tolerance` pixels. `right` holds, per pixel of the right image, its disparity to
// the left image (x_left = x_right + d).
void KeepLeftRightConsistent(cv::Mat& left, const cv::Mat& right, float tolerance);

// The pixels the surface covers: all of `hull` (CV_8U, the dots' hull), and of the margin
// around it (`region` without `hull`) what was matched and joins the hull, with its outline
// smoothed over `radius` pixels and without holes.
cv::Mat SurfaceExtent(const cv::Mat& matched, const cv::Mat& hull, const cv::Mat& region,
                      int radius);

// Clears the disparities outside `hull` whose slope (pixels of disparity per pixel, along x
// or y) exceeds maxSlope: where the head turns away from the cameras its depth is
// ill-determined.
void ClearSteepMargin(cv::Mat& disparity, const cv::Mat& hull, float maxSlope);

}  // namespace q3d
