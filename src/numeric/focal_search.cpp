#include "numeric/focal_search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

#include "base/diagnostics.h"
#include "numeric/euclidean_reconstruction.h"
#include "numeric/fundamental_matrix.h"
#include "numeric/motion_cost.h"
#include "numeric/triangulation.h"

namespace q3d {

namespace {
// More threads than this gain little over the trials' own cost.
constexpr unsigned kMaxSearchThreads = 4;
// A uniform source draws a new index within a few tries; a source that keeps repeating
// itself (or leaves [0, 1)) must not hang the render.
constexpr int kMaxDrawsPerIndex = 10000;

// Keeps the list sorted by median (earlier trials first among equals), at most
// kKeptTrials long.
void KeepIfAmongBest(std::vector<ScoredTrial>& best, const EuclideanReconstruction& trial,
                     double median, int number) {
  if (!(median < kInitialBestMedian)) return;
  if (best.size() == kKeptTrials && !(median < best.back().median)) return;
  const auto at =
      std::upper_bound(best.begin(), best.end(), median,
                       [](double value, const ScoredTrial& kept) { return value < kept.median; });
  best.insert(at, ScoredTrial{trial.Rcam2, trial.t2, trial.A1, trial.A2, median, number});
  if (best.size() > kKeptTrials) best.pop_back();
}

using Sample = std::array<Eigen::Index, numero_puntos>;

// A trial's motion and score; `ret` is its status, as the search reports the last one.
struct Trial {
  int ret = 1;
  bool scored = false;
  double median = 0;
  EuclideanReconstruction motion;  // without points
};

double MedianDistance(const Matrix& m1, const Matrix& m2, const Matrix3& A1, const Matrix3& A2,
                      const Matrix3& R2, const Vector3& t2, Vector& distances);

// Runs trials on all matches with buffers of its own: one per thread.
class TrialRunner {
 public:
  TrialRunner(const Matrix& m1, const Matrix& m2)
      : m1_(m1), m2_(m2), m1s_(numero_puntos, 2), m2s_(numero_puntos, 2), distances_(m1.rows()) {}

  Trial Run(const Sample& selected) {
    for (int i = 0; i < numero_puntos; ++i) {
      m1s_.row(i) = m1_.row(selected[i]);
      m2s_.row(i) = m2_.row(selected[i]);
    }
    Trial trial;
    const FocalEstimate focals = calc_focal_k(m1s_, m2s_, 1);
    trial.ret = focals.ret;
    if (focals.ret != 1) return trial;
    trial.motion =
        ReconstruccionEuclidea(m1_, m2_, m1_.rows(), focals.F, focals.f1, focals.f2, 1, 1, false);
    trial.ret = trial.motion.ret;
    // No reference match: no points to score, like a failed focal estimate.
    if (trial.ret < 0) return trial;
    const EuclideanReconstruction& m = trial.motion;
    trial.median = MedianDistance(m1_, m2_, m.A1, m.A2, m.Rcam2, m.t2, distances_);
    trial.scored = true;
    return trial;
  }

