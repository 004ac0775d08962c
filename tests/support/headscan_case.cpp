#include "support/headscan_case.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "support/json_numbers.h"

namespace q3d::test {
namespace {

constexpr double kTolerance = 1.5;  // pixels

std::vector<Eigen::Vector2d> PointsOf(const std::vector<double>& numbers) {
  std::vector<Eigen::Vector2d> points;
  for (size_t i = 0; i + 1 < numbers.size(); i += 2)
    points.emplace_back(numbers[i], numbers[i + 1]);
  return points;
}

int NearestWithin(const std::vector<Eigen::Vector2d>& points, const Eigen::Vector2d& p) {
  int best = -1;
  double bestDistance = kTolerance;
  for (size_t k = 0; k < points.size(); ++k) {
    const double d = (points[k] - p).norm();
    if (d <= bestDistance) {
      bestDistance = d;
      best = static_cast<int>(k);
    }
  }
  return best;
}

}  // namespace

std::optional<Eigen::Vector2d> HeadscanCase::TrueCorrespondence(double x1, double y1) const {
  const int u = static_cast<int>(std::lround(x1));
  const int v = static_cast<int>(std::lround(y1));
  if (u < 0 || v < 0 || u >= depth1.cols || v >= depth1.rows) return std::nullopt;
  const double z = depth1.at<float>(v, u);
  if (!std::isfinite(z)) return std::nullopt;
  const Vector3 world(-(x1 - size1.width / 2) * z / f1, -(y1 - size1.height / 2) * z / f1, z);
  const Vector3 c2 = R.transpose() * (world - t);
  return Eigen::Vector2d(-f2 * c2.x() / c2.z() + size2.width / 2,
                         -f2 * c2.y() / c2.z() + size2.height / 2);
}

std::optional<HeadscanCase> LoadHeadscanCase(const std::string& dir) {
  std::ifstream in(dir + "/truth.json");
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  const std::string json = text.str();
  HeadscanCase c;
  c.dir = dir;
  c.dots1 = PointsOf(JsonNumbersOf(json, "dots_img1"));
  c.dots2 = PointsOf(JsonNumbersOf(json, "dots_img2"));
  const std::vector<double> xyz = JsonNumbersOf(json, "dots_3d");
  for (size_t i = 0; i + 2 < xyz.size(); i += 3)
    c.dots3d.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
  const std::vector<double> f1 = JsonNumbersOf(json, "f1"), f2 = JsonNumbersOf(json, "f2");
  const std::vector<double> r = JsonNumbersOf(json, "R"), t = JsonNumbersOf(json, "t");
  const std::vector<double> s1 = JsonNumbersOf(json, "image1_size"),
                            s2 = JsonNumbersOf(json, "image2_size");
  const std::vector<double> width = JsonNumbersOf(json, "face_width");
  if (c.dots1.empty() || c.dots1.size() != c.dots2.size() || f1.size() != 1 || f2.size() != 1 ||
      r.size() != 9 || t.size() != 3 || s1.size() != 2 || s2.size() != 2 || width.size() != 1)
    return std::nullopt;
  c.f1 = f1[0];
  c.f2 = f2[0];
  for (int k = 0; k < 9; ++k) c.R(k / 3, k % 3) = r[static_cast<size_t>(k)];
  c.t = Vector3(t[0], t[1], t[2]);
  c.size1 = cv::Size(static_cast<int>(s1[0]), static_cast<int>(s1[1]));
  c.size2 = cv::Size(static_cast<int>(s2[0]), static_cast<int>(s2[1]));
  c.faceWidth = width[0];
  c.depth1 = cv::imread(dir + "/depth1.tiff", cv::IMREAD_UNCHANGED);
  if (c.depth1.type() != CV_32F || c.depth1.size() != c.size1) return std::nullopt;
  return c;
}

MatchScore ScoreMatches(
    const std::vector<Eigen::Vector2d>& dots1, const std::vector<Eigen::Vector2d>& dots2,
    const std::vector<PointPair>& matches,
    const std::function<std::optional<Eigen::Vector2d>(double, double)>& trueCorrespondence) {
  MatchScore score;
  score.visibleDots = static_cast<int>(dots1.size());
  score.matches = static_cast<int>(matches.size());
  std::vector<char> matched(dots1.size(), 0);
  for (const PointPair& m : matches) {
    const Eigen::Vector2d p1(m.x1, m.y1), p2(m.x2, m.y2);
    const int k1 = NearestWithin(dots1, p1);
    const int k2 = NearestWithin(dots2, p2);
    if (k1 >= 0 || k2 >= 0) {
      if (k1 == k2) {
        matched[static_cast<size_t>(k1)] = 1;
      } else {
        ++score.wrong;
      }
      continue;
    }
    const auto partner = trueCorrespondence ? trueCorrespondence(m.x1, m.y1) : std::nullopt;
    if (partner && (*partner - p2).norm() > kTolerance) ++score.wrong;
  }
  for (const char m : matched) score.matchedDots += m;
  return score;
}

}  // namespace q3d::test
