// The dense surface of a photographed real head, made as a user makes it (JPEG photographs
// with their EXIF, the dots' matches given or found automatically, render, dense), against
// the scan's true depth.
#include <gtest/gtest.h>

#include "support/headscan.h"
#include "support/real_data.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

test::DenseScore ScoreHead(const std::string& name,
                           test::HeadscanMatches matches = test::HeadscanMatches::kGiven) {
  const std::filesystem::path dir = test::HeadscanDir(name);
  test::HeadscanTruth truth;
  EXPECT_TRUE(test::LoadHeadscanTruth(dir, truth));
  CProjectDoc doc;
  EXPECT_TRUE(test::Succeeded(test::MakeHeadscanProject(dir, doc, matches)));
  DenseSurface surface;
  EXPECT_TRUE(test::Succeeded(BuildDenseSurface(doc.m_stereoPair, {}, nullptr, surface)));
  const test::DenseScore score = test::ScoreDenseSurface(
      truth, doc.m_stereoPair.m_XW, test::DotsOfMatches(truth, doc.m_stereoPair), surface);
  for (const auto& [key, value] : {std::pair{"inside_rms_pct", score.insideRms},
                                   {"inside_p95_pct", score.insideP95},
                                   {"margin_rms_pct", score.marginRms},
                                   {"normal_median_deg", score.normalMedian},
                                   {"normal_p90_deg", score.normalP90},
                                   {"coverage", score.coverage}})
    ::testing::Test::RecordProperty(key, std::to_string(value));
  std::printf("%s%s: %s\n", name.c_str(),
              matches == test::HeadscanMatches::kAutomatic ? " (automatic matching)" : "",
              test::Describe(score).c_str());
  return score;
}

// Bounds a little above what the surface reaches now; the goal is 0.30 % RMS and 0.60 % p95
// inside the hull, normals 4 deg median and 11 deg p90, the margin 1.0 % RMS.
void ExpectSkinLike(const test::DenseScore& score) {
  EXPECT_LE(score.insideRms, 0.38);
  EXPECT_LE(score.insideP95, 0.60);
  EXPECT_LE(score.normalMedian, 5.3);
  EXPECT_LE(score.normalP90, 13.0);
  EXPECT_LT(score.normalOnDotRims, score.normalBetweenDots) << "the dots show in the surface";
  EXPECT_GE(score.coverage, 0.98);
  EXPECT_EQ(score.outlines, 1u) << "holes or islands";
  EXPECT_LE(score.outlineRoughness, 0.1) << "a ragged outline";
  EXPECT_LE(score.marginRms, 0.35);
}

TEST(DenseHeadscan, Head01FollowsTheScannedFace) {
  Q3D_REQUIRE_REAL_DATA(test::HeadscanDir("head01") / "depth1.tiff");
  ExpectSkinLike(ScoreHead("head01"));
}

TEST(DenseHeadscan, Head04FollowsTheScannedFace) {
  Q3D_REQUIRE_REAL_DATA(test::HeadscanDir("head04") / "depth1.tiff");
  ExpectSkinLike(ScoreHead("head04"));
}

TEST(DenseHeadscan, Head01MadeWithAutomaticMatching) {
  Q3D_REQUIRE_REAL_DATA(test::HeadscanDir("head01") / "depth1.tiff");
  ExpectSkinLike(ScoreHead("head01", test::HeadscanMatches::kAutomatic));
}

TEST(DenseHeadscan, Head04MadeWithAutomaticMatching) {
  Q3D_REQUIRE_REAL_DATA(test::HeadscanDir("head04") / "depth1.tiff");
  ExpectSkinLike(ScoreHead("head04", test::HeadscanMatches::kAutomatic));
}

}  // namespace
}  // namespace q3d
