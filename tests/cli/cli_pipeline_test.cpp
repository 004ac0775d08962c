// The tool end to end on a synthetic stereo pair: new, render, info, with the JSON and
// the files checked at every step.
#include <Eigen/Dense>
#include <cmath>

#include "cli_test_support.h"

namespace q3d::test {
namespace {

class CliPipeline : public CliTest {};

Eigen::Matrix3d ReadMatrix3(const Json& rows) {
  Eigen::Matrix3d m;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      m(r, c) = rows[static_cast<size_t>(r)][static_cast<size_t>(c)].Number();
  return m;
}

TEST_F(CliPipeline, NewWritesTheImagesAndTheMatchesOfTheFile) {
  MakeScene(30, 30);
  const std::string project = File("p.qvp");
  const Json created =
      RunJson({"new", "--image1", files_.image1.string(), "--image2", files_.image2.string(),
               "--matches", files_.matches.string(), "-o", project});
  EXPECT_EQ(created["command"].String(), "new");
  EXPECT_EQ(created["output"].String(), project);
  EXPECT_EQ(created["matches"].Number(), 30);
  EXPECT_FALSE(created["rendered"].Bool());
  ASSERT_TRUE(std::filesystem::exists(project));

  const Json info = RunJson({"info", project});
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(info["images"][i]["loaded"].Bool());
    EXPECT_EQ(info["images"][i]["width"].Number(), scene_.width);
    EXPECT_EQ(info["images"][i]["height"].Number(), scene_.height);
    EXPECT_EQ(info["images"][i]["points"].Number(), 30);
  }
  EXPECT_EQ(info["matches"].Number(), 30);
  EXPECT_FALSE(info["rendered"].Bool());
  EXPECT_FALSE(info.Has("f1"));

  const CliRun text = Run({"info", project});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Matches: 30"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Image 2: 640 x 480 pixels, 30 points"), std::string::npos) << text.out;
}

TEST_F(CliPipeline, NewWithoutMatchesGivesAnEmptyProject) {
  MakeScene(12, 0);
  const Json created = RunJson({"new", "--image1", files_.image1.string(), "--image2",
                                files_.image2.string(), "-o", File("empty.qvp")});
  EXPECT_EQ(created["matches"].Number(), 0);
  EXPECT_EQ(created["images"][0]["points"].Number(), 0);
}

TEST_F(CliPipeline, RenderRecoversTheCamerasAndReportsThemAsInfoDoes) {
  MakeScene(36, 36);
  const std::string project = NewProject("p.qvp");
  const std::string rendered = File("r.qvp");
  const auto before = ReadBytes(project);
  const Json render = RunJson({"render", project, "--seed", "7", "-o", rendered});
  EXPECT_EQ(ReadBytes(project), before) << "render -o must leave the input alone";
  EXPECT_TRUE(render["rendered"].Bool());
  EXPECT_EQ(render["seed"].Number(), 7);

  // The synthetic cameras have 800-pixel focal lengths; R is a rotation and t is scaled
  // so that its third component has unit size.
  EXPECT_NEAR(render["f1"].Number(), scene_.focal_px, 0.1 * scene_.focal_px);
  EXPECT_NEAR(render["f2"].Number(), scene_.focal_px, 0.1 * scene_.focal_px);
  const Eigen::Matrix3d R = ReadMatrix3(render["R"]);
  EXPECT_TRUE((R.transpose() * R).isApprox(Eigen::Matrix3d::Identity(), 1e-6)) << R;
  EXPECT_NEAR(R.determinant(), 1.0, 1e-6);
  ASSERT_EQ(render["t"].Items().size(), 3u);
  EXPECT_NEAR(std::abs(render["t"][2].Number()), 1.0, 1e-9);
  EXPECT_LT(render["reprojection_error_px"].Number(), 1.0);
  // How firmly the matches fix the focal lengths: a few per cent, with the principal
  // points well off each other's epipolar lines.
  EXPECT_GT(render["f1_deviation"].Number(), 0.0);
  EXPECT_LT(render["f1_deviation"].Number(), 0.5);
  EXPECT_LT(render["f2_deviation"].Number(), 0.5);
  EXPECT_GT(render["principal_point_separation_px"].Number(),
            10 * render["epipolar_scatter_px"].Number());

  const Json info = RunJson({"info", rendered});
  EXPECT_TRUE(info["rendered"].Bool());
  for (const char* key : {"f1", "f2", "reprojection_error_px", "f1_deviation", "f2_deviation"})
    EXPECT_DOUBLE_EQ(info[key].Number(), render[key].Number()) << key;
  EXPECT_EQ(ReadMatrix3(info["R"]), R);
}

TEST_F(CliPipeline, TheSameSeedRendersTheSameProject) {
  MakeScene(30, 30);
  const std::string project = NewProject("p.qvp");
  for (const char* out : {"a.qvp", "b.qvp"}) {
    const CliRun run = Run({"render", project, "--seed", "12345", "-o", File(out)});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  EXPECT_EQ(ReadBytes(File("a.qvp")), ReadBytes(File("b.qvp")));
}

TEST_F(CliPipeline, RefinedVerboseRenderKeepsDiagnosticsOffStdout) {
  MakeScene(30, 30);
  const std::string project = NewProject("p.qvp");
  const CliRun quiet = Run({"render", project, "--seed", "9", "--refine", "-o", File("q.qvp")});
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_TRUE(quiet.err.empty()) << quiet.err;

  const CliRun verbose = Run(
      {"render", project, "--seed", "9", "--refine", "--verbose", "--json", "-o", File("v.qvp")});
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_GT(LineCount(verbose.err), 0);
  ASSERT_EQ(LineCount(verbose.out), 1) << verbose.out;
  const auto json = Json::Parse(verbose.out);
  ASSERT_TRUE(json) << verbose.out;
  EXPECT_TRUE((*json)["refine"].Bool());
  EXPECT_NEAR((*json)["f1"].Number(), scene_.focal_px, 0.1 * scene_.focal_px);
  // Diagnostics change nothing in the result.
  EXPECT_EQ(ReadBytes(File("q.qvp")), ReadBytes(File("v.qvp")));
}

TEST_F(CliPipeline, RenderInPlaceReplacesTheProjectAndForceRendersAgain) {
  MakeScene(30, 30);
  const std::string project = NewProject("p.qvp");
  ASSERT_EQ(Run({"render", project, "--seed", "1"}).status, 0);
  EXPECT_TRUE(RunJson({"info", project})["rendered"].Bool());
  const auto once = ReadBytes(project);
  ExpectFailure({"render", project}, "already rendered");
  EXPECT_EQ(ReadBytes(project), once);

  const Json again = RunJson({"render", project, "--force", "--seed", "2"});
  EXPECT_TRUE(again["rendered"].Bool());
  EXPECT_EQ(Listing(),
            (std::vector<std::string>{"image1.bmp", "image2.bmp", "matches.csv", "p.qvp"}));
}

}  // namespace
}  // namespace q3d::test