 private:
  const Matrix& m1_;
  const Matrix& m2_;
  Matrix m1s_, m2s_;
  Vector distances_;
};

// Every trial, shared among the processor's cores; this thread takes its share too and
// reports the progress, one position per trial done, as the trials finish. An exception in
// any thread reaches the caller.
void RunTrialsInParallel(const Matrix& m1, const Matrix& m2, const std::vector<Sample>& samples,
                         std::vector<Trial>& trials, Progress& progress) {
  const int count = static_cast<int>(samples.size());
  std::atomic<int> next = 0, done = 0;
  int reported = 0;
  const auto report_up_to = [&](int finished) {
    for (; reported < finished; ++reported) progress.SetPos(100 * reported / (count - 1));
  };
  const auto work = [&](bool reporter) {
    TrialRunner runner(m1, m2);
    for (int number; (number = next++) < count;) {
      trials[number] = runner.Run(samples[number]);
      const int finished = ++done;
      if (reporter) report_up_to(finished);
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const int helpers = static_cast<int>(std::min(cores, kMaxSearchThreads)) - 1;
  std::vector<std::exception_ptr> failures(helpers + 1);
  std::vector<std::thread> threads;
  for (int k = 0; k < helpers; ++k)
    threads.emplace_back([&, k] {
      try {
        work(false);
      } catch (...) {
        failures[k + 1] = std::current_exception();
        next = count;
      }
    });
  try {
    work(true);
  } catch (...) {
    failures[0] = std::current_exception();
    next = count;
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  report_up_to(count);
}

// The median of the matches' reprojection distances (both images summed) when each is
// triangulated under the trial's motion: what recons_ptos and ReprojectionDistances give,
// in one pass without temporaries, for it runs on every match of every trial.
double MedianDistance(const Matrix& m1, const Matrix& m2, const Matrix3& A1, const Matrix3& A2,
                      const Matrix3& R2, const Vector3& t2, Vector& distances) {
  const Matrix3 identity = Matrix3::Identity();
  const Matrix3 R2t = R2.transpose();
  const Vector3 origin = Vector3::Zero();
  const double cx1 = std::abs(A1(0, 0)), cy1 = std::abs(A1(1, 1));
  const double cx2 = std::abs(A2(0, 0)), cy2 = std::abs(A2(1, 1));
  for (Eigen::Index i = 0; i < m1.rows(); ++i) {
    const Vector2 p1(m1(i, 0), m1(i, 1)), p2(m2(i, 0), m2(i, 1));
    const RayIntersection hit =
        intersecta_rayos(calc_dir_rayo(p1, A1, identity), calc_dir_rayo(p2, A2, R2), origin, t2);
    const Vector3 X = hit.has_point ? hit.Xw : origin;
    const Vector2 e1 = p1 - ProjectPoint(X, identity, origin, A1(0, 2), A1(1, 2), cx1, cy1);
    const Vector2 e2 = p2 - ProjectPoint(X, R2t, t2, A2(0, 2), A2(1, 2), cx2, cy2);
    distances(i) = e1.norm() + e2.norm();
  }
  return MedianOf(distances);
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
  const Vector3 a = U.transpose() * f3;    // a(j) = u_j' f3
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

  // The samples are drawn first, in trial order, so that how the trials are shared among
  // threads changes nothing: the same source gives the same search.
  constexpr int kTrials = number_of_trials + 1;
  std::vector<Sample> samples(kTrials);
  for (Sample& sample : samples) sample = DrawSample(random, n);
  std::vector<Trial> trials(kTrials);
  const auto keep = [&](int number) {
    Trial& trial = trials[number];
    result.ret = trial.ret;
    if (!trial.scored) return;
    EuclideanReconstruction& motion = trial.motion;
    KeepIfAmongBest(result.best_trials, motion, trial.median, number);
    if (trial.median < result.best_median) {
      Diagf("%d", number);
      Diagf("%g", trial.median);
      Triangulation points = recons_ptos(m1, m2, n, motion.A1, motion.A2, motion.Rcam2, motion.t2);
      result.best_median = trial.median;
      result.best_trial = number;
      result.XW = std::move(points.Xw);
      result.Rcam = std::move(motion.Rcam2);
      result.t = std::move(motion.t2);
      result.A1 = std::move(motion.A1);
      result.A2 = std::move(motion.A2);
      result.E_rayos = std::move(points.e_rayos);
    }
  };
  // A diagnostic trace reads in trial order: then the trials run one after the other.
  if (DiagnosticsEnabled()) {
    TrialRunner runner(m1, m2);
    for (int number = 0; number < kTrials; ++number) {
      progress->SetPos(100 * number / number_of_trials);
      trials[number] = runner.Run(samples[number]);
      keep(number);
    }
    return result;
  }
  RunTrialsInParallel(m1, m2, samples, trials, *progress);
  for (int number = 0; number < kTrials; ++number) keep(number);
  return result;
}

}  // namespace q3d
