#pragma once
// The mesh builder's arrays in GPU buffers. All calls need the owning widget's context
// to be current.
#include <QOpenGLFunctions_3_3_Core>

namespace q3d {

class MeshBuilder;

class GlMesh {
 public:
  // Replaces the buffers' contents with the builder's positions, normals, texture
  // coordinates and triangles.
  void Upload(QOpenGLFunctions_3_3_Core& gl, const MeshBuilder& mesh);
  void Draw(QOpenGLFunctions_3_3_Core& gl) const;
  void Release(QOpenGLFunctions_3_3_Core& gl);


 private:
  void Create(QOpenGLFunctions_3_3_Core& gl);

  GLuint vertexArray_ = 0;
  GLuint positions_ = 0;
  GLuint normals_ = 0;
  GLuint texCoords_ = 0;
  GLuint indices_ = 0;
  int indexCount_ = 0;
};

}  // namespace q3d
