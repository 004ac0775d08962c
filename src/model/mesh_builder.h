#pragma once
// The triangle mesh that a build fills and that the 3D view and every exporter read.
// Arrays are kept in the layout OpenGL takes directly: three floats per position and
// normal, two per texture coordinate, three uint32 indices per triangle.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace q3d {

// Status of a mesh-builder operation: 0 on success, negative on failure.
enum MeshStatus : int {
  kMeshOk = 0,
  kMeshOutOfMemory = -1,
  kMeshInvalidArgument = -2,  // sizes that do not match, non-finite numbers
  kMeshBadFaceData = -3,      // a face that is not a triangle or an index out of range
  kMeshIndexOutOfRange = -4,  // a vertex index beyond the mesh
  kMeshEmpty = -5,            // an operation that needs vertices on an empty mesh
  kMeshBuildFailed = -6,      // a model build could not mesh its points (error record pushed)
};

struct MeshBox {
  std::array<float, 3> min{};
  std::array<float, 3> max{};
};

class MeshBuilder {
 public:
  // Prepares room for that many more vertices and faces (the normal count is unused, as
  // normals come from GenerateNormals).
  int ReserveSpace(int vertexCount, int normalCount, int faceCount);
  // Appends vertexCount vertices (three floats each in `vertices`) and the faces of
  // `faceData`: per face the count 3 and three zero-based indices into this call's
  // vertices, the list ended by a 0. Given normals (three floats each, normalCount of them,
  // one per vertex) are taken as they are; otherwise normals are zero until
  // GenerateNormals. Texture coordinates of the new vertices start at (0, 0). Nothing is
  // added when the data is invalid.
  int AddFaces(int vertexCount, std::span<const float> vertices, int normalCount,
               std::span<const float> normals, std::span<const int32_t> faceData);
  // Per-vertex normals: the area-weighted mean of the normals of the triangles around the
  // vertex, counter-clockwise triangles facing the viewer. A vertex on no triangle, or
  // only on degenerate ones, gets (0, 0, 1).
  int GenerateNormals();
  int SetTextureCoordinates(int index, float u, float v);
  int GetBox(MeshBox* box) const;
  int Translate(float tx, float ty, float tz);
  // Scales the positions and keeps the normals perpendicular to the surface; a mirroring
  // scale (odd number of negative factors) also reverses the triangles' corner order so
  // that they keep facing the way their normals point.
  int Scale(float sx, float sy, float sz);
  void Clear();

  int VertexCount() const { return static_cast<int>(positions_.size() / 3); }
  int FaceCount() const { return static_cast<int>(indices_.size() / 3); }
  const std::vector<float>& Positions() const { return positions_; }
  const std::vector<float>& Normals() const { return normals_; }
  const std::vector<float>& TextureCoordinates() const { return textureCoordinates_; }
  const std::vector<uint32_t>& Indices() const { return indices_; }

 private:
  std::vector<float> positions_;
  std::vector<float> normals_;
  std::vector<float> textureCoordinates_;
  std::vector<uint32_t> indices_;
};

}  // namespace q3d
