#pragma once
// How firmly a render's matches fix its focal lengths: how far the principal points lie
// from each other's epipolar lines compared with the matches' scatter, and the relative
// standard deviations of the focal lengths that scatter gives them.
#include <optional>

namespace q3d {

class CStereoPair;

struct CalibrationQuality {
  double f1_deviation = 0;  // relative standard deviations
  double f2_deviation = 0;
  double separation_px = 0;  // principal points off each other's epipolar lines
  double scatter_px = 0;     // the matches' median epipolar distance
};

// Nothing when the pair holds no usable calibration (the shapes and values the
// reprojection report needs) or fewer than 10 matches.
std::optional<CalibrationQuality> AssessCalibration(const CStereoPair& pair);

}  // namespace q3d
