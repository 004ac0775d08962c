#include "model/model_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/archive.h"
#include "project/project_doc.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

namespace fs = std::filesystem;

struct Bytes {
  std::vector<uint8_t> b;
  template <typename T>
  void Put(T v) {
    const size_t at = b.size();
    b.resize(at + sizeof v);
    std::memcpy(b.data() + at, &v, sizeof v);
  }
  void Text4(const char* s) {
    char t[4] = {};
    std::memcpy(t, s, std::strlen(s));
    b.insert(b.end(), t, t + 4);
  }
};

// A rendered-looking document: two images, two matches, distinct numbers in every result.
void Prepare(CProjectDoc& doc) {
  ASSERT_TRUE(CreateColorImage(doc.m_camera1.m_image, 640, 480));
  ASSERT_TRUE(CreateColorImage(doc.m_camera2.m_image, 800, 600));
  ASSERT_TRUE(doc.AddMatch(10.5, 20.25, 30, 40));
  ASSERT_TRUE(doc.AddMatch(110, 220, 330, 440));
  CStereoPair& pair = doc.m_stereoPair;
  auto numbered = [](double base) {
    Matrix m(3, 3);
    for (int k = 0; k < 9; ++k) m(k / 3, k % 3) = base + k;
    return m;
  };
  pair.m_F = numbered(1);
  pair.m_A1 = numbered(100);
  pair.m_A2 = numbered(200);
  pair.m_Rcam = numbered(300);
  pair.m_t = Matrix(3, 1);
  pair.m_t << 0.5, -0.25, 1;
  pair.m_rendered = 1;
  doc.m_model.UpdateTexture();
  ASSERT_TRUE(doc.m_model.m_texture.HasData());
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 1536; ++x)
      doc.m_model.m_texture.Row(y)[x] = static_cast<uint8_t>(x * 7 + y);
}

TEST(ModelFile, ByteLayout) {
  CProjectDoc doc;
  Prepare(doc);
  test::TempDir dir;
  const std::string path = dir.File("face.Q3D").string();
  ASSERT_TRUE(test::Succeeded(ExportModel3D(path, doc.m_stereoPair, doc.m_model)));

  Bytes e;
  e.b = {'Q', 'V', '3', 'D', 1, 0};
  e.b.resize(262, 0);
  for (int v : {640, 480, 800, 600}) e.Put<int32_t>(v);
  for (double base : {1.0, 100.0, 200.0, 300.0})
    for (int k = 0; k < 9; ++k) e.Put(base + k);
  for (double v : {0.5, -0.25, 1.0}) e.Put(v);
  ASSERT_EQ(e.b.size(), 590u);
  e.Put<int32_t>(2);
  for (double v : {11.5, 21.25, 31.0, 41.0, 111.0, 221.0, 331.0, 441.0}) e.Put(v);
  for (int v : {3, 0, 8}) e.Put<int32_t>(v);
  e.Text4("RGB");
  e.Text4("BGR");
  for (int v : {8, 512, 512, 1}) e.Put<int32_t>(v);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 1536; ++x) e.b.push_back(static_cast<uint8_t>(x * 7 + y));
  for (int v : {10, 20, 101, 201}) e.Put<int32_t>(v);  // the region around the two points

  const std::vector<uint8_t> written = test::ReadBytes(path);
  EXPECT_EQ(written.size(), static_cast<size_t>(kModelFileBaseSize + 32 * 2));
  ASSERT_EQ(written.size(), e.b.size());
  for (size_t k = 0; k < e.b.size(); ++k) {
    ASSERT_EQ(written[k], e.b[k]) << "first difference at offset " << k;
  }
}

TEST(ModelFile, NoMatchesWriteAnEmptyMatchList) {
  CProjectDoc doc;
  Prepare(doc);
  doc.m_stereoPair.m_matches.RemoveAll();
  test::TempDir dir;
  const std::string path = dir.File("empty.q3d").string();
  ASSERT_TRUE(test::Succeeded(WriteModelFile(path, doc.m_stereoPair, doc.m_model)));
  const std::vector<uint8_t> written = test::ReadBytes(path);
  ASSERT_EQ(written.size(), static_cast<size_t>(kModelFileBaseSize));
  int32_t n;
  std::memcpy(&n, written.data() + 590, 4);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(std::memcmp(written.data() + 594, "\3\0\0\0", 4), 0);  // the texture record follows
}

TEST(ModelFile, ExportWithoutARenderWritesNothing) {
  CProjectDoc doc;
  Prepare(doc);
  test::TempDir dir;
  for (const char* name : {"m.q3d", "m.glb", "m.obj", "m.ply", "m.wrl"}) {
    doc.m_stereoPair.ResetResults();
    const std::string message =
        ExportModel3D(dir.File(name).string(), doc.m_stereoPair, doc.m_model).Reason();
    EXPECT_NE(message.find("render"), std::string::npos) << name << ": " << message;
    // A rendered flag with results of the wrong shape is refused as well.
    doc.m_stereoPair.m_rendered = 1;
    doc.m_stereoPair.m_A1.resize(0, 0);
    EXPECT_FALSE(ExportModel3D(dir.File(name).string(), doc.m_stereoPair, doc.m_model));
    EXPECT_FALSE(fs::exists(dir.File(name))) << name;
  }
  EXPECT_FALSE(ExportModel3D(dir.File("m.txt").string(), doc.m_stereoPair, doc.m_model));
  EXPECT_TRUE(fs::is_empty(dir.File("")));
}

TEST(ModelFile, UnwritableDestinationReportsAndLeavesNoTemporary) {
  CProjectDoc doc;
  Prepare(doc);
  test::TempDir dir;
  EXPECT_FALSE(WriteModelFile(dir.File("missing/m.q3d").string(), doc.m_stereoPair, doc.m_model));
  fs::create_directory(dir.File("taken.q3d"));  // a directory where the file should go
  EXPECT_FALSE(WriteModelFile(dir.File("taken.q3d").string(), doc.m_stereoPair, doc.m_model));
  EXPECT_TRUE(fs::is_directory(dir.File("taken.q3d")));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.File(""))) ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace q3d
