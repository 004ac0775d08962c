#include "matching/working_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

constexpr int kWorkingSide = 1600;
// The full-size search covers this many dot radii (and two working pixels) around a dot; a
// dot there is at most this many of its radii wide.
constexpr double kWindowRadii = 2.0;
constexpr double kMaxDiameterRadii = 4.0;

}  // namespace

WorkingScale ChooseWorkingScale(cv::Size image1, cv::Size image2) {
  const int side = std::max({image1.width, image1.height, image2.width, image2.height});
  return {std::max(1, (side + kWorkingSide - 1) / kWorkingSide)};
}

cv::Mat ReduceGrey(const cv::Mat& grey, const WorkingScale& scale) {
  if (scale.factor == 1) return grey;
  cv::Mat reduced;
  cv::resize(grey, reduced, cv::Size(grey.cols / scale.factor, grey.rows / scale.factor), 0, 0,
             cv::INTER_AREA);
  return reduced;
}

cv::Rect ReduceArea(const cv::Rect& area, const WorkingScale& scale) {
  const int k = scale.factor;
  const int x0 = (area.x + k - 1) / k;
  const int y0 = (area.y + k - 1) / k;
  const int x1 = (area.x + area.width) / k;
  const int y1 = (area.y + area.height) / k;
  return {x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1)};
}

int RecentreDotsAtFullSize(const cv::Mat& fullGrey, const WorkingScale& scale,
                           const DotOptions& options, FeatureList& dots) {
  if (scale.factor == 1) return 1;
  const double k = scale.factor;
  FeatureList found;
  for (Feature& dot : dots) {
    const double x = scale.ToFull(dot.x);
    const double y = scale.ToFull(dot.y);
    const int half = static_cast<int>(std::ceil(k * (kWindowRadii * dot.radius + 2.0)));
    DotOptions local = options;
    local.maxCount = std::numeric_limits<int>::max();
    local.maxDiameter = static_cast<int>(std::ceil(kMaxDiameterRadii * k * dot.radius)) + 4;
    const cv::Rect window(static_cast<int>(x) - half, static_cast<int>(y) - half, 2 * half + 1,
                          2 * half + 1);
    if (!DetectMarkerDots(fullGrey, window, local, found)) return 0;
    // The full-size dot nearest the working centre, within the dot's radius of it.
    const Feature* nearest = nullptr;
    double nearestDistance = std::max(k * dot.radius, k);
    for (const Feature& candidate : found) {
      const double d = std::hypot(candidate.x - x, candidate.y - y);
      if (d <= nearestDistance) {
        nearestDistance = d;
        nearest = &candidate;
      }
    }
    if (!nearest) continue;
    dot.x = scale.ToWorking(nearest->x);
    dot.y = scale.ToWorking(nearest->y);
  }
  return 1;
}

}  // namespace q3d
