#include <ceres/rotation.h>

#include <cmath>

#include "numeric/fit_parameters.h"

namespace q3d {

namespace {
// Sampson's distance of every fitted match from the epipolar geometry of the parameters.
// With camera 2's world-to-camera rotation R and centre c, F = A1^-T [c]x R' A2^-1 and
// m1' F m2 = 0 for centred homogeneous points m (A = diag(-f, -f, 1)). The distance
// m1' F m2 over the length of that product's gradient in the four image coordinates is,
// to first order, the reprojection error of the match's best point: it is a fit of the
// cameras alone, with no point to move.
class SampsonResiduals {
 public:
  SampsonResiduals(const Matrix& m1, const Matrix& m2, const std::vector<Eigen::Index>& rows,
                   double log_ratio)
      : log_ratio_(log_ratio) {
    points_.reserve(rows.size());
    for (const Eigen::Index r : rows) points_.push_back({m1(r, 0), m1(r, 1), m2(r, 0), m2(r, 1)});
  }

  int Count() const { return static_cast<int>(points_.size()); }

  // Two focal-length blocks: cameras of their own.
  template <typename T>
  bool operator()(const T* rotation, const T* centre, const T* log_f1, const T* log_f2,
                  T* residual) const {
    return Evaluate(rotation, centre, log_f1[0], log_f2[0], residual);
  }
  // One: the cameras share it.
  template <typename T>
  bool operator()(const T* rotation, const T* centre, const T* log_f1, T* residual) const {
    return Evaluate(rotation, centre, log_f1[0], log_f1[0] + T(log_ratio_), residual);
  }

 private:
  struct Match {
    double x1, y1, x2, y2;
  };

  template <typename T>
  bool Evaluate(const T* rotation, const T* centre, const T& log_f1, const T& log_f2,
                T* residual) const {
    T world_to_camera[9];  // column major
    ceres::AngleAxisToRotationMatrix(rotation, world_to_camera);
    // M = [c]x R', column j of R' being row j of R.
    T M[3][3];
    for (int j = 0; j < 3; ++j) {
      const T r[3] = {world_to_camera[j], world_to_camera[j + 3], world_to_camera[j + 6]};
      M[0][j] = centre[1] * r[2] - centre[2] * r[1];
      M[1][j] = centre[2] * r[0] - centre[0] * r[2];
      M[2][j] = centre[0] * r[1] - centre[1] * r[0];
    }
    const T a1[3] = {-ceres::exp(-log_f1), -ceres::exp(-log_f1), T(1)};
    const T a2[3] = {-ceres::exp(-log_f2), -ceres::exp(-log_f2), T(1)};
    T F[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) F[i][j] = a1[i] * M[i][j] * a2[j];
    for (size_t k = 0; k < points_.size(); ++k) {
      const Match& m = points_[k];
      const T Fm2[3] = {F[0][0] * m.x2 + F[0][1] * m.y2 + F[0][2],
                        F[1][0] * m.x2 + F[1][1] * m.y2 + F[1][2],
                        F[2][0] * m.x2 + F[2][1] * m.y2 + F[2][2]};
      const T Ftm1_0 = F[0][0] * m.x1 + F[1][0] * m.y1 + F[2][0];
      const T Ftm1_1 = F[0][1] * m.x1 + F[1][1] * m.y1 + F[2][1];
      const T algebraic = m.x1 * Fm2[0] + m.y1 * Fm2[1] + Fm2[2];
      const T gradient = Fm2[0] * Fm2[0] + Fm2[1] * Fm2[1] + Ftm1_0 * Ftm1_0 + Ftm1_1 * Ftm1_1;
      // Only where both epipoles coincide with the match is there no gradient.
      if (!(gradient > T(0))) return false;
      residual[k] = algebraic / ceres::sqrt(gradient);
    }
    return true;
  }

  std::vector<Match> points_;
  double log_ratio_ = 0;
};
}  // namespace

std::optional<Fitted> FitEpipolarRows(const Matrix& m1, const Matrix& m2,
                                      const std::vector<Eigen::Index>& rows,
                                      const Calibration& start, const FocalModel& model,
                                      double noise_px, int max_iterations, bool to_the_bottom) {
  std::optional<FitParameters> p = ParametersOf(start, model);
  if (!p || rows.empty()) return std::nullopt;
  ceres::Problem::Options problem_options;
  problem_options.manifold_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problem_options);
  auto* residuals = new SampsonResiduals(m1, m2, rows, p->log_ratio);
  const int count = residuals->Count();
  if (model.shared) {
    problem.AddResidualBlock(
        new ceres::AutoDiffCostFunction<SampsonResiduals, ceres::DYNAMIC, 3, 3, 1>(residuals,
                                                                                   count),
        nullptr, p->rotation.data(), p->centre.data(), p->FirstFocal());
  } else {
    problem.AddResidualBlock(
        new ceres::AutoDiffCostFunction<SampsonResiduals, ceres::DYNAMIC, 3, 3, 1, 1>(residuals,
                                                                                      count),
        nullptr, p->rotation.data(), p->centre.data(), p->FirstFocal(), p->SecondFocal());
  }
  return SolveFit(problem, *p, model, noise_px, start, max_iterations, to_the_bottom,
                  ceres::DENSE_QR);
}

}  // namespace q3d
