#pragma once
// Gaussian smoothing of the size and deviation the user chose.
#include <opencv2/core.hpp>

namespace q3d {

// Separable Gaussian of an odd size and a deviation; the identity (no smoothing) when the
// size is 1 or less or the deviation is not positive.
cv::Mat GaussianKernel(int size, double deviation);

// The image (CV_32F) smoothed by that Gaussian, borders reflected.
cv::Mat Smooth(const cv::Mat& image, const cv::Mat& kernel);

}  // namespace q3d
