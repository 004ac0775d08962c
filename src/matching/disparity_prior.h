#pragma once
// The disparity the dots predict between them: a smooth surface through the dots'
// disparities, from which dense matching only has to search a small range. Searching the
// whole range of the face instead lets plain skin lock onto a neighbouring dot.
#include <opencv2/core.hpp>
#include <vector>

namespace q3d {

// A dot's rectified position in image 1 and its disparity.
struct DisparityGuide {
  cv::Point2f position;
  float disparity;
};

// A thin-plate spline through the guides' disparities (their noise smoothed by
// `smoothing`, in squared pixels of disparity per unit bending), evaluated at every pixel
// of a frame of `size` (CV_32F). Fewer than three guides give their mean.
cv::Mat InterpolateGuides(const std::vector<DisparityGuide>& guides, const cv::Size& size,
                          double smoothing);

// Image 2 of the rectified pair resampled through a disparity field: out(x, y) =
// right(x - disparity(x, y), y), so that it lines up with image 1 wherever the field is true.
cv::Mat WarpByDisparity(const cv::Mat& right, const cv::Mat& disparity);

}  // namespace q3d
