#include "numeric/fundamental_matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/least_squares.h"

namespace q3d {

namespace {
using DesignMatrix = Eigen::Matrix<double, Eigen::Dynamic, 9>;

// Fills a 3 x 3 matrix row by row from a nine-vector.
Matrix3 FromNine(const Vector9& f) {
  Matrix3 F;
  F << f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7), f(8);
  return F;
}

// Moves the centroid of the points to the origin and scales each axis to unit
// (population) standard deviation.
Matrix3 NormalisingTransform(const Matrix& cam) {
  const double n = static_cast<double>(cam.rows());
  const double cgx = cam.col(0).mean();
  const double cgy = cam.col(1).mean();
  const double sx = std::sqrt((cam.col(0).array() - cgx).square().sum() / n);
  const double sy = std::sqrt((cam.col(1).array() - cgy).square().sum() / n);
  Matrix3 T;
  T << 1 / sx, 0, -cgx / sx, 0, 1 / sy, -cgy / sy, 0, 0, 1;
  return T;
}

double LargestSingularValue(const Matrix3& M) {
  return Eigen::JacobiSVD<Matrix3>(M).singularValues()(0);
}

FundamentalEstimate NonFiniteEstimate() {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  FundamentalEstimate result;
  result.F = Matrix::Constant(3, 3, nan);
  result.e1 = Matrix::Constant(2, 1, nan);
  result.e2 = Matrix::Constant(2, 1, nan);
  result.dist_media = nan;
  return result;
}
}  // namespace

FundamentalEstimate calc_fmat3(const Matrix& cam0, const Matrix& cam1) {
  const Eigen::Index filas = cam0.rows();
  if (filas < 9 || cam1.rows() != filas || cam0.cols() < 2 || cam1.cols() < 2) {
    throw NumericError("Index exceeds matrix dimensions.");
  }
  const Matrix3 T0 = NormalisingTransform(cam0);
  const Matrix3 T1 = NormalisingTransform(cam1);

  Matrix X(filas, 4);
  DesignMatrix A(filas, 9);
  for (Eigen::Index i = 0; i < filas; ++i) {
    const Vector3 p = T0 * Vector3(cam0(i, 0), cam0(i, 1), 1);
    const Vector3 q = T1 * Vector3(cam1(i, 0), cam1(i, 1), 1);
    X.row(i) << p(0), p(1), q(0), q(1);
    A.row(i) << q(0) * p(0), q(1) * p(0), p(0), q(0) * p(1), q(1) * p(1), p(1), q(0), q(1), 1;
  }
  // Coincident points leave no spread to normalise by; the result is not finite.
  if (!A.allFinite()) return NonFiniteEstimate();

  // The right singular vectors of A and its singular values are the eigenvectors of A'A
  // and the square roots of its eigenvalues (ascending): much cheaper than an SVD of A for
  // the many 9-point samples and for long match lists, and accurate enough because the
  // points are normalised.
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix<double, 9, 9>> eigen(A.transpose() * A);
  const Vector9 v8 = eigen.eigenvectors().col(1).normalized();
  const Vector9 v9 = eigen.eigenvectors().col(0).normalized();
  const double s8 = std::sqrt(std::max(eigen.eigenvalues()(1), 0.0));
  const double s9 = std::sqrt(std::max(eigen.eigenvalues()(0), 0.0));
  double xo = estimado_alfa(v8, v9, s8, s9);

  OptionVector options;
  options(2) = 1e-6;
  options(3) = 1e-6;
  options(5) = 1;
  options(14) = 400;
  xo = leastsq("dist_epi2", Matrix::Constant(1, 1, xo), options, "grad_alfa", {X, v8, v9}).x(0);

  const Vector9 f = (v8 * xo + v9 * (1 - xo)).normalized();
  Matrix3 Fn = FromNine(f);

  // Rank 2.
  const Eigen::JacobiSVD<Matrix3> rank(Fn, Eigen::ComputeFullU | Eigen::ComputeFullV);
  Vector3 s = rank.singularValues();
  s(2) = 0;
  Fn = rank.matrixU() * s.asDiagonal() * rank.matrixV().transpose();

  // Back to pixels.
  Matrix3 F = T0.transpose() * Fn * T1;
  F /= LargestSingularValue(F);

  FundamentalEstimate result;
  result.F = F;
  Epipoles epipoles = calc_epipolos(result.F);
  result.e1 = std::move(epipoles.e1);
  result.e2 = std::move(epipoles.e2);
  result.dist_media = dist_avg2(result.F, cam0, cam1);
  return result;
}

