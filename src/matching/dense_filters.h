#pragma once
// Clean-up steps of dense matching on disparity maps of the rectified frame (CV_32F, NaN
// where unmatched).
#include <opencv2/core.hpp>
#include <vector>

namespace q3d {

// 255 where a disparity is present, 0 where it is NaN.
cv::Mat MatchedMask(const cv::Mat& disparity);

// SGBM's fixed-point disparities (1/16 pixel, negative = none) as CV_32F with NaN.
cv::Mat ToFloatDisparity(const cv::Mat& fixedPoint);

// Keeps a left disparity only where the right map, read at the matched pixel, gives it back
// within `tolerance` pixels. `right` holds, per pixel of the right image, its disparity to
// the left image (x_left = x_right + d).
void KeepLeftRightConsistent(cv::Mat& left, const cv::Mat& right, float tolerance);

// A guide point: its rectified position in image 1 and its disparity.
struct DisparityGuide {
  cv::Point2f position;
  float disparity;
};
// Drops disparities outside the band of the `neighbours` nearest guides: their range
// widened by half of itself and by `slack` pixels on each side.
void RejectAgainstGuides(cv::Mat& disparity, const std::vector<DisparityGuide>& guides,
                         int neighbours, float slack);

// Fills holes inside `region` (CV_8U, non-zero inside) of at most maxArea pixels that do not
// touch the region's outside: each hole pixel gets the mean of the linear interpolations
// along its row and its column between the hole's valid ends.
void FillSmallHoles(cv::Mat& disparity, const cv::Mat& region, int maxArea);

// Gaussian smoothing of the matched disparities only (normalised convolution): the matching
// noise of neighbouring pixels averages out, unmatched pixels stay unmatched.
void SmoothDisparity(cv::Mat& disparity, double sigma);

}  // namespace q3d
