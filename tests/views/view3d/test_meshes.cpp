#include "test_meshes.h"

#include <cmath>
#include <vector>

namespace q3d::test {
namespace {

// Adds the triangles, choosing their corner order so that the generated normals face
// the camera (-z): the builder's normal direction follows the corner order.
MeshBuilder Build(const std::vector<float>& positions, std::vector<int32_t> triangles,
                  const std::vector<float>& uv) {
  const int vertexCount = static_cast<int>(positions.size() / 3);
  auto faceData = [&]() {
    std::vector<int32_t> data;
    for (size_t i = 0; i < triangles.size(); i += 3) {
      data.push_back(3);
      data.insert(data.end(), triangles.begin() + i, triangles.begin() + i + 3);
    }
    data.push_back(0);
    return data;
  };
  MeshBuilder mesh;
  mesh.AddFaces(vertexCount, positions, 0, {}, faceData());
  mesh.GenerateNormals();
  if (mesh.Normals()[2] > 0.0f) {
    for (size_t i = 0; i < triangles.size(); i += 3) std::swap(triangles[i + 1], triangles[i + 2]);
    mesh.Clear();
    mesh.AddFaces(vertexCount, positions, 0, {}, faceData());
    mesh.GenerateNormals();
  }
  for (int i = 0; i < vertexCount; ++i) mesh.SetTextureCoordinates(i, uv[2 * i], uv[2 * i + 1]);
  return mesh;
}

}  // namespace

MeshBuilder FacingSquare(float half, float u0, float v0) {
  // Corners: top-left, top-right, bottom-right, bottom-left (+x right, +y up).
  const std::vector<float> positions = {-half, half,  0, half,  half,  0,
                                        half,  -half, 0, -half, -half, 0};
  const std::vector<float> uv = {u0, v0, u0 + 1, v0, u0 + 1, v0 + 1, u0, v0 + 1};
  return Build(positions, {0, 1, 2, 0, 2, 3}, uv);
}

MeshBuilder Tent(float half, float slopeDegrees) {
  const float depth = half * std::tan(slopeDegrees * static_cast<float>(M_PI) / 180.0f);
  // Ridge nearest the camera (z = -depth), outer edges at z = 0.
  const std::vector<float> positions = {-half, half,  0, 0, half,  -depth, half, half,  0,
                                        -half, -half, 0, 0, -half, -depth, half, -half, 0};
  const std::vector<float> uv = {0, 0, 0.5f, 0, 1, 0, 0, 1, 0.5f, 1, 1, 1};
  return Build(positions, {0, 1, 4, 0, 4, 3, 1, 2, 5, 1, 5, 4}, uv);
}

Image SolidTexture(int size, uint8_t b, uint8_t g, uint8_t r) {
  Image image;
  CreateColorImage(image, size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      uint8_t* p = image.Row(y) + 3 * x;
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  return image;
}

Image SplitTexture(int size, const uint8_t left[3], const uint8_t right[3]) {
  Image image;
  CreateColorImage(image, size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      for (int c = 0; c < 3; ++c) image.Row(y)[3 * x + c] = x < size / 2 ? left[c] : right[c];
  return image;
}

Image CheckerTexture(int size, int cell) {
  Image image;
  CreateColorImage(image, size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const uint8_t value = ((x / cell + y / cell) % 2) ? 255 : 0;
      for (int c = 0; c < 3; ++c) image.Row(y)[3 * x + c] = value;
    }
  return image;
}

}  // namespace q3d::test
