#include "numeric/match_support.h"

#include <cmath>
#include <limits>

#include "numeric/motion_cost.h"
#include "numeric/motion_refinement.h"
#include "numeric/triangulation.h"

namespace q3d {

Vector ExplainedDistances(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  Vector dist = ReprojectionDistances(m1, m2, points.Xw, c.A1, c.A2, c.Rcam, c.t);
  const Matrix3 R = c.Rcam;
  const Vector3 t = c.t;
  for (Eigen::Index i = 0; i < dist.size(); ++i) {
    const Vector3 X = points.Xw.col(i);
    const double depth2 = R.col(2).dot(X - t);
    if (!(X(2) > 0 && depth2 > 0)) dist(i) = std::numeric_limits<double>::infinity();
  }
  return dist;
}

Calibration FacingMatches(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  const Eigen::Index in_front = (points.Xw.row(2).array() > 0).count();
  if (2 * in_front >= points.Xw.cols()) return c;
  Calibration mirrored = c;
  mirrored.t = -c.t;
  return mirrored;
}

Vector MatchLeverages(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Eigen::Index n = m1.rows();
  const MotionParameters p = PackMotion(c);
  if (!p.ok) return Vector::Zero(n);
  auto residuals = [&](const Matrix& x) {
    return travolen_back_motion(x, m1, m2, p.sign_t, p.sign_v, c.A1, c.A2, 1);
  };
  Matrix J(n, 7);
  for (int j = 0; j < 7; ++j) {
    const double h = 1e-6 * std::max(std::abs(p.vAo(j)), 1.0);
    Matrix plus = p.vAo, minus = p.vAo;
    plus(j) += h;
    minus(j) -= h;
    J.col(j) = (residuals(plus) - residuals(minus)) / (2 * h);
  }
  if (!J.allFinite()) return Vector::Zero(n);
  // Leverages are the squared row norms of an orthonormal basis of J's column space.
  const Eigen::JacobiSVD<Matrix> svd(J, Eigen::ComputeThinU);
  const Vector& s = svd.singularValues();
  const double tolerance = s.size() > 0 ? s(0) * 1e-10 : 0;
  const Eigen::Index rank = (s.array() > tolerance).count();
  return svd.matrixU().leftCols(rank).rowwise().squaredNorm();
}

}  // namespace q3d
