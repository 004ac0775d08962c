// VRML 2.0 (ISO/IEC 14772) text: one Shape with an ImageTexture and an IndexedFaceSet.
#include <cstdio>

#include "model/mesh_export.h"
#include "model/mesh_export_common.h"
#include "model/model_file_set.h"

namespace q3d {
namespace {

// A relative URL: every byte outside the unreserved set percent-encoded, which also keeps
// quotes and backslashes out of the VRML string.
std::string UrlEncode(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

void AppendTriples(std::string& out, const std::vector<float>& values) {
  for (size_t k = 0; k < values.size(); k += 3) {
    out += "        ";
    for (int c = 0; c < 3; ++c) {
      mesh_export::AppendNumber(out, values[k + c]);
      out += c < 2 ? " " : ",\n";
    }
  }
}

std::string TextureUrl(const std::string& name) { return "url \"" + UrlEncode(name) + "\""; }

}  // namespace

Status WriteVrml(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture) {
  if (Status problem = mesh_export::CheckInput(mesh, texture); !problem) return problem;
  std::vector<uint8_t> png;
  if (!mesh_export::EncodePng(texture, png))
    return Status::Fail("The texture could not be encoded as PNG.");
  ModelFileSet files(path, {kTextureCompanion}, 0, &TextureUrl);
  const SideFile& image = files.Companion(0);

  std::string text =
      "#VRML V2.0 utf8\n"
      "# Quorvan 3D model\n"
      "Shape {\n"
      "  appearance Appearance {\n"
      "    material Material { diffuseColor 1 1 1 }\n"
      "    texture ImageTexture { " +
      TextureUrl(image.name) +
      " repeatS TRUE repeatT TRUE }\n"
      "  }\n"
      "  geometry IndexedFaceSet {\n"
      "    solid FALSE\n"
      "    ccw TRUE\n"
      "    normalPerVertex TRUE\n"
      "    coord Coordinate {\n"
      "      point [\n";
  AppendTriples(text, mesh.Positions());
  text += "      ]\n    }\n    normal Normal {\n      vector [\n";
  AppendTriples(text, mesh.Normals());
  text += "      ]\n    }\n    texCoord TextureCoordinate {\n      point [\n";
  const auto& uv = mesh.TextureCoordinates();
  for (size_t k = 0; k < uv.size(); k += 2) {
    text += "        ";
    mesh_export::AppendNumber(text, uv[k]);
    text += ' ';
    mesh_export::AppendNumber(text, mesh_export::FlipV(uv[k + 1]));
    text += ",\n";
  }
  text += "      ]\n    }\n    coordIndex [\n";
  const auto& indices = mesh.Indices();
  for (size_t k = 0; k < indices.size(); k += 3) {
    text += "      " + std::to_string(indices[k]) + ", " + std::to_string(indices[k + 1]) + ", " +
            std::to_string(indices[k + 2]) + ", -1,\n";
  }
  text += "    ]\n  }\n}\n";

  if (Status e = files.StageCompanion(0, png); !e) return e;
  if (Status e = files.StageModel(text); !e) return e;
  return files.Commit();
}

}  // namespace q3d
