// glTF 2.0 binary: a JSON chunk describing one textured triangle mesh and a BIN chunk
// holding positions, normals, texture coordinates, indices and the PNG texture.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "model/mesh_export.h"
#include "model/mesh_export_common.h"
#include "model/model_file_set.h"

namespace q3d {
namespace {

static_assert(std::endian::native == std::endian::little, "glTF data is written as in memory");

constexpr uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
constexpr int kFloat = 5126, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
  const size_t at = out.size();
  out.resize(at + size);
  if (size != 0) std::memcpy(out.data() + at, data, size);
}

void AppendUInt32(std::vector<uint8_t>& out, uint32_t value) { AppendBytes(out, &value, 4); }

void PadTo4(std::vector<uint8_t>& out, uint8_t fill) {
  while (out.size() % 4 != 0) out.push_back(fill);
}

// A JSON array of the per-component extreme of a float array with `width` components.
std::string Extreme(const std::vector<float>& values, int width, bool maximum) {
  std::string out = "[";
  for (int c = 0; c < width; ++c) {
    float e =
        maximum ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    for (size_t k = c; k < values.size(); k += width)
      e = maximum ? std::max(e, values[k]) : std::min(e, values[k]);
    // Written as the exact double of the float, so readers compare equal to the data.
    mesh_export::AppendNumber(out, static_cast<double>(e));
    out += c + 1 < width ? "," : "]";
  }
  return out;
}

struct View {
  size_t offset, length;
  int target;  // 0: none (the image)
};

}  // namespace

Status WriteGlb(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture) {
  if (Status problem = mesh_export::CheckInput(mesh, texture); !problem) return problem;
  std::vector<uint8_t> png;
  if (!mesh_export::EncodePng(texture, png))
    return Status::Fail("The texture could not be encoded as PNG.");

  std::vector<float> uv = mesh.TextureCoordinates();  // glTF's origin is top-left, as ours
  std::vector<uint8_t> bin;
  std::vector<View> views;
  auto add = [&](const void* data, size_t size, int target) {
    PadTo4(bin, 0);
    views.push_back({bin.size(), size, target});
    AppendBytes(bin, data, size);
  };
  const auto& positions = mesh.Positions();
  const auto& normals = mesh.Normals();
  const auto& indices = mesh.Indices();
  add(positions.data(), positions.size() * 4, kArrayBuffer);
  add(normals.data(), normals.size() * 4, kArrayBuffer);
  add(uv.data(), uv.size() * 4, kArrayBuffer);
  add(indices.data(), indices.size() * 4, kElementArrayBuffer);
  add(png.data(), png.size(), 0);
  PadTo4(bin, 0);

  const std::string vertices = std::to_string(mesh.VertexCount());
  std::string json =
      R"({"asset":{"version":"2.0","generator":"Quorvan 3D"},"scene":0,"scenes":[{"nodes":[0]}],)"
      R"("nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,)"
      R"("TEXCOORD_0":2},"indices":3,"material":0,"mode":4}]}],)"
      R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0},)"
      R"("metallicFactor":0,"roughnessFactor":1},"doubleSided":true}],)"
      R"("textures":[{"sampler":0,"source":0}],)"
      R"("samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":10497}],)"
      R"("images":[{"bufferView":4,"mimeType":"image/png"}],)"
      R"("buffers":[{"byteLength":)" +
      std::to_string(bin.size()) + R"(}],"bufferViews":[)";
  for (size_t v = 0; v < views.size(); ++v) {
    json += R"({"buffer":0,"byteOffset":)" + std::to_string(views[v].offset) + R"(,"byteLength":)" +
            std::to_string(views[v].length);
    if (views[v].target != 0) json += R"(,"target":)" + std::to_string(views[v].target);
    json += v + 1 < views.size() ? "}," : "}],";
  }
  json += R"("accessors":[)"
          R"({"bufferView":0,"componentType":)" +
          std::to_string(kFloat) + R"(,"count":)" + vertices + R"(,"type":"VEC3","min":)" +
          Extreme(positions, 3, false) + R"(,"max":)" + Extreme(positions, 3, true) +
          "},"
          R"({"bufferView":1,"componentType":)" +
          std::to_string(kFloat) + R"(,"count":)" + vertices +
          R"(,"type":"VEC3"},)"
          R"({"bufferView":2,"componentType":)" +
          std::to_string(kFloat) + R"(,"count":)" + vertices +
          R"(,"type":"VEC2"},)"
          R"({"bufferView":3,"componentType":)" +
          std::to_string(kUnsignedInt) + R"(,"count":)" + std::to_string(indices.size()) +
          R"(,"type":"SCALAR"}]})";
  std::vector<uint8_t> jsonChunk(json.begin(), json.end());
  PadTo4(jsonChunk, ' ');

  std::vector<uint8_t> glb;
  const size_t total = 12 + 8 + jsonChunk.size() + 8 + bin.size();
  if (total > std::numeric_limits<uint32_t>::max())
    return Status::Fail("The model is too large for a .glb file.");
  glb.reserve(total);
  AppendUInt32(glb, kGlbMagic);
  AppendUInt32(glb, 2);
  AppendUInt32(glb, static_cast<uint32_t>(total));
  AppendUInt32(glb, static_cast<uint32_t>(jsonChunk.size()));
  AppendUInt32(glb, kJsonChunk);
  AppendBytes(glb, jsonChunk.data(), jsonChunk.size());
  AppendUInt32(glb, static_cast<uint32_t>(bin.size()));
  AppendUInt32(glb, kBinChunk);
  AppendBytes(glb, bin.data(), bin.size());

  ModelFileSet files(path);
  if (Status e = files.StageModel(glb); !e) return e;
  return files.Commit();
}

}  // namespace q3d
