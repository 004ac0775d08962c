#include "numeric/triangulation.h"

#include <cmath>

#include "base/diagnostics.h"

namespace q3d {

namespace {
void RequireShape(const Matrix& m, Eigen::Index rows, Eigen::Index cols) {
  if (m.rows() != rows || m.cols() != cols) throw NumericError("Matrix dimensions must agree.");
}

void RequirePoints(const Matrix& m, Eigen::Index nptos) {
  if (m.rows() < nptos || m.cols() < 2) throw NumericError("Index exceeds matrix dimensions.");
}
}  // namespace

Vector3 calc_dir_rayo(const Vector2& m, const Matrix3& A, const Matrix3& R) {
  const Vector3 x((m(0) - A(0, 2)) / A(0, 0), (m(1) - A(1, 2)) / A(1, 1), 1);
  const Vector3 xw = R * x;
  return xw / xw.norm();
}

RayIntersection intersecta_rayos(const Vector3& dl1, const Vector3& dl2, const Vector3& t1,
                                 const Vector3& t2) {
  RayIntersection result;
  const double c = dl1.dot(dl2);
  const double a = 1 - c * c;
  if (std::abs(c) >= std::cos(ANGULO_MINIMO)) {
    Diag("Error de angulo minimo");
    result.error_ = -1;
    return result;
  }
  const Vector3 d = t2 - t1;
  const double b1 = dl1.dot(d), b2 = dl2.dot(d);
  const double lambda1 = (b1 - c * b2) / a;
  const double lambda2 = (c * b1 - b2) / a;
  const Vector3 Xw_cam1 = t1 + lambda1 * dl1;
  const Vector3 Xw_cam2 = t2 + lambda2 * dl2;
  result.e = (Xw_cam1 - Xw_cam2).norm();
  result.Xw = 0.5 * (Xw_cam1 + Xw_cam2);
  result.has_point = true;
  if (lambda1 < 0 || lambda2 < 0) result.error_ = -1;
  return result;
}

Matrix proyec_pto_R(const Matrix& X, Eigen::Index nptos, const Matrix& A, const Matrix& Xco,
                    const Matrix& R) {
  RequireShape(A, 3, 3);
  RequireShape(R, 3, 3);
  RequireShape(Xco, 3, 1);
  if (X.rows() != 3 || X.cols() < nptos) throw NumericError("Index exceeds matrix dimensions.");
  const Matrix3 Rt = Matrix3(R).transpose();
  const Vector3 centre = Xco;
  const double xo = A(0, 2), yo = A(1, 2);
  const double cx = std::abs(A(0, 0)), cy = std::abs(A(1, 1));
  Matrix m(nptos, 2);
  for (Eigen::Index i = 0; i < nptos; ++i)
    m.row(i) = ProjectPoint(X.col(i), Rt, centre, xo, yo, cx, cy).transpose();
  return m;
}

Triangulation triangulacion(const Matrix& m1, const Matrix& m2, Eigen::Index nptos,
                            const Matrix& A1, const Matrix& A2, const Matrix& R1, const Matrix& t1,
                            const Matrix& R2, const Matrix& t2) {
  for (const Matrix* m : {&A1, &A2, &R1, &R2}) RequireShape(*m, 3, 3);
  RequireShape(t1, 3, 1);
  RequireShape(t2, 3, 1);
  RequirePoints(m1, nptos);
  RequirePoints(m2, nptos);
  const Matrix3 a1 = A1, a2 = A2, r1 = R1, r2 = R2;
  const Vector3 c1 = t1, c2 = t2;
  Triangulation result;
  result.Xw = Matrix::Zero(3, nptos);
  result.e_rayos = Matrix::Zero(nptos, 1);
  for (Eigen::Index i = 0; i < nptos; ++i) {
    const Vector3 dlx_cam1 = calc_dir_rayo(Vector2(m1(i, 0), m1(i, 1)), a1, r1);
    const Vector3 dlx_cam2 = calc_dir_rayo(Vector2(m2(i, 0), m2(i, 1)), a2, r2);
    const RayIntersection hit = intersecta_rayos(dlx_cam1, dlx_cam2, c1, c2);
    if (hit.has_point) result.Xw.col(i) = hit.Xw;
    result.e_rayos(i) = hit.e;
  }
  return result;
}

Triangulation recons_ptos(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, const Matrix& A1,
                          const Matrix& A2, const Matrix& R2, const Matrix& t2) {
  return triangulacion(m1, m2, nptos, A1, A2, Matrix::Identity(3, 3), Matrix::Zero(3, 1), R2, t2);
}

}  // namespace q3d
