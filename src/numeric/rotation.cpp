#include "numeric/rotation.h"

#include <cmath>

namespace q3d {

Matrix3 calc_antisimetrica(const Vector3& t) {
  Matrix3 T;
  T << 0, -t(2), t(1), t(2), 0, -t(0), -t(1), t(0), 0;
  return T;
}

Matrix3 calc_R_from_q2(const Vector4& q) {
  const double w = q(0), x = q(1), y = q(2), z = q(3);
  Matrix3 Rq;
  Rq << 1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y),  //
      2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x),    //
      2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y);
  return Rq;
}

AngleAxis calc_teta_from_q(const Vector4& q) {
  AngleAxis result;
  result.teta = 2 * std::acos(q(0));
  const double sen_teta_med = std::sin(result.teta / 2);
  result.v = q.tail<3>() / sen_teta_med;
  return result;
}

Matrix3 calc_R_from_teta(double teta, const Vector3& v) {
  Vector4 q;
  q << std::cos(teta / 2), std::sin(teta / 2) * v;
  return calc_R_from_q2(q);
}

Vector4 QuaternionOfRotation(const Matrix3& R) {
  // calc_R_from_q2(q) is the transpose of the usual matrix of q, so read the usual
  // quaternion of R' (largest-component branch for accuracy).
  const Matrix3 M = R.transpose();
  Vector4 q;
  const double trace = M.trace();
  if (trace > M(0, 0) && trace > M(1, 1) && trace > M(2, 2)) {
    const double s = 2 * std::sqrt(1 + trace);
    q << s / 4, (M(2, 1) - M(1, 2)) / s, (M(0, 2) - M(2, 0)) / s, (M(1, 0) - M(0, 1)) / s;
  } else if (M(0, 0) >= M(1, 1) && M(0, 0) >= M(2, 2)) {
    const double s = 2 * std::sqrt(1 + M(0, 0) - M(1, 1) - M(2, 2));
    q << (M(2, 1) - M(1, 2)) / s, s / 4, (M(0, 1) + M(1, 0)) / s, (M(0, 2) + M(2, 0)) / s;
  } else if (M(1, 1) >= M(2, 2)) {
    const double s = 2 * std::sqrt(1 - M(0, 0) + M(1, 1) - M(2, 2));
    q << (M(0, 2) - M(2, 0)) / s, (M(0, 1) + M(1, 0)) / s, s / 4, (M(1, 2) + M(2, 1)) / s;
  } else {
    const double s = 2 * std::sqrt(1 - M(0, 0) - M(1, 1) + M(2, 2));
    q << (M(1, 0) - M(0, 1)) / s, (M(0, 2) + M(2, 0)) / s, (M(1, 2) + M(2, 1)) / s, s / 4;
  }
  q.normalize();
  return q(0) < 0 ? Vector4(-q) : q;
}

}  // namespace q3d
