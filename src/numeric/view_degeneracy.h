#pragma once
// Whether a view pair can give focal lengths at all. They are fixed by how far each image's
// principal point lies from the epipolar line of the other's: when the two optical axes
// meet (both cameras aimed at one point of the object), each principal point lies on the
// other's line, and every pair of focal lengths fits the matches alike.
#include "numeric/match_support.h"
#include "numeric/matrix.h"

namespace q3d {

struct PrincipalPointSeparation {
  double distance_px = 0;  // the smaller of the two principal points' epipolar distances
  double scatter_px = 0;   // the matches' median epipolar distance, at least the floor
};

// Under the fundamental matrix of calibration c, in centred coordinates (m1, m2: n x 2).
// The scatter is taken as at least kLocalisationFloorPx (what a match can be located to).
PrincipalPointSeparation SeparationOf(const Matrix& m1, const Matrix& m2, const Calibration& c);

// The principal points must lie this many times the scatter off each other's epipolar
// lines for the focal lengths to mean anything.
constexpr double kMinPrincipalPointSeparation = 10.0;

bool OpticalAxesMeet(const PrincipalPointSeparation& separation);

}  // namespace q3d
