#include "matching/dense_sweep.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "matching/dense_refinement.h"
#include "matching/disparity_prior.h"

namespace q3d {
namespace {

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

cv::Mat SweepAroundSurface(const cv::Mat& disparity, const cv::Mat& region, const cv::Mat& left,
                           const cv::Mat& right, const SweepParams& params) {
  const cv::Mat shape = SmoothShape(disparity, region, params.shapeSigma);
  const cv::Mat l = NormalisedContrast(left), r = NormalisedContrast(right);
  cv::Mat ll;
  cv::GaussianBlur(l.mul(l), ll, cv::Size(), params.windowSigma);
  const int count = static_cast<int>(std::floor(2 * params.range / params.step)) + 1;
  // The window correlation of each offset, for the peak and its neighbours.
  std::vector<cv::Mat> scores(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const float offset = -params.range + params.step * static_cast<float>(i);
    const cv::Mat warped = WarpByDisparity(r, shape + offset);
    cv::Mat lw, ww;
    cv::GaussianBlur(l.mul(warped), lw, cv::Size(), params.windowSigma);
    cv::GaussianBlur(warped.mul(warped), ww, cv::Size(), params.windowSigma);
    cv::Mat denominator;
    cv::sqrt(ll.mul(ww), denominator);
    scores[static_cast<size_t>(i)] = lw / (denominator + 1e-6f);
  }
  cv::Mat out = disparity.clone();
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x) {
      if (!region.at<uint8_t>(y, x)) continue;
      int best = 0;
      for (int i = 1; i < count; ++i)
        if (scores[static_cast<size_t>(i)].at<float>(y, x) >
            scores[static_cast<size_t>(best)].at<float>(y, x))
          best = i;
      const float peak = scores[static_cast<size_t>(best)].at<float>(y, x);
      if (!(peak >= params.minCorrelation) || best == 0 || best == count - 1) continue;
      // Parabola through the peak and its neighbours.
      const float a = scores[static_cast<size_t>(best - 1)].at<float>(y, x);
      const float c = scores[static_cast<size_t>(best + 1)].at<float>(y, x);
      const float curvature = a - 2 * peak + c;
      const float shift = curvature < 0 ? 0.5f * (a - c) / curvature : 0.0f;
      out.at<float>(y, x) =
          shape.at<float>(y, x) - params.range +
          params.step * (static_cast<float>(best) + std::clamp(shift, -0.5f, 0.5f));
    }
  return out;
}

}  // namespace q3d
