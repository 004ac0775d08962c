#pragma once
// Rays of centred image points, their closest-point intersection, projection of 3D
// points, and the triangulation of all matches. World frame = camera 1's frame; a camera
// has calibration A, rotation R (camera directions to world) and centre C.
#include "numeric/matrix.h"

namespace q3d {

// Smallest angle between two rays, in radians, that still gives a point.
constexpr double ANGULO_MINIMO = 0;

// Unit world direction of the ray through the centred point m of a camera with
// calibration A and rotation R (the camera's centre does not change a direction).
Vector3 calc_dir_rayo(const Vector2& m, const Matrix3& A, const Matrix3& R);

struct RayIntersection {
  Vector3 Xw = Vector3::Zero();  // midpoint of the common perpendicular
  double e = 0;                  // its length (the ray gap)
  int error_ = 1;                // 1 good pair; -1 parallel rays or a point behind a camera
  bool has_point = false;        // false for rejected (parallel) rays
};

// Rays t1 + l1 dl1 and t2 + l2 dl2 with unit directions.
RayIntersection intersecta_rayos(const Vector3& dl1, const Vector3& dl2, const Vector3& t1,
                                 const Vector3& t2);

// Centred image of the point X seen by a camera whose world-to-camera rotation is Rt,
// centre C, principal point (xo, yo) and focal lengths (cx, cy) in pixels.
inline Vector2 ProjectPoint(const Vector3& X, const Matrix3& Rt, const Vector3& C, double xo,
                            double yo, double cx, double cy) {
  const Vector3 xc = Rt * (X - C);
  return {-cx * xc(0) / xc(2) + xo, -cy * xc(1) / xc(2) + yo};
}

// Centred image coordinates (nptos x 2) of the points X (3 x nptos) seen by a camera with
// calibration A, centre Xco and rotation R.
Matrix proyec_pto_R(const Matrix& X, Eigen::Index nptos, const Matrix& A, const Matrix& Xco,
                    const Matrix& R);

struct Triangulation {
  Matrix e_rayos;  // nptos x 1 ray gaps
  Matrix Xw;       // 3 x nptos; a rejected pair keeps the column zero
};

// m1, m2: nptos x 2 centred points of images 1 and 2.
Triangulation triangulacion(const Matrix& m1, const Matrix& m2, Eigen::Index nptos,
                            const Matrix& A1, const Matrix& A2, const Matrix& R1, const Matrix& t1,
                            const Matrix& R2, const Matrix& t2);

// triangulacion with camera 1 at the origin and unrotated.
Triangulation recons_ptos(const Matrix& m1, const Matrix& m2, Eigen::Index nptos, const Matrix& A1,
                          const Matrix& A2, const Matrix& R2, const Matrix& t2);

}  // namespace q3d
