#pragma once
// The maximum-likelihood end of a render: the pose of camera 2, one 3D point per match and
// the focal lengths fitted to the reprojection error of the matches a start calibration
// explains, with a log-focal prior on each focal length. Two photographs of one camera
// share one focal length: a single parameter of the fit, not two tied together.
#include <array>
#include <optional>

#include "numeric/match_support.h"
#include "numeric/matrix.h"

namespace q3d {

// A focal length known before the render, in pixels, and its relative standard deviation.
struct FocalPrior {
  double f_px = 0;
  double relative_sigma = 0.05;
};
using FocalPriors = std::array<std::optional<FocalPrior>, 2>;

// What the fit knows of the focal lengths. With `shared` the cameras are one: f2 = ratio *
// f1 (the ratio of the image diagonals, 1 for photographs of one size), and only priors[0]
// applies, to that one focal length.
struct FocalModel {
  FocalPriors priors;
  bool shared = false;
  double ratio = 1;
};

struct BundleFit {
  Calibration calibration;  // |t(3)| = 1 when t(3) is not zero
  Matrix XW;                // 3 x n points of all matches, triangulated from the fit
  double cost = 0;          // squared reprojection errors of the fitted matches plus priors
  double noise_px = 0;      // per-coordinate scatter of the fitted matches
  int matches_fitted = 0;
};

// Enough for a valley the matches leave nearly flat; a fit that has converged stops early.
constexpr int kBundleFitIterations = 300;

struct FitControl {
  int passes = 4;  // fits in all, each on the matches the last one explains
  int max_iterations = kBundleFitIterations;  // solver steps of each fit
  // Down to the bottom of the valley (true), or only into it (false: screening starts).
  bool to_the_bottom = true;
  // Refit until the priors are weighed at the noise the fit measures.
  bool settle_noise = true;
  // The fits move the cameras against each match's first-order epipolar distance; the
  // exact one ends with a fit of the points as well: the maximum-likelihood answer.
  bool exact = true;
};
constexpr FitControl kScreeningFit{1, 12, false, false, false};

// m1, m2: n x 2 centred points. Fits the matches `start` explains, then once more on the
// matches the last fit explains, as the control says. Nothing when too few matches are
// explained or the fit leaves the cameras' sign convention.
std::optional<BundleFit> FitBundle(const Matrix& m1, const Matrix& m2, const Calibration& start,
                                   const FocalModel& model, const FitControl& control = {});

}  // namespace q3d
