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

TEST_F(CliSnap, PreciseCentresByDefaultPlainOnRequestAndAllPointsReCentred) {
  MakeScene(12, 0);
  const std::string project = NewProject("p.qvp");
  for (int k = 0; k < 4; ++k) {
    const ScenePoint& truth = scene_.points[static_cast<size_t>(k)];
    const std::string at =
        std::to_string(std::lround(truth.x1) + 1) + "," + std::to_string(std::lround(truth.y1));
    const Json plain = RunJson({"snap", project, "--camera", "1", "--at", at, "--plain"});
    const Json precise = RunJson({"snap", File("p.qvp"), "--camera", "1", "--at", at, "--precise",
                                  "-o", File("precise.qvp")});
    const double plainError = std::hypot(plain["point"]["x"].Number() - truth.x1,
                                         plain["point"]["y"].Number() - truth.y1);
    const double preciseError = std::hypot(precise["point"]["x"].Number() - truth.x1,
                                           precise["point"]["y"].Number() - truth.y1);
    EXPECT_LT(preciseError, 0.05) << k;
    EXPECT_NE(plainError, preciseError) << k;
  }
  // The four plain points move to the precise centres; the second image has none.
  const Json all = RunJson({"snap", project, "--all", "-o", File("all.qvp")});
  EXPECT_EQ(all["moved"].Number(), 4);
  EXPECT_EQ(all["unchanged"].Number(), 0);
  const auto recentred = ReadBytes(File("all.qvp"));
  const Json again = RunJson({"snap", File("all.qvp"), "--all"});
  EXPECT_EQ(again["moved"].Number(), 0);
  EXPECT_FALSE(again.Has("output"));
  EXPECT_EQ(ReadBytes(File("all.qvp")), recentred);
  EXPECT_EQ(RunJson({"snap", File("all.qvp"), "--all", "--plain"})["moved"].Number(), 4);

  ExpectFailure({"snap", project, "--all", "--camera", "1"}, "takes no --camera or --at");
  ExpectFailure({"snap", project, "--plain", "--precise", "--camera", "1", "--at", "3,3"},
                "--plain or --precise, not both");
  ExpectFailure({"snap", project, "--at", "3,3"}, "'snap' needs --camera and --at, or --all");
}

}  // namespace
}  // namespace q3d::test
