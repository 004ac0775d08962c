#include "numeric/fundamental_matrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/synthetic_scene.h"

namespace q3d {
namespace {

// Distance between two matrices up to sign, both scaled to unit 2-norm.
double DistanceUpToScale(const Matrix& a, const Matrix& b) {
  const Matrix an = a / Eigen::JacobiSVD<Matrix>(a).singularValues()(0);
  const Matrix bn = b / Eigen::JacobiSVD<Matrix>(b).singularValues()(0);
  return std::min((an - bn).norm(), (an + bn).norm());
}

Vector SingularValues(const Matrix& m) { return Eigen::JacobiSVD<Matrix>(m).singularValues(); }

TEST(FundamentalMatrix, ExactMatchesGiveTheTrueMatrixAndEpipoles) {
  const auto scene = test::MakeSyntheticScene();
  const FundamentalEstimate estimate = calc_fmat3(scene.m1, scene.m2);
  const Matrix F = scene.TrueF();
  EXPECT_LT(DistanceUpToScale(estimate.F, F), 1e-9);
  EXPECT_NEAR(SingularValues(estimate.F)(0), 1, 1e-12);
  EXPECT_LT(SingularValues(estimate.F)(2), 1e-12);
  EXPECT_LT(estimate.dist_media, 1e-8);
  // The epipoles are the null vectors of F' and F.
  const Eigen::JacobiSVD<Matrix> svd(F, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Vector3 e1 = svd.matrixU().col(2) / svd.matrixU()(2, 2);
  const Vector3 e2 = svd.matrixV().col(2) / svd.matrixV()(2, 2);
  EXPECT_NEAR(estimate.e1(0), e1(0), 1e-6 * std::abs(e1(0)));
  EXPECT_NEAR(estimate.e1(1), e1(1), 1e-6 * std::abs(e1(0)));
  EXPECT_NEAR(estimate.e2(0), e2(0), 1e-6 * std::abs(e2(0)));
  EXPECT_NEAR(estimate.e2(1), e2(1), 1e-6 * std::abs(e2(0)));
}

TEST(FundamentalMatrix, NoisyMatchesStillGiveRankTwoAndUnitNorm) {
  for (const double noise : {0.5, 3.0}) {
    test::SceneOptions options;
    options.pixel_noise_sigma = noise;
    options.outlier_share = 0.2;
    const auto scene = test::MakeSyntheticScene(options);
    for (const int n : {9, 60}) {
      const FundamentalEstimate estimate = calc_fmat3(scene.m1.topRows(n), scene.m2.topRows(n));
      const Vector s = SingularValues(estimate.F);
      EXPECT_NEAR(s(0), 1, 1e-12);
      EXPECT_LT(s(2), 1e-12);
    }
  }
}

TEST(FundamentalMatrix, ShiftingImageOneOnlyChangesItsNormalisation) {
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.5;
  const auto scene = test::MakeSyntheticScene(options);
  const double dx = 321, dy = -77;
  Matrix shifted = scene.m1;
  shifted.col(0).array() += dx;
  shifted.col(1).array() += dy;
  // m1' = S m1, so the matrix of the shifted points is S^-T F.
  Matrix3 S;
  S << 1, 0, dx, 0, 1, dy, 0, 0, 1;
  const Matrix expected = S.inverse().transpose() * calc_fmat3(scene.m1, scene.m2).F;
  EXPECT_LT(DistanceUpToScale(calc_fmat3(shifted, scene.m2).F, expected), 1e-9);
}

TEST(FundamentalMatrix, TooFewOrDegenerateMatches) {
  const auto scene = test::MakeSyntheticScene();
  EXPECT_THROW(calc_fmat3(scene.m1.topRows(8), scene.m2.topRows(8)), NumericError);
  EXPECT_THROW(calc_fmat3(scene.m1.topRows(9), scene.m2.topRows(10)), NumericError);
  Matrix flat = scene.m1;
  flat.col(1).setConstant(12);  // no spread in y
  const FundamentalEstimate estimate = calc_fmat3(flat, scene.m2);
  EXPECT_FALSE(estimate.F.allFinite());
}

TEST(FundamentalMatrix, StartValueOfTheFamily) {
  const Vector9 unused = Vector9::Zero();
  EXPECT_EQ(estimado_alfa(unused, unused, 2, 2), 0.5);
  EXPECT_EQ(estimado_alfa(unused, unused, 3, 0), 0);
  EXPECT_DOUBLE_EQ(estimado_alfa(unused, unused, 3, 1), 0.25);
}

TEST(FundamentalMatrix, MeanEpipolarDistance) {
  // Image-1 line of m2: -2 y + y2 = 0; image-2 line of m1: y - 2 y1 = 0.
  Matrix3 F;
  F << 0, 0, 0, 0, 0, -2, 0, 1, 0;
  const Matrix cam1 = (Matrix(1, 2) << 5, 0).finished();
  const Matrix cam2 = (Matrix(1, 2) << -7, 4).finished();
  EXPECT_DOUBLE_EQ(dist_avg2(F, cam1, cam2), 3);  // (2 + 4) / 2

  const auto scene = test::MakeSyntheticScene();
  EXPECT_LT(dist_avg2(scene.TrueF(), scene.m1, scene.m2), 1e-9);
}

TEST(FundamentalMatrix, EpipolesSolveTheFirstTwoRows) {
  const Matrix F = test::MakeSyntheticScene().TrueF();
  const Epipoles e = calc_epipolos(F);
  const Vector3 r2 = F * Vector3(e.e2(0), e.e2(1), 1);
  const Vector3 r1 = F.transpose() * Vector3(e.e1(0), e.e1(1), 1);
  EXPECT_LT(r2.norm(), 1e-12);
  EXPECT_LT(r1.norm(), 1e-12);
}

}  // namespace
}  // namespace q3d
