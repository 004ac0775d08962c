#include "numeric/motion_cost.h"

#include "numeric/rotation.h"
#include "numeric/triangulation.h"

namespace q3d {

Vector travolen_back_motion(const Matrix& vAo, const Matrix& m1, const Matrix& m2,
                            double sign_t, double sign_v, const Matrix& Ao1, const Matrix& Ao2,
                            double k) {
  if (vAo.size() != 7 || Ao1.rows() != 3 || Ao1.cols() != 3 || Ao2.rows() != 3 ||
      Ao2.cols() != 3) {
    throw NumericError("Index exceeds matrix dimensions.");
  }
  const Eigen::Index nptos = m1.rows();
  Matrix A1 = Ao1, A2 = Ao2;
  A1(0, 0) = vAo(5);
  A1(1, 1) = vAo(5) * k;
  A2(0, 0) = vAo(6);
  A2(1, 1) = vAo(6) * k;
  const Vector3 t(vAo(0), vAo(1), sign_t);
  const Vector3 v = Vector3(vAo(3), vAo(4), sign_v).normalized();
  const Matrix R = calc_R_from_teta(vAo(2), v);
  const Matrix tm = t;
  const Triangulation points =
      triangulacion(m1, m2, nptos, A1, A2, Matrix::Identity(3, 3), Matrix::Zero(3, 1), R, tm);
  return ReprojectionDistances(m1, m2, points.Xw, A1, A2, R, tm);
}

Vector ReprojectionDistances(const Matrix& m1, const Matrix& m2, const Matrix& Xw,
                             const Matrix& A1, const Matrix& A2, const Matrix& R2,
                             const Matrix& t2) {
  const Eigen::Index n = Xw.cols();
  const Matrix m1p = proyec_pto_R(Xw, n, A1, Matrix::Zero(3, 1), Matrix::Identity(3, 3));
  const Matrix m2p = proyec_pto_R(Xw, n, A2, t2, R2);
  const Vector d1 = (m1.topRows(n) - m1p).rowwise().norm();
  const Vector d2 = (m2.topRows(n) - m2p).rowwise().norm();
  return d1 + d2;
}

}  // namespace q3d
