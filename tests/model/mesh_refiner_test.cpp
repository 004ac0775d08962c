#include "model/mesh_refiner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "model/delaunay.h"

namespace q3d {
namespace {

// The plain definition: every pair of triangles i < j compared, the first two shared
// vertices found scanning i's corners and, for each, j's corners.
Matrix AllPairsInteriorEdges(const Matrix& F) {
  std::vector<std::array<double, 4>> rows;
  for (int i = 0; i < F.rows(); ++i) {
    for (int j = i + 1; j < F.rows(); ++j) {
      std::vector<double> shared;
      for (int ci = 0; ci < 3; ++ci)
        for (int cj = 0; cj < 3; ++cj)
          if (F(i, ci) == F(j, cj) && shared.size() < 2) shared.push_back(F(i, ci));
      if (shared.size() == 2) rows.push_back({shared[0], shared[1], double(i + 1), double(j + 1)});
    }
  }
  Matrix E(static_cast<Eigen::Index>(rows.size()), 4);
  for (size_t r = 0; r < rows.size(); ++r)
    for (int c = 0; c < 4; ++c) E(static_cast<Eigen::Index>(r), c) = rows[r][c];
  return E;
}

struct Mesh {
  Matrix V, Q, F;
};

Mesh RandomMesh(unsigned seed, int n) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(0, 100);
  Mesh m{Matrix(n, 3), Matrix(n, 2), Matrix()};
  for (int k = 0; k < n; ++k) {
    m.Q(k, 0) = d(rng);
    m.Q(k, 1) = d(rng);
    m.V.row(k) << m.Q(k, 0) * 0.1, m.Q(k, 1) * 0.1, d(rng) * 0.01;
  }
  m.F = delaunay(m.Q.col(0), m.Q.col(1));
  return m;
}

TEST(MeshRefiner, EdgeSearchMatchesAllPairsOnRandomMeshes) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const Mesh m = RandomMesh(seed, 40 + 60 * int(seed));
    // Shuffle the triangles' order and corners so the order rule is really exercised.
    std::mt19937 rng(seed);
    Matrix F = m.F;
    for (int r = 0; r < F.rows(); ++r) {
      const int shift = int(rng() % 3);
      const Eigen::RowVector3d row = F.row(r);
      for (int c = 0; c < 3; ++c) F(r, c) = row((c + shift) % 3);
      F.row(r).swap(F.row(int(rng() % (r + 1))));
    }
    MeshRefiner refiner;
    refiner.Assign(m.V, m.Q, F);
    refiner.RefineOnce();
    const Matrix expected = AllPairsInteriorEdges(F);
    ASSERT_EQ(refiner.InteriorEdges().rows(), expected.rows());
    EXPECT_TRUE(refiner.InteriorEdges() == expected) << "seed " << seed;
  }
}

TEST(MeshRefiner, EdgeSearchMatchesAllPairsOnNonManifoldInput) {
  // Three triangles on edge 1-2, and a triangle repeated with other corner order.
  Matrix V = Matrix::Random(6, 3), Q = Matrix::Random(6, 2);
  Matrix F(5, 3);
  F << 1, 2, 3,  //
      2, 1, 4,   //
      5, 1, 2,   //
      3, 4, 6,   //
      6, 3, 4;
  MeshRefiner refiner;
  refiner.Assign(V, Q, F);
  refiner.RefineOnce();
  EXPECT_TRUE(refiner.InteriorEdges() == AllPairsInteriorEdges(F));
  EXPECT_EQ(refiner.InteriorEdges().rows(), 4);
}

