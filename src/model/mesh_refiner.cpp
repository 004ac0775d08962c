#include "model/mesh_refiner.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/delaunay.h"

namespace q3d {
namespace {

int IndexAt(const Matrix& m, Eigen::Index row, int col) {
  return static_cast<int>(m(row, col));
}

}  // namespace

void MeshRefiner::Assign(const Matrix& vertices, const Matrix& texturePoints,
                         const Matrix& faces) {
  if (vertices.cols() != 3 || texturePoints.cols() != 2 ||
      texturePoints.rows() != vertices.rows() || (faces.size() != 0 && faces.cols() != 3)) {
    throw NumericError("mesh refinement: vertices must be v x 3, texture points v x 2, faces f x 3");
  }
  const double count = static_cast<double>(vertices.rows());
  for (Eigen::Index f = 0; f < faces.rows(); ++f) {
    for (int c = 0; c < 3; ++c) {
      const double index = faces(f, c);
      if (!(index >= 1 && index <= count) || index != std::floor(index)) {
        throw NumericError("mesh refinement: face " + std::to_string(f + 1) +
                           " refers to a vertex that does not exist");
      }
    }
    if (faces(f, 0) == faces(f, 1) || faces(f, 1) == faces(f, 2) || faces(f, 0) == faces(f, 2)) {
      throw NumericError("mesh refinement: face " + std::to_string(f + 1) +
                         " repeats a vertex");
    }
  }
  m_vertices = vertices;
  m_texturePoints = texturePoints;
  m_faces = faces.size() == 0 ? Matrix(0, 3) : faces;
  m_facePoints.resize(0, 3);
  m_faceTexturePoints.resize(0, 2);
  m_interiorEdges.resize(0, 4);
  m_edgePoints.resize(0, 3);
  m_edgeTexturePoints.resize(0, 2);
}

void MeshRefiner::Refine(int count) {
  for (int k = 0; k < count; ++k) RefineOnce();
}

void MeshRefiner::RefineOnce() {
  ComputeFacePoints();
  FindInteriorEdges();
  ComputeEdgePoints();
  Matrix vertices, texturePoints;
  MoveOldVertices(vertices, texturePoints);

  const Eigen::Index v = vertices.rows(), f = m_facePoints.rows(), e = m_edgePoints.rows();
  m_vertices.resize(v + f + e, 3);
  m_vertices << vertices, m_facePoints, m_edgePoints;
  m_texturePoints.resize(v + f + e, 2);
  m_texturePoints << texturePoints, m_faceTexturePoints, m_edgeTexturePoints;
  m_faces = delaunay(m_texturePoints.col(0), m_texturePoints.col(1));
}

void MeshRefiner::ComputeFacePoints() {
  const Eigen::Index f = m_faces.rows();
  m_facePoints.setZero(f, 3);
  m_faceTexturePoints.setZero(f, 2);
  for (Eigen::Index i = 0; i < f; ++i) {
    for (int c = 0; c < 3; ++c) {
      const int k = IndexAt(m_faces, i, c) - 1;
      m_facePoints.row(i) += m_vertices.row(k) / 3.0;
      m_faceTexturePoints.row(i) += m_texturePoints.row(k) / 3.0;
    }
  }
}

// Every pair of triangles i < j sharing an edge gives the row [a, b, i, j], a and b being
// the shared vertices in i's corner order; rows are ordered by (i, j). Sorting the edges
// finds the pairs in O(f log f) instead of comparing all pairs of triangles.
void MeshRefiner::FindInteriorEdges() {
  const int f = static_cast<int>(m_faces.rows());
  std::vector<std::tuple<int, int, int>> uses;  // (lower vertex, higher vertex, triangle)
  uses.reserve(3 * static_cast<size_t>(f));
  for (int i = 0; i < f; ++i) {
    for (int c = 0; c < 3; ++c) {
      const int a = IndexAt(m_faces, i, c), b = IndexAt(m_faces, i, (c + 1) % 3);
      uses.emplace_back(std::min(a, b), std::max(a, b), i);
    }
  }
  std::sort(uses.begin(), uses.end());
  std::vector<std::pair<int, int>> pairs;
  for (size_t start = 0, end = 0; start < uses.size(); start = end) {
    end = start + 1;
    while (end < uses.size() && std::get<0>(uses[end]) == std::get<0>(uses[start]) &&
           std::get<1>(uses[end]) == std::get<1>(uses[start])) {
      ++end;
    }
    for (size_t p = start; p < end; ++p) {
      for (size_t q = p + 1; q < end; ++q) pairs.emplace_back(std::get<2>(uses[p]), std::get<2>(uses[q]));
    }
  }
  // Two triangles on the same three vertices share three edges but give one row.
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());

