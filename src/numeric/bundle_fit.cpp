#include "numeric/bundle_fit.h"

#include <ceres/ceres.h>
#include <ceres/rotation.h>

#include <algorithm>
#include <cmath>
#include <vector>

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

// weight * (log f - log f_prior): the prior's share of the cost in squared pixels.
struct FocalPriorResidual {
  template <typename T>
  bool operator()(const T* log_focal, T* residual) const {
    residual[0] = T(weight) * (log_focal[0] - T(log_prior));
    return true;
  }
  double log_prior = 0;
  double weight = 0;
};

struct Fitted {
  Calibration calibration;
  double cost = 0;
  double reprojection = 0;  // the squared reprojection errors alone
};

std::optional<Fitted> FitRows(const Matrix& m1, const Matrix& m2,
                              const std::vector<Eigen::Index>& rows, const Calibration& start,
                              const FocalModel& model, double noise_px, int max_iterations,
                              bool to_the_bottom) {
  const Eigen::Index n = m1.rows();
  const Triangulation points = recons_ptos(m1, m2, n, start.A1, start.A2, start.Rcam, start.t);
  const Matrix3 to_camera2 = Matrix3(start.Rcam).transpose();
  const Eigen::AngleAxisd angle_axis(to_camera2);
  Vector3 rotation = angle_axis.angle() * angle_axis.axis();
  Vector3 centre = start.t;
  const double scale = centre.norm();
  if (!(scale > 0) || !rotation.allFinite()) return std::nullopt;
  // One parameter block per focal length: log f1, and log f2 unless the cameras share f1.
  Eigen::Vector2d log_focal(std::log(std::abs(start.A1(0, 0))), std::log(std::abs(start.A2(0, 0))));
  if (model.shared) log_focal(0) = (log_focal(0) + log_focal(1) - std::log(model.ratio)) / 2;
  if (!log_focal.allFinite()) return std::nullopt;
  double* focal2 = model.shared ? &log_focal(0) : &log_focal(1);
  const double log_ratio = model.shared ? std::log(model.ratio) : 0.0;
  std::vector<Vector3> X(rows.size());

  ceres::Problem::Options problem_options;
  problem_options.manifold_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problem_options);
  for (size_t k = 0; k < rows.size(); ++k) {
    X[k] = points.Xw.col(rows[k]);
    // A pair of rays the triangulation rejected has no point to start from.
    if (!X[k].allFinite() || !(X[k](2) > 0)) continue;
    problem.AddResidualBlock(new ceres::AutoDiffCostFunction<FirstImageResidual, 2, 3, 1>(
                                 new FirstImageResidual(m1.row(rows[k]).transpose())),
                             nullptr, X[k].data(), &log_focal(0));
    problem.AddResidualBlock(new ceres::AutoDiffCostFunction<SecondImageResidual, 2, 3, 3, 3, 1>(
                                 new SecondImageResidual(m2.row(rows[k]).transpose(), log_ratio)),
                             nullptr, X[k].data(), rotation.data(), centre.data(), focal2);
  }
  // The scale of the scene is free: the baseline keeps its length.
  problem.SetManifold(centre.data(), new ceres::SphereManifold<3>());
  const int focal_parameters = model.shared ? 1 : 2;
  for (int c = 0; c < focal_parameters; ++c) {
    if (!model.priors[c]) continue;
    auto* prior = new FocalPriorResidual{std::log(model.priors[c]->f_px),
                                         noise_px / model.priors[c]->relative_sigma};
    problem.AddResidualBlock(new ceres::AutoDiffCostFunction<FocalPriorResidual, 1, 1>(prior),
                             nullptr, &log_focal(c));
  }
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_SCHUR;
  options.max_num_iterations = max_iterations;
  // A fit that ends the render goes to the bottom of the valley: where the matches say
  // little the cost is flat, and a loose stop would leave the answer wherever the start
  // happened to be. Screening only needs the basin.
  if (to_the_bottom) {
    options.function_tolerance = 1e-12;
    options.gradient_tolerance = 1e-14;
    options.parameter_tolerance = 1e-12;
  }
  // The valley is curved as well (focal length and pose trade against each other): steps
  // that may raise the cost for a while follow it instead of crawling.
  options.use_nonmonotonic_steps = true;
  options.num_threads = 1;
  options.logging_type = ceres::SILENT;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  if (!summary.IsSolutionUsable() || !log_focal.allFinite() || !centre.allFinite())
    return std::nullopt;

  Fitted fitted;
  fitted.cost = 2 * summary.final_cost;
  fitted.reprojection = fitted.cost;
  for (int c = 0; c < focal_parameters; ++c) {
    if (!model.priors[c]) continue;
    const double d = noise_px / model.priors[c]->relative_sigma *
                     (log_focal(c) - std::log(model.priors[c]->f_px));
    fitted.reprojection -= d * d;
  }
  if (model.shared) log_focal(1) = log_focal(0) + log_ratio;
  // Back to the reconstruction's conventions: camera-to-world rotation, |t(3)| = 1.
  const double angle = rotation.norm();
  const Matrix3 R = angle > 0 ? Eigen::AngleAxisd(angle, rotation / angle).toRotationMatrix()
                              : Matrix3::Identity();
  const double t3 = std::abs(centre(2));
  Calibration& c = fitted.calibration;
  c.Rcam = R.transpose();
  c.t = t3 > 0 ? Vector3(centre / t3) : centre;
  c.A1 = start.A1;
  c.A2 = start.A2;
  c.A1(0, 0) = c.A1(1, 1) = -std::exp(log_focal(0));
  c.A2(0, 0) = c.A2(1, 1) = -std::exp(log_focal(1));
  return fitted;
}

