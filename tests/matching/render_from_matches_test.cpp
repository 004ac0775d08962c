// Automatic matches are good enough to render from: the focal lengths come out right.
#include <gtest/gtest.h>

#include <cmath>

#include "matching/automatic_matching.h"
#include "support/status_assertions.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

void ExpectFocalLengthsFromAutomaticMatches(const test::FaceSceneOptions& options) {
  const test::FaceStereoPair truth = test::RenderFaceStereoPair(options);
  CCamera camera1, camera2;
  test::LoadFaceImages(truth, camera1, camera2);
  CStereoPair pair(&camera1, &camera2);
  ASSERT_TRUE(test::Succeeded(AutomaticMatching(pair, AutoMatchParams{})));
  RenderOptions render;
  render.seed = 7;
  render.refine = true;
  ASSERT_TRUE(test::Succeeded(pair.Reconstruct(render)));
  const double f1 = std::abs(pair.m_A1(0, 0));
  const double f2 = std::abs(pair.m_A2(0, 0));
  ::testing::Test::RecordProperty("f1_rel_error_pct", std::to_string(100 * (f1 / truth.f1 - 1)));
  ::testing::Test::RecordProperty("f2_rel_error_pct", std::to_string(100 * (f2 / truth.f2 - 1)));
  EXPECT_NEAR(f1 / truth.f1, 1.0, 0.05) << "f1 " << f1 << " true " << truth.f1;
  EXPECT_NEAR(f2 / truth.f2, 1.0, 0.05) << "f2 " << f2 << " true " << truth.f2;
}

TEST(RenderFromAutomaticMatches, FindsBothFocalLengthsOnACleanPair) {
  ExpectFocalLengthsFromAutomaticMatches({});
}

TEST(RenderFromAutomaticMatches, FindsBothFocalLengthsWithNoiseAndABrightnessDifference) {
  test::FaceSceneOptions options;
  options.noiseSigma = 3.0;
  options.brightness2 = 0.9;
  options.seed = 2;
  ExpectFocalLengthsFromAutomaticMatches(options);
}

}  // namespace
}  // namespace q3d
