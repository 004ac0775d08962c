// Automatic matching on real calibrated photographs (kept outside the repository): every
// match must lie on the epipolar lines of the true camera geometry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "matching/automatic_matching.h"
#include "support/real_data.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

// The true fundamental matrix of the pair (coordinates counted from 1), from its truth file.
bool ReadTrueF(const std::filesystem::path& truthFile, Matrix3& F) {
  std::ifstream in(truthFile);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const std::regex entry(
      "\"F_px1based\":\\s*\\[\\s*\\[([^\\]]*)\\],\\s*\\[([^\\]]*)\\],\\s*\\[([^\\]]*)\\]");
  std::smatch found;
  if (!std::regex_search(s, found, entry)) return false;
  std::stringstream values(found[1].str() + "," + found[2].str() + "," + found[3].str());
  for (int k = 0; k < 9; ++k) {
    std::string value;
    if (!std::getline(values, value, ',')) return false;
    F(k / 3, k % 3) = std::stod(value);
  }
  return true;
}

void ExpectMatchesOnTrueEpipolarLines(const char* name, int points, int minMatches) {
  const std::filesystem::path dir = std::filesystem::path(Q3D_REALDATA_DIR) / name;
  Q3D_REQUIRE_REAL_DATA(dir / "truth.json");
  Matrix3 F;
  ASSERT_TRUE(ReadTrueF(dir / "truth.json", F));
  CCamera camera1, camera2;
  ASSERT_TRUE(test::Succeeded(camera1.Load((dir / "image1.bmp").string())));
  ASSERT_TRUE(test::Succeeded(camera2.Load((dir / "image2.bmp").string())));
  AutoMatchParams params;
  params.points = points;
  std::vector<PointPair> matches;
  ASSERT_TRUE(test::Succeeded(FindAutomaticMatches(camera1, camera2, params, matches)));
  int onLines = 0;
  for (const PointPair& m : matches)
    if (EpipolarDistance(F, {m.x1 + 1, m.y1 + 1, m.x2 + 1, m.y2 + 1}) <= 1.5) ++onLines;
  ::testing::Test::RecordProperty("matches", static_cast<int>(matches.size()));
  ::testing::Test::RecordProperty("on_true_epipolar_lines", onLines);
  EXPECT_GE(static_cast<int>(matches.size()), minMatches);
  EXPECT_GE(onLines, 0.95 * static_cast<double>(matches.size()));
}

TEST(RealPhotographs, TempleMatchesLieOnTheTrueEpipolarLines) {
  ExpectMatchesOnTrueEpipolarLines("temple_sr_07_08", 100, 25);
  ExpectMatchesOnTrueEpipolarLines("temple_sr_07_08", 400, 120);
}

TEST(RealPhotographs, DinoMatchesLieOnTheTrueEpipolarLines) {
  ExpectMatchesOnTrueEpipolarLines("dino_sr_02_03", 100, 30);
}

}  // namespace
}  // namespace q3d
