#include "model/mesh_export_common.h"

#include <charconv>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

namespace q3d::mesh_export {

Status CheckInput(const MeshBuilder& mesh, const cv::Mat& texture) {
  if (mesh.FaceCount() == 0) return Status::Fail("The mesh is empty: there is nothing to export.");
  if (texture.empty())
    return Status::Fail("The model has no texture yet: there is nothing to export.");
  if (texture.type() != CV_8UC3) return Status::Fail("The texture is not an 8-bit colour image.");
  return Status::Ok();
}

bool EncodePng(const cv::Mat& texture, std::vector<uint8_t>& png) {
  try {
    return cv::imencode(".png", texture, png) && !png.empty();
  } catch (const cv::Exception&) {
    return false;
  }
}

SideFile BesideFile(const std::string& path, const std::string& suffixAndExtension) {
  const std::filesystem::path p(path);
  // The model file refers to the name on a line of its own (mtllib, map_Kd), where readers
  // split at blanks; and the name must fit the file system however long the model's is.
  std::string stem = p.stem().string();
  for (char& c : stem)
    if (c == ' ' || c == '\t') c = '_';
  constexpr size_t kNameMax = 255;
  if (stem.size() + suffixAndExtension.size() > kNameMax)
    stem.resize(kNameMax > suffixAndExtension.size() ? kNameMax - suffixAndExtension.size() : 0);
  const std::string name = stem + suffixAndExtension;
  return {(p.parent_path() / name).string(), name};
}

void AppendNumber(std::string& out, float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendNumber(std::string& out, double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace q3d::mesh_export
