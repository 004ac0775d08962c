#include "numeric/bundle_fit.h"

#include <ceres/ceres.h>
#include <ceres/rotation.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/fit_parameters.h"
#include "numeric/focal_search.h"
#include "numeric/motion_refinement.h"
#include "numeric/triangulation.h"

namespace q3d {

namespace {
// Refits that bring the priors' weight in line with the measured noise, and how close the
// two must come.
constexpr int kNoiseRounds = 4;
constexpr double kNoiseAgreement = 1e-3;
// Reprojection of a match's point into camera 1: at the origin looking down its z axis,
// x = -f X / Z. Each image's residual is a block of its own, so that the solver's
// elimination of the points runs its fixed-size code for two rows per block.
struct FirstImageResidual {
  explicit FirstImageResidual(const Vector2& p1) : p1(p1) {}

  template <typename T>
  bool operator()(const T* point, const T* log_focal, T* residual) const {
    // A point on a camera's focal plane has no image: an invalid step for the solver.
    if (!(point[2] > T(0))) return false;
    const T f1 = ceres::exp(log_focal[0]);
    residual[0] = -f1 * point[0] / point[2] - T(p1(0));
    residual[1] = -f1 * point[1] / point[2] - T(p1(1));
    return true;
  }

  Vector2 p1;
};

// Into camera 2: centre c and world-to-camera rotation r (angle-axis). Its focal length is
// exp(log_focal + log_ratio): its own parameter (log_ratio 0) or camera 1's, shared.
struct SecondImageResidual {
  SecondImageResidual(const Vector2& p2, double log_ratio) : p2(p2), log_ratio(log_ratio) {}

  template <typename T>
  bool operator()(const T* point, const T* rotation, const T* centre, const T* log_focal,
                  T* residual) const {
    const T relative[3] = {point[0] - centre[0], point[1] - centre[1], point[2] - centre[2]};
    T in_camera[3];
    ceres::AngleAxisRotatePoint(rotation, relative, in_camera);
    if (!(in_camera[2] > T(0))) return false;
    const T f2 = ceres::exp(log_focal[0] + T(log_ratio));
    residual[0] = -f2 * in_camera[0] / in_camera[2] - T(p2(0));
    residual[1] = -f2 * in_camera[1] / in_camera[2] - T(p2(1));
    return true;
  }

  Vector2 p2;
  double log_ratio = 0;
};

// The maximum-likelihood fit: the cameras and one point per match.
std::optional<Fitted> FitPointRows(const Matrix& m1, const Matrix& m2,
                                   const std::vector<Eigen::Index>& rows, const Calibration& start,
                                   const FocalModel& model, double noise_px, int max_iterations) {
  std::optional<FitParameters> p = ParametersOf(start, model);
  if (!p) return std::nullopt;
  const Eigen::Index n = m1.rows();
  const Calibration unit = CalibrationOf(*p, start);  // the start with |c| = 1
  const Triangulation points = recons_ptos(m1, m2, n, unit.A1, unit.A2, unit.Rcam, p->centre);
  std::vector<Vector3> X(rows.size());

  ceres::Problem::Options problem_options;
  problem_options.manifold_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problem_options);
  const Matrix3 R = unit.Rcam;
  for (size_t k = 0; k < rows.size(); ++k) {
    X[k] = points.Xw.col(rows[k]);
    // A pair of rays the triangulation rejected, or a point behind a camera, has no
    // reprojection to start from.
    if (!X[k].allFinite() || !(X[k](2) > 0) || !(R.col(2).dot(X[k] - p->centre) > 0)) continue;
    problem.AddResidualBlock(new ceres::AutoDiffCostFunction<FirstImageResidual, 2, 3, 1>(
                                 new FirstImageResidual(m1.row(rows[k]).transpose())),
                             nullptr, X[k].data(), p->FirstFocal());
    problem.AddResidualBlock(
        new ceres::AutoDiffCostFunction<SecondImageResidual, 2, 3, 3, 3, 1>(
            new SecondImageResidual(m2.row(rows[k]).transpose(), p->shared ? p->log_ratio : 0.0)),
        nullptr, X[k].data(), p->rotation.data(), p->centre.data(), p->SecondFocal());
  }
  if (problem.NumResidualBlocks() == 0) return std::nullopt;
  return SolveFit(problem, *p, model, noise_px, start, max_iterations, true, ceres::DENSE_SCHUR);
}

double NoiseOf(double squared_errors, size_t matches) {
  // Each match leaves one degree of freedom after its point; the cameras take seven.
  const double dof = std::max(1.0, static_cast<double>(matches) - 7);
  return std::max(kLocalisationFloorPx, std::sqrt(squared_errors / dof));
}

// A fit keeps the cameras' sign convention and the side of the scene the matches are on.
std::optional<Fitted> Facing(const Matrix& m1, const Matrix& m2, std::optional<Fitted> fitted) {
  if (!fitted || !(fitted->calibration.A1(0, 0) < 0 && fitted->calibration.A2(0, 0) < 0))
    return std::nullopt;
  fitted->calibration = FacingMatches(m1, m2, fitted->calibration);
  return fitted;
}
}  // namespace

