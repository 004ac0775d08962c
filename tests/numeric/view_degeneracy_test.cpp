#include "numeric/view_degeneracy.h"

#include <gtest/gtest.h>

#include "support/synthetic_scene.h"

namespace q3d {
namespace {

Calibration TrueCalibration(const test::SyntheticScene& scene) {
  return {scene.R, scene.t, scene.A1, scene.A2};
}

TEST(ViewDegeneracy, SkewAxesSeparateThePrincipalPoints) {
  const auto scene = test::MakeSyntheticScene();
  const PrincipalPointSeparation separation =
      SeparationOf(scene.m1, scene.m2, TrueCalibration(scene));
  // Camera 2 aims 2 units below camera 1's axis at distance 20: tens of pixels.
  EXPECT_GT(separation.distance_px, 50);
  EXPECT_EQ(separation.scatter_px, kLocalisationFloorPx);  // exact matches
  EXPECT_FALSE(OpticalAxesMeet(separation));
}

TEST(ViewDegeneracy, MeetingAxesPutEachPrincipalPointOnTheOthersLine) {
  test::SceneOptions options;
  options.camera2_target = Eigen::Vector3d(0, 0, 20);
  options.pixel_noise_sigma = 0.5;
  const auto scene = test::MakeSyntheticScene(options);
  const PrincipalPointSeparation separation =
      SeparationOf(scene.m1, scene.m2, TrueCalibration(scene));
  EXPECT_LT(separation.distance_px, 1e-9);
  EXPECT_GT(separation.scatter_px, 0.2);  // the noise, measured on the true lines
  EXPECT_LT(separation.scatter_px, 0.8);
  EXPECT_TRUE(OpticalAxesMeet(separation));
}

TEST(ViewDegeneracy, SeparationScalesWithTheAimAndIsJudgedAgainstTheScatter) {
  // Aim points 0.5 and 1 unit off camera 1's axis: the separation doubles.
  test::SceneOptions half, one;
  half.camera2_target = Eigen::Vector3d(0, -0.5, 20);
  one.camera2_target = Eigen::Vector3d(0, -1, 20);
  const auto near = test::MakeSyntheticScene(half), far = test::MakeSyntheticScene(one);
  const double d_near = SeparationOf(near.m1, near.m2, TrueCalibration(near)).distance_px;
  const double d_far = SeparationOf(far.m1, far.m2, TrueCalibration(far)).distance_px;
  EXPECT_NEAR(d_far / d_near, 2.0, 0.05);
  EXPECT_FALSE(OpticalAxesMeet({d_near, d_near / kMinPrincipalPointSeparation}));
  EXPECT_TRUE(OpticalAxesMeet({d_near, d_near / kMinPrincipalPointSeparation * 1.01}));
  EXPECT_TRUE(OpticalAxesMeet({std::nan(""), 1}));
}

}  // namespace
}  // namespace q3d
