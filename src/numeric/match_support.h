#pragma once
// How well a calibration explains each match, for choosing the matches a refinement runs
// on: reprojection distances that count a point behind a camera as unexplained, the
// orientation of a calibration towards its points, and each match's leverage on the fit.
#include <limits>
#include <vector>

#include "numeric/matrix.h"

namespace q3d {

struct Calibration {
  Matrix Rcam;  // 3 x 3
  Matrix t;     // 3 x 1, |t(3)| = 1
  Matrix A1;    // 3 x 3 calibration matrices [-f, 0, 0; 0, -f, 0; 0, 0, 1]
  Matrix A2;
};

// Per-match reprojection distances (both images summed) of the triangulated matches;
// infinite for a match whose point lies behind either camera. The pinhole projection
// cannot tell a point from its reflection through the camera, so without the depth test
// a wrong match triangulated behind the cameras can reproject closely.
Vector ExplainedDistances(const Matrix& m1, const Matrix& m2, const Calibration& c);

// The rows whose distance is finite and at most median_factor times the median of all
// distances, or kInlierFloorPx: the matches a calibration explains.
std::vector<Eigen::Index> ExplainedRows(const Vector& dist, double median_factor);

// The given rows of m, in that order.
Matrix RowsOf(const Matrix& m, const std::vector<Eigen::Index>& rows);

// The reprojection cost cannot tell (R, t) with points X from (R, -t) with points -X.
// Gives the calibration of the pair that puts most of the matches in front of camera 1.
Calibration FacingMatches(const Matrix& m1, const Matrix& m2, const Calibration& c);

// Jacobian of the reprojection errors (4 per match: image 1 x, y, image 2 x, y) by the 7
// motion-and-focal parameters at c (4n x 7, central differences); empty when c cannot be
// expressed in them.
Matrix MotionJacobian(const Matrix& m1, const Matrix& m2, const Calibration& c);

// Leverage of each match on the 7-parameter motion-and-focals fit at c: the diagonal of
// J (J'J)^+ J' for the motion Jacobian J, summed over each match's rows. Values are
// non-negative and sum to the number of parameters the matches determine.
Vector MatchLeverages(const Matrix& m1, const Matrix& m2, const Calibration& c);

// Standard deviations of the two focal lengths, relative to their values, that the
// matches' scatter about c gives them (first-order propagation through the fit over the
// matches c explains). With the optical axes meeting, or the views nearly affine, the
// matches leave the focal lengths undetermined and the deviations grow without bound
// (infinite when the fit has a free direction). The scatter is taken as at least
// kLocalisationFloorPx, what a match can be located to, so that exact matches of a
// degenerate view pair are not taken as certain.
struct FocalUncertainty {
  double f1 = std::numeric_limits<double>::infinity();
  double f2 = std::numeric_limits<double>::infinity();
};
// With shared_ratio > 0 the cameras share one focal length (f2 = shared_ratio * f1): both
// deviations are that of the one parameter.
constexpr double kLocalisationFloorPx = 0.1;
FocalUncertainty FocalLengthUncertainty(const Matrix& m1, const Matrix& m2, const Calibration& c,
                                        double shared_ratio = 0);

}  // namespace q3d
