#include "matching/dense_sweep.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "matching/dense_refinement.h"
#include "matching/disparity_prior.h"

namespace q3d {
namespace {

constexpr float kRange = 8;              // pixels of offset on either side of the shape
constexpr float kStep = 0.5f;            // spacing of the offsets
constexpr double kWindowSigma = 2;       // pixels: the correlation's Gaussian window
constexpr double kShapeSigma = 4;        // pixels: the smoothing that gives the field's shape
constexpr float kMinCorrelation = 0.6f;  // below this the pixel keeps its disparity

// The field blurred inside the region only (normalised by the region's own weight), so the
// outside's missing values do not drag the shape at the outline.
cv::Mat SmoothShape(const cv::Mat& disparity, const cv::Mat& region, double sigma) {
  cv::Mat values = disparity.clone(), weight;
  region.convertTo(weight, CV_32F, 1.0 / 255);
  values.setTo(0, region == 0);
  cv::GaussianBlur(values, values, cv::Size(), sigma);
  cv::GaussianBlur(weight, weight, cv::Size(), sigma);
  return values / cv::max(weight, 1e-6f);
}

}  // namespace

SweptDisparity SweepAroundSurface(const cv::Mat& disparity, const cv::Mat& region,
                                  const cv::Mat& left, const cv::Mat& right) {
  const cv::Mat shape = SmoothShape(disparity, region, kShapeSigma);
  const auto window = [](const cv::Mat& m) { return WindowMean(m, kWindowSigma); };
  cv::Mat l, r;
  left.convertTo(l, CV_32F);
  right.convertTo(r, CV_32F);
  const cv::Mat meanL = window(l), spreadL = WindowSpread(l, meanL, kWindowSigma);
  const int count = static_cast<int>(std::floor(2 * kRange / kStep)) + 1;
  // The window correlation of each offset, for the peak and its neighbours. Image 2 is
  // normalised after the warp, so that both windows cover the same skin.
  std::vector<cv::Mat> scores(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const float offset = -kRange + kStep * static_cast<float>(i);
    const cv::Mat warped = WarpByDisparity(r, shape + offset);
    const cv::Mat meanW = window(warped);
    scores[static_cast<size_t>(i)] = (window(l.mul(warped)) - meanL.mul(meanW)) /
                                     spreadL.mul(WindowSpread(warped, meanW, kWindowSigma));
  }
  SweptDisparity out{disparity.clone(), cv::Mat::zeros(disparity.size(), CV_8U)};
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x) {
      if (!region.at<uint8_t>(y, x)) continue;
      int best = 0;
      for (int i = 1; i < count; ++i)
        if (scores[static_cast<size_t>(i)].at<float>(y, x) >
            scores[static_cast<size_t>(best)].at<float>(y, x))
          best = i;
      const float peak = scores[static_cast<size_t>(best)].at<float>(y, x);
      if (!(peak >= kMinCorrelation) || best == 0 || best == count - 1) continue;
      // Parabola through the peak and its neighbours.
      const float a = scores[static_cast<size_t>(best - 1)].at<float>(y, x);
      const float c = scores[static_cast<size_t>(best + 1)].at<float>(y, x);
      const float curvature = a - 2 * peak + c;
      const float shift = curvature < 0 ? 0.5f * (a - c) / curvature : 0.0f;
      out.disparity.at<float>(y, x) =
          shape.at<float>(y, x) - kRange +
          kStep * (static_cast<float>(best) + std::clamp(shift, -0.5f, 0.5f));
      out.matched.at<uint8_t>(y, x) = 255;
    }
  return out;
}

}  // namespace q3d
