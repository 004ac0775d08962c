#pragma once
// Helpers shared by the mesh writers.
#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "base/result.h"
#include "model/mesh_builder.h"

namespace q3d::mesh_export {

// An empty string when the mesh has triangles and the texture is 8-bit BGR.
Status CheckInput(const MeshBuilder& mesh, const cv::Mat& texture);
// The texture as PNG bytes; false when encoding fails.
bool EncodePng(const cv::Mat& texture, std::vector<uint8_t>& png);

// Shortest text that reads back as the same value, independent of the locale.
void AppendNumber(std::string& out, float value);
void AppendNumber(std::string& out, double value);

// Texture coordinates are stored with v running down the image (top-left origin);
// formats with a bottom-left origin take 1 - v.
inline float FlipV(float v) { return 1.0f - v; }

}  // namespace q3d::mesh_export