double estimado_alfa(const Vector9&, const Vector9&, double s8, double s9) {
  return s9 / (s8 + s9);
}

Vector dist_epi2(double alfa, const Matrix& x, const Vector9& v8, const Vector9& v9) {
  const Matrix3 F = FromNine(v8 * alfa + v9 * (1 - alfa));
  Vector dist_acum(x.rows());
  for (Eigen::Index i = 0; i < x.rows(); ++i) {
    const Vector3 m1(x(i, 0), x(i, 1), 1);
    const Vector3 m2(x(i, 2), x(i, 3), 1);
    const Vector3 l1 = F * m2;
    const Vector3 l2 = F.transpose() * m1;
    const double w = std::sqrt(1 / (l2(0) * l2(0) + l2(1) * l2(1)) +
                               1 / (l1(0) * l1(0) + l1(1) * l1(1)));
    dist_acum(i) = m1.dot(l1) * w;
  }
  return dist_acum;
}

Matrix grad_alfa(double alfa, const Matrix& x, const Vector9& v8, const Vector9& v9) {
  const Matrix3 F = FromNine(v8 * alfa + v9 * (1 - alfa));
  const Matrix3 D = FromNine(v8) - FromNine(v9);  // dF / dalfa
  Matrix grad_x(1, x.rows());
  for (Eigen::Index i = 0; i < x.rows(); ++i) {
    const Vector3 m1(x(i, 0), x(i, 1), 1);
    const Vector3 m2(x(i, 2), x(i, 3), 1);
    const Vector3 l1 = F * m2;
    const Vector3 l2 = F.transpose() * m1;
    const double L1 = l1(0) * l1(0) + l1(1) * l1(1);
    const double L2 = l2(0) * l2(0) + l2(1) * l2(1);
    const double w = std::sqrt(1 / L2 + 1 / L1);
    const double d_l1 = D.row(0).dot(m2);
    const double d_l2 = D.row(1).dot(m2);
    const double d_lp1 = D.col(0).dot(m1);
    const double d_lp2 = D.col(1).dot(m1);
    const double h = m1.dot(l1);
    const double dh_alfa = m1.dot(D * m2);
    const double dw_dalfa =
        -(1 / w) * ((l1(0) * d_l1 + l1(1) * d_l2) / (L1 * L1) + (l2(0) * d_lp1 + l2(1) * d_lp2) / (L2 * L2));
    grad_x(0, i) = dh_alfa * w + h * dw_dalfa;
  }
  return grad_x;
}

Epipoles calc_epipolos(const Matrix& F) {
  const double D = F(0, 0) * F(1, 1) - F(0, 1) * F(1, 0);
  Epipoles epipoles;
  epipoles.e2.resize(2, 1);
  epipoles.e2 << (F(0, 1) * F(1, 2) - F(0, 2) * F(1, 1)) / D,
      (F(0, 2) * F(1, 0) - F(0, 0) * F(1, 2)) / D;
  epipoles.e1.resize(2, 1);
  epipoles.e1 << (F(1, 0) * F(2, 1) - F(2, 0) * F(1, 1)) / D,
      (F(0, 1) * F(2, 0) - F(0, 0) * F(2, 1)) / D;
  return epipoles;
}

double dist_avg2(const Matrix& F, const Matrix& cam1, const Matrix& cam2) {
  const Matrix3 Fm = F;
  const Eigen::Index n = cam1.rows();
  double sum0 = 0, sum1 = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const Vector3 p1(cam1(i, 0), cam1(i, 1), 1);
    const Vector3 p2(cam2(i, 0), cam2(i, 1), 1);
    const Vector3 Lp = Fm.transpose() * p1;  // line in image 2
    const Vector3 L = Fm * p2;               // line in image 1
    const double dist1 = p2.dot(Lp) / std::sqrt(Lp(0) * Lp(0) + Lp(1) * Lp(1));
    const double dist0 = p1.dot(L) / std::sqrt(L(0) * L(0) + L(1) * L(1));
    sum0 += dist0 * dist0;
    sum1 += dist1 * dist1;
  }
  const double dist_epi1 = std::sqrt(sum0 / static_cast<double>(n));
  const double dist_epi2 = std::sqrt(sum1 / static_cast<double>(n));
  return 0.5 * (dist_epi1 + dist_epi2);
}

}  // namespace q3d
