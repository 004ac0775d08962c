// The cubic grid mesh of the bundled sample: texture coordinates within the texture in every
// textured export format, showing the picture the point mesh shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "model/mesh_builder.h"
#include "model/model_file.h"
#include "project/project_doc.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<float> FloatsAt(const std::string& bytes, size_t at, size_t count, size_t stride) {
  std::vector<float> values(count);
  for (size_t k = 0; k < count; ++k) std::memcpy(&values[k], bytes.data() + at + k * stride, 4);
  return values;
}

// The texture coordinates as the file stores them, u and v of each vertex in turn.
std::vector<float> StoredTextureCoordinates(const fs::path& path, int vertices) {
  const std::string bytes = ReadFile(path);
  const std::string ext = path.extension().string();
  std::vector<float> uv;
  if (ext == ".ply") {
    // 32-byte vertex records: position, normal, then s and t.
    const size_t body = bytes.find("end_header\n") + 11;
    for (int v = 0; v < vertices; ++v)
      for (float x : FloatsAt(bytes, body + 32 * v + 24, 2, 4)) uv.push_back(x);
  } else if (ext == ".glb") {
    // The third buffer view holds TEXCOORD_0.
    const std::regex view(R"re(\{"buffer":0,"byteOffset":(\d+),"byteLength":(\d+))re");
    auto it = std::sregex_iterator(bytes.begin(), bytes.end(), view);
    std::advance(it, 2);
    uint32_t jsonLength;
    std::memcpy(&jsonLength, bytes.data() + 12, 4);
    const size_t bin = 20 + jsonLength + 8;
    uv = FloatsAt(bytes, bin + std::stoul((*it)[1]), std::stoul((*it)[2]) / 4, 4);
  } else {
    // OBJ "vt u v" lines; VRML's TextureCoordinate list of "u v," lines.
    const bool obj = ext == ".obj";
    std::istringstream lines(obj ? bytes : bytes.substr(bytes.find("TextureCoordinate")));
    std::string line;
    float u, v;
    while (std::getline(lines, line) && (obj || line.find(']') == std::string::npos)) {
      if (std::sscanf(line.c_str(), obj ? "vt %f %f" : " %f %f,", &u, &v) == 2)
        uv.insert(uv.end(), {u, v});
    }
  }
  return uv;
}

class SampleGridTexture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path sample = fs::path(Q3D_SAMPLES_DIR) / "face" / "sample.qvp";
    ASSERT_TRUE(test::Succeeded(doc_.LoadProject(sample.string())));
    RenderOptions options;
    options.seed = 1;
    ASSERT_TRUE(test::Succeeded(doc_.Render(options)));
  }
  static CProjectDoc doc_;
};
CProjectDoc SampleGridTexture::doc_;

TEST_F(SampleGridTexture, EveryExportKeepsCoordinatesWithinTheTexture) {
  ASSERT_TRUE(doc_.IsRendered());
  const fs::path dir = fs::temp_directory_path() / ("q3d_grid_texture_" + std::to_string(getpid()));
  fs::create_directories(dir);
  ModelExportOptions cubic;
  cubic.smooth = cubic.cubic = 1;
  for (const char* name : {"face.obj", "face.ply", "face.wrl", "face.glb"}) {
    ExportedMesh written;
    ASSERT_TRUE(test::Succeeded(
        ExportModel3D((dir / name).string(), doc_.m_stereoPair, doc_.m_model, cubic, &written)));
    const std::vector<float> uv = StoredTextureCoordinates(dir / name, written.vertices);
    ASSERT_EQ(uv.size(), 2u * written.vertices) << name;
    const auto [low, high] = std::minmax_element(uv.begin(), uv.end());
    EXPECT_GE(*low, 0.0f) << name;
    EXPECT_LE(*high, 1.0f) << name;
    EXPECT_GT(*high - *low, 0.9f) << name << ": the grid spans the texture";
  }
  fs::remove_all(dir);
}

TEST_F(SampleGridTexture, GridShowsThePointMeshPictureNotItsMirror) {
  MeshBuilder points, grid;
  ASSERT_EQ(doc_.m_model.BuildMesh(points, 0, 50, 0), kMeshOk);
  ASSERT_EQ(doc_.m_model.BuildMesh(grid, 1, 50, 1), kMeshOk);
  // Both meshes are centred on their own box, alike to a small shift: near each point the
  // grid's texture coordinates are the point's.
  const auto &p = points.Positions(), &g = grid.Positions();
  const auto &pUv = points.TextureCoordinates(), &gUv = grid.TextureCoordinates();
  std::vector<double> offsets;
  for (int i = 0; i < points.VertexCount(); ++i) {
    int nearest = 0;
    double best = INFINITY;
    for (int j = 0; j < grid.VertexCount(); ++j) {
      const double d = std::hypot(g[3 * j] - p[3 * i], g[3 * j + 1] - p[3 * i + 1]);
      if (d < best) best = d, nearest = j;
    }
    offsets.push_back(
        std::hypot(gUv[2 * nearest] - pUv[2 * i], gUv[2 * nearest + 1] - pUv[2 * i + 1]));
  }
  std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
  EXPECT_LT(offsets[offsets.size() / 2], 0.05);
}

}  // namespace
}  // namespace q3d
