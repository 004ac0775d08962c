#pragma once
// Cross-product matrices and rotations from unit quaternions q = (w, x, y, z) or from an
// angle and an axis, in the convention of the reconstruction (see calc_R_from_q2).
#include "numeric/matrix.h"

namespace q3d {

// [t]x: calc_antisimetrica(t) * u = t x u.
Matrix3 calc_antisimetrica(const Vector3& t);

// Rotation of a unit quaternion; the transpose of the usual active rotation matrix.
Matrix3 calc_R_from_q2(const Vector4& q);

struct AngleAxis {
  double teta = 0;  // radians
  Vector3 v = Vector3::Zero();
};
// Angle and axis of a unit quaternion; the axis is not finite for angle 0.
AngleAxis calc_teta_from_q(const Vector4& q);

Matrix3 calc_R_from_teta(double teta, const Vector3& v);

// The unit quaternion with non-negative w whose calc_R_from_q2 is R (a rotation).
Vector4 QuaternionOfRotation(const Matrix3& R);

}  // namespace q3d
