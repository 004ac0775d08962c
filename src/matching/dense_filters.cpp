#include "matching/dense_filters.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

// Linear interpolation across the runs of `hole` pixels along one line of `d`, accumulated
// into sum and count where both ends of a run hold values.
void InterpolateRuns(cv::Mat d, const cv::Mat& hole, cv::Mat& sum, cv::Mat& count, bool alongRows) {
  const int lines = alongRows ? d.rows : d.cols, length = alongRows ? d.cols : d.rows;
  auto at = [&](cv::Mat& m, int line, int i) -> float& {
    return alongRows ? m.at<float>(line, i) : m.at<float>(i, line);
  };
  auto isHole = [&](int line, int i) {
    return alongRows ? hole.at<uint8_t>(line, i) != 0 : hole.at<uint8_t>(i, line) != 0;
  };
  for (int line = 0; line < lines; ++line) {
    for (int i = 0; i < length; ++i) {
      if (!isHole(line, i)) continue;
      int end = i;
      while (end < length && isHole(line, end)) ++end;
      if (i > 0 && end < length) {
        const float a = at(d, line, i - 1), b = at(d, line, end);
        if (!std::isnan(a) && !std::isnan(b)) {
          for (int k = i; k < end; ++k) {
            const float s = static_cast<float>(k - i + 1) / static_cast<float>(end - i + 1);
            at(sum, line, k) += a + s * (b - a);
            at(count, line, k) += 1;
          }
        }
      }
      i = end;
    }
  }
}

}  // namespace

cv::Mat MatchedMask(const cv::Mat& disparity) {
  cv::Mat mask(disparity.size(), CV_8U);
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x)
      mask.at<uint8_t>(y, x) = std::isnan(disparity.at<float>(y, x)) ? 0 : 255;
  return mask;
}

cv::Mat ToFloatDisparity(const cv::Mat& fixedPoint) {
  cv::Mat out(fixedPoint.size(), CV_32F);
  for (int y = 0; y < out.rows; ++y)
    for (int x = 0; x < out.cols; ++x) {
      const int16_t v = fixedPoint.at<int16_t>(y, x);
      out.at<float>(y, x) = v < 0 ? kNone : v / 16.0f;
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

void RejectAgainstGuides(cv::Mat& disparity, const std::vector<DisparityGuide>& guides,
                         int neighbours, float slack) {
  if (guides.empty()) return;
  const int k = std::min<int>(neighbours, static_cast<int>(guides.size()));
  // The band changes slowly: it is found once per cell of `step` pixels.
  constexpr int step = 8;
  std::vector<std::pair<float, int>> order(guides.size());
  for (int cy = 0; cy < disparity.rows; cy += step)
    for (int cx = 0; cx < disparity.cols; cx += step) {
      const cv::Point2f centre(cx + step / 2.0f, cy + step / 2.0f);
      for (size_t g = 0; g < guides.size(); ++g) {
        const cv::Point2f v = guides[g].position - centre;
        order[g] = {v.dot(v), static_cast<int>(g)};
      }
      std::partial_sort(order.begin(), order.begin() + k, order.end());
      float lo = std::numeric_limits<float>::max(), hi = -lo;
      for (int i = 0; i < k; ++i) {
        lo = std::min(lo, guides[order[i].second].disparity);
        hi = std::max(hi, guides[order[i].second].disparity);
      }
      const float widen = 0.5f * (hi - lo) + slack;
      lo -= widen;
      hi += widen;
      for (int y = cy; y < std::min(cy + step, disparity.rows); ++y)
        for (int x = cx; x < std::min(cx + step, disparity.cols); ++x) {
          float& d = disparity.at<float>(y, x);
          if (d < lo || d > hi) d = kNone;
        }
    }
}

void FillSmallHoles(cv::Mat& disparity, const cv::Mat& region, int maxArea) {
  const cv::Mat missing = ~MatchedMask(disparity) & (region != 0);
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(missing, labels, stats, centroids, 4, CV_32S);
  // A hole touching the outside of the region (or the frame) is an edge, not a hole.
  std::vector<bool> fill(n, false);
  for (int i = 1; i < n; ++i) fill[i] = stats.at<int>(i, cv::CC_STAT_AREA) <= maxArea;
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) {
      const int label = labels.at<int>(y, x);
      if (label == 0 || !fill[label]) continue;
      const bool edge = x == 0 || y == 0 || x + 1 == labels.cols || y + 1 == labels.rows ||
                        !region.at<uint8_t>(y, x - 1) || !region.at<uint8_t>(y, x + 1) ||
                        !region.at<uint8_t>(y - 1, x) || !region.at<uint8_t>(y + 1, x);
      if (edge) fill[label] = false;
    }
  cv::Mat hole(labels.size(), CV_8U, cv::Scalar(0));
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) hole.at<uint8_t>(y, x) = fill[labels.at<int>(y, x)];
  cv::Mat sum = cv::Mat::zeros(disparity.size(), CV_32F), count = sum.clone();
  InterpolateRuns(disparity, hole, sum, count, true);
  InterpolateRuns(disparity, hole, sum, count, false);
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x)
      if (count.at<float>(y, x) > 0)
        disparity.at<float>(y, x) = sum.at<float>(y, x) / count.at<float>(y, x);
}

void SmoothDisparity(cv::Mat& disparity, double sigma) {
  const cv::Mat valid = MatchedMask(disparity);
  cv::Mat values = disparity.clone(), weights;
  values.setTo(0, ~valid);
  valid.convertTo(weights, CV_32F, 1.0 / 255);
  cv::GaussianBlur(values, values, cv::Size(), sigma);
  cv::GaussianBlur(weights, weights, cv::Size(), sigma);
  cv::Mat smoothed = values / weights;
  smoothed.copyTo(disparity, valid);
}

}  // namespace q3d
