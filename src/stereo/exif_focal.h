#pragma once
// The focal length a photograph's EXIF metadata gives, in pixels, and the camera that took it.
#include <cstdint>
#include <span>
#include <string>

#include "stereo/camera_focal.h"

namespace q3d {

// An EXIF focal length outside this many times the image's diagonal is no lens that took
// the photograph (a fish-eye is near 0.3, a long telephoto near 10): the value is ignored.
constexpr double kSmallestExifFocalPerDiagonal = 0.1;
constexpr double kLargestExifFocalPerDiagonal = 20;

// Reads the metadata of a JPEG or TIFF file. Gives an empty CameraFocal when the file
// carries none (or no focal length). The 35 mm-equivalent focal length wins over
// FocalLength with the focal-plane resolution: it is stated for the whole frame and so
// survives a resized photograph, whereas the focal-plane resolution counts the sensor's
// pixels and is wrong after any resizing. The focal-plane route works in the frame as
// stored, which an orientation tag may show turned; a quarter turn keeps the focal length
// in pixels. A value ignored as implausible, or a route made unusable by an invalid unit,
// leaves a note naming the photograph (as `shown`) and the tag.
CameraFocal ReadExifFocal(std::span<const uint8_t> bytes, const std::string& shown);
CameraFocal ReadExifFocal(const std::string& path);

}  // namespace q3d
