// snap: a point on the marker under a pixel, as a Shift-click places it.
#include <cmath>

#include "cli_test_support.h"

namespace q3d::test {
namespace {

class CliSnap : public CliTest {};

TEST_F(CliSnap, PlacesPointsOnMarkerCentresWithTheNextIdentifiers) {
  MakeScene(12, 0);
  const std::string project = NewProject("p.qvp");
  for (int k = 0; k < 2; ++k) {
    const ScenePoint& truth = scene_.points[static_cast<size_t>(k)];
    const int x = static_cast<int>(std::lround(truth.x2)) + 2;  // off-centre, inside the dot
    const int y = static_cast<int>(std::lround(truth.y2)) - 1;
    const Json snapped = RunJson(
        {"snap", project, "--camera", "2", "--at", std::to_string(x) + "," + std::to_string(y)});
    ASSERT_TRUE(snapped["found"].Bool());
    EXPECT_EQ(snapped["camera"].Number(), 2);
    EXPECT_EQ(snapped["point"]["id"].Number(), k);
    EXPECT_NEAR(snapped["point"]["x"].Number(), truth.x2, 0.5);
    EXPECT_NEAR(snapped["point"]["y"].Number(), truth.y2, 0.5);
    EXPECT_EQ(snapped["output"].String(), project);
  }
  const Json info = RunJson({"info", project});
  EXPECT_EQ(info["images"][0]["points"].Number(), 0);
  EXPECT_EQ(info["images"][1]["points"].Number(), 2);
}

TEST_F(CliSnap, NoMarkerLeavesTheProjectAsItWas) {
  MakeScene(12, 0);
  const std::string project = NewProject("p.qvp");
  const auto before = ReadBytes(project);
  const Json missed = RunJson({"snap", project, "--camera", "1", "--at", "3,3"});
  EXPECT_FALSE(missed["found"].Bool());
  EXPECT_FALSE(missed.Has("point"));
  EXPECT_EQ(ReadBytes(project), before);

  const CliRun text = Run({"snap", project, "--camera", "1", "--at", "3,3"});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out, "No marker found under (3, 3) in image 1\n");

  // With -o the unchanged project is still written, so that scripts can go on from it.
  const Json copied =
      RunJson({"snap", project, "--camera", "1", "--at", "3,3", "-o", File("c.qvp")});
  EXPECT_EQ(ReadBytes(File("c.qvp")), before);
}

TEST_F(CliSnap, APixelOutsideTheImageIsRefused) {
  MakeScene(12, 0);
  const std::string project = NewProject("p.qvp");
  const auto before = ReadBytes(project);
  ExpectFailure({"snap", project, "--camera", "1", "--at", "640,10"},
                "--at 640,10 lies outside image 1 (640 x 480 pixels)");
  ExpectFailure({"snap", project, "--camera", "2", "--at", "-1,10"}, "lies outside image 2");
  EXPECT_EQ(ReadBytes(project), before);
}

}  // namespace
}  // namespace q3d::test