double NoiseOf(double squared_errors, size_t matches) {
  // Each match leaves one degree of freedom after its point; the cameras take seven.
  const double dof = std::max(1.0, static_cast<double>(matches) - 7);
  return std::max(kLocalisationFloorPx, std::sqrt(squared_errors / dof));
}
}  // namespace

std::optional<BundleFit> FitBundle(const Matrix& m1, const Matrix& m2, const Calibration& start,
                                   const FocalModel& model, const FitControl& control) {
  Calibration from = FacingMatches(m1, m2, start);
  Vector dist = ExplainedDistances(m1, m2, from);
  std::vector<Eigen::Index> rows = ExplainedRows(dist, kFirstRoundMedianFactor);
  // Half the summed distance of the two images approximates one coordinate's scatter.
  double noise = std::max(kLocalisationFloorPx, MedianOf(dist) / 2);
  std::optional<Fitted> fitted;
  size_t fitted_rows = 0;
  double fitted_noise = noise;  // the noise the last fit weighed its priors with
  for (int pass = 0; pass < control.passes; ++pass) {
    if (rows.size() < static_cast<size_t>(numero_puntos)) break;
    std::optional<Fitted> next =
        FitRows(m1, m2, rows, from, model, noise, control.max_iterations, control.to_the_bottom);
    if (!next || !(next->calibration.A1(0, 0) < 0 && next->calibration.A2(0, 0) < 0)) break;
    fitted = std::move(next);
    fitted_rows = rows.size();
    fitted_noise = noise;
    from = fitted->calibration;
    noise = NoiseOf(fitted->reprojection, fitted_rows);
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
    const double measured = NoiseOf(fitted->reprojection, fitted_rows);
    if (std::abs(measured / fitted_noise - 1) < kNoiseAgreement) break;
    std::vector<Eigen::Index> fitted_set =
        ExplainedRows(ExplainedDistances(m1, m2, from), kInlierMedianFactor);
    if (fitted_set.size() < static_cast<size_t>(numero_puntos)) break;
    std::optional<Fitted> next = FitRows(m1, m2, fitted_set, from, model, measured,
                                         control.max_iterations, control.to_the_bottom);
    if (!next || !(next->calibration.A1(0, 0) < 0 && next->calibration.A2(0, 0) < 0)) break;
    fitted = std::move(next);
    fitted_rows = fitted_set.size();
    fitted_noise = measured;
    from = fitted->calibration;
  }
  BundleFit result;
  result.calibration = fitted->calibration;
  result.cost = fitted->cost;
  result.noise_px = NoiseOf(fitted->reprojection, fitted_rows);
  result.matches_fitted = static_cast<int>(fitted_rows);
  const Calibration& c = result.calibration;
  result.XW = recons_ptos(m1, m2, m1.rows(), c.A1, c.A2, c.Rcam, c.t).Xw;
  return result;
}

}  // namespace q3d
