#pragma once
// The image record shared by the project file and the 3D model file: nine int32 header
// fields (channels, alpha, depth, colour model, channel sequence, alignment, width,
// height, has-pixels) followed by the padded pixel rows.
#include "base/archive.h"
#include "stereo/image.h"

namespace q3d {

void WriteImage(Archive& ar, const Image& image);
// Reads a record into image (replacing what it held). Throws ArchiveError for a record
// whose pixels the file cannot hold or whose layout this system never writes.
void ReadImage(Archive& ar, Image& image);

}  // namespace q3d
