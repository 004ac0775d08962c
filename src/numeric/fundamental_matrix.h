#pragma once
// Fundamental matrix of point correspondences (m1' F m2 = 0) by a normalised eight-point
// solution reduced to a one-parameter family and refined by least squares, with its
// epipoles and the epipolar distance.
#include "numeric/matrix.h"

namespace q3d {

struct FundamentalEstimate {
  Matrix F;   // 3 x 3, rank 2, largest singular value 1
  Matrix e1;  // 2 x 1, epipole in image 1
  Matrix e2;  // 2 x 1, epipole in image 2
  double dist_media = 0;
};

// cam0, cam1: n x 2 points of images 1 and 2 (row i = match i), n >= 9; fewer raise
// NumericError. Degenerate points (no spread) give a non-finite F.
FundamentalEstimate calc_fmat3(const Matrix& cam0, const Matrix& cam1);

// Start value of the family parameter: s9 / (s8 + s9).
double estimado_alfa(const Vector9& v8, const Vector9& v9, double s8, double s9);

// Residuals of the family member alfa over the normalised matches x (n x 4,
// [x1 y1 x2 y2]): the symmetric epipolar distance of each match.
Vector dist_epi2(double alfa, const Matrix& x, const Vector9& v8, const Vector9& v9);

// Derivatives of dist_epi2's residuals with respect to alfa, as a 1 x n row.
Matrix grad_alfa(double alfa, const Matrix& x, const Vector9& v8, const Vector9& v9);

struct Epipoles {
  Matrix e1;  // 2 x 1
  Matrix e2;  // 2 x 1
};
Epipoles calc_epipolos(const Matrix& F);

// Mean of the root-mean-square epipolar distances in both images, in pixels.
double dist_avg2(const Matrix& F, const Matrix& cam1, const Matrix& cam2);

}  // namespace q3d
