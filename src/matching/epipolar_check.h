#pragma once
// Robust check of candidate matches against the epipolar geometry: the fundamental matrix
// of random nine-match samples with the smallest median epipolar distance (least median of
// squares), its inliers, and the matrix refitted on them.
#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace q3d {

// A candidate match in 0-based pixel coordinates of image 1 and image 2.
struct PointPair {
  double x1 = 0.0;
  double y1 = 0.0;
  double x2 = 0.0;
  double y2 = 0.0;
};

// Root mean square of the distances of point 1 to the epipolar line F m2 and of point 2 to
// the line F' m1, in pixels (m1' F m2 = 0 for a correct match). Infinite when a line is
// undefined.
double EpipolarDistance(const Matrix3& F, const PointPair& pair);

// The fundamental matrix of at least nine pairs (the project's own estimate), or false when
// the pairs give none (too few, degenerate, not finite).
bool FitFundamental(const std::vector<PointPair>& pairs, Matrix3& F);

struct EpipolarCheckOptions {
  int trials = 300;
  uint64_t seed = 1;            // repeatable: the same images give the same matches
  double minThreshold = 0.75;   // pixels; the inlier limit is 2.5 robust deviations
  double maxThreshold = 2.0;    // clamped to this range
};

struct EpipolarCheck {
  bool found = false;           // false with fewer than nine pairs or no usable sample
  Matrix3 F = Matrix3::Zero();  // refitted on the inliers
  double threshold = 0.0;       // epipolar distance limit in pixels
  std::vector<char> inlier;     // per pair: within threshold of F
  int inlierCount = 0;
};

EpipolarCheck CheckEpipolar(const std::vector<PointPair>& pairs,
                            const EpipolarCheckOptions& options = {});

}  // namespace q3d
