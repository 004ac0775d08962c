// export --mesh dense: the dense surface of a rendered synthetic face in the mesh formats
// and STL, in the same frame as the points' own mesh.
#include <cmath>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "cli_test_support.h"
#include "support/synthetic_face.h"

namespace q3d::test {
namespace {

// Vertex positions of an OBJ file.
std::vector<std::array<double, 3>> ObjVertices(const std::string& path) {
  std::vector<std::array<double, 3>> vertices;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("v ", 0) != 0) continue;
    std::istringstream fields(line.substr(2));
    std::array<double, 3> v{};
    fields >> v[0] >> v[1] >> v[2];
    vertices.push_back(v);
  }
  return vertices;
}

class CliDense : public CliTest {
 protected:
  void SetUp() override {
    FaceSceneOptions options;
    options.width = 640;
    options.height = 480;
    const FaceStereoPair face = RenderFaceStereoPair(options);
    ASSERT_TRUE(cv::imwrite(File("face1.bmp"), face.image1));
    ASSERT_TRUE(cv::imwrite(File("face2.bmp"), face.image2));
    std::ofstream csv(File("dots.csv"));
    csv << "x1,y1,x2,y2\n";
    for (size_t i = 0; i < face.dots1.size(); ++i)
      csv << face.dots1[i].x() << ',' << face.dots1[i].y() << ',' << face.dots2[i].x() << ','
          << face.dots2[i].y() << '\n';
    csv.close();
    dots_ = static_cast<int>(face.dots1.size());
    faceWidth_ = 0.15 * face.unitsPerMetre;
    project_ = File("face.qvp");
    ASSERT_EQ(Run({"new", "--image1", File("face1.bmp"), "--image2", File("face2.bmp"), "--matches",
                   File("dots.csv"), "-o", project_})
                  .status,
              0);
    ASSERT_EQ(Run({"render", project_, "--seed", "5", "-o", project_}).status, 0);
  }

  std::string project_;
  int dots_ = 0;
  double faceWidth_ = 0;
};

TEST_F(CliDense, DenseMeshIsInThePointsMeshFrameAndPrintable) {
  const Json dense = RunJson({"export", project_, "--mesh", "dense", "-o", File("dense.obj")});
  EXPECT_EQ(dense["mesh"].String(), "dense");
  const auto denseVertices = ObjVertices(File("dense.obj"));
  EXPECT_EQ(static_cast<double>(denseVertices.size()), dense["vertices"].Number());
  EXPECT_GT(denseVertices.size(), 100u * dots_);
  EXPECT_TRUE(std::filesystem::exists(File("dense_texture.png")));

  // Every dot of the points mesh lies on the dense surface: within 1.5 % of the face's width
  // of a vertex (an outermost dot, where the surface ends as the face turns away, is up to
  // two grid steps from its nearest vertex; a wrong frame is off by far more).
  RunJson({"export", project_, "--mesh", "points", "-o", File("points.obj")});
  for (const auto& p : ObjVertices(File("points.obj"))) {
    double nearest = 1e300;
    for (const auto& q : denseVertices)
      nearest = std::min(nearest, std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]));
    EXPECT_LT(nearest, 0.015 * faceWidth_);
  }

  const Json stl = RunJson({"export", project_, "--mesh", "dense", "-o", File("dense.stl")});
  EXPECT_EQ(stl["format"].String(), "stl");
  EXPECT_EQ(std::filesystem::file_size(File("dense.stl")),
            84u + 50u * static_cast<uint64_t>(stl["triangles"].Number()));
  ExpectFailure(
      {"export", project_, "--mesh", "dense", "--dense-margin", "80", "-o", File("x.obj")},
      "--dense-margin");
}

// A real distance puts the exports in millimetres; clearing it gives the project back its
// bytes, as a project without a scale never holds the scale's record.
TEST_F(CliDense, RealDistanceScalesExportsAndLeavesOtherProjectsAlone) {
  const auto original = ReadBytes(project_);
  const std::string scaled = File("scaled.qvp");
  RunJson({"scale", project_, "--between", "1,2", "--mm", "62", "-o", scaled});
  const Json info = RunJson({"info", scaled});
  EXPECT_EQ(info["scale_mm"].Number(), 62);
  EXPECT_GT(info["mm_per_unit"].Number(), 0);

  RunJson({"export", scaled, "--mesh", "points", "-o", File("mm.obj")});
  const auto points = ObjVertices(File("mm.obj"));
  ASSERT_GE(points.size(), 2u);
  EXPECT_NEAR(std::hypot(points[0][0] - points[1][0], points[0][1] - points[1][1],
                         points[0][2] - points[1][2]),
              62.0, 1e-3);

  RunJson({"scale", scaled, "--clear"});
  EXPECT_EQ(ReadBytes(scaled), original);
  ExpectFailure({"scale", project_, "--between", "1,1", "--mm", "62"}, "two different matches");
  ExpectFailure({"scale", project_, "--between", "1,999", "--mm", "62"}, "Match 999 is not in 1..");
}

}  // namespace
}  // namespace q3d::test
