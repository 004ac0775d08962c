#include "model/mesh_export_common.h"

#include <charconv>
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
