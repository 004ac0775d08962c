#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "stereo/stereo_pair.h"
#include "support/numeric_test_support.h"
#include "support/status_assertions.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

// A refused render names the step, says why, and ends with what to do.
void ExpectFocalsError(const Status& status, const std::string& reason) {
  EXPECT_FALSE(status);
  EXPECT_EQ(status.Reason().rfind("Error: Focals estimation.\n", 0), 0u) << status.Reason();
  EXPECT_NE(status.Reason().find(reason), std::string::npos) << status.Reason();
  const std::string advice = "\nPlease, try other positions to take the photographs.";
  EXPECT_TRUE(status.Reason().ends_with(advice)) << status.Reason();
}

// Two cameras with images of the scene's sizes and one match per scene match.
struct RenderablePair {
  explicit RenderablePair(const test::SyntheticScene& scene, int count = -1) {
    EXPECT_TRUE(CreateColorImage(camera1.m_image, scene.options.width1, scene.options.height1));
    EXPECT_TRUE(CreateColorImage(camera2.m_image, scene.options.width2, scene.options.height2));
    const Matrix pixels = scene.PixelMatches();
    const int n = count < 0 ? scene.Count() : count;
    for (int i = 0; i < n; ++i) {
      auto p1 = std::make_unique<CSpPoint>(pixels(i, 0) - 1, pixels(i, 1) - 1);
      auto p2 = std::make_unique<CSpPoint>(pixels(i, 2) - 1, pixels(i, 3) - 1);
      CSpPoint* a = p1.get();
      CSpPoint* b = p2.get();
      camera1.m_points.Add(std::move(p1));
      camera2.m_points.Add(std::move(p2));
      pair.m_matches.Add(std::make_unique<CMatch>(a, b));
    }
  }
  CCamera camera1, camera2;
  CStereoPair pair{&camera1, &camera2};
};

TEST(StereoPairRender, ReconstructStoresTheWinnerAndTriangulatesAgain) {
  const auto scene = test::MakeSyntheticScene();
  RenderablePair setup(scene);
  CStereoPair& pair = setup.pair;
  RenderOptions options;
  options.seed = 5;
  test::RecordingProgress progress;
  ASSERT_TRUE(test::Succeeded(pair.Reconstruct(options, &progress)));
  EXPECT_EQ(pair.m_rendered, 1);
  EXPECT_EQ(progress.created, 2);  // the search, then the fit
  EXPECT_EQ(progress.destroyed, 2);
  EXPECT_NEAR(-pair.m_A1(0, 0), scene.f1, 1e-3 * scene.f1);
  EXPECT_NEAR(-pair.m_A2(0, 0), scene.f2, 1e-3 * scene.f2);
  // Noise-free, up to the weak prior's pull on the focal lengths.
  EXPECT_TRUE(pair.m_Rcam.isApprox(scene.R, 1e-3));
  EXPECT_TRUE(Vector3(pair.m_t).normalized().isApprox(Vector3(scene.t).normalized(), 1e-3));
  ASSERT_EQ(pair.m_XW.rows(), scene.Count());
  ASSERT_EQ(pair.m_XW.cols(), 3);
  EXPECT_LT((pair.m_XW.transpose() - scene.points).cwiseAbs().maxCoeff(),
            5e-3 * scene.points.cwiseAbs().maxCoeff());
  EXPECT_EQ(pair.m_F.rows(), 3);
  EXPECT_EQ(pair.m_e1.rows(), 2);
  EXPECT_TRUE(pair.m_R1.isIdentity());
  EXPECT_TRUE(pair.m_t1.isZero());

  const Matrix rendered = pair.m_XW;
  pair.m_XW = Matrix::Zero(1, 3);
  ASSERT_TRUE(test::Succeeded(pair.TriangulateMatches()));
  EXPECT_TRUE(pair.m_XW.isApprox(rendered, 1e-12));
}

