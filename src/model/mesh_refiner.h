#pragma once
// One or more smoothing steps of a triangle mesh: face, edge and vertex points averaged in
// the manner of Catmull-Clark, then re-triangulated by Delaunay in the texture plane.
#include "numeric/matrix.h"

namespace q3d {

class MeshRefiner {
 public:
  // vertices: v x 3; texturePoints: v x 2 (the plane that is re-triangulated);
  // faces: f x 3 one-based rows of three distinct vertices. Throws NumericError for
  // inconsistent shapes or indices out of range.
  void Assign(const Matrix& vertices, const Matrix& texturePoints, const Matrix& faces);
  // Runs RefineOnce `count` times.
  void Refine(int count);
  // After it: vertices = [moved old vertices; face points; edge points], faces = the
  // Delaunay triangulation of the texture points. Throws NumericError when delaunay does.
  void RefineOnce();

  const Matrix& Vertices() const { return m_vertices; }
  const Matrix& TexturePoints() const { return m_texturePoints; }
  const Matrix& Faces() const { return m_faces; }
  // Of the last step: e x 4 rows (vertex a, vertex b, triangle i, triangle j), one-based,
  // for each edge two triangles share, ordered by (i, j).
  const Matrix& InteriorEdges() const { return m_interiorEdges; }

 private:
  void ComputeFacePoints();
  void FindInteriorEdges();
  void ComputeEdgePoints();
  void MoveOldVertices(Matrix& vertices, Matrix& texturePoints) const;

  Matrix m_vertices;
  Matrix m_texturePoints;
  Matrix m_faces;
  Matrix m_facePoints;
  Matrix m_faceTexturePoints;
  Matrix m_interiorEdges;
  Matrix m_edgePoints;
  Matrix m_edgeTexturePoints;
};

}  // namespace q3d
