#pragma once
// The focal length a photograph's EXIF metadata gives, in pixels of the image as it is,
// and the camera that took it.
#include <string>

#include "stereo/camera_focal.h"

namespace q3d {

// Reads the metadata of a JPEG or TIFF file whose pixels are width x height. Gives an
// empty CameraFocal when the file carries none (or no focal length). The 35 mm-equivalent
// focal length wins over FocalLength with the focal-plane resolution: it is stated for
// the whole frame and so survives a resized photograph, whereas the focal-plane
// resolution counts the sensor's pixels and is wrong after any resizing.
CameraFocal ReadExifFocal(const std::string& path, int width, int height);

}  // namespace q3d
