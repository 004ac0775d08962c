#include "numeric/fit_parameters.h"

#include <cmath>

namespace q3d {

namespace {
struct FocalPriorResidual {
  template <typename T>
  bool operator()(const T* log_focal, T* residual) const {
    residual[0] = T(weight) * (log_focal[0] - T(log_prior));
    return true;
  }
  double log_prior = 0;
  double weight = 0;
};

int FocalParameters(const FocalModel& model) { return model.shared ? 1 : 2; }
}  // namespace

std::optional<FitParameters> ParametersOf(const Calibration& start, const FocalModel& model) {
  FitParameters p;
  const Eigen::AngleAxisd angle_axis(Matrix3(Matrix3(start.Rcam).transpose()));
  p.rotation = angle_axis.angle() * angle_axis.axis();
  p.centre = start.t;
  const double scale = p.centre.norm();
  if (!(scale > 0) || !p.rotation.allFinite() || !p.centre.allFinite()) return std::nullopt;
  p.centre /= scale;
  p.log_focal = {std::log(std::abs(start.A1(0, 0))), std::log(std::abs(start.A2(0, 0)))};
  p.shared = model.shared;
  if (model.shared) {
    p.log_ratio = std::log(model.ratio);
    p.log_focal(0) = (p.log_focal(0) + p.log_focal(1) - p.log_ratio) / 2;
  }
  if (!p.log_focal.allFinite()) return std::nullopt;
  return p;
}

Calibration CalibrationOf(const FitParameters& p, const Calibration& start) {
  const double angle = p.rotation.norm();
  const Matrix3 R = angle > 0 ? Eigen::AngleAxisd(angle, p.rotation / angle).toRotationMatrix()
                              : Matrix3::Identity();
  const double t3 = std::abs(p.centre(2));
  const double log_f2 = p.shared ? p.log_focal(0) + p.log_ratio : p.log_focal(1);
  Calibration c;
  c.Rcam = R.transpose();
  c.t = t3 > 0 ? Vector3(p.centre / t3) : p.centre;
  c.A1 = start.A1;
  c.A2 = start.A2;
  c.A1(0, 0) = c.A1(1, 1) = -std::exp(p.log_focal(0));
  c.A2(0, 0) = c.A2(1, 1) = -std::exp(log_f2);
  return c;
}

double PriorCost(const FitParameters& p, const FocalModel& model, double noise_px) {
  double cost = 0;
  for (int c = 0; c < FocalParameters(model); ++c) {
    if (!model.priors[c]) continue;
    const double d = noise_px / model.priors[c]->relative_sigma *
                     (p.log_focal(c) - std::log(model.priors[c]->f_px));
    cost += d * d;
  }
  return cost;
}

namespace {

// Each prior's residual, weight * (log f - log f_prior) with weight noise / sigma: its
// share of the cost in squared pixels.
void AddFocalPriors(ceres::Problem& problem, FitParameters& p, const FocalModel& model,
                    double noise_px) {
  for (int c = 0; c < FocalParameters(model); ++c) {
    if (!model.priors[c]) continue;
    auto* prior = new FocalPriorResidual{std::log(model.priors[c]->f_px),
                                         noise_px / model.priors[c]->relative_sigma};
    problem.AddResidualBlock(new ceres::AutoDiffCostFunction<FocalPriorResidual, 1, 1>(prior),
                             nullptr, &p.log_focal(c));
  }
}

ceres::Solver::Options SolverOptions(int max_iterations, bool to_the_bottom) {
  ceres::Solver::Options options;
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
  return options;
}

std::optional<Fitted> FittedOf(const ceres::Solver::Summary& summary, FitParameters& p,
                               const FocalModel& model, double noise_px, const Calibration& start) {
  if (!summary.IsSolutionUsable() || !p.log_focal.allFinite() || !p.centre.allFinite() ||
      !p.rotation.allFinite())
    return std::nullopt;
  Fitted fitted;
  fitted.cost = 2 * summary.final_cost;
  fitted.reprojection = fitted.cost - PriorCost(p, model, noise_px);
  fitted.calibration = CalibrationOf(p, start);
  return fitted;
}

}  // namespace

std::optional<Fitted> SolveFit(ceres::Problem& problem, FitParameters& p, const FocalModel& model,
                               double noise_px, const Calibration& start, int max_iterations,
                               bool to_the_bottom, ceres::LinearSolverType linear_solver) {
  problem.SetManifold(p.centre.data(), new ceres::SphereManifold<3>());
  AddFocalPriors(problem, p, model, noise_px);
  ceres::Solver::Options options = SolverOptions(max_iterations, to_the_bottom);
  options.linear_solver_type = linear_solver;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  return FittedOf(summary, p, model, noise_px, start);
}

}  // namespace q3d
