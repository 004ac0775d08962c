#pragma once
// The render of a stereo pair's matches: epipolar geometry of all matches, the robust
// focal search, optionally the refinement of its winner, and the 3D points. This is the
// top of the numeric layer: a NumericError inside ends the render here, as a failure
// that carries its reason.
#include <string>

#include "base/progress.h"
#include "base/result.h"
#include "numeric/fundamental_matrix.h"
#include "numeric/matrix.h"
#include "numeric/random_source.h"

namespace q3d {

struct ImageSize {
  int width = 0;
  int height = 0;
};

struct CentredPoints {
  Matrix m1;  // n x 2
  Matrix m2;
};
// matches: n x 4 rows [x1 + 1, y1 + 1, x2 + 1, y2 + 1] of 0-based pixel coordinates. Gives
// (x - floor(W/2), y - floor(H/2)) in each image.
CentredPoints CentreMatches(const Matrix& matches, ImageSize image1, ImageSize image2);

// calc_fmat3 on columns 1-2 against columns 3-4 of the match matrix.
FundamentalEstimate EpipolarGeometryOfMatches(const Matrix& matches);

constexpr int kMinimumRenderMatches = 10;

struct RenderSettings {
  bool refine = false;  // refine the winning trial's motion and focal lengths
};

struct RenderOutcome {
  Matrix F, e1, e2;  // epipolar geometry of all matches (pixel coordinates from 1)
  Matrix A1, Rcam, t, A2;
  Matrix XW;  // n x 3, row i = match i
  double best_median = 0;
  int best_trial = -1;
  bool refined = false;
  // Relative standard deviations of the focal lengths the matches' scatter gives them.
  double f1_deviation = 0;
  double f2_deviation = 0;
};

// A failure's reason says in the user's terms why the matches fix no calibration.
Result<RenderOutcome> RenderMatches(const Matrix& matches, ImageSize image1, ImageSize image2,
                                    const RenderSettings& settings, RandomSource& random,
                                    Progress* progress = nullptr);

}  // namespace q3d
