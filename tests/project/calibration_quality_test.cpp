#include "project/calibration_quality.h"

#include <gtest/gtest.h>

#include <memory>

#include "stereo/stereo_pair.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

// The scene's matches on two cameras of its image sizes, with its true calibration stored
// as a render's result.
struct CalibratedPair {
  CalibratedPair(const test::SyntheticScene& scene, int count) {
    EXPECT_TRUE(CreateColorImage(camera1.m_image, scene.options.width1, scene.options.height1));
    EXPECT_TRUE(CreateColorImage(camera2.m_image, scene.options.width2, scene.options.height2));
    const Matrix pixels = scene.PixelMatches();
    for (int i = 0; i < count; ++i) {
      auto p1 = std::make_unique<CSpPoint>(pixels(i, 0) - 1, pixels(i, 1) - 1);
      auto p2 = std::make_unique<CSpPoint>(pixels(i, 2) - 1, pixels(i, 3) - 1);
      pair.m_matches.Add(std::make_unique<CMatch>(p1.get(), p2.get()));
      camera1.m_points.Add(std::move(p1));
      camera2.m_points.Add(std::move(p2));
    }
    pair.m_A1 = scene.A1;
    pair.m_A2 = scene.A2;
    pair.m_Rcam = scene.R;
    pair.m_t = scene.t;
  }
  CCamera camera1, camera2;
  CStereoPair pair{&camera1, &camera2};
};

TEST(CalibrationQuality, SkewAxesAndNoisyMatchesGiveAFewPerCent) {
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.3;
  const auto scene = test::MakeSyntheticScene(options);
  CalibratedPair calibrated(scene, scene.Count());
  const auto quality = AssessCalibration(calibrated.pair);
  ASSERT_TRUE(quality);
  EXPECT_GT(quality->f1_deviation, 0.005);
  EXPECT_LT(quality->f1_deviation, 0.3);
  EXPECT_GT(quality->f2_deviation, 0.005);
  EXPECT_LT(quality->f2_deviation, 0.3);
  EXPECT_GT(quality->separation_px, 50);
  EXPECT_NEAR(quality->scatter_px, 0.3, 0.2);
}

TEST(CalibrationQuality, NothingWithoutACalibrationOrEnoughMatches) {
  const auto scene = test::MakeSyntheticScene();
  CalibratedPair few(scene, 9);
  EXPECT_FALSE(AssessCalibration(few.pair));
  CalibratedPair reset(scene, scene.Count());
  reset.pair.m_A1 = Matrix::Zero(3, 3);  // what a failed render leaves
  EXPECT_FALSE(AssessCalibration(reset.pair));
  CalibratedPair unrendered(scene, scene.Count());
  unrendered.pair.m_t = Matrix();
  EXPECT_FALSE(AssessCalibration(unrendered.pair));
}

}  // namespace
}  // namespace q3d
