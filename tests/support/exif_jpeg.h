#pragma once
// JPEG photographs carrying the EXIF tags a camera writes: its make and model, the focal
// length as a 35 mm equivalent and as millimetres on a sensor of known resolution.
#include <opencv2/core.hpp>
#include <string>

namespace q3d::test {

struct ExifTags {
  int equivalent_mm = 0;  // FocalLengthIn35mmFilm, 0 for none
  double focal_mm = 0;    // FocalLength with a focal-plane resolution in px/cm
  double pixels_per_cm = 0;
  int taken_width = 0;  // PixelXDimension, 0 for none
};

// Writes the 8-bit BGR image as a JPEG with the tags in an APP1 block after SOI.
bool WriteJpegWithExif(const std::string& path, const cv::Mat& image, const ExifTags& tags);

}  // namespace q3d::test
