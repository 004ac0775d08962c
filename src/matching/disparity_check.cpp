#include "matching/disparity_check.h"

#include <algorithm>
#include <cmath>

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

std::optional<LocalPrediction> PredictFromNeighbours(const std::vector<PointPair>& matches,
                                                     const std::vector<int>& chosen, double x1,
                                                     double y1, double minTolerance) {
  // One trimming round keeps a wrong neighbour from bending the map.
  Eigen::Matrix<double, 3, 2> map;
  if (chosen.size() < 3 || !FitAffine(matches, chosen, map)) return std::nullopt;
  std::vector<double> residuals;
  for (int j : chosen) residuals.push_back(Residual(map, matches[static_cast<size_t>(j)]));
  std::vector<double> sorted = residuals;
  const size_t middle = sorted.size() / 2;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(middle),
                   sorted.end());
  const double trim = std::max(3.0 * sorted[middle], minTolerance);
  std::vector<int> kept;
  for (size_t j = 0; j < chosen.size(); ++j)
    if (residuals[j] <= trim) kept.push_back(chosen[j]);
  if (!FitAffine(matches, kept, map)) return std::nullopt;

  double sum2 = 0.0;
  for (int j : kept) sum2 += std::pow(Residual(map, matches[static_cast<size_t>(j)]), 2);
  const Eigen::RowVector2d predicted = Eigen::RowVector3d(x1, y1, 1.0) * map;
  return LocalPrediction{predicted(0), predicted(1),
                         std::sqrt(sum2 / static_cast<double>(kept.size()))};
}

std::vector<int> NearestInImage1(const std::vector<PointPair>& matches, double x1, double y1,
                                 size_t k, int skip) {
  std::vector<int> order;
  for (int j = 0; j < static_cast<int>(matches.size()); ++j)
    if (j != skip) order.push_back(j);
  const auto distance = [&](int j) {
    return std::hypot(matches[static_cast<size_t>(j)].x1 - x1,
                      matches[static_cast<size_t>(j)].y1 - y1);
  };
  k = std::min(k, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k), order.end(),
                    [&](int a, int b) { return distance(a) < distance(b); });
  order.resize(k);
  return order;
}

std::vector<char> AgreeWithNeighbours(const std::vector<PointPair>& matches,
                                      const DisparityCheckOptions& options) {
  const size_t n = matches.size();
  std::vector<char> agree(n, 1);
  const size_t k = static_cast<size_t>(std::max(options.neighbours, 3));
  if (n < k + 2) return agree;
  for (size_t i = 0; i < n; ++i) {
    const PointPair& m = matches[i];
    const std::vector<int> near = NearestInImage1(matches, m.x1, m.y1, k, static_cast<int>(i));
    const auto predicted = PredictFromNeighbours(matches, near, m.x1, m.y1, options.minTolerance);
    if (!predicted) continue;
    const double tolerance = std::max(4.0 * predicted->rms, options.minTolerance);
    agree[i] = std::hypot(predicted->x2 - m.x2, predicted->y2 - m.y2) <= tolerance ? 1 : 0;
  }
  return agree;
}

}  // namespace q3d
