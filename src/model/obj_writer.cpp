// Wavefront OBJ with its material file and the texture beside it.
#include <filesystem>

#include "model/mesh_export.h"
#include "model/mesh_export_common.h"
#include "model/model_file_set.h"

namespace q3d {
namespace {

std::string MaterialLibraryLine(const std::string& name) { return "mtllib " + name + "\n"; }

}  // namespace

Status WriteObj(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture) {
  if (Status problem = mesh_export::CheckInput(mesh, texture); !problem) return problem;
  std::vector<uint8_t> png;
  if (!mesh_export::EncodePng(texture, png))
    return Status::Fail("The texture could not be encoded as PNG.");
  ModelFileSet files(path, {kTextureCompanion, kMaterialCompanion}, 1, &MaterialLibraryLine);
  const SideFile& image = files.Companion(0);
  const SideFile& material = files.Companion(1);

  const std::string mtl =
      "# Quorvan 3D model material\n"
      "newmtl face_texture\n"
      "Ka 1 1 1\n"
      "Kd 1 1 1\n"
      "Ks 0 0 0\n"
      "d 1\n"
      "illum 1\n"
      "map_Kd " +
      image.name + "\n";

  std::string obj = "# Quorvan 3D model\n" + MaterialLibraryLine(material.name);
  const auto& p = mesh.Positions();
  const auto& n = mesh.Normals();
  const auto& uv = mesh.TextureCoordinates();
  for (size_t k = 0; k < p.size(); k += 3) {
    obj += "v ";
    for (int c = 0; c < 3; ++c) {
      mesh_export::AppendNumber(obj, p[k + c]);
      obj += c < 2 ? ' ' : '\n';
    }
  }
  for (size_t k = 0; k < uv.size(); k += 2) {
    obj += "vt ";
    mesh_export::AppendNumber(obj, uv[k]);
    obj += ' ';
    mesh_export::AppendNumber(obj, mesh_export::FlipV(uv[k + 1]));
    obj += '\n';
  }
  for (size_t k = 0; k < n.size(); k += 3) {
    obj += "vn ";
    for (int c = 0; c < 3; ++c) {
      mesh_export::AppendNumber(obj, n[k + c]);
      obj += c < 2 ? ' ' : '\n';
    }
  }
  obj += "usemtl face_texture\n";
  const auto& indices = mesh.Indices();
  for (size_t k = 0; k < indices.size(); k += 3) {
    obj += 'f';
    for (int c = 0; c < 3; ++c) {
      const std::string v = std::to_string(indices[k + c] + 1);  // OBJ counts from 1
      obj += ' ' + v + '/' + v + '/' + v;
    }
    obj += '\n';
  }

  if (Status e = files.StageCompanion(0, png); !e) return e;
  if (Status e = files.StageCompanion(1, mtl); !e) return e;
  if (Status e = files.StageModel(obj); !e) return e;
  return files.Commit();
}

}  // namespace q3d
