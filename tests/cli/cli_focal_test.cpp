// Focal lengths through the tool: photographs aimed at one point render with an assumed
// focal length and a warning, or with the one given on the command line, which the
// project keeps.
#include "cli_test_support.h"

namespace q3d::test {
namespace {

class CliFocal : public CliTest {};

TEST_F(CliFocal, AimedPhotographsRenderAssumedWithAWarningOrWithTheGivenFocalLength) {
  const StereoScene aimed = MakeStereoScene(49, 3, true);
  const auto dir = Dir() / "aimed";
  std::filesystem::create_directories(dir);
  const SceneFiles files = WriteSceneFiles(aimed, 49, dir);
  const std::string project = File("aimed.qvp");
  ASSERT_EQ(Run({"new", "--image1", files.image1.string(), "--image2", files.image2.string(),
                 "--matches", files.matches.string(), "-o", project})
                .status,
            0);
  const CliRun assumed =
      Run({"render", project, "-o", File("assumed.qvp"), "--seed", "2", "--json"});
  ASSERT_EQ(assumed.status, 0) << assumed.err;
  EXPECT_NE(assumed.err.find("warning: the matches do not determine the focal length of camera 1"),
            std::string::npos)
      << assumed.err;
  const auto rendered = Json::Parse(assumed.out);
  ASSERT_TRUE(rendered);
  EXPECT_GT((*rendered)["render_seconds"].Number(), 0.0);
  const Json info = RunJson({"info", File("assumed.qvp")});
  EXPECT_EQ(info["images"][0]["focal_source"].String(), "assumed");
  EXPECT_EQ(info["images"][1]["focal_source"].String(), "assumed");

  const Json given = RunJson({"render", project, "-o", File("given.qvp"), "--seed", "2", "--focal",
                              std::to_string(aimed.focal_px)});
  EXPECT_NEAR(given["f1"].Number(), aimed.focal_px, 0.02 * aimed.focal_px);
  const Json kept = RunJson({"info", File("given.qvp")});
  EXPECT_EQ(kept["images"][0]["focal_source"].String(), "entered");
  EXPECT_NEAR(kept["images"][1]["focal_entered_px"].Number(), aimed.focal_px,
              1e-6 * aimed.focal_px);
}

}  // namespace
}  // namespace q3d::test
