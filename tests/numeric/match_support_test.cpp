#include "numeric/match_support.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/triangulation.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

Calibration TrueCalibration(const test::SyntheticScene& scene) {
  return {scene.R, scene.t, scene.A1, scene.A2};
}

Calibration Mirrored(Calibration c) {
  c.t = -c.t;
  return c;
}

TEST(MatchSupport, PointsBehindACameraAreUnexplained) {
  const auto scene = test::MakeSyntheticScene();
  const Calibration truth = TrueCalibration(scene);
  const Vector facing = ExplainedDistances(scene.m1, scene.m2, truth);
  EXPECT_TRUE(facing.allFinite());
  EXPECT_LT(facing.maxCoeff(), 1e-8);
  // The mirrored motion reprojects every match as well, with every point behind camera 1.
  const Calibration mirrored = Mirrored(truth);
  const Triangulation behind = recons_ptos(scene.m1, scene.m2, scene.Count(), mirrored.A1,
                                           mirrored.A2, mirrored.Rcam, mirrored.t);
  EXPECT_LT((behind.Xw + scene.points).cwiseAbs().maxCoeff(), 1e-8);
  const Vector unexplained = ExplainedDistances(scene.m1, scene.m2, mirrored);
  EXPECT_TRUE(unexplained.array().isInf().all());
}

TEST(MatchSupport, FacingMatchesTurnsAMirroredMotionBack) {
  const auto scene = test::MakeSyntheticScene();
  const Calibration truth = TrueCalibration(scene);
  EXPECT_TRUE(FacingMatches(scene.m1, scene.m2, truth).t.isApprox(truth.t));
  EXPECT_TRUE(FacingMatches(scene.m1, scene.m2, Mirrored(truth)).t.isApprox(truth.t));
}

TEST(MatchSupport, LeveragesSumToTheParametersTheMatchesDetermine) {
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.5;
  const auto scene = test::MakeSyntheticScene(options);
  const Vector leverage = MatchLeverages(scene.m1, scene.m2, TrueCalibration(scene));
  ASSERT_EQ(leverage.size(), scene.Count());
  EXPECT_NEAR(leverage.sum(), 7.0, 1e-6);
  EXPECT_GE(leverage.minCoeff(), 0.0);
}

TEST(MatchSupport, ARepeatedMatchSharesItsLeverage) {
  // With eight matches for seven parameters each match carries a large share; given twice,
  // a match's copies carry equal shares, each smaller than the match had alone.
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.5;
  const auto scene = test::MakeSyntheticScene(options);
  const Matrix m1 = scene.m1.topRows(8), m2 = scene.m2.topRows(8);
  const Vector once = MatchLeverages(m1, m2, TrueCalibration(scene));
  EXPECT_NEAR(once.sum(), 7.0, 1e-6);
  Matrix m1_twice(9, 2), m2_twice(9, 2);
  m1_twice << m1, m1.row(0);
  m2_twice << m2, m2.row(0);
  const Vector twice = MatchLeverages(m1_twice, m2_twice, TrueCalibration(scene));
  EXPECT_NEAR(twice.sum(), 7.0, 1e-6);
  EXPECT_NEAR(twice(8), twice(0), 1e-9);
  EXPECT_LT(twice(0), once(0));
  EXPECT_GT(twice(0) + twice(8), once(0));
}

TEST(MatchSupport, InexpressibleCalibrationHasNoLeverage) {
  const auto scene = test::MakeSyntheticScene();
  Calibration c = TrueCalibration(scene);
  c.t(2) = 0;  // outside the parametrisation
  EXPECT_EQ(MatchLeverages(scene.m1, scene.m2, c).squaredNorm(), 0.0);
}

}  // namespace
}  // namespace q3d
