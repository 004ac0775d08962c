#include "stereo/dot_centre.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "stereo/marker_detector.h"

namespace q3d {
namespace {

constexpr int kMaxIterations = 30;
constexpr double kSettledShift = 1e-3;   // pixels
constexpr double kAcceptedShift = 1e-2;  // last step of an iteration that ran out
// The weighting level lies this share of the contrast below the surroundings: near the
// surroundings the skin's texture enters the weights, deep down the rim's partly covered
// pixels drop out; in between the error on textured skin is least.
constexpr double kLevelShare = 0.35;
// Dots fainter than this against their surroundings are left to the detector.
constexpr double kMinContrast = 10.0;
// The aperture reaches past the region (the pixels the detector accepted, the dot's dark
// core) by a margin for the blurred rim; the ring that gives the surroundings' grey lies
// just outside the aperture.
constexpr double kApertureScale = 1.0;
constexpr double kApertureMargin = 1.5;
constexpr double kRingWidth = 3.0;
constexpr size_t kMinRingPixels = 8;

struct Region {
  int area = 0;
  double radius = 0.0;
};

Region RegionOf(const CMarkerDetector& detector, int width, int height) {
  Region region;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) region.area += detector.IsMarked(x, y) ? 1 : 0;
  region.radius = std::sqrt(region.area / CV_PI);
  return region;
}

// Median grey of the pixels whose distance from centre lies in [inner, outer).
std::optional<double> RingMedian(const cv::Mat& window, cv::Point2d centre, double inner,
                                 double outer) {
  std::vector<uint8_t> values;
  const int x0 = std::max(0, static_cast<int>(std::floor(centre.x - outer)));
  const int x1 = std::min(window.cols - 1, static_cast<int>(std::ceil(centre.x + outer)));
  const int y0 = std::max(0, static_cast<int>(std::floor(centre.y - outer)));
  const int y1 = std::min(window.rows - 1, static_cast<int>(std::ceil(centre.y + outer)));
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = window.ptr<uint8_t>(y);
    for (int x = x0; x <= x1; ++x) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      if (d >= inner && d < outer) values.push_back(row[x]);
    }
  }
  if (values.size() < kMinRingPixels) return std::nullopt;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return static_cast<double>(*middle);
}

// Centroid of the darkness below level inside the aperture around centre; the aperture's
// edge is one pixel soft so that the centroid moves smoothly with the aperture.
std::optional<cv::Point2d> DarknessCentroid(const cv::Mat& window, cv::Point2d centre,
                                            double aperture, double level) {
  const int x0 = static_cast<int>(std::floor(centre.x - aperture - 1));
  const int x1 = static_cast<int>(std::ceil(centre.x + aperture + 1));
  const int y0 = static_cast<int>(std::floor(centre.y - aperture - 1));
  const int y1 = static_cast<int>(std::ceil(centre.y + aperture + 1));
  if (x0 < 0 || y0 < 0 || x1 >= window.cols || y1 >= window.rows) return std::nullopt;
  double sum = 0.0, sumX = 0.0, sumY = 0.0;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = window.ptr<uint8_t>(y);
    for (int x = x0; x <= x1; ++x) {
      const double darkness = level - row[x];
      if (darkness <= 0.0) continue;
      const double inside =
          std::clamp(aperture + 0.5 - std::hypot(x - centre.x, y - centre.y), 0.0, 1.0);
      const double w = inside * darkness;
      sum += w;
      sumX += w * x;
      sumY += w * y;
    }
  }
  if (!(sum > 0.0)) return std::nullopt;
  return cv::Point2d(sumX / sum, sumY / sum);
}

}  // namespace

std::optional<cv::Point2d> PreciseDotCentre(const cv::Mat& window, const CMarkerDetector& detector) {
  const cv::Point2d start(detector.CentreX(), detector.CentreY());
  if (window.type() != CV_8UC1 || !std::isfinite(start.x) || !std::isfinite(start.y))
    return std::nullopt;
  const Region region = RegionOf(detector, window.cols, window.rows);
  if (region.area == 0) return std::nullopt;
  const double aperture = kApertureScale * region.radius + kApertureMargin;
  const std::optional<double> surroundings =
      RingMedian(window, start, aperture + 1.0, aperture + 1.0 + kRingWidth);
  if (!surroundings) return std::nullopt;
  const double contrast = *surroundings - detector.RegionMean();
  if (contrast < kMinContrast) return std::nullopt;
  const double level = *surroundings - kLevelShare * contrast;

  cv::Point2d centre = start;
  double shift = 0.0;
  for (int i = 0; i < kMaxIterations; ++i) {
    const std::optional<cv::Point2d> next = DarknessCentroid(window, centre, aperture, level);
    if (!next) return std::nullopt;
    shift = cv::norm(*next - centre);
    centre = *next;
    if (shift < kSettledShift) break;
  }
  if (shift >= kAcceptedShift) return std::nullopt;
  if (cv::norm(centre - start) > std::max(1.0, region.radius)) return std::nullopt;
  return centre;
}

}  // namespace q3d
