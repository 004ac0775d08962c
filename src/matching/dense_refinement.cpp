#include "matching/dense_refinement.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "matching/dense_filters.h"

namespace q3d {
namespace {

// Zero local mean and unit local spread: the two photographs may differ in brightness and
// contrast.
cv::Mat Normalised(const cv::Mat& grey, double sigma) {
  cv::Mat f, mean, sq, spread;
  grey.convertTo(f, CV_32F);
  cv::GaussianBlur(f, mean, cv::Size(), sigma);
  cv::GaussianBlur(f.mul(f), sq, cv::Size(), sigma);
  cv::sqrt(cv::max(sq - mean.mul(mean), 0), spread);
  return (f - mean) / (spread + 2.0f);
}

}  // namespace

void RefineDisparity(cv::Mat& disparity, const cv::Mat& left, const cv::Mat& right, int iterations,
                     double windowSigma, float maxChange) {
  const cv::Mat valid = MatchedMask(disparity);
  const cv::Mat l = Normalised(left, 4.0), r = Normalised(right, 4.0);
  cv::Mat rx;
  cv::Sobel(r, rx, CV_32F, 1, 0, 3, 1.0 / 8);
  const cv::Mat start = disparity.clone();
  cv::Mat mapX(disparity.size(), CV_32F), mapY(disparity.size(), CV_32F);
  for (int it = 0; it < iterations; ++it) {
    for (int y = 0; y < disparity.rows; ++y)
      for (int x = 0; x < disparity.cols; ++x) {
        const float d = disparity.at<float>(y, x);
        mapX.at<float>(y, x) = std::isnan(d) ? static_cast<float>(x) : x - d;
        mapY.at<float>(y, x) = static_cast<float>(y);
      }
    cv::Mat warped, gradient;
    cv::remap(r, warped, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::remap(rx, gradient, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::Mat error = l - warped;
    error.setTo(0, ~valid);
    gradient.setTo(0, ~valid);
    cv::Mat numerator = gradient.mul(error), denominator = gradient.mul(gradient);
    cv::GaussianBlur(numerator, numerator, cv::Size(), windowSigma);
    cv::GaussianBlur(denominator, denominator, cv::Size(), windowSigma);
    for (int y = 0; y < disparity.rows; ++y)
      for (int x = 0; x < disparity.cols; ++x) {
        float& d = disparity.at<float>(y, x);
        const float den = denominator.at<float>(y, x);
        if (std::isnan(d) || den < 1e-4f) continue;
        // L(x) ~ R(x - d - step) = R(x - d) - Rx step, so the step is -sum(Rx e) / sum(Rx^2).
        const float step = std::clamp(-numerator.at<float>(y, x) / den, -0.5f, 0.5f);
        const float s = start.at<float>(y, x);
        d = std::clamp(d + step, s - maxChange, s + maxChange);
      }
  }
}

}  // namespace q3d
