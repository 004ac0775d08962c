#pragma once
// Optional polish of a focal search result: the motion of camera 2 and both focal lengths
// are refined together by least squares on the reprojection cost (travolen_back_motion)
// over the matches the result explains, then every match is triangulated again.
#include <optional>

#include "numeric/match_support.h"
#include "numeric/matrix.h"

namespace q3d {

struct RefinedCalibration {
  Calibration calibration;  // the refined one, or the start when nothing improved
  Matrix XW;                // 3 x n points of all matches
  Matrix E_rayos;           // n x 1
  bool refined = false;
  int inliers = 0;          // matches the last refinement ran on
};

// A match takes part in a refinement when its point lies in front of both cameras and its
// reprojection distance (both images summed) is at most this many times the median, or
// kInlierFloorPx. The first round starts from the search's winner, whose errors can hide
// a wrong match, and is strict; later rounds start from a refined calibration and are
// generous, because after triangulation only the epipolar part of the noise remains,
// whose tail is long compared with its median.
constexpr double kFirstRoundMedianFactor = 3.0;
constexpr double kInlierMedianFactor = 10.0;
constexpr double kInlierFloorPx = 1.0;

// Focal lengths are weakly determined, so a wrong match can pull the fit to a nearby
// geometry that explains it and the other matches almost as well. Such a match carries
// a large share of the fit (high leverage): the kLeverageChecks matches with the highest
// leverage are each left out in turn, and a match is dropped when the fit without it
// would not select it (farther than kInlierMedianFactor times that fit's median, or
// behind a camera). A correct match's distance grows by about 1 / (1 - leverage) when it
// is left out, far less than this.
constexpr int kLeverageChecks = 3;

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

// Selects the matches the calibration explains, refines, and repeats while the selection
// changes (a few rounds); then checks the matches with the highest leverage, and after a
// drop selects and refines again. Ends by re-triangulating all matches.
RefinedCalibration RefineMotionAndFocals(const Matrix& m1, const Matrix& m2,
                                         const Calibration& start);

}  // namespace q3d
