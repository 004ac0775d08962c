#pragma once
// Focal lengths of two uncalibrated cameras (principal points at the image centres,
// square pixels) by a least-median-of-squares random search over 9-match samples: each
// trial estimates F from its sample, derives both focal lengths in closed form,
// reconstructs all matches and is scored by the median reprojection error.
#include <array>
#include <vector>

#include "numeric/matrix.h"
#include "numeric/random_source.h"
#include "base/progress.h"

namespace q3d {

constexpr int numero_puntos = 9;
constexpr int number_of_trials = 400;  // last trial number: trials 0..400 run
constexpr double kInitialBestMedian = 9999999999.0;

struct FocalLengths {
  double f1 = 1;
  double f2 = 1;
  int ret = 1;  // 1, -1 imaginary (or undefined) focal length, -2 singular system
};
// Focal lengths of a fundamental matrix in centred coordinates (m1' F m2 = 0).
FocalLengths calc_f(const Matrix& F);

struct FocalEstimate {
  double f1 = 1, f2 = 1;
  Matrix F, e1, e2;
  int ret = 1;
};
// k is the aspect ratio: with k != 1 the focal lengths come from the y-scaled points, F and
// the epipoles always from the given ones.
FocalEstimate calc_focal_k(const Matrix& m1, const Matrix& m2, double k);

// A successful trial's calibration and score.
struct ScoredTrial {
  Matrix Rcam, t, A1, A2;
  double median = 0;
  int trial = 0;
};
constexpr int kKeptTrials = 5;

struct FocalSearchResult {
  Matrix XW;       // 3 x n points of the winning trial
  int ret = 1;     // status of the last trial
  Matrix Rcam, t, A1, A2;
  Matrix E_rayos;  // n x 1
  double best_median = kInitialBestMedian;
  int best_trial = -1;  // -1 when no trial succeeded (the matrices are then empty)
  // The kKeptTrials best-scoring trials, best first (starting points for a refinement).
  std::vector<ScoredTrial> best_trials;
};

// m1, m2: n x 2 centred points, n >= 10 (fewer raise NumericError). Reports progress
// through `progress` (or a reporter of its own), which is destroyed on every path.
FocalSearchResult LMedSFocales(const Matrix& m1, const Matrix& m2, RandomSource& random,
                               Progress* progress = nullptr);

// Nine distinct match rows (0-based) drawn uniformly from all n matches. Raises NumericError when
// the source keeps failing to give a new row.
std::array<Eigen::Index, numero_puntos> DrawSample(RandomSource& random, Eigen::Index n);

// Median of the values; NaN when any value is NaN, the mean of the middle two for an even
// count.
double MedianOf(Vector values);

}  // namespace q3d
