#include "model/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

namespace q3d {
namespace {

bool AllFinite(std::span<const float> values) {
  return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

// Unit length, or (0, 0, 1) for a vector too short to have a direction.
void Normalize(float* n) {
  const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    n[0] = 0.0f;
    n[1] = 0.0f;
    n[2] = 1.0f;
    return;
  }
  for (int c = 0; c < 3; ++c) n[c] = static_cast<float>(n[c] / length);
}

}  // namespace

int MeshBuilder::ReserveSpace(int vertexCount, int /*normalCount*/, int faceCount) {
  if (vertexCount < 0 || faceCount < 0) return kMeshInvalidArgument;
  try {
    const size_t vertices = positions_.size() / 3 + static_cast<size_t>(vertexCount);
    positions_.reserve(3 * vertices);
    normals_.reserve(3 * vertices);
    textureCoordinates_.reserve(2 * vertices);
    indices_.reserve(indices_.size() + 3 * static_cast<size_t>(faceCount));
  } catch (const std::bad_alloc&) {
    return kMeshOutOfMemory;
  } catch (const std::length_error&) {
    return kMeshOutOfMemory;
  }
  return kMeshOk;
}

int MeshBuilder::AddFaces(int vertexCount, std::span<const float> vertices, int normalCount,
                          std::span<const float> normals, std::span<const int32_t> faceData) {
  if (vertexCount < 0 || vertices.size() < 3 * static_cast<size_t>(vertexCount) ||
      !AllFinite(vertices.first(3 * static_cast<size_t>(vertexCount)))) {
    return kMeshInvalidArgument;
  }
  if (normalCount != 0 &&
      (normalCount != vertexCount || normals.size() < 3 * static_cast<size_t>(vertexCount) ||
       !AllFinite(normals.first(3 * static_cast<size_t>(vertexCount))))) {
    return kMeshInvalidArgument;
  }
  const size_t base = positions_.size() / 3;
  if (base + static_cast<size_t>(vertexCount) > std::numeric_limits<uint32_t>::max()) {
    return kMeshOutOfMemory;
  }
  // Validate the whole face list before changing anything.
  size_t at = 0, faces = 0;
  for (;;) {
    if (at >= faceData.size()) return kMeshBadFaceData;  // no terminating 0
    const int32_t count = faceData[at];
    if (count == 0) break;
    if (count != 3 || faceData.size() - at < 4) return kMeshBadFaceData;
    for (int c = 1; c <= 3; ++c) {
      if (faceData[at + c] < 0 || faceData[at + c] >= vertexCount) return kMeshBadFaceData;
    }
    at += 4;
    ++faces;
  }
  try {
    positions_.insert(positions_.end(), vertices.begin(), vertices.begin() + 3 * vertexCount);
    if (normalCount != 0) {
      normals_.insert(normals_.end(), normals.begin(), normals.begin() + 3 * vertexCount);
    } else {
      normals_.resize(positions_.size(), 0.0f);
    }
    textureCoordinates_.resize(2 * (base + vertexCount), 0.0f);
    indices_.reserve(indices_.size() + 3 * faces);
    for (size_t f = 0; f < faces; ++f) {
      for (int c = 1; c <= 3; ++c) {
        indices_.push_back(static_cast<uint32_t>(base + faceData[4 * f + c]));
      }
    }
  } catch (const std::bad_alloc&) {
    return kMeshOutOfMemory;
  }
  return kMeshOk;
}

int MeshBuilder::GenerateNormals() {
  std::fill(normals_.begin(), normals_.end(), 0.0f);
  for (size_t t = 0; t < indices_.size(); t += 3) {
    const float* a = &positions_[3 * indices_[t]];
    const float* b = &positions_[3 * indices_[t + 1]];
    const float* c = &positions_[3 * indices_[t + 2]];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    // The cross product's length is twice the area: larger triangles weigh more.
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                        u[0] * v[1] - u[1] * v[0]};
    for (int k = 0; k < 3; ++k) {
      float* target = &normals_[3 * indices_[t + k]];
      for (int c2 = 0; c2 < 3; ++c2) target[c2] += n[c2];
    }
  }
  for (size_t v = 0; v < normals_.size(); v += 3) Normalize(&normals_[v]);
  return kMeshOk;
}

int MeshBuilder::SetTextureCoordinates(int index, float u, float v) {
  if (index < 0 || index >= VertexCount()) return kMeshIndexOutOfRange;
  if (!std::isfinite(u) || !std::isfinite(v)) return kMeshInvalidArgument;
  textureCoordinates_[2 * static_cast<size_t>(index)] = u;
  textureCoordinates_[2 * static_cast<size_t>(index) + 1] = v;
  return kMeshOk;
}

int MeshBuilder::GetBox(MeshBox* box) const {
  if (box == nullptr) return kMeshInvalidArgument;
  if (positions_.empty()) return kMeshEmpty;
  MeshBox result;
  for (int c = 0; c < 3; ++c) result.min[c] = result.max[c] = positions_[c];
  for (size_t v = 0; v < positions_.size(); v += 3) {
    for (int c = 0; c < 3; ++c) {
      result.min[c] = std::min(result.min[c], positions_[v + c]);
      result.max[c] = std::max(result.max[c], positions_[v + c]);
    }
  }
  *box = result;
  return kMeshOk;
}

int MeshBuilder::Translate(float tx, float ty, float tz) {
  if (!std::isfinite(tx) || !std::isfinite(ty) || !std::isfinite(tz)) {
    return kMeshInvalidArgument;
  }
  for (size_t v = 0; v < positions_.size(); v += 3) {
    positions_[v] += tx;
    positions_[v + 1] += ty;
    positions_[v + 2] += tz;
  }
  return kMeshOk;
}

int MeshBuilder::Scale(float sx, float sy, float sz) {
  if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(sz) || sx == 0.0f ||
      sy == 0.0f || sz == 0.0f) {
    return kMeshInvalidArgument;
  }
  const float s[3] = {sx, sy, sz};
  for (size_t v = 0; v < positions_.size(); v += 3) {
    for (int c = 0; c < 3; ++c) positions_[v + c] *= s[c];
  }
  // Normals transform with the inverse transpose: divide instead of multiply.
  for (size_t v = 0; v < normals_.size(); v += 3) {
    const bool generated = normals_[v] != 0.0f || normals_[v + 1] != 0.0f || normals_[v + 2] != 0.0f;
    if (!generated) continue;
    for (int c = 0; c < 3; ++c) normals_[v + c] /= s[c];
    Normalize(&normals_[v]);
  }
  // A mirroring scale turns counter-clockwise triangles clockwise; keep them facing out.
  if (sx * sy * sz < 0.0f) {
    for (size_t t = 0; t < indices_.size(); t += 3) std::swap(indices_[t + 1], indices_[t + 2]);
  }
  return kMeshOk;
}

void MeshBuilder::Clear() {
  positions_.clear();
  normals_.clear();
  textureCoordinates_.clear();
  indices_.clear();
}

}  // namespace q3d
