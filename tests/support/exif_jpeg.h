#pragma once
// JPEG photographs carrying the EXIF tags a camera writes: its make and model, the focal
// length as a 35 mm equivalent and as millimetres on a sensor of known resolution.
#include <cstdint>
#include <opencv2/core.hpp>
#include <string>

namespace q3d::test {

struct ExifTags {
  int equivalent_mm = 0;        // FocalLengthIn35mmFilm, 0 for none
  double focal_mm = 0;          // FocalLength with the focal-plane resolution below
  double plane_resolution = 0;  // FocalPlaneXResolution: plane_resolution / divisor per unit
  uint32_t divisor = 1;
  int unit = 3;              // FocalPlaneResolutionUnit: 2 inch, 3 cm, 4 mm, 5 micrometre
  uint32_t taken_width = 0;  // PixelXDimension, 0 for none
  int orientation = 0;       // Orientation, 0 for none (6: shown turned a quarter clockwise)
};

// Writes the 8-bit BGR image as a JPEG with the tags in an APP1 block after SOI.
bool WriteJpegWithExif(const std::string& path, const cv::Mat& image, const ExifTags& tags);

}  // namespace q3d::test
