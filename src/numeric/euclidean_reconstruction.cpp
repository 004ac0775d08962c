#include "numeric/euclidean_reconstruction.h"

#include <cmath>

#include "numeric/fundamental_matrix.h"
#include "numeric/rotation.h"
#include "numeric/triangulation.h"

namespace q3d {

namespace {
Matrix3 Calibration(double f, double k) {
  Matrix3 A;
  A << -f, 0, 0, 0, -f * k, 0, 0, 0, 1;
  return A;
}

// Index of the smallest value, the first of equal minima.
template <typename Values>
Eigen::Index IndexOfSmallest(const Values& values) {
  Eigen::Index best = 0;
  for (Eigen::Index i = 1; i < values.size(); ++i) {
    if (values(i) < values(best)) best = i;
  }
  return best;
}

void RequirePoints(const Matrix& m, Eigen::Index nptos) {
  if (nptos < 0 || m.rows() < nptos || m.cols() < 2) {
    throw NumericError("Index exceeds matrix dimensions.");
  }
}
}  // namespace

EuclideanReconstruction ReconstruccionEuclidea(const Matrix& m1, const Matrix& m2,
                                               Eigen::Index nptos, const Matrix& F, double f1,
                                               double f2, double k1, double k2, bool with_points) {
  const Matrix Ao1 = Calibration(f1, k1);
  const Matrix Ao2 = Calibration(f2, k2);
  MotionEstimate motion = EstimaART(m1, m2, nptos, Ao1, Ao2, F, with_points);
  EuclideanReconstruction result;
  result.ret = motion.ret;
  result.Rcam2 = std::move(motion.Rcam2);
  result.t2 = std::move(motion.t);
  result.A1 = std::move(motion.A1);
  result.A2 = std::move(motion.A2);
  result.d = motion.dist;
  if (result.ret < 0 || !with_points) return result;
  Triangulation points = recons_ptos(m1, m2, nptos, result.A1, result.A2, result.Rcam2, result.t2);
  result.Xw = std::move(points.Xw);
  result.e_rayos = std::move(points.e_rayos);
  return result;
}

MotionEstimate EstimaART(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, const Matrix& Ao1,
                         const Matrix& Ao2, const Matrix& F, bool with_distance) {
  MotionEstimate result;
  result.A1 = Ao1;
  result.A2 = Ao2;
  FactorisedF factors = factor_F(F, m1, m2, nptos, result.A1, result.A2, with_distance);
  result.Rcam2 = std::move(factors.R);
  result.t = std::move(factors.t);
  result.T = std::move(factors.T);
  result.E = std::move(factors.E);
  result.dist = factors.d_epi;
  result.ret = factors.ret < 0 ? -1 : factors.ret;
  return result;
}

FactorisedF factor_F(const Matrix& F, const Matrix& m1, const Matrix& m2, Eigen::Index nptos,
                     const Matrix& Ao1, const Matrix& Ao2, bool with_distance) {
  if (F.rows() != 3 || F.cols() != 3 || Ao1.rows() != 3 || Ao1.cols() != 3 || Ao2.rows() != 3 ||
      Ao2.cols() != 3) {
    throw NumericError("Matrix dimensions must agree.");
  }
  RequirePoints(m1, nptos);
  RequirePoints(m2, nptos);
  const Matrix3 A1 = Ao1, A2 = Ao2;
  const double uo = A1(0, 2), vo = A1(1, 2);
  FactorisedF result;
  Matrix3 E = calc_E(A1, A2, F);
  result.E = E;
  const ReferenceMatch reference = busco_pto_lejano(m1, m2, nptos, uo, vo);
  result.ret = reference.ret;
  if (reference.ret < 0) return result;

  const Eigen::Index r = reference.ind_pto_signo_t;
  Translation translation =
      calc_t(E, Vector2(m1(r, 0), m1(r, 1)), Vector2(m2(r, 0), m2(r, 1)), A1, A2);
  const Rotation rotation = calc_R(E, translation.T);
  const SignCheck checked =
      verifica_signo_Et(E, translation.t, translation.T, rotation.R, A1, A2, m1, m2, nptos, uo, vo);
  // A translation with t(3) = 0 cannot be scaled; its non-finite values make the caller's
  // score lose.
  const Vector3 t = checked.to / std::abs(checked.to(2));
  const Matrix3 T = calc_antisimetrica(t);
  result.t = t;
  result.T = T;
  result.R = rotation.R;
  result.teta = rotation.teta;
  result.v = rotation.v;
  result.E = checked.Eo;
  if (with_distance) {
    const Matrix3 Fo = A1.inverse().transpose() * T * rotation.R * A2.inverse();
    result.d_epi = dist_avg2(Fo, m1.topRows(nptos), m2.topRows(nptos));
  }
  return result;
}

Matrix3 calc_E(const Matrix3& A1, const Matrix3& A2, const Matrix3& F) {
  const Matrix3 E = A1.transpose() * F * A2;
  return E / Eigen::JacobiSVD<Matrix3>(E).singularValues()(0);
}

ReferenceMatch busco_pto_lejano(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, double uo,
                                double vo) {
  ReferenceMatch result;
  const double dist_max = 0;
  for (Eigen::Index i = 0; i < nptos; ++i) {
    const double d1 = std::hypot(m1(i, 0) - uo, m1(i, 1) - vo);
    const double d2 = std::hypot(m2(i, 0) - uo, m2(i, 1) - vo);
    const double dmed = (d1 + d2) / 2;
    if (dmed > dist_max) {
      result.ind_pto_signo_t = i;
      break;
    }
  }
  if (result.ind_pto_signo_t < 0) result.ret = -1;
  return result;
}

Translation calc_t(const Matrix3& E, const Vector2& m1, const Vector2& m2, const Matrix3& A1,
                   const Matrix3& A2) {
  const Eigen::SelfAdjointEigenSolver<Matrix3> eigen(E * E.transpose());
  const Eigen::Index smallest = IndexOfSmallest(eigen.eigenvalues());
  Translation result;
  result.t = eigen.eigenvectors().col(smallest).normalized();
  result.T = calc_antisimetrica(result.t);
  const Vector3 p1h = A1.inverse() * Vector3(m1(0), m1(1), 1);
  const Vector3 p2h = A2.inverse() * Vector3(m2(0), m2(1), 1);
  const double d = (result.T * p1h).dot(E * p2h);
  if (d < 0) {
    result.t = -result.t;
    result.T = -result.T;
  }
  return result;
}

Rotation calc_R(const Matrix3& E, const Matrix3& T) {
  Eigen::Matrix4d N = Eigen::Matrix4d::Zero();
  for (int i = 0; i < 3; ++i) {
    const Vector3 e = E.row(i).transpose();
    const Vector3 t = T.row(i).transpose();
    Eigen::Matrix4d Ni;
    Ni(0, 0) = 0;
    Ni.block<1, 3>(0, 1) = (e - t).transpose();
    Ni.block<3, 1>(1, 0) = t - e;
    Ni.block<3, 3>(1, 1) = calc_antisimetrica(e) + calc_antisimetrica(t);
    N += Ni * Ni.transpose();
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix4d> eigen(N);
  Vector4 q = eigen.eigenvectors().col(IndexOfSmallest(eigen.eigenvalues())).normalized();
  // Sign so that w >= 0. A half turn has w = 0; multiplying by sign(0) would zero the
  // quaternion and return the identity, so it is kept as it is.
  if (q(0) < 0) q = -q;
  q.tail<3>() = -q.tail<3>();
  const AngleAxis angle_axis = calc_teta_from_q(q);
  Rotation result;
  result.teta = angle_axis.teta;
  result.v = angle_axis.v;
  result.R = calc_R_from_q2(q);
  return result;
}

SignCheck verifica_signo_Et(const Matrix3& E, const Vector3& t, const Matrix3& T,
                            const Matrix3& Rcam2, const Matrix3& A1, const Matrix3& A2,
                            const Matrix& m1, const Matrix& m2, Eigen::Index nptos, double uo,
                            double vo) {
  SignCheck result{t, T, E, 1};
  result.ret = busco_pto_lejano(m1, m2, nptos, uo, vo).ret;
  if (result.ret < 0) return result;
  const Vector3 c1 = Vector3::Zero();
  const Vector3& c2 = t;
  const Matrix3 identity = Matrix3::Identity();
  for (Eigen::Index i = 0; i < nptos; ++i) {
    const Vector3 dlx_cam1 = calc_dir_rayo(Vector2(m1(i, 0), m1(i, 1)), A1, identity);
    const Vector3 dlx_cam2 = calc_dir_rayo(Vector2(m2(i, 0), m2(i, 1)), A2, Rcam2);
    if (intersecta_rayos(dlx_cam1, dlx_cam2, c1, c2).error_ < 0) {
      result.to = -t;
      result.To = -T;
      break;
    }
  }
  return result;
}

}  // namespace q3d
