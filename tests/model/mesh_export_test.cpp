#include "model/mesh_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "model/fill_mesh_builder.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

namespace fs = std::filesystem;

class MeshExport : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("q3d_mesh_export_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // A 6 x 5 bumpy grid with texture coordinates partly outside [0, 1], as grid meshes have.
    const int nx = 6, ny = 5;
    Matrix V(nx * ny, 3), T(nx * ny, 2), F(2 * (nx - 1) * (ny - 1), 3);
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        const int k = j * nx + i;
        V.row(k) << i, j, 0.3 * std::sin(i + 2.0 * j);
        T.row(k) << -10.0 * i, -10.0 * j;
      }
    int f = 0;
    for (int j = 0; j + 1 < ny; ++j)
      for (int i = 0; i + 1 < nx; ++i) {
        const int k = j * nx + i + 1;
        F.row(f++) << k, k + 1, k + nx + 1;
        F.row(f++) << k, k + nx + 1, k + nx;
      }
    ASSERT_EQ(FillMeshBuilder(mesh_, V, T, F, 50, 40), kMeshOk);
    texture_.create(512, 512, CV_8UC3);
    cv::randu(texture_, cv::Scalar::all(0), cv::Scalar::all(255));
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void ExpectTextureBeside(const std::string& name) const {
    const cv::Mat png = cv::imread(Path(name), cv::IMREAD_COLOR);
    ASSERT_FALSE(png.empty()) << name;
    EXPECT_EQ(cv::norm(png, texture_, cv::NORM_INF), 0.0);
  }
  // Only the expected files, no temporaries left behind.
  void ExpectFiles(std::set<std::string> expected) const {
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(dir_)) found.insert(e.path().filename().string());
    EXPECT_EQ(found, expected);
  }

  fs::path dir_;
  MeshBuilder mesh_;
  cv::Mat texture_;
};

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

TEST_F(MeshExport, GlbHasValidChunksAccessorsAndEmbeddedTexture) {
  ASSERT_TRUE(test::Succeeded(ExportMesh(Path("face.GLB"), mesh_, texture_)));
  ExpectFiles({"face.GLB"});
  const std::string glb = Read(Path("face.GLB"));
  ASSERT_GE(glb.size(), 28u);
  EXPECT_EQ(glb.substr(0, 4), "glTF");
  EXPECT_EQ(U32(glb, 4), 2u);
  EXPECT_EQ(U32(glb, 8), glb.size());
  const uint32_t jsonLength = U32(glb, 12);
  EXPECT_EQ(jsonLength % 4, 0u);
  EXPECT_EQ(glb.substr(16, 4), "JSON");
  const std::string json = glb.substr(20, jsonLength);
  const size_t binAt = 20 + jsonLength;
  const uint32_t binLength = U32(glb, binAt);
  EXPECT_EQ(binLength % 4, 0u);
  EXPECT_EQ(glb.substr(binAt + 4, 4), std::string("BIN\0", 4));
  EXPECT_EQ(binAt + 8 + binLength, glb.size());
  EXPECT_NE(json.find("\"byteLength\":" + std::to_string(binLength) + "}"), std::string::npos);

  // Every buffer view lies inside the buffer at a 4-byte aligned offset.
  const std::regex view(R"re(\{"buffer":0,"byteOffset":(\d+),"byteLength":(\d+))re");
  std::vector<std::pair<size_t, size_t>> views;
  for (auto it = std::sregex_iterator(json.begin(), json.end(), view); it != std::sregex_iterator();
       ++it) {
    views.emplace_back(std::stoul((*it)[1]), std::stoul((*it)[2]));
    EXPECT_EQ(views.back().first % 4, 0u);
    EXPECT_LE(views.back().first + views.back().second, binLength);
  }
  ASSERT_EQ(views.size(), 5u);
  const std::string bin = glb.substr(binAt + 8, binLength);
  EXPECT_EQ(views[0].second, 12u * mesh_.VertexCount());
  EXPECT_EQ(views[3].second, 12u * mesh_.FaceCount());
  EXPECT_EQ(std::memcmp(bin.data() + views[0].first, mesh_.Positions().data(), views[0].second), 0);
  EXPECT_EQ(std::memcmp(bin.data() + views[3].first, mesh_.Indices().data(), views[3].second), 0);
  // The image view decodes to the texture.
  const std::vector<uint8_t> png(bin.begin() + views[4].first,
                                 bin.begin() + views[4].first + views[4].second);
  const cv::Mat decoded = cv::imdecode(png, cv::IMREAD_COLOR);
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(cv::norm(decoded, texture_, cv::NORM_INF), 0.0);
  // Position bounds: the mesh is centred, so min = -max.
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(json, m, std::regex(R"re("min":\[([^\]]*)\],"max":\[([^\]]*)\])re")));
  float mn[3], mx[3];
  ASSERT_EQ(std::sscanf(m[1].str().c_str(), "%f,%f,%f", &mn[0], &mn[1], &mn[2]), 3);
  ASSERT_EQ(std::sscanf(m[2].str().c_str(), "%f,%f,%f", &mx[0], &mx[1], &mx[2]), 3);
  MeshBox box;
  mesh_.GetBox(&box);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(mn[c], box.min[c]);
    EXPECT_EQ(mx[c], box.max[c]);
  }
}

