#pragma once
// Euclidean reconstruction from a fundamental matrix and two focal lengths: essential
// matrix, translation direction, rotation by the quaternion method, translation sign
// checked on the matches, scale |t(3)| = 1, and triangulation of every match.
#include "numeric/matrix.h"

namespace q3d {

struct EuclideanReconstruction {
  int ret = 1;     // 1, or -1 when no match can fix the translation sign
  Matrix Rcam2;    // rotation of camera 2 (camera-2 directions to world)
  Matrix t2;       // centre of camera 2, |t2(3)| = 1
  Matrix A1, A2;   // calibration matrices
  Matrix Xw;       // 3 x nptos, empty when ret < 0
  double d = 0;    // mean epipolar distance of the implied fundamental matrix
  Matrix e_rayos;  // nptos x 1 ray gaps, empty when ret < 0
};

// m1, m2: nptos x 2 centred points; F in the same coordinates (m1' F m2 = 0); k1, k2 the
// aspect ratios. Without `with_points` only the motion: no points, ray gaps or mean
// epipolar distance (a search that scores many trials triangulates its own way).
EuclideanReconstruction ReconstruccionEuclidea(const Matrix& m1, const Matrix& m2,
                                               Eigen::Index nptos, const Matrix& F, double f1,
                                               double f2, double k1, double k2,
                                               bool with_points = true);

struct MotionEstimate {
  int ret = 1;
  Matrix Rcam2, t, T, E, A1, A2;
  double dist = 0;
};
MotionEstimate EstimaART(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, const Matrix& Ao1,
                         const Matrix& Ao2, const Matrix& F, bool with_distance = true);

struct FactorisedF {
  Matrix t, T, R;  // empty when ret < 0
  double teta = 0;
  Matrix v;
  Matrix E;
  int ret = 1;
  double d_epi = 0;
};
// d_epi is left 0 without `with_distance`: the focal search scores its trials otherwise.
FactorisedF factor_F(const Matrix& F, const Matrix& m1, const Matrix& m2, Eigen::Index nptos,
                     const Matrix& Ao1, const Matrix& Ao2, bool with_distance = true);

// A1' F A2 scaled to unit 2-norm.
Matrix3 calc_E(const Matrix3& A1, const Matrix3& A2, const Matrix3& F);

struct ReferenceMatch {
  Eigen::Index ind_pto_signo_t = -1;  // 0-based row, -1 when none
  int ret = 1;
};
// The first match that does not lie on (uo, vo) in both images.
ReferenceMatch busco_pto_lejano(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, double uo,
                                double vo);

struct Translation {
  Vector3 t;
  Matrix3 T;
};
// Unit translation direction (null vector of E E'), its sign fixed so that the reference
// match (m1, m2) lies in front.
Translation calc_t(const Matrix3& E, const Vector2& m1, const Vector2& m2, const Matrix3& A1,
                   const Matrix3& A2);

struct Rotation {
  Matrix3 R;
  double teta = 0;
  Vector3 v;
};
// Rotation R of E = [t]x R by the quaternion method.
Rotation calc_R(const Matrix3& E, const Matrix3& T);

struct SignCheck {
  Vector3 to;
  Matrix3 To;
  Matrix3 Eo;
  int ret = 1;
};
// Flips the translation when a match's rays do not meet in front of both cameras.
SignCheck verifica_signo_Et(const Matrix3& E, const Vector3& t, const Matrix3& T,
                            const Matrix3& Rcam2, const Matrix3& A1, const Matrix3& A2,
                            const Matrix& m1, const Matrix& m2, Eigen::Index nptos, double uo,
                            double vo);

}  // namespace q3d
