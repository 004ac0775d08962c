// match: automatic matching on synthetic face photographs, then the render of its matches;
// and the refusals that protect existing work.
#include <cmath>

#include "cli_test_support.h"
#include "support/synthetic_face.h"

namespace q3d::test {
namespace {

class CliMatch : public CliTest {
 protected:
  // A project with the two face photographs and no matches.
  std::string FaceProject(const FaceStereoPair& face) {
    WriteBytes(File("face1.bmp"), EncodeBmp(face.image1, {}));
    WriteBytes(File("face2.bmp"), EncodeBmp(face.image2, {}));
    const std::string project = File("face.qvp");
    const CliRun run =
        Run({"new", "--image1", File("face1.bmp"), "--image2", File("face2.bmp"), "-o", project});
    EXPECT_EQ(run.status, 0) << run.err;
    return project;
  }
};

TEST_F(CliMatch, MatchesAFacePairWellEnoughToRenderIt) {
  FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  const FaceStereoPair face = RenderFaceStereoPair(options);
  const std::string project = FaceProject(face);
  const std::string matched = File("matched.qvp");
  const Json match = RunJson({"match", project, "-o", matched, "--threshold", "0.5"});
  EXPECT_EQ(match["parameters"]["threshold"].Number(), 0.5);
  EXPECT_EQ(match["parameters"]["points"].Number(), 100);  // the dialog's default
  const double matches = match["matches"].Number();
  EXPECT_GE(matches, 10);
  EXPECT_EQ(match["images"][0]["points"].Number(), matches);
  EXPECT_EQ(match["images"][1]["points"].Number(), matches);
  EXPECT_EQ(RunJson({"info", matched})["matches"].Number(), matches);

  const Json render = RunJson({"render", matched, "--seed", "3"});
  EXPECT_NEAR(render["f1"].Number(), face.f1, 0.15 * face.f1);
  EXPECT_NEAR(render["f2"].Number(), face.f2, 0.15 * face.f2);
  EXPECT_LT(render["reprojection_error_px"].Number(), 2.0);
}

TEST_F(CliMatch, ExistingWorkIsReplacedOnlyOnRequest) {
  MakeScene(12, 12);
  const std::string project = NewProject("p.qvp");
  const auto before = ReadBytes(project);
  ExpectFailure({"match", project}, "already has points or matches");
  EXPECT_EQ(ReadBytes(project), before);
}

TEST_F(CliMatch, ParametersOutsideTheDialogsRangesAreRefused) {
  MakeScene(12, 0);
  const std::string project = NewProject("p.qvp");
  const auto before = ReadBytes(project);
  ExpectFailure({"match", project, "--gauss-size", "4"}, "--gauss-size: 4 is not odd");
  ExpectFailure({"match", project, "--win-width", "33"}, "--win-width: 33 is outside 1..31");
  ExpectFailure({"match", project, "--threshold", "1.5"}, "--threshold");
  ExpectFailure({"match", project, "--rel-min", "0"}, "--rel-min");
  ExpectFailure({"match", project, "--points", "many"}, "--points: 'many' is not a whole number");
  EXPECT_EQ(ReadBytes(project), before);
}

}  // namespace
}  // namespace q3d::test