TEST_F(MeshExport, GlbPassesTheKhronosValidatorWhereInstalled) {
  if (std::system("command -v node >/dev/null 2>&1") != 0) GTEST_SKIP() << "node not installed";
  const std::string probe =
      "NODE_PATH=\"$(npm root -g 2>/dev/null)\" node -e \"require('gltf-validator')\" >/dev/null "
      "2>&1";
  if (std::system(probe.c_str()) != 0) GTEST_SKIP() << "gltf-validator not installed";
  ASSERT_TRUE(test::Succeeded(WriteGlb(Path("face.glb"), mesh_, texture_)));
  const std::string script = Path("validate.js");
  std::ofstream(script)
      << "const v = require('gltf-validator');\n"
         "const data = new Uint8Array(require('fs').readFileSync(process.argv[2]));\n"
         "v.validateBytes(data).then(r => {\n"
         "  const i = r.issues;\n"
         "  console.log(JSON.stringify(i.messages));\n"
         "  process.exit(i.numErrors + i.numWarnings === 0 ? 0 : 1);\n"
         "}, e => { console.log(String(e)); process.exit(2); });\n";
  const std::string run = "NODE_PATH=\"$(npm root -g)\" node '" + script + "' '" +
                          Path("face.glb") + "' > '" + Path("report.txt") + "' 2>&1";
  EXPECT_EQ(std::system(run.c_str()), 0) << Read(Path("report.txt"));
}

TEST_F(MeshExport, StlAndObjLoadInAssimpWhereInstalled) {
  if (std::system("command -v assimp >/dev/null 2>&1") != 0) GTEST_SKIP() << "assimp not installed";
  for (const char* name : {"print.stl", "face.obj"}) {
    ASSERT_TRUE(test::Succeeded(ExportMesh(Path(name), mesh_, texture_)));
    const std::string run = "assimp info '" + Path(name) + "' > '" + Path("info.txt") + "' 2>&1";
    EXPECT_EQ(std::system(run.c_str()), 0) << Read(Path("info.txt"));
    const std::regex faces("Faces:\\s+" + std::to_string(mesh_.FaceCount()) + "\\b");
    EXPECT_TRUE(std::regex_search(Read(Path("info.txt")), faces)) << name << Read(Path("info.txt"));
  }
}

TEST_F(MeshExport, PlyHeaderAndBinaryBodyReadBack) {
  ASSERT_TRUE(test::Succeeded(ExportMesh(Path("face.ply"), mesh_, texture_)));
  ExpectFiles({"face.ply", "face_texture.png"});
  ExpectTextureBeside("face_texture.png");
  const std::string ply = Read(Path("face.ply"));
  const size_t end = ply.find("end_header\n");
  ASSERT_NE(end, std::string::npos);
  const std::string header = ply.substr(0, end);
  EXPECT_EQ(header.rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);
  EXPECT_NE(header.find("element vertex " + std::to_string(mesh_.VertexCount()) + "\n"),
            std::string::npos);
  EXPECT_NE(header.find("element face " + std::to_string(mesh_.FaceCount()) + "\n"),
            std::string::npos);
  EXPECT_NE(header.find("comment TextureFile face_texture.png\n"), std::string::npos);
  const size_t body = end + 11;
  ASSERT_EQ(ply.size(), body + 32u * mesh_.VertexCount() + 13u * mesh_.FaceCount());
  // Vertex 7: position, normal, then s and t with t counted up from the bottom.
  float record[8];
  std::memcpy(record, ply.data() + body + 32 * 7, 32);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(record[c], mesh_.Positions()[21 + c]);
    EXPECT_EQ(record[3 + c], mesh_.Normals()[21 + c]);
  }
  EXPECT_EQ(record[6], mesh_.TextureCoordinates()[14]);
  EXPECT_EQ(record[7], 1.0f - mesh_.TextureCoordinates()[15]);
  const size_t faces = body + 32u * mesh_.VertexCount();
  EXPECT_EQ(ply[faces], 3);
  int32_t first[3];
  std::memcpy(first, ply.data() + faces + 1, 12);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(uint32_t(first[c]), mesh_.Indices()[c]);
}

