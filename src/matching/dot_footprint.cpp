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

struct DotShape {
  double radius = -1;  // at half the dot's contrast; negative when no dark dot is there
  double skin = 0;     // grey level of the skin around
};

DotShape ShapeAround(const cv::Mat& grey, const cv::Point2d& centre) {
  // The grey levels on kAngles rays from the centre, one column per pixel of radius, sampled
  // bilinearly and averaged over the rays.
  cv::Mat mapX(kAngles, kProfileRadius + 1, CV_32F), mapY(mapX.size(), CV_32F), rays;
  for (int k = 0; k < kAngles; ++k)
    for (int r = 0; r <= kProfileRadius; ++r) {
      const double angle = 2 * CV_PI * k / kAngles;
      mapX.at<float>(k, r) = static_cast<float>(centre.x + r * std::cos(angle));
      mapY.at<float>(k, r) = static_cast<float>(centre.y + r * std::sin(angle));
    }
  cv::remap(grey, rays, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::Mat mean;
  cv::reduce(rays, mean, 0, cv::REDUCE_AVG, CV_64F);
  const std::vector<double> profile(mean.begin<double>(), mean.end<double>());
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
