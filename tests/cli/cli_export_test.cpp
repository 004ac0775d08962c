// export: every format from a rendered synthetic project, checked against the mesh size
// the command reports; and the exports that must fail without writing anything.
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli_test_support.h"

namespace q3d::test {
namespace {

constexpr int kMatches = 36;

class CliExport : public CliTest {
 protected:
  void SetUp() override {
    MakeScene(kMatches, kMatches);
    project_ = NewProject("p.qvp");
    rendered_ = File("r.qvp");
    ASSERT_EQ(Run({"render", project_, "--seed", "5", "-o", rendered_}).status, 0);
  }

  std::string Text(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static int CountLinesStartingWith(const std::string& text, const std::string& prefix) {
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) count += line.rfind(prefix, 0) == 0;
    return count;
  }

  static uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
  }

  std::string project_;
  std::string rendered_;
};

TEST_F(CliExport, ModelFileHoldsTheCamerasAndEveryMatch) {
  const Json exported = RunJson({"export", rendered_, "-o", File("model.q3d")});
  EXPECT_EQ(exported["format"].String(), "q3d");
  EXPECT_EQ(exported["matches"].Number(), kMatches);
  const auto bytes = ReadBytes(File("model.q3d"));
  ASSERT_EQ(bytes.size(), 787078u + 32u * kMatches);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "QV3D");
  EXPECT_EQ(bytes[4], 1);
  EXPECT_EQ(Le32(bytes, 262), 640u);
  EXPECT_EQ(Le32(bytes, 266), 480u);

  // The extension test ignores case.
  ASSERT_EQ(Run({"export", rendered_, "-o", File("UPPER.Q3D")}).status, 0);
  EXPECT_EQ(ReadBytes(File("UPPER.Q3D")), bytes);
}

TEST_F(CliExport, MeshFormatsHoldTheReportedMesh) {
  const Json obj = RunJson({"export", rendered_, "-o", File("m.obj")});
  const int vertices = static_cast<int>(obj["vertices"].Number());
  const int triangles = static_cast<int>(obj["triangles"].Number());
  EXPECT_EQ(obj["mesh"].String(), "points");
  EXPECT_EQ(vertices, kMatches);  // the points' own mesh has a vertex per match
  EXPECT_GT(triangles, kMatches);
  const std::string objText = Text("m.obj");
  EXPECT_EQ(CountLinesStartingWith(objText, "v "), vertices);
  EXPECT_EQ(CountLinesStartingWith(objText, "f "), triangles);
  EXPECT_TRUE(std::filesystem::exists(File("m.mtl")));

  const Json ply = RunJson({"export", rendered_, "-o", File("m.ply")});
  EXPECT_EQ(ply["vertices"].Number(), vertices);
  const std::string plyText = Text("m.ply");
  EXPECT_EQ(plyText.rfind("ply\n", 0), 0u);
  EXPECT_NE(plyText.find("element vertex " + std::to_string(vertices) + "\n"), std::string::npos);
  EXPECT_NE(plyText.find("element face " + std::to_string(triangles) + "\n"), std::string::npos);

  RunJson({"export", rendered_, "-o", File("m.wrl")});
  EXPECT_EQ(Text("m.wrl").rfind("#VRML V2.0 utf8", 0), 0u);

  RunJson({"export", rendered_, "-o", File("m.glb")});
  const auto glb = ReadBytes(File("m.glb"));
  ASSERT_GE(glb.size(), 12u);
  EXPECT_EQ(std::string(glb.begin(), glb.begin() + 4), "glTF");
  EXPECT_EQ(Le32(glb, 4), 2u);
  EXPECT_EQ(Le32(glb, 8), glb.size());
}

TEST_F(CliExport, TheMeshOptionChoosesTheMesh) {
  const Json points = RunJson({"export", rendered_, "-o", File("a.ply")});
  const Json refined = RunJson({"export", rendered_, "-o", File("b.ply"), "--mesh", "subdivision"});
  const Json cubic = RunJson({"export", rendered_, "-o", File("c.ply"), "--mesh", "cubic"});
  EXPECT_EQ(refined["mesh"].String(), "subdivision");
  EXPECT_GT(refined["triangles"].Number(), points["triangles"].Number());
  EXPECT_EQ(cubic["mesh"].String(), "cubic");
  EXPECT_NE(cubic["vertices"].Number(), refined["vertices"].Number());
  EXPECT_NE(ReadBytes(File("a.ply")), ReadBytes(File("c.ply")));
}

TEST_F(CliExport, FailingExportsWriteNothing) {
  const auto before = Listing();
  ExpectFailure({"export", project_, "-o", File("early.obj")}, "not rendered");
  ExpectFailure({"export", project_, "-o", File("early.q3d")}, "not rendered");
  ExpectFailure({"export", rendered_, "-o", File("model.3mf")}, "no known 3D model extension");
  ExpectFailure({"export", rendered_, "-o", File("m.ply"), "--mesh", "smooth"},
                "--mesh: 'smooth' is not points, subdivision, cubic or dense");
  ExpectFailure({"export", rendered_, "-o", File("missing/dir/m.glb")}, "m.glb");
  ExpectFailure({"export", rendered_}, "needs --output");
  EXPECT_EQ(Listing(), before);
}

// The files written beside the model spare the project, whatever names it goes by; the
// refusal comes before any file is written.
TEST_F(CliExport, CompanionFilesNeverOverwriteTheProject) {
  namespace fs = std::filesystem;
  fs::copy_file(rendered_, File("out.mtl"));
  fs::create_hard_link(rendered_, File("x_texture.png"));
  fs::create_symlink(File("r.qvp"), File("y_texture2.png"));
  const auto project = ReadBytes(rendered_);
  const auto before = Listing();
  ExpectFailure({"export", File("out.mtl"), "-o", File("out.obj")},
                "out.mtl, which is the project");
  ExpectFailure({"export", rendered_, "-o", File("x.ply")}, "x_texture.png, which is the project");
  ExpectFailure({"export", rendered_, "-o", File("y.wrl")}, "y_texture2.png, which is the project");
  EXPECT_EQ(Listing(), before);
  EXPECT_EQ(ReadBytes(rendered_), project);
  EXPECT_EQ(ReadBytes(File("out.mtl")), project);
}

}  // namespace
}  // namespace q3d::test