std::optional<BundleFit> FitBundle(const Matrix& m1, const Matrix& m2, const Calibration& start,
                                   const FocalModel& model, const FitControl& control) {
  Calibration from = FacingMatches(m1, m2, start);
  Vector dist = ExplainedDistances(m1, m2, from);
  std::vector<Eigen::Index> rows = ExplainedRows(dist, kFirstRoundMedianFactor);
  // Half the summed distance of the two images approximates one coordinate's scatter.
  double noise = std::max(kLocalisationFloorPx, MedianOf(dist) / 2);
  // A start that puts most matches behind a camera explains too little to weigh a prior by.
  if (!std::isfinite(noise)) return std::nullopt;
  const auto fit_cameras = [&](const std::vector<Eigen::Index>& fit_rows, double weight_noise) {
    return Facing(m1, m2,
                  FitEpipolarRows(m1, m2, fit_rows, from, model, weight_noise,
                                  control.max_iterations, control.to_the_bottom));
  };
  std::optional<Fitted> fitted;
  std::vector<Eigen::Index> fitted_rows;
  double fitted_noise = noise;  // the noise the last fit weighed its priors with
  for (int pass = 0; pass < control.passes; ++pass) {
    if (rows.size() < static_cast<size_t>(numero_puntos)) break;
    std::optional<Fitted> next = fit_cameras(rows, noise);
    if (!next) break;
    fitted = std::move(next);
    fitted_rows = rows;
    fitted_noise = noise;
    from = fitted->calibration;
    noise = NoiseOf(fitted->reprojection, fitted_rows.size());
    dist = ExplainedDistances(m1, m2, from);
    std::vector<Eigen::Index> explained = ExplainedRows(dist, kInlierMedianFactor);
    if (explained == rows) break;
    rows = std::move(explained);
  }
  if (!fitted) return std::nullopt;
  // The priors weigh in at the noise of the matches, which the fit itself measures: once
  // the matches are settled, refit until the two agree, so the answer does not keep the
  // noise the start was estimated with.
  for (int round = 0; control.settle_noise && round < kNoiseRounds; ++round) {
    const double measured = NoiseOf(fitted->reprojection, fitted_rows.size());
    if (std::abs(measured / fitted_noise - 1) < kNoiseAgreement) break;
    std::vector<Eigen::Index> fitted_set =
        ExplainedRows(ExplainedDistances(m1, m2, from), kInlierMedianFactor);
    if (fitted_set.size() < static_cast<size_t>(numero_puntos)) break;
    std::optional<Fitted> next = fit_cameras(fitted_set, measured);
    if (!next) break;
    fitted = std::move(next);
    fitted_rows = std::move(fitted_set);
    fitted_noise = measured;
    from = fitted->calibration;
  }
  // From the bottom of the epipolar fit the exact one has only the second-order rest to go.
  if (control.exact) {
    if (std::optional<Fitted> exact = Facing(
            m1, m2,
            FitPointRows(m1, m2, fitted_rows, from, model, fitted_noise, control.max_iterations)))
      fitted = std::move(exact);
  }
  BundleFit result;
  result.calibration = fitted->calibration;
  result.cost = fitted->cost;
  result.noise_px = NoiseOf(fitted->reprojection, fitted_rows.size());
  result.matches_fitted = static_cast<int>(fitted_rows.size());
  const Calibration& c = result.calibration;
  result.XW = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t).Xw;
  return result;
}

}  // namespace q3d
