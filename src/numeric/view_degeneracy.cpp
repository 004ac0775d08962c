#include "numeric/view_degeneracy.h"

#include <algorithm>
#include <cmath>

#include "numeric/focal_search.h"
#include "numeric/rotation.h"

namespace q3d {

PrincipalPointSeparation SeparationOf(const Matrix& m1, const Matrix& m2, const Calibration& c) {
  // m1' F m2 = 0 with F = A1^-T [t]x R A2^-1; the principal points are (0, 0, 1).
  const Matrix3 A1 = c.A1, A2 = c.A2, R = c.Rcam;
  const Matrix3 F = A1.inverse().transpose() * calc_antisimetrica(Vector3(c.t)) * R * A2.inverse();
  const double in_image2 = std::abs(F(2, 2)) / F.row(2).head<2>().norm();
  const double in_image1 = std::abs(F(2, 2)) / F.col(2).head<2>().norm();
  Vector distances(m1.rows());
  for (Eigen::Index i = 0; i < m1.rows(); ++i) {
    const Vector3 p1(m1(i, 0), m1(i, 1), 1), p2(m2(i, 0), m2(i, 1), 1);
    const Vector3 line2 = F.transpose() * p1;
    distances(i) = std::abs(line2.dot(p2)) / line2.head<2>().norm();
  }
  PrincipalPointSeparation separation;
  separation.distance_px = std::min(in_image1, in_image2);
  separation.scatter_px = std::max(MedianOf(distances), kLocalisationFloorPx);
  return separation;
}

bool OpticalAxesMeet(const PrincipalPointSeparation& separation) {
  return !(separation.distance_px >= kMinPrincipalPointSeparation * separation.scatter_px);
}

}  // namespace q3d
