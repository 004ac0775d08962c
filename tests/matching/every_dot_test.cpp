// Automatic matching pairs every dot both photographs show, and no dot wrongly: on the
// head-scan pairs (kept beside the repository) and on a rendered face.
#include <gtest/gtest.h>

#include <filesystem>

#include "matching/automatic_matching.h"
#include "support/headscan_case.h"
#include "support/real_data.h"
#include "support/status_assertions.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

std::vector<PointPair> Match(const CCamera& camera1, const CCamera& camera2,
                             AutoMatchReport& report) {
  std::vector<PointPair> matches;
  EXPECT_TRUE(
      test::Succeeded(FindAutomaticMatches(camera1, camera2, AutoMatchParams{}, matches, &report)));
  return matches;
}

void ExpectEveryDot(const test::MatchScore& score, const AutoMatchReport& report) {
  ::testing::Test::RecordProperty("visible_dots", score.visibleDots);
  ::testing::Test::RecordProperty("matched_dots", score.matchedDots);
  ::testing::Test::RecordProperty("wrong", score.wrong);
  ::testing::Test::RecordProperty("matches", score.matches);
  ::testing::Test::RecordProperty(
      "dots_found", std::to_string(report.dots1) + " / " + std::to_string(report.dots2));
  EXPECT_GE(score.MatchedShare(), 0.95)
      << score.matchedDots << " of " << score.visibleDots << " dots matched";
  EXPECT_EQ(score.wrong, 0) << "of " << score.matches << " matches";
  EXPECT_GE(report.dotMatches, score.matchedDots);
}

void ExpectEveryDotOfHeadscan(const char* name) {
  const std::filesystem::path dir = std::filesystem::path(Q3D_HEADSCAN_DIR) / name;
  Q3D_REQUIRE_REAL_DATA(dir / "truth.json");
  const auto truth = test::LoadHeadscanCase(dir.string());
  ASSERT_TRUE(truth);
  // The bitmaps, and the phone's JPEG files of the same pixels with their compression.
  for (const char* kind : {".bmp", ".jpg"}) {
    SCOPED_TRACE(kind);
    CCamera camera1, camera2;
    ASSERT_TRUE(test::Succeeded(camera1.Load((dir / ("image1" + std::string(kind))).string())));
    ASSERT_TRUE(test::Succeeded(camera2.Load((dir / ("image2" + std::string(kind))).string())));
    AutoMatchReport report;
    const std::vector<PointPair> matches = Match(camera1, camera2, report);
    ExpectEveryDot(
        test::ScoreMatches(truth->dots1, truth->dots2, matches,
                           [&](double x, double y) { return truth->TrueCorrespondence(x, y); }),
        report);
  }
}

TEST(EveryDot, Headscan01) { ExpectEveryDotOfHeadscan("head01"); }
TEST(EveryDot, Headscan04DifferentZoom) { ExpectEveryDotOfHeadscan("head04"); }

TEST(EveryDot, RenderedFaceWithNoise) {
  test::FaceSceneOptions options;
  options.noiseSigma = 3.0;
  options.brightness2 = 0.9;
  options.dots = 120;
  options.dotSpacing = 0.008;
  options.aimAtOnePoint = true;
  options.sculpted = true;
  options.seed = 3;
  const test::FaceStereoPair pair = test::RenderFaceStereoPair(options);
  // The dots both images show: each one's projection in image 2 is where image 1's sees it.
  std::vector<Eigen::Vector2d> dots1, dots2;
  for (size_t k = 0; k < pair.dots1.size(); ++k) {
    const auto seen = pair.TrueCorrespondence(pair.dots1[k].x(), pair.dots1[k].y());
    if (seen && (*seen - pair.dots2[k]).norm() < 1.0) {
      dots1.push_back(pair.dots1[k]);
      dots2.push_back(pair.dots2[k]);
    }
  }
  ASSERT_GE(dots1.size(), 60u);
  CCamera camera1, camera2;
  test::LoadFaceImages(pair, camera1, camera2);
  AutoMatchReport report;
  const std::vector<PointPair> matches = Match(camera1, camera2, report);
  ExpectEveryDot(
      test::ScoreMatches(dots1, dots2, matches,
                         [&](double x, double y) { return pair.TrueCorrespondence(x, y); }),
      report);
}

}  // namespace
}  // namespace q3d