TEST(StereoPairRender, FailedRenderResetsAndReports) {
  const auto scene = test::MakeSyntheticScene();
  RenderablePair full(scene);
  RenderOptions options;
  options.seed = 1;
  ASSERT_TRUE(test::Succeeded(full.pair.Reconstruct(options)));

  // The same pair with its matches made degenerate, each way with its own message rather
  // than the advice to take other photographs.
  for (const auto& point : full.camera1.m_points.Points()) point->m_y = 2 * point->m_x + 3;
  EXPECT_EQ(full.pair.Reconstruct(options).Reason(),
            "Error: The matched points of image 1 all lie on one line.\nPlace matches over the "
            "whole face.");
  full.camera2.m_points.Points().back()->m_x = std::nan("");
  EXPECT_EQ(full.pair.Reconstruct(options).Reason().rfind("Error: Match ", 0), 0u);
  for (const auto& point : full.camera1.m_points.Points()) point->m_x = point->m_y = 100;
  for (const auto& point : full.camera2.m_points.Points()) point->m_x = point->m_y = 50;
  test::RecordingProgress progress;
  const Status repeated = full.pair.Reconstruct(options, &progress);
  EXPECT_NE(repeated.Reason().find(std::to_string(scene.Count() - 1) +
                                   " matches repeat another match at the same points"),
            std::string::npos)
      << repeated.Reason();
  EXPECT_EQ(full.pair.m_rendered, 0);
  EXPECT_EQ(progress.created, progress.destroyed);
  EXPECT_EQ(full.pair.m_XW, Matrix::Zero(1, 3));
  EXPECT_EQ(full.pair.m_A1, Matrix::Zero(3, 3));
  EXPECT_EQ(full.pair.m_t, Matrix::Zero(3, 1));
}

TEST(StereoPairRender, CamerasAimedAtOnePointUseTheKnownFocalLengthOrSayAssumed) {
  // Both optical axes through one point: any focal lengths fit the matches.
  test::SceneOptions options;
  options.camera2_target = Eigen::Vector3d(0, 0, 20);
  options.pixel_noise_sigma = 0.3;
  const auto scene = test::MakeSyntheticScene(options);
  RenderablePair aimed(scene);
  RenderOptions render;
  render.seed = 5;
  ASSERT_TRUE(test::Succeeded(aimed.pair.Reconstruct(render)));
  EXPECT_EQ(aimed.pair.m_focalSource[0], FocalSource::kAssumed);
  EXPECT_EQ(aimed.pair.m_focalSource[1], FocalSource::kAssumed);
  aimed.camera1.m_focal.exif_px = 1.03 * scene.f1;
  aimed.camera2.m_focal.exif_px = 0.97 * scene.f2;
  aimed.camera2.m_focal.entered_px = scene.f2;  // the entered value wins
  ASSERT_TRUE(test::Succeeded(aimed.pair.Reconstruct(render)));
  EXPECT_EQ(aimed.pair.m_focalSource[0], FocalSource::kExif);
  EXPECT_EQ(aimed.pair.m_focalSource[1], FocalSource::kEntered);
  EXPECT_NEAR(-aimed.pair.m_A1(0, 0), scene.f1, 0.05 * scene.f1);
  EXPECT_NEAR(-aimed.pair.m_A2(0, 0), scene.f2, 0.02 * scene.f2);
}

TEST(StereoPairRender, NineMatchesNeverSearch) {
  const auto scene = test::MakeSyntheticScene();
  RenderablePair nine(scene, 9);
  test::RecordingProgress progress;
  ExpectFocalsError(nine.pair.Reconstruct({}, &progress), "at least 10 matches");
  EXPECT_EQ(progress.created, 0);
  EXPECT_EQ(nine.pair.m_rendered, 0);
  // Nine matches still give an epipolar geometry.
  EXPECT_TRUE(test::Succeeded(nine.pair.EstimateEpipolarGeometry()));
  EXPECT_EQ(nine.pair.m_F.rows(), 3);
}

TEST(StereoPairRender, EpipolarGeometryAndTriangulationNeedTheirInputs) {
  const auto scene = test::MakeSyntheticScene();
  RenderablePair eight(scene, 8);
  EXPECT_FALSE(eight.pair.EstimateEpipolarGeometry());
  EXPECT_EQ(eight.pair.m_F, Matrix::Zero(3, 3));
  // Not rendered: no calibration to triangulate with.
  EXPECT_FALSE(eight.pair.TriangulateMatches());
  EXPECT_EQ(eight.pair.m_XW, Matrix::Zero(1, 3));
}

}  // namespace
}  // namespace q3d
