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
double SignOrOne(double x) { return x < 0 ? -1.0 : 1.0; }

double PlainCost(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  return ReprojectionDistances(m1, m2, points.Xw, c.A1, c.A2, c.Rcam, c.t).squaredNorm();
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

}  // namespace q3d
