#include "matching/smoothing.h"

#include <opencv2/imgproc.hpp>

namespace q3d {

cv::Mat GaussianKernel(int size, double deviation) {
  if (size <= 1 || !(deviation > 0.0)) return cv::Mat::ones(1, 1, CV_32F);
  return cv::getGaussianKernel(size | 1, deviation, CV_32F);
}

cv::Mat Smooth(const cv::Mat& image, const cv::Mat& kernel) {
  if (kernel.total() == 1) return image.clone();
  cv::Mat smoothed;
  cv::sepFilter2D(image, smoothed, CV_32F, kernel, kernel, cv::Point(-1, -1), 0.0,
                  cv::BORDER_REFLECT);
  return smoothed;
}

}  // namespace q3d
