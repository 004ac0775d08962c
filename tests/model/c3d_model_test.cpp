#include "model/c3d_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>
#include <utility>

#include "base/archive.h"
#include "base/error_stack.h"
#include "model/delaunay.h"
#include "model/mesh_builder.h"
#include "model/model_file.h"
#include "project/project_doc.h"
#include "support/rendered_project.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

// Image 1 with a colour ramp: blue follows x, green follows y.
void PaintRamp(Image& image, int width, int height) {
  ASSERT_TRUE(CreateColorImage(image, width, height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.Row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
      p[2] = 90;
    }
}

int InteriorEdgeCount(const Matrix& F) {
  std::map<std::pair<int, int>, int> uses;
  for (int r = 0; r < F.rows(); ++r)
    for (int c = 0; c < 3; ++c) {
      const int a = int(F(r, c)), b = int(F(r, (c + 1) % 3));
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  int interior = 0;
  for (const auto& [edge, count] : uses) interior += count == 2;
  return interior;
}

TEST(C3DModelTexture, ResampledFromTheRegionAndKeptWhileTheRegionStays) {
  CProjectDoc doc;
  PaintRamp(doc.m_camera1.m_image, 400, 300);
  ASSERT_TRUE(doc.AddMatch(100, 50, 0, 0));
  ASSERT_TRUE(doc.AddMatch(299, 249, 0, 0));
  C3DModel& model = doc.m_model;
  model.UpdateTexture();
  const Image& texture = model.m_texture;
  ASSERT_TRUE(texture.HasData());
  EXPECT_EQ(texture.Width(), 512);
  EXPECT_EQ(texture.Height(), 512);
  EXPECT_EQ(model.m_sourceRoi, MakeRoi(0, 100, 50, 200, 200));
  // The texture's corners show the region's corners.
  EXPECT_NEAR(texture.Row(0)[0], 100 * 255 / 399, 2);
  EXPECT_NEAR(texture.Row(0)[1], 50 * 255 / 299, 2);
  EXPECT_NEAR(texture.Row(511)[3 * 511], 299 * 255 / 399, 2);
  EXPECT_NEAR(texture.Row(511)[3 * 511 + 1], 249 * 255 / 299, 2);

  // A retouch survives an update with the same region, also through a save and a load.
  model.m_texture.Row(10)[30] = 7;
  model.UpdateTexture();
  EXPECT_EQ(model.m_texture.Row(10)[30], 7);
  Archive out = Archive::ForStoring();
  doc.Serialize(out);
  const std::vector<uint8_t> bytes = out.TakeBuffer();
  CProjectDoc loaded;
  Archive in = Archive::ForLoading(bytes.data(), bytes.size());
  loaded.Serialize(in);
  loaded.m_model.UpdateTexture();
  EXPECT_EQ(loaded.m_model.m_texture.Row(10)[30], 7);

  // A point moved so the region changes: resampled, the retouch is gone.
  doc.m_camera1.m_points.m_list.front()->m_x = 90;
  model.UpdateTexture();
  EXPECT_EQ(model.m_sourceRoi, MakeRoi(0, 90, 50, 210, 200));
  EXPECT_NE(model.m_texture.Row(10)[30], 7);
}

TEST(C3DModelTexture, ProjectSavedBeforeAnyBuildGetsItsTextureAfterLoading) {
  CProjectDoc doc;
  PaintRamp(doc.m_camera1.m_image, 400, 300);
  ASSERT_TRUE(doc.AddMatch(100, 50, 0, 0));
  ASSERT_TRUE(doc.AddMatch(299, 249, 0, 0));
  Archive out = Archive::ForStoring();
  doc.Serialize(out);  // no texture pixels yet
  const std::vector<uint8_t> bytes = out.TakeBuffer();
  CProjectDoc loaded;
  Archive in = Archive::ForLoading(bytes.data(), bytes.size());
  loaded.Serialize(in);
  EXPECT_EQ(loaded.m_model.m_sourceRoi, MakeRoi(0, 100, 50, 200, 200));
  loaded.m_model.UpdateTexture();
  ASSERT_TRUE(loaded.m_model.m_texture.HasData());
  EXPECT_NEAR(loaded.m_model.m_texture.Row(511)[3 * 511], 299 * 255 / 399, 2);
}

TEST(C3DModelTexture, RegionBeyondTheImageIsPaddedNotStretched) {
  CProjectDoc doc;
  PaintRamp(doc.m_camera1.m_image, 100, 100);
  ASSERT_TRUE(doc.AddMatch(50, 0, 0, 0));
  ASSERT_TRUE(doc.AddMatch(149, 99, 0, 0));  // half the region lies right of the image
  doc.m_model.UpdateTexture();
  const Image& texture = doc.m_model.m_texture;
  EXPECT_EQ(texture.Row(256)[3 * 500 + 2], 0);   // padding
  EXPECT_EQ(texture.Row(256)[3 * 100 + 2], 90);  // image
  EXPECT_NEAR(texture.Row(256)[3 * 200], 255 * 89 / 99, 8);
}

TEST(C3DModelMesh, NoPointsGiveNoPolygonsAndAnEmptyMesh) {
  CProjectDoc doc;
  PaintRamp(doc.m_camera1.m_image, 64, 64);
  doc.m_model.m_polygonCount = 99;
  MeshBuilder mesh;
  for (int mode = 0; mode < 3; ++mode) {
    EXPECT_EQ(doc.m_model.BuildMesh(mesh, mode == 2, 50, mode > 0), kMeshOk);
    EXPECT_EQ(doc.m_model.m_polygonCount, 0);
    EXPECT_EQ(mesh.VertexCount(), 0);
  }
}

TEST(C3DModelMesh, PointMeshHasOneVertexPerMatchAndIsCentred) {
  CProjectDoc doc;
  test::FillRenderedProject(doc, 60, 3);
  MeshBuilder mesh;
  ASSERT_EQ(doc.m_model.BuildMesh(mesh, 0, 50, 0), kMeshOk);
  EXPECT_EQ(mesh.VertexCount(), 60);
  EXPECT_EQ(mesh.FaceCount(), doc.m_model.m_polygonCount);
  EXPECT_GT(doc.m_model.m_polygonCount, 60);
  MeshBox box;
  ASSERT_EQ(mesh.GetBox(&box), kMeshOk);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(box.min[c], -box.max[c], 1e-4 * (box.max[c] - box.min[c]));
  // Texture coordinates stay within the region: v in [0, 1); u, from the one-based column,
  // in (0, 1 + 1 / width].
  const auto& uv = mesh.TextureCoordinates();
  const float uMax = 1.0f + 1.0f / doc.m_model.m_sourceRoi.width;
  for (size_t k = 0; k < uv.size(); k += 2) {
    EXPECT_GT(uv[k], 0.0f);
    EXPECT_LE(uv[k], uMax);
    EXPECT_GE(uv[k + 1], 0.0f);
    EXPECT_LT(uv[k + 1], 1.0f);
  }
}

TEST(C3DModelMesh, SubdivisionAddsAPointPerTriangleAndInteriorEdge) {
  CProjectDoc doc;
  test::FillRenderedProject(doc, 50, 3);
  Matrix M;
  doc.m_stereoPair.m_matches.ToMatrix(M);
  const Matrix F = delaunay(M.col(0), -M.col(1));
  MeshBuilder mesh;
  ASSERT_EQ(doc.m_model.BuildMesh(mesh, 0, 50, 1), kMeshOk);
  EXPECT_EQ(mesh.VertexCount(), 50 + F.rows() + InteriorEdgeCount(F));
  EXPECT_EQ(mesh.FaceCount(), doc.m_model.m_polygonCount);
}

TEST(C3DModelMesh, GridMeshStaysInsideTheHullOfThePoints) {
  CProjectDoc doc;
  test::FillRenderedProject(doc, 80, 3);
  // A vertex of our own at the origin shows the centring translation the fill applies.
  MeshBuilder mesh;
  ASSERT_EQ(mesh.AddFaces(1, std::vector<float>{0, 0, 0}, 0, {}, std::vector<int32_t>{0}), kMeshOk);
  ASSERT_EQ(doc.m_model.BuildMesh(mesh, 1, 50, 1), kMeshOk);
  const int vertices = mesh.VertexCount() - 1;
  EXPECT_LE(vertices, 2500);
  EXPECT_GT(vertices, 1000);
  EXPECT_EQ(mesh.FaceCount(), doc.m_model.m_polygonCount);
  EXPECT_LE(mesh.FaceCount(), 2 * 49 * 49);
  const auto& p = mesh.Positions();
  const Matrix& XW = doc.m_stereoPair.m_XW;
  const DelaunayTriangulation hull(XW.col(0), XW.col(1));
  for (int v = 1; v <= vertices; ++v) {
    const double x = -(p[3 * v] - p[0]), y = p[3 * v + 1] - p[1];
    EXPECT_GE(hull.Locate(x, y).face, 0) << "grid vertex " << v << " outside the hull";
  }
}

TEST(C3DModelMesh, PointsOnALineGiveAClearError) {
  CProjectDoc doc;
  test::FillRenderedProject(doc, 12, 3);
  // Move every image-1 point onto one line: the triangulation refuses them.
  int k = 0;
  for (auto& point : doc.m_camera1.m_points.m_list) {
    point->m_x = 100 + 10 * k;
    point->m_y = 100 + 5 * k;
    ++k;
  }
  ClearErrors();
  MeshBuilder mesh;
  EXPECT_LT(doc.m_model.BuildMesh(mesh, 0, 50, 0), 0);
  EXPECT_EQ(doc.m_model.m_polygonCount, 0);
  EXPECT_EQ(mesh.VertexCount(), 0);
  ASSERT_EQ(ErrorCount(), 1);
  EXPECT_NE(PopError().Message().find("line"), std::string::npos);
}

TEST(C3DModelExport, EveryFormatFromARenderedScene) {
  CProjectDoc doc;
  test::FillRenderedProject(doc, 40, 3);
  test::TempDir dir;
  const std::tuple<const char*, int, int> cases[] = {{"points.glb", 0, 0}, {"subdivided.OBJ", 1, 0},
                                                     {"grid.ply", 1, 1},   {"points.wrl", 0, 0},
                                                     {"grid.stl", 1, 1},   {"model.q3d", 0, 0}};
  for (const auto& [name, smooth, cubic] : cases) {
    ModelExportOptions options;
    options.smooth = smooth;
    options.cubic = cubic;
    ExportedMesh written;
    EXPECT_TRUE(test::Succeeded(
        ExportModel3D(dir.File(name).string(), doc.m_stereoPair, doc.m_model, options, &written)))
        << name;
    if (std::string(name).ends_with(".stl")) {
      EXPECT_EQ(std::filesystem::file_size(dir.File(name)), 84u + 50u * written.triangles);
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
  }
  EXPECT_EQ(std::filesystem::file_size(dir.File("model.q3d")), kModelFileBaseSize + 32u * 40);
  EXPECT_EQ(ErrorCount(), 0);
}

}  // namespace
}  // namespace q3d
