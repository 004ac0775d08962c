#include "matching/epipolar_check.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

#include "numeric/fundamental_matrix.h"

namespace q3d {
namespace {

constexpr int kSampleSize = 9;

double MedianOf(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

std::vector<double> SquaredDistances(const Matrix3& F, const std::vector<PointPair>& pairs) {
  std::vector<double> d2(pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    const double d = EpipolarDistance(F, pairs[i]);
    d2[i] = std::isfinite(d) ? d * d : std::numeric_limits<double>::infinity();
  }
  return d2;
}

// Marks the pairs within the threshold of F; returns how many.
int MarkInliers(const Matrix3& F, const std::vector<PointPair>& pairs, double threshold,
                std::vector<char>& inlier) {
  inlier.assign(pairs.size(), 0);
  int count = 0;
  for (size_t i = 0; i < pairs.size(); ++i)
    if (EpipolarDistance(F, pairs[i]) <= threshold) {
      inlier[i] = 1;
      ++count;
    }
  return count;
}

std::vector<PointPair> Selected(const std::vector<PointPair>& pairs, const std::vector<char>& keep) {
  std::vector<PointPair> chosen;
  for (size_t i = 0; i < pairs.size(); ++i)
    if (keep[i]) chosen.push_back(pairs[i]);
  return chosen;
}

}  // namespace

double EpipolarDistance(const Matrix3& F, const PointPair& pair) {
  const Vector3 m1(pair.x1, pair.y1, 1.0);
  const Vector3 m2(pair.x2, pair.y2, 1.0);
  const Vector3 l1 = F * m2;
  const Vector3 l2 = F.transpose() * m1;
  const double n1 = l1.head<2>().squaredNorm();
  const double n2 = l2.head<2>().squaredNorm();
  if (!(n1 > 0.0) || !(n2 > 0.0)) return std::numeric_limits<double>::infinity();
  const double algebraic = m1.dot(l1);
  const double d2 = 0.5 * (algebraic * algebraic / n1 + algebraic * algebraic / n2);
  return std::isfinite(d2) ? std::sqrt(d2) : std::numeric_limits<double>::infinity();
}

bool FitFundamental(const std::vector<PointPair>& pairs, Matrix3& F) {
  if (pairs.size() < static_cast<size_t>(kSampleSize)) return false;
  const Eigen::Index n = static_cast<Eigen::Index>(pairs.size());
  Matrix cam0(n, 2), cam1(n, 2);
  for (Eigen::Index i = 0; i < n; ++i) {
    const PointPair& p = pairs[static_cast<size_t>(i)];
    cam0.row(i) << p.x1, p.y1;
    cam1.row(i) << p.x2, p.y2;
  }
  try {
    const FundamentalEstimate estimate = calc_fmat3(cam0, cam1);
    if (estimate.F.rows() != 3 || estimate.F.cols() != 3 || !estimate.F.allFinite()) return false;
    F = estimate.F;
    return true;
  } catch (const NumericError&) {
    return false;
  }
}

EpipolarCheck CheckEpipolar(const std::vector<PointPair>& pairs,
                            const EpipolarCheckOptions& options) {
  EpipolarCheck check;
  check.inlier.assign(pairs.size(), 0);
  const int n = static_cast<int>(pairs.size());
  if (n < kSampleSize) return check;

  std::mt19937_64 random(options.seed);
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  double bestMedian = std::numeric_limits<double>::infinity();
  Matrix3 best = Matrix3::Zero();
  std::vector<PointPair> sample(kSampleSize);
  for (int trial = 0; trial < options.trials; ++trial) {
    // A partial shuffle draws nine distinct pairs.
    for (int k = 0; k < kSampleSize; ++k) {
      std::uniform_int_distribution<int> pick(k, n - 1);
      std::swap(order[static_cast<size_t>(k)], order[static_cast<size_t>(pick(random))]);
      sample[static_cast<size_t>(k)] = pairs[static_cast<size_t>(order[static_cast<size_t>(k)])];
    }
    Matrix3 F;
    if (!FitFundamental(sample, F)) continue;
    const double median = MedianOf(SquaredDistances(F, pairs));
    if (median < bestMedian) {
      bestMedian = median;
      best = F;
    }
  }
  if (!std::isfinite(bestMedian)) return check;

  // Robust deviation of the residuals (least-median-of-squares scale with its small-sample
  // correction), and the inlier limit of 2.5 deviations kept within sensible pixel bounds.
  const double sigma = 1.4826 * (1.0 + 5.0 / std::max(n - kSampleSize, 1)) * std::sqrt(bestMedian);
  check.threshold = std::clamp(2.5 * sigma, options.minThreshold, options.maxThreshold);
  std::vector<char> inlier;
  MarkInliers(best, pairs, check.threshold, inlier);

  Matrix3 refitted;
  if (FitFundamental(Selected(pairs, inlier), refitted)) {
    std::vector<char> refittedInlier;
    const int count = MarkInliers(refitted, pairs, check.threshold, refittedInlier);
    if (count >= std::count(inlier.begin(), inlier.end(), 1)) {
      best = refitted;
      inlier = std::move(refittedInlier);
    }
  }
  check.found = true;
  check.F = best;
  check.inlier = std::move(inlier);
  check.inlierCount = static_cast<int>(std::count(check.inlier.begin(), check.inlier.end(), 1));
  return check;
}

}  // namespace q3d