  m_interiorEdges.resize(static_cast<Eigen::Index>(pairs.size()), 4);
  for (size_t r = 0; r < pairs.size(); ++r) {
    const auto [i, j] = pairs[r];
    int shared[2] = {0, 0}, found = 0;
    for (int ci = 0; ci < 3 && found < 2; ++ci) {
      for (int cj = 0; cj < 3; ++cj) {
        if (m_faces(i, ci) == m_faces(j, cj)) {
          shared[found++] = IndexAt(m_faces, i, ci);
          break;
        }
      }
    }
    m_interiorEdges.row(static_cast<Eigen::Index>(r)) << shared[0], shared[1], i + 1, j + 1;
  }
}

void MeshRefiner::ComputeEdgePoints() {
  const Eigen::Index e = m_interiorEdges.rows();
  m_edgePoints.resize(e, 3);
  m_edgeTexturePoints.resize(e, 2);
  for (Eigen::Index r = 0; r < e; ++r) {
    const int a = IndexAt(m_interiorEdges, r, 0) - 1, b = IndexAt(m_interiorEdges, r, 1) - 1;
    const int i = IndexAt(m_interiorEdges, r, 2) - 1, j = IndexAt(m_interiorEdges, r, 3) - 1;
    m_edgePoints.row(r) =
        (m_vertices.row(a) + m_vertices.row(b) + m_facePoints.row(i) + m_facePoints.row(j)) / 4.0;
    m_edgeTexturePoints.row(r) = (m_texturePoints.row(a) + m_texturePoints.row(b) +
                                  m_faceTexturePoints.row(i) + m_faceTexturePoints.row(j)) /
                                 4.0;
  }
}

// A vertex with n > 3 interior edges moves to (mean face point + 2 mean edge midpoint +
// (n - 3) old position) / n, in space and in the texture plane alike; the others stay.
void MeshRefiner::MoveOldVertices(Matrix& vertices, Matrix& texturePoints) const {
  const Eigen::Index v = m_vertices.rows();
  std::vector<int> edgeCount(v, 0), faceCount(v, 0);
  Matrix faceSum = Matrix::Zero(v, 3), faceTextureSum = Matrix::Zero(v, 2);
  Matrix midpointSum = Matrix::Zero(v, 3), textureMidpointSum = Matrix::Zero(v, 2);
  for (Eigen::Index r = 0; r < m_interiorEdges.rows(); ++r) {
    const int a = IndexAt(m_interiorEdges, r, 0) - 1, b = IndexAt(m_interiorEdges, r, 1) - 1;
    const auto midpoint = (m_vertices.row(a) + m_vertices.row(b)) / 2.0;
    const auto textureMidpoint = (m_texturePoints.row(a) + m_texturePoints.row(b)) / 2.0;
    for (int s : {a, b}) {
      ++edgeCount[s];
      midpointSum.row(s) += midpoint;
      textureMidpointSum.row(s) += textureMidpoint;
    }
  }
  for (Eigen::Index i = 0; i < m_faces.rows(); ++i) {
    for (int c = 0; c < 3; ++c) {
      const int s = IndexAt(m_faces, i, c) - 1;
      ++faceCount[s];
      faceSum.row(s) += m_facePoints.row(i);
      faceTextureSum.row(s) += m_faceTexturePoints.row(i);
    }
  }
  vertices = m_vertices;
  texturePoints = m_texturePoints;
  for (Eigen::Index s = 0; s < v; ++s) {
    const int n = edgeCount[s];
    if (n <= 3) continue;
    vertices.row(s) = (faceSum.row(s) / faceCount[s] + 2.0 * midpointSum.row(s) / n +
                       (n - 3) * m_vertices.row(s)) /
                      n;
    texturePoints.row(s) = (faceTextureSum.row(s) / faceCount[s] +
                            2.0 * textureMidpointSum.row(s) / n +
                            (n - 3) * m_texturePoints.row(s)) /
                           n;
  }
}

}  // namespace q3d
