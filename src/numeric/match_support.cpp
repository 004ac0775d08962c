#include "numeric/match_support.h"

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/focal_search.h"
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

std::vector<Eigen::Index> ExplainedRows(const Vector& dist, double median_factor) {
  const double threshold = std::max(median_factor * MedianOf(dist), kInlierFloorPx);
  std::vector<Eigen::Index> rows;
  for (Eigen::Index i = 0; i < dist.size(); ++i) {
    if (std::isfinite(dist(i)) && dist(i) <= threshold) rows.push_back(i);
  }
  return rows;
}

Matrix RowsOf(const Matrix& m, const std::vector<Eigen::Index>& rows) {
  Matrix selected(static_cast<Eigen::Index>(rows.size()), m.cols());
  for (size_t k = 0; k < rows.size(); ++k)
    selected.row(static_cast<Eigen::Index>(k)) = m.row(rows[k]);
  return selected;
}

Calibration FacingMatches(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Triangulation points = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t);
  const Eigen::Index in_front = (points.Xw.row(2).array() > 0).count();
  if (2 * in_front >= points.Xw.cols()) return c;
  Calibration mirrored = c;
  mirrored.t = -c.t;
  return mirrored;
}

namespace {
// Signed reprojection errors of the triangulated matches, 4 per match (image 1 x, y, image
// 2 x, y). Unlike the distances they are smooth where a match is reprojected exactly.
Vector ReprojectionErrors(const Matrix& vAo, const MotionParameters& p, const Matrix& m1,
                          const Matrix& m2, const Calibration& c) {
  const Calibration at = UnpackMotion(vAo, p.sign_t, p.sign_v, c.A1, c.A2);
  const Eigen::Index n = m1.rows();
  const Triangulation points = recons_ptos(m1, m2, n, at.A1, at.A2, at.Rcam, at.t);
  const Matrix p1 = proyec_pto_R(points.Xw, n, at.A1, Matrix::Zero(3, 1), Matrix::Identity(3, 3));
  const Matrix p2 = proyec_pto_R(points.Xw, n, at.A2, at.t, at.Rcam);
  Matrix errors(4, n);
  errors.topRows(2) = (m1 - p1).transpose();
  errors.bottomRows(2) = (m2 - p2).transpose();
  return errors.reshaped();
}
}  // namespace

Matrix MotionJacobian(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const MotionParameters p = PackMotion(c);
  if (!p.ok) return Matrix();
  Matrix J(4 * m1.rows(), 7);
  for (int j = 0; j < 7; ++j) {
    const double h = 1e-6 * std::max(std::abs(p.vAo(j)), 1.0);
    Matrix plus = p.vAo, minus = p.vAo;
    plus(j) += h;
    minus(j) -= h;
    J.col(j) = (ReprojectionErrors(plus, p, m1, m2, c) - ReprojectionErrors(minus, p, m1, m2, c)) /
               (2 * h);
  }
  return J;
}

Vector MatchLeverages(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  const Matrix J = MotionJacobian(m1, m2, c);
  if (J.size() == 0 || !J.allFinite()) return Vector::Zero(m1.rows());
  // Leverages are the squared row norms of an orthonormal basis of J's column space,
  // summed over each match's four rows.
  const Eigen::JacobiSVD<Matrix> svd(J, Eigen::ComputeThinU);
  const Vector& s = svd.singularValues();
  const double tolerance = s.size() > 0 ? s(0) * 1e-10 : 0;
  const Eigen::Index rank = (s.array() > tolerance).count();
  const Vector rows = svd.matrixU().leftCols(rank).rowwise().squaredNorm();
  return rows.reshaped(4, m1.rows()).colwise().sum().transpose();
}

FocalUncertainty FocalLengthUncertainty(const Matrix& m1, const Matrix& m2, const Calibration& c,
                                        double shared_ratio) {
  FocalUncertainty result;
  const Vector dist = ExplainedDistances(m1, m2, c);
  const std::vector<Eigen::Index> rows = ExplainedRows(dist, kInlierMedianFactor);
  const auto n = static_cast<Eigen::Index>(rows.size());
  if (n <= 7) return result;
  double sum_of_squares = 0;
  for (const Eigen::Index i : rows) sum_of_squares += dist(i) * dist(i);
  Matrix J = MotionJacobian(RowsOf(m1, rows), RowsOf(m2, rows), c);
  if (J.size() == 0 || !J.allFinite()) return result;
  if (shared_ratio > 0) {
    // One focal parameter: a change of f1 moves f2 by shared_ratio times as much.
    J.col(5) += shared_ratio * J.col(6);
    J.conservativeResize(Eigen::NoChange, 6);
  }
  const Eigen::Index parameters = J.cols();
  const double scatter = std::max(std::sqrt(sum_of_squares / static_cast<double>(n - parameters)),
                                  kLocalisationFloorPx);
  // Covariance = scatter^2 (J'J)^-1, from the SVD so that a free direction shows as such.
  const Eigen::JacobiSVD<Matrix> svd(J, Eigen::ComputeThinV);
  const Vector& s = svd.singularValues();
  if (s.size() < parameters || !(s(parameters - 1) > s(0) * 1e-12)) return result;
  const Matrix V = svd.matrixV();
  auto deviation = [&](Eigen::Index j) {
    return scatter * (V.row(j).transpose().array() / s.array()).matrix().norm();
  };
  result.f1 = deviation(5) / std::abs(c.A1(0, 0));
  result.f2 = shared_ratio > 0 ? result.f1 : deviation(6) / std::abs(c.A2(0, 0));
  return result;
}

}  // namespace q3d
