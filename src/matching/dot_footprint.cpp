#include "matching/dot_footprint.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

// The radial profile is read out to this many pixels; its last kBackgroundRings rings are the
// skin around the dot.
constexpr int kProfileRadius = 12;
constexpr int kBackgroundRings = 4;
constexpr int kAngles = 16;
// Grey levels by which a dot's centre must be darker than the skin around it.
constexpr double kMinContrast = 10;

double Bilinear(const cv::Mat& grey, double x, double y) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const auto at = [&](int px, int py) {
    return static_cast<double>(
        grey.at<uint8_t>(std::clamp(py, 0, grey.rows - 1), std::clamp(px, 0, grey.cols - 1)));
  };
  return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
         fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
}

struct DotShape {
  double radius = -1;  // at half the dot's contrast; negative when no dark dot is there
  double skin = 0;     // grey level of the skin around
};

DotShape ShapeAround(const cv::Mat& grey, const cv::Point2d& centre) {
  std::vector<double> profile(kProfileRadius + 1);
  for (int r = 0; r <= kProfileRadius; ++r) {
    double sum = 0;
    for (int k = 0; k < kAngles; ++k) {
      const double angle = 2 * CV_PI * k / kAngles;
      sum += Bilinear(grey, centre.x + r * std::cos(angle), centre.y + r * std::sin(angle));
    }
    profile[static_cast<size_t>(r)] = sum / kAngles;
  }
  std::vector<double> rings(profile.end() - kBackgroundRings, profile.end());
  std::nth_element(rings.begin(), rings.begin() + kBackgroundRings / 2, rings.end());
  DotShape shape;
  shape.skin = rings[kBackgroundRings / 2];
  const double core = 0.5 * (profile[0] + profile[1]);
  if (!(shape.skin - core >= kMinContrast)) return shape;
  const double half = 0.5 * (shape.skin + core);
  for (size_t r = 1; r + kBackgroundRings < profile.size(); ++r)
    if (profile[r] >= half) {
      shape.radius =
          static_cast<double>(r - 1) + (half - profile[r - 1]) / (profile[r] - profile[r - 1]);
      break;
    }
  return shape;  // dark out to the skin's rings: not a dot
}

// The centre of the dot's darkness within `radius` of a centre placed near it.
cv::Point2d DarkCentroid(const cv::Mat& grey, const cv::Point2d& near, double radius, double skin) {
  cv::Point2d sum(0, 0);
  double total = 0;
  const int reach = static_cast<int>(std::ceil(radius));
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      const int x = cvRound(near.x) + dx, y = cvRound(near.y) + dy;
      if (x < 0 || y < 0 || x >= grey.cols || y >= grey.rows ||
          std::hypot(x - near.x, y - near.y) > radius)
        continue;
      const double darkness = std::max(0.0, skin - grey.at<uint8_t>(y, x));
      sum += darkness * cv::Point2d(x, y);
      total += darkness;
    }
  return total > 0 ? sum / total : near;
}

}  // namespace

cv::Mat DotFootprints(const cv::Mat& grey, const std::vector<cv::Point2f>& centres,
                      double windowReach) {
  cv::Mat footprints(grey.size(), CV_8U, cv::Scalar(0));
  for (const cv::Point2f& centre : centres) {
    if (!(centre.x >= 0 && centre.y >= 0 && centre.x < static_cast<float>(grey.cols) &&
          centre.y < static_cast<float>(grey.rows)))
      continue;
    // A match placed off the dot's centre sees it smaller: the dot is measured again
    // around its own centre.
    const DotShape first = ShapeAround(grey, centre);
    if (first.radius < 0) continue;
    const cv::Point2d middle = DarkCentroid(grey, centre, first.radius + 1, first.skin);
    const DotShape dot = ShapeAround(grey, middle);
    if (dot.radius >= 0)
      cv::circle(footprints, cv::Point(cvRound(middle.x), cvRound(middle.y)),
                 cvRound(dot.radius + windowReach), cv::Scalar(255), cv::FILLED);
  }
  return footprints;
}

}  // namespace q3d