TEST_F(MeshExport, ObjWithMaterialAndTexture) {
  ASSERT_TRUE(test::Succeeded(ExportMesh(Path("My Face.Obj"), mesh_, texture_)));
  // Readers split mtllib and map_Kd at blanks: the companions' names have none.
  ExpectFiles({"My Face.Obj", "My_Face.mtl", "My_Face_texture.png"});
  ExpectTextureBeside("My_Face_texture.png");
  const std::string obj = Read(Path("My Face.Obj"));
  EXPECT_NE(obj.find("mtllib My_Face.mtl\n"), std::string::npos);
  EXPECT_NE(Read(Path("My_Face.mtl")).find("map_Kd My_Face_texture.png\n"), std::string::npos);
  std::istringstream lines(obj);
  std::string line;
  int v = 0, vt = 0, vn = 0, f = 0;
  int maxIndex = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("v ", 0) == 0) ++v;
    if (line.rfind("vt ", 0) == 0) ++vt;
    if (line.rfind("vn ", 0) == 0) ++vn;
    if (line.rfind("f ", 0) == 0) {
      ++f;
      int a[9];
      ASSERT_EQ(std::sscanf(line.c_str(), "f %d/%d/%d %d/%d/%d %d/%d/%d", &a[0], &a[1], &a[2],
                            &a[3], &a[4], &a[5], &a[6], &a[7], &a[8]),
                9)
          << line;
      for (int k : a) {
        EXPECT_GE(k, 1);
        maxIndex = std::max(maxIndex, k);
      }
    }
  }
  EXPECT_EQ(v, mesh_.VertexCount());
  EXPECT_EQ(vt, mesh_.VertexCount());
  EXPECT_EQ(vn, mesh_.VertexCount());
  EXPECT_EQ(f, mesh_.FaceCount());
  EXPECT_EQ(maxIndex, mesh_.VertexCount());
}

TEST_F(MeshExport, VrmlIndexedFaceSetWithRelativeTextureUrl) {
  ASSERT_TRUE(test::Succeeded(ExportMesh(Path("a \"b\".wrl"), mesh_, texture_)));
  ExpectFiles({"a \"b\".wrl", "a_\"b\"_texture.png"});
  ExpectTextureBeside("a_\"b\"_texture.png");
  const std::string wrl = Read(Path("a \"b\".wrl"));
  EXPECT_EQ(wrl.rfind("#VRML V2.0 utf8\n", 0), 0u);
  EXPECT_NE(wrl.find("url \"a_%22b%22_texture.png\""), std::string::npos);
  size_t faces = 0;
  for (size_t at = wrl.find(", -1,"); at != std::string::npos; at = wrl.find(", -1,", at + 1))
    ++faces;
  EXPECT_EQ(faces, size_t(mesh_.FaceCount()));
  // Three point lists (coordinates, normals, texture coordinates), one line per vertex each.
  const std::regex triple(R"(\n\s+-?[0-9.e-]+ -?[0-9.e-]+ -?[0-9.e-]+,)");
  const std::regex pair(R"(\n\s+-?[0-9.e-]+ -?[0-9.e-]+,)");
  EXPECT_EQ(
      std::distance(std::sregex_iterator(wrl.begin(), wrl.end(), triple), std::sregex_iterator()),
      2 * mesh_.VertexCount());
  EXPECT_EQ(
      std::distance(std::sregex_iterator(wrl.begin(), wrl.end(), pair), std::sregex_iterator()),
      mesh_.VertexCount());
}

