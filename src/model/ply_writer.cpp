// Binary little-endian PLY: per vertex position, normal and texture coordinate.
#include <bit>
#include <cstring>

#include "model/mesh_export.h"
#include "model/mesh_export_common.h"
#include "model/model_file_set.h"

namespace q3d {
namespace {

static_assert(std::endian::native == std::endian::little, "the PLY body is written as in memory");

template <typename T>
void Append(std::vector<uint8_t>& out, T value) {
  const size_t at = out.size();
  out.resize(at + sizeof value);
  std::memcpy(out.data() + at, &value, sizeof value);
}

std::string TextureComment(const std::string& name) { return "comment TextureFile " + name + "\n"; }

}  // namespace

Status WritePly(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture) {
  if (Status problem = mesh_export::CheckInput(mesh, texture); !problem) return problem;
  std::vector<uint8_t> png;
  if (!mesh_export::EncodePng(texture, png))
    return Status::Fail("The texture could not be encoded as PNG.");
  ModelFileSet files(path, {kTextureCompanion}, 0, &TextureComment);
  const SideFile& image = files.Companion(0);

  const std::string header =
      "ply\n"
      "format binary_little_endian 1.0\n"
      "comment Quorvan 3D model\n" +
      TextureComment(image.name) + "element vertex " + std::to_string(mesh.VertexCount()) +
      "\n"
      "property float x\n"
      "property float y\n"
      "property float z\n"
      "property float nx\n"
      "property float ny\n"
      "property float nz\n"
      "property float s\n"
      "property float t\n"
      "element face " +
      std::to_string(mesh.FaceCount()) +
      "\n"
      "property list uchar int vertex_indices\n"
      "end_header\n";
  std::vector<uint8_t> body(header.begin(), header.end());
  body.reserve(header.size() + 32 * static_cast<size_t>(mesh.VertexCount()) +
               13 * static_cast<size_t>(mesh.FaceCount()));
  const auto& p = mesh.Positions();
  const auto& n = mesh.Normals();
  const auto& uv = mesh.TextureCoordinates();
  for (int v = 0; v < mesh.VertexCount(); ++v) {
    for (int c = 0; c < 3; ++c) Append(body, p[3 * v + c]);
    for (int c = 0; c < 3; ++c) Append(body, n[3 * v + c]);
    Append(body, uv[2 * v]);
    Append(body, mesh_export::FlipV(uv[2 * v + 1]));
  }
  const auto& indices = mesh.Indices();
  for (size_t k = 0; k < indices.size(); k += 3) {
    Append(body, uint8_t{3});
    for (int c = 0; c < 3; ++c) Append(body, static_cast<int32_t>(indices[k + c]));
  }

  if (Status e = files.StageCompanion(0, png); !e) return e;
  if (Status e = files.StageModel(body); !e) return e;
  return files.Commit();
}

}  // namespace q3d
