#pragma once
// What the two fits of a render move, and what they share: camera 2's world-to-camera
// rotation (angle-axis) and centre (on the unit sphere, for the scene's scale is free), the
// logarithm of each focal length (one when the cameras share it), the priors on those, and
// how far the solver goes.
#include <ceres/ceres.h>

#include <optional>
#include <vector>

#include "numeric/bundle_fit.h"

namespace q3d {

struct FitParameters {
  Vector3 rotation;
  Vector3 centre;
  // log f1 and log f2; with shared cameras only the first moves and f2 = ratio * f1.
  Eigen::Vector2d log_focal;
  double log_ratio = 0;
  bool shared = false;

  double* FirstFocal() { return &log_focal(0); }
  double* SecondFocal() { return shared ? &log_focal(0) : &log_focal(1); }
};

// Nothing when the start has no finite pose or focal lengths, or a zero baseline.
std::optional<FitParameters> ParametersOf(const Calibration& start, const FocalModel& model);

// Back to the reconstruction's conventions: camera-to-world rotation, |t(3)| = 1,
// calibration matrices [-f, 0, 0; 0, -f, 0; 0, 0, 1] over the start's principal points.
Calibration CalibrationOf(const FitParameters& p, const Calibration& start);

struct Fitted {
  Calibration calibration;
  double cost = 0;          // reprojection and priors
  double reprojection = 0;  // the squared reprojection errors alone
};

double PriorCost(const FitParameters& p, const FocalModel& model, double noise_px);

// Ends every fit's problem alike: the baseline keeps its length (the scene's scale is free),
// the focal priors join, the solver runs; the fitted calibration and its costs, or nothing
// when the solver gave no usable answer.
std::optional<Fitted> SolveFit(ceres::Problem& problem, FitParameters& p, const FocalModel& model,
                               double noise_px, const Calibration& start, int max_iterations,
                               bool to_the_bottom, ceres::LinearSolverType linear_solver);

// The fit that moves only the cameras: each match's first-order distance from the epipolar
// geometry (Sampson's), which stands in for its reprojection error after the best
// triangulation. Cheap, so the render screens its starts and settles its matches with it.
std::optional<Fitted> FitEpipolarRows(const Matrix& m1, const Matrix& m2,
                                      const std::vector<Eigen::Index>& rows,
                                      const Calibration& start, const FocalModel& model,
                                      double noise_px, int max_iterations, bool to_the_bottom);

}  // namespace q3d
