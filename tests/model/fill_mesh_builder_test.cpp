#include "model/fill_mesh_builder.h"

#include <gtest/gtest.h>

namespace q3d {
namespace {

TEST(FillMeshBuilder, MirrorsXScalesTextureAndCentresTheMesh) {
  Matrix V(4, 3), T(4, 2), F(2, 3);
  V << 1, 10, 100,  //
      3, 10, 100,   //
      3, 14, 102,   //
      1, 14, 101;
  T << 20, -5, 40, -5, 40, -25, 20, -25;
  F << 1, 2, 3, 1, 3, 4;
  MeshBuilder mesh;
  ASSERT_EQ(FillMeshBuilder(mesh, V, T, F, 80, 50), kMeshOk);
  ASSERT_EQ(mesh.VertexCount(), 4);
  EXPECT_EQ(mesh.Indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  // x mirrored (-1 .. -3, centre -2), y centre 12, z centre 101.
  const std::vector<float> expected = {1, -2, -1, -1, -2, -1, -1, 2, 1, 1, 2, 0};
  EXPECT_EQ(mesh.Positions(), expected);
  MeshBox box;
  ASSERT_EQ(mesh.GetBox(&box), kMeshOk);
  for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(box.min[c], -box.max[c]);
  const std::vector<float> uv = {0.25f, -0.1f, 0.5f, -0.1f, 0.5f, -0.5f, 0.25f, -0.5f};
  EXPECT_EQ(mesh.TextureCoordinates(), uv);
  // Normals are unit vectors.
  for (int v = 0; v < 4; ++v) {
    const float* n = &mesh.Normals()[3 * v];
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-6);
  }
}

TEST(FillMeshBuilder, BadInputStopsBeforeTheBuilderChanges) {
  Matrix V = Matrix::Zero(3, 3), T = Matrix::Zero(3, 2), F(1, 3);
  F << 1, 2, 4;
  MeshBuilder mesh;
  EXPECT_EQ(FillMeshBuilder(mesh, V, T, F, 10, 10), kMeshBadFaceData);
  F << 1, 2, 3;
  EXPECT_EQ(FillMeshBuilder(mesh, V, T, F, 0, 10), kMeshInvalidArgument);
  EXPECT_EQ(FillMeshBuilder(mesh, V, Matrix::Zero(2, 2), F, 10, 10), kMeshInvalidArgument);
  EXPECT_EQ(mesh.VertexCount(), 0);
  Matrix nan = V;
  nan(1, 1) = std::nan("");
  EXPECT_EQ(FillMeshBuilder(mesh, nan, T, F, 10, 10), kMeshInvalidArgument);
  EXPECT_EQ(mesh.VertexCount(), 0);
}

}  // namespace
}  // namespace q3d
