#include "numeric/focal_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "numeric/motion_cost.h"
#include "numeric/rotation.h"
#include "support/numeric_test_support.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

Matrix RowMajor(std::initializer_list<double> values) {
  Matrix F(3, 3);
  auto it = values.begin();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) F(r, c) = *it++;
  return F;
}

TEST(FocalLengths, ClosedFormRecoversBothFocalLengths) {
  for (const auto& [f1, f2] : {std::pair{800.0, 1000.0}, {1500.0, 650.0}, {1200.0, 1200.0}}) {
    test::SceneOptions options;
    options.f1_px = f1;
    options.f2_px = f2;
    const FocalLengths focals = calc_f(test::MakeSyntheticScene(options).TrueF());
    EXPECT_EQ(focals.ret, 1);
    EXPECT_NEAR(focals.f1, f1, 1e-6 * f1);
    EXPECT_NEAR(focals.f2, f2, 1e-6 * f2);
  }
}

TEST(FocalLengths, SingularAndImaginaryCases) {
  for (const Matrix& F : {Matrix(Matrix::Zero(3, 3)), RowMajor({0, 1, 0, 1, 0, 0, 0, 0, 0})}) {
    const FocalLengths focals = calc_f(F);
    EXPECT_EQ(focals.ret, -2);
    EXPECT_EQ(focals.f1, 1);
    EXPECT_EQ(focals.f2, 1);
  }
  const FocalLengths imaginary = calc_f(RowMajor({0, 0, 1, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(imaginary.ret, -1);
  EXPECT_EQ(imaginary.f1, 1);
  EXPECT_EQ(imaginary.f2, 1);
  // A zero focal length is no focal length either.
  EXPECT_EQ(calc_f(RowMajor({0, 0, 1, 0, 0, 0, 0, 1, 0})).ret, -1);
  Matrix nan = Matrix::Constant(3, 3, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(calc_f(nan).ret, -2);
}

TEST(FocalLengths, AspectRatioScalesOnlyTheFocalEstimate) {
  test::SceneOptions options;
  const auto scene = test::MakeSyntheticScene(options);
  const FocalEstimate plain = calc_focal_k(scene.m1, scene.m2, 1);
  const FocalEstimate scaled = calc_focal_k(scene.m1, scene.m2, 1.25);
  EXPECT_TRUE(scaled.F.isApprox(plain.F));  // F always from the given points
  EXPECT_NEAR(plain.f1, scene.f1, 1e-4 * scene.f1);
  EXPECT_NE(scaled.f1, plain.f1);
}

TEST(FocalSearchSampling, NineDistinctRowsFromAllMatches) {
  RandomSource random(11);
  std::set<std::set<Eigen::Index>> samples_of_ten;
  for (int k = 0; k < 500; ++k) {
    const auto sample = DrawSample(random, 10);
    const std::set<Eigen::Index> rows(sample.begin(), sample.end());
    EXPECT_EQ(rows.size(), 9u);
    samples_of_ten.insert(rows);
  }
  // Every one of the ten ways to leave a match out occurs, the last match included.
  EXPECT_EQ(samples_of_ten.size(), 10u);
  std::set<Eigen::Index> seen;
  for (int k = 0; k < 3000; ++k) {
    const auto sample = DrawSample(random, 100);
    EXPECT_EQ(std::set<Eigen::Index>(sample.begin(), sample.end()).size(), 9u);
    seen.insert(sample.begin(), sample.end());
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(*seen.rbegin(), 99);
}

TEST(FocalSearchSampling, MisbehavingSourceEndsWithAnError) {
  test::ScriptedRandom constant({0.5});
  EXPECT_THROW(DrawSample(constant, 50), NumericError);
  // Values outside [0, 1) are skipped.
  test::ScriptedRandom wild({1.0, std::numeric_limits<double>::quiet_NaN(), -0.1, 0.01, 0.12, 0.23,
                             0.34, 0.45, 0.56, 0.67, 0.78, 0.89});
  const auto sample = DrawSample(wild, 10);
  EXPECT_EQ(std::set<Eigen::Index>(sample.begin(), sample.end()).size(), 9u);
  EXPECT_THROW(DrawSample(wild, 9), NumericError);
}

TEST(FocalSearch, MedianOfValues) {
  EXPECT_EQ(MedianOf(Vector::LinSpaced(5, 1, 5).reverse()), 3);
  EXPECT_EQ(MedianOf((Vector(4) << 7, 1, 3, 100).finished()), 5);
  EXPECT_TRUE(std::isnan(MedianOf((Vector(3) << 1, std::nan(""), 3).finished())));
  EXPECT_EQ(MedianOf((Vector(3) << 1, std::numeric_limits<double>::infinity(), 3).finished()), 3);
}

TEST(FocalSearch, ProgressRunsFromZeroToHundredAndIsDestroyed) {
  const auto scene = test::MakeSyntheticScene();
  RandomSource random(2);
  test::RecordingProgress progress;
  LMedSFocales(scene.m1, scene.m2, random, &progress);
  EXPECT_EQ(progress.created, 1);
  EXPECT_EQ(progress.destroyed, 1);
  EXPECT_EQ(progress.StepText(), "Rendering, please wait...");
  ASSERT_EQ(progress.positions.size(), 401u);
  EXPECT_EQ(progress.positions[0], 0);
  EXPECT_EQ(progress.positions[1], 0);
  EXPECT_EQ(progress.positions[4], 1);
  EXPECT_EQ(progress.positions[400], 100);
  EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
}

TEST(FocalSearch, ProgressIsDestroyedWhenTheSearchFails) {
  const auto scene = test::MakeSyntheticScene();
  test::ScriptedRandom constant({0.5});
  test::RecordingProgress progress;
  EXPECT_THROW(LMedSFocales(scene.m1, scene.m2, constant, &progress), NumericError);
  EXPECT_EQ(progress.created, 1);
  EXPECT_EQ(progress.destroyed, 1);
}

TEST(FocalSearch, FewerThanTenMatchesNeverSearch) {
  const auto scene = test::MakeSyntheticScene();
  RandomSource random(2);
  test::RecordingProgress progress;
  EXPECT_THROW(LMedSFocales(scene.m1.topRows(9), scene.m2.topRows(9), random, &progress),
               NumericError);
  EXPECT_EQ(progress.created, 0);
}

TEST(FocalSearch, TiesKeepTheEarlierTrial) {
  // Every trial draws the same sample, so every trial scores the same median.
  const auto scene = test::MakeSyntheticScene();
  test::ScriptedRandom same({0.01, 0.11, 0.21, 0.31, 0.41, 0.51, 0.61, 0.71, 0.81});
  test::DiagnosticCapture capture;
  const FocalSearchResult result = LMedSFocales(scene.m1, scene.m2, same);
  EXPECT_EQ(result.best_trial, 0);
  ASSERT_EQ(capture.lines.size(), 2u);  // trial number and median, once
  EXPECT_EQ(capture.lines[0], "0");
}

TEST(FocalSearch, NoiseFreeSceneIsRecovered) {
  for (const double wrong_share : {0.0, 0.2}) {
    test::SceneOptions options;
    options.outlier_share = wrong_share;
    options.seed = 21;
    const auto scene = test::MakeSyntheticScene(options);
    RandomSource random(4);
    const FocalSearchResult result = LMedSFocales(scene.m1, scene.m2, random);
    ASSERT_GE(result.best_trial, 0);
    EXPECT_NEAR(-result.A1(0, 0), scene.f1, 0.005 * scene.f1) << wrong_share;
    EXPECT_NEAR(-result.A2(0, 0), scene.f2, 0.005 * scene.f2) << wrong_share;
    const auto rows = scene.CorrectRows();
    const Matrix estimate = test::SelectRows(result.XW.transpose(), rows).transpose();
    const Matrix truth = test::SelectRows(scene.points.transpose(), rows).transpose();
    EXPECT_LT(test::SimilarityAlignedError(estimate, truth), 1e-5) << wrong_share;
    EXPECT_LT(result.best_median, 1e-4);
  }
}

// Traced, the trials run one after the other; otherwise they are shared among threads. The
// two must be the same search, and each trial's score the median distance of its
// triangulated matches.
TEST(FocalSearch, SharedAmongThreadsOrOneAfterAnotherTheSearchIsTheSame) {
  const auto scene = test::MakeSyntheticScene(
      {.num_points = 300, .pixel_noise_sigma = 0.5, .outlier_share = 0.2, .seed = 5});
  RandomSource parallel_source(11), traced_source(11);
  const FocalSearchResult parallel = LMedSFocales(scene.m1, scene.m2, parallel_source);
  FocalSearchResult traced;
  {
    test::DiagnosticCapture capture;
    traced = LMedSFocales(scene.m1, scene.m2, traced_source);
  }
  ASSERT_GE(parallel.best_trial, 0);
  EXPECT_EQ(parallel.best_trial, traced.best_trial);
  EXPECT_EQ(parallel.best_median, traced.best_median);
  EXPECT_EQ(parallel.XW, traced.XW);
  ASSERT_EQ(parallel.best_trials.size(), traced.best_trials.size());
  for (size_t k = 0; k < parallel.best_trials.size(); ++k) {
    EXPECT_EQ(parallel.best_trials[k].trial, traced.best_trials[k].trial);
    EXPECT_EQ(parallel.best_trials[k].median, traced.best_trials[k].median);
  }
  const Vector distances = ReprojectionDistances(scene.m1, scene.m2, parallel.XW, parallel.A1,
                                                 parallel.A2, parallel.Rcam, parallel.t);
  EXPECT_EQ(MedianOf(distances), parallel.best_median);
}

}  // namespace
}  // namespace q3d
