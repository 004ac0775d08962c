#include "stereo/match_degeneracy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace q3d {
namespace {

// Root mean square distance of the points from their best-fitting line: the smaller
// standard deviation of their 2 x 2 covariance.
double SpreadAcrossLine(const std::vector<std::array<double, 2>>& points) {
  const double n = static_cast<double>(points.size());
  double mx = 0, my = 0;
  for (const auto& p : points) {
    mx += p[0] / n;
    my += p[1] / n;
  }
  double sxx = 0, syy = 0, sxy = 0;
  for (const auto& p : points) {
    const double dx = p[0] - mx, dy = p[1] - my;
    sxx += dx * dx / n;
    syy += dy * dy / n;
    sxy += dx * dy / n;
  }
  const double half = (sxx + syy) / 2;
  const double smallest = half - std::sqrt(std::max(0.0, half * half - (sxx * syy - sxy * sxy)));
  return std::sqrt(std::max(0.0, smallest));
}

}  // namespace

Status CheckMatchesUsable(const CMatchSet& matches) {
  std::set<std::array<double, 4>> distinct;
  std::vector<std::array<double, 2>> points1, points2;
  int index = 0, repeated = 0;
  for (const auto& m : matches.Matches()) {
    if (!m->m_point1 || !m->m_point2) continue;
    const std::array<double, 4> c = {m->m_point1->m_x, m->m_point1->m_y, m->m_point2->m_x,
                                     m->m_point2->m_y};
    for (const double v : c)
      if (!std::isfinite(v))
        return Status::Fail("Error: Match " + std::to_string(index) +
                            " has a coordinate that is not a number.\nDelete the match.");
    if (!distinct.insert(c).second) ++repeated;
    points1.push_back({c[0], c[1]});
    points2.push_back({c[2], c[3]});
    ++index;
  }
  if (repeated > 0)
    return Status::Fail("Error: " + std::to_string(repeated) +
                        (repeated == 1 ? " match repeats" : " matches repeat") +
                        " another match at the same points.\nDelete the repeated matches.");
  for (int image = 1; image <= 2; ++image) {
    const auto& points = image == 1 ? points1 : points2;
    if (points.size() >= 3 && SpreadAcrossLine(points) < kCollinearSpreadPixels)
      return Status::Fail("Error: The matched points of image " + std::to_string(image) +
                          " all lie on one line.\nPlace matches over the whole face.");
  }
  return Status::Ok();
}

}  // namespace q3d
