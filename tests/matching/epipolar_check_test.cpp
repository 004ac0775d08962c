#include "matching/epipolar_check.h"

#include <gtest/gtest.h>

#include "support/synthetic_scene.h"

namespace q3d {
namespace {

std::vector<PointPair> Pairs(const test::SyntheticScene& scene) {
  const Matrix m = scene.PixelMatches();  // 1-based; the check works in any origin
  std::vector<PointPair> pairs;
  for (Eigen::Index i = 0; i < m.rows(); ++i) pairs.push_back({m(i, 0), m(i, 1), m(i, 2), m(i, 3)});
  return pairs;
}

TEST(EpipolarDistance, IsTheRootMeanSquareOfBothPointToLineDistances) {
  // Horizontal epipolar lines: the line of a point is its row in the other image.
  Matrix3 F;
  F << 0, 0, 0, 0, 0, -1, 0, 1, 0;
  EXPECT_NEAR(EpipolarDistance(F, {10, 5, 30, 8}), 3.0, 1e-12);
  EXPECT_NEAR(EpipolarDistance(F, {10, 5, 90, 5}), 0.0, 1e-12);
  EXPECT_TRUE(std::isinf(EpipolarDistance(Matrix3::Zero(), {1, 2, 3, 4})));
}

TEST(EpipolarCheck, KeepsTheCorrectMatchesAndRejectsTheWrongOnes) {
  test::SceneOptions options;
  options.num_points = 120;
  options.pixel_noise_sigma = 0.3;
  options.outlier_share = 0.35;
  options.seed = 11;
  const test::SyntheticScene scene = test::MakeSyntheticScene(options);
  const EpipolarCheck check = CheckEpipolar(Pairs(scene));
  ASSERT_TRUE(check.found);
  int keptWrong = 0, lostRight = 0;
  for (int i = 0; i < scene.Count(); ++i) {
    if (scene.wrong[static_cast<size_t>(i)] && check.inlier[static_cast<size_t>(i)]) ++keptWrong;
    if (!scene.wrong[static_cast<size_t>(i)] && !check.inlier[static_cast<size_t>(i)]) ++lostRight;
  }
  EXPECT_EQ(keptWrong, 0);
  EXPECT_LE(lostRight, 3);
  EXPECT_EQ(check.inlierCount, scene.Count() - static_cast<int>(std::count(
                                                    scene.wrong.begin(), scene.wrong.end(), true)) -
                                   lostRight);
  EXPECT_GE(check.threshold, 0.75);
  EXPECT_LE(check.threshold, 2.0);
}

TEST(EpipolarCheck, FindsNothingWithoutNinePairsOrWithDegeneratePairs) {
  test::SceneOptions options;
  options.num_points = 8;
  EXPECT_FALSE(CheckEpipolar(Pairs(test::MakeSyntheticScene(options))).found);
  // All pairs at one point give no geometry at all.
  const std::vector<PointPair> same(20, PointPair{5, 5, 7, 7});
  const EpipolarCheck check = CheckEpipolar(same);
  EXPECT_FALSE(check.found);
  EXPECT_EQ(check.inlierCount, 0);
}

}  // namespace
}  // namespace q3d
