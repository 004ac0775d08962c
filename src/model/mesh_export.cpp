#include "model/mesh_export.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "model/model_file_set.h"

namespace q3d {
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

bool IsMeshExportPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".wrl" || ext == ".obj" || ext == ".ply" || ext == ".glb" || ext == ".stl";
}

std::vector<std::string> ExportedFilePaths(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".obj") return ModelFileSetPaths(path, {{kTextureCompanion, kMaterialCompanion}});
  if (ext == ".wrl" || ext == ".ply") return ModelFileSetPaths(path, {{kTextureCompanion}});
  return {path};
}

Status ExportMesh(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture) {
  const std::string ext = LowerExtension(path);
  if (ext == ".wrl") return WriteVrml(path, mesh, texture);
  if (ext == ".obj") return WriteObj(path, mesh, texture);
  if (ext == ".ply") return WritePly(path, mesh, texture);
  if (ext == ".glb") return WriteGlb(path, mesh, texture);
  if (ext == ".stl") return WriteStl(path, mesh);
  return Status::Fail("\"" + path +
                      "\" has no known 3D model extension (.q3d, .wrl, .obj, .ply, .glb, .stl).");
}

}  // namespace q3d
