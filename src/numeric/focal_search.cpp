#include "numeric/focal_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "numeric/euclidean_reconstruction.h"
#include "numeric/fundamental_matrix.h"
#include "numeric/motion_cost.h"
#include "base/diagnostics.h"

namespace q3d {

namespace {
// A uniform source draws a new index within a few tries; a source that keeps repeating
// itself (or leaves [0, 1)) must not hang the render.
constexpr int kMaxDrawsPerIndex = 10000;

// Keeps the list sorted by median (earlier trials first among equals), at most
// kKeptTrials long.
void KeepIfAmongBest(std::vector<ScoredTrial>& best, const EuclideanReconstruction& trial,
                     double median, int number) {
  if (!(median < kInitialBestMedian)) return;
  if (best.size() == kKeptTrials && !(median < best.back().median)) return;
  const auto at = std::upper_bound(
      best.begin(), best.end(), median,
      [](double value, const ScoredTrial& kept) { return value < kept.median; });
  best.insert(at, ScoredTrial{trial.Rcam2, trial.t2, trial.A1, trial.A2, median, number});
  if (best.size() > kKeptTrials) best.pop_back();
}
}  // namespace

std::array<Eigen::Index, numero_puntos> DrawSample(RandomSource& random, Eigen::Index n) {
  if (n < numero_puntos + 1) throw NumericError("Too few matches for a sample.");
  std::array<Eigen::Index, numero_puntos> selected;
  selected.fill(-1);
  for (int i = 0; i < numero_puntos; ++i) {
    int draws = 0;
    for (;;) {
      if (++draws > kMaxDrawsPerIndex) throw NumericError("The random source repeats itself.");
      const double u = random.Uniform();
      if (!(u >= 0 && u < 1)) continue;
      const auto j = static_cast<Eigen::Index>(std::floor(u * static_cast<double>(n)));
      if (std::find(selected.begin(), selected.begin() + i, j) == selected.begin() + i) {
        selected[i] = j;
        break;
      }
    }
  }
  return selected;
}

FocalLengths calc_f(const Matrix& F) {
  FocalLengths result;
  if (F.rows() != 3 || F.cols() != 3) throw NumericError("Matrix dimensions must agree.");
  // A non-finite matrix has no decomposition: treat it like a singular system.
  if (!F.allFinite()) {
    result.ret = -2;
    return result;
  }
  const Matrix3 Fm = F;
  const Eigen::JacobiSVD<Matrix3> svd(Fm, Eigen::ComputeFullU);
  const Matrix3& U = svd.matrixU();
  const Vector3& S = svd.singularValues();
  const Vector3 f3 = Fm.col(2);
  const Vector3 a = U.transpose() * f3;  // a(j) = u_j' f3
  const Vector3 b = U.row(2).transpose();  // b(j) = u_j' [0; 0; 1]

  Matrix3 system;
  system << a(0) * a(0), b(0) * b(0) + b(2) * b(2), 1,  //
      a(0) * a(1), b(0) * b(1), 0,                      //
      a(1) * a(1), b(1) * b(1) + b(2) * b(2), 1;
  const Vector3 rhs(S(0) * S(0), 0, S(1) * S(1));

  const Eigen::JacobiSVD<Matrix3> solve(system, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Vector3& s = solve.singularValues();
  if (s(0) == 0 || s(1) == 0 || s(2) == 0) {
    result.ret = -2;
    return result;
  }
  const Vector3 W =
      solve.matrixV() * s.cwiseInverse().asDiagonal() * solve.matrixU().transpose() * rhs;
  const double mu = -W(0);
  const double landa = W(2);
  const double v = W(1) / landa;
  if (v < -1 || mu < -1) {
    result.ret = -1;
    return result;
  }
  const double f2 = 1 / std::sqrt(1 + mu);
  const double f1 = std::sqrt(1 + v);
  // 1 + mu = 0, v = -1, landa = 0 or NaN coefficients leave no usable focal length.
  if (!(std::isfinite(f1) && std::isfinite(f2) && f1 > 0 && f2 > 0)) {
    result.ret = -1;
    return result;
  }
  result.f1 = f1;
  result.f2 = f2;
  return result;
}

FocalEstimate calc_focal_k(const Matrix& m1, const Matrix& m2, double k) {
  FundamentalEstimate estimate = calc_fmat3(m1, m2);
  FocalLengths focals;
  if (k != 1) {
    Matrix m1_k = m1, m2_k = m2;
    m1_k.col(1) /= k;
    m2_k.col(1) /= k;
    focals = calc_f(calc_fmat3(m1_k, m2_k).F);
  } else {
    focals = calc_f(estimate.F);
  }
  FocalEstimate result;
  result.f1 = focals.f1;
  result.f2 = focals.f2;
  result.ret = focals.ret;
  result.F = std::move(estimate.F);
  result.e1 = std::move(estimate.e1);
  result.e2 = std::move(estimate.e2);
  return result;
}

double MedianOf(Vector values) {
  const Eigen::Index n = values.size();
  if (n == 0 || values.hasNaN()) return std::numeric_limits<double>::quiet_NaN();
  double* begin = values.data();
  double* middle = begin + n / 2;
  std::nth_element(begin, middle, begin + n);
  if (n % 2 == 1) return *middle;
  const double upper = *middle;
  const double lower = *std::max_element(begin, middle);
  return (lower + upper) / 2;
}

FocalSearchResult LMedSFocales(const Matrix& m1, const Matrix& m2, RandomSource& random,
                               Progress* external_progress) {
  const Eigen::Index n = m1.rows();
  if (n < numero_puntos + 1 || m2.rows() != n || m1.cols() != 2 || m2.cols() != 2) {
    throw NumericError("The focal search needs at least 10 matches.");
  }
  FocalSearchResult result;
  ScopedProgress progress(external_progress);
  progress->SetStep("Rendering, please wait...");

  Matrix m1s(numero_puntos, 2), m2s(numero_puntos, 2);
  for (int trials = 0; trials <= number_of_trials; ++trials) {
    progress->SetPos(100 * trials / number_of_trials);
    const auto selected = DrawSample(random, n);
    for (int i = 0; i < numero_puntos; ++i) {
      m1s.row(i) = m1.row(selected[i]);
      m2s.row(i) = m2.row(selected[i]);
    }
    const FocalEstimate focals = calc_focal_k(m1s, m2s, 1);
    result.ret = focals.ret;
    if (focals.ret != 1) continue;

    EuclideanReconstruction trial =
        ReconstruccionEuclidea(m1, m2, n, focals.F, focals.f1, focals.f2, 1, 1);
    result.ret = trial.ret;
    // No reference match: no points to score, like a failed focal estimate.
    if (trial.ret < 0) continue;

    const double Median =
        MedianOf(ReprojectionDistances(m1, m2, trial.Xw, trial.A1, trial.A2, trial.Rcam2, trial.t2));
    KeepIfAmongBest(result.best_trials, trial, Median, trials);
    if (Median < result.best_median) {
      Diagf("%d", trials);
      Diagf("%g", Median);
      result.best_median = Median;
      result.best_trial = trials;
      result.XW = std::move(trial.Xw);
      result.Rcam = std::move(trial.Rcam2);
      result.t = std::move(trial.t2);
      result.A1 = std::move(trial.A1);
      result.A2 = std::move(trial.A2);
      result.E_rayos = std::move(trial.e_rayos);
    }
  }
  return result;
}

}  // namespace q3d
