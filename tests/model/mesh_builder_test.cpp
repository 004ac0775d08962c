#include "model/mesh_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace q3d {
namespace {

// A unit square in the z = 0 plane, two counter-clockwise triangles seen from +z.
MeshBuilder Square() {
  MeshBuilder mesh;
  const std::vector<float> v = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  const std::vector<int32_t> faces = {3, 0, 1, 2, 3, 0, 2, 3, 0};
  EXPECT_EQ(mesh.ReserveSpace(4, 0, 2), kMeshOk);
  EXPECT_EQ(mesh.AddFaces(4, v, 0, {}, faces), kMeshOk);
  return mesh;
}

TEST(MeshBuilder, AddFacesStoresArraysForDrawing) {
  MeshBuilder mesh = Square();
  EXPECT_EQ(mesh.VertexCount(), 4);
  EXPECT_EQ(mesh.FaceCount(), 2);
  EXPECT_EQ(mesh.Indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(mesh.Normals().size(), 12u);
  EXPECT_EQ(mesh.TextureCoordinates(), std::vector<float>(8, 0.0f));
  // A second call appends, its indices offset past the first call's vertices.
  const std::vector<float> v = {5, 5, 5, 6, 5, 5, 5, 6, 5};
  EXPECT_EQ(mesh.AddFaces(3, v, 0, {}, std::vector<int32_t>{3, 2, 1, 0, 0}), kMeshOk);
  EXPECT_EQ(mesh.VertexCount(), 7);
  EXPECT_EQ(mesh.Indices().back(), 4u);
  EXPECT_EQ(mesh.Indices()[6], 6u);
}

TEST(MeshBuilder, BadFaceDataIsRejectedWithoutChange) {
  MeshBuilder mesh = Square();
  const std::vector<float> v = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const std::vector<std::vector<int32_t>> bad = {
      {3, 0, 1, 3, 0},  // index beyond this call's vertices
      {3, 0, 1, -1, 0},
      {4, 0, 1, 2, 0, 0},  // not a triangle
      {3, 0, 1, 2},        // no terminator
      {3, 0, 1},
  };
  for (const auto& faces : bad) EXPECT_EQ(mesh.AddFaces(3, v, 0, {}, faces), kMeshBadFaceData);
  EXPECT_EQ(mesh.AddFaces(4, v, 0, {}, std::vector<int32_t>{0}), kMeshInvalidArgument);
  const std::vector<float> nan = {0, 0, std::nanf(""), 1, 0, 0, 0, 1, 0};
  EXPECT_EQ(mesh.AddFaces(3, nan, 0, {}, std::vector<int32_t>{0}), kMeshInvalidArgument);
  EXPECT_EQ(mesh.VertexCount(), 4);
  EXPECT_EQ(mesh.FaceCount(), 2);
  EXPECT_EQ(mesh.SetTextureCoordinates(4, 0, 0), kMeshIndexOutOfRange);
  EXPECT_EQ(mesh.SetTextureCoordinates(-1, 0, 0), kMeshIndexOutOfRange);
  EXPECT_EQ(mesh.ReserveSpace(-1, 0, 0), kMeshInvalidArgument);
}

TEST(MeshBuilder, NormalsFollowTheWindingAndScaleKeepsThemPerpendicular) {
  MeshBuilder mesh = Square();
  // A lone vertex on no triangle still gets a usable unit normal.
  EXPECT_EQ(mesh.AddFaces(1, std::vector<float>{9, 9, 9}, 0, {}, std::vector<int32_t>{0}), kMeshOk);
  EXPECT_EQ(mesh.GenerateNormals(), kMeshOk);
  for (int v = 0; v < mesh.VertexCount(); ++v) {
    EXPECT_FLOAT_EQ(mesh.Normals()[3 * v + 2], 1.0f);
  }
  // A tilted triangle: the plane z = x, normal (-1, 0, 1)/sqrt(2).
  MeshBuilder tilted;
  tilted.AddFaces(3, std::vector<float>{0, 0, 0, 1, 0, 1, 0, 1, 0}, 0, {},
                  std::vector<int32_t>{3, 0, 1, 2, 0});
  tilted.GenerateNormals();
  EXPECT_NEAR(tilted.Normals()[0], -std::sqrt(0.5), 1e-6);
  EXPECT_NEAR(tilted.Normals()[2], std::sqrt(0.5), 1e-6);
  // Stretching z by 2 gives the plane z = 2x, normal (-2, 0, 1)/sqrt(5).
  EXPECT_EQ(tilted.Scale(1, 1, 2), kMeshOk);
  EXPECT_NEAR(tilted.Normals()[0], -2 / std::sqrt(5.0), 1e-6);
  EXPECT_NEAR(tilted.Normals()[2], 1 / std::sqrt(5.0), 1e-6);
  EXPECT_FLOAT_EQ(tilted.Positions()[5], 2.0f);
  // Mirroring keeps the generated normals consistent with the winding.
  EXPECT_EQ(tilted.Scale(-1, 1, 1), kMeshOk);
  const std::vector<float> before = tilted.Normals();
  tilted.GenerateNormals();
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(tilted.Normals()[k], before[k], 1e-6);
  EXPECT_EQ(tilted.Scale(0, 1, 1), kMeshInvalidArgument);
}

TEST(MeshBuilder, BoxAndTranslate) {
  MeshBuilder empty;
  MeshBox box;
  EXPECT_EQ(empty.GetBox(&box), kMeshEmpty);
  MeshBuilder mesh = Square();
  EXPECT_EQ(mesh.Translate(1, -2, 3), kMeshOk);
  ASSERT_EQ(mesh.GetBox(&box), kMeshOk);
  EXPECT_EQ(box.min, (std::array<float, 3>{1, -2, 3}));
  EXPECT_EQ(box.max, (std::array<float, 3>{2, -1, 3}));
  EXPECT_EQ(mesh.Translate(std::nanf(""), 0, 0), kMeshInvalidArgument);
  mesh.Clear();
  EXPECT_EQ(mesh.VertexCount(), 0);
  EXPECT_EQ(mesh.FaceCount(), 0);
}

}  // namespace
}  // namespace q3d
