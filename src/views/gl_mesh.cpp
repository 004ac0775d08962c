#include "views/gl_mesh.h"

#include <vector>

#include "model/mesh_builder.h"
#include "views/gl_shaders.h"

namespace q3d {
namespace {

template <typename T>
void FillBuffer(QOpenGLFunctions_3_3_Core& gl, GLenum target, GLuint buffer,
                const std::vector<T>& data) {
  gl.glBindBuffer(target, buffer);
  gl.glBufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)),
                  data.empty() ? nullptr : data.data(), GL_STATIC_DRAW);
}

void BindAttribute(QOpenGLFunctions_3_3_Core& gl, GLuint buffer, int location, int components) {
  gl.glBindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.glEnableVertexAttribArray(static_cast<GLuint>(location));
  gl.glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0,
                           nullptr);
}

}  // namespace

void GlMesh::Create(QOpenGLFunctions_3_3_Core& gl) {
  gl.glGenVertexArrays(1, &vertexArray_);
  GLuint buffers[4];
  gl.glGenBuffers(4, buffers);
  positions_ = buffers[0];
  normals_ = buffers[1];
  texCoords_ = buffers[2];
  indices_ = buffers[3];
  gl.glBindVertexArray(vertexArray_);
  BindAttribute(gl, positions_, kPositionAttribute, 3);
  BindAttribute(gl, normals_, kNormalAttribute, 3);
  BindAttribute(gl, texCoords_, kTexCoordAttribute, 2);
  gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_);
  gl.glBindVertexArray(0);
}

void GlMesh::Upload(QOpenGLFunctions_3_3_Core& gl, const MeshBuilder& mesh) {
  if (vertexArray_ == 0) Create(gl);
  gl.glBindVertexArray(vertexArray_);
  FillBuffer(gl, GL_ARRAY_BUFFER, positions_, mesh.Positions());
  FillBuffer(gl, GL_ARRAY_BUFFER, normals_, mesh.Normals());
  FillBuffer(gl, GL_ARRAY_BUFFER, texCoords_, mesh.TextureCoordinates());
  FillBuffer(gl, GL_ELEMENT_ARRAY_BUFFER, indices_, mesh.Indices());
  gl.glBindVertexArray(0);
  indexCount_ = static_cast<int>(mesh.Indices().size());
}

void GlMesh::Draw(QOpenGLFunctions_3_3_Core& gl) const {
  if (vertexArray_ == 0 || indexCount_ == 0) return;
  gl.glBindVertexArray(vertexArray_);
  gl.glDrawElements(GL_TRIANGLES, indexCount_, GL_UNSIGNED_INT, nullptr);
  gl.glBindVertexArray(0);
}

void GlMesh::Release(QOpenGLFunctions_3_3_Core& gl) {
  if (vertexArray_ == 0) return;
  const GLuint buffers[4] = {positions_, normals_, texCoords_, indices_};
  gl.glDeleteBuffers(4, buffers);
  gl.glDeleteVertexArrays(1, &vertexArray_);
  vertexArray_ = positions_ = normals_ = texCoords_ = indices_ = 0;
  indexCount_ = 0;
}

}  // namespace q3d