TEST(MeshRefiner, VertexCountIsOldPlusTrianglesPlusInteriorEdges) {
  const Mesh m = RandomMesh(9, 120);
  MeshRefiner refiner;
  refiner.Assign(m.V, m.Q, m.F);
  refiner.Refine(1);
  const Eigen::Index e = refiner.InteriorEdges().rows();
  EXPECT_EQ(refiner.Vertices().rows(), 120 + m.F.rows() + e);
  EXPECT_EQ(refiner.TexturePoints().rows(), refiner.Vertices().rows());
  // Every edge of a triangulation is interior or on the hull: 3f = 2e + hull edges.
  EXPECT_LT(3 * m.F.rows() - 2 * e, 120);
  // The new triangles triangulate all points in the texture plane.
  EXPECT_TRUE(refiner.Faces() ==
              delaunay(refiner.TexturePoints().col(0), refiner.TexturePoints().col(1)));
  // Face points follow the old vertices; edge points follow the face points.
  EXPECT_TRUE(refiner.Vertices().row(120).isApprox(
      (m.V.row(int(m.F(0, 0)) - 1) + m.V.row(int(m.F(0, 1)) - 1) + m.V.row(int(m.F(0, 2)) - 1)) / 3));
}

TEST(MeshRefiner, HighValenceVertexMovesByTheAveragingRuleLowValenceStays) {
  // A hexagon around a raised centre: the centre has six interior edges, each rim
  // vertex at most two (the rim is the border).
  const int n = 7;
  Matrix V(n, 3), Q(n, 2);
  V.row(0) << 0, 0, 1;
  Q.row(0) << 0, 0;
  for (int k = 1; k < n; ++k) {
    const double a = (k - 1) * M_PI / 3;
    V.row(k) << std::cos(a), std::sin(a), 0;
    Q.row(k) << 10 * std::cos(a), 10 * std::sin(a);
  }
  Matrix F(6, 3);
  for (int k = 0; k < 6; ++k) F.row(k) << 1, k + 2, (k + 1) % 6 + 2;
  MeshRefiner refiner;
  refiner.Assign(V, Q, F);
  refiner.RefineOnce();
  // Face points have z 1/3, edge midpoints 1/2: (1/3 + 2/2 + 3 * 1) / 6 = 13/18.
  EXPECT_NEAR(refiner.Vertices()(0, 2), 13.0 / 18.0, 1e-12);
  EXPECT_NEAR(refiner.Vertices()(0, 0), 0.0, 1e-12);
  EXPECT_NEAR(refiner.TexturePoints().row(0).norm(), 0.0, 1e-12);
  for (int k = 1; k < n; ++k) {
    EXPECT_TRUE(refiner.Vertices().row(k) == V.row(k));
    EXPECT_TRUE(refiner.TexturePoints().row(k) == Q.row(k));
  }
  EXPECT_EQ(refiner.Vertices().rows(), 7 + 6 + 6);

  // Three triangles around a vertex: three interior edges, the vertex stays.
  Matrix V3(4, 3), Q3(4, 2), F3(3, 3);
  V3 << 0, 0, 5, 1, 0, 0, -1, 1, 0, -1, -1, 0;
  Q3 = V3.leftCols(2);
  F3 << 1, 2, 3, 1, 3, 4, 1, 4, 2;
  refiner.Assign(V3, Q3, F3);
  refiner.RefineOnce();
  EXPECT_EQ(refiner.InteriorEdges().rows(), 3);
  EXPECT_TRUE(refiner.Vertices().row(0) == V3.row(0));
}

TEST(MeshRefiner, InconsistentInputIsRejected) {
  MeshRefiner refiner;
  Matrix V = Matrix::Zero(3, 3), Q = Matrix::Zero(3, 2), F(1, 3);
  F << 1, 2, 4;
  EXPECT_THROW(refiner.Assign(V, Q, F), NumericError);
  F << 1, 2, 2;
  EXPECT_THROW(refiner.Assign(V, Q, F), NumericError);
  F << 1, 2, std::nan("");
  EXPECT_THROW(refiner.Assign(V, Q, F), NumericError);
  F << 1, 2, 3;
  EXPECT_THROW(refiner.Assign(V, Matrix::Zero(2, 2), F), NumericError);
  // Refining a mesh whose points all lie on a line fails clearly in the triangulation.
  refiner.Assign(V, Q, F);
  EXPECT_THROW(refiner.RefineOnce(), NumericError);
}

}  // namespace
}  // namespace q3d
