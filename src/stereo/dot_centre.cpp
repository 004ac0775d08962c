#include "stereo/dot_centre.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "stereo/marker_detector.h"

namespace q3d {
namespace {

constexpr int kMaxIterations = 30;
constexpr double kSettledShift = 1e-3;  // pixels
// Last step of an iteration that ran out, in pixels and in shares of the dot's radius: on
// a large dot (a dot of a 24-megapixel photograph is 20 pixels wide and more) the pixel
// grid under the soft aperture's edge keeps the estimate swaying by a few hundredths.
constexpr double kAcceptedShift = 1e-2;
constexpr double kAcceptedShiftPerRadius = 2e-3;
// The weighting level lies this share of the contrast below the surroundings: near the
// surroundings the skin's texture enters the weights, deep down the rim's partly covered
// pixels drop out; in between the error on textured skin is least.
constexpr double kLevelShare = 0.3;
// Dots fainter than this against their surroundings are left to the detector.
constexpr double kMinContrast = 10.0;
// The aperture reaches past the region (the pixels the detector accepted, the dot's dark
// core) by a margin for the blurred rim. The surroundings are a plane fitted to a ring
// just outside it: a ring near the dot follows the skin's texture and shading best.
// On a large dot (a photograph of many megapixels) the margin grows with the radius: such a
// dot seen at a slant is an ellipse whose ends reach past the disc of the same area.
constexpr double kApertureMargin = 1.5;
constexpr double kApertureMarginPerRadius = 0.35;
constexpr double kRingGap = 0.5;
constexpr double kRingWidth = 2.0;
constexpr size_t kMinRingPixels = 8;
// Ring pixels farther from the first plane than this many robust deviations (another
// dot, a hair) are left out of the second.
constexpr double kRingOutlierDeviations = 3.0;

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

// Grey of the surroundings as a plane over the window: grey = a + b·(x - x0) + c·(y - y0).
struct Surroundings {
  cv::Vec3d abc;
  cv::Point2d origin;
  double At(int x, int y) const {
    return abc[0] + abc[1] * (x - origin.x) + abc[2] * (y - origin.y);
  }
};

struct RingPixel {
  double dx = 0.0, dy = 0.0, grey = 0.0;
};

std::optional<cv::Vec3d> FitPlane(const std::vector<RingPixel>& ring,
                                  const std::vector<char>& use) {
  cv::Matx33d normal = cv::Matx33d::zeros();
  cv::Vec3d rhs(0.0, 0.0, 0.0);
  for (size_t i = 0; i < ring.size(); ++i) {
    if (!use[i]) continue;
    const cv::Vec3d f(1.0, ring[i].dx, ring[i].dy);
    normal += f * f.t();
    rhs += f * ring[i].grey;
  }
  cv::Vec3d abc;
  if (!cv::solve(normal, rhs, abc, cv::DECOMP_CHOLESKY)) return std::nullopt;
  return abc;
}

// The plane through the pixels whose distance from centre lies in [inner, outer), fitted
// again without the pixels far from the first fit.
std::optional<Surroundings> FitSurroundings(const cv::Mat& window, cv::Point2d centre, double inner,
                                            double outer) {
  std::vector<RingPixel> ring;
  const int x0 = std::max(0, static_cast<int>(std::floor(centre.x - outer)));
  const int x1 = std::min(window.cols - 1, static_cast<int>(std::ceil(centre.x + outer)));
  const int y0 = std::max(0, static_cast<int>(std::floor(centre.y - outer)));
  const int y1 = std::min(window.rows - 1, static_cast<int>(std::ceil(centre.y + outer)));
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = window.ptr<uint8_t>(y);
    for (int x = x0; x <= x1; ++x) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      if (d >= inner && d < outer) ring.push_back({x - centre.x, y - centre.y, double(row[x])});
    }
  }
  if (ring.size() < kMinRingPixels) return std::nullopt;
  std::vector<char> use(ring.size(), 1);
  std::optional<cv::Vec3d> abc = FitPlane(ring, use);
  if (!abc) return std::nullopt;
  std::vector<double> residuals;
  for (const RingPixel& p : ring)
    residuals.push_back(std::abs(p.grey - ((*abc)[0] + (*abc)[1] * p.dx + (*abc)[2] * p.dy)));
  std::vector<double> sorted = residuals;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  // 1.4826 · median absolute residual estimates the deviation; the grey level's own step
  // keeps a noise-free ring from rejecting all but its exact pixels.
  const double limit = kRingOutlierDeviations * 1.4826 * *middle + 1.0;
  for (size_t i = 0; i < ring.size(); ++i) use[i] = residuals[i] <= limit;
  if (static_cast<size_t>(std::count(use.begin(), use.end(), 1)) < kMinRingPixels)
    return std::nullopt;
  abc = FitPlane(ring, use);
  if (!abc) return std::nullopt;
  return Surroundings{*abc, centre};
}

// Centroid of the darkness below the level inside the aperture around centre; the
// aperture's edge is one pixel soft so that the centroid moves smoothly with it.
std::optional<cv::Point2d> DarknessCentroid(const cv::Mat& window, cv::Point2d centre,
                                            double aperture, const Surroundings& surroundings,
                                            double dotGrey) {
  const int x0 = static_cast<int>(std::floor(centre.x - aperture - 1));
  const int x1 = static_cast<int>(std::ceil(centre.x + aperture + 1));
  const int y0 = static_cast<int>(std::floor(centre.y - aperture - 1));
  const int y1 = static_cast<int>(std::ceil(centre.y + aperture + 1));
  if (x0 < 0 || y0 < 0 || x1 >= window.cols || y1 >= window.rows) return std::nullopt;
  double sum = 0.0, sumX = 0.0, sumY = 0.0;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = window.ptr<uint8_t>(y);
    for (int x = x0; x <= x1; ++x) {
      const double around = surroundings.At(x, y);
      const double darkness = around - kLevelShare * (around - dotGrey) - row[x];
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

std::optional<cv::Point2d> PreciseDotCentre(const cv::Mat& window,
                                            const CMarkerDetector& detector) {
  const cv::Point2d start(detector.CentreX(), detector.CentreY());
  if (window.type() != CV_8UC1 || !std::isfinite(start.x) || !std::isfinite(start.y))
    return std::nullopt;
  const Region region = RegionOf(detector, window.cols, window.rows);
  if (region.area == 0) return std::nullopt;
  const double aperture =
      region.radius + std::max(kApertureMargin, kApertureMarginPerRadius * region.radius);
  const double dotGrey = detector.RegionMean();

  // The ring moves with the estimate: centred on the dot, the blurred rim's share in it is
  // the same all round and does not tilt the plane.
  cv::Point2d centre = start;
  double shift = 0.0;
  for (int i = 0; i < kMaxIterations; ++i) {
    const std::optional<Surroundings> surroundings =
        FitSurroundings(window, centre, aperture + kRingGap, aperture + kRingGap + kRingWidth);
    if (!surroundings || surroundings->abc[0] - dotGrey < kMinContrast) return std::nullopt;
    const std::optional<cv::Point2d> next =
        DarknessCentroid(window, centre, aperture, *surroundings, dotGrey);
    if (!next) return std::nullopt;
    shift = cv::norm(*next - centre);
    centre = *next;
    if (shift < kSettledShift) break;
  }
  if (shift >= std::max(kAcceptedShift, kAcceptedShiftPerRadius * region.radius))
    return std::nullopt;
  if (cv::norm(centre - start) > std::max(1.0, region.radius)) return std::nullopt;
  return centre;
}

}  // namespace q3d
