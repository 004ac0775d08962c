#pragma once
// The render of a stereo pair's matches: epipolar geometry of all matches, the robust
// focal search, the maximum-likelihood fit that ends it, the decision on focal lengths the
// matches leave undetermined, and the 3D points. This is the top of the numeric layer: a
// NumericError inside ends the render here, as a failure that carries its reason.
#include <array>
#include <optional>
#include <string>

#include "base/progress.h"
#include "base/result.h"
#include "numeric/bundle_fit.h"
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

// Where a rendered focal length comes from.
enum class FocalSource { kMeasured, kExif, kEntered, kAssumed };
const char* FocalSourceName(FocalSource source);  // "measured", "exif", "entered", "assumed"

struct KnownFocal {
  double f_px = 0;
  FocalSource source = FocalSource::kEntered;
  double relative_sigma = 0;  // how precisely it is known; 0: the source's usual precision
};

// Relative standard deviations of the prior on a known focal length when its source says
// no better: what a photograph's metadata gives, and what a user who looked it up gives.
constexpr double kExifFocalSigma = 0.05;
constexpr double kEnteredFocalSigma = 0.02;
// The focal length assumed when nothing is known, times the short image side: the
// 26 mm-equivalent lens of most phones. The fit holds an unknown focal length to it by a
// weak prior (a standard deviation of this much in log f) that decides only what the
// matches leave open: a focal length the matches fix to 10 % moves by a few tenths of a
// percent.
constexpr double kAssumedFocalPerShortSide = 1.0;
constexpr double kAssumedFocalLogSigma = 1.2;
// An unknown focal length is said to be assumed, not measured, when the fit knows it no
// better than this (relative standard deviation, the matches and the prior together): pairs
// that fix their focal lengths show 2-12 %, cameras aimed at one point 20 % and more.
constexpr double kAssumedPosteriorWidth = 0.2;

struct RenderSettings {
  bool refine = true;  // end with the maximum-likelihood fit (false: the search alone)
  std::array<std::optional<KnownFocal>, 2> known;
  // Both photographs come from one camera with one lens setting: one focal length, f2 = f1
  // times the ratio of the image diagonals.
  bool shared_focal = false;
};

struct RenderOutcome {
  Matrix F, e1, e2;  // epipolar geometry of all matches (pixel coordinates from 1)
  Matrix A1, Rcam, t, A2;
  Matrix XW;  // n x 3, row i = match i
  double best_median = 0;
  int best_trial = -1;
  bool refined = false;
  bool shared_focal = false;
  // Relative standard deviations of the focal lengths the matches alone give them.
  double f1_deviation = 0;
  double f2_deviation = 0;
  std::array<FocalSource, 2> focal_source{FocalSource::kMeasured, FocalSource::kMeasured};
};

// A failure's reason says in the user's terms why the matches fix no calibration.
Result<RenderOutcome> RenderMatches(const Matrix& matches, ImageSize image1, ImageSize image2,
                                    const RenderSettings& settings, RandomSource& random,
                                    Progress* progress = nullptr);

}  // namespace q3d