// Binary STL: the triangle count, then per triangle a unit normal on the side the mesh's
// vertex normals face and the three corners as stored.
TEST_F(MeshExport, StlHoldsEveryTriangleFacingOutwards) {
  ASSERT_TRUE(test::Succeeded(ExportMesh(Path("print.STL"), mesh_, texture_)));
  const std::string stl = Read(Path("print.STL"));
  ASSERT_EQ(stl.size(), 84u + 50u * mesh_.FaceCount());
  uint32_t count = 0;
  std::memcpy(&count, stl.data() + 80, 4);
  EXPECT_EQ(count, static_cast<uint32_t>(mesh_.FaceCount()));
  const auto& p = mesh_.Positions();
  const auto& n = mesh_.Normals();
  const auto& index = mesh_.Indices();
  for (int f = 0; f < mesh_.FaceCount(); ++f) {
    float record[12];
    std::memcpy(record, stl.data() + 84 + 50 * f, sizeof record);
    EXPECT_NEAR(std::hypot(record[0], record[1], record[2]), 1.0, 1e-5);
    float facing = 0;
    for (int c = 0; c < 3; ++c) {
      const uint32_t v = index[3 * f + c];
      for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(record[3 + 3 * c + a], p[3 * v + a]);
        facing += record[a] * n[3 * v + a];
      }
    }
    EXPECT_GT(facing, 0) << "triangle " << f;
  }
}

// A name the OBJ file gives on a line starting with the key ("mtllib", "map_Kd").
std::string NamedAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find("\n" + key + " ");
  if (at == std::string::npos) return {};
  const size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

// Saves killed at random moments: the model file on disk always names companions written
// with it (each save has its own mesh scale and texture), and the next complete save leaves
// exactly its own set, no temporaries of the killed ones.
TEST_F(MeshExport, AKilledExportLeavesAMatchingSetAndTheNextCleansUp) {
  constexpr int kSaves = 24;
  std::vector<MeshBuilder> meshes(kSaves, mesh_);
  std::vector<cv::Mat> textures(kSaves);
  for (int k = 0; k < kSaves; ++k) {
    meshes[k].Scale(k + 1.0f, 1, 1);
    textures[k] = texture_ + cv::Scalar::all(k);
  }
  double extent0 = 0;
  for (size_t i = 0; i < mesh_.Positions().size(); i += 3)
    extent0 = std::max(extent0, std::abs(double{mesh_.Positions()[i]}));
  const std::string model = Path("m.obj");
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(test::Succeeded(ExportMesh(model, meshes[0], textures[0])));
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(9);
  std::uniform_int_distribution<long> delay(0, took.count() * 3 / 2);
  for (int k = 1; k < kSaves; ++k) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      (void)ExportMesh(model, meshes[k], textures[k]);
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    // Which save wrote the model file: the extent of its x coordinates tells.
    const std::string obj = Read(model);
    std::istringstream lines(obj);
    double extent = 0;
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("v ", 0) == 0) extent = std::max(extent, std::abs(std::stod(line.substr(2))));
    const int save = static_cast<int>(std::lround(extent / extent0)) - 1;
    ASSERT_TRUE(save >= 0 && save < kSaves) << extent;
    const std::string texture = NamedAfter(Read(Path(NamedAfter(obj, "mtllib"))), "map_Kd");
    ASSERT_FALSE(texture.empty()) << "save " << k;
    const cv::Mat png = cv::imread(Path(texture), cv::IMREAD_COLOR);
    ASSERT_FALSE(png.empty()) << texture;
    EXPECT_EQ(cv::norm(png, textures[save], cv::NORM_INF), 0.0)
        << "save " << k << " killed: " << texture << " is not the texture of save " << save;
  }
  ASSERT_TRUE(test::Succeeded(ExportMesh(model, mesh_, texture_)));
  const std::string obj = Read(model);
  const std::string material = NamedAfter(obj, "mtllib");
  ExpectFiles({"m.obj", material, NamedAfter(Read(Path(material)), "map_Kd")});
}

TEST_F(MeshExport, FailuresWriteNothingAndKeepExistingFiles) {
  std::ofstream(Path("old.glb")) << "previous";
  MeshBuilder empty;
  EXPECT_FALSE(ExportMesh(Path("old.glb"), empty, texture_));
  EXPECT_FALSE(ExportMesh(Path("old.glb"), mesh_, cv::Mat()));
  EXPECT_FALSE(ExportMesh(Path("old.glb"), mesh_, cv::Mat(4, 4, CV_8UC1)));
  EXPECT_EQ(Read(Path("old.glb")), "previous");
  EXPECT_FALSE(ExportMesh(Path("model.3mf"), mesh_, texture_));
  const std::string missing = Path("no/such/dir/model.obj");
  const std::string message = ExportMesh(missing, mesh_, texture_).Reason();
  EXPECT_NE(message.find("no/such/dir"), std::string::npos) << message;
  ExpectFiles({"old.glb"});
  EXPECT_TRUE(IsMeshExportPath("x.WRL"));
  EXPECT_TRUE(IsMeshExportPath("x.Stl"));
  EXPECT_FALSE(IsMeshExportPath("x.q3d"));
}

}  // namespace
}  // namespace q3d
