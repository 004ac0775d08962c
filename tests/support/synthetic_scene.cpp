#include "support/synthetic_scene.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "numeric/rotation.h"
#include "numeric/triangulation.h"

namespace q3d::test {

namespace {
Matrix Calibration(double f) {
  Matrix A = Matrix::Identity(3, 3);
  A(0, 0) = -f;
  A(1, 1) = -f;
  return A;
}

// Depth of the face surface below its rim at (x, y), or a negative value outside it.
double FaceRelief(double x, double y) {
  const double a = 4, b = 5, depth = 2.5;
  const double r = 1 - (x / a) * (x / a) - (y / b) * (y / b);
  if (r < 0) return -1;
  const double nose = 1.2 * std::exp(-(x * x + (y + 0.5) * (y + 0.5)) / 0.8);
  return depth * std::sqrt(r) + nose;
}

bool InsideImage(double u, double v, int width, int height) {
  return std::abs(u) < width / 2 - 1 && std::abs(v) < height / 2 - 1;
}

double EpipolarDistanceInImage2(const Matrix3& F, const Vector2& p1, const Vector2& p2) {
  const Vector3 line = F.transpose() * Vector3(p1(0), p1(1), 1);
  return std::abs(line.dot(Vector3(p2(0), p2(1), 1))) / line.head<2>().norm();
}
}  // namespace

Matrix LookAtRotation(const Eigen::Vector3d& centre, const Eigen::Vector3d& target, double roll) {
  const Vector3 z = (target - centre).normalized();
  const Vector3 x = Vector3(0, 1, 0).cross(z).normalized();
  const Vector3 y = z.cross(x);
  Matrix3 R;
  R << x, y, z;
  return R * calc_R_from_teta(roll, Vector3(0, 0, 1)).transpose();
}

SyntheticScene MakeSyntheticScene(const SceneOptions& options) {
  SyntheticScene scene;
  scene.options = options;
  scene.f1 = options.f1_px;
  scene.f2 = options.f2_px;
  scene.A1 = Calibration(scene.f1);
  scene.A2 = Calibration(scene.f2);
  scene.t = options.camera2_centre;
  scene.R = LookAtRotation(options.camera2_centre, options.camera2_target, options.camera2_roll_rad);

  std::mt19937_64 engine(options.seed);
  std::uniform_real_distribution<double> across(-4, 4), down(-5, 5);
  const int n = options.num_points;
  scene.points.resize(3, n);
  scene.m1_exact.resize(n, 2);
  scene.m2_exact.resize(n, 2);
  const Matrix identity = Matrix::Identity(3, 3), origin = Matrix::Zero(3, 1);
  for (int i = 0; i < n;) {
    const double x = across(engine), y = down(engine);
    const double relief = FaceRelief(x, y);
    if (relief < 0) continue;
    const Matrix X = Vector3(x, y, options.face_distance - relief);
    const Matrix p1 = proyec_pto_R(X, 1, scene.A1, origin, identity);
    const Matrix p2 = proyec_pto_R(X, 1, scene.A2, scene.t, scene.R);
    if (!InsideImage(p1(0), p1(1), options.width1, options.height1) ||
        !InsideImage(p2(0), p2(1), options.width2, options.height2)) {
      continue;
    }
    scene.points.col(i) = X;
    scene.m1_exact.row(i) = p1;
    scene.m2_exact.row(i) = p2;
    ++i;
  }

  scene.m1 = scene.m1_exact;
  scene.m2 = scene.m2_exact;
  if (options.pixel_noise_sigma > 0) {
    std::normal_distribution<double> noise(0, options.pixel_noise_sigma);
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < 2; ++c) {
        scene.m1(i, c) += noise(engine);
        scene.m2(i, c) += noise(engine);
      }
    }
  }

  scene.wrong.assign(n, false);
  const int wrong_count = static_cast<int>(std::lround(options.outlier_share * n));
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), engine);
  const Matrix3 F = scene.TrueF();
  std::uniform_real_distribution<double> u2(-options.width2 / 2 + 1, options.width2 / 2 - 1);
  std::uniform_real_distribution<double> v2(-options.height2 / 2 + 1, options.height2 / 2 - 1);
  for (int k = 0; k < wrong_count; ++k) {
    const int i = order[k];
    Vector2 p2;
    do {
      p2 = Vector2(u2(engine), v2(engine));
    } while (EpipolarDistanceInImage2(F, scene.m1_exact.row(i).transpose(), p2) <
             options.outlier_min_epipolar_px);
    scene.m2.row(i) = p2.transpose();
    scene.wrong[i] = true;
  }
  return scene;
}

Matrix SyntheticScene::PixelMatches() const {
  const auto& o = options;
  Matrix matches(Count(), 4);
  matches.col(0) = m1.col(0).array() + (o.width1 / 2) + 1;
  matches.col(1) = m1.col(1).array() + (o.height1 / 2) + 1;
  matches.col(2) = m2.col(0).array() + (o.width2 / 2) + 1;
  matches.col(3) = m2.col(1).array() + (o.height2 / 2) + 1;
  return matches;
}

Matrix SyntheticScene::TrueF() const {
  // A world point X has p1 ~ A1 X and p2 ~ A2 R'(X - t); the coplanarity of X, X - t and t
  // gives (A1^-1 p1)' [t]x R (A2^-1 p2) = 0.
  const Matrix3 a1 = A1, a2 = A2, r = R;
  const Matrix3 F = a1.inverse().transpose() * calc_antisimetrica(Vector3(t)) * r * a2.inverse();
  return F / Eigen::JacobiSVD<Matrix3>(F).singularValues()(0);
}

std::vector<Eigen::Index> SyntheticScene::CorrectRows() const {
  std::vector<Eigen::Index> rows;
  for (int i = 0; i < Count(); ++i) {
    if (!wrong[i]) rows.push_back(i);
  }
  return rows;
}

double SimilarityAlignedError(const Matrix& estimate, const Matrix& truth) {
  const Eigen::Index n = estimate.cols();
  const Vector3 mean_e = estimate.rowwise().mean();
  const Vector3 mean_t = truth.rowwise().mean();
  const Matrix E = estimate.colwise() - mean_e;
  const Matrix T = truth.colwise() - mean_t;
  // Rotation and scale that best map E onto T (orthogonal Procrustes).
  const Matrix3 covariance = T * E.transpose() / static_cast<double>(n);
  const Eigen::JacobiSVD<Matrix3> svd(covariance, Eigen::ComputeFullU | Eigen::ComputeFullV);
  Matrix3 S = Matrix3::Identity();
  if (svd.matrixU().determinant() * svd.matrixV().determinant() < 0) S(2, 2) = -1;
  const Matrix3 rotation = svd.matrixU() * S * svd.matrixV().transpose();
  const double variance = E.squaredNorm() / static_cast<double>(n);
  const double scale = (svd.singularValues().asDiagonal() * S).trace() / variance;
  const Matrix aligned = (scale * rotation * E).colwise() + mean_t;
  return (aligned - truth).colwise().norm().maxCoeff();
}

Matrix SelectRows(const Matrix& m, const std::vector<Eigen::Index>& rows) {
  Matrix selected(static_cast<Eigen::Index>(rows.size()), m.cols());
  for (size_t k = 0; k < rows.size(); ++k) selected.row(static_cast<Eigen::Index>(k)) = m.row(rows[k]);
  return selected;
}

}  // namespace q3d::test
