#pragma once
// GLSL sources of the 3D view's one program (OpenGL 3.3 core).
namespace q3d {

// Attribute locations shared by the shaders and the mesh upload.
constexpr int kPositionAttribute = 0;
constexpr int kNormalAttribute = 1;
constexpr int kTexCoordAttribute = 2;

extern const char* const kMeshVertexShader;
extern const char* const kMeshFragmentShader;

}  // namespace q3d
