#pragma once
// The motion of camera 2 and both focal lengths refined together by least squares on the
// reprojection cost with triangulated points (travolen_back_motion), and the thresholds by
// which a calibration's explained matches are chosen for a fit.
#include <optional>

#include "numeric/match_support.h"
#include "numeric/matrix.h"

namespace q3d {

// A match takes part in a fit when its point lies in front of both cameras and its
// reprojection distance (both images summed) is at most this many times the median, or
// kInlierFloorPx. The first round starts from the search's winner, whose errors can hide
// a wrong match, and is strict; later rounds start from a refined calibration and are
// generous, because after triangulation only the epipolar part of the noise remains,
// whose tail is long compared with its median.
constexpr double kFirstRoundMedianFactor = 3.0;
constexpr double kInlierMedianFactor = 10.0;
constexpr double kInlierFloorPx = 1.0;

// The 7 parameters and their fixed signs for travolen_back_motion. ok is false when the
// calibration cannot be expressed (rotation axis with zero third component, t(3) = 0).
struct MotionParameters {
  Matrix vAo;  // 7 x 1
  double sign_t = 1;
  double sign_v = 1;
  bool ok = false;
};
MotionParameters PackMotion(const Calibration& calibration);
Calibration UnpackMotion(const Matrix& vAo, double sign_t, double sign_v, const Matrix& A1,
                         const Matrix& A2);

// Minimises the reprojection cost over m1, m2 (n x 2 centred points) from the start
// calibration; nothing when it cannot be improved.
std::optional<Calibration> RefineOnMatches(const Matrix& m1, const Matrix& m2,
                                           const Calibration& start);

}  // namespace q3d
