#include "matching/disparity_check.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/matrix.h"

namespace q3d {
namespace {

// The affine map [x2 y2] = [x1 y1 1] * map fitted to the chosen matches by least squares;
// false when it is undetermined.
bool FitAffine(const std::vector<PointPair>& matches, const std::vector<int>& use,
               Eigen::Matrix<double, 3, 2>& map) {
  if (use.size() < 3) return false;
  Eigen::MatrixXd design(static_cast<Eigen::Index>(use.size()), 3);
  Eigen::MatrixXd target(static_cast<Eigen::Index>(use.size()), 2);
  for (size_t k = 0; k < use.size(); ++k) {
    const PointPair& m = matches[static_cast<size_t>(use[k])];
    design.row(static_cast<Eigen::Index>(k)) << m.x1, m.y1, 1.0;
    target.row(static_cast<Eigen::Index>(k)) << m.x2, m.y2;
  }
  const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(design);
  if (qr.rank() < 3) return false;
  map = qr.solve(target);
  return map.allFinite();
}

double Residual(const Eigen::Matrix<double, 3, 2>& map, const PointPair& m) {
  const Eigen::RowVector2d predicted = Eigen::RowVector3d(m.x1, m.y1, 1.0) * map;
  return std::hypot(predicted(0) - m.x2, predicted(1) - m.y2);
}

}  // namespace

std::vector<char> AgreeWithNeighbours(const std::vector<PointPair>& matches,
                                      const DisparityCheckOptions& options) {
  const size_t n = matches.size();
  std::vector<char> agree(n, 1);
  const size_t k = static_cast<size_t>(std::max(options.neighbours, 3));
  if (n < k + 2) return agree;

  std::vector<int> order(n);
  for (size_t i = 0; i < n; ++i) {
    std::iota(order.begin(), order.end(), 0);
    const auto distance = [&](int j) {
      return std::hypot(matches[static_cast<size_t>(j)].x1 - matches[i].x1,
                        matches[static_cast<size_t>(j)].y1 - matches[i].y1);
    };
    std::swap(order[i], order.back());  // the match itself is not its own neighbour
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k),
                      order.end() - 1, [&](int a, int b) { return distance(a) < distance(b); });
    std::vector<int> near(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k));

    // One trimming round keeps a wrong neighbour from bending the map.
    Eigen::Matrix<double, 3, 2> map;
    if (!FitAffine(matches, near, map)) continue;
    std::vector<double> residuals;
    for (int j : near) residuals.push_back(Residual(map, matches[static_cast<size_t>(j)]));
    std::vector<double> sorted = residuals;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(k / 2), sorted.end());
    const double trim = std::max(3.0 * sorted[k / 2], options.minTolerance);
    std::vector<int> kept;
    for (size_t j = 0; j < near.size(); ++j)
      if (residuals[j] <= trim) kept.push_back(near[j]);
    if (!FitAffine(matches, kept, map)) continue;

    double sum2 = 0.0;
    for (int j : kept) sum2 += std::pow(Residual(map, matches[static_cast<size_t>(j)]), 2);
    const double rms = std::sqrt(sum2 / static_cast<double>(kept.size()));
    const double tolerance = std::max(4.0 * rms, options.minTolerance);
    agree[i] = Residual(map, matches[i]) <= tolerance ? 1 : 0;
  }
  return agree;
}

}  // namespace q3d
