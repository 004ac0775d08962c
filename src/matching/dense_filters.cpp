#include "matching/dense_filters.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

// The components of `mask` (4-connected) that share a pixel with `anchor`.
cv::Mat ComponentsTouching(const cv::Mat& mask, const cv::Mat& anchor) {
  cv::Mat labels;
  const int n = cv::connectedComponents(mask, labels, 4, CV_32S);
  std::vector<uint8_t> keep(static_cast<size_t>(n), 0);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      if (anchor.at<uint8_t>(y, x)) keep[static_cast<size_t>(labels.at<int>(y, x))] = 255;
  keep[0] = 0;
  cv::Mat out(mask.size(), CV_8U);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      out.at<uint8_t>(y, x) = keep[static_cast<size_t>(labels.at<int>(y, x))];
  return out;
}

}  // namespace

cv::Mat MatchedMask(const cv::Mat& disparity) {
  cv::Mat mask(disparity.size(), CV_8U);
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x)
      mask.at<uint8_t>(y, x) = std::isnan(disparity.at<float>(y, x)) ? 0 : 255;
  return mask;
}

cv::Mat ToFloatDisparity(const cv::Mat& fixedPoint, int minDisparity) {
  cv::Mat out(fixedPoint.size(), CV_32F);
  for (int y = 0; y < out.rows; ++y)
    for (int x = 0; x < out.cols; ++x) {
      const int16_t v = fixedPoint.at<int16_t>(y, x);
      out.at<float>(y, x) = v < 16 * minDisparity ? kNone : v / 16.0f;
    }
  return out;
}

void KeepLeftRightConsistent(cv::Mat& left, const cv::Mat& right, float tolerance) {
  for (int y = 0; y < left.rows; ++y)
    for (int x = 0; x < left.cols; ++x) {
      float& d = left.at<float>(y, x);
      if (std::isnan(d)) continue;
      const int xr = static_cast<int>(std::lround(x - d));
      const float back = xr >= 0 && xr < right.cols ? right.at<float>(y, xr) : kNone;
      if (std::isnan(back) || std::abs(back - d) > tolerance) d = kNone;
    }
}

cv::Mat SurfaceExtent(const cv::Mat& matched, const cv::Mat& hull, const cv::Mat& region,
                      int radius) {
  const cv::Mat disc =
      cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1));
  cv::Mat margin = (matched & region) | hull;
  // Opening removes the teeth and threads of the margin, closing its notches.
  cv::morphologyEx(margin, margin, cv::MORPH_OPEN, disc);
  cv::morphologyEx(margin, margin, cv::MORPH_CLOSE, disc);
  cv::Mat extent = ComponentsTouching((margin & region) | hull, hull);
  // Holes: what the extent encloses, away from the frame's border.
  cv::Mat border(extent.size(), CV_8U, cv::Scalar(0));
  cv::rectangle(border, cv::Rect(0, 0, border.cols, border.rows), cv::Scalar(255));
  const cv::Mat outside = ComponentsTouching(~extent, border);
  return ~outside & region;
}

void ClearSteepMargin(cv::Mat& disparity, const cv::Mat& hull, float maxSlope) {
  const cv::Mat d = disparity.clone();
  // The difference over the pixel's two neighbours along a line, or over one where the
  // other has no disparity.
  auto slope = [&](int x, int y, int dx, int dy) {
    const auto at = [&](int px, int py) {
      return px >= 0 && py >= 0 && px < d.cols && py < d.rows ? d.at<float>(py, px) : kNone;
    };
    const float before = at(x - dx, y - dy), centre = at(x, y), after = at(x + dx, y + dy);
    if (!std::isnan(before) && !std::isnan(after)) return std::abs(after - before) / 2;
    if (!std::isnan(after)) return std::abs(after - centre);
    if (!std::isnan(before)) return std::abs(centre - before);
    return 0.0f;
  };
  for (int y = 0; y < d.rows; ++y)
    for (int x = 0; x < d.cols; ++x)
      if (!hull.at<uint8_t>(y, x) && !std::isnan(d.at<float>(y, x)) &&
          std::max(slope(x, y, 1, 0), slope(x, y, 0, 1)) > maxSlope)
        disparity.at<float>(y, x) = kNone;
}

}  // namespace q3d
