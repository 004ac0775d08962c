// Binary STL: an 80-byte header, the triangle count, then per triangle its unit normal,
// its three corners and a zero attribute word, all little-endian.
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "model/mesh_export.h"
#include "model/model_file_set.h"

namespace q3d {
namespace {

static_assert(std::endian::native == std::endian::little, "the STL body is written as in memory");

void AppendFloats(std::vector<uint8_t>& out, const std::array<float, 3>& v) {
  const size_t at = out.size();
  out.resize(at + sizeof v);
  std::memcpy(out.data() + at, v.data(), sizeof v);
}

}  // namespace

Status WriteStl(const std::string& path, const MeshBuilder& mesh) {
  if (mesh.FaceCount() == 0) return Status::Fail("The mesh has no triangles to export.");
  std::vector<uint8_t> body(80, 0);
  const char title[] = "Quorvan 3D model";
  std::memcpy(body.data(), title, sizeof title - 1);
  const auto count = static_cast<uint32_t>(mesh.FaceCount());
  body.reserve(84 + 50 * static_cast<size_t>(count));
  body.resize(84);
  std::memcpy(body.data() + 80, &count, sizeof count);
  const auto& p = mesh.Positions();
  const auto& indices = mesh.Indices();
  for (size_t k = 0; k < indices.size(); k += 3) {
    std::array<std::array<float, 3>, 3> corner;
    for (int c = 0; c < 3; ++c)
      for (int a = 0; a < 3; ++a) corner[c][a] = p[3 * indices[k + c] + a];
    std::array<float, 3> u, v, n;
    for (int a = 0; a < 3; ++a) {
      u[a] = corner[1][a] - corner[0][a];
      v[a] = corner[2][a] - corner[0][a];
    }
    n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (float& x : n) x = length > 0 ? x / length : 0.0f;
    AppendFloats(body, n);
    for (const auto& c : corner) AppendFloats(body, c);
    body.push_back(0);
    body.push_back(0);
  }
  ModelFileSet files(path);
  if (Status e = files.StageModel(body); !e) return e;
  return files.Commit();
}

}  // namespace q3d
