#include "numeric/motion_refinement.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/focal_search.h"
#include "numeric/least_squares.h"
#include "numeric/motion_cost.h"
#include "numeric/rotation.h"
#include "numeric/triangulation.h"

namespace q3d {

namespace {
constexpr int kMaxRounds = 4;

double SignOrOne(double x) { return x < 0 ? -1.0 : 1.0; }

double PlainCost(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  return ReprojectionDistances(m1, m2, points.Xw, c.A1, c.A2, c.Rcam, c.t).squaredNorm();
}

std::vector<Eigen::Index> InlierRows(const Vector& dist, double median_factor,
                                     const std::vector<bool>& dropped) {
  std::vector<Eigen::Index> rows = ExplainedRows(dist, median_factor);
  std::erase_if(rows, [&](Eigen::Index i) { return dropped[static_cast<size_t>(i)]; });
  return rows;
}

// One least-squares run from `from`; the end point, turned towards the matches.
std::optional<Calibration> RefineFrom(const Matrix& m1, const Matrix& m2, const Calibration& from) {
  const MotionParameters p = PackMotion(from);
  if (!p.ok) return std::nullopt;
  OptionVector options;
  options(2) = 1e-10;
  options(3) = 1e-10;
  options(14) = 2000;
  const CostArgs args = {m1,
                         m2,
                         Matrix::Constant(1, 1, static_cast<double>(m1.rows())),
                         Matrix::Constant(1, 1, p.sign_t),
                         Matrix::Constant(1, 1, p.sign_v),
                         from.A1,
                         from.A2,
                         Matrix::Constant(1, 1, 1.0)};
  const LeastSquaresResult fit = leastsq("travolen_back_motion", p.vAo, options, "", args);
  const Calibration refined = UnpackMotion(fit.x, p.sign_t, p.sign_v, from.A1, from.A2);
  // Keep the calibration's sign convention (negative focal entries).
  if (!(refined.A1(0, 0) < 0 && refined.A2(0, 0) < 0)) return std::nullopt;
  return FacingMatches(m1, m2, refined);
}

// Rounds of selection and refinement while the selection changes. Gives the last selection.
std::vector<Eigen::Index> SelectAndRefine(const Matrix& m1, const Matrix& m2,
                                          const std::vector<bool>& dropped,
                                          double first_round_factor, RefinedCalibration& result) {
  std::vector<Eigen::Index> previous;
  for (int round = 0; round < kMaxRounds; ++round) {
    const double factor = round == 0 ? first_round_factor : kInlierMedianFactor;
    const std::vector<Eigen::Index> rows =
        InlierRows(ExplainedDistances(m1, m2, result.calibration), factor, dropped);
    if (rows == previous || rows.size() < static_cast<size_t>(numero_puntos)) break;
    previous = rows;
    const std::optional<Calibration> refined =
        RefineOnMatches(RowsOf(m1, rows), RowsOf(m2, rows), result.calibration);
    if (refined) {
      result.calibration = *refined;
      result.refined = true;
      result.inliers = static_cast<int>(rows.size());
    } else if (round > 0) {
      break;
    }
  }
  return previous;
}

struct UnsupportedMatch {
  Eigen::Index row = -1;
  Calibration fit_without;
};

// Leaves out each of the selected matches with the highest leverage in turn; the first
// one the fit without it would not select.
std::optional<UnsupportedMatch> FindUnsupportedMatch(const Matrix& m1, const Matrix& m2,
                                                     const std::vector<Eigen::Index>& rows,
                                                     const Calibration& c) {
  const Vector leverage = MatchLeverages(RowsOf(m1, rows), RowsOf(m2, rows), c);
  std::vector<size_t> order(rows.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  const size_t checks = std::min<size_t>(kLeverageChecks, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(checks), order.end(),
                    [&](size_t a, size_t b) {
                      return leverage(static_cast<Eigen::Index>(a)) >
                             leverage(static_cast<Eigen::Index>(b));
                    });
  for (size_t k = 0; k < checks; ++k) {
    std::vector<Eigen::Index> others = rows;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(order[k]));
    const Calibration without = RefineFrom(RowsOf(m1, others), RowsOf(m2, others), c).value_or(c);
    const Vector dist = ExplainedDistances(m1, m2, without);
    Vector others_dist(static_cast<Eigen::Index>(others.size()));
    for (size_t j = 0; j < others.size(); ++j)
      others_dist(static_cast<Eigen::Index>(j)) = dist(others[j]);
    const Eigen::Index row = rows[order[k]];
    const double limit = std::max(kInlierMedianFactor * MedianOf(others_dist), kInlierFloorPx);
    if (!(dist(row) <= limit)) return UnsupportedMatch{row, without};
  }
  return std::nullopt;
}
}  // namespace

MotionParameters PackMotion(const Calibration& c) {
  MotionParameters p;
  const double t3 = c.t(2);
  const Vector4 q = QuaternionOfRotation(c.Rcam);
  const double half_sine = q.tail<3>().norm();
  const double teta = 2 * std::atan2(half_sine, q(0));
  // Angle 0 has no axis: any axis with a non-zero third component will do.
  const Vector3 axis = half_sine > 0 ? Vector3(q.tail<3>() / half_sine) : Vector3(0, 0, 1);
  if (t3 == 0 || axis(2) == 0 || !std::isfinite(t3)) return p;
  p.sign_t = SignOrOne(t3);
  p.sign_v = SignOrOne(axis(2));
  p.vAo.resize(7, 1);
  p.vAo << c.t(0) / std::abs(t3), c.t(1) / std::abs(t3), teta, axis(0) / std::abs(axis(2)),
      axis(1) / std::abs(axis(2)), c.A1(0, 0), c.A2(0, 0);
  p.ok = p.vAo.allFinite();
  return p;
}

Calibration UnpackMotion(const Matrix& vAo, double sign_t, double sign_v, const Matrix& A1,
                         const Matrix& A2) {
  Calibration c;
  c.t = Vector3(vAo(0), vAo(1), sign_t);
  c.Rcam = calc_R_from_teta(vAo(2), Vector3(vAo(3), vAo(4), sign_v).normalized());
  c.A1 = A1;
  c.A1(0, 0) = vAo(5);
  c.A1(1, 1) = vAo(5);
  c.A2 = A2;
  c.A2(0, 0) = vAo(6);
  c.A2(1, 1) = vAo(6);
  return c;
}

std::optional<Calibration> RefineOnMatches(const Matrix& m1, const Matrix& m2,
                                           const Calibration& start) {
  // t(3) is held at +-1, so the search cannot move the translation across t(3) = 0. With a
  // small forward component noise often gives the wrong sign of t(3); the refinement is
  // therefore also started with that sign flipped, and the better end point is kept.
  Calibration flipped = start;
  flipped.t(2) = -start.t(2);
  double best_cost = PlainCost(m1, m2, start);
  std::optional<Calibration> best;
  for (const Calibration* from : {&start, static_cast<const Calibration*>(&flipped)}) {
    const std::optional<Calibration> refined = RefineFrom(m1, m2, *from);
    if (!refined) continue;
    const double cost = PlainCost(m1, m2, *refined);
    if (cost < best_cost) {
      best_cost = cost;
      best = refined;
    }
  }
  return best;
}

RefinedCalibration RefineMotionAndFocals(const Matrix& m1, const Matrix& m2,
                                         const Calibration& start) {
  RefinedCalibration result;
  result.calibration = FacingMatches(m1, m2, start);
  std::vector<bool> dropped(static_cast<size_t>(m1.rows()), false);
  double first_round_factor = kFirstRoundMedianFactor;
  for (int pass = 0; pass <= kLeverageChecks; ++pass) {
    const std::vector<Eigen::Index> rows =
        SelectAndRefine(m1, m2, dropped, first_round_factor, result);
    if (!result.refined || rows.size() <= static_cast<size_t>(numero_puntos)) break;
    const std::optional<UnsupportedMatch> unsupported =
        FindUnsupportedMatch(m1, m2, rows, result.calibration);
    if (!unsupported) break;
    dropped[static_cast<size_t>(unsupported->row)] = true;
    result.calibration = unsupported->fit_without;
    first_round_factor = kInlierMedianFactor;  // the next start is itself a refined fit
  }
  const Calibration& c = result.calibration;
  Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  result.XW = std::move(points.Xw);
  result.E_rayos = std::move(points.e_rayos);
  return result;
}

}  // namespace q3d
